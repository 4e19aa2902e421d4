// The whole update and the whole format under Windows: the updater's own NT
// transport, found by its INQUIRY scan, talking through the device seam to
// the simulated player. The format leaves the data drive's image behind for
// fsck.fat (run by the next test).
#include "SimDeviceIo.h"
#include "UpdaterTestOwners.h"
#include "qv/QvErrors.h"
#include "qv/QvFwComponent.h"
#include "qv/QvSystemBinding.h"
#include "qv/QvUpdater.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {
std::wstring Env(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

class WineMedia : public ::testing::Test {
protected:
    WineMedia() : binding(&io), updater(&binding)
    {
        io.volumes[L'V'] = &player;
        io.extraDrives |= 1u << ('V' - 'A');
        io.driveTypes[L'V'] = DRIVE_REMOVABLE;
        updater.SetResource(&resource);
        updater.SetProgress(&progress);
        std::wstring folder = Env(L"QV_FIRMWARE_DIR");
        EXPECT_FALSE(folder.empty());
        EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    }
    std::vector<SimRecord> Commands(uint8_t subcommand)
    {
        std::vector<SimRecord> out;
        for (const SimRecord& r : player.Log())
            if (r.kind == SimRecord::COMMAND && r.subcommand == subcommand &&
                (r.opcode == 0xC0 || r.opcode == 0xC1))
                out.push_back(r);
        return out;
    }
    CSimPlayerTarget player;
    CSimDeviceIo io;
    CQvSystemBinding binding;
    CQvUpdater updater;
    CTestResource resource;
    CTestProgress progress;
};
} // namespace

TEST_F(WineMedia, WholeUpdate)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    EXPECT_EQ(updater.DriveLetter(), u'V');
    ASSERT_EQ(updater.UpdateFirmware(), 0);
    EXPECT_EQ(progress.total, updater.StepCount(QV_STEPS_UPDATE));
    // Four drives erased and written, each run read back.
    EXPECT_EQ(Commands(0x2F).size(), 4u);
    EXPECT_EQ(Commands(0x23).size(), Commands(0x13).size());
    EXPECT_GE(Commands(0x23).size(), 4u);
    const CQvVersionInfoPtrArray *device = nullptr, *file = nullptr;
    ASSERT_EQ(updater.GetVersionArrays(device, file), 0);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(device->At(i)->ToText(), file->At(i)->ToText()) << i;
    EXPECT_EQ(file->At(1)->ToText(), u"002.003.011");
    CQvVersionInfo dp, fp;
    EXPECT_EQ(updater.GetProductVersions(dp, fp), 0);
    EXPECT_EQ(dp.ToText(), u"003.001.004");
    EXPECT_FALSE(player.Locked());
    EXPECT_EQ(io.openHandles(), 0);
}

TEST_F(WineMedia, WholeFormat)
{
    std::wstring path = Env(L"QV_DATA_IMAGE");
    ASSERT_FALSE(path.empty());
    std::string narrow(path.begin(), path.end());
    {
        // A fresh 40 MB data drive of zeros.
        std::ofstream image(narrow, std::ios::binary | std::ios::trunc);
        std::vector<char> zeros(1 << 20, 0);
        for (int i = 0; i < 40; ++i)
            image.write(zeros.data(), std::streamsize(zeros.size()));
        ASSERT_TRUE(bool(image));
    }
    ASSERT_TRUE(player.AttachDataImage(narrow));
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    ASSERT_EQ(updater.FormatMedia(), 0);
    EXPECT_EQ(progress.total, updater.StepCount(QV_STEPS_FORMAT));
    EXPECT_EQ(Commands(0x07).size(), 1u);
    EXPECT_EQ(Commands(0x06).size(), 1u);
    // The drive layout went through IOCTL_DISK_SET_DRIVE_LAYOUT and the
    // volume was dismounted after the format.
    EXPECT_EQ(player.LastLayout().size(), 40u);
    bool dismounted = false;
    for (const SimRecord& r : player.Log())
        dismounted = dismounted || r.kind == SimRecord::DISMOUNT;
    EXPECT_TRUE(dismounted);
    EXPECT_FALSE(player.Locked());
    int current = 0;
    ASSERT_EQ(updater.IsAllocationCurrent(current), 0);
    EXPECT_EQ(current, 1);
}

TEST_F(WineMedia, RecoveryStreamsTheMassStorageFirmware)
{
    CSimRecoveryDevice device;
    device.expectedSize = 100000;
    io.recoveryDevices[0] = &device;
    ASSERT_EQ(updater.OpenRecoveryDevice(), 0);
    ASSERT_EQ(updater.RecoverUsbMsc(&progress), 0);
    std::ifstream file("usbmsc.sb", std::ios::binary);
    std::vector<uint8_t> all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GE(all.size(), 100000u);
    std::vector<uint8_t> image(all.end() - 100000, all.end());
    EXPECT_EQ(device.Received(), image);
    EXPECT_TRUE(device.PlayerBack());
    // A second stream needs the device opened again.
    EXPECT_NE(updater.RecoverUsbMsc(&progress), 0);
}

// A firmware file longer than the 32-bit build can address is refused before
// anything is read. The 64-bit build can hold such a file, so only the
// shipped width runs the case (the i686 stage).
TEST(WineFirmwareFile, AFileLongerThanTheAddressSpaceIsRefused)
{
    if (sizeof(size_t) > 4)
        GTEST_SKIP() << "a 64-bit build can address the file";
    wchar_t temp[MAX_PATH] = L"";
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring folder = std::wstring(temp) + L"qv-huge-fw-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    HANDLE h = CreateFileW(L"bootmanager.sb", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char header[] = "Product Version: 1.2.3\r\nComponent Version: 4.5.6\r\n";
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(h, header, DWORD(sizeof header - 1), &put, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + 16; // wraps to 16 bytes in a 32-bit size
    EXPECT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(h));
    CloseHandle(h);

    CQvConfigInfo config;
    CQvErrorInfo info;
    CQvFwComponent component(&config, 1, &info);
    EXPECT_EQ(component.LastError(), QV_E_NOMEM);
    EXPECT_EQ(component.ImageSize(), 0u);

    SetCurrentDirectoryW(temp);
    DeleteFileW((folder + L"\\bootmanager.sb").c_str());
    RemoveDirectoryW(folder.c_str());
}
