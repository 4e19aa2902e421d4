// DevSweep's Windows-free rules: the table, the Windows lines and every check
// a name or folder passes before something is deleted with it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "SweepRules.h"

using namespace devsweep;

TEST(LegacyTable, Has38RowsOf102BytesWithTheFieldsAtTheirOffsets) {
    EXPECT_EQ(sizeof g_LegacyPlayers, 38u * 102u);
    EXPECT_EQ(offsetof(LEGACY_PLAYER_ROW, ClassGuid), 40u);
    EXPECT_EQ(offsetof(LEGACY_PLAYER_ROW, ScsiVendor), 80u);
    EXPECT_EQ(offsetof(LEGACY_PLAYER_ROW, ScsiProduct), 90u);
}

TEST(LegacyTable, PresentRowsAreWellFormedAndDistinctAndAbsentRowsAreSkipped) {
    std::set<std::string> uninstallGuids;
    int present = 0;
    for (int i = 0; i < LEGACY_PLAYER_ROWS; ++i) {
        const LEGACY_PLAYER_ROW* row = GetLegacyPlayer(i);
        const LEGACY_PLAYER_ROW& raw = g_LegacyPlayers[i];
        if (!row) {
            // An absent row is all zero, not half filled.
            const char* bytes = reinterpret_cast<const char*>(&raw);
            for (size_t b = 0; b < sizeof raw; ++b)
                EXPECT_EQ(bytes[b], 0) << "row " << i;
            continue;
        }
        ++present;
        EXPECT_TRUE(IsBracedGuid(row->UninstallGuid)) << i;
        EXPECT_TRUE(IsBracedGuid(row->ClassGuid)) << i;
        EXPECT_TRUE(IsKeyPart(row->ScsiVendor)) << i;
        EXPECT_TRUE(IsKeyPart(row->ScsiProduct)) << i;
        EXPECT_TRUE(uninstallGuids.insert(row->UninstallGuid).second) << "uninstall GUID repeated in row " << i;
    }
    EXPECT_GE(present, 5);
    EXPECT_LT(present, LEGACY_PLAYER_ROWS);
}

TEST(LegacyTable, IndexesOutsideTheTableFindNoRow) {
    for (int index : {-1, 38, 39, 1000, -32768, 65535})
        EXPECT_EQ(GetLegacyPlayer(index), nullptr) << index;
    EXPECT_NE(GetLegacyPlayer(0), nullptr);
}

TEST(LegacyTable, HalfFilledRowsAreNotPresent) {
    LEGACY_PLAYER_ROW row = g_LegacyPlayers[0];
    EXPECT_TRUE(IsRowWellFormed(row));
    LEGACY_PLAYER_ROW noClass = row;
    noClass.ClassGuid[0] = 0;
    EXPECT_FALSE(IsRowWellFormed(noClass));
    LEGACY_PLAYER_ROW unterminated = row;
    memset(unterminated.ScsiProduct, 'A', sizeof unterminated.ScsiProduct);
    EXPECT_FALSE(IsRowWellFormed(unterminated));
    LEGACY_PLAYER_ROW nested = row;
    strcpy(nested.ScsiProduct, "A\\B");
    EXPECT_FALSE(IsRowWellFormed(nested));
}

TEST(DisplayNames, TheTwoMappedNamesGoBothWays) {
    int mapped = 0;
    for (const char* name : {"Quorvane QVRX3 Manager", "Tessaro MiniPlay"}) {
        const char* longName = LongDisplayName(name);
        ASSERT_NE(longName, nullptr) << name;
        EXPECT_STREQ(ShortDisplayName(longName), name);
        EXPECT_GT(strlen(longName), strlen(name));
        ++mapped;
    }
    EXPECT_EQ(mapped, 2);
    EXPECT_EQ(LongDisplayName("Tessaro MiniPlay 2"), nullptr);
    EXPECT_EQ(ShortDisplayName("Quorvane QVRX3 Manager"), nullptr);
    EXPECT_EQ(LongDisplayName(nullptr), nullptr);
}

TEST(Identity, PlayerUsbIdIsUpperCaseHex) {
    EXPECT_EQ(PlayerUsbIdText(), "VID_0E56&PID_6013");
    EXPECT_EQ(strlen(PLAYER_SCSI_VENDOR), 8u);
    EXPECT_EQ(strlen(PLAYER_SCSI_PRODUCT), 16u);
}

