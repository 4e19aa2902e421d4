// The player's media through the stand-in driver: sectors of \\.\O: served
// from an image file, the updater's NT transport making its real calls
// (CreateFileW, DeviceIoControl) on the driver's volume, and the recovery
// device taking the firmware through WriteFileEx.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "SimDriverClient.h"
#include "qv/QvErrors.h"
#include "qv/QvRecoveryDev.h"
#include "qv/QvScsi_Nt.h"
#include "UpdaterTestOwners.h"

using namespace vilosim;

namespace {

constexpr DWORD SECTOR = 512;
constexpr DWORD IMAGE_SECTORS = 2048; // 1 MB

std::string ScratchFolder()
{
    std::string path = "Z:" VILOSIM_SCRATCH_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD got = 0;
    if (size && (!ReadFile(file, bytes.data(), size, &got, nullptr) || got != size))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
    CloseHandle(file);
    return ok;
}

// Every byte of the image differs from its neighbours' sectors, so a read
// from the wrong place cannot pass.
std::vector<unsigned char> ImagePattern()
{
    std::vector<unsigned char> bytes(IMAGE_SECTORS * SECTOR);
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / SECTOR * 13 + 1);
    return bytes;
}

HANDLE OpenVolume(DWORD access = GENERIC_READ | GENERIC_WRITE)
{
    return CreateFileA("\\\\.\\O:", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool ReadAt(HANDLE volume, ULONGLONG offset, void* buffer, DWORD length, DWORD* got)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ReadFile(volume, buffer, length, got, &at) != FALSE;
}

bool WriteAt(HANDLE volume, ULONGLONG offset, const void* buffer, DWORD length, DWORD* put)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return WriteFile(volume, buffer, length, put, &at) != FALSE;
}

struct MediaTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        image = ScratchFolder() + "\\media-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".img";
        pattern = ImagePattern();
        ASSERT_TRUE(WriteWholeFile(image, pattern));
        ASSERT_TRUE(sim.SetImage(image));
    }
    void TearDown() override
    {
        // The next program finds the player as a fresh prefix has it.
        sim.SetImage("");
        sim.Reset();
        SimVolumeState state = {};
        sim.GetVolume(&state);
        DeleteFileA(image.c_str());
    }
    std::vector<SimScsiRecord> Log()
    {
        std::vector<SimScsiRecord> log;
        EXPECT_TRUE(sim.GetScsiLog(&log));
        return log;
    }
    CSimDriverClient sim;
    std::string image;
    std::vector<unsigned char> pattern;
};

} // namespace

// ------------------------------------------------------------- raw sectors

TEST_F(MediaTest, ReadOfSectorZeroTouchesExactlyTheFirst512Bytes)
{
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> sector(SECTOR + 16, 0xEE);
    DWORD got = 0;
    ASSERT_TRUE(ReadAt(volume, 0, sector.data(), SECTOR, &got)) << GetLastError();
    EXPECT_EQ(got, SECTOR);
    EXPECT_TRUE(std::equal(sector.begin(), sector.begin() + SECTOR, pattern.begin()));
    EXPECT_EQ(sector[SECTOR], 0xEE); // nothing beyond the sector asked for
    // A sector far in: the offset's high part is honoured, not wrapped.
    ASSERT_TRUE(ReadAt(volume, 1500ull * SECTOR, sector.data(), SECTOR, &got));
    EXPECT_TRUE(std::equal(sector.begin(), sector.begin() + SECTOR, pattern.begin() + 1500 * SECTOR));
    SimVolumeState state = {};
    ASSERT_TRUE(sim.GetVolume(&state));
    EXPECT_EQ(state.State, SIM_VOLUME_IMAGE);
    EXPECT_EQ(state.ImageBytes, pattern.size());
    EXPECT_EQ(state.Reads, 2u);
    CloseHandle(volume);
    EXPECT_EQ(ReadWholeFile(image), pattern);
}

