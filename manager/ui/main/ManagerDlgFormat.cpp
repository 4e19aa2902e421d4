// Formatting a memory: the new label, the format dialog that starts the
// outside tool, and the watch on the tool until the format has ended.
#include "ManagerDlg.h"

#include "FormatDlg.h"
#include "ManagerGlobals.h"
#include "StringIds.h"
#include "Text.h"
#include "fileutil/FileText.h"
#include "fileutil/WindowsCodePage.h"

bool CManagerDlg::FormatMemory(int memory)
{
    if (m_runningOperation != OP_NONE) {
        ShowMessage(mb::LoadText(IDS_TRANSFER_BUSY));
        return false;
    }
    // One format at a time: the memory of a running one is not there yet.
    if ((memory != MEMORY_INTERNAL && memory != MEMORY_EXTERNAL) || m_formatTool) return false;
    std::string label;
    if (!AskVolumeLabel(GetVolumeLabel(memory), label)) {
        RedrawNow();
        m_recentPaths.SetCurSel(0);
        return false;
    }
    // The tool locks the memory as soon as it runs, while its start is still
    // awaited here: a presence tick then would find the memory unreachable
    // and release it as pulled. The watch stops before the start.
    KillTimer(1);
    CFormatDlg dlg(m_hWnd);
    dlg.SetParams(m_memories[memory].Root, label, m_hWnd, memory);
    dlg.m_osLevel = OsLevel;
    dlg.m_programFolder = g_programFolder;
    dlg.DoModal();
    RedrawNow();
    m_recentPaths.SetCurSel(0);
    const LONG result = dlg.m_result;
    if (result != FORMAT_START_STARTED) SetTimer(1, 1500);
    if (result == FORMAT_START_FAILED || result == FORMAT_START_FAILED_AFTER_CANCEL) {
        ShowMessage(mb::LoadText(IDS_NO_FORMATTER));
        return false;
    }
    if (result != FORMAT_START_STARTED) return true;
    // The tool now owns the memory: no presence tick and no command may touch
    // it until the tool has ended.
    m_formatTool = dlg.TakeProcess();
    m_formatMemory = memory;
    m_formatLabel = CFileText(CWindowsCodePage()).CutToBytes(label, 11);
    EnableWindow(false);
    if (m_formatTool)
        SetTimer(14, 200);
    else
        FinishFormat();  // the shell gave no process to watch: counted as ended
    return true;
}

void CManagerDlg::OnFormatToolWatch()
{
    DWORD code = STILL_ACTIVE;
    if (m_formatTool && ::GetExitCodeProcess(m_formatTool, &code) && code == STILL_ACTIVE) return;
    FinishFormat();
}

void CManagerDlg::FinishFormat()
{
    KillTimer(14);
    m_formatToolExit = 0;
    if (m_formatTool) {
        ::GetExitCodeProcess(m_formatTool, &m_formatToolExit);
        ::CloseHandle(m_formatTool);
        m_formatTool = nullptr;
    }
    // The memory's geometry may have changed: the next order write must read
    // it again.
    TheSysCtrl().SetNewMedia();
    const int memory = m_formatMemory;
    m_formatMemory = MEMORY_NONE;
    const std::string root = (memory == MEMORY_INTERNAL || memory == MEMORY_EXTERNAL) ? m_memories[memory].Root : "";
    if (m_formatToolExit != 0) {
        ShowMessage(mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(),
                               mb::Format("THE FORMAT TOOL FAILED (EXIT CODE %lu).", m_formatToolExit).c_str()));
    } else if (!root.empty()) {
        if (!m_formatLabel.empty()) {
            m_appliedLabel = m_formatLabel;
            m_labelApplied = ::SetVolumeLabelA(root.c_str(), m_formatLabel.c_str()) != 0;
        }
        // The emptied internal memory gets the player's settings back from
        // the program folder's copy, as when the player is connected (never
        // over a file that is there).
        if (memory == MEMORY_INTERNAL)
            BackupSettingsFile();
    }
    if (!root.empty() && memory == m_currentMemory) {
        TheSysCtrl().InitDirectory(root.c_str());
        RebuildPlayerTree(m_memories[memory], "");
        FillPlayerList();
        UpdateSpaceInfo(1);
    }
    ++m_formatsFinished;
    EnableWindow(true);
    ::SetForegroundWindow(m_hWnd);
    SetTimer(1, 1500);
}
