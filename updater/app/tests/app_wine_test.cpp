// The updater program under Wine: its language libraries, the failures of
// its start-up (each box recorded through the box seam, or read from the real
// program's window), its windows with screenshots, and whole runs of the real
// QvUpdaterApp.exe against the simulated player behind the stand-in driver.
#include "GuiTest.h"
#include "MessageBoxes.h"
#include "ProgressDlg.h"
#include "SimDeviceIo.h"
#include "SimDriverClient.h"
#include "StringIds.h"
#include "UpdaterAboutDlg.h"
#include "UpdaterApp.h"
#include "UpdaterDlg.h"
#include "VersionDetailsDlg.h"
#include "qv/QvSystemBinding.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
const wchar_t* const LIBRARIES[] = {L"qvrx0409.dll", L"qvrx0404.dll", L"qvrx0804.dll", L"qvrx0407.dll",
                                    L"qvrx040a.dll", L"qvrx040c.dll", L"qvrx0411.dll", L"qvrx0412.dll"};
const char* const FIRMWARE[] = {"bootmanager.sb", "usbmsc.sb", "qvrxsys.sb", "resource.bin"};

// A variable of the test; its Linux paths (Z:/...) in the Windows form.
std::wstring Env(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(name);
    std::wstring text = value ? value : L"";
    std::replace(text.begin(), text.end(), L'/', L'\\');
    return text;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// A scratch folder of this test under the build's folder.
std::wstring Scratch(const std::wstring& name)
{
    std::wstring base = Env(L"QV_APP_SCRATCH") + L"\\" + name;
    CreateDirectoryW(Env(L"QV_APP_SCRATCH").c_str(), nullptr);
    CreateDirectoryW(base.c_str(), nullptr);
    return base;
}

bool CopyInto(const std::wstring& folder, const std::wstring& name, const std::wstring& as = L"")
{
    return CopyFileW((ProgramFolder() + L"\\" + name).c_str(), (folder + L"\\" + (as.empty() ? name : as)).c_str(),
                     FALSE) != 0;
}

std::vector<uint8_t> ReadAll(const std::wstring& path)
{
    std::ifstream file(std::string(path.begin(), path.end()), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A log file as text (UTF-16LE after its byte-order mark).
std::wstring ReadLog(const std::wstring& path, bool* bom)
{
    std::vector<uint8_t> bytes = ReadAll(path);
    *bom = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += wchar_t(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

std::wstring LibraryText(const wchar_t* library, UINT id)
{
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::wstring text;
    if (module) {
        wchar_t buffer[2048] = L"";
        int n = LoadStringW(module, id, buffer, 2048);
        text.assign(buffer, size_t(n > 0 ? n : 0));
        FreeLibrary(module);
    }
    return text;
}

struct BoxRecord {
    int kind;
    std::wstring main, details;
};

class CRecordingBoxes : public CQvBoxPresenter {
public:
    explicit CRecordingBoxes(int answer = IDOK) : m_answer(answer) { m_previous = QvSetBoxPresenter(this); }
    ~CRecordingBoxes() override { QvSetBoxPresenter(m_previous); }
    int Show(int kind, const std::wstring& main, const std::wstring& details, HWND) override
    {
        boxes.push_back({kind, main, details});
        return m_answer;
    }
    std::vector<BoxRecord> boxes;

private:
    int m_answer;
    CQvBoxPresenter* m_previous;
};

// The application with its seams: the device calls, the rights, the
// language and the command line.
class CTestApp : public CUpdaterApp {
public:
    CQvDeviceIo* io = nullptr;
    int admin = 1;
    LANGID language = 0x0409;
    std::wstring commandLine;
    int IsAdministrator() override { return admin; }

protected:
    CQvDeviceBinding* CreateBinding() override { return new CQvSystemBinding(io); }
    LANGID UserLanguage() override { return language; }
    std::wstring RawCommandLine() override { return commandLine; }
};

class UpdaterApp : public mbtest::GuiTest {
protected:
    UpdaterApp() : mbtest::GuiTest(300000) {}
    void SetUp() override { GetCurrentDirectoryW(MAX_PATH, m_folder); }
    void TearDown() override
    {
        SetCurrentDirectoryW(m_folder);
        mbtest::GuiTest::TearDown();
    }
    wchar_t m_folder[MAX_PATH] = L"";
};

// A process of the real program.
struct Process {
    PROCESS_INFORMATION info = {};
    bool Start(const std::wstring& exe, const std::wstring& args, const std::wstring& folder)
    {
        std::wstring line = L"\"" + exe + L"\" " + args;
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(0);
        STARTUPINFOW start = {};
        start.cb = sizeof start;
        return CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &start,
                              &info) != 0;
    }
    // Waits, pumping this thread, for the process to end; its exit code or -1.
    // A box the program shows meanwhile is a failure: its text is reported
    // and the box answered, so the run goes on.
    int Wait(DWORD ms, bool boxesFail = true)
    {
        bool ended = mbtest::PumpUntil([&] {
            for (const wchar_t* caption : {L"Error", L"Warning", L"Information", L"Option"}) {
                HWND box = FindWindowW(nullptr, caption);
                DWORD owner = 0;
                if (boxesFail && box && GetWindowThreadProcessId(box, &owner) && owner == info.dwProcessId) {
                    std::wstring text = mbtest::ItemText(box, 0xFFFF) + mbtest::ItemText(box, 1001) + L" / " +
                                        mbtest::ItemText(box, 1010);
                    ADD_FAILURE() << "the program showed a box: " << std::string(text.begin(), text.end());
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                }
            }
            return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0;
        }, ms);
        if (!ended)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        return int(code);
    }
    ~Process()
    {
        if (info.hProcess) {
            if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

// A top-level window of any process with that title.
HWND WaitForAnyWindow(const std::wstring& title, DWORD ms)
{
    HWND found = nullptr;
    mbtest::PumpUntil([&] { return (found = FindWindowW(nullptr, title.c_str())) && IsWindowVisible(found); }, ms);
    return found;
}
} // namespace

// ------------------------------------------------------------------ libraries

TEST(LanguageLibraries, EveryStringInEveryLibrary)
{
    for (const wchar_t* library : LIBRARIES) {
        std::string name(library, library + wcslen(library));
        HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << name;
        size_t missing = 0;
        for (unsigned id : QV_LIBRARY_STRING_IDS) {
            wchar_t buffer[4] = L"";
            if (LoadStringW(module, id, buffer, 4) <= 0) {
                ++missing;
                ADD_FAILURE() << name << " has no string " << id;
            }
        }
        EXPECT_EQ(missing, 0u);
        FreeLibrary(module);
        // The usage text takes exactly the twenty texts it is given.
        std::wstring usage = LibraryText(library, 205);
        size_t count = 0;
        for (size_t at = usage.find(L"%s"); at != std::wstring::npos; at = usage.find(L"%s", at + 2))
            ++count;
        EXPECT_EQ(count, 20u) << name;
        // No keyword begins another, so none is ever taken for another.
        const UINT keywords[] = {198, 199, 200, 201, 202, 204, 206, 625};
        for (UINT a : keywords)
            for (UINT b : keywords) {
                std::wstring ka = LibraryText(library, a), kb = LibraryText(library, b);
                if (a != b) {
                    EXPECT_NE(kb.compare(0, ka.size(), ka), 0) << name << ": " << a << " begins " << b;
                }
            }
    }
    EXPECT_NE(LibraryText(L"qvrx0412.dll", 146), LibraryText(L"qvrx0409.dll", 146)); // Korean "Start"
}

// ------------------------------------------------------------------- start-up

TEST_F(UpdaterApp, NoAdministratorRightsEndWithTheRightsError)
{
    CRecordingBoxes boxes;
    CTestApp app;
    app.admin = 0;
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, QV_BOX_ERROR);
    EXPECT_EQ(boxes.boxes[0].main, LibraryText(L"qvrx0409.dll", 629));
    EXPECT_EQ(app.ProgressWindow(), nullptr);
}

TEST_F(UpdaterApp, CommandLineFailuresAndHelp)
{
    {
        CRecordingBoxes boxes;
        CTestApp app;
        app.commandLine = L"/autorun   /log";
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].main, LibraryText(L"qvrx0409.dll", 197)); // -42
    }
    {
        CRecordingBoxes boxes;
        CTestApp app;
        app.commandLine = L"-HELP";
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].kind, QV_BOX_INFORMATION);
        const std::wstring& usage = boxes.boxes[0].main;
        EXPECT_EQ(usage.find(L"Usage: QvUpdaterApp.exe [/autorun] [/autoclose] [/quiet] [/unattended] [/format] "
                             L"[/log file]"),
                  0u)
            << std::string(usage.begin(), usage.end());
        EXPECT_EQ(usage.find(L"%s"), std::wstring::npos);
    }
}

TEST_F(UpdaterApp, MissingFirmwareFileIsNamedAndEndsTheSearch)
{
    std::wstring folder = Scratch(L"missing-file");
    for (const char* file : FIRMWARE)
        CopyInto(folder, std::wstring(file, file + strlen(file)));
    DeleteFileW((folder + L"\\usbmsc.sb").c_str());
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    CSimDeviceIo io; // no player at all
    CRecordingBoxes boxes;
    CTestApp app;
    app.io = &io;
    app.commandLine = L"/log " + folder + L"\\missing.log";
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, QV_BOX_ERROR);
    EXPECT_EQ(boxes.boxes[0].main, L"The firmware file usbmsc.sb cannot be opened. Reinstall the program.");
    bool bom = false;
    std::wstring log = ReadLog(folder + L"\\missing.log", &bom);
    EXPECT_TRUE(bom);
    EXPECT_NE(log.find(L": The firmware file usbmsc.sb cannot be opened."), std::wstring::npos);
}

