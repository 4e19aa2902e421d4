#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "vilosim/PlayerModel.h"

using namespace vilosim;

namespace {

struct ModelTest : ::testing::Test {
    void SetUp() override
    {
        model = std::make_unique<CPlayerModel>();
        model->Reset();
    }
    bool Command(uint8_t command, uint8_t group = GROUP_DEVICE)
    {
        const uint8_t packet[3] = {command, group, 0};
        return model->Write(packet, 3);
    }
    std::vector<uint8_t> Answer(uint32_t length = READ_UNIT)
    {
        std::vector<uint8_t> out(length, 0xEE);
        if (!model->Read(out.data(), length))
            out.clear();
        return out;
    }
    std::unique_ptr<CPlayerModel> model;
};

// A media group stand-in: answers command 1 with its argument byte, and takes
// 5 data bytes after command 2.
struct EchoGroup : CCommandGroup {
    bool Command(CPlayerModel& m, const uint8_t* packet, uint32_t length, CAnswer& answer) override
    {
        if (packet[0] == 1 && length >= 4)
            return answer.Append(packet + 3, 1);
        if (packet[0] == 2) {
            m.ExpectData(this, 5);
            return true;
        }
        return false;
    }
    bool Data(CPlayerModel&, const uint8_t* data, uint32_t length) override
    {
        received.insert(received.end(), data, data + length);
        return true;
    }
    std::vector<uint8_t> received;
};

} // namespace

TEST_F(ModelTest, StatusRecordStartsReadyAndKeepsWhatIsSet)
{
    UserData seen = model->GetStatus();
    EXPECT_EQ(seen.Ready, 1u);
    EXPECT_EQ(seen.HostOpen, 0u);
    model->SetStatus(UserData{1, 7, 1, 9});
    seen = model->GetStatus();
    EXPECT_EQ(seen.FormatStatus, 7u);
    EXPECT_EQ(seen.Reserved, 9u);
}

TEST_F(ModelTest, ReadyDropsAfterDataWriteAndReturnsAfterConfiguredPolls)
{
    SimConfig config = model->Config();
    config.ReadyDropPolls = 3;
    model->Configure(config);
    ASSERT_TRUE(Command(DEVICE_CMD_POWER_STATUS));
    EXPECT_EQ(model->GetStatus().Ready, 0u);
    EXPECT_EQ(model->GetStatus().Ready, 0u);
    EXPECT_EQ(model->GetStatus().Ready, 0u);
    EXPECT_EQ(model->GetStatus().Ready, 1u);
    EXPECT_EQ(model->Stats().StatusPolls, 4u);
}

TEST_F(ModelTest, ReconfigureRefusesTheConfiguredNumberOfTimes)
{
    SimConfig config = model->Config();
    config.ReconfigureRefusals = 2;
    model->Configure(config);
    EXPECT_FALSE(model->Reconfigure());
    EXPECT_FALSE(model->Reconfigure());
    EXPECT_TRUE(model->Reconfigure());
    config.ReconfigureRefusals = 0xFFFFFFFFu;
    model->Configure(config);
    for (int i = 0; i < 20; i++)
        EXPECT_FALSE(model->Reconfigure());
}

TEST_F(ModelTest, DeviceStatusAnswersValueOrNothing)
{
    uint32_t value = 0, bytes = 0;
    ASSERT_TRUE(model->GetDeviceStatus(&value, &bytes));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(bytes, 4u);
    SimConfig config = model->Config();
    config.DeviceStatusBytes = 0;
    model->Configure(config);
    ASSERT_TRUE(model->GetDeviceStatus(&value, &bytes));
    EXPECT_EQ(bytes, 0u);
}

TEST_F(ModelTest, ChipInformationAnswerHoldsCountAndTuples)
{
    SimConfig config = model->Config();
    config.ChipRevision = 0x000123;
    config.ChipVersion = 0xABCDEF;
    model->Configure(config);
    ASSERT_TRUE(Command(DEVICE_CMD_CHIP_INFO));
    std::vector<uint8_t> answer = Answer();
    ASSERT_EQ(answer.size(), 64u);
    EXPECT_EQ(ReadWord24(&answer[0]), 2u);
    EXPECT_EQ(ReadWord24(&answer[3]), 0u);
    EXPECT_EQ(ReadWord24(&answer[6]), 0x000123u);
    EXPECT_EQ(ReadWord24(&answer[9]), 1u);
    EXPECT_EQ(ReadWord24(&answer[12]), 0xABCDEFu);
    EXPECT_EQ(answer[15], 0u);
}

