// The ASF header reader on the committed corpus (expected values from mutagen
// and ffprobe) and on headers built here field by field.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AsfHeader.h"
#include "AsfText.h"

namespace {

using wmapeek::ASF_BAD_OBJECT;
using wmapeek::ASF_FACTS;
using wmapeek::ASF_NOT_ASF;
using wmapeek::ASF_OK;
using wmapeek::ASF_RESULT;
using wmapeek::ASF_TRUNCATED;
using Bytes = std::vector<uint8_t>;

const std::string kDataDir = WMAPEEK_DATA_DIR;

// ---- helpers -------------------------------------------------------------

std::u16string FromUtf8(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0) { cp = c & 0x07; n = 4; }
        else if (c >= 0xE0) { cp = c & 0x0F; n = 3; }
        else if (c >= 0xC0) { cp = c & 0x1F; n = 2; }
        for (size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ExpectedFile {
    std::string name;
    bool readable = false;
    uint64_t size = 0;
    uint32_t bitrate = 0;
    std::string texts[6];  // title, artist, album, year, comment, genre
};

std::vector<ExpectedFile> LoadExpected()
{
    std::vector<ExpectedFile> rows;
    std::ifstream in(kDataDir + "/expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t'))
            cols.push_back(col);
        cols.resize(10);
        ExpectedFile f;
        f.name = cols[0];
        f.readable = cols[1] == "1";
        f.size = std::stoull(cols[2]);
        f.bitrate = static_cast<uint32_t>(std::stoul(cols[3]));
        for (int i = 0; i < 6; ++i)
            f.texts[i] = cols[4 + i];
        rows.push_back(f);
    }
    return rows;
}

// Parses from a heap buffer of exactly the given size, so that AddressSanitizer
// catches any read past it.
ASF_RESULT ParseExact(const Bytes& data, ASF_FACTS& facts)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size() ? data.size() : 1]);
    if (!data.empty())
        std::memcpy(copy.get(), data.data(), data.size());
    return wmapeek::ParseAsfHeader(copy.get(), data.size(), facts);
}

// ---- a header builder ------------------------------------------------------

Bytes Guid(const char* text)
{
    // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", first three fields little-endian.
    auto hex = [&](size_t pos) { return static_cast<uint8_t>(std::stoul(std::string(text + pos, 2), nullptr, 16)); };
    Bytes g;
    for (size_t pos : {6, 4, 2, 0}) g.push_back(hex(pos));
    for (size_t pos : {11, 9}) g.push_back(hex(pos));
    for (size_t pos : {16, 14}) g.push_back(hex(pos));
    for (size_t pos : {19, 21, 24, 26, 28, 30, 32, 34}) g.push_back(hex(pos));
    return g;
}

const char* const kHeaderGuid = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
const char* const kFilePropsGuid = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
const char* const kStreamPropsGuid = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
const char* const kAudioGuid = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
const char* const kVideoGuid = "BC19EFC0-5B4D-11CF-A8FD-00805F5C442B";
const char* const kBitratesGuid = "7BF875CE-468D-11D1-8D82-006097C9A2B2";
const char* const kContentGuid = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
const char* const kExtContentGuid = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
const char* const kHeaderExtGuid = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
const char* const kMetadataGuid = "C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA";
const char* const kLibraryGuid = "44231C94-9498-49D1-A141-1D134E457054";
const char* const kPaddingGuid = "1806D474-CADF-4509-A4BA-9AABCB96AAE8";

