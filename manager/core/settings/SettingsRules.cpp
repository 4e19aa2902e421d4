#include "SettingsRules.h"

#include <cctype>

namespace settings {

short OsLevelFromVersion(unsigned platformId, unsigned major, unsigned minor)
{
    if (platformId == PLATFORM_WIN32_WINDOWS) {
        // 4.0 is 95, 4.10 98, 4.90 ME.
        return minor > 10 ? OS_ME : OS_98;
    }
    if (major >= 6)
        return OS_XP;
    if (major == 5)
        return minor == 0 ? OS_2000 : OS_XP;
    // NT 4.0 and older NT: the NT line's nearest level.
    return OS_2000;
}

bool IsSettingsFile(const std::string& path, int currentMemory)
{
    if (currentMemory != 0 || path.size() != 15)
        return false;
    size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    static const char kName[] = "SETTINGS.DAT";
    if (name.size() != sizeof kName - 1)
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != kName[i])
            return false;
    return true;
}

std::vector<std::string> RecentPathsToWrite(const std::vector<std::string>& comboEntries)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < comboEntries.size() && i < 10; ++i)
        if (!comboEntries[i].empty())
            out.push_back(comboEntries[i]);
    return out;
}

std::string WithBackslash(const std::string& folder)
{
    if (folder.empty() || folder.back() != '\\')
        return folder + "\\";
    return folder;
}

std::string ImagesFolder(const std::string& programFolder)
{
    return WithBackslash(programFolder) + "Images\\";
}

}  // namespace settings
