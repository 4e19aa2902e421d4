// The main dialog's commands, context menus and drag and drop, in the test's
// own process, on the real panes: the player pane lists a served memory
// (drive F), the PC pane a folder of the build tree. Each context menu is
// opened by a right click in its pane with the greyed entries of a few
// states; the commands reach the operations of the panes; the window's own
// image drag and files dropped from the shell land on the memory, checked on
// its image with mtools and fsck.fat. Also Views, the PC tree's hide and
// show, the expanded window and the playlist maker's start.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CommandRules.h"
#include "FsckOutput.h"
#include "GuiTest.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "ManagerSettings.h"
#include "StringIds.h"
#include "Text.h"

using namespace commands;

namespace {

const std::string kState = COMMANDS_MEMORY_STATE;
const std::string kImage = kState + "/internal/raw/image";
const std::string kPcHost = COMMANDS_PC_FOLDER;

// A host command's output; its exit status through `status`.
std::string RunHost(const std::string& command, int* status = nullptr)
{
    mbtest::HostResult r = mbtest::RunHostCommand(command, kState);
    if (status)
        *status = r.Status;
    return r.Output;
}

// mdir's names of an image folder in directory order.
std::string DiskOrder(const std::string& folder)
{
    std::string out, line;
    std::istringstream in(RunHost("mdir -b -i " + mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote("::/" + folder) +
                                  " | sed -e 's:/$::' -e 's:.*/::'"));
    while (std::getline(in, line))
        if (!line.empty())
            out += (out.empty() ? "" : " ") + line;
    return out;
}

// The hash of a file on the image (mtype) and of a PC file of the test's
// folder (the host's path).
std::string ImageHash(const std::string& path)
{
    int status = -1;
    std::string h = RunHost("f=$(mktemp); mtype -i " + mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote("::/" + path) +
                                " >$f && sha256sum <$f; r=$?; rm -f $f; exit $r",
                            &status);
    return status == 0 ? h : "missing " + path;
}
std::string PcHash(const std::string& relative)
{
    int status = -1;
    std::string h = RunHost("sha256sum < " + mbtest::ShellQuote(kPcHost + "/" + relative), &status);
    return status == 0 ? h : "missing PC " + relative;
}

std::string FsckProblems()
{
    int status = -1;
    std::string out = RunHost("fsck.fat -n " + mbtest::ShellQuote(kImage), &status);
    return status == 0 ? FsckComplaints(out) : "fsck.fat failed: " + out;
}

std::string Rows(CListCtrl& list, int column = 0)
{
    std::string out;
    for (int i = 0; i < list.GetItemCount(); ++i)
        out += (out.empty() ? "" : " ") + list.GetItemText(i, column);
    return out;
}

// Closes the context menu from inside its own loop; the first one opened is
// kept as a screenshot.
bool g_menuShot = false;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (!g_menuShot) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && mbtest::SaveScreenshot(GetDesktopWindow(), "context_menu").size())
            g_menuShot = true;
    }
    EndMenu();
}

// The player tree filled again from inside an open context menu's loop (as
// a timer there does), then the menu closed.
CManagerDlg* g_refillUnderMenu = nullptr;
std::string g_refillFolder;
void CALLBACK RefillTreeThenCloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (g_refillUnderMenu)
        g_refillUnderMenu->RebuildPlayerTree(g_refillUnderMenu->m_memories[0], g_refillFolder);
    EndMenu();
}

// No player is found by detection: the tests show the served memory
// themselves, as detection would.
class CNoPlayerCalls : public CPlayerCalls {
public:
    unsigned long FindPlayerDrives() override
    {
        ++Searches;
        return 0;
    }
    int Searches = 0;
};

class ManagerCommands : public mbtest::GuiTest {
protected:
    ManagerCommands() : mbtest::GuiTest(150000) {}

    // A fresh PC folder (files a.txt, b.mp3, c.wav) and a fresh image folder
    // of the case's name (s1.mp3, s2.mp3, s3.mp3, then the entries asked).
    void MakeFolders(const std::string& name, const std::string& moreOnImage = "")
    {
        m_name = name;
        m_pc = mbtest::HostWinPath(kPcHost + "/" + name);
        const std::string pc = mbtest::ShellQuote(kPcHost + "/" + name);
        const std::string img = mbtest::ShellQuote(kImage);
        int status = -1;
        std::string out = RunHost(
            "set -e; rm -rf " + pc + "; mkdir -p " + pc + "; cd " + pc +
                "; head -c 300 /dev/urandom > a.txt; head -c 40000 /dev/urandom > b.mp3;"
                " head -c 7000 /dev/urandom > c.wav;"
                " mdeltree -i " + img + " ::/" + name + " >/dev/null 2>&1 || true; mmd -i " + img + " ::/" + name +
                "; t=$(mktemp -d); for f in s1 s2 s3; do head -c 9000 /dev/urandom > $t/$f.mp3;"
                " mcopy -i " + img + " $t/$f.mp3 ::/" + name + "/; done; rm -rf $t; " + moreOnImage,
            &status);
        ASSERT_EQ(0, status) << out;
    }

    bool Open(CManagerDlg& dlg)
    {
        dlg.m_playerCalls = &m_noPlayer;
        if (!dlg.Create())
            return false;
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        for (UINT_PTR id : {1, 4, 12, 13})
            dlg.KillTimer(id);
        dlg.ShowWindow(SW_SHOW);
        SetForegroundWindow(dlg.m_hWnd);
        dlg.OsLevel = 3;
        // The start-up work ends with the window enabled.
        mbtest::PumpUntil([&] { return dlg.IsWindowEnabled() != 0; }, 20000);
        return ready && IsWindow(dlg.m_hWnd);
    }

    // The PC pane shows the case's folder, its tree visible, as a click in the
    // tree would.
    void ShowPc(CManagerDlg& dlg, const std::string& path)
    {
        if (!dlg.m_pcTree.IsWindowVisible())
            dlg.TogglePcTree();
        HTREEITEM item = dlg.FindPcTreeItem(path);
        ASSERT_NE(nullptr, item) << path;
        dlg.m_pcTree.SelectItem(item);
        dlg.KillTimer(6);
        ASSERT_TRUE(dlg.ShowPcTreeSelection());
        ASSERT_EQ(item, dlg.m_pcItem);
    }

    // The player pane shows a folder of the memory F: as detection and a
    // click in the tree would.
    void ShowPlayer(CManagerDlg& dlg, const std::string& folder)
    {
        dlg.m_memories[0].Root = "F:\\";
        dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
        TheSysCtrl().SetNewMedia();
        TheSysCtrl().InitDirectory("F:\\");
        dlg.RebuildPlayerTree(dlg.m_memories[0], "F:\\" + folder + "\\");
        ASSERT_TRUE(mbtest::PumpUntil(
            [&] { return dlg.m_playerItem != nullptr && dlg.m_playerItem == dlg.m_playerTree.GetSelectedItem(); },
            20000));
        mbtest::PumpFor(200);
    }

