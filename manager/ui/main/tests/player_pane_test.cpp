// The player pane on a served memory (drive J): the list shows a folder in
// its directory order, the views show the right kinds, and the play order
// written by Move up / Move down / a drop lands on the image, checked from
// the host with mdir, fsck.fat and the files' hashes through mtype.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FsckOutput.h"
#include "GuiTest.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "StringIds.h"
#include "Text.h"

namespace {

const std::string kState = PANE_MEMORY_STATE;
const std::string kImage = kState + "/internal/raw/image";
const std::string kFiles = kState + "/internal/files";

using Host = mbtest::HostResult;

Host RunHost(const std::string& command) { return mbtest::RunHostCommand(command, kState); }

// Makes ::/folder on the image and copies the files into it in this order
// (a name ending in "/" becomes a subfolder); each file holds its own bytes.
void MakeFolder(const std::string& folder, const std::vector<std::string>& names)
{
    const std::string target = folder.empty() ? "::/" : "::/" + folder + "/";
    std::string cmd = "set -e; t=$(mktemp -d); ";
    // A folder left by an earlier run of the case is made again.
    if (!folder.empty())
        cmd += "{ mdeltree -i " + mbtest::ShellQuote(kImage) + " ::/" + folder + " >/dev/null 2>&1 || true; }; mmd -i " +
               mbtest::ShellQuote(kImage) + " ::/" + folder + "; ";
    for (const std::string& n : names) {
        if (n.back() == '/')
            cmd += "mmd -i " + mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote(target + n.substr(0, n.size() - 1)) + "; ";
        else
            cmd += "head -c $((3000 + ${#RANDOM} * 777)) /dev/urandom > \"$t/" + n + "\"; mcopy -D o -i " + mbtest::ShellQuote(kImage) +
                   " \"$t/" + n + "\" " + mbtest::ShellQuote(target) + "; ";
    }
    cmd += "rm -rf \"$t\"";
    Host h = RunHost(cmd);
    ASSERT_EQ(0, h.Status) << h.Output;
}

// mdir's names of a folder in directory order.
std::string DiskOrder(const std::string& folder)
{
    Host h = RunHost("mdir -b -i " + mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote("::/" + folder) + " | sed -e 's:/$::' -e 's:.*/::'");
    std::string out;
    std::istringstream in(h.Output);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            out += (out.empty() ? "" : " ") + line;
    return out;
}

// Each file's name and hash through mtype, sorted by name: the same after
// any reorder.
std::string FileHashes(const std::string& folder)
{
    return RunHost("for f in $(mdir -b -i " + mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote("::/" + folder) +
                   " | sort); do case $f in */) ;; *) echo \"$f $(mtype -i " + mbtest::ShellQuote(kImage) +
                   " \"$f\" | sha256sum | cut -c1-16)\";; esac; done")
        .Output;
}

std::string FsckProblems()
{
    Host h = RunHost("fsck.fat -n " + mbtest::ShellQuote(kImage));
    return h.Status == 0 ? FsckComplaints(h.Output) : "fsck.fat failed: " + h.Output;
}

std::string ImageHash() { return RunHost("sha256sum " + mbtest::ShellQuote(kImage) + " | cut -c1-64").Output; }

std::string Rows(CListCtrl& list)
{
    std::string out;
    for (int i = 0; i < list.GetItemCount(); ++i)
        out += (out.empty() ? "" : " ") + list.GetItemText(i, 0);
    return out;
}

std::string SelectedRows(CListCtrl& list)
{
    std::string out;
    for (int i : list.GetSelectedItems())
        out += (out.empty() ? "" : " ") + list.GetItemText(i, 0);
    return out;
}

void Shoot(CManagerDlg& dlg, const std::string& name)
{
    dlg.ShowWindow(SW_SHOW);
    SetForegroundWindow(dlg.m_hWnd);
    dlg.RedrawNow();
    mbtest::PumpFor(500);
    mbtest::SaveScreenshot(dlg, name);
}

// Counts the window's paints.
class CCountingDlg : public CManagerDlg {
public:
    volatile LONG m_paints = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_PAINT)
            InterlockedIncrement(&m_paints);
        return CManagerDlg::WindowProc(msg, wp, lp);
    }
};

