#include "player_identity.h"

#include <cstring>

const char PLAYER_HARDWARE_ID_PREFIX[] = "Vilo____Lark";
const char PLAYER_PRODUCT_ID[] = "Lark            ";

namespace {
constexpr size_t PRODUCT_ID_OFFSET_FIELD = 16;  // ProductIdOffset in the descriptor
constexpr size_t MAX_PRODUCT_ID = 260;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
}  // namespace

bool HardwareIdNamesPlayer(const char* id, size_t length)
{
    const size_t n = sizeof PLAYER_HARDWARE_ID_PREFIX - 1;
    if (!id || length < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (id[i] == '\0' || Upper(id[i]) != Upper(PLAYER_HARDWARE_ID_PREFIX[i])) return false;
    }
    return true;
}

bool DescriptorNamesPlayer(const uint8_t* descriptor, size_t returned)
{
    if (!descriptor || returned < PRODUCT_ID_OFFSET_FIELD + 4) return false;
    const uint32_t offset = uint32_t(descriptor[16]) | uint32_t(descriptor[17]) << 8 | uint32_t(descriptor[18]) << 16 |
                            uint32_t(descriptor[19]) << 24;
    if (offset == 0 || offset >= returned || descriptor[offset] == 0) return false;
    size_t length = 0;
    while (offset + length < returned && length < MAX_PRODUCT_ID && descriptor[offset + length] != 0) ++length;
    const size_t n = sizeof PLAYER_PRODUCT_ID - 1;
    return length >= n && std::memcmp(descriptor + offset, PLAYER_PRODUCT_ID, n) == 0;
}

unsigned long DriveLetterBit(const char* assignment, size_t length)
{
    if (!assignment || length == 0) return 0;
    const char c = Upper(assignment[0]);
    if (c < 'A' || c > 'Z') return 0;
    return 1ul << (c - 'A');
}
