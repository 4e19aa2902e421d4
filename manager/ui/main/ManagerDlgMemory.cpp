// The player's two memories: their size and free space, switching the player
// pane between them, and their volume labels.
#include "ManagerDlg.h"

#include "DetectRules.h"
#include "ManagerGlobals.h"
#include "PlayerCalls.h"
#include "StringIds.h"
#include "Text.h"

unsigned long CManagerDlg::QueryMemorySpace(int memory, unsigned long long* freeBytes,
                                            unsigned long long* totalBytes)
{
    m_message.clear();
    if (freeBytes)
        *freeBytes = 0;
    if (totalBytes)
        *totalBytes = 0;
    if (memory != MEMORY_INTERNAL && memory != MEMORY_EXTERNAL) {
        m_message = mb::LoadText(IDS_NOT_COMMUNICATING);
        return 0;
    }
    DRIVE_INFO& record = m_memories[memory];
    if (record.Root.empty() && memory == MEMORY_EXTERNAL && !m_memories[0].Root.empty()) {
        // The card shows up on the letter after the internal memory's, but a
        // drive there that is not the player's (a user's own stick) must
        // never be listed, relabelled or formatted as the card.
        const bool ntLine = OsLevel >= 2;
        const char letter = detect::ExternalMemoryLetter(
            m_memories[0].Root[0], [&](char l) { return m_playerCalls->IsPlayerDrive(l, ntLine); });
        if (letter)
            record.Root = mb::Format("%c:\\", letter);
    }
    if (record.Root.empty()) {
        m_message = mb::LoadText(IDS_NOT_COMMUNICATING);
        return 0;
    }
    ULARGE_INTEGER available = {}, total = {}, all = {};
    if (!::GetDiskFreeSpaceExA(record.Root.c_str(), &available, &total, &all)) {
        available.QuadPart = 0;
        total.QuadPart = 0;
    }
    record.FreeBytes = available.QuadPart;
    record.TotalBytes = total.QuadPart;
    if (freeBytes)
        *freeBytes = record.FreeBytes;
    if (totalBytes)
        *totalBytes = record.TotalBytes;
    return detect::SaturateToLow32(record.TotalBytes);
}

unsigned long CManagerDlg::GetMemorySpace(int memory, unsigned long long* freeBytes, unsigned long long* totalBytes)
{
    m_message.clear();
    if (memory != MEMORY_INTERNAL && memory != MEMORY_EXTERNAL) {
        if (freeBytes)
            *freeBytes = 0;
        if (totalBytes)
            *totalBytes = 0;
        m_message = mb::LoadText(IDS_NOT_COMMUNICATING);
        return 0;
    }
    const unsigned long total = QueryMemorySpace(memory, freeBytes, totalBytes);
    if (total == 0 && m_message.empty())
        m_message = mb::LoadText(IDS_NOT_COMMUNICATING);
    return total;
}

void CManagerDlg::SetMemoryButtons(bool internalSelected)
{
    if (m_skin.HasButton(1089))
        m_skin.Button(1089).SetState(internalSelected ? CSkinButton::STATE_SELECTED : CSkinButton::STATE_NORMAL);
    if (m_skin.HasButton(1090))
        m_skin.Button(1090).SetState(internalSelected ? CSkinButton::STATE_NORMAL : CSkinButton::STATE_SELECTED);
}

int CManagerDlg::SelectMemory(int memory, int showMessages)
{
    if (memory != MEMORY_INTERNAL && memory != MEMORY_EXTERNAL)
        return 1;
    if (m_runningOperation != OP_NONE) {
        if (showMessages)
            ShowMessage(mb::LoadText(IDS_TRANSFER_PROHIBITED));
        return 0;
    }
    KillTimer(1);
    const int result = SelectMemoryWork(memory, showMessages);
    SetTimer(1, 1500);
    return result;
}

