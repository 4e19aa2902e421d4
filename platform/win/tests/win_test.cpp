// The window layer as its users meet it: message maps, modal and modeless
// dialogs, the pre-translate chain, worker threads, resource modules, the
// control wrappers, texts and the shell helpers. Every case makes real windows
// from the test templates and drives them by messages.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App.h"
#include "Sync.h"
#include "Controls.h"
#include "Dialog.h"
#include "Gdi.h"
#include "GuiTest.h"
#include "Shell.h"
#include "Text.h"
#include "data/resource.h"

namespace {

using mbtest::GuiTest;

const UINT WM_PROBE = WM_USER + 528;

// ---------------------------------------------------------------------------
// Message maps

class CHarnessDlg : public CDialog {
public:
    CHarnessDlg() : CDialog(IDD_HARNESS) {}
    int goClicks = 0;
    std::vector<UINT> rangeIds;
    std::vector<UINT> timers;
    int editChanges = 0;
    int listChanges = 0;
    int treeChanges = 0;
    LPARAM probeLParam = 0;

    CListCtrl list;
    CTreeCtrl tree;
    CComboBox combo;

    BOOL OnInitDialog() override
    {
        list.SubclassDlgItem(IDC_LIST, m_hWnd);
        combo.SubclassDlgItem(IDC_COMBO, m_hWnd);
        return TRUE;
    }

    MB_DECLARE_MESSAGE_MAP()
    void OnGo() { ++goClicks; }
    void OnRange(UINT id) { rangeIds.push_back(id); }
    void OnTimer(UINT_PTR id)
    {
        timers.push_back(static_cast<UINT>(id));
        KillTimer(id);
    }
    void OnEditChange() { ++editChanges; }
    void OnListChanged(NMHDR*, LRESULT*) { ++listChanges; }
    void OnTreeChanged(NMHDR*, LRESULT*) { ++treeChanges; }
    LRESULT OnProbe(WPARAM wp, LPARAM lp)
    {
        probeLParam = lp;
        return static_cast<LRESULT>(wp * 2);
    }
};

MB_BEGIN_MESSAGE_MAP(CHarnessDlg, CDialog)
    mb::OnCommand(IDC_GO, &CHarnessDlg::OnGo),
    mb::OnCommandRange(IDC_RANGE_FIRST, IDC_RANGE_LAST, &CHarnessDlg::OnRange),
    mb::OnTimer(&CHarnessDlg::OnTimer),
    mb::OnControl(EN_CHANGE, IDC_EDIT, &CHarnessDlg::OnEditChange),
    mb::OnNotify(LVN_ITEMCHANGED, IDC_LIST, &CHarnessDlg::OnListChanged),
    mb::OnNotify(TVN_SELCHANGEDA, IDC_TREE, &CHarnessDlg::OnTreeChanged),
    mb::OnNotify(TVN_SELCHANGEDW, IDC_TREE, &CHarnessDlg::OnTreeChanged),
    mb::OnMessage(WM_PROBE, &CHarnessDlg::OnProbe),
MB_END_MESSAGE_MAP()

// A derived dialog overrides one entry of its base and inherits the rest.
class CDerivedDlg : public CHarnessDlg {
public:
    int ownGo = 0;
    MB_DECLARE_MESSAGE_MAP()
    void OnOwnGo() { ++ownGo; }
};

MB_BEGIN_MESSAGE_MAP(CDerivedDlg, CHarnessDlg)
    mb::OnCommand(IDC_GO, &CDerivedDlg::OnOwnGo),
MB_END_MESSAGE_MAP()

// A tree that handles its own selection change, as the panes' tree classes do.
class CReflectingTree : public CTreeCtrl {
public:
    int own = 0;
    MB_DECLARE_MESSAGE_MAP()
    void OnSelChanged(NMHDR*, LRESULT* result)
    {
        ++own;
        *result = 0;
    }
};

MB_BEGIN_MESSAGE_MAP(CReflectingTree, CTreeCtrl)
    mb::OnNotifyReflect(TVN_SELCHANGEDA, &CReflectingTree::OnSelChanged),
    mb::OnNotifyReflect(TVN_SELCHANGEDW, &CReflectingTree::OnSelChanged),
MB_END_MESSAGE_MAP()

class MessageMap : public GuiTest {};

TEST_F(MessageMap, CommandsReachTheirHandlersByIdAndRange)
{
    CHarnessDlg dlg;
    ASSERT_TRUE(dlg.Create());
    mbtest::Click(dlg, IDC_GO);
    mbtest::Click(dlg, IDC_GO);
    mbtest::Click(dlg, 1021);
    mbtest::Click(dlg, IDC_RANGE_LAST);
    EXPECT_EQ(2, dlg.goClicks);
    EXPECT_EQ((std::vector<UINT>{1021, IDC_RANGE_LAST}), dlg.rangeIds);
    // A command nobody maps goes to the dialog manager and changes nothing.
    mbtest::Click(dlg, 1999);
    EXPECT_EQ(2, dlg.goClicks);
    // A real button click arrives the same way, and so does an accelerator.
    ::SendMessageW(dlg.GetDlgItem(IDC_GO), BM_CLICK, 0, 0);
    dlg.Send(WM_COMMAND, MAKEWPARAM(IDC_GO, 1), 0);
    EXPECT_EQ(4, dlg.goClicks);
    // A control's notification code 1 (here a combo's selection change) is
    // no command.
    dlg.Send(WM_COMMAND, MAKEWPARAM(IDC_GO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(dlg.GetDlgItem(IDC_GO)));
    EXPECT_EQ(4, dlg.goClicks);
    dlg.DestroyWindow();
}

TEST_F(MessageMap, ControlNotificationsAndPrivateMessagesCarryTheirValues)
{
    CHarnessDlg dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.SetItemText(IDC_EDIT, "typed");
    EXPECT_EQ(1, dlg.editChanges);
    // Pointer-sized values survive on both widths.
    LPARAM big = static_cast<LPARAM>(reinterpret_cast<INT_PTR>(&dlg));
    EXPECT_EQ(42, dlg.Send(WM_PROBE, 21, big));
    EXPECT_EQ(big, dlg.probeLParam);
    dlg.list.InsertColumn(0, "Name", 100);
    dlg.list.InsertItem(0, "one");
    int before = dlg.listChanges;
    dlg.list.Select(0);
    EXPECT_GT(dlg.listChanges, before);
    dlg.DestroyWindow();
}

TEST_F(MessageMap, TimersArriveWithTheirIds)
{
    CHarnessDlg dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.SetTimer(7, 10);
    dlg.SetTimer(12, 30);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.timers.size() >= 2; }));
    EXPECT_EQ((std::vector<UINT>{7, 12}), dlg.timers);
    dlg.DestroyWindow();
}

