// Deleting on the player, formatting a memory and the configuration dialog,
// in the test's own process, on a served memory mapped as drive E.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "ConfigDlg.h"
#include "FormatDlg.h"
#include "GuiTest.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "NoticeDlg.h"
#include "registry/RegistryKey.h"

namespace {
const char kRoot[] = "E:\\";

// The label question answered as a user would.
class CTestManagerDlg : public CManagerDlg {
public:
    bool AskVolumeLabel(const std::string& current, std::string& label) override
    {
        ++asked;
        label = answer;
        return !cancel;
    }
    std::string answer = "NEWLARK";
    bool cancel = false;
    int asked = 0;
};

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = data.cFileName;
        if (n != "." && n != ".." && n != ".windows-label") names.push_back(n);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream f(path, std::ios::binary);
    f << text;
    return bool(f);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The label as the player reads it: the volume-label entry of the root
// directory, read through the raw device (Wine's own label query does not
// read a served memory's root).
std::string VolumeLabel(const std::string& root)
{
    const std::string device = "\\\\.\\" + root.substr(0, 2);
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(no raw device)";
    std::vector<unsigned char> boot(512);
    DWORD done = 0;
    ::ReadFile(h, boot.data(), 512, &done, nullptr);
    const unsigned reserved = boot[14] | boot[15] << 8, fats = boot[16], entries = boot[17] | boot[18] << 8;
    const unsigned perFat = boot[22] | boot[23] << 8;
    std::vector<unsigned char> dir(size_t(entries) * 32);
    LONG high = 0;
    SetFilePointer(h, LONG((reserved + fats * perFat) * 512), &high, FILE_BEGIN);
    ::ReadFile(h, dir.data(), DWORD(dir.size()), &done, nullptr);
    CloseHandle(h);
    for (size_t at = 0; at + 32 <= dir.size() && dir[at] != 0; at += 32) {
        if (dir[at] == 0xE5 || (dir[at + 11] & 0x0F) == 0x0F || !(dir[at + 11] & 0x08)) continue;
        std::string label(reinterpret_cast<char*>(&dir[at]), 11);
        while (!label.empty() && (label.back() == ' ' || label.back() == 0)) label.pop_back();
        return label;
    }
    return "";
}

struct FoundNotice {
    HWND window = nullptr;
    char text[256] = {};
};

BOOL CALLBACK FindNotice(HWND h, LPARAM p)
{
    auto* f = reinterpret_cast<FoundNotice*>(p);
    if (!IsWindowVisible(h) || !GetDlgItem(h, IDC_NOTICE_TEXT) || !GetDlgItem(h, IDC_NOTICE_ICON)) return TRUE;
    f->window = h;
    GetDlgItemTextA(h, IDC_NOTICE_TEXT, f->text, sizeof f->text);
    return FALSE;
}

// The text of this thread's visible notice (template 177), "" with none.
std::string ShownNotice(HWND* window = nullptr)
{
    FoundNotice found;
    EnumThreadWindows(GetCurrentThreadId(), FindNotice, LPARAM(&found));
    if (window) *window = found.window;
    return found.text;
}

// Answers as the recording prompter does and notes the notice on screen at
// each question (a picture of the first one shown).
class CNoticeNotingPrompter : public mbtest::CRecordingPrompter {
public:
    using CRecordingPrompter::CRecordingPrompter;
    int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override
    {
        HWND window = nullptr;
        notices.push_back(ShownNotice(&window));
        if (window && !pictured) pictured = !mbtest::SaveScreenshot(window, "delete_notice").empty();
        return CRecordingPrompter::Prompt(owner, text, caption, type);
    }
    std::vector<std::string> notices;
    bool pictured = false;
};

class PlayerMemory : public mbtest::GuiTest {
protected:
    PlayerMemory() : mbtest::GuiTest(90000) {}

