// PlayerFolderTree (control 1000): the folders of the player's drive. Folders
// are read when their item expands (every item carries a "?" child until
// then); selecting a folder refills the music file list, at once for the
// first selection and after 400 ms of rest afterwards.
#pragma once

#include <string>

#include "Controls.h"

class MusicFileList;

class PlayerFolderTree : public CTreeCtrl {
public:
    // Fills the tree from the drive of root's first character; 0 when that
    // is not a letter (the tree stays empty), else 1.
    int FillFromDrive(const std::string& root, MusicFileList* files);
    // The folder of an item (nullptr: the selected one), ending in a backslash.
    std::string GetItemPath(HTREEITEM item = nullptr) const;
    const std::string& RootText() const { return m_root; }

    MB_DECLARE_MESSAGE_MAP()

    void OnItemExpanding(NMHDR* nm, LRESULT* result);
    void OnSelChanged(NMHDR* nm, LRESULT* result);
    void OnTimer(UINT_PTR id);

private:
    void ReadChildren(HTREEITEM item);
    void SendFill(HTREEITEM item);

    std::string m_root;
    HTREEITEM m_rootItem = nullptr;
    bool m_firstSelection = true;
    MusicFileList* m_files = nullptr;
};
