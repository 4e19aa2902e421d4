#include "Shell.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

namespace mb {

bool GetFileInfo(const std::string& path, UINT flags, SHFILEINFOA& info, DWORD attributes)
{
    info = SHFILEINFOA{};
    return ::SHGetFileInfoA(path.c_str(), attributes, &info, sizeof info, flags) != 0;
}

HIMAGELIST SystemImageList(bool small)
{
    SHFILEINFOA info{};
    return reinterpret_cast<HIMAGELIST>(::SHGetFileInfoA(
        "C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON)));
}

int SystemIconIndex(const std::string& path, bool small, bool open)
{
    SHFILEINFOA info{};
    UINT flags = SHGFI_SYSICONINDEX | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON) | (open ? SHGFI_OPENICON : 0);
    return GetFileInfo(path, flags, info) ? info.iIcon : -1;
}

std::string DoubleNulList(const std::vector<std::string>& paths)
{
    std::string list;
    for (const std::string& p : paths) {
        list += p;
        list += '\0';
    }
    list += '\0';
    return list;
}

int FileOperation(HWND owner, UINT func, const std::vector<std::string>& from, const std::string& to,
                  FILEOP_FLAGS flags, bool* aborted)
{
    std::string source = DoubleNulList(from);
    std::string target = DoubleNulList(to.empty() ? std::vector<std::string>{} : std::vector<std::string>{to});
    SHFILEOPSTRUCTA op{};
    op.hwnd = owner;
    op.wFunc = func;
    op.pFrom = source.c_str();
    op.pTo = to.empty() ? nullptr : target.c_str();
    op.fFlags = flags;
    int r = ::SHFileOperationA(&op);
    if (aborted)
        *aborted = op.fAnyOperationsAborted != 0;
    return r;
}

std::string BrowseForFolder(HWND owner, const std::string& title, UINT flags)
{
    std::vector<char> display(MAX_PATH + 1);  // the shell's own fixed size for this field
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = display.data();
    bi.lpszTitle = title.c_str();
    bi.ulFlags = flags;
    LPITEMIDLIST pidl = ::SHBrowseForFolderA(&bi);
    if (!pidl)
        return {};
    std::vector<char> path(MAX_PATH * 4);
    std::string result;
    if (::SHGetPathFromIDListA(pidl, path.data()))
        result = path.data();
    ::CoTaskMemFree(pidl);
    return result;
}

std::string FilterFromBars(const std::string& barFilter)
{
    std::string f = barFilter;
    for (char& c : f) {
        if (c == '|')
            c = '\0';
    }
    f += '\0';
    f += '\0';
    return f;
}

std::vector<std::string> SplitMultiSelect(const char* buffer, size_t size)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < size && buffer[i]) {
        size_t n = 0;
        while (i + n < size && buffer[i + n])
            ++n;
        parts.emplace_back(buffer + i, n);
        i += n + 1;
    }
    if (parts.size() <= 1)
        return parts;
    // A folder, then names in it.
    std::string dir = parts[0];
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    std::vector<std::string> paths;
    for (size_t k = 1; k < parts.size(); ++k)
        paths.push_back(dir + parts[k]);
    return paths;
}

std::vector<std::string> FileDialog(bool open, HWND owner, const std::string& filter, const std::string& defaultExt,
                                    const std::string& initialName, DWORD flags)
{
    std::string f = FilterFromBars(filter);
    // A multi-select answer holds many names; give it room and grow on demand.
    std::vector<char> buffer(flags & OFN_ALLOWMULTISELECT ? 65536 : 4096);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), '\0');
        initialName.copy(buffer.data(), std::min(initialName.size(), buffer.size() - 1));
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter.empty() ? nullptr : f.c_str();
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
        ofn.Flags = flags;
        BOOL ok = open ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
        if (ok) {
            if (!(flags & OFN_ALLOWMULTISELECT))
                return {std::string(buffer.data())};
            return SplitMultiSelect(buffer.data(), buffer.size());
        }
        if (::CommDlgExtendedError() != FNERR_BUFFERTOOSMALL || buffer.size() > (1u << 24))
            return {};
        buffer.resize(buffer.size() * 4);
    }
}

HANDLE ShellStart(HWND owner, const std::string& verb, const std::string& file, const std::string& params,
                  const std::string& dir, int show)
{
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = owner;
    sei.lpVerb = verb.empty() ? nullptr : verb.c_str();
    sei.lpFile = file.c_str();
    sei.lpParameters = params.empty() ? nullptr : params.c_str();
    sei.lpDirectory = dir.empty() ? nullptr : dir.c_str();
    sei.nShow = show;
    if (!::ShellExecuteExA(&sei))
        return nullptr;
    return sei.hProcess;
}

}  // namespace mb
