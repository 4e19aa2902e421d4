// The transfer commands and the download list in the main dialog, on the
// simulated player's memories: I: (the player's memory) and H: (a small one
// that fills up). The PC side is a folder reached by its Z:\ path. Each suite
// leaves its files for check-images.sh, which compares the image's files with
// the PC's (mcopy, sha256) and runs fsck.fat.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "GuiTest.h"
#include "ManagerDlg.h"
#include "OverwriteDlg.h"
#include "StringIds.h"
#include "Text.h"

namespace {

std::string Work()
{
    const char* work = std::getenv("MB_XFER_WORK");
    std::string z = "Z:";
    for (const char* p = work ? work : ""; *p; ++p)
        z += *p == '/' ? '\\' : *p;
    return z;
}

std::string Pc(const std::string& name) { return Work() + "\\pc\\" + name; }

std::vector<unsigned char> Pattern(std::size_t size, unsigned seed)
{
    std::vector<unsigned char> v(size);
    unsigned x = seed * 2654435761u + 7;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return v;
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    const bool ok = data.empty() || (WriteFile(h, data.data(), DWORD(data.size()), &put, nullptr) && put == data.size());
    CloseHandle(h);
    return ok;
}

std::string ReadText(const std::string& path)
{
    std::string out;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got)
        out.append(buffer, got);
    CloseHandle(h);
    return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SameFile(const std::string& a, const std::string& b)
{
    const std::string x = ReadText(a), y = ReadText(b);
    return Exists(a) && Exists(b) && x == y;
}

std::string Rows(CListCtrl& list)
{
    std::string out;
    for (int i = 0; i < list.GetItemCount(); ++i)
        out += list.GetItemText(i, 0) + " " + list.GetItemText(i, 1) + " [" + list.GetItemText(i, 3) + "];";
    return out;
}

class TransferWindow : public mbtest::GuiTest {
protected:
    TransferWindow() : mbtest::GuiTest(90000) {}

    void SetUp() override
    {
        CreateDirectoryA(Work().c_str(), nullptr);
        CreateDirectoryA((Work() + "\\pc").c_str(), nullptr);
        ASSERT_TRUE(dlg.Create());
        ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000));
        for (UINT_PTR id : {1, 4, 12, 13})
            dlg.KillTimer(id);
        dlg.ShowWindow(SW_SHOW);
        dlg.OsLevel = 3;
    }
    void TearDown() override
    {
        if (IsWindow(dlg.m_hWnd))
            dlg.DestroyWindow();
        mbtest::GuiTest::TearDown();
    }
    // The player's memory as the detection would leave it, and its tree.
    HTREEITEM UseMemory(const std::string& root, int memory = CManagerDlg::MEMORY_INTERNAL)
    {
        dlg.m_memories[memory].Root = root;
        dlg.m_currentMemory = memory;
        dlg.m_playerTree.DeleteAllItems();
        HTREEITEM top = dlg.m_playerTree.InsertItem(root);
        dlg.m_playerTree.SelectItem(top);
        return top;
    }
    // A folder on the memory and its item as the user reaches it: the parent
    // opened (the pane lists it from the memory), then the child. An item put
    // by hand below a closed parent is deleted when selecting it opens the
    // parent, and the selection falls back to the parent.
    HTREEITEM Folder(HTREEITEM parent, const std::string& name)
    {
        CreateDirectoryA((dlg.PlayerItemPath(parent) + name).c_str(), nullptr);
        dlg.FillFolderChildren(parent);
        dlg.m_playerTree.Expand(parent);
        return dlg.m_playerTree.FindChild(name, parent);
    }
    std::string MakePc(const std::string& name, std::size_t size, unsigned seed)
    {
        EXPECT_TRUE(WriteBytes(Pc(name), Pattern(size, seed))) << name;
        return Pc(name);
    }
    // Waits until the engine and the settle step are done, answering any
    // overwrite dialog with the answers given, in order.
    bool WaitDone(std::vector<UINT> answers = {})
    {
        std::size_t next = 0;
        return mbtest::PumpUntil(
            [&] {
                HWND h = mbtest::FindProcessWindow(L"Overwrite");
                if (h && IsWindowVisible(h) && next < answers.size()) {
                    ++asked;
                    lastQuestion = mbtest::ItemText(h, IDC_OVERWRITE_QUESTION);
                    if (asked == 1)
                        mbtest::SaveScreenshot(h, "xfer_overwrite");
                    mbtest::Click(h, answers[next++]);
                    mbtest::PumpUntil([h] { return !IsWindow(h); }, 5000);
                }
                return !dlg.m_engine.GetStatus(nullptr) && dlg.m_runningOperation == CManagerDlg::OP_NONE;
            },
            60000);
    }
    bool Said(UINT id) const
    {
        const std::string text = mb::LoadText(id);
        for (std::size_t i = 0; i < prompter.Count(); ++i)
            if (prompter.Text(i) == text)
                return true;
        return false;
    }
    bool SaidStarting(const std::string& start) const
    {
        for (std::size_t i = 0; i < prompter.Count(); ++i)
            if (prompter.Text(i).compare(0, start.size(), start) == 0)
                return true;
        return false;
    }

    mbtest::CRecordingPrompter prompter{IDYES};
    CManagerDlg dlg;
    int asked = 0;
    std::wstring lastQuestion;
};

