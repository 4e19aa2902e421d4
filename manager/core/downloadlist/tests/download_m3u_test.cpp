// The download list's playlists: what Save List writes, and what Open List
// takes from files of this program and of others.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DownloadM3u.h"

namespace {

using Paths = std::vector<std::string>;

TEST(DownloadM3uWrite, AnEmptyListIsTheHeaderAlone)
{
    EXPECT_EQ("#EXTM3U\r\n", CDownloadM3u::Write({}));
}

TEST(DownloadM3uWrite, EachRowIsItsDurationNameAndFullPath)
{
    const std::string text =
        CDownloadM3u::Write({{215, "C:\\Music\\Song 1.mp3"}, {0, "D:\\Voice\\rec.wav"}, {7, "C:\\Top"}});
    EXPECT_EQ("#EXTM3U\r\n"
              "#EXTINF:215,Song 1.mp3\r\nC:\\Music\\Song 1.mp3\r\n"
              "#EXTINF:0,rec.wav\r\nD:\\Voice\\rec.wav\r\n"
              "#EXTINF:7,Top\r\nC:\\Top\r\n",
              text);
}

TEST(DownloadM3uRead, WhatSaveListWritesComesBackWhole)
{
    const std::vector<M3U_ROW> rows = {{1, "C:\\Music\\a.mp3"}, {2, "C:\\Music\\Album"}, {3, "E:\\x y\\b.wma"}};
    EXPECT_EQ((Paths{"C:\\Music\\a.mp3", "C:\\Music\\Album", "E:\\x y\\b.wma"}),
              CDownloadM3u::Read(CDownloadM3u::Write(rows), "Q:\\elsewhere"));
}

struct READ_CASE {
    const char* Name;
    std::string Bytes;
    Paths Expected;
};

class DownloadM3uReadCases : public ::testing::TestWithParam<READ_CASE> {};

TEST_P(DownloadM3uReadCases, GiveTheirEntries)
{
    EXPECT_EQ(GetParam().Expected, CDownloadM3u::Read(GetParam().Bytes, "C:\\Lists\\Mine"));
}

const std::string kLong(300, 'x');

const READ_CASE kReadCases[] = {
    {"PlainLinesWithoutHeader", "C:\\a.mp3\r\nC:\\b.mp3\r\n", {"C:\\a.mp3", "C:\\b.mp3"}},
    {"LfOnly", "#EXTM3U\n#EXTINF:1,a\nC:\\a.mp3\nC:\\b.mp3\n", {"C:\\a.mp3", "C:\\b.mp3"}},
    {"CrOnly", "C:\\a.mp3\rC:\\b.mp3", {"C:\\a.mp3", "C:\\b.mp3"}},
    {"LastLineWithoutBreak", "#EXTM3U\r\nC:\\a.mp3\r\nC:\\b.mp3", {"C:\\a.mp3", "C:\\b.mp3"}},
    {"ExtinfAsFirstLineKeepsTheFirstEntry", "#EXTINF:3,a.mp3\r\nC:\\a.mp3\r\n", {"C:\\a.mp3"}},
    {"RelativeToThePlaylistsFolder", "a.mp3\r\nsub/b.wma\r\n..\\c.mp3\r\n.\\d.mp3\r\n",
     {"C:\\Lists\\Mine\\a.mp3", "C:\\Lists\\Mine\\sub\\b.wma", "C:\\Lists\\c.mp3", "C:\\Lists\\Mine\\d.mp3"}},
    {"RootedOnThePlaylistsDrive", "\\Music\\a.mp3", {"C:\\Music\\a.mp3"}},
    {"NetworkPath", "\\\\server\\share\\a.mp3\r\n\\\\server\r\n", {"\\\\server\\share\\a.mp3"}},
    {"ClimbingAboveTheRootIsLeftOut", "..\\..\\..\\a.mp3\r\nC:\\..\\b.mp3\r\nC:\\c.mp3", {"C:\\c.mp3"}},
    {"BlankAndCommentLinesAndSpaces", "\r\n   \r\n# note\r\n  C:\\a.mp3  \r\n\r\n", {"C:\\a.mp3"}},
    {"ByteOrderMark", "\xEF\xBB\xBF#EXTM3U\r\nC:\\a.mp3\r\n", {"C:\\a.mp3"}},
    {"ALineLongerThanAPathIsLeftOut", "C:\\" + kLong + "\r\nC:\\a.mp3\r\n", {"C:\\a.mp3"}},
    {"AnEntryThatResolvesTooLongIsLeftOut", std::string(250, 'y') + ".mp3\r\n", {}},
    {"EmbeddedZeroIsNoPath", std::string("C:\\a\0b.mp3\r\nC:\\c.mp3", 20), {"C:\\c.mp3"}},
    {"TrailingBlanksAndDotsOfANameAreDropped", "sub. /a.mp3 \r\nC:\\x\\b.mp3.\r\n",
     {"C:\\Lists\\Mine\\sub\\a.mp3", "C:\\x\\b.mp3"}},
    {"Empty", "", {}},
    {"OnlyComments", "#EXTM3U\r\n#EXTINF:1,x\r\n", {}},
};

INSTANTIATE_TEST_SUITE_P(Files, DownloadM3uReadCases, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<READ_CASE>& info) { return std::string(info.param.Name); });

TEST(DownloadM3uRead, RelativeEntriesNeedAPlaylistFolderWithADrive)
{
    EXPECT_TRUE(CDownloadM3u::Read("a.mp3\r\n", "").empty());
    EXPECT_EQ(Paths{"D:\\a.mp3"}, CDownloadM3u::Read("a.mp3\r\n", "D:\\"));
}

// A playlist kept on a network share names its tracks relative to itself as
// one on a drive does; the share is the root ".." cannot climb above.
TEST(DownloadM3uRead, RelativeEntriesOfAPlaylistOnANetworkShare)
{
    const std::string list = "a.mp3\r\n..\\b.mp3\r\n\\c.mp3\r\n..\\..\\..\\d.mp3\r\n";
    EXPECT_EQ((Paths{"\\\\srv\\music\\lists\\a.mp3", "\\\\srv\\music\\b.mp3", "\\\\srv\\music\\c.mp3"}),
              CDownloadM3u::Read(list, "\\\\srv\\music\\lists"));
    EXPECT_EQ((Paths{"\\\\srv\\music\\a.mp3", "\\\\srv\\music\\c.mp3"}), CDownloadM3u::Read(list, "\\\\srv\\music"));
    // No share named: nothing to resolve against.
    EXPECT_TRUE(CDownloadM3u::Read(list, "\\\\srv").empty());
    EXPECT_TRUE(CDownloadM3u::Read(list, "\\\\").empty());
}

TEST(DownloadM3uWma, PlayTimeIsComputedIn64Bits)
{
    EXPECT_EQ(0, CDownloadM3u::WmaSeconds(1000000, 0));
    EXPECT_EQ(62, CDownloadM3u::WmaSeconds(1000000, 125));
    // 600 MB at 64 kbit/s: size x 8 passes 32 bits.
    EXPECT_EQ(76800, CDownloadM3u::WmaSeconds(600ull * 1024 * 1024, 64));
}

}  // namespace
