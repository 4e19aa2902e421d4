#include "SkinLayout.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace skin {

const int kPcButtonRow[7] = {ID_BTN_MUSIC, ID_BTN_ALL, ID_BTN_UPFOLDER, ID_BTN_DELETE,
                             ID_BTN_REFRESH, ID_BTN_VIEWS, ID_BTN_TREEHIDE};
const int kDlButtonsFromRight[6] = {ID_BTN_ABOUT, ID_BTN_CONFIG, ID_BTN_DL_SAVE,
                                    ID_BTN_DL_OPEN, ID_BTN_DL_DOWN, ID_BTN_DL_UP};

namespace {

bool Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

// part of total in the ratio a : b, integer arithmetic; false when the
// ratio's parts are negative or sum to nothing.
bool Ratio(int total, int a, int b, int& part)
{
    if (a < 0 || b < 0 || std::int64_t(a) + b <= 0)
        return false;
    part = static_cast<int>(std::int64_t(total) * a / (std::int64_t(a) + b));
    return true;
}

int Extent(int v) { return v < 0 ? 0 : v; }

Size ButtonSize(const LayoutInput& in, int id)
{
    auto it = in.buttons.find(id);
    return it == in.buttons.end() ? Size{} : it->second;
}

// The column and row split shared by the panes and the buttons.
struct Geometry {
    int lm = 0, g = 0, rm = 0, tm = 0, gh = 0, bm = 0;
    int lw = 0, rw = 0, uh = 0, lh = 0;
    Rect downloadList;
};

bool ReadGeometry(const CSkinIni& ini, const LayoutInput& in, Geometry& geo, std::string* error)
{
    if (!ini.ReadValues("CTL_WGAP", &geo.lm, &geo.g, &geo.rm, nullptr))
        return Fail(error, "CTL_WGAP");
    if (!ini.ReadValues("CTL_HGAP", &geo.tm, &geo.gh, &geo.bm, nullptr))
        return Fail(error, "CTL_HGAP");
    int x = 0, y = 0, cx = 0, cy = 0;
    if (!ini.ReadValues("EXP_RATIO", &x, &y, &cx, &cy))
        return Fail(error, "EXP_RATIO");
    int inner = in.width - geo.lm - geo.g - geo.rm;
    int innerH = in.height - geo.tm - geo.gh - geo.bm;
    if (!Ratio(inner, x, y, geo.lw) || !Ratio(innerH, cx, cy, geo.uh))
        return Fail(error, "EXP_RATIO ratio");
    geo.rw = inner - geo.lw;
    geo.lh = innerH - geo.uh;
    geo.downloadList = MakeRect(geo.lm + geo.lw + geo.g + 1, geo.tm, Extent(geo.rw), Extent(geo.uh));
    return true;
}

}  // namespace

std::string BannerFileName(int frame, int part)
{
    char name[16];
    std::snprintf(name, sizeof name, "BAN_%c%d.BMP", char('A' + frame), part);
    return name;
}

