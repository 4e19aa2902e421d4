// The NT line's transport, discovery and the recovery-mode device, run
// against the simulated player through the device seam.
#include "SimDeviceIo.h"
#include "UpdaterTestOwners.h"
#include "qv/QvRecoveryDev.h"
#include "qv/QvScsi_Nt.h"
#include "qv/QvErrors.h"
#include "qv/QvTransportFactory.h"
#include <gtest/gtest.h>
#include <algorithm>

namespace {

class NtTransport : public ::testing::Test {
protected:
    NtTransport() : transport(&owner, &io)
    {
        io.volumes[L'U'] = &player;
        io.extraDrives |= 1u << ('U' - 'A');
        io.driveTypes[L'U'] = DRIVE_REMOVABLE;
        transport.SetDriveLetter(u'U');
    }
    SCSI_PASS_THROUGH Header(size_t i) const
    {
        SCSI_PASS_THROUGH h;
        std::memcpy(&h, io.passThroughs.at(i).buffer.data(), sizeof h);
        return h;
    }
    bool Opened(const wchar_t* path) const
    {
        return std::find(io.opened.begin(), io.opened.end(), std::wstring(path)) != io.opened.end();
    }
    CSimPlayerTarget player;
    CSimDeviceIo io;
    CTestOwner owner;
    CQvScsi_Nt transport;
};

} // namespace

// ------------------------------------------------------------- pass-through

TEST_F(NtTransport, DataInBlockLayout)
{
    CQvScsiInquiry inquiry;
    ASSERT_EQ(transport.Execute(inquiry), 0);
    ASSERT_EQ(io.passThroughs.size(), 1u);
    const auto& call = io.passThroughs[0];
    SCSI_PASS_THROUGH h = Header(0);
    EXPECT_EQ(h.Length, sizeof(SCSI_PASS_THROUGH));
    EXPECT_EQ(h.CdbLength, 6);
    EXPECT_EQ(h.SenseInfoLength, 18);
    EXPECT_EQ(h.DataIn, 1);
    EXPECT_EQ(h.DataTransferLength, 96u);
    EXPECT_EQ(h.TimeOutValue, 120u);
    EXPECT_EQ(h.DataBufferOffset, QV_SPT_DATA_AT);
    EXPECT_EQ(h.SenseInfoOffset, QV_SPT_SENSE_AT);
    EXPECT_EQ(std::vector<uint8_t>(h.Cdb, h.Cdb + 6), (std::vector<uint8_t>{0x12, 0, 0, 0, 0x60, 0}));
    EXPECT_EQ(call.inLength, QV_SPT_DATA_AT + 96 + 1);
    EXPECT_EQ(call.outLength, call.inLength);
    uint32_t total = 0, zero = 1;
    std::memcpy(&total, call.buffer.data() + QV_SPT_HEADER, 4);
    std::memcpy(&zero, call.buffer.data() + QV_SPT_HEADER + 4, 4);
    EXPECT_EQ(total, call.inLength);
    EXPECT_EQ(zero, 0u);
    std::string vendor, product;
    EXPECT_EQ(inquiry.GetVendorId(vendor), 0);
    EXPECT_EQ(inquiry.GetProductId(product), 0);
    EXPECT_EQ(vendor, "Vilo    ");
    EXPECT_EQ(product, "Lark            ");
}