TEST_F(MediaTest, WritesLandAtTheirOffsetAndTheImageNeverGrows)
{
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> two(2 * SECTOR);
    for (size_t i = 0; i < two.size(); i++)
        two[i] = static_cast<unsigned char>(0xA0 ^ i);
    DWORD put = 0;
    ASSERT_TRUE(WriteAt(volume, 37ull * SECTOR, two.data(), 2 * SECTOR, &put)) << GetLastError();
    EXPECT_EQ(put, 2 * SECTOR);
    // The last sector can be written; past it and partial sectors are refused.
    ASSERT_TRUE(WriteAt(volume, (IMAGE_SECTORS - 1ull) * SECTOR, two.data(), SECTOR, &put));
    EXPECT_FALSE(WriteAt(volume, (IMAGE_SECTORS - 1ull) * SECTOR, two.data(), 2 * SECTOR, &put));
    EXPECT_FALSE(WriteAt(volume, 1ull * IMAGE_SECTORS * SECTOR, two.data(), SECTOR, &put));
    EXPECT_FALSE(WriteAt(volume, 100, two.data(), SECTOR, &put));
    EXPECT_FALSE(WriteAt(volume, 0, two.data(), 100, &put));
    std::vector<unsigned char> back(2 * SECTOR);
    DWORD got = 0;
    ASSERT_TRUE(ReadAt(volume, 37ull * SECTOR, back.data(), 2 * SECTOR, &got));
    EXPECT_EQ(back, two);
    CloseHandle(volume);

    std::vector<unsigned char> expected = pattern;
    std::copy(two.begin(), two.end(), expected.begin() + 37 * SECTOR);
    std::copy(two.begin(), two.begin() + SECTOR, expected.end() - SECTOR);
    std::vector<unsigned char> now = ReadWholeFile(image);
    EXPECT_EQ(now.size(), pattern.size());
    EXPECT_TRUE(now == expected);
}

TEST_F(MediaTest, APulledPlayerFailsLikeAnUnpluggedDrive)
{
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(sim.SetImage(""));
    std::vector<unsigned char> sector(SECTOR);
    DWORD got = 0;
    EXPECT_FALSE(ReadAt(volume, 0, sector.data(), SECTOR, &got));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(WriteAt(volume, 0, sector.data(), SECTOR, &got));
    CloseHandle(volume);
    // The drive letter is gone with the player.
    EXPECT_EQ(OpenVolume(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SimVolumeState state = {};
    ASSERT_TRUE(sim.GetVolume(&state));
    EXPECT_EQ(state.State, SIM_VOLUME_UNPLUGGED);
    // Plugged in again, it answers from its image.
    ASSERT_TRUE(sim.SetImage(image));
    volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(ReadAt(volume, SECTOR, sector.data(), SECTOR, &got));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), pattern.begin() + SECTOR));
    CloseHandle(volume);
    // A missing image file leaves the player unplugged.
    EXPECT_FALSE(sim.SetImage(ScratchFolder() + "\\no-such.img"));
    EXPECT_EQ(OpenVolume(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadWholeFile(image), pattern);
}

// Wine answers FSCTL_LOCK_VOLUME and FSCTL_UNLOCK_VOLUME itself and fails a
// dismount of a driver's device after the driver answered it, so the
// driver's answers are checked with the codes sent as device controls.
TEST_F(MediaTest, VolumeControlsReachThePlayer)
{
    typedef LONG(NTAPI * DeviceControl)(HANDLE, HANDLE, void*, void*, IO_STATUS_BLOCK*, ULONG, void*, ULONG, void*,
                                         ULONG);
    auto control = reinterpret_cast<DeviceControl>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeviceIoControlFile")));
    ASSERT_NE(control, nullptr);
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    SimScsiFaults faults = {};
    faults.BusyLocks = 2;
    ASSERT_TRUE(sim.SetScsiFaults(faults));
    ASSERT_TRUE(sim.ClearScsiLog());
    auto send = [&](ULONG code) {
        IO_STATUS_BLOCK io = {};
        return static_cast<ULONG>(control(volume, nullptr, nullptr, nullptr, &io, code, nullptr, 0, nullptr, 0));
    };
    const ULONG ACCESS_DENIED = 0xC0000022, NOT_LOCKED = 0xC000002A;
    EXPECT_EQ(send(FSCTL_LOCK_VOLUME), ACCESS_DENIED);
    EXPECT_EQ(send(FSCTL_LOCK_VOLUME), ACCESS_DENIED);
    EXPECT_EQ(send(FSCTL_LOCK_VOLUME), 0u);
    EXPECT_EQ(send(FSCTL_DISMOUNT_VOLUME), 0u);
    EXPECT_EQ(send(FSCTL_UNLOCK_VOLUME), 0u);
    EXPECT_EQ(send(FSCTL_UNLOCK_VOLUME), NOT_LOCKED);
    CloseHandle(volume);
    std::vector<SimScsiRecord> log = Log();
    std::vector<uint32_t> kinds;
    for (const SimScsiRecord& record : log)
        kinds.push_back(record.Kind);
    EXPECT_EQ(kinds, (std::vector<uint32_t>{SIM_RECORD_LOCK, SIM_RECORD_LOCK, SIM_RECORD_LOCK, SIM_RECORD_DISMOUNT,
                                            SIM_RECORD_UNLOCK, SIM_RECORD_UNLOCK}));
}

