#include "qv/QvScsi_9x.h"
#include "qv/QvErrors.h"
#include <cstring>
#include <new>

namespace {
constexpr BYTE CATEGORY_FAT32 = 0x48;
constexpr BYTE CATEGORY_FAT = 0x08;
constexpr BYTE MINOR_LOCK_LOGICAL = 0x4A;
constexpr BYTE MINOR_LOCK_PHYSICAL = 0x4B;
constexpr BYTE MINOR_UNLOCK_LOGICAL = 0x6A;
constexpr BYTE MINOR_UNLOCK_PHYSICAL = 0x6B;
constexpr BYTE MINOR_DRIVE_MAP = 0x6F;
constexpr BYTE ASPI_SENSE_BYTES = 14;

// Reads a string value of any length; false when it is missing.
bool ReadString(HKEY key, const wchar_t* name, std::wstring& out)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, 0);
    size = DWORD(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return false;
    out.assign(text.data());
    return true;
}
} // namespace

CQvScsi_9x::CQvScsi_9x(CQvTransportOwner* owner, CQvDeviceIo* io, std::string name)
    : CQvScsiTransport(owner, std::move(name)), m_io(io ? *io : QvSystemDeviceIo())
{
    m_aspi = LoadLibraryW(L"WNASPI32.DLL");
    if (!m_aspi) {
        SetSystemError(GetLastError());
        Fail(QV_E_ASPI_LOAD);
        return;
    }
    m_supportInfo = reinterpret_cast<ASPI_GET_SUPPORT_INFO>(GetProcAddress(m_aspi, "GetASPI32SupportInfo"));
    m_sendCommand = reinterpret_cast<ASPI_SEND_COMMAND>(GetProcAddress(m_aspi, "SendASPI32Command"));
    if (!m_supportInfo || !m_sendCommand) {
        Fail(QV_E_ASPI_ENTRY);
        return;
    }
    DWORD support = m_supportInfo();
    if (((support >> 8) & 0xFF) != ASPI_STATUS_COMPLETE)
        Fail(QV_E_ASPI_SUPPORT);
}

CQvScsi_9x::~CQvScsi_9x()
{
    Close();
    if (m_aspi)
        FreeLibrary(m_aspi);
}

int CQvScsi_9x::Open()
{
    if (m_handle != InvalidHandle())
        return 0;
    HANDLE h = m_io.OpenFile(L"\\\\.\\vwin32", 0, 0, 0, FILE_FLAG_DELETE_ON_CLOSE);
    if (h == INVALID_HANDLE_VALUE) {
        SetSystemError(GetLastError());
        return Fail(QV_E_OPEN);
    }
    m_handle = h;
    return 0;
}

int CQvScsi_9x::Close()
{
    if (m_handle != InvalidHandle()) {
        m_io.CloseFile(m_handle);
        m_handle = InvalidHandle();
    }
    return 0;
}

bool CQvScsi_9x::DosIoctl(wchar_t letter, BYTE minor, ULONG_PTR edx)
{
    if (Open() != 0)
        return false;
    // The FAT32-aware category first, then the older one.
    for (BYTE category : {CATEGORY_FAT32, CATEGORY_FAT}) {
        QvDiocRegisters regs = {};
        regs.Eax = 0x440D;
        regs.Ebx = ULONG_PTR(letter - L'A' + 1);
        regs.Ecx = ULONG_PTR(category) << 8 | minor;
        regs.Edx = edx;
        DWORD returned = 0;
        if (m_io.Control(m_handle, QV_VWIN32_DOS_IOCTL, &regs, sizeof regs, &regs, sizeof regs, &returned) &&
            !(regs.Flags & 1))
            return true;
    }
    return false;
}

int CQvScsi_9x::LockWith(int physical, ULONG_PTR permissions)
{
    if (!DosIoctl(wchar_t(m_driveLetter), physical ? MINOR_LOCK_PHYSICAL : MINOR_LOCK_LOGICAL, permissions))
        return Fail(QV_E_LOCK);
    return 0;
}

int CQvScsi_9x::LockVolume(int physical) { return LockWith(physical, 0); }
int CQvScsi_9x::LockForFormat(int physical) { return LockWith(physical, 4); }

