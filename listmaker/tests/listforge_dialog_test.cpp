// The playlist maker's main dialog on the simulated player's memory (drive W,
// filled by data/fill-player.sh): the tree, the music list, adding, ordering,
// deleting, saving and opening M3U files, and the questions on the way.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "M3uCodec.h"
#include "Shell.h"
#include "listforge_test_util.h"

using lftest::Rows;
using Strings = std::vector<std::string>;

namespace {

const char ROOT[] = "W:\\";

class ListForgeOnPlayer : public mbtest::GuiTest {
protected:
    ListForgeOnPlayer() : mbtest::GuiTest(40000) {}
};

// Selects a folder of the tree and waits until the music list shows it.
void ShowFolder(TestListForgeDlg& dlg, HTREEITEM item, const std::string& path)
{
    dlg.Tree().SelectItem(item);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.Files().Folder() == path; }, 10000)) << path;
}

HTREEITEM TreeFolder(TestListForgeDlg& dlg, const std::string& name)
{
    return lftest::Child(dlg.Tree(), dlg.Tree().GetRootItem(), name);
}

void SelectRows(CListCtrl& list, std::initializer_list<int> rows)
{
    list.Select(-1, false);
    for (int r : rows)
        list.Select(r);
}

}  // namespace

TEST_F(ListForgeOnPlayer, TreeAndMusicListShowThePlayer)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(0, dlg.drivePrompts);
    // The labels come from the string table, the root item is the volume label.
    EXPECT_EQ(L"Folders in the vilo lark:", mbtest::ItemText(dlg, IDC_LABEL_FOLDERS));
    EXPECT_EQ(L"Music files addible to M3U:", mbtest::ItemText(dlg, IDC_LABEL_MUSIC));
    EXPECT_EQ(L"Music file list to be saved to M3U:", mbtest::ItemText(dlg, IDC_LABEL_PLAYLIST));
    HTREEITEM root = dlg.Tree().GetRootItem();
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("VILO", dlg.Tree().GetItemText(root));
    // Sorted, without .Trashes; each folder waits with a "?" child.
    EXPECT_EQ(Strings({"LISTS", "MUSIC", "VOICE"}), lftest::Children(dlg.Tree(), root));
    EXPECT_EQ(Strings({"?"}), lftest::Children(dlg.Tree(), TreeFolder(dlg, "MUSIC")));
    // The first selection filled the list at once: the root's music.
    EXPECT_EQ("W:\\", dlg.Files().Folder());
    EXPECT_EQ(Strings({"ROOT.MP3"}), Rows(dlg.Files()));

    // Expanding reads the folder; the music list leaves out WAV files, "._"
    // files and names the code page cannot hold.
    dlg.Tree().Expand(TreeFolder(dlg, "MUSIC"), TVE_EXPAND);
    EXPECT_EQ(Strings({"POP"}), lftest::Children(dlg.Tree(), TreeFolder(dlg, "MUSIC")));
    ShowFolder(dlg, TreeFolder(dlg, "MUSIC"), "W:\\MUSIC\\");
    Strings music = Rows(dlg.Files());
    std::sort(music.begin(), music.end());
    EXPECT_EQ(Strings({"A_SONG.MP3", "B_SONG.mp3", "C_TRACK.WMA"}), music);
    EXPECT_EQ("W:\\MUSIC\\POP\\", dlg.Tree().GetItemPath(lftest::Child(dlg.Tree(), TreeFolder(dlg, "MUSIC"), "POP")));
    // A folder of voice recordings only: nothing to add.
    ShowFolder(dlg, TreeFolder(dlg, "VOICE"), "W:\\VOICE\\");
    EXPECT_EQ(0, dlg.Files().GetItemCount());
    // Collapsing rebuilds the children.
    dlg.Tree().Expand(TreeFolder(dlg, "MUSIC"), TVE_COLLAPSE);
    EXPECT_EQ(Strings({"POP"}), lftest::Children(dlg.Tree(), TreeFolder(dlg, "MUSIC")));
    EXPECT_EQ(0u, prompter.Count());
}

