// CFileUtil: the manager's stateless helpers for paths, size and number texts,
// file facts, recycle-bin deletes, shell item ids and icon indexes. Texts are
// ANSI in the system's code page; paths use "\".
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fileutil/FileText.h"

class CFileUtil {
public:
    static bool IsDriveReady(const std::string& path);
    static bool FileExists(const std::string& path);

    static std::string GetFileExt(const std::string& path);
    // Appends the folder names of the path (the current folder for a path of
    // fewer than two characters) to parts and returns how many parts holds.
    static int SplitPath(const std::string& path, std::vector<std::string>& parts);
    static std::string GetPathRoot(const std::string& path);
    static std::string GetFolderPath(const std::string& path);
    static std::string GetFileName(const std::string& path);

    static std::string FormatSizeKB(DWORD bytes);
    // roundUpAdder is added to the whole-unit count when the division leaves a
    // remainder: 1 rounds up (totals), 0 truncates (free space).
    static std::string FormatSize(std::int64_t bytes, int roundUpAdder);

    // Size (at most 0xFFFFFFFF) and last write time in local time.
    static bool GetFileSizeAndTime(const std::string& path, DWORD& size, SYSTEMTIME& time);
    // Sum of the file sizes below the folder, at most 0xFFFFFFFF; links and
    // junctions are not followed.
    static DWORD GetFolderSize(const std::string& folder);
    static bool DeleteToRecycleBin(const std::string& path);

    static int GetPathKind(const std::string& path);
    static int ParseInt(const std::string& text, int& value);
    static bool ParseDecimal(const std::string& text, double& value);
    static std::string FormatNumber(int value, int width);
    static int GetFileKindFlag(int memory, const std::string& path);
    static std::string ShortenName(const std::string& name, int maxLength);

    // Display name of a child item; at most 255 bytes, cut at a whole character.
    static bool GetItemDisplayName(IShellFolder* folder, LPCITEMIDLIST item, DWORD flags, std::string& name);
    // A new list (shell allocator): first without its terminator, then second.
    static LPITEMIDLIST ConcatItemIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second);
    static UINT GetItemIdListSize(LPCITEMIDLIST list);
    static LPITEMIDLIST NextItemId(LPCITEMIDLIST item);
    static void* AllocShellMemory(UINT bytes);
    // A one-item list holding a copy of the first item of item.
    static LPITEMIDLIST CopyItemId(IMalloc* allocator, LPCITEMIDLIST item);
    static int GetIconIndex(const std::string& path, UINT flags);

    // The longest name a display-name buffer holds.
    static constexpr std::size_t DISPLAY_NAME_MAX = 255;
};