// ---- the download command -------------------------------------------------------

TEST_F(TransferWindow, DownloadCommandCopiesFilesAndATreeByteForByte)
{
    HTREEITEM top = UseMemory("I:\\");
    HTREEITEM music = Folder(top, "Music");
    CreateDirectoryA(Pc("Tree").c_str(), nullptr);
    CreateDirectoryA(Pc("Tree\\Inner").c_str(), nullptr);
    const std::vector<std::string> items = {MakePc("one.mp3", 100000, 1), MakePc("two.wma", 333333, 2),
                                            MakePc("three.wav", 16384, 3), Pc("Tree")};
    MakePc("Tree\\a.mp3", 70001, 4);
    MakePc("Tree\\Inner\\b.mp3", 5, 5);
    dlg.StartDownload(items, music, TRANSFER_DOWNLOAD);
    EXPECT_EQ(CManagerDlg::OP_DOWNLOAD, dlg.m_runningOperation);
    ASSERT_TRUE(WaitDone());
    EXPECT_TRUE(Said(IDS_DOWNLOAD_STARTED));
    for (const char* name : {"one.mp3", "two.wma", "three.wav", "Tree\\a.mp3", "Tree\\Inner\\b.mp3"})
        EXPECT_TRUE(SameFile(Pc(name), std::string("I:\\Music\\") + name)) << name;
    EXPECT_FALSE(Exists("I:\\Music\\CopyTest.mp3"));
    mbtest::SaveScreenshot(dlg.m_hWnd, "xfer_after_download");
}

TEST_F(TransferWindow, DownloadCommandRefusesWhatWouldGoWrong)
{
    HTREEITEM top = UseMemory("I:\\");
    HTREEITEM album = Folder(top, "Album");
    HTREEITEM inner = Folder(album, "Inner");
    WriteBytes("I:\\Album\\x.mp3", Pattern(10, 1));
    // A folder into its own subfolder: refused before anything starts.
    dlg.StartDownload({"I:\\Album"}, inner, TRANSFER_PLAYER_COPY);
    EXPECT_EQ(CManagerDlg::OP_NONE, dlg.m_runningOperation);
    EXPECT_TRUE(SaidStarting("Failed to create 'I:\\Album\\Inner\\Album'"));
    EXPECT_FALSE(Exists("I:\\Album\\Inner\\Album"));
    // The settings file is never downloaded into the internal memory's root.
    const std::string settings = MakePc("SETTINGS.DAT", 100, 9);
    dlg.StartDownload({settings}, top, TRANSFER_DOWNLOAD);
    EXPECT_TRUE(SaidStarting("'SETTINGS.DAT' is the download-prohibited name."));
    EXPECT_TRUE(Said(IDS_NO_SELECTED_FILE));
    EXPECT_FALSE(Exists("I:\\SETTINGS.DAT"));
    // More than the memory holds.
    UseMemory("H:\\");
    const std::string big = MakePc("big.mp3", 3 * 1024 * 1024, 3);
    dlg.StartDownload({big}, dlg.m_playerTree.GetRootItem(), TRANSFER_DOWNLOAD);
    EXPECT_TRUE(Said(IDS_NO_MEMORY_SPACE));
    EXPECT_FALSE(Exists("H:\\big.mp3"));
    // A transfer running.
    dlg.m_runningOperation = CManagerDlg::OP_UPLOAD;
    dlg.StartDownload({big}, dlg.m_playerTree.GetRootItem(), TRANSFER_DOWNLOAD);
    EXPECT_TRUE(Said(IDS_TRANSFER_PROHIBITED));
    dlg.m_runningOperation = CManagerDlg::OP_NONE;
}

