// FAT12/FAT16 volume structures: the boot sector, a FAT copy as a chain table,
// and where a directory's sectors lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "QV_SysCtrl.h"

struct FatBootInfo {
    int BytesPerSector = 0;
    int SectorsPerCluster = 0;
    int ReservedSectors = 0;
    int NumberOfFats = 0;
    int RootEntries = 0;
    uint32_t TotalSectors = 0;
    int SectorsPerFat = 0;
    int SectorsPerTrack = 0;
    int FatBits = 0;
};

// QV_SUCCESS, or QV_DISK_INFO_ERR for a boot sector this object cannot use
// (not 512 bytes a sector, no cluster size, no FAT, FAT32 or unknown type).
QV_RESULT ParseBootSector(const uint8_t* sector, FatBootInfo& info);

class FatChain {
public:
    // Only the entries the copy's bytes hold are loaded, however many
    // clusters the volume claims.
    FatChain(int entryBits, uint32_t clusterCount, const uint8_t* fat, size_t fatBytes);
    uint32_t EntryCount() const { return Count; }
    uint16_t Get(uint32_t n) const;
    bool IsEnd(uint16_t value) const { return Bits == 12 ? value >= 0xFF8 : value >= 0xFFF8; }
    // The clusters of the chain from `first`; false when it leaves the table,
    // meets a free or reserved entry, or runs longer than maxSteps.
    bool Walk(uint16_t first, uint32_t maxSteps, std::vector<uint16_t>& clusters) const;

private:
    int Bits;
    uint32_t Count;
    std::vector<uint8_t> Table;
};

// A directory's sectors: the root is one run, a subdirectory one run per
// stretch of consecutive clusters along its chain.
class CDirExtent {
public:
    std::vector<std::pair<uint32_t, uint32_t>> Runs;  // first sector, count
    bool IsRoot = false;
    uint32_t SectorCount() const
    {
        uint32_t n = 0;
        for (const auto& r : Runs) n += r.second;
        return n;
    }
    void Add(uint32_t first, uint32_t count)
    {
        if (!Runs.empty() && Runs.back().first + Runs.back().second == first)
            Runs.back().second += count;
        else
            Runs.emplace_back(first, count);
    }
};

// A directory holds at most 65536 entries; a longer chain is not a directory.
constexpr uint32_t MAX_DIRECTORY_BYTES = 65536u * 32u;
