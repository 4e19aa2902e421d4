// The stand-in driver seen from a program: its units, its private control
// channel and the player's volume identity on the player's drive letter.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

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

TEST_F(DriverTest, PlayerVolumeAnswersTheStorageIdentity)
{
    HANDLE volume = CreateFileA("\\\\.\\O:", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<char> out(512, 0);
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, out.data(),
                                static_cast<DWORD>(out.size()), &returned, nullptr));
    auto* descriptor = reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(out.data());
    ASSERT_GE(returned, sizeof(STORAGE_DEVICE_DESCRIPTOR));
    ASSERT_GT(descriptor->VendorIdOffset, 0u);
    ASSERT_GT(descriptor->ProductIdOffset, 0u);
    EXPECT_EQ(std::string(out.data() + descriptor->VendorIdOffset), "Vilo    ");
    EXPECT_EQ(std::string(out.data() + descriptor->ProductIdOffset), "Lark            ");
    EXPECT_EQ(descriptor->BusType, BusTypeUsb);
    EXPECT_TRUE(descriptor->RemovableMedia);
    // A header-sized buffer learns the full size.
    STORAGE_DESCRIPTOR_HEADER header = {};
    ASSERT_TRUE(DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &header, sizeof header,
                                &returned, nullptr));
    EXPECT_EQ(header.Size, descriptor->Size);
    CloseHandle(volume);
}

TEST_F(DriverTest, PlayerVolumeKeepsItsFilesReachable)
{
    // The letter's files still come from its folder while \\.\O: is ours.
    HANDLE file = CreateFileA("O:\\marker.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char text[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, text, sizeof text - 1, &got, nullptr));
    EXPECT_STREQ(text, "player");
    CloseHandle(file);
}
