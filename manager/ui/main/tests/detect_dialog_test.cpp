// Player detection in the main dialog of the test's own process, on served
// memories: K: the internal memory, L: a card (or a plain folder drive that
// is not the player's). The drive finder answers through a stand-in, since
// only the stand-in driver's letter carries the player's identity; sizes,
// labels and pulls are the daemon's and are checked with mtools.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AboutDlg.h"
#include "GuiTest.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "NoticeDlg.h"
#include "PlayOrder.h"
#include "PlayerCalls.h"
#include "StringIds.h"
#include "Text.h"
#include "VolumeLabelDlg.h"

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// A host shell command's output.
std::string RunHost(const std::string& command)
{
    return mbtest::RunHostCommand(command, Env("MB_DETECT_STATE")).Output;
}

std::string Memory(const std::string& verb, const std::string& name)
{
    return RunHost(Env("MB_MEMORY_SCRIPT") + " " + verb + " " + Env("MB_DETECT_STATE") + " " + name);
}

// The drive finder answers K: as the player's; the card's identity is the
// system's unless a test says L: is the player's too. Volume releases and
// copies are recorded.
class CStandInCalls : public CPlayerCalls {
public:
    unsigned long Mask = 1ul << ('K' - 'A');
    bool CardIsPlayers = false;
    int CopyRefusals = 0;  // copies that fail as Windows' CopyFile would
    std::vector<std::string> Log;

