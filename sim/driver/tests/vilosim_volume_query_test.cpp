// The player's volume answers the volume queries from its FAT image (free
// and total bytes, label, serial number, file system name) and records the
// requests that release it. volume-queries.sh makes the images and hands
// over what mtools reports for them.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "SimDriverClient.h"

using namespace vilosim;

namespace {

std::string Env(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

struct VolumeQueries : ::testing::Test {
    void SetUp() override
    {
        image = Env("VILOSIM_QUERY_IMAGE");
        ASSERT_FALSE(image.empty()) << "run by volume-queries.sh";
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        ASSERT_TRUE(sim.SetImage(image));
        ASSERT_TRUE(sim.ClearScsiLog());
    }
    void TearDown() override
    {
        sim.SetImage("");
        sim.Reset();
    }
    std::vector<SimScsiRecord> VolumeLog()
    {
        std::vector<SimScsiRecord> log;
        EXPECT_TRUE(sim.GetScsiLog(&log));
        return log;
    }
    std::string image;
    CSimDriverClient sim;
};

std::string Describe(const std::vector<SimScsiRecord>& log)
{
    std::string text;
    for (const SimScsiRecord& record : log) {
        if (!text.empty())
            text += ' ';
        switch (record.Kind) {
        case SIM_RECORD_LOCK: text += "lock"; break;
        case SIM_RECORD_UNLOCK: text += "unlock"; break;
        case SIM_RECORD_DISMOUNT: text += "dismount"; break;
        case SIM_RECORD_MEDIA_REMOVAL: text += record.Count ? "prevent" : "allow"; break;
        case SIM_RECORD_EJECT: text += "eject"; break;
        default: text += "other"; break;
        }
    }
    return text;
}

HANDLE OpenVolume()
{
    return CreateFileA("\\\\.\\O:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

} // namespace

// Wine opens the root O:\ of GetDiskFreeSpaceEx in the letter's Unix folder
// and answers from that folder's file system, so the sizes are asked of the
// volume device itself, as the file system below a letter is asked on Windows.
TEST_F(VolumeQueries, FreeAndTotalBytesAreTheImages)
{
    unsigned long long wantFree = _strtoui64(Env("VILOSIM_QUERY_FREE").c_str(), nullptr, 10);
    unsigned long long wantTotal = _strtoui64(Env("VILOSIM_QUERY_TOTAL").c_str(), nullptr, 10);
    ASSERT_GT(wantTotal, 0u);
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    IO_STATUS_BLOCK io = {};
    FILE_FS_FULL_SIZE_INFORMATION full = {};
    ASSERT_EQ(NtQueryVolumeInformationFile(volume, &io, &full, sizeof full, FileFsFullSizeInformation), 0);
    ULONGLONG cluster = ULONGLONG(full.SectorsPerAllocationUnit) * full.BytesPerSector;
    EXPECT_NEAR(double(full.ActualAvailableAllocationUnits.QuadPart * cluster), double(wantFree), 4096.0);
    EXPECT_NEAR(double(full.CallerAvailableAllocationUnits.QuadPart * cluster), double(wantFree), 4096.0);
    EXPECT_NEAR(double(full.TotalAllocationUnits.QuadPart * cluster), double(wantTotal), 4096.0);

    FILE_FS_SIZE_INFORMATION size = {};
    ASSERT_EQ(NtQueryVolumeInformationFile(volume, &io, &size, sizeof size, FileFsSizeInformation), 0);
    EXPECT_EQ(size.TotalAllocationUnits.QuadPart, full.TotalAllocationUnits.QuadPart);
    EXPECT_EQ(size.AvailableAllocationUnits.QuadPart, full.ActualAvailableAllocationUnits.QuadPart);
    EXPECT_EQ(ULONGLONG(size.SectorsPerAllocationUnit) * size.BytesPerSector, cluster);

    FILE_FS_DEVICE_INFORMATION device = {};
    ASSERT_EQ(NtQueryVolumeInformationFile(volume, &io, &device, sizeof device, FileFsDeviceInformation), 0);
    EXPECT_EQ(device.DeviceType, ULONG(FILE_DEVICE_DISK));
    EXPECT_TRUE(device.Characteristics & 0x1) << "FILE_REMOVABLE_MEDIA";

    // A buffer too small for the fixed part is refused.
    char small[8];
    EXPECT_NE(NtQueryVolumeInformationFile(volume, &io, small, sizeof small, FileFsFullSizeInformation), 0);
    CloseHandle(volume);
}

TEST_F(VolumeQueries, LabelSerialAndFileSystemAreTheImages)
{
    char label[MAX_PATH + 1] = "untouched";
    char fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0, longest = 0, flags = 0;
    ASSERT_TRUE(GetVolumeInformationA("O:\\", label, sizeof label, &serial, &longest, &flags, fileSystem,
                                      sizeof fileSystem))
        << GetLastError();
    EXPECT_EQ(std::string(label), Env("VILOSIM_QUERY_LABEL"));
    EXPECT_EQ(std::string(fileSystem), Env("VILOSIM_QUERY_FS"));
    EXPECT_EQ(serial, strtoul(Env("VILOSIM_QUERY_SERIAL").c_str(), nullptr, 16));
    EXPECT_EQ(longest, 255u);
}

// The format tool asks the volume's length (the whole image here).
TEST_F(VolumeQueries, LengthIsTheImages)
{
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    ASSERT_TRUE(GetFileAttributesExA(image.c_str(), GetFileExInfoStandard, &fa));
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    GET_LENGTH_INFORMATION length{};
    DWORD done = 0;
    EXPECT_TRUE(DeviceIoControl(volume, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done, nullptr));
    EXPECT_EQ(sizeof length, done);
    EXPECT_EQ((ULONGLONG(fa.nFileSizeHigh) << 32) | fa.nFileSizeLow, ULONGLONG(length.Length.QuadPart));
    CloseHandle(volume);
}

TEST_F(VolumeQueries, ReleaseRequestsAreRecordedInTheirOrder)
{
    // The release as a program makes it, through DeviceIoControl. Wine
    // answers the lock and the unlock itself; the dismount reaches the
    // driver, and Wine then fails the call.
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr));
    DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    PREVENT_MEDIA_REMOVAL removal = {};
    removal.PreventMediaRemoval = FALSE;
    EXPECT_TRUE(DeviceIoControl(volume, IOCTL_STORAGE_MEDIA_REMOVAL, &removal, sizeof removal, nullptr, 0, &returned,
                                nullptr))
        << GetLastError();
    EXPECT_TRUE(DeviceIoControl(volume, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned, nullptr))
        << GetLastError();
    EXPECT_TRUE(DeviceIoControl(volume, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(Describe(VolumeLog()), "dismount allow eject");

    // The same five requests sent to the driver itself all arrive, in order.
    ASSERT_TRUE(sim.ClearScsiLog());
    struct Request {
        ULONG code;
        bool hasRemoval;
    } const requests[] = {{FSCTL_LOCK_VOLUME, false},
                          {FSCTL_DISMOUNT_VOLUME, false},
                          {IOCTL_STORAGE_MEDIA_REMOVAL, true},
                          {IOCTL_STORAGE_EJECT_MEDIA, false},
                          {FSCTL_UNLOCK_VOLUME, false}};
    for (const Request& request : requests) {
        IO_STATUS_BLOCK io = {};
        NTSTATUS status = NtDeviceIoControlFile(volume, nullptr, nullptr, nullptr, &io, request.code,
                                                request.hasRemoval ? &removal : nullptr,
                                                request.hasRemoval ? sizeof removal : 0, nullptr, 0);
        EXPECT_EQ(status, 0) << std::hex << request.code;
    }
    EXPECT_EQ(Describe(VolumeLog()), "lock dismount allow eject unlock");

    // Preventing removal is recorded as such; a removal request without its
    // flag is refused and not recorded.
    ASSERT_TRUE(sim.ClearScsiLog());
    removal.PreventMediaRemoval = TRUE;
    EXPECT_TRUE(DeviceIoControl(volume, IOCTL_STORAGE_MEDIA_REMOVAL, &removal, sizeof removal, nullptr, 0, &returned,
                                nullptr));
    EXPECT_FALSE(DeviceIoControl(volume, IOCTL_STORAGE_MEDIA_REMOVAL, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(Describe(VolumeLog()), "prevent");
    CloseHandle(volume);
}
