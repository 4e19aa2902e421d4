// The manager's small settings rules, Windows-free: the Windows line the
// program runs on, the settings file test and the recent-path lists.
#pragma once

#include <string>
#include <vector>

namespace settings {

enum OsLevel : short { OS_98 = 0, OS_ME = 1, OS_2000 = 2, OS_XP = 3 };
// The platform ids of the version query.
enum { PLATFORM_WIN32_WINDOWS = 1, PLATFORM_WIN32_NT = 2 };

// The level from the version the system reports: 4.10 is 98, 4.x above 10
// is ME, 5.0 is 2000, 5.1 and later 5.x is XP. Versions the program was not
// made for get the nearest level it knows: Windows 95 (4.0 on the 9x line)
// runs as 98, NT 4.0 as 2000, and any version 6 or above as XP, so that
// every later Windows takes the NT paths with XP's settings.
short OsLevelFromVersion(unsigned platformId, unsigned major, unsigned minor);

// The settings file of the player: a 15-character path whose part after the
// last "\" is "SETTINGS.DAT" (case-insensitive), that is the file at a drive
// root, and only while the internal memory (0) is shown.
bool IsSettingsFile(const std::string& path, int currentMemory);

// The recent paths as "Path0" upward: the first ten entries, empty ones
// skipped, in their order.
std::vector<std::string> RecentPathsToWrite(const std::vector<std::string>& comboEntries);

// The program folder always ends with "\"; the images folder follows it.
std::string WithBackslash(const std::string& folder);
std::string ImagesFolder(const std::string& programFolder);

}  // namespace settings