    // The three panes of a case: the PC folder, the player folder and a
    // download list of b.mp3 and a.txt.
    void ShowAll(CManagerDlg& dlg)
    {
        ASSERT_NO_FATAL_FAILURE(ShowPc(dlg, m_pc));
        ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, m_name));
        dlg.AddDownloadListItem(m_pc + "\\b.mp3");
        dlg.AddDownloadListItem(m_pc + "\\a.txt");
        ASSERT_EQ("b.mp3 a.txt", Rows(dlg.m_downloadList, 1));
        mbtest::PumpFor(50);
    }

    // Waits until a started transfer and the settle step after it are done.
    static bool WaitDone(CManagerDlg& dlg)
    {
        return mbtest::PumpUntil(
            [&] { return !dlg.m_engine.GetStatus(nullptr) && dlg.m_runningOperation == CManagerDlg::OP_NONE; },
            60000);
    }

    static void SelectOnly(CListCtrl& list, const std::vector<std::string>& names)
    {
        for (int i = 0; i < list.GetItemCount(); ++i)
            list.Select(i, false);
        for (const std::string& n : names)
            for (int i = 0; i < list.GetItemCount(); ++i)
                if (list.GetItemText(i, 0) == n)
                    list.Select(i);
    }
    static int RowOf(CListCtrl& list, const std::string& name)
    {
        for (int i = 0; i < list.GetItemCount(); ++i)
            if (list.GetItemText(i, 0) == name)
                return i;
        return -1;
    }

    static POINT RowPoint(CListCtrl& list, int row)
    {
        RECT r = list.GetItemRect(row, LVIR_LABEL);
        POINT p{r.left + 4, (r.top + r.bottom) / 2};
        ClientToScreen(list.m_hWnd, &p);
        return p;
    }
    static POINT ItemPoint(CTreeCtrl& tree, HTREEITEM item)
    {
        RECT r{};
        TreeView_GetItemRect(tree.m_hWnd, item, &r, TRUE);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(tree.m_hWnd, &p);
        return p;
    }
    static POINT EmptyPoint(CWnd& control)
    {
        RECT r = control.GetWindowRect();
        return POINT{r.right - 8, r.bottom - 8};
    }

    // The window's own image drag of a list row to a screen point: the
    // begin-drag notification, then the captured window's mouse messages.
    static void BeginDrag(CManagerDlg& dlg, CListCtrl& from, int row)
    {
        NMLISTVIEW nm{};
        nm.hdr.hwndFrom = from.m_hWnd;
        nm.hdr.idFrom = from.GetDlgCtrlID();
        nm.hdr.code = LVN_BEGINDRAG;
        nm.iItem = row;
        RECT r = from.GetItemRect(row, LVIR_LABEL);
        nm.ptAction = POINT{r.left + 4, r.top + 2};
        dlg.Send(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
    static void Drag(CManagerDlg& dlg, CListCtrl& from, int row, POINT to)
    {
        // The drop finds its target by the window under the point, and other
        // window tests share this display and lift their own windows to the
        // top: the window is lifted again until the point is its own.
        for (int tries = 0; tries < 50; ++tries) {
            HWND under = ::WindowFromPoint(to);
            if (under && (under == dlg.m_hWnd || ::IsChild(dlg.m_hWnd, under)))
                break;
            dlg.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            mbtest::PumpFor(100);
        }
        POINT client = to;
        ScreenToClient(dlg.m_hWnd, &client);
        // A window of another program coming to the front takes the mouse,
        // which ends a drag: it is begun again then (a drag that is refused
        // does not start at all, however often begun).
        for (int attempt = 0; attempt < 3; ++attempt) {
            BeginDrag(dlg, from, row);
            dlg.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
            if (dlg.m_dragging)
                break;
        }
        dlg.Send(WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    }

    // A right click: the menu opens and is closed from its own loop.
    static std::vector<unsigned> RightClick(CManagerDlg& dlg, CWnd& control, POINT screen)
    {
        dlg.m_lastMenu = -1;
        dlg.m_lastMenuGreyed.clear();
        SetTimer(nullptr, 0, 300, CloseMenu);
        dlg.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control.m_hWnd), MAKELPARAM(screen.x, screen.y));
        mbtest::PumpFor(50);
        return dlg.m_lastMenuGreyed;
    }

    static std::string LastCall(CManagerDlg& dlg) { return dlg.m_calls.empty() ? "" : dlg.m_calls.back(); }
    static void Command(CManagerDlg& dlg, UINT id) { dlg.Send(WM_COMMAND, id, 0); }
    // Ends a label edit the command started, leaving the name it proposed.
    static void EndEdit(CListCtrl& list)
    {
        if (HWND edit = list.GetEditControl())
            mbtest::PostKey(edit, VK_RETURN);
        mbtest::PumpUntil([&] { return !list.GetEditControl(); }, 5000);
        mbtest::PumpFor(100);
    }
    bool Said(UINT id) const
    {
        for (size_t i = 0; i < m_prompter.Count(); ++i)
            if (m_prompter.Text(i) == mb::LoadText(id))
                return true;
        return false;
    }

    std::string m_name, m_pc;
    CNoPlayerCalls m_noPlayer;
    mbtest::CRecordingPrompter m_prompter{IDYES};
};

using Ids = std::vector<unsigned>;

// A visible window of a process other than the one given.
struct ProcessWindow {
    DWORD pid;
    HWND other, found;
};
BOOL CALLBACK FindProcessWindow(HWND w, LPARAM lp)
{
    auto* f = reinterpret_cast<ProcessWindow*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && w != f->other && IsWindowVisible(w)) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

// A memory-less HDROP as the shell builds one: the point in the target's
// client area and the paths in the ANSI world.
HGLOBAL MakeDrop(const std::vector<std::string>& paths, POINT client)
{
    std::string list;
    for (const std::string& p : paths)
        list += p + '\0';
    list += '\0';
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = client;
    drop->fNC = FALSE;
    drop->fWide = FALSE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(block);
    return block;
}

}  // namespace

