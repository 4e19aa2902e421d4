// QV_Voice.dll under Wine on recordings made by sox and ffmpeg and on
// malformed RIFF files (tests/data/make-wav.sh and its expected.txt).
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "QuorvaneVoice.h"
#include "HostPaths.h"

namespace {

const unsigned long UNTOUCHED = 0xDEADBEEF;

TEST(Voice, UnusedExportsHoldTheirValues)
{
    EXPECT_EQ(42, fnQuorvane_Voice());
    EXPECT_EQ(0, nQuorvane_Voice);
}

TEST(Voice, EveryFileGetsItsExpectedVerdictAndRate)
{
    std::ifstream in(std::string(VOICE_DATA) + "/expected.txt");
    ASSERT_TRUE(in.good());
    CQuorvane_Voice voice;
    std::string line;
    int files = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, rate;
        int verdict = -1;
        fields >> name >> verdict >> rate;
        SCOPED_TRACE(name);
        unsigned long got = UNTOUCHED;
        const std::string path = mbtest::HostWinPath(std::string(VOICE_DATA) + "/wav/" + name);
        EXPECT_EQ(verdict, voice.IsQuorvanePlayable(path.c_str(), &got));
        if (rate == "-")
            EXPECT_EQ(UNTOUCHED, got);
        else
            EXPECT_EQ(std::stoul(rate), got);
        ++files;
    }
    EXPECT_GE(files, 20);
}

TEST(Voice, NullRatePointerIsSkipped)
{
    CQuorvane_Voice voice;
    const std::string path = mbtest::HostWinPath(std::string(VOICE_DATA) + "/wav/sox-ima-mono-11025.wav");
    EXPECT_EQ(1, voice.IsQuorvanePlayable(path.c_str(), nullptr));
}

TEST(Voice, FoldersAndMissingFilesGiveZeroAndLeaveTheRate)
{
    CQuorvane_Voice voice;
    unsigned long rate = UNTOUCHED;
    EXPECT_EQ(0, voice.IsQuorvanePlayable(mbtest::HostWinPath(VOICE_DATA).c_str(), &rate));
    EXPECT_EQ(0, voice.IsQuorvanePlayable(mbtest::HostWinPath(std::string(VOICE_DATA) + "/wav/none.wav").c_str(), &rate));
    EXPECT_EQ(0, voice.IsQuorvanePlayable(nullptr, &rate));
    EXPECT_EQ(UNTOUCHED, rate);
}

TEST(Voice, ObjectsCopy)
{
    CQuorvane_Voice a;
    CQuorvane_Voice b;
    b = a;
    unsigned long rate = 0;
    const std::string path = mbtest::HostWinPath(std::string(VOICE_DATA) + "/wav/sox-ima-mono-22050.wav");
    EXPECT_EQ(1, b.IsQuorvanePlayable(path.c_str(), &rate));
    EXPECT_EQ(22050ul, rate);
}

} // namespace
