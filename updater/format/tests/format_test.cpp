// The data-area layout and its writer: geometry and cluster choices, the
// boundaries of the boot sector's size fields, what the formatter writes and
// reads back, and a sweep of unit sizes whose written partitions fsck.fat,
// mtools and file must accept.
#include "FsckOutput.h"
#include "QV_SysCtrl.h"
#include "SimTransport.h"
#include "file_sector_device.h"
#include "sysctrl_seams.h"
#include "qv/QvDisk.h"
#include "qv/QvFormatter.h"
#include "qv/QvErrors.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <random>
#include <regex>
#include <sstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {
using Bytes = std::vector<uint8_t>;

uint32_t Le(const uint8_t* p, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// Runs a shell command and returns what it printed. posix_spawn rather than
// popen: forking a process with the sanitizers' shadow memory costs seconds.
std::string Shell(const std::string& command, int* rc = nullptr)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
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
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    if (spawned == 0)
        waitpid(pid, &status, 0);
    if (rc)
        *rc = spawned == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string Scratch(const std::string& name)
{
    std::string dir = "format-scratch";
    ::mkdir(dir.c_str(), 0755);
    return dir + "/" + name + "-" + std::to_string(::getpid());
}

// Copies the partition out of a unit image, keeping its holes: only the
// stretches the image holds data for are read.
bool ExtractPartition(const std::string& unit, const std::string& part, uint64_t first, uint64_t bytes)
{
    int in = ::open(unit.c_str(), O_RDONLY);
    int out = ::open(part.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    bool ok = in >= 0 && out >= 0 && ::ftruncate(out, off_t(bytes)) == 0;
    std::vector<char> buf(1 << 16);
    uint64_t at = 0;
    while (ok && at < bytes) {
        off_t data = ::lseek(in, off_t(first + at), SEEK_DATA);
        if (data < 0 || uint64_t(data) >= first + bytes)
            break;
        at = uint64_t(data) - first;
        size_t n = size_t(std::min<uint64_t>(buf.size(), bytes - at));
        ok = ::pread(in, buf.data(), n, off_t(first + at)) == ssize_t(n) &&
             ::pwrite(out, buf.data(), n, off_t(at)) == ssize_t(n);
        at += n;
    }
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
    return ok;
}

bool IsPrime(uint64_t n)
{
    if (n < 2)
        return false;
    for (uint64_t d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return false;
    return true;
}

const uint8_t LABEL[11] = {'V', 'i', 'l', 'o', ' ', 'L', 'a', 'r', 'k', 0, 0};

// Formats a unit of total sectors into an image and has the outside tools
// judge the result. An empty label keeps fsck.fat's label check out of it.
void CheckUnit(uint64_t total, uint32_t bytesPerSector, bool withLabel = false)
{
    SCOPED_TRACE("unit of " + std::to_string(total) + " sectors of " + std::to_string(bytesPerSector));
    std::string unit = Scratch("unit"), part = unit + ".part", mbr = unit + ".mbr";
    {
        CImageTransport transport(unit, total, bytesPerSector);
        ASSERT_TRUE(transport.Ok());
        CQvFormatter formatter(nullptr, &transport);
        ASSERT_EQ(formatter.Format(0, withLabel ? LABEL : nullptr, withLabel ? 11 : 0), 0);
        const CQvDisk& disk = *formatter.Disk();
        // The partition lies inside the unit and inside the chosen geometry.
        ASSERT_LE(uint64_t(disk.UsableSectors()), total);
        ASSERT_EQ(uint64_t(disk.HiddenSectors()) + disk.PartitionSectors(), disk.UsableSectors());
        ASSERT_EQ((disk.HiddenSectors() + 1 + 2 * disk.SectorsPerFat() + disk.RootDirSectors()) & disk.AlignmentMask(),
                  0u);
    }
    Bytes head(bytesPerSector);
    int fd = ::open(unit.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pread(fd, head.data(), head.size(), 0), ssize_t(head.size()));
    ::close(fd);
    const uint8_t* e = head.data() + 446;
    uint32_t first = Le(e + 8, 4), sectors = Le(e + 12, 4);
    ASSERT_LE(uint64_t(first) + sectors, total);
    ASSERT_TRUE(ExtractPartition(unit, part, uint64_t(first) * bytesPerSector, uint64_t(sectors) * bytesPerSector));

    int rc = -1;
    std::string fsck = Shell(std::string(FSCK_FAT) + " -n " + part, &rc);
    EXPECT_EQ(FsckComplaints(fsck, true), "") << fsck;
    // The label entry counts as a file to fsck.fat when it is kept.
    EXPECT_NE(fsck.find(withLabel ? " 1 files" : " 0 files"), std::string::npos) << fsck;

    // The manager's own directory code reads the new root (it takes volumes
    // of 512-byte sectors only).
    if (bytesPerSector == 512) {
        CFileSectorDevice device(part);
        SetSysCtrlDevice(&device);
        {
            CQV_SysCtrl ctrl;
            ctrl.SetNewMedia();
            EXPECT_EQ(ctrl.InitDirectory("P:\\"), QV_SUCCESS);
        }
        SetSysCtrlDevice(nullptr);
    }

    std::string mdir = Shell(std::string("MTOOLS_SKIP_CHECK=1 ") + MDIR_TOOL + " -i " + part + " ::", &rc);
    EXPECT_EQ(rc, 0) << mdir;
    EXPECT_NE(mdir.find("No files"), std::string::npos) << mdir;

    // file decodes the partition entry; its CHS must name the same sectors as
    // its LBA fields under the geometry the boot sector declares.
    FILE* f = std::fopen(mbr.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    // file decodes the partition table only when more than the one sector
    // follows; hand it the first two sectors of the unit.
    Bytes two(1024, 0);
    std::copy(head.begin(), head.begin() + 512, two.begin());
    std::fwrite(two.data(), 1, two.size(), f);
    std::fclose(f);
    std::string what = Shell(std::string(FILE_TOOL) + " -b " + mbr);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(what, m,
        std::regex(R"(partition 1 : ID=0x([0-9a-f]+), active, start-CHS \(0x([0-9a-f]+),(\d+),(\d+)\), )"
                   R"(end-CHS \(0x([0-9a-f]+),(\d+),(\d+)\), startsector (\d+), (\d+) sectors)"))) << what;
    Bytes boot(512);
    fd = ::open(part.c_str(), O_RDONLY);
    ASSERT_EQ(::pread(fd, boot.data(), 512, 0), 512);
    ::close(fd);
    uint32_t spt = Le(boot.data() + 24, 2), heads = Le(boot.data() + 26, 2);
    // file 5.44 folds cylinder bits 8 and 9 in at the wrong place, so the
    // cylinder comes from the entry's own bytes, and file's value is held to
    // it only below 256; head and sector are file's.
    auto lba = [&](int at, const uint8_t* chs) {
        unsigned long cylinder = (unsigned long)(chs[1] & 0xC0) << 2 | chs[2];
        if (cylinder < 256)
            EXPECT_EQ(std::stoul(m[at].str(), nullptr, 16), cylinder) << what;
        EXPECT_EQ(std::stoul(m[at + 1].str()), chs[0]) << what;
        EXPECT_EQ(std::stoul(m[at + 2].str()), chs[1] & 0x3Fu) << what;
        return (cylinder * heads + std::stoul(m[at + 1].str())) * spt + std::stoul(m[at + 2].str()) - 1;
    };
    EXPECT_EQ(std::stoul(m[8].str()), first);
    EXPECT_EQ(std::stoul(m[9].str()), sectors);
    EXPECT_EQ(lba(2, e + 1), first);
    EXPECT_EQ(lba(5, e + 5), uint64_t(first) + sectors - 1);
    std::string type = m[1].str();
    EXPECT_TRUE(type == "1" || type == "6") << what;
    EXPECT_EQ(Le(boot.data() + 28, 4), first);
    EXPECT_EQ(Le(boot.data() + 19, 2) ? Le(boot.data() + 19, 2) : Le(boot.data() + 32, 4), sectors);
    std::remove(unit.c_str());
    std::remove(part.c_str());
    std::remove(mbr.c_str());
}

// Unit sizes (512-byte sectors) whose partition holds exactly `sectors`.
std::vector<uint64_t> UnitsWithPartition(uint32_t sectors, uint32_t bytesPerSector)
{
    std::vector<uint64_t> units;
    for (uint64_t total = sectors; total < sectors + 200; ++total) {
        CQvDisk disk(total, bytesPerSector, nullptr, 0);
        if (disk.LastError() == 0 && disk.PartitionSectors() == sectors)
            units.push_back(total);
    }
    return units;
}
} // namespace

// ------------------------------------------------------------------ layout

TEST(DiskLayout, SixteenThousandSectorUnit)
{
    CQvDisk disk(16000, 512, nullptr, 0);
    ASSERT_EQ(disk.LastError(), 0);
    EXPECT_EQ(disk.Heads(), 4);
    EXPECT_EQ(disk.SectorsPerTrack(), 16);
    EXPECT_EQ(disk.Cylinders(), 250);
    EXPECT_EQ(disk.SectorsPerCluster(), 16);
    EXPECT_EQ(disk.AlignmentMask(), 15u);
    EXPECT_EQ((disk.HiddenSectors() + 1 + 2 * disk.SectorsPerFat() + disk.RootDirSectors()) % 16, 0u);
    EXPECT_EQ(disk.FatType(), QV_FAT12);
}

TEST(DiskLayout, OneHundredTwentyEightThousandSectorUnit)
{
    CQvDisk disk(128000, 512, nullptr, 0);
    ASSERT_EQ(disk.LastError(), 0);
    EXPECT_EQ(disk.Heads(), 8);
    EXPECT_EQ(disk.SectorsPerTrack(), 32);
    EXPECT_EQ(disk.Cylinders(), 500);
    EXPECT_EQ(disk.SectorsPerCluster(), 4);
    EXPECT_EQ(disk.FatType(), QV_FAT16);
    EXPECT_EQ(disk.MbrImage()[450], 0x06);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(disk.BootSectorImage()) + 54, 8), "FAT16   ");
    EXPECT_EQ(disk.HiddenSectors(), 15u + 0u + ((32 - (15 + 1 + disk.SectorsPerFat() * 2 + 32) % 32) % 32));
}

