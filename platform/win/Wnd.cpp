#include "Wnd.h"

#include <vector>

#include "App.h"
#include "Prompter.h"

namespace {

const wchar_t kBindingProp[] = L"MbWindowObject";
const wchar_t kWindowClass[] = L"MbWindow";

LRESULT CALLBACK CreationProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

ATOM RegisterOwnClass()
{
    static ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = CreationProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        return ::RegisterClassExW(&wc);
    }();
    return atom;
}

// Windows of our own class bind at WM_NCCREATE; the object travels in the
// creation parameters.
LRESULT CALLBACK CreationProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (CWnd* w = static_cast<CWnd*>(cs->lpCreateParams)) {
            if (w->SubclassWindow(hwnd))
                return ::SendMessageW(hwnd, msg, wp, lp);
        }
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool Matches(const CMessageEntry& e, UINT msg, UINT code, UINT id, bool fromControl)
{
    if (e.message != msg)
        return false;
    if (msg == WM_COMMAND) {
        // Code 1 is an accelerator only when no control sent it; from a
        // control it is a notification such as CBN_SELCHANGE.
        bool command = code == 0 || (code == 1 && !fromControl);
        bool codeOk = e.code == mb::ANY_COMMAND_CODE ? command : e.code == code;
        return codeOk && id >= e.firstId && id <= e.lastId;
    }
    if (msg == WM_NOTIFY)
        return e.code == code && id >= e.firstId && id <= e.lastId;
    return true;
}

}  // namespace

CWnd::~CWnd()
{
    // An object that dies before its window leaves the window working on its
    // previous procedure.
    if (m_hWnd)
        Unbind();
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kBindingProp)) : nullptr;
}

void CWnd::Bind(HWND hwnd)
{
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kBindingProp, this);
}

bool CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandle(hwnd))
        return false;
    Bind(hwnd);
    m_unicode = ::IsWindowUnicode(hwnd) != 0;
    LONG_PTR proc = reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc);
    m_previousProc = reinterpret_cast<WNDPROC>(m_unicode ? ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, proc)
                                                         : ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, proc));
    return true;
}

void CWnd::Unbind()
{
    if (!m_hWnd)
        return;
    if (m_previousProc && ::IsWindow(m_hWnd)) {
        LONG_PTR proc = reinterpret_cast<LONG_PTR>(m_previousProc);
        if (m_unicode)
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, proc);
        else
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, proc);
    }
    ::RemovePropW(m_hWnd, kBindingProp);
    m_previousProc = nullptr;
    m_hWnd = nullptr;
}

HWND CWnd::UnsubclassWindow()
{
    HWND h = m_hWnd;
    Unbind();
    return h;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, const RECT& r,
                    HWND parent, UINT id)
{
    if (m_hWnd)
        return false;
    HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    if (!className) {
        RegisterOwnClass();
        HWND h = ::CreateWindowExW(exStyle, kWindowClass, title, style, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, parent, menu, ::GetModuleHandleW(nullptr), this);
        return h && m_hWnd == h;
    }
    HWND h = ::CreateWindowExW(exStyle, className, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               parent, menu, ::GetModuleHandleW(nullptr), nullptr);
    if (!h)
        return false;
    if (!SubclassWindow(h)) {
        ::DestroyWindow(h);
        return false;
    }
    return true;
}

