// The stand-in driver seen from a program: its units, its private control
// channel, its data channel and the state it keeps across loads.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <string.h>

#include <string>
#include <vector>

#include "SimDriverClient.h"

using namespace vilosim;

namespace {

struct DriverTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
    }
    CSimDriverClient sim;
};

HANDLE OpenUnit(const char* name)
{
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

TEST_F(DriverTest, UnitsComeAndGoWithTheControlChannel)
{
    HANDLE unit = OpenUnit("\\\\.\\ViloLarkr5");
    EXPECT_EQ(unit, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(sim.AddUnit(UNIT_NT_NAME, 5));
    unit = OpenUnit("\\\\.\\ViloLarkr5");
    ASSERT_NE(unit, INVALID_HANDLE_VALUE);
    CloseHandle(unit);
    ASSERT_TRUE(sim.RemoveUnit(UNIT_NT_NAME, 5));
    EXPECT_EQ(OpenUnit("\\\\.\\ViloLarkr5"), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(sim.RemoveUnit(UNIT_NT_NAME, 5));
}

TEST_F(DriverTest, StatusRecordAndDataChannelAnswerThroughAUnit)
{
    ASSERT_TRUE(sim.AddUnit(UNIT_9X_NAME, 1));
    ASSERT_TRUE(sim.SetState(UserData{0, 2, 1, 0}));
    HANDLE unit = OpenUnit("\\\\.\\ViloLarku1");
    ASSERT_NE(unit, INVALID_HANDLE_VALUE);
    UserData record = {};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(unit, IOCTL_VILO_GET_STATUS, nullptr, 0, &record, sizeof record, &returned, nullptr));
    EXPECT_EQ(returned, 16u);
    EXPECT_EQ(record.FormatStatus, 2u);
    const unsigned char packet[3] = {DEVICE_CMD_CHIP_ID, GROUP_DEVICE, 0};
    ASSERT_TRUE(WriteFile(unit, packet, 3, &returned, nullptr));
    unsigned char answer[64] = {};
    // Reads that are not whole 64-byte units are refused.
    EXPECT_FALSE(ReadFile(unit, answer, 10, &returned, nullptr));
    ASSERT_TRUE(ReadFile(unit, answer, 64, &returned, nullptr));
    EXPECT_EQ(returned, 64u);
    EXPECT_EQ(answer[1], 0x10);
    EXPECT_EQ(answer[2], 0x34);
    CloseHandle(unit);
}

TEST_F(DriverTest, StatusRecordIsKeptInTheStateFile)
{
    ASSERT_TRUE(sim.SetState(UserData{1, 3, 0, 7}));
    std::vector<char> windows(MAX_PATH + 1);
    UINT length = GetWindowsDirectoryA(windows.data(), static_cast<UINT>(windows.size()));
    ASSERT_GT(length, 0u);
    std::string path = std::string(windows.data(), length) + "\\vilolark-state.bin";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    unsigned char bytes[64] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, bytes, sizeof bytes, &got, nullptr));
    CloseHandle(file);
    ASSERT_EQ(got, 24u);
    EXPECT_EQ(memcmp(bytes, "LVSM", 4), 0);
    EXPECT_EQ(bytes[4], 1);  // HostOpen
    EXPECT_EQ(bytes[8], 3);  // FormatStatus
    EXPECT_EQ(bytes[12], 0); // Ready
    EXPECT_EQ(bytes[16], 7); // Reserved
}
