#include "QV_SysCtrl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dir_entry_list.h"
#include "dir_walk.h"
#include "fat_volume.h"
#include "sysctrl_seams.h"

static_assert(sizeof(void*) != 4 || sizeof(CQV_SysCtrl) == 60, "callers allocate fifteen 32-bit words");

int nQV_SysCtrl = 0;
int fnQV_SysCtrl() { return 42; }

namespace {

constexpr int NAME_SLOT = 256;
constexpr int MAX_FOLDER_ENTRIES = 65536;

// The name table keeps, after its last slot, the number of slots filled: the
// next name goes straight to its slot instead of a search past the others.
size_t NameTableBytes(int count) { return size_t(count) * NAME_SLOT + sizeof(int); }
int FilledSlots(const char* names, int count)
{
    int filled = 0;
    std::memcpy(&filled, names + size_t(count) * NAME_SLOT, sizeof filled);
    return filled;
}
void SetFilledSlots(char* names, int count, int filled)
{
    std::memcpy(names + size_t(count) * NAME_SLOT, &filled, sizeof filled);
}

// Directory buffers live between calls (every call holds the library's lock):
// a folder of 10,000 names is over a megabyte, and fresh pages for it on each
// call cost more than the order write itself.
std::vector<uint8_t> DirectoryBytes;
std::vector<uint8_t> OrderedBytes;
std::vector<uint8_t>& DirectoryBuffer() { return DirectoryBytes; }
std::vector<uint8_t>& OrderBuffer() { return OrderedBytes; }

const char* const ResultTexts[] = {
    "QV_SUCCESS", "QV_DISK_READ_FAIL", "QV_DISK_WRITE_FAIL", "QV_DISK_INFO_ERR",
    "QV_NEW_ENTRY_ENPTY", "QV_FAT_UNSTABLE", "QV_FILE_NOT_FOUND",
};

// Drive index of a path "X:\...", or -1.
int DriveOf(const char* path)
{
    if (!path || !path[0] || path[1] != ':') return -1;
    const char c = path[0];
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a';
    return -1;
}

bool ReadExtent(int drive, const CDirExtent& extent, std::vector<uint8_t>& buffer)
{
    return ReadDirectoryExtent(SysCtrlDevice(), drive, extent, buffer);
}

bool WriteExtent(int drive, const CDirExtent& extent, const std::vector<uint8_t>& buffer)
{
    ISectorDevice* device = SysCtrlDevice();
    if (!device) return false;
    size_t at = 0;
    for (const auto& run : extent.Runs) {
        if (!device->WriteSectors(drive, run.first, run.second, buffer.data() + at)) return false;
        at += size_t(run.second) * SECTOR_BYTES;
    }
    return true;
}

// The object's layout fields as the walk takes them.
FatGeometry Geometry(int drive, int fatBits, int sectorsPerCluster, int clusterCount, int sectorsPerFat,
                     int reservedSectors, int firstRootSector, int rootSectors, int cluster0Sector)
{
    FatGeometry g;
    g.Drive = drive;
    g.FatBits = fatBits;
    g.SectorsPerCluster = sectorsPerCluster;
    g.ClusterCount = clusterCount;
    g.SectorsPerFat = sectorsPerFat;
    g.ReservedSectors = reservedSectors;
    g.FirstRootSector = firstRootSector;
    g.RootSectors = rootSectors;
    g.Cluster0Sector = cluster0Sector;
    return g;
}

}  // namespace

CQV_SysCtrl::CQV_SysCtrl() : NewMedia(0), Names(nullptr), NameCount(0)
{
    InitParameters();
}

CQV_SysCtrl::CQV_SysCtrl(const CQV_SysCtrl& other) : Names(nullptr), NameCount(0)
{
    *this = other;
}

CQV_SysCtrl::~CQV_SysCtrl()
{
    CSysCtrlHold hold;
    FreeNames();
}

