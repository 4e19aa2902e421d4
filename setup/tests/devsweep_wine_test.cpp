// DevSweep.dll as an installer meets it, under Wine as Windows XP and as
// Windows 98: each export is called by the tests' installer, and the registry
// and the files are compared before and after. The targets must be gone and
// every decoy (another vendor's keys, another device class, the system
// folder, another program's shortcut) still there.
#include "SweepTest.h"

#include <shlobj.h>

using namespace sweeptest;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const std::string UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string APP_PATHS = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string MENU_ORDER = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder";

// Rows of the earlier-player table the tests use.
const char ROW0_UNINSTALL[] = "{FF531DC3-062E-4BA4-9702-BAEAEC43EBC6}";
const char ROW5_UNINSTALL[] = "{0E9B4D0E-B892-40A4-9690-B37F0BCA8137}";
const char ROW7_UNINSTALL[] = "{D22FA279-327A-4A7B-AE4C-3A9F351FEDDD}";
const char HOOK[] = "{343DA396-6C33-42EB-9478-C1EAF35FB908}";
const char DECOY_CLSID[] = "{0C7E1D3A-77B4-4E2B-9D0E-5A1F2B3C4D5E}";

std::string M(const std::string& path) {
    return "HKLM\\" + path;
}
std::string U(const std::string& path) {
    return "HKCU\\" + path;
}

}  // namespace

// ---- Export table ----------------------------------------------------------

TEST(Exports, TheInstallerFindsAllFifteenByTheirPlainNames) {
    INSTALLER_RUN run = RunInstaller({"exports"});
    EXPECT_EQ(run.Result, 0) << run.AllText();
    EXPECT_TRUE(run.Says("exports missing: 0")) << run.AllText();
}

// ---- FindLegacyPlayers --------------------------------------------------------

class FindLegacyPlayers : public SweepTest {};

TEST_F(FindLegacyPlayers, NoneInstalledLeavesBothOutputsUnchanged) {
    Before();
    INSTALLER_RUN run = RunInstaller({"FindLegacyPlayers"});
    After();
    EXPECT_EQ(run.Result, 0);
    EXPECT_TRUE(run.Says("row=48879 name=unchanged guards=intact")) << run.AllText();
    EXPECT_TRUE(run.Says("No earlier player found")) << run.AllText();
    ExpectNothingChanged();
}

TEST_F(FindLegacyPlayers, TheFirstInstalledRowWinsUnderItsLongerName) {
    Key(HKLM, UNINSTALL + "\\" + ROW7_UNINSTALL, "DisplayName", "Sonalta SA-MP100 Manager");
    Key(HKLM, UNINSTALL + "\\" + ROW5_UNINSTALL, "DisplayName", "Tessaro MiniPlay");
    // An uninstall key without a name is not an installed player.
    Key(HKLM, UNINSTALL + "\\" + ROW0_UNINSTALL, "Publisher", "Quorvane");
    Before();
    INSTALLER_RUN run = RunInstaller({"FindLegacyPlayers"});
    After();
    EXPECT_EQ(run.Result, 1);
    EXPECT_TRUE(run.Says("row=5 name=Tessaro MiniPlay Music Transfer guards=intact")) << run.AllText();
    ExpectNothingChanged();
}

TEST_F(FindLegacyPlayers, ALongDisplayNameStaysInsideTheDocumentedBuffer) {
    Key(HKLM, UNINSTALL + "\\" + ROW7_UNINSTALL, "DisplayName", std::string(127, 'S'));
    INSTALLER_RUN run = RunInstaller({"FindLegacyPlayers"});
    EXPECT_EQ(run.Result, 1);
    EXPECT_TRUE(run.Says("row=7 name=" + std::string(127, 'S') + " guards=intact")) << run.AllText();
}

// ---- RemoveInstalledLegacyPlayer --------------------------------------------

