// S-record files and raw images come from the caller's disk: any bytes.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> blocks;
    qvmp3::ConvertSRecords(data, size, &blocks);
    qvmp3::FileVersion version;
    qvmp3::SRecordVersion(data, size, &version);
    qvmp3::RawImageVersion(data, size);
    std::vector<uint8_t> image;
    size_t header = size % 7;
    qvmp3::SRecordPageImage(data, header, data + header, size - header, &image);
    return 0;
}