class PlayerPane : public mbtest::GuiTest {
protected:
    PlayerPane() : mbtest::GuiTest(90000) {}

    bool Open(CManagerDlg& dlg)
    {
        if (!dlg.Create())
            return false;
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        for (UINT_PTR id : {1, 4, 12, 13})
            dlg.KillTimer(id);
        return ready && IsWindow(dlg.m_hWnd);
    }

    // Shows folder of the internal memory J: as player detection would.
    void ShowFolder(CManagerDlg& dlg, const std::string& folder, int filter = 8)
    {
        dlg.m_memories[0].Root = "J:\\";
        dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
        dlg.m_fileKindFilter = filter;
        TheSysCtrl().SetNewMedia();
        TheSysCtrl().InitDirectory("J:\\");
        dlg.RebuildPlayerTree(dlg.m_memories[0], "J:\\" + folder + (folder.empty() ? "" : "\\"));
        // The tree selection settles through timer 10, which lists the folder.
        ASSERT_TRUE(mbtest::PumpUntil(
            [&] { return dlg.m_playerItem != nullptr && dlg.m_playerItem == dlg.m_playerTree.GetSelectedItem(); },
            10000));
        mbtest::PumpFor(200);
    }

    void Select(CManagerDlg& dlg, const std::vector<std::string>& names)
    {
        dlg.m_playerList.DeselectItem(-1);
        for (const std::string& n : names)
            dlg.m_playerList.Select(dlg.m_playerList.FindRow(n));
    }

    mbtest::CRecordingPrompter m_prompter;
};

}  // namespace

