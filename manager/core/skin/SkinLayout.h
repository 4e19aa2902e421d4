// The main window's layout from SKIN.INI: a pure function from the file's
// values, the client size and the sizes of the bitmaps that are placed
// side by side, to a rectangle for every control the skin moves. The
// manager's skin steps load the bitmaps and move the windows; everything
// they compute comes from here, so it is tested without Windows.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "SkinIni.h"

namespace skin {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};
inline Rect MakeRect(int x, int y, int cx, int cy) { return Rect{x, y, x + cx, y + cy}; }

struct Size {
    int cx = 0, cy = 0;
};

// Control ids of the main dialog that the skin places.
enum : int {
    ID_PC_LIST = 1001,
    ID_PLAYER_LIST = 1002,
    ID_PC_TREE = 1003,
    ID_PLAYER_TREE = 1004,
    ID_STATUS_BAR = 1007,
    ID_BANNER_LEFT = 1020,
    ID_BANNER_MIDDLE = 1021,
    ID_BANNER_RIGHT = 1022,
    ID_LOGO_0 = 1041,
    ID_LOGO_1 = 1042,
    ID_BTN_MINIMIZE = 1043,
    ID_BTN_CLOSE = 1045,
    ID_FRM_PC = 1046,
    ID_FRM_DL = 1047,
    ID_FRM_PD = 1048,
    ID_BTN_MUSIC = 1077,
    ID_BTN_VOICE = 1078,
    ID_BTN_ALL = 1079,
    ID_BTN_UPFOLDER = 1080,
    ID_BTN_DELETE = 1081,
    ID_BTN_VIEWS = 1082,
    ID_BTN_REFRESH = 1083,
    ID_BTN_TREEHIDE = 1084,
    ID_BTN_DOWNLOAD = 1086,
    ID_BTN_UPLOAD = 1087,
    ID_BTN_CANCEL = 1088,
    ID_BTN_MEM_INT = 1089,
    ID_BTN_MEM_EXT = 1090,
    ID_BTN_FM = 1091,
    ID_BTN_M3U = 1092,
    ID_PC_PATH = 1183,
    ID_DOWNLOAD_LIST = 1201,
    ID_PROGRESS = 1205,
    ID_BTN_DL_UP = 1207,
    ID_BTN_DL_DOWN = 1208,
    ID_BTN_DL_OPEN = 1209,
    ID_BTN_DL_SAVE = 1210,
    ID_BTN_CONFIG = 1211,
    ID_BTN_ABOUT = 1212,
    ID_FRAME_FIRST = 1474,  // SKIN_I1 .. SKIN_I8 are 1474..1481
    ID_FRAME_H1 = 1482,     // SKIN_H1 .. SKIN_H5 are 1482..1486
    ID_FRAME_V1 = 1487,     // SKIN_V1 .. SKIN_V5 are 1487..1491
    ID_BTN_MAXIMIZE = 1492,
};

// The PC buttons in their row, left to right (the FM button follows apart).
extern const int kPcButtonRow[7];
// The download-list buttons from the right.
extern const int kDlButtonsFromRight[6];

// What the layout needs besides SKIN.INI: the client size, the bitmaps'
// sizes (buttons by control id; banner pictures; logos; frame corners
// SKIN_I1..I8) and the path combo's own height.
struct LayoutInput {
    int width = 0;   // client width W
    int height = 0;  // client height H
    bool first = false;
    bool treeHidden = false;
    int comboHeight = 0;
    std::map<int, Size> buttons;
    Size bannerLeft, bannerRight;
    Size logo0, logo1;
    Size corners[8];
};

struct LayoutResult {
    // Every control the skin places, by id (the frame pieces 1474..1491
    // included). Controls placed only at the first layout (logo 0 and the
    // PC buttons) are present only then.
    std::map<int, Rect> controls;
    // The three banner pictures; the middle one is stretched between the
    // left and the right one at the right one's height.
    int bannerFrames = 1;    // [BANNER] cy, clamped to 1..26 (frame letters A-Z)
    int bannerLeftX = 0, bannerTop = 0, bannerRightInset = 0;
    std::string linkTarget;
    Rect linkRect;
    Rect statusLeft, statusRight;
    // [WINDOW]: the start client size and the smallest one.
    Size startClient, minTrack;
    // [ABOUT]: version x + y / 1000 and the product text.
    double aboutVersion = 0;
    std::string aboutText;
};

// The three skin steps' arithmetic. Each returns false, with a reason in
// error, when a section or value it needs is missing or unusable (a ratio
// whose parts do not sum to a positive number); nothing is divided by zero.
bool ComputeLayout(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error = nullptr);
bool ComputeButtons(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error = nullptr);
bool ComputeFrame(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error = nullptr);
// All three in the order of the window's start-up.
bool ComputeAll(const CSkinIni& ini, const LayoutInput& in, LayoutResult& out, std::string* error = nullptr);

// "BAN_%c%d.BMP" for frame f (0..25) and part p (0 left, 1 middle, 2 right).
std::string BannerFileName(int frame, int part);

}  // namespace skin
