// The main dialog's private messages, skin-button dispatch, keys, mouse,
// About entries, the progress hover tooltip and the engineering buttons.
#include "ManagerDlg.h"

#include <windowsx.h>

#include "ManagerGlobals.h"
#include "SettingsRules.h"
#include "StringIds.h"
#include "Text.h"

namespace {
const UINT ID_SYSTEM_ABOUT = 16;
const UINT ID_CMD_ABOUT = 32780;
const UINT ID_CMD_CLOSE = 32809;
const UINT ID_BTN_EXIT = 1116;
const UINT ID_BTN_TEST = 1117;
const UINT ID_BTN_CONREP = 1118;
const UINT ID_CMD_CONNECT = 32812;
const UINT ID_BTN_CONNECT = 1040;
}  // namespace

LRESULT CManagerDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wp);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lp), HIWORD(lp));
        break;
    case WM_GETMINMAXINFO:
        m_skin.OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp));
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_mainIcon);
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == ID_SYSTEM_ABOUT) {
            OnAbout();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_BUILD_PC_TREE:
        FillPcTree(std::string());
        return 0;
    case WM_COMMAND:
        if (lp && OnPcPaneCommand(LOWORD(wp), HIWORD(wp)))
            return 0;
        if (HIWORD(wp) == 0 || HIWORD(wp) == BN_CLICKED) {
            switch (LOWORD(wp)) {
            case ID_CMD_ABOUT:
                OnAbout();
                return 0;
            case ID_CMD_CLOSE:
            case ID_BTN_EXIT:
                // The plain OK ending: the window's own empty OnOK is bypassed.
                EndDialog(IDOK);
                return 0;
            case ID_BTN_TEST:
                OnTestPanel();
                return 0;
            case ID_BTN_CONREP:
                OnConRep();
                return 0;
            case ID_CMD_CONNECT:
            case ID_BTN_CONNECT:
                OnConnectDisconnect();
                return 0;
            default:
                if (OnWindowCommand(LOWORD(wp)))
                    return 0;
            }
        }
        break;
    case WM_CONTEXTMENU:
        OnContextMenu(reinterpret_cast<HWND>(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_NOTIFY: {
        const NMHDR* nm = reinterpret_cast<const NMHDR*>(lp);
        if (nm && nm->code == LVN_BEGINDRAG &&
            (nm->idFrom == 1001 || nm->idFrom == 1002 || nm->idFrom == 1201)) {
            POINT screen = reinterpret_cast<const NMLISTVIEW*>(lp)->ptAction;
            ::ClientToScreen(nm->hwndFrom, &screen);
            BeginImageDrag(UINT(nm->idFrom), screen);
            return 0;
        }
        if (nm && (nm->code == TVN_DELETEITEMA || nm->code == TVN_DELETEITEMW))
            OnTreeItemDeleted(nm->hwndFrom, reinterpret_cast<const NMTREEVIEWA*>(lp)->itemOld.hItem);
        LRESULT result = 0;
        if (lp && OnPcPaneNotify(reinterpret_cast<NMHDR*>(lp), &result))
            return result;
        if (OnPlayerPaneNotify(reinterpret_cast<NMHDR*>(lp), &result)) {
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
            return result;
        }
        break;
    }
    case WM_MOUSEMOVE:
        if (m_dragging) {
            POINT screen{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ::ClientToScreen(m_hWnd, &screen);
            OnDragMouseMove(screen);
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        OnDragCaptureLost(reinterpret_cast<HWND>(lp));
        break;
    case WM_LBUTTONUP:
        if (m_dragging) {
            POINT screen{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ::ClientToScreen(m_hWnd, &screen);
            OnDragButtonUp(screen);
            return 0;
        }
        break;

    // Private messages: handled here, then the default procedure sees them too.
    case WM_PC_FILES_DROPPED:
        ReopenPcFolder();
        break;
    case WM_PLAYER_FILES_DROPPED:
        if (wp) {
            Reached("StartDownload");
            StartDownload(*reinterpret_cast<const std::vector<std::string>*>(wp), m_playerTree.GetSelectedItem(),
                          TRANSFER_DOWNLOAD);
        }
        break;
    case WM_LIST_FILES_DROPPED:
        UpdateSpaceInfo(1);
        break;
    case WM_XFER_SOURCE_DELETED:
        OnSourceDeleted(int(wp), false);
        break;
    case WM_XFER_FILE_DONE:
        OnFileDone(int(wp), lp != 0);
        break;
    case WM_XFER_SOURCE_DELETED_EXT:
        OnSourceDeleted(int(wp), true);
        break;
    case WM_UPLOAD_FILE_DONE:
        OnUploadFileDone(int(wp), lp != 0);
        break;
    case WM_REFRESH_ALL:
        FillPlayerList();
        UpdateSpaceInfo(1);
        break;
    case WM_SKIN_BUTTON_CLICK:
        if (wp)
            OnSkinButtonClick(reinterpret_cast<CSkinButton*>(wp)->GetDlgCtrlID());
        break;
    case WM_XFER_ITEM_PROCESSING:
        OnItemStatus(reinterpret_cast<const char*>(wp), IDS_STATUS_PROCESSING);
        break;
    case WM_XFER_ITEM_COMPLETE:
        OnItemStatus(reinterpret_cast<const char*>(wp), IDS_STATUS_COMPLETE);
        break;
    case WM_XFER_ITEM_SKIPPED:
        OnItemStatus(reinterpret_cast<const char*>(wp), 0);
        break;
    case WM_PLAYER_TREE_FILES_DROPPED:
        if (wp) {
            Reached("StartDownload");
            m_dropTreeItem = reinterpret_cast<HTREEITEM>(lp);
            StartDownload(*reinterpret_cast<const std::vector<std::string>*>(wp), reinterpret_cast<HTREEITEM>(lp),
                          TRANSFER_DOWNLOAD);
        }
        break;
    case WM_PLAYER_SETTLED:
        OnPlayerSettled();
        return 0;
    case WM_LISTS_READY:
        OnListsReady();
        return 0;
    }
    return CDialog::WindowProc(msg, wp, lp);
}

void CManagerDlg::OnItemStatus(const char* path, UINT statusText)
{
    if (m_runningOperation != OP_DOWNLOAD_LIST || !path)
        return;
    // Kept in the hidden twin as well, or a filter change would forget it.
    SetDownloadStatus(path, statusText ? mb::LoadText(statusText) : std::string());
}

void CManagerDlg::OnSourceDeleted(int index, bool playerSide)
{
    std::string name = m_engine.GetFileName(index);
    CListCtrl& list = playerSide ? m_playerList : m_pcList;
    if (playerSide) {
        std::string source = m_engine.GetFilePath(index);
        std::string folder = source.substr(0, source.find_last_of('\\') + 1);
        if (::lstrcmpiA(folder.c_str(), settings::WithBackslash(GetPlayerFolderPath()).c_str()) != 0)
            return;
    }
    int row = list.FindItem(name);
    if (row >= 0 && !list.DeleteItem(row))
        ShowMessage(mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(), "FAILED TO DELETE A LIST ITEM."));
    if (playerSide)
        UpdateSpaceInfo(1);
}

void CManagerDlg::OnFileDone(int index, bool replaced)
{
    std::string name = m_engine.GetFileName(index);
    std::string folder = settings::WithBackslash(m_engine.GetDownloadTarget());
    std::string shown = GetPlayerFolderPath();
    if (!shown.empty() && ::lstrcmpiA(folder.c_str(), settings::WithBackslash(shown).c_str()) == 0 &&
        ::GetFileAttributesA((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (replaced) {
            int row = m_playerList.FindItem(name);
            if (row >= 0)
                m_playerList.DeleteItem(row);
        }
        bool kindOk = true;
        if (m_fileKindFilter == 2 || m_fileKindFilter == 4 || m_fileKindFilter == 512 || m_fileKindFilter == 1024)
            kindOk = CFileUtil::GetFileKindFlag(m_currentMemory, folder + name) == m_fileKindFilter;
        if (kindOk) {
            int row = AddPlayerListItem(m_playerList.GetItemCount(), name);
            m_rowsAdded = true;
            if (row >= 0)
                m_playerList.Select(row);
            if (::GetFileAttributesA((folder + name).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                InsertPlayerTreeItem(name, m_playerTree.GetSelectedItem());
        }
    }
    UpdateSpaceInfo(1);
}

void CManagerDlg::OnUploadFileDone(int index, bool replaced)
{
    std::string target = settings::WithBackslash(m_engine.GetUploadTarget());
    std::string shown = GetPcFolderPath();
    if (shown.empty() || ::lstrcmpiA(target.c_str(), settings::WithBackslash(shown).c_str()) != 0)
        return;
    std::string name = m_engine.GetFileName(index);
    if (m_fileFilter == 0 && CFileUtil::GetFileKindFlag(0, target + name) != 2)
        return;
    int at = m_pcList.GetItemCount();
    if (replaced) {
        int row = m_pcList.FindItem(name);
        if (row >= 0) {
            m_pcList.DeleteItem(row);
            at = row;
        }
    } else {
        m_rowsAdded = true;
    }
    // The row a listing would show: a row without its size is taken for a
    // folder's (Open would try to enter the file, a sort would put it with
    // the folders).
    const std::string path = target + name;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    int row = InsertPcListRow(at, path, name, folder);
    if (row >= 0)
        m_pcList.Select(row);
}

void CManagerDlg::OnSkinButtonClick(UINT id)
{
    if (id >= 1207 && id <= 1210)
        SetViewMode(PANE_DOWNLOAD_LIST);
    else if (id >= 1088 && id <= 1090)
        SetViewMode(PANE_PLAYER_LIST);

    switch (id) {
    case 1043:
        ShowWindow(SW_MINIMIZE);
        break;
    case 1045:
        EndDialog(IDCANCEL);
        break;
    case 1046:
        SetViewMode(PANE_PC_LIST);
        m_pcList.SetFocus();
        break;
    case 1047:
        SetViewMode(PANE_DOWNLOAD_LIST);
        m_downloadList.SetFocus();
        break;
    case 1048:
        SetViewMode(PANE_PLAYER_LIST);
        m_playerList.SetFocus();
        break;
    case 1492:
        ToggleExpanded();
        break;
    case 1077:
        ShowMusicFiles();
        break;
    case 1078:
        ShowVoiceFiles();
        break;
    case 1079:
        ShowAllFiles();
        break;
    case 1091:
        OpenFmPresets();
        break;
    case 1080:
        UpFolder();
        break;
    case 1081:
        switch (m_activePane) {
        case PANE_PC_TREE:
            DeletePcTreeFolder();
            break;
        case PANE_PC_LIST:
            DeletePcSelection();
            break;
        case PANE_PLAYER_LIST:
            DeleteOnPlayer();
            break;
        case PANE_DOWNLOAD_LIST:
            DeleteDownloadListSelection();
            break;
        }
        break;
    case 1082:
        CycleViews();
        break;
    case 1083:
        ReopenPcFolder();
        if (m_currentMemory != MEMORY_NONE) {
            FillPlayerList();
            UpdateSpaceInfo(1);
        }
        break;
    case 1084:
        TogglePcTree();
        break;
    case 1086:
        StartDownloadList();
        break;
    case 1087:
        StartUpload(TRANSFER_UPLOAD);
        break;
    case 1088:
        if (m_runningOperation != OP_NONE)
            m_engine.Cancel();
        else
            g_standaloneCancel = 1;
        break;
    case 1089:
        SelectMemory(MEMORY_INTERNAL, 1);
        break;
    case 1090:
        SelectMemory(MEMORY_EXTERNAL, 1);
        break;
    case 1092:
        StartPlaylistMaker();
        break;
    case 1207:
        MoveDownloadListRows(true);
        break;
    case 1208:
        MoveDownloadListRows(false);
        break;
    case 1209:
        OpenListFile();
        break;
    case 1210:
        SaveListAsM3u();
        break;
    case 1211:
        RunConfiguration();
        break;
    case 1212:
        OnAbout();
        break;
    }
}

BOOL CManagerDlg::PreTranslateMessage(MSG* msg)
{
    if (m_tooltip.m_hWnd)
        m_tooltip.RelayEvent(msg);
    // Files dropped from the shell on a pane.
    if (msg->message == WM_DROPFILES && msg->hwnd != m_hWnd && ::GetParent(msg->hwnd) == m_hWnd) {
        OnControlDropFiles(msg->hwnd, reinterpret_cast<HDROP>(msg->wParam));
        return TRUE;
    }
    if (msg->message == WM_KEYDOWN) {
        HWND focus = msg->hwnd;
        auto within = [&](const CWnd& control) {
            return control.m_hWnd && (focus == control.m_hWnd || ::IsChild(control.m_hWnd, focus));
        };
        if (focus == m_playerList.m_hWnd && OnPlayerListKey(static_cast<UINT>(msg->wParam)))
            return TRUE;
        if (focus == m_playerTree.m_hWnd && OnPlayerTreeKey(static_cast<UINT>(msg->wParam)))
            return TRUE;
        switch (msg->wParam) {
        case VK_RETURN:
            if (within(m_pcList)) {
                OpenSelectedPcItem();
                return TRUE;
            }
            if (within(m_playerList)) {
                int row = -1;
                std::string name = GetFirstSelectedText(m_playerList, 0, &row);
                if (row >= 0) {
                    std::string path = settings::WithBackslash(GetPlayerFolderPath()) + name;
                    ::ShellExecuteA(m_hWnd, "open", path.c_str(), nullptr, ".", SW_SHOWNORMAL);
                }
                return TRUE;
            }
            if (within(m_pathEdit))
                return TRUE;
            if (within(m_recentPaths) && OnRecentPathKey(VK_RETURN))
                return TRUE;
            break;
        case VK_TAB: {
            CWnd* ring[] = {&m_pcList, &m_downloadList, &m_playerTree, &m_playerList, &m_pcPath, &m_pcTree};
            CWnd* next = &m_pcList;
            for (size_t i = 0; i < 6; ++i) {
                if (within(*ring[i])) {
                    next = ring[(i + 1) % 6];
                    break;
                }
            }
            next->SetFocus();
            return TRUE;
        }
        case VK_ESCAPE:
            if (within(m_pathEdit))
                ShowVolumeLabel(m_currentMemory);
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

void CManagerDlg::OnLButtonDown(POINT point)
{
    RECT link = m_skin.LinkRect();
    if (::PtInRect(&link, point)) {
        if (!m_skin.LinkTarget().empty())
            ::ShellExecuteA(m_hWnd, "open", m_skin.LinkTarget().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    // The borderless dialog is dragged by any free point.
    ::ReleaseCapture();
    Send(WM_NCLBUTTONDOWN, HTCAPTION, 0);
    if (OsLevel == settings::OS_XP)
        RedrawNow();
}

void CManagerDlg::OnAbout()
{
    ShowAboutBox();
    RedrawNow();
    m_recentPaths.SetCurSel(0);
}

void CManagerDlg::OnMousePosNumProgress(long)
{
    std::string tip;
    TRANSFER_STATUS status;
    if (m_runningOperation != OP_NONE && m_engine.GetStatus(&status)) {
        std::string name = status.ItemPath.substr(status.ItemPath.find_last_of('\\') + 1);
        int percent = status.ItemSize ? int(100.0 * status.ItemBytesDone / status.ItemSize) : 0;
        UINT text = m_runningOperation == OP_UPLOAD ? IDS_HOVER_UPLOAD : IDS_HOVER_DOWNLOAD;
        tip = mb::Format(mb::LoadText(text).c_str(), name.c_str(), percent, '%');
    }
    if (m_tooltip.m_hWnd && m_progress.m_hWnd) {
        if (!m_progressTipAdded)
            m_progressTipAdded = m_tooltip.AddTool(m_progress.m_hWnd, tip);
        else
            m_tooltip.UpdateTipText(m_progress.m_hWnd, tip);
    }
    m_progressTip = tip;
}

void CManagerDlg::OnConRep()
{
    if (!m_conRepRunning) {
        m_currentMemory = DetectPlayer();
        m_conRepCount = 1;
        SetItemText(1199, "1");
        SetTimer(7, 5000);
        m_conRepRunning = true;
    } else {
        KillTimer(7);
        m_conRepCount = 0;
        SetItemText(1199, "0");
        m_conRepRunning = false;
    }
}

void CManagerDlg::OnTestPanel()
{
    KillTimer(1);
    RunTestPanel();
    RedrawNow();
    m_recentPaths.SetCurSel(0);
    SetTimer(1, 1500);
}
