// QV_SysCtrl.dll on the simulated player's memory: the program copies files to
// X:\ through the file system, then rewrites their play order through \\.\X:,
// and both views stay one volume.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "host_tools.h"

namespace {

const std::string State = std::string(MB_SYSCTRL_WORK) + "/memory_x";
const std::string Image = State + "/internal/raw/image";

std::vector<std::string> Body(std::vector<std::string> listing)
{
    if (!listing.empty()) listing.erase(listing.begin());
    return listing;
}

std::string Content(const std::string& name)
{
    // Every file holds its own name many times over, so a file whose entry
    // pointed at another file's clusters would read wrong.
    std::string text;
    while (text.size() < 9000) text += name + "\n";
    return text;
}

bool WriteWhole(const std::string& path, const std::string& data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, data.data(), DWORD(data.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == data.size();
}

std::string ReadWhole(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    CloseHandle(h);
    return data;
}

TEST(SysCtrlOnPlayerMemory, FilesJustCopiedToThePlayerAreReorderedThroughTheRawDevice)
{
    const std::vector<std::string> names = {"Track Three.mp3", "Track One.mp3", "Second Song.mp3", "INTRO.MP3"};
    CreateDirectoryA("X:\\MUSIC", nullptr);
    const std::string source = WorkFolder("memory_source");
    for (const auto& n : names) {
        const std::string from = DevicePath(source + "/" + n);
        ASSERT_TRUE(WriteWhole(from, Content(n))) << from;
        ASSERT_TRUE(CopyFileA(from.c_str(), ("X:\\MUSIC\\" + n).c_str(), FALSE)) << n << " " << GetLastError();
    }
    ASSERT_EQ(names, Body(ListFolder(Image, "::/MUSIC")));

    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("X:\\"));
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("X:\\MUSIC\\"));

    std::vector<std::string> wanted = names;
    std::sort(wanted.begin(), wanted.end());
    ctrl.SetFileNum(int(wanted.size()));
    for (const auto& n : wanted) ASSERT_GT(ctrl.AddFileName(n.c_str()), 0);
    ASSERT_EQ(QV_SUCCESS, ctrl.SetFileOrder("X:\\MUSIC\\"));

    EXPECT_EQ(wanted, Body(ListFolder(Image, "::/MUSIC")));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    // The file view sees the rewritten folder at once, with every file whole.
    for (const auto& n : names) EXPECT_EQ(Content(n), ReadWhole("X:\\MUSIC\\" + n)) << n;
}

TEST(SysCtrlOnPlayerMemory, AFileTheListLeavesOutStopsTheWriteAndStaysOnThePlayer)
{
    CreateDirectoryA("X:\\VOICE", nullptr);
    ASSERT_TRUE(WriteWhole("X:\\VOICE\\Kept One.wav", Content("one")));
    ASSERT_TRUE(WriteWhole("X:\\VOICE\\Kept Two.wav", Content("two")));
    const std::string before = Sha256(Image);

    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ASSERT_EQ(QV_SUCCESS, ctrl.InitDirectory("X:\\"));
    ctrl.SetFileNum(1);
    ctrl.AddFileName("Kept Two.wav");
    EXPECT_EQ(QV_FILE_NOT_FOUND, ctrl.SetFileOrder("X:\\VOICE\\"));

    EXPECT_EQ(before, Sha256(Image));
    EXPECT_EQ(Content("one"), ReadWhole("X:\\VOICE\\Kept One.wav"));
}

}  // namespace
