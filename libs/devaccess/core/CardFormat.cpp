#include "CardFormat.h"

#include <string.h>

#include "MediaPackets.h"

namespace qvmp3 {

namespace {

uint32_t ClustersOf(uint32_t sectors, uint32_t sectorsPerFat)
{
    uint32_t system = 1 + 2 * sectorsPerFat + CARD_ROOT_SECTORS;
    return sectors > system ? (sectors - system) / CARD_CLUSTER_SECTORS : 0;
}

uint32_t FatBytes(uint32_t clusters, bool fat16)
{
    return fat16 ? (clusters + 2) * 2 : ((clusters + 2) * 3 + 1) / 2;
}

// Starts from the size the cluster estimate gives and grows until every
// cluster (and the two reserved entries) has its FAT entry.
uint32_t SectorsPerFat(uint32_t sectors, bool fat16)
{
    uint32_t estimate = (sectors + CARD_CLUSTER_SECTORS - 1) / CARD_CLUSTER_SECTORS;
    uint32_t f = ((fat16 ? estimate * 2 : (estimate * 3 + 1) / 2) + 511) / 512;
    if (f == 0)
        f = 1;
    while (FatBytes(ClustersOf(sectors, f), fat16) > f * 512)
        f++;
    return f;
}

} // namespace

bool PlanCardFormat(uint32_t cardBlocks, CardFormat* format)
{
    if (cardBlocks < 2 || cardBlocks > MMC_ADDRESSABLE_BLOCKS)
        return false;
    CardFormat plan;
    plan.Sectors = cardBlocks - 1;
    plan.SectorsPerFat = SectorsPerFat(plan.Sectors, false);
    plan.Clusters = ClustersOf(plan.Sectors, plan.SectorsPerFat);
    if (plan.Clusters > FAT12_MAX_CLUSTERS) {
        CardFormat wide = plan;
        wide.Fat16 = true;
        wide.SectorsPerFat = SectorsPerFat(wide.Sectors, true);
        wide.Clusters = ClustersOf(wide.Sectors, wide.SectorsPerFat);
        if (wide.Clusters > FAT16_MAX_CLUSTERS)
            return false;
        if (wide.Clusters > FAT12_MAX_CLUSTERS) {
            plan = wide;
        } else {
            // Too many clusters for FAT12, too few for FAT16: the partition
            // leaves the last sectors unused so that FAT12 holds it.
            while (plan.Clusters > FAT12_MAX_CLUSTERS) {
                plan.Sectors--;
                plan.SectorsPerFat = SectorsPerFat(plan.Sectors, false);
                plan.Clusters = ClustersOf(plan.Sectors, plan.SectorsPerFat);
            }
        }
    }
    if (plan.Clusters == 0)
        return false;
    *format = plan;
    return true;
}

void CardPartitionSector(const CardFormat& format, uint8_t (&sector)[512])
{
    memset(sector, 0, sizeof sector);
    sector[446] = 0x80;
    sector[450] = format.Fat16 ? 6 : 1;
    PutLe(sector + 454, 1, 4);
    PutLe(sector + 458, format.Sectors, 4);
    sector[510] = 0x55;
    sector[511] = 0xAA;
}

void CardBootSector(const CardFormat& format, uint8_t (&sector)[512])
{
    memset(sector, 0, sizeof sector);
    sector[0] = 0xEB;
    sector[1] = 0x00;
    sector[2] = 0x90;
    memset(sector + 3, ' ', 8);
    PutLe(sector + 11, 512, 2);
    sector[13] = CARD_CLUSTER_SECTORS;
    PutLe(sector + 14, 1, 2);
    sector[16] = 2;
    PutLe(sector + 17, 256, 2);
    if (format.Sectors <= 0xFFFF)
        PutLe(sector + 19, format.Sectors, 2);
    else
        PutLe(sector + 32, format.Sectors, 4);
    sector[21] = 0xF8;
    PutLe(sector + 22, format.SectorsPerFat, 2);
    PutLe(sector + 24, 1, 2);
    PutLe(sector + 26, 1, 2);
    PutLe(sector + 28, 1, 4);
    sector[38] = 0x29;
    memset(sector + 43, ' ', 11);
    memcpy(sector + 54, format.Fat16 ? "FAT16   " : "FAT12   ", 8);
    sector[510] = 0x55;
    sector[511] = 0xAA;
}

void FatStartSector(bool fat16, uint8_t (&sector)[512])
{
    memset(sector, 0, sizeof sector);
    sector[0] = 0xF8;
    sector[1] = 0xFF;
    sector[2] = 0xFF;
    if (fat16)
        sector[3] = 0xFF;
}

uint32_t FileSystemSectorsOfCard(uint32_t cardBlocks)
{
    uint64_t mb = static_cast<uint64_t>(cardBlocks) * 512 / (1u << 20);
    if (mb == 1)
        return 32;
    if (mb <= 4)
        return 48;
    if (mb <= 32)
        return 64;
    if (mb <= 64)
        return 96;
    return 128;
}

} // namespace qvmp3
