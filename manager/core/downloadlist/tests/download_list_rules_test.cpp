// The download list's filter, numbering, space check and reorder.
#include <gtest/gtest.h>

#include "DownloadListRules.h"

namespace {

using Names = std::vector<std::string>;

TEST(DownloadListRules, TheFilterShowsMusicVoiceOrEverything)
{
    struct { const char* Name; bool Music, Voice; } cases[] = {
        {"a.mp3", true, false}, {"B.WMA", true, false}, {"rec.Wav", false, true},
        {"Album", false, false}, {"x.mp3.txt", false, false}, {"dir.mp3\\x", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Music, CDownloadListRules::PassesFilter(c.Name, DOWNLOAD_FILTER_MUSIC)) << c.Name;
        EXPECT_EQ(c.Voice, CDownloadListRules::PassesFilter(c.Name, DOWNLOAD_FILTER_VOICE)) << c.Name;
        EXPECT_TRUE(CDownloadListRules::PassesFilter(c.Name, DOWNLOAD_FILTER_ALL)) << c.Name;
        EXPECT_TRUE(CDownloadListRules::PassesFilter(c.Name, 7)) << c.Name;
    }
}

TEST(DownloadListRules, RowsAreNumberedFromOneInThreeDigits)
{
    EXPECT_EQ("001", CDownloadListRules::Number(0));
    EXPECT_EQ("042", CDownloadListRules::Number(41));
    EXPECT_EQ("1000", CDownloadListRules::Number(999));
}

TEST(DownloadListRules, TheSpaceCheckTakesWhatFitsAndStopsAtTheFirstOverflow)
{
    const std::int64_t mb = 1 << 20;
    // Three 10 MB files with 25 MB free: the first two.
    DOWNLOAD_PICK pick = CDownloadListRules::PickForSpace({10 * mb, 10 * mb, 10 * mb}, 25 * mb);
    EXPECT_EQ((std::vector<std::size_t>{0, 1}), pick.Taken);
    EXPECT_FALSE(pick.NoSpace);
    // The first alone too large.
    pick = CDownloadListRules::PickForSpace({30 * mb, 1}, 25 * mb);
    EXPECT_TRUE(pick.Taken.empty());
    EXPECT_TRUE(pick.NoSpace);
    // A total that reaches the free bytes exactly does not fit; gone paths
    // are passed over; a later small one is not taken after the stop.
    pick = CDownloadListRules::PickForSpace({-1, 10, -1, 15, 1}, 25);
    EXPECT_EQ((std::vector<std::size_t>{1}), pick.Taken);
    EXPECT_FALSE(pick.NoSpace);
    pick = CDownloadListRules::PickForSpace({-1, -1}, 25);
    EXPECT_TRUE(pick.Taken.empty());
    EXPECT_FALSE(pick.NoSpace);
}

TEST(DownloadListRules, MovedRowsStandTogetherBeforeTheTarget)
{
    const Names rows = {"a", "b", "c", "d"};
    EXPECT_EQ((Names{"c", "a", "b", "d"}), CDownloadListRules::Reorder(rows, {"c"}, 0));
    EXPECT_EQ((Names{"b", "c", "d", "a"}), CDownloadListRules::Reorder(rows, {"a"}, 4));
    EXPECT_EQ((Names{"b", "a", "d", "c"}), CDownloadListRules::Reorder(rows, {"A", "d"}, 2));
    EXPECT_EQ(rows, CDownloadListRules::Reorder(rows, {"b"}, 1));
    EXPECT_EQ(rows, CDownloadListRules::Reorder(rows, {"zz"}, 0));
}

}  // namespace
