// The 95/98/ME line's transport and discovery, run as Windows 98 with our
// WNASPI32.DLL stand-in in front of the simulated player.
#include "SimDeviceIo.h"
#include "UpdaterTestOwners.h"
#include "qv/QvScsi_9x.h"
#include "qv/QvTransportFactory.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>

namespace {

// Wine has a WNASPI32.DLL of its own and prefers it: ask for ours (the
// native one beside the program), then load it by its full path, so every
// later load by name finds it.
HMODULE LoadStandIn()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        static const wchar_t native[] = L"native";
        RegSetValueExW(key, L"wnaspi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(native), sizeof native);
        RegCloseKey(key);
    }
    std::vector<wchar_t> path(MAX_PATH);
    DWORD n;
    while ((n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()))) >= path.size())
        path.resize(path.size() * 2);
    std::wstring dir(path.data(), n);
    dir.resize(dir.find_last_of(L'\\') + 1);
    return LoadLibraryW((dir + L"WNASPI32.dll").c_str());
}

// Units behind the stand-in's host adapters, by adapter number.
CSimPlayerTarget* g_units[8];

int __cdecl RunOnUnit(void*, BYTE adapter, const BYTE* cdb, BYTE cdbLength, int dataIn, BYTE* data,
                      DWORD dataLength, BYTE* sense, BYTE senseLength)
{
    if (adapter >= 8 || !g_units[adapter])
        return -1;
    uint8_t full[CSimPlayerTarget::SENSE_BYTES];
    size_t transferred = 0;
    uint8_t status = g_units[adapter]->Execute(cdb, cdbLength, dataIn != 0, data, dataLength, full, &transferred);
    std::memcpy(sense, full, std::min<size_t>(senseLength, sizeof full));
    return status;
}

class Aspi : public ::testing::Test {
protected:
    Aspi()
    {
        aspi = LoadStandIn();
        configure = aspi ? reinterpret_cast<ASPI_STANDIN_CONFIGURE>(GetProcAddress(aspi, "AspiStandInConfigure"))
                         : nullptr;
        std::fill(std::begin(g_units), std::end(g_units), nullptr);
        config.exec = RunOnUnit;
        io.volumes[L'U'] = &player;
        io.driveTypes[L'U'] = DRIVE_REMOVABLE;
        io.driveTypes[L'V'] = DRIVE_REMOVABLE;
    }
    ~Aspi() override
    {
        if (configure)
            configure(nullptr);
        if (aspi)
            FreeLibrary(aspi);
    }
    void Attach(BYTE count)
    {
        config.adapterCount = count;
        ASSERT_NE(configure, nullptr);
        configure(&config);
    }
    bool Called(BYTE minor, BYTE category) const
    {
        return std::any_of(io.dosCalls.begin(), io.dosCalls.end(),
                           [&](const CSimDeviceIo::DosCall& c) { return c.minor == minor && c.category == category; });
    }
    HMODULE aspi = nullptr;
    ASPI_STANDIN_CONFIGURE configure = nullptr;
    ASPI_STANDIN_CONFIG config = {};
    CSimPlayerTarget player;
    CSimDeviceIo io;
    CTestOwner owner;
};

// A registry entry under ENUM\SCSI as Windows 98 keeps one per unit; removed
// again at the end of the test.
class ScsiEnumKey {
public:
    explicit ScsiEnumKey(const std::wstring& name) : m_path(L"ENUM\\SCSI\\" + name) {}
    ~ScsiEnumKey()
    {
        for (const std::wstring& instance : m_instances)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (m_path + L"\\" + instance).c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_path.c_str());
    }
    void Add(const wchar_t* instance, const wchar_t* lun, const wchar_t* letter)
    {
        HKEY key = nullptr;
        m_instances.push_back(instance);
        std::wstring path = m_path + L"\\" + instance;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr), ERROR_SUCCESS);
        RegSetValueExW(key, L"SCSILUN", 0, REG_SZ, reinterpret_cast<const BYTE*>(lun),
                       DWORD((wcslen(lun) + 1) * sizeof(wchar_t)));
        RegSetValueExW(key, L"CurrentDriveLetterAssignment", 0, REG_SZ, reinterpret_cast<const BYTE*>(letter),
                       DWORD((wcslen(letter) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_instances;
};

} // namespace

TEST(TransportFactory9x, Windows98GetsTheAspiTransport)
{
    HMODULE aspi = LoadStandIn();
    ASSERT_NE(aspi, nullptr);
    EXPECT_EQ(GetModuleHandleW(L"WNASPI32.DLL"), aspi);
    auto configure = reinterpret_cast<ASPI_STANDIN_CONFIGURE>(GetProcAddress(aspi, "AspiStandInConfigure"));
    ASSERT_NE(configure, nullptr) << "not our stand-in";
    ASPI_STANDIN_CONFIG config = {};
    config.adapterCount = 1;
    configure(&config);
    EXPECT_EQ(QvCurrentVersionClass(), 0);
    CTestOwner owner;
    CSimDeviceIo io;
    std::unique_ptr<CQvScsiTransport> transport;
    EXPECT_EQ(QvCreateTransport(&owner, &io, transport), 0);
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->Name(), "CQvScsi_9x");
    configure(nullptr);
    FreeLibrary(aspi);
}

