// CErrorTextTable: the updater's text resources on Windows. It loads the
// language library of the user's language (and, for English logs, a second
// one), and is the single source of every user-visible string.
#pragma once
#include "qv/QvTextTable.h"
#include <windows.h>
#include <string>

class CErrorTextTable : public CQvTextTable {
public:
    // uiLanguage: the LANGID whose library is loaded and in which the
    // program's own strings 50 to 70 are taken. A library that does not load
    // gives last error -61, its file name in the error record.
    CErrorTextTable(CQvConfigInfo* config, CQvErrorInfo* errorInfo, LANGID uiLanguage);
    ~CErrorTextTable() override;

    // Loads the library of that language as the one log texts come from;
    // the boxes keep the start library.
    int SwitchLanguage(LANGID language);
    // The program's icon: 32 x 32 for the About icon (135), else 16 x 16.
    int LoadIcon(UINT id, HICON& out);

    std::wstring Text(int id, int useCurrent = 0);
    HMODULE StartLibrary() const { return m_start; }
    HMODULE CurrentLibrary() const { return m_current; }
    LANGID CurrentLanguage() const { return m_currentLanguage; }

protected:
    bool RawString(int id, int useCurrent, std::u16string& out) override;
    std::u16string SystemMessage(uint32_t code, int useCurrent) override;

private:
    HMODULE LoadLanguageLibrary(LANGID language);

    HMODULE m_start = nullptr;
    HMODULE m_current = nullptr;
    LANGID m_uiLanguage;
    LANGID m_currentLanguage;
};

// A string of a module's string table in one language; false when missing.
bool QvLoadStringLang(HMODULE module, UINT id, LANGID language, std::wstring& out);
std::wstring QvWide(const std::u16string& text);
std::u16string QvU16(const std::wstring& text);
