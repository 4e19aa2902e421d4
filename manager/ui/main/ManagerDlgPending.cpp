// Entry points that later concerns of the window fill: each does nothing
// visible yet (README.md lists which concern replaces which). Those that
// must return something return the "nothing there" answer.
#include "ManagerDlg.h"

#include "StringIds.h"
#include "Text.h"

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

// Commands, filters and dialogs.
void CManagerDlg::OpenFmPresets() {}
void CManagerDlg::RunTestPanel() {}

// placeholder from cmds
int CManagerDlg::CollectSelection(int, TRANSFER_LIST&, HTREEITEM) { return 0; }
int CManagerDlg::PastePc(const std::string&, bool) { return 0; }
void CManagerDlg::NewPcFolder(bool, HTREEITEM) {}
bool CManagerDlg::FormatMemory(int) { return false; }
void CManagerDlg::OpenPlayerItem() {}
void CManagerDlg::ReorderDownloadListByDrop(int targetRow) { ReorderDownloadRows(targetRow); }
// The PC list's view kind (1 drives, 2 a folder's files, 3 shell names).
int CManagerDlg::PcListViewKind() { return 2; }
// The folder of a PC tree item (the PC tree control's GetItemPath).
std::string CManagerDlg::PcTreeItemPath(HTREEITEM) { return std::string(); }
// The configuration dialog: its result mask.
int CManagerDlg::RunConfigDialog(const std::string&, const std::string&) { return 0; }
// placeholder from xfer
// The PC pane's path of a tree item (its CPcFolderTree::GetItemPath).
std::string CManagerDlg::GetPcTreeItemPath(HTREEITEM) { return std::string(); }
