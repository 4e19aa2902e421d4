#include "PlayerCalls.h"

#include <winioctl.h>

#include <string>
#include <vector>

#include "QV_Drive_Vilo8.h"
#include "player_identity.h"

namespace {

// A 95/98/ME drive letter assigned to a SCSI disk whose hardware id is the
// player's: HKLM\ENUM\SCSI\<id>\<instance>\CurrentDriveLetterAssignment.
bool NineXLetterIsPlayers(char letter)
{
    HKEY scsi = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "ENUM\\SCSI", 0, KEY_READ, &scsi) != ERROR_SUCCESS)
        return false;
    bool found = false;
    char id[256];
    for (DWORD i = 0; !found; ++i) {
        DWORD length = sizeof id;
        if (::RegEnumKeyExA(scsi, i, id, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!HardwareIdNamesPlayer(id, length))
            continue;
        HKEY device = nullptr;
        if (::RegOpenKeyExA(scsi, id, 0, KEY_READ, &device) != ERROR_SUCCESS)
            continue;
        char instance[256];
        for (DWORD j = 0; !found; ++j) {
            DWORD instanceLength = sizeof instance;
            if (::RegEnumKeyExA(device, j, instance, &instanceLength, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            HKEY key = nullptr;
            if (::RegOpenKeyExA(device, instance, 0, KEY_READ, &key) != ERROR_SUCCESS)
                continue;
            char value[64] = {};
            DWORD type = 0, size = sizeof value - 1;
            if (::RegQueryValueExA(key, "CurrentDriveLetterAssignment", nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
                type == REG_SZ)
                found = DriveLetterBit(value, size) == (1ul << (letter - 'A'));
            ::RegCloseKey(key);
        }
        ::RegCloseKey(device);
    }
    ::RegCloseKey(scsi);
    return found;
}

}  // namespace

unsigned long CPlayerCalls::FindPlayerDrives()
{
    CQuorvane* finder = new CQuorvane;
    const unsigned long mask = finder->GetQuorvaneDrives();
    delete finder;
    return mask;
}

bool CPlayerCalls::IsPlayerDrive(char letter, bool ntLine)
{
    if (letter < 'A' || letter > 'Z')
        return false;
    const char root[] = {letter, ':', '\\', 0};
    if (GetDriveTypeA(root) != DRIVE_REMOVABLE)
        return false;
    if (!ntLine)
        return NineXLetterIsPlayers(letter);
    const char name[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    HANDLE volume = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (volume == INVALID_HANDLE_VALUE)
        return false;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    uint8_t descriptor[512] = {};
    DWORD returned = 0;
    const bool player = DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor,
                                        sizeof descriptor, &returned) &&
                        DescriptorNamesPlayer(descriptor, returned < sizeof descriptor ? returned : sizeof descriptor);
    CloseHandle(volume);
    return player;
}

CPlayerCalls& SystemPlayerCalls()
{
    static CPlayerCalls calls;
    return calls;
}
