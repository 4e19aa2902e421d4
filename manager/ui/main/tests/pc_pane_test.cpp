// The PC pane in the test's own process: the folder tree rooted at the
// desktop, the file list of a fixture folder (drive G:, made by
// data/make-pc-folder.sh) in its views and sort orders, renaming, New Folder,
// delete to the recycle bin, copy and cut with paste, and the tree's leak
// check. The Korean build of this program runs with code page 949.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "GuiTest.h"
#include "ManagerDlg.h"
#include "StringIds.h"
#include "Sync.h"
#include "Text.h"

namespace {

#ifdef MB_KOREAN_CODE_PAGE
// The Korean run's cases carry a suite name of their own.
#define PcPane PcPaneKorean
const bool kKorean = true;
#else
const bool kKorean = false;
#endif
const char* kSong = "\xB3\xEB\xB7\xA1.mp3";  // 노래.mp3 in code page 949
const char* kMusic = "\xC0\xBD\xBE\xC7";    // 음악

class PcPane : public mbtest::GuiTest {
protected:
    PcPane() : mbtest::GuiTest(90000) {}

    bool Open(CManagerDlg& dlg)
    {
        if (!dlg.Create())
            return false;
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        for (UINT_PTR id : {1, 4, 6, 12, 13})
            dlg.KillTimer(id);
        return ready && IsWindow(dlg.m_hWnd);
    }
    // Selects the tree item of a path and shows it, as timer 6 would.
    static HTREEITEM Show(CManagerDlg& dlg, const std::string& path)
    {
        HTREEITEM item = dlg.FindPcTreeItem(path);
        if (!item)
            return nullptr;
        dlg.m_pcTree.SelectItem(item);
        dlg.KillTimer(6);
        return dlg.ShowPcTreeSelection() && dlg.m_pcTree.GetSelectedItem() == item ? item : nullptr;
    }
    // A column's texts; in the English run the Korean names, which code page
    // 1252 cannot hold (they read as "??"), are left out.
    static std::string Column(CManagerDlg& dlg, int column)
    {
        std::string out;
        for (int i = 0; i < dlg.m_pcList.GetItemCount(); ++i)
            if (kKorean || dlg.m_pcList.GetItemText(i, 0).find('?') == std::string::npos)
                out += dlg.m_pcList.GetItemText(i, column) + "|";
        return out;
    }
    static int RowOf(CManagerDlg& dlg, const std::string& name) { return dlg.m_pcList.FindItem(name); }
    static void SelectOnly(CManagerDlg& dlg, const std::vector<std::string>& names)
    {
        for (int i = 0; i < dlg.m_pcList.GetItemCount(); ++i)
            dlg.m_pcList.Select(i, false);
        for (const std::string& n : names)
            dlg.m_pcList.Select(RowOf(dlg, n));
    }
    static void ClickColumn(CManagerDlg& dlg, int column)
    {
        NMLISTVIEW nm{};
        nm.hdr.hwndFrom = dlg.m_pcList.m_hWnd;
        nm.hdr.idFrom = 1001;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = column;
        dlg.Send(WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&nm));
    }
    static LRESULT EndListEdit(CManagerDlg& dlg, int row, const char* text)
    {
        NMLVDISPINFOA nm{};
        nm.hdr.hwndFrom = dlg.m_pcList.m_hWnd;
        nm.hdr.idFrom = 1001;
        nm.hdr.code = LVN_ENDLABELEDITA;
        nm.item.iItem = row;
        nm.item.pszText = const_cast<char*>(text);
        return dlg.Send(WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&nm));
    }
    // The header's bitmap of a column, nullptr without one.
    static HBITMAP HeaderArrow(CManagerDlg& dlg, int column)
    {
        HDITEMA item{};
        item.mask = HDI_FORMAT | HDI_BITMAP;
        ::SendMessageA(ListView_GetHeader(dlg.m_pcList.m_hWnd), HDM_GETITEMA, WPARAM(column),
                       reinterpret_cast<LPARAM>(&item));
        return (item.fmt & HDF_BITMAP) ? item.hbm : nullptr;
    }
    static int TreeChildren(CManagerDlg& dlg, HTREEITEM item)
    {
        TVITEMA tv{};
        tv.mask = TVIF_CHILDREN;
        tv.hItem = item;
        dlg.m_pcTree.Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        return tv.cChildren;
    }
    static std::vector<std::string> ChildTexts(CManagerDlg& dlg, HTREEITEM item)
    {
        std::vector<std::string> out;
        for (HTREEITEM c = dlg.m_pcTree.GetChildItem(item); c; c = dlg.m_pcTree.GetNextSiblingItem(c))
            out.push_back(dlg.m_pcTree.GetItemText(c));
        return out;
    }
    static bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static void MakeFile(const std::string& path, DWORD size)
    {
        HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::string bytes(size, 'x');
        DWORD written = 0;
        ::WriteFile(f, bytes.data(), size, &written, nullptr);
        ::CloseHandle(f);
    }
    // A fresh scratch folder below G:\work for one test.
    static std::string Scratch(const std::string& name)
    {
        std::string dir = "G:\\work\\" + name;
        SHFILEOPSTRUCTA op{};
        std::string from = dir + std::string(1, '\0');
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        ::SHFileOperationA(&op);
        ::CreateDirectoryA(dir.c_str(), nullptr);
        return dir;
    }

    // Runs work while a helper thread answers every question box of this
    // process (the shell's, other than the main window) with the button;
    // returns how many were answered.
    static LONG AnsweringShellQuestions(CManagerDlg& dlg, int button, const std::function<void()>& work)
    {
        volatile LONG stop = 0, answered = 0;
        const HWND main = dlg.m_hWnd;
        mbtest::CBackgroundRun answer([&] {
            while (!stop) {
                HWND box = nullptr;
                while ((box = ::FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
                    DWORD pid = 0;
                    ::GetWindowThreadProcessId(box, &pid);
                    if (pid == ::GetCurrentProcessId() && box != main && ::IsWindowVisible(box)) {
                        ::InterlockedIncrement(&answered);
                        ::PostMessageA(box, WM_COMMAND, button, 0);
                    }
                }
                ::Sleep(100);
            }
        });
        work();
        stop = 1;
        answer.Finish();
        return answered;
    }

    mbtest::CRecordingPrompter m_prompter;
};

