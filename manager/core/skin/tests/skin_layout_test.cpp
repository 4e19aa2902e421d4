// The skin's layout on the shipped SKIN.INI at the start size and at an
// expanded size, against rectangles worked out by hand from the file; and
// SKIN.INI texts that must fail cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "SkinIni.h"
#include "SkinLayout.h"

using skin::Rect;

namespace {

std::string ShippedIni()
{
    const char* path = std::getenv("MB_SKIN_INI");
    EXPECT_NE(nullptr, path);
    std::ifstream f(path ? path : "", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The artwork's sizes (make-skin.py).
skin::LayoutInput ShippedInput(int w, int h, bool first)
{
    skin::LayoutInput in;
    in.width = w;
    in.height = h;
    in.first = first;
    in.treeHidden = true;
    in.comboHeight = 22;
    in.bannerLeft = {64, 44};
    in.bannerRight = {64, 44};
    in.logo0 = {240, 40};
    in.logo1 = {60, 22};
    const skin::Size corners[8] = {{10, 92}, {10, 92}, {10, 92}, {10, 40}, {10, 40}, {10, 72}, {10, 72}, {10, 72}};
    for (int i = 0; i < 8; ++i)
        in.corners[i] = corners[i];
    for (int id : {skin::ID_BTN_CLOSE, skin::ID_BTN_MAXIMIZE, skin::ID_BTN_MINIMIZE})
        in.buttons[id] = {22, 18};
    for (int id : {skin::ID_FRM_PC, skin::ID_FRM_DL, skin::ID_FRM_PD})
        in.buttons[id] = {110, 28};
    for (int id : skin::kPcButtonRow)
        in.buttons[id] = {28, 26};
    in.buttons[skin::ID_BTN_FM] = {34, 28};
    for (int id : skin::kDlButtonsFromRight)
        in.buttons[id] = {28, 26};
    in.buttons[skin::ID_BTN_DOWNLOAD] = {40, 26};
    in.buttons[skin::ID_BTN_UPLOAD] = {40, 26};
    in.buttons[skin::ID_BTN_MEM_INT] = {32, 26};
    in.buttons[skin::ID_BTN_MEM_EXT] = {32, 26};
    in.buttons[skin::ID_BTN_CANCEL] = {28, 26};
    in.buttons[skin::ID_BTN_M3U] = {28, 26};
    return in;
}

struct Expected {
    int id;
    Rect rect;
};

void ExpectRects(const skin::LayoutResult& out, std::initializer_list<Expected> expected)
{
    for (const Expected& e : expected) {
        auto it = out.controls.find(e.id);
        ASSERT_NE(out.controls.end(), it) << "control " << e.id;
        const Rect& r = it->second;
        EXPECT_TRUE(r == e.rect) << "control " << e.id << ": got (" << r.left << "," << r.top << "," << r.right
                                 << "," << r.bottom << ")";
    }
}

}  // namespace

TEST(SkinLayout, ShippedIniAtTheStartSize)
{
    CSkinIni ini(ShippedIni());
    skin::LayoutResult out;
    std::string error;
    ASSERT_TRUE(skin::ComputeAll(ini, ShippedInput(940, 640, true), out, &error)) << error;

    EXPECT_EQ(940, out.startClient.cx);
    EXPECT_EQ(640, out.startClient.cy);
    EXPECT_EQ(860, out.minTrack.cx);
    EXPECT_EQ(560, out.minTrack.cy);
    EXPECT_EQ(6, out.bannerFrames);
    EXPECT_EQ("http://www.vilo.example/lark/", out.linkTarget);
    EXPECT_DOUBLE_EQ(1.1, out.aboutVersion);
    EXPECT_EQ("Vilo Music Bridge", out.aboutText);
    EXPECT_TRUE(out.linkRect == (Rect{476, 6, 850, 50}));
    EXPECT_TRUE(out.statusLeft == (Rect{12, 572, 465, 588}));
    EXPECT_TRUE(out.statusRight == (Rect{476, 572, 930, 588}));

    ExpectRects(out, {
        // Panes: columns of 455 (910 split 1:1), rows of 174 and 262 (436 split 2:3).
        {1201, {476, 92, 931, 266}},
        {1183, {10, 92, 465, 114}},
        {1003, {10, 118, 192, 568}},
        {1001, {10, 118, 465, 568}},  // tree hidden: the list takes the column
        {1004, {476, 306, 658, 568}},
        {1002, {662, 306, 931, 568}},
        {1205, {476, 594, 930, 610}},
        {1007, {0, 615, 940, 640}},
        // Banner and logos.
        {1020, {476, 6, 540, 50}},
        {1021, {540, 6, 786, 50}},
        {1022, {786, 6, 850, 50}},
        {1041, {12, 10, 252, 50}},
        {1042, {870, 277, 930, 299}},
        // Buttons.
        {1045, {910, 6, 932, 24}},
        {1492, {886, 6, 908, 24}},
        {1043, {862, 6, 884, 24}},
        {1046, {10, 64, 120, 92}},
        {1047, {476, 64, 586, 92}},
        {1048, {476, 278, 586, 306}},
        {1077, {130, 65, 158, 91}},
        {1079, {160, 65, 188, 91}},
        {1084, {310, 65, 338, 91}},
        {1091, {345, 64, 379, 92}},
        {1086, {663, 275, 703, 301}},
        {1087, {707, 275, 747, 301}},
        {1089, {590, 275, 622, 301}},
        {1090, {626, 275, 658, 301}},
        {1088, {836, 275, 864, 301}},
        {1092, {804, 275, 832, 301}},
        {1212, {902, 65, 930, 91}},
        {1211, {872, 65, 900, 91}},
        {1207, {752, 65, 780, 91}},
        // Frame: A1 = A2 = 455, U1 = 174, U2 = 262.
        {1474, {0, 0, 10, 92}},
        {1482, {10, 0, 465, 92}},
        {1475, {465, 0, 475, 92}},
        {1483, {475, 0, 930, 92}},
        {1476, {930, 0, 940, 92}},
        {1487, {0, 92, 10, 568}},
        {1488, {465, 92, 475, 266}},
        {1489, {930, 92, 940, 266}},
        {1477, {465, 266, 475, 306}},
        {1484, {475, 266, 930, 306}},
        {1478, {930, 266, 940, 306}},
        {1490, {465, 306, 475, 568}},
        {1491, {930, 306, 940, 568}},
        {1479, {0, 568, 10, 640}},
        {1485, {10, 568, 465, 640}},
        {1480, {465, 568, 475, 640}},
        {1486, {475, 568, 930, 640}},
        {1481, {930, 568, 940, 640}},
    });
}

TEST(SkinLayout, ShippedIniExpanded)
{
    CSkinIni ini(ShippedIni());
    skin::LayoutResult out;
    ASSERT_TRUE(skin::ComputeAll(ini, ShippedInput(1024, 787, false), out));
    // Columns of 497 (994 split 1:1), rows of 233 and 350 (583 split 2:3).
    ExpectRects(out, {
        {1201, {518, 92, 1015, 325}},
        {1183, {10, 92, 507, 114}},
        {1001, {10, 118, 507, 715}},
        {1004, {518, 365, 716, 715}},
        {1002, {720, 365, 1015, 715}},
        {1205, {518, 741, 1014, 757}},
        {1020, {518, 6, 582, 50}},
        {1021, {582, 6, 870, 50}},
        {1022, {870, 6, 934, 50}},
        {1045, {994, 6, 1016, 24}},
        {1086, {726, 334, 766, 360}},
        {1088, {920, 334, 948, 360}},
        {1484, {517, 325, 1014, 365}},
        {1491, {1014, 365, 1024, 715}},
        {1481, {1014, 715, 1024, 787}},
    });
    // Placed only by the first layout.
    EXPECT_EQ(0u, out.controls.count(1041));
    EXPECT_EQ(0u, out.controls.count(1077));
    EXPECT_EQ(0u, out.controls.count(1091));
}

TEST(SkinLayout, TreeShownSplitsThePcColumn)
{
    CSkinIni ini(ShippedIni());
    skin::LayoutInput in = ShippedInput(940, 640, true);
    in.treeHidden = false;
    skin::LayoutResult out;
    ASSERT_TRUE(skin::ComputeLayout(ini, in, out));
    ExpectRects(out, {{1003, {10, 118, 192, 568}}, {1001, {196, 118, 465, 568}}});
}

// Texts that are not a usable skin: each step reports failure.
TEST(SkinIni, MalformedTextsFail)
{
    const std::string shipped = ShippedIni();
    struct Case {
        const char* name;
        std::string from, to;
    };
    const Case cases[] = {
        {"column ratio sums to zero", "[EXP_RATIO]\nx=1;y=1;", "[EXP_RATIO]\nx=0;y=0;"},
        {"row ratio sums to zero", "cx=2;cy=3;", "cx=0;cy=0;"},
        {"negative ratio", "[EXP_RATIO]\nx=1;y=1;", "[EXP_RATIO]\nx=-1;y=1;"},
        {"PC tree ratio sums to zero", "[PC_CROSS]\nx=2;y=3;", "[PC_CROSS]\nx=0;y=0;"},
        {"missing section", "[BTN_DL]", "[BTN_XX]"},
        {"value without a number", "[CTL_HGAP]\nx=92;", "[CTL_HGAP]\nx=;"},
        {"missing key", "[PRG_TRANS]\nx=11;y=46;cx=10;cy=16;", "[PRG_TRANS]\nx=11;y=46;cx=10;"},
        {"frame border missing", "[INEXP_W]\nx=10;", "[INEXP_W]\ny=10;"},
    };
    for (const Case& c : cases) {
        std::string text = shipped;
        size_t at = text.find(c.from);
        ASSERT_NE(std::string::npos, at) << c.name;
        text.replace(at, c.from.size(), c.to);
        CSkinIni ini(text);
        skin::LayoutResult out;
        std::string error;
        EXPECT_FALSE(skin::ComputeAll(ini, ShippedInput(940, 640, true), out, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
    CSkinIni none;
    skin::LayoutResult out;
    EXPECT_FALSE(skin::ComputeAll(none, ShippedInput(940, 640, true), out));
    CSkinIni empty(std::string{});
    EXPECT_FALSE(skin::ComputeAll(empty, ShippedInput(940, 640, true), out));
}

TEST(SkinIni, KeySearchStaysInsideItsSection)
{
    // cx is missing from [A]; the cx of [B] must not be taken.
    CSkinIni ini("[A]\nx=1;y=2;\n[B]\nx=3;y=4;cx=5;\n");
    int x = 0, y = 0, cx = 0;
    EXPECT_FALSE(ini.ReadValues("A", &x, &y, &cx, nullptr));
    EXPECT_TRUE(ini.ReadValues("A", &x, &y, nullptr, nullptr));
    EXPECT_EQ(1, x);
    EXPECT_EQ(2, y);
    EXPECT_TRUE(ini.ReadValues("B", &x, &y, &cx, nullptr));
    EXPECT_EQ(5, cx);
}

TEST(SkinIni, ValuesAndTexts)
{
    CSkinIni ini("[S]\ncx=9;x = -12 ;y=3;cx=40;cy=7;str=  hello world;\n[T]\nstr=tail");
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string str;
    ASSERT_TRUE(ini.ReadValues("S", &x, &y, &cx, &cy, &str));
    EXPECT_EQ(-12, x);  // "x" is a whole key, not the x of "cx"
    EXPECT_EQ(3, y);
    EXPECT_EQ(40, cx);
    EXPECT_EQ(7, cy);
    EXPECT_EQ("hello world", str);
    ASSERT_TRUE(ini.ReadValues("T", nullptr, nullptr, nullptr, nullptr, &str));
    EXPECT_EQ("tail", str);
    // A number too large for a skin is refused, not wrapped.
    CSkinIni huge("[S]\nx=99999999999999999999;y=1;");
    EXPECT_FALSE(huge.ReadValues("S", &x, &y, nullptr, nullptr));
}

TEST(SkinIni, BannerFramesClampedToTheLetters)
{
    const std::string shipped = ShippedIni();
    for (auto [value, frames] : {std::pair{"0", 1}, {"1", 1}, {"26", 26}, {"27", 26}, {"400", 26}, {"-5", 1}}) {
        std::string text = shipped;
        const std::string from = "cx=90;cy=6;";
        text.replace(text.find(from), from.size(), std::string("cx=90;cy=") + value + ";");
        CSkinIni ini(text);
        skin::LayoutResult out;
        ASSERT_TRUE(skin::ComputeLayout(ini, ShippedInput(940, 640, true), out)) << value;
        EXPECT_EQ(frames, out.bannerFrames) << value;
    }
    EXPECT_EQ("BAN_A0.BMP", skin::BannerFileName(0, 0));
    EXPECT_EQ("BAN_Z2.BMP", skin::BannerFileName(25, 2));
}
