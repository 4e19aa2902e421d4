// Command packets of the flash media group (1) and the MMC card group (2) on
// the driver's data channel. Multi-byte fields are little-endian.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace qvmp3 {

enum : uint8_t { GROUP_FLASH = 1, GROUP_MMC = 2 };

// ---- flash ----
enum : uint8_t {
    FLASH_WRITE_PAGE = 0,
    FLASH_WRITE_PAGES = 1,
    FLASH_READ_PAGES = 3,
    FLASH_ERASE_BLOCK = 4,
    FLASH_IDENTIFY = 6,
    FLASH_READ_SPARES = 12,
};
constexpr size_t FLASH_IDENTIFY_BYTES = 6;
constexpr size_t FLASH_PAGES_BYTES = 21;      // commands 3 and 1
constexpr size_t FLASH_WRITE_PAGE_BYTES = 15; // command 0
constexpr size_t FLASH_ERASE_BYTES = 15;      // command 4
constexpr size_t FLASH_SPARES_BYTES = 24;     // command 12
constexpr uint32_t FLASH_IDENTIFY_ANSWER = 6;
constexpr uint32_t FLASH_ERASE_ANSWER = 6;
// Command 12 answers one entry per block: data status and block status of
// its first page, spare bytes 6 and 7 of its first and of its second page.
constexpr uint32_t SPARE_ENTRY_BYTES = 6;
constexpr uint32_t SPARE_ENTRIES_PER_READ = 256;

// The direction flag: none for the old chips (version up to 256).
uint8_t FlashFlag(uint8_t command, uint32_t chipVersion);

void FlashIdentifyPacket(uint8_t media, uint32_t chipVersion, uint8_t (&packet)[FLASH_IDENTIFY_BYTES]);
// Commands 3 and 1: page address at 3, then 24-bit page size, page count,
// length in 64-byte units and media number at 9, 12, 15 and 18.
void FlashPagesPacket(uint8_t command, uint32_t address, uint32_t pageSize, uint32_t count, uint8_t media,
                      uint32_t chipVersion, uint8_t (&packet)[FLASH_PAGES_BYTES]);
inline uint32_t Units64(uint32_t bytes) { return (bytes - 1) / 64 + 1; }
void FlashWritePagePacket(uint32_t address, uint16_t pageSize, uint8_t media, uint32_t chipVersion,
                          uint8_t (&packet)[FLASH_WRITE_PAGE_BYTES]);
void FlashErasePacket(uint32_t address, uint8_t media, uint32_t chipVersion, uint8_t (&packet)[FLASH_ERASE_BYTES]);
// Command 12: first block's address at 3, then 24-bit block count, pages per
// block, length in 64-byte units and media number at 9, 12, 15 and 18.
void FlashSparesPacket(uint32_t address, uint32_t blocks, uint32_t pagesPerBlock, uint8_t media,
                       uint32_t chipVersion, uint8_t (&packet)[FLASH_SPARES_BYTES]);
// Page addresses are the page number × 512.
inline uint32_t PageAddress(uint32_t block, uint32_t pagesPerBlock, uint32_t page)
{
    return (block * pagesPerBlock + page) * 512u;
}

// ---- MMC card ----
enum : uint8_t {
    MMC_DETECT = 0,
    MMC_READ_STATUS = 1,
    MMC_READ_CID = 2,
    MMC_READ_OCR = 3,
    MMC_READ_CSD = 4,
    MMC_PROGRAM_CSD = 5,
    MMC_READ_BLOCK = 6,
    MMC_READ_BLOCKS = 7,
    MMC_WRITE_BLOCK = 8,
    MMC_WRITE_BLOCKS = 9,
    MMC_ERASE = 10,
};
constexpr size_t MMC_PACKET_MAX = 24;
constexpr uint32_t MMC_BLOCK_BYTES = 512;
// Byte addresses are 32-bit: blocks from here on cannot be named.
constexpr uint32_t MMC_ADDRESSABLE_BLOCKS = 0x800000;

struct MmcPacket {
    uint8_t Bytes[MMC_PACKET_MAX];
    uint32_t Length;
};
uint8_t MmcFlag(uint8_t command);
// Header {command, 2, flag, card, 0, 0}; the arguments follow at 6.
MmcPacket MmcSimplePacket(uint8_t command, uint8_t card);
MmcPacket MmcBlockPacket(uint8_t command, uint8_t card, uint32_t block);
MmcPacket MmcBlocksPacket(uint8_t command, uint8_t card, uint32_t block, uint16_t count);
MmcPacket MmcErasePacket(uint8_t card, uint32_t firstBlock, uint32_t count);
MmcPacket MmcProgramCsdPacket(uint8_t card, const uint8_t (&csd)[16]);
// The answer lengths of the commands that answer.
uint32_t MmcAnswerBytes(uint8_t command);

void PutLe(uint8_t* p, uint64_t value, int bytes);
uint32_t GetLe(const uint8_t* p, int bytes);

} // namespace qvmp3
