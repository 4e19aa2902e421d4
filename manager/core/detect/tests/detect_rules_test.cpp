// The detection and memory rules, and the small dialogs' texts.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "DetectRules.h"

using namespace detect;

namespace {
unsigned long Bit(char letter) { return 1ul << (letter - 'A'); }
}  // namespace

TEST(PlayerDrives, FirstTwoLettersFromCOnwardAreTaken)
{
    struct Case {
        unsigned long mask;
        char internal, external;
    } cases[] = {
        {0, 0, 0},
        {Bit('E'), 'E', 0},
        {Bit('E') | Bit('F'), 'E', 'F'},
        {Bit('Z') | Bit('G') | Bit('K'), 'G', 'K'},  // a third drive is ignored
        {Bit('A') | Bit('B') | Bit('Q'), 'Q', 0},    // floppies are never walked
        {0xFC000000ul, 0, 0},                        // bits past Z: are no letters
    };
    for (const Case& c : cases) {
        PlayerDrives d = TakePlayerDrives(c.mask);
        EXPECT_EQ(c.internal, d.Internal) << std::hex << c.mask;
        EXPECT_EQ(c.external, d.External) << std::hex << c.mask;
    }
}

// A user's own stick on the next letter must never be taken for the card.
TEST(ExternalMemory, NextLetterOnlyWhenItIsThePlayers)
{
    std::set<char> players = {'F', 'L'};
    std::vector<char> asked;
    auto isPlayer = [&](char letter) {
        asked.push_back(letter);
        return players.count(letter) != 0;
    };
    EXPECT_EQ('F', ExternalMemoryLetter('E', isPlayer));
    EXPECT_EQ('L', ExternalMemoryLetter('k', isPlayer));
    EXPECT_EQ(0, ExternalMemoryLetter('G', isPlayer));  // H: is not the player's
    EXPECT_EQ((std::vector<char>{'F', 'L', 'H'}), asked);
    asked.clear();
    EXPECT_EQ(0, ExternalMemoryLetter('Z', isPlayer));  // nothing after Z:
    EXPECT_EQ(0, ExternalMemoryLetter(0, isPlayer));
    EXPECT_EQ(0, ExternalMemoryLetter('[', isPlayer));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(0, ExternalMemoryLetter('E', nullptr));
}

TEST(Sizes, SaturateInsteadOfWrapping)
{
    EXPECT_EQ(0ul, SaturateToLow32(0));
    EXPECT_EQ(16777216ul, SaturateToLow32(16777216ull));
    EXPECT_EQ(0xFFFFFFFFul, SaturateToLow32(0xFFFFFFFFull));
    // Exactly 4 GiB and 8 GiB would wrap to 0: "the memory does not answer".
    EXPECT_EQ(0xFFFFFFFFul, SaturateToLow32(0x100000000ull));
    EXPECT_EQ(0xFFFFFFFFul, SaturateToLow32(0x200000000ull));
    EXPECT_EQ(0xFFFFFFFFul, SaturateToLow32(0x100001000ull));
}

TEST(FileKinds, ByMemoryAndFilter)
{
    const int expected[2][3] = {{2, 4, 8}, {512, 1024, 2048}};
    for (int memory = 0; memory < 2; ++memory)
        for (int filter = 0; filter < 3; ++filter)
            EXPECT_EQ(expected[memory][filter], FileKindFilter(memory, filter));
    EXPECT_EQ(8, FileKindFilter(0, 7));
}

TEST(IconQuery, RepeatsWhileMinusOneWithinItsBound)
{
    int calls = 0;
    EXPECT_EQ(5, QueryIconBounded([&] { return ++calls < 3 ? -1 : 5; }));
    EXPECT_EQ(3, calls);
    calls = 0;
    EXPECT_EQ(-1, QueryIconBounded([&] { ++calls; return -1; }));
    EXPECT_EQ(ICON_QUERY_BOUND, calls);
    calls = 0;
    EXPECT_EQ(0, QueryIconBounded([&] { ++calls; return 0; }));
    EXPECT_EQ(1, calls);
}

TEST(AboutBox, VersionDropsUpToTwoTrailingZeros)
{
    struct Case {
        double version;
        const char* text;
    } cases[] = {
        {1.1, "(Version 1.1)"},   {1.12, "(Version 1.12)"}, {1.03, "(Version 1.03)"},
        {1.123, "(Version 1.123)"}, {2.0, "(Version 2.0)"}, {10.5, "(Version 10.5)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, FormatAboutVersion(c.version)) << c.version;
}

TEST(Properties, BitrateTextsAndKinds)
{
    EXPECT_EQ("VBR", BitrateText(-1));
    EXPECT_EQ("128 K bits/second", BitrateText(128));
    EXPECT_EQ("Unknown", BitrateText(0));
    EXPECT_EQ("Unknown", BitrateText(-7));
    EXPECT_EQ("song.MP3", FileNameOf("C:\\Music\\song.MP3"));
    EXPECT_EQ("plain", FileNameOf("plain"));
    EXPECT_EQ(1, PropertiesKind("song.MP3"));
    EXPECT_EQ(2, PropertiesKind("a.b.WmA"));
    EXPECT_EQ(0, PropertiesKind("song.aac"));
    EXPECT_EQ(-1, PropertiesKind("README"));
}
