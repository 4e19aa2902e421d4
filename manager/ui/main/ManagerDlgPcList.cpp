// The PC file list (control 1001): its three views (drives, a file-system
// folder, a shell folder), filling, sorting with the header arrows, renaming,
// the new-folder command, opening an item, and the PC side of copy, cut,
// paste and delete.
#include "ManagerDlg.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "CommandRules.h"
#include "fileutil/FileUtil.h"
#include "ManagerGlobals.h"
#include "PcPaneRules.h"
#include "SettingsRules.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"

namespace {

// The column sorted last, for every list of the process.
int g_lastSortedColumn = -1;

bool IsLead(unsigned char byte) { return ::IsDBCSLeadByte(byte) != 0; }

std::string WithSlash(const std::string& path) { return settings::WithBackslash(path); }

// The arrows of the sorted column's header, loaded once.
HBITMAP ArrowBitmap(int direction)
{
    static HBITMAP arrows[2] = {};
    HBITMAP& b = arrows[direction ? 1 : 0];
    if (!b)
        b = mb::LoadBitmapFile(g_imagesFolder + (direction ? "HDR_ArrowUp.bmp" : "HDR_ArrowDown.bmp"));
    return b;
}

// A row of a file or folder of the file system: name, size text (files
// only), type name, modification time; tag = its small icon.
pcpane::ListRow FileRow(const std::string& path, const std::string& name, bool folder)
{
    pcpane::ListRow row;
    row.folder = folder;
    row.columns = {name, "", "", ""};
    DWORD size = 0;
    SYSTEMTIME time{};
    if (CFileUtil::GetFileSizeAndTime(path, size, time)) {
        if (!folder)
            row.columns[1] = CFileUtil::FormatSizeKB(size);
        row.columns[3] = mb::Format("%04u-%02u-%02u %02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
                                    time.wMinute);
    }
    SHFILEINFOA info{};
    if (mb::GetFileInfo(path, SHGFI_TYPENAME, info))
        row.columns[2] = info.szTypeName;
    row.tag = mb::SystemIconIndex(path, true);
    return row;
}

// Puts rows into the list from index at on; returns the next index.
int InsertRows(CListCtrl& list, int at, const std::vector<pcpane::ListRow>& rows)
{
    for (const pcpane::ListRow& r : rows) {
        int row = list.InsertItem(at, r.columns.empty() ? std::string() : r.columns[0], int(r.tag));
        if (row < 0)
            continue;
        for (size_t c = 1; c < r.columns.size(); ++c)
            if (!r.columns[c].empty())
                list.SetItemText(row, int(c), r.columns[c]);
        at = row + 1;
    }
    return at;
}

}  // namespace

void CManagerDlg::InitPcListColumns()
{
    m_pcList.SetExtendedStyle(LVS_EX_FULLROWSELECT);
}

void CManagerDlg::SetPcListView(int view)
{
    if (view == m_pcListKind && ListView_GetHeader(m_pcList.m_hWnd) &&
        Header_GetItemCount(ListView_GetHeader(m_pcList.m_hWnd)) > 0)
        return;
    ClearSortArrows();
    while (m_pcList.DeleteColumn(0)) {
    }
    struct Column {
        UINT text;
        int width;
        int format;
    };
    static const Column drives[] = {{IDS_COL_DRIVE_NAME, 180, LVCFMT_LEFT}, {IDS_COL_DRIVE_TYPE, 120, LVCFMT_LEFT},
                                    {IDS_COL_DISK_SIZE, 90, LVCFMT_RIGHT}, {IDS_COL_FREE_SPACE, 80, LVCFMT_RIGHT}};
    static const Column files[] = {{IDS_PC_COL_NAME, 220, LVCFMT_LEFT}, {IDS_PC_COL_SIZE, 70, LVCFMT_RIGHT},
                                   {IDS_COL_TYPE, 80, LVCFMT_LEFT}, {IDS_COL_MODIFIED, 85, LVCFMT_LEFT}};
    static const Column shell[] = {{IDS_PC_COL_NAME, 250, LVCFMT_LEFT}};
    const Column* columns = view == 1 ? drives : view == 2 ? files : shell;
    const int count = view == 3 ? 1 : 4;
    for (int i = 0; i < count; ++i)
        m_pcList.InsertColumn(i, mb::LoadText(columns[i].text), columns[i].width, columns[i].format);
    if (view != 1) {
        for (int i = 0; i < 4; ++i)
            m_sortRecords[i] = SORT_RECORD{};
        m_sortRecords[1].Text = 0;
        m_sortRecords[1].Placement = 4;
    }
    m_sortColumn = 0;
    m_pcListKind = view;
}

