// The test panel in the test's own process: the summary and refusals, the
// download/delete cycle on a simulated memory (drive J), a memory that fills
// up, and the make-a-file run on the PC side.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GuiTest.h"
#include "NoticeDlg.h"
#include "TestPanelDlg.h"
#include "HostPaths.h"

namespace {

// A folder of PC files for the runs, made fresh.
std::string SourceFolder(const char* name)
{
    const char* dir = std::getenv("MB_TP_WORK");
    std::string folder = mbtest::HostWinPath(dir ? dir : "/tmp") + "\\" + name + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void MakeFile(const std::string& path, std::size_t size)
{
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(i * 31 + 7);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    DWORD put = 0;
    ::WriteFile(h, data.data(), DWORD(size), &put, nullptr);
    ::CloseHandle(h);
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d))
        return ~0ull;
    return (static_cast<unsigned long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

unsigned long long Plenty(const std::string&) { return 1ull << 40; }
unsigned long long JustUnder(const std::string&) { return 39 * 1024; }

class TestPanel : public mbtest::GuiTest {
protected:
    TestPanel() : mbtest::GuiTest(90000), m_prompter(IDYES) {}
    static void SelectRows(CTestPanelDlg& dlg, std::vector<int> rows)
    {
        for (int i = 0; i < dlg.m_list.GetItemCount(); ++i)
            dlg.m_list.Select(i, false);
        for (int r : rows)
            dlg.m_list.Select(r);
        NMHDR nm{dlg.m_list.m_hWnd, IDC_TP_LIST, UINT(NM_CLICK)};
        dlg.Send(WM_NOTIFY, IDC_TP_LIST, reinterpret_cast<LPARAM>(&nm));
    }
    // Presses End (from another thread, as the user would while the run
    // pumps) once the condition holds.
    static void EndWhen(CTestPanelDlg& dlg, std::function<bool()> condition, UINT endButton)
    {
        HWND window = dlg.m_hWnd;
        m_ender.reset(new mbtest::CBackgroundRun([=] {
            for (int i = 0; i < 1200 && !condition(); ++i)
                ::Sleep(20);
            ::PostMessageW(window, WM_COMMAND, endButton, 0);
        }));
    }
    static std::unique_ptr<mbtest::CBackgroundRun> m_ender;
    mbtest::CRecordingPrompter m_prompter;
};
std::unique_ptr<mbtest::CBackgroundRun> TestPanel::m_ender;

// The number in front of " Cycles" or " cycles" in a status text.
int CyclesShown(const std::string& text)
{
    std::size_t end = text.find(" Cycles");
    if (end == std::string::npos)
        end = text.find(" cycles");
    if (end == std::string::npos)
        return 0;
    std::size_t start = end;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9')
        --start;
    return start == end ? 0 : std::atoi(text.substr(start, end - start).c_str());
}

std::string Text(HWND dlg, UINT id)
{
    wchar_t buf[512] = {};
    ::GetDlgItemTextW(dlg, int(id), buf, 512);
    std::string out;
    for (const wchar_t* p = buf; *p; ++p)
        out += char(*p);
    return out;
}

// The visible top-level windows of this thread.
std::vector<HWND> VisibleThreadWindows()
{
    std::vector<HWND> out;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM list) {
            if (::IsWindowVisible(h))
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

}  // namespace

TEST_F(TestPanel, SummaryTextsAndRefusals)
{
    std::vector<std::string> names{"a.mp3", "b.mp3", "c.mp3"}, sizes{"15 KB", "25 KB", "1 KB"};
    CTestPanelDlg dlg;
    dlg.SetSelection2("C:\\", &names, &sizes);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ("Test Panel", dlg.GetText());
    EXPECT_EQ("NO MEM", Text(dlg.m_hWnd, IDC_TP_MEMORY));
    EXPECT_EQ("Error:", Text(dlg.m_hWnd, IDC_TP_LOG));
    EXPECT_EQ("0 Files : 0 kB", Text(dlg.m_hWnd, IDC_TP_SUMMARY));
    EXPECT_EQ("0", Text(dlg.m_hWnd, IDC_TP_TARGET_SIZE));
    EXPECT_EQ(3, dlg.m_list.GetItemCount());
    EXPECT_EQ("25 KB", dlg.m_list.GetItemText(1, 1));
    SelectRows(dlg, {0, 1});
    EXPECT_EQ("2 Files : 40 kB", Text(dlg.m_hWnd, IDC_TP_SUMMARY));
    // A modeless dialog from the template starts hidden; modal runs show it.
    dlg.ShowWindow(SW_SHOW);
    mbtest::PumpFor(200);
    mbtest::SaveScreenshot(dlg.m_hWnd, "test_panel");

    dlg.OnStartCycle();
    ASSERT_EQ(2u, m_prompter.Count());
    EXPECT_EQ("No memory!", m_prompter.Text(1));

    // One byte short of 40 KB free is too little; exactly 40 KB passes.
    CTestPanelDlg onMemory;
    onMemory.SetSelection("C:\\nowhere\\", &names, &sizes, 0, "J:\\");
    onMemory.m_freeSpace = &JustUnder;
    ASSERT_TRUE(onMemory.Create());
    SelectRows(onMemory, {0, 1});
    onMemory.OnStartCycle();
    ASSERT_EQ(4u, m_prompter.Count());
    EXPECT_EQ("The file size is bigger than the free space!", m_prompter.Text(3));
    EXPECT_EQ("INT", Text(onMemory.m_hWnd, IDC_TP_MEMORY));
    // Nothing selected for the make-file run.
    SelectRows(onMemory, {});
    onMemory.OnStartMakeFile();
    EXPECT_EQ("Select a file!", m_prompter.Text(m_prompter.Count() - 1));
    onMemory.DestroyWindow();
    dlg.DestroyWindow();
}

// Two files go to the memory and away again, cycle after cycle, until End.
TEST_F(TestPanel, CycleRunsUntilEnd)
{
    const std::string source = SourceFolder("cycle");
    MakeFile(source + "a.bin", 400000);
    MakeFile(source + "b.bin", 200000);
    std::vector<std::string> names{"a.bin", "b.bin"}, sizes{"391 KB", "196 KB"};
    CTestPanelDlg dlg;
    dlg.SetSelection(source, &names, &sizes, 0, "J:\\");
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(SW_SHOW);
    SelectRows(dlg, {0, 1});
    HWND window = dlg.m_hWnd;
    volatile LONG sawBoth = 0;
    EndWhen(dlg, [window, &sawBoth] {
        // A copy is on the memory while its cycle runs.
        if (FileSize("J:\\a.bin") != ~0ull && !sawBoth) {
            ::InterlockedExchange(&sawBoth, 1);
            // Start again while the run pumps: ignored, no second run.
            ::PostMessageW(window, WM_COMMAND, IDC_TP_CYCLE_START, 0);
        }
        return sawBoth && CyclesShown(Text(window, IDC_TP_COUNTER)) >= 4;
    }, IDC_TP_CYCLE_END);
    const int notices = CNoticeDlg::s_shown;
    dlg.OnStartCycle();
    m_ender->Finish();
    // The notice was up while the same-named files were deleted, and is gone.
    EXPECT_EQ(notices + 1, CNoticeDlg::s_shown);
    EXPECT_EQ("Collecting information of files...", CNoticeDlg::s_lastText);
    EXPECT_EQ(std::vector<HWND>{window}, VisibleThreadWindows());
    EXPECT_GE(dlg.m_lastCycle.Cycles, 4);
    EXPECT_EQ("Error:", dlg.m_lastCycle.Log);
    EXPECT_EQ(1, sawBoth);
    EXPECT_EQ(CTestPanelDlg::STATE_STOPPED, dlg.m_state);
    EXPECT_EQ(CTestPanelDlg::FLAG_PLAYER, dlg.m_flags);
    EXPECT_EQ(1u, m_prompter.Count());  // the question only, not a second one
    // Close ends the dialog when nothing runs.
    dlg.Send(WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(::IsWindow(window));
    ::DeleteFileA("J:\\a.bin");
    ::DeleteFileA("J:\\b.bin");
}

// The memory fills up: the cycle stops with D in the log and takes its
// copies away.
TEST_F(TestPanel, FullMemoryStopsWithD)
{
    const std::string source = SourceFolder("full");
    MakeFile(source + "big1.bin", 900 * 1024);
    MakeFile(source + "big2.bin", 900 * 1024);
    std::vector<std::string> names{"big1.bin", "big2.bin"}, sizes{"900 KB", "900 KB"};
    CTestPanelDlg dlg;
    dlg.SetSelection(source, &names, &sizes, 0, "J:\\");
    dlg.m_freeSpace = &Plenty;
    ASSERT_TRUE(dlg.Create());
    SelectRows(dlg, {0, 1});
    dlg.OnStartCycle();
    EXPECT_TRUE(dlg.m_lastCycle.StoppedOnWriteFailure);
    EXPECT_EQ("Error: 2/1(D)", dlg.m_lastCycle.Log);
    EXPECT_EQ("Error: 2/1(D)", Text(dlg.m_hWnd, IDC_TP_LOG));
    ASSERT_EQ(2u, m_prompter.Count());
    EXPECT_EQ("Error: 2/1(D)", m_prompter.Text(1));
    EXPECT_EQ(~0ull, FileSize("J:\\big1.bin"));
    EXPECT_EQ(~0ull, FileSize("J:\\big2.bin"));
    dlg.DestroyWindow();
}

// The PC folder shown is the memory itself (the player's drive browsed on
// the PC side): the cycle would delete the very files it copies, so it
// refuses before deleting anything, whatever the spelling of the folder.
TEST_F(TestPanel, CycleRefusesWhenThePcFolderIsTheTarget)
{
    const std::string source = SourceFolder("same");
    MakeFile(source + "keep.bin", 30000);
    std::vector<std::string> names{"keep.bin"}, sizes{"30 KB"};
    std::string upper = source;
    for (char& c : upper)
        c = char(::toupper(static_cast<unsigned char>(c)));
    for (const std::string& target : {source, upper, source + ".\\"}) {
        CTestPanelDlg dlg;
        dlg.SetSelection(source, &names, &sizes, 0, target);
        dlg.m_freeSpace = &Plenty;
        ASSERT_TRUE(dlg.Create());
        SelectRows(dlg, {0});
        const std::size_t before = m_prompter.Count();
        dlg.OnStartCycle();
        ASSERT_EQ(before + 2, m_prompter.Count()) << target;
        EXPECT_EQ("The PC folder is the target folder!", m_prompter.Text(before + 1)) << target;
        EXPECT_EQ(30000ull, FileSize(source + "keep.bin")) << target;
        EXPECT_EQ(0u, dlg.m_flags & CTestPanelDlg::FLAG_PLAYER);
        dlg.DestroyWindow();
    }
    ::DeleteFileA((source + "keep.bin").c_str());
}

// "~name" grows by whole copies of the source until End; Close while a run
// is active stops it and keeps the panel open.
TEST_F(TestPanel, MakeFileGrowsUntilEnd)
{
    const std::string source = SourceFolder("make");
    MakeFile(source + "s.bin", 20000);
    ::DeleteFileA((source + "~s.bin").c_str());
    std::vector<std::string> names{"s.bin"}, sizes{"20 KB"};
    CTestPanelDlg dlg;
    dlg.SetSelection2(source, &names, &sizes);
    ASSERT_TRUE(dlg.Create());
    SelectRows(dlg, {0});
    HWND window = dlg.m_hWnd;
    EndWhen(dlg, [window] { return CyclesShown(Text(window, IDC_TP_MAKE_STATUS)) >= 3; },
            IDCANCEL);
    dlg.OnStartMakeFile();
    m_ender->Finish();
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ("", dlg.m_lastMake.Failure);
    EXPECT_GE(dlg.m_lastMake.Cycles, 3);
    const unsigned long long size = FileSize(source + "~s.bin");
    EXPECT_EQ(dlg.m_lastMake.BytesWritten, size);
    // Whole sources up to the last partial chunk of 8 KB.
    EXPECT_GE(size, 20000ull * dlg.m_lastMake.Cycles);
    EXPECT_LE(size, 20000ull * (dlg.m_lastMake.Cycles + 1));
    EXPECT_EQ("~s.bin: " + std::to_string((size + 1023) / 1024) + "KB / " + std::to_string(dlg.m_lastMake.Cycles) +
                  " cycles",
              Text(window, IDC_TP_MAKE_STATUS));
    EXPECT_EQ("Finished!", m_prompter.Text(m_prompter.Count() - 1));
    EXPECT_EQ(CTestPanelDlg::FLAG_PC, dlg.m_flags);
    dlg.Send(WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(::IsWindow(window));
    ::DeleteFileA((source + "~s.bin").c_str());
}
