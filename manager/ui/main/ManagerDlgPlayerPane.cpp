// The player pane: the memory's folder tree (1004), the list of the shown
// folder in directory order (1002), renames and new folders, and the two
// space lines of the window.
#include "ManagerDlg.h"

#include <cmath>

#include "ManagerGlobals.h"
#include "PlayerDirOrder.h"
#include "PlayerPaneRules.h"
#include "SettingsRules.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"
#include "fileutil/FileText.h"
#include "fileutil/WindowsCodePage.h"

namespace {

std::string PcProblem(const char* what) { return mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(), what); }

// Cut (not rounded) to the given decimals.
double CutTo(double value, int decimals)
{
    double scale = decimals == 1 ? 10.0 : 100.0;
    return std::floor(value * scale) / scale;
}

}  // namespace

bool CManagerDlg::SameNameNoCase(const std::string& a, const std::string& b)
{
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string CManagerDlg::NameSortKey(const std::string& name)
{
    // The comparison's own sort key: names it calls equal have equal keys.
    const LCID locale = ::GetThreadLocale();
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int size = ::LCMapStringA(locale, flags, name.c_str(), int(name.size()), nullptr, 0);
    if (size <= 0)
        return name;
    std::string key(size_t(size), '\0');
    ::LCMapStringA(locale, flags, name.c_str(), int(name.size()), &key[0], size);
    return key;
}

std::string CManagerDlg::PlayerRoot() const
{
    if (m_currentMemory != MEMORY_INTERNAL && m_currentMemory != MEMORY_EXTERNAL)
        return std::string();
    return m_memories[m_currentMemory].Root;
}

std::vector<CManagerDlg::FolderEntry> CManagerDlg::ReadFolder(const std::string& folder, bool diskOrder)
{
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((settings::WithBackslash(folder) + "*.*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    std::vector<playerpane::DirEntry> found;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        found.push_back(playerpane::DirEntry{name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    // The names as the system shows them, in the order of the directory's
    // entries on the player (which some systems' enumeration does not keep).
    std::vector<std::string> order;
    if (diskOrder && ReadPlayerDirectoryOrder(settings::WithBackslash(folder), order))
        found = playerpane::OrderByDirectory(found, order, SameNameNoCase, NameSortKey);
    for (const playerpane::DirEntry& e : found)
        entries.push_back(FolderEntry{e.Name, e.IsFolder});
    return entries;
}

std::string CManagerDlg::GetPlayerFolderPath()
{
    std::string root = PlayerRoot();
    if (root.empty() || !m_playerTree.m_hWnd || !m_playerTree.GetSelectedItem())
        return root;
    return m_playerTree.GetSelectedPath(root);
}

// ---- the list

void CManagerDlg::FillPlayerList()
{
    if (m_currentMemory == MEMORY_NONE || m_fileKindFilter == 0) {
        if (!m_playerList.DeleteAllItems() && m_playerList.GetItemCount() > 0)
            ShowMessage(PcProblem("FAILED TO DELETE A LIST ITEM."));
        return;
    }
    m_message.clear();
    unsigned long long freeBytes = 0, totalBytes = 0;
    if (GetMemorySpace(m_currentMemory, &freeBytes, &totalBytes) == 0) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return;
    }
    if (!m_playerList.DeleteAllItems() && m_playerList.GetItemCount() > 0)
        ShowMessage(PcProblem("FAILED TO DELETE A LIST ITEM."));

    std::string folder = settings::WithBackslash(GetPlayerFolderPath());
    std::vector<playerpane::DirEntry> entries;
    for (const FolderEntry& e : ReadFolder(folder))
        entries.push_back(playerpane::DirEntry{e.Name, e.IsFolder});
    bool atRoot = folder.size() == 3;
    for (const playerpane::ListedRow& row : playerpane::PlayerListRows(entries, m_fileKindFilter, atRoot))
        AddPlayerListItem(m_playerList.GetItemCount(), row.Name);
}

int CManagerDlg::AddPlayerListItem(int index, const std::string& name)
{
    std::string path = settings::WithBackslash(GetPlayerFolderPath()) + name;
    int row = m_playerList.InsertItem(index, name, mb::SystemIconIndex(path, true));
    if (row < 0)
        return row;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return row;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        m_playerList.SetItemText(row, 1, mb::Format("%u KB", static_cast<unsigned>((size + 1023) / 1024)));
    }
    FILETIME local{};
    SYSTEMTIME st{};
    std::string when = "---";
    if (::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && ::FileTimeToSystemTime(&local, &st))
        when = CFileListCtrl::FormatFileTime(st);
    if (!m_playerList.SetItemText(row, 2, when))
        ShowMessage(mb::LoadText(IDS_BAD_FILE_TIME));
    return row;
}

// ---- the tree

void CManagerDlg::ClearPlayerTree()
{
    // The selection changes as the items go: no listing is asked for.
    m_treeRebuilding = 1;
    m_playerTree.DeleteAllItems();
    m_treeRebuilding = 0;
    // The shown item went with the others; a new item may get its handle.
    m_playerItem = nullptr;
}

void CManagerDlg::RebuildPlayerTree(const DRIVE_INFO& memory, const std::string& path)
{
    CWaitCursor wait;
    ClearPlayerTree();

    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() || parts.empty())
        parts.push_back(part);

    char label[257] = {};
    ::GetVolumeInformationA(memory.Root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
    std::string text = label;
    if (text.empty()) {
        text = "Vilo Lark";
        ::SetVolumeLabelA(memory.Root.c_str(), text.c_str());
    }
    HTREEITEM current = m_playerTree.InsertItem(text, TVI_ROOT, TVI_SORT, memory.Icon, memory.SelectedIcon);
    if (!current)
        return;
    // The first part is the drive, which the root item stands for.
    for (size_t i = 0;; ++i) {
        FillFolderChildren(current);
        m_playerTree.Expand(current);
        if (i + 1 >= parts.size())
            break;
        HTREEITEM next = m_playerTree.FindChild(parts[i + 1], current);
        if (next)
            current = next;
    }
    m_playerTree.SelectItem(current);
}

void CManagerDlg::ListSubfolders(HTREEITEM item, std::vector<std::string>& names)
{
    std::string folder = m_playerTree.GetItemPath(item, PlayerRoot());
    for (const FolderEntry& e : ReadFolder(folder, false))
        if (e.IsFolder && ::lstrcmpiA(e.Name.c_str(), ".Trashes") != 0)
            names.push_back(e.Name);
}

void CManagerDlg::FillFolderChildren(HTREEITEM item)
{
    if (!m_playerTree.DeleteChildren(item))
        return;
    std::vector<std::string> names;
    ListSubfolders(item, names);
    for (const std::string& name : names) {
        HTREEITEM child = InsertPlayerTreeItem(name, item);
        if (child)
            InsertPlayerTreeItem("?", child);
    }
}

HTREEITEM CManagerDlg::InsertPlayerTreeItem(const std::string& name, HTREEITEM parent)
{
    if (name == "?")
        return m_playerTree.InsertItem(name, parent ? parent : TVI_ROOT, TVI_SORT);
    std::string path = m_playerTree.GetItemPath(parent, PlayerRoot()) + name;
    HTREEITEM item = m_playerTree.InsertItem(name, parent ? parent : TVI_ROOT, TVI_SORT,
                                             mb::SystemIconIndex(path, true), mb::SystemIconIndex(path, true, true));
    SHFILEINFOA info{};
    info.dwAttributes = SFGAO_HASSUBFOLDER;
    if (item && mb::GetFileInfo(path, SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED, info)) {
        TVITEMA tv{};
        tv.mask = TVIF_CHILDREN;
        tv.hItem = item;
        tv.cChildren = (info.dwAttributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
        ::SendMessageA(m_playerTree.m_hWnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    }
    return item;
}

HTREEITEM CManagerDlg::ReinsertFolderItem(HTREEITEM item)
{
    HTREEITEM parent = m_playerTree.GetParentItem(item);
    std::string text = m_playerTree.GetItemText(item);
    std::vector<std::string> names;
    ListSubfolders(parent, names);
    for (const std::string& name : names) {
        if (::lstrcmpiA(name.c_str(), text.c_str()) != 0)
            continue;
        HTREEITEM fresh = InsertPlayerTreeItem(name, parent);
        if (!fresh)
            break;
        InsertPlayerTreeItem("?", fresh);
        m_playerTree.DeleteItem(item);
        return fresh;
    }
    m_message = PcProblem("FAILED TO INSERT A TREE ITEM.");
    return nullptr;
}

void CManagerDlg::NewPlayerFolder(int origin, HTREEITEM item)
{
    if ((origin != 2 && origin != 3) || !item)
        return;
    bool hadChildren = m_playerTree.ItemHasChildren(item);
    std::string parent = m_playerTree.GetItemPath(item, PlayerRoot());
    std::vector<std::string> names;
    for (const FolderEntry& e : ReadFolder(parent, false))
        names.push_back(e.Name);
    std::string name = playerpane::NextNewFolderName(names);
    if (!::CreateDirectoryA((parent + name).c_str(), nullptr)) {
        ShowMessage(mb::Format(mb::LoadText(IDS_CREATE_FAILED).c_str(), name.c_str()));
        return;
    }
    TheSysCtrl().InitDirectory(parent.c_str());
    HTREEITEM folder = nullptr;
    if (hadChildren) {
        m_playerTree.Expand(item);
        folder = m_playerTree.FindChild(name, item);
        if (!folder) {
            folder = InsertPlayerTreeItem(name, item);
            if (folder)
                InsertPlayerTreeItem("?", folder);
        }
    } else if (m_playerTree.GetParentItem(item)) {
        bool shown = item == m_playerItem, selected = item == m_playerTree.GetSelectedItem();
        // The selection leaves the old item and comes back to the new one:
        // the shown folder stays the same.
        m_treeRebuilding = 1;
        HTREEITEM fresh = ReinsertFolderItem(item);
        m_treeRebuilding = 0;
        if (!fresh) {
            m_playerTree.Expand(item);
            if (!m_message.empty())
                ShowMessage(m_message);
            return;
        }
        if (shown)
            m_playerItem = fresh;
        item = fresh;
        if (selected) {
            m_treeRebuilding = 1;
            m_playerTree.SelectItem(item);
            m_treeRebuilding = 0;
        }
        FillFolderChildren(item);
        m_playerTree.Expand(item);
        folder = m_playerTree.FindChild(name, item);
    } else {
        FillFolderChildren(item);
        m_playerTree.Expand(item);
        folder = m_playerTree.FindChild(name, item);
    }
    if (origin == 2) {
        if (folder) {
            m_playerTree.SelectItem(folder);
            m_playerTree.EditLabel(folder);
        }
        return;
    }
    int row = AddPlayerListItem(m_playerList.GetItemCount(), name);
    if (row >= 0) {
        m_playerList.SetFocus();
        m_playerList.EditLabel(row);
    }
}

// ---- renames

bool CManagerDlg::OnPlayerPaneNotify(NMHDR* header, LRESULT* result)
{
    *result = 0;
    if (header->code == NM_CLICK) {
        // A click makes its pane the active one.
        if (header->idFrom == 1004) {
            SetViewMode(PANE_PLAYER_TREE);
            // A context menu left with Escape keeps its item highlighted
            // beside the selected one, which the keys act on.
            if (m_playerContextItem)
                m_playerTree.SelectDropTarget(nullptr);
        } else if (header->idFrom == 1002) {
            SetViewMode(PANE_PLAYER_LIST);
        } else if (header->idFrom == 1201) {
            SetViewMode(PANE_DOWNLOAD_LIST);
            UpdateSpaceInfo(0);
        } else {
            return false;
        }
        return true;
    }
    if (header->idFrom == 1004) {
        switch (header->code) {
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW:
            if (!m_treeRebuilding) {
                // Until the chosen folder is listed, the rows are the folder
                // shown before it, while every command on rows takes the
                // chosen folder's path: the same name there would be deleted,
                // renamed or uploaded in its place. No folder is shown now.
                m_playerItem = nullptr;
                m_playerList.DeleteAllItems();
                SetTimer(10, 300);
            }
            return true;
        case TVN_BEGINLABELEDITA:
        case TVN_BEGINLABELEDITW: {
            HTREEITEM item = reinterpret_cast<NMTVDISPINFOA*>(header)->item.hItem;
            std::string path = m_playerTree.GetItemPath(item, PlayerRoot());
            if (m_currentMemory == MEMORY_NONE) {
                *result = TRUE;
            } else if (path.size() > 1 && IsSettingsFile(path.substr(0, path.size() - 1))) {
                ShowMessage(mb::Format(mb::LoadText(IDS_NO_RENAME).c_str(), m_playerTree.GetItemText(item).c_str()));
                *result = TRUE;
            }
            return true;
        }
        case TVN_ENDLABELEDITA:
        case TVN_ENDLABELEDITW: {
            // The item's text is set here alone: the typed label is rejected.
            *result = FALSE;
            if (m_playerTree.m_editCancelled) {
                m_playerTree.m_editCancelled = 0;
                return true;
            }
            HTREEITEM item = reinterpret_cast<NMTVDISPINFOA*>(header)->item.hItem;
            std::string typed;
            if (header->code == TVN_ENDLABELEDITW) {
                const wchar_t* text = reinterpret_cast<NMTVDISPINFOW*>(header)->item.pszText;
                if (!text)
                    return true;
                typed = mb::Narrow(text);
            } else {
                const char* text = reinterpret_cast<NMTVDISPINFOA*>(header)->item.pszText;
                if (!text)
                    return true;
                typed = text;
            }
            RenamePlayerTreeItem(item, typed);
            return true;
        }
        case TVN_ITEMEXPANDINGA:
        case TVN_ITEMEXPANDINGW: {
            auto* nm = reinterpret_cast<NMTREEVIEWA*>(header);
            if (nm->action & TVE_EXPAND) {
                CWaitCursor wait;
                FillFolderChildren(nm->itemNew.hItem);
            }
            return true;
        }
        }
        return false;
    }
    if (header->idFrom != 1002)
        return false;
    switch (header->code) {
    case LVN_BEGINLABELEDITA:
    case LVN_BEGINLABELEDITW: {
        int row = reinterpret_cast<NMLVDISPINFOA*>(header)->item.iItem;
        std::string name = m_playerList.GetItemText(row, 0);
        if (m_currentMemory == MEMORY_NONE) {
            *result = TRUE;
        } else if (IsSettingsFile(settings::WithBackslash(GetPlayerFolderPath()) + name)) {
            ShowMessage(mb::Format(mb::LoadText(IDS_NO_RENAME).c_str(), name.c_str()));
            *result = TRUE;
        }
        return true;
    }
    case LVN_ENDLABELEDITA:
    case LVN_ENDLABELEDITW: {
        // The row text is set by the rename alone: the typed label is rejected.
        *result = FALSE;
        if (m_playerList.m_editCancelled) {
            m_playerList.m_editCancelled = 0;
            return true;
        }
        int row = reinterpret_cast<NMLVDISPINFOA*>(header)->item.iItem;
        HWND edit = m_playerList.GetEditControl();
        std::string oldName = m_playerList.GetItemText(row, 0);
        std::string newName;
        if (header->code == LVN_ENDLABELEDITW) {
            const wchar_t* typed = reinterpret_cast<NMLVDISPINFOW*>(header)->item.pszText;
            if (!typed)
                return true;
            newName = mb::Narrow(typed);
        } else {
            const char* typed = reinterpret_cast<NMLVDISPINFOA*>(header)->item.pszText;
            if (!typed)
                return true;
            newName = typed;
        }
        bool folderRow = m_playerList.IsFolderRow(row);
        auto putBack = [&] {
            if (edit)
                ::SetWindowTextA(edit, oldName.c_str());
        };
        switch (playerpane::CheckRename(oldName, newName, folderRow)) {
        case playerpane::RENAME_BAD_CHARACTER:
            ShowMessage(mb::LoadText(IDS_BAD_FILE_NAME));
            return true;
        case playerpane::RENAME_UNCHANGED:
            return true;
        case playerpane::RENAME_EMPTY:
            ShowMessage(mb::LoadText(IDS_EMPTY_FILE_NAME));
            putBack();
            return true;
        case playerpane::RENAME_MUSIC_TO_OTHER:
            ShowMessage(mb::LoadText(IDS_MUSIC_TO_OTHER));
            putBack();
            return true;
        case playerpane::RENAME_OTHER_TO_MUSIC:
            ShowMessage(mb::LoadText(IDS_OTHER_TO_MUSIC));
            putBack();
            return true;
        case playerpane::RENAME_OK:
            break;
        }
        std::string folder = settings::WithBackslash(GetPlayerFolderPath());
        if (!::MoveFileA((folder + oldName).c_str(), (folder + newName).c_str())) {
            ShowMessage(mb::Format(mb::LoadText(IDS_RENAME_FAILED).c_str(), oldName.c_str()));
            putBack();
            return true;
        }
        TheSysCtrl().InitDirectory(folder.c_str());
        m_playerList.SetItemText(row, 0, newName);
        if (folderRow && m_playerItem) {
            for (HTREEITEM child = m_playerTree.GetChildItem(m_playerItem); child;
                 child = m_playerTree.GetNextSiblingItem(child)) {
                if (m_playerTree.GetItemText(child) == oldName) {
                    if (!m_playerTree.SetItemText(child, newName))
                        ShowMessage(PcProblem("FAILED TO RENAME A TREE ITEM."));
                    break;
                }
            }
        }
        return true;
    }
    }
    return false;
}

// ---- keys of the player list

bool CManagerDlg::OnPlayerListKey(UINT key)
{
    if (m_fileKindFilter == 0)
        return false;
    bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool alt = (::GetKeyState(VK_MENU) & 0x8000) != 0;
    const bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (ctrl && alt && shift && key == 'J') {
        OnTestModeChord();
        return true;
    }
    if (ctrl && key == 'A') {
        m_playerList.SelectItem(-1);
        return true;
    }
    if (ctrl && (key == 'C' || key == 'X')) {
        CollectToClipboard(key == 'C' ? TRANSFER_PLAYER_COPY : TRANSFER_PLAYER_CUT);
        return true;
    }
    if (ctrl && key == 'V') {
        PasteIntoPlayerList();
        return true;
    }
    if ((ctrl && key == 'D') || key == VK_DELETE) {
        DeleteOnPlayer();
        return true;
    }
    if (ctrl && key == 'R') {
        FillPlayerList();
        return true;
    }
    if (key == VK_F2) {
        int row = m_playerList.GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0)
            m_playerList.EditLabel(row);
        return true;
    }
    if (key == VK_F5) {
        if (m_currentMemory != MEMORY_NONE) {
            RebuildPlayerTree(m_memories[m_currentMemory], GetPlayerFolderPath());
            FillPlayerList();
            UpdateSpaceInfo(1);
        }
        return true;
    }
    return false;
}

// ---- space lines

void CManagerDlg::UpdateSpaceInfo(int recomputePc)
{
    std::string pcLine, memoryLine;
    {
        CWaitCursor wait;
        if (recomputePc && m_pcList.m_hWnd)
            m_pcSelectionMb = GetSelectionSize(m_pcList) / 1048576.0;
    }
    pcLine = mb::Format(mb::LoadText(IDS_SPACE_PC).c_str(), m_pcSelectionMb, m_downloadListMb);
    if (m_currentMemory == MEMORY_NONE) {
        m_progress.SetPos(0, 0);
        memoryLine = mb::Format(mb::LoadText(IDS_SPACE_MEMORY).c_str(), 0.0, 0.0, 0.0);
    } else {
        unsigned long long freeBytes = 0, totalBytes = 0;
        m_message.clear();
        GetMemorySpace(m_currentMemory, &freeBytes, &totalBytes);
        int decimals = g_koreanFlag ? 1 : 2;
        double total = CutTo(totalBytes / 1048576.0, decimals);
        double free = CutTo(freeBytes / 1048576.0, decimals);
        double used = (static_cast<double>(totalBytes) - static_cast<double>(freeBytes)) / 1048576.0;
        memoryLine = mb::Format(mb::LoadText(IDS_SPACE_MEMORY).c_str(), total, used, free);
    }
    // Painting draws the stored lines: the areas are redrawn only when a
    // figure changed, so a paint never leads to another.
    if (pcLine == m_spaceLinePc && memoryLine == m_spaceLineMemory)
        return;
    RECT left = m_skin.StatusLeft(), right = m_skin.StatusRight();
    m_spaceLinePc = pcLine;
    m_spaceLineMemory = memoryLine;
    if (m_hWnd) {
        ::InvalidateRect(m_hWnd, &left, TRUE);
        ::InvalidateRect(m_hWnd, &right, TRUE);
    }
}

void CManagerDlg::DrawSpaceInfo(HDC dc, int force)
{
    if (force) {
        RECT left = m_skin.StatusLeft(), right = m_skin.StatusRight();
        ::InvalidateRect(m_hWnd, &left, TRUE);
        ::InvalidateRect(m_hWnd, &right, TRUE);
    }
    if (!dc || (m_spaceLinePc.empty() && m_spaceLineMemory.empty()))
        return;
    int height = 16;
    const char* face = "MS Sans Serif";
    DWORD precision = OUT_DEFAULT_PRECIS;
    if (g_koreanFlag && OsLevel >= 2) {
        height = 12;
    } else if (g_koreanFlag) {
        height = 13;
        face = "\xb1\xbc\xb8\xb2\xc3\xbc";  // the Korean fixed-pitch Gulim face
        precision = OUT_TT_ONLY_PRECIS;
    }
    HFONT font = ::CreateFontA(height, 0, 0, 0, 500, FALSE, FALSE, FALSE, DEFAULT_CHARSET, precision,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    HGDIOBJ old = ::SelectObject(dc, font);
    int mode = ::SetBkMode(dc, TRANSPARENT);
    RECT left = m_skin.StatusLeft(), right = m_skin.StatusRight();
    ::TextOutA(dc, left.left, left.top, m_spaceLinePc.c_str(), static_cast<int>(m_spaceLinePc.size()));
    ::TextOutA(dc, right.left, right.top, m_spaceLineMemory.c_str(), static_cast<int>(m_spaceLineMemory.size()));
    ::SetBkMode(dc, mode);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
}

// ---- the tree's keys and folder deletion

void CManagerDlg::SettlePlayerFolder()
{
    if (m_playerTree.GetSelectedItem() == m_playerItem)
        return;
    KillTimer(10);
    OnPlayerFolderTimer();
}

bool CManagerDlg::OnPlayerTreeKey(UINT key)
{
    bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool acts =
        (ctrl && (key == 'D' || key == 'N' || key == 'R' || key == 'V')) || key == VK_DELETE || key == VK_F2;
    // A key pressed right after moving to another folder acts on that folder,
    // the one the tree shows selected, not on the one listed before it.
    if (acts)
        SettlePlayerFolder();
    HTREEITEM item = m_playerItem;
    if ((ctrl && key == 'D') || key == VK_DELETE) {
        if (item)
            DeletePlayerFolder(item);
        return true;
    }
    if (ctrl && key == 'N') {
        NewPlayerFolder(2, item);
        return true;
    }
    if ((ctrl && key == 'R') || key == VK_F2) {
        if (item)
            m_playerTree.EditLabel(item);
        return true;
    }
    if (ctrl && key == 'V') {
        // PC items come down into the folder and stay on the PC even after a
        // cut; player items move or are copied into it.
        if (!item)
            return true;
        const int operation = m_clipboard.Operation;
        if (operation == TRANSFER_PC_COPY || operation == TRANSFER_PC_CUT)
            StartDownload(std::vector<std::string>(), item, TRANSFER_DOWNLOAD);
        else if (operation == TRANSFER_PLAYER_COPY || operation == TRANSFER_PLAYER_CUT)
            MoveOnPlayer(m_playerTree.GetItemPath(item, PlayerRoot()), m_clipboard);
        return true;
    }
    if (key == VK_F5)
        return OnPlayerListKey(VK_F5);
    return false;
}

// ---- test mode

void CManagerDlg::OnTestModeChord()
{
    // Counted for the whole process: every fourth chord switches the test
    // mode on, and any chord while it is on switches it off.
    static int presses = 0;
    const int before = presses++;
    if (m_testMode == 1) {
        presses = 0;
        ShowMessage("Normal mode");
        m_testMode = 0;
        ShowTestControls(false);
        FillPlayerList();
        UpdateSpaceInfo(1);
    } else if (before % 4 == 3) {
        m_testMode = 1;
        ShowMessage("Test mode");
        ShowTestControls(true);
    }
}

void CManagerDlg::ShowTestControls(bool show)
{
    static const int controls[] = {1117, 1118, 1199};
    for (int id : controls)
        if (HWND control = ::GetDlgItem(m_hWnd, id))
            ::ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

int CManagerDlg::DeletePlayerFolder(HTREEITEM item)
{
    if (m_runningOperation != OP_NONE) {
        ShowMessage(mb::LoadText(IDS_TRANSFER_BUSY));
        return 1;
    }
    HTREEITEM parent = item ? m_playerTree.GetParentItem(item) : nullptr;
    if (!parent)
        return 1;
    std::string path = m_playerTree.GetItemPath(item, PlayerRoot());
    path.pop_back();
    std::string name = path.substr(path.find_last_of('\\') + 1);
    if (IsSettingsFile(path)) {
        ShowMessage(mb::Format(mb::LoadText(IDS_NO_DELETE).c_str(), name.c_str()));
        return 0;
    }
    if (ShowMessage(mb::LoadText(IDS_DELETE_ASK), MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return 1;
    bool hasSibling = m_playerTree.GetNextSiblingItem(item) || TreeView_GetPrevSibling(m_playerTree.m_hWnd, item);
    bool wasShown = item == m_playerItem;
    // The shell's list is built at the path's own length.
    if (mb::FileOperation(m_hWnd, FO_DELETE, {path}, "", FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO) != 0 ||
        ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        m_playerTree.SelectItem(parent);
        m_playerTree.Expand(parent, TVE_COLLAPSE);
        ShowMessage(mb::LoadText(IDS_FOLDER_DELETE_FAILED));
        return 0;
    }
    TheSysCtrl().InitDirectory(path.substr(0, path.find_last_of('\\') + 1).c_str());
    m_playerTree.DeleteItem(item);
    if (wasShown)
        m_playerItem = nullptr;
    if (hasSibling)
        return 1;
    HTREEITEM grandparent = m_playerTree.GetParentItem(parent);
    if (!grandparent)
        return 1;
    // The parent lost its last subfolder: it is put back without children.
    std::string text = m_playerTree.GetItemText(parent);
    bool parentShown = parent == m_playerItem;
    m_treeRebuilding = 1;
    m_playerTree.DeleteItem(parent);
    m_treeRebuilding = 0;
    if (parentShown)
        m_playerItem = nullptr;
    std::vector<std::string> names;
    ListSubfolders(grandparent, names);
    for (const std::string& n : names) {
        if (n != text)
            continue;
        HTREEITEM fresh = InsertPlayerTreeItem(n, grandparent);
        if (!fresh)
            break;
        InsertPlayerTreeItem("?", fresh);
        m_playerTree.Expand(fresh);
        if (wasShown || parentShown)
            m_playerTree.SelectItem(fresh);
        break;
    }
    return 1;
}

void CManagerDlg::RenamePlayerTreeItem(HTREEITEM item, std::string typed)
{
    std::string oldName = m_playerTree.GetItemText(item);
    if (typed == oldName)
        return;
    HTREEITEM parent = m_playerTree.GetParentItem(item);
    if (!parent) {
        // The root item names the volume.
        if (typed.size() > 11) {
            ShowMessage(mb::LoadText(IDS_LABEL_TOO_LONG));
            // Never half a double-byte character at the end.
            typed = CFileText(CWindowsCodePage()).CutToBytes(typed, 11);
        }
        CWaitCursor wait;
        std::string root = PlayerRoot();
        if (::SetVolumeLabelA(root.c_str(), typed.c_str())) {
            char label[257] = {};
            ::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
            m_playerTree.SetItemText(item, label);
        }
        return;
    }
    if (playerpane::HasInvalidNameCharacter(typed)) {
        ShowMessage(mb::LoadText(IDS_BAD_FOLDER_NAME));
        return;
    }
    if (typed.empty()) {
        ShowMessage(mb::LoadText(IDS_EMPTY_FOLDER_NAME));
        m_playerTree.EditLabel(item);
        return;
    }
    std::string folder = m_playerTree.GetItemPath(parent, PlayerRoot());
    if (!::MoveFileA((folder + oldName).c_str(), (folder + typed).c_str())) {
        ShowMessage(mb::Format(mb::LoadText(IDS_RENAME_FAILED).c_str(), oldName.c_str()));
        return;
    }
    TheSysCtrl().InitDirectory(folder.c_str());
    m_playerTree.SetItemText(item, typed);
    if (parent == m_playerItem) {
        int row = m_playerList.FindRow(oldName);
        if (row >= 0)
            m_playerList.SetItemText(row, 0, typed);
    }
}
