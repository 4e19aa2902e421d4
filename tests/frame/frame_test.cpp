// The harness runs each Windows test under the Windows version its CTest name
// asks for, maps drive letters, and gives windows a display.
#include <windows.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

TEST(Frame, WindowsVersionFollowsTheRequestedOne)
{
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    ASSERT_TRUE(GetVersionExA(&vi));
    const std::string want = Env("MB_WINVER");
    ASSERT_FALSE(want.empty()) << "the runner must say which version the test asked for";
    if (want == "win98") {
        EXPECT_EQ(VER_PLATFORM_WIN32_WINDOWS, vi.dwPlatformId);
        EXPECT_EQ(4u, vi.dwMajorVersion);
        EXPECT_EQ(10u, vi.dwMinorVersion);
    } else if (want == "winme") {
        EXPECT_EQ(VER_PLATFORM_WIN32_WINDOWS, vi.dwPlatformId);
        EXPECT_EQ(90u, vi.dwMinorVersion);
    } else if (want == "win2k") {
        EXPECT_EQ(VER_PLATFORM_WIN32_NT, vi.dwPlatformId);
        EXPECT_EQ(5u, vi.dwMajorVersion);
        EXPECT_EQ(0u, vi.dwMinorVersion);
    } else {
        EXPECT_EQ(VER_PLATFORM_WIN32_NT, vi.dwPlatformId);
        EXPECT_EQ(5u, vi.dwMajorVersion);
        EXPECT_EQ(1u, vi.dwMinorVersion);
    }
}

TEST(Frame, MappedDriveShowsItsFolderAsRemovable)
{
    EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("Y:\\"));
    HANDLE h = CreateFileA("Y:\\marker.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    char buf[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
    CloseHandle(h);
    EXPECT_EQ("frame", std::string(buf, got));
}

TEST(Frame, WindowsCanBeCreatedOnTheDisplay)
{
    HWND w = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, w);
    RECT r = {};
    EXPECT_TRUE(GetClientRect(w, &r));
    EXPECT_GT(r.right, 0);
    DestroyWindow(w);
}

}  // namespace
