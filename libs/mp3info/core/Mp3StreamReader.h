// Finding the first MPEG audio frame of a file, decoding its header and its
// Xing header, and deriving bitrate, channels and duration.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Mp3ByteSource.h"
#include "Mp3Records.h"

struct Mp3FrameHeader {
    int Version;       // 1, 2 or 3 (MPEG-2.5)
    int Layer;
    int Bitrate;       // kbit/s, 0 for free format
    int SampleRate;
    int ChannelMode;
    int Channels;
    int Padding;
};

// The first bytes that are scanned for a frame sync, and the last offset at
// which a sync may start.
const std::size_t MP3_SYNC_WINDOW = 5120;
const std::size_t MP3_SYNC_LAST_OFFSET = 5117;
const std::size_t MP3_NO_SYNC = static_cast<std::size_t>(-1);

// True when the three bytes at p can start a frame header.
bool Mp3IsFrameSync(const unsigned char* p);
// Decodes a 4-byte header; false for a reserved version, layer, bitrate or
// sample-rate index.
bool Mp3DecodeFrameHeader(const unsigned char* h, Mp3FrameHeader& out);
// The frame-size factor of a version and layer (bytes per frame per bit/s of
// bitrate over sample rate).
int Mp3FrameSizeFactor(int version, int layer);
// Where the Xing header would stand, from the start of the frame.
std::size_t Mp3XingOffset(int version, int channelMode);
// The end of an ID3v2 tag that opens the buffer (header, body and footer), or
// 0 when the buffer does not open with a valid ID3v2 header.
std::uint64_t Mp3Id3v2TagEnd(const unsigned char* data, std::size_t count);
// The first frame sync at or after start among the first count bytes, within
// the sync window; MP3_NO_SYNC when there is none.
std::size_t Mp3FindFrameSync(const unsigned char* data, std::size_t count, std::size_t start);

// Fills the record (zeroed first) from the source. Without a frame sync in the
// window only FileSize is set.
void Mp3ReadStream(CMp3ByteSource& source, Mp3StreamRecord& record);
