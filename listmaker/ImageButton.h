// CImageButton: a static control of a dialog template turned into a button
// that shows bitmaps (normal, pressed, disabled) and posts
// WM_IMAGE_BUTTON_CLICK (wParam: the button's window) to its parent.
#pragma once

#include <windows.h>

#include "Gdi.h"
#include "Wnd.h"

class CImageButton : public CWnd {
public:
    enum { STATE_NORMAL = 0, STATE_PRESSED = 1, STATE_DISABLED = 2 };
    enum { MODE_CLICK_ON_RELEASE = 0, MODE_CLICK_ON_PRESS = 1 };

    // Binds the template's static control; it becomes owner-drawn, notifying
    // and a tab stop.
    bool SubclassStatic(UINT id, HWND parent);
    // Bitmaps of the resource module; disabled 0 shows the normal one.
    bool LoadBitmaps(UINT normal, UINT pressed, UINT disabled = 0, int mode = MODE_CLICK_ON_RELEASE);
    // Pixels of this colour are painted in the button face colour.
    void SetKeyColor(COLORREF key);
    void Enable(bool enable);
    int State() const { return m_state; }

    MB_DECLARE_MESSAGE_MAP()

    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnEraseBackground(WPARAM, LPARAM) { return 1; }
    LRESULT OnLButtonDown(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnLButtonUp(WPARAM, LPARAM);
    LRESULT OnSysColorChange(WPARAM, LPARAM);
    LRESULT OnSetFocus(WPARAM, LPARAM);

private:
    HBITMAP Picture(int state) const;
    void Show(int state);
    void PostClick();
    // The shown bitmap with the key colour replaced, made on first paint.
    HBITMAP Prepared();

    CBitmap m_normal, m_pressed, m_disabled, m_prepared;
    int m_preparedState = -1;
    COLORREF m_key = CLR_NONE;
    bool m_hasKey = false;
    int m_state = STATE_NORMAL;
    int m_mode = MODE_CLICK_ON_RELEASE;
};
