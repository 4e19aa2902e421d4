// A FAT image made by mkfs.fat, mapped as the player's volume through the
// stand-in driver and changed through raw sectors of \\.\O: only: a root
// entry renamed and a file made by hand (FAT entries in both copies, its
// cluster, its directory entry). fat-through-driver.sh makes the image
// before and checks it with fsck.fat and mtools after.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "SimDriverClient.h"

namespace {

constexpr DWORD SECTOR = 512;
const char RAW_TEXT[] = "written through the player's raw sectors\n";

struct Geometry {
    unsigned sectorsPerCluster = 0;
    unsigned reserved = 0;
    unsigned fats = 0;
    unsigned rootEntries = 0;
    unsigned sectorsPerFat = 0;
    unsigned RootSector() const { return reserved + fats * sectorsPerFat; }
    unsigned RootSectors() const { return rootEntries * 32 / SECTOR; }
    unsigned ClusterSector(unsigned cluster) const { return RootSector() + RootSectors() + (cluster - 2) * sectorsPerCluster; }
};

unsigned Le16(const unsigned char* p) { return p[0] | p[1] << 8; }

struct FatVolume : ::testing::Test {
    void SetUp() override
    {
        const char* image = getenv("VILOSIM_FAT_IMAGE");
        ASSERT_NE(image, nullptr) << "run by fat-through-driver.sh";
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        ASSERT_TRUE(sim.SetImage(image));
        volume = CreateFileA("\\\\.\\O:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    }
    void TearDown() override
    {
        if (volume != INVALID_HANDLE_VALUE)
            CloseHandle(volume);
        sim.SetImage("");
        sim.Reset();
    }
    bool Transfer(bool write, unsigned sector, unsigned char* buffer, unsigned count)
    {
        OVERLAPPED at = {};
        at.Offset = sector * SECTOR;
        DWORD moved = 0;
        BOOL ok = write ? WriteFile(volume, buffer, count * SECTOR, &moved, &at)
                        : ReadFile(volume, buffer, count * SECTOR, &moved, &at);
        return ok && moved == count * SECTOR;
    }
    CSimDriverClient sim;
    HANDLE volume = INVALID_HANDLE_VALUE;
};

} // namespace

TEST_F(FatVolume, RawSectorWritesMakeAConsistentFileSystem)
{
    unsigned char boot[SECTOR];
    ASSERT_TRUE(Transfer(false, 0, boot, 1));
    ASSERT_EQ(boot[510], 0x55);
    ASSERT_EQ(boot[511], 0xAA);
    ASSERT_EQ(Le16(boot + 11), SECTOR);
    Geometry g;
    g.sectorsPerCluster = boot[13];
    g.reserved = Le16(boot + 14);
    g.fats = boot[16];
    g.rootEntries = Le16(boot + 17);
    g.sectorsPerFat = Le16(boot + 22);
    ASSERT_EQ(memcmp(boot + 54, "FAT16   ", 8), 0);
    ASSERT_GT(g.sectorsPerCluster, 0u);

    // The root directory: rename HELLO.TXT, find a free slot.
    std::vector<unsigned char> root(g.RootSectors() * SECTOR);
    ASSERT_TRUE(Transfer(false, g.RootSector(), root.data(), g.RootSectors()));
    int hello = -1, slot = -1;
    for (unsigned i = 0; i < g.rootEntries; i++) {
        unsigned char* e = &root[i * 32];
        if (memcmp(e, "HELLO   TXT", 11) == 0)
            hello = int(i);
        if ((e[0] == 0 || e[0] == 0xE5) && slot < 0)
            slot = int(i);
    }
    ASSERT_GE(hello, 0);
    ASSERT_GE(slot, 0);
    memcpy(&root[hello * 32], "RENAMED TXT", 11);

    // A free cluster, taken in every FAT copy.
    std::vector<unsigned char> fat(g.sectorsPerFat * SECTOR);
    ASSERT_TRUE(Transfer(false, g.reserved, fat.data(), g.sectorsPerFat));
    unsigned cluster = 2;
    while (cluster < fat.size() / 2 && Le16(&fat[cluster * 2]) != 0)
        cluster++;
    ASSERT_LT(cluster, fat.size() / 2);
    fat[cluster * 2] = 0xFF;
    fat[cluster * 2 + 1] = 0xFF;
    for (unsigned copy = 0; copy < g.fats; copy++)
        ASSERT_TRUE(Transfer(true, g.reserved + copy * g.sectorsPerFat, fat.data(), g.sectorsPerFat));

    unsigned char data[SECTOR] = {};
    memcpy(data, RAW_TEXT, sizeof RAW_TEXT - 1);
    ASSERT_TRUE(Transfer(true, g.ClusterSector(cluster), data, 1));

    unsigned char* e = &root[slot * 32];
    memset(e, 0, 32);
    memcpy(e, "RAW     TXT", 11);
    e[11] = 0x20; // archive
    e[26] = static_cast<unsigned char>(cluster);
    e[27] = static_cast<unsigned char>(cluster >> 8);
    e[28] = sizeof RAW_TEXT - 1;
    ASSERT_TRUE(Transfer(true, g.RootSector(), root.data(), g.RootSectors()));

    // Read back through the volume: what was written is there.
    std::vector<unsigned char> again(root.size());
    ASSERT_TRUE(Transfer(false, g.RootSector(), again.data(), g.RootSectors()));
    EXPECT_TRUE(again == root);
}
