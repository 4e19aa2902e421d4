// Raw sector access on both Windows lines, on the image behind drive P:.
// The NT line opens \\.\P: for real (the prefix maps P:'s raw device to the
// image). 64-bit Wine has no \\.\vwin32, so the 95/98/ME line runs against a
// recording stand-in of the DOS services that answers from the same image,
// while GetVersionExA reports the Windows version the test runs under.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "file_sector_device.h"
#include "host_tools.h"
#include "sector_io.h"
#include "sysctrl_seams.h"
#include "win_code_page.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string DriveFolder = std::string(MB_SYSCTRL_WORK) + "/drive_p";
const std::string ImagePath = DriveFolder + "/volume.img";
constexpr int DriveIndexP = 'P' - 'A';

bool NineXLine()
{
    const char* v = std::getenv("MB_WINVER");
    return v && (std::string(v) == "win98" || std::string(v) == "winme");
}

Bytes ReadHostFile(const std::string& hostPath)
{
    std::ifstream in(DevicePath(hostPath), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The DOS services as the 95/98/ME line offers them through \\.\vwin32,
// answering absolute disk reads and writes from the image, with every call
// recorded. Other calls go to the system. As DOS does, the register form of
// the absolute disk calls is refused with error 0207h on a drive of more than
// 65535 sectors: such a drive takes only the DISKIO packet.
class CDosServices : public IWin32Calls {
public:
    struct Call {
        DWORD Code;
        DIOC_REGISTERS Regs;
        DISKIO Packet;
    };
    struct Open {
        std::string Name;
        DWORD Access, Share, Disposition, Flags;
    };

    BOOL GetVersionExA(OSVERSIONINFOA* info) override { return ::GetVersionExA(info); }
    HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        Opens.push_back(Open{name, access, share, disposition, flags});
        if (std::string(name) == "\\\\.\\vwin32") {
            ++OpenServices;
            return Services;
        }
        return ::CreateFileA(name, access, share, nullptr, disposition, flags, nullptr);
    }
    BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override
    {
        if (h != Services) return ::DeviceIoControl(h, code, in, inSize, out, outSize, returned, nullptr);
        if (inSize != sizeof(DIOC_REGISTERS) || outSize != sizeof(DIOC_REGISTERS)) return FALSE;
        DIOC_REGISTERS regs;
        std::memcpy(&regs, in, sizeof regs);
        Call call = {code, regs, {}};
        bool carry = true;
        if (code == VWIN32_DIOC_DOS_IOCTL && regs.reg_EAX == 0x440D) {
            const DWORD category = (regs.reg_ECX >> 8) & 0xFF;
            carry = (category == 0x48 && Refuse48) || RefuseAll;
        } else if (code == VWIN32_DIOC_DOS_INT25 || code == VWIN32_DIOC_DOS_INT26) {
            DWORD first = regs.reg_EDX, count = regs.reg_ECX, buffer = regs.reg_EBX;
            if (regs.reg_ECX == 0xFFFF) {
                std::memcpy(&call.Packet, reinterpret_cast<void*>(uintptr_t(regs.reg_EBX)), sizeof(DISKIO));
                first = call.Packet.dwStartSector;
                count = call.Packet.wSectors;
                buffer = call.Packet.dwBuffer;
            }
            WIN32_FILE_ATTRIBUTE_DATA facts = {};
            const bool large = ::GetFileAttributesExA(DevicePath(ImagePath).c_str(), GetFileExInfoStandard, &facts) &&
                               (DWORDLONG(facts.nFileSizeHigh) << 32 | facts.nFileSizeLow) > 65535ull * 512;
            if (large && regs.reg_ECX != 0xFFFF) {
                regs.reg_EAX = 0x0207;
            } else {
                CFileSectorDevice image(DevicePath(ImagePath));
                void* p = reinterpret_cast<void*>(uintptr_t(buffer));
                carry = !(code == VWIN32_DIOC_DOS_INT25 ? image.ReadSectors(int(regs.reg_EAX), first, count, p)
                                                        : image.WriteSectors(int(regs.reg_EAX), first, count, p));
            }
        }
        regs.reg_Flags = carry ? (regs.reg_Flags | 1) : (regs.reg_Flags & ~1u);
        std::memcpy(out, &regs, sizeof regs);
        Calls.push_back(call);
        if (returned) *returned = sizeof regs;
        return TRUE;
    }
    DWORD SetFilePointer(HANDLE h, LONG low, LONG* high, DWORD method) override
    {
        return ::SetFilePointer(h, low, high, method);
    }
    BOOL ReadFile(HANDLE h, void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) override
    {
        return ::ReadFile(h, buffer, bytes, done, at);
    }
    BOOL WriteFile(HANDLE h, const void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) override
    {
        return ::WriteFile(h, buffer, bytes, done, at);
    }
    BOOL CloseHandle(HANDLE h) override
    {
        ++Closes;
        if (h == Services) {
            --OpenServices;
            return TRUE;
        }
        return ::CloseHandle(h);
    }

    HANDLE const Services = reinterpret_cast<HANDLE>(uintptr_t(0x7157));
    std::vector<Call> Calls;
    std::vector<Open> Opens;
    int OpenServices = 0;
    int Closes = 0;
    bool Refuse48 = false;
    bool RefuseAll = false;
};

class DriveP : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The DOS services see 32-bit addresses; Wine's 64-bit heap and
        // stacks lie below 4 GB, so the stand-in can follow them.
        Bytes probe(16);
        ASSERT_LT(uint64_t(uintptr_t(probe.data())), 0x100000000ull);
        ASSERT_TRUE(MakeImage(Kind(), ImagePath));
        before = ReadHostFile(ImagePath);
        ASSERT_FALSE(before.empty());
    }
    virtual std::string Kind() const { return "deep"; }

    Bytes before;
    CDosServices calls;
};

