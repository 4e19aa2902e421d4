// The window's commands: the context menus' and the window menu's entries,
// the hidden text buttons, the file filters, views, the PC tree's hide and
// show, the configuration run and the playlist maker's start.
#include "ManagerDlg.h"

#include "CommandRules.h"
#include "ManagerGlobals.h"
#include "ManagerSettings.h"
#include "SettingsRules.h"
#include "Prompter.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"

using namespace commands;

namespace {
const UINT ID_BTN_CONNECT = 1040;
const UINT ID_BTN_NEW = 1110;
const UINT ID_BTN_COPY = 1111;
const UINT ID_BTN_CUT = 1112;
const UINT ID_BTN_PASTE = 1113;
const UINT ID_BTN_DOWNLOAD = 1114;
const UINT ID_BTN_QFORMAT = 1115;
// The selection code of a single PC tree folder.
const int TRANSFER_PC_TREE_FOLDER = 5;
}  // namespace

void CManagerDlg::Reached(const char* entryPoint)
{
    if (m_calls.size() >= 64)
        m_calls.erase(m_calls.begin(), m_calls.begin() + 32);
    m_calls.push_back(entryPoint);
}

bool CManagerDlg::OnWindowCommand(UINT id)
{
    switch (id) {
    case ID_PCTREE_NEW_FOLDER:
        if (m_pcContextItem) {
            Reached("NewPcFolder");
            NewPcFolder(false, m_pcContextItem);
        }
        ClearContextItems();
        return true;
    case ID_PCTREE_RENAME:
        if (m_pcContextItem)
            m_pcTree.EditLabel(m_pcContextItem);
        ClearContextItems();
        return true;
    case ID_PCTREE_DELETE:
        if (m_pcContextItem) {
            m_pcTree.SelectItem(m_pcContextItem);
            Reached("DeletePcTreeFolder");
            DeletePcTreeFolder();
        }
        ClearContextItems();
        return true;
    case ID_PCTREE_FOLDER_SIZE:
        if (m_pcContextItem)
            ShowFolderSize(m_pcContextItem);
        ClearContextItems();
        return true;
    case ID_PCLIST_CUT:
        CollectToClipboard(TRANSFER_PC_CUT);
        return true;
    case ID_PCLIST_COPY:
        CollectToClipboard(TRANSFER_PC_COPY);
        return true;
    case ID_PCLIST_PASTE:
        PasteIntoPcList();
        return true;
    case ID_PCLIST_DELETE:
        Reached("DeletePcSelection");
        DeletePcSelection();
        return true;
    case ID_PDLIST_UPLOAD:
    case ID_UPLOAD:
        Reached("StartUpload");
        StartUpload(TRANSFER_UPLOAD);
        return true;
    case ID_PDLIST_DELETE:
        Reached("DeleteOnPlayer");
        DeleteOnPlayer();
        return true;
    case ID_PCLIST_OPEN:
        Reached("OpenSelectedPcItem");
        OpenSelectedPcItem();
        return true;
    case ID_PCLIST_RENAME:
        if (m_pcItem && m_pcTree.GetParentItem(m_pcItem)) {
            int row = m_pcList.GetNextItem(-1, LVNI_SELECTED);
            if (row >= 0)
                m_pcList.EditLabel(row);
        }
        return true;
    case ID_PCLIST_REFRESH:
        m_pcList.DeleteAllItems();
        Reached("ReopenPcFolder");
        ReopenPcFolder();
        return true;
    case ID_PDLIST_SELECT_ALL:
        m_playerList.Select(-1);
        return true;
    case ID_PDLIST_REFRESH:
        Reached("FillPlayerList");
        FillPlayerList();
        UpdateSpaceInfo(1);
        return true;
    case ID_CONNECT:
    case ID_BTN_CONNECT:
        ConnectOrDisconnect();
        return true;
    case ID_NEW_FOLDER:
    case ID_BTN_NEW:
        Reached("NewPcFolder");
        NewPcFolder(m_activePane == PANE_PC_LIST, m_pcTree.GetSelectedItem());
        return true;
    case ID_MOVE_UP_FOLDER:
        SelectPcTreeParent();
        return true;
    case ID_CUT:
    case ID_BTN_CUT:
        if (m_activePane == PANE_PC_LIST)
            CollectToClipboard(TRANSFER_PC_CUT);
        else if (m_activePane == PANE_PLAYER_LIST)
            CollectToClipboard(TRANSFER_PLAYER_CUT);
        return true;
    case ID_COPY:
    case ID_BTN_COPY:
        if (m_activePane == PANE_PC_LIST)
            CollectToClipboard(TRANSFER_PC_COPY);
        else if (m_activePane == PANE_PLAYER_LIST)
            CollectToClipboard(TRANSFER_PLAYER_COPY);
        return true;
    case ID_PASTE:
    case ID_BTN_PASTE:
        PasteByLastView();
        return true;
    case ID_DOWNLOAD:
    case ID_BTN_DOWNLOAD:
        Reached("StartDownload");
        StartDownload(std::vector<std::string>(), m_playerTree.GetSelectedItem(), TRANSFER_DOWNLOAD);
        return true;
    case ID_MEMORY_FORMAT:
        FormatShownMemory();
        return true;
    case ID_BTN_QFORMAT:
        Reached("FormatMemory");
        FormatMemory(m_currentMemory);
        return true;
    case ID_INTERNAL_MEMORY:
        Reached("SelectMemory");
        SelectMemory(MEMORY_INTERNAL, 1);
        return true;
    case ID_EXTERNAL_MEMORY:
        Reached("SelectMemory");
        SelectMemory(MEMORY_EXTERNAL, 1);
        return true;
    case ID_VIEWS:
        CycleViews();
        return true;
    case ID_PCLIST_SELECT_ALL:
        m_pcList.Select(-1);
        UpdateSpaceInfo(1);
        return true;
    case ID_DELETE:
        DeleteByActivePane();
        return true;
    case ID_SELECT_ALL:
        SelectAllByActivePane();
        return true;
    case ID_RENAME:
        RenameByActivePane();
        return true;
    case ID_PDLIST_CUT:
        CollectToClipboard(TRANSFER_PLAYER_CUT);
        return true;
    case ID_PDLIST_COPY:
        CollectToClipboard(TRANSFER_PLAYER_COPY);
        return true;
    case ID_PDLIST_PASTE:
        PasteIntoPlayerList();
        return true;
    case ID_PDLIST_RENAME: {
        int row = m_playerList.GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0)
            m_playerList.EditLabel(row);
        return true;
    }
    case ID_DLLIST_MOVE_UP:
        Reached("MoveDownloadListRows");
        MoveDownloadListRows(true);
        return true;
    case ID_DLLIST_MOVE_DOWN:
        Reached("MoveDownloadListRows");
        MoveDownloadListRows(false);
        return true;
    case ID_DLLIST_DELETE:
        Reached("DeleteDownloadListSelection");
        DeleteDownloadListSelection();
        return true;
    case ID_PCLIST_PROPERTIES: {
        std::string name = GetFirstSelectedText(m_pcList, 0, nullptr);
        if (!name.empty())
            ShowFileProperties(settings::WithBackslash(GetPcFolderPath()) + name);
        return true;
    }
    case ID_DLLIST_PROPERTIES: {
        std::string path = GetFirstSelectedText(m_downloadList, 4, nullptr);
        if (!path.empty())
            ShowFileProperties(path);
        return true;
    }
    case ID_PDLIST_MOVE_UP:
        Reached("WritePlayerFileOrder");
        WritePlayerFileOrder(0, 0);
        return true;
    case ID_PDLIST_MOVE_DOWN:
        Reached("WritePlayerFileOrder");
        WritePlayerFileOrder(2, 0);
        return true;
    case ID_PDTREE_NEW_FOLDER:
        // With no item under the click there is nothing to make it in.
        if (m_playerContextItem) {
            Reached("NewPlayerFolder");
            NewPlayerFolder(2, m_playerContextItem);
        }
        ClearContextItems();
        return true;
    case ID_PDTREE_DELETE:
        if (m_playerContextItem) {
            Reached("DeletePlayerFolder");
            DeletePlayerFolder(m_playerContextItem);
        }
        ClearContextItems();
        return true;
    case ID_PDTREE_RENAME:
        if (m_playerContextItem)
            m_playerTree.EditLabel(m_playerContextItem);
        ClearContextItems();
        return true;
    case ID_PCLIST_NEW_FOLDER:
        Reached("NewPcFolder");
        NewPcFolder(true, m_pcItem);
        return true;
    case ID_PDLIST_OPEN:
        Reached("OpenPlayerItem");
        OpenPlayerItem();
        return true;
    case ID_PDLIST_NEW_FOLDER:
        Reached("NewPlayerFolder");
        NewPlayerFolder(3, m_playerItem);
        return true;
    }
    return false;
}

