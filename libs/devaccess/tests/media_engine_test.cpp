// The media engine against the simulated player's flash memory and card (the
// model of sim/model, spoken to through its data channel as the driver does),
// with the registry's reserve and the progress kept by this test's host.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <memory>
#include <vector>

#include "FlashPage.h"
#include "MediaEngine.h"
#include "QuickFormat.h"
#include "vilosim/MediaModel.h"
#include "vilosim/PlayerModel.h"

namespace {

using qvmp3::PAGE_BYTES;
using qvmp3::PAGE_WITH_SPARE;

// Bytes kept in 512-byte pieces, only those ever written: a large card costs
// no more than what was put on it. Unwritten bytes read as fill.
class CSparseStore final : public vilosim::IMediaStore {
public:
    explicit CSparseStore(uint8_t fill) : m_fill(fill) {}
    bool Read(uint64_t offset, uint8_t* out, uint32_t length) override
    {
        for (uint32_t i = 0; i < length; i++) {
            auto it = m_pieces.find((offset + i) / 512);
            out[i] = it == m_pieces.end() ? m_fill : it->second[(offset + i) % 512];
        }
        return true;
    }
    bool Write(uint64_t offset, const uint8_t* data, uint32_t length) override
    {
        for (uint32_t i = 0; i < length; i++) {
            auto& piece = m_pieces[(offset + i) / 512];
            if (piece.empty())
                piece.assign(512, m_fill);
            piece[(offset + i) % 512] = data[i];
        }
        return true;
    }

private:
    uint8_t m_fill;
    std::map<uint64_t, std::vector<uint8_t>> m_pieces;
};

class CModelChannel final : public qvmp3::IPacketChannel {
public:
    explicit CModelChannel(vilosim::CPlayerModel& model) : m_model(model) {}
    bool Write(const uint8_t* data, uint32_t length) override { return m_model.Write(data, length); }
    bool Read(uint8_t* data, uint32_t length) override
    {
        std::vector<uint8_t> rounded((length + 63) / 64 * 64);
        if (!m_model.Read(rounded.data(), static_cast<uint32_t>(rounded.size())))
            return false;
        memcpy(data, rounded.data(), length);
        return true;
    }

private:
    vilosim::CPlayerModel& m_model;
};

class CTestHost final : public qvmp3::IMediaHost {
public:
    explicit CTestHost(vilosim::CPlayerModel& model) : m_channel(model) {}
    qvmp3::IPacketChannel& Channel() override { return m_channel; }
    uint32_t ChipVersion() override { return 0; }
    bool ReadDeviceVersion() override { return true; }
    uint32_t ReservedKilobytes() override { return ReserveKb; }
    void SetPhase(uint32_t phase, double percent) override
    {
        m_phase = phase;
        m_percent = percent;
    }
    uint32_t Phase() override { return m_phase; }
    void SetPercent(double percent) override { m_percent = percent; }
    void AddPercent(double delta) override { m_percent = m_percent + delta > 100 ? 100 : m_percent + delta; }
    void Debug(const char*) override {}
    bool SetFormatStatus(int) override { return true; }

    uint32_t ReserveKb = 0;

private:
    CModelChannel m_channel;
    uint32_t m_phase = 0;
    double m_percent = 0;
};

// Flash of media index 3: 1024 blocks of 16 pages; 64 KB of reserve are 8 blocks.
constexpr uint32_t PAGES = 16, BLOCKS = 1024, RESERVE_KB = 64;

struct MediaEngine : ::testing::Test {
    void SetUp() override
    {
        model = std::make_unique<vilosim::CPlayerModel>();
        model->Reset();
        flash.Reset();
        card.Reset();
        model->SetGroup(vilosim::GROUP_FLASH, &flash);
        model->SetGroup(vilosim::GROUP_MMC, &card);
        host = std::make_unique<CTestHost>(*model);
        engine = std::make_unique<qvmp3::CMediaEngine>(*host);
        vilosim::SimMediaImage image = {PAGES, BLOCKS, 0x98, 0xE6, 0, 0};
        flash.Attach(&flashStore, image);
        memset(&info, 0, sizeof info);
    }
    // 528 bytes of one page as the flash holds it.
    std::vector<uint8_t> Page(uint32_t block, uint32_t page)
    {
        std::vector<uint8_t> bytes(PAGE_WITH_SPARE);
        flashStore.Read((static_cast<uint64_t>(block) * PAGES + page) * PAGE_WITH_SPARE, bytes.data(),
                        PAGE_WITH_SPARE);
        return bytes;
    }
    // A page of the player's own data, as its file system leaves it in a good block.
    void PutDataPage(uint32_t block, uint16_t logical, uint8_t fill)
    {
        std::vector<uint8_t> bytes(PAGE_WITH_SPARE, fill);
        uint8_t spare[qvmp3::SPARE_BYTES];
        qvmp3::DataPageSpare(bytes.data(), logical, false, spare);
        memcpy(bytes.data() + PAGE_BYTES, spare, sizeof spare);
        flashStore.Write(static_cast<uint64_t>(block) * PAGES * PAGE_WITH_SPARE, bytes.data(), PAGE_WITH_SPARE);
    }
    // The physical blocks whose first page names this logical block.
    std::vector<uint32_t> Holders(uint16_t logical, uint32_t below)
    {
        std::vector<uint32_t> holders;
        for (uint32_t b = 0; b < below; b++) {
            std::vector<uint8_t> page = Page(b, 0);
            uint16_t named;
            if (page[PAGE_BYTES + 5] == 0xFF && qvmp3::ParseBlockAddressField(page.data() + PAGE_BYTES + 6, &named) &&
                named == logical)
                holders.push_back(b);
        }
        return holders;
    }