CQV_SysCtrl& CQV_SysCtrl::operator=(const CQV_SysCtrl& other)
{
    if (this == &other) return *this;
    CSysCtrlHold hold;
    // Each object owns its own name table; sharing the pointer would free it twice.
    char* copy = nullptr;
    if (other.Names && other.NameCount > 0) {
        copy = static_cast<char*>(std::malloc(NameTableBytes(other.NameCount)));
        if (copy) std::memcpy(copy, other.Names, NameTableBytes(other.NameCount));
    }
    FreeNames();
    NewMedia = other.NewMedia;
    Drive = other.Drive;
    BytesPerSector = other.BytesPerSector;
    SectorsPerCluster = other.SectorsPerCluster;
    ClusterCount = other.ClusterCount;
    SectorsPerFat = other.SectorsPerFat;
    RootEntries = other.RootEntries;
    FirstRootSector = other.FirstRootSector;
    RootSectors = other.RootSectors;
    Cluster0Sector = other.Cluster0Sector;
    FatBits = other.FatBits;
    SectorsPerTrack = other.SectorsPerTrack;
    ReservedSectors = other.ReservedSectors;
    Heads = other.Heads;
    Names = copy;
    NameCount = copy ? other.NameCount : (other.Names ? 0 : other.NameCount);
    return *this;
}

void CQV_SysCtrl::InitParameters()
{
    Drive = -1;
    BytesPerSector = SectorsPerCluster = ClusterCount = SectorsPerFat = RootEntries = 0;
    FirstRootSector = RootSectors = Cluster0Sector = FatBits = 0;
    SectorsPerTrack = 0;
    ReservedSectors = 0;
    Heads = 0;
}

void CQV_SysCtrl::FreeNames()
{
    std::free(Names);
    Names = nullptr;
}

void CQV_SysCtrl::SetNewMedia()
{
    CSysCtrlHold hold;
    NewMedia = 1;
}

void CQV_SysCtrl::SetFileNum(int n)
{
    if (n == 0) return;
    CSysCtrlHold hold;
    FreeNames();
    // No folder holds more than 65536 entries; a larger count is a caller's
    // mistake, and on the 32-bit build its table size would wrap.
    NameCount = n > 0 && n <= MAX_FOLDER_ENTRIES ? n : 0;
    if (NameCount > 0) Names = static_cast<char*>(std::calloc(1, NameTableBytes(NameCount)));
    if (!Names) NameCount = 0;
}

int CQV_SysCtrl::AddFileName(const char* name)
{
    CSysCtrlHold hold;
    if (!Names || NameCount < 1 || !name || !*name) return 0;
    const size_t length = std::strlen(name);
    // A slot holds 255 bytes and its terminator; a cut name would match a
    // different file.
    if (length >= NAME_SLOT) return 0;
    // Slots fill from the front and are only emptied all at once, so the
    // filled ones are a prefix whose length the table keeps.
    const int slot = FilledSlots(Names, NameCount);
    if (slot >= NameCount) return NameCount;
    std::memcpy(Names + size_t(slot) * NAME_SLOT, name, length + 1);
    SetFilledSlots(Names, NameCount, slot + 1);
    return slot + 1;
}

void CQV_SysCtrl::GetErrorCode(QV_RESULT r, char* text)
{
    if (!text) return;
    const int i = int(r);
    std::strcpy(text, i >= 0 && i < int(sizeof ResultTexts / sizeof *ResultTexts) ? ResultTexts[i] : "");
}

QV_RESULT CQV_SysCtrl::GetRootDirInfo(int drive)
{
    uint8_t sector[SECTOR_BYTES];
    ISectorDevice* device = SysCtrlDevice();
    if (!device || !device->ReadSectors(drive, 0, 1, sector)) {
        InitParameters();
        return QV_DISK_READ_FAIL;
    }
    FatBootInfo info;
    if (ParseBootSector(sector, info) != QV_SUCCESS) {
        InitParameters();
        return QV_DISK_INFO_ERR;
    }
    const FatGeometry g = GeometryOf(info, drive);
    BytesPerSector = info.BytesPerSector;
    SectorsPerCluster = g.SectorsPerCluster;
    ClusterCount = g.ClusterCount;
    SectorsPerFat = g.SectorsPerFat;
    RootEntries = info.RootEntries;
    ReservedSectors = static_cast<unsigned short>(g.ReservedSectors);
    FirstRootSector = g.FirstRootSector;
    RootSectors = g.RootSectors;
    Cluster0Sector = g.Cluster0Sector;
    FatBits = g.FatBits;
    SectorsPerTrack = static_cast<unsigned short>(info.SectorsPerTrack);
    Heads = 1;
    return QV_SUCCESS;
}

QV_RESULT CQV_SysCtrl::ReadFAT(unsigned char* buffer, int fatIndex)
{
    ISectorDevice* device = SysCtrlDevice();
    const uint32_t first = uint32_t(ReservedSectors) + uint32_t(fatIndex) * uint32_t(SectorsPerFat);
    if (!device || !device->ReadSectors(Drive, first, uint32_t(SectorsPerFat), buffer)) return QV_DISK_READ_FAIL;
    return QV_SUCCESS;
}

