// CPathComboBox: the path and drive boxes (1183, 1193): Enter and Escape go
// to the focused edit rather than to the dialog; recent paths are inserted
// without duplicates.
#pragma once

#include <windows.h>

#include <string>

#include "Controls.h"

class CPathComboBox : public CComboBoxEx {
public:
    BOOL PreTranslateMessage(MSG* msg) override;
    std::string GetCurSelText() const { return GetItemText(GetCurSel()); }
    // With at least position entries, the last entry equal to text is
    // removed and text inserted at position; entry 0 is then selected.
    void InsertPath(const std::string& text, int position);
};
