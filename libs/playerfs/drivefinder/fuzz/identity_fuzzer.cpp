// The identity checks read only the bytes they were given.
#include <cstdint>
#include <vector>

#include "player_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> copy(data, data + size);
    DescriptorNamesPlayer(copy.data(), copy.size());
    HardwareIdNamesPlayer(reinterpret_cast<const char*>(copy.data()), copy.size());
    DriveLetterBit(reinterpret_cast<const char*>(copy.data()), copy.size());
    return 0;
}