TEST_F(DriveP, TheLineFollowsTheWindowsVersion)
{
    SectorIo io(calls);
    EXPECT_EQ(NineXLine() ? 1 : 0, io.UseDosServices);
}

TEST_F(DriveP, ReadOfSectorZeroTouchesExactlyItsBytes)
{
    SectorIo io(calls);
    Bytes buffer(1024, 0xCC);
    ASSERT_TRUE(io.ReadSectors(DriveIndexP, 0, 1, buffer.data()));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 512, before.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 512, buffer.end(), [](uint8_t b) { return b == 0xCC; }));
    EXPECT_EQ(before, ReadHostFile(ImagePath));
    if (io.UseDosServices) {
        // The register form first; this drive of more than 65535 sectors
        // refuses it, and the packet form reads the sector.
        ASSERT_EQ(2u, calls.Calls.size());
        const auto& c = calls.Calls[0];
        EXPECT_EQ(DWORD(VWIN32_DIOC_DOS_INT25), c.Code);
        EXPECT_EQ(DWORD(DriveIndexP), c.Regs.reg_EAX);
        EXPECT_EQ(0u, c.Regs.reg_EDX);
        EXPECT_EQ(1u, c.Regs.reg_ECX);
        EXPECT_EQ(DWORD(uintptr_t(buffer.data())), c.Regs.reg_EBX);
        const auto& p = calls.Calls[1];
        EXPECT_EQ(DWORD(VWIN32_DIOC_DOS_INT25), p.Code);
        EXPECT_EQ(0xFFFFu, p.Regs.reg_ECX);
        EXPECT_EQ(0u, p.Packet.dwStartSector);
        EXPECT_EQ(1u, p.Packet.wSectors);
        EXPECT_EQ(DWORD(uintptr_t(buffer.data())), p.Packet.dwBuffer);
        ASSERT_EQ(1u, calls.Opens.size());
        EXPECT_EQ(0u, calls.Opens[0].Access);
        EXPECT_EQ(0u, calls.Opens[0].Share);
        EXPECT_EQ(0u, calls.Opens[0].Disposition);
        EXPECT_EQ(DWORD(FILE_FLAG_DELETE_ON_CLOSE), calls.Opens[0].Flags);
    } else {
        ASSERT_EQ(1u, calls.Opens.size());
        EXPECT_EQ("\\\\.\\P:", calls.Opens[0].Name);
        EXPECT_EQ(DWORD(GENERIC_READ | GENERIC_WRITE), calls.Opens[0].Access);
        EXPECT_EQ(0u, calls.Opens[0].Share);
    }
    EXPECT_EQ(0, calls.OpenServices);
    EXPECT_EQ(calls.Opens.size(), size_t(calls.Closes)) << "every handle is closed again";
}

