#include <gtest/gtest.h>

#include "PcPaneRules.h"

using namespace pcpane;

namespace {
// Code page 949: lead bytes 0x81-0xFE.
bool Korean(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
}  // namespace

TEST(DriveRecords, TypeTextsByDriveType)
{
    EXPECT_EQ("Removable Disk", DriveTypeText(DRIVE_TYPE_REMOVABLE));
    EXPECT_EQ("Fixed Disk", DriveTypeText(DRIVE_TYPE_FIXED));
    EXPECT_EQ("Fixed Disk", DriveTypeText(DRIVE_TYPE_RAMDISK));
    EXPECT_EQ("Fixed Disk", DriveTypeText(DRIVE_TYPE_NO_ROOT));
    EXPECT_EQ("Network Disk", DriveTypeText(DRIVE_TYPE_REMOTE));
    EXPECT_EQ("CD-ROM Disk", DriveTypeText(DRIVE_TYPE_CDROM));
    EXPECT_EQ("", DriveTypeText(DRIVE_TYPE_UNKNOWN));
    EXPECT_EQ("", DriveTypeText(17));
}

// Player drives E and F are left out; a third player drive G is a PC drive.
TEST(DriveRecords, FirstTwoPlayerDrivesAreNotPcDrives)
{
    const std::uint32_t C = 1u << 2, E = 1u << 4, F = 1u << 5, G = 1u << 6, Z = 1u << 25;
    EXPECT_EQ(C | G | Z, PcDriveMask(C | E | F | G | Z, E | F | G));
    EXPECT_EQ(C | Z, PcDriveMask(C | E | F | Z, E | F));
    EXPECT_EQ(C | E | Z, PcDriveMask(C | E | Z, 0));
    // A player bit that is not a logical drive is not counted: F and G are
    // the first two met.
    EXPECT_EQ(C, PcDriveMask(C | F | G, E | F | G));
}

TEST(DriveRecords, DisplayNameSplitsIntoDriveTextAndName)
{
    struct Case {
        const char* display;
        const char* drive;
        const char* name;
    } cases[] = {
        {"Local Disk (C:)", "(C:)", "Local Disk"},
        {"(G:)", "(G:)", ""},            // nothing but the letter
        {"G:", "G:", ""},                // shorter than four: all of it, no name
        {"", "", ""},
        {"Abcde", "bcde", ""},          // exactly five: the name is empty
        {"Volume", "lume", "V"},         // no letter ending still loses five
    };
    for (const Case& c : cases) {
        std::string drive, name;
        SplitDriveDisplayName(c.display, drive, name);
        EXPECT_EQ(c.drive, drive) << c.display;
        EXPECT_EQ(c.name, name) << c.display;
    }
    // Double-byte characters count as one and are never cut.
    std::string drive, name;
    const std::string local = "\xB7\xCE\xC4\xC3 \xB5\xF0\xBD\xBA\xC5\xA9";  // 로컬 디스크
    SplitDriveDisplayName(local + " (C:)", drive, name, Korean);
    EXPECT_EQ("(C:)", drive);
    EXPECT_EQ(local, name);
    SplitDriveDisplayName("\xB5\xF0\xBD\xBA\xC5\xA9", drive, name, Korean);  // three characters
    EXPECT_EQ("\xB5\xF0\xBD\xBA\xC5\xA9", drive);
    EXPECT_EQ("", name);
}

TEST(DriveRecords, TreeTextAndRoot)
{
    EXPECT_EQ("(C:) Local Disk", DriveTreeText("(C:)", "Local Disk"));
    EXPECT_EQ("Desktop", DriveTreeText("", "Desktop"));
    EXPECT_EQ("C:\\", DriveRootFromText("(C:) Local Disk"));
    EXPECT_EQ("G:\\", DriveRootFromText("(G:)"));
    EXPECT_EQ("", DriveRootFromText("Folder"));
    EXPECT_EQ("", DriveRootFromText(":x"));
}

TEST(Names, RefusedLettersAreFound)
{
    EXPECT_EQ(std::string::npos, FindInvalidNameChar("song.mp3"));
    EXPECT_EQ(std::string::npos, FindInvalidNameChar("a*b"));  // * goes to the file system
    for (const char* bad : {"a\\b", "a/b", "a:b", "a?b", "a\"b", "a<b", "a>b", "a|b"})
        EXPECT_EQ(1u, FindInvalidNameChar(bad)) << bad;
    // A trail byte 0x5C ("\") inside a double-byte character is part of it.
    EXPECT_EQ(std::string::npos, FindInvalidNameChar("\x95\x5C", Korean));
    EXPECT_EQ(1u, FindInvalidNameChar("\x95\x5C"));  // read as single bytes
}

TEST(Names, NewFolderIsOneMoreThanTheHighest)
{
    struct Case {
        std::vector<std::string> names;
        const char* expected;
    } cases[] = {
        {{}, "New Folder"},
        {{"song.mp3", "New", "New Folde"}, "New Folder"},
        {{"New Folder"}, "New Folder(1)"},
        {{"New Folder", "New Folder(2)", "New Folder(7)"}, "New Folder(8)"},
        {{"new folder(3)", "NEW FOLDER"}, "New Folder(4)"},
        {{"New Folder(12)", "New Folder(9)"}, "New Folder(13)"},
        {{"New Folder(x)", "New Folder()"}, "New Folder(1)"},
        {{"New Folder (5)"}, "New Folder(1)"},         // "(" not at index 10
        {{"New Folder(99999999999)"}, "New Folder(1)"},  // no overflow
        {{"New Folder(5"}, "New Folder(1)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, NewFolderName(c.names)) << c.names.size();
}

TEST(DriveBox, LinesOfTheRecordsAndTheirKinds)
{
    std::vector<DriveLineSource> records = {
        {"Desktop", "", 1, 1}, {"My Computer", "", 2, 2}, {"Local Disk", "(C:)", 3, 3},
        {"Removable Disk", "(G:)", 4, 4}, {"Network", "", 5, 5}};
    std::vector<BoxLine> lines = DriveBoxLines(records);
    ASSERT_EQ(5u, lines.size());
    const int kinds[] = {BOX_DESKTOP, BOX_PC_ROOT, BOX_DRIVE, BOX_DRIVE, BOX_NETWORK};
    const int indents[] = {0, 1, 2, 2, 1};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(kinds[i], lines[i].kind) << i;
        EXPECT_EQ(indents[i], lines[i].indent) << i;
        EXPECT_EQ(i + 1, lines[i].image);
    }
    EXPECT_EQ("(C:) Local Disk", lines[2].text);
    EXPECT_EQ("C:", lines[2].key);
    EXPECT_EQ("G:", lines[3].key);
    EXPECT_EQ("Network", lines[4].key);
}

// A folder chain deeper than the old 30-line box still fits, after its drive.
TEST(DriveBox, ChainGrowsTheBoxAndCountsLevels)
{
    std::vector<DriveLineSource> records = {{"Desktop", ""}, {"PC", ""}};
    for (char c = 'C'; c <= 'Z'; ++c)
        records.push_back({"Disk", std::string("(") + c + ":)"});
    records.push_back({"Network", ""});
    std::vector<BoxLine> lines = DriveBoxLines(records);
    ASSERT_EQ(27u, lines.size());
    std::vector<BoxLine> chain;
    for (int i = 0; i < 40; ++i)
        chain.push_back({"f" + std::to_string(i), "f" + std::to_string(i), BOX_FOLDER});
    const int deepest = InsertFolderChain(lines, 6, chain);  // below (G:)
    ASSERT_EQ(67u, lines.size());
    EXPECT_EQ(46, deepest);
    EXPECT_EQ("f39", lines[46].text);
    EXPECT_EQ(2 + 40, lines[46].indent);
    EXPECT_EQ("f0", lines[7].text);
    EXPECT_EQ(3, lines[7].indent);
    EXPECT_EQ("(H:) Disk", lines[47].text);
    EXPECT_EQ(0, LevelsAboveDeepest(lines, 46));
    EXPECT_EQ(39, LevelsAboveDeepest(lines, 7));
    EXPECT_EQ(-1, LevelsAboveDeepest(lines, 6));
    EXPECT_EQ(-1, LevelsAboveDeepest(lines, 100));
    EXPECT_EQ(3, InsertFolderChain(lines, 3, {}));
    EXPECT_EQ(-1, InsertFolderChain(lines, -1, chain));
}

TEST(ListOrder, SizeTexts)
{
    EXPECT_EQ(0, SizeTextValue(""));
    EXPECT_EQ(0, SizeTextValue("KB"));
    EXPECT_EQ(100, SizeTextValue("100 bytes"));
    EXPECT_EQ(12 * 1024, SizeTextValue("12 KB"));
    EXPECT_EQ(1234 * 1024, SizeTextValue("1,234KB"));
    EXPECT_EQ(3.5 * 1024 * 1024 * 1024, SizeTextValue("3.5 GB"));
    EXPECT_LT(SizeTextValue("999 KB"), SizeTextValue("1.00 MB"));
}

// Folders stay above files in both directions, and each group is in order.
TEST(ListOrder, FoldersStayFirstInBothDirections)
{
    auto row = [](const char* name, const char* size, bool folder) {
        return ListRow{{name, size}, folder};
    };
    const std::vector<ListRow> rows = {row("b.mp3", "2 KB", false), row("Zeta", "", true), row("A.mp3", "10 KB", false),
                                       row("alpha", "", true), row("c.mp3", "1 KB", false)};
    auto names = [](const std::vector<ListRow>& r) {
        std::string s;
        for (const ListRow& x : r)
            s += x.columns[0] + ",";
        return s;
    };
    std::vector<ListRow> r = rows;
    SortRows(r, 0, false, 1);
    EXPECT_EQ("alpha,Zeta,A.mp3,b.mp3,c.mp3,", names(r));
    SortRows(r, 0, false, 0);
    EXPECT_EQ("Zeta,alpha,c.mp3,b.mp3,A.mp3,", names(r));
    r = rows;
    SortRows(r, 1, true, 1);
    EXPECT_EQ("Zeta,alpha,c.mp3,b.mp3,A.mp3,", names(r));  // folders keep their order
    SortRows(r, 1, true, 0);
    EXPECT_EQ("Zeta,alpha,A.mp3,b.mp3,c.mp3,", names(r));
    // A column a row lacks sorts as empty.
    r = rows;
    SortRows(r, 5, false, 1);
    EXPECT_EQ("Zeta,alpha,b.mp3,A.mp3,c.mp3,", names(r));
}