bool ComputeLayout(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error)
{
    const int W = in.width, H = in.height;
    int x = 0, y = 0, cx = 0, cy = 0;
    if (in.first) {
        if (!ini.ReadValues("WINDOW", &x, &y, &cx, &cy))
            return Fail(error, "WINDOW");
        out.startClient = {x, y};
        out.minTrack = {cx, cy};
        int major = 0, minor = 0;
        std::string text;
        if (ini.ReadValues("ABOUT", &major, &minor, nullptr, nullptr, &text)) {
            out.aboutVersion = major + minor / 1000.0;
            out.aboutText = text;
        }
    }
    Geometry geo;
    if (!ReadGeometry(ini, in, geo, error))
        return false;
    out.controls[ID_DOWNLOAD_LIST] = geo.downloadList;
    const Rect& dl = geo.downloadList;
    const int leftEdge = geo.lm + geo.lw;  // the left column's right edge

    // Banner: left picture at the banner position, right picture with its
    // right edge at W - cx, the middle one stretched between them.
    std::string link;
    if (!ini.ReadValues("BANNER", &x, &y, &cx, &cy, &link))
        return Fail(error, "BANNER");
    out.bannerFrames = std::min(26, std::max(1, cy));
    out.bannerLeftX = leftEdge + x;
    out.bannerTop = y;
    out.bannerRightInset = cx;
    out.linkTarget = link;
    Rect left = MakeRect(out.bannerLeftX, y, in.bannerLeft.cx, in.bannerLeft.cy);
    Rect right = MakeRect(W - cx - in.bannerRight.cx, y, in.bannerRight.cx, in.bannerRight.cy);
    out.controls[ID_BANNER_LEFT] = left;
    out.controls[ID_BANNER_RIGHT] = right;
    out.controls[ID_BANNER_MIDDLE] = Rect{left.right, y, std::max(left.right, right.left), y + right.Height()};
    out.linkRect = Rect{out.bannerLeftX, y, W - cx, y + right.Height()};

    // PC column: path combo, tree and list.
    if (!ini.ReadValues("PC_CROSS", &x, &y, &cx, &cy))
        return Fail(error, "PC_CROSS");
    out.controls[ID_PC_PATH] = MakeRect(geo.lm, geo.tm, Extent(geo.lw), in.comboHeight);
    int treeTop = geo.tm + in.comboHeight + cy;
    int treeWidth = 0;
    if (!Ratio(geo.lw, x, y, treeWidth))
        return Fail(error, "PC_CROSS ratio");
    int paneBottom = std::max(treeTop, H - geo.bm);
    Rect tree{geo.lm, treeTop, geo.lm + Extent(treeWidth), paneBottom};
    out.controls[ID_PC_TREE] = tree;
    int listLeft = in.treeHidden ? geo.lm : tree.right + cx;
    out.controls[ID_PC_LIST] = Rect{listLeft, treeTop, std::max(listLeft, leftEdge), paneBottom};

    // Logos.
    if (!ini.ReadValues("LOGOS", &x, &y, &cx, &cy))
        return Fail(error, "LOGOS");
    if (in.first)
        out.controls[ID_LOGO_0] = MakeRect(x, y, in.logo0.cx, in.logo0.cy);
    out.controls[ID_LOGO_1] = MakeRect(W - cx - in.logo1.cx, dl.bottom + cy, in.logo1.cx, in.logo1.cy);

    // Player pane below the download list.
    if (!ini.ReadValues("PD_CROSS", &x, &y, nullptr, &cy))
        return Fail(error, "PD_CROSS");
    int pdTop = dl.bottom + geo.gh;
    int pdTreeWidth = 0;
    if (!Ratio(geo.rw, x, y, pdTreeWidth))
        return Fail(error, "PD_CROSS ratio");
    Rect pdTree = MakeRect(dl.left, pdTop, Extent(pdTreeWidth), Extent(geo.lh));
    out.controls[ID_PLAYER_TREE] = pdTree;
    int pdListLeft = pdTree.right + cy;
    out.controls[ID_PLAYER_LIST] = Rect{pdListLeft, pdTop, std::max(pdListLeft, dl.right), pdTree.bottom};

    // Progress bar and the two status text rectangles.
    if (!ini.ReadValues("PRG_TRANS", &x, &y, &cx, &cy))
        return Fail(error, "PRG_TRANS");
    int px = leftEdge + x;
    out.controls[ID_PROGRESS] = MakeRect(px, H - y, Extent(W - px - cx), Extent(cy));
    if (!ini.ReadValues("STATUS_L", &x, &y, nullptr, &cy))
        return Fail(error, "STATUS_L");
    out.statusLeft = Rect{x, H - y, leftEdge, H - y + cy};
    if (!ini.ReadValues("STATUS_R", &x, &y, nullptr, &cy))
        return Fail(error, "STATUS_R");
    out.statusRight = Rect{leftEdge + x, H - y, W - geo.rm, H - y + cy};

    out.controls[ID_STATUS_BAR] = MakeRect(0, H - 25, Extent(W), 25);
    return true;
}

