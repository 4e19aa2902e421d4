// Settings, recent paths, the system image lists, drag icons and the small
// queries other concerns use.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"
#include "ManagerSettings.h"
#include "SettingsRules.h"
#include "Shell.h"

void CManagerDlg::ReadSettings()
{
    CManagerSettings::Values v = CManagerSettings::Read();
    g_programFolder = CManagerSettings::ResolveProgramFolder(v.programFolder);
    g_imagesFolder = settings::ImagesFolder(g_programFolder);
    m_removeCompleted = int(v.cfgDl);
    m_treeHiddenAtStart = int(v.cfgTr);
}

void CManagerDlg::LoadSaveRecentPaths(const std::string& how)
{
    if (how == "read") {
        for (const std::string& path : CManagerSettings::ReadRecentPaths()) {
            if (m_recentPaths.FindStringExact(path) < 0)
                m_recentPaths.InsertString(0, path);
        }
        m_recentPathsRead = true;
    } else if (how == "write" && m_recentPaths.m_hWnd && m_recentPathsRead) {
        // A window that ended before its lists were filled (a broken skin)
        // never read them: its empty box would wipe the stored paths.
        std::vector<std::string> entries;
        for (int i = 0; i < m_recentPaths.GetCount() && i < 10; ++i)
            entries.push_back(m_recentPaths.GetLBText(i));
        CManagerSettings::WriteRecentPaths(entries);
    }
}

bool CManagerDlg::IsSettingsFile(const std::string& path) const
{
    return settings::IsSettingsFile(path, m_currentMemory);
}

std::string CManagerDlg::GetFirstSelectedText(CListCtrl& list, int column, int* index)
{
    int row = list.GetNextItem(-1, LVNI_SELECTED);
    if (index)
        *index = row;
    return row < 0 ? std::string() : list.GetItemText(row, column);
}

int CManagerDlg::GetPcTreeItemKind(HTREEITEM item)
{
    return m_pcTree.GetItemData(item) ? 3 : 2;
}

DWORD CManagerDlg::GetSelectionSize(CListCtrl& list)
{
    std::string folder;
    if (list.m_hWnd == m_pcList.m_hWnd)
        folder = GetPcFolderPath();
    else if (list.m_hWnd == m_playerList.m_hWnd)
        folder = GetPlayerFolderPath();
    else
        return 0;
    if (folder.empty())
        return 0;
    folder = settings::WithBackslash(folder);
    unsigned long long total = 0;
    for (int row : list.GetSelectedItems()) {
        std::string path = folder + list.GetItemText(row, 0);
        DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            total += CFileUtil::GetFolderSize(path);
        } else {
            DWORD size = 0;
            SYSTEMTIME time{};
            if (CFileUtil::GetFileSizeAndTime(path, size, time))
                total += size;
        }
    }
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : DWORD(total);
}

void CManagerDlg::AttachSystemImageLists()
{
    HIMAGELIST small = mb::SystemImageList(true);
    HIMAGELIST large = mb::SystemImageList(false);
    m_pcPath.SetImageList(small);
    m_pcTree.SetImageList(small, TVSIL_NORMAL);
    m_pcList.SetImageList(small, LVSIL_SMALL);
    m_pcList.SetImageList(large, LVSIL_NORMAL);
    m_playerList.SetImageList(small, LVSIL_SMALL);
}

void CManagerDlg::LoadDragIcons()
{
    struct {
        CImageList* list;
        const char* file;
    } icons[] = {{&m_dragFile, "ICO_Drag1.ico"}, {&m_dragFolder, "ICO_Drag2.ico"}};
    for (auto& i : icons) {
        i.list->Create(16, 16, ILC_COLOR16 | ILC_MASK, 1, 1);
        HICON icon = mb::LoadIconFile(g_imagesFolder + i.file, 16, 16);
        if (icon) {
            i.list->AddIcon(icon);
            ::DestroyIcon(icon);
        }
    }
}

void CManagerDlg::ApplyTreeSetting()
{
    // CFG_TR 1: the PC tree starts hidden and the PC list takes its place.
    m_skin.SetTreeHidden(m_treeHiddenAtStart == 1);
    if (m_treeHiddenAtStart == 1) {
        RECT tree = GetChildRect(1003);
        RECT list = GetChildRect(1001);
        m_pcTree.ShowWindow(SW_HIDE);
        m_pcList.MoveWindow(RECT{tree.left, list.top, list.right, list.bottom});
    }
}
