#include "GuiTest.h"

#include <cstring>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "App.h"
#include "Text.h"

namespace mbtest {

CRecordingPrompter::CRecordingPrompter(int defaultAnswer)
    : m_default(defaultAnswer), m_previous(mb::SetPrompter(this))
{
}

CRecordingPrompter::~CRecordingPrompter() { mb::SetPrompter(m_previous); }

void CRecordingPrompter::QueueAnswer(int answer)
{
    mb::CSingleLock lock(m_lock);
    m_answers.push_back(answer);
}

int CRecordingPrompter::Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    mb::CSingleLock lock(m_lock);
    m_records.push_back(Record{owner, text, caption, type});
    if (m_answers.empty())
        return m_default;
    int a = m_answers.front();
    m_answers.pop_front();
    return a;
}

std::vector<CRecordingPrompter::Record> CRecordingPrompter::Records() const
{
    mb::CSingleLock lock(m_lock);
    return m_records;
}

size_t CRecordingPrompter::Count() const
{
    mb::CSingleLock lock(m_lock);
    return m_records.size();
}

std::string CRecordingPrompter::Text(size_t i) const
{
    mb::CSingleLock lock(m_lock);
    return i < m_records.size() ? mb::Narrow(m_records[i].text) : std::string();
}

namespace {

BOOL CALLBACK CloseOne(HWND hwnd, LPARAM)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd))
        return TRUE;
    // Message boxes and dialogs end on Cancel; other windows on close.
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 63);
    if (std::wstring(cls) == L"#32770")
        ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

CGuiTimeLimit::CGuiTimeLimit(DWORD milliseconds)
    : m_limit(milliseconds), m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_thread = ::CreateThread(nullptr, 0, &CGuiTimeLimit::Watch, this, 0, nullptr);
}

CGuiTimeLimit::~CGuiTimeLimit()
{
    ::SetEvent(m_done);
    ::WaitForSingleObject(m_thread, INFINITE);
    ::CloseHandle(m_thread);
    ::CloseHandle(m_done);
}

DWORD WINAPI CGuiTimeLimit::Watch(void* p)
{
    auto* self = static_cast<CGuiTimeLimit*>(p);
    if (::WaitForSingleObject(self->m_done, self->m_limit) != WAIT_TIMEOUT)
        return 0;
    ::InterlockedExchange(&self->m_expired, 1);
    std::fprintf(stderr, "GUI test ran past its time limit of %lu ms: closing its windows\n",
                 static_cast<unsigned long>(self->m_limit));
    std::fflush(stderr);
    for (int round = 0; round < 10; ++round) {
        ::EnumWindows(&CloseOne, 0);
        if (::WaitForSingleObject(self->m_done, 500) != WAIT_TIMEOUT)
            return 0;
    }
    std::fprintf(stderr, "GUI test still stuck: ending the process\n");
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return 0;
}

void GuiTest::TearDown()
{
    EXPECT_FALSE(m_limit.Expired()) << "the test ran past its time limit";
}

CBackgroundRun::CBackgroundRun(std::function<void()> body) : m_body(std::move(body))
{
    m_thread = ::CreateThread(nullptr, 0, &CBackgroundRun::Run, this, 0, nullptr);
}

CBackgroundRun::~CBackgroundRun()
{
    while (!Finish(1000)) {
    }
    ::WaitForSingleObject(m_thread, INFINITE);
    ::CloseHandle(m_thread);
}

DWORD WINAPI CBackgroundRun::Run(void* p)
{
    auto* self = static_cast<CBackgroundRun*>(p);
    self->m_body();
    ::InterlockedExchange(&self->m_done, 1);
    return 0;
}

bool CBackgroundRun::Finish(DWORD timeoutMs)
{
    return PumpUntil([this] { return Done(); }, timeoutMs);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs)
            return done();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return done();
            }
            mb::ProcessMessage(msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    DWORD start = ::GetTickCount();
    PumpUntil([&] { return ::GetTickCount() - start >= ms; }, ms + 100);
}

namespace {
struct FindState {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK FindOne(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<FindState*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd))
        return TRUE;
    int n = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], n + 1)));
    if (text == *s->title) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindProcessWindow(const std::wstring& title)
{
    FindState s{&title, nullptr};
    ::EnumWindows(&FindOne, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs)
{
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindProcessWindow(title)) != nullptr; }, timeoutMs);
    return found;
}

void Click(HWND dialog, UINT id)
{
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, static_cast<int>(id))));
}

void PostKey(HWND target, UINT vk)
{
    UINT scan = ::MapVirtualKeyW(vk, 0);
    ::PostMessageW(target, WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16)));
    ::PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

