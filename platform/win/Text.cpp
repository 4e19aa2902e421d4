#include "Text.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {
HINSTANCE g_resources = nullptr;
}

namespace mb {

std::string Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, args);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

std::wstring FormatW(const wchar_t* fmt, ...)
{
    // Grown until the text fits: the msvcrt of Windows 98 has no _vscwprintf
    // to measure it first, and its _vsnwprintf answers -1 when cut.
    std::wstring out;
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list args;
        va_start(args, fmt);
        const int n = _vsnwprintf(buf.data(), buf.size() - 1, fmt, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buf.size() - 1) {
            out.assign(buf.data(), static_cast<size_t>(n));
            break;
        }
        if (buf.size() >= (1u << 24))
            break;
        buf.resize(buf.size() * 2);
    }
    return out;
}

std::wstring LoadTextW(UINT id, HINSTANCE module)
{
    // A zero buffer size returns a pointer into the resource itself, so no
    // length has to be guessed.
    const wchar_t* p = nullptr;
    int n = ::LoadStringW(module ? module : ResourceModule(), id, reinterpret_cast<LPWSTR>(&p), 0);
    return (n > 0 && p) ? std::wstring(p, static_cast<size_t>(n)) : std::wstring();
}

std::string LoadText(UINT id, HINSTANCE module) { return Narrow(LoadTextW(id, module)); }

std::wstring Widen(const std::string& text, UINT codePage)
{
    if (text.empty())
        return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& text, UINT codePage)
{
    if (text.empty())
        return {};
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

HINSTANCE ResourceModule() { return g_resources ? g_resources : ::GetModuleHandleW(nullptr); }
void SetResourceModule(HINSTANCE module) { g_resources = module; }

}  // namespace mb