int CManagerDlg::ShowPcFolder(HTREEITEM item)
{
    CWaitCursor wait;
    if (!item)
        return 0;
    if (item == m_pcRootItem) {
        ShowDriveList();
        return 1;
    }
    const int filter = m_fileFilter == 0 ? 2 : m_fileFilter == 1 ? 4 : 8;
    auto* shell = reinterpret_cast<SHELL_ITEM*>(m_pcTree.GetItemData(item));
    std::string path = GetPcTreeItemPath(item);
    const bool drivePath = path.size() >= 2 && path[1] == ':';
    if (drivePath && !CFileUtil::IsDriveReady(path)) {
        m_message = mb::Format(mb::LoadText(IDS_DRIVE_NOT_FOUND).c_str(), path.substr(0, 2).c_str());
        return 0;
    }
    bool share = false;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        size_t third = path.find('\\', 2);
        share = third != std::string::npos && path.find('\\', third + 1) != std::string::npos;
    }
    if (drivePath || share) {
        SetPcListView(2);
        FillFolderList(path, filter, item == m_desktopItem);
        return 1;
    }
    if (!shell) {
        m_message = mb::LoadText(IDS_INVALID_DIRECTORY);
        return 0;
    }
    SetPcListView(shell->Depth < m_treeLevelLimit - 1 ? 3 : 2);
    IShellFolder* folder = m_selectedShellFolder;
    if (folder)
        folder->AddRef();
    else if (FAILED(shell->Parent->BindToObject(shell->Relative, nullptr, IID_IShellFolder,
                                                reinterpret_cast<void**>(&folder))))
        folder = nullptr;
    const bool ok = folder && FillShellList(folder, item);
    if (folder)
        folder->Release();
    if (!ok) {
        m_message = mb::LoadText(IDS_INVALID_DIRECTORY);
        return 0;
    }
    m_pcFolderPath = path;
    return 1;
}

void CManagerDlg::ShowDriveList()
{
    const bool shown = m_pcListKind == 1;
    SetPcListView(1);
    if (!shown)
        BuildDriveTree(true);
    m_pcList.DeleteAllItems();
    const int lastDrive = m_pcHasNetwork ? m_pcDriveCount - 1 : m_pcDriveCount;
    for (int i = 2; i < lastDrive; ++i) {
        const DRIVE_INFO& d = m_pcDrives[i];
        int row = m_pcList.InsertItem(m_pcList.GetItemCount(), d.Root + " " + d.DisplayName, d.Icon);
        if (row < 0)
            continue;
        m_pcList.SetItemText(row, 1, d.TypeText);
        if (d.TotalBytes) {
            m_pcList.SetItemText(row, 2, CFileUtil::FormatSize(std::int64_t(d.TotalBytes), 1));
            m_pcList.SetItemText(row, 3, CFileUtil::FormatSize(std::int64_t(d.FreeBytes), 0));
        }
    }
    m_recentPaths.InsertString(0, m_pcDrives[1].DisplayName);
    m_recentPaths.SetCurSel(0);
    m_pcFolderPath.clear();
    m_pcListKind = 1;
}

std::string CManagerDlg::NoFolderToCopyIntoText()
{
    return mb::LoadText(IDS_COPY_FAILED) + "\r\n" + mb::LoadText(IDS_INVALID_DIRECTORY);
}

