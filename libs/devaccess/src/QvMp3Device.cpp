// The direct driver layer: device names, the control codes and the data
// channel with its completion routines. No library lock is taken here.
#include <new>
#include <string>

#include "QvMp3Core.h"
#include "QvMp3State.h"

namespace qvmp3 {

namespace {

constexpr DWORD IOCTL_GET_STATUS = 0x222000;
constexpr DWORD IOCTL_SET_STATUS = 0x222004;
constexpr DWORD IOCTL_RECONFIGURE = 0x222008;
constexpr DWORD IOCTL_GET_DEVICE_VERSION = 0x222018;
constexpr DWORD IOCTL_GET_DEVICE_STATUS = 0x22201C;
constexpr DWORD IOCTL_GET_CHIP_ID = 0x222020;
constexpr unsigned long DEFAULT_CHIP_ID = 0x066F3410;
constexpr DWORD TRANSFER_TIMEOUT_MS = 1000;
// How long a cancelled transfer may take to report back before it is left behind.
constexpr DWORD CANCEL_GRACE_MS = 5000;
constexpr int RECONFIGURE_TRIES = 11;
constexpr DWORD RECONFIGURE_PAUSE_MS = 250;

// One transfer on the data channel. The verdict lives here, starting at 0,
// never in the OVERLAPPED record: a completion that arrives late can then
// only ever speak for its own transfer.
struct Transfer {
    OVERLAPPED Overlapped = {};
    DWORD Expected = 0;
    LONG Verdict = 0;
    bool Done = false;
    bool Abandoned = false;
};

VOID CALLBACK TransferDone(DWORD error, DWORD bytes, LPOVERLAPPED overlapped)
{
    Transfer* transfer = CONTAINING_RECORD(overlapped, Transfer, Overlapped);
    transfer->Verdict = (error == 0 && bytes == transfer->Expected) ? 1 : 0;
    transfer->Done = true;
    if (transfer->Abandoned) {
        delete transfer;
        return;
    }
    if (State().IoEvent)
        SetEvent(State().IoEvent);
}

// Waits alertably until the transfer reports or the time runs out.
bool WaitForTransfer(Transfer* transfer, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!transfer->Done) {
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds)
            return false;
        WaitForSingleObjectEx(State().IoEvent, milliseconds - spent, TRUE);
    }
    return true;
}

int RunTransfer(bool write, unsigned char* data, DWORD length)
{
    LibraryState& state = State();
    if (state.DeviceHandle == INVALID_HANDLE_VALUE || !state.IoEvent)
        return 0;
    Transfer* transfer = new (std::nothrow) Transfer;
    if (!transfer)
        return 0;
    transfer->Expected = length;
    ResetEvent(state.IoEvent);
    BOOL started = write ? WriteFileEx(state.DeviceHandle, data, length, &transfer->Overlapped, TransferDone)
                         : ReadFileEx(state.DeviceHandle, data, length, &transfer->Overlapped, TransferDone);
    if (!started) {
        delete transfer;
        return 0;
    }
    if (WaitForTransfer(transfer, TRANSFER_TIMEOUT_MS)) {
        int verdict = transfer->Verdict;
        delete transfer;
        return verdict;
    }
    // Timed out: cancel, and take the cancelled completion here, so that it
    // cannot fire during the next transfer.
    CancelIo(state.DeviceHandle);
    if (!WaitForTransfer(transfer, CANCEL_GRACE_MS)) {
        // A driver that ignores the cancel: leave the record (and a bounce
        // buffer it may still fill) to the late completion.
        transfer->Abandoned = true;
        if (!write && data == state.BounceBuffer)
            state.BounceBuffer = static_cast<unsigned char*>(
                VirtualAlloc(nullptr, BOUNCE_BYTES, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        OutputDebugStringA("QvMp3: a cancelled transfer did not report back\n");
        return 0;
    }
    delete transfer;
    return 0;
}

// A control code on the overlapped handle, waited for at once.
bool Control(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned)
{
    LibraryState& state = State();
    *returned = 0;
    if (state.DeviceHandle == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent)
        return false;
    BOOL ok = DeviceIoControl(state.DeviceHandle, code, in, inLength, out, outLength, returned, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(state.DeviceHandle, &overlapped, returned, TRUE);
    CloseHandle(overlapped.hEvent);
    return ok != FALSE;
}

const char* NormalBaseOfThisWindows()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return NormalNameBase(true, 5, 1);
    return NormalNameBase(version.dwPlatformId == VER_PLATFORM_WIN32_NT, version.dwMajorVersion,
                          version.dwMinorVersion);
}

void ReleaseDevice()
{
    LibraryState& state = State();
    if (state.BounceBuffer) {
        VirtualFree(state.BounceBuffer, 0, MEM_RELEASE);
        state.BounceBuffer = nullptr;
    }
    if (state.IoEvent) {
        CloseHandle(state.IoEvent);
        state.IoEvent = nullptr;
    }
}

int CloseHandleOfDevice()
{
    LibraryState& state = State();
    if (state.DeviceHandle == INVALID_HANDLE_VALUE)
        return 0;
    // Nothing of ours may still be in flight when the handle goes.
    CancelIo(state.DeviceHandle);
    int result = CloseHandle(state.DeviceHandle) ? 1 : 0;
    state.DeviceHandle = INVALID_HANDLE_VALUE;
    return result;
}

int OpenDevice(char index, unsigned char scan, DEVICE_STATUS kind, bool block)
{
    LibraryState& state = State();
    // One device per process: a second open replaces the first.
    if (state.DeviceHandle != INVALID_HANDLE_VALUE) {
        CloseHandleOfDevice();
        ReleaseDevice();
    }
    const char* base = kind == DEVICE_STATUS_RECOVERY ? RECOVERY_NAME_BASE : NormalBaseOfThisWindows();
    HANDLE device = INVALID_HANDLE_VALUE;
    int first = scan ? 0 : static_cast<int>(index);
    int last = scan ? SCAN_LAST_INDEX : static_cast<int>(index);
    for (; first <= last; first++) {
        device = CreateFileA(DevicePath(base, first).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (device != INVALID_HANDLE_VALUE)
            break;
    }
    if (device == INVALID_HANDLE_VALUE)
        return 0;
    state.IoEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!state.IoEvent) {
        CloseHandle(device);
        return 0;
    }
    state.BounceBuffer =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, BOUNCE_BYTES, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!state.BounceBuffer) {
        CloseHandle(state.IoEvent);
        state.IoEvent = nullptr;
        CloseHandle(device);
        return 0;
    }
    state.DeviceHandle = device;
    state.OpenedIndex = first;
    if (block) {
        _USER_DATA opened = {1, 0, 1, 0};
        QvMp3DDSetStatus(&opened);
    }
    return 1;
}

} // namespace

