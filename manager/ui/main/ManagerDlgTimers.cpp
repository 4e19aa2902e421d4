// The main dialog's timers, the start-up list thread and the settle thread
// that waits for the player after a transfer.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"
#include "QvMp3.h"
#include "SettingsRules.h"
#include "StringIds.h"
#include "Text.h"

namespace {
// The caption of the program's message boxes; the do-not-unplug notice is one.
const char kMessageCaption[] = "MusicBridge";
}

void CManagerDlg::OnTimer(UINT_PTR id)
{
    switch (id) {
    case 1:
        OnPresenceTick();
        AnimateBanner();
        break;
    case 3: {
        DWORD code = STILL_ACTIVE;
        if (m_startedProgram && ::GetExitCodeProcess(m_startedProgram, &code) && code == STILL_ACTIVE)
            break;
        KillTimer(3);
        if (m_startedProgram)
            ::CloseHandle(m_startedProgram);
        m_startedProgram = nullptr;
        ::SetForegroundWindow(m_hWnd);
        EnableWindow(true);
        SetTimer(1, 1500);
        break;
    }
    case 4:
        OnTransferWatch();
        break;
    case 6: {
        KillTimer(6);
        CWaitCursor wait;
        EnableWindow(false);
        ShowPcTreeSelection();
        EnableWindow(true);
        break;
    }
    case 7:
        m_currentMemory = DetectPlayer();
        SetItemText(1199, mb::Format("%d", ++m_conRepCount));
        break;
    case 10:
        KillTimer(10);
        OnPlayerFolderTimer();
        break;
    case 12:
        KillTimer(12);
        UpdateSpaceInfo(1);
        break;
    case 13:
        KillTimer(13);
        UpdateSpaceInfo(0);
        break;
    case 14:
        OnFormatToolWatch();
        break;
    case 20:
        if (m_memories[0].Root.empty()) {
            KillTimer(20);
            CloseWindowsOfPlayer(false);
        }
        break;
    }
}

void CManagerDlg::OnPresenceTick()
{
    // The start-up lists come first: detection fills panes that must exist.
    if (m_listsNotReady)
        return;
    if (m_currentMemory == MEMORY_NONE) {
        m_currentMemory = DetectPlayer();
        if (m_currentMemory != MEMORY_NONE)
            TheSysCtrl().SetNewMedia();
        return;
    }
    unsigned long long freeBytes = 0, totalBytes = 0;
    if (GetMemorySpace(m_currentMemory, &freeBytes, &totalBytes) != 0)
        return;
    KillTimer(1);
    // Release the memory that went away (the card's letter when only the
    // card was pulled), not always the internal memory's.
    const char letter = RemovedMemoryLetter();
    if (OsLevel >= settings::OS_2000)
        EjectMediaNT(letter, false);
    else
        EjectMedia9x(letter, false);
    ::Sleep(500);
    OnPlayerRemoved(m_currentMemory);
    SetTimer(1, 1500);
}

void CManagerDlg::OnTransferWatch()
{
    TRANSFER_STATUS status;
    if (m_engine.GetStatus(&status)) {
        UpdateTransferProgress(status);
        return;
    }
    KillTimer(4);
    StartSettleThread();
    if (status.State == TRANSFER_NO_ANSWER)
        OnPlayerRemoved(m_currentMemory);

    if (m_runningOperation == OP_DOWNLOAD_LIST) {
        const std::string complete = mb::LoadText(IDS_STATUS_COMPLETE);
        for (CListCtrl* list : {&m_downloadList, &m_downloadTwin})
            for (int row = 0; row < list->GetItemCount(); ++row)
                if (list->GetItemText(row, 3) != complete)
                    list->SetItemText(row, 3, "");
        if (m_removeCompleted) {
            for (int row = m_downloadList.GetItemCount() - 1; row >= 0; --row) {
                if (m_downloadList.GetItemText(row, 3) != complete)
                    continue;
                // The hidden twin holds every entry in its own order: its row
                // is the one of the same name, not the one of the same index.
                const std::string name = m_downloadList.GetItemText(row, 1);
                for (int twin = m_downloadTwin.GetItemCount() - 1; twin >= 0; --twin) {
                    if (::lstrcmpiA(m_downloadTwin.GetItemText(twin, 1).c_str(), name.c_str()) == 0) {
                        m_downloadTwin.DeleteItem(twin);
                        break;
                    }
                }
                m_downloadList.DeleteItem(row);
                for (CListCtrl* list : {&m_downloadList, &m_downloadTwin})
                    for (int i = 0; i < list->GetItemCount(); ++i)
                        list->SetItemText(i, 0, mb::Format("%03d", i + 1));
            }
        }
    }
    if (m_rowsAdded) {
        if (status.State == TRANSFER_DOWNLOAD_DONE && m_playerList.GetItemCount() > 0)
            m_playerList.EnsureVisible(m_playerList.GetItemCount() - 1);
        else if (status.State == TRANSFER_UPLOAD_DONE && m_pcList.GetItemCount() > 0)
            m_pcList.EnsureVisible(m_pcList.GetItemCount() - 1);
        m_rowsAdded = false;
    }
}