TEST_F(NtTransport, DataOutCarriesThePayloadAndNoPayloadMeansLengthZero)
{
    CQvEraseLogicalMedia erase;
    ASSERT_EQ(transport.Execute(erase), 0);
    SCSI_PASS_THROUGH h = Header(0);
    EXPECT_EQ(h.DataIn, 0);
    EXPECT_EQ(h.DataTransferLength, 0u);
    EXPECT_EQ(h.CdbLength, 16);
    EXPECT_EQ(io.passThroughs[0].inLength, QV_SPT_DATA_AT + 1);

    player.MakeFactoryLayout();
    uint8_t drive = player.DriveByTag(1, 0x50)->number;
    auto data = Pattern(2048);
    CQvWriteLogicalDriveSector write(drive, 2048, 3, 1);
    ASSERT_EQ(write.SetPayload(data.data(), data.size()), 0);
    ASSERT_EQ(transport.Execute(write), 0);
    h = Header(1);
    EXPECT_EQ(h.DataIn, 0);
    EXPECT_EQ(h.DataTransferLength, 2048u);
    const auto& block = io.passThroughs[1].buffer;
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + QV_SPT_DATA_AT, block.begin() + QV_SPT_DATA_AT + 2048), data);

    CQvReadLogicalDriveSector read(drive, 2048, 3, 1);
    ASSERT_EQ(transport.Execute(read), 0);
    std::vector<uint8_t> back(2048);
    ASSERT_EQ(read.GetData(back.data(), back.size()), 0);
    EXPECT_EQ(back, data);
}

TEST_F(NtTransport, ReadAndWriteSectorsOfTheVolume)
{
    auto data = Pattern(1024);
    ASSERT_EQ(transport.Write(data.data(), 2, 40, 512), 0);
    std::vector<uint8_t> back(1024);
    ASSERT_EQ(transport.Read(back.data(), 2, 40, 512), 0);
    EXPECT_EQ(back, data);
    auto log = player.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].opcode, 0x2A);
    EXPECT_EQ(log[0].lba, 40u);
    EXPECT_EQ(log[0].count, 2u);
    EXPECT_EQ(log[1].opcode, 0x28);
}

TEST_F(NtTransport, CheckConditionGivesMinus23WithTheStatusText)
{
    player.faults.checkCondition = true;
    player.faults.checkOpcode = 0xC1;
    player.faults.statusCode = 0x0401;
    CQvEraseLogicalMedia erase;
    EXPECT_EQ(transport.Execute(erase), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.LastError(), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.Name(), "CQvScsi_Nt");
    EXPECT_EQ(owner.info.DetailText(), u"The player's media is write protected.");
    EXPECT_EQ(transport.LastError(), 0);
    EXPECT_EQ(transport.SystemError(), 0u);
    ASSERT_NE(transport.LastSense(), nullptr);
    uint16_t code = 0;
    EXPECT_EQ(transport.LastSense()->GetU16BE(code, 12), 0);
    EXPECT_EQ(code, 0x0401);

    player.faults.statusCode = 0x020E;
    player.faults.senseKey = 9;
    EXPECT_EQ(transport.Execute(erase), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.DetailText().substr(0, 22), u"Unknown device status\n");
}

TEST_F(NtTransport, SenseLengthFromTheDriverIsClampedToTheSenseArea)
{
    io.reportedSenseLength = 200;
    player.faults.checkCondition = true;
    player.faults.senseKey = 3;
    CQvGetChipMajorRevId chip;
    EXPECT_EQ(transport.Execute(chip), QV_E_SCSI_STATUS);
    ASSERT_NE(transport.LastSense(), nullptr);
    EXPECT_EQ(transport.LastSense()->Count(), 18u);
    EXPECT_EQ(owner.info.DetailText().substr(0, 15), u"0x70, 0x0, 0x3,");
}