TEST_F(ManagerCommands, EachPaneOpensItsMenuWithTheRightEntriesGreyed)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("MENUS", "mmd -i " + mbtest::ShellQuote(kImage) + " ::/MENUS/Inner"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowPc(dlg, m_pc));
    dlg.AddDownloadListItem(m_pc + "\\b.mp3");
    dlg.AddDownloadListItem(m_pc + "\\a.txt");
    ASSERT_EQ("a.txt b.mp3 c.wav", Rows(dlg.m_pcList));

    // No player yet; nothing selected, nothing collected.
    EXPECT_EQ((Ids{ID_PCLIST_OPEN, ID_PCLIST_CUT, ID_PCLIST_COPY, ID_PCLIST_PASTE, ID_PCLIST_DELETE, ID_PCLIST_RENAME,
                   ID_PCLIST_PROPERTIES}),
              RightClick(dlg, dlg.m_pcList, EmptyPoint(dlg.m_pcList)));
    EXPECT_EQ(MENU_PC_LIST, dlg.m_lastMenu);
    EXPECT_EQ(CManagerDlg::PANE_PC_LIST, dlg.m_activePane);
    EXPECT_EQ((Ids{ID_PDLIST_OPEN, ID_PDLIST_NEW_FOLDER, ID_PDLIST_REFRESH, ID_PDLIST_UPLOAD, ID_PDLIST_MOVE_UP,
                   ID_PDLIST_MOVE_DOWN, ID_PDLIST_SELECT_ALL, ID_PDLIST_CUT, ID_PDLIST_COPY, ID_PDLIST_PASTE,
                   ID_PDLIST_DELETE, ID_PDLIST_RENAME}),
              RightClick(dlg, dlg.m_playerList, EmptyPoint(dlg.m_playerList)));
    EXPECT_EQ(MENU_PLAYER_LIST, dlg.m_lastMenu);
    EXPECT_EQ(CManagerDlg::PANE_PLAYER_LIST, dlg.m_activePane);
    EXPECT_EQ((Ids{ID_PDTREE_NEW_FOLDER, ID_PDTREE_RENAME}),
              RightClick(dlg, dlg.m_playerTree, EmptyPoint(dlg.m_playerTree)));
    EXPECT_EQ((Ids{ID_DLLIST_MOVE_UP, ID_DLLIST_MOVE_DOWN, ID_DLLIST_DELETE, ID_DLLIST_PROPERTIES}),
              RightClick(dlg, dlg.m_downloadList, EmptyPoint(dlg.m_downloadList)));
    EXPECT_EQ(CManagerDlg::PANE_DOWNLOAD_LIST, dlg.m_activePane);
    dlg.m_pcTree.EnsureVisible(dlg.m_pcItem);
    EXPECT_TRUE(RightClick(dlg, dlg.m_pcTree, ItemPoint(dlg.m_pcTree, dlg.m_pcItem)).empty());
    EXPECT_EQ(MENU_PC_TREE, dlg.m_lastMenu);
    EXPECT_EQ(CManagerDlg::PANE_PC_TREE, dlg.m_activePane);
    EXPECT_EQ(dlg.m_pcItem, dlg.m_pcContextItem);
    dlg.ClearContextItems();

    // The player shown: its list greys only what needs a selection or a
    // collected clipboard.
    ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, "MENUS"));
    ASSERT_EQ("Inner s1.mp3 s2.mp3 s3.mp3", Rows(dlg.m_playerList));
    EXPECT_EQ((Ids{ID_PDLIST_UPLOAD, ID_PDLIST_MOVE_UP, ID_PDLIST_MOVE_DOWN, ID_PDLIST_CUT, ID_PDLIST_COPY,
                   ID_PDLIST_PASTE, ID_PDLIST_DELETE, ID_PDLIST_RENAME}),
              RightClick(dlg, dlg.m_playerList, EmptyPoint(dlg.m_playerList)));
    // The player tree: the item under the click is drop-highlighted; the
    // root cannot be deleted; a second click moves the highlight.
    HTREEITEM root = dlg.m_playerTree.GetRootItem();
    EXPECT_EQ(Ids{ID_PDTREE_DELETE}, RightClick(dlg, dlg.m_playerTree, ItemPoint(dlg.m_playerTree, root)));
    EXPECT_EQ(CManagerDlg::PANE_PLAYER_TREE, dlg.m_activePane);
    EXPECT_EQ(root, dlg.m_playerTree.GetDropHilightItem());
    HTREEITEM inner = dlg.FindPlayerTreeChild(dlg.m_playerItem, "Inner");
    ASSERT_NE(nullptr, inner);
    dlg.m_playerTree.EnsureVisible(inner);
    EXPECT_TRUE(RightClick(dlg, dlg.m_playerTree, ItemPoint(dlg.m_playerTree, inner)).empty());
    EXPECT_EQ(inner, dlg.m_playerTree.GetDropHilightItem());
    // New Folder makes the folder in the item under the click; the command
    // clears the highlight and forgets the item.
    Command(dlg, ID_PDTREE_NEW_FOLDER);
    if (HWND edit = dlg.m_playerTree.GetEditControl())
        mbtest::PostKey(edit, VK_ESCAPE);
    mbtest::PumpFor(200);
    EXPECT_EQ("New Folder", DiskOrder("MENUS/Inner"));
    EXPECT_EQ(nullptr, dlg.m_playerTree.GetDropHilightItem());
    EXPECT_EQ(nullptr, dlg.m_playerContextItem);
    // Empty space: no item, and New Folder then does nothing.
    RightClick(dlg, dlg.m_playerTree, EmptyPoint(dlg.m_playerTree));
    EXPECT_EQ(nullptr, dlg.m_playerContextItem);
    Command(dlg, ID_PDTREE_NEW_FOLDER);
    mbtest::PumpFor(100);
    EXPECT_EQ("s1.mp3 s2.mp3 s3.mp3 Inner", DiskOrder("MENUS"));
    EXPECT_EQ("New Folder", DiskOrder("MENUS/Inner"));
    // (The new folder was shown: the folder is shown again.)
    ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, "MENUS"));

    // A PC copy pending (the PC list's Copy on a.txt), one text row selected.
    SelectOnly(dlg.m_pcList, {"a.txt"});
    Command(dlg, ID_PCLIST_COPY);
    EXPECT_EQ(1, dlg.m_clipboard.Operation);
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, dlg.m_clipboard.Names);
    EXPECT_EQ(Ids{ID_PCLIST_PROPERTIES}, RightClick(dlg, dlg.m_pcList, RowPoint(dlg.m_pcList, 0)));
    // A music row under the click keeps Properties.
    SelectOnly(dlg.m_pcList, {"b.mp3"});
    EXPECT_TRUE(RightClick(dlg, dlg.m_pcList, RowPoint(dlg.m_pcList, 1)).empty());
    // The player list pastes a PC copy.
    SelectOnly(dlg.m_playerList, {"s2.mp3"});
    EXPECT_TRUE(RightClick(dlg, dlg.m_playerList, RowPoint(dlg.m_playerList, 2)).empty());
    // The same from the keyboard (the context-menu key: no point).
    dlg.m_lastMenu = -1;
    EXPECT_TRUE(RightClick(dlg, dlg.m_playerList, POINT{-1, -1}).empty());
    EXPECT_EQ(MENU_PLAYER_LIST, dlg.m_lastMenu);
    // One music entry of the download list under the click, then a text one.
    dlg.m_downloadList.Select(0);
    EXPECT_TRUE(RightClick(dlg, dlg.m_downloadList, RowPoint(dlg.m_downloadList, 0)).empty());
    dlg.m_downloadList.Select(0, false);
    dlg.m_downloadList.Select(1);
    EXPECT_EQ(Ids{ID_DLLIST_PROPERTIES}, RightClick(dlg, dlg.m_downloadList, RowPoint(dlg.m_downloadList, 1)));

    // A player copy pending (the player list's Copy on s2.mp3): the PC list
    // pastes it, an upload into the shown PC folder.
    Command(dlg, ID_PDLIST_COPY);
    EXPECT_EQ(16, dlg.m_clipboard.Operation);
    EXPECT_TRUE(RightClick(dlg, dlg.m_pcList, RowPoint(dlg.m_pcList, 1)).empty());
    Command(dlg, ID_PCLIST_PASTE);
    EXPECT_EQ("StartUpload", LastCall(dlg));
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_TRUE(Said(IDS_UPLOAD_STARTED));
    EXPECT_EQ(ImageHash("MENUS/s2.mp3"), PcHash("MENUS/s2.mp3"));
    // Nothing collected greys Paste again.
    dlg.m_clipboard = TRANSFER_LIST{};
    SelectOnly(dlg.m_pcList, {"b.mp3"});
    EXPECT_EQ(Ids{ID_PCLIST_PASTE}, RightClick(dlg, dlg.m_pcList, RowPoint(dlg.m_pcList, RowOf(dlg.m_pcList, "b.mp3"))));

    // The desktop shown: everything but Refresh and New Folder is greyed.
    dlg.m_pcTree.SelectItem(dlg.m_pcTree.GetRootItem());
    dlg.KillTimer(6);
    dlg.ShowPcTreeSelection();
    EXPECT_EQ((Ids{ID_PCLIST_OPEN, ID_PCLIST_SELECT_ALL, ID_PCLIST_CUT, ID_PCLIST_COPY, ID_PCLIST_PASTE,
                   ID_PCLIST_DELETE, ID_PCLIST_RENAME, ID_PCLIST_PROPERTIES}),
              RightClick(dlg, dlg.m_pcList, EmptyPoint(dlg.m_pcList)));
    EXPECT_TRUE(g_menuShot);
    EXPECT_EQ(1u, m_prompter.Count()) << m_prompter.Text(m_prompter.Count() - 1);
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

