#include "SimDeviceIo.h"
#include "qv/QvScsi_9x.h"
#include <ntddscsi.h>
#include <winioctl.h>
#include <cstring>
#include <cwctype>

struct CSimDeviceIo::Pending {
    CSimDeviceIo* io;
    HANDLE thread;          // the writer's thread, which receives the APC
    HANDLE cancel;          // set by Cancel
    HANDLE deliverer;       // the thread that completes it
    volatile LONG delivered;
    LPOVERLAPPED_COMPLETION_ROUTINE done;
    OVERLAPPED* overlapped;
    DWORD bytes;
    DWORD delayMs;
    DWORD error;
};

namespace {
void CALLBACK RunCompletion(ULONG_PTR parameter)
{
    auto* p = reinterpret_cast<CSimDeviceIo::Pending*>(parameter);
    p->done(p->error, p->bytes, p->overlapped);
    InterlockedExchange(&p->delivered, 1);
    InterlockedIncrement(&p->io->completionsRun);
}

// Completes a write after the device's delay, or soon after a cancel, always
// by an APC to the thread that wrote, as the I/O manager does.
DWORD WINAPI Deliver(void* parameter)
{
    auto* p = static_cast<CSimDeviceIo::Pending*>(parameter);
    if (WaitForSingleObject(p->cancel, p->delayMs) == WAIT_OBJECT_0) {
        // A cancelled request completes a little after CancelIo returns.
        Sleep(150);
        p->error = ERROR_OPERATION_ABORTED;
        p->bytes = 0;
    }
    QueueUserAPC(RunCompletion, p->thread, reinterpret_cast<ULONG_PTR>(p));
    return 0;
}

wchar_t Upper(wchar_t c) { return wchar_t(std::towupper(c)); }
} // namespace

CSimDeviceIo::CSimDeviceIo() = default;

CSimDeviceIo::~CSimDeviceIo()
{
    // Finish whatever a test left under way, so no APC outlives its request.
    for (Pending* p : m_pending)
        SetEvent(p->cancel);
    DWORD start = GetTickCount();
    while (completionsRun < writesIssued && GetTickCount() - start < 5000)
        SleepEx(10, TRUE);
    for (Pending* p : m_pending) {
        WaitForSingleObject(p->deliverer, 5000);
        CloseHandle(p->deliverer);
        CloseHandle(p->thread);
        CloseHandle(p->cancel);
        if (p->delivered)
            delete p;
    }
}

int CSimDeviceIo::openHandles() const
{
    mb::CSingleLock lock(m_mutex);
    return int(m_handles.size());
}

HANDLE CSimDeviceIo::OpenFile(const wchar_t* path, DWORD, DWORD, DWORD, DWORD)
{
    std::wstring p(path);
    mb::CSingleLock lock(m_mutex);
    opened.push_back(p);
    Open open = {};
    bool found = false;
    const std::wstring device = L"\\\\.\\";
    const std::wstring recovery = L"\\\\.\\QvMp3RecDevice";
    if (p.size() == 6 && p.compare(0, 4, device) == 0 && p[5] == L':') {
        auto it = volumes.find(Upper(p[4]));
        found = it != volumes.end();
        open = {VOLUME, Upper(p[4]), 0};
    } else if (p.compare(0, recovery.size(), recovery) == 0 && p.size() > recovery.size()) {
        int index = _wtoi(p.c_str() + recovery.size());
        found = recoveryDevices.count(index) != 0;
        open = {RECOVERY, 0, index};
    } else if (p == L"\\\\.\\vwin32") {
        found = vwin32;
        open = {VWIN32, 0, 0};
    }
    if (!found) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = reinterpret_cast<HANDLE>(m_nextHandle += 4);
    m_handles[h] = open;
    return h;
}

