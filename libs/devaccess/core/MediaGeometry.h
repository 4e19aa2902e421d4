// The flash media's geometry table, the size classes of flash chips and MMC
// cards, and the reserved area kept for firmware files.
#pragma once

#include <stdint.h>

namespace qvmp3 {

constexpr uint32_t MEDIA_INDEX_COUNT = 36;
constexpr uint32_t NO_MEDIA_INDEX = 36;

struct MediaGeometry {
    uint16_t Index;
    uint16_t PageWithSpare;  // 528
    uint16_t PageData;       // 512
    uint16_t PagesPerBlock;
    uint32_t PhysicalBlocks;
    uint32_t LogicalBlocks;
};

// False for an index above 35.
bool GeometryOf(uint32_t index, MediaGeometry* geometry);
// Media index 0 to 2 are small-page chips written in half pages.
inline bool IsSmallMedia(uint32_t index) { return index <= 2; }
// The blocks below this hold the FAT structures.
uint32_t FirstZoneBlocks(uint32_t index);

// The index of a flash chip from its identity answer (maker, device code).
uint32_t FlashIndexOfId(uint8_t maker, uint8_t device);
// The index of an MMC card of this many 512-byte blocks.
uint32_t CardIndexOfBlocks(uint32_t blocks);

// Kilobytes kept at the end of a flash media, in whole blocks.
uint32_t ReservedBlocksOfKilobytes(uint32_t kilobytes, const MediaGeometry& geometry);

} // namespace qvmp3
