// Drag and drop: the window's own image drag between its panes, the hand-over
// to a shell drag (CFileDataSource) when the drag leaves the window, and the
// files the shell drops on the panes.
#include "ManagerDlg.h"

#include <shellapi.h>

#include <algorithm>

#include "CommandRules.h"
#include "FileDataSource.h"
#include "ManagerGlobals.h"
#include "SettingsRules.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"

using namespace commands;

namespace {

const POINT kHotSpot = {8, 8};

int ListRowAt(const CListCtrl& list, POINT screen)
{
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ::ScreenToClient(list.m_hWnd, &hit.pt);
    int row = list.HitTest(hit);
    return row >= 0 && (hit.flags & LVHT_ONITEM) ? row : -1;
}

HTREEITEM TreeItemAt(const CTreeCtrl& tree, POINT screen)
{
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ::ScreenToClient(tree.m_hWnd, &hit.pt);
    HTREEITEM item = tree.HitTest(hit);
    return item && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) ? item : nullptr;
}

bool FileSize(const std::string& path, unsigned long long* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    *size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

}  // namespace

void CManagerDlg::AcceptShellDrops()
{
    for (CWnd* control : {static_cast<CWnd*>(&m_pcList), static_cast<CWnd*>(&m_pcTree),
                          static_cast<CWnd*>(&m_playerList), static_cast<CWnd*>(&m_playerTree),
                          static_cast<CWnd*>(&m_downloadList)})
        if (control->m_hWnd)
            ::DragAcceptFiles(control->m_hWnd, TRUE);
}

std::vector<std::string> CManagerDlg::DroppedPaths(HDROP drop)
{
    std::vector<std::string> paths;
    UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char path[MAX_PATH + 1] = {};
        if (::DragQueryFileA(drop, i, path, sizeof path) > 0)
            paths.push_back(path);
    }
    return paths;
}

commands::DropTarget CManagerDlg::DropTargetOf(HWND window) const
{
    // A control's own parts (a list's header, an edit) count for it.
    for (HWND w = window; w && w != m_hWnd; w = ::GetParent(w)) {
        if (w == m_pcList.m_hWnd)
            return TGT_PC_LIST;
        if (w == m_playerList.m_hWnd)
            return TGT_PLAYER_LIST;
        if (w == m_downloadList.m_hWnd)
            return TGT_DOWNLOAD_LIST;
        if (w == m_pcTree.m_hWnd)
            return TGT_PC_TREE;
        if (w == m_playerTree.m_hWnd)
            return TGT_PLAYER_TREE;
    }
    return TGT_OTHER;
}

void CManagerDlg::OnControlDropFiles(HWND control, HDROP drop)
{
    std::vector<std::string> paths = DroppedPaths(drop);
    POINT at{};
    ::DragQueryPoint(drop, &at);
    ::DragFinish(drop);
    m_lastDropPaths = paths;
    POINT screen = at;
    ::ClientToScreen(control, &screen);

    switch (DropTargetOf(control)) {
    case TGT_PC_LIST: {
        // A shell folder without a path of its own (its name alone) would
        // take the copy into a folder of that name in the current directory.
        std::string folder = GetPcFolderPath();
        if (TakesPcFiles(folder) && !paths.empty())
            mb::FileOperation(m_hWnd, FO_COPY, paths, folder, FOF_ALLOWUNDO);
        Send(WM_PC_FILES_DROPPED);
        break;
    }
    case TGT_PC_TREE: {
        HTREEITEM item = TreeItemAt(m_pcTree, screen);
        if (!item)
            break;
        std::string folder = GetPcTreeItemPath(item);
        if (!TakesPcFiles(folder)) {
            ShowMessage(NoFolderToCopyIntoText());
            break;
        }
        mb::FileOperation(m_hWnd, FO_COPY, paths, folder, FOF_ALLOWUNDO);
        if (item == m_pcTree.GetSelectedItem())
            Send(WM_PC_FILES_DROPPED);
        break;
    }
    case TGT_PLAYER_LIST:
        Send(WM_PLAYER_FILES_DROPPED, reinterpret_cast<WPARAM>(&m_lastDropPaths));
        break;
    case TGT_PLAYER_TREE:
        if (HTREEITEM item = TreeItemAt(m_playerTree, screen))
            Send(WM_PLAYER_TREE_FILES_DROPPED, reinterpret_cast<WPARAM>(&m_lastDropPaths),
                 reinterpret_cast<LPARAM>(item));
        break;
    case TGT_DOWNLOAD_LIST:
        for (const std::string& path : paths) {
            const std::string name = FileNamePart(path);
            for (CListCtrl* list : {&m_downloadList, &m_downloadTwin}) {
                for (int row = list->GetItemCount() - 1; row >= 0; --row) {
                    if (::lstrcmpiA(list->GetItemText(row, 1).c_str(), name.c_str()) == 0) {
                        list->DeleteItem(row);
                        break;
                    }
                }
            }
            if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                Reached("AddDownloadListItem");
                AddDownloadListItem(path);
            }
        }
        Post(WM_LIST_FILES_DROPPED);
        break;
    default:
        break;
    }
}