TEST_F(Aspi, NoAdaptersGivesMinus21)
{
    Attach(0);
    CQvScsi_9x transport(&owner, &io);
    EXPECT_EQ(transport.LastError(), QV_E_ASPI_SUPPORT);
}

TEST_F(Aspi, CommandsCompleteAtOnceOrThroughTheEvent)
{
    g_units[0] = &player;
    for (int atOnce : {1, 0}) {
        config.completeAtOnce = atOnce;
        Attach(1);
        CQvScsi_9x transport(&owner, &io);
        ASSERT_EQ(transport.LastError(), 0);
        transport.ScanDrivesByInquiry(); // picks adapter 0
        CQvGetChipMajorRevId chip;
        ASSERT_EQ(transport.Execute(chip), 0) << atOnce;
        uint16_t revision = 0;
        EXPECT_EQ(chip.GetRevision(revision), 0);
        EXPECT_EQ(revision, player.chipRevision);
        auto data = Pattern(1024);
        ASSERT_EQ(transport.Write(data.data(), 2, 8, 512), 0);
        std::vector<uint8_t> back(1024);
        ASSERT_EQ(transport.Read(back.data(), 2, 8, 512), 0);
        EXPECT_EQ(back, data);
    }
}

TEST_F(Aspi, CheckConditionGivesMinus23WithTheStatusText)
{
    g_units[0] = &player;
    config.completeAtOnce = 1;
    Attach(1);
    config.biosDrive[0] = 0x80;
    configure(&config);
    io.driveMaps[L'U'] = {0, 0x80};
    CQvScsi_9x transport(&owner, &io);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    player.faults.checkCondition = true;
    player.faults.statusCode = 0x0401;
    CQvEraseLogicalMedia erase;
    EXPECT_EQ(transport.Execute(erase), QV_E_SCSI_STATUS);
    EXPECT_EQ(owner.info.Name(), "CQvScsi_9x");
    EXPECT_EQ(owner.info.SystemError(), DWORD(ASPI_STATUS_ERROR));
    EXPECT_EQ(owner.info.DetailText(), u"The player's media is write protected.");
    ASSERT_NE(transport.LastSense(), nullptr);
    EXPECT_EQ(transport.LastSense()->Count(), 14u);
    EXPECT_EQ(transport.LastError(), 0);
}

TEST_F(Aspi, DiscoveryFindsThePlayerThroughTheDriveMap)
{
    CSimPlayerTarget other;
    other.product = "Other           ";
    g_units[0] = &other;
    g_units[1] = &player;
    config.biosDrive[1] = 0x81;
    Attach(2);
    io.driveMaps[L'C'] = {0, 0x80};
    io.driveMaps[L'V'] = {0, 0x81};
    CQvScsi_9x transport(&owner, &io);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'V');
    EXPECT_EQ(transport.AdapterId(), 1);
    EXPECT_EQ(transport.DeviceFound(), 1);
    EXPECT_EQ(io.openHandles(), 0);
}

TEST_F(Aspi, DiscoveryMatchesALowerCaseVendor)
{
    player.vendor = "vilo    ";
    g_units[0] = &player;
    config.biosDrive[0] = 0x80;
    Attach(1);
    io.driveMaps[L'U'] = {0, 0x80};
    CQvScsi_9x transport(&owner, &io);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'U');
}

TEST_F(Aspi, DiscoveryWithoutAPlayerGivesMinus22)
{
    player.faults.notPlayer = true;
    g_units[0] = &player;
    Attach(2); // adapter 1 has no unit at all
    CQvScsi_9x transport(&owner, &io);
    EXPECT_EQ(transport.ScanDrivesByInquiry(), QV_E_NO_DEVICE);
    EXPECT_EQ(transport.DeviceFound(), 0);
    EXPECT_EQ(transport.DriveLetter(), 0);
    EXPECT_EQ(transport.AdapterId(), 255);
}

