// WmaPeek.dll as the manager and the playlist maker use it: the exported
// CWMAInfo, its member layout, and the facts it reads from the corpus
// (expected values from mutagen and ffprobe, see data/make_corpus.py).
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WMAInfo.h"
#include "HostPaths.h"

namespace {

struct ExpectedFile {
    std::string name;
    bool readable = false;
    unsigned long long size = 0;
    unsigned long bitrate = 0;
    std::string texts[6];  // UTF-8: title, artist, album, year, comment, genre
};

std::string DataDir() { return WMAPEEK_DATA_DIR; }

std::string DataFile(const std::string& name) { return mbtest::HostWinPath(DataDir() + "/" + name); }

std::vector<ExpectedFile> LoadExpected()
{
    std::vector<ExpectedFile> rows;
    std::ifstream in(mbtest::HostWinPath(DataDir() + "/expected.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t'))
            cols.push_back(col);
        cols.resize(10);
        ExpectedFile f;
        f.name = cols[0];
        f.readable = cols[1] == "1";
        f.size = std::stoull(cols[2]);
        f.bitrate = std::stoul(cols[3]);
        for (int i = 0; i < 6; ++i)
            f.texts[i] = cols[4 + i];
        rows.push_back(f);
    }
    return rows;
}

// What the ANSI code page makes of the first maxChars characters of a UTF-8
// text, cut to the bytes a member holds (the default test run's code page is
// single-byte).
std::string Ansi(const std::string& utf8, size_t memberSize, size_t maxChars = std::string::npos)
{
    if (utf8.empty())
        return std::string();
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], wideLength);
    wide = wide.substr(0, maxChars);
    const int chars = static_cast<int>(wide.size());
    const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, &ansi[0], ansiLength, nullptr, nullptr);
    return ansi.substr(0, memberSize - 1);
}

// Units of 1024 bit/s, rounded, and no more than 1024 times fits 32 bits.
unsigned int KiloBits(unsigned long long bitsPerSecond)
{
    const unsigned long long units = (bitsPerSecond + 512) / 1024;
    return static_cast<unsigned int>(units > 0xFFFFFFFFull / 1024 ? 0xFFFFFFFFull / 1024 : units);
}

void ExpectEmpty(const CWMAInfo& info)
{
    EXPECT_EQ(0u, info.size);
    EXPECT_EQ(0u, info.bitrate);
    EXPECT_STREQ("", info.title);
    EXPECT_STREQ("", info.artist);
    EXPECT_STREQ("", info.album);
    EXPECT_STREQ("", info.year);
    EXPECT_STREQ("", info.comment);
    EXPECT_STREQ("", info.genre);
}

// ---- the exported class's layout ---------------------------------------------

TEST(WmaInfoLayout, MembersLieInTheOrderAndSizesTheProgramsWereBuiltWith)
{
    auto info = std::make_unique<CWMAInfo>();
    const char* base = reinterpret_cast<const char*>(info.get());
    auto at = [&](const void* member) { return static_cast<size_t>(static_cast<const char*>(member) - base); };
    EXPECT_EQ(0u, at(&info->size));
    EXPECT_EQ(4u, at(&info->bitrate));
    EXPECT_EQ(8u, at(info->title));
    EXPECT_EQ(8u + 256, at(info->artist));
    EXPECT_EQ(8u + 2 * 256, at(info->album));
    EXPECT_EQ(8u + 3 * 256, at(info->year));
    EXPECT_EQ(8u + 3 * 256 + 5, at(info->comment));
    EXPECT_EQ(8u + 4 * 256 + 5, at(info->genre));
    EXPECT_EQ(4u, sizeof info->size);
    EXPECT_EQ(4u, sizeof info->bitrate);
    EXPECT_EQ(256u, sizeof info->title);
    EXPECT_EQ(256u, sizeof info->artist);
    EXPECT_EQ(256u, sizeof info->album);
    EXPECT_EQ(5u, sizeof info->year);
    EXPECT_EQ(256u, sizeof info->comment);
    EXPECT_EQ(256u, sizeof info->genre);
    EXPECT_EQ(1296u, sizeof(CWMAInfo));
}

TEST(WmaInfoLayout, ANewObjectHoldsNothing)
{
    // Fill the storage first, so that only the constructor can clear it.
    alignas(CWMAInfo) unsigned char storage[sizeof(CWMAInfo)];
    std::memset(storage, 'X', sizeof storage);
    CWMAInfo* info = new (storage) CWMAInfo;
    ExpectEmpty(*info);
    info->~CWMAInfo();
}

TEST(WmaInfoLayout, TheClassIsExportedByTheDllUnderItsDecoratedNames)
{
    // The programs bind to these names; a rename or a changed signature breaks them.
    HMODULE dll = GetModuleHandleA("WmaPeek.dll");
    ASSERT_NE(nullptr, dll);
    for (const char* name : {"_ZN8CWMAInfoC1Ev", "_ZN8CWMAInfoD1Ev", "_ZN8CWMAInfo11SetFilePathEPKc"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(dll, name)));
    }
}

