// The simulated flash memory and MMC card, read through the data channel as
// the library would use it, and the model's own reading of the documented
// packet bytes.
#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <vector>

#include "vilosim/MediaModel.h"
#include "vilosim/PlayerModel.h"
#include "../../../libs/devaccess/protocol/MediaProtocol.h"

using namespace vilosim;
namespace mp = media_protocol;

namespace {

class CMemoryStore final : public IMediaStore {
public:
    explicit CMemoryStore(size_t bytes, uint8_t fill) : Bytes(bytes, fill) {}
    bool Read(uint64_t offset, uint8_t* out, uint32_t length) override
    {
        if (offset + length > Bytes.size())
            return false;
        memcpy(out, Bytes.data() + offset, length);
        return true;
    }
    bool Write(uint64_t offset, const uint8_t* data, uint32_t length) override
    {
        if (offset + length > Bytes.size())
            return false;
        memcpy(Bytes.data() + offset, data, length);
        return true;
    }
    std::vector<uint8_t> Bytes;
};

struct MediaTest : ::testing::Test {
    void SetUp() override
    {
        model = std::make_unique<CPlayerModel>();
        model->Reset();
        flash.Reset();
        card.Reset();
        model->SetGroup(GROUP_FLASH, &flash);
        model->SetGroup(GROUP_MMC, &card);
    }
    void AttachFlash(uint32_t pages, uint32_t blocks, uint32_t bad = 0)
    {
        flashStore = std::make_unique<CMemoryStore>(static_cast<size_t>(pages) * blocks * 528, 0xFF);
        SimMediaImage image = {pages, blocks, 0x98, 0x75, bad, 0};
        flash.Attach(flashStore.get(), image);
    }
    void AttachCard(uint32_t blocks)
    {
        cardStore = std::make_unique<CMemoryStore>(static_cast<size_t>(blocks) * 512, 0xA5);
        SimMediaImage image = {0, blocks, 0, 0, 0, 32};
        card.Attach(cardStore.get(), image);
    }
    template <size_t N>
    bool Send(const uint8_t (&packet)[N])
    {
        return model->Write(packet, N);
    }
    std::vector<uint8_t> Answer(uint32_t length)
    {
        uint32_t rounded = (length + 63) / 64 * 64;
        std::vector<uint8_t> out(rounded, 0xEE);
        if (!model->Read(out.data(), rounded))
            return {};
        out.resize(length);
        return out;
    }
    std::vector<SimMediaRecord> Log()
    {
        std::vector<SimMediaRecord> records(SIM_MEDIA_LOG_CAPACITY);
        records.resize(model->MediaLog(records.data(), SIM_MEDIA_LOG_CAPACITY));
        return records;
    }

    std::unique_ptr<CPlayerModel> model;
    CFlashMemory flash;
    CMmcCardModel card;
    std::unique_ptr<CMemoryStore> flashStore, cardStore;
};

} // namespace

TEST_F(MediaTest, DocumentedFlashPacketsReadAsTheirFields)
{
    AttachFlash(32, 600);
    // Write pages: 32 pages from page 96 of a 32-page media.
    ASSERT_TRUE(Send(mp::FLASH_WRITE_PAGES));
    std::vector<uint8_t> pages(32 * 528);
    for (size_t i = 0; i < pages.size(); i++)
        pages[i] = static_cast<uint8_t>(i % 251);
    ASSERT_TRUE(model->Write(pages.data(), static_cast<uint32_t>(pages.size())));
    EXPECT_EQ(memcmp(flashStore->Bytes.data() + 96 * 528, pages.data(), pages.size()), 0);
    // Read 2 pages from page 40.
    memset(flashStore->Bytes.data() + 40 * 528, 0x3C, 2 * 528);
    ASSERT_TRUE(Send(mp::FLASH_READ_PAGES));
    EXPECT_EQ(Answer(2 * 528), std::vector<uint8_t>(2 * 528, 0x3C));
    // The erase names page 32: block 1 of this 32-page media.
    memset(flashStore->Bytes.data() + 32 * 528, 0, 528);
    ASSERT_TRUE(Send(mp::FLASH_ERASE));
    EXPECT_EQ(flashStore->Bytes[32 * 528], 0xFF);
    // An address inside a block is no block to erase.
    uint8_t inside[15];
    memcpy(inside, mp::FLASH_ERASE, sizeof inside);
    inside[4] = 0x42;
    EXPECT_FALSE(model->Write(inside, sizeof inside));
    std::vector<SimMediaRecord> log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].Address, mp::FLASH_WRITE_PAGES_ADDRESS);
    EXPECT_EQ(log[0].Count, mp::FLASH_WRITE_PAGES_COUNT);
    EXPECT_EQ(log[1].Address, mp::FLASH_READ_PAGES_ADDRESS);
    EXPECT_EQ(log[1].Count, mp::FLASH_READ_PAGES_COUNT);
    EXPECT_EQ(log[2].Address, mp::FLASH_ERASE_ADDRESS);
}

