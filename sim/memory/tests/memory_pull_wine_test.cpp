// Pulling a memory under Wine: the test run calls one phase at a time
// (--gtest_filter=Present.*, Pulled.*, Inserted.*) around the daemon's pull
// and insert commands.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "raw_drive.h"

namespace {

bool DriveAnswers(std::string* why)
{
    HANDLE h = CreateFileA("N:\\probe.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *why = "N:\\probe.txt cannot be made: " + std::to_string(GetLastError());
        return false;
    }
    DWORD put = 0;
    bool ok = WriteFile(h, "probe", 5, &put, nullptr) && put == 5;
    CloseHandle(h);
    CRawDrive raw;
    if (!raw.Open('N', false) || !raw.Load()) {
        *why = "\\\\.\\N: cannot be read: " + std::to_string(raw.LastError);
        return false;
    }
    return ok;
}

TEST(Present, FilesAndSectorsAnswer)
{
    std::string why;
    EXPECT_TRUE(DriveAnswers(&why)) << why;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("N:\\probe.txt"));
}

TEST(Pulled, FilesFail)
{
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("N:\\probe.txt"));
    HANDLE h = CreateFileA("N:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA("N:\\*", &fd);
    EXPECT_EQ(INVALID_HANDLE_VALUE, f);
    if (f != INVALID_HANDLE_VALUE)
        FindClose(f);
    ULARGE_INTEGER avail, total, free;
    EXPECT_FALSE(GetDiskFreeSpaceExA("N:\\", &avail, &total, &free));
}

TEST(Pulled, SectorsFail)
{
    CRawDrive raw;
    bool readable = raw.Open('N', false) && raw.Load();
    EXPECT_FALSE(readable);
}

TEST(Inserted, FilesAndSectorsAnswerAgain)
{
    std::string why;
    EXPECT_TRUE(DriveAnswers(&why)) << why;
    EXPECT_TRUE(DeleteFileA("N:\\probe.txt"));
}

}  // namespace
