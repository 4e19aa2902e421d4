// End-to-end scenarios of the tools MusicBridge opens on the player: the FM
// presets saved to SETTINGS.DAT, ListForge started from the window, and the
// firmware updater started from the configuration dialog. Each starts the
// installed MusicBridge.exe on the simulated player (memory on O:, the
// stand-in driver answering as the player) and drives the windows from this
// process; check-tools.py then checks the memory's image from Linux.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CommandRules.h"
#include "E2eDriver.h"

using namespace e2e;

namespace {

// Controls of the FM preset dialog and ListForge.
const UINT kFmButton = 1091, kListForgeButton = 1092;
const UINT kFmList = 1519, kFmEditor = 1529;
const UINT kLfMusic = 1001, kLfPlaylist = 1002, kLfAdd = 1012, kLfOpen = 1016, kLfSave = 1017;

// A dialog of the process other than the given ones, with a title (empty:
// any).
HWND OtherDialog(DWORD pid, const std::vector<HWND>& except, const std::wstring& title = L"")
{
    for (HWND w : ProcessWindows(pid, L"#32770", title))
        if (std::find(except.begin(), except.end(), w) == except.end())
            return w;
    return nullptr;
}

// A visible top-level dialog of another process than MusicBridge, by title.
HWND ToolWindow(DWORD notPid, const wchar_t* title, DWORD* pid)
{
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", title)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner != notPid && ::IsWindowVisible(w)) {
            *pid = owner;
            return w;
        }
    }
    return nullptr;
}

class Scenario : public CManagerScenario {
protected:
    // A cell's middle in its list's client coordinates.
    POINT CellMiddle(CRemoteBuffer& buffer, HWND list, int row, int column)
    {
        RECT cell{};
        cell.top = column;
        cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
        buffer.Write(0, &cell, sizeof cell);
        ::SendMessageW(list, LVM_GETSUBITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(buffer.At(0)));
        buffer.Read(0, &cell, sizeof cell);
        return POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    }

    static void ClickAt(HWND window, POINT at)
    {
        const LPARAM where = MAKELPARAM(at.x, at.y);
        ::PostMessageW(window, WM_MOUSEMOVE, 0, where);
        ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
        ::PostMessageW(window, WM_LBUTTONUP, 0, where);
    }
};

// 5. Two FM presets edited in the dialog the FM button opens and saved to the
// player; the stage then finds SETTINGS.DAT changed in those entries' bytes
// only.
TEST_F(Scenario, FmPresetsSaved)
{
    StartWithPlayer();
    if (HasFatalFailure())
        return;
    ClickControl(::GetDlgItem(m_main, kFmButton));
    HWND dlg = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        dlg = OtherDialog(m_program.Pid(), {m_main}, L"FM Preset");
        return dlg != nullptr;
    }, kLong)) << "the FM preset dialog did not open";
    HWND list = ::GetDlgItem(dlg, kFmList);
    HWND editor = ::GetDlgItem(dlg, kFmEditor);
    ASSERT_TRUE(list && editor);
    ASSERT_TRUE(WaitFor([&] { return m_controls->ItemCount(list) == 20; }, kLong));
    const std::vector<std::wstring> before = m_controls->Column(list, 1);
    Shot(dlg, "1-presets");

    // Rows 3 and 8 (entries 2 and 7) get frequencies they do not hold yet.
    struct Edit {
        int row;
        const wchar_t* typed;
        const wchar_t* shown;
        unsigned khz;
    } edits[] = {{2, L"99.9", L"99.90", 99900}, {7, L"106.3", L"106.30", 106300}};
    CRemoteBuffer cells(m_program.Process(), 256);
    ASSERT_TRUE(cells.Ok());
    std::vector<std::wstring> expected;
    for (const Edit& e : edits) {
        ASSERT_NE(before[size_t(e.row)], e.shown) << "row " << e.row << " holds the value already";
        ClickAt(list, CellMiddle(cells, list, e.row, 1));
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(editor) != 0; }, kLong)) << "no editor on row " << e.row;
        SetText(editor, e.typed);
        ::PostMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
        ASSERT_TRUE(WaitFor([&] { return m_controls->ItemText(list, e.row, 1) == e.shown; }, kLong))
            << "row " << e.row << " shows " << Utf8(m_controls->ItemText(list, e.row, 1));
        expected.push_back(std::to_wstring(e.row) + L" " + std::to_wstring(e.khz));
    }
    Shot(dlg, "2-edited");

    // Save to Player: the dialog is disabled while its worker writes and
    // polls the player, then takes commands again.
    Command(dlg, IDOK);
    ::Sleep(500);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(dlg) && !OtherDialog(m_program.Pid(), {m_main, dlg}); }, kLong))
        << "the save did not end";
    Shot(dlg, "3-saved");
    std::vector<std::wstring> after = m_controls->Column(list, 1);
    for (const Edit& e : edits)
        EXPECT_EQ(e.shown, after[size_t(e.row)]);
    Command(dlg, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dlg); }, kLong));
    NoMessageBox();
    WriteOut("fm-entries.txt", expected);
}

