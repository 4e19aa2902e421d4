// The MMC card's FAT layout (checked with fsck.fat and mdir for sizes on both
// sides of every boundary) and the card commands over a channel that answers
// as a card would.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "CardFormat.h"
#include "MediaPackets.h"
#include "MmcCard.h"
#include "fsck_check.h"

using namespace qvmp3;

namespace {

// A card behind the data channel, read by this test's own reading of the
// packets: blocks in a map, everything else zero.
class CCardChannel : public IPacketChannel {
public:
    bool Write(const uint8_t* data, uint32_t length) override
    {
        if (m_dataLeft) {
            if (length != m_dataLeft)
                return false;
            for (uint32_t i = 0; i < length / 512; i++)
                Blocks[m_dataBlock + i].assign(data + 512 * i, data + 512 * (i + 1));
            m_dataLeft = 0;
            return true;
        }
        if (length < 6 || data[1] != 2)
            return false;
        Commands.push_back(data[0]);
        uint32_t address = length >= 10 ? GetLe(data + 6, 4) : 0;
        m_answer.assign(64, 0);
        switch (data[0]) {
        case 0:
            m_answer[0] = DetectStatus;
            PutLe(&m_answer[3], Size, 4);
            m_answer[9] = 0x5A;
            m_answer[12] = EraseGroup;
            return true;
        case 8:
        case 9:
            m_dataBlock = address / 512;
            m_dataLeft = data[0] == 8 ? 512 : 512 * GetLe(data + 12, 2);
            return true;
        case 10: {
            uint32_t last = GetLe(data + 12, 4);
            Erases.push_back({address / 512, last / 512});
            return true;
        }
        case 6:
            m_answer = Block(address / 512);
            return true;
        default:
            return true;
        }
    }
    bool Read(uint8_t* data, uint32_t length) override
    {
        if (length > m_answer.size())
            return false;
        memcpy(data, m_answer.data(), length);
        return true;
    }
    std::vector<uint8_t> Block(uint32_t block)
    {
        auto it = Blocks.find(block);
        return it == Blocks.end() ? std::vector<uint8_t>(512, 0) : it->second;
    }

    uint8_t DetectStatus = 0;
    uint32_t Size = 0;
    uint8_t EraseGroup = 32;
    std::map<uint32_t, std::vector<uint8_t>> Blocks;
    std::vector<uint8_t> Commands;
    std::vector<std::pair<uint32_t, uint32_t>> Erases;

private:
    std::vector<uint8_t> m_answer;
    uint32_t m_dataBlock = 0, m_dataLeft = 0;
};

} // namespace

TEST(CardFormat, TheFatTypeFollowsTheClusterCountAndFsckAgrees)
{
    char folder[] = "/tmp/qvmp3-card.XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    // Around 1 MB, 32 MB, the FAT12/FAT16 edge (130,700 to 131,072 blocks
    // would give FAT12 4085 clusters and more), 128 MB, and the FAT16 limit.
    const uint32_t sizes[] = {2048, 65536, 130700, 130900, 131072, 131200, 262144, 2096000};
    for (uint32_t blocks : sizes) {
        SCOPED_TRACE(blocks);
        CCardChannel channel;
        channel.Size = blocks;
        CMmcCard card(channel, 0);
        double percent = 0;
        ASSERT_EQ(card.Format(blocks, &percent), 1);
        EXPECT_EQ(percent, 100.0);
        std::vector<uint8_t> table = channel.Block(0);
        std::vector<uint8_t> boot = channel.Block(1);
        CardFormat plan;
        ASSERT_TRUE(PlanCardFormat(blocks, &plan));
        EXPECT_EQ(table[450], plan.Fat16 ? 6 : 1);
        EXPECT_EQ(plan.Fat16, plan.Clusters > FAT12_MAX_CLUSTERS);
        EXPECT_LE(GetLe(&table[458], 4), blocks - 1u);
        std::string path = std::string(folder) + "/card.img";
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_TRUE(file);
        for (const auto& block : channel.Blocks) {
            if (block.first == 0)
                continue;
            fseek(file, static_cast<long>(block.first - 1) * 512, SEEK_SET);
            fwrite(block.second.data(), 1, 512, file);
        }
        ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(blocks - 1) * 512), 0);
        fclose(file);
        std::string output;
        EXPECT_TRUE(FsckClean(path, &output)) << output;
        EXPECT_EQ(RunTool("MTOOLS_SKIP_CHECK=1 mdir -i " + path + " ::/", &output), 0) << output;
        unlink(path.c_str());
    }
    rmdir(folder);
}