[[maybe_unused]] std::string Env(const char* name)
{
    char value[1024] = {};
    DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? value : "";
}

}  // namespace

TEST_F(PcPane, TreeShowsDesktopComputerAndTheDrives)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    HTREEITEM desktop = dlg.m_pcTree.GetRootItem();
    ASSERT_NE(nullptr, desktop);
    EXPECT_EQ(desktop, dlg.m_desktopItem);
    EXPECT_EQ("Desktop", dlg.m_pcDrives[0].TypeText);
    EXPECT_EQ(dlg.m_pcDrives[0].DisplayName, dlg.m_pcTree.GetItemText(desktop));
    EXPECT_EQ(dlg.m_pcRootItem, dlg.m_pcTree.GetChildItem(desktop));
    EXPECT_EQ(dlg.m_pcDrives[1].DisplayName, dlg.m_pcTree.GetItemText(dlg.m_pcRootItem));
    EXPECT_EQ("PC Root", dlg.m_pcDrives[1].TypeText);
    // Without a network neighbourhood the tree has none and the records end
    // with the last drive.
    if (!dlg.m_pcHasNetwork) {
        EXPECT_EQ(nullptr, dlg.m_networkItem);
    }

    std::vector<std::string> drives = ChildTexts(dlg, dlg.m_pcRootItem);
    int driveCount = 0;
    for (int i = 2; i < dlg.m_pcDriveCount; ++i)
        if (dlg.m_pcDrives[i].TypeText != "Network Root")
            ++driveCount;
    EXPECT_EQ(size_t(driveCount), drives.size());
    // Sorted by letter, C: and the test drive G: among them.
    auto at = [&](const char* letter) {
        for (size_t i = 0; i < drives.size(); ++i)
            if (drives[i].compare(0, 4, letter) == 0)
                return int(i);
        return -1;
    };
    ASSERT_GE(at("(C:)"), 0);
    ASSERT_GT(at("(G:)"), at("(C:)"));
    for (int i = 2; i < dlg.m_pcDriveCount; ++i)
        if (dlg.m_pcDrives[i].Root == "(G:)") {
            EXPECT_EQ("Removable Disk", dlg.m_pcDrives[i].TypeText);
        }

    // Expanding a folder shows its subfolders; one without subfolders shows
    // no expand button, one with them does.
    HTREEITEM list = dlg.FindPcTreeItem("G:\\list");
    ASSERT_NE(nullptr, list);
    dlg.m_pcTree.Expand(list);
    std::vector<std::string> sub = ChildTexts(dlg, list);
    std::vector<std::string> expected = {"Alpha", "beta", kMusic};
    if (!kKorean)
        expected = {"??", "Alpha", "beta"};
    EXPECT_EQ(expected, sub);
    EXPECT_EQ(1, TreeChildren(dlg, dlg.FindPcTreeItem("G:\\list\\Alpha")));
    EXPECT_EQ(0, TreeChildren(dlg, dlg.FindPcTreeItem("G:\\list\\beta")));
    EXPECT_EQ(0u, m_prompter.Count());
    dlg.DestroyWindow();
}

