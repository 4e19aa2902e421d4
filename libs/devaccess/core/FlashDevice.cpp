#include "FlashDevice.h"

#include <string.h>

#include <vector>

#include "MediaPackets.h"

namespace qvmp3 {

bool IdentifyFlash(IPacketChannel& channel, uint8_t media, uint32_t chipVersion, FlashId* id)
{
    uint8_t packet[FLASH_IDENTIFY_BYTES];
    FlashIdentifyPacket(media, chipVersion, packet);
    uint8_t answer[FLASH_IDENTIFY_ANSWER] = {};
    if (!channel.Write(packet, sizeof packet) || !channel.Read(answer, sizeof answer))
        return false;
    id->Status = GetLe(answer, 3);
    id->Maker = answer[3];
    id->Device = answer[4];
    return true;
}

bool CFlashDevice::Exchange(const uint8_t* packet, uint32_t length, uint8_t* answer, uint32_t answerLength)
{
    if (!m_channel.Write(packet, length))
        return false;
    return answerLength == 0 || m_channel.Read(answer, answerLength);
}

bool CFlashDevice::EraseBlock(uint32_t block, bool* erased)
{
    *erased = false;
    if (block >= m_geometry.PhysicalBlocks)
        return false;
    uint8_t packet[FLASH_ERASE_BYTES];
    FlashErasePacket(PageAddress(block, m_geometry.PagesPerBlock, 0), m_media, m_chipVersion, packet);
    uint8_t answer[FLASH_ERASE_ANSWER] = {};
    if (!Exchange(packet, sizeof packet, answer, sizeof answer))
        return false;
    *erased = GetLe(answer, 3) == 0;
    return true;
}

bool CFlashDevice::WritePage(uint32_t block, uint32_t page, const uint8_t* data, uint16_t logicalBlock)
{
    if (block >= m_geometry.PhysicalBlocks || page >= m_geometry.PagesPerBlock)
        return false;
    const uint32_t address = PageAddress(block, m_geometry.PagesPerBlock, page);
    if (IsSmallMedia(m_geometry.Index)) {
        uint8_t first[HALF_PAGE_WITH_SPARE], second[HALF_PAGE_WITH_SPARE];
        HalfPages(data, logicalBlock, first, second);
        uint8_t packet[FLASH_WRITE_PAGE_BYTES];
        FlashWritePagePacket(address, HALF_PAGE_WITH_SPARE, m_media, m_chipVersion, packet);
        if (!m_channel.Write(packet, sizeof packet) || !m_channel.Write(first, sizeof first))
            return false;
        FlashWritePagePacket(address + 256, HALF_PAGE_WITH_SPARE, m_media, m_chipVersion, packet);
        return m_channel.Write(packet, sizeof packet) && m_channel.Write(second, sizeof second);
    }
    uint8_t spare[SPARE_BYTES];
    DataPageSpare(data, logicalBlock, false, spare);
    return WritePageWithSpare(block, page, data, spare);
}

bool CFlashDevice::WritePageWithSpare(uint32_t block, uint32_t page, const uint8_t* data, const uint8_t* spare)
{
    if (block >= m_geometry.PhysicalBlocks || page >= m_geometry.PagesPerBlock)
        return false;
    uint8_t whole[PAGE_WITH_SPARE];
    memcpy(whole, data, PAGE_BYTES);
    memcpy(whole + PAGE_BYTES, spare, SPARE_BYTES);
    uint8_t packet[FLASH_WRITE_PAGE_BYTES];
    FlashWritePagePacket(PageAddress(block, m_geometry.PagesPerBlock, page), PAGE_WITH_SPARE, m_media,
                         m_chipVersion, packet);
    return m_channel.Write(packet, sizeof packet) && m_channel.Write(whole, sizeof whole);
}

bool CFlashDevice::ReadPages(uint32_t block, uint32_t firstPage, uint32_t count, uint8_t* out)
{
    if (block >= m_geometry.PhysicalBlocks || count == 0 || firstPage + count > m_geometry.PagesPerBlock)
        return false;
    uint8_t packet[FLASH_PAGES_BYTES];
    FlashPagesPacket(FLASH_READ_PAGES, PageAddress(block, m_geometry.PagesPerBlock, firstPage), PAGE_WITH_SPARE,
                     count, m_media, m_chipVersion, packet);
    return Exchange(packet, sizeof packet, out, count * PAGE_WITH_SPARE);
}

bool CFlashDevice::WritePages(uint32_t block, uint32_t firstPage, uint32_t count, const uint8_t* pages)
{
    if (block >= m_geometry.PhysicalBlocks || count == 0 || firstPage + count > m_geometry.PagesPerBlock)
        return false;
    uint8_t packet[FLASH_PAGES_BYTES];
    FlashPagesPacket(FLASH_WRITE_PAGES, PageAddress(block, m_geometry.PagesPerBlock, firstPage), PAGE_WITH_SPARE,
                     count, m_media, m_chipVersion, packet);
    return m_channel.Write(packet, sizeof packet) && m_channel.Write(pages, count * PAGE_WITH_SPARE);
}

bool CFlashDevice::WriteZeroBlock(uint32_t block)
{
    std::vector<uint8_t> zeros(static_cast<size_t>(m_geometry.PagesPerBlock) * PAGE_WITH_SPARE, 0);
    return WritePages(block, 0, m_geometry.PagesPerBlock, zeros.data());
}

bool CFlashDevice::ReadSpareEntries(uint32_t first, uint32_t count, uint8_t* out)
{
    if (count == 0 || first >= m_geometry.PhysicalBlocks || count > m_geometry.PhysicalBlocks - first)
        return false;
    uint8_t packet[FLASH_SPARES_BYTES];
    FlashSparesPacket(PageAddress(first, m_geometry.PagesPerBlock, 0), count, m_geometry.PagesPerBlock, m_media,
                      m_chipVersion, packet);
    return Exchange(packet, sizeof packet, out, count * SPARE_ENTRY_BYTES);
}

} // namespace qvmp3