TEST(CardFormat, ThirtyTwoMegabytesIsFat12WithAFatLargeEnoughForEveryCluster)
{
    CardFormat plan;
    ASSERT_TRUE(PlanCardFormat(65536, &plan));
    EXPECT_FALSE(plan.Fat16);
    // 2047 clusters need 2049 entries of 1.5 bytes: 7 sectors, not 6.
    EXPECT_EQ(plan.SectorsPerFat, 7u);
    uint8_t boot[512];
    CardBootSector(plan, boot);
    EXPECT_EQ(boot[19] | boot[20] << 8, 65535);
    EXPECT_EQ(memcmp(boot + 54, "FAT12   ", 8), 0);
    ASSERT_TRUE(PlanCardFormat(262144, &plan));
    EXPECT_TRUE(plan.Fat16);
    CardBootSector(plan, boot);
    EXPECT_EQ(GetLe(boot + 32, 4), 262143u);
    EXPECT_EQ(boot[19] | boot[20], 0);
    // More than 65,524 clusters, or blocks past 4 GB of byte addresses: refused.
    EXPECT_FALSE(PlanCardFormat(2200000, &plan));
    EXPECT_FALSE(PlanCardFormat(0x900000, &plan));
    EXPECT_FALSE(PlanCardFormat(40, &plan));
}

TEST(CardCommands, DetectEraseGroupsAndAddresses)
{
    CCardChannel channel;
    channel.Size = 32768;
    CMmcCard card(channel, 0);
    uint32_t size = 0;
    uint8_t status = 9, cardByte = 0, group = 0;
    ASSERT_EQ(card.Detect(&size, &status, &cardByte, &group), 1);
    EXPECT_EQ(size, 32768u);
    EXPECT_EQ(cardByte, 0x5A);
    EXPECT_EQ(group, 32);
    // 16 MB with groups of 32: two groups, no zero blocks.
    double percent = 0;
    ASSERT_EQ(card.EraseFileSystemSectors(32768, &percent), 1);
    ASSERT_EQ(channel.Erases.size(), 2u);
    EXPECT_EQ(channel.Erases[1], std::make_pair(32u, 63u));
    EXPECT_TRUE(channel.Blocks.empty());
    EXPECT_EQ(percent, 100.0);
    // Groups of 0: every sector written with zeros; a whole-card erase refuses.
    channel.EraseGroup = 0;
    channel.Erases.clear();
    ASSERT_EQ(card.EraseFileSystemSectors(32768, &percent), 1);
    EXPECT_TRUE(channel.Erases.empty());
    EXPECT_EQ(channel.Blocks.size(), 64u);
    EXPECT_EQ(card.EraseAllBlocks(32768, &percent), 0);
    EXPECT_EQ(percent, 100.0);
    // A whole-card erase clears the blocks after the last whole group by writing.
    channel.EraseGroup = 32;
    channel.Blocks.clear();
    channel.Erases.clear();
    ASSERT_EQ(card.EraseAllBlocks(100, nullptr), 1);
    EXPECT_EQ(channel.Erases.size(), 3u);
    EXPECT_EQ(channel.Blocks.size(), 4u);
    EXPECT_TRUE(channel.Blocks.count(96));
    // A nonzero detect status: size 0 and the status handed back.
    channel.DetectStatus = 3;
    ASSERT_EQ(card.Detect(&size, &status, &cardByte, &group), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(status, 3);
    // Counts of 0 succeed without a packet; blocks past 4 GB fail without one.
    channel.Commands.clear();
    uint8_t buffer[512] = {};
    EXPECT_EQ(card.ReadBlocks(0, 0, buffer), 1);
    EXPECT_EQ(card.Erase(0, 0, &status), 1);
    EXPECT_EQ(card.ReadBlock(MMC_ADDRESSABLE_BLOCKS, buffer), 0);
    EXPECT_EQ(card.ReadBlocks(MMC_ADDRESSABLE_BLOCKS - 1, 2, buffer), 0);
    EXPECT_EQ(card.ReadBlock(0, nullptr), 0);
    EXPECT_TRUE(channel.Commands.empty());
}
