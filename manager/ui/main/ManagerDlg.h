// CManagerDlg: the manager's one modal dialog (template 102). Its methods
// live in one file per concern:
//   ManagerDlg.cpp          construction, start-up, paint, size, shutdown
//   ManagerDlgSkin.cpp      the skin steps and the banner animation
//   ManagerDlgSettings.cpp  settings, recent paths, image lists, small queries
//   ManagerDlgTimers.cpp    the timers, the start-up and settle threads
//   ManagerDlgMessages.cpp  private messages, skin buttons, keys, mouse, About
//   ManagerDlgView.cpp      active pane and the expanded window
//   ManagerDlgPending.cpp   entry points that later concerns fill (README.md)
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"
#include "Dialog.h"
#include "Gdi.h"
#include "Mp3Info.h"
#include "ProgressCtl.h"
#include "Skin.h"
#include "OverwriteDlg.h"
#include "TransferEngine.h"
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
struct TRANSFER_LIST {
    int Operation = 0;
    std::string BaseFolder;
    std::vector<std::string> Names;
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

    // ---- entry points of later concerns (ManagerDlgPending.cpp)
    int DetectPlayer();
    int OnPlayerRemoved(int memory);
    int SelectMemory(int memory, int showMessages);
    unsigned long GetMemorySpace(int memory, unsigned long long* freeBytes, unsigned long long* totalBytes);
    void EjectMedia9x(char letter, bool eject);
    void EjectMediaNT(char letter, bool eject);
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
    void ShowVolumeLabel();
    void OpenSelectedPcItem();
    void ShowAboutBox();
    void RunConfiguration();
    void StartPlaylistMaker();
    void OpenListFile();
    void SaveListAsM3u();
    void StartDownload(const std::vector<std::string>& paths, HTREEITEM target, int mode);
    void StartDownloadList();
    void StartUpload(int mode);
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

    // ---- deleting, formatting, configuration (ManagerDlgDelete.cpp, ManagerDlgFormat.cpp)
    bool FormatMemory(int memory);
    void OpenPlayerItem();
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
    // Of other concerns: the player pane and memory selection.
    void RebuildPlayerTree(DRIVE_INFO& memory, const std::string& path);
    std::string GetVolumeLabel(int memory);
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
    CEdit m_pathEdit;            // 1194
    CTreeCtrl m_pcTree;          // 1003
    CListCtrl m_pcList;          // 1001
    CTreeCtrl m_playerTree;      // 1004
    CListCtrl m_playerList;      // 1002
    CListCtrl m_downloadList;    // 1201
    CListCtrl m_downloadTwin;    // 1014 (hidden)
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
