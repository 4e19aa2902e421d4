// CUpdaterDlg: the updater's main dialog. It shows the player's firmware
// version and the files', offers "Format Data Area", runs the update when the
// user presses Start, and is the progress sink of that run.
#pragma once
#include "Controls.h"
#include "Gdi.h"
#include "Dialog.h"
#include "ProgressSink.h"
#include "qv/QvUpdater.h"

enum QvRunMode { QV_MODE_FORMAT = 0, QV_MODE_UPDATE = 1, QV_MODE_NOTHING = 2 };

class CUpdaterDlg : public CDialog, public CQvProgressSink {
public:
    explicit CUpdaterDlg(CQvUpdater* updater, HWND parent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override { Close(); }
    void OnCancel() override;

    void SetModal(int modal) { m_modal = modal; }
    void OnStart();
    // 0 with the mode, or the error of the allocation check.
    int ChooseMode(int& mode);
    void RunUpdate();
    void ShowVersions();
    int DefaultFormat() const;

    // CQvProgress / CQvProgressSink
    void Begin(int totalSteps) override;
    void SetPhase(int phase, int steps) override;
    void Step() override;
    void StepTotal() override;
    void ResetDisplay() override {}
    int BeginRun() override;
    void EndRun() override;

    MB_DECLARE_MESSAGE_MAP()
    LRESULT OnSysCommand(WPARAM wp, LPARAM lp);
    LRESULT OnPaint(WPARAM wp, LPARAM lp);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM) { return LRESULT(m_icon); }
    void OnStartButton() { OnStart(); }
    void OnShowDetails();
    void OnFormatDataArea();

private:
    void Close();
    void EnableControls(bool enable);
    void NotifyShell(bool removed);

    CProgressCtrl m_total;
    CProgressCtrl m_steps;
    CButton m_format;
    int m_modal = 1;
    HICON m_icon = nullptr;
    CQvUpdater* m_updater;
    [[maybe_unused]] int m_unused = 0;
};
