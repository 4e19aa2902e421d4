// Thin control classes: each method is a one-line wrapper over the control's
// messages (the common-control macros), texts in the ANSI world. A control
// object is bound to a control of a dialog template with SubclassDlgItem, or
// made with CreateChild; derived classes add their own message maps.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Wnd.h"

class CListCtrl : public CWnd {
public:
    int InsertColumn(int col, const std::string& text, int width, int format = LVCFMT_LEFT);
    bool DeleteColumn(int col) { return ListView_DeleteColumn(m_hWnd, col) != 0; }
    int GetColumnWidth(int col) const { return ListView_GetColumnWidth(m_hWnd, col); }
    bool SetColumnWidth(int col, int cx) { return ListView_SetColumnWidth(m_hWnd, col, cx) != 0; }
    // Returns the new row's index, or -1.
    int InsertItem(int index, const std::string& text, int image = -1, LPARAM data = 0);
    bool DeleteItem(int index) { return ListView_DeleteItem(m_hWnd, index) != 0; }
    bool DeleteAllItems() { return ListView_DeleteAllItems(m_hWnd) != 0; }
    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    std::string GetItemText(int index, int sub) const;
    bool SetItemText(int index, int sub, const std::string& text);
    LPARAM GetItemData(int index) const;
    bool SetItemData(int index, LPARAM data);
    int GetItemImage(int index) const;
    UINT GetItemState(int index, UINT mask) const { return ListView_GetItemState(m_hWnd, index, mask); }
    void SetItemState(int index, UINT state, UINT mask) { ListView_SetItemState(m_hWnd, index, state, mask); }
    // Index -1 applies to every row.
    void Select(int index, bool on = true) { SetItemState(index, on ? LVIS_SELECTED : 0, LVIS_SELECTED); }
    void SetFocusItem(int index) { SetItemState(index, LVIS_FOCUSED, LVIS_FOCUSED); }
    int GetNextItem(int start, UINT flags) const { return ListView_GetNextItem(m_hWnd, start, flags); }
    UINT GetSelectedCount() const { return ListView_GetSelectedCount(m_hWnd); }
    std::vector<int> GetSelectedItems() const;
    int FindItem(const std::string& text, int start = -1) const;
    bool EnsureVisible(int index, bool partialOk = false) { return ListView_EnsureVisible(m_hWnd, index, partialOk) != 0; }
    bool Scroll(int dx, int dy) { return ListView_Scroll(m_hWnd, dx, dy) != 0; }
    int HitTest(LVHITTESTINFO& info) const { return ListView_HitTest(m_hWnd, &info); }
    RECT GetItemRect(int index, int code = LVIR_BOUNDS) const
    {
        RECT r{};
        ListView_GetItemRect(m_hWnd, index, &r, code);
        return r;
    }
    HIMAGELIST SetImageList(HIMAGELIST list, int which) { return ListView_SetImageList(m_hWnd, list, which); }
    HIMAGELIST GetImageList(int which) const { return ListView_GetImageList(m_hWnd, which); }
    DWORD SetExtendedStyle(DWORD style) { return ListView_SetExtendedListViewStyle(m_hWnd, style); }
    // The A message whatever the includer defines: these wrappers are inline,
    // and one program must not get two meanings of them.
    HWND EditLabel(int index)
    {
        return reinterpret_cast<HWND>(::SendMessageA(m_hWnd, LVM_EDITLABELA, WPARAM(index), 0));
    }
    HWND GetEditControl() const { return ListView_GetEditControl(m_hWnd); }
    bool SortItems(PFNLVCOMPARE compare, LPARAM param) { return ListView_SortItems(m_hWnd, compare, param) != 0; }
    int GetTopIndex() const { return ListView_GetTopIndex(m_hWnd); }
    int GetCountPerPage() const { return ListView_GetCountPerPage(m_hWnd); }
    HIMAGELIST CreateDragImage(int index, POINT& origin) { return ListView_CreateDragImage(m_hWnd, index, &origin); }
};