TEST_F(UpdaterApp, EnglishLogKeepsTheBoxesInTheUsersLanguage)
{
    std::wstring folder = Scratch(L"english-log");
    for (const char* file : FIRMWARE)
        CopyInto(folder, std::wstring(file, file + strlen(file)));
    DeleteFileW((folder + L"\\usbmsc.sb").c_str());
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    std::wstring log = folder + L"\\english.log";
    DeleteFileW(log.c_str());
    CSimDeviceIo io;
    CRecordingBoxes boxes;
    CTestApp app;
    app.io = &io;
    app.language = 0x0412;
    app.commandLine = L"/log " + log + L" /english";
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    std::wstring korean = LibraryText(L"qvrx0412.dll", 119);
    ASSERT_NE(korean.find(L"%s"), std::wstring::npos);
    EXPECT_EQ(boxes.boxes[0].main, korean.replace(korean.find(L"%s"), 2, L"usbmsc.sb"));
    bool bom = false;
    std::wstring text = ReadLog(log, &bom);
    EXPECT_NE(text.find(L": The firmware file usbmsc.sb cannot be opened."), std::wstring::npos);
}

TEST_F(UpdaterApp, FormatQuestionAndEscapeDuringARun)
{
    SetCurrentDirectoryW(ProgramFolder().c_str());
    CSimPlayerTarget player;
    CSimDeviceIo io;
    io.volumes[L'V'] = &player;
    io.extraDrives |= 1u << ('V' - 'A');
    io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    CTestApp app;
    app.io = &io;
    ASSERT_EQ(app.CreateObjects(), 0);
    ASSERT_EQ(app.Updater()->OpenUsbMscDevice(), 0);
    app.Updater()->ReleaseDevice();
    CUpdaterDlg dialog(app.Updater());
    dialog.SetModal(0);
    ASSERT_TRUE(dialog.Create(nullptr));
    {
        // Checking the box asks first; No leaves it unchecked.
        CRecordingBoxes boxes(IDNO);
        // As the user's click does it: the box checks itself, then tells the dialog.
        SendMessageW(dialog.GetDlgItem(1008), BM_CLICK, 0, 0);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].kind, QV_BOX_OPTION);
        EXPECT_EQ(boxes.boxes[0].main, LibraryText(L"qvrx0409.dll", 162));
        EXPECT_EQ(dialog.IsItemChecked(1008), 0u);
    }
    // While a run is active, Escape does nothing; afterwards it closes.
    dialog.SetActive(true);
    dialog.OnCancel();
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    dialog.SetActive(false);
    dialog.OnCancel();
    EXPECT_FALSE(IsWindow(dialog.m_hWnd));
}