TEST_F(MessageMap, ReflectedNotificationsGoToTheControlInsteadOfItsParent)
{
    CHarnessDlg dlg;
    ASSERT_TRUE(dlg.Create());
    CReflectingTree tree;
    ASSERT_TRUE(tree.SubclassDlgItem(IDC_TREE, dlg));
    HTREEITEM a = tree.InsertItem("a");
    HTREEITEM b = tree.InsertItem("b");
    tree.SelectItem(a);
    tree.SelectItem(b);
    EXPECT_EQ(2, tree.own);
    EXPECT_EQ(0, dlg.treeChanges);
    // Without a reflecting class the parent's own entry handles it.
    tree.UnsubclassWindow();
    CTreeCtrl plain;
    ASSERT_TRUE(plain.SubclassDlgItem(IDC_TREE, dlg));
    plain.SelectItem(a);
    EXPECT_EQ(1, dlg.treeChanges);
    EXPECT_EQ(2, tree.own);
    dlg.DestroyWindow();
}

TEST_F(MessageMap, DerivedMapsOverrideTheirBaseAndInheritTheRest)
{
    CDerivedDlg dlg;
    ASSERT_TRUE(dlg.Create());
    mbtest::Click(dlg, IDC_GO);
    mbtest::Click(dlg, IDC_RANGE_FIRST);
    EXPECT_EQ(1, dlg.ownGo);
    EXPECT_EQ(0, dlg.goClicks);
    EXPECT_EQ(std::vector<UINT>{IDC_RANGE_FIRST}, dlg.rangeIds);
    dlg.DestroyWindow();
}

TEST_F(MessageMap, ObjectsAreFoundFromTheirWindowOnAnyThread)
{
    CHarnessDlg dlg;
    ASSERT_TRUE(dlg.Create());
    HWND list = dlg.GetDlgItem(IDC_LIST);
    CWnd* found = nullptr;
    mb::CWorkerThread worker;
    ASSERT_TRUE(worker.Start([&] { found = CWnd::FromHandle(list); }));
    worker.Join();
    EXPECT_EQ(&dlg.list, found);
    EXPECT_EQ(&dlg, CWnd::FromHandle(dlg));
    // A worker fills the list through its object while this thread pumps,
    // as the manager's start-up thread fills the panes.
    mbtest::CBackgroundRun filler([&] {
        auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(list));
        l->InsertColumn(0, "Name", 100);
        for (int i = 0; i < 5; ++i)
            l->InsertItem(i, mb::Format("row %d", i));
    });
    EXPECT_TRUE(filler.Finish());
    EXPECT_EQ(5, dlg.list.GetItemCount());
    EXPECT_EQ("row 4", dlg.list.GetItemText(4, 0));
    dlg.DestroyWindow();
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    EXPECT_EQ(nullptr, dlg.list.m_hWnd);
}

// ---------------------------------------------------------------------------
// Modal dialogs and the pre-translate chain

std::vector<std::string>* g_chain = nullptr;

class CChainApp : public CWinApp {
public:
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && g_chain)
            g_chain->push_back(mb::Format("app:%d", static_cast<int>(msg->wParam)));
        return msg->message == WM_KEYDOWN && msg->wParam == 'Q';
    }
};

class CKeyEdit : public CEdit {
public:
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && g_chain)
            g_chain->push_back(mb::Format("edit:%d", static_cast<int>(msg->wParam)));
        return FALSE;
    }
};

// Swallows Escape as the manager's main dialog does; F1 is counted.
class CKeyDlg : public CDialog {
public:
    explicit CKeyDlg(bool swallowEscape) : CDialog(IDD_HARNESS), m_swallow(swallowEscape) {}
    CKeyEdit edit;
    CWnd outside;
    int helps = 0;

    BOOL OnInitDialog() override
    {
        edit.SubclassDlgItem(IDC_EDIT, m_hWnd);
        edit.SetFocus();
        // The script runs through the modal loop like user input.
        mbtest::PostKey(edit, VK_ESCAPE);
        mbtest::PostKey(edit, VK_F1);
        if (outside.m_hWnd)
            mbtest::PostKey(outside, 'Q');
        Post(WM_COMMAND, MAKEWPARAM(IDC_GO, BN_CLICKED), 0);
        return FALSE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && g_chain)
            g_chain->push_back(mb::Format("dialog:%d", static_cast<int>(msg->wParam)));
        if (m_swallow && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE)
            return TRUE;
        return CDialog::PreTranslateMessage(msg);
    }
    void OnHelp() override { ++helps; }

    MB_DECLARE_MESSAGE_MAP()
    void OnGo() { EndDialog(42); }

    bool m_swallow;
};

