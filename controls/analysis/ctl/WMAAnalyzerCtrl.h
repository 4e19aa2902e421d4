// WMAAnalyzer: tags and bitrate of a WMA file through the platform's Windows
// Media reader.
#pragma once

#include "AnalyzerCtrl.h"
#include "WMAReaderCallback.h"

class CWMAAnalyzerCtrl : public CAnalyzerCtrl {
public:
    CWMAAnalyzerCtrl();
    ~CWMAAnalyzerCtrl() override;

    // FALSE only when the file does not exist.
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
    WMA_ATTRIBUTES m_attributes;
    // One reader per control, made at the first analysis and released with
    // the control.
    CWMAReaderCallback m_callback;
    bool m_busy = false;
};
