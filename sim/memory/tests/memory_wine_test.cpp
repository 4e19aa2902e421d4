// A player memory as Windows programs see it under Wine: drive M:\ holds the
// memory's files and \\.\M: its raw sectors, one storage behind both.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raw_drive.h"

namespace {

bool PutFile(const std::string& path, const std::string& data, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) && put == data.size();
    return CloseHandle(h) && ok;
}

std::string GetFile(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<cannot open>";
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        data.append(buf, got);
    CloseHandle(h);
    return data;
}

std::vector<std::string> FindNames(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = fd.cFileName;
        if (n != "." && n != "..")
            names.push_back(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

std::vector<std::string> RawNames(CRawDrive& raw, const std::string& folder)
{
    std::vector<uint8_t> dir;
    std::vector<uint64_t> offsets;
    std::vector<std::string> names;
    if (!raw.Load() || !raw.ReadFolder(folder, &dir, &offsets))
        return names;
    for (const auto& g : ParseGroups(dir))
        names.push_back(g.LongName);
    return names;
}

std::string Pattern(size_t size, char seed)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>(seed + i * 7 + i / 251);
    return s;
}

TEST(MemoryDrive, FilesWrittenThroughTheDriveAreFoundRaw)
{
    ASSERT_TRUE(CreateDirectoryA("M:\\MUSIC", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::vector<std::string> names = {"Zulu.mp3", "Alpha Song.mp3", "mid.MP3"};
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(PutFile("M:\\MUSIC\\" + names[i], Pattern(20000 + 3000 * i, static_cast<char>(i))))
            << names[i] << " " << GetLastError();
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(Pattern(20000 + 3000 * i, static_cast<char>(i)), GetFile("M:\\MUSIC\\" + names[i]));
    auto found = FindNames("M:\\MUSIC\\*");
    std::vector<std::string> sortedFound = found, sortedNames = names;
    std::sort(sortedFound.begin(), sortedFound.end());
    std::sort(sortedNames.begin(), sortedNames.end());
    EXPECT_EQ(sortedNames, sortedFound);
    CRawDrive raw;
    ASSERT_TRUE(raw.Open('M', false)) << raw.LastError;
    EXPECT_EQ(names, RawNames(raw, "MUSIC")) << "the entries stand in the order of their creation";
}

TEST(MemoryDrive, FreeSpaceAgreesWithTheFat)
{
    ASSERT_TRUE(PutFile("M:\\space.bin", Pattern(100000, 3)));
    ULARGE_INTEGER avail, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("M:\\", &avail, &total, &free));
    CRawDrive raw;
    ASSERT_TRUE(raw.Open('M', false)) << raw.LastError;
    ASSERT_TRUE(raw.Load());
    // Wine counts a folder drive's space in units of 4 KiB, rounded down.
    uint64_t clusterBytes = raw.SectorsPerCluster * raw.BytesPerSector;
    auto units = [](uint64_t bytes) { return bytes / 4096 * 4096; };
    EXPECT_EQ(units(raw.FreeClusters() * clusterBytes), free.QuadPart);
    EXPECT_EQ(units(raw.FreeClusters() * clusterBytes), avail.QuadPart);
    EXPECT_EQ(units(raw.ClusterCount * clusterBytes), total.QuadPart);
    uint64_t before = free.QuadPart;
    EXPECT_TRUE(DeleteFileA("M:\\space.bin"));
    ASSERT_TRUE(GetDiskFreeSpaceExA("M:\\", &avail, &total, &free));
    ASSERT_TRUE(raw.Load());
    EXPECT_EQ(units(raw.FreeClusters() * clusterBytes), free.QuadPart);
    EXPECT_GE(free.QuadPart, before + 96 * 1024);
}

TEST(MemoryDrive, RawRewriteOfTheOrderShowsAtOnce)
{
    ASSERT_TRUE(CreateDirectoryA("M:\\ORDER", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::vector<std::string> names = {"FIRST.MP3", "second.mp3", "Third Song.mp3"};
    for (const auto& n : names)
        ASSERT_TRUE(PutFile("M:\\ORDER\\" + n, "data of " + n));
    CRawDrive raw;
    ASSERT_TRUE(raw.Open('M', true)) << raw.LastError;
    ASSERT_TRUE(raw.Load());
    std::vector<uint8_t> dir;
    std::vector<uint64_t> offsets;
    ASSERT_TRUE(raw.ReadFolder("ORDER", &dir, &offsets));
    auto groups = ParseGroups(dir);
    ASSERT_EQ(3u, groups.size());
    // "." and ".." stay first; the groups follow in reverse.
    std::vector<uint8_t> rebuilt(dir.begin(), dir.begin() + 64);
    for (auto g = groups.rbegin(); g != groups.rend(); ++g)
        rebuilt.insert(rebuilt.end(), g->Entries.begin(), g->Entries.end());
    rebuilt.resize(dir.size(), 0);
    ASSERT_TRUE(raw.WriteFolder(rebuilt, offsets)) << raw.LastError;
    std::vector<std::string> reversed(names.rbegin(), names.rend());
    EXPECT_EQ(reversed, RawNames(raw, "ORDER"));
    auto found = FindNames("M:\\ORDER\\*");
    std::sort(found.begin(), found.end());
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, found);
    for (const auto& n : names)
        EXPECT_EQ("data of " + n, GetFile("M:\\ORDER\\" + n));
}

TEST(MemoryDrive, HiddenSystemReadOnlyReachTheEntry)
{
    const DWORD want = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA("M:\\SETTINGS.DAT", FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(PutFile("M:\\SETTINGS.DAT", Pattern(64, 9), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesA("M:\\SETTINGS.DAT", want)) << GetLastError();
    DWORD attributes = GetFileAttributesA("M:\\SETTINGS.DAT");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(want, attributes & want);
    CRawDrive raw;
    ASSERT_TRUE(raw.Open('M', false)) << raw.LastError;
    ASSERT_TRUE(raw.Load());
    std::vector<uint8_t> root;
    std::vector<uint64_t> offsets;
    ASSERT_TRUE(raw.ReadFolder("", &root, &offsets));
    bool seen = false;
    for (const auto& g : ParseGroups(root)) {
        if (g.LongName == "SETTINGS.DAT") {
            seen = true;
            EXPECT_EQ(0x07, g.ShortEntry()[11] & 0x07);
        }
    }
    EXPECT_TRUE(seen);
    HANDLE h = CreateFileA("M:\\SETTINGS.DAT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h) << "a read-only file refuses writing";
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

// Wine reads a drive's label from its raw device when it can open one and
// from the folder otherwise; this case runs with the raw device unmapped
// (MB_DOSDEVICES m::= a missing path) and reads the image by its Linux path.
// Wine's mount manager reads a folder drive's label once, when the prefix's
// server starts, so the case runs in a prefix of its own started after the
// memory; a label set later reaches the image at once, but Wine itself shows
// it only from the next server start (a gap of Wine, not of the memory).
TEST(MemoryLabel, VolumeLabelAgreesWithTheImage)
{
    const char* image = std::getenv("MB_MEMORY_IMAGE");
    ASSERT_NE(nullptr, image);
    std::string path = std::string("Z:") + image;
    std::replace(path.begin(), path.end(), '/', '\\');
    CRawDrive raw;
    ASSERT_TRUE(raw.OpenPath(path, false)) << path << " " << raw.LastError;
    ASSERT_TRUE(raw.Load());
    char label[64] = {}, fs[64] = {};
    DWORD serial = 0, maxName = 0, flags = 0;
    ASSERT_TRUE(GetVolumeInformationA("M:\\", label, sizeof label, &serial, &maxName, &flags, fs, sizeof fs))
        << GetLastError();
    EXPECT_EQ("VILO", raw.RootLabel());
    EXPECT_EQ(raw.RootLabel(), label);
    ASSERT_TRUE(SetVolumeLabelA("M:\\", "Lark")) << GetLastError();
    EXPECT_EQ("LARK", raw.RootLabel());
    ASSERT_TRUE(SetVolumeLabelA("M:\\", "")) << GetLastError();
    EXPECT_EQ("", raw.RootLabel());
    ASSERT_TRUE(SetVolumeLabelA("M:\\", "VILO"));
    EXPECT_EQ("VILO", raw.RootLabel());
    auto names = FindNames("M:\\*");
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), ".windows-label"));
}

}  // namespace
