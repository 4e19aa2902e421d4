// The ASPI interface of the 95/98/ME line as the updater uses it: the two
// entry points of WNASPI32.DLL and the request blocks for host adapter
// inquiry, SCSI command execution and disk information. Requests are packed;
// the 32-bit build has the published 80-byte execute request.
#pragma once
#include <windows.h>
#include <cstddef>

enum : BYTE {
    ASPI_CMD_HA_INQUIRY = 0,
    ASPI_CMD_EXEC_SCSI = 2,
    ASPI_CMD_GET_DISK_INFO = 6,
};
enum : BYTE {
    ASPI_STATUS_PENDING = 0,
    ASPI_STATUS_COMPLETE = 1,
    ASPI_STATUS_ABORTED = 2,
    ASPI_STATUS_ERROR = 4,
    ASPI_STATUS_INVALID_ADAPTER = 0x81,
    ASPI_STATUS_NO_DEVICE = 0x82,
    ASPI_STATUS_NO_ADAPTERS = 0xE8,
};
enum : BYTE {
    ASPI_FLAG_DATA_IN = 0x08,
    ASPI_FLAG_DATA_OUT = 0x10,
    ASPI_FLAG_EVENT_NOTIFY = 0x40,
};

#pragma pack(push, 1)
struct ASPI_HA_INQUIRY {
    BYTE Command;
    BYTE Status;
    BYTE AdapterId;
    BYTE Flags;
    DWORD Reserved;
    BYTE AdapterCount;   // byte 8
    BYTE AdapterScsiId;
    BYTE ManagerId[16];
    BYTE Identifier[16];
    BYTE Unique[16];
    WORD Reserved2;
};

struct ASPI_EXEC_SCSI {
    BYTE Command;
    BYTE Status;
    BYTE AdapterId;
    BYTE Flags;
    DWORD Reserved;
    BYTE Target;
    BYTE Lun;
    WORD Reserved1;
    DWORD BufferLength;
    BYTE* Buffer;
    BYTE SenseLength;
    BYTE CdbLength;
    BYTE AdapterStatus;
    BYTE TargetStatus;
    HANDLE PostProc;     // the event signalled at completion
    BYTE Reserved2[20];
    BYTE Cdb[16];
    BYTE SenseArea[16];
};

struct ASPI_DISK_INFO {
    BYTE Command;
    BYTE Status;
    BYTE AdapterId;
    BYTE Flags;
    DWORD Reserved;
    BYTE Target;
    BYTE Lun;
    BYTE DriveFlags;
    BYTE BiosDrive;      // byte 11; bit 7 set when the BIOS knows the unit
    BYTE Heads;
    BYTE Sectors;
    BYTE Reserved1[10];
};
#pragma pack(pop)

#ifndef _WIN64
static_assert(sizeof(ASPI_EXEC_SCSI) == 80, "the execute request is 80 bytes");
static_assert(offsetof(ASPI_EXEC_SCSI, Buffer) == 16, "buffer pointer at 16");
static_assert(offsetof(ASPI_EXEC_SCSI, PostProc) == 24, "post procedure at 24");
static_assert(offsetof(ASPI_EXEC_SCSI, Cdb) == 48, "CDB at 48");
static_assert(offsetof(ASPI_EXEC_SCSI, SenseArea) == 64, "sense area at 64");
#endif
static_assert(offsetof(ASPI_HA_INQUIRY, AdapterCount) == 8, "adapter count at 8");
static_assert(offsetof(ASPI_DISK_INFO, BiosDrive) == 11, "BIOS drive at 11");

typedef DWORD(__cdecl* ASPI_GET_SUPPORT_INFO)(void);
typedef DWORD(__cdecl* ASPI_SEND_COMMAND)(void* request);

// Our stand-in DLL's own export: what stands behind its host adapters.
// exec runs one CDB on adapter's unit 0 and returns the SCSI status, or -1
// when the adapter has no unit.
typedef int(__cdecl* ASPI_STANDIN_EXEC)(void* context, BYTE adapter, const BYTE* cdb, BYTE cdbLength, int dataIn,
                                        BYTE* data, DWORD dataLength, BYTE* sense, BYTE senseLength);
struct ASPI_STANDIN_CONFIG {
    BYTE adapterCount;
    ASPI_STANDIN_EXEC exec;
    void* context;
    BYTE biosDrive[8];     // answer of the disk information request per adapter
    int completeAtOnce;    // 1: execute requests complete inside the call
};
typedef void(__cdecl* ASPI_STANDIN_CONFIGURE)(const ASPI_STANDIN_CONFIG* config);
