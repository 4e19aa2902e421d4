#include "qv/QvDisk.h"
#include "qv/QvErrors.h"
#include <cstdio>
#include <cstring>

namespace {
void Le16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Le32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// Sectors per cluster: small units get 8; larger ones follow the FAT16 disk
// table (limit in sectors, cluster size), where 0 marks sizes FAT16 cannot
// cover.
uint8_t ClusterSize(uint64_t total)
{
    if (total == 16000)
        return 16;
    if (total < 32000)
        return 8;
    static const struct { uint64_t limit; uint8_t size; } table[] = {
        {8400, 0}, {32680, 2}, {262144, 4}, {524288, 8}, {1048576, 16}, {2097152, 32}, {4194304, 64},
    };
    for (const auto& row : table)
        if (total < row.limit)
            return row.size;
    return 0;
}

bool SupportedSectorSize(uint32_t bytes) { return bytes == 512 || bytes == 1024 || bytes == 2048 || bytes == 4096; }

// Highest cluster count of each FAT type, by the published rule that every
// reader uses to tell the types apart.
constexpr uint32_t FAT12_CLUSTERS_BELOW = 4085;
constexpr uint32_t FAT16_CLUSTERS_BELOW = 65525;
} // namespace

CQvDisk::CQvDisk(uint64_t totalSectors, uint32_t bytesPerSector, const uint8_t* label, size_t labelLength,
                 std::string name)
    : CQvBase(std::move(name)), m_total(totalSectors), m_bytesPerSector(bytesPerSector)
{
    SetLastError(Layout(label, labelLength));
}

int CQvDisk::ChooseGeometry()
{
    const uint64_t total = m_total;
    struct Fixed { uint64_t total; uint16_t heads; uint8_t sectors; };
    static const Fixed fixed[] = {{16000, 4, 16}, {32000, 4, 16}, {64000, 8, 16}, {128000, 8, 32}, {256000, 16, 32}};
    for (const Fixed& f : fixed) {
        if (total == f.total) {
            m_heads = f.heads;
            m_sectorsPerTrack = f.sectors;
            m_cylinders = uint16_t(total / f.heads / f.sectors);
            return 0;
        }
    }
    // The search walks cylinders (outermost), heads, then sectors per track
    // and takes the first exact product. Where the product first passes the
    // total, the step below it is a candidate; only candidates that fit
    // inside the unit count, so the partition can never run past its end.
    // Within one (cylinders, heads) pair the products grow with the sectors,
    // so each pair is settled without walking them.
    bool found = false;
    uint64_t bestShortfall = 0;
    uint32_t bestS = 0, bestH = 0, bestC = 0;
    for (uint32_t c = 1; c <= 1024; ++c) {
        for (uint32_t h = 1; h <= 256; ++h) {
            uint64_t hc = uint64_t(h) * c;
            if (total % hc == 0 && total / hc >= 1 && total / hc <= 63) {
                m_sectorsPerTrack = uint8_t(total / hc);
                m_heads = uint16_t(h);
                m_cylinders = uint16_t(c);
                return 0;
            }
            uint64_t firstOver = total / hc + 1;
            if (firstOver > 63)
                continue;
            uint32_t s2 = 0, h2 = 0, c2 = 0;
            if (firstOver != 1) {
                s2 = uint32_t(firstOver - 1), h2 = h, c2 = c;
            } else if (h != 1) {
                s2 = 63, h2 = h - 1, c2 = c;
            } else if (c != 1) {
                s2 = 63, h2 = 256, c2 = c - 1;
            } else {
                std::printf("ERROR - bad CHS solution\r\n");
                return QV_E_GEOMETRY;
            }
            uint64_t product = uint64_t(s2) * h2 * c2;
            if (product > total)
                continue;
            if (!found || total - product < bestShortfall) {
                found = true;
                bestShortfall = total - product;
                bestS = s2, bestH = h2, bestC = c2;
            }
        }
    }
    if (!found)
        return QV_E_GEOMETRY;
    m_sectorsPerTrack = uint8_t(bestS);
    m_heads = uint16_t(bestH);
    m_cylinders = uint16_t(bestC);
    return 0;
}

int CQvDisk::Chs(uint32_t lba, uint8_t* out) const
{
    uint32_t perCylinder = uint32_t(m_heads) * m_sectorsPerTrack;
    uint32_t cylinder = lba / perCylinder;
    if (cylinder >= m_cylinders)
        return QV_E_CHS_RANGE;
    uint32_t head = (lba / m_sectorsPerTrack) % m_heads;
    uint32_t sector = lba % m_sectorsPerTrack + 1;
    out[0] = uint8_t(head);
    out[1] = uint8_t(sector | ((cylinder >> 8) & 3) << 6);
    out[2] = uint8_t(cylinder);
    return 0;
}

