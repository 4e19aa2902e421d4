#include "FileReplace.h"

#include <windows.h>

namespace mb {

namespace {

// Writes a file whole; false, and no file of that name left, on any failure.
bool WriteWhole(const std::string& path, DWORD creation, const std::string& text)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        DWORD put = 0;
        ok = ::WriteFile(file, text.data() + done, DWORD(text.size() - done), &put, nullptr) && put > 0;
        done += put;
    }
    ok = ::FlushFileBuffers(file) && ok;
    ok = ::CloseHandle(file) && ok;
    if (!ok)
        ::DeleteFileA(path.c_str());  // a cut file must not pass for the saved one
    return ok;
}

}  // namespace

bool ReplaceFileWithText(const std::string& path, const std::string& text)
{
    const DWORD old = ::GetFileAttributesA(path.c_str());
    if (old == INVALID_FILE_ATTRIBUTES)
        return WriteWhole(path, CREATE_ALWAYS, text);
    if (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    char temp[MAX_PATH] = {};
    if (folder.size() >= MAX_PATH - 14 || !::GetTempFileNameA(folder.c_str(), "new", 0, temp))
        return WriteWhole(path, CREATE_ALWAYS, text);  // no room beside it for another name
    if (!WriteWhole(temp, TRUNCATE_EXISTING, text))
        return false;
    bool replaced = false;
    if ((::GetVersion() & 0x80000000u) == 0) {
        // Looked up, so that the import table holds nothing 98 and ME lack.
        using MoveEx = BOOL(WINAPI*)(const char*, const char*, DWORD);
        auto moveEx = reinterpret_cast<MoveEx>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "MoveFileExA")));
        if (moveEx) {
            replaced = moveEx(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
            if (!replaced) {
                ::DeleteFileA(temp);
                return false;
            }
        }
    }
    if (!replaced) {
        if (!::DeleteFileA(path.c_str())) {
            ::DeleteFileA(temp);
            return false;
        }
        // Should the rename fail now, the new text stays under its temporary
        // name rather than being lost with the old file.
        if (!::MoveFileA(temp, path.c_str()))
            return false;
    }
    if (old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        ::SetFileAttributesA(path.c_str(), old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    return true;
}

}  // namespace mb
