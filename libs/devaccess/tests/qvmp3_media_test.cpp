// QvMp3's MMC and media functions against the simulated player's card and
// flash memory, through the stand-in driver. media-through-driver.sh makes the
// images before and checks the file systems on them after.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "QvMp3.h"
#include "SimDriverClient.h"

using namespace vilosim;

namespace {

constexpr DWORD CARD_BLOCKS = 16384;
constexpr DWORD FLASH_PAGES = 16, FLASH_BLOCKS = 1024, FLASH_BAD_BLOCK = 2;
constexpr DWORD RESERVED_KB = 64; // 8 blocks of 16 pages

std::string Env(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

struct MediaThroughDriver : ::testing::Test {
    void SetUp() override
    {
        if (Env("QVMP3_CARD_IMAGE").empty())
            GTEST_SKIP() << "run by media-through-driver.sh";
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        ASSERT_TRUE(sim.AddUnit(UNIT_NT_NAME, 0));
        ASSERT_TRUE(sim.AddUnit(UNIT_9X_NAME, 0));
        ASSERT_EQ(QvMp3OpenDriverEx(0, DEVICE_STATUS_NORMAL), 1);
    }
    void TearDown() override
    {
        while (QvMp3CloseDriver()) {
        }
        sim.Reset();
    }
    void InsertCard()
    {
        SimMediaImage image = {0, CARD_BLOCKS, 0, 0, 0, 32};
        ASSERT_TRUE(sim.SetCard(Env("QVMP3_CARD_IMAGE"), image));
    }
    void InsertFlash(const char* variable)
    {
        SimMediaImage image = {FLASH_PAGES, FLASH_BLOCKS, 0x98, 0xE6, FLASH_BAD_BLOCK + 1, 0};
        ASSERT_TRUE(sim.SetFlash(Env(variable), image));
    }
    void SetReserve(DWORD kilobytes)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vilo\\Lark Series Audio Harbor\\Params", 0, nullptr,
                                  0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "TotalKiloBytesReserved", 0, REG_DWORD, reinterpret_cast<BYTE*>(&kilobytes),
                                 sizeof kilobytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::vector<SimMediaRecord> Log()
    {
        std::vector<SimMediaRecord> log;
        EXPECT_TRUE(sim.GetMediaLog(&log));
        return log;
    }

    CSimDriverClient sim;
};

} // namespace

TEST_F(MediaThroughDriver, EveryCardCommandAgainstTheSimulatedCard)
{
    unsigned long size = 0;
    unsigned char status = 0, cardByte = 0, group = 0;
    EXPECT_EQ(QvMp3MMCDetectMedia(0, &size, &status, &cardByte, &group), 0) << "empty slot";
    EXPECT_NE(status, 0);
    EXPECT_EQ(size, 0u);
    InsertCard();
    ASSERT_EQ(QvMp3MMCDetectMedia(0, &size, &status, &cardByte, &group), 1);
    EXPECT_EQ(size, CARD_BLOCKS);
    EXPECT_EQ(group, 32);
    unsigned short cardStatus = 0;
    EXPECT_EQ(QvMp3MMCReadStatus(0, &cardStatus), 1);
    EXPECT_EQ(cardStatus, 0x0900);
    _MMC_CID cid = {};
    ASSERT_EQ(QvMp3MMCReadCID(0, &cid, &status), 1);
    EXPECT_EQ(memcmp(cid.Bytes + 3, "VLCARD", 6), 0);
    unsigned long ocr = 0;
    ASSERT_EQ(QvMp3MMCReadOCR(0, &ocr, &status), 1);
    EXPECT_EQ(ocr, 0x80FF8000u);
    _MMC_CSD csd = {}, changed = {};
    ASSERT_EQ(QvMp3MMCReadCSD(0, &csd, &status), 1);
    changed = csd;
    changed.Bytes[14] ^= 0x30;
    ASSERT_EQ(QvMp3MMCProgramCSD(0, &changed, &status), 1);
    ASSERT_EQ(QvMp3MMCReadCSD(0, &csd, &status), 1);
    EXPECT_EQ(memcmp(&csd, &changed, sizeof csd), 0);

    std::vector<unsigned char> blocks(3 * 512), back(3 * 512);
    for (size_t i = 0; i < blocks.size(); i++)
        blocks[i] = static_cast<unsigned char>(i * 7 + 3);
    ASSERT_EQ(QvMp3MMCWriteBlock(0, 100, blocks.data()), 1);
    ASSERT_EQ(QvMp3MMCReadBlock(0, 100, back.data()), 1);
    EXPECT_EQ(memcmp(back.data(), blocks.data(), 512), 0);
    ASSERT_EQ(QvMp3MMCWriteMultipleBlock(0, 200, 3, blocks.data()), 1);
    ASSERT_EQ(QvMp3MMCReadMultipleBlock(0, 200, 3, back.data()), 1);
    EXPECT_EQ(back, blocks);
    EXPECT_EQ(QvMp3MMCReadBlock(0, CARD_BLOCKS, back.data()), 0) << "past the card";
    ASSERT_EQ(QvMp3MMCErase(0, 200, 2, &status), 1);
    ASSERT_EQ(QvMp3MMCReadMultipleBlock(0, 200, 3, back.data()), 1);
    EXPECT_EQ(back[0] | back[1023], 0);
    EXPECT_EQ(back[1024], blocks[1024]);

    double percent = 0;
    ASSERT_EQ(QvMp3MMCEraseAllBlocks(0, CARD_BLOCKS, &percent), 1);
    EXPECT_EQ(percent, 100.0);
    ASSERT_EQ(QvMp3MMCReadBlock(0, 100, back.data()), 1);
    EXPECT_EQ(back[0], 0);
    ASSERT_EQ(QvMp3MMCEraseFileSystemSectors(0, CARD_BLOCKS, &percent), 1);
}

TEST_F(MediaThroughDriver, TheCardIsSizedAndQuickFormatted)
{
    InsertCard();
    unsigned long indices[2] = {99, 99}, failed = 9;
    ASSERT_EQ(QvMp3GetFlashSizes(indices, &failed), ACCESS_DEVICE_SUCCESS);
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(indices[QVMP3_MEDIA_CARD], 3u) << "8 MB";
    EXPECT_EQ(indices[QVMP3_MEDIA_FLASH], 36u) << "no flash";
    EXPECT_EQ(QvMp3FatPrepareSupported(QVMP3_MEDIA_CARD), 0);
    EXPECT_EQ(QvMp3FatEraseDataArea(indices, QVMP3_MEDIA_CARD, nullptr), PROGRAM_MEDIA_OK);
    static _BinaryFilesInformation info;
    ASSERT_EQ(QvMp3QuickFormatQvrx(indices, QVMP3_MEDIA_CARD, 0, &info, nullptr), PROGRAM_MEDIA_OK);
    _USER_DATA record = {};
    ASSERT_EQ(QvMp3GetStatus(&record), 1);
    EXPECT_EQ(record.FormatStatus, 1u) << "the driver was told of the format";
}

TEST_F(MediaThroughDriver, FlashQuickFormatSkipsTheBadBlockInTheOrderOfItsSteps)
{
    InsertFlash("QVMP3_FLASH_IMAGE");
    SetReserve(0);
    unsigned long indices[2] = {99, 99}, failed = 0;
    ASSERT_EQ(QvMp3GetFlashSizes(indices, &failed), ACCESS_DEVICE_SUCCESS);
    ASSERT_EQ(indices[QVMP3_MEDIA_FLASH], 3u);
    static _BinaryFilesInformation info;
    EXPECT_EQ(QvMp3QuickFormatQvrx(indices, QVMP3_MEDIA_FLASH, 0, &info, nullptr), PROGRAM_MEDIA_NO_DEVICE_INFO)
        << "no block table yet";
    EXPECT_EQ(QvMp3FatEraseDataArea(indices, QVMP3_MEDIA_FLASH, nullptr), PROGRAM_MEDIA_NO_DEVICE_INFO);
    EXPECT_EQ(Log().size(), 2u) << "only the sizes were asked (flash identity, card detect)";
    ASSERT_EQ(QvMp3BuildBlockStatus(indices, QVMP3_MEDIA_FLASH, 0, &info, nullptr), PROGRAM_MEDIA_OK);
    size_t before = Log().size();
    ASSERT_EQ(QvMp3QuickFormatQvrx(indices, QVMP3_MEDIA_FLASH, 0, &info, nullptr), PROGRAM_MEDIA_OK);
    std::vector<SimMediaRecord> log = Log();
    log.erase(log.begin(), log.begin() + static_cast<long>(before));

    // The order of the steps: the free blocks of the first zone erased (not
    // the card information block 0, not the bad block), the card information
    // block erased and its page written, then every sector written and read
    // back, block by block.
    const DWORD blockBytes = FLASH_PAGES * 512;
    std::vector<std::string> expected, seen;
    for (DWORD b = 1; b < FLASH_BLOCKS; b++)
        if (b != FLASH_BAD_BLOCK)
            expected.push_back("erase " + std::to_string(b));
    expected.push_back("erase 0");
    expected.push_back("page 0.0");
    const DWORD physical[4] = {1, 3, 4, 5};
    for (DWORD s = 0; s <= 63; s++) {
        std::string where = std::to_string(physical[s / 16]) + "." + std::to_string(s % 16);
        expected.push_back("page " + where);
        expected.push_back("read " + where);
    }
    for (const SimMediaRecord& r : log) {
        std::string where = std::to_string(r.Address / blockBytes) + "." + std::to_string(r.Address % blockBytes / 512);
        if (r.Command == 4)
            seen.push_back("erase " + std::to_string(r.Address / blockBytes));
        else if (r.Command == 0 && r.Count == 528)
            seen.push_back("page " + where);
        else if (r.Command == 3)
            seen.push_back("read " + where);
        else
            seen.push_back("other " + std::to_string(r.Command));
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(MediaThroughDriver, FirmwareFilesAreWrittenAndTheirVersionsReadBack)
{
    InsertFlash("QVMP3_FIRMWARE_FLASH_IMAGE");
    SetReserve(RESERVED_KB);
    std::ifstream in(Env("QVMP3_SRECORD_FILE"), std::ios::binary);
    ASSERT_TRUE(in.good());
    std::vector<unsigned char> srec((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<unsigned char> raw(3000, 0x5A);
    const unsigned char mark[15] = {'V', 'e', 'r', 's', 'i', 'o', 'n', 9, 0, 8, 0, 7, 0, 6, 0};
    memcpy(raw.data() + raw.size() - 15, mark, 15);
    unsigned char header[6] = {1, 2, 3, 4, 5, 6};
    unsigned char* images[2] = {srec.data(), raw.data()};
    unsigned long sizes[2] = {static_cast<unsigned long>(srec.size()), static_cast<unsigned long>(raw.size())};
    unsigned char* headers[2] = {header, nullptr};
    unsigned long headerSizes[2] = {6, 0};
    static _BinaryFilesInformation info;
    memset(&info, 0, sizeof info);
    info.FileCount = 2;
    info.LeadFile = 1;
    info.AreaTag[0] = 'A';
    info.AreaTag[1] = 'P';
    info.Kind[0] = 1;
    info.Kind[1] = 0;
    ASSERT_EQ(QvMp3GetFileVersion(images, sizes, &info), PROGRAM_MEDIA_OK);
    EXPECT_EQ(info.FileVersion01[0], 0x00020001u);
    EXPECT_EQ(info.FileVersion01[1], 0x00080009u);

    unsigned long indices[2] = {3, 36};
    ASSERT_EQ(QvMp3BuildBlockStatus(indices, QVMP3_MEDIA_FLASH, 0, &info, nullptr), PROGRAM_MEDIA_OK);
    ASSERT_EQ(QvMp3FatFormatEx(indices, QVMP3_MEDIA_FLASH, 1, images, sizes, headers, headerSizes, &info, nullptr),
              PROGRAM_MEDIA_OK);
    ASSERT_EQ(QvMp3BuildBlockStatus(indices, QVMP3_MEDIA_FLASH, 0, &info, nullptr), PROGRAM_MEDIA_OK);
    ASSERT_EQ(QvMp3ProgramQvrxMedia(indices, QVMP3_MEDIA_FLASH, images, sizes, headers, headerSizes, &info, nullptr),
              PROGRAM_MEDIA_OK);
    ASSERT_EQ(QvMp3GetFirmwareVersion(indices, QVMP3_MEDIA_FLASH, &info), PROGRAM_MEDIA_OK);
    EXPECT_EQ(info.MediaVersion01[0], info.FileVersion01[0]);
    EXPECT_EQ(info.MediaVersion23[0], info.FileVersion23[0]);
    EXPECT_EQ(info.MediaVersion01[1], info.FileVersion01[1]);
    EXPECT_EQ(info.MediaVersion23[1], info.FileVersion23[1]);

    // A registry reserve other than the one found on the media.
    SetReserve(2 * RESERVED_KB);
    ASSERT_EQ(QvMp3BuildBlockStatus(indices, QVMP3_MEDIA_FLASH, 0, &info, nullptr), PROGRAM_MEDIA_OK);
    EXPECT_EQ(QvMp3ProgramQvrxMedia(indices, QVMP3_MEDIA_FLASH, images, sizes, headers, headerSizes, &info, nullptr),
              PROGRAM_MEDIA_RESERVED_MISMATCH);
    EXPECT_EQ(QvMp3GetFirmwareVersion(indices, QVMP3_MEDIA_FLASH, &info), PROGRAM_MEDIA_RESERVED_MISMATCH);
    // Without the reserve the registry names, the files do not fit.
    SetReserve(0);
    EXPECT_EQ(QvMp3FatFormatEx(indices, QVMP3_MEDIA_FLASH, 1, images, sizes, headers, headerSizes, &info, nullptr),
              PROGRAM_MEDIA_NO_SPACE);
    info.FileCount = 13;
    EXPECT_EQ(QvMp3GetFileVersion(images, sizes, &info), PROGRAM_MEDIA_BAD_IMAGE);
}

TEST(QvMp3Media, IndexAboveTheTableIsRefusedByEveryMediaFunction)
{
    unsigned long indices[2] = {36, 36};
    static _BinaryFilesInformation info;
    info.FileCount = 1;
    info.LeadFile = 1;
    info.AreaTag[0] = 'P';
    EXPECT_EQ(QvMp3FatEraseDataArea(indices, 0, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3BuildBlockStatus(indices, 0, 0, &info, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3FatFormatEx(indices, 0, 0, nullptr, nullptr, nullptr, nullptr, &info, nullptr),
              PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3QuickFormatQvrx(indices, 0, 0, &info, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3GetFirmwareVersion(indices, 0, &info), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3ProgramQvrxMedia(indices, 0, nullptr, nullptr, nullptr, nullptr, &info, nullptr),
              PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3FatEraseDataArea(indices, 1, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
}