bool ComputeButtons(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error)
{
    const int W = in.width;
    Geometry geo;
    if (!ReadGeometry(ini, in, geo, error))
        return false;
    const Rect& dl = geo.downloadList;
    int x = 0, y = 0, cx = 0, cy = 0;

    // Close, maximise, minimise from the right.
    if (!ini.ReadValues("BTN_SYS", &x, &y, &cx, nullptr))
        return Fail(error, "BTN_SYS");
    int right = W - x;
    for (int id : {ID_BTN_CLOSE, ID_BTN_MAXIMIZE, ID_BTN_MINIMIZE}) {
        Size s = ButtonSize(in, id);
        out.controls[id] = MakeRect(right - s.cx, y, s.cx, s.cy);
        right -= s.cx + cx;
    }

    // The three frame buttons.
    if (!ini.ReadValues("FRM_PC", &x, &y, nullptr, nullptr))
        return Fail(error, "FRM_PC");
    Size s = ButtonSize(in, ID_FRM_PC);
    out.controls[ID_FRM_PC] = MakeRect(x, y, s.cx, s.cy);
    if (!ini.ReadValues("FRM_DL", &x, &y, nullptr, nullptr))
        return Fail(error, "FRM_DL");
    s = ButtonSize(in, ID_FRM_DL);
    out.controls[ID_FRM_DL] = MakeRect(dl.left + x, y, s.cx, s.cy);
    if (!ini.ReadValues("FRM_PD", &x, &y, nullptr, nullptr))
        return Fail(error, "FRM_PD");
    s = ButtonSize(in, ID_FRM_PD);
    Rect framePd = MakeRect(dl.left + x, dl.bottom + y, s.cx, s.cy);
    out.controls[ID_FRM_PD] = framePd;

    // The PC buttons keep the place of the first layout.
    if (!ini.ReadValues("BTN_PC", &x, &y, &cx, nullptr))
        return Fail(error, "BTN_PC");
    if (in.first) {
        int left = x;
        for (int id : kPcButtonRow) {
            s = ButtonSize(in, id);
            out.controls[id] = MakeRect(left, y, s.cx, s.cy);
            left += s.cx + cx;
        }
        s = ButtonSize(in, ID_BTN_FM);
        out.controls[ID_BTN_FM] = MakeRect(left + 5, y - 1, s.cx, s.cy);
    }

    // Download and upload at the x : y point of the download list's width.
    if (!ini.ReadValues("BTN_PD1", &x, &y, &cx, &cy))
        return Fail(error, "BTN_PD1");
    int split = 0;
    if (!Ratio(dl.Width(), x, y, split))
        return Fail(error, "BTN_PD1 ratio");
    s = ButtonSize(in, ID_BTN_DOWNLOAD);
    Rect down = MakeRect(dl.left + split - s.cx, dl.bottom + cy, s.cx, s.cy);
    out.controls[ID_BTN_DOWNLOAD] = down;
    s = ButtonSize(in, ID_BTN_UPLOAD);
    out.controls[ID_BTN_UPLOAD] = MakeRect(down.right + cx, down.top, s.cx, s.cy);
    // The memory buttons follow the player frame button on the same row, at
    // the gap of the download buttons.
    int memLeft = framePd.right + cx;
    for (int id : {ID_BTN_MEM_INT, ID_BTN_MEM_EXT}) {
        s = ButtonSize(in, id);
        out.controls[id] = MakeRect(memLeft, down.top, s.cx, s.cy);
        memLeft += s.cx + cx;
    }

    // Cancel from the right, the playlist maker left of it.
    if (!ini.ReadValues("BTN_PD2", &x, &y, &cx, nullptr))
        return Fail(error, "BTN_PD2");
    s = ButtonSize(in, ID_BTN_CANCEL);
    Rect cancel = MakeRect(W - x - s.cx, dl.bottom + y, s.cx, s.cy);
    out.controls[ID_BTN_CANCEL] = cancel;
    s = ButtonSize(in, ID_BTN_M3U);
    out.controls[ID_BTN_M3U] = MakeRect(cancel.left - cx - s.cx, cancel.top, s.cx, s.cy);

    // The download-list buttons from the right.
    if (!ini.ReadValues("BTN_DL", &x, &y, &cx, nullptr))
        return Fail(error, "BTN_DL");
    right = W - x;
    for (int id : kDlButtonsFromRight) {
        s = ButtonSize(in, id);
        out.controls[id] = MakeRect(right - s.cx, y, s.cx, s.cy);
        right -= s.cx + cx;
    }
    return true;
}

