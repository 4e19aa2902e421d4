// A memory formatted from the window takes downloads, a new play order and a
// delete: the served memory E: is formatted by the format tool (the memory
// command), then files are downloaded to it, reordered and one deleted; the
// image is checked from the host (mdir for the order, mtype and cmp for the
// bytes, fsck.fat -n).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FsckOutput.h"
#include "GuiTest.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "StringIds.h"
#include "Text.h"

namespace {

const std::string kState = FORMAT_MEMORY_STATE;
const std::string kImage = kState + "/internal/raw/image";
const std::string kPc = kState + "/pc";

// Runs a host command: "" unless it failed, then its status and output.
std::string Host(const std::string& command, std::string* output = nullptr)
{
    mbtest::HostResult r = mbtest::RunHostCommand(command, kState);
    if (output) *output = r.Output;
    return r.Status == 0 ? "" : "status " + std::to_string(r.Status) + ": " + r.Output;
}

std::string HostOutput(const std::string& command)
{
    std::string out;
    const std::string failed = Host(command, &out);
    return failed.empty() ? out : failed;
}

// The root's names in directory order, as mdir lists them.
std::string DiskOrder()
{
    std::string order = HostOutput("mdir -b -i " + mbtest::ShellQuote(kImage) + " ::/ | sed -e 's:/$::' -e 's:.*/::' | tr '\\n' ' '");
    while (!order.empty() && order.back() == ' ') order.pop_back();
    return order;
}

// Sectors per cluster of the image's boot sector.
int SectorsPerCluster() { return std::atoi(HostOutput("od -An -tu1 -j13 -N1 " + mbtest::ShellQuote(kImage)).c_str()); }

std::string FsckProblems()
{
    std::string out;
    const std::string failed = Host("fsck.fat -n " + mbtest::ShellQuote(kImage), &out);
    return failed.empty() ? FsckComplaints(out) : "fsck.fat: " + failed;
}

class CLabelAnsweringDlg : public CManagerDlg {
public:
    bool AskVolumeLabel(const std::string&, std::string& label) override
    {
        label = "AFTER";
        return true;
    }
};

std::string Rows(CListCtrl& list)
{
    std::string out;
    for (int i = 0; i < list.GetItemCount(); ++i) out += (out.empty() ? "" : " ") + list.GetItemText(i, 0);
    return out;
}

class PlayerMemoryAfterFormat : public mbtest::GuiTest {
protected:
    PlayerMemoryAfterFormat() : mbtest::GuiTest(150000) {}
    mbtest::CRecordingPrompter m_prompter{IDYES};
};

}  // namespace