// The sent "processing" message of the first item: the test fills the small
// memory then, so the copy runs out of room half way.
HHOOK g_hook = nullptr;
std::string g_filler;
LRESULT CALLBACK FillOnProcessing(int code, WPARAM wp, LPARAM lp)
{
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && m->message == WM_XFER_ITEM_PROCESSING && !g_filler.empty()) {
        ULARGE_INTEGER available = {}, total = {}, totalFree = {};
        GetDiskFreeSpaceExA("H:\\", &available, &total, &totalFree);
        WriteBytes(g_filler, std::vector<unsigned char>(std::size_t(available.QuadPart) - 50000, 0x55));
        g_filler.clear();
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

TEST_F(TransferWindow, AMemoryThatFillsUpEndsWithAClearMessageAndNoHalfFile)
{
    UseMemory("H:\\", CManagerDlg::MEMORY_EXTERNAL);
    const std::string a = MakePc("fill.mp3", 400000, 6);
    g_filler = "H:\\filler.bin";
    g_hook = SetWindowsHookExA(WH_CALLWNDPROC, FillOnProcessing, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, g_hook);
    dlg.StartDownload({a}, dlg.m_playerTree.GetRootItem(), TRANSFER_DOWNLOAD);
    const bool done = WaitDone();
    UnhookWindowsHookEx(g_hook);
    ASSERT_TRUE(done);
    EXPECT_TRUE(Exists("H:\\filler.bin"));
    EXPECT_FALSE(Exists("H:\\fill.mp3")) << "no half file is left";
    EXPECT_TRUE(Said(IDS_MEMORY_WRITE_FAILED));
    DeleteFileA("H:\\filler.bin");
}

// ---- overwrite answers through the real dialog ------------------------------------

TEST_F(TransferWindow, OverwriteAnswersYesYesToAllNoAndCancel)
{
    HTREEITEM top = UseMemory("I:\\");
    HTREEITEM over = Folder(top, "Over");
    std::vector<std::string> items;
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "song" + std::to_string(i) + ".mp3";
        items.push_back(MakePc(name, 20000 + i, 10 + i));
        WriteBytes("I:\\Over\\" + name, Pattern(10, 90 + i));
    }
    // Yes replaces song1; Yes to all replaces song2 and song3 without asking
    // again... and song4 too.
    dlg.StartDownload(items, over, TRANSFER_DOWNLOAD);
    ASSERT_TRUE(WaitDone({IDC_OVERWRITE_YES, IDC_OVERWRITE_YES_ALL}));
    EXPECT_EQ(2, asked);
    EXPECT_EQ(L"'song2.mp3' already exists. Do you want to overwrite it?", lastQuestion);
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(SameFile(items[i - 1], "I:\\Over\\song" + std::to_string(i) + ".mp3")) << i;

    // No keeps song1's old content; Cancel ends the run before song3.
    for (int i = 1; i <= 3; ++i)
        WriteBytes("I:\\Over\\song" + std::to_string(i) + ".mp3", Pattern(10, 70 + i));
    asked = 0;
    dlg.StartDownload({items[0], items[1], items[2]}, over, TRANSFER_DOWNLOAD);
    ASSERT_TRUE(WaitDone({IDC_OVERWRITE_NO, IDC_OVERWRITE_YES, IDCANCEL}));
    EXPECT_EQ(3, asked);
    EXPECT_EQ(ReadText("I:\\Over\\song1.mp3").size(), 10u) << "No keeps the old file";
    EXPECT_TRUE(SameFile(items[1], "I:\\Over\\song2.mp3"));
    EXPECT_EQ(ReadText("I:\\Over\\song3.mp3").size(), 10u) << "Cancel keeps it and ends the run";
}

// ---- upload and paste inside the player ---------------------------------------------

