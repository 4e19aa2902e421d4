// qvusbmscformat.exe / qvrx3format.exe: formats one memory of the player.
//
//   qvusbmscformat.exe X: [LABEL]
//
// Exit codes: 0 formatted; 1 bad arguments (a label FAT cannot hold among
// them); 2 the drive is not removable; 3 no such drive; 4 no FAT12/FAT16
// layout for its size (or its size cannot be read); 5 a write failed; 6 a run
// did not read back; 7 the volume is in use. Each failure writes one line to
// the standard error and the debug output: the manager starts the tool hidden.
#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <string>

#include "VolumeFormat.h"
#include "sector_io.h"

#ifndef IOCTL_DISK_GET_LENGTH_INFO
#define IOCTL_DISK_GET_LENGTH_INFO CTL_CODE(IOCTL_DISK_BASE, 0x0017, METHOD_BUFFERED, FILE_READ_ACCESS)
#endif

namespace {
enum { EXIT_USAGE = 1, EXIT_NOT_REMOVABLE = 2, EXIT_NO_DRIVE = 3, EXIT_NO_SIZE = 4, EXIT_IN_USE = 7 };

int Fail(int code, const std::string& text)
{
    std::string line = "qvformat: " + text + "\n";
    std::fputs(line.c_str(), stderr);
    OutputDebugStringA(line.c_str());
    return code;
}

bool NtLine()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The NT line's volume, locked for the whole format so that no file system
// writes between our sectors, and dismounted afterwards so that the next
// open mounts the new file system.
class CLockedVolume : public ISectorDevice {
public:
    explicit CLockedVolume(char letter)
    {
        char name[] = "\\\\.\\X:";
        name[4] = letter;
        Handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    }
    ~CLockedVolume() override
    {
        if (Handle == INVALID_HANDLE_VALUE) return;
        DWORD done = 0;
        if (Locked) {
            DeviceIoControl(Handle, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &done, nullptr);
            DeviceIoControl(Handle, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &done, nullptr);
        }
        CloseHandle(Handle);
    }
    bool Open() const { return Handle != INVALID_HANDLE_VALUE; }
    bool Lock()
    {
        DWORD done = 0;
        Locked = DeviceIoControl(Handle, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &done, nullptr) != 0;
        return Locked;
    }
    // The volume's length and where it starts on its disk: the length call
    // of XP, the partition record of 2000, else the size of what backs it.
    bool Size(uint64_t& sectors, uint32_t& hidden)
    {
        DWORD done = 0;
        hidden = 0;
        PARTITION_INFORMATION part = {};
        bool havePart = DeviceIoControl(Handle, IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0, &part, sizeof part,
                                        &done, nullptr) != 0;
        if (havePart) hidden = part.HiddenSectors;
        LARGE_INTEGER length = {};
        if (DeviceIoControl(Handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done,
                            nullptr) && length.QuadPart > 0) {
            sectors = uint64_t(length.QuadPart) / SECTOR_BYTES;
            return true;
        }
        if (havePart && part.PartitionLength.QuadPart > 0) {
            sectors = uint64_t(part.PartitionLength.QuadPart) / SECTOR_BYTES;
            return true;
        }
        DWORD high = 0;
        DWORD low = GetFileSize(Handle, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
        sectors = ((uint64_t(high) << 32) | low) / SECTOR_BYTES;
        return sectors != 0;
    }
    bool ReadSectors(int, uint32_t first, uint32_t count, void* buffer) override
    {
        return Transfer(first, count, buffer, false);
    }
    bool WriteSectors(int, uint32_t first, uint32_t count, const void* buffer) override
    {
        return Transfer(first, count, const_cast<void*>(buffer), true);
    }

private:
    bool Transfer(uint32_t first, uint32_t count, void* buffer, bool write)
    {
        const uint64_t offset = uint64_t(first) * SECTOR_BYTES;
        const DWORD bytes = count * SECTOR_BYTES;
        DWORD done = 0;
        // The offset is named in the transfer itself, not set as the file
        // position first: under Wine a driver's device keeps no position
        // (moving it fails, and a transfer without an offset starts at
        // sector 0).
        OVERLAPPED at = {};
        at.Offset = DWORD(offset & 0xFFFFFFFFu);
        at.OffsetHigh = DWORD(offset >> 32);
        BOOL ok = write ? WriteFile(Handle, buffer, bytes, &done, &at) : ReadFile(Handle, buffer, bytes, &done, &at);
        return ok && done == bytes;
    }

    HANDLE Handle = INVALID_HANDLE_VALUE;
    bool Locked = false;
};

// 95/98/ME: the size of the file system on the memory now (its boot sector),
// since these systems give a volume's length only through the file system.
bool SizeFromBootSector(ISectorDevice& device, int drive, uint64_t& sectors, uint32_t& hidden)
{
    uint8_t boot[SECTOR_BYTES];
    if (!device.ReadSectors(drive, 0, 1, boot)) return false;
    uint32_t small = boot[19] | boot[20] << 8;
    uint32_t large = boot[32] | boot[33] << 8 | boot[34] << 16 | uint32_t(boot[35]) << 24;
    hidden = boot[28] | boot[29] << 8 | boot[30] << 16 | uint32_t(boot[31]) << 24;
    sectors = small ? small : large;
    return sectors != 0 && boot[510] == 0x55 && boot[511] == 0xAA;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) return Fail(EXIT_USAGE, "usage: qvusbmscformat X: [LABEL]");
    const std::string drive = argv[1];
    const char letter = char(std::toupper(static_cast<unsigned char>(drive.empty() ? 0 : drive[0])));
    if (drive.size() != 2 || drive[1] != ':' || letter < 'A' || letter > 'Z')
        return Fail(EXIT_USAGE, "the drive must be given as X:, not \"" + drive + "\"");
    const std::string label = argc == 3 ? argv[2] : "";
    if (!IsValidVolumeLabel(label.substr(0, 11)))
        return Fail(EXIT_USAGE, "the label \"" + label + "\" holds a character a FAT volume label cannot");
    const std::string root = std::string(1, letter) + ":\\";
    const UINT type = GetDriveTypeA(root.c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) return Fail(EXIT_NO_DRIVE, "there is no drive " + drive);
    if (type != DRIVE_REMOVABLE) return Fail(EXIT_NOT_REMOVABLE, drive + " is not a removable drive; it is not formatted");

