// The PC pane's drive records, its folder tree rooted at the desktop (drives
// found with the file finder, shell folders through the shell namespace), the
// tree's notifications and keys, and the drive box 1183.
#include "ManagerDlg.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "fileutil/FileUtil.h"
#include "ManagerGlobals.h"
#include "PcPaneRules.h"
#include "QV_Drive_Vilo8.h"
#include "SettingsRules.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"

namespace {

const char* kPlaceholder = "?";

bool IsLead(unsigned char byte) { return ::IsDBCSLeadByte(byte) != 0; }

// Display name and icons of a shell item list; false when the shell knows it not.
bool ShellInfo(LPCITEMIDLIST list, std::string* name, int* icon, int* openIcon)
{
    SHFILEINFOA info{};
    if (!::SHGetFileInfoA(reinterpret_cast<LPCSTR>(list), 0, &info, sizeof info,
                          SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return false;
    if (name)
        *name = info.szDisplayName;
    if (icon)
        *icon = info.iIcon;
    if (openIcon) {
        SHFILEINFOA open{};
        *openIcon = ::SHGetFileInfoA(reinterpret_cast<LPCSTR>(list), 0, &open, sizeof open,
                                     SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON)
                        ? open.iIcon
                        : info.iIcon;
    }
    return true;
}

bool SpecialFolderInfo(int csidl, DRIVE_INFO& record)
{
    LPITEMIDLIST list = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list)
        return false;
    bool ok = ShellInfo(list, &record.DisplayName, &record.Icon, &record.SelectedIcon);
    ::CoTaskMemFree(list);
    return ok;
}

std::string WithSlash(const std::string& path) { return settings::WithBackslash(path); }

// The children flag of a tree item: whether it shows an expand button.
bool ShowsButton(CTreeCtrl& tree, HTREEITEM item)
{
    TVITEMA tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    return tree.Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) && tv.cChildren != 0;
}

}  // namespace

void CManagerDlg::ShowPcProblem(const char* text)
{
    m_message = mb::Format(mb::LoadText(IDS_PC_PROBLEM).c_str(), text);
    ShowMessage(m_message);
}

