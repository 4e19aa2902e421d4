// The tests' installer: loads DevSweep.dll by name, as an outside installer
// does, and calls one export with the arguments of its command line.
//
//   devsweep_installer Export [argument ...]     exit code = the export's result
//   devsweep_installer exports                   exit code = names not found
//
// A text argument "<null>" is a null pointer. Results and outputs are also
// written as debug lines ("installer: ..."), beside the library's own.
#include <windows.h>

#include "DevSweep.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const g_Exports[] = {
    "RegisterInf",          "UpdateInf",
    "CopyQvumsInfVIDPIDs",  "CheckServiceName",
    "FindLegacyPlayers",    "RemoveInstalledLegacyPlayer",
    "RemoveLegacyPlayerHook", "RemoveLegacyPlayerDrivers",
    "RemoveLegacyPlayerRemnants", "RemoveDeviceRegEntries",
    "RemoveDeviceForDeviceType", "RemoveVolumeRegEntries",
    "RemovePlayerRemnants", "InstallFilter",
    "RemoveFilter",
};

void Say(const std::string& line) {
    OutputDebugStringA(("installer: " + line + "\n").c_str());
}

const char* Arg(int argc, char** argv, int i) {
    if (i >= argc)
        return nullptr;
    return strcmp(argv[i], "<null>") == 0 ? nullptr : argv[i];
}

int IntArg(int argc, char** argv, int i) {
    return i < argc ? atoi(argv[i]) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: devsweep_installer Export [argument ...] | exports\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA("DevSweep.dll");
    if (!dll) {
        Say("DevSweep.dll not loaded");
        return 3;
    }
    const std::string name = argv[1];
    if (name == "exports") {
        int missing = 0;
        for (const char* exportName : g_Exports)
            if (!GetProcAddress(dll, exportName)) {
                Say(std::string("missing ") + exportName);
                ++missing;
            }
        Say("exports missing: " + std::to_string(missing));
        return missing;
    }
    FARPROC function = GetProcAddress(dll, name.c_str());
    if (!function) {
        Say("no export " + name);
        return 4;
    }
    void* f = reinterpret_cast<void*>(function);
    int result = 0;
    if (name == "RegisterInf" || name == "UpdateInf" || name == "CopyQvumsInfVIDPIDs" || name == "InstallFilter" ||
        name == "RemoveFilter") {
        result = reinterpret_cast<DEVSWEEP_TEXT_TEXT>(f)(Arg(argc, argv, 2), Arg(argc, argv, 3));
    } else if (name == "CheckServiceName" || name == "RemovePlayerRemnants") {
        result = reinterpret_cast<DEVSWEEP_TEXT>(f)(Arg(argc, argv, 2));
    } else if (name == "RemoveLegacyPlayerRemnants") {
        result = reinterpret_cast<DEVSWEEP_INT>(f)(IntArg(argc, argv, 2));
    } else if (name == "RemoveInstalledLegacyPlayer") {
        result = reinterpret_cast<DEVSWEEP_INT_TEXT>(f)(IntArg(argc, argv, 2), Arg(argc, argv, 3));
    } else if (name == "RemoveDeviceForDeviceType") {
        result = reinterpret_cast<DEVSWEEP_TEXT_INT>(f)(Arg(argc, argv, 2), IntArg(argc, argv, 3));
    } else if (name == "FindLegacyPlayers") {
        // The documented minimum buffer, guarded on both sides.
        unsigned short row = 0xBEEF;
        char buffer[260 + 16];
        memset(buffer, 'G', sizeof buffer);
        char* displayName = buffer + 8;
        strcpy(displayName, "unchanged");
        result = reinterpret_cast<DEVSWEEP_FIND>(f)(&row, displayName);
        bool guardsIntact = true;
        for (int i = 0; i < 8; ++i)
            guardsIntact = guardsIntact && buffer[i] == 'G' && buffer[8 + 260 + i] == 'G';
        Say("row=" + std::to_string(row) + " name=" + std::string(displayName, strnlen(displayName, 260)) +
            (guardsIntact ? " guards=intact" : " guards=overwritten"));
    } else {
        result = reinterpret_cast<DEVSWEEP_NONE>(f)();
    }
    Say(name + " = " + std::to_string(result));
    FreeLibrary(dll);
    return result;
}
