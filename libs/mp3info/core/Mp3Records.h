// The two records the reader fills. Their layout is part of the exported
// CMP3Info object and of the analysis controls, so it is fixed: the checks at
// the end hold for the shipped 32-bit build.
#pragma once

#include <cstddef>
#include <cstdint>

struct Mp3TagRecord {
    unsigned char HasTag;   // 1 when an ID3v1 tag was read
    char Title[31];
    char Artist[31];
    char Album[31];
    char Year[5];
    char Comment[31];
    std::int32_t Genre;     // ID3 genre number + 1, 0 when none is known
};

struct Mp3StreamRecord {
    std::int32_t Version;      // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
    std::int32_t Layer;
    std::int32_t Bitrate;      // kbit/s
    std::uint32_t SampleRate;
    std::int32_t ChannelMode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::int32_t Channels;
    std::uint32_t Seconds;
    std::uint32_t FileSize;
    std::uint32_t FrameOffset;
    std::uint32_t AudioBytes;
    std::uint32_t FrameLength;
    std::uint32_t FrameCount;
    std::int32_t IsVbr;
    std::int32_t Padding;
    unsigned char* Toc;        // caller's 100-byte table; never set here
};

static_assert(sizeof(Mp3TagRecord) == 136, "tag record layout");
static_assert(offsetof(Mp3TagRecord, Title) == 1 && offsetof(Mp3TagRecord, Year) == 94 &&
                  offsetof(Mp3TagRecord, Comment) == 99 && offsetof(Mp3TagRecord, Genre) == 132,
              "tag record layout");
static_assert(offsetof(Mp3StreamRecord, Toc) == 56, "stream record layout");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(Mp3StreamRecord) == 60, "stream record layout: fifteen 32-bit fields");
#endif
