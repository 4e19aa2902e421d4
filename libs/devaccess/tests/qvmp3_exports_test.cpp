// Every function of QvMp3's interface, declared here from the interface table
// alone (not from QvMp3.h): the program links against each plain C name, and
// GetProcAddress finds each in the loaded DLL, which exports nothing else.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#define IMPORTED extern "C" __declspec(dllimport)
#define DECLARE(name) IMPORTED void __cdecl name();

#define QVMP3_NAMES(X)                                                                                          \
    X(QvMp3OpenDriver) X(QvMp3OpenDriverEx) X(QvMp3OpenDriverNoBlock) X(QvMp3OpenDriverNoBlockEx)               \
    X(QvMp3CloseDriver) X(QvMp3FreeMemoryDevice) X(QvMp3GetStatus) X(QvMp3SetStatus) X(QvMp3GetDeviceStatus)    \
    X(QvMp3GetChipId) X(QvMp3GetPowerStatus) X(QvMp3GetDeviceVersion) X(QvMp3GetFlashSizes)                     \
    X(QvMp3FatPrepareSupported) X(QvMp3FatEraseDataArea) X(QvMp3BuildBlockStatus) X(QvMp3FatFormatEx)           \
    X(QvMp3QuickFormatQvrx) X(QvMp3ProgramQvrxMedia) X(QvMp3GetFirmwareVersion) X(QvMp3GetFileVersion)          \
    X(QvMp3SetPhase) X(QvMp3GetProgress) X(QvMp3SetProgress) X(QvMp3DDOpenDriver) X(QvMp3DDOpenDriverNoBlock)   \
    X(QvMp3DDCloseDriver) X(QvMp3DDGetStatus) X(QvMp3DDSetStatus) X(QvMp3DDReconfigure)                         \
    X(QvMp3DDGetDeviceVersion) X(QvMp3DDGetDeviceStatus) X(QvMp3DDGetChipId) X(QvMp3DDSetFormatStatus)          \
    X(QvMp3DDWrite) X(QvMp3DDRead) X(QvMp3MMCDetectMedia) X(QvMp3MMCReadStatus) X(QvMp3MMCReadCID)             \
    X(QvMp3MMCReadOCR) X(QvMp3MMCReadCSD) X(QvMp3MMCProgramCSD) X(QvMp3MMCReadBlock)                            \
    X(QvMp3MMCReadMultipleBlock) X(QvMp3MMCWriteBlock) X(QvMp3MMCWriteMultipleBlock) X(QvMp3MMCErase)           \
    X(QvMp3MMCEraseAllBlocks) X(QvMp3MMCEraseFileSystemSectors) X(QvMp3MMCFormat)

QVMP3_NAMES(DECLARE)

namespace {

struct Named {
    const char* Name;
    void (*Linked)();
};
#define ENTRY(name) {#name, &name},
const Named NAMES[] = {QVMP3_NAMES(ENTRY)};

// The names in the DLL's export directory.
std::set<std::string> ExportedNames(HMODULE module)
{
    std::set<std::string> names;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress)
        return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto list = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; i++)
        names.insert(reinterpret_cast<const char*>(base + list[i]));
    return names;
}

} // namespace

TEST(QvMp3Exports, EveryNameOfTheInterfaceIsExportedPlainAndNothingElse)
{
    HMODULE module = GetModuleHandleA("QvMp3.dll");
    ASSERT_TRUE(module != nullptr);
    ASSERT_EQ(sizeof NAMES / sizeof NAMES[0], 50u);
    std::set<std::string> exported = ExportedNames(module);
    for (const Named& named : NAMES) {
        FARPROC found = GetProcAddress(module, named.Name);
        EXPECT_TRUE(found != nullptr) << named.Name;
        // The program links against the name (its address here may be the import thunk).
        EXPECT_TRUE(named.Linked != nullptr) << named.Name;
        EXPECT_EQ(exported.count(named.Name), 1u) << named.Name;
    }
    EXPECT_EQ(exported.size(), 50u) << "no decorated or extra names";
}
