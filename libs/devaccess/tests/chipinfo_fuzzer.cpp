// The chip information answer comes from the device: any bytes, any count.
#include <stddef.h>
#include <stdint.h>

#include "QvMp3Core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qvmp3::ChipInfo info = qvmp3::ParseChipInfo(data, size);
    (void)info;
    qvmp3::ChipIdAnswerIs3410(data, size);
    return 0;
}
