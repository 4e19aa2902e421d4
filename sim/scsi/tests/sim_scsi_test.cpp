// The simulated player's SCSI target: what it answers, how its media model
// changes, which faults it injects and what its recorder keeps.
#include "simscsi/SimPlayerTarget.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Vendor(uint8_t op, uint8_t sub, uint8_t b2 = 0, uint8_t b3 = 0)
{
    Bytes cdb(16, 0);
    cdb[0] = op;
    cdb[1] = sub;
    cdb[2] = b2;
    cdb[3] = b3;
    return cdb;
}

struct Result {
    uint8_t status;
    Bytes data;
    Bytes sense;
};

Result Exec(CSimPlayerTarget& t, const Bytes& cdb, bool in, Bytes data)
{
    Result r;
    r.sense.assign(18, 0);
    size_t got = 0;
    r.status = t.Execute(cdb.data(), cdb.size(), in, data.data(), data.size(), r.sense.data(), &got);
    r.data = data;
    return r;
}

std::string Shell(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        out += "rc=" + std::to_string(WEXITSTATUS(pclose(p)));
    return out;
}
} // namespace

TEST(SimIdentity, InquiryCarriesVendorProductAndRevision)
{
    CSimPlayerTarget t;
    Result r = Exec(t, {0x12, 0, 0, 0, 0x60, 0}, true, Bytes(96));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(std::string(r.data.begin() + 8, r.data.begin() + 16), "Vilo    ");
    EXPECT_EQ(std::string(r.data.begin() + 16, r.data.begin() + 32), "Lark            ");
    EXPECT_EQ(std::string(r.data.begin() + 32, r.data.begin() + 36), "1.00");
    Result flag = Exec(t, Vendor(0xC0, 0x02, 9), true, Bytes(1));
    EXPECT_EQ(flag.data[0], 1);
    t.faults.notPlayer = true;
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x02, 9), true, Bytes(1)).data[0], 0);
}

TEST(SimMedia, FactoryTableNumbersDrivesApartFromSlots)
{
    CSimPlayerTarget t;
    Result r = Exec(t, Vendor(0xC0, 0x05, 10), true, Bytes(112));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.data[1], 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_GE(r.data[2 + 11 * i], 5) << "drive numbers must not look like component slots";
    EXPECT_EQ(r.data[2 + 11 + 1], 0);    // second entry: the data drive
    EXPECT_EQ(r.data[2 + 11 + 2], 0x0A);
}

TEST(SimMedia, EraseAllocateAndTheNewTable)
{
    CSimPlayerTarget t;
    ASSERT_EQ(Exec(t, Vendor(0xC1, 0x07), false, Bytes()).status, 0);
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x05, 10), true, Bytes(112)).data[1], 0);
    Bytes payload(22, 0);
    payload[0] = 1; payload[1] = 0x01; payload[2 + 5] = 0x01; payload[2 + 6] = 0x00; payload[2 + 7] = 0x01; // 65537 bytes
    payload[10] = 0; payload[11] = 0x0A;
    ASSERT_EQ(Exec(t, Vendor(0xC1, 0x06, 2), false, payload).status, 0);
    Result table = Exec(t, Vendor(0xC0, 0x05, 10), true, Bytes(112));
    ASSERT_EQ(table.data[1], 2);
    SimDrive* sys = t.DriveByTag(1, 0x01);
    ASSERT_NE(sys, nullptr);
    EXPECT_EQ(sys->size, 67584u); // rounded up to whole 2048-byte sectors
    EXPECT_EQ(t.DriveByTag(0, 0)->size, t.capacity - 67584u);
    t.faults.undersizedAllocation = true;
    Exec(t, Vendor(0xC1, 0x07), false, Bytes());
    Exec(t, Vendor(0xC1, 0x06, 2), false, payload);
    EXPECT_EQ(t.DriveByTag(1, 0x01)->size, 67584u / 2);
}

TEST(SimMedia, DriveSectorsVersionsAndSizes)
{
    CSimPlayerTarget t;
    uint8_t drive = t.DriveByTag(1, 0x00)->number;
    Bytes write = Vendor(0xC1, 0x23, drive);
    write[14] = 2; // two sectors
    Bytes data(4096);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 3);
    ASSERT_EQ(Exec(t, write, false, data).status, 0);
    Bytes read = write;
    read[0] = 0xC0;
    read[1] = 0x13;
    EXPECT_EQ(Exec(t, read, true, Bytes(4096)).data, data);
    t.faults.corruptReadBack = true;
    EXPECT_NE(Exec(t, read, true, Bytes(4096)).data, data);

    Bytes set = Vendor(0xC1, 0x20, drive, 7);
    set[4] = 0; set[5] = 3; set[6] = 0; set[7] = 4; set[8] = 0; set[9] = 5;
    ASSERT_EQ(Exec(t, set, false, Bytes()).status, 0);
    Result v = Exec(t, Vendor(0xC0, 0x12, drive, 7), true, Bytes(48));
    EXPECT_EQ(Bytes(v.data.begin(), v.data.begin() + 6), (Bytes{0, 3, 0, 4, 0, 5}));
    Result size = Exec(t, Vendor(0xC0, 0x12, drive, 0), true, Bytes(4));
    EXPECT_EQ(size.data, (Bytes{0, 0, 8, 0}));
    t.faults.zeroSectorSize = true;
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x12, drive, 0), true, Bytes(4)).data, Bytes(4, 0));
    // A drive number the player does not have is refused.
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x12, 3, 0), true, Bytes(4)).status, 2);
}

