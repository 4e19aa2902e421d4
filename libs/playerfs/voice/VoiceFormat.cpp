#include "VoiceFormat.h"

namespace {

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t Le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

VoiceFormat ParseVoiceFormat(const unsigned char* b)
{
    VoiceFormat f;
    f.FormatTag = Le16(b);
    f.Channels = Le16(b + 2);
    f.SamplesPerSec = Le32(b + 4);
    f.AvgBytesPerSec = Le32(b + 8);
    f.BlockAlign = Le16(b + 12);
    return f;
}

bool IsPlayableVoiceFormat(const VoiceFormat& f)
{
    const bool rate = f.SamplesPerSec == 8000 || f.SamplesPerSec == 11025 || f.SamplesPerSec == 22050;
    return f.FormatTag == VOICE_FORMAT_IMA_ADPCM && rate && f.Channels == 1;
}