MB_BEGIN_MESSAGE_MAP(CKeyDlg, CDialog)
    mb::OnCommand(IDC_GO, &CKeyDlg::OnGo),
MB_END_MESSAGE_MAP()

class ModalDialog : public GuiTest {
protected:
    void SetUp() override { g_chain = &chain; }
    void TearDown() override
    {
        g_chain = nullptr;
        GuiTest::TearDown();
    }
    std::vector<std::string> chain;
};

TEST_F(ModalDialog, PreTranslateChainSeesKeysBeforeTheDialogManager)
{
    CChainApp app;
    CKeyDlg dlg(true);
    ASSERT_TRUE(dlg.outside.CreateEx(0, nullptr, L"outside", WS_OVERLAPPED, RECT{0, 0, 50, 50}, nullptr, 0));
    EXPECT_EQ(42, dlg.DoModal());
    // Escape reached the control's object, then the dialog, which kept it
    // from the dialog manager (no Cancel); F1 was answered as handled; a key
    // for a window outside any dialog reached the application.
    std::vector<std::string> want = {"edit:27", "dialog:27", "edit:112", "dialog:112", "app:81"};
    EXPECT_EQ(want, chain);
    EXPECT_EQ(1, dlg.helps);
    dlg.outside.DestroyWindow();
}

TEST_F(ModalDialog, EscapeLeftToTheDialogManagerCancels)
{
    CKeyDlg dlg(false);
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ((std::vector<std::string>{"edit:27", "dialog:27"}), chain);
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST_F(ModalDialog, AQuitMessageEndsTheLoopAndIsPostedAgain)
{
    class CQuitDlg : public CDialog {
    public:
        CQuitDlg() : CDialog(IDD_PROBE) {}
        BOOL OnInitDialog() override
        {
            ::PostQuitMessage(5);
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(5u, msg.wParam);
}

// The transfer engine's question: a modal dialog run on a worker thread,
// owned by a window of the user-interface thread.
class CQuestionDlg : public CDialog {
public:
    CQuestionDlg(HWND owner, const std::string& name) : CDialog(IDD_QUESTION, owner), m_name(name) {}
    int result = -1;
    DWORD initThread = 0;

    BOOL OnInitDialog() override
    {
        initThread = ::GetCurrentThreadId();
        SetItemText(IDC_QUESTION_TEXT, mb::Format(mb::LoadText(IDS_QUESTION).c_str(), m_name.c_str()));
        return TRUE;
    }
    void OnCancel() override
    {
        result = 3;
        CDialog::OnCancel();
    }
    MB_DECLARE_MESSAGE_MAP()
    void OnYes() { Answer(0); }
    void OnYesAll() { Answer(1); }
    void OnNo() { Answer(2); }
    void Answer(int r)
    {
        result = r;
        EndDialog(IDOK);
    }
    std::string m_name;
};

MB_BEGIN_MESSAGE_MAP(CQuestionDlg, CDialog)
    mb::OnCommand(IDC_YES, &CQuestionDlg::OnYes),
    mb::OnCommand(IDC_YES_ALL, &CQuestionDlg::OnYesAll),
    mb::OnCommand(IDC_ANSWER_NO, &CQuestionDlg::OnNo),
MB_END_MESSAGE_MAP()

TEST_F(ModalDialog, RunsOnAWorkerThreadWhileTheMainThreadKeepsPumping)
{
    CHarnessDlg owner;
    ASSERT_TRUE(owner.Create());
    owner.ShowWindow(SW_SHOW);
    CQuestionDlg question(owner, "100% Live.mp3");
    INT_PTR modal = 0;
    mbtest::CBackgroundRun worker([&] { modal = question.DoModal(); });
    // The main thread keeps its own windows alive meanwhile: its timers fire.
    owner.SetTimer(3, 20);
    HWND q = mbtest::WaitForWindow(L"Question");
    ASSERT_NE(nullptr, q);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return !owner.timers.empty(); }));
    EXPECT_FALSE(owner.IsWindowEnabled());
    EXPECT_EQ(L"'100% Live.mp3' already exists. Do you want to overwrite it?", mbtest::ItemText(q, IDC_QUESTION_TEXT));
    mbtest::Click(q, IDC_ANSWER_NO);
    EXPECT_TRUE(worker.Finish());
    EXPECT_EQ(IDOK, modal);
    EXPECT_EQ(2, question.result);
    EXPECT_NE(::GetCurrentThreadId(), question.initThread);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_FALSE(::IsWindow(q));
    owner.DestroyWindow();
}

TEST_F(ModalDialog, ClosingTheWorkerQuestionCountsAsCancel)
{
    CQuestionDlg question(nullptr, "a.mp3");
    INT_PTR modal = 0;
    mbtest::CBackgroundRun worker([&] { modal = question.DoModal(); });
    HWND q = mbtest::WaitForWindow(L"Question");
    ASSERT_NE(nullptr, q);
    ::PostMessageW(q, WM_CLOSE, 0, 0);
    EXPECT_TRUE(worker.Finish());
    EXPECT_EQ(IDCANCEL, modal);
    EXPECT_EQ(3, question.result);
}

