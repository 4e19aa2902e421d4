#include "CommandRules.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace commands {

namespace {

const unsigned kPcTree[] = {ID_PCTREE_NEW_FOLDER, ID_PCTREE_RENAME, ID_PCTREE_DELETE, ID_PCTREE_FOLDER_SIZE};
const unsigned kPcList[] = {ID_PCLIST_OPEN,   ID_PCLIST_NEW_FOLDER, ID_PCLIST_REFRESH, ID_PCLIST_SELECT_ALL,
                            ID_PCLIST_CUT,    ID_PCLIST_COPY,       ID_PCLIST_PASTE,   ID_PCLIST_DELETE,
                            ID_PCLIST_RENAME, ID_PCLIST_PROPERTIES};
const unsigned kPlayerList[] = {ID_PDLIST_OPEN,       ID_PDLIST_NEW_FOLDER, ID_PDLIST_REFRESH, ID_PDLIST_UPLOAD,
                                ID_PDLIST_MOVE_UP,    ID_PDLIST_MOVE_DOWN,  ID_PDLIST_SELECT_ALL, ID_PDLIST_CUT,
                                ID_PDLIST_COPY,       ID_PDLIST_PASTE,      ID_PDLIST_DELETE,  ID_PDLIST_RENAME};
const unsigned kDownloadList[] = {ID_DLLIST_MOVE_UP, ID_DLLIST_MOVE_DOWN, ID_DLLIST_DELETE, ID_DLLIST_PROPERTIES};
const unsigned kPlayerTree[] = {ID_PDTREE_NEW_FOLDER, ID_PDTREE_DELETE, ID_PDTREE_RENAME};

bool IsCollected(int operation)
{
    return operation == 1 || operation == 2 || operation == 16 || operation == 32;
}

}  // namespace

int SubmenuForControl(unsigned control)
{
    switch (control) {
    case CTL_PC_TREE:
        return MENU_PC_TREE;
    case CTL_PC_LIST:
        return MENU_PC_LIST;
    case CTL_PLAYER_LIST:
        return MENU_PLAYER_LIST;
    case CTL_DOWNLOAD_LIST:
        return MENU_DOWNLOAD_LIST;
    case CTL_PLAYER_TREE:
        return MENU_PLAYER_TREE;
    }
    return -1;
}

int ViewModeForSubmenu(int submenu)
{
    switch (submenu) {
    case MENU_PC_TREE:
        return 0;
    case MENU_PC_LIST:
        return 1;
    case MENU_PLAYER_LIST:
        return 3;
    case MENU_DOWNLOAD_LIST:
        return 4;
    case MENU_PLAYER_TREE:
        return 2;
    }
    return -1;
}

std::vector<unsigned> SubmenuCommands(int submenu)
{
    switch (submenu) {
    case MENU_PC_TREE:
        return {std::begin(kPcTree), std::end(kPcTree)};
    case MENU_PC_LIST:
        return {std::begin(kPcList), std::end(kPcList)};
    case MENU_PLAYER_LIST:
        return {std::begin(kPlayerList), std::end(kPlayerList)};
    case MENU_DOWNLOAD_LIST:
        return {std::begin(kDownloadList), std::end(kDownloadList)};
    case MENU_PLAYER_TREE:
        return {std::begin(kPlayerTree), std::end(kPlayerTree)};
    }
    return {};
}

