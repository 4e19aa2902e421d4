// Reads the frame headers of an AAC file in the ADTS container: the sample
// rate, channels and profile of its first frame, and the count, samples and
// bytes of the complete frames that follow one another from the start. Works
// on bytes only, so it builds and is fuzzed without Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace aacinfo {

// A header without CRC; with CRC (protection absent = 0) two bytes more.
constexpr size_t ADTS_HEADER_SIZE = 7;
constexpr size_t ADTS_CRC_HEADER_SIZE = 9;
constexpr uint32_t ADTS_SAMPLES_PER_BLOCK = 1024;

enum ADTS_RESULT {
    ADTS_OK = 0,
    ADTS_NOT_ADTS,     // no valid frame header at the start
};

struct ADTS_HEADER {
    int profile = 0;            // audio object type - 1 (0 Main, 1 LC, 2 SSR, 3 LTP)
    int sampleRateIndex = 0;
    uint32_t sampleRate = 0;
    int channelConfig = 0;      // 0: the channels are given in the stream itself
    bool hasCrc = false;
    uint32_t frameLength = 0;   // header included
    uint32_t blocks = 0;        // raw data blocks in the frame (1 to 4)
};

struct ADTS_FACTS {
    ADTS_HEADER first;
    uint64_t frames = 0;        // complete frames from the start of the file
    uint64_t samples = 0;       // per channel
    uint64_t frameBytes = 0;    // the complete frames' bytes, headers included
    bool truncated = false;     // the last frame runs past the end of the file
    bool trailingData = false;  // bytes after the last frame that start no frame
};

// Decodes the header at data (at least ADTS_HEADER_SIZE bytes); false when the
// bytes are no ADTS header this reader accepts.
bool DecodeAdtsHeader(const uint8_t* data, size_t size, ADTS_HEADER& out);

// Walks the frames from the start of the buffer. Frames must follow one
// another without gaps; a frame whose sample rate or channels differ from the
// first one's ends the walk, as does a gap.
ADTS_RESULT ScanAdts(const uint8_t* data, size_t size, ADTS_FACTS& facts);

// Duration in milliseconds, rounded down; 0 without a sample rate.
uint64_t DurationMs(const ADTS_FACTS& facts);
// Average bitrate of the complete frames in kbit/s, rounded to the nearest;
// -1 when there is nothing to average.
int64_t BitrateKbps(const ADTS_FACTS& facts);
// "Main", "LC", "SSR" or "LTP".
const char* ProfileName(int profile);

// The tool's output: seven fields "[1:...]" to "[7:...]": format ("ADTS" or
// "NONE"), sample rate in Hz, channels, bitrate in kbit/s (-1 unknown), frame
// count, duration in ms, profile name.
std::string FormatAacInfo(ADTS_RESULT result, const ADTS_FACTS& facts);

}  // namespace aacinfo
