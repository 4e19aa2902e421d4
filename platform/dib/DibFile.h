// Windows bitmap files (.bmp) read straight into a DIB section: where the
// header, colour table and pixel rows of a file lie, checked against its
// size. Windows-free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mb {
namespace dib {

struct Layout {
    size_t infoOffset = 0;  // the BITMAPINFO: header, bit masks, colour table
    size_t infoBytes = 0;
    size_t bitsOffset = 0;  // the pixel rows
    size_t bitsBytes = 0;   // stride x rows
    int32_t width = 0;
    int32_t height = 0;     // below 0: the rows run top down
    uint16_t bitCount = 0;
};

// The largest side taken; larger pictures are left to the system's loader.
constexpr int32_t MAX_SIDE = 16384;

// True when the bytes are a bitmap file with a Windows 3 or later header,
// uncompressed (or in bit fields at 16 and 32 bits), one plane, whose header,
// colour table and rows all lie inside the bytes. Anything else (OS/2
// headers, run-length compression, JPEG or PNG inside, a cut file) is false.
bool ParseBitmapFile(const uint8_t* data, size_t size, Layout& out);

}  // namespace dib
}  // namespace mb