// 7. ListForge started from the window on the player's root: two songs of the
// memory go into a playlist saved on the player, which ListForge then opens
// again; the stage reads the list from the image.
TEST_F(Scenario, PlaylistFromTheManager)
{
    StartWithPlayer();
    if (HasFatalFailure())
        return;
    ClickControl(::GetDlgItem(m_main, kListForgeButton));
    // The window waits, disabled, for ListForge to end.
    // The stage's prefix runs no other program of that title.
    DWORD forgePid = 0;
    HWND forge = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (forge = ToolWindow(m_program.Pid(), L"ListForge", &forgePid)) != nullptr; }, kLong))
        << "ListForge did not open";
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowEnabled(m_main); }, kLong)) << "the window stayed enabled";
    HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, forgePid);
    ASSERT_NE(nullptr, process);
    CRemoteControls forgeControls(process);
    ASSERT_TRUE(forgeControls.Ok());
    HWND music = ::GetDlgItem(forge, kLfMusic), playlist = ::GetDlgItem(forge, kLfPlaylist);
    ASSERT_TRUE(WaitFor([&] { return forgeControls.ItemCount(music) >= 2; }, kLong)) << "ListForge lists no songs";
    const std::vector<std::wstring> songs = forgeControls.Column(music, 0);
    Shot(forge, "1-listforge");

    ASSERT_TRUE(forgeControls.SelectRows(music, {0, 1}));
    ClickControl(::GetDlgItem(forge, kLfAdd));
    ASSERT_TRUE(WaitFor([&] { return forgeControls.ItemCount(playlist) == 2; }, kLong))
        << "the playlist holds " << forgeControls.ItemCount(playlist);
    const std::vector<std::wstring> entries = forgeControls.Column(playlist, 0);
    Shot(forge, "2-added");

    ClickControl(::GetDlgItem(forge, kLfSave));
    ChooseFile([&] { return OtherDialog(forgePid, {forge}); }, L"O:\\E2E LIST.M3U");
    ASSERT_TRUE(WaitFor([&] { return ::GetFileAttributesW(L"O:\\E2E LIST.M3U") != INVALID_FILE_ATTRIBUTES; }, kLong))
        << "no list on the player";
    ASSERT_EQ(nullptr, OtherDialog(forgePid, {forge})) << Utf8(DialogTexts(OtherDialog(forgePid, {forge})));

    // Read back: the playlist emptied, then the saved list opened.
    ASSERT_TRUE(forgeControls.SelectRows(playlist, {0, 1}));
    ::PostMessageW(playlist, WM_KEYDOWN, VK_DELETE, 0);
    ASSERT_TRUE(WaitFor([&] { return forgeControls.ItemCount(playlist) == 0; }, kLong));
    ClickControl(::GetDlgItem(forge, kLfOpen));
    ChooseFile([&] { return OtherDialog(forgePid, {forge}); }, L"O:\\E2E LIST.M3U");
    ASSERT_TRUE(WaitFor([&] { return forgeControls.ItemCount(playlist) == 2; }, kLong));
    EXPECT_EQ(Joined(entries), Joined(forgeControls.Column(playlist, 0)));
    Shot(forge, "3-opened-again");

    // Closing ListForge gives the window back. The opened list counts as a
    // change: it asks to save (No), then whether to exit (Yes).
    ::PostMessageW(forge, WM_CLOSE, 0, 0);
    std::vector<std::wstring> asked;
    ASSERT_TRUE(WaitFor([&] {
        if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
            return true;
        HWND question = OtherDialog(forgePid, {forge});
        if (question && (asked.empty() || asked.back() != DialogTexts(question))) {
            asked.push_back(DialogTexts(question));
            Shot(question, "question-" + std::to_string(asked.size()));
            Command(question, asked.back().find(L"not saved") != std::wstring::npos ? IDNO : IDYES);
        }
        return false;
    }, kLong)) << "ListForge did not end";
    ASSERT_EQ(2u, asked.size());
    EXPECT_NE(std::wstring::npos, asked[0].find(L"The file list is not saved.")) << Utf8(asked[0]);
    EXPECT_NE(std::wstring::npos, asked[1].find(L"Are you sure you want to exit ListForge?")) << Utf8(asked[1]);
    ::CloseHandle(process);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(m_main) != 0; }, kLong)) << "the window stayed disabled";
    Shot(m_main, "4-back");
    NoMessageBox();
    std::vector<std::wstring> lines;
    for (const std::wstring& s : songs)
        if (lines.size() < 2)
            lines.push_back(s);
    WriteOut("playlist.txt", lines);
}

