// QvMp3 against the stand-in player driver in the test prefix.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>

#include "QvMp3.h"
#include "Sync.h"
#include "SimDriverClient.h"

using namespace vilosim;

// Neither normal (no chip information read) nor recovery: the normal device only.
const DEVICE_STATUS DEVICE_STATUS_OTHER_KIND = static_cast<DEVICE_STATUS>(0);

namespace {

struct QvMp3Test : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        ASSERT_TRUE(sim.GetConfig(&config));
    }
    void TearDown() override
    {
        while (QvMp3CloseDriver()) {
        }
    }
    void Configure() { ASSERT_TRUE(sim.SetConfig(config)); }
    // The player under both name bases at one index.
    void AddPlayer(DWORD index)
    {
        ASSERT_TRUE(sim.AddUnit(UNIT_NT_NAME, index));
        ASSERT_TRUE(sim.AddUnit(UNIT_9X_NAME, index));
    }
    SimStats Stats()
    {
        SimStats stats = {};
        EXPECT_TRUE(sim.GetStats(&stats));
        return stats;
    }

    CSimDriverClient sim;
    SimConfig config = {};
};

DWORD Elapsed(DWORD start)
{
    return GetTickCount() - start;
}

} // namespace

// ---- names and opening ------------------------------------------------------

TEST_F(QvMp3Test, ScanOpensTheLowestAnsweringIndex)
{
    AddPlayer(12);
    AddPlayer(7);
    ASSERT_EQ(QvMp3OpenDriverNoBlockEx(DEVICE_STATUS_OTHER_KIND), 1);
    EXPECT_EQ(Stats().OpenedIndex, 7u);
}

TEST_F(QvMp3Test, ScanReachesIndex99AndStopsThere)
{
    AddPlayer(99);
    ASSERT_EQ(QvMp3OpenDriver(DEVICE_STATUS_OTHER_KIND), 1);
    EXPECT_EQ(Stats().OpenedIndex, 99u);
    ASSERT_EQ(QvMp3CloseDriver(), 1);
    ASSERT_TRUE(sim.RemoveUnit(UNIT_NT_NAME, 99));
    ASSERT_TRUE(sim.RemoveUnit(UNIT_9X_NAME, 99));
    AddPlayer(100);
    EXPECT_EQ(QvMp3OpenDriver(DEVICE_STATUS_OTHER_KIND), 0);
    EXPECT_EQ(Stats().Opens, 1u);
}

TEST_F(QvMp3Test, RecoveryKindOpensTheRecoveryDevice)
{
    ASSERT_TRUE(sim.AddUnit(UNIT_RECOVERY_NAME, 2));
    EXPECT_EQ(QvMp3OpenDriverEx(1, DEVICE_STATUS_RECOVERY), 0);
    ASSERT_EQ(QvMp3OpenDriverEx(2, DEVICE_STATUS_RECOVERY), 1);
    EXPECT_EQ(Stats().OpenedKind, UNIT_RECOVERY_NAME);
}

TEST_F(QvMp3Test, BlockingOpenMarksTheHostAndCloseClearsIt)
{
    AddPlayer(0);
    ASSERT_TRUE(sim.SetState(UserData{0, 5, 0, 9}));
    ASSERT_EQ(QvMp3OpenDriverEx(0, DEVICE_STATUS_NORMAL), 1);
    _USER_DATA record = {};
    ASSERT_EQ(QvMp3GetStatus(&record), 1);
    EXPECT_EQ(record.HostOpen, 1u);
    EXPECT_EQ(record.FormatStatus, 0u);
    EXPECT_EQ(record.Ready, 1u);
    ASSERT_EQ(QvMp3CloseDriver(), 1);
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL), 1);
    ASSERT_EQ(QvMp3GetStatus(&record), 1);
    EXPECT_EQ(record.HostOpen, 0u);
    record.FormatStatus = 4;
    ASSERT_EQ(QvMp3SetStatus(&record), 1);
    ASSERT_EQ(QvMp3DDSetFormatStatus(1), 1);
    ASSERT_EQ(QvMp3GetStatus(&record), 1);
    EXPECT_EQ(record.HostOpen, 1u);
    EXPECT_EQ(record.FormatStatus, 1u);
}

// ---- open counting and the library lock -------------------------------------

TEST_F(QvMp3Test, CloseWithoutOpenReturnsZeroAndLeavesTheLibraryUsable)
{
    EXPECT_EQ(QvMp3CloseDriver(), 0);
    EXPECT_EQ(QvMp3CloseDriver(), 0);
    AddPlayer(0);
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL), 1);
    _USER_DATA record = {};
    EXPECT_EQ(QvMp3GetStatus(&record), 1);
    EXPECT_EQ(QvMp3CloseDriver(), 1);
}

