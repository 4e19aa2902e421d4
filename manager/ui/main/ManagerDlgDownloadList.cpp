// The download list: a queue of PC files and folders held twice, every entry
// in the hidden twin (1014) and the entries that pass the filter in the
// visible list (1201). Entries are known by name; a row's status is kept in
// both lists, so that a filter change does not forget what was copied. Also
// the list as an M3U playlist, and the transfer's progress bar.
#include "ManagerDlg.h"

#include <fstream>
#include <iterator>

#include "DownloadListRules.h"
#include "DownloadM3u.h"
#include "FileReplace.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"
#include "TransferPaths.h"
#include "fileutil/FileUtil.h"

namespace {

// A file's size, a folder's total, -1 for a path that is gone.
long long ItemBytes(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return -1;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return CFileUtil::GetFolderSize(path);
    DWORD size = 0;
    SYSTEMTIME time;
    CFileUtil::GetFileSizeAndTime(path, size, time);
    return size;
}

const char kListFilter[] = "File List (*.m3u)|*.m3u|";

}  // namespace

void CManagerDlg::InitDownloadListColumns()
{
    m_downloadList.InitColumns();
    m_downloadTwin.InitColumns();
}

void CManagerDlg::AddDownloadRow(const std::string& name, const char* sizeText, const std::string& path)
{
    m_downloadTwin.AddEntry(name, sizeText, std::string(), path);
    if (CDownloadListRules::PassesFilter(name, m_fileFilter))
        m_downloadList.AddEntry(name, sizeText, std::string(), path);
}

void CManagerDlg::AddPcSelectionToDownloadList()
{
    const std::string folder = GetPcFolderPath();
    for (int row : m_pcList.GetSelectedItems()) {
        const std::string name = m_pcList.GetItemText(row, 0);
        const std::string path = CTransferPaths::Join(folder, name);
        std::string size = m_pcList.GetItemText(row, 1);
        if (size.empty())
            size = CFileUtil::FormatSizeKB(CFileUtil::GetFolderSize(path));
        m_downloadList.RemoveEntry(name);
        m_downloadTwin.RemoveEntry(name);
        AddDownloadRow(name, size.c_str(), path);
    }
    UpdateSpaceInfo(1);
}

void CManagerDlg::AddDownloadListItem(const std::string& path)
{
    const long long bytes = ItemBytes(path);
    if (bytes < 0)
        return;
    const std::string name = CTransferPaths::NameOf(path);
    // One entry per name, as a drop keeps it.
    m_downloadList.RemoveEntry(name);
    m_downloadTwin.RemoveEntry(name);
    AddDownloadRow(name, CFileUtil::FormatSize(bytes, 1).c_str(), path);
}

void CManagerDlg::ApplyDownloadFilter(int filter)
{
    m_downloadList.DeleteAllItems();
    for (int row = 0; row < m_downloadTwin.GetItemCount(); ++row) {
        const std::string name = m_downloadTwin.GetItemText(row, CTransferListCtrl::COL_NAME);
        if (!CDownloadListRules::PassesFilter(name, filter))
            continue;
        const std::string size = m_downloadTwin.GetItemText(row, CTransferListCtrl::COL_SIZE);
        m_downloadList.AddEntry(name, size.c_str(), m_downloadTwin.GetItemText(row, CTransferListCtrl::COL_STATUS),
                                m_downloadTwin.GetItemText(row, CTransferListCtrl::COL_PATH));
    }
}

