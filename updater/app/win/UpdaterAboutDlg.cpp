#include "UpdaterAboutDlg.h"
#include "ErrorTextTable.h"
#include "UpdaterApp.h"
#include "resource.h"

CUpdaterAboutDlg::CUpdaterAboutDlg(CQvConfigInfo* config) : CDialog(IDD_QV_ABOUT, nullptr), m_config(config) {}

BOOL CUpdaterAboutDlg::OnInitDialog()
{
    std::u16string text;
    if (m_config) {
        m_config->AboutTitle(text);
        SetTextW(QvWide(text));
        m_config->AppLongName(text);
        SetItemTextW(1007, QvWide(text));
        m_config->NoticeText(text);
        SetItemTextW(1006, QvWide(text));
    }
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Texts()) {
        SetItemTextW(1016, app->Texts()->Text(626) + L"1, 543, 3, 139");
        HICON icon = nullptr;
        if (app->Texts()->LoadIcon(IDI_QV_ABOUT, icon) == 0)
            ::SendDlgItemMessageW(m_hWnd, 1005, STM_SETICON, WPARAM(icon), 0);
    }
    return TRUE;
}
