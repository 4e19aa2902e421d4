// The updater's Windows-free device side: arrays, version records, the SCSI
// command set and the transport base, driven through a recording transport.
#include "UpdaterTestOwners.h"
#include "qv/QvArray.h"
#include "qv/QvByteArray.h"
#include "qv/QvDecrypt.h"
#include "qv/QvErrors.h"
#include "qv/QvRecoveryPlan.h"
#include "qv/QvScsiCommand.h"
#include "qv/QvScsiTransport.h"
#include "qv/QvVersionClass.h"
#include "qv/QvVersionInfo.h"
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes CdbOf(CQvScsiCommand& command)
{
    command.BuildCdb();
    const CQvByteArray& cdb = command.CdbArray();
    return Bytes(cdb.Data(), cdb.Data() + command.CdbLength());
}

CQvByteArray* Reply(const Bytes& bytes) { return new CQvByteArray(bytes.data(), bytes.size()); }

// Records what reaches SendCdb and answers with a canned reply.
class CRecordingTransport : public CQvScsiTransport {
public:
    explicit CRecordingTransport(CQvTransportOwner* owner) : CQvScsiTransport(owner, "CRecordingTransport") {}
    int Open() override { return 0; }
    int LockVolume(int) override { return 0; }
    int LockForFormat(int) override { return 0; }
    int ReleaseAfterFormat(int) override { return 0; }
    int UnlockVolume(int) override { return 0; }
    int Close() override { return 0; }
    int Dismount() override { return 0; }
    int ScanDrivesByInquiry() override { return 0; }
    int SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply) override
    {
        sent.push_back(Bytes(cdb.Data(), cdb.Data() + cdb.Count()));
        cdbLengths.push_back(cdbLength);
        directions.push_back(direction);
        replyLengths.push_back(reply.Count());
        if (status != 0) {
            KeepSense(sense.data(), sense.size());
            return RecordFailureWithText(QV_E_SCSI_STATUS, 0, SenseText());
        }
        reply.SetBytes(answer.data(), std::min(answer.size(), reply.Count()), 0);
        return 0;
    }
    std::vector<Bytes> sent;
    std::vector<size_t> cdbLengths, replyLengths;
    std::vector<int> directions;
    Bytes answer;
    Bytes sense;
    int status = 0;
};

} // namespace

// ---------------------------------------------------------------- byte array

