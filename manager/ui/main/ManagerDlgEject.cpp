// Releasing the player's volume so that Windows lets go of it, and ejecting
// its medium: the DOS IOCTL service of vwin32 on 95/98/ME, volume handles on
// the NT line.
#include "ManagerDlg.h"

#include <winioctl.h>

#include <cstdio>

#include "PlayerCalls.h"

namespace {

// The vwin32 register block: EBX, EDX, ECX, EAX, EDI, ESI, flags.
struct DIOC_REGISTERS {
    DWORD Ebx, Edx, Ecx, Eax, Edi, Esi, Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28, "the service's register block is 28 bytes");

const DWORD VWIN32_DIOC_DOS_IOCTL = 1;
const DWORD CARRY = 1;

#pragma pack(push, 1)
struct LOCK_STATUS {
    BYTE Operation;
    BYTE Locks;
};
#pragma pack(pop)

// One DOS IOCTL; false when the call fails or carry comes back set.
bool DosIoctl(CPlayerCalls& calls, HANDLE vwin32, DIOC_REGISTERS& regs)
{
    DWORD returned = 0;
    regs.Flags = CARRY;  // a service that does nothing must not read as success
    const BOOL ok =
        calls.DeviceIoControl(vwin32, VWIN32_DIOC_DOS_IOCTL, &regs, sizeof regs, &regs, sizeof regs, &returned);
    return ok && !(regs.Flags & CARRY);
}

bool LogicalLock(CPlayerCalls& calls, HANDLE vwin32, int drive, bool lock)
{
    for (DWORD category : {0x48u, 0x08u}) {
        DIOC_REGISTERS regs = {};
        regs.Eax = 0x440D;
        regs.Ebx = DWORD(drive);  // lock level 0 in BH
        regs.Ecx = (category << 8) | (lock ? 0x4A : 0x6A);
        regs.Edx = 0;
        if (DosIoctl(calls, vwin32, regs))
            return true;
    }
    return false;
}

// Operation 2 reports the media lock count; operation 1 unlocks once.
bool MediaLockCall(CPlayerCalls& calls, HANDLE vwin32, int drive, BYTE operation, LOCK_STATUS& status,
                   bool* carry, DWORD* error)
{
    DIOC_REGISTERS regs = {};
    status.Operation = operation;
    regs.Eax = 0x440D;
    regs.Ebx = DWORD(drive);
    regs.Ecx = 0x0848;
    regs.Edx = DWORD(reinterpret_cast<UINT_PTR>(&status));
    DWORD returned = 0;
    regs.Flags = CARRY;
    if (!calls.DeviceIoControl(vwin32, VWIN32_DIOC_DOS_IOCTL, &regs, sizeof regs, &regs, sizeof regs, &returned))
        return false;
    *carry = (regs.Flags & CARRY) != 0;
    *error = regs.Eax & 0xFFFF;
    return true;
}

bool LetMediumGo(CPlayerCalls& calls, HANDLE vwin32, int drive)
{
    LOCK_STATUS status = {};
    bool carry = false;
    DWORD error = 0;
    if (!MediaLockCall(calls, vwin32, drive, 2, status, &carry, &error))
        return false;
    // 0xB0: the medium is not locked; 1: the drive has no lock support.
    if (carry && error != 0xB0 && error != 1)
        return false;
    if (carry)
        return true;
    const int locks = status.Locks;
    for (int i = 0; i < locks; ++i) {
        if (!MediaLockCall(calls, vwin32, drive, 1, status, &carry, &error) || carry)
            return false;
    }
    return true;
}

}  // namespace

bool EjectVolume9x(CPlayerCalls& calls, char letter, bool eject)
{
    if (letter >= 'a' && letter <= 'z')
        letter = char(letter - 'a' + 'A');
    const int drive = letter - 64;
    HANDLE vwin32 = calls.CreateFileA("\\\\.\\vwin32", 0, 0, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    bool result = false;
    if (vwin32 != INVALID_HANDLE_VALUE) {
        if (!LogicalLock(calls, vwin32, drive, true)) {
            ::OutputDebugStringA("Volume is in use by another application\n");
        } else {
            result = LetMediumGo(calls, vwin32, drive);
            if (!result)
                ::OutputDebugStringA("Could not unlock media from drive \n");
            if (result && eject) {
                DIOC_REGISTERS regs = {};
                regs.Eax = 0x440D;
                regs.Ebx = DWORD(drive);
                regs.Ecx = 0x0849;
                if (!DosIoctl(calls, vwin32, regs)) {
                    ::OutputDebugStringA("Could not eject media from drive\n");
                    result = false;
                }
            }
            LogicalLock(calls, vwin32, drive, false);
        }
        calls.CloseHandle(vwin32);
    }
    return result;
}

bool EjectVolumeNT(CPlayerCalls& calls, char letter, bool eject)
{
    const char root[] = {letter, ':', '\\', 0};
    const UINT type = calls.GetDriveTypeA(root);
    if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM) {
        std::printf("Cannot eject.  Drive type is incorrect.\n");
        return false;
    }
    const char name[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    const DWORD access = type == DRIVE_REMOVABLE ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    HANDLE volume = calls.CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (volume == INVALID_HANDLE_VALUE) {
        std::printf("Error %lu: %s\n", static_cast<unsigned long>(::GetLastError()), "CreateFile");
        return false;
    }
    DWORD returned = 0;
    bool locked = false;
    for (int attempt = 0; attempt < 10 && !locked; ++attempt) {
        locked = calls.DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned) != 0;
        if (!locked)
            calls.Sleep(100);
    }
    bool dismounted = false;
    if (locked)
        dismounted = calls.DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned) != 0;
    if (locked && dismounted && eject) {
        PREVENT_MEDIA_REMOVAL allow = {};
        allow.PreventMediaRemoval = FALSE;
        if (calls.DeviceIoControl(volume, IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow, nullptr, 0, &returned))
            calls.DeviceIoControl(volume, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned);
    }
    const bool closed = calls.CloseHandle(volume) != 0;
    return locked && dismounted && closed;
}

bool CManagerDlg::EjectMedia9x(char letter, bool eject)
{
    return EjectVolume9x(*m_playerCalls, letter, eject);
}

bool CManagerDlg::EjectMediaNT(char letter, bool eject)
{
    return EjectVolumeNT(*m_playerCalls, letter, eject);
}
