// DevSweep on the 95/98/ME line (Windows 98 and ME under Wine, where a key
// deletion takes the key's whole subtree, as it did there): the recording driver's
// class keys, the miniport and class keys of earlier players, and the
// service exports that have nothing to do there.
#include "SweepTest.h"

using namespace sweeptest;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const std::string NINE_CLASS = "System\\CurrentControlSet\\Services\\Class";
const char ROW0_CLASS[] = "{AEED0BDD-D2A9-4377-9618-5BCE61B7B6BC}";
const char ROW2_CLASS[] = "{C9304254-E1B8-4322-A95E-37D13B55B11C}";
const char ROW5_CLASS[] = "{4FAD996C-ADEA-4C33-B50D-AC12750546DF}";
const char USB_CLASS[] = "{36FC9E60-C465-11CF-8056-444553540000}";

std::string M(const std::string& path) {
    return "HKLM\\" + path;
}

}  // namespace

// ---- CheckServiceName on 95/98 ------------------------------------------------------

class CheckServiceName9x : public SweepTest {
protected:
    void SetUp() override {
        Key(HKLM, NINE_CLASS + "\\DiskDrive\\0000", "DriverDesc", "Disk drive");
        Key(HKLM, NINE_CLASS + "\\USB\\0000", "DriverDesc", "USB root hub");
        Key(HKLM, NINE_CLASS + "\\HID\\0000", "DriverDesc", "USB keyboard");
    }
};

TEST_F(CheckServiceName9x, RemovesTheRecorderClassAndTheClassItNames) {
    Key(HKLM, NINE_CLASS + "\\{9FFF066D-3ED3-4567-9123-8B82CFE1CDD4}", "Class", "QvRecorder");
    Key(HKLM, NINE_CLASS + "\\QvRecorder\\0000", "DriverDesc", "Recorder");
    Before();
    INSTALLER_RUN run = RunInstaller({"CheckServiceName", "QVRX3REC"});
    After();
    EXPECT_EQ(run.Result, 1);
    ExpectOnlyRemoved({M(NINE_CLASS + "\\{9FFF066D-3ED3-4567-9123-8B82CFE1CDD4}"), M(NINE_CLASS + "\\QvRecorder")});
}

TEST_F(CheckServiceName9x, AnEmptyMissingOrSystemClassValueKeepsEveryOtherClass) {
    const char* const values[] = {"", nullptr, "DiskDrive", "USB\\0000", "HID"};
    for (const char* value : values) {
        Key(HKLM, NINE_CLASS + "\\{9FFF066D-3ED3-4567-9123-8B82CFE1CDD4}", value ? "Class" : "Other", value ? value : "");
        Before();
        INSTALLER_RUN run = RunInstaller({"CheckServiceName", "qvrx3rec"});
        After();
        EXPECT_EQ(run.Result, 1);
        ExpectOnlyRemoved({M(NINE_CLASS + "\\{9FFF066D-3ED3-4567-9123-8B82CFE1CDD4}")});
        EXPECT_TRUE(HasKey(HKLM, NINE_CLASS + "\\DiskDrive\\0000"));
        EXPECT_TRUE(HasKey(HKLM, NINE_CLASS + "\\USB\\0000"));
        EXPECT_TRUE(HasKey(HKLM, NINE_CLASS + "\\HID\\0000"));
    }
}

TEST_F(CheckServiceName9x, OtherNamesTouchNothing) {
    Key(HKLM, NINE_CLASS + "\\{9FFF066D-3ED3-4567-9123-8B82CFE1CDD4}", "Class", "QvRecorder");
    Before();
    for (const char* name : {"qvrx3", "", "<null>", "Class"})
        EXPECT_EQ(RunInstaller({"CheckServiceName", name}).Result, 0) << name;
    After();
    ExpectNothingChanged();
}

// ---- RemoveLegacyPlayerDrivers ---------------------------------------------------

class RemoveLegacyPlayerDrivers : public SweepTest {};

