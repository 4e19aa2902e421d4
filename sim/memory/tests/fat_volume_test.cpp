// The FAT core of the simulated memory, checked against mkfs.fat, mtools and
// fsck.fat: what it reads agrees with what they wrote, what it writes they
// accept, and a damaged image is refused without further damage.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "fat_names.h"
#include "fat_volume.h"
#include "test_images.h"

namespace {

class FatVolumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = MakeScratchDir("fat");
        ASSERT_FALSE(Dir.empty());
        Image = Dir + "/mem.img";
    }
    void TearDown() override { RemoveTree(Dir); }

    void Open()
    {
        ASSERT_TRUE(Store.Open(Image));
        Volume = std::make_unique<CFatVolume>(Store);
    }

    std::string Mtype(const std::string& path)
    {
        std::string out;
        RunCommand("MTOOLS_SKIP_CHECK=1 mtype -i " + Quote(Image) + " " + Quote("::" + path), &out);
        return out;
    }

    std::string Dir;
    std::string Image;
    CFileBlockStore Store;
    std::unique_ptr<CFatVolume> Volume;
};

// ---- geometry ----

TEST_F(FatVolumeTest, Fat12AndFat16ImagesFromMkfsAreAccepted)
{
    for (int bits : {12, 16}) {
        ASSERT_TRUE(MakeImage(Image, bits == 12 ? 1440 : 8192, bits));
        auto bytes = ReadWholeFile(Image);
        FatGeometry g;
        ASSERT_EQ(0, ParseBootSector(bytes.data(), bytes.size(), bytes.size(), &g));
        EXPECT_EQ(static_cast<uint32_t>(bits), g.FatBits);
        EXPECT_EQ(512u, g.ClusterBytes);
        CMemoryBlockStore mem(bytes);
        CFatVolume v(mem);
        EXPECT_EQ(0, v.Verify());
    }
}

TEST_F(FatVolumeTest, DamagedBootSectorsAreRefused)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    const auto good = ReadWholeFile(Image);
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"no signature", 510, {0, 0}},
        {"zero sectors per cluster", 13, {0}},
        {"odd sector size", 11, {0x00, 0x03}},
        {"no FAT copies", 16, {0}},
        {"zero root entries", 17, {0, 0}},
        {"larger than the image", 19, {0xFF, 0xFF}},
        {"no FAT sectors (FAT32 layout)", 22, {0, 0}},
        {"no reserved sector", 14, {0, 0}},
    };
    for (const auto& c : cases) {
        auto bytes = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<long>(c.offset));
        CMemoryBlockStore mem(bytes);
        CFatVolume v(mem);
        EXPECT_EQ(-EIO, v.Verify()) << c.what;
        FatNode n;
        EXPECT_EQ(-EIO, v.Stat("/", &n)) << c.what;
        EXPECT_EQ(bytes, mem.Bytes) << c.what << ": nothing may be written";
    }
}

TEST_F(FatVolumeTest, Fat32ImageIsRefused)
{
    ASSERT_EQ(0, RunCommand("mkfs.fat -C -F 32 " + Quote(Image) + " 40000"));
    Open();
    EXPECT_EQ(-EIO, Volume->Verify());
}

// ---- reading what mtools wrote ----

TEST_F(FatVolumeTest, ListingFollowsDirectoryOrderWithLongAndShortNames)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12, "PLAYER"));
    std::string src = Dir + "/src";
    ASSERT_EQ(0, RunCommand("mkdir -p " + Quote(src + "/Sub Folder")));
    std::vector<std::string> names = {"zeta.mp3", "My Song.mp3", "A.TXT", "alpha beta gamma delta.wma"};
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(WriteWholeFile(src + "/" + names[i], RandomBytes(700 * i + 1, static_cast<uint32_t>(i))));
    for (const auto& n : names)
        ASSERT_EQ(0, RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(Image) + " " + Quote(src + "/" + n) + " ::/"));
    ASSERT_EQ(0, RunCommand("MTOOLS_SKIP_CHECK=1 mmd -i " + Quote(Image) + " '::/Sub Folder'"));
    Open();
    std::vector<FatNode> nodes;
    ASSERT_EQ(0, Volume->List("/", &nodes));
    std::vector<std::string> listed;
    for (const auto& n : nodes)
        listed.push_back(n.Name);
    EXPECT_EQ(MdirNames(Image, "::/"), listed);
    auto song = std::find_if(nodes.begin(), nodes.end(), [](const FatNode& n) { return n.Name == "My Song.mp3"; });
    ASSERT_NE(nodes.end(), song);
    EXPECT_EQ("MYSONG~1.MP3", song->ShortName);
    FatNode byShort;
    ASSERT_EQ(0, Volume->Stat("/mysong~1.mp3", &byShort));
    EXPECT_EQ("My Song.mp3", byShort.Name);
    FatNode dir;
    ASSERT_EQ(0, Volume->Stat("/SUB FOLDER", &dir));
    EXPECT_TRUE(dir.IsDirectory());
    std::string label;
    ASSERT_EQ(0, Volume->GetLabel(&label));
    EXPECT_EQ("PLAYER", label);
}

