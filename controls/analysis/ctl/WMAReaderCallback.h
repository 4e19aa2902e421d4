// CWMAReaderCallback: drives the platform's Windows Media reader for the WMA
// control. The reader answers Open and Close through OnStatus on a thread of
// its own; the control's thread waits for that while it pumps its messages.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include <string>

// The attribute record of the WMA control, in the order it is read.
struct WMA_ATTRIBUTES {
    enum { TITLE, AUTHOR, ALBUM, YEAR, COPYRIGHT, GENRE, TEXT_COUNT };
    int bitrate = 0;                    // kbit/s
    std::string texts[TEXT_COUNT];      // ANSI code page
};

class CWMAReaderCallback : public IWMReaderCallback {
public:
    // The longest wait for the reader's answer to Open or Close.
    static const DWORD WAIT_LIMIT_MS = 30000;

    CWMAReaderCallback() = default;
    virtual ~CWMAReaderCallback() { Shutdown(); }
    CWMAReaderCallback(const CWMAReaderCallback&) = delete;
    CWMAReaderCallback& operator=(const CWMAReaderCallback&) = delete;

    // COM, the event and the reader, once per control; a failure is shown
    // to the user (owner: the control's window, may be null) and undone.
    HRESULT Init(HWND owner);
    bool IsReady() const { return m_reader != nullptr; }
    // Opens the file and reads its attributes; closes it again after a failure.
    HRESULT Open(const wchar_t* path, WMA_ATTRIBUTES& attributes);
    HRESULT Close();
    void Shutdown();

    // IUnknown: the object lives inside its control, so nothing is counted.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // IWMStatusCallback, IWMReaderCallback
    HRESULT STDMETHODCALLTYPE OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type, BYTE* value,
                                       void* context) override;
    HRESULT STDMETHODCALLTYPE OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer*, void*) override { return S_OK; }

private:
    // Pumps this thread's messages until the reader answers or the limit
    // passes; the answer's status, or a time-out error.
    HRESULT WaitForReader();
    HRESULT ReadAttributes(WMA_ATTRIBUTES& attributes);
    void Report(const char* text, HRESULT hr, const char* caption);

    HWND m_owner = nullptr;
    HMODULE m_library = nullptr;
    IWMReader* m_reader = nullptr;
    HANDLE m_event = nullptr;
    volatile LONG m_status = S_OK;
    bool m_comStarted = false;
    bool m_open = false;
    std::wstring m_path;
};
