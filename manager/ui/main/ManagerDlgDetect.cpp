// Player detection and its presence watch: finding the player's drives,
// connecting the window to them, keeping the backup of the player's settings
// file, and disconnecting the window when the player goes away.
#include "ManagerDlg.h"

#include <vector>

#include "DetectRules.h"
#include "ManagerGlobals.h"
#include "NoticeDlg.h"
#include "PlayerCalls.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"

namespace {
const char kSettingsFile[] = "SETTINGS.DAT";
}  // namespace

void CManagerDlg::FillMemoryRecord(int index, char letter)
{
    DRIVE_INFO& record = m_memories[index];
    record.Root = mb::Format("%c:\\", letter);
    SHFILEINFOA info = {};
    // The shell may not know a drive that just arrived: ask again, but not
    // forever; a drive it never knows keeps the icon -1 (none drawn).
    const int icon = detect::QueryIconBounded([&] {
        info = SHFILEINFOA{};
        if (!mb::GetFileInfo(record.Root, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON, info))
            return -1;
        return info.iIcon;
    });
    record.DisplayName = info.szDisplayName;
    record.Icon = record.SelectedIcon = OsLevel >= 2 ? icon : 7;
    QueryMemorySpace(index, nullptr, nullptr);
}

bool CManagerDlg::BackupSettingsFile()
{
    if (m_memories[0].Root.empty())
        return false;
    const std::string player = m_memories[0].Root + kSettingsFile;
    const std::string backup = g_programFolder + kSettingsFile;
    CPlayerCalls& calls = *m_playerCalls;
    const DWORD attributes = calls.GetFileAttributesA(player.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // The backup carries the player file's hidden, system and read-only
        // attributes, and CopyFile refuses to replace such a file: clear
        // them first, or the backup silently stays at an old preset table.
        const DWORD old = calls.GetFileAttributesA(backup.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                      FILE_ATTRIBUTE_SYSTEM)))
            calls.SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!calls.CopyFileA(player.c_str(), backup.c_str(), FALSE)) {
            ::OutputDebugStringA(
                mb::Format("MusicBridge: the backup of %s could not be refreshed (error %lu)\n", player.c_str(),
                           static_cast<unsigned long>(::GetLastError()))
                    .c_str());
            return false;
        }
        return true;
    }
    // Right after a format the player has none: give it the backup, never
    // over an existing file (there is nothing to give when no backup exists).
    return calls.CopyFileA(backup.c_str(), player.c_str(), TRUE) != 0;
}

void CManagerDlg::SetConnectedLook(bool connected)
{
    HWND button = GetDlgItem(1040);
    const std::string tip = mb::LoadText(connected ? IDS_DISCONNECT : IDS_CONNECT);
    if (button) {
        ::SetWindowTextA(button, tip.c_str());
        ::InvalidateRect(button, nullptr, TRUE);
        if (m_tooltip.m_hWnd)
            m_tooltip.UpdateTipText(button, tip);
    }
    if (HWND format = GetDlgItem(1115)) {
        ::EnableWindow(format, connected);
        ::InvalidateRect(format, nullptr, TRUE);
    }
    m_connectedLook = connected;
}

int CManagerDlg::DetectPlayer()
{
    m_memories[0].TotalBytes = m_memories[1].TotalBytes = 0;
    const unsigned long mask = m_playerCalls->FindPlayerDrives();
    if (mask == 0) {
        m_memories[0].Root.clear();
        m_memories[1].Root.clear();
        return MEMORY_NONE;
    }
    const detect::PlayerDrives drives = detect::TakePlayerDrives(mask);
    if (drives.Internal)
        FillMemoryRecord(0, drives.Internal);
    if (drives.External)
        FillMemoryRecord(1, drives.External);

    int result = MEMORY_NONE;
    if (m_memories[0].TotalBytes) {
        result = MEMORY_INTERNAL;
        m_settingsBackedUp = BackupSettingsFile();
    } else if (m_memories[1].TotalBytes) {
        result = MEMORY_EXTERNAL;
    } else {
        return MEMORY_NONE;
    }

    KillTimer(1);
    EnableWindow(false);
    HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    CNoticeDlg* notice = new CNoticeDlg;
    notice->SetText(mb::LoadText(IDS_CONNECTING), 0);
    notice->m_imagesFolder = g_imagesFolder;
    notice->SetSelfDeleting(true);
    if (!notice->Create(nullptr)) {
        delete notice;
        notice = nullptr;
    } else {
        notice->ShowWindow(SW_SHOW);
        notice->UpdateWindow();
    }
    for (UINT id : {1089u, 1090u, 1048u})
        if (m_skin.HasButton(id))
            m_skin.Button(id).SetState(CSkinButton::STATE_NORMAL);

    if (SelectMemory(result, 1)) {
        SetConnectedLook(true);
        m_pathEdit.EnableWindow(true);
        for (UINT id : {1086u, 1087u, 1088u, 1092u})
            if (m_skin.HasButton(id))
                m_skin.Button(id).SetState(CSkinButton::STATE_NORMAL);
    }
    // The notice closes itself as soon as messages flow again.
    if (notice)
        notice->SetTimer(2, 1);
    SetTimer(1, 1500);
    EnableWindow(true);
    ::SetCursor(previous ? previous : ::LoadCursor(nullptr, IDC_ARROW));
    UpdateSpaceInfo(0);
    RedrawNow();
    m_recentPaths.SetCurSel(0);
    return result;
}

