#include "FlashPage.h"

#include <string.h>

namespace qvmp3 {

namespace {

int Parity(uint32_t value)
{
    int parity = 0;
    while (value) {
        parity ^= value & 1;
        value >>= 1;
    }
    return parity;
}

} // namespace

void Ecc256(const uint8_t* data, uint8_t (&code)[3])
{
    uint8_t x = 0;
    int a = 0;
    int even[8] = {};
    for (int i = 0; i < 256; i++) {
        x ^= data[i];
        int p = Parity(data[i]);
        a ^= p;
        for (int k = 0; k < 8; k++)
            if (!(i >> k & 1))
                even[k] ^= p;
    }
    uint8_t b0 = 0, b1 = 0;
    for (int k = 0; k < 4; k++) {
        int odd = even[k] ^ a;
        b0 |= static_cast<uint8_t>(even[k] << (2 * k) | odd << (2 * k + 1));
        int oddHigh = even[k + 4] ^ a;
        b1 |= static_cast<uint8_t>(even[k + 4] << (2 * k) | oddHigh << (2 * k + 1));
    }
    auto bit = [x](int n) { return x >> n & 1; };
    int c5 = bit(4) ^ bit(5) ^ bit(6) ^ bit(7);
    int c4 = bit(0) ^ bit(1) ^ bit(2) ^ bit(3);
    int c3 = bit(2) ^ bit(3) ^ bit(6) ^ bit(7);
    int c2 = bit(0) ^ bit(1) ^ bit(4) ^ bit(5);
    int c1 = bit(1) ^ bit(3) ^ bit(5) ^ bit(7);
    int c0 = bit(0) ^ bit(2) ^ bit(4) ^ bit(6);
    uint8_t b2 = static_cast<uint8_t>(c5 << 7 | c4 << 6 | c3 << 5 | c2 << 4 | c1 << 3 | c0 << 2);
    code[0] = static_cast<uint8_t>(~b0);
    code[1] = static_cast<uint8_t>(~b1);
    code[2] = static_cast<uint8_t>(~b2);
}

EccResult EccCorrect(uint8_t* data, const uint8_t (&stored)[3])
{
    uint8_t computed[3];
    Ecc256(data, computed);
    uint32_t diff = static_cast<uint32_t>((computed[0] ^ stored[0]) | (computed[1] ^ stored[1]) << 8 |
                                          (computed[2] ^ stored[2]) << 16);
    // The two lowest bits of byte 2 carry no parity.
    diff &= 0xFCFFFFu;
    if (diff == 0)
        return EccResult::Clean;
    // A single data bit flips exactly one bit of each of the 11 pairs.
    bool pairs = true;
    for (int pair = 0; pair < 8; pair++)
        pairs = pairs && Parity(diff >> (2 * pair) & 3) == 1;
    for (int pair = 1; pair < 4; pair++)
        pairs = pairs && Parity(diff >> (16 + 2 * pair) & 3) == 1;
    if (pairs) {
        int byte = 0;
        for (int k = 0; k < 8; k++)
            byte |= (diff >> (2 * k + 1) & 1) << k;
        int bitIndex = (diff >> 23 & 1) << 2 | (diff >> 21 & 1) << 1 | (diff >> 19 & 1);
        data[byte] ^= static_cast<uint8_t>(1 << bitIndex);
        return EccResult::Corrected;
    }
    if (Parity(diff) == 1 && (diff & (diff - 1)) == 0)
        return EccResult::CodeError;
    return EccResult::Uncorrectable;
}

void BlockAddressField(uint16_t block, uint8_t (&field)[2])
{
    field[0] = static_cast<uint8_t>(0x10 | ((block >> 7) & 7));
    field[1] = static_cast<uint8_t>((block << 1) & 0xFE);
    field[1] |= static_cast<uint8_t>(Parity(static_cast<uint32_t>(field[0] << 8 | field[1])));
}

bool ParseBlockAddressField(const uint8_t* field, uint16_t* block)
{
    if ((field[0] & 0xF8) != 0x10 || Parity(static_cast<uint32_t>(field[0] << 8 | field[1])) != 0)
        return false;
    *block = static_cast<uint16_t>((field[0] & 7) << 7 | field[1] >> 1);
    return true;
}

void DataPageSpare(const uint8_t* data, uint16_t block, bool smallMedia, uint8_t (&spare)[SPARE_BYTES])
{
    memset(spare, 0xFF, sizeof spare);
    uint8_t field[2] = {0, 0};
    if (block != NO_BLOCK_ADDRESS || smallMedia)
        BlockAddressField(block, field);
    memcpy(spare + SPARE_ADDRESS_1, field, 2);
    memcpy(spare + SPARE_ADDRESS_2, field, 2);
    uint8_t code[3];
    Ecc256(data + 256, code);
    memcpy(spare + SPARE_ECC_HIGH, code, 3);
    Ecc256(data, code);
    memcpy(spare + SPARE_ECC_LOW, code, 3);
}

void HalfPages(const uint8_t* data, uint16_t block, uint8_t (&first)[HALF_PAGE_WITH_SPARE],
               uint8_t (&second)[HALF_PAGE_WITH_SPARE])
{
    uint8_t field[2];
    BlockAddressField(block, field);
    uint8_t code[3];
    memcpy(first, data, 256);
    memset(first + 256, 0xFF, 8);
    memcpy(first + 256 + 6, field, 2);
    memcpy(second, data + 256, 256);
    memset(second + 256, 0xFF, 8);
    // Bytes 0 to 2 of the second half's spare carry the code of the first half.
    Ecc256(data, code);
    memcpy(second + 256, code, 3);
    Ecc256(data + 256, code);
    memcpy(second + 256 + 5, code, 3);
}

void ReservedSpare(uint32_t pageInBlock, uint8_t tag, uint8_t (&spare)[SPARE_BYTES])
{
    memset(spare, 0xFF, sizeof spare);
    spare[SPARE_DATA_STATUS] = 0;
    spare[SPARE_BLOCK_STATUS] = 0;
    if (pageInBlock == 0) {
        spare[6] = 'Q';
        spare[7] = 'V';
    } else if (pageInBlock == 1) {
        spare[6] = 'M';
        spare[7] = tag;
    }
}

void VersionSpare(uint16_t word, uint8_t (&spare)[SPARE_BYTES])
{
    memset(spare, 0xFF, sizeof spare);
    spare[SPARE_DATA_STATUS] = 0;
    spare[SPARE_BLOCK_STATUS] = 0;
    spare[6] = static_cast<uint8_t>(word);
    spare[7] = static_cast<uint8_t>(word >> 8);
}

bool AreaCodeOfTag(uint8_t tag, uint8_t* code)
{
    if (tag == 'P') {
        *code = 3;
        return true;
    }
    // Codes 0 to 3 mean bad, disk, card information and reserved blocks, and
    // 0xFF a free one: a tag whose code would wrap onto them is refused.
    if (tag > 0xFA)
        return false;
    *code = static_cast<uint8_t>(tag + 4);
    return true;
}

uint8_t TagOfAreaCode(uint8_t code)
{
    return code == 3 ? 'P' : static_cast<uint8_t>(code - 4);
}

} // namespace qvmp3