namespace {

bool WaitForState(SC_HANDLE service, DWORD wanted)
{
    for (int i = 0; i < 200; i++) {
        SERVICE_STATUS status;
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == wanted)
            return true;
        Sleep(50);
    }
    return false;
}

// Loads the driver again, so it reads its Parameters anew.
bool RestartDriver()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return false;
    SC_HANDLE service = OpenServiceA(manager, VILOSIM_SERVICE_NAME, SERVICE_ALL_ACCESS);
    bool ok = false;
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        ok = WaitForState(service, SERVICE_STOPPED) && StartServiceA(service, 0, nullptr) &&
             WaitForState(service, SERVICE_RUNNING);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok;
}

const char PARAMETERS_KEY[] = "System\\CurrentControlSet\\Services\\" VILOSIM_SERVICE_NAME "\\Parameters";

// Whatever happens in the test, the driver loads without the value again.
struct ImagePathValue {
    ~ImagePathValue()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PARAMETERS_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "ImagePath");
            RegCloseKey(key);
        }
        if (set)
            RestartDriver();
    }
    bool Set(const std::string& path)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PARAMETERS_KEY, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return false;
        set = RegSetValueExA(key, "ImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>(path.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
        return set;
    }
    bool set = false;
};

} // namespace

TEST_F(MediaTest, ImagePathParameterPlugsThePlayerInAtLoad)
{
    {
        ImagePathValue value;
        ASSERT_TRUE(value.Set(image));
        ASSERT_TRUE(RestartDriver());
        CSimDriverClient loaded;
        ASSERT_TRUE(loaded.Connect()) << loaded.LastError();
        SimVolumeState state = {};
        ASSERT_TRUE(loaded.GetVolume(&state));
        EXPECT_EQ(state.State, SIM_VOLUME_IMAGE);
        EXPECT_EQ(state.ImageBytes, pattern.size());
        HANDLE volume = OpenVolume(GENERIC_READ);
        ASSERT_NE(volume, INVALID_HANDLE_VALUE);
        std::vector<unsigned char> sector(SECTOR);
        DWORD got = 0;
        ASSERT_TRUE(ReadAt(volume, 3 * SECTOR, sector.data(), SECTOR, &got));
        EXPECT_TRUE(std::equal(sector.begin(), sector.end(), pattern.begin() + 3 * SECTOR));
        CloseHandle(volume);
    }
    // Loaded without the value, the player has no media.
    CSimDriverClient plain;
    ASSERT_TRUE(plain.Connect()) << plain.LastError();
    SimVolumeState state = {};
    ASSERT_TRUE(plain.GetVolume(&state));
    EXPECT_EQ(state.State, SIM_VOLUME_NO_MEDIA);
}

// ------------------------------------------------ the updater's NT transport

namespace {

struct DriverTransport : MediaTest {
    DriverTransport() : transport(&owner) {}
    CTestOwner owner;
    CQvScsi_Nt transport; // the real device calls
};

} // namespace

TEST_F(DriverTransport, DiscoveryFindsThePlayerByInquiry)
{
    ASSERT_TRUE(sim.ClearScsiLog());
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'O');
    std::vector<SimScsiRecord> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].Opcode, 0x12);
    EXPECT_EQ(log[1].Opcode, 0xC0);
    EXPECT_EQ(log[1].Subcommand, 0x02);
    // The player that says it is none is not taken.
    SimScsiFaults faults = {};
    faults.NotPlayer = 1;
    ASSERT_TRUE(sim.SetScsiFaults(faults));
    EXPECT_EQ(transport.ScanDrivesByInquiry(), QV_E_NO_DEVICE);
}