// ---------------------------------------------------------------------------
// Modeless dialogs and the main window

class CSelfDeletingDlg : public CDialog {
public:
    explicit CSelfDeletingDlg(bool* deleted) : CDialog(IDD_PROBE), m_deleted(deleted) {}
    ~CSelfDeletingDlg() override { *m_deleted = true; }

protected:
    void PostNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

class ModelessDialog : public GuiTest {};

TEST_F(ModelessDialog, DeletesItselfWhenClosedOrCancelled)
{
    bool deleted = false;
    auto* dlg = new CSelfDeletingDlg(&deleted);
    ASSERT_TRUE(dlg->Create());
    HWND h = *dlg;
    EXPECT_TRUE(::IsWindow(h));
    ::PostMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return deleted; }));
    EXPECT_FALSE(::IsWindow(h));

    bool deleted2 = false;
    auto* second = new CSelfDeletingDlg(&deleted2);
    ASSERT_TRUE(second->Create());
    h = *second;
    second->OnOK();
    EXPECT_TRUE(deleted2);
    EXPECT_FALSE(::IsWindow(h));
}

TEST_F(ModelessDialog, DestroyingTheMainWindowPostsQuit)
{
    CWinApp app;
    CHarnessDlg dlg;
    ASSERT_TRUE(dlg.Create());
    app.m_pMainWnd = &dlg;
    CHarnessDlg other;
    ASSERT_TRUE(other.Create());
    other.DestroyWindow();
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    dlg.DestroyWindow();
    EXPECT_EQ(nullptr, app.m_pMainWnd);
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
}

TEST_F(ModelessDialog, TheApplicationPumpSeesQuitAndRunsIdle)
{
    class CIdleApp : public CWinApp {
    public:
        int idles = 0;
        BOOL OnIdle(LONG count) override
        {
            ++idles;
            return count < 2;
        }
    } app;
    EXPECT_TRUE(app.PumpWaitingMessages());
    EXPECT_EQ(3, app.idles);
    ::PostQuitMessage(9);
    EXPECT_FALSE(app.PumpWaitingMessages());
    // The quit stays for the outer loop, which ends with its code.
    EXPECT_EQ(9, app.Run());
}

// ---------------------------------------------------------------------------
// Resource modules

class ResourceModule : public GuiTest {
protected:
    void TearDown() override
    {
        mb::SetResourceModule(nullptr);
        GuiTest::TearDown();
    }
};

TEST_F(ResourceModule, StringsAndDialogsComeFromTheCurrentModule)
{
    EXPECT_EQ("Hello from the program", mb::LoadText(IDS_GREETING));
    HMODULE lang = ::LoadLibraryW(L"mb_win_test_lang.dll");
    ASSERT_NE(nullptr, lang);
    CWinApp app;
    app.SetResourceHandle(lang);
    EXPECT_EQ(lang, mb::ResourceModule());
    EXPECT_EQ("Hello from the library", mb::LoadText(IDS_GREETING));
    EXPECT_EQ(L"Hello from the library", mb::LoadTextW(IDS_GREETING));
    // An id the library lacks gives an empty text, not the program's.
    EXPECT_EQ("", mb::LoadText(IDS_COUNT));
    {
        CDialog dlg(IDD_PROBE);
        ASSERT_TRUE(dlg.Create());
        EXPECT_EQ("Language", dlg.GetText());
        EXPECT_EQ("from the library", dlg.GetItemText(IDC_PROBE_TEXT));
        dlg.DestroyWindow();
    }
    // Explicit modules stay reachable while another one is current.
    EXPECT_EQ("Hello from the program", mb::LoadText(IDS_GREETING, ::GetModuleHandleW(nullptr)));
    app.SetResourceHandle(nullptr);
    CDialog dlg(IDD_PROBE);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ("Program", dlg.GetText());
    dlg.DestroyWindow();
    ::FreeLibrary(lang);
}

TEST_F(ResourceModule, AMissingTemplateFailsCleanly)
{
    CDialog dlg(4242);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_FALSE(dlg.Create());
}

// ---------------------------------------------------------------------------
// Control wrappers

class Controls : public GuiTest {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    void TearDown() override
    {
        dlg.DestroyWindow();
        GuiTest::TearDown();
    }
    CHarnessDlg dlg;
};

TEST_F(Controls, ListRoundTripsRowsTextsDataAndSelection)
{
    CListCtrl& list = dlg.list;
    EXPECT_EQ(0, list.InsertColumn(0, "Name", 120));
    EXPECT_EQ(1, list.InsertColumn(1, "Size", 60, LVCFMT_RIGHT));
    const LPARAM wide = static_cast<LPARAM>(reinterpret_cast<INT_PTR>(&list)) ^ 0x5A5A;
    std::string longName(700, 'n');
    EXPECT_EQ(0, list.InsertItem(0, "alpha.mp3", -1, wide));
    EXPECT_EQ(1, list.InsertItem(1, longName, -1, 7));
    EXPECT_EQ(2, list.InsertItem(2, "gamma.wma"));
    EXPECT_TRUE(list.SetItemText(0, 1, "12 KB"));
    EXPECT_EQ(3, list.GetItemCount());
    EXPECT_EQ("alpha.mp3", list.GetItemText(0, 0));
    EXPECT_EQ("12 KB", list.GetItemText(0, 1));
    EXPECT_EQ(longName, list.GetItemText(1, 0));
    EXPECT_EQ("", list.GetItemText(2, 1));
    EXPECT_EQ(wide, list.GetItemData(0));
    EXPECT_TRUE(list.SetItemData(2, -3));
    EXPECT_EQ(-3, list.GetItemData(2));
    EXPECT_EQ(2, list.FindItem("gamma.wma"));
    EXPECT_EQ(-1, list.FindItem("delta"));

    list.Select(1);
    EXPECT_EQ(std::vector<int>{1}, list.GetSelectedItems());
    list.Select(-1);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), list.GetSelectedItems());
    list.Select(-1, false);
    EXPECT_EQ(0u, list.GetSelectedCount());
    list.Select(2);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_FALSE(mbtest::SaveScreenshot(dlg, "win_list_selection").empty());
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(std::vector<int>{1}, list.GetSelectedItems());
    EXPECT_EQ(longName, list.GetItemText(0, 0));
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(0, list.GetItemCount());
}