bool ComputeFrame(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error)
{
    int b1 = 0, b2 = 0, b3 = 0, h1 = 0, h2 = 0, h3 = 0;
    if (!ini.ReadValues("INEXP_W", &b1, &b2, &b3, nullptr))
        return Fail(error, "INEXP_W");
    if (!ini.ReadValues("INEXP_H", &h1, &h2, &h3, nullptr))
        return Fail(error, "INEXP_H");
    int x = 0, y = 0, cx = 0, cy = 0;
    if (!ini.ReadValues("EXP_RATIO", &x, &y, &cx, &cy))
        return Fail(error, "EXP_RATIO");
    int a1 = 0, u1 = 0;
    int innerW = in.width - b1 - b2 - b3;
    int innerH = in.height - h1 - h2 - h3;
    if (!Ratio(innerW, x, y, a1) || !Ratio(innerH, cx, cy, u1))
        return Fail(error, "EXP_RATIO ratio");
    int a2 = Extent(innerW - a1), u2 = Extent(innerH - u1);
    a1 = Extent(a1);
    u1 = Extent(u1);

    // Column and row edges.
    const int xMid = b1 + a1, xRight = xMid + b2 + a2;
    const int yMid = h1 + u1, yBottom = yMid + h2 + u2;
    auto corner = [&](int n, int left, int top) {
        out.controls[ID_FRAME_FIRST + n - 1] = MakeRect(left, top, in.corners[n - 1].cx, in.corners[n - 1].cy);
    };
    auto edgeH = [&](int n, int left, int top, int w, int h) { out.controls[ID_FRAME_H1 + n - 1] = MakeRect(left, top, w, h); };
    auto edgeV = [&](int n, int left, int top, int w, int h) { out.controls[ID_FRAME_V1 + n - 1] = MakeRect(left, top, w, h); };

    corner(1, 0, 0);
    edgeH(1, b1, 0, a1, h1);
    corner(2, xMid, 0);
    edgeH(2, xMid + b2, 0, a2, h1);
    corner(3, xRight, 0);
    edgeV(1, 0, h1, b1, u1 + h2 + u2);
    edgeV(2, xMid, h1, b2, u1);
    edgeV(3, xRight, h1, b3, u1);
    corner(4, xMid, yMid);
    edgeH(3, xMid + b2, yMid, a2, h2);
    corner(5, xRight, yMid);
    edgeV(4, xMid, yMid + h2, b2, u2);
    edgeV(5, xRight, yMid + h2, b3, u2);
    corner(6, 0, yBottom);
    edgeH(4, b1, yBottom, a1, h3);
    corner(7, xMid, yBottom);
    edgeH(5, xMid + b2, yBottom, a2, h3);
    corner(8, xRight, yBottom);
    return true;
}

bool ComputeAll(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error)
{
    return ComputeLayout(ini, in, out, error) && ComputeButtons(ini, in, out, error) &&
           ComputeFrame(ini, in, out, error);
}

}  // namespace skin