int CManagerDlg::OnPlayerRemoved(int memory)
{
    if (memory == MEMORY_EXTERNAL) {
        if (m_currentMemory == MEMORY_INTERNAL)
            return 0;
        if (m_currentMemory == MEMORY_EXTERNAL) {
            // Only the card went away: the internal memory may still be there.
            const int fellBack = SelectMemory(MEMORY_INTERNAL, 0);
            if (fellBack)
                return fellBack;
        }
    }
    m_pathEdit.EnableWindow(false);
    if (HWND format = GetDlgItem(1115)) {
        ::EnableWindow(format, false);
        ::InvalidateRect(format, nullptr, TRUE);
    }
    for (UINT id : {1086u, 1087u, 1088u, 1092u, 1089u, 1090u})
        if (m_skin.HasButton(id))
            m_skin.Button(id).SetState(CSkinButton::STATE_DISABLED);
    if (m_skin.HasButton(1048)) {
        if (m_skin.Button(1048).GetState() == CSkinButton::STATE_SELECTED)
            SetViewMode(PANE_PC_LIST);
        m_skin.Button(1048).SetState(CSkinButton::STATE_DISABLED);
    }
    m_currentMemory = MEMORY_NONE;
    m_playerList.DeleteAllItems();
    ClearPlayerTree();
    // The next directory read must not start from the memory that went away.
    TheSysCtrl().SetNewMedia();
    UpdateSpaceInfo(1);
    SetConnectedLook(false);
    m_scratch.clear();
    m_pathEdit.SetText("");
    m_recentPaths.SetCurSel(0);
    m_memories[0].Root.clear();
    m_memories[1].Root.clear();
    // The FM preset dialog (Korean or English) and the playlist maker work on
    // the player that went away.
    CloseWindowsOfPlayer(true);
    return 0;
}

void CManagerDlg::CloseWindowsOfPlayer(bool fmPresets)
{
    // Every top-level dialog of the title, gathered before any is closed.
    auto windows = [](const wchar_t* title) {
        std::vector<HWND> found;
        for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", title)) != nullptr;)
            found.push_back(w);
        return found;
    };
    // The FM preset dialog is this program's own: a dialog of that title in
    // another program is not ours to close.
    if (fmPresets) {
        for (const wchar_t* title : {L"FM \xD504\xB9AC\xC14B", L"FM Preset"}) {
            for (HWND w : windows(title)) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (pid == ::GetCurrentProcessId())
                    ::SendMessageW(w, WM_CLOSE, 0, 0);
            }
        }
    }
    // The playlist maker is a program of its own: it is asked to close by a
    // posted message, never a sent one, so that a playlist maker that does
    // not answer never stops this window from answering.
    for (HWND w : windows(L"ListForge"))
        ::PostMessageW(w, WM_CLOSE, 0, 0);
}

void CManagerDlg::OnConnectDisconnect()
{
    if (m_currentMemory == MEMORY_NONE) {
        m_currentMemory = DetectPlayer();
        return;
    }
    OnPlayerRemoved(MEMORY_INTERNAL);
    KillTimer(1);
}

char CManagerDlg::RemovedMemoryLetter() const
{
    // The memory that stopped answering is the one to release; the internal
    // memory's letter when the shown one has no root.
    const int shown = m_currentMemory == MEMORY_EXTERNAL ? 1 : 0;
    if (!m_memories[shown].Root.empty())
        return m_memories[shown].Root[0];
    return m_memories[0].Root.empty() ? 0 : m_memories[0].Root[0];
}