void Put(Bytes& b, uint64_t v, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes Utf16(const std::u16string& s, bool terminate = true)
{
    Bytes b;
    for (char16_t c : s)
        Put(b, c, 2);
    if (terminate)
        Put(b, 0, 2);
    return b;
}

Bytes Object(const char* guid, const Bytes& payload)
{
    Bytes b = Guid(guid);
    Put(b, 24 + payload.size(), 8);
    Append(b, payload);
    return b;
}

Bytes Header(std::initializer_list<Bytes> objects)
{
    Bytes body;
    for (const Bytes& o : objects)
        Append(body, o);
    Bytes b = Guid(kHeaderGuid);
    Put(b, 30 + body.size(), 8);
    Put(b, objects.size(), 4);
    b.push_back(1);
    b.push_back(2);
    Append(b, body);
    return b;
}

Bytes FileProperties(uint32_t maxBitrate, uint64_t fileSize = 1000)
{
    Bytes p(16, 0xAB);
    Put(p, fileSize, 8);
    for (int i = 0; i < 5; ++i)
        Put(p, 0, 8);  // dates, packet count, durations, preroll
    Put(p, 2, 4);
    Put(p, 3200, 4);
    Put(p, 3200, 4);
    Put(p, maxBitrate, 4);
    return Object(kFilePropsGuid, p);
}

Bytes StreamProperties(const char* type, uint32_t avgBytesPerSecond)
{
    Bytes format;
    Put(format, 0x161, 2);
    Put(format, 2, 2);
    Put(format, 44100, 4);
    Put(format, avgBytesPerSecond, 4);
    Put(format, 1485, 2);
    Put(format, 16, 2);
    Put(format, 0, 2);
    Bytes p = Guid(type);
    Append(p, Guid("20FB5700-5B55-11CF-A8FD-00805F5C442B"));
    Put(p, 0, 8);
    Put(p, format.size(), 4);
    Put(p, 0, 4);
    Put(p, 1, 2);
    Put(p, 0, 4);
    Append(p, format);
    return Object(kStreamPropsGuid, p);
}

Bytes StreamBitrates(std::initializer_list<uint32_t> rates)
{
    Bytes p;
    Put(p, rates.size(), 2);
    uint16_t stream = 1;
    for (uint32_t r : rates) {
        Put(p, stream++, 2);
        Put(p, r, 4);
    }
    return Object(kBitratesGuid, p);
}

Bytes ContentDescription(const std::u16string& title, const std::u16string& author, const std::u16string& copyright,
                         const std::u16string& description)
{
    Bytes texts[5] = {title.empty() ? Bytes() : Utf16(title), author.empty() ? Bytes() : Utf16(author),
                      copyright.empty() ? Bytes() : Utf16(copyright),
                      description.empty() ? Bytes() : Utf16(description), Bytes()};
    Bytes p;
    for (const Bytes& t : texts)
        Put(p, t.size(), 2);
    for (const Bytes& t : texts)
        Append(p, t);
    return Object(kContentGuid, p);
}

struct Attr {
    std::u16string name;
    uint16_t type;
    Bytes value;
    uint16_t stream = 0;
};

Attr Text(const std::u16string& name, const std::u16string& value) { return {name, 0, Utf16(value)}; }

Bytes ExtendedContent(std::initializer_list<Attr> attrs)
{
    Bytes p;
    Put(p, attrs.size(), 2);
    for (const Attr& a : attrs) {
        const Bytes name = Utf16(a.name);
        Put(p, name.size(), 2);
        Append(p, name);
        Put(p, a.type, 2);
        Put(p, a.value.size(), 2);
        Append(p, a.value);
    }
    return Object(kExtContentGuid, p);
}

Bytes MetadataRecords(const char* guid, std::initializer_list<Attr> attrs)
{
    Bytes p;
    Put(p, attrs.size(), 2);
    for (const Attr& a : attrs) {
        const Bytes name = Utf16(a.name);
        Put(p, 0, 2);
        Put(p, a.stream, 2);
        Put(p, name.size(), 2);
        Put(p, a.type, 2);
        Put(p, a.value.size(), 4);
        Append(p, name);
        Append(p, a.value);
    }
    return Object(guid, p);
}

Bytes HeaderExtension(std::initializer_list<Bytes> objects)
{
    Bytes data;
    for (const Bytes& o : objects)
        Append(data, o);
    Bytes p = Guid("ABD3D211-A9BA-11CF-8EE6-00C00C205365");
    Put(p, 6, 2);
    Put(p, data.size(), 4);
    Append(p, data);
    return Object(kHeaderExtGuid, p);
}

// Offset of the first top-level object with the given GUID in a built header.
size_t FindObject(const Bytes& header, const char* guid)
{
    const Bytes g = Guid(guid);
    for (size_t pos = 30; pos + 24 <= header.size();) {
        if (std::equal(g.begin(), g.end(), header.begin() + pos))
            return pos;
        uint64_t size = 0;
        for (int i = 7; i >= 0; --i)
            size = (size << 8) | header[pos + 16 + i];
        pos += size;
    }
    ADD_FAILURE() << "object not found";
    return 0;
}

void Poke(Bytes& b, size_t pos, uint64_t v, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        b[pos + i] = static_cast<uint8_t>(v >> (8 * i));
}

ASF_FACTS ParseOk(const Bytes& header)
{
    ASF_FACTS facts;
    EXPECT_EQ(ASF_OK, ParseExact(header, facts));
    return facts;
}

// ---- the corpus ------------------------------------------------------------

TEST(AsfCorpus, EveryFileGivesTheFactsMutagenAndFfprobeReport)
{
    const std::vector<ExpectedFile> rows = LoadExpected();
    ASSERT_GE(rows.size(), 10u);
    for (const ExpectedFile& f : rows) {
        SCOPED_TRACE(f.name);
        const Bytes data = ReadFileBytes(kDataDir + "/" + f.name);
        ASF_FACTS facts;
        const ASF_RESULT result = ParseExact(data, facts);
        if (!f.readable) {
            EXPECT_NE(ASF_OK, result);
            EXPECT_EQ(0u, wmapeek::ChooseBitrate(facts));
            EXPECT_TRUE(facts.tags.title.empty() && facts.tags.author.empty() && facts.tags.year.empty());
            continue;
        }
        ASSERT_EQ(ASF_OK, result);
        EXPECT_EQ(f.size, data.size());
        EXPECT_EQ(f.bitrate, wmapeek::ChooseBitrate(facts));
        EXPECT_EQ(FromUtf8(f.texts[0]), facts.tags.title);
        EXPECT_EQ(FromUtf8(f.texts[1]), facts.tags.author);
        EXPECT_EQ(FromUtf8(f.texts[2]), facts.tags.album);
        EXPECT_EQ(FromUtf8(f.texts[3]), facts.tags.year);
        EXPECT_EQ(FromUtf8(f.texts[4]), facts.tags.description);
        EXPECT_EQ(FromUtf8(f.texts[5]), facts.tags.genre);
    }
}

TEST(AsfCorpus, ASeventyThousandByteDescriptionInTheMetadataLibraryIsReadWhole)
{
    const Bytes data = ReadFileBytes(kDataDir + "/long_texts_160k.wma");
    const ASF_FACTS facts = ParseOk(data);
    ASSERT_EQ(35000u, facts.tags.description.size());
    EXPECT_EQ(u'a', facts.tags.description[0]);
    EXPECT_EQ(static_cast<char16_t>(u'a' + 34999 % 26), facts.tags.description.back());
}

TEST(AsfCorpus, EveryCutOfARealHeaderFailsInsideItsBytes)
{
    const Bytes data = ReadFileBytes(kDataDir + "/nonascii_48k.wma");
    uint64_t headerSize = 0;
    ASSERT_EQ(ASF_OK, wmapeek::ReadAsfHeaderSize(data.data(), data.size(), headerSize));
    ASSERT_LT(headerSize, data.size());
    for (size_t cut = 0; cut < headerSize; ++cut) {
        ASF_FACTS facts;
        const Bytes part(data.begin(), data.begin() + cut);
        EXPECT_NE(ASF_OK, ParseExact(part, facts)) << "cut at " << cut;
        EXPECT_TRUE(facts.tags.title.empty());
    }
    const Bytes whole(data.begin(), data.begin() + headerSize);
    EXPECT_EQ(u"Café Déjà Vu", ParseOk(whole).tags.title);
}

// ---- which value is the bitrate ---------------------------------------------

TEST(AsfBitrate, StreamBitratePropertiesComeFirstAndAreSummed)
{
    const ASF_FACTS facts = ParseOk(Header({FileProperties(200000), StreamBitrates({96000, 32000}),
                                            StreamProperties(kAudioGuid, 16000)}));
    EXPECT_EQ(128000u, wmapeek::ChooseBitrate(facts));
}

TEST(AsfBitrate, WithoutThemTheAudioFormatsAverageRateCounts)
{
    const ASF_FACTS facts = ParseOk(Header({FileProperties(200000), StreamProperties(kVideoGuid, 99999),
                                            StreamProperties(kAudioGuid, 8000)}));
    EXPECT_EQ(64000u, wmapeek::ChooseBitrate(facts));
}

TEST(AsfBitrate, ZeroStatementsFallThroughToTheFilesMaximum)
{
    EXPECT_EQ(200000u, wmapeek::ChooseBitrate(ParseOk(Header({FileProperties(200000)}))));
    EXPECT_EQ(200000u, wmapeek::ChooseBitrate(ParseOk(
                           Header({FileProperties(200000), StreamBitrates({0}), StreamProperties(kAudioGuid, 0)}))));
    EXPECT_EQ(0u, wmapeek::ChooseBitrate(ParseOk(Header({}))));
}

TEST(AsfBitrate, HugeSumsSaturateInsteadOfWrapping)
{
    const ASF_FACTS facts = ParseOk(Header({StreamBitrates({0xFFFFFFFFu, 0xFFFFFFFFu})}));
    EXPECT_EQ(0xFFFFFFFFu, wmapeek::ChooseBitrate(facts));
}

TEST(AsfBitrate, KiloBitsAreUnitsOf1024RoundedAndNeverZeroForAnyRate)
{
    EXPECT_EQ(125u, wmapeek::BitrateInKiloBits(128000));
    EXPECT_EQ(63u, wmapeek::BitrateInKiloBits(64000));   // 62.5
    EXPECT_EQ(31u, wmapeek::BitrateInKiloBits(32000));   // 31.25
    EXPECT_EQ(1u, wmapeek::BitrateInKiloBits(100));
    EXPECT_EQ(0u, wmapeek::BitrateInKiloBits(0));
}

TEST(AsfBitrate, TheLargestRateStillSurvivesTheCallersTimes1024)
{
    EXPECT_EQ(4194303u, wmapeek::BitrateInKiloBits(0xFFFFFFFFu));
    EXPECT_EQ(4194303u, wmapeek::BitrateInKiloBits(0xFFFFFC00u));
    for (uint32_t bps : {0xFFFFFFFFu, 0xFFFFFE00u, 0xFFFFFDFFu, 0x80000000u}) {
        const uint32_t units = wmapeek::BitrateInKiloBits(bps);
        EXPECT_NE(0u, static_cast<uint32_t>(units * 1024u)) << bps;
        EXPECT_EQ(uint64_t{units} * 1024, static_cast<uint32_t>(units * 1024u)) << bps;
    }
}

// ---- which texts are the tags -------------------------------------------------

TEST(AsfTags, ContentDescriptionAndWmAttributesFillTheirTexts)
{
    const ASF_FACTS facts = ParseOk(Header(
        {ContentDescription(u"T", u"A", u"(c) Someone", u"D"),
         ExtendedContent({Text(u"WM/AlbumTitle", u"Al"), Text(u"WM/Year", u"1999"), Text(u"WM/Genre", u"Jazz"),
                          Text(u"Copyright", u"not a tag")})}));
    EXPECT_EQ(u"T", facts.tags.title);
    EXPECT_EQ(u"A", facts.tags.author);
    EXPECT_EQ(u"D", facts.tags.description);
    EXPECT_EQ(u"Al", facts.tags.album);
    EXPECT_EQ(u"1999", facts.tags.year);
    EXPECT_EQ(u"Jazz", facts.tags.genre);
    EXPECT_EQ(u"(c) Someone", facts.tags.copyright);
    EXPECT_FALSE(facts.tags.yearIsNumber);
}

TEST(AsfTags, TheCopyrightAndHowTheYearWasStoredAreKept)
{
    Bytes dword;
    Put(dword, 1987, 4);
    const ASF_FACTS numeric = ParseOk(Header({ExtendedContent({{u"WM/Year", 3, dword}, Text(u"Copyright", u"C")})}));
    EXPECT_EQ(u"1987", numeric.tags.year);
    EXPECT_TRUE(numeric.tags.yearIsNumber);
    EXPECT_EQ(u"C", numeric.tags.copyright);
    // The first non-empty year decides, as for the text itself.
    const ASF_FACTS text = ParseOk(Header({ExtendedContent({Text(u"WM/Year", u"2004"), {u"WM/Year", 3, dword}})}));
    EXPECT_EQ(u"2004", text.tags.year);
    EXPECT_FALSE(text.tags.yearIsNumber);
}

TEST(AsfTags, TheFirstNonEmptyValueWinsAcrossObjects)
{
    const ASF_FACTS facts = ParseOk(Header(
        {ContentDescription(u"", u"Main", u"", u""),
         ExtendedContent({Text(u"Title", u"From extended"), Text(u"Author", u"Second")}),
         HeaderExtension({MetadataRecords(kMetadataGuid, {Text(u"WM/Genre", u"From metadata")}),
                          MetadataRecords(kLibraryGuid, {Text(u"WM/Genre", u"Later"), Text(u"Description", u"Lib")})})}));
    EXPECT_EQ(u"From extended", facts.tags.title);
    EXPECT_EQ(u"Main", facts.tags.author);
    EXPECT_EQ(u"From metadata", facts.tags.genre);
    EXPECT_EQ(u"Lib", facts.tags.description);
}

TEST(AsfTags, NamesMatchExactlyAndStreamAttributesAreNotTags)
{
    Attr streamTitle = Text(u"Title", u"Stream 1 only");
    streamTitle.stream = 1;
    const ASF_FACTS facts = ParseOk(Header(
        {ExtendedContent({Text(u"title", u"lower"), Text(u"WM/Genre ", u"padded")}),
         HeaderExtension({MetadataRecords(kLibraryGuid, {streamTitle})})}));
    EXPECT_TRUE(facts.tags.title.empty());
    EXPECT_TRUE(facts.tags.genre.empty());
}

TEST(AsfTags, NumericYearsGiveTheirDecimalTextAndOtherTypesNone)
{
    Bytes dword, word, qword;
    Put(dword, 1987, 4);
    Put(word, 2001, 2);
    Put(qword, 2024, 8);
    EXPECT_EQ(u"1987", ParseOk(Header({ExtendedContent({{u"WM/Year", 3, dword}})})).tags.year);
    EXPECT_EQ(u"2001", ParseOk(Header({ExtendedContent({{u"WM/Year", 5, word}})})).tags.year);
    EXPECT_EQ(u"2024", ParseOk(Header({ExtendedContent({{u"WM/Year", 4, qword}})})).tags.year);
    EXPECT_EQ(u"0", ParseOk(Header({ExtendedContent({{u"WM/Year", 3, Bytes(4, 0)}})})).tags.year);
    EXPECT_TRUE(ParseOk(Header({ExtendedContent({{u"WM/Year", 1, Utf16(u"1987")}})})).tags.year.empty());
    EXPECT_TRUE(ParseOk(Header({ExtendedContent({{u"WM/Year", 3, Bytes(3, 1)}})})).tags.year.empty());
}

TEST(AsfTags, TextsEndAtTheirFirstNulAndAnOddByteIsDropped)
{
    Bytes early = Utf16(u"Left");
    Append(early, Utf16(u"Hidden"));
    Bytes odd = Utf16(u"Odd", false);
    odd.push_back('x');
    const ASF_FACTS facts = ParseOk(Header({ExtendedContent({{u"WM/AlbumTitle", 0, early}, {u"WM/Genre", 0, odd}})}));
    EXPECT_EQ(u"Left", facts.tags.album);
    EXPECT_EQ(u"Odd", facts.tags.genre);
}

TEST(AsfTags, ZeroLengthStringsAndNamesAreEmptyNotErrors)
{
    const ASF_FACTS facts = ParseOk(Header({ContentDescription(u"", u"", u"", u""),
                                            ExtendedContent({{u"", 0, Bytes()}, {u"WM/Genre", 0, Bytes()}})}));
    EXPECT_TRUE(facts.tags.title.empty());
    EXPECT_TRUE(facts.tags.genre.empty());
}

TEST(AsfTags, ASeventyThousandByteAttributeOnlyFitsTheMetadataLibrary)
{
    const std::u16string big(35000, u'q');
    const ASF_FACTS facts = ParseOk(Header({HeaderExtension({MetadataRecords(kLibraryGuid, {Text(u"Description", big)})})}));
    EXPECT_EQ(big, facts.tags.description);
}

// ---- damaged headers ------------------------------------------------------

TEST(AsfDamaged, OnlyAHeaderObjectIsAsf)
{
    ASF_FACTS facts;
    EXPECT_EQ(ASF_NOT_ASF, ParseExact(Bytes(), facts));
    EXPECT_EQ(ASF_NOT_ASF, ParseExact(Bytes(100, 0), facts));
    Bytes header = Header({});
    header[0] ^= 1;
    EXPECT_EQ(ASF_NOT_ASF, ParseExact(header, facts));
}

TEST(AsfDamaged, AHeaderSizeBeyondTheBytesOrBelowItsOwnFieldsFails)
{
    Bytes header = Header({FileProperties(1000)});
    ASF_FACTS facts;
    Poke(header, 16, header.size() + 1, 8);
    EXPECT_EQ(ASF_TRUNCATED, ParseExact(header, facts));
    Poke(header, 16, 0xFFFFFFFFFFFFFFFFull, 8);
    EXPECT_EQ(ASF_TRUNCATED, ParseExact(header, facts));
    Poke(header, 16, 29, 8);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(header, facts));
}

