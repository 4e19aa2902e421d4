// The text rules of the file utilities: size and number texts, number
// reading, path parts and name shortening, in the native build and under Wine.
#include "fileutil/FileText.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Korean (code page 949, the unified Hangul code): every byte 0x81-0xFE
// starts a two-byte character, whose second byte may be a plain letter.
class CKoreanCodePage : public CCodePage {
public:
    bool IsLeadByte(unsigned char b) const override { return b >= 0x81 && b <= 0xFE; }
};

// Japanese (932), where "\" can be the second byte of a character.
class CJapaneseCodePage : public CCodePage {
public:
    bool IsLeadByte(unsigned char b) const override { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
};

const CSingleByteCodePage kWestern;
const CKoreanCodePage kKorean;
const CJapaneseCodePage kJapanese;

// Hangul syllables in code page 949.
const std::string GA = "\xB0\xA1", NA = "\xB3\xAA", DA = "\xB4\xD9", RA = "\xB6\xF3", MA = "\xB8\xB6",
                  BA = "\xB9\xD9", SA = "\xBB\xE7";
const std::string GAK = "\x81\x41";  // extended syllable whose second byte is "A"

struct SizeCase {
    std::int64_t bytes;
    const char* roundedUp;
    const char* truncated;
};

TEST(FormatSize, EveryBoundaryWithBothAdders)
{
    const SizeCase cases[] = {
        {INT64_MIN, "-9223372036854775808 bytes", "-9223372036854775808 bytes"},
        {-1, "-1 bytes", "-1 bytes"},
        {0, "0 bytes", "0 bytes"},
        {999, "999 bytes", "999 bytes"},
        {1000, "0.99 KB", "0.99 KB"},
        {1024, "1.01 KB", "1.01 KB"},
        {10229, "10.00 KB", "10.00 KB"},
        {10230, "10 KB", "9 KB"},
        {10240, "10 KB", "10 KB"},
        {10241, "11 KB", "10 KB"},
        {1022976, "999 KB", "999 KB"},
        {1022977, "0.99 MB", "999 KB"},
        {1023999, "0.99 MB", "999 KB"},
        {1024000, "0.99 MB", "0.99 MB"},
        {10475274, "10.00 MB", "10.00 MB"},
        {10475275, "10 MB", "9 MB"},
        {10485760, "10 MB", "10 MB"},
        {10485761, "11 MB", "10 MB"},
        {1047527424, "999 MB", "999 MB"},
        {1047527425, "0.99 GB", "999 MB"},
        {1048576000, "0.99 GB", "0.99 GB"},
        {107363444981LL, "100.00 GB", "100.00 GB"},
        {107363444982LL, "100 GB", "99 GB"},
        {107374182400LL, "100 GB", "100 GB"},
        {107374182401LL, "101 GB", "100 GB"},
        // Past 4 G gigabytes the count no longer fits 32 bits.
        {INT64_MAX, "8589934592 GB", "8589934591 GB"},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(c.roundedUp, CFileText::FormatSize(c.bytes, 1)) << c.bytes;
        EXPECT_EQ(c.truncated, CFileText::FormatSize(c.bytes, 0)) << c.bytes;
    }
}

TEST(FormatSize, KilobytesRoundUpAndZeroStaysZero)
{
    EXPECT_EQ("0 KB", CFileText::FormatSizeKB(0));
    EXPECT_EQ("1 KB", CFileText::FormatSizeKB(1));
    EXPECT_EQ("1 KB", CFileText::FormatSizeKB(1024));
    EXPECT_EQ("2 KB", CFileText::FormatSizeKB(1025));
    EXPECT_EQ("4194303 KB", CFileText::FormatSizeKB(0xFFFFFC00u));
    EXPECT_EQ("4194304 KB", CFileText::FormatSizeKB(0xFFFFFC01u));
    EXPECT_EQ("4194304 KB", CFileText::FormatSizeKB(0xFFFFFFFFu));
}

TEST(FormatSize, SizesPastFourGigabytesSaturate)
{
    EXPECT_EQ(0xFFFFFFFEu, CFileText::ClampSize(0xFFFFFFFEull));
    EXPECT_EQ(0xFFFFFFFFu, CFileText::ClampSize(0xFFFFFFFFull));
    EXPECT_EQ(0xFFFFFFFFu, CFileText::ClampSize(0x100000000ull));
    EXPECT_EQ(0xFFFFFFFFu, CFileText::ClampSize(UINT64_MAX));
}

int Int(const std::string& text)
{
    int value = 12345;
    EXPECT_EQ(1, CFileText::ParseInt(text, value)) << text;
    return value;
}

TEST(ParseInt, DigitsSignAndRestart)
{
    EXPECT_EQ(0, Int(""));
    EXPECT_EQ(0, Int("0"));
    EXPECT_EQ(1062, Int("1062"));
    EXPECT_EQ(-12, Int("-12"));
    EXPECT_EQ(3, Int("12-3"));
    EXPECT_EQ(-2, Int("-1-2"));
    EXPECT_EQ(-5, Int("--5"));
    EXPECT_EQ(0, Int("5-"));
    // Every character is a place of its own, digit or not.
    EXPECT_EQ(10, Int("1x"));
    EXPECT_EQ(102, Int("1 2"));
}

TEST(ParseInt, LongTextsSaturateInsteadOfOverflowing)
{
    EXPECT_EQ(INT_MAX, Int("2147483647"));
    EXPECT_EQ(INT_MAX, Int("2147483648"));
    EXPECT_EQ(INT_MAX, Int("9999999999"));
    EXPECT_EQ(INT_MAX, Int("10000000000"));
    EXPECT_EQ(INT_MAX, Int(std::string(400, '9')));
    EXPECT_EQ(-2147483647, Int("-2147483647"));
    EXPECT_EQ(INT_MIN, Int("-2147483648"));
    EXPECT_EQ(INT_MIN, Int("-2147483649"));
    EXPECT_EQ(INT_MIN, Int("-" + std::string(40, '7')));
    // A restart forgets the saturated part.
    EXPECT_EQ(7, Int(std::string(30, '9') + "-7"));
}

TEST(ParseDecimal, EveryTenKilohertzStepOfTheFmBandIsExact)
{
    for (int n = 8750; n <= 10800; ++n) {
        char text[16];
        std::snprintf(text, sizeof text, "%d.%02d", n / 100, n % 100);
        double value = -1;
        ASSERT_TRUE(CFileText::ParseDecimal(text, value)) << text;
        EXPECT_EQ(n / 100.0, value) << text;
        EXPECT_EQ(std::strtod(text, nullptr), value) << text;
    }
    for (int n = 875; n <= 1080; ++n) {
        char text[16];
        std::snprintf(text, sizeof text, "%d.%d", n / 10, n % 10);
        double value = -1;
        ASSERT_TRUE(CFileText::ParseDecimal(text, value)) << text;
        EXPECT_EQ(n / 10.0, value) << text;
    }
}

TEST(ParseDecimal, WholeNumbersAndEmptyText)
{
    double value = -1;
    EXPECT_TRUE(CFileText::ParseDecimal("108", value));
    EXPECT_EQ(108.0, value);
    EXPECT_TRUE(CFileText::ParseDecimal("87.55", value));
    EXPECT_EQ(87.55, value);
    EXPECT_TRUE(CFileText::ParseDecimal("", value));
    EXPECT_EQ(0.0, value);
    EXPECT_TRUE(CFileText::ParseDecimal("5.", value));
    EXPECT_EQ(5.0, value);
    EXPECT_TRUE(CFileText::ParseDecimal("0087.50", value));
    EXPECT_EQ(87.5, value);
    // A leading point is a decimal point: .5 is a half, not five.
    EXPECT_TRUE(CFileText::ParseDecimal(".5", value));
    EXPECT_EQ(0.5, value);
}

TEST(ParseDecimal, AnythingButDigitsAndOnePointIsRefusedWithZero)
{
    const char* bad[] = {"8a", "-1", "87,5", " 87.5", "87.5 ", "1.2.3", "..", "+1", "1e3"};
    for (const char* text : bad) {
        double value = 99;
        EXPECT_FALSE(CFileText::ParseDecimal(text, value)) << text;
        EXPECT_EQ(0.0, value) << text;
    }
    double value = 99;
    EXPECT_FALSE(CFileText::ParseDecimal(std::string(400, '9'), value));
    EXPECT_EQ(0.0, value);
}

TEST(FormatNumber, WidthPadsCutsOrEmpties)
{
    EXPECT_EQ("07", CFileText::FormatNumber(7, 2));
    EXPECT_EQ("12", CFileText::FormatNumber(123, 2));
    EXPECT_EQ("123", CFileText::FormatNumber(123, 3));
    EXPECT_EQ("00042", CFileText::FormatNumber(42, 5));
    EXPECT_EQ("", CFileText::FormatNumber(5, 0));
    EXPECT_EQ("", CFileText::FormatNumber(5, -3));
    EXPECT_EQ("0", CFileText::FormatNumber(0, 1));
    EXPECT_EQ("-05", CFileText::FormatNumber(-5, 3));
    EXPECT_EQ("-1", CFileText::FormatNumber(-123, 2));
    EXPECT_EQ("-02147483648", CFileText::FormatNumber(INT_MIN, 12));
}

TEST(PathKind, EmptyUsableAndUnusablePaths)
{
    const CFileText text(kWestern);
    EXPECT_EQ(PATH_KIND_EMPTY, text.GetPathKind(""));
    EXPECT_EQ(PATH_KIND_FOLDER, text.GetPathKind("C:\\"));
    EXPECT_EQ(PATH_KIND_FOLDER, text.GetPathKind("C:\\Music\\"));
    EXPECT_EQ(PATH_KIND_FOLDER, text.GetPathKind("\\"));
    EXPECT_EQ(PATH_KIND_UNUSABLE, text.GetPathKind("C:\\Mu?ic"));
    EXPECT_EQ(PATH_KIND_UNUSABLE, text.GetPathKind("?"));
}

TEST(PathKind, BareNetworkRootsAreUnusable)
{
    const CFileText text(kWestern);
    EXPECT_EQ(PATH_KIND_UNUSABLE, text.GetPathKind("\\\\server\\"));
    EXPECT_EQ(PATH_KIND_UNUSABLE, text.GetPathKind("\\\\server"));
    EXPECT_EQ(PATH_KIND_UNUSABLE, text.GetPathKind("\\\\"));
    EXPECT_EQ(PATH_KIND_FOLDER, text.GetPathKind("\\\\server\\share"));
    EXPECT_EQ(PATH_KIND_FOLDER, text.GetPathKind("\\\\server\\share\\"));
    // The second byte of a Japanese character is no separator.
    const CFileText japanese(kJapanese);
    EXPECT_EQ(PATH_KIND_UNUSABLE, japanese.GetPathKind("\\\\\x95\\\\"));
    EXPECT_EQ(PATH_KIND_FOLDER, japanese.GetPathKind("\\\\\x95\\\\share"));
}

TEST(PathParts, RootFolderNameAndExtension)
{
    const CFileText text(kWestern);
    EXPECT_EQ("C:\\", text.GetPathRoot("C:\\Music\\a.mp3"));
    EXPECT_EQ("", text.GetPathRoot("a.mp3"));
    EXPECT_EQ("C:\\Music\\", text.GetFolderPath("C:\\Music\\a.mp3"));
    EXPECT_EQ("", text.GetFolderPath("a.mp3"));
    EXPECT_EQ("a.mp3", text.GetFileName("C:\\Music\\a.mp3"));
    EXPECT_EQ("a.mp3", text.GetFileName("a.mp3"));
    EXPECT_EQ("", text.GetFileName("C:\\Music\\"));
    EXPECT_EQ("MP3", text.GetFileExt("C:\\Music\\a.MP3"));
    EXPECT_EQ("gz", text.GetFileExt("a.tar.gz"));
    EXPECT_EQ("", text.GetFileExt("a."));
    EXPECT_EQ("", text.GetFileExt("noext"));
    EXPECT_EQ("hidden", text.GetFileExt(".hidden"));
}

TEST(PathParts, ExtensionComesFromTheNameNotTheFolder)
{
    const CFileText text(kWestern);
    EXPECT_EQ("", text.GetFileExt("C:\\My.Music\\track"));
    EXPECT_EQ("", text.GetFileExt("C:\\My.Music\\"));
    EXPECT_EQ("wav", text.GetFileExt("C:\\My.Music\\take.wav"));
    EXPECT_EQ(FILE_KIND_OTHER, text.GetFileKindFlag(0, "C:\\mp3.dir\\readme"));
}

TEST(PathParts, DoubleByteSecondHalvesAreNoSeparators)
{
    // 0x95 0x5C is one Japanese character whose second byte is "\".
    const CFileText text(kJapanese);
    const std::string folder = "C:\\\x95\\";
    EXPECT_EQ(folder + "\\", text.GetFolderPath(folder + "\\a.mp3"));
    EXPECT_EQ("a.mp3", text.GetFileName(folder + "\\a.mp3"));
    EXPECT_EQ("\x95\\.mp3", text.GetFileName("C:\\\x95\\.mp3"));
    std::vector<std::string> parts;
    EXPECT_EQ(2, text.SplitPath(folder + "\\", parts));
    EXPECT_EQ("\x95\\", parts[1]);
}

TEST(PathParts, SplitAppendsEveryNonEmptyPart)
{
    const CFileText text(kWestern);
    std::vector<std::string> parts{"kept"};
    EXPECT_EQ(4, text.SplitPath("C:\\a\\\\b", parts));
    EXPECT_EQ((std::vector<std::string>{"kept", "C:", "a", "b"}), parts);
    parts.clear();
    EXPECT_EQ(2, text.SplitPath("\\\\server\\share\\", parts));
    EXPECT_EQ((std::vector<std::string>{"server", "share"}), parts);
}

TEST(FileKind, FirstThreeLettersOfTheExtensionPerMemory)
{
    const CFileText text(kWestern);
    EXPECT_EQ(2, text.GetFileKindFlag(0, "a.mp3"));
    EXPECT_EQ(2, text.GetFileKindFlag(0, "a.WMA"));
    EXPECT_EQ(2, text.GetFileKindFlag(0, "a.Mp3x"));
    EXPECT_EQ(4, text.GetFileKindFlag(0, "a.WAV"));
    EXPECT_EQ(4, text.GetFileKindFlag(0, "a.wave"));
    EXPECT_EQ(8, text.GetFileKindFlag(0, "a.mp"));
    EXPECT_EQ(8, text.GetFileKindFlag(0, "a"));
    EXPECT_EQ(512, text.GetFileKindFlag(1, "a.mp3"));
    EXPECT_EQ(1024, text.GetFileKindFlag(1, "a.wav"));
    EXPECT_EQ(2048, text.GetFileKindFlag(1, "a.txt"));
    EXPECT_EQ(0, text.GetFileKindFlag(2, "a.mp3"));
    EXPECT_EQ(0, text.GetFileKindFlag(-1, "a.mp3"));
}

TEST(CutToBytes, AVolumeLabelKeepsWholeCharactersOnly)
{
    const CFileText korean(kKorean), western(kWestern);
    const std::string six = GA + NA + DA + RA + MA + BA;  // 12 bytes
    EXPECT_EQ(GA + NA + DA + RA + MA, korean.CutToBytes(six, 11));
    EXPECT_EQ("A" + GA + NA + DA + RA + MA, korean.CutToBytes("A" + six, 11));
    EXPECT_EQ("AB" + GA + NA + DA + RA, korean.CutToBytes("AB" + six, 11));
    EXPECT_EQ(GAK + "A", korean.CutToBytes(GAK + "A", 11));
    EXPECT_EQ("LARK MEMORY", western.CutToBytes("LARK MEMORY 2", 11));
    EXPECT_EQ("", korean.CutToBytes("", 11));
}

TEST(ShortenName, NamesThatFitStayAndOthersKeepTheirExtension)
{
    const CFileText text(kWestern);
    EXPECT_EQ("short.mp3", text.ShortenName("short.mp3", 53));
    EXPECT_EQ("abcdef.mp3", text.ShortenName("abcdef.mp3", 10));
    EXPECT_EQ("abcdef...mp3", text.ShortenName("abcdefghij.mp3", 10));
    EXPECT_EQ(std::string(49, 'x') + "...mp3", text.ShortenName(std::string(80, 'x') + ".mp3", 53));
}

TEST(ShortenName, NoDotOrLongExtensionNeverCutsBeforeTheStart)
{
    const CFileText text(kWestern);
    EXPECT_EQ("abcdefghij..", text.ShortenName("abcdefghijklmnop", 10));
    EXPECT_EQ("a.bcdefghi..", text.ShortenName("a.bcdefghijklmnop", 10));
    EXPECT_EQ("...cdefghi", text.ShortenName("ab.cdefghi", 8));
    EXPECT_EQ(std::string(53, 'F') + "..", text.ShortenName(std::string(300, 'F'), 53));
    EXPECT_EQ("..", text.ShortenName("abc", 0));
    EXPECT_EQ("..", text.ShortenName("abc", -4));
}

TEST(ShortenName, KoreanNamesAreCutBetweenCharacters)
{
    const CFileText text(kKorean);
    const std::string name = GA + NA + DA + RA + MA + BA + SA + ".mp3";
    EXPECT_EQ(name, text.ShortenName(name, 18));
    EXPECT_EQ(GA + NA + DA + "...mp3", text.ShortenName(name, 10));
    // A cut inside the fourth syllable drops it whole: at most 11 + 2 bytes.
    EXPECT_EQ(GA + NA + DA + "...mp3", text.ShortenName(name, 11));
    EXPECT_EQ(GA + NA + DA + RA + MA + BA + "...mp3", text.ShortenName(name, 17));
    // A cut right after a whole syllable keeps it, even though the byte
    // before the cut has its high bit set.
    const std::string mixed = "a" + GA + NA + DA + RA + MA + ".mp3";
    EXPECT_EQ("a" + GA + NA + "...mp3", text.ShortenName(mixed, 9));
    // Second bytes that look like letters do not end a character.
    const std::string extended = GAK + GAK + GAK + GAK + GAK + ".txt";
    EXPECT_EQ(GAK + GAK + "...txt", text.ShortenName(extended, 9));
    EXPECT_EQ(GAK + GAK + GAK + "...txt", text.ShortenName(extended, 10));
    // A name without an extension.
    EXPECT_EQ(GA + NA + "..", text.ShortenName(GA + NA + DA + RA, 5));
}

// Whether text is whole characters of the code page.
bool WholeCharacters(const CCodePage& codePage, const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (codePage.IsLeadByte(static_cast<unsigned char>(text[i]))) {
            if (i + 1 >= text.size())
                return false;
            ++i;
        }
    }
    return true;
}

