// The context menus (menu 158): which menu a right click opens, which of its
// entries are greyed, and the tree items they act on.
#include "ManagerDlg.h"

#include <algorithm>

#include "CommandRules.h"
#include "Gdi.h"
#include "ManagerGlobals.h"
#include "SettingsRules.h"
#include "resource.h"

using namespace commands;

namespace {

// The list row under a screen point, or -1.
int RowAt(CListCtrl& list, POINT screen)
{
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ::ScreenToClient(list.m_hWnd, &hit.pt);
    int row = list.HitTest(hit);
    return row >= 0 && (hit.flags & LVHT_ONITEM) ? row : -1;
}

HTREEITEM ItemAt(CTreeCtrl& tree, POINT screen)
{
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ::ScreenToClient(tree.m_hWnd, &hit.pt);
    HTREEITEM item = tree.HitTest(hit);
    return item && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) ? item : nullptr;
}

}  // namespace

commands::MenuState CManagerDlg::ContextMenuState(int submenu, POINT screen)
{
    MenuState s;
    s.clipboardOperation = m_clipboard.Operation;
    s.clipboardEmpty = m_clipboard.Names.empty();
    auto answers = [&] {
        return m_currentMemory != MEMORY_NONE && GetMemorySpace(m_currentMemory, nullptr, nullptr) != 0;
    };
    switch (submenu) {
    case MENU_PC_LIST: {
        s.pcFolderIsDesktop = !m_pcItem || !m_pcTree.GetParentItem(m_pcItem);
        s.rowCount = m_pcList.GetItemCount();
        s.selectedCount = int(m_pcList.GetSelectedCount());
        int row = RowAt(m_pcList, screen);
        if (row >= 0) {
            std::string path = settings::WithBackslash(GetPcFolderPath()) + m_pcList.GetItemText(row, 0);
            s.rowUnderPointIsMusic = CFileUtil::GetFileKindFlag(0, path) == 2;
        }
        break;
    }
    case MENU_PLAYER_LIST:
        s.memoryAnswers = answers();
        s.rowCount = m_playerList.GetItemCount();
        s.selectedCount = int(m_playerList.GetSelectedCount());
        break;
    case MENU_DOWNLOAD_LIST: {
        s.rowCount = m_downloadList.GetItemCount();
        s.selectedCount = int(m_downloadList.GetSelectedCount());
        int row = RowAt(m_downloadList, screen);
        if (row >= 0)
            s.rowUnderPointIsMusic = CFileUtil::GetFileKindFlag(0, m_downloadList.GetItemText(row, 4)) == 2;
        break;
    }
    case MENU_PLAYER_TREE:
        s.memoryAnswers = answers();
        s.itemUnderPointIsRoot = m_playerContextItem && !m_playerTree.GetParentItem(m_playerContextItem);
        break;
    }
    return s;
}

void CManagerDlg::OnContextMenu(HWND window, POINT screen)
{
    // A click on a part of a control (a list's header) counts for the control.
    while (window && ::GetParent(window) && ::GetParent(window) != m_hWnd)
        window = ::GetParent(window);
    if (!window)
        return;
    const UINT control = UINT(::GetDlgCtrlID(window));
    const int submenu = SubmenuForControl(control);
    if (submenu < 0)
        return;
    // From the keyboard: the first selected row of the player list (+10, +10),
    // else the control's corner.
    if (screen.x == -1 && screen.y == -1) {
        RECT r = {};
        int row = control == CTL_PLAYER_LIST ? m_playerList.GetNextItem(-1, LVNI_SELECTED) : -1;
        if (row >= 0) {
            r = m_playerList.GetItemRect(row);
            ::ClientToScreen(window, reinterpret_cast<POINT*>(&r));
        } else {
            ::GetWindowRect(window, &r);
        }
        screen = POINT{r.left + 10, r.top + 10};
    }

    if (submenu == MENU_PC_TREE) {
        if (m_pcListKind != 2)
            return;
        m_pcContextItem = ItemAt(m_pcTree, screen);
        m_pcTree.SelectDropTarget(m_pcContextItem);
    } else if (submenu == MENU_PLAYER_TREE) {
        m_playerContextItem = ItemAt(m_playerTree, screen);
        m_playerTree.SelectDropTarget(m_playerContextItem);
    }
    SetViewMode(ViewModeForSubmenu(submenu));

    CMenu menu;
    if (!menu.Load(IDR_CONTEXT_MENUS))
        return;
    HMENU popup = menu.GetSubMenu(submenu);
    if (!popup)
        return;
    const std::vector<unsigned> greyed = GreyedCommands(submenu, ContextMenuState(submenu, screen));
    for (unsigned id : SubmenuCommands(submenu))
        CMenu::Grey(popup, id, std::find(greyed.begin(), greyed.end(), id) != greyed.end());
    // What the user sees, read back from the menu itself.
    m_lastMenu = submenu;
    m_lastMenuGreyed.clear();
    for (int i = 0, n = ::GetMenuItemCount(popup); i < n; ++i) {
        UINT id = ::GetMenuItemID(popup, i);
        if (id != 0 && id != UINT(-1) && (::GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED))
            m_lastMenuGreyed.push_back(id);
    }
    CMenu::Track(popup, m_hWnd, screen, TPM_LEFTALIGN | TPM_RIGHTBUTTON);
}

void CManagerDlg::ClearContextItems()
{
    if (m_pcContextItem)
        m_pcTree.SelectDropTarget(nullptr);
    if (m_playerContextItem)
        m_playerTree.SelectDropTarget(nullptr);
    m_pcContextItem = nullptr;
    m_playerContextItem = nullptr;
}

void CManagerDlg::OnTreeItemDeleted(HWND tree, HTREEITEM item)
{
    // The menu's own loop runs the timers: a tree filled again while the
    // menu is open leaves the handle of a deleted item, which the chosen
    // command would otherwise act on (or on a new item at its address).
    if (item && tree == m_pcTree.m_hWnd && item == m_pcContextItem)
        m_pcContextItem = nullptr;
    if (item && tree == m_playerTree.m_hWnd && item == m_playerContextItem)
        m_playerContextItem = nullptr;
}
