// The player's identity: hardware id, storage descriptor and drive letter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "player_identity.h"

namespace {

std::vector<uint8_t> Descriptor(const std::string& productId, uint32_t offset = 40, size_t size = 512)
{
    std::vector<uint8_t> d(size, 0);
    for (int i = 0; i < 4; ++i) d[16 + size_t(i)] = uint8_t(offset >> (8 * i));
    if (offset + productId.size() <= size) std::memcpy(&d[offset], productId.data(), productId.size());
    return d;
}

TEST(PlayerIdentity, HardwareIdPrefixIsMatchedInAnyCase)
{
    const std::string id = "Vilo____Lark____________1.00";
    EXPECT_TRUE(HardwareIdNamesPlayer(id.c_str(), id.size()));
    EXPECT_TRUE(HardwareIdNamesPlayer("vilo____lark", 12));
    EXPECT_FALSE(HardwareIdNamesPlayer("Vilo____Lar", 11));
    EXPECT_FALSE(HardwareIdNamesPlayer("Vilo____Lar\0k", 13));
    EXPECT_FALSE(HardwareIdNamesPlayer("Vilo    Lark", 12));
}

TEST(PlayerIdentity, ProductIdComparesSixteenCharactersExactly)
{
    auto d = Descriptor("Lark            ");
    EXPECT_TRUE(DescriptorNamesPlayer(d.data(), d.size()));
    d = Descriptor("Lark            2.00 and more");
    EXPECT_TRUE(DescriptorNamesPlayer(d.data(), d.size()));
    d = Descriptor("lark            ");
    EXPECT_FALSE(DescriptorNamesPlayer(d.data(), d.size()));
    d = Descriptor("Lark");
    EXPECT_FALSE(DescriptorNamesPlayer(d.data(), d.size()));
}

TEST(PlayerIdentity, ProductIdOutsideTheReturnedBytesNamesNothing)
{
    auto d = Descriptor("Lark            ", 0);
    EXPECT_FALSE(DescriptorNamesPlayer(d.data(), d.size()));
    d = Descriptor("Lark            ", 40);
    EXPECT_FALSE(DescriptorNamesPlayer(d.data(), 50)) << "the id runs past the bytes returned";
    d = Descriptor("", 4000);
    EXPECT_FALSE(DescriptorNamesPlayer(d.data(), d.size()));
    EXPECT_FALSE(DescriptorNamesPlayer(d.data(), 10));
}

TEST(PlayerIdentity, DriveLetterBitsStayInsideTheMask)
{
    EXPECT_EQ(1ul, DriveLetterBit("A", 1));
    EXPECT_EQ(1ul << 5, DriveLetterBit("F", 1));
    EXPECT_EQ(1ul << 5, DriveLetterBit("f", 1));
    EXPECT_EQ(1ul << 25, DriveLetterBit("Z", 1));
    EXPECT_EQ(0ul, DriveLetterBit("[", 1));
    EXPECT_EQ(0ul, DriveLetterBit("1", 1));
    EXPECT_EQ(0ul, DriveLetterBit("\xC4", 1));
    EXPECT_EQ(0ul, DriveLetterBit("", 0));
}

}  // namespace
