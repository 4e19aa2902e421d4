// The input is the start of an image whose size its boot sector states (at
// most 48 MB); the rest reads as zeros.
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FatFacts.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
};

bool ReadInput(void* context, uint64_t offset, uint8_t* buffer, uint32_t bytes)
{
    auto* input = static_cast<Input*>(context);
    memset(buffer, 0, bytes);
    if (offset < input->size) {
        size_t n = input->size - offset < bytes ? input->size - offset : bytes;
        memcpy(buffer, input->data + offset, n);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input input = {data, size};
    std::vector<uint8_t> scratch(vilosim::FAT_SCRATCH_BYTES);
    vilosim::FatFacts facts;
    if (vilosim::ReadFatFacts(ReadInput, &input, 48u << 20, scratch.data(), &facts)) {
        if (facts.FreeClusters > facts.TotalClusters || facts.Label[11] != 0)
            __builtin_trap();
    }
    return 0;
}