std::vector<unsigned> GreyedCommands(int submenu, const MenuState& s)
{
    std::vector<unsigned> greyed;
    auto grey = [&](std::initializer_list<unsigned> ids) { greyed.insert(greyed.end(), ids); };
    switch (submenu) {
    case MENU_PC_LIST:
        if (s.pcFolderIsDesktop) {
            grey({ID_PCLIST_OPEN, ID_PCLIST_SELECT_ALL, ID_PCLIST_CUT, ID_PCLIST_COPY, ID_PCLIST_PASTE,
                  ID_PCLIST_DELETE, ID_PCLIST_RENAME, ID_PCLIST_PROPERTIES});
            break;
        }
        if (s.clipboardEmpty)
            grey({ID_PCLIST_PASTE});
        if (s.selectedCount == 0)
            grey({ID_PCLIST_OPEN, ID_PCLIST_CUT, ID_PCLIST_COPY, ID_PCLIST_DELETE, ID_PCLIST_RENAME,
                  ID_PCLIST_PROPERTIES});
        else if (s.selectedCount == 1 && !s.rowUnderPointIsMusic)
            grey({ID_PCLIST_PROPERTIES});
        if (s.rowCount == 0)
            grey({ID_PCLIST_SELECT_ALL});
        break;
    case MENU_PLAYER_LIST:
        if (!s.memoryAnswers)
            grey({ID_PDLIST_REFRESH, ID_PDLIST_OPEN, ID_PDLIST_NEW_FOLDER, ID_PDLIST_PASTE});
        if (s.rowCount == 0)
            grey({ID_PDLIST_SELECT_ALL});
        if (s.selectedCount == 0)
            grey({ID_PDLIST_UPLOAD, ID_PDLIST_MOVE_UP, ID_PDLIST_MOVE_DOWN, ID_PDLIST_CUT, ID_PDLIST_COPY,
                  ID_PDLIST_DELETE, ID_PDLIST_RENAME});
        if (!IsCollected(s.clipboardOperation))
            grey({ID_PDLIST_PASTE});
        break;
    case MENU_DOWNLOAD_LIST:
        if (s.selectedCount == 0)
            grey({ID_DLLIST_MOVE_UP, ID_DLLIST_MOVE_DOWN, ID_DLLIST_DELETE, ID_DLLIST_PROPERTIES});
        else if (s.selectedCount == 1 && !s.rowUnderPointIsMusic)
            grey({ID_DLLIST_PROPERTIES});
        break;
    case MENU_PLAYER_TREE:
        if (!s.memoryAnswers)
            grey({ID_PDTREE_NEW_FOLDER, ID_PDTREE_RENAME});
        if (s.itemUnderPointIsRoot)
            grey({ID_PDTREE_DELETE});
        break;
    default:
        break;
    }
    // In menu order, each once.
    std::vector<unsigned> ordered;
    for (unsigned id : SubmenuCommands(submenu))
        if (std::find(greyed.begin(), greyed.end(), id) != greyed.end())
            ordered.push_back(id);
    return ordered;
}

PasteAction PasteByLastView(int operation, int lastViewMode)
{
    if (operation == 1 || operation == 2) {
        if (lastViewMode == 0 || lastViewMode == 1)
            return PASTE_INTO_PC_FOLDER;
        if (lastViewMode == 3)
            return PASTE_DOWNLOAD;
    } else if (operation == 16 || operation == 32) {
        if (lastViewMode == 1)
            return PASTE_UPLOAD;
    }
    return PASTE_NOTHING;
}

PasteAction PasteIntoPlayerList(int operation)
{
    if (operation == 1 || operation == 2)
        return PASTE_DOWNLOAD;
    if (operation == 16 || operation == 32)
        return PASTE_MOVE_ON_PLAYER;
    return PASTE_NO_SELECTION;
}

PasteAction PasteIntoPcList(int operation, bool pcFolderHasPath)
{
    if (operation == 16 || operation == 32)
        return PASTE_UPLOAD;
    return pcFolderHasPath ? PASTE_INTO_PC_FOLDER : PASTE_NOTHING;
}

int NextPcListView(int view)
{
    return view >= 0 && view < 3 ? view + 1 : 0;
}

int NextPlayerListView(int view)
{
    return view == 3 ? 2 : 3;
}

void SplitPcPane(int listLeft, int listRight, int crossX, int crossY, int crossCy, Span* tree, Span* list)
{
    long long width = std::max(0, listRight - listLeft);
    long long parts = static_cast<long long>(crossX) + crossY;
    int treeWidth = parts > 0 && crossX > 0 ? static_cast<int>(width * crossX / parts) : 0;
    Span t{listLeft, listLeft + treeWidth};
    Span l{std::min(listRight, t.right + std::max(0, crossCy)), listRight};
    if (tree)
        *tree = t;
    if (list)
        *list = l;
}

bool TakesPcFiles(const std::string& folder)
{
    const bool server = folder.size() > 2 && folder.compare(0, 2, "\\\\") == 0;
    const bool bareServer = server && folder.find('\\', 2) == folder.size() - 1;
    const bool drive = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
                       folder[2] == '\\';
    // A shell item's display name alone ("Network") is no path at all.
    return (drive || (server && !bareServer)) && folder.find('?') == std::string::npos;
}

std::uint64_t KilobytesRoundedUp(std::uint64_t bytes)
{
    return bytes / 1024 + (bytes % 1024 ? 1 : 0);
}

