// Stand-in for the Vilo Lark's kernel driver, loaded by Wine's winedevice.exe.
// It answers the player driver's device names, control codes and data channel
// from the simulated player model, takes over the player's drive letter to
// answer the storage identity, serve the volume's sectors from an image file
// and carry SCSI pass-through to the player's SCSI target, takes the
// recovery-mode firmware writes, and offers a private control device through
// which tests set the simulated player's behaviour.
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
#include "MediaFiles.h"
#include "vilosim/PlayerModel.h"

using namespace vilosim;

namespace {

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

DriverState g_state;

// ---- small helpers (no C library in a driver) ------------------------------

void AppendText(WCHAR* to, ULONG capacity, const WCHAR* text)
{
    ULONG length = 0;
    while (length < capacity && to[length])
        length++;
    while (*text && length + 1 < capacity)
        to[length++] = *text++;
    if (length < capacity)
        to[length] = 0;
}

void AppendNumber(WCHAR* to, ULONG capacity, ULONG value)
{
    WCHAR digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<WCHAR>(L'0' + value % 10);
        value /= 10;
    } while (value);
    WCHAR text[12];
    for (int i = 0; i < count; i++)
        text[i] = digits[count - 1 - i];
    text[count] = 0;
    AppendText(to, capacity, text);
}

const WCHAR* UnitBase(ULONG kind)
{
    switch (kind) {
    case UNIT_NT_NAME: return L"ViloLarkr";
    case UNIT_9X_NAME: return L"ViloLarku";
    default: return L"QvMp3RecDevice";
    }
}

void UnitNames(ULONG kind, ULONG index, WCHAR (&device)[NAME_CHARS], WCHAR (&link)[NAME_CHARS])
{
    device[0] = 0;
    link[0] = 0;
    AppendText(device, NAME_CHARS, L"\\Device\\");
    AppendText(device, NAME_CHARS, UnitBase(kind));
    AppendNumber(device, NAME_CHARS, index);
    AppendText(link, NAME_CHARS, L"\\DosDevices\\");
    AppendText(link, NAME_CHARS, UnitBase(kind));
    AppendNumber(link, NAME_CHARS, index);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

struct Locked {
    Locked() { KeAcquireSpinLock(&g_state.Lock, &irql); }
    ~Locked() { KeReleaseSpinLock(&g_state.Lock, irql); }
    KIRQL irql;
};

// The same lock for the media files (MediaFiles.cpp).
KIRQL g_mediaIrql;
void LockModel() { KeAcquireSpinLock(&g_state.Lock, &g_mediaIrql); }
void UnlockModel() { KeReleaseSpinLock(&g_state.Lock, g_mediaIrql); }

// ---- persisted state -------------------------------------------------------

void SaveState()
{
    uint8_t bytes[CPlayerModel::PERSISTED_BYTES];
    {
        Locked lock;
        g_state.Model->SaveState(bytes);
    }
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, g_state.StateFile);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE file;
    IO_STATUS_BLOCK io;
    NTSTATUS status = ZwCreateFile(&file, GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                   0, FILE_OVERWRITE_IF, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
                                   nullptr, 0);
    if (!NT_SUCCESS(status))
        return;
    LARGE_INTEGER offset;
    offset.QuadPart = 0;
    ZwWriteFile(file, nullptr, nullptr, nullptr, &io, bytes, sizeof bytes, &offset, nullptr);
    ZwClose(file);
}

void LoadState()
{
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, g_state.StateFile);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE file;
    IO_STATUS_BLOCK io;
    NTSTATUS status = ZwCreateFile(&file, GENERIC_READ | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                   FILE_SHARE_READ, FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
                                   nullptr, 0);
    if (!NT_SUCCESS(status))
        return;
    uint8_t bytes[CPlayerModel::PERSISTED_BYTES];
    LARGE_INTEGER offset;
    offset.QuadPart = 0;
    status = ZwReadFile(file, nullptr, nullptr, nullptr, &io, bytes, sizeof bytes, &offset, nullptr);
    ZwClose(file);
    if (NT_SUCCESS(status))
        g_state.Model->LoadState(bytes, static_cast<uint32_t>(io.Information));
}

// ---- service parameters ----------------------------------------------------

struct ConfigValue {
    const WCHAR* Name;
    uint32_t SimConfig::*Field;
};

const ConfigValue CONFIG_VALUES[] = {
    {L"DeviceStatusAnswer", &SimConfig::DeviceStatusAnswer},
    {L"DeviceStatusBytes", &SimConfig::DeviceStatusBytes},
    {L"ReadyDropPolls", &SimConfig::ReadyDropPolls},
    {L"ReconfigureRefusals", &SimConfig::ReconfigureRefusals},
    {L"HeldReads", &SimConfig::HeldReads},
    {L"DeviceVersion", &SimConfig::DeviceVersion},
    {L"ChipIdAnswer", &SimConfig::ChipIdAnswer},
    {L"ChipIdFails", &SimConfig::ChipIdFails},
    {L"ChipRevision", &SimConfig::ChipRevision},
    {L"ChipVersion", &SimConfig::ChipVersion},
    {L"TupleCount", &SimConfig::TupleCount},
    {L"PowerStatus", &SimConfig::PowerStatus},
    {L"ChipIdWord", &SimConfig::ChipIdWord},
    {L"FailCommands", &SimConfig::FailCommands},
};

struct ValueBuffer {
    KEY_VALUE_PARTIAL_INFORMATION Info;
    UCHAR More[520];
};

bool QueryValue(HANDLE key, const WCHAR* name, ValueBuffer* buffer)
{
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    ULONG length = 0;
    return NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof *buffer, &length));
}

bool QueryDword(HANDLE key, const WCHAR* name, ULONG* value, ValueBuffer* buffer)
{
    if (!QueryValue(key, name, buffer) || buffer->Info.Type != REG_DWORD || buffer->Info.DataLength != 4)
        return false;
    *value = *reinterpret_cast<ULONG*>(buffer->Info.Data);
    return true;
}

