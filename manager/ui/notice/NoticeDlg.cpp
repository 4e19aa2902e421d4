#include "NoticeDlg.h"

#include "Gdi.h"

int CNoticeDlg::s_deleted = 0;
int CNoticeDlg::s_shown = 0;
std::string CNoticeDlg::s_lastText;

MB_BEGIN_MESSAGE_MAP(CNoticeDlg, CDialog)
    mb::OnTimer(&CNoticeDlg::OnTimer),
MB_END_MESSAGE_MAP()

BOOL CNoticeDlg::OnInitDialog()
{
    ++s_shown;
    s_lastText = m_text;
    m_icon = mb::LoadIconFile(m_imagesFolder + "ICO_MAIN.ICO", 32, 32);
    if (m_icon)
        ::SendDlgItemMessageW(m_hWnd, IDC_NOTICE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
    SetItemText(IDC_NOTICE_TEXT, m_text);
    if (!m_text2.empty())
        SetItemText(IDC_NOTICE_TEXT2, m_text2);
    if (m_displayTime)
        SetTimer(2, m_displayTime);
    return TRUE;
}

void CNoticeDlg::OnTimer(UINT_PTR id)
{
    if (id != 2)
        return;
    KillTimer(2);
    // Modal: the loop ends; modeless: the window is destroyed (and, when the
    // notice owns itself, deleted with it).
    EndDialog(IDOK);
}

void CNoticeDlg::PostNcDestroy()
{
    if (m_icon) {
        ::DestroyIcon(m_icon);
        m_icon = nullptr;
    }
    if (m_selfDeleting) {
        ++s_deleted;
        delete this;
    }
}