// Whether shortened is whole characters from the start of name, "..", then
// either nothing or the name's extension.
bool IsShortening(const std::string& name, const std::string& shortened)
{
    const std::size_t dot = name.rfind('.');
    const std::string tails[] = {dot == std::string::npos ? std::string() : name.substr(dot), std::string()};
    for (const std::string& tail : tails) {
        const std::string end = ".." + tail;
        if (shortened.size() < end.size() || shortened.compare(shortened.size() - end.size(), end.size(), end) != 0)
            continue;
        const std::string head = shortened.substr(0, shortened.size() - end.size());
        if (name.compare(0, head.size(), head) == 0 && WholeCharacters(kKorean, head))
            return true;
    }
    return false;
}

TEST(ShortenName, EveryMaximumGivesWholeCharactersWithinTheBound)
{
    const CFileText text(kKorean);
    const std::vector<std::string> names = {
        GA + NA + DA + RA + MA + BA + SA + ".mp3",
        "a" + GA + "b" + NA + DA + "cd" + RA + ".wma",
        GAK + GAK + "x" + GAK + GAK,
        GA + "." + NA + DA + RA + MA,
        "\xB3\xEB\xB7\xA1\x20\xC1\xA6\xB8\xF1\xC0\xCC\x20\xBE\xC6\xC1\xD6\x20\xB1\xE4\x20\xC6\xC4\xC0\xCF\xC0\xD4"
        "\xB4\xCF\xB4\xD9.wma",
    };
    for (const std::string& name : names) {
        for (int max = 0; max <= static_cast<int>(name.size()) + 1; ++max) {
            const std::string shortened = text.ShortenName(name, max);
            if (name.size() <= static_cast<std::size_t>(max)) {
                EXPECT_EQ(name, shortened);
                continue;
            }
            EXPECT_LE(shortened.size(), static_cast<std::size_t>(max) + 2) << max;
            EXPECT_TRUE(IsShortening(name, shortened)) << max << ": " << shortened;
        }
    }
}