bool QueryText(HANDLE key, const WCHAR* name, WCHAR* out, ULONG capacity, ValueBuffer* buffer)
{
    if (!QueryValue(key, name, buffer) || (buffer->Info.Type != REG_SZ && buffer->Info.Type != REG_EXPAND_SZ))
        return false;
    ULONG chars = buffer->Info.DataLength / sizeof(WCHAR);
    const WCHAR* text = reinterpret_cast<const WCHAR*>(buffer->Info.Data);
    ULONG i = 0;
    for (; i < chars && i + 1 < capacity && text[i]; i++)
        out[i] = text[i];
    out[i] = 0;
    return i > 0;
}

// A text value of any length, in pool memory the caller frees (null: none).
WCHAR* QueryTextAllocated(HANDLE key, const WCHAR* name, ULONG* chars)
{
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    ULONG length = 0;
    NTSTATUS status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, nullptr, 0, &length);
    if (status != STATUS_BUFFER_TOO_SMALL && status != STATUS_BUFFER_OVERFLOW)
        return nullptr;
    auto* info = static_cast<KEY_VALUE_PARTIAL_INFORMATION*>(ExAllocatePoolWithTag(PagedPool, length, POOL_TAG));
    if (!info)
        return nullptr;
    WCHAR* text = nullptr;
    if (NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, length, &length)) &&
        (info->Type == REG_SZ || info->Type == REG_EXPAND_SZ)) {
        ULONG count = info->DataLength / sizeof(WCHAR);
        const WCHAR* data = reinterpret_cast<const WCHAR*>(info->Data);
        while (count && data[count - 1] == 0)
            count--;
        text = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, (count + 1) * sizeof(WCHAR), POOL_TAG));
        if (text) {
            for (ULONG i = 0; i < count; i++)
                text[i] = data[i];
            text[count] = 0;
            *chars = count;
        }
    }
    ExFreePoolWithTag(info, POOL_TAG);
    return text;
}

struct Parameters {
    ULONG UnitIndex;      // ViloLarkr/ViloLarku unit made at load (0xFFFFFFFF: none)
    ULONG RecoveryIndex;  // QvMp3RecDevice unit made at load (0xFFFFFFFF: none)
    WCHAR VolumeLetter;   // 0: no volume device
    WCHAR* ImagePath;     // the volume's image (pool memory), null: none
    ULONG ImagePathChars;
};

void ReadParameters(PUNICODE_STRING registryPath, Parameters* parameters, SimConfig* config)
{
    parameters->UnitIndex = 0;
    parameters->RecoveryIndex = 0xFFFFFFFF;
    parameters->VolumeLetter = L'O';
    parameters->ImagePath = nullptr;
    parameters->ImagePathChars = 0;
    g_state.StateFile[0] = 0;
    AppendText(g_state.StateFile, 260, L"\\??\\C:\\windows\\vilolark-state.bin");

    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, registryPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE service;
    if (!NT_SUCCESS(ZwOpenKey(&service, KEY_READ, &attributes)))
        return;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"Parameters");
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, service, nullptr);
    HANDLE key;
    NTSTATUS status = ZwOpenKey(&key, KEY_READ, &attributes);
    ZwClose(service);
    if (!NT_SUCCESS(status))
        return;
    ValueBuffer* buffer = static_cast<ValueBuffer*>(ExAllocatePoolWithTag(PagedPool, sizeof(ValueBuffer), POOL_TAG));
    if (buffer) {
        QueryDword(key, L"UnitIndex", &parameters->UnitIndex, buffer);
        QueryDword(key, L"RecoveryIndex", &parameters->RecoveryIndex, buffer);
        WCHAR letter[4];
        if (QueryText(key, L"VolumeLetter", letter, 4, buffer))
            parameters->VolumeLetter = letter[0] == L'-' ? 0 : letter[0];
        QueryText(key, L"StateFile", g_state.StateFile, 260, buffer);
        parameters->ImagePath = QueryTextAllocated(key, L"ImagePath", &parameters->ImagePathChars);
        for (const ConfigValue& value : CONFIG_VALUES) {
            ULONG number;
            if (QueryDword(key, value.Name, &number, buffer))
                config->*value.Field = number;
        }
        ExFreePoolWithTag(buffer, POOL_TAG);
    }
    ZwClose(key);
}

// ---- devices ---------------------------------------------------------------

NTSTATUS MakeDevice(PDRIVER_OBJECT driver, const WCHAR* deviceName, const WCHAR* linkName, DEVICE_TYPE type,
                    ULONG characteristics, ULONG role, ULONG kind, ULONG index, PDEVICE_OBJECT* made)
{
    UNICODE_STRING device;
    RtlInitUnicodeString(&device, deviceName);
    PDEVICE_OBJECT object;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(DeviceExtension), &device, type, characteristics, FALSE, &object);
    if (!NT_SUCCESS(status))
        return status;
    auto* extension = static_cast<DeviceExtension*>(object->DeviceExtension);
    extension->Role = role;
    extension->Kind = kind;
    extension->Index = index;
    object->Flags |= DO_BUFFERED_IO;
    if (linkName) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, linkName);
        status = IoCreateSymbolicLink(&link, &device);
        if (!NT_SUCCESS(status)) {
            IoDeleteDevice(object);
            return status;
        }
    }
    object->Flags &= ~DO_DEVICE_INITIALIZING;
    *made = object;
    return STATUS_SUCCESS;
}

void DeleteDevice(PDEVICE_OBJECT object, const WCHAR* linkName)
{
    if (linkName) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, linkName);
        IoDeleteSymbolicLink(&link);
    }
    IoDeleteDevice(object);
}

int FindUnit(ULONG kind, ULONG index)
{
    for (ULONG i = 0; i < MAX_UNITS; i++) {
        PDEVICE_OBJECT unit = g_state.Units[i];
        if (!unit)
            continue;
        auto* extension = static_cast<DeviceExtension*>(unit->DeviceExtension);
        if (extension->Kind == kind && extension->Index == index)
            return static_cast<int>(i);
    }
    return -1;
}

