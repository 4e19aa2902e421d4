#include <windows.h>

#include <cstddef>
#include <cstring>

#include "Mp3Info.h"
#include "Mp3WinIo.h"

MP3PEEK_API int nMP3Info = 0;

MP3PEEK_API int fnMP3Info(void)
{
    return 42;
}

CMP3Info::CMP3Info() : m_unused(0), m_tag(), m_stream()
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#ifndef _WIN64
    static_assert(offsetof(CMP3Info, m_tag) == 4 && offsetof(CMP3Info, m_stream) == 140 &&
                      offsetof(CMP3Info, m_reader) == 200 && sizeof(CMP3Info) == 204,
                  "CMP3Info layout");
#endif
#pragma GCC diagnostic pop
}

CMP3Info::~CMP3Info() {}

CMP3Info::CMP3Info(const CMP3Info& other) : m_unused(other.m_unused), m_tag(other.m_tag), m_stream(other.m_stream) {}

CMP3Info& CMP3Info::operator=(const CMP3Info& other)
{
    m_unused = other.m_unused;
    m_tag = other.m_tag;
    m_stream = other.m_stream;
    return *this;
}

int CMP3Info::SetFilePath(char* path)
{
    m_tag = Mp3TagRecord{};
    m_stream = Mp3StreamRecord{};
    if (!path)
        return 0;
    CMp3FileSource file(path);
    if (!file.IsOpen())
        return 0;
    m_reader.Read(file, m_tag, m_stream, CMp3AnsiConverter());
    return 1;
}

char* CMP3Info::GetTitle() { return m_tag.Title; }
char* CMP3Info::GetArtistName() { return m_tag.Artist; }
char* CMP3Info::GetAlbumName() { return m_tag.Album; }
char* CMP3Info::GetYear() { return m_tag.Year; }
char* CMP3Info::GetComment() { return m_tag.Comment; }

int CMP3Info::GetGenre(char* out)
{
    const char* name = Mp3TagReader::GenreName(m_tag.Genre);
    const std::size_t len = std::strlen(name);
    if (out)
        std::memcpy(out, name, len + 1);
    return static_cast<int>(len);
}

int CMP3Info::GetChannel() { return m_stream.Channels; }
unsigned long CMP3Info::GetSize() { return m_stream.FileSize; }
unsigned long CMP3Info::GetTotalSeconds() { return m_stream.Seconds; }
int CMP3Info::GetBitrate() { return m_stream.IsVbr ? -1 : m_stream.Bitrate; }
