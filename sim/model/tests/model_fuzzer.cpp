// The model takes whatever a program writes to the driver: feed it packets
// and reads of any shape. Each input is a sequence of records: one byte
// operation, one length byte, then that many bytes.
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include "vilosim/PlayerModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto model = std::make_unique<vilosim::CPlayerModel>();
    model->Reset();
    vilosim::SimConfig config = model->Config();
    config.TupleCount = size > 0 ? data[0] * 0x10101u : 0;
    model->Configure(config);
    std::vector<uint8_t> out;
    size_t at = 0;
    while (at + 2 <= size) {
        uint8_t operation = data[at];
        uint32_t length = data[at + 1];
        at += 2;
        if (operation & 1) {
            out.assign(length * 4, 0);
            model->Read(out.data(), length * 4);
        } else {
            if (length > size - at)
                length = static_cast<uint32_t>(size - at);
            model->Write(data + at, length);
            at += length;
        }
        if (operation & 2)
            model->GetStatus();
    }
    return 0;
}
