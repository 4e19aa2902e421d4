// The player's SCSI commands: vendor commands 0xC0 (data in) and 0xC1 (data
// out) in 16-byte CDBs, and the four standard ones. Multi-byte fields are
// big-endian on the wire.
#pragma once
#include "qv/QvByteArray.h"
#include "qv/QvVersionInfo.h"
#include <memory>
#include <string>

enum QvDirection { QV_DATA_IN = 0, QV_DATA_OUT = 1 };

// The largest data phase one command may ask for. Counts and sizes come from
// the device and from callers; a product beyond this is refused instead of
// being allocated (or wrapping).
constexpr uint64_t QV_MAX_TRANSFER = 32u * 1024 * 1024;

#pragma pack(push, 1)
struct LogicalMediaEntry {
    uint8_t driveNumber;
    uint8_t driveType; // 0 data, 1 system
    uint8_t tag;
    uint64_t size;     // bytes, native order in memory
};
struct LogicalMediaTable {
    uint16_t count;
    LogicalMediaEntry entries[10];
};
#pragma pack(pop)
static_assert(sizeof(LogicalMediaEntry) == 11, "table entries are 11 bytes");
static_assert(sizeof(LogicalMediaTable) == 112, "the table is 2 + 10 x 11 bytes");
constexpr size_t QV_TABLE_ENTRIES = 10;
constexpr size_t QV_TABLE_ENTRY_BYTES = 11;
constexpr size_t QV_ALLOCATION_ENTRY_BYTES = 10;

class CQvScsiCommand : public CQvBase {
public:
    CQvScsiCommand(std::string name, size_t cdbLength, uint64_t replyLength, uint64_t payloadLength);
    ~CQvScsiCommand() override;

    virtual int BuildCdb() = 0;
    virtual int ParseReply(const CQvByteArray& reply);
    virtual int Direction() const { return QV_DATA_IN; }

    CQvByteArray& CdbArray() { return m_cdb; }
    const CQvByteArray& CdbArray() const { return m_cdb; }
    size_t CdbLength() const { return m_cdbLength; }
    size_t ReplyLength() const { return m_replyLength; }
    size_t PayloadLength() const { return m_payloadLength; }
    const CQvByteArray* Reply() const { return m_reply.get(); }
    // Copies data-out bytes behind the CDB; -10 when they do not fit.
    int SetPayload(const uint8_t* data, size_t length);

protected:
    void SetReplyLength(size_t length) { m_replyLength = length; }
    // The getters read from the copied reply; -3 without one or when short.
    const CQvByteArray& ReplyOrEmpty() const;

private:
    CQvByteArray m_cdb;
    std::unique_ptr<CQvByteArray> m_reply;
    size_t m_cdbLength;
    size_t m_replyLength = 0;
    size_t m_payloadLength = 0;
};

class CQvGetChipMajorRevId : public CQvScsiCommand {
public:
    explicit CQvGetChipMajorRevId(std::string name = "CQvGetChipMajorRevId");
    int BuildCdb() override;
    int GetRevision(uint16_t& out) const;
};

class CQvGetLogicalMediaInfo : public CQvScsiCommand {
public:
    CQvGetLogicalMediaInfo(uint8_t type, uint32_t size, std::string name = "CQvGetLogicalMediaInfo");
    int BuildCdb() override;
    // Type 9: whether the unit is a player that answers our media commands.
    int GetFlag(uint8_t& out) const;

private:
    uint8_t m_type;
};

class CQvGetLogicalDriveInfo : public CQvScsiCommand {
public:
    CQvGetLogicalDriveInfo(uint8_t drive, uint8_t type, uint32_t size, std::string name = "CQvGetLogicalDriveInfo");
    int BuildCdb() override;
    int GetSectorSize(uint32_t& out) const;            // type 0
    int GetVersion(CQvVersionInfo& out) const;         // types 7 and 8

private:
    uint8_t m_drive;
    uint8_t m_type;
};

