// CManagerDlg: the manager's one modal dialog (template 102). Its methods
// live in one file per concern:
//   ManagerDlg.cpp          construction, start-up, paint, size, shutdown
//   ManagerDlgSkin.cpp      the skin steps and the banner animation
//   ManagerDlgSettings.cpp  settings, recent paths, image lists, small queries
//   ManagerDlgTimers.cpp    the timers, the start-up and settle threads
//   ManagerDlgMessages.cpp  private messages, skin buttons, keys, mouse, About
//   ManagerDlgView.cpp      active pane and the expanded window
//   ... and one file for each pane, command set and dialog (README.md)
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "CommandRules.h"
#include "Controls.h"
#include "Dialog.h"
#include "FileListCtrl.h"
#include "Gdi.h"
#include "Mp3Info.h"
#include "ProgressCtl.h"
#include "Skin.h"
#include "OverwriteDlg.h"
#include "PlayerCalls.h"
#include "PlayerTree.h"
#include "TransferEngine.h"
#include "TransferListCtrl.h"
#include "TransferWindowSink.h"
#include "WMAInfo.h"

// The window's own private messages (numbers shared with the panes and the
// transfer engine: WM_USER + n).
enum : UINT {
    WM_PC_FILES_DROPPED = WM_USER + 512,           // 1536
    WM_PLAYER_FILES_DROPPED = WM_USER + 513,       // 1537
    WM_LIST_FILES_DROPPED = WM_USER + 514,         // 1538
    WM_REFRESH_ALL = WM_USER + 544,                // 1568
    WM_PLAYER_TREE_FILES_DROPPED = WM_USER + 592,  // 1616
    // The settle thread's end, handled on the user-interface thread.
    WM_PLAYER_SETTLED = WM_USER + 640,             // 1664
    // The start-up lists are filled.
    WM_LISTS_READY = WM_USER + 641,                // 1665
    // The PC tree is built on the user-interface thread.
    WM_BUILD_PC_TREE = WM_USER + 642,              // 1666
};

// A drive record of the PC pane and of the player's two memories.
struct DRIVE_INFO {
    std::string TypeText;
    unsigned long long TotalBytes = 0;
    unsigned long long FreeBytes = 0;
    std::string Root;
    std::string DisplayName;
    int Icon = 0;
    int SelectedIcon = 0;
};

// The selection of a copy, cut or delete (filled by the pane commands).
// Operation codes: 1 PC copy, 2 PC cut, 3 PC delete, 5 the PC tree's folder,
// 16 player copy, 32 player cut.
struct TRANSFER_LIST {
    int Operation = 0;
    std::string BaseFolder;
    std::vector<std::string> Names;
    bool HasFolders = false;
    std::vector<int> Rows;        // list rows of the names
    std::vector<int> FolderRows;  // positions in Names of the folders
};

class CManagerDlg : public CDialog {
public:
    enum { IDD = 102 };
    enum Memory { MEMORY_INTERNAL = 0, MEMORY_EXTERNAL = 1, MEMORY_NONE = 2 };
    enum Operation { OP_NONE = 0, OP_DOWNLOAD_LIST = 1, OP_DOWNLOAD = 2, OP_PLAYER_MOVE = 3, OP_UPLOAD = 4 };
    enum Pane { PANE_PC_TREE = 0, PANE_PC_LIST = 1, PANE_PLAYER_TREE = 2, PANE_PLAYER_LIST = 3, PANE_DOWNLOAD_LIST = 4 };

    CManagerDlg();
    ~CManagerDlg() override;

    BOOL OnInitDialog() override;
    // The default push button never ends the dialog.
    void OnOK() override {}
    void OnCancel() override { EndDialog(IDCANCEL); }
    // F1: the About box, reported handled.
    void OnHelp() override { OnAbout(); }
    BOOL PreTranslateMessage(MSG* msg) override;

    // ---- start-up, paint, size, shutdown (ManagerDlg.cpp)
    bool InitWindow();
    void OnPaint();
    void OnSize(int width, int height);
    void OnDestroy();

