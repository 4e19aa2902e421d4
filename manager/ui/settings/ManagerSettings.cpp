#include "ManagerSettings.h"

#include "RegistryKey.h"
#include "SettingsRules.h"
#include "StringIds.h"
#include "Text.h"

std::string CManagerSettings::AppPathsKey()
{
    return "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + mb::LoadText(IDS_EXE_NAME);
}

CManagerSettings::Values CManagerSettings::Read(const std::string& key)
{
    Values v;
    CRegistryKey reg(HKEY_LOCAL_MACHINE);
    if (!reg.Open(HKEY_LOCAL_MACHINE, key))
        return v;
    std::string path;
    if (reg.ReadString("Path", path))
        v.programFolder = path;
    DWORD value = 0;
    if (reg.ReadDword("CFG_DL", value))
        v.cfgDl = value;
    if (reg.ReadDword("CFG_TR", value))
        v.cfgTr = value;
    reg.Close();
    return v;
}

std::vector<std::string> CManagerSettings::ReadRecentPaths(const std::string& key)
{
    std::vector<std::string> paths;
    CRegistryKey reg(HKEY_LOCAL_MACHINE);
    if (!reg.Open(HKEY_LOCAL_MACHINE, key))
        return paths;
    for (int i = 9; i >= 0; --i) {
        std::string value;
        if (reg.ReadString(mb::Format("Path%d", i), value) && !value.empty())
            paths.push_back(value);
    }
    reg.Close();
    return paths;
}

bool CManagerSettings::WriteRecentPaths(const std::vector<std::string>& entries, const std::string& key)
{
    CRegistryKey reg(HKEY_LOCAL_MACHINE);
    if (!reg.Create(HKEY_LOCAL_MACHINE, key))
        return false;
    for (int i = 0; i < 10; ++i)
        reg.DeleteValue(mb::Format("Path%d", i));
    std::vector<std::string> out = settings::RecentPathsToWrite(entries);
    for (size_t i = 0; i < out.size(); ++i) {
        if (!reg.WriteString(mb::Format("Path%d", int(i)), out[i])) {
            reg.Close();
            return false;
        }
    }
    reg.Close();
    return true;
}

std::string CManagerSettings::ResolveProgramFolder(const std::string& stored)
{
    std::string folder = stored;
    if (folder.empty()) {
        char current[MAX_PATH + 1] = {};
        DWORD n = ::GetCurrentDirectoryA(MAX_PATH, current);
        if (n > 0 && n < MAX_PATH)
            folder.assign(current, n);
    }
    return settings::WithBackslash(folder);
}

short CManagerSettings::DetectOsLevel()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info))
        return settings::OS_98;
    return settings::OsLevelFromVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}
