#include "MP3AnalyzerCtrl.h"

#include "AnalyzerPropPage.h"
#include "Mp3TagReader.h"
#include "TrackScope_h.h"

namespace {

const DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                          OLEMISC_RECOMPOSEONRESIZE;
static_assert(kMiscStatus == 0x20091, "the registered MiscStatus");

// The file through the calls every Windows of the suite has (no 64-bit
// pointer or size calls: the 98 line lacks them).
class CFileSource : public CMp3ByteSource {
public:
    explicit CFileSource(const char* path)
        : m_file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr))
    {
    }
    ~CFileSource() override
    {
        if (IsOpen())
            CloseHandle(m_file);
    }
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

    // The two halves as GetFileSize gives them; 0 when it fails.
    bool Size(DWORD& low, DWORD& high)
    {
        high = 0;
        low = GetFileSize(m_file, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            low = high = 0;
            return false;
        }
        return true;
    }

    std::uint64_t GetSize() override
    {
        DWORD low = 0, high = 0;
        Size(low, high);
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        LONG high = static_cast<LONG>(offset >> 32);
        SetLastError(NO_ERROR);
        DWORD low = SetFilePointer(m_file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
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

// ID3v2 texts to the ANSI code page, one code point at a time, so that a cut
// at the record's field size never splits a double-byte character.
class CAnsiConverter : public CMp3TextConverter {
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

const CAnalyzerCtrl::CInfo kInfo = {&CLSID_MP3Analyzer, &DIID__DMP3Analyzer, &DIID__DMP3AnalyzerEvents,
                                    kMiscStatus,         &CLSID_MP3AnalyzerPropPage, "MP3 Analizer", true};

}  // namespace

CMP3AnalyzerCtrl::CMP3AnalyzerCtrl() : CAnalyzerCtrl(kInfo) {}

BOOL CMP3AnalyzerCtrl::SetFilePath(const char* path)
{
    m_sizeLow = m_sizeHigh = 0;
    m_tag = Mp3TagRecord{};
    m_stream = Mp3StreamRecord{};
    CFileSource file(path);
    if (!file.IsOpen())
        return FALSE;
    file.Size(m_sizeLow, m_sizeHigh);
    // The ID3v1 tag, else the ID3v2 frames, then the stream.
    Mp3TagReader().Read(file, m_tag, m_stream, CAnsiConverter());
    return TRUE;
}

HRESULT CMP3AnalyzerCtrl::InvokeMember(DISPID id, const mbcom::CDispArgs& args, VARIANT* result)
{
    if (id == 2) {
        std::string path;
        HRESULT hr = PathArgument(args, path);
        return FAILED(hr) ? hr : ReturnBool(SetFilePath(path.c_str()) != FALSE, result);
    }
    if (id == 10)
        return GetSize(args, m_sizeLow, m_sizeHigh);
    HRESULT hr = args.Expect(0);
    if (FAILED(hr))
        return hr;
    switch (id) {
    case 3:
        return ReturnText(m_tag.Title, result);
    case 4:
        return ReturnText(m_tag.Artist, result);
    case 5:
        return ReturnText(m_tag.Album, result);
    case 6:
        return ReturnText(m_tag.Year, result);
    case 7:
        return ReturnText(m_tag.Comment, result);
    case 8:
        return ReturnText(Mp3TagReader::GenreName(m_tag.Genre), result);
    case 9:
        return ReturnLong(m_stream.IsVbr ? -1 : m_stream.Bitrate, result);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
