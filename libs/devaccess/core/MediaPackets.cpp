#include "MediaPackets.h"

#include <string.h>

namespace qvmp3 {

void PutLe(uint8_t* p, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLe(const uint8_t* p, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++)
        value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

uint8_t FlashFlag(uint8_t command, uint32_t chipVersion)
{
    if (chipVersion <= 256)
        return 0;
    switch (command) {
    case FLASH_READ_PAGES:
    case FLASH_IDENTIFY:
    case FLASH_READ_SPARES:
        return 0x80;
    default:
        return 0x40;
    }
}

void FlashIdentifyPacket(uint8_t media, uint32_t chipVersion, uint8_t (&packet)[FLASH_IDENTIFY_BYTES])
{
    memset(packet, 0, sizeof packet);
    packet[0] = FLASH_IDENTIFY;
    packet[1] = GROUP_FLASH;
    packet[2] = FlashFlag(FLASH_IDENTIFY, chipVersion);
    packet[3] = media;
}

void FlashPagesPacket(uint8_t command, uint32_t address, uint32_t pageSize, uint32_t count, uint8_t media,
                      uint32_t chipVersion, uint8_t (&packet)[FLASH_PAGES_BYTES])
{
    memset(packet, 0, sizeof packet);
    packet[0] = command;
    packet[1] = GROUP_FLASH;
    packet[2] = FlashFlag(command, chipVersion);
    PutLe(packet + 3, address, 4);
    PutLe(packet + 9, pageSize, 3);
    PutLe(packet + 12, count, 3);
    PutLe(packet + 15, Units64(count * pageSize), 3);
    PutLe(packet + 18, media, 3);
}

void FlashWritePagePacket(uint32_t address, uint16_t pageSize, uint8_t media, uint32_t chipVersion,
                          uint8_t (&packet)[FLASH_WRITE_PAGE_BYTES])
{
    memset(packet, 0, sizeof packet);
    packet[0] = FLASH_WRITE_PAGE;
    packet[1] = GROUP_FLASH;
    packet[2] = FlashFlag(FLASH_WRITE_PAGE, chipVersion);
    PutLe(packet + 3, address, 4);
    PutLe(packet + 9, pageSize, 2);
    packet[12] = media;
}

void FlashErasePacket(uint32_t address, uint8_t media, uint32_t chipVersion, uint8_t (&packet)[FLASH_ERASE_BYTES])
{
    memset(packet, 0, sizeof packet);
    packet[0] = FLASH_ERASE_BLOCK;
    packet[1] = GROUP_FLASH;
    packet[2] = FlashFlag(FLASH_ERASE_BLOCK, chipVersion);
    PutLe(packet + 3, address, 4);
    packet[12] = media;
}

void FlashSparesPacket(uint32_t address, uint32_t blocks, uint32_t pagesPerBlock, uint8_t media,
                       uint32_t chipVersion, uint8_t (&packet)[FLASH_SPARES_BYTES])
{
    memset(packet, 0, sizeof packet);
    packet[0] = FLASH_READ_SPARES;
    packet[1] = GROUP_FLASH;
    packet[2] = FlashFlag(FLASH_READ_SPARES, chipVersion);
    PutLe(packet + 3, address, 4);
    PutLe(packet + 9, blocks, 3);
    PutLe(packet + 12, pagesPerBlock, 3);
    PutLe(packet + 15, Units64(blocks * SPARE_ENTRY_BYTES), 3);
    PutLe(packet + 18, media, 3);
}

uint8_t MmcFlag(uint8_t command)
{
    switch (command) {
    case 2: case 3: case 4: case 6: case 7:
        return 0x80;
    case 5: case 8: case 9: case 10:
        return 0x40;
    default:
        return 0;
    }
}

MmcPacket MmcSimplePacket(uint8_t command, uint8_t card)
{
    MmcPacket packet = {};
    packet.Bytes[0] = command;
    packet.Bytes[1] = GROUP_MMC;
    packet.Bytes[2] = MmcFlag(command);
    packet.Bytes[3] = card;
    packet.Length = 6;
    return packet;
}

MmcPacket MmcBlockPacket(uint8_t command, uint8_t card, uint32_t block)
{
    MmcPacket packet = MmcSimplePacket(command, card);
    PutLe(packet.Bytes + 6, static_cast<uint64_t>(block) * MMC_BLOCK_BYTES, 4);
    packet.Length = 12;
    return packet;
}

MmcPacket MmcBlocksPacket(uint8_t command, uint8_t card, uint32_t block, uint16_t count)
{
    MmcPacket packet = MmcBlockPacket(command, card, block);
    PutLe(packet.Bytes + 12, count, 2);
    packet.Length = 15;
    return packet;
}

MmcPacket MmcErasePacket(uint8_t card, uint32_t firstBlock, uint32_t count)
{
    MmcPacket packet = MmcSimplePacket(MMC_ERASE, card);
    PutLe(packet.Bytes + 6, static_cast<uint64_t>(firstBlock) * MMC_BLOCK_BYTES, 4);
    PutLe(packet.Bytes + 12, (static_cast<uint64_t>(firstBlock) + count - 1) * MMC_BLOCK_BYTES, 4);
    packet.Length = 18;
    return packet;
}

MmcPacket MmcProgramCsdPacket(uint8_t card, const uint8_t (&csd)[16])
{
    MmcPacket packet = MmcSimplePacket(MMC_PROGRAM_CSD, card);
    memcpy(packet.Bytes + 6, csd, 16);
    packet.Length = 24;
    return packet;
}

uint32_t MmcAnswerBytes(uint8_t command)
{
    switch (command) {
    case MMC_DETECT: return 15;
    case MMC_READ_STATUS: return 3;
    case MMC_READ_CID: return 23;
    case MMC_READ_OCR: return 9;
    case MMC_READ_CSD: return 21;
    case MMC_PROGRAM_CSD: return 3;
    case MMC_ERASE: return 3;
    default: return 0;
    }
}

} // namespace qvmp3
