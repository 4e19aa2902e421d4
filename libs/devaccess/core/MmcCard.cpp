#include "MmcCard.h"

#include <string.h>

#include <vector>

#include "CardFormat.h"
#include "MediaPackets.h"

namespace qvmp3 {

namespace {

bool Addressable(uint32_t block, uint32_t count)
{
    return block < MMC_ADDRESSABLE_BLOCKS && count <= MMC_ADDRESSABLE_BLOCKS - block;
}

void Step(double* percent)
{
    if (percent)
        *percent += 1.0;
}

void Finish(double* percent)
{
    if (percent)
        *percent = 100.0;
}

} // namespace

bool CMmcCard::Exchange(const uint8_t* packet, uint32_t length, uint8_t* answer, uint32_t answerLength)
{
    if (!m_channel.Write(packet, length))
        return false;
    return answerLength == 0 || m_channel.Read(answer, answerLength);
}

int CMmcCard::StatusCommand(const uint8_t* packet, uint32_t length, uint8_t* answer, uint32_t answerLength,
                            uint8_t* status)
{
    if (status)
        *status = 0;
    if (!Exchange(packet, length, answer, answerLength))
        return 0;
    if (status)
        *status = answer[0];
    return answer[0] == 0 ? 1 : 0;
}

int CMmcCard::Detect(uint32_t* size, uint8_t* status, uint8_t* cardByte, uint8_t* eraseGroup)
{
    MmcPacket packet = MmcSimplePacket(MMC_DETECT, m_card);
    uint8_t answer[15] = {};
    if (size)
        *size = 0;
    if (cardByte)
        *cardByte = 0;
    if (eraseGroup)
        *eraseGroup = DEFAULT_ERASE_GROUP;
    if (status)
        *status = 0;
    if (!Exchange(packet.Bytes, packet.Length, answer, sizeof answer))
        return 0;
    if (status)
        *status = answer[0];
    if (eraseGroup)
        *eraseGroup = answer[12];
    if (answer[0] != 0)
        return 0;
    if (size)
        *size = GetLe(answer + 3, 4);
    if (cardByte)
        *cardByte = answer[9];
    return 1;
}

int CMmcCard::ReadStatus(uint16_t* status)
{
    MmcPacket packet = MmcSimplePacket(MMC_READ_STATUS, m_card);
    uint8_t answer[3] = {};
    if (!Exchange(packet.Bytes, packet.Length, answer, sizeof answer))
        return 0;
    if (status)
        *status = static_cast<uint16_t>(GetLe(answer, 2));
    return 1;
}

int CMmcCard::ReadCid(_MMC_CID* cid, uint8_t* status)
{
    MmcPacket packet = MmcSimplePacket(MMC_READ_CID, m_card);
    // The 20-byte record from answer offset 3 reaches past the 21 bytes the
    // answer is said to have: read all 23 (one 64-byte unit either way).
    uint8_t answer[3 + sizeof(_MMC_CID)] = {};
    int ok = StatusCommand(packet.Bytes, packet.Length, answer, sizeof answer, status);
    if (ok && cid)
        memcpy(cid->Bytes, answer + 3, sizeof cid->Bytes);
    return ok;
}

int CMmcCard::ReadOcr(uint32_t* ocr, uint8_t* status)
{
    MmcPacket packet = MmcSimplePacket(MMC_READ_OCR, m_card);
    uint8_t answer[9] = {};
    int ok = StatusCommand(packet.Bytes, packet.Length, answer, sizeof answer, status);
    if (ok && ocr)
        *ocr = GetLe(answer + 3, 4);
    return ok;
}

int CMmcCard::ReadCsd(_MMC_CSD* csd, uint8_t* status)
{
    MmcPacket packet = MmcSimplePacket(MMC_READ_CSD, m_card);
    uint8_t answer[21] = {};
    int ok = StatusCommand(packet.Bytes, packet.Length, answer, sizeof answer, status);
    if (ok && csd)
        memcpy(csd->Bytes, answer + 3, sizeof csd->Bytes);
    return ok;
}

int CMmcCard::ProgramCsd(const _MMC_CSD* csd, uint8_t* status)
{
    if (status)
        *status = 0;
    if (!csd)
        return 0;
    MmcPacket packet = MmcProgramCsdPacket(m_card, csd->Bytes);
    uint8_t answer[3] = {};
    return StatusCommand(packet.Bytes, packet.Length, answer, sizeof answer, status);
}

int CMmcCard::ReadBlock(uint32_t block, uint8_t* data)
{
    if (!data || !Addressable(block, 1))
        return 0;
    MmcPacket packet = MmcBlockPacket(MMC_READ_BLOCK, m_card, block);
    return Exchange(packet.Bytes, packet.Length, data, MMC_BLOCK_BYTES) ? 1 : 0;
}

int CMmcCard::ReadBlocks(uint32_t block, uint16_t count, uint8_t* data)
{
    if (!data)
        return 0;
    if (count == 0)
        return 1;
    if (!Addressable(block, count))
        return 0;
    MmcPacket packet = MmcBlocksPacket(MMC_READ_BLOCKS, m_card, block, count);
    return Exchange(packet.Bytes, packet.Length, data, count * MMC_BLOCK_BYTES) ? 1 : 0;
}

int CMmcCard::WriteBlock(uint32_t block, const uint8_t* data)
{
    if (!data || !Addressable(block, 1))
        return 0;
    MmcPacket packet = MmcBlockPacket(MMC_WRITE_BLOCK, m_card, block);
    return m_channel.Write(packet.Bytes, packet.Length) && m_channel.Write(data, MMC_BLOCK_BYTES) ? 1 : 0;
}

int CMmcCard::WriteBlocks(uint32_t block, uint16_t count, const uint8_t* data)
{
    if (!data)
        return 0;
    if (count == 0)
        return 1;
    if (!Addressable(block, count))
        return 0;
    MmcPacket packet = MmcBlocksPacket(MMC_WRITE_BLOCKS, m_card, block, count);
    return m_channel.Write(packet.Bytes, packet.Length) && m_channel.Write(data, count * MMC_BLOCK_BYTES) ? 1 : 0;
}

int CMmcCard::Erase(uint32_t firstBlock, uint32_t count, uint8_t* status)
{
    if (status)
        *status = 0;
    if (count == 0)
        return 1;
    if (!Addressable(firstBlock, count))
        return 0;
    MmcPacket packet = MmcErasePacket(m_card, firstBlock, count);
    uint8_t answer[3] = {};
    return StatusCommand(packet.Bytes, packet.Length, answer, sizeof answer, status);
}

uint8_t CMmcCard::EraseGroup()
{
    uint8_t group = DEFAULT_ERASE_GROUP;
    Detect(nullptr, nullptr, nullptr, &group);
    return group;
}

int CMmcCard::WriteZeroBlocks(uint32_t block, uint32_t count)
{
    std::vector<uint8_t> zeros(static_cast<size_t>(CARD_WRITE_CHUNK) * MMC_BLOCK_BYTES, 0);
    while (count > 0) {
        uint16_t chunk = static_cast<uint16_t>(count < CARD_WRITE_CHUNK ? count : CARD_WRITE_CHUNK);
        if (!WriteBlocks(block, chunk, zeros.data()))
            return 0;
        block += chunk;
        count -= chunk;
    }
    return 1;
}

int CMmcCard::EraseFileSystemSectors(uint32_t cardBlocks, double* percent)
{
    const uint32_t group = EraseGroup();
    const uint32_t sectors = FileSystemSectorsOfCard(cardBlocks);
    int ok = 1;
    if (group == 0) {
        ok = WriteZeroBlocks(0, sectors);
    } else {
        const uint32_t groups = sectors / group;
        const uint32_t step = groups / 100 ? groups / 100 : 1;
        for (uint32_t i = 0; i < groups && ok; i++) {
            ok = Erase(i * group, group, nullptr);
            if ((i + 1) % step == 0)
                Step(percent);
        }
        if (ok)
            ok = WriteZeroBlocks(groups * group, sectors % group);
    }
    Finish(percent);
    return ok;
}

int CMmcCard::EraseAllBlocks(uint32_t cardBlocks, double* percent)
{
    const uint32_t group = EraseGroup();
    int ok = 1;
    // A card that reports no erase group cannot be erased by groups at all.
    if (group == 0 || cardBlocks > MMC_ADDRESSABLE_BLOCKS) {
        ok = 0;
    } else {
        const uint32_t groups = cardBlocks / group;
        const uint32_t step = groups / 100 ? groups / 100 : 1;
        for (uint32_t i = 0; i < groups && ok; i++) {
            ok = Erase(i * group, group, nullptr);
            if ((i + 1) % step == 0)
                Step(percent);
        }
        // The blocks after the last whole group are cleared by writing.
        if (ok)
            ok = WriteZeroBlocks(groups * group, cardBlocks % group);
    }
    Finish(percent);
    return ok;
}

int CMmcCard::Format(uint32_t cardBlocks, double* percent)
{
    CardFormat format;
    int ok = PlanCardFormat(cardBlocks, &format) ? 1 : 0;
    uint8_t sector[512];
    if (ok) {
        CardPartitionSector(format, sector);
        ok = WriteBlock(0, sector);
        Step(percent);
    }
    if (ok) {
        CardBootSector(format, sector);
        ok = WriteBlock(1, sector);
        Step(percent);
    }
    if (ok) {
        ok = WriteZeroBlocks(2, 2 * format.SectorsPerFat);
        Step(percent);
    }
    if (ok) {
        FatStartSector(format.Fat16, sector);
        ok = WriteBlock(2, sector) && WriteBlock(2 + format.SectorsPerFat, sector);
        Step(percent);
    }
    if (ok) {
        ok = WriteZeroBlocks(format.RootBlock(), CARD_ROOT_SECTORS);
        Step(percent);
    }
    Finish(percent);
    return ok;
}

} // namespace qvmp3
