// The bytes of a FAT volume: little-endian fields, directory entry kinds,
// the entry's date and time fields, and path splitting. The lowest layer of
// the volume code: fat_table.h (boot sector, FAT and clusters) builds on it,
// fat_directory.h (entries, names, path walk) on both, and fat_volume.cpp
// (the file operations) on all three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fat_volume.h"

namespace fatimpl {

constexpr size_t kEntry = 32;
// A FAT directory holds at most 65536 entries; a longer chain is damage.
constexpr size_t kMaxDirectoryBytes = 65536 * kEntry;
constexpr int kMaxDepth = 64;

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
inline void Put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

inline bool IsLongNameEntry(const uint8_t* e) { return (e[11] & 0x3F) == FAT_ATTR_LONG_NAME; }
inline bool IsDotEntry(const uint8_t* e)
{
    return e[0] == '.' && (std::memcmp(e, ".          ", 11) == 0 || std::memcmp(e, "..         ", 11) == 0);
}

inline time_t FromFatTime(uint16_t date, uint16_t time)
{
    if (date == 0)
        return 0;
    struct tm t = {};
    t.tm_year = 80 + (date >> 9);
    t.tm_mon = std::max(1, (date >> 5) & 0x0F) - 1;
    t.tm_mday = std::max(1, date & 0x1F);
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3F;
    t.tm_sec = (time & 0x1F) * 2;
    return timegm(&t);
}

inline void ToFatTime(time_t value, uint16_t* date, uint16_t* time)
{
    struct tm t = {};
    gmtime_r(&value, &t);
    if (t.tm_year < 80) {
        *date = (1 << 5) | 1;  // 1980-01-01, the earliest a FAT can hold
        *time = 0;
        return;
    }
    if (t.tm_year > 207) {
        *date = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        *time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);
        return;
    }
    *date = static_cast<uint16_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
    *time = static_cast<uint16_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
}

inline void StampModified(uint8_t* e, time_t now)
{
    uint16_t d, t;
    ToFatTime(now, &d, &t);
    Put16(e + 22, t);
    Put16(e + 24, d);
    Put16(e + 18, d);
}

inline void StampCreated(uint8_t* e, time_t now)
{
    uint16_t d, t;
    ToFatTime(now, &d, &t);
    e[13] = 0;
    Put16(e + 14, t);
    Put16(e + 16, d);
    StampModified(e, now);
}

inline std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        if (j > i)
            parts.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

}  // namespace fatimpl
