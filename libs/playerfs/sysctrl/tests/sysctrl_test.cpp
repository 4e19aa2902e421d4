// CQV_SysCtrl and its directory model: groups and long names on crafted
// buffers, the volume geometry and path walk on crafted volumes, and the
// directory writes on real images made by mkfs.fat and mtools, checked with
// mdir and fsck.fat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "dir_entry_list.h"
#include "fat_volume.h"
#include "file_sector_device.h"
#include "host_tools.h"
#include "memory_sector_device.h"
#include "sysctrl_seams.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- crafted directory entries -------------------------------------------

Bytes ShortEntry(const char* name11, uint8_t attr = 0x20, uint16_t cluster = 0, uint32_t size = 0, uint8_t caseFlags = 0)
{
    Bytes e(32, 0);
    std::memcpy(e.data(), name11, 11);
    e[11] = attr;
    e[12] = caseFlags;
    e[26] = uint8_t(cluster);
    e[27] = uint8_t(cluster >> 8);
    for (int i = 0; i < 4; ++i) e[28 + i] = uint8_t(size >> (8 * i));
    return e;
}

// The long-name entries and the 8.3 entry of one file, as a FAT driver writes them.
Bytes Group(const std::u16string& longName, const char* name11, uint8_t attr = 0x20, uint16_t cluster = 0)
{
    const Bytes sn = ShortEntry(name11, attr, cluster, 1);
    const uint8_t sum = DirEntry::ShortNameChecksum(sn.data());
    const size_t pieces = (longName.size() + 12) / 13;
    Bytes out;
    for (size_t k = pieces; k >= 1; --k) {
        Bytes e(32, 0);
        e[0] = uint8_t(k | (k == pieces ? 0x40 : 0));
        e[11] = 0x0F;
        e[13] = sum;
        static const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int u = 0; u < 13; ++u) {
            const size_t at = (k - 1) * 13 + size_t(u);
            const char16_t c = at < longName.size() ? longName[at] : (at == longName.size() ? 0 : 0xFFFF);
            e[size_t(offsets[u])] = uint8_t(c);
            e[size_t(offsets[u]) + 1] = uint8_t(c >> 8);
        }
        out.insert(out.end(), e.begin(), e.end());
    }
    out.insert(out.end(), sn.begin(), sn.end());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts, size_t entries)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    out.resize(std::max(out.size(), entries * 32), 0);
    return out;
}

std::string Narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s) out.push_back(c < 0x100 ? char(c) : '?');
    return out;
}

std::vector<std::string> NamesOf(const DirEntryList& list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.GroupCount; ++i) names.push_back(Narrow(list.GetLongName(*list.GetGroup(i))));
    return names;
}

CTableCodePage TableCodePage;

TEST(EntryGroups, LongNamesDeletedEntriesAndLabelAreSeparated)
{
    Bytes deleted = Group(u"gone.mp3", "GONE    MP3");
    for (size_t i = 0; i < deleted.size(); i += 32) deleted[i] = 0xE5;
    const Bytes dir = Join({Group(u"First Song.mp3", "FIRSTS~1MP3"), deleted, ShortEntry("VILO LARK  ", 0x08),
                            ShortEntry("PLAIN   MP3"), Group(u"Third.mp3", "THIRD   MP3")},
                           64);
    DirEntryList list(TableCodePage);
    ASSERT_EQ(1, list.Parse(dir.data(), 64));
    EXPECT_EQ((std::vector<std::string>{"First Song.mp3", "PLAIN.MP3", "Third.mp3"}), NamesOf(list));
    EXPECT_EQ(1, list.HasLabel);
    EXPECT_EQ(0x28, list.LabelEntry[11]);
    EXPECT_EQ(3 + 1 + 2 + 1, list.UsedEntries);
}

TEST(EntryGroups, SerialisePutsTheLabelFirstAndKeepsEveryGroup)
{
    const Bytes dir = Join({Group(u"a long name.mp3", "ALONGN~1MP3"), ShortEntry("VILO LARK  ", 0x08),
                            ShortEntry("B       MP3")},
                           16);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 16);
    Bytes out(16 * 32, 0xAA);
    std::fill(out.begin(), out.end(), 0);
    list.Serialise(out.data());
    EXPECT_EQ(0, std::memcmp(out.data(), "VILO LARK  ", 11));
    EXPECT_EQ(0, std::memcmp(out.data() + 32, dir.data(), 3 * 32));
    EXPECT_EQ(0, std::memcmp(out.data() + 4 * 32, dir.data() + 4 * 32, 32));
    DirEntryList again(TableCodePage);
    again.Parse(out.data(), 16);
    EXPECT_EQ(NamesOf(list), NamesOf(again));
}

TEST(EntryGroups, BrokenOrdinalSequenceEndsTheParse)
{
    Bytes broken = Group(u"a name of two pieces.mp3", "ANAMEO~1MP3");
    broken[32] = 0x05;  // second entry should carry ordinal 1
    const Bytes dir = Join({ShortEntry("BEFORE  MP3"), broken, ShortEntry("AFTER   MP3")}, 16);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 16);
    EXPECT_EQ(std::vector<std::string>{"BEFORE.MP3"}, NamesOf(list));
}

TEST(EntryGroups, OnlyAPlainEntryWithoutDirectoryBitIsTheLabel)
{
    // Attribute 0x18 is no label; the first of two labels is kept.
    const Bytes dir = Join({ShortEntry("ODD     DIR", 0x18, 5), ShortEntry("FIRST LABEL", 0x08),
                            ShortEntry("SECONDLABEL", 0x08)},
                           8);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 8);
    EXPECT_EQ(std::vector<std::string>{"ODD.DIR"}, NamesOf(list));
    EXPECT_EQ(0, std::memcmp(list.LabelEntry, "FIRST LABEL", 11));
    EXPECT_EQ(2, list.UsedEntries);
}

TEST(EntryGroups, MoreThanTwentyLongNameEntriesAreRejected)
{
    const std::u16string name(21 * 13, u'x');
    const Bytes dir = Join({Group(name, "XXXXXX~1   "), ShortEntry("NEXT    MP3")}, 40);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 40);
    EXPECT_EQ(std::vector<std::string>{"NEXT.MP3"}, NamesOf(list));
}