    // ---- skin (ManagerDlgSkin.cpp)
    bool ReadSkinValues(const std::string& section, int* x, int* y, int* cx, int* cy, bool reload,
                        std::string* str = nullptr);
    bool LoadSkinLayout(int first, int width, int height);
    bool LoadSkinButtons(int first);
    bool LoadSkinFrame(int width, int height);
    void FreeSkinResources();
    // One tick of timer 1's banner animation.
    void AnimateBanner();

    // ---- settings and small queries (ManagerDlgSettings.cpp)
    void ReadSettings();
    void LoadSaveRecentPaths(const std::string& how);
    bool IsSettingsFile(const std::string& path) const;
    std::string GetFirstSelectedText(CListCtrl& list, int column, int* index);
    int GetPcTreeItemKind(HTREEITEM item);
    DWORD GetSelectionSize(CListCtrl& list);
    void AttachSystemImageLists();
    void LoadDragIcons();
    void ApplyTreeSetting();

    // ---- timers and threads (ManagerDlgTimers.cpp)
    void OnTimer(UINT_PTR id);
    void OnPresenceTick();
    void OnTransferWatch();
    void OnPlayerFolderTimer();
    // Lists the folder chosen in the player tree now when its timer has not yet.
    void SettlePlayerFolder();
    static DWORD WINAPI InitListsThread(void* dialog);
    static DWORD WINAPI PlayerSettleThread(void* dialog);
    void OnPlayerSettled();
    void OnListsReady();
    bool StartSettleThread();

    // ---- messages, skin buttons, keys, mouse (ManagerDlgMessages.cpp)
    void OnSkinButtonClick(UINT id);
    void OnAbout();
    void OnMousePosNumProgress(long position);
    void OnTestPanel();
    void OnConRep();
    void OnLButtonDown(POINT point);
    void OnItemStatus(const char* path, UINT statusText);
    void OnFileDone(int index, bool replaced);
    void OnUploadFileDone(int index, bool replaced);
    void OnSourceDeleted(int index, bool playerSide);

    // ---- active pane and window size (ManagerDlgView.cpp)
    void SetViewMode(int pane);
    void ToggleExpanded();

    // ---- entry points of the concerns (each defined in its own file)
    void UpdateSpaceInfo(int recomputePc);
    void UpdateTransferProgress(const TRANSFER_STATUS& status);
    void FillPlayerList();
    int AddPlayerListItem(int index, const std::string& name);
    HTREEITEM InsertPlayerTreeItem(const std::string& name, HTREEITEM parent);
    std::string GetPlayerFolderPath();
    std::string GetPcFolderPath();
    void InitPlayerListColumns();
    void InitPcListColumns();
    void InitDownloadListColumns();
    void InitPathBoxAndDriveTree();
    bool ShowPcTreeSelection();
    void ReopenPcFolder();
    void OpenSelectedPcItem();
    void RunConfiguration();
    void StartPlaylistMaker();
    void OpenListFile();
    void SaveListAsM3u();
    void StartDownload(const std::vector<std::string>& paths, HTREEITEM target, int mode);
    bool StartDownloadList();
    void StartUpload(int mode, bool drop = false);
    void DeleteOnPlayer();
    void DeletePcSelection();
    void DeletePcTreeFolder();
    void DeleteDownloadListSelection();
    void ShowMusicFiles();
    void ShowVoiceFiles();
    void ShowAllFiles();
    void OpenFmPresets();
    void UpFolder();
    void CycleViews();
    void TogglePcTree();
    void MoveDownloadListRows(bool up);
    void RunTestPanel();

