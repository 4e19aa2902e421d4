// Texts in both worlds: ANSI (std::string in the system code page) for the
// manager and the playlist maker, UTF-16 (std::wstring) for the updater.
#pragma once

#include <windows.h>

#include <string>

namespace mb {

// printf-style formatting into a string of the needed length. The wide form
// follows the Windows convention: %s takes a wide string.
std::string Format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
std::wstring FormatW(const wchar_t* fmt, ...);

// String-table entries of the resource module (or of the module given).
// A missing id gives an empty text.
std::string LoadText(UINT id, HINSTANCE module = nullptr);
std::wstring LoadTextW(UINT id, HINSTANCE module = nullptr);

std::wstring Widen(const std::string& text, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);

// The module that dialogs, menus, strings, bitmaps and icons come from: the
// program unless a language library was made current.
HINSTANCE ResourceModule();
void SetResourceModule(HINSTANCE module);

}  // namespace mb
