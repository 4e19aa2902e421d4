// The ADTS reader: header fields against hand-made headers, and the corpus
// (made by ffmpeg) against ffprobe's values in data/expected.tsv.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "AdtsReader.h"

using namespace aacinfo;

namespace {

std::vector<uint8_t> ReadFile(const std::string& name)
{
    std::ifstream in(std::string(AACINFO_DATA_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A header without CRC: profile, rate index, channels, frame length, blocks.
std::vector<uint8_t> Header(int profile, int rateIndex, int channels, uint32_t length, int blocks = 1,
                            bool crc = false)
{
    std::vector<uint8_t> h(7);
    h[0] = 0xFF;
    h[1] = static_cast<uint8_t>(0xF0 | (crc ? 0 : 1));
    h[2] = static_cast<uint8_t>((profile << 6) | (rateIndex << 2) | ((channels >> 2) & 1));
    h[3] = static_cast<uint8_t>(((channels & 3) << 6) | ((length >> 11) & 3));
    h[4] = static_cast<uint8_t>((length >> 3) & 0xFF);
    h[5] = static_cast<uint8_t>(((length & 7) << 5) | 0x1F);
    h[6] = static_cast<uint8_t>(0xFC | (blocks - 1));
    return h;
}

std::vector<uint8_t> Frames(int count, uint32_t length, int rateIndex = 4, int channels = 2)
{
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> h = Header(1, rateIndex, channels, length);
        h.resize(length, 0x21);
        out.insert(out.end(), h.begin(), h.end());
    }
    return out;
}

TEST(AdtsHeader, DecodesEveryField)
{
    struct Case {
        int profile, rateIndex, channels;
        uint32_t length;
        int blocks;
        bool crc;
        uint32_t rate;
    } cases[] = {
        {1, 4, 2, 371, 1, false, 44100}, {0, 0, 1, 8191, 4, true, 96000}, {3, 12, 7, 9, 2, true, 7350},
        {1, 11, 0, 7, 1, false, 8000},   {2, 3, 6, 4096, 3, false, 48000},
    };
    for (const Case& c : cases) {
        ADTS_HEADER h;
        std::vector<uint8_t> bytes = Header(c.profile, c.rateIndex, c.channels, c.length, c.blocks, c.crc);
        ASSERT_TRUE(DecodeAdtsHeader(bytes.data(), bytes.size(), h)) << c.length;
        EXPECT_EQ(c.profile, h.profile);
        EXPECT_EQ(c.rate, h.sampleRate);
        EXPECT_EQ(c.channels, h.channelConfig);
        EXPECT_EQ(c.length, h.frameLength);
        EXPECT_EQ(static_cast<uint32_t>(c.blocks), h.blocks);
        EXPECT_EQ(c.crc, h.hasCrc);
    }
}

TEST(AdtsHeader, RefusesWhatIsNoHeader)
{
    ADTS_HEADER h;
    std::vector<uint8_t> good = Header(1, 4, 2, 100);
    EXPECT_FALSE(DecodeAdtsHeader(good.data(), 6, h));   // too short
    std::vector<uint8_t> b = good;
    b[1] = 0xFB;                                         // MPEG audio layer 3, not ADTS
    EXPECT_FALSE(DecodeAdtsHeader(b.data(), b.size(), h));
    b = good;
    b[0] = 0xFE;
    EXPECT_FALSE(DecodeAdtsHeader(b.data(), b.size(), h));
    EXPECT_FALSE(DecodeAdtsHeader(Header(1, 13, 2, 100).data(), 7, h));  // reserved rate index
    EXPECT_FALSE(DecodeAdtsHeader(Header(1, 4, 2, 6).data(), 7, h));     // shorter than its header
    EXPECT_FALSE(DecodeAdtsHeader(Header(1, 4, 2, 8, 1, true).data(), 7, h));
}

TEST(AdtsScan, CountsCompleteFramesOnly)
{
    std::vector<uint8_t> data = Frames(10, 200);
    ADTS_FACTS f;
    ASSERT_EQ(ADTS_OK, ScanAdts(data.data(), data.size(), f));
    EXPECT_EQ(10u, f.frames);
    EXPECT_EQ(10240u, f.samples);
    EXPECT_EQ(2000u, f.frameBytes);
    EXPECT_FALSE(f.truncated);
    EXPECT_EQ(232u, DurationMs(f));                 // 10240 / 44100 s
    EXPECT_EQ(69, BitrateKbps(f));                  // 16000 bits over 0.2322 s

    for (size_t cut : {size_t(1999), size_t(1803), size_t(1807)}) {
        ASSERT_EQ(ADTS_OK, ScanAdts(data.data(), cut, f)) << cut;
        EXPECT_EQ(9u, f.frames) << cut;
        EXPECT_TRUE(f.truncated) << cut;
    }
    // Only the first frame, cut: ADTS, but nothing to count.
    ASSERT_EQ(ADTS_OK, ScanAdts(data.data(), 100, f));
    EXPECT_EQ(0u, f.frames);
    EXPECT_TRUE(f.truncated);
    EXPECT_EQ(-1, BitrateKbps(f));
    EXPECT_EQ("[1:ADTS][2:44100][3:2][4:-1][5:0][6:0][7:LC]\r\n", FormatAacInfo(ADTS_OK, f));
    data.push_back(0x00);
    ASSERT_EQ(ADTS_OK, ScanAdts(data.data(), data.size(), f));
    EXPECT_EQ(10u, f.frames);
    EXPECT_TRUE(f.trailingData);
}

TEST(AdtsScan, StopsWhereTheStreamChanges)
{
    std::vector<uint8_t> data = Frames(3, 100);
    std::vector<uint8_t> other = Frames(2, 100, 3);  // 48000 Hz
    data.insert(data.end(), other.begin(), other.end());
    ADTS_FACTS f;
    ASSERT_EQ(ADTS_OK, ScanAdts(data.data(), data.size(), f));
    EXPECT_EQ(3u, f.frames);
    EXPECT_EQ(44100u, f.first.sampleRate);
}

TEST(AdtsScan, NothingToReadGivesNone)
{
    ADTS_FACTS f;
    EXPECT_EQ(ADTS_NOT_ADTS, ScanAdts(nullptr, 0, f));
    const uint8_t text[] = "plain text, no frames";
    EXPECT_EQ(ADTS_NOT_ADTS, ScanAdts(text, sizeof text, f));
    EXPECT_EQ("[1:NONE][2:0][3:0][4:-1][5:0][6:0][7:]\r\n", FormatAacInfo(ADTS_NOT_ADTS, f));
}

TEST(AdtsOutput, SevenFieldsInOrder)
{
    std::vector<uint8_t> data = Frames(10, 200);
    ADTS_FACTS f;
    ASSERT_EQ(ADTS_OK, ScanAdts(data.data(), data.size(), f));
    EXPECT_EQ("[1:ADTS][2:44100][3:2][4:69][5:10][6:232][7:LC]\r\n", FormatAacInfo(ADTS_OK, f));
}

TEST(AdtsCorpus, EveryFileMatchesFfprobe)
{
    std::ifstream list(std::string(AACINFO_DATA_DIR) + "/expected.tsv");
    ASSERT_TRUE(list.good());
    std::string line;
    int files = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            f.push_back(cell);
        f.resize(8);
        SCOPED_TRACE(f[0]);
        std::vector<uint8_t> data = ReadFile(f[0]);
        ADTS_FACTS facts;
        const ADTS_RESULT r = ScanAdts(data.data(), data.size(), facts);
        EXPECT_EQ(f[1] == "1", r == ADTS_OK);
        if (r == ADTS_OK) {
            EXPECT_EQ(std::stoul(f[2]), facts.first.sampleRate);
            EXPECT_EQ(std::stoi(f[3]), facts.first.channelConfig);
            EXPECT_EQ(std::stoll(f[4]), BitrateKbps(facts));
            EXPECT_EQ(std::stoull(f[5]), facts.frames);
            EXPECT_EQ(std::stoull(f[6]), DurationMs(facts));
            EXPECT_EQ(f[7], ProfileName(facts.first.profile));
            EXPECT_EQ(f[0].find("truncated") == 0, facts.truncated);
        }
        ++files;
    }
    EXPECT_GE(files, 12);
}

}  // namespace
