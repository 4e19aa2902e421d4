// Deleting on the player (with the settle poll that follows), opening a row
// of the player list and the player list's columns.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"
#include "NoticeDlg.h"
#include "QvMp3.h"
#include "SettingsRules.h"
#include "StringIds.h"
#include "Text.h"

namespace {
bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Lets the window handle one pending message, so that the list redraws and
// the Cancel button is heard while rows are deleted.
void PumpOneMessage()
{
    MSG msg;
    if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// The please-wait notice shown while rows are deleted and the player
// settles: modeless, owning itself; null when it could not be made.
CNoticeDlg* OpenDeleteNotice()
{
    CNoticeDlg* notice = new CNoticeDlg;
    notice->SetText(mb::LoadText(IDS_DELETING), 0);
    notice->m_imagesFolder = g_imagesFolder;
    notice->SetSelfDeleting(true);
    if (!notice->Create(nullptr)) {
        delete notice;
        return nullptr;
    }
    notice->ShowWindow(SW_SHOW);
    notice->UpdateWindow();
    return notice;
}
}  // namespace

std::string CManagerDlg::ShownPlayerFolder()
{
    std::string folder = GetPlayerFolderPath();
    // No tree item shown yet: the memory's root is what the list shows.
    if (folder.empty() && m_currentMemory != MEMORY_NONE) folder = m_memories[m_currentMemory].Root;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

HTREEITEM CManagerDlg::FindPlayerTreeChild(HTREEITEM parent, const std::string& name)
{
    if (!parent) return nullptr;
    for (HTREEITEM child = m_playerTree.GetChildItem(parent); child; child = m_playerTree.GetNextSiblingItem(child))
        if (::lstrcmpiA(m_playerTree.GetItemText(child).c_str(), name.c_str()) == 0) return child;
    return nullptr;
}

void CManagerDlg::DeleteOnPlayer()
{
    if (m_runningOperation != OP_NONE) {
        ShowMessage(mb::LoadText(IDS_TRANSFER_BUSY));
        return;
    }
    if (!GetMemorySpace(m_currentMemory, nullptr, nullptr)) {
        if (!m_message.empty()) ShowMessage(m_message);
        return;
    }
    if (m_currentMemory == MEMORY_NONE) return;
    const int count = int(m_playerList.GetSelectedCount());
    if (count == 0) {
        ShowMessage(mb::LoadText(IDS_NO_SELECTION));
        return;
    }
    const std::string folder = ShownPlayerFolder();
    std::vector<int> rows;
    std::vector<std::string> names;
    for (int row = m_playerList.GetNextItem(-1, LVNI_SELECTED); row >= 0;
         row = m_playerList.GetNextItem(row, LVNI_SELECTED)) {
        const std::string name = m_playerList.GetItemText(row, 0);
        if (IsSettingsFile(folder + name)) {
            ShowMessage(mb::Format(mb::LoadText(IDS_DELETE_PROHIBITED).c_str(), name.c_str()));
            return;
        }
        rows.push_back(row);
        names.push_back(name);
    }
    if (ShowMessage(mb::LoadText(IDS_DELETE_ASK), MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;

    // An earlier Cancel must not stop this delete before it begins.
    g_standaloneCancel = 0;
    const int n = int(rows.size());
    m_progress.SetRange(0, n);
    m_progress.SetPos(0, 0);
    const HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    EnableWindow(false);
    CNoticeDlg* notice = OpenDeleteNotice();
    m_deleteRowsDone = 0;
    for (int i = n - 1; i >= 0; --i) {
        if (g_standaloneCancel) {
            g_standaloneCancel = 0;
            if (ShowMessage(mb::LoadText(IDS_DELETE_CANCEL_ASK), MB_YESNO | MB_ICONEXCLAMATION) == IDYES) break;
        }
        const std::string path = folder + names[size_t(i)];
        bool deleted;
        if (IsFolder(path)) {
            deleted = CFileUtil::DeleteToRecycleBin(path);
            if (deleted) {
                if (HTREEITEM child = FindPlayerTreeChild(m_playerItem, names[size_t(i)])) m_playerTree.DeleteItem(child);
            }
        } else {
            deleted = ::DeleteFileA(path.c_str()) != 0;
        }
        if (deleted) {
            if (!m_playerList.DeleteItem(rows[size_t(i)]))
                ShowMessage(mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(), "FAILED TO DELETE A LIST ITEM."));
            m_playerList.RedrawNow();
            ++m_deleteRowsDone;
            m_progress.SetPos(0, m_deleteRowsDone);
            PumpOneMessage();
        } else {
            std::string text = mb::Format(mb::LoadText(IDS_DELETE_FAILED).c_str(), names[size_t(i)].c_str());
            m_playerList.RedrawNow();
            if (i > 0) {
                text += "\r\n" + mb::LoadText(IDS_DELETE_NEXT);
                if (ShowMessage(text, MB_OKCANCEL | MB_ICONQUESTION) == IDCANCEL) break;
            } else {
                ShowMessage(text);
            }
        }
    }
    TheSysCtrl().InitDirectory(folder.c_str());
    ::Sleep(100);
    SettleAfterDelete();
    m_progress.SetPos(0, 0);
    EnableWindow(true);
    ::SetCursor(previous ? previous : ::LoadCursor(nullptr, IDC_ARROW));
    // Destroying the notice deletes it.
    if (notice)
        notice->DestroyWindow();
    UpdateSpaceInfo(1);
}

void CManagerDlg::SettleAfterDelete()
{
    const bool nt = OsLevel >= settings::OS_2000;
    try {
        if (QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL)) {
            _USER_DATA record{};
            QvMp3GetStatus(&record);
            for (int waits = 0; record.Ready == 0 && waits < 30; ++waits) {
                ::Sleep(nt ? 100 : 500);
                QvMp3GetStatus(&record);
            }
            QvMp3CloseDriver();
        } else {
            QvMp3CloseDriver();
            ::Sleep(nt ? 1500 : 3000);
        }
    } catch (...) {
    }
}

void CManagerDlg::OpenPlayerItem()
{
    const std::string name = GetFirstSelectedText(m_playerList, 0, nullptr);
    if (name.empty()) return;
    const std::string path = ShownPlayerFolder() + name;
    if (IsFolder(path)) {
        if (!m_playerItem) return;
        m_playerTree.Expand(m_playerItem);
        HTREEITEM child = FindPlayerTreeChild(m_playerItem, name);
        if (!child) child = InsertPlayerTreeItem(name, m_playerItem);
        if (child) m_playerTree.SelectItem(child);
    } else {
        ::ShellExecuteA(m_hWnd, "open", path.c_str(), nullptr, ".", SW_SHOWNORMAL);
    }
}

void CManagerDlg::InitPlayerListColumns()
{
    if (!m_playerList.m_hWnd || m_playerList.GetColumnWidth(0) > 0) return;
    m_playerList.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    const RECT client = m_playerList.GetClientRect();
    m_playerList.InsertColumn(0, mb::LoadText(IDS_COLUMN_NAME), int(client.right - client.left) - 78, LVCFMT_LEFT);
    m_playerList.InsertColumn(1, mb::LoadText(IDS_COLUMN_SIZE), 60, LVCFMT_RIGHT);
    m_playerList.InsertColumn(2, mb::LoadText(IDS_COLUMN_DATE), 90, LVCFMT_CENTER);
}
