#include "ConfigDlg.h"

#include <shellapi.h>
#include <shlobj.h>

#include "ManagerSettings.h"
#include "registry/RegistryKey.h"
#include "StringIds.h"
#include "Text.h"
#include "fileutil/FileText.h"
#include "fileutil/WindowsCodePage.h"

MB_BEGIN_MESSAGE_MAP(CConfigDlg, CDialog)
    mb::OnCommand(IDC_CONFIG_OK, &CConfigDlg::OnOkButton),
    mb::OnCommand(IDC_CONFIG_FORMAT, &CConfigDlg::OnLaunchFormatter),
    mb::OnCommand(IDC_CONFIG_FWU, &CConfigDlg::OnFwuStart),
    mb::OnCommand(IDC_CONFIG_INT, &CConfigDlg::OnNothing),
    mb::OnCommand(IDC_CONFIG_EXT, &CConfigDlg::OnNothing),
    mb::OnControl(CBN_SELCHANGE, IDC_CONFIG_DL, &CConfigDlg::OnDlChanged),
    mb::OnControl(CBN_SELCHANGE, IDC_CONFIG_TR, &CConfigDlg::OnTrChanged),
    mb::OnControl(EN_CHANGE, IDC_CONFIG_LABEL_INT, &CConfigDlg::OnIntLabelChanged),
    mb::OnControl(EN_CHANGE, IDC_CONFIG_LABEL_EXT, &CConfigDlg::OnExtLabelChanged),
    mb::OnTimer(&CConfigDlg::OnTimer),
MB_END_MESSAGE_MAP()

namespace {
std::string ReadLabel(const std::string& root)
{
    char label[MAX_PATH + 1] = {};
    if (root.empty() || !::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        return std::string();
    return label;
}

std::string EditText(HWND dialog, UINT id)
{
    char text[64] = {};
    ::GetDlgItemTextA(dialog, int(id), text, sizeof text);
    return text;
}
}  // namespace

CConfigDlg::CConfigDlg(HWND owner, const std::string& internalRoot, const std::string& externalRoot, int result)
    : CDialog(IDD_CONFIG, owner), m_result(result), m_registryKey(CManagerSettings::AppPathsKey()),
      m_formatDrive(&::SHFormatDrive)
{
    m_roots[0] = internalRoot;
    m_roots[1] = externalRoot;
}

CConfigDlg::~CConfigDlg()
{
    if (m_updater) ::CloseHandle(m_updater);
}

const char* CConfigDlg::UpdaterName(int osLevel) { return osLevel == 0 ? "qvrx3update.exe" : "QvUsbMscupdate.exe"; }

BOOL CConfigDlg::OnInitDialog()
{
    m_initialising = true;
    const CManagerSettings::Values values = CManagerSettings::Read(m_registryKey);
    const char* dl[] = {"Do not delete the downloaded files.", "Delete the downloaded files."};
    const char* tr[] = {"Show", "Hide"};
    for (int i = 0; i < 2; ++i) {
        ::SendDlgItemMessageA(m_hWnd, IDC_CONFIG_DL, CB_ADDSTRING, 0, LPARAM(dl[i]));
        ::SendDlgItemMessageA(m_hWnd, IDC_CONFIG_TR, CB_ADDSTRING, 0, LPARAM(tr[i]));
    }
    ::SendDlgItemMessageA(m_hWnd, IDC_CONFIG_DL, CB_SETCURSEL, values.cfgDl ? 1 : 0, 0);
    ::SendDlgItemMessageA(m_hWnd, IDC_CONFIG_TR, CB_SETCURSEL, values.cfgTr ? 1 : 0, 0);
    const UINT edits[2] = {IDC_CONFIG_LABEL_INT, IDC_CONFIG_LABEL_EXT};
    for (int i = 0; i < 2; ++i) {
        // A volume label holds 11 characters on either memory.
        ::SendDlgItemMessageA(m_hWnd, edits[i], EM_LIMITTEXT, LABEL_MAX, 0);
        if (m_roots[i].empty()) {
            EnableItem(edits[i], false);
            continue;
        }
        m_labels[i] = ReadLabel(m_roots[i]);
        SetItemText(edits[i], m_labels[i]);
    }
    m_initialising = false;
    return TRUE;
}

void CConfigDlg::OnIntLabelChanged()
{
    if (!m_initialising) m_result |= CONFIG_INT_LABEL;
}

void CConfigDlg::OnExtLabelChanged()
{
    if (!m_initialising) m_result |= CONFIG_EXT_LABEL;
}

BOOL CConfigDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

bool CConfigDlg::WriteSettings(const std::string& key, DWORD dl, DWORD tr)
{
    CRegistryKey reg(HKEY_LOCAL_MACHINE);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (reg.Open(HKEY_LOCAL_MACHINE, key)) {
            const bool ok = reg.WriteDword("CFG_DL", dl) == ERROR_SUCCESS && reg.WriteDword("CFG_TR", tr) == ERROR_SUCCESS;
            reg.Close();
            return ok;
        }
        if (attempt < 2 && !reg.Create(HKEY_LOCAL_MACHINE, key)) return false;
        reg.Close();
    }
    return false;
}

