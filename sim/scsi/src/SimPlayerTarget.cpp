#include "simscsi/SimPlayerTarget.h"
#include <algorithm>
#include <cstring>

using namespace simscsi;

namespace {
constexpr uint32_t VOLUME_BLOCK = 512;
// Sense key 5 (illegal request) codes of our own for bad arguments.
constexpr uint16_t CODE_BAD_FIELD = 0x2400;
constexpr uint16_t CODE_OUT_OF_RANGE = 0x2100;
constexpr uint16_t CODE_NO_TABLE = 0x0401;

uint64_t Be(const uint8_t* p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

void PutBe(uint8_t* p, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        p[i] = uint8_t(v);
}
} // namespace

CSimPlayerTarget::CSimPlayerTarget() { MakeFactoryLayout(); }

void CSimPlayerTarget::MakeFactoryLayout()
{
    SimGuard lock(m_mutex);
    m_drives.clear();
    struct { uint8_t type, tag; uint64_t size; uint32_t sector; } layout[] = {
        {1, 0x01, 256 * 1024, 2048}, {0, 0x0A, 0, VOLUME_BLOCK}, {1, 0x50, 64 * 1024, 2048},
        {1, 0x00, 512 * 1024, 2048}, {1, 0x02, 256 * 1024, 2048},
    };
    uint64_t used = 0;
    for (auto& l : layout)
        used += l.size;
    for (size_t i = 0; i < 5; ++i) {
        SimDrive d;
        d.number = uint8_t(firstDriveNumber + i);
        d.type = layout[i].type;
        d.tag = layout[i].tag;
        d.size = layout[i].type == 0 ? capacity - used : layout[i].size;
        d.sectorSize = layout[i].sector;
        d.version7[0] = 1;
        d.version7[1] = uint16_t(i);
        d.version8[0] = 2;
        m_drives.push_back(d);
    }
}

bool CSimPlayerTarget::AttachDataImage(const std::string& path)
{
    SimGuard lock(m_mutex);
    auto file = std::make_unique<std::fstream>(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!*file)
        return false;
    file->seekg(0, std::ios::end);
    m_imageBlocks = uint64_t(file->tellg()) / VOLUME_BLOCK;
    m_image = std::move(file);
    return true;
}

uint64_t CSimPlayerTarget::DataBlocks() const
{
    if (m_image)
        return m_imageBlocks;
    for (const SimDrive& d : m_drives)
        if (d.type == 0)
            return d.size / VOLUME_BLOCK;
    return 0;
}

bool CSimPlayerTarget::ReadDataSector(uint64_t lba, uint8_t* out)
{
    if (lba >= DataBlocks())
        return false;
    if (m_image) {
        m_image->clear();
        m_image->seekg(std::streamoff(lba * VOLUME_BLOCK));
        m_image->read(reinterpret_cast<char*>(out), VOLUME_BLOCK);
        return bool(*m_image);
    }
    auto it = m_volume.find(lba);
    if (it == m_volume.end())
        std::memset(out, 0, VOLUME_BLOCK);
    else
        std::memcpy(out, it->second.data(), VOLUME_BLOCK);
    return true;
}

bool CSimPlayerTarget::WriteDataSector(uint64_t lba, const uint8_t* in)
{
    if (lba >= DataBlocks())
        return false;
    if (m_image) {
        m_image->clear();
        m_image->seekp(std::streamoff(lba * VOLUME_BLOCK));
        m_image->write(reinterpret_cast<const char*>(in), VOLUME_BLOCK);
        m_image->flush();
        return bool(*m_image);
    }
    m_volume[lba].assign(in, in + VOLUME_BLOCK);
    return true;
}

SimDrive* CSimPlayerTarget::DriveByNumber(uint8_t number)
{
    for (SimDrive& d : m_drives)
        if (d.number == number)
            return &d;
    return nullptr;
}

SimDrive* CSimPlayerTarget::DriveByTag(uint8_t type, uint8_t tag)
{
    for (SimDrive& d : m_drives)
        if (d.type == type && (type == 0 || d.tag == tag))
            return &d;
    return nullptr;
}

void CSimPlayerTarget::Record(const SimRecord& record) { m_log.push_back(record); }

std::vector<SimRecord> CSimPlayerTarget::Log() const
{
    SimGuard lock(m_mutex);
    return m_log;
}

void CSimPlayerTarget::ClearLog()
{
    SimGuard lock(m_mutex);
    m_log.clear();
}

std::vector<uint8_t> CSimPlayerTarget::LastLayout() const
{
    SimGuard lock(m_mutex);
    return m_layout;
}

uint8_t CSimPlayerTarget::Check(uint8_t* sense, uint8_t key, uint16_t code)
{
    std::memset(sense, 0, SENSE_BYTES);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = uint8_t(code >> 8);
    sense[13] = uint8_t(code);
    return STATUS_CHECK_CONDITION;
}

uint8_t CSimPlayerTarget::Execute(const uint8_t* cdb, size_t cdbLength, bool dataIn, uint8_t* data,
                                  size_t dataLength, uint8_t* sense, size_t* transferred)
{
    SimGuard lock(m_mutex);
    *transferred = 0;
    std::memset(sense, 0, SENSE_BYTES);
    if (cdbLength < 6)
        return Check(sense, 5, CODE_BAD_FIELD);
    SimRecord record;
    record.opcode = cdb[0];
    bool isVendor = cdb[0] == OP_VENDOR_IN || cdb[0] == OP_VENDOR_OUT;
    if (isVendor && cdbLength >= 16) {
        record.subcommand = cdb[1];
        switch (cdb[1]) {
        case SUB_DRIVE_INFO: case SUB_SET_DRIVE_INFO: case SUB_ERASE_DRIVE:
            record.drive = cdb[2];
            break;
        case SUB_READ_SECTORS: case SUB_WRITE_SECTORS:
            record.drive = cdb[2];
            record.lba = Be(cdb + 3, 8);
            record.count = uint32_t(Be(cdb + 11, 4));
            break;
        case SUB_ALLOCATE: case SUB_TABLE:
            record.count = cdb[2];
            break;
        default:
            break;
        }
    } else if ((cdb[0] == OP_READ10 || cdb[0] == OP_WRITE10) && cdbLength >= 10) {
        record.lba = Be(cdb + 2, 4);
        record.count = uint32_t(Be(cdb + 7, 2));
    }
    Record(record);

    if (faults.checkCondition && (faults.checkOpcode == 0 || faults.checkOpcode == cdb[0]) &&
        (faults.checkSubcommand == 0 || (isVendor && faults.checkSubcommand == cdb[1])))
        return Check(sense, faults.senseKey, faults.statusCode);

    switch (cdb[0]) {
    case OP_INQUIRY: {
        if (!dataIn)
            return Check(sense, 5, CODE_BAD_FIELD);
        uint8_t reply[96] = {};
        reply[0] = 0x00;  // direct access
        reply[1] = 0x80;  // removable
        reply[2] = 0x02;
        reply[3] = 0x02;
        reply[4] = 91;
        auto put = [&](size_t at, const std::string& text, size_t room) {
            for (size_t i = 0; i < room; ++i)
                reply[at + i] = i < text.size() ? uint8_t(text[i]) : ' ';
        };
        put(8, vendor, 8);
        put(16, product, 16);
        put(32, revision, 4);
        size_t n = std::min<size_t>({dataLength, 96, size_t(cdb[4])});
        if (n)
            std::memcpy(data, reply, n);
        *transferred = n;
        return STATUS_GOOD;
    }
    case OP_READ_CAPACITY: {
        if (!dataIn || dataLength < 8)
            return Check(sense, 5, CODE_BAD_FIELD);
        uint64_t blocks = DataBlocks();
        PutBe(data, blocks ? blocks - 1 : 0, 4);
        PutBe(data + 4, faults.zeroBlockLength ? 0 : VOLUME_BLOCK, 4);
        *transferred = 8;
        return STATUS_GOOD;
    }
    case OP_READ10:
    case OP_WRITE10: {
        if (cdbLength < 10)
            return Check(sense, 5, CODE_BAD_FIELD);
        uint64_t lba = Be(cdb + 2, 4), count = Be(cdb + 7, 2);
        bool write = cdb[0] == OP_WRITE10;
        if (write == dataIn || dataLength < count * VOLUME_BLOCK)
            return Check(sense, 5, CODE_BAD_FIELD);
        for (uint64_t i = 0; i < count; ++i) {
            bool ok = write ? WriteDataSector(lba + i, data + i * VOLUME_BLOCK)
                            : ReadDataSector(lba + i, data + i * VOLUME_BLOCK);
            if (!ok)
                return Check(sense, 5, CODE_OUT_OF_RANGE);
        }
        *transferred = size_t(count * VOLUME_BLOCK);
        return STATUS_GOOD;
    }
    case OP_VENDOR_IN:
    case OP_VENDOR_OUT:
        if (cdbLength < 16 || dataIn != (cdb[0] == OP_VENDOR_IN))
            return Check(sense, 5, CODE_BAD_FIELD);
        return Vendor(cdb, dataIn, data, dataLength, sense, transferred);
    default:
        return Check(sense, 5, 0x2000);
    }
}

uint8_t CSimPlayerTarget::Vendor(const uint8_t* cdb, bool dataIn, uint8_t* data, size_t dataLength, uint8_t* sense,
                                 size_t* transferred)
{
    if (dataIn && dataLength)
        std::memset(data, 0, dataLength);
    switch (cdb[1]) {
    case SUB_CHIP_REVISION:
        if (dataLength < 2)
            return Check(sense, 5, CODE_BAD_FIELD);
        PutBe(data, chipRevision, 2);
        *transferred = 2;
        return STATUS_GOOD;
    case SUB_MEDIA_INFO:
        if (cdb[2] == 9 && dataLength >= 1)
            data[0] = faults.notPlayer ? 0 : 1;
        *transferred = dataLength;
        return STATUS_GOOD;
    case SUB_DRIVE_INFO: {
        SimDrive* d = DriveByNumber(cdb[2]);
        if (!d)
            return Check(sense, 5, CODE_BAD_FIELD);
        if (cdb[3] == 0 && dataLength >= 4)
            PutBe(data, faults.zeroSectorSize ? 0 : d->sectorSize, 4);
        if ((cdb[3] == 7 || cdb[3] == 8) && dataLength >= 6) {
            const uint16_t* v = cdb[3] == 7 ? d->version7 : d->version8;
            for (int i = 0; i < 3; ++i)
                PutBe(data + 2 * i, v[i], 2);
        }
        *transferred = dataLength;
        return STATUS_GOOD;
    }
    case SUB_TABLE: {
        if (faults.unreadableTable)
            return Check(sense, 9, CODE_NO_TABLE);
        size_t room = cdb[2];
        if (dataLength < 2)
            return Check(sense, 5, CODE_BAD_FIELD);
        PutBe(data, faults.tableCount ? faults.tableCount : m_drives.size(), 2);
        for (size_t i = 0; i < m_drives.size() && i < room && 2 + 11 * (i + 1) <= dataLength; ++i) {
            uint8_t* e = data + 2 + 11 * i;
            e[0] = m_drives[i].number;
            e[1] = m_drives[i].type;
            e[2] = m_drives[i].tag;
            PutBe(e + 3, m_drives[i].size, 8);
        }
        *transferred = dataLength;
        return STATUS_GOOD;
    }
    case SUB_ALLOCATE: {
        size_t count = cdb[2];
        if (!m_drives.empty() || count == 0 || dataLength < 11 * count)
            return Check(sense, 9, 0x0402); // allocate only on erased media
        uint64_t used = 0;
        std::vector<SimDrive> drives;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = data + 10 * i;
            SimDrive d;
            d.number = uint8_t(firstDriveNumber + i);
            d.type = e[0];
            d.tag = e[1];
            d.sectorSize = d.type == 0 ? VOLUME_BLOCK : 2048;
            d.size = Be(e + 2, 8);
            d.size = (d.size + d.sectorSize - 1) / d.sectorSize * d.sectorSize;
            if (d.type == 1 && faults.undersizedAllocation)
                d.size /= 2;
            used += d.size;
            drives.push_back(d);
        }
        if (used > capacity)
            return Check(sense, 9, 0x0403);
        // The data drive takes what the system drives leave.
        for (SimDrive& d : drives)
            if (d.type == 0)
                d.size = capacity - used + d.size;
        m_drives = drives;
        m_volume.clear();
        *transferred = 11 * count;
        return STATUS_GOOD;
    }
    case SUB_ERASE_MEDIA:
        m_drives.clear();
        m_volume.clear();
        return STATUS_GOOD;
    case SUB_READ_SECTORS:
    case SUB_WRITE_SECTORS: {
        SimDrive* d = DriveByNumber(cdb[2]);
        if (!d)
            return Check(sense, 5, CODE_BAD_FIELD);
        uint64_t first = Be(cdb + 3, 8), count = Be(cdb + 11, 4);
        uint64_t sectors = d->size / d->sectorSize;
        if (first > sectors || count > sectors - first || dataLength < count * d->sectorSize)
            return Check(sense, 5, CODE_OUT_OF_RANGE);
        for (uint64_t i = 0; i < count; ++i) {
            uint8_t* p = data + i * d->sectorSize;
            if (cdb[1] == SUB_WRITE_SECTORS) {
                d->sectors[first + i].assign(p, p + d->sectorSize);
            } else {
                auto it = d->sectors.find(first + i);
                if (it != d->sectors.end())
                    std::memcpy(p, it->second.data(), d->sectorSize);
            }
        }
        if (cdb[1] == SUB_READ_SECTORS && faults.corruptReadBack && count)
            data[0] ^= 0xFF;
        *transferred = size_t(count * d->sectorSize);
        return STATUS_GOOD;
    }
    case SUB_SET_DRIVE_INFO: {
        SimDrive* d = DriveByNumber(cdb[2]);
        if (!d || (cdb[3] != 7 && cdb[3] != 8))
            return Check(sense, 5, CODE_BAD_FIELD);
        uint16_t* v = cdb[3] == 7 ? d->version7 : d->version8;
        for (int i = 0; i < 3; ++i)
            v[i] = uint16_t(Be(cdb + 4 + 2 * i, 2));
        return STATUS_GOOD;
    }
    case SUB_ERASE_DRIVE: {
        SimDrive* d = DriveByNumber(cdb[2]);
        if (!d)
            return Check(sense, 5, CODE_BAD_FIELD);
        d->sectors.clear();
        if (d->type == 0)
            m_volume.clear();
        return STATUS_GOOD;
    }
    default:
        return Check(sense, 5, 0x2000);
    }
}

