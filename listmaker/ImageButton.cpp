#include "ImageButton.h"

#include <vector>

#include "resource.h"

MB_BEGIN_MESSAGE_MAP(CImageButton, CWnd)
    mb::OnMessage(WM_PAINT, &CImageButton::OnPaint),
    mb::OnMessage(WM_ERASEBKGND, &CImageButton::OnEraseBackground),
    mb::OnMessage(WM_LBUTTONDOWN, &CImageButton::OnLButtonDown),
    mb::OnMessage(WM_LBUTTONDBLCLK, &CImageButton::OnLButtonDown),
    mb::OnMessage(WM_MOUSEMOVE, &CImageButton::OnMouseMove),
    mb::OnMessage(WM_LBUTTONUP, &CImageButton::OnLButtonUp),
    mb::OnMessage(WM_SYSCOLORCHANGE, &CImageButton::OnSysColorChange),
    mb::OnMessage(WM_SETFOCUS, &CImageButton::OnSetFocus),
MB_END_MESSAGE_MAP()

bool CImageButton::SubclassStatic(UINT id, HWND parent)
{
    HWND h = ::GetDlgItem(parent, int(id));
    if (!h)
        return false;
    LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE);
    style = (style & ~LONG_PTR(SS_TYPEMASK)) | SS_OWNERDRAW | SS_NOTIFY | WS_TABSTOP;
    ::SetWindowLongPtrW(h, GWL_STYLE, style);
    return SubclassWindow(h);
}

bool CImageButton::LoadBitmaps(UINT normal, UINT pressed, UINT disabled, int mode)
{
    m_normal.Reset(mb::LoadBitmapResource(normal));
    m_pressed.Reset(mb::LoadBitmapResource(pressed));
    m_disabled.Reset(disabled ? mb::LoadBitmapResource(disabled) : nullptr);
    m_mode = mode;
    m_prepared.Reset();
    m_preparedState = -1;
    BITMAP bm{};
    if (!m_normal || !::GetObjectW(m_normal, sizeof bm, &bm))
        return false;
    // The window takes the size of its pictures.
    SetWindowPos(nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
    return true;
}

void CImageButton::SetKeyColor(COLORREF key)
{
    m_key = key;
    m_hasKey = true;
    m_prepared.Reset();
    m_preparedState = -1;
    Invalidate();
}

HBITMAP CImageButton::Picture(int state) const
{
    if (state == STATE_PRESSED && m_pressed)
        return m_pressed;
    if (state == STATE_DISABLED && m_disabled)
        return m_disabled;
    return m_normal;
}

void CImageButton::Show(int state)
{
    bool changed = Picture(state) != Picture(m_state);
    m_state = state;
    if (changed) {
        Invalidate(false);
        UpdateWindow();
    }
}

void CImageButton::Enable(bool enable)
{
    EnableWindow(enable);
    Show(enable ? STATE_NORMAL : STATE_DISABLED);
}

void CImageButton::PostClick()
{
    ::PostMessageW(GetParent(), WM_IMAGE_BUTTON_CLICK, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

HBITMAP CImageButton::Prepared()
{
    if (m_prepared && m_preparedState == m_state)
        return m_prepared;
    HBITMAP source = Picture(m_state);
    BITMAP bm{};
    if (!source || !::GetObjectW(source, sizeof bm, &bm))
        return nullptr;
    // Through a 32-bit copy, whatever the bitmap's own depth.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(size_t(bm.bmWidth) * size_t(bm.bmHeight));
    HDC screen = ::GetDC(nullptr);
    int lines = ::GetDIBits(screen, source, 0, UINT(bm.bmHeight), pixels.data(), &bi, DIB_RGB_COLORS);
    if (lines > 0 && m_hasKey && m_key != CLR_NONE) {
        // DIB pixels are 0x00RRGGBB; COLORREFs 0x00BBGGRR.
        auto swap = [](COLORREF c) { return DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c); };
        DWORD key = swap(m_key), face = swap(::GetSysColor(COLOR_BTNFACE));
        for (DWORD& p : pixels) {
            if ((p & 0xFFFFFF) == key)
                p = face;
        }
    }
    HBITMAP made = ::CreateCompatibleBitmap(screen, bm.bmWidth, bm.bmHeight);
    if (made && lines > 0)
        ::SetDIBits(screen, made, 0, UINT(bm.bmHeight), pixels.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    m_prepared.Reset(made);
    m_preparedState = m_state;
    return made;
}

LRESULT CImageButton::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client = GetClientRect();
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    HBITMAP picture = Prepared();
    BITMAP bm{};
    if (picture && ::GetObjectW(picture, sizeof bm, &bm)) {
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, picture);
        ::BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CImageButton::OnLButtonDown(WPARAM, LPARAM)
{
    if (m_state == STATE_DISABLED)
        return 0;
    Show(STATE_PRESSED);
    if (m_mode == MODE_CLICK_ON_PRESS) {
        PostClick();
    } else {
        ::SetCapture(m_hWnd);
    }
    return 0;
}

LRESULT CImageButton::OnMouseMove(WPARAM, LPARAM lp)
{
    if (m_mode != MODE_CLICK_ON_RELEASE || m_state != STATE_PRESSED || ::GetCapture() != m_hWnd)
        return 0;
    POINT p{short(LOWORD(lp)), short(HIWORD(lp))};
    RECT r = GetClientRect();
    if (!::PtInRect(&r, p)) {
        ::ReleaseCapture();
        Show(STATE_NORMAL);
    }
    return 0;
}

LRESULT CImageButton::OnLButtonUp(WPARAM, LPARAM)
{
    if (m_mode == MODE_CLICK_ON_PRESS) {
        if (m_state == STATE_PRESSED)
            Show(STATE_NORMAL);
        return 0;
    }
    if (::GetCapture() != m_hWnd)
        return 0;
    ::ReleaseCapture();
    Show(STATE_NORMAL);
    PostClick();
    return 0;
}

LRESULT CImageButton::OnSysColorChange(WPARAM, LPARAM)
{
    m_prepared.Reset();
    m_preparedState = -1;
    Invalidate();
    return Default();
}

LRESULT CImageButton::OnSetFocus(WPARAM, LPARAM)
{
    Invalidate();
    return Default();
}
