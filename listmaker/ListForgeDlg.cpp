#include "ListForgeDlg.h"

#include "PlaylistOrder.h"
#include "Prompter.h"
#include "Shell.h"
#include "Text.h"
#include "resource.h"

namespace {

struct ButtonSpec {
    UINT id;
    UINT normal;
    UINT pressed;
    UINT tip;
};

const ButtonSpec BUTTONS[7] = {
    {IDC_ADD, IDB_ADD_UP, IDB_ADD_DOWN, IDS_TIP_ADD},
    {IDC_MOVE_UP, IDB_MOVEUP_UP, IDB_MOVEUP_DOWN, IDS_TIP_UP},
    {IDC_MOVE_DOWN, IDB_MOVEDOWN_UP, IDB_MOVEDOWN_DOWN, IDS_TIP_DOWN},
    {IDC_DELETE, IDB_DELETE_UP, IDB_DELETE_DOWN, IDS_TIP_DELETE},
    {IDC_OPEN, IDB_OPEN_UP, IDB_OPEN_DOWN, IDS_TIP_OPEN},
    {IDC_SAVE, IDB_SAVE_UP, IDB_SAVE_DOWN, IDS_TIP_SAVE},
    {IDC_EXIT, IDB_EXIT_UP, IDB_EXIT_DOWN, IDS_TIP_EXIT},
};

const COLORREF KEY_COLOUR = RGB(0, 255, 0);

}  // namespace

MB_BEGIN_MESSAGE_MAP(ListForgeDlg, CDialog)
    mb::OnMessage(WM_IMAGE_BUTTON_CLICK, &ListForgeDlg::OnImageButtonClick),
    mb::OnMessage(WM_PLAYLIST_MOVE_UP, &ListForgeDlg::OnPlaylistMoveUp),
    mb::OnMessage(WM_PLAYLIST_MOVE_DOWN, &ListForgeDlg::OnPlaylistMoveDown),
    mb::OnMessage(WM_PLAYLIST_CHANGED, &ListForgeDlg::OnPlaylistChanged),
    mb::OnMessage(WM_CLOSE, &ListForgeDlg::OnClose),
    mb::OnNotify(LVN_BEGINDRAG, IDC_MUSIC_LIST, &ListForgeDlg::OnBeginDragFiles),
    mb::OnNotify(LVN_BEGINDRAG, IDC_PLAYLIST, &ListForgeDlg::OnBeginDragPlaylist),
    mb::OnMessage(WM_MOUSEMOVE, &ListForgeDlg::OnMouseMove),
    mb::OnMessage(WM_LBUTTONUP, &ListForgeDlg::OnLButtonUp),
    mb::OnMessage(WM_CAPTURECHANGED, &ListForgeDlg::OnCaptureChanged),
MB_END_MESSAGE_MAP()

ListForgeDlg::ListForgeDlg(const std::string& root, HWND parent) : CDialog(IDD_LISTFORGE, parent), m_root(root) {}

int ListForgeDlg::Ask(UINT textId, UINT type)
{
    return ShowMessage(mb::LoadText(textId), type);
}

std::string ListForgeDlg::AskDrive()
{
    return mb::BrowseForFolder(m_hWnd, "Select a disk drive:", BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN);
}

