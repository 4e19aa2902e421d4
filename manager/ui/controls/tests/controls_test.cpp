// The control classes in a window of the test's own: the column sorter on
// every column in both directions, row selection, hit tests and tree paths.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "FileListCtrl.h"
#include "GuiTest.h"
#include "ListSorter.h"
#include "PathComboBox.h"
#include "PlayerTree.h"

namespace {

class Controls : public mbtest::GuiTest {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_USEREX_CLASSES};
        InitCommonControlsEx(&icc);
        ASSERT_TRUE(m_frame.CreateEx(0, nullptr, L"Controls", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     RECT{0, 0, 640, 480}, nullptr, 0));
        ASSERT_TRUE(m_list.CreateChild(WC_LISTVIEWW, m_frame.m_hWnd, 1002, RECT{0, 0, 400, 300},
                                       WS_VISIBLE | LVS_REPORT | LVS_EDITLABELS | LVS_SHOWSELALWAYS));
        ASSERT_TRUE(m_tree.CreateChild(WC_TREEVIEWW, m_frame.m_hWnd, 1004, RECT{400, 0, 640, 300},
                                       WS_VISIBLE | TVS_HASBUTTONS | TVS_EDITLABELS));
        m_list.InsertColumn(0, "Name", 100);
        m_list.InsertColumn(1, "Size", 80);
        m_list.InsertColumn(2, "Type", 80);
    }
    void TearDown() override
    {
        m_frame.DestroyWindow();
        mbtest::GuiTest::TearDown();
    }
    void Row(const char* name, const char* size, const char* type, LPARAM data)
    {
        int row = m_list.InsertItem(m_list.GetItemCount(), name, -1, data);
        m_list.SetItemText(row, 1, size);
        m_list.SetItemText(row, 2, type);
    }
    std::string Column(int col)
    {
        std::string s;
        for (int i = 0; i < m_list.GetItemCount(); ++i)
            s += (i ? "," : "") + m_list.GetItemText(i, col);
        return s;
    }

    CWnd m_frame;
    CFileListCtrl m_list;
    CPlayerTree m_tree;
};

}  // namespace

TEST_F(Controls, SorterSortsEveryColumnBothWaysAndPutsTheDataBack)
{
    Row("b", "10 KB", "Wave", 11);
    Row("A", "9 KB", "mp3", 22);
    Row("c", "100 KB", "Text", 33);
    Row("a2", "-5", "ogg", 44);
    struct Case {
        int column;
        bool numeric;
        bool ascending;
        int keyColumn;
        const char* want;
    } cases[] = {
        {0, false, true, 0, "A,a2,b,c"},
        {0, false, false, 0, "c,b,a2,A"},
        // Sizes as numbers: 9 before 10 before 100 (as text 10 < 100 < 9).
        {1, true, true, 1, "-5,9 KB,10 KB,100 KB"},
        {1, true, false, 1, "100 KB,10 KB,9 KB,-5"},
        {1, false, true, 1, "-5,10 KB,100 KB,9 KB"},
        {2, false, true, 2, "mp3,ogg,Text,Wave"},
        {2, false, false, 2, "Wave,Text,ogg,mp3"},
    };
    for (const Case& c : cases) {
        {
            CListSorter sorter(m_list, c.column, c.numeric);
            EXPECT_TRUE(sorter.Sort(c.ascending));
        }
        EXPECT_EQ(c.want, Column(c.keyColumn)) << "column " << c.column << (c.ascending ? " up" : " down");
        // Each row carries its own data again.
        for (int i = 0; i < m_list.GetItemCount(); ++i) {
            std::string name = m_list.GetItemText(i, 0);
            LPARAM want = name == "b" ? 11 : name == "A" ? 22 : name == "c" ? 33 : 44;
            EXPECT_EQ(want, m_list.GetItemData(i)) << name;
        }
    }
}

TEST_F(Controls, SorterEqualTextsAndEmptyList)
{
    {
        CListSorter sorter(m_list, 0, false);
        EXPECT_TRUE(sorter.Sort(true));
    }
    EXPECT_EQ(0, m_list.GetItemCount());
    Row("b", "", "", 1);
    Row("A", "", "", 2);
    Row("a", "", "", 3);
    {
        CListSorter sorter(m_list, 0, false);
        sorter.Sort(true);
    }
    EXPECT_EQ("b", m_list.GetItemText(2, 0));
}

