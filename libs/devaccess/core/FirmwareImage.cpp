#include "FirmwareImage.h"

#include <string.h>

namespace qvmp3 {

namespace {

int HexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// One record starting at an 'S': its type, count, bytes after the count
// (address, data, checksum) and where the text goes on.
struct Record {
    uint8_t Type = 0;
    uint8_t Count = 0;
    std::vector<uint8_t> Bytes; // Count bytes: address, data, checksum
    size_t Start = 0;
};

bool ReadByteAt(const uint8_t* text, size_t length, size_t at, uint8_t* value)
{
    if (at > length || length - at < 2)
        return false;
    int high = HexDigit(text[at]);
    int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0)
        return false;
    *value = static_cast<uint8_t>(high * 16 + low);
    return true;
}

// Reads and checks the record whose 'S' stands at start: the count n is
// followed by n - 1 bytes and the ones' complement of their sum with n.
bool ReadRecord(const uint8_t* text, size_t length, size_t start, Record* record)
{
    record->Start = start;
    record->Type = text[start + 1];
    if (!ReadByteAt(text, length, start + 2, &record->Count) || record->Count == 0)
        return false;
    record->Bytes.resize(record->Count);
    unsigned sum = record->Count;
    for (size_t i = 0; i < record->Count; i++) {
        if (!ReadByteAt(text, length, start + 4 + 2 * i, &record->Bytes[i]))
            return false;
        if (i + 1 < record->Count)
            sum += record->Bytes[i];
    }
    return static_cast<uint8_t>(~sum) == record->Bytes[record->Count - 1];
}

uint8_t MemoryCodeByte(uint8_t space, uint16_t address)
{
    uint8_t code;
    switch (space) {
    case 1: code = 2; break;
    case 2: code = 1; break;
    case 3: code = 3; break;
    case 4: code = 4; break;
    default: code = static_cast<uint8_t>(address); break;
    }
    return static_cast<uint8_t>(code * 16);
}

void PutWord24(std::vector<uint8_t>* out, uint32_t word)
{
    out->push_back(static_cast<uint8_t>(word));
    out->push_back(static_cast<uint8_t>(word >> 8));
    out->push_back(static_cast<uint8_t>(word >> 16));
}

uint32_t GetWord24(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

// Calls visit for every 'S' followed by a record type this system reads.
template <typename Visit>
bool ForEachRecord(const uint8_t* text, size_t length, Visit visit)
{
    for (size_t at = 0; at + 1 < length; at++) {
        if (text[at] != 'S')
            continue;
        uint8_t type = text[at + 1];
        if (type != '0' && type != '1' && type != '9')
            continue;
        if (!visit(at, type))
            return false;
    }
    return true;
}

// True when an end record follows the last data record. A file cut short at
// a line's end (a copy or download broken off) holds only sound records and
// converts to the front part of the program; only the missing end record
// tells it from a whole one.
bool EndsWithEndRecord(const uint8_t* text, size_t length)
{
    bool ended = false;
    ForEachRecord(text, length, [&](size_t, uint8_t type) {
        if (type == '1')
            ended = false;
        else if (type == '9')
            ended = true;
        return true;
    });
    return ended;
}

} // namespace

bool ConvertSRecords(const uint8_t* text, size_t length, std::vector<uint8_t>* blocks)
{
    blocks->clear();
    if (!text)
        return false;
    uint8_t space = 0;
    Record record;
    return ForEachRecord(text, length, [&](size_t at, uint8_t type) {
        if (!ReadRecord(text, length, at, &record))
            return false;
        if (type == '0') {
            // The memory space is the last hex digit of the address field.
            if (record.Count < 3)
                return false;
            space = record.Bytes[1] & 0x0F;
        } else if (type == '1') {
            if (record.Count < 3)
                return false;
            uint16_t address = static_cast<uint16_t>(record.Bytes[0] << 8 | record.Bytes[1]);
            size_t data = record.Count - 3u;
            size_t words = space == 3 ? data / 6 : data / 3;
            blocks->push_back(static_cast<uint8_t>(address));
            blocks->push_back(static_cast<uint8_t>(address >> 8));
            blocks->push_back(MemoryCodeByte(space, address));
            blocks->push_back(static_cast<uint8_t>(words));
            blocks->push_back(static_cast<uint8_t>(words >> 8));
            blocks->push_back(0);
            blocks->insert(blocks->end(), record.Bytes.begin() + 2, record.Bytes.begin() + 2 + data);
        }
        return true;
    });
}

bool SRecordVersion(const uint8_t* text, size_t length, FileVersion* version)
{
    *version = FileVersion();
    if (!text)
        return false;
    Record record;
    return ForEachRecord(text, length, [&](size_t at, uint8_t type) {
        if (type != '9')
            return true;
        if (!ReadRecord(text, length, at, &record))
            return false;
        if (record.Count == 11) {
            // Address at bytes 0-1, then the four words, high byte first.
            for (int i = 0; i < 4; i++)
                version->Words[i] = static_cast<uint16_t>(record.Bytes[2 + 2 * i] << 8 | record.Bytes[3 + 2 * i]);
        }
        return true;
    });
}

FileVersion RawImageVersion(const uint8_t* image, size_t length)
{
    FileVersion version;
    if (!image || length < 15 || memcmp(image + length - 15, "Version", 7) != 0)
        return version;
    const uint8_t* words = image + length - 8;
    for (int i = 0; i < 4; i++)
        version.Words[i] = static_cast<uint16_t>(words[2 * i] | words[2 * i + 1] << 8);
    return version;
}

bool AddFrontWords(std::vector<uint8_t>* image)
{
    if (image->empty() || image->size() % 3 != 0)
        return false;
    size_t n = image->size() / 3;
    const uint8_t* w = image->data();
    uint32_t sum = 512;
    for (size_t k = 0; k < n; k++)
        sum += GetWord24(w + 3 * k);
    sum &= 0xFFFFFF;
    std::vector<uint8_t> out;
    out.reserve(image->size() + 9);
    PutWord24(&out, sum & 1);
    PutWord24(&out, sum >> 1);
    PutWord24(&out, 256 | ((GetWord24(w) & 1) << 23));
    for (size_t k = 0; k + 1 < n; k++)
        PutWord24(&out, (GetWord24(w + 3 * k) >> 1) | ((GetWord24(w + 3 * k + 3) & 1) << 23));
    PutWord24(&out, GetWord24(w + 3 * (n - 1)) >> 1);
    image->swap(out);
    return true;
}

PROGRAM_MEDIA_STATUS SRecordPageImage(const uint8_t* header, size_t headerLength, const uint8_t* text,
                                      size_t length, std::vector<uint8_t>* image)
{
    image->clear();
    if (headerLength % 3 != 0 || (headerLength && !header))
        return PROGRAM_MEDIA_BAD_IMAGE;
    for (size_t i = 0; i < headerLength; i += 3) {
        image->push_back(header[i + 2]);
        image->push_back(header[i + 1]);
        image->push_back(header[i]);
    }
    std::vector<uint8_t> blocks;
    if (!ConvertSRecords(text, length, &blocks) || !EndsWithEndRecord(text, length))
        return PROGRAM_MEDIA_BAD_IMAGE;
    image->insert(image->end(), blocks.begin(), blocks.end());
    static const uint8_t END_MARK[6] = {0xFF, 0xFF, 0xFF, 0, 0, 0};
    image->insert(image->end(), END_MARK, END_MARK + 6);
    // Records whose data is not whole 24-bit words have no defined front words.
    if (!AddFrontWords(image))
        return PROGRAM_MEDIA_BAD_IMAGE;
    return PROGRAM_MEDIA_OK;
}

std::vector<uint8_t> RawPageImage(const uint8_t* image, size_t length)
{
    size_t pages = (length + RAW_BYTES_PER_PAGE - 1) / RAW_BYTES_PER_PAGE;
    std::vector<uint8_t> out(pages * PAGE_DATA_BYTES, 0);
    for (size_t p = 0; p < pages; p++) {
        size_t from = p * RAW_BYTES_PER_PAGE;
        size_t take = length - from < RAW_BYTES_PER_PAGE ? length - from : RAW_BYTES_PER_PAGE;
        memcpy(out.data() + p * PAGE_DATA_BYTES, image + from, take);
    }
    return out;
}

void PutVersion(const FileVersion& version, uint32_t* slot01, uint32_t* slot23)
{
    *slot01 = version.Words[0] | static_cast<uint32_t>(version.Words[1]) << 16;
    *slot23 = version.Words[2] | static_cast<uint32_t>(version.Words[3]) << 16;
}

FileVersion GetVersion(uint32_t slot01, uint32_t slot23)
{
    FileVersion version;
    version.Words[0] = static_cast<uint16_t>(slot01);
    version.Words[1] = static_cast<uint16_t>(slot01 >> 16);
    version.Words[2] = static_cast<uint16_t>(slot23);
    version.Words[3] = static_cast<uint16_t>(slot23 >> 16);
    return version;
}

PROGRAM_MEDIA_STATUS ReadFileVersions(const uint8_t* const* images, const uint32_t* sizes,
                                      _BinaryFilesInformation* info)
{
    if (!info || info->FileCount > MAX_FILES)
        return PROGRAM_MEDIA_BAD_IMAGE;
    if (info->FileCount && (!images || !sizes))
        return PROGRAM_MEDIA_BAD_IMAGE;
    PROGRAM_MEDIA_STATUS status = PROGRAM_MEDIA_OK;
    for (uint32_t i = 0; i < info->FileCount; i++) {
        FileVersion version;
        if (!images[i] && sizes[i]) {
            status = PROGRAM_MEDIA_BAD_IMAGE;
        } else if (info->Kind[i] == FILE_KIND_SRECORD) {
            if (!SRecordVersion(images[i], sizes[i], &version))
                status = PROGRAM_MEDIA_BAD_IMAGE;
        } else {
            version = RawImageVersion(images[i], sizes[i]);
        }
        PutVersion(version, &info->FileVersion01[i], &info->FileVersion23[i]);
    }
    return status;
}

} // namespace qvmp3