BOOL ListForgeDlg::OnInitDialog()
{
    SetIcon(mb::LoadIconResource(IDI_LISTFORGE, 32, 32), true);
    if (m_root.empty()) {
        std::string chosen = AskDrive();
        if (chosen.empty()) {
            EndDialog(IDOK);
            return TRUE;
        }
        m_root = chosen.substr(0, 3);
    }
    m_modified = 0;
    SetItemText(IDC_LABEL_FOLDERS, mb::LoadText(IDS_LABEL_FOLDERS));
    SetItemText(IDC_LABEL_MUSIC, mb::LoadText(IDS_LABEL_MUSIC));
    SetItemText(IDC_LABEL_PLAYLIST, mb::LoadText(IDS_LABEL_PLAYLIST));

    m_tree.SubclassDlgItem(IDC_FOLDER_TREE, m_hWnd);
    m_files.SubclassDlgItem(IDC_MUSIC_LIST, m_hWnd);
    m_playlist.SubclassDlgItem(IDC_PLAYLIST, m_hWnd);
    // The system's image list is shared: a list that goes must not take it.
    m_files.ModifyStyle(0, LVS_SHAREIMAGELISTS);
    m_playlist.ModifyStyle(0, LVS_SHAREIMAGELISTS);
    HIMAGELIST system = mb::SystemImageList(true);
    m_tree.SetImageList(system, TVSIL_NORMAL);
    m_files.SetImageList(system, LVSIL_SMALL);
    m_playlist.SetImageList(system, LVSIL_SMALL);

    m_tree.FillFromDrive(m_root, &m_files);

    RECT r = m_playlist.GetClientRect();
    m_playlist.InsertColumn(0, mb::LoadText(IDS_COLUMN_NAME), (r.right - r.left) - 5);
    m_playlist.InsertColumn(1, mb::LoadText(IDS_COLUMN_PATH), 100);

    m_tip.Create(m_hWnd);
    for (int i = 0; i < 7; ++i) {
        m_buttons[i].SubclassStatic(BUTTONS[i].id, m_hWnd);
        m_buttons[i].LoadBitmaps(BUTTONS[i].normal, BUTTONS[i].pressed);
        m_buttons[i].SetKeyColor(KEY_COLOUR);
        m_tip.AddTool(m_buttons[i], mb::LoadText(BUTTONS[i].tip));
    }
    m_tip.Activate(true);

    m_dragOne.Create(32, 32, ILC_COLOR24 | ILC_MASK, 1, 1);
    m_dragOne.AddIcon(mb::LoadIconResource(IDI_DRAG_ONE, 32, 32));
    m_dragMany.Create(32, 32, ILC_COLOR24 | ILC_MASK, 1, 1);
    m_dragMany.AddIcon(mb::LoadIconResource(IDI_DRAG_MANY, 32, 32));
    m_drag = nullptr;
    return TRUE;
}