TEST(EntryGroups, AddGroupRefusesWhatDoesNotFitAndRemoveAtShifts)
{
    const Bytes dir = Join({ShortEntry("A       MP3"), ShortEntry("B       MP3"), ShortEntry("C       MP3")}, 3);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 3);
    DirEntryGroup extra;
    extra.Entries = ShortEntry("D       MP3");
    EXPECT_EQ(0, list.AddGroup(extra));
    EXPECT_EQ(1, list.RemoveAt(0));
    EXPECT_EQ(0, list.RemoveAt(2));
    EXPECT_EQ((std::vector<std::string>{"B.MP3", "C.MP3"}), NamesOf(list));
    EXPECT_EQ(1, list.AddGroup(extra));
    EXPECT_EQ(nullptr, list.GetGroup(3));
}

TEST(LongNames, ThirteenCharactersWithoutTerminatorAreReadWhole)
{
    const Bytes dir = Join({Group(u"thirteen.mp3x", "THIRTE~1MP3")}, 4);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 4);
    EXPECT_EQ(std::vector<std::string>{"thirteen.mp3x"}, NamesOf(list));
}

TEST(LongNames, ChecksumMismatchFallsBackToTheShortName)
{
    Bytes g = Group(u"Long Name.mp3", "LONGNA~1MP3");
    g[13] ^= 0x55;
    const Bytes dir = Join({g}, 4);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 4);
    int index = -1;
    EXPECT_EQ(0, list.FindByLongName("Long Name.mp3", &index));
    EXPECT_EQ(1, list.FindByLongName("longna~1.mp3", &index));
    EXPECT_EQ(0, index);
}

TEST(LongNames, AreCappedAt255Characters)
{
    const std::u16string name(20 * 13, u'n');
    const Bytes dir = Join({Group(name, "NNNNNN~1   ")}, 24);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 24);
    ASSERT_EQ(1, list.GroupCount);
    EXPECT_EQ(255u, list.GetLongName(*list.GetGroup(0)).size());
}

TEST(LongNames, LowerCaseFlagsGiveTheNameWindowsLists)
{
    // 0x8B is i with diaeresis in code page 850.
    const Bytes dir = Join({ShortEntry("LOWER   MP3", 0x20, 0, 1, 0x18), ShortEntry("NA\x8BVE   MP3", 0x20, 0, 1, 0x18),
                            ShortEntry("MIXED   MP3", 0x20, 0, 1, 0x10), ShortEntry("BASE    TXT", 0x20, 0, 1, 0x08)},
                           8);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 8);
    EXPECT_EQ((std::vector<std::string>{"lower.mp3", "na\xEFve.mp3", "MIXED.mp3", "base.TXT"}), NamesOf(list));
    int index = -1;
    EXPECT_EQ(1, list.FindByLongName("na\xEFve.mp3", &index));
    EXPECT_EQ(1, index);
}

TEST(LongNames, FindFoldsAsciiOnlyAndSkipsTakenGroups)
{
    const Bytes dir = Join({Group(u"Song.mp3", "SONG    MP3"), Group(u"song.MP3", "SONG~1  MP3")}, 8);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 8);
    int index = -1;
    ASSERT_EQ(1, list.FindByLongName("SONG.mp3", &index));
    EXPECT_EQ(0, index);
    std::vector<bool> taken{true, false};
    ASSERT_EQ(1, list.FindByLongName("SONG.mp3", &index, &taken));
    EXPECT_EQ(1, index);
    taken[1] = true;
    EXPECT_EQ(0, list.FindByLongName("SONG.mp3", &index, &taken));
    EXPECT_EQ(0, list.FindByLongName("", &index));
}

TEST(GeneratedNames, BlankShortNameGetsOneFromTheLongName)
{
    // A character replaced by "_" after a full name or extension is dropped,
    // like any other character past the field.
    const struct {
        std::u16string longName;
        const char* shortName;
    } cases[] = {
        {u"my song.mp3", "MYSONG  MP3"},
        {u"song.mp3[", "SONG    MP3"},
        {u"abcdefgh+x.wma", "ABCDEFGHWMA"},
        {u"a.b;;", "A       B__"},
    };
    for (const auto& c : cases) {
        const Bytes dir = Join({Group(c.longName, "           ")}, 4);
        DirEntryList list(TableCodePage);
        list.Parse(dir.data(), 4);
        ASSERT_EQ(1, list.GroupCount);
        const DirEntryGroup* g = list.GetGroup(0);
        EXPECT_EQ(std::string(c.shortName), std::string(reinterpret_cast<const char*>(g->ShortEntry()), 11));
        EXPECT_EQ(DirEntry::ShortNameChecksum(g->ShortEntry()), g->Bytes()[13]);
        EXPECT_EQ(Narrow(c.longName), Narrow(list.GetLongName(*g)));
    }
}

TEST(GeneratedNames, CollisionGetsANumericTail)
{
    const Bytes dir = Join({Group(u"my song.mp3", "           "), ShortEntry("MYSONG  MP3"),
                            Group(u"My+Song.mp3", "           ")},
                           12);
    DirEntryList list(TableCodePage);
    list.Parse(dir.data(), 12);
    ASSERT_EQ(3, list.GroupCount);
    EXPECT_EQ(0, std::memcmp(list.GetGroup(0)->ShortEntry(), "MYSONG~1MP3", 11));
    EXPECT_EQ(0, std::memcmp(list.GetGroup(2)->ShortEntry(), "MY_SONG MP3", 11));
}

TEST(GeneratedNames, AFolderOfManyLikeNamesGetsThemAllInOneReading)
{
    // 16,000 files whose long names share their first eight letters and none
    // of which has an 8.3 name: every one needs a numeric tail. Searching the
    // folder again for each tail tried made this one reading take a quarter
    // of an hour.
    const int files = 16000;
    Bytes dir;
    for (int i = 0; i < files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Track of the big folder %05d.mp3", i);
        const Bytes g = Group(std::u16string(name, name + std::strlen(name)), "           ");
        dir.insert(dir.end(), g.begin(), g.end());
    }
    const int entries = int(dir.size() / 32);
    DirEntryList list(TableCodePage);
    ASSERT_EQ(1, list.Parse(dir.data(), entries));
    ASSERT_EQ(files, list.GroupCount);
    EXPECT_EQ(0, std::memcmp(list.GetGroup(0)->ShortEntry(), "TRACKOFTMP3", 11));
    EXPECT_EQ(0, std::memcmp(list.GetGroup(1)->ShortEntry(), "TRACKO~1MP3", 11));
    EXPECT_EQ(0, std::memcmp(list.GetGroup(files - 1)->ShortEntry(), "TR~15999MP3", 11));
    std::set<std::string> names;
    for (int i = 0; i < files; ++i)
        names.insert(std::string(reinterpret_cast<const char*>(list.GetGroup(i)->ShortEntry()), 11));
    EXPECT_EQ(size_t(files), names.size());
    int index = -1;
    EXPECT_EQ(1, list.FindByLongName("track of the big folder 12345.mp3", &index));
    EXPECT_EQ(12345, index);
}

