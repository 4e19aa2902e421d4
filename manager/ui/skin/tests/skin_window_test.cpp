// The skin on a real dialog under Wine: every button at the rectangle the
// layout computes, the three looks of a button drawn from their bitmaps,
// clicks reported as the user makes them, a missing bitmap or a broken
// SKIN.INI refused with string 113, and no GDI object lost across resizes.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Dialog.h"
#include "GuiTest.h"
#include "Skin.h"
#include "SkinTooltips.h"
#include "StringIds.h"
#include "Text.h"
#include "skin_test.h"

namespace {

std::string ExeFolder()
{
    char path[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/") + 1);
}

std::string ShippedImages() { return ExeFolder() + "Images\\"; }

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A bitmap's pixels as 32-bit rows, top down.
std::vector<DWORD> Pixels(HBITMAP bitmap)
{
    BITMAP b{};
    GetObjectW(bitmap, sizeof b, &b);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = b.bmWidth;
    info.bmiHeader.biHeight = -b.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> out(size_t(b.bmWidth) * size_t(b.bmHeight));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, UINT(b.bmHeight), out.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return out;
}

// A copy of the shipped images in a folder of its own, without one file
// (or with SKIN.INI replaced).
std::string CopyImages(const std::string& name, const std::string& leaveOut, const std::string* ini = nullptr)
{
    std::string folder = ExeFolder() + "skin-" + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((ShippedImages() + "*").c_str(), &fd);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string file = fd.cFileName;
        DeleteFileA((folder + file).c_str());
        if (lstrcmpiA(file.c_str(), leaveOut.c_str()) != 0)
            CopyFileA((ShippedImages() + file).c_str(), (folder + file).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    if (ini) {
        std::ofstream f(folder + "SKIN.INI", std::ios::binary | std::ios::trunc);
        f << *ini;
    }
    return folder;
}

class CSkinTestDlg : public CDialog {
public:
    explicit CSkinTestDlg(std::string images) : CDialog(IDD_SKIN_TEST), m_images(std::move(images)) {}

    BOOL OnInitDialog() override
    {
        m_skin.Attach(m_hWnd, m_images);
        m_skin.SetTreeHidden(true);
        if (!(m_skin.LoadSkinLayout(true, 0, 0) && m_skin.LoadSkinButtons(true) && m_skin.LoadSkinFrame(0, 0))) {
            ShowMessage(mb::LoadText(IDS_SKIN_MISSING));
            m_failed = true;
            Post(WM_CLOSE);
            return TRUE;
        }
        CreateSkinTooltips(m_hWnd, m_tips, false);
        m_ready = true;
        ShowWindow(SW_SHOW);
        return TRUE;
    }
    void OnCancel() override { EndDialog(IDCANCEL); }

    CSkin m_skin;
    CToolTipCtrl m_tips;
    std::vector<UINT> m_clicks;
    bool m_failed = false;
    bool m_ready = false;
    int m_sizes = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        switch (msg) {
        case WM_SIZE:
            ++m_sizes;
            if (m_ready && !m_skin.OnSize(LOWORD(lp), HIWORD(lp))) {
                ShowMessage(mb::LoadText(IDS_SKIN_MISSING));
                m_failed = true;
                Post(WM_CLOSE);
            }
            break;
        case WM_GETMINMAXINFO:
            m_skin.OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp));
            return 0;
        case WM_SKIN_BUTTON_CLICK:
            m_clicks.push_back(reinterpret_cast<CSkinButton*>(wp)->GetDlgCtrlID());
            return 0;
        }
        return CDialog::WindowProc(msg, wp, lp);
    }

private:
    std::string m_images;
};

RECT ClientRectOf(HWND dialog, UINT id)
{
    RECT r{};
    HWND w = GetDlgItem(dialog, int(id));
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE FileBitmapSize(const std::string& path)
{
    HBITMAP b = mb::LoadBitmapFile(path);
    SIZE s = mbskin::BitmapSize(b);
    DeleteObject(b);
    return s;
}

COLORREF FilePixel(const std::string& path, int x, int y)
{
    HBITMAP b = mb::LoadBitmapFile(path);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(b);
    return c;
}

COLORREF ScreenPixel(HWND window, int x, int y)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    mbtest::PumpFor(50);
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

class SkinWindow : public mbtest::GuiTest {
protected:
    SkinWindow() : mbtest::GuiTest(110000) {}
};

}  // namespace