void CManagerDlg::CollectToClipboard(int operation)
{
    Reached("CollectSelection");
    m_message.clear();
    if (!CollectSelection(operation, m_clipboard, nullptr) && !m_message.empty())
        ShowMessage(m_message);
}

void CManagerDlg::PasteByLastView()
{
    switch (commands::PasteByLastView(m_clipboard.Operation, m_activePane)) {
    case PASTE_INTO_PC_FOLDER: {
        std::string folder = GetPcFolderPath();
        Reached("PastePc");
        m_message.clear();
        if (!PastePc(folder, true) && !m_message.empty())
            ShowMessage(m_message);
        break;
    }
    case PASTE_DOWNLOAD:
        Reached("StartDownload");
        StartDownload(std::vector<std::string>(), m_playerItem, m_clipboard.Operation);
        break;
    case PASTE_UPLOAD:
        Reached("StartUpload");
        StartUpload(m_clipboard.Operation);
        break;
    default:
        break;
    }
}

void CManagerDlg::PasteIntoPlayerList()
{
    switch (commands::PasteIntoPlayerList(m_clipboard.Operation)) {
    case PASTE_DOWNLOAD:
        Reached("StartDownload");
        StartDownload(std::vector<std::string>(), m_playerItem, m_clipboard.Operation);
        break;
    case PASTE_MOVE_ON_PLAYER:
        Reached("MoveOnPlayer");
        MoveOnPlayer(settings::WithBackslash(GetPlayerFolderPath()), m_clipboard);
        break;
    default:
        ShowMessage(mb::LoadText(IDS_NO_SELECTED_FILE));
        break;
    }
}