    unsigned long FindPlayerDrives() override { return Mask; }
    bool IsPlayerDrive(char letter, bool ntLine) override
    {
        Log.push_back(std::string("identity ") + letter);
        return (CardIsPlayers && letter == 'L') || CPlayerCalls::IsPlayerDrive(letter, ntLine);
    }
    // Windows refuses to replace a hidden or read-only file; Wine's CopyFile
    // replaces it anyway, so the refusal is made here.
    BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists) override
    {
        Log.push_back(std::string("copy ") + from + " -> " + to);
        const DWORD target = ::GetFileAttributesA(to);
        if (target != INVALID_FILE_ATTRIBUTES && (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) {
            ++CopyRefusals;
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return ::CopyFileA(from, to, failIfExists);
    }
    // A removable drive without its medium is still a removable drive;
    // Wine may answer otherwise for a letter whose folder stopped answering.
    UINT GetDriveTypeA(const char* root) override
    {
        return (root[0] == 'K' || root[0] == 'L') ? DRIVE_REMOVABLE : CPlayerCalls::GetDriveTypeA(root);
    }
    HANDLE CreateFileA(const char* name, DWORD, DWORD, DWORD, DWORD) override
    {
        Log.push_back(std::string("open ") + name);
        return reinterpret_cast<HANDLE>(0x77);
    }
    BOOL DeviceIoControl(HANDLE, DWORD code, void*, DWORD, void*, DWORD, DWORD*) override
    {
        Log.push_back("ioctl " + std::to_string(code));
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override
    {
        Log.push_back("close");
        return TRUE;
    }
};

class Detection : public mbtest::GuiTest {
protected:
    Detection() : mbtest::GuiTest(90000) {}

    void SetUp() override
    {
        ASSERT_FALSE(Env("MB_DETECT_STATE").empty());
        // A run that ended inside a pull left a memory out.
        static bool inserted = false;
        if (!inserted) {
            Memory("insert", "internal");
            Memory("insert", "external");
            inserted = true;
        }
        // The settings backup goes to a program folder of the test's own.
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        m_programFolder = std::string(temp) + "detect-program\\";
        ::CreateDirectoryA(m_programFolder.c_str(), nullptr);
        ::SetFileAttributesA((m_programFolder + "SETTINGS.DAT").c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA((m_programFolder + "SETTINGS.DAT").c_str());
        ::SetFileAttributesA("K:\\SETTINGS.DAT", FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA("K:\\SETTINGS.DAT");
    }

    bool Open(CManagerDlg& dlg)
    {
        dlg.m_playerCalls = &m_calls;
        if (!dlg.Create())
            return false;
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        for (UINT_PTR id : {1, 4, 12, 13})
            dlg.KillTimer(id);
        dlg.OsLevel = 3;
        dlg.ShowWindow(SW_SHOW);
        g_programFolder = m_programFolder;
        return ready && IsWindow(dlg.m_hWnd);
    }
    // One tick of the watch; the timer it re-arms is stopped again, so that
    // no tick of its own runs while the test pumps messages.
    static void Tick(CManagerDlg& dlg)
    {
        dlg.Send(WM_TIMER, 1, 0);
        dlg.KillTimer(1);
    }
    static bool Enabled(CManagerDlg& dlg, UINT id)
    {
        return dlg.m_skin.HasButton(id) && dlg.m_skin.Button(id).GetState() != CSkinButton::STATE_DISABLED;
    }

    CStandInCalls m_calls;
    mbtest::CRecordingPrompter m_prompter;
    std::string m_programFolder;
};

void WriteFileText(const std::string& path, const std::string& text, DWORD attributes)
{
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream(path, std::ios::binary) << text;
    ::SetFileAttributesA(path.c_str(), attributes);
}

std::string ReadText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// "  16 384 bytes free" or "16384 bytes free" from mdir.
unsigned long long MdirFreeBytes(const std::string& listing)
{
    const size_t at = listing.find(" bytes free");
    if (at == std::string::npos)
        return ~0ull;
    size_t start = at;
    while (start > 0 && (isdigit(static_cast<unsigned char>(listing[start - 1])) || listing[start - 1] == ' '))
        --start;
    unsigned long long n = 0;
    for (size_t i = start; i < at; ++i)
        if (isdigit(static_cast<unsigned char>(listing[i])))
            n = n * 10 + unsigned(listing[i] - '0');
    return n;
}

}  // namespace

TEST_F(Detection, FindsThePlayerWithinTheWatchAndConnectsThePane)
{
    const int deletedBefore = CNoticeDlg::s_deleted;
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    Tick(dlg);
    ASSERT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory) << dlg.m_message;
    EXPECT_EQ("K:\\", dlg.m_memories[0].Root);
    EXPECT_GT(dlg.m_memories[0].TotalBytes, 15000000ull);
    EXPECT_FALSE(dlg.m_memories[0].DisplayName.empty());
    // The card's letter is a plain folder drive: never taken as the card.
    EXPECT_TRUE(dlg.m_memories[1].Root.empty());
    EXPECT_EQ(0ull, dlg.m_memories[1].TotalBytes);
    for (UINT id : {1089u, 1090u, 1048u, 1086u, 1087u})
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1089).GetState());
    EXPECT_TRUE(dlg.m_connectedLook);
    EXPECT_EQ(mb::LoadText(IDS_DISCONNECT), dlg.GetItemText(1040));
    EXPECT_TRUE(dlg.IsWindowEnabled());
    // The notice closes and deletes itself once messages flow.
    EXPECT_TRUE(mbtest::PumpUntil([&] { return CNoticeDlg::s_deleted == deletedBefore + 1; }));
    mbtest::SaveScreenshot(dlg, "detect_connected");

    // Free space as mtools counts it in the image (Wine rounds to 4 KiB).
    unsigned long long freeBytes = 0, totalBytes = 0;
    EXPECT_NE(0ul, dlg.GetMemorySpace(0, &freeBytes, &totalBytes));
    const std::string listing = RunHost("mdir -i " + Env("MB_DETECT_STATE") + "/internal/raw/image ::");
    const unsigned long long mdirFree = MdirFreeBytes(listing);
    ASSERT_NE(~0ull, mdirFree) << listing;
    EXPECT_LE(freeBytes > mdirFree ? freeBytes - mdirFree : mdirFree - freeBytes, 4096ull)
        << freeBytes << " against mdir's " << mdirFree;

    // Asking for the card: it is not there, the internal memory stays shown.
    EXPECT_EQ(0, dlg.SelectMemory(1, 1));
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_NO_EXTERNAL_MEMORY), m_prompter.Text(0));
    EXPECT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1089).GetState());
    EXPECT_EQ(CSkinButton::STATE_NORMAL, dlg.m_skin.Button(1090).GetState());
    dlg.DestroyWindow();
}

