#include "UpdaterDlg.h"
#include "ErrorTextTable.h"
#include "MessageBoxes.h"
#include "ProgressDlg.h"
#include "UpdaterApp.h"
#include "VersionDetailsDlg.h"
#include "resource.h"
#include <shlobj.h>

namespace {
std::wstring VersionText(const CQvVersionInfo& v)
{
    wchar_t text[64];
    wsprintfW(text, L"%u.%u.%u", unsigned(v.Major()), unsigned(v.Minor()), unsigned(v.Revision()));
    return text;
}

CErrorTextTable* Texts()
{
    CUpdaterApp* app = CUpdaterApp::Get();
    return app ? app->Texts() : nullptr;
}

std::wstring Text(int id)
{
    CErrorTextTable* t = Texts();
    return t ? t->Text(id) : std::wstring();
}
} // namespace

MB_BEGIN_MESSAGE_MAP(CUpdaterDlg, CDialog)
    mb::OnMessage(WM_SYSCOMMAND, &CUpdaterDlg::OnSysCommand),
    mb::OnMessage(WM_PAINT, &CUpdaterDlg::OnPaint),
    mb::OnMessage(WM_QUERYDRAGICON, &CUpdaterDlg::OnQueryDragIcon),
    mb::OnCommand(1017, &CUpdaterDlg::OnShowDetails),
    mb::OnCommand(1008, &CUpdaterDlg::OnFormatDataArea),
    mb::OnCommand(1012, &CUpdaterDlg::OnStartButton),
MB_END_MESSAGE_MAP()

CUpdaterDlg::CUpdaterDlg(CQvUpdater* updater, HWND parent) : CDialog(IDD_QV_MAIN, parent), m_updater(updater)
{
    if (CErrorTextTable* t = Texts())
        t->LoadIcon(IDI_QV_APP, m_icon);
}

int CUpdaterDlg::DefaultFormat() const
{
    int confirm = 0;
    if (m_updater)
        m_updater->Config().ConfirmStart(confirm);
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Options() && app->Options()->FormatDataArea())
        confirm = 1;
    return confirm;
}

BOOL CUpdaterDlg::OnInitDialog()
{
    QvAddAboutItem(m_hWnd);
    SetIcon(m_icon, true);
    SetIcon(m_icon, false);
    m_total.SubclassDlgItem(1014, m_hWnd);
    m_steps.SubclassDlgItem(1011, m_hWnd);
    m_format.SubclassDlgItem(1008, m_hWnd);
    m_format.SetCheck(DefaultFormat() ? BST_CHECKED : BST_UNCHECKED);
    SetTextW(Text(53));
    const std::pair<UINT, int> texts[] = {{IDOK, 147}, {1001, 142}, {1007, 144}, {1008, 145}, {1010, 141},
                                          {1012, 146}, {1017, 143}, {1018, 140}};
    for (const auto& t : texts)
        SetItemTextW(t.first, Text(t.second));
    EnableItem(1012, true);
    m_total.SetRange(0, 20);
    m_total.SetStep(1);
    ShowVersions();
    return TRUE;
}

void CUpdaterDlg::Close()
{
    if (m_modal)
        EndDialog(IDOK);
    else
        DestroyWindow();
}

void CUpdaterDlg::OnCancel()
{
    if (IsActive())
        return; // a run is under way
    if (m_modal)
        EndDialog(IDCANCEL);
    else
        DestroyWindow();
}

LRESULT CUpdaterDlg::OnSysCommand(WPARAM wp, LPARAM lp)
{
    if (QvIsAboutCommand(wp)) {
        QvShowAbout();
        return 0;
    }
    return Default();
}

LRESULT CUpdaterDlg::OnPaint(WPARAM wp, LPARAM lp)
{
    if (QvPaintMinimised(m_hWnd, m_icon))
        return 0;
    return Default();
}

void CUpdaterDlg::ShowVersions()
{
    CQvVersionInfo device, file;
    int r = m_updater ? m_updater->GetProductVersions(device, file) : -26;
    if (r != 0) {
        if (CUpdaterApp* app = CUpdaterApp::Get())
            app->ReportError(r, m_hWnd);
        return;
    }
    SetItemTextW(1015, VersionText(device));
    SetItemTextW(1016, VersionText(file));
}

void CUpdaterDlg::OnFormatDataArea()
{
    if (m_format.GetCheck() == BST_CHECKED && QvSimpleBox(QV_BOX_OPTION, Text(162), m_hWnd) == IDNO)
        m_format.SetCheck(BST_UNCHECKED);
}

void CUpdaterDlg::OnStart()
{
    CWaitCursor wait;
    CUpdaterApp* app = CUpdaterApp::Get();
    int confirm = 0;
    if (m_updater)
        m_updater->Config().ConfirmStart(confirm);
    if (m_format.GetCheck() == BST_CHECKED && confirm && !(app && app->NoQuestions()) &&
        QvSimpleBox(QV_BOX_OPTION, Text(631), m_hWnd) == IDNO)
        return;
    if (BeginRun() != 0)
        return;
    RunUpdate();
    EndRun();
    if (app && app->Options() && app->Options()->CloseWhenDone())
        Close();
}

