#include <gtest/gtest.h>

#include <cstring>

#include "CommandRules.h"

using namespace commands;

namespace {

std::vector<unsigned> Greyed(int submenu, MenuState s)
{
    return GreyedCommands(submenu, s);
}

}  // namespace

TEST(ContextMenus, ControlsMapToTheirSubmenusAndViewModes)
{
    struct Case {
        unsigned control;
        int submenu, view;
    } cases[] = {{1003, 0, 0}, {1001, 1, 1}, {1002, 2, 3}, {1201, 3, 4}, {1004, 4, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.submenu, SubmenuForControl(c.control)) << c.control;
        EXPECT_EQ(c.view, ViewModeForSubmenu(c.submenu)) << c.control;
    }
    EXPECT_EQ(-1, SubmenuForControl(1014));
    EXPECT_EQ(-1, SubmenuForControl(1183));
}

TEST(ContextMenus, PcListGreying)
{
    MenuState desktop;
    desktop.pcFolderIsDesktop = true;
    desktop.clipboardEmpty = false;
    desktop.rowCount = 5;
    desktop.selectedCount = 1;
    desktop.rowUnderPointIsMusic = true;
    EXPECT_EQ((std::vector<unsigned>{ID_PCLIST_OPEN, ID_PCLIST_SELECT_ALL, ID_PCLIST_CUT, ID_PCLIST_COPY,
                                      ID_PCLIST_PASTE, ID_PCLIST_DELETE, ID_PCLIST_RENAME, ID_PCLIST_PROPERTIES}),
              Greyed(MENU_PC_LIST, desktop));

    MenuState nothing;  // empty list, empty clipboard, nothing selected
    EXPECT_EQ((std::vector<unsigned>{ID_PCLIST_OPEN, ID_PCLIST_SELECT_ALL, ID_PCLIST_CUT, ID_PCLIST_COPY,
                                      ID_PCLIST_PASTE, ID_PCLIST_DELETE, ID_PCLIST_RENAME, ID_PCLIST_PROPERTIES}),
              Greyed(MENU_PC_LIST, nothing));

    MenuState oneText;
    oneText.rowCount = 3;
    oneText.selectedCount = 1;
    oneText.clipboardEmpty = false;
    oneText.clipboardOperation = 1;
    EXPECT_EQ(std::vector<unsigned>{ID_PCLIST_PROPERTIES}, Greyed(MENU_PC_LIST, oneText));
    MenuState oneMusic = oneText;
    oneMusic.rowUnderPointIsMusic = true;
    EXPECT_TRUE(Greyed(MENU_PC_LIST, oneMusic).empty());
    // Several rows: Properties stays (it shows the first).
    MenuState several = oneText;
    several.selectedCount = 2;
    EXPECT_TRUE(Greyed(MENU_PC_LIST, several).empty());
    // A player copy pending is still a clipboard with names: Paste stays.
    MenuState playerCopy = several;
    playerCopy.clipboardOperation = 16;
    EXPECT_TRUE(Greyed(MENU_PC_LIST, playerCopy).empty());
}

TEST(ContextMenus, PlayerListGreying)
{
    MenuState absent;  // no memory, empty list, nothing collected
    EXPECT_EQ((std::vector<unsigned>{ID_PDLIST_OPEN, ID_PDLIST_NEW_FOLDER, ID_PDLIST_REFRESH, ID_PDLIST_UPLOAD,
                                      ID_PDLIST_MOVE_UP, ID_PDLIST_MOVE_DOWN, ID_PDLIST_SELECT_ALL, ID_PDLIST_CUT,
                                      ID_PDLIST_COPY, ID_PDLIST_PASTE, ID_PDLIST_DELETE, ID_PDLIST_RENAME}),
              Greyed(MENU_PLAYER_LIST, absent));

    MenuState s;
    s.memoryAnswers = true;
    s.rowCount = 4;
    s.selectedCount = 2;
    EXPECT_EQ(std::vector<unsigned>{ID_PDLIST_PASTE}, Greyed(MENU_PLAYER_LIST, s));
    for (int op : {1, 2, 16, 32}) {
        s.clipboardOperation = op;
        EXPECT_TRUE(Greyed(MENU_PLAYER_LIST, s).empty()) << op;
    }
    // A delete selection (3) or a tree folder (5) is nothing to paste.
    for (int op : {3, 5, 15, 240}) {
        s.clipboardOperation = op;
        EXPECT_EQ(std::vector<unsigned>{ID_PDLIST_PASTE}, Greyed(MENU_PLAYER_LIST, s)) << op;
    }
    // Paste greyed when the memory does not answer, whatever is collected.
    s.clipboardOperation = 1;
    s.memoryAnswers = false;
    EXPECT_EQ((std::vector<unsigned>{ID_PDLIST_OPEN, ID_PDLIST_NEW_FOLDER, ID_PDLIST_REFRESH, ID_PDLIST_PASTE}),
              Greyed(MENU_PLAYER_LIST, s));
}