TEST(WindowsLines, OnlyThe9xPlatformIdMakes95_98AndMe) {
    struct Case {
        unsigned long platform, major, minor;
        WIN_LINE line;
    } cases[] = {
        {1, 4, 0, WINLINE_9X},  {1, 4, 10, WINLINE_9X},   {1, 4, 90, WINLINE_ME}, {1, 4, 50, WINLINE_OTHER},
        {2, 4, 0, WINLINE_NT},  {2, 5, 1, WINLINE_NT},    {2, 6, 1, WINLINE_NT},  {2, 10, 0, WINLINE_NT},
        {0, 3, 10, WINLINE_OTHER}, {1, 5, 0, WINLINE_OTHER},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyWindows(c.platform, c.major, c.minor), c.line)
            << c.platform << " " << c.major << "." << c.minor;
}

TEST(Texts, PadName11AndTrimTrailingBlanks) {
    EXPECT_EQ(PadName11("Lark            "), "Lark       ");
    EXPECT_EQ(PadName11("QVRX3"), "QVRX3______");
    EXPECT_EQ(PadName11(""), "___________");
    EXPECT_EQ(PadName11("POCKETBEATXYZ"), "POCKETBEATX");
    EXPECT_EQ(TrimTrailingBlanks("Vilo    "), "Vilo");
    EXPECT_EQ(TrimTrailingBlanks("    "), " ");
    EXPECT_EQ(TrimTrailingBlanks(""), "");
    EXPECT_EQ(TrimTrailingBlanks(" a b "), " a b");
}

TEST(Texts, MultiSzAndValueTexts) {
    const char ids[] = "USB\\Vid_066F&Pid_3400&Rev_0100\0USB\\Vid_066F&Pid_3400\0\0";
    auto list = SplitMultiSz(ids, sizeof ids);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], "USB\\Vid_066F&Pid_3400");
    const char unterminated[] = {'A', 'B', 0, 'C', 'D'};
    list = SplitMultiSz(unterminated, sizeof unterminated);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], "CD");
    EXPECT_TRUE(SplitMultiSz(nullptr, 10).empty());
    EXPECT_EQ(TextOfValue("abc\0def", 7), "abc");
    EXPECT_EQ(TextOfValue("abcd", 2), "ab");
    EXPECT_TRUE(StartsWithNoCase("USB\\VID_066F", "usb\\vid_066f"));
    EXPECT_FALSE(StartsWithNoCase("USB", "USB\\"));
}

TEST(Paths, JoinsAreBoundedTo260WithTheirNul) {
    std::string out = "kept";
    EXPECT_TRUE(JoinBounded(out, {"C:\\inf\\", "a.inf"}));
    EXPECT_EQ(out, "C:\\inf\\a.inf");
    std::string longFolder(250, 'f');
    EXPECT_TRUE(JoinBounded(out, {longFolder, "123456789"}));  // 259 characters
    out = "kept";
    EXPECT_FALSE(JoinBounded(out, {longFolder, "1234567890"}));  // 260 characters
    EXPECT_EQ(out, "kept");
    EXPECT_FALSE(JoinBounded(out, {std::string(300, 'x'), ""}));
}

TEST(KeyNames, EveryPartIsOneNonEmptyLevel) {
    std::string out;
    EXPECT_TRUE(JoinKey(out, {"SOFTWARE", "Quorvane", "QVRX3"}));
    EXPECT_EQ(out, "SOFTWARE\\Quorvane\\QVRX3");
    for (const char* bad : {"", ".", "..", "a\\b", "\\", "x\\"}) {
        EXPECT_FALSE(IsKeyPart(bad)) << bad;
        EXPECT_FALSE(JoinKey(out, {"SOFTWARE", bad})) << bad;
    }
    EXPECT_FALSE(IsKeyPart(std::string(256, 'k')));
    EXPECT_TRUE(IsKeyPart(std::string(255, 'k')));
    EXPECT_FALSE(JoinKey(out, {}));
    EXPECT_FALSE(JoinKey(out, {std::string(200, 'a'), std::string(200, 'b')}));
}