TEST_F(Detection, TheCardIsTheNextLetterOnlyWhenItIsThePlayers)
{
    m_calls.CardIsPlayers = true;
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    Tick(dlg);
    ASSERT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    EXPECT_EQ(1, dlg.SelectMemory(1, 1));
    EXPECT_EQ(0u, m_prompter.Count());
    EXPECT_EQ(CManagerDlg::MEMORY_EXTERNAL, dlg.m_currentMemory);
    EXPECT_EQ("L:\\", dlg.m_memories[1].Root);
    EXPECT_GT(dlg.m_memories[1].TotalBytes, 3000000ull);
    EXPECT_LT(dlg.m_memories[1].TotalBytes, 5000000ull);
    EXPECT_EQ(2048, dlg.m_fileKindFilter);  // all files of the card
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1090).GetState());
    dlg.DestroyWindow();
}

TEST_F(Detection, SettingsBackupIsRefreshedOverHiddenReadOnlyAttributes)
{
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    WriteFileText("K:\\SETTINGS.DAT", "presets of today", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    WriteFileText(m_programFolder + "SETTINGS.DAT", "presets of last week", kept);
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    EXPECT_FALSE(dlg.BackupSettingsFile());  // no player: nothing is copied anywhere
    dlg.m_memories[0].Root = "K:\\";
    EXPECT_TRUE(dlg.BackupSettingsFile());
    EXPECT_EQ(0, m_calls.CopyRefusals);
    EXPECT_EQ("presets of today", ReadText(m_programFolder + "SETTINGS.DAT"));

    // A copy that fails is reported, and the old backup stays as it was.
    WriteFileText(m_programFolder + "SETTINGS.DAT", "presets of last week", kept);
    WriteFileText("K:\\SETTINGS.DAT", "presets of tomorrow", FILE_ATTRIBUTE_NORMAL);
    struct CRefusing : CStandInCalls {
        BOOL CopyFileA(const char*, const char*, BOOL) override
        {
            ::SetLastError(ERROR_WRITE_PROTECT);
            return FALSE;
        }
    } broken;
    dlg.m_playerCalls = &broken;
    dlg.m_memories[0].Root = "K:\\";
    EXPECT_FALSE(dlg.BackupSettingsFile());
    ::SetFileAttributesA((m_programFolder + "SETTINGS.DAT").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("presets of last week", ReadText(m_programFolder + "SETTINGS.DAT"));
    dlg.m_playerCalls = &m_calls;

    // A player without the file gets the backup back, never over a file.
    ::SetFileAttributesA("K:\\SETTINGS.DAT", FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA("K:\\SETTINGS.DAT");
    EXPECT_TRUE(dlg.BackupSettingsFile());
    EXPECT_EQ("presets of last week", ReadText("K:\\SETTINGS.DAT"));
    ::DeleteFileA("K:\\SETTINGS.DAT");
    dlg.DestroyWindow();
}

// Pulled while the window shows it: the listing, the space query and the
// order write that come before the watch notices all return, the order
// write writes nothing and says why, and a playlist maker that does not
// answer never stops the window from answering.
TEST_F(Detection, PullingTheMemoryDisconnectsAndInsertingItConnectsAgain)
{
    for (const char* name : {"K:\\first.mp3", "K:\\second.mp3"})
        std::ofstream(name, std::ios::binary) << std::string(3000, 'x');
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    Tick(dlg);
    ASSERT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    dlg.FillPlayerList();
    ASSERT_EQ(2, dlg.m_playerList.GetItemCount());
    dlg.m_playerList.Select(0);

    // A playlist maker that does not answer: its thread waits and pumps no
    // messages until the window has dealt with the pull.
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr), go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    volatile LONG makerClosed = 0;
    mbtest::CBackgroundRun maker([&] {
        CAboutDlg window;
        if (!window.Create())
            return;
        ::SetWindowTextW(window.m_hWnd, L"ListForge");
        ::SetEvent(ready);
        ::WaitForSingleObject(go, INFINITE);
        mbtest::PumpUntil([&] { return !window.m_hWnd; }, 20000);
        ::InterlockedExchange(&makerClosed, window.m_hWnd ? 0 : 1);
        if (window.m_hWnd)
            window.DestroyWindow();
    });
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready, 30000));
    m_calls.Log.clear();

    Tick(dlg);  // still there: nothing happens
    EXPECT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    EXPECT_TRUE(m_calls.Log.empty());

    Memory("pull", "internal");
    // The daemon's pull reaches Wine's view of the drive soon, not at once.
    EXPECT_TRUE(mbtest::PumpUntil([] { return ::GetFileAttributesA("K:\\") == INVALID_FILE_ATTRIBUTES; }, 20000));
    dlg.UpdateSpaceInfo(1);
    dlg.FillPlayerList();
    dlg.m_playerList.Select(0);
    const size_t asked = m_prompter.Count();
    dlg.WritePlayerFileOrder(playerpane::MOVE_DOWN, 0);
    ASSERT_EQ(asked + 1, m_prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_NOT_COMMUNICATING), m_prompter.Text(asked));

    EXPECT_TRUE(mbtest::PumpUntil(
        [&] {
            Tick(dlg);
            return dlg.m_currentMemory == CManagerDlg::MEMORY_NONE;
        },
        20000));
    EXPECT_TRUE(dlg.m_memories[0].Root.empty());
    EXPECT_EQ(0, dlg.m_playerList.GetItemCount());
    EXPECT_EQ(nullptr, dlg.m_playerTree.GetRootItem());
    for (UINT id : {1089u, 1090u, 1048u, 1086u, 1087u, 1088u, 1092u})
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    EXPECT_FALSE(::IsWindowEnabled(dlg.GetDlgItem(1115)));
    EXPECT_FALSE(dlg.m_pathEdit.IsWindowEnabled());
    EXPECT_EQ("", dlg.GetItemText(1194));
    EXPECT_EQ(mb::LoadText(IDS_CONNECT), dlg.GetItemText(1040));
    // The playlist maker was asked to close: it does once it answers again.
    ::SetEvent(go);
    EXPECT_TRUE(maker.Finish(30000));
    EXPECT_EQ(1, makerClosed);
    ::CloseHandle(ready);
    ::CloseHandle(go);
    // K: was released: locked and dismounted, not ejected.
    std::vector<std::string> release(m_calls.Log.begin(), m_calls.Log.end());
    EXPECT_EQ((std::vector<std::string>{"open \\\\.\\K:", "ioctl " + std::to_string(0x90018),
                                        "ioctl " + std::to_string(0x90020), "close"}),
              release);
    mbtest::SaveScreenshot(dlg, "detect_pulled");

    // While it is out the watch finds nothing (the finder still names K:).
    Tick(dlg);
    EXPECT_EQ(CManagerDlg::MEMORY_NONE, dlg.m_currentMemory);

    Memory("insert", "internal");
    EXPECT_TRUE(mbtest::PumpUntil(
        [&] {
            Tick(dlg);
            return dlg.m_currentMemory == CManagerDlg::MEMORY_INTERNAL;
        },
        20000));
    EXPECT_EQ("K:\\", dlg.m_memories[0].Root);
    dlg.DestroyWindow();
    ::DeleteFileA("K:\\first.mp3");
    ::DeleteFileA("K:\\second.mp3");
}