TEST(AsfDamaged, ObjectSizesMustFitTheHeader)
{
    const Bytes good = Header({ContentDescription(u"T", u"A", u"", u""), FileProperties(1000)});
    const size_t pos = FindObject(good, kContentGuid);
    for (uint64_t size : {uint64_t{0}, uint64_t{23}, uint64_t{good.size()}, uint64_t{0x7FFFFFFFFFFFFFFF},
                          uint64_t{0xFFFFFFFFFFFFFFFF}}) {
        SCOPED_TRACE(size);
        Bytes header = good;
        Poke(header, pos + 16, size, 8);
        ASF_FACTS facts;
        EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(header, facts));
        EXPECT_TRUE(facts.tags.title.empty());
        EXPECT_FALSE(facts.hasFileProperties);
    }
}

TEST(AsfDamaged, MoreObjectsCountedThanThereAreFails)
{
    Bytes header = Header({FileProperties(1000)});
    Poke(header, 24, 0xFFFFFFFFu, 4);
    ASF_FACTS facts;
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(header, facts));
}

TEST(AsfDamaged, StringLengthsMustFitTheirObject)
{
    const Bytes good = Header({ContentDescription(u"Title", u"", u"", u"")});
    const size_t pos = FindObject(good, kContentGuid);
    Bytes header = good;
    Poke(header, pos + 24, 0xFFFF, 2);
    ASF_FACTS facts;
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(header, facts));
    EXPECT_TRUE(facts.tags.title.empty());
}