bool CSimPlayerTarget::Lock()
{
    SimGuard lock(m_mutex);
    SimRecord r;
    r.kind = SimRecord::LOCK;
    Record(r);
    if (faults.busyLocks < 0 || m_lockAttempts++ < faults.busyLocks)
        return false;
    m_locked = true;
    return true;
}

bool CSimPlayerTarget::Unlock()
{
    SimGuard lock(m_mutex);
    SimRecord r;
    r.kind = SimRecord::UNLOCK;
    Record(r);
    bool was = m_locked;
    m_locked = false;
    return was;
}

bool CSimPlayerTarget::Dismount()
{
    SimGuard lock(m_mutex);
    SimRecord r;
    r.kind = SimRecord::DISMOUNT;
    Record(r);
    return true;
}

void CSimPlayerTarget::MediaRemoval(bool prevent)
{
    SimGuard lock(m_mutex);
    SimRecord r;
    r.kind = SimRecord::MEDIA_REMOVAL;
    r.count = prevent ? 1 : 0;
    Record(r);
}

bool CSimPlayerTarget::Eject()
{
    SimGuard lock(m_mutex);
    SimRecord r;
    r.kind = SimRecord::EJECT;
    Record(r);
    return true;
}

void CSimPlayerTarget::SetDriveLayout(const uint8_t* bytes, size_t length)
{
    SimGuard lock(m_mutex);
    SimRecord r;
    r.kind = SimRecord::LAYOUT;
    r.count = uint32_t(length);
    Record(r);
    m_layout.assign(bytes, bytes + length);
}

uint32_t CSimRecoveryDevice::Write(const uint8_t* data, uint32_t length)
{
    SimGuard lock(m_mutex);
    uint32_t accepted = std::min<uint32_t>(length, 4096);
    m_received.insert(m_received.end(), data, data + accepted);
    m_lengths.push_back(length);
    return accepted > shortBy ? accepted - shortBy : 0;
}

bool CSimRecoveryDevice::PlayerBack() const
{
    SimGuard lock(m_mutex);
    return expectedSize != 0 && m_received.size() == expectedSize && shortBy == 0;
}

std::vector<uint32_t> CSimRecoveryDevice::WriteLengths() const
{
    SimGuard lock(m_mutex);
    return m_lengths;
}

std::vector<uint8_t> CSimRecoveryDevice::Received() const
{
    SimGuard lock(m_mutex);
    return m_received;
}
