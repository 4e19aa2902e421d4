// The player's logical drives as the updater sees them: the data drive (the
// FAT volume the user sees) and one system drive per firmware component.
#pragma once
#include "qv/QvArray.h"
#include "qv/QvBase.h"
#include "qv/QvConfigInfo.h"
#include "qv/QvFwComponent.h"
#include "qv/QvProgress.h"
#include "qv/QvScsiTransport.h"
#include <memory>
#include <string>

constexpr uint8_t QV_NO_DRIVE = 255;
constexpr uint32_t QV_IMAGE_RUN_BYTES = 65536;

class CQvLogicalDrive : public CQvBase {
public:
    explicit CQvLogicalDrive(std::string name) : CQvBase(std::move(name)) {}

    virtual void ReleaseComponent() {}
    // entry: the player's table entry for this drive, or null.
    virtual int Attach(CQvScsiTransport* transport, const CQvConfigInfo* config, const LogicalMediaEntry* entry);
    // The drive-number byte of the wanted entry carries no meaning.
    virtual int GetWantedEntry(LogicalMediaEntry& out) const;
    virtual void SetDriveNumber(uint8_t number) { m_number = number; }
    virtual uint8_t DriveNumber() const { return m_number; }
    virtual int HasEnoughSpace(int& out) const;
    virtual int ReadSectorSize();
    virtual int EraseDrive();
    virtual uint8_t Tag() const { return m_wantedTag; }
    virtual void SetTag(uint8_t tag) { m_wantedTag = tag; }

    // The allocation took effect: wanted and current entries become the
    // player's entry.
    void TakeEntry(const LogicalMediaEntry& entry);
    void Detach() { m_transport = nullptr; }
    const LogicalMediaEntry& Current() const { return m_current; }
    bool HasEntry() const { return m_current.driveNumber != QV_NO_DRIVE; }
    uint64_t RequiredSize() const { return m_wantedSize; }
    uint32_t SectorSize() const { return m_sectorSize; }
    CQvScsiTransport* Transport() const { return m_transport; }

protected:
    // The drive as the player numbers it; -26 without a transport, -43
    // without a table entry to address.
    int DeviceDrive(uint8_t& out) const;

    uint8_t m_number = 0;
    CQvScsiTransport* m_transport = nullptr;
    const CQvConfigInfo* m_config = nullptr;
    uint32_t m_sectorSize = 0;
    LogicalMediaEntry m_current = {QV_NO_DRIVE, 0, 0, 0};
    uint8_t m_wantedType = 0;
    uint8_t m_wantedTag = 0;
    uint64_t m_wantedSize = 0;
};

class CQvDataDrive : public CQvLogicalDrive {
public:
    explicit CQvDataDrive(std::string name = "CQvDataDrive") : CQvLogicalDrive(std::move(name))
    {
        m_wantedType = 0;
        m_wantedTag = QV_DATA_DRIVE_TAG;
    }
    // The data drive takes whatever the player has left: size 0 asks for
    // the rest of the media, so it always has enough.
    int HasEnoughSpace(int& out) const override
    {
        out = 1;
        return 0;
    }
};

class CQvSystemDrive : public CQvLogicalDrive {
public:
    explicit CQvSystemDrive(std::string name = "CQvSystemDrive") : CQvLogicalDrive(std::move(name))
    {
        m_wantedType = 1;
    }
    void ReleaseComponent() override { m_component.reset(); }
    int Attach(CQvScsiTransport* transport, const CQvConfigInfo* config, const LogicalMediaEntry* entry) override;
    int WriteImage(CQvProgress* progress);

    void SetErrorInfo(CQvErrorInfo* info) { m_errorInfo = info; }
    const CQvFwComponent* Component() const { return m_component.get(); }

private:
    std::unique_ptr<CQvFwComponent> m_component;
    CQvErrorInfo* m_errorInfo = nullptr;
};

class CQvSystemDrivePtrArray : public CQvOwningPtrArray<CQvSystemDrive> {
public:
    CQvSystemDrivePtrArray(size_t count, std::string name = "CQvSystemDrivePtrArray")
        : CQvOwningPtrArray(count, std::move(name), "CQvSystemDrive") {}
};
