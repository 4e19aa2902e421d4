#include "Skin.h"

#include <cstdio>
#include <sstream>

using skin::Rect;

namespace {

struct ButtonFiles {
    UINT id;
    const char* normal;
    const char* selected;
    const char* disabled;
    int mode;
};

const ButtonFiles kButtonFiles[] = {
    {1045, "BTN_SYS_Close0.BMP", "BTN_SYS_Close1.BMP", "", CSkinButton::MODE_PUSH},
    {1492, "BTN_SYS_Max0.bmp", "BTN_SYS_Max1.bmp", "", CSkinButton::MODE_PUSH},
    {1043, "BTN_SYS_Min0.bmp", "BTN_SYS_Min1.bmp", "", CSkinButton::MODE_PUSH},
    {1046, "BTN_FRM_PC0.BMP", "BTN_FRM_PC1.BMP", "", CSkinButton::MODE_PUSH},
    {1047, "BTN_FRM_DL0.BMP", "BTN_FRM_DL1.BMP", "", CSkinButton::MODE_PUSH},
    {1048, "BTN_FRM_PD0.BMP", "BTN_FRM_PD1.BMP", "BTN_FRM_PD2.BMP", CSkinButton::MODE_PRESS},
    {1077, "BTN_PC_Music0.bmp", "BTN_PC_Music1.bmp", "", CSkinButton::MODE_PUSH},
    {1091, "BTN_PC_FM0.bmp", "BTN_PC_FM1.bmp", "", CSkinButton::MODE_PUSH},
    {1079, "BTN_PC_All0.bmp", "BTN_PC_All1.bmp", "", CSkinButton::MODE_PUSH},
    {1080, "BTN_PC_Upfolder0.bmp", "BTN_PC_Upfolder1.bmp", "", CSkinButton::MODE_PUSH},
    {1081, "BTN_PC_Delete0.bmp", "BTN_PC_Delete1.bmp", "", CSkinButton::MODE_PUSH},
    {1083, "BTN_PC_Refresh0.bmp", "BTN_PC_Refresh1.bmp", "", CSkinButton::MODE_PUSH},
    {1082, "BTN_PC_Views0.bmp", "BTN_PC_Views1.bmp", "", CSkinButton::MODE_PUSH},
    {1084, "BTN_PC_Treehide0.bmp", "BTN_PC_Treehide1.bmp", "", CSkinButton::MODE_PUSH},
    {1212, "BTN_DL_Help0.bmp", "BTN_DL_Help1.bmp", "", CSkinButton::MODE_PUSH},
    {1211, "BTN_DL_Config0.bmp", "BTN_DL_Config1.bmp", "", CSkinButton::MODE_PUSH},
    {1210, "BTN_DL_Save0.bmp", "BTN_DL_Save1.bmp", "", CSkinButton::MODE_PUSH},
    {1209, "BTN_DL_Open0.bmp", "BTN_DL_Open1.bmp", "", CSkinButton::MODE_PUSH},
    {1208, "BTN_DL_Down0.bmp", "BTN_DL_Down1.bmp", "", CSkinButton::MODE_PUSH},
    {1207, "BTN_DL_Up0.bmp", "BTN_DL_Up1.bmp", "", CSkinButton::MODE_PUSH},
    {1086, "BTN_PD_Down0.bmp", "BTN_PD_Down1.bmp", "BTN_PD_Down2.bmp", CSkinButton::MODE_PUSH},
    {1087, "BTN_PD_Up0.bmp", "BTN_PD_Up1.bmp", "BTN_PD_Up2.bmp", CSkinButton::MODE_PUSH},
    {1090, "BTN_PD_MemExt0.bmp", "BTN_PD_MemExt1.bmp", "BTN_PD_MemExt2.bmp", CSkinButton::MODE_PRESS},
    {1089, "BTN_PD_MemInt0.bmp", "BTN_PD_MemInt1.bmp", "BTN_PD_MemInt2.bmp", CSkinButton::MODE_PRESS},
    {1088, "BTN_PD_Cancel0.bmp", "BTN_PD_Cancel1.bmp", "BTN_PD_Cancel2.bmp", CSkinButton::MODE_PUSH},
    {1092, "BTN_PD_m3u0.bmp", "BTN_PD_m3u1.bmp", "BTN_PD_m3u2.bmp", CSkinButton::MODE_PUSH},
};

const char* const kFrameFiles[18] = {
    "SKIN_I1.BMP", "SKIN_I2.BMP", "SKIN_I3.BMP", "SKIN_I4.BMP", "SKIN_I5.BMP", "SKIN_I6.BMP",
    "SKIN_I7.BMP", "SKIN_I8.BMP", "SKIN_H1.BMP", "SKIN_H2.BMP", "SKIN_H3.BMP", "SKIN_H4.BMP",
    "SKIN_H5.BMP", "SKIN_V1.BMP", "SKIN_V2.BMP", "SKIN_V3.BMP", "SKIN_V4.BMP", "SKIN_V5.BMP",
};

}  // namespace

