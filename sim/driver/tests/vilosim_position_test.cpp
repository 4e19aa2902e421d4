// The file position of a handle of the player's volume, kept as a Windows
// volume keeps it: transfers without an offset start where the handle
// stands, every transfer of a synchronous handle moves it, an overlapped
// handle has none. Checked against the image file read directly, and through
// the player list's own read of a folder's directory order.
// file-position.sh makes the image before and checks it with fsck.fat after.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <stdlib.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

#include "PlayerDirOrder.h"
#include "SimDriverClient.h"

extern "C" NTSTATUS NTAPI NtReadFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                     PLARGE_INTEGER, PULONG);
extern "C" NTSTATUS NTAPI NtWriteFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                      PLARGE_INTEGER, PULONG);

namespace {

constexpr DWORD SECTOR = 512;
using Bytes = std::vector<unsigned char>;

// What the image file holds at a sector, read past the driver.
Bytes ImageSectors(unsigned first, unsigned count)
{
    Bytes out(count * SECTOR);
    HANDLE file = CreateFileA(getenv("VILOSIM_FAT_IMAGE"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    OVERLAPPED at = {};
    at.Offset = first * SECTOR;
    DWORD got = 0;
    if (!ReadFile(file, out.data(), DWORD(out.size()), &got, &at) || got != out.size())
        out.clear();
    CloseHandle(file);
    return out;
}

Bytes Pattern(unsigned char seed)
{
    Bytes b(SECTOR);
    for (DWORD i = 0; i < SECTOR; i++)
        b[i] = static_cast<unsigned char>(seed + i * 7);
    return b;
}

struct FilePosition : ::testing::Test {
    void SetUp() override
    {
        ASSERT_NE(getenv("VILOSIM_FAT_IMAGE"), nullptr) << "run by file-position.sh";
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        ASSERT_TRUE(sim.SetImage(getenv("VILOSIM_FAT_IMAGE")));
    }
    void TearDown() override
    {
        sim.SetImage("");
        sim.Reset();
    }
    static HANDLE Open(DWORD flags)
    {
        return CreateFileA("\\\\.\\O:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, flags, nullptr);
    }
    // A transfer that names no offset of its own: the handle's position.
    static NTSTATUS AtPosition(HANDLE volume, bool write, Bytes& data)
    {
        LARGE_INTEGER here;
        here.LowPart = 0xFFFFFFFE; // FILE_USE_FILE_POINTER_POSITION
        here.HighPart = -1;
        IO_STATUS_BLOCK io = {};
        NTSTATUS status = write ? NtWriteFile(volume, nullptr, nullptr, nullptr, &io, data.data(), ULONG(data.size()),
                                              &here, nullptr)
                                : NtReadFile(volume, nullptr, nullptr, nullptr, &io, data.data(), ULONG(data.size()),
                                             &here, nullptr);
        if (status >= 0 && io.Information != data.size())
            return NTSTATUS(0xC0000001L); // STATUS_UNSUCCESSFUL
        return status;
    }
    static bool AtOffset(HANDLE volume, bool write, unsigned sector, Bytes& data)
    {
        OVERLAPPED at = {};
        at.Offset = sector * SECTOR;
        DWORD moved = 0;
        BOOL ok = write ? WriteFile(volume, data.data(), DWORD(data.size()), &moved, &at)
                        : ReadFile(volume, data.data(), DWORD(data.size()), &moved, &at);
        return ok && moved == data.size();
    }
    CSimDriverClient sim;
};

} // namespace

TEST_F(FilePosition, ReadsWithoutAnOffsetFollowTheHandlesPosition)
{
    HANDLE volume = Open(0);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    // A new handle stands at 0; each read moves it on by what it read.
    Bytes first(SECTOR), next(2 * SECTOR);
    ASSERT_EQ(AtPosition(volume, false, first), 0);
    EXPECT_EQ(first, ImageSectors(0, 1));
    ASSERT_EQ(AtPosition(volume, false, next), 0);
    EXPECT_EQ(next, ImageSectors(1, 2));
    // A transfer at an offset of its own moves a synchronous handle too.
    Bytes distant(SECTOR);
    ASSERT_TRUE(AtOffset(volume, false, 40, distant));
    EXPECT_EQ(distant, ImageSectors(40, 1));
    Bytes after(SECTOR);
    ASSERT_EQ(AtPosition(volume, false, after), 0);
    EXPECT_EQ(after, ImageSectors(41, 1));
    CloseHandle(volume);

    // Each handle has its own position.
    HANDLE other = Open(0);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    Bytes again(SECTOR);
    ASSERT_EQ(AtPosition(other, false, again), 0);
    EXPECT_EQ(again, ImageSectors(0, 1));
    CloseHandle(other);
}

TEST_F(FilePosition, WritesWithoutAnOffsetLandAtThePosition)
{
    // Sectors far past the file system's structures of the 16 MB image.
    const unsigned spot = 30000;
    const Bytes before = ImageSectors(spot, 3);
    ASSERT_EQ(before.size(), 3 * SECTOR);
    HANDLE volume = Open(0);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    Bytes skip(SECTOR);
    ASSERT_TRUE(AtOffset(volume, false, spot, skip));
    Bytes one = Pattern(0x21), two = Pattern(0x42);
    ASSERT_EQ(AtPosition(volume, true, one), 0);
    ASSERT_EQ(AtPosition(volume, true, two), 0);
    EXPECT_EQ(ImageSectors(spot + 1, 1), one);
    EXPECT_EQ(ImageSectors(spot + 2, 1), two);
    EXPECT_EQ(ImageSectors(spot, 1), Bytes(before.begin(), before.begin() + SECTOR)) << "the read wrote nothing";
    // Past the image's end the position stays where it was.
    Bytes last(SECTOR);
    ASSERT_TRUE(AtOffset(volume, false, 32767, last));
    EXPECT_LT(AtPosition(volume, false, last), 0);
    // Put the sectors back.
    Bytes restore(before.begin() + SECTOR, before.end());
    ASSERT_TRUE(AtOffset(volume, true, spot + 1, restore));
    EXPECT_EQ(ImageSectors(spot, 3), before);
    CloseHandle(volume);
}

TEST_F(FilePosition, AnOverlappedHandleHasNoPosition)
{
    HANDLE volume = Open(FILE_FLAG_OVERLAPPED);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    Bytes data(SECTOR);
    NTSTATUS status = AtPosition(volume, false, data);
    EXPECT_EQ(ULONG(status), 0xC000000Du) << "STATUS_INVALID_PARAMETER";
    CloseHandle(volume);
}

TEST_F(FilePosition, SetFilePointerEitherPlacesTheReadOrIsRefusedWhole)
{
    // On Windows the I/O manager keeps the position that SetFilePointer sets
    // and the next ReadFile starts there. Wine hands neither the seek nor a
    // read without an offset to a driver (the read arrives at offset 0), so
    // there the seek must fail rather than claim a position the read ignores.
    HANDLE volume = Open(0);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    LONG high = 0;
    DWORD low = SetFilePointer(volume, LONG(7 * SECTOR), &high, FILE_BEGIN);
    if (low == 7 * SECTOR) {
        Bytes data(SECTOR);
        DWORD got = 0;
        ASSERT_TRUE(ReadFile(volume, data.data(), SECTOR, &got, nullptr));
        EXPECT_EQ(data, ImageSectors(7, 1));
    } else {
        EXPECT_EQ(low, INVALID_SET_FILE_POINTER);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_DEV_TYPE));
    }
    CloseHandle(volume);
}

// The player list's own read of a folder's entries in directory order, on
// the player's letter whose raw device is the driver's.
TEST_F(FilePosition, ThePlayerListReadsTheDiskOrderThroughTheDriver)
{
    const char* expected = getenv("VILOSIM_ROOT_ORDER");
    ASSERT_NE(expected, nullptr);
    std::vector<std::string> want;
    std::istringstream lines(expected);
    for (std::string name; std::getline(lines, name, '/');)
        if (!name.empty())
            want.push_back(name);
    ASSERT_GE(want.size(), 3u);
    std::vector<std::string> names;
    ASSERT_TRUE(ReadPlayerDirectoryOrder("O:\\", names));
    EXPECT_EQ(names, want);
}