TEST(GeneratedNames, ChecksumMatchesWhatMtoolsWrites)
{
    const std::string dir = WorkFolder("ChecksumMatchesWhatMtoolsWrites");
    const std::string image = dir + "/basic.img";
    ASSERT_TRUE(MakeImage("basic", image, 12));
    CFileSectorDevice device(DevicePath(image));
    uint8_t boot[512];
    ASSERT_TRUE(device.ReadSectors(0, 0, 1, boot));
    FatBootInfo info;
    ASSERT_EQ(QV_SUCCESS, ParseBootSector(boot, info));
    Bytes root(size_t(info.RootEntries) * 32);
    ASSERT_TRUE(device.ReadSectors(0, uint32_t(info.ReservedSectors + info.NumberOfFats * info.SectorsPerFat),
                                   uint32_t(root.size() / 512), root.data()));
    int checked = 0;
    for (size_t i = 0; i + 1 < root.size() / 32; ++i) {
        const uint8_t* e = &root[i * 32];
        if (e[0] == 0 || e[0] == 0xE5 || !DirEntry::IsLongName(e)) continue;
        size_t j = i;
        while (DirEntry::IsLongName(&root[j * 32])) ++j;
        EXPECT_EQ(DirEntry::ShortNameChecksum(&root[j * 32]), e[13]);
        ++checked;
    }
    EXPECT_GT(checked, 3);
}

// ---- boot sector, FAT chains and the path walk ---------------------------

Bytes BootSector(int bits, uint16_t bytesPerSector = 512, uint8_t perCluster = 4, uint16_t total16 = 8192,
                 uint32_t total32 = 0)
{
    Bytes s(512, 0);
    s[11] = uint8_t(bytesPerSector);
    s[12] = uint8_t(bytesPerSector >> 8);
    s[13] = perCluster;
    s[14] = 1;
    s[16] = 2;
    s[17] = 0x00;
    s[18] = 0x02;  // 512 root entries
    s[19] = uint8_t(total16);
    s[20] = uint8_t(total16 >> 8);
    s[22] = 8;  // sectors per FAT
    s[24] = 32;
    for (int i = 0; i < 4; ++i) s[32 + i] = uint8_t(total32 >> (8 * i));
    std::memcpy(&s[54], bits == 12 ? "FAT12   " : bits == 16 ? "FAT16   " : "FAT32   ", 8);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

TEST(BootSector, Fat16TypeAndTotalsAreRead)
{
    FatBootInfo info;
    EXPECT_EQ(QV_SUCCESS, ParseBootSector(BootSector(16, 512, 4, 0, 100000).data(), info));
    EXPECT_EQ(16, info.FatBits);
    EXPECT_EQ(100000u, info.TotalSectors);
    EXPECT_EQ(QV_SUCCESS, ParseBootSector(BootSector(12).data(), info));
    EXPECT_EQ(12, info.FatBits);
}

TEST(BootSector, UnusableSectorsAreRefused)
{
    FatBootInfo info;
    EXPECT_EQ(QV_DISK_INFO_ERR, ParseBootSector(BootSector(16, 512, 0).data(), info));
    EXPECT_EQ(QV_DISK_INFO_ERR, ParseBootSector(BootSector(16, 0).data(), info));
    EXPECT_EQ(QV_DISK_INFO_ERR, ParseBootSector(BootSector(16, 1024).data(), info));
    EXPECT_EQ(QV_DISK_INFO_ERR, ParseBootSector(BootSector(32).data(), info));
}

TEST(FatChains, Fat12EntriesAndEveryEndValue)
{
    // Entries 2 -> 3 -> 0xFF8 (end) in 12 bits: bytes of entries 2 and 3.
    Bytes fat(512, 0);
    fat[3] = 0x03;
    fat[4] = 0x80;
    fat[5] = 0xFF;
    const FatChain chain(12, 100, fat.data(), fat.size());
    EXPECT_EQ(3, chain.Get(2));
    EXPECT_EQ(0xFF8, chain.Get(3));
    std::vector<uint16_t> clusters;
    EXPECT_TRUE(chain.Walk(2, 100, clusters));
    EXPECT_EQ((std::vector<uint16_t>{2, 3}), clusters);
    const FatChain f16(16, 100, fat.data(), fat.size());
    EXPECT_TRUE(f16.IsEnd(0xFFF8));
    EXPECT_TRUE(f16.IsEnd(0xFFFF));
    EXPECT_FALSE(f16.IsEnd(0xFFF7));
}

TEST(FatChains, LoopsFreeEntriesAndEntriesBeyondTheCopyAreUnstable)
{
    Bytes fat(64, 0);
    fat[4] = 3;  // 2 -> 3
    fat[6] = 2;  // 3 -> 2
    const FatChain loop(16, 1000, fat.data(), fat.size());
    EXPECT_EQ(32u, loop.EntryCount());
    std::vector<uint16_t> clusters;
    EXPECT_FALSE(loop.Walk(2, 1000, clusters));
    fat[6] = 0;  // 3 -> free
    const FatChain free(16, 1000, fat.data(), fat.size());
    EXPECT_FALSE(free.Walk(2, 1000, clusters));
    fat[6] = 40;  // 3 -> beyond what 64 bytes hold
    const FatChain beyond(16, 1000, fat.data(), fat.size());
    EXPECT_FALSE(beyond.Walk(2, 1000, clusters));
}

// A small FAT16 volume in memory: root with folder A (cluster 2) holding
// folder B (cluster 3), and a file F.
class CrafedVolume : public ::testing::Test {
protected:
    void SetUp() override
    {
        image.assign(8192 * 512, 0);
        const Bytes boot = BootSector(16, 512, 1, 8192);
        std::copy(boot.begin(), boot.end(), image.begin());
        for (int copy = 0; copy < 2; ++copy) {
            uint8_t* fat = &image[(1 + size_t(copy) * 8) * 512];
            fat[0] = 0xF8, fat[1] = 0xFF, fat[2] = 0xFF, fat[3] = 0xFF;
            SetFat(fat, 2, 0xFFFF);
            SetFat(fat, 3, 0xFFFF);
            SetFat(fat, 4, 0xFFFF);
        }
        const Bytes root = Join({ShortEntry("VILO LARK  ", 0x08), ShortEntry("A          ", 0x10, 2),
                                 ShortEntry("F       MP3", 0x20, 4, 10)},
                                16);
        std::copy(root.begin(), root.end(), image.begin() + RootSector * 512);
        const Bytes a = Join({ShortEntry(".          ", 0x10, 2), ShortEntry("..         ", 0x10, 0),
                              Group(u"Folder B", "FOLDERB    ", 0x10, 3)},
                             16);
        std::copy(a.begin(), a.end(), image.begin() + SectorOf(2) * 512);
        device.reset(new CMemorySectorDevice(image));
        SetSysCtrlDevice(device.get());
    }
    void TearDown() override { SetSysCtrlDevice(nullptr); }
    static void SetFat(uint8_t* fat, int n, uint16_t v)
    {
        fat[2 * n] = uint8_t(v);
        fat[2 * n + 1] = uint8_t(v >> 8);
    }
    // 1 boot + 2 x 8 FAT sectors, 32 root sectors, 1 sector a cluster.
    static constexpr size_t RootSector = 17;
    static size_t SectorOf(int cluster) { return RootSector + 32 + size_t(cluster - 2); }

    Bytes image;
    std::unique_ptr<CMemorySectorDevice> device;
};

class CProbe : public CQV_SysCtrl {
public:
    using CQV_SysCtrl::GetDirSectorInfo;
    using CQV_SysCtrl::GetRootDirInfo;
    using CQV_SysCtrl::IsRootDirInfoRequired;
};

TEST_F(CrafedVolume, RootPathNeedsNoReadAndTwoFoldersWalkTwoComponents)
{
    CProbe probe;
    ASSERT_EQ(QV_SUCCESS, probe.GetRootDirInfo(0));
    const int reads = device->Reads;
    CDirExtent extent;
    ASSERT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("X:\\", &extent));
    EXPECT_EQ(reads, device->Reads);
    EXPECT_TRUE(extent.IsRoot);
    ASSERT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("x:\\a\\FOLDER b\\", &extent));
    ASSERT_EQ(1u, extent.Runs.size());
    EXPECT_EQ(uint32_t(SectorOf(3)), extent.Runs[0].first);
}

