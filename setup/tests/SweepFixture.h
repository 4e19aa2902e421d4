// What DevSweep's Wine tests share: the installer run under a debugger (its
// result and every debug line), registry and file snapshots compared before
// and after, and the makers of keys, files and device nodes.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace sweeptest {

struct INSTALLER_RUN {
    int Result = -999;                    // the export's result (exit code)
    std::vector<std::string> DebugLines;  // OutputDebugString texts, in order
    std::string AllText() const;
    bool Says(const std::string& text) const;
};
// Runs the tests' installer (a copy named for this Windows version) with the
// given arguments, catching its debug output as its debugger.
INSTALLER_RUN RunInstaller(const std::vector<std::string>& args);

// "HKLM\path" -> its values, one text.
typedef std::map<std::string, std::string> REG_SNAPSHOT;
REG_SNAPSHOT SnapshotRegistry();
// Keys gone, keys added and keys whose values changed between two snapshots.
struct REG_DIFF {
    std::set<std::string> Removed, Added, Changed;
};
REG_DIFF CompareRegistry(const REG_SNAPSHOT& before, const REG_SNAPSHOT& after);
// Every key of before at or under one of the targets ("HKLM\a\b").
std::set<std::string> KeysUnder(const REG_SNAPSHOT& snapshot, const std::vector<std::string>& targets);

// Every file and folder below the given folders ("C:\a\b", folders end in '\').
std::set<std::string> SnapshotFiles(const std::vector<std::string>& roots);

// Registry makers. Paths are below the root, "a\b\c".
void SetText(HKEY root, const std::string& path, const char* name, const std::string& value);
void SetKey(HKEY root, const std::string& path);
void DeleteTree(HKEY root, const std::string& path);
bool HasKey(HKEY root, const std::string& path);
std::string GetText(HKEY root, const std::string& path, const char* name);

// Files.
void MakeFile(const std::string& path, const std::string& text = "x");
void MakeFolder(const std::string& path);  // with its parents
void DeleteFolderTree(const std::string& path);
bool Exists(const std::string& path);
std::string WindowsFolder();
std::string SystemFolder();

// A device node made the way the device installer makes one: instance id,
// class, hardware ids, and (when given) its driver key name.
bool MakeDevice(const std::string& instanceId, const GUID& deviceClass, const std::vector<std::string>& hardwareIds,
                const std::string& driverKey);
bool DeviceExists(const std::string& instanceId);
void RemoveDeviceNode(const std::string& instanceId);

bool IsNtLine();

}  // namespace sweeptest
