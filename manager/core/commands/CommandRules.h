// The main window's command rules that need no window: which entries of the
// context menus are greyed, what Paste does, the list views' cycle, the PC
// tree's split, the folder-size text and the drag-and-drop decisions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace commands {

// Command identifiers of the context menus (menu 158) and the window menu
// (menu 142).
enum Command : unsigned {
    ID_ABOUT = 32780,
    ID_PCTREE_NEW_FOLDER = 32784,
    ID_PCTREE_RENAME = 32785,
    ID_PCTREE_DELETE = 32786,
    ID_PCTREE_FOLDER_SIZE = 32788,
    ID_PCLIST_CUT = 32796,
    ID_PCLIST_COPY = 32797,
    ID_PCLIST_PASTE = 32798,
    ID_PCLIST_DELETE = 32799,
    ID_PDLIST_UPLOAD = 32802,
    ID_PDLIST_DELETE = 32803,
    ID_PCLIST_OPEN = 32804,
    ID_PCLIST_RENAME = 32805,
    ID_PCLIST_REFRESH = 32806,
    ID_PDLIST_SELECT_ALL = 32807,
    ID_CLOSE = 32809,
    ID_PDLIST_REFRESH = 32811,
    ID_CONNECT = 32812,
    ID_NEW_FOLDER = 32813,
    ID_MOVE_UP_FOLDER = 32814,
    ID_CUT = 32820,
    ID_COPY = 32821,
    ID_PASTE = 32822,
    ID_DOWNLOAD = 32823,
    ID_UPLOAD = 32824,
    ID_MEMORY_FORMAT = 32825,
    ID_INTERNAL_MEMORY = 32827,
    ID_EXTERNAL_MEMORY = 32828,
    ID_VIEWS = 32830,
    ID_PCLIST_SELECT_ALL = 32831,
    ID_DELETE = 32832,
    ID_SELECT_ALL = 32833,
    ID_RENAME = 32835,
    ID_PDLIST_CUT = 32838,
    ID_PDLIST_COPY = 32839,
    ID_PDLIST_PASTE = 32840,
    ID_PDLIST_RENAME = 32841,
    ID_DLLIST_MOVE_UP = 32842,
    ID_DLLIST_MOVE_DOWN = 32843,
    ID_DLLIST_DELETE = 32844,
    ID_PCLIST_PROPERTIES = 32845,
    ID_DLLIST_PROPERTIES = 32846,
    ID_PDLIST_MOVE_UP = 32847,
    ID_PDLIST_MOVE_DOWN = 32848,
    ID_PDTREE_NEW_FOLDER = 32849,
    ID_PDTREE_DELETE = 32850,
    ID_PDTREE_RENAME = 32851,
    ID_PCLIST_NEW_FOLDER = 32852,
    ID_PDLIST_OPEN = 32853,
    ID_PDLIST_NEW_FOLDER = 32854,
};

// The five context menus: submenu positions of menu 158.
enum Submenu { MENU_PC_TREE = 0, MENU_PC_LIST = 1, MENU_PLAYER_LIST = 2, MENU_DOWNLOAD_LIST = 3, MENU_PLAYER_TREE = 4 };

// Control identifiers of the panes.
enum Control : unsigned {
    CTL_PC_LIST = 1001,
    CTL_PLAYER_LIST = 1002,
    CTL_PC_TREE = 1003,
    CTL_PLAYER_TREE = 1004,
    CTL_DOWNLOAD_LIST = 1201,
};

// The submenu of a right-clicked control, or -1 when it has none.
int SubmenuForControl(unsigned control);
// The active pane (view mode) a context menu sets: 0 PC tree, 1 PC list,
// 2 player tree, 3 player list, 4 download list.
int ViewModeForSubmenu(int submenu);
// Every command of a submenu, in menu order.
std::vector<unsigned> SubmenuCommands(int submenu);

// What the window knows when a context menu opens.
struct MenuState {
    // PC list: the shown PC folder item has no parent (the desktop item).
    bool pcFolderIsDesktop = false;
    // The clipboard's operation (1, 2, 16, 32 or 0) and whether it holds names.
    int clipboardOperation = 0;
    bool clipboardEmpty = true;
    // The clicked list: its rows and selected rows; whether the row under the
    // point is a music file (file-kind test 2).
    int rowCount = 0;
    int selectedCount = 0;
    bool rowUnderPointIsMusic = false;
    // Player panes: the shown memory answers; the tree item under the point
    // is the root item.
    bool memoryAnswers = false;
    bool itemUnderPointIsRoot = false;
};

// The greyed commands of a submenu in a state, in menu order.
std::vector<unsigned> GreyedCommands(int submenu, const MenuState& state);

