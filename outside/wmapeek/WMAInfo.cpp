#include "WMAInfo.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "AsfHeader.h"
#include "AsfText.h"

namespace {

// Headers hold the tags and, at most, some cover pictures; a declared size
// beyond this is not a header worth reading whole into memory.
constexpr uint64_t kLargestHeader = 64ull * 1024 * 1024;

class CFileHandle {
public:
    explicit CFileHandle(HANDLE h) : m_h(h) {}
    ~CFileHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

// ReadFile may return fewer bytes than asked on some file systems.
bool ReadExactly(HANDLE h, uint8_t* buffer, size_t count)
{
    while (count > 0) {
        const DWORD chunk = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
        DWORD got = 0;
        if (!ReadFile(h, buffer, chunk, &got, nullptr) || got == 0)
            return false;
        buffer += got;
        count -= got;
    }
    return true;
}

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the header texts are handed to Windows as they are");

bool IsAnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

std::string ToAnsi(const std::u16string& text)
{
    if (text.empty())
        return std::string();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int wideLength = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string ansi(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, &ansi[0], needed, nullptr, nullptr);
    ansi.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return ansi;
}

void FillText(char* field, size_t fieldSize, const std::u16string& text)
{
    wmapeek::CopyTextField(ToAnsi(text), field, fieldSize, IsAnsiLeadByte);
}

bool ReadFacts(const char* path, uint64_t& fileSize, wmapeek::ASF_FACTS& facts)
{
    CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid())
        return false;
    // GetFileSize with its high part: GetFileSizeEx is not on Windows 95/98/ME.
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    fileSize = (static_cast<uint64_t>(high) << 32) | low;

    uint8_t prefix[wmapeek::ASF_HEADER_PREFIX_SIZE];
    if (fileSize < sizeof prefix || !ReadExactly(file.Get(), prefix, sizeof prefix))
        return false;
    uint64_t headerSize = 0;
    if (wmapeek::ReadAsfHeaderSize(prefix, sizeof prefix, headerSize) != wmapeek::ASF_OK)
        return false;
    if (headerSize > fileSize || headerSize > kLargestHeader)
        return false;

    std::vector<uint8_t> header;
    try {
        header.resize(static_cast<size_t>(headerSize));
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::memcpy(header.data(), prefix, sizeof prefix);
    if (!ReadExactly(file.Get(), header.data() + sizeof prefix, header.size() - sizeof prefix))
        return false;
    return wmapeek::ParseAsfHeader(header.data(), header.size(), facts) == wmapeek::ASF_OK;
}

}  // namespace

CWMAInfo::CWMAInfo()
{
    Clear();
}

CWMAInfo::~CWMAInfo() = default;

void CWMAInfo::Clear()
{
    size = 0;
    bitrate = 0;
    std::memset(title, 0, sizeof title);
    std::memset(artist, 0, sizeof artist);
    std::memset(album, 0, sizeof album);
    std::memset(year, 0, sizeof year);
    std::memset(comment, 0, sizeof comment);
    std::memset(genre, 0, sizeof genre);
}

int CWMAInfo::SetFilePath(const char* path)
{
    // One object serves every file the dialogs show, so nothing of the
    // previous file may survive a failed read.
    Clear();
    if (path == nullptr || *path == '\0')
        return 0;
    try {
        uint64_t fileSize = 0;
        wmapeek::ASF_FACTS facts;
        if (!ReadFacts(path, fileSize, facts))
            return 0;
        // The size of the file itself, not the header's claim about it: the
        // callers divide it by the bitrate for the playing time. A file over
        // 4 GB shows the largest size the member holds rather than a wrapped one.
        size = fileSize > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned int>(fileSize);
        bitrate = wmapeek::BitrateInKiloBits(wmapeek::ChooseBitrate(facts));
        const wmapeek::ASF_TAGS& tags = facts.tags;
        FillText(title, sizeof title, tags.title);
        FillText(artist, sizeof artist, tags.author);
        FillText(album, sizeof album, tags.album);
        // A stored date such as "2004-05-01" keeps its year.
        FillText(year, sizeof year, wmapeek::LeadingCharacters(tags.year, 4));
        FillText(comment, sizeof comment, tags.description);
        FillText(genre, sizeof genre, tags.genre);
        return 1;
    } catch (...) {
        // Nothing may leave the DLL as an exception.
        Clear();
        return 0;
    }
}