TEST_F(UpdaterApp, DamagedFirmwareFileIsReportedOnceInsteadOfSearchingForEver)
{
    std::wstring folder = Scratch(L"damaged-file");
    for (const char* file : FIRMWARE)
        CopyInto(folder, std::wstring(file, file + strlen(file)));
    // Version lines but no chip family marker: -12.
    std::ofstream((std::string(folder.begin(), folder.end()) + "\\qvrxsys.sb").c_str(), std::ios::trunc)
        << "Product Version: 1.2.3\nComponent Version: 1.2.3\nno marker here\n";
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    CSimDeviceIo io;
    CRecordingBoxes boxes;
    CTestApp app;
    app.io = &io;
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].main, LibraryText(L"qvrx0409.dll", 120));
}

TEST_F(UpdaterApp, SecondInstanceBringsTheFirstForwardOrSaysItRuns)
{
    HANDLE other = CreateMutexW(nullptr, FALSE, L"QvUpdaterApp.exeVilo    Lark            ");
    ASSERT_TRUE(other);
    {
        // The other copy shows no window: -52.
        CRecordingBoxes boxes;
        CTestApp app;
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].main, LibraryText(L"qvrx0409.dll", 220));
    }
    {
        // Its main dialog is found by the program title and comes forward.
        HWND first = CreateWindowExW(0, L"STATIC", L"Lark Series Firmware Update", WS_POPUP | WS_VISIBLE, 10, 10,
                                     200, 50, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(first);
        ShowWindow(first, SW_MINIMIZE);
        CRecordingBoxes boxes;
        CTestApp app;
        EXPECT_FALSE(app.InitInstance());
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_FALSE(IsIconic(first));
        DestroyWindow(first);
    }
    CloseHandle(other);
}

