#include "fileutil/FileUtil.h"

#include <shellapi.h>

#include <cstring>

#include "fileutil/WindowsCodePage.h"

namespace {

CFileText AnsiText()
{
    static const CWindowsCodePage ansi(CP_ACP);
    return CFileText(ansi);
}

// Bounds a display name to DISPLAY_NAME_MAX bytes without splitting a
// double-byte character.
std::string BoundName(std::string name)
{
    if (name.size() > CFileUtil::DISPLAY_NAME_MAX)
        name.resize(AnsiText().CharBoundaryBefore(name, CFileUtil::DISPLAY_NAME_MAX));
    return name;
}

std::string WithBackslash(const std::string& folder)
{
    if (!folder.empty() && folder.back() == '\\')
        return folder;
    return folder + '\\';
}

bool IsDots(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool CFileUtil::IsDriveReady(const std::string& path)
{
    if (path.size() < 2)
        return false;
    const std::string root = path.substr(0, 2) + '\\';
    // An empty removable drive must answer "not ready", not put up the
    // system's "insert a disk" box.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    ULARGE_INTEGER available = {}, total = {}, free = {};
    const BOOL ok = GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free);
    SetErrorMode(oldMode);
    return ok && total.QuadPart != 0;
}

bool CFileUtil::FileExists(const std::string& path)
{
    WIN32_FIND_DATAA found;
    const HANDLE h = FindFirstFileA(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

std::string CFileUtil::GetFileExt(const std::string& path) { return AnsiText().GetFileExt(path); }

int CFileUtil::SplitPath(const std::string& path, std::vector<std::string>& parts)
{
    std::string full = path;
    if (full.size() <= 1) {
        const DWORD need = GetCurrentDirectoryA(0, nullptr);
        full.assign(need, '\0');
        const DWORD got = need ? GetCurrentDirectoryA(need, &full[0]) : 0;
        full.resize(got < need ? got : 0);
    }
    return AnsiText().SplitPath(full, parts);
}

std::string CFileUtil::GetPathRoot(const std::string& path) { return AnsiText().GetPathRoot(path); }
std::string CFileUtil::GetFolderPath(const std::string& path) { return AnsiText().GetFolderPath(path); }
std::string CFileUtil::GetFileName(const std::string& path) { return AnsiText().GetFileName(path); }
std::string CFileUtil::FormatSizeKB(DWORD bytes) { return CFileText::FormatSizeKB(bytes); }
std::string CFileUtil::FormatSize(std::int64_t bytes, int adder) { return CFileText::FormatSize(bytes, adder); }

bool CFileUtil::GetFileSizeAndTime(const std::string& path, DWORD& size, SYSTEMTIME& time)
{
    size = 0;
    std::memset(&time, 0, sizeof time);
    WIN32_FIND_DATAA found;
    const HANDLE h = FindFirstFileA(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    size = CFileText::ClampSize((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
    FILETIME local;
    if (!FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &time))
        std::memset(&time, 0, sizeof time);
    return true;
}

DWORD CFileUtil::GetFolderSize(const std::string& folder)
{
    // A walk with its own stack: folder depth is bounded only by the path
    // length, and a link back up the tree would never end, so reparse points
    // (links, junctions, mount points) are skipped, as Explorer does.
    std::uint64_t total = 0;
    std::vector<std::string> pending{WithBackslash(folder)};
    while (!pending.empty() && total <= 0xFFFFFFFFULL) {
        const std::string dir = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAA found;
        const HANDLE h = FindFirstFileA((dir + "*.*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (IsDots(found.cFileName) || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                pending.push_back(dir + found.cFileName + '\\');
            else
                total += (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    return CFileText::ClampSize(total);
}

bool CFileUtil::DeleteToRecycleBin(const std::string& path)
{
    std::vector<char> from;
    if (!CFileText::MakeDoubleNulPath(path, CFileText::RECYCLE_BUFFER_SIZE, from))
        return false;
    SHFILEOPSTRUCTA op = {};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    return SHFileOperationA(&op) == 0;
}

int CFileUtil::GetPathKind(const std::string& path) { return AnsiText().GetPathKind(path); }
int CFileUtil::ParseInt(const std::string& text, int& value) { return CFileText::ParseInt(text, value); }
bool CFileUtil::ParseDecimal(const std::string& text, double& value) { return CFileText::ParseDecimal(text, value); }
std::string CFileUtil::FormatNumber(int value, int width) { return CFileText::FormatNumber(value, width); }
int CFileUtil::GetFileKindFlag(int memory, const std::string& path) { return AnsiText().GetFileKindFlag(memory, path); }
std::string CFileUtil::ShortenName(const std::string& name, int maxLength) { return AnsiText().ShortenName(name, maxLength); }

bool CFileUtil::GetItemDisplayName(IShellFolder* folder, LPCITEMIDLIST item, DWORD flags, std::string& name)
{
    if (!folder || !item)
        return false;
    STRRET result = {};
    if (FAILED(folder->GetDisplayNameOf(item, flags, &result)))
        return false;
    switch (result.uType) {
    case STRRET_WSTR: {
        std::string text;
        if (result.pOleStr) {
            const int need = WideCharToMultiByte(CP_ACP, 0, result.pOleStr, -1, nullptr, 0, nullptr, nullptr);
            if (need > 0) {
                text.assign(static_cast<std::size_t>(need), '\0');
                WideCharToMultiByte(CP_ACP, 0, result.pOleStr, -1, &text[0], need, nullptr, nullptr);
                text.resize(static_cast<std::size_t>(need) - 1);
            }
            CoTaskMemFree(result.pOleStr);
        }
        name = BoundName(text);
        return true;
    }
    case STRRET_OFFSET: {
        // The text lies inside the item; never read past the item's end.
        const std::size_t itemSize = item->mkid.cb;
        const char* base = reinterpret_cast<const char*>(item);
        std::string text;
        for (std::size_t i = result.uOffset; i < itemSize && base[i]; ++i)
            text += base[i];
        name = BoundName(text);
        return true;
    }
    case STRRET_CSTR: {
        const std::size_t length = strnlen(result.cStr, sizeof result.cStr);
        name = BoundName(std::string(result.cStr, length));
        return true;
    }
    default:
        return false;
    }
}

UINT CFileUtil::GetItemIdListSize(LPCITEMIDLIST list)
{
    if (!list)
        return 0;
    UINT size = sizeof(USHORT);
    for (LPCITEMIDLIST p = list; p->mkid.cb != 0; p = NextItemId(p))
        size += p->mkid.cb;
    return size;
}

LPITEMIDLIST CFileUtil::NextItemId(LPCITEMIDLIST item)
{
    return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(reinterpret_cast<const BYTE*>(item) + item->mkid.cb));
}

void* CFileUtil::AllocShellMemory(UINT bytes)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return nullptr;
    void* memory = allocator->Alloc(bytes);
    if (memory)
        std::memset(memory, 0, bytes);
    allocator->Release();
    return memory;
}

LPITEMIDLIST CFileUtil::ConcatItemIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second)
{
    const UINT firstSize = first ? GetItemIdListSize(first) - sizeof(USHORT) : 0;
    // A missing second list still leaves the result terminated.
    const UINT secondSize = second ? GetItemIdListSize(second) : sizeof(USHORT);
    BYTE* joined = static_cast<BYTE*>(AllocShellMemory(firstSize + secondSize));
    if (!joined)
        return nullptr;
    if (first)
        std::memcpy(joined, first, firstSize);
    if (second)
        std::memcpy(joined + firstSize, second, secondSize);
    return reinterpret_cast<LPITEMIDLIST>(joined);
}

LPITEMIDLIST CFileUtil::CopyItemId(IMalloc* allocator, LPCITEMIDLIST item)
{
    if (!allocator || !item)
        return nullptr;
    const UINT itemSize = item->mkid.cb;
    BYTE* copy = static_cast<BYTE*>(allocator->Alloc(itemSize + sizeof(USHORT)));
    if (!copy)
        return nullptr;
    // The terminator is written, not copied: the item may be followed by
    // further items rather than by a terminator.
    std::memcpy(copy, item, itemSize);
    std::memset(copy + itemSize, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(copy);
}

int CFileUtil::GetIconIndex(const std::string& path, UINT flags)
{
    SHFILEINFOA info = {};
    SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, flags);
    // Only the index is wanted; an icon asked for as well would leak.
    if ((flags & SHGFI_ICON) && info.hIcon)
        DestroyIcon(info.hIcon);
    return info.iIcon;
}
