#include "FileListCtrl.h"

#include <commctrl.h>

#include "PlayerPaneRules.h"
#include "Shell.h"
#include "Text.h"

namespace {

// A key-down of Enter or Escape while a label edit is open goes straight to
// the edit box, so the dialog does not take it as OK or Cancel.
bool IsEditKey(const MSG* msg)
{
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

}  // namespace

BOOL CFileListCtrl::PreTranslateMessage(MSG* msg)
{
    if (GetEditControl() && IsEditKey(msg)) {
        if (msg->wParam == VK_ESCAPE)
            m_editCancelled = 1;
        ::TranslateMessage(msg);
        ::DispatchMessageW(msg);
        return TRUE;
    }
    return CListCtrl::PreTranslateMessage(msg);
}

int CFileListCtrl::HitTest(POINT screen) const
{
    LVHITTESTINFO info{};
    info.pt = screen;
    ::ScreenToClient(m_hWnd, &info.pt);
    int row = CListCtrl::HitTest(info);
    return (row >= 0 && (info.flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON))) ? row : -1;
}

void CFileListCtrl::SelectItem(int index)
{
    if (index >= GetItemCount())
        return;
    Select(index < 0 ? -1 : index, true);
}

void CFileListCtrl::DeselectItem(int index)
{
    if (index >= GetItemCount())
        return;
    Select(index < 0 ? -1 : index, false);
}

void CFileListCtrl::ScrollToEnd()
{
    RECT r = GetClientRect();
    Scroll(0, (r.bottom - r.top) * (GetItemCount() + 1));
}

int CFileListCtrl::InsertFileRow(int index, const std::string& path, const std::string& name, bool isFolder)
{
    int row = InsertItem(index, name, mb::SystemIconIndex(path, true));
    if (row < 0)
        return row;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return row;
    if (!isFolder) {
        unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        SetItemText(row, 1, mb::Format("%u KB", static_cast<unsigned>((size + 1023) / 1024)));
    }
    SHFILEINFOA info{};
    if (mb::GetFileInfo(path, SHGFI_TYPENAME, info))
        SetItemText(row, 2, info.szTypeName);
    FILETIME local{};
    SYSTEMTIME st{};
    if (::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && ::FileTimeToSystemTime(&local, &st))
        SetItemText(row, 3, FormatFileTime(st));
    return row;
}

bool CFileListCtrl::IsFolderRow(int index, std::string* name) const
{
    if (name)
        *name = GetItemText(index, 0);
    return GetItemText(index, 1).empty();
}

int CFileListCtrl::FindRow(const std::string& name) const
{
    for (int i = 0; i < GetItemCount(); ++i)
        if (::lstrcmpiA(GetItemText(i, 0).c_str(), name.c_str()) == 0)
            return i;
    return -1;
}

std::string CFileListCtrl::FormatFileTime(const SYSTEMTIME& time)
{
    if (time.wHour > 23)
        return "---";
    std::string half = mb::LoadText(time.wHour < 12 ? 228 : 229);
    return playerpane::FileTimeText(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, half);
}