// ---- the corpus ----------------------------------------------------------------

TEST(WmaInfoCorpus, EveryFileGivesTheFactsMutagenAndFfprobeReport)
{
    const std::vector<ExpectedFile> rows = LoadExpected();
    ASSERT_GE(rows.size(), 10u);
    CWMAInfo info;
    for (const ExpectedFile& f : rows) {
        SCOPED_TRACE(f.name);
        const int result = info.SetFilePath(DataFile(f.name).c_str());
        if (!f.readable) {
            EXPECT_EQ(0, result);
            ExpectEmpty(info);
            continue;
        }
        EXPECT_EQ(1, result);
        EXPECT_EQ(f.size, info.size);
        EXPECT_EQ(KiloBits(f.bitrate), info.bitrate);
        EXPECT_EQ(Ansi(f.texts[0], sizeof info.title), info.title);
        EXPECT_EQ(Ansi(f.texts[1], sizeof info.artist), info.artist);
        EXPECT_EQ(Ansi(f.texts[2], sizeof info.album), info.album);
        EXPECT_EQ(Ansi(f.texts[3], sizeof info.year, 4), info.year);
        EXPECT_EQ(Ansi(f.texts[4], sizeof info.comment), info.comment);
        EXPECT_EQ(Ansi(f.texts[5], sizeof info.genre), info.genre);
    }
}

TEST(WmaInfoCorpus, BitratesAreInUnitsOf1024BitsPerSecond)
{
    CWMAInfo info;
    info.SetFilePath(DataFile("tags_128k.wma").c_str());
    EXPECT_EQ(125u, info.bitrate);
    info.SetFilePath(DataFile("date_year_64k.wma").c_str());
    EXPECT_EQ(63u, info.bitrate);  // 62.5 rounds up
    // The stream bitrate properties (120000 bit/s) win over the audio format's 128000.
    info.SetFilePath(DataFile("stream_bitrates_128k.wma").c_str());
    EXPECT_EQ(117u, info.bitrate);
}

TEST(WmaInfoCorpus, ThePlayingTimeFromSizeAndBitrateIsTheFilesDuration)
{
    // The playlist export's own arithmetic; every corpus file plays 1 s, and
    // the header and packet overhead add at most a second.
    CWMAInfo info;
    for (const char* name : {"tags_128k.wma", "date_year_64k.wma", "plain_192k.wma", "numeric_year_32k.wma"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(1, info.SetFilePath(DataFile(name).c_str()));
        ASSERT_NE(0u, info.bitrate);
        const unsigned int seconds = info.size * 8 / (info.bitrate * 1024);
        EXPECT_GE(seconds, 1u);
        EXPECT_LE(seconds, 2u);
    }
}

TEST(WmaInfoCorpus, AnAbsurdBitrateGivesATimeInsteadOfADivisionByZero)
{
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(DataFile("huge_bitrate.wma").c_str()));
    ASSERT_NE(0u, info.bitrate);
    const unsigned int bitsPerSecond = info.bitrate * 1024;
    ASSERT_NE(0u, bitsPerSecond);
    EXPECT_EQ(0u, info.size * 8 / bitsPerSecond);
}

TEST(WmaInfoCorpus, TextsAreInTheAnsiCodePage)
{
    ASSERT_EQ(1252u, GetACP()) << "the expectations below are those of Windows-1252";
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(DataFile("nonascii_48k.wma").c_str()));
    EXPECT_STREQ("Caf\xE9 D\xE9j\xE0 Vu", info.title);
    EXPECT_STREQ("Bj\xF6rk \xD1" "and\xFA", info.artist);
    EXPECT_STREQ("na\xEFve \x97 fa\xE7" "ade", info.comment);
    EXPECT_STREQ("\xC9lectronique", info.genre);
    // Characters the code page lacks become its default character.
    EXPECT_STREQ("\xDC" "ber Alles ? ??", info.album);
}

TEST(WmaInfoCorpus, AYearStoredAsADateKeepsItsFirstFourCharacters)
{
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(DataFile("date_year_64k.wma").c_str()));
    EXPECT_STREQ("2004", info.year);
    ASSERT_EQ(1, info.SetFilePath(DataFile("numeric_year_32k.wma").c_str()));
    EXPECT_STREQ("1987", info.year);
}

TEST(WmaInfoCorpus, LongTextsAreCutToTheirMembers)
{
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(DataFile("long_texts_160k.wma").c_str()));
    EXPECT_EQ(255u, std::strlen(info.title));
    EXPECT_EQ(0, std::strncmp("Long title xxx", info.title, 14));
    EXPECT_EQ(std::string(255, 'G'), info.genre);
    // The 70,000-byte description lives in the metadata library.
    EXPECT_EQ(255u, std::strlen(info.comment));
    EXPECT_EQ(0, std::strncmp("abcdefghijklmnopqrstuvwxyzabc", info.comment, 29));
    EXPECT_STREQ("Album", info.album);
    EXPECT_STREQ("Someone", info.artist);
}

