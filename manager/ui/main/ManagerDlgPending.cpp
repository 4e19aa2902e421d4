// Entry points that later concerns of the window fill: each does nothing
// visible yet (README.md lists which concern replaces which). Those that
// must return something return the "nothing there" answer.
#include "ManagerDlg.h"

#include "StringIds.h"
#include "Text.h"



// Commands, filters and dialogs.

// placeholder from cmds
void CManagerDlg::ReorderDownloadListByDrop(int targetRow) { ReorderDownloadRows(targetRow); }
// The PC list's view kind (1 drives, 2 a folder's files, 3 shell names).
int CManagerDlg::PcListViewKind() { return m_pcListKind; }
// The folder of a PC tree item (the PC tree control's GetItemPath).
std::string CManagerDlg::PcTreeItemPath(HTREEITEM item) { return GetPcTreeItemPath(item); }