TEST_F(ListForgeOnPlayer, AddOrderRemoveSaveAndOpenAgain)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    ShowFolder(dlg, TreeFolder(dlg, "MUSIC"), "W:\\MUSIC\\");
    Strings music = Rows(dlg.Files());
    int a = int(std::find(music.begin(), music.end(), "A_SONG.MP3") - music.begin());
    int b = int(std::find(music.begin(), music.end(), "B_SONG.mp3") - music.begin());
    int c = int(std::find(music.begin(), music.end(), "C_TRACK.WMA") - music.begin());
    ASSERT_EQ(3u, music.size());

    // Add three (in the list's order), by the Add button.
    SelectRows(dlg.Files(), {a, b, c});
    lftest::ClickImageButton(dlg, IDC_ADD);
    ASSERT_EQ(3, dlg.Playlist().GetItemCount());
    EXPECT_EQ(3u, dlg.Playlist().GetSelectedCount());
    EXPECT_TRUE(dlg.IsModified());
    Strings paths = Rows(dlg.Playlist(), 1);
    EXPECT_EQ(Strings({"W:\\MUSIC\\A_SONG.MP3", "W:\\MUSIC\\B_SONG.mp3", "W:\\MUSIC\\C_TRACK.WMA"}), paths);
    EXPECT_EQ(dlg.Files().GetItemImage(a), dlg.Playlist().GetItemImage(0));

    // Reorder: C up one (button), then back down and up again by Ctrl keys.
    SelectRows(dlg.Playlist(), {2});
    lftest::ClickImageButton(dlg, IDC_MOVE_UP);
    EXPECT_EQ(Strings({"A_SONG.MP3", "C_TRACK.WMA", "B_SONG.mp3"}), Rows(dlg.Playlist()));
    dlg.Playlist().SetFocus();
    lftest::PostCtrlKey(dlg.Playlist(), VK_DOWN);
    EXPECT_EQ(Strings({"A_SONG.MP3", "B_SONG.mp3", "C_TRACK.WMA"}), Rows(dlg.Playlist()));
    lftest::PostCtrlKey(dlg.Playlist(), VK_UP);
    EXPECT_EQ(Strings({"A_SONG.MP3", "C_TRACK.WMA", "B_SONG.mp3"}), Rows(dlg.Playlist()));

    // Save clears the flag; the Del key sets it again.
    dlg.savePath = "W:\\LISTS\\FIRST.M3U";
    lftest::ClickImageButton(dlg, IDC_SAVE);
    EXPECT_FALSE(dlg.IsModified());
    SelectRows(dlg.Playlist(), {0});
    mbtest::PostKey(dlg.Playlist(), VK_DELETE);
    mbtest::PumpFor(100);
    EXPECT_EQ(Strings({"C_TRACK.WMA", "B_SONG.mp3"}), Rows(dlg.Playlist()));
    EXPECT_TRUE(dlg.IsModified());

    dlg.ShowWindow(SW_SHOW);
    mbtest::PumpFor(300);
    mbtest::SaveScreenshot(dlg, "listforge_main");

    // Save as an M3U on the player.
    dlg.savePath = "W:\\LISTS\\MINE.M3U";
    lftest::ClickImageButton(dlg, IDC_SAVE);
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_EQ(0u, prompter.Count()) << prompter.Text(0);
    EXPECT_EQ("#EXTM3U\r\nW:\\MUSIC\\C_TRACK.WMA\r\nW:\\MUSIC\\B_SONG.mp3\r\n",
              lftest::ReadWholeFile("W:\\LISTS\\MINE.M3U"));
    // Saved over the first list: replaced whole, nothing left beside it.
    dlg.savePath = "W:\\LISTS\\FIRST.M3U";
    dlg.SaveM3u();
    EXPECT_EQ(lftest::ReadWholeFile("W:\\LISTS\\MINE.M3U"), lftest::ReadWholeFile("W:\\LISTS\\FIRST.M3U"));
    WIN32_FIND_DATAA fd;
    HANDLE stray = ::FindFirstFileA("W:\\LISTS\\*.tmp", &fd);
    EXPECT_EQ(INVALID_HANDLE_VALUE, stray) << fd.cFileName;
    if (stray != INVALID_HANDLE_VALUE)
        ::FindClose(stray);

    // Open it again in a fresh dialog: the same rows.
    TestListForgeDlg again(ROOT);
    ASSERT_TRUE(again.Create());
    again.openPaths = {"W:\\LISTS\\MINE.M3U"};
    lftest::ClickImageButton(again, IDC_OPEN);
    EXPECT_EQ(Rows(dlg.Playlist()), Rows(again.Playlist()));
    EXPECT_EQ(Rows(dlg.Playlist(), 1), Rows(again.Playlist(), 1));
    EXPECT_EQ(dlg.Playlist().GetItemImage(0), again.Playlist().GetItemImage(0));
    EXPECT_TRUE(again.IsModified());
    EXPECT_EQ(0u, prompter.Count());
}

