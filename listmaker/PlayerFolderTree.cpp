#include "PlayerFolderTree.h"

#include <vector>

#include "MusicFileList.h"
#include "Shell.h"
#include "resource.h"

namespace {
const UINT_PTR REFILL_TIMER = 1;
const UINT REFILL_DELAY_MS = 400;
}  // namespace

MB_BEGIN_MESSAGE_MAP(PlayerFolderTree, CTreeCtrl)
    mb::OnNotifyReflect(TVN_ITEMEXPANDINGA, &PlayerFolderTree::OnItemExpanding),
    mb::OnNotifyReflect(TVN_ITEMEXPANDINGW, &PlayerFolderTree::OnItemExpanding),
    mb::OnNotifyReflect(TVN_SELCHANGEDA, &PlayerFolderTree::OnSelChanged),
    mb::OnNotifyReflect(TVN_SELCHANGEDW, &PlayerFolderTree::OnSelChanged),
    mb::OnTimer(&PlayerFolderTree::OnTimer),
MB_END_MESSAGE_MAP()

int PlayerFolderTree::FillFromDrive(const std::string& root, MusicFileList* files)
{
    m_files = files;
    char letter = root.empty() ? '\0' : root[0];
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
        return 0;
    m_root = std::string(1, letter) + ":\\";
    std::vector<char> label(256, '\0');
    if (!::GetVolumeInformationA(m_root.c_str(), label.data(), DWORD(label.size()), nullptr, nullptr, nullptr,
                                 nullptr, 0))
        label[0] = '\0';
    std::string text = label.data();
    if (text.empty())
        text = "vilo lark";
    int icon = mb::SystemIconIndex(m_root, true);
    m_rootItem = InsertItem(text, TVI_ROOT, TVI_LAST, icon, icon);
    InsertItem("?", m_rootItem);
    ReadChildren(m_rootItem);
    Expand(m_rootItem, TVE_EXPAND);
    SelectItem(m_rootItem);
    // Some versions do not notify a selection made before the tree shows.
    if (m_firstSelection)
        SendFill(m_rootItem);
    m_firstSelection = false;
    return 1;
}

std::string PlayerFolderTree::GetItemPath(HTREEITEM item) const
{
    if (!item)
        item = GetSelectedItem();
    std::string path;
    for (HTREEITEM i = item; i && i != m_rootItem; i = GetParentItem(i))
        path = GetItemText(i) + "\\" + path;
    return m_root + path;
}

void PlayerFolderTree::ReadChildren(HTREEITEM item)
{
    for (HTREEITEM child = GetChildItem(item); child;) {
        HTREEITEM next = GetNextSiblingItem(child);
        DeleteItem(child);
        child = next;
    }
    std::string folder = GetItemPath(item);
    for (const WIN32_FIND_DATAA& fd : listforge::ListFolder(folder)) {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string name = fd.cFileName;
        if (!listforge::IsLatinText(name) || _stricmp(name.c_str(), ".Trashes") == 0)
            continue;
        std::string path = folder + name;
        int icon = mb::SystemIconIndex(path, true);
        int open = mb::SystemIconIndex(path, true, true);
        HTREEITEM child = InsertItem(name, item, TVI_SORT, icon, open);
        InsertItem("?", child);
    }
}

void PlayerFolderTree::OnItemExpanding(NMHDR* nm, LRESULT* result)
{
    auto* tv = reinterpret_cast<NMTREEVIEWW*>(nm);
    ReadChildren(tv->itemNew.hItem);
    *result = 0;
}

void PlayerFolderTree::SendFill(HTREEITEM item)
{
    if (!m_files || !m_files->m_hWnd)
        return;
    std::string path = GetItemPath(item);
    m_files->Send(WM_FILL_FILE_LIST, reinterpret_cast<WPARAM>(path.c_str()));
}

void PlayerFolderTree::OnSelChanged(NMHDR* nm, LRESULT* result)
{
    auto* tv = reinterpret_cast<NMTREEVIEWW*>(nm);
    *result = 0;
    if (m_firstSelection) {
        SendFill(tv->itemNew.hItem);
        m_firstSelection = false;
        return;
    }
    // Moving quickly through the tree fills the list once, when it rests.
    SetTimer(REFILL_TIMER, REFILL_DELAY_MS);
}

void PlayerFolderTree::OnTimer(UINT_PTR id)
{
    if (id != REFILL_TIMER) {
        Default();  // the control's own timers
        return;
    }
    KillTimer(REFILL_TIMER);
    SendFill(GetSelectedItem());
}
