// The AAC tool's output as the control reads it, over any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "AnalysisText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)trackscope::AacInfoBitrate(text);
    (void)trackscope::AttributeText(data, size);
    return 0;
}