    // ---- commands, context menus, drag and drop (ManagerDlgCommands.cpp, ManagerDlgMenus.cpp,
    //      ManagerDlgDragDrop.cpp)
    // Commands 32780-32854 and the hidden buttons 1040, 1110-1116; false for
    // any other identifier.
    bool OnWindowCommand(UINT id);
    // The panes take files dropped from the shell.
    void AcceptShellDrops();
    void OnContextMenu(HWND window, POINT screen);
    // What the greying rules see for a submenu opened at a screen point.
    commands::MenuState ContextMenuState(int submenu, POINT screen);
    // Drops the drop highlight of the context items and forgets them.
    void ClearContextItems();
    // A tree item that goes is no longer a context menu's item.
    void OnTreeItemDeleted(HWND tree, HTREEITEM item);
    void CollectToClipboard(int operation);
    void PasteByLastView();
    void PasteIntoPlayerList();
    void PasteIntoPcList();
    void DeleteByActivePane();
    void RenameByActivePane();
    void SelectAllByActivePane();
    void FormatShownMemory();
    void ConnectOrDisconnect();
    void SelectPcTreeParent();
    // What the configuration dialog's result mask asks for (bits 1 to 16).
    void ApplyConfigResult(int result);
    void ShowFolderSize(HTREEITEM item = nullptr);
    void ShowFileProperties(const std::string& path);
    int ShellFileOperation(UINT function, const TRANSFER_LIST& list, const std::string& target,
                           bool renameOnCollision, bool* aborted);
    // Algorithm 7 of the shell drops, by the control that received them.
    void OnControlDropFiles(HWND control, HDROP drop);
    static std::vector<std::string> DroppedPaths(HDROP drop);
    // The window's own image drag.
    void BeginImageDrag(UINT sourceList, POINT screen);
    void OnDragMouseMove(POINT screen);
    void OnDragButtonUp(POINT screen);
    // The mouse taken by another window mid-drag (a message box, a switch
    // to another program): the drag ends without a drop.
    void OnDragCaptureLost(HWND taker);
    bool CanDropAt(HWND window, POINT screen, bool* leaveWindow);
    void DropAt(HWND window, POINT screen);
    void StartShellDrag();
    commands::DropTarget DropTargetOf(HWND window) const;
    // Entry points of other concerns that the commands call.
    bool FormatMemory(int memory);
    void OpenPlayerItem();
    int RunConfigDialog(const std::string& internalRoot, const std::string& externalRoot);
    void RunPropertiesDialog(const std::string& path, CMP3Info* mp3, CWMAInfo* wma);