TEST_F(NtTransport, FailedIoctlGivesMinus25WithTheSystemError)
{
    io.failPassThrough = true;
    CQvGetChipMajorRevId chip;
    EXPECT_EQ(transport.Execute(chip), QV_E_IOCTL);
    EXPECT_EQ(owner.info.LastError(), QV_E_IOCTL);
    EXPECT_EQ(owner.info.SystemError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(transport.LastError(), 0);
}

TEST_F(NtTransport, UnopenableVolumeGivesMinus24)
{
    transport.SetDriveLetter(u'W');
    CQvGetChipMajorRevId chip;
    EXPECT_EQ(transport.Execute(chip), QV_E_OPEN);
    EXPECT_EQ(transport.SystemError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(io.passThroughs.empty());
}

TEST_F(NtTransport, TableCountAboveTenIsClampedToWhatCameBack)
{
    player.faults.tableCount = 300;
    CQvGetLogicalTable command(10);
    ASSERT_EQ(transport.Execute(command), 0);
    LogicalMediaTable table;
    ASSERT_EQ(command.GetTable(table), 0);
    EXPECT_EQ(table.count, 10); // no more than the table and the reply hold
    EXPECT_EQ(table.entries[1].tag, 0x0A);
    EXPECT_EQ(table.entries[5].driveNumber, 0);
}

TEST_F(NtTransport, UnreadableTableIsACheckCondition)
{
    player.faults.unreadableTable = true;
    CQvGetLogicalTable command(10);
    EXPECT_EQ(transport.Execute(command), QV_E_SCSI_STATUS);
    EXPECT_EQ(command.Reply(), nullptr);
}

TEST_F(NtTransport, ASlotNumberIsNotADriveNumber)
{
    // The player numbers its drives itself: slot 3 means nothing to it.
    CQvGetLogicalDriveInfo bySlot(3, 0, 0);
    EXPECT_EQ(transport.Execute(bySlot), QV_E_SCSI_STATUS);
    CQvGetLogicalDriveInfo byNumber(player.DriveByTag(1, 0x00)->number, 0, 0);
    ASSERT_EQ(transport.Execute(byNumber), 0);
    uint32_t size = 0;
    EXPECT_EQ(byNumber.GetSectorSize(size), 0);
    EXPECT_EQ(size, 2048u);
}

// ------------------------------------------------------- lock and dismount

TEST_F(NtTransport, BusyLockGivesMinus31AfterTenTries)
{
    player.faults.busyLocks = -1;
    ASSERT_EQ(transport.Open(), 0);
    DWORD start = GetTickCount();
    EXPECT_EQ(transport.LockVolume(0), QV_E_LOCK);
    DWORD elapsed = GetTickCount() - start;
    auto log = player.Log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const SimRecord& r) { return r.kind == SimRecord::LOCK; }), 10);
    EXPECT_GE(elapsed, 900u);
    EXPECT_EQ(transport.SystemError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(NtTransport, LockSucceedsOnceTheVolumeIsFree)
{
    player.faults.busyLocks = 3;
    ASSERT_EQ(transport.Open(), 0);
    EXPECT_EQ(transport.LockVolume(0), 0);
    EXPECT_EQ(transport.ReleaseAfterFormat(0), 0); // dismounts on this line
    EXPECT_EQ(transport.UnlockVolume(0), 0);
    EXPECT_EQ(transport.UnlockVolume(0), QV_E_UNLOCK); // no longer locked
    EXPECT_EQ(transport.LockForFormat(0), 0);
    auto log = player.Log();
    std::vector<SimRecord::Kind> kinds;
    for (auto& r : log)
        kinds.push_back(r.kind);
    std::vector<SimRecord::Kind> expected = {SimRecord::LOCK, SimRecord::LOCK, SimRecord::LOCK, SimRecord::LOCK,
                                             SimRecord::DISMOUNT, SimRecord::UNLOCK};
    expected.insert(expected.end(), 10, SimRecord::UNLOCK);
    EXPECT_EQ(kinds, expected);
}

TEST_F(NtTransport, DriveLayoutDescribesOnePartition)
{
    CQvByteArray mbr(512), boot(512);
    mbr.SetAt(0x1BE + 12, 0x00);
    mbr.SetAt(0x1BE + 13, 0x40); // 0x4000 sectors
    boot.SetAt(0x0B, 0x00);
    boot.SetAt(0x0C, 0x02);      // 512 bytes each
    boot.SetAt(0x1C, 0x3F);      // 63 hidden
    ASSERT_EQ(transport.SetDriveLayout(mbr, boot), 0);
    std::vector<uint8_t> layout = player.LastLayout();
    ASSERT_EQ(layout.size(), 40u);
    DRIVE_LAYOUT_INFORMATION info;
    std::memcpy(&info, layout.data(), sizeof info);
    EXPECT_EQ(info.PartitionCount, 1u);
    EXPECT_EQ(info.Signature, 1u);
    const PARTITION_INFORMATION& p = info.PartitionEntry[0];
    EXPECT_EQ(p.StartingOffset.QuadPart, 0);
    EXPECT_EQ(p.PartitionLength.QuadPart, LONGLONG(0x4000 + 63) * 512);
    EXPECT_EQ(p.HiddenSectors, 0u);
    EXPECT_EQ(p.PartitionNumber, 1u);
    EXPECT_EQ(p.PartitionType, 4);
    EXPECT_FALSE(p.BootIndicator);
    EXPECT_TRUE(p.RecognizedPartition);
    EXPECT_TRUE(p.RewritePartition);
    EXPECT_EQ(transport.SetDriveLayout(CQvByteArray(10), boot), QV_E_SHORT);
}

// ---------------------------------------------------------------- discovery

TEST_F(NtTransport, DiscoveryNeverProbesAOrFixedDrives)
{
    // A: and a fixed D: both answer as players, yet neither is opened.
    io.volumes[L'A'] = &player;
    io.volumes[L'D'] = &player;
    io.extraDrives |= 1u | 1u << 3;
    io.driveTypes[L'A'] = DRIVE_REMOVABLE;
    io.driveTypes[L'D'] = DRIVE_FIXED;
    transport.SetDriveLetter(0);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'U');
    EXPECT_FALSE(Opened(L"\\\\.\\A:"));
    EXPECT_FALSE(Opened(L"\\\\.\\C:"));
    EXPECT_FALSE(Opened(L"\\\\.\\D:"));
    EXPECT_TRUE(Opened(L"\\\\.\\U:"));
    EXPECT_EQ(io.openHandles(), 0);
    // INQUIRY, then the player question of media information type 9.
    auto log = player.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].opcode, 0x12);
    EXPECT_EQ(log[1].opcode, 0xC0);
    EXPECT_EQ(log[1].subcommand, 0x02);
}

