#include "App.h"

#include "Text.h"
#include "Wnd.h"

namespace {
CWinApp* g_app = nullptr;

// The command line without the program name, quoted or not.
template <class Ch>
const Ch* SkipProgramName(const Ch* p)
{
    if (!p)
        return p;
    if (*p == Ch('"')) {
        ++p;
        while (*p && *p != Ch('"'))
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != Ch(' ') && *p != Ch('\t'))
            ++p;
    }
    while (*p == Ch(' ') || *p == Ch('\t'))
        ++p;
    return p;
}
}  // namespace

CWinApp::CWinApp()
{
    if (!g_app)
        g_app = this;
    m_threadId = ::GetCurrentThreadId();
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_app; }

int CWinApp::Main()
{
    m_threadId = ::GetCurrentThreadId();
    if (InitInstance())
        return Run();
    return ExitInstance();
}

int CWinApp::Run()
{
    MSG msg;
    LONG idle = 0;
    for (;;) {
        while (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && OnIdle(idle))
            ++idle;
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        mb::ProcessMessage(msg);
        idle = 0;
    }
    m_exitCode = static_cast<int>(msg.wParam);
    return ExitInstance();
}

bool CWinApp::PumpWaitingMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        mb::ProcessMessage(msg);
    }
    LONG idle = 0;
    while (OnIdle(idle))
        ++idle;
    return true;
}

HINSTANCE CWinApp::ResourceHandle() const { return mb::ResourceModule(); }
void CWinApp::SetResourceHandle(HINSTANCE module) { mb::SetResourceModule(module); }

std::string CWinApp::CommandLine() const { return SkipProgramName(::GetCommandLineA()); }
std::wstring CWinApp::CommandLineW() const { return SkipProgramName(::GetCommandLineW()); }

namespace mb {

bool PreTranslateChain(MSG& msg)
{
    // The focused control's object first, then each parent up to the
    // top-level window (the dialog), then the application.
    for (HWND h = msg.hwnd; h; h = ::GetParent(h)) {
        if (CWnd* w = CWnd::FromHandle(h)) {
            if (w->PreTranslateMessage(&msg))
                return true;
        }
        if (!(::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD))
            break;
    }
    CWinApp* app = CWinApp::Current();
    return app && app->ThreadId() == ::GetCurrentThreadId() && app->PreTranslateMessage(&msg);
}

void ProcessMessage(MSG& msg)
{
    if (PreTranslateChain(msg))
        return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

bool RunIdle(LONG count)
{
    CWinApp* app = CWinApp::Current();
    return app && app->ThreadId() == ::GetCurrentThreadId() && app->OnIdle(count);
}

}  // namespace mb
