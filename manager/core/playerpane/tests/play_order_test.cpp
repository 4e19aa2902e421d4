// The moves of the play order and the check of the directory order built
// from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "PlayOrder.h"

using namespace playerpane;

namespace {

std::vector<std::string> Split(const std::string& s)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == ' ') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (const auto& x : v)
        s += (s.empty() ? "" : " ") + x;
    return s;
}

std::string JoinInts(const std::vector<int>& v)
{
    std::string s;
    for (int x : v)
        s += (s.empty() ? "" : " ") + std::to_string(x);
    return s;
}

std::vector<DirEntry> Entries(const std::string& s)
{
    // A trailing slash marks a folder.
    std::vector<DirEntry> out;
    for (std::string n : Split(s)) {
        bool folder = n.back() == '/';
        if (folder)
            n.pop_back();
        out.push_back(DirEntry{n, folder});
    }
    return out;
}

}  // namespace

struct MoveCase {
    const char* what;
    MoveKind kind;
    const char* rows;
    int folderRows;
    std::vector<int> selected;
    int dropRow;
    const char* names;
    const char* selectedAfter;
};

void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.what; }

class Moves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(Moves, GiveTheNewRowsAndSelection)
{
    const MoveCase& c = GetParam();
    MovedRows m = MoveRows(c.kind, Split(c.rows), c.folderRows, c.selected, c.dropRow);
    EXPECT_EQ(c.names, Join(m.Names)) << c.what;
    EXPECT_EQ(c.selectedAfter, JoinInts(m.Selected)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    PlayOrder, Moves,
    ::testing::Values(
        MoveCase{"up one", MOVE_UP, "a b c d", 0, {2}, 0, "a c b d", "1"},
        MoveCase{"up: the first file row and the selected row below it are blocked", MOVE_UP, "F a b c d", 1,
                 {1, 2, 4}, 0, "F a b d c", "1 2 3"},
        MoveCase{"up: a row below a moved row moves too", MOVE_UP, "a b c d", 0, {1, 2}, 0, "b c a d", "0 1"},
        MoveCase{"up: folder rows stay selected and never move", MOVE_UP, "F G a b", 2, {0, 3}, 0, "F G b a",
                 "0 2"},
        MoveCase{"down: the last row and the one above are blocked", MOVE_DOWN, "a b c d", 0, {0, 2, 3}, 0,
                 "b a c d", "1 2 3"},
        MoveCase{"down one", MOVE_DOWN, "F a b c", 1, {1}, 0, "F b a c", "2"},
        MoveCase{"down: a selected folder row does not move", MOVE_DOWN, "F G a b", 2, {1, 2}, 0, "F G b a",
                 "1 3"},
        MoveCase{"none rewrites as it is", MOVE_NONE, "a b c", 0, {2}, 0, "a b c", "2"},
        MoveCase{"drop below", MOVE_TO_ROW, "a b c d e", 0, {0, 1}, 4, "c d a b e", "2 3"},
        MoveCase{"drop on the first row goes above every unselected row", MOVE_TO_ROW, "a b c d", 0, {2, 3}, 0,
                 "c d a b", "0 1"},
        MoveCase{"drop on a selected row", MOVE_TO_ROW, "a b c d e", 0, {1, 3}, 3, "a c b d e", "2 3"},
        MoveCase{"drop keeps folder rows out of the block", MOVE_TO_ROW, "F a b c", 1, {0, 1}, 4, "F b c a",
                 "0 3"},
        MoveCase{"empty selection moves nothing", MOVE_UP, "a b", 0, {}, 0, "a b", ""}),
    [](const ::testing::TestParamInfo<MoveCase>& info) { return "Case" + std::to_string(info.index); });

TEST(PlayOrder, DirectoryOrderKeepsUnshownEntriesInPlace)
{
    // The music view at the root: SETTINGS.DAT, a WAV and a folder are not
    // shown and keep their places; the shown names permute among theirs.
    auto entries = Entries("SETTINGS.DAT x.mp3 Albums/ y.wav z.wma w.mp3");
    std::vector<std::string> order;
    ASSERT_TRUE(DirectoryOrder(entries, Split("x.mp3 w.mp3 z.wma"), Split("w.mp3 x.mp3 z.wma"), FILTER_MUSIC,
                               true, &order));
    EXPECT_EQ("SETTINGS.DAT w.mp3 Albums y.wav z.wma x.mp3", Join(order));

    // The all-files view at the root: the names never listed stay.
    entries = Entries("._a SETTINGS.DAT .windows-label b.mp3 c.txt Sub/");
    ASSERT_TRUE(DirectoryOrder(entries, Split("Sub b.mp3 c.txt"), Split("Sub c.txt b.mp3"), FILTER_ALL, true,
                               &order));
    EXPECT_EQ("._a SETTINGS.DAT .windows-label c.txt b.mp3 Sub", Join(order));
}

TEST(PlayOrder, DirectoryOrderMatchesNamesWithoutCase)
{
    std::vector<std::string> order;
    ASSERT_TRUE(DirectoryOrder(Entries("A.MP3 b.mp3"), Split("a.mp3 B.MP3"), Split("B.MP3 a.mp3"), FILTER_ALL,
                               false, &order));
    EXPECT_EQ("B.MP3 a.mp3", Join(order));
}

struct StaleCase {
    const char* what;
    const char* entries;
    const char* rows;
    const char* newRows;
    int filter;
};

void PrintTo(const StaleCase& c, std::ostream* os) { *os << c.what; }

class StaleLists : public ::testing::TestWithParam<StaleCase> {};

TEST_P(StaleLists, AreRefused)
{
    const StaleCase& c = GetParam();
    std::vector<std::string> order{"untouched"};
    EXPECT_FALSE(DirectoryOrder(Entries(c.entries), Split(c.rows), Split(c.newRows), c.filter, false, &order))
        << c.what;
    EXPECT_EQ("untouched", Join(order)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    PlayOrder, StaleLists,
    ::testing::Values(
        StaleCase{"a file added behind the list", "a.mp3 b.mp3 new.mp3", "a.mp3 b.mp3", "b.mp3 a.mp3", FILTER_ALL},
        StaleCase{"a file added, music view", "a.mp3 b.mp3 new.wma", "a.mp3 b.mp3", "b.mp3 a.mp3", FILTER_MUSIC},
        StaleCase{"a row whose file is gone", "a.mp3", "a.mp3 b.mp3", "b.mp3 a.mp3", FILTER_ALL},
        StaleCase{"a name the code page shows as ?", "a.mp3 \xc3\xa9t\xc3\xa9.mp3", "a.mp3 ?t?.mp3",
                  "?t?.mp3 a.mp3", FILTER_ALL},
        StaleCase{"one entry named twice", "a.mp3 b.mp3", "a.mp3 A.MP3", "A.MP3 a.mp3", FILTER_ALL},
        StaleCase{"new rows that are not the old ones", "a.mp3 b.mp3", "a.mp3 b.mp3", "a.mp3 a.mp3", FILTER_ALL},
        StaleCase{"a row for an entry the view hides", "a.mp3 c.wav b.mp3", "a.mp3 c.wav", "c.wav a.mp3",
                  FILTER_MUSIC},
        StaleCase{"the label file listed", "a.mp3 .windows-label", "a.mp3 .windows-label", ".windows-label a.mp3",
                  FILTER_ALL}),
    [](const ::testing::TestParamInfo<StaleCase>& info) { return "Case" + std::to_string(info.index); });

// A folder of thousands of entries: with a key each name is looked up among
// the entries of its key, so the listing and the order write compare names
// by the thousand, not by the million. A key that misses an equal name only
// costs the comparisons of old: the result is the same.
TEST(PlayOrder, ThousandsOfEntriesAreLookedUpByKey)
{
    const int count = 3000;
    std::vector<DirEntry> entries;
    std::vector<std::string> rows, disk;
    for (int i = 0; i < count; ++i) {
        entries.push_back(DirEntry{"Track " + std::to_string(i) + ".MP3", false});
        rows.push_back("track " + std::to_string(i) + ".mp3");
        disk.push_back(entries.back().Name);
    }
    long compares = 0;
    const NameEquals counting = [&](const std::string& a, const std::string& b) {
        ++compares;
        return AsciiNameEquals(a, b);
    };
    // The last row dropped on the first.
    std::vector<std::string> moved = rows;
    std::rotate(moved.begin(), moved.end() - 1, moved.end());
    std::vector<std::string> order;
    ASSERT_TRUE(DirectoryOrder(entries, rows, moved, FILTER_ALL, false, &order, counting, AsciiFoldKey));
    EXPECT_EQ(moved, order);
    EXPECT_LE(compares, 2L * count);

    // The listing: the enumeration sorted backwards, put in directory order.
    compares = 0;
    std::vector<DirEntry> backwards(entries.rbegin(), entries.rend());
    const std::vector<DirEntry> listed = OrderByDirectory(backwards, disk, counting, AsciiFoldKey);
    ASSERT_EQ(entries.size(), listed.size());
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(entries[size_t(i)].Name, listed[size_t(i)].Name);
    EXPECT_LE(compares, 2L * count);

    const NameKey missing = [](const std::string& name) { return name; };
    ASSERT_TRUE(DirectoryOrder(Entries("A.MP3 b.mp3"), Split("a.mp3 b.mp3"), Split("b.mp3 a.mp3"), FILTER_ALL, false,
                               &order, AsciiNameEquals, missing));
    EXPECT_EQ("b.mp3 a.mp3", Join(order));
}