bool CWnd::CreateInPlaceOf(HWND parent, UINT id, const wchar_t* className, DWORD style, DWORD exStyle)
{
    HWND placeholder = ::GetDlgItem(parent, static_cast<int>(id));
    if (!placeholder || m_hWnd)
        return false;
    RECT r{};
    ::GetWindowRect(placeholder, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    if (::GetWindowLongPtrW(placeholder, GWL_STYLE) & WS_VISIBLE)
        style |= WS_VISIBLE;
    // The placeholder's id must be free before the new window takes it.
    ::SetWindowLongPtrW(placeholder, GWLP_ID, 0);
    if (!CreateEx(exStyle, className, L"", style | WS_CHILD, r, parent, id)) {
        ::SetWindowLongPtrW(placeholder, GWLP_ID, static_cast<LONG_PTR>(id));
        return false;
    }
    ::SetWindowPos(m_hWnd, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::DestroyWindow(placeholder);
    return true;
}

RECT CWnd::GetChildRect(UINT id) const
{
    RECT r{};
    HWND child = GetDlgItem(id);
    if (child && ::GetWindowRect(child, &r))
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LRESULT CWnd::CallDefault(UINT msg, WPARAM wp, LPARAM lp)
{
    if (m_previousProc)
        return m_unicode ? ::CallWindowProcW(m_previousProc, m_hWnd, msg, wp, lp)
                         : ::CallWindowProcA(m_previousProc, m_hWnd, msg, wp, lp);
    return ::DefWindowProcW(m_hWnd, msg, wp, lp);
}

LRESULT CWnd::Default()
{
    return CallDefault(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT result = 0;
    if (DispatchMessageMap(msg, wp, lp, &result))
        return result;
    return CallDefault(msg, wp, lp);
}

bool CWnd::CallEntry(CWnd* t, const CMessageEntry& e, WPARAM wp, LPARAM lp, LRESULT* result)
{
    *result = 0;
    switch (e.kind) {
    case MB_KIND_COMMAND:
    case MB_KIND_CONTROL:
        (t->*e.handler)();
        return true;
    case MB_KIND_COMMAND_RANGE:
        (t->*reinterpret_cast<void (CWnd::*)(UINT)>(e.handler))(LOWORD(wp));
        return true;
    case MB_KIND_NOTIFY:
        (t->*reinterpret_cast<void (CWnd::*)(NMHDR*, LRESULT*)>(e.handler))(reinterpret_cast<NMHDR*>(lp), result);
        return true;
    case MB_KIND_TIMER:
        (t->*reinterpret_cast<void (CWnd::*)(UINT_PTR)>(e.handler))(static_cast<UINT_PTR>(wp));
        return true;
    case MB_KIND_MESSAGE:
        *result = (t->*reinterpret_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(e.handler))(wp, lp);
        return true;
    case MB_KIND_END:
        break;
    }
    return false;
}

bool CWnd::DispatchReflected(UINT msg, UINT code, WPARAM wp, LPARAM lp, LRESULT* result)
{
    for (const CMessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const CMessageEntry* e = map->entries; e->kind != MB_KIND_END; ++e) {
            if (e->reflected && e->message == msg && e->code == code)
                return CallEntry(this, *e, wp, lp, result);
        }
    }
    return false;
}

bool CWnd::DispatchMessageMap(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    UINT code = 0;
    UINT id = 0;
    if (msg == WM_COMMAND) {
        code = HIWORD(wp);
        id = LOWORD(wp);
        CWnd* child = lp ? FromHandle(reinterpret_cast<HWND>(lp)) : nullptr;
        if (child && child != this && child->DispatchReflected(msg, code, wp, lp, result))
            return true;
    } else if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        code = nm->code;
        id = static_cast<UINT>(nm->idFrom);
        CWnd* child = FromHandle(nm->hwndFrom);
        if (child && child != this && child->DispatchReflected(msg, code, wp, lp, result))
            return true;
    }
    for (const CMessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const CMessageEntry* e = map->entries; e->kind != MB_KIND_END; ++e) {
            if (!e->reflected && Matches(*e, msg, code, id, msg == WM_COMMAND && lp != 0))
                return CallEntry(this, *e, wp, lp, result);
        }
    }
    return false;
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CWnd* w = FromHandle(hwnd);
    if (!w)
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    MSG outer = w->m_current;
    w->m_current = MSG{hwnd, msg, wp, lp, 0, {}};
    LRESULT result = w->WindowProc(msg, wp, lp);
    if (msg != WM_NCDESTROY) {
        // A handler may have destroyed the window, and a self-owning object
        // with it: touch the object only while it is still bound.
        if (FromHandle(hwnd) == w)
            w->m_current = outer;
        return result;
    }
    w->Unbind();
    CWinApp* app = CWinApp::Current();
    if (app && app->m_pMainWnd == w) {
        // The program lives as long as its main window.
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    w->PostNcDestroy();
    return result;
}

const CMessageMap* CWnd::ClassMessageMap()
{
    static const CMessageEntry entries[] = {CMessageEntry{}};
    static const CMessageMap map{nullptr, entries};
    return &map;
}

static std::wstring WindowTextW(HWND h)
{
    int n = ::GetWindowTextLengthW(h);
    std::vector<wchar_t> buf(static_cast<size_t>(n > 0 ? n : 0) + 2);
    int got = ::GetWindowTextW(h, buf.data(), static_cast<int>(buf.size()));
    return std::wstring(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

static std::string WindowTextA(HWND h)
{
    // The length in ANSI can exceed the UTF-16 length for double-byte pages.
    int n = ::GetWindowTextLengthA(h);
    std::vector<char> buf(static_cast<size_t>(n > 0 ? n : 0) * 2 + 2);
    int got = ::GetWindowTextA(h, buf.data(), static_cast<int>(buf.size()));
    return std::string(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

std::string CWnd::GetText() const { return WindowTextA(m_hWnd); }
std::wstring CWnd::GetTextW() const { return WindowTextW(m_hWnd); }
std::string CWnd::GetItemText(UINT id) const { return WindowTextA(GetDlgItem(id)); }
std::wstring CWnd::GetItemTextW(UINT id) const { return WindowTextW(GetDlgItem(id)); }

int CWnd::ShowMessage(const std::string& text, UINT type) { return mb::ShowMessage(m_hWnd, text, type); }
int CWnd::ShowMessageW(const std::wstring& text, UINT type) { return mb::ShowMessageW(m_hWnd, text, type); }