TEST_F(PcPane, FolderListMatchesTheFixtureAndSortsEveryColumn)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NE(nullptr, Show(dlg, "G:\\list"));
    EXPECT_EQ(2, dlg.m_pcListKind);
    EXPECT_EQ("G:\\list\\", dlg.GetPcFolderPath());
    EXPECT_EQ("G:\\list\\", dlg.m_recentPaths.GetLBText(0));

    // Folders first, each group by name.
    std::string names = kKorean ? std::string("Alpha|beta|") + kMusic + "|a.mp3|B.wav|c.txt|Zed.wma|" + kSong + "|"
                                : "Alpha|beta|a.mp3|B.wav|c.txt|Zed.wma|";
    EXPECT_EQ(names, Column(dlg, 0));
    EXPECT_EQ("1 KB", dlg.m_pcList.GetItemText(RowOf(dlg, "a.mp3"), 1));
    EXPECT_EQ("5 KB", dlg.m_pcList.GetItemText(RowOf(dlg, "B.wav"), 1));
    EXPECT_EQ("293 KB", dlg.m_pcList.GetItemText(RowOf(dlg, "c.txt"), 1));
    EXPECT_EQ("69 KB", dlg.m_pcList.GetItemText(RowOf(dlg, "Zed.wma"), 1));
    EXPECT_EQ("", dlg.m_pcList.GetItemText(RowOf(dlg, "Alpha"), 1));
    EXPECT_EQ("2005-01-02 03:04", dlg.m_pcList.GetItemText(RowOf(dlg, "a.mp3"), 3));
    EXPECT_EQ("2002-02-03 04:05", dlg.m_pcList.GetItemText(RowOf(dlg, "Zed.wma"), 3));
    EXPECT_EQ("2001-01-01 00:00", dlg.m_pcList.GetItemText(RowOf(dlg, "beta"), 3));
    if (kKorean) {
        EXPECT_EQ("2 KB", dlg.m_pcList.GetItemText(RowOf(dlg, kSong), 1));
        EXPECT_EQ("2004-05-06 07:08", dlg.m_pcList.GetItemText(RowOf(dlg, kSong), 3));
    }
    EXPECT_FALSE(dlg.m_pcList.GetItemText(RowOf(dlg, "c.txt"), 2).empty());
    // The name column carries the up arrow after the refill.
    HBITMAP up = HeaderArrow(dlg, 0);
    EXPECT_NE(nullptr, up);
    EXPECT_EQ(nullptr, HeaderArrow(dlg, 1));

    // A click on the sorted column turns it round; folders stay on top.
    ClickColumn(dlg, 0);
    names = kKorean ? std::string(kMusic) + "|beta|Alpha|" + kSong + "|Zed.wma|c.txt|B.wav|a.mp3|"
                    : "beta|Alpha|Zed.wma|c.txt|B.wav|a.mp3|";
    EXPECT_EQ(names, Column(dlg, 0));
    HBITMAP down = HeaderArrow(dlg, 0);
    EXPECT_NE(nullptr, down);
    EXPECT_NE(up, down);

    // Size as a number: ascending on the first click, then descending.
    ClickColumn(dlg, 1);
    EXPECT_EQ(nullptr, HeaderArrow(dlg, 0));
    EXPECT_EQ(up, HeaderArrow(dlg, 1));
    std::string files = kKorean ? std::string("a.mp3|") + kSong + "|B.wav|Zed.wma|c.txt|" : "a.mp3|B.wav|Zed.wma|c.txt|";
    std::string column = Column(dlg, 0);
    EXPECT_EQ(files, column.substr(column.size() - files.size()));
    EXPECT_EQ("", dlg.m_pcList.GetItemText(0, 1));
    ClickColumn(dlg, 1);
    EXPECT_EQ(down, HeaderArrow(dlg, 1));
    column = Column(dlg, 0);
    EXPECT_EQ(kKorean ? std::string("c.txt|Zed.wma|B.wav|") + kSong + "|a.mp3|" : "c.txt|Zed.wma|B.wav|a.mp3|",
              column.substr(column.size() - files.size()));
    EXPECT_EQ("", dlg.m_pcList.GetItemText(0, 1));

    // Modified as text: oldest first, then newest first.
    ClickColumn(dlg, 3);
    EXPECT_EQ(up, HeaderArrow(dlg, 3));
    column = Column(dlg, 3);
    const std::string oldest = kKorean ? "2002-02-03 04:05|2003-07-08 09:10|2004-05-06 07:08|2005-01-02 03:04|2006-11-12 13:14|"
                                       : "2002-02-03 04:05|2003-07-08 09:10|2005-01-02 03:04|2006-11-12 13:14|";
    EXPECT_EQ(oldest, column.substr(column.size() - oldest.size()));
    ClickColumn(dlg, 3);
    EXPECT_EQ(down, HeaderArrow(dlg, 3));
    EXPECT_EQ("2006-11-12 13:14", dlg.m_pcList.GetItemText(3, 3));
    EXPECT_EQ("", dlg.m_pcList.GetItemText(0, 1));

    // Type as text, both ways, folders kept above.
    ClickColumn(dlg, 2);
    EXPECT_EQ(up, HeaderArrow(dlg, 2));
    const int folders = 3;
    for (int i = 0; i < folders; ++i)
        EXPECT_EQ("", dlg.m_pcList.GetItemText(i, 1)) << i;
    for (int i = folders + 1; i < dlg.m_pcList.GetItemCount(); ++i)
        EXPECT_LE(::lstrcmpiA(dlg.m_pcList.GetItemText(i - 1, 2).c_str(), dlg.m_pcList.GetItemText(i, 2).c_str()), 0);
    ClickColumn(dlg, 2);
    for (int i = folders + 1; i < dlg.m_pcList.GetItemCount(); ++i)
        EXPECT_GE(::lstrcmpiA(dlg.m_pcList.GetItemText(i - 1, 2).c_str(), dlg.m_pcList.GetItemText(i, 2).c_str()), 0);
    for (int i = 0; i < folders; ++i)
        EXPECT_EQ("", dlg.m_pcList.GetItemText(i, 1)) << i;

    dlg.ShowWindow(SW_SHOW);
    mbtest::PumpFor(300);
    dlg.RedrawNow();
    mbtest::PumpFor(200);
    mbtest::SaveScreenshot(dlg.m_hWnd, kKorean ? "pc_pane_korean" : "pc_pane_list");
    EXPECT_EQ(0u, m_prompter.Count());
    dlg.DestroyWindow();
}