TEST_F(FatVolumeTest, FilesCopiedByMcopyReadBackByteForByte)
{
    ASSERT_TRUE(MakeImage(Image, 8192, 16));
    std::string src = Dir + "/f.bin";
    for (size_t size : {0u, 1u, 511u, 512u, 513u, 70000u}) {
        auto data = RandomBytes(size, static_cast<uint32_t>(size));
        ASSERT_TRUE(WriteWholeFile(src, data));
        std::string name = "f" + std::to_string(size) + ".bin";
        ASSERT_EQ(0, RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(Image) + " " + Quote(src) + " ::/" + name));
        Open();
        std::vector<uint8_t> got;
        ASSERT_EQ(static_cast<int>(size), Volume->Read("/" + name, 0, size + 100, &got));
        EXPECT_EQ(data, got) << name;
        if (size > 600) {
            ASSERT_EQ(100, Volume->Read("/" + name, 500, 100, &got));
            EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + 500));
        }
    }
}

// ---- writing what fsck.fat and mtools accept ----

TEST_F(FatVolumeTest, WrittenTreeIsFsckCleanAndReadableByMtools)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    ASSERT_EQ(0, Volume->MakeDirectory("/MUSIC"));
    ASSERT_EQ(0, Volume->MakeDirectory("/MUSIC/Rock Songs"));
    auto data = RandomBytes(5000, 7);
    ASSERT_EQ(0, Volume->CreateFile("/MUSIC/Rock Songs/First Track.mp3", 0));
    ASSERT_EQ(5000, Volume->Write("/MUSIC/Rock Songs/First Track.mp3", 0, data.data(), data.size()));
    ASSERT_EQ(0, Volume->CreateFile("/README.TXT", 0));
    ASSERT_EQ(5, Volume->Write("/README.TXT", 0, reinterpret_cast<const uint8_t*>("hello"), 5));
    // Many names sharing a prefix get distinct numeric tails.
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(0, Volume->CreateFile("/MUSIC/Rock Songs/Track number " + std::to_string(i) + ".mp3", 0));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    auto names = MdirNames(Image, "::/MUSIC/Rock Songs");
    ASSERT_EQ(13u, names.size());
    EXPECT_EQ("First Track.mp3", names[0]);
    EXPECT_EQ("Track number 11.mp3", names[12]);
    EXPECT_EQ("hello", Mtype("/README.TXT"));
    std::string out;
    RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + Quote(Image) + " '::/MUSIC/Rock Songs/First Track.mp3' " +
               Quote(Dir + "/back.mp3"), &out);
    EXPECT_EQ(data, ReadWholeFile(Dir + "/back.mp3")) << out;
}

TEST_F(FatVolumeTest, SubdirectoryGrowsBeyondOneCluster)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    ASSERT_EQ(0, Volume->MakeDirectory("/D"));
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(0, Volume->CreateFile("/D/a rather long file name " + std::to_string(i) + ".txt", 0));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    EXPECT_EQ(40u, MdirNames(Image, "::/D").size());
    std::vector<FatNode> nodes;
    ASSERT_EQ(0, Volume->List("/D", &nodes));
    EXPECT_EQ(40u, nodes.size());
}

