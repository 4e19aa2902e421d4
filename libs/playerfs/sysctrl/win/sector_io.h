// Raw sectors of a drive on both Windows lines: the vwin32 DOS services
// (absolute disk read and write under the volume lock) on 95/98/ME, the
// volume handle on the NT line.
#pragma once

#include <windows.h>

#include <cstdint>

#include "sector_device.h"
#include "win32_calls.h"

// The register block of the vwin32 DOS services.
struct DIOC_REGISTERS {
    DWORD reg_EBX;
    DWORD reg_EDX;
    DWORD reg_ECX;
    DWORD reg_EAX;
    DWORD reg_EDI;
    DWORD reg_ESI;
    DWORD reg_Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28, "the DOS services take a 28-byte register block");

#pragma pack(push, 1)
// Absolute disk read and write of sectors from 65536 on: CX = 0xFFFF and BX
// points to this packet.
struct DISKIO {
    DWORD dwStartSector;
    WORD wSectors;
    DWORD dwBuffer;
};
#pragma pack(pop)
static_assert(sizeof(DISKIO) == 10, "the DISKIO packet is 10 bytes");

enum : DWORD {
    VWIN32_DIOC_DOS_IOCTL = 1,
    VWIN32_DIOC_DOS_INT25 = 2,
    VWIN32_DIOC_DOS_INT26 = 3,
};

class SectorIo : public ISectorDevice {
public:
    explicit SectorIo(IWin32Calls& calls = SystemWin32Calls());
    ~SectorIo() override;
    SectorIo(const SectorIo&) = delete;
    SectorIo& operator=(const SectorIo&) = delete;

    bool ReadSectors(int drive, uint32_t first, uint32_t count, void* buffer) override;
    bool WriteSectors(int drive, uint32_t first, uint32_t count, const void* buffer) override;

    int UseDosServices;

private:
    bool DosTransfer(HANDLE vwin32, DWORD code, int drive, uint32_t first, uint32_t count, void* buffer);
    bool DosLock(HANDLE vwin32, int drive, DWORD category, bool lock);
    // Opens the volume for this one transfer and closes it again: the handle
    // is never kept where another thread's transfer could replace it.
    bool NtTransfer(int drive, uint32_t first, uint32_t count, void* buffer, bool write);
    bool Transfer(HANDLE volume, uint64_t offset, DWORD bytes, void* buffer, bool write);

    IWin32Calls& Calls;
};