NTSTATUS AddUnit(PDRIVER_OBJECT driver, ULONG kind, ULONG index)
{
    if (kind > UNIT_RECOVERY_NAME || index > 9999)
        return STATUS_INVALID_PARAMETER;
    if (FindUnit(kind, index) >= 0)
        return STATUS_SUCCESS;
    ULONG slot = 0;
    while (slot < MAX_UNITS && g_state.Units[slot])
        slot++;
    if (slot == MAX_UNITS)
        return STATUS_INSUFFICIENT_RESOURCES;
    WCHAR device[NAME_CHARS], link[NAME_CHARS];
    UnitNames(kind, index, device, link);
    return MakeDevice(driver, device, link, FILE_DEVICE_UNKNOWN, 0, ROLE_UNIT, kind, index, &g_state.Units[slot]);
}

void RemoveUnitAt(ULONG slot)
{
    PDEVICE_OBJECT unit = g_state.Units[slot];
    auto* extension = static_cast<DeviceExtension*>(unit->DeviceExtension);
    WCHAR device[NAME_CHARS], link[NAME_CHARS];
    UnitNames(extension->Kind, extension->Index, device, link);
    g_state.Units[slot] = nullptr;
    DeleteDevice(unit, link);
}

void RemoveAllUnits()
{
    for (ULONG i = 0; i < MAX_UNITS; i++)
        if (g_state.Units[i])
            RemoveUnitAt(i);
}

// The drive letter belongs to Wine's mount manager; point it at our volume
// device so that \\.\X: answers as the player, and give it back at unload.
void TakeOverVolume(PDRIVER_OBJECT driver, WCHAR letter)
{
    g_state.VolumeLink[0] = 0;
    WCHAR linkText[] = L"\\DosDevices\\X:";
    linkText[12] = letter;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, linkText);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &link, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE handle;
    g_state.SavedVolumeTarget.Buffer = g_state.SavedVolumeTargetBuffer;
    g_state.SavedVolumeTarget.Length = 0;
    g_state.SavedVolumeTarget.MaximumLength = sizeof g_state.SavedVolumeTargetBuffer;
    if (NT_SUCCESS(ZwOpenSymbolicLinkObject(&handle, GENERIC_READ, &attributes))) {
        ULONG length = 0;
        if (!NT_SUCCESS(ZwQuerySymbolicLinkObject(handle, &g_state.SavedVolumeTarget, &length)))
            g_state.SavedVolumeTarget.Length = 0;
        ZwClose(handle);
        IoDeleteSymbolicLink(&link);
    }
    if (NT_SUCCESS(MakeDevice(driver, VOLUME_DEVICE_NAME, linkText, FILE_DEVICE_DISK, FILE_REMOVABLE_MEDIA,
                              ROLE_VOLUME, 0, 0, &g_state.Volume))) {
        AppendText(g_state.VolumeLink, NAME_CHARS, linkText);
        g_state.LinkPresent = true;
    }
}

void GiveBackVolume()
{
    if (!g_state.Volume)
        return;
    DeleteDevice(g_state.Volume, g_state.VolumeLink[0] && g_state.LinkPresent ? g_state.VolumeLink : nullptr);
    g_state.LinkPresent = false;
    g_state.Volume = nullptr;
    if (g_state.VolumeLink[0] && g_state.SavedVolumeTarget.Length) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, g_state.VolumeLink);
        IoCreateSymbolicLink(&link, &g_state.SavedVolumeTarget);
    }
}

// ---- held reads ------------------------------------------------------------

bool TakeFromHeld(PIRP irp)
{
    for (PIRP& held : g_state.Held) {
        if (held == irp) {
            held = nullptr;
            return true;
        }
    }
    return false;
}

void CancelHeldRead(PDEVICE_OBJECT, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    bool ours;
    {
        Locked lock;
        ours = TakeFromHeld(irp);
        if (ours)
            g_state.Model->NoteCancelledRead();
    }
    if (ours)
        Complete(irp, STATUS_CANCELLED, 0);
}

// Wine sends no cleanup request for a handle closed with a read pending, so
// the close completes whatever that handle still has held.
void CompleteHeldOf(PFILE_OBJECT file)
{
    for (;;) {
        PIRP found = nullptr;
        {
            Locked lock;
            for (PIRP& held : g_state.Held) {
                if (held && IoGetCurrentIrpStackLocation(held)->FileObject == file) {
                    if (IoSetCancelRoutine(held, nullptr) == nullptr)
                        continue; // its cancel routine is running and will complete it
                    found = held;
                    held = nullptr;
                    g_state.Model->NoteClosedWithPendingRead();
                    break;
                }
            }
        }
        if (!found)
            return;
        Complete(found, STATUS_CANCELLED, 0);
    }
}

NTSTATUS HoldRead(PIRP irp)
{
    bool held = false;
    bool cancelledAlready = false;
    {
        Locked lock;
        for (PIRP& slot : g_state.Held) {
            if (slot)
                continue;
            slot = irp;
            held = true;
            IoMarkIrpPending(irp);
            IoSetCancelRoutine(irp, CancelHeldRead);
            // Cancelled before the routine was in place: nobody else will complete it.
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
                slot = nullptr;
                cancelledAlready = true;
            }
            break;
        }
    }
    if (!held)
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    if (cancelledAlready)
        Complete(irp, STATUS_CANCELLED, 0);
    return STATUS_PENDING;
}

// ---- the player's media ----------------------------------------------------

struct ImageLocked {
    ImageLocked() { KeWaitForSingleObject(&g_state.ImageLock, Executive, KernelMode, FALSE, nullptr); }
    ~ImageLocked() { KeReleaseMutex(&g_state.ImageLock, FALSE); }
};

void CloseImageLocked()
{
    if (g_state.Image) {
        ZwClose(g_state.Image);
        g_state.Image = nullptr;
    }
    g_state.ImageBytes = 0;
}