int CQV_SysCtrl::IsRootDirInfoRequired(int drive)
{
    if (drive == Drive && SectorsPerCluster && ClusterCount && SectorsPerFat && RootEntries && FirstRootSector &&
        RootSectors && Cluster0Sector && FatBits)
        return 0;
    return 1;
}

QV_RESULT CQV_SysCtrl::ReadGeometryFor(const char* path, bool force)
{
    const int drive = DriveOf(path);
    if (drive < 0) return QV_FILE_NOT_FOUND;
    if (!force && !IsRootDirInfoRequired(drive)) return QV_SUCCESS;
    const QV_RESULT r = GetRootDirInfo(drive);
    if (r == QV_SUCCESS) Drive = drive;
    return r;
}

QV_RESULT CQV_SysCtrl::GetDirSectorInfo(const char* path, CDirExtent* extent)
{
    return DirectoryExtentOf(SysCtrlDevice(), SysCtrlCodePage(),
                             Geometry(Drive, FatBits, SectorsPerCluster, ClusterCount, SectorsPerFat, ReservedSectors,
                                      FirstRootSector, RootSectors, Cluster0Sector),
                             path, extent);
}

QV_RESULT CQV_SysCtrl::GetNextDirectory(const CDirExtent& current, const char* name, CDirExtent* next)
{
    return NextDirectoryExtent(SysCtrlDevice(), SysCtrlCodePage(),
                               Geometry(Drive, FatBits, SectorsPerCluster, ClusterCount, SectorsPerFat, ReservedSectors,
                                        FirstRootSector, RootSectors, Cluster0Sector),
                               current, name, next);
}

QV_RESULT CQV_SysCtrl::InitDirectory(const char* path)
{
    // The manager calls this from its window's timers and from the transfer
    // worker at once; the sector device's volume is the process's.
    CSysCtrlHold hold;
    const bool force = NewMedia != 0;
    NewMedia = 0;
    // Geometry of another drive would place this drive's directory on the
    // wrong sectors: read the boot sector whenever the drive changes.
    QV_RESULT r = ReadGeometryFor(path, force);
    if (r != QV_SUCCESS) return r;
    CDirExtent extent;
    r = GetDirSectorInfo(path, &extent);
    if (r != QV_SUCCESS) return r;
    std::vector<uint8_t>& buffer = DirectoryBuffer();
    if (!ReadExtent(Drive, extent, buffer)) return QV_DISK_READ_FAIL;

    // The live entries move down over the deleted ones, in place, and the
    // places they leave become zero. Long-name entries right before a deleted
    // entry belong to a file deleted by its 8.3 entry alone (as DOS deletes):
    // moved up, they would stand before another file's entries and name it,
    // or break that file's own long name. They go with the file.
    // What stands from the end entry on is left as it is: no entry there is
    // this directory's for Windows, but a damaged folder may still hold live
    // entries there that other systems and fsck.fat follow, and zeros would
    // lose them with their clusters.
    const size_t entries = buffer.size() / DIR_ENTRY_BYTES;
    size_t live = 0;
    size_t longNameRun = 0;  // where the long-name entries just kept begin
    bool inLongName = false;
    bool deleted = false;
    size_t end = entries;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* e = buffer.data() + i * DIR_ENTRY_BYTES;
        if (DirEntry::IsEnd(e)) {
            end = i;
            break;
        }
        if (DirEntry::IsDeleted(e)) {
            deleted = true;
            if (inLongName) live = longNameRun;
            inLongName = false;
            continue;
        }
        if (DirEntry::IsLongName(e)) {
            if (!inLongName) longNameRun = live;
            inLongName = true;
        } else {
            inLongName = false;
        }
        if (live != i) std::memmove(buffer.data() + live * DIR_ENTRY_BYTES, e, DIR_ENTRY_BYTES);
        ++live;
    }
    if (!deleted) return QV_SUCCESS;
    if (live == 0) return QV_NEW_ENTRY_ENPTY;
    std::fill(buffer.begin() + std::ptrdiff_t(live * DIR_ENTRY_BYTES),
              buffer.begin() + std::ptrdiff_t(end * DIR_ENTRY_BYTES), 0);
    return WriteExtent(Drive, extent, buffer) ? QV_SUCCESS : QV_DISK_WRITE_FAIL;
}

