// The transfer commands: download from the PC to the player, upload back to
// the PC, paste inside the player. Each checks that no transfer runs and that
// the memory answers, collects its sources, checks the space and starts the
// engine, then shows the do-not-unplug notice that the settle step closes.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"
#include "SettingsRules.h"
#include "StringIds.h"
#include "Text.h"
#include "TransferPaths.h"
#include "fileutil/FileUtil.h"

namespace {

bool SameText(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string WithSlash(const std::string& folder) { return settings::WithBackslash(folder); }

// A file's size; a folder (or a missing path) counts 0 here: the engine
// measures folders item by item.
unsigned long long FileBytes(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsFolderPath(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string CManagerDlg::PlayerItemPath(HTREEITEM item)
{
    if (!item || m_currentMemory < 0 || m_currentMemory > 1)
        return std::string();
    std::string path;
    for (HTREEITEM at = item; at && m_playerTree.GetParentItem(at); at = m_playerTree.GetParentItem(at))
        path = m_playerTree.GetItemText(at) + "\\" + path;
    return WithSlash(m_memories[m_currentMemory].Root) + path;
}

void CManagerDlg::StartDownload(const std::vector<std::string>& paths, HTREEITEM target, int mode)
{
    if (m_runningOperation != OP_NONE || m_engine.GetStatus(nullptr)) {
        ShowMessage(m_message = mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return;
    }
    unsigned long long freeBytes = 0;
    if (!GetMemorySpace(m_currentMemory, &freeBytes, nullptr)) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return;
    }
    if (!target)
        return;
    const bool dropped = !paths.empty();
    const std::string pcFolder = GetPcFolderPath();
    if (!dropped && mode != TRANSFER_PC_COPY && mode != TRANSFER_PC_CUT) {
        if (pcFolder.empty()) {
            ShowMessage(m_message = mb::LoadText(IDS_DOWNLOAD_FAILED) + "\r\n" + mb::LoadText(IDS_INVALID_DIRECTORY));
            return;
        }
        if (m_pcTree.GetSelectedItem() == m_pcTree.GetRootItem() &&
            (m_pcList.GetItemState(0, LVIS_SELECTED) || m_pcList.GetItemState(1, LVIS_SELECTED))) {
            ShowMessage(m_message = mb::LoadText(IDS_DOWNLOAD_FAILED));
            return;
        }
    }

    m_engine.ClearFileList();
    const std::string folder = PlayerItemPath(target);
    std::vector<std::string> sources;
    auto prohibited = [&](const std::string& name) {
        ShowMessage(m_message = mb::Format(mb::LoadText(IDS_PROHIBITED_NAME).c_str(), name.c_str()));
    };
    if (dropped) {
        for (const std::string& path : paths) {
            const std::string name = CTransferPaths::NameOf(path);
            if (IsSettingsFile(folder + name))
                prohibited(name);
            else
                sources.push_back(path);
        }
    } else if (mode == TRANSFER_PC_COPY || mode == TRANSFER_PC_CUT) {
        const TRANSFER_LIST clipboard = m_clipboard;
        m_clipboard.Operation = 0;
        for (const std::string& name : clipboard.Names) {
            if (IsSettingsFile(folder + name)) {
                prohibited(name);
                return;
            }
            sources.push_back(CTransferPaths::Join(clipboard.BaseFolder, name));
        }
    } else {
        for (int row : m_pcList.GetSelectedItems()) {
            const std::string name = m_pcList.GetItemText(row, 0);
            if (IsSettingsFile(folder + name)) {
                prohibited(name);
                return;
            }
            sources.push_back(CTransferPaths::Join(pcFolder, name));
        }
    }
    if (sources.empty()) {
        ShowMessage(m_message = mb::LoadText(IDS_NO_SELECTED_FILE));
        return;
    }
    // A folder into itself or one of its own subfolders would copy its copy
    // again: refuse it here rather than leave the engine to fail the item.
    for (const std::string& source : sources) {
        if (IsFolderPath(source) && CTransferPaths::IsSameOrInside(folder, source)) {
            ShowMessage(m_message = mb::Format(mb::LoadText(IDS_FOLDER_CREATE_FAILED).c_str(),
                                               CTransferPaths::Join(folder, CTransferPaths::NameOf(source)).c_str()));
            return;
        }
    }
    unsigned long long total = 0;
    for (const std::string& source : sources) {
        m_engine.AddFile(source);
        total += FileBytes(source);
    }
    if (freeBytes < total) {
        ShowMessage(m_message = mb::LoadText(IDS_NO_MEMORY_SPACE));
        return;
    }
    for (int row : m_playerList.GetSelectedItems())
        m_playerList.Select(row, false);
    KillTimer(1);
    if (!m_engine.Start(TRANSFER_TO_PLAYER, folder, mode, OsLevel)) {
        SetTimer(1, 1500);
        return;
    }
    m_runningOperation = OP_DOWNLOAD;
    SetTimer(4, 200);
    ShowMessage(mb::LoadText(IDS_DOWNLOAD_STARTED));
}

void CManagerDlg::StartUpload(int mode, bool drop)
{
    if (m_runningOperation != OP_NONE || m_engine.GetStatus(nullptr)) {
        ShowMessage(m_message = mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return;
    }
    if (!GetMemorySpace(m_currentMemory, nullptr, nullptr)) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return;
    }
    const HTREEITEM item = drop ? m_pcTree.GetDropHilightItem() : m_pcTree.GetSelectedItem();
    const std::string target = drop ? GetPcTreeItemPath(item) : GetPcFolderPath();
    if (!drop)
        for (int row : m_pcList.GetSelectedItems())
            m_pcList.Select(row, false);
    UploadTo(target, mode);
}

bool CManagerDlg::UploadTo(const std::string& targetFolder, int mode)
{
    if (m_runningOperation != OP_NONE || m_engine.GetStatus(nullptr)) {
        ShowMessage(m_message = mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return false;
    }
    // A path of a folder's form that is no folder (a file, a folder since
    // removed) would only fail item by item.
    if (targetFolder.empty() || CFileUtil::GetPathKind(targetFolder) != 2 || !IsFolderPath(targetFolder)) {
        ShowMessage(m_message = mb::LoadText(IDS_UPLOAD_FAILED) + "\r\n" + mb::LoadText(IDS_INVALID_DIRECTORY));
        return false;
    }
    m_uploadFolder = targetFolder;
    m_engine.ClearFileList();
    int added = 0;
    if (mode == TRANSFER_PLAYER_COPY || mode == TRANSFER_PLAYER_CUT) {
        for (const std::string& name : m_clipboard.Names) {
            m_engine.AddFile(CTransferPaths::Join(m_clipboard.BaseFolder, name));
            ++added;
        }
    } else {
        const std::string folder = GetPlayerFolderPath();
        for (int row : m_playerList.GetSelectedItems()) {
            m_engine.AddFile(CTransferPaths::Join(folder, m_playerList.GetItemText(row, 0)));
            ++added;
        }
    }
    if (!added) {
        ShowMessage(m_message = mb::LoadText(IDS_NO_SELECTED_FILE));
        return false;
    }
    KillTimer(1);
    if (!m_engine.Start(TRANSFER_TO_PC, targetFolder, mode, OsLevel)) {
        SetTimer(1, 1500);
        return false;
    }
    m_runningOperation = OP_UPLOAD;
    SetTimer(4, 200);
    ShowMessage(mb::LoadText(IDS_UPLOAD_STARTED));
    return true;
}

void CManagerDlg::MoveOnPlayer(const std::string& targetFolder, const TRANSFER_LIST& clipboard)
{
    if (m_runningOperation != OP_NONE || m_engine.GetStatus(nullptr)) {
        ShowMessage(m_message = mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return;
    }
    unsigned long long freeBytes = 0;
    if (!GetMemorySpace(m_currentMemory, &freeBytes, nullptr)) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return;
    }
    if ((clipboard.Operation != TRANSFER_PLAYER_COPY && clipboard.Operation != TRANSFER_PLAYER_CUT) ||
        SameText(WithSlash(targetFolder), WithSlash(clipboard.BaseFolder)))
        return;
    CWaitCursor wait;
    const std::string target = WithSlash(targetFolder);
    // A folder pasted into itself or below itself would never end; and an
    // existing folder of the name that holds the source ("Music\Music"
    // pasted beside "Music") would be deleted, the source with it, when
    // replaced.
    for (const std::string& name : clipboard.Names) {
        const std::string source = CTransferPaths::Join(clipboard.BaseFolder, name);
        if ((IsFolderPath(source) && CTransferPaths::IsSameOrInside(target, source)) ||
            CTransferPaths::IsSameOrInside(source, target + name)) {
            ShowMessage(m_message = mb::Format(mb::LoadText(IDS_FOLDER_CREATE_FAILED).c_str(),
                                               (target + name).c_str()));
            return;
        }
    }

    const bool sameDrive = clipboard.BaseFolder.size() >= 2 && target.size() >= 2 &&
                           SameText(clipboard.BaseFolder.substr(0, 2), target.substr(0, 2));
    if (clipboard.Operation == TRANSFER_PLAYER_CUT && sameDrive) {
        bool yesToAll = false;
        for (const std::string& name : clipboard.Names) {
            const std::string source = CTransferPaths::Join(clipboard.BaseFolder, name);
            const std::string newPath = target + name;
            // The settings file stays where the player expects it.
            if (IsSettingsFile(source) || IsSettingsFile(newPath)) {
                ShowMessage(m_message = mb::Format(mb::LoadText(IDS_PROHIBITED_NAME).c_str(), name.c_str()));
                continue;
            }
            if (::GetFileAttributesA(newPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
                int answer = OVERWRITE_YES;
                if (!yesToAll)
                    answer = m_overwriteQuestion.AskOverwrite(CFileUtil::ShortenName(name, 53));
                if (answer == OVERWRITE_YES_TO_ALL)
                    yesToAll = true;
                if (answer == OVERWRITE_NO)
                    continue;
                if (answer != OVERWRITE_YES && answer != OVERWRITE_YES_TO_ALL)
                    break;
                const bool folder = IsFolderPath(newPath);
                if (!(folder ? CFileUtil::DeleteToRecycleBin(newPath) : ::DeleteFileA(newPath.c_str()) != 0)) {
                    ShowMessage(m_message = mb::Format(mb::LoadText(IDS_FILE_DELETE_FAILED).c_str(), name.c_str()));
                    continue;
                }
            }
            ::MoveFileA(source.c_str(), newPath.c_str());
        }
        // Both folders changed: what the order writer remembers of them is
        // stale.
        TheSysCtrl().InitDirectory(WithSlash(clipboard.BaseFolder).c_str());
        TheSysCtrl().InitDirectory(target.c_str());
        FillPlayerList();
        return;
    }

    m_engine.ClearFileList();
    unsigned long long total = 0;
    for (const std::string& name : clipboard.Names) {
        const std::string source = CTransferPaths::Join(clipboard.BaseFolder, name);
        if ((clipboard.Operation == TRANSFER_PLAYER_CUT && IsSettingsFile(source)) || IsSettingsFile(target + name)) {
            ShowMessage(m_message = mb::Format(mb::LoadText(IDS_PROHIBITED_NAME).c_str(), name.c_str()));
            continue;
        }
        m_engine.AddFile(source);
        total += FileBytes(source);
    }
    if (!m_engine.GetFileCount())
        return;
    if (freeBytes < total) {
        ShowMessage(m_message = mb::LoadText(IDS_NO_MEMORY_SPACE));
        return;
    }
    for (int row : m_playerList.GetSelectedItems())
        m_playerList.Select(row, false);
    KillTimer(1);
    if (!m_engine.Start(TRANSFER_TO_PLAYER, target, clipboard.Operation, OsLevel)) {
        SetTimer(1, 1500);
        return;
    }
    m_runningOperation = OP_PLAYER_MOVE;
    SetTimer(4, 200);
    ShowMessage(mb::LoadText(IDS_DOWNLOAD_STARTED));
}
