#include "PlaylistList.h"

#include "PlaylistOrder.h"
#include "resource.h"

MB_BEGIN_MESSAGE_MAP(PlaylistList, CListCtrl)
    mb::OnMessage(WM_SETFOCUS, &PlaylistList::OnSetFocus),
MB_END_MESSAGE_MAP()

int PlaylistList::Insert(int at, const std::string& name, const std::string& path, int image)
{
    if (at < 0 || at > GetItemCount())
        at = GetItemCount();
    // The image is always set: -1 (no icon) for a file that was not found.
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE;
    it.iItem = at;
    it.pszText = const_cast<char*>(name.c_str());
    it.iImage = image;
    int row = int(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    if (row >= 0)
        SetItemText(row, 1, path);
    return row;
}

PlaylistRow PlaylistList::CopyRow(int row) const
{
    PlaylistRow r;
    r.name = GetItemText(row, 0);
    r.path = GetItemText(row, 1);
    r.image = GetItemImage(row);
    return r;
}

int PlaylistList::MoveItem(int from, int to)
{
    return listforge::MoveRowSemantics(*this, from, to);
}

int PlaylistList::HitTestScreen(POINT screen) const
{
    LVHITTESTINFO info{};
    info.pt = screen;
    ::ScreenToClient(m_hWnd, &info.pt);
    return HitTest(info);
}

bool PlaylistList::ReorderByDrop(POINT screen)
{
    return listforge::ReorderByDrop(*this, HitTestScreen(screen));
}

bool PlaylistList::DeleteSelected()
{
    std::vector<int> rows = GetSelectedItems();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        DeleteItem(*it);
    return !rows.empty();
}

std::vector<std::string> PlaylistList::Paths() const
{
    std::vector<std::string> paths;
    for (int r = 0; r < GetItemCount(); ++r)
        paths.push_back(GetItemText(r, 1));
    return paths;
}

LRESULT PlaylistList::OnSetFocus(WPARAM, LPARAM)
{
    LRESULT r = Default();
    if (GetItemCount() > 0 && GetSelectedCount() == 0)
        Select(0);
    return r;
}

BOOL PlaylistList::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd != m_hWnd || msg->message != WM_KEYDOWN)
        return FALSE;
    bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (msg->wParam) {
    case 'A':
        if (!ctrl)
            return FALSE;
        Select(-1);
        return TRUE;
    case VK_UP:
    case VK_DOWN:
        if (!ctrl)
            return FALSE;
        ::PostMessageW(GetParent(), msg->wParam == VK_UP ? WM_PLAYLIST_MOVE_UP : WM_PLAYLIST_MOVE_DOWN, 0, 0);
        return TRUE;
    case VK_DELETE:
        // Every change of the list counts as unsaved, this one too.
        if (DeleteSelected())
            ::SendMessageW(GetParent(), WM_PLAYLIST_CHANGED, 0, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