QV_RESULT CQV_SysCtrl::SetFileOrder(const char* path)
{
    CSysCtrlHold hold;
    if (NameCount < 1 || !Names) return QV_SUCCESS;
    QV_RESULT r = ReadGeometryFor(path, false);
    if (r != QV_SUCCESS) {
        FreeNames();
        return r;
    }
    CDirExtent extent;
    r = GetDirSectorInfo(path, &extent);
    if (r != QV_SUCCESS) return r;

    std::vector<uint8_t>& buffer = DirectoryBuffer();
    if (!ReadExtent(Drive, extent, buffer)) {
        FreeNames();
        return QV_DISK_READ_FAIL;
    }
    const int capacity = int(buffer.size() / DIR_ENTRY_BYTES);
    DirEntryList source(SysCtrlCodePage());
    source.Parse(buffer.data(), capacity);
    DirEntryList target(SysCtrlCodePage());
    target.Parse(nullptr, 0);
    target.Capacity = capacity;
    target.Reserve(source.GroupCount);
    if (source.HasLabel && extent.IsRoot) {
        std::memcpy(target.LabelEntry, source.LabelEntry, DIR_ENTRY_BYTES);
        target.HasLabel = 1;
        target.UsedEntries = 1;
    }

    std::vector<bool> taken(size_t(source.GroupCount), false);
    size_t end = size_t(capacity);  // the first end entry
    if (!extent.IsRoot) {
        // "." and ".." stand first in a subfolder and stay there.
        for (int i = 0; i < 2 && i < source.GroupCount; ++i) {
            const DirEntryGroup* g = source.GetGroup(i);
            if (g->EntryCount() != 1 || !DirEntry::IsDotEntry(g->ShortEntry())) break;
            target.AddGroup(*g);
            taken[size_t(i)] = true;
        }
        // A label entry found in a subfolder stays in it, after "." and "..":
        // written first, as a root's label is, it would take the place of "."
        // and leave the folder without its way back.
        if (source.HasLabel) {
            DirEntryGroup label;
            label.Entries.assign(source.LabelEntry, source.LabelEntry + DIR_ENTRY_BYTES);
            target.AddGroup(label);
        }
    }
    r = QV_SUCCESS;
    // Each directory item is taken once: a name given twice would otherwise
    // write two entries for one cluster chain.
    for (int slot = 0; slot < NameCount && r == QV_SUCCESS; ++slot) {
        int index = 0;
        if (!source.FindByLongName(Names + size_t(slot) * NAME_SLOT, &index, &taken))
            r = QV_FILE_NOT_FOUND;
        else if (!target.AddGroup(*source.GetGroup(index)))
            r = QV_DISK_WRITE_FAIL;
        else
            taken[size_t(index)] = true;
    }
    if (r == QV_SUCCESS) {
        // Every file of the directory must be written back: one the table
        // leaves out, or one the parse could not reach, would lose its entry
        // while its clusters stay allocated.
        std::vector<bool> kept(size_t(capacity), false);
        for (int i = 0; i < source.GroupCount; ++i)
            if (taken[size_t(i)]) kept[size_t(source.GetGroup(i)->SourceIndex)] = true;
        for (int i = 0; i < capacity; ++i) {
            const uint8_t* e = buffer.data() + size_t(i) * DIR_ENTRY_BYTES;
            if (DirEntry::IsEnd(e)) {
                end = size_t(i);
                break;
            }
            if (DirEntry::IsDeleted(e) || DirEntry::IsLongName(e) || DirEntry::IsVolumeLabel(e) ||
                DirEntry::IsDotEntry(e))
                continue;
            if (!kept[size_t(i)]) {
                r = QV_FILE_NOT_FOUND;
                break;
            }
        }
    }
    if (r == QV_SUCCESS) {
        // The groups are views of `buffer`: the new order goes to a buffer of its own.
        std::vector<uint8_t>& ordered = OrderBuffer();
        ordered.assign(buffer.size(), 0);
        target.Serialise(ordered.data());
        // From the end entry on, the directory is written back as it was read
        // (see InitDirectory): the groups all stood before it.
        if (size_t(target.UsedEntries) <= end)
            std::copy(buffer.begin() + std::ptrdiff_t(end * DIR_ENTRY_BYTES), buffer.end(),
                      ordered.begin() + std::ptrdiff_t(end * DIR_ENTRY_BYTES));
        if (!WriteExtent(Drive, extent, ordered)) r = QV_DISK_WRITE_FAIL;
    }
    FreeNames();
    return r;
}
