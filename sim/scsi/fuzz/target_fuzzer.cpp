// Feeds arbitrary CDBs and data phases to the simulated player's target, as a
// buggy or hostile host could: nothing may read or write outside the buffers.
#include "simscsi/SimPlayerTarget.h"
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSimPlayerTarget target;
    if (size < 3)
        return 0;
    size_t cdbLength = 6 + data[0] % 11;
    bool dataIn = data[1] & 1;
    size_t dataLength = size_t(data[2]) * 64;
    data += 3;
    size -= 3;
    uint8_t cdb[16] = {};
    std::memcpy(cdb, data, std::min(cdbLength, size));
    std::vector<uint8_t> buffer(dataLength);
    if (size > cdbLength && dataLength)
        std::memcpy(buffer.data(), data + cdbLength, std::min(dataLength, size - cdbLength));
    uint8_t sense[CSimPlayerTarget::SENSE_BYTES];
    size_t transferred = 0;
    target.Execute(cdb, cdbLength, dataIn, buffer.data(), buffer.size(), sense, &transferred);
    if (transferred > buffer.size())
        __builtin_trap();
    // Keep the model's memory bounded across runs.
    target.ClearLog();
    if (target.Drives().empty())
        target.MakeFactoryLayout();
    return 0;
}
