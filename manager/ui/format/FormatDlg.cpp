#include "FormatDlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include "Gdi.h"
#include "StringIds.h"
#include "Text.h"

MB_BEGIN_MESSAGE_MAP(CFormatDlg, CDialog)
    mb::OnCommand(IDC_FORMAT_CANCEL, &CFormatDlg::OnCancelButton),
    mb::OnTimer(&CFormatDlg::OnTimer),
    mb::OnMessage(WM_CLOSE, &CFormatDlg::OnClose),
MB_END_MESSAGE_MAP()

CFormatDlg::CFormatDlg(HWND parent) : CDialog(IDD_FORMAT, parent) {}

CFormatDlg::~CFormatDlg()
{
    // The worker writes into this object: it must be gone first.
    if (m_thread) {
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
    }
    if (m_process) ::CloseHandle(m_process);
}

void CFormatDlg::SetParams(const std::string& root, const std::string& label, HWND owner, int memory)
{
    m_drive = root.substr(0, 2);
    m_label = label;
    m_owner = owner;
    m_memory = memory;
}

const char* CFormatDlg::ToolName(int osLevel) { return osLevel == 0 ? "qvrx3format.exe" : "qvusbmscformat.exe"; }

HANDLE CFormatDlg::TakeProcess()
{
    HANDLE process = m_process;
    m_process = nullptr;
    return process;
}

BOOL CFormatDlg::OnInitDialog()
{
    m_result = FORMAT_START_RUNNING;
    m_cancelRequested = 0;
    m_ticks = 0;
    // No memory to format: nothing starts, so nothing would ever end the
    // dialog either; it ends at once with the result still 0.
    if (m_memory != 0 && m_memory != 1) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    m_whatText = mb::LoadText(m_memory == 0 ? IDS_FORMAT_INTERNAL : IDS_FORMAT_EXTERNAL);
    m_percentText = mb::Format(mb::LoadText(IDS_FORMAT_PERCENT).c_str(), 0, '%');
    SetItemText(IDC_FORMAT_WHAT, m_whatText);
    SetItemText(IDC_FORMAT_PERCENT, m_percentText);
    m_thread = mb::BeginThread(&CFormatDlg::RunFormatter, this);
    if (!m_thread) {
        ShowMessage(mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(), "FAILED TO CREATE A THREAD FOR FORMAT OPERATION."));
        EndDialog(IDCANCEL);
        return TRUE;
    }
    ::SendDlgItemMessageA(m_hWnd, IDC_FORMAT_PROGRESS, PBM_SETRANGE32, 0, EXPECTED_TICKS);
    ::SendDlgItemMessageA(m_hWnd, IDC_FORMAT_PROGRESS, PBM_SETPOS, 0, 0);
    SetTimer(5, 100);
    return TRUE;
}

DWORD WINAPI CFormatDlg::RunFormatter(void* dialog)
{
    auto* self = static_cast<CFormatDlg*>(dialog);
    if (self->m_drive.size() != 2 || self->m_drive[1] != ':') {
        self->m_result = FORMAT_START_FAILED;
        return 3;
    }
    const std::string file = self->m_programFolder + ToolName(self->m_osLevel);
    // SEE_MASK_NOCLOSEPROCESS: the owner watches the format to its end.
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = self->m_hWnd;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpParameters = self->m_drive.c_str();
    info.lpDirectory = ".";
    info.nShow = SW_HIDE;
    const BOOL ok = ::ShellExecuteExA(&info);
    if (!ok || reinterpret_cast<INT_PTR>(info.hInstApp) < 33) {
        if (info.hProcess) ::CloseHandle(info.hProcess);
        self->m_result = self->m_cancelRequested ? FORMAT_START_FAILED_AFTER_CANCEL : FORMAT_START_FAILED;
        return 3;
    }
    self->m_process = info.hProcess;
    // A full barrier: the dialog's thread takes the process once it reads
    // the result.
    ::InterlockedExchange(&self->m_result, FORMAT_START_STARTED);
    return 3;
}

void CFormatDlg::OnTimer(UINT_PTR id)
{
    if (id != 5) return;
    ++m_ticks;
    const int percent = m_ticks > EXPECTED_TICKS ? 100 : m_ticks * 100 / EXPECTED_TICKS;
    ::SendDlgItemMessageA(m_hWnd, IDC_FORMAT_PROGRESS, PBM_SETPOS, WPARAM(m_ticks), 0);
    m_percentText = mb::Format(mb::LoadText(IDS_FORMAT_PERCENT).c_str(), percent, '%');
    SetItemText(IDC_FORMAT_PERCENT, m_percentText);
    const LONG result = m_result;
    if (result == FORMAT_START_STARTED) {
        ::SendDlgItemMessageA(m_hWnd, IDC_FORMAT_PROGRESS, PBM_SETPOS, EXPECTED_TICKS, 0);
        m_percentText = mb::Format(mb::LoadText(IDS_FORMAT_PERCENT).c_str(), 100, '%');
        SetItemText(IDC_FORMAT_PERCENT, m_percentText);
        ::SleepEx(500, TRUE);
    }
    if (result != FORMAT_START_RUNNING) {
        KillTimer(5);
        EndDialog(result == FORMAT_START_STARTED ? IDOK : IDCANCEL);
    }
}

LRESULT CFormatDlg::OnClose(WPARAM, LPARAM)
{
    if (m_result != FORMAT_START_RUNNING)
        EndDialog(IDCANCEL);
    else
        m_cancelRequested = 1;
    return 0;
}