TEST_F(TransferWindow, UploadCopiesPlayerFilesBackToAPcFolder)
{
    UseMemory("I:\\");
    CreateDirectoryA("I:\\Up", nullptr);
    WriteBytes("I:\\Up\\back.mp3", Pattern(54321, 20));
    const std::string target = Work() + "\\pc\\uploaded";
    CreateDirectoryA(target.c_str(), nullptr);
    dlg.m_clipboard.Operation = TRANSFER_PLAYER_COPY;
    dlg.m_clipboard.BaseFolder = "I:\\Up\\";
    dlg.m_clipboard.Names = {"back.mp3"};
    ASSERT_TRUE(dlg.UploadTo(target, TRANSFER_PLAYER_COPY));
    EXPECT_EQ(CManagerDlg::OP_UPLOAD, dlg.m_runningOperation);
    ASSERT_TRUE(WaitDone());
    EXPECT_TRUE(Said(IDS_UPLOAD_STARTED));
    EXPECT_TRUE(SameFile("I:\\Up\\back.mp3", target + "\\back.mp3"));
    // Not a folder: refused.
    EXPECT_FALSE(dlg.UploadTo(target + "\\back.mp3", TRANSFER_PLAYER_COPY));
    EXPECT_TRUE(SaidStarting(mb::LoadText(IDS_UPLOAD_FAILED) + "\r\n"));
}

TEST_F(TransferWindow, PasteInsideThePlayerCopiesAndMovesButNeverTheSettingsFile)
{
    UseMemory("I:\\");
    CreateDirectoryA("I:\\From", nullptr);
    CreateDirectoryA("I:\\To", nullptr);
    WriteBytes("I:\\From\\c.mp3", Pattern(40000, 30));
    WriteBytes("I:\\From\\m.mp3", Pattern(30000, 31));
    WriteBytes("I:\\SETTINGS.DAT", Pattern(512, 32));
    WriteBytes("I:\\To\\m.mp3", Pattern(5, 33));
    // A copy goes through the engine.
    TRANSFER_LIST copy;
    copy.Operation = TRANSFER_PLAYER_COPY;
    copy.BaseFolder = "I:\\From\\";
    copy.Names = {"c.mp3"};
    dlg.MoveOnPlayer("I:\\To\\", copy);
    EXPECT_EQ(CManagerDlg::OP_PLAYER_MOVE, dlg.m_runningOperation);
    ASSERT_TRUE(WaitDone());
    EXPECT_TRUE(SameFile("I:\\From\\c.mp3", "I:\\To\\c.mp3"));
    // A cut on one drive renames; the existing m.mp3 is asked about (Yes);
    // SETTINGS.DAT stays where the player wants it.
    TRANSFER_LIST cut;
    cut.Operation = TRANSFER_PLAYER_CUT;
    cut.BaseFolder = "I:\\";
    cut.Names = {"SETTINGS.DAT"};
    dlg.MoveOnPlayer("I:\\To\\", cut);
    EXPECT_TRUE(Exists("I:\\SETTINGS.DAT"));
    EXPECT_FALSE(Exists("I:\\To\\SETTINGS.DAT"));
    EXPECT_TRUE(SaidStarting("'SETTINGS.DAT' is the download-prohibited name."));
    const std::string moved = ReadText("I:\\From\\m.mp3");
    cut.BaseFolder = "I:\\From\\";
    cut.Names = {"m.mp3"};
    bool answered = false;
    mbtest::CBackgroundRun clicker([&] {
        HWND h = mbtest::WaitForWindow(L"Overwrite", 10000);
        if (h) {
            mbtest::Click(h, IDC_OVERWRITE_YES);
            answered = true;
        }
    });
    dlg.MoveOnPlayer("I:\\To\\", cut);
    clicker.Finish();
    EXPECT_TRUE(answered);
    EXPECT_EQ(CManagerDlg::OP_NONE, dlg.m_runningOperation) << "a rename starts no transfer";
    EXPECT_FALSE(Exists("I:\\From\\m.mp3"));
    EXPECT_EQ(moved, ReadText("I:\\To\\m.mp3"));
    // Into the clipboard's own folder: nothing.
    copy.Names = {"c.mp3"};
    dlg.MoveOnPlayer("I:\\From", copy);
    EXPECT_EQ(CManagerDlg::OP_NONE, dlg.m_runningOperation);
}

