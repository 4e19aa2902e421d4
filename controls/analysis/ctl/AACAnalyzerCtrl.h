// AACAnalyzer: the bitrate of an AAC file, as the outside tool aacinfo.exe
// reports it in the aacinfo.txt it writes into the current folder.
#pragma once

#include "AnalyzerCtrl.h"

class CAACAnalyzerCtrl : public CAnalyzerCtrl {
public:
    // The longest wait for the tool before it is stopped.
    static const DWORD TOOL_LIMIT_MS = 30000;

    CAACAnalyzerCtrl();

    // TRUE always, as containers expect; the bitrate tells what was found.
    BOOL SetFilePath(const char* path) override;

protected:
    HRESULT InvokeGetter(DISPID id, VARIANT* result) override;

private:
    // Field 4 of the last output; 0 before the first analysis.
    LONG m_bitrate = 0;
};
