// Shell and common dialogs in the ANSI world.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace mb {

// SHGetFileInfo; false when the shell knows nothing of the path.
bool GetFileInfo(const std::string& path, UINT flags, SHFILEINFOA& info, DWORD attributes = 0);
// The system image list (small or large icons), obtained for "C:\". It belongs
// to the system: attach it without ownership.
HIMAGELIST SystemImageList(bool small);
// Index of a path's icon in the system image list, or -1.
int SystemIconIndex(const std::string& path, bool small, bool open = false);

// SHFileOperation on a list of paths. The double-nul-terminated lists are
// built at the length of the paths themselves, so no path is cut. Returns the
// operation's result (0 success); aborted tells whether the user cancelled.
int FileOperation(HWND owner, UINT func, const std::vector<std::string>& from, const std::string& to,
                  FILEOP_FLAGS flags, bool* aborted = nullptr);
// The list SHFileOperation takes: each path followed by a nul, then one more.
std::string DoubleNulList(const std::vector<std::string>& paths);

// The folder browser; empty when cancelled.
std::string BrowseForFolder(HWND owner, const std::string& title, UINT flags = BIF_RETURNONLYFSDIRS);

// Open and save dialogs. The filter is "Text|*.m3u|All|*.*|" style. Returns
// the chosen paths (several with OFN_ALLOWMULTISELECT), none when cancelled.
std::vector<std::string> FileDialog(bool open, HWND owner, const std::string& filter, const std::string& defaultExt,
                                    const std::string& initialName, DWORD flags);
// The pieces of the dialogs' result buffers, exposed for their tests.
std::string FilterFromBars(const std::string& barFilter);
std::vector<std::string> SplitMultiSelect(const char* buffer, size_t size);

// ShellExecuteEx with a process handle to watch (nullptr when the shell
// started nothing or the launch failed). The caller closes it.
HANDLE ShellStart(HWND owner, const std::string& verb, const std::string& file, const std::string& params,
                  const std::string& dir, int show = SW_SHOWNORMAL);

}  // namespace mb