TEST_F(ModelTest, PowerStatusAndChipIdCommandsAnswerThreeBytesPaddedToTheRead)
{
    ASSERT_TRUE(Command(DEVICE_CMD_POWER_STATUS));
    std::vector<uint8_t> answer = Answer();
    ASSERT_EQ(answer.size(), 64u);
    EXPECT_EQ(ReadWord24(&answer[0]), 0x000201u);
    EXPECT_EQ(answer[3], 0u);
    ASSERT_TRUE(Command(DEVICE_CMD_CHIP_ID));
    answer = Answer();
    ASSERT_EQ(answer.size(), 64u);
    EXPECT_EQ(answer[1], 0x10);
    EXPECT_EQ(answer[2], 0x34);
}

TEST_F(ModelTest, ReadsMustBeWholeUnits)
{
    ASSERT_TRUE(Command(DEVICE_CMD_POWER_STATUS));
    EXPECT_TRUE(Answer(10).empty());
    EXPECT_EQ(model->Stats().LastReadLength, 10u);
    EXPECT_EQ(Answer(128).size(), 128u);
}

TEST_F(ModelTest, InterleavedPacketsAreCounted)
{
    ASSERT_TRUE(Command(DEVICE_CMD_POWER_STATUS));
    ASSERT_TRUE(Command(DEVICE_CMD_CHIP_ID));
    EXPECT_EQ(model->Stats().Interleaved, 1u);
    EXPECT_FALSE(Answer().empty());
    EXPECT_TRUE(Answer().empty()); // nothing left to read
    EXPECT_EQ(model->Stats().Interleaved, 2u);
}

TEST_F(ModelTest, UnknownCommandsAndGroupsAreRefused)
{
    EXPECT_FALSE(Command(99));
    EXPECT_FALSE(Command(1, GROUP_FLASH));
    EXPECT_FALSE(Command(1, 200));
    const uint8_t shortPacket[2] = {3, 0};
    EXPECT_FALSE(model->Write(shortPacket, 2));
    SimConfig config = model->Config();
    config.FailCommands = 1;
    model->Configure(config);
    EXPECT_FALSE(Command(DEVICE_CMD_POWER_STATUS));
}

TEST_F(ModelTest, PluggedGroupAnswersAndTakesItsData)
{
    EchoGroup group;
    model->SetGroup(GROUP_MMC, &group);
    const uint8_t ask[4] = {1, GROUP_MMC, 0, 0x5A};
    ASSERT_TRUE(model->Write(ask, 4));
    std::vector<uint8_t> answer = Answer();
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer[0], 0x5A);
    const uint8_t announce[3] = {2, GROUP_MMC, 0};
    ASSERT_TRUE(model->Write(announce, 3));
    const uint8_t data[5] = {9, 8, 7, 6, 5};
    ASSERT_TRUE(model->Write(data, 5));
    EXPECT_EQ(group.received, std::vector<uint8_t>(data, data + 5));
    // Data taken, the channel is back to commands.
    EXPECT_TRUE(Command(DEVICE_CMD_POWER_STATUS));
}

TEST_F(ModelTest, HeldReadsAreSpentOneByOne)
{
    SimConfig config = model->Config();
    config.HeldReads = 2;
    model->Configure(config);
    EXPECT_TRUE(model->TakeHeldRead());
    EXPECT_TRUE(model->TakeHeldRead());
    EXPECT_FALSE(model->TakeHeldRead());
}

TEST_F(ModelTest, PersistedStateRoundTripsAndRejectsForeignBytes)
{
    model->SetStatus(UserData{1, 1, 0, 5});
    uint8_t saved[CPlayerModel::PERSISTED_BYTES];
    model->SaveState(saved);
    auto other = std::make_unique<CPlayerModel>();
    other->Reset();
    ASSERT_TRUE(other->LoadState(saved, sizeof saved));
    UserData seen = other->GetStatus();
    EXPECT_EQ(seen.FormatStatus, 1u);
    EXPECT_EQ(seen.Ready, 0u);
    EXPECT_EQ(seen.Reserved, 5u);
    saved[0] ^= 0xFF;
    EXPECT_FALSE(other->LoadState(saved, sizeof saved));
    EXPECT_FALSE(other->LoadState(saved, 3));
}
