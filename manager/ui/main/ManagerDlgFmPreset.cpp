// The FM preset button: the "FM Preset" dialog on the internal memory.
#include "ManagerDlg.h"

#include "FmPresetDlg.h"
#include "ManagerGlobals.h"
#include "StringIds.h"
#include "Text.h"

void CManagerDlg::OpenFmPresets()
{
    const std::string root = m_memories[MEMORY_INTERNAL].Root;
    if (root.empty()) {
        m_message = mb::LoadText(IDS_FM_NO_PLAYER);
        ShowMessage(m_message);
    } else {
        CFmPresetDlg dlg(m_hWnd, root);
        dlg.m_programFolder = g_programFolder;
        dlg.m_koreanFlag = g_koreanFlag;
        dlg.m_osLevel = OsLevel;
        if (CFileUtil::FileExists(dlg.SettingsPath())) {
            dlg.DoModal();
        } else {
            m_message = mb::LoadText(IDS_FM_RECONNECT);
            ShowMessage(m_message);
        }
    }
    m_skin.Button(1091).SetState(CSkinButton::STATE_NORMAL);
    RedrawNow();
}