TEST_F(DriverTransport, InquiryCapacityAndSectorsComeFromTheImage)
{
    transport.SetDriveLetter(u'O');
    CQvScsiInquiry inquiry;
    ASSERT_EQ(transport.Execute(inquiry), 0);
    std::string vendor, product;
    EXPECT_EQ(inquiry.GetVendorId(vendor), 0);
    EXPECT_EQ(inquiry.GetProductId(product), 0);
    EXPECT_EQ(vendor, "Vilo    ");
    EXPECT_EQ(product, "Lark            ");

    CQvReadCapacity capacity;
    ASSERT_EQ(transport.Execute(capacity), 0);
    uint32_t last = 0, block = 0;
    ASSERT_EQ(capacity.GetLastBlock(last), 0);
    ASSERT_EQ(capacity.GetBlockLength(block), 0);
    EXPECT_EQ(last, IMAGE_SECTORS - 1);
    EXPECT_EQ(block, SECTOR);

    std::vector<uint8_t> back(2 * SECTOR);
    ASSERT_EQ(transport.Read(back.data(), 2, 700, SECTOR), 0);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), pattern.begin() + 700 * SECTOR));
    std::vector<uint8_t> data(SECTOR, 0x5A);
    ASSERT_EQ(transport.Write(data.data(), 1, 3, SECTOR), 0);
    transport.Close();
    std::vector<unsigned char> now = ReadWholeFile(image);
    ASSERT_EQ(now.size(), pattern.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), now.begin() + 3 * SECTOR));
    EXPECT_TRUE(std::equal(now.begin() + 4 * SECTOR, now.end(), pattern.begin() + 4 * SECTOR));

    std::vector<SimScsiRecord> log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].Opcode, 0x28);
    EXPECT_EQ(log[2].Lba, 700u);
    EXPECT_EQ(log[2].Count, 2u);
    EXPECT_EQ(log[3].Opcode, 0x2A);
    EXPECT_EQ(log[3].Lba, 3u);
}

TEST_F(DriverTransport, VendorCommandsReachTheMediaModel)
{
    transport.SetDriveLetter(u'O');
    CQvGetChipMajorRevId chip;
    ASSERT_EQ(transport.Execute(chip), 0);
    uint16_t revision = 0;
    ASSERT_EQ(chip.GetRevision(revision), 0);
    EXPECT_EQ(revision, 0x3780);
    CQvGetLogicalTable table(10);
    ASSERT_EQ(transport.Execute(table), 0);
    LogicalMediaTable parsed;
    ASSERT_EQ(table.GetTable(parsed), 0);
    EXPECT_EQ(parsed.count, 5);
    EXPECT_EQ(parsed.entries[1].tag, 0x0A);
    // Drive numbers are the player's own, not the slots 0..4.
    EXPECT_EQ(parsed.entries[0].driveNumber, 6);
    std::vector<SimScsiRecord> log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Opcode, 0xC0);
    EXPECT_EQ(log[0].Subcommand, 0x30);
    EXPECT_EQ(log[1].Subcommand, 0x05);
    EXPECT_EQ(log[1].Count, 10u);
}

TEST_F(DriverTransport, CheckConditionGivesMinus23WithTheSenseClamped)
{
    transport.SetDriveLetter(u'O');
    SimScsiFaults faults = {};
    faults.CheckCondition = 1;
    faults.CheckOpcode = 0xC1;
    faults.SenseKey = 9;
    faults.StatusCode = 0x0401;
    ASSERT_TRUE(sim.SetScsiFaults(faults));
    CQvEraseLogicalMedia erase;
    EXPECT_EQ(transport.Execute(erase), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.LastError(), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.DetailText(), u"The player's media is write protected.");
    ASSERT_NE(transport.LastSense(), nullptr);
    EXPECT_EQ(transport.LastSense()->Count(), 18u);
    uint16_t code = 0;
    EXPECT_EQ(transport.LastSense()->GetU16BE(code, 12), 0);
    EXPECT_EQ(code, 0x0401);
    // Only the faulted opcode fails.
    CQvGetChipMajorRevId chip;
    EXPECT_EQ(transport.Execute(chip), 0);
}