TEST_F(ListForgeOnPlayer, AddUsesTheFolderTheRowsCameFrom)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    ShowFolder(dlg, TreeFolder(dlg, "MUSIC"), "W:\\MUSIC\\");
    dlg.Files().Select(0);
    std::string name = dlg.Files().GetItemText(0, 0);
    // Another folder is selected, its files not listed yet (the 400 ms rest).
    dlg.Tree().SelectItem(TreeFolder(dlg, "VOICE"));
    dlg.AddToPlaylist();
    ASSERT_EQ(1, dlg.Playlist().GetItemCount());
    EXPECT_EQ("W:\\MUSIC\\" + name, dlg.Playlist().GetItemText(0, 1));
    EXPECT_EQ(0u, prompter.Count());
}

TEST_F(ListForgeOnPlayer, MissingFilesAreAskedAbout)
{
    mbtest::CRecordingPrompter prompter(IDYES);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    // A row whose file went away after the list was filled.
    dlg.Files().InsertItem(0, "GONE.MP3");
    dlg.Files().Select(-1);
    dlg.AddToPlaylist();
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("These files are missing.  Are you sure you want to continue?", prompter.Text(0));
    EXPECT_EQ(Strings({"ROOT.MP3"}), Rows(dlg.Playlist()));
    // No stops at the missing row.
    prompter.QueueAnswer(IDNO);
    dlg.Playlist().DeleteAllItems();
    dlg.AddToPlaylist();
    EXPECT_EQ(0, dlg.Playlist().GetItemCount());
}

struct OpenCase {
    const char* file;
    Strings names;
    Strings paths;
    const char* message;  // the one message shown, or nullptr
};

TEST_F(ListForgeOnPlayer, OpensListsWrittenElsewhere)
{
    const OpenCase cases[] = {
        {"PLAIN.M3U", {"A_SONG.MP3", "B_SONG.mp3"}, {"W:\\MUSIC\\A_SONG.MP3", "W:\\MUSIC\\B_SONG.mp3"}, nullptr},
        {"EXTENDED.M3U", {"D.MP3", "ROOT.MP3"}, {"W:\\Music\\POP\\D.MP3", "W:\\ROOT.MP3"}, nullptr},
        {"LF.M3U", {"ROOT.MP3", "C_TRACK.WMA"}, {"W:\\ROOT.MP3", "W:\\MUSIC\\C_TRACK.WMA"}, nullptr},
        {"RELATIVE.M3U", {"A_SONG.MP3", "D.MP3"}, {"W:\\MUSIC\\A_SONG.MP3", "W:\\MUSIC\\POP\\D.MP3"}, nullptr},
        {"MISSING.M3U", {"GONE.MP3", "B_SONG.mp3"}, {"W:\\MUSIC\\GONE.MP3", "W:\\MUSIC\\B_SONG.mp3"}, nullptr},
        {"BARE.M3U", {}, {}, "There is no vaild file information in the selected M3U file."},
        {"NOSUCH.M3U", {}, {}, "Failed to open the selected M3U file."},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.file);
        mbtest::CRecordingPrompter prompter(IDNO);
        TestListForgeDlg dlg(ROOT);
        ASSERT_TRUE(dlg.Create());
        dlg.openPaths = {std::string("W:\\LISTS\\") + c.file};
        dlg.OpenM3u();
        EXPECT_EQ(c.names, Rows(dlg.Playlist()));
        EXPECT_EQ(c.paths, Rows(dlg.Playlist(), 1));
        if (c.message) {
            ASSERT_EQ(1u, prompter.Count());
            EXPECT_EQ(c.message, prompter.Text(0));
            EXPECT_FALSE(dlg.IsModified());
        } else {
            EXPECT_EQ(0u, prompter.Count()) << prompter.Text(0);
            EXPECT_TRUE(dlg.IsModified());
        }
        // Existing music files carry their icon; a missing one none.
        for (int r = 0; r < dlg.Playlist().GetItemCount(); ++r) {
            bool exists = ::GetFileAttributesA(dlg.Playlist().GetItemText(r, 1).c_str()) != INVALID_FILE_ATTRIBUTES;
            EXPECT_EQ(exists, dlg.Playlist().GetItemImage(r) >= 0) << r;
        }
    }
}

