// The FAT file system QvMp3MMCFormat gives a card: a partition table in block
// 0 and one FAT12 or FAT16 partition from block 1 with 32 sectors a cluster,
// and the sector counts its erase steps clear.
#pragma once

#include <stdint.h>

namespace qvmp3 {

constexpr uint32_t FAT12_MAX_CLUSTERS = 4084;
constexpr uint32_t FAT16_MAX_CLUSTERS = 65524;

struct CardFormat {
    uint32_t Sectors = 0;        // partition sectors from block 1
    uint32_t SectorsPerFat = 0;
    uint32_t Clusters = 0;
    bool Fat16 = false;
    uint32_t RootBlock() const { return 2 + 2 * SectorsPerFat; }
};
constexpr uint32_t CARD_CLUSTER_SECTORS = 32;
constexpr uint32_t CARD_ROOT_SECTORS = 16;

// The layout for a card of this many blocks. The FAT type follows the real
// cluster count, and each FAT holds an entry for every cluster; false for a
// card too small for one cluster or too large for FAT16.
bool PlanCardFormat(uint32_t cardBlocks, CardFormat* format);
void CardPartitionSector(const CardFormat& format, uint8_t (&sector)[512]);
void CardBootSector(const CardFormat& format, uint8_t (&sector)[512]);
// The first sector of each FAT (the media byte and the end marks).
void FatStartSector(bool fat16, uint8_t (&sector)[512]);

// Sectors QvMp3MMCEraseFileSystemSectors clears on a card of this many blocks.
uint32_t FileSystemSectorsOfCard(uint32_t cardBlocks);

} // namespace qvmp3