TEST(AsfDamaged, AttributeCountsAndLengthsMustFitTheirObject)
{
    ASF_FACTS facts;
    Bytes counted = Header({ExtendedContent({Text(u"WM/Genre", u"Pop")})});
    Poke(counted, FindObject(counted, kExtContentGuid) + 24, 2, 2);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(counted, facts));

    Bytes value = Header({ExtendedContent({Text(u"WM/Genre", u"Pop")})});
    // count, name length, name (18 bytes), type, then the value length
    Poke(value, FindObject(value, kExtContentGuid) + 24 + 2 + 2 + 18 + 2, 0xFFFF, 2);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(value, facts));

    Bytes library = Header({HeaderExtension({MetadataRecords(kLibraryGuid, {Text(u"WM/Genre", u"Pop")})})});
    // header extension fields (46 bytes), object prefix, count, four words, then the 32-bit length
    Poke(library, FindObject(library, kHeaderExtGuid) + 46 + 24 + 2 + 8, 0xFFFFFFFFu, 4);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(library, facts));
    EXPECT_TRUE(facts.tags.genre.empty());
}

TEST(AsfDamaged, HeaderExtensionDataMustFitAndHoldWholeObjects)
{
    ASF_FACTS facts;
    Bytes sized = Header({HeaderExtension({Object(kPaddingGuid, Bytes(8, 0))})});
    Poke(sized, FindObject(sized, kHeaderExtGuid) + 24 + 18, 0xFFFFFFFFu, 4);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(sized, facts));

    Bytes inner = Header({HeaderExtension({Object(kPaddingGuid, Bytes(8, 0))})});
    Poke(inner, FindObject(inner, kHeaderExtGuid) + 46 + 16, 0, 8);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(inner, facts));
}