// "Nest\Nest" pasted into the root, where "Nest" (its own parent) exists:
// replacing that folder would delete the source with it. Refused before any
// question, by a rename (cut) as by the engine (copy); an overwrite question
// that comes all the same is answered Yes, as a user would.
TEST_F(TransferWindow, PasteNeverReplacesTheFolderThatHoldsTheSource)
{
    UseMemory("I:\\");
    CreateDirectoryA("I:\\Nest", nullptr);
    CreateDirectoryA("I:\\Nest\\Nest", nullptr);
    const std::vector<unsigned char> song = Pattern(20000, 40);
    ASSERT_TRUE(WriteBytes("I:\\Nest\\Nest\\n.mp3", song));
    TRANSFER_LIST clipboard;
    clipboard.BaseFolder = "I:\\Nest\\";
    clipboard.Names = {"Nest"};
    for (int operation : {TRANSFER_PLAYER_CUT, TRANSFER_PLAYER_COPY}) {
        clipboard.Operation = operation;
        mbtest::CBackgroundRun clicker([&] {
            if (HWND h = mbtest::WaitForWindow(L"Overwrite", 4000))
                mbtest::Click(h, IDC_OVERWRITE_YES);
        });
        dlg.MoveOnPlayer("I:\\", clipboard);
        ASSERT_TRUE(WaitDone({IDC_OVERWRITE_YES}));
        clicker.Finish();
        EXPECT_TRUE(ReadText("I:\\Nest\\Nest\\n.mp3") == std::string(song.begin(), song.end()))
            << "the source is gone after operation " << operation;
        EXPECT_TRUE(SaidStarting("Failed to create 'I:\\Nest'.")) << operation;
    }
}

// Ctrl+V in the PC list or tree with player files cut or copied: those files
// are uploaded into the shown PC folder (a cut also leaves the player), not
// whatever the player list has selected (here nothing).
TEST_F(TransferWindow, CtrlVInThePcPaneUploadsThePlayerClipboard)
{
    UseMemory("I:\\");
    CreateDirectoryA("I:\\Keys", nullptr);
    const std::vector<unsigned char> cutBytes = Pattern(3000, 50), copyBytes = Pattern(4000, 51);
    ASSERT_TRUE(WriteBytes("I:\\Keys\\cut.mp3", cutBytes));
    ASSERT_TRUE(WriteBytes("I:\\Keys\\copied.mp3", copyBytes));
    const std::string folder = Pc("keys");
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA((folder + "\\cut.mp3").c_str());
    DeleteFileA((folder + "\\copied.mp3").c_str());
    dlg.m_pcFolderPath = folder + "\\";
    auto ctrlV = [&](bool tree) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        if (tree)
            dlg.OnPcTreeKey('V');
        else
            dlg.OnPcListKey('V');
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    };
    dlg.m_clipboard.BaseFolder = "I:\\Keys\\";
    dlg.m_clipboard.Names = {"cut.mp3"};
    dlg.m_clipboard.Operation = TRANSFER_PLAYER_CUT;
    ctrlV(false);
    ASSERT_TRUE(WaitDone());
    EXPECT_TRUE(ReadText(folder + "\\cut.mp3") == std::string(cutBytes.begin(), cutBytes.end()));
    EXPECT_FALSE(Exists("I:\\Keys\\cut.mp3")) << "a cut moves";
    dlg.m_clipboard.Names = {"copied.mp3"};
    dlg.m_clipboard.Operation = TRANSFER_PLAYER_COPY;
    ctrlV(true);
    ASSERT_TRUE(WaitDone());
    EXPECT_TRUE(ReadText(folder + "\\copied.mp3") == std::string(copyBytes.begin(), copyBytes.end()));
    EXPECT_TRUE(Exists("I:\\Keys\\copied.mp3"));
    EXPECT_FALSE(Said(IDS_NO_SELECTED_FILE));
}

// ---- the download list ------------------------------------------------------------

