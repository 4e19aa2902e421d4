// The flash quick format's logical disk: the card information block, then a
// partition table, a FAT12 or FAT16 boot sector, two FATs and an empty root
// written into free physical blocks of the block table, each page read back.
// It works over a page-I/O seam, so it needs neither a driver nor Windows.
#pragma once

#include <stdint.h>

#include <vector>

#include "MediaGeometry.h"

namespace qvmp3 {

// Block table bytes.
enum : uint8_t {
    BLOCK_BAD = 0,
    BLOCK_DISK = 1,
    BLOCK_CARD_INFO = 2,
    BLOCK_RESERVED = 3,
    BLOCK_FREE = 0xFF,
};

struct DiskLayout {
    uint32_t ClusterSectors;
    uint32_t SectorsPerFat;   // F
    uint32_t TrackSectors;    // S
    uint32_t Heads;           // H
    uint32_t BootSector;      // B, also the hidden sectors
    uint32_t FixedTotal;
    uint32_t LastSector;      // E, the last sector written
    uint8_t EndHead;
    uint8_t EndSectorByte;
    uint8_t EndCylinderByte;
    bool Fat16;               // index 8 and above
    uint32_t Total = 0;       // T, as the media and mode give it
};

// The layout of a media index with its total: fixed for index 0 to 2, the
// fixed total less the registry's reserve (mode nonzero) or the logical blocks
// less the reserved blocks found (mode 0), never past the media's logical
// blocks. False when the reserve swallows the disk or the clusters do not fit
// the FAT type and size the table gives.
bool PlanQuickFormat(uint32_t index, int mode, uint32_t registryReserved, uint32_t reservedFound,
                     DiskLayout* layout);

// The 512 data bytes of the card information page.
void CardInfoPage(uint8_t (&page)[512]);
// Logical sector s of the new disk.
void DiskSector(const DiskLayout& layout, uint32_t sector, uint8_t (&data)[512]);

// The pages the quick format reads and writes.
class IFlashPageIo {
public:
    virtual ~IFlashPageIo() = default;
    // False when the command fails; *erased false when it answers a nonzero status.
    virtual bool EraseBlock(uint32_t block, bool* erased) = 0;
    // One page of data with its spare area (block address, codes).
    virtual bool WritePage(uint32_t block, uint32_t page, const uint8_t* data, uint16_t logicalBlock) = 0;
    // 528 bytes: data and spare.
    virtual bool ReadPage(uint32_t block, uint32_t page, uint8_t* out) = 0;
    // Every page zero, spare areas zero (raw mode).
    virtual bool WriteZeroBlock(uint32_t block) = 0;
    virtual void AddProgress(double delta) = 0;
};

// Runs the format over the block table; records the card information block.
// Returns false at the first failure, leaving the marks made so far.
bool QuickFormatDisk(IFlashPageIo& io, const MediaGeometry& geometry, const DiskLayout& layout,
                     std::vector<uint8_t>& table, uint32_t* cardInfoBlock);

} // namespace qvmp3
