#include "fat_volume.h"

#include <algorithm>
#include <cstring>

namespace {
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
}  // namespace

QV_RESULT ParseBootSector(const uint8_t* s, FatBootInfo& info)
{
    info = FatBootInfo();
    info.BytesPerSector = Le16(s + 11);
    info.SectorsPerCluster = s[13];
    info.ReservedSectors = Le16(s + 14);
    info.NumberOfFats = s[16];
    info.RootEntries = Le16(s + 17);
    info.TotalSectors = Le16(s + 19) ? Le16(s + 19) : Le32(s + 32);
    info.SectorsPerFat = Le16(s + 22);
    info.SectorsPerTrack = Le16(s + 24);
    if (std::memcmp(s + 54, "FAT12   ", 8) == 0)
        info.FatBits = 12;
    else if (std::memcmp(s + 54, "FAT16   ", 8) == 0)
        info.FatBits = 16;
    // All sector I/O is in 512-byte sectors; any other size would address the
    // wrong sectors. Without reserved sectors the FAT would overlay the boot
    // sector.
    if (info.BytesPerSector != 512 || info.SectorsPerCluster == 0 || info.ReservedSectors == 0 ||
        info.NumberOfFats == 0 || info.SectorsPerFat == 0 || info.FatBits == 0 || info.TotalSectors == 0)
        return QV_DISK_INFO_ERR;
    return QV_SUCCESS;
}

FatChain::FatChain(int entryBits, uint32_t clusterCount, const uint8_t* fat, size_t fatBytes)
    : Bits(entryBits), Table(fat, fat + fatBytes)
{
    // Entry n needs the word at byte 2n (16-bit) or 3n/2 (12-bit).
    const uint64_t held = entryBits == 12 ? (fatBytes >= 2 ? (uint64_t(fatBytes - 2) * 2) / 3 + 1 : 0)
                                          : fatBytes / 2;
    Count = uint32_t(std::min<uint64_t>(clusterCount, held));
}

uint16_t FatChain::Get(uint32_t n) const
{
    if (n >= Count) return 0;
    if (Bits == 16) return uint16_t(Table[2 * size_t(n)] | (Table[2 * size_t(n) + 1] << 8));
    const size_t at = size_t(n) * 3 / 2;
    const uint16_t w = uint16_t(Table[at] | (Table[at + 1] << 8));
    return (n & 1) ? uint16_t(w >> 4) : uint16_t(w & 0xFFF);
}

bool FatChain::Walk(uint16_t first, uint32_t maxSteps, std::vector<uint16_t>& clusters) const
{
    clusters.clear();
    uint16_t cluster = first;
    while (!IsEnd(cluster)) {
        if (cluster < 2 || cluster >= Count || clusters.size() >= maxSteps) return false;
        clusters.push_back(cluster);
        cluster = Get(cluster);
    }
    return !clusters.empty();
}
