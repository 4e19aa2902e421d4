// Raw sector access to a drive (\\.\X:) for the Windows memory tests, with just
// enough FAT reading to find a folder's directory entries and the free space.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct RawGroup {
    std::string LongName;  // ASCII long name, or the 8.3 name when there is none
    std::vector<uint8_t> Entries;
    const uint8_t* ShortEntry() const { return &Entries[Entries.size() - 32]; }
};

class CRawDrive {
public:
    ~CRawDrive();
    bool Open(char letter, bool write);
    bool OpenPath(const std::string& path, bool write);
    void Close();
    bool Read(uint64_t offset, void* data, uint32_t size);
    bool Write(uint64_t offset, const void* data, uint32_t size);
    // Boot sector and FAT copy 0.
    bool Load();
    // A folder's directory as bytes ("" is the root), and where they lie.
    bool ReadFolder(const std::string& longName, std::vector<uint8_t>* bytes, std::vector<uint64_t>* offsets);
    bool WriteFolder(const std::vector<uint8_t>& bytes, const std::vector<uint64_t>& offsets);
    uint32_t FreeClusters() const;
    std::string RootLabel();

    uint32_t BytesPerSector = 0, SectorsPerCluster = 0, ReservedSectors = 0, FatCount = 0, RootEntries = 0,
             SectorsPerFat = 0, TotalSectors = 0, FirstRootSector = 0, FirstDataSector = 0, ClusterCount = 0,
             FatBits = 0;
    std::vector<uint8_t> Boot, Fat;
    DWORD LastError = 0;

private:
    uint32_t Next(uint32_t cluster) const;
    HANDLE Handle = INVALID_HANDLE_VALUE;
};

// The groups of a directory in disk order, without ".", ".." and the label.
std::vector<RawGroup> ParseGroups(const std::vector<uint8_t>& dir);