BOOL ListForgeDlg::PreTranslateMessage(MSG* msg)
{
    if (m_tip.m_hWnd)
        m_tip.RelayEvent(msg);
    if (msg->message == WM_KEYDOWN) {
        if (msg->wParam == VK_ESCAPE)
            return TRUE;  // the dialog never closes by Escape
        if (msg->wParam == VK_RIGHT && (::GetKeyState(VK_CONTROL) & 0x8000)) {
            AddToPlaylist();
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

LRESULT ListForgeDlg::OnImageButtonClick(WPARAM button, LPARAM)
{
    switch (::GetDlgCtrlID(reinterpret_cast<HWND>(button))) {
    case IDC_ADD: AddToPlaylist(); break;
    case IDC_MOVE_UP: MoveUp(); break;
    case IDC_MOVE_DOWN: MoveDown(); break;
    case IDC_DELETE: DeleteFromPlaylist(); break;
    case IDC_OPEN: OpenM3u(); break;
    case IDC_SAVE: SaveM3u(); break;
    case IDC_EXIT: Exit(); break;
    default: break;
    }
    return 0;
}

LRESULT ListForgeDlg::OnPlaylistMoveUp(WPARAM, LPARAM)
{
    MoveUp();
    return 0;
}

LRESULT ListForgeDlg::OnPlaylistMoveDown(WPARAM, LPARAM)
{
    MoveDown();
    return 0;
}

LRESULT ListForgeDlg::OnPlaylistChanged(WPARAM, LPARAM)
{
    m_modified = 1;
    return 0;
}

LRESULT ListForgeDlg::OnClose(WPARAM, LPARAM)
{
    Exit();
    return 0;
}

void ListForgeDlg::AddToPlaylist()
{
    // The folder the rows came from: the tree may already show another one
    // whose files have not been listed yet.
    const std::string folder = m_files.Folder();
    for (int row : m_files.GetSelectedItems()) {
        std::string name = m_files.GetItemText(row, 0);
        std::string path = folder + name;
        DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || attributes == FILE_ATTRIBUTE_DIRECTORY) {
            if (Ask(IDS_FILES_MISSING, MB_YESNO | MB_ICONWARNING) != IDYES)
                return;
            continue;
        }
        int added = m_playlist.Insert(-1, name, path, m_files.GetItemImage(row));
        if (added >= 0)
            m_playlist.Select(added);
        m_modified = 1;
    }
}

void ListForgeDlg::MoveUp()
{
    if (listforge::MoveSelectionUp(m_playlist))
        m_modified = 1;
}

void ListForgeDlg::MoveDown()
{
    if (listforge::MoveSelectionDown(m_playlist))
        m_modified = 1;
}

void ListForgeDlg::DeleteFromPlaylist()
{
    if (m_playlist.DeleteSelected())
        m_modified = 1;
}

void ListForgeDlg::Exit()
{
    if (m_modified && Ask(IDS_SAVE_QUESTION, MB_YESNO | MB_ICONQUESTION) == IDYES)
        SaveM3u();
    if (Ask(IDS_EXIT_QUESTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    EndDrag();
    m_dragOne.Destroy();
    m_dragMany.Destroy();
    EndDialog(IDOK);
}

void ListForgeDlg::OnBeginDragFiles(NMHDR* nm, LRESULT* result)
{
    BeginDrag(IDC_MUSIC_LIST, reinterpret_cast<NMLISTVIEW*>(nm));
    *result = 0;
}

void ListForgeDlg::OnBeginDragPlaylist(NMHDR* nm, LRESULT* result)
{
    BeginDrag(IDC_PLAYLIST, reinterpret_cast<NMLISTVIEW*>(nm));
    *result = 0;
}

void ListForgeDlg::BeginDrag(UINT source, const NMLISTVIEW* nm)
{
    const CListCtrl& list = source == IDC_MUSIC_LIST ? static_cast<const CListCtrl&>(m_files) : m_playlist;
    m_drag = list.GetSelectedCount() == 1 ? &m_dragOne : &m_dragMany;
    m_dragSource = source;
    POINT p = nm->ptAction;
    ::ClientToScreen(list, &p);
    m_drag->BeginDrag(0, POINT{8, 8});
    CImageList::DragEnter(nullptr, p);
    ::SetCapture(m_hWnd);
}

UINT ListForgeDlg::ListUnder(POINT screen) const
{
    for (HWND w = ::WindowFromPoint(screen); w; w = ::GetParent(w)) {
        if (w == m_files.m_hWnd)
            return IDC_MUSIC_LIST;
        if (w == m_playlist.m_hWnd)
            return IDC_PLAYLIST;
        if (w == m_hWnd)
            break;
    }
    return 0;
}

LRESULT ListForgeDlg::OnMouseMove(WPARAM, LPARAM lp)
{
    if (!m_drag)
        return Default();
    POINT p{short(LOWORD(lp)), short(HIWORD(lp))};
    ::ClientToScreen(m_hWnd, &p);
    CImageList::DragMove(p);
    UINT target = ListUnder(p);
    if (target) {
        bool allowed = target == IDC_PLAYLIST || m_dragSource == IDC_MUSIC_LIST;
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(allowed ? IDC_ARROW : IDC_NO)));
    }
    return 0;
}

void ListForgeDlg::EndDrag()
{
    if (!m_drag)
        return;
    m_drag = nullptr;
    CImageList::DragLeave(nullptr);
    CImageList::EndDrag();
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

LRESULT ListForgeDlg::OnLButtonUp(WPARAM, LPARAM lp)
{
    if (!m_drag)
        return Default();
    POINT p{short(LOWORD(lp)), short(HIWORD(lp))};
    ::ClientToScreen(m_hWnd, &p);
    UINT source = m_dragSource;
    EndDrag();
    UINT target = ListUnder(p);
    if (source == IDC_MUSIC_LIST && target == IDC_PLAYLIST) {
        AddToPlaylist();
    } else if (source == IDC_PLAYLIST && target == IDC_PLAYLIST) {
        if (m_playlist.ReorderByDrop(p))
            m_modified = 1;
    }
    return 0;
}

LRESULT ListForgeDlg::OnCaptureChanged(WPARAM, LPARAM)
{
    // Capture taken away (another window, a message box): the drag is over.
    if (m_drag) {
        m_drag = nullptr;
        CImageList::DragLeave(nullptr);
        CImageList::EndDrag();
    }
    return Default();
}