TEST_F(FatVolumeTest, EntriesBehindTheEndMarkerStayHiddenWhenAGroupReachesIt)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    ASSERT_EQ(0, Volume->CreateFile("/A.TXT", 0));
    ASSERT_EQ(0, Volume->CreateFile("/B.TXT", 0));
    ASSERT_EQ(0, Volume->RemoveFile("/B.TXT"));  // slot 1 deleted, slot 2 ends the directory
    auto bytes = ReadWholeFile(Image);
    FatGeometry g;
    ASSERT_EQ(0, ParseBootSector(bytes.data(), bytes.size(), bytes.size(), &g));
    size_t root = static_cast<size_t>(g.FirstRootSector) * g.BytesPerSector;
    ASSERT_EQ(0xE5, bytes[root + 32]);
    ASSERT_EQ(0x00, bytes[root + 64]);
    std::memcpy(&bytes[root + 96], "GHOST   TXT", 11);  // stale, behind the marker
    ASSERT_TRUE(WriteWholeFile(Image, bytes));
    ASSERT_EQ(0, Volume->CreateFile("/new name.txt", 0));  // two entries: slots 1 and 2
    std::vector<FatNode> nodes;
    ASSERT_EQ(0, Volume->List("/", &nodes));
    ASSERT_EQ(2u, nodes.size());
    EXPECT_EQ("new name.txt", nodes[1].Name);
    EXPECT_EQ(std::vector<std::string>({"A.TXT", "new name.txt"}), MdirNames(Image, "::/"));
}

TEST_F(FatVolumeTest, RenameMovesFilesAndFoldersAndReplacesTargets)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    ASSERT_EQ(0, Volume->MakeDirectory("/A"));
    ASSERT_EQ(0, Volume->MakeDirectory("/A/Inner"));
    ASSERT_EQ(0, Volume->MakeDirectory("/B"));
    ASSERT_EQ(0, Volume->CreateFile("/A/Inner/x.txt", 0));
    ASSERT_EQ(3, Volume->Write("/A/Inner/x.txt", 0, reinterpret_cast<const uint8_t*>("abc"), 3));
    ASSERT_EQ(0, Volume->CreateFile("/B/y.txt", 0));
    ASSERT_EQ(0, Volume->Rename("/A/Inner", "/B/Moved Folder", false));
    ASSERT_EQ(-EEXIST, Volume->Rename("/B/Moved Folder/x.txt", "/B/y.txt", false));
    ASSERT_EQ(0, Volume->Rename("/B/Moved Folder/x.txt", "/B/y.txt", true));
    ASSERT_EQ(-EINVAL, Volume->Rename("/B", "/B/Moved Folder/B2", true));
    ASSERT_EQ(0, Volume->Rename("/B/y.txt", "/B/Y.TXT", false));  // a change of case only
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    auto names = MdirNames(Image, "::/B");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::vector<std::string>({"Moved Folder", "Y.TXT"}), names);
    EXPECT_EQ("abc", Mtype("/B/Y.TXT"));
    EXPECT_TRUE(MdirNames(Image, "::/A").empty());
}

TEST_F(FatVolumeTest, TruncateShrinksAndGrowsWithZeros)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    auto data = RandomBytes(3000, 3);
    ASSERT_EQ(0, Volume->CreateFile("/t.bin", 0));
    ASSERT_EQ(3000, Volume->Write("/t.bin", 0, data.data(), data.size()));
    FatSpace before;
    ASSERT_EQ(0, Volume->GetSpace(&before));
    ASSERT_EQ(0, Volume->Resize("/t.bin", 600));
    FatSpace after;
    ASSERT_EQ(0, Volume->GetSpace(&after));
    EXPECT_EQ(before.FreeClusters + 4, after.FreeClusters);
    ASSERT_EQ(0, Volume->Resize("/t.bin", 2000));
    std::vector<uint8_t> got;
    ASSERT_EQ(2000, Volume->Read("/t.bin", 0, 4000, &got));
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 600, data.begin()));
    EXPECT_TRUE(std::all_of(got.begin() + 600, got.end(), [](uint8_t b) { return b == 0; }));
    ASSERT_EQ(0, Volume->Resize("/t.bin", 0));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
}

TEST_F(FatVolumeTest, LabelIsWrittenToRootAndBootRecord)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    ASSERT_EQ(0, Volume->SetLabel("Vilo Lark"));
    std::string out;
    RunCommand("MTOOLS_SKIP_CHECK=1 mlabel -s -i " + Quote(Image) + " ::", &out);
    EXPECT_NE(std::string::npos, out.find("VILO LARK")) << out;
    auto bytes = ReadWholeFile(Image);
    EXPECT_EQ("VILO LARK  ", std::string(bytes.begin() + 43, bytes.begin() + 54));
    EXPECT_EQ(-EINVAL, Volume->SetLabel("far too long a label"));
    ASSERT_EQ(0, Volume->SetLabel(""));
    std::string label = "x";
    ASSERT_EQ(0, Volume->GetLabel(&label));
    EXPECT_EQ("", label);
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
}

