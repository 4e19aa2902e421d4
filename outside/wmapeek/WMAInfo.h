// CWMAInfo: the facts of a WMA file that the manager and the playlist maker
// read straight from its public members after SetFilePath. The programs are
// built against this layout, so the members, their order and their sizes are
// fixed; the object has no virtual functions and nothing before its members.
#pragma once

#include <cstddef>

#ifdef WMAPEEK_BUILD
#define WMAPEEK_API __declspec(dllexport)
#else
#define WMAPEEK_API __declspec(dllimport)
#endif

class WMAPEEK_API CWMAInfo {
public:
    CWMAInfo();
    ~CWMAInfo();

    // Reads the file at path (ANSI code page). Returns 1 when its ASF header
    // was read; 0 when the file cannot be opened or is not a readable WMA
    // file, and then size and bitrate are 0 and every text is empty, never
    // the facts of the file read before.
    int SetFilePath(const char* path);

    unsigned int size;       // the file's size in bytes
    unsigned int bitrate;    // units of 1024 bit/s
    char title[256];
    char artist[256];        // the author
    char album[256];         // WM/AlbumTitle
    char year[5];            // WM/Year, its first four characters
    char comment[256];       // the description
    char genre[256];         // WM/Genre

private:
    void Clear();
};

// The offsets the programs were built with; the same at both pointer widths
// since the class holds no pointer.
static_assert(sizeof(unsigned int) == 4, "size and bitrate are 32-bit");
static_assert(offsetof(CWMAInfo, size) == 0, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, bitrate) == 4, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, title) == 8, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, artist) == 264, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, album) == 520, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, year) == 776, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, comment) == 781, "CWMAInfo layout");
static_assert(offsetof(CWMAInfo, genre) == 1037, "CWMAInfo layout");
static_assert(sizeof(CWMAInfo) == 1296, "CWMAInfo layout");