TEST_F(Controls, TreeRoundTripsItemsDataAndSelection)
{
    CTreeCtrl tree;
    ASSERT_TRUE(tree.SubclassDlgItem(IDC_TREE, dlg));
    HTREEITEM root = tree.InsertItem("E:", TVI_ROOT, TVI_LAST, -1, -1, 1);
    HTREEITEM music = tree.InsertItem("MUSIC", root, TVI_LAST, -1, -1, 2);
    HTREEITEM voice = tree.InsertItem("VOICE", root);
    std::string deep(400, 'd');
    HTREEITEM leaf = tree.InsertItem(deep, music, TVI_LAST, -1, -1, static_cast<LPARAM>(reinterpret_cast<INT_PTR>(&tree)));
    ASSERT_TRUE(root && music && voice && leaf);
    EXPECT_EQ(4u, tree.GetCount());
    EXPECT_EQ(root, tree.GetRootItem());
    EXPECT_EQ(music, tree.GetChildItem(root));
    EXPECT_EQ(voice, tree.GetNextSiblingItem(music));
    EXPECT_EQ(nullptr, tree.GetNextSiblingItem(voice));
    EXPECT_EQ(music, tree.GetParentItem(leaf));
    EXPECT_TRUE(tree.ItemHasChildren(music));
    EXPECT_FALSE(tree.ItemHasChildren(voice));
    EXPECT_EQ(deep, tree.GetItemText(leaf));
    EXPECT_EQ(static_cast<LPARAM>(reinterpret_cast<INT_PTR>(&tree)), tree.GetItemData(leaf));
    EXPECT_EQ(2, tree.GetItemData(music));
    EXPECT_TRUE(tree.SetItemText(voice, "RECORD"));
    EXPECT_EQ("RECORD", tree.GetItemText(voice));
    EXPECT_TRUE(tree.SelectItem(leaf));
    EXPECT_EQ(leaf, tree.GetSelectedItem());
    EXPECT_TRUE(tree.DeleteItem(music));
    EXPECT_EQ(2u, tree.GetCount());
    EXPECT_EQ(voice, tree.GetChildItem(root));
    EXPECT_NE(leaf, tree.GetSelectedItem());
}

TEST_F(Controls, CombosKeepEntriesDataAndSelection)
{
    CComboBox& combo = dlg.combo;
    combo.AddString("C:\\");
    combo.AddString("E:\\");
    combo.InsertString(0, "E:\\MUSIC\\");
    EXPECT_EQ(3, combo.GetCount());
    EXPECT_EQ("E:\\MUSIC\\", combo.GetLBText(0));
    EXPECT_EQ(2, combo.FindStringExact("e:\\"));
    EXPECT_TRUE(combo.SetItemData(1, 77));
    EXPECT_EQ(77, combo.GetItemData(1));
    combo.SetCurSel(1);
    EXPECT_EQ(1, combo.GetCurSel());
    EXPECT_EQ("C:\\", combo.GetText());

    CComboBoxEx ex;
    ASSERT_TRUE(ex.CreateChild(WC_COMBOBOXEXW, dlg, 1100, RECT{10, 140, 200, 300}, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST));
    ex.SetImageList(mb::SystemImageList(true));
    EXPECT_EQ(0, ex.InsertItem(0, "Local Disk (C:)", 0, 0, 0, 3));
    EXPECT_EQ(1, ex.InsertItem(1, "Vilo Lark (E:)", 0, 0, 1, 4));
    EXPECT_EQ("Vilo Lark (E:)", ex.GetItemText(1));
    EXPECT_EQ(4, ex.GetItemData(1));
    ex.SetCurSel(1);
    EXPECT_EQ(1, ex.GetCurSel());
}

TEST_F(Controls, ProgressStatusAndImageLists)
{
    CProgressCtrl bar;
    ASSERT_TRUE(bar.CreateChild(PROGRESS_CLASSW, dlg, 1101, RECT{0, 0, 100, 10}));
    bar.SetRange(0, 20);
    bar.SetStep(1);
    bar.SetPos(5);
    bar.StepIt();
    EXPECT_EQ(6, bar.GetPos());

    CStatusBar status;
    ASSERT_TRUE(status.Create(dlg, 1102));
    EXPECT_TRUE(status.SetParts({100, -1}));
    EXPECT_TRUE(status.SetPaneText(1, "3 files"));
    EXPECT_EQ("3 files", status.GetPaneText(1));

    // The system image list is attached, never destroyed by its user.
    HIMAGELIST system = mb::SystemImageList(true);
    ASSERT_NE(nullptr, system);
    {
        CImageList shared;
        shared.Attach(system, false);
        EXPECT_GT(shared.GetImageCount(), 0);
    }
    EXPECT_GT(ImageList_GetImageCount(system), 0);
    CImageList own;
    ASSERT_TRUE(own.Create(16, 16));
    HICON icon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
    EXPECT_EQ(0, own.AddIcon(icon));
    EXPECT_EQ(1, own.GetImageCount());
    EXPECT_TRUE(own.BeginDrag(0, POINT{8, 8}));
    EXPECT_TRUE(CImageList::DragEnter(dlg, POINT{20, 20}));
    EXPECT_TRUE(CImageList::DragMove(POINT{30, 30}));
    EXPECT_TRUE(CImageList::DragLeave(dlg));
    CImageList::EndDrag();
}

