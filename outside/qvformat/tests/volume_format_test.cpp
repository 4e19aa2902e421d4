// The format tool's core on image files: every memory size it meets must come
// out as a volume fsck.fat finds clean and mtools lists empty, with the label
// asked for; sizes without a layout and failing devices leave clear errors.
#include "FsckOutput.h"
#include "VolumeFormat.h"
#include "file_sector_device.h"
#include "qv/QvDisk.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace {
// posix_spawn rather than popen: forking with the sanitizers' shadow memory
// costs seconds.
std::string Shell(const std::string& command, int* rc = nullptr)
{
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string full = command;
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), &full[0], nullptr};
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    if (spawned == 0) waitpid(pid, &status, 0);
    if (rc) *rc = spawned == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string Scratch(const std::string& name)
{
    ::mkdir("qvformat-scratch", 0755);
    return "qvformat-scratch/" + name + "-" + std::to_string(::getpid()) + ".img";
}

// An image of the given size holding an old, full file system, so that a
// format has something to replace.
std::string OldMemory(uint64_t sectors)
{
    std::string image = Scratch("memory");
    ::unlink(image.c_str());
    Shell("truncate -s " + std::to_string(sectors * 512) + " " + image);
    Shell(std::string(MKFS_FAT) + " -n OLDLABEL " + image + " >/dev/null 2>&1 && MTOOLS_SKIP_CHECK=1 mmd -i " +
          image + " ::/OLDDIR >/dev/null 2>&1");
    return image;
}

struct Checked {
    std::string Fsck;
    std::string Listing;
    std::string Label;
};

Checked Check(const std::string& image)
{
    Checked c;
    int rc = 0;
    c.Fsck = FsckComplaints(Shell(std::string(FSCK_FAT) + " -n " + image, &rc));
    if (rc != 0 && c.Fsck.empty()) c.Fsck = "fsck.fat exit " + std::to_string(rc);
    c.Listing = Shell("MTOOLS_SKIP_CHECK=1 mdir -a -b -i " + image + " ::/", &rc);
    if (rc != 0) c.Listing = "mdir failed: " + c.Listing;
    c.Label = Shell("MTOOLS_SKIP_CHECK=1 mlabel -s -i " + image + " ::");
    return c;
}

void FormatAndCheck(uint64_t sectors, const std::string& label, const std::string& shownLabel)
{
    SCOPED_TRACE("volume of " + std::to_string(sectors) + " sectors");
    std::string image = OldMemory(sectors);
    CFileSectorDevice device(image);
    VOLUME_LAYOUT layout;
    std::string error;
    ASSERT_EQ(VF_OK, FormatVolume(device, 4, sectors, 0, label, &layout, error)) << error;
    EXPECT_LE(layout.FilesystemSectors, sectors);
    Checked c = Check(image);
    EXPECT_EQ("", c.Fsck);
    // An empty root: mdir -b lists nothing.
    EXPECT_EQ("", c.Listing);
    if (shownLabel.empty())
        EXPECT_NE(std::string::npos, c.Label.find("has no label")) << c.Label;
    else
        EXPECT_NE(std::string::npos, c.Label.find("is " + shownLabel)) << c.Label;
    // FAT type by cluster count, read back from what fsck.fat sees.
    std::string verbose = Shell(std::string(FSCK_FAT) + " -n -v " + image);
    EXPECT_NE(std::string::npos, verbose.find(layout.Fat16 ? "16 bit entries" : "12 bit entries")) << verbose;
    ::unlink(image.c_str());
}
}  // namespace

TEST(VolumeLabel, NormalizedToElevenUpperCaseCharacters)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"", ""}, {"   ", ""}, {"vilo", "VILO       "}, {"Vilo Lark", "VILO LARK  "},
        {"ABCDEFGHIJKLMN", "ABCDEFGHIJK"}, {"lark  ", "LARK       "},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, NormalizeVolumeLabel(c.in)) << c.in;
}

// Characters a FAT label cannot hold (fsck.fat would drop the label) and a
// leading space: the memory is left as it was, its old file system whole.
TEST(VolumeLabel, ALabelFatRefusesFormatsNothing)
{
    for (const char* label : {"a*b", "song.list", "what?", "a/b", "x:y", "[lark]", "a+b=c", " lead", "tab\there"}) {
        SCOPED_TRACE(label);
        std::string image = OldMemory(32768);
        CFileSectorDevice device(image);
        std::string error;
        EXPECT_NE(VF_OK, FormatVolume(device, 4, 32768, 0, label, nullptr, error));
        EXPECT_NE(std::string::npos, error.find("label")) << error;
        Checked c = Check(image);
        EXPECT_EQ("", c.Fsck);
        EXPECT_NE(std::string::npos, c.Label.find("is OLDLABEL")) << c.Label;
        EXPECT_NE(std::string::npos, c.Listing.find("OLDDIR")) << c.Listing;
        ::unlink(image.c_str());
    }
    // What FAT takes, punctuation among it, is written as asked.
    FormatAndCheck(32768, "lark-1 (a)", "LARK-1 (A)");
}

