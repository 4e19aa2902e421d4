// The MMC card commands: one command packet of the MMC group each, and the
// erase and format operations built on them. They take no library lock.
#include <string.h>

#include "DriverChannel.h"
#include "MmcCard.h"
#include "QvMp3State.h"

using namespace qvmp3;

namespace {

CMmcCard Card(unsigned char card)
{
    static CDriverChannel channel;
    return CMmcCard(channel, card);
}

} // namespace

int QvMp3MMCDetectMedia(unsigned char card, unsigned long* size, unsigned char* status, unsigned char* cardByte,
                        unsigned char* eraseGroup)
{
    uint32_t blocks = 0;
    int ok = Card(card).Detect(&blocks, status, cardByte, eraseGroup);
    if (size)
        *size = blocks;
    return ok;
}

int QvMp3MMCReadStatus(unsigned char card, unsigned short* status)
{
    uint16_t value = 0;
    int ok = Card(card).ReadStatus(&value);
    if (ok && status)
        *status = value;
    return ok;
}

int QvMp3MMCReadCID(unsigned char card, _MMC_CID* cid, unsigned char* status)
{
    return Card(card).ReadCid(cid, status);
}

int QvMp3MMCReadOCR(unsigned char card, unsigned long* ocr, unsigned char* status)
{
    uint32_t value = 0;
    int ok = Card(card).ReadOcr(&value, status);
    if (ok && ocr)
        *ocr = value;
    return ok;
}

int QvMp3MMCReadCSD(unsigned char card, _MMC_CSD* csd, unsigned char* status)
{
    return Card(card).ReadCsd(csd, status);
}

int QvMp3MMCProgramCSD(unsigned char card, _MMC_CSD* csd, unsigned char* status)
{
    return Card(card).ProgramCsd(csd, status);
}

int QvMp3MMCReadBlock(unsigned char card, unsigned long block, unsigned char* data)
{
    return Card(card).ReadBlock(block, data);
}

int QvMp3MMCReadMultipleBlock(unsigned char card, unsigned long block, unsigned short count, unsigned char* data)
{
    return Card(card).ReadBlocks(block, count, data);
}

int QvMp3MMCWriteBlock(unsigned char card, unsigned long block, unsigned char* data)
{
    return Card(card).WriteBlock(block, data);
}

int QvMp3MMCWriteMultipleBlock(unsigned char card, unsigned long block, unsigned short count, unsigned char* data)
{
    return Card(card).WriteBlocks(block, count, data);
}

int QvMp3MMCErase(unsigned char card, unsigned long firstBlock, unsigned long count, unsigned char* status)
{
    return Card(card).Erase(firstBlock, count, status);
}

int QvMp3MMCEraseFileSystemSectors(unsigned char card, unsigned long cardBlocks, double* percent)
{
    try {
        return Card(card).EraseFileSystemSectors(cardBlocks, percent);
    } catch (...) {
        return 0;
    }
}

int QvMp3MMCEraseAllBlocks(unsigned char card, unsigned long cardBlocks, double* percent)
{
    try {
        return Card(card).EraseAllBlocks(cardBlocks, percent);
    } catch (...) {
        return 0;
    }
}

int QvMp3MMCFormat(unsigned char card, unsigned long cardBlocks, double* percent)
{
    try {
        return Card(card).Format(cardBlocks, percent);
    } catch (...) {
        return 0;
    }
}