    HTREEITEM m_pcContextItem = nullptr;
    HTREEITEM m_playerContextItem = nullptr;
    // The views of the lists: PC 0 large icons, 1 small icons, 2 list,
    // 3 details; player 2 list, 3 details.
    int m_pcListView = 3;
    int m_playerListView = 3;
    // The drag state.
    bool m_dragging = false;
    UINT m_dragSource = 0;
    int m_dragCount = 0;
    std::vector<std::string> m_dragNames;
    std::vector<unsigned long long> m_dragSizes;
    std::vector<int> m_dragRows;
    // Seen by the tests: the entry points of other concerns the commands and
    // drops reached, in order ("StartDownload", "MoveOnPlayer", ...), the last
    // context menu opened (submenu, greyed commands), the paths of the last
    // shell drop and the number of shell drags run.
    std::vector<std::string> m_calls;
    // Notes one such call; the record keeps the last few dozen.
    void Reached(const char* entryPoint);
    int m_lastMenu = -1;
    std::vector<unsigned> m_lastMenuGreyed;
    std::vector<std::string> m_lastDropPaths;
    HTREEITEM m_dropTreeItem = nullptr;
    int m_shellDrags = 0;
    // ---- transfers, download list, M3U lists (ManagerDlgTransfers.cpp, ManagerDlgDownloadList.cpp)
    // The upload of StartUpload once its PC target folder is known.
    bool UploadTo(const std::string& targetFolder, int mode);
    // Paste of the player clipboard into a player folder.
    void MoveOnPlayer(const std::string& targetFolder, const TRANSFER_LIST& clipboard);
    // The folder path of a player tree item on the current memory ("E:\A\B").
    std::string PlayerItemPath(HTREEITEM item);
    void AddPcSelectionToDownloadList();
    void AddDownloadRow(const std::string& name, const char* sizeText, const std::string& path);
    void AddDownloadListItem(const std::string& path);
    void ApplyDownloadFilter(int filter);
    void RemoveSelectedDownloads();
    unsigned long long GetDownloadListSize();
    // Moves the selected download rows to stand before visible row target.
    void ReorderDownloadRows(int target);
    // The status of the row whose path is path, in both lists.
    void SetDownloadStatus(const std::string& path, const std::string& status);
    // Save List and Open List on a file the user chose.
    bool SaveDownloadListTo(const std::string& path);
    bool OpenDownloadListFrom(const std::string& path);
    int m_progressFile = 0;
    DWORD m_progressPos = 0;
    // ---- player detection, memories, volume release, small dialogs
    //      (ManagerDlgDetect.cpp, ManagerDlgMemory.cpp, ManagerDlgEject.cpp,
    //      ManagerDlgDialogs.cpp)
    int DetectPlayer();
    int OnPlayerRemoved(int memory);
    void OnConnectDisconnect();
    // The letter to release when the shown memory stopped answering.
    char RemovedMemoryLetter() const;
    // Closes the windows that work on the player: this program's FM preset
    // dialogs (when asked) and the playlist maker (by a posted request).
    void CloseWindowsOfPlayer(bool fmPresets);
    void FillMemoryRecord(int index, char letter);
    // SETTINGS.DAT of the internal memory to the program folder (or back to
    // a player that has none); false when the copy failed.
    bool BackupSettingsFile();
    void SetConnectedLook(bool connected);
    unsigned long QueryMemorySpace(int memory, unsigned long long* freeBytes, unsigned long long* totalBytes);
    unsigned long GetMemorySpace(int memory, unsigned long long* freeBytes, unsigned long long* totalBytes);
    int SelectMemory(int memory, int showMessages);
    int SelectMemoryWork(int memory, int showMessages);
    void SetMemoryButtons(bool internalSelected);
    std::string GetVolumeLabel(int memory);
    void ShowVolumeLabel(int memory);
    bool EjectMedia9x(char letter, bool eject);
    bool EjectMediaNT(char letter, bool eject);
    void ShowAboutBox();
    // The system calls of detection and release (tests stand in for them).
    CPlayerCalls* m_playerCalls = &SystemPlayerCalls();
    bool m_connectedLook = false;
    bool m_settingsBackedUp = false;
    // ---- player pane and play order (ManagerDlgPlayerPane.cpp, ManagerDlgPlayOrder.cpp)
    void RebuildPlayerTree(const DRIVE_INFO& memory, const std::string& path);
    void FillFolderChildren(HTREEITEM item);
    void ListSubfolders(HTREEITEM item, std::vector<std::string>& names);
    HTREEITEM ReinsertFolderItem(HTREEITEM item);
    void NewPlayerFolder(int origin, HTREEITEM item);
    void DrawSpaceInfo(HDC dc, int force);
    // Handles the tree's and the player list's notifications; false leaves
    // the message to the default handling.
    bool OnPlayerPaneNotify(NMHDR* header, LRESULT* result);
    bool OnPlayerListKey(UINT key);
    void OnTestModeChord();
    void ShowTestControls(bool show);
    bool OnPlayerTreeKey(UINT key);
    int DeletePlayerFolder(HTREEITEM item);
    void RenamePlayerTreeItem(HTREEITEM item, std::string typed);
    void WritePlayerFileOrder(int kind, int dropRow);
    static void ListFolderEntries(const std::string& folder, std::vector<std::string>& names);
    // The memory root of the shown memory ("" with none).
    std::string PlayerRoot() const;
    // Every entry of a folder, "." and ".." left out; in the order of the
    // directory's entries on the player when asked (a raw read), else as
    // enumerated.
    struct FolderEntry {
        std::string Name;
        bool IsFolder;
    };
    static std::vector<FolderEntry> ReadFolder(const std::string& folder, bool diskOrder = true);
    // Player names compared as the system does (ignoring case), and a key
    // equal for any two names that compare equal.
    static bool SameNameNoCase(const std::string& a, const std::string& b);
    static std::string NameSortKey(const std::string& name);
    // Empties the player tree without asking for a listing.
    void ClearPlayerTree();
    int m_treeRebuilding = 0;
    std::string m_spaceLinePc, m_spaceLineMemory;  // the texts drawn last
    double m_pcSelectionMb = 0, m_downloadListMb = 0;
    // ---- PC pane (ManagerDlgPcTree.cpp, ManagerDlgPcList.cpp)
    // A shell folder's item of the PC tree (its item data; freed with the item).
    struct SHELL_ITEM {
        IShellFolder* Parent = nullptr;
        LPITEMIDLIST Relative = nullptr;
        LPITEMIDLIST Full = nullptr;
        int Depth = 0;
    };
    // The sort record of a PC list column.
    struct SORT_RECORD {
        int Text = 1;       // 1 compare as text, 0 as number
        int Placement = 3;  // 3 arrow right of the text, 4 arrow alone
        int Next = 1;       // direction of the next click
    };
    void BuildDriveTree(bool withSizes);
    void FillPcTree(const std::string& startPath);
    HTREEITEM InsertPcTreeItem(const std::string& text, HTREEITEM parent);
    int ListSubfolders(std::vector<std::string>& names, const std::string& path);
    void RefreshPcTreeChildren(HTREEITEM item);
    void AddShellChildren(IShellFolder* folder, LPCITEMIDLIST parentList, HTREEITEM parentItem, bool desktopLevel);
    HTREEITEM FindPcTreeItem(const std::string& path);
    void UpdateDriveBox(HTREEITEM item);
    bool IsPcTreeItemFixed(HTREEITEM item);
    HTREEITEM InsertNamedSubfolder(HTREEITEM parent, const std::string& name);
    HTREEITEM ReinsertPcTreeItem(HTREEITEM item);
    std::string GetPcTreeItemPath(HTREEITEM item);
    HTREEITEM FindPcTreeChild(HTREEITEM parent, const std::string& name);
    bool OnPcPaneNotify(NMHDR* nm, LRESULT* result);
    bool OnPcPaneCommand(UINT id, UINT code);
    void OnDriveBoxChosen();
    // Box 1193: a recent path chosen (or typed and ended with Enter).
    void OnRecentPathChosen(const std::string& path);
    // A key in box 1193's edit; true when it was the box's (Enter).
    bool OnRecentPathKey(UINT key);
    void RereadDriveNames();
    void OnPcTreeExpanding(NMTREEVIEWA* nm, LRESULT* result);
    void OnPcTreeEndLabelEdit(HTREEITEM item, bool edited, const std::string& text, LRESULT* result);
    void OnPcTreeKey(UINT key);
    int ShowPcFolder(HTREEITEM item);
    void ShowDriveList();
    void FillFolderList(const std::string& path, int kindFilter, bool addSpecialRows);
    // One file or folder row of the PC list as a listing shows it (size,
    // type, time, icon) at index at; the row's index or -1.
    int InsertPcListRow(int at, const std::string& path, const std::string& name, bool folder);
    // The answer to files sent to a PC item that takes none (no folder of its own).
    static std::string NoFolderToCopyIntoText();
    bool FillShellList(IShellFolder* folder, HTREEITEM item);
    void SetPcListView(int view);
    void SortPcList(int column, bool fromRefill);
    void SetSortArrow(int column, int direction);
    void ClearSortArrows();
    void OpenPcItem();
    bool NewPcFolder(bool fromList, HTREEITEM item);
    int CollectSelection(int code, TRANSFER_LIST& record, HTREEITEM item);
    void ResetTransferList(TRANSFER_LIST& record);
    bool PastePc(const std::string& targetPath, bool refreshList);
    void OnPcListEndLabelEdit(int row, bool edited, const std::string& text, LRESULT* result);
    void OnPcListKey(UINT key);
    void ShowPcProblem(const char* text);
    // From the commands concern (placeholders until it lands).
    void ShowNotice(const std::string& text, int milliseconds);