int CQvScsi_9x::UnlockVolume(int physical)
{
    if (!DosIoctl(wchar_t(m_driveLetter), physical ? MINOR_UNLOCK_PHYSICAL : MINOR_UNLOCK_LOGICAL, 0))
        return Fail(QV_E_UNLOCK);
    return 0;
}

int CQvScsi_9x::SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply)
{
    if (!m_sendCommand)
        return Fail(QV_E_ASPI_SUPPORT);
    if (cdbLength > 16 || cdbLength > cdb.Count())
        return Fail(QV_E_PAYLOAD);
    size_t payload = cdb.Count() - cdbLength;
    size_t dataLength = reply.Count() > payload ? reply.Count() : payload;
    uint8_t* buffer = new (std::nothrow) uint8_t[dataLength ? dataLength : 1];
    if (!buffer)
        return Fail(QV_E_NOMEM);
    std::memset(buffer, 0, dataLength ? dataLength : 1);
    if (payload)
        std::memcpy(buffer, cdb.Data() + cdbLength, payload);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        DWORD error = GetLastError();
        delete[] buffer;
        return RecordFailure(QV_E_EVENT, error);
    }
    ASPI_EXEC_SCSI request;
    std::memset(&request, 0, sizeof request);
    request.Command = ASPI_CMD_EXEC_SCSI;
    request.AdapterId = m_adapter;
    request.Flags = direction == QV_DATA_OUT ? (ASPI_FLAG_EVENT_NOTIFY | ASPI_FLAG_DATA_OUT)
                                             : (ASPI_FLAG_EVENT_NOTIFY | ASPI_FLAG_DATA_IN);
    request.BufferLength = DWORD(dataLength);
    request.Buffer = buffer;
    request.SenseLength = ASPI_SENSE_BYTES;
    request.CdbLength = BYTE(cdbLength);
    request.PostProc = event;
    std::memcpy(request.Cdb, cdb.Data(), cdbLength);

    ResetEvent(event);
    DWORD sent = m_sendCommand(&request);
    bool waited = true;
    if (sent == ASPI_STATUS_PENDING)
        waited = WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0;
    int result = 0;
    if (request.Status != ASPI_STATUS_COMPLETE) {
        KeepSense(request.SenseArea, ASPI_SENSE_BYTES);
        result = RecordFailureWithText(QV_E_SCSI_STATUS, request.Status, SenseText());
    } else {
        reply.SetBytes(buffer, reply.Count(), 0);
        if (!(sent == ASPI_STATUS_COMPLETE || (sent == ASPI_STATUS_PENDING && waited)))
            result = Fail(QV_E_SCSI_STATUS);
    }
    CloseHandle(event);
    delete[] buffer;
    return result;
}

bool CQvScsi_9x::DriveMap(wchar_t letter, QvDriveMapInfo& info)
{
    std::memset(&info, 0, sizeof info);
    info.AllocationLength = sizeof info;
    return DosIoctl(letter, MINOR_DRIVE_MAP, reinterpret_cast<ULONG_PTR>(&info));
}

int CQvScsi_9x::DriveMapSearch(BYTE biosDrive, wchar_t& letter)
{
    int r = Open();
    if (r != 0)
        return r;
    int result = Fail(QV_E_DRIVE_MAP);
    for (wchar_t l = L'A'; l <= L'Z'; ++l) {
        QvDriveMapInfo info;
        if (DriveMap(l, info) && info.Int13Unit == biosDrive) {
            letter = l;
            result = 0;
            break;
        }
    }
    Close();
    return result;
}