// The buttons stand where the layout arithmetic puts them for the client
// size the window has, each as large as its bitmap file.
TEST_F(SkinWindow, EveryButtonAtItsComputedRectangle)
{
    mbtest::CRecordingPrompter prompter;
    CSkinTestDlg dlg(ShippedImages());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_ready) << dlg.m_skin.LastError();
    mbtest::PumpFor(200);

    RECT client = dlg.GetClientRect();
    EXPECT_EQ(940, client.right);   // [WINDOW] x
    EXPECT_EQ(640, client.bottom);  // [WINDOW] y

    CSkinIni ini(ReadFile(ShippedImages() + "SKIN.INI"));
    skin::LayoutInput in;
    in.width = client.right;
    in.height = client.bottom;
    in.first = true;
    const char* files[][2] = {
        {"1045", "BTN_SYS_Close0.BMP"}, {"1492", "BTN_SYS_Max0.bmp"},     {"1043", "BTN_SYS_Min0.bmp"},
        {"1046", "BTN_FRM_PC0.BMP"},    {"1047", "BTN_FRM_DL0.BMP"},      {"1048", "BTN_FRM_PD0.BMP"},
        {"1077", "BTN_PC_Music0.bmp"},  {"1091", "BTN_PC_FM0.bmp"},       {"1079", "BTN_PC_All0.bmp"},
        {"1080", "BTN_PC_Upfolder0.bmp"}, {"1081", "BTN_PC_Delete0.bmp"}, {"1083", "BTN_PC_Refresh0.bmp"},
        {"1082", "BTN_PC_Views0.bmp"},  {"1084", "BTN_PC_Treehide0.bmp"}, {"1212", "BTN_DL_Help0.bmp"},
        {"1211", "BTN_DL_Config0.bmp"}, {"1210", "BTN_DL_Save0.bmp"},     {"1209", "BTN_DL_Open0.bmp"},
        {"1208", "BTN_DL_Down0.bmp"},   {"1207", "BTN_DL_Up0.bmp"},       {"1086", "BTN_PD_Down0.bmp"},
        {"1087", "BTN_PD_Up0.bmp"},     {"1090", "BTN_PD_MemExt0.bmp"},   {"1089", "BTN_PD_MemInt0.bmp"},
        {"1088", "BTN_PD_Cancel0.bmp"}, {"1092", "BTN_PD_m3u0.bmp"},
    };
    for (auto& f : files) {
        SIZE s = FileBitmapSize(ShippedImages() + f[1]);
        in.buttons[std::atoi(f[0])] = {s.cx, s.cy};
    }
    skin::LayoutResult expected;
    ASSERT_TRUE(skin::ComputeButtons(ini, in, expected));
    ASSERT_EQ(26u, expected.controls.size());
    for (const auto& [id, r] : expected.controls) {
        RECT got = ClientRectOf(dlg, UINT(id));
        EXPECT_EQ(r.left, got.left) << id;
        EXPECT_EQ(r.top, got.top) << id;
        EXPECT_EQ(r.right, got.right) << id;
        EXPECT_EQ(r.bottom, got.bottom) << id;
    }
    // Two worked out by hand: close at the right edge, download at the
    // middle of the download list.
    RECT close = ClientRectOf(dlg, 1045);
    EXPECT_EQ(910, close.left);
    EXPECT_EQ(6, close.top);
    RECT down = ClientRectOf(dlg, 1086);
    EXPECT_EQ(663, down.left);
    EXPECT_EQ(275, down.top);
    // Panes and the frame too.
    RECT dl = ClientRectOf(dlg, 1201);
    EXPECT_EQ(476, dl.left);
    EXPECT_EQ(931, dl.right);
    RECT corner = ClientRectOf(dlg, 1481);
    EXPECT_EQ(930, corner.left);
    EXPECT_EQ(568, corner.top);
    EXPECT_FALSE(IsWindowVisible(dlg.GetDlgItem(1003)));  // the PC tree is hidden
    EXPECT_EQ(26, dlg.m_tips.GetToolCount());

    // Nothing is left where the template put it: every visible control
    // other than the top-left corner piece has been placed.
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        if (IsWindowVisible(child) && r.left == 0 && r.top == 0 && GetDlgCtrlID(child) != 1474) {
            ADD_FAILURE() << "control " << GetDlgCtrlID(child) << " left at (0, 0)";
        }
    }
    mbtest::SaveScreenshot(dlg, "skin_dialog");
    dlg.DestroyWindow();
}