TEST_F(CrafedVolume, AFileIsNoFolder)
{
    CProbe probe;
    ASSERT_EQ(QV_SUCCESS, probe.GetRootDirInfo(0));
    CDirExtent extent;
    EXPECT_EQ(QV_FILE_NOT_FOUND, probe.GetDirSectorInfo("X:\\F.MP3\\", &extent));
    EXPECT_EQ(QV_FILE_NOT_FOUND, probe.GetDirSectorInfo("X:\\NONE\\", &extent));
}

TEST_F(CrafedVolume, ChainBrokenInTheFirstCopyIsTakenFromTheSecond)
{
    SetFat(&device->Image[512], 2, 0);
    CProbe probe;
    ASSERT_EQ(QV_SUCCESS, probe.GetRootDirInfo(0));
    CDirExtent extent;
    EXPECT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("X:\\A\\", &extent));
    SetFat(&device->Image[9 * 512], 2, 2);  // loops in the second copy
    EXPECT_EQ(QV_FAT_UNSTABLE, probe.GetDirSectorInfo("X:\\A\\", &extent));
}

TEST_F(CrafedVolume, BootSectorProblemsClearTheGeometry)
{
    CProbe probe;
    probe.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, probe.InitDirectory("A:\\"));
    EXPECT_EQ(0, probe.IsRootDirInfoRequired(0));
    EXPECT_EQ(1, probe.IsRootDirInfoRequired(1));
    device->Image[11] = 0;
    device->Image[12] = 4;  // 1024 bytes a sector
    EXPECT_EQ(QV_DISK_INFO_ERR, probe.GetRootDirInfo(0));
    EXPECT_EQ(1, probe.IsRootDirInfoRequired(0));
    probe.SetNewMedia();
    EXPECT_EQ(QV_DISK_INFO_ERR, probe.InitDirectory("X:\\"));
}

TEST_F(CrafedVolume, ExtraReservedSectorsMoveTheFatAndTheRoot)
{
    // Three reserved sectors: the volume shifted by two sectors.
    Bytes shifted(image.size() + 1024, 0);
    std::copy(image.begin() + 512, image.end(), shifted.begin() + 3 * 512);
    std::copy(image.begin(), image.begin() + 512, shifted.begin());
    shifted[14] = 3;
    CMemorySectorDevice moved(shifted);
    SetSysCtrlDevice(&moved);
    CProbe probe;
    ASSERT_EQ(QV_SUCCESS, probe.GetRootDirInfo(0));
    CDirExtent extent;
    ASSERT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("X:\\A\\Folder B\\", &extent));
    EXPECT_EQ(uint32_t(SectorOf(3) + 2), extent.Runs[0].first);
}

// ---- the object's own interface ------------------------------------------

// The library's lock, counted; and a disk that notes any access made
// without it.
class CDepthLock : public ISysCtrlLock {
public:
    void Lock() override
    {
        ++Depth;
        ++Taken;
    }
    void Unlock() override { --Depth; }
    int Depth = 0;
    int Taken = 0;
};

class CLockCheckingDevice : public ISectorDevice {
public:
    CLockCheckingDevice(ISectorDevice& inner, const CDepthLock& lock) : Inner(inner), TheLock(lock) {}
    bool ReadSectors(int drive, uint32_t first, uint32_t count, void* buffer) override
    {
        Note();
        return Inner.ReadSectors(drive, first, count, buffer);
    }
    bool WriteSectors(int drive, uint32_t first, uint32_t count, const void* buffer) override
    {
        Note();
        return Inner.WriteSectors(drive, first, count, buffer);
    }
    void Note()
    {
        ++Accesses;
        if (TheLock.Depth == 0) ++Unlocked;
    }
    ISectorDevice& Inner;
    const CDepthLock& TheLock;
    int Accesses = 0;
    int Unlocked = 0;
};

