// The exports that remove what earlier players and this player's own older
// installations left: keys, folders, shortcuts, the shell hook, drivers and
// device entries.
#define DEVSWEEP_API
#include "DevSweep.h"

#include <cstdio>
#include <cstring>

#include "SweepWin.h"

using namespace devsweep;

namespace {

const char APP_PATHS_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char* const MENU_ORDER_KEYS[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\&Programs",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs",
};
const char HOOK_CLSID[] = "{343DA396-6C33-42EB-9478-C1EAF35FB908}";

void DeleteMenuOrder(const std::string& name) {
    for (const char* parent : MENU_ORDER_KEYS)
        if (KeyExists(HKEY_CURRENT_USER, parent))
            DeleteKeyUnder(HKEY_CURRENT_USER, parent, {name});
}

std::string WindowsFolder() {
    char path[MAX_PATH];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    return n && n < MAX_PATH ? std::string(path, n) : std::string();
}

void DeleteFolderOf(const std::vector<std::string>& parts) {
    std::string folder;
    if (JoinBounded(folder, parts))
        DeleteFolderFiles(folder);
}

void DeleteProductKeys(const std::string& company, const std::string& product) {
    std::string productKey;
    if (!JoinKey(productKey, {"SOFTWARE", company, product}))
        return;
    for (const char* sub : {"1.00.000", "params\\3400", "params\\3410", "params"}) {
        std::vector<std::string> parts;
        std::string text = sub;
        size_t slash = text.find('\\');
        if (slash == std::string::npos)
            parts = {text};
        else
            parts = {text.substr(0, slash), text.substr(slash + 1)};
        DeleteKeyUnder(HKEY_LOCAL_MACHINE, productKey, parts);
    }
    DeleteKeyUnder(HKEY_LOCAL_MACHINE, "SOFTWARE", {company, product});
    if (product == g_ProductWithFixedKeys)
        for (const char* fixed : g_FixedProductKeys) {
            std::string text = fixed;
            size_t slash = text.find('\\');
            DeleteKeyUnder(HKEY_LOCAL_MACHINE, "SOFTWARE", {text.substr(0, slash), text.substr(slash + 1)});
        }
    // The company's key goes only once no other product of it is left: on
    // 95/98/ME a key deletion takes every key below it.
    std::string companyKey = "SOFTWARE\\" + company;
    if (KeyHasSubkeys(HKEY_LOCAL_MACHINE, companyKey))
        Trace("\tKeeping %s: other products are installed\n", companyKey.c_str());
    else
        DeleteKeyUnder(HKEY_LOCAL_MACHINE, "SOFTWARE", {company});
}

}  // namespace