// Each look of a button is its own bitmap on the screen: the pixel drawn
// equals the bitmap file's pixel.
TEST_F(SkinWindow, ButtonStatesDrawTheirBitmaps)
{
    mbtest::CRecordingPrompter prompter;
    CSkinTestDlg dlg(ShippedImages());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_ready);
    mbtest::PumpFor(200);
    CSkinButton& download = dlg.m_skin.Button(1086);
    const int x = 20, y = 3;
    const COLORREF normal = FilePixel(ShippedImages() + "BTN_PD_Down0.bmp", x, y);
    const COLORREF selected = FilePixel(ShippedImages() + "BTN_PD_Down1.bmp", x, y);
    const COLORREF disabled = FilePixel(ShippedImages() + "BTN_PD_Down2.bmp", x, y);
    ASSERT_NE(normal, selected);
    ASSERT_NE(normal, disabled);

    EXPECT_EQ(normal, ScreenPixel(download, x, y));
    download.SetState(CSkinButton::STATE_SELECTED);
    EXPECT_EQ(selected, ScreenPixel(download, x, y));
    download.SetState(CSkinButton::STATE_DISABLED);
    EXPECT_FALSE(download.IsWindowEnabled());
    EXPECT_EQ(disabled, ScreenPixel(download, x, y));
    download.EnableWindow(true);
    EXPECT_EQ(CSkinButton::STATE_NORMAL, download.GetState());
    EXPECT_EQ(normal, ScreenPixel(download, x, y));

    // Without a disabled bitmap the normal one stands for it.
    CSkinButton& close = dlg.m_skin.Button(1045);
    close.SetState(CSkinButton::STATE_DISABLED);
    EXPECT_EQ(FilePixel(ShippedImages() + "BTN_SYS_Close0.BMP", 11, 2), ScreenPixel(close, 11, 2));
    dlg.DestroyWindow();
}