// The player tree filled again while its context menu is open: the chosen
// command finds no item and deletes nothing.
TEST_F(ManagerCommands, TreeMenuCommandAfterTheTreeWasFilledAgainDoesNothing)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("REFILL", "mmd -i " + mbtest::ShellQuote(kImage) + " ::/REFILL/Inner"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, "REFILL"));
    HTREEITEM inner = dlg.FindPlayerTreeChild(dlg.m_playerItem, "Inner");
    ASSERT_NE(nullptr, inner);
    dlg.m_playerTree.EnsureVisible(inner);
    mbtest::PumpFor(100);

    dlg.m_lastMenu = -1;
    g_refillUnderMenu = &dlg;
    g_refillFolder = "F:\\REFILL\\";
    SetTimer(nullptr, 0, 300, RefillTreeThenCloseMenu);
    const POINT at = ItemPoint(dlg.m_playerTree, inner);
    dlg.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dlg.m_playerTree.m_hWnd), MAKELPARAM(at.x, at.y));
    g_refillUnderMenu = nullptr;
    mbtest::PumpFor(100);
    EXPECT_EQ(MENU_PLAYER_TREE, dlg.m_lastMenu);
    EXPECT_EQ(nullptr, dlg.m_playerContextItem);
    dlg.m_calls.clear();
    Command(dlg, ID_PDTREE_DELETE);
    mbtest::PumpFor(100);
    EXPECT_TRUE(dlg.m_calls.empty());
    EXPECT_EQ("s1.mp3 s2.mp3 s3.mp3 Inner", DiskOrder("REFILL"));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

TEST_F(ManagerCommands, ViewsCycleAndFourPressesReturnToDetails)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    auto style = [](CWnd& w) { return w.GetStyle() & LVS_TYPEMASK; };
    dlg.SetViewMode(CManagerDlg::PANE_PC_LIST);
    ASSERT_EQ(LVS_REPORT, style(dlg.m_pcList));
    std::vector<LONG_PTR> seen;
    for (int i = 0; i < 4; ++i) {
        Command(dlg, ID_VIEWS);
        seen.push_back(style(dlg.m_pcList));
    }
    EXPECT_EQ((std::vector<LONG_PTR>{LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT}), seen);
    // The player pane toggles between details and list.
    dlg.SetViewMode(CManagerDlg::PANE_PLAYER_LIST);
    dlg.m_skin.Button(1082);
    dlg.Post(WM_SKIN_BUTTON_CLICK, reinterpret_cast<WPARAM>(&dlg.m_skin.Button(1082)), 0);
    mbtest::PumpFor(100);
    EXPECT_EQ(LVS_LIST, style(dlg.m_playerList));
    Command(dlg, ID_VIEWS);
    EXPECT_EQ(LVS_REPORT, style(dlg.m_playerList));
    EXPECT_EQ(LVS_REPORT, style(dlg.m_pcList));
    dlg.DestroyWindow();
}

TEST_F(ManagerCommands, ExpandedWindowRestoresTheExactRectangle)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    dlg.SetWindowPos(nullptr, 37, 23, 700, 520, SWP_NOZORDER);
    mbtest::PumpFor(100);
    RECT before = dlg.GetWindowRect();
    auto click = [&] {
        dlg.Post(WM_SKIN_BUTTON_CLICK, reinterpret_cast<WPARAM>(&dlg.m_skin.Button(1492)), 0);
        mbtest::PumpFor(200);
    };
    click();
    RECT expanded = dlg.GetWindowRect();
    EXPECT_TRUE(dlg.m_skin.IsExpanded());
    EXPECT_EQ(0, expanded.left);
    EXPECT_EQ(0, expanded.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), expanded.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN) + 19, expanded.bottom);
    mbtest::SaveScreenshot(dlg, "expanded_window");
    click();
    RECT after = dlg.GetWindowRect();
    EXPECT_FALSE(dlg.m_skin.IsExpanded());
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
    EXPECT_EQ(before.right, after.right);
    EXPECT_EQ(before.bottom, after.bottom);
    // The status bar follows: full width, 25 high at the bottom.
    RECT bar = dlg.GetChildRect(1007);
    RECT client = dlg.GetClientRect();
    EXPECT_EQ(client.bottom, bar.bottom);
    EXPECT_EQ(client.right, bar.right);
    dlg.DestroyWindow();
}

