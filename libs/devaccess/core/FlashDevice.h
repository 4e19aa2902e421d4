// One flash media spoken to through the flash command group: identity,
// block erase, page writes (whole or in halves), page reads and the spare
// entries of many blocks at once.
#pragma once

#include <stdint.h>

#include "FlashPage.h"
#include "MediaGeometry.h"
#include "PacketChannel.h"
#include "QuickFormat.h"

namespace qvmp3 {

struct FlashId {
    uint32_t Status = 0; // 0: media present
    uint8_t Maker = 0;
    uint8_t Device = 0;
};
bool IdentifyFlash(IPacketChannel& channel, uint8_t media, uint32_t chipVersion, FlashId* id);

class CFlashDevice : public IFlashPageIo {
public:
    CFlashDevice(IPacketChannel& channel, uint8_t media, const MediaGeometry& geometry, uint32_t chipVersion)
        : m_channel(channel), m_media(media), m_geometry(geometry), m_chipVersion(chipVersion)
    {
    }
    const MediaGeometry& Geometry() const { return m_geometry; }

    bool EraseBlock(uint32_t block, bool* erased) override;
    // A data page: its spare area carries the block address and the codes.
    bool WritePage(uint32_t block, uint32_t page, const uint8_t* data, uint16_t logicalBlock) override;
    // A whole page with the spare area given (command 0, page size 528).
    bool WritePageWithSpare(uint32_t block, uint32_t page, const uint8_t* data, const uint8_t* spare);
    bool ReadPage(uint32_t block, uint32_t page, uint8_t* out) override { return ReadPages(block, page, 1, out); }
    bool ReadPages(uint32_t block, uint32_t firstPage, uint32_t count, uint8_t* out);
    // Pages of 528 bytes (data and spare) written with command 1.
    bool WritePages(uint32_t block, uint32_t firstPage, uint32_t count, const uint8_t* pages);
    bool WriteZeroBlock(uint32_t block) override;
    // Six bytes a block for count blocks from first.
    bool ReadSpareEntries(uint32_t first, uint32_t count, uint8_t* out);
    void AddProgress(double delta) override
    {
        if (m_progress)
            m_progress(m_progressContext, delta);
    }
    void SetProgress(void (*progress)(void*, double), void* context)
    {
        m_progress = progress;
        m_progressContext = context;
    }

private:
    bool Exchange(const uint8_t* packet, uint32_t length, uint8_t* answer, uint32_t answerLength);

    IPacketChannel& m_channel;
    uint8_t m_media;
    MediaGeometry m_geometry;
    uint32_t m_chipVersion;
    void (*m_progress)(void*, double) = nullptr;
    void* m_progressContext = nullptr;
};

} // namespace qvmp3