BOOL CSimDeviceIo::CloseFile(HANDLE handle)
{
    mb::CSingleLock lock(m_mutex);
    if (!m_handles.erase(handle)) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL CSimDeviceIo::Control(HANDLE handle, DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                           DWORD* returned)
{
    Open open;
    CSimPlayerTarget* target = nullptr;
    {
        mb::CSingleLock lock(m_mutex);
        controlCodes.push_back(code);
        auto it = m_handles.find(handle);
        if (it == m_handles.end()) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        open = it->second;
        if (open.kind == VOLUME)
            target = volumes[open.letter];
    }
    if (open.kind == VWIN32)
        return code == QV_VWIN32_DOS_IOCTL ? DosIoctl(in, inLength, out, outLength, returned)
                                          : (::SetLastError(ERROR_INVALID_FUNCTION), FALSE);
    if (open.kind != VOLUME || !target) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    *returned = 0;
    switch (code) {
    case IOCTL_SCSI_PASS_THROUGH:
        return PassThroughCall(*target, in, inLength, out, outLength, returned);
    case FSCTL_LOCK_VOLUME:
        return target->Lock() ? TRUE : (::SetLastError(ERROR_ACCESS_DENIED), FALSE);
    case FSCTL_UNLOCK_VOLUME:
        return target->Unlock() ? TRUE : (::SetLastError(ERROR_NOT_LOCKED), FALSE);
    case FSCTL_DISMOUNT_VOLUME:
        return target->Dismount() ? TRUE : (::SetLastError(ERROR_ACCESS_DENIED), FALSE);
    case IOCTL_DISK_SET_DRIVE_LAYOUT:
        if (!in || inLength < sizeof(DRIVE_LAYOUT_INFORMATION)) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        target->SetDriveLayout(static_cast<const uint8_t*>(in), inLength);
        return TRUE;
    default:
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
}

BOOL CSimDeviceIo::PassThroughCall(CSimPlayerTarget& target, void* in, DWORD inLength, void* out, DWORD outLength,
                                   DWORD* returned)
{
    {
        mb::CSingleLock lock(m_mutex);
        const uint8_t* bytes = static_cast<const uint8_t*>(in);
        passThroughs.push_back({std::vector<uint8_t>(bytes, bytes + (in ? inLength : 0)), inLength, outLength});
    }
    if (failPassThrough) {
        ::SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    // METHOD_BUFFERED: one block in, the same block out.
    if (!in || in != out || inLength < sizeof(SCSI_PASS_THROUGH) || outLength != inLength) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* spt = static_cast<SCSI_PASS_THROUGH*>(in);
    uint8_t* block = static_cast<uint8_t*>(in);
    if (spt->Length != sizeof(SCSI_PASS_THROUGH) || spt->CdbLength > 16 ||
        spt->DataBufferOffset > inLength || spt->DataTransferLength > inLength - spt->DataBufferOffset ||
        spt->SenseInfoOffset > inLength || spt->SenseInfoLength > inLength - spt->SenseInfoOffset) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint8_t sense[CSimPlayerTarget::SENSE_BYTES];
    size_t transferred = 0;
    spt->ScsiStatus = target.Execute(spt->Cdb, spt->CdbLength, spt->DataIn != 0, block + spt->DataBufferOffset,
                                     spt->DataTransferLength, sense, &transferred);
    if (spt->ScsiStatus != 0) {
        size_t n = spt->SenseInfoLength < sizeof sense ? spt->SenseInfoLength : sizeof sense;
        std::memcpy(block + spt->SenseInfoOffset, sense, n);
        // A driver may report more sense than the room it was given.
        spt->SenseInfoLength = UCHAR(reportedSenseLength);
    } else {
        spt->SenseInfoLength = 0;
        spt->DataTransferLength = ULONG(transferred);
    }
    *returned = inLength;
    return TRUE;
}

BOOL CSimDeviceIo::DosIoctl(void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned)
{
    if (!in || in != out || inLength != sizeof(QvDiocRegisters) || outLength != inLength) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* regs = static_cast<QvDiocRegisters*>(in);
    BYTE category = BYTE(regs->Ecx >> 8), minor = BYTE(regs->Ecx);
    wchar_t letter = wchar_t(L'A' + (regs->Ebx & 0xFF) - 1);
    CSimPlayerTarget* target = nullptr;
    bool answered = false;
    {
        mb::CSingleLock lock(m_mutex);
        dosCalls.push_back({letter, category, minor, regs->Edx});
        auto it = volumes.find(letter);
        if (it != volumes.end())
            target = it->second;
    }
    *returned = inLength;
    if ((regs->Eax & 0xFFFF) == 0x440D && (category == 0x08 || (category == 0x48 && fat32Category))) {
        switch (minor) {
        case 0x4A: case 0x4B:
            answered = target && target->Lock();
            break;
        case 0x6A: case 0x6B:
            answered = target && target->Unlock();
            break;
        case 0x6F: {
            auto map = driveMaps.find(letter);
            if (driveMapAnswers && map != driveMaps.end() && regs->Edx) {
                auto* info = reinterpret_cast<QvDriveMapInfo*>(regs->Edx);
                if (info->AllocationLength >= sizeof(QvDriveMapInfo)) {
                    info->InfoLength = sizeof(QvDriveMapInfo);
                    info->Flags = map->second.flags;
                    info->Int13Unit = map->second.unit;
                    answered = true;
                }
            }
            break;
        }
        default:
            break;
        }
    }
    if (answered)
        regs->Flags &= ~ULONG_PTR(1);
    else
        regs->Flags |= 1;
    return TRUE;
}

BOOL CSimDeviceIo::WriteEx(HANDLE handle, const void* data, DWORD length, OVERLAPPED* overlapped,
                           LPOVERLAPPED_COMPLETION_ROUTINE done)
{
    CSimRecoveryDevice* device = nullptr;
    {
        mb::CSingleLock lock(m_mutex);
        auto it = m_handles.find(handle);
        if (it != m_handles.end() && it->second.kind == RECOVERY)
            device = recoveryDevices[it->second.index];
    }
    if (!device) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* p = new Pending{};
    p->io = this;
    p->done = done;
    p->overlapped = overlapped;
    p->bytes = device->Write(static_cast<const uint8_t*>(data), length);
    if (device->PlayerBack() && comeBackPlayer) {
        mb::CSingleLock lock(m_mutex);
        volumes[comeBackLetter] = comeBackPlayer;
    }
    p->delayMs = device->neverComplete ? INFINITE : device->delayMs;
    p->cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &p->thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    {
        mb::CSingleLock lock(m_mutex);
        m_pending.push_back(p);
    }
    InterlockedIncrement(&writesIssued);
    p->deliverer = CreateThread(nullptr, 0, Deliver, p, 0, nullptr);
    return TRUE;
}

BOOL CSimDeviceIo::Cancel(HANDLE)
{
    InterlockedIncrement(&cancels);
    mb::CSingleLock lock(m_mutex);
    for (Pending* p : m_pending)
        if (!p->delivered)
            SetEvent(p->cancel);
    return TRUE;
}

DWORD CSimDeviceIo::LogicalDrives() { return GetLogicalDrives() | extraDrives; }

UINT CSimDeviceIo::DriveType(const wchar_t* root)
{
    auto it = driveTypes.find(Upper(root[0]));
    if (it != driveTypes.end())
        return it->second;
    return GetDriveTypeW(root);
}
