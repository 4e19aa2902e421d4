// CWinApp: the application object. It owns the program's message pump, the
// pre-translate chain, idle handling and the module resources come from.
//
//   class CManagerApp : public CWinApp {
//       BOOL InitInstance() override;   // FALSE: the program ends when it returns
//   };
//   CManagerApp theApp;                 // WinMain (AppMain.cpp) runs it
#pragma once

#include <windows.h>

#include <string>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The one application object of the process, or nullptr.
    static CWinApp* Current();

    // InitInstance, then Run when it returns TRUE; the process exit code.
    int Main();
    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();
    virtual int ExitInstance() { return m_exitCode; }
    // Last link of the pre-translate chain.
    virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }
    // Called while the application's thread has no message waiting; returns
    // TRUE to be called again (with count + 1) before waiting.
    virtual BOOL OnIdle(LONG count) { return FALSE; }

    // Dispatches every waiting message, then runs idle handling until it asks
    // for no more. Returns false when a quit message was seen, after posting a
    // new one so that outer loops see it too. Long steps call it to keep their
    // windows alive.
    bool PumpWaitingMessages();

    // Where strings, dialogs, menus, bitmaps and icons are loaded from: the
    // program itself unless a language library was made current.
    HINSTANCE ResourceHandle() const;
    void SetResourceHandle(HINSTANCE module);
    HINSTANCE Instance() const { return ::GetModuleHandleW(nullptr); }
    DWORD ThreadId() const { return m_threadId; }
    // The raw command line after the program name, as the system gave it.
    std::string CommandLine() const;
    std::wstring CommandLineW() const;

    // Destroying this window posts WM_QUIT.
    CWnd* m_pMainWnd = nullptr;

protected:
    int m_exitCode = 0;

private:
    DWORD m_threadId = 0;
};

namespace mb {

// One message through the pre-translate chain, then translated and
// dispatched. Every loop of the layer (application, modal dialogs, pumps)
// uses it.
void ProcessMessage(MSG& msg);
// Runs the chain alone; true when some link handled the message.
bool PreTranslateChain(MSG& msg);
// Idle handling of the application when called on its thread.
bool RunIdle(LONG count);

}  // namespace mb