TEST_F(RemoveLegacyPlayerDrivers, NineRemovesTheMiniportAndTheClassesButNoSystemClass) {
    Key(HKLM, NINE_CLASS + "\\SCSIAdapter\\0001", "PortDriver", "ESDI_506.pdr");
    Key(HKLM, NINE_CLASS + "\\SCSIAdapter\\0003", "PortDriver", "qvscsi.mpd");
    Key(HKLM, NINE_CLASS + "\\SCSIAdapter\\0037", "PortDriver", "QvScsi.MPD");
    Key(HKLM, NINE_CLASS + "\\SCSIAdapter\\0038", "PortDriver", "QvScsi.MPD");  // past the numbers looked at
    Key(HKLM, NINE_CLASS + "\\" + ROW0_CLASS, "Class", "QvMp3Player");
    Key(HKLM, NINE_CLASS + "\\QvMp3Player\\0000", "DriverDesc", "QVRX3");
    Key(HKLM, NINE_CLASS + "\\QvMp3Player\\0001\\Sub", "DriverDesc", "QVRX3");
    // An empty class name must not make the class root the target, nor
    // a system class name its class.
    Key(HKLM, NINE_CLASS + "\\" + ROW2_CLASS, "Class", "");
    Key(HKLM, NINE_CLASS + "\\" + ROW5_CLASS, "Class", "DiskDrive");
    Key(HKLM, NINE_CLASS + "\\DiskDrive\\0000", "DriverDesc", "Disk drive");
    Key(HKLM, NINE_CLASS + "\\" + USB_CLASS, "Class", "USB");
    Key(HKLM, NINE_CLASS + "\\USB\\0000", "DriverDesc", "USB root hub");
    Key(HKLM, NINE_CLASS + "\\0000", "DriverDesc", "a numbered key in the class root");
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveLegacyPlayerDrivers"});
    After();
    EXPECT_EQ(run.Result, 1);
    ExpectOnlyRemoved({M(NINE_CLASS + "\\SCSIAdapter\\0003"), M(NINE_CLASS + "\\SCSIAdapter\\0037"),
                       M(NINE_CLASS + "\\" + ROW0_CLASS), M(NINE_CLASS + "\\QvMp3Player")});
    EXPECT_TRUE(run.Says("SCSI index: 0003   QvScsi InfSection: qvscsi.mpd")) << run.AllText();
}

// ---- RemoveLegacyPlayerRemnants ----------------------------------------------------

class RemoveLegacyPlayerRemnants : public SweepTest {};

TEST_F(RemoveLegacyPlayerRemnants, TheSCSIEnumKeysOfThe9xLayoutGo) {
    // The earlier player's device as 95/98/ME enumerate it, beside another
    // vendor's disk.
    Key(HKLM, "Enum\\QVRX3\\VEN_066F&DEV_3400", "x", "1");
    Key(HKLM, "Enum\\SCSI\\QUORVANEQVRX3______\\0", "Class", "DiskDrive");
    Key(HKLM, "Enum\\SCSI\\QUORVANEQVRX3______Rev\\1", "Class", "DiskDrive");
    Key(HKLM, "Enum\\SCSI\\OTHERVENDISK_______\\0", "Class", "DiskDrive");
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveLegacyPlayerRemnants", "0"});
    After();
    EXPECT_EQ(run.Result, 0);
    ExpectOnlyRemoved({M("Enum\\SCSI\\QUORVANEQVRX3______"), M("Enum\\SCSI\\QUORVANEQVRX3______Rev")});
}

// ---- The service exports ----------------------------------------------------------

class Services : public SweepTest {};

TEST_F(Services, On98TheFilterExportsInstallNothing) {
    Before();
    EXPECT_EQ(RunInstaller({"InstallFilter", "DevSweepFilt", SystemFolder() + "\\drivers\\DevSweepFilt.sys"}).Result,
              static_cast<int>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(RunInstaller({"RemoveFilter", "DevSweepDecoy", ""}).Result, static_cast<int>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(RunInstaller({"CheckServiceName", "DevSweepDecoy"}).Result, 0);
    After();
    ExpectNothingChanged();
}