TEST(AsfDamaged, ShortPropertiesObjectsFail)
{
    ASF_FACTS facts;
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(Header({Object(kFilePropsGuid, Bytes(79, 0))}), facts));
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(Header({Object(kStreamPropsGuid, Bytes(53, 0))}), facts));
    Bytes bitrates;
    Put(bitrates, 3, 2);
    Put(bitrates, 1, 2);
    Put(bitrates, 128000, 4);
    EXPECT_EQ(ASF_BAD_OBJECT, ParseExact(Header({Object(kBitratesGuid, bitrates)}), facts));
    EXPECT_EQ(0u, wmapeek::ChooseBitrate(facts));
}

// ---- fitting texts into the members ------------------------------------------

bool TestLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

TEST(AsfText, AYearKeepsItsFirstFourCharacters)
{
    EXPECT_EQ(u"2004", wmapeek::LeadingCharacters(u"2004-05-01", 4));
    EXPECT_EQ(u"99", wmapeek::LeadingCharacters(u"99", 4));
    EXPECT_EQ(u"", wmapeek::LeadingCharacters(u"", 4));
    const std::u16string pair = u"20\U0001F3B5x5";
    EXPECT_EQ(u"20\U0001F3B5x", wmapeek::LeadingCharacters(pair, 4));
    EXPECT_EQ(u"20\U0001F3B5", wmapeek::LeadingCharacters(pair, 3));
}

