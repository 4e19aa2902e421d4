// The active pane and the expanded window.
#include "ManagerDlg.h"

#include "StringIds.h"
#include "Text.h"

void CManagerDlg::SetViewMode(int pane)
{
    m_activePane = pane;
    if (pane < PANE_PC_TREE || pane > PANE_DOWNLOAD_LIST)
        return;
    UINT selected = pane <= PANE_PC_LIST ? 1046 : pane == PANE_DOWNLOAD_LIST ? 1047 : 1048;
    for (UINT id : {1046u, 1047u, 1048u}) {
        if (!m_skin.HasButton(id))
            continue;
        CSkinButton& b = m_skin.Button(id);
        // The player's button stays as it is while there is no player.
        if (id == 1048 && !b.IsWindowEnabled())
            continue;
        b.SetState(id == selected ? CSkinButton::STATE_SELECTED : CSkinButton::STATE_NORMAL);
    }
}

void CManagerDlg::ToggleExpanded()
{
    static RECT saved{};
    HWND maximise = GetDlgItem(1492);
    if (!m_skin.IsExpanded()) {
        saved = GetWindowRect();
        m_skin.SetExpanded(true);
        if (m_tooltip.m_hWnd)
            m_tooltip.UpdateTipText(maximise, mb::LoadText(IDS_TIP_RESTORE));
        MoveWindow(RECT{0, 0, ::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN) + 19});
    } else {
        m_skin.SetExpanded(false);
        if (m_tooltip.m_hWnd)
            m_tooltip.UpdateTipText(maximise, mb::LoadText(IDS_TIP_MAXIMIZE));
        MoveWindow(saved);
    }
}
