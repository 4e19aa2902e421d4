// The flash quick format over an in-memory flash: for every media index the
// logical disk, cut out of the page image by this test's own reader (block
// address fields, not the format's table), passes fsck.fat -n and mdir.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "FlashPage.h"
#include "fsck_check.h"
#include "QuickFormat.h"

using namespace qvmp3;

namespace {

// A flash memory: erase sets a block to 0xFF, programming can only clear bits.
class CMemoryFlash : public IFlashPageIo {
public:
    explicit CMemoryFlash(const MediaGeometry& geometry) : m_geometry(geometry) {}
    bool EraseBlock(uint32_t block, bool* erased) override
    {
        Log.push_back("erase " + std::to_string(block));
        *erased = block != FailErase;
        for (uint32_t p = 0; p < m_geometry.PagesPerBlock; p++)
            m_pages.erase(block * m_geometry.PagesPerBlock + p);
        return true;
    }
    bool WritePage(uint32_t block, uint32_t page, const uint8_t* data, uint16_t logicalBlock) override
    {
        Log.push_back("write " + std::to_string(block) + "." + std::to_string(page));
        uint8_t spare[SPARE_BYTES];
        DataPageSpare(data, logicalBlock, IsSmallMedia(m_geometry.Index), spare);
        std::vector<uint8_t>& stored = Page(block, page);
        for (uint32_t i = 0; i < PAGE_BYTES; i++)
            stored[i] &= data[i];
        for (uint32_t i = 0; i < SPARE_BYTES; i++)
            stored[PAGE_BYTES + i] &= spare[i];
        return true;
    }
    bool ReadPage(uint32_t block, uint32_t page, uint8_t* out) override
    {
        const std::vector<uint8_t>& stored = Page(block, page);
        memcpy(out, stored.data(), PAGE_WITH_SPARE);
        if (block == CorruptBlock && page == CorruptPage && CorruptReads > 0) {
            CorruptReads--;
            out[17] ^= 0x40;
        }
        return true;
    }
    bool WriteZeroBlock(uint32_t block) override
    {
        Log.push_back("zero " + std::to_string(block));
        for (uint32_t p = 0; p < m_geometry.PagesPerBlock; p++)
            std::fill(Page(block, p).begin(), Page(block, p).end(), 0);
        return true;
    }
    void AddProgress(double delta) override { Percent += delta; }

    std::vector<uint8_t>& Page(uint32_t block, uint32_t page)
    {
        auto& stored = m_pages[block * m_geometry.PagesPerBlock + page];
        if (stored.empty())
            stored.assign(PAGE_WITH_SPARE, 0xFF);
        return stored;
    }
    // This test's own reading of the disk: the block address field of page 0
    // tells which logical block a physical block holds.
    std::map<uint32_t, uint32_t> LogicalBlocks()
    {
        std::map<uint32_t, uint32_t> found;
        for (uint32_t block = 0; block < m_geometry.PhysicalBlocks; block++) {
            auto it = m_pages.find(block * m_geometry.PagesPerBlock);
            if (it == m_pages.end())
                continue;
            const uint8_t* spare = it->second.data() + PAGE_BYTES;
            uint16_t logical;
            if (spare[5] == 0xFF && ParseBlockAddressField(spare + 6, &logical) && logical != 0x3FF)
                found[logical] = block;
        }
        return found;
    }

    uint32_t FailErase = 0xFFFFFFFF;
    uint32_t CorruptBlock = 0xFFFFFFFF, CorruptPage = 0, CorruptReads = 0;
    double Percent = 0;
    std::vector<std::string> Log;

private:
    MediaGeometry m_geometry;
    std::map<uint32_t, std::vector<uint8_t>> m_pages;
};

uint32_t Le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Formatted {
    MediaGeometry Geometry;
    DiskLayout Layout;
    std::vector<uint8_t> Table;
    uint32_t CardInfo = 0;
};

bool Format(CMemoryFlash& flash, uint32_t index, int mode, uint32_t reserved, uint32_t found, Formatted* out)
{
    if (!GeometryOf(index, &out->Geometry) || !PlanQuickFormat(index, mode, reserved, found, &out->Layout))
        return false;
    out->Table.assign(out->Geometry.PhysicalBlocks, BLOCK_FREE);
    return QuickFormatDisk(flash, out->Geometry, out->Layout, out->Table, &out->CardInfo);
}

// Reads logical sector s back through the block address fields.
std::vector<uint8_t> ReadSector(CMemoryFlash& flash, const std::map<uint32_t, uint32_t>& blocks, uint32_t pages,
                                uint32_t sector)
{
    auto it = blocks.find(sector / pages);
    if (it == blocks.end())
        return std::vector<uint8_t>(512, 0);
    std::vector<uint8_t>& page = flash.Page(it->second, sector % pages);
    return std::vector<uint8_t>(page.begin(), page.begin() + 512);
}

} // namespace