    // A program folder of the suite's own, holding the format tool, so that
    // the settings file's backup is never another test program's.
    void SetUp() override
    {
        char temp[MAX_PATH], current[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        GetCurrentDirectoryA(MAX_PATH, current);
        m_programFolder = std::string(temp) + "format-program\\";
        CreateDirectoryA(m_programFolder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA((std::string(current) + "\\qvusbmscformat.exe").c_str(),
                              (m_programFolder + "qvusbmscformat.exe").c_str(), FALSE));
        SetFileAttributesA((m_programFolder + "SETTINGS.DAT").c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((m_programFolder + "SETTINGS.DAT").c_str());
        g_programFolder = m_programFolder;
    }

    bool Open(CManagerDlg& dlg)
    {
        if (!dlg.Create()) return false;
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        for (UINT_PTR id : {1, 4, 12, 13}) dlg.KillTimer(id);
        g_programFolder = m_programFolder;
        dlg.m_memories[0].Root = kRoot;
        dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
        dlg.OsLevel = 3;
        return ready && IsWindow(dlg.m_hWnd);
    }
    // The memory's root as player detection shows it; the tree's selection
    // lists it (timer 10).
    static bool ShowRoot(CManagerDlg& dlg)
    {
        TheSysCtrl().SetNewMedia();
        dlg.RebuildPlayerTree(dlg.m_memories[0], kRoot);
        return mbtest::PumpUntil([&] {
            return dlg.m_playerItem && dlg.m_playerItem == dlg.m_playerTree.GetRootItem() &&
                   dlg.m_playerItem == dlg.m_playerTree.GetSelectedItem();
        }, 10000);
    }
    // The rows the pane would show, the named ones selected.
    static void ShowRows(CManagerDlg& dlg, const std::vector<std::string>& rows, const std::vector<std::string>& selected)
    {
        dlg.InitPlayerListColumns();
        dlg.m_playerList.DeleteAllItems();
        for (const std::string& r : rows) {
            int i = dlg.m_playerList.InsertItem(dlg.m_playerList.GetItemCount(), r);
            if (std::find(selected.begin(), selected.end(), r) != selected.end()) dlg.m_playerList.Select(i);
        }
    }
    static std::vector<std::string> Rows(CManagerDlg& dlg)
    {
        std::vector<std::string> out;
        for (int i = 0; i < dlg.m_playerList.GetItemCount(); ++i) out.push_back(dlg.m_playerList.GetItemText(i, 0));
        return out;
    }
    static void Clear(const std::string& folder = kRoot)
    {
        for (const std::string& n : Names(folder)) {
            std::string path = folder + n;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
                Clear(path + "\\");
                RemoveDirectoryA(path.c_str());
            } else {
                DeleteFileA(path.c_str());
            }
        }
    }

    std::string m_programFolder;
    CNoticeNotingPrompter m_prompter{IDYES};
};
}  // namespace

// ---------------------------------------------------------------- deleting

TEST_F(PlayerMemory, DeletesFilesAndAFolderTreeBottomUp)
{
    Clear();
    for (const char* n : {"first.mp3", "second.mp3", "third.mp3", "keep.mp3"}) ASSERT_TRUE(WriteFile(std::string(kRoot) + n, n));
    ASSERT_TRUE(CreateDirectoryA("E:\\ALBUM", nullptr));
    ASSERT_TRUE(CreateDirectoryA("E:\\ALBUM\\DISC", nullptr));
    ASSERT_TRUE(WriteFile("E:\\ALBUM\\one.mp3", "1"));
    ASSERT_TRUE(WriteFile("E:\\ALBUM\\DISC\\two.mp3", "2"));
    CTestManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    HTREEITEM root = dlg.InsertPlayerTreeItem("VILO", nullptr);
    dlg.InsertPlayerTreeItem("ALBUM", root);
    dlg.m_playerItem = root;
    ShowRows(dlg, {"ALBUM", "first.mp3", "second.mp3", "third.mp3", "keep.mp3"}, {"ALBUM", "second.mp3", "third.mp3"});
    // A Cancel pressed before the delete must not stop it.
    g_standaloneCancel = 1;
    const int noticesGone = CNoticeDlg::s_deleted;
    dlg.DeleteOnPlayer();
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("Do you want to delete the selected file(s) or folder(s)?", m_prompter.Text(0));
    // The please-wait notice came after the question and is gone again.
    EXPECT_EQ("", m_prompter.notices[0]);
    EXPECT_EQ("Please wait for Deleting the file(s)...", CNoticeDlg::s_lastText);
    EXPECT_EQ(noticesGone + 1, CNoticeDlg::s_deleted);
    EXPECT_EQ("", ShownNotice());
    EXPECT_EQ((std::vector<std::string>{"first.mp3", "keep.mp3"}), Rows(dlg));
    EXPECT_EQ((std::vector<std::string>{"first.mp3", "keep.mp3"}), Names(kRoot));
    EXPECT_EQ(nullptr, dlg.m_playerTree.GetChildItem(root));
    EXPECT_EQ(3, dlg.m_deleteRowsDone);
    EXPECT_EQ("first.mp3", ReadFile("E:\\first.mp3"));
    EXPECT_TRUE(dlg.IsWindowEnabled());
    dlg.DestroyWindow();
}

TEST_F(PlayerMemory, RefusalsComeBeforeAnythingIsDeleted)
{
    Clear();
    ASSERT_TRUE(WriteFile("E:\\SETTINGS.DAT", "presets"));
    ASSERT_TRUE(WriteFile("E:\\song.mp3", "song"));
    CTestManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    const struct { std::vector<std::string> selected; int operation; const char* text; } cases[] = {
        {{}, CManagerDlg::OP_NONE, "There is no selected file."},
        {{"song.mp3"}, CManagerDlg::OP_DOWNLOAD, "While transferring a file, this operation is prohibited."},
        {{"song.mp3", "SETTINGS.DAT"}, CManagerDlg::OP_NONE, "'SETTINGS.DAT' is prohibited to be deleted."},
    };
    for (const auto& c : cases) {
        size_t before = m_prompter.Count();
        ShowRows(dlg, {"song.mp3", "SETTINGS.DAT"}, c.selected);
        dlg.m_runningOperation = c.operation;
        dlg.DeleteOnPlayer();
        ASSERT_EQ(before + 1, m_prompter.Count());
        EXPECT_EQ(c.text, m_prompter.Text(before));
    }
    dlg.m_runningOperation = CManagerDlg::OP_NONE;
    // No answers No.
    m_prompter.QueueAnswer(IDNO);
    ShowRows(dlg, {"song.mp3"}, {"song.mp3"});
    dlg.DeleteOnPlayer();
    EXPECT_EQ((std::vector<std::string>{"SETTINGS.DAT", "song.mp3"}), Names(kRoot));
    dlg.DestroyWindow();
}

TEST_F(PlayerMemory, AFailedRowAsksWhetherToGoOn)
{
    Clear();
    ASSERT_TRUE(WriteFile("E:\\a.mp3", "a"));
    ASSERT_TRUE(WriteFile("E:\\c.mp3", "c"));
    CTestManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    // "b.mp3" is not on the memory: its delete fails. Cancel ends the loop
    // with a.mp3 still there.
    ShowRows(dlg, {"a.mp3", "b.mp3", "c.mp3"}, {"a.mp3", "b.mp3", "c.mp3"});
    m_prompter.QueueAnswer(IDYES);
    m_prompter.QueueAnswer(IDCANCEL);
    dlg.DeleteOnPlayer();
    ASSERT_EQ(2u, m_prompter.Count());
    EXPECT_EQ("Failed to delete 'b.mp3'.\r\nDo you want to delete next selected file(s)?", m_prompter.Text(1));
    EXPECT_EQ(UINT(MB_OKCANCEL | MB_ICONQUESTION), m_prompter.Records()[1].type);
    // The notice stands while rows are deleted, and is closed at the end.
    EXPECT_EQ((std::vector<std::string>{"", "Please wait for Deleting the file(s)..."}), m_prompter.notices);
    EXPECT_EQ("", ShownNotice());
    EXPECT_EQ((std::vector<std::string>{"a.mp3"}), Names(kRoot));
    EXPECT_EQ((std::vector<std::string>{"a.mp3", "b.mp3"}), Rows(dlg));
    dlg.DestroyWindow();
}

// ---------------------------------------------------------------- formatting

namespace {
// The presence watch's ticks (timer 1) that reach a window of this thread.
HWND g_watchedWindow = nullptr;
int g_presenceTicks = 0;
LRESULT CALLBACK CountPresenceTicks(int code, WPARAM wp, LPARAM lp)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && msg->hwnd == g_watchedWindow && msg->message == WM_TIMER &&
        msg->wParam == 1)
        ++g_presenceTicks;
    return CallNextHookEx(nullptr, code, wp, lp);
}
}  // namespace