TEST(KeyNames, GuidsMustBeBraced) {
    EXPECT_TRUE(IsBracedGuid("{4D36E967-E325-11CE-BFC1-08002BE10318}"));
    EXPECT_TRUE(IsBracedGuid("{4d36e967-e325-11ce-bfc1-08002be10318}"));
    for (const char* bad : {"4D36E967-E325-11CE-BFC1-08002BE10318", "{4D36E967-E325-11CE-BFC1-08002BE1031}",
                            "{4D36E967-E325-11CE-BFC1-08002BE10318", "{4D36E967XE325-11CE-BFC1-08002BE10318}",
                            "{4D36E967-E325-11CE-BFC1-08002BE1031G}", "", "{}"})
        EXPECT_FALSE(IsBracedGuid(bad)) << bad;
}

TEST(KeyNames, DriverKeysHaveAClassAndAnInstance) {
    EXPECT_TRUE(IsDriverKeyName("{4D36E967-E325-11CE-BFC1-08002BE10318}\\0001"));
    EXPECT_TRUE(IsDriverKeyName("DiskDrive\\0003"));
    for (const char* bad : {"", "{4D36E967-E325-11CE-BFC1-08002BE10318}", "\\0001", "X\\", "X\\0001\\Y", "\\"})
        EXPECT_FALSE(IsDriverKeyName(bad)) << bad;
}

TEST(KeyNames, SystemClassesAreNeverRemovable) {
    for (const char* guid : {"{36FC9E60-C465-11CF-8056-444553540000}", "{4d36e967-e325-11ce-bfc1-08002be10318}",
                             "{4D36E97B-E325-11CE-BFC1-08002BE10318}", "{71A27CDD-812A-11D0-BEC7-08002BE2092F}"})
        EXPECT_FALSE(IsRemovableClassGuid(guid)) << guid;
    // 95/98 file some classes under names of their own (HID, not HIDClass).
    for (const char* name : {"USB", "DiskDrive", "diskdrive", "SCSIAdapter", "hdc", "CDROM", "System", "HID", "hid",
                             "", "a\\b"})
        EXPECT_FALSE(IsRemovableClassName(name)) << name;
    EXPECT_TRUE(IsRemovableClassGuid(g_LegacyPlayers[0].ClassGuid));
    EXPECT_TRUE(IsRemovableClassName("QvMp3Player"));
    EXPECT_FALSE(IsRemovableClassGuid("QvMp3Player"));
}

TEST(Folders, OnlyProgramFoldersTwoLevelsDeepMayBeEmptied) {
    const std::vector<std::string> guarded = {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\Program Files",
                                              "C:\\PROGRA~1", "C:\\Documents and Settings"};
    struct Case {
        const char* folder;
        bool removable;
    } cases[] = {
        {"C:\\Program Files\\Quorvane", true},
        {"c:\\program files\\quorvane\\", true},
        {"C:\\WINDOWS\\Start Menu\\Programs\\QVRX3", true},
        {"C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\QVRX3", true},
        {"", false},
        {"\\*.*", false},
        {"C:", false},
        {"C:\\", false},
        {"C:\\Quorvane", false},                 // one level
        {"C:\\WINDOWS", false},                  // the Windows folder
        {"c:\\windows\\", false},
        {"C:\\WINDOWS\\SYSTEM32", false},        // the system folder
        {"C:\\Program Files", false},
        {"C:\\Program Files\\", false},
        {"C:\\PROGRA~1", false},
        {"C:\\Program Files\\..", false},        // climbs back out
        {"C:\\Program Files\\.", false},
        {"C:\\Program Files\\Quorvane\\..\\..", false},
        {"C:\\Program Files\\\\", false},        // empty level
        {"C:\\Program Files\\*", false},
        {"C:\\Program Files\\Q?", false},
        {"C:\\Program Files\\Quorvane.", false}, // the same folder as "Quorvane" to Windows
        {"Program Files\\Quorvane", false},      // relative
        {"\\\\server\\share\\a\\b", false},      // not on a drive
        {"C:Program Files\\Quorvane", false},
        {"C:/Program Files/Quorvane", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRemovableFolder(c.folder, guarded), c.removable) << c.folder;
    EXPECT_FALSE(IsRemovableFolder("C:\\a\\" + std::string(300, 'b'), guarded));
    // A folder that holds a protected one is refused too.
    EXPECT_FALSE(IsRemovableFolder("D:\\Apps\\Tools", {"D:\\Apps\\Tools\\Windows"}));
    EXPECT_TRUE(IsRemovableFolder("D:\\Apps\\Tools", {"C:\\Apps\\Tools"}));
}
