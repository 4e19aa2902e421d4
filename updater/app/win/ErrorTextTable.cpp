#include "ErrorTextTable.h"
#include "qv/QvLanguage.h"

std::wstring QvWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
std::u16string QvU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

bool QvLoadStringLang(HMODULE module, UINT id, LANGID language, std::wstring& out)
{
    // A string table block holds 16 counted strings; block n has ids
    // 16 (n - 1) to 16 n - 1.
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(module, found);
    const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!p)
        return false;
    DWORD size = SizeofResource(module, found) / sizeof(WCHAR);
    const WCHAR* end = p + size;
    for (UINT i = 0; i < id % 16; ++i) {
        if (p >= end)
            return false;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end)
        return false;
    out.assign(p + 1, *p);
    return true;
}

CErrorTextTable::CErrorTextTable(CQvConfigInfo* config, CQvErrorInfo* errorInfo, LANGID uiLanguage)
    : CQvTextTable(config, errorInfo), m_uiLanguage(uiLanguage), m_currentLanguage(uiLanguage)
{
    m_start = LoadLanguageLibrary(uiLanguage);
    m_current = m_start;
}

CErrorTextTable::~CErrorTextTable()
{
    if (m_current && m_current != m_start)
        FreeLibrary(m_current);
    if (m_start)
        FreeLibrary(m_start);
}

HMODULE CErrorTextTable::LoadLanguageLibrary(LANGID language)
{
    std::wstring name = QvWide(QvLanguageLibrary(language));
    HMODULE module = LoadLibraryW(name.c_str());
    if (!module) {
        SetSystemError(GetLastError());
        Fail(QV_E_LIBRARY);
        if (ErrorInfo())
            ErrorInfo()->RecordWithText(*this, QvU16(name));
    }
    return module;
}

int CErrorTextTable::SwitchLanguage(LANGID language)
{
    HMODULE module = LoadLanguageLibrary(language);
    if (!module)
        return QV_E_LIBRARY;
    if (m_current && m_current != m_start)
        FreeLibrary(m_current);
    m_current = module;
    m_currentLanguage = language;
    return 0;
}

bool CErrorTextTable::RawString(int id, int useCurrent, std::u16string& out)
{
    std::wstring text;
    bool found = false;
    if (id >= 50 && id <= 70) {
        HMODULE self = GetModuleHandleW(nullptr);
        found = QvLoadStringLang(self, UINT(id), m_uiLanguage, text) ||
                QvLoadStringLang(self, UINT(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text);
    } else {
        HMODULE module = useCurrent ? m_current : m_start;
        const WCHAR* p = nullptr;
        int n = module ? LoadStringW(module, UINT(id), reinterpret_cast<LPWSTR>(&p), 0) : 0;
        if (n > 0 && p) {
            text.assign(p, size_t(n));
            found = true;
        }
    }
    out = QvU16(text);
    return found;
}

std::u16string CErrorTextTable::SystemMessage(uint32_t code, int useCurrent)
{
    if (code == 0)
        return std::u16string();
    LANGID language = useCurrent ? m_currentLanguage : LANGIDFROMLCID(GetUserDefaultLCID());
    WCHAR* buffer = nullptr;
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    DWORD n = FormatMessageW(flags, nullptr, code, language, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (n == 0)
        n = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return QvU16(text);
}

std::wstring CErrorTextTable::Text(int id, int useCurrent)
{
    std::u16string text;
    LoadText(id, text, useCurrent);
    return QvWide(text);
}

int CErrorTextTable::LoadIcon(UINT id, HICON& out)
{
    int size = id == 135 ? 32 : 16;
    out = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size,
                                        LR_SHARED));
    if (!out) {
        SetSystemError(GetLastError());
        Fail(-41);
        if (ErrorInfo())
            ErrorInfo()->Record(*this);
        return -41;
    }
    return 0;
}