TEST_F(PlayerMemory, FormatRunsTheToolAppliesTheLabelAndListsAgain)
{
    Clear();
    ASSERT_TRUE(WriteFile("E:\\old.mp3", "old"));
    ASSERT_TRUE(CreateDirectoryA("E:\\OLDDIR", nullptr));
    CTestManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    // The copies of the player's settings file are recorded, not made (the
    // program folder is shared by the tests).
    struct Copies : CPlayerCalls {
        std::vector<std::string> Log;
        BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists) override
        {
            Log.push_back(std::string(from) + " -> " + to + (failIfExists ? " (new only)" : ""));
            return TRUE;
        }
    } copies;
    dlg.m_playerCalls = &copies;
    dlg.answer = "lark format 2026";  // longer than a label: 11 characters kept
    HWND formatting = nullptr;
    mbtest::CBackgroundRun watch([&] { formatting = mbtest::WaitForWindow(L"Formatting...", 10000); });
    // The tool locks the memory as soon as it runs; a presence tick while it
    // is being started would find the memory unreachable and release it as
    // pulled. The watch runs often here, so that any such tick is seen.
    dlg.SetTimer(1, 10);
    g_watchedWindow = dlg.m_hWnd;
    g_presenceTicks = 0;
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &CountPresenceTicks, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    const bool started = dlg.FormatMemory(CManagerDlg::MEMORY_INTERNAL);
    UnhookWindowsHookEx(hook);
    ASSERT_TRUE(started);
    EXPECT_EQ(0, g_presenceTicks);
    EXPECT_EQ(1, dlg.asked);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return dlg.m_formatsFinished == 1; }, 60000));
    EXPECT_EQ(0u, dlg.m_formatToolExit);
    EXPECT_EQ(nullptr, dlg.m_formatTool);
    EXPECT_TRUE(Names(kRoot).empty());
    // The formatted memory gets the backup of the player's settings file.
    EXPECT_EQ((std::vector<std::string>{g_programFolder + "SETTINGS.DAT -> E:\\SETTINGS.DAT (new only)"}), copies.Log);
    // The label as typed, cut to 11 characters. Wine refuses SetVolumeLabel
    // on a drive that has a raw device, so only a Windows run sees it on the
    // memory; the label the tool itself writes is checked by its own tests.
    EXPECT_EQ("lark format", dlg.m_appliedLabel);
    EXPECT_EQ("", VolumeLabel(kRoot));
    EXPECT_TRUE(dlg.IsWindowEnabled());
    EXPECT_EQ(0u, m_prompter.Count());
    // The fresh memory takes files again.
    EXPECT_TRUE(WriteFile("E:\\after.mp3", "after"));
    EXPECT_EQ((std::vector<std::string>{"after.mp3"}), Names(kRoot));
    watch.Finish();
    dlg.DestroyWindow();
}