TEST_F(QvMp3Test, OpensAreCountedAndTheLastCloseClosesTheDevice)
{
    AddPlayer(0);
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL), 1);
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL), 1);
    EXPECT_EQ(Stats().Opens, 1u);
    _USER_DATA record = {};
    ASSERT_EQ(QvMp3CloseDriver(), 1);
    EXPECT_EQ(QvMp3GetStatus(&record), 1); // the other opener still has it
    ASSERT_EQ(QvMp3CloseDriver(), 1);
    EXPECT_EQ(QvMp3GetStatus(&record), 0);
    EXPECT_EQ(QvMp3CloseDriver(), 0);
}

TEST_F(QvMp3Test, ASecondOpenOfAnotherDeviceFailsAndLeavesTheOpenOneAlone)
{
    AddPlayer(0);
    AddPlayer(1);
    ASSERT_TRUE(sim.AddUnit(UNIT_RECOVERY_NAME, 0));
    ASSERT_EQ(QvMp3OpenDriverEx(0, DEVICE_STATUS_OTHER_KIND), 1);
    EXPECT_EQ(QvMp3OpenDriverEx(1, DEVICE_STATUS_OTHER_KIND), 0) << "another index";
    EXPECT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_RECOVERY), 0) << "the recovery device";
    EXPECT_EQ(QvMp3OpenDriver(DEVICE_STATUS_RECOVERY), 0) << "a scan for the recovery device";
    EXPECT_EQ(Stats().Opens, 1u) << "nothing else was opened";
    EXPECT_EQ(Stats().OpenedIndex, 0u);
    EXPECT_EQ(Stats().OpenedKind, UNIT_NT_NAME);
    // A scan for the normal device shares the open one.
    ASSERT_EQ(QvMp3OpenDriverNoBlockEx(DEVICE_STATUS_OTHER_KIND), 1);
    _USER_DATA record = {};
    ASSERT_EQ(QvMp3CloseDriver(), 1);
    EXPECT_EQ(QvMp3GetStatus(&record), 1) << "one open is left";
    ASSERT_EQ(QvMp3CloseDriver(), 1);
    EXPECT_EQ(QvMp3CloseDriver(), 0);
}

TEST_F(QvMp3Test, ThreadsOpeningAndClosingAtOnceShareOneDevice)
{
    AddPlayer(0);
    std::atomic<int> failures{0};
    auto worker = [&] {
        for (int i = 0; i < 30; i++) {
            if (QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND) != 1) {
                failures++;
                continue;
            }
            _USER_DATA record = {};
            if (QvMp3GetStatus(&record) != 1)
                failures++;
            if (QvMp3CloseDriver() != 1)
                failures++;
        }
    };
    mb::CWorkerThread a, b;
    ASSERT_TRUE(a.Start(worker));
    ASSERT_TRUE(b.Start(worker));
    a.Join();
    b.Join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(QvMp3CloseDriver(), 0);
}

TEST_F(QvMp3Test, TwoThreadsSendingCommandsNeverInterleavePackets)
{
    AddPlayer(0);
    config.PowerStatus = 0x00ABCD;
    config.ChipRevision = 0x1000; // a newer chip: the id takes command 12 too
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    std::atomic<int> wrong{0};
    mb::CWorkerThread power, identity;
    ASSERT_TRUE(power.Start([&] {
        for (int i = 0; i < 150; i++) {
            unsigned long status = 0;
            if (QvMp3GetPowerStatus(&status) != ACCESS_DEVICE_SUCCESS || status != 0x00ABCD)
                wrong++;
        }
    }));
    ASSERT_TRUE(identity.Start([&] {
        for (int i = 0; i < 150; i++) {
            _USER_DATA record = {};
            if (QvMp3GetChipId(1) != 3410 || QvMp3GetStatus(&record) != 1)
                wrong++;
        }
    }));
    power.Join();
    identity.Join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(Stats().Interleaved, 0u);
}

// ---- status and identity ----------------------------------------------------

TEST_F(QvMp3Test, DeviceStatusReflectsTheDriversAnswer)
{
    AddPlayer(0);
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    EXPECT_EQ(QvMp3GetDeviceStatus(), DEVICE_STATUS_NORMAL);
    config.DeviceStatusAnswer = 7;
    Configure();
    EXPECT_EQ(QvMp3GetDeviceStatus(), DEVICE_STATUS_RECOVERY);
    config.DeviceStatusBytes = 0;
    Configure();
    EXPECT_EQ(QvMp3GetDeviceStatus(), DEVICE_STATUS_NO_ANSWER);
    QvMp3CloseDriver();
    EXPECT_EQ(QvMp3GetDeviceStatus(), DEVICE_STATUS_FAILED);
}

