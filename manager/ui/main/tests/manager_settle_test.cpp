// The settle poll after a delete on the player, against the stand-in driver:
// the open, the status reads and the close reach it; a player that never
// reports ready costs 30 waits and no more; no player gives the fixed wait.
#include <windows.h>

#include <gtest/gtest.h>

#include "ConfigDlg.h"
#include "GuiTest.h"
#include "ManagerDlg.h"
#include "QvMp3.h"
#include "SimDriverClient.h"

using namespace vilosim;

namespace {
struct SettleAfterDelete : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        dlg.OsLevel = 3;
    }
    void TearDown() override
    {
        while (QvMp3CloseDriver()) {
        }
        sim.Reset();
    }
    SimStats Stats()
    {
        SimStats stats = {};
        EXPECT_TRUE(sim.GetStats(&stats));
        return stats;
    }
    CSimDriverClient sim;
    CManagerDlg dlg;
};
}  // namespace

TEST_F(SettleAfterDelete, PollsTheStatusUntilReadyThenCloses)
{
    ASSERT_TRUE(sim.AddUnit(UNIT_NT_NAME, 0));
    SimConfig config = {};
    ASSERT_TRUE(sim.GetConfig(&config));
    config.ReadyDropPolls = 0;
    ASSERT_TRUE(sim.SetConfig(config));
    ASSERT_TRUE(sim.SetState(UserData{0, 0, 1, 0}));
    const SimStats before = Stats();
    dlg.SettleAfterDelete();
    const SimStats after = Stats();
    // The main dialog's own window tests poll the same driver without its
    // lock; a run that overlapped one cannot count its reads.
    if (after.Opens != before.Opens + 1) GTEST_SKIP() << "another program opened the player meanwhile";
    EXPECT_EQ(UNIT_NT_NAME, after.OpenedKind);
    // The open reads the record once itself; ready at once: one read more.
    EXPECT_EQ(before.StatusPolls + 2, after.StatusPolls);
    // Nothing stays open.
    EXPECT_EQ(0, QvMp3CloseDriver());
}

TEST_F(SettleAfterDelete, ANeverReadyPlayerCostsThirtyWaits)
{
    ASSERT_TRUE(sim.AddUnit(UNIT_NT_NAME, 0));
    ASSERT_TRUE(sim.SetState(UserData{0, 0, 0, 0}));
    const SimStats before = Stats();
    dlg.SettleAfterDelete();
    const SimStats after = Stats();
    if (after.Opens != before.Opens + 1) GTEST_SKIP() << "another program opened the player meanwhile";
    // The open's own read, the first read, then 30 waits with a read each.
    EXPECT_EQ(before.StatusPolls + 32, after.StatusPolls);
    EXPECT_EQ(0, QvMp3CloseDriver());
}

TEST_F(SettleAfterDelete, NoPlayerGivesTheFixedWait)
{
    ASSERT_TRUE(sim.RemoveUnit(UNIT_NT_NAME, 0) || true);
    const SimStats before = Stats();
    const DWORD start = GetTickCount();
    dlg.SettleAfterDelete();
    // A lower bound only: the wait is there.
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_EQ(before.StatusPolls, Stats().StatusPolls);
}

namespace {
struct WindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->process && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string CurrentFolder()
{
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::string f = folder;
    return f.back() == '\\' ? f : f + "\\";
}
}  // namespace

// "FWU Start" starts the firmware updater (it shares the stand-in driver,
// hence this program) and waits for it with the dialog disabled.
TEST(UpdaterStart, FwuStartRunsTheUpdaterAndWaitsForItsEnd)
{
    mbtest::CGuiTimeLimit limit(90000);
    CConfigDlg dlg(nullptr, "", "", 0);
    dlg.m_osLevel = 3;
    dlg.m_programFolder = CurrentFolder();
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(SW_SHOW);
    dlg.OnFwuStart();
    EXPECT_EQ(CONFIG_UPDATER_STARTED, dlg.m_result);
    ASSERT_NE(nullptr, dlg.m_updater);
    EXPECT_FALSE(dlg.IsWindowEnabled());
    WindowSearch search{GetProcessId(dlg.m_updater), nullptr};
    EXPECT_TRUE(mbtest::PumpUntil([&] {
        EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, 60000));
    if (search.found) {
        mbtest::PumpFor(500);
        mbtest::SaveScreenshot(search.found, "updater_started_by_configuration");
    }
    TerminateProcess(dlg.m_updater, 0);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.m_updater == nullptr; }, 20000));
    EXPECT_TRUE(dlg.IsWindowEnabled());
    dlg.DestroyWindow();
}