TEST(RecyclePath, OnlyWholeSingleRealPathsFitTheBuffer)
{
    std::vector<char> buffer;
    const std::string fits = "C:\\" + std::string(256, 'a');
    ASSERT_TRUE(CFileText::MakeDoubleNulPath(fits, CFileText::RECYCLE_BUFFER_SIZE, buffer));
    ASSERT_EQ(261u, buffer.size());
    EXPECT_EQ(fits, std::string(buffer.data()));
    EXPECT_EQ('\0', buffer[259]);
    EXPECT_EQ('\0', buffer[260]);
    EXPECT_FALSE(CFileText::MakeDoubleNulPath(fits + "b", CFileText::RECYCLE_BUFFER_SIZE, buffer));
    EXPECT_FALSE(CFileText::MakeDoubleNulPath("", CFileText::RECYCLE_BUFFER_SIZE, buffer));
    EXPECT_FALSE(CFileText::MakeDoubleNulPath("C:\\Music\\*", CFileText::RECYCLE_BUFFER_SIZE, buffer));
    EXPECT_FALSE(CFileText::MakeDoubleNulPath("C:\\Music\\a?.mp3", CFileText::RECYCLE_BUFFER_SIZE, buffer));
    EXPECT_FALSE(CFileText::MakeDoubleNulPath(std::string("C:\\a\0C:\\b", 9), CFileText::RECYCLE_BUFFER_SIZE, buffer));
}

}  // namespace
