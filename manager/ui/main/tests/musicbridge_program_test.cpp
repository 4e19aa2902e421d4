// MusicBridge.exe as the user starts it: its window and controls, one copy
// only, the Korean library, a broken skin, and a clean end that writes the
// recent paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuiTest.h"

namespace {

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MusicBridge.exe";

std::string BinFolder()
{
    char path[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/") + 1);
}

struct Program {
    PROCESS_INFORMATION pi{};
    bool Start(const std::string& exe, const std::string& folder)
    {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string cmd = "\"" + exe + "\"";
        return CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi) != 0;
    }
    // Waits (pumping) for the process to end; its exit code, or -1.
    long Wait(DWORD ms = 30000)
    {
        mbtest::PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi.hProcess, &code);
        return code == STILL_ACTIVE ? -1 : long(code);
    }
    ~Program()
    {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

// A top-level dialog window of the process with that title.
struct DialogSearch {
    DWORD pid;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[64] = {}, text[256] = {};
    GetClassNameW(w, cls, 64);
    GetWindowTextW(w, text, 256);
    if (pid == s->pid && lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(text, s->title) == 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialog(DWORD pid, const wchar_t* title)
{
    DialogSearch s{pid, title, nullptr};
    EnumWindows(&MatchDialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitForDialog(DWORD pid, const wchar_t* title, DWORD ms = 30000)
{
    HWND w = nullptr;
    mbtest::PumpUntil([&] { return (w = FindDialog(pid, title)) != nullptr; }, ms);
    return w;
}

// The main window is disabled while its start-up lists are filled (a
// disabled window ignores the close command): wait until the user can
// reach it.
bool WaitUntilEnabled(HWND window)
{
    return mbtest::PumpUntil([&] { return IsWindowEnabled(window) != 0; }, 30000);
}

[[maybe_unused]] int CountDialogs(const wchar_t* title)
{
    int n = 0;
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, L"#32770", title)) != nullptr)
        ++n;
    return n;
}

void SetPaths(const std::vector<std::pair<std::string, std::string>>& values)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key));
    for (auto& [name, value] : values)
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
}

[[maybe_unused]] std::string PathValue(const char* name)
{
    char buffer[512] = {};
    DWORD size = sizeof buffer;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    LONG r = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? std::string(buffer) : std::string("<none>");
}

// A program folder of its own: the program, its libraries and its images,
// less one file, plus extra files.
std::string MakeFolder(const std::string& name, const std::string& leaveOut, const std::vector<std::string>& extra)
{
    std::string bin = BinFolder();
    std::string folder = bin + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "Images").c_str(), nullptr);
    for (const char* file : {"MusicBridge.exe", "QvMp3.dll", "Mp3Peek.dll", "QV_SysCtrl.dll", "QV_Voice.dll", "WmaPeek.dll",
                             "QV_Drive_Vilo8.dll"})
        CopyFileA((bin + file).c_str(), (folder + file).c_str(), FALSE);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((bin + "Images\\*").c_str(), &fd);
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && lstrcmpiA(fd.cFileName, leaveOut.c_str()) != 0)
            CopyFileA((bin + "Images\\" + fd.cFileName).c_str(), (folder + "Images\\" + fd.cFileName).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    for (const std::string& file : extra) {
        std::string base = file.substr(file.find_last_of('\\') + 1);
        CopyFileA((bin + file).c_str(), (folder + base).c_str(), FALSE);
    }
    return folder;
}

class MusicBridgeProgram : public mbtest::GuiTest {
protected:
    MusicBridgeProgram() : mbtest::GuiTest(120000) {}
};

const UINT kTemplateControls[] = {
    1001, 1002, 1003, 1004, 1014, 1020, 1021, 1022, 1040, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048,
    1077, 1078, 1079, 1080, 1081, 1082, 1083, 1084, 1085, 1086, 1087, 1088, 1089, 1090, 1091, 1092, 1106,
    1107, 1108, 1109, 1110, 1111, 1112, 1113, 1114, 1115, 1116, 1117, 1118, 1183, 1193, 1194, 1199, 1201,
    1205, 1207, 1208, 1209, 1210, 1211, 1212, 1474, 1475, 1476, 1477, 1478, 1479, 1480, 1481, 1482, 1483,
    1484, 1485, 1486, 1487, 1488, 1489, 1490, 1491, 1492,
};

}  // namespace