TEST_F(PlayerMemory, FormatRefusalsAndAMissingTool)
{
    CTestManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    // A cancelled label question starts nothing.
    dlg.cancel = true;
    EXPECT_FALSE(dlg.FormatMemory(CManagerDlg::MEMORY_INTERNAL));
    dlg.cancel = false;
    EXPECT_EQ(0u, m_prompter.Count());
    dlg.m_runningOperation = CManagerDlg::OP_UPLOAD;
    EXPECT_FALSE(dlg.FormatMemory(CManagerDlg::MEMORY_INTERNAL));
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("While transferring a file, this operation is prohibited.", m_prompter.Text(0));
    dlg.m_runningOperation = CManagerDlg::OP_NONE;
    // The program folder without the tool.
    const std::string folder = g_programFolder;
    g_programFolder = "C:\\windows\\";
    EXPECT_FALSE(dlg.FormatMemory(CManagerDlg::MEMORY_INTERNAL));
    g_programFolder = folder;
    ASSERT_EQ(2u, m_prompter.Count());
    EXPECT_EQ("Cannot find the formatter file. Re-install this program.", m_prompter.Text(1));
    EXPECT_EQ(0, dlg.m_formatsFinished);
    dlg.DestroyWindow();
}

TEST_F(PlayerMemory, FormatDialogRefusesADriveTextNotOfTwoCharacters)
{
    const struct { const char* root; int memory; LONG result; } cases[] = {
        {"E:\\", 0, FORMAT_START_STARTED},  // the first two characters are taken
        {"E", 0, FORMAT_START_FAILED},
        {"", 1, FORMAT_START_FAILED},
    };
    for (const auto& c : cases) {
        CFormatDlg dlg;
        dlg.SetParams(c.root, "", nullptr, c.memory);
        dlg.m_osLevel = 3;
        dlg.m_programFolder = "C:\\nowhere\\";  // nothing is started for real
        if (c.result == FORMAT_START_STARTED) {
            dlg.m_programFolder = g_programFolder;
            dlg.m_drive = "B:";  // the tool fails at once on a missing drive
        }
        dlg.DoModal();
        EXPECT_EQ(c.result, dlg.m_result) << c.root;
        if (HANDLE p = dlg.TakeProcess()) {
            WaitForSingleObject(p, 30000);
            DWORD code = 0;
            GetExitCodeProcess(p, &code);
            EXPECT_EQ(3u, code);
            CloseHandle(p);
        }
    }
    // No memory: the dialog ends at once, nothing started.
    {
        CFormatDlg dlg;
        dlg.SetParams("E:", "", nullptr, 2);
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_EQ(FORMAT_START_RUNNING, dlg.m_result);
        EXPECT_EQ(nullptr, dlg.TakeProcess());
    }
    // A cancel during the start only changes a failed start's result.
    CFormatDlg dlg;
    dlg.SetParams("E:", "", nullptr, 1);
    dlg.m_programFolder = "C:\\nowhere\\";
    dlg.m_cancelRequested = 1;
    DWORD code = CFormatDlg::RunFormatter(&dlg);
    EXPECT_EQ(3u, code);
    EXPECT_EQ(FORMAT_START_FAILED_AFTER_CANCEL, dlg.m_result);
    EXPECT_STREQ("qvrx3format.exe", CFormatDlg::ToolName(0));
    EXPECT_STREQ("qvusbmscformat.exe", CFormatDlg::ToolName(1));
}