TEST_F(PlayerPane, ListsFoldersInDiskOrderWithTheViewsKinds)
{
    MakeFolder("ORD", {"c.mp3", "a.mp3", "Zed/", "b.wma", "d.wav", "SETTINGS.DAT", "e.mp3", "Albums/"});
    MakeFolder("", {"SETTINGS.DAT"});
    ASSERT_EQ("c.mp3 a.mp3 Zed b.wma d.wav SETTINGS.DAT e.mp3 Albums", DiskOrder("ORD"));
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "ORD");
    EXPECT_EQ("J:\\ORD\\", dlg.GetPlayerFolderPath());
    // All files: folders by name, then the files in directory order;
    // SETTINGS.DAT outside the root is listed.
    EXPECT_EQ("Albums Zed c.mp3 a.mp3 b.wma d.wav SETTINGS.DAT e.mp3", Rows(dlg.m_playerList));
    EXPECT_EQ("", dlg.m_playerList.GetItemText(0, 1));
    EXPECT_NE("", dlg.m_playerList.GetItemText(2, 1));
    EXPECT_NE(std::string::npos, dlg.m_playerList.GetItemText(2, 1).find(" KB"));
    Shoot(dlg, "player_pane_files");

    // Music: the MP3 files, then the WMA files; no folders, no WAV.
    dlg.m_fileKindFilter = 2;
    dlg.FillPlayerList();
    EXPECT_EQ("c.mp3 a.mp3 e.mp3 b.wma", Rows(dlg.m_playerList));
    // The tree still shows the subfolders.
    HTREEITEM shown = dlg.m_playerTree.GetSelectedItem();
    EXPECT_NE(nullptr, dlg.m_playerTree.FindChild("Albums", shown));
    EXPECT_NE(nullptr, dlg.m_playerTree.FindChild("Zed", shown));

    // The root: the settings file is never listed; the label file neither.
    dlg.m_fileKindFilter = 8;
    dlg.RebuildPlayerTree(dlg.m_memories[0], "J:\\");
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_playerItem == dlg.m_playerTree.GetRootItem(); }, 10000));
    mbtest::PumpFor(200);
    std::string root = Rows(dlg.m_playerList);
    EXPECT_EQ(std::string::npos, root.find("SETTINGS.DAT")) << root;
    EXPECT_EQ(std::string::npos, root.find(".windows-label")) << root;
    EXPECT_NE(std::string::npos, root.find("ORD")) << root;
    // The root item shows the volume's label (a volume without one is given
    // the player's name).
    char label[64] = {};
    GetVolumeInformationA("J:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(label[0] ? std::string(label) : "Vilo Lark", dlg.m_playerTree.GetItemText(dlg.m_playerTree.GetRootItem()));
    EXPECT_EQ(0u, m_prompter.Count()) << (m_prompter.Count() ? m_prompter.Text(0) : "");

    // A click makes the clicked pane the active one.
    NMHDR click{dlg.m_playerList.m_hWnd, 1002, static_cast<UINT>(NM_CLICK)};
    dlg.Send(WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(CManagerDlg::PANE_PLAYER_LIST, dlg.m_activePane);
    // A click on the tree also takes the highlight off the item a context
    // menu was opened on (and left with Escape).
    HTREEITEM context = dlg.m_playerTree.FindChild("ORD", dlg.m_playerTree.GetRootItem());
    ASSERT_NE(nullptr, context);
    dlg.m_playerContextItem = context;
    dlg.m_playerTree.SelectDropTarget(context);
    ASSERT_EQ(context, dlg.m_playerTree.GetDropHilightItem());
    click = NMHDR{dlg.m_playerTree.m_hWnd, 1004, static_cast<UINT>(NM_CLICK)};
    dlg.Send(WM_NOTIFY, 1004, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(CManagerDlg::PANE_PLAYER_TREE, dlg.m_activePane);
    EXPECT_EQ(nullptr, dlg.m_playerTree.GetDropHilightItem());
    dlg.DestroyWindow();
}

TEST_F(PlayerPane, MovesAndDropsRewriteTheOrderOnTheDisk)
{
    MakeFolder("ROAD", {"t1.mp3", "t2.mp3", "t3.mp3", "t4.mp3", "t5.mp3", "notes.txt"});
    const std::string hashes = FileHashes("ROAD");
    ASSERT_NE("", hashes);
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "ROAD", 2);
    ASSERT_EQ("t1.mp3 t2.mp3 t3.mp3 t4.mp3 t5.mp3", Rows(dlg.m_playerList));

    struct Step {
        int kind;
        int dropRow;
        std::vector<std::string> select;
        const char* list;
        const char* disk;
    } steps[] = {
        {0, 0, {"t3.mp3"}, "t1.mp3 t3.mp3 t2.mp3 t4.mp3 t5.mp3", "t1.mp3 t3.mp3 t2.mp3 t4.mp3 t5.mp3 notes.txt"},
        {0, 0, {"t3.mp3"}, "t3.mp3 t1.mp3 t2.mp3 t4.mp3 t5.mp3", "t3.mp3 t1.mp3 t2.mp3 t4.mp3 t5.mp3 notes.txt"},
        {2, 0, {"t3.mp3"}, "t1.mp3 t3.mp3 t2.mp3 t4.mp3 t5.mp3", "t1.mp3 t3.mp3 t2.mp3 t4.mp3 t5.mp3 notes.txt"},
        // Two rows dropped onto the first row go above every other row; the
        // text file the music view hides keeps its place.
        {3, 0, {"t4.mp3", "t5.mp3"}, "t4.mp3 t5.mp3 t1.mp3 t3.mp3 t2.mp3",
         "t4.mp3 t5.mp3 t1.mp3 t3.mp3 t2.mp3 notes.txt"},
    };
    for (const Step& s : steps) {
        Select(dlg, s.select);
        dlg.WritePlayerFileOrder(s.kind, s.dropRow);
        EXPECT_EQ(0u, m_prompter.Count()) << (m_prompter.Count() ? m_prompter.Text(0) : "");
        EXPECT_EQ(s.list, Rows(dlg.m_playerList));
        EXPECT_EQ(s.disk, DiskOrder("ROAD"));
        EXPECT_EQ("", FsckProblems());
        EXPECT_EQ(hashes, FileHashes("ROAD"));
    }
    EXPECT_EQ("t4.mp3 t5.mp3", SelectedRows(dlg.m_playerList));
    Shoot(dlg, "player_pane_reordered");

    // Nothing selected: string 139, nothing written.
    dlg.m_playerList.DeselectItem(-1);
    std::string before = ImageHash();
    dlg.WritePlayerFileOrder(0, 0);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_SELECT_ONE_FILE), m_prompter.Text(0));
    EXPECT_EQ(before, ImageHash());
    dlg.DestroyWindow();
}

