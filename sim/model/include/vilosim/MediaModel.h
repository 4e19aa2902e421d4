// The player's flash memory and MMC card as command groups 1 and 2 of its
// data channel. The bytes live in a store the host provides (a file in the
// driver, memory in the tests); the model reads the packets by its own
// reading of the protocol, never by the library's code.
#pragma once

#include <stdint.h>

#include "vilosim/PlayerModel.h"
#include "vilosim/SimProtocol.h"

namespace vilosim {

class IMediaStore {
public:
    virtual bool Read(uint64_t offset, uint8_t* out, uint32_t length) = 0;
    virtual bool Write(uint64_t offset, const uint8_t* data, uint32_t length) = 0;

protected:
    ~IMediaStore() = default; // the host owns and destroys its stores
};

// Flash: 528-byte pages; erase sets a block to 0xFF, programming only clears
// bits, as on the chip.
class CFlashMemory : public CCommandGroup {
public:
    static constexpr uint32_t PAGE = 528;
    void Reset();
    void Attach(IMediaStore* store, const SimMediaImage& image);
    bool Present() const { return m_store != nullptr; }
    bool Command(CPlayerModel& model, const uint8_t* packet, uint32_t length, CAnswer& answer) override;
    bool Data(CPlayerModel& model, const uint8_t* data, uint32_t length) override;

private:
    bool PageOk(uint32_t page, uint32_t count) const;
    bool ReadPage(uint32_t page, uint8_t* out);
    bool Program(uint32_t page, uint32_t offset, const uint8_t* data, uint32_t length);
    bool IsBad(uint32_t page) const { return m_image.BadBlock && page / m_image.PagesPerBlock == m_image.BadBlock - 1; }

    // Initialised in place, so that a global instance in the driver needs no
    // constructor run.
    IMediaStore* m_store = nullptr;
    SimMediaImage m_image = {};
    // The data a write command announced: where it goes and how it is cut.
    uint32_t m_writePage = 0;
    uint32_t m_writeOffset = 0; // 0, or 256 for the second half of a small page
    uint32_t m_writeUnit = 0;   // bytes a page (528 or 264)
    uint8_t m_page[PAGE] = {};
};

class CMmcCardModel : public CCommandGroup {
public:
    static constexpr uint32_t BLOCK = 512;
    void Reset();
    void Attach(IMediaStore* store, const SimMediaImage& image);
    bool Command(CPlayerModel& model, const uint8_t* packet, uint32_t length, CAnswer& answer) override;
    bool Data(CPlayerModel& model, const uint8_t* data, uint32_t length) override;

private:
    bool BlocksOk(uint32_t address, uint32_t count) const;

    IMediaStore* m_store = nullptr;
    SimMediaImage m_image = {};
    uint8_t m_csd[16] = {};
    uint32_t m_writeBlock = 0;
};

} // namespace vilosim
