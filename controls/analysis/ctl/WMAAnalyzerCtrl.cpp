#include "WMAAnalyzerCtrl.h"

#include <cstring>

#include "AnalyzerPropPage.h"
#include "TrackScope_h.h"
#include "resource.h"

namespace {

const DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                          OLEMISC_RECOMPOSEONRESIZE | OLEMISC_ACTIVATEWHENVISIBLE;
static_assert(kMiscStatus == 0x20191, "the registered MiscStatus");

const CAnalyzerCtrl::CInfo kInfo = {&CLSID_WMAAnalyzer, &DIID__DWMAAnalyzer, &DIID__DWMAAnalyzerEvents,
                                    kMiscStatus,         &CLSID_WMAAnalyzerPropPage, "WMA Analizer", false};

}  // namespace

CWMAAnalyzerCtrl::CWMAAnalyzerCtrl() : CAnalyzerCtrl(kInfo) {}

CWMAAnalyzerCtrl::~CWMAAnalyzerCtrl()
{
    m_callback.Shutdown();
}

BOOL CWMAAnalyzerCtrl::SetFilePath(const char* path)
{
    // The wait for the reader pumps the container's messages; a container
    // that calls again meanwhile is refused rather than let it reopen the
    // reader under the analysis that waits.
    if (m_busy)
        return FALSE;
    // Results of an earlier file never stand for this one.
    m_sizeLow = m_sizeHigh = 0;
    m_attributes = WMA_ATTRIBUTES();
    // The search below would take a pattern's first match for the file; no
    // file is named with wildcards. ('*' and '?' are never the second byte
    // of a double-byte character.)
    if (std::strpbrk(path, "*?"))
        return FALSE;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(find);
    m_sizeLow = found.nFileSizeLow;
    m_sizeHigh = found.nFileSizeHigh;

    const std::wstring wide = FromAnsi(path);
    m_busy = true;
    if (SUCCEEDED(m_callback.Init(ControlWindow())))
        m_callback.Open(wide.c_str(), m_attributes);
    m_busy = false;
    return TRUE;
}

HRESULT CWMAAnalyzerCtrl::InvokeGetter(DISPID id, VARIANT* result)
{
    switch (id) {
    case 3:
        return ReturnText(m_attributes.texts[WMA_ATTRIBUTES::TITLE], result);
    case 4:
        return ReturnText(m_attributes.texts[WMA_ATTRIBUTES::AUTHOR], result);
    case 5:
        return ReturnText(m_attributes.texts[WMA_ATTRIBUTES::ALBUM], result);
    case 6:
        return ReturnText(m_attributes.texts[WMA_ATTRIBUTES::YEAR], result);
    case 7:
        return ReturnText(m_attributes.texts[WMA_ATTRIBUTES::COPYRIGHT], result);
    case 8:
        return ReturnText(m_attributes.texts[WMA_ATTRIBUTES::GENRE], result);
    case 9:
        return ReturnLong(m_attributes.bitrate, result);
    case DISPID_ABOUTBOX:
        return ShowAboutBox(IDD_ABOUTBOX_WMA);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
