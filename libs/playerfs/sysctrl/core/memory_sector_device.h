// A disk held in memory, for crafted volumes in tests and fuzz targets.
#pragma once

#include <cstring>
#include <vector>

#include "sector_device.h"

class CMemorySectorDevice : public ISectorDevice {
public:
    explicit CMemorySectorDevice(std::vector<uint8_t> image) : Image(std::move(image)) {}
    bool ReadSectors(int, uint32_t first, uint32_t count, void* buffer) override
    {
        ++Reads;
        if (!Fits(first, count)) return false;
        std::memcpy(buffer, Image.data() + uint64_t(first) * SECTOR_BYTES, uint64_t(count) * SECTOR_BYTES);
        return true;
    }
    bool WriteSectors(int, uint32_t first, uint32_t count, const void* buffer) override
    {
        ++Writes;
        if (!Fits(first, count)) return false;
        std::memcpy(Image.data() + uint64_t(first) * SECTOR_BYTES, buffer, uint64_t(count) * SECTOR_BYTES);
        return true;
    }
    std::vector<uint8_t> Image;
    int Reads = 0;
    int Writes = 0;

private:
    bool Fits(uint32_t first, uint32_t count) const
    {
        return (uint64_t(first) + count) * SECTOR_BYTES <= Image.size();
    }
};