// ---------------------------------------------------------------- configuration

namespace {
const char kTestKey[] = "Software\\MusicBridgeTests\\Config";

DWORD ReadDword(const char* name)
{
    CRegistryKey key(HKEY_LOCAL_MACHINE);
    DWORD v = 99;
    if (key.Open(HKEY_LOCAL_MACHINE, kTestKey)) key.ReadDword(name, v);
    return v;
}

DWORD WINAPI FormatSucceeds(HWND, UINT drive, UINT, UINT) { return drive == 'E' - 'A' ? 0 : DWORD(-3); }
}  // namespace

TEST_F(PlayerMemory, ConfigurationRoundTripsItsSettingsAndWritesLabels)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
    const std::string labelBefore = VolumeLabel(kRoot);
    for (int round = 0; round < 2; ++round) {
        CConfigDlg dlg(nullptr, kRoot, "", 0);
        dlg.m_registryKey = kTestKey;
        ASSERT_TRUE(dlg.Create());
        // Missing values read as 1; the second round reads what the first wrote.
        const LRESULT dl = SendDlgItemMessageA(dlg, IDC_CONFIG_DL, CB_GETCURSEL, 0, 0);
        const LRESULT tr = SendDlgItemMessageA(dlg, IDC_CONFIG_TR, CB_GETCURSEL, 0, 0);
        EXPECT_EQ(round == 0 ? 1 : 0, dl);
        EXPECT_EQ(round == 0 ? 1 : 0, tr);
        EXPECT_FALSE(IsWindowEnabled(dlg.GetDlgItem(IDC_CONFIG_LABEL_EXT)));
        EXPECT_EQ(0, dlg.m_result);
        if (round == 0) {
            SendDlgItemMessageA(dlg, IDC_CONFIG_DL, CB_SETCURSEL, 0, 0);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CONFIG_DL, CBN_SELCHANGE), LPARAM(dlg.GetDlgItem(IDC_CONFIG_DL)));
            SendDlgItemMessageA(dlg, IDC_CONFIG_TR, CB_SETCURSEL, 0, 0);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CONFIG_TR, CBN_SELCHANGE), LPARAM(dlg.GetDlgItem(IDC_CONFIG_TR)));
            // Typed text stops at 11 characters.
            SetFocus(dlg.GetDlgItem(IDC_CONFIG_LABEL_INT));
            SendDlgItemMessageA(dlg, IDC_CONFIG_LABEL_INT, EM_SETSEL, 0, -1);
            for (char ch : std::string("config label x")) SendMessageA(dlg.GetDlgItem(IDC_CONFIG_LABEL_INT), WM_CHAR, WPARAM(ch), 0);
            EXPECT_EQ(L"config labe", mbtest::ItemText(dlg, IDC_CONFIG_LABEL_INT));
            EXPECT_EQ(CONFIG_DL_CHANGED | CONFIG_TR_CHANGED | CONFIG_INT_LABEL, dlg.m_result);
            dlg.ShowWindow(SW_SHOW);
            mbtest::PumpFor(300);
            mbtest::SaveScreenshot(dlg, "configuration_dialog");
            // Escape never closes it.
            mbtest::PostKey(dlg, VK_ESCAPE);
            mbtest::PumpFor(200);
            EXPECT_TRUE(IsWindow(dlg.m_hWnd));
        }
        dlg.OnOK();
        EXPECT_EQ(round == 0 ? "config labe" : "", dlg.m_labelsWritten[0]);
        EXPECT_EQ("", dlg.m_labelsWritten[1]);
        mbtest::PumpFor(100);
    }
    EXPECT_EQ(0u, ReadDword("CFG_DL"));
    EXPECT_EQ(0u, ReadDword("CFG_TR"));
    // Wine leaves a served memory's label as it was (see above).
    EXPECT_EQ(labelBefore, VolumeLabel(kRoot));
}

