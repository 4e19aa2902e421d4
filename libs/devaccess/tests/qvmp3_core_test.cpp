#include <gtest/gtest.h>

#include <vector>

#include "QvMp3Core.h"

using namespace qvmp3;

TEST(DeviceNames, NtLineAndMeUseTheRBaseNinetyFiveAndNinetyEightTheU)
{
    EXPECT_STREQ(NormalNameBase(true, 5, 1), "ViloLarkr");
    EXPECT_STREQ(NormalNameBase(true, 4, 0), "ViloLarkr");
    EXPECT_STREQ(NormalNameBase(false, 4, 90), "ViloLarkr");
    EXPECT_STREQ(NormalNameBase(false, 4, 10), "ViloLarku");
    EXPECT_STREQ(NormalNameBase(false, 4, 0), "ViloLarku");
    EXPECT_EQ(DevicePath("ViloLarkr", 0), "\\\\.\\ViloLarkr0");
    EXPECT_EQ(DevicePath(RECOVERY_NAME_BASE, 42), "\\\\.\\QvMp3RecDevice42");
}

TEST(ReadRounding, ShortReadsRoundUpToWholeUnitsInsideTheBounceBuffer)
{
    uint32_t rounded = 0;
    EXPECT_FALSE(NeedsBounce(64));
    EXPECT_FALSE(NeedsBounce(8192));
    EXPECT_TRUE(NeedsBounce(10));
    ASSERT_TRUE(BounceLength(10, &rounded));
    EXPECT_EQ(rounded, 64u);
    ASSERT_TRUE(BounceLength(4095, &rounded));
    EXPECT_EQ(rounded, 4096u);
    // Rounded past the bounce buffer: refused, not overrun.
    EXPECT_FALSE(BounceLength(4097, &rounded));
    EXPECT_FALSE(BounceLength(0xFFFFFFFFu, &rounded));
}

TEST(ChipInformation, TuplesAreReadByType)
{
    uint8_t answer[64] = {2, 0, 0, /*type*/ 1, 0, 0, /*value*/ 0x34, 0x12, 0x05, /*type*/ 0, 0, 0, 0x01, 0x02, 0};
    ChipInfo info = ParseChipInfo(answer, sizeof answer);
    ASSERT_TRUE(info.HasVersion);
    EXPECT_EQ(info.Version, 0x051234u);
    ASSERT_TRUE(info.HasRevision);
    EXPECT_EQ(info.Revision, 0x0201u);
}

TEST(ChipInformation, CountBeyondTheAnswerIsBounded)
{
    // The device claims 0xFFFFFF tuples; only the ten inside 64 bytes exist,
    // and the version sits in the last of them.
    std::vector<uint8_t> answer(64, 0xAA);
    answer[0] = answer[1] = answer[2] = 0xFF;
    for (int i = 0; i < 10; i++) {
        uint8_t* tuple = &answer[3 + 6 * i];
        tuple[0] = static_cast<uint8_t>(i == 9 ? 1 : 7);
        tuple[1] = tuple[2] = 0;
    }
    ChipInfo info = ParseChipInfo(answer.data(), answer.size());
    EXPECT_TRUE(info.HasVersion);
    EXPECT_EQ(info.Version, 0xAAAAAAu);
    EXPECT_FALSE(info.HasRevision);
    EXPECT_FALSE(ParseChipInfo(answer.data(), 2).HasVersion);
}

TEST(ChipInformation, NoTuplesMeansNoVersion)
{
    uint8_t answer[64] = {};
    answer[3] = 1; // a tuple present in the bytes but not counted
    EXPECT_FALSE(ParseChipInfo(answer, sizeof answer).HasVersion);
}

TEST(ChipId, CommandTwelveAnswerNames3410ByItsBytesOneAndTwo)
{
    const uint8_t is3410[3] = {0, 0x10, 0x34};
    const uint8_t other[3] = {0, 0x00, 0x34};
    EXPECT_TRUE(ChipIdAnswerIs3410(is3410, 3));
    EXPECT_FALSE(ChipIdAnswerIs3410(other, 3));
    EXPECT_FALSE(ChipIdAnswerIs3410(is3410, 2));
}

TEST(Packets, DeviceGroupPacketsAreThreeBytes)
{
    uint8_t packet[DEVICE_PACKET_BYTES] = {9, 9, 9};
    DevicePacket(CMD_POWER_STATUS, packet);
    EXPECT_EQ(packet[0], 10);
    EXPECT_EQ(packet[1], 0);
    EXPECT_EQ(packet[2], 0);
    const uint8_t word[3] = {0x01, 0x02, 0x03};
    EXPECT_EQ(Word24(word), 0x030201u);
}

TEST(Progress, PercentStopsAtOneHundred)
{
    EXPECT_DOUBLE_EQ(AddPercent(0, 60), 60);
    EXPECT_DOUBLE_EQ(AddPercent(60, 60), 100);
    EXPECT_DOUBLE_EQ(AddPercent(99.5, 0.25), 99.75);
}
