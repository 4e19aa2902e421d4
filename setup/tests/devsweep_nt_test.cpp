// DevSweep on the NT line (Windows XP under Wine): services through the
// service control manager, with a dummy kernel driver standing for the
// filter driver, and the removal of the earlier players' driver services and
// class keys.
#include "SweepTest.h"

using namespace sweeptest;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const std::string SERVICES = "System\\CurrentControlSet\\Services";
const std::string NT_CLASS = "System\\CurrentControlSet\\Control\\Class";
const char ROW0_CLASS[] = "{AEED0BDD-D2A9-4377-9618-5BCE61B7B6BC}";
const char ROW2_CLASS[] = "{C9304254-E1B8-4322-A95E-37D13B55B11C}";
const char USB_CLASS[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char DISK_CLASS[] = "{4D36E967-E325-11CE-BFC1-08002BE10318}";

std::string M(const std::string& path) {
    return "HKLM\\" + path;
}

std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, n);
    return text.substr(0, text.find_last_of('\\') + 1);
}

}  // namespace

// ---- Services ----------------------------------------------------------------

namespace {

// The service control manager as the tests use it to set up and look.
struct Scm {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ~Scm() {
        if (manager)
            CloseServiceHandle(manager);
    }
    bool Exists(const char* name) {
        SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
        if (service)
            CloseServiceHandle(service);
        return service != nullptr;
    }
    DWORD State(const char* name) {
        SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
        if (!service)
            return 0;
        SERVICE_STATUS status = {};
        QueryServiceStatus(service, &status);
        CloseServiceHandle(service);
        return status.dwCurrentState;
    }
    bool Create(const char* name, const std::string& display, const std::string& binary, bool start) {
        SC_HANDLE service = CreateServiceA(manager, name, display.c_str(), SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr,
                                           nullptr, nullptr, nullptr);
        if (!service)
            return false;
        if (start)
            StartServiceA(service, 0, nullptr);
        CloseServiceHandle(service);
        return true;
    }
    // Stops and deletes what a case left.
    void Remove(const char* name) {
        SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
        if (!service)
            return;
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
        for (int i = 0; i < 100 && Exists(name); ++i)
            Sleep(50);
    }
};

}  // namespace

class Services : public SweepTest {
protected:
    void SetUp() override {
        drivers = SystemFolder() + "\\drivers";
        // The dummy driver under the names the cases give their services: a
        // driver service without an ImagePath loads drivers\<name>.sys.
        for (const char* name : {"DevSweepFilt", "DevSweepOld", "DevSweepDecoy"})
            CopyFileA((OwnFolder() + "devsweep_dummy.sys").c_str(), (drivers + "\\" + name + ".sys").c_str(), FALSE);
        File(drivers + "\\DevSweepBad.sys", "this is no driver");
        scm.Remove("DevSweepFilt");
        scm.Remove("DevSweepOld");
        scm.Remove("DevSweepBad");
        ASSERT_TRUE(scm.Create("DevSweepDecoy", "Decoy driver", drivers + "\\DevSweepDecoy.sys", true));
    }
    void TearDown() override {
        for (const char* name : {"DevSweepFilt", "DevSweepOld", "DevSweepBad", "DevSweepDecoy"})
            scm.Remove(name);
        for (const char* name : {"DevSweepFilt", "DevSweepOld", "DevSweepDecoy", "DevSweepBad"})
            DeleteFileA((drivers + "\\" + name + ".sys").c_str());
        SweepTest::TearDown();
    }
    std::string drivers;
    Scm scm;
};