TEST_F(PlayerPane, StaleListWritesNothing)
{
    MakeFolder("STALE", {"s1.mp3", "s2.mp3", "s3.mp3"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "STALE");
    ASSERT_EQ("s1.mp3 s2.mp3 s3.mp3", Rows(dlg.m_playerList));
    // A file arrives behind the window's back, through the file view.
    Host h = RunHost("head -c 5000 /dev/urandom > " + mbtest::ShellQuote(kFiles + "/STALE/late.mp3"));
    ASSERT_EQ(0, h.Status) << h.Output;
    const std::string order = DiskOrder("STALE");
    ASSERT_EQ("s1.mp3 s2.mp3 s3.mp3 late.mp3", order);
    const std::string before = ImageHash();
    Select(dlg, {"s3.mp3"});
    dlg.WritePlayerFileOrder(0, 0);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(0u, m_prompter.Text(0).find(mb::LoadText(IDS_ORDER_FAILED))) << m_prompter.Text(0);
    EXPECT_EQ(before, ImageHash());
    EXPECT_EQ(order, DiskOrder("STALE"));
    // The folder was listed again: the next write works.
    EXPECT_EQ("s1.mp3 s2.mp3 s3.mp3 late.mp3", Rows(dlg.m_playerList));
    Select(dlg, {"late.mp3"});
    dlg.WritePlayerFileOrder(0, 0);
    EXPECT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("s1.mp3 s2.mp3 late.mp3 s3.mp3", DiskOrder("STALE"));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

// The list is filled again after every file a transfer brings; it reads the
// folder's order from the raw sectors and writes nothing, even where deleted
// entries lie between the live ones (the file system may be writing that
// folder at the same moment).
TEST_F(PlayerPane, RefillingTheListWritesNothing)
{
    MakeFolder("GAPS", {"g1.mp3", "g2.mp3", "g3.mp3", "g4.mp3"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "GAPS");
    ASSERT_EQ("g1.mp3 g2.mp3 g3.mp3 g4.mp3", Rows(dlg.m_playerList));
    Host h = RunHost("mdel -i " + mbtest::ShellQuote(kImage) + " ::/GAPS/g1.mp3 ::/GAPS/g3.mp3");
    ASSERT_EQ(0, h.Status) << h.Output;
    const std::string before = ImageHash();
    dlg.FillPlayerList();
    EXPECT_EQ("g2.mp3 g4.mp3", Rows(dlg.m_playerList));
    EXPECT_EQ(before, ImageHash());
    dlg.DestroyWindow();
}

TEST_F(PlayerPane, RenameAndNewFolderLandOnTheDisk)
{
    MakeFolder("REN", {"r1.mp3", "r2.mp3", "notes.txt"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "REN");
    ASSERT_EQ("r1.mp3 r2.mp3 notes.txt", Rows(dlg.m_playerList));

    auto rename = [&](const std::string& from, const std::string& to, UINT key) {
        int row = dlg.m_playerList.FindRow(from);
        dlg.m_playerList.SetFocus();
        HWND edit = dlg.m_playerList.EditLabel(row);
        ASSERT_NE(nullptr, edit);
        SetWindowTextA(edit, to.c_str());
        mbtest::PostKey(edit, key);
        mbtest::PumpUntil([&] { return !dlg.m_playerList.GetEditControl(); }, 5000);
        mbtest::PumpFor(100);
    };
    rename("r1.mp3", "first.wma", VK_RETURN);
    EXPECT_EQ(0u, m_prompter.Count()) << (m_prompter.Count() ? m_prompter.Text(0) : "");
    EXPECT_EQ("first.wma r2.mp3 notes.txt", Rows(dlg.m_playerList));
    // The file system puts the renamed entry where its longer name fits.
    const std::string renamed = DiskOrder("REN");
    EXPECT_EQ("r2.mp3 notes.txt first.wma", renamed);
    // Escape cancels; a music file cannot become a text file.
    rename("r2.mp3", "gone.mp3", VK_ESCAPE);
    EXPECT_EQ(renamed, DiskOrder("REN"));
    rename("r2.mp3", "r2.txt", VK_RETURN);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_MUSIC_TO_OTHER), m_prompter.Text(0));
    EXPECT_EQ(renamed, DiskOrder("REN"));

    dlg.NewPlayerFolder(3, dlg.m_playerItem);
    mbtest::PumpFor(200);
    if (HWND edit = dlg.m_playerList.GetEditControl())
        mbtest::PostKey(edit, VK_ESCAPE);
    mbtest::PumpFor(200);
    EXPECT_EQ(renamed + " New Folder", DiskOrder("REN"));
    EXPECT_NE(nullptr, dlg.m_playerTree.FindChild("New Folder", dlg.m_playerItem));

    // The next order write starts from the renamed directory, also from the
    // rows as the renames left them.
    Select(dlg, {"notes.txt"});
    dlg.WritePlayerFileOrder(0, 0);
    EXPECT_EQ(1u, m_prompter.Count()) << m_prompter.Text(m_prompter.Count() - 1);
    EXPECT_EQ("notes.txt r2.mp3 first.wma New Folder", DiskOrder("REN"));
    EXPECT_EQ("New Folder notes.txt r2.mp3 first.wma", Rows(dlg.m_playerList));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

TEST_F(PlayerPane, DeletingAFolderFromTheTree)
{
    MakeFolder("DEL", {"Keep/", "Only/", "x.mp3"});
    MakeFolder("DEL/Only", {"Inner/", "y.mp3"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "DEL\\Only\\Inner");
    ASSERT_EQ("J:\\DEL\\Only\\Inner\\", dlg.GetPlayerFolderPath());
    HTREEITEM inner = dlg.m_playerItem;
    // No: nothing goes.
    m_prompter.QueueAnswer(IDNO);
    EXPECT_EQ(1, dlg.DeletePlayerFolder(inner));
    EXPECT_EQ("Inner y.mp3", DiskOrder("DEL/Only"));
    // Yes, by the tree's Delete key: the folder goes, its parent is put back
    // without children and shown.
    m_prompter.QueueAnswer(IDYES);
    dlg.m_playerTree.SetFocus();
    mbtest::PostKey(dlg.m_playerTree.m_hWnd, VK_DELETE);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return m_prompter.Count() == 2; }, 5000));
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_playerItem != nullptr; }, 5000));
    EXPECT_EQ("Do you want to delete the selected file(s) or folder(s)?", m_prompter.Text(1));
    EXPECT_EQ("y.mp3", DiskOrder("DEL/Only"));
    EXPECT_EQ("J:\\DEL\\Only\\", dlg.GetPlayerFolderPath());
    HTREEITEM only = dlg.m_playerTree.GetSelectedItem();
    EXPECT_EQ("Only", dlg.m_playerTree.GetItemText(only));
    EXPECT_EQ(nullptr, dlg.m_playerTree.FindChild("Inner", only));
    EXPECT_EQ("", FsckProblems());
    // The root item is never deleted.
    EXPECT_EQ(1, dlg.DeletePlayerFolder(dlg.m_playerTree.GetRootItem()));
    EXPECT_EQ(2u, m_prompter.Count());
    dlg.DestroyWindow();
}

