// Small helpers shared by the engine's source files.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "Text.h"
#include "TransferPaths.h"
#include "TransferStrings.h"

namespace transfer {

inline std::string Str(unsigned int id)
{
    std::string text = mb::LoadText(id);
    if (text.empty()) {
        const char* fallback = TransferStringDefault(id);
        if (fallback)
            text = fallback;
    }
    return text;
}

// A string-table text with %s filled by an outside text (a file name may hold
// "%" itself, which stays literal).
inline std::string StrWith(unsigned int id, const std::string& arg)
{
    const std::string format = Str(id);
    std::string out;
    bool used = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (!used && format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            out += arg;
            ++i;
            used = true;
        } else {
            out += format[i];
        }
    }
    return out;
}

inline bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string WithBackslash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '\\')
        return folder;
    return folder + "\\";
}

inline bool IsDots(const char* name) { return !std::strcmp(name, ".") || !std::strcmp(name, ".."); }

inline bool EqualsNoCase(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

inline std::string ModuleFolder()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD got = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (got == 0)
            return std::string();
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    return CTransferPaths::FolderOf(path);
}

}  // namespace transfer