// A file far longer than any playlist (a film given the name of one) is
// refused before it is read, whatever its first lines hold.
TEST_F(ListForgeOnPlayer, AFileTooLongForAListIsRefused)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string huge = std::string(temp) + "listforge_huge.m3u";
    HANDLE f = ::CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    const char head[] = "#EXTM3U\r\nE:\\MUSIC\\A_SONG.MP3\r\n";
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(f, head, DWORD(sizeof head - 1), &written, nullptr));
    ::SetFilePointer(f, LONG((16 << 20) + 1), nullptr, FILE_BEGIN);
    ASSERT_TRUE(::SetEndOfFile(f));
    ::CloseHandle(f);

    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    dlg.openPaths = {huge};
    dlg.OpenM3u();
    ::DeleteFileA(huge.c_str());
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("Failed to open the selected M3U file.", prompter.Text(0));
    EXPECT_EQ(0, dlg.Playlist().GetItemCount());
    EXPECT_FALSE(dlg.IsModified());
}

TEST_F(ListForgeOnPlayer, OpeningIntoAFilledListAsksWhetherToAttach)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    dlg.openPaths = {"W:\\LISTS\\PLAIN.M3U"};
    dlg.OpenM3u();
    ASSERT_EQ(2, dlg.Playlist().GetItemCount());
    dlg.Playlist().Select(-1, false);

    // Yes: two files at once are appended in order and selected.
    prompter.QueueAnswer(IDYES);
    dlg.openPaths = {"W:\\LISTS\\LF.M3U", "W:\\LISTS\\EXTENDED.M3U"};
    dlg.OpenM3u();
    EXPECT_EQ(Strings({"A_SONG.MP3", "B_SONG.mp3", "ROOT.MP3", "C_TRACK.WMA", "D.MP3", "ROOT.MP3"}),
              Rows(dlg.Playlist()));
    EXPECT_EQ(std::vector<int>({2, 3, 4, 5}), dlg.Playlist().GetSelectedItems());
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_NE(std::string::npos, prompter.Text(0).find("Do you want to attach the M3U to it?"));

    // Cancel: nothing changes. No: the list starts again.
    prompter.QueueAnswer(IDCANCEL);
    dlg.OpenM3u();
    EXPECT_EQ(6, dlg.Playlist().GetItemCount());
    prompter.QueueAnswer(IDNO);
    dlg.openPaths = {"W:\\LISTS\\PLAIN.M3U"};
    dlg.OpenM3u();
    EXPECT_EQ(Strings({"A_SONG.MP3", "B_SONG.mp3"}), Rows(dlg.Playlist()));

    // No, with lists that cannot be read or hold no entry: the rows stay.
    for (const char* unusable : {"W:\\LISTS\\NOSUCH.M3U", "W:\\LISTS\\BARE.M3U"}) {
        SCOPED_TRACE(unusable);
        size_t before = prompter.Count();
        prompter.QueueAnswer(IDNO);
        dlg.openPaths = {unusable};
        dlg.OpenM3u();
        EXPECT_EQ(before + 2, prompter.Count());
        EXPECT_EQ(Strings({"A_SONG.MP3", "B_SONG.mp3"}), Rows(dlg.Playlist()));
    }
    // An unusable list before a good one: the good one replaces the rows.
    prompter.QueueAnswer(IDNO);
    dlg.openPaths = {"W:\\LISTS\\NOSUCH.M3U", "W:\\LISTS\\LF.M3U", "W:\\LISTS\\PLAIN.M3U"};
    dlg.OpenM3u();
    EXPECT_EQ(Strings({"ROOT.MP3", "C_TRACK.WMA", "A_SONG.MP3", "B_SONG.mp3"}), Rows(dlg.Playlist()));
}

