// The ADTS reader over any bytes: it must stay inside the buffer and its
// facts must agree with one another.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "AdtsReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    aacinfo::ADTS_FACTS facts;
    const aacinfo::ADTS_RESULT result = aacinfo::ScanAdts(data, size, facts);
    if (result == aacinfo::ADTS_OK) {
        // A first frame cut by the end of the file leaves no frame at all.
        if (facts.frameBytes > size || facts.samples < facts.frames * 1024 || facts.samples > facts.frames * 4096 ||
            (facts.frames == 0 && aacinfo::BitrateKbps(facts) != -1))
            std::abort();
    } else if (facts.frames != 0) {
        std::abort();
    }
    (void)aacinfo::FormatAacInfo(result, facts);
    return 0;
}