// The 26 buttons with bitmaps, then the three without (1044, 1078, 1085).
const UINT CSkin::kButtonIds[29] = {1045, 1492, 1043, 1046, 1047, 1048, 1077, 1091, 1079, 1080,
                                    1081, 1083, 1082, 1084, 1212, 1211, 1210, 1209, 1208, 1207,
                                    1086, 1087, 1090, 1089, 1088, 1092, 1044, 1078, 1085};

void CSkin::Attach(HWND dialog, const std::string& imagesFolder)
{
    m_dialog = dialog;
    m_images = imagesFolder;
    for (UINT id : kButtonIds)
        if (::GetDlgItem(dialog, int(id)))
            m_buttons[id].Subclass(id, dialog);
    for (UINT id : {1020u, 1021u, 1022u, 1041u, 1042u})
        m_pictures[id].Subclass(id, dialog);
    for (UINT id = skin::ID_FRAME_FIRST; id <= 1491; ++id)
        m_pictures[id].Subclass(id, dialog);
}

bool CSkin::ReadIni()
{
    // Read with the file calls themselves: the C++ streams of the runtime
    // import functions Windows 98 lacks.
    const std::string path = m_images + "SKIN.INI";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_ini.Clear();
        return false;
    }
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    if (!ok) {
        m_ini.Clear();
        return false;
    }
    m_ini.SetText(text);
    return true;
}

bool CSkin::ReadSkinValues(const std::string& section, int* x, int* y, int* cx, int* cy, bool reload,
                           std::string* str)
{
    if ((reload || !m_ini.IsLoaded()) && !ReadIni())
        return false;
    return m_ini.ReadValues(section, x, y, cx, cy, str);
}

HBITMAP CSkin::LoadImageFile(const std::string& name, int cx, int cy) const
{
    return mb::LoadBitmapFile(m_images + name, cx, cy);
}

void CSkin::Move(UINT id, const Rect& r)
{
    HWND w = ::GetDlgItem(m_dialog, int(id));
    if (w)
        ::MoveWindow(w, r.left, r.top, r.Width(), r.Height(), TRUE);
}

skin::LayoutInput CSkin::MakeInput(bool first, int width, int height)
{
    skin::LayoutInput in;
    in.first = first;
    in.width = width;
    in.height = height;
    in.treeHidden = m_treeHidden;
    RECT combo{};
    if (HWND w = ::GetDlgItem(m_dialog, skin::ID_PC_PATH)) {
        ::GetWindowRect(w, &combo);
        in.comboHeight = combo.bottom - combo.top;
    }
    auto size = [](HBITMAP b) {
        SIZE s = mbskin::BitmapSize(b);
        return skin::Size{s.cx, s.cy};
    };
    if (!m_banner[0].empty()) {
        in.bannerLeft = size(m_banner[0][0]);
        in.bannerRight = size(m_banner[2][0]);
    }
    in.logo0 = size(m_logo0);
    in.logo1 = size(m_logo1);
    for (int i = 0; i < 8; ++i)
        in.corners[i] = size(m_frame[i]);
    for (auto& [id, button] : m_buttons) {
        RECT r = button.GetBitmapRect();
        in.buttons[int(id)] = skin::Size{r.right, r.bottom};
    }
    return in;
}

void CSkin::FreeBanner()
{
    for (auto& part : m_banner) {
        for (HBITMAP b : part)
            if (b)
                ::DeleteObject(b);
        part.clear();
    }
}

bool CSkin::HasBannerFrame(int frame, int part) const
{
    return part >= 0 && part < 3 && frame >= 0 && frame < int(m_banner[part].size()) && m_banner[part][frame];
}

