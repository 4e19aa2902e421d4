// The player's volume on its drive letter: \\.\O: belongs to the stand-in
// driver while the letter's files still come from its folder. These cases
// leave the simulated player's units and behaviour alone.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <string>
#include <vector>

#include "SimDriverClient.h"

namespace {

struct VolumeTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(sim.Connect()) << sim.LastError(); }
    CSimDriverClient sim;
};

} // namespace

TEST_F(VolumeTest, PlayerVolumeAnswersTheStorageIdentity)
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

TEST_F(VolumeTest, PlayerVolumeKeepsItsFilesReachable)
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
