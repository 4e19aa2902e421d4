#include "qv/QvUpdater.h"
#include "qv/QvFwComponent.h"
#include "qv/QvErrors.h"
#include <new>

CQvUpdater::CQvUpdater(CQvDeviceBinding* binding, std::string name)
    : CQvBase(std::move(name)), m_binding(binding), m_errorInfo(new (std::nothrow) CQvErrorInfo)
{
    if (!m_errorInfo)
        Fail(QV_E_NOMEM);
}

CQvUpdater::~CQvUpdater() = default;

std::string CQvUpdater::ScsiVendor()
{
    std::string text;
    m_config.ScsiVendor(text);
    return text;
}

std::string CQvUpdater::ScsiProduct()
{
    std::string text;
    m_config.ScsiProduct(text);
    return text;
}

int CQvUpdater::OpenUsbMscDevice()
{
    if (!m_device) {
        m_device.reset(new (std::nothrow) CQvUsbMscDev(this));
        if (!m_device)
            return Fail(QV_E_NOMEM);
    }
    return m_device->Open();
}

int CQvUpdater::OpenRecoveryDevice()
{
    // The component the device will take comes first: without a usable
    // "usbmsc.sb" there is nothing to stream, and the caller must learn that
    // (-11 names the file) instead of finding a device it cannot serve.
    int slot = 0;
    m_config.RecoveryComponent(slot);
    std::unique_ptr<CQvFwComponent> component(
        new (std::nothrow) CQvFwComponent(&m_config, uint8_t(slot), m_errorInfo.get()));
    if (!component)
        return Fail(QV_E_NOMEM);
    if (component->LastError() != 0)
        return component->LastError();
    int r = m_binding->OpenRecoveryDevice();
    m_recoveryOpen = r == 0;
    if (r == 0)
        m_recoveryComponent = std::move(component);
    return r;
}

int CQvUpdater::RecoverUsbMsc(CQvProgress* progress)
{
    std::unique_ptr<CQvFwComponent> component = std::move(m_recoveryComponent);
    if (!component) {
        int slot = 0;
        m_config.RecoveryComponent(slot);
        component.reset(new (std::nothrow) CQvFwComponent(&m_config, uint8_t(slot), m_errorInfo.get()));
    }
    int r = !component ? Fail(QV_E_NOMEM) : component->LastError();
    if (r != 0) {
        // The device and its event must not stay open behind a failure.
        m_binding->ReleaseRecovery();
        m_recoveryOpen = false;
        return r;
    }
    r = m_binding->StreamRecovery(progress, std::move(component));
    m_recoveryOpen = false;
    return r;
}

int CQvUpdater::StepCount(int kind) const
{
    int drives = 0;
    m_config.ComponentCount(drives);
    switch (kind) {
    case QV_STEPS_OPEN: return 2;
    case QV_STEPS_PREPARE: return 3;
    case QV_STEPS_UPDATE: return StepCount(QV_STEPS_PREPARE) + StepCount(QV_STEPS_OPEN) + 2 * drives;
    case QV_STEPS_FORMAT:
        return StepCount(QV_STEPS_PREPARE) + StepCount(QV_STEPS_OPEN) + StepCount(QV_STEPS_UPDATE) + 7;
    default: return 0;
    }
}

int CQvUpdater::UpdateFirmware()
{
    if (!m_device)
        return Fail(QV_E_NO_MSC_DEVICE);
    if (m_progress)
        m_progress->Begin(StepCount(QV_STEPS_UPDATE));
    int r = m_device->OpenDevice();
    if (r != 0)
        return r;
    r = m_device->WriteImages();
    m_device->CloseDevice();
    return r;
}

int CQvUpdater::FormatMedia()
{
    if (!m_device)
        return Fail(QV_E_NO_MSC_DEVICE);
    if (m_progress)
        m_progress->Begin(StepCount(QV_STEPS_FORMAT));
    int r = m_device->OpenDevice();
    if (r != 0)
        return r;
    r = m_device->FormatAndProgram();
    m_device->CloseDevice();
    return r;
}

int CQvUpdater::IsAllocationCurrent(int& out)
{
    out = 0;
    if (!m_device)
        return 0;
    return m_device->IsAllocationCurrent(out);
}

int CQvUpdater::GetVersionArrays(const CQvVersionInfoPtrArray*& device, const CQvVersionInfoPtrArray*& file) const
{
    if (!m_device)
        return QV_E_NO_MSC_DEVICE;
    device = m_device->DeviceVersions();
    file = m_device->FileVersions();
    return 0;
}

int CQvUpdater::GetProductVersions(CQvVersionInfo& device, CQvVersionInfo& file) const
{
    if (!m_device)
        return QV_E_NO_MSC_DEVICE;
    device.Assign(m_device->DeviceProductVersion());
    file.Assign(m_device->FileProductVersion());
    return m_device->LastError();
}

int CQvUpdater::ChipRevision(uint16_t& out) const
{
    if (!m_device)
        return QV_E_NO_MSC_DEVICE;
    out = m_device->ChipRevision();
    return 0;
}

char16_t CQvUpdater::DriveLetter() const { return m_device ? m_device->DriveLetter() : 0; }

int CQvUpdater::ReleaseDevice()
{
    if (!m_device)
        return QV_E_NO_MSC_DEVICE;
    m_device->ReleaseDevice();
    return 0;
}
