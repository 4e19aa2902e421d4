// The M3U reader and writer and the playlist reordering, natively.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "M3uCodec.h"
#include "PlaylistOrder.h"

using listforge::ParseM3uText;
using Entries = std::vector<std::string>;

TEST(M3uWriter, HeaderThenOnePathPerLineWithCrLf)
{
    EXPECT_EQ("#EXTM3U\r\n", listforge::BuildM3uText({}));
    EXPECT_EQ("#EXTM3U\r\nE:\\MUSIC\\A.MP3\r\nE:\\B.WMA\r\n",
              listforge::BuildM3uText({"E:\\MUSIC\\A.MP3", "E:\\B.WMA"}));
}

struct ParseCase {
    const char* name;
    std::string text;
    std::string folder;
    Entries expected;
};

TEST(M3uReader, FilesFromEverywhere)
{
    const ParseCase cases[] = {
        {"plain absolute lines", "E:\\MUSIC\\A.MP3\r\nE:\\B.MP3\r\n", "", {"MUSIC\\A.MP3", "B.MP3"}},
        {"written by the manager's export",
         "#EXTM3U\r\n#EXTINF:123,Artist - Title\r\nC:\\Music\\A.mp3\r\n#EXTINF:5,X\r\nD:\\POP\\B.wma\r\n", "",
         {"Music\\A.mp3", "POP\\B.wma"}},
        {"LF only", "#EXTM3U\nE:\\MUSIC\\A.MP3\nE:\\MUSIC\\B.MP3\n", "", {"MUSIC\\A.MP3", "MUSIC\\B.MP3"}},
        {"relative to the list's folder", "POP\\A.MP3\r\n\\ROCK\\B.MP3\r\n", "LISTS",
         {"LISTS\\POP\\A.MP3", "ROCK\\B.MP3"}},
        {"relative at a root", "POP\\A.MP3\r\n\\ROCK\\B.MP3\r\n", "", {"POP\\A.MP3", "ROCK\\B.MP3"}},
        {"last line without line end", "E:\\A.MP3\r\nE:\\B.MP3", "", {"A.MP3", "B.MP3"}},
        {"bare names give nothing", "A.MP3\r\nB.MP3\r\n", "", {}},
        {"bare name before a relative path", "A.MP3\r\nPOP\\B.MP3\r\n", "L", {"L\\A.MP3", "L\\POP\\B.MP3"}},
        {"trailing comment without line end", "E:\\A.MP3\r\n#END", "", {"A.MP3"}},
        {"relative line before an absolute one keeps its place", "POP\\A.MP3\r\nE:\\B.MP3\r\n", "",
         {"POP\\A.MP3", "B.MP3"}},
        {"empty lines are no entries", "#EXTM3U\r\n\r\nE:\\A.MP3\r\n\r\n\r\nPOP\\B.MP3\r\n", "",
         {"A.MP3", "POP\\B.MP3"}},
        {"only a header", "#EXTM3U\r\n", "", {}},
        {"empty text", "", "", {}},
        {"dots in relative lines", "..\\MUSIC\\A.MP3\r\n.\\B.MP3\r\n..\\..\\..\\C.MP3\r\nX\\..\\D..MP3\r\n", "LISTS\\POP",
         {"LISTS\\MUSIC\\A.MP3", "LISTS\\POP\\B.MP3", "C.MP3", "LISTS\\POP\\D..MP3"}},
        {"a drive alone names nothing", "E:\\\r\nE:\\A.MP3\r\n", "", {"A.MP3"}},
        {"a NUL in a line", std::string("E:\\A\0B.MP3\r\nE:\\C.MP3\r\n", 22), "", {"C.MP3"}},
        {"CR alone ends lines", "#EXTM3U\rE:\\A.MP3\rPOP\\B.MP3\r", "L", {"A.MP3", "L\\POP\\B.MP3"}},
        {"CR alone without a header", "E:\\A.MP3\rE:\\B.MP3", "", {"A.MP3", "B.MP3"}},
        {"line ends mixed", "E:\\A.MP3\r\nE:\\B.MP3\nE:\\C.MP3\rE:\\D.MP3\r\r\nE:\\E.MP3", "",
         {"A.MP3", "B.MP3", "C.MP3", "D.MP3", "E.MP3"}},
        {"UTF-8 byte-order mark before the header", "\xEF\xBB\xBF#EXTM3U\r\nE:\\A.MP3\r\n", "LISTS", {"A.MP3"}},
        {"UTF-8 byte-order mark before a path", "\xEF\xBB\xBFPOP\\A.MP3\r\n", "LISTS", {"LISTS\\POP\\A.MP3"}},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(c.expected, ParseM3uText(c.text, c.folder)) << c.name;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LISTFORGE_HEAP_HOOKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define LISTFORGE_HEAP_HOOKS 1
#endif

#ifdef LISTFORGE_HEAP_HOOKS
#include <sanitizer/allocator_interface.h>

namespace {
// The heap taken while a hook is installed: now and at most.
size_t g_heapNow = 0, g_heapPeak = 0;
bool g_counting = false;
void CountAlloc(const volatile void*, size_t size)
{
    if (!g_counting)
        return;
    g_heapNow += size;
    g_heapPeak = std::max(g_heapPeak, g_heapNow);
}
void CountFree(const volatile void* p)
{
    if (!g_counting || !p)
        return;
    size_t size = __sanitizer_get_allocated_size(const_cast<const void*>(p));
    g_heapNow = size > g_heapNow ? 0 : g_heapNow - size;
}
}  // namespace
#endif

// A list of a few entries among millions of empty lines (a few megabytes on
// the player) needs memory for its entries, not for every line: the 32-bit
// program would run out of memory on it.
TEST(M3uReader, ManyEmptyLinesCostNoMemoryPerLine)
{
#ifndef LISTFORGE_HEAP_HOOKS
    GTEST_SKIP() << "needs the sanitizer build's heap hooks";
#else
    std::string text = "#EXTM3U\r\nE:\\A.MP3\r\n";
    text.append(4000000, '\n');
    text += "E:\\B.MP3\r\n";
    text.append(4000000, '\n');
    text += "POP\\C.MP3";
    __sanitizer_install_malloc_and_free_hooks(CountAlloc, CountFree);
    g_heapNow = g_heapPeak = 0;
    g_counting = true;
    Entries entries = ParseM3uText(text, "");
    g_counting = false;
    EXPECT_EQ(Entries({"A.MP3", "B.MP3", "POP\\C.MP3"}), entries);
    EXPECT_LT(g_heapPeak, size_t(64 * 1024)) << "bytes taken at most while reading " << text.size() << " bytes";
#endif
}

TEST(M3uReader, WhatTheWriterWroteReadsBack)
{
    Entries paths = {"W:\\MUSIC\\A.MP3", "W:\\MUSIC\\POP\\B C.wma", "W:\\X.mp3"};
    Entries entries = ParseM3uText(listforge::BuildM3uText(paths), "ANY");
    ASSERT_EQ(paths.size(), entries.size());
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(paths[i], listforge::JoinRoot("W:\\", entries[i]));
}

TEST(M3uPaths, FolderRootAndName)
{
    EXPECT_EQ("LISTS\\POP", listforge::M3uFolderOf("E:\\LISTS\\POP\\A.M3U"));
    EXPECT_EQ("", listforge::M3uFolderOf("E:\\A.M3U"));
    EXPECT_EQ("", listforge::M3uFolderOf("E:"));
    EXPECT_EQ("E:\\MUSIC\\A.MP3", listforge::JoinRoot("E:\\", "MUSIC\\A.MP3"));
    EXPECT_EQ("F:\\MUSIC\\A.MP3", listforge::JoinRoot("F:\\MUSIC", "A.MP3"));
    EXPECT_EQ("A.MP3", listforge::FileNameOf("E:\\MUSIC\\A.MP3"));
    EXPECT_EQ("A.MP3", listforge::FileNameOf("A.MP3"));
}

TEST(M3uPaths, MusicExtension)
{
    const struct {
        const char* name;
        bool music;
    } cases[] = {
        {"a.mp3", true}, {"A.MP3", true}, {"b.Wma", true}, {"c.wav", false}, {"mp3", false},
        {"d.mp3.txt", false}, {"e.mp33", false}, {"f?.mp3", false}, {"g*.wma", false}, {".mp3", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.music, listforge::HasMusicExtension(c.name)) << c.name;
}

TEST(FileDialogResult, OneFileOrAFolderWithNames)
{
    const char one[] = "C:\\LISTS\\A.M3U\0\0";
    EXPECT_EQ(Entries({"C:\\LISTS\\A.M3U"}), listforge::SplitFileDialogResult(one, sizeof one, 9));
    // A folder whose name looks like a file: the offset still tells.
    const char many[] = "C:\\A.M3U\0X.M3U\0Y.M3U\0\0";
    EXPECT_EQ(Entries({"C:\\A.M3U\\X.M3U", "C:\\A.M3U\\Y.M3U"}), listforge::SplitFileDialogResult(many, sizeof many, 9));
    const char root[] = "C:\\\0X.M3U\0\0";
    EXPECT_EQ(Entries({"C:\\X.M3U"}), listforge::SplitFileDialogResult(root, sizeof root, 4));
    const char none[] = "\0\0";
    EXPECT_TRUE(listforge::SplitFileDialogResult(none, sizeof none, 0).empty());
    const char unterminated[3] = {'A', 'B', 'C'};
    EXPECT_TRUE(listforge::SplitFileDialogResult(unterminated, 3, 1).empty());
}

// A plain model of the playlist list: row texts and selection.
struct Model {
    std::vector<std::string> rows;
    std::vector<bool> sel;
    explicit Model(std::string texts, std::string selected)
    {
        for (size_t i = 0; i < texts.size(); ++i) {
            rows.push_back(std::string(1, texts[i]));
            sel.push_back(selected.find(texts[i]) != std::string::npos);
        }
    }
    int Count() const { return int(rows.size()); }
    bool IsSelected(int r) const { return sel[r]; }
    void Select(int r) { sel[r] = true; }
    int MoveRow(int from, int to) { return listforge::MoveRowSemantics(*this, from, to); }
    std::string CopyRow(int r) const { return rows[r]; }
    void DeleteRow(int r)
    {
        rows.erase(rows.begin() + r);
        sel.erase(sel.begin() + r);
    }
    void InsertRow(int at, const std::string& row)
    {
        rows.insert(rows.begin() + at, row);
        sel.insert(sel.begin() + at, false);
    }
    std::string Texts() const
    {
        std::string s;
        for (auto& r : rows)
            s += r;
        return s;
    }
    std::string Selected() const
    {
        std::string s;
        for (size_t i = 0; i < rows.size(); ++i)
            if (sel[i])
                s += rows[i];
        return s;
    }
};

struct OrderCase {
    const char* name;
    const char* rows;
    const char* selected;
    int op;  // 0 up, 1 down, 2 drop at hit
    int hit;
    const char* expected;
    bool changed;
};

TEST(PlaylistOrder, UpDownAndDrop)
{
    const OrderCase cases[] = {
        {"up one", "ABCD", "C", 0, 0, "ACBD", true},
        {"up a block at the top stays", "ABCD", "AB", 0, 0, "ABCD", false},
        {"up a gapped pair", "ABCD", "BD", 0, 0, "BADC", true},
        {"up an adjacent pair", "ABCD", "CD", 0, 0, "ACDB", true},
        {"down one", "ABCD", "B", 1, 0, "ACBD", true},
        {"down the last stays", "ABCD", "D", 1, 0, "ABCD", false},
        {"down a pair", "ABCD", "AB", 1, 0, "CABD", true},
        {"drop onto row 0", "ABCD", "CD", 2, 0, "CDAB", true},
        {"drop below the rows", "ABCD", "AB", 2, -1, "CDAB", true},
        {"drop onto a row with unselected upper neighbour", "ABCDE", "A", 2, 3, "BCADE", true},
        {"drop onto a row whose upper rows are all selected", "ABCDE", "ABC", 2, 3, "ABCDE", true},
        {"drop a gapped block", "ABCDE", "BD", 2, 4, "ACBDE", true},
        {"drop with nothing selected", "ABC", "", 2, 1, "ABC", false},
    };
    for (const OrderCase& c : cases) {
        Model m(c.rows, c.selected);
        bool changed = c.op == 0 ? listforge::MoveSelectionUp(m)
                       : c.op == 1 ? listforge::MoveSelectionDown(m)
                                   : listforge::ReorderByDrop(m, c.hit);
        EXPECT_EQ(c.expected, m.Texts()) << c.name;
        EXPECT_EQ(c.changed, changed) << c.name;
        // The moved rows stay selected, and nothing else is.
        std::string sel = m.Selected();
        std::string want = c.selected;
        std::sort(sel.begin(), sel.end());
        EXPECT_EQ(want, sel) << c.name;
    }
}

TEST(PlaylistOrder, MoveRowRefusesWhatIsNotThere)
{
    Model m("ABC", "");
    EXPECT_EQ(-1, m.MoveRow(1, 1));
    EXPECT_EQ(-1, m.MoveRow(1, -1));
    EXPECT_EQ(-1, m.MoveRow(1, 3));
    EXPECT_EQ(2, m.MoveRow(0, 2));
    EXPECT_EQ("BCA", m.Texts());
    EXPECT_EQ(0, m.MoveRow(2, 0));
    EXPECT_EQ("ABC", m.Texts());
}
