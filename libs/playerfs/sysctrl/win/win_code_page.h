// The system's OEM and ANSI code pages.
#pragma once

#include "code_page.h"

class CWinCodePage : public ICodePage {
public:
    std::u16string OemToUnicode(const std::string& oem) const override;
    std::string UnicodeToOem(char16_t c) const override;
    std::u16string AnsiToUnicode(const std::string& ansi) const override;
    std::u16string ToLower(const std::u16string& text) const override;
    // What ToLower falls back to on Windows 95/98/ME, where CharLowerBuffW is a
    // stub that changes nothing: each character lowered through the ANSI code
    // page (characters outside it stay as they are).
    static std::u16string ToLowerThroughAnsi(const std::u16string& text);
};
