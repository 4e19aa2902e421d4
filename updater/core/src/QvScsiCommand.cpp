#include "qv/QvScsiCommand.h"
#include "qv/QvErrors.h"
#include <cstring>

namespace {
constexpr size_t VENDOR_CDB = 16;
constexpr uint8_t OP_VENDOR_IN = 0xC0;
constexpr uint8_t OP_VENDOR_OUT = 0xC1;

uint64_t MediaInfoLength(uint8_t type, uint32_t size, bool& known)
{
    known = true;
    switch (type) {
    case 0: return 2;
    case 1: return 8;
    case 5: return 1;
    case 6: return 4;
    case 7: return 2;
    case 8: return size;
    case 9: return 1;
    default: known = false; return 0;
    }
}

uint64_t DriveInfoLength(uint8_t type, uint32_t size)
{
    switch (type) {
    case 0: case 1: case 3: case 5: return 4;
    case 2: case 4: return 8;
    case 6: case 9: return 1;
    case 7: case 8: return 48;
    case 10: return 2;
    default: return size; // 11
    }
}

// The CDB array must exist before a vendor command writes its opcode bytes.
void PutHead(CQvByteArray& cdb, uint8_t op, uint8_t sub)
{
    cdb.SetAt(0, op);
    cdb.SetAt(1, sub);
}
} // namespace

CQvScsiCommand::CQvScsiCommand(std::string name, size_t cdbLength, uint64_t replyLength, uint64_t payloadLength)
    : CQvBase(std::move(name)), m_cdb(0, "CQvByteArray"), m_cdbLength(cdbLength)
{
    if (replyLength > QV_MAX_TRANSFER || payloadLength > QV_MAX_TRANSFER) {
        Fail(QV_E_NOMEM);
        return;
    }
    m_replyLength = size_t(replyLength);
    m_payloadLength = size_t(payloadLength);
    if (m_cdb.Allocate(cdbLength + m_payloadLength) != 0)
        Fail(QV_E_NOMEM);
}

CQvScsiCommand::~CQvScsiCommand() = default;

int CQvScsiCommand::ParseReply(const CQvByteArray& reply)
{
    auto copy = std::make_unique<CQvByteArray>(reply.Data(), reply.Count());
    if (copy->LastError() != 0)
        return Fail(QV_E_NOMEM);
    m_reply = std::move(copy);
    return 0;
}

int CQvScsiCommand::SetPayload(const uint8_t* data, size_t length)
{
    if (length > m_payloadLength)
        return Fail(QV_E_PAYLOAD);
    return m_cdb.SetBytes(data, length, m_cdbLength);
}

const CQvByteArray& CQvScsiCommand::ReplyOrEmpty() const
{
    static const CQvByteArray empty;
    return m_reply ? *m_reply : empty;
}

// --- chip revision

CQvGetChipMajorRevId::CQvGetChipMajorRevId(std::string name) : CQvScsiCommand(std::move(name), VENDOR_CDB, 2, 0) {}

int CQvGetChipMajorRevId::BuildCdb()
{
    PutHead(CdbArray(), OP_VENDOR_IN, 0x30);
    return 0;
}

int CQvGetChipMajorRevId::GetRevision(uint16_t& out) const { return ReplyOrEmpty().GetU16BE(out, 0); }

// --- logical media information

CQvGetLogicalMediaInfo::CQvGetLogicalMediaInfo(uint8_t type, uint32_t size, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, 0), m_type(type)
{
    bool known = false;
    uint64_t length = MediaInfoLength(type, size, known);
    if (!known) {
        Fail(QV_E_INFO_TYPE);
        return;
    }
    if (length > QV_MAX_TRANSFER) {
        Fail(QV_E_NOMEM);
        return;
    }
    SetReplyLength(size_t(length));
}

int CQvGetLogicalMediaInfo::BuildCdb()
{
    PutHead(CdbArray(), OP_VENDOR_IN, 0x02);
    CdbArray().SetAt(2, m_type);
    return 0;
}

int CQvGetLogicalMediaInfo::GetFlag(uint8_t& out) const
{
    if (m_type != 9)
        return QV_E_INFO_TYPE;
    return ReplyOrEmpty().GetFlag(out, 0);
}

// --- logical drive information

CQvGetLogicalDriveInfo::CQvGetLogicalDriveInfo(uint8_t drive, uint8_t type, uint32_t size, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, 0), m_drive(drive), m_type(type)
{
    if (type > 11) {
        Fail(QV_E_RANGE);
        return;
    }
    uint64_t length = DriveInfoLength(type, size);
    if (length > QV_MAX_TRANSFER) {
        Fail(QV_E_NOMEM);
        return;
    }
    SetReplyLength(size_t(length));
}

int CQvGetLogicalDriveInfo::BuildCdb()
{
    PutHead(CdbArray(), OP_VENDOR_IN, 0x12);
    CdbArray().SetAt(2, m_drive);
    CdbArray().SetAt(3, m_type);
    return 0;
}

int CQvGetLogicalDriveInfo::GetSectorSize(uint32_t& out) const
{
    if (m_type != 0)
        return QV_E_INFO_TYPE;
    return ReplyOrEmpty().GetU32BE(out, 0);
}

