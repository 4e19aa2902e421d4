// The flash page: error-correction codes (by property: every single-bit error
// put right, every double one caught), block address fields, the spare areas
// and the block table built from spare entries.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <vector>

#include "BlockTable.h"
#include "FlashPage.h"
#include "QuickFormat.h"

using namespace qvmp3;

TEST(Ecc, KnownCodes)
{
    uint8_t data[256];
    uint8_t code[3];
    memset(data, 0xFF, sizeof data);
    Ecc256(data, code);
    EXPECT_EQ(code[0], 0xFF);
    EXPECT_EQ(code[1], 0xFF);
    EXPECT_EQ(code[2], 0xFF);
    memset(data, 0, sizeof data);
    Ecc256(data, code);
    EXPECT_EQ(code[0], 0xFF);
    EXPECT_EQ(code[2], 0xFF);
    data[0] = 0x01;
    Ecc256(data, code);
    EXPECT_EQ(code[0], 0xAA);
    EXPECT_EQ(code[1], 0xAA);
    EXPECT_EQ(code[2], 0xAB);
}

TEST(Ecc, EverySingleBitErrorIsCorrectedAndEveryDoubleOneDetected)
{
    std::mt19937 random(12345);
    uint8_t data[256];
    for (int round = 0; round < 8; round++) {
        for (auto& b : data)
            b = static_cast<uint8_t>(random());
        uint8_t code[3];
        Ecc256(data, code);
        uint8_t copy[256];
        memcpy(copy, data, sizeof copy);
        EXPECT_EQ(EccCorrect(copy, code), EccResult::Clean);
        for (int bit = 0; bit < 2048; bit++) {
            memcpy(copy, data, sizeof copy);
            copy[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
            ASSERT_EQ(EccCorrect(copy, code), EccResult::Corrected) << bit;
            ASSERT_EQ(memcmp(copy, data, sizeof data), 0) << bit;
        }
        for (int pair = 0; pair < 500; pair++) {
            int first = static_cast<int>(random() % 2048), second = static_cast<int>(random() % 2048);
            if (first == second)
                continue;
            memcpy(copy, data, sizeof copy);
            copy[first / 8] ^= static_cast<uint8_t>(1 << (first % 8));
            copy[second / 8] ^= static_cast<uint8_t>(1 << (second % 8));
            ASSERT_EQ(EccCorrect(copy, code), EccResult::Uncorrectable) << first << " " << second;
        }
        // A flipped bit of the code itself leaves the data alone.
        for (int bit = 0; bit < 24; bit++) {
            if (bit == 16 || bit == 17)
                continue; // the two constant bits of the third byte
            uint8_t damaged[3] = {code[0], code[1], code[2]};
            damaged[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
            memcpy(copy, data, sizeof copy);
            ASSERT_EQ(EccCorrect(copy, damaged), EccResult::CodeError) << bit;
            ASSERT_EQ(memcmp(copy, data, sizeof data), 0);
        }
    }
}

TEST(BlockAddress, FieldsHaveTheMarkerAndEvenParity)
{
    uint8_t field[2];
    BlockAddressField(0, field);
    EXPECT_EQ(field[0], 0x10);
    EXPECT_EQ(field[1], 0x01);
    BlockAddressField(1, field);
    EXPECT_EQ(field[0], 0x10);
    EXPECT_EQ(field[1], 0x02);
    BlockAddressField(NO_BLOCK_ADDRESS, field);
    EXPECT_EQ(field[0], 0x17);
    EXPECT_EQ(field[1], 0xFF);
    for (uint16_t block = 0; block < 1024; block++) {
        BlockAddressField(block, field);
        uint16_t back = 0xFFFF;
        ASSERT_TRUE(ParseBlockAddressField(field, &back));
        ASSERT_EQ(back, block);
        field[1] ^= 0x04;
        ASSERT_FALSE(ParseBlockAddressField(field, &back)) << "one flipped bit breaks the parity";
    }
}

TEST(Spare, DataPagesCarryAddressesAndCodesWhereTheLayoutSays)
{
    uint8_t data[512];
    for (int i = 0; i < 512; i++)
        data[i] = static_cast<uint8_t>(i * 13);
    uint8_t spare[SPARE_BYTES];
    DataPageSpare(data, 5, false, spare);
    uint8_t field[2], low[3], high[3];
    BlockAddressField(5, field);
    Ecc256(data, low);
    Ecc256(data + 256, high);
    const uint8_t expected[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, field[0], field[1],
                                  high[0], high[1], high[2], field[0], field[1], low[0], low[1], low[2]};
    EXPECT_EQ(memcmp(spare, expected, 16), 0);
    // No block address: both fields 0 from index 3, 0x17 0xFF below.
    DataPageSpare(data, NO_BLOCK_ADDRESS, false, spare);
    EXPECT_EQ(spare[6] | spare[7] | spare[11] | spare[12], 0);
    DataPageSpare(data, NO_BLOCK_ADDRESS, true, spare);
    EXPECT_EQ(spare[6], 0x17);
    EXPECT_EQ(spare[12], 0xFF);

    uint8_t first[HALF_PAGE_WITH_SPARE], second[HALF_PAGE_WITH_SPARE];
    HalfPages(data, 5, first, second);
    EXPECT_EQ(memcmp(first, data, 256), 0);
    EXPECT_EQ(memcmp(second, data + 256, 256), 0);
    const uint8_t firstSpare[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, field[0], field[1]};
    EXPECT_EQ(memcmp(first + 256, firstSpare, 8), 0);
    EXPECT_EQ(second[256 + 3], 0xFF);
    EXPECT_EQ(second[256 + 4], 0xFF);
    EXPECT_EQ(memcmp(second + 256 + 5, high, 3), 0);
}

TEST(Spare, ReservedAndVersionMarks)
{
    uint8_t spare[SPARE_BYTES];
    ReservedSpare(0, 'A', spare);
    EXPECT_EQ(spare[4], 0);
    EXPECT_EQ(spare[5], 0);
    EXPECT_EQ(spare[6], 'Q');
    EXPECT_EQ(spare[7], 'V');
    ReservedSpare(1, 'A', spare);
    EXPECT_EQ(spare[6], 'M');
    EXPECT_EQ(spare[7], 'A');
    ReservedSpare(2, 'A', spare);
    EXPECT_EQ(spare[6], 0xFF);
    EXPECT_EQ(spare[7], 0xFF);
    VersionSpare(0x0302, spare);
    const uint8_t expected[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x02, 0x03,
                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(memcmp(spare, expected, 16), 0) << "bytes the rewrite does not set stay 0xFF";
}

TEST(AreaTags, PIsAreaThreeOthersTheirCodePlusFourAndWrappingTagsAreRefused)
{
    uint8_t code = 0;
    ASSERT_TRUE(AreaCodeOfTag('P', &code));
    EXPECT_EQ(code, 3);
    ASSERT_TRUE(AreaCodeOfTag('A', &code));
    EXPECT_EQ(code, 'A' + 4);
    EXPECT_EQ(TagOfAreaCode(3), 'P');
    EXPECT_EQ(TagOfAreaCode('A' + 4), 'A');
    ASSERT_TRUE(AreaCodeOfTag(0xFA, &code));
    EXPECT_EQ(code, 0xFE);
    for (int tag = 0xFB; tag <= 0xFF; tag++)
        EXPECT_FALSE(AreaCodeOfTag(static_cast<uint8_t>(tag), &code)) << tag;
}

TEST(SpareTests, GoodBlocksValidDataAndReservedMarks)
{
    EXPECT_TRUE(BlockIsGood(0xFF));
    EXPECT_FALSE(BlockIsGood(0xFE)) << "0xFE is a bad block";
    EXPECT_TRUE(DataIsValid(0xFF));
    EXPECT_TRUE(DataIsValid(0xF8));
    EXPECT_FALSE(DataIsValid(0xF0));
    const uint8_t tags[2] = {'A', 'P'};
    const uint8_t qv[6] = {0, 0, 'Q', 'V', 0xFF, 0xFF};
    const uint8_t m[6] = {0, 0, 0xFF, 0xFF, 'M', 'P'};
    const uint8_t otherTag[6] = {0, 0, 0xFF, 0xFF, 'M', 'Z'};
    const uint8_t goodBlock[6] = {0xFF, 0xFF, 'Q', 'V', 'M', 'A'};
    EXPECT_TRUE(EntryIsReserved(qv, tags, 2));
    EXPECT_TRUE(EntryIsReserved(m, tags, 2));
    EXPECT_FALSE(EntryIsReserved(otherTag, tags, 2));
    EXPECT_FALSE(EntryIsReserved(goodBlock, tags, 2));
}

TEST(BlockTable, ScanFindsTheCardInfoBlockAndClassifiesTheRest)
{
    // Block 0 bad, block 1 with invalid data, block 2 the card information
    // block, then free, bad, reserved and free.
    const uint8_t entries[7][6] = {
        {0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 'Q', 'V', 'M', 'A'},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    BlockScan scan;
    ScanBlocks(&entries[0][0], 7, nullptr, 0, &scan);
    ASSERT_TRUE(scan.HasCardInfo);
    EXPECT_EQ(scan.CardInfoBlock, 2u);
    const std::vector<uint8_t> expected = {0, 0, BLOCK_CARD_INFO, 0xFF, 0, BLOCK_RESERVED, 0xFF};
    EXPECT_EQ(scan.Table, expected);
    const std::vector<uint32_t> retire = {0, 1};
    EXPECT_EQ(scan.Retire, retire);
}

TEST(BlockTable, ReservedAreaStartAndReservedBlocksFound)
{
    // From the last block: 3, 3, 0xFF, 3 gives two reserved blocks found.
    std::vector<uint8_t> table = {2, 0xFF, 0xFF, 3, 0xFF, 0, 3, 3};
    EXPECT_EQ(ReservedBlocksFound(table), 2u);
    // Counting free or reserved blocks back from the end; bad blocks do not count.
    EXPECT_EQ(ReservedAreaStart(table, 2), 6u);
    EXPECT_EQ(ReservedAreaStart(table, 3), 4u);
    EXPECT_EQ(ReservedAreaStart(table, 4), 3u);
    EXPECT_EQ(ReservedAreaStart(table, 50), 7u) << "too few: the last block";
    std::vector<uint8_t> allReserved = {3, 3, 0, 3};
    EXPECT_EQ(ReservedBlocksFound(allReserved), 3u) << "block 0 counts once";
}