TEST_F(DriveP, WriteChangesOnlyItsSectorsUnderTheLock)
{
    SectorIo io(calls);
    Bytes data(2 * 512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + 1);
    ASSERT_TRUE(io.WriteSectors(DriveIndexP, 5, 2, data.data()));
    Bytes expected = before;
    std::copy(data.begin(), data.end(), expected.begin() + 5 * 512);
    const Bytes after = ReadHostFile(ImagePath);
    EXPECT_EQ(before.size(), after.size());
    EXPECT_TRUE(expected == after);
    if (io.UseDosServices) {
        ASSERT_EQ(4u, calls.Calls.size());
        EXPECT_EQ(DWORD(VWIN32_DIOC_DOS_IOCTL), calls.Calls[0].Code);
        EXPECT_EQ(0x440Du, calls.Calls[0].Regs.reg_EAX);
        EXPECT_EQ(DWORD(DriveIndexP + 1), calls.Calls[0].Regs.reg_EBX);
        EXPECT_EQ(0x484Au, calls.Calls[0].Regs.reg_ECX);
        EXPECT_EQ(0u, calls.Calls[0].Regs.reg_EDX);
        EXPECT_EQ(DWORD(VWIN32_DIOC_DOS_INT26), calls.Calls[1].Code);
        EXPECT_EQ(5u, calls.Calls[1].Regs.reg_EDX);
        EXPECT_EQ(2u, calls.Calls[1].Regs.reg_ECX);
        EXPECT_EQ(DWORD(VWIN32_DIOC_DOS_INT26), calls.Calls[2].Code);
        EXPECT_EQ(0xFFFFu, calls.Calls[2].Regs.reg_ECX);
        EXPECT_EQ(5u, calls.Calls[2].Packet.dwStartSector);
        EXPECT_EQ(2u, calls.Calls[2].Packet.wSectors);
        EXPECT_EQ(0x486Au, calls.Calls[3].Regs.reg_ECX);
        EXPECT_EQ(0, calls.OpenServices);
    }
}

TEST_F(DriveP, RefusedFatLockIsRetriedWithTheGenericCategory)
{
    if (!NineXLine()) GTEST_SKIP() << "the volume lock belongs to the 95/98/ME line";
    SectorIo io(calls);
    calls.Refuse48 = true;
    Bytes data(512, 0x5A);
    ASSERT_TRUE(io.WriteSectors(DriveIndexP, 9, 1, data.data()));
    std::vector<DWORD> sequence;
    for (const auto& c : calls.Calls) sequence.push_back(c.Code == VWIN32_DIOC_DOS_IOCTL ? c.Regs.reg_ECX : c.Code);
    EXPECT_EQ((std::vector<DWORD>{0x484A, 0x084A, VWIN32_DIOC_DOS_INT26, VWIN32_DIOC_DOS_INT26, 0x486A, 0x086A}),
              sequence);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), ReadHostFile(ImagePath).begin() + 9 * 512));

    calls.Calls.clear();
    calls.RefuseAll = true;
    const Bytes now = ReadHostFile(ImagePath);
    Bytes other(512, 0xA5);
    EXPECT_FALSE(io.WriteSectors(DriveIndexP, 9, 1, other.data()));
    EXPECT_EQ(2u, calls.Calls.size()) << "no write without the lock";
    EXPECT_EQ(now, ReadHostFile(ImagePath));
    EXPECT_EQ(0, calls.OpenServices);
}