int CQvGetLogicalDriveInfo::GetVersion(CQvVersionInfo& out) const
{
    if (m_type != 7 && m_type != 8)
        return QV_E_INFO_TYPE;
    const CQvByteArray& reply = ReplyOrEmpty();
    uint16_t major = 0, minor = 0, revision = 0;
    int r = reply.GetU16BE(major, 0);
    if (r == 0)
        r = reply.GetU16BE(minor, 2);
    if (r == 0)
        r = reply.GetU16BE(revision, 4);
    if (r == 0)
        out.Set(major, minor, revision);
    return r;
}

// --- logical media table

CQvGetLogicalTable::CQvGetLogicalTable(uint8_t entries, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 2 + QV_TABLE_ENTRY_BYTES * entries, 0), m_entries(entries) {}

int CQvGetLogicalTable::BuildCdb()
{
    PutHead(CdbArray(), OP_VENDOR_IN, 0x05);
    CdbArray().SetAt(2, m_entries);
    return 0;
}

int CQvGetLogicalTable::GetTable(LogicalMediaTable& out) const
{
    std::memset(&out, 0, sizeof out);
    const CQvByteArray& reply = ReplyOrEmpty();
    uint16_t count = 0;
    int r = reply.GetU16BE(count, 0);
    if (r != 0)
        return r;
    // The count is the device's word: never trust it past our table or past
    // the bytes that actually came back.
    size_t usable = count;
    if (usable > QV_TABLE_ENTRIES)
        usable = QV_TABLE_ENTRIES;
    size_t inReply = (reply.Count() - 2) / QV_TABLE_ENTRY_BYTES;
    if (usable > inReply)
        usable = inReply;
    for (size_t i = 0; i < usable; ++i) {
        size_t at = 2 + QV_TABLE_ENTRY_BYTES * i;
        LogicalMediaEntry& entry = out.entries[i];
        uint64_t size = 0;
        reply.GetAt(at, entry.driveNumber);
        reply.GetAt(at + 1, entry.driveType);
        reply.GetAt(at + 2, entry.tag);
        reply.GetU64BE(size, at + 3);
        entry.size = size;
    }
    out.count = uint16_t(usable);
    return 0;
}

// --- allocation

CQvAllocateLogicalMedia::CQvAllocateLogicalMedia(const LogicalMediaTable& table, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, uint64_t(QV_TABLE_ENTRY_BYTES) * table.count), m_table(table)
{
    // The table has room for ten entries; a larger count would read past it.
    if (table.count > QV_TABLE_ENTRIES)
        Fail(QV_E_INDEX);
}

int CQvAllocateLogicalMedia::BuildCdb()
{
    CQvByteArray& cdb = CdbArray();
    PutHead(cdb, OP_VENDOR_OUT, 0x06);
    cdb.SetAt(2, uint8_t(m_table.count));
    size_t count = m_table.count > QV_TABLE_ENTRIES ? QV_TABLE_ENTRIES : m_table.count;
    for (size_t i = 0; i < count; ++i) {
        const LogicalMediaEntry& entry = m_table.entries[i];
        size_t at = CdbLength() + QV_ALLOCATION_ENTRY_BYTES * i;
        cdb.SetAt(at, entry.driveType);
        cdb.SetAt(at + 1, entry.tag);
        cdb.SetU64BE(uint32_t(entry.size), uint32_t(entry.size >> 32), at + 2);
    }
    return 0;
}

// --- erase media

CQvEraseLogicalMedia::CQvEraseLogicalMedia(std::string name) : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, 0) {}

int CQvEraseLogicalMedia::BuildCdb()
{
    PutHead(CdbArray(), OP_VENDOR_OUT, 0x07);
    return 0;
}

// --- drive sectors

CQvReadLogicalDriveSector::CQvReadLogicalDriveSector(uint8_t drive, uint32_t sectorSize, uint64_t firstSector,
                                                     uint32_t count, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, uint64_t(count) * sectorSize, 0), m_drive(drive),
      m_first(firstSector), m_count(count) {}

int CQvReadLogicalDriveSector::BuildCdb()
{
    CQvByteArray& cdb = CdbArray();
    PutHead(cdb, OP_VENDOR_IN, 0x13);
    cdb.SetAt(2, m_drive);
    cdb.SetU64BE(uint32_t(m_first), uint32_t(m_first >> 32), 3);
    cdb.SetU32BE(m_count, 11);
    return 0;
}

int CQvReadLogicalDriveSector::GetData(uint8_t* dest, size_t length) const
{
    return ReplyOrEmpty().GetBytes(dest, length, 0);
}

CQvWriteLogicalDriveSector::CQvWriteLogicalDriveSector(uint8_t drive, uint32_t sectorSize, uint64_t firstSector,
                                                       uint32_t count, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, uint64_t(count) * sectorSize), m_drive(drive),
      m_first(firstSector), m_count(count) {}