TEST(QuickFormat, EveryMediaIndexGivesADiskFsckAndMdirAccept)
{
    char folder[] = "/tmp/qvmp3-qf.XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    for (uint32_t index = 0; index < MEDIA_INDEX_COUNT; index++) {
        SCOPED_TRACE("media index " + std::to_string(index));
        MediaGeometry geometry;
        ASSERT_TRUE(GeometryOf(index, &geometry));
        CMemoryFlash flash(geometry);
        Formatted disk;
        ASSERT_TRUE(Format(flash, index, 0, 0, 0, &disk));
        const DiskLayout& layout = disk.Layout;
        const uint32_t pages = geometry.PagesPerBlock;
        std::map<uint32_t, uint32_t> blocks = flash.LogicalBlocks();
        ASSERT_EQ(blocks.size(), layout.LastSector / pages + 1);

        // The partition entry names the boot sector and the total.
        std::vector<uint8_t> mbr = ReadSector(flash, blocks, pages, 0);
        EXPECT_EQ(mbr[510], 0x55);
        EXPECT_EQ(mbr[450], index >= 8 ? 6 : 1);
        ASSERT_EQ(Le32(&mbr[454]), layout.BootSector);
        const uint32_t total = Le32(&mbr[458]);
        EXPECT_EQ(total, layout.Total);
        // Never past the media's logical blocks.
        EXPECT_LE(static_cast<uint64_t>(layout.BootSector) + total,
                  static_cast<uint64_t>(geometry.LogicalBlocks) * pages);

        // Cut the partition out into a sparse file.
        std::string path = std::string(folder) + "/disk" + std::to_string(index) + ".img";
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_TRUE(file);
        for (uint32_t s = layout.BootSector; s <= layout.LastSector; s++) {
            std::vector<uint8_t> sector = ReadSector(flash, blocks, pages, s);
            fseek(file, static_cast<long>(s - layout.BootSector) * 512, SEEK_SET);
            fwrite(sector.data(), 1, 512, file);
        }
        ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(total) * 512), 0);
        fclose(file);
        std::string output;
        EXPECT_TRUE(FsckClean(path, &output)) << output;
        EXPECT_EQ(RunTool("MTOOLS_SKIP_CHECK=1 mdir -i " + path + " ::/", &output), 0) << output;
        EXPECT_NE(output.find("No files"), std::string::npos) << output;
        unlink(path.c_str());
    }
    rmdir(folder);
}

TEST(QuickFormat, IndexZeroTakesFourBlocksWithTheBootSectorAt13)
{
    MediaGeometry geometry;
    ASSERT_TRUE(GeometryOf(0, &geometry));
    CMemoryFlash flash(geometry);
    Formatted disk;
    ASSERT_TRUE(Format(flash, 0, 0, 0, 0, &disk));
    EXPECT_EQ(disk.CardInfo, 0u);
    const std::vector<uint8_t> head(disk.Table.begin(), disk.Table.begin() + 6);
    const std::vector<uint8_t> expected = {BLOCK_CARD_INFO, BLOCK_DISK, BLOCK_DISK, BLOCK_DISK, BLOCK_DISK, 0xFF};
    EXPECT_EQ(head, expected);
    std::map<uint32_t, uint32_t> blocks = flash.LogicalBlocks();
    std::vector<uint8_t> boot = ReadSector(flash, blocks, 8, 13);
    EXPECT_EQ(boot[0], 0xE9);
    EXPECT_EQ(boot[13], 8);
    EXPECT_EQ(boot[22], 1);
    EXPECT_EQ(boot[19] | boot[20] << 8, 1987);
    EXPECT_EQ(ReadSector(flash, blocks, 8, 14)[0], 0xF8);
    EXPECT_EQ(ReadSector(flash, blocks, 8, 15)[0], 0xF8);
    EXPECT_EQ(ReadSector(flash, blocks, 8, 15)[3], 0x00);
    // The card information page: two copies of the 112 bytes, no block address.
    std::vector<uint8_t>& card = flash.Page(0, 0);
    EXPECT_EQ(card[0], 0x01);
    EXPECT_EQ(card[256 + 2], 0xD9);
    EXPECT_EQ(card[112], 0);
    EXPECT_EQ(card[512 + 6], 0x17);
    EXPECT_EQ(card[512 + 7], 0xFF);
    EXPECT_NEAR(flash.Percent, 2 + 32 * 100.0 / 33, 1e-6);
}