TEST_F(UpdaterApp, MissingLanguageLibraryShowsTheSystemsText)
{
    // The real program alone in a folder: no library beside it.
    std::wstring folder = Scratch(L"no-library");
    ASSERT_TRUE(CopyInto(folder, L"QvUpdaterApp.exe"));
    Process program;
    ASSERT_TRUE(program.Start(folder + L"\\QvUpdaterApp.exe", L"", folder));
    HWND box = WaitForAnyWindow(L"Error", 30000);
    ASSERT_TRUE(box);
    std::wstring main = mbtest::ItemText(box, 1001), details = mbtest::ItemText(box, 1010);
    EXPECT_EQ(main, L"Unable to load resource dll: qvrx0409.dll");
    EXPECT_FALSE(details.empty());
    mbtest::Click(box, 1009); // open the details
    mbtest::PumpFor(300);
    mbtest::SaveScreenshot(box, "updater_missing_library");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program.Wait(30000, false), 0);
}

// -------------------------------------------------------------------- windows

TEST_F(UpdaterApp, WindowsAsTheUserSeesThem)
{
    SetCurrentDirectoryW(ProgramFolder().c_str());
    CSimPlayerTarget player;
    CSimDeviceIo io;
    io.volumes[L'V'] = &player;
    io.extraDrives |= 1u << ('V' - 'A');
    io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    CTestApp app;
    app.io = &io;
    ASSERT_EQ(app.CreateObjects(), 0);

    // The progress window searching: its animation plays.
    {
        CProgressDlg progress;
        ASSERT_TRUE(progress.Create(nullptr));
        EXPECT_TRUE(progress.AnimationOpened());
        EXPECT_EQ(progress.GetTextW(), L"Searching for the player - Lark Series Firmware Update...");
        mbtest::PumpFor(300);
        std::string first = mbtest::SaveScreenshot(progress, "updater_progress_searching");
        ASSERT_FALSE(first.empty());
        std::wstring a(first.begin(), first.end());
        // A loaded machine may catch the same frame twice: look a few times.
        bool moved = false;
        for (int look = 0; look < 10 && !moved; ++look) {
            mbtest::PumpFor(400);
            std::string second = mbtest::SaveScreenshot(progress, "updater_progress_searching_later");
            std::wstring b(second.begin(), second.end());
            moved = ReadAll(a) != ReadAll(b);
        }
        EXPECT_TRUE(moved) << "the animation stands still";
        progress.DestroyWindow();
    }

    // The main dialog with both versions.
    ASSERT_EQ(app.Updater()->OpenUsbMscDevice(), 0);
    app.Updater()->ReleaseDevice();
    CUpdaterDlg dialog(app.Updater());
    dialog.SetModal(0);
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(dialog.GetTextW(), L"Lark Series Firmware Update");
    EXPECT_EQ(mbtest::ItemText(dialog, 1016), L"3.1.4");
    EXPECT_EQ(mbtest::ItemText(dialog, 1008), L"Format Data Area");
    EXPECT_EQ(dialog.IsItemChecked(1008), 0u);
    mbtest::PumpFor(200);
    mbtest::SaveScreenshot(dialog, "updater_main_dialog");

    // Version details: every component's row, the chip revision in hex.
    const CQvVersionInfoPtrArray *current = nullptr, *upgrade = nullptr;
    uint16_t chip = 0;
    ASSERT_EQ(app.Updater()->GetVersionArrays(current, upgrade), 0);
    ASSERT_EQ(app.Updater()->ChipRevision(chip), 0);
    {
        CVersionDetailsDlg details(current, upgrade, app.Config(), chip, dialog);
        ASSERT_TRUE(details.Create(dialog));
        EXPECT_EQ(mbtest::ItemText(details, 1024), L"Boot Manager");
        EXPECT_EQ(mbtest::ItemText(details, 1036), L"Resource Manager");
        EXPECT_EQ(mbtest::ItemText(details, 1029), L"1.0.7");   // boot manager's file
        EXPECT_EQ(mbtest::ItemText(details, 1033), L"2.3.11");  // mass storage's file
        wchar_t hex[16];
        wsprintfW(hex, L"%x", unsigned(chip));
        EXPECT_EQ(mbtest::ItemText(details, 1037), hex);
        EXPECT_NE(mbtest::ItemText(details, 1042).find(L"\\usbmsc.sb"), std::wstring::npos);
        mbtest::PumpFor(200);
        mbtest::SaveScreenshot(details, "updater_version_details");
        details.DestroyWindow();
    }
    {
        CUpdaterAboutDlg about(app.Config());
        ASSERT_TRUE(about.Create(nullptr));
        EXPECT_EQ(about.GetTextW(), L"About Lark Series Firmware Update");
        EXPECT_EQ(mbtest::ItemText(about, 1016), L"Version 1, 543, 3, 139");
        mbtest::PumpFor(200);
        mbtest::SaveScreenshot(about, "updater_about");
        about.DestroyWindow();
    }
    dialog.DestroyWindow();
}