extern "C" {

int __stdcall RemoveInstalledLegacyPlayer(int rowIndex, const char* displayName) {
    const LEGACY_PLAYER_ROW* row = GetLegacyPlayer(rowIndex);
    if (!row || !displayName || !*displayName) {
        Trace("RemoveInstalledLegacyPlayer: no earlier player %d\n", rowIndex);
        return 1;
    }
    std::string product = displayName;
    if (const char* shortName = ShortDisplayName(displayName))
        product = shortName;
    std::string company = product.substr(0, product.find(' '));
    Trace("Removing %s of %s\n", product.c_str(), company.c_str());
    if (!IsNamePart(company) || !IsNamePart(product)) {
        Trace("\tRefused: \"%s\" names no product\n", displayName);
        return 1;
    }

    DeleteKeyUnder(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", {row->UninstallGuid});

    std::string params;
    HKEY key = nullptr;
    if (JoinKey(params, {"SOFTWARE", company, product, "Params"}) &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, params.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        std::string installFolder = ReadText(key, "Install Folder", 128);
        std::string uninstallFolder = ReadText(key, "Uninstall Folder", 128);
        RegCloseKey(key);
        DeleteProductKeys(company, product);
        DeleteFolderFiles(installFolder);
        DeleteFolderFiles(uninstallFolder);
    }

    for (const char* app : {"Qvrx3format.exe", "Qvrx3Update.exe"})
        DeleteKeyUnder(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, {app});
    DeleteMenuOrder(product);

    std::string windows = WindowsFolder();
    if (windows.size() >= 3) {
        std::string drive = windows.substr(0, 2);
        DeleteFolderOf({windows, "\\Start Menu\\Programs\\", product});
        DeleteFolderOf({drive, "\\Program Files\\", company});
        DeleteFolderOf({drive, "\\Documents and Settings\\All Users\\Start Menu\\Programs\\", product});
        DeleteFolderOf({drive, "\\Documents and Settings\\All Users.WINNT\\Start Menu\\Programs\\", product});
        const char* files[] = {"system32\\qvrxhook.dll", "system\\qvrxhook.dll", "system32\\drivers\\mp3drv.sys",
                               IsNt() ? "system32\\drivers\\qvscsi.sys" : "system\\iosubsys\\qvscsi.mpd"};
        for (const char* file : files) {
            std::string path;
            if (JoinBounded(path, {windows, "\\", file}) && DeleteFileA(path.c_str()))
                Trace("\tDeleted %s\n", path.c_str());
        }
    }
    RegFlushKey(HKEY_LOCAL_MACHINE);
    return 1;
}

int __stdcall RemoveLegacyPlayerHook(void) {
    Trace("Removing the shell hook %s\n", HOOK_CLSID);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", 0,
                      KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        if (RegDeleteValueA(key, HOOK_CLSID) == ERROR_SUCCESS)
            Trace("\tApproval removed\n");
        RegCloseKey(key);
    }
    std::string clsidKey = std::string("CLSID\\") + HOOK_CLSID;
    DeleteKeyUnder(HKEY_CLASSES_ROOT, clsidKey, {"InProcServer32"});
    DeleteKeyUnder(HKEY_CLASSES_ROOT, "CLSID", {HOOK_CLSID});
    DeleteKeyUnder(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\" + clsidKey, {"InProcServer32"});
    DeleteKeyUnder(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID", {HOOK_CLSID});
    // "Menu" is a handler name other programs use too: it is unhooked only
    // while it still points at the earlier player's extension.
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "Drive\\shellex\\ContextMenuHandlers\\Menu", 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        std::string handler = ReadText(key, nullptr, 128);
        if (EqualsNoCase(handler, HOOK_CLSID)) {
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            Trace("\tDrive menu handler unhooked\n");
        } else {
            Trace("\tDrive menu handler belongs to %s: kept\n", handler.c_str());
        }
        RegCloseKey(key);
    }
    return 1;
}

int __stdcall RemoveLegacyPlayerDrivers(void) {
    std::string classRoot;
    // Windows ME keeps the 95/98 layout.
    const bool nine = HasNineLayout();
    if (nine) {
        classRoot = "SYSTEM\\CurrentControlSet\\Services\\Class";
        for (int index = 0; index <= 37; ++index) {
            char number[8];
            snprintf(number, sizeof number, "%04d", index);
            std::string path = classRoot + "\\SCSIAdapter\\" + number;
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
                continue;
            std::string port = ReadText(key, "PortDriver", 16);
            RegCloseKey(key);
            if (EqualsNoCase(port, "QvScsi.MPD")) {
                Trace("\t\tSCSI index: %04d   QvScsi InfSection: %s\n", index, port.c_str());
                DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot + "\\SCSIAdapter", {number});
            }
        }
    } else {
        const char services[] = "SYSTEM\\CurrentControlSet\\Services";
        if (!KeyExists(HKEY_LOCAL_MACHINE, services)) {
            Trace("Error opening Services key\n");
        } else {
            const std::vector<std::vector<std::string>> keys = {
                {"Qvscsi", "Enum"},      {"Qvscsi", "Parameters", "Device"}, {"Qvscsi", "Parameters", "PnpInterface"},
                {"Qvscsi", "Parameters"}, {"Qvscsi", "Security"},            {"Qvscsi"},
                {"Mp3Drv", "Enum"},      {"Mp3Drv", "Security"},             {"Mp3Drv"},
            };
            for (const auto& parts : keys)
                DeleteKeyUnder(HKEY_LOCAL_MACHINE, services, parts);
        }
        classRoot = "SYSTEM\\CurrentControlSet\\Control\\Class";
    }

    for (int index = 0; index < LEGACY_PLAYER_ROWS; ++index) {
        const LEGACY_PLAYER_ROW* row = GetLegacyPlayer(index);
        if (!row)
            continue;
        std::string guid = row->ClassGuid;
        std::string guidKey = classRoot + "\\" + guid;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, guidKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        std::string className = ReadText(key, "Class", 32);
        RegCloseKey(key);
        // A class of the system (disks, USB, adapters) holds every such
        // device of the machine, not only the earlier player's.
        if (!IsRemovableClassGuid(guid) || (nine && !IsRemovableClassName(className))) {
            Trace("\t\tClass %s (%s) belongs to the system: kept\n", guid.c_str(), className.c_str());
            continue;
        }
        std::string classKey = nine ? classRoot + "\\" + className : guidKey;
        bool hasInfPath = false;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            std::string infPath = ReadText(key, "InfPath", MAX_PATH, &hasInfPath);
            RegCloseKey(key);
            if (hasInfPath)
                Trace("\t\tMp3Drv OEM Name: %s\n", infPath.c_str());
        }
        if (!hasInfPath)
            for (int n = 0; n <= 29; ++n) {
                char number[8];
                snprintf(number, sizeof number, "%04d", n);
                DeleteKeyUnder(HKEY_LOCAL_MACHINE, classKey, {number});
            }
        DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot, {guid});
        if (nine)
            DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot, {className});
    }
    RegFlushKey(HKEY_LOCAL_MACHINE);
    return 1;
}