TEST_F(DriverTransport, MalformedPassThroughBlocksAreRefused)
{
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> block(QV_SPT_DATA_AT + 96 + 1, 0);
    auto* spt = reinterpret_cast<SCSI_PASS_THROUGH*>(block.data());
    auto reset = [&] {
        std::fill(block.begin(), block.end(), 0);
        spt->Length = sizeof(SCSI_PASS_THROUGH);
        spt->CdbLength = 6;
        spt->SenseInfoLength = 18;
        spt->DataIn = 1;
        spt->DataTransferLength = 96;
        spt->DataBufferOffset = QV_SPT_DATA_AT;
        spt->SenseInfoOffset = QV_SPT_SENSE_AT;
        spt->Cdb[0] = 0x12;
        spt->Cdb[4] = 96;
    };
    DWORD returned = 0;
    auto send = [&] {
        return DeviceIoControl(volume, IOCTL_SCSI_PASS_THROUGH, block.data(), DWORD(block.size()), block.data(),
                               DWORD(block.size()), &returned, nullptr) != FALSE;
    };
    reset();
    ASSERT_TRUE(send());
    EXPECT_EQ(spt->ScsiStatus, 0);
    EXPECT_EQ(spt->DataTransferLength, 96u);
    EXPECT_EQ(memcmp(block.data() + QV_SPT_DATA_AT + 8, "Vilo    ", 8), 0);
    reset();
    spt->Length = QV_SPT_HEADER - 4; // neither width's header
    EXPECT_FALSE(send());
    reset();
    spt->CdbLength = 17;
    EXPECT_FALSE(send());
    reset();
    spt->DataTransferLength = 98; // one byte past the block
    EXPECT_FALSE(send());
    reset();
    spt->SenseInfoOffset = DWORD(block.size() - 4);
    EXPECT_FALSE(send());
    // A short INQUIRY moves what was asked for and says so.
    reset();
    spt->DataTransferLength = 36;
    spt->Cdb[4] = 36;
    ASSERT_TRUE(send());
    EXPECT_EQ(spt->DataTransferLength, 36u);
    CloseHandle(volume);
}

TEST_F(DriverTransport, DirectPassThroughServesCommandsWithoutData)
{
    HANDLE volume = OpenVolume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    struct {
        SCSI_PASS_THROUGH_DIRECT header;
        unsigned char sense[18];
    } block = {};
    unsigned char data[96] = {};
    auto reset = [&](ULONG length) {
        memset(&block, 0, sizeof block);
        block.header.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
        block.header.CdbLength = 16;
        block.header.SenseInfoLength = 18;
        block.header.SenseInfoOffset = offsetof(decltype(block), sense);
        block.header.DataIn = length ? 1 : 0;
        block.header.DataTransferLength = length;
        block.header.DataBuffer = length ? data : nullptr;
    };
    DWORD returned = 0;
    auto send = [&] {
        return DeviceIoControl(volume, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block, sizeof block,
                               &returned, nullptr) != FALSE;
    };
    ASSERT_TRUE(sim.ClearScsiLog());
    reset(0);
    block.header.Cdb[0] = 0xC1; // erase media: no data phase
    block.header.Cdb[1] = 0x07;
    ASSERT_TRUE(send());
    EXPECT_EQ(block.header.ScsiStatus, 0);
    // A data phase would need the caller's memory, which the driver cannot reach.
    reset(sizeof data);
    block.header.Cdb[0] = 0x12;
    block.header.Cdb[4] = sizeof data;
    EXPECT_FALSE(send());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
    CloseHandle(volume);
    std::vector<SimScsiRecord> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Opcode, 0xC1);
    EXPECT_EQ(log[0].Subcommand, 0x07);
}

TEST_F(DriverTransport, DriveLayoutIsRecorded)
{
    transport.SetDriveLetter(u'O');
    ASSERT_EQ(transport.Open(), 0);
    ASSERT_TRUE(sim.ClearScsiLog());
    CQvByteArray mbr(512), boot(512);
    mbr.SetAt(0x1BE + 13, 0x40); // 0x4000 sectors
    boot.SetAt(0x0C, 0x02);      // of 512 bytes
    ASSERT_EQ(transport.SetDriveLayout(mbr, boot), 0);
    std::vector<SimScsiRecord> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Kind, SIM_RECORD_LAYOUT);
    EXPECT_EQ(log[0].Count, 40u);
    std::vector<unsigned char> layout;
    ASSERT_TRUE(sim.GetLayout(&layout));
    ASSERT_EQ(layout.size(), 40u);
    DRIVE_LAYOUT_INFORMATION info;
    memcpy(&info, layout.data(), sizeof info);
    EXPECT_EQ(info.PartitionCount, 1u);
    EXPECT_EQ(info.PartitionEntry[0].PartitionLength.QuadPart, 0x4000LL * 512);
}

