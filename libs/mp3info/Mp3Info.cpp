#include <windows.h>

#include <cstddef>
#include <cstring>

#include "Mp3Info.h"

MP3PEEK_API int nMP3Info = 0;

MP3PEEK_API int fnMP3Info(void)
{
    return 42;
}

namespace {

class CMp3FileSource : public CMp3ByteSource {
public:
    explicit CMp3FileSource(const char* path)
        : m_file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~CMp3FileSource() override
    {
        if (IsOpen())
            CloseHandle(m_file);
    }
    CMp3FileSource(const CMp3FileSource&) = delete;
    CMp3FileSource& operator=(const CMp3FileSource&) = delete;

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

    // GetFileSize and SetFilePointer with their high parts: the Ex forms are
    // not on Windows 95/98/ME.
    std::uint64_t GetSize() override
    {
        DWORD high = 0;
        SetLastError(NO_ERROR);
        const DWORD low = GetFileSize(m_file, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
            return 0;
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        LONG high = static_cast<LONG>(offset >> 32);
        SetLastError(NO_ERROR);
        const DWORD low = SetFilePointer(m_file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
            return 0;
        DWORD got = 0;
        if (!ReadFile(m_file, buffer, static_cast<DWORD>(count), &got, nullptr))
            return 0;
        return got;
    }

private:
    HANDLE m_file;
};

// Texts go to the ANSI code page; one code point at a time, so that a cut at
// the field's limit never splits a double-byte character.
class CMp3AnsiConverter : public CMp3TextConverter {
public:
    bool AppendCodePoint(char32_t cp, std::string& out, std::size_t limit) const override
    {
        wchar_t w[2];
        int units = 1;
        if (cp >= 0x10000) {
            w[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            w[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            units = 2;
        } else {
            w[0] = static_cast<wchar_t>(cp);
        }
        char bytes[8];
        int n = WideCharToMultiByte(CP_ACP, 0, w, units, bytes, sizeof bytes, "?", nullptr);
        if (n <= 0) {
            bytes[0] = '?';
            n = 1;
        }
        if (out.size() + static_cast<std::size_t>(n) > limit)
            return false;
        out.append(bytes, static_cast<std::size_t>(n));
        return true;
    }
};

} // namespace

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