class RemoveInstalledLegacyPlayer : public SweepTest {
protected:
    void SetUp() override {
        windows = WindowsFolder();
        drive = windows.substr(0, 2);
        CleanupFolder(drive + "\\Program Files\\Quorvane");
        CleanupFolder(drive + "\\Documents and Settings");
        CleanupFolder(windows + "\\Start Menu");
        CleanupFolder(windows + "\\system");
        CleanupFolder(drive + "\\DevSweepTest");
    }
    // The earlier player as its own installer left it, with decoys around it.
    void Install(const std::string& installFolderValue, const std::string& uninstallFolderValue) {
        const std::string product = "Quorvane QVRX3 Manager";
        Key(HKLM, UNINSTALL + "\\" + ROW0_UNINSTALL, "DisplayName", product);
        Key(HKLM, UNINSTALL + "\\{6B784383-5983-4C6E-A490-14E392953734}", "DisplayName", "Other Vendor Player");
        const std::string params = "Software\\Quorvane\\" + product + "\\Params";
        Key(HKLM, params, "Install Folder", installFolderValue);
        SetText(HKLM, params, "Uninstall Folder", uninstallFolderValue);
        Key(HKLM, "Software\\Quorvane\\" + product + "\\1.00.000", "Version", "1.00.000");
        Key(HKLM, params + "\\3400", "Chip", "3400");
        Key(HKLM, params + "\\3410", "Chip", "3410");
        Key(HKLM, "Software\\Quorvane\\QVRX3 Format Tool", "Path", "x");
        Key(HKLM, "Software\\Quorvane\\QVRX3 Firmware Update", "Path", "x");
        Key(HKLM, "Software\\Quorvane\\Other Product\\Params", "Install Folder", drive + "\\Program Files\\Quorvane\\Other");
        Key(HKLM, APP_PATHS + "\\Qvrx3format.exe", nullptr);
        Key(HKLM, APP_PATHS + "\\Qvrx3Update.exe", nullptr);
        Key(HKLM, APP_PATHS + "\\DevSweepDecoy.exe", nullptr);
        for (const char* menu : {"\\Start Menu\\&Programs\\", "\\Start Menu2\\Programs\\", "\\Start Menu\\Programs\\"}) {
            Key(HKCU, MENU_ORDER + menu + product, "Order", "x");
            Key(HKCU, MENU_ORDER + menu + "Other Program", "Order", "x");
        }
        File(drive + "\\Program Files\\Quorvane\\QVRX3\\manager.exe");
        File(drive + "\\Program Files\\Quorvane\\QVRX3\\readme.txt");
        File(drive + "\\Program Files\\Quorvane\\Uninstall\\uninst.exe");
        File(drive + "\\Program Files\\Quorvane\\vendor.txt");
        File(drive + "\\Program Files\\Quorvane\\Other\\other.exe");  // another product's folder
        File(windows + "\\Start Menu\\Programs\\" + product + "\\Manager.lnk");
        File(drive + "\\Documents and Settings\\All Users\\Start Menu\\Programs\\" + product + "\\Manager.lnk");
        File(drive + "\\Documents and Settings\\All Users\\Start Menu\\Programs\\Other Program\\Other.lnk");
        File(drive + "\\Documents and Settings\\All Users.WINNT\\Start Menu\\Programs\\" + product + "\\Manager.lnk");
        File(windows + "\\system\\qvrxhook.dll");
        File(SystemFolder() + "\\qvrxhook.dll");
        File(SystemFolder() + "\\drivers\\mp3drv.sys");
        File(SystemFolder() + "\\drivers\\qvscsi.sys");
        File(windows + "\\system\\iosubsys\\qvscsi.mpd");
        File(drive + "\\DevSweepTest\\keep.txt");
    }
    void TearDown() override {
        for (const char* file : {"\\qvrxhook.dll", "\\drivers\\mp3drv.sys", "\\drivers\\qvscsi.sys"})
            DeleteFileA((SystemFolder() + file).c_str());
        SweepTest::TearDown();
    }
    std::string windows, drive;
};