// Plugs in the player with the image at path (an NT path, or a DOS path such
// as Z:\...); no path pulls the player out. The SCSI target gets the same
// file for its READ(10) and WRITE(10), so both views are one memory.
NTSTATUS SetImage(const WCHAR* path, ULONG chars)
{
    while (chars && path[chars - 1] == 0)
        chars--;
    ImageLocked lock;
    CloseImageLocked();
    g_state.VolumeState = SIM_VOLUME_UNPLUGGED;
    g_state.VolumeReads = 0;
    g_state.VolumeWrites = 0;
    if (!chars) {
        if (g_state.TargetReady)
            SimBridgeAttachImage(nullptr, 0);
        return STATUS_SUCCESS;
    }
    // NT form for the driver, DOS form for the target's runtime.
    bool ntForm = path[0] == L'\\';
    ULONG ntChars = chars + (ntForm ? 0 : 4);
    auto* ntPath = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, (ntChars + 1) * sizeof(WCHAR), POOL_TAG));
    if (!ntPath)
        return STATUS_INSUFFICIENT_RESOURCES;
    ULONG at = 0;
    if (!ntForm) {
        const WCHAR prefix[] = L"\\??\\";
        for (ULONG i = 0; i < 4; i++)
            ntPath[at++] = prefix[i];
    }
    for (ULONG i = 0; i < chars; i++)
        ntPath[at++] = path[i];
    ntPath[at] = 0;
    const WCHAR* dosPath = ntPath;
    ULONG dosChars = ntChars;
    if (ntChars > 4 && ntPath[0] == L'\\' && ntPath[1] == L'?' && ntPath[2] == L'?' && ntPath[3] == L'\\') {
        dosPath = ntPath + 4;
        dosChars = ntChars - 4;
    }

    UNICODE_STRING name;
    name.Buffer = ntPath;
    name.Length = static_cast<USHORT>(ntChars * sizeof(WCHAR));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE file = nullptr;
    NTSTATUS status = ZwCreateFile(&file, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                                   FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
    FILE_STANDARD_INFORMATION info;
    if (NT_SUCCESS(status)) {
        status = ZwQueryInformationFile(file, &io, &info, sizeof info, FileStandardInformation);
        if (!NT_SUCCESS(status))
            ZwClose(file);
    }
    if (NT_SUCCESS(status) && g_state.TargetReady && !SimBridgeAttachImage(dosPath, dosChars)) {
        ZwClose(file);
        status = STATUS_UNSUCCESSFUL;
    }
    ExFreePoolWithTag(ntPath, POOL_TAG);
    if (!NT_SUCCESS(status))
        return status;
    g_state.Image = file;
    g_state.ImageBytes = static_cast<ULONGLONG>(info.EndOfFile.QuadPart);
    g_state.VolumeState = SIM_VOLUME_IMAGE;
    return STATUS_SUCCESS;
}

// How an unplugged player answers: its volume is gone.
bool VolumeGone()
{
    bool hidden;
    {
        Locked lock;
        hidden = g_state.VolumeHidden;
    }
    return hidden || g_state.VolumeState == SIM_VOLUME_UNPLUGGED;
}

// A pulled player's drive letter goes away, so \\.\X: no longer opens (Wine
// does not fail an open when the driver refuses the create request); it
// comes back with the player.
void UpdateVolumeLink()
{
    if (!g_state.Volume || !g_state.VolumeLink[0])
        return;
    ImageLocked lock;
    bool gone = VolumeGone();
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, g_state.VolumeLink);
    if (gone && g_state.LinkPresent) {
        IoDeleteSymbolicLink(&link);
        g_state.LinkPresent = false;
    } else if (!gone && !g_state.LinkPresent) {
        UNICODE_STRING device;
        RtlInitUnicodeString(&device, VOLUME_DEVICE_NAME);
        g_state.LinkPresent = NT_SUCCESS(IoCreateSymbolicLink(&link, &device));
    }
}

// ---- recovery-mode writes --------------------------------------------------

void CancelPendingWrite(PDEVICE_OBJECT, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    bool ours = false;
    {
        Locked lock;
        for (PendingWrite& pending : g_state.Pending) {
            if (pending.Irp == irp) {
                pending.Irp = nullptr;
                ours = true;
                g_state.RecoveryCancelled++;
            }
        }
    }
    if (ours)
        Complete(irp, STATUS_CANCELLED, 0);
}

// Completes the writes whose delay ran out.
void CompleteDueWrites(ULONG elapsed)
{
    for (;;) {
        PIRP due = nullptr;
        ULONG bytes = 0;
        {
            Locked lock;
            for (PendingWrite& pending : g_state.Pending) {
                if (!pending.Irp)
                    continue;
                if (pending.MsLeft != NEVER)
                    pending.MsLeft = pending.MsLeft > elapsed ? pending.MsLeft - elapsed : 0;
                if (pending.MsLeft != 0)
                    continue;
                if (IoSetCancelRoutine(pending.Irp, nullptr) == nullptr)
                    continue; // being cancelled: its cancel routine completes it
                due = pending.Irp;
                bytes = pending.Bytes;
                pending.Irp = nullptr;
                g_state.RecoveryCompleted++;
                break;
            }
        }
        if (!due)
            return;
        Complete(due, STATUS_SUCCESS, bytes);
        elapsed = 0;
    }
}

void WorkerMain(void*)
{
    LARGE_INTEGER tick;
    tick.QuadPart = -static_cast<LONGLONG>(WORKER_TICK_MS) * 10000;
    while (!g_state.WorkerStop) {
        KeWaitForSingleObject(&g_state.WorkerWake, Executive, KernelMode, FALSE, &tick);
        CompleteDueWrites(WORKER_TICK_MS);
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

// A firmware block for the recovery device: taken at once, completed after
// the device's delay (or never), cancellable meanwhile.
NTSTATUS RecoveryWrite(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.Write.Length;
    bool back = false;
    ULONG bytes = SimBridgeRecoveryWrite(static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer), length, &back);
    ULONG delay;
    {
        Locked lock;
        if (back)
            g_state.VolumeHidden = false;
        delay = g_state.RecoveryNeverCompletes ? NEVER : g_state.RecoveryDelayMs;
        if (delay == 0)
            g_state.RecoveryCompleted++;
    }
    if (back)
        UpdateVolumeLink();
    if (delay == 0)
        return Complete(irp, STATUS_SUCCESS, bytes);
    bool held = false, cancelledAlready = false;
    {
        Locked lock;
        for (PendingWrite& pending : g_state.Pending) {
            if (pending.Irp)
                continue;
            pending.Irp = irp;
            pending.Bytes = bytes;
            pending.MsLeft = delay;
            held = true;
            IoMarkIrpPending(irp);
            IoSetCancelRoutine(irp, CancelPendingWrite);
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
                pending.Irp = nullptr;
                cancelledAlready = true;
                g_state.RecoveryCancelled++;
            }
            break;
        }
    }
    if (!held)
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    if (cancelledAlready)
        Complete(irp, STATUS_CANCELLED, 0);
    return STATUS_PENDING;
}