TEST_F(SkinWindow, ClicksAsTheUserMakesThem)
{
    mbtest::CRecordingPrompter prompter;
    CSkinTestDlg dlg(ShippedImages());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_ready);
    HWND push = dlg.GetDlgItem(1081);
    HWND press = dlg.GetDlgItem(1048);

    // Push: reported on release over the button.
    SendMessageW(push, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1081).GetState());
    SendMessageW(push, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    mbtest::PumpUntil([&] { return !dlg.m_clicks.empty(); });
    ASSERT_EQ(1u, dlg.m_clicks.size());
    EXPECT_EQ(1081u, dlg.m_clicks[0]);
    EXPECT_EQ(CSkinButton::STATE_NORMAL, dlg.m_skin.Button(1081).GetState());

    // Push, moved off, released: no click.
    SendMessageW(push, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(push, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5));
    SendMessageW(push, WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    mbtest::PumpFor(200);
    EXPECT_EQ(1u, dlg.m_clicks.size());
    EXPECT_EQ(CSkinButton::STATE_NORMAL, dlg.m_skin.Button(1081).GetState());

    // Press: reported on the press; the selected look stays after release.
    SendMessageW(press, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(press, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    mbtest::PumpUntil([&] { return dlg.m_clicks.size() == 2; });
    ASSERT_EQ(2u, dlg.m_clicks.size());
    EXPECT_EQ(1048u, dlg.m_clicks[1]);
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1048).GetState());
    dlg.DestroyWindow();
}

// A skin that cannot be laid out is refused with string 113 and the dialog
// ends; nothing divides by zero.
TEST_F(SkinWindow, BrokenSkinFailsWithString113)
{
    std::string ini = ReadFile(ShippedImages() + "SKIN.INI");
    std::string zero = ini;
    zero.replace(zero.find("[EXP_RATIO]\nx=1;y=1;"), 20, "[EXP_RATIO]\nx=0;y=0;");
    std::string noFrame = ini;
    noFrame.replace(noFrame.find("[INEXP_H]"), 9, "[INEXP_X]");
    struct Case {
        const char* name;
        std::string leaveOut;
        const std::string* ini;
    } cases[] = {
        {"no-banner", "BAN_A0.BMP", nullptr},     {"no-logo", "LOGO_1.BMP", nullptr},
        {"no-corner", "SKIN_I5.BMP", nullptr},    {"no-edge", "SKIN_V4.BMP", nullptr},
        {"no-ini", "SKIN.INI", nullptr},          {"zero-ratio", "", &zero},
        {"no-frame-section", "", &noFrame},
    };
    // Alike whether the pictures were read ahead or not.
    for (bool ahead : {false, true}) {
        for (const Case& c : cases) {
            mbtest::CRecordingPrompter prompter;
            const std::string folder = CopyImages(c.name, c.leaveOut, c.ini);
            if (ahead)
                mb::BeginBitmapPrefetch(folder);
            CSkinTestDlg dlg(folder);
            dlg.Create();
            mbtest::PumpUntil([&] { return !IsWindow(dlg.m_hWnd); });
            mb::EndBitmapPrefetch();
            EXPECT_TRUE(dlg.m_failed) << c.name << ahead;
            EXPECT_FALSE(IsWindow(dlg.m_hWnd)) << c.name << ahead;
            ASSERT_EQ(1u, prompter.Count()) << c.name << ahead;
            EXPECT_EQ("Skin info file or image files are missing. Re-install this program.", prompter.Text(0))
                << c.name << ahead;
        }
    }
}

// The skin's pictures (and bitmaps of every kind the direct reader takes or
// leaves) come out as the system's own file loader gives them: the same
// size, depth and pixels, at their own size and stretched (the frame edges
// are stretched to the place they fill), larger and smaller.
TEST_F(SkinWindow, PicturesLoadAsTheSystemLoaderGivesThem)
{
    std::vector<std::string> files;
    for (const std::string& folder : {ShippedImages(), mb::Format("Z:%s\\", DIB_SEEDS)}) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((folder + "*.bmp").c_str(), &fd);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << folder;
        do
            files.push_back(folder + fd.cFileName);
        while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    ASSERT_GT(files.size(), 60u);
    int stretched = 0;
    for (const std::string& file : files) {
        CBitmap plain(static_cast<HBITMAP>(
            LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
        BITMAP size{};
        if (plain)
            GetObjectW(plain, sizeof size, &size);
        const int w = size.bmWidth, h = size.bmHeight;
        const SIZE sizes[] = {{0, 0}, {w * 3 + 1, h}, {w, h * 2 + 3}, {w > 1 ? w / 2 : 1, h > 1 ? h / 2 : 1},
                              {0, h + 5}, {7, 0}};
        for (const SIZE& s : sizes) {
            const std::string what = mb::Format("%s at %ldx%ld", file.c_str(), s.cx, s.cy);
            CBitmap ours(mb::LoadBitmapFile(file, s.cx, s.cy));
            CBitmap system(static_cast<HBITMAP>(
                LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, s.cx, s.cy, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
            ASSERT_EQ(!static_cast<HBITMAP>(system), !static_cast<HBITMAP>(ours)) << what;
            if (!ours)
                continue;
            BITMAP a{}, b{};
            GetObjectW(ours, sizeof a, &a);
            GetObjectW(system, sizeof b, &b);
            EXPECT_EQ(b.bmWidth, a.bmWidth) << what;
            EXPECT_EQ(b.bmHeight, a.bmHeight) << what;
            EXPECT_EQ(b.bmBitsPixel, a.bmBitsPixel) << what;
            EXPECT_TRUE(Pixels(ours) == Pixels(system)) << what;
            stretched += s.cx || s.cy;
        }
    }
    EXPECT_GT(stretched, 300);
}

// Pictures read ahead while a dialog is built are those of their files, each
// taken once: a second load, and every load after the read-ahead ended, reads
// the file as it is then. What nobody took is freed.
TEST_F(SkinWindow, PicturesReadAheadAreThoseOfTheirFiles)
{
    const std::string folder = CopyImages("ahead", "");
    auto system = [](const std::string& path, int cx = 0, int cy = 0) {
        return static_cast<HBITMAP>(
            LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, cx, cy, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    };
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    ASSERT_TRUE(mb::BeginBitmapPrefetch(folder));
    for (const char* name : {"BAN_A0.BMP", "btn_pc_all0.bmp", "LOGO_1.BMP"}) {
        CBitmap ours(mb::LoadBitmapFile(folder + name)), theirs(system(folder + name));
        ASSERT_TRUE(ours && theirs) << name;
        EXPECT_TRUE(Pixels(ours) == Pixels(theirs)) << name;
    }
    // An edge stretched to its place, as at every start.
    CBitmap edge(mb::LoadBitmapFile(folder + "SKIN_H1.BMP", 300, 7)), edgeTheirs(system(folder + "SKIN_H1.BMP", 300, 7));
    ASSERT_TRUE(edge && edgeTheirs);
    EXPECT_TRUE(Pixels(edge) == Pixels(edgeTheirs));
    // Taken once: the file changed since, the next load sees the change.
    ASSERT_TRUE(CopyFileA((folder + "LOGO_0.BMP").c_str(), (folder + "BAN_A0.BMP").c_str(), FALSE));
    CBitmap again(mb::LoadBitmapFile(folder + "BAN_A0.BMP")), logo(system(folder + "LOGO_0.BMP"));
    EXPECT_TRUE(Pixels(again) == Pixels(logo));
    CBitmap missing(mb::LoadBitmapFile(folder + "NO_SUCH.BMP"));
    EXPECT_FALSE(missing);
    mb::EndBitmapPrefetch();
    // Ended: a picture never taken is read from its file as it is now.
    ASSERT_TRUE(CopyFileA((folder + "LOGO_0.BMP").c_str(), (folder + "BAN_B0.BMP").c_str(), FALSE));
    CBitmap later(mb::LoadBitmapFile(folder + "BAN_B0.BMP"));
    EXPECT_TRUE(Pixels(later) == Pixels(logo));
    for (CBitmap* b : {&edge, &edgeTheirs, &again, &logo, &later})
        b->Reset();
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (gdiBefore > 0) {
        EXPECT_EQ(gdiBefore, gdiAfter);
    }
}

// Resizing reloads the frame edges and expanding swaps the maximise button's
// bitmaps: each replaced bitmap is deleted, and a minimised window is not
// laid out at all.
TEST_F(SkinWindow, ResizesKeepTheGdiCountFlat)
{
    mbtest::CRecordingPrompter prompter;
    CSkinTestDlg dlg(ShippedImages());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_ready);
    RECT start = dlg.GetWindowRect();
    auto cycle = [&](int i) {
        dlg.m_skin.SetExpanded(true);
        dlg.SetWindowPos(nullptr, 0, 0, 1100 + i, 800 + i, SWP_NOZORDER);
        dlg.m_skin.SetExpanded(false);
        dlg.SetWindowPos(nullptr, start.left, start.top, start.right - start.left, start.bottom - start.top,
                         SWP_NOZORDER);
        mbtest::PumpFor(10);
    };
    cycle(0);
    // Handles shown now: after the cycles each must be gone or still shown.
    std::set<HGDIOBJ> before;
    for (UINT id = 1482; id <= 1491; ++id)
        before.insert(dlg.m_skin.Picture(id).GetPicture());
    before.insert(dlg.m_skin.Button(1492).GetStateBitmap(0));
    DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 1; i <= 20; ++i)
        cycle(i);
    DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::set<HGDIOBJ> now;
    for (UINT id = 1482; id <= 1491; ++id)
        now.insert(dlg.m_skin.Picture(id).GetPicture());
    now.insert(dlg.m_skin.Button(1492).GetStateBitmap(0));
    for (HGDIOBJ old : before) {
        if (!now.count(old)) {
            EXPECT_EQ(0u, GetObjectType(old)) << "a replaced bitmap was not deleted";
        }
    }
    EXPECT_EQ(11u, now.size());
    if (gdiBefore != 0) {
        EXPECT_LE(gdiAfter, gdiBefore + 2) << "GDI objects before " << gdiBefore << ", after " << gdiAfter;
    } else {
        std::printf("GetGuiResources gives no GDI count here; the handle check stands alone\n");
    }
    RECT edge = ClientRectOf(dlg, 1483);
    EXPECT_EQ(455, edge.right - edge.left);  // back at the start size

    // Minimised: no layout runs, the window lives on, and after restoring
    // the layout is that of the start size again.
    dlg.ShowWindow(SW_MINIMIZE);
    mbtest::PumpFor(100);
    EXPECT_TRUE(IsWindow(dlg.m_hWnd));
    EXPECT_FALSE(dlg.m_failed);
    dlg.ShowWindow(SW_RESTORE);
    mbtest::PumpFor(100);
    RECT close = ClientRectOf(dlg, 1045);
    EXPECT_EQ(910, close.left);
    EXPECT_EQ(0u, prompter.Count());

    // The smallest size is [WINDOW] cx x cy.
    MINMAXINFO info{};
    dlg.Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(860, info.ptMinTrackSize.x);
    EXPECT_EQ(560, info.ptMinTrackSize.y);
    dlg.DestroyWindow();
}
