#include "qv/QvErrors.h"
#include "qv/QvFormatter.h"
#include "qv/QvUpdater.h"
#include <cstring>
#include <new>

CQvUsbMscDev::CQvUsbMscDev(CQvUpdater* owner, std::string name)
    : CQvBase(std::move(name)), m_owner(owner)
{
    std::memset(&m_table, 0, sizeof m_table);
    m_dataDrive.SetDriveNumber(0);
    m_dataDrive.SetTag(QV_DATA_DRIVE_TAG);
    int count = 0;
    owner->Config().ComponentCount(count);
    m_systemDriveCount = uint8_t(count);
    m_systemDrives.reset(new (std::nothrow) CQvSystemDrivePtrArray(m_systemDriveCount));
    if (!m_systemDrives || m_systemDrives->LastError() != 0) {
        m_systemDrives.reset();
        m_systemDriveCount = 0;
        Fail(QV_E_NOMEM);
        return;
    }
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        uint8_t tag = 0;
        owner->Config().ComponentTag(int(i + 1), tag);
        drive->SetDriveNumber(uint8_t(i + 1));
        drive->SetTag(tag);
        drive->SetErrorInfo(&owner->ErrorInfo());
    }
    SetLastError(CreateTransport());
}

CQvUsbMscDev::~CQvUsbMscDev() = default;

int CQvUsbMscDev::CreateTransport()
{
    if (m_transport)
        return 0;
    std::unique_ptr<CQvScsiTransport> transport;
    int r = m_owner->Binding().CreateTransport(m_owner, transport);
    if (r != 0)
        return r;
    if (!transport)
        return QV_E_NO_TRANSPORT;
    m_transport = std::move(transport);
    return 0;
}

void CQvUsbMscDev::Phase(int phase, int steps)
{
    if (m_owner->Progress())
        m_owner->Progress()->SetPhase(phase, steps);
}

void CQvUsbMscDev::DrivePhase(int phase, int drive, int steps)
{
    if (m_owner->Progress())
        m_owner->Progress()->SetDrivePhase(phase, drive, steps);
}

void CQvUsbMscDev::Step()
{
    if (m_owner->Progress())
        m_owner->Progress()->Step();
}

int CQvUsbMscDev::ReadTable(LogicalMediaTable& out)
{
    std::memset(&out, 0, sizeof out);
    CQvGetLogicalTable command{uint8_t(QV_TABLE_ENTRIES)};
    int r = m_transport->Execute(command);
    if (r == 0)
        r = command.GetTable(out);
    if (r != 0)
        std::memset(&out, 0, sizeof out);
    return r;
}

int CQvUsbMscDev::Open()
{
    m_dataDrive.ReleaseComponent();
    for (size_t i = 0; i < m_systemDriveCount; ++i)
        m_systemDrives->At(i)->ReleaseComponent();
    m_deviceVersions.reset();
    m_fileVersions.reset();
    m_tableUnreadable = 0;
    std::memset(&m_table, 0, sizeof m_table);
    // What the last search found belongs to that search: a player that is
    // gone now has no chip revision and no drive.
    m_chipRevision = 0;
    m_driveLetter = 0;

    int r = CreateTransport();
    if (r != 0)
        return Fail(r);
    r = m_transport->ScanDrivesByInquiry();
    SetLastError(r);
    if (r == 0) {
        m_driveLetter = m_transport->DriveLetter();
        CQvGetChipMajorRevId chip;
        int e = m_transport->Execute(chip);
        if (e == 0)
            e = chip.GetRevision(m_chipRevision);
        if (e != 0)
            return Fail(e);
        if (ReadTable(m_table) != 0)
            m_tableUnreadable = 1;
    }
    CQvScsiTransport* transport = r == 0 ? m_transport.get() : nullptr;
    const LogicalMediaEntry* dataEntry = nullptr;
    for (size_t k = 0; k < m_table.count; ++k)
        if (m_table.entries[k].driveType == 0 && !dataEntry)
            dataEntry = &m_table.entries[k];
    int e = m_dataDrive.Attach(transport, &m_owner->Config(), dataEntry);
    if (e != 0)
        return Fail(e);
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        const LogicalMediaEntry* entry = nullptr;
        for (size_t k = 0; k < m_table.count && !entry; ++k)
            if (m_table.entries[k].driveType == 1 && m_table.entries[k].tag == drive->Tag())
                entry = &m_table.entries[k];
        e = drive->Attach(transport, &m_owner->Config(), entry);
        if (e != 0)
            return Fail(e);
    }
    e = ReadVersions(r, m_tableUnreadable);
    if (r != 0)
        return r;
    if (m_tableUnreadable)
        return Fail(QV_E_TABLE);
    return e ? Fail(e) : 0;
}

