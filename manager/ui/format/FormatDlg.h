// CFormatDlg: the modal "Formatting..." dialog (template 312). A worker starts
// the outside format tool for one memory; the dialog shows a bar and a
// percentage until the worker has reported, and hands the tool's process to
// its owner, who watches the format to its end.
#pragma once

#include <windows.h>

#include <string>

#include "Dialog.h"

enum : UINT {
    IDD_FORMAT = 312,
    IDC_FORMAT_CANCEL = 1167,
    IDC_FORMAT_WHAT = 1168,
    IDC_FORMAT_PERCENT = 1169,
    IDC_FORMAT_PROGRESS = 1170,
};

// The worker's result.
enum FORMAT_START : int {
    FORMAT_START_RUNNING = 0,
    FORMAT_START_STARTED = 1,
    FORMAT_START_FAILED = -1,
    FORMAT_START_FAILED_AFTER_CANCEL = 2,
};

class CFormatDlg : public CDialog {
public:
    // The 100 ms ticks the bar takes to fill while the start is awaited.
    static constexpr int EXPECTED_TICKS = 20;

    explicit CFormatDlg(HWND parent = nullptr);
    ~CFormatDlg() override;

    void SetParams(const std::string& root, const std::string& label, HWND owner, int memory);
    // The tool's name for the platform class: 0 is Windows 95/98.
    static const char* ToolName(int osLevel);

    BOOL OnInitDialog() override;
    // Enter and Escape only ask for a cancel: the start cannot be stopped.
    void OnOK() override { m_cancelRequested = 1; }
    void OnCancel() override { m_cancelRequested = 1; }

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnCancelButton() { m_cancelRequested = 1; }
    void OnTimer(UINT_PTR id);
    LRESULT OnClose(WPARAM, LPARAM);

    // The worker: starts the tool and reports in m_result.
    static DWORD WINAPI RunFormatter(void* dialog);

    // The started tool's process (nullptr when the shell gave none); the
    // caller owns it afterwards.
    HANDLE TakeProcess();

    std::string m_drive;     // "X:"
    std::string m_label;
    HWND m_owner = nullptr;
    int m_memory = -1;
    // The platform class, copied from the main dialog before the run.
    short m_osLevel = 0;
    volatile LONG m_result = FORMAT_START_RUNNING;
    volatile LONG m_cancelRequested = 0;
    int m_ticks = 0;
    std::string m_whatText;
    std::string m_percentText;
    // The program folder the tool is started from (ends with "\").
    std::string m_programFolder;

private:
    HANDLE m_thread = nullptr;
    HANDLE m_process = nullptr;
};
