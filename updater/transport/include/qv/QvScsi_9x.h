// The 95/98/ME line's transport: ASPI (WNASPI32.DLL, loaded at run time) for
// the commands and the vwin32 DOS IOCTLs for volume locks and drive maps.
#pragma once
#include "qv/QvDeviceIo.h"
#include "qv/QvScsiTransport.h"
#include "wnaspi32/Aspi32.h"
#include <cstddef>
#include <string>
#include <vector>

// The register block of a vwin32 DOS IOCTL, in its order: EBX, EDX, ECX,
// EAX, EDI, ESI, flags. Registers carry pointers (EDX), so each is pointer
// wide: 28 bytes in the 32-bit build.
struct QvDiocRegisters {
    ULONG_PTR Ebx;
    ULONG_PTR Edx;
    ULONG_PTR Ecx;
    ULONG_PTR Eax;
    ULONG_PTR Edi;
    ULONG_PTR Esi;
    ULONG_PTR Flags;
};
#ifndef _WIN64
static_assert(sizeof(QvDiocRegisters) == 28, "the DOS IOCTL register block is 28 bytes");
#endif
constexpr DWORD QV_VWIN32_DOS_IOCTL = 1;

// The 16-byte drive map information of minor code 0x6F.
#pragma pack(push, 1)
struct QvDriveMapInfo {
    BYTE AllocationLength;
    BYTE InfoLength;
    BYTE Flags;       // byte 2
    BYTE Int13Unit;   // byte 3
    DWORD AssociatedDrives;
    ULONGLONG PartitionStart;
};
#pragma pack(pop)
static_assert(sizeof(QvDriveMapInfo) == 16, "drive map information is 16 bytes");

class CQvScsi_9x : public CQvScsiTransport {
public:
    explicit CQvScsi_9x(CQvTransportOwner* owner, CQvDeviceIo* io = nullptr, std::string name = "CQvScsi_9x");
    ~CQvScsi_9x() override;

    int Open() override;
    int LockVolume(int physical) override;
    int LockForFormat(int physical) override;
    int ReleaseAfterFormat(int physical) override { return UnlockVolume(physical); }
    int UnlockVolume(int physical) override;
    int Close() override;
    int Dismount() override { return 0; }
    int ScanDrivesByInquiry() override;
    int SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply) override;

    BYTE AdapterId() const { return m_adapter; }

    // The steps of the scan, open for tests of each path.
    int DriveMapSearch(BYTE biosDrive, wchar_t& letter);
    int RegistrySearch(const std::wstring& keyName, std::vector<wchar_t>& candidates);
    int PickCandidate(const std::vector<wchar_t>& candidates, wchar_t& letter);

private:
    bool DosIoctl(wchar_t letter, BYTE minor, ULONG_PTR edx);
    bool DriveMap(wchar_t letter, QvDriveMapInfo& info);
    int LockWith(int physical, ULONG_PTR permissions);

    CQvDeviceIo& m_io;
    BYTE m_adapter = 255;
    HMODULE m_aspi = nullptr;
    ASPI_GET_SUPPORT_INFO m_supportInfo = nullptr;
    ASPI_SEND_COMMAND m_sendCommand = nullptr;
};
