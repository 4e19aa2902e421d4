// One FAT12/FAT16 volume held in an image, read and written in place.
//
// Every call reads what it needs (boot sector, FAT, directories) from the
// image afresh and writes its changes back before it returns, so a change made
// to the image behind the volume's back is seen by the next call, and a process
// killed between calls leaves a consistent image. Failures are negative errno
// values: -EIO for a damaged image, -ENOSPC when the memory is full (nothing is
// changed then), -ENOENT, -EEXIST, -ENOTDIR, -EISDIR, -ENOTEMPTY, -EINVAL,
// -ENAMETOOLONG as a file system reports them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "block_store.h"

enum : uint8_t {
    FAT_ATTR_READONLY = 0x01,
    FAT_ATTR_HIDDEN = 0x02,
    FAT_ATTR_SYSTEM = 0x04,
    FAT_ATTR_VOLUME = 0x08,
    FAT_ATTR_DIRECTORY = 0x10,
    FAT_ATTR_ARCHIVE = 0x20,
    FAT_ATTR_LONG_NAME = 0x0F,
};

struct FatGeometry {
    uint32_t BytesPerSector = 0;
    uint32_t SectorsPerCluster = 0;
    uint32_t ReservedSectors = 0;
    uint32_t FatCount = 0;
    uint32_t RootEntries = 0;
    uint32_t SectorsPerFat = 0;
    uint32_t TotalSectors = 0;
    uint32_t FirstRootSector = 0;
    uint32_t RootSectors = 0;
    uint32_t FirstDataSector = 0;
    uint32_t ClusterCount = 0;  // data clusters, numbered 2 .. ClusterCount + 1
    uint32_t ClusterBytes = 0;
    uint32_t FatBits = 0;       // 12 or 16
    bool HasExtendedBootRecord = false;
};

// Checks a boot sector against the image it came from; 0 or -EIO.
int ParseBootSector(const uint8_t* sector, size_t size, uint64_t imageSize, FatGeometry* geometry);

struct FatNode {
    std::string Name;       // long name when the entry has a valid one, else the 8.3 name
    std::string ShortName;  // the 8.3 name as "NAME.EXT"
    uint8_t Attributes = 0;
    uint32_t Size = 0;
    uint32_t FirstCluster = 0;
    time_t Modified = 0;
    time_t Accessed = 0;
    time_t Created = 0;
    bool IsDirectory() const { return (Attributes & FAT_ATTR_DIRECTORY) != 0; }
};

struct FatSpace {
    uint32_t ClusterBytes = 0;
    uint32_t ClusterCount = 0;
    uint32_t FreeClusters = 0;
};

class CFatVolume {
public:
    explicit CFatVolume(IBlockStore& store) : Store(store) {}

    // Walks the whole tree: every chain in range, no loop, no cluster claimed
    // twice, no file longer than its chain. 0 or -EIO.
    int Verify();

    // Paths are "/" or "/A/B"; names match long or 8.3 names, ignoring case.
    int Stat(const std::string& path, FatNode* node);
    int List(const std::string& path, std::vector<FatNode>* nodes);  // disk order
    int Read(const std::string& path, uint64_t offset, size_t size, std::vector<uint8_t>* data);
    int Write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size);
    int Resize(const std::string& path, uint64_t size);
    int CreateFile(const std::string& path, uint8_t attributes);
    int MakeDirectory(const std::string& path);
    int RemoveFile(const std::string& path);
    int RemoveDirectory(const std::string& path);
    int Rename(const std::string& from, const std::string& to, bool replace);
    // Read-only, hidden, system and archive; the other bits are kept.
    int SetAttributes(const std::string& path, uint8_t attributes);
    int SetTimes(const std::string& path, const time_t* modified, const time_t* accessed);
    int GetGeometry(FatGeometry* geometry);
    int GetSpace(FatSpace* space);
    int GetLabel(std::string* label);      // empty when the volume has none
    int SetLabel(const std::string& label);  // empty removes it

private:
    IBlockStore& Store;
};
