// Text conversions the directory logic needs: 8.3 names are stored in the OEM
// code page, callers pass names in the ANSI code page, and long names are
// UTF-16. The Windows shell binds these to the system's code pages; the
// Windows-free build uses fixed tables (OEM 850, ANSI Latin-1).
#pragma once

#include <string>

class ICodePage {
public:
    virtual ~ICodePage() = default;
    virtual std::u16string OemToUnicode(const std::string& oem) const = 0;
    // One character; an empty result when the code page cannot show it.
    virtual std::string UnicodeToOem(char16_t c) const = 0;
    virtual std::u16string AnsiToUnicode(const std::string& ansi) const = 0;
    // Lower case as the file system's listing shows it.
    virtual std::u16string ToLower(const std::u16string& text) const = 0;
};

class CTableCodePage : public ICodePage {
public:
    std::u16string OemToUnicode(const std::string& oem) const override;
    std::string UnicodeToOem(char16_t c) const override;
    std::u16string AnsiToUnicode(const std::string& ansi) const override;
    std::u16string ToLower(const std::u16string& text) const override;
};
