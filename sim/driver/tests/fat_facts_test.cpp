// The FAT facts behind the volume queries, on images built here byte by
// byte: the kind by cluster count, free clusters in FAT12's packed entries,
// where the label comes from, the FAT32 root chain, and boot sectors that do
// not describe a volume the image holds.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "FatFacts.h"

using namespace vilosim;

namespace {

struct Image {
    std::vector<uint8_t> bytes;
    uint32_t reserved = 1, fats = 2, rootEntries = 512, spc = 1, fatSectors = 0, kind = 16;
    uint64_t sectors = 0;

    void Put16(uint64_t at, uint32_t v) { bytes[at] = uint8_t(v); bytes[at + 1] = uint8_t(v >> 8); }
    void Put32(uint64_t at, uint32_t v) { Put16(at, v & 0xFFFF); Put16(at + 2, v >> 16); }
    uint64_t RootAt() const { return uint64_t(reserved + fats * fatSectors) * 512; }
    uint64_t DataAt() const { return RootAt() + uint64_t(rootEntries) * 32; }
    uint64_t ClusterAt(uint32_t cluster) const { return DataAt() + uint64_t(cluster - 2) * spc * 512; }

    // Sets a FAT entry in the first FAT, packed as the kind packs it.
    void SetEntry(uint32_t cluster, uint32_t value)
    {
        uint64_t fat = uint64_t(reserved) * 512;
        if (kind == 12) {
            uint64_t at = fat + cluster + cluster / 2;
            uint32_t old = bytes[at] | bytes[at + 1] << 8;
            uint32_t packed = cluster & 1 ? (old & 0x000F) | value << 4 : (old & 0xF000) | (value & 0xFFF);
            Put16(at, packed);
        } else if (kind == 16) {
            Put16(fat + cluster * 2, value);
        } else {
            Put32(fat + cluster * 4, value);
        }
    }
    void SetDirEntry(uint64_t at, const char* name11, uint8_t attributes)
    {
        memcpy(&bytes[at], name11, 11);
        bytes[at + 11] = attributes;
    }
};

// A volume of the given kind; the BPB's label is "BOOTLABEL".
Image MakeImage(uint32_t kind, uint64_t sectors, uint32_t spc)
{
    Image image;
    image.kind = kind;
    image.sectors = sectors;
    image.spc = spc;
    if (kind == 32) {
        image.reserved = 32;
        image.rootEntries = 0;
    }
    uint32_t bits = kind;
    uint64_t clustersGuess = sectors / spc;
    image.fatSectors = uint32_t(((clustersGuess + 2) * bits / 8 + 511) / 512);
    image.bytes.assign(sectors * 512, 0);
    uint8_t* b = image.bytes.data();
    b[0] = 0xEB;
    image.Put16(11, 512);
    b[13] = uint8_t(spc);
    image.Put16(14, image.reserved);
    b[16] = uint8_t(image.fats);
    image.Put16(17, image.rootEntries);
    if (sectors < 65536 && kind != 32)
        image.Put16(19, uint32_t(sectors));
    else
        image.Put32(32, uint32_t(sectors));
    b[21] = 0xF8;
    uint32_t ext = 36;
    if (kind == 32) {
        image.Put32(36, image.fatSectors);
        image.Put32(44, 2); // root cluster
        ext = 64;
    } else {
        image.Put16(22, image.fatSectors);
    }
    b[ext + 2] = 0x29;
    image.Put32(ext + 3, 0x1234ABCD);
    memcpy(b + ext + 7, "BOOTLABEL  ", 11);
    image.SetEntry(0, 0xFFFFFF8);
    image.SetEntry(1, 0xFFFFFFF);
    if (kind == 32)
        image.SetEntry(2, 0x0FFFFFFF); // the root directory's one cluster
    return image;
}

bool ReadFrom(void* context, uint64_t offset, uint8_t* buffer, uint32_t bytes)
{
    auto* image = static_cast<std::vector<uint8_t>*>(context);
    if (offset > image->size() || bytes > image->size() - offset)
        return false;
    memcpy(buffer, image->data() + offset, bytes);
    return true;
}

bool Read(Image& image, FatFacts* facts, uint64_t imageBytes = 0)
{
    std::vector<uint8_t> scratch(FAT_SCRATCH_BYTES);
    return ReadFatFacts(ReadFrom, &image.bytes, imageBytes ? imageBytes : image.bytes.size(), scratch.data(), facts);
}

uint64_t Clusters(const Image& image)
{
    uint64_t data = image.reserved + uint64_t(image.fats) * image.fatSectors + image.rootEntries * 32 / 512;
    return (image.sectors - data) / image.spc;
}

} // namespace

TEST(FatFacts, KindFollowsTheClusterCount)
{
    struct Case {
        uint32_t kind;
        uint64_t sectors;
        uint32_t spc;
    } const cases[] = {{12, 4096, 2}, {16, 16384, 1}, {16, 200000, 4}, {32, 140000, 1}};
    for (const Case& c : cases) {
        Image image = MakeImage(c.kind, c.sectors, c.spc);
        FatFacts facts;
        ASSERT_TRUE(Read(image, &facts)) << c.kind << " " << c.sectors;
        EXPECT_EQ(facts.Kind, c.kind) << c.sectors;
        EXPECT_EQ(facts.TotalClusters, Clusters(image)) << c.sectors;
        uint64_t used = c.kind == 32 ? 1 : 0;
        EXPECT_EQ(facts.FreeClusters, facts.TotalClusters - used) << c.sectors;
        EXPECT_EQ(facts.Serial, 0x1234ABCDu);
        EXPECT_EQ(facts.SectorsPerCluster, c.spc);
        EXPECT_EQ(facts.BytesPerSector, 512u);
    }
}