int __stdcall RemoveLegacyPlayerRemnants(int rowIndex) {
    const LEGACY_PLAYER_ROW* row = GetLegacyPlayer(rowIndex);
    if (!row) {
        Trace("RemoveLegacyPlayerRemnants: no earlier player %d\n", rowIndex);
        return 0;
    }
    const std::string product = row->ScsiProduct;
    const std::string vendor = row->ScsiVendor;
    const char* guid = row->ClassGuid;
    Trace("Removing the remnants of %s %s\n", vendor.c_str(), product.c_str());
    const char* devices[] = {"VEN_066F&DEV_3400", "VEN_066F&DEV_3410"};
    bool nineLayout = false;
    for (const char* device : devices) {
        std::string path;
        if (JoinKey(path, {"Enum", product, device}) && KeyExists(HKEY_LOCAL_MACHINE, path))
            nineLayout = true;
    }
    if (nineLayout) {
        std::string id = vendor + PadName11(product);
        RemoveDeviceByHardwareId("SCSI", id, nullptr);
        EnumAndDestroySCSIKeys(id);
    }
    for (const char* device : devices)
        RemoveDeviceByHardwareId(product.c_str(), product + "\\" + device, nullptr);
    RemoveDeviceByHardwareId("USB", "USB\\Vid_066F&Pid_3400", guid);
    RemoveDeviceByHardwareId("USB", "USB\\Vid_066F&Pid_3410", guid);
    bool nt = IsNt();
    std::string usb = nt ? "SYSTEM\\CurrentControlSet\\Enum\\USB" : "Enum\\USB";
    EnumAndDestroyKeys(HKEY_LOCAL_MACHINE, usb, "Vid_066F&Pid_3410", guid);
    EnumAndDestroyKeys(HKEY_LOCAL_MACHINE, usb, "Vid_066F&Pid_3400", guid);
    EnumAndDestroyKeys(HKEY_LOCAL_MACHINE, nt ? "SYSTEM\\CurrentControlSet\\Enum" : "Enum", product, guid);
    const char critical[] = "SYSTEM\\CurrentControlSet\\Control\\CriticalDeviceDatabase";
    DeleteKeyUnder(HKEY_LOCAL_MACHINE, critical, {product + "#ven_066f&dev_3400"});
    DeleteKeyUnder(HKEY_LOCAL_MACHINE, critical, {product + "#ven_066f&dev_3410"});
    return 0;
}