DropVerdict CanDrop(const DragFacts& f)
{
    if (f.source == SRC_PC_LIST && (!f.pcListShowsFiles || f.desktopSpecialRowsSelected))
        return DROP_REFUSED;
    if (f.source == SRC_PC_LIST || f.source == SRC_PLAYER_LIST) {
        if (f.outsideWindow)
            return DROP_LEAVE_WINDOW;
        if (f.source == SRC_PLAYER_LIST && (f.transferRunning || f.target == TGT_DOWNLOAD_LIST))
            return DROP_REFUSED;
    } else if (f.target != TGT_DOWNLOAD_LIST) {
        return DROP_REFUSED;
    }
    switch (f.target) {
    case TGT_PC_LIST:
    case TGT_DOWNLOAD_LIST:
        return DROP_INSIDE;
    case TGT_PLAYER_LIST:
        return f.transferRunning ? DROP_REFUSED : DROP_INSIDE;
    case TGT_PC_TREE:
        return f.overTreeItem ? DROP_INSIDE : DROP_REFUSED;
    case TGT_PLAYER_TREE:
        return f.overTreeItem && !f.transferRunning ? DROP_INSIDE : DROP_REFUSED;
    default:
        return DROP_REFUSED;
    }
}

DropAction ActionForDrop(const DropPlace& p)
{
    switch (p.source) {
    case SRC_PC_LIST:
        switch (p.target) {
        case TGT_PC_LIST:
            return p.row >= 0 && p.rowIsFolder ? ACT_PC_MOVE_INTO_ROW : ACT_NONE;
        case TGT_PLAYER_LIST:
            if (p.transferRunning)
                return ACT_REFUSED_TRANSFER;
            return p.row >= 0 && p.rowIsFolder ? ACT_DOWNLOAD_INTO_ROW : ACT_DOWNLOAD_SHOWN_FOLDER;
        case TGT_PC_TREE:
            return p.overTreeItem ? ACT_PC_COPY_TO_TREE : ACT_NONE;
        case TGT_PLAYER_TREE:
            return p.overTreeItem ? ACT_DOWNLOAD_TREE_ITEM : ACT_NONE;
        case TGT_DOWNLOAD_LIST:
            return ACT_ADD_TO_DOWNLOAD_LIST;
        default:
            return ACT_NONE;
        }
    case SRC_PLAYER_LIST:
        if (p.transferRunning)
            return ACT_REFUSED_TRANSFER;
        switch (p.target) {
        case TGT_PC_TREE:
            return p.overTreeItem ? ACT_UPLOAD_TREE_FOLDER : ACT_NONE;
        case TGT_PC_LIST:
            return ACT_UPLOAD_SHOWN_FOLDER;
        case TGT_PLAYER_TREE:
            return p.overTreeItem && !p.treeItemIsShownFolder ? ACT_MOVE_TO_TREE_ITEM : ACT_NONE;
        case TGT_PLAYER_LIST:
            if (p.row < 0)
                return ACT_ORDER_TO_END;
            // A folder row that is itself dragged never takes the rows into
            // itself: the drop stays in this folder and only reorders.
            if (p.rowIsFolder && !p.rowIsDragged)
                return ACT_MOVE_INTO_ROW;
            return ACT_ORDER_BEFORE_ROW;
        default:
            return ACT_NONE;
        }
    case SRC_DOWNLOAD_LIST:
        return p.target == TGT_DOWNLOAD_LIST ? ACT_REORDER_DOWNLOAD_LIST : ACT_NONE;
    }
    return ACT_NONE;
}

std::string FileNamePart(const std::string& path)
{
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<unsigned char> BuildFileGroupDescriptor(const std::vector<std::string>& names,
                                                    const std::vector<std::uint64_t>& sizes)
{
    const std::uint32_t count = static_cast<std::uint32_t>(names.size());
    std::vector<unsigned char> block(4 + count * DESCRIPTOR_RECORD_SIZE, 0);
    auto put32 = [&](size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            block[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(0, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const size_t record = 4 + size_t(i) * DESCRIPTOR_RECORD_SIZE;
        // dwFlags: the size is valid.
        put32(record, 0x40);
        // Class id 16, size 8, point 8, attributes 4, three times 24: zero.
        const std::uint64_t size = i < sizes.size() ? sizes[i] : 0;
        put32(record + 64, static_cast<std::uint32_t>(size >> 32));
        put32(record + 68, static_cast<std::uint32_t>(size));
        const std::string name = FileNamePart(names[i]);
        const size_t length = std::min(name.size(), size_t(DESCRIPTOR_NAME_SIZE - 1));
        std::memcpy(&block[record + 72], name.data(), length);
    }
    return block;
}

}  // namespace commands
