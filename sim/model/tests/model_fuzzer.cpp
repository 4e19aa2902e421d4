// The model takes whatever a program writes to the driver: feed it packets
// and reads of any shape. Each input is a sequence of records: one byte
// operation, one length byte, then that many bytes.
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include <string.h>

#include "vilosim/MediaModel.h"
#include "vilosim/PlayerModel.h"

namespace {

// A small flash chip and card behind groups 1 and 2, bounds-checked.
class CStore final : public vilosim::IMediaStore {
public:
    explicit CStore(size_t bytes) : m_bytes(bytes, 0xFF) {}
    bool Read(uint64_t offset, uint8_t* out, uint32_t length) override
    {
        if (offset > m_bytes.size() || length > m_bytes.size() - offset)
            return false;
        memcpy(out, m_bytes.data() + offset, length);
        return true;
    }
    bool Write(uint64_t offset, const uint8_t* in, uint32_t length) override
    {
        if (offset > m_bytes.size() || length > m_bytes.size() - offset)
            return false;
        memcpy(m_bytes.data() + offset, in, length);
        return true;
    }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto model = std::make_unique<vilosim::CPlayerModel>();
    static CStore flashStore(8 * 16 * 528), cardStore(64 * 512);
    static vilosim::CFlashMemory flash;
    static vilosim::CMmcCardModel card;
    model->Reset();
    flash.Attach(&flashStore, vilosim::SimMediaImage{8, 16, 0x98, 0x75, 4, 0});
    card.Attach(&cardStore, vilosim::SimMediaImage{0, 64, 0, 0, 0, 8});
    model->SetGroup(vilosim::GROUP_FLASH, &flash);
    model->SetGroup(vilosim::GROUP_MMC, &card);
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