    std::unique_ptr<vilosim::CPlayerModel> model;
    vilosim::CFlashMemory flash;
    vilosim::CMmcCardModel card;
    CSparseStore flashStore{0xFF};
    std::unique_ptr<CTestHost> host;
    std::unique_ptr<qvmp3::CMediaEngine> engine;
    _BinaryFilesInformation info;
    uint32_t indices[qvmp3::MEDIA_COUNT] = {3, 36};
};

} // namespace

TEST_F(MediaEngine, ProgrammingFilesThatCarryNothingLeavesThePlayersDataAlone)
{
    // A full format leaves the firmware file (area 'P') and the marked
    // reserved area of 8 blocks at the end of the media.
    host->ReserveKb = RESERVE_KB;
    info.FileCount = 1;
    info.LeadFile = 1;
    info.AreaTag[0] = 'P';
    std::vector<uint8_t> raw(2000, 0x5A);
    const uint8_t* images[1] = {raw.data()};
    uint32_t sizes[1] = {static_cast<uint32_t>(raw.size())};
    qvmp3::FirmwareFiles files;
    files.Images = images;
    files.Sizes = sizes;
    files.Info = &info;
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, &info), PROGRAM_MEDIA_OK);
    ASSERT_EQ(engine->FatFormat(indices, qvmp3::MEDIA_FLASH, true, files), PROGRAM_MEDIA_OK);
    ASSERT_EQ(engine->QuickFormat(indices, qvmp3::MEDIA_FLASH, 0), PROGRAM_MEDIA_OK);

    // The player keeps songs in blocks between the disk's start and the reserve.
    PutDataPage(200, 190, 0x3C);
    PutDataPage(900, 870, 0xC3);
    const std::vector<uint8_t> song1 = Page(200, 0), song2 = Page(900, 0);

    // Programming with the file left empty: nothing to write, and nothing of
    // the player's outside the reserved area may go.
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, &info), PROGRAM_MEDIA_OK);
    ASSERT_EQ(engine->Flash().ReservedFound, 8u);
    sizes[0] = 0;
    ASSERT_EQ(engine->Program(indices, qvmp3::MEDIA_FLASH, files), PROGRAM_MEDIA_OK);
    EXPECT_TRUE(Page(200, 0) == song1);
    EXPECT_TRUE(Page(900, 0) == song2);
    // The reserved area is still the reserved area, and only it.
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, &info), PROGRAM_MEDIA_OK);
    EXPECT_EQ(engine->Flash().ReservedFound, 8u);
    EXPECT_EQ(engine->Flash().Table[200], qvmp3::BLOCK_FREE);
    EXPECT_EQ(engine->Flash().Table[1015], qvmp3::BLOCK_FREE);
}

