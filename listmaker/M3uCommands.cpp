// ListForgeDlg's M3U commands: saving the playlist list as an M3U file and
// opening M3U files into it. The text itself is made and read by M3uCodec.
#include <windows.h>
#include <commdlg.h>

#include <cctype>
#include <new>

#include "FileReplace.h"
#include "ListForgeDlg.h"
#include "M3uCodec.h"
#include "Shell.h"
#include "Text.h"
#include "resource.h"

namespace {

const char FILTER[] = "File List (*.m3u)\0*.m3u\0\0";

// The longest M3U file read: some 400,000 paths, far more than a player
// holds.
const DWORD MAX_M3U_BYTES = 16u << 20;

// The open and save dialogs with the structure size Windows 95, 98 and ME
// accept. Several chosen files come back as a folder and names; the file
// offset tells them from one path.
std::vector<std::string> RunFileDialog(HWND owner, bool open, const std::string& initialDir)
{
    std::vector<char> buffer(open ? 65536 : 4 * MAX_PATH);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), '\0');
        OPENFILENAMEA ofn{};
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = FILTER;
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = DWORD(buffer.size());
        ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
        ofn.lpstrDefExt = "m3u";
        ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_PATHMUSTEXIST |
                    (open ? OFN_ALLOWMULTISELECT : OFN_OVERWRITEPROMPT);
        BOOL ok = open ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
        if (ok)
            return listforge::SplitFileDialogResult(buffer.data(), buffer.size(), ofn.nFileOffset);
        if (::CommDlgExtendedError() != FNERR_BUFFERTOOSMALL || buffer.size() >= (1u << 22))
            return {};
        buffer.resize(buffer.size() * 4);
    }
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::vector<std::string> ListForgeDlg::AskOpenPaths()
{
    return RunFileDialog(m_hWnd, true, m_root);
}

std::string ListForgeDlg::AskSavePath()
{
    std::vector<std::string> paths = RunFileDialog(m_hWnd, false, m_root);
    return paths.empty() ? std::string() : paths[0];
}

bool ListForgeDlg::WriteM3uFile(const std::string& path, const std::string& text)
{
    // An existing list is replaced only by a whole new one, so that a save
    // that fails (a full memory, a player pulled out) leaves it as it was.
    return mb::ReplaceFileWithText(path, text);
}

void ListForgeDlg::SaveM3u()
{
    if (!Exists(m_root) && Ask(IDS_NO_MEMORY, MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    std::string path = AskSavePath();
    if (path.empty())
        return;
    if (!m_root.empty() && std::toupper(static_cast<unsigned char>(path[0])) !=
                               std::toupper(static_cast<unsigned char>(m_root[0]))) {
        if (Ask(IDS_NOT_PLAYER_DRIVE, MB_YESNO | MB_ICONWARNING) != IDYES)
            return;
    }
    if (!WriteM3uFile(path, listforge::BuildM3uText(m_playlist.Paths()))) {
        Ask(IDS_CREATE_FAILED, MB_OK | MB_ICONWARNING);
        return;
    }
    m_modified = 0;
}

void ListForgeDlg::AddM3uFile(const std::string& path, bool select, bool& reset)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Ask(IDS_OPEN_FAILED, MB_OK | MB_ICONWARNING);
        return;
    }
    // A file far longer than any list of the player's files (a film named
    // .m3u) is refused before it is read: held whole it could take more
    // memory than the program has, and the list would be lost with it.
    DWORD high = 0;
    const DWORD size = ::GetFileSize(file, &high);
    bool ok = !(size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) && high == 0 && size <= MAX_M3U_BYTES;
    std::string text;
    std::vector<std::string> entries;
    try {
        std::vector<char> chunk(65536);
        DWORD got = 0;
        while (ok && (ok = ::ReadFile(file, chunk.data(), DWORD(chunk.size()), &got, nullptr) != 0) && got > 0) {
            text.append(chunk.data(), got);
            ok = text.size() <= MAX_M3U_BYTES;  // grown while being read
        }
        if (ok)
            entries = listforge::ParseM3uText(text, listforge::M3uFolderOf(path));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ::CloseHandle(file);
    if (!ok) {
        Ask(IDS_OPEN_FAILED, MB_OK | MB_ICONWARNING);
        return;
    }
    if (entries.empty()) {
        Ask(IDS_NO_ENTRY, MB_OK | MB_ICONWARNING);
        return;
    }
    m_playlist.Send(WM_SETREDRAW, FALSE);
    if (reset) {
        // The list starts again with the first rows read: a list that could
        // not be read takes nothing away.
        m_playlist.DeleteAllItems();
        reset = false;
    }
    for (const std::string& entry : entries) {
        std::string full = listforge::JoinRoot(m_root, entry);
        int image = -1;
        if (listforge::IsMusicFile(full) && Exists(full))
            image = mb::SystemIconIndex(full, true);
        int row = m_playlist.Insert(-1, listforge::FileNameOf(full), full, image);
        if (select && row >= 0)
            m_playlist.Select(row);
    }
    m_playlist.Send(WM_SETREDRAW, TRUE);
    m_playlist.Invalidate();
    m_modified = 1;
}

void ListForgeDlg::OpenM3u()
{
    if (!Exists(m_root) && Ask(IDS_NO_MEMORY, MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    std::vector<std::string> paths = AskOpenPaths();
    if (paths.empty() || paths[0].empty())
        return;
    bool select = false;
    bool reset = false;
    if (m_playlist.GetItemCount() > 0) {
        switch (Ask(IDS_ATTACH_QUESTION, MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDNO: reset = true; break;
        case IDYES: select = true; break;
        default: return;
        }
    }
    for (const std::string& path : paths)
        AddM3uFile(path, select, reset);
}
