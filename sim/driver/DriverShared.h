// What the stand-in driver's source files share: the DDK headers, the
// driver's one state record, its locks and the functions one device's file
// calls in another's. One file per device role: ViloSimDriver.cpp (entry,
// parameters, dispatch), UnitDevice.cpp (the player's units and their data
// channel), ControlDevice.cpp (the tests' control device), VolumeDevice.cpp
// (the player's volume and media).
#pragma once

#include <intrin.h>
// The DDK headers define these two again, which C++ refuses after intrin.h's
// declarations; let the DDK's copies go by other names.
#define InterlockedBitTestAndSet DdkInterlockedBitTestAndSet
#define InterlockedBitTestAndReset DdkInterlockedBitTestAndReset
extern "C" {
#include <ntddk.h>
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable, PLARGE_INTEGER timeout);
#include <ntddstor.h>
#include <ntddscsi.h>
}
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

#include "SimTargetBridge.h"
#include "vilosim/PlayerModel.h"

using namespace vilosim;

namespace simdriver {

constexpr ULONG POOL_TAG = 0x6F6C6956; // "Vilo"
constexpr ULONG MAX_UNITS = 32;
constexpr ULONG MAX_HELD = 8;
constexpr ULONG NAME_CHARS = 64;

constexpr ULONG MAX_PENDING_WRITES = 16;
constexpr ULONG SECTOR_BYTES = 512;

constexpr ULONG IOCTL_SCSI_PASS_THROUGH_CODE = 0x4D004;
constexpr ULONG IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE = 0x4D014;
constexpr ULONG IOCTL_DISK_SET_DRIVE_LAYOUT_CODE = 0x7C010;
constexpr ULONG FSCTL_LOCK_VOLUME_CODE = 0x90018;
constexpr ULONG FSCTL_UNLOCK_VOLUME_CODE = 0x9001C;
constexpr ULONG FSCTL_DISMOUNT_VOLUME_CODE = 0x90020;
constexpr ULONG IOCTL_STORAGE_MEDIA_REMOVAL_CODE = 0x2D4804;
constexpr ULONG IOCTL_STORAGE_EJECT_MEDIA_CODE = 0x2D4808;
constexpr ULONG IOCTL_DISK_MEDIA_REMOVAL_CODE = 0x74804;
constexpr ULONG IOCTL_DISK_EJECT_MEDIA_CODE = 0x74808;
constexpr ULONG IOCTL_DISK_GET_LENGTH_INFO_CODE = 0x7405C;
// The layout request as the updater sends it: count, signature, one entry.
constexpr ULONG DRIVE_LAYOUT_BYTES = 40;
// The worker's tick, by which delayed recovery writes count down.
constexpr ULONG WORKER_TICK_MS = 10;
constexpr ULONG NEVER = 0xFFFFFFFF;

const WCHAR VOLUME_DEVICE_NAME[] = L"\\Device\\ViloLarkVolume";

enum DeviceRole : ULONG { ROLE_CONTROL = 1, ROLE_UNIT = 2, ROLE_VOLUME = 3 };

struct DeviceExtension {
    ULONG Role;
    ULONG Kind;
    ULONG Index;
};

// A recovery write whose completion waits for the device's delay.
struct PendingWrite {
    PIRP Irp;
    ULONG Bytes;
    ULONG MsLeft; // NEVER: until cancelled
};

struct DriverState {
    KSPIN_LOCK Lock;
    CPlayerModel* Model;
    PDEVICE_OBJECT Control;
    PDEVICE_OBJECT Volume;
    PDEVICE_OBJECT Units[MAX_UNITS];
    PIRP Held[MAX_HELD];
    WCHAR VolumeLink[NAME_CHARS];
    WCHAR StateFile[260];
    // Where the drive letter pointed before the takeover, restored at unload.
    UNICODE_STRING SavedVolumeTarget;
    WCHAR SavedVolumeTargetBuffer[260];