// ------------------------------------------------------------ recovery mode

namespace {

struct DriverRecovery : MediaTest {
    void SetUp() override
    {
        MediaTest::SetUp();
        ASSERT_TRUE(sim.AddUnit(UNIT_RECOVERY_NAME, 4));
    }
    int Stream(size_t size, SimRecoveryConfig config)
    {
        firmware = Pattern(size);
        config.ExpectedSize = static_cast<uint32_t>(size);
        if (!sim.SetRecovery(config))
            return 1;
        int r = recovery.Open();
        if (r != 0)
            return r;
        recovery.AttachComponent(std::make_unique<CMemoryImage>(firmware));
        return recovery.StreamComponent(&progress);
    }
    CQvRecoveryDev recovery; // the real device calls
    CTestProgress progress;
    std::vector<uint8_t> firmware;
};

} // namespace

TEST_F(DriverRecovery, ImageOf8192BytesGoesAsTwoFullBlocks)
{
    SimRecoveryConfig config = {};
    config.DelayMs = 50; // completes later, through the alertable wait
    ASSERT_EQ(Stream(8192, config), 0);
    EXPECT_EQ(recovery.DevicePath(), L"\\\\.\\QvMp3RecDevice4");
    SimRecoveryState state = {};
    std::vector<unsigned char> received;
    ASSERT_TRUE(sim.GetRecovery(&state, &received));
    EXPECT_EQ(state.Writes, 2u);
    EXPECT_EQ(state.Lengths[0], 4096u);
    EXPECT_EQ(state.Lengths[1], 4096u);
    EXPECT_EQ(state.Completed, 2u);
    EXPECT_EQ(state.PlayerBack, 1u);
    EXPECT_TRUE(received == firmware);
    EXPECT_EQ(progress.steps, 2);
}

TEST_F(DriverRecovery, ImageOf4097BytesEndsWithAOneByteBlock)
{
    ASSERT_EQ(Stream(4097, SimRecoveryConfig{}), 0);
    SimRecoveryState state = {};
    std::vector<unsigned char> received;
    ASSERT_TRUE(sim.GetRecovery(&state, &received));
    EXPECT_EQ(state.Writes, 2u);
    EXPECT_EQ(state.Lengths[1], 1u);
    EXPECT_TRUE(received == firmware);
}

TEST_F(DriverRecovery, SlowDeviceGivesMinus16AndTheCancelledWriteCompletes)
{
    SimRecoveryConfig config = {};
    config.NeverComplete = 1;
    DWORD start = GetTickCount();
    EXPECT_EQ(Stream(8192, config), QV_E_RECOVERY_TIMEOUT);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 950u);
    SimRecoveryState state = {};
    ASSERT_TRUE(sim.GetRecovery(&state, nullptr));
    EXPECT_EQ(state.Writes, 1u);
    EXPECT_EQ(state.Cancelled, 1u);
    EXPECT_EQ(state.Completed, 0u);
}

TEST_F(DriverRecovery, ShortWriteGivesMinus13)
{
    SimRecoveryConfig config = {};
    config.ShortBy = 1;
    EXPECT_EQ(Stream(8192, config), QV_E_RECOVERY_WRITE);
    SimRecoveryState state = {};
    ASSERT_TRUE(sim.GetRecovery(&state, nullptr));
    EXPECT_EQ(state.Writes, 1u);
    EXPECT_EQ(state.PlayerBack, 0u);
}

TEST_F(DriverRecovery, ThePlayersVolumeAppearsOnceTheWholeImageArrived)
{
    CTestOwner owner;
    CQvScsi_Nt transport(&owner);
    SimRecoveryConfig config = {};
    config.VolumeAfterImage = 1;
    config.ExpectedSize = 3 * 4096 + 100;
    ASSERT_TRUE(sim.SetRecovery(config));
    EXPECT_EQ(OpenVolume(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(transport.ScanDrivesByInquiry(), QV_E_NO_DEVICE);
    ASSERT_EQ(Stream(3 * 4096 + 100, config), 0);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'O');
}