TEST_F(CrafedVolume, EveryOperationHoldsTheLibrarysLockAroundItsDiskAccess)
{
    CDepthLock lock;
    CLockCheckingDevice checking(*device, lock);
    SetSysCtrlDevice(&checking);
    SetSysCtrlLock(&lock);
    {
        CQV_SysCtrl ctrl;
        ctrl.SetNewMedia();
        EXPECT_EQ(QV_SUCCESS, ctrl.InitDirectory("X:\\A\\"));
        ctrl.SetFileNum(1);
        EXPECT_EQ(1, ctrl.AddFileName("Folder B"));
        EXPECT_EQ(QV_SUCCESS, ctrl.SetFileOrder("X:\\A\\"));
        CQV_SysCtrl copy(ctrl);
        copy = ctrl;
    }
    SetSysCtrlLock(nullptr);
    SetSysCtrlDevice(device.get());
    EXPECT_GT(checking.Accesses, 2);
    EXPECT_EQ(0, checking.Unlocked);
    EXPECT_EQ(0, lock.Depth) << "every hold was given back";
    // SetNewMedia, InitDirectory, SetFileNum, AddFileName, SetFileOrder, the
    // copy, the assignment and the destructors.
    EXPECT_GE(lock.Taken, 9);
}

TEST(NameTable, AddFileNameFillsSlotsAndRefusesWhatItCannotKeep)
{
    CQV_SysCtrl ctrl;
    EXPECT_EQ(0, ctrl.AddFileName("a"));
    ctrl.SetFileNum(2);
    EXPECT_EQ(0, ctrl.AddFileName(""));
    EXPECT_EQ(0, ctrl.AddFileName(std::string(256, 'x').c_str()));
    EXPECT_EQ(1, ctrl.AddFileName(std::string(255, 'x').c_str()));
    EXPECT_EQ(2, ctrl.AddFileName("b"));
    EXPECT_EQ(2, ctrl.AddFileName("c"));
    ctrl.SetFileNum(0);
    EXPECT_EQ(2, ctrl.AddFileName("d"));  // the old, full table is kept
    // A folder holds at most 65536 entries: a larger count makes no table
    // (on the 32-bit build its size would wrap to a few bytes).
    ctrl.SetFileNum(65537);
    EXPECT_EQ(0, ctrl.AddFileName("e"));
    ctrl.SetFileNum(16777217);
    EXPECT_EQ(0, ctrl.AddFileName("e"));
    EXPECT_EQ(0, ctrl.AddFileName("f"));
    ctrl.SetFileNum(65536);
    EXPECT_EQ(1, ctrl.AddFileName("e"));
}

TEST(NameTable, CopiesOwnTheirTables)
{
    CQV_SysCtrl a;
    a.SetFileNum(2);
    a.AddFileName("one");
    {
        CQV_SysCtrl b;
        b = a;
        CQV_SysCtrl& self = b;
        b = self;
        EXPECT_EQ(2, b.AddFileName("two"));
        CQV_SysCtrl c(b);
        EXPECT_EQ(2, c.AddFileName("three"));
    }
    // a's table outlived b and c and still has its second slot free.
    EXPECT_EQ(2, a.AddFileName("two"));
}

TEST(NameTable, SetFileOrderWithoutTableTouchesNothing)
{
    CMemorySectorDevice device(Bytes(512, 0));
    SetSysCtrlDevice(&device);
    CQV_SysCtrl ctrl;
    EXPECT_EQ(QV_SUCCESS, ctrl.SetFileOrder("X:\\"));
    EXPECT_EQ(0, device.Reads + device.Writes);
    SetSysCtrlDevice(nullptr);
}

TEST(Results, TextsAreTheStoredOnes)
{
    CQV_SysCtrl ctrl;
    char text[32];
    ctrl.GetErrorCode(QV_NEW_ENTRY_ENPTY, text);
    EXPECT_STREQ("QV_NEW_ENTRY_ENPTY", text);
    ctrl.GetErrorCode(QV_FILE_NOT_FOUND, text);
    EXPECT_STREQ("QV_FILE_NOT_FOUND", text);
    ctrl.GetErrorCode(static_cast<QV_RESULT>(7), text);
    EXPECT_STREQ("", text);
    EXPECT_EQ(42, fnQV_SysCtrl());
    EXPECT_EQ(0, nQV_SysCtrl);
}

// ---- real images ---------------------------------------------------------

// Maps drive letters to image files, as the volumes of several drives.
class CDrives : public ISectorDevice {
public:
    std::map<int, std::unique_ptr<CFileSectorDevice>> Images;
    bool ReadSectors(int drive, uint32_t first, uint32_t count, void* buffer) override
    {
        auto it = Images.find(drive);
        return it != Images.end() && it->second->ReadSectors(drive, first, count, buffer);
    }
    bool WriteSectors(int drive, uint32_t first, uint32_t count, const void* buffer) override
    {
        ++Writes;
        auto it = Images.find(drive);
        return it != Images.end() && it->second->WriteSectors(drive, first, count, buffer);
    }
    int Writes = 0;
};

class Images : public ::testing::Test {
protected:
    void SetUp() override
    {
        work = WorkFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        SetSysCtrlDevice(&drives);
    }
    void TearDown() override { SetSysCtrlDevice(nullptr); }
    std::string Make(const std::string& kind, int bits = 16, char letter = 'P')
    {
        const std::string image = work + "/" + kind + std::to_string(bits) + letter + ".img";
        EXPECT_TRUE(MakeImage(kind, image, bits));
        drives.Images[letter - 'A'].reset(new CFileSectorDevice(DevicePath(image)));
        return image;
    }
    static std::vector<std::string> Body(std::vector<std::string> listing)
    {
        if (!listing.empty()) listing.erase(listing.begin());
        return listing;
    }
    QV_RESULT Order(const std::string& path, const std::vector<std::string>& names)
    {
        ctrl.SetFileNum(int(names.size()));
        for (const std::string& n : names) EXPECT_GT(ctrl.AddFileName(Utf8ToAnsi(n).c_str()), 0) << n;
        return ctrl.SetFileOrder(path.c_str());
    }
    void ExpectClean(const std::string& image)
    {
        std::string report;
        EXPECT_TRUE(FsckClean(image, &report)) << report;
    }

    std::string work;
    CDrives drives;
    CQV_SysCtrl ctrl;
};

