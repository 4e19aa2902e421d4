// Entry points that later concerns of the window fill: each does nothing
// visible yet (README.md lists which concern replaces which). Those that
// must return something return the "nothing there" answer.
#include "ManagerDlg.h"

#include "StringIds.h"
#include "Text.h"

// Player detection and presence (no player is ever found yet).
int CManagerDlg::DetectPlayer() { return MEMORY_NONE; }
int CManagerDlg::OnPlayerRemoved(int) { return 0; }
int CManagerDlg::SelectMemory(int, int) { return 0; }
unsigned long CManagerDlg::GetMemorySpace(int, unsigned long long* freeBytes, unsigned long long* totalBytes)
{
    if (freeBytes)
        *freeBytes = 0;
    if (totalBytes)
        *totalBytes = 0;
    return 0;
}
void CManagerDlg::EjectMedia9x(char, bool) {}
void CManagerDlg::EjectMediaNT(char, bool) {}

// Player pane.
void CManagerDlg::UpdateSpaceInfo(int) {}
void CManagerDlg::FillPlayerList() {}
int CManagerDlg::AddPlayerListItem(int index, const std::string& name) { return m_playerList.InsertItem(index, name); }
HTREEITEM CManagerDlg::InsertPlayerTreeItem(const std::string& name, HTREEITEM parent)
{
    return m_playerTree.InsertItem(name, parent ? parent : TVI_ROOT);
}
std::string CManagerDlg::GetPlayerFolderPath() { return std::string(); }
void CManagerDlg::InitPlayerListColumns() {}
void CManagerDlg::ShowVolumeLabel() {}
void CManagerDlg::DeleteOnPlayer() {}

// PC pane.
std::string CManagerDlg::GetPcFolderPath() { return std::string(); }
void CManagerDlg::InitPcListColumns() {}
void CManagerDlg::InitPathBoxAndDriveTree() { LoadSaveRecentPaths("read"); }
bool CManagerDlg::ShowPcTreeSelection() { return true; }
void CManagerDlg::ReopenPcFolder() {}
void CManagerDlg::OpenSelectedPcItem() {}
void CManagerDlg::DeletePcSelection() {}
void CManagerDlg::DeletePcTreeFolder() {}

// Download list and transfers. The columns are the download list's five
// (the list control class replaces this).
void CManagerDlg::InitDownloadListColumns()
{
    const char* titles[] = {"No.", "Name", "Size", "Status", "Path"};
    const int widths[] = {40, 200, 60, 50, 0};
    for (CListCtrl* list : {&m_downloadList, &m_downloadTwin}) {
        if (!list->m_hWnd || list->GetColumnWidth(0) > 0)
            continue;
        list->SetExtendedStyle(LVS_EX_FULLROWSELECT);
        for (int i = 0; i < 5; ++i)
            list->InsertColumn(i, titles[i], widths[i], i == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
}
void CManagerDlg::UpdateTransferProgress(const TRANSFER_STATUS&) {}
void CManagerDlg::StartDownload(const std::vector<std::string>&, HTREEITEM, int) {}
void CManagerDlg::StartDownloadList() {}
void CManagerDlg::StartUpload(int) {}
void CManagerDlg::DeleteDownloadListSelection() {}
void CManagerDlg::MoveDownloadListRows(bool) {}
void CManagerDlg::OpenListFile() {}
void CManagerDlg::SaveListAsM3u() {}

// Commands, filters and dialogs.
void CManagerDlg::ShowMusicFiles() {}
void CManagerDlg::ShowVoiceFiles() {}
void CManagerDlg::ShowAllFiles() {}
void CManagerDlg::UpFolder() {}
void CManagerDlg::CycleViews() {}
void CManagerDlg::TogglePcTree() {}
void CManagerDlg::RunConfiguration() {}
void CManagerDlg::StartPlaylistMaker() {}
// The About box (its dialog comes with the small dialogs); counted so that
// the entries that open it can be checked.
void CManagerDlg::ShowAboutBox() { ++m_aboutShown; }