TEST_F(ManagerCommands, TreeHideShowSplitsByTheSkinAndFollowsCfgTr)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    auto click = [&] {
        dlg.Post(WM_SKIN_BUTTON_CLICK, reinterpret_cast<WPARAM>(&dlg.m_skin.Button(1084)), 0);
        mbtest::PumpFor(100);
    };
    if (dlg.m_pcTree.IsWindowVisible())
        click();
    ASSERT_FALSE(dlg.m_pcTree.IsWindowVisible());
    RECT hiddenList = dlg.GetChildRect(1001);
    click();
    ASSERT_TRUE(dlg.m_pcTree.IsWindowVisible());
    RECT tree = dlg.GetChildRect(1003);
    RECT list = dlg.GetChildRect(1001);
    int x = 0, y = 0, cy = 0;
    ASSERT_TRUE(dlg.ReadSkinValues("PC_CROSS", &x, &y, nullptr, &cy, false));
    EXPECT_EQ(hiddenList.left, tree.left);
    EXPECT_EQ((hiddenList.right - hiddenList.left) * x / (x + y), tree.right - tree.left);
    EXPECT_EQ(tree.right + cy, list.left);
    EXPECT_EQ(hiddenList.right, list.right);
    EXPECT_EQ(hiddenList.top, list.top);
    EXPECT_EQ(hiddenList.bottom, tree.bottom);
    mbtest::SaveScreenshot(dlg, "pc_tree_shown");
    click();
    EXPECT_FALSE(dlg.m_pcTree.IsWindowVisible());
    RECT again = dlg.GetChildRect(1001);
    EXPECT_EQ(hiddenList.left, again.left);
    EXPECT_EQ(hiddenList.right, again.right);

    // The configuration dialog stored CFG_TR 0: its PC-tree bit shows the
    // tree, and CFG_TR 1 hides it again.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, CManagerSettings::AppPathsKey().c_str(), 0, nullptr,
                                             0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    DWORD value = 0;
    RegSetValueExA(key, "CFG_TR", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    dlg.ApplyConfigResult(16);
    EXPECT_TRUE(dlg.m_pcTree.IsWindowVisible());
    EXPECT_EQ(0, dlg.m_treeHiddenAtStart);
    dlg.ApplyConfigResult(2);  // a label bit alone leaves the tree
    EXPECT_TRUE(dlg.m_pcTree.IsWindowVisible());
    value = 1;
    RegSetValueExA(key, "CFG_TR", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    dlg.ApplyConfigResult(8);
    EXPECT_FALSE(dlg.m_pcTree.IsWindowVisible());
    RegDeleteValueA(key, "CFG_TR");
    RegCloseKey(key);
    dlg.DestroyWindow();
}

TEST_F(ManagerCommands, CommandsReachTheirOperationsByTheActivePane)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("CMDS", "mmd -i " + mbtest::ShellQuote(kImage) + " ::/CMDS/Inner"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    // Connect without a player: detection, which finds none.
    const int searches = m_noPlayer.Searches;
    Command(dlg, ID_CONNECT);
    EXPECT_LT(searches, m_noPlayer.Searches);
    EXPECT_EQ(CManagerDlg::MEMORY_NONE, dlg.m_currentMemory);
    ASSERT_NO_FATAL_FAILURE(ShowAll(dlg));
    // The PC tree's Folder Size: 300 + 40000 + 7000 bytes, in whole KB.
    dlg.m_pcTree.EnsureVisible(dlg.m_pcItem);
    RightClick(dlg, dlg.m_pcTree, ItemPoint(dlg.m_pcTree, dlg.m_pcItem));
    Command(dlg, ID_PCTREE_FOLDER_SIZE);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(0u, m_prompter.Text(0).find(m_pc)) << m_prompter.Text(0);
    EXPECT_NE(std::string::npos, m_prompter.Text(0).find("\r\n\r\nFolder Size: 47 KB")) << m_prompter.Text(0);
    EXPECT_EQ(L"Information", m_prompter.Records()[0].caption);
    EXPECT_EQ(nullptr, dlg.m_pcContextItem);

    // Nothing selected: each command reaches its operation by the active
    // pane (which then finds nothing to do), or nothing.
    struct Case {
        UINT id;
        int pane;
        const char* call;  // "" when the command must reach nothing
    } cases[] = {
        {ID_DELETE, CManagerDlg::PANE_PC_LIST, "DeletePcSelection"},
        {ID_DELETE, CManagerDlg::PANE_PLAYER_LIST, "DeleteOnPlayer"},
        {ID_DELETE, CManagerDlg::PANE_PLAYER_TREE, ""},
        {ID_DELETE, CManagerDlg::PANE_DOWNLOAD_LIST, ""},
        {ID_CUT, CManagerDlg::PANE_PC_LIST, "CollectSelection"},
        {ID_COPY, CManagerDlg::PANE_PLAYER_LIST, "CollectSelection"},
        {ID_CUT, CManagerDlg::PANE_DOWNLOAD_LIST, ""},
        {ID_COPY, CManagerDlg::PANE_PLAYER_TREE, ""},
        {ID_PDLIST_UPLOAD, CManagerDlg::PANE_PLAYER_LIST, "StartUpload"},
        {ID_UPLOAD, CManagerDlg::PANE_PC_LIST, "StartUpload"},
        {ID_DOWNLOAD, CManagerDlg::PANE_PC_LIST, "StartDownload"},
        {1114, CManagerDlg::PANE_PC_LIST, "StartDownload"},
        {ID_PDLIST_MOVE_UP, CManagerDlg::PANE_PLAYER_LIST, "WritePlayerFileOrder"},
        {ID_PDLIST_OPEN, CManagerDlg::PANE_PLAYER_LIST, "OpenPlayerItem"},
        {ID_DLLIST_DELETE, CManagerDlg::PANE_DOWNLOAD_LIST, "DeleteDownloadListSelection"},
        {ID_DLLIST_MOVE_DOWN, CManagerDlg::PANE_DOWNLOAD_LIST, "MoveDownloadListRows"},
        {ID_PDLIST_REFRESH, CManagerDlg::PANE_PLAYER_LIST, "FillPlayerList"},
        {ID_PCLIST_REFRESH, CManagerDlg::PANE_PC_LIST, "ReopenPcFolder"},
    };
    for (const Case& c : cases) {
        dlg.m_calls.clear();
        dlg.SetViewMode(c.pane);
        Command(dlg, c.id);
        EXPECT_EQ(c.call, LastCall(dlg)) << c.id << " in pane " << c.pane;
        EXPECT_EQ(CManagerDlg::OP_NONE, dlg.m_runningOperation) << c.id;
    }
    // ... and changed nothing.
    EXPECT_EQ("s1.mp3 s2.mp3 s3.mp3 Inner", DiskOrder("CMDS"));
    EXPECT_EQ("b.mp3 a.txt", Rows(dlg.m_downloadList, 1));
    EXPECT_EQ(0, dlg.m_clipboard.Operation);
    // Delete in the PC tree: a drive root is refused without a word.
    const size_t said = m_prompter.Count();
    dlg.m_pcTree.SelectItem(dlg.FindPcTreeItem("Z:\\"));
    dlg.KillTimer(6);
    dlg.SetViewMode(CManagerDlg::PANE_PC_TREE);
    Command(dlg, ID_DELETE);
    EXPECT_EQ("DeletePcTreeFolder", LastCall(dlg));
    EXPECT_EQ(said, m_prompter.Count());
    ASSERT_NO_FATAL_FAILURE(ShowPc(dlg, m_pc));

    // With rows selected the operations do their work. Download: b.mp3 to
    // the shown player folder.
    SelectOnly(dlg.m_pcList, {"b.mp3"});
    dlg.SetViewMode(CManagerDlg::PANE_PC_LIST);
    Command(dlg, ID_DOWNLOAD);
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(PcHash("CMDS/b.mp3"), ImageHash("CMDS/b.mp3"));
    // Move up in the player list: the play order on the image.
    dlg.FillPlayerList();
    SelectOnly(dlg.m_playerList, {"s3.mp3"});
    Command(dlg, ID_PDLIST_MOVE_UP);
    const std::string moved = DiskOrder("CMDS");
    EXPECT_NE(std::string::npos, moved.find("s1.mp3 s3.mp3 s2.mp3")) << moved;
    // Cut and Copy by the pane fill the clipboard.
    const std::string cut = PcHash("CMDS/c.wav");
    SelectOnly(dlg.m_pcList, {"c.wav"});
    dlg.SetViewMode(CManagerDlg::PANE_PC_LIST);
    Command(dlg, ID_CUT);
    EXPECT_EQ(2, dlg.m_clipboard.Operation);
    EXPECT_EQ(std::vector<std::string>{"c.wav"}, dlg.m_clipboard.Names);
    // The window's Paste after the player list: a PC cut is downloaded and
    // its source goes.
    dlg.SetViewMode(CManagerDlg::PANE_PLAYER_LIST);
    Command(dlg, ID_PASTE);
    EXPECT_EQ("StartDownload", LastCall(dlg));
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ("missing PC CMDS/c.wav", PcHash("CMDS/c.wav"));
    EXPECT_EQ(cut, ImageHash("CMDS/c.wav"));
    // Upload from the player list: s1.mp3 to the shown PC folder.
    dlg.FillPlayerList();
    SelectOnly(dlg.m_playerList, {"s1.mp3"});
    Command(dlg, ID_PDLIST_UPLOAD);
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(ImageHash("CMDS/s1.mp3"), PcHash("CMDS/s1.mp3"));
    // The player list's Paste of a player copy copies on the player into the
    // shown folder.
    SelectOnly(dlg.m_playerList, {"s2.mp3"});
    Command(dlg, ID_COPY);
    EXPECT_EQ(16, dlg.m_clipboard.Operation);
    SelectOnly(dlg.m_playerList, {"Inner"});
    Command(dlg, ID_PDLIST_OPEN);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.GetPlayerFolderPath() == "F:\\CMDS\\Inner\\"; }, 10000))
        << dlg.GetPlayerFolderPath();
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_playerItem == dlg.m_playerTree.GetSelectedItem(); }, 10000));
    Command(dlg, ID_PDLIST_PASTE);
    EXPECT_EQ("MoveOnPlayer", LastCall(dlg));
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(ImageHash("CMDS/s2.mp3"), ImageHash("CMDS/Inner/s2.mp3"));
    // Nothing collected: string 153.
    dlg.m_clipboard = TRANSFER_LIST{};
    Command(dlg, ID_PDLIST_PASTE);
    EXPECT_EQ(mb::LoadText(IDS_NO_SELECTED_FILE), m_prompter.Text(m_prompter.Count() - 1));
    // Delete in the player list, answered Yes.
    dlg.FillPlayerList();
    SelectOnly(dlg.m_playerList, {"s2.mp3"});
    dlg.SetViewMode(CManagerDlg::PANE_PLAYER_LIST);
    m_prompter.QueueAnswer(IDYES);
    Command(dlg, ID_DELETE);
    EXPECT_EQ("", DiskOrder("CMDS/Inner"));

    // Select all by pane.
    dlg.SetViewMode(CManagerDlg::PANE_PC_LIST);
    Command(dlg, ID_SELECT_ALL);
    EXPECT_EQ(UINT(dlg.m_pcList.GetItemCount()), dlg.m_pcList.GetSelectedCount());
    EXPECT_LT(0, dlg.m_pcList.GetItemCount());
    ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, "CMDS"));
    dlg.SetViewMode(CManagerDlg::PANE_PLAYER_LIST);
    Command(dlg, ID_SELECT_ALL);
    EXPECT_EQ("Inner s1.mp3 s3.mp3 s2.mp3 b.mp3 c.wav", Rows(dlg.m_playerList));
    EXPECT_EQ(6u, dlg.m_playerList.GetSelectedCount());
    // Up folder: the player tree's parent from the player panes.
    dlg.UpFolder();
    EXPECT_EQ(dlg.m_playerTree.GetRootItem(), dlg.m_playerTree.GetSelectedItem());
    // Disconnect: the player pane empties.
    Command(dlg, ID_CONNECT);
    EXPECT_EQ(CManagerDlg::MEMORY_NONE, dlg.m_currentMemory);
    EXPECT_EQ(0, dlg.m_playerList.GetItemCount());
    // Memory format without a memory that answers asks nothing.
    const size_t before = m_prompter.Count();
    Command(dlg, ID_MEMORY_FORMAT);
    for (size_t i = before; i < m_prompter.Count(); ++i)
        EXPECT_NE(mb::LoadText(IDS_FORMAT_ASK), m_prompter.Text(i));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

