#include "qv/QvScsi_Nt.h"
#include "qv/QvErrors.h"
#include <winioctl.h>
#include <cstring>
#include <new>
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 throughout");
static_assert(sizeof(DRIVE_LAYOUT_INFORMATION) == 40, "the layout request is 40 bytes");

namespace {
constexpr int LOCK_ATTEMPTS = 10;
constexpr DWORD LOCK_RETRY_MS = 100;

std::wstring VolumePath(wchar_t letter)
{
    std::wstring path = L"\\\\.\\?:";
    path[4] = letter;
    return path;
}

uint32_t Le32(const CQvByteArray& a, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        uint8_t b = 0;
        a.GetAt(at + i, b);
        v = v << 8 | b;
    }
    return v;
}
} // namespace

CQvScsi_Nt::CQvScsi_Nt(CQvTransportOwner* owner, CQvDeviceIo* io, std::string name)
    : CQvScsiTransport(owner, std::move(name)), m_io(io ? *io : QvSystemDeviceIo()) {}

CQvScsi_Nt::~CQvScsi_Nt() { Close(); }

HANDLE CQvScsi_Nt::OpenVolume(wchar_t letter)
{
    return m_io.OpenFile(VolumePath(letter).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         OPEN_EXISTING, 0);
}

int CQvScsi_Nt::Open()
{
    if (m_handle != InvalidHandle())
        return 0;
    HANDLE h = OpenVolume(wchar_t(m_driveLetter));
    if (h == INVALID_HANDLE_VALUE) {
        SetSystemError(GetLastError());
        return Fail(QV_E_OPEN);
    }
    m_handle = h;
    return 0;
}

int CQvScsi_Nt::Close()
{
    if (m_handle != InvalidHandle()) {
        m_io.CloseFile(m_handle);
        m_handle = InvalidHandle();
    }
    return 0;
}

int CQvScsi_Nt::VolumeControl(DWORD code, int error)
{
    for (int attempt = 0; attempt < LOCK_ATTEMPTS; ++attempt) {
        DWORD returned = 0;
        if (m_io.Control(m_handle, code, nullptr, 0, nullptr, 0, &returned))
            return 0;
        SetSystemError(GetLastError());
        m_io.Pause(LOCK_RETRY_MS);
    }
    return Fail(error);
}

int CQvScsi_Nt::LockVolume(int) { return VolumeControl(FSCTL_LOCK_VOLUME, QV_E_LOCK); }
int CQvScsi_Nt::UnlockVolume(int) { return VolumeControl(FSCTL_UNLOCK_VOLUME, QV_E_UNLOCK); }
int CQvScsi_Nt::Dismount() { return VolumeControl(FSCTL_DISMOUNT_VOLUME, QV_E_DISMOUNT); }

int CQvScsi_Nt::SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply)
{
    int r = Open();
    if (r != 0)
        return r;
    if (cdbLength > sizeof(((SCSI_PASS_THROUGH*)nullptr)->Cdb) || cdbLength > cdb.Count())
        return Fail(QV_E_PAYLOAD);
    size_t payload = cdb.Count() - cdbLength;
    size_t dataLength = reply.Count() > payload ? reply.Count() : payload;
    size_t total = QV_SPT_DATA_AT + dataLength + 1;
    if (total > MAXDWORD)
        return Fail(QV_E_NOMEM);
    // operator new aligns for the header's pointer-sized field.
    uint8_t* buffer = new (std::nothrow) uint8_t[total];
    if (!buffer)
        return Fail(QV_E_NOMEM);
    std::memset(buffer, 0, total);
    auto* spt = reinterpret_cast<SCSI_PASS_THROUGH*>(buffer);
    spt->Length = USHORT(QV_SPT_HEADER);
    spt->CdbLength = UCHAR(cdbLength);
    spt->SenseInfoLength = UCHAR(QV_SPT_SENSE_BYTES);
    spt->DataIn = direction == QV_DATA_IN ? 1 : 0;
    spt->DataTransferLength = ULONG(dataLength);
    spt->TimeOutValue = QV_SPT_TIMEOUT_SECONDS;
    spt->DataBufferOffset = QV_SPT_DATA_AT;
    spt->SenseInfoOffset = ULONG(QV_SPT_SENSE_AT);
    std::memcpy(spt->Cdb, cdb.Data(), cdbLength);
    uint32_t total32 = uint32_t(total);
    std::memcpy(buffer + QV_SPT_HEADER, &total32, 4);
    if (payload)
        std::memcpy(buffer + QV_SPT_DATA_AT, cdb.Data() + cdbLength, payload);

    DWORD returned = 0;
    BOOL ok = m_io.Control(m_handle, IOCTL_SCSI_PASS_THROUGH, buffer, DWORD(total), buffer, DWORD(total), &returned);
    if (!ok) {
        DWORD error = GetLastError();
        delete[] buffer;
        return RecordFailure(QV_E_IOCTL, error);
    }
    if (spt->ScsiStatus != 0) {
        // The length comes back from the driver; the sense area has 18 bytes.
        size_t senseLength = spt->SenseInfoLength;
        if (senseLength > QV_SPT_SENSE_BYTES)
            senseLength = QV_SPT_SENSE_BYTES;
        KeepSense(buffer + QV_SPT_SENSE_AT, senseLength);
        delete[] buffer;
        return RecordFailureWithText(QV_E_SCSI_STATUS, 0, SenseText());
    }
    reply.SetBytes(buffer + QV_SPT_DATA_AT, reply.Count(), 0);
    delete[] buffer;
    return 0;
}