// Wine sends no cleanup for a handle closed with requests pending: the close
// completes the recovery writes that handle still has (null: every handle's,
// when the driver unloads).
void CompletePendingWritesOf(PFILE_OBJECT file)
{
    for (;;) {
        PIRP found = nullptr;
        {
            Locked lock;
            for (PendingWrite& pending : g_state.Pending) {
                if (pending.Irp && (!file || IoGetCurrentIrpStackLocation(pending.Irp)->FileObject == file)) {
                    if (IoSetCancelRoutine(pending.Irp, nullptr) == nullptr)
                        continue;
                    found = pending.Irp;
                    pending.Irp = nullptr;
                    g_state.RecoveryCancelled++;
                    break;
                }
            }
        }
        if (!found)
            return;
        Complete(found, STATUS_CANCELLED, 0);
    }
}

// ---- dispatch --------------------------------------------------------------

NTSTATUS UnitControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
    bool save = false;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_VILO_GET_STATUS:
        if (out < sizeof(UserData)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            Locked lock;
            *static_cast<UserData*>(buffer) = g_state.Model->GetStatus();
            information = sizeof(UserData);
        }
        break;
    case IOCTL_VILO_SET_STATUS:
        if (in < sizeof(UserData)) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            Locked lock;
            g_state.Model->SetStatus(*static_cast<UserData*>(buffer));
            save = true;
        }
        break;
    case IOCTL_VILO_RECONFIGURE: {
        Locked lock;
        if (!g_state.Model->Reconfigure())
            status = STATUS_DEVICE_NOT_READY;
        break;
    }
    case IOCTL_VILO_GET_DEVICE_VERSION:
        if (out < 4) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            Locked lock;
            *static_cast<ULONG*>(buffer) = g_state.Model->GetDeviceVersion();
            information = 4;
        }
        break;
    case IOCTL_VILO_GET_DEVICE_STATUS: {
        uint32_t value = 0, bytes = 0;
        {
            Locked lock;
            g_state.Model->GetDeviceStatus(&value, &bytes);
        }
        if (bytes && out < 4) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else if (bytes) {
            *static_cast<ULONG*>(buffer) = value;
            information = 4;
        }
        break;
    }
    case IOCTL_VILO_GET_CHIP_ID: {
        uint32_t value = 0;
        bool answered;
        {
            Locked lock;
            answered = g_state.Model->GetChipId(&value);
        }
        if (!answered) {
            status = STATUS_DEVICE_NOT_READY;
        } else if (out < 4) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            *static_cast<ULONG*>(buffer) = value;
            information = 4;
        }
        break;
    }
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    Complete(irp, status, information);
    if (save)
        SaveState();
    return status;
}

NTSTATUS UnitRead(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.Read.Length;
    bool hold;
    bool answered = false;
    {
        Locked lock;
        hold = g_state.Model->TakeHeldRead();
        if (!hold)
            answered = g_state.Model->Read(static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer), length);
    }
    if (hold)
        return HoldRead(irp);
    if (!answered)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    return Complete(irp, STATUS_SUCCESS, length);
}

NTSTATUS UnitWrite(PDEVICE_OBJECT device, PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.Write.Length;
    bool recovery;
    {
        Locked lock;
        recovery = g_state.RecoveryArmed &&
                   static_cast<DeviceExtension*>(device->DeviceExtension)->Kind == UNIT_RECOVERY_NAME;
    }
    if (recovery)
        return RecoveryWrite(irp, stack);
    bool accepted;
    {
        Locked lock;
        accepted = g_state.Model->Write(static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer), length);
    }
    if (!accepted)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    return Complete(irp, STATUS_SUCCESS, length);
}