void CManagerDlg::BeginImageDrag(UINT sourceList, POINT screen)
{
    if (sourceList != CTL_PC_LIST && m_runningOperation != OP_NONE)
        return;
    CListCtrl& list = sourceList == CTL_PC_LIST       ? m_pcList
                      : sourceList == CTL_PLAYER_LIST ? static_cast<CListCtrl&>(m_playerList)
                                                      : static_cast<CListCtrl&>(m_downloadList);
    m_dragRows = list.GetSelectedItems();
    m_dragCount = int(m_dragRows.size());
    if (m_dragCount == 0)
        return;
    m_dragNames.clear();
    m_dragSizes.clear();
    if (sourceList != CTL_DOWNLOAD_LIST) {
        const std::string folder =
            settings::WithBackslash(sourceList == CTL_PC_LIST ? GetPcFolderPath() : GetPlayerFolderPath());
        for (int row : m_dragRows) {
            const std::string name = list.GetItemText(row, 0);
            unsigned long long size = 0;
            bool found = FileSize(folder + name, &size);
            if (sourceList == CTL_PLAYER_LIST && !found)
                continue;
            m_dragNames.push_back(sourceList == CTL_PC_LIST ? folder + name : name);
            m_dragSizes.push_back(size);
        }
    }
    CImageList& image = m_dragCount == 1 ? m_dragFile : m_dragFolder;
    image.BeginDrag(0, kHotSpot);
    CImageList::DragEnter(::GetDesktopWindow(), screen);
    ::SetCapture(m_hWnd);
    m_dragSource = sourceList;
    m_dragging = true;
}

bool CManagerDlg::CanDropAt(HWND window, POINT screen, bool* leaveWindow)
{
    if (leaveWindow)
        *leaveWindow = false;
    DragFacts f;
    f.source = m_dragSource == CTL_PC_LIST ? SRC_PC_LIST : m_dragSource == CTL_PLAYER_LIST ? SRC_PLAYER_LIST
                                                                                          : SRC_DOWNLOAD_LIST;
    f.transferRunning = m_runningOperation != OP_NONE;
    if (f.source == SRC_PC_LIST) {
        f.pcListShowsFiles = m_pcListKind == 2;
        bool desktop = m_pcItem && m_pcItem == m_pcTree.GetRootItem();
        f.desktopSpecialRowsSelected =
            desktop && std::any_of(m_dragRows.begin(), m_dragRows.end(), [](int row) { return row <= 1; });
    }
    POINT client = screen;
    ::ScreenToClient(m_hWnd, &client);
    RECT area = GetClientRect();
    f.outsideWindow = !::PtInRect(&area, client);
    f.target = DropTargetOf(window);
    m_pcTree.SelectDropTarget(nullptr);
    m_playerTree.SelectDropTarget(nullptr);
    if (f.target == TGT_PC_TREE || f.target == TGT_PLAYER_TREE) {
        CTreeCtrl& tree = f.target == TGT_PC_TREE ? m_pcTree : m_playerTree;
        HTREEITEM item = TreeItemAt(tree, screen);
        f.overTreeItem = item != nullptr;
        DropVerdict verdict = CanDrop(f);
        if (item && verdict == DROP_INSIDE)
            tree.SelectDropTarget(item);
        return verdict != DROP_REFUSED;
    }
    DropVerdict verdict = CanDrop(f);
    if (verdict == DROP_LEAVE_WINDOW && leaveWindow)
        *leaveWindow = true;
    return verdict != DROP_REFUSED;
}

void CManagerDlg::OnDragMouseMove(POINT screen)
{
    if (!m_dragging)
        return;
    CImageList::DragShowNolock(false);
    bool leave = false;
    bool accepted = CanDropAt(::WindowFromPoint(screen), screen, &leave);
    CImageList::DragShowNolock(true);
    CImageList::DragMove(screen);
    if (!accepted) {
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_NO)));
    } else if (leave) {
        CImageList::DragLeave(::GetDesktopWindow());
        CImageList::EndDrag();
        // Cleared before the capture goes, as at the button's release.
        m_dragging = false;
        ::ReleaseCapture();
        StartShellDrag();
    } else {
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    }
}

