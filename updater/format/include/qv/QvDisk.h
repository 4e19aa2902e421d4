// The layout of the player's data area, computed in memory from the unit's
// capacity: cylinder/head/sector geometry, the master boot record and the
// FAT12/FAT16 boot sector of its one partition.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvByteArray.h"
#include <cstddef>
#include <cstdint>
#include <string>

enum QvFatType : uint8_t { QV_FAT12 = 0, QV_FAT16 = 1, QV_FAT32 = 2, QV_FAT_NONE = 255 };

constexpr size_t QV_SECTOR_IMAGE = 512;
constexpr size_t QV_LABEL_BYTES = 11;

class CQvDisk : public CQvBase {
public:
    // The label bytes (at most 11 are used) go into the boot sector as given,
    // padded with zero bytes. The layout result is the last error.
    CQvDisk(uint64_t totalSectors, uint32_t bytesPerSector, const uint8_t* label, size_t labelLength,
            std::string name = "CQvDisk");

    const uint8_t* MbrImage() const { return m_mbr; }
    const uint8_t* BootSectorImage() const { return m_boot; }
    uint32_t RootDirSectors() const { return m_rootSectors; }
    // The first bytes of each FAT (media descriptor and end-of-chain marks);
    // -39 before a FAT type is chosen.
    int FatHead(CQvByteArray& out) const;

    uint64_t TotalSectors() const { return m_total; }
    uint32_t BytesPerSector() const { return m_bytesPerSector; }
    uint16_t Heads() const { return m_heads; }
    uint8_t SectorsPerTrack() const { return m_sectorsPerTrack; }
    uint16_t Cylinders() const { return m_cylinders; }
    uint32_t UsableSectors() const { return m_usable; }
    uint32_t Leftover() const { return uint32_t(m_total - m_usable); }
    uint32_t AlignmentMask() const { return m_alignMask; }
    uint8_t FatType() const { return m_fatType; }
    uint8_t SectorsPerCluster() const { return m_sectorsPerCluster; }
    uint32_t SectorsPerFat() const { return m_sectorsPerFat; }
    uint32_t HiddenSectors() const { return m_hidden; }
    uint32_t PartitionSectors() const { return m_partition; }
    uint32_t DataClusters() const { return m_clusters; }
    static constexpr uint32_t RESERVED_SECTORS = 1;
    static constexpr uint32_t FAT_COPIES = 2;

private:
    int Layout(const uint8_t* label, size_t labelLength);
    int ChooseGeometry();
    int Chs(uint32_t lba, uint8_t* out) const;

    uint64_t m_total;
    uint32_t m_bytesPerSector;
    uint8_t m_mbr[QV_SECTOR_IMAGE] = {};
    uint8_t m_boot[QV_SECTOR_IMAGE] = {};
    uint16_t m_heads = 0;
    uint8_t m_sectorsPerTrack = 0;
    uint16_t m_cylinders = 0;
    uint32_t m_usable = 0;
    uint32_t m_alignMask = 31;
    uint8_t m_fatType = QV_FAT_NONE;
    uint8_t m_sectorsPerCluster = 0;
    uint32_t m_sectorsPerFat = 0;
    uint32_t m_rootSectors = 0;
    uint32_t m_hidden = 0;
    uint32_t m_partition = 0;
    uint32_t m_clusters = 0;
};