TEST_F(PcPane, DriveListAndShellFolderViews)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NE(nullptr, Show(dlg, "G:\\list"));
    // The drive list: one row per drive with its type and sizes.
    dlg.m_pcTree.SelectItem(dlg.m_pcRootItem);
    ASSERT_TRUE(dlg.ShowPcTreeSelection());
    EXPECT_EQ(1, dlg.m_pcListKind);
    EXPECT_EQ("", dlg.GetPcFolderPath());
    int g = -1;
    for (int i = 0; i < dlg.m_pcList.GetItemCount(); ++i)
        if (dlg.m_pcList.GetItemText(i, 0).compare(0, 5, "(G:) ") == 0)
            g = i;
    ASSERT_GE(g, 0);
    EXPECT_EQ("Removable Disk", dlg.m_pcList.GetItemText(g, 1));
    EXPECT_FALSE(dlg.m_pcList.GetItemText(g, 2).empty());
    EXPECT_FALSE(dlg.m_pcList.GetItemText(g, 3).empty());
    // Copying in the drive view is refused.
    EXPECT_EQ(0, dlg.CollectSelection(1, dlg.m_clipboard, nullptr));
    EXPECT_EQ(mb::LoadText(IDS_DRIVE_NOT_COPIED), dlg.m_message);
    // Opening the drive's row selects it in the tree.
    dlg.m_pcList.Select(g);
    dlg.OpenPcItem();
    EXPECT_EQ(2, dlg.m_pcListKind);
    EXPECT_EQ("G:\\", dlg.GetPcFolderPath());

    // A shell folder's view: the names, folders first.
    IShellFolder* desktop = nullptr;
    ASSERT_TRUE(SUCCEEDED(::SHGetDesktopFolder(&desktop)));
    LPITEMIDLIST list = nullptr;
    std::wstring path = L"G:\\list";
    ASSERT_TRUE(SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, &path[0], nullptr, &list, nullptr)));
    IShellFolder* folder = nullptr;
    ASSERT_TRUE(SUCCEEDED(desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))));
    dlg.SetPcListView(3);
    ASSERT_TRUE(dlg.FillShellList(folder, nullptr));
    std::string names = Column(dlg, 0);
    EXPECT_EQ(0u, names.find("Alpha|beta|")) << names;
    EXPECT_NE(std::string::npos, names.find("|a.mp3|"));
    EXPECT_EQ(8, dlg.m_pcList.GetItemCount());
    folder->Release();
    ::CoTaskMemFree(list);
    desktop->Release();
    dlg.DestroyWindow();
}