int CQvUsbMscDev::ReadVersions(int skipDevice, int tableUnreadable)
{
    m_deviceVersions.reset(new (std::nothrow) CQvVersionInfoPtrArray(m_systemDriveCount));
    m_fileVersions.reset(new (std::nothrow) CQvVersionInfoPtrArray(m_systemDriveCount));
    if (!m_deviceVersions || !m_fileVersions || m_deviceVersions->LastError() || m_fileVersions->LastError())
        return Fail(QV_E_NOMEM);
    // Like the arrays, the product versions are this reading's only: a
    // player drive not read now has no version, not the one read before.
    m_deviceProduct.Set(0, 0, 0);
    m_fileProduct.Set(0, 0, 0);
    bool readDevice = !skipDevice && !tableUnreadable;
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        if (readDevice && drive->HasEntry()) {
            if (!drive->Transport())
                return Fail(QV_E_NO_MSC_DEVICE);
            CQvGetLogicalDriveInfo info(drive->Current().driveNumber, 7, 0);
            int r = drive->Transport()->Execute(info);
            if (r == 0)
                r = info.GetVersion(*m_deviceVersions->At(i));
            if (r != 0)
                return Fail(r);
        }
        if (drive->Component())
            drive->Component()->ComponentVersion(*m_fileVersions->At(i));
    }
    int player = 0;
    m_owner->Config().PlayerComponent(player);
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        if (drive->DriveNumber() != player)
            continue;
        if (readDevice && drive->HasEntry()) {
            CQvGetLogicalDriveInfo info(drive->Current().driveNumber, 8, 0);
            int r = drive->Transport()->Execute(info);
            if (r == 0)
                r = info.GetVersion(m_deviceProduct);
            if (r != 0)
                return Fail(r);
        }
        if (drive->Component())
            drive->Component()->ProductVersion(m_fileProduct);
    }
    return 0;
}

int CQvUsbMscDev::OpenDevice()
{
    if (!m_transport)
        return Fail(QV_E_NO_TRANSPORT);
    // A sequence starts afresh: what the last search found (-43 for a table
    // the format is about to repair) is no error of this run, and must not
    // outlive a run that succeeds. The unreadable table stays known through
    // its own flag.
    SetLastError(0);
    Phase(2, 1);
    int r = m_transport->Open();
    Step();
    if (r != 0)
        return Fail(r);
    Phase(3, 1);
    r = m_transport->LockVolume(m_tableUnreadable);
    Step();
    return r ? Fail(r) : 0;
}

int CQvUsbMscDev::CloseDevice()
{
    if (!m_transport)
        return Fail(QV_E_NO_TRANSPORT);
    Phase(45, 1);
    int unlock = m_transport->UnlockVolume(m_tableUnreadable);
    Step();
    // A failed unlock must not leave the volume handle open: close anyway
    // and report the unlock's failure.
    Phase(46, 1);
    int close = m_transport->Close();
    Step();
    ReleaseDevice();
    if (unlock != 0)
        return Fail(unlock);
    return close ? Fail(close) : 0;
}

void CQvUsbMscDev::ReleaseDevice()
{
    if (m_transport)
        m_transport->Close();
    m_dataDrive.Detach();
    for (size_t i = 0; i < m_systemDriveCount; ++i)
        m_systemDrives->At(i)->Detach();
}

int CQvUsbMscDev::WriteImages()
{
    int result = 0;
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        DrivePhase(6, drive->DriveNumber(), 1);
        result = drive->EraseDrive();
        Step();
        if (result != 0)
            break;
        result = drive->WriteImage(m_owner->Progress());
        if (result != 0)
            break;
    }
    ReadVersions(0, 0);
    return result ? Fail(result) : 0;
}

int CQvUsbMscDev::BuildAllocationTable(LogicalMediaTable& out) const
{
    std::memset(&out, 0, sizeof out);
    if (size_t(m_systemDriveCount) + 1 > QV_TABLE_ENTRIES)
        return QV_E_INDEX;
    uint8_t mscTag = 0;
    m_owner->Config().UsbMscTag(mscTag);
    size_t n = 0;
    const CQvSystemDrive* msc = nullptr;
    for (size_t i = 0; i < m_systemDriveCount; ++i)
        if (m_systemDrives->At(i)->Tag() == mscTag && !msc)
            msc = m_systemDrives->At(i);
    if (msc)
        msc->GetWantedEntry(out.entries[n++]);
    m_dataDrive.GetWantedEntry(out.entries[n++]);
    for (size_t i = 0; i < m_systemDriveCount; ++i)
        if (m_systemDrives->At(i) != msc)
            m_systemDrives->At(i)->GetWantedEntry(out.entries[n++]);
    out.count = uint16_t(n);
    return 0;
}