int CManagerDlg::SelectMemoryWork(int memory, int showMessages)
{
    if (memory == MEMORY_INTERNAL) {
        if (!GetMemorySpace(MEMORY_INTERNAL, nullptr, nullptr)) {
            if (showMessages)
                ShowMessage(mb::LoadText(IDS_NO_INTERNAL_MEMORY));
            return 0;
        }
        m_currentMemory = MEMORY_INTERNAL;
        m_fileKindFilter = detect::FileKindFilter(MEMORY_INTERNAL, m_fileFilter);
        SetMemoryButtons(true);
        // Every change of memory starts the directory object afresh.
        TheSysCtrl().SetNewMedia();
        RebuildPlayerTree(m_memories[MEMORY_INTERNAL], std::string());
        return 1;
    }

    SetMemoryButtons(false);
    if (GetMemorySpace(MEMORY_EXTERNAL, nullptr, nullptr)) {
        m_currentMemory = MEMORY_EXTERNAL;
        m_fileKindFilter = detect::FileKindFilter(MEMORY_EXTERNAL, m_fileFilter);
        TheSysCtrl().SetNewMedia();
        RebuildPlayerTree(m_memories[MEMORY_EXTERNAL], std::string());
        return 1;
    }
    if (showMessages)
        ShowMessage(mb::LoadText(IDS_NO_EXTERNAL_MEMORY));
    if (m_currentMemory == MEMORY_INTERNAL) {
        SetMemoryButtons(true);
    } else if (GetMemorySpace(MEMORY_INTERNAL, nullptr, nullptr)) {
        m_currentMemory = MEMORY_INTERNAL;
        m_fileKindFilter = detect::FileKindFilter(MEMORY_INTERNAL, m_fileFilter);
        SetMemoryButtons(true);
        CQV_SysCtrl& directory = TheSysCtrl();
        directory.SetNewMedia();
        const QV_RESULT result = directory.InitDirectory(m_memories[MEMORY_INTERNAL].Root.c_str());
        if (result == QV_FAT_UNSTABLE) {
            char name[256] = {};
            directory.GetErrorCode(result, name);
            ShowMessage(mb::LoadText(IDS_FAT_UNSTABLE) + "\r\n\r\nError code: " + name);
        }
        RebuildPlayerTree(m_memories[MEMORY_INTERNAL], std::string());
        FillPlayerList();
        UpdateSpaceInfo(1);
    } else {
        m_currentMemory = MEMORY_NONE;
        for (UINT id : {1089u, 1090u})
            if (m_skin.HasButton(id))
                m_skin.Button(id).SetState(CSkinButton::STATE_DISABLED);
        if (m_skin.HasButton(1048) && m_skin.Button(1048).GetState() == CSkinButton::STATE_SELECTED)
            SetViewMode(PANE_PC_LIST);
        if (m_skin.HasButton(1048))
            m_skin.Button(1048).SetState(CSkinButton::STATE_DISABLED);
        ClearPlayerTree();
        m_playerList.DeleteAllItems();
        TheSysCtrl().SetNewMedia();
        UpdateSpaceInfo(1);
    }
    return 0;
}

std::string CManagerDlg::GetVolumeLabel(int memory)
{
    // An empty root would name the current drive.
    if ((memory != MEMORY_INTERNAL && memory != MEMORY_EXTERNAL) || m_memories[memory].Root.empty())
        return std::string();
    char name[256] = {};
    if (!::GetVolumeInformationA(m_memories[memory].Root.c_str(), name, sizeof name, nullptr, nullptr, nullptr,
                                 nullptr, 0))
        return std::string();
    name[sizeof name - 1] = 0;
    return name;
}

void CManagerDlg::ShowVolumeLabel(int memory)
{
    if (memory != m_currentMemory || !m_playerTree.m_hWnd)
        return;
    if (HTREEITEM root = m_playerTree.GetRootItem())
        m_playerTree.SetItemText(root, GetVolumeLabel(memory));
}