TEST_F(Controls, MenusGreyItemsAndTheSystemMenuTakesAnAboutEntry)
{
    CMenu sys;
    sys.AttachSystemMenu(dlg);
    int before = ::GetMenuItemCount(sys);
    EXPECT_TRUE(sys.AppendSeparator());
    EXPECT_TRUE(sys.AppendItem(16, "&About Vilo Music Bridge..."));
    EXPECT_EQ(before + 2, ::GetMenuItemCount(sys));
    CMenu::Grey(sys, 16, true);
    EXPECT_TRUE(CMenu::GetState(sys, 16) & MF_GRAYED);
    CMenu::Grey(sys, 16, false);
    EXPECT_FALSE(CMenu::GetState(sys, 16) & MF_GRAYED);
}

TEST_F(Controls, ButtonsEditsAndStaticsKeepTheirState)
{
    CEdit edit;
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_EDIT, dlg));
    edit.SetText("E:\\MUSIC");
    edit.SetSel(0, -1);
    edit.ReplaceSel("Vilo Lark");
    EXPECT_EQ("Vilo Lark", edit.GetText());
    edit.SetTextW(L"\u00c9t\u00e9");
    EXPECT_EQ(L"\u00c9t\u00e9", dlg.GetItemTextW(IDC_EDIT));

    CButton check;
    ASSERT_TRUE(check.CreateChild(L"BUTTON", dlg, 1103, RECT{0, 0, 80, 16}, WS_CHILD | BS_AUTOCHECKBOX));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), check.GetCheck());
    check.Click();
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), dlg.IsItemChecked(1103));
    dlg.CheckItem(1103, BST_UNCHECKED);
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), check.GetCheck());
    dlg.EnableItem(1103, false);
    EXPECT_FALSE(check.IsWindowEnabled());

    CStatic picture;
    ASSERT_TRUE(picture.CreateChild(L"STATIC", dlg, 1104, RECT{0, 0, 32, 32}, WS_CHILD | SS_ICON));
    HICON icon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
    picture.SetIcon(icon);
    EXPECT_EQ(icon, reinterpret_cast<HICON>(picture.Send(STM_GETIMAGE, IMAGE_ICON)));

    CFont font(mb::CreatePointFont(90, "Tahoma", FW_BOLD));
    ASSERT_NE(nullptr, static_cast<HFONT>(font));
    edit.SetFont(font);
    EXPECT_EQ(static_cast<HFONT>(font), edit.GetFont());
    LOGFONTA lf{};
    ::GetObjectA(font, sizeof lf, &lf);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_LT(lf.lfHeight, 0);
    edit.SetFont(nullptr, false);
}

TEST_F(Controls, MenusComeFromTheResourceModuleAndGreyTheirItems)
{
    CMenu menu;
    ASSERT_TRUE(menu.Load(IDR_CONTEXT));
    HMENU popup = menu.GetSubMenu(0);
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(2, ::GetMenuItemCount(popup));
    CMenu::Grey(popup, ID_CONTEXT_DELETE, true);
    EXPECT_TRUE(CMenu::GetState(popup, ID_CONTEXT_DELETE) & MF_GRAYED);
    EXPECT_FALSE(CMenu::GetState(popup, ID_CONTEXT_OPEN) & MF_GRAYED);
}

// A 2 x 2 24-bit bitmap file, as the skin's pictures are stored.
std::string TinyBitmapFile()
{
    const unsigned char bmp[] = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                       // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,  // info header
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 255, 0, 255, 0, 0, 0,  // bottom row: red, green, padding
        255, 0, 0, 255, 255, 255, 0, 0,  // top row: blue, white, padding
    };
    std::vector<char> buf(32768);
    DWORD n = ::GetTempPathA(static_cast<DWORD>(buf.size()), buf.data());
    std::string path = std::string(buf.data(), n) + mb::Format("mbtiny%lu.bmp", ::GetCurrentProcessId());
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    ::WriteFile(f, bmp, sizeof bmp, &put, nullptr);
    ::CloseHandle(f);
    return path;
}

TEST_F(Controls, BitmapFilesLoadAtTheirOwnOrAGivenSize)
{
    std::string path = TinyBitmapFile();
    CBitmap own(mb::LoadBitmapFile(path));
    CBitmap stretched(mb::LoadBitmapFile(path, 8, 4));
    ASSERT_NE(nullptr, static_cast<HBITMAP>(own));
    ASSERT_NE(nullptr, static_cast<HBITMAP>(stretched));
    BITMAP b{};
    ::GetObjectW(own, sizeof b, &b);
    EXPECT_EQ(2, b.bmWidth);
    EXPECT_EQ(2, b.bmHeight);
    ::GetObjectW(stretched, sizeof b, &b);
    EXPECT_EQ(8, b.bmWidth);
    EXPECT_EQ(4, b.bmHeight);
    CBitmap none(mb::LoadBitmapFile(path + ".missing"));
    EXPECT_EQ(nullptr, static_cast<HBITMAP>(none));
    ::DeleteFileA(path.c_str());
}

