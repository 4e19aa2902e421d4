// The format verdict on its own: every field of the 14 bytes counts.
#include <gtest/gtest.h>

#include "VoiceFormat.h"

namespace {

TEST(VoiceFormat, FieldsAreLittleEndian)
{
    const unsigned char b[] = {0x11, 0x00, 0x01, 0x00, 0x22, 0x56, 0x00, 0x00, 0xD7, 0x0F, 0x00, 0x00, 0x00, 0x01};
    const VoiceFormat f = ParseVoiceFormat(b);
    EXPECT_EQ(17, f.FormatTag);
    EXPECT_EQ(1, f.Channels);
    EXPECT_EQ(22050u, f.SamplesPerSec);
    EXPECT_EQ(4055u, f.AvgBytesPerSec);
    EXPECT_EQ(256, f.BlockAlign);
}

TEST(VoiceFormat, OnlyMonoImaAdpcmAtThreeRatesPlays)
{
    for (std::uint32_t rate : {8000u, 11025u, 12000u, 16000u, 22050u, 44100u}) {
        for (std::uint16_t channels : {1, 2}) {
            for (std::uint16_t tag : {1, 2, 17, 0x11 + 0x100}) {
                const VoiceFormat f = {tag, channels, rate, 0, 0};
                const bool plays = tag == 17 && channels == 1 && (rate == 8000 || rate == 11025 || rate == 22050);
                EXPECT_EQ(plays, IsPlayableVoiceFormat(f)) << tag << " " << channels << " " << rate;
            }
        }
    }
}

} // namespace