    // The player's media: an image file, opened while the volume is plugged
    // in. File calls may wait, so the image has a mutex, not the spin lock.
    KMUTEX ImageLock;
    HANDLE Image;
    ULONGLONG ImageBytes;
    ULONG VolumeState;       // SIM_VOLUME_*
    ULONG VolumeReads;
    ULONG VolumeWrites;
    bool TargetReady;        // the SCSI target exists
    bool LinkPresent;        // the drive letter's link to our volume device
    // Recovery-mode device (under Lock).
    bool RecoveryArmed;
    bool VolumeHidden;       // the player shows no volume until its firmware arrived
    ULONG RecoveryDelayMs;
    bool RecoveryNeverCompletes;
    ULONG RecoveryCompleted;
    ULONG RecoveryCancelled;
    PendingWrite Pending[MAX_PENDING_WRITES];
    // The thread that completes delayed writes.
    HANDLE Worker;
    KEVENT WorkerWake;
    volatile LONG WorkerStop;
};

extern DriverState g_state;

struct Locked {
    Locked() { KeAcquireSpinLock(&g_state.Lock, &irql); }
    ~Locked() { KeReleaseSpinLock(&g_state.Lock, irql); }
    KIRQL irql;
};

struct ImageLocked {
    ImageLocked() { KeWaitForSingleObject(&g_state.ImageLock, Executive, KernelMode, FALSE, nullptr); }
    ~ImageLocked() { KeReleaseMutex(&g_state.ImageLock, FALSE); }
};

void AppendText(WCHAR* to, ULONG capacity, const WCHAR* text);
void AppendNumber(WCHAR* to, ULONG capacity, ULONG value);
const WCHAR* UnitBase(ULONG kind);
void UnitNames(ULONG kind, ULONG index, WCHAR (&device)[NAME_CHARS], WCHAR (&link)[NAME_CHARS]);
NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information);
void SaveState();
void LoadState();
NTSTATUS MakeDevice(PDRIVER_OBJECT driver, const WCHAR* deviceName, const WCHAR* linkName, DEVICE_TYPE type,
                    ULONG characteristics, ULONG role, ULONG kind, ULONG index, PDEVICE_OBJECT* made);
void DeleteDevice(PDEVICE_OBJECT object, const WCHAR* linkName);
int FindUnit(ULONG kind, ULONG index);
NTSTATUS AddUnit(PDRIVER_OBJECT driver, ULONG kind, ULONG index);
void RemoveUnitAt(ULONG slot);
void RemoveAllUnits();
void TakeOverVolume(PDRIVER_OBJECT driver, WCHAR letter);
void GiveBackVolume();
bool TakeFromHeld(PIRP irp);
void CancelHeldRead(PDEVICE_OBJECT, PIRP irp);
void CompleteHeldOf(PFILE_OBJECT file);
NTSTATUS HoldRead(PIRP irp);
void CloseImageLocked();
NTSTATUS SetImage(const WCHAR* path, ULONG chars);
bool VolumeGone();
void UpdateVolumeLink();
void CancelPendingWrite(PDEVICE_OBJECT, PIRP irp);
void CompleteDueWrites(ULONG elapsed);
void WorkerMain(void*);
NTSTATUS RecoveryWrite(PIRP irp, PIO_STACK_LOCATION stack);
void CompletePendingWritesOf(PFILE_OBJECT file);
NTSTATUS UnitControl(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS UnitRead(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS UnitWrite(PDEVICE_OBJECT device, PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS SimControl(PDEVICE_OBJECT device, PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS QueryStorageProperty(PIRP irp, PIO_STACK_LOCATION stack);
void NoteVolumeOpen(PIO_STACK_LOCATION stack);
NTSTATUS VolumeFileInformation(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS VolumeTransfer(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS VolumeScsiPassThrough(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS VolumeControl(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS VolumeQueryInformation(PIRP irp, PIO_STACK_LOCATION stack);
NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp);
void Unload(PDRIVER_OBJECT driver);

}  // namespace simdriver