int CQvScsi_Nt::SetDriveLayout(const CQvByteArray& mbr, const CQvByteArray& bootSector)
{
    // The MBR's first partition entry (sector count at 0x1CA) and the boot
    // sector's hidden sectors (0x1C) and bytes per sector (0x0B).
    if (mbr.Count() < 0x1CE || bootSector.Count() < 0x20)
        return Fail(QV_E_SHORT);
    uint8_t lo = 0, hi = 0;
    bootSector.GetAt(0x0B, lo);
    bootSector.GetAt(0x0C, hi);
    uint64_t bytesPerSector = uint64_t(hi) << 8 | lo;
    uint64_t sectors = uint64_t(Le32(mbr, 0x1BE + 12)) + Le32(bootSector, 0x1C);
    DRIVE_LAYOUT_INFORMATION layout;
    std::memset(&layout, 0, sizeof layout);
    layout.PartitionCount = 1;
    layout.Signature = 1;
    PARTITION_INFORMATION& p = layout.PartitionEntry[0];
    p.StartingOffset.QuadPart = 0;
    p.PartitionLength.QuadPart = LONGLONG(sectors * bytesPerSector);
    p.HiddenSectors = 0;
    p.PartitionNumber = 1;
    p.PartitionType = 4;
    p.BootIndicator = FALSE;
    p.RecognizedPartition = TRUE;
    p.RewritePartition = TRUE;
    int r = Open();
    if (r != 0)
        return r;
    DWORD returned = 0;
    if (!m_io.Control(m_handle, IOCTL_DISK_SET_DRIVE_LAYOUT, &layout, sizeof layout, nullptr, 0, &returned))
        return RecordFailure(QV_E_IOCTL, GetLastError());
    return 0;
}

int CQvScsi_Nt::ScanDrivesByInquiry()
{
    std::string vendor = Owner() ? Owner()->ScsiVendor() : std::string();
    std::string product = Owner() ? Owner()->ScsiProduct() : std::string();
    m_driveLetter = 0;
    DWORD present = m_io.LogicalDrives();
    // A: is the floppy: probing it would spin the drive and never finds a player.
    for (int i = 1; i < 26; ++i) {
        if (!(present & (1u << i)))
            continue;
        wchar_t letter = wchar_t(L'A' + i);
        wchar_t root[] = {letter, L':', L'\\', 0};
        if (m_io.DriveType(root) != DRIVE_REMOVABLE)
            continue;
        Close();
        HANDLE h = OpenVolume(letter);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        m_handle = h;
        CQvScsiInquiry inquiry;
        if (Execute(inquiry) == 0 && inquiry.Reply() && QvIdentityMatches(*inquiry.Reply(), vendor, product)) {
            CQvGetLogicalMediaInfo media(9, 0);
            uint8_t flag = 0;
            if (Execute(media) == 0 && media.GetFlag(flag) == 0 && flag) {
                m_driveLetter = char16_t(letter);
                Close();
                return 0;
            }
        }
        Close();
    }
    return Fail(QV_E_NO_DEVICE);
}
