// DevSweep's removal of drivers, device nodes and their Enum, class,
// CriticalDeviceDatabase, USBSTOR and RemovableMedia keys, under Wine as
// Windows XP and as Windows 98. Device nodes are made the way the device
// installer makes them (SetupDiCreateDeviceInfo, hardware ids, register).
#include "SweepTest.h"

using namespace sweeptest;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const std::string NT_CLASS = "System\\CurrentControlSet\\Control\\Class";
const std::string NINE_CLASS = "System\\CurrentControlSet\\Services\\Class";
const std::string ENUM = "System\\CurrentControlSet\\Enum";
const std::string CRITICAL = "System\\CurrentControlSet\\Control\\CriticalDeviceDatabase";

const char ROW0_CLASS[] = "{AEED0BDD-D2A9-4377-9618-5BCE61B7B6BC}";
const char ROW5_CLASS[] = "{4FAD996C-ADEA-4C33-B50D-AC12750546DF}";
const char USB_CLASS[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char DISK_CLASS[] = "{4D36E967-E325-11CE-BFC1-08002BE10318}";
const char VOLUME_CLASS[] = "{71A27CDD-812A-11D0-BEC7-08002BE2092F}";

std::string M(const std::string& path) {
    return "HKLM\\" + path;
}

std::string ClassRoot() {
    return IsNtLine() ? NT_CLASS : NINE_CLASS;
}

}  // namespace

// ---- RemoveLegacyPlayerRemnants ----------------------------------------------

class RemoveLegacyPlayerRemnants : public SweepTest {};

TEST_F(RemoveLegacyPlayerRemnants, RemovesTheRowsDevicesAndKeysButNotOtherClassesOrVendors) {
    const GUID row0 = GuidOf(ROW0_CLASS);
    // The earlier player's USB device, one of its id under the USB class
    // (another product), and another vendor's device.
    Device("USB\\VID_066F&PID_3400\\QV0001", row0, {"USB\\Vid_066F&Pid_3400&Rev_0100", "USB\\Vid_066F&Pid_3400"});
    Device("USB\\VID_066F&PID_3400\\OTHERCLASS", CLASS_USB, {"USB\\Vid_066F&Pid_3400"});
    Device("USB\\VID_1234&PID_3400\\DECOY", row0, {"USB\\Vid_1234&Pid_3400"});
    const std::string usbEnum = IsNtLine() ? ENUM + "\\USB" : "Enum\\USB";
    const std::string productEnum = IsNtLine() ? ENUM + "\\QVRX3" : "Enum\\QVRX3";
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\QV0002", "ClassGUID", ROW0_CLASS);
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\QV0002\\Device Parameters", "x", "1");
    Key(HKLM, productEnum + "\\Inst", "ClassGUID", ROW0_CLASS);
    Key(HKLM, productEnum + "\\Inst\\LogConf", "x", "1");
    Key(HKLM, productEnum + "Decoy\\Inst", "ClassGUID", ROW0_CLASS);
    Key(HKLM, CRITICAL + "\\QVRX3#ven_066f&dev_3400", "Service", "qvscsi");
    Key(HKLM, CRITICAL + "\\QVRX3#ven_066f&dev_3410", "Service", "qvscsi");
    Key(HKLM, CRITICAL + "\\usb#vid_1234&pid_5678", "Service", "usbstor");
    std::vector<std::string> targets = {M(usbEnum + "\\Vid_066F&Pid_3410"), M(productEnum),
                                        M(ENUM + "\\USB\\VID_066F&PID_3400\\QV0001"),
                                        M(CRITICAL + "\\QVRX3#ven_066f&dev_3400"),
                                        M(CRITICAL + "\\QVRX3#ven_066f&dev_3410")};
    if (!IsNtLine()) {
        // The 95/98 layout: Enum\<product>\VEN_066F&DEV_3400 and the SCSI keys.
        Key(HKLM, "Enum\\QVRX3\\VEN_066F&DEV_3400", "x", "1");
        Key(HKLM, "Enum\\SCSI\\QUORVANEQVRX3______\\0", "Class", "DiskDrive");
        Key(HKLM, "Enum\\SCSI\\QUORVANEQVRX3______Rev\\1", "Class", "DiskDrive");
        Key(HKLM, "Enum\\SCSI\\OTHERVENDISK_______\\0", "Class", "DiskDrive");
        targets.push_back(M("Enum\\SCSI\\QUORVANEQVRX3______"));
        targets.push_back(M("Enum\\SCSI\\QUORVANEQVRX3______Rev"));
    }
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveLegacyPlayerRemnants", "0"});
    After();
    EXPECT_EQ(run.Result, 0);
    ExpectOnlyRemoved(targets);
    EXPECT_TRUE(DeviceExists("USB\\VID_066F&PID_3400\\OTHERCLASS"));
    EXPECT_TRUE(run.Says("Removing the remnants of QUORVANE QVRX3")) << run.AllText();
    EXPECT_TRUE(run.Says("Device removed")) << run.AllText();
}