NTSTATUS SimControl(PDEVICE_OBJECT device, PIRP irp, PIO_STACK_LOCATION stack)
{
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
    bool save = false;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_SIM_RESET:
        RemoveAllUnits();
        MediaCloseAll();
        {
            Locked lock;
            g_state.Model->Reset();
            MediaAttachGroups(g_state.Model);
            g_state.RecoveryArmed = false;
            g_state.VolumeHidden = false;
            g_state.RecoveryDelayMs = 0;
            g_state.RecoveryNeverCompletes = false;
            g_state.RecoveryCompleted = 0;
            g_state.RecoveryCancelled = 0;
        }
        // A fresh SCSI target on the same media; a pulled player is back,
        // without media.
        {
            ImageLocked lock;
            if (g_state.VolumeState == SIM_VOLUME_UNPLUGGED)
                g_state.VolumeState = SIM_VOLUME_NO_MEDIA;
            if (!SimBridgeReset())
                status = STATUS_INSUFFICIENT_RESOURCES;
        }
        UpdateVolumeLink();
        save = true;
        break;
    case IOCTL_SIM_SET_FLASH:
    case IOCTL_SIM_SET_CARD:
        status = MediaSetImage(stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_SIM_SET_FLASH, buffer, in,
                               LockModel, UnlockModel);
        break;
    case IOCTL_SIM_GET_MEDIA_LOG: {
        Locked lock;
        information = g_state.Model->MediaLog(static_cast<SimMediaRecord*>(buffer), out / sizeof(SimMediaRecord)) *
                      sizeof(SimMediaRecord);
        break;
    }
    case IOCTL_SIM_SET_IMAGE:
        status = SetImage(static_cast<const WCHAR*>(buffer), in / sizeof(WCHAR));
        UpdateVolumeLink();
        break;
    case IOCTL_SIM_SET_SCSI_FAULTS:
        if (in < sizeof(SimScsiFaults))
            status = STATUS_INVALID_PARAMETER;
        else
            SimBridgeSetFaults(static_cast<const SimScsiFaults*>(buffer));
        break;
    case IOCTL_SIM_GET_SCSI_LOG: {
        ULONG capacity = out / sizeof(SimScsiRecord);
        ULONG total = SimBridgeLog(static_cast<SimScsiRecord*>(buffer), capacity);
        if (total > capacity)
            status = STATUS_BUFFER_OVERFLOW;
        information = (total < capacity ? total : capacity) * sizeof(SimScsiRecord);
        break;
    }
    case IOCTL_SIM_CLEAR_SCSI_LOG:
        SimBridgeClearLog();
        break;
    case IOCTL_SIM_GET_LAYOUT: {
        ULONG total = SimBridgeLayout(static_cast<uint8_t*>(buffer), out);
        if (total > out)
            status = STATUS_BUFFER_OVERFLOW;
        information = total < out ? total : out;
        break;
    }
    case IOCTL_SIM_SET_RECOVERY:
        if (in < sizeof(SimRecoveryConfig)) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            SimRecoveryConfig config = *static_cast<SimRecoveryConfig*>(buffer);
            SimBridgeSetRecovery(&config);
            Locked lock;
            g_state.RecoveryArmed = config.ExpectedSize != 0;
            g_state.VolumeHidden = g_state.RecoveryArmed && config.VolumeAfterImage != 0;
            g_state.RecoveryDelayMs = config.DelayMs;
            g_state.RecoveryNeverCompletes = config.NeverComplete != 0;
            g_state.RecoveryCompleted = 0;
            g_state.RecoveryCancelled = 0;
        }
        UpdateVolumeLink();
        break;
    case IOCTL_SIM_GET_RECOVERY:
        if (out < sizeof(SimRecoveryState)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            SimRecoveryState state = {};
            auto* bytes = static_cast<uint8_t*>(buffer) + sizeof(SimRecoveryState);
            ULONG copied = SimBridgeRecoveryState(&state, bytes, out - sizeof(SimRecoveryState));
            {
                Locked lock;
                state.Completed = g_state.RecoveryCompleted;
                state.Cancelled = g_state.RecoveryCancelled;
            }
            *static_cast<SimRecoveryState*>(buffer) = state;
            information = sizeof(SimRecoveryState) + copied;
        }
        break;
    case IOCTL_SIM_GET_VOLUME:
        if (out < sizeof(SimVolumeState)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            SimVolumeState state = {};
            {
                ImageLocked lock;
                state.State = g_state.VolumeState;
                state.ImageBytes = g_state.ImageBytes;
                state.Reads = g_state.VolumeReads;
                state.Writes = g_state.VolumeWrites;
            }
            if (VolumeGone())
                state.State = SIM_VOLUME_UNPLUGGED;
            *static_cast<SimVolumeState*>(buffer) = state;
            information = sizeof(SimVolumeState);
        }
        break;
    case IOCTL_SIM_ADD_UNIT:
    case IOCTL_SIM_REMOVE_UNIT: {
        if (in < sizeof(SimUnit)) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        SimUnit unit = *static_cast<SimUnit*>(buffer);
        if (stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_SIM_ADD_UNIT) {
            status = AddUnit(device->DriverObject, unit.Kind, unit.Index);
        } else {
            int slot = FindUnit(unit.Kind, unit.Index);
            if (slot >= 0)
                RemoveUnitAt(static_cast<ULONG>(slot));
            else
                status = STATUS_NOT_FOUND;
        }
        break;
    }
    case IOCTL_SIM_SET_CONFIG:
        if (in < sizeof(SimConfig)) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            Locked lock;
            g_state.Model->Configure(*static_cast<SimConfig*>(buffer));
        }
        break;
    case IOCTL_SIM_GET_CONFIG:
        if (out < sizeof(SimConfig)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            Locked lock;
            *static_cast<SimConfig*>(buffer) = g_state.Model->Config();
            information = sizeof(SimConfig);
        }
        break;
    case IOCTL_SIM_GET_STATS:
        if (out < sizeof(SimStats)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            Locked lock;
            *static_cast<SimStats*>(buffer) = g_state.Model->Stats();
            information = sizeof(SimStats);
        }
        break;
    case IOCTL_SIM_SET_STATE:
        if (in < sizeof(UserData)) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            Locked lock;
            g_state.Model->SetStatus(*static_cast<UserData*>(buffer));
            save = true;
        }
        break;
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    Complete(irp, status, information);
    if (save)
        SaveState();
    return status;
}

// The identity the player's USB mass-storage interface reports.
NTSTATUS QueryStorageProperty(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    auto* query = static_cast<STORAGE_PROPERTY_QUERY*>(irp->AssociatedIrp.SystemBuffer);
    if (in < sizeof(STORAGE_PROPERTY_QUERY) || query->PropertyId != StorageDeviceProperty)
        return Complete(irp, STATUS_NOT_SUPPORTED, 0);
    if (query->QueryType == PropertyExistsQuery)
        return Complete(irp, STATUS_SUCCESS, 0);
    static const char VENDOR[] = "Vilo    ";
    static const char PRODUCT[] = "Lark            ";
    static const char REVISION[] = "1.00";
    const ULONG vendorAt = sizeof(STORAGE_DEVICE_DESCRIPTOR);
    const ULONG productAt = vendorAt + sizeof VENDOR;
    const ULONG revisionAt = productAt + sizeof PRODUCT;
    const ULONG total = revisionAt + sizeof REVISION;
    uint8_t descriptor[total];
    for (ULONG i = 0; i < total; i++)
        descriptor[i] = 0;
    auto* header = reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(descriptor);
    header->Version = sizeof(STORAGE_DEVICE_DESCRIPTOR);
    header->Size = total;
    header->DeviceType = 0; // direct-access block device
    header->RemovableMedia = TRUE;
    header->VendorIdOffset = vendorAt;
    header->ProductIdOffset = productAt;
    header->ProductRevisionOffset = revisionAt;
    header->BusType = BusTypeUsb;
    for (ULONG i = 0; i < sizeof VENDOR; i++)
        descriptor[vendorAt + i] = VENDOR[i];
    for (ULONG i = 0; i < sizeof PRODUCT; i++)
        descriptor[productAt + i] = PRODUCT[i];
    for (ULONG i = 0; i < sizeof REVISION; i++)
        descriptor[revisionAt + i] = REVISION[i];
    // Like a real disk: a short buffer gets as much of the descriptor as fits,
    // so callers can learn the full size from its header.
    ULONG copied = out < total ? out : total;
    auto* target = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    for (ULONG i = 0; i < copied; i++)
        target[i] = descriptor[i];
    return Complete(irp, STATUS_SUCCESS, copied);
}