TEST_F(TransferWindow, DownloadListCopiesItsRowsAndMarksThemComplete)
{
    HTREEITEM top = UseMemory("I:\\");
    HTREEITEM list = Folder(top, "List");
    dlg.m_playerTree.SelectItem(list);
    ASSERT_EQ("I:\\List\\", dlg.PlayerItemPath(dlg.m_playerTree.GetSelectedItem()));
    CreateDirectoryA(Pc("ListTree").c_str(), nullptr);
    MakePc("ListTree\\t.mp3", 12345, 40);
    const std::vector<std::string> items = {MakePc("l1.mp3", 50000, 41), MakePc("l2.wav", 20000, 42),
                                            MakePc("l3.wma", 30000, 43), Pc("ListTree")};
    for (const auto& item : items)
        dlg.AddDownloadListItem(item);
    // A name queued twice stays once, at the end.
    dlg.AddDownloadListItem(items[0]);
    EXPECT_EQ("001 l2.wav [];002 l3.wma [];003 ListTree [];004 l1.mp3 [];", Rows(dlg.m_downloadList));
    dlg.m_removeCompleted = 0;
    ASSERT_TRUE(dlg.StartDownloadList());
    EXPECT_EQ(CManagerDlg::OP_DOWNLOAD_LIST, dlg.m_runningOperation);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ("001 l2.wav [Complete];002 l3.wma [Complete];003 ListTree [Complete];004 l1.mp3 [Complete];",
              Rows(dlg.m_downloadList));
    mbtest::SaveScreenshot(dlg.m_hWnd, "xfer_download_list_complete");
    for (const char* name : {"l1.mp3", "l2.wav", "l3.wma", "ListTree\\t.mp3"})
        EXPECT_TRUE(SameFile(Pc(name), std::string("I:\\List\\") + name)) << name;
    // A filter change rebuilds the visible list from the twin: the statuses
    // stay, and a second start finds nothing left to copy.
    dlg.ApplyDownloadFilter(0);
    EXPECT_EQ("001 l3.wma [Complete];002 l1.mp3 [Complete];", Rows(dlg.m_downloadList));
    dlg.ApplyDownloadFilter(2);
    EXPECT_EQ("001 l2.wav [Complete];002 l3.wma [Complete];003 ListTree [Complete];004 l1.mp3 [Complete];",
              Rows(dlg.m_downloadList));
    // CFG_DL 1: the completed rows go from both lists.
    dlg.AddDownloadListItem(MakePc("l4.mp3", 1000, 44));
    dlg.m_removeCompleted = 1;
    ASSERT_TRUE(dlg.StartDownloadList());
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ("", Rows(dlg.m_downloadList));
    EXPECT_EQ(0, dlg.m_downloadTwin.GetItemCount());
    EXPECT_TRUE(SameFile(Pc("l4.mp3"), "I:\\List\\l4.mp3"));
}

TEST_F(TransferWindow, DownloadListTakesWhatFitsAndKeepsTheRestQueued)
{
    UseMemory("H:\\", CManagerDlg::MEMORY_EXTERNAL);
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("H:\\", &available, &total, &totalFree));
    const std::size_t third = std::size_t(available.QuadPart * 2 / 5);
    for (int i = 1; i <= 3; ++i)
        dlg.AddDownloadListItem(MakePc("fit" + std::to_string(i) + ".mp3", third, 50 + i));
    dlg.AddDownloadListItem(MakePc("gone.mp3", 10, 1));
    DeleteFileA(Pc("gone.mp3").c_str());
    dlg.m_removeCompleted = 0;
    ASSERT_TRUE(dlg.StartDownloadList());
    EXPECT_EQ("001 fit1.mp3 [Ready];002 fit2.mp3 [Ready];003 fit3.mp3 [];004 gone.mp3 [];",
              Rows(dlg.m_downloadList));
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ("001 fit1.mp3 [Complete];002 fit2.mp3 [Complete];003 fit3.mp3 [];004 gone.mp3 [];",
              Rows(dlg.m_downloadList));
    EXPECT_FALSE(Exists("H:\\fit3.mp3"));
    // The first entry alone too large: message 129, nothing starts.
    dlg.m_downloadList.DeleteAllItems();
    dlg.m_downloadTwin.DeleteAllItems();
    dlg.AddDownloadListItem(MakePc("huge.mp3", 3 * 1024 * 1024, 60));
    EXPECT_FALSE(dlg.StartDownloadList());
    EXPECT_TRUE(Said(IDS_NO_MEMORY_SPACE));
    EXPECT_EQ("001 huge.mp3 [];", Rows(dlg.m_downloadList));
    DeleteFileA("H:\\fit1.mp3");
    DeleteFileA("H:\\fit2.mp3");
}