TEST_F(PlayerPane, RenamingAFolderInTheTree)
{
    MakeFolder("TREN", {"Old/", "t.mp3"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "TREN");
    ASSERT_EQ("Old t.mp3", Rows(dlg.m_playerList));
    HTREEITEM old = dlg.m_playerTree.FindChild("Old", dlg.m_playerItem);
    ASSERT_NE(nullptr, old);
    auto rename = [&](const std::string& to) {
        dlg.m_playerTree.SetFocus();
        HWND edit = dlg.m_playerTree.EditLabel(old);
        ASSERT_NE(nullptr, edit);
        SetWindowTextA(edit, to.c_str());
        mbtest::PostKey(edit, VK_RETURN);
        mbtest::PumpUntil([&] { return !dlg.m_playerTree.GetEditControl(); }, 5000);
        mbtest::PumpFor(100);
    };
    rename("a:b");
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_BAD_FOLDER_NAME), m_prompter.Text(0));
    EXPECT_EQ("Old t.mp3", DiskOrder("TREN"));
    rename("Newer Name");
    EXPECT_EQ(1u, m_prompter.Count()) << m_prompter.Text(m_prompter.Count() - 1);
    EXPECT_EQ("Newer Name", dlg.m_playerTree.GetItemText(old));
    EXPECT_EQ("Newer Name t.mp3", Rows(dlg.m_playerList));
    std::string disk = DiskOrder("TREN");
    EXPECT_NE(std::string::npos, disk.find("Newer Name")) << disk;
    EXPECT_EQ(std::string::npos, disk.find("Old")) << disk;
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