// Sector reads and writes of the player's volume, from its image file:
// whole sectors only, inside the image, which never grows.
NTSTATUS VolumeTransfer(PIRP irp, PIO_STACK_LOCATION stack)
{
    bool write = stack->MajorFunction == IRP_MJ_WRITE;
    ULONG length = write ? stack->Parameters.Write.Length : stack->Parameters.Read.Length;
    LONGLONG offset = write ? stack->Parameters.Write.ByteOffset.QuadPart : stack->Parameters.Read.ByteOffset.QuadPart;
    if (VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    ImageLocked lock;
    if (g_state.VolumeState == SIM_VOLUME_UNPLUGGED)
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (!g_state.Image)
        return Complete(irp, STATUS_NO_MEDIA_IN_DEVICE, 0);
    if (offset < 0 || offset % SECTOR_BYTES || length % SECTOR_BYTES)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    ULONGLONG end = static_cast<ULONGLONG>(offset) + length;
    if (end > g_state.ImageBytes)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (!length)
        return Complete(irp, STATUS_SUCCESS, 0);
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    IO_STATUS_BLOCK io;
    NTSTATUS status = write ? ZwWriteFile(g_state.Image, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr)
                            : ZwReadFile(g_state.Image, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr);
    if (!NT_SUCCESS(status))
        return Complete(irp, status, 0);
    if (io.Information != length)
        return Complete(irp, STATUS_DEVICE_DATA_ERROR, io.Information);
    if (write)
        g_state.VolumeWrites++;
    else
        g_state.VolumeReads++;
    return Complete(irp, STATUS_SUCCESS, length);
}

// SCSI commands to the player, in the pass-through layout of this build:
// the header, then wherever its offsets point inside the one buffer.
NTSTATUS VolumeScsiPassThrough(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    bool direct = stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE;
    auto* block = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    ULONG header = direct ? sizeof(SCSI_PASS_THROUGH_DIRECT) : sizeof(SCSI_PASS_THROUGH);
    if (VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    if (!block || in < header || out < in)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    // Both headers agree up to the data buffer field.
    auto* spt = reinterpret_cast<SCSI_PASS_THROUGH*>(block);
    auto* sptd = reinterpret_cast<SCSI_PASS_THROUGH_DIRECT*>(block);
    ULONG senseOffset = direct ? sptd->SenseInfoOffset : spt->SenseInfoOffset;
    UCHAR* cdb = direct ? sptd->Cdb : spt->Cdb;
    if (spt->Length != header || spt->CdbLength > 16 || spt->CdbLength == 0)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (spt->SenseInfoLength && (senseOffset > in || spt->SenseInfoLength > in - senseOffset))
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    uint8_t* data = nullptr;
    ULONG dataLength = spt->DataTransferLength;
    if (direct) {
        // The caller's own buffer lies in another process under Wine: only
        // commands without a data phase can be served this way.
        if (dataLength)
            return Complete(irp, STATUS_NOT_SUPPORTED, 0);
    } else if (dataLength) {
        ULONG_PTR dataOffset = spt->DataBufferOffset;
        if (dataOffset > in || dataLength > in - dataOffset)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        data = block + dataOffset;
    }
    uint8_t status = 0;
    uint8_t sense[SIM_SENSE_BYTES];
    uint32_t moved = 0;
    if (!SimBridgeExecute(cdb, spt->CdbLength, spt->DataIn == SCSI_IOCTL_DATA_IN, data, dataLength, &status, sense,
                          &moved))
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    spt->ScsiStatus = status;
    if (status != 0) {
        ULONG n = spt->SenseInfoLength < SIM_SENSE_BYTES ? spt->SenseInfoLength : SIM_SENSE_BYTES;
        for (ULONG i = 0; i < n; i++)
            block[senseOffset + i] = sense[i];
        spt->SenseInfoLength = static_cast<UCHAR>(n);
    } else {
        spt->SenseInfoLength = 0;
    }
    spt->DataTransferLength = moved;
    return Complete(irp, STATUS_SUCCESS, in);
}

NTSTATUS VolumeControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    if (code != IOCTL_STORAGE_QUERY_PROPERTY && VolumeGone())
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    switch (code) {
    case IOCTL_STORAGE_QUERY_PROPERTY:
        return QueryStorageProperty(irp, stack);
    case IOCTL_SCSI_PASS_THROUGH_CODE:
    case IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE:
        return VolumeScsiPassThrough(irp, stack);
    case FSCTL_LOCK_VOLUME_CODE:
        return Complete(irp, SimBridgeLock() ? STATUS_SUCCESS : STATUS_ACCESS_DENIED, 0);
    case FSCTL_UNLOCK_VOLUME_CODE:
        return Complete(irp, SimBridgeUnlock() ? STATUS_SUCCESS : STATUS_NOT_LOCKED, 0);
    case FSCTL_DISMOUNT_VOLUME_CODE:
        return Complete(irp, SimBridgeDismount() ? STATUS_SUCCESS : STATUS_ACCESS_DENIED, 0);
    case IOCTL_DISK_SET_DRIVE_LAYOUT_CODE: {
        ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
        if (!irp->AssociatedIrp.SystemBuffer || in < DRIVE_LAYOUT_BYTES)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        SimBridgeSetDriveLayout(static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer), in);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG role = static_cast<DeviceExtension*>(device->DeviceExtension)->Role;
    switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
        if (role == ROLE_UNIT) {
            auto* extension = static_cast<DeviceExtension*>(device->DeviceExtension);
            Locked lock;
            g_state.Model->NoteOpen(extension->Kind, extension->Index);
        }
        // A pulled player has no volume to open.
        if (role == ROLE_VOLUME && VolumeGone())
            return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
        return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLEANUP:
    case IRP_MJ_CLOSE:
        CompleteHeldOf(stack->FileObject);
        CompletePendingWritesOf(stack->FileObject);
        return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_READ:
        if (role == ROLE_UNIT)
            return UnitRead(irp, stack);
        if (role == ROLE_VOLUME)
            return VolumeTransfer(irp, stack);
        break;
    case IRP_MJ_WRITE:
        if (role == ROLE_UNIT)
            return UnitWrite(device, irp, stack);
        if (role == ROLE_VOLUME)
            return VolumeTransfer(irp, stack);
        break;
    case IRP_MJ_FILE_SYSTEM_CONTROL:
        // Volume locks and dismounts arrive as file system controls.
        if (role == ROLE_VOLUME)
            return VolumeControl(irp, stack);
        break;
    case IRP_MJ_DEVICE_CONTROL:
        if (role == ROLE_UNIT)
            return UnitControl(irp, stack);
        if (role == ROLE_CONTROL)
            return SimControl(device, irp, stack);
        if (role == ROLE_VOLUME)
            return VolumeControl(irp, stack);
        break;
    default:
        break;
    }
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

void Unload(PDRIVER_OBJECT driver)
{
    if (g_state.Worker) {
        InterlockedExchange(&g_state.WorkerStop, 1);
        KeSetEvent(&g_state.WorkerWake, IO_NO_INCREMENT, FALSE);
        ZwWaitForSingleObject(g_state.Worker, FALSE, nullptr);
        ZwClose(g_state.Worker);
        g_state.Worker = nullptr;
    }
    CompletePendingWritesOf(nullptr);
    RemoveAllUnits();
    GiveBackVolume();
    {
        ImageLocked lock;
        CloseImageLocked();
    }
    MediaCloseAll();
    if (g_state.TargetReady)
        SimBridgeStop();
    g_state.TargetReady = false;
    if (g_state.Control)
        DeleteDevice(g_state.Control, L"\\DosDevices\\" VILOSIM_CONTROL_NAME_W);
    g_state.Control = nullptr;
    if (g_state.Model)
        ExFreePoolWithTag(g_state.Model, POOL_TAG);
    g_state.Model = nullptr;
}

} // namespace

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    KeInitializeSpinLock(&g_state.Lock);
    KeInitializeMutex(&g_state.ImageLock, 0);
    KeInitializeEvent(&g_state.WorkerWake, SynchronizationEvent, FALSE);
    g_state.VolumeState = SIM_VOLUME_NO_MEDIA;
    g_state.TargetReady = SimBridgeStart();
    g_state.Model = static_cast<CPlayerModel*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(CPlayerModel), POOL_TAG));
    if (!g_state.Model)
        return STATUS_INSUFFICIENT_RESOURCES;
    g_state.Model->Reset();
    MediaAttachGroups(g_state.Model);
    Parameters parameters;
    SimConfig config = g_state.Model->Config();
    ReadParameters(registryPath, &parameters, &config);
    g_state.Model->Configure(config);
    LoadState();
    if (parameters.ImagePath) {
        SetImage(parameters.ImagePath, parameters.ImagePathChars);
        ExFreePoolWithTag(parameters.ImagePath, POOL_TAG);
    }
    PsCreateSystemThread(&g_state.Worker, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, WorkerMain, nullptr);

    for (ULONG i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; i++)
        driver->MajorFunction[i] = Dispatch;
    driver->DriverUnload = Unload;

    NTSTATUS status = MakeDevice(driver, L"\\Device\\" VILOSIM_CONTROL_NAME_W, L"\\DosDevices\\" VILOSIM_CONTROL_NAME_W,
                                 FILE_DEVICE_UNKNOWN, 0, ROLE_CONTROL, 0, 0, &g_state.Control);
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(g_state.Model, POOL_TAG);
        g_state.Model = nullptr;
        return status;
    }
    if (parameters.UnitIndex != 0xFFFFFFFF) {
        AddUnit(driver, UNIT_NT_NAME, parameters.UnitIndex);
        AddUnit(driver, UNIT_9X_NAME, parameters.UnitIndex);
    }
    if (parameters.RecoveryIndex != 0xFFFFFFFF)
        AddUnit(driver, UNIT_RECOVERY_NAME, parameters.RecoveryIndex);
    if (parameters.VolumeLetter) {
        TakeOverVolume(driver, parameters.VolumeLetter);
        UpdateVolumeLink();
    }
    return STATUS_SUCCESS;
}