TEST_F(Services, InstallFilterInstallsAndStartsTheDriverAndRemoveFilterRemovesIt) {
    const std::string path = drivers + "\\DevSweepFilt.sys";
    INSTALLER_RUN run = RunInstaller({"InstallFilter", "DevSweepFilt", path});
    EXPECT_EQ(run.Result, 0) << run.AllText();
    EXPECT_TRUE(run.Says("Qvfilter.sys Simple Installation Aid")) << run.AllText();
    EXPECT_TRUE(run.Says("Driver successfully installed.")) << run.AllText();
    EXPECT_EQ(scm.State("DevSweepFilt"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(GetText(HKLM, SERVICES + "\\DevSweepFilt", "ImagePath"), "<no value>");
    EXPECT_EQ(GetText(HKLM, SERVICES + "\\DevSweepFilt", "Group"), "filter");

    // Already installed and running counts as started.
    INSTALLER_RUN again = RunInstaller({"InstallFilter", "DevSweepFilt", path});
    EXPECT_EQ(again.Result, 0) << again.AllText();
    EXPECT_TRUE(again.Says("Qvfilter is already running.")) << again.AllText();
    EXPECT_TRUE(scm.Exists("DevSweepFilt"));

    Before();
    INSTALLER_RUN removal = RunInstaller({"RemoveFilter", "DevSweepFilt", "ignored"});
    EXPECT_EQ(removal.Result, 0) << removal.AllText();
    // A running driver goes once it stops.
    scm.Remove("DevSweepFilt");
    After();
    EXPECT_FALSE(scm.Exists("DevSweepFilt"));
    EXPECT_EQ(scm.State("DevSweepDecoy"), static_cast<DWORD>(SERVICE_RUNNING));
    ExpectOnlyRemoved({"HKLM\\" + SERVICES + "\\DevSweepFilt"});
}

TEST_F(Services, AFailedStartReturnsItsErrorAndKeepsAServiceThatWasThere) {
    // Made by this call: taken back, with the error code.
    INSTALLER_RUN fresh = RunInstaller({"InstallFilter", "DevSweepBad", drivers + "\\DevSweepBad.sys"});
    EXPECT_NE(fresh.Result, 0) << fresh.AllText();
    EXPECT_TRUE(fresh.Says("Qvfilter could not be started.")) << fresh.AllText();
    EXPECT_FALSE(scm.Exists("DevSweepBad"));
    // There before: it stays.
    ASSERT_TRUE(scm.Create("DevSweepBad", "Older driver", drivers + "\\DevSweepBad.sys", false));
    INSTALLER_RUN existing = RunInstaller({"InstallFilter", "DevSweepBad", drivers + "\\DevSweepBad.sys"});
    EXPECT_NE(existing.Result, 0) << existing.AllText();
    EXPECT_TRUE(scm.Exists("DevSweepBad"));
}

TEST_F(Services, RemoveFilterOfAMissingServiceReturnsItsError) {
    INSTALLER_RUN run = RunInstaller({"RemoveFilter", "DevSweepNone", ""});
    EXPECT_EQ(run.Result, static_cast<int>(ERROR_SERVICE_DOES_NOT_EXIST)) << run.AllText();
    EXPECT_TRUE(run.Says("Qvfilter could not be installed.")) << run.AllText();
}

TEST_F(Services, CheckServiceNameStopsAndDeletesOnlyTheNamedService) {
    EXPECT_EQ(RunInstaller({"CheckServiceName", "DevSweepNone"}).Result, 0);
    // A display name longer than 128 characters is still a service.
    ASSERT_TRUE(scm.Create("DevSweepOld", std::string(200, 'D'), drivers + "\\DevSweepOld.sys", true));
    EXPECT_EQ(scm.State("DevSweepOld"), static_cast<DWORD>(SERVICE_RUNNING));
    Before();
    INSTALLER_RUN run = RunInstaller({"CheckServiceName", "DevSweepOld"});
    for (int i = 0; i < 100 && scm.Exists("DevSweepOld"); ++i)
        Sleep(50);
    After();
    EXPECT_EQ(run.Result, 0) << run.AllText();
    EXPECT_TRUE(run.Says("Service DevSweepOld deleted")) << run.AllText();
    EXPECT_FALSE(scm.Exists("DevSweepOld"));
    EXPECT_EQ(scm.State("DevSweepDecoy"), static_cast<DWORD>(SERVICE_RUNNING));
    ExpectOnlyRemoved({"HKLM\\" + SERVICES + "\\DevSweepOld"});
}

// ---- RemoveLegacyPlayerDrivers ---------------------------------------------------

class RemoveLegacyPlayerDrivers : public SweepTest {};

TEST_F(RemoveLegacyPlayerDrivers, NtRemovesTheDriverServicesAndThePlayersClassKeysOnly) {
    for (const char* sub : {"Enum", "Parameters\\Device", "Parameters\\PnpInterface", "Security"})
        Key(HKLM, SERVICES + "\\Qvscsi\\" + sub, "x", "1");
    Key(HKLM, SERVICES + "\\Qvscsi", "ImagePath", "qvscsi.sys");
    Key(HKLM, SERVICES + "\\Mp3Drv\\Enum", "x", "1");
    Key(HKLM, SERVICES + "\\Mp3Drv\\Security", "x", "1");
    Key(HKLM, SERVICES + "\\QvscsiDecoy\\Enum", "x", "1");
    // The player's own class: numbered driver keys, no InfPath.
    for (const char* n : {"0000", "0001", "0029"})
        Key(HKLM, NT_CLASS + "\\" + ROW0_CLASS + "\\" + n, "DriverDesc", "QVRX3");
    SetText(HKLM, NT_CLASS + "\\" + ROW0_CLASS, "Class", "QvMp3Player");
    Key(HKLM, NT_CLASS + "\\" + ROW0_CLASS + "\\0030", "DriverDesc", "beyond the numbered range");
    // A class installed from an OEM INF keeps its driver keys.
    Key(HKLM, NT_CLASS + "\\" + ROW2_CLASS + "\\0000", "DriverDesc", "QVRX2");
    SetText(HKLM, NT_CLASS + "\\" + ROW2_CLASS, "Class", "QvMp3Player2");
    SetText(HKLM, NT_CLASS + "\\" + ROW2_CLASS, "InfPath", "oem7.inf");
    // Rows filed under the system's USB and disk classes: those stay whole.
    Key(HKLM, NT_CLASS + "\\" + USB_CLASS + "\\0000", "DriverDesc", "USB root hub");
    SetText(HKLM, NT_CLASS + "\\" + USB_CLASS, "Class", "USB");
    Key(HKLM, NT_CLASS + "\\" + DISK_CLASS + "\\0000", "DriverDesc", "Disk drive");
    SetText(HKLM, NT_CLASS + "\\" + DISK_CLASS, "Class", "DiskDrive");
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveLegacyPlayerDrivers"});
    After();
    EXPECT_EQ(run.Result, 1);
    // ROW0's class keeps 0030 (outside 0000-0029), so its key stays too.
    ExpectOnlyRemoved({M(SERVICES + "\\Qvscsi"), M(SERVICES + "\\Mp3Drv"), M(NT_CLASS + "\\" + ROW0_CLASS + "\\0000"),
                       M(NT_CLASS + "\\" + ROW0_CLASS + "\\0001"), M(NT_CLASS + "\\" + ROW0_CLASS + "\\0029")});
    EXPECT_TRUE(run.Says("Mp3Drv OEM Name: oem7.inf")) << run.AllText();
    EXPECT_TRUE(run.Says("Class " + std::string(USB_CLASS) + " (USB) belongs to the system: kept")) << run.AllText();
}