void CConfigDlg::OnOK()
{
    const DWORD dl = DWORD(::SendDlgItemMessageA(m_hWnd, IDC_CONFIG_DL, CB_GETCURSEL, 0, 0));
    const DWORD tr = DWORD(::SendDlgItemMessageA(m_hWnd, IDC_CONFIG_TR, CB_GETCURSEL, 0, 0));
    WriteSettings(m_registryKey, dl == 1 ? 1 : 0, tr == 1 ? 1 : 0);
    // The labels the user changed go to their memories.
    const struct { int bit; UINT edit; } labels[2] = {{CONFIG_INT_LABEL, IDC_CONFIG_LABEL_INT},
                                                      {CONFIG_EXT_LABEL, IDC_CONFIG_LABEL_EXT}};
    for (int i = 0; i < 2; ++i) {
        if (!(m_result & labels[i].bit) || m_roots[i].empty()) continue;
        const std::string text = CFileText(CWindowsCodePage()).CutToBytes(EditText(m_hWnd, labels[i].edit), LABEL_MAX);
        if (text == m_labels[i]) continue;
        m_labelsWritten[i] = text;
        ::SetVolumeLabelA(m_roots[i].c_str(), text.empty() ? nullptr : text.c_str());
    }
    EndDialog(IDOK);
}

void CConfigDlg::OnLaunchFormatter()
{
    if (m_roots[0].empty()) return;
    int drive = -1;
    for (int d = 2; d < 26; ++d) {
        const std::string root = mb::Format("%c:\\", 'A' + d);
        if (::lstrcmpiA(root.c_str(), m_roots[0].c_str()) == 0) {
            drive = d;
            break;
        }
    }
    if (drive < 0) return;
    const DWORD result = m_formatDrive(m_hWnd, UINT(drive), SHFMT_ID_DEFAULT, 0);
    if (result == DWORD(SHFMT_NOFORMAT)) {
        ShowMessage(mb::LoadText(IDS_NO_FORMATTER));
        return;
    }
    m_result |= CONFIG_FORMATTED;
    // The player's settings file goes back onto the empty memory; one that is
    // already there stays as it is.
    const std::string backup = m_programFolder + "SETTINGS.DAT";
    ::SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    ::CopyFileA(backup.c_str(), (m_roots[0] + "SETTINGS.DAT").c_str(), TRUE);
    ::SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
}

void CConfigDlg::OnFwuStart()
{
    if (m_updater) return;
    if (!m_roots[0].empty() || !m_roots[1].empty()) {
        if (ShowMessage(mb::LoadText(IDS_FORMAT_ASK), MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
    }
    const std::string file = m_programFolder + UpdaterName(m_osLevel);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = m_hWnd;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpDirectory = ".";
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExA(&info) || reinterpret_cast<INT_PTR>(info.hInstApp) < 33) {
        ShowMessage(mb::LoadText(IDS_NO_UPGRADER));
        return;
    }
    m_result |= CONFIG_UPDATER_STARTED;
    m_updater = info.hProcess;
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    SetTimer(11, 200);
    EnableWindow(false);
}

void CConfigDlg::OnTimer(UINT_PTR id)
{
    if (id != 11) return;
    DWORD code = STILL_ACTIVE;
    // A tool started without a process handle counts as ended.
    if (m_updater && ::GetExitCodeProcess(m_updater, &code) && code == STILL_ACTIVE) return;
    KillTimer(11);
    if (m_updater) ::CloseHandle(m_updater);
    m_updater = nullptr;
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
    EnableWindow(true);
    ::SetForegroundWindow(m_hWnd);
}