// The commands run once, in the English run.
#ifndef MB_KOREAN_CODE_PAGE
// The drive box: the records' lines, the folder chain below the drive, and a
// chosen line selecting its tree item.
TEST_F(PcPane, DriveBoxShowsTheChainAndSelectsAlongIt)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NE(nullptr, Show(dlg, "G:\\list\\Alpha\\Inner"));
    CComboBoxEx& box = dlg.m_pcPath;
    int g = -1;
    for (int i = 0; i < box.GetCount(); ++i)
        if (box.GetItemText(i).compare(0, 4, "(G:)") == 0)
            g = i;
    ASSERT_GT(g, 1);
    EXPECT_EQ(dlg.m_pcDrives[0].DisplayName, box.GetItemText(0));
    EXPECT_EQ(dlg.m_pcDrives[1].DisplayName, box.GetItemText(1));
    EXPECT_EQ("list", box.GetItemText(g + 1));
    EXPECT_EQ("Alpha", box.GetItemText(g + 2));
    EXPECT_EQ("Inner", box.GetItemText(g + 3));
    EXPECT_EQ(g + 3, box.GetCurSel());
    auto indent = [&](int line) {
        COMBOBOXEXITEMA item{};
        item.mask = CBEIF_INDENT;
        item.iItem = line;
        box.Send(CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iIndent;
    };
    EXPECT_EQ(0, indent(0));
    EXPECT_EQ(1, indent(1));
    EXPECT_EQ(2, indent(g));
    EXPECT_EQ(3, indent(g + 1));
    EXPECT_EQ(5, indent(g + 3));
    // The next drive follows the chain.
    if (g + 4 < box.GetCount()) {
        EXPECT_EQ(2, indent(g + 4));
    }
    // Choosing "list" goes two levels up; choosing the drive selects it.
    box.SetCurSel(g + 1);
    dlg.OnDriveBoxChosen();
    EXPECT_EQ(dlg.FindPcTreeItem("G:\\list"), dlg.m_pcTree.GetSelectedItem());
    box.SetCurSel(g);
    dlg.OnDriveBoxChosen();
    EXPECT_EQ(dlg.FindPcTreeChild(dlg.m_pcRootItem, "(G:)"), dlg.m_pcTree.GetSelectedItem());
    box.SetCurSel(1);
    dlg.OnDriveBoxChosen();
    EXPECT_EQ(dlg.m_pcRootItem, dlg.m_pcTree.GetSelectedItem());
    dlg.DestroyWindow();
}

// Box 1193: a path typed and ended with Enter shows its folder; one that is
// not there is refused and the box goes back to its first entry; Enter
// without typing does nothing.
TEST_F(PcPane, TypedPathEndedWithEnterShowsThatFolder)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_NE(nullptr, Show(dlg, "G:\\list"));
    HWND edit = ::GetWindow(dlg.m_recentPaths.m_hWnd, GW_CHILD);
    ASSERT_NE(nullptr, edit);
    auto type = [&](const std::string& text) {
        ::SendMessageA(edit, EM_SETSEL, 0, -1);
        for (char c : text)
            ::PostMessageA(edit, WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
        mbtest::PostKey(edit, VK_RETURN);
    };
    type("g:\\list\\alpha");
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.GetPcFolderPath() == "G:\\list\\Alpha\\"; }, 20000))
        << dlg.GetPcFolderPath();
    EXPECT_EQ(0, RowOf(dlg, "Inner"));
    EXPECT_EQ("G:\\list\\Alpha\\", dlg.m_recentPaths.GetText());

    // A drive's root, as shown roots come back from the box.
    type("g:\\");
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.GetPcFolderPath() == "G:\\"; }, 20000)) << dlg.GetPcFolderPath();
    EXPECT_GE(RowOf(dlg, "list"), 0);
    type("g:\\list\\alpha");
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.GetPcFolderPath() == "G:\\list\\Alpha\\"; }, 20000));

    type("G:\\list\\gone");
    EXPECT_TRUE(mbtest::PumpUntil([&] { return m_prompter.Count() == 1; }, 20000));
    EXPECT_EQ("This directory is invalid.", m_prompter.Text(0));
    EXPECT_EQ("G:\\list\\Alpha\\", dlg.m_recentPaths.GetText());
    EXPECT_EQ("G:\\list\\Alpha\\", dlg.GetPcFolderPath());

    // An entry put into the box is not typed: Enter leaves the folder shown.
    ASSERT_EQ("G:\\", dlg.m_recentPaths.GetLBText(1));
    dlg.m_recentPaths.SetCurSel(1);
    mbtest::PostKey(edit, VK_RETURN);
    mbtest::PumpUntil([&] { return dlg.GetPcFolderPath() != "G:\\list\\Alpha\\"; }, 1500);
    EXPECT_EQ("G:\\list\\Alpha\\", dlg.GetPcFolderPath());
    EXPECT_EQ(1u, m_prompter.Count());
    dlg.DestroyWindow();
}

// A folder made after its parent was listed without subfolders (a parent
// with no expand button): found, selected and shown.
TEST_F(PcPane, AFolderMadeAfterItsParentWasListedIsShown)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    const std::string dir = Scratch("late");
    ASSERT_NE(nullptr, Show(dlg, dir));
    ::CreateDirectoryA((dir + "\\New").c_str(), nullptr);
    HTREEITEM item = Show(dlg, dir + "\\New");
    ASSERT_NE(nullptr, item);
    EXPECT_EQ("New", dlg.m_pcTree.GetItemText(item));
    EXPECT_EQ(dir + "\\New\\", dlg.GetPcFolderPath());
    dlg.DestroyWindow();
}

