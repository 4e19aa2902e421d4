// CTestPanelDlg: the engineering "Test Panel" (template 168): an endless
// download/delete cycle of the selected PC files on the player's memory, and
// a run that grows "~name" on the PC by appending a file to it over and over.
// Both runs are loops on the window's thread that pump its messages; the
// loops themselves are testpanel::RunCycle and RunMakeFile.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"
#include "Dialog.h"
#include "TestRuns.h"

enum : UINT {
    IDD_TEST_PANEL = 168,
    IDC_TP_LIST = 1050,
    IDC_TP_CYCLE_START = 1051,
    IDC_TP_CYCLE_END = 1052,
    IDC_TP_PROGRESS = 1053,
    IDC_TP_LEGEND = 1054,
    IDC_TP_LOG = 1055,
    IDC_TP_COUNTER = 1056,
    IDC_TP_MEMORY = 1057,
    IDC_TP_MAKE_START = 1058,
    IDC_TP_MAKE_END = 1059,
    IDC_TP_TARGET_SIZE = 1060,
    IDC_TP_MAKE_STATUS = 1061,
    IDC_TP_SUMMARY = 1062,
};

class CTestPanelDlg : public CDialog, private testpanel::ITestRunHost {
public:
    enum { STATE_MAKE_FILE = 1, STATE_STOPPED = 2, STATE_CYCLE = 3 };
    enum { FLAG_PLAYER = 1, FLAG_PC = 2 };

    explicit CTestPanelDlg(HWND parent = nullptr) : CDialog(IDD_TEST_PANEL, parent) {}

    // Folders end with "\"; memory 0 internal, 1 external, 2 none.
    void SetSelection(const std::string& source, const std::vector<std::string>* names,
                      const std::vector<std::string>* sizes, int memory, const std::string& target);
    void SetSelection2(const std::string& source, const std::vector<std::string>* names,
                       const std::vector<std::string>* sizes);

    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}
    BOOL PreTranslateMessage(MSG* msg) override;

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnListClick(NMHDR* nm, LRESULT* result);
    void OnStartCycle();
    void OnStartMakeFile();
    void OnStop();
    void UpdateSummary();

    std::string m_source, m_target;
    const std::vector<std::string>* m_names = nullptr;
    const std::vector<std::string>* m_sizes = nullptr;
    int m_memory = 2;
    volatile int m_state = STATE_STOPPED;
    int m_flags = 0;
    int m_cycles = 0;
    // How the last runs ended (seen by the tests).
    testpanel::CycleResult m_lastCycle;
    testpanel::MakeFileResult m_lastMake;
    // Where ICO_MAIN.ICO is for the notice (ending with "\").
    std::string m_imagesFolder;
    // The free space of the target; a seam for the tests of the refusal.
    unsigned long long (*m_freeSpace)(const std::string& folder) = nullptr;

    CListCtrl m_list;
    CProgressCtrl m_progress;

private:
    bool PumpAndCheckStop() override;
    void SetProgress(std::int64_t position, std::int64_t range) override;
    void ShowCycle(const std::string& text) override;
    void ShowErrorLog(const std::string& log) override;
    void ShowMakeStatus(const std::string& text) override;
    std::vector<int> SelectedRows() const;
    std::int64_t m_range = 0;
};
