#include "UpdaterApp.h"
#include "MessageBoxes.h"
#include "ProgressDlg.h"
#include "UpdaterDlg.h"
#include "qv/QvLanguage.h"
#include "qv/QvTransportFactory.h"
#include <commctrl.h>
#include <new>

CUpdaterApp::CUpdaterApp() = default;

CUpdaterApp::~CUpdaterApp()
{
    QvSetBoxTexts(nullptr);
    m_updater.reset();
    m_log.reset();
    m_options.reset();
    m_texts.reset();
    if (m_instanceMutex)
        CloseHandle(m_instanceMutex);
}

void CUpdaterApp::ChooseUiLanguage() { m_uiLanguage = QvChooseUiLanguage(UserLanguage()); }

void CUpdaterApp::LogText(const std::wstring& text)
{
    if (m_log)
        m_log->WriteLine(text);
}

void CUpdaterApp::ComposeErrorText(int error, std::wstring& main, std::wstring& details, int forLog)
{
    main.clear();
    details.clear();
    if (!m_texts)
        return;
    std::u16string m, d;
    m_texts->ComposeErrorText(error, m, d, forLog);
    main = QvWide(m);
    details = QvWide(d);
}

void CUpdaterApp::ReportError(int error, HWND parent)
{
    std::wstring main, details;
    ComposeErrorText(error, main, details, 0);
    int kind = QvBoxKindForError(error, NoQuestions());
    if (kind != QV_BOX_NONE)
        QvDetailBox(kind, main, details, parent);
    if (m_log && m_options && m_options->Log()) {
        ComposeErrorText(error, main, details, 1);
        m_log->WriteLine(details.empty() ? main : main + L"\r\n" + details);
    }
}

int CUpdaterApp::IsAdministrator()
{
    HANDLE token = nullptr, impersonation = nullptr;
    PSID admins = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    BOOL granted = FALSE;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE, &token)) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &token))
            token = nullptr;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (token && DuplicateToken(token, SecurityImpersonation, &impersonation) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
        DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(admins) - sizeof(DWORD);
        acl = static_cast<PACL>(LocalAlloc(LPTR, aclSize));
        descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
        const DWORD READ = 1, WRITE = 2;
        GENERIC_MAPPING mapping = {READ, WRITE, 0, READ | WRITE};
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges;
        DWORD grantedAccess = 0;
        if (acl && descriptor && InitializeAcl(acl, aclSize, ACL_REVISION2) &&
            AddAccessAllowedAce(acl, ACL_REVISION2, READ | WRITE, admins) &&
            InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) &&
            SetSecurityDescriptorOwner(descriptor, admins, FALSE) &&
            SetSecurityDescriptorGroup(descriptor, admins, FALSE) && IsValidSecurityDescriptor(descriptor)) {
            BOOL status = FALSE;
            if (AccessCheck(descriptor, impersonation, READ, &mapping, &privileges, &privilegesSize, &grantedAccess,
                            &status))
                granted = status;
        }
    }
    if (acl)
        LocalFree(acl);
    if (descriptor)
        LocalFree(descriptor);
    if (admins)
        FreeSid(admins);
    if (impersonation)
        CloseHandle(impersonation);
    if (token)
        CloseHandle(token);
    return granted ? 1 : 0;
}

int CUpdaterApp::ClaimSingleInstance()
{
    CQvConfigInfo* config = Config();
    std::u16string exe;
    std::string vendor, product;
    config->ExeName(exe);
    config->ScsiVendor(vendor);
    config->ScsiProduct(product);
    std::wstring name = QvWide(exe) + std::wstring(vendor.begin(), vendor.end()) +
                        std::wstring(product.begin(), product.end());
    m_instanceMutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!m_instanceMutex)
        return -51;
    return GetLastError() == ERROR_ALREADY_EXISTS ? -62 : 0;
}

int CUpdaterApp::ActivateOtherInstance()
{
    const int titles[] = {53, 106, 107};
    for (int id : titles) {
        std::wstring title = m_texts->Text(id);
        HWND found = title.empty() ? nullptr : FindWindowW(nullptr, title.c_str());
        if (!found)
            continue;
        HWND popup = GetLastActivePopup(found);
        if (IsIconic(found))
            ShowWindow(found, SW_RESTORE);
        SetForegroundWindow(popup ? popup : found);
        return 1;
    }
    return 0;
}

void CUpdaterApp::WaitForDriveChange(DWORD mask)
{
    DWORD start = GetTickCount();
    PumpMessages();
    Pause(500);
    while (LogicalDrives() == mask) {
        if (GetTickCount() - start > 120000)
            return;
        if (m_stop)
            break;
        PumpMessages();
        Pause(500);
    }
    for (int i = 0; i < 100 && !m_stop; ++i) {
        Pause(100);
        PumpMessages();
    }
}

