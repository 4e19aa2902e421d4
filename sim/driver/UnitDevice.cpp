// The player's units (\\.\ViloLarkr%d, \\.\ViloLarku%d, \\.\QvMp3RecDevice%d):
// making and removing them, their control codes, and the data channel with
// its held reads and the recovery-mode writes.
#include "DriverShared.h"

using namespace vilosim;

namespace simdriver {

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


}  // namespace simdriver