class CQvGetLogicalTable : public CQvScsiCommand {
public:
    explicit CQvGetLogicalTable(uint8_t entries, std::string name = "CQvGetLogicalTable");
    int BuildCdb() override;
    // The table is zeroed first; at most 10 entries, and never more than the
    // reply holds, whatever count the device claims.
    int GetTable(LogicalMediaTable& out) const;

private:
    uint8_t m_entries;
};

class CQvAllocateLogicalMedia : public CQvScsiCommand {
public:
    explicit CQvAllocateLogicalMedia(const LogicalMediaTable& table, std::string name = "CQvAllocateLogicalMedia");
    int BuildCdb() override;
    int Direction() const override { return QV_DATA_OUT; }

private:
    LogicalMediaTable m_table;
};

class CQvEraseLogicalMedia : public CQvScsiCommand {
public:
    explicit CQvEraseLogicalMedia(std::string name = "CQvEraseLogicalMedia");
    int BuildCdb() override;
    int Direction() const override { return QV_DATA_OUT; }
};

class CQvReadLogicalDriveSector : public CQvScsiCommand {
public:
    CQvReadLogicalDriveSector(uint8_t drive, uint32_t sectorSize, uint64_t firstSector, uint32_t count,
                              std::string name = "CQvReadLogicalDriveSector");
    int BuildCdb() override;
    int GetData(uint8_t* dest, size_t length) const;

private:
    uint8_t m_drive;
    uint64_t m_first;
    uint32_t m_count;
};

class CQvWriteLogicalDriveSector : public CQvScsiCommand {
public:
    CQvWriteLogicalDriveSector(uint8_t drive, uint32_t sectorSize, uint64_t firstSector, uint32_t count,
                               std::string name = "CQvWriteLogicalDriveSector");
    int BuildCdb() override;
    int Direction() const override { return QV_DATA_OUT; }

private:
    uint8_t m_drive;
    uint64_t m_first;
    uint32_t m_count;
};

class CQvSetLogicalDriveInfo : public CQvScsiCommand {
public:
    CQvSetLogicalDriveInfo(uint8_t drive, uint8_t type, const CQvVersionInfo& version,
                           std::string name = "CQvSetLogicalDriveInfo");
    int BuildCdb() override;
    int Direction() const override { return QV_DATA_OUT; }

private:
    uint8_t m_drive;
    uint8_t m_type;
    uint16_t m_major, m_minor, m_revision;
};

class CQvEraseLogicalDrive : public CQvScsiCommand {
public:
    explicit CQvEraseLogicalDrive(uint8_t drive, std::string name = "CQvEraseLogicalDrive");
    int BuildCdb() override;
    int Direction() const override { return QV_DATA_OUT; }

private:
    uint8_t m_drive;
};

class CQvScsiInquiry : public CQvScsiCommand {
public:
    explicit CQvScsiInquiry(std::string name = "CQvScsiInquiry");
    int BuildCdb() override;
    int GetVendorId(std::string& out) const;   // bytes 8..15
    int GetProductId(std::string& out) const;  // bytes 16..31
    int GetRevision(std::string& out) const;   // bytes 32..35
};

class CQvReadCapacity : public CQvScsiCommand {
public:
    explicit CQvReadCapacity(std::string name = "CQvReadCapacity");
    int BuildCdb() override;
    int GetLastBlock(uint32_t& out) const;
    int GetBlockLength(uint32_t& out) const;
};

class CQvRead : public CQvScsiCommand {
public:
    CQvRead(uint32_t firstBlock, uint16_t count, uint32_t blockSize, std::string name = "CQvRead");
    int BuildCdb() override;
    int GetData(uint8_t* dest, size_t length) const;

private:
    uint32_t m_first;
    uint16_t m_count;
};

class CQvWrite : public CQvScsiCommand {
public:
    CQvWrite(uint32_t firstBlock, uint16_t count, uint32_t blockSize, std::string name = "CQvWrite");
    int BuildCdb() override;
    int Direction() const override { return QV_DATA_OUT; }

private:
    uint32_t m_first;
    uint16_t m_count;
};

// Identity of a unit: the configured ids compared case-insensitively over
// their own lengths with the INQUIRY product (16..31) and vendor (8..15).
bool QvIdentityMatches(const CQvByteArray& inquiry, const std::string& vendor, const std::string& product);