TEST_F(PcPane, RenameRefusesBadNamesAndAsksAgainForAnEmptyOne)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    const std::string dir = Scratch("rename");
    MakeFile(dir + "\\old.mp3", 10);
    ::CreateDirectoryA((dir + "\\Sub").c_str(), nullptr);
    HTREEITEM item = Show(dlg, dir);
    ASSERT_NE(nullptr, item);
    const int row = RowOf(dlg, "old.mp3");
    ASSERT_GE(row, 0);

    EndListEdit(dlg, row, "a/b.mp3");
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_BAD_FILE_NAME), m_prompter.Text(0));
    EXPECT_EQ(0u, mb::LoadText(IDS_BAD_FILE_NAME).find("The following letters are not valid to file name."));
    EXPECT_TRUE(Exists(dir + "\\old.mp3"));

    EndListEdit(dlg, row, "");
    ASSERT_EQ(2u, m_prompter.Count());
    EXPECT_EQ("Type valid file name.", m_prompter.Text(1));
    // Editing starts again on the row.
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.m_pcList.GetEditControl() != nullptr; }, 3000));
    dlg.m_pcList.Send(LVM_CANCELEDITLABEL);
    mbtest::PumpFor(50);

    EndListEdit(dlg, row, "new.mp3");
    EXPECT_EQ(2u, m_prompter.Count());
    EXPECT_FALSE(Exists(dir + "\\old.mp3"));
    EXPECT_TRUE(Exists(dir + "\\new.mp3"));
    EXPECT_EQ("new.mp3", dlg.m_pcList.GetItemText(row, 0));

    // A folder row renames its tree item too.
    dlg.m_pcTree.Expand(item);
    EndListEdit(dlg, RowOf(dlg, "Sub"), "Renamed");
    EXPECT_TRUE(Exists(dir + "\\Renamed"));
    EXPECT_EQ(std::vector<std::string>{"Renamed"}, ChildTexts(dlg, item));
    dlg.DestroyWindow();
}

// Renaming a folder above the listed one (from the tree's context menu)
// moves the listed folder with it: a rename in the list then happens in the
// folder as it is now called.
TEST_F(PcPane, RenamingAFolderAboveTheListedOneKeepsTheListWorking)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    const std::string dir = Scratch("renameup");
    ::CreateDirectoryA((dir + "\\Outer").c_str(), nullptr);
    ::CreateDirectoryA((dir + "\\Outer\\Inner").c_str(), nullptr);
    MakeFile(dir + "\\Outer\\Inner\\a.mp3", 10);
    HTREEITEM inner = Show(dlg, dir + "\\Outer\\Inner");
    ASSERT_NE(nullptr, inner);
    HTREEITEM outer = dlg.m_pcTree.GetParentItem(inner);
    NMTVDISPINFOA nm{};
    nm.hdr.hwndFrom = dlg.m_pcTree.m_hWnd;
    nm.hdr.idFrom = 1003;
    nm.hdr.code = TVN_ENDLABELEDITA;
    nm.item.hItem = outer;
    nm.item.pszText = const_cast<char*>("Renamed");
    dlg.Send(WM_NOTIFY, 1003, reinterpret_cast<LPARAM>(&nm));
    ASSERT_TRUE(Exists(dir + "\\Renamed\\Inner\\a.mp3"));
    EXPECT_EQ(dir + "\\Renamed\\Inner\\", dlg.GetPcFolderPath());
    EndListEdit(dlg, RowOf(dlg, "a.mp3"), "b.mp3");
    EXPECT_EQ(0u, m_prompter.Count()) << (m_prompter.Count() ? m_prompter.Text(0) : "");
    EXPECT_TRUE(Exists(dir + "\\Renamed\\Inner\\b.mp3"));
    EXPECT_EQ("b.mp3", dlg.m_pcList.GetItemText(RowOf(dlg, "b.mp3"), 0));
    EXPECT_FALSE(Exists(dir + "\\Outer"));
    dlg.DestroyWindow();
}

TEST_F(PcPane, NewFolderIsNumberedOneAboveTheHighest)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ::RemoveDirectoryA("G:\\newfolder\\New Folder(8)");
    HTREEITEM item = Show(dlg, "G:\\newfolder");
    ASSERT_NE(nullptr, item);
    ASSERT_TRUE(dlg.NewPcFolder(true, nullptr));
    EXPECT_TRUE(Exists("G:\\newfolder\\New Folder(8)"));
    EXPECT_GE(RowOf(dlg, "New Folder(8)"), 0);
    // The name is open for editing in the list.
    EXPECT_NE(nullptr, dlg.m_pcList.GetEditControl());
    dlg.m_pcList.Send(LVM_CANCELEDITLABEL);
    dlg.m_pcTree.Expand(item);
    std::vector<std::string> sub = ChildTexts(dlg, item);
    EXPECT_NE(sub.end(), std::find(sub.begin(), sub.end(), "New Folder(8)"));
    ::RemoveDirectoryA("G:\\newfolder\\New Folder(8)");
    // Refused in the drive list.
    dlg.m_pcTree.SelectItem(dlg.m_pcRootItem);
    dlg.ShowPcTreeSelection();
    EXPECT_FALSE(dlg.NewPcFolder(true, nullptr));
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("Failed to create a new folder.", m_prompter.Text(0));
    dlg.DestroyWindow();
}