void CManagerDlg::RemoveSelectedDownloads()
{
    if (m_runningOperation != OP_NONE) {
        ShowMessage(m_message = mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return;
    }
    for (int row = m_downloadList.GetNextItem(-1, LVNI_SELECTED); row >= 0;
         row = m_downloadList.GetNextItem(-1, LVNI_SELECTED)) {
        const std::string name = m_downloadList.GetItemText(row, CTransferListCtrl::COL_NAME);
        m_downloadTwin.RemoveEntry(name);
        m_downloadList.DeleteItem(row);
        m_downloadList.Renumber(row);
    }
    UpdateSpaceInfo(1);
}

void CManagerDlg::DeleteDownloadListSelection() { RemoveSelectedDownloads(); }

unsigned long long CManagerDlg::GetDownloadListSize()
{
    unsigned long long total = 0;
    for (int row = 0; row < m_downloadList.GetItemCount(); ++row) {
        if (!m_downloadList.GetItemText(row, CTransferListCtrl::COL_STATUS).empty())
            continue;
        const long long bytes = ItemBytes(m_downloadList.GetItemText(row, CTransferListCtrl::COL_PATH));
        if (bytes > 0)
            total += static_cast<unsigned long long>(bytes);
    }
    return total;
}

void CManagerDlg::SetDownloadStatus(const std::string& path, const std::string& status)
{
    for (CTransferListCtrl* list : {&m_downloadList, &m_downloadTwin}) {
        const int row = list->FindEntry(CTransferListCtrl::COL_PATH, path);
        if (row >= 0)
            list->SetItemText(row, CTransferListCtrl::COL_STATUS, status);
    }
}

bool CManagerDlg::StartDownloadList()
{
    if (m_runningOperation != OP_NONE || m_engine.GetStatus(nullptr)) {
        ShowMessage(m_message = mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return false;
    }
    unsigned long long freeBytes = 0;
    if (!GetMemorySpace(m_currentMemory, &freeBytes, nullptr)) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return false;
    }
    m_engine.ClearFileList();
    if (!m_downloadList.GetItemCount()) {
        ShowMessage(m_message = mb::LoadText(IDS_NO_SELECTED_FILE));
        return false;
    }
    std::vector<int> queued;
    std::vector<std::int64_t> sizes;
    for (int row = 0; row < m_downloadList.GetItemCount(); ++row) {
        if (!m_downloadList.GetItemText(row, CTransferListCtrl::COL_STATUS).empty())
            continue;
        queued.push_back(row);
        sizes.push_back(ItemBytes(m_downloadList.GetItemText(row, CTransferListCtrl::COL_PATH)));
    }
    const std::string target = PlayerItemPath(m_playerTree.GetSelectedItem());
    const DOWNLOAD_PICK pick = CDownloadListRules::PickForSpace(sizes, freeBytes);
    const std::string ready = mb::LoadText(IDS_STATUS_READY);
    bool started = false;
    if (pick.NoSpace) {
        ShowMessage(m_message = mb::LoadText(IDS_NO_MEMORY_SPACE));
    } else if (!target.empty()) {
        for (std::size_t i : pick.Taken) {
            const std::string path = m_downloadList.GetItemText(queued[i], CTransferListCtrl::COL_PATH);
            m_engine.AddFile(path);
            SetDownloadStatus(path, ready);
        }
        KillTimer(1);
        started = m_engine.Start(TRANSFER_TO_PLAYER, target, TRANSFER_DOWNLOAD, OsLevel) != nullptr;
    }
    if (!started) {
        SetTimer(1, 1500);
        for (CTransferListCtrl* list : {&m_downloadList, &m_downloadTwin})
            for (int row = 0; row < list->GetItemCount(); ++row)
                if (list->GetItemText(row, CTransferListCtrl::COL_STATUS) == ready)
                    list->SetItemText(row, CTransferListCtrl::COL_STATUS, std::string());
        return false;
    }
    m_runningOperation = OP_DOWNLOAD_LIST;
    SetTimer(4, 200);
    ShowMessage(mb::LoadText(IDS_DOWNLOAD_STARTED));
    return true;
}

void CManagerDlg::UpdateTransferProgress(const TRANSFER_STATUS& status)
{
    if (!status.ItemSize) {
        if (m_hWnd)
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    if (status.CurrentItem == 1 || status.CurrentItem != m_progressFile) {
        m_progressFile = status.CurrentItem;
        m_progressPos = 0;
        m_progress.SetRange(0, static_cast<long>(status.ItemSize));
    }
    if (status.ItemBytesDone != m_progressPos) {
        m_progressPos = status.ItemBytesDone;
        m_progress.SetPos(0, static_cast<long>(m_progressPos));
    }
}

void CManagerDlg::MoveDownloadListRows(bool up)
{
    std::vector<int> rows = m_downloadList.GetSelectedItems();
    if (!up)
        rows.assign(rows.rbegin(), rows.rend());
    // A block at the edge stays; the rows behind it stop there too.
    int edge = up ? 0 : m_downloadList.GetItemCount() - 1;
    for (int row : rows) {
        if (row == edge) {
            edge += up ? 1 : -1;
            continue;
        }
        const std::string name = m_downloadList.GetItemText(row, CTransferListCtrl::COL_NAME);
        const int twin = m_downloadTwin.FindEntry(CTransferListCtrl::COL_NAME, name);
        if (twin >= 0 && (up ? twin > 0 : twin + 1 < m_downloadTwin.GetItemCount()))
            m_downloadTwin.MoveEntry(twin, up ? twin - 1 : twin + 2);
        const int moved = m_downloadList.MoveEntry(row, up ? row - 1 : row + 2);
        m_downloadList.Select(moved);
    }
}

void CManagerDlg::ReorderDownloadRows(int target)
{
    std::vector<std::string> names;
    for (int row : m_downloadList.GetSelectedItems())
        names.push_back(m_downloadList.GetItemText(row, CTransferListCtrl::COL_NAME));
    if (names.empty())
        return;
    // In the twin the moved entries go before the entry that stands at the
    // visible target (or to the end), so both lists keep one order.
    const std::string before = target >= 0 && target < m_downloadList.GetItemCount()
                                   ? m_downloadList.GetItemText(target, CTransferListCtrl::COL_NAME)
                                   : std::string();
    for (CTransferListCtrl* list : {&m_downloadList, &m_downloadTwin}) {
        std::vector<std::string> rows;
        for (int row = 0; row < list->GetItemCount(); ++row)
            rows.push_back(list->GetItemText(row, CTransferListCtrl::COL_NAME));
        int at = static_cast<int>(rows.size());
        if (!before.empty())
            at = list->FindEntry(CTransferListCtrl::COL_NAME, before);
        const std::vector<std::string> order = CDownloadListRules::Reorder(rows, names, at < 0 ? int(rows.size()) : at);
        for (std::size_t i = 0; i < order.size(); ++i) {
            const int from = list->FindEntry(CTransferListCtrl::COL_NAME, order[i], int(i));
            if (from >= 0)
                list->MoveEntry(from, int(i));
        }
        list->Renumber(0);
    }
    for (int row = 0; row < m_downloadList.GetItemCount(); ++row) {
        bool selected = false;
        for (const std::string& name : names)
            selected = selected ||
                       CDownloadListRules::SameName(name, m_downloadList.GetItemText(row, CTransferListCtrl::COL_NAME));
        m_downloadList.Select(row, selected);
    }
}

// ---- the list as an M3U playlist -------------------------------------------

void CManagerDlg::SaveListAsM3u()
{
    const std::vector<std::string> chosen = mb::FileDialog(
        false, m_hWnd, kListFilter, "m3u", std::string(),
        OFN_EXPLORER | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (m_recentPaths.m_hWnd)
        m_recentPaths.SetCurSel(0);
    if (chosen.empty() || chosen[0].empty())
        return;
    SaveDownloadListTo(chosen[0]);
}

bool CManagerDlg::SaveDownloadListTo(const std::string& path)
{
    std::vector<M3U_ROW> rows;
    for (int row = 0; row < m_downloadList.GetItemCount(); ++row) {
        M3U_ROW entry;
        entry.Path = m_downloadList.GetItemText(row, CTransferListCtrl::COL_PATH);
        const std::string ext = CTransferPaths::ExtensionOf(entry.Path);
        if (CDownloadListRules::SameName(ext, "mp3")) {
            std::string copy = entry.Path;
            m_mp3Info.SetFilePath(&copy[0]);
            entry.Seconds = static_cast<int>(m_mp3Info.GetTotalSeconds());
        } else if (CDownloadListRules::SameName(ext, "wma")) {
            m_wmaInfo.SetFilePath(entry.Path.c_str());
            entry.Seconds = CDownloadM3u::WmaSeconds(m_wmaInfo.size, m_wmaInfo.bitrate);
        }
        rows.push_back(entry);
    }
    const std::string text = CDownloadM3u::Write(rows);
    if (!mb::ReplaceFileWithText(path, text)) {
        ShowMessage(m_message = mb::Format(mb::LoadText(IDS_FILE_CREATE_FAILED).c_str(),
                                           CTransferPaths::NameOf(path).c_str()));
        return false;
    }
    UpdateSpaceInfo(1);
    return true;
}

void CManagerDlg::OpenListFile()
{
    const std::vector<std::string> chosen = mb::FileDialog(
        true, m_hWnd, kListFilter, "m3u", std::string(),
        OFN_EXPLORER | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (m_recentPaths.m_hWnd)
        m_recentPaths.SetCurSel(0);
    if (chosen.empty() || chosen[0].empty())
        return;
    OpenDownloadListFrom(chosen[0]);
}

bool CManagerDlg::OpenDownloadListFrom(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    bool read = file != INVALID_HANDLE_VALUE;
    if (read) {
        char buffer[16384];
        DWORD got = 0;
        // A playlist is small; anything past a few megabytes is not one.
        while ((read = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got && bytes.size() < (8u << 20))
            bytes.append(buffer, got);
        ::CloseHandle(file);
    }
    if (!read) {
        ShowMessage(m_message = mb::Format(mb::LoadText(IDS_FILE_OPEN_FAILED).c_str(),
                                           CTransferPaths::NameOf(path).c_str()));
        return false;
    }
    std::vector<std::string> entries;
    for (const std::string& entry : CDownloadM3u::Read(bytes, CTransferPaths::FolderOf(path)))
        if (::GetFileAttributesA(entry.c_str()) != INVALID_FILE_ATTRIBUTES)
            entries.push_back(entry);
    // Nothing usable in the file: the queue stays as it was.
    if (entries.empty())
        return false;
    m_downloadList.DeleteAllItems();
    m_downloadTwin.DeleteAllItems();
    for (const std::string& entry : entries)
        AddDownloadListItem(entry);
    UpdateSpaceInfo(1);
    return true;
}
