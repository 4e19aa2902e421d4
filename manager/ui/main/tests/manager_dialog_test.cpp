// The main dialog in the test's own process: the banner animation, timer 4's
// end of a download-list transfer, the settle thread's window steps on the
// user-interface thread, keys, the About entries and the skin buttons.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>

#include "GuiTest.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "Sync.h"

namespace {

class ManagerDialog : public mbtest::GuiTest {
protected:
    ManagerDialog() : mbtest::GuiTest(60000) {}

    // Makes the dialog and waits for the start-up lists.
    bool Open(CManagerDlg& dlg)
    {
        if (!dlg.Create())
            return false;
        // Timer 1 (4 s) must not detect a player while the lists are filled
        // on a loaded machine: another program's served memory answers the
        // drive finder as one.
        dlg.KillTimer(1);
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        // The tests drive the timers themselves.
        for (UINT_PTR id : {1, 4, 12, 13})
            dlg.KillTimer(id);
        return ready && IsWindow(dlg.m_hWnd);
    }
    static void Tick(CManagerDlg& dlg, UINT_PTR id) { dlg.Send(WM_TIMER, id, 0); }
    static void Click(CManagerDlg& dlg, UINT id)
    {
        dlg.Post(WM_SKIN_BUTTON_CLICK, reinterpret_cast<WPARAM>(&dlg.m_skin.Button(id)), 0);
        mbtest::PumpFor(100);
    }

    mbtest::CRecordingPrompter m_prompter;
};

void AddRow(CListCtrl& list, const std::string& name, const std::string& status)
{
    int row = list.InsertItem(list.GetItemCount(), "");
    list.SetItemText(row, 1, name);
    list.SetItemText(row, 3, status);
    list.SetItemText(row, 4, "C:\\Music\\" + name);
}

std::string Rows(CListCtrl& list)
{
    std::string out;
    for (int i = 0; i < list.GetItemCount(); ++i)
        out += list.GetItemText(i, 0) + " " + list.GetItemText(i, 1) + " [" + list.GetItemText(i, 3) + "];";
    return out;
}

// A download list filtered to music and sorted differently from its hidden
// twin, two of its rows "Complete".
void FillLists(CManagerDlg& dlg)
{
    dlg.m_downloadList.DeleteAllItems();
    dlg.m_downloadTwin.DeleteAllItems();
    AddRow(dlg.m_downloadTwin, "a.mp3", "Complete");
    AddRow(dlg.m_downloadTwin, "b.wav", "");
    AddRow(dlg.m_downloadTwin, "c.mp3", "Processing");
    AddRow(dlg.m_downloadTwin, "d.mp3", "Complete");
    AddRow(dlg.m_downloadList, "d.mp3", "Complete");
    AddRow(dlg.m_downloadList, "c.mp3", "Processing");
    AddRow(dlg.m_downloadList, "a.mp3", "Complete");
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

TEST_F(ManagerDialog, StartsWithItsTitleSkinAndPcListActive)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    EXPECT_EQ("Vilo Music Bridge", dlg.GetText());
    EXPECT_EQ(CManagerDlg::MEMORY_NONE, dlg.m_currentMemory);
    EXPECT_EQ(CManagerDlg::PANE_PC_LIST, dlg.m_activePane);
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1046).GetState());
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1079).GetState());
    EXPECT_EQ(2, dlg.m_fileFilter);
    EXPECT_EQ(8, dlg.m_fileKindFilter);
    EXPECT_TRUE(dlg.GetStyle() & WS_SYSMENU);
    EXPECT_NE(nullptr, dlg.GetDlgItem(1007));  // the status bar
    EXPECT_EQ(0u, m_prompter.Count());
    dlg.DestroyWindow();
}

// Frames advance on every second tick of timer 1; a minimised window draws
// nothing and the animation goes on after the restore.
TEST_F(ManagerDialog, BannerAdvancesOnEverySecondTick)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_EQ(6, dlg.m_skin.BannerFrames());
    g_bannerTicks = 0;
    g_bannerFrame = 1;
    HBITMAP first = dlg.m_skin.Picture(1021).GetPicture();
    Tick(dlg, 1);
    EXPECT_EQ(0, dlg.m_bannerDraws);
    Tick(dlg, 1);
    EXPECT_EQ(1, dlg.m_bannerDraws);
    HBITMAP second = dlg.m_skin.Picture(1021).GetPicture();
    EXPECT_NE(first, second);
    Tick(dlg, 1);
    EXPECT_EQ(second, dlg.m_skin.Picture(1021).GetPicture());
    Tick(dlg, 1);
    EXPECT_EQ(2, dlg.m_bannerDraws);
    HBITMAP third = dlg.m_skin.Picture(1021).GetPicture();
    EXPECT_NE(second, third);

    dlg.ShowWindow(SW_MINIMIZE);
    mbtest::PumpFor(100);
    Tick(dlg, 1);
    Tick(dlg, 1);
    EXPECT_EQ(2, dlg.m_bannerDraws);
    EXPECT_EQ(third, dlg.m_skin.Picture(1021).GetPicture());
    dlg.ShowWindow(SW_RESTORE);
    mbtest::PumpFor(100);
    Tick(dlg, 1);
    Tick(dlg, 1);
    EXPECT_EQ(3, dlg.m_bannerDraws);
    EXPECT_NE(third, dlg.m_skin.Picture(1021).GetPicture());
    mbtest::SaveScreenshot(dlg, "manager_dialog");
    dlg.DestroyWindow();
}

