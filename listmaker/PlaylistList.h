// PlaylistList (control 1002): the playlist being built. Column 0 holds the
// file name, column 1 the full path that will be saved, the image the file's
// system small icon (-1 when none). Ctrl+Up and Ctrl+Down ask the dialog to
// move the selection; Del deletes the selected rows and tells the dialog.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"

struct PlaylistRow {
    std::string name;
    std::string path;
    int image = -1;
};

class PlaylistList : public CListCtrl {
public:
    // A row at position at (the end for -1); returns its index.
    int Insert(int at, const std::string& name, const std::string& path, int image);
    // One row, or every row for -1.
    void SelectRow(int row) { Select(row); }
    // Moves a row; returns its new position or -1 (see PlaylistOrder.h).
    int MoveItem(int from, int to);
    // The row under a screen point, or -1.
    int HitTestScreen(POINT screen) const;
    // Drops the selected rows at the row under the cursor; true when any moved.
    bool ReorderByDrop(POINT screen);
    // Deletes the selected rows, the last first; true when any was selected.
    bool DeleteSelected();
    std::vector<std::string> Paths() const;

    // The interface of the ordering templates.
    int Count() const { return GetItemCount(); }
    bool IsSelected(int row) const { return GetItemState(row, LVIS_SELECTED) != 0; }
    int MoveRow(int from, int to) { return MoveItem(from, to); }
    PlaylistRow CopyRow(int row) const;
    void DeleteRow(int row) { DeleteItem(row); }
    void InsertRow(int at, const PlaylistRow& row) { Insert(at, row.name, row.path, row.image); }

    BOOL PreTranslateMessage(MSG* msg) override;

    MB_DECLARE_MESSAGE_MAP()

    LRESULT OnSetFocus(WPARAM, LPARAM);
};
