// A disk image file as a sector device: every drive index reads the same image.
#pragma once

#include <cstdint>
#include <string>

#include "sector_device.h"

class CFileSectorDevice : public ISectorDevice {
public:
    explicit CFileSectorDevice(std::string imagePath) : ImagePath(std::move(imagePath)) {}
    bool ReadSectors(int drive, uint32_t first, uint32_t count, void* buffer) override;
    bool WriteSectors(int drive, uint32_t first, uint32_t count, const void* buffer) override;

    int Reads = 0;
    int Writes = 0;

private:
    bool Transfer(uint32_t first, uint32_t count, void* buffer, bool write);
    std::string ImagePath;
};
