// CUpdaterApp: the firmware updater's application object. All of its work
// happens in InitInstance: the language, the rights, the options, the single
// instance, then the search for the player (with the recovery-mode load when
// only the recovery device answers) and the main dialog.
#pragma once
#include "App.h"
#include "qv/CmdLineOptions.h"
#include "ErrorTextTable.h"
#include "LogFile.h"
#include "qv/QvProgress.h"
#include "qv/QvSystemBinding.h"
#include "qv/QvUpdater.h"
#include <memory>
#include <string>

class CUpdaterApp : public CWinApp {
public:
    CUpdaterApp();
    ~CUpdaterApp() override;

    BOOL InitInstance() override;
    // The long-lived objects and the language library (InitInstance's first
    // steps): 0, or -61 when the library did not load.
    int CreateObjects();

    static CUpdaterApp* Get() { return static_cast<CUpdaterApp*>(CWinApp::Current()); }

    CErrorTextTable* Texts() const { return m_texts.get(); }
    CQvConfigInfo* Config() const { return m_updater ? &m_updater->Config() : nullptr; }
    CmdLineOptions* Options() const { return m_options.get(); }
    CLogFile* Log() const { return m_log.get(); }
    CQvUpdater* Updater() const { return m_updater.get(); }
    LANGID UiLanguage() const { return m_uiLanguage; }
    int StopFlag() const { return m_stop; }
    void SetStop() { m_stop = 1; }

    void ChooseUiLanguage();
    // Nonzero when the thread's (or the process's) token grants what a
    // descriptor reserved for the Administrators group allows.
    virtual int IsAdministrator();
    int ClaimSingleInstance();
    int ActivateOtherInstance();
    bool PumpMessages() { return PumpWaitingMessages(); }
    void WaitForDriveChange(DWORD mask);

    void ComposeErrorText(int error, std::wstring& main, std::wstring& details, int forLog);
    void ReportError(int error, HWND parent);
    // Writes a text to the log when logging.
    void LogText(const std::wstring& text);
    // The no-questions option.
    int NoQuestions() const { return m_options ? m_options->NoQuestions() : 0; }

protected:
    // The device calls: the real ones unless a test gives its own.
    virtual CQvDeviceBinding* CreateBinding() { return new CQvSystemBinding(); }
    virtual LANGID UserLanguage() { return GetUserDefaultLangID(); }
    virtual std::wstring RawCommandLine() { return CommandLineW(); }
    virtual DWORD LogicalDrives() { return GetLogicalDrives(); }
    virtual void Pause(DWORD ms) { Sleep(ms); }

private:
    void SearchLoop();
    void RunMainDialog(int found);
    void Recover();

    int m_stop = 0;
    std::unique_ptr<CErrorTextTable> m_texts;
    std::unique_ptr<CmdLineOptions> m_options;
    std::unique_ptr<CLogFile> m_log;
    std::unique_ptr<CQvDeviceBinding> m_binding;
    std::unique_ptr<CQvUpdater> m_updater;
    LANGID m_uiLanguage = 0;
    HANDLE m_instanceMutex = nullptr;
    class CProgressDlg* m_progress = nullptr;

public:
    // The progress window while the search runs (tests read it).
    class CProgressDlg* ProgressWindow() const { return m_progress; }
};
