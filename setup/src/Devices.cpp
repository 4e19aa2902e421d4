// Device nodes and their registry entries: removal through the device
// installer (DIF_REMOVE) and depth-first deletion of Enum keys.
#define DEVSWEEP_API
#include "DevSweep.h"

#include "SweepWin.h"

using namespace devsweep;

namespace {

const GUID CLASS_USB = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID CLASS_SCSI_ADAPTER = {0x4D36E97B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID CLASS_DISK = {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID CLASS_VOLUME = {0x71A27CDD, 0x812A, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};

// The hardware ids of a device; the buffer grows to the size the system
// reports (+64) while that stays below limit.
std::vector<std::string> HardwareIds(const SETUP_API* api, HDEVINFO set, SP_DEVINFO_DATA* device, DWORD first) {
    const DWORD limit = 5120;
    std::vector<char> buffer(first);
    for (;;) {
        DWORD type = 0, needed = 0;
        if (api->GetDeviceRegistryProperty(set, device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                           static_cast<DWORD>(buffer.size()), &needed))
            return SplitMultiSz(buffer.data(), needed < buffer.size() ? needed : buffer.size());
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed + 64 >= limit || needed + 64 <= buffer.size())
            return {};
        buffer.assign(needed + 64, 0);
    }
}

std::string TextProperty(const SETUP_API* api, HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, DWORD size) {
    std::vector<char> buffer(size + 1, 0);
    DWORD type = 0;
    if (!api->GetDeviceRegistryProperty(set, device, property, &type, reinterpret_cast<BYTE*>(buffer.data()), size,
                                        nullptr))
        return std::string();
    return TextOfValue(buffer.data(), size);
}

bool RemoveDevice(const SETUP_API* api, HDEVINFO set, SP_DEVINFO_DATA* device) {
    SP_REMOVEDEVICE_PARAMS params = {};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_REMOVE;
    params.Scope = DI_REMOVEDEVICE_GLOBAL;
    api->SetClassInstallParams(set, device, &params.ClassInstallHeader, sizeof params);
    if (api->CallClassInstaller(DIF_REMOVE, set, device)) {
        Trace("\tDevice removed\n");
        return true;
    }
    Trace("\tDevice not removed: %lu\n", GetLastError());
    return false;
}

const char* TypeName(int type) {
    switch (type) {
    case DEVICETYPE_USB: return "DEVICETYPE_USB";
    case DEVICETYPE_SCSI: return "DEVICETYPE_SCSI";
    case DEVICETYPE_DISK: return "DEVICETYPE_DISK";
    case DEVICETYPE_USBSTOR: return "DEVICETYPE_USBSTOR";
    case DEVICETYPE_VOLUME: return "DEVICETYPE_VOLUME";
    default: return "unknown";
    }
}

void DeleteSubtree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    // Index 0 each time: deleting shifts the rest down.
    for (DWORD failed = 0;;) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, failed, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!IsKeyPart(name)) {
            ++failed;
            continue;
        }
        DeleteSubtree(root, path + "\\" + name);
        LONG rc = RegDeleteKeyA(key, name);
        if (rc != ERROR_SUCCESS) {
            Trace("\nError deleting key: %x\n", static_cast<unsigned>(rc));
            ++failed;
        }
    }
    RegCloseKey(key);
}

}  // namespace

namespace devsweep {

int RemoveDeviceByHardwareId(const char* enumerator, const std::string& prefix, const char* classGuid) {
    const SETUP_API* api = SetupApi();
    if (!api || !enumerator || !*enumerator || prefix.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 1;
    }
    Trace("Removing %s devices %s\n", enumerator, prefix.c_str());
    HDEVINFO set = api->GetClassDevs(nullptr, enumerator, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return GetLastError() != 0;
    const bool usb = StartsWithNoCase(enumerator, "USB");
    const bool scsi = StartsWithNoCase(enumerator, "SCSI");
    DWORD last = 0;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof device;
        if (!api->EnumDeviceInfo(set, i, &device)) {
            last = GetLastError();
            break;
        }
        for (const std::string& id : HardwareIds(api, set, &device, 512)) {
            if (!StartsWithNoCase(id, prefix))
                continue;
            if (usb && classGuid) {
                std::string deviceClass = TextProperty(api, set, &device, SPDRP_CLASSGUID, 64);
                if (!EqualsNoCase(deviceClass, classGuid))
                    break;
            }
            Trace("\tHardware id %s\n", id.c_str());
            RemoveDevice(api, set, &device);
            if (!IsNt() && scsi)
                DeleteKeyUnder(HKEY_LOCAL_MACHINE, "Enum", {enumerator, prefix});
            break;
        }
    }
    api->DestroyDeviceInfoList(set);
    return last != 0;
}

int EnumAndDestroyKeys(HKEY root, const std::string& parent, const std::string& keyName, const char* classGuid) {
    std::string path;
    if (!IsKeyPart(keyName) || !JoinBounded(path, {parent, "\\", keyName}))
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    // With a class, the key is touched only when a subkey (a device
    // instance) is of that class, and a subkey of another class stays:
    // another maker's player on the same id keeps its own.
    std::vector<std::string> doomed;
    if (classGuid) {
        bool matches = false;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            HKEY sub = nullptr;
            if (!IsKeyPart(name) || RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS)
                continue;
            bool found = false;
            std::string subClass = ReadText(sub, "ClassGUID", 64, &found);
            RegCloseKey(sub);
            if (found && EqualsNoCase(subClass, classGuid))
                matches = true;
            else if (found)
                continue;
            doomed.push_back(name);
        }
        if (!matches) {
            RegCloseKey(key);
            return 0;
        }
    }
    RegCloseKey(key);
    Trace("Deleting %s\n", path.c_str());
    if (classGuid) {
        for (const std::string& name : doomed) {
            DeleteSubtree(root, path + "\\" + name);
            LONG rc = DeleteKeyUnder(root, path, {name});
            if (rc != ERROR_SUCCESS)
                Trace("\nError deleting key: %x\n", static_cast<unsigned>(rc));
        }
        if (KeyHasSubkeys(root, path)) {
            Trace("\tKeeping %s: devices of another class are left\n", path.c_str());
            return 0;
        }
    } else {
        DeleteSubtree(root, path);
    }
    LONG rc = DeleteKeyUnder(root, parent, {keyName});
    if (rc != ERROR_SUCCESS)
        Trace("\nError deleting key: %x\n", static_cast<unsigned>(rc));
    return 0;
}

