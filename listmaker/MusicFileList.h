// MusicFileList (control 1001): the playable files of the folder selected in
// the folder tree, one row per file with its system small icon. It keeps the
// folder its rows came from, so that adding never pairs another folder with
// them.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"

namespace listforge {
// Every character, taken from the system code page to UTF-16, is below 256.
bool IsLatinText(const std::string& text);
// The music-file test shared by the list and the M3U reader: an mp3 or wma
// extension and a name the player can show.
bool IsMusicFile(const std::string& path);
// The entries of a folder (a path ending in a backslash) as the system lists
// them, without "." and ".." and without entries whose full path would not fit
// MAX_PATH (no call could open them).
std::vector<WIN32_FIND_DATAA> ListFolder(const std::string& folder);
}  // namespace listforge

class MusicFileList : public CListCtrl {
public:
    // Refills the rows from a folder path ending in a backslash.
    void Fill(const std::string& folder);
    // The folder the rows belong to.
    const std::string& Folder() const { return m_folder; }

    BOOL PreTranslateMessage(MSG* msg) override;

    MB_DECLARE_MESSAGE_MAP()

    LRESULT OnFillFileList(WPARAM folder, LPARAM);
    LRESULT OnSetFocus(WPARAM, LPARAM);

private:
    std::string m_folder;
};
