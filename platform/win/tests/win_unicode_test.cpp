// The control wrappers in a program built with UNICODE defined, as the
// updater's window is: a wrapper must send the same message whatever its
// includer defines (the wrappers are inline, so a program that mixes both
// would otherwise keep whichever copy its linker met first).
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include <gtest/gtest.h>

#include "Controls.h"

namespace {

std::vector<UINT> g_seen;
WNDPROC g_original = nullptr;

LRESULT CALLBACK Recording(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == LVM_EDITLABELA || msg == LVM_EDITLABELW || msg == TVM_EDITLABELA || msg == TVM_EDITLABELW)
        g_seen.push_back(msg);
    return CallWindowProcW(g_original, h, msg, wp, lp);
}

HWND MakeControl(const wchar_t* windowClass)
{
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    HWND h = CreateWindowExW(0, windowClass, L"", WS_POPUP | LVS_EDITLABELS | TVS_EDITLABELS, 0, 0, 200, 200,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (h)
        g_original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recording)));
    return h;
}

TEST(UnicodeIncluder, ListAndTreeLabelEditsSendTheAMessage)
{
    g_seen.clear();
    HWND listWindow = MakeControl(WC_LISTVIEWW);
    ASSERT_NE(nullptr, listWindow);
    CListCtrl list;
    list.m_hWnd = listWindow;
    list.EditLabel(0);
    list.m_hWnd = nullptr;
    DestroyWindow(listWindow);

    HWND treeWindow = MakeControl(WC_TREEVIEWW);
    ASSERT_NE(nullptr, treeWindow);
    CTreeCtrl tree;
    tree.m_hWnd = treeWindow;
    tree.EditLabel(nullptr);
    tree.m_hWnd = nullptr;
    DestroyWindow(treeWindow);

    EXPECT_EQ((std::vector<UINT>{LVM_EDITLABELA, TVM_EDITLABELA}), g_seen);
}

}  // namespace
