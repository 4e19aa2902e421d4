// The playlist list's reordering, written once for the list control and for
// the tests' plain model. A List offers:
//   int Count() const;                 rows
//   bool IsSelected(int row) const;
//   void Select(int row);              adds the row to the selection
//   int MoveRow(int from, int to);     MoveRowSemantics below; new position
//   Row CopyRow(int row) const;        what a row holds (name, path, image)
//   void DeleteRow(int row);
//   void InsertRow(int at, const Row& row);   unselected
#pragma once

#include <vector>

namespace listforge {

// Moving a row (from, to): nothing when to equals from, is -1 or lies beyond
// the rows; otherwise a copy goes to to + 1 and row from goes (from < to), or
// a copy goes to to and row from + 1 goes. Either way the row ends at to.
template <class List>
int MoveRowSemantics(List& list, int from, int to)
{
    int count = list.Count();
    if (to == from || to < 0 || to >= count || from < 0 || from >= count)
        return -1;
    auto row = list.CopyRow(from);
    if (from < to) {
        list.InsertRow(to + 1, row);
        list.DeleteRow(from);
    } else {
        list.InsertRow(to, row);
        list.DeleteRow(from + 1);
    }
    return to;
}

template <class List>
std::vector<int> SelectedRows(const List& list)
{
    std::vector<int> rows;
    for (int r = 0; r < list.Count(); ++r) {
        if (list.IsSelected(r))
            rows.push_back(r);
    }
    return rows;
}

// Each selected row whose upper neighbour is not selected moves up one; a
// block of selected rows at the top stays. True when a row moved.
template <class List>
bool MoveSelectionUp(List& list)
{
    bool moved = false;
    for (int r : SelectedRows(list)) {
        if (r > 0 && !list.IsSelected(r - 1)) {
            int at = list.MoveRow(r, r - 1);
            if (at >= 0) {
                list.Select(at);
                moved = true;
            }
        }
    }
    return moved;
}

// The same downwards, walking from the last selected row.
template <class List>
bool MoveSelectionDown(List& list)
{
    bool moved = false;
    std::vector<int> rows = SelectedRows(list);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        int r = *it;
        if (r + 1 < list.Count() && !list.IsSelected(r + 1)) {
            int at = list.MoveRow(r, r + 1);
            if (at >= 0) {
                list.Select(at);
                moved = true;
            }
        }
    }
    return moved;
}

// Where a dropped selection goes, counted after the selected rows are taken
// out: hitRow is the row under the pointer, -1 when none (below the rows).
inline int DropTarget(const std::vector<bool>& selected, int hitRow)
{
    int count = int(selected.size());
    int t;
    if (hitRow == 0) {
        t = 0;
    } else if (hitRow < 0 || hitRow >= count) {
        t = count;
    } else {
        t = 0;
        for (int k = hitRow - 1; k >= 0; --k) {
            if (!selected[k]) {
                t = k + 1;
                break;
            }
        }
    }
    int above = 0;
    for (int k = 0; k < t; ++k) {
        if (selected[k])
            ++above;
    }
    return t - above;
}

// Drops the selected rows at the row under the pointer, keeping their order,
// and selects them. True when anything was selected.
template <class List>
bool ReorderByDrop(List& list, int hitRow)
{
    std::vector<int> rows = SelectedRows(list);
    if (rows.empty())
        return false;
    std::vector<bool> selected(list.Count(), false);
    for (int r : rows)
        selected[r] = true;
    int t = DropTarget(selected, hitRow);
    std::vector<decltype(list.CopyRow(0))> copies;
    for (int r : rows)
        copies.push_back(list.CopyRow(r));
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        list.DeleteRow(*it);
    for (size_t i = 0; i < copies.size(); ++i) {
        list.InsertRow(t + int(i), copies[i]);
        list.Select(t + int(i));
    }
    return true;
}

}  // namespace listforge
