#include "ProgressDlg.h"
#include "UpdaterAboutDlg.h"
#include "UpdaterApp.h"
#include "resource.h"

void QvAddAboutItem(HWND dialog)
{
    HMENU menu = GetSystemMenu(dialog, FALSE);
    CUpdaterApp* app = CUpdaterApp::Get();
    if (!menu || !app || !app->Texts())
        return;
    std::wstring text = L"&" + app->Texts()->Text(54);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 0x10, text.c_str());
}

bool QvIsAboutCommand(WPARAM wp) { return (LOWORD(wp) & 0xFFF0) == 0x10; }

void QvShowAbout()
{
    CUpdaterApp* app = CUpdaterApp::Get();
    CUpdaterAboutDlg about(app ? app->Config() : nullptr);
    about.DoModal();
}

bool QvPaintMinimised(HWND dialog, HICON icon)
{
    if (!IsIconic(dialog))
        return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    SendMessageW(dialog, WM_ICONERASEBKGND, WPARAM(dc), 0);
    RECT r;
    GetClientRect(dialog, &r);
    int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (r.right - r.left - cx + 1) / 2, (r.bottom - r.top - cy + 1) / 2, icon);
    EndPaint(dialog, &ps);
    return true;
}

MB_BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
    mb::OnMessage(WM_SYSCOMMAND, &CProgressDlg::OnSysCommand),
    mb::OnMessage(WM_PAINT, &CProgressDlg::OnPaint),
    mb::OnMessage(WM_QUERYDRAGICON, &CProgressDlg::OnQueryDragIcon),
    mb::OnCommand(1003, &CProgressDlg::OnStatusCommand),
MB_END_MESSAGE_MAP()

CProgressDlg::CProgressDlg(HWND parent) : CDialog(IDD_QV_PROGRESS, parent)
{
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Texts())
        app->Texts()->LoadIcon(IDI_QV_APP, m_icon);
}

BOOL CProgressDlg::OnInitDialog()
{
    QvAddAboutItem(m_hWnd);
    SetIcon(m_icon, true);
    SetIcon(m_icon, false);
    m_animation.SubclassDlgItem(1012, m_hWnd);
    m_bar.SubclassDlgItem(1011, m_hWnd);
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Texts())
        SetItemTextW(IDCANCEL, app->Texts()->Text(632));
    m_animationOpened = m_animation.Open(IDR_QV_SEARCHING);
    ResetDisplay();
    BeginRun();
    return TRUE;
}

void CProgressDlg::OnCancel()
{
    // The search ends after its current pass; the window stays until then.
    if (CUpdaterApp* app = CUpdaterApp::Get())
        app->SetStop();
}

LRESULT CProgressDlg::OnSysCommand(WPARAM wp, LPARAM lp)
{
    if (QvIsAboutCommand(wp)) {
        QvShowAbout();
        return 0;
    }
    return Default();
}

LRESULT CProgressDlg::OnPaint(WPARAM wp, LPARAM lp)
{
    if (QvPaintMinimised(m_hWnd, m_icon))
        return 0;
    return Default();
}

void CProgressDlg::ShowSearching()
{
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Texts()) {
        SetTextW(app->Texts()->Text(106));
        SetStatusText(app->Texts()->Text(102));
    }
    m_bar.ShowWindow(SW_HIDE);
    m_animation.ShowWindow(SW_SHOW);
    m_animation.Play(0, UINT(-1), UINT(-1));
}

void CProgressDlg::ShowRecovery()
{
    ShowBar();
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Texts()) {
        SetTextW(app->Texts()->Text(107));
        SetStatusText(app->Texts()->Text(103));
    }
}

void CProgressDlg::ShowBar()
{
    m_animation.Stop();
    m_animation.ShowWindow(SW_HIDE);
    m_bar.ShowWindow(SW_SHOW);
}

void CProgressDlg::SetPhase(int phase, int steps)
{
    if (!IsActive())
        return;
    m_bar.SetRange(0, steps);
    m_bar.SetStep(1);
    m_bar.SetPos(0);
}

void CProgressDlg::Step()
{
    if (IsActive())
        m_bar.StepIt();
}