TEST(SimFaults, CheckConditionTableAndCount)
{
    CSimPlayerTarget t;
    t.faults.checkCondition = true;
    t.faults.checkOpcode = 0xC1;
    t.faults.checkSubcommand = 0x07;
    t.faults.statusCode = 0x0401;
    Result r = Exec(t, Vendor(0xC1, 0x07), false, Bytes());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.sense[2], 9);
    EXPECT_EQ(r.sense[12], 0x04);
    EXPECT_EQ(r.sense[13], 0x01);
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x30), true, Bytes(2)).status, 0);
    t.faults = SimFaults();
    t.faults.tableCount = 200;
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x05, 10), true, Bytes(112)).data[1], 200);
    t.faults.unreadableTable = true;
    EXPECT_EQ(Exec(t, Vendor(0xC0, 0x05, 10), true, Bytes(112)).status, 2);
    t.faults = SimFaults();
    t.faults.busyLocks = 2;
    EXPECT_FALSE(t.Lock());
    EXPECT_FALSE(t.Lock());
    EXPECT_TRUE(t.Lock());
    EXPECT_TRUE(t.Locked());
}

TEST(SimRecorder, KeepsCommandsAndVolumeCallsInOrder)
{
    CSimPlayerTarget t;
    Bytes read = Vendor(0xC0, 0x13, 9);
    read[10] = 5;  // first sector 5
    read[14] = 1;
    Exec(t, read, true, Bytes(2048));
    t.Lock();
    Exec(t, {0x28, 0, 0, 0, 0, 7, 0, 0, 2, 0}, true, Bytes(1024));
    t.Dismount();
    uint8_t layout[40] = {1};
    t.SetDriveLayout(layout, sizeof layout);
    t.Unlock();
    auto log = t.Log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].opcode, 0xC0);
    EXPECT_EQ(log[0].subcommand, 0x13);
    EXPECT_EQ(log[0].drive, 9);
    EXPECT_EQ(log[0].lba, 5u);
    EXPECT_EQ(log[0].count, 1u);
    EXPECT_EQ(log[1].kind, SimRecord::LOCK);
    EXPECT_EQ(log[2].opcode, 0x28);
    EXPECT_EQ(log[2].lba, 7u);
    EXPECT_EQ(log[2].count, 2u);
    EXPECT_EQ(log[3].kind, SimRecord::DISMOUNT);
    EXPECT_EQ(log[4].kind, SimRecord::LAYOUT);
    EXPECT_EQ(log[5].kind, SimRecord::UNLOCK);
    EXPECT_EQ(t.LastLayout().size(), 40u);
}

TEST(SimVolume, DataDriveImageStaysAValidFatVolume)
{
    char dir[] = "/tmp/simscsi.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string image = std::string(dir) + "/data.img";
    ASSERT_NE(Shell(std::string(MKFS_FAT) + " -C -F 16 -s 1 -n LARK " + image + " 8192 >/dev/null 2>&1").find("rc=0"),
              std::string::npos);
    CSimPlayerTarget t;
    ASSERT_TRUE(t.AttachDataImage(image));
    Result cap = Exec(t, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, Bytes(8));
    EXPECT_EQ(cap.data, (Bytes{0, 0, 0x3F, 0xFF, 0, 0, 2, 0}));
    Result boot = Exec(t, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, true, Bytes(512));
    ASSERT_EQ(boot.status, 0);
    EXPECT_EQ(boot.data[510], 0x55);
    EXPECT_EQ(boot.data[511], 0xAA);
    // A new volume serial number in the boot sector, through WRITE(10).
    const uint8_t serial[] = {0x78, 0x56, 0x34, 0x12};
    std::memcpy(&boot.data[39], serial, 4);
    ASSERT_EQ(Exec(t, {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, false, boot.data).status, 0);
    EXPECT_NE(Shell(std::string(FSCK_FAT) + " -n " + image + " 2>&1").find("rc=0"), std::string::npos);
    EXPECT_NE(Shell("MTOOLS_SKIP_CHECK=1 minfo -i " + image + " :: 2>&1").find("serial number: 12345678"), std::string::npos);
    // Past the end of the volume is refused.
    EXPECT_EQ(Exec(t, {0x28, 0, 0, 0, 0x40, 0, 0, 0, 1, 0}, true, Bytes(512)).status, 2);
    Shell("rm -rf " + std::string(dir));
}

TEST(SimRecovery, PlayerComesBackAfterTheWholeImage)
{
    CSimRecoveryDevice dev;
    dev.expectedSize = 4097;
    Bytes block(4096, 7);
    EXPECT_EQ(dev.Write(block.data(), 4096), 4096u);
    EXPECT_FALSE(dev.PlayerBack());
    EXPECT_EQ(dev.Write(block.data(), 1), 1u);
    EXPECT_TRUE(dev.PlayerBack());
    EXPECT_EQ(dev.WriteLengths(), (std::vector<uint32_t>{4096, 1}));
    CSimRecoveryDevice shortDev;
    shortDev.shortBy = 10;
    EXPECT_EQ(shortDev.Write(block.data(), 4096), 4086u);
}
