// Bitmap files taken straight into a DIB section, and those left to the
// system's loader: every part must lie inside the file.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DibFile.h"

namespace {

struct Shape {
    int32_t width = 3, height = 2;
    uint16_t bitCount = 24, planes = 1;
    uint32_t compression = 0, headerBytes = 40, colorsUsed = 0;
    int64_t bitsOffsetShift = 0;  // added to the natural offset of the rows
    int64_t sizeChange = 0;       // bytes added to (or cut from) the file's end
    const char* magic = "BM";
};

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> MakeFile(const Shape& s)
{
    const uint64_t colors = s.bitCount <= 8 ? (s.colorsUsed ? s.colorsUsed : 1u << s.bitCount) : s.colorsUsed;
    const uint64_t masks = s.compression == 3 && s.headerBytes == 40 ? 12 : 0;
    const uint64_t info = s.headerBytes + masks + colors * 4;
    const uint64_t stride = (uint64_t(s.width > 0 ? s.width : 1) * s.bitCount + 31) / 32 * 4;
    const uint64_t rows = uint64_t(s.height < 0 ? -int64_t(s.height) : s.height);
    const int64_t bitsOffset = int64_t(14 + info) + s.bitsOffsetShift;
    std::vector<uint8_t> b(size_t(int64_t(14 + info + stride * rows) + s.bitsOffsetShift + s.sizeChange), 0xA5);
    std::memcpy(b.data(), s.magic, 2);
    Put32(b, 2, uint32_t(b.size()));
    Put32(b, 10, uint32_t(bitsOffset));
    Put32(b, 14, s.headerBytes);
    Put32(b, 18, uint32_t(s.width));
    Put32(b, 22, uint32_t(s.height));
    b[26] = uint8_t(s.planes);
    b[27] = 0;
    b[28] = uint8_t(s.bitCount);
    b[29] = uint8_t(s.bitCount >> 8);
    Put32(b, 30, s.compression);
    Put32(b, 46, s.colorsUsed);
    return b;
}

TEST(DibFile, TakenFilesGiveTheirPartsPlaces)
{
    struct Case {
        const char* what;
        Shape shape;
        size_t infoBytes, bitsOffset, bitsBytes;
    } cases[] = {
        {"24-bit, rows padded to 4 bytes", Shape{}, 40, 54, 12 * 2},
        {"top-down rows", Shape{3, -2}, 40, 54, 24},
        {"1-bit with its two colours", Shape{9, 1, 1}, 48, 62, 4},
        {"4-bit with 16 colours", Shape{5, 3, 4}, 104, 118, 12},
        {"8-bit with fewer colours named", Shape{4, 4, 8, 1, 0, 40, 10}, 80, 94, 16},
        {"32-bit bit fields after a plain header", Shape{2, 2, 32, 1, 3}, 52, 66, 16},
        {"16-bit bit fields in a V5 header", Shape{3, 1, 16, 1, 3, 124}, 124, 138, 8},
        {"a gap before the rows", Shape{3, 2, 24, 1, 0, 40, 0, 6}, 40, 60, 24},
        {"bytes after the rows", Shape{3, 2, 24, 1, 0, 40, 0, 0, 100}, 40, 54, 24},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = MakeFile(c.shape);
        mb::dib::Layout l;
        ASSERT_TRUE(mb::dib::ParseBitmapFile(file.data(), file.size(), l)) << c.what;
        EXPECT_EQ(14u, l.infoOffset) << c.what;
        EXPECT_EQ(c.infoBytes, l.infoBytes) << c.what;
        EXPECT_EQ(c.bitsOffset, l.bitsOffset) << c.what;
        EXPECT_EQ(c.bitsBytes, l.bitsBytes) << c.what;
        EXPECT_EQ(c.shape.width, l.width) << c.what;
        EXPECT_EQ(c.shape.height, l.height) << c.what;
    }
}

TEST(DibFile, OtherFilesAreLeftToTheSystemLoader)
{
    Shape rle8{4, 4, 8};
    rle8.compression = 1;
    Shape os2{};
    os2.headerBytes = 12;
    Shape badMagic{};
    badMagic.magic = "MB";
    struct Case {
        const char* what;
        Shape shape;
    } cases[] = {
        {"a row cut off", Shape{3, 2, 24, 1, 0, 40, 0, 0, -1}},
        {"rows said to start past the end", Shape{3, 2, 24, 1, 0, 40, 0, 1000, -1000}},
        {"rows said to start inside the colour table", Shape{5, 3, 4, 1, 0, 40, 0, -8, 8}},
        {"more colours than the bits can name", Shape{2, 2, 4, 1, 0, 40, 17}},
        {"a colour table for a true-colour picture past 256", Shape{2, 2, 24, 1, 0, 40, 257}},
        {"no width", Shape{0, 2}},
        {"no height", Shape{3, 0}},
        {"wider than any skin", Shape{mb::dib::MAX_SIDE + 1, 1, 1}},
        {"two planes", Shape{3, 2, 24, 2}},
        {"12 bits a pixel", Shape{3, 2, 12}},
        {"bit fields at 24 bits", Shape{3, 2, 24, 1, 3}},
        {"run-length compression", rle8},
        {"an OS/2 header", os2},
        {"not a bitmap", badMagic},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = MakeFile(c.shape);
        mb::dib::Layout l;
        EXPECT_FALSE(mb::dib::ParseBitmapFile(file.data(), file.size(), l)) << c.what;
    }
    // A height whose size would wrap, and files shorter than the headers.
    std::vector<uint8_t> file = MakeFile(Shape{});
    Put32(file, 22, 0x80000000u);
    mb::dib::Layout l;
    EXPECT_FALSE(mb::dib::ParseBitmapFile(file.data(), file.size(), l));
    file = MakeFile(Shape{});
    for (size_t cut : {0u, 2u, 14u, 53u})
        EXPECT_FALSE(mb::dib::ParseBitmapFile(file.data(), cut, l)) << cut;
    EXPECT_FALSE(mb::dib::ParseBitmapFile(nullptr, 100, l));
}

}  // namespace
