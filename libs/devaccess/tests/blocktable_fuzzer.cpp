// Spare entries come from the flash: any bytes for any number of blocks.
#include <stddef.h>
#include <stdint.h>

#include "BlockTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t tags[3] = {'P', data[0], 'A'};
    qvmp3::BlockScan scan;
    uint32_t blocks = static_cast<uint32_t>((size - 1) / 6);
    qvmp3::ScanBlocks(data + 1, blocks, tags, 3, &scan);
    for (uint32_t reserved : {0u, 1u, data[0] * 1u, blocks + 1})
        qvmp3::ReservedAreaStart(scan.Table, reserved);
    qvmp3::ReservedBlocksFound(scan.Table);
    return 0;
}