// Right after another folder is chosen in the tree the list still holds the
// rows of the folder shown before (it is listed again by a timer): a key
// pressed at once acts on the chosen folder, never on the one before it.
TEST_F(PlayerPane, AKeyRightAfterChoosingAFolderActsOnThatFolder)
{
    MakeFolder("PICK", {"A/", "B/", "C/"});
    MakeFolder("PICK/A", {"a.mp3"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "PICK\\A");
    HTREEITEM pick = dlg.m_playerTree.GetParentItem(dlg.m_playerItem);
    HTREEITEM c = dlg.m_playerTree.FindChild("C", pick);
    ASSERT_NE(nullptr, c);
    dlg.m_playerTree.SetFocus();
    dlg.m_playerTree.SelectItem(c);
    m_prompter.QueueAnswer(IDYES);
    mbtest::PostKey(dlg.m_playerTree.m_hWnd, VK_DELETE);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return m_prompter.Count() == 1; }, 5000));
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_playerItem != nullptr; }, 5000));
    EXPECT_EQ("A B", DiskOrder("PICK"));
    EXPECT_EQ("a.mp3", DiskOrder("PICK/A"));
    EXPECT_EQ("", FsckProblems());
    dlg.DestroyWindow();
}

// The same moment from the list: a row of the folder shown before, selected
// and deleted at once, never takes a file of the same name in the chosen one.
TEST_F(PlayerPane, RowsOfTheFolderShownBeforeAreNotTakenForTheChosenOnes)
{
    MakeFolder("ROWS", {"A/", "B/"});
    MakeFolder("ROWS/A", {"same.mp3", "a.mp3"});
    MakeFolder("ROWS/B", {"same.mp3"});
    const std::string hashes = FileHashes("ROWS/B");
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "ROWS\\A");
    ASSERT_EQ("same.mp3 a.mp3", Rows(dlg.m_playerList));
    HTREEITEM b = dlg.m_playerTree.FindChild("B", dlg.m_playerTree.GetParentItem(dlg.m_playerItem));
    ASSERT_NE(nullptr, b);
    dlg.m_playerTree.SelectItem(b);
    dlg.m_playerList.DeselectItem(-1);
    const int row = dlg.m_playerList.FindRow("same.mp3");
    if (row >= 0)
        dlg.m_playerList.Select(row);
    m_prompter.QueueAnswer(IDYES);
    dlg.DeleteOnPlayer();
    EXPECT_EQ("same.mp3", DiskOrder("ROWS/B"));
    EXPECT_EQ(hashes, FileHashes("ROWS/B"));
    EXPECT_EQ("same.mp3 a.mp3", DiskOrder("ROWS/A"));
    // Once listed, the chosen folder's rows are its own.
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_playerItem == b; }, 5000));
    EXPECT_EQ("same.mp3", Rows(dlg.m_playerList));
    dlg.DestroyWindow();
}

