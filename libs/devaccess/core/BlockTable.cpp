#include "BlockTable.h"

#include "FlashPage.h"
#include "QuickFormat.h"

namespace qvmp3 {

bool EntryIsReserved(const uint8_t* entry, const uint8_t* tags, size_t tagCount)
{
    if (entry[1] != 0)
        return false;
    if (entry[2] == 'Q' && entry[3] == 'V')
        return true;
    if (entry[4] != 'M')
        return false;
    for (size_t i = 0; i < tagCount; i++)
        if (tags[i] == entry[5])
            return true;
    return false;
}

void ScanBlocks(const uint8_t* entries, uint32_t blocks, const uint8_t* tags, size_t tagCount, BlockScan* scan)
{
    scan->Table.assign(blocks, BLOCK_BAD);
    scan->HasCardInfo = false;
    scan->CardInfoBlock = 0;
    scan->Retire.clear();
    for (uint32_t b = 0; b < blocks; b++) {
        const uint8_t* entry = entries + static_cast<size_t>(b) * 6;
        const bool good = BlockIsGood(entry[1]);
        if (!scan->HasCardInfo) {
            if (good && DataIsValid(entry[0])) {
                scan->HasCardInfo = true;
                scan->CardInfoBlock = b;
                scan->Table[b] = BLOCK_CARD_INFO;
            } else {
                scan->Retire.push_back(b);
            }
            continue;
        }
        if (good)
            scan->Table[b] = BLOCK_FREE;
        else if (EntryIsReserved(entry, tags, tagCount))
            scan->Table[b] = BLOCK_RESERVED;
    }
}

uint32_t ReservedAreaStart(const std::vector<uint8_t>& table, uint32_t reservedBlocks)
{
    if (table.empty())
        return 0;
    const uint32_t last = static_cast<uint32_t>(table.size() - 1);
    uint32_t count = 0;
    for (uint32_t b = last + 1; b-- > 0;) {
        if (table[b] == BLOCK_FREE || table[b] == BLOCK_RESERVED) {
            if (++count == reservedBlocks)
                return b;
        }
    }
    return last;
}

uint32_t ReservedBlocksFound(const std::vector<uint8_t>& table)
{
    if (table.empty())
        return 0;
    uint32_t count = 0;
    for (size_t b = table.size() - 1; b > 0; b--) {
        if (table[b] == BLOCK_FREE)
            break;
        if (table[b] == BLOCK_RESERVED)
            count++;
    }
    if (table[0] == BLOCK_RESERVED)
        count++;
    return count;
}

} // namespace qvmp3