TEST(ByteArray, BigEndianFieldsRoundTrip)
{
    CQvByteArray a(16);
    ASSERT_EQ(a.LastError(), 0);
    EXPECT_EQ(a.SetU16BE(0x1234, 0), 0);
    EXPECT_EQ(a.SetU32BE(0xA1B2C3D4u, 2), 0);
    EXPECT_EQ(a.SetU64BE(0x55667788u, 0x11223344u, 6), 0);
    const uint8_t expected[] = {0x12, 0x34, 0xA1, 0xB2, 0xC3, 0xD4, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(Bytes(a.Data(), a.Data() + 14), Bytes(std::begin(expected), std::end(expected)));
    uint16_t v16 = 0;
    uint32_t v32 = 0;
    uint64_t v64 = 0;
    EXPECT_EQ(a.GetU16BE(v16, 0), 0);
    EXPECT_EQ(a.GetU32BE(v32, 2), 0);
    EXPECT_EQ(a.GetU64BE(v64, 6), 0);
    EXPECT_EQ(v16, 0x1234);
    EXPECT_EQ(v32, 0xA1B2C3D4u);
    EXPECT_EQ(v64, 0x1122334455667788ull);
}

TEST(ByteArray, FieldPastTheEndIsShortAndLeavesTheValue)
{
    CQvByteArray a(4);
    uint16_t v16 = 0xBEEF;
    EXPECT_EQ(a.GetU16BE(v16, a.Count() - 1), QV_E_SHORT);
    EXPECT_EQ(v16, 0xBEEF);
    uint32_t v32 = 7;
    EXPECT_EQ(a.GetU32BE(v32, 1), QV_E_SHORT);
    EXPECT_EQ(v32, 7u);
    uint64_t v64 = 9;
    EXPECT_EQ(a.GetU64BE(v64, 0), QV_E_SHORT);
    EXPECT_EQ(a.SetU32BE(1, 2), QV_E_SHORT);
    // Offsets near the top of the address range must not wrap into range.
    EXPECT_EQ(a.GetU16BE(v16, SIZE_MAX), QV_E_SHORT);
    EXPECT_EQ(a.SetBytes(a.Data(), 2, SIZE_MAX - 1), QV_E_SHORT);
}

TEST(ByteArray, FlagAtTheEndIsShortAndAnyBitCounts)
{
    CQvByteArray a(3);
    a.SetAt(1, 0x80);
    uint8_t flag = 5;
    EXPECT_EQ(a.GetFlag(flag, 3), QV_E_SHORT);
    EXPECT_EQ(flag, 5);
    EXPECT_EQ(a.GetFlag(flag, 1), 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(a.GetFlag(flag, 0), 0);
    EXPECT_EQ(flag, 0);
}

TEST(ByteArray, IndexOutOfRange)
{
    CQvByteArray a(2);
    uint8_t b = 0;
    EXPECT_EQ(a.GetAt(2, b), QV_E_INDEX);
    EXPECT_EQ(a.SetAt(2, 1), QV_E_INDEX);
    EXPECT_EQ(a.LastError(), QV_E_INDEX);
    EXPECT_EQ(a.ElementAt(2), nullptr);
    EXPECT_EQ(a.ElementAt(1), a.Data() + 1);
}

TEST(ByteArray, EqualsNeedsTheSameCount)
{
    const uint8_t bytes[] = {1, 2, 3};
    CQvByteArray longer(bytes, 3), prefix(bytes, 2), same(bytes, 3);
    EXPECT_EQ(prefix.Equals(longer), 0);
    EXPECT_EQ(longer.Equals(prefix), 0);
    EXPECT_EQ(longer.Equals(same), 1);
    same.SetAt(2, 4);
    EXPECT_EQ(longer.Equals(same), 0);
    EXPECT_EQ(CQvByteArray().Equals(CQvByteArray()), 1);
}

TEST(ByteArray, TextListsEveryByte)
{
    const uint8_t bytes[] = {0x70, 0x00, 0x09, 0xff};
    EXPECT_EQ(CQvByteArray(bytes, 4).ToText(), u"0x70, 0x0, 0x9, 0xff");
    EXPECT_EQ(CQvByteArray(bytes, 1).ToText(), u"0x70");
    EXPECT_EQ(CQvByteArray().ToText(), u"");
}

TEST(ByteArray, AllocateClearsDetachForgetsReverseFlips)
{
    const uint8_t bytes[] = {1, 2, 3};
    CQvByteArray a(bytes, 3);
    a.Reverse();
    EXPECT_EQ(Bytes(a.Data(), a.Data() + 3), (Bytes{3, 2, 1}));
    a.Clear();
    EXPECT_EQ(Bytes(a.Data(), a.Data() + 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(a.Allocate(5), 0);
    EXPECT_EQ(a.Count(), 5u);
    a.Detach();
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_EQ(a.Data(), nullptr);
}

// ------------------------------------------------------------ pointer arrays

TEST(PointerArray, EntriesHoldWholePointers)
{
    CQvArray array(3);
    int values[3];
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(array.SetAt(i, &values[i]), 0);
    for (int i = 0; i < 3; ++i) {
        void* entry = nullptr;
        ASSERT_EQ(array.GetAt(i, entry), 0);
        EXPECT_EQ(entry, &values[i]); // would lose its high half in a 32-bit slot
    }
    void* entry = nullptr;
    EXPECT_EQ(array.GetAt(3, entry), QV_E_INDEX);
    EXPECT_EQ(array.SetAt(3, nullptr), QV_E_INDEX);
    EXPECT_EQ(array.ElementAt(3), nullptr);
    array.Reverse();
    array.GetAt(0, entry);
    EXPECT_EQ(entry, &values[2]);
    array.Clear();
    array.GetAt(0, entry);
    EXPECT_EQ(entry, nullptr);
}

TEST(PointerArray, VersionArrayOwnsNamedRecords)
{
    CQvVersionInfoPtrArray versions(4);
    ASSERT_EQ(versions.LastError(), 0);
    ASSERT_EQ(versions.Count(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_NE(versions.At(i), nullptr);
        EXPECT_EQ(versions.At(i)->Name(), "CQvVersionInfo");
        EXPECT_EQ(versions.At(i)->ToText(), u"000.000.000");
    }
    EXPECT_EQ(versions.At(4), nullptr);
}

// ------------------------------------------------------------ version record

TEST(VersionInfo, TextHasThreeDigitFields)
{
    CQvVersionInfo v;
    v.Set(1, 2, 30);
    EXPECT_EQ(v.ToText(), u"001.002.030");
    v.Set(65535, 0, 7);
    EXPECT_EQ(v.ToText(), u"65535.000.007");
}

TEST(VersionInfo, AssignCopiesNumbersErrorsAndName)
{
    CQvVersionInfo source("FileVersion");
    source.Set(3, 4, 5);
    source.SetLastError(-3);
    source.SetSystemError(87);
    CQvVersionInfo target;
    target.Assign(source);
    EXPECT_EQ(target.ToText(), u"003.004.005");
    EXPECT_EQ(target.LastError(), -3);
    EXPECT_EQ(target.SystemError(), 87u);
    EXPECT_EQ(target.Name(), "FileVersion");
    CQvVersionInfo copy(source);
    EXPECT_EQ(copy.Major(), 3);
    EXPECT_EQ(copy.Name(), "FileVersion");
}

TEST(Decrypt, CopiesTheBytesAsTheyAre)
{
    const uint8_t image[] = {9, 8, 7};
    uint8_t* out = nullptr;
    size_t length = 99;
    CQvDecrypt decrypt(image, 3, out, length);
    ASSERT_EQ(decrypt.LastError(), 0);
    ASSERT_EQ(length, 3u);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{9, 8, 7}));
    EXPECT_EQ(decrypt.Name(), "CQvDecrypt");
    delete[] out;
}

TEST(Decrypt, EmptyInputGivesLengthZero)
{
    uint8_t* out = nullptr;
    size_t length = 99;
    CQvDecrypt decrypt(nullptr, 0, out, length);
    EXPECT_EQ(decrypt.LastError(), 0);
    EXPECT_EQ(length, 0u);
    delete[] out;
}

// ---------------------------------------------------------------- CDB bytes

TEST(CommandCdb, EveryCommandBuildsItsBytes)
{
    LogicalMediaTable table = {};
    table.count = 2;
    CQvVersionInfo version;
    version.Set(0x0102, 0x0304, 0x0506);
    struct Row {
        const char* name;
        std::function<CQvScsiCommand*()> make;
        Bytes cdb;
        int direction;
        size_t replyLength;
        size_t payloadLength;
    };
    const std::vector<Row> rows = {
        {"chip", [] { return new CQvGetChipMajorRevId; },
         {0xC0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 2, 0},
        {"media info 9", [] { return new CQvGetLogicalMediaInfo(9, 0); },
         {0xC0, 0x02, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 1, 0},
        {"media info 8", [] { return new CQvGetLogicalMediaInfo(8, 300); },
         {0xC0, 0x02, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 300, 0},
        {"drive info 7", [] { return new CQvGetLogicalDriveInfo(6, 7, 0); },
         {0xC0, 0x12, 6, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 48, 0},
        {"drive info 0", [] { return new CQvGetLogicalDriveInfo(0x22, 0, 0); },
         {0xC0, 0x12, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 4, 0},
        {"table", [] { return new CQvGetLogicalTable(10); },
         {0xC0, 0x05, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 112, 0},
        {"allocate", [&] { return new CQvAllocateLogicalMedia(table); },
         {0xC1, 0x06, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 0, 22},
        {"erase media", [] { return new CQvEraseLogicalMedia; },
         {0xC1, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 0, 0},
        {"read sectors", [] { return new CQvReadLogicalDriveSector(7, 512, 0x0102030405060708ull, 0x0A0B0C0D & 0xFF); },
         {0xC0, 0x13, 7, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0x0D, 0}, 0, 0x0D * 512, 0},
        {"write sectors", [] { return new CQvWriteLogicalDriveSector(8, 2048, 0x1122334455ull, 0x10203 & 0x0FFF); },
         {0xC1, 0x23, 8, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0, 2, 3, 0}, 1, 0, 0x203ull * 2048},
        {"set info", [&] { return new CQvSetLogicalDriveInfo(9, 8, version); },
         {0xC1, 0x20, 9, 8, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}, 1, 0, 0},
        {"erase drive", [] { return new CQvEraseLogicalDrive(0x0B); },
         {0xC1, 0x2F, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 0, 0},
        {"inquiry", [] { return new CQvScsiInquiry; }, {0x12, 0, 0, 0, 0x60, 0}, 0, 96, 0},
        {"capacity", [] { return new CQvReadCapacity; }, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 8, 0},
        {"read10", [] { return new CQvRead(0x01020304, 0x0506, 512); },
         {0x28, 0, 1, 2, 3, 4, 0, 5, 6, 0}, 0, 0x0506 * 512, 0},
        {"write10", [] { return new CQvWrite(0xA0B0C0D0, 3, 512); },
         {0x2A, 0, 0xA0, 0xB0, 0xC0, 0xD0, 0, 0, 3, 0}, 1, 0, 1536},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<CQvScsiCommand> command(row.make());
        ASSERT_EQ(command->LastError(), 0);
        EXPECT_EQ(CdbOf(*command), row.cdb);
        EXPECT_EQ(command->Direction(), row.direction);
        EXPECT_EQ(command->ReplyLength(), row.replyLength);
        EXPECT_EQ(command->PayloadLength(), row.payloadLength);
        EXPECT_EQ(command->CdbArray().Count(), row.cdb.size() + row.payloadLength);
    }
}

TEST(CommandCdb, ReplyLengthsFollowTheInformationType)
{
    const std::vector<std::pair<int, size_t>> media = {{0, 2}, {1, 8}, {5, 1}, {6, 4}, {7, 2}, {8, 33}, {9, 1}};
    for (auto [type, length] : media) {
        CQvGetLogicalMediaInfo command(uint8_t(type), 33);
        EXPECT_EQ(command.LastError(), 0) << type;
        EXPECT_EQ(command.ReplyLength(), length) << type;
    }
    for (int type : {2, 3, 4, 10, 255}) {
        CQvGetLogicalMediaInfo command(uint8_t(type), 33);
        EXPECT_EQ(command.LastError(), QV_E_INFO_TYPE) << type;
        EXPECT_EQ(command.ReplyLength(), 0u) << type;
    }
    const size_t drive[] = {4, 4, 8, 4, 8, 4, 1, 48, 48, 1, 2, 77};
    for (int type = 0; type <= 11; ++type) {
        CQvGetLogicalDriveInfo command(1, uint8_t(type), 77);
        EXPECT_EQ(command.LastError(), 0) << type;
        EXPECT_EQ(command.ReplyLength(), drive[type]) << type;
    }
}

TEST(CommandCdb, AllocationPayloadHoldsTenByteEntriesThenZeros)
{
    LogicalMediaTable table = {};
    table.count = 5;
    for (int i = 0; i < 5; ++i)
        table.entries[i] = {uint8_t(0xE0 + i), uint8_t(i == 1 ? 0 : 1), uint8_t(0x10 + i), 0x0000000100000200ull + i};
    CQvAllocateLogicalMedia command(table);
    ASSERT_EQ(command.LastError(), 0);
    command.BuildCdb();
    const CQvByteArray& cdb = command.CdbArray();
    ASSERT_EQ(cdb.Count(), 16u + 55u);
    EXPECT_EQ(cdb.Data()[2], 5);
    for (int i = 0; i < 5; ++i) {
        const uint8_t* entry = cdb.Data() + 16 + 10 * i;
        EXPECT_EQ(entry[0], table.entries[i].driveType);
        EXPECT_EQ(entry[1], table.entries[i].tag);
        EXPECT_EQ(Bytes(entry + 2, entry + 10), (Bytes{0, 0, 0, 1, 0, 0, 2, uint8_t(i)}));
    }
    EXPECT_EQ(Bytes(cdb.Data() + 66, cdb.Data() + 71), Bytes(5, 0));
}

TEST(CommandCdb, ConstructionErrorsComeFirst)
{
    CQvGetLogicalDriveInfo type12(1, 12, 0);
    EXPECT_EQ(type12.LastError(), QV_E_RANGE);
    EXPECT_EQ(type12.ReplyLength(), 0u);
    LogicalMediaTable table = {};
    table.count = 11;
    EXPECT_EQ(CQvAllocateLogicalMedia(table).LastError(), QV_E_INDEX);
    CQvVersionInfo v;
    EXPECT_EQ(CQvSetLogicalDriveInfo(1, 0, v).LastError(), QV_E_INFO_TYPE);
    // Transfers that would wrap or exhaust memory are refused, not allocated.
    EXPECT_EQ(CQvReadLogicalDriveSector(1, 0xFFFFFFFFu, 0, 0xFFFFFFFFu).LastError(), QV_E_NOMEM);
    EXPECT_EQ(CQvRead(0, 0xFFFF, 0xFFFFFFFFu).LastError(), QV_E_NOMEM);
    EXPECT_EQ(CQvGetLogicalDriveInfo(1, 11, 0xFFFFFFFFu).LastError(), QV_E_NOMEM);
}

// ------------------------------------------------------------- reply parsing

TEST(CommandReply, GettersReadTheirFields)
{
    CQvGetChipMajorRevId chip;
    std::unique_ptr<CQvByteArray> r(Reply({0x37, 0x80}));
    ASSERT_EQ(chip.ParseReply(*r), 0);
    uint16_t rev = 0;
    EXPECT_EQ(chip.GetRevision(rev), 0);
    EXPECT_EQ(rev, 0x3780);

    CQvGetLogicalDriveInfo size(1, 0, 0);
    r.reset(Reply({0, 0, 2, 0}));
    size.ParseReply(*r);
    uint32_t sectorSize = 0;
    EXPECT_EQ(size.GetSectorSize(sectorSize), 0);
    EXPECT_EQ(sectorSize, 512u);
    CQvVersionInfo v;
    EXPECT_EQ(size.GetVersion(v), QV_E_INFO_TYPE);

    CQvGetLogicalDriveInfo version(1, 7, 0);
    Bytes bytes(48, 0xEE);
    bytes[0] = 0; bytes[1] = 1; bytes[2] = 0; bytes[3] = 2; bytes[4] = 0x01; bytes[5] = 0x2C;
    r.reset(Reply(bytes));
    version.ParseReply(*r);
    EXPECT_EQ(version.GetVersion(v), 0);
    EXPECT_EQ(v.ToText(), u"001.002.300");
    EXPECT_EQ(version.GetSectorSize(sectorSize), QV_E_INFO_TYPE);

    CQvReadCapacity capacity;
    r.reset(Reply({0, 0, 0x3F, 0xFF, 0, 0, 2, 0}));
    capacity.ParseReply(*r);
    uint32_t last = 0, length = 0;
    EXPECT_EQ(capacity.GetLastBlock(last), 0);
    EXPECT_EQ(capacity.GetBlockLength(length), 0);
    EXPECT_EQ(last, 0x3FFFu);
    EXPECT_EQ(length, 512u);

    CQvGetLogicalMediaInfo other(5, 0);
    r.reset(Reply({1}));
    other.ParseReply(*r);
    uint8_t flag = 0;
    EXPECT_EQ(other.GetFlag(flag), QV_E_INFO_TYPE);
}

TEST(CommandReply, ShortRepliesGiveMinusThree)
{
    std::unique_ptr<CQvByteArray> one(Reply({1})), five(Reply({0, 1, 0, 2, 0})), empty(Reply({}));
    uint16_t v16 = 0;
    uint32_t v32 = 0;
    uint8_t flag = 0;
    CQvVersionInfo version;
    std::string text;

    CQvGetChipMajorRevId chip;
    EXPECT_EQ(chip.GetRevision(v16), QV_E_SHORT); // nothing parsed yet
    chip.ParseReply(*one);
    EXPECT_EQ(chip.GetRevision(v16), QV_E_SHORT);

    CQvGetLogicalMediaInfo media(9, 0);
    media.ParseReply(*empty);
    EXPECT_EQ(media.GetFlag(flag), QV_E_SHORT);

    CQvGetLogicalDriveInfo sector(1, 0, 0);
    sector.ParseReply(*one);
    EXPECT_EQ(sector.GetSectorSize(v32), QV_E_SHORT);

    CQvGetLogicalDriveInfo ver(1, 8, 0);
    ver.ParseReply(*five);
    version.Set(9, 9, 9);
    EXPECT_EQ(ver.GetVersion(version), QV_E_SHORT);
    EXPECT_EQ(version.ToText(), u"009.009.009");

    CQvGetLogicalTable table(10);
    LogicalMediaTable out;
    table.ParseReply(*one);
    EXPECT_EQ(table.GetTable(out), QV_E_SHORT);

    CQvScsiInquiry inquiry;
    std::unique_ptr<CQvByteArray> partial(Reply(Bytes(31, 'x')));
    inquiry.ParseReply(*partial);
    EXPECT_EQ(inquiry.GetVendorId(text), 0);
    EXPECT_EQ(inquiry.GetProductId(text), QV_E_SHORT);
    EXPECT_EQ(inquiry.GetRevision(text), QV_E_SHORT);

    CQvReadCapacity capacity;
    std::unique_ptr<CQvByteArray> seven(Reply(Bytes(7, 0)));
    capacity.ParseReply(*seven);
    EXPECT_EQ(capacity.GetLastBlock(v32), 0);
    EXPECT_EQ(capacity.GetBlockLength(v32), QV_E_SHORT);

    CQvRead read(0, 1, 512);
    read.ParseReply(*five);
    uint8_t buffer[512];
    EXPECT_EQ(read.GetData(buffer, sizeof buffer), QV_E_SHORT);
}

TEST(MediaTable, CountZeroIsAnEmptyTable)
{
    CQvGetLogicalTable command(10);
    Bytes bytes(112, 0xAB);
    bytes[0] = 0;
    bytes[1] = 0;
    std::unique_ptr<CQvByteArray> r(Reply(bytes));
    command.ParseReply(*r);
    LogicalMediaTable table;
    std::memset(&table, 0x5A, sizeof table);
    ASSERT_EQ(command.GetTable(table), 0);
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.entries[0].driveNumber, 0);
    EXPECT_EQ(uint64_t(table.entries[9].size), 0u);
}

TEST(MediaTable, EntriesAreElevenBytesBigEndian)
{
    Bytes bytes = {0, 2,
                   6, 1, 0x50, 0, 0, 0, 0, 0, 0x01, 0x00, 0x00,
                   7, 0, 0x0A, 0, 0, 0, 1, 0, 0, 0, 0};
    std::unique_ptr<CQvByteArray> r(Reply(bytes));
    CQvGetLogicalTable command(10);
    command.ParseReply(*r);
    LogicalMediaTable table;
    ASSERT_EQ(command.GetTable(table), 0);
    ASSERT_EQ(table.count, 2);
    EXPECT_EQ(table.entries[0].driveNumber, 6);
    EXPECT_EQ(table.entries[0].driveType, 1);
    EXPECT_EQ(table.entries[0].tag, 0x50);
    EXPECT_EQ(uint64_t(table.entries[0].size), 0x10000u);
    EXPECT_EQ(table.entries[1].tag, 0x0A);
    EXPECT_EQ(uint64_t(table.entries[1].size), 0x100000000ull);
}

TEST(MediaTable, DeviceCountIsClampedToTableAndReply)
{
    // A count of 300 in a full reply: only ten entries fit the table.
    Bytes full(2 + 11 * 10, 0);
    full[0] = 0x01;
    full[1] = 0x2C;
    for (int i = 0; i < 10; ++i)
        full[2 + 11 * i] = uint8_t(i + 1);
    std::unique_ptr<CQvByteArray> r(Reply(full));
    CQvGetLogicalTable command(10);
    command.ParseReply(*r);
    LogicalMediaTable table;
    ASSERT_EQ(command.GetTable(table), 0);
    EXPECT_EQ(table.count, 10);
    EXPECT_EQ(table.entries[9].driveNumber, 10);

    // A count of 5 in a reply that holds two and a half entries.
    Bytes cut(2 + 11 * 2 + 5, 0x33);
    cut[0] = 0;
    cut[1] = 5;
    r.reset(Reply(cut));
    CQvGetLogicalTable small(10);
    small.ParseReply(*r);
    ASSERT_EQ(small.GetTable(table), 0);
    EXPECT_EQ(table.count, 2);
    EXPECT_EQ(table.entries[2].driveNumber, 0);
}

TEST(Identity, VendorAndProductMatchWithoutCase)
{
    Bytes inquiry(96, 0);
    std::memcpy(&inquiry[8], "vilo    ", 8);
    std::memcpy(&inquiry[16], "LARK            ", 16);
    std::unique_ptr<CQvByteArray> r(Reply(inquiry));
    EXPECT_TRUE(QvIdentityMatches(*r, "Vilo    ", "Lark            "));
    EXPECT_FALSE(QvIdentityMatches(*r, "Vilo    ", "Lark2           "));
    EXPECT_FALSE(QvIdentityMatches(*r, "Viko    ", "Lark            "));
    // An id longer than its field never matches.
    EXPECT_FALSE(QvIdentityMatches(*r, "Vilo     x", "Lark            "));
    std::unique_ptr<CQvByteArray> shortReply(Reply(Bytes(inquiry.begin(), inquiry.begin() + 20)));
    EXPECT_FALSE(QvIdentityMatches(*shortReply, "Vilo    ", "Lark            "));
}

// ------------------------------------------------------------- transport base

TEST(TransportBase, ExecuteParsesDataInReplies)
{
    CTestOwner owner;
    CRecordingTransport transport(&owner);
    transport.answer = {0x12, 0x34};
    CQvGetChipMajorRevId chip;
    ASSERT_EQ(transport.Execute(chip), 0);
    uint16_t rev = 0;
    EXPECT_EQ(chip.GetRevision(rev), 0);
    EXPECT_EQ(rev, 0x1234);
    EXPECT_EQ(transport.replyLengths.back(), 2u);
    EXPECT_EQ(transport.cdbLengths.back(), 16u);
    EXPECT_EQ(transport.directions.back(), 0);
}

TEST(TransportBase, ConstructionErrorSendsNothing)
{
    CTestOwner owner;
    CRecordingTransport transport(&owner);
    CQvGetLogicalDriveInfo type12(1, 12, 0);
    EXPECT_EQ(transport.Execute(type12), QV_E_RANGE);
    EXPECT_TRUE(transport.sent.empty());
}

TEST(TransportBase, WriteWithTooMuchDataGivesMinusTenAndSendsNothing)
{
    CQvWrite write(10, 2, 512);
    Bytes data(1025, 1);
    EXPECT_EQ(write.SetPayload(data.data(), data.size()), QV_E_PAYLOAD);
    CTestOwner owner;
    CRecordingTransport transport(&owner);
    EXPECT_TRUE(transport.sent.empty());
    // The refused command keeps its error and is never sent.
    EXPECT_EQ(transport.Execute(write), QV_E_PAYLOAD);
    EXPECT_TRUE(transport.sent.empty());
    // What does fit goes behind the ten CDB bytes.
    CQvWrite fits(10, 2, 512);
    Bytes exact(1024, 0x5C);
    ASSERT_EQ(fits.SetPayload(exact.data(), exact.size()), 0);
    ASSERT_EQ(transport.Execute(fits), 0);
    ASSERT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(transport.sent[0].size(), 10u + 1024u);
    EXPECT_EQ(transport.sent[0][10], 0x5C);
    EXPECT_EQ(transport.directions[0], 1);
}

TEST(TransportBase, ReadAndWriteCarrySectors)
{
    CTestOwner owner;
    CRecordingTransport transport(&owner);
    Bytes sectors(1024);
    for (size_t i = 0; i < sectors.size(); ++i)
        sectors[i] = uint8_t(i * 7);
    ASSERT_EQ(transport.Write(sectors.data(), 2, 0x20, 512), 0);
    EXPECT_EQ(Bytes(transport.sent[0].begin(), transport.sent[0].begin() + 10),
              (Bytes{0x2A, 0, 0, 0, 0, 0x20, 0, 0, 2, 0}));
    EXPECT_EQ(Bytes(transport.sent[0].begin() + 10, transport.sent[0].end()), sectors);
    transport.answer = sectors;
    Bytes back(1024);
    ASSERT_EQ(transport.Read(back.data(), 2, 0x20, 512), 0);
    EXPECT_EQ(back, sectors);
    EXPECT_EQ(transport.Read(back.data(), 0x10000, 0, 512), QV_E_INDEX);
    EXPECT_EQ(transport.sent.size(), 2u);
}

TEST(TransportBase, CheckConditionRecordsTheStatusText)
{
    CTestOwner owner;
    CRecordingTransport transport(&owner);
    transport.status = 2;
    transport.sense = {0x70, 0, 0x09, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01, 0, 0, 0, 0};
    CQvEraseLogicalMedia erase;
    EXPECT_EQ(transport.Execute(erase), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.LastError(), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.Name(), "CRecordingTransport");
    EXPECT_EQ(owner.info.DetailText(), u"The player's media is write protected.");
    EXPECT_EQ(transport.LastError(), 0);
}

TEST(SenseText, UnknownStatusAndOtherKeys)
{
    CTestResource resource;
    const uint8_t unknown[] = {0x70, 0, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x0E};
    CQvByteArray a(unknown, sizeof unknown);
    EXPECT_EQ(QvSenseText(&a, &resource),
              u"Unknown device status\n0x70, 0x0, 0x9, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x2, 0xe");
    const uint8_t medium[] = {0x70, 0, 0x03, 0};
    CQvByteArray b(medium, sizeof medium);
    EXPECT_EQ(QvSenseText(&b, &resource), u"0x70, 0x0, 0x3, 0x0");
    CQvByteArray none;
    EXPECT_EQ(QvSenseText(&none, &resource), u"");
    EXPECT_EQ(QvSenseText(nullptr, &resource), u"");
    // Sense key 9 without the status bytes is listed, not read past its end.
    const uint8_t cut[] = {0x70, 0, 0x09};
    CQvByteArray c(cut, sizeof cut);
    EXPECT_EQ(QvSenseText(&c, &resource), u"0x70, 0x0, 0x9");
}

TEST(SenseText, KeptSenseLengthIsTakenModulo256)
{
    CTestOwner owner;
    CRecordingTransport transport(&owner);
    Bytes sense(300, 1);
    transport.KeepSense(sense.data(), sense.size());
    ASSERT_NE(transport.LastSense(), nullptr);
    EXPECT_EQ(transport.LastSense()->Count(), 44u);
}

// -------------------------------------------------------- recovery block plan

TEST(RecoveryPlan, BlocksAndLastLength)
{
    QvRecoveryPlan plan;
    ASSERT_EQ(QvPlanRecovery(8192, plan), 0);
    EXPECT_EQ(plan.blocks, 2u);
    EXPECT_EQ(plan.lastLength, 4096u);
    ASSERT_EQ(QvPlanRecovery(4097, plan), 0);
    EXPECT_EQ(plan.blocks, 2u);
    EXPECT_EQ(plan.lastLength, 1u);
    ASSERT_EQ(QvPlanRecovery(1, plan), 0);
    EXPECT_EQ(plan.blocks, 1u);
    EXPECT_EQ(plan.lastLength, 1u);
}

TEST(RecoveryPlan, EmptyImageIsRefused)
{
    QvRecoveryPlan plan;
    EXPECT_EQ(QvPlanRecovery(0, plan), QV_E_RECOVERY_WRITE);
    EXPECT_EQ(plan.blocks, 0u);
}

TEST(VersionClass, WindowsVersionsChooseTheTransport)
{
    EXPECT_EQ(QvWindowsVersionClass(4, 0), 0);  // NT 4.0 goes with 95/98
    EXPECT_EQ(QvWindowsVersionClass(4, 10), 0);
    EXPECT_EQ(QvWindowsVersionClass(4, 11), 6);
    EXPECT_EQ(QvWindowsVersionClass(4, 89), 6);
    EXPECT_EQ(QvWindowsVersionClass(4, 90), 1);
    EXPECT_EQ(QvWindowsVersionClass(5, 0), 2);
    EXPECT_EQ(QvWindowsVersionClass(5, 1), 3);
    EXPECT_EQ(QvWindowsVersionClass(5, 2), 3);
    EXPECT_EQ(QvWindowsVersionClass(6, 0), 6);
    EXPECT_EQ(QvWindowsVersionClass(3, 51), 6);
}
