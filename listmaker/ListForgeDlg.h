// ListForgeDlg: the playlist maker's main dialog (template 102, "ListForge"):
// the player's folder tree, the music files of the selected folder, the
// playlist being built, and the seven picture buttons that add, order,
// delete, open, save and exit.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"
#include "Dialog.h"
#include "Gdi.h"
#include "ImageButton.h"
#include "Mp3Info.h"
#include "MusicFileList.h"
#include "PlayerFolderTree.h"
#include "PlaylistList.h"
#include "WMAInfo.h"

class ListForgeDlg : public CDialog {
public:
    // root: the player root as the command line gave it; empty lets the user
    // pick a drive.
    explicit ListForgeDlg(const std::string& root, HWND parent = nullptr);

    BOOL OnInitDialog() override;
    // Enter does nothing; Escape never arrives (swallowed), a cancel command
    // from elsewhere goes the way of Exit.
    void OnOK() override {}
    void OnCancel() override { Exit(); }
    BOOL PreTranslateMessage(MSG* msg) override;

    void AddToPlaylist();
    void MoveUp();
    void MoveDown();
    void DeleteFromPlaylist();
    void OpenM3u();
    void SaveM3u();
    void Exit();

    bool IsModified() const { return m_modified != 0; }
    const std::string& PlayerRoot() const { return m_root; }
    PlayerFolderTree& Tree() { return m_tree; }
    MusicFileList& Files() { return m_files; }
    PlaylistList& Playlist() { return m_playlist; }

    MB_DECLARE_MESSAGE_MAP()

    LRESULT OnImageButtonClick(WPARAM button, LPARAM);
    LRESULT OnPlaylistMoveUp(WPARAM, LPARAM);
    LRESULT OnPlaylistMoveDown(WPARAM, LPARAM);
    LRESULT OnPlaylistChanged(WPARAM, LPARAM);
    LRESULT OnClose(WPARAM, LPARAM);
    void OnBeginDragFiles(NMHDR* nm, LRESULT* result);
    void OnBeginDragPlaylist(NMHDR* nm, LRESULT* result);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnLButtonUp(WPARAM, LPARAM);
    LRESULT OnCaptureChanged(WPARAM, LPARAM);

protected:
    // The shell's dialogs; tests answer them in their place. An empty answer
    // is a cancel.
    virtual std::string AskDrive();
    virtual std::vector<std::string> AskOpenPaths();
    virtual std::string AskSavePath();

private:
    int Ask(UINT textId, UINT type);
    void BeginDrag(UINT source, const NMLISTVIEW* nm);
    // The list control (1001 or 1002) a screen point is over, or 0.
    UINT ListUnder(POINT screen) const;
    void EndDrag();
    // Writes the file whole; false on any failure, with no cut file left
    // behind and an existing file of that name as it was.
    bool WriteM3uFile(const std::string& path, const std::string& text);
    // Adds one M3U file's entries; with reset set, the rows there were go
    // (and reset is cleared) once this file has entries to take their place.
    void AddM3uFile(const std::string& path, bool select, bool& reset);

    std::string m_root;
    PlayerFolderTree m_tree;
    MusicFileList m_files;
    PlaylistList m_playlist;
    CImageButton m_buttons[7];
    CToolTipCtrl m_tip;
    int m_modified = 0;
    CImageList m_dragOne;
    CImageList m_dragMany;
    CImageList* m_drag = nullptr;
    UINT m_dragSource = 0;
    CMP3Info m_mp3Info;
    CWMAInfo m_wmaInfo;
};
