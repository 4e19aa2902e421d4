// The configuration run: the dialog for the memories that answer, then what
// its result mask says changed.
#include "ManagerDlg.h"

#include "ConfigDlg.h"
#include "ManagerGlobals.h"
#include "ManagerSettings.h"

void CManagerDlg::RunConfiguration()
{
    const std::string internal = GetMemorySpace(MEMORY_INTERNAL, nullptr, nullptr) ? m_memories[0].Root : "";
    const std::string external = GetMemorySpace(MEMORY_EXTERNAL, nullptr, nullptr) ? m_memories[1].Root : "";
    KillTimer(1);
    CConfigDlg dlg(m_hWnd, internal, external, 0);
    dlg.m_osLevel = OsLevel;
    dlg.m_programFolder = g_programFolder;
    dlg.DoModal();
    m_configResult = dlg.m_result;
    const int mask = dlg.m_result;
    if (mask & CONFIG_FORMATTED) {
        // A new file system: the next order write must read its geometry.
        TheSysCtrl().SetNewMedia();
        SelectMemory(m_currentMemory, 1);
        FillPlayerList();
        UpdateSpaceInfo(1);
    } else if (((mask & CONFIG_INT_LABEL) && m_currentMemory == MEMORY_INTERNAL) ||
               ((mask & CONFIG_EXT_LABEL) && m_currentMemory == MEMORY_EXTERNAL)) {
        char label[MAX_PATH + 1] = {};
        const std::string& root = m_memories[m_currentMemory].Root;
        if (::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
            if (HTREEITEM item = m_playerTree.GetRootItem()) m_playerTree.SetItemText(item, label);
        }
    }
    if (mask & (CONFIG_DL_CHANGED | CONFIG_TR_CHANGED)) {
        const CManagerSettings::Values values = CManagerSettings::Read();
        m_removeCompleted = int(values.cfgDl);
        m_treeHiddenAtStart = int(values.cfgTr);
        ApplyTreeSetting();
    }
    RedrawNow();
    m_pcPath.SetCurSel(0);
    SetTimer(1, 1500);
}
