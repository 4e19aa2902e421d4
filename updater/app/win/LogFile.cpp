#include "LogFile.h"
#include <vector>

CLogFile::CLogFile(const std::wstring& path) : CQvBase("CQvBase")
{
    m_file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        SetSystemError(GetLastError());
        Fail(-11);
        return;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(m_file, &high);
    if (size == 0 && high == 0) {
        const BYTE bom[2] = {0xFF, 0xFE};
        DWORD put = 0;
        WriteFile(m_file, bom, 2, &put, nullptr);
    } else {
        // With no high word the call fails for a log past 4 GB and leaves
        // the pointer at the start, so new entries would overwrite old ones.
        LONG moveHigh = 0;
        if (SetFilePointer(m_file, 0, &moveHigh, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
            SetSystemError(GetLastError());
            CloseHandle(m_file);
            m_file = INVALID_HANDLE_VALUE;
            Fail(-11);
        }
    }
}

CLogFile::~CLogFile()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
}

bool CLogFile::WriteRaw(const std::wstring& text)
{
    // Little-endian UTF-16 on disk, whatever the build's byte order.
    std::vector<BYTE> bytes;
    bytes.reserve(text.size() * 2);
    for (wchar_t c : text) {
        bytes.push_back(BYTE(c & 0xFF));
        bytes.push_back(BYTE((c >> 8) & 0xFF));
    }
    DWORD put = 0;
    return bytes.empty() || (WriteFile(m_file, bytes.data(), DWORD(bytes.size()), &put, nullptr) && put == bytes.size());
}

int CLogFile::WriteLine(const std::wstring& text)
{
    if (LastError() == -11)
        return -11;
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[128] = L"", time[128] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128);
    // Entries end with CR LF; a text's own bare line feeds become CR LF too.
    std::wstring body;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            body += L'\r';
        body += text[i];
    }
    WriteRaw(std::wstring(date) + L" " + time + L": " + body + L"\r\n");
    return 0;
}
