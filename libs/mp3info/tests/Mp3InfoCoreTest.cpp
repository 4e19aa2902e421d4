// The Windows-free reader: frame headers, the sync scan, Xing headers, ID3
// tags and text conversion, against tables written here from the MPEG audio
// standard and against the generated corpus.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Mp3Expected.h"
#include "Mp3StreamReader.h"
#include "Mp3TagReader.h"
#include "Mp3TextConverter.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A file of `size` bytes whose start is `head` and whose rest reads as zeros,
// so that large files cost nothing.
class CSparseSource : public CMp3ByteSource {
public:
    CSparseSource(Bytes head, std::uint64_t size) : m_head(std::move(head)), m_size(size) {}
    std::uint64_t GetSize() override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (offset >= m_size)
            return 0;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
        auto* out = static_cast<unsigned char*>(buffer);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = offset + i < m_head.size() ? m_head[offset + i] : 0;
        return n;
    }

private:
    Bytes m_head;
    std::uint64_t m_size;
};

struct Read {
    Mp3TagRecord tag;
    Mp3StreamRecord stream;
};

Read ReadBytes(const Bytes& data)
{
    Read r;
    std::memset(&r, 0xCC, sizeof r);
    CMp3MemorySource src(data.data(), data.size());
    Mp3TagReader().Read(src, r.tag, r.stream, CMp3Latin1Converter());
    return r;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes V1Tag(const std::string& title, int genre)
{
    Bytes t(128, 0);
    std::memcpy(t.data(), "TAG", 3);
    std::memcpy(t.data() + 3, title.data(), std::min<std::size_t>(30, title.size()));
    t[127] = static_cast<unsigned char>(genre);
    return t;
}

// An ID3v2.3 frame: id, big-endian size, two zero flag bytes, payload.
Bytes Frame(const char* id, const Bytes& payload)
{
    Bytes f(id, id + 4);
    const std::uint32_t n = static_cast<std::uint32_t>(payload.size());
    f.push_back(static_cast<unsigned char>(n >> 24));
    f.push_back(static_cast<unsigned char>(n >> 16));
    f.push_back(static_cast<unsigned char>(n >> 8));
    f.push_back(static_cast<unsigned char>(n));
    f.push_back(0);
    f.push_back(0);
    return Cat({f, payload});
}

Bytes Id3v2Header(int major, std::uint32_t size, int flags = 0)
{
    return {'I', 'D', '3', static_cast<unsigned char>(major), 0, static_cast<unsigned char>(flags),
            static_cast<unsigned char>((size >> 21) & 0x7F), static_cast<unsigned char>((size >> 14) & 0x7F),
            static_cast<unsigned char>((size >> 7) & 0x7F), static_cast<unsigned char>(size & 0x7F)};
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, with the given mode bits.
Bytes Header(unsigned char h1 = 0xFB, unsigned char h2 = 0x90, unsigned char h3 = 0x40)
{
    return {0xFF, h1, h2, h3};
}

// A frame start with a Xing header at `at` carrying the given fields.
Bytes XingFrame(Bytes header, std::size_t at, std::uint32_t flags, std::vector<std::uint32_t> values)
{
    Bytes f = header;
    f.resize(at, 0);
    f.insert(f.end(), {'X', 'i', 'n', 'g'});
    auto put = [&](std::uint32_t v) {
        f.push_back(static_cast<unsigned char>(v >> 24));
        f.push_back(static_cast<unsigned char>(v >> 16));
        f.push_back(static_cast<unsigned char>(v >> 8));
        f.push_back(static_cast<unsigned char>(v));
    };
    put(flags);
    for (std::uint32_t v : values)
        put(v);
    return f;
}

// --- frame headers ------------------------------------------------------------

// Written from ISO/IEC 11172-3 and 13818-3, in their own arrangement: kbit/s by
// "version group/layer", index 1..14 (index 0 is free format).
const std::map<std::string, std::vector<int>> kStandardBitrates = {
    {"1/I", {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}},
    {"1/II", {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384}},
    {"1/III", {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {"2/I", {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256}},
    {"2/II", {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {"2/III", {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
// Hz by version field value (00 MPEG-2.5, 10 MPEG-2, 11 MPEG-1) and index.
const std::map<int, std::vector<int>> kStandardRates = {
    {0, {11025, 12000, 8000}}, {2, {22050, 24000, 16000}}, {3, {44100, 48000, 32000}}};

TEST(FrameHeader, EveryHeaderDecodesAsTheStandardSays)
{
    const char* layers[] = {"", "III", "II", "I"};
    unsigned char h[4] = {0xFF, 0, 0, 0};
    for (int b1 = 0; b1 < 256; ++b1) {
        for (int b2 = 0; b2 < 256; ++b2) {
            for (int b3 = 0; b3 < 256; ++b3) {
                h[1] = static_cast<unsigned char>(b1);
                h[2] = static_cast<unsigned char>(b2);
                h[3] = static_cast<unsigned char>(b3);
                const int versionField = (b1 >> 3) & 3;
                const int layerField = (b1 >> 1) & 3;
                const int bitrateIndex = b2 >> 4;
                const int rateIndex = (b2 >> 2) & 3;
                const bool valid = versionField != 1 && layerField != 0 && bitrateIndex != 15 && rateIndex != 3;
                Mp3FrameHeader d;
                const bool decoded = Mp3DecodeFrameHeader(h, d);
                ASSERT_EQ(valid, decoded) << std::hex << b1 << " " << b2 << " " << b3;
                if (!valid)
                    continue;
                const int version = versionField == 3 ? 1 : versionField == 2 ? 2 : 3;
                const std::string key = std::string(version == 1 ? "1/" : "2/") + layers[layerField];
                const int bitrate = bitrateIndex == 0 ? 0 : kStandardBitrates.at(key)[bitrateIndex - 1];
                ASSERT_EQ(version, d.Version);
                ASSERT_EQ(4 - layerField, d.Layer);
                ASSERT_EQ(bitrate, d.Bitrate) << key << " index " << bitrateIndex;
                ASSERT_EQ(kStandardRates.at(versionField)[rateIndex], d.SampleRate);
                ASSERT_EQ(b3 >> 6, d.ChannelMode);
                ASSERT_EQ((b3 >> 6) == 3 ? 1 : 2, d.Channels);
                ASSERT_EQ((b2 >> 1) & 1, d.Padding);
            }
        }
    }
}

TEST(FrameHeader, SyncNeedsElevenSetBitsAndNoReservedField)
{
    unsigned char p[3];
    for (int b0 = 0; b0 < 256; ++b0)
        for (int b1 = 0; b1 < 256; ++b1)
            for (int b2 = 0; b2 < 256; ++b2) {
                p[0] = static_cast<unsigned char>(b0);
                p[1] = static_cast<unsigned char>(b1);
                p[2] = static_cast<unsigned char>(b2);
                // FF FF is a run of fill bytes, never a header.
                const bool sync = b0 == 0xFF && (b1 & 0xE0) == 0xE0 && b1 != 0xFF && ((b1 >> 3) & 3) != 1 &&
                                  ((b1 >> 1) & 3) != 0 && (b2 >> 4) != 15 && ((b2 >> 2) & 3) != 3;
                ASSERT_EQ(sync, Mp3IsFrameSync(p)) << std::hex << b0 << " " << b1 << " " << b2;
            }
}

TEST(FrameHeader, FactorsAndXingOffsetsFollowTheFrameLayout)
{
    EXPECT_EQ(48000, Mp3FrameSizeFactor(1, 1));
    EXPECT_EQ(144000, Mp3FrameSizeFactor(1, 2));
    EXPECT_EQ(144000, Mp3FrameSizeFactor(1, 3));
    EXPECT_EQ(24000, Mp3FrameSizeFactor(2, 1));
    EXPECT_EQ(72000, Mp3FrameSizeFactor(3, 3));
    // Header plus side information: 32 or 17 bytes for MPEG-1, 17 or 9 after.
    EXPECT_EQ(36u, Mp3XingOffset(1, 0));
    EXPECT_EQ(21u, Mp3XingOffset(1, 3));
    EXPECT_EQ(21u, Mp3XingOffset(2, 1));
    EXPECT_EQ(13u, Mp3XingOffset(3, 3));
}

// --- the stream ---------------------------------------------------------------

TEST(Stream, ConstantBitrateDurationUsesTheWholeFile)
{
    CSparseSource src(Header(), 4000000);
    Mp3StreamRecord r;
    Mp3ReadStream(src, r);
    EXPECT_EQ(128, r.Bitrate);
    EXPECT_EQ(250u, r.Seconds);
    EXPECT_EQ(4000000u, r.FileSize);
    EXPECT_EQ(417u, r.FrameLength);  // 144000 * 128 / 44100
    EXPECT_EQ(4000000u, r.AudioBytes);
    EXPECT_EQ(2, r.Channels);
}

TEST(Stream, LargeFilesDoNotOverflowTheDuration)
{
    // 600 MB: size x 8 does not fit 32 bits.
    CSparseSource src(Header(), 600000000);
    Mp3StreamRecord r;
    Mp3ReadStream(src, r);
    EXPECT_EQ(37500u, r.Seconds);
}

TEST(Stream, MonoFileHasOneChannelAndItsXingAt21)
{
    const Bytes f = XingFrame(Header(0xFB, 0x90, 0xC0), 21, 3, {100, 41700});
    CSparseSource src(f, 50000);
    Mp3StreamRecord r;
    Mp3ReadStream(src, r);
    EXPECT_EQ(1, r.Channels);
    EXPECT_EQ(3, r.ChannelMode);
    EXPECT_EQ(1, r.IsVbr);
    EXPECT_EQ(100u, r.FrameCount);
    EXPECT_EQ(41700u, r.AudioBytes);
    EXPECT_EQ(417u, r.FrameLength);
    EXPECT_EQ(127, r.Bitrate);  // 417 * 44100 / 144000
    EXPECT_EQ(3u, r.Seconds);   // 50000 * 8 / 127000
}

TEST(Stream, XingAtTheStereoOffsetOnly)
{
    // A stereo MPEG-1 frame has its Xing header at 36; one at 21 is not it.
    CSparseSource at21(XingFrame(Header(), 21, 3, {100, 41700}), 50000);
    Mp3StreamRecord r;
    Mp3ReadStream(at21, r);
    EXPECT_EQ(0, r.IsVbr);
    CSparseSource at36(XingFrame(Header(), 36, 15, {100, 41700}), 50000);
    Mp3ReadStream(at36, r);
    EXPECT_EQ(1, r.IsVbr);
}

TEST(Stream, UnusableXingFallsBackToTheHeader)
{
    struct Case {
        std::uint32_t flags;
        std::vector<std::uint32_t> values;
    } cases[] = {{3, {0, 41700}}, {1, {100}}, {2, {41700}}, {0, {}}};
    for (const Case& c : cases) {
        CSparseSource src(XingFrame(Header(), 36, c.flags, c.values), 4000000);
        Mp3StreamRecord r;
        Mp3ReadStream(src, r);
        EXPECT_EQ(0, r.IsVbr) << c.flags;
        EXPECT_EQ(128, r.Bitrate) << c.flags;
        EXPECT_EQ(250u, r.Seconds) << c.flags;
    }
}

TEST(Stream, XingCutShortByTheFileEndIsNotRead)
{
    Bytes f = XingFrame(Header(), 36, 3, {100, 41700});
    f.resize(36 + 8 + 5);  // the byte count is cut
    Mp3StreamRecord r;
    CMp3MemorySource src(f.data(), f.size());
    Mp3ReadStream(src, r);
    EXPECT_EQ(0, r.IsVbr);
    EXPECT_EQ(128, r.Bitrate);
}

TEST(Stream, HugeXingCountsStayInRange)
{
    CSparseSource src(XingFrame(Header(), 36, 3, {1, 0xFFFFFFF0u}), 10000);
    Mp3TagRecord tag;
    Mp3StreamRecord r;
    Mp3TagReader().Read(src, tag, r, CMp3Latin1Converter());
    EXPECT_EQ(1, r.IsVbr);
    EXPECT_EQ(0xFFFFFFF0u, r.FrameLength);
    EXPECT_EQ(0, r.Bitrate);  // far above 999 kbit/s
}

TEST(Stream, Mpeg25XingKeepsItsOwnSampleRate)
{
    // MPEG-2.5 Layer III, 8000 Hz (index 2), mono: Xing at 13.
    CSparseSource src(XingFrame(Header(0xE3, 0x88, 0xC0), 13, 3, {50, 5000}), 5000);
    Mp3StreamRecord r;
    Mp3ReadStream(src, r);
    EXPECT_EQ(3, r.Version);
    EXPECT_EQ(8000u, r.SampleRate);
    EXPECT_EQ(1, r.IsVbr);
    EXPECT_EQ(11, r.Bitrate);  // 100 * 8000 / 72000
}

TEST(Stream, NoSyncInTheWindowGivesNoStreamInformation)
{
    Bytes f(5118, 0);
    f.insert(f.end(), {0xFF, 0xFB, 0x90, 0x40});
    CSparseSource src(f, 100000);
    Mp3StreamRecord r;
    Mp3ReadStream(src, r);
    EXPECT_EQ(0, r.Version);
    EXPECT_EQ(0, r.Bitrate);
    EXPECT_EQ(0u, r.FrameOffset);
    EXPECT_EQ(0u, r.Seconds);
    EXPECT_EQ(100000u, r.FileSize);

    // The last offset a sync may start at is still taken.
    Bytes g(5117, 0);
    g.insert(g.end(), {0xFF, 0xFB, 0x90, 0x40});
    CSparseSource src2(g, 100000);
    Mp3ReadStream(src2, r);
    EXPECT_EQ(5117u, r.FrameOffset);
    EXPECT_EQ(128, r.Bitrate);
}

TEST(Stream, FalseSyncsAreSkipped)
{
    const Bytes junk = {0xFF, 0xFF, 0xFF, 0xE8, 0x90, 0xFF, 0xFB, 0x9C, 0xFF, 0xF9, 0x90, 0xFF, 0xFB, 0xF0};
    CSparseSource src(Cat({junk, Header()}), 100000);
    Mp3StreamRecord r;
    Mp3ReadStream(src, r);
    EXPECT_EQ(junk.size(), r.FrameOffset);
}

TEST(Stream, TinyFilesAreReadWithoutOverrun)
{
    for (std::size_t n = 0; n <= 4; ++n) {
        Bytes f = Header();
        f.resize(n);
        CMp3MemorySource src(f.data(), f.size());
        Mp3StreamRecord r;
        Mp3ReadStream(src, r);
        EXPECT_EQ(n == 4 ? 128 : 0, r.Bitrate) << n;
        EXPECT_EQ(n, r.FileSize);
    }
}

// --- a leading ID3v2 tag and the sync scan --------------------------------------

TEST(LeadingTag, Utf16TextInsideTheTagIsNoSync)
{
    // FF FE 'T' passes the sync test; inside the tag it must not count.
    const Bytes title = Cat({{1, 0xFF, 0xFE}, {'T', 0, 'i', 0, 't', 0}});
    const Bytes frames = Frame("TIT2", title);
    const Bytes f = Cat({Id3v2Header(3, static_cast<std::uint32_t>(frames.size())), frames, Header()});
    ASSERT_TRUE(Mp3IsFrameSync(f.data() + 10 + 11));
    const Read r = ReadBytes(f);
    EXPECT_EQ(10 + frames.size(), r.stream.FrameOffset);
    EXPECT_EQ(1, r.stream.Version);
    EXPECT_EQ(3, r.stream.Layer);
    EXPECT_STREQ("Tit", r.tag.Title);
}

TEST(LeadingTag, FooterFlagAddsTenBytes)
{
    const Bytes f = Cat({Id3v2Header(4, 20, 0x10), Bytes(20, 0), Text("3DI"), Bytes(7, 0), Header()});
    EXPECT_EQ(40u, Mp3Id3v2TagEnd(f.data(), f.size()));
    EXPECT_EQ(40u, ReadBytes(f).stream.FrameOffset);
}

TEST(LeadingTag, TagEndingPastTheWindowGivesNoStream)
{
    const Bytes f = Cat({Id3v2Header(3, 5200), Bytes(5200, 0), Header()});
    const Read r = ReadBytes(f);
    EXPECT_EQ(0, r.stream.Version);
    EXPECT_EQ(f.size(), r.stream.FileSize);
}

TEST(LeadingTag, SizePastTheEndOfTheFile)
{
    for (std::uint32_t size : {0x0FFFFFFFu, 3000u}) {
        const Bytes f = Cat({Id3v2Header(3, size), Header()});
        const Read r = ReadBytes(f);
        EXPECT_EQ(0, r.stream.Version) << size;
        EXPECT_EQ(f.size(), r.stream.FileSize);
    }
}

TEST(LeadingTag, InvalidHeaderIsScannedFromTheStart)
{
    // A size byte with its top bit set is no ID3v2 size.
    Bytes f = Cat({Text("ID3"), {3, 0, 0, 0, 0, 0x80, 0}, Header()});
    EXPECT_EQ(0u, Mp3Id3v2TagEnd(f.data(), f.size()));
    EXPECT_EQ(10u, ReadBytes(f).stream.FrameOffset);
}

// --- ID3v1 ----------------------------------------------------------------------

TEST(Id3v1, TrailingBlanksAreCut)
{
    const Read r = ReadBytes(Cat({Header(), V1Tag("Song" + std::string(26, ' '), 0)}));
    EXPECT_EQ(1, r.tag.HasTag);
    EXPECT_STREQ("Song", r.tag.Title);
    EXPECT_STREQ("X", ReadBytes(Cat({Header(), V1Tag("X" + std::string(29, ' '), 0)})).tag.Title);
    EXPECT_STREQ("", ReadBytes(Cat({Header(), V1Tag(std::string(30, ' '), 0)})).tag.Title);
}

TEST(Id3v1, GenreByteIsUnsignedAndNamedFromOne)
{
    EXPECT_EQ(1, ReadBytes(V1Tag("a", 0)).tag.Genre);
    EXPECT_STREQ("Blues", Mp3TagReader::GenreName(1));
    EXPECT_EQ(148, ReadBytes(V1Tag("a", 147)).tag.Genre);
    EXPECT_STREQ("Synthpop", Mp3TagReader::GenreName(148));
    EXPECT_EQ(256, ReadBytes(V1Tag("a", 255)).tag.Genre);
    EXPECT_STREQ("", Mp3TagReader::GenreName(256));
    EXPECT_STREQ("", Mp3TagReader::GenreName(0));
    EXPECT_STREQ("Rock", Mp3TagReader::GenreName(18));
}

TEST(Id3v1, FilesUnder128BytesHaveNoTag)
{
    // "TAG" at offset 0 of a short file is not a tag at its end.
    Bytes f = V1Tag("Short", 3);
    f.resize(127);
    const Read r = ReadBytes(f);
    EXPECT_EQ(0, r.tag.HasTag);
    EXPECT_STREQ("", r.tag.Title);
    EXPECT_EQ(0, r.tag.Genre);
}

TEST(Id3v1, BothTagsUseTheId3v1One)
{
    const Bytes v2 = Cat({Id3v2Header(3, 20), Frame("TIT2", Cat({{0}, Text("Two")})), Header()});
    const Read r = ReadBytes(Cat({v2, Bytes(100, 0), V1Tag("One", 1)}));
    EXPECT_STREQ("One", r.tag.Title);
}

// --- ID3v2 frames ---------------------------------------------------------------

TEST(Id3v2, FramesAreFoundWhereverTheyStand)
{
    const Bytes f = Cat({Text("junk"), Frame("TCON", Cat({{0}, Text("(17)")})), Frame("TIT2", Cat({{0}, Text("Title")})),
                         Frame("TYER", Cat({{0}, Text("19999")})), Frame("TPE1", Cat({{0}, Text("Artist")}))});
    const Read r = ReadBytes(f);
    EXPECT_STREQ("Title", r.tag.Title);
    EXPECT_STREQ("Artist", r.tag.Artist);
    EXPECT_STREQ("1999", r.tag.Year);
    EXPECT_EQ(18, r.tag.Genre);
    EXPECT_EQ(0, r.tag.HasTag);
}

TEST(Id3v2, GenreNeedsOneToThreeDigits)
{
    auto genre = [](const std::string& text) {
        return ReadBytes(Frame("TCON", Cat({{0}, Text(text)}))).tag.Genre;
    };
    EXPECT_EQ(1, genre("(0)"));
    EXPECT_EQ(256, genre("(255)"));
    EXPECT_EQ(0, genre("(1234)"));
    EXPECT_EQ(0, genre("()"));
    EXPECT_EQ(0, genre("Rock"));
}

TEST(Id3v2, CommentStartsWithItsLanguageCode)
{
    const Read r = ReadBytes(Frame("COMM", Cat({{0}, Text("eng"), {0}, Text("Nice")})));
    EXPECT_STREQ("eng", r.tag.Comment);
}

TEST(Id3v2, EmptyAndZeroSizedFramesGiveEmptyTexts)
{
    Bytes f = Cat({Frame("TIT2", {}), Frame("TPE1", Cat({{0}, Text("Next")}))});
    Read r = ReadBytes(f);
    EXPECT_STREQ("", r.tag.Title);
    EXPECT_STREQ("Next", r.tag.Artist);
    r = ReadBytes(Cat({Frame("TIT2", {0}), Frame("TPE1", Cat({{0}, Text("Next")}))}));
    EXPECT_STREQ("", r.tag.Title);
}

TEST(Id3v2, TextStaysInsideItsFrame)
{
    // Zero bytes before the text are passed over, but the next frame's id is
    // not part of this one's text.
    const Read r = ReadBytes(Cat({Frame("TIT2", Cat({{0, 0, 0}, Text("Ab")})), Frame("TPE1", Cat({{0}, Text("Cd")}))}));
    EXPECT_STREQ("Ab", r.tag.Title);
}

TEST(Id3v2, LongFramesUseTheirWholeSize)
{
    // A 255-letter title has the size 00 00 01 00.
    const Read r = ReadBytes(Frame("TIT2", Cat({{0}, Bytes(255, 'L')})));
    EXPECT_EQ(std::string(30, 'L'), r.tag.Title);
}

TEST(Id3v2, OnlyTheFirst512BytesAreSearched)
{
    Bytes f(505, 0);
    const Bytes tail = Frame("TIT2", Cat({{0}, Text("Cut title")}));
    f = Cat({f, tail});
    const Read r = ReadBytes(f);
    EXPECT_STREQ("", r.tag.Title);  // the size bytes lie past byte 512
    Bytes g(498, 0);
    g = Cat({g, tail});
    EXPECT_STREQ("Cut", ReadBytes(g).tag.Title);
}

TEST(Id3v2, UnicodeTextsAreConverted)
{
    const Bytes utf16le = Cat({{1, 0xFF, 0xFE}, {'C', 0, 'a', 0, 'f', 0, 0xE9, 0}});
    const Bytes utf16be = Cat({{1, 0xFE, 0xFF}, {0, 'C', 0, 0xE9, 0x65, 0xE5}});
    const Bytes utf16nb = Cat({{2}, {0, 'B', 0, 'e'}});
    const Bytes utf8 = Cat({{3}, Text("Bj\xC3\xB6rk \xF0\x9F\x8E\xB5")});
    const Read r = ReadBytes(Cat({Frame("TIT2", utf16le), Frame("TPE1", utf16be), Frame("TALB", utf16nb),
                                  Frame("COMM", Cat({{1}, Text("eng"), {0xFF, 0xFE, 'D', 0, 0, 0}, {0xFF, 0xFE, 'x', 0}})),
                                  Frame("TYER", utf8)}));
    EXPECT_STREQ("Caf\xE9", r.tag.Title);
    EXPECT_STREQ("C\xE9?", r.tag.Artist);
    EXPECT_STREQ("Be", r.tag.Album);
    EXPECT_STREQ("engD", r.tag.Comment);
    EXPECT_STREQ("Bj\xF6r", r.tag.Year);
}

TEST(Id3v2, ConvertedTextsKeepTheFieldLimit)
{
    Bytes text = {1, 0xFF, 0xFE};
    for (int i = 0; i < 40; ++i)
        text.insert(text.end(), {static_cast<unsigned char>('a' + i % 26), 0});
    const Read r = ReadBytes(Frame("TIT2", text));
    EXPECT_EQ(30u, std::strlen(r.tag.Title));
    EXPECT_EQ(0, std::strncmp(r.tag.Title, "abcdefghijklmnopqrstuvwxyzabcd", 30));
}

TEST(TextConversion, BrokenSequencesBecomeReplacementMarks)
{
    const CMp3Latin1Converter latin1;
    const unsigned char loneSurrogate[] = {0x00, 0xD8, 'a', 0};
    EXPECT_EQ("?a", Mp3ConvertText(loneSurrogate, sizeof loneSurrogate, MP3_TEXT_UTF16, latin1, 30));
    const unsigned char cutUtf8[] = {'a', 0xE2, 0x82};
    EXPECT_EQ("a?", Mp3ConvertText(cutUtf8, sizeof cutUtf8, MP3_TEXT_UTF8, latin1, 30));
    const unsigned char overlong[] = {0xC0, 0x80, 'b'};
    EXPECT_EQ("?b", Mp3ConvertText(overlong, sizeof overlong, MP3_TEXT_UTF8, latin1, 30));
    const unsigned char oddLength[] = {0xFF, 0xFE, 'a', 0, 'b'};
    EXPECT_EQ("a", Mp3ConvertText(oddLength, sizeof oddLength, MP3_TEXT_UTF16, latin1, 30));
}

// --- the corpus -------------------------------------------------------------------

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Corpus, EveryFileGivesItsExpectedValues)
{
    const std::vector<Mp3Expected> all = LoadMp3Expected(MP3INFO_DATA);
    ASSERT_GE(all.size(), 60u);
    for (const Mp3Expected& e : all) {
        const std::string name = e.Text("file");
        SCOPED_TRACE(name);
        const Bytes data = ReadFileBytes(std::string(MP3INFO_DATA) + "/corpus/" + name);
        ASSERT_EQ(static_cast<std::size_t>(e.Number("size")), data.size());
        const Read r = ReadBytes(data);
        EXPECT_EQ(e.Number("hastag"), r.tag.HasTag);
        EXPECT_EQ(e.Text("title"), r.tag.Title);
        EXPECT_EQ(e.Text("artist"), r.tag.Artist);
        EXPECT_EQ(e.Text("album"), r.tag.Album);
        EXPECT_EQ(e.Text("year"), r.tag.Year);
        EXPECT_EQ(e.Text("comment"), r.tag.Comment);
        EXPECT_EQ(e.Text("genre"), Mp3TagReader::GenreName(r.tag.Genre));
        EXPECT_EQ(e.Number("version"), r.stream.Version);
        EXPECT_EQ(e.Number("layer"), r.stream.Layer);
        EXPECT_EQ(e.Number("rate"), static_cast<long>(r.stream.SampleRate));
        EXPECT_EQ(e.Number("mode"), r.stream.ChannelMode);
        EXPECT_EQ(e.Number("channels"), r.stream.Channels);
        EXPECT_EQ(e.Number("offset"), static_cast<long>(r.stream.FrameOffset));
        EXPECT_EQ(e.Number("bitrate"), r.stream.Bitrate);
        EXPECT_EQ(e.Number("seconds"), static_cast<long>(r.stream.Seconds));
        EXPECT_EQ(e.Number("vbr"), r.stream.IsVbr);
    }
}

TEST(Corpus, Utf16TaggedFilesGiveTheStreamOfTheirBareFile)
{
    // Tags written by mutagen, UTF-16 texts, several paddings.
    const std::string dir = std::string(MP3INFO_DATA) + "/corpus/";
    for (const std::string kind : {"cbr", "vbr"}) {
        const Read bare = ReadBytes(ReadFileBytes(dir + "utf16-" + kind + "-bare.mp3"));
        ASSERT_NE(0, bare.stream.Version) << kind;
        for (int pad : {0, 700, 2000, 4900}) {
            const std::string name = "utf16-" + kind + "-pad" + std::to_string(pad) + ".mp3";
            SCOPED_TRACE(name);
            const Bytes data = ReadFileBytes(dir + name);
            ASSERT_FALSE(data.empty());
            const Read r = ReadBytes(data);
            EXPECT_EQ(Mp3Id3v2TagEnd(data.data(), data.size()), r.stream.FrameOffset);
            EXPECT_EQ(bare.stream.Version, r.stream.Version);
            EXPECT_EQ(bare.stream.Layer, r.stream.Layer);
            EXPECT_EQ(bare.stream.SampleRate, r.stream.SampleRate);
            EXPECT_EQ(bare.stream.ChannelMode, r.stream.ChannelMode);
            EXPECT_EQ(bare.stream.Channels, r.stream.Channels);
            EXPECT_EQ(bare.stream.Bitrate, r.stream.Bitrate);
            EXPECT_EQ(bare.stream.IsVbr, r.stream.IsVbr);
            EXPECT_EQ(bare.stream.FrameCount, r.stream.FrameCount);
            EXPECT_EQ(bare.stream.FrameLength, r.stream.FrameLength);
        }
        // The tag ends past the window: no stream information.
        const Read late = ReadBytes(ReadFileBytes(dir + "utf16-" + kind + "-pad6000.mp3"));
        EXPECT_EQ(0, late.stream.Version) << kind;
        EXPECT_EQ(0, late.stream.Bitrate) << kind;
    }
}

} // namespace