int __stdcall RemoveDeviceRegEntries(void) {
    if (!Is9x())
        return 0;
    std::string id = std::string(PLAYER_SCSI_VENDOR) + PadName11(PLAYER_SCSI_PRODUCT);
    RemoveDeviceByHardwareId("SCSI", id, nullptr);
    RemoveDeviceByHardwareId("USB", "USB\\" + PlayerUsbIdText(), nullptr);
    return 0;
}

int __stdcall RemoveVolumeRegEntries(void) {
    std::string match = "Disk&Ven_" + TrimTrailingBlanks(PLAYER_SCSI_VENDOR) + "&Prod_" +
                        TrimTrailingBlanks(PLAYER_SCSI_PRODUCT) + "&Rev";
    const char usbstor[] = "SYSTEM\\CurrentControlSet\\Enum\\USBSTOR";
    const char removable[] = "SYSTEM\\CurrentControlSet\\Enum\\STORAGE\\RemovableMedia";
    const char classRoot[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, usbstor, 0, KEY_ALL_ACCESS, &root) != ERROR_SUCCESS)
        return 0;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(root, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!StartsWithNoCase(name, match))
            continue;
        HKEY device = nullptr;
        if (RegOpenKeyExA(root, name, 0, KEY_ALL_ACCESS, &device) != ERROR_SUCCESS)
            continue;
        Trace("Removing the volume entries of %s\n", name);
        char instance[256];
        for (DWORD j = 0;; ++j) {
            DWORD instanceSize = sizeof instance;
            if (RegEnumKeyExA(device, j, instance, &instanceSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            HKEY key = nullptr;
            if (RegOpenKeyExA(device, instance, 0, KEY_READ, &key) != ERROR_SUCCESS)
                continue;
            std::string prefix = ReadText(key, "ParentIdPrefix", 32);
            RegCloseKey(key);
            std::string media = prefix + "&RM";
            std::string mediaKey;
            if (!IsKeyPart(prefix) || !JoinKey(mediaKey, {"SYSTEM", "CurrentControlSet", "Enum", "STORAGE",
                                                          "RemovableMedia", media})) {
                Trace("\tInstance %s has no volume\n", instance);
                continue;
            }
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, mediaKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
                continue;
            std::string driver = ReadText(key, "Driver", 64);
            RegCloseKey(key);
            // An empty driver value would name the class root itself.
            if (IsDriverKeyName(driver)) {
                size_t slash = driver.find('\\');
                DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot, {driver.substr(0, slash), driver.substr(slash + 1)});
            } else {
                Trace("\tVolume %s has no driver key\n", media.c_str());
            }
            DeleteKeyUnder(HKEY_LOCAL_MACHINE, mediaKey, {"Control"});
            DeleteKeyUnder(HKEY_LOCAL_MACHINE, mediaKey, {"LogConf"});
            DeleteKeyUnder(HKEY_LOCAL_MACHINE, removable, {media});
        }
        RegCloseKey(device);
        break;
    }
    RegCloseKey(root);
    return 0;
}

int __stdcall RemovePlayerRemnants(const char* startMenuFolder) {
    if (startMenuFolder && IsNamePart(startMenuFolder))
        DeleteMenuOrder(startMenuFolder);
    else
        Trace("\tNo Start-menu folder named: menu order kept\n");
    for (const char* app :
         {"Qvrx3Format.exe", "Qvrx3Update.exe", "QvUsbMscFormat.exe", "QvUsbMscUpdate.exe", "QvUpdaterApp.exe"})
        DeleteKeyUnder(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, {app});
    RegFlushKey(HKEY_LOCAL_MACHINE);
    Trace("Completed remnant search\n");
    return 1;
}

}  // extern "C"