void EnumAndDestroySCSIKeys(const std::string& prefix) {
    if (prefix.empty())
        return;
    std::string parent = HasNineLayout() ? "Enum\\SCSI" : "SYSTEM\\CurrentControlSet\\Enum\\SCSI";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> matching;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (StartsWithNoCase(name, prefix))
            matching.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& sub : matching)
        EnumAndDestroyKeys(HKEY_LOCAL_MACHINE, parent, sub, nullptr);
}

}  // namespace devsweep

extern "C" int __stdcall RemoveDeviceForDeviceType(const char* hardwareIdPrefix, int deviceType) {
    Trace("DeviceType: %s\n", TypeName(deviceType));
    // An empty prefix would match every device of the type.
    if (!hardwareIdPrefix || !*hardwareIdPrefix) {
        Trace("No hardware id prefix: nothing removed\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 1;
    }
    const SETUP_API* api = SetupApi();
    const GUID* classGuid = nullptr;
    const char* enumerator = nullptr;
    DWORD flags = 0;
    WIN_LINE line = CurrentLine();
    switch (deviceType) {
    case DEVICETYPE_USB: classGuid = &CLASS_USB; enumerator = "USB"; break;
    case DEVICETYPE_SCSI: classGuid = &CLASS_SCSI_ADAPTER; break;
    case DEVICETYPE_DISK: classGuid = &CLASS_DISK; enumerator = "SCSI"; break;
    case DEVICETYPE_USBSTOR:
        if (line == WINLINE_NT) {
            classGuid = &CLASS_DISK;
            enumerator = "USBSTOR";
        } else if (line == WINLINE_ME) {
            classGuid = &CLASS_VOLUME;
            enumerator = "USBSTOR";
            flags = DIGCF_ALLCLASSES;
        }
        break;
    case DEVICETYPE_VOLUME: classGuid = &CLASS_VOLUME; enumerator = "STORAGE"; break;
    default: break;
    }
    HDEVINFO set = INVALID_HANDLE_VALUE;
    if (api && classGuid)
        set = api->GetClassDevs(classGuid, enumerator, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) {
        Trace("GetClassDevs failed\n");
        if (GetLastError() == 0)
            SetLastError(ERROR_INVALID_PARAMETER);
        return GetLastError() != 0;
    }
    const std::string classRoot =
        line == WINLINE_NT ? "System\\CurrentControlSet\\Control\\Class" : "System\\CurrentControlSet\\Services\\Class";
    DWORD last = 0;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof device;
        if (!api->EnumDeviceInfo(set, i, &device)) {
            last = GetLastError();
            break;
        }
        for (const std::string& id : HardwareIds(api, set, &device, 1024)) {
            if (!StartsWithNoCase(id, hardwareIdPrefix))
                continue;
            Trace("\tHardware id %s\n", id.c_str());
            std::string driver = TextProperty(api, set, &device, SPDRP_DRIVER, 64);
            RemoveDevice(api, set, &device);
            // Without a driver key the name would be the class root itself.
            if (!IsDriverKeyName(driver)) {
                Trace("\tNo driver key: class keys kept\n");
                break;
            }
            size_t slash = driver.find('\\');
            if (DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot, {driver.substr(0, slash), driver.substr(slash + 1)}) ==
                ERROR_SUCCESS)
                Trace("Deleted\n");
            else
                Trace("Delete failed\n");
            break;
        }
    }
    api->DestroyDeviceInfoList(set);
    SetLastError(last);
    return last != 0;
}
