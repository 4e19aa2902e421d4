// ListForge.exe itself, started as the manager starts it (the player root as
// its command line) and alone; driven from this process by window messages.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "GuiTest.h"
#include "resource.h"

namespace {

std::string ProgramPath()
{
    char self[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.rfind('\\') + 1) + "ListForge.exe";
}

struct Program {
    PROCESS_INFORMATION pi{};
    bool Start(const std::string& arguments)
    {
        std::string line = "\"" + ProgramPath() + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        return ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    }
    DWORD WaitForEnd(DWORD ms)
    {
        if (::WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = 0;
        ::GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    ~Program()
    {
        if (pi.hProcess) {
            if (::WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
                ::TerminateProcess(pi.hProcess, 99);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
};

struct Search {
    DWORD pid;
    const wchar_t* title;  // nullptr: any
    HWND except;
    HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid || hwnd == s->except || !::IsWindowVisible(hwnd))
        return TRUE;
    wchar_t cls[64] = {}, title[256] = {};
    ::GetClassNameW(hwnd, cls, 64);
    ::GetWindowTextW(hwnd, title, 256);
    if (std::wstring(cls) != L"#32770" || (s->title && std::wstring(title) != s->title))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

// A visible dialog of the program, waiting up to ms.
HWND WaitForDialog(const Program& p, const wchar_t* title, HWND except = nullptr, DWORD ms = 20000)
{
    for (DWORD waited = 0; waited < ms; waited += 50) {
        Search s{p.pi.dwProcessId, title, except, nullptr};
        ::EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        ::Sleep(50);
    }
    return nullptr;
}

class ListForgeProgram : public mbtest::GuiTest {
protected:
    ListForgeProgram() : mbtest::GuiTest(60000) {}
};

}  // namespace

TEST_F(ListForgeProgram, StartedWithThePlayerRootShowsItAndExitsOnClose)
{
    Program p;
    ASSERT_TRUE(p.Start("W:\\"));
    HWND main = WaitForDialog(p, L"ListForge");
    ASSERT_NE(nullptr, main);
    // Root, three folders, each with its "?" child; the root's one song.
    EXPECT_EQ(7, int(::SendMessageW(::GetDlgItem(main, IDC_FOLDER_TREE), TVM_GETCOUNT, 0, 0)));
    EXPECT_EQ(1, int(::SendMessageW(::GetDlgItem(main, IDC_MUSIC_LIST), LVM_GETITEMCOUNT, 0, 0)));
    EXPECT_EQ(0, int(::SendMessageW(::GetDlgItem(main, IDC_PLAYLIST), LVM_GETITEMCOUNT, 0, 0)));
    mbtest::SaveScreenshot(main, "listforge_started");

    // Closing (as the manager does, by a posted WM_CLOSE) asks before exiting.
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = WaitForDialog(p, nullptr, main);
    ASSERT_NE(nullptr, question);
    mbtest::SaveScreenshot(question, "listforge_exit_question");
    EXPECT_EQ(STILL_ACTIVE, p.WaitForEnd(0));
    ::PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(0u, p.WaitForEnd(20000));
}

TEST_F(ListForgeProgram, StartedAloneAsksForADriveAndEndsOnCancel)
{
    Program p;
    ASSERT_TRUE(p.Start(""));
    HWND browser = WaitForDialog(p, nullptr);
    ASSERT_NE(nullptr, browser);
    wchar_t title[256] = {};
    ::GetWindowTextW(browser, title, 256);
    EXPECT_NE(std::wstring(L"ListForge"), title);
    mbtest::SaveScreenshot(browser, "listforge_drive_choice");
    ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, p.WaitForEnd(20000));
}