TEST_F(Images, InitDirectoryCompactsDeletedEntriesOfRootAndSubfolder)
{
    for (int bits : {12, 16}) {
        const std::string image = Make("basic", bits);
        const auto rootBefore = ListFolder(image, "::/");
        const auto musicBefore = ListFolder(image, "::/MUSIC");
        ctrl.SetNewMedia();
        ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
        ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("p:\\MUSIC\\"));
        EXPECT_EQ(rootBefore, ListFolder(image, "::/"));
        EXPECT_EQ(musicBefore, ListFolder(image, "::/MUSIC"));
        EXPECT_EQ("label: VILO LARK", ListFolder(image, "::/")[0]);
        ExpectClean(image);
        const std::string hash = Sha256(image);
        EXPECT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
        EXPECT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\MUSIC\\"));
        EXPECT_EQ(hash, Sha256(image)) << "a compacted directory is not written again";
    }
}

TEST_F(Images, InitDirectoryLeavesNoDeletedEntryBehind)
{
    const std::string image = Make("basic", 12);
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
    CFileSectorDevice device(DevicePath(image));
    Bytes boot(512);
    ASSERT_TRUE(device.ReadSectors(0, 0, 1, boot.data()));
    FatBootInfo info;
    ASSERT_EQ(QV_SUCCESS, ParseBootSector(boot.data(), info));
    Bytes root(size_t(info.RootEntries) * 32);
    ASSERT_TRUE(device.ReadSectors(0, uint32_t(1 + 2 * info.SectorsPerFat), uint32_t(root.size() / 512), root.data()));
    bool ended = false;
    for (size_t i = 0; i < root.size(); i += 32) {
        if (root[i] == 0) ended = true;
        EXPECT_NE(0xE5, root[i]) << "entry " << i / 32;
        if (ended) {
            EXPECT_EQ(0, root[i]) << "entry " << i / 32;
        }
    }
}

// Gives a root 8.3 entry, found by the rest of its name, the first byte
// `mark`: 0xE5 deletes it as DOS's del does, leaving its long-name entries
// live behind it.
void MarkRootEntry(const std::string& image, const char* name11, uint8_t mark)
{
    CFileSectorDevice device(DevicePath(image));
    Bytes boot(512);
    ASSERT_TRUE(device.ReadSectors(0, 0, 1, boot.data()));
    FatBootInfo info;
    ASSERT_EQ(QV_SUCCESS, ParseBootSector(boot.data(), info));
    const uint32_t first = uint32_t(info.ReservedSectors + info.NumberOfFats * info.SectorsPerFat);
    Bytes root(size_t(info.RootEntries) * 32);
    ASSERT_TRUE(device.ReadSectors(0, first, uint32_t(root.size() / 512), root.data()));
    for (size_t i = 0; i < root.size(); i += 32) {
        if (root[i] == 0 || DirEntry::IsLongName(&root[i]) || std::memcmp(&root[i + 1], name11 + 1, 10) != 0) continue;
        root[i] = mark;
        ASSERT_TRUE(device.WriteSectors(0, first, uint32_t(root.size() / 512), root.data()));
        return;
    }
    FAIL() << name11 << " not in the root";
}

TEST_F(Images, InitDirectoryDropsTheLongNameOfAFileDeletedByItsShortEntry)
{
    const std::string image = work + "/dosdel.img";
    ASSERT_EQ(0, RunHost("export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8; cd '" + work + "' && mkfs.fat -C -F 12 -R 1 '" +
                         image + "' 1440 >/dev/null && touch 'Alpha long name.mp3' README.TXT 'Beta long name.mp3' " +
                         "'Gamma long.mp3' && mcopy -i '" + image + "' 'Alpha long name.mp3' README.TXT " +
                         "'Beta long name.mp3' 'Gamma long.mp3' ::/")
                     .Status);
    drives.Images['P' - 'A'].reset(new CFileSectorDevice(DevicePath(image)));
    // Alpha's long name stands before a plain 8.3 entry, Beta's before
    // Gamma's long name.
    MarkRootEntry(image, "ALPHAL~1MP3", 0xE5);
    MarkRootEntry(image, "BETALO~1MP3", 0xE5);
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
    ExpectClean(image);
    auto names = Body(ListFolder(image, "::/"));
    ASSERT_EQ((std::vector<std::string>{"README.TXT", "Gamma long.mp3"}), names);
    std::reverse(names.begin(), names.end());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/")));
    ExpectClean(image);
}

// fsck.fat's count of files and used clusters ("13 files, 19/2036 clusters").
std::string FilesAndClusters(const std::string& image)
{
    return RunHost("fsck.fat -n '" + image + "' | tail -n 1 | sed 's/.*: //'").Output;
}

TEST_F(Images, EntriesAfterAnEndMarkerAreLeftAsTheyWere)
{
    // A deleted 8.3 entry turned to 0x00 stands before live entries: the
    // folder MUSIC and its files, which fsck.fat and Linux still see. Neither
    // write may wipe them.
    const std::string image = Make("basic", 12);
    MarkRootEntry(image, "\xE5ONETW~1WMA", 0x00);
    std::string report;
    ASSERT_TRUE(FsckClean(image, &report)) << report;
    const std::string ordered = work + "/ordered.img";
    ASSERT_EQ(0, RunHost("cp '" + image + "' '" + ordered + "'").Status);

    ctrl.SetNewMedia();
    EXPECT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
    ExpectClean(image);
    EXPECT_EQ(FilesAndClusters(ordered), FilesAndClusters(image));

    drives.Images['P' - 'A'].reset(new CFileSectorDevice(DevicePath(ordered)));
    auto names = Body(ListFolder(ordered, "::/"));
    ASSERT_EQ((std::vector<std::string>{"01 First Song.mp3", "SHORT.MP3", "Café Müller.mp3"}), names);
    std::reverse(names.begin(), names.end());
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, Order("P:\\", names));
    EXPECT_EQ(names, Body(ListFolder(ordered, "::/")));
    ExpectClean(ordered);
    EXPECT_EQ(FilesAndClusters(image), FilesAndClusters(ordered));
}

