// What the player list shows of a folder, the new-folder name, the rename
// rules and the sorter's number keys.
#include <gtest/gtest.h>

#include "PlayerPaneRules.h"

using namespace playerpane;

namespace {

std::string Rows(const std::vector<ListedRow>& rows)
{
    std::string s;
    for (const auto& r : rows)
        s += (s.empty() ? "" : " ") + r.Name + (r.IsFolder ? "/" : "");
    return s;
}

std::vector<DirEntry> Root()
{
    return {{"zeta.wma", false}, {"SETTINGS.DAT", false}, {"Albums", true}, {"c.wav", false},
            {"a.mp3", false},    {".Trashes", true},      {"._a.mp3", false}, {".DS_Store", false},
            {"Beta", true},      {".windows-label", false}, {"b.MP3", false}, {"x.mp3", true}};
}

}  // namespace

TEST(PlayerList, ViewsOfTheRoot)
{
    // Music: the "*.mp3" pass then the "*.wma" pass, each in directory order;
    // a folder is shown only when its own name takes a mask.
    EXPECT_EQ("x.mp3/ a.mp3 b.MP3 zeta.wma", Rows(PlayerListRows(Root(), FILTER_MUSIC, true)));
    EXPECT_EQ("x.mp3/ a.mp3 b.MP3 zeta.wma", Rows(PlayerListRows(Root(), FILTER_MUSIC_EXT, true)));
    // All files and voice: folders first in ascending name order, then every
    // file in directory order.
    EXPECT_EQ("Albums/ Beta/ x.mp3/ zeta.wma c.wav a.mp3 b.MP3", Rows(PlayerListRows(Root(), FILTER_ALL, true)));
    EXPECT_EQ("Albums/ Beta/ x.mp3/ zeta.wma c.wav a.mp3 b.MP3", Rows(PlayerListRows(Root(), FILTER_VOICE, true)));
    EXPECT_EQ("", Rows(PlayerListRows(Root(), FILTER_NONE, true)));
    // SETTINGS.DAT in a subfolder is listed.
    EXPECT_EQ("Albums/ Beta/ x.mp3/ zeta.wma SETTINGS.DAT c.wav a.mp3 b.MP3",
              Rows(PlayerListRows(Root(), FILTER_ALL, false)));
}

TEST(PlayerList, NewFolderNames)
{
    EXPECT_EQ("New Folder", NextNewFolderName({}));
    EXPECT_EQ("New Folder", NextNewFolderName({"a.mp3", "Folder"}));
    EXPECT_EQ("New Folder(1)", NextNewFolderName({"New Folder"}));
    EXPECT_EQ("New Folder(8)", NextNewFolderName({"New Folder", "New Folder(1)", "New Folder(7)"}));
    EXPECT_EQ("New Folder(5)", NextNewFolderName({"new folder(4)"}));
    EXPECT_EQ("New Folder(8)", NextNewFolderName({"New Folder(7)", "New Folder"}));
    // A number at the top of the range is passed by, not wrapped.
    EXPECT_EQ("New Folder(3)", NextNewFolderName({"New Folder(2)", "New Folder(2147483647)"}));
}

TEST(PlayerList, RenameRules)
{
    struct Case {
        const char* from;
        const char* to;
        bool folder;
        RenameCheck want;
    } cases[] = {
        {"song.mp3", "song.txt", false, RENAME_MUSIC_TO_OTHER},
        {"notes.txt", "notes.wma", false, RENAME_OTHER_TO_MUSIC},
        {"a.mp3", "b.wma", false, RENAME_OK},
        {"a.mp3", "a.mp3", false, RENAME_UNCHANGED},
        {"a.mp3", "A.mp3", false, RENAME_OK},
        {"a.mp3", "", false, RENAME_EMPTY},
        {"a.mp3", "x?.mp3", false, RENAME_BAD_CHARACTER},
        {"Dir", "a|b", true, RENAME_BAD_CHARACTER},
        {"Dir", "Tunes.mp3", true, RENAME_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, CheckRename(c.from, c.to, c.folder)) << c.from << " -> " << c.to;
}

TEST(ListSorter, NumberKeys)
{
    EXPECT_EQ(10, SortNumber("10 KB"));
    EXPECT_EQ(9, SortNumber("  9 KB"));
    EXPECT_EQ(-12, SortNumber("-12"));
    EXPECT_EQ(7, SortNumber("+7x"));
    EXPECT_EQ(0, SortNumber("KB 10"));
    EXPECT_EQ(0, SortNumber(""));
    EXPECT_EQ(0, SortNumber("-"));
    EXPECT_EQ(2147483647L, SortNumber("99999999999999999999"));
    EXPECT_EQ(-2147483647L - 1, SortNumber("-99999999999999999999"));
    EXPECT_EQ(0, CompareSortNumbers(5, 5, true));
    EXPECT_EQ(1, CompareSortNumbers(10, 9, true));
    EXPECT_EQ(-1, CompareSortNumbers(9, 10, true));
    EXPECT_EQ(-1, CompareSortNumbers(10, 9, false));
    EXPECT_EQ(1, CompareSortNumbers(9, 10, false));
}

TEST(FileLists, TimeTexts)
{
    EXPECT_EQ("2006-03-04 AM 12:05", FileTimeText(2006, 3, 4, 0, 5, "AM"));
    EXPECT_EQ("2006-03-04 AM 11:59", FileTimeText(2006, 3, 4, 11, 59, "AM"));
    EXPECT_EQ("2006-12-31 PM 12:00", FileTimeText(2006, 12, 31, 12, 0, "PM"));
    EXPECT_EQ("2006-12-31 PM 01:00", FileTimeText(2006, 12, 31, 13, 0, "PM"));
    EXPECT_EQ("2006-12-31 PM 11:00", FileTimeText(2006, 12, 31, 23, 0, "PM"));
    EXPECT_EQ("---", FileTimeText(2006, 12, 31, 24, 0, "PM"));
}

TEST(PlayerList, OrderByDirectory)
{
    std::vector<DirEntry> sorted{{"a.mp3", false}, {"B", true}, {"c.mp3", false}, {"late.mp3", false}};
    std::string got;
    for (const auto& e : OrderByDirectory(sorted, {"C.MP3", "a.mp3", "gone.mp3", "b"}))
        got += e.Name + " ";
    // Names the directory does not hold follow in their own order.
    EXPECT_EQ("c.mp3 a.mp3 B late.mp3 ", got);
    EXPECT_TRUE(OrderByDirectory({}, {"x"}).empty());
}
