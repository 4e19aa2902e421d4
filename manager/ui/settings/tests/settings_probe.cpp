// Reads and writes the manager's settings for settings-check.sh:
//   settings_probe read KEY            folder, CFG_DL, CFG_TR, recent paths
//   settings_probe write KEY P0 P1 ... the recent paths as the combo holds them
//   settings_probe oslevel             the level of the running Windows
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ManagerSettings.h"

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "oslevel") == 0) {
        std::printf("oslevel=%d\n", CManagerSettings::DetectOsLevel());
        return 0;
    }
    if (argc < 3)
        return 2;
    std::string key = argv[2];
    if (std::strcmp(argv[1], "read") == 0) {
        CManagerSettings::Values v = CManagerSettings::Read(key);
        std::printf("folder=%s\n", CManagerSettings::ResolveProgramFolder(v.programFolder).c_str());
        std::printf("cfg_dl=%lu\ncfg_tr=%lu\n", static_cast<unsigned long>(v.cfgDl), static_cast<unsigned long>(v.cfgTr));
        std::string recent;
        for (const std::string& p : CManagerSettings::ReadRecentPaths(key))
            recent += (recent.empty() ? "" : "|") + p;
        std::printf("recent=%s\n", recent.c_str());
        return 0;
    }
    if (std::strcmp(argv[1], "write") == 0) {
        std::vector<std::string> entries(argv + 3, argv + argc);
        bool ok = CManagerSettings::WriteRecentPaths(entries, key);
        std::printf("write=%d\n", ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    return 2;
}