TEST_F(NtTransport, DiscoveryMatchesALowerCaseVendor)
{
    player.vendor = "vilo    ";
    player.product = "LARK            ";
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'U');
}

TEST_F(NtTransport, DiscoveryTakesTheLowerOfTwoPlayers)
{
    CSimPlayerTarget second;
    io.volumes[L'V'] = &second;
    io.extraDrives |= 1u << ('V' - 'A');
    io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'U');
    EXPECT_TRUE(second.Log().empty());
    // With U: gone, the other player is found.
    player.faults.notPlayer = true;
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'V');
}

TEST_F(NtTransport, DiscoveryWithoutAPlayerGivesMinus22)
{
    CSimPlayerTarget other;
    other.product = "Other           ";
    io.volumes[L'V'] = &other;
    io.extraDrives |= 1u << ('V' - 'A');
    io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    player.faults.notPlayer = true;
    EXPECT_EQ(transport.ScanDrivesByInquiry(), QV_E_NO_DEVICE);
    EXPECT_EQ(transport.DriveLetter(), 0);
    EXPECT_EQ(io.openHandles(), 0);
    // The other unit was asked who it is, and nothing more.
    ASSERT_EQ(other.Log().size(), 1u);
    EXPECT_EQ(other.Log()[0].opcode, 0x12);
}

TEST(TransportFactory, XpGetsThePassThroughTransport)
{
    CTestOwner owner;
    CSimDeviceIo io;
    std::unique_ptr<CQvScsiTransport> transport;
    EXPECT_EQ(QvCurrentVersionClass(), 3);
    ASSERT_EQ(QvCreateTransport(&owner, &io, transport), 0);
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->Name(), "CQvScsi_Nt");
    EXPECT_EQ(QvCreateTransportForClass(2, &owner, &io, transport), 0);
    EXPECT_EQ(transport->Name(), "CQvScsi_Nt");
    // Versions after the 5.x line have no transport.
    EXPECT_EQ(QvCreateTransportForClass(6, &owner, &io, transport), QV_E_NO_TRANSPORT);
    EXPECT_EQ(transport, nullptr);
}

// ------------------------------------------------------------ recovery mode

