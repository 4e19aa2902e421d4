// The updater's device-side front object and the mass-storage device it
// drives: finding the player, writing the firmware images drive by drive
// ("update"), and re-allocating the media before that and formatting the
// data area after it ("format").
#pragma once
#include "qv/QvBase.h"
#include "qv/QvConfigInfo.h"
#include "qv/QvErrorInfo.h"
#include "qv/QvImageSource.h"
#include "qv/QvLogicalDrive.h"
#include "qv/QvProgress.h"
#include "qv/QvScsiTransport.h"
#include "qv/QvVersionInfo.h"
#include <memory>
#include <string>

// What the device side needs of the platform: a transport for the running
// Windows version, the OEM form of a text, and the recovery-mode device.
// The Windows shell binds these to the system; tests bind them to the
// simulated player.
class CQvDeviceBinding {
public:
    virtual ~CQvDeviceBinding() = default;
    // 0, or the transport's construction error; -27 when this Windows has none.
    virtual int CreateTransport(CQvTransportOwner* owner, std::unique_ptr<CQvScsiTransport>& transport) = 0;
    virtual std::string ToOem(const std::u16string& text) = 0;
    virtual int OpenRecoveryDevice() { return -27; }
    // Streams the component into the open recovery device and lets it go.
    virtual int StreamRecovery(CQvProgress* progress, std::unique_ptr<CQvImageSource> component) { return -27; }
    // Lets an open recovery device (and its completion event) go unused.
    virtual void ReleaseRecovery() {}
};

class CQvUpdater;

class CQvUsbMscDev : public CQvBase {
public:
    explicit CQvUsbMscDev(CQvUpdater* owner, std::string name = "CQvUsbMscDev");
    ~CQvUsbMscDev() override;

    int Open();
    int OpenDevice();
    int CloseDevice();
    int WriteImages();
    int FormatAndProgram();
    int ReadVersions(int skipDevice, int tableUnreadable);
    int IsAllocationCurrent(int& out);
    void ReleaseDevice();

    const CQvVersionInfoPtrArray* DeviceVersions() const { return m_deviceVersions.get(); }
    const CQvVersionInfoPtrArray* FileVersions() const { return m_fileVersions.get(); }
    const CQvVersionInfo& DeviceProductVersion() const { return m_deviceProduct; }
    const CQvVersionInfo& FileProductVersion() const { return m_fileProduct; }
    uint16_t ChipRevision() const { return m_chipRevision; }
    char16_t DriveLetter() const { return m_driveLetter; }
    int TableUnreadable() const { return m_tableUnreadable; }
    int Formatting() const { return m_formatting; }
    const LogicalMediaTable& Table() const { return m_table; }
    CQvDataDrive& DataDrive() { return m_dataDrive; }
    CQvSystemDrive* SystemDrive(size_t i) const { return m_systemDrives ? m_systemDrives->At(i) : nullptr; }
    size_t SystemDriveCount() const { return m_systemDriveCount; }
    CQvScsiTransport* Transport() const { return m_transport.get(); }

    // The allocation request built from the drives' wanted entries: the
    // mass-storage drive first, then the data drive, then the other system
    // drives.
    int BuildAllocationTable(LogicalMediaTable& out) const;

private:
    int CreateTransport();
    int ReadTable(LogicalMediaTable& out);
    int ApplyAllocation();
    void Phase(int phase, int steps);
    void DrivePhase(int phase, int drive, int steps);
    void Step();

    CQvUpdater* m_owner;
    std::unique_ptr<CQvScsiTransport> m_transport;
    CQvDataDrive m_dataDrive;
    std::unique_ptr<CQvSystemDrivePtrArray> m_systemDrives;
    std::unique_ptr<CQvVersionInfoPtrArray> m_deviceVersions;
    std::unique_ptr<CQvVersionInfoPtrArray> m_fileVersions;
    CQvVersionInfo m_deviceProduct;
    CQvVersionInfo m_fileProduct;
    int m_formatting = 0;
    LogicalMediaTable m_table;
    uint8_t m_systemDriveCount = 0;
    uint16_t m_chipRevision = 0;
    char16_t m_driveLetter = 0;
    int m_tableUnreadable = 0;
};

enum QvStepKind { QV_STEPS_FORMAT = 0, QV_STEPS_UPDATE = 1, QV_STEPS_OPEN = 3, QV_STEPS_PREPARE = 4 };

class CQvUpdater : public CQvBase, public CQvTransportOwner {
public:
    explicit CQvUpdater(CQvDeviceBinding* binding, std::string name = "CQvUpdater");
    ~CQvUpdater() override;

    void SetResource(CQvResource* resource) { m_resource = resource; m_config.SetResource(resource); }
    void SetProgress(CQvProgress* progress) { m_progress = progress; }
    CQvProgress* Progress() const { return m_progress; }
    CQvConfigInfo& Config() { return m_config; }
    CQvDeviceBinding& Binding() { return *m_binding; }

    int OpenUsbMscDevice();
    int OpenRecoveryDevice();
    int RecoverUsbMsc(CQvProgress* progress);
    int UpdateFirmware();
    int FormatMedia();
    int IsAllocationCurrent(int& out);
    int GetVersionArrays(const CQvVersionInfoPtrArray*& device, const CQvVersionInfoPtrArray*& file) const;
    int GetProductVersions(CQvVersionInfo& device, CQvVersionInfo& file) const;
    int ChipRevision(uint16_t& out) const;
    char16_t DriveLetter() const;
    int ReleaseDevice();
    int StepCount(int kind) const;
    CQvUsbMscDev* Device() const { return m_device.get(); }

    // CQvTransportOwner
    CQvErrorInfo& ErrorInfo() override { return *m_errorInfo; }
    CQvResource* Resource() override { return m_resource; }
    std::string ScsiVendor() override;
    std::string ScsiProduct() override;

private:
    CQvDeviceBinding* m_binding;
    CQvResource* m_resource = nullptr;
    CQvConfigInfo m_config;
    std::unique_ptr<CQvUsbMscDev> m_device;
    bool m_recoveryOpen = false;
    // The mass-storage firmware, loaded before the recovery device is opened
    // so that a missing or damaged file is known first (-11, -12).
    std::unique_ptr<CQvFwComponent> m_recoveryComponent;
    CQvProgress* m_progress = nullptr;
    std::unique_ptr<CQvErrorInfo> m_errorInfo;
};
