// Writing the player's play order: the selected rows of the player list move
// up, down or to a drop row, the folder's directory is rewritten in the new
// order through the directory object, and the folder is listed again.
#include "ManagerDlg.h"

#include <cstring>

#include "ManagerGlobals.h"
#include "PlayOrder.h"
#include "SettingsRules.h"
#include "StringIds.h"
#include "Text.h"

void CManagerDlg::ListFolderEntries(const std::string& folder, std::vector<std::string>& names)
{
    for (const FolderEntry& e : ReadFolder(folder))
        names.push_back(e.Name);
}

void CManagerDlg::WritePlayerFileOrder(int kind, int dropRow)
{
    if (m_runningOperation != OP_NONE) {
        m_message = mb::LoadText(IDS_TRANSFER_BUSY);
        ShowMessage(m_message);
        return;
    }
    m_message.clear();
    unsigned long long freeBytes = 0, totalBytes = 0;
    if (m_currentMemory == MEMORY_NONE || GetMemorySpace(m_currentMemory, &freeBytes, &totalBytes) == 0) {
        if (!m_message.empty())
            ShowMessage(m_message);
        return;
    }
    const int count = m_playerList.GetItemCount();
    std::vector<int> selected = m_playerList.GetSelectedItems();
    if (selected.empty()) {
        m_message = mb::LoadText(IDS_SELECT_ONE_FILE);
        ShowMessage(m_message);
        return;
    }
    CWaitCursor wait;

    std::vector<std::string> rows;
    int folderRows = 0;
    for (int i = 0; i < count; ++i) {
        std::string name;
        if (m_playerList.IsFolderRow(i, &name))
            ++folderRows;
        rows.push_back(name);
    }
    playerpane::MovedRows moved = playerpane::MoveRows(static_cast<playerpane::MoveKind>(kind), rows, folderRows,
                                                       selected, dropRow);

    // The folder path goes to the directory object in a 260-byte buffer.
    std::string folder = settings::WithBackslash(GetPlayerFolderPath());
    char path[MAX_PATH] = {};
    if (folder.size() >= sizeof path) {
        m_message = mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(), "THE FOLDER PATH IS TOO LONG.");
        ShowMessage(m_message);
        return;
    }
    std::memcpy(path, folder.c_str(), folder.size() + 1);

    // The directory object works from the directory as it is now.
    QV_RESULT result = TheSysCtrl().InitDirectory(path);
    std::vector<std::string> order;
    bool named = false;
    if (result == QV_SUCCESS) {
        std::vector<playerpane::DirEntry> entries;
        for (const FolderEntry& e : ReadFolder(folder))
            entries.push_back(playerpane::DirEntry{e.Name, e.IsFolder});
        // A list that is not exactly the folder's entries (changed behind the
        // window, or a name the code page cannot show) would name an entry
        // twice or leave one out: nothing is written then.
        named = playerpane::DirectoryOrder(entries, rows, moved.Names, m_fileKindFilter, folder.size() == 3, &order,
                                           SameNameNoCase, NameSortKey);
    }
    if (result == QV_SUCCESS && named) {
        ::SleepEx(1000, TRUE);
        CQV_SysCtrl& dir = TheSysCtrl();
        dir.SetFileNum(static_cast<int>(order.size()));
        for (const std::string& name : order)
            dir.AddFileName(name.c_str());
        result = dir.SetFileOrder(path);
    }

    FillPlayerList();

    if (result != QV_SUCCESS || !named) {
        m_message = mb::LoadText(IDS_ORDER_FAILED);
        char code[32] = {};
        if (result != QV_SUCCESS)
            TheSysCtrl().GetErrorCode(result, code);
        if (code[0])
            m_message += "\r\n" + mb::Format(mb::LoadText(IDS_ERROR_CODE).c_str(), code);
        ShowMessage(m_message);
        return;
    }
    // The moved rows are selected where the new listing shows them.
    m_playerList.DeselectItem(-1);
    for (int index : moved.Selected) {
        int row = m_playerList.FindRow(moved.Names[index]);
        if (row >= 0) {
            m_playerList.Select(row);
            m_playerList.SetFocusItem(row);
        }
    }
}
