// The NT line's transport (Windows 2000 and XP): SCSI pass-through on the
// player's volume.
#pragma once
#include "qv/QvDeviceIo.h"
#include "qv/QvScsiTransport.h"
#include <ntddscsi.h>
#include <cstddef>

// The pass-through buffer: the header, a 32-bit total length, a 32-bit zero,
// 18 bytes of sense, then the data. The 32-bit build has the 44-byte header
// and the offsets 52 and 70; the 64-bit build uses its own header size.
constexpr size_t QV_SPT_HEADER = sizeof(SCSI_PASS_THROUGH);
constexpr size_t QV_SPT_SENSE_AT = QV_SPT_HEADER + 8;
constexpr size_t QV_SPT_SENSE_BYTES = 18;
constexpr size_t QV_SPT_DATA_AT = QV_SPT_SENSE_AT + QV_SPT_SENSE_BYTES;
constexpr ULONG QV_SPT_TIMEOUT_SECONDS = 120;
#ifndef _WIN64
static_assert(QV_SPT_HEADER == 44, "32-bit pass-through header is 44 bytes");
static_assert(QV_SPT_SENSE_AT == 52 && QV_SPT_DATA_AT == 70, "sense at 52, data at 70");
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == 12, "transfer length at 12");
static_assert(offsetof(SCSI_PASS_THROUGH, TimeOutValue) == 16, "time-out at 16");
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 20, "data offset at 20");
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == 24, "sense offset at 24");
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 28, "CDB at 28");
#endif

class CQvScsi_Nt : public CQvScsiTransport {
public:
    explicit CQvScsi_Nt(CQvTransportOwner* owner, CQvDeviceIo* io = nullptr, std::string name = "CQvScsi_Nt");
    ~CQvScsi_Nt() override;

    int Open() override;
    int LockVolume(int physical) override;
    int LockForFormat(int physical) override { return 0; }
    int ReleaseAfterFormat(int physical) override { return Dismount(); }
    int UnlockVolume(int physical) override;
    int Close() override;
    int Dismount() override;
    int SetDriveLayout(const CQvByteArray& mbr, const CQvByteArray& bootSector) override;
    int ScanDrivesByInquiry() override;
    int SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply) override;

private:
    int VolumeControl(DWORD code, int error);
    HANDLE OpenVolume(wchar_t letter);

    CQvDeviceIo& m_io;
};
