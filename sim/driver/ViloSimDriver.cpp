// Stand-in for the Vilo Lark's kernel driver, loaded by Wine's winedevice.exe.
// It answers the player driver's device names, control codes and data channel
// from the simulated player model, takes over the player's drive letter to
// answer the storage identity, and offers a private control device through
// which tests set the simulated player's behaviour.
#include <intrin.h>
// The DDK headers define these two again, which C++ refuses after intrin.h's
// declarations; let the DDK's copies go by other names.
#define InterlockedBitTestAndSet DdkInterlockedBitTestAndSet
#define InterlockedBitTestAndReset DdkInterlockedBitTestAndReset
extern "C" {
#include <ntddk.h>
#include <ntddstor.h>
}
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

#include "vilosim/PlayerModel.h"

using namespace vilosim;

namespace {

constexpr ULONG POOL_TAG = 0x6F6C6956; // "Vilo"
constexpr ULONG MAX_UNITS = 32;
constexpr ULONG MAX_HELD = 8;
constexpr ULONG NAME_CHARS = 64;

// Seams for the player's volume: sectors from an image file and SCSI
// commands to a target model come later; until then both are refused.
constexpr ULONG IOCTL_SCSI_PASS_THROUGH_CODE = 0x4D004;
constexpr ULONG IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE = 0x4D014;

enum DeviceRole : ULONG { ROLE_CONTROL = 1, ROLE_UNIT = 2, ROLE_VOLUME = 3 };

struct DeviceExtension {
    ULONG Role;
    ULONG Kind;
    ULONG Index;
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

struct Parameters {
    ULONG UnitIndex;      // ViloLarkr/ViloLarku unit made at load (0xFFFFFFFF: none)
    ULONG RecoveryIndex;  // QvMp3RecDevice unit made at load (0xFFFFFFFF: none)
    WCHAR VolumeLetter;   // 0: no volume device
};

void ReadParameters(PUNICODE_STRING registryPath, Parameters* parameters, SimConfig* config)
{
    parameters->UnitIndex = 0;
    parameters->RecoveryIndex = 0xFFFFFFFF;
    parameters->VolumeLetter = L'O';
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
    if (NT_SUCCESS(MakeDevice(driver, L"\\Device\\ViloLarkVolume", linkText, FILE_DEVICE_DISK, FILE_REMOVABLE_MEDIA,
                              ROLE_VOLUME, 0, 0, &g_state.Volume)))
        AppendText(g_state.VolumeLink, NAME_CHARS, linkText);
}

void GiveBackVolume()
{
    if (!g_state.Volume)
        return;
    DeleteDevice(g_state.Volume, g_state.VolumeLink[0] ? g_state.VolumeLink : nullptr);
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

NTSTATUS UnitWrite(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG length = stack->Parameters.Write.Length;
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
        {
            Locked lock;
            g_state.Model->Reset();
        }
        save = true;
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

// Sector reads and writes of the player's volume. To come: served from the
// image file named by the service's ImagePath value.
NTSTATUS VolumeTransfer(PIRP irp, PIO_STACK_LOCATION stack)
{
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

// SCSI commands to the player. To come: forwarded to the SCSI target model.
NTSTATUS VolumeScsiPassThrough(PIRP irp, PIO_STACK_LOCATION stack)
{
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

NTSTATUS VolumeControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_STORAGE_QUERY_PROPERTY:
        return QueryStorageProperty(irp, stack);
    case IOCTL_SCSI_PASS_THROUGH_CODE:
    case IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE:
        return VolumeScsiPassThrough(irp, stack);
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
        return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLEANUP:
    case IRP_MJ_CLOSE:
        CompleteHeldOf(stack->FileObject);
        return Complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_READ:
        if (role == ROLE_UNIT)
            return UnitRead(irp, stack);
        if (role == ROLE_VOLUME)
            return VolumeTransfer(irp, stack);
        break;
    case IRP_MJ_WRITE:
        if (role == ROLE_UNIT)
            return UnitWrite(irp, stack);
        if (role == ROLE_VOLUME)
            return VolumeTransfer(irp, stack);
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
    RemoveAllUnits();
    GiveBackVolume();
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
    g_state.Model = static_cast<CPlayerModel*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(CPlayerModel), POOL_TAG));
    if (!g_state.Model)
        return STATUS_INSUFFICIENT_RESOURCES;
    g_state.Model->Reset();
    Parameters parameters;
    SimConfig config = g_state.Model->Config();
    ReadParameters(registryPath, &parameters, &config);
    g_state.Model->Configure(config);
    LoadState();

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
    if (parameters.VolumeLetter)
        TakeOverVolume(driver, parameters.VolumeLetter);
    return STATUS_SUCCESS;
}