class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(const std::string& text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST,
                         int image = -1, int selectedImage = -1, LPARAM data = 0);
    bool DeleteItem(HTREEITEM item) { return TreeView_DeleteItem(m_hWnd, item) != 0; }
    bool DeleteAllItems() { return TreeView_DeleteAllItems(m_hWnd) != 0; }
    UINT GetCount() const { return TreeView_GetCount(m_hWnd); }
    std::string GetItemText(HTREEITEM item) const;
    bool SetItemText(HTREEITEM item, const std::string& text);
    LPARAM GetItemData(HTREEITEM item) const;
    bool SetItemData(HTREEITEM item, LPARAM data);
    bool GetItemImage(HTREEITEM item, int& image, int& selectedImage) const;
    HTREEITEM GetRootItem() const { return TreeView_GetRoot(m_hWnd); }
    HTREEITEM GetParentItem(HTREEITEM item) const { return TreeView_GetParent(m_hWnd, item); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return TreeView_GetChild(m_hWnd, item); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return TreeView_GetNextSibling(m_hWnd, item); }
    bool ItemHasChildren(HTREEITEM item) const { return GetChildItem(item) != nullptr; }
    HTREEITEM GetSelectedItem() const { return TreeView_GetSelection(m_hWnd); }
    bool SelectItem(HTREEITEM item) { return TreeView_SelectItem(m_hWnd, item) != 0; }
    HTREEITEM GetDropHilightItem() const { return TreeView_GetDropHilight(m_hWnd); }
    bool SelectDropTarget(HTREEITEM item) { return TreeView_SelectDropTarget(m_hWnd, item) != 0; }
    bool Expand(HTREEITEM item, UINT code = TVE_EXPAND) { return TreeView_Expand(m_hWnd, item, code) != 0; }
    UINT GetItemState(HTREEITEM item, UINT mask) const { return TreeView_GetItemState(m_hWnd, item, mask); }
    bool EnsureVisible(HTREEITEM item) { return TreeView_EnsureVisible(m_hWnd, item) != 0; }
    HTREEITEM HitTest(TVHITTESTINFO& info) const { return TreeView_HitTest(m_hWnd, &info); }
    HIMAGELIST SetImageList(HIMAGELIST list, int which = TVSIL_NORMAL) { return TreeView_SetImageList(m_hWnd, list, which); }
    HWND EditLabel(HTREEITEM item)
    {
        return reinterpret_cast<HWND>(::SendMessageA(m_hWnd, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item)));
    }
    HWND GetEditControl() const { return TreeView_GetEditControl(m_hWnd); }
    bool SortChildren(HTREEITEM item) { return TreeView_SortChildren(m_hWnd, item, FALSE) != 0; }
    HIMAGELIST CreateDragImage(HTREEITEM item) { return TreeView_CreateDragImage(m_hWnd, item); }
};

class CComboBox : public CWnd {
public:
    int AddString(const std::string& s)
    {
        return int(::SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
    }
    int InsertString(int index, const std::string& s)
    {
        return int(::SendMessageA(m_hWnd, CB_INSERTSTRING, WPARAM(index), reinterpret_cast<LPARAM>(s.c_str())));
    }
    int DeleteString(int index) { return int(Send(CB_DELETESTRING, WPARAM(index))); }
    void ResetContent() { Send(CB_RESETCONTENT); }
    int GetCount() const { return int(Send(CB_GETCOUNT)); }
    int GetCurSel() const { return int(Send(CB_GETCURSEL)); }
    int SetCurSel(int index) { return int(Send(CB_SETCURSEL, WPARAM(index))); }
    std::string GetLBText(int index) const;
    int FindStringExact(const std::string& s, int start = -1) const
    {
        return int(::SendMessageA(m_hWnd, CB_FINDSTRINGEXACT, WPARAM(start), reinterpret_cast<LPARAM>(s.c_str())));
    }
    LPARAM GetItemData(int index) const { return LPARAM(Send(CB_GETITEMDATA, WPARAM(index))); }
    bool SetItemData(int index, LPARAM data) { return Send(CB_SETITEMDATA, WPARAM(index), data) != CB_ERR; }
};

// The extended combo box, whose entries carry images (drive and path boxes).
class CComboBoxEx : public CWnd {
public:
    int InsertItem(int index, const std::string& text, int image = 0, int selectedImage = 0, int indent = 0,
                   LPARAM data = 0);
    int DeleteItem(int index) { return int(Send(CBEM_DELETEITEM, WPARAM(index))); }
    void ResetContent() { Send(CB_RESETCONTENT); }
    int GetCount() const { return int(Send(CB_GETCOUNT)); }
    int GetCurSel() const { return int(Send(CB_GETCURSEL)); }
    int SetCurSel(int index) { return int(Send(CB_SETCURSEL, WPARAM(index))); }
    std::string GetItemText(int index) const;
    LPARAM GetItemData(int index) const { return LPARAM(Send(CB_GETITEMDATA, WPARAM(index))); }
    HIMAGELIST SetImageList(HIMAGELIST list)
    {
        return reinterpret_cast<HIMAGELIST>(Send(CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list)));
    }
    HWND GetComboControl() const { return reinterpret_cast<HWND>(Send(CBEM_GETCOMBOCONTROL)); }
    HWND GetEditControl() const { return reinterpret_cast<HWND>(Send(CBEM_GETEDITCONTROL)); }
};

