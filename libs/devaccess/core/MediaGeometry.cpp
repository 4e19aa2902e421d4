#include "MediaGeometry.h"

namespace qvmp3 {

bool GeometryOf(uint32_t index, MediaGeometry* geometry)
{
    if (index >= MEDIA_INDEX_COUNT)
        return false;
    MediaGeometry g = {static_cast<uint16_t>(index), 528, 512, 32, 0, 0};
    if (index == 0) {
        g.PagesPerBlock = 8;
        g.PhysicalBlocks = 256;
        g.LogicalBlocks = 250;
    } else if (index <= 2) {
        g.PagesPerBlock = 8;
        g.PhysicalBlocks = 512;
        g.LogicalBlocks = 250;
    } else if (index == 3) {
        g.PagesPerBlock = 16;
        g.PhysicalBlocks = 1024;
        g.LogicalBlocks = 1000;
    } else if (index == 4) {
        g.PhysicalBlocks = 1024;
        g.LogicalBlocks = 1000;
    } else {
        g.PhysicalBlocks = (index - 3) * 1024;
        g.LogicalBlocks = (index - 3) * 1000;
        if (index == 12)
            g.PhysicalBlocks = 9126;
    }
    *geometry = g;
    return true;
}

uint32_t FirstZoneBlocks(uint32_t index)
{
    if (index <= 1)
        return 256;
    if (index == 2)
        return 512;
    return 1024;
}

uint32_t FlashIndexOfId(uint8_t maker, uint8_t device)
{
    if (maker != 0) {
        switch (device) {
        case 0xE6: return 3;
        case 0x73: return 4;
        case 0x75: return 5;
        case 0x76: return 7;
        case 0x79: return 11;
        default: return NO_MEDIA_INDEX;
        }
    }
    // Size in 4 MB units: 2 is index 3, 4 index 4, 8 index 5, then one index
    // for every further 4 units up to 128.
    if (device == 2)
        return 3;
    if (device == 4)
        return 4;
    if (device >= 8 && device <= 128 && device % 4 == 0)
        return 5 + (device - 8) / 4;
    return NO_MEDIA_INDEX;
}

uint32_t CardIndexOfBlocks(uint32_t blocks)
{
    if (blocks == 0)
        return NO_MEDIA_INDEX;
    uint32_t mb = blocks / 2048;
    if (mb <= 1)
        return 0;
    if (mb == 2)
        return 1;
    if (mb <= 4)
        return 2;
    if (mb <= 8)
        return 3;
    if (mb <= 16)
        return 4;
    if (mb <= 32)
        return 5;
    if (mb <= 64)
        return 7;
    if (mb <= 128)
        return 11;
    if (mb <= 256)
        return 19;
    if (mb <= 512)
        return 35;
    return NO_MEDIA_INDEX;
}

uint32_t ReservedBlocksOfKilobytes(uint32_t kilobytes, const MediaGeometry& geometry)
{
    uint64_t bytes = static_cast<uint64_t>(kilobytes) * 1024;
    uint64_t block = static_cast<uint64_t>(geometry.PageData) * geometry.PagesPerBlock;
    uint64_t blocks = (bytes + block - 1) / block;
    return blocks > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(blocks);
}

} // namespace qvmp3
