// CWnd: one window bound to its HWND. The binding is a window property, so any
// thread can find the object of any window (a worker that fills a list or runs
// a modal question reaches the same objects as the user-interface thread).
#pragma once

#include <windows.h>

#include <string>

#include "MessageMap.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // The object bound to a window, or nullptr.
    static CWnd* FromHandle(HWND hwnd);

    // Binds this object to an existing window and routes its messages through
    // WindowProc (controls from dialog templates, windows made elsewhere).
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(UINT id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, static_cast<int>(id))); }
    HWND UnsubclassWindow();

    // Creates a window; a null class name makes a plain window of our own
    // class ("MbWindow"), whose messages reach the object from WM_NCCREATE on.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect,
                  HWND parent, UINT id);
    // A child control at a rectangle of its parent's client area: how a dialog
    // hosts a window that its template cannot describe.
    bool CreateChild(const wchar_t* className, HWND parent, UINT id, const RECT& rect,
                     DWORD style = WS_CHILD | WS_VISIBLE, DWORD exStyle = 0)
    {
        return CreateEx(exStyle, className, L"", style | WS_CHILD, rect, parent, id);
    }
    // Takes the place of a placeholder control of a dialog template (its
    // rectangle, id, visibility and tab order), which is destroyed; this is
    // how a dialog hosts a window of a class its template cannot name.
    bool CreateInPlaceOf(HWND parent, UINT id, const wchar_t* className = nullptr,
                         DWORD style = WS_CHILD | WS_TABSTOP, DWORD exStyle = 0);
    bool DestroyWindow() { return m_hWnd && ::DestroyWindow(m_hWnd); }

    // Handlers call this to let the window's previous procedure handle the
    // message being handled.
    LRESULT Default();
    LRESULT CallDefault(UINT msg, WPARAM wp, LPARAM lp);

    // The pre-translate chain: keys and mouse messages reach the focused
    // control's object, then its parents' (the dialog's), then the
    // application's, before they are translated and dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }

    // Messages, timers, state.
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(m_hWnd, msg, wp, lp); }
    bool Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(m_hWnd, msg, wp, lp) != 0; }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    bool KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id) != 0; }
    bool EnableWindow(bool enable = true) { return ::EnableWindow(m_hWnd, enable) != 0; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != 0; }
    bool ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd) != 0; }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != 0; }
    void Invalidate(bool erase = true) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void RedrawNow() { ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HWND GetDlgItem(UINT id) const { return ::GetDlgItem(m_hWnd, static_cast<int>(id)); }
    UINT GetDlgCtrlID() const { return static_cast<UINT>(::GetDlgCtrlID(m_hWnd)); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    RECT GetClientRect() const { RECT r{}; ::GetClientRect(m_hWnd, &r); return r; }
    RECT GetWindowRect() const { RECT r{}; ::GetWindowRect(m_hWnd, &r); return r; }
    // A child's rectangle in this window's client coordinates.
    RECT GetChildRect(UINT id) const;
    bool MoveWindow(const RECT& r, bool repaint = true)
    {
        return ::MoveWindow(m_hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, repaint) != 0;
    }
    bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) != 0;
    }
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    void ModifyStyle(LONG_PTR remove, LONG_PTR add)
    {
        ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (GetStyle() & ~remove) | add);
    }
    HICON SetIcon(HICON icon, bool big)
    {
        return reinterpret_cast<HICON>(Send(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    HMENU GetSystemMenu(bool revert = false) const { return ::GetSystemMenu(m_hWnd, revert); }
    bool IsIconic() const { return ::IsIconic(m_hWnd) != 0; }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(Send(WM_GETFONT)); }
    void SetFont(HFONT font, bool redraw = true) { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }

    // Text in both worlds: ANSI (the system code page) and UTF-16.
    std::string GetText() const;
    std::wstring GetTextW() const;
    bool SetText(const std::string& text) { return ::SetWindowTextA(m_hWnd, text.c_str()) != 0; }
    bool SetTextW(const std::wstring& text) { return ::SetWindowTextW(m_hWnd, text.c_str()) != 0; }
    std::string GetItemText(UINT id) const;
    std::wstring GetItemTextW(UINT id) const;
    bool SetItemText(UINT id, const std::string& t) { return ::SetDlgItemTextA(m_hWnd, static_cast<int>(id), t.c_str()) != 0; }
    bool SetItemTextW(UINT id, const std::wstring& t) { return ::SetDlgItemTextW(m_hWnd, static_cast<int>(id), t.c_str()) != 0; }
    bool EnableItem(UINT id, bool enable) { return ::EnableWindow(GetDlgItem(id), enable) != 0; }
    UINT IsItemChecked(UINT id) const { return ::IsDlgButtonChecked(m_hWnd, static_cast<int>(id)); }
    void CheckItem(UINT id, UINT check) { ::CheckDlgButton(m_hWnd, static_cast<int>(id), check); }

    // The program's message box (see Prompter.h) with this window as owner.
    int ShowMessage(const std::string& text, UINT type = MB_OK);
    int ShowMessageW(const std::wstring& text, UINT type = MB_OK);

protected:
    // Every message of a bound window arrives here: the message map first,
    // then the window's previous procedure.
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // Looks the message up in the map (reflected notifications go to the
    // control's own object first); true when a handler took it.
    bool DispatchMessageMap(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
    // Called after WM_NCDESTROY, when the window is gone and the object no
    // longer bound; a modeless window that owns itself deletes itself here.
    virtual void PostNcDestroy() {}

public:
    static const CMessageMap* ClassMessageMap();

protected:
    virtual const CMessageMap* GetMessageMap() const { return ClassMessageMap(); }

    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Bind(HWND hwnd);

private:
    bool DispatchReflected(UINT msg, UINT code, WPARAM wp, LPARAM lp, LRESULT* result);
    static bool CallEntry(CWnd* target, const CMessageEntry& e, WPARAM wp, LPARAM lp, LRESULT* result);
    void Unbind();

    WNDPROC m_previousProc = nullptr;
    bool m_unicode = true;
    MSG m_current{};
};