// Only the card goes away: its letter is released (not the internal
// memory's), and the window falls back to the internal memory.
TEST_F(Detection, PullingTheShownCardFallsBackToTheInternalMemory)
{
    m_calls.CardIsPlayers = true;
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    Tick(dlg);
    ASSERT_EQ(1, dlg.SelectMemory(1, 1));
    dlg.KillTimer(1);
    ASSERT_EQ(CManagerDlg::MEMORY_EXTERNAL, dlg.m_currentMemory);
    m_calls.Log.clear();
    Memory("pull", "external");
    EXPECT_TRUE(mbtest::PumpUntil(
        [&] {
            Tick(dlg);
            return !m_calls.Log.empty();
        },
        20000));
    Memory("insert", "external");
    ASSERT_FALSE(m_calls.Log.empty());
    EXPECT_EQ("open \\\\.\\L:", m_calls.Log[0]);
    for (const std::string& line : m_calls.Log)
        EXPECT_NE("open \\\\.\\K:", line);
    EXPECT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    EXPECT_EQ("K:\\", dlg.m_memories[0].Root);
    EXPECT_EQ(CSkinButton::STATE_SELECTED, dlg.m_skin.Button(1089).GetState());
    EXPECT_TRUE(dlg.m_connectedLook);
    EXPECT_EQ(0u, m_prompter.Count());  // the fall-back asks nothing
    dlg.DestroyWindow();
}

