#include "TransferListCtrl.h"

#include <shellapi.h>

#include "DownloadListRules.h"
#include "fileutil/FileUtil.h"

void CTransferListCtrl::InitColumns()
{
    if (!m_hWnd || GetColumnWidth(0) > 0)
        return;
    SetExtendedStyle(LVS_EX_FULLROWSELECT);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const int nameWidth = client.right - client.left - 166;
    InsertColumn(COL_NUMBER, "No.", 40);
    InsertColumn(COL_NAME, "Name", nameWidth > 40 ? nameWidth : 40);
    InsertColumn(COL_SIZE, "Size", 60, LVCFMT_RIGHT);
    InsertColumn(COL_STATUS, "Status", 50);
    InsertColumn(COL_PATH, "Path", 0);
    SHFILEINFOA info = {};
    const HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (icons) {
        // The system's list is shared: the control must never destroy it.
        ::SetWindowLongA(m_hWnd, GWL_STYLE, ::GetWindowLongA(m_hWnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
        SetImageList(icons, LVSIL_SMALL);
    }
}

int CTransferListCtrl::AddEntry(const std::string& name, const char* sizeText, const std::string& status,
                                const std::string& path, int index)
{
    if (index < 0 || index > GetItemCount())
        index = GetItemCount();
    std::string size;
    if (sizeText) {
        size = sizeText;
    } else {
        DWORD bytes = 0;
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            bytes = CFileUtil::GetFolderSize(path);
        else {
            SYSTEMTIME time;
            CFileUtil::GetFileSizeAndTime(path, bytes, time);
        }
        size = CFileUtil::FormatSizeKB(bytes);
    }
    SHFILEINFOA info = {};
    const int image = ::SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)
                          ? info.iIcon
                          : -1;
    const int row = InsertItem(index, CDownloadListRules::Number(index), image);
    if (row < 0)
        return row;
    SetItemText(row, COL_NAME, name);
    SetItemText(row, COL_SIZE, size);
    SetItemText(row, COL_STATUS, status);
    SetItemText(row, COL_PATH, path);
    Renumber(row);
    return row;
}

int CTransferListCtrl::FindEntry(int column, const std::string& text, int first, int last) const
{
    const int count = GetItemCount();
    if (first < 0)
        first = 0;
    if (last < first || last >= count)
        last = count - 1;
    for (int row = first; row <= last; ++row)
        if (CDownloadListRules::SameName(GetItemText(row, column), text))
            return row;
    return -1;
}

int CTransferListCtrl::MoveEntry(int from, int to)
{
    const int count = GetItemCount();
    if (from == to || to < 0 || to > count || from < 0 || from >= count)
        return from;
    std::string texts[5];
    for (int c = 0; c < 5; ++c)
        texts[c] = GetItemText(from, c);
    const int image = GetItemImage(from);
    const UINT state = GetItemState(from, LVIS_SELECTED);
    const int row = InsertItem(to, texts[0], image);
    for (int c = 1; c < 5; ++c)
        SetItemText(row, c, texts[c]);
    SetItemState(row, state, LVIS_SELECTED);
    if (to > from) {
        DeleteItem(from);
        Renumber(from);
        return to - 1;
    }
    DeleteItem(from + 1);
    Renumber(to);
    return to;
}

void CTransferListCtrl::Renumber(int first)
{
    for (int row = first < 0 ? 0 : first; row < GetItemCount(); ++row)
        SetItemText(row, COL_NUMBER, CDownloadListRules::Number(row));
}

bool CTransferListCtrl::RemoveEntry(const std::string& name)
{
    const int row = FindEntry(COL_NAME, name);
    if (row < 0)
        return false;
    DeleteItem(row);
    Renumber(row);
    return true;
}

bool CTransferListCtrl::SetStatusOf(const std::string& name, const std::string& status)
{
    const int row = FindEntry(COL_NAME, name);
    if (row < 0)
        return false;
    SetItemText(row, COL_STATUS, status);
    return true;
}
