// A MultiMediaCard in the player, spoken to with the MMC command group: the
// one-packet commands and the three long operations built on them (erase the
// file-system sectors, erase the whole card, give it a FAT file system).
#pragma once

#include <stdint.h>

#include "PacketChannel.h"
#include "QvMp3Types.h"

namespace qvmp3 {

constexpr uint8_t DEFAULT_ERASE_GROUP = 32;
// Multiple-block transfers of the long operations go this many blocks at a time.
constexpr uint16_t CARD_WRITE_CHUNK = 16;

class CMmcCard {
public:
    CMmcCard(IPacketChannel& channel, uint8_t card) : m_channel(channel), m_card(card) {}

    // Each returns 1 on success, 0 on failure, as the exports do.
    int Detect(uint32_t* size, uint8_t* status, uint8_t* cardByte, uint8_t* eraseGroup);
    int ReadStatus(uint16_t* status);
    int ReadCid(_MMC_CID* cid, uint8_t* status);
    int ReadOcr(uint32_t* ocr, uint8_t* status);
    int ReadCsd(_MMC_CSD* csd, uint8_t* status);
    int ProgramCsd(const _MMC_CSD* csd, uint8_t* status);
    int ReadBlock(uint32_t block, uint8_t* data);
    int ReadBlocks(uint32_t block, uint16_t count, uint8_t* data);
    int WriteBlock(uint32_t block, const uint8_t* data);
    int WriteBlocks(uint32_t block, uint16_t count, const uint8_t* data);
    int Erase(uint32_t firstBlock, uint32_t count, uint8_t* status);

    int EraseFileSystemSectors(uint32_t cardBlocks, double* percent);
    int EraseAllBlocks(uint32_t cardBlocks, double* percent);
    int Format(uint32_t cardBlocks, double* percent);

private:
    bool Exchange(const uint8_t* packet, uint32_t length, uint8_t* answer, uint32_t answerLength);
    // A command whose answer starts with a status byte: 1 when it is 0.
    int StatusCommand(const uint8_t* packet, uint32_t length, uint8_t* answer, uint32_t answerLength, uint8_t* status);
    int WriteZeroBlocks(uint32_t block, uint32_t count);
    uint8_t EraseGroup();

    IPacketChannel& m_channel;
    uint8_t m_card;
};

} // namespace qvmp3