// ------------------------------------------------- whole runs through the driver

namespace {
class DriverRun : public UpdaterApp {
protected:
    void SetUp() override
    {
        UpdaterApp::SetUp();
        ASSERT_TRUE(sim.Connect()) << sim.LastError();
        ASSERT_TRUE(sim.Reset());
        image = Env(L"QV_APP_IMAGE");
        ASSERT_FALSE(image.empty());
        // A fresh 40 MB data drive of zeros.
        std::ofstream file(std::string(image.begin(), image.end()), std::ios::binary | std::ios::trunc);
        std::vector<char> zeros(1 << 20, 0);
        for (int i = 0; i < 40; ++i)
            file.write(zeros.data(), std::streamsize(zeros.size()));
        file.close();
    }
    void TearDown() override
    {
        vilosim::SimRecoveryConfig none = {};
        sim.SetRecovery(none);
        sim.SetImage("");
        sim.Reset();
        UpdaterApp::TearDown();
    }
    // The versions the player holds now, read as the updater reads them.
    void ExpectPlayerHasTheFilesVersions()
    {
        SetCurrentDirectoryW(ProgramFolder().c_str());
        CQvSystemBinding binding;
        CQvUpdater updater(&binding);
        ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
        const CQvVersionInfoPtrArray *device = nullptr, *file = nullptr;
        ASSERT_EQ(updater.GetVersionArrays(device, file), 0);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(device->At(i)->Major(), file->At(i)->Major()) << i;
            EXPECT_EQ(device->At(i)->Minor(), file->At(i)->Minor()) << i;
            EXPECT_EQ(device->At(i)->Revision(), file->At(i)->Revision()) << i;
        }
        updater.ReleaseDevice();
    }
    CSimDriverClient sim;
    std::wstring image;
};
} // namespace

