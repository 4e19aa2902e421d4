#include "QV_Drive_Vilo8.h"

#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <string>
#include <vector>

#include "drive_finder_calls.h"
#include "player_identity.h"

int nQuorvane = 0;
int fnQuorvane() { return 42; }

namespace {

// {4D36E967-E325-11CE-BFC1-08002BE10318}, the disk drive setup class.
const GUID DiskDriveClass = {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr DWORD PROPERTY_BYTES = 256;

// A string value of an open key; empty when it is missing or not a string.
std::string StringValue(HKEY key, const char* name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0 ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return std::string();
    std::vector<char> value(size_t(size) + 1, 0);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return std::string();
    return std::string(value.data());
}

// The drive bit of the device instance under ENUM\SCSI\<hardware id> whose
// driver key is the device's.
unsigned long DriveOfInstance(const std::string& hardwareId, const std::string& driver)
{
    const std::string base = "ENUM\\SCSI\\" + hardwareId;
    HKEY device = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, KEY_READ, &device) != ERROR_SUCCESS) return 0;
    DWORD subkeys = 0, longest = 0;
    unsigned long mask = 0;
    if (RegQueryInfoKeyA(device, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS) {
        std::vector<char> name(size_t(longest) + 2, 0);
        for (DWORD i = 0; i < subkeys && !mask; ++i) {
            DWORD length = DWORD(name.size());
            if (RegEnumKeyExA(device, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                continue;
            HKEY instance = nullptr;
            const std::string path = base + "\\" + std::string(name.data(), length);
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &instance) != ERROR_SUCCESS) continue;
            if (lstrcmpiA(StringValue(instance, "Driver").c_str(), driver.c_str()) == 0) {
                const std::string letter = StringValue(instance, "CurrentDriveLetterAssignment");
                mask = DriveLetterBit(letter.c_str(), letter.size());
            }
            RegCloseKey(instance);
        }
    }
    RegCloseKey(device);
    return mask;
}

unsigned long FindOnNineX(IDriveFinderCalls& calls)
{
    HDEVINFO list = calls.SetupDiGetClassDevsA(&DiskDriveClass, DIGCF_PRESENT);
    if (list == INVALID_HANDLE_VALUE) return 0;
    char* buffer = static_cast<char*>(LocalAlloc(LPTR, PROPERTY_BYTES));
    if (!buffer) {
        OutputDebugStringA("Allocation failed\n");
        calls.SetupDiDestroyDeviceInfoList(list);
        return 0;
    }
    unsigned long mask = 0;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; !mask && calls.SetupDiEnumDeviceInfo(list, i, &data); ++i) {
        ZeroMemory(buffer, PROPERTY_BYTES);
        // One byte stays NUL, so a full buffer still ends its text.
        if (!calls.SetupDiGetDeviceRegistryPropertyA(list, &data, SPDRP_HARDWAREID, reinterpret_cast<BYTE*>(buffer),
                                                     PROPERTY_BYTES - 1))
            continue;
        if (!HardwareIdNamesPlayer(buffer, PROPERTY_BYTES - 1)) continue;
        const std::string hardwareId(buffer);
        HKEY probe = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("ENUM\\SCSI\\" + hardwareId).c_str(), 0, KEY_READ, &probe) !=
            ERROR_SUCCESS)
            break;
        RegCloseKey(probe);
        ZeroMemory(buffer, PROPERTY_BYTES);
        if (!calls.SetupDiGetDeviceRegistryPropertyA(list, &data, SPDRP_DRIVER, reinterpret_cast<BYTE*>(buffer),
                                                     PROPERTY_BYTES - 1))
            continue;
        mask = DriveOfInstance(hardwareId, std::string(buffer));
    }
    LocalFree(buffer);
    calls.SetupDiDestroyDeviceInfoList(list);
    return mask;
}

unsigned long FindOnNt(IDriveFinderCalls& calls)
{
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        char name[] = "\\\\.\\C:";
        name[4] = letter;
        // The query needs no access right: a limited user can make it.
        HANDLE volume = calls.CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
        if (volume == INVALID_HANDLE_VALUE) continue;
        STORAGE_PROPERTY_QUERY query = {};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        uint8_t descriptor[512] = {};
        DWORD returned = 0;
        const bool found = calls.DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                                 descriptor, sizeof descriptor, &returned) &&
                           DescriptorNamesPlayer(descriptor, returned < sizeof descriptor ? returned : sizeof descriptor);
        calls.CloseHandle(volume);
        if (found) return 1ul << (letter - 'A');
    }
    return 0;
}

}  // namespace

CQuorvane::CQuorvane() {}

CQuorvane& CQuorvane::operator=(const CQuorvane&)
{
    return *this;
}

unsigned long CQuorvane::GetQuorvaneDrives()
{
    IDriveFinderCalls& calls = DriveFinderCalls();
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!calls.GetVersionExA(&info)) return 0;
    if (info.dwMajorVersion == 4 && info.dwMinorVersion > 9) return FindOnNineX(calls);
    if (info.dwMajorVersion == 5) return FindOnNt(calls);
    return 0;
}
