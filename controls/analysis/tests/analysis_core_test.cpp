// The Windows-free reading of the analysis controls: field 4 of the AAC
// tool's output and the bounded text of a Windows Media attribute.
#include <gtest/gtest.h>

#include <string>

#include "AnalysisText.h"

using namespace trackscope;

TEST(AacInfoOutput, Field4IsTheBitrate)
{
    struct Case {
        const char* output;
        int32_t bitrate;
    } cases[] = {
        {"[1:ADTS][2:44100][3:2][4:129][5:88][6:2043][7:LC]\r\n", 129},
        {"[1:NONE][2:0][3:0][4:-1][5:0][6:0][7:]", -1},
        {"[4:  320 kbit/s]", 320},          // leading digits only
        {"[4:12a3]", 12},                   // a non-digit ends the number
        {"[4:-]", 0},
        {"[4:]", 0},
        {"[4:2147483647]", 2147483647},
        {"[4:2147483648]", 2147483647},     // saturates, never wraps
        {"[4:99999999999999999999999]", 2147483647},
        {"[4:-2147483648]", -2147483647 - 1},
        {"[4:-99999999999999999999999]", -2147483647 - 1},
        {"[4:1-2]", 1},                     // a '-' after digits is not a sign
        {"[3:2][5:88]", 0},                 // no field 4
        {"[4:128", 0},                      // never closed
        {"[1:x]]][4:64]", 64},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bitrate, AacInfoBitrate(c.output)) << c.output;
}

TEST(AacInfoOutput, FieldsEndAtTheFirstBracket)
{
    std::string text;
    ASSERT_TRUE(AacInfoField("[7:LC][6:10]", 6, text));
    EXPECT_EQ("10", text);
    ASSERT_TRUE(AacInfoField("[7:a]b]", 7, text));
    EXPECT_EQ("a", text);
    EXPECT_FALSE(AacInfoField("[7:", 7, text));
    EXPECT_FALSE(AacInfoField("", 1, text));
}

TEST(AttributeText, StopsAtTheLengthAndTheFirstNul)
{
    const uint8_t abc[] = {'A', 0, 'b', 0, 'C', 0, 0, 0, 'X', 0};
    EXPECT_EQ(u"AbC", AttributeText(abc, sizeof abc));
    EXPECT_EQ(u"Ab", AttributeText(abc, 4));
    EXPECT_EQ(u"Ab", AttributeText(abc, 5));      // an odd last byte is dropped
    EXPECT_EQ(u"", AttributeText(abc, 1));
    EXPECT_EQ(u"", AttributeText(nullptr, 8));
    const uint8_t korean[] = {0x78, 0xB1, 0x98, 0xB7};  // U+B178 U+B798, no NUL
    EXPECT_EQ(u"\uB178\uB798", AttributeText(korean, sizeof korean));
}