TEST_F(Images, InitDirectoryOfOnlyDeletedEntriesChangesNothing)
{
    const std::string image = Make("basic", 12);
    ASSERT_EQ(0, RunHost("export MTOOLS_SKIP_CHECK=1; mmd -i '" + image + "' ::/EMPTY && mcopy -i '" + image +
                         "' /etc/hostname ::/EMPTY/X.TXT && mdel -i '" + image + "' ::/EMPTY/X.TXT")
                     .Status);
    const std::string hash = Sha256(image);
    ctrl.SetNewMedia();
    // "." and ".." are live, so a subfolder is never empty; the root of a
    // fresh volume with one deleted file is.
    EXPECT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\EMPTY\\"));
    const std::string bare = work + "/bare.img";
    ASSERT_EQ(0, RunHost("export MTOOLS_SKIP_CHECK=1; mkfs.fat -C -F 12 -R 1 '" + bare +
                         "' 1440 >/dev/null && mcopy -i '" + bare + "' /etc/hostname ::/X.TXT && mdel -i '" + bare +
                         "' ::/X.TXT")
                     .Status);
    drives.Images['Q' - 'A'].reset(new CFileSectorDevice(DevicePath(bare)));
    const std::string bareHash = Sha256(bare);
    EXPECT_EQ(QV_NEW_ENTRY_ENPTY, ctrl.InitDirectory("Q:\\"));
    EXPECT_EQ(bareHash, Sha256(bare));
}

TEST_F(Images, InitDirectoryOfACleanFolderWritesNothing)
{
    const std::string image = Make("big");
    const std::string hash = Sha256(image);
    ctrl.SetNewMedia();
    EXPECT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\BIG\\"));
    EXPECT_EQ(0, drives.Writes);
    EXPECT_EQ(hash, Sha256(image));
}

TEST_F(Images, InitDirectoryOnAnotherDriveReadsItsBootSector)
{
    const std::string small = Make("basic", 12, 'P');
    const std::string large = Make("basic", 16, 'Q');
    const auto before = ListFolder(large, "::/MUSIC");
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("Q:\\MUSIC\\"));
    EXPECT_EQ(before, ListFolder(large, "::/MUSIC"));
    ExpectClean(large);
    ExpectClean(small);
}

TEST_F(Images, SetFileOrderReversesTheRootAndKeepsTheLabel)
{
    for (int bits : {12, 16}) {
        const std::string image = Make("basic", bits);
        auto names = Body(ListFolder(image, "::/"));
        ASSERT_EQ(5u, names.size());
        std::reverse(names.begin(), names.end());
        ctrl.SetNewMedia();
        ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
        ASSERT_EQ(QV_SUCCESS, Order("P:\\", names));
        const auto after = ListFolder(image, "::/");
        EXPECT_EQ("label: VILO LARK", after[0]);
        EXPECT_EQ(names, Body(after));
        ExpectClean(image);
    }
}

TEST_F(Images, SetFileOrderShufflesASubfolderAfterItsDotEntries)
{
    const std::string image = Make("basic", 16);
    std::vector<std::string> names = Body(ListFolder(image, "::/MUSIC"));
    ASSERT_EQ(5u, names.size());
    std::rotate(names.begin(), names.begin() + 2, names.end());
    std::swap(names[0], names[3]);
    ASSERT_EQ(QV_SUCCESS, Order("P:\\MUSIC\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/MUSIC")));
    const HostResult raw = RunHost("MTOOLS_SKIP_CHECK=1 mdir -i '" + image + "' ::/MUSIC | sed -n '5,6p' | cut -d' ' -f1");
    EXPECT_EQ(".\n..\n", raw.Output) << "\".\" and \"..\" stay first";
    std::vector<std::string> rock = Body(ListFolder(image, "::/MUSIC/ROCK"));
    std::reverse(rock.begin(), rock.end());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\music\\rock\\", rock));
    EXPECT_EQ(rock, Body(ListFolder(image, "::/MUSIC/ROCK")));
    ExpectClean(image);
}

TEST_F(Images, AVolumeLabelEntryInASubfolderStaysAfterItsDotEntries)
{
    const std::string image = Make("basic", 12);
    CProbe probe;
    probe.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, probe.InitDirectory("P:\\"));
    CDirExtent extent;
    ASSERT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("P:\\MUSIC\\", &extent));
    ASSERT_EQ(1u, extent.Runs.size());
    CFileSectorDevice device(DevicePath(image));
    Bytes dir(size_t(extent.Runs[0].second) * 512);
    ASSERT_TRUE(device.ReadSectors(0, extent.Runs[0].first, extent.Runs[0].second, dir.data()));
    size_t free = 0;
    while (free < dir.size() && dir[free] != 0) free += 32;
    ASSERT_LT(free + 32, dir.size());
    const Bytes label = ShortEntry("SUBLABEL   ", 0x08);
    std::copy(label.begin(), label.end(), dir.begin() + std::ptrdiff_t(free));
    ASSERT_TRUE(device.WriteSectors(0, extent.Runs[0].first, extent.Runs[0].second, dir.data()));
    std::string report;
    ASSERT_TRUE(FsckClean(image, &report)) << report;

    auto names = Body(ListFolder(image, "::/MUSIC"));
    std::reverse(names.begin(), names.end());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\MUSIC\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/MUSIC")));
    ExpectClean(image);
    ASSERT_TRUE(device.ReadSectors(0, extent.Runs[0].first, extent.Runs[0].second, dir.data()));
    EXPECT_EQ(0, std::memcmp(dir.data(), ".          ", 11));
    EXPECT_EQ(0, std::memcmp(dir.data() + 32, "..         ", 11));
}

// fatsort rewrites a folder's entries in a new order as well: given the same
// order, its image and ours must be the same bytes, not only the same listing.
void ExpectTheBytesOfFatsort(const std::string& original, const std::string& ours, const std::string& folder)
{
    const std::string theirs = ours + ".fatsort";
    ASSERT_EQ(0, RunHost("cp '" + original + "' '" + theirs + "'").Status);
    const HostResult sorted = RunHost("LC_ALL=C.UTF-8 fatsort -q -a -r -d " + folder + " '" + theirs + "' 2>&1");
    ASSERT_EQ(0, sorted.Status) << sorted.Output;
    EXPECT_EQ(Sha256(theirs), Sha256(ours));
}

