#include "QuickFormat.h"

#include <string.h>

#include "FlashPage.h"
#include "MediaPackets.h"

namespace qvmp3 {

namespace {

struct Row {
    uint8_t ClusterSectors, SectorsPerFat, TrackSectors, Heads, BootSector;
    uint32_t FixedTotal;
    uint16_t LastSector;
    uint8_t EndHead, EndSectorByte, EndCylinderByte;
};

const Row ROWS[MEDIA_INDEX_COUNT] = {
    {8, 1, 4, 4, 13, 1987, 31, 3, 0x04, 124},
    {8, 2, 8, 4, 11, 3989, 31, 3, 0x08, 124},
    {16, 2, 8, 4, 27, 7973, 47, 3, 0x08, 249},
    {16, 3, 16, 4, 25, 15975, 63, 3, 0x10, 249},
    {32, 3, 16, 4, 41, 31959, 95, 3, 0x50, 243},
    {32, 6, 16, 8, 35, 63965, 95, 7, 0x50, 243},
    {32, 9, 16, 8, 61, 95939, 127, 7, 0x90, 237},
    {32, 12, 32, 8, 55, 127945, 127, 7, 0x60, 243},
    {32, 20, 32, 8, 39, 159961, 127, 7, 0xA0, 112},
    {32, 24, 32, 8, 63, 191937, 160, 7, 0xA0, 237},
    {32, 28, 32, 8, 55, 223945, 160, 7, 0xE0, 106},
    {32, 32, 32, 16, 47, 255953, 127, 15, 0x60, 243},
    {32, 36, 16, 16, 39, 287961, 160, 15, 0xA0, 49},
    {32, 40, 32, 16, 63, 319937, 192, 15, 0xA0, 112},
    {32, 43, 32, 16, 57, 351687, 192, 15, 0xA0, 174},
    {32, 47, 32, 16, 49, 383951, 192, 15, 0xA0, 237},
    {32, 51, 32, 16, 41, 415703, 192, 15, 0xE0, 43},
    {32, 55, 32, 16, 33, 447967, 192, 15, 0xE0, 106},
    {32, 59, 32, 16, 57, 479687, 224, 15, 0xE0, 168},
    {32, 63, 32, 16, 49, 511951, 224, 15, 0xE0, 231},
    {32, 67, 32, 16, 41, 543703, 224, 15, 0xE0, 37},
    {32, 71, 32, 32, 33, 575967, 224, 31, 0xA0, 49},
    {32, 75, 32, 32, 57, 607175, 256, 31, 0xA0, 80},
    {32, 79, 32, 32, 49, 639951, 256, 31, 0xA0, 112},
    {32, 82, 32, 32, 43, 671701, 256, 31, 0xA0, 143},
    {32, 86, 32, 32, 35, 703453, 256, 31, 0xA0, 174},
    {32, 90, 32, 32, 59, 735173, 288, 31, 0xA0, 205},
    {32, 94, 32, 32, 51, 767949, 288, 31, 0xA0, 237},
    {32, 98, 32, 32, 43, 799701, 288, 31, 0xE0, 12},
    {32, 102, 32, 32, 35, 831453, 288, 31, 0xE0, 43},
    {32, 106, 32, 32, 59, 863173, 320, 31, 0xE0, 74},
    {32, 110, 32, 32, 51, 895949, 320, 31, 0xE0, 106},
    {32, 114, 32, 32, 43, 927701, 320, 31, 0xE0, 137},
    {32, 118, 32, 32, 35, 959453, 320, 31, 0xE0, 168},
    {32, 121, 32, 32, 61, 991171, 352, 31, 0xE0, 199},
    {32, 125, 32, 32, 53, 1023947, 352, 31, 0xE0, 231},
};

const uint8_t CARD_INFO[112] = {
    0x01, 0x03, 0xD9, 0x01, 0xFF, 0x18, 0x02, 0xDF, 0x01, 0x20, 0x04, 0x00, 0x00, 0x00, 0x00, 0x21,
    0x02, 0x04, 0x01, 0x22, 0x02, 0x01, 0x01, 0x22, 0x03, 0x02, 0x04, 0x07, 0x1A, 0x05, 0x01, 0x03,
    0x00, 0x02, 0x0F, 0x1B, 0x08, 0xC0, 0xC0, 0xA1, 0x01, 0x55, 0x08, 0x00, 0x20, 0x1B, 0x0A, 0xC1,
    0x41, 0x99, 0x01, 0x55, 0x64, 0xF0, 0xFF, 0xFF, 0x20, 0x1B, 0x0C, 0x82, 0x41, 0x18, 0xEA, 0x61,
    0xF0, 0x01, 0x07, 0xF6, 0x03, 0x01, 0xEE, 0x1B, 0x0C, 0x83, 0x41, 0x18, 0xEA, 0x61, 0x70, 0x01,
    0x07, 0x76, 0x03, 0x01, 0xEE, 0x15, 0x14, 0x05, 0x00, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x00, 0x20, 0x20, 0x20, 0x20, 0x00, 0x30, 0x2E, 0x30, 0x00, 0xFF, 0x14, 0x00, 0xFF, 0x00, 0x00,
};

constexpr uint32_t ROOT_SECTORS = 16;

} // namespace

bool PlanQuickFormat(uint32_t index, int mode, uint32_t registryReserved, uint32_t reservedFound,
                     DiskLayout* layout)
{
    MediaGeometry geometry;
    if (!GeometryOf(index, &geometry))
        return false;
    const Row& row = ROWS[index];
    DiskLayout plan = {row.ClusterSectors, row.SectorsPerFat, row.TrackSectors, row.Heads, row.BootSector,
                       row.FixedTotal, row.LastSector, row.EndHead, row.EndSectorByte, row.EndCylinderByte,
                       index >= 8};
    const uint64_t pages = geometry.PagesPerBlock;
    uint64_t total;
    if (index <= 2) {
        total = row.FixedTotal;
    } else if (mode != 0) {
        uint64_t reserve = pages * registryReserved;
        if (reserve >= row.FixedTotal)
            return false;
        total = row.FixedTotal - reserve;
    } else {
        if (reservedFound >= geometry.LogicalBlocks)
            return false;
        uint64_t sectors = (geometry.LogicalBlocks - reservedFound) * pages * (geometry.PageData / 512);
        if (sectors <= plan.BootSector)
            return false;
        total = sectors - plan.BootSector;
    }
    // Index 1 and 2 give more sectors than their logical blocks hold: the disk
    // never claims more than the media has.
    uint64_t media = static_cast<uint64_t>(geometry.LogicalBlocks) * pages;
    if (media <= plan.BootSector)
        return false;
    if (total > media - plan.BootSector)
        total = media - plan.BootSector;
    uint64_t system = 1 + 2 * plan.SectorsPerFat + ROOT_SECTORS;
    if (total <= system)
        return false;
    // The table's FAT size does not always hold an entry for every cluster
    // of the total (index 24 with no reserve, for one): the disk then ends
    // where its FATs end.
    const uint64_t entries = plan.Fat16 ? plan.SectorsPerFat * 512ull / 2 : plan.SectorsPerFat * 512ull * 2 / 3;
    const uint64_t maxClusters = entries - 2;
    uint64_t clusters = (total - system) / plan.ClusterSectors;
    if (clusters > maxClusters) {
        clusters = maxClusters;
        total = system + clusters * plan.ClusterSectors;
    }
    bool typeFits = plan.Fat16 ? clusters >= 4085 && clusters <= 65524 : clusters >= 1 && clusters < 4085;
    if (!typeFits)
        return false;
    if (plan.LastSector >= plan.BootSector + total)
        return false;
    plan.Total = static_cast<uint32_t>(total);
    *layout = plan;
    return true;
}

void CardInfoPage(uint8_t (&page)[512])
{
    memset(page, 0, sizeof page);
    memcpy(page, CARD_INFO, sizeof CARD_INFO);
    memcpy(page + 256, CARD_INFO, sizeof CARD_INFO);
}

void DiskSector(const DiskLayout& layout, uint32_t sector, uint8_t (&data)[512])
{
    memset(data, 0, sizeof data);
    const uint32_t b = layout.BootSector;
    if (sector == 0) {
        data[446] = 0x80;
        data[447] = static_cast<uint8_t>((b / layout.TrackSectors) % layout.Heads);
        data[448] = static_cast<uint8_t>(b % layout.TrackSectors + 1);
        data[449] = 0;
        data[450] = layout.Fat16 ? 6 : 1;
        data[451] = layout.EndHead;
        data[452] = layout.EndSectorByte;
        data[453] = layout.EndCylinderByte;
        PutLe(data + 454, b, 4);
        PutLe(data + 458, layout.Total, 4);
        data[510] = 0x55;
        data[511] = 0xAA;
    } else if (sector == b) {
        data[0] = 0xE9;
        memset(data + 3, ' ', 8);
        PutLe(data + 11, 512, 2);
        data[13] = static_cast<uint8_t>(layout.ClusterSectors);
        PutLe(data + 14, 1, 2);
        data[16] = 2;
        PutLe(data + 17, 256, 2);
        data[21] = 0xF8;
        PutLe(data + 22, layout.SectorsPerFat, 2);
        PutLe(data + 24, layout.TrackSectors, 2);
        PutLe(data + 26, layout.Heads, 2);
        PutLe(data + 28, b, 4);
        // The 16-bit total serves the small media (index 0 to 5), the 32-bit one the rest.
        if (!layout.Fat16 && layout.FixedTotal < 0x10000)
            PutLe(data + 19, layout.Total, 2);
        else
            PutLe(data + 32, layout.Total, 4);
        memcpy(data + 54, layout.Fat16 ? "FAT16   " : "FAT12   ", 8);
        data[510] = 0x55;
        data[511] = 0xAA;
    } else if (sector == b + 1 || sector == b + 1 + layout.SectorsPerFat) {
        data[0] = 0xF8;
        data[1] = 0xFF;
        data[2] = 0xFF;
        data[3] = layout.Fat16 ? 0xFF : 0x00;
    }
}

namespace {

bool TakeFreeBlock(std::vector<uint8_t>& table, uint8_t mark, uint32_t* block)
{
    for (uint32_t b = 0; b < table.size(); b++) {
        if (table[b] == BLOCK_FREE) {
            table[b] = mark;
            *block = b;
            return true;
        }
    }
    return false;
}

} // namespace

bool QuickFormatDisk(IFlashPageIo& io, const MediaGeometry& geometry, const DiskLayout& layout,
                     std::vector<uint8_t>& table, uint32_t* cardInfoBlock)
{
    const uint32_t pages = geometry.PagesPerBlock;
    // The card information block: the first block that is already one or free.
    uint32_t card = 0;
    while (card < table.size() && table[card] != BLOCK_CARD_INFO && table[card] != BLOCK_FREE)
        card++;
    if (card >= table.size())
        return false;
    table[card] = BLOCK_CARD_INFO;
    *cardInfoBlock = card;
    bool erased = false;
    if (!io.EraseBlock(card, &erased) || !erased)
        return false;
    io.AddProgress(1.0);
    uint8_t data[512];
    CardInfoPage(data);
    if (!io.WritePage(card, 0, data, NO_BLOCK_ADDRESS))
        return false;
    io.AddProgress(1.0);

    std::vector<uint8_t> readBack(PAGE_WITH_SPARE);
    uint32_t physical = 0;
    for (uint32_t s = 0; s <= layout.LastSector;) {
        const uint32_t page = s % pages;
        const uint32_t logical = s / pages;
        if (page == 0 && !TakeFreeBlock(table, BLOCK_DISK, &physical))
            return false;
        DiskSector(layout, s, data);
        if (!io.WritePage(physical, page, data, static_cast<uint16_t>(logical)))
            return false;
        if (!io.ReadPage(physical, page, readBack.data()))
            return false;
        if (memcmp(readBack.data(), data, sizeof data) != 0) {
            // Retire the block for good and write the logical block again
            // from its first sector into the next free block.
            bool ok = io.EraseBlock(physical, &erased);
            table[physical] = BLOCK_BAD;
            if (ok && !erased)
                return false;
            if (!io.WriteZeroBlock(physical))
                return false;
            s = logical * pages;
            continue;
        }
        io.AddProgress(100.0 / (layout.LastSector + 2));
        s++;
    }
    return true;
}

} // namespace qvmp3