TEST_F(DriveP, SectorsFrom65536AreReachedWithoutWrapping)
{
    SectorIo io(calls);
    Bytes low(512), high(512);
    ASSERT_TRUE(io.ReadSectors(DriveIndexP, 65535, 1, low.data()));
    ASSERT_TRUE(io.ReadSectors(DriveIndexP, 70000, 1, high.data()));
    EXPECT_TRUE(std::equal(low.begin(), low.end(), before.begin() + 65535 * 512));
    EXPECT_TRUE(std::equal(high.begin(), high.end(), before.begin() + 70000ull * 512));
    Bytes data(512, 0x3C);
    ASSERT_TRUE(io.WriteSectors(DriveIndexP, 70001, 1, data.data()));
    const Bytes after = ReadHostFile(ImagePath);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), after.begin() + 70001ull * 512));
    EXPECT_TRUE(std::equal(after.begin() + 4465 * 512, after.begin() + 4466 * 512, before.begin() + 4465 * 512))
        << "sector 70001 - 65536 is untouched";
    if (io.UseDosServices) {
        ASSERT_EQ(6u, calls.Calls.size());
        EXPECT_EQ(65535u, calls.Calls[0].Regs.reg_EDX);
        EXPECT_EQ(1u, calls.Calls[0].Regs.reg_ECX);
        EXPECT_EQ(0xFFFFu, calls.Calls[1].Regs.reg_ECX);
        EXPECT_EQ(65535u, calls.Calls[1].Packet.dwStartSector);
        EXPECT_EQ(0xFFFFu, calls.Calls[2].Regs.reg_ECX);
        EXPECT_EQ(70000u, calls.Calls[2].Packet.dwStartSector);
        EXPECT_EQ(1u, calls.Calls[2].Packet.wSectors);
        EXPECT_EQ(DWORD(uintptr_t(high.data())), calls.Calls[2].Packet.dwBuffer);
        EXPECT_EQ(0xFFFFu, calls.Calls[4].Regs.reg_ECX);
        EXPECT_EQ(70001u, calls.Calls[4].Packet.dwStartSector);
    }
}

// Moves fewer bytes than asked for, as a volume does at its end.
class CShortTransfers : public CDosServices {
public:
    BOOL WriteFile(HANDLE h, const void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) override
    {
        return ::WriteFile(h, buffer, bytes - 512, done, at);
    }
};

TEST_F(DriveP, ShortTransfersFail)
{
    SectorIo io(calls);
    const uint32_t last = uint32_t(before.size() / 512 - 1);
    Bytes buffer(2 * 512, 0x11);
    EXPECT_FALSE(io.ReadSectors(DriveIndexP, last, 2, buffer.data()));
    EXPECT_EQ(before.size(), ReadHostFile(ImagePath).size());
    if (io.UseDosServices) return;
    CShortTransfers shortCalls;
    SectorIo shortIo(shortCalls);
    EXPECT_FALSE(shortIo.WriteSectors(DriveIndexP, 100, 2, buffer.data()));
}