void CManagerDlg::BuildDriveTree(bool withSizes)
{
    CWaitCursor wait;
    for (DRIVE_INFO& d : m_pcDrives)
        d = DRIVE_INFO{};
    int count = 0;
    DRIVE_INFO& desktop = m_pcDrives[count++];
    SpecialFolderInfo(CSIDL_DESKTOP, desktop);
    desktop.TypeText = "Desktop";
    DRIVE_INFO& computer = m_pcDrives[count++];
    SpecialFolderInfo(CSIDL_DRIVES, computer);
    computer.TypeText = "PC Root";

    CQuorvane finder;
    const std::uint32_t mask = pcpane::PcDriveMask(::GetLogicalDrives(), finder.GetQuorvaneDrives());
    // Two records stay free: the network's and the end.
    for (int letter = 0; letter < 26 && count < 29; ++letter) {
        if (!(mask & (1u << letter)))
            continue;
        const std::string root = mb::Format("%c:\\", 'A' + letter);
        SHFILEINFOA info{};
        ::SHGetFileInfoA(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        DRIVE_INFO& d = m_pcDrives[count++];
        d.TypeText = pcpane::DriveTypeText(::GetDriveTypeA(root.c_str()));
        if (withSizes) {
            ULARGE_INTEGER freeToCaller{}, total{}, freeBytes{};
            if (::GetDiskFreeSpaceExA(root.c_str(), &freeToCaller, &total, &freeBytes)) {
                d.TotalBytes = total.QuadPart;
                d.FreeBytes = freeToCaller.QuadPart;
            }
        }
        std::string display = info.szDisplayName;
        if (display.empty())
            display = mb::Format("(%c:)", 'A' + letter);
        pcpane::SplitDriveDisplayName(display, d.Root, d.DisplayName, IsLead);
        // A display name without its letter ending still names its drive.
        if (d.Root.find(':') == std::string::npos) {
            d.DisplayName = display;
            d.Root = mb::Format("(%c:)", 'A' + letter);
        }
        d.Icon = d.SelectedIcon = info.iIcon;
    }
    // The network neighbourhood, when the system has one.
    DRIVE_INFO network;
    m_pcHasNetwork = SpecialFolderInfo(CSIDL_NETWORK, network);
    if (m_pcHasNetwork) {
        network.TypeText = "Network Root";
        m_pcDrives[count++] = network;
    }
    m_pcDriveCount = count;
}

std::string CManagerDlg::GetPcTreeItemPath(HTREEITEM item)
{
    if (!item)
        return std::string();
    if (item == m_pcRootItem)
        return std::string();
    if (item == m_desktopItem) {
        char path[MAX_PATH] = {};
        if (::SHGetSpecialFolderPathA(m_hWnd, path, CSIDL_DESKTOPDIRECTORY, FALSE))
            return WithSlash(path);
        return std::string();
    }
    if (auto* shell = reinterpret_cast<SHELL_ITEM*>(m_pcTree.GetItemData(item))) {
        char path[MAX_PATH] = {};
        if (shell->Full && ::SHGetPathFromIDListA(shell->Full, path) && path[0])
            return WithSlash(path);
        std::string name;
        ShellInfo(shell->Full, &name, nullptr, nullptr);
        return name;
    }
    const std::string text = m_pcTree.GetItemText(item);
    HTREEITEM parent = m_pcTree.GetParentItem(item);
    if (parent == m_pcRootItem || text.find(':') != std::string::npos)
        return pcpane::DriveRootFromText(text);
    std::string base = GetPcTreeItemPath(parent);
    if (base.empty())
        return std::string();
    return WithSlash(base) + text + "\\";
}

std::string CManagerDlg::GetPcFolderPath() { return m_pcFolderPath; }

HTREEITEM CManagerDlg::InsertPcTreeItem(const std::string& text, HTREEITEM parent)
{
    std::string path;
    if (text.find(':') != std::string::npos)
        path = pcpane::DriveRootFromText(text);
    else
        path = WithSlash(GetPcTreeItemPath(parent)) + text;
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(text.c_str());
    if (text != kPlaceholder) {
        insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
        insert.item.iImage = mb::SystemIconIndex(path, true);
        insert.item.iSelectedImage = mb::SystemIconIndex(path, true, true);
        insert.item.cChildren = 1;
        const std::string root = CFileUtil::GetPathRoot(path);
        if (text.find(':') == std::string::npos && ::GetDriveTypeA(WithSlash(root).c_str()) != DRIVE_REMOTE) {
            std::vector<std::string> below;
            insert.item.cChildren = ListSubfolders(below, path) > 0 ? 1 : 0;
        }
    }
    return reinterpret_cast<HTREEITEM>(m_pcTree.Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

int CManagerDlg::ListSubfolders(std::vector<std::string>& names, const std::string& path)
{
    if (path.empty()) {
        for (int i = 0; i < m_pcDriveCount; ++i)
            if (m_driveItems[i])
                names.push_back(m_pcTree.GetItemText(m_driveItems[i]));
        return int(names.size());
    }
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA((WithSlash(path) + "*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return int(names.size());
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (!std::strcmp(found.cFileName, ".") || !std::strcmp(found.cFileName, ".."))
            continue;
        names.push_back(found.cFileName);
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return int(names.size());
}

void CManagerDlg::RefreshPcTreeChildren(HTREEITEM item)
{
    std::vector<std::string> names;
    ListSubfolders(names, GetPcTreeItemPath(item));
    m_treeClearing = true;
    while (HTREEITEM child = m_pcTree.GetChildItem(item))
        m_pcTree.DeleteItem(child);
    m_treeClearing = false;
    for (const std::string& name : names) {
        if (::lstrcmpiA(name.c_str(), "Recycled") == 0)
            continue;
        // The placeholder only where the shell saw subfolders: a folder
        // without them keeps no expand button.
        HTREEITEM child = InsertPcTreeItem(name, item);
        if (child && ShowsButton(m_pcTree, child))
            m_pcTree.InsertItem(kPlaceholder, child);
    }
    // A folder whose subfolders are gone shows no button any more.
    if (!m_pcTree.GetChildItem(item)) {
        TVITEMA tv{};
        tv.mask = TVIF_CHILDREN;
        tv.hItem = item;
        tv.cChildren = 0;
        m_pcTree.Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    }
}

void CManagerDlg::AddShellChildren(IShellFolder* folder, LPCITEMIDLIST parentList, HTREEITEM parentItem,
                                   bool desktopLevel)
{
    if (!folder)
        return;
    if (!desktopLevel) {
        while (HTREEITEM child = m_pcTree.GetChildItem(parentItem))
            m_pcTree.DeleteItem(child);
    }
    // Under the network, its shortcuts are not listed twice.
    std::vector<std::string> shortcuts;
    if (parentItem == m_networkItem && m_networkItem) {
        char nethood[MAX_PATH] = {};
        if (::SHGetSpecialFolderPathA(m_hWnd, nethood, CSIDL_NETHOOD, FALSE))
            ListSubfolders(shortcuts, nethood);
    }
    int depth = 0;
    for (HTREEITEM up = parentItem; up; up = m_pcTree.GetParentItem(up))
        ++depth;
    --depth;  // ancestors of parentItem

    IEnumIDList* items = nullptr;
    if (FAILED(folder->EnumObjects(m_hWnd, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items)) || !items)
        return;
    LPITEMIDLIST child = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &child, &fetched) == S_OK && fetched == 1) {
        SFGAOF attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        LPCITEMIDLIST one = child;
        bool keep = SUCCEEDED(folder->GetAttributesOf(1, &one, &attributes)) && (attributes & SFGAO_FOLDER) &&
                    (attributes & SFGAO_HASSUBFOLDER);
        std::string name;
        if (keep)
            keep = CFileUtil::GetItemDisplayName(folder, child, SHGDN_NORMAL, name);
        if (keep && desktopLevel)
            keep = m_pcHasNetwork && name == m_pcDrives[m_pcDriveCount - 1].DisplayName;
        if (keep && !shortcuts.empty())
            keep = std::none_of(shortcuts.begin(), shortcuts.end(),
                                [&](const std::string& s) { return ::lstrcmpiA(s.c_str(), name.c_str()) == 0; });
        if (!keep) {
            ::CoTaskMemFree(child);
            continue;
        }
        auto* record = new SHELL_ITEM;
        record->Parent = folder;
        folder->AddRef();
        record->Relative = child;
        record->Full = CFileUtil::ConcatItemIdLists(parentList, child);
        record->Depth = depth;
        int icon = 0, openIcon = 0;
        ShellInfo(record->Full, nullptr, &icon, &openIcon);
        TVINSERTSTRUCTA insert{};
        insert.hParent = parentItem;
        insert.hInsertAfter = desktopLevel ? TVI_LAST : depth == 2 ? TVI_FIRST : TVI_SORT;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(name.c_str());
        insert.item.iImage = icon;
        insert.item.iSelectedImage = openIcon;
        insert.item.cChildren = 1;
        insert.item.lParam = reinterpret_cast<LPARAM>(record);
        HTREEITEM item = reinterpret_cast<HTREEITEM>(m_pcTree.Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        if (!item) {
            record->Parent->Release();
            ::CoTaskMemFree(record->Relative);
            ::CoTaskMemFree(record->Full);
            delete record;
            continue;
        }
        if (desktopLevel)
            m_networkItem = item;
    }
    items->Release();
}

void CManagerDlg::FillPcTree(const std::string& startPath)
{
    BuildDriveTree(false);
    m_treeClearing = true;
    m_pcTree.DeleteAllItems();
    m_treeClearing = false;
    m_desktopItem = m_pcRootItem = m_networkItem = nullptr;
    std::fill(std::begin(m_driveItems), std::end(m_driveItems), nullptr);

    const DRIVE_INFO& desktop = m_pcDrives[0];
    m_desktopItem = m_pcTree.InsertItem(desktop.DisplayName, TVI_ROOT, TVI_LAST, desktop.Icon, desktop.SelectedIcon);
    const DRIVE_INFO& computer = m_pcDrives[1];
    m_pcRootItem = m_pcTree.InsertItem(computer.DisplayName, m_desktopItem, TVI_FIRST, computer.Icon,
                                       computer.SelectedIcon);

    IShellFolder* desktopFolder = nullptr;
    if (m_pcHasNetwork && SUCCEEDED(::SHGetDesktopFolder(&desktopFolder)) && desktopFolder) {
        LPITEMIDLIST root = nullptr;
        if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root))) {
            AddShellChildren(desktopFolder, root, m_desktopItem, true);
            ::CoTaskMemFree(root);
        }
        desktopFolder->Release();
    }
    m_pcTree.Expand(m_desktopItem);

    const int lastDrive = m_pcHasNetwork ? m_pcDriveCount - 1 : m_pcDriveCount;
    for (int i = 2; i < lastDrive; ++i) {
        const DRIVE_INFO& d = m_pcDrives[i];
        TVINSERTSTRUCTA insert{};
        const std::string text = pcpane::DriveTreeText(d.Root, d.DisplayName);
        insert.hParent = m_pcRootItem;
        insert.hInsertAfter = TVI_SORT;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<char*>(text.c_str());
        insert.item.iImage = d.Icon;
        insert.item.iSelectedImage = d.SelectedIcon;
        m_driveItems[i] = reinterpret_cast<HTREEITEM>(m_pcTree.Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        if (m_driveItems[i])
            m_pcTree.InsertItem(kPlaceholder, m_driveItems[i]);
    }
    m_pcTree.Expand(m_pcRootItem);

    HTREEITEM start = nullptr;
    if (!startPath.empty()) {
        start = FindPcTreeItem(startPath);
    } else {
        LoadSaveRecentPaths("read");
        while (!start && m_recentPaths.GetCount() > 0) {
            start = FindPcTreeItem(m_recentPaths.GetLBText(0));
            if (!start)
                m_recentPaths.DeleteString(0);
        }
    }
    if (!start)
        start = FindPcTreeChild(m_pcRootItem, "(C:)");
    m_message.clear();
    if (start)
        m_pcTree.SelectItem(start);
}

HTREEITEM CManagerDlg::FindPcTreeChild(HTREEITEM parent, const std::string& name)
{
    for (HTREEITEM child = m_pcTree.GetChildItem(parent); child; child = m_pcTree.GetNextSiblingItem(child)) {
        const std::string text = m_pcTree.GetItemText(child);
        if (::lstrcmpiA(text.c_str(), name.c_str()) == 0)
            return child;
        // Drives are named by their letter: "(C:)" finds "(C:) Local Disk".
        if (name.size() == 4 && name[0] == '(' && name[2] == ':' && parent == m_pcRootItem &&
            ::lstrcmpiA(text.substr(0, 4).c_str(), name.c_str()) == 0)
            return child;
    }
    return nullptr;
}

HTREEITEM CManagerDlg::FindPcTreeItem(const std::string& path)
{
    std::vector<std::string> parts;
    HTREEITEM item = nullptr;
    if (path.size() >= 2 && path[1] == ':') {
        item = FindPcTreeChild(m_pcRootItem, mb::Format("(%c:)", path[0]));
        if (!item) {
            m_message = mb::Format(mb::LoadText(IDS_DRIVE_NOT_FOUND).c_str(), path.substr(0, 2).c_str());
            return nullptr;
        }
        // A drive's root is its item: split, a lone backslash would read as
        // the current folder.
        const std::string below = path.substr(2);
        if (below.empty() || below == "\\")
            return item;
        CFileUtil::SplitPath(below, parts);
    } else if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        if (!m_networkItem) {
            m_message = mb::LoadText(IDS_INVALID_DIRECTORY);
            return nullptr;
        }
        if (::lstrcmpiA(m_pcTree.GetItemText(m_networkItem).c_str(), path.c_str()) == 0)
            return m_networkItem;
        m_pcTree.Expand(m_networkItem);
        CFileUtil::SplitPath(path, parts);
        item = m_networkItem;
    } else {
        m_message = mb::LoadText(IDS_INVALID_DIRECTORY);
        return nullptr;
    }
    for (const std::string& part : parts) {
        m_pcTree.Expand(item);
        HTREEITEM next = FindPcTreeChild(item, part);
        if (!next)
            next = InsertNamedSubfolder(item, part);
        if (!next) {
            m_message = mb::LoadText(IDS_INVALID_DIRECTORY);
            return nullptr;
        }
        item = next;
    }
    return item;
}

bool CManagerDlg::IsPcTreeItemFixed(HTREEITEM item)
{
    if (!item || !m_pcTree.GetParentItem(item))
        return true;
    return std::find(std::begin(m_driveItems), std::end(m_driveItems), item) != std::end(m_driveItems);
}

HTREEITEM CManagerDlg::InsertNamedSubfolder(HTREEITEM parent, const std::string& name)
{
    if (GetPcTreeItemKind(parent) != 2)
        return nullptr;
    std::vector<std::string> names;
    ListSubfolders(names, GetPcTreeItemPath(parent));
    const bool expanded = (m_pcTree.GetItemState(parent, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    for (const std::string& n : names) {
        if (::lstrcmpiA(n.c_str(), name.c_str()) != 0)
            continue;
        // The placeholder goes once real children are there.
        HTREEITEM first = m_pcTree.GetChildItem(parent);
        if (first && m_pcTree.GetItemText(first) == kPlaceholder)
            m_pcTree.DeleteItem(first);
        HTREEITEM item = InsertPcTreeItem(n, parent);
        if (item && ShowsButton(m_pcTree, item))
            m_pcTree.InsertItem(kPlaceholder, item);
        if (item && !expanded) {
            // A parent listed before the folder was made shows no button and
            // stays collapsed. Selecting the new item would expand it, and
            // that first expansion lists the parent's subfolders afresh,
            // deleting this item (its handle may then name another): expand
            // the parent now and hand back the live item of that name.
            m_pcTree.Expand(parent);
            item = FindPcTreeChild(parent, n);
        }
        return item;
    }
    return nullptr;
}

HTREEITEM CManagerDlg::ReinsertPcTreeItem(HTREEITEM item)
{
    HTREEITEM parent = m_pcTree.GetParentItem(item);
    const std::string text = m_pcTree.GetItemText(item);
    HTREEITEM fresh = InsertNamedSubfolder(parent, text);
    if (!fresh) {
        ShowPcProblem("FAILED TO INSERT A TREE ITEM.");
        return nullptr;
    }
    m_pcTree.DeleteItem(item);
    return fresh;
}

void CManagerDlg::InitPathBoxAndDriveTree()
{
    m_treeLevelLimit = OsLevel <= settings::OS_ME ? 6 : 7;
    // The shell's objects belong to the user-interface thread: the tree is
    // built there, also when this runs on the start-up thread.
    if (::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
        FillPcTree(std::string());
    else
        Send(WM_BUILD_PC_TREE, 0, 0);
}

bool CManagerDlg::ShowPcTreeSelection()
{
    HTREEITEM item = m_pcTree.GetSelectedItem();
    if (!item)
        return false;
    if (ShowPcFolder(item)) {
        m_pcItem = item;
        UpdateDriveBox(item);
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
        return true;
    }
    const bool shell = GetPcTreeItemKind(item) == 3;
    ShowNotice(m_message, 1500);
    if (shell && m_networkItem)
        m_pcTree.SelectItem(m_networkItem);
    if (!m_pcItem || !m_pcTree.SelectItem(m_pcItem))
        m_pcTree.SelectItem(FindPcTreeChild(m_pcRootItem, "(C:)"));
    return false;
}

void CManagerDlg::ReopenPcFolder()
{
    if (HTREEITEM item = m_pcTree.GetSelectedItem())
        ShowPcFolder(item);
}

void CManagerDlg::UpdateDriveBox(HTREEITEM item)
{
    std::vector<pcpane::DriveLineSource> sources;
    for (int i = 0; i < m_pcDriveCount; ++i)
        sources.push_back({m_pcDrives[i].DisplayName, i >= 2 ? m_pcDrives[i].Root : std::string(), m_pcDrives[i].Icon,
                           m_pcDrives[i].SelectedIcon});
    std::vector<pcpane::BoxLine> lines = pcpane::DriveBoxLines(sources);
    if (!m_pcHasNetwork && lines.size() > 2 && lines.back().kind == pcpane::BOX_NETWORK) {
        lines.back().kind = pcpane::BOX_DRIVE;
        lines.back().indent = 2;
        lines.back().key = lines.back().text.substr(1, 2);
    }
    int selected = 0;
    if (item == m_desktopItem) {
        selected = 0;
    } else if (item == m_pcRootItem) {
        selected = 1;
    } else if (item == m_networkItem && m_pcHasNetwork) {
        selected = int(lines.size()) - 1;
    } else {
        // The chain of folders from the drive (or the network) down to the item.
        std::vector<pcpane::BoxLine> chain;
        HTREEITEM up = item;
        int anchor = -1;
        while (up && anchor < 0) {
            if (up == m_networkItem && m_pcHasNetwork) {
                anchor = int(lines.size()) - 1;
                break;
            }
            for (int i = 2; i < m_pcDriveCount; ++i)
                if (m_driveItems[i] == up)
                    anchor = i;
            if (anchor >= 0 || up == m_desktopItem)
                break;
            int image = 0, selectedImage = 0;
            m_pcTree.GetItemImage(up, image, selectedImage);
            pcpane::BoxLine line;
            line.text = line.key = m_pcTree.GetItemText(up);
            line.kind = GetPcTreeItemKind(up) == 3 ? pcpane::BOX_SHELL_FOLDER : pcpane::BOX_FOLDER;
            line.image = image;
            line.selectedImage = selectedImage;
            chain.insert(chain.begin(), line);
            up = m_pcTree.GetParentItem(up);
        }
        if (anchor < 0)
            anchor = 0;
        selected = pcpane::InsertFolderChain(lines, anchor, chain);
    }
    m_pcPath.ResetContent();
    m_driveBoxKeys.clear();
    m_driveBoxKinds.clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        m_pcPath.InsertItem(int(i), lines[i].text, lines[i].image, lines[i].selectedImage, lines[i].indent);
        m_driveBoxKeys.push_back(lines[i].key);
        m_driveBoxKinds.push_back(lines[i].kind);
    }
    m_pcPath.SetCurSel(selected);
}

void CManagerDlg::OnDriveBoxChosen()
{
    const int chosen = m_pcPath.GetCurSel();
    if (chosen < 0 || chosen >= int(m_driveBoxKinds.size()))
        return;
    HTREEITEM target = nullptr;
    switch (m_driveBoxKinds[chosen]) {
    case pcpane::BOX_DESKTOP:
        target = m_desktopItem;
        break;
    case pcpane::BOX_PC_ROOT:
        target = m_pcRootItem;
        break;
    case pcpane::BOX_NETWORK:
        target = m_networkItem;
        break;
    case pcpane::BOX_DRIVE:
        target = FindPcTreeChild(m_pcRootItem, "(" + m_driveBoxKeys[chosen] + ")");
        break;
    default: {
        std::vector<pcpane::BoxLine> lines(m_driveBoxKinds.size());
        for (size_t i = 0; i < lines.size(); ++i)
            lines[i].kind = m_driveBoxKinds[i];
        int levels = pcpane::LevelsAboveDeepest(lines, chosen);
        target = m_pcItem;
        while (target && levels-- > 0)
            target = m_pcTree.GetParentItem(target);
        break;
    }
    }
    if (target && target != m_pcTree.GetSelectedItem())
        m_pcTree.SelectItem(target);
}

void CManagerDlg::OnPcTreeExpanding(NMTREEVIEWA* nm, LRESULT* result)
{
    *result = 0;
    if (!(nm->action & TVE_EXPAND))
        return;
    HTREEITEM item = nm->itemNew.hItem;
    CWaitCursor wait;
    if (item == m_pcRootItem) {
        if (m_pcListKind == 1)
            return;
        BuildDriveTree(true);
        for (int i = 2; i < m_pcDriveCount; ++i) {
            if (!m_driveItems[i])
                continue;
            m_pcTree.SetItemText(m_driveItems[i], pcpane::DriveTreeText(m_pcDrives[i].Root, m_pcDrives[i].DisplayName));
            TVITEMA tv{};
            tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
            tv.hItem = m_driveItems[i];
            tv.iImage = m_pcDrives[i].Icon;
            tv.iSelectedImage = m_pcDrives[i].SelectedIcon;
            m_pcTree.Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        }
        return;
    }
    if (item == m_desktopItem)
        return;
    if (auto* shell = reinterpret_cast<SHELL_ITEM*>(m_pcTree.GetItemData(item))) {
        IShellFolder* folder = nullptr;
        if (SUCCEEDED(shell->Parent->BindToObject(shell->Relative, nullptr, IID_IShellFolder,
                                                  reinterpret_cast<void**>(&folder))) && folder) {
            AddShellChildren(folder, shell->Full, item, false);
            folder->Release();
        }
        return;
    }
    const std::string path = GetPcTreeItemPath(item);
    if (!CFileUtil::IsDriveReady(path)) {
        ShowNotice(mb::Format(mb::LoadText(IDS_DRIVE_NOT_FOUND).c_str(), path.substr(0, 2).c_str()), 1000);
        *result = 1;
        return;
    }
    RefreshPcTreeChildren(item);
}

void CManagerDlg::OnPcTreeEndLabelEdit(HTREEITEM item, bool edited, const std::string& text, LRESULT* result)
{
    *result = 0;
    if (m_treeEditCancel) {
        m_treeEditCancel = false;
        return;
    }
    if (!edited)
        return;
    const std::string old = m_pcTree.GetItemText(item);
    if (pcpane::FindInvalidNameChar(text, IsLead) != std::string::npos) {
        ShowMessage(mb::LoadText(IDS_BAD_FOLDER_NAME));
        return;
    }
    if (text == old)
        return;
    if (text.empty()) {
        ShowMessage(mb::LoadText(IDS_EMPTY_FOLDER_NAME));
        // The edit box is going away: editing starts again after it.
        m_pcTree.Post(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item));
        return;
    }
    HTREEITEM parent = m_pcTree.GetParentItem(item);
    const std::string base = WithSlash(GetPcTreeItemPath(parent));
    if (!::MoveFileA((base + old).c_str(), (base + text).c_str())) {
        ShowMessage(mb::Format(mb::LoadText(IDS_RENAME_FAILED).c_str(), old.c_str()));
        return;
    }
    m_pcTree.SetItemText(item, text);
    HTREEITEM selected = m_pcTree.GetSelectedItem();
    if (item == selected) {
        m_pcFolderPath = base + text + "\\";
        m_recentPaths.InsertString(0, m_pcFolderPath);
    } else if (!m_pcFolderPath.empty() && GetPcTreeItemKind(selected) == 2) {
        // A folder above the listed one: the list's folder moved with it, and
        // every command on its rows (rename, delete, paste, transfers) takes
        // its path from here.
        for (HTREEITEM up = m_pcTree.GetParentItem(selected); up; up = m_pcTree.GetParentItem(up))
            if (up == item) {
                m_pcFolderPath = GetPcTreeItemPath(selected);
                break;
            }
    }
    if (parent == m_pcTree.GetSelectedItem()) {
        for (int row = 0; row < m_pcList.GetItemCount(); ++row)
            if (::lstrcmpiA(m_pcList.GetItemText(row, 0).c_str(), old.c_str()) == 0) {
                m_pcList.SetItemText(row, 0, text);
                break;
            }
    }
}

void CManagerDlg::OnPcTreeKey(UINT key)
{
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    HTREEITEM selected = m_pcTree.GetSelectedItem();
    if (ctrl) {
        switch (key) {
        case 'N':
            NewPcFolder(false, selected);
            break;
        case 'R':
            if (selected)
                m_pcTree.EditLabel(selected);
            break;
        case 'D':
            DeletePcTreeFolder();
            break;
        case 'V':
            if (m_clipboard.Operation == 16 || m_clipboard.Operation == 32)
                StartUpload(m_clipboard.Operation);  // the clipboard's names, and a cut moves
            else
                PastePc(GetPcTreeItemPath(selected), false);
            break;
        }
        return;
    }
    switch (key) {
    case VK_F2:
        if (selected)
            m_pcTree.EditLabel(selected);
        break;
    case VK_DELETE:
        DeletePcTreeFolder();
        break;
    case VK_F5:
        FillPcTree(GetPcTreeItemPath(selected));
        break;
    }
}

void CManagerDlg::DeletePcTreeFolder()
{
    HTREEITEM item = m_pcTree.GetSelectedItem();
    const std::string path = GetPcTreeItemPath(item);
    // The tree's top item is the user's whole desktop folder: like the
    // computer and the drives, it is never deleted.
    if (!item || IsPcTreeItemFixed(item) || GetPcTreeItemKind(item) != 2 || path.size() <= 3)
        return;
    HTREEITEM parent = m_pcTree.GetParentItem(item);
    std::string folder = path.substr(0, path.size() - 1);
    bool aborted = false;
    int result = mb::FileOperation(m_hWnd, FO_DELETE, {folder}, std::string(), FOF_ALLOWUNDO, &aborted);
    if (result != 0) {
        m_pcTree.SelectItem(parent);
        m_pcTree.Expand(parent, TVE_COLLAPSE);
        ShowMessage(mb::LoadText(IDS_DELETE_FOLDER_FAILED));
        return;
    }
    if (aborted)
        return;
    m_pcTree.SelectItem(parent);
    RefreshPcTreeChildren(parent);
    m_pcTree.Expand(parent);
}

void CManagerDlg::OnRecentPathChosen(const std::string& path)
{
    HTREEITEM item = FindPcTreeItem(path);
    if (!item) {
        ShowMessage(m_message);
        m_recentPaths.SetCurSel(0);
        return;
    }
    m_pcTree.SelectItem(item);
}

bool CManagerDlg::OnRecentPathKey(UINT key)
{
    // While the list is down, Enter belongs to the box: it closes up with
    // the highlighted entry (CBN_CLOSEUP).
    if (key != VK_RETURN || m_recentPaths.Send(CB_GETDROPPEDSTATE))
        return false;
    if (m_recentTyped) {
        m_recentTyped = false;
        OnRecentPathChosen(m_recentPaths.GetText());
    }
    return true;
}

void CManagerDlg::RereadDriveNames()
{
    for (int i = 2; i < m_pcDriveCount; ++i) {
        DRIVE_INFO& d = m_pcDrives[i];
        const std::string root = pcpane::DriveRootFromText(d.Root);
        if (root.empty() || !m_driveItems[i])
            continue;
        SHFILEINFOA info{};
        if (!::SHGetFileInfoA(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
            continue;
        std::string driveText, name;
        pcpane::SplitDriveDisplayName(info.szDisplayName, driveText, name, IsLead);
        if (driveText.find(':') == std::string::npos) {
            name = info.szDisplayName;
            driveText = d.Root;
        }
        if (name == d.DisplayName && info.iIcon == d.Icon)
            continue;
        d.DisplayName = name;
        d.Icon = d.SelectedIcon = info.iIcon;
        m_pcTree.SetItemText(m_driveItems[i], pcpane::DriveTreeText(d.Root, d.DisplayName));
        TVITEMA tv{};
        tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        tv.hItem = m_driveItems[i];
        tv.iImage = tv.iSelectedImage = info.iIcon;
        m_pcTree.Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    }
}

bool CManagerDlg::OnPcPaneCommand(UINT id, UINT code)
{
    if (id == 1193) {
        switch (code) {
        case CBN_DROPDOWN:
            m_recentDropped = true;
            return true;
        case CBN_EDITCHANGE:
            if (!m_recentDropped)
                m_recentTyped = true;
            return true;
        case CBN_CLOSEUP: {
            m_recentDropped = false;
            const int chosen = m_recentPaths.GetCurSel();
            if (chosen > 0)
                OnRecentPathChosen(m_recentPaths.GetLBText(chosen));
            return true;
        }
        }
        return false;
    }
    if (id == 1183 && (code == CBN_CLOSEUP || code == CBN_KILLFOCUS)) {
        if (code == CBN_CLOSEUP && m_pcPath.Send(CB_GETDROPPEDSTATE) == 0 && m_pcPath.GetCurSel() >= 0) {
            OnDriveBoxChosen();
            if (m_pcTree.IsWindowVisible())
                m_pcTree.SetFocus();
            else
                m_playerList.SetFocus();
        } else if (code == CBN_KILLFOCUS) {
            OnDriveBoxChosen();
        }
        return true;
    }
    return false;
}

bool CManagerDlg::OnPcPaneNotify(NMHDR* nm, LRESULT* result)
{
    if (nm->idFrom == 1003) {
        switch (nm->code) {
        case TVN_DELETEITEMA:
        case TVN_DELETEITEMW: {
            auto* tv = reinterpret_cast<NMTREEVIEWA*>(nm);
            if (auto* shell = reinterpret_cast<SHELL_ITEM*>(tv->itemOld.lParam)) {
                if (shell->Parent)
                    shell->Parent->Release();
                ::CoTaskMemFree(shell->Relative);
                ::CoTaskMemFree(shell->Full);
                delete shell;
            }
            // The held shell folder goes with the tree's root.
            if (tv->itemOld.hItem == m_desktopItem && m_selectedShellFolder) {
                m_selectedShellFolder->Release();
                m_selectedShellFolder = nullptr;
            }
            for (HTREEITEM* held : {&m_desktopItem, &m_pcRootItem, &m_networkItem, &m_pcItem})
                if (*held == tv->itemOld.hItem)
                    *held = nullptr;
            return true;
        }
        case TVN_ITEMEXPANDINGA:
        case TVN_ITEMEXPANDINGW:
            OnPcTreeExpanding(reinterpret_cast<NMTREEVIEWA*>(nm), result);
            return true;
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW: {
            if (m_treeClearing)
                return true;
            auto* tv = reinterpret_cast<NMTREEVIEWA*>(nm);
            if (m_selectedShellFolder) {
                m_selectedShellFolder->Release();
                m_selectedShellFolder = nullptr;
            }
            if (auto* shell = reinterpret_cast<SHELL_ITEM*>(m_pcTree.GetItemData(tv->itemNew.hItem)))
                shell->Parent->BindToObject(shell->Relative, nullptr, IID_IShellFolder,
                                            reinterpret_cast<void**>(&m_selectedShellFolder));
            KillTimer(6);
            SetTimer(6, 400);
            m_pcList.DeleteAllItems();
            return true;
        }
        case NM_CLICK:
            SetViewMode(PANE_PC_TREE);
            if (m_dropHighlight) {
                m_pcTree.SelectDropTarget(nullptr);
                m_dropHighlight = false;
            }
            return true;
        case NM_SETFOCUS:
            SetViewMode(PANE_PC_TREE);
            UpdateSpaceInfo(1);
            RereadDriveNames();
            return true;
        case NM_DBLCLK: {
            TVHITTESTINFO hit{};
            ::GetCursorPos(&hit.pt);
            ::ScreenToClient(m_pcTree.m_hWnd, &hit.pt);
            HTREEITEM item = m_pcTree.HitTest(hit);
            if (!item)
                return true;
            if (item == m_pcRootItem) {
                ShowDriveList();
                return true;
            }
            const std::string text = m_pcTree.GetItemText(item);
            if (text.find(':') == std::string::npos) {
                ShowPcFolder(item);
                return true;
            }
            const UINT type = ::GetDriveTypeA(pcpane::DriveRootFromText(text).c_str());
            if (type == DRIVE_REMOVABLE || type == DRIVE_REMOTE || type == DRIVE_CDROM) {
                if (ShowPcFolder(m_pcTree.GetSelectedItem()))
                    UpdateDriveBox(m_pcTree.GetSelectedItem());
                else
                    ShowNotice(m_message, 1500);
            }
            return true;
        }
        case TVN_BEGINLABELEDITA:
        case TVN_BEGINLABELEDITW: {
            auto* info = reinterpret_cast<NMTVDISPINFOA*>(nm);
            HTREEITEM item = info->item.hItem;
            auto* shell = reinterpret_cast<SHELL_ITEM*>(m_pcTree.GetItemData(item));
            *result = IsPcTreeItemFixed(item) || (shell && shell->Depth < m_treeLevelLimit) ? TRUE : FALSE;
            return true;
        }
        case TVN_ENDLABELEDITA: {
            auto* info = reinterpret_cast<NMTVDISPINFOA*>(nm);
            OnPcTreeEndLabelEdit(info->item.hItem, info->item.pszText != nullptr,
                                 info->item.pszText ? info->item.pszText : "", result);
            return true;
        }
        case TVN_ENDLABELEDITW: {
            auto* info = reinterpret_cast<NMTVDISPINFOW*>(nm);
            OnPcTreeEndLabelEdit(info->item.hItem, info->item.pszText != nullptr,
                                 info->item.pszText ? mb::Narrow(info->item.pszText) : std::string(), result);
            return true;
        }
        case TVN_KEYDOWN:
            OnPcTreeKey(reinterpret_cast<NMTVKEYDOWN*>(nm)->wVKey);
            return true;
        }
        return false;
    }
    if (nm->idFrom == 1001) {
        switch (nm->code) {
        case NM_CLICK:
            SetViewMode(PANE_PC_LIST);
            SetTimer(12, 500);
            return true;
        case NM_DBLCLK:
            OpenPcItem();
            return true;
        case LVN_COLUMNCLICK:
            if (m_pcListKind == 2)
                SortPcList(reinterpret_cast<NMLISTVIEW*>(nm)->iSubItem, false);
            return true;
        case LVN_BEGINLABELEDITA:
        case LVN_BEGINLABELEDITW:
            *result = m_pcListKind == 2 ? FALSE : TRUE;
            return true;
        case LVN_ENDLABELEDITA: {
            auto* info = reinterpret_cast<NMLVDISPINFOA*>(nm);
            OnPcListEndLabelEdit(info->item.iItem, info->item.pszText != nullptr,
                                 info->item.pszText ? info->item.pszText : "", result);
            return true;
        }
        case LVN_ENDLABELEDITW: {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(nm);
            OnPcListEndLabelEdit(info->item.iItem, info->item.pszText != nullptr,
                                 info->item.pszText ? mb::Narrow(info->item.pszText) : std::string(), result);
            return true;
        }
        case LVN_KEYDOWN:
            OnPcListKey(reinterpret_cast<NMLVKEYDOWN*>(nm)->wVKey);
            return true;
        }
    }
    return false;
}