    int m_pcDriveCount = 0;          // records used in m_pcDrives
    bool m_pcHasNetwork = false;     // the last record is the network's
    HTREEITEM m_desktopItem = nullptr, m_pcRootItem = nullptr, m_networkItem = nullptr;
    HTREEITEM m_driveItems[30] = {};
    int m_pcListKind = 0;            // 1 drives, 2 folder, 3 shell folder
    std::string m_pcFolderPath;
    SORT_RECORD m_sortRecords[4];
    int m_sortColumn = 0;
    IShellFolder* m_selectedShellFolder = nullptr;
    std::vector<std::string> m_driveBoxKeys;
    std::vector<int> m_driveBoxKinds;
    bool m_dropHighlight = false;
    bool m_treeEditCancel = false;
    bool m_recentDropped = false, m_recentTyped = false;
    int m_treeLevelLimit = 7;
    // ---- deleting, formatting, configuration (ManagerDlgDelete.cpp, ManagerDlgFormat.cpp)
    // The device settle poll after a delete.
    void SettleAfterDelete();
    // The shown player folder, ending with "\" (the memory's root when the
    // pane shows no folder item).
    std::string ShownPlayerFolder();
    HTREEITEM FindPlayerTreeChild(HTREEITEM parent, const std::string& name);
    // Asks for a memory's new volume label (the volume-label dialog); false
    // when cancelled. Tests replace it.
    virtual bool AskVolumeLabel(const std::string& current, std::string& label);
    // Timer 14: the started format tool's end; then the new media, its label
    // and the memory listed again.
    void OnFormatToolWatch();
    void FinishFormat();
    int m_deleteRowsDone = 0;
    HANDLE m_formatTool = nullptr;
    int m_formatMemory = MEMORY_NONE;
    std::string m_formatLabel;
    // How the last format tool ended (for the tests): its exit code, and how
    // many format runs were finished.
    DWORD m_formatToolExit = 0;
    int m_formatsFinished = 0;
    std::string m_appliedLabel;
    bool m_labelApplied = false;
    // The last configuration run's result mask.
    int m_configResult = 0;

