#include "DibFile.h"

namespace mb {
namespace dib {

namespace {

constexpr size_t FILE_HEADER_BYTES = 14;
constexpr uint32_t BI_RGB_CODE = 0;
constexpr uint32_t BI_BITFIELDS_CODE = 3;

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

bool ParseBitmapFile(const uint8_t* data, size_t size, Layout& out)
{
    if (!data || size < FILE_HEADER_BYTES + 40 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint64_t bitsOffset = U32(data + 10);
    const uint8_t* info = data + FILE_HEADER_BYTES;
    const uint32_t headerBytes = U32(info);
    // BITMAPINFOHEADER, its two extensions with masks, V4 and V5.
    if (headerBytes != 40 && headerBytes != 52 && headerBytes != 56 && headerBytes != 108 && headerBytes != 124)
        return false;
    const int32_t width = int32_t(U32(info + 4));
    const int32_t height = int32_t(U32(info + 8));
    const uint16_t planes = U16(info + 12);
    const uint16_t bitCount = U16(info + 14);
    const uint32_t compression = U32(info + 16);
    const uint32_t colorsUsed = U32(info + 32);
    if (width <= 0 || width > MAX_SIDE || height == 0 || height < -MAX_SIDE || height > MAX_SIDE || planes != 1)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    if (compression != BI_RGB_CODE && !(compression == BI_BITFIELDS_CODE && (bitCount == 16 || bitCount == 32)))
        return false;
    uint64_t colors = colorsUsed;
    if (bitCount <= 8) {
        const uint64_t most = uint64_t(1) << bitCount;
        if (colors == 0)
            colors = most;
        if (colors > most)
            return false;
    } else if (colors > 256) {
        return false;
    }
    // A plain header is followed by the three masks of a bit-field picture.
    const uint64_t masks = compression == BI_BITFIELDS_CODE && headerBytes == 40 ? 12 : 0;
    const uint64_t infoBytes = headerBytes + masks + colors * 4;
    if (FILE_HEADER_BYTES + infoBytes > size || bitsOffset < FILE_HEADER_BYTES + infoBytes)
        return false;
    const uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t bitsBytes = stride * rows;
    if (bitsOffset > size || bitsBytes > size - bitsOffset)
        return false;
    out.infoOffset = FILE_HEADER_BYTES;
    out.infoBytes = size_t(infoBytes);
    out.bitsOffset = size_t(bitsOffset);
    out.bitsBytes = size_t(bitsBytes);
    out.width = width;
    out.height = height;
    out.bitCount = bitCount;
    return true;
}

}  // namespace dib
}  // namespace mb
