#include "qv/QvLogicalDrive.h"
#include "qv/QvErrors.h"
#include <cstring>
#include <new>
#include <vector>

int CQvLogicalDrive::Attach(CQvScsiTransport* transport, const CQvConfigInfo* config, const LogicalMediaEntry* entry)
{
    m_transport = transport;
    m_config = config;
    if (entry)
        m_current = *entry;
    else
        m_current = {QV_NO_DRIVE, 0, 0, 0};
    return 0;
}

int CQvLogicalDrive::GetWantedEntry(LogicalMediaEntry& out) const
{
    out.driveNumber = m_number;
    out.driveType = m_wantedType;
    out.tag = m_wantedTag;
    out.size = m_wantedSize;
    return 0;
}

int CQvLogicalDrive::HasEnoughSpace(int& out) const
{
    out = m_current.size >= m_wantedSize ? 1 : 0;
    return 0;
}

void CQvLogicalDrive::TakeEntry(const LogicalMediaEntry& entry)
{
    m_current = entry;
    m_wantedType = entry.driveType;
    m_wantedTag = entry.tag;
    m_wantedSize = entry.size;
}

int CQvLogicalDrive::DeviceDrive(uint8_t& out) const
{
    if (!m_transport)
        return QV_E_NO_MSC_DEVICE;
    if (!HasEntry())
        return QV_E_TABLE;
    out = m_current.driveNumber;
    return 0;
}

int CQvLogicalDrive::ReadSectorSize()
{
    uint8_t drive = 0;
    int r = DeviceDrive(drive);
    if (r != 0)
        return Fail(r);
    CQvGetLogicalDriveInfo info(drive, 0, 0);
    r = m_transport->Execute(info);
    uint32_t size = 0;
    if (r == 0)
        r = info.GetSectorSize(size);
    if (r != 0)
        return Fail(r);
    // Every count of the image write divides by the sector size.
    if (size == 0)
        return Fail(QV_E_SCSI_STATUS);
    m_sectorSize = size;
    return 0;
}

int CQvLogicalDrive::EraseDrive()
{
    uint8_t drive = 0;
    int r = DeviceDrive(drive);
    if (r != 0)
        return Fail(r);
    CQvEraseLogicalDrive erase(drive);
    r = m_transport->Execute(erase);
    return r ? Fail(r) : 0;
}

int CQvSystemDrive::Attach(CQvScsiTransport* transport, const CQvConfigInfo* config, const LogicalMediaEntry* entry)
{
    CQvLogicalDrive::Attach(transport, config, entry);
    m_component.reset(new (std::nothrow) CQvFwComponent(config, m_number, m_errorInfo));
    if (!m_component)
        return Fail(QV_E_NOMEM);
    if (m_component->LastError() != 0)
        return Fail(m_component->LastError());
    uint32_t extra = 0;
    config->ComponentExtra(m_number, extra);
    m_wantedSize = uint64_t(extra) + m_component->ImageSize();
    return 0;
}

int CQvSystemDrive::WriteImage(CQvProgress* progress)
{
    if (!m_component)
        return Fail(QV_E_NO_COMPONENT);
    uint8_t drive = 0;
    int r = DeviceDrive(drive);
    if (r != 0)
        return Fail(r);
    CQvVersionInfo product, component;
    m_component->ProductVersion(product);
    m_component->ComponentVersion(component);
    CQvSetLogicalDriveInfo setProduct(drive, 8, product);
    r = m_transport->Execute(setProduct);
    if (r == 0) {
        CQvSetLogicalDriveInfo setComponent(drive, 7, component);
        r = m_transport->Execute(setComponent);
    }
    if (r != 0)
        return Fail(r);
    r = ReadSectorSize();
    if (r != 0)
        return r;

    const uint64_t sectorSize = m_sectorSize;
    const uint64_t sectors = (m_wantedSize + sectorSize - 1) / sectorSize;
    uint64_t chunk = QV_IMAGE_RUN_BYTES / sectorSize;
    if (chunk == 0)
        chunk = 1;
    const uint64_t full = sectors / chunk, rest = sectors % chunk;
    if (progress)
        progress->SetDrivePhase(17, m_number, int(full + 1));

    std::vector<uint8_t> data, back;
    auto run = [&](uint64_t first, uint64_t count) -> int {
        size_t bytes = size_t(count * sectorSize);
        try {
            data.resize(bytes);
            back.assign(bytes, 0);
        } catch (const std::bad_alloc&) {
            return Fail(QV_E_NOMEM);
        }
        m_component->ReadImageBlock(first * sectorSize, bytes, data.data());
        CQvWriteLogicalDriveSector write(drive, uint32_t(sectorSize), first, uint32_t(count));
        int e = write.LastError();
        if (e == 0)
            e = write.SetPayload(data.data(), bytes);
        if (e == 0)
            e = m_transport->Execute(write);
        if (e != 0)
            return Fail(e);
        CQvReadLogicalDriveSector read(drive, uint32_t(sectorSize), first, uint32_t(count));
        e = m_transport->Execute(read);
        if (e == 0)
            e = read.GetData(back.data(), bytes);
        if (e != 0)
            return Fail(e);
        if (std::memcmp(back.data(), data.data(), bytes) != 0)
            return Fail(QV_E_VERIFY);
        if (progress)
            progress->Step();
        return 0;
    };
    uint64_t first = 0;
    for (uint64_t k = 0; k < full; ++k, first += chunk) {
        r = run(first, chunk);
        if (r != 0)
            return r;
    }
    if (rest)
        return run(first, rest);
    return 0;
}
