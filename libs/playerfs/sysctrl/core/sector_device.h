// The one seam between the directory logic and the disk: whole 512-byte
// sectors addressed by 32-bit numbers, so a directory beyond sector 65535 is
// reached where it lies.
#pragma once

#include <cstdint>

class ISectorDevice {
public:
    virtual ~ISectorDevice() = default;
    // Each returns true only when every one of the count sectors moved.
    virtual bool ReadSectors(int drive, uint32_t first, uint32_t count, void* buffer) = 0;
    virtual bool WriteSectors(int drive, uint32_t first, uint32_t count, const void* buffer) = 0;
};

constexpr uint32_t SECTOR_BYTES = 512;