TEST_F(TransferWindow, DownloadListRowsMoveAndRenumber)
{
    for (const char* name : {"a.mp3", "b.wav", "c.mp3", "d.mp3"})
        dlg.AddDownloadListItem(MakePc(name, 100, 1));
    dlg.ApplyDownloadFilter(0);
    EXPECT_EQ("001 a.mp3 [];002 c.mp3 [];003 d.mp3 [];", Rows(dlg.m_downloadList));
    // Drop of "003" above "001".
    dlg.m_downloadList.Select(2);
    dlg.ReorderDownloadRows(0);
    EXPECT_EQ("001 d.mp3 [];002 a.mp3 [];003 c.mp3 [];", Rows(dlg.m_downloadList));
    dlg.ApplyDownloadFilter(2);
    EXPECT_EQ("001 d.mp3 [];002 a.mp3 [];003 b.wav [];004 c.mp3 [];", Rows(dlg.m_downloadList));
    // Move down, then up, by the buttons.
    for (int i = 0; i < 4; ++i)
        dlg.m_downloadList.Select(i, i == 0);
    dlg.MoveDownloadListRows(false);
    EXPECT_EQ("001 a.mp3 [];002 d.mp3 [];003 b.wav [];004 c.mp3 [];", Rows(dlg.m_downloadList));
    dlg.MoveDownloadListRows(true);
    dlg.MoveDownloadListRows(true);  // already at the top: stays
    EXPECT_EQ("001 d.mp3 [];002 a.mp3 [];003 b.wav [];004 c.mp3 [];", Rows(dlg.m_downloadList));
    EXPECT_EQ(Rows(dlg.m_downloadList), Rows(dlg.m_downloadTwin));
    // Delete removes the entry from both lists.
    for (int i = 0; i < 4; ++i)
        dlg.m_downloadList.Select(i, i == 1);
    dlg.RemoveSelectedDownloads();
    EXPECT_EQ("001 d.mp3 [];002 b.wav [];003 c.mp3 [];", Rows(dlg.m_downloadList));
    EXPECT_EQ(Rows(dlg.m_downloadList), Rows(dlg.m_downloadTwin));
}

// ---- the list as an M3U playlist ------------------------------------------------

TEST_F(TransferWindow, SaveAndOpenListsOfThisProgramAndOthers)
{
    const std::string a = MakePc("m1.mp3", 100, 1), b = MakePc("m2.wma", 200, 2), c = MakePc("m3.wav", 300, 3);
    for (const auto& p : {a, b, c})
        dlg.AddDownloadListItem(p);
    const std::string saved = Pc("saved.m3u");
    ASSERT_TRUE(dlg.SaveDownloadListTo(saved));
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:0,m1.mp3\r\n" + a + "\r\n#EXTINF:0,m2.wma\r\n" + b + "\r\n#EXTINF:0,m3.wav\r\n" + c +
                  "\r\n",
              ReadText(saved));
    const std::string rows = Rows(dlg.m_downloadList);
    dlg.m_downloadList.DeleteAllItems();
    dlg.m_downloadTwin.DeleteAllItems();
    ASSERT_TRUE(dlg.OpenDownloadListFrom(saved));
    EXPECT_EQ(rows, Rows(dlg.m_downloadList));

    // Another program's list: plain lines, LF only, relative paths, #EXTINF.
    CreateDirectoryA(Pc("lists").c_str(), nullptr);
    WriteBytes(Pc("lists\\other.m3u"), std::vector<unsigned char>{});
    const std::string other = "#EXTINF:5,x\n..\\m2.wma\nm9.mp3\n" + c;
    MakePc("lists\\m9.mp3", 50, 9);
    WriteBytes(Pc("lists\\other.m3u"), std::vector<unsigned char>(other.begin(), other.end()));
    ASSERT_TRUE(dlg.OpenDownloadListFrom(Pc("lists\\other.m3u")));
    EXPECT_EQ("001 m2.wma [];002 m9.mp3 [];003 m3.wav [];", Rows(dlg.m_downloadList));
    EXPECT_EQ(Pc("lists\\m9.mp3"), dlg.m_downloadList.GetItemText(1, 4));

    // Nothing usable: the list stays as it was.
    const std::string junk = "#EXTM3U\r\n\x01\x02garbage\r\nZ:\\no\\such\\file.mp3";
    WriteBytes(Pc("junk.m3u"), std::vector<unsigned char>(junk.begin(), junk.end()));
    EXPECT_FALSE(dlg.OpenDownloadListFrom(Pc("junk.m3u")));
    EXPECT_EQ("001 m2.wma [];002 m9.mp3 [];003 m3.wav [];", Rows(dlg.m_downloadList));
    EXPECT_FALSE(dlg.OpenDownloadListFrom(Pc("missing.m3u")));
    EXPECT_TRUE(SaidStarting("Failed to open 'missing.m3u'."));
}