TEST_F(PlayerMemoryAfterFormat, DownloadAndReorderAfterAFormat)
{
    // The memory as the player left it: one-sector clusters (the format
    // tool lays out larger ones), the player's settings and old songs.
    ASSERT_EQ("", Host("set -e; mkfs.fat -F 16 -S 512 -s 1 -n OLD " + mbtest::ShellQuote(kImage) +
                       " >/dev/null; head -c 700 /dev/urandom >" + mbtest::ShellQuote(kState + "/SETTINGS.DAT") +
                       "; for f in old1 old2 old3; do head -c 9000 /dev/urandom > " + mbtest::ShellQuote(kState) +
                       "/$f.mp3; mcopy -i " + mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote(kState) + "/$f.mp3 ::/; done; mcopy -i " +
                       mbtest::ShellQuote(kImage) + " " + mbtest::ShellQuote(kState + "/SETTINGS.DAT") + " ::/; rm -rf " + mbtest::ShellQuote(kPc) +
                       "; mkdir " + mbtest::ShellQuote(kPc) + "; n=40000; for f in one two three; do n=$((n + 12345)); head -c $n " +
                       "/dev/urandom > " + mbtest::ShellQuote(kPc) + "/$f.mp3; done"));
    ASSERT_EQ(1, SectorsPerCluster());
    // A program folder of the test's own holds the tool and the backup.
    char temp[MAX_PATH], current[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetCurrentDirectoryA(MAX_PATH, current);
    const std::string program = std::string(temp) + "format-program\\";
    CreateDirectoryA(program.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((std::string(current) + "\\qvusbmscformat.exe").c_str(),
                          (program + "qvusbmscformat.exe").c_str(), FALSE));

    CLabelAnsweringDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000));
    for (UINT_PTR id : {1, 4, 12, 13}) dlg.KillTimer(id);
    g_programFolder = program;
    dlg.OsLevel = 3;
    dlg.ShowWindow(SW_SHOW);
    // Connected as detection leaves it: the settings backed up, the root
    // listed (which reads the old layout).
    dlg.m_memories[0].Root = "E:\\";
    dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
    SetFileAttributesA((program + "SETTINGS.DAT").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(dlg.BackupSettingsFile());
    TheSysCtrl().SetNewMedia();
    dlg.RebuildPlayerTree(dlg.m_memories[0], "E:\\");
    auto listed = [&](const std::string& rows) {
        return mbtest::PumpUntil([&] {
            return dlg.m_playerItem && dlg.m_playerItem == dlg.m_playerTree.GetRootItem() && Rows(dlg.m_playerList) == rows;
        }, 20000);
    };
    ASSERT_TRUE(listed("old1.mp3 old2.mp3 old3.mp3")) << Rows(dlg.m_playerList);

    // The memory command formats (Yes to its question); the tool's end lists
    // the empty memory, which has its settings back.
    ASSERT_TRUE(dlg.OnWindowCommand(commands::ID_MEMORY_FORMAT));
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_formatsFinished == 1; }, 60000));
    EXPECT_EQ(0u, dlg.m_formatToolExit);
    EXPECT_TRUE(dlg.IsWindowEnabled());
    ASSERT_TRUE(listed(""));
    EXPECT_EQ(nullptr, dlg.m_playerTree.GetChildItem(dlg.m_playerTree.GetRootItem()));
    EXPECT_EQ("SETTINGS.DAT", DiskOrder());
    EXPECT_EQ("", Host("mtype -i " + mbtest::ShellQuote(kImage) + " ::/SETTINGS.DAT | cmp - " + mbtest::ShellQuote(kState + "/SETTINGS.DAT")));
    EXPECT_LT(1, SectorsPerCluster());
    EXPECT_EQ("", FsckProblems());

    // Three files downloaded to the root, then the last moved to the top
    // twice: the order write must find the new layout.
    std::vector<std::string> files;
    for (const char* f : {"one.mp3", "two.mp3", "three.mp3"}) files.push_back(mbtest::HostWinPath(kPc + "/" + f));
    dlg.StartDownload(files, dlg.m_playerTree.GetRootItem(), TRANSFER_DOWNLOAD);
    ASSERT_EQ(CManagerDlg::OP_DOWNLOAD, dlg.m_runningOperation);
    ASSERT_TRUE(mbtest::PumpUntil(
        [&] { return !dlg.m_engine.GetStatus(nullptr) && dlg.m_runningOperation == CManagerDlg::OP_NONE; }, 60000));
    dlg.FillPlayerList();
    ASSERT_EQ("one.mp3 two.mp3 three.mp3", Rows(dlg.m_playerList));
    for (int move = 0; move < 2; ++move) {
        dlg.m_playerList.DeselectItem(-1);
        dlg.m_playerList.Select(dlg.m_playerList.FindRow("three.mp3"));
        dlg.WritePlayerFileOrder(0, 0);
    }
    EXPECT_EQ("three.mp3 one.mp3 two.mp3", Rows(dlg.m_playerList));
    EXPECT_EQ("SETTINGS.DAT three.mp3 one.mp3 two.mp3", DiskOrder());
    for (const char* f : {"one.mp3", "two.mp3", "three.mp3"})
        EXPECT_EQ("", Host("mtype -i " + mbtest::ShellQuote(kImage) + " ::/" + f + " | cmp - " + mbtest::ShellQuote(kPc + "/" + f))) << f;
    EXPECT_EQ("", FsckProblems());
    mbtest::SaveScreenshot(dlg, "format_download_reorder");

    // A delete keeps the others' order.
    dlg.m_playerList.DeselectItem(-1);
    dlg.m_playerList.Select(dlg.m_playerList.FindRow("one.mp3"));
    dlg.DeleteOnPlayer();
    EXPECT_EQ("three.mp3 two.mp3", Rows(dlg.m_playerList));
    EXPECT_EQ("SETTINGS.DAT three.mp3 two.mp3", DiskOrder());
    EXPECT_EQ("", FsckProblems());
    std::vector<std::string> said;
    for (size_t i = 0; i < m_prompter.Count(); ++i) said.push_back(m_prompter.Text(i));
    EXPECT_EQ((std::vector<std::string>{mb::LoadText(IDS_FORMAT_ASK), mb::LoadText(IDS_DOWNLOAD_STARTED),
                                        mb::LoadText(IDS_DELETE_ASK)}),
              said);
    dlg.DestroyWindow();
}