TEST_F(Aspi, WithoutABiosDriveTheRegistryNamesTheOneRemovableLetter)
{
    player.revision = "R.07";
    g_units[0] = &player;
    config.biosDrive[0] = 0x05; // bit 7 clear: no BIOS drive
    Attach(1);
    ScsiEnumKey key(L"Vilo____Lark____________R");
    key.Add(L"0001", L"0", L"U");
    key.Add(L"0002", L"1", L"V");  // another LUN
    key.Add(L"0003", L"0", L"C");  // a fixed disk
    CQvScsi_9x transport(&owner, &io);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'U');
    EXPECT_EQ(transport.DeviceFound(), 1);
}

TEST_F(Aspi, WhenVwin32GivesNoDriveMapTheRegistryIsSearched)
{
    player.revision = "S.00";
    g_units[0] = &player;
    config.biosDrive[0] = 0x80;
    Attach(1);
    io.driveMapAnswers = false;
    ScsiEnumKey key(L"Vilo____Lark____________S");
    key.Add(L"0001", L"0", L"V");
    CQvScsi_9x transport(&owner, &io);
    ASSERT_EQ(transport.ScanDrivesByInquiry(), 0);
    EXPECT_EQ(transport.DriveLetter(), u'V');
    EXPECT_TRUE(Called(0x6F, 0x48));
    EXPECT_TRUE(Called(0x6F, 0x08));
}

TEST_F(Aspi, NoRegistryKeyGivesMinus18)
{
    player.revision = "T.00";
    g_units[0] = &player;
    Attach(1);
    CQvScsi_9x transport(&owner, &io);
    EXPECT_EQ(transport.ScanDrivesByInquiry(), QV_E_NO_CANDIDATE);
    std::vector<wchar_t> candidates;
    EXPECT_EQ(transport.RegistrySearch(L"Vilo____Lark____________T", candidates), QV_E_NO_SCSI_KEY);
    EXPECT_TRUE(candidates.empty());
}

TEST_F(Aspi, SeveralCandidatesAreSettledByTheDriveMap)
{
    Attach(1);
    io.driveMaps[L'U'] = {0, 0x80};
    io.driveMaps[L'V'] = {15, 0xFF};
    CQvScsi_9x transport(&owner, &io);
    wchar_t letter = 0;
    ASSERT_EQ(transport.PickCandidate({L'U', L'V'}, letter), 0);
    EXPECT_EQ(letter, L'V');
    io.driveMaps[L'V'] = {15, 0x81};
    EXPECT_EQ(transport.PickCandidate({L'U', L'V'}, letter), QV_E_NO_CANDIDATE);
    io.vwin32 = false;
    EXPECT_EQ(transport.PickCandidate({L'U', L'V'}, letter), QV_E_OPEN);
    EXPECT_EQ(transport.PickCandidate({}, letter), QV_E_NO_CANDIDATE);
}

TEST_F(Aspi, VolumeLocksUseDosIoctlsWithTheOlderCategoryAsFallback)
{
    Attach(1);
    CQvScsi_9x transport(&owner, &io);
    transport.SetDriveLetter(u'U');
    ASSERT_EQ(transport.Open(), 0);
    EXPECT_EQ(transport.LockVolume(0), 0);
    ASSERT_EQ(io.dosCalls.size(), 1u);
    EXPECT_EQ(io.dosCalls[0].letter, L'U');
    EXPECT_EQ(io.dosCalls[0].category, 0x48);
    EXPECT_EQ(io.dosCalls[0].minor, 0x4A);
    EXPECT_EQ(io.dosCalls[0].edx, 0u);
    EXPECT_EQ(transport.UnlockVolume(1), 0);
    EXPECT_EQ(io.dosCalls.back().minor, 0x6B);
    io.fat32Category = false;
    EXPECT_EQ(transport.LockForFormat(1), 0);
    ASSERT_EQ(io.dosCalls.size(), 4u);
    EXPECT_EQ(io.dosCalls[2].category, 0x48);
    EXPECT_EQ(io.dosCalls[3].category, 0x08);
    EXPECT_EQ(io.dosCalls[3].minor, 0x4B);
    EXPECT_EQ(io.dosCalls[3].edx, 4u);
    EXPECT_EQ(transport.ReleaseAfterFormat(0), 0);
    EXPECT_EQ(io.dosCalls.back().minor, 0x6A);
    EXPECT_EQ(transport.Dismount(), 0);
    player.faults.busyLocks = -1;
    EXPECT_EQ(transport.LockVolume(0), QV_E_LOCK);
    EXPECT_EQ(transport.UnlockVolume(0), QV_E_UNLOCK);
}