// The window's own image drag, driven by the begin-drag notification and the
// mouse messages of the captured window.
TEST_F(ManagerCommands, ImageDragBetweenThePanes)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("DRAG"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowAll(dlg));
    // The drop finds its target under the point: no other window may cover
    // this one.
    dlg.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    mbtest::PumpFor(100);
    auto drag = [&](CListCtrl& from, int row, POINT to) { Drag(dlg, from, row, to); };

    // Nothing selected: nothing starts.
    drag(dlg.m_pcList, 0, RowPoint(dlg.m_playerList, 0));
    EXPECT_FALSE(dlg.m_dragging);
    EXPECT_TRUE(dlg.m_calls.empty());

    // A PC file onto the player list: a download into the shown folder.
    SelectOnly(dlg.m_pcList, {"b.mp3"});
    drag(dlg.m_pcList, 1, EmptyPoint(dlg.m_playerList));
    EXPECT_FALSE(dlg.m_dragging);
    EXPECT_EQ(1, dlg.m_dragCount);
    EXPECT_EQ(std::vector<std::string>{"StartDownload"}, dlg.m_calls);
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ("s1.mp3 s2.mp3 s3.mp3 b.mp3", DiskOrder("DRAG"));
    EXPECT_EQ(PcHash("DRAG/b.mp3"), ImageHash("DRAG/b.mp3"));
    // ... onto the download list: added there.
    SelectOnly(dlg.m_pcList, {"c.wav"});
    drag(dlg.m_pcList, 2, EmptyPoint(dlg.m_downloadList));
    EXPECT_EQ("AddPcSelectionToDownloadList", dlg.m_calls.back());
    EXPECT_EQ("b.mp3 a.txt c.wav", Rows(dlg.m_downloadList, 1));

    // Player rows within the player list: the play order is written, the
    // two rows before the row they were dropped on.
    dlg.FillPlayerList();
    ASSERT_EQ("s1.mp3 s2.mp3 s3.mp3 b.mp3", Rows(dlg.m_playerList));
    dlg.m_calls.clear();
    SelectOnly(dlg.m_playerList, {"s3.mp3", "b.mp3"});
    drag(dlg.m_playerList, 3, RowPoint(dlg.m_playerList, 0));
    EXPECT_EQ(2, dlg.m_dragCount);
    EXPECT_EQ(std::vector<std::string>{"WritePlayerFileOrder"}, dlg.m_calls);
    EXPECT_EQ("s3.mp3 b.mp3 s1.mp3 s2.mp3", DiskOrder("DRAG"));
    EXPECT_EQ("s3.mp3 b.mp3 s1.mp3 s2.mp3", Rows(dlg.m_playerList));
    // ... onto the PC list: an upload into the shown PC folder.
    SelectOnly(dlg.m_playerList, {"s1.mp3"});
    drag(dlg.m_playerList, 2, EmptyPoint(dlg.m_pcList));
    EXPECT_EQ("StartUpload", dlg.m_calls.back());
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(ImageHash("DRAG/s1.mp3"), PcHash("DRAG/s1.mp3"));
    // Its new row is the row a fresh listing shows: a file's, with its size.
    auto rowTexts = [&](const std::string& name) {
        const int row = RowOf(dlg.m_pcList, name);
        std::string texts = row < 0 ? "no row" : "";
        for (int c = 0; row >= 0 && c < 4; ++c)
            texts += dlg.m_pcList.GetItemText(row, c) + "|";
        return texts;
    };
    const std::string added = rowTexts("s1.mp3");
    dlg.ReopenPcFolder();
    EXPECT_EQ(rowTexts("s1.mp3"), added);
    // ... onto a folder of the PC tree other than the shown one: the upload
    // goes into that folder, and the shown folder is not touched.
    int made = -1;
    RunHost("mkdir -p " + mbtest::ShellQuote(kPcHost + "/DRAG/Into"), &made);
    ASSERT_EQ(0, made);
    HTREEITEM into = dlg.FindPcTreeItem(m_pc + "\\Into");
    ASSERT_NE(nullptr, into);
    dlg.m_pcTree.EnsureVisible(into);
    ASSERT_NE(into, dlg.m_pcTree.GetSelectedItem());
    SelectOnly(dlg.m_playerList, {"s2.mp3"});
    drag(dlg.m_playerList, RowOf(dlg.m_playerList, "s2.mp3"), ItemPoint(dlg.m_pcTree, into));
    EXPECT_EQ("StartUpload", dlg.m_calls.back());
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(ImageHash("DRAG/s2.mp3"), PcHash("DRAG/Into/s2.mp3"));
    EXPECT_EQ("missing PC DRAG/s2.mp3", PcHash("DRAG/s2.mp3"));
    // ... onto the download list: refused, nothing happens.
    size_t calls = dlg.m_calls.size();
    SelectOnly(dlg.m_playerList, {"s2.mp3"});
    drag(dlg.m_playerList, 3, EmptyPoint(dlg.m_downloadList));
    EXPECT_EQ(calls, dlg.m_calls.size());
    EXPECT_EQ("b.mp3 a.txt c.wav", Rows(dlg.m_downloadList, 1));

    // A folder row: rows dropped on it move into it, unless the folder is
    // itself dragged (a self-drop only reorders).
    int status = -1;
    RunHost("mmd -i " + mbtest::ShellQuote(kImage) + " ::/DRAG/Inner", &status);
    ASSERT_EQ(0, status);
    ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, "DRAG"));
    ASSERT_EQ("Inner s3.mp3 b.mp3 s1.mp3 s2.mp3", Rows(dlg.m_playerList));
    const std::string s2 = ImageHash("DRAG/s2.mp3");
    dlg.m_calls.clear();
    SelectOnly(dlg.m_playerList, {"Inner", "s2.mp3"});
    drag(dlg.m_playerList, 0, RowPoint(dlg.m_playerList, 0));
    EXPECT_EQ(std::vector<std::string>{"WritePlayerFileOrder"}, dlg.m_calls);
    EXPECT_EQ("", DiskOrder("DRAG/Inner"));
    EXPECT_EQ(s2, ImageHash("DRAG/s2.mp3"));
    dlg.m_calls.clear();
    SelectOnly(dlg.m_playerList, {"s2.mp3"});
    drag(dlg.m_playerList, RowOf(dlg.m_playerList, "s2.mp3"),
         RowPoint(dlg.m_playerList, RowOf(dlg.m_playerList, "Inner")));
    EXPECT_EQ((std::vector<std::string>{"CollectSelection", "MoveOnPlayer"}), dlg.m_calls);
    EXPECT_EQ("s2.mp3", DiskOrder("DRAG/Inner"));
    EXPECT_EQ(s2, ImageHash("DRAG/Inner/s2.mp3"));
    EXPECT_EQ("missing DRAG/s2.mp3", ImageHash("DRAG/s2.mp3"));
    calls = dlg.m_calls.size();
    // During a transfer the player list does not even start a drag, and the
    // player list takes no PC file.
    dlg.m_runningOperation = CManagerDlg::OP_DOWNLOAD;
    SelectOnly(dlg.m_playerList, {"s1.mp3"});
    drag(dlg.m_playerList, RowOf(dlg.m_playerList, "s1.mp3"), EmptyPoint(dlg.m_pcList));
    EXPECT_EQ(calls, dlg.m_calls.size());
    SelectOnly(dlg.m_pcList, {"a.txt"});
    drag(dlg.m_pcList, 0, EmptyPoint(dlg.m_playerList));
    EXPECT_EQ(calls, dlg.m_calls.size());
    dlg.m_runningOperation = CManagerDlg::OP_NONE;
    EXPECT_EQ("s2.mp3", DiskOrder("DRAG/Inner"));
    for (size_t i = 0; i < m_prompter.Count(); ++i)
        EXPECT_TRUE(m_prompter.Text(i) == mb::LoadText(IDS_DOWNLOAD_STARTED) ||
                    m_prompter.Text(i) == mb::LoadText(IDS_UPLOAD_STARTED))
            << m_prompter.Text(i);
    // Another window takes the mouse mid-drag: the drag ends there, and a
    // later move out of the window, no button held, hands nothing to the
    // shell.
    SelectOnly(dlg.m_pcList, {"a.txt"});
    for (int attempt = 0; attempt < 3 && !dlg.m_dragging; ++attempt)
        BeginDrag(dlg, dlg.m_pcList, RowOf(dlg.m_pcList, "a.txt"));
    ASSERT_TRUE(dlg.m_dragging);
    SetCapture(dlg.m_pcList.m_hWnd);
    ReleaseCapture();
    ASSERT_FALSE(dlg.m_dragging);
    const RECT window = dlg.GetWindowRect();
    POINT outside{window.right + 40, window.top + 40};
    ScreenToClient(dlg.m_hWnd, &outside);
    dlg.Send(WM_MOUSEMOVE, 0, MAKELPARAM(outside.x, outside.y));
    EXPECT_EQ(0, dlg.m_shellDrags);
    EXPECT_EQ("", FsckProblems());
    mbtest::SaveScreenshot(dlg, "commands_after_drag");
    dlg.DestroyWindow();
}

