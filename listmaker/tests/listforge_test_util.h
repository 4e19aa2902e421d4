// The playlist maker's dialog as the tests run it: modeless, in this process,
// with the shell's file and folder dialogs answered by the test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "GuiTest.h"
#include "ListForgeDlg.h"
#include "resource.h"

class TestListForgeDlg : public ListForgeDlg {
public:
    explicit TestListForgeDlg(const std::string& root) : ListForgeDlg(root) {}
    ~TestListForgeDlg() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

    bool useRealDrivePicker = false;
    bool useRealFileDialogs = false;
    std::string drive;
    std::vector<std::string> openPaths;
    std::string savePath;
    int drivePrompts = 0;

protected:
    std::string AskDrive() override
    {
        ++drivePrompts;
        return useRealDrivePicker ? ListForgeDlg::AskDrive() : drive;
    }
    std::vector<std::string> AskOpenPaths() override
    {
        return useRealFileDialogs ? ListForgeDlg::AskOpenPaths() : openPaths;
    }
    std::string AskSavePath() override { return useRealFileDialogs ? ListForgeDlg::AskSavePath() : savePath; }
};

namespace lftest {

inline std::vector<std::string> Rows(const CListCtrl& list, int column = 0)
{
    std::vector<std::string> rows;
    for (int r = 0; r < list.GetItemCount(); ++r)
        rows.push_back(list.GetItemText(r, column));
    return rows;
}

inline std::vector<std::string> Children(const CTreeCtrl& tree, HTREEITEM item)
{
    std::vector<std::string> names;
    for (HTREEITEM c = tree.GetChildItem(item); c; c = tree.GetNextSiblingItem(c))
        names.push_back(tree.GetItemText(c));
    return names;
}

inline HTREEITEM Child(const CTreeCtrl& tree, HTREEITEM item, const std::string& name)
{
    for (HTREEITEM c = tree.GetChildItem(item); c; c = tree.GetNextSiblingItem(c)) {
        if (tree.GetItemText(c) == name)
            return c;
    }
    return nullptr;
}

// Clicks a picture button as the mouse would: press and release over it.
inline void ClickImageButton(HWND dialog, UINT id)
{
    HWND button = ::GetDlgItem(dialog, int(id));
    ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    // The click arrives as a posted message.
    mbtest::PumpFor(50);
}

// Presses a key with Ctrl held for this thread, through the message loop.
inline void PostCtrlKey(HWND target, UINT vk)
{
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    mbtest::PostKey(target, vk);
    mbtest::PumpFor(100);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    ::CloseHandle(f);
    return text;
}

}  // namespace lftest