namespace {
class Recovery : public ::testing::Test {
protected:
    Recovery() : recovery(&io) { io.recoveryDevices[3] = &device; }
    int Stream(size_t size)
    {
        image = Pattern(size);
        device.expectedSize = size;
        int r = recovery.Open();
        if (r != 0)
            return r;
        recovery.AttachComponent(std::make_unique<CMemoryImage>(image));
        return recovery.StreamComponent(&progress);
    }
    CSimDeviceIo io;
    CSimRecoveryDevice device;
    CQvRecoveryDev recovery;
    CTestProgress progress;
    std::vector<uint8_t> image;
};
} // namespace

TEST_F(Recovery, ImageOf8192BytesGoesAsTwoFullBlocks)
{
    ASSERT_EQ(Stream(8192), 0);
    EXPECT_EQ(device.WriteLengths(), (std::vector<uint32_t>{4096, 4096}));
    EXPECT_EQ(device.Received(), image);
    EXPECT_TRUE(device.PlayerBack());
    EXPECT_EQ(recovery.DevicePath(), L"\\\\.\\QvMp3RecDevice3");
    EXPECT_EQ(progress.phases, (std::vector<std::pair<int, int>>{{1, 2}}));
    EXPECT_EQ(progress.steps, 2);
    EXPECT_EQ(io.openHandles(), 0);
}

TEST_F(Recovery, ImageOf4097BytesEndsWithAOneByteBlock)
{
    ASSERT_EQ(Stream(4097), 0);
    EXPECT_EQ(device.WriteLengths(), (std::vector<uint32_t>{4096, 1}));
    EXPECT_EQ(device.Received(), image);
    EXPECT_TRUE(device.PlayerBack());
    EXPECT_EQ(progress.steps, 2);
}

TEST_F(Recovery, ThePlayerComesBackAsADriveAfterTheImage)
{
    CSimPlayerTarget player;
    io.comeBackLetter = L'V';
    io.comeBackPlayer = &player;
    io.extraDrives |= 1u << ('V' - 'A');
    io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    CTestOwner owner;
    CQvScsi_Nt transport(&owner, &io);
    EXPECT_EQ(transport.ScanDrivesByInquiry(), QV_E_NO_DEVICE);
    ASSERT_EQ(Stream(3 * 4096 + 100), 0);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'V');
}

TEST_F(Recovery, NoDeviceGivesMinus14AfterAHundredNames)
{
    io.recoveryDevices.clear();
    EXPECT_EQ(recovery.Open(), QV_E_NO_RECOVERY_DEVICE);
    ASSERT_EQ(io.opened.size(), 100u);
    EXPECT_EQ(io.opened.front(), L"\\\\.\\QvMp3RecDevice0");
    EXPECT_EQ(io.opened.back(), L"\\\\.\\QvMp3RecDevice99");
    EXPECT_EQ(recovery.SystemError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Recovery, SlowDeviceGivesMinus16AndTheCancelledWriteCompletesFirst)
{
    device.delayMs = 5000;
    DWORD start = GetTickCount();
    EXPECT_EQ(Stream(8192), QV_E_RECOVERY_TIMEOUT);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 950u);
    EXPECT_EQ(io.cancels, 1);
    EXPECT_EQ(io.writesIssued, 1);
    // The completion of the cancelled write ran before the stream returned,
    // while its OVERLAPPED and buffer were still alive.
    EXPECT_EQ(io.completionsRun, 1);
}

TEST_F(Recovery, ShortWriteGivesMinus13)
{
    device.shortBy = 1;
    EXPECT_EQ(Stream(8192), QV_E_RECOVERY_WRITE);
    EXPECT_EQ(device.WriteLengths().size(), 1u);
    EXPECT_FALSE(device.PlayerBack());
}

TEST_F(Recovery, EmptyImageIsRefusedWithoutWriting)
{
    EXPECT_EQ(Stream(0), QV_E_RECOVERY_WRITE);
    EXPECT_EQ(io.writesIssued, 0);
    EXPECT_TRUE(progress.phases.empty());
}
