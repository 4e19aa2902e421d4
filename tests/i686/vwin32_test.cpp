// The 95/98/ME line of raw sector access for real: QV_SysCtrl's sector layer
// through 32-bit Wine's own \\.\vwin32 DOS services (no stand-in), as Windows
// 98 sees them, on drive N: whose raw device is an image this program makes.
// Each case says what the services answered, so a run shows exactly which of
// them work here.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "sector_io.h"

namespace {

const int DRIVE_N = 'N' - 'A';
const DWORD SECTOR = 512;
// 40 MiB: sectors from 65536 on need the DISKIO packet.
const DWORD IMAGE_SECTORS = 81920;

std::string ImagePath()
{
    const char* path = std::getenv("MB_VWIN32_IMAGE");
    return path ? path : "";
}

// The image as the test sees it, past the drive: through its Z: path.
bool ReadImage(DWORD sector, void* buffer)
{
    HANDLE file = CreateFileA(ImagePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LONG high = LONG(DWORDLONG(sector) * SECTOR >> 32);
    SetFilePointer(file, LONG(DWORDLONG(sector) * SECTOR), &high, FILE_BEGIN);
    DWORD got = 0;
    BOOL ok = ReadFile(file, buffer, SECTOR, &got, nullptr);
    CloseHandle(file);
    return ok && got == SECTOR;
}

bool WriteImage(DWORD sector, const void* buffer)
{
    HANDLE file = CreateFileA(ImagePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LONG high = LONG(DWORDLONG(sector) * SECTOR >> 32);
    SetFilePointer(file, LONG(DWORDLONG(sector) * SECTOR), &high, FILE_BEGIN);
    DWORD put = 0;
    BOOL ok = WriteFile(file, buffer, SECTOR, &put, nullptr);
    CloseHandle(file);
    return ok && put == SECTOR;
}

std::vector<unsigned char> Pattern(DWORD sector)
{
    std::vector<unsigned char> bytes(SECTOR);
    for (DWORD i = 0; i < SECTOR; i++)
        bytes[i] = static_cast<unsigned char>((sector * 7 + i * 13) & 0xFF);
    return bytes;
}

// 32-bit Wine reads the DISKIO packet's buffer address as an offset and takes
// its top 16 bits for a segment selector as well; a selector with the table
// bit (4) set sends the transfer elsewhere. On Windows the address is flat.
// The sector buffers of the packet cases therefore lie where Wine finds them.
unsigned char* SectorBuffer()
{
    for (uintptr_t at = 0x00500000; at < 0x40000000; at += 0x00010000) {
        if ((at >> 16) & 4)
            continue;
        if (void* p = VirtualAlloc(reinterpret_cast<void*>(at), SECTOR, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))
            return static_cast<unsigned char*>(p);
    }
    return nullptr;
}

class Vwin32 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A fresh image every run, its sectors marked so that reads are known.
        HANDLE file = CreateFileA(ImagePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << ImagePath();
        LONG high = 0;
        SetFilePointer(file, LONG(IMAGE_SECTORS * SECTOR), &high, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
        for (DWORD sector : {0u, 1u, 100u, 65535u, 65536u, 70000u})
            ASSERT_TRUE(WriteImage(sector, Pattern(sector).data()));
    }
};

TEST_F(Vwin32, TheProgramSeesTheNineXLine)
{
    SectorIo io;
    EXPECT_EQ(1, io.UseDosServices);
}

TEST_F(Vwin32, TheDeviceOpens)
{
    HANDLE vwin32 = CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, vwin32) << "CreateFile(\\\\.\\vwin32) failed with " << GetLastError();
    if (vwin32 != INVALID_HANDLE_VALUE)
        CloseHandle(vwin32);
}

TEST_F(Vwin32, TheLockCallsAnswer)
{
    HANDLE vwin32 = CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, vwin32);
    for (DWORD category : {0x48u, 0x08u}) {
        for (DWORD minor : {0x4Au, 0x6Au}) {  // lock, then unlock the logical volume
            DIOC_REGISTERS regs = {};
            regs.reg_EAX = 0x440D;
            regs.reg_EBX = DWORD(DRIVE_N + 1) | (minor == 0x4A ? 0x100 : 0);
            regs.reg_ECX = (category << 8) | minor;
            regs.reg_EDX = 0;
            regs.reg_Flags = 1;
            DWORD returned = 0;
            BOOL ok = DeviceIoControl(vwin32, VWIN32_DIOC_DOS_IOCTL, &regs, sizeof regs, &regs, sizeof regs,
                                      &returned, nullptr);
            EXPECT_TRUE(ok && !(regs.reg_Flags & 1))
                << "category " << std::hex << category << " minor " << minor << ": DeviceIoControl " << ok
                << " error " << std::dec << GetLastError() << " carry " << (regs.reg_Flags & 1) << " AX "
                << std::hex << (regs.reg_EAX & 0xFFFF);
        }
    }
    CloseHandle(vwin32);
}

// Reads below 65536 (register form) and above (the DISKIO packet) return
// what the image holds.
TEST_F(Vwin32, AbsoluteReadsReturnTheImage)
{
    SectorIo io;
    ASSERT_EQ(1, io.UseDosServices);
    unsigned char* buffer = SectorBuffer();
    ASSERT_NE(nullptr, buffer);
    for (DWORD sector : {0u, 1u, 100u, 65535u, 65536u, 70000u}) {
        std::fill(buffer, buffer + SECTOR, 0xEE);
        EXPECT_TRUE(io.ReadSectors(DRIVE_N, sector, 1, buffer)) << "int 25h of sector " << sector;
        EXPECT_EQ(Pattern(sector), std::vector<unsigned char>(buffer, buffer + SECTOR)) << "sector " << sector;
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
}

// Writes through int 26h land on the image, below and above 65536.
TEST_F(Vwin32, AbsoluteWritesReachTheImage)
{
    SectorIo io;
    ASSERT_EQ(1, io.UseDosServices);
    unsigned char* buffer = SectorBuffer();
    ASSERT_NE(nullptr, buffer);
    for (DWORD sector : {2u, 65537u}) {
        std::vector<unsigned char> data = Pattern(sector + 1);
        std::copy(data.begin(), data.end(), buffer);
        EXPECT_TRUE(io.WriteSectors(DRIVE_N, sector, 1, buffer)) << "int 26h of sector " << sector;
        std::vector<unsigned char> back(SECTOR);
        ASSERT_TRUE(ReadImage(sector, back.data()));
        EXPECT_EQ(data, back) << "sector " << sector;
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
}

}  // namespace