TEST_F(QvMp3Test, ChipIdAndVersionQueries)
{
    AddPlayer(0);
    config.ChipIdAnswer = 0x1234;
    config.DeviceVersion = 0x0305;
    config.ChipRevision = 0x100; // an old chip: 3410 without asking further
    config.ChipIdWord = 0x0000;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL), 1);
    EXPECT_EQ(QvMp3GetChipId(0), 0x1234u);
    EXPECT_EQ(QvMp3GetChipId(1), 3410u);
    config.ChipRevision = 0x101;
    Configure();
    EXPECT_EQ(QvMp3GetChipId(1), 3400u);
    config.ChipIdWord = 0x3410;
    Configure();
    EXPECT_EQ(QvMp3GetChipId(1), 3410u);
    config.ChipIdFails = 1;
    Configure();
    EXPECT_EQ(QvMp3GetChipId(0), 0x066F3410u);
    unsigned long version = 0;
    ASSERT_EQ(QvMp3GetDeviceVersion(&version), 1);
    EXPECT_EQ(version, 0x0305u);
    unsigned long power = 0;
    ASSERT_EQ(QvMp3GetPowerStatus(&power), ACCESS_DEVICE_SUCCESS);
    EXPECT_EQ(power, config.PowerStatus);
    EXPECT_EQ(QvMp3GetPowerStatus(nullptr), ACCESS_DEVICE_FAILED);
}

TEST_F(QvMp3Test, ChipInformationWithAnImpossibleTupleCountStillOpens)
{
    AddPlayer(0);
    config.TupleCount = 0xFFFFFF;
    config.ChipRevision = 0x2000;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverEx(0, DEVICE_STATUS_NORMAL), 1);
    EXPECT_EQ(Stats().Commands, 1u); // the chip information read at open
    EXPECT_EQ(QvMp3GetChipId(1), 3410u);
}

TEST_F(QvMp3Test, ReconfigureAgainstARefusingDriverGivesUpAfterElevenTries)
{
    AddPlayer(0);
    config.ReconfigureRefusals = 0xFFFFFFFF;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    DWORD start = GetTickCount();
    EXPECT_EQ(QvMp3DDReconfigure(), 0);
    DWORD spent = Elapsed(start);
    EXPECT_GE(spent, 2700u);
    EXPECT_EQ(Stats().Reconfigures, 11u);
    config.ReconfigureRefusals = 2;
    Configure();
    EXPECT_EQ(QvMp3DDReconfigure(), 1);
    EXPECT_EQ(Stats().Reconfigures, 14u);
}

// ---- the data channel -------------------------------------------------------

TEST_F(QvMp3Test, ShortReadAsksForAWholeUnitAndHandsBackWhatWasAsked)
{
    AddPlayer(0);
    config.PowerStatus = 0x123456;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    unsigned char packet[3] = {10, 0, 0};
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    unsigned char answer[16];
    memset(answer, 0xEE, sizeof answer);
    ASSERT_EQ(QvMp3DDRead(answer, 10), 1);
    EXPECT_EQ(Stats().LastReadLength, 64u);
    EXPECT_EQ(answer[0], 0x56);
    EXPECT_EQ(answer[1], 0x34);
    EXPECT_EQ(answer[2], 0x12);
    EXPECT_EQ(answer[9], 0);
    EXPECT_EQ(answer[10], 0xEE); // nothing past the ten bytes asked for
}

TEST_F(QvMp3Test, ReadThatWouldOverrunTheBounceBufferIsRefused)
{
    AddPlayer(0);
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    unsigned char packet[3] = {3, 0, 0};
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    static unsigned char big[8192];
    EXPECT_EQ(QvMp3DDRead(big, 4097), 0);
    EXPECT_EQ(Stats().Reads, 0u);
    EXPECT_EQ(QvMp3DDRead(big, 4095), 1);
    EXPECT_EQ(Stats().LastReadLength, 4096u);
    EXPECT_EQ(QvMp3DDRead(nullptr, 64), 0);
}

TEST_F(QvMp3Test, HeldReadTimesOutAndLeavesTheNextTransferAlone)
{
    AddPlayer(0);
    config.HeldReads = 1;
    config.PowerStatus = 0x000777;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    unsigned char packet[3] = {10, 0, 0};
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    unsigned char answer[64] = {};
    DWORD start = GetTickCount();
    EXPECT_EQ(QvMp3DDRead(answer, 64), 0);
    DWORD spent = Elapsed(start);
    EXPECT_GE(spent, 950u);
    EXPECT_EQ(Stats().CancelledReads, 1u);
    // The cancelled read's completion must not speak for these transfers.
    config.FailCommands = 1;
    config.HeldReads = 0;
    Configure();
    EXPECT_EQ(QvMp3DDWrite(packet, 3), 0);
    config.FailCommands = 0;
    Configure();
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    ASSERT_EQ(QvMp3DDRead(answer, 64), 1);
    EXPECT_EQ(answer[0], 0x77);
    EXPECT_EQ(answer[1], 0x07);
}

