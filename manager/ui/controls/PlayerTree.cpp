#include "PlayerTree.h"

#include <commctrl.h>

#include "Shell.h"
#include "Text.h"

BOOL CPlayerTree::PreTranslateMessage(MSG* msg)
{
    if (GetEditControl() && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        if (msg->wParam == VK_ESCAPE)
            m_editCancelled = 1;
        ::TranslateMessage(msg);
        ::DispatchMessageW(msg);
        return TRUE;
    }
    return CTreeCtrl::PreTranslateMessage(msg);
}

void CPlayerTree::InitImageList()
{
    m_editCancelled = 0;
    SHFILEINFOA info{};
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (list)
        SetImageList(list, TVSIL_NORMAL);
}

std::string CPlayerTree::GetItemPath(HTREEITEM item, const std::string& root) const
{
    std::string path = root;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    std::string below;
    for (HTREEITEM at = item; at && GetParentItem(at); at = GetParentItem(at))
        below = GetItemText(at) + "\\" + below;
    return path + below;
}

bool CPlayerTree::DeleteChildren(HTREEITEM item)
{
    HTREEITEM child = item ? GetChildItem(item) : nullptr;
    while (child) {
        HTREEITEM next = GetNextSiblingItem(child);
        if (!DeleteItem(child)) {
            m_error = mb::Format(mb::LoadText(102).c_str(), "FAILED TO DELETE A TREE ITEM.");
            ShowMessage(m_error);
            return false;
        }
        child = next;
    }
    return true;
}

HTREEITEM CPlayerTree::FindChild(const std::string& name, HTREEITEM parent) const
{
    if (!parent)
        parent = GetSelectedItem();
    if (!parent)
        return nullptr;
    for (HTREEITEM child = GetChildItem(parent); child; child = GetNextSiblingItem(child))
        if (::lstrcmpiA(GetItemText(child).c_str(), name.c_str()) == 0)
            return child;
    return nullptr;
}

HTREEITEM CPlayerTree::HitTest(POINT screen) const
{
    TVHITTESTINFO info{};
    info.pt = screen;
    ::ScreenToClient(m_hWnd, &info.pt);
    HTREEITEM item = CTreeCtrl::HitTest(info);
    return (item && (info.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON))) ? item : nullptr;
}

bool CPlayerTree::DropHitTest(POINT screen)
{
    SelectDropTarget(nullptr);
    HTREEITEM item = HitTest(screen);
    if (!item)
        return false;
    SelectDropTarget(item);
    return true;
}