TEST_F(ManagerDialog, OneFrameBannerStaysStill)
{
    // A program folder of its own whose SKIN.INI has a one-frame banner.
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string folder = std::string(cwd) + "\\mb-still\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "Images").c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(cwd) + "\\Images\\*").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            CopyFileA((std::string(cwd) + "\\Images\\" + fd.cFileName).c_str(),
                      (folder + "Images\\" + fd.cFileName).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::string ini = ReadFile(folder + "Images\\SKIN.INI");
    size_t at = ini.find("cx=90;cy=6;");
    ASSERT_NE(std::string::npos, at);
    ini.replace(at, 11, "cx=90;cy=1;");
    std::ofstream(folder + "Images\\SKIN.INI", std::ios::binary | std::ios::trunc) << ini;

    SetCurrentDirectoryA(folder.c_str());
    CManagerDlg dlg;
    bool opened = Open(dlg);
    SetCurrentDirectoryA(cwd);
    ASSERT_TRUE(opened);
    EXPECT_EQ(folder, g_programFolder);
    EXPECT_EQ(1, dlg.m_skin.BannerFrames());
    HBITMAP still = dlg.m_skin.Picture(1021).GetPicture();
    for (int i = 0; i < 6; ++i)
        Tick(dlg, 1);
    EXPECT_EQ(0, dlg.m_bannerDraws);
    EXPECT_EQ(still, dlg.m_skin.Picture(1021).GetPicture());
    dlg.DestroyWindow();
}

// The end of a download-list transfer: rows that did not complete lose
// their status; with CFG_DL 1 the completed rows leave both lists, found in
// the hidden twin by name (its order is not the visible list's).
TEST_F(ManagerDialog, TransferEndCleansTheDownloadList)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));

    FillLists(dlg);
    dlg.m_removeCompleted = 1;
    dlg.m_runningOperation = CManagerDlg::OP_DOWNLOAD_LIST;
    Tick(dlg, 4);
    EXPECT_EQ("001 c.mp3 [];", Rows(dlg.m_downloadList));
    // The twin keeps the statuses too: a row left unfinished is queued again.
    EXPECT_EQ("001 b.wav [];002 c.mp3 [];", Rows(dlg.m_downloadTwin));
    // The settle thread ran; its window steps came back to this thread.
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_settleUiThread != 0; }, 20000));
    EXPECT_EQ(GetCurrentThreadId(), dlg.m_settleUiThread);
    EXPECT_EQ(CManagerDlg::OP_NONE, dlg.m_runningOperation);

    FillLists(dlg);
    dlg.m_removeCompleted = 0;
    dlg.m_runningOperation = CManagerDlg::OP_DOWNLOAD_LIST;
    Tick(dlg, 4);
    EXPECT_EQ(" d.mp3 [Complete]; c.mp3 []; a.mp3 [Complete];", Rows(dlg.m_downloadList));
    EXPECT_EQ(4, dlg.m_downloadTwin.GetItemCount());
    dlg.DestroyWindow();
}

// The settle thread closes the do-not-unplug box of this process, from the
// user-interface thread.
TEST_F(ManagerDialog, SettleClosesOurNoticeOnTheWindowThread)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    mbtest::CBackgroundRun notice([] { MessageBoxW(nullptr, L"Do not unplug the player.", L"MusicBridge", MB_OK); });
    ASSERT_TRUE(mbtest::PumpUntil([] { return FindWindowA("#32770", "MusicBridge") != nullptr; }, 10000));
    dlg.m_runningOperation = CManagerDlg::OP_DOWNLOAD;
    ASSERT_TRUE(dlg.StartSettleThread());
    EXPECT_TRUE(mbtest::PumpUntil([] { return FindWindowA("#32770", "MusicBridge") == nullptr; }, 20000));
    EXPECT_TRUE(notice.Finish());
    EXPECT_EQ(GetCurrentThreadId(), dlg.m_settleUiThread);
    EXPECT_EQ(CManagerDlg::OP_NONE, dlg.m_runningOperation);
    dlg.DestroyWindow();
}

