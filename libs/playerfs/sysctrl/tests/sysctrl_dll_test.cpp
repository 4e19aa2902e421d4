// QV_SysCtrl.dll as the manager uses it: its exports, and order writes on the
// image behind drive Q: through the DLL's own sector access and the system's
// code pages.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "host_tools.h"

namespace {

const std::string ImagePath = std::string(MB_SYSCTRL_WORK) + "/drive_q/volume.img";

std::vector<std::string> Body(std::vector<std::string> listing)
{
    if (!listing.empty()) listing.erase(listing.begin());
    return listing;
}

QV_RESULT Order(CQV_SysCtrl& ctrl, const char* path, const std::vector<std::string>& names)
{
    ctrl.SetFileNum(int(names.size()));
    for (const auto& n : names) ctrl.AddFileName(Utf8ToAnsi(n).c_str());
    return ctrl.SetFileOrder(path);
}

TEST(SysCtrlDll, ExportsTheLibraryMarkers)
{
    EXPECT_EQ(42, fnQV_SysCtrl());
    EXPECT_EQ(0, nQV_SysCtrl);
    HMODULE dll = GetModuleHandleA("QV_SysCtrl.dll");
    ASSERT_NE(nullptr, dll);
    EXPECT_NE(nullptr, GetProcAddress(dll, "nQV_SysCtrl"));
}

TEST(SysCtrlDll, ReordersTheRootWithAnsiNames)
{
    ASSERT_TRUE(MakeImage("basic", ImagePath, 16));
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("Q:\\"));
    auto names = Body(ListFolder(ImagePath, "::/"));
    std::reverse(names.begin(), names.end());
    ASSERT_EQ(QV_SUCCESS, Order(ctrl, "Q:\\", names));
    const auto after = ListFolder(ImagePath, "::/");
    EXPECT_EQ("label: VILO LARK", after[0]);
    EXPECT_EQ(names, Body(after));
    std::string report;
    EXPECT_TRUE(FsckClean(ImagePath, &report)) << report;
}

TEST(SysCtrlDll, NamesShortEntriesAsWindowsListsThem)
{
    ASSERT_TRUE(MakeImage("lower437", ImagePath, 12));
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("q:\\"));
    const std::vector<std::string> names = {"lower.mp3", "PLAIN.MP3", "café.mp3", "Upper.MP3", "MIXED.mp3"};
    ASSERT_EQ(QV_SUCCESS, Order(ctrl, "Q:\\", names));
    EXPECT_EQ(names, Body(ListFolder(ImagePath, "::/")));
    std::string report;
    EXPECT_TRUE(FsckClean(ImagePath, &report)) << report;
}

TEST(SysCtrlDll, RefusalLeavesTheImageAsItWas)
{
    ASSERT_TRUE(MakeImage("basic", ImagePath, 12));
    const std::string hash = Sha256(ImagePath);
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("Q:\\MUSIC\\ROCK\\"));
    EXPECT_EQ(QV_FILE_NOT_FOUND, Order(ctrl, "Q:\\MUSIC\\ROCK\\", {"Rock One.mp3"}));
    char text[32];
    ctrl.GetErrorCode(QV_FILE_NOT_FOUND, text);
    EXPECT_STREQ("QV_FILE_NOT_FOUND", text);
    EXPECT_EQ(hash, Sha256(ImagePath));
}

// The manager shares one directory object between its window's timers and
// its transfer worker. Two threads on it for a while: every call succeeds
// (the library serialises them, each with a volume handle of its own), no
// handle is left open (the volume opens exclusively afterwards), and the
// image stays sound.
struct RACE_SIDE {
    CQV_SysCtrl* Ctrl;
    std::vector<std::string> Names;
    bool Orders;
    int Calls = 0;
    int Failures = 0;
    QV_RESULT LastFailure = QV_SUCCESS;
};

DWORD WINAPI RunRaceSide(void* p)
{
    auto* side = static_cast<RACE_SIDE*>(p);
    for (int i = 0; i < 120; ++i) {
        QV_RESULT r;
        if (side->Orders) {
            std::vector<std::string> names = side->Names;
            if (i % 2) std::reverse(names.begin(), names.end());
            r = Order(*side->Ctrl, "Q:\\", names);
        } else {
            r = side->Ctrl->InitDirectory("Q:\\");
        }
        ++side->Calls;
        if (r != QV_SUCCESS) {
            ++side->Failures;
            side->LastFailure = r;
        }
    }
    return 0;
}

TEST(SysCtrlDll, TwoThreadsSharingOneObjectLeaveTheVolumeFreeAndTheImageSound)
{
    ASSERT_TRUE(MakeImage("basic", ImagePath, 16));
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("Q:\\"));
    const auto names = Body(ListFolder(ImagePath, "::/"));
    ASSERT_GE(names.size(), 2u);
    RACE_SIDE sides[2] = {{&ctrl, names, false}, {&ctrl, names, true}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = CreateThread(nullptr, 0, &RunRaceSide, &sides[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE t : threads) CloseHandle(t);
    for (const RACE_SIDE& side : sides) {
        EXPECT_EQ(120, side.Calls);
        EXPECT_EQ(0, side.Failures) << (side.Orders ? "SetFileOrder" : "InitDirectory") << " failed with "
                                    << side.LastFailure;
    }
    HANDLE volume = CreateFileA("\\\\.\\Q:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, volume) << "a volume handle was left open: " << GetLastError();
    if (volume != INVALID_HANDLE_VALUE) CloseHandle(volume);
    std::string report;
    EXPECT_TRUE(FsckClean(ImagePath, &report)) << report;
    auto after = Body(ListFolder(ImagePath, "::/"));
    auto reversed = names;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_TRUE(after == names || after == reversed);
}

}  // namespace
