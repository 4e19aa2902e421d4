// The "FM Preset" dialog in the test's own process, on a simulated player
// memory mapped as drive J (SETTINGS.DAT copied there from the fixtures) and
// the stand-in driver, whose status polls the save must reach.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "FmPresetDlg.h"
#include "GuiTest.h"
#include "SimDriverClient.h"
#include "HostPaths.h"

using namespace fmpreset;

namespace {

const char kSettings[] = "J:\\SETTINGS.DAT";
const DWORD kAtRest = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

std::string Fixtures()
{
    const char* dir = std::getenv("MB_FM_FIXTURES");
    return dir ? mbtest::HostWinPath(dir) + "\\" : std::string();
}

std::string CurrentFolder()
{
    char buf[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, buf);
    std::string folder = buf;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Puts a fixture on the player as the player keeps it: hidden, system and
// read-only.
bool PlaceSettings(const std::string& fixture)
{
    ::SetFileAttributesA(kSettings, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(kSettings);
    if (!::CopyFileA((Fixtures() + fixture).c_str(), kSettings, FALSE))
        return false;
    return ::SetFileAttributesA(kSettings, kAtRest) != 0;
}

HANDLE NoLaunch(HWND, const std::string&, const std::string&, const std::string&) { return nullptr; }

// What the dialog asked to start, and what the launcher hands back.
std::vector<std::string> g_launched;
HANDLE g_launchResult = nullptr;
HANDLE RecordLaunch(HWND, const std::string& file, const std::string& params, const std::string& dir)
{
    g_launched.push_back(file + "|" + params + "|" + dir);
    HANDLE copy = nullptr;
    if (g_launchResult)
        ::DuplicateHandle(::GetCurrentProcess(), g_launchResult, ::GetCurrentProcess(), &copy, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
    return copy;
}

class FmDialog : public mbtest::GuiTest {
protected:
    FmDialog() : mbtest::GuiTest(60000) {}

    bool Open(CFmPresetDlg& dlg, const std::string& programFolder, int korean = 0)
    {
        dlg.m_programFolder = programFolder;
        dlg.m_koreanFlag = korean;
        dlg.m_osLevel = 3;
        dlg.m_launch = &NoLaunch;
        if (!dlg.Create() || !::IsWindow(dlg.m_hWnd))
            return false;
        // A modeless dialog from the template starts hidden; modal runs show it.
        dlg.ShowWindow(SW_SHOW);
        mbtest::PumpFor(100);
        return true;
    }
    static std::vector<std::string> Column(CFmPresetDlg& dlg, int column)
    {
        std::vector<std::string> out;
        for (int n = 0; n < ENTRY_COUNT; ++n)
            out.push_back(dlg.m_list.GetItemText(n, column));
        return out;
    }
    static std::vector<std::string> Choices(CFmPresetDlg& dlg)
    {
        std::vector<std::string> out;
        for (int i = 0; i < dlg.m_presets.GetCount(); ++i)
            out.push_back(dlg.m_presets.GetItemText(i));
        return out;
    }
    static void Choose(CFmPresetDlg& dlg, int index)
    {
        dlg.m_presets.SetCurSel(index);
        dlg.Send(WM_COMMAND, MAKEWPARAM(IDC_FM_PRESETS, CBN_SELCHANGE), reinterpret_cast<LPARAM>(dlg.m_presets.m_hWnd));
    }
    // A click on a cell, as the list view reports it.
    static void ClickCell(CFmPresetDlg& dlg, int row, int column)
    {
        RECT cell{};
        cell.top = column;
        // Column 0's bounds would be the whole row.
        cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
        ::SendMessageW(dlg.m_list.m_hWnd, LVM_GETSUBITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&cell));
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = dlg.m_list.m_hWnd;
        click.hdr.idFrom = IDC_FM_LIST;
        click.hdr.code = NM_CLICK;
        click.iItem = row;
        click.iSubItem = column;
        click.ptAction = POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
        dlg.Send(WM_NOTIFY, IDC_FM_LIST, reinterpret_cast<LPARAM>(&click));
    }
    // Types into the in-place editor and presses a key there.
    static void Type(CFmPresetDlg& dlg, const std::string& text, UINT key = VK_RETURN)
    {
        dlg.m_editor.SetText(text);
        mbtest::PostKey(dlg.m_editor.m_hWnd, key);
        mbtest::PumpUntil([&] { return !dlg.m_editing; }, 5000);
    }
    static bool Save(CFmPresetDlg& dlg)
    {
        mbtest::Click(dlg.m_hWnd, IDOK);
        return mbtest::PumpUntil([&] { return !dlg.m_saving && dlg.IsWindowEnabled(); }, 30000);
    }

    mbtest::CRecordingPrompter m_prompter;
};

class FmDialogTable : public FmDialog {};
class FmDialogGroups : public FmDialog {};
class FmDialogSave : public FmDialog {};
class FmDialogNoTable : public FmDialog {};

}  // namespace

// The 20 rows show the fixture's table as the fixture's maker says they
// read; only the frequency is editable there, inside 87.5-108.0 MHz.
TEST_F(FmDialogTable, ShowsThePlayersTwentyPresets)
{
    ASSERT_TRUE(PlaceSettings("SETTINGS.DAT"));
    CFmPresetDlg dlg(nullptr, "J:\\");
    ASSERT_TRUE(Open(dlg, CurrentFolder()));
    EXPECT_EQ("FM Preset", dlg.GetText());
    EXPECT_TRUE(dlg.m_tableFound);
    EXPECT_EQ(66u + 9u, dlg.m_tableOffset);
    const std::vector<std::string> expected = Lines(ReadText(Fixtures() + "table.txt"));
    ASSERT_EQ(std::size_t(ENTRY_COUNT), expected.size());
    EXPECT_EQ(expected, Column(dlg, 1));
    EXPECT_EQ(std::vector<std::string>(ENTRY_COUNT, ""), Column(dlg, 2));
    for (int n = 0; n < ENTRY_COUNT; ++n)
        EXPECT_EQ(std::to_string(n + 1), dlg.m_list.GetItemText(n, 0));
    EXPECT_EQ("Save to Player", dlg.GetItemText(IDOK));
    // Reading left the file as it was, attributes included.
    EXPECT_EQ(kAtRest, ::GetFileAttributesA(kSettings) & kAtRest);
    mbtest::SaveScreenshot(dlg.m_hWnd, "fm_preset_dialog");

    // Comments of the player's own table are not editable.
    ClickCell(dlg, 3, 2);
    EXPECT_FALSE(dlg.m_editing);
    ClickCell(dlg, 3, 0);
    EXPECT_FALSE(dlg.m_editing);
    ClickCell(dlg, 3, 1);
    ASSERT_TRUE(dlg.m_editing);
    EXPECT_TRUE(dlg.m_editor.IsWindowVisible());
    EXPECT_EQ("95.90", dlg.m_editor.GetText());
    mbtest::SaveScreenshot(dlg.m_hWnd, "fm_preset_editing");

    const struct {
        const char* typed;
        const char* shown;  // nullptr: refused
    } cases[] = {
        {"108", "108.00"}, {"87.5", "87.50"}, {"101.9", "101.90"}, {"108.01", nullptr},
        {"87.49", nullptr}, {"abc", nullptr}, {"", nullptr},      {"1.2.3", nullptr},
    };
    for (const auto& c : cases) {
        const std::string before = dlg.m_list.GetItemText(3, 1);
        const size_t boxes = m_prompter.Count();
        ClickCell(dlg, 3, 1);
        ASSERT_TRUE(dlg.m_editing) << c.typed;
        Type(dlg, c.typed);
        EXPECT_FALSE(dlg.m_editor.IsWindowVisible());
        if (c.shown) {
            EXPECT_EQ(c.shown, dlg.m_list.GetItemText(3, 1)) << c.typed;
            EXPECT_EQ(boxes, m_prompter.Count()) << c.typed;
        } else {
            EXPECT_EQ(before, dlg.m_list.GetItemText(3, 1)) << c.typed;
            ASSERT_EQ(boxes + 1, m_prompter.Count()) << c.typed;
            EXPECT_EQ("Please enter a frequency between 87.5MHz and 108.0MHz.", m_prompter.Text(boxes));
        }
    }
    // Escape leaves the cell as it was.
    ClickCell(dlg, 4, 1);
    Type(dlg, "99.00", VK_ESCAPE);
    EXPECT_EQ("97.30", dlg.m_list.GetItemText(4, 1));
    dlg.DestroyWindow();
}

// The groups of the shipped list file, and of the Korean one with the
// Korean flag.
TEST_F(FmDialogGroups, ShippedListsOfferTheirGroups)
{
    ASSERT_TRUE(PlaceSettings("SETTINGS.DAT"));
    {
        CFmPresetDlg dlg(nullptr, "J:\\");
        ASSERT_TRUE(Open(dlg, CurrentFolder()));
        EXPECT_EQ((std::vector<std::string>{"Channel in Device", "Seoul", "Busan", "Daegu"}), Choices(dlg));
        Choose(dlg, 2);
        EXPECT_EQ("88.90", dlg.m_list.GetItemText(0, 1));
        EXPECT_EQ("KBS Busan", dlg.m_list.GetItemText(0, 2));
        EXPECT_EQ("103.70", dlg.m_list.GetItemText(3, 1));
        EXPECT_EQ("", dlg.m_list.GetItemText(4, 1));
        // Back to the player's table.
        Choose(dlg, 0);
        EXPECT_EQ("89.10", dlg.m_list.GetItemText(0, 1));
        EXPECT_EQ("", dlg.m_list.GetItemText(0, 2));
        dlg.DestroyWindow();
    }
    {
        CFmPresetDlg dlg(nullptr, "J:\\");
        ASSERT_TRUE(Open(dlg, CurrentFolder(), 1));
        EXPECT_EQ(CurrentFolder() + "FMInfo_K.ini", dlg.ListFilePath());
        // The Korean device item and the three Korean groups.
        ASSERT_EQ(4, dlg.m_presets.GetCount());
        EXPECT_EQ(L"장치에 저장", mbtest::ItemText(dlg.m_hWnd, IDOK));
        Choose(dlg, 1);
        EXPECT_EQ("89.10", dlg.m_list.GetItemText(0, 1));
        EXPECT_EQ("107.70", dlg.m_list.GetItemText(8, 1));
        mbtest::SaveScreenshot(dlg.m_hWnd, "fm_preset_korean");
        dlg.DestroyWindow();
    }
}

// "Seoul" is not "Seoul FM"; row 1 of "Seoul" is missing and is not taken
// from "11 :"; lines without "=" or ";" are empty rows.
TEST_F(FmDialogGroups, AwkwardListRules)
{
    ASSERT_TRUE(PlaceSettings("SETTINGS.DAT"));
    CFmPresetDlg dlg(nullptr, "J:\\");
    ASSERT_TRUE(Open(dlg, Fixtures() + "test\\"));
    EXPECT_EQ((std::vector<std::string>{"Channel in Device", "Seoul FM", "Seoul", "A", "Busan"}), Choices(dlg));
    Choose(dlg, 2);
    EXPECT_EQ("", dlg.m_list.GetItemText(0, 1));
    EXPECT_EQ("89.10", dlg.m_list.GetItemText(1, 1));
    EXPECT_EQ("KBS Cool", dlg.m_list.GetItemText(1, 2));
    EXPECT_EQ("", dlg.m_list.GetItemText(2, 1));
    EXPECT_EQ("", dlg.m_list.GetItemText(3, 1));
    EXPECT_EQ("101.90", dlg.m_list.GetItemText(10, 1));
    EXPECT_EQ("107.70", dlg.m_list.GetItemText(19, 1));
    Choose(dlg, 1);
    EXPECT_EQ("91.90", dlg.m_list.GetItemText(0, 1));
    EXPECT_EQ(dlg.LoadPresetGroup("Seou"), false);
    dlg.DestroyWindow();
}

// Modify writes the shown rows into the chosen group only (a one-letter
// name), and says so.
TEST_F(FmDialogGroups, ModifyRewritesOnlyTheChosenGroup)
{
    ASSERT_TRUE(PlaceSettings("SETTINGS.DAT"));
    const std::string folder = Fixtures() + "modify\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA((Fixtures() + "test\\FMInfo.ini").c_str(), (folder + "FMInfo.ini").c_str(), FALSE));
    const std::string before = ReadText(folder + "FMInfo.ini");
    CFmPresetDlg dlg(nullptr, "J:\\");
    ASSERT_TRUE(Open(dlg, folder));
    // Modify on the player's table does nothing.
    mbtest::Click(dlg.m_hWnd, IDC_FM_MODIFY);
    EXPECT_EQ(before, ReadText(folder + "FMInfo.ini"));
    EXPECT_EQ(0u, m_prompter.Count());

    Choose(dlg, 3);  // "A"
    ASSERT_EQ("88.10", dlg.m_list.GetItemText(0, 1));
    ClickCell(dlg, 1, 1);
    Type(dlg, "99.1");
    ClickCell(dlg, 1, 2);
    Type(dlg, "new two");
    mbtest::Click(dlg.m_hWnd, IDC_FM_MODIFY);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("\"A\" item in FM Preset Configuration file modified.", m_prompter.Text(0));
    std::string expected = before;
    const std::string oldBody = "[#. A]\r\n1 : 88.10 = short name;\r\n\r\n";
    const std::size_t at = expected.find(oldBody);
    ASSERT_NE(std::string::npos, at);
    expected.replace(at, oldBody.size(), "[#. A]\r\n1 : 88.10 = short name;\r\n2 : 99.10 = new two;\r\n\r\n");
    EXPECT_EQ(expected, ReadText(folder + "FMInfo.ini"));
    // The list was replaced whole: nothing else is left in its folder.
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &found);
    std::string names;
    if (find != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names += std::string(found.cFileName) + ";";
        while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    EXPECT_EQ("FMInfo.ini;", names);
    // A list that cannot be replaced stays as it was, and nothing is said.
    ::SetFileAttributesA((folder + "FMInfo.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    ClickCell(dlg, 1, 2);
    Type(dlg, "newer");
    mbtest::Click(dlg.m_hWnd, IDC_FM_MODIFY);
    EXPECT_EQ(1u, m_prompter.Count());
    EXPECT_EQ(expected, ReadText(folder + "FMInfo.ini"));
    ::SetFileAttributesA((folder + "FMInfo.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    dlg.DestroyWindow();
}

// Two rows edited and saved: SETTINGS.DAT differs from the fixture only
// inside those two entries, keeps hidden, system and read-only, and the
// device poll reached the driver.
TEST_F(FmDialogSave, SavesTwoEditedRowsAndPollsThePlayer)
{
    CSimDriverClient sim;
    ASSERT_TRUE(sim.Connect()) << sim.LastError();
    ASSERT_TRUE(sim.Reset());
    ASSERT_TRUE(sim.AddUnit(vilosim::UNIT_NT_NAME, 0));
    vilosim::UserData ready = {};
    ready.Ready = 1;
    ASSERT_TRUE(sim.SetState(ready));
    vilosim::SimStats before = {};
    ASSERT_TRUE(sim.GetStats(&before));

    ASSERT_TRUE(PlaceSettings("SETTINGS.DAT"));
    const std::vector<std::uint8_t> fixture = ReadBytes(Fixtures() + "SETTINGS.DAT");
    CFmPresetDlg dlg(nullptr, "J:\\");
    ASSERT_TRUE(Open(dlg, CurrentFolder()));
    ClickCell(dlg, 1, 1);
    Type(dlg, "100.1");
    ClickCell(dlg, 4, 1);
    Type(dlg, "88.7");
    EXPECT_EQ("100.10", dlg.m_list.GetItemText(1, 1));
    EXPECT_EQ("88.70", dlg.m_list.GetItemText(4, 1));
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(1, dlg.m_lastSaveWrote);
    EXPECT_EQ(1, dlg.m_lastSavePolled);
    EXPECT_TRUE(dlg.IsWindowVisible());

    const std::vector<std::uint8_t> after = ReadBytes(kSettings);
    ASSERT_EQ(fixture.size(), after.size());
    const std::size_t table = 75;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const bool inEdited = (i >= table + 3 && i < table + 6) || (i >= table + 12 && i < table + 15);
        if (!inEdited) {
            EXPECT_EQ(fixture[i], after[i]) << "byte " << i;
        }
    }
    // The entries outside the band (shown as "87.5") keep their bytes.
    EXPECT_EQ(0u, ReadEntry(after.data() + table, 11));
    EXPECT_EQ(120000u, ReadEntry(after.data() + table, 19));
    EXPECT_EQ(100100u, ReadEntry(after.data() + table, 1));
    EXPECT_EQ(88700u, ReadEntry(after.data() + table, 4));
    EXPECT_EQ(kAtRest, ::GetFileAttributesA(kSettings) & kAtRest);

    vilosim::SimStats stats = {};
    ASSERT_TRUE(sim.GetStats(&stats));
    EXPECT_GT(stats.Opens, before.Opens);
    EXPECT_GT(stats.StatusPolls, before.StatusPolls);
    dlg.DestroyWindow();
    ASSERT_TRUE(sim.Reset());
}

// Without a marker: nothing is shown and a save writes nothing.
TEST_F(FmDialogNoTable, NothingShownNothingWritten)
{
    ASSERT_TRUE(PlaceSettings("SETTINGS-NOTABLE.DAT"));
    const std::vector<std::uint8_t> fixture = ReadBytes(kSettings);
    CFmPresetDlg dlg(nullptr, "J:\\");
    ASSERT_TRUE(Open(dlg, CurrentFolder()));
    EXPECT_FALSE(dlg.m_tableFound);
    EXPECT_EQ(std::vector<std::string>(ENTRY_COUNT, ""), Column(dlg, 1));
    // A group's rows shown and saved: still no write.
    Choose(dlg, 1);
    ASSERT_EQ("89.10", dlg.m_list.GetItemText(0, 1));
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(0, dlg.m_lastSaveWrote);
    EXPECT_EQ(fixture, ReadBytes(kSettings));
    EXPECT_EQ(kAtRest, ::GetFileAttributesA(kSettings) & kAtRest);
    dlg.DestroyWindow();
}

// Notepad and the browser: started with the list file and the help page; a
// start that gave no process is not running; one still running is not
// started twice; when it has ended the groups are read again.
TEST_F(FmDialogGroups, NotepadAndBrowserAreWatched)
{
    ASSERT_TRUE(PlaceSettings("SETTINGS.DAT"));
    CFmPresetDlg dlg(nullptr, "J:\\");
    const std::string folder = CurrentFolder();
    ASSERT_TRUE(Open(dlg, folder));
    dlg.m_launch = &RecordLaunch;
    g_launched.clear();
    g_launchResult = nullptr;
    mbtest::Click(dlg.m_hWnd, IDC_FM_EDIT_LIST);
    mbtest::Click(dlg.m_hWnd, IDC_FM_EDIT_LIST);
    EXPECT_FALSE(dlg.m_notepadRunning);
    ASSERT_EQ(2u, g_launched.size());
    EXPECT_EQ("Notepad.exe|FMInfo.ini|" + folder, g_launched[0]);
    EXPECT_EQ(0u, m_prompter.Count());

    // A process that runs on (this one).
    g_launchResult = ::GetCurrentProcess();
    mbtest::Click(dlg.m_hWnd, IDC_FM_HELP);
    EXPECT_TRUE(dlg.m_browserRunning);
    EXPECT_EQ("IEXPLORE.EXE|" + folder + "FMHelp.htm|" + folder, g_launched.back());
    mbtest::Click(dlg.m_hWnd, IDC_FM_HELP);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("This function is already running.", m_prompter.Text(0));
    EXPECT_EQ(3u, g_launched.size());

    // A handle whose exit code cannot be read counts as ended.
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_launchResult = event;
    mbtest::Click(dlg.m_hWnd, IDC_FM_EDIT_LIST);
    ASSERT_TRUE(dlg.m_notepadRunning);
    Choose(dlg, 2);
    dlg.Send(WM_TIMER, 1, 0);
    EXPECT_FALSE(dlg.m_notepadRunning);
    EXPECT_EQ(0, dlg.m_presets.GetCurSel());
    EXPECT_EQ(4, dlg.m_presets.GetCount());
    EXPECT_EQ("89.10", dlg.m_list.GetItemText(0, 1));
    ::CloseHandle(event);
    g_launchResult = nullptr;
    dlg.DestroyWindow();
}