class CEdit : public CWnd {
public:
    void SetSel(int start, int end) { Send(EM_SETSEL, WPARAM(start), LPARAM(end)); }
    void LimitText(int chars) { Send(EM_LIMITTEXT, WPARAM(chars)); }
    void SetReadOnly(bool on) { Send(EM_SETREADONLY, on); }
    void ReplaceSel(const std::string& s) { ::SendMessageA(m_hWnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(s.c_str())); }
};

class CStatic : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP b) { return HBITMAP(Send(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b))); }
    HBITMAP GetBitmap() const { return HBITMAP(Send(STM_GETIMAGE, IMAGE_BITMAP)); }
    HICON SetIcon(HICON i) { return HICON(Send(STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(i))); }
};

class CButton : public CWnd {
public:
    UINT GetCheck() const { return UINT(Send(BM_GETCHECK)); }
    void SetCheck(UINT check) { Send(BM_SETCHECK, check); }
    HBITMAP SetBitmap(HBITMAP b) { return HBITMAP(Send(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b))); }
    void Click() { Send(BM_CLICK); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(int lower, int upper) { Send(PBM_SETRANGE32, WPARAM(lower), LPARAM(upper)); }
    int SetPos(int pos) { return int(Send(PBM_SETPOS, WPARAM(pos))); }
    int GetPos() const { return int(Send(PBM_GETPOS)); }
    int SetStep(int step) { return int(Send(PBM_SETSTEP, WPARAM(step))); }
    int StepIt() { return int(Send(PBM_STEPIT)); }
};

class CAnimateCtrl : public CWnd {
public:
    // An AVI resource of the resource module.
    bool Open(UINT resourceId);
    bool Play(UINT from = 0, UINT to = UINT(-1), UINT repeat = UINT(-1)) { return Animate_Play(m_hWnd, from, to, repeat) != 0; }
    bool Stop() { return Animate_Stop(m_hWnd) != 0; }
    bool Close() { return Animate_Close(m_hWnd) != 0; }
};

class CStatusBar : public CWnd {
public:
    bool Create(HWND parent, UINT id, DWORD style = WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP)
    {
        return CreateChild(STATUSCLASSNAMEW, parent, id, RECT{0, 0, 0, 0}, style);
    }
    bool SetParts(const std::vector<int>& rightEdges)
    {
        return Send(SB_SETPARTS, rightEdges.size(), reinterpret_cast<LPARAM>(rightEdges.data())) != 0;
    }
    bool SetPaneText(int part, const std::string& text)
    {
        return ::SendMessageA(m_hWnd, SB_SETTEXTA, WPARAM(part), reinterpret_cast<LPARAM>(text.c_str())) != 0;
    }
    std::string GetPaneText(int part) const;
};

class CToolTipCtrl : public CWnd {
public:
    bool Create(HWND parent, DWORD style = TTS_ALWAYSTIP);
    // A tool that is a whole child window, tipping its text.
    bool AddTool(HWND tool, const std::string& text);
    void UpdateTipText(HWND tool, const std::string& text);
    void RelayEvent(MSG* msg) { Send(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
    void Activate(bool on) { Send(TTM_ACTIVATE, on); }
    int GetToolCount() const { return int(Send(TTM_GETTOOLCOUNT)); }
};