void CManagerDlg::OnPlayerFolderTimer()
{
    HTREEITEM item = m_playerTree.GetSelectedItem();
    m_playerItem = item;
    if (!item)
        return;
    std::string path = GetPlayerFolderPath();
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_playerTree.DeleteItem(item);
        return;
    }
    QV_RESULT result = TheSysCtrl().InitDirectory(settings::WithBackslash(path).c_str());
    if (result == QV_FAT_UNSTABLE) {
        char code[256] = {};
        TheSysCtrl().GetErrorCode(result, code);
        m_message = mb::LoadText(IDS_FAT_UNSTABLE) + "\r\n\r\nError code: " + code;
        ShowMessage(m_message);
    }
    FillPlayerList();
    UpdateSpaceInfo(1);
}

void CManagerDlg::InitListsWork()
{
    // The shell's image lists come first: asking for them the first time
    // fills the shell's icon cache, which is slow, and is done here rather
    // than before the window shows.
    AttachSystemImageLists();
    InitPlayerListColumns();
    InitPcListColumns();
    InitDownloadListColumns();
    InitPathBoxAndDriveTree();
}

DWORD WINAPI CManagerDlg::InitListsThread(void* dialog)
{
    auto* self = static_cast<CManagerDlg*>(dialog);
    // The dialog is disabled while the thread works on its controls (every
    // call is a message the user-interface thread answers). A timer belongs
    // to the thread of its window, so arming timer 12 and enabling the
    // dialog again are the user-interface thread's, on WM_LISTS_READY.
    self->InitListsWork();
    ::InterlockedExchange(&self->m_listsNotReady, 0);
    ::PostMessageW(self->m_listsWindow, WM_LISTS_READY, 0, 0);
    return 1;
}

void CManagerDlg::OnListsReady()
{
    SetTimer(12, 4000);
    EnableWindow(true);
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}

bool CManagerDlg::StartSettleThread()
{
    // One settle at a time: a finished one is forgotten first.
    if (m_settleThread && ::WaitForSingleObject(m_settleThread, 0) == WAIT_OBJECT_0) {
        ::CloseHandle(m_settleThread);
        m_settleThread = nullptr;
    }
    if (m_settleThread)
        return false;
    m_settleThread = mb::BeginThread(&CManagerDlg::PlayerSettleThread, this);
    return m_settleThread != nullptr;
}

DWORD WINAPI CManagerDlg::PlayerSettleThread(void* dialog)
{
    auto* self = static_cast<CManagerDlg*>(dialog);
    const short level = self->OsLevel;
    const HWND window = self->m_hWnd;
    try {
        if (QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL)) {
            _USER_DATA record{};
            QvMp3GetStatus(&record);
            for (int i = 0; i < 30 && record.Ready == 0; ++i) {
                ::Sleep(level >= settings::OS_2000 ? 100 : 500);
                QvMp3GetStatus(&record);
            }
            QvMp3CloseDriver();
        } else {
            QvMp3CloseDriver();
            ::Sleep(level <= settings::OS_ME ? 3000 : level == settings::OS_2000 ? 1500 : 500);
        }
    } catch (...) {
    }
    // The rest touches windows: the user-interface thread does it.
    ::PostMessageW(window, WM_PLAYER_SETTLED, 0, 0);
    return 3;
}

void CManagerDlg::OnPlayerSettled()
{
    m_settleUiThread = ::GetCurrentThreadId();
    m_runningOperation = OP_NONE;
    m_progress.SetPos(0, 0);
    // Only our own do-not-unplug notice: a box of that caption in another
    // program is not ours to close.
    HWND box = nullptr;
    while ((box = ::FindWindowExA(nullptr, box, "#32770", kMessageCaption)) != nullptr) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(box, &pid);
        if (pid == ::GetCurrentProcessId()) {
            ::SendMessageW(box, WM_CLOSE, 0, 0);
            break;
        }
    }
    SetTimer(1, 1500);
}
