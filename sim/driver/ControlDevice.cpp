// The tests' private control device (\\.\ViloLarkSim): reset, units,
// behaviours, media, statistics.
#include "DriverShared.h"

using namespace vilosim;

namespace simdriver {

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

}  // namespace simdriver
