// The command packets of the flash media group (1) and the MMC card group (2)
// written out as bytes. This header is a document, not code: the library's
// packet builders and the simulated player's own packet readers are each
// checked against these tables in their tests, and neither includes the
// other. Multi-byte fields are little-endian; 24-bit fields are 3 bytes.
//
// Flash, header {command, 1, flag, ...}: the flag is 0 for chips of version
// 256 and below, else 0x80 for reads (3, 6, 12) and 0x40 for writes (0, 1, 4).
//
//   command 6  identify   6 bytes: media number at 3. Answer 6 bytes: 24-bit
//                         status (0 = media present), maker code at 3, device
//                         code at 4.
//   command 3  read pages 21 bytes: page address (page number x 512, 32-bit)
//                         at 3; 24-bit fields: page size with spare at 9, page
//                         count at 12, length in 64-byte units at 15, media
//                         number at 18. Answer: count x size bytes.
//   command 1  write pages  as command 3; count x size bytes follow.
//   command 0  write page 15 bytes: page address at 3, page size (16-bit) at
//                         9, media number at 12; one page (or half page, size
//                         264, on the small media) follows.
//   command 4  erase      15 bytes: address of the block's first page at 3,
//                         media number at 12. Answer 6 bytes: 24-bit status
//                         (0 = erased), then a byte.
//   command 12 spares     24 bytes: address of the first block at 3; 24-bit
//                         fields: block count at 9, pages per block at 12,
//                         length in 64-byte units at 15, media number at 18.
//                         Answer: 6 bytes a block (data status and block status
//                         of page 0, spare bytes 6-7 of page 0, spare bytes 6-7
//                         of page 1), in whole 64-byte units.
//
// MMC, header {command, 2, flag, card, 0, 0}, arguments from 6: see the tables.
#pragma once

#include <stdint.h>

namespace media_protocol {

// Read 2 pages of 528 bytes from page 40 (address 0x5000) of media 0, new chip.
constexpr uint8_t FLASH_READ_PAGES[21] = {3, 1, 0x80, 0x00, 0x50, 0x00, 0x00, 0, 0, 0x10, 0x02, 0x00,
                                          0x02, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr uint32_t FLASH_READ_PAGES_ADDRESS = 0x5000, FLASH_READ_PAGES_SIZE = 528, FLASH_READ_PAGES_COUNT = 2,
                   FLASH_READ_PAGES_UNITS = 17;
// Write 32 pages from block 3 of a 32-page media (page 96, address 0xC000), old chip.
constexpr uint8_t FLASH_WRITE_PAGES[21] = {1, 1, 0x00, 0x00, 0xC0, 0x00, 0x00, 0, 0, 0x10, 0x02, 0x00,
                                           0x20, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00};
constexpr uint32_t FLASH_WRITE_PAGES_ADDRESS = 0xC000, FLASH_WRITE_PAGES_COUNT = 32, FLASH_WRITE_PAGES_UNITS = 264;
// Erase block 2 of a 16-page media (page 32, address 0x4000), new chip.
constexpr uint8_t FLASH_ERASE[15] = {4, 1, 0x40, 0x00, 0x40, 0x00, 0x00, 0, 0, 0, 0, 0, 0x00, 0, 0};
constexpr uint32_t FLASH_ERASE_ADDRESS = 0x4000;
// Write one page of 528 bytes at page 17 (address 0x2200), new chip.
constexpr uint8_t FLASH_WRITE_PAGE[15] = {0, 1, 0x40, 0x00, 0x22, 0x00, 0x00, 0, 0, 0x10, 0x02, 0, 0x00, 0, 0};
// The second half of page 1 of a small media: address 0x200 + 256, size 264.
constexpr uint8_t FLASH_WRITE_HALF_PAGE[15] = {0, 1, 0x40, 0x00, 0x03, 0x00, 0x00, 0, 0, 0x08, 0x01, 0, 0x00, 0, 0};
// Spare entries of 256 blocks from block 256 of a 32-page media (page 8192,
// address 0x400000), new chip: 1536 bytes, 24 units.
constexpr uint8_t FLASH_SPARES[24] = {12, 1, 0x80, 0x00, 0x00, 0x40, 0x00, 0, 0, 0x00, 0x01, 0x00,
                                      0x20, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 0};
constexpr uint32_t FLASH_SPARES_FIRST_BLOCK = 256, FLASH_SPARES_COUNT = 256, FLASH_SPARES_PAGES = 32;
constexpr uint8_t FLASH_IDENTIFY[6] = {6, 1, 0x80, 0x00, 0, 0};

// MMC: read 3 blocks from block 5 of card 0 (byte address 0xA00).
constexpr uint8_t MMC_READ_BLOCKS[15] = {7, 2, 0x80, 0, 0, 0, 0x00, 0x0A, 0x00, 0x00, 0, 0, 0x03, 0x00, 0};
// MMC: write block 0x12345 (byte address 0x02468A00).
constexpr uint8_t MMC_WRITE_BLOCK[12] = {8, 2, 0x40, 0, 0, 0, 0x00, 0x8A, 0x46, 0x02, 0, 0};
// MMC: erase 32 blocks from block 64: first 0x8000, last (64 + 31) x 512 = 0xBE00.
constexpr uint8_t MMC_ERASE[18] = {10, 2, 0x40, 0, 0, 0, 0x00, 0x80, 0x00, 0x00, 0, 0, 0x00, 0xBE, 0x00, 0x00, 0, 0};
constexpr uint8_t MMC_DETECT[6] = {0, 2, 0x00, 0, 0, 0};
constexpr uint8_t MMC_READ_CSD[6] = {4, 2, 0x80, 0, 0, 0};

} // namespace media_protocol