TEST(ContextMenus, DownloadListAndTreesGreying)
{
    MenuState none;
    EXPECT_EQ((std::vector<unsigned>{ID_DLLIST_MOVE_UP, ID_DLLIST_MOVE_DOWN, ID_DLLIST_DELETE, ID_DLLIST_PROPERTIES}),
              Greyed(MENU_DOWNLOAD_LIST, none));
    MenuState one;
    one.selectedCount = 1;
    EXPECT_EQ(std::vector<unsigned>{ID_DLLIST_PROPERTIES}, Greyed(MENU_DOWNLOAD_LIST, one));
    one.rowUnderPointIsMusic = true;
    EXPECT_TRUE(Greyed(MENU_DOWNLOAD_LIST, one).empty());

    MenuState tree;
    EXPECT_EQ((std::vector<unsigned>{ID_PDTREE_NEW_FOLDER, ID_PDTREE_RENAME}), Greyed(MENU_PLAYER_TREE, tree));
    tree.memoryAnswers = true;
    tree.itemUnderPointIsRoot = true;
    EXPECT_EQ(std::vector<unsigned>{ID_PDTREE_DELETE}, Greyed(MENU_PLAYER_TREE, tree));
    tree.itemUnderPointIsRoot = false;
    EXPECT_TRUE(Greyed(MENU_PLAYER_TREE, tree).empty());
    // The PC tree's menu greys nothing.
    EXPECT_TRUE(Greyed(MENU_PC_TREE, MenuState{}).empty());
}

TEST(Paste, ByClipboardAndLastView)
{
    struct Case {
        int op, view;
        PasteAction action;
    } cases[] = {
        {1, 0, PASTE_INTO_PC_FOLDER}, {2, 1, PASTE_INTO_PC_FOLDER}, {1, 3, PASTE_DOWNLOAD},
        {2, 3, PASTE_DOWNLOAD},       {1, 2, PASTE_NOTHING},        {1, 4, PASTE_NOTHING},
        {16, 1, PASTE_UPLOAD},        {32, 1, PASTE_UPLOAD},        {16, 0, PASTE_NOTHING},
        {16, 3, PASTE_NOTHING},       {0, 1, PASTE_NOTHING},        {3, 1, PASTE_NOTHING},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.action, PasteByLastView(c.op, c.view)) << c.op << " " << c.view;

    EXPECT_EQ(PASTE_DOWNLOAD, PasteIntoPlayerList(1));
    EXPECT_EQ(PASTE_DOWNLOAD, PasteIntoPlayerList(2));
    EXPECT_EQ(PASTE_MOVE_ON_PLAYER, PasteIntoPlayerList(16));
    EXPECT_EQ(PASTE_MOVE_ON_PLAYER, PasteIntoPlayerList(32));
    EXPECT_EQ(PASTE_NO_SELECTION, PasteIntoPlayerList(0));
    EXPECT_EQ(PASTE_NO_SELECTION, PasteIntoPlayerList(3));

    EXPECT_EQ(PASTE_UPLOAD, PasteIntoPcList(32, false));
    EXPECT_EQ(PASTE_INTO_PC_FOLDER, PasteIntoPcList(1, true));
    EXPECT_EQ(PASTE_NOTHING, PasteIntoPcList(1, false));
}

TEST(Views, FourPressesReturnToDetails)
{
    int view = 3;
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i)
        seen.push_back(view = NextPcListView(view));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), seen);
    EXPECT_EQ(0, NextPcListView(7));
    EXPECT_EQ(2, NextPlayerListView(3));
    EXPECT_EQ(3, NextPlayerListView(2));
}

TEST(PcTree, SplitByTheCrossValues)
{
    Span tree, list;
    SplitPcPane(10, 310, 2, 3, 4, &tree, &list);  // the shipped [PC_CROSS]
    EXPECT_EQ(10, tree.left);
    EXPECT_EQ(130, tree.right);  // 300 * 2 / 5
    EXPECT_EQ(134, list.left);
    EXPECT_EQ(310, list.right);
    // Nothing to split: the tree gets no width, the list never turns over.
    SplitPcPane(10, 12, 0, 0, 40, &tree, &list);
    EXPECT_EQ(tree.left, tree.right);
    EXPECT_EQ(12, list.left);
    EXPECT_EQ(12, list.right);
}

TEST(FolderSize, RoundedUpToWholeKilobytes)
{
    EXPECT_EQ(0u, KilobytesRoundedUp(0));
    EXPECT_EQ(1u, KilobytesRoundedUp(1));
    EXPECT_EQ(1u, KilobytesRoundedUp(1024));
    EXPECT_EQ(2u, KilobytesRoundedUp(1025));
    EXPECT_EQ(4194304u, KilobytesRoundedUp(4294967296ull));
}