int DeviceCommand(unsigned char command, unsigned char* answer, unsigned long length)
{
    uint8_t packet[DEVICE_PACKET_BYTES];
    DevicePacket(command, packet);
    if (!QvMp3DDWrite(packet, DEVICE_PACKET_BYTES))
        return 0;
    return QvMp3DDRead(answer, length);
}

} // namespace qvmp3

using namespace qvmp3;

int QvMp3DDOpenDriver(char index, unsigned char scan, DEVICE_STATUS kind)
{
    return OpenDevice(index, scan, kind, true);
}

int QvMp3DDOpenDriverNoBlock(char index, unsigned char scan, DEVICE_STATUS kind)
{
    return OpenDevice(index, scan, kind, false);
}

int QvMp3DDCloseDriver()
{
    _USER_DATA record;
    if (QvMp3DDGetStatus(&record) && record.HostOpen) {
        record.HostOpen = 0;
        QvMp3DDSetStatus(&record);
    }
    int result = CloseHandleOfDevice();
    ReleaseDevice();
    return result;
}

int QvMp3DDGetStatus(_USER_DATA* record)
{
    if (!record)
        return 0;
    _USER_DATA answer = {};
    DWORD returned;
    if (!Control(IOCTL_GET_STATUS, nullptr, 0, &answer, sizeof answer, &returned) || returned != sizeof answer)
        return 0;
    *record = answer;
    return 1;
}

int QvMp3DDSetStatus(_USER_DATA* record)
{
    if (!record)
        return 0;
    DWORD returned;
    return Control(IOCTL_SET_STATUS, record, sizeof *record, nullptr, 0, &returned) ? 1 : 0;
}

int QvMp3DDReconfigure()
{
    for (int attempt = 0; attempt < RECONFIGURE_TRIES; attempt++) {
        Sleep(RECONFIGURE_PAUSE_MS);
        DWORD returned;
        if (Control(IOCTL_RECONFIGURE, nullptr, 0, nullptr, 0, &returned))
            return 1;
    }
    return 0;
}

unsigned char QvMp3DDGetDeviceVersion(unsigned long* version)
{
    if (!version)
        return 0;
    DWORD answer = 0, returned;
    if (!Control(IOCTL_GET_DEVICE_VERSION, nullptr, 0, &answer, sizeof answer, &returned) || returned != sizeof answer)
        return 0;
    *version = answer;
    return 1;
}

unsigned long QvMp3DDGetDeviceStatus()
{
    DWORD answer = 0, returned;
    if (!Control(IOCTL_GET_DEVICE_STATUS, nullptr, 0, &answer, sizeof answer, &returned))
        return DEVICE_STATUS_FAILED;
    if (returned == 0)
        return DEVICE_STATUS_NO_ANSWER;
    if (returned != sizeof answer)
        return DEVICE_STATUS_FAILED;
    return answer == 1 ? DEVICE_STATUS_NORMAL : DEVICE_STATUS_RECOVERY;
}

unsigned long QvMp3DDGetChipId()
{
    DWORD answer = 0, returned;
    if (!Control(IOCTL_GET_CHIP_ID, nullptr, 0, &answer, sizeof answer, &returned) || returned != sizeof answer)
        return DEFAULT_CHIP_ID;
    return answer;
}

int QvMp3DDSetFormatStatus(int status)
{
    _USER_DATA record;
    // Writing back a record that was never read would clobber the driver's words.
    if (!QvMp3DDGetStatus(&record))
        return 0;
    record.HostOpen = 1;
    record.FormatStatus = static_cast<unsigned long>(status);
    return QvMp3DDSetStatus(&record);
}

int QvMp3DDWrite(unsigned char* data, unsigned long length)
{
    if (!data)
        return 0;
    return RunTransfer(true, data, length);
}

int QvMp3DDRead(unsigned char* data, unsigned long length)
{
    if (!data)
        return 0;
    if (!NeedsBounce(length))
        return RunTransfer(false, data, length);
    uint32_t rounded;
    if (!BounceLength(length, &rounded) || !State().BounceBuffer)
        return 0;
    unsigned char* bounce = State().BounceBuffer;
    if (!RunTransfer(false, bounce, rounded))
        return 0;
    CopyMemory(data, bounce, length);
    return 1;
}
