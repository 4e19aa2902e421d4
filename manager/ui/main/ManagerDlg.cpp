// Construction, start-up, paint, size and shutdown of the main dialog.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"
#include "ManagerSettings.h"
#include "SettingsRules.h"
#include "SkinTooltips.h"
#include "StringIds.h"
#include "Text.h"

namespace {
const UINT ID_SYSTEM_ABOUT = 16;
}

CManagerDlg::CManagerDlg() : CDialog(IDD), m_engine(&TheSysCtrl())
{
    m_mainIcon = mb::LoadIconFile("./Images/ICO_MAIN.ICO", 32, 32);
}

CManagerDlg::~CManagerDlg()
{
    if (m_mainIcon)
        ::DestroyIcon(m_mainIcon);
    if (m_startedProgram)
        ::CloseHandle(m_startedProgram);
}

BOOL CManagerDlg::OnInitDialog()
{
    std::string about = mb::LoadText(IDS_ABOUTBOX);
    if (!about.empty()) {
        HMENU system = GetSystemMenu();
        ::AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(system, MF_STRING, ID_SYSTEM_ABOUT, about.c_str());
    }
    SetIcon(m_mainIcon, true);

    const bool ready = InitWindow();
    // Pictures read ahead that the skin did not take go now; later loads
    // (resizes) read their files.
    mb::EndBitmapPrefetch();
    if (!ready) {
        ShowSkinFailure();
        return TRUE;
    }

    // The lists are filled on a short-lived thread while the dialog is
    // disabled; when no thread can be made the work is done here.
    EnableWindow(false);
    m_listsWindow = m_hWnd;
    m_listsThread = mb::BeginThread(&CManagerDlg::InitListsThread, this);
    if (!m_listsThread) {
        EnableWindow(true);
        CWaitCursor wait;
        InitListsWork();
        ::InterlockedExchange(&m_listsNotReady, 0);
        SetTimer(12, 1500);
    }

    m_message = mb::LoadText(IDS_TITLE);
    SetText(m_message);
    SetViewMode(PANE_PC_LIST);
    ModifyStyle(0, WS_SYSMENU);
    SetTimer(1, 4000);
    return TRUE;
}

void CManagerDlg::ShowSkinFailure()
{
    ShowMessage(mb::LoadText(IDS_SKIN_MISSING));
    EndDialog(IDCANCEL);
}

bool CManagerDlg::InitWindow()
{
    m_currentMemory = MEMORY_NONE;
    m_activePane = PANE_PC_LIST;
    m_rowsAdded = false;
    OsLevel = CManagerSettings::DetectOsLevel();
    ReadSettings();

    m_pcPath.SubclassDlgItem(1183, m_hWnd);
    m_recentPaths.SubclassDlgItem(1193, m_hWnd);
    m_pathEdit.SubclassDlgItem(1194, m_hWnd);
    m_pcTree.SubclassDlgItem(1003, m_hWnd);
    m_pcList.SubclassDlgItem(1001, m_hWnd);
    m_playerTree.SubclassDlgItem(1004, m_hWnd);
    m_playerList.SubclassDlgItem(1002, m_hWnd);
    m_downloadList.SubclassDlgItem(1201, m_hWnd);
    m_downloadTwin.SubclassDlgItem(1014, m_hWnd);
    m_progress.CreateInPlaceOf(m_hWnd, 1205);
    AcceptShellDrops();
    m_progress.SetMousePosHandler([this](long position) { OnMousePosNumProgress(position); });

    m_transferSink.SetOwner(m_hWnd);
    m_overwriteQuestion.SetOwner(m_hWnd);
    m_engine.SetSink(&m_transferSink);
    m_engine.SetOverwriteAsker(&m_overwriteQuestion);
    m_engine.SetProgramFolder(g_programFolder);

    m_skin.Attach(m_hWnd, g_imagesFolder);
    m_skin.SetTreeHidden(m_treeHiddenAtStart == 1);
    if (!(LoadSkinLayout(1, 0, 0) && LoadSkinButtons(1) && LoadSkinFrame(0, 0)))
        return false;

    LoadDragIcons();
    CreateSkinTooltips(m_hWnd, m_tooltip, m_skin.IsExpanded());

    ApplyTreeSetting();
    m_runningOperation = OP_NONE;
    m_progress.SetPos(0, 0);
    m_statusBar.Create(m_hWnd, 1007);
    RECT client = GetClientRect();
    m_statusBar.MoveWindow(RECT{0, client.bottom - 25, client.right, client.bottom});
    m_fileFilter = 2;
    m_fileKindFilter = 8;
    m_skin.Button(1079).SetState(CSkinButton::STATE_SELECTED);
    return true;
}

void CManagerDlg::OnPaint()
{
    if (IsIconic()) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        RECT r = GetClientRect();
        int x = (r.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (r.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_mainIcon);
        ::EndPaint(m_hWnd, &ps);
        return;
    }
    // The space lines are drawn as part of the paint, from their stored
    // texts: nothing here asks for another paint.
    Default();
    HDC dc = ::GetDC(m_hWnd);
    DrawSpaceInfo(dc, 0);
    ::ReleaseDC(m_hWnd, dc);
}

void CManagerDlg::OnSize(int width, int height)
{
    // Before the lists are ready, and while minimised, the skin is left alone.
    if (m_listsNotReady || width <= 0 || height <= 0)
        return;
    if (!(LoadSkinLayout(0, width, height) && LoadSkinButtons(0) && LoadSkinFrame(width, height))) {
        ShowSkinFailure();
        return;
    }
    if (m_statusBar.m_hWnd) {
        m_statusBar.MoveWindow(RECT{0, height - 25, width, height});
        m_statusBar.ShowWindow(SW_SHOW);
    }
    RedrawNow();
    UpdateSpaceInfo(1);
}

void CManagerDlg::WaitForWorker(HANDLE& thread)
{
    if (!thread)
        return;
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ::CloseHandle(thread);
    thread = nullptr;
}

void CManagerDlg::OnDestroy()
{
    // A window that closes while a worker still works on it waits for it.
    WaitForWorker(m_listsThread);
    WaitForWorker(m_settleThread);
    KillTimer(1);
    FreeSkinResources();
    LoadSaveRecentPaths("write");
    m_selection = TRANSFER_LIST{};
    m_clipboard = TRANSFER_LIST{};
}