TEST_F(RemoveInstalledLegacyPlayer, RemovesThePlayersKeysFoldersShortcutsAndDriversOnly) {
    const std::string product = "Quorvane QVRX3 Manager";
    Install(drive + "\\Program Files\\Quorvane\\QVRX3", drive + "\\Program Files\\Quorvane\\Uninstall");
    Before(true);
    INSTALLER_RUN run = RunInstaller({"RemoveInstalledLegacyPlayer", "0", "Quorvane QVRX3 Manager and USB Driver"});
    After();
    EXPECT_EQ(run.Result, 1);
    ExpectOnlyRemoved({M(UNINSTALL + "\\" + ROW0_UNINSTALL), M("Software\\Quorvane\\" + product),
                       M("Software\\Quorvane\\QVRX3 Format Tool"), M("Software\\Quorvane\\QVRX3 Firmware Update"),
                       M(APP_PATHS + "\\Qvrx3format.exe"), M(APP_PATHS + "\\Qvrx3Update.exe"),
                       U(MENU_ORDER + "\\Start Menu\\&Programs\\" + product),
                       U(MENU_ORDER + "\\Start Menu2\\Programs\\" + product),
                       U(MENU_ORDER + "\\Start Menu\\Programs\\" + product)});
    // The company's key stays: another product of it is installed.
    EXPECT_TRUE(HasKey(HKLM, "Software\\Quorvane\\Other Product\\Params"));
    const std::string nineOrNt = IsNtLine() ? SystemFolder() + "\\drivers\\qvscsi.sys" : windows + "\\system\\iosubsys\\qvscsi.mpd";
    ExpectOnlyFilesRemoved({drive + "\\Program Files\\Quorvane\\QVRX3", drive + "\\Program Files\\Quorvane\\Uninstall",
                            drive + "\\Program Files\\Quorvane\\vendor.txt",
                            windows + "\\Start Menu\\Programs\\" + product,
                            drive + "\\Documents and Settings\\All Users\\Start Menu\\Programs\\" + product,
                            drive + "\\Documents and Settings\\All Users.WINNT\\Start Menu\\Programs\\" + product,
                            windows + "\\system\\qvrxhook.dll", SystemFolder() + "\\qvrxhook.dll",
                            SystemFolder() + "\\drivers\\mp3drv.sys", nineOrNt});
    EXPECT_TRUE(run.Says("Removing Quorvane QVRX3 Manager of Quorvane")) << run.AllText();
    EXPECT_TRUE(run.Says("\tDeleting " + drive + "\\Program Files\\Quorvane\\QVRX3")) << run.AllText();
    EXPECT_TRUE(run.Says("Keeping SOFTWARE\\Quorvane: other products are installed")) << run.AllText();
}

TEST_F(RemoveInstalledLegacyPlayer, TheCompanyKeyGoesWithItsLastProduct) {
    Install(drive + "\\Program Files\\Quorvane\\QVRX3", drive + "\\Program Files\\Quorvane\\Uninstall");
    DeleteTree(HKLM, "Software\\Quorvane\\Other Product");
    RunInstaller({"RemoveInstalledLegacyPlayer", "0", "Quorvane QVRX3 Manager and USB Driver"});
    EXPECT_FALSE(HasKey(HKLM, "Software\\Quorvane"));
}

TEST_F(RemoveInstalledLegacyPlayer, MissingOrSystemFolderValuesDeleteNoFiles) {
    // A missing Install Folder and a Windows folder as Uninstall Folder: the
    // drive root's files and the Windows folder's must stay.
    Install("", windows);
    File(drive + "\\DevSweepTest\\root-decoy.txt");
    HKEY key = nullptr;
    RegOpenKeyExA(HKLM, "Software\\Quorvane\\Quorvane QVRX3 Manager\\Params", 0, KEY_ALL_ACCESS, &key);
    RegDeleteValueA(key, "Install Folder");
    RegCloseKey(key);
    File(windows + "\\devsweep-decoy.txt");
    CleanupFolder(windows + "\\devsweep-decoy.txt");
    Before(true);
    INSTALLER_RUN run = RunInstaller({"RemoveInstalledLegacyPlayer", "0", "Quorvane QVRX3 Manager"});
    After();
    DeleteFileA((windows + "\\devsweep-decoy.txt").c_str());
    EXPECT_TRUE(run.Says("Refused: " + windows + " is no folder of a program")) << run.AllText();
    EXPECT_TRUE(run.Says("Refused:  is no folder of a program")) << run.AllText();
    const std::string product = "Quorvane QVRX3 Manager";
    const std::string nineOrNt = IsNtLine() ? SystemFolder() + "\\drivers\\qvscsi.sys" : windows + "\\system\\iosubsys\\qvscsi.mpd";
    ExpectOnlyFilesRemoved({drive + "\\Program Files\\Quorvane\\vendor.txt",
                            windows + "\\Start Menu\\Programs\\" + product,
                            drive + "\\Documents and Settings\\All Users\\Start Menu\\Programs\\" + product,
                            drive + "\\Documents and Settings\\All Users.WINNT\\Start Menu\\Programs\\" + product,
                            windows + "\\system\\qvrxhook.dll", SystemFolder() + "\\qvrxhook.dll",
                            SystemFolder() + "\\drivers\\mp3drv.sys", nineOrNt});
}

