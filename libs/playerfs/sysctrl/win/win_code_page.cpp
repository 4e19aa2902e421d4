#include "win_code_page.h"

#include <windows.h>

#include <vector>

namespace {

std::u16string ToUnicode(UINT codePage, const std::string& text)
{
    if (text.empty()) return std::u16string();
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0) return std::u16string();
    std::vector<wchar_t> out(static_cast<size_t>(n));
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), out.data(), n);
    return std::u16string(out.begin(), out.end());
}

}  // namespace

std::u16string CWinCodePage::OemToUnicode(const std::string& oem) const { return ToUnicode(CP_OEMCP, oem); }

std::u16string CWinCodePage::AnsiToUnicode(const std::string& ansi) const { return ToUnicode(CP_ACP, ansi); }

std::string CWinCodePage::UnicodeToOem(char16_t c) const
{
    const wchar_t w = wchar_t(c);
    char out[8] = {};
    BOOL defaulted = FALSE;
    const int n = WideCharToMultiByte(CP_OEMCP, 0, &w, 1, out, sizeof out, nullptr, &defaulted);
    if (n <= 0 || defaulted) return std::string();
    return std::string(out, size_t(n));
}

std::u16string CWinCodePage::ToLower(const std::u16string& text) const
{
    if (text.empty()) return text;
    std::vector<wchar_t> buffer(text.begin(), text.end());
    if (CharLowerBuffW(buffer.data(), DWORD(buffer.size())) == 0) return ToLowerThroughAnsi(text);
    return std::u16string(buffer.begin(), buffer.end());
}

std::u16string CWinCodePage::ToLowerThroughAnsi(const std::u16string& text)
{
    std::u16string lower(text);
    for (char16_t& c : lower) {
        const wchar_t w = wchar_t(c);
        char bytes[8] = {};
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, 0, &w, 1, bytes, sizeof bytes, nullptr, &defaulted);
        if (n <= 0 || defaulted) continue;
        CharLowerBuffA(bytes, DWORD(n));
        wchar_t back = 0;
        if (MultiByteToWideChar(CP_ACP, 0, bytes, n, &back, 1) == 1) c = char16_t(back);
    }
    return lower;
}