void CManagerDlg::PasteIntoPcList()
{
    std::string folder = GetPcFolderPath();
    switch (commands::PasteIntoPcList(m_clipboard.Operation, !folder.empty())) {
    case PASTE_UPLOAD:
        Reached("StartUpload");
        StartUpload(m_clipboard.Operation);
        break;
    case PASTE_INTO_PC_FOLDER:
        Reached("PastePc");
        m_message.clear();
        if (!PastePc(folder, true) && !m_message.empty())
            ShowMessage(m_message);
        break;
    default:
        break;
    }
}

void CManagerDlg::DeleteByActivePane()
{
    // The download list's rows go with the Delete button and key, not here.
    switch (m_activePane) {
    case PANE_PC_TREE:
        Reached("DeletePcTreeFolder");
        DeletePcTreeFolder();
        break;
    case PANE_PC_LIST:
        Reached("DeletePcSelection");
        DeletePcSelection();
        break;
    case PANE_PLAYER_LIST:
        Reached("DeleteOnPlayer");
        DeleteOnPlayer();
        break;
    }
}

void CManagerDlg::RenameByActivePane()
{
    switch (m_activePane) {
    case PANE_PC_TREE:
        if (HTREEITEM item = m_pcTree.GetSelectedItem())
            m_pcTree.EditLabel(item);
        break;
    case PANE_PC_LIST: {
        int row = m_pcList.GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0)
            m_pcList.EditLabel(row);
        break;
    }
    case PANE_PLAYER_LIST: {
        int row = m_playerList.GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0)
            m_playerList.EditLabel(row);
        break;
    }
    }
}

void CManagerDlg::SelectAllByActivePane()
{
    if (m_activePane == PANE_PC_LIST) {
        m_pcList.Select(-1);
        UpdateSpaceInfo(1);
    } else if (m_activePane == PANE_PLAYER_LIST) {
        m_playerList.Select(-1);
    }
}