// The shell asks before it recycles: a helper thread answers Yes.
TEST_F(PcPane, DeleteSendsTheSelectionToTheRecycleBin)
{
    const std::string trash = Env("MB_PC_TRASH");
    ASSERT_FALSE(trash.empty()) << "the recycle test needs its own trash folder";
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    const std::string dir = Scratch("delete");
    MakeFile(dir + "\\gone.mp3", 100);
    MakeFile(dir + "\\kept.mp3", 100);
    ::CreateDirectoryA((dir + "\\GoneDir").c_str(), nullptr);
    ::CreateDirectoryA((dir + "\\GoneDir\\Inner").c_str(), nullptr);
    HTREEITEM item = Show(dlg, dir);
    ASSERT_NE(nullptr, item);
    dlg.m_pcTree.Expand(item);
    ASSERT_EQ(std::vector<std::string>{"GoneDir"}, ChildTexts(dlg, item));
    SelectOnly(dlg, {"gone.mp3", "GoneDir"});

    AnsweringShellQuestions(dlg, IDYES, [&] { dlg.DeletePcSelection(); });
    EXPECT_FALSE(Exists(dir + "\\gone.mp3"));
    EXPECT_FALSE(Exists(dir + "\\GoneDir"));
    EXPECT_TRUE(Exists(dir + "\\kept.mp3"));
    EXPECT_TRUE(Exists(trash + "\\Trash\\files\\gone.mp3"));
    EXPECT_TRUE(Exists(trash + "\\Trash\\files\\GoneDir\\Inner"));
    EXPECT_EQ("kept.mp3|", Column(dlg, 0));
    EXPECT_TRUE(ChildTexts(dlg, item).empty());
    EXPECT_EQ(0u, m_prompter.Count());
    dlg.DestroyWindow();
}

// Delete on the tree's top item (the user's desktop folder), on the computer
// and on a drive deletes nothing and asks nothing; a question of the shell
// would be answered No.
TEST_F(PcPane, TheDesktopTheComputerAndTheDrivesAreNeverDeleted)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    char desktop[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    ASSERT_TRUE(Exists(desktop));
    HTREEITEM drive = dlg.FindPcTreeItem("G:\\");
    ASSERT_NE(nullptr, drive);

    const LONG questions = AnsweringShellQuestions(dlg, IDNO, [&] {
        for (HTREEITEM item : {dlg.m_desktopItem, dlg.m_pcRootItem, drive}) {
            dlg.m_pcTree.SelectItem(item);
            dlg.KillTimer(6);
            dlg.m_pcTree.SetFocus();
            mbtest::PostKey(dlg.m_pcTree.m_hWnd, VK_DELETE);
            mbtest::PumpFor(300);
            dlg.DeletePcTreeFolder();
        }
    });
    EXPECT_EQ(0, questions);
    EXPECT_TRUE(Exists(desktop));
    EXPECT_EQ(0u, m_prompter.Count()) << (m_prompter.Count() ? m_prompter.Text(0) : "");
    dlg.DestroyWindow();
}