TEST_F(Controls, FileListSelectsFindsAndHitTests)
{
    m_list.SelectItem(-1);  // an empty list: nothing happens
    EXPECT_EQ(0u, m_list.GetSelectedCount());
    Row("Folder", "", "", 0);
    Row("song.mp3", "3 KB", "", 0);
    Row("Other.wma", "1 KB", "", 0);
    m_list.SelectItem(-1);
    EXPECT_EQ(3u, m_list.GetSelectedCount());
    m_list.DeselectItem(1);
    EXPECT_EQ(2u, m_list.GetSelectedCount());
    m_list.DeselectItem(-1);
    EXPECT_EQ(0u, m_list.GetSelectedCount());
    std::string name;
    EXPECT_TRUE(m_list.IsFolderRow(0, &name));
    EXPECT_EQ("Folder", name);
    EXPECT_FALSE(m_list.IsFolderRow(1));
    EXPECT_EQ(2, m_list.FindRow("OTHER.WMA"));
    EXPECT_EQ(-1, m_list.FindRow("none"));

    RECT label = m_list.GetItemRect(1, LVIR_LABEL);
    POINT on{label.left + 2, (label.top + label.bottom) / 2};
    ClientToScreen(m_list.m_hWnd, &on);
    EXPECT_EQ(1, m_list.HitTest(on));
    // Right of the name column, in the row's Type column: no row.
    RECT row = m_list.GetItemRect(1, LVIR_BOUNDS);
    POINT off{row.right - 5, (row.top + row.bottom) / 2};
    ClientToScreen(m_list.m_hWnd, &off);
    EXPECT_EQ(-1, m_list.HitTest(off));

    SYSTEMTIME t{};
    t.wYear = 2006;
    t.wMonth = 7;
    t.wDay = 9;
    t.wHour = 0;
    t.wMinute = 4;
    EXPECT_EQ("2006-07-09 AM 12:04", CFileListCtrl::FormatFileTime(t));
    t.wHour = 24;
    EXPECT_EQ("---", CFileListCtrl::FormatFileTime(t));
}

TEST_F(Controls, EscapeCancelsALabelEditAndEnterCommitsIt)
{
    Row("song.mp3", "3 KB", "", 0);
    MSG key{m_list.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0};
    // No edit open: the keys go the usual way.
    EXPECT_FALSE(m_list.PreTranslateMessage(&key));
    EXPECT_EQ(0, m_list.m_editCancelled);

    m_list.SetFocus();
    HWND edit = m_list.EditLabel(0);
    ASSERT_NE(nullptr, edit);
    key.hwnd = edit;
    EXPECT_TRUE(m_list.PreTranslateMessage(&key));
    EXPECT_EQ(1, m_list.m_editCancelled);
    mbtest::PumpUntil([&] { return !m_list.GetEditControl(); }, 3000);
    EXPECT_TRUE(IsWindow(m_frame.m_hWnd));
    EXPECT_EQ("song.mp3", m_list.GetItemText(0, 0));

    m_list.m_editCancelled = 0;
    edit = m_list.EditLabel(0);
    ASSERT_NE(nullptr, edit);
    MSG enter{edit, WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_TRUE(m_list.PreTranslateMessage(&enter));
    EXPECT_EQ(0, m_list.m_editCancelled);
    mbtest::PumpUntil([&] { return !m_list.GetEditControl(); }, 3000);
    EXPECT_EQ(nullptr, m_list.GetEditControl());
}

TEST_F(Controls, PlayerTreePathsAndChildren)
{
    HTREEITEM root = m_tree.InsertItem("VILO");
    HTREEITEM a = m_tree.InsertItem("A", root);
    HTREEITEM b = m_tree.InsertItem("B", a);
    m_tree.InsertItem("?", b);
    EXPECT_EQ("E:\\", m_tree.GetItemPath(root, "E:\\"));
    EXPECT_EQ("E:\\", m_tree.GetItemPath(root, "E:"));
    EXPECT_EQ("E:\\A\\B\\", m_tree.GetItemPath(b, "E:\\"));
    m_tree.SelectItem(a);
    EXPECT_EQ("E:\\A\\", m_tree.GetSelectedPath("E:\\"));
    EXPECT_EQ(b, m_tree.FindChild("b"));
    EXPECT_EQ(nullptr, m_tree.FindChild("C"));
    EXPECT_TRUE(m_tree.DeleteChildren(b));
    EXPECT_FALSE(m_tree.ItemHasChildren(b));
    EXPECT_TRUE(m_tree.ItemHasChildren(a));
}

TEST_F(Controls, PathBoxKeepsOneEntryPerPath)
{
    CPathComboBox box;
    ASSERT_TRUE(box.CreateChild(WC_COMBOBOXEXW, m_frame.m_hWnd, 1183, RECT{0, 320, 300, 500},
                                WS_VISIBLE | CBS_DROPDOWN));
    box.InsertItem(0, "C:\\");
    box.InsertItem(1, "D:\\Music");
    box.InsertItem(2, "C:\\Temp");
    box.InsertPath("d:\\music", 1);
    ASSERT_EQ(3, box.GetCount());
    EXPECT_EQ("d:\\music", box.GetItemText(1));
    EXPECT_EQ("C:\\Temp", box.GetItemText(2));
    EXPECT_EQ("C:\\", box.GetCurSelText());
    // Fewer entries than the position: nothing is inserted.
    box.InsertPath("E:\\", 5);
    EXPECT_EQ(3, box.GetCount());
}