// The image's entry point, called twice under Wine. The driver imports the C
// runtime's DLLs, so Wine's loader treats the image as a DLL and calls the
// entry point as DllMain (module, reason, reserved) first: that starts and
// stops the statically linked C and C++ runtimes the SCSI target needs. Then
// the kernel's loader calls it as the driver's entry (driver, registry path).
extern "C" char __ImageBase;
extern "C" int __stdcall DllMainCRTStartup(void* module, unsigned long reason, void* reserved);

namespace {
volatile LONG g_runtimeStarted;
}

extern "C" LONG VilosimStart(void* first, void* second, void* third)
{
    if (first == &__ImageBase) {
        unsigned long reason = static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(second));
        int result = DllMainCRTStartup(first, reason, third);
        if (reason == 1 /* process attach */ && result)
            InterlockedExchange(&g_runtimeStarted, 1);
        return result;
    }
    // A loader that took the image for a plain driver started nothing.
    if (!g_runtimeStarted) {
        if (!DllMainCRTStartup(&__ImageBase, 1, nullptr))
            return STATUS_DLL_INIT_FAILED;
        InterlockedExchange(&g_runtimeStarted, 1);
    }
    return DriverEntry(static_cast<PDRIVER_OBJECT>(first), static_cast<PUNICODE_STRING>(second));
}