// The steps of a run in the order the log shows them.
void ExpectLogSequence(const std::wstring& text, const std::vector<const wchar_t*>& sequence)
{
    size_t at = 0;
    for (const wchar_t* line : sequence) {
        size_t next = text.find(line, at);
        EXPECT_NE(next, std::wstring::npos) << std::string(line, line + wcslen(line)) << " in "
                                            << std::string(text.begin(), text.end());
        if (next != std::wstring::npos)
            at = next;
    }
    EXPECT_EQ(text.find(L"failed"), std::wstring::npos) << std::string(text.begin(), text.end());
}

TEST_F(DriverRun, AutoRunUpdatesThePlayer)
{
    ASSERT_TRUE(sim.SetImage(std::string(image.begin(), image.end())));
    std::wstring log = Scratch(L"runs") + L"\\update-run.log";
    DeleteFileW(log.c_str());
    // The old firmware's settings on the player's drive, read-only at that.
    std::wstring settings = Env(L"QV_APP_SCRATCH") + L"\\drive_o\\SETTINGS.DAT";
    std::ofstream(std::string(settings.begin(), settings.end())) << "old settings";
    SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_READONLY);
    // Started as the manager starts it: its launched name, in the firmware's folder.
    Process program;
    ASSERT_TRUE(program.Start(ProgramFolder() + L"\\QvUsbMscupdate.exe", L"/unattended /log " + log, ProgramFolder()));
    EXPECT_EQ(program.Wait(240000), 0);
    bool bom = false;
    std::wstring text = ReadLog(log, &bom);
    EXPECT_TRUE(bom);
    ExpectLogSequence(text, {L": The update starts.\r\n", L": Opening the player\r\n",
                             L": Erasing and writing Boot Manager\r\n", L": Checking Boot Manager\r\n",
                             L": Erasing and writing Resource Manager\r\n", L": Closing the player\r\n",
                             L": The operation completed successfully.\r\n", L": The update is complete.\r\n"});
    EXPECT_EQ(text.find(L"Formatting the data area"), std::wstring::npos);
    EXPECT_EQ(GetFileAttributesW(settings.c_str()), INVALID_FILE_ATTRIBUTES) << "SETTINGS.DAT is still there";
    ExpectPlayerHasTheFilesVersions();
}