TEST(FatFacts, UsedClustersAreCountedInEveryKindsPacking)
{
    for (uint32_t kind : {12u, 16u, 32u}) {
        Image image = MakeImage(kind, kind == 12 ? 4096 : kind == 16 ? 40000 : 140000, kind == 16 ? 2 : 1);
        FatFacts before;
        ASSERT_TRUE(Read(image, &before));
        // Odd and even FAT12 neighbours, and entries in the FAT's last chunk.
        uint64_t last = before.TotalClusters + 1;
        uint32_t used[] = {3, 4, 5, 1000, uint32_t(last - 1), uint32_t(last)};
        for (uint32_t cluster : used)
            image.SetEntry(cluster, kind == 12 ? 0xFFF : kind == 16 ? 0xFFFF : 0x0FFFFFFF);
        // A FAT32 entry's top four bits are not part of it.
        if (kind == 32)
            image.SetEntry(7, 0xF0000000);
        FatFacts after;
        ASSERT_TRUE(Read(image, &after));
        EXPECT_EQ(after.FreeClusters, before.FreeClusters - 6) << "FAT" << kind;
        // Entries past the last cluster are not the volume's.
        image.SetEntry(uint32_t(last + 1), 0xFFF);
        ASSERT_TRUE(Read(image, &after));
        EXPECT_EQ(after.FreeClusters, before.FreeClusters - 6) << "FAT" << kind;
    }
}

TEST(FatFacts, LabelComesFromTheRootDirectoryBeforeTheBootRecord)
{
    Image image = MakeImage(16, 16384, 1);
    FatFacts facts;
    ASSERT_TRUE(Read(image, &facts));
    EXPECT_STREQ(facts.Label, "BOOTLABEL");

    uint64_t root = image.RootAt();
    image.SetDirEntry(root, "OLD        ", 0x08);
    image.bytes[root] = 0xE5;                             // a deleted label
    image.SetDirEntry(root + 32, "A\0B\0C\0D\0E\0F", 0x0F); // a long-name part
    image.SetDirEntry(root + 64, "MUSIC      ", 0x10);    // a folder
    image.SetDirEntry(root + 96, "MY LARK    ", 0x08 | 0x20);
    ASSERT_TRUE(Read(image, &facts));
    EXPECT_STREQ(facts.Label, "MY LARK");

    // The label after the directory's end marker is not read.
    image.bytes[root + 64] = 0;
    ASSERT_TRUE(Read(image, &facts));
    EXPECT_STREQ(facts.Label, "BOOTLABEL");

    // "NO NAME" in the boot record is no label.
    memcpy(&image.bytes[36 + 7], "NO NAME    ", 11);
    ASSERT_TRUE(Read(image, &facts));
    EXPECT_STREQ(facts.Label, "");
}

TEST(FatFacts, Fat32RootChainIsFollowedAndALoopEndsIt)
{
    Image image = MakeImage(32, 140000, 1);
    // The root directory: cluster 2, then 9; the label in the second.
    image.SetEntry(2, 9);
    image.SetEntry(9, 0x0FFFFFFF);
    for (uint64_t at = image.ClusterAt(2); at < image.ClusterAt(3); at += 32)
        image.SetDirEntry(at, "FILE    TXT", 0x20);
    image.SetDirEntry(image.ClusterAt(9), "CHAINED    ", 0x08);
    FatFacts facts;
    ASSERT_TRUE(Read(image, &facts));
    EXPECT_STREQ(facts.Label, "CHAINED");

    // 9 points back at 2: the search ends without a directory label.
    image.SetEntry(9, 2);
    image.bytes[image.ClusterAt(9)] = 0xE5;
    ASSERT_TRUE(Read(image, &facts));
    EXPECT_STREQ(facts.Label, "BOOTLABEL");
}

TEST(FatFacts, BootSectorsThatDescribeNoVolumeHereAreRefused)
{
    struct Case {
        const char* what;
        void (*spoil)(Image&);
    } const cases[] = {
        {"sector size 0", [](Image& i) { i.Put16(11, 0); }},
        {"sector size 768", [](Image& i) { i.Put16(11, 768); }},
        {"3 sectors per cluster", [](Image& i) { i.bytes[13] = 3; }},
        {"no reserved sector", [](Image& i) { i.Put16(14, 0); }},
        {"no FAT", [](Image& i) { i.bytes[16] = 0; }},
        {"FAT of no sectors", [](Image& i) { i.Put16(22, 0); }},
        {"more sectors than the image", [](Image& i) { i.Put16(19, 16385); }},
        {"FAT too small for the clusters", [](Image& i) { i.Put16(22, 2); }},
        {"metadata past the end", [](Image& i) { i.Put16(14, 16300); }},
    };
    for (const Case& c : cases) {
        Image image = MakeImage(16, 16384, 1);
        FatFacts facts;
        ASSERT_TRUE(Read(image, &facts)) << c.what;
        c.spoil(image);
        EXPECT_FALSE(Read(image, &facts)) << c.what;
    }
    // Too short to hold a boot sector, or a read that fails.
    Image image = MakeImage(12, 4096, 1);
    FatFacts facts;
    EXPECT_FALSE(Read(image, &facts, 100));
    image.bytes.resize(image.RootAt() - 1);
    EXPECT_FALSE(Read(image, &facts, 4096 * 512));
}
