// What the recovery stream needs of a firmware component: its image bytes.
#pragma once
#include <cstdint>

class CQvImageSource {
public:
    virtual ~CQvImageSource() = default;
    virtual uint64_t ImageSize() const = 0;
    // Copies count bytes from offset; 0, or a negative error number.
    virtual int ReadImage(uint64_t offset, uint8_t* dest, uint32_t count) const = 0;
};