// The list's and the tree's keys: Ctrl+C in the list, Ctrl+V in another
// folder's list and on a tree folder copy on the player; Delete in the list
// deletes; the fourth Ctrl+Alt+Shift+J switches the test mode on (its buttons
// show), the fifth off.
TEST_F(PlayerPane, ListAndTreeKeysCopyPasteDeleteAndSwitchTheTestMode)
{
    MakeFolder("KEYS", {"A/", "B/", "one.mp3", "two.mp3"});
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ShowFolder(dlg, "KEYS");
    Select(dlg, {"one.mp3"});
    dlg.m_playerList.SetFocus();
    auto press = [&](HWND target, UINT vk, std::initializer_list<UINT> held) {
        mbtest::CHeldKeys keys(held);
        mbtest::PostKey(target, vk);
        mbtest::PumpFor(100);
    };
    press(dlg.m_playerList.m_hWnd, 'C', {VK_CONTROL});
    EXPECT_EQ(TRANSFER_PLAYER_COPY, dlg.m_clipboard.Operation);

    ShowFolder(dlg, "KEYS\\A");
    dlg.m_playerList.SetFocus();
    press(dlg.m_playerList.m_hWnd, 'V', {VK_CONTROL});
    EXPECT_TRUE(mbtest::PumpUntil([&] { return DiskOrder("KEYS/A") == "one.mp3"; }, 20000)) << DiskOrder("KEYS/A");
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_runningOperation == CManagerDlg::OP_NONE; }, 20000));

    ShowFolder(dlg, "KEYS\\B");
    dlg.m_playerTree.SetFocus();
    press(dlg.m_playerTree.m_hWnd, 'V', {VK_CONTROL});
    EXPECT_TRUE(mbtest::PumpUntil([&] { return DiskOrder("KEYS/B") == "one.mp3"; }, 20000)) << DiskOrder("KEYS/B");
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_runningOperation == CManagerDlg::OP_NONE; }, 20000));
    EXPECT_EQ("A B one.mp3 two.mp3", DiskOrder("KEYS"));

    ShowFolder(dlg, "KEYS\\A");
    Select(dlg, {"one.mp3"});
    dlg.m_playerList.SetFocus();
    const size_t asked = m_prompter.Count();
    m_prompter.QueueAnswer(IDYES);
    press(dlg.m_playerList.m_hWnd, VK_DELETE, {});
    EXPECT_TRUE(mbtest::PumpUntil([&] { return DiskOrder("KEYS/A").empty(); }, 10000)) << DiskOrder("KEYS/A");
    EXPECT_EQ(asked + 1, m_prompter.Count());
    EXPECT_EQ("", FsckProblems());

    HWND test = ::GetDlgItem(dlg.m_hWnd, 1117);
    ASSERT_NE(nullptr, test);
    // Shown by its own style: the test's window itself is never shown.
    auto shown = [](HWND w) { return (::GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0; };
    const size_t before = m_prompter.Count();
    for (int i = 0; i < 3; ++i)
        press(dlg.m_playerList.m_hWnd, 'J', {VK_CONTROL, VK_MENU, VK_SHIFT});
    EXPECT_EQ(before, m_prompter.Count());
    EXPECT_FALSE(shown(test));
    press(dlg.m_playerList.m_hWnd, 'J', {VK_CONTROL, VK_MENU, VK_SHIFT});
    ASSERT_EQ(before + 1, m_prompter.Count());
    EXPECT_EQ("Test mode", m_prompter.Text(before));
    EXPECT_TRUE(shown(test));
    EXPECT_TRUE(shown(::GetDlgItem(dlg.m_hWnd, 1118)));
    press(dlg.m_playerList.m_hWnd, 'J', {VK_CONTROL, VK_MENU, VK_SHIFT});
    ASSERT_EQ(before + 2, m_prompter.Count());
    EXPECT_EQ("Normal mode", m_prompter.Text(before + 1));
    EXPECT_FALSE(shown(test));
    // A plain J is no chord.
    press(dlg.m_playerList.m_hWnd, 'J', {});
    EXPECT_EQ(before + 2, m_prompter.Count());
    dlg.DestroyWindow();
}

// An idle window paints a few times, not on and on: painting draws the
// space lines without asking for another paint.
TEST_F(PlayerPane, IdleWindowStopsPainting)
{
    CCountingDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000));
    dlg.m_memories[0].Root = "J:\\";
    dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
    dlg.UpdateSpaceInfo(1);
    dlg.RedrawNow();
    mbtest::PumpFor(1000);
    InterlockedExchange(&dlg.m_paints, 0);
    mbtest::PumpFor(2000);
    EXPECT_LE(dlg.m_paints, 3);
    EXPECT_NE(std::string::npos, dlg.m_spaceLineMemory.find("Total ")) << dlg.m_spaceLineMemory;
    Shoot(dlg, "player_pane_space_lines");
    dlg.DestroyWindow();
}