TEST_F(Controls, TooltipsTakeTheirTools)
{
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(dlg));
    EXPECT_TRUE(tips.AddTool(dlg.GetDlgItem(IDC_GO), "Start"));
    EXPECT_TRUE(tips.AddTool(dlg.GetDlgItem(IDC_EDIT), "Path"));
    EXPECT_EQ(2, tips.GetToolCount());
    tips.UpdateTipText(dlg.GetDlgItem(IDC_GO), "Downloading 'a.mp3': 5%");
    tips.DestroyWindow();
}

// A window that a dialog hosts in place of a template placeholder, as the
// progress control's site is hosted in the main dialog.
class CHostedWnd : public CWnd {
public:
    int probes = 0;
    MB_DECLARE_MESSAGE_MAP()
    LRESULT OnProbe(WPARAM, LPARAM)
    {
        ++probes;
        return 5;
    }
};

MB_BEGIN_MESSAGE_MAP(CHostedWnd, CWnd)
    mb::OnMessage(WM_PROBE, &CHostedWnd::OnProbe),
MB_END_MESSAGE_MAP()

TEST_F(Controls, AHostedWindowTakesThePlaceOfItsPlaceholder)
{
    RECT placeholder = dlg.GetChildRect(IDC_NOTE);
    HWND old = dlg.GetDlgItem(IDC_NOTE);
    CHostedWnd host;
    ASSERT_TRUE(host.CreateInPlaceOf(dlg, IDC_NOTE));
    EXPECT_FALSE(::IsWindow(old));
    EXPECT_EQ(host.m_hWnd, dlg.GetDlgItem(IDC_NOTE));
    RECT now = dlg.GetChildRect(IDC_NOTE);
    EXPECT_EQ(placeholder.left, now.left);
    EXPECT_EQ(placeholder.top, now.top);
    EXPECT_EQ(placeholder.right, now.right);
    EXPECT_EQ(placeholder.bottom, now.bottom);
    EXPECT_EQ(5, ::SendMessageW(dlg.GetDlgItem(IDC_NOTE), WM_PROBE, 0, 0));
    EXPECT_EQ(1, host.probes);
    CHostedWnd second;
    EXPECT_FALSE(second.CreateInPlaceOf(dlg, 4321));
}

// ---------------------------------------------------------------------------
// Texts

TEST(Text, FormatsBothWorldsAtAnyLength)
{
    EXPECT_EQ("Song holds 3 items", mb::Format(mb::LoadText(IDS_COUNT).c_str(), "Song", 3));
    std::string big(5000, 'x');
    EXPECT_EQ(big + "!", mb::Format("%s!", big.c_str()));
    EXPECT_EQ(L"Downloading 'a.mp3': 42%", mb::FormatW(L"Downloading '%s': %d%c", L"a.mp3", 42, L'%'));
    std::wstring wbig(3000, L'y');
    EXPECT_EQ(wbig, mb::FormatW(L"%s", wbig.c_str()));
    EXPECT_EQ("", mb::LoadText(9999));
    EXPECT_EQ(L"", mb::LoadTextW(9999));
}

TEST(Text, ConvertsBetweenTheCodePageAndUtf16)
{
    EXPECT_EQ(L"Vilo Lark", mb::Widen("Vilo Lark"));
    EXPECT_EQ("Vilo Lark", mb::Narrow(L"Vilo Lark"));
    EXPECT_EQ(L"\u00e9t\u00e9", mb::Widen("\xc3\xa9t\xc3\xa9", CP_UTF8));
    EXPECT_EQ("", mb::Narrow(L""));
}

// ---------------------------------------------------------------------------
// Shell helpers

class ShellHelpers : public GuiTest {};

std::string TempFolder(const std::string& name)
{
    std::vector<char> buf(32768);
    DWORD n = ::GetTempPathA(static_cast<DWORD>(buf.size()), buf.data());
    std::string dir = std::string(buf.data(), n) + name + mb::Format("%lu", ::GetCurrentProcessId());
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    ::CloseHandle(f);
    return put == text.size();
}

TEST_F(ShellHelpers, FileOperationCopiesEveryPathWhateverItsLength)
{
    std::string src = TempFolder("mbsrc");
    std::string dst = TempFolder("mbdst");
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        // Names long enough that a fixed 260-byte list would cut them.
        std::string path = src + "\\" + std::string(120, char('a' + i)) + ".mp3";
        ASSERT_TRUE(WriteFileText(path, "data"));
        files.push_back(path);
    }
    bool aborted = true;
    EXPECT_EQ(0, mb::FileOperation(nullptr, FO_COPY, files, dst, FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI, &aborted));
    EXPECT_FALSE(aborted);
    for (int i = 0; i < 3; ++i) {
        std::string copy = dst + "\\" + std::string(120, char('a' + i)) + ".mp3";
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(copy.c_str())) << copy;
    }
    std::vector<std::string> both = {src, dst};
    EXPECT_EQ(0, mb::FileOperation(nullptr, FO_DELETE, both, "", FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(src.c_str()));
}

// The bytes of a literal that holds nuls, without its terminator.
template <size_t N>
std::string Bytes(const char (&s)[N])
{
    return std::string(s, N - 1);
}