TEST(DragAndDrop, OnlyPlainFoldersTakePcFiles)
{
    EXPECT_TRUE(TakesPcFiles("C:\\"));
    EXPECT_TRUE(TakesPcFiles("D:\\Music\\Old\\"));
    EXPECT_TRUE(TakesPcFiles("\\\\server\\share\\"));
    // My Computer, a special item, a bare server, a display name alone.
    EXPECT_FALSE(TakesPcFiles(""));
    EXPECT_FALSE(TakesPcFiles("1?Control Panel"));
    EXPECT_FALSE(TakesPcFiles("\\\\server\\"));
    EXPECT_FALSE(TakesPcFiles("Network"));
    EXPECT_FALSE(TakesPcFiles("\\"));
}

TEST(DragAndDrop, WhereADragMayDrop)
{
    struct Case {
        DragSource source;
        DropTarget target;
        bool transfer, outside, overItem;
        DropVerdict verdict;
    } cases[] = {
        {SRC_PC_LIST, TGT_PLAYER_LIST, false, false, false, DROP_INSIDE},
        {SRC_PC_LIST, TGT_PLAYER_LIST, true, false, false, DROP_REFUSED},
        {SRC_PC_LIST, TGT_DOWNLOAD_LIST, true, false, false, DROP_INSIDE},
        {SRC_PC_LIST, TGT_OTHER, false, true, false, DROP_LEAVE_WINDOW},
        {SRC_PC_LIST, TGT_PC_TREE, false, false, false, DROP_REFUSED},
        {SRC_PC_LIST, TGT_PC_TREE, false, false, true, DROP_INSIDE},
        {SRC_PC_LIST, TGT_PLAYER_TREE, true, false, true, DROP_REFUSED},
        {SRC_PC_LIST, TGT_OTHER, false, false, false, DROP_REFUSED},
        {SRC_PLAYER_LIST, TGT_DOWNLOAD_LIST, false, false, false, DROP_REFUSED},
        {SRC_PLAYER_LIST, TGT_PC_LIST, true, false, false, DROP_REFUSED},
        {SRC_PLAYER_LIST, TGT_PC_LIST, false, false, false, DROP_INSIDE},
        {SRC_PLAYER_LIST, TGT_OTHER, true, true, false, DROP_LEAVE_WINDOW},
        {SRC_DOWNLOAD_LIST, TGT_DOWNLOAD_LIST, false, false, false, DROP_INSIDE},
        {SRC_DOWNLOAD_LIST, TGT_PLAYER_LIST, false, false, false, DROP_REFUSED},
        {SRC_DOWNLOAD_LIST, TGT_OTHER, false, true, false, DROP_REFUSED},
    };
    for (const Case& c : cases) {
        DragFacts f;
        f.source = c.source;
        f.target = c.target;
        f.transferRunning = c.transfer;
        f.outsideWindow = c.outside;
        f.overTreeItem = c.overItem;
        EXPECT_EQ(c.verdict, CanDrop(f)) << c.source << " " << c.target << " " << c.transfer << c.outside;
    }
    DragFacts pc;
    pc.target = TGT_PLAYER_LIST;
    pc.pcListShowsFiles = false;
    EXPECT_EQ(DROP_REFUSED, CanDrop(pc));
    pc.pcListShowsFiles = true;
    pc.desktopSpecialRowsSelected = true;
    pc.outsideWindow = true;
    EXPECT_EQ(DROP_REFUSED, CanDrop(pc));
}