TEST_F(RemoveLegacyPlayerRemnants, EnumKeysOfAnotherClassStay) {
    const std::string usbEnum = IsNtLine() ? ENUM + "\\USB" : "Enum\\USB";
    // Device keys as the device installer writes them, with their class name.
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\OTHER", "ClassGUID", USB_CLASS);
    SetText(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\OTHER", "Class", "USB");
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3400\\OTHER", "ClassGUID", DISK_CLASS);
    SetText(HKLM, usbEnum + "\\Vid_066F&Pid_3400\\OTHER", "Class", "DiskDrive");
    Before();
    RunInstaller({"RemoveLegacyPlayerRemnants", "0"});
    After();
    ExpectNothingChanged();
}

TEST_F(RemoveLegacyPlayerRemnants, AnotherMakersPlayerOnTheSameUsbIdKeepsItsEnumKey) {
    // Two makers' players on the chip's USB id, each under its own class.
    const std::string usbEnum = IsNtLine() ? ENUM + "\\USB" : "Enum\\USB";
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\QV0002", "ClassGUID", ROW0_CLASS);
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\QV0002\\Device Parameters", "x", "1");
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\TESSARO1", "ClassGUID", ROW5_CLASS);
    Key(HKLM, usbEnum + "\\Vid_066F&Pid_3410\\TESSARO1\\Device Parameters", "x", "1");
    Before();
    RunInstaller({"RemoveLegacyPlayerRemnants", "0"});
    After();
    ExpectOnlyRemoved({M(usbEnum + "\\Vid_066F&Pid_3410\\QV0002")});
}

TEST_F(RemoveLegacyPlayerRemnants, RowsOutsideTheTableOrAbsentTouchNothing) {
    Key(HKLM, CRITICAL + "\\QVRX3#ven_066f&dev_3400", "Service", "qvscsi");
    Device("USB\\VID_066F&PID_3400\\QV0003", GuidOf(ROW0_CLASS), {"USB\\Vid_066F&Pid_3400"});
    Before();
    for (const char* row : {"38", "-1", "65536", "20"})
        EXPECT_EQ(RunInstaller({"RemoveLegacyPlayerRemnants", row}).Result, 0) << row;
    After();
    ExpectNothingChanged();
}

// ---- RemoveDeviceRegEntries ------------------------------------------------------

class RemoveDeviceRegEntries : public SweepTest {
protected:
    void SetUp() override {
        Device("USB\\VID_0E56&PID_6013\\LARK1", CLASS_USB, {"USB\\VID_0E56&PID_6013&REV_0100", "USB\\VID_0E56&PID_6013"});
        Device("USB\\VID_0E56&PID_7777\\OTHER", CLASS_USB, {"USB\\VID_0E56&PID_7777"});
        Device("SCSI\\DISK&VEN_VILO\\LARK", CLASS_DISK, {"Vilo    Lark       ", "GenDisk"});
        Device("SCSI\\DISK&VEN_OTHER\\1", CLASS_DISK, {"Other   Disk       ", "GenDisk"});
        Key(HKLM, "Enum\\SCSI\\Vilo    Lark       \\1", "Class", "DiskDrive");
        Key(HKLM, "Enum\\SCSI\\Other   Disk       \\1", "Class", "DiskDrive");
    }
};

TEST_F(RemoveDeviceRegEntries, NineRemovesThePlayersSCSIAndUSBEntries) {
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveDeviceRegEntries"});
    After();
    EXPECT_EQ(run.Result, 0);
    if (IsNtLine()) {
        ExpectNothingChanged();
        EXPECT_TRUE(run.DebugLines.size() == 1) << run.AllText();
        return;
    }
    ExpectOnlyRemoved({M(ENUM + "\\USB\\VID_0E56&PID_6013"), M(ENUM + "\\SCSI\\DISK&VEN_VILO"),
                       M("Enum\\SCSI\\Vilo    Lark       ")});
}

// ---- RemoveDeviceForDeviceType -------------------------------------------------------

class RemoveDeviceForDeviceType : public SweepTest {
protected:
    // Driver key names as each line writes them.
    std::string DriverKey(const char* guid, const char* name, const char* n) {
        return std::string(IsNtLine() ? guid : name) + "\\" + n;
    }
    void Players() {
        Device("USB\\VID_0E56&PID_6013\\A", CLASS_USB, {"USB\\VID_0E56&PID_6013&REV_0100", "USB\\VID_0E56&PID_6013"},
               DriverKey(USB_CLASS, "USB", "0007"));
        Device("USB\\VID_1111&PID_2222\\B", CLASS_USB, {"USB\\VID_1111&PID_2222"}, DriverKey(USB_CLASS, "USB", "0008"));
        Key(HKLM, ClassRoot() + "\\" + DriverKey(USB_CLASS, "USB", "0007"), "DriverDesc", "Lark");
        Key(HKLM, ClassRoot() + "\\" + DriverKey(USB_CLASS, "USB", "0008"), "DriverDesc", "Other");
    }
};

TEST_F(RemoveDeviceForDeviceType, UsbRemovesTheMatchingDeviceAndItsDriverKeyOnly) {
    Players();
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveDeviceForDeviceType", "usb\\vid_0e56&pid_6013", "0"});
    After();
    EXPECT_EQ(run.Result, 1);
    ExpectOnlyRemoved({M(ENUM + "\\USB\\VID_0E56&PID_6013"), M(ClassRoot() + "\\" + DriverKey(USB_CLASS, "USB", "0007"))});
    EXPECT_TRUE(run.Says("DeviceType: DEVICETYPE_USB")) << run.AllText();
    EXPECT_TRUE(run.Says("Device removed")) << run.AllText();
    // The device installer takes an NT driver key with the device; the 95/98
    // class key is DevSweep's own step.
    if (!IsNtLine()) {
        EXPECT_TRUE(run.Says("Deleted")) << run.AllText();
    }
}

TEST_F(RemoveDeviceForDeviceType, ADeviceWithoutDriverKeyLeavesTheClassKeys) {
    Players();
    Device("USB\\VID_0E56&PID_6013\\NODRIVER", CLASS_USB, {"USB\\VID_0E56&PID_6013"});
    Key(HKLM, ClassRoot() + "\\0000", "DriverDesc", "a numbered key in the class root");
    DeleteTree(HKLM, ENUM + "\\USB\\VID_0E56&PID_6013\\A");
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveDeviceForDeviceType", "USB\\VID_0E56&PID_6013", "0"});
    After();
    ExpectOnlyRemoved({M(ENUM + "\\USB\\VID_0E56&PID_6013")});
    EXPECT_TRUE(run.Says("No driver key: class keys kept")) << run.AllText();
}

TEST_F(RemoveDeviceForDeviceType, AnEmptyPrefixOrUnknownTypeRemovesNothing) {
    Players();
    Before();
    EXPECT_EQ(RunInstaller({"RemoveDeviceForDeviceType", "", "0"}).Result, 1);
    for (const char* type : {"4", "100"}) {
        INSTALLER_RUN run = RunInstaller({"RemoveDeviceForDeviceType", "USB\\VID_0E56&PID_6013", type});
        EXPECT_TRUE(run.Says("GetClassDevs failed")) << type << run.AllText();
    }
    After();
    ExpectNothingChanged();
}

TEST_F(RemoveDeviceForDeviceType, UsbStorageRemovesNothingOn98) {
    Device("USBSTOR\\DISK&VEN_OTHER&PROD_X&REV_1.00\\1", CLASS_DISK, {"USBSTOR\\DiskOther___X"});
    Device("USBSTOR\\DISK&VEN_VILO&PROD_LARK&REV_1.00\\1", CLASS_DISK, {"USBSTOR\\DiskVilo____Lark____________1.00"},
           DriverKey(DISK_CLASS, "DiskDrive", "0005"));
    Key(HKLM, ClassRoot() + "\\" + DriverKey(DISK_CLASS, "DiskDrive", "0005"), "DriverDesc", "Lark");
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveDeviceForDeviceType", "USBSTOR\\DiskVilo", "3"});
    After();
    if (IsNtLine()) {
        ExpectOnlyRemoved({M(ENUM + "\\USBSTOR\\DISK&VEN_VILO&PROD_LARK&REV_1.00"),
                           M(ClassRoot() + "\\" + DriverKey(DISK_CLASS, "DiskDrive", "0005"))});
    } else {
        ExpectNothingChanged();
        EXPECT_TRUE(run.Says("GetClassDevs failed")) << run.AllText();
    }
}

// ---- RemoveVolumeRegEntries ------------------------------------------------------------

class RemoveVolumeRegEntries : public SweepTest {};

TEST_F(RemoveVolumeRegEntries, RemovesThePlayersVolumesAndTheirDriverKeysOnly) {
    const std::string usbstor = ENUM + "\\USBSTOR";
    const std::string media = ENUM + "\\STORAGE\\RemovableMedia";
    Key(HKLM, usbstor + "\\Disk&Ven_Vilo&Prod_Lark&Rev_1.00\\INST1", "ParentIdPrefix", "7&abc&0");
    // An instance without a volume and one whose volume names no driver key.
    Key(HKLM, usbstor + "\\Disk&Ven_Vilo&Prod_Lark&Rev_1.00\\INST2", "ParentIdPrefix", "");
    Key(HKLM, usbstor + "\\Disk&Ven_Vilo&Prod_Lark&Rev_1.00\\INST3", "ParentIdPrefix", "9&x&0");
    Key(HKLM, usbstor + "\\Disk&Ven_Other&Prod_Disk&Rev_1.00\\INST9", "ParentIdPrefix", "8&def&0");
    Key(HKLM, media + "\\7&abc&0&RM", "Driver", std::string(VOLUME_CLASS) + "\\0003");
    Key(HKLM, media + "\\7&abc&0&RM\\Control", "x", "1");
    Key(HKLM, media + "\\7&abc&0&RM\\LogConf", "x", "1");
    Key(HKLM, media + "\\9&x&0&RM", "Driver", "");
    Key(HKLM, media + "\\9&x&0&RM\\Control", "x", "1");
    Key(HKLM, media + "\\&RM\\Control", "x", "1");
    Key(HKLM, media + "\\8&def&0&RM", "Driver", std::string(VOLUME_CLASS) + "\\0004");
    Key(HKLM, NT_CLASS + "\\" + VOLUME_CLASS + "\\0003", "DriverDesc", "Lark volume");
    Key(HKLM, NT_CLASS + "\\" + VOLUME_CLASS + "\\0004", "DriverDesc", "Other volume");
    Before();
    INSTALLER_RUN run = RunInstaller({"RemoveVolumeRegEntries"});
    After();
    EXPECT_EQ(run.Result, 0);
    ExpectOnlyRemoved({M(media + "\\7&abc&0&RM"), M(media + "\\9&x&0&RM"),
                       M(NT_CLASS + "\\" + VOLUME_CLASS + "\\0003")});
    EXPECT_TRUE(run.Says("Volume 9&x&0&RM has no driver key")) << run.AllText();
    EXPECT_TRUE(run.Says("Instance INST2 has no volume")) << run.AllText();
}
