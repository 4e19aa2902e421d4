// The facts of a FAT image that volume queries report, read the way the
// FAT's own layout defines them: the boot sector's parameters, the kind by
// the count of data clusters, free clusters from the first FAT, the label
// from the root directory's volume-label entry (else the boot record's).
#include "FatFacts.h"

namespace vilosim {

namespace {

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

bool PowerOfTwo(uint32_t value) { return value && !(value & (value - 1)); }

void CopyLabel(const uint8_t* from, char (&to)[12])
{
    uint32_t length = 11;
    while (length && (from[length - 1] == ' ' || from[length - 1] == 0))
        length--;
    for (uint32_t i = 0; i < length; i++)
        to[i] = char(from[i]);
    to[length] = 0;
}

struct Layout {
    uint32_t bytesPerSector;
    uint32_t sectorsPerCluster;
    uint64_t fatOffset;      // bytes
    uint64_t fatBytes;
    uint64_t rootOffset;     // FAT12/16: the fixed root directory
    uint32_t rootBytes;
    uint64_t dataOffset;
    uint64_t clusters;
    uint32_t rootCluster;    // FAT32
    uint32_t kind;
};

// One FAT entry's value; the chunk in scratch is reloaded when the entry
// lies in another. Chunks are multiples of 3 and 4 bytes, so no entry
// crosses one (FAT12 entries come in 3-byte pairs).
bool FatEntry(FatReader read, void* context, const Layout& layout, uint64_t cluster, uint8_t* scratch,
              uint64_t* loaded, uint32_t* value)
{
    uint64_t at = layout.kind == FAT_KIND_12 ? cluster + cluster / 2 : cluster * (layout.kind / 8);
    uint64_t chunk = at / FAT_SCRATCH_BYTES;
    if (*loaded != chunk) {
        uint64_t start = chunk * FAT_SCRATCH_BYTES;
        uint64_t left = layout.fatBytes - start;
        uint32_t bytes = left < FAT_SCRATCH_BYTES ? uint32_t(left) : FAT_SCRATCH_BYTES;
        if (!read(context, layout.fatOffset + start, scratch, bytes))
            return false;
        *loaded = chunk;
    }
    const uint8_t* p = scratch + (at - chunk * FAT_SCRATCH_BYTES);
    switch (layout.kind) {
    case FAT_KIND_12:
        *value = cluster & 1 ? Le16(p) >> 4 : Le16(p) & 0xFFF;
        break;
    case FAT_KIND_16:
        *value = Le16(p);
        break;
    default:
        *value = Le32(p) & 0x0FFFFFFF;
        break;
    }
    return true;
}

// Looks through bytes of directory entries for the volume label. Returns
// 1 found, 0 not in these entries, -1 the directory's end was reached.
int FindLabel(const uint8_t* entries, uint32_t bytes, char (&label)[12])
{
    for (uint32_t at = 0; at + 32 <= bytes; at += 32) {
        const uint8_t* entry = entries + at;
        if (entry[0] == 0)
            return -1;
        if (entry[0] == 0xE5)
            continue;
        uint8_t attributes = entry[11];
        if ((attributes & 0x3F) == 0x0F) // long-name part
            continue;
        if ((attributes & 0x18) == 0x08) {
            CopyLabel(entry, label);
            return 1;
        }
    }
    return 0;
}

bool RootLabel(FatReader read, void* context, const Layout& layout, uint8_t* scratch, char (&label)[12], bool* found)
{
    *found = false;
    if (layout.kind != FAT_KIND_32) {
        for (uint32_t done = 0; done < layout.rootBytes; done += FAT_SCRATCH_BYTES) {
            uint32_t left = layout.rootBytes - done;
            uint32_t bytes = left < FAT_SCRATCH_BYTES ? left : FAT_SCRATCH_BYTES;
            if (!read(context, layout.rootOffset + done, scratch, bytes))
                return false;
            int result = FindLabel(scratch, bytes, label);
            if (result) {
                *found = result > 0;
                return true;
            }
        }
        return true;
    }
    // FAT32: the root directory is a cluster chain; a chain longer than the
    // volume's clusters loops, and ends the search.
    uint32_t clusterBytes = layout.bytesPerSector * layout.sectorsPerCluster;
    uint32_t cluster = layout.rootCluster;
    for (uint64_t steps = 0; steps < layout.clusters && cluster >= 2 && cluster < layout.clusters + 2; steps++) {
        uint64_t start = layout.dataOffset + uint64_t(cluster - 2) * clusterBytes;
        for (uint32_t done = 0; done < clusterBytes; done += FAT_SCRATCH_BYTES) {
            uint32_t left = clusterBytes - done;
            uint32_t bytes = left < FAT_SCRATCH_BYTES ? left : FAT_SCRATCH_BYTES;
            if (!read(context, start + done, scratch, bytes))
                return false;
            int result = FindLabel(scratch, bytes, label);
            if (result) {
                *found = result > 0;
                return true;
            }
        }
        uint64_t loaded = ~uint64_t(0);
        uint32_t next = 0;
        if (!FatEntry(read, context, layout, cluster, scratch, &loaded, &next))
            return false;
        cluster = next;
    }
    return true;
}

} // namespace

bool ReadFatFacts(FatReader read, void* context, uint64_t imageBytes, uint8_t* scratch, FatFacts* facts)
{
    uint8_t boot[512];
    if (imageBytes < sizeof boot || !read(context, 0, boot, sizeof boot))
        return false;
    Layout layout = {};
    layout.bytesPerSector = Le16(boot + 11);
    layout.sectorsPerCluster = boot[13];
    uint32_t reserved = Le16(boot + 14);
    uint32_t fats = boot[16];
    uint32_t rootEntries = Le16(boot + 17);
    uint32_t sectors16 = Le16(boot + 19);
    uint32_t fatSectors16 = Le16(boot + 22);
    uint64_t totalSectors = sectors16 ? sectors16 : Le32(boot + 32);
    uint64_t fatSectors = fatSectors16 ? fatSectors16 : Le32(boot + 36);
    if (layout.bytesPerSector < 512 || layout.bytesPerSector > 4096 || !PowerOfTwo(layout.bytesPerSector) ||
        !PowerOfTwo(layout.sectorsPerCluster) || !reserved || !fats || !fatSectors)
        return false;
    uint64_t bps = layout.bytesPerSector;
    if (totalSectors * bps > imageBytes)
        return false;
    uint64_t rootSectors = (uint64_t(rootEntries) * 32 + bps - 1) / bps;
    uint64_t dataSector = reserved + fats * fatSectors + rootSectors;
    if (dataSector >= totalSectors)
        return false;
    layout.clusters = (totalSectors - dataSector) / layout.sectorsPerCluster;
    layout.kind = layout.clusters < 4085 ? FAT_KIND_12 : layout.clusters < 65525 ? FAT_KIND_16 : FAT_KIND_32;
    if ((layout.kind == FAT_KIND_32) != (rootEntries == 0 && fatSectors16 == 0))
        return false;
    layout.fatOffset = reserved * bps;
    layout.fatBytes = fatSectors * bps;
    uint64_t neededBits = (layout.clusters + 2) * (layout.kind == FAT_KIND_32 ? 32 : layout.kind);
    if (layout.fatBytes * 8 < neededBits)
        return false;
    layout.rootOffset = (reserved + fats * fatSectors) * bps;
    layout.rootBytes = uint32_t(rootSectors * bps);
    layout.dataOffset = dataSector * bps;
    layout.rootCluster = Le32(boot + 44);

    FatFacts out = {};
    out.BytesPerSector = layout.bytesPerSector;
    out.SectorsPerCluster = layout.sectorsPerCluster;
    out.Kind = layout.kind;
    out.TotalClusters = layout.clusters;
    uint32_t extended = layout.kind == FAT_KIND_32 ? 64 : 36; // drive number, reserved, then the signature
    if (boot[extended + 2] == 0x29) {
        out.Serial = Le32(boot + extended + 3);
        CopyLabel(boot + extended + 7, out.Label);
        // The boot record's placeholder for "no label".
        const char none[] = "NO NAME";
        bool isNone = true;
        for (uint32_t i = 0; i < sizeof none; i++)
            isNone = isNone && out.Label[i] == none[i];
        if (isNone)
            out.Label[0] = 0;
    }

    uint64_t loaded = ~uint64_t(0);
    for (uint64_t cluster = 2; cluster < layout.clusters + 2; cluster++) {
        uint32_t value = 0;
        if (!FatEntry(read, context, layout, cluster, scratch, &loaded, &value))
            return false;
        if (!value)
            out.FreeClusters++;
    }
    char label[12] = {};
    bool found = false;
    if (!RootLabel(read, context, layout, scratch, label, &found))
        return false;
    if (found) {
        for (uint32_t i = 0; i < sizeof label; i++)
            out.Label[i] = label[i];
    }
    *facts = out;
    return true;
}

} // namespace vilosim