TEST_F(MediaTest, FlashProgramsOnlyClearBitsAndEraseSetsThemAgain)
{
    AttachFlash(16, 64);
    ASSERT_TRUE(Send(mp::FLASH_WRITE_PAGE)); // page 17, 528 bytes
    std::vector<uint8_t> page(528, 0xF0);
    ASSERT_TRUE(model->Write(page.data(), 528));
    page.assign(528, 0x3C);
    ASSERT_TRUE(Send(mp::FLASH_WRITE_PAGE));
    ASSERT_TRUE(model->Write(page.data(), 528));
    EXPECT_EQ(flashStore->Bytes[17 * 528], 0x30);
    uint8_t erase[15];
    memcpy(erase, mp::FLASH_ERASE, sizeof erase);
    erase[4] = 0x20; // page 16: block 1
    ASSERT_TRUE(model->Write(erase, sizeof erase));
    std::vector<uint8_t> status = Answer(6);
    ASSERT_EQ(status.size(), 6u);
    EXPECT_EQ(status[0] | status[1] | status[2], 0);
    EXPECT_EQ(flashStore->Bytes[17 * 528], 0xFF);
}

TEST_F(MediaTest, SmallPagesAreWrittenInHalves)
{
    AttachFlash(8, 256);
    ASSERT_TRUE(Send(mp::FLASH_WRITE_HALF_PAGE)); // page 1, second half
    std::vector<uint8_t> half(264);
    for (int i = 0; i < 264; i++)
        half[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(model->Write(half.data(), 264));
    const uint8_t* stored = flashStore->Bytes.data() + 528;
    EXPECT_EQ(stored[255], 0xFF) << "first half untouched";
    EXPECT_EQ(stored[256], 0);
    EXPECT_EQ(stored[511], 255);
    EXPECT_EQ(stored[512 + 7], 0xFF);
    EXPECT_EQ(stored[512 + 8], 0);
    EXPECT_EQ(stored[512 + 15], 7);
}

TEST_F(MediaTest, SpareEntriesAndTheMarkedBadBlock)
{
    AttachFlash(32, 600, /*bad block 300 + 1*/ 301);
    uint8_t* block257 = flashStore->Bytes.data() + static_cast<size_t>(257) * 32 * 528;
    block257[512 + 5] = 0;
    block257[512 + 6] = 'Q';
    block257[512 + 7] = 'V';
    block257[528 + 512 + 6] = 'M';
    block257[528 + 512 + 7] = 'P';
    ASSERT_TRUE(Send(mp::FLASH_SPARES));
    std::vector<uint8_t> entries = Answer(256 * 6);
    ASSERT_EQ(entries.size(), 256u * 6);
    const uint8_t expected257[6] = {0xFF, 0x00, 'Q', 'V', 'M', 'P'};
    EXPECT_EQ(memcmp(&entries[6], expected257, 6), 0);
    EXPECT_EQ(entries[44 * 6 + 1], 0) << "block 300 reads bad";
    EXPECT_EQ(entries[0 * 6 + 1], 0xFF);
    uint8_t erase[15];
    memcpy(erase, mp::FLASH_ERASE, sizeof erase);
    uint32_t address = 300 * 32 * 512;
    for (int i = 0; i < 4; i++)
        erase[3 + i] = static_cast<uint8_t>(address >> (8 * i));
    ASSERT_TRUE(model->Write(erase, sizeof erase));
    EXPECT_NE(Answer(6)[0], 0) << "its erase fails";
}

TEST_F(MediaTest, IdentityAnswersTheChipOrNoMedia)
{
    ASSERT_TRUE(Send(mp::FLASH_IDENTIFY));
    std::vector<uint8_t> id = Answer(6);
    EXPECT_NE(id[0], 0);
    AttachFlash(32, 2048);
    ASSERT_TRUE(Send(mp::FLASH_IDENTIFY));
    id = Answer(6);
    EXPECT_EQ(id[0] | id[1] | id[2], 0);
    EXPECT_EQ(id[3], 0x98);
    EXPECT_EQ(id[4], 0x75);
}

TEST_F(MediaTest, CardCommandsReadWriteAndErase)
{
    ASSERT_TRUE(Send(mp::MMC_DETECT));
    EXPECT_NE(Answer(15)[0], 0) << "empty slot";
    AttachCard(4096);
    ASSERT_TRUE(Send(mp::MMC_DETECT));
    std::vector<uint8_t> detect = Answer(15);
    EXPECT_EQ(detect[0], 0);
    EXPECT_EQ(detect[3] | detect[4] << 8 | detect[5] << 16, 4096);
    EXPECT_EQ(detect[12], 32);
    EXPECT_FALSE(Send(mp::MMC_WRITE_BLOCK)) << "block 0x12345 is past this card";
    memset(cardStore->Bytes.data() + 5 * 512, 0x11, 3 * 512);
    ASSERT_TRUE(Send(mp::MMC_READ_BLOCKS));
    EXPECT_EQ(Answer(3 * 512), std::vector<uint8_t>(3 * 512, 0x11));
    ASSERT_TRUE(Send(mp::MMC_ERASE));
    EXPECT_EQ(Answer(3)[0], 0);
    EXPECT_EQ(cardStore->Bytes[64 * 512], 0);
    EXPECT_EQ(cardStore->Bytes[95 * 512 + 511], 0);
    EXPECT_EQ(cardStore->Bytes[96 * 512], 0xA5);
    ASSERT_TRUE(Send(mp::MMC_READ_CSD));
    std::vector<uint8_t> csd = Answer(21);
    EXPECT_EQ(csd[0], 0);
    EXPECT_EQ(csd[3], 0x48);
}
