#include "SkinButton.h"

#include <windowsx.h>

namespace mbskin {

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP bm{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof bm, &bm))
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight};
}

namespace {

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& target)
{
    SIZE size = BitmapSize(bitmap);
    if (!size.cx || !size.cy)
        return;
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    int w = target.right - target.left, h = target.bottom - target.top;
    if (w == size.cx && h == size.cy) {
        ::BitBlt(dc, target.left, target.top, w, h, mem, 0, 0, SRCCOPY);
    } else {
        ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, target.left, target.top, w, h, mem, 0, 0, size.cx, size.cy, SRCCOPY);
    }
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
}

}  // namespace
}  // namespace mbskin

bool CSkinButton::Subclass(UINT id, HWND parent)
{
    if (!SubclassDlgItem(id, parent))
        return false;
    ModifyStyle(SS_TYPEMASK, SS_OWNERDRAW | SS_NOTIFY | WS_TABSTOP);
    return true;
}

bool CSkinButton::LoadBitmaps(const std::string& normal, const std::string& selected, const std::string& disabled,
                              int mode)
{
    // The bitmaps shown so far go now; Show must not keep a deleted handle.
    m_shown = nullptr;
    m_normal.Reset(mb::LoadBitmapFile(normal));
    m_selected.Reset(selected.empty() ? nullptr : mb::LoadBitmapFile(selected));
    m_disabled.Reset(disabled.empty() ? nullptr : mb::LoadBitmapFile(disabled));
    m_mode = mode;
    if (IsWindowEnabled()) {
        m_state = STATE_NORMAL;
        Show(m_normal);
    } else {
        m_state = STATE_DISABLED;
        Show(GetStateBitmap(STATE_DISABLED));
    }
    return m_normal != nullptr;
}

HBITMAP CSkinButton::GetStateBitmap(int state) const
{
    switch (state) {
    case STATE_SELECTED:
        return m_selected;
    case STATE_DISABLED:
        return m_disabled ? static_cast<HBITMAP>(m_disabled) : static_cast<HBITMAP>(m_normal);
    default:
        return m_normal;
    }
}

void CSkinButton::SetState(int state)
{
    m_state = state;
    switch (state) {
    case STATE_NORMAL:
        Show(m_normal);
        break;
    case STATE_SELECTED:
        Show(m_selected);
        break;
    case STATE_DISABLED:
        EnableWindow(false);  // WM_ENABLE shows the disabled bitmap
        break;
    }
}

RECT CSkinButton::GetBitmapRect() const
{
    return RECT{0, 0, m_shownSize.cx, m_shownSize.cy};
}

void CSkinButton::Show(HBITMAP bitmap)
{
    if (m_state == STATE_DISABLED)
        bitmap = GetStateBitmap(STATE_DISABLED);
    if (bitmap == m_shown && bitmap)
        return;
    m_shown = bitmap;
    m_shownSize = mbskin::BitmapSize(bitmap);
    if (m_hWnd)
        RedrawNow();
}

void CSkinButton::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (m_shown) {
        // The window takes the bitmap's size, keeping its place.
        RECT client = GetClientRect();
        if (client.right != m_shownSize.cx || client.bottom != m_shownSize.cy)
            SetWindowPos(nullptr, 0, 0, m_shownSize.cx, m_shownSize.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        mbskin::DrawBitmap(dc, m_shown, RECT{0, 0, m_shownSize.cx, m_shownSize.cy});
    }
    ::EndPaint(m_hWnd, &ps);
}

void CSkinButton::PostClick()
{
    ::PostMessageW(GetParent(), WM_SKIN_BUTTON_CLICK, reinterpret_cast<WPARAM>(this), 0);
}

LRESULT CSkinButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        m_state = STATE_SELECTED;
        Show(m_selected);
        if (m_mode == MODE_PUSH) {
            ::SetCapture(m_hWnd);
            m_tracking = true;
        } else {
            PostClick();
        }
        return 0;
    case WM_MOUSEMOVE:
        if (m_mode == MODE_PUSH && m_tracking) {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            RECT r = GetBitmapRect();
            if (!::PtInRect(&r, p)) {
                m_tracking = false;
                ::ReleaseCapture();
                m_state = STATE_NORMAL;
                Show(m_normal);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (m_mode == MODE_PUSH && m_tracking) {
            m_tracking = false;
            ::ReleaseCapture();
            m_state = STATE_NORMAL;
            Show(m_normal);
            PostClick();
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (m_tracking && reinterpret_cast<HWND>(lp) != m_hWnd) {
            m_tracking = false;
            m_state = STATE_NORMAL;
            Show(m_normal);
        }
        break;
    case WM_ENABLE:
        m_tracking = false;
        m_state = wp ? STATE_NORMAL : STATE_DISABLED;
        m_shown = nullptr;  // show again even when the bitmap is the same
        Show(wp ? static_cast<HBITMAP>(m_normal) : GetStateBitmap(STATE_DISABLED));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Invalidate(false);
        break;
    case WM_SYSCOLORCHANGE:
        m_shownSize = mbskin::BitmapSize(m_shown);
        Invalidate(false);
        break;
    case WM_NCHITTEST:
        return HTCLIENT;
    }
    return CStatic::WindowProc(msg, wp, lp);
}

void CSkinPicture::SetPicture(HBITMAP bitmap, bool redraw)
{
    m_bitmap = bitmap;
    if (redraw && m_hWnd)
        Invalidate(false);
}

SIZE CSkinPicture::GetPictureSize() const
{
    return mbskin::BitmapSize(m_bitmap);
}

LRESULT CSkinPicture::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        if (m_bitmap)
            mbskin::DrawBitmap(dc, m_bitmap, GetClientRect());
        ::EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        // Presses on pictures reach the dialog (the banner's link, dragging
        // the window by its frame).
        return HTTRANSPARENT;
    }
    return CStatic::WindowProc(msg, wp, lp);
}
