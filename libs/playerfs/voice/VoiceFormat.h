// The part of a WAVE format chunk the voice check reads, and the one form of
// voice recording the player plays.
#pragma once

#include <cstddef>
#include <cstdint>

struct VoiceFormat {
    std::uint16_t FormatTag;
    std::uint16_t Channels;
    std::uint32_t SamplesPerSec;
    std::uint32_t AvgBytesPerSec;
    std::uint16_t BlockAlign;
};

const std::size_t VOICE_FORMAT_BYTES = 14;
const std::uint16_t VOICE_FORMAT_IMA_ADPCM = 17;

// Decodes the first 14 bytes of a format chunk (little-endian).
VoiceFormat ParseVoiceFormat(const unsigned char* bytes);
// IMA ADPCM, one channel, 8000, 11025 or 22050 Hz.
bool IsPlayableVoiceFormat(const VoiceFormat& format);
