// The library's packets against the byte tables of the protocol document,
// and the size classes of flash chips and cards.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "MediaGeometry.h"
#include "MediaPackets.h"
#include "../protocol/MediaProtocol.h"

using namespace qvmp3;
namespace mp = media_protocol;

template <size_t N>
std::vector<uint8_t> V(const uint8_t (&bytes)[N])
{
    return std::vector<uint8_t>(bytes, bytes + N);
}

TEST(FlashPackets, MatchTheDocumentedBytes)
{
    const uint32_t newChip = 0x051234, oldChip = 0x100;
    uint8_t pages[FLASH_PAGES_BYTES];
    FlashPagesPacket(FLASH_READ_PAGES, PageAddress(5, 8, 0), 528, 2, 0, newChip, pages);
    EXPECT_EQ(V(pages), V(mp::FLASH_READ_PAGES));
    FlashPagesPacket(FLASH_WRITE_PAGES, PageAddress(3, 32, 0), 528, 32, 0, oldChip, pages);
    EXPECT_EQ(V(pages), V(mp::FLASH_WRITE_PAGES));
    uint8_t erase[FLASH_ERASE_BYTES];
    FlashErasePacket(PageAddress(2, 16, 0), 0, newChip, erase);
    EXPECT_EQ(V(erase), V(mp::FLASH_ERASE));
    uint8_t page[FLASH_WRITE_PAGE_BYTES];
    FlashWritePagePacket(PageAddress(1, 16, 1), 528, 0, newChip, page);
    EXPECT_EQ(V(page), V(mp::FLASH_WRITE_PAGE));
    FlashWritePagePacket(PageAddress(0, 8, 1) + 256, 264, 0, newChip, page);
    EXPECT_EQ(V(page), V(mp::FLASH_WRITE_HALF_PAGE));
    uint8_t spares[FLASH_SPARES_BYTES];
    FlashSparesPacket(PageAddress(256, 32, 0), 256, 32, 0, newChip, spares);
    EXPECT_EQ(V(spares), V(mp::FLASH_SPARES));
    uint8_t identify[FLASH_IDENTIFY_BYTES];
    FlashIdentifyPacket(0, newChip, identify);
    EXPECT_EQ(V(identify), V(mp::FLASH_IDENTIFY));
}

TEST(MmcPackets, MatchTheDocumentedBytes)
{
    MmcPacket packet = MmcBlocksPacket(MMC_READ_BLOCKS, 0, 5, 3);
    EXPECT_EQ(std::vector<uint8_t>(packet.Bytes, packet.Bytes + packet.Length), V(mp::MMC_READ_BLOCKS));
    packet = MmcBlockPacket(MMC_WRITE_BLOCK, 0, 0x12345);
    EXPECT_EQ(std::vector<uint8_t>(packet.Bytes, packet.Bytes + packet.Length), V(mp::MMC_WRITE_BLOCK));
    packet = MmcErasePacket(0, 64, 32);
    EXPECT_EQ(std::vector<uint8_t>(packet.Bytes, packet.Bytes + packet.Length), V(mp::MMC_ERASE));
    packet = MmcSimplePacket(MMC_DETECT, 0);
    EXPECT_EQ(std::vector<uint8_t>(packet.Bytes, packet.Bytes + packet.Length), V(mp::MMC_DETECT));
    packet = MmcSimplePacket(MMC_READ_CSD, 0);
    EXPECT_EQ(std::vector<uint8_t>(packet.Bytes, packet.Bytes + packet.Length), V(mp::MMC_READ_CSD));
    const uint8_t flags[11] = {0, 0, 0x80, 0x80, 0x80, 0x40, 0x80, 0x80, 0x40, 0x40, 0x40};
    for (uint8_t command = 0; command < 11; command++)
        EXPECT_EQ(MmcFlag(command), flags[command]) << int(command);
}

TEST(SizeClasses, FlashIdsAndCardSizesGiveTheirIndex)
{
    EXPECT_EQ(FlashIndexOfId(0x98, 0x75), 5u);
    EXPECT_EQ(FlashIndexOfId(0x98, 0xE6), 3u);
    EXPECT_EQ(FlashIndexOfId(0xEC, 0x79), 11u);
    EXPECT_EQ(FlashIndexOfId(0x98, 0x11), NO_MEDIA_INDEX);
    EXPECT_EQ(FlashIndexOfId(0, 2), 3u);
    EXPECT_EQ(FlashIndexOfId(0, 8), 5u);
    EXPECT_EQ(FlashIndexOfId(0, 12), 6u);
    EXPECT_EQ(FlashIndexOfId(0, 128), 35u);
    EXPECT_EQ(FlashIndexOfId(0, 132), NO_MEDIA_INDEX);
    EXPECT_EQ(FlashIndexOfId(0, 9), NO_MEDIA_INDEX);
    EXPECT_EQ(CardIndexOfBlocks(0), NO_MEDIA_INDEX);
    EXPECT_EQ(CardIndexOfBlocks(2048), 0u);
    EXPECT_EQ(CardIndexOfBlocks(4096), 1u);
    EXPECT_EQ(CardIndexOfBlocks(65536), 5u);
    EXPECT_EQ(CardIndexOfBlocks(131072), 7u);
    EXPECT_EQ(CardIndexOfBlocks(1048576), 35u);
    EXPECT_EQ(CardIndexOfBlocks(1050624), NO_MEDIA_INDEX);
    MediaGeometry geometry;
    ASSERT_TRUE(GeometryOf(12, &geometry));
    EXPECT_EQ(geometry.PhysicalBlocks, 9126u);
    EXPECT_EQ(geometry.LogicalBlocks, 9000u);
    EXPECT_FALSE(GeometryOf(36, &geometry));
    ASSERT_TRUE(GeometryOf(3, &geometry));
    EXPECT_EQ(ReservedBlocksOfKilobytes(0, geometry), 0u);
    EXPECT_EQ(ReservedBlocksOfKilobytes(1, geometry), 1u);
    EXPECT_EQ(ReservedBlocksOfKilobytes(1024, geometry), 128u);
}