// Rows dropped on the PC tree go to the folder of the item under the point,
// whatever folder the PC list shows.
TEST_F(ManagerCommands, DropsOnThePcTreeGoToTheItemUnderThePoint)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("TREEDROP"));
    ASSERT_TRUE(CreateDirectoryA((m_pc + "\\Sub").c_str(), nullptr));
    const std::string probe = "treedrop probe.txt";
    ASSERT_TRUE(CopyFileA((m_pc + "\\a.txt").c_str(), (m_pc + "\\" + probe).c_str(), FALSE));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowAll(dlg));
    dlg.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HTREEITEM sub = dlg.FindPcTreeItem(m_pc + "\\Sub");
    ASSERT_NE(nullptr, sub);
    ASSERT_NE(sub, dlg.m_pcItem);
    dlg.m_pcTree.EnsureVisible(sub);
    mbtest::PumpFor(100);

    // A player row onto the subfolder: uploaded there, not into the shown
    // folder.
    SelectOnly(dlg.m_playerList, {"s1.mp3"});
    Drag(dlg, dlg.m_playerList, RowOf(dlg.m_playerList, "s1.mp3"), ItemPoint(dlg.m_pcTree, sub));
    EXPECT_EQ("StartUpload", LastCall(dlg));
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(ImageHash("TREEDROP/s1.mp3"), PcHash("TREEDROP/Sub/s1.mp3"));
    EXPECT_EQ("missing PC TREEDROP/s1.mp3", PcHash("TREEDROP/s1.mp3"));

    // A PC row onto My Computer, which has no folder of its own: refused as
    // a shell drop there is; nothing lands in the current drive's root.
    ASSERT_NE(nullptr, dlg.m_pcRootItem);
    dlg.m_pcTree.EnsureVisible(dlg.m_pcRootItem);
    mbtest::PumpFor(100);
    dlg.m_calls.clear();
    SelectOnly(dlg.m_pcList, {probe});
    Drag(dlg, dlg.m_pcList, RowOf(dlg.m_pcList, probe), ItemPoint(dlg.m_pcTree, dlg.m_pcRootItem));
    mbtest::PumpFor(200);
    const std::string atRoot = "\\" + probe;
    const bool landed = GetFileAttributesA(atRoot.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (landed)
        DeleteFileA(atRoot.c_str());
    EXPECT_FALSE(landed);
    EXPECT_TRUE(dlg.m_calls.empty());
    ASSERT_LT(0u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_COPY_FAILED) + "\r\n" + mb::LoadText(IDS_INVALID_DIRECTORY),
              m_prompter.Text(m_prompter.Count() - 1));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

TEST_F(ManagerCommands, FilesDroppedFromTheShellReachTheirDropMessages)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("DROP", "mmd -i " + mbtest::ShellQuote(kImage) + " ::/DROP/Inner"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowAll(dlg));
    const std::string song = m_pc + "\\dropped song.mp3";
    ASSERT_TRUE(CopyFileA((m_pc + "\\b.mp3").c_str(), song.c_str(), FALSE));
    const std::string missing = m_pc + "\\no such file.mp3";

    // Onto the player list: a download of those paths into the shown folder.
    PostMessageW(dlg.m_playerList.m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({song}, POINT{5, 5})), 0);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return !dlg.m_calls.empty(); }));
    EXPECT_EQ(std::vector<std::string>{"StartDownload"}, dlg.m_calls);
    EXPECT_EQ(std::vector<std::string>{song}, dlg.m_lastDropPaths);
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(PcHash("DROP/b.mp3"), ImageHash("DROP/dropped song.mp3"));

    // Onto a player tree item: a download into that item.
    dlg.m_calls.clear();
    HTREEITEM inner = dlg.FindPlayerTreeChild(dlg.m_playerItem, "Inner");
    ASSERT_NE(nullptr, inner);
    dlg.m_playerTree.EnsureVisible(inner);
    POINT at = ItemPoint(dlg.m_playerTree, inner);
    ScreenToClient(dlg.m_playerTree.m_hWnd, &at);
    PostMessageW(dlg.m_playerTree.m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({song}, at)), 0);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return !dlg.m_calls.empty(); }));
    EXPECT_EQ(inner, dlg.m_dropTreeItem);
    ASSERT_TRUE(WaitDone(dlg));
    EXPECT_EQ(PcHash("DROP/b.mp3"), ImageHash("DROP/Inner/dropped song.mp3"));

    // Onto the download list: the entry of the same name goes, the file that
    // exists is added, the missing one is not.
    dlg.m_calls.clear();
    dlg.AddDownloadListItem(m_pc + "\\c.wav");
    PostMessageW(dlg.m_downloadList.m_hWnd, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({m_pc + "\\C.WAV", missing}, POINT{5, 5})), 0);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return !dlg.m_calls.empty(); }));
    mbtest::PumpFor(50);
    EXPECT_EQ(std::vector<std::string>{"AddDownloadListItem"}, dlg.m_calls);
    EXPECT_EQ("b.mp3 a.txt C.WAV", Rows(dlg.m_downloadList, 1));

    // Onto the PC list: copied into the shown PC folder, which is listed
    // again.
    const std::string outside = mbtest::HostWinPath(kPcHost) + "\\outside.mp3";
    ASSERT_TRUE(CopyFileA((m_pc + "\\a.txt").c_str(), outside.c_str(), FALSE));
    PostMessageW(dlg.m_pcList.m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({outside}, POINT{5, 5})), 0);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return RowOf(dlg.m_pcList, "outside.mp3") >= 0; }, 20000));
    EXPECT_EQ(PcHash("DROP/a.txt"), PcHash("DROP/outside.mp3"));
    // ... unless the list shows a shell folder that has no path, only its
    // name: nothing is copied, least of all into the current directory.
    const std::string shown = dlg.m_pcFolderPath;
    dlg.m_pcFolderPath = "DROPPED INTO A NAME";
    const std::string second = mbtest::HostWinPath(kPcHost) + "\\second.mp3";
    ASSERT_TRUE(CopyFileA((m_pc + "\\a.txt").c_str(), second.c_str(), FALSE));
    dlg.m_calls.clear();
    PostMessageW(dlg.m_pcList.m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({second}, POINT{5, 5})), 0);
    mbtest::PumpFor(500);
    const DWORD named = GetFileAttributesA("DROPPED INTO A NAME");
    if (named != INVALID_FILE_ATTRIBUTES) {
        DeleteFileA("DROPPED INTO A NAME\\second.mp3");
        RemoveDirectoryA("DROPPED INTO A NAME");
        DeleteFileA("DROPPED INTO A NAME");
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, named);
    dlg.m_pcFolderPath = shown;
    for (size_t i = 0; i < m_prompter.Count(); ++i)
        EXPECT_EQ(mb::LoadText(IDS_DOWNLOAD_STARTED), m_prompter.Text(i));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

