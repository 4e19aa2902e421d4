#include "PlayOrder.h"

#include <algorithm>
#include <set>

namespace playerpane {

MovedRows MoveRows(MoveKind kind, const std::vector<std::string>& rows, int folderRows,
                   const std::vector<int>& selected, int dropRow)
{
    const int count = static_cast<int>(rows.size());
    MovedRows out;
    out.Names = rows;
    std::vector<int> sel;
    for (int s : selected)
        if (s >= 0 && s < count)
            sel.push_back(s);
    std::sort(sel.begin(), sel.end());
    sel.erase(std::unique(sel.begin(), sel.end()), sel.end());

    std::vector<int> folders, files;
    for (int s : sel)
        (s < folderRows ? folders : files).push_back(s);
    std::set<int> fileSet(files.begin(), files.end());
    std::vector<int> result = folders;

    if (kind == MOVE_UP) {
        std::set<int> blocked;
        for (int row : files) {
            if (row == folderRows || (fileSet.count(row - 1) && blocked.count(row - 1))) {
                blocked.insert(row);
                result.push_back(row);
                continue;
            }
            std::swap(out.Names[row], out.Names[row - 1]);
            result.push_back(row - 1);
        }
    } else if (kind == MOVE_DOWN) {
        std::set<int> blocked;
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            int row = *it;
            if (row == count - 1 || (fileSet.count(row + 1) && blocked.count(row + 1))) {
                blocked.insert(row);
                result.push_back(row);
                continue;
            }
            std::swap(out.Names[row], out.Names[row + 1]);
            result.push_back(row + 1);
        }
    } else if (kind == MOVE_TO_ROW && !files.empty()) {
        std::vector<std::string> rest, block;
        int insertAt = 0;
        for (int i = 0; i < count; ++i) {
            if (fileSet.count(i)) {
                block.push_back(rows[i]);
                continue;
            }
            rest.push_back(rows[i]);
            if (i < dropRow)
                insertAt = static_cast<int>(rest.size());
        }
        out.Names = rest;
        out.Names.insert(out.Names.begin() + insertAt, block.begin(), block.end());
        // Folder rows keep their selection at the index they now have.
        result.clear();
        for (int f : folders) {
            int before = 0;
            for (int i = 0; i < f; ++i)
                before += fileSet.count(i) ? 0 : 1;
            result.push_back(before < insertAt ? before : before + static_cast<int>(block.size()));
        }
        for (size_t b = 0; b < block.size(); ++b)
            result.push_back(insertAt + static_cast<int>(b));
    } else {
        result = sel;
    }
    std::sort(result.begin(), result.end());
    out.Selected = result;
    return out;
}

bool DirectoryOrder(const std::vector<DirEntry>& entries, const std::vector<std::string>& oldRows,
                    const std::vector<std::string>& newRows, int filter, bool atRoot,
                    std::vector<std::string>* order, const NameEquals& equals, const NameKey& key)
{
    if (oldRows.size() != newRows.size())
        return false;
    std::vector<std::string> result;
    size_t shown = 0;
    for (const DirEntry& e : entries) {
        result.push_back(e.Name);
        if (IsShownInView(e, filter, atRoot))
            ++shown;
    }
    if (shown != oldRows.size())
        return false;
    std::vector<bool> claimed(entries.size(), false);
    const CNameLookup lookup(entries, equals, key);
    for (size_t r = 0; r < oldRows.size(); ++r) {
        const size_t at = lookup.Find(oldRows[r], [](size_t) { return true; });
        if (at == entries.size() || claimed[at] || !IsShownInView(entries[at], filter, atRoot))
            return false;
        claimed[at] = true;
        result[at] = newRows[r];
    }
    // The new names are the old ones rearranged: each must stand once.
    std::vector<std::string> before = oldRows, after = newRows;
    auto less = [](const std::string& a, const std::string& b) { return a < b; };
    std::sort(before.begin(), before.end(), less);
    std::sort(after.begin(), after.end(), less);
    if (before != after)
        return false;
    if (order)
        *order = result;
    return true;
}

}  // namespace playerpane