TEST_F(PcPane, CopyAndCutPasteBetweenTwoFolders)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    const std::string dir = Scratch("paste");
    ::CreateDirectoryA((dir + "\\src").c_str(), nullptr);
    ::CreateDirectoryA((dir + "\\dst").c_str(), nullptr);
    ::CreateDirectoryA((dir + "\\src\\Folder").c_str(), nullptr);
    MakeFile(dir + "\\src\\one.mp3", 3000);
    MakeFile(dir + "\\src\\two.mp3", 4000);
    HTREEITEM src = Show(dlg, dir + "\\src");
    ASSERT_NE(nullptr, src);
    SelectOnly(dlg, {"one.mp3", "Folder"});
    ASSERT_EQ(1, dlg.CollectSelection(1, dlg.m_clipboard, nullptr));
    EXPECT_EQ(1, dlg.m_clipboard.Operation);
    EXPECT_EQ(dir + "\\src\\", dlg.m_clipboard.BaseFolder);
    EXPECT_TRUE(dlg.m_clipboard.HasFolders);
    ASSERT_EQ(2u, dlg.m_clipboard.Names.size());

    HTREEITEM dst = Show(dlg, dir + "\\dst");
    ASSERT_NE(nullptr, dst);
    EXPECT_EQ(0, dlg.m_pcList.GetItemCount());
    EXPECT_TRUE(dlg.PastePc(dlg.GetPcFolderPath(), true));
    EXPECT_TRUE(Exists(dir + "\\dst\\one.mp3"));
    EXPECT_TRUE(Exists(dir + "\\dst\\Folder"));
    EXPECT_TRUE(Exists(dir + "\\src\\one.mp3"));
    // The list shows the pasted rows selected; the tree has the folder.
    EXPECT_EQ("Folder|one.mp3|", Column(dlg, 0));
    EXPECT_EQ(2u, dlg.m_pcList.GetSelectedCount());
    dst = dlg.FindPcTreeItem(dir + "\\dst");
    EXPECT_EQ(std::vector<std::string>{"Folder"}, ChildTexts(dlg, dst));
    EXPECT_EQ(1, dlg.m_clipboard.Operation);  // a copy can be pasted again

    // Cut two.mp3 and move it over; the clipboard empties.
    ASSERT_NE(nullptr, Show(dlg, dir + "\\src"));
    SelectOnly(dlg, {"two.mp3"});
    ASSERT_EQ(1, dlg.CollectSelection(2, dlg.m_clipboard, nullptr));
    ASSERT_NE(nullptr, Show(dlg, dir + "\\dst"));
    EXPECT_TRUE(dlg.PastePc(dlg.GetPcFolderPath(), true));
    EXPECT_FALSE(Exists(dir + "\\src\\two.mp3"));
    EXPECT_TRUE(Exists(dir + "\\dst\\two.mp3"));
    EXPECT_EQ("Folder|one.mp3|two.mp3|", Column(dlg, 0));
    EXPECT_EQ(0, dlg.m_clipboard.Operation);
    EXPECT_TRUE(dlg.m_clipboard.Names.empty());
    // Nothing left to paste.
    EXPECT_FALSE(dlg.PastePc(dlg.GetPcFolderPath(), true));
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("There is no selected file.", m_prompter.Text(0));
    dlg.DestroyWindow();
}

// Expanding and collapsing a large tree 50 times, and refilling shell items
// below it as often, keeps memory, GDI and USER objects and the shell
// folder's references flat.
TEST_F(PcPane, ExpandingAndCollapsingLeavesNothingBehind)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    HTREEITEM tree = dlg.FindPcTreeItem("G:\\tree");
    ASSERT_NE(nullptr, tree);
    IShellFolder* desktop = nullptr;
    ASSERT_TRUE(SUCCEEDED(::SHGetDesktopFolder(&desktop)));
    LPITEMIDLIST treeList = nullptr;
    std::wstring path = L"G:\\tree";
    ASSERT_TRUE(SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, &path[0], nullptr, &treeList, nullptr)));
    IShellFolder* folder = nullptr;
    ASSERT_TRUE(SUCCEEDED(desktop->BindToObject(treeList, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))));
    HTREEITEM shellParent = dlg.m_pcTree.InsertItem("shell", dlg.m_desktopItem);

    auto round = [&] {
        dlg.m_pcTree.Expand(tree, TVE_EXPAND);
        for (HTREEITEM c = dlg.m_pcTree.GetChildItem(tree); c; c = dlg.m_pcTree.GetNextSiblingItem(c))
            dlg.m_pcTree.Expand(c, TVE_EXPAND);
        dlg.m_pcTree.Expand(tree, TVE_COLLAPSE);
        dlg.AddShellChildren(folder, treeList, shellParent, false);
    };
    // The process's private bytes (its page-file commit). Wine answers the
    // GDI and USER counts with 0: those bounds hold on Windows only.
    auto usage = [] {
        PROCESS_MEMORY_COUNTERS m{};
        m.cb = sizeof m;
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &m, sizeof m);
        return m.PagefileUsage;
    };
    for (int i = 0; i < 5; ++i)
        round();
    ASSERT_EQ(20u, ChildTexts(dlg, tree).size());
    ASSERT_EQ(20u, ChildTexts(dlg, shellParent).size());
    const ULONG refs = (folder->AddRef(), folder->Release());
    const DWORD gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    const SIZE_T bytes = usage();
    ASSERT_GT(bytes, 0u);
    for (int i = 0; i < 50; ++i)
        round();
    const ULONG refsAfter = (folder->AddRef(), folder->Release());
    EXPECT_EQ(refs, refsAfter);  // each shell item's reference went with it
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi + 10);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user + 10);
    EXPECT_LE(usage(), bytes + 2 * 1024 * 1024);
    std::printf("private bytes %lu -> %lu, GDI %lu, USER %lu\n", static_cast<unsigned long>(bytes),
                static_cast<unsigned long>(usage()), static_cast<unsigned long>(gdi), static_cast<unsigned long>(user));
    // The records go with the items: after the last delete one reference is left.
    dlg.m_pcTree.DeleteItem(shellParent);
    EXPECT_EQ(refs - 20, (folder->AddRef(), folder->Release()));
    folder->Release();
    ::CoTaskMemFree(treeList);
    desktop->Release();
    dlg.DestroyWindow();
}
#endif  // MB_KOREAN_CODE_PAGE
