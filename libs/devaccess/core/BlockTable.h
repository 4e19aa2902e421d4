// The block table of a flash media, built from the spare entries command 12
// answers: the card information block, free, bad and reserved-area blocks,
// the first block of the reserved area and the reserved blocks found.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace qvmp3 {

struct BlockScan {
    std::vector<uint8_t> Table;
    bool HasCardInfo = false;
    uint32_t CardInfoBlock = 0;
    // Blocks before the card information block: retired (erased, zeroed, bad).
    std::vector<uint32_t> Retire;
};

// True when a block with this spare entry belongs to the reserved area: block
// status 0 and "QV" on its first page, or 'M' and one of the files' tags on
// its second.
bool EntryIsReserved(const uint8_t* entry, const uint8_t* tags, size_t tagCount);

// Classifies blocks from their 6-byte entries; entries has blocks × 6 bytes.
void ScanBlocks(const uint8_t* entries, uint32_t blocks, const uint8_t* tags, size_t tagCount, BlockScan* scan);
// The first block of the reserved area for this many reserved blocks.
uint32_t ReservedAreaStart(const std::vector<uint8_t>& table, uint32_t reservedBlocks);
// The reserved blocks at the end of the media (byte 3, from the last block
// down to the first free block).
uint32_t ReservedBlocksFound(const std::vector<uint8_t>& table);

} // namespace qvmp3