// Both sides of the FAT12/FAT16 line: below 32000 sectors clusters are 8
// sectors (FAT12), from there 2 sectors (FAT16), and the large memories.
TEST(VolumeFormatSweep, EverySizeOfThePlayersMemories)
{
    std::vector<uint64_t> sizes = {2880, 4096, 8192, 16000, 20000, 31990, 31999, 32000, 32001, 32010,
                                   32679, 32680, 32768, 64000, 65535, 65536, 128000, 131072, 256000,
                                   262144, 524288, 1048576};
    for (uint64_t t = 9001; t < 1048576; t = t * 17 / 10) sizes.push_back(t);
    bool sawFat12 = false, sawFat16 = false;
    for (uint64_t s : sizes) {
        FormatAndCheck(s, s % 2 ? "vilo lark" : "", s % 2 ? "VILO LARK" : "");
        CQvDisk probe(s, 512, nullptr, 0);
        (probe.FatType() == QV_FAT16 ? sawFat16 : sawFat12) = true;
    }
    EXPECT_TRUE(sawFat12 && sawFat16);
}

TEST(VolumeFormat, KeepsTheHiddenSectorsOfAPartition)
{
    std::string image = OldMemory(32768);
    CFileSectorDevice device(image);
    std::string error;
    ASSERT_EQ(VF_OK, FormatVolume(device, 4, 32768, 63, "LARK", nullptr, error));
    uint8_t boot[512];
    ASSERT_TRUE(device.ReadSectors(4, 0, 1, boot));
    EXPECT_EQ(63u, uint32_t(boot[28] | boot[29] << 8 | boot[30] << 16 | boot[31] << 24));
    EXPECT_EQ(0, std::memcmp(boot + 43, "LARK       ", 11));
    ::unlink(image.c_str());
}

namespace {
// A device that fails its writes from a given sector on, or returns
// different bytes than were written.
class CFaultyDevice : public ISectorDevice {
public:
    enum Fault { WRITE_FAILS, READ_BACK_DIFFERS };
    CFaultyDevice(Fault fault, uint32_t from) : Kind(fault), From(from), Image(size_t(65536) * 512) {}
    bool ReadSectors(int, uint32_t first, uint32_t count, void* buffer) override
    {
        if (size_t(first + count) * 512 > Image.size()) return false;
        std::memcpy(buffer, Image.data() + size_t(first) * 512, size_t(count) * 512);
        if (Kind == READ_BACK_DIFFERS && first + count > From) static_cast<uint8_t*>(buffer)[0] ^= 0x5A;
        return true;
    }
    bool WriteSectors(int, uint32_t first, uint32_t count, const void* data) override
    {
        ++Writes;
        if (first == 0) BootWritten = true;
        if (Kind == WRITE_FAILS && first + count > From) return false;
        if (size_t(first + count) * 512 > Image.size()) return false;
        std::memcpy(Image.data() + size_t(first) * 512, data, size_t(count) * 512);
        return true;
    }
    Fault Kind;
    uint32_t From;
    std::vector<uint8_t> Image;
    int Writes = 0;
    bool BootWritten = false;
};
}  // namespace

TEST(VolumeFormat, FailuresStopBeforeTheBootSector)
{
    const struct { CFaultyDevice::Fault fault; int expected; } cases[] = {
        {CFaultyDevice::WRITE_FAILS, VF_WRITE_FAILED},
        {CFaultyDevice::READ_BACK_DIFFERS, VF_VERIFY_FAILED},
    };
    for (const auto& c : cases) {
        CFaultyDevice device(c.fault, 40);
        std::string error;
        EXPECT_EQ(c.expected, FormatVolume(device, 4, 32768, 0, "", nullptr, error));
        EXPECT_NE(std::string::npos, error.find("sector")) << error;
        EXPECT_GT(device.Writes, 0);
        // The old file system stays whole until the new FATs are there.
        EXPECT_FALSE(device.BootWritten);
    }
}

TEST(VolumeFormat, NoLayoutWritesNothing)
{
    for (uint64_t sectors : {uint64_t(0), uint64_t(20), uint64_t(8) * 1024 * 1024}) {
        CFaultyDevice device(CFaultyDevice::WRITE_FAILS, 0);
        std::string error;
        EXPECT_EQ(VF_NO_LAYOUT, FormatVolume(device, 4, sectors, 0, "", nullptr, error)) << sectors;
        EXPECT_NE(std::string::npos, error.find("FAT12/FAT16")) << error;
        EXPECT_EQ(0, device.Writes);
    }
}