TEST_F(MediaEngine, AQuickFormatItCannotLayOutTouchesNothing)
{
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, nullptr), PROGRAM_MEDIA_OK);
    ASSERT_EQ(engine->QuickFormat(indices, qvmp3::MEDIA_FLASH, 0), PROGRAM_MEDIA_OK);
    PutDataPage(300, 280, 0x3C);
    const std::vector<uint32_t> boot = Holders(1, 1024);
    ASSERT_EQ(boot.size(), 1u);
    const std::vector<uint8_t> bootPage = Page(boot[0], 9), song = Page(300, 0);

    // A registry reserve that leaves no disk on this media: refused, and the
    // player's disk and songs are still there.
    host->ReserveKb = 999 * 8;
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, nullptr), PROGRAM_MEDIA_OK);
    EXPECT_EQ(engine->QuickFormat(indices, qvmp3::MEDIA_FLASH, 1), PROGRAM_MEDIA_ERASE_FAILED);
    EXPECT_TRUE(Page(boot[0], 9) == bootPage);
    EXPECT_TRUE(Page(300, 0) == song);
}

TEST_F(MediaEngine, ACardTooLargeForItsFormatKeepsItsFileSystem)
{
    // A 1.5 GB card: more clusters than FAT16 holds at 32 sectors a cluster.
    CSparseStore cardStore(0);
    vilosim::SimMediaImage image = {0, 3 * 1024 * 1024, 0, 0, 0, 32};
    card.Attach(&cardStore, image);
    std::vector<uint8_t> table(512, 0x11), boot(512, 0x22);
    table[510] = boot[510] = 0x55;
    table[511] = boot[511] = 0xAA;
    cardStore.Write(0, table.data(), 512);
    cardStore.Write(512, boot.data(), 512);

    uint32_t cardIndices[qvmp3::MEDIA_COUNT] = {36, 35};
    EXPECT_EQ(engine->QuickFormat(cardIndices, qvmp3::MEDIA_CARD, 0), PROGRAM_MEDIA_ERASE_FAILED);
    std::vector<uint8_t> block(512);
    cardStore.Read(0, block.data(), 512);
    EXPECT_TRUE(block == table);
    cardStore.Read(512, block.data(), 512);
    EXPECT_TRUE(block == boot);
}

TEST_F(MediaEngine, ASecondQuickFormatLeavesEachLogicalBlockInOnePhysicalBlock)
{
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, nullptr), PROGRAM_MEDIA_OK);
    ASSERT_EQ(engine->QuickFormat(indices, qvmp3::MEDIA_FLASH, 0), PROGRAM_MEDIA_OK);
    ASSERT_EQ(Holders(0, 1024).size(), 1u);
    // Formatted again with the same block table (the user formats twice):
    // the first disk's blocks must not still name the disk's logical blocks
    // beside the new ones, or the player may read the old FAT.
    ASSERT_EQ(engine->QuickFormat(indices, qvmp3::MEDIA_FLASH, 0), PROGRAM_MEDIA_OK);
    for (uint16_t logical = 0; logical < 4; logical++)
        EXPECT_EQ(Holders(logical, 1024).size(), 1u) << "logical block " << logical;
}

TEST_F(MediaEngine, AFullFormatWhoseFilesCannotAllBeWrittenIsRefusedBeforeItErases)
{
    // 8 reserved blocks, 7 of them usable (the last block never takes a
    // file); the first file takes 3 blocks and is written twice, the second
    // takes 2: 8 blocks in all.
    host->ReserveKb = RESERVE_KB;
    info.FileCount = 2;
    info.LeadFile = 1;
    info.AreaTag[0] = 'A';
    info.AreaTag[1] = 'B';
    std::vector<uint8_t> first(3 * PAGES * 510, 0x5A), second(2 * PAGES * 510, 0xA5);
    const uint8_t* images[2] = {first.data(), second.data()};
    uint32_t sizes[2] = {static_cast<uint32_t>(first.size()), static_cast<uint32_t>(second.size())};
    qvmp3::FirmwareFiles files;
    files.Images = images;
    files.Sizes = sizes;
    files.Info = &info;
    PutDataPage(300, 280, 0x3C);
    const std::vector<uint8_t> song = Page(300, 0);
    ASSERT_EQ(engine->BuildBlockStatus(indices, qvmp3::MEDIA_FLASH, &info), PROGRAM_MEDIA_OK);
    EXPECT_EQ(engine->FatFormat(indices, qvmp3::MEDIA_FLASH, true, files), PROGRAM_MEDIA_NO_SPACE);
    EXPECT_TRUE(Page(300, 0) == song);

    // One block less for the second file and they all go in.
    sizes[1] = PAGES * 510;
    ASSERT_EQ(engine->FatFormat(indices, qvmp3::MEDIA_FLASH, true, files), PROGRAM_MEDIA_OK);
}
