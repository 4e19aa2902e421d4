// Stand-in for the Vilo Lark's kernel driver, loaded by Wine's winedevice.exe.
// It answers the player driver's device names, control codes and data channel
// from the simulated player model, takes over the player's drive letter to
// answer the storage identity, serve the volume's sectors from an image file
// and carry SCSI pass-through to the player's SCSI target, takes the
// recovery-mode firmware writes, and offers a private control device through
// which tests set the simulated player's behaviour.
#include "DriverShared.h"
#include "MediaFiles.h"

using namespace vilosim;

namespace simdriver {

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
        if (role == ROLE_VOLUME)
            NoteVolumeOpen(stack);
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
    case IRP_MJ_QUERY_INFORMATION:
    case IRP_MJ_SET_INFORMATION:
        if (role == ROLE_VOLUME)
            return VolumeFileInformation(irp, stack);
        break;
    case IRP_MJ_QUERY_VOLUME_INFORMATION:
        if (role == ROLE_VOLUME)
            return VolumeQueryInformation(irp, stack);
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


}  // namespace simdriver

using namespace simdriver;

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
