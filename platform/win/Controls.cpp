#include "Controls.h"

#include "Text.h"

namespace {

// Control texts of unknown length: grow the buffer until the control no
// longer fills it.
template <class Fill>
std::string GrowingText(Fill fill)
{
    for (size_t size = 256;; size *= 2) {
        std::vector<char> buf(size);
        int n = fill(buf.data(), static_cast<int>(size));
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < size - 1)
            return std::string(buf.data(), static_cast<size_t>(n));
        if (size > (1u << 20))
            return std::string(buf.data(), size - 1);
    }
}

}  // namespace

int CListCtrl::InsertColumn(int col, const std::string& text, int width, int format)
{
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<char*>(text.c_str());
    c.iSubItem = col;
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, WPARAM(col), reinterpret_cast<LPARAM>(&c)));
}

int CListCtrl::InsertItem(int index, const std::string& text, int image, LPARAM data)
{
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    it.iItem = index;
    it.pszText = const_cast<char*>(text.c_str());
    it.iImage = image;
    it.lParam = data;
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
}

std::string CListCtrl::GetItemText(int index, int sub) const
{
    return GrowingText([&](char* buf, int size) {
        LVITEMA it{};
        it.iSubItem = sub;
        it.pszText = buf;
        it.cchTextMax = size;
        return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETITEMTEXTA, WPARAM(index), reinterpret_cast<LPARAM>(&it)));
    });
}

bool CListCtrl::SetItemText(int index, int sub, const std::string& text)
{
    LVITEMA it{};
    it.iSubItem = sub;
    it.pszText = const_cast<char*>(text.c_str());
    return ::SendMessageA(m_hWnd, LVM_SETITEMTEXTA, WPARAM(index), reinterpret_cast<LPARAM>(&it)) != 0;
}

LPARAM CListCtrl::GetItemData(int index) const
{
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = index;
    return ::SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)) ? it.lParam : 0;
}

bool CListCtrl::SetItemData(int index, LPARAM data)
{
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = index;
    it.lParam = data;
    return ::SendMessageA(m_hWnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it)) != 0;
}

int CListCtrl::GetItemImage(int index) const
{
    LVITEMA it{};
    it.mask = LVIF_IMAGE;
    it.iItem = index;
    return ::SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)) ? it.iImage : -1;
}

std::vector<int> CListCtrl::GetSelectedItems() const
{
    std::vector<int> rows;
    for (int i = GetNextItem(-1, LVNI_SELECTED); i >= 0; i = GetNextItem(i, LVNI_SELECTED))
        rows.push_back(i);
    return rows;
}

int CListCtrl::FindItem(const std::string& text, int start) const
{
    LVFINDINFOA f{};
    f.flags = LVFI_STRING;
    f.psz = text.c_str();
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_FINDITEMA, WPARAM(start), reinterpret_cast<LPARAM>(&f)));
}

HTREEITEM CTreeCtrl::InsertItem(const std::string& text, HTREEITEM parent, HTREEITEM after, int image,
                                int selectedImage, LPARAM data)
{
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | (image >= 0 ? TVIF_IMAGE : 0) | (selectedImage >= 0 ? TVIF_SELECTEDIMAGE : 0);
    ins.item.pszText = const_cast<char*>(text.c_str());
    ins.item.iImage = image;
    ins.item.iSelectedImage = selectedImage;
    ins.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(::SendMessageA(m_hWnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

std::string CTreeCtrl::GetItemText(HTREEITEM item) const
{
    return GrowingText([&](char* buf, int size) {
        TVITEMA it{};
        it.mask = TVIF_TEXT;
        it.hItem = item;
        it.pszText = buf;
        it.cchTextMax = size;
        if (!::SendMessageA(m_hWnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)))
            return -1;
        return static_cast<int>(std::char_traits<char>::length(buf));
    });
}

bool CTreeCtrl::SetItemText(HTREEITEM item, const std::string& text)
{
    TVITEMA it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = const_cast<char*>(text.c_str());
    return ::SendMessageA(m_hWnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it)) != 0;
}

LPARAM CTreeCtrl::GetItemData(HTREEITEM item) const
{
    TVITEMA it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    return ::SendMessageA(m_hWnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)) ? it.lParam : 0;
}

bool CTreeCtrl::SetItemData(HTREEITEM item, LPARAM data)
{
    TVITEMA it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    it.lParam = data;
    return ::SendMessageA(m_hWnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it)) != 0;
}

bool CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const
{
    TVITEMA it{};
    it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    it.hItem = item;
    if (!::SendMessageA(m_hWnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)))
        return false;
    image = it.iImage;
    selectedImage = it.iSelectedImage;
    return true;
}

std::string CComboBox::GetLBText(int index) const
{
    int n = static_cast<int>(::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, WPARAM(index), 0));
    if (n < 0)
        return {};
    std::vector<char> buf(static_cast<size_t>(n) * 2 + 2);
    int got = static_cast<int>(::SendMessageA(m_hWnd, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(buf.data())));
    return got > 0 ? std::string(buf.data(), static_cast<size_t>(got)) : std::string();
}

int CComboBoxEx::InsertItem(int index, const std::string& text, int image, int selectedImage, int indent, LPARAM data)
{
    COMBOBOXEXITEMA it{};
    it.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT | CBEIF_LPARAM;
    it.iItem = index;
    it.pszText = const_cast<char*>(text.c_str());
    it.iImage = image;
    it.iSelectedImage = selectedImage;
    it.iIndent = indent;
    it.lParam = data;
    return static_cast<int>(::SendMessageA(m_hWnd, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
}

std::string CComboBoxEx::GetItemText(int index) const
{
    return GrowingText([&](char* buf, int size) {
        COMBOBOXEXITEMA it{};
        it.mask = CBEIF_TEXT;
        it.iItem = index;
        it.pszText = buf;
        it.cchTextMax = size;
        if (!::SendMessageA(m_hWnd, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)))
            return -1;
        return static_cast<int>(std::char_traits<char>::length(buf));
    });
}

bool CAnimateCtrl::Open(UINT resourceId)
{
    return ::SendMessageW(m_hWnd, ACM_OPENW, reinterpret_cast<WPARAM>(mb::ResourceModule()),
                          reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(resourceId))) != 0;
}

std::string CStatusBar::GetPaneText(int part) const
{
    int n = LOWORD(::SendMessageA(m_hWnd, SB_GETTEXTLENGTHA, WPARAM(part), 0));
    std::vector<char> buf(static_cast<size_t>(n) + 2);
    ::SendMessageA(m_hWnd, SB_GETTEXTA, WPARAM(part), reinterpret_cast<LPARAM>(buf.data()));
    return std::string(buf.data());
}

bool CToolTipCtrl::Create(HWND parent, DWORD style)
{
    if (!CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style,
                  RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT}, parent, 0))
        return false;
    return true;
}

bool CToolTipCtrl::AddTool(HWND tool, const std::string& text)
{
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(tool);
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<char*>(text.c_str());
    return ::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}

void CToolTipCtrl::UpdateTipText(HWND tool, const std::string& text)
{
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = ::GetParent(tool);
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<char*>(text.c_str());
    ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}
