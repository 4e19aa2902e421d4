// MP3Analyzer: tags and stream facts of an MP3 file through the MP3 reader
// core, compiled into the module.
#pragma once

#include "AnalyzerCtrl.h"
#include "Mp3Records.h"

class CMP3AnalyzerCtrl : public CAnalyzerCtrl {
public:
    CMP3AnalyzerCtrl();

    // FALSE only when the file cannot be opened.
    BOOL SetFilePath(const char* path) override;

protected:
    HRESULT InvokeGetter(DISPID id, VARIANT* result) override;
    bool FileSize(DWORD& low, DWORD& high) const override
    {
        low = m_sizeLow;
        high = m_sizeHigh;
        return true;
    }

private:
    DWORD m_sizeLow = 0;
    DWORD m_sizeHigh = 0;
    Mp3TagRecord m_tag{};
    Mp3StreamRecord m_stream{};
};
