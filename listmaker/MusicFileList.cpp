#include "MusicFileList.h"

#include <cstring>

#include "M3uCodec.h"
#include "Shell.h"
#include "resource.h"

namespace listforge {

bool IsLatinText(const std::string& text)
{
    if (text.empty())
        return true;
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0)
        return false;
    std::vector<wchar_t> wide(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), n);
    for (wchar_t c : wide) {
        if (unsigned(c) >= 256)
            return false;
    }
    return true;
}

bool IsMusicFile(const std::string& path)
{
    return HasMusicExtension(FileNameOf(path)) && IsLatinText(path);
}

std::vector<WIN32_FIND_DATAA> ListFolder(const std::string& folder)
{
    std::vector<WIN32_FIND_DATAA> entries;
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((folder + "*.*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    do {
        if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, ".."))
            continue;
        if (folder.size() + std::strlen(fd.cFileName) >= MAX_PATH)
            continue;
        entries.push_back(fd);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    return entries;
}

}  // namespace listforge

MB_BEGIN_MESSAGE_MAP(MusicFileList, CListCtrl)
    mb::OnMessage(WM_FILL_FILE_LIST, &MusicFileList::OnFillFileList),
    mb::OnMessage(WM_SETFOCUS, &MusicFileList::OnSetFocus),
MB_END_MESSAGE_MAP()

void MusicFileList::Fill(const std::string& folder)
{
    DeleteAllItems();
    m_folder = folder;
    for (const WIN32_FIND_DATAA& fd : listforge::ListFolder(folder)) {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string name = fd.cFileName;
        if (!listforge::IsMusicFile(name))
            continue;
        if (_strnicmp(name.c_str(), "._", 2) == 0 || name == ".DS_Store")
            continue;
        InsertItem(GetItemCount(), name, mb::SystemIconIndex(folder + name, true));
    }
}

LRESULT MusicFileList::OnFillFileList(WPARAM folder, LPARAM)
{
    const char* path = reinterpret_cast<const char*>(folder);
    Fill(path ? std::string(path) : std::string());
    return 0;
}

LRESULT MusicFileList::OnSetFocus(WPARAM, LPARAM)
{
    LRESULT r = Default();
    if (GetItemCount() > 0 && GetSelectedCount() == 0)
        Select(0);
    return r;
}

BOOL MusicFileList::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd == m_hWnd && msg->message == WM_KEYDOWN && msg->wParam == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
        Select(-1);
        return TRUE;
    }
    return FALSE;
}
