// CProgressDlg: the small window shown while the updater searches for the
// player (an animation) and while it loads firmware through the recovery
// device (a bar).
#pragma once
#include "Controls.h"
#include "Dialog.h"
#include "ProgressSink.h"

class CProgressDlg : public CDialog, public CQvProgressSink {
public:
    explicit CProgressDlg(HWND parent = nullptr);

    BOOL OnInitDialog() override;
    void OnCancel() override;

    // CQvProgress / CQvProgressSink
    void Begin(int) override {}
    void SetPhase(int phase, int steps) override;
    void Step() override;
    void ResetDisplay() override { ShowSearching(); }

    void ShowSearching();
    void ShowRecovery();
    void ShowBar();
    void SetStatusText(const std::wstring& text) { SetItemTextW(1003, text); }
    bool AnimationOpened() const { return m_animationOpened; }

    MB_DECLARE_MESSAGE_MAP()
    LRESULT OnSysCommand(WPARAM wp, LPARAM lp);
    LRESULT OnPaint(WPARAM wp, LPARAM lp);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM) { return LRESULT(m_icon); }
    void OnStatusCommand() {}

private:
    HICON m_icon = nullptr;
    CAnimateCtrl m_animation;
    CProgressCtrl m_bar;
    bool m_animationOpened = false;
};

// Shared by both of the updater's windows that have a system menu: the About
// item, and drawing the icon when minimised.
void QvAddAboutItem(HWND dialog);
bool QvIsAboutCommand(WPARAM wp);
void QvShowAbout();
bool QvPaintMinimised(HWND dialog, HICON icon);