TEST_F(ShellHelpers, ListsAndFiltersAreNulSeparated)
{
    EXPECT_EQ(Bytes("a\0bc\0\0"), mb::DoubleNulList({"a", "bc"}));
    EXPECT_EQ(Bytes("\0"), mb::DoubleNulList({}));
    EXPECT_EQ(Bytes("M3U (*.m3u)\0*.m3u\0All\0*.*\0\0\0"), mb::FilterFromBars("M3U (*.m3u)|*.m3u|All|*.*|"));
    const char one[] = "E:\\MUSIC\\a.m3u\0";
    EXPECT_EQ(std::vector<std::string>{"E:\\MUSIC\\a.m3u"}, mb::SplitMultiSelect(one, sizeof one));
    const char many[] = "E:\\MUSIC\0a.m3u\0b.m3u\0";
    EXPECT_EQ((std::vector<std::string>{"E:\\MUSIC\\a.m3u", "E:\\MUSIC\\b.m3u"}), mb::SplitMultiSelect(many, sizeof many));
    const char root[] = "E:\\\0a.m3u\0b.m3u\0";
    EXPECT_EQ((std::vector<std::string>{"E:\\a.m3u", "E:\\b.m3u"}), mb::SplitMultiSelect(root, sizeof root));
}

// The shell's file dialogs take seconds to open under Wine when many tests
// share the machine.
class FileDialogs : public GuiTest {
protected:
    FileDialogs() : GuiTest(50000) {}
};

// Types into the file name box of the open dialog and presses Open.
void AnswerOpenDialog(HWND dlg, const std::string& text)
{
    HWND edit = ::GetDlgItem(dlg, edt1);
    if (!edit)
        edit = ::GetDlgItem(::GetDlgItem(dlg, cmb13), 1001);
    ::SetWindowTextA(edit ? edit : ::GetDlgItem(dlg, cmb13), text.c_str());
    mbtest::Click(dlg, IDOK);
}

TEST_F(FileDialogs, OpenReturnsEveryFileOfAMultipleSelection)
{
    std::string dir = TempFolder("mbopen");
    ASSERT_TRUE(WriteFileText(dir + "\\first.m3u", "#EXTM3U\r\n"));
    ASSERT_TRUE(WriteFileText(dir + "\\second list.m3u", "#EXTM3U\r\n"));
    std::vector<std::string> chosen;
    mbtest::CBackgroundRun user([&] {
        chosen = mb::FileDialog(true, nullptr, "M3U (*.m3u)|*.m3u|All files (*.*)|*.*|", "m3u", "",
                                OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR);
    });
    HWND dlg = mbtest::WaitForWindow(L"Open", 30000);
    ASSERT_NE(nullptr, dlg);
    // First into the folder, then both names at once.
    AnswerOpenDialog(dlg, dir);
    mbtest::PumpFor(300);
    AnswerOpenDialog(dlg, "\"first.m3u\" \"second list.m3u\"");
    EXPECT_TRUE(user.Finish());
    ASSERT_EQ(2u, chosen.size());
    std::vector<std::string> want = {dir + "\\first.m3u", dir + "\\second list.m3u"};
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(0, ::lstrcmpiA(want[i].c_str(), chosen[i].c_str())) << chosen[i];
    mb::FileOperation(nullptr, FO_DELETE, {dir}, "", FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
}

TEST_F(FileDialogs, CancellingSaveGivesNoPath)
{
    std::vector<std::string> chosen{"unchanged"};
    mbtest::CBackgroundRun user([&] {
        chosen = mb::FileDialog(false, nullptr, "M3U (*.m3u)|*.m3u|", "m3u", "list.m3u", OFN_EXPLORER | OFN_OVERWRITEPROMPT);
    });
    HWND dlg = mbtest::WaitForWindow(L"Save As", 30000);
    ASSERT_NE(nullptr, dlg);
    mbtest::Click(dlg, IDCANCEL);
    EXPECT_TRUE(user.Finish());
    EXPECT_TRUE(chosen.empty());
}

TEST_F(FileDialogs, FolderBrowserReturnsTheChosenFolder)
{
    // A folder that Wine's browser tree can reach by path.
    std::string dir = "C:\\windows\\system32";
    std::string chosen = "unchanged";
    mbtest::CBackgroundRun user([&] { chosen = mb::BrowseForFolder(nullptr, "Select a disk drive:"); });
    HWND dlg = mbtest::WaitForWindow(L"Browse for Folder", 30000);
    ASSERT_NE(nullptr, dlg);
    ::SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(dir.c_str()));
    mbtest::Click(dlg, IDOK);
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(0, ::lstrcmpiA(dir.c_str(), chosen.c_str())) << chosen;
}

TEST_F(ShellHelpers, StartedProgramsGiveAProcessToWatch)
{
    HANDLE process = mb::ShellStart(nullptr, "open", "cmd.exe", "/c exit 7", "", SW_HIDE);
    ASSERT_NE(nullptr, process);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process, 20000));
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(process, &code));
    EXPECT_EQ(7u, code);
    ::CloseHandle(process);
    EXPECT_EQ(nullptr, mb::ShellStart(nullptr, "open", "Z:\\no\\such\\program.exe", "", ""));
}

TEST_F(ShellHelpers, FileInfoKnowsFoldersAndTheirIcons)
{
    SHFILEINFOA info{};
    EXPECT_TRUE(mb::GetFileInfo("C:\\windows", SHGFI_TYPENAME | SHGFI_ATTRIBUTES, info));
    EXPECT_GE(mb::SystemIconIndex("C:\\windows", true), 0);
}

}  // namespace
