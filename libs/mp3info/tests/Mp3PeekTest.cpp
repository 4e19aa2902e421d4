// Mp3Peek.dll as its callers use it: CMP3Info over real files, under Wine.
#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Mp3Expected.h"
#include "Mp3Info.h"
#include "HostPaths.h"

namespace {

std::string CorpusPath(const std::string& name)
{
    return mbtest::HostWinPath(std::string(MP3INFO_DATA) + "/corpus/" + name);
}

std::string Genre(CMP3Info& info)
{
    char name[64];
    std::memset(name, 'x', sizeof name);
    const int len = info.GetGenre(name);
    EXPECT_EQ(static_cast<int>(std::strlen(name)), len);
    return name;
}

TEST(Mp3Peek, UnusedExportsHoldTheirValues)
{
    EXPECT_EQ(42, fnMP3Info());
    EXPECT_EQ(0, nMP3Info);
}

TEST(Mp3Peek, GettersBeforeAnyFileAreEmpty)
{
    // Fill the storage first: the constructor must not leave it as it was.
    alignas(CMP3Info) unsigned char storage[sizeof(CMP3Info)];
    std::memset(storage, 'Q', sizeof storage);
    CMP3Info* info = new (storage) CMP3Info();
    EXPECT_STREQ("", info->GetTitle());
    EXPECT_STREQ("", info->GetArtistName());
    EXPECT_STREQ("", info->GetAlbumName());
    EXPECT_STREQ("", info->GetYear());
    EXPECT_STREQ("", info->GetComment());
    EXPECT_EQ("", Genre(*info));
    EXPECT_EQ(0, info->GetBitrate());
    EXPECT_EQ(0, info->GetChannel());
    EXPECT_EQ(0ul, info->GetSize());
    EXPECT_EQ(0ul, info->GetTotalSeconds());
    info->~CMP3Info();
}

TEST(Mp3Peek, UnopenableFilesGiveZeroAndClearTheLastFile)
{
    CMP3Info info;
    std::string good = CorpusPath("id3v1-lame.mp3");
    ASSERT_EQ(1, info.SetFilePath(&good[0]));
    ASSERT_STREQ("Song", info.GetTitle());
    std::string missing = CorpusPath("no-such-file.mp3");
    EXPECT_EQ(0, info.SetFilePath(&missing[0]));
    EXPECT_STREQ("", info.GetTitle());
    EXPECT_EQ(0ul, info.GetSize());
    std::string folder = mbtest::HostWinPath(std::string(MP3INFO_DATA) + "/corpus");
    EXPECT_EQ(0, info.SetFilePath(&folder[0]));
    EXPECT_EQ(0, info.SetFilePath(nullptr));
}

TEST(Mp3Peek, CopiesCarryBothRecords)
{
    CMP3Info info;
    std::string path = CorpusPath("vbr-mpeg1-mono.mp3");
    ASSERT_EQ(1, info.SetFilePath(&path[0]));
    CMP3Info copy(info);
    EXPECT_EQ(-1, copy.GetBitrate());
    EXPECT_EQ(1, copy.GetChannel());
    EXPECT_EQ(info.GetSize(), copy.GetSize());
    CMP3Info assigned;
    std::string other = CorpusPath("id3v1-blanks.mp3");
    ASSERT_EQ(1, assigned.SetFilePath(&other[0]));
    assigned = info;
    EXPECT_STREQ("", assigned.GetTitle());
    EXPECT_EQ(info.GetTotalSeconds(), assigned.GetTotalSeconds());
    EXPECT_EQ(-1, assigned.GetBitrate());
}

TEST(Mp3Peek, FileHeldOpenElsewhereIsStillRead)
{
    // A player that holds the file open with shared reading.
    const std::string path = CorpusPath("cbr-44100-info.mp3");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CMP3Info info;
    std::string p = path;
    EXPECT_EQ(1, info.SetFilePath(&p[0]));
    EXPECT_EQ(32, info.GetBitrate());
    CloseHandle(h);
}

TEST(Mp3Peek, CorpusFilesGiveTheirExpectedValues)
{
    // The expected texts are Windows-1252 bytes.
    ASSERT_EQ(1252u, GetACP());
    const std::vector<Mp3Expected> all = LoadMp3Expected(MP3INFO_DATA);
    ASSERT_GE(all.size(), 60u);
    CMP3Info info;
    for (const Mp3Expected& e : all) {
        const std::string name = e.Text("file");
        SCOPED_TRACE(name);
        std::string path = CorpusPath(name);
        ASSERT_EQ(e.Number("open"), info.SetFilePath(&path[0]));
        EXPECT_EQ(e.Text("title"), info.GetTitle());
        EXPECT_EQ(e.Text("artist"), info.GetArtistName());
        EXPECT_EQ(e.Text("album"), info.GetAlbumName());
        EXPECT_EQ(e.Text("year"), info.GetYear());
        EXPECT_EQ(e.Text("comment"), info.GetComment());
        EXPECT_EQ(e.Text("genre"), Genre(info));
        EXPECT_EQ(e.Number("getbitrate"), info.GetBitrate());
        EXPECT_EQ(e.Number("channels"), info.GetChannel());
        EXPECT_EQ(static_cast<unsigned long>(e.Number("size")), info.GetSize());
        EXPECT_EQ(static_cast<unsigned long>(e.Number("seconds")), info.GetTotalSeconds());
    }
}

} // namespace

TEST(Mp3Peek, TagAtTheEndOfAFileOver4GiBIsRead)
{
    // The ID3v1 tag of a 5 GiB file lies past 4 GiB: sizing and seeking must
    // carry the high 32 bits (GetFileSize and SetFilePointer's high parts).
    char folder[MAX_PATH + 1] = {};
    char file[MAX_PATH + 1] = {};
    ASSERT_NE(0u, GetTempPathA(sizeof folder, folder));
    ASSERT_NE(0u, GetTempFileNameA(folder, "mp3", 0, file));
    const std::string source = CorpusPath("cbr-44100-info.mp3");
    HANDLE in = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, in);
    std::vector<char> head(64 * 1024);
    DWORD got = 0;
    ReadFile(in, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
    CloseHandle(in);
    head.resize(got);

    char tag[128] = {};
    std::memcpy(tag, "TAG", 3);
    std::memcpy(tag + 3, "Past Four Gigabytes", 19);
    tag[127] = 12;
    HANDLE out = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, out);
    DWORD written = 0;
    LARGE_INTEGER tagAt;
    tagAt.QuadPart = (5ll << 30) - 128;
    const bool made = WriteFile(out, head.data(), got, &written, nullptr) && written == got &&
                      SetFilePointerEx(out, tagAt, nullptr, FILE_BEGIN) &&
                      WriteFile(out, tag, sizeof tag, &written, nullptr) && written == sizeof tag;
    CloseHandle(out);
    ASSERT_TRUE(made);

    CMP3Info info;
    std::string path = file;
    EXPECT_EQ(1, info.SetFilePath(&path[0]));
    EXPECT_STREQ("Past Four Gigabytes", info.GetTitle());
    EXPECT_EQ(32, info.GetBitrate());
    DeleteFileA(file);
}
