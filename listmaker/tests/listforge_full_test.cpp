// Saving onto a memory without a free cluster (drive W, filled by
// data/fill-player.sh --full): the failure is shown, the list stays unsaved,
// and no cut file is left to pass for a saved list.
#include "listforge_test_util.h"

namespace {
class FullMemory : public mbtest::GuiTest {
protected:
    FullMemory() : mbtest::GuiTest(30000) {}
};
}  // namespace

TEST_F(FullMemory, SaveFailsVisiblyAndKeepsTheChanges)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    TestListForgeDlg dlg("W:\\");
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ("vilo lark", dlg.Tree().GetItemText(dlg.Tree().GetRootItem()));
    dlg.openPaths = {"W:\\LISTS\\ONE.M3U"};
    dlg.OpenM3u();
    // Enough rows that the text needs more than the directory entry.
    for (int i = 0; i < 200; ++i)
        dlg.Playlist().Insert(-1, "A_SONG.MP3", "W:\\MUSIC\\A_SONG.MP3", -1);
    ASSERT_TRUE(dlg.IsModified());
    ASSERT_EQ(0u, prompter.Count()) << prompter.Text(0);

    dlg.savePath = "W:\\LISTS\\BIG.M3U";
    dlg.SaveM3u();
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("Failed to create an M3U file.  Please select another directory, or try again.", prompter.Text(0));
    EXPECT_TRUE(dlg.IsModified());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA("W:\\LISTS\\BIG.M3U"));

    // Closing still asks to save.
    ::PostMessageW(dlg, WM_CLOSE, 0, 0);
    mbtest::PumpFor(100);
    ASSERT_EQ(3u, prompter.Count());
    EXPECT_EQ("The file list is not saved. Do you want to save it?", prompter.Text(1));
}

// Saving over an existing list when the new text does not fit: the old list
// stays whole, and nothing else is left in its folder.
TEST_F(FullMemory, FailedSaveOverAListKeepsTheOldList)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    const std::string before = lftest::ReadWholeFile("W:\\LISTS\\ONE.M3U");
    ASSERT_EQ("E:\\MUSIC\\A_SONG.MP3\r\n", before);
    TestListForgeDlg dlg("W:\\");
    ASSERT_TRUE(dlg.Create());
    // The list opened, made longer, and saved under its own name.
    dlg.openPaths = {"W:\\LISTS\\ONE.M3U"};
    dlg.OpenM3u();
    for (int i = 0; i < 200; ++i)
        dlg.Playlist().Insert(-1, "A_SONG.MP3", "W:\\MUSIC\\A_SONG.MP3", -1);
    ASSERT_EQ(0u, prompter.Count()) << prompter.Text(0);
    dlg.savePath = "W:\\LISTS\\ONE.M3U";
    dlg.SaveM3u();
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("Failed to create an M3U file.  Please select another directory, or try again.", prompter.Text(0));
    EXPECT_TRUE(dlg.IsModified());
    EXPECT_EQ(before, lftest::ReadWholeFile("W:\\LISTS\\ONE.M3U"));
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA("W:\\LISTS\\*", &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    do {
        if (fd.cFileName[0] != '.')
            names.push_back(fd.cFileName);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    EXPECT_EQ(std::vector<std::string>({"ONE.M3U"}), names);
}