int CUpdaterApp::CreateObjects()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    m_binding.reset(CreateBinding());
    m_updater.reset(new (std::nothrow) CQvUpdater(m_binding.get()));
    if (!m_binding || !m_updater)
        return -1;
    ChooseUiLanguage();
    m_texts.reset(new (std::nothrow) CErrorTextTable(&m_updater->Config(), &m_updater->ErrorInfo(), m_uiLanguage));
    if (!m_texts)
        return -1;
    QvSetBoxTexts(m_texts.get());
    if (m_texts->LastError() == -61)
        return -61;
    m_updater->SetResource(m_texts.get());
    return 0;
}

BOOL CUpdaterApp::InitInstance()
{
    int r = CreateObjects();
    if (r == -61) {
        // The box texts come from the program itself; the system's text
        // says why the library did not load.
        std::wstring main, details;
        ComposeErrorText(-61, main, details, 0);
        QvDetailBox(QV_BOX_ERROR, main, details, nullptr);
        return FALSE;
    }
    if (r != 0)
        return FALSE;

    int versionClass = QvCurrentVersionClass();
    if ((versionClass == 2 || versionClass == 3) && !IsAdministrator()) {
        ReportError(-58, nullptr);
        return FALSE;
    }

    m_options.reset(new (std::nothrow) CmdLineOptions(QvU16(RawCommandLine()), &m_updater->Config()));
    if (!m_options)
        return FALSE;
    if (m_options->LastError() != 0) {
        ReportError(m_options->LastError(), nullptr);
        return FALSE;
    }
    if (m_options->Log())
        m_log.reset(new (std::nothrow) CLogFile(QvWide(m_options->LogPath())));
    if (m_options->Help()) {
        std::u16string usage;
        m_options->UsageText(usage);
        QvSimpleBox(QV_BOX_INFORMATION, QvWide(usage), nullptr);
        return FALSE;
    }
    if (m_options->LogEnglish() && m_uiLanguage != 0x0009 && m_texts->SwitchLanguage(0x0409) != 0) {
        ReportError(-61, nullptr);
        return FALSE;
    }

    r = ClaimSingleInstance();
    if (r == -62) {
        if (!ActivateOtherInstance())
            ReportError(-52, nullptr);
        return FALSE;
    }
    if (r != 0) {
        ReportError(r, nullptr);
        return FALSE;
    }

    m_progress = new (std::nothrow) CProgressDlg();
    if (!m_progress || !m_progress->Create(nullptr)) {
        delete m_progress;
        m_progress = nullptr;
        return FALSE;
    }
    SearchLoop();
    m_progress->DestroyWindow();
    delete m_progress;
    m_progress = nullptr;
    return FALSE;
}

void CUpdaterApp::SearchLoop()
{
    while (!m_stop) {
        int r = m_updater->OpenUsbMscDevice();
        if (r == 0 || r == -43) {
            m_updater->ReleaseDevice();
            RunMainDialog(r);
        } else if (r == -11) {
            ReportError(-11, nullptr);
            m_stop = 1;
        } else if (r == -12 || r == -1) {
            // A damaged firmware file or no memory: the next pass would only
            // fail the same way.
            ReportError(r, nullptr);
            m_stop = 1;
        } else {
            std::wstring main, details;
            ComposeErrorText(r, main, details, 1);
            LogText(main);
            Recover();
        }
        if (!m_stop)
            PumpMessages();
    }
}

void CUpdaterApp::Recover()
{
    int r = m_updater->OpenRecoveryDevice();
    if (r == -11 || r == -12 || r == -1) {
        ReportError(r, nullptr);
        m_stop = 1;
        return;
    }
    if (r != 0) {
        std::wstring main, details;
        ComposeErrorText(r, main, details, 1);
        LogText(main);
        return;
    }
    DWORD mask = LogicalDrives();
    m_progress->ShowRecovery();
    LogText(m_texts->Text(103, 1));
    r = m_updater->RecoverUsbMsc(m_progress);
    ReportError(r, nullptr);
    if (r != 0) {
        m_stop = 1;
        return;
    }
    m_progress->SetStatusText(m_texts->Text(104));
    m_progress->ShowSearching();
    WaitForDriveChange(mask);
}

void CUpdaterApp::RunMainDialog(int found)
{
    m_progress->ShowWindow(SW_HIDE);
    m_progress->ShowBar();
    CUpdaterDlg dialog(m_updater.get());
    if (found == -43)
        ReportError(-43, nullptr);
    m_pMainWnd = &dialog;
    m_updater->SetProgress(&dialog);
    if (m_options->AutoRun()) {
        // Modeless before Start runs, so that closing when done destroys the
        // window (ending the pump below) instead of ending a modal loop that
        // is not running.
        dialog.SetModal(0);
        if (dialog.Create(nullptr)) {
            dialog.ShowWindow(SW_SHOW);
            dialog.OnStart();
            while (::IsWindow(dialog.m_hWnd)) {
                MSG msg;
                if (!GetMessageW(&msg, nullptr, 0, 0))
                    break;
                mb::ProcessMessage(msg);
            }
        }
    } else {
        dialog.SetModal(1);
        dialog.DoModal();
    }
    m_updater->SetProgress(nullptr);
    m_pMainWnd = nullptr;
    m_stop = 1;
    if (::IsWindow(dialog.m_hWnd))
        dialog.DestroyWindow();
}
