// The system's OEM and ANSI code pages.
#pragma once

#include "code_page.h"

class CWinCodePage : public ICodePage {
public:
    std::u16string OemToUnicode(const std::string& oem) const override;
    std::string UnicodeToOem(char16_t c) const override;
    std::u16string AnsiToUnicode(const std::string& ansi) const override;
    std::u16string ToLower(const std::u16string& text) const override;
};
