#include <gtest/gtest.h>

#include "SettingsRules.h"

using namespace settings;

TEST(OsLevel, EveryVersionGetsALevel)
{
    struct Case {
        unsigned platform, major, minor;
        short level;
    } cases[] = {
        {PLATFORM_WIN32_WINDOWS, 4, 10, OS_98},  // 98 and 98 SE
        {PLATFORM_WIN32_WINDOWS, 4, 90, OS_ME},
        {PLATFORM_WIN32_WINDOWS, 4, 0, OS_98},   // 95 runs as 98
        {PLATFORM_WIN32_NT, 5, 0, OS_2000},
        {PLATFORM_WIN32_NT, 5, 1, OS_XP},
        {PLATFORM_WIN32_NT, 5, 2, OS_XP},        // Server 2003, XP x64
        {PLATFORM_WIN32_NT, 4, 0, OS_2000},      // NT 4.0 takes the NT line's paths
        {PLATFORM_WIN32_NT, 6, 0, OS_XP},        // anything later counts as XP
        {PLATFORM_WIN32_NT, 6, 1, OS_XP},
        {PLATFORM_WIN32_NT, 10, 0, OS_XP},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.level, OsLevelFromVersion(c.platform, c.major, c.minor))
            << c.platform << " " << c.major << "." << c.minor;
}

TEST(SettingsFile, OnlyAtADriveRootOfTheInternalMemory)
{
    // "C:\SETTINGS.DAT" is 15 characters.
    EXPECT_TRUE(IsSettingsFile("C:\\SETTINGS.DAT", 0));
    EXPECT_TRUE(IsSettingsFile("e:\\settings.dat", 0));
    EXPECT_FALSE(IsSettingsFile("C:\\SETTINGS.DAT", 1));  // external memory shown
    EXPECT_FALSE(IsSettingsFile("C:\\SETTINGS.DAT", 2));  // no player
    EXPECT_FALSE(IsSettingsFile("C:\\MUSIC\\SETTINGS.DAT", 0));
    EXPECT_FALSE(IsSettingsFile("C:\\SETTINGS.DAX", 0));
    EXPECT_FALSE(IsSettingsFile("C:\\XSETTINGS.DA", 0));
    EXPECT_FALSE(IsSettingsFile("", 0));
}

TEST(RecentPaths, FirstTenNonEmptyInOrder)
{
    std::vector<std::string> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.push_back("C:\\P" + std::to_string(i));
    auto out = RecentPathsToWrite(eleven);
    ASSERT_EQ(10u, out.size());
    EXPECT_EQ("C:\\P0", out[0]);
    EXPECT_EQ("C:\\P9", out[9]);
    out = RecentPathsToWrite({"A", "", "B"});
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ("B", out[1]);
    EXPECT_TRUE(RecentPathsToWrite({}).empty());
}

TEST(Folders, BackslashAndImages)
{
    EXPECT_EQ("C:\\Prog\\", WithBackslash("C:\\Prog"));
    EXPECT_EQ("C:\\Prog\\", WithBackslash("C:\\Prog\\"));
    EXPECT_EQ("\\", WithBackslash(""));
    EXPECT_EQ("C:\\Prog\\Images\\", ImagesFolder("C:\\Prog"));
}