TEST_F(PlayerMemory, LaunchFormatterPutsTheSettingsFileBack)
{
    Clear();
    const std::string backup = g_programFolder + "SETTINGS.DAT";
    SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(WriteFile(backup, "backup presets"));
    // Under Wine the shell refuses at once (-3): string 119, nothing set.
    {
        CConfigDlg dlg(nullptr, kRoot, "", 0);
        ASSERT_TRUE(dlg.Create());
        dlg.OnLaunchFormatter();
        ASSERT_EQ(1u, m_prompter.Count());
        EXPECT_EQ("Cannot find the formatter file. Re-install this program.", m_prompter.Text(0));
        EXPECT_EQ(0, dlg.m_result);
        dlg.DestroyWindow();
    }
    // The shell's success: bit 1 and the file back, never over one present.
    for (bool present : {false, true}) {
        DeleteFileA("E:\\SETTINGS.DAT");
        if (present) {
            ASSERT_TRUE(WriteFile("E:\\SETTINGS.DAT", "player's own"));
        }
        CConfigDlg dlg(nullptr, kRoot, "", 0);
        dlg.m_programFolder = g_programFolder;
        dlg.m_formatDrive = &FormatSucceeds;
        ASSERT_TRUE(dlg.Create());
        dlg.OnLaunchFormatter();
        EXPECT_EQ(CONFIG_FORMATTED, dlg.m_result);
        EXPECT_EQ(present ? "player's own" : "backup presets", ReadFile("E:\\SETTINGS.DAT"));
        const DWORD attributes = GetFileAttributesA(backup.c_str());
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
        dlg.DestroyWindow();
    }
    EXPECT_EQ(1u, m_prompter.Count());
    // Only the external memory: nothing happens.
    CConfigDlg dlg(nullptr, "", kRoot, 0);
    dlg.m_formatDrive = &FormatSucceeds;
    ASSERT_TRUE(dlg.Create());
    dlg.OnLaunchFormatter();
    EXPECT_EQ(0, dlg.m_result);
    EXPECT_FALSE(IsWindowEnabled(dlg.GetDlgItem(IDC_CONFIG_LABEL_INT)));
    dlg.DestroyWindow();
    SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(backup.c_str());
    SetFileAttributesA("E:\\SETTINGS.DAT", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA("E:\\SETTINGS.DAT");
}

TEST_F(PlayerMemory, FwuStartWithoutTheToolSaysSo)
{
    CConfigDlg dlg(nullptr, kRoot, "", 0);
    dlg.m_programFolder = "C:\\nowhere\\";
    ASSERT_TRUE(dlg.Create());
    m_prompter.QueueAnswer(IDNO);
    dlg.OnFwuStart();
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(UINT(MB_YESNO | MB_DEFBUTTON2), m_prompter.Records()[0].type);
    EXPECT_EQ(0, dlg.m_result);
    dlg.OnFwuStart();  // Yes by default now
    ASSERT_EQ(3u, m_prompter.Count());
    EXPECT_EQ("Cannot find the firmware-upgrader file. Re-install this program.", m_prompter.Text(2));
    EXPECT_EQ(0, dlg.m_result);
    EXPECT_STREQ("qvrx3update.exe", CConfigDlg::UpdaterName(0));
    EXPECT_STREQ("QvUsbMscupdate.exe", CConfigDlg::UpdaterName(2));
    dlg.DestroyWindow();
}

// ---------------------------------------------------------------- opening a row

// Rows the pane listed from the memory: a folder row selects (or first adds)
// its tree item, which lists that folder; a file row is opened by the shell.
TEST_F(PlayerMemory, OpeningAFolderRowSelectsItsTreeItem)
{
    Clear();
    for (const char* folder : {"E:\\MUSIC", "E:\\VOICE", "E:\\VOICE\\DAY1"}) ASSERT_TRUE(CreateDirectoryA(folder, nullptr));
    ASSERT_TRUE(WriteFile("E:\\VOICE\\memo.wav", "memo"));
    ASSERT_TRUE(WriteFile("E:\\open me.ini", "opened by the shell"));
    CTestManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    ASSERT_TRUE(ShowRoot(dlg));
    const HTREEITEM root = dlg.m_playerTree.GetRootItem();
    EXPECT_EQ((std::vector<std::string>{"MUSIC", "VOICE", "open me.ini"}), Rows(dlg));
    // The columns: Name takes what Size and Date leave.
    EXPECT_EQ(60, dlg.m_playerList.GetColumnWidth(1));
    EXPECT_EQ(90, dlg.m_playerList.GetColumnWidth(2));
    auto open = [&](const std::string& row) {
        dlg.m_playerList.DeselectItem(-1);
        if (!row.empty()) dlg.m_playerList.Select(dlg.m_playerList.FindRow(row));
        dlg.OpenPlayerItem();
    };
    auto shows = [&](const std::string& name, const std::vector<std::string>& rows) {
        return mbtest::PumpUntil([&] {
            HTREEITEM shown = dlg.m_playerItem;
            return shown && shown == dlg.m_playerTree.GetSelectedItem() && dlg.m_playerTree.GetItemText(shown) == name &&
                   Rows(dlg) == rows;
        }, 10000);
    };
    open("VOICE");
    ASSERT_TRUE(shows("VOICE", {"DAY1", "memo.wav"})) << dlg.GetPlayerFolderPath();
    EXPECT_EQ(root, dlg.m_playerTree.GetParentItem(dlg.m_playerItem));
    EXPECT_EQ("E:\\VOICE\\", dlg.GetPlayerFolderPath());
    // A folder made behind the window's back: its row is listed again, the
    // tree does not hold it yet and gets it under the shown item.
    ASSERT_TRUE(CreateDirectoryA("E:\\VOICE\\LATE", nullptr));
    dlg.FillPlayerList();
    const HTREEITEM voice = dlg.m_playerItem;
    ASSERT_EQ(nullptr, dlg.FindPlayerTreeChild(voice, "LATE"));
    open("LATE");
    ASSERT_TRUE(shows("LATE", {}));
    EXPECT_EQ(voice, dlg.m_playerTree.GetParentItem(dlg.m_playerItem));
    // Nothing selected: nothing happens.
    open("");
    mbtest::PumpFor(500);
    EXPECT_EQ("E:\\VOICE\\LATE\\", dlg.GetPlayerFolderPath());
    // A file row: the shell opens it (Notepad, which Wine's prefix gives .ini
    // files, shows its name).
    dlg.m_playerTree.SelectItem(root);
    ASSERT_TRUE(shows(dlg.m_playerTree.GetItemText(root), {"MUSIC", "VOICE", "open me.ini"}));
    open("open me.ini");
    HWND editor = nullptr;
    EXPECT_TRUE(mbtest::PumpUntil([&] { return (editor = FindWindowA(nullptr, "open me.ini - Notepad")) != nullptr; }, 30000));
    if (editor) PostMessageA(editor, WM_CLOSE, 0, 0);
    EXPECT_EQ(root, dlg.m_playerTree.GetSelectedItem());
    dlg.DestroyWindow();
    Clear();
}