TEST_F(FatVolumeTest, DosAttributesAreKeptInTheEntry)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    ASSERT_EQ(0, Volume->CreateFile("/SETTINGS.DAT", FAT_ATTR_READONLY | FAT_ATTR_HIDDEN | FAT_ATTR_SYSTEM));
    std::string out;
    RunCommand("MTOOLS_SKIP_CHECK=1 mattrib -i " + Quote(Image) + " ::/SETTINGS.DAT", &out);
    EXPECT_NE(std::string::npos, out.find("SHR")) << out;
    ASSERT_EQ(0, Volume->SetAttributes("/SETTINGS.DAT", FAT_ATTR_ARCHIVE));
    FatNode n;
    ASSERT_EQ(0, Volume->Stat("/settings.dat", &n));
    EXPECT_EQ(FAT_ATTR_ARCHIVE, n.Attributes);
}

// ---- a full memory ----

TEST_F(FatVolumeTest, FullMemoryRefusesWritesWithoutChangingAnything)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    Open();
    FatSpace space;
    ASSERT_EQ(0, Volume->GetSpace(&space));
    ASSERT_EQ(0, Volume->CreateFile("/big.bin", 0));
    auto data = RandomBytes(static_cast<size_t>(space.FreeClusters - 2) * space.ClusterBytes, 1);
    ASSERT_EQ(static_cast<int>(data.size()), Volume->Write("/big.bin", 0, data.data(), data.size()));
    ASSERT_EQ(0, Volume->CreateFile("/more.bin", 0));
    auto before = ReadWholeFile(Image);
    auto three = RandomBytes(3 * space.ClusterBytes, 2);
    EXPECT_EQ(-ENOSPC, Volume->Write("/more.bin", 0, three.data(), three.size()));
    EXPECT_EQ(-ENOSPC, Volume->Resize("/more.bin", 3 * space.ClusterBytes));
    EXPECT_EQ(before, ReadWholeFile(Image));
    FatNode n;
    ASSERT_EQ(0, Volume->Stat("/more.bin", &n));
    EXPECT_EQ(0u, n.Size);
    // The root directory is full once its fixed entries are taken.
    ASSERT_EQ(0, Volume->Resize("/big.bin", 0));
    int made = 0, r = 0;
    while ((r = Volume->CreateFile("/F" + std::to_string(made) + ".TXT", 0)) == 0)
        ++made;
    EXPECT_EQ(-ENOSPC, r);
    EXPECT_GT(made, 100);
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
}

// ---- damaged images ----

class DamagedImageTest : public FatVolumeTest {
protected:
    void SetUp() override
    {
        FatVolumeTest::SetUp();
        ASSERT_TRUE(MakeImage(Image, 1440, 12));
        Open();
        ASSERT_EQ(0, Volume->CreateFile("/A.BIN", 0));
        auto a = RandomBytes(1500, 1);
        ASSERT_EQ(1500, Volume->Write("/A.BIN", 0, a.data(), a.size()));
        ASSERT_EQ(0, Volume->CreateFile("/B.BIN", 0));
        ASSERT_EQ(1500, Volume->Write("/B.BIN", 0, a.data(), a.size()));
        ASSERT_EQ(0, Volume->Verify());
    }
    // FAT12 entry n of both FAT copies.
    void SetFat12(uint32_t n, uint32_t value)
    {
        auto bytes = ReadWholeFile(Image);
        FatGeometry g;
        ASSERT_EQ(0, ParseBootSector(bytes.data(), bytes.size(), bytes.size(), &g));
        for (uint32_t copy = 0; copy < g.FatCount; ++copy) {
            size_t off = (g.ReservedSectors + copy * g.SectorsPerFat) * g.BytesPerSector + n + n / 2;
            uint32_t w = bytes[off] | (bytes[off + 1] << 8);
            w = (n & 1) ? ((w & 0x000F) | (value << 4)) : ((w & 0xF000) | (value & 0xFFF));
            bytes[off] = static_cast<uint8_t>(w);
            bytes[off + 1] = static_cast<uint8_t>(w >> 8);
        }
        ASSERT_TRUE(WriteWholeFile(Image, bytes));
    }
};

