#include "sector_io.h"

#include <cstring>

namespace {

bool ValidDrive(int drive) { return drive >= 0 && drive < 26; }

// The DOS services see 32-bit addresses; the shipped build is 32-bit.
DWORD Address32(const void* p) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace

SectorIo::SectorIo(IWin32Calls& calls) : UseDosServices(0), Calls(calls)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (Calls.GetVersionExA(&info)) UseDosServices = info.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

SectorIo::~SectorIo() = default;

bool SectorIo::ReadSectors(int drive, uint32_t first, uint32_t count, void* buffer)
{
    if (!ValidDrive(drive) || count == 0 || !buffer) return false;
    if (!UseDosServices) return NtTransfer(drive, first, count, buffer, false);
    HANDLE vwin32 = Calls.CreateFileA("\\\\.\\vwin32", 0, 0, 0, FILE_FLAG_DELETE_ON_CLOSE);
    if (vwin32 == INVALID_HANDLE_VALUE) return false;
    const bool ok = DosTransfer(vwin32, VWIN32_DIOC_DOS_INT25, drive, first, count, buffer);
    Calls.CloseHandle(vwin32);
    return ok;
}

bool SectorIo::WriteSectors(int drive, uint32_t first, uint32_t count, const void* buffer)
{
    if (!ValidDrive(drive) || count == 0 || !buffer) return false;
    if (!UseDosServices) return NtTransfer(drive, first, count, const_cast<void*>(buffer), true);
    HANDLE vwin32 = Calls.CreateFileA("\\\\.\\vwin32", 0, 0, 0, FILE_FLAG_DELETE_ON_CLOSE);
    if (vwin32 == INVALID_HANDLE_VALUE) return false;
    // Some versions refuse the level-0 lock with the FAT category 0x48 and
    // take it with the generic category 0x08.
    if (!DosLock(vwin32, drive, 0x48, true) && !DosLock(vwin32, drive, 0x08, true)) {
        Calls.CloseHandle(vwin32);
        return false;
    }
    const bool ok = DosTransfer(vwin32, VWIN32_DIOC_DOS_INT26, drive, first, count, const_cast<void*>(buffer));
    if (!DosLock(vwin32, drive, 0x48, false)) DosLock(vwin32, drive, 0x08, false);
    Calls.CloseHandle(vwin32);
    return ok;
}

bool SectorIo::DosLock(HANDLE vwin32, int drive, DWORD category, bool lock)
{
    DIOC_REGISTERS regs = {};
    regs.reg_EAX = 0x440D;
    regs.reg_EBX = DWORD(drive + 1);  // lock level 0 in BH
    regs.reg_ECX = (category << 8) | (lock ? 0x4A : 0x6A);
    regs.reg_EDX = 0;
    regs.reg_Flags = 1;
    DWORD returned = 0;
    const BOOL ok = Calls.DeviceIoControl(vwin32, VWIN32_DIOC_DOS_IOCTL, &regs, sizeof regs, &regs, sizeof regs,
                                          &returned);
    return ok && !(regs.reg_Flags & 1);
}

bool SectorIo::DosTransfer(HANDLE vwin32, DWORD code, int drive, uint32_t first, uint32_t count, void* buffer)
{
    if (count >= 0xFFFF) return false;
    // The register form carries a 16-bit sector number, so from sector 65536
    // on only the DISKIO packet reaches the sector instead of wrapping onto
    // first - 65536. DOS also refuses the register form with error 0207h on
    // any drive of more than 65535 sectors (every player memory over 32 MB);
    // such a drive is then asked again with the packet.
    if (first < 0x10000u) {
        DIOC_REGISTERS regs = {};
        regs.reg_EAX = DWORD(drive);
        regs.reg_EBX = Address32(buffer);
        regs.reg_EDX = first;
        regs.reg_ECX = count;
        regs.reg_Flags = 1;
        DWORD returned = 0;
        const BOOL ok = Calls.DeviceIoControl(vwin32, code, &regs, sizeof regs, &regs, sizeof regs, &returned);
        if (ok && !(regs.reg_Flags & 1)) return true;
        if (!ok || (regs.reg_EAX & 0xFFFF) != 0x0207) return false;
    }
    DIOC_REGISTERS regs = {};
    DISKIO packet = {};
    packet.dwStartSector = first;
    packet.wSectors = WORD(count);
    packet.dwBuffer = Address32(buffer);
    regs.reg_EAX = DWORD(drive);
    regs.reg_EBX = Address32(&packet);
    regs.reg_ECX = 0xFFFF;
    regs.reg_Flags = 1;
    DWORD returned = 0;
    const BOOL ok = Calls.DeviceIoControl(vwin32, code, &regs, sizeof regs, &regs, sizeof regs, &returned);
    return ok && !(regs.reg_Flags & 1);
}

bool SectorIo::Transfer(HANDLE volume, uint64_t offset, DWORD bytes, void* buffer, bool write)
{
    // The handle's position goes to the first sector, and the transfer names
    // that offset too: a synchronous handle reads there either way, and a
    // device that keeps no position for its handles (a driver's device under
    // Wine refuses the seek) still gets the right sectors. The seek's own
    // answer therefore decides nothing; the transfer's does.
    LONG high = LONG(offset >> 32);
    Calls.SetFilePointer(volume, LONG(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    OVERLAPPED at = {};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD done = 0;
    // Success means every byte moved, not merely that the call returned.
    return (write ? Calls.WriteFile(volume, buffer, bytes, &done, &at) : Calls.ReadFile(volume, buffer, bytes, &done, &at)) &&
           done == bytes;
}

bool SectorIo::NtTransfer(int drive, uint32_t first, uint32_t count, void* buffer, bool write)
{
    char name[] = "\\\\.\\1:";
    name[4] = char('A' + drive);
    // No sharing: on FAT the exclusive open is what keeps others off the
    // volume while its sectors change.
    HANDLE volume = Calls.CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (volume == INVALID_HANDLE_VALUE) return false;
    const uint64_t offset = uint64_t(first) * SECTOR_BYTES;
    const uint64_t bytes64 = uint64_t(count) * SECTOR_BYTES;
    const bool ok = bytes64 <= 0xFFFFFFFFu && Transfer(volume, offset, DWORD(bytes64), buffer, write);
    Calls.CloseHandle(volume);
    return ok;
}