TEST_F(ListForgeOnPlayer, SavingElsewhereAsksFirst)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    dlg.openPaths = {"W:\\LISTS\\PLAIN.M3U"};
    dlg.OpenM3u();
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string elsewhere = std::string(temp) + "listforge_elsewhere.m3u";
    ::DeleteFileA(elsewhere.c_str());
    dlg.savePath = elsewhere;
    dlg.SaveM3u();  // No to the other drive: nothing written
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_NE(std::string::npos, prompter.Text(0).find("You did not select the vilo lark removable disk drive."));
    EXPECT_EQ("<missing>", lftest::ReadWholeFile(elsewhere));
    EXPECT_TRUE(dlg.IsModified());
    prompter.QueueAnswer(IDYES);
    dlg.SaveM3u();
    EXPECT_EQ("#EXTM3U\r\nW:\\MUSIC\\A_SONG.MP3\r\nW:\\MUSIC\\B_SONG.mp3\r\n", lftest::ReadWholeFile(elsewhere));
    EXPECT_FALSE(dlg.IsModified());
    ::DeleteFileA(elsewhere.c_str());
}

TEST_F(ListForgeOnPlayer, ExitAsksToSaveThenToExit)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    dlg.openPaths = {"W:\\LISTS\\PLAIN.M3U"};
    dlg.OpenM3u();
    // Escape is swallowed; Enter does nothing; the close box asks.
    mbtest::PostKey(dlg, VK_ESCAPE);
    mbtest::PostKey(dlg.Playlist(), VK_RETURN);
    mbtest::PumpFor(100);
    EXPECT_EQ(0u, prompter.Count());
    ASSERT_TRUE(::IsWindow(dlg));
    ::PostMessageW(dlg, WM_CLOSE, 0, 0);
    mbtest::PumpFor(100);
    ASSERT_EQ(2u, prompter.Count());
    EXPECT_EQ("The file list is not saved. Do you want to save it?", prompter.Text(0));
    EXPECT_EQ("Are you sure you want to exit ListForge?", prompter.Text(1));
    EXPECT_TRUE(::IsWindow(dlg));  // No, No: nothing saved, the dialog stays
    // Yes to exit, through the Exit button.
    prompter.QueueAnswer(IDNO);
    prompter.QueueAnswer(IDYES);
    HWND window = dlg;
    lftest::ClickImageButton(dlg, IDC_EXIT);
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(ListForgeOnPlayer, NoCommandLineLetsTheUserPickTheDrive)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    // The shell's folder browser, answered from another thread: it is shown
    // W:\MUSIC, and OK takes the drive of it.
    mbtest::CBackgroundRun user([] {
        HWND browser = nullptr;
        for (int i = 0; i < 200 && !browser; ++i) {
            ::Sleep(50);
            browser = ::FindWindowW(L"#32770", nullptr);
            DWORD pid = 0;
            if (browser)
                ::GetWindowThreadProcessId(browser, &pid);
            if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(browser))
                browser = nullptr;
        }
        if (!browser)
            return;
        ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("W:\\MUSIC"));
        ::Sleep(200);
        ::PostMessageW(browser, WM_COMMAND, IDOK, 0);
    });
    TestListForgeDlg dlg("");
    dlg.useRealDrivePicker = true;
    ASSERT_TRUE(dlg.Create());
    user.Finish();
    EXPECT_EQ(1, dlg.drivePrompts);
    EXPECT_EQ("W:\\", dlg.PlayerRoot());
    EXPECT_EQ("VILO", dlg.Tree().GetItemText(dlg.Tree().GetRootItem()));
}

TEST_F(ListForgeOnPlayer, CancellingTheDriveChoiceEndsAtOnce)
{
    TestListForgeDlg dlg("");
    dlg.drive = "";
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, dlg.drivePrompts);
}

