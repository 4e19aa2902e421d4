// CFileListCtrl: the PC list (1001), the player list (1002) and the hidden
// report lists: label edits that keep Enter and Escape to themselves, hit
// tests over a row's icon or label only, and file rows with size and time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"

class CFileListCtrl : public CListCtrl {
public:
    BOOL PreTranslateMessage(MSG* msg) override;
    // The row whose icon, label or state icon is under the screen point, or -1.
    int HitTest(POINT screen) const;
    // Index < 0: every row.
    void SelectItem(int index);
    void DeselectItem(int index);
    void ScrollToEnd();
    // A row for path (its small icon) named name; size, type and time when
    // the path can be read. Returns the row, or -1.
    int InsertFileRow(int index, const std::string& path, const std::string& name, bool isFolder);
    // Whether the row is a folder row (empty Size column); its name on request.
    bool IsFolderRow(int index, std::string* name = nullptr) const;
    // The first row named name (case-insensitive), or -1.
    int FindRow(const std::string& name) const;
    static std::string FormatFileTime(const SYSTEMTIME& time);

    std::string m_targetFolder;
    int m_editCancelled = 0;
    std::vector<std::string> m_droppedPaths;
};