std::atomic<int> g_wakeUps{0};

VOID CALLBACK CountWakeUp(ULONG_PTR)
{
    g_wakeUps++;
}

TEST_F(QvMp3Test, AnUnrelatedWakeUpDuringATransferIsNotASuccess)
{
    AddPlayer(0);
    config.HeldReads = 1;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    unsigned char packet[3] = {10, 0, 0};
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    // Another user of the thread's alertable waits: its call wakes the wait
    // early, which must not pass for the read's completion.
    g_wakeUps = 0;
    ASSERT_NE(QueueUserAPC(CountWakeUp, GetCurrentThread(), 0), 0u);
    unsigned char answer[64];
    DWORD start = GetTickCount();
    EXPECT_EQ(QvMp3DDRead(answer, 64), 0);
    EXPECT_GE(Elapsed(start), 950u);
    EXPECT_EQ(g_wakeUps.load(), 1);
    EXPECT_EQ(Stats().CancelledReads, 1u);
}

TEST_F(QvMp3Test, ClosingWithAHeldReadCompletesIt)
{
    AddPlayer(0);
    config.HeldReads = 1;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    unsigned char packet[3] = {10, 0, 0};
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    unsigned char answer[64];
    EXPECT_EQ(QvMp3DDRead(answer, 64), 0);
    EXPECT_EQ(QvMp3CloseDriver(), 1);
    SimStats stats = Stats();
    EXPECT_EQ(stats.CancelledReads + stats.ClosedWithPendingRead, 1u);
}

TEST_F(QvMp3Test, ReadyDropsAfterWritesUntilTheDriverHasBeenPolled)
{
    AddPlayer(0);
    config.ReadyDropPolls = 2;
    Configure();
    ASSERT_EQ(QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_OTHER_KIND), 1);
    unsigned char packet[3] = {10, 0, 0};
    ASSERT_EQ(QvMp3DDWrite(packet, 3), 1);
    _USER_DATA record = {};
    int polls = 0;
    do {
        ASSERT_EQ(QvMp3GetStatus(&record), 1);
        polls++;
    } while (!record.Ready && polls < 30);
    EXPECT_EQ(polls, 3);
}

// ---- progress ---------------------------------------------------------------

TEST(QvMp3Progress, PercentAddsUpStopsAtOneHundredAndPhaseZeroResets)
{
    QvMp3SetPhase(1, 0, nullptr);
    QvMp3SetProgress(60);
    QvMp3SetProgress(60);
    double percent = -1;
    unsigned long phase = 0;
    ASSERT_EQ(QvMp3GetProgress(&percent, &phase), 1);
    EXPECT_DOUBLE_EQ(percent, 100);
    EXPECT_EQ(phase, 1u);
    ASSERT_EQ(QvMp3SetPhase(4, 0, nullptr), 1);
    ASSERT_EQ(QvMp3GetProgress(&percent, nullptr), 1);
    EXPECT_DOUBLE_EQ(percent, 0);
    ASSERT_EQ(QvMp3SetPhase(5, 30, nullptr), 1);
    ASSERT_EQ(QvMp3SetPhase(5, 30, nullptr), 1);
    ASSERT_EQ(QvMp3GetProgress(&percent, &phase), 1);
    EXPECT_DOUBLE_EQ(percent, 60);
    EXPECT_EQ(phase, 5u);
    EXPECT_EQ(QvMp3GetProgress(nullptr, nullptr), 1);
}

TEST(QvMp3Progress, PhaseWithAnEventWaitsForTheDisplayThread)
{
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    // Nobody acknowledges: the worker goes on after 2000 ms.
    DWORD start = GetTickCount();
    EXPECT_EQ(QvMp3SetPhase(2, 0, event), 1);
    DWORD spent = Elapsed(start);
    EXPECT_GE(spent, 1900u);
    // A display thread that sees the new phase acknowledges it; the worker's
    // wait is for that acknowledgement (how soon it ends is the machine's
    // business, so no upper bound).
    std::atomic<bool> stop{false};
    std::atomic<bool> acknowledged{false};
    mb::CWorkerThread display;
    ASSERT_TRUE(display.Start([&] {
        while (!stop) {
            unsigned long phase = 0;
            QvMp3GetProgress(nullptr, &phase);
            if (phase == 3 && !acknowledged) {
                acknowledged = true;
                SetEvent(event);
            }
            Sleep(10);
        }
    }));
    EXPECT_EQ(QvMp3SetPhase(3, 10, event), 1);
    unsigned long phase = 0;
    QvMp3GetProgress(nullptr, &phase);
    EXPECT_EQ(3u, phase);
    stop = true;
    display.Join();
    EXPECT_TRUE(acknowledged);
    CloseHandle(event);
}
