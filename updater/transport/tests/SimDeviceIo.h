// Test binding of the device seam: the volumes, the recovery devices and
// "\\.\vwin32" of the simulated player, in the test program's own process.
// It does what the stand-in kernel driver does for the real calls: parses the
// pass-through block, runs the CDB on the player's SCSI target, answers the
// volume controls and completes recovery writes through the caller's APC.
#pragma once
#include "qv/QvDeviceIo.h"
#include "simscsi/SimPlayerTarget.h"
#include <map>
#include "Sync.h"
#include <string>
#include <vector>

class CSimDeviceIo : public CQvDeviceIo {
public:
    CSimDeviceIo();
    ~CSimDeviceIo() override;

    // What is attached.
    std::map<wchar_t, CSimPlayerTarget*> volumes;        // drive letter -> player
    std::map<int, CSimRecoveryDevice*> recoveryDevices;  // index -> device
    DWORD extraDrives = 0;                 // letters added to the real ones
    std::map<wchar_t, UINT> driveTypes;    // types that replace the real ones
    bool vwin32 = true;                    // "\\.\vwin32" opens
    bool fat32Category = true;             // DOS IOCTL category 0x48 is answered
    bool driveMapAnswers = true;           // minor 0x6F is answered
    struct DriveMap { BYTE flags; BYTE unit; };
    std::map<wchar_t, DriveMap> driveMaps; // drive map answers per letter
    int reportedSenseLength = 18;          // SenseInfoLength the driver hands back
    bool failPassThrough = false;          // DeviceIoControl itself fails
    // The player that appears at this letter once a recovery device has the
    // whole image.
    wchar_t comeBackLetter = 0;
    CSimPlayerTarget* comeBackPlayer = nullptr;

    // What happened.
    struct PassThrough {
        std::vector<uint8_t> buffer; // the block as it arrived
        DWORD inLength;
        DWORD outLength;
    };
    std::vector<std::wstring> opened;          // every path asked for
    std::vector<PassThrough> passThroughs;
    std::vector<DWORD> controlCodes;
    struct DosCall { wchar_t letter; BYTE category; BYTE minor; ULONG_PTR edx; };
    std::vector<DosCall> dosCalls;
    int openHandles() const;
    LONG writesIssued = 0;
    volatile LONG completionsRun = 0;
    LONG cancels = 0;

    HANDLE OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override;
    BOOL Control(HANDLE handle, DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                 DWORD* returned) override;
    BOOL CloseFile(HANDLE handle) override;
    BOOL WriteEx(HANDLE handle, const void* data, DWORD length, OVERLAPPED* overlapped,
                 LPOVERLAPPED_COMPLETION_ROUTINE done) override;
    BOOL Cancel(HANDLE handle) override;
    DWORD LogicalDrives() override;
    UINT DriveType(const wchar_t* root) override;
    void Pause(DWORD milliseconds) override { Sleep(milliseconds); }

    // A pending recovery write, completed later on the writer's thread.
    struct Pending;

private:
    enum Kind { VOLUME, RECOVERY, VWIN32 };
    struct Open { Kind kind; wchar_t letter; int index; };
    BOOL PassThroughCall(CSimPlayerTarget& target, void* in, DWORD inLength, void* out, DWORD outLength,
                         DWORD* returned);
    BOOL DosIoctl(void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned);

    mutable mb::CCriticalSection m_mutex;
    std::map<HANDLE, Open> m_handles;
    ULONG_PTR m_nextHandle = 0x5000;
    std::vector<Pending*> m_pending;
};