    // ---- state read by the panes, the operations and the tests
    CSkin m_skin;
    CToolTipCtrl m_tooltip;
    CProgressCtl m_progress;
    CComboBoxEx m_pcPath;        // 1183
    CComboBox m_recentPaths;     // 1193
    // Set once the stored recent paths are in the box: only then does the
    // end write the box back over them.
    bool m_recentPathsRead = false;
    CEdit m_pathEdit;            // 1194
    CTreeCtrl m_pcTree;          // 1003
    CListCtrl m_pcList;          // 1001
    CPlayerTree m_playerTree;    // 1004
    CFileListCtrl m_playerList;  // 1002
    CTransferListCtrl m_downloadList;  // 1201
    CTransferListCtrl m_downloadTwin;  // 1014 (hidden)
    CStatusBar m_statusBar;      // 1007
    CImageList m_dragFile, m_dragFolder;
    HICON m_mainIcon = nullptr;

    std::string m_message;       // titles and every message box text
    std::string m_scratch;
    int m_currentMemory = MEMORY_NONE;
    short OsLevel = 0;
    int m_runningOperation = OP_NONE;
    int m_activePane = PANE_PC_LIST;
    int m_fileFilter = 2;
    int m_fileKindFilter = 8;
    int m_removeCompleted = 1;   // CFG_DL
    int m_treeHiddenAtStart = 1; // CFG_TR
    bool m_rowsAdded = false;
    volatile LONG m_listsNotReady = 1;
    bool m_treeClearing = false;
    bool m_conRepRunning = false;
    int m_conRepCount = 0;
    int m_testMode = 0;
    HANDLE m_startedProgram = nullptr;
    HTREEITEM m_playerItem = nullptr;
    HTREEITEM m_pcItem = nullptr;
    std::string m_uploadFolder;
    DRIVE_INFO m_memories[2];
    DRIVE_INFO m_pcDrives[30];
    TRANSFER_LIST m_selection, m_clipboard;
    CMP3Info m_mp3Info;
    CWMAInfo m_wmaInfo;
    // The engine reports to this window through its sink and asks the
    // overwrite question with the window as owner.
    CTransferWindowSink m_transferSink;
    COverwriteQuestion m_overwriteQuestion;
    CTransferEngine m_engine;

    // Seen by the tests: the thread that ran the settle thread's window steps
    // and how many banner pictures were changed.
    DWORD m_settleUiThread = 0;
    int m_bannerDraws = 0;
    // The progress bar's hover text (strings 346/347, or empty).
    std::string m_progressTip;
    bool m_progressTipAdded = false;
    int m_aboutShown = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void InitListsWork();
    // Waits for a worker of the dialog while answering the messages it
    // sends, so that no worker outlives the window it works on.
    static void WaitForWorker(HANDLE& thread);
    HANDLE m_listsThread = nullptr;
    HWND m_listsWindow = nullptr;
    HANDLE m_settleThread = nullptr;
    void ShowSkinFailure();
};
