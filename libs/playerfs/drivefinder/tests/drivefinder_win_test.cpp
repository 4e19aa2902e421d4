// CQuorvane::GetQuorvaneDrives under win98, winme and winxp. The registry
// keys of the 98/ME walk are real keys in the prefix; the Plug and Play
// device list and the NT storage query are answered by a stand-in, since
// Wine has no disk device for the player and the player's driver answers
// the query only on a real system.
#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "QV_Drive_Vilo8.h"
#include "drive_finder_calls.h"

namespace {

std::string WinVer()
{
    const char* v = std::getenv("MB_WINVER");
    return v ? v : "winxp";
}
bool NineX() { return WinVer() == "win98" || WinVer() == "winme"; }

struct Device {
    std::string HardwareId;
    std::string Driver;
};

class CStandIn : public IDriveFinderCalls {
public:
    BOOL GetVersionExA(OSVERSIONINFOA* info) override { return ::GetVersionExA(info); }
    HDEVINFO SetupDiGetClassDevsA(const GUID* guid, DWORD flags) override
    {
        ClassGuid = *guid;
        ClassFlags = flags;
        ++OpenLists;
        return List;
    }
    BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, SP_DEVINFO_DATA* data) override
    {
        if (list != List || index >= Devices.size() || data->cbSize != sizeof(SP_DEVINFO_DATA)) return FALSE;
        data->DevInst = index;
        return TRUE;
    }
    BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO list, SP_DEVINFO_DATA* data, DWORD property, BYTE* buffer,
                                           DWORD size) override
    {
        if (list != List || data->DevInst >= Devices.size()) return FALSE;
        const Device& d = Devices[data->DevInst];
        std::string value = property == SPDRP_HARDWAREID ? d.HardwareId + '\0' + '\0'
                            : property == SPDRP_DRIVER   ? d.Driver + '\0'
                                                         : std::string();
        if (value.empty() || value.size() > size) return FALSE;
        std::memcpy(buffer, value.data(), value.size());
        return TRUE;
    }
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) override
    {
        --OpenLists;
        return list == List;
    }
    HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition) override
    {
        Opened.push_back(name);
        Accesses.push_back(access);
        const std::string n(name);
        if (n.size() != 6 || n.compare(0, 4, "\\\\.\\") != 0 || n[5] != ':') return INVALID_HANDLE_VALUE;
        if (!Volumes.count(n[4])) return INVALID_HANDLE_VALUE;
        ++OpenHandles;
        return reinterpret_cast<HANDLE>(uintptr_t(0x1000 + n[4]));
    }
    BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override
    {
        const char letter = char(reinterpret_cast<uintptr_t>(h) - 0x1000);
        if (code != IOCTL_STORAGE_QUERY_PROPERTY || inSize != 12 || outSize != 512 || !Volumes.count(letter))
            return FALSE;
        const auto* query = static_cast<const STORAGE_PROPERTY_QUERY*>(in);
        if (query->PropertyId != StorageDeviceProperty || query->QueryType != PropertyStandardQuery) return FALSE;
        const std::string& productId = Volumes[letter];
        std::vector<uint8_t> d(512, 0);
        const uint32_t offset = 64;
        std::memcpy(&d[16], &offset, 4);
        std::memcpy(&d[offset], productId.data(), std::min<size_t>(productId.size(), 512 - offset));
        std::memcpy(out, d.data(), 512);
        *returned = DWORD(offset + productId.size() + 1);
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override
    {
        --OpenHandles;
        return TRUE;
    }

    HDEVINFO const List = reinterpret_cast<HDEVINFO>(uintptr_t(0x4D36));
    std::vector<Device> Devices;
    std::map<char, std::string> Volumes;  // letter -> product id the storage stack reports
    std::vector<std::string> Opened;
    std::vector<DWORD> Accesses;
    GUID ClassGuid = {};
    DWORD ClassFlags = 0;
    int OpenLists = 0;
    int OpenHandles = 0;
};

void DeleteTree(HKEY parent, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char sub[256];
        DWORD length = sizeof sub;
        while (RegEnumKeyExA(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            DeleteTree(key, sub);
            length = sizeof sub;
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(parent, name.c_str());
}

class DriveFinder : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDriveFinderCalls(&standIn);
        // Every test and version has hardware ids of its own: the prefix's
        // registry is shared by tests running at once.
        tag = WinVer() + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override
    {
        SetDriveFinderCalls(nullptr);
        for (const auto& id : created) DeleteTree(HKEY_LOCAL_MACHINE, "ENUM\\SCSI\\" + id);
        EXPECT_EQ(0, standIn.OpenLists);
        EXPECT_EQ(0, standIn.OpenHandles);
    }
    std::string Id(const std::string& start) { return start + "_" + tag.substr(0, 200); }
    // ENUM\SCSI\<id>\<instance> with its driver key and drive letter.
    void Instance(const std::string& id, const std::string& instance, const std::string& driver,
                  const std::string& letter)
    {
        HKEY key = nullptr;
        const std::string path = "ENUM\\SCSI\\" + id + "\\" + instance;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver.c_str()), DWORD(driver.size() + 1));
        RegSetValueExA(key, "CurrentDriveLetterAssignment", 0, REG_SZ, reinterpret_cast<const BYTE*>(letter.c_str()),
                       DWORD(letter.size() + 1));
        RegCloseKey(key);
        created.push_back(id);
    }
    unsigned long Find()
    {
        CQuorvane* finder = new CQuorvane;
        const unsigned long mask = finder->GetQuorvaneDrives();
        delete finder;
        return mask;
    }

    CStandIn standIn;
    std::string tag;
    std::vector<std::string> created;
};

