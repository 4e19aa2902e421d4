// The exported frame: open and close under the library lock, the status and
// identity queries, and the chip information read at open.
#include <stdio.h>

#include "QvMp3Core.h"
#include "QvMp3State.h"

namespace qvmp3 {

LibraryState& State()
{
    static LibraryState state;
    return state;
}

namespace {

// Reads the chip information (device command 3): 1 and the tuples, or 0.
int ReadChipInfo(ChipInfo* info)
{
    unsigned char answer[CHIP_INFO_BYTES] = {};
    if (!DeviceCommand(CMD_CHIP_INFO, answer, sizeof answer))
        return 0;
    *info = ParseChipInfo(answer, sizeof answer);
    return 1;
}

void ReadChipVersion()
{
    ChipInfo info;
    State().ChipVersion = ReadChipInfo(&info) && info.HasVersion ? info.Version : 0;
    char line[64];
    snprintf(line, sizeof line, "Smartmedia DCC Version: %lx\n", State().ChipVersion);
    OutputDebugStringA(line);
}

// Opens are counted: a second caller shares the open device, and only the
// last close closes it.
int Open(char index, bool scan, DEVICE_STATUS kind, bool block)
{
    LockHolder lock;
    LibraryState& state = State();
    const bool recovery = kind == DEVICE_STATUS_RECOVERY;
    if (state.OpenCount > 0 && state.DeviceHandle != INVALID_HANDLE_VALUE) {
        // Only the same device is shared: another index or the other kind
        // (the recovery device while the normal one is open) is refused, and
        // the open device stays as it is.
        if (recovery != state.OpenRecovery || (!scan && index != state.OpenIndex))
            return 0;
        state.OpenCount++;
        return 1;
    }
    int opened = block ? QvMp3DDOpenDriver(index, scan ? 1 : 0, kind)
                       : QvMp3DDOpenDriverNoBlock(index, scan ? 1 : 0, kind);
    if (!opened)
        return 0;
    state.OpenCount = 1;
    state.OpenRecovery = recovery;
    state.OpenIndex = state.OpenedIndex;
    if (kind == DEVICE_STATUS_NORMAL)
        ReadChipVersion();
    return 1;
}

} // namespace

void InitialiseLocks()
{
    InitializeCriticalSection(&State().LibraryLock);
}

void DeleteLocks()
{
    DeleteCriticalSection(&State().LibraryLock);
}

} // namespace qvmp3

using namespace qvmp3;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        InitialiseLocks();
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary: give the device back. At process exit the
        // system closes the handle itself.
        if (State().DeviceHandle != INVALID_HANDLE_VALUE)
            QvMp3DDCloseDriver();
        DeleteLocks();
    }
    return TRUE;
}

int QvMp3OpenDriver(DEVICE_STATUS kind)
{
    return Open(0, true, kind, true);
}

int QvMp3OpenDriverEx(char index, DEVICE_STATUS kind)
{
    return Open(index, false, kind, true);
}

int QvMp3OpenDriverNoBlock(char index, DEVICE_STATUS kind)
{
    return Open(index, false, kind, false);
}

int QvMp3OpenDriverNoBlockEx(DEVICE_STATUS kind)
{
    return Open(0, true, kind, false);
}

int QvMp3CloseDriver()
{
    LockHolder lock;
    LibraryState& state = State();
    if (state.OpenCount > 1) {
        state.OpenCount--;
        return 1;
    }
    state.OpenCount = 0;
    return QvMp3DDCloseDriver();
}


int QvMp3GetStatus(_USER_DATA* record)
{
    LockHolder lock;
    return QvMp3DDGetStatus(record);
}

int QvMp3SetStatus(_USER_DATA* record)
{
    LockHolder lock;
    return QvMp3DDSetStatus(record);
}

DEVICE_STATUS QvMp3GetDeviceStatus()
{
    LockHolder lock;
    return static_cast<DEVICE_STATUS>(QvMp3DDGetDeviceStatus());
}

unsigned long QvMp3GetChipId(unsigned char mode)
{
    // Mode 1 sends command packets too, so it holds the lock like every other
    // packet exchange: another thread's command must not land between a
    // command and its answer.
    LockHolder lock;
    if (mode != 1)
        return QvMp3DDGetChipId();
    ChipInfo info;
    if (!ReadChipInfo(&info) || !info.HasRevision || info.Revision <= OLD_CHIP_REVISION_LIMIT)
        return CHIP_3410;
    unsigned char answer[3] = {};
    uint8_t packet[DEVICE_PACKET_BYTES];
    DevicePacket(CMD_CHIP_ID, packet);
    // Without the command on its way there is no chip id to tell.
    if (!QvMp3DDWrite(packet, DEVICE_PACKET_BYTES))
        return 0;
    if (!QvMp3DDRead(answer, sizeof answer))
        return CHIP_3400;
    return ChipIdAnswerIs3410(answer, sizeof answer) ? CHIP_3410 : CHIP_3400;
}

ACCESS_DEVICE_STATUS QvMp3GetPowerStatus(unsigned long* status)
{
    if (!status)
        return ACCESS_DEVICE_FAILED;
    LockHolder lock;
    unsigned char answer[3] = {};
    if (!DeviceCommand(CMD_POWER_STATUS, answer, sizeof answer))
        return ACCESS_DEVICE_FAILED;
    *status = Word24(answer);
    return ACCESS_DEVICE_SUCCESS;
}

int QvMp3GetDeviceVersion(unsigned long* version)
{
    LockHolder lock;
    return QvMp3DDGetDeviceVersion(version) ? 1 : 0;
}