#ifndef MB_KOREAN_CODE_PAGE
TEST_F(MusicBridgeProgram, RunsOneCopyAndEndsCleanly)
{
    // Recent paths with a gap: they come back packed from Path0 upward. The
    // PC tree starts at the first that exists (C:\Missing is dropped) and
    // puts the shown folder's path at the top.
    SetPaths({{"Path0", "C:\\Missing"}, {"Path1", "C:\\windows"}, {"Path5", "C:\\windows\\system32"}});
    Program first;
    ASSERT_TRUE(first.Start(BinFolder() + "MusicBridge.exe", BinFolder()));
    HWND window = WaitForDialog(first.pi.dwProcessId, L"Vilo Music Bridge");
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitUntilEnabled(window));
    for (UINT id : kTemplateControls)
        EXPECT_NE(nullptr, GetDlgItem(window, int(id))) << "control " << id;
    EXPECT_NE(nullptr, GetDlgItem(window, 1007)) << "status bar";
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(940, client.right);
    EXPECT_EQ(640, client.bottom);
    mbtest::SaveScreenshot(window, "musicbridge_main");

    // A second start, with the first minimised: the first comes back, the
    // second ends without a window of its own.
    ShowWindow(window, SW_MINIMIZE);
    mbtest::PumpFor(300);
    ASSERT_TRUE(IsIconic(window));
    Program second;
    ASSERT_TRUE(second.Start(BinFolder() + "MusicBridge.exe", BinFolder()));
    EXPECT_EQ(0, second.Wait());
    EXPECT_EQ(1, CountDialogs(L"Vilo Music Bridge"));
    EXPECT_TRUE(mbtest::PumpUntil([&] { return !IsIconic(window); }));

    // Closing the window ends the process with exit code 0.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0, first.Wait());
    EXPECT_EQ("C:\\windows\\", PathValue("Path0"));
    EXPECT_EQ("C:\\windows\\system32", PathValue("Path1"));
    EXPECT_EQ("<none>", PathValue("Path2"));
    EXPECT_EQ("<none>", PathValue("Path5"));
}

TEST_F(MusicBridgeProgram, MissingSkinBitmapEndsWithString113)
{
    // The recent paths were never read into the window: the end that follows
    // leaves them as they were.
    SetPaths({{"Path0", "C:\\windows"}, {"Path1", "C:\\windows\\system32"}});
    std::string folder = MakeFolder("mb-noskin", "SKIN_I6.BMP", {});
    Program program;
    ASSERT_TRUE(program.Start(folder + "MusicBridge.exe", folder));
    HWND box = WaitForDialog(program.pi.dwProcessId, L"MusicBridge");
    ASSERT_NE(nullptr, box);
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    EXPECT_STREQ(L"Skin info file or image files are missing. Re-install this program.", text);
    EXPECT_EQ(nullptr, FindDialog(program.pi.dwProcessId, L"Vilo Music Bridge"));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(-1, program.Wait());
    EXPECT_EQ("C:\\windows", PathValue("Path0"));
    EXPECT_EQ("C:\\windows\\system32", PathValue("Path1"));
}

#endif

TEST_F(MusicBridgeProgram, KoreanLibraryGivesTheTexts)
{
#ifdef MB_KOREAN_CODE_PAGE
    // The run of a Korean system: its ANSI code page is 949.
    EXPECT_EQ(949u, GetACP());
#endif
    SetPaths({});
    // Without the library: English.
    std::string english = MakeFolder("mb-english", "", {});
    {
        Program program;
        ASSERT_TRUE(program.Start(english + "MusicBridge.exe", english));
        HWND window = WaitForDialog(program.pi.dwProcessId, L"Vilo Music Bridge");
        ASSERT_NE(nullptr, window);
        wchar_t text[64] = {};
        GetDlgItemTextW(window, 1116, text, 64);
        EXPECT_STREQ(L"Exit", text);
        ASSERT_TRUE(WaitUntilEnabled(window));
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(0, program.Wait());
    }
    // With it: the template and its texts come from the library.
    std::string korean = MakeFolder("mb-korean", "", {"korean\\Vilo LarkKR.dll"});
    Program program;
    ASSERT_TRUE(program.Start(korean + "MusicBridge.exe", korean));
    HWND window = WaitForDialog(program.pi.dwProcessId, L"Vilo Music Bridge");
    ASSERT_NE(nullptr, window);
    wchar_t text[64] = {};
    GetDlgItemTextW(window, 1116, text, 64);
    EXPECT_STREQ(L"\uC885\uB8CC", text);  // "종료"
    GetDlgItemTextW(window, 1117, text, 64);
    EXPECT_STREQ(L"\uD14C\uC2A4\uD2B8", text);  // "테스트"
    ASSERT_TRUE(WaitUntilEnabled(window));
    mbtest::SaveScreenshot(window, "musicbridge_korean");
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0, program.Wait());
}