// Windows 98/ME: every memory shows icon 7, and a memory that stops
// answering is released through vwin32's DOS services.
TEST_F(Detection, On98TheIconIsSevenAndTheReleaseGoesThroughVwin32)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    dlg.OsLevel = 0;
    Tick(dlg);
    ASSERT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    EXPECT_EQ(7, dlg.m_memories[0].Icon);
    EXPECT_EQ(7, dlg.m_memories[0].SelectedIcon);
    m_calls.Log.clear();
    dlg.m_memories[0].Root = "B:\\";  // a letter that does not answer
    Tick(dlg);
    EXPECT_EQ(CManagerDlg::MEMORY_NONE, dlg.m_currentMemory);
    ASSERT_FALSE(m_calls.Log.empty());
    EXPECT_EQ("open \\\\.\\vwin32", m_calls.Log[0]);
    EXPECT_EQ("close", m_calls.Log.back());
    dlg.DestroyWindow();
}

TEST_F(Detection, DisconnectStopsTheWatchUntilConnect)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    dlg.Send(WM_COMMAND, 32812, 0);  // Connect
    ASSERT_EQ(CManagerDlg::MEMORY_INTERNAL, dlg.m_currentMemory);
    // The FM preset dialog (Korean title) and the playlist maker work on the
    // player: a disconnect closes them.
    CAboutDlg fmPresets, listForge, other;
    ASSERT_TRUE(fmPresets.Create() && listForge.Create() && other.Create());
    ::SetWindowTextW(fmPresets.m_hWnd, L"FM \xD504\xB9AC\xC14B");
    ::SetWindowTextW(listForge.m_hWnd, L"ListForge");
    ::SetWindowTextW(other.m_hWnd, L"FM Presets of another program");
    dlg.Send(WM_COMMAND, 32812, 0);  // Disconnect
    // (A dialog answers WM_CLOSE with a posted Cancel.)
    EXPECT_TRUE(mbtest::PumpUntil([&] { return !fmPresets.m_hWnd && !listForge.m_hWnd; }));
    EXPECT_NE(nullptr, other.m_hWnd);
    other.DestroyWindow();
    EXPECT_EQ(CManagerDlg::MEMORY_NONE, dlg.m_currentMemory);
    EXPECT_TRUE(dlg.m_memories[0].Root.empty());
    EXPECT_FALSE(dlg.m_connectedLook);
    dlg.DestroyWindow();
}

// The label dialog refuses 12 characters; 11 reach the image. (Wine's label
// of a served drive is not read back reliably after pulls and label changes,
// so the label is read from the image with mtools.)
TEST_F(Detection, VolumeLabelOfElevenCharactersReachesTheImage)
{
    {
        // No root, no label (an empty root would name the current drive).
        CManagerDlg dlg;
        ASSERT_TRUE(Open(dlg));
        EXPECT_EQ("", dlg.GetVolumeLabel(1));
        dlg.DestroyWindow();
    }
    CVolumeLabelDlg label;
    label.SetLabel("VILO");
    mbtest::CBackgroundRun run([&] { label.DoModal(); });
    HWND window = mbtest::WaitForWindow(L"Set volume label");
    ASSERT_NE(nullptr, window);
    ::SetDlgItemTextA(window, 1197, "TWELVECHARSX");
    ::SendMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(::IsWindow(window));
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("Please enter no more than 11 characters.", m_prompter.Text(0));
    ::SetDlgItemTextA(window, 1197, "MUSIC2GO_11");
    mbtest::SaveScreenshot(window, "volume_label");
    ::SendMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return !::IsWindow(window); }));
    EXPECT_TRUE(run.Finish());
    EXPECT_EQ("MUSIC2GO_11", label.GetLabel());
    ASSERT_TRUE(::SetVolumeLabelA("K:\\", label.GetLabel().c_str())) << ::GetLastError();
    const std::string shown = RunHost("mlabel -s -i " + Env("MB_DETECT_STATE") + "/internal/raw/image ::");
    EXPECT_NE(std::string::npos, shown.find("MUSIC2GO_11")) << shown;

    ::SetVolumeLabelA("K:\\", "VILO");
}