int CQvScsi_9x::RegistrySearch(const std::wstring& keyName, std::vector<wchar_t>& candidates)
{
    HKEY key = nullptr;
    std::wstring path = L"ENUM\\SCSI\\" + keyName;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return Fail(QV_E_NO_SCSI_KEY);
    DWORD longest = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    std::vector<wchar_t> name(longest + 2);
    for (DWORD index = 0;; ++index) {
        DWORD length = DWORD(name.size());
        LONG e = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (e == ERROR_MORE_DATA) {
            name.resize(name.size() * 2);
            --index;
            continue;
        }
        if (e != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name.data(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        std::wstring lun, assigned;
        if (ReadString(sub, L"SCSILUN", lun) && !lun.empty() && lun[0] == L'0' &&
            ReadString(sub, L"CurrentDriveLetterAssignment", assigned) && !assigned.empty()) {
            wchar_t root[] = {assigned[0], L':', L'\\', 0};
            if (m_io.DriveType(root) == DRIVE_REMOVABLE)
                candidates.push_back(assigned[0]);
        }
        RegCloseKey(sub);
    }
    RegCloseKey(key);
    return candidates.empty() ? Fail(QV_E_NO_CANDIDATE) : 0;
}

int CQvScsi_9x::PickCandidate(const std::vector<wchar_t>& candidates, wchar_t& letter)
{
    if (candidates.empty())
        return Fail(QV_E_NO_CANDIDATE);
    if (candidates.size() == 1) {
        letter = candidates[0];
        return 0;
    }
    int r = Open();
    if (r != 0)
        return r;
    int result = Fail(QV_E_NO_CANDIDATE);
    for (wchar_t candidate : candidates) {
        QvDriveMapInfo info;
        if (DriveMap(candidate, info) && info.Flags == 15 && info.Int13Unit == 0xFF) {
            letter = candidate;
            result = 0;
            break;
        }
    }
    Close();
    return result;
}

int CQvScsi_9x::ScanDrivesByInquiry()
{
    if (!m_supportInfo || !m_sendCommand)
        return Fail(QV_E_ASPI_SUPPORT);
    ASPI_HA_INQUIRY inquiry;
    std::memset(&inquiry, 0, sizeof inquiry);
    inquiry.Command = ASPI_CMD_HA_INQUIRY;
    inquiry.AdapterId = 0;
    m_sendCommand(&inquiry);
    if (inquiry.Status != ASPI_STATUS_COMPLETE) {
        SetSystemError(inquiry.Status);
        return Fail(QV_E_SCSI_STATUS);
    }
    std::string vendor = Owner() ? Owner()->ScsiVendor() : std::string();
    std::string product = Owner() ? Owner()->ScsiProduct() : std::string();
    m_driveLetter = 0;
    m_deviceFound = 0;
    for (BYTE a = 0; a < inquiry.AdapterCount; ++a) {
        m_adapter = a;
        CQvScsiInquiry unit;
        CQvGetLogicalMediaInfo media(9, 0);
        uint8_t flag = 0;
        if (Execute(unit) != 0 || !unit.Reply() || !QvIdentityMatches(*unit.Reply(), vendor, product) ||
            Execute(media) != 0 || media.GetFlag(flag) != 0 || !flag) {
            m_adapter = 255;
            continue;
        }
        uint8_t revision = 0;
        unit.Reply()->GetAt(32, revision);

        ASPI_DISK_INFO disk;
        std::memset(&disk, 0, sizeof disk);
        disk.Command = ASPI_CMD_GET_DISK_INFO;
        disk.AdapterId = a;
        m_sendCommand(&disk);
        int r = QV_E_SCSI_STATUS;
        wchar_t letter = 0;
        if (disk.Status == ASPI_STATUS_COMPLETE)
            r = (disk.BiosDrive & 0x80) ? 0 : QV_E_NO_BIOS_DRIVE;
        if (r == 0)
            r = DriveMapSearch(disk.BiosDrive, letter);
        if (r != 0) {
            // The registry remembers which letter the unit got at boot.
            std::wstring key;
            for (char c : vendor + product)
                key.push_back(c == ' ' ? L'_' : wchar_t(uint8_t(c)));
            key.push_back(revision == ' ' ? L'_' : wchar_t(revision));
            std::vector<wchar_t> candidates;
            RegistrySearch(key, candidates);
            r = PickCandidate(candidates, letter);
            if (r != 0)
                return Fail(r);
        }
        SetLastError(0);
        m_driveLetter = char16_t(letter);
        m_deviceFound = 1;
        return 0;
    }
    m_deviceFound = 0;
    return Fail(QV_E_NO_DEVICE);
}