int CQvWriteLogicalDriveSector::BuildCdb()
{
    CQvByteArray& cdb = CdbArray();
    PutHead(cdb, OP_VENDOR_OUT, 0x23);
    cdb.SetAt(2, m_drive);
    cdb.SetU64BE(uint32_t(m_first), uint32_t(m_first >> 32), 3);
    cdb.SetU32BE(m_count, 11);
    return 0;
}

// --- drive information and erase

CQvSetLogicalDriveInfo::CQvSetLogicalDriveInfo(uint8_t drive, uint8_t type, const CQvVersionInfo& version,
                                               std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, 0), m_drive(drive), m_type(type), m_major(version.Major()),
      m_minor(version.Minor()), m_revision(version.Revision())
{
    // Only the two version types carry the fields this command writes.
    if (type != 7 && type != 8)
        Fail(QV_E_INFO_TYPE);
}

int CQvSetLogicalDriveInfo::BuildCdb()
{
    CQvByteArray& cdb = CdbArray();
    PutHead(cdb, OP_VENDOR_OUT, 0x20);
    cdb.SetAt(2, m_drive);
    cdb.SetAt(3, m_type);
    cdb.SetU16BE(m_major, 4);
    cdb.SetU16BE(m_minor, 6);
    cdb.SetU16BE(m_revision, 8);
    return 0;
}

CQvEraseLogicalDrive::CQvEraseLogicalDrive(uint8_t drive, std::string name)
    : CQvScsiCommand(std::move(name), VENDOR_CDB, 0, 0), m_drive(drive) {}

int CQvEraseLogicalDrive::BuildCdb()
{
    PutHead(CdbArray(), OP_VENDOR_OUT, 0x2F);
    CdbArray().SetAt(2, m_drive);
    return 0;
}

// --- standard commands

CQvScsiInquiry::CQvScsiInquiry(std::string name) : CQvScsiCommand(std::move(name), 6, 96, 0) {}

int CQvScsiInquiry::BuildCdb()
{
    static const uint8_t cdb[6] = {0x12, 0, 0, 0, 0x60, 0};
    return CdbArray().SetBytes(cdb, 6, 0);
}

namespace {
int TextField(const CQvByteArray& reply, size_t offset, size_t length, std::string& out)
{
    std::string text(length, '\0');
    int r = reply.GetBytes(reinterpret_cast<uint8_t*>(&text[0]), length, offset);
    if (r == 0)
        out = text;
    return r;
}
} // namespace

int CQvScsiInquiry::GetVendorId(std::string& out) const { return TextField(ReplyOrEmpty(), 8, 8, out); }
int CQvScsiInquiry::GetProductId(std::string& out) const { return TextField(ReplyOrEmpty(), 16, 16, out); }
int CQvScsiInquiry::GetRevision(std::string& out) const { return TextField(ReplyOrEmpty(), 32, 4, out); }

CQvReadCapacity::CQvReadCapacity(std::string name) : CQvScsiCommand(std::move(name), 10, 8, 0) {}

int CQvReadCapacity::BuildCdb()
{
    CdbArray().SetAt(0, 0x25);
    return 0;
}

int CQvReadCapacity::GetLastBlock(uint32_t& out) const { return ReplyOrEmpty().GetU32BE(out, 0); }
int CQvReadCapacity::GetBlockLength(uint32_t& out) const { return ReplyOrEmpty().GetU32BE(out, 4); }

CQvRead::CQvRead(uint32_t firstBlock, uint16_t count, uint32_t blockSize, std::string name)
    : CQvScsiCommand(std::move(name), 10, uint64_t(count) * blockSize, 0), m_first(firstBlock), m_count(count) {}

int CQvRead::BuildCdb()
{
    CQvByteArray& cdb = CdbArray();
    cdb.SetAt(0, 0x28);
    cdb.SetU32BE(m_first, 2);
    cdb.SetU16BE(m_count, 7);
    return 0;
}

int CQvRead::GetData(uint8_t* dest, size_t length) const { return ReplyOrEmpty().GetBytes(dest, length, 0); }

CQvWrite::CQvWrite(uint32_t firstBlock, uint16_t count, uint32_t blockSize, std::string name)
    : CQvScsiCommand(std::move(name), 10, 0, uint64_t(count) * blockSize), m_first(firstBlock), m_count(count) {}

int CQvWrite::BuildCdb()
{
    CQvByteArray& cdb = CdbArray();
    cdb.SetAt(0, 0x2A);
    cdb.SetU32BE(m_first, 2);
    cdb.SetU16BE(m_count, 7);
    return 0;
}

// --- identity

namespace {
bool SameText(const CQvByteArray& inquiry, size_t offset, size_t field, const std::string& wanted)
{
    if (wanted.size() > field)
        return false;
    for (size_t i = 0; i < wanted.size(); ++i) {
        uint8_t b = 0;
        if (inquiry.GetAt(offset + i, b) != 0)
            return false;
        auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(b) != lower(uint8_t(wanted[i])))
            return false;
    }
    return true;
}
} // namespace

bool QvIdentityMatches(const CQvByteArray& inquiry, const std::string& vendor, const std::string& product)
{
    return SameText(inquiry, 16, 16, product) && SameText(inquiry, 8, 8, vendor);
}