void CManagerDlg::FormatShownMemory()
{
    unsigned long long freeBytes = 0, totalBytes = 0;
    m_message.clear();
    if (GetMemorySpace(m_currentMemory, &freeBytes, &totalBytes) == 0) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return;
    }
    if (ShowMessage(mb::LoadText(IDS_FORMAT_ASK), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    Reached("FormatMemory");
    FormatMemory(m_currentMemory);
    // A started tool owns the memory until it ends; its end lists the
    // memory again (timer 14).
    if (m_formatTool)
        return;
    FillPlayerList();
    UpdateSpaceInfo(1);
    ShowVolumeLabel(m_currentMemory);
}

void CManagerDlg::ConnectOrDisconnect()
{
    Reached(m_currentMemory == MEMORY_NONE ? "DetectPlayer" : "OnPlayerRemoved");
    OnConnectDisconnect();
}

void CManagerDlg::SelectPcTreeParent()
{
    HTREEITEM item = m_pcTree.GetSelectedItem();
    HTREEITEM parent = item ? m_pcTree.GetParentItem(item) : nullptr;
    if (parent)
        m_pcTree.SelectItem(parent);
}

void CManagerDlg::UpFolder()
{
    if (m_activePane >= PANE_PLAYER_TREE) {
        HTREEITEM item = m_playerTree.GetSelectedItem();
        HTREEITEM parent = item ? m_playerTree.GetParentItem(item) : nullptr;
        if (parent)
            m_playerTree.SelectItem(parent);
    } else {
        SelectPcTreeParent();
    }
}

void CManagerDlg::CycleViews()
{
    static const LONG_PTR kStyles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    if (m_activePane <= PANE_PC_LIST) {
        m_pcListView = NextPcListView(m_pcListView);
        m_pcList.ModifyStyle(LVS_TYPEMASK, kStyles[m_pcListView]);
        m_pcList.Invalidate();
    } else {
        m_playerListView = NextPlayerListView(m_playerListView);
        m_playerList.ModifyStyle(LVS_TYPEMASK, kStyles[m_playerListView]);
        m_playerList.Invalidate();
    }
}

void CManagerDlg::TogglePcTree()
{
    RECT tree = GetChildRect(1003);
    RECT list = GetChildRect(1001);
    if (m_pcTree.IsWindowVisible()) {
        m_pcTree.ShowWindow(SW_HIDE);
        m_pcList.MoveWindow(RECT{tree.left, list.top, list.right, list.bottom});
        m_skin.SetTreeHidden(true);
    } else {
        int x = 0, y = 0, cy = 0;
        if (!ReadSkinValues("PC_CROSS", &x, &y, nullptr, &cy, false))
            return;
        Span treeSpan, listSpan;
        SplitPcPane(list.left, list.right, x, y, cy, &treeSpan, &listSpan);
        m_pcTree.MoveWindow(RECT{treeSpan.left, list.top, treeSpan.right, list.bottom});
        m_pcList.MoveWindow(RECT{listSpan.left, list.top, listSpan.right, list.bottom});
        m_pcTree.ShowWindow(SW_SHOW);
        m_skin.SetTreeHidden(false);
    }
}

// The filters: 0 music, 1 voice, 2 all; the player's file kinds are those
// of the shown memory.
void CManagerDlg::ShowMusicFiles()
{
    m_fileFilter = 0;
    m_skin.Button(1079).SetState(CSkinButton::STATE_NORMAL);
    if (m_pcListKind == 2)
        ReopenPcFolder();
    Reached("ApplyDownloadFilter");
    ApplyDownloadFilter(m_fileFilter);
    if (m_currentMemory != MEMORY_NONE) {
        m_fileKindFilter = m_currentMemory == MEMORY_INTERNAL ? 2 : 512;
        FillPlayerList();
    }
}

void CManagerDlg::ShowVoiceFiles()
{
    m_fileFilter = 1;
    for (UINT id : {1077u, 1079u})
        if (m_skin.HasButton(id))
            m_skin.Button(id).SetState(CSkinButton::STATE_NORMAL);
    if (m_pcListKind == 2)
        ReopenPcFolder();
    Reached("ApplyDownloadFilter");
    ApplyDownloadFilter(m_fileFilter);
    if (m_currentMemory != MEMORY_NONE) {
        m_fileKindFilter = m_currentMemory == MEMORY_INTERNAL ? 4 : 1024;
        FillPlayerList();
    }
}

void CManagerDlg::ShowAllFiles()
{
    m_fileFilter = 2;
    m_skin.Button(1077).SetState(CSkinButton::STATE_NORMAL);
    if (m_pcListKind == 2)
        ReopenPcFolder();
    Reached("ApplyDownloadFilter");
    ApplyDownloadFilter(m_fileFilter);
    if (m_currentMemory != MEMORY_NONE) {
        m_fileKindFilter = m_currentMemory == MEMORY_INTERNAL ? 8 : 2048;
        FillPlayerList();
    }
    UpdateSpaceInfo(1);
}

void CManagerDlg::RunConfiguration()
{
    auto answers = [&](int memory) {
        return !m_memories[memory].Root.empty() && GetMemorySpace(memory, nullptr, nullptr) != 0;
    };
    const std::string internalRoot = answers(MEMORY_INTERNAL) ? m_memories[0].Root : std::string();
    const std::string externalRoot = answers(MEMORY_EXTERNAL) ? m_memories[1].Root : std::string();
    KillTimer(1);
    Reached("RunConfigDialog");
    ApplyConfigResult(RunConfigDialog(internalRoot, externalRoot));
    RedrawNow();
    m_recentPaths.SetCurSel(0);
    SetTimer(1, 1500);
}

void CManagerDlg::ApplyConfigResult(int result)
{
    if (result & 1) {
        Reached("SelectMemory");
        SelectMemory(m_currentMemory, 1);
    } else if (((result & 2) && m_currentMemory == MEMORY_INTERNAL) ||
               ((result & 4) && m_currentMemory == MEMORY_EXTERNAL)) {
        char label[MAX_PATH + 1] = {};
        const std::string& root = m_memories[m_currentMemory].Root;
        HTREEITEM top = m_playerTree.GetRootItem();
        if (top && !root.empty() &&
            ::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
            m_playerTree.SetItemText(top, label);
    }
    if (result & (8 | 16)) {
        CManagerSettings::Values v = CManagerSettings::Read();
        m_removeCompleted = int(v.cfgDl);
        m_treeHiddenAtStart = int(v.cfgTr);
        // The tree takes the stored choice: shown for 0, hidden otherwise.
        if (m_pcTree.IsWindowVisible() == (v.cfgTr == 1))
            TogglePcTree();
    }
}

void CManagerDlg::StartPlaylistMaker()
{
    HANDLE process = mb::ShellStart(m_hWnd, "open", "ListForge.exe", m_memories[0].Root, ".");
    // Without a process to watch the window is never disabled: nothing could
    // tell when to enable it again.
    Reached(process ? "ListForge started" : "ListForge not started");
    if (!process)
        return;
    if (m_startedProgram)
        ::CloseHandle(m_startedProgram);
    m_startedProgram = process;
    EnableWindow(false);
    SetTimer(3, 500);
    SetTimer(20, 2000);
}

void CManagerDlg::ShowFolderSize(HTREEITEM item)
{
    if (!item)
        item = m_pcItem;
    if (!item)
        return;
    std::string path;
    unsigned long long bytes = 0;
    {
        CWaitCursor wait;
        path = GetPcTreeItemPath(item);
        if (!path.empty())
            bytes = CFileUtil::GetFolderSize(path);
    }
    std::string text = mb::Format("%s\r\n\r\n%s: %u KB", path.c_str(), mb::LoadText(IDS_FOLDER_SIZE).c_str(),
                                  unsigned(KilobytesRoundedUp(bytes)));
    mb::ShowMessageW(m_hWnd, mb::Widen(text), L"Information", MB_OK | MB_ICONINFORMATION);
}

void CManagerDlg::ShowFileProperties(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    Reached("RunPropertiesDialog");
    if (::lstrcmpiA(ext.c_str(), "mp3") == 0)
        RunPropertiesDialog(path, &m_mp3Info, nullptr);
    else if (::lstrcmpiA(ext.c_str(), "wma") == 0)
        RunPropertiesDialog(path, nullptr, &m_wmaInfo);
    else
        RunPropertiesDialog(path, nullptr, nullptr);
    RedrawNow();
    m_recentPaths.SetCurSel(0);
}

int CManagerDlg::ShellFileOperation(UINT function, const TRANSFER_LIST& list, const std::string& target,
                                    bool renameOnCollision, bool* aborted)
{
    std::vector<std::string> from;
    if (list.Operation == TRANSFER_PC_TREE_FOLDER) {
        from.push_back(list.BaseFolder);
    } else {
        const std::string base = settings::WithBackslash(list.BaseFolder);
        for (const std::string& name : list.Names)
            from.push_back(base + name);
    }
    FILEOP_FLAGS flags = renameOnCollision ? FOF_RENAMEONCOLLISION : FOF_ALLOWUNDO;
    return mb::FileOperation(m_hWnd, function, from, function == FO_DELETE ? std::string() : target, flags, aborted);
}
