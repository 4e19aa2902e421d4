// Records of the device access library that need no Windows header: the
// caller's description of firmware files and the media status codes. Shared
// by the exported interface (QvMp3.h) and the Windows-free core.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Up to 12 firmware or resource files handed to the media functions.
// Little-endian; the caller's own fields are carried, never read.
struct _BinaryFilesInformation {
    uint32_t FileCount;             // at most 12
    uint8_t CallerData[6240];
    uint32_t LeadFile;              // counted from 1
    uint8_t CallerData2[8];
    uint8_t AreaTag[12];            // the letter of each file's area on the media
    uint32_t Kind[12];              // 1 S-record file, 0 raw image
    uint32_t MediaVersion01[12];    // version words 0 and 1 read from the media
    uint32_t MediaVersion23[12];    // version words 2 and 3 read from the media
    uint32_t FileVersion23[12];     // version words 2 and 3 of the file
    uint32_t FileVersion01[12];     // version words 0 and 1 of the file
};
static_assert(offsetof(_BinaryFilesInformation, LeadFile) == 6244, "lead file at 6244");
static_assert(offsetof(_BinaryFilesInformation, AreaTag) == 6256, "area tags at 6256");
static_assert(offsetof(_BinaryFilesInformation, Kind) == 6268, "kinds at 6268");
static_assert(offsetof(_BinaryFilesInformation, MediaVersion01) == 6316, "media versions at 6316");
static_assert(offsetof(_BinaryFilesInformation, FileVersion23) == 6412, "file versions at 6412");
static_assert(sizeof(_BinaryFilesInformation) == 6508, "the record is 6508 bytes");

enum PROGRAM_MEDIA_STATUS {
    PROGRAM_MEDIA_OK = 0,
    PROGRAM_MEDIA_NO_MEMORY = 1,
    PROGRAM_MEDIA_BAD_IMAGE = 2,
    PROGRAM_MEDIA_NO_DEVICE_INFO = 3,
    PROGRAM_MEDIA_ERASE_FAILED = 4,
    PROGRAM_MEDIA_WRITE_FAILED = 6,
    PROGRAM_MEDIA_BAD_MEDIA = 8,
    PROGRAM_MEDIA_RESERVED_MISMATCH = 9,
    PROGRAM_MEDIA_NO_SPACE = 10,
};

// The MMC card's identity and specific data, passed through as the card gives them.
struct _MMC_CID {
    uint8_t Bytes[20];
};
struct _MMC_CSD {
    uint8_t Bytes[16];
};
