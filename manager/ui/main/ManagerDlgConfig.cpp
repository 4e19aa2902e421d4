// The configuration dialog started from the window.
#include "ManagerDlg.h"

#include "ConfigDlg.h"
#include "ManagerGlobals.h"
#include "ManagerSettings.h"

// The configuration dialog for the memories that answer; its result mask.
// A memory the dialog formatted has a new file system: the next order write
// must read its geometry again.
int CManagerDlg::RunConfigDialog(const std::string& internalRoot, const std::string& externalRoot)
{
    CConfigDlg dlg(m_hWnd, internalRoot, externalRoot, 0);
    dlg.m_osLevel = OsLevel;
    dlg.m_programFolder = g_programFolder;
    dlg.DoModal();
    m_configResult = dlg.m_result;
    if (dlg.m_result & CONFIG_FORMATTED)
        TheSysCtrl().SetNewMedia();
    return dlg.m_result;
}