int CUpdaterDlg::ChooseMode(int& mode)
{
    mode = QV_MODE_NOTHING;
    if (m_format.GetCheck() == BST_CHECKED) {
        mode = QV_MODE_FORMAT;
        return 0;
    }
    int current = 0;
    int r = m_updater->IsAllocationCurrent(current);
    if (r != 0)
        return r;
    if (current) {
        mode = QV_MODE_UPDATE;
        return 0;
    }
    CUpdaterApp* app = CUpdaterApp::Get();
    if ((app && app->NoQuestions()) || QvSimpleBox(QV_BOX_OPTION, Text(161), m_hWnd) == IDYES) {
        m_format.SetCheck(BST_CHECKED);
        mode = QV_MODE_FORMAT;
    }
    return 0;
}

void CUpdaterDlg::RunUpdate()
{
    CUpdaterApp* app = CUpdaterApp::Get();
    int mode = QV_MODE_NOTHING;
    int r = ChooseMode(mode);
    if (r != 0) {
        if (app)
            app->ReportError(r, m_hWnd);
        return;
    }
    if (mode == QV_MODE_FORMAT)
        r = m_updater->FormatMedia();
    else if (mode == QV_MODE_UPDATE)
        r = m_updater->UpdateFirmware();
    if (app)
        app->ReportError(r, m_hWnd);
    ShowVersions();
    if (mode == QV_MODE_UPDATE && r == 0) {
        // The player's settings belong to the old firmware.
        wchar_t path[] = L"?:\\SETTINGS.DAT";
        path[0] = wchar_t(m_updater->DriveLetter());
        if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
            SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(path)) {
                m_updater->ErrorInfo().Set(-59, GetLastError());
                if (app)
                    app->ReportError(-59, m_hWnd);
            }
        }
    }
    SetPhase(r != 0 ? 48 : 49, 1);
    Step();
}

int CUpdaterDlg::BeginRun()
{
    SetActive(true);
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app)
        app->LogText(Text(207));
    int r = m_updater->OpenUsbMscDevice();
    if (r == -22)
        r = -53;
    if (r != 0 && r != -43) {
        if (app)
            app->ReportError(r, m_hWnd);
        SetActive(false);
        return r;
    }
    SetItemTextW(1013, L"");
    m_steps.SetPos(0);
    m_total.SetPos(0);
    EnableControls(false);
    NotifyShell(true);
    return 0;
}

void CUpdaterDlg::EndRun()
{
    m_format.SetCheck(DefaultFormat() ? BST_CHECKED : BST_UNCHECKED);
    EnableControls(true);
    NotifyShell(false);
    SetActive(false);
}

void CUpdaterDlg::EnableControls(bool enable)
{
    for (UINT id : {1008u, 1012u, 1017u, UINT(IDOK)})
        EnableItem(id, enable);
}

void CUpdaterDlg::NotifyShell(bool removed)
{
    wchar_t root[] = L"?:\\";
    root[0] = wchar_t(m_updater->DriveLetter());
    if (root[0]) {
        LONG events = removed ? SHCNE_MEDIAREMOVED : (SHCNE_MEDIAINSERTED | SHCNE_UPDATEDIR | SHCNE_FREESPACE);
        SHChangeNotify(events, SHCNF_PATHW | SHCNF_FLUSH, root, nullptr);
    }
    Sleep(1000);
}

void CUpdaterDlg::Begin(int totalSteps)
{
    if (!IsActive())
        return;
    m_total.SetRange(0, totalSteps);
    m_total.SetStep(1);
}

void CUpdaterDlg::SetPhase(int phase, int steps)
{
    if (!IsActive())
        return;
    CUpdaterApp* app = CUpdaterApp::Get();
    m_steps.SetRange(0, steps);
    m_steps.SetStep(1);
    m_steps.SetPos(0);
    std::u16string text;
    if (app && app->Texts())
        app->Texts()->PhaseText(phase, text);
    SetItemTextW(1013, QvWide(text));
    if (app) {
        app->LogText(QvWide(text));
        app->PumpMessages();
    }
    StepTotal();
    if (phase == 48 || phase == 49) {
        PBRANGE range = {};
        m_total.Send(PBM_GETRANGE, FALSE, LPARAM(&range));
        m_total.SetPos(range.iHigh);
    }
}

void CUpdaterDlg::Step()
{
    if (IsActive())
        m_steps.StepIt();
    if (CUpdaterApp* app = CUpdaterApp::Get())
        app->PumpMessages();
}

void CUpdaterDlg::StepTotal()
{
    if (IsActive())
        m_total.StepIt();
}

void CUpdaterDlg::OnShowDetails()
{
    CUpdaterApp* app = CUpdaterApp::Get();
    int r = m_updater->OpenUsbMscDevice();
    m_updater->ReleaseDevice();
    if (r == -22)
        r = -54;
    if (r != 0 && r != -43 && app)
        app->ReportError(r, m_hWnd);
    const CQvVersionInfoPtrArray *current = nullptr, *upgrade = nullptr;
    uint16_t chip = 0;
    r = m_updater->GetVersionArrays(current, upgrade);
    if (r == 0)
        r = m_updater->ChipRevision(chip);
    if (r != 0) {
        if (app)
            app->ReportError(r, m_hWnd);
        return;
    }
    CVersionDetailsDlg details(current, upgrade, &m_updater->Config(), chip, m_hWnd);
    details.DoModal();
}