TEST_F(DriveFinder, NineXFindsThePlayerThroughItsDriverKey)
{
    const std::string id = Id("Vilo____Lark____________1.00");
    standIn.Devices = {{Id("GENERIC___DISK"), "DiskDrive\\0000"}, {id, "DiskDrive\\0002"}};
    Instance(id, "OTHER&0", "DiskDrive\\0001", "E");
    Instance(id, "MF&1", "diskdrive\\0002", "F");
    const unsigned long mask = Find();
    if (NineX()) {
        EXPECT_EQ(1ul << 5, mask);
        const GUID disk = {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
        EXPECT_TRUE(IsEqualGUID(disk, standIn.ClassGuid));
        EXPECT_EQ(DWORD(DIGCF_PRESENT), standIn.ClassFlags);
        EXPECT_TRUE(standIn.Opened.empty());
    } else {
        EXPECT_EQ(0ul, mask) << "the NT line does not walk the device list";
    }
}

TEST_F(DriveFinder, NineXMatchesALowerCaseHardwareId)
{
    const std::string id = Id("vilo____lark____________1.00");
    standIn.Devices = {{id, "DiskDrive\\0007"}};
    Instance(id, "X&0", "DiskDrive\\0007", "H");
    EXPECT_EQ(NineX() ? 1ul << 7 : 0ul, Find());
}

TEST_F(DriveFinder, NineXGivesOnlyTheFirstOfTwoPlayers)
{
    const std::string first = Id("Vilo____Lark____A");
    const std::string second = Id("Vilo____Lark____B");
    standIn.Devices = {{first, "DiskDrive\\0003"}, {second, "DiskDrive\\0004"}};
    Instance(first, "I&0", "DiskDrive\\0003", "G");
    Instance(second, "I&0", "DiskDrive\\0004", "F");
    EXPECT_EQ(NineX() ? 1ul << 6 : 0ul, Find());
}

TEST_F(DriveFinder, NineXLetterOutsideAToZSetsNoBit)
{
    const std::string id = Id("Vilo____Lark____C");
    standIn.Devices = {{id, "DiskDrive\\0005"}};
    Instance(id, "I&0", "DiskDrive\\0005", "[");
    Instance(id, "I&1", "DiskDrive\\0005", "1");
    EXPECT_EQ(0ul, Find());
    Instance(id, "I&2", "DiskDrive\\0005", "K");
    EXPECT_EQ(NineX() ? 1ul << 10 : 0ul, Find()) << "a later instance with a real letter still counts";
}

TEST_F(DriveFinder, NineXWithoutRegistryKeyFindsNothing)
{
    standIn.Devices = {{Id("Vilo____Lark____D"), "DiskDrive\\0006"}};
    EXPECT_EQ(0ul, Find());
}

TEST_F(DriveFinder, NtGivesOnlyTheFirstOfTwoPlayers)
{
    standIn.Volumes = {{'C', "HARDDISK        "}, {'F', "Lark            "}, {'G', "Lark            "}};
    const unsigned long mask = Find();
    if (NineX()) {
        EXPECT_EQ(0ul, mask);
        EXPECT_TRUE(standIn.Opened.empty());
        return;
    }
    EXPECT_EQ(0x20ul, mask);
    ASSERT_FALSE(standIn.Opened.empty());
    EXPECT_EQ("\\\\.\\C:", standIn.Opened.front());
    EXPECT_EQ("\\\\.\\F:", standIn.Opened.back());
    for (DWORD access : standIn.Accesses) EXPECT_EQ(0u, access) << "a limited user may not open for writing";
}

TEST_F(DriveFinder, NtComparesTheProductIdsFirstSixteenCharacters)
{
    standIn.Volumes = {{'D', "lark            "}, {'E', "Lark"}, {'H', "Lark            1.00 and more"}};
    EXPECT_EQ(NineX() ? 0ul : 1ul << 7, Find());
}

TEST_F(DriveFinder, NtNeverOpensAOrB)
{
    standIn.Volumes = {{'A', "Lark            "}, {'B', "Lark            "}};
    EXPECT_EQ(0ul, Find());
    for (const std::string& name : standIn.Opened) {
        EXPECT_NE("\\\\.\\A:", name);
        EXPECT_NE("\\\\.\\B:", name);
    }
    if (!NineX()) {
        EXPECT_EQ(24u, standIn.Opened.size()) << "C: to Z:";
    }
}

TEST_F(DriveFinder, LibraryMarkers)
{
    EXPECT_EQ(42, fnQuorvane());
    EXPECT_EQ(0, nQuorvane);
    CQuorvane a, b;
    a = b;
}

}  // namespace
