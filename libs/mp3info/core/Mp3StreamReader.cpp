#include "Mp3StreamReader.h"

#include <cstring>
#include <limits>

namespace {

// kbit/s by version group (MPEG-1; MPEG-2 and 2.5), layer and index 0..14.
const int kBitrates[2][3][15] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

const int kSampleRates[3][3] = {
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
};

std::uint32_t BigEndian32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::int32_t ClampToInt32(std::int64_t v)
{
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::uint32_t ClampToUint32(std::uint64_t v)
{
    return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

// The usable part of a Xing header: both counts present and a frame count
// above 0, since the average frame length divides one by the other.
bool ReadXing(const unsigned char* frame, std::size_t count, std::size_t at, std::uint32_t& frames,
              std::uint32_t& bytes)
{
    if (at + 8 > count || std::memcmp(frame + at, "Xing", 4) != 0)
        return false;
    const std::uint32_t flags = BigEndian32(frame + at + 4);
    std::size_t pos = at + 8;
    if (!(flags & 1) || !(flags & 2) || pos + 8 > count)
        return false;
    frames = BigEndian32(frame + pos);
    bytes = BigEndian32(frame + pos + 4);
    return frames != 0;
}

} // namespace

bool Mp3IsFrameSync(const unsigned char* p)
{
    const unsigned a = p[1];
    const unsigned b = p[2];
    return p[0] == 0xFF && a != 0xFF && a >= 0xE0 && (a & 0x18) != 0x08 && (a & 0x06) != 0 && b < 0xF0 &&
           (b & 0x0C) != 0x0C;
}

bool Mp3DecodeFrameHeader(const unsigned char* h, Mp3FrameHeader& out)
{
    out = Mp3FrameHeader{};
    switch (h[1] & 0x18) {
    case 0x18: out.Version = 1; break;
    case 0x10: out.Version = 2; break;
    case 0x00: out.Version = 3; break;
    default: return false;
    }
    switch (h[1] & 0x06) {
    case 0x06: out.Layer = 1; break;
    case 0x04: out.Layer = 2; break;
    case 0x02: out.Layer = 3; break;
    default: return false;
    }
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (bitrateIndex == 15 || rateIndex == 3)
        return false;
    out.Bitrate = kBitrates[out.Version == 1 ? 0 : 1][out.Layer - 1][bitrateIndex];
    out.SampleRate = kSampleRates[out.Version - 1][rateIndex];
    out.ChannelMode = h[3] >> 6;
    out.Channels = out.ChannelMode == 3 ? 1 : 2;
    out.Padding = (h[2] & 0x02) ? 1 : 0;
    return true;
}

int Mp3FrameSizeFactor(int version, int layer)
{
    if (version == 1)
        return layer == 1 ? 48000 : 144000;
    return layer == 1 ? 24000 : 72000;
}

std::size_t Mp3XingOffset(int version, int channelMode)
{
    const bool mono = channelMode == 3;
    if (version == 1)
        return mono ? 21 : 36;
    return mono ? 13 : 21;
}

std::uint64_t Mp3Id3v2TagEnd(const unsigned char* d, std::size_t count)
{
    if (count < 10 || std::memcmp(d, "ID3", 3) != 0 || d[3] == 0xFF || d[4] == 0xFF)
        return 0;
    if ((d[6] | d[7] | d[8] | d[9]) & 0x80)
        return 0;
    const std::uint64_t size = static_cast<std::uint64_t>(d[6]) << 21 | d[7] << 14 | d[8] << 7 | d[9];
    return 10 + size + ((d[5] & 0x10) ? 10 : 0);
}

std::size_t Mp3FindFrameSync(const unsigned char* data, std::size_t count, std::size_t start)
{
    for (std::size_t i = start; i <= MP3_SYNC_LAST_OFFSET && i + 2 < count; ++i)
        if (Mp3IsFrameSync(data + i))
            return i;
    return MP3_NO_SYNC;
}

void Mp3ReadStream(CMp3ByteSource& source, Mp3StreamRecord& r)
{
    r = Mp3StreamRecord{};
    const std::uint64_t size = source.GetSize();
    r.FileSize = ClampToUint32(size);

    unsigned char window[MP3_SYNC_WINDOW];
    std::memset(window, 0, sizeof window);
    const std::size_t got = source.ReadAt(0, window, sizeof window);

    // A leading ID3v2 tag holds text, and UTF-16 text (FF FE, then a letter)
    // looks like a frame sync: the scan starts after the tag.
    const std::uint64_t tagEnd = Mp3Id3v2TagEnd(window, got);
    if (tagEnd > MP3_SYNC_LAST_OFFSET)
        return;
    const std::size_t at = Mp3FindFrameSync(window, got, static_cast<std::size_t>(tagEnd));
    if (at == MP3_NO_SYNC)
        return;
    r.FrameOffset = static_cast<std::uint32_t>(at);

    unsigned char frame[256];
    std::memset(frame, 0, sizeof frame);
    const std::size_t frameBytes = source.ReadAt(at, frame, sizeof frame);
    Mp3FrameHeader h;
    if (frameBytes < 4 || !Mp3DecodeFrameHeader(frame, h))
        return;
    r.Version = h.Version;
    r.Layer = h.Layer;
    r.Bitrate = h.Bitrate;
    r.SampleRate = static_cast<std::uint32_t>(h.SampleRate);
    r.ChannelMode = h.ChannelMode;
    r.Channels = h.Channels;
    r.Padding = h.Padding;

    const std::int64_t factor = Mp3FrameSizeFactor(h.Version, h.Layer);
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    if (ReadXing(frame, frameBytes, Mp3XingOffset(h.Version, h.ChannelMode), frames, bytes)) {
        // The sample rate stays the table's: for MPEG-2.5 the version bit
        // alone would give twice the real rate.
        r.AudioBytes = bytes;
        r.FrameCount = frames;
        r.FrameLength = bytes / frames;
        r.IsVbr = 1;
        r.Bitrate = ClampToInt32((static_cast<std::int64_t>(r.FrameLength) - r.Padding) * r.SampleRate / factor);
    } else {
        r.FrameLength = ClampToUint32(static_cast<std::uint64_t>(factor * r.Bitrate / r.SampleRate + r.Padding));
        r.AudioBytes = ClampToUint32(size > at ? size - at : 0);
    }
    if (r.Bitrate > 0)
        r.Seconds = ClampToUint32(size * 8 / (static_cast<std::uint64_t>(r.Bitrate) * 1000));
}
