// Whatever a taken file's layout says must lie inside the bytes.
#include <cstdlib>

#include "DibFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    mb::dib::Layout l;
    if (!mb::dib::ParseBitmapFile(data, size, l))
        return 0;
    if (l.infoOffset + l.infoBytes > l.bitsOffset || l.bitsOffset + l.bitsBytes > size)
        std::abort();
    // Read every byte the DIB section would be given.
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < l.infoBytes; ++i)
        sum = uint8_t(sum + data[l.infoOffset + i]);
    for (size_t i = 0; i < l.bitsBytes; ++i)
        sum = uint8_t(sum + data[l.bitsOffset + i]);
    return 0;
}