TEST_F(Images, SetFileOrderOnTwoThousandFiles)
{
    const std::string image = Make("big");
    const std::string original = image + ".original";
    ASSERT_EQ(0, RunHost("cp '" + image + "' '" + original + "'").Status);
    auto names = Body(ListFolder(image, "::/BIG"));
    ASSERT_EQ(2000u, names.size());
    std::reverse(names.begin(), names.end());
    std::swap(names[10], names[1500]);
    ASSERT_EQ(QV_SUCCESS, Order("P:\\BIG\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/BIG")));
    ExpectClean(image);
    // Reverse byte order of the names, as fatsort -a -r sorts them.
    std::sort(names.begin(), names.end(), std::greater<std::string>());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\BIG\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/BIG")));
    ExpectTheBytesOfFatsort(original, image, "/BIG");
}

TEST_F(Images, SetFileOrderFollowsAFragmentedFolderAlongItsChain)
{
    const std::string image = Make("frag");
    const std::string original = image + ".original";
    ASSERT_EQ(0, RunHost("cp '" + image + "' '" + original + "'").Status);
    // The folder really is fragmented: its clusters are not consecutive.
    CProbe probe;
    probe.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, probe.InitDirectory("P:\\"));
    CDirExtent extent;
    ASSERT_EQ(QV_FILE_NOT_FOUND, probe.GetDirSectorInfo("P:\\NOTHERE\\", &extent));
    ASSERT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("P:\\FRAG\\", &extent));
    ASSERT_GT(extent.Runs.size(), 1u);
    const std::string hashBefore = Sha256(image);
    auto names = Body(ListFolder(image, "::/FRAG"));
    ASSERT_EQ(120u, names.size());
    std::reverse(names.begin(), names.end());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\FRAG\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/FRAG")));
    EXPECT_NE(hashBefore, Sha256(image));
    ExpectClean(image);
    // The files between the folder's clusters are intact.
    const HostResult data = RunHost("MTOOLS_SKIP_CHECK=1 mtype -i '" + image + "' ::/filler2.bin | tr -d a | wc -c");
    EXPECT_EQ("0\n", data.Output);
    std::sort(names.begin(), names.end(), std::greater<std::string>());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\FRAG\\", names));
    ExpectTheBytesOfFatsort(original, image, "/FRAG");
}

TEST_F(Images, FolderBeyondSector65535IsReachedWhereItLies)
{
    const std::string image = Make("deep");
    CProbe probe;
    probe.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, probe.InitDirectory("P:\\"));
    CDirExtent extent;
    ASSERT_EQ(QV_SUCCESS, probe.GetDirSectorInfo("P:\\DEEP\\", &extent));
    ASSERT_GE(extent.Runs[0].first, 65536u);
    auto names = Body(ListFolder(image, "::/DEEP"));
    std::reverse(names.begin(), names.end());
    ASSERT_EQ(QV_SUCCESS, Order("P:\\DEEP\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/DEEP")));
    ExpectClean(image);
}

TEST_F(Images, MoreReservedSectorsAreHonoured)
{
    const std::string image = Make("reserved", 16);
    auto names = Body(ListFolder(image, "::/MUSIC"));
    std::reverse(names.begin(), names.end());
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\MUSIC\\"));
    ASSERT_EQ(QV_SUCCESS, Order("P:\\MUSIC\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/MUSIC")));
    ExpectClean(image);
}

TEST_F(Images, RefusedOrdersWriteNothing)
{
    const std::string image = Make("basic", 12);
    const auto names = Body(ListFolder(image, "::/"));
    const std::string hash = Sha256(image);

    auto missing = names;
    missing[2] = "not there.mp3";
    EXPECT_EQ(QV_FILE_NOT_FOUND, Order("P:\\", missing));
    // The table is gone all the same.
    EXPECT_EQ(QV_SUCCESS, ctrl.SetFileOrder("P:\\"));

    auto twice = names;
    twice[1] = twice[0];
    EXPECT_EQ(QV_FILE_NOT_FOUND, Order("P:\\", twice));

    // A table with a slot left empty.
    ctrl.SetFileNum(int(names.size()) + 1);
    for (const auto& n : names) ctrl.AddFileName(Utf8ToAnsi(n).c_str());
    EXPECT_EQ(QV_FILE_NOT_FOUND, ctrl.SetFileOrder("P:\\"));

    // A table that leaves out a file of the folder would drop its entry.
    auto shorter = names;
    shorter.erase(shorter.begin() + 1);
    EXPECT_EQ(QV_FILE_NOT_FOUND, Order("P:\\", shorter));
    auto music = Body(ListFolder(image, "::/MUSIC"));
    music.pop_back();
    EXPECT_EQ(QV_FILE_NOT_FOUND, Order("P:\\MUSIC\\", music));

    EXPECT_EQ(QV_FILE_NOT_FOUND, Order("P:\\SHORT.MP3\\", names));
    EXPECT_EQ(hash, Sha256(image));
}

TEST_F(Images, BrokenLongNameSequenceBeforeOtherFilesIsRefused)
{
    const std::string image = Make("broken", 12);
    const std::string hash = Sha256(image);
    // Every name the listing shows; the files after the broken sequence
    // cannot be reached by the parse and would be lost.
    const std::vector<std::string> names = {"SHORT.MP3", "Café Müller.mp3", "Last Track Of The Root.mp3", "MUSIC"};
    EXPECT_EQ(QV_FILE_NOT_FOUND, Order("P:\\", names));
    EXPECT_EQ(hash, Sha256(image));
}

TEST_F(Images, ShortNamesWithLowerCaseFlagsAreNamedAsWindowsListsThem)
{
    const std::string image = Make("lower", 12);
    const std::vector<std::string> names = {"PLAIN.MP3", "MIXED.mp3", "Upper.MP3", "naïve.mp3", "lower.mp3"};
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
    ASSERT_EQ(QV_SUCCESS, Order("P:\\", names));
    EXPECT_EQ(names, Body(ListFolder(image, "::/")));
    ExpectClean(image);
}

TEST_F(Images, Fat32IsRefused)
{
    const std::string image = work + "/fat32.img";
    ASSERT_EQ(0, RunHost("mkfs.fat -C -F 32 -s 1 '" + image + "' 40000 >/dev/null").Status);
    drives.Images['P' - 'A'].reset(new CFileSectorDevice(DevicePath(image)));
    const std::string hash = Sha256(image);
    ctrl.SetNewMedia();
    EXPECT_EQ(QV_DISK_INFO_ERR, ctrl.InitDirectory("P:\\"));
    EXPECT_EQ(QV_DISK_INFO_ERR, Order("P:\\", {"X"}));
    EXPECT_EQ(hash, Sha256(image));
}

}  // namespace
