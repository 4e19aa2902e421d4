#include "dir_walk.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dir_entry_list.h"

FatGeometry GeometryOf(const FatBootInfo& info, int drive)
{
    FatGeometry g;
    g.Drive = drive;
    g.FatBits = info.FatBits;
    g.SectorsPerCluster = info.SectorsPerCluster;
    g.ClusterCount = int(info.TotalSectors / uint32_t(info.SectorsPerCluster));
    g.SectorsPerFat = info.SectorsPerFat;
    g.ReservedSectors = info.ReservedSectors;
    g.FirstRootSector = info.ReservedSectors + info.NumberOfFats * info.SectorsPerFat;
    // A root whose entries do not fill its last sector still occupies it.
    g.RootSectors = int((uint32_t(info.RootEntries) * DIR_ENTRY_BYTES + uint32_t(info.BytesPerSector) - 1) /
                        uint32_t(info.BytesPerSector));
    g.Cluster0Sector = g.FirstRootSector + g.RootSectors - 2 * g.SectorsPerCluster;
    return g;
}

QV_RESULT ReadFatGeometry(ISectorDevice* device, int drive, FatGeometry& geometry)
{
    uint8_t sector[SECTOR_BYTES];
    if (!device || !device->ReadSectors(drive, 0, 1, sector))
        return QV_DISK_READ_FAIL;
    FatBootInfo info;
    if (ParseBootSector(sector, info) != QV_SUCCESS)
        return QV_DISK_INFO_ERR;
    geometry = GeometryOf(info, drive);
    return QV_SUCCESS;
}

bool ReadDirectoryExtent(ISectorDevice* device, int drive, const CDirExtent& extent, std::vector<uint8_t>& buffer)
{
    // Every byte is read over; a reused buffer keeps its pages.
    buffer.resize(size_t(extent.SectorCount()) * SECTOR_BYTES);
    if (!device || buffer.empty())
        return false;
    size_t at = 0;
    for (const auto& run : extent.Runs) {
        if (!device->ReadSectors(drive, run.first, run.second, buffer.data() + at))
            return false;
        at += size_t(run.second) * SECTOR_BYTES;
    }
    return true;
}

QV_RESULT NextDirectoryExtent(ISectorDevice* device, const ICodePage& codePage, const FatGeometry& g,
                              const CDirExtent& current, const char* name, CDirExtent* next)
{
    if (g.FatBits == 0)
        return QV_DISK_INFO_ERR;
    std::vector<uint8_t> buffer;
    if (!ReadDirectoryExtent(device, g.Drive, current, buffer))
        return QV_DISK_READ_FAIL;
    DirEntryList list(codePage);
    list.Parse(buffer.data(), int(buffer.size() / DIR_ENTRY_BYTES));
    // Only folders are walked into: a file's data is not a directory.
    std::vector<bool> skip(size_t(list.GroupCount), false);
    for (int i = 0; i < list.GroupCount; ++i)
        skip[size_t(i)] = !(list.GetGroup(i)->ShortEntry()[11] & 0x10);
    int index = 0;
    if (!list.FindByLongName(name, &index, &skip))
        return QV_FILE_NOT_FOUND;
    const uint16_t firstCluster = DirEntry::FirstCluster(list.GetGroup(index)->ShortEntry());

    next->Runs.clear();
    next->IsRoot = false;
    if (firstCluster == 0) {
        // ".." of a first-level folder: cluster 0 is the root.
        next->IsRoot = true;
        next->Add(uint32_t(g.FirstRootSector), uint32_t(g.RootSectors));
        return QV_SUCCESS;
    }
    const uint32_t clusterBytes = uint32_t(g.SectorsPerCluster) * SECTOR_BYTES;
    const uint32_t maxClusters = MAX_DIRECTORY_BYTES / clusterBytes + 1;
    const int copies = g.SectorsPerFat > 0 ? (g.FirstRootSector - g.ReservedSectors) / g.SectorsPerFat : 0;
    std::vector<uint8_t> fat(size_t(g.SectorsPerFat) * SECTOR_BYTES);
    std::vector<uint16_t> clusters;
    bool stable = false;
    for (int copy = 0; copy < 2 && copy < copies && !stable; ++copy) {
        std::fill(fat.begin(), fat.end(), 0);
        const uint32_t first = uint32_t(g.ReservedSectors) + uint32_t(copy) * uint32_t(g.SectorsPerFat);
        if (device)
            device->ReadSectors(g.Drive, first, uint32_t(g.SectorsPerFat), fat.data());
        const FatChain chain(g.FatBits, uint32_t(g.ClusterCount), fat.data(), fat.size());
        stable = chain.Walk(firstCluster, std::min<uint32_t>(uint32_t(g.ClusterCount), maxClusters), clusters);
    }
    if (!stable)
        return QV_FAT_UNSTABLE;
    for (uint16_t c : clusters)
        next->Add(uint32_t(g.Cluster0Sector) + uint32_t(c) * uint32_t(g.SectorsPerCluster),
                  uint32_t(g.SectorsPerCluster));
    return QV_SUCCESS;
}

QV_RESULT DirectoryExtentOf(ISectorDevice* device, const ICodePage& codePage, const FatGeometry& g, const char* path,
                            CDirExtent* extent)
{
    extent->Runs.clear();
    extent->IsRoot = true;
    if (g.FirstRootSector <= 0 || g.RootSectors <= 0)
        return QV_DISK_INFO_ERR;
    extent->Add(uint32_t(g.FirstRootSector), uint32_t(g.RootSectors));
    const char* p = std::strchr(path, '\\');
    while (p && p[1]) {
        const char* start = p + 1;
        const char* end = std::strchr(start, '\\');
        const size_t length = end ? size_t(end - start) : std::strlen(start);
        if (length == 0 || length > MAX_LONG_NAME)
            return QV_FILE_NOT_FOUND;
        const std::string component(start, length);
        CDirExtent next;
        const QV_RESULT r = NextDirectoryExtent(device, codePage, g, *extent, component.c_str(), &next);
        if (r != QV_SUCCESS)
            return r;
        *extent = next;
        p = end;
    }
    return QV_SUCCESS;
}
