// Firmware image files: Motorola S-record files of 24-bit program words and
// raw binary images, their conversion into the block and page images the
// player loads, and the version words each kind carries.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "QvMp3Types.h"

namespace qvmp3 {

constexpr uint32_t MAX_FILES = 12;
constexpr uint32_t FILE_KIND_SRECORD = 1;

struct FileVersion {
    uint16_t Words[4] = {0, 0, 0, 0};
};

// S-record text to the block image: for every S1 record a 6-byte header
// (load address, memory code × 16, word count, 0) and its data bytes. False
// when a record is truncated, holds a non-hex digit or fails its checksum.
bool ConvertSRecords(const uint8_t* text, size_t length, std::vector<uint8_t>* blocks);

// The version of an S-record file: the last S9 record of count 11; 0.0.0.0
// without one. False when an S9 record is unreadable.
bool SRecordVersion(const uint8_t* text, size_t length, FileVersion* version);

// The version of a raw image: "Version" 15 bytes before the end, then the
// last 8 bytes as four little-endian words; 0.0.0.0 otherwise.
FileVersion RawImageVersion(const uint8_t* image, size_t length);

// The page image of an S-record file: the caller's header (3-byte groups with
// their outer bytes swapped), the converted blocks, the end mark and the three
// front words, shifted by one bit. PROGRAM_MEDIA_BAD_IMAGE for a header not in
// whole 3-byte groups, a bad record, no end record after the last data record
// or blocks not in whole words.
PROGRAM_MEDIA_STATUS SRecordPageImage(const uint8_t* header, size_t headerLength, const uint8_t* text,
                                      size_t length, std::vector<uint8_t>* image);
// Puts the three front words before an image of whole 24-bit words.
bool AddFrontWords(std::vector<uint8_t>* image);

// Raw images go 510 bytes to a 512-byte page.
constexpr uint32_t RAW_BYTES_PER_PAGE = 510;
constexpr uint32_t PAGE_DATA_BYTES = 512;
std::vector<uint8_t> RawPageImage(const uint8_t* image, size_t length);

// Fills the file-version slots of every file; PROGRAM_MEDIA_BAD_IMAGE for more
// than 12 files, a missing image or an unreadable S-record end record.
PROGRAM_MEDIA_STATUS ReadFileVersions(const uint8_t* const* images, const uint32_t* sizes,
                                      _BinaryFilesInformation* info);
void PutVersion(const FileVersion& version, uint32_t* slot01, uint32_t* slot23);
FileVersion GetVersion(uint32_t slot01, uint32_t slot23);

} // namespace qvmp3
