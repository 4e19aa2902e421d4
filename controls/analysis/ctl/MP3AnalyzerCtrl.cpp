#include "MP3AnalyzerCtrl.h"

#include "AnalyzerPropPage.h"
#include "Mp3TagReader.h"
#include "Mp3WinIo.h"
#include "TrackScope_h.h"

namespace {

const DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                          OLEMISC_RECOMPOSEONRESIZE;
static_assert(kMiscStatus == 0x20091, "the registered MiscStatus");

const CAnalyzerCtrl::CInfo kInfo = {&CLSID_MP3Analyzer, &DIID__DMP3Analyzer, &DIID__DMP3AnalyzerEvents,
                                    kMiscStatus,         &CLSID_MP3AnalyzerPropPage, "MP3 Analizer", true};

}  // namespace

CMP3AnalyzerCtrl::CMP3AnalyzerCtrl() : CAnalyzerCtrl(kInfo) {}

BOOL CMP3AnalyzerCtrl::SetFilePath(const char* path)
{
    m_sizeLow = m_sizeHigh = 0;
    m_tag = Mp3TagRecord{};
    m_stream = Mp3StreamRecord{};
    CMp3FileSource file(path);
    if (!file.IsOpen())
        return FALSE;
    file.Size(m_sizeLow, m_sizeHigh);
    // The ID3v1 tag, else the ID3v2 frames, then the stream.
    Mp3TagReader().Read(file, m_tag, m_stream, CMp3AnsiConverter());
    return TRUE;
}

HRESULT CMP3AnalyzerCtrl::InvokeGetter(DISPID id, VARIANT* result)
{
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