TEST_F(RemoveInstalledLegacyPlayer, TheUsersOwnAndSystemFoldersAsFolderValuesKeepTheirFiles) {
    // Folder values that name the user's desktop, documents, profile or Start
    // menu, or a system folder: the files there are no earlier player's.
    std::vector<std::string> folders;
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_PROFILE, CSIDL_PROGRAMS, CSIDL_FONTS}) {
        char path[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK) << csidl;
        folders.push_back(path);
    }
    // Both system folders of the Windows folder: 16-bit and 32-bit.
    folders.push_back(windows + "\\system");
    folders.push_back(windows + "\\system32");
    // The Start menu's Programs spelt half long, half short.
    char startMenu[MAX_PATH] = {}, shortMenu[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_STARTMENU, nullptr, 0, startMenu), S_OK);
    ASSERT_NE(GetShortPathNameA(startMenu, shortMenu, MAX_PATH), 0u);
    const std::string longMenu = startMenu, shortName = strrchr(shortMenu, '\\') + 1;
    ASSERT_NE(shortName, longMenu.substr(longMenu.rfind('\\') + 1));
    folders.push_back(longMenu.substr(0, longMenu.rfind('\\') + 1) + shortName + "\\Programs");
    for (const std::string& folder : folders) {
        const std::string decoy = folder + "\\devsweep-user-file.txt";
        File(decoy);
        Install(folder, folder + "\\");
        INSTALLER_RUN run = RunInstaller({"RemoveInstalledLegacyPlayer", "0", "Quorvane QVRX3 Manager"});
        const bool kept = GetFileAttributesA(decoy.c_str()) != INVALID_FILE_ATTRIBUTES;
        DeleteFileA(decoy.c_str());
        EXPECT_TRUE(kept) << folder;
        EXPECT_TRUE(run.Says("Refused: " + folder + " is no folder of a program")) << run.AllText();
    }
}

TEST_F(RemoveInstalledLegacyPlayer, DangerousNamesAndRowsChangeNothing) {
    Install(drive + "\\Program Files\\Quorvane\\QVRX3", drive + "\\Program Files\\Quorvane\\Uninstall");
    Before(true);
    struct Call {
        const char* row;
        const char* name;
    } calls[] = {{"0", ""}, {"0", " Quorvane"}, {"0", "Quorvane\\.."}, {"38", "Quorvane QVRX3 Manager"},
                 {"-1", "Quorvane QVRX3 Manager"}};
    for (const Call& call : calls) {
        INSTALLER_RUN run = RunInstaller({"RemoveInstalledLegacyPlayer", call.row, call.name});
        EXPECT_EQ(run.Result, 1) << call.name;
    }
    After();
    ExpectNothingChanged();
}

// ---- RemoveLegacyPlayerHook ---------------------------------------------------

class RemoveLegacyPlayerHook : public SweepTest {
protected:
    void Hook(const std::string& menuHandler) {
        const std::string approved = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
        Key(HKLM, approved);
        SetText(HKLM, approved, HOOK, "QVRX hook");
        SetText(HKLM, approved, DECOY_CLSID, "Other extension");
        Cleanup(HKLM, "Software\\Classes\\CLSID\\" + std::string(HOOK));
        Cleanup(HKLM, "Software\\Classes\\CLSID\\" + std::string(DECOY_CLSID));
        Cleanup(HKLM, "Software\\Classes\\Drive\\shellex\\ContextMenuHandlers\\Menu");
        Key(HKLM, "Software\\Classes\\CLSID\\" + std::string(HOOK) + "\\InProcServer32", "", "qvrxhook.dll");
        Key(HKLM, "Software\\Classes\\CLSID\\" + std::string(DECOY_CLSID) + "\\InProcServer32", "", "other.dll");
        Key(HKLM, "Software\\Classes\\Drive\\shellex\\ContextMenuHandlers\\Menu", "", menuHandler);
    }
    void TearDown() override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", 0,
                          KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, HOOK);
            RegDeleteValueA(key, DECOY_CLSID);
            RegCloseKey(key);
        }
        SweepTest::TearDown();
    }
};

