// wmvcore.dll: our stand-in of the platform's Windows Media reader, as much of
// it as the WMA analysis control uses: WMCreateReader, a reader whose Open and
// Close answer through the caller's callback on a thread of their own, and
// the header attributes read by name. The header is read by the ASF header
// reader of WmaPeek.
//
// Test hooks (environment): MB_WMVCORE_DELAY_MS delays each answer by that
// many milliseconds; MB_WMVCORE_SILENT=1 accepts Open and never answers.
#include <initguid.h>

#include <windows.h>
#include <nserror.h>
#include <wmsdkidl.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "AsfHeader.h"
#include "Sync.h"

namespace {

// The reader's own answers for a missing attribute and a short buffer.
const HRESULT kAttributeNotFound = static_cast<HRESULT>(0xC00D07F0);
// Header objects larger than this are not read (the tests' files are small).
const uint64_t kHeaderLimit = 16u * 1024 * 1024;

DWORD EnvNumber(const char* name)
{
    char text[32] = {};
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n > 0 && n < sizeof text ? static_cast<DWORD>(std::strtoul(text, nullptr, 10)) : 0;
}

// The whole header object of a file; the result is the reader's answer.
HRESULT ReadHeader(const wchar_t* path, wmapeek::ASF_FACTS& facts)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return NS_E_FILE_NOT_FOUND;
    HRESULT hr = NS_E_INVALID_DATA;
    uint8_t prefix[wmapeek::ASF_HEADER_PREFIX_SIZE];
    DWORD got = 0;
    uint64_t size = 0;
    if (ReadFile(file, prefix, sizeof prefix, &got, nullptr) && got == sizeof prefix &&
        wmapeek::ReadAsfHeaderSize(prefix, got, size) == wmapeek::ASF_OK && size <= kHeaderLimit) {
        std::vector<uint8_t> header(static_cast<size_t>(size));
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        if (ReadFile(file, header.data(), static_cast<DWORD>(header.size()), &got, nullptr) &&
            wmapeek::ParseAsfHeader(header.data(), got, facts) == wmapeek::ASF_OK)
            hr = S_OK;
    }
    CloseHandle(file);
    return hr;
}

class CReader : public IWMReader, public IWMHeaderInfo {
public:
    virtual ~CReader() { m_worker.Join(); ReleaseCallback(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMReader))
            *out = static_cast<IWMReader*>(this);
        else if (IsEqualIID(iid, IID_IWMHeaderInfo))
            *out = static_cast<IWMHeaderInfo*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IWMReader
    HRESULT STDMETHODCALLTYPE Open(const WCHAR* url, IWMReaderCallback* callback, void* context) override
    {
        if (!url || !callback)
            return E_INVALIDARG;
        if (m_open)
            return NS_E_INVALID_REQUEST;
        m_worker.Join();
        wmapeek::ASF_FACTS facts;
        HRESULT hr = ReadHeader(url, facts);
        if (hr == NS_E_FILE_NOT_FOUND)
            return hr;   // refused at once, as the platform's reader does
        if (SUCCEEDED(hr)) {
            m_facts = facts;
            m_open = true;
        }
        ReleaseCallback();
        m_callback = callback;
        m_callback->AddRef();
        if (EnvNumber("MB_WMVCORE_SILENT") == 1)
            return S_OK;
        Answer(WMT_OPENED, hr, context);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Close() override
    {
        if (!m_open || !m_callback)
            return NS_E_INVALID_REQUEST;
        m_worker.Join();
        m_open = false;
        Answer(WMT_CLOSED, S_OK, nullptr);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetOutputCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputProps(DWORD, IWMOutputMediaProps**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOutputProps(DWORD, IWMOutputMediaProps*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputFormatCount(DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputFormat(DWORD, DWORD, IWMOutputMediaProps**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Start(QWORD, QWORD, float, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }

    // IWMHeaderInfo: the file-level attributes (stream 0) by name.
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                                 WORD* length) override
    {
        if (!stream || !name || !type || !length)
            return E_INVALIDARG;
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (*stream != 0)
            return kAttributeNotFound;
        std::vector<BYTE> data;
        const std::wstring n = name;
        if (n == L"Bitrate") {
            const DWORD bits = wmapeek::ChooseBitrate(m_facts);
            *type = WMT_TYPE_DWORD;
            data = {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8), static_cast<BYTE>(bits >> 16),
                    static_cast<BYTE>(bits >> 24)};
        } else if (n == L"WM/Year" && m_facts.tags.yearIsNumber) {
            // Stored as a number: handed out as one, as the platform's reader does.
            DWORD year = 0;
            for (char16_t c : m_facts.tags.year)
                if (c >= u'0' && c <= u'9')
                    year = year * 10 + static_cast<DWORD>(c - u'0');
            *type = WMT_TYPE_DWORD;
            data = {static_cast<BYTE>(year), static_cast<BYTE>(year >> 8), static_cast<BYTE>(year >> 16),
                    static_cast<BYTE>(year >> 24)};
        } else {
            const std::u16string* text = Text(n);
            if (!text || text->empty())
                return kAttributeNotFound;
            *type = WMT_TYPE_STRING;
            const size_t units = text->size() + 1;
            if (units * 2 > 0xFFFF)
                return NS_E_INVALID_DATA;
            data.resize(units * 2, 0);
            for (size_t i = 0; i < text->size(); ++i) {
                data[2 * i] = static_cast<BYTE>((*text)[i]);
                data[2 * i + 1] = static_cast<BYTE>((*text)[i] >> 8);
            }
        }
        if (!value) {
            *length = static_cast<WORD>(data.size());
            return S_OK;
        }
        if (*length < data.size())
            return NS_E_INVALID_REQUEST;
        memcpy(value, data.data(), data.size());
        *length = static_cast<WORD>(data.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD, WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*, BYTE*,
                                                  WORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE*, WORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }

private:
    const std::u16string* Text(const std::wstring& name) const
    {
        const wmapeek::ASF_TAGS& t = m_facts.tags;
        if (name == L"Title")
            return &t.title;
        if (name == L"Author")
            return &t.author;
        if (name == L"Copyright")
            return &t.copyright;
        if (name == L"Description")
            return &t.description;
        if (name == L"WM/AlbumTitle")
            return &t.album;
        if (name == L"WM/Year")
            return &t.year;
        if (name == L"WM/Genre")
            return &t.genre;
        return nullptr;
    }

    // The platform's reader answers on a thread of its own.
    void Answer(WMT_STATUS status, HRESULT hr, void* context)
    {
        IWMReaderCallback* callback = m_callback;
        const DWORD delay = EnvNumber("MB_WMVCORE_DELAY_MS");
        m_worker.Start([callback, status, hr, context, delay] {
            if (delay)
                Sleep(delay);
            callback->OnStatus(status, hr, WMT_TYPE_DWORD, nullptr, context);
        });
    }

    void ReleaseCallback()
    {
        if (m_callback) {
            m_callback->Release();
            m_callback = nullptr;
        }
    }

    volatile LONG m_refs = 0;
    bool m_open = false;
    wmapeek::ASF_FACTS m_facts;
    IWMReaderCallback* m_callback = nullptr;
    mb::CWorkerThread m_worker;
};

}  // namespace

extern "C" HRESULT WINAPI WMCreateReader(IUnknown*, DWORD, IWMReader** reader)
{
    if (!reader)
        return E_POINTER;
    CReader* r = new (std::nothrow) CReader();
    *reader = r;
    if (!r)
        return E_OUTOFMEMORY;
    r->AddRef();
    return S_OK;
}
