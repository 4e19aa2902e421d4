#include <initguid.h>

#include "WMAReaderCallback.h"

#include <cstdio>
#include <new>
#include <vector>

#include "AnalysisText.h"

namespace {

typedef HRESULT(WINAPI* CreateReaderFunction)(IUnknown*, DWORD, IWMReader**);

const char kCaption[] = "WMA Analyzer";
const char kMemoryCaption[] = "WMA Analizer";

const wchar_t* const kTextAttributes[WMA_ATTRIBUTES::TEXT_COUNT] = {
    L"Title", L"Author", L"WM/AlbumTitle", L"WM/Year", L"Copyright", L"WM/Genre"};

std::string ToAnsiText(const std::u16string& text)
{
    if (text.empty())
        return std::string();
    const wchar_t* w = reinterpret_cast<const wchar_t*>(text.data());
    int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

HRESULT CWMAReaderCallback::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IWMReaderCallback) || IsEqualIID(iid, IID_IWMStatusCallback) ||
        IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IWMReaderCallback*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

void CWMAReaderCallback::Report(const char* text, HRESULT hr, const char* caption)
{
    char message[256];
    std::snprintf(message, sizeof message, "%s (hr=0x%08lx)", text, static_cast<unsigned long>(hr));
    MessageBoxA(m_owner, message, caption, MB_OK | MB_ICONSTOP);
}

HRESULT CWMAReaderCallback::Init(HWND owner)
{
    m_owner = owner;
    if (m_reader)
        return S_OK;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        Report("CoInitialize failed", hr, kCaption);
        Shutdown();
        return hr;
    }
    m_comStarted = true;
    // An event of this object's own: two controls never wake each other.
    m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_event) {
        hr = E_FAIL;
        Report("Could not create the event", hr, kCaption);
        Shutdown();
        return hr;
    }
    // The Windows Media runtime is an outside library that older systems may
    // lack, so it is loaded here rather than linked.
    m_library = LoadLibraryA("wmvcore.dll");
    CreateReaderFunction create =
        m_library ? reinterpret_cast<CreateReaderFunction>(
                        reinterpret_cast<void*>(GetProcAddress(m_library, "WMCreateReader")))
                  : nullptr;
    hr = create ? create(nullptr, WMT_RIGHT_PLAYBACK, &m_reader) : HRESULT_FROM_WIN32(GetLastError());
    if (SUCCEEDED(hr) && !m_reader)
        hr = E_UNEXPECTED;
    if (FAILED(hr)) {
        Report("Could not create Reader", hr, kCaption);
        Shutdown();
        return hr;
    }
    return S_OK;
}

HRESULT CWMAReaderCallback::WaitForReader()
{
    const DWORD start = GetTickCount();
    bool quitSeen = false;
    WPARAM quitCode = 0;
    for (;;) {
        MSG msg;
        while (!quitSeen && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Kept for the container's own loop, which must still see it.
                quitSeen = true;
                quitCode = msg.wParam;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (WaitForSingleObject(m_event, 10) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - start >= WAIT_LIMIT_MS) {
            if (quitSeen)
                PostQuitMessage(static_cast<int>(quitCode));
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        }
    }
    if (quitSeen)
        PostQuitMessage(static_cast<int>(quitCode));
    return static_cast<HRESULT>(m_status);
}

HRESULT CWMAReaderCallback::Open(const wchar_t* path, WMA_ATTRIBUTES& attributes)
{
    if (!path)
        return E_INVALIDARG;
    if (!m_reader)
        return E_UNEXPECTED;
    ResetEvent(m_event);
    Close();
    try {
        m_path = path;
    } catch (const std::bad_alloc&) {
        Report("Insufficient memory", E_OUTOFMEMORY, kMemoryCaption);
        return E_OUTOFMEMORY;
    }
    ResetEvent(m_event);
    m_status = E_FAIL;
    HRESULT hr = m_reader->Open(m_path.c_str(), this, nullptr);
    // Only an accepted call is answered through OnStatus. From then on the
    // reader holds the file, or is still opening it when the wait gives up,
    // until it is closed.
    if (SUCCEEDED(hr)) {
        m_open = true;
        hr = WaitForReader();
    }
    if (SUCCEEDED(hr))
        hr = ReadAttributes(attributes);
    if (FAILED(hr))
        Close();
    return hr;
}

HRESULT CWMAReaderCallback::Close()
{
    if (!m_reader || !m_open)
        return S_OK;
    ResetEvent(m_event);
    m_status = E_FAIL;
    HRESULT hr = m_reader->Close();
    if (SUCCEEDED(hr))
        hr = WaitForReader();
    // A refused Close means nothing was open (an Open that failed); a reader
    // that did not answer is asked again by the next Open or by Shutdown.
    m_open = hr == HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    return hr;
}

HRESULT CWMAReaderCallback::OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*)
{
    if (status == WMT_OPENED || status == WMT_CLOSED) {
        InterlockedExchange(&m_status, hr);
        SetEvent(m_event);
    }
    return S_OK;
}

HRESULT CWMAReaderCallback::ReadAttributes(WMA_ATTRIBUTES& attributes)
{
    attributes = WMA_ATTRIBUTES();
    IWMHeaderInfo* header = nullptr;
    HRESULT hr = m_reader->QueryInterface(IID_IWMHeaderInfo, reinterpret_cast<void**>(&header));
    if (FAILED(hr) || !header)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    for (int i = 0; i < WMA_ATTRIBUTES::TEXT_COUNT; ++i) {
        WORD stream = 0;
        WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
        WORD length = 0;
        if (FAILED(header->GetAttributeByName(&stream, kTextAttributes[i], &type, nullptr, &length)) ||
            type != WMT_TYPE_STRING || length == 0)
            continue;
        std::vector<BYTE> value(length);
        stream = 0;
        if (FAILED(header->GetAttributeByName(&stream, kTextAttributes[i], &type, value.data(), &length)) ||
            type != WMT_TYPE_STRING)
            continue;
        // The reader may report fewer bytes the second time, never more
        // than the buffer holds.
        if (length > value.size())
            length = static_cast<WORD>(value.size());
        attributes.texts[i] = ToAnsiText(trackscope::AttributeText(value.data(), length));
    }
    WORD stream = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    BYTE value[4] = {};
    WORD length = sizeof value;
    hr = header->GetAttributeByName(&stream, L"Bitrate", &type, value, &length);
    if (SUCCEEDED(hr) && type == WMT_TYPE_DWORD && length == sizeof value) {
        const DWORD bits = value[0] | (value[1] << 8) | (value[2] << 16) | (static_cast<DWORD>(value[3]) << 24);
        attributes.bitrate = static_cast<int>(bits / 1000);
    } else if (SUCCEEDED(hr)) {
        hr = E_UNEXPECTED;
    }
    header->Release();
    return hr;
}

void CWMAReaderCallback::Shutdown()
{
    if (m_reader) {
        Close();
        m_reader->Release();
        m_reader = nullptr;
    }
    m_open = false;
    if (m_event) {
        CloseHandle(m_event);
        m_event = nullptr;
    }
    if (m_library) {
        FreeLibrary(m_library);
        m_library = nullptr;
    }
    if (m_comStarted) {
        CoUninitialize();
        m_comStarted = false;
    }
    m_path.clear();
    m_path.shrink_to_fit();
}
