// Reads the facts a WMA file's ASF header object holds: the file and stream
// properties that give its bitrate, and the tag texts of its content
// description, extended content description, metadata and metadata library
// objects. Works on bytes only, so it builds and is tested without Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wmapeek {

// The header object's own fields: GUID, 64-bit size, object count, two bytes.
constexpr size_t ASF_HEADER_PREFIX_SIZE = 30;

enum ASF_RESULT {
    ASF_OK = 0,
    ASF_NOT_ASF,        // no header object GUID at the start
    ASF_TRUNCATED,      // the header object is larger than the bytes given
    ASF_BAD_OBJECT,     // an object or a field inside one overruns its bounds
};

struct ASF_TAGS {
    std::u16string title;
    std::u16string author;
    std::u16string album;        // WM/AlbumTitle
    std::u16string year;         // WM/Year, as stored (may be a full date)
    std::u16string description;
    std::u16string copyright;
    bool yearIsNumber = false;   // WM/Year stored as a number, not a text
    std::u16string genre;        // WM/Genre
};

struct ASF_FACTS {
    bool hasFileProperties = false;
    uint64_t fileSize = 0;               // as the file properties object states it
    uint32_t maxBitrate = 0;             // file properties, bits per second

    bool hasStreamBitrates = false;
    uint64_t streamBitrateSum = 0;       // stream bitrate properties, bits per second

    bool hasAudioStream = false;
    uint32_t audioBytesPerSecond = 0;    // first audio stream's WAVEFORMATEX

    ASF_TAGS tags;
};

// Checks the first ASF_HEADER_PREFIX_SIZE bytes of a file and gives the size
// of its header object, so a caller can read exactly that much.
ASF_RESULT ReadAsfHeaderSize(const uint8_t* data, size_t size, uint64_t& headerSize);

// Parses a whole header object (data starts at the header object GUID; size
// may run past the header, the rest is ignored). On failure facts is left
// default, so callers never see half a header.
ASF_RESULT ParseAsfHeader(const uint8_t* data, size_t size, ASF_FACTS& facts);

// The bitrate in bits per second that the file gives, chosen in this order:
//  1. the sum of the stream bitrate properties' average bitrates, which is
//     what the encoder states for the payload it wrote;
//  2. else the audio stream's average bytes per second x 8 (WAVEFORMATEX);
//  3. else the file properties' maximum bitrate, which is only a ceiling.
// 0 when none of them is there or all are 0. Saturates at 0xFFFFFFFF.
uint32_t ChooseBitrate(const ASF_FACTS& facts);

// The largest rate in units of 1024 bit/s: callers turn the rate back into
// bits per second by multiplying by 1024 in 32-bit arithmetic, and a larger
// value would wrap, to 0 at worst, and divide by zero there.
constexpr uint32_t ASF_MAX_KILOBITS = 0xFFFFFFFFu / 1024;

// Bits per second in units of 1024 bit/s, rounded to the nearest unit and at
// most ASF_MAX_KILOBITS; a rate that is not 0 never becomes 0, so it is never
// shown as unknown.
uint32_t BitrateInKiloBits(uint32_t bitsPerSecond);

}  // namespace wmapeek
