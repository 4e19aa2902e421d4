// CFileUtil with Korean (code page 949) as the system's ANSI code page: names
// read from a real folder are shortened between characters and their files
// are found, measured and recycled under those names.
#include "fileutil/FileUtil.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Data()
{
    const char* v = std::getenv("MB_FILEUTIL_DATA");
    std::string p = std::string("Z:") + (v ? v : "");
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// "음악 폴더" (music folder) and the names make-folders.sh puts in it.
const std::string FOLDER = "\xC0\xBD\xBE\xC7\x20\xC6\xFA\xB4\xF5";
const std::string SEVEN = "\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6\xB9\xD9\xBB\xE7.mp3";
const std::string LONG_NAME =
    "\xB3\xEB\xB7\xA1\x20\xC1\xA6\xB8\xF1\xC0\xCC\x20\xBE\xC6\xC1\xD6\x20\xB1\xE4\x20\xC6\xC4\xC0\xCF\xC0\xD4"
    "\xB4\xCF\xB4\xD9.wma";

bool Valid949(const std::string& text)
{
    if (text.empty())
        return true;
    return MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0) > 0;
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*.*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

TEST(KoreanNames, TheSystemCodePageIsKorean)
{
    ASSERT_EQ(949u, GetACP());
}

TEST(KoreanNames, NamesFromTheDiskAreCutBetweenCharacters)
{
    const std::vector<std::string> names = NamesIn(Data() + "\\korean\\" + FOLDER);
    ASSERT_EQ(2u, names.size());
    for (const std::string& name : names) {
        ASSERT_TRUE(name == SEVEN || name == LONG_NAME) << name;
        for (int max = 0; max < static_cast<int>(name.size()); ++max) {
            const std::string shortened = CFileUtil::ShortenName(name, max);
            EXPECT_TRUE(Valid949(shortened)) << max;
            EXPECT_LE(shortened.size(), static_cast<std::size_t>(max) + 2) << max;
        }
    }
    EXPECT_EQ("\xB0\xA1\xB3\xAA\xB4\xD9...mp3", CFileUtil::ShortenName(SEVEN, 11));
    EXPECT_EQ(LONG_NAME, CFileUtil::ShortenName(LONG_NAME, 53));
    EXPECT_EQ("\xB3\xEB\xB7\xA1\x20\xC1\xA6\xB8\xF1...wma", CFileUtil::ShortenName(LONG_NAME, 14));
}

TEST(KoreanNames, PathPartsAndFileFacts)
{
    const std::string path = Data() + "\\korean\\" + FOLDER + "\\" + SEVEN;
    EXPECT_EQ(SEVEN, CFileUtil::GetFileName(path));
    EXPECT_EQ("mp3", CFileUtil::GetFileExt(path));
    EXPECT_EQ(2, CFileUtil::GetFileKindFlag(0, path));
    EXPECT_TRUE(CFileUtil::FileExists(path));
    DWORD size = 0;
    SYSTEMTIME t;
    ASSERT_TRUE(CFileUtil::GetFileSizeAndTime(path, size, t));
    EXPECT_EQ(3u, size);
    EXPECT_EQ(7u, CFileUtil::GetFolderSize(Data() + "\\korean"));
}

TEST(KoreanNames, FolderWithAKoreanNameGoesToTheTrash)
{
    const char* trash = std::getenv("XDG_DATA_HOME");
    ASSERT_TRUE(trash && std::string(trash) == std::string(std::getenv("MB_FILEUTIL_DATA")) + "/xdg");
    char unique[64];
    std::snprintf(unique, sizeof unique, "-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    const std::string name = FOLDER + unique;
    const std::string dir = Data() + "\\scratch\\" + name;
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    HANDLE h = CreateFileA((dir + "\\" + SEVEN).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);

    ASSERT_TRUE(CFileUtil::DeleteToRecycleBin(dir));
    EXPECT_FALSE(CFileUtil::FileExists(dir));
    EXPECT_TRUE(CFileUtil::FileExists(Data() + "\\xdg\\Trash\\files\\" + name + "\\" + SEVEN));
}

}  // namespace