TEST_F(DamagedImageTest, LoopingChainGivesEioAndWritesNothing)
{
    SetFat12(4, 2);  // A.BIN is clusters 2, 3, 4: point its end back at its start
    auto before = ReadWholeFile(Image);
    EXPECT_EQ(-EIO, Volume->Verify());
    std::vector<uint8_t> got;
    // The file's own 1500 bytes lie before the loop; whatever would follow
    // the chain to its end refuses.
    EXPECT_EQ(1500, Volume->Read("/A.BIN", 0, 4096, &got));
    EXPECT_EQ(-EIO, Volume->Write("/A.BIN", 0, reinterpret_cast<const uint8_t*>("x"), 1));
    EXPECT_EQ(-EIO, Volume->Resize("/A.BIN", 0));
    EXPECT_EQ(-EIO, Volume->RemoveFile("/A.BIN"));
    EXPECT_EQ(before, ReadWholeFile(Image));
}

TEST_F(DamagedImageTest, LoopInsideTheFileIsNotReadAsData)
{
    SetFat12(3, 2);  // 2 -> 3 -> 2 ...: the third cluster of A.BIN would be its first again
    std::vector<uint8_t> got;
    EXPECT_EQ(-EIO, Volume->Read("/A.BIN", 0, 4096, &got));
    EXPECT_EQ(512, Volume->Read("/A.BIN", 0, 512, &got)) << "the sound start still reads";
}

TEST_F(DamagedImageTest, CrossLinkedClustersAreFound)
{
    SetFat12(6, 3);  // B.BIN (5, 6, 7) now runs into A.BIN's cluster 3
    EXPECT_EQ(-EIO, Volume->Verify());
}

TEST_F(DamagedImageTest, ChainShorterThanTheFileGivesEio)
{
    SetFat12(3, 0xFFF);  // A.BIN claims 1500 bytes on one cluster
    std::vector<uint8_t> got;
    EXPECT_EQ(-EIO, Volume->Read("/A.BIN", 0, 4096, &got));
    EXPECT_EQ(-EIO, Volume->Verify());
}

TEST_F(DamagedImageTest, ClusterOutOfRangeGivesEio)
{
    SetFat12(2, 0xF00);
    std::vector<uint8_t> got;
    EXPECT_EQ(-EIO, Volume->Read("/A.BIN", 0, 4096, &got));
}

// ---- names ----

TEST(FatNames, ShortNamesFollowTheLongName)
{
    bool lfn = false;
    EXPECT_EQ("MYSONG~1MP3", MakeShortName("my song.mp3", {}, &lfn));
    EXPECT_TRUE(lfn);
    EXPECT_EQ("README  TXT", MakeShortName("README.TXT", {}, &lfn));
    EXPECT_FALSE(lfn);
    EXPECT_EQ("README~1TXT", MakeShortName("README.TXT", {"README  TXT"}, &lfn));
    EXPECT_TRUE(lfn);
    EXPECT_EQ("LONGFI~1MP3", MakeShortName("Long file name.mp3", {}, &lfn));
    EXPECT_EQ("LONGFI~2MP3", MakeShortName("Long file name two.mp3", {"LONGFI~1MP3"}, &lfn));
    EXPECT_EQ("A_B~1   TXT", MakeShortName("a+b.txt", {}, &lfn));
    EXPECT_EQ("XY~1    Z  ", MakeShortName("x.y.z", {}, &lfn));
}

TEST(FatNames, BadNamesAreRefused)
{
    EXPECT_EQ(-EINVAL, CheckLongName("a:b"));
    EXPECT_EQ(-EINVAL, CheckLongName("what?"));
    EXPECT_EQ(-EINVAL, CheckLongName("trailing."));
    EXPECT_EQ(-EINVAL, CheckLongName(".."));
    EXPECT_EQ(-ENAMETOOLONG, CheckLongName(std::string(256, 'a')));
    EXPECT_EQ(0, CheckLongName(std::string(255, 'a')));
    EXPECT_EQ(0, CheckLongName("Ünïcode song.mp3"));
}

}  // namespace
