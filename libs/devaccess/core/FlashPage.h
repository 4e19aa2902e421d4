// The flash page as this library writes it: 512 data bytes and a 16-byte
// spare area with the block status, the block address field and the
// error-correction codes, and the marks of the reserved area's blocks.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace qvmp3 {

constexpr uint32_t PAGE_BYTES = 512;
constexpr uint32_t SPARE_BYTES = 16;
constexpr uint32_t PAGE_WITH_SPARE = PAGE_BYTES + SPARE_BYTES;
constexpr uint32_t HALF_PAGE_WITH_SPARE = 264;
// Logical block number of a page that carries no block address.
constexpr uint16_t NO_BLOCK_ADDRESS = 0xFFFF;

enum : uint32_t {
    SPARE_DATA_STATUS = 4,
    SPARE_BLOCK_STATUS = 5,
    SPARE_ADDRESS_1 = 6,
    SPARE_ECC_HIGH = 8,   // code of data bytes 256 to 511
    SPARE_ADDRESS_2 = 11,
    SPARE_ECC_LOW = 13,   // code of data bytes 0 to 255
};

// The three-byte code of 256 data bytes (22 parity bits, stored complemented).
void Ecc256(const uint8_t* data, uint8_t (&code)[3]);

enum class EccResult { Clean, Corrected, CodeError, Uncorrectable };
// Checks 256 data bytes against their stored code; a single flipped data bit
// is put right in place.
EccResult EccCorrect(uint8_t* data, const uint8_t (&stored)[3]);

// The 16-bit block address field of a logical block number (10 bits, even parity).
void BlockAddressField(uint16_t block, uint8_t (&field)[2]);
// The logical block a field names, or false when its marker or parity is wrong.
bool ParseBlockAddressField(const uint8_t* field, uint16_t* block);

// The spare area of a data page. Media of index 0 to 2 encode "no block
// address" as the block number 0xFFFF; the others leave both fields 0.
void DataPageSpare(const uint8_t* data, uint16_t block, bool smallMedia, uint8_t (&spare)[SPARE_BYTES]);
// The two 264-byte halves a page of media index 0 to 2 is written in.
void HalfPages(const uint8_t* data, uint16_t block, uint8_t (&first)[HALF_PAGE_WITH_SPARE],
               uint8_t (&second)[HALF_PAGE_WITH_SPARE]);

// Reserved-area marks: data and block status 0; "QV" on a block's first page,
// 'M' and the area tag letter on its second; the others 0xFF at 6 and 7.
void ReservedSpare(uint32_t pageInBlock, uint8_t tag, uint8_t (&spare)[SPARE_BYTES]);
// The version rewrite of pages 2 to 5 of a file's first block: version word in
// bytes 6 and 7 (little-endian), data and block status 0, the rest 0xFF.
void VersionSpare(uint16_t word, uint8_t (&spare)[SPARE_BYTES]);

inline int ZeroBits(uint8_t byte)
{
    int zeros = 0;
    for (int i = 0; i < 8; i++)
        zeros += !(byte >> i & 1);
    return zeros;
}
inline bool BlockIsGood(uint8_t blockStatus) { return blockStatus == 0xFF; }
inline bool DataIsValid(uint8_t dataStatus) { return ZeroBits(dataStatus) < 4; }

// Area tags and codes: 'P' is area 3, any other letter its code + 4. Letters
// of 0xFC and above would wrap past a byte and are refused.
bool AreaCodeOfTag(uint8_t tag, uint8_t* code);
uint8_t TagOfAreaCode(uint8_t code);

} // namespace qvmp3