TEST_F(RemoveLegacyPlayerHook, RemovesTheExtensionAndUnhooksItsMenuHandler) {
    Hook(HOOK);
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveLegacyPlayerHook"});
    After();
    EXPECT_EQ(run.Result, 1);
    const std::string menu = "Software\\Classes\\Drive\\shellex\\ContextMenuHandlers\\Menu";
    ExpectOnlyRemoved({M("Software\\Classes\\CLSID\\" + std::string(HOOK))},
                      {M("Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"), M(menu)});
    EXPECT_EQ(GetText(HKLM, menu, ""), "");
    EXPECT_EQ(GetText(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", HOOK),
              "<no value>");
    EXPECT_EQ(GetText(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", DECOY_CLSID),
              "Other extension");
    EXPECT_TRUE(run.Says("Drive menu handler unhooked")) << run.AllText();
}

TEST_F(RemoveLegacyPlayerHook, AnotherProgramsMenuHandlerIsKept) {
    Hook(DECOY_CLSID);
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveLegacyPlayerHook"});
    After();
    ExpectOnlyRemoved({M("Software\\Classes\\CLSID\\" + std::string(HOOK))},
                      {M("Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved")});
    EXPECT_EQ(GetText(HKLM, "Software\\Classes\\Drive\\shellex\\ContextMenuHandlers\\Menu", ""), DECOY_CLSID);
    EXPECT_TRUE(run.Says("kept")) << run.AllText();
}

// ---- RemovePlayerRemnants --------------------------------------------------------

class RemovePlayerRemnants : public SweepTest {
protected:
    void SetUp() override {
        for (const char* menu : {"\\Start Menu\\&Programs\\", "\\Start Menu2\\Programs\\", "\\Start Menu\\Programs\\"}) {
            Key(HKCU, MENU_ORDER + menu + "Vilo Lark", "Order", "x");
            Key(HKCU, MENU_ORDER + menu + "Other Program", "Order", "x");
        }
        for (const char* app : {"Qvrx3Format.exe", "Qvrx3Update.exe", "QvUsbMscFormat.exe", "QvUsbMscUpdate.exe",
                                "QvUpdaterApp.exe", "DevSweepDecoy.exe"})
            Key(HKLM, APP_PATHS + "\\" + app, "", "C:\\x.exe");
    }
    std::vector<std::string> AppPaths() {
        std::vector<std::string> keys;
        for (const char* app :
             {"Qvrx3Format.exe", "Qvrx3Update.exe", "QvUsbMscFormat.exe", "QvUsbMscUpdate.exe", "QvUpdaterApp.exe"})
            keys.push_back(M(APP_PATHS + "\\" + app));
        return keys;
    }
};

TEST_F(RemovePlayerRemnants, RemovesTheFoldersMenuOrderAndTheAppPaths) {
    Before();
    INSTALLER_RUN run = RunInstaller({"RemovePlayerRemnants", "Vilo Lark"});
    After();
    EXPECT_EQ(run.Result, 1);
    std::vector<std::string> targets = AppPaths();
    for (const char* menu : {"\\Start Menu\\&Programs\\", "\\Start Menu2\\Programs\\", "\\Start Menu\\Programs\\"})
        targets.push_back(U(MENU_ORDER + menu + "Vilo Lark"));
    ExpectOnlyRemoved(targets);
    EXPECT_TRUE(run.Says("Completed remnant search")) << run.AllText();
}

TEST_F(RemovePlayerRemnants, AnEmptyFolderNameKeepsTheWholeMenuOrder) {
    Before();
    for (const char* name : {"", "..\\Programs"})
        EXPECT_EQ(RunInstaller({"RemovePlayerRemnants", name}).Result, 1) << name;
    After();
    ExpectOnlyRemoved(AppPaths());
}