int CManagerDlg::InsertPcListRow(int at, const std::string& path, const std::string& name, bool folder)
{
    const int next = InsertRows(m_pcList, at, {FileRow(path, name, folder)});
    return next > at ? next - 1 : -1;
}

void CManagerDlg::FillFolderList(const std::string& path, int kindFilter, bool addSpecialRows)
{
    if (path.find('?') != std::string::npos)
        return;
    if (!m_pcList.DeleteAllItems() && m_pcList.GetItemCount() > 0) {
        ShowPcProblem("FAILED TO DELETE A LIST ITEM.");
        return;
    }
    CWaitCursor wait;
    const std::string folder = WithSlash(path);
    std::vector<pcpane::ListRow> folders, files;
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA((folder + "*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!std::strcmp(found.cFileName, ".") || !std::strcmp(found.cFileName, ".."))
                continue;
            const std::string full = folder + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                folders.push_back(FileRow(full, found.cFileName, true));
            else if (kindFilter == 8 || CFileUtil::GetFileKindFlag(0, full) == kindFilter)
                files.push_back(FileRow(full, found.cFileName, false));
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    InsertRows(m_pcList, InsertRows(m_pcList, 0, folders), files);
    SortPcList(m_sortColumn, true);
    if (addSpecialRows) {
        m_pcList.InsertItem(0, m_pcDrives[1].DisplayName, m_pcDrives[1].Icon);
        if (m_pcHasNetwork)
            m_pcList.InsertItem(1, m_pcDrives[m_pcDriveCount - 1].DisplayName, m_pcDrives[m_pcDriveCount - 1].Icon);
    }
    // The recent-path box: the path once, at the top (with or without its
    // closing backslash).
    for (int i = m_recentPaths.GetCount() - 1; i >= 0; --i)
        if (::lstrcmpiA(WithSlash(m_recentPaths.GetLBText(i)).c_str(), WithSlash(path).c_str()) == 0)
            m_recentPaths.DeleteString(i);
    m_recentPaths.InsertString(0, path);
    m_recentPaths.SetCurSel(0);
    m_pcFolderPath = path;
}

bool CManagerDlg::FillShellList(IShellFolder* folder, HTREEITEM item)
{
    m_pcList.DeleteAllItems();
    // The folder's own place in the namespace: from the tree item, else asked.
    auto* shell = reinterpret_cast<SHELL_ITEM*>(item ? m_pcTree.GetItemData(item) : 0);
    LPITEMIDLIST folderList = nullptr;
    IPersistFolder2* persist = nullptr;
    if (SUCCEEDED(folder->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist))) && persist) {
        persist->GetCurFolder(&folderList);
        persist->Release();
    }
    if (!folderList && shell && shell->Full)
        folderList = CFileUtil::ConcatItemIdLists(shell->Full, nullptr);
    IEnumIDList* items = nullptr;
    if (FAILED(folder->EnumObjects(m_hWnd, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items)) || !items) {
        ::CoTaskMemFree(folderList);
        return false;
    }
    std::vector<pcpane::ListRow> folders, files, others;
    LPITEMIDLIST child = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &child, &fetched) == S_OK && fetched == 1) {
        std::string name;
        CFileUtil::GetItemDisplayName(folder, child, SHGDN_INFOLDER, name);
        LPITEMIDLIST full = folderList ? CFileUtil::ConcatItemIdLists(folderList, child) : nullptr;
        char path[MAX_PATH] = {};
        SFGAOF attributes = SFGAO_FOLDER;
        LPCITEMIDLIST one = child;
        folder->GetAttributesOf(1, &one, &attributes);
        if (full && ::SHGetPathFromIDListA(full, path) && path[1] == ':') {
            const bool isFolder = (::GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY) &&
                                  ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
            (isFolder ? folders : files).push_back(FileRow(path, CFileUtil::GetFileName(path), isFolder));
        } else {
            pcpane::ListRow row;
            row.columns = {name};
            row.folder = (attributes & SFGAO_FOLDER) != 0;
            SHFILEINFOA info{};
            if (full && ::SHGetFileInfoA(reinterpret_cast<LPCSTR>(full), 0, &info, sizeof info,
                                         SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
                row.tag = info.iIcon;
            others.push_back(row);
        }
        ::CoTaskMemFree(full);
        ::CoTaskMemFree(child);
    }
    items->Release();
    ::CoTaskMemFree(folderList);
    InsertRows(m_pcList, InsertRows(m_pcList, InsertRows(m_pcList, 0, folders), files), others);
    return true;
}

void CManagerDlg::ClearSortArrows()
{
    HWND header = ListView_GetHeader(m_pcList.m_hWnd);
    if (!header)
        return;
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        ::SendMessageA(header, HDM_GETITEMA, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        item.mask = HDI_FORMAT | HDI_BITMAP;
        item.fmt &= ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
        item.fmt |= HDF_STRING;
        item.hbm = nullptr;
        ::SendMessageA(header, HDM_SETITEMA, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
}

void CManagerDlg::SetSortArrow(int column, int direction)
{
    HWND header = ListView_GetHeader(m_pcList.m_hWnd);
    HBITMAP arrow = ArrowBitmap(direction);
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    if (!header || !arrow || !::SendMessageA(header, HDM_GETITEMA, WPARAM(column), reinterpret_cast<LPARAM>(&item))) {
        ShowPcProblem("FAILED TO ATTACH A LIST HEADER IMAGE.");
        return;
    }
    const int placement = column >= 0 && column < 4 ? m_sortRecords[column].Placement : 3;
    item.mask = HDI_FORMAT | HDI_BITMAP;
    item.fmt |= HDF_BITMAP | HDF_STRING;
    // The right-aligned Size column keeps its arrow left of its text.
    if (placement == 3)
        item.fmt |= HDF_BITMAP_ON_RIGHT;
    item.hbm = arrow;
    if (!::SendMessageA(header, HDM_SETITEMA, WPARAM(column), reinterpret_cast<LPARAM>(&item)))
        ShowPcProblem("FAILED TO ATTACH A LIST HEADER IMAGE.");
}

void CManagerDlg::SortPcList(int column, bool fromRefill)
{
    HWND header = ListView_GetHeader(m_pcList.m_hWnd);
    const int columns = header ? Header_GetItemCount(header) : 0;
    if (column < 0 || column >= columns || column >= 4)
        column = 0;
    ClearSortArrows();
    int direction = 1;
    if (!fromRefill && column == g_lastSortedColumn) {
        direction = m_sortRecords[column].Next;
    } else {
        g_lastSortedColumn = column;
    }
    m_sortRecords[column].Next = direction ? 0 : 1;

    // Folders (rows without a size) stay above files. The list sorter of the
    // control classes takes the place of this ordering once it is there.
    std::vector<pcpane::ListRow> rows;
    for (int i = 0; i < m_pcList.GetItemCount(); ++i) {
        pcpane::ListRow row;
        for (int c = 0; c < std::max(columns, 1); ++c)
            row.columns.push_back(m_pcList.GetItemText(i, c));
        row.folder = columns < 2 || row.columns[1].empty();
        row.tag = m_pcList.GetItemImage(i);
        rows.push_back(row);
    }
    pcpane::SortRows(rows, column, m_sortRecords[column].Text == 0, direction);
    if (!m_pcList.DeleteAllItems() && m_pcList.GetItemCount() > 0) {
        ShowPcProblem("FAILED TO DELETE A LIST ITEM FOR SORT.");
        return;
    }
    InsertRows(m_pcList, 0, rows);
    m_sortColumn = column;
    SetSortArrow(column, direction);
}

void CManagerDlg::OpenSelectedPcItem() { OpenPcItem(); }

void CManagerDlg::OpenPcItem()
{
    int row = -1;
    const std::string name = GetFirstSelectedText(m_pcList, 0, &row);
    if (row < 0)
        return;
    if (m_pcListKind == 1) {
        if (HTREEITEM drive = FindPcTreeChild(m_pcRootItem, name.substr(0, 4))) {
            m_pcTree.SelectItem(drive);
            ShowPcTreeSelection();
        }
        return;
    }
    const bool folder = m_pcListKind == 3 || m_pcList.GetItemText(row, 1).empty();
    HTREEITEM selected = m_pcTree.GetSelectedItem();
    if (folder) {
        HTREEITEM target = nullptr;
        if (selected == m_desktopItem && row == 0 && name == m_pcDrives[1].DisplayName)
            target = m_pcRootItem;
        else if (selected == m_desktopItem && row == 1 && m_networkItem)
            target = m_networkItem;
        else {
            m_pcTree.Expand(selected);
            target = FindPcTreeChild(selected, name);
            if (!target)
                target = InsertNamedSubfolder(selected, name);
        }
        if (!target) {
            ShowMessage(mb::LoadText(IDS_FOLDER_NOT_FOUND));
            return;
        }
        m_pcTree.SelectItem(target);
        return;
    }
    const std::string folderPath = WithSlash(m_pcFolderPath);
    if (HANDLE process = mb::ShellStart(m_hWnd, "open", folderPath + name, std::string(), folderPath))
        ::CloseHandle(process);
}

bool CManagerDlg::NewPcFolder(bool fromList, HTREEITEM item)
{
    if (m_pcListKind == 1) {
        ShowMessage(mb::LoadText(IDS_NEW_FOLDER_FAILED));
        return false;
    }
    if (!item)
        item = m_pcTree.GetSelectedItem();
    const std::string path = GetPcTreeItemPath(item);
    if (path.size() < 2 || (path[1] != ':' && path[0] != '\\')) {
        ShowMessage(mb::LoadText(IDS_NEW_FOLDER_FAILED));
        return false;
    }
    const std::string folder = WithSlash(path);
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA((folder + "*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    const std::string name = pcpane::NewFolderName(names);
    if (!::CreateDirectoryA((folder + name).c_str(), nullptr)) {
        char text[512] = {};
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ::GetLastError(), 0, text,
                         sizeof text, nullptr);
        m_message = text[0] ? text : mb::LoadText(IDS_NEW_FOLDER_FAILED);
        ShowMessage(m_message);
        return false;
    }
    // The placeholder of an unread folder stays: expanding it reads them all.
    HTREEITEM first = m_pcTree.GetChildItem(item);
    HTREEITEM treeItem = nullptr;
    if (!first || m_pcTree.GetItemText(first) != "?")
        treeItem = InsertPcTreeItem(name, item);
    TVITEMA tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = 1;
    m_pcTree.Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    if (fromList) {
        int row = -1;
        if (::lstrcmpiA(WithSlash(m_pcFolderPath).c_str(), folder.c_str()) == 0) {
            std::vector<pcpane::ListRow> rows = {FileRow(folder + name, name, true)};
            row = m_pcList.GetItemCount();
            InsertRows(m_pcList, row, rows);
        }
        if (row >= 0) {
            for (int r : m_pcList.GetSelectedItems())
                m_pcList.Select(r, false);
            m_pcList.Select(row);
            m_pcList.EnsureVisible(row);
            m_pcList.SetFocus();
            m_pcList.EditLabel(row);
        }
    } else if (treeItem) {
        m_pcTree.EnsureVisible(treeItem);
        m_pcTree.SetFocus();
        m_pcTree.EditLabel(treeItem);
    }
    return true;
}

void CManagerDlg::OnPcListEndLabelEdit(int row, bool edited, const std::string& text, LRESULT* result)
{
    *result = FALSE;
    if (!edited || m_pcListKind != 2 || row < 0)
        return;
    if (pcpane::FindInvalidNameChar(text, IsLead) != std::string::npos) {
        ShowMessage(mb::LoadText(IDS_BAD_FILE_NAME));
        return;
    }
    const std::string old = m_pcList.GetItemText(row, 0);
    if (text == old)
        return;
    if (text.empty()) {
        ShowMessage(mb::LoadText(IDS_EMPTY_FILE_NAME));
        // The edit box is going away: editing starts again after it.
        m_pcList.Post(LVM_EDITLABELA, WPARAM(row), 0);
        return;
    }
    const std::string folder = WithSlash(m_pcFolderPath);
    if (!::MoveFileA((folder + old).c_str(), (folder + text).c_str())) {
        ShowMessage(mb::Format(mb::LoadText(IDS_RENAME_FAILED).c_str(), old.c_str()));
        return;
    }
    const bool isFolder = m_pcList.GetItemText(row, 1).empty();
    pcpane::ListRow fresh = FileRow(folder + text, text, isFolder);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = int(fresh.tag);
    m_pcList.Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    m_pcList.SetItemText(row, 2, fresh.columns[2]);
    if (isFolder) {
        HTREEITEM child = FindPcTreeChild(m_pcTree.GetSelectedItem(), old);
        if (child && !m_pcTree.SetItemText(child, text))
            ShowPcProblem("FAILED TO RENAME A TREE ITEM.");
    }
}

void CManagerDlg::OnPcListKey(UINT key)
{
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    if (ctrl) {
        switch (key) {
        case 'A':
            for (int i = 0; i < m_pcList.GetItemCount(); ++i)
                m_pcList.Select(i);
            UpdateSpaceInfo(1);
            break;
        case 'C':
        case 'X':
            if (!CollectSelection(key == 'C' ? 1 : 2, m_clipboard, nullptr))
                ShowMessage(m_message);
            break;
        case 'D':
            DeletePcSelection();
            break;
        case 'N':
            NewPcFolder(true, nullptr);
            break;
        case 'R':
            ReopenPcFolder();
            break;
        case 'V':
            if (m_clipboard.Operation == 16 || m_clipboard.Operation == 32)
                StartUpload(m_clipboard.Operation);  // the clipboard's names, and a cut moves
            else
                PastePc(m_pcFolderPath, true);
            break;
        }
        return;
    }
    switch (key) {
    case VK_DELETE:
        DeletePcSelection();
        break;
    case VK_F2: {
        int row = m_pcList.GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0)
            m_pcList.EditLabel(row);
        break;
    }
    case VK_F5:
        ReopenPcFolder();
        break;
    }
}

void CManagerDlg::ResetTransferList(TRANSFER_LIST& record) { record = TRANSFER_LIST{}; }

int CManagerDlg::CollectSelection(int code, TRANSFER_LIST& record, HTREEITEM item)
{
    ResetTransferList(record);
    if (code <= 15 && m_pcListKind != 2) {
        m_message = mb::LoadText(IDS_DRIVE_NOT_COPIED);
        return 0;
    }
    if (code == 5) {
        std::string path = GetPcTreeItemPath(item ? item : m_pcTree.GetSelectedItem());
        if (path.size() > 3 && path.back() == '\\')
            path.pop_back();
        record.BaseFolder = path;
        record.Operation = 5;
        return 1;
    }
    CListCtrl& list = code > 15 ? m_playerList : m_pcList;
    std::string base;
    if (code > 15) {
        if (m_currentMemory == MEMORY_NONE)
            return 0;
        base = GetPlayerFolderPath();
        if (list.GetItemCount() == 0) {
            m_message = mb::LoadText(IDS_NO_SELECTION);
            return 0;
        }
    } else {
        base = m_pcFolderPath;
    }
    for (int row : list.GetSelectedItems()) {
        const std::string name = list.GetItemText(row, 0);
        if (code > 15 && !CFileUtil::FileExists(WithSlash(base) + name)) {
            ResetTransferList(record);
            return 0;
        }
        if (list.GetItemText(row, 1).empty()) {
            record.FolderRows.push_back(int(record.Names.size()));
            record.HasFolders = true;
        }
        record.Names.push_back(name);
        record.Rows.push_back(row);
    }
    if (record.Names.empty()) {
        m_message = mb::LoadText(IDS_NO_SELECTION);
        ResetTransferList(record);
        return 0;
    }
    record.BaseFolder = base;
    record.Operation = code;
    return 1;
}

bool CManagerDlg::PastePc(const std::string& targetPath, bool refreshList)
{
    if (m_clipboard.Names.empty() || (m_clipboard.Operation != 1 && m_clipboard.Operation != 2)) {
        m_message = mb::LoadText(IDS_NO_SELECTION);
        ShowMessage(m_message);
        m_clipboard.Operation = 0;
        return false;
    }
    const std::string base = WithSlash(m_clipboard.BaseFolder);
    std::vector<std::string> sources, names;
    for (const std::string& name : m_clipboard.Names)
        if (CFileUtil::FileExists(base + name)) {
            sources.push_back(base + name);
            names.push_back(name);
        }
    if (sources.empty()) {
        m_message = mb::LoadText(IDS_NO_SELECTION);
        ShowMessage(m_message);
        return false;
    }
    // A PC pane item without a path (My Computer, a shell folder known only
    // by its name) would take the files into the current drive's root or a
    // folder of that name in the current directory.
    if (!commands::TakesPcFiles(targetPath)) {
        m_message = NoFolderToCopyIntoText();
        return false;
    }
    const bool move = m_clipboard.Operation == 2;
    const std::string target = WithSlash(targetPath);
    // A copy into its own folder takes a new name instead of asking.
    FILEOP_FLAGS flags = FOF_ALLOWUNDO;
    if (::lstrcmpiA(target.c_str(), base.c_str()) == 0) {
        if (move)
            return false;
        flags |= FOF_RENAMEONCOLLISION;
    }
    bool aborted = false;
    const int result = mb::FileOperation(m_hWnd, move ? FO_MOVE : FO_COPY, sources, target, flags, &aborted);
    if (m_clipboard.HasFolders) {
        HTREEITEM targetItem = FindPcTreeItem(target);
        if (targetItem)
            RefreshPcTreeChildren(targetItem);
        if (move) {
            HTREEITEM sourceItem = FindPcTreeItem(base);
            if (sourceItem)
                RefreshPcTreeChildren(sourceItem);
        }
        m_message.clear();
    }
    if (refreshList && ::lstrcmpiA(target.c_str(), WithSlash(m_pcFolderPath).c_str()) == 0) {
        ReopenPcFolder();
        // The pasted names that are there now are the selection.
        for (int r : m_pcList.GetSelectedItems())
            m_pcList.Select(r, false);
        for (const std::string& name : names) {
            int row = m_pcList.FindItem(name);
            if (row >= 0)
                m_pcList.Select(row);
        }
    } else if (move && ::lstrcmpiA(base.c_str(), WithSlash(m_pcFolderPath).c_str()) == 0) {
        ReopenPcFolder();
    }
    UpdateSpaceInfo(1);
    if (move)
        ResetTransferList(m_clipboard);
    return result == 0 && !aborted;
}

void CManagerDlg::DeletePcSelection()
{
    if (!CollectSelection(3, m_selection, nullptr)) {
        ShowMessage(m_message);
        return;
    }
    const std::string base = WithSlash(m_selection.BaseFolder);
    std::vector<std::string> paths;
    for (const std::string& name : m_selection.Names)
        paths.push_back(base + name);
    bool aborted = false;
    mb::FileOperation(m_hWnd, FO_DELETE, paths, std::string(), FOF_ALLOWUNDO, &aborted);
    HTREEITEM item = m_pcTree.GetSelectedItem();
    if (m_selection.HasFolders && item && m_pcTree.GetChildItem(item))
        RefreshPcTreeChildren(item);
    ReopenPcFolder();
    // What could not be deleted stays selected.
    for (const std::string& name : m_selection.Names) {
        int row = m_pcList.FindItem(name);
        if (row >= 0)
            m_pcList.Select(row);
    }
    ResetTransferList(m_selection);
}