int CQvDisk::Layout(const uint8_t* label, size_t labelLength)
{
    if (!SupportedSectorSize(m_bytesPerSector) || m_total == 0)
        return QV_E_GEOMETRY;
    m_alignMask = m_total == 16000 ? 15 : 31;
    // Units the FAT16 table has no cluster size for would need FAT32, which
    // the player's directory code does not read.
    m_sectorsPerCluster = ClusterSize(m_total);
    if (m_sectorsPerCluster == 0)
        return QV_E_FAT_TYPE;
    int r = ChooseGeometry();
    if (r != 0)
        return r;
    m_usable = uint32_t(m_cylinders) * m_heads * m_sectorsPerTrack;

    m_rootSectors = 512 * 32 / m_bytesPerSector;
    const uint32_t spc = m_sectorsPerCluster;
    uint64_t estimate = (uint64_t(m_usable) - 1 + spc - 1) / spc;
    int64_t a = int64_t(spc * estimate) - m_rootSectors - RESERVED_SECTORS;
    int64_t b = 256 * int64_t(spc) + FAT_COPIES;
    if (a <= 0)
        return QV_E_GEOMETRY;
    m_sectorsPerFat = uint32_t((a + b - 1) / b);

    // Place the partition so that its first data sector is aligned, then
    // count the clusters it really holds; the FAT type follows from that
    // count, and a FAT too small for it grows (which can only lower it).
    for (;;) {
        uint32_t start = m_usable > 8388608 / m_bytesPerSector ? 31 : 15;
        uint64_t fatArea = uint64_t(FAT_COPIES) * m_sectorsPerFat + m_rootSectors;
        while ((start + fatArea + 1) & m_alignMask)
            ++start;
        uint64_t system = start + RESERVED_SECTORS + fatArea;
        if (system >= m_usable)
            return QV_E_GEOMETRY;
        m_hidden = start;
        m_partition = m_usable - start;
        m_clusters = uint32_t((m_partition - RESERVED_SECTORS - fatArea) / spc);
        if (m_clusters == 0)
            return QV_E_GEOMETRY;
        if (m_clusters < FAT12_CLUSTERS_BELOW)
            m_fatType = QV_FAT12;
        else if (m_clusters < FAT16_CLUSTERS_BELOW)
            m_fatType = QV_FAT16;
        else
            return QV_E_FAT_TYPE;
        uint64_t entries = uint64_t(m_clusters) + 2;
        uint64_t bytes = m_fatType == QV_FAT12 ? (entries * 3 + 1) / 2 : entries * 2;
        uint64_t needed = (bytes + m_bytesPerSector - 1) / m_bytesPerSector;
        if (needed <= m_sectorsPerFat)
            break;
        m_sectorsPerFat = uint32_t(needed);
    }
    if (m_sectorsPerFat > 0xFFFF)
        return QV_E_FAT_TYPE;

    // Master boot record: one active partition.
    uint8_t* entry = m_mbr + 446;
    entry[0] = 0x80;
    r = Chs(m_hidden, entry + 1);
    if (r == 0)
        r = Chs(m_hidden + m_partition - 1, entry + 5);
    if (r != 0)
        return r;
    entry[4] = m_fatType == QV_FAT12 ? 0x01 : 0x06;
    Le32(entry + 8, m_hidden);
    Le32(entry + 12, m_partition);
    m_mbr[510] = 0x55;
    m_mbr[511] = 0xAA;

    // Boot sector. The OEM name and the serial number stay zero.
    m_boot[0] = 0xEB, m_boot[1] = 0x3E, m_boot[2] = 0x90;
    Le16(m_boot + 11, m_bytesPerSector);
    m_boot[13] = uint8_t(spc);
    Le16(m_boot + 14, RESERVED_SECTORS);
    m_boot[16] = FAT_COPIES;
    Le16(m_boot + 17, 512);
    if (m_partition <= 33554432u / m_bytesPerSector && m_partition <= 0xFFFF)
        Le16(m_boot + 19, m_partition);
    else
        Le32(m_boot + 32, m_partition);
    m_boot[21] = 0xF8;
    Le16(m_boot + 22, m_sectorsPerFat);
    Le16(m_boot + 24, m_sectorsPerTrack);
    Le16(m_boot + 26, m_heads);
    Le32(m_boot + 28, m_hidden);
    m_boot[36] = 0x80;
    m_boot[38] = 0x29;
    if (label && labelLength)
        std::memcpy(m_boot + 43, label, labelLength < QV_LABEL_BYTES ? labelLength : QV_LABEL_BYTES);
    std::memcpy(m_boot + 54, m_fatType == QV_FAT12 ? "FAT12   " : "FAT16   ", 8);
    m_boot[510] = 0x55;
    m_boot[511] = 0xAA;
    return 0;
}

int CQvDisk::FatHead(CQvByteArray& out) const
{
    static const uint8_t head[8] = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    size_t count = 0;
    switch (m_fatType) {
    case QV_FAT12: count = 3; break;
    case QV_FAT16: count = 4; break;
    case QV_FAT32: count = 8; break;
    default: return QV_E_FAT_TYPE;
    }
    if (out.Allocate(count) != 0)
        return QV_E_NOMEM;
    return out.SetBytes(head, count, 0);
}