TEST(DragAndDrop, WhatADropDoes)
{
    auto act = [](DragSource s, DropTarget t, int row, bool folder, bool dragged = false, bool transfer = false) {
        DropPlace p;
        p.source = s;
        p.target = t;
        p.row = row;
        p.rowIsFolder = folder;
        p.rowIsDragged = dragged;
        p.transferRunning = transfer;
        p.overTreeItem = true;
        return ActionForDrop(p);
    };
    EXPECT_EQ(ACT_PC_MOVE_INTO_ROW, act(SRC_PC_LIST, TGT_PC_LIST, 2, true));
    EXPECT_EQ(ACT_NONE, act(SRC_PC_LIST, TGT_PC_LIST, 2, false));
    EXPECT_EQ(ACT_NONE, act(SRC_PC_LIST, TGT_PC_LIST, -1, false));
    EXPECT_EQ(ACT_DOWNLOAD_SHOWN_FOLDER, act(SRC_PC_LIST, TGT_PLAYER_LIST, -1, false));
    EXPECT_EQ(ACT_DOWNLOAD_SHOWN_FOLDER, act(SRC_PC_LIST, TGT_PLAYER_LIST, 1, false));
    EXPECT_EQ(ACT_DOWNLOAD_INTO_ROW, act(SRC_PC_LIST, TGT_PLAYER_LIST, 1, true));
    EXPECT_EQ(ACT_REFUSED_TRANSFER, act(SRC_PC_LIST, TGT_PLAYER_LIST, 1, true, false, true));
    EXPECT_EQ(ACT_PC_COPY_TO_TREE, act(SRC_PC_LIST, TGT_PC_TREE, -1, false));
    EXPECT_EQ(ACT_DOWNLOAD_TREE_ITEM, act(SRC_PC_LIST, TGT_PLAYER_TREE, -1, false));
    EXPECT_EQ(ACT_ADD_TO_DOWNLOAD_LIST, act(SRC_PC_LIST, TGT_DOWNLOAD_LIST, -1, false));

    EXPECT_EQ(ACT_REFUSED_TRANSFER, act(SRC_PLAYER_LIST, TGT_PC_LIST, -1, false, false, true));
    EXPECT_EQ(ACT_UPLOAD_SHOWN_FOLDER, act(SRC_PLAYER_LIST, TGT_PC_LIST, 3, true));
    EXPECT_EQ(ACT_UPLOAD_TREE_FOLDER, act(SRC_PLAYER_LIST, TGT_PC_TREE, -1, false));
    EXPECT_EQ(ACT_MOVE_TO_TREE_ITEM, act(SRC_PLAYER_LIST, TGT_PLAYER_TREE, -1, false));
    DropPlace shown;
    shown.source = SRC_PLAYER_LIST;
    shown.target = TGT_PLAYER_TREE;
    shown.overTreeItem = true;
    shown.treeItemIsShownFolder = true;
    EXPECT_EQ(ACT_NONE, ActionForDrop(shown));
    EXPECT_EQ(ACT_ORDER_TO_END, act(SRC_PLAYER_LIST, TGT_PLAYER_LIST, -1, false));
    EXPECT_EQ(ACT_ORDER_BEFORE_ROW, act(SRC_PLAYER_LIST, TGT_PLAYER_LIST, 0, false));
    EXPECT_EQ(ACT_MOVE_INTO_ROW, act(SRC_PLAYER_LIST, TGT_PLAYER_LIST, 0, true));
    // Dropped onto one of its own folder rows: reordered, never moved into itself.
    EXPECT_EQ(ACT_ORDER_BEFORE_ROW, act(SRC_PLAYER_LIST, TGT_PLAYER_LIST, 0, true, true));
    EXPECT_EQ(ACT_REORDER_DOWNLOAD_LIST, act(SRC_DOWNLOAD_LIST, TGT_DOWNLOAD_LIST, 1, false));
    EXPECT_EQ(ACT_NONE, act(SRC_DOWNLOAD_LIST, TGT_PLAYER_LIST, 1, false));
}

TEST(FileGroupDescriptor, CountThenOneRecordPerFileWithNameOnly)
{
    std::string longName(300, 'n');
    auto block = BuildFileGroupDescriptor({"C:\\Music\\Song.mp3", "plain.wma", "D:\\x\\" + longName},
                                          {1234, 0, 0x100000005ull});
    ASSERT_EQ(4 + 3 * 332u, block.size());
    auto u32 = [&](size_t at) {
        return uint32_t(block[at]) | uint32_t(block[at + 1]) << 8 | uint32_t(block[at + 2]) << 16 |
               uint32_t(block[at + 3]) << 24;
    };
    EXPECT_EQ(3u, u32(0));
    for (size_t i = 0; i < 3; ++i) {
        size_t r = 4 + i * 332;
        EXPECT_EQ(0x40u, u32(r));
        for (size_t z = r + 4; z < r + 64; ++z)
            ASSERT_EQ(0, block[z]) << i << " " << z - r;
        EXPECT_EQ(0, block[r + 331]) << "name field NUL-terminated";
    }
    EXPECT_STREQ("Song.mp3", reinterpret_cast<const char*>(&block[4 + 72]));
    EXPECT_EQ(0u, u32(4 + 64));
    EXPECT_EQ(1234u, u32(4 + 68));
    EXPECT_STREQ("plain.wma", reinterpret_cast<const char*>(&block[4 + 332 + 72]));
    // Over 4 GiB the high part carries the rest.
    EXPECT_EQ(1u, u32(4 + 664 + 64));
    EXPECT_EQ(5u, u32(4 + 664 + 68));
    EXPECT_EQ(259u, std::strlen(reinterpret_cast<const char*>(&block[4 + 664 + 72])));
    EXPECT_EQ(4u, BuildFileGroupDescriptor({}, {}).size());
}