TEST(QuickFormat, TotalsFollowTheModeAndTheReserves)
{
    struct Case {
        uint32_t Index;
        int Mode;
        uint32_t Reserved, Found;
        bool Ok;
        uint32_t Total;
    } cases[] = {
        {3, 1, 64, 0, true, 14951},       // 15975 - 16 * 64
        {9, 0, 0, 40, true, 190657},      // 5960 * 32 - 63
        {0, 1, 100, 100, true, 1987},     // fixed whatever the mode
        {2, 0, 0, 0, true, 2000 - 27},    // the table's 7973 would pass the media's 250 logical blocks
        {3, 1, 1000, 0, false, 0},        // the reserve swallows the disk
        {3, 0, 0, 1000, false, 0},
        {9, 0, 0, 2000, false, 0},        // too few clusters left for FAT16
    };
    for (const Case& c : cases) {
        DiskLayout layout;
        bool ok = PlanQuickFormat(c.Index, c.Mode, c.Reserved, c.Found, &layout);
        EXPECT_EQ(ok, c.Ok) << c.Index << " " << c.Mode;
        if (ok && c.Ok)
            EXPECT_EQ(layout.Total, c.Total) << c.Index;
    }
    DiskLayout layout;
    ASSERT_TRUE(PlanQuickFormat(9, 0, 0, 40, &layout));
    uint8_t sector[512];
    DiskSector(layout, 0, sector);
    EXPECT_EQ(sector[447], 1) << "start head";
    EXPECT_EQ(sector[448], 32) << "start sector";
    DiskSector(layout, layout.BootSector, sector);
    EXPECT_EQ(Le32(sector + 32), 190657u);
    EXPECT_EQ(sector[19] | sector[20], 0);
    ASSERT_TRUE(PlanQuickFormat(8, 0, 0, 0, &layout));
    DiskSector(layout, layout.BootSector, sector);
    EXPECT_EQ(memcmp(sector + 54, "FAT16   ", 8), 0);
    DiskSector(layout, layout.BootSector + 1, sector);
    EXPECT_EQ(sector[3], 0xFF);
}

TEST(QuickFormat, AMismatchRetiresTheBlockAndRewritesTheLogicalBlock)
{
    MediaGeometry geometry;
    ASSERT_TRUE(GeometryOf(3, &geometry));
    CMemoryFlash flash(geometry);
    // Logical block 2 first lands in physical block 3 (block 0 holds the card
    // information); its fifth sector reads back wrong once.
    flash.CorruptBlock = 3;
    flash.CorruptPage = 4;
    flash.CorruptReads = 1;
    Formatted disk;
    ASSERT_TRUE(Format(flash, 3, 0, 0, 0, &disk));
    EXPECT_EQ(disk.Table[3], BLOCK_BAD);
    EXPECT_EQ(disk.Table[4], BLOCK_DISK);
    std::map<uint32_t, uint32_t> blocks = flash.LogicalBlocks();
    EXPECT_EQ(blocks[2], 4u);
    EXPECT_EQ(flash.Page(3, 0)[0], 0) << "the retired block is zeroed";
    EXPECT_EQ(flash.Page(3, 0)[512 + 5], 0);
}

TEST(QuickFormat, TheFirstGoodBlockBecomesTheCardInformationBlock)
{
    MediaGeometry geometry;
    ASSERT_TRUE(GeometryOf(4, &geometry));
    CMemoryFlash flash(geometry);
    DiskLayout layout;
    ASSERT_TRUE(PlanQuickFormat(4, 0, 0, 0, &layout));
    std::vector<uint8_t> table(geometry.PhysicalBlocks, BLOCK_FREE);
    for (int b = 0; b < 5; b++)
        table[b] = BLOCK_BAD;
    uint32_t card = 0;
    ASSERT_TRUE(QuickFormatDisk(flash, geometry, layout, table, &card));
    EXPECT_EQ(card, 5u);
    EXPECT_EQ(flash.LogicalBlocks()[0], 6u);

    // A failed erase status of the card information block fails the step.
    CMemoryFlash failing(geometry);
    failing.FailErase = 0;
    std::vector<uint8_t> fresh(geometry.PhysicalBlocks, BLOCK_FREE);
    EXPECT_FALSE(QuickFormatDisk(failing, geometry, layout, fresh, &card));
    // No free block at all.
    std::vector<uint8_t> none(geometry.PhysicalBlocks, BLOCK_BAD);
    EXPECT_FALSE(QuickFormatDisk(flash, geometry, layout, none, &card));
}