// The PC list showing a shell folder known only by its name: Paste copies
// nothing, least of all into a folder of that name in the current directory.
TEST_F(ManagerCommands, PasteIntoAShellFolderWithoutAPathCopiesNothing)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("NAMEONLY"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowPc(dlg, m_pc));
    SelectOnly(dlg.m_pcList, {"a.txt"});
    Command(dlg, ID_PCLIST_COPY);
    ASSERT_EQ(1, dlg.m_clipboard.Operation);
    const char* name = "PASTED INTO A NAME";
    dlg.m_pcFolderPath = name;
    Command(dlg, ID_PCLIST_PASTE);
    mbtest::PumpFor(300);
    const DWORD made = GetFileAttributesA(name);
    if (made != INVALID_FILE_ATTRIBUTES) {
        DeleteFileA((std::string(name) + "\\a.txt").c_str());
        RemoveDirectoryA(name);
        DeleteFileA(name);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, made);
    ASSERT_LT(0u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_COPY_FAILED) + "\r\n" + mb::LoadText(IDS_INVALID_DIRECTORY),
              m_prompter.Text(m_prompter.Count() - 1));
    dlg.DestroyWindow();
}

// The playlist maker (the real ListForge.exe of the program folder, started
// on the memory F:): the window is disabled while it runs and enabled again
// by timer 3 once it has ended, whether the user closed it or timer 20 did
// because the player went away. A program without a process to watch never
// leaves the window disabled.
TEST_F(ManagerCommands, PlaylistMakerDisablesTheWindowUntilItEnds)
{
    ASSERT_NO_FATAL_FAILURE(MakeFolders("MAKER"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NO_FATAL_FAILURE(ShowPlayer(dlg, "MAKER"));
    DWORD makerPid = 0;
    auto makerWindow = [&](HWND other) -> HWND {
        ProcessWindow find{makerPid, other, nullptr};
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&find));
        return find.found;
    };
    for (int round = 0; round < 2; ++round) {
        dlg.StartPlaylistMaker();
        ASSERT_EQ("ListForge started", LastCall(dlg));
        ASSERT_NE(nullptr, dlg.m_startedProgram);
        EXPECT_FALSE(dlg.IsWindowEnabled());
        makerPid = GetProcessId(dlg.m_startedProgram);
        HWND maker = nullptr;
        ASSERT_TRUE(mbtest::PumpUntil([&] { return (maker = makerWindow(nullptr)) != nullptr; }, 30000));
        mbtest::PumpFor(500);
        EXPECT_FALSE(dlg.IsWindowEnabled());
        if (round == 0) {
            mbtest::SaveScreenshot(maker, "playlist_maker");
            // The user closes it.
            PostMessageW(maker, WM_CLOSE, 0, 0);
        } else {
            // The player goes: timer 20 closes the maker.
            dlg.m_memories[0].Root.clear();
        }
        // The maker asks before it ends: Yes.
        int asked = 0;
        ASSERT_TRUE(mbtest::PumpUntil(
            [&] {
                if (HWND box = makerWindow(maker)) {
                    if (!asked++)
                        mbtest::SaveScreenshot(box, "playlist_maker_exit");
                    PostMessageW(box, WM_COMMAND, IDYES, 0);
                    mbtest::PumpFor(200);
                }
                return dlg.IsWindowEnabled() != 0;
            },
            30000))
            << round;
        EXPECT_LT(0, asked);
        EXPECT_EQ(nullptr, dlg.m_startedProgram);
        dlg.KillTimer(1);
        dlg.m_memories[0].Root = "F:\\";
    }

    // Timer 3 with no process: ended at once.
    dlg.EnableWindow(false);
    dlg.Send(WM_TIMER, 3, 0);
    EXPECT_TRUE(dlg.IsWindowEnabled());
    dlg.KillTimer(20);
    dlg.DestroyWindow();
}

// Menus 158 and 142 carry the same commands in the same places in English
// and in the Korean library, and menu 158's submenus are those the window
// greys.
TEST(ManagerMenus, EnglishAndKoreanMenusAgree)
{
    auto ids = [](HMENU menu) {
        std::vector<unsigned> out;
        for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
            UINT id = GetMenuItemID(menu, i);
            if (id != 0 && id != UINT(-1))
                out.push_back(id);
        }
        return out;
    };
    HMODULE korean = LoadLibraryExA("korean\\Vilo LarkKR.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, korean);
    HMENU english = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(158));
    HMENU hangul = LoadMenuW(korean, MAKEINTRESOURCEW(158));
    ASSERT_NE(nullptr, english);
    ASSERT_NE(nullptr, hangul);
    ASSERT_EQ(5, GetMenuItemCount(english));
    ASSERT_EQ(5, GetMenuItemCount(hangul));
    for (int submenu = 0; submenu < 5; ++submenu) {
        EXPECT_EQ(SubmenuCommands(submenu), ids(GetSubMenu(english, submenu))) << submenu;
        EXPECT_EQ(SubmenuCommands(submenu), ids(GetSubMenu(hangul, submenu))) << submenu;
    }
    DestroyMenu(english);
    DestroyMenu(hangul);

    english = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(142));
    hangul = LoadMenuW(korean, MAKEINTRESOURCEW(142));
    ASSERT_NE(nullptr, english);
    ASSERT_NE(nullptr, hangul);
    std::vector<unsigned> all, allKorean;
    for (int i = 0; i < GetMenuItemCount(english); ++i) {
        std::vector<unsigned> e = ids(GetSubMenu(english, i)), k = ids(GetSubMenu(hangul, i));
        all.insert(all.end(), e.begin(), e.end());
        allKorean.insert(allKorean.end(), k.begin(), k.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ((std::vector<unsigned>{32780, 32809, 32812, 32813, 32814, 32820, 32821, 32822, 32823, 32824, 32825,
                                     32827, 32828, 32830, 32832, 32833, 32835}),
              all);
    std::sort(allKorean.begin(), allKorean.end());
    EXPECT_EQ(all, allKorean);
    DestroyMenu(english);
    DestroyMenu(hangul);
    FreeLibrary(korean);
}