TEST_F(DriveP, AnotherOpenHandleKeepsTheVolumeFromUs)
{
    if (NineXLine()) GTEST_SKIP() << "the exclusive open belongs to the NT line";
    SectorIo io(calls);
    HANDLE other = ::CreateFileA("\\\\.\\P:", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    Bytes buffer(512);
    EXPECT_FALSE(io.ReadSectors(DriveIndexP, 0, 1, buffer.data()));
    ::CloseHandle(other);
    EXPECT_TRUE(io.ReadSectors(DriveIndexP, 0, 1, buffer.data()));
}

class DrivePBasic : public DriveP {
    std::string Kind() const override { return "basic"; }
};

// The whole order round trip through the sector paths of the running line.
TEST_F(DriveP, OrderRoundTripOnAFolderBeyond32MB)
{
    SectorIo io(calls);
    CWinCodePage codePage;
    SetSysCtrlDevice(&io);
    SetSysCtrlCodePage(&codePage);
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\DEEP\\"));
    auto names = ListFolder(ImagePath, "::/DEEP");
    names.erase(names.begin());
    std::reverse(names.begin(), names.end());
    ctrl.SetFileNum(int(names.size()));
    for (const auto& n : names) ctrl.AddFileName(n.c_str());
    EXPECT_EQ(QV_SUCCESS, ctrl.SetFileOrder("P:\\DEEP\\"));
    SetSysCtrlDevice(nullptr);
    SetSysCtrlCodePage(nullptr);
    auto after = ListFolder(ImagePath, "::/DEEP");
    after.erase(after.begin());
    EXPECT_EQ(names, after);
    std::string report;
    EXPECT_TRUE(FsckClean(ImagePath, &report)) << report;
    EXPECT_EQ(before.size(), ReadHostFile(ImagePath).size());
    if (io.UseDosServices) {
        bool packet = false;
        for (const auto& c : calls.Calls) packet |= c.Code == VWIN32_DIOC_DOS_INT26 && c.Regs.reg_ECX == 0xFFFF;
        EXPECT_TRUE(packet) << "the folder lies beyond sector 65535";
    }
}

TEST_F(DrivePBasic, CompactionAndRootOrderRoundTrip)
{
    SectorIo io(calls);
    CWinCodePage codePage;
    SetSysCtrlDevice(&io);
    SetSysCtrlCodePage(&codePage);
    const auto rootBefore = ListFolder(ImagePath, "::/");
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\"));
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("P:\\MUSIC\\"));
    EXPECT_EQ(rootBefore, ListFolder(ImagePath, "::/"));
    auto names = rootBefore;
    names.erase(names.begin());
    std::reverse(names.begin(), names.end());
    ctrl.SetFileNum(int(names.size()));
    for (const auto& n : names) ctrl.AddFileName(Utf8ToAnsi(n).c_str());
    EXPECT_EQ(QV_SUCCESS, ctrl.SetFileOrder("P:\\"));
    SetSysCtrlDevice(nullptr);
    SetSysCtrlCodePage(nullptr);
    auto after = ListFolder(ImagePath, "::/");
    EXPECT_EQ("label: VILO LARK", after[0]);
    after.erase(after.begin());
    EXPECT_EQ(names, after);
    std::string report;
    EXPECT_TRUE(FsckClean(ImagePath, &report)) << report;
}

}  // namespace

// Windows 95/98/ME export CharLowerBuffW only as a stub; the fallback through
// the ANSI code page lowers what that code page holds just as the NT line does.
TEST(WinCodePage, LoweringThroughTheAnsiCodePageMatchesTheUnicodeCall)
{
    ASSERT_EQ(1252u, GetACP());
    CWinCodePage codePage;
    const std::u16string cases[] = {
        u"README.TXT", u"A1_B2~3", u"\u00C4RGER \u00D6L \u00DCBER", u"\u00C9T\u00C9", u"",
    };
    for (const std::u16string& text : cases) {
        const std::u16string unicode = codePage.ToLower(text);
        EXPECT_EQ(unicode, CWinCodePage::ToLowerThroughAnsi(text));
    }
    EXPECT_EQ(u"\u00E4rger \u00F6l \u00FCber", CWinCodePage::ToLowerThroughAnsi(u"\u00C4RGER \u00D6L \u00DCBER"));
    // A character outside code page 1252 stays as it is.
    EXPECT_EQ(u"a\u0416b", CWinCodePage::ToLowerThroughAnsi(u"A\u0416B"));
}
