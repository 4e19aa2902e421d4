// Image lists, menus, bitmaps, fonts, icons, the wait cursor and worker
// threads: small owners of system handles.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Text.h"

// An image list; one attached with owned = false (the system image list) is
// never destroyed by this object.
class CImageList {
public:
    CImageList() = default;
    ~CImageList() { Destroy(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    bool Create(int cx, int cy, UINT flags = ILC_COLOR24 | ILC_MASK, int initial = 4, int grow = 4)
    {
        Destroy();
        m_list = ImageList_Create(cx, cy, flags, initial, grow);
        m_owned = true;
        return m_list != nullptr;
    }
    void Attach(HIMAGELIST list, bool owned)
    {
        Destroy();
        m_list = list;
        m_owned = owned;
    }
    HIMAGELIST Detach()
    {
        HIMAGELIST l = m_list;
        m_list = nullptr;
        return l;
    }
    void Destroy()
    {
        if (m_list && m_owned)
            ImageList_Destroy(m_list);
        m_list = nullptr;
    }
    operator HIMAGELIST() const { return m_list; }
    int Add(HBITMAP image, HBITMAP mask = nullptr) { return ImageList_Add(m_list, image, mask); }
    int AddMasked(HBITMAP image, COLORREF key) { return ImageList_AddMasked(m_list, image, key); }
    int AddIcon(HICON icon) { return ImageList_AddIcon(m_list, icon); }
    int GetImageCount() const { return ImageList_GetImageCount(m_list); }
    HICON ExtractIcon(int index) const { return ImageList_ExtractIcon(nullptr, m_list, index); }

    // Drag images: the list shows one of its images under the cursor.
    bool BeginDrag(int index, POINT hotSpot) { return ImageList_BeginDrag(m_list, index, hotSpot.x, hotSpot.y) != 0; }
    static bool DragEnter(HWND lock, POINT p) { return ImageList_DragEnter(lock, p.x, p.y) != 0; }
    static bool DragMove(POINT p) { return ImageList_DragMove(p.x, p.y) != 0; }
    static bool DragLeave(HWND lock) { return ImageList_DragLeave(lock) != 0; }
    static bool DragShowNolock(bool show) { return ImageList_DragShowNolock(show) != 0; }
    static void EndDrag() { ImageList_EndDrag(); }

private:
    HIMAGELIST m_list = nullptr;
    bool m_owned = false;
};

// A menu of the resource module, or a window's system menu (not owned).
class CMenu {
public:
    CMenu() = default;
    ~CMenu() { Destroy(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    bool Load(UINT id)
    {
        Destroy();
        m_menu = ::LoadMenuW(mb::ResourceModule(), MAKEINTRESOURCEW(id));
        m_owned = true;
        return m_menu != nullptr;
    }
    void AttachSystemMenu(HWND window)
    {
        Destroy();
        m_menu = ::GetSystemMenu(window, FALSE);
        m_owned = false;
    }
    void Destroy()
    {
        if (m_menu && m_owned)
            ::DestroyMenu(m_menu);
        m_menu = nullptr;
    }
    operator HMENU() const { return m_menu; }
    HMENU GetSubMenu(int pos) const { return ::GetSubMenu(m_menu, pos); }
    // Greys an item (by command id) or enables it again.
    static void Grey(HMENU menu, UINT id, bool grey)
    {
        ::EnableMenuItem(menu, id, MF_BYCOMMAND | (grey ? MF_GRAYED : MF_ENABLED));
    }
    static UINT GetState(HMENU menu, UINT id) { return ::GetMenuState(menu, id, MF_BYCOMMAND); }
    bool AppendItem(UINT id, const std::string& text) { return ::AppendMenuA(m_menu, MF_STRING, id, text.c_str()) != 0; }
    bool AppendSeparator() { return ::AppendMenuA(m_menu, MF_SEPARATOR, 0, nullptr) != 0; }
    // Shows a popup at a screen point; commands go to owner as WM_COMMAND.
    static bool Track(HMENU popup, HWND owner, POINT screen, UINT flags = TPM_LEFTALIGN | TPM_RIGHTBUTTON)
    {
        return ::TrackPopupMenu(popup, flags, screen.x, screen.y, 0, owner, nullptr) != 0;
    }

private:
    HMENU m_menu = nullptr;
    bool m_owned = false;
};

// An owned GDI object (bitmap, font, brush, region).
template <class H>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(H h) : m_h(h) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    void Reset(H h = nullptr)
    {
        if (m_h)
            ::DeleteObject(m_h);
        m_h = h;
    }
    H Detach()
    {
        H h = m_h;
        m_h = nullptr;
        return h;
    }
    operator H() const { return m_h; }

private:
    H m_h = nullptr;
};
typedef CGdiObject<HBITMAP> CBitmap;
typedef CGdiObject<HFONT> CFont;

namespace mb {

// A bitmap file (skin pictures) as a DIB section, stretched to cx x cy when
// they are not 0. `bytes`, when given, are the file's contents already read.
HBITMAP LoadBitmapFile(const std::string& path, int cx = 0, int cy = 0, const std::vector<uint8_t>* bytes = nullptr);
// A folder's bitmap files read ahead into DIB sections on a thread of its own,
// for a program that will load them soon (the skin, while its dialog is being
// built). LoadBitmapFile then takes a file's prepared picture, once, instead
// of reading it; EndBitmapPrefetch waits for the thread and frees what nobody
// took, after which files are read as they are asked for.
bool BeginBitmapPrefetch(const std::string& folder);
void EndBitmapPrefetch();
inline HBITMAP LoadBitmapResource(UINT id)
{
    return static_cast<HBITMAP>(::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}
inline HICON LoadIconFile(const std::string& path, int cx, int cy)
{
    return static_cast<HICON>(::LoadImageA(nullptr, path.c_str(), IMAGE_ICON, cx, cy, LR_LOADFROMFILE));
}
// Shared icons of the resource module need no destroying.
inline HICON LoadIconResource(UINT id, int cx, int cy)
{
    return static_cast<HICON>(::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_SHARED));
}
inline HFONT CreatePointFont(int tenthsOfPoint, const std::string& face, int weight = FW_NORMAL)
{
    HDC dc = ::GetDC(nullptr);
    int height = -MulDiv(tenthsOfPoint, ::GetDeviceCaps(dc, LOGPIXELSY), 720);
    ::ReleaseDC(nullptr, dc);
    return ::CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face.c_str());
}

// Worker threads take one pointer (usually their window) and report back
// through window messages.
inline HANDLE BeginThread(LPTHREAD_START_ROUTINE routine, void* arg, DWORD* id = nullptr)
{
    DWORD tid = 0;
    HANDLE h = ::CreateThread(nullptr, 0, routine, arg, 0, &tid);
    if (id)
        *id = tid;
    return h;
}

}  // namespace mb

// The hourglass for the life of the object.
class CWaitCursor {
public:
    CWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {}
    ~CWaitCursor() { ::SetCursor(m_previous ? m_previous : ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};