    const int index = letter - 'A';
    uint64_t sectors = 0;
    uint32_t hidden = 0;
    VOLUME_LAYOUT layout;
    std::string error;
    int r;
    if (NtLine()) {
        CLockedVolume volume(letter);
        if (!volume.Open()) return Fail(EXIT_NO_DRIVE, "cannot open the memory of " + drive);
        if (!volume.Lock()) return Fail(EXIT_IN_USE, "the memory of " + drive + " is in use; close its files first");
        if (!volume.Size(sectors, hidden)) return Fail(EXIT_NO_SIZE, "cannot read the size of the memory of " + drive);
        r = FormatVolume(volume, index, sectors, hidden, label, &layout, error);
    } else {
        SectorIo io;
        io.UseDosServices = 1;
        if (!SizeFromBootSector(io, index, sectors, hidden))
            return Fail(EXIT_NO_SIZE, "cannot read the size of the memory of " + drive);
        r = FormatVolume(io, index, sectors, hidden, label, &layout, error);
    }
    if (r != VF_OK) return Fail(r, error);
    std::printf("qvformat: %s formatted as FAT%d, %u sectors, %u sectors per cluster\n", drive.c_str(),
                layout.Fat16 ? 16 : 12, unsigned(layout.FilesystemSectors), unsigned(layout.SectorsPerCluster));
    return 0;
}
