// The "Test" button's panel: the PC list's files handed to the test panel,
// and the views refreshed by what its runs touched.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"
#include "TestPanelDlg.h"

void CManagerDlg::RunTestPanel()
{
    std::vector<std::string> names, sizes;
    for (int row = 0; row < m_pcList.GetItemCount(); ++row) {
        const std::string size = m_pcList.GetItemText(row, 1);
        if (size.empty())
            continue;
        names.push_back(m_pcList.GetItemText(row, 0));
        sizes.push_back(size);
    }
    std::string source = GetPcFolderPath();
    if (!source.empty() && source.back() != '\\')
        source += '\\';
    CTestPanelDlg panel(m_hWnd);
    panel.m_imagesFolder = g_imagesFolder;
    std::string target;
    if (m_currentMemory == MEMORY_INTERNAL || m_currentMemory == MEMORY_EXTERNAL) {
        target = m_memories[m_currentMemory].Root;
        if (!target.empty() && target.back() != '\\')
            target += '\\';
        panel.SetSelection(source, &names, &sizes, m_currentMemory, target);
    } else {
        panel.SetSelection2(source, &names, &sizes);
    }
    panel.DoModal();
    if (panel.m_flags & CTestPanelDlg::FLAG_PLAYER) {
        FillPlayerList();
        UpdateSpaceInfo(1);
    }
    if (panel.m_flags & CTestPanelDlg::FLAG_PC)
        ReopenPcFolder();
    if (!target.empty())
        TheSysCtrl().InitDirectory(target.c_str());
}
