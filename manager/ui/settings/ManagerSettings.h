// The manager's settings in the registry (its App Paths key: the program
// folder "Path", the recent paths "Path0".."Path9", "CFG_DL" and "CFG_TR"),
// the program folder and the Windows line it runs on.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CManagerSettings {
public:
    struct Values {
        std::string programFolder;  // "Path" as stored (may be empty)
        DWORD cfgDl = 1;            // delete completed download-list rows
        DWORD cfgTr = 1;            // PC tree hidden at start
    };

    // HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\App Paths\"
    // followed by the program's name (string 273).
    static std::string AppPathsKey();

    // Defaults (1, 1, no folder) for a missing key or value.
    static Values Read(const std::string& key = AppPathsKey());
    // "Path9" down to "Path0": each value found, in that order.
    static std::vector<std::string> ReadRecentPaths(const std::string& key = AppPathsKey());
    // Deletes "Path0".."Path9" and writes the first ten non-empty entries as
    // "Path0" upward; a failed write stops (false).
    static bool WriteRecentPaths(const std::vector<std::string>& entries, const std::string& key = AppPathsKey());

    // The stored folder, else the current directory, ending with "\".
    static std::string ResolveProgramFolder(const std::string& stored);
    // OsLevel of the running Windows (0 98, 1 ME, 2 2000, 3 XP).
    static short DetectOsLevel();
};