TEST(DiskLayout, FixedBootSectorFieldsAndZeroPaddedLabel)
{
    const uint8_t label[3] = {'A', 'B', 'C'};
    CQvDisk disk(50000, 512, label, 3);
    ASSERT_EQ(disk.LastError(), 0);
    const uint8_t* b = disk.BootSectorImage();
    EXPECT_EQ(Bytes(b, b + 3), (Bytes{0xEB, 0x3E, 0x90}));
    EXPECT_EQ(Le(b + 11, 2), 512u);
    EXPECT_EQ(Le(b + 14, 2), 1u);
    EXPECT_EQ(b[16], 2);
    EXPECT_EQ(Le(b + 17, 2), 512u);
    EXPECT_EQ(b[21], 0xF8);
    EXPECT_EQ(b[36], 0x80);
    EXPECT_EQ(b[38], 0x29);
    EXPECT_EQ(Bytes(b + 3, b + 11), Bytes(8, 0));
    EXPECT_EQ(Bytes(b + 39, b + 43), Bytes(4, 0));
    EXPECT_EQ(Bytes(b + 43, b + 54), (Bytes{'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(b[510], 0x55);
    EXPECT_EQ(b[511], 0xAA);
    EXPECT_EQ(disk.MbrImage()[446], 0x80);
    CQvByteArray head;
    ASSERT_EQ(disk.FatHead(head), 0);
    EXPECT_EQ(head.Count(), disk.FatType() == QV_FAT12 ? 3u : 4u);
}

TEST(DiskLayout, SixteenBitTotalFieldBoundaries)
{
    // With 512-byte sectors up to 65535 partition sectors go to the 16-bit
    // field; at 2048 bytes the 32 MB rule moves the line to 16384. No unit
    // size lands exactly on those two counts (the geometries jump over
    // them), so every size on both sides of each line is checked.
    struct Case { uint32_t bytes; uint64_t from, to; uint32_t limit; };
    for (Case c : {Case{512, 65400, 65700, 65535}, Case{2048, 16300, 16500, 16384}}) {
        bool below = false, above = false;
        for (uint64_t total = c.from; total < c.to; ++total) {
            CQvDisk disk(total, c.bytes, nullptr, 0);
            ASSERT_EQ(disk.LastError(), 0) << total;
            const uint8_t* b = disk.BootSectorImage();
            uint32_t part = disk.PartitionSectors();
            bool small = part <= c.limit;
            below = below || small;
            above = above || !small;
            EXPECT_EQ(Le(b + 19, 2), small ? part : 0u) << total;
            EXPECT_EQ(Le(b + 32, 4), small ? 0u : part) << total;
        }
        EXPECT_TRUE(below && above) << c.bytes;
    }
    EXPECT_FALSE(UnitsWithPartition(65534, 512).empty());
    EXPECT_FALSE(UnitsWithPartition(65536, 512).empty());
    EXPECT_FALSE(UnitsWithPartition(16383, 2048).empty());
    EXPECT_FALSE(UnitsWithPartition(16385, 2048).empty());
}

TEST(DiskLayout, UnitWithoutExactGeometryKeepsTheShortfallBeyondThePartition)
{
    // A prime has no exact product below 64 x 256 x 1024 except 1 x 1 x n.
    uint64_t total = 1000003; // prime, above 1024 x 256 x 1 / 63 products
    ASSERT_TRUE(IsPrime(total));
    CQvDisk disk(total, 512, nullptr, 0);
    ASSERT_EQ(disk.LastError(), 0);
    EXPECT_LT(disk.UsableSectors(), total);
    EXPECT_EQ(disk.Leftover(), total - disk.UsableSectors());
    EXPECT_EQ(disk.HiddenSectors() + disk.PartitionSectors(), disk.UsableSectors());
}

TEST(DiskLayout, GeometryNeverExceedsTheUnit)
{
    // Candidates one step below a product that passed the total could be
    // larger than the unit; none may be chosen.
    // Primes above 1024 have no exact product; below 256 x 1024 the search
    // also meets products that pass the total with one head or cylinder less.
    std::vector<uint64_t> totals;
    for (uint64_t t = 1031; t < 262144; t = t * 21 / 20 + 1) {
        uint64_t p = t;
        while (!IsPrime(p))
            ++p;
        totals.push_back(p);
    }
    std::mt19937_64 random(7);
    for (int i = 0; i < 200; ++i)
        totals.push_back(100 + random() % 4194200);
    for (uint64_t total : totals) {
        CQvDisk disk(total, 512, nullptr, 0);
        // Only the last few hundred sectors below the FAT16 table's end hold
        // too many clusters; everything below them has a layout.
        if (total >= 4194000 && disk.LastError() == QV_E_FAT_TYPE)
            continue;
        ASSERT_EQ(disk.LastError(), 0) << total;
        ASSERT_LE(uint64_t(disk.Cylinders()) * disk.Heads() * disk.SectorsPerTrack(), total) << total;
        ASSERT_LE(uint64_t(disk.HiddenSectors()) + disk.PartitionSectors(), total) << total;
    }
}

// ----------------------------------------------------- FAT type and refusals

TEST(DiskFatType, ChosenFromTheRealClusterCount)
{
    // Around the FAT12/FAT16 line and below the FAT16 limit every layout's
    // type agrees with its data clusters, as readers count them.
    std::vector<uint64_t> totals;
    for (uint64_t t = 32000; t < 36000; t += 7)
        totals.push_back(t);
    for (uint64_t t = 4194304 - 3000; t < 4194304; ++t)
        totals.push_back(t);
    for (uint64_t t : totals) {
        CQvDisk disk(t, 512, nullptr, 0);
        if (disk.LastError() == QV_E_FAT_TYPE)
            continue;
        ASSERT_EQ(disk.LastError(), 0) << t;
        uint32_t data = disk.PartitionSectors() - 1 - 2 * disk.SectorsPerFat() - disk.RootDirSectors();
        uint32_t clusters = data / disk.SectorsPerCluster();
        ASSERT_EQ(clusters, disk.DataClusters());
        if (clusters < 4085)
            ASSERT_EQ(disk.FatType(), QV_FAT12) << t;
        else
            ASSERT_EQ(disk.FatType(), QV_FAT16) << t;
        ASSERT_LT(clusters, 65525u) << t;
        // The FAT has an entry for every cluster.
        uint64_t entries = clusters + 2;
        uint64_t need = disk.FatType() == QV_FAT12 ? (entries * 3 + 1) / 2 : entries * 2;
        ASSERT_GE(uint64_t(disk.SectorsPerFat()) * 512, need) << t;
    }
}

TEST(DiskFatType, UnitsNeedingFat32AreRefused)
{
    // From 4,194,304 sectors the cluster table has no FAT16 size, and a
    // band just below holds too many clusters for FAT16.
    for (uint64_t t : {4194304ull, 4194305ull, 8000000ull, 16515072ull, 40000000ull, 0x100000000ull}) {
        CQvDisk disk(t, 512, nullptr, 0);
        EXPECT_EQ(disk.LastError(), QV_E_FAT_TYPE) << t;
    }
    int refused = 0;
    for (uint64_t t = 4194304 - 40000; t < 4194304; t += 13) {
        CQvDisk disk(t, 512, nullptr, 0);
        if (disk.LastError() == QV_E_FAT_TYPE)
            ++refused;
        else
            ASSERT_EQ(disk.FatType(), QV_FAT16) << t;
    }
    EXPECT_GT(refused, 0);
}

TEST(DiskFatType, UnitsWithoutRoomOrWithoutSectorSizeAreRefused)
{
    for (uint64_t t : {0ull, 1ull, 10ull, 40ull, 60ull})
        EXPECT_EQ(CQvDisk(t, 512, nullptr, 0).LastError(), QV_E_GEOMETRY) << t;
    EXPECT_EQ(CQvDisk(100000, 0, nullptr, 0).LastError(), QV_E_GEOMETRY);
    EXPECT_EQ(CQvDisk(100000, 520, nullptr, 0).LastError(), QV_E_GEOMETRY);
    CQvDisk unchosen(0, 512, nullptr, 0);
    CQvByteArray head;
    EXPECT_EQ(unchosen.FatHead(head), QV_E_FAT_TYPE);
}

// ---------------------------------------------------------------- formatter

TEST(Formatter, WritesEveryAreaInRunsAndReadsEachBack)
{
    std::string path = Scratch("runs");
    CImageTransport transport(path, 200000, 512);
    ASSERT_TRUE(transport.Ok());
    CQvFormatter formatter(nullptr, &transport);
    ASSERT_EQ(formatter.Format(0, LABEL, 11), 0);
    const CQvDisk& disk = *formatter.Disk();
    auto runs = [](uint32_t sectors) { return sectors / 128 + (sectors % 128 ? 1 : 0); };
    int expected = 1 + runs(disk.HiddenSectors() - 1) + 1 + 2 * runs(disk.SectorsPerFat()) +
                   runs(disk.RootDirSectors());
    EXPECT_EQ(transport.writes, expected);
    EXPECT_EQ(transport.reads, expected);
    EXPECT_EQ(transport.lockForFormat, 1);
    EXPECT_EQ(transport.releases, 1);

    // Both FATs begin with the head bytes; the root begins with the label.
    int fd = ::open(path.c_str(), O_RDONLY);
    Bytes bytes(4);
    for (uint32_t copy = 0; copy < 2; ++copy) {
        off_t at = off_t(disk.HiddenSectors() + 1 + copy * disk.SectorsPerFat()) * 512;
        ASSERT_EQ(::pread(fd, bytes.data(), 4, at), 4);
        EXPECT_EQ(bytes, (Bytes{0xF8, 0xFF, 0xFF, 0xFF}));
    }
    Bytes root(32);
    ASSERT_EQ(::pread(fd, root.data(), 32, off_t(disk.HiddenSectors() + 1 + 2 * disk.SectorsPerFat()) * 512), 32);
    ::close(fd);
    EXPECT_EQ(Bytes(root.begin(), root.begin() + 11), Bytes(LABEL, LABEL + 11));
    EXPECT_EQ(root[11], 0x08);

    uint8_t label[16] = {};
    size_t count = 99;
    CQvFormatter reader(nullptr, &transport);
    ASSERT_EQ(reader.ReadVolumeLabel(label, 16, count), 0);
    EXPECT_EQ(count, 11u);
    EXPECT_EQ(Bytes(label, label + 11), Bytes(LABEL, LABEL + 11));
    std::remove(path.c_str());
}

TEST(Formatter, SmallFatStillBeginsWithTheHeadBytes)
{
    std::string path = Scratch("small");
    CImageTransport transport(path, 3000, 512);
    CQvFormatter formatter(nullptr, &transport);
    ASSERT_EQ(formatter.Format(0, nullptr, 0), 0);
    const CQvDisk& disk = *formatter.Disk();
    ASSERT_LT(disk.SectorsPerFat(), 128u);
    ASSERT_EQ(disk.FatType(), QV_FAT12);
    int fd = ::open(path.c_str(), O_RDONLY);
    Bytes bytes(3);
    ASSERT_EQ(::pread(fd, bytes.data(), 3, off_t(disk.HiddenSectors() + 1 + disk.SectorsPerFat()) * 512), 3);
    ::close(fd);
    EXPECT_EQ(bytes, (Bytes{0xF8, 0xFF, 0xFF}));
    std::remove(path.c_str());
}

TEST(Formatter, ReadBackMismatchStopsWithMinus57)
{
    std::string path = Scratch("mismatch");
    CImageTransport transport(path, 100000, 512);
    transport.corruptReads = true;
    CQvFormatter formatter(nullptr, &transport);
    EXPECT_EQ(formatter.Format(0, nullptr, 0), QV_E_VERIFY);
    EXPECT_EQ(transport.writes, 1); // the master boot record, then nothing more
    std::remove(path.c_str());
}

TEST(Formatter, LockFailureIsToleratedOnlyWithAnUnreadableTable)
{
    std::string path = Scratch("lock");
    CImageTransport transport(path, 100000, 512);
    transport.failLock = true;
    transport.failRelease = true;
    CQvFormatter strict(nullptr, &transport);
    EXPECT_EQ(strict.Format(0, nullptr, 0), QV_E_LOCK);
    EXPECT_EQ(transport.writes, 0);
    CQvFormatter tolerant(nullptr, &transport);
    EXPECT_EQ(tolerant.Format(1, nullptr, 0), 0);
    EXPECT_GT(transport.writes, 0);
    transport.failLock = false;
    CQvFormatter release(nullptr, &transport);
    EXPECT_EQ(release.Format(0, nullptr, 0), QV_E_DISMOUNT);
    std::remove(path.c_str());
}

TEST(Formatter, ZeroBlockLengthFailsBeforeWriting)
{
    CSimPlayerTarget player;
    player.faults.zeroBlockLength = true;
    CSimTransport transport(nullptr, &player);
    CQvFormatter formatter(nullptr, &transport);
    EXPECT_EQ(formatter.Format(0, nullptr, 0), QV_E_GEOMETRY);
    for (const SimRecord& r : player.Log())
        EXPECT_NE(r.opcode, 0x2A);
}

TEST(Formatter, ProgressPhasesAndSteps)
{
    struct Sink : CQvProgress {
        void Begin(int) override {}
        void SetPhase(int phase, int steps) override { phases.push_back({phase, steps}); }
        void Step() override { ++steps; }
        std::vector<std::pair<int, int>> phases;
        int steps = 0;
    } sink;
    std::string path = Scratch("progress");
    CImageTransport transport(path, 300000, 512);
    CQvFormatter formatter(&sink, &transport);
    ASSERT_EQ(formatter.Format(0, nullptr, 0), 0);
    std::vector<int> order;
    for (auto& p : sink.phases)
        order.push_back(p.first);
    EXPECT_EQ(order, (std::vector<int>{29, 30, 31, 32, 34, 35, 44}));
    EXPECT_EQ(sink.phases[1].second, 3);
    const CQvDisk& disk = *formatter.Disk();
    EXPECT_EQ(sink.phases[4].second, int(2 * (disk.SectorsPerFat() / 128) + 2));
    std::remove(path.c_str());
}

// -------------------------------------------------------------------- sweep

TEST(FormatSweep, AroundTheSixteenBitLineAt512Bytes)
{
    std::vector<uint64_t> units = UnitsWithPartition(65534, 512);
    for (uint64_t u : UnitsWithPartition(65536, 512))
        units.push_back(u);
    for (uint64_t t = 65535 - 20; t < 65536 + 60; t += 3)
        units.push_back(t);
    for (uint64_t t : units)
        CheckUnit(t, 512);
}

TEST(FormatSweep, AroundTheSixteenBitLineAt2048Bytes)
{
    std::vector<uint64_t> units = UnitsWithPartition(16383, 2048);
    for (uint64_t u : UnitsWithPartition(16385, 2048))
        units.push_back(u);
    for (uint64_t t = 16384 - 10; t < 16385 + 50; t += 2)
        units.push_back(t);
    for (uint64_t t : units)
        CheckUnit(t, 2048);
}

namespace {
void RandomUnits(uint64_t seed, int count, uint64_t from, uint64_t to)
{
    std::mt19937_64 random(seed);
    for (int i = 0; i < count; ++i) {
        uint64_t total = from + random() % (to - from);
        CQvDisk probe(total, 512, nullptr, 0);
        if (probe.LastError() == QV_E_FAT_TYPE)
            continue;
        CheckUnit(total, 512);
    }
}
} // namespace

TEST(FormatSweep, RandomSmallSizes) { RandomUnits(20261209, 50, 200, 20000); }
TEST(FormatSweep, RandomSmallFat16Sizes) { RandomUnits(1209, 50, 20000, 100000); }
TEST(FormatSweep, RandomSizesOfEveryBand) { RandomUnits(2026, 50, 200, 4194304); }
TEST(FormatSweep, RandomMediumSizes) { RandomUnits(9122026, 60, 100000, 1000000); }
TEST(FormatSweep, RandomLargeSizes) { RandomUnits(42, 20, 1000000, 4194304); }

TEST(FormatSweep, PrimeSizes)
{
    int done = 0;
    for (uint64_t t = 1009; done < 40; t = t * 13 / 10) {
        uint64_t p = t;
        while (!IsPrime(p))
            ++p;
        if (p >= 4190000)
            break;
        CheckUnit(p, 512);
        ++done;
    }
}

TEST(FormatSweep, ClusterTableRowsAndFixedGeometries)
{
    for (uint64_t t : {16000ull, 32000ull, 64000ull, 128000ull, 256000ull, 31999ull, 32680ull, 32679ull,
                       262143ull, 262144ull, 524287ull, 524288ull, 1048575ull, 1048576ull, 2097151ull, 2097152ull,
                       4190000ull})
        CheckUnit(t, 512);
    for (uint64_t t : {8000ull, 30000ull, 100000ull, 500000ull})
        CheckUnit(t, 2048);
    for (uint64_t t : {20000ull, 250000ull})
        CheckUnit(t, 1024);
}

TEST(FormatSweep, ZeroPaddedLabelIsTheOnlyComplaint)
{
    CheckUnit(128000, 512, true);
    CheckUnit(1000003, 512, true);
}