int CQvUsbMscDev::ApplyAllocation()
{
    LogicalMediaTable table;
    int r = ReadTable(table);
    if (r != 0)
        return r;
    const LogicalMediaEntry* data = nullptr;
    for (size_t k = 0; k < table.count && !data; ++k)
        if (table.entries[k].driveType == 0)
            data = &table.entries[k];
    // Every drive the request named must be there, and no system drive may
    // have got less than its image needs: writing would cut the firmware.
    if (!data)
        return QV_E_TABLE;
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        const LogicalMediaEntry* entry = nullptr;
        for (size_t k = 0; k < table.count && !entry; ++k)
            if (table.entries[k].driveType == 1 && table.entries[k].tag == drive->Tag())
                entry = &table.entries[k];
        if (!entry || entry->size < drive->RequiredSize())
            return QV_E_TABLE;
    }
    m_table = table;
    m_dataDrive.TakeEntry(*data);
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        for (size_t k = 0; k < table.count; ++k)
            if (table.entries[k].driveType == 1 && table.entries[k].tag == drive->Tag()) {
                drive->TakeEntry(table.entries[k]);
                break;
            }
    }
    return 0;
}

int CQvUsbMscDev::FormatAndProgram()
{
    uint8_t label[QV_LABEL_BYTES] = {};
    Phase(4, 4);
    LogicalMediaTable request;
    int r = BuildAllocationTable(request);
    if (r != 0)
        return Fail(r);
    Step();
    if (!m_tableUnreadable && LastError() == 0) {
        std::u16string name;
        if (m_owner->Config().FriendlyName(name) == 0 && !name.empty()) {
            std::string oem = m_owner->Binding().ToOem(name);
            std::memcpy(label, oem.data(), oem.size() < sizeof label ? oem.size() : sizeof label);
        } else {
            CQvFormatter formatter(m_owner->Progress(), m_transport.get());
            size_t count = 0;
            formatter.ReadVolumeLabel(label, sizeof label, count);
        }
    }
    CQvEraseLogicalMedia erase;
    r = m_transport->Execute(erase);
    Step();
    if (r != 0)
        return Fail(r);
    CQvAllocateLogicalMedia allocate(request);
    r = m_transport->Execute(allocate);
    Step();
    if (r != 0)
        return Fail(r);
    r = ApplyAllocation();
    Step();
    if (r != 0)
        return Fail(r);
    r = WriteImages();
    if (r != 0)
        return r;

    m_formatting = 1;
    Phase(28, 2);
    Step();
    r = m_dataDrive.EraseDrive();
    Step();
    if (r != 0) {
        m_formatting = 0;
        return Fail(r);
    }
    CQvFormatter formatter(m_owner->Progress(), m_transport.get());
    r = formatter.Format(m_tableUnreadable, label, sizeof label);
    m_formatting = 0;
    return r ? Fail(r) : 0;
}

int CQvUsbMscDev::IsAllocationCurrent(int& out)
{
    out = 0;
    if (!m_transport)
        return 0;
    LogicalMediaTable table;
    if (ReadTable(table) != 0)
        return 0;
    LogicalMediaTable request;
    if (BuildAllocationTable(request) != 0)
        return 0;
    size_t entries = 0;
    bool data = false;
    for (size_t k = 0; k < table.count; ++k) {
        if (table.entries[k].driveType == 0 || table.entries[k].driveType == 1)
            ++entries;
        data = data || table.entries[k].driveType == 0;
    }
    if (entries == 0 || entries != request.count || !data)
        return 0;
    for (size_t i = 0; i < m_systemDriveCount; ++i) {
        CQvSystemDrive* drive = m_systemDrives->At(i);
        bool enough = false;
        for (size_t k = 0; k < table.count && !enough; ++k)
            enough = table.entries[k].driveType == 1 && table.entries[k].tag == drive->Tag() &&
                     table.entries[k].size >= drive->RequiredSize();
        if (!enough)
            return 0;
    }
    out = 1;
    return 0;
}
