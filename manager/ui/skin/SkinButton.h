// CSkinButton: the bitmap button of the skinned main dialog. A static
// control of the template, subclassed to draw one of three bitmaps (normal,
// selected, disabled) loaded from files, that reports a click to its parent
// with WM_SKIN_BUTTON_CLICK (wParam: the button object).
#pragma once

#include <windows.h>

#include <string>

#include "Controls.h"
#include "Gdi.h"

// Posted to the parent by every skin button.
constexpr UINT WM_SKIN_BUTTON_CLICK = WM_USER + 560;

class CSkinButton : public CStatic {
public:
    enum State { STATE_NORMAL = 0, STATE_SELECTED = 1, STATE_DISABLED = 2 };
    enum Mode { MODE_PUSH = 0, MODE_PRESS = 1 };

    // Binds the template's static and makes it owner-drawn, notifying and a
    // tab stop in place of its bitmap style.
    bool Subclass(UINT id, HWND parent);

    // Loads the bitmap files (an empty disabled name: the normal bitmap is
    // shown when disabled). Bitmaps loaded before are deleted. A file that is
    // missing leaves that look empty; false when the normal one is missing.
    bool LoadBitmaps(const std::string& normal, const std::string& selected, const std::string& disabled,
                     int mode);
    // 0 shows the normal bitmap, 1 the selected one, 2 disables the window.
    void SetState(int state);
    int GetState() const { return m_state; }
    int GetMode() const { return m_mode; }
    // (0, 0, width, height) of the bitmap shown now.
    RECT GetBitmapRect() const;
    // The bitmap of a state (for tests and the layout).
    HBITMAP GetStateBitmap(int state) const;
    HBITMAP GetShownBitmap() const { return m_shown; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Show(HBITMAP bitmap);
    void Paint();
    void PostClick();

    CBitmap m_normal, m_selected, m_disabled;
    HBITMAP m_shown = nullptr;
    SIZE m_shownSize{};
    int m_mode = MODE_PUSH;
    int m_state = STATE_NORMAL;
    bool m_tracking = false;
};

// A picture of the skin (banner, logo, frame piece): a static that paints
// its bitmap stretched to its own rectangle and lets mouse presses through
// to the dialog. The bitmap belongs to the caller.
class CSkinPicture : public CStatic {
public:
    bool Subclass(UINT id, HWND parent) { return SubclassDlgItem(id, parent); }
    void SetPicture(HBITMAP bitmap, bool redraw = true);
    HBITMAP GetPicture() const { return m_bitmap; }
    SIZE GetPictureSize() const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    HBITMAP m_bitmap = nullptr;
};

namespace mbskin {
// Width and height of a bitmap (0, 0 for none).
SIZE BitmapSize(HBITMAP bitmap);
}
