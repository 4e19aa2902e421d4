// CLogFile: the updater's optional log. UTF-16LE with a byte-order mark, so
// every language's texts survive and Notepad reads it; each entry is the
// local date and time, ": ", the text and CR LF. An existing log is kept and
// added to.
#pragma once
#include "qv/QvBase.h"
#include <windows.h>
#include <string>

class CLogFile : public CQvBase {
public:
    explicit CLogFile(const std::wstring& path);
    ~CLogFile() override;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // -11 (and nothing written) when the file did not open.
    int WriteLine(const std::wstring& text);

private:
    bool WriteRaw(const std::wstring& text);
    HANDLE m_file = INVALID_HANDLE_VALUE;
};
