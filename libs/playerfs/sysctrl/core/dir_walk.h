// The walk from a volume's root to a folder's directory sectors, reading
// only: the directory object's own walk, and the window's read of a folder's
// entry order, both use it.
#pragma once

#include <cstdint>
#include <vector>

#include "QV_SysCtrl.h"
#include "code_page.h"
#include "fat_volume.h"
#include "sector_device.h"

// What the walk needs of a FAT12/16 volume's layout.
struct FatGeometry {
    int Drive = -1;
    int FatBits = 0;
    int SectorsPerCluster = 0;
    int ClusterCount = 0;
    int SectorsPerFat = 0;
    int ReservedSectors = 0;
    int FirstRootSector = 0;
    int RootSectors = 0;
    int Cluster0Sector = 0;
};

// The layout a boot sector gives.
FatGeometry GeometryOf(const FatBootInfo& info, int drive);

// The layout from the volume's boot sector (read through the device).
QV_RESULT ReadFatGeometry(ISectorDevice* device, int drive, FatGeometry& geometry);

// Every sector of a directory's extent, in order, into `buffer`.
bool ReadDirectoryExtent(ISectorDevice* device, int drive, const CDirExtent& extent, std::vector<uint8_t>& buffer);

// The extent of the subfolder `name` of the directory at `current`:
// QV_FILE_NOT_FOUND when no folder of that long name is there,
// QV_FAT_UNSTABLE when its chain cannot be followed in either FAT copy.
QV_RESULT NextDirectoryExtent(ISectorDevice* device, const ICodePage& codePage, const FatGeometry& geometry,
                              const CDirExtent& current, const char* name, CDirExtent* next);

// The extent of the folder of a path "X:\A\B\" (or "X:\", the root).
QV_RESULT DirectoryExtentOf(ISectorDevice* device, const ICodePage& codePage, const FatGeometry& geometry,
                            const char* path, CDirExtent* extent);
