#include "AboutDlg.h"

#include "DetectRules.h"

BOOL CAboutDlg::OnInitDialog()
{
    // A missing logo leaves the picture empty.
    m_logo.Reset(mb::LoadBitmapFile(m_imagesFolder + "Logo_About.bmp"));
    if (m_logo)
        ::SendDlgItemMessageW(m_hWnd, IDC_ABOUT_LOGO, STM_SETIMAGE, IMAGE_BITMAP,
                              reinterpret_cast<LPARAM>(static_cast<HBITMAP>(m_logo)));
    SetItemText(IDC_ABOUT_VERSION, detect::FormatAboutVersion(m_version));
    SetItemText(IDC_ABOUT_TEXT, m_text);
    return TRUE;
}