TEST_F(ManagerDialog, EscapeAndOkNeverCloseAndF1OpensAbout)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    dlg.m_pcList.SetFocus();
    mbtest::PostKey(dlg.m_pcList, VK_ESCAPE);
    mbtest::PumpFor(200);
    EXPECT_TRUE(IsWindow(dlg.m_hWnd));
    dlg.Send(WM_COMMAND, IDOK, 0);
    mbtest::PumpFor(100);
    EXPECT_TRUE(IsWindow(dlg.m_hWnd));

    // Every About box that opens is closed by its OK button.
    std::atomic<bool> closing{true};
    mb::CWorkerThread closer;
    closer.Start([&] {
        while (closing) {
            if (HWND about = ::FindWindowW(nullptr, L"About Vilo Music Bridge"))
                ::PostMessageW(about, WM_COMMAND, IDOK, 0);
            ::Sleep(50);
        }
    });
    mbtest::PostKey(dlg.m_pcList, VK_F1);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.m_aboutShown == 1; }));
    dlg.Send(WM_SYSCOMMAND, 16, 0);
    EXPECT_EQ(2, dlg.m_aboutShown);
    Click(dlg, 1212);
    EXPECT_EQ(3, dlg.m_aboutShown);
    dlg.Send(WM_COMMAND, 32780, 0);
    EXPECT_EQ(4, dlg.m_aboutShown);
    closing = false;
    closer.Join();

    // Tab runs the fixed ring: PC list, download list, player tree...
    dlg.m_pcList.SetFocus();
    mbtest::PostKey(dlg.m_pcList, VK_TAB);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return GetFocus() == dlg.m_downloadList.m_hWnd; }));
    mbtest::PostKey(dlg.m_downloadList, VK_TAB);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return GetFocus() == dlg.m_playerTree.m_hWnd; }));
    EXPECT_TRUE(IsWindow(dlg.m_hWnd));
    dlg.DestroyWindow();
}

// The About box shows the version and product text of the skin's [ABOUT]
// (x=1;y=100;str=Vilo Music Bridge; in the shipped SKIN.INI).
TEST_F(ManagerDialog, AboutShowsTheSkinVersionAndText)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    std::atomic<bool> closing{true};
    std::wstring version, text;
    mb::CWorkerThread closer;
    closer.Start([&] {
        while (closing) {
            HWND about = ::FindWindowW(nullptr, L"About Vilo Music Bridge");
            if (about && ::IsWindowVisible(about)) {
                version = mbtest::ItemText(about, 1493);
                text = mbtest::ItemText(about, 1494);
                ::PostMessageW(about, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(50);
        }
    });
    Click(dlg, 1212);
    EXPECT_EQ(1, dlg.m_aboutShown);
    closing = false;
    closer.Join();
    EXPECT_EQ(L"(Version 1.1)", version);
    EXPECT_EQ(L"Vilo Music Bridge", text);
    dlg.DestroyWindow();
}

TEST_F(ManagerDialog, SkinButtonsDispatch)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    g_standaloneCancel = 0;
    Click(dlg, 1088);  // Cancel with nothing running
    EXPECT_EQ(1, g_standaloneCancel);
    EXPECT_EQ(CManagerDlg::PANE_PLAYER_LIST, dlg.m_activePane);
    Click(dlg, 1047);
    EXPECT_EQ(CManagerDlg::PANE_DOWNLOAD_LIST, dlg.m_activePane);
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1047).GetState());
    EXPECT_EQ(CSkinButton::STATE_NORMAL, dlg.m_skin.Button(1046).GetState());
    Click(dlg, 1046);
    EXPECT_EQ(CManagerDlg::PANE_PC_LIST, dlg.m_activePane);

    // The progress tooltip is empty while nothing runs.
    dlg.OnMousePosNumProgress(0);
    EXPECT_EQ("", dlg.m_progressTip);

    // Maximise and back: the window returns to its rectangle.
    RECT before = dlg.GetWindowRect();
    Click(dlg, 1492);
    EXPECT_TRUE(dlg.m_skin.IsExpanded());
    Click(dlg, 1492);
    RECT after = dlg.GetWindowRect();
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.right, after.right);
    EXPECT_EQ(before.bottom, after.bottom);

    // Close ends the dialog.
    Click(dlg, 1045);
    EXPECT_FALSE(IsWindow(dlg.m_hWnd));
    EXPECT_EQ(0u, m_prompter.Count());
}