// Wine fails FSCTL_DISMOUNT_VOLUME once a driver has seen it, so the format
// run takes the transport's device seam to the same simulated player: the
// whole program runs in this process, started as InitInstance starts it.
TEST_F(UpdaterApp, AutoRunWithFormatLeavesACleanDataDrive)
{
    std::wstring path = Env(L"QV_APP_SCRATCH") + L"\\format-drive.img";
    {
        std::ofstream file(std::string(path.begin(), path.end()), std::ios::binary | std::ios::trunc);
        std::vector<char> zeros(1 << 20, 0);
        for (int i = 0; i < 40; ++i)
            file.write(zeros.data(), std::streamsize(zeros.size()));
    }
    CSimPlayerTarget player;
    ASSERT_TRUE(player.AttachDataImage(std::string(path.begin(), path.end())));
    CSimDeviceIo io;
    io.volumes[L'V'] = &player;
    io.extraDrives |= 1u << ('V' - 'A');
    io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    ASSERT_TRUE(SetCurrentDirectoryW(ProgramFolder().c_str()));
    std::wstring log = Scratch(L"runs") + L"\\format-run.log";
    DeleteFileW(log.c_str());
    CRecordingBoxes boxes;
    {
        CTestApp app;
        app.io = &io;
        app.commandLine = L"/unattended /format /log " + log;
        EXPECT_FALSE(app.InitInstance());
    }
    for (const BoxRecord& box : boxes.boxes)
        ADD_FAILURE() << "box: " << std::string(box.main.begin(), box.main.end());
    bool bom = false;
    std::wstring text = ReadLog(log, &bom);
    EXPECT_TRUE(bom);
    ExpectLogSequence(text, {L": The update starts.\r\n", L": Dividing the player's memory\r\n",
                             L": Erasing and writing Player\r\n", L": Formatting the data area\r\n",
                             L": Writing the root folder\r\n", L": The update is complete.\r\n"});
    EXPECT_FALSE(player.Locked());
    int dismounts = 0;
    for (const SimRecord& r : player.Log())
        dismounts += r.kind == SimRecord::DISMOUNT;
    EXPECT_GE(dismounts, 1);
}

TEST_F(DriverRun, RecoveryDeviceTakesTheMassStorageFirmwareFirst)
{
    // The player answers only as its recovery device until it has the image.
    std::vector<uint8_t> usbmsc = ReadAll(ProgramFolder() + L"\\usbmsc.sb");
    ASSERT_GT(usbmsc.size(), 100000u);
    ASSERT_TRUE(sim.SetImage(std::string(image.begin(), image.end())));
    vilosim::SimRecoveryConfig recovery = {};
    recovery.ExpectedSize = 100000;
    recovery.VolumeAfterImage = 1;
    ASSERT_TRUE(sim.SetRecovery(recovery));
    ASSERT_TRUE(sim.AddUnit(vilosim::UNIT_RECOVERY_NAME, 0));
    std::wstring log = Scratch(L"runs") + L"\\recovery-run.log";
    DeleteFileW(log.c_str());
    Process program;
    ASSERT_TRUE(program.Start(ProgramFolder() + L"\\qvrx3update.exe", L"/unattended /log " + log,
                              ProgramFolder()));
    EXPECT_EQ(program.Wait(280000), 0);
    vilosim::SimRecoveryState state = {};
    std::vector<unsigned char> received;
    ASSERT_TRUE(sim.GetRecovery(&state, &received));
    EXPECT_EQ(state.PlayerBack, 1u);
    EXPECT_TRUE(std::equal(received.begin(), received.end(), usbmsc.end() - 100000));
    bool bom = false;
    std::wstring text = ReadLog(log, &bom);
    size_t loading = text.find(L"Loading its USB firmware");
    size_t complete = text.find(L"The update is complete.");
    EXPECT_NE(loading, std::wstring::npos) << std::string(text.begin(), text.end());
    EXPECT_NE(complete, std::wstring::npos);
    EXPECT_LT(loading, complete);
    ExpectPlayerHasTheFilesVersions();
}