// A save that runs out of room keeps the playlist that was there: the old
// list is replaced only by a whole new one.
TEST_F(TransferWindow, AFailedSaveKeepsTheOldPlaylist)
{
    // Rows with long paths, so the list is far larger than the room left.
    const std::size_t room = 240 - (Work().size() + 5 + 12);
    const std::string folder = std::string(room < 120 ? room : 120, 'p');
    CreateDirectoryA(Pc(folder).c_str(), nullptr);
    for (int i = 0; i < 40; ++i)
        dlg.AddDownloadListItem(MakePc(folder + "\\track" + std::to_string(100 + i) + ".wav", 10, i));
    ASSERT_EQ(40, dlg.m_downloadList.GetItemCount());
    const std::string old = "#EXTM3U\r\n#EXTINF:0,old.mp3\r\nC:\\old.mp3\r\n";
    ASSERT_TRUE(WriteBytes("H:\\keep.m3u", std::vector<unsigned char>(old.begin(), old.end())));
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("H:\\", &available, &total, &totalFree));
    ASSERT_GT(available.QuadPart, 4096u);
    ASSERT_TRUE(WriteBytes("H:\\filler.bin", std::vector<unsigned char>(std::size_t(available.QuadPart) - 4096, 0x55)));
    EXPECT_FALSE(dlg.SaveDownloadListTo("H:\\keep.m3u"));
    EXPECT_TRUE(SaidStarting("Failed to create 'keep.m3u'."));
    EXPECT_EQ(old, ReadText("H:\\keep.m3u"));
    // Nothing but the old list and the filler is left on the memory.
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("H:\\*", &found);
    std::string names;
    if (find != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names += std::string(found.cFileName) + ";";
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    EXPECT_EQ("filler.bin;keep.m3u;", names);
    DeleteFileA("H:\\filler.bin");
    // With room again the new list replaces the old one whole.
    ASSERT_TRUE(dlg.SaveDownloadListTo("H:\\keep.m3u"));
    const std::string saved = ReadText("H:\\keep.m3u");
    EXPECT_EQ(0u, saved.find("#EXTM3U\r\n#EXTINF:0,track100.wav\r\n"));
    EXPECT_EQ(81u, std::size_t(std::count(saved.begin(), saved.end(), '\n')));
    DeleteFileA("H:\\keep.m3u");
}

TEST_F(TransferWindow, SavedListsCarryThePlayTimesOfRealRecordings)
{
    const std::string media = Work() + "\\media\\";
    ASSERT_TRUE(Exists(media + "tone.mp3")) << "make-media.sh ran";
    dlg.AddDownloadListItem(media + "tone.mp3");
    dlg.AddDownloadListItem(media + "tone.wma");
    ASSERT_TRUE(dlg.SaveDownloadListTo(Pc("times.m3u")));
    const std::string text = ReadText(Pc("times.m3u"));
    auto secondsOf = [&](const std::string& name) {
        const std::size_t at = text.find("," + name + "\r\n");
        const std::size_t colon = text.rfind(':', at);
        return at == std::string::npos ? -1 : std::atoi(text.substr(colon + 1, at - colon - 1).c_str());
    };
    // ffprobe's durations; the WMA's comes from its size and bit rate, which
    // counts the header too.
    const int mp3 = std::atoi(ReadText(media + "tone.mp3.seconds").c_str());
    const int wma = std::atoi(ReadText(media + "tone.wma.seconds").c_str());
    EXPECT_NEAR(mp3, secondsOf("tone.mp3"), 1) << text;
    EXPECT_NEAR(wma, secondsOf("tone.wma"), 2) << text;
    // An empty list saves the header alone; no rows gives message 153.
    dlg.m_downloadList.DeleteAllItems();
    dlg.m_downloadTwin.DeleteAllItems();
    ASSERT_TRUE(dlg.SaveDownloadListTo(Pc("empty.m3u")));
    EXPECT_EQ("#EXTM3U\r\n", ReadText(Pc("empty.m3u")));
    UseMemory("I:\\");
    EXPECT_FALSE(dlg.StartDownloadList());
    EXPECT_TRUE(Said(IDS_NO_SELECTED_FILE));
}

}  // namespace