TEST_F(ListForgeOnPlayer, DropInsideThePlaylistReordersAndCountsAsAChange)
{
    mbtest::CRecordingPrompter prompter(IDYES);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(SW_SHOW);
    dlg.openPaths = {"W:\\LISTS\\PLAIN.M3U", "W:\\LISTS\\LF.M3U"};
    dlg.OpenM3u();
    ASSERT_EQ(Strings({"A_SONG.MP3", "B_SONG.mp3", "ROOT.MP3", "C_TRACK.WMA"}), Rows(dlg.Playlist()));
    dlg.savePath = "W:\\LISTS\\DROP.M3U";
    dlg.SaveM3u();
    ASSERT_FALSE(dlg.IsModified());
    mbtest::PumpFor(200);

    // Drag rows 2 and 3 onto row 0.
    SelectRows(dlg.Playlist(), {2, 3});
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = dlg.Playlist();
    nm.hdr.idFrom = IDC_PLAYLIST;
    nm.hdr.code = LVN_BEGINDRAG;
    nm.iItem = 2;
    nm.ptAction = POINT{5, 5};
    ::SendMessageW(dlg, WM_NOTIFY, IDC_PLAYLIST, reinterpret_cast<LPARAM>(&nm));
    RECT row0 = dlg.Playlist().GetItemRect(0);
    POINT p{row0.left + 10, (row0.top + row0.bottom) / 2};
    ::ClientToScreen(dlg.Playlist(), &p);
    ::ScreenToClient(dlg, &p);
    ::SendMessageW(dlg, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ::SendMessageW(dlg, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(Strings({"ROOT.MP3", "C_TRACK.WMA", "A_SONG.MP3", "B_SONG.mp3"}), Rows(dlg.Playlist()));
    EXPECT_EQ(std::vector<int>({0, 1}), dlg.Playlist().GetSelectedItems());
    EXPECT_TRUE(dlg.IsModified());
}

namespace {

// Types a file name into the shell's open or save dialog of this process and
// presses OK, as a user would.
void AnswerFileDialog(HWND except, const char* text)
{
    HWND box = nullptr;
    for (int i = 0; i < 200 && !box; ++i) {
        ::Sleep(50);
        for (HWND w = ::FindWindowW(L"#32770", nullptr); w; w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == ::GetCurrentProcessId() && w != except && ::IsWindowVisible(w)) {
                box = w;
                break;
            }
        }
    }
    if (!box)
        return;
    ::Sleep(300);
    // The file name box: a combo box (cmb13) in the explorer style, else an edit.
    if (!::SetDlgItemTextA(box, 1148, text))
        ::SetDlgItemTextA(box, 1152, text);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(ListForgeOnPlayer, TheShellsFileDialogsOpenSeveralAndSaveOne)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg(ROOT);
    ASSERT_TRUE(dlg.Create());
    dlg.useRealFileDialogs = true;
    HWND main = dlg;
    {
        mbtest::CBackgroundRun user([main] { AnswerFileDialog(main, "\"TOP1.M3U\" \"TOP2.M3U\""); });
        dlg.OpenM3u();
        user.Finish();
    }
    EXPECT_EQ(Strings({"W:\\ROOT.MP3", "W:\\MUSIC\\A_SONG.MP3"}), Rows(dlg.Playlist(), 1));
    {
        mbtest::CBackgroundRun user([main] { AnswerFileDialog(main, "W:\\LISTS\\REAL.M3U"); });
        dlg.SaveM3u();
        user.Finish();
    }
    EXPECT_EQ("#EXTM3U\r\nW:\\ROOT.MP3\r\nW:\\MUSIC\\A_SONG.MP3\r\n", lftest::ReadWholeFile("W:\\LISTS\\REAL.M3U"));
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_EQ(0u, prompter.Count()) << prompter.Text(0);
}

TEST_F(ListForgeOnPlayer, ClosingADialogLeavesTheSystemIconsAlone)
{
    mbtest::CRecordingPrompter prompter(IDYES);
    HIMAGELIST system = mb::SystemImageList(true);
    ASSERT_NE(nullptr, system);
    int icons = ImageList_GetImageCount(system);
    {
        TestListForgeDlg first(ROOT);
        ASSERT_TRUE(first.Create());
        EXPECT_TRUE(first.Files().GetStyle() & LVS_SHAREIMAGELISTS);
        EXPECT_TRUE(first.Playlist().GetStyle() & LVS_SHAREIMAGELISTS);
        first.Exit();  // Yes to exit: the window and its lists go
        EXPECT_EQ(nullptr, first.m_hWnd);
    }
    // The shared list lives on, and the next dialog's rows still show icons.
    EXPECT_GE(ImageList_GetImageCount(system), icons);
    TestListForgeDlg second(ROOT);
    ASSERT_TRUE(second.Create());
    ASSERT_EQ(1, second.Files().GetItemCount());
    EXPECT_GE(second.Files().GetItemImage(0), 0);
    EXPECT_EQ(system, ListView_GetImageList(second.Files(), LVSIL_SMALL));
}