// A copy of a corpus file in the temporary folder, grown (sparsely) to a
// given length and with its header size field changed when asked.
class CScratchCopy {
public:
    CScratchCopy(const std::string& name, unsigned long long length, unsigned long long headerSize = 0)
    {
        char folder[MAX_PATH + 1] = {};
        char file[MAX_PATH + 1] = {};
        if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "wma", 0, file) == 0)
            return;
        m_path = file;
        std::ifstream in(DataFile(name), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (headerSize != 0)
            for (int i = 0; i < 8; ++i)
                bytes[16 + i] = static_cast<char>(headerSize >> (8 * i));
        HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(length);
        m_ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size() && SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
        CloseHandle(h);
    }
    ~CScratchCopy()
    {
        if (!m_path.empty())
            DeleteFileA(m_path.c_str());
    }
    bool Ok() const { return m_ok; }
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
    bool m_ok = false;
};

TEST(WmaInfoSizes, AFileOver4GbShowsTheLargestSizeNotAWrappedOne)
{
    CScratchCopy big("tags_128k.wma", 5ull << 30);
    ASSERT_TRUE(big.Ok());
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(big.Path()));
    EXPECT_EQ(0xFFFFFFFFu, info.size);
    EXPECT_EQ(125u, info.bitrate);
    EXPECT_STREQ("Morning Light", info.title);
}

TEST(WmaInfoSizes, AHeaderClaimingTensOfMegabytesIsNotRead)
{
    CScratchCopy huge("tags_128k.wma", 100ull << 20, 80ull << 20);
    ASSERT_TRUE(huge.Ok());
    CWMAInfo info;
    EXPECT_EQ(0, info.SetFilePath(huge.Path()));
    ExpectEmpty(info);
}

// ---- a double-byte code page ---------------------------------------------------

// These run a second time with LC_ALL=ko_KR.UTF-8 (the "ko." tests), where Wine
// takes code page 949; expected bytes from Python's cp949 codec.
TEST(WmaInfoKorean, DoubleByteTextsAreCutBetweenCharacters)
{
    if (GetACP() != 949)
        GTEST_SKIP() << "needs code page 949; the ko. tests run it";
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(DataFile("korean_64k.wma").c_str()));
    EXPECT_STREQ("\xBA\xBD\xB3\xAF\xC0\xC7 \xB3\xEB\xB7\xA1", info.title);
    // 200 Hangul syllables take 400 bytes; 127 whole ones fit in 255.
    std::string artist;
    for (int i = 0; i < 127; ++i)
        artist += "\xB0\xA1";
    EXPECT_EQ(artist, info.artist);
    EXPECT_STREQ("\xBE\xD9\xB9\xFC", info.album);
    // Four full-width digits are eight bytes; two whole ones fit the year.
    EXPECT_STREQ("\xA3\xB2\xA3\xB0", info.year);
    EXPECT_STREQ("\xBC\xB3\xB8\xED", info.comment);
    EXPECT_STREQ("\xB0\xA1\xBF\xE4", info.genre);
}

// ---- files that cannot be read ---------------------------------------------------

TEST(WmaInfoFailures, AFailedReadLeavesNothingOfTheFileReadBefore)
{
    CWMAInfo info;
    for (const char* bad : {"damaged_object_overrun.wma", "damaged_truncated_header.wma", "missing.wma"}) {
        SCOPED_TRACE(bad);
        ASSERT_EQ(1, info.SetFilePath(DataFile("tags_128k.wma").c_str()));
        ASSERT_STREQ("Morning Light", info.title);
        EXPECT_EQ(0, info.SetFilePath(DataFile(bad).c_str()));
        ExpectEmpty(info);
    }
}

TEST(WmaInfoFailures, PathsThatNameNoFileGiveNothing)
{
    CWMAInfo info;
    ASSERT_EQ(1, info.SetFilePath(DataFile("tags_128k.wma").c_str()));
    EXPECT_EQ(0, info.SetFilePath(mbtest::HostWinPath(DataDir()).c_str()));
    ExpectEmpty(info);
    EXPECT_EQ(0, info.SetFilePath(""));
    ExpectEmpty(info);
    EXPECT_EQ(0, info.SetFilePath(nullptr));
    ExpectEmpty(info);
    const std::string longPath = mbtest::HostWinPath(DataDir()) + "\\" + std::string(2000, 'a') + ".wma";
    EXPECT_EQ(0, info.SetFilePath(longPath.c_str()));
    ExpectEmpty(info);
}

TEST(WmaInfoFailures, AFileOpenForWritingElsewhereIsStillRead)
{
    // The manager reads the properties of files another program may be writing.
    const std::string path = DataFile("tags_128k.wma");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    CWMAInfo info;
    EXPECT_EQ(1, info.SetFilePath(path.c_str()));
    EXPECT_STREQ("The Lanterns", info.artist);
    CloseHandle(writer);
}

}  // namespace