TEST(AsfText, FieldsAreCutToTheirSizeAndAlwaysEnded)
{
    char field[8];
    std::memset(field, 'Z', sizeof field);
    EXPECT_EQ(7u, wmapeek::CopyTextField("abcdefghij", field, sizeof field, nullptr));
    EXPECT_STREQ("abcdefg", field);
    EXPECT_EQ(0u, wmapeek::CopyTextField("", field, sizeof field, nullptr));
    EXPECT_STREQ("", field);
    char one[1] = {'Z'};
    EXPECT_EQ(0u, wmapeek::CopyTextField("abc", one, 1, nullptr));
    EXPECT_EQ('\0', one[0]);
    EXPECT_EQ(0u, wmapeek::CopyTextField("abc", nullptr, 0, nullptr));
}

TEST(AsfText, DoubleByteCharactersAreNeverSplit)
{
    char field[5];
    // "a" then two double-byte characters: the second does not fit whole.
    EXPECT_EQ(3u, wmapeek::CopyTextField("a\xB1\xA1\xB2\xA2", field, sizeof field, TestLeadByte));
    EXPECT_STREQ("a\xB1\xA1", field);
    // A lead byte without its trail byte is dropped.
    EXPECT_EQ(2u, wmapeek::CopyTextField("ab\xB1", field, sizeof field, TestLeadByte));
    EXPECT_STREQ("ab", field);
    EXPECT_EQ(1u, wmapeek::CopyTextField(std::string("a\xB1\0b", 4), field, sizeof field, TestLeadByte));
    EXPECT_STREQ("a", field);
}

}  // namespace