CHeldKeys::CHeldKeys(std::initializer_list<UINT> keys)
{
    ::GetKeyboardState(m_saved);
    BYTE state[256];
    std::memcpy(state, m_saved, sizeof state);
    for (UINT vk : keys)
        state[vk & 0xFF] |= 0x80;
    ::SetKeyboardState(state);
}

CHeldKeys::~CHeldKeys() { ::SetKeyboardState(m_saved); }

std::wstring ItemText(HWND dialog, UINT id)
{
    HWND item = ::GetDlgItem(dialog, static_cast<int>(id));
    int n = ::GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(item, &text[0], n + 1)));
    return text;
}

std::string ArtifactDir()
{
    const char* env = std::getenv("MB_ARTIFACT_DIR");
    std::string dir = env && *env ? env : "artifacts";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

HostResult RunHostCommand(const std::string& command, const std::string& scratch)
{
    static LONG serial = 0;
    const std::string base = scratch + "/host." + std::to_string(::GetCurrentProcessId()) + "." +
                             std::to_string(::InterlockedIncrement(&serial));
    const std::string out = base + ".out", rcTemp = base + ".rc.tmp", rc = base + ".rc";
    {
        // Wine hands its own PATH on to a host program: name the host's first.
        std::ofstream script(HostWinPath(base + ".sh"), std::ios::binary);
        script << "export MTOOLS_SKIP_CHECK=1 PATH=/usr/local/bin:/usr/bin:/bin:$PATH\n( " << command << " ) >"
               << ShellQuote(out) << " 2>&1 </dev/null\necho $? >" << ShellQuote(rcTemp) << "\nmv "
               << ShellQuote(rcTemp) << " " << ShellQuote(rc) << "\n";
    }
    HostResult result;
    // Wine splits the line by Windows' rules: double quotes.
    std::string line = "/bin/sh \"" + base + ".sh\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        result.Output = "cannot start /bin/sh";
        return result;
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    const std::string rcWin = HostWinPath(rc);
    PumpUntil([&] { return ::GetFileAttributesA(rcWin.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
    const std::string status = ReadWholeFile(rcWin);
    result.Status = status.empty() ? -1 : std::atoi(status.c_str());
    result.Output = ReadWholeFile(HostWinPath(out));
    for (const std::string& f : {base + ".sh", out, rc})
        ::DeleteFileA(HostWinPath(f).c_str());
    return result;
}

namespace {

// The host path of a Windows path, as Wine's own mapping gives it.
std::string UnixPath(const std::string& windowsPath)
{
    typedef char*(CDECL * ToUnix)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return {};
    char* p = toUnix(mb::Widen(windowsPath).c_str());
    if (!p)
        return {};
    std::string out = p;
    ::HeapFree(::GetProcessHeap(), 0, p);
    return out;
}

bool RunHostShell(const std::string& script)
{
    // Wine starts host programs given by their host path.
    std::string cmd = "/bin/sh -c \"" + script + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::WaitForSingleObject(pi.hProcess, 20000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

bool NonEmptyFile(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    return ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &fa) && (fa.nFileSizeLow || fa.nFileSizeHigh);
}

}  // namespace

std::string SaveScreenshot(HWND window, const std::string& name)
{
    RECT r{};
    if (!::GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top)
        return {};
    // Tests run side by side on one display: lift the window above the others
    // for the moment of the picture.
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(200);
    std::vector<char> full(32768);
    std::string dir = ArtifactDir();
    DWORD n = ::GetFullPathNameA(dir.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (!n || n >= full.size())
        return {};
    std::string path = std::string(full.data()) + "\\" + name + ".png";
    ::DeleteFileA(path.c_str());
    std::string host = UnixPath(path);
    if (host.empty())
        return {};
    std::string crop = mb::Format("%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
    // Written under a temporary name and renamed, so that a half-written
    // file is never taken for the picture.
    std::string tmp = host + ".part.png";
    std::string script = "import -window root -crop " + crop + " +repage '" + tmp + "' 2>/dev/null || "
                         "xwd -root -silent | convert xwd:- -crop " + crop + " +repage '" + tmp + "'; "
                         "mv -f '" + tmp + "' '" + host + "'";
    bool started = RunHostShell(script);
    // A host process may outlive the handle Wine gives for it: wait for the file.
    DWORD start = ::GetTickCount();
    while (started && !NonEmptyFile(path) && ::GetTickCount() - start < 20000)
        ::Sleep(50);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return NonEmptyFile(path) ? path : std::string();
}

}  // namespace mbtest