// 6. The firmware updater started from the configuration dialog's update
// command runs on the simulated player: the player's firmware versions become
// the files', the memory stays fsck-clean, and MusicBridge shows the player
// again afterwards. The run is the update without the format: a format run
// dismounts the volume, which Wine 8 fails for a driver's device after the
// driver took it (the updater's format run is covered through its device
// seam by qv_app_wine.FormatRunLeavesACleanDataDrive).
TEST_F(Scenario, FirmwareUpdateFromTheConfiguration)
{
    StartWithPlayer();
    if (HasFatalFailure())
        return;
    ClickControl(::GetDlgItem(m_main, 1211));
    HWND config = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (config = OtherDialog(m_program.Pid(), {m_main}, L"Configuration")) != nullptr; },
                        kLong)) << "the configuration dialog did not open";
    Shot(config, "1-configuration");
    Command(config, 1252);  // FWU Start
    HWND ask = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (ask = OtherDialog(m_program.Pid(), {m_main, config})) != nullptr; }, kLong));
    EXPECT_NE(std::wstring::npos, DialogTexts(ask).find(L"The formatter will be launched.")) << Utf8(DialogTexts(ask));
    Command(ask, IDYES);

    DWORD updaterPid = 0;
    HWND updater = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        return (updater = ToolWindow(m_program.Pid(), L"Lark Series Firmware Update", &updaterPid)) != nullptr;
    }, kLong)) << "the updater did not open";
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowEnabled(config); }, kLong)) << "the configuration stayed enabled";
    ASSERT_TRUE(WaitFor([&] { return !WindowText(::GetDlgItem(updater, 1015)).empty(); }, kLong));
    const std::wstring device = WindowText(::GetDlgItem(updater, 1015));
    const std::wstring files = WindowText(::GetDlgItem(updater, 1016));
    ASSERT_NE(device, files) << "the player has the files' firmware already";
    Shot(updater, "2-updater");

    Command(updater, 1012);  // Start
    std::vector<std::wstring> boxes;
    bool running = false;  // the run disables its button until it ends
    ASSERT_TRUE(WaitFor([&] {
        HWND box = OtherDialog(updaterPid, {updater});
        if (box) {
            boxes.push_back(DialogTexts(box));
            Shot(box, "box-" + std::to_string(boxes.size()));
            Command(box, IDOK);
            WaitFor([&] { return !::IsWindow(box); }, 10000);
            return false;
        }
        const bool enabled = ::IsWindowEnabled(::GetDlgItem(updater, 1012)) != 0;
        running = running || !enabled;
        return (running || !boxes.empty()) && enabled;
    }, 600000)) << "the update did not end; boxes: " << Joined(boxes);
    Shot(updater, "3-updated");
    EXPECT_EQ(files, WindowText(::GetDlgItem(updater, 1015))) << "the player's version after the update";
    for (const std::wstring& b : boxes)
        EXPECT_EQ(std::wstring::npos, b.find(L"fail")) << Utf8(b);

    Command(updater, IDOK);  // Close
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, updaterPid);
    ASSERT_NE(nullptr, process);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process, kLong)) << "the updater did not end";
    ::CloseHandle(process);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(config) != 0; }, kLong)) << "the configuration stayed disabled";
    Command(config, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(config); }, kLong));
    ASSERT_TRUE(PlayerShown()) << "MusicBridge does not show the player again";
    Shot(m_main, "4-player-again");
    NoMessageBox();
    // The update takes the old firmware's settings file away.
    WriteOut("absent.txt", {L"SETTINGS.DAT"});
}

}  // namespace