void CManagerDlg::OnDragButtonUp(POINT screen)
{
    if (!m_dragging)
        return;
    CImageList::DragLeave(::GetDesktopWindow());
    CImageList::EndDrag();
    // Cleared before the capture goes: releasing it may bring us here again.
    m_dragging = false;
    ::ReleaseCapture();
    HWND window = ::WindowFromPoint(screen);
    bool leave = false;
    if (CanDropAt(window, screen, &leave) && !leave)
        DropAt(window, screen);
    m_pcTree.SelectDropTarget(nullptr);
    m_playerTree.SelectDropTarget(nullptr);
}

void CManagerDlg::OnDragCaptureLost(HWND taker)
{
    // Left going, the image would stay on the screen and the next mouse
    // move over the window, with no button held, would go on dragging and
    // could hand the files to the shell wherever the pointer is.
    if (!m_dragging || taker == m_hWnd)
        return;
    m_dragging = false;
    CImageList::DragLeave(::GetDesktopWindow());
    CImageList::EndDrag();
    m_pcTree.SelectDropTarget(nullptr);
    m_playerTree.SelectDropTarget(nullptr);
}

void CManagerDlg::DropAt(HWND window, POINT screen)
{
    DropPlace p;
    p.source = m_dragSource == CTL_PC_LIST ? SRC_PC_LIST : m_dragSource == CTL_PLAYER_LIST ? SRC_PLAYER_LIST
                                                                                          : SRC_DOWNLOAD_LIST;
    p.target = DropTargetOf(window);
    p.transferRunning = m_runningOperation != OP_NONE;
    CListCtrl* list = p.target == TGT_PC_LIST         ? &m_pcList
                      : p.target == TGT_PLAYER_LIST   ? static_cast<CListCtrl*>(&m_playerList)
                      : p.target == TGT_DOWNLOAD_LIST ? static_cast<CListCtrl*>(&m_downloadList)
                                                      : nullptr;
    std::string rowName;
    if (list) {
        p.row = ListRowAt(*list, screen);
        if (p.row >= 0) {
            rowName = list->GetItemText(p.row, 0);
            std::string folder = p.target == TGT_PC_LIST ? GetPcFolderPath() : GetPlayerFolderPath();
            DWORD attributes = ::GetFileAttributesA((settings::WithBackslash(folder) + rowName).c_str());
            p.rowIsFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
            p.rowIsDragged = std::find(m_dragRows.begin(), m_dragRows.end(), p.row) != m_dragRows.end() &&
                             p.source == SRC_PLAYER_LIST && p.target == TGT_PLAYER_LIST;
        }
    }
    HTREEITEM item = nullptr;
    if (p.target == TGT_PC_TREE)
        item = TreeItemAt(m_pcTree, screen);
    else if (p.target == TGT_PLAYER_TREE)
        item = TreeItemAt(m_playerTree, screen);
    p.overTreeItem = item != nullptr;
    HTREEITEM shown = m_playerItem ? m_playerItem : m_playerTree.GetSelectedItem();
    p.treeItemIsShownFolder = item && item == shown;

    const std::string memoryRoot = m_currentMemory != MEMORY_NONE ? m_memories[m_currentMemory].Root : std::string();
    m_message.clear();
    auto fail = [&](bool ok) {
        if (!ok && !m_message.empty())
            ShowMessage(m_message);
        return ok;
    };
    switch (ActionForDrop(p)) {
    case ACT_REFUSED_TRANSFER:
        ShowMessage(mb::LoadText(IDS_TRANSFER_PROHIBITED));
        break;
    case ACT_PC_MOVE_INTO_ROW: {
        Reached("CollectSelection");
        if (!fail(CollectSelection(TRANSFER_PC_CUT, m_clipboard, nullptr) != 0))
            break;
        // Dropped onto one of its own rows: nothing moves, and the cut is off.
        for (const std::string& name : m_clipboard.Names) {
            if (::lstrcmpiA(FileNamePart(name).c_str(), rowName.c_str()) == 0) {
                m_clipboard.Operation = 0;
                return;
            }
        }
        Reached("PastePc");
        if (fail(PastePc(settings::WithBackslash(GetPcFolderPath()) + rowName + "\\", false) != 0)) {
            std::vector<int> rows = m_pcList.GetSelectedItems();
            for (auto r = rows.rbegin(); r != rows.rend(); ++r)
                m_pcList.DeleteItem(*r);
        }
        break;
    }
    case ACT_PC_COPY_TO_TREE: {
        // An item without a folder of its own (My Computer, a network
        // place) would have the copy land in the current drive's root.
        const std::string folder = GetPcTreeItemPath(item);
        if (!TakesPcFiles(folder)) {
            ShowMessage(NoFolderToCopyIntoText());
            break;
        }
        Reached("CollectSelection");
        if (fail(CollectSelection(TRANSFER_PC_COPY, m_clipboard, nullptr) != 0)) {
            Reached("PastePc");
            fail(PastePc(folder, false) != 0);
        }
        break;
    }
    case ACT_DOWNLOAD_SHOWN_FOLDER:
        Reached("StartDownload");
        StartDownload(std::vector<std::string>(), shown, TRANSFER_DOWNLOAD);
        break;
    case ACT_DOWNLOAD_INTO_ROW: {
        HTREEITEM target = shown;
        for (HTREEITEM c = shown ? m_playerTree.GetChildItem(shown) : nullptr; c; c = m_playerTree.GetNextSiblingItem(c)) {
            if (m_playerTree.GetItemText(c) == rowName) {
                target = c;
                break;
            }
        }
        Reached("StartDownload");
        StartDownload(std::vector<std::string>(), target, TRANSFER_DOWNLOAD);
        break;
    }
    case ACT_DOWNLOAD_TREE_ITEM:
        Reached("StartDownload");
        StartDownload(std::vector<std::string>(), item, TRANSFER_DOWNLOAD);
        break;
    case ACT_ADD_TO_DOWNLOAD_LIST:
        Reached("AddPcSelectionToDownloadList");
        AddPcSelectionToDownloadList();
        break;
    case ACT_UPLOAD_TREE_FOLDER:
        // Into the folder dropped on, not the one the PC list shows: an
        // overwrite question would otherwise be about another folder's file.
        m_pcTree.SelectDropTarget(item);
        Reached("StartUpload");
        StartUpload(TRANSFER_UPLOAD, true);
        break;
    case ACT_UPLOAD_SHOWN_FOLDER:
        m_uploadFolder = GetPcFolderPath();
        Reached("StartUpload");
        StartUpload(TRANSFER_UPLOAD);
        break;
    case ACT_MOVE_TO_TREE_ITEM: {
        CWaitCursor wait;
        Reached("CollectSelection");
        if (fail(CollectSelection(TRANSFER_PLAYER_CUT, m_clipboard, nullptr) != 0)) {
            Reached("MoveOnPlayer");
            MoveOnPlayer(PlayerItemPath(item), m_clipboard);
        }
        break;
    }
    case ACT_MOVE_INTO_ROW:
        Reached("CollectSelection");
        if (fail(CollectSelection(TRANSFER_PLAYER_CUT, m_clipboard, nullptr) != 0)) {
            Reached("MoveOnPlayer");
            MoveOnPlayer(settings::WithBackslash(GetPlayerFolderPath()) + rowName + "\\", m_clipboard);
        }
        break;
    case ACT_ORDER_TO_END:
        Reached("WritePlayerFileOrder");
        WritePlayerFileOrder(3, m_playerList.GetItemCount());
        break;
    case ACT_ORDER_BEFORE_ROW:
        Reached("WritePlayerFileOrder");
        WritePlayerFileOrder(3, p.row);
        break;
    case ACT_REORDER_DOWNLOAD_LIST:
        Reached("ReorderDownloadListByDrop");
        ReorderDownloadRows(p.row >= 0 ? p.row : m_downloadList.GetItemCount());
        break;
    default:
        break;
    }
}

void CManagerDlg::StartShellDrag()
{
    const bool player = m_dragSource == CTL_PLAYER_LIST;
    CFileDataSource* source =
        player ? new CFileDataSource(m_currentMemory == MEMORY_EXTERNAL ? 1 : 0, m_hWnd, &m_progress,
                                     settings::WithBackslash(GetPlayerFolderPath()), m_dragNames, m_dragSizes,
                                     &g_standaloneCancel, g_koreanFlag != 0)
               : new CFileDataSource(CFileDataSource::KIND_PC, m_hWnd, nullptr, std::string(), m_dragNames,
                                     m_dragSizes, &g_standaloneCancel, g_koreanFlag != 0);
    if (player)
        KillTimer(1);
    ++m_shellDrags;
    if (source->OfferFiles()) {
        DWORD effect = DROPEFFECT_NONE;
        source->DoDragDrop(DROPEFFECT_COPY, &effect);
    }
    source->Release();
    m_dragging = false;
    if (player)
        SetTimer(1, 1500);
}