bool CSkin::LoadSkinLayout(bool first, int width, int height)
{
    if (first) {
        int x = 0, y = 0;
        if (!ReadSkinValues("WINDOW", &x, &y, nullptr, nullptr, true)) {
            m_error = "WINDOW";
            return false;
        }
        // The start client size is W x H whatever border the window has.
        RECT r{0, 0, x, y};
        ::AdjustWindowRectEx(&r, DWORD(::GetWindowLongW(m_dialog, GWL_STYLE)), FALSE,
                             DWORD(::GetWindowLongW(m_dialog, GWL_EXSTYLE)));
        ::MoveWindow(m_dialog, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
    }
    if (width <= 0 || height <= 0) {
        RECT client{};
        ::GetClientRect(m_dialog, &client);
        width = client.right;
        height = client.bottom;
    }
    if (first) {
        // Banner frames first: their count comes from [BANNER].
        int frames = 0;
        if (!ReadSkinValues("BANNER", nullptr, nullptr, nullptr, &frames, false)) {
            m_error = "BANNER";
            return false;
        }
        frames = frames < 1 ? 1 : frames > 26 ? 26 : frames;
        FreeBanner();
        for (int part = 0; part < 3; ++part) {
            m_banner[part].assign(size_t(frames), nullptr);
            for (int f = 0; f < frames; ++f)
                m_banner[part][size_t(f)] = LoadImageFile(skin::BannerFileName(f, part));
        }
        if (!m_banner[0][0] || !m_banner[1][0] || !m_banner[2][0]) {
            m_error = "BAN_A";
            return false;
        }
        m_logo0.Reset(LoadImageFile("LOGO_0.BMP"));
        m_logo1.Reset(LoadImageFile("LOGO_1.BMP"));
        if (!m_logo0 || !m_logo1) {
            m_error = "LOGO";
            return false;
        }
        m_pictures[skin::ID_LOGO_0].SetPicture(m_logo0);
        m_pictures[skin::ID_LOGO_1].SetPicture(m_logo1);
        for (int part = 0; part < 3; ++part)
            m_pictures[skin::ID_BANNER_LEFT + part].SetPicture(m_banner[part][0]);
    }
    skin::LayoutResult result;
    if (!skin::ComputeLayout(m_ini, MakeInput(first, width, height), result, &m_error))
        return false;
    if (!first) {
        // Start-up facts stay those of the first layout.
        result.startClient = m_layout.startClient;
        result.minTrack = m_layout.minTrack;
        result.aboutVersion = m_layout.aboutVersion;
        result.aboutText = m_layout.aboutText;
    }
    for (const auto& [id, r] : result.controls)
        Move(UINT(id), r);
    HWND tree = ::GetDlgItem(m_dialog, skin::ID_PC_TREE);
    if (tree)
        ::ShowWindow(tree, m_treeHidden ? SW_HIDE : SW_SHOW);
    // Keep the frame and button rectangles of the other steps.
    for (const auto& [id, r] : m_layout.controls)
        if (!result.controls.count(id))
            result.controls[id] = r;
    m_layout = result;
    return true;
}

bool CSkin::LoadSkinButtons(bool first)
{
    if (first) {
        for (const ButtonFiles& f : kButtonFiles) {
            if (!HasButton(f.id))
                continue;
            bool expanded = f.id == skin::ID_BTN_MAXIMIZE && m_expanded;
            m_buttons[f.id].LoadBitmaps(m_images + (expanded ? "BTN_SYS_Rest0.bmp" : f.normal),
                                        m_images + (expanded ? "BTN_SYS_Rest1.bmp" : f.selected),
                                        *f.disabled ? m_images + f.disabled : std::string(), f.mode);
        }
    }
    RECT client{};
    ::GetClientRect(m_dialog, &client);
    skin::LayoutResult result;
    if (!skin::ComputeButtons(m_ini, MakeInput(first, client.right, client.bottom), result, &m_error))
        return false;
    for (const auto& [id, r] : result.controls) {
        Move(UINT(id), r);
        m_layout.controls[id] = r;
    }
    return true;
}

bool CSkin::LoadSkinFrame(int width, int height)
{
    if (width <= 0 || height <= 0) {
        RECT client{};
        ::GetClientRect(m_dialog, &client);
        width = client.right;
        height = client.bottom;
    }
    // Corners and joints keep their bitmap's size: loaded once.
    for (int i = 0; i < 8; ++i) {
        if (!m_frame[i])
            m_frame[i].Reset(LoadImageFile(kFrameFiles[i]));
        if (!m_frame[i]) {
            m_error = kFrameFiles[i];
            return false;
        }
    }
    skin::LayoutResult result;
    if (!skin::ComputeFrame(m_ini, MakeInput(false, width, height), result, &m_error))
        return false;
    for (int i = 0; i < 18; ++i) {
        UINT id = UINT(skin::ID_FRAME_FIRST + i);
        const Rect& r = result.controls[int(id)];
        if (i >= 8) {
            // Edges are loaded at the size of the place they fill; the
            // bitmap of the previous size goes.
            HBITMAP b = LoadImageFile(kFrameFiles[i], r.Width() > 0 ? r.Width() : 1, r.Height() > 0 ? r.Height() : 1);
            if (!b) {
                m_error = kFrameFiles[i];
                return false;
            }
            m_pictures[id].SetPicture(b, false);
            m_frame[i].Reset(b);
        } else {
            m_pictures[id].SetPicture(m_frame[i], false);
        }
        Move(id, r);
        m_layout.controls[int(id)] = r;
        ::InvalidateRect(::GetDlgItem(m_dialog, int(id)), nullptr, FALSE);
    }
    return true;
}

void CSkin::FreeSkinResources()
{
    for (auto& [id, picture] : m_pictures)
        if (picture.m_hWnd)
            picture.SetPicture(nullptr, false);
    FreeBanner();
    m_logo0.Reset();
    m_logo1.Reset();
    for (auto& f : m_frame)
        f.Reset();
}

bool CSkin::OnSize(int width, int height)
{
    // Minimised: the client area is empty and nothing is laid out.
    if (width <= 0 || height <= 0)
        return true;
    return LoadSkinLayout(false, width, height) && LoadSkinButtons(false) && LoadSkinFrame(width, height);
}

void CSkin::OnGetMinMaxInfo(MINMAXINFO* info) const
{
    if (m_layout.minTrack.cx > 0 && m_layout.minTrack.cy > 0) {
        info->ptMinTrackSize.x = m_layout.minTrack.cx;
        info->ptMinTrackSize.y = m_layout.minTrack.cy;
    }
}

void CSkin::SetExpanded(bool expanded)
{
    m_expanded = expanded;
    if (!HasButton(skin::ID_BTN_MAXIMIZE))
        return;
    CSkinButton& b = m_buttons[skin::ID_BTN_MAXIMIZE];
    b.LoadBitmaps(m_images + (expanded ? "BTN_SYS_Rest0.bmp" : "BTN_SYS_Max0.bmp"),
                  m_images + (expanded ? "BTN_SYS_Rest1.bmp" : "BTN_SYS_Max1.bmp"), std::string(),
                  CSkinButton::MODE_PUSH);
    b.RedrawNow();
}

void CSkin::ShowBannerFrame(int frame, int clientWidth)
{
    if (frame < 0 || frame >= BannerFrames())
        return;
    for (int part = 0; part < 3; ++part)
        m_pictures[skin::ID_BANNER_LEFT + part].SetPicture(HasBannerFrame(frame, part) ? m_banner[part][size_t(frame)] : nullptr, false);
    // Left at the banner position, right against the right inset, the
    // middle stretched between them at the left picture's top and height.
    SIZE left = m_pictures[skin::ID_BANNER_LEFT].GetPictureSize();
    SIZE right = m_pictures[skin::ID_BANNER_RIGHT].GetPictureSize();
    int top = m_layout.bannerTop;
    int rightX = clientWidth - m_layout.bannerRightInset - right.cx;
    Move(skin::ID_BANNER_LEFT, skin::MakeRect(m_layout.bannerLeftX, top, left.cx, left.cy));
    Move(skin::ID_BANNER_RIGHT, skin::MakeRect(rightX, top, right.cx, right.cy));
    int midLeft = m_layout.bannerLeftX + left.cx;
    Move(skin::ID_BANNER_MIDDLE, Rect{midLeft, top, rightX > midLeft ? rightX : midLeft, top + left.cy});
    ::ShowWindow(::GetDlgItem(m_dialog, skin::ID_BANNER_MIDDLE), SW_SHOW);
    for (UINT id : {1020, 1021, 1022})
        ::RedrawWindow(::GetDlgItem(m_dialog, int(id)), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

RECT CSkin::LinkRect() const
{
    const Rect& r = m_layout.linkRect;
    return RECT{r.left, r.top, r.right, r.bottom};
}

RECT CSkin::StatusLeft() const
{
    const Rect& r = m_layout.statusLeft;
    return RECT{r.left, r.top, r.right, r.bottom};
}

RECT CSkin::StatusRight() const
{
    const Rect& r = m_layout.statusRight;
    return RECT{r.left, r.top, r.right, r.bottom};
}