// Paste by the clipboard's operation and the last view.
enum PasteAction {
    PASTE_NOTHING,
    PASTE_INTO_PC_FOLDER,    // the PC clipboard into the shown PC folder
    PASTE_DOWNLOAD,          // the PC clipboard onto the player's shown folder
    PASTE_UPLOAD,            // the player clipboard into the shown PC folder
    PASTE_MOVE_ON_PLAYER,    // the player clipboard to the shown player folder
    PASTE_NO_SELECTION,      // string 153
};
// The window menu's Paste (32822) after a view mode (0-4).
PasteAction PasteByLastView(int clipboardOperation, int lastViewMode);
// The player list's own Paste entry (32840).
PasteAction PasteIntoPlayerList(int clipboardOperation);
// The PC list's own Paste entry (32798); pcFolderHasPath: the shown PC
// folder has a file-system path.
PasteAction PasteIntoPcList(int clipboardOperation, bool pcFolderHasPath);

// List views: 0 large icons, 1 small icons, 2 list, 3 details.
int NextPcListView(int view);
int NextPlayerListView(int view);

// The PC tree shown again: from the PC list's rectangle (left, right) and
// [PC_CROSS] x, y and cy, the tree takes x / (x + y) of the width and the list
// starts cy pixels right of it.
struct Span {
    int left = 0;
    int right = 0;
};
void SplitPcPane(int listLeft, int listRight, int crossX, int crossY, int crossCy, Span* tree, Span* list);

// Whether files may be copied into a PC tree item's path: a plain folder
// path (a drive's or a server share's), without the "?" of a special item's
// name and not a bare server root (two backslashes, a server name and a
// backslash).
bool TakesPcFiles(const std::string& folder);

// The folder-size box: bytes in whole KB, rounded up (0 stays 0).
std::uint64_t KilobytesRoundedUp(std::uint64_t bytes);

// Drag and drop inside the window.
enum DragSource { SRC_PC_LIST, SRC_PLAYER_LIST, SRC_DOWNLOAD_LIST };
enum DropTarget { TGT_PC_LIST, TGT_PLAYER_LIST, TGT_DOWNLOAD_LIST, TGT_PC_TREE, TGT_PLAYER_TREE, TGT_OTHER };

struct DragFacts {
    DragSource source = SRC_PC_LIST;
    bool transferRunning = false;
    // PC list source: the list shows a folder's files (view kind 2); the shown
    // folder is the desktop item and the selection holds row 0 or row 1.
    bool pcListShowsFiles = true;
    bool desktopSpecialRowsSelected = false;
    // The point is outside the window's client rectangle.
    bool outsideWindow = false;
    DropTarget target = TGT_OTHER;
    // Over a tree: the point is on an item (icon, label or state icon).
    bool overTreeItem = false;
};
enum DropVerdict { DROP_REFUSED, DROP_INSIDE, DROP_LEAVE_WINDOW };
DropVerdict CanDrop(const DragFacts& facts);

enum DropAction {
    ACT_NONE,
    ACT_REFUSED_TRANSFER,        // string 303
    ACT_PC_MOVE_INTO_ROW,        // PC cut, paste into the row's folder
    ACT_PC_COPY_TO_TREE,         // PC copy, paste into the highlighted folder
    ACT_DOWNLOAD_SHOWN_FOLDER,   // into the shown player folder
    ACT_DOWNLOAD_INTO_ROW,       // into the row's child folder
    ACT_DOWNLOAD_TREE_ITEM,      // into the player tree item
    ACT_ADD_TO_DOWNLOAD_LIST,
    ACT_UPLOAD_TREE_FOLDER,      // into the highlighted PC tree folder
    ACT_UPLOAD_SHOWN_FOLDER,     // into the shown PC folder
    ACT_MOVE_TO_TREE_ITEM,       // player cut, moved to the item's folder
    ACT_MOVE_INTO_ROW,           // player cut, moved into the row's folder
    ACT_ORDER_TO_END,            // play order: the rows go to the end
    ACT_ORDER_BEFORE_ROW,        // play order: the rows go before the row
    ACT_REORDER_DOWNLOAD_LIST,
};
struct DropPlace {
    DragSource source = SRC_PC_LIST;
    DropTarget target = TGT_OTHER;
    bool transferRunning = false;
    // Over a list: the row under the point (-1: empty space) and whether it
    // is a folder row.
    int row = -1;
    bool rowIsFolder = false;
    // The row under the point is one of the dragged rows.
    bool rowIsDragged = false;
    // Over the player tree: the item under the point is the shown folder.
    bool treeItemIsShownFolder = false;
    bool overTreeItem = false;
};
DropAction ActionForDrop(const DropPlace& place);

// The shell's file group descriptor: a 32-bit count, then per file a
// 332-byte record (flags 0x40, size valid; the size; the file name, NUL
// terminated within 260 bytes). Each name is reduced to its last path part.
enum : std::size_t { DESCRIPTOR_RECORD_SIZE = 332, DESCRIPTOR_NAME_SIZE = 260 };
std::vector<unsigned char> BuildFileGroupDescriptor(const std::vector<std::string>& names,
                                                    const std::vector<std::uint64_t>& sizes);
// The last part of a path (after the last "\" or "/").
std::string FileNamePart(const std::string& path);

}  // namespace commands
