// CTransferListCtrl: a report list of queued PC files and folders, the
// download list (1201) and its hidden twin (1014). Columns: No. ("001"),
// Name, Size, Status and the full PC path (hidden). An entry is known by its
// name.
#pragma once

#include <windows.h>

#include <string>

#include "Controls.h"

class CTransferListCtrl : public CListCtrl {
public:
    enum Column { COL_NUMBER = 0, COL_NAME = 1, COL_SIZE = 2, COL_STATUS = 3, COL_PATH = 4 };

    // Full-row selection, the five columns, the system's small icons
    // (attached, not owned). Only once per control.
    void InitColumns();
    // Inserts at index (appends at -1) and renumbers from there. Without a
    // size text the size is read from path ("%u KB", rounded up).
    int AddEntry(const std::string& name, const char* sizeText, const std::string& status, const std::string& path,
                 int index = -1);
    // The first row in [first, last] whose column equals text (without
    // case); last -1 or below first: to the end. -1 when none.
    int FindEntry(int column, const std::string& text, int first = -1, int last = -1) const;
    // Moves row from to stand before row to (to = the row count: at the end);
    // returns the row's new index.
    int MoveEntry(int from, int to);
    void Renumber(int first);
    // Deletes the entry of that name (when there is one) and renumbers.
    bool RemoveEntry(const std::string& name);
    // Sets the status of the entry of that name; false when there is none.
    bool SetStatusOf(const std::string& name, const std::string& status);
};
