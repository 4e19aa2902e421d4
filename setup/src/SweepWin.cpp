#include "SweepWin.h"

#include <cstdarg>
#include <cstdio>

namespace devsweep {

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) {
        va_end(args);
        return;
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    OutputDebugStringA(text.data());
}

void TraceSystemText(DWORD error) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (n && text)
        OutputDebugStringA(text);
    else
        Trace("Error %lu\n", error);
    if (text)
        LocalFree(text);
}

WIN_LINE CurrentLine() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return WINLINE_OTHER;
    return ClassifyWindows(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

std::string ReadText(HKEY key, const char* value, DWORD maxBytes, bool* found) {
    if (found)
        *found = false;
    std::vector<char> buffer(maxBytes + 1, 0);
    DWORD size = maxBytes;
    DWORD type = 0;
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::string();
    if (found)
        *found = true;
    return TextOfValue(buffer.data(), size < maxBytes ? size : maxBytes);
}

LONG DeleteKeyUnder(HKEY root, const std::string& parent, const std::vector<std::string>& subParts) {
    std::string sub;
    if (!JoinKey(sub, subParts)) {
        Trace("\tRefused to delete a key with an empty or nested name under %s\n", parent.c_str());
        return ERROR_INVALID_NAME;
    }
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(root, parent.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegDeleteKeyA(key, sub.c_str());
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS)
        Trace("\tDeleted key %s\\%s\n", parent.c_str(), sub.c_str());
    return rc;
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool KeyHasSubkeys(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0;
    LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    RegCloseKey(key);
    // A key we cannot count is treated as full: it is then left alone.
    return rc != ERROR_SUCCESS || subkeys != 0;
}

std::vector<std::string> ProtectedFolders() {
    std::vector<std::string> folders;
    char path[MAX_PATH];
    auto add = [&folders](const char* folder) {
        folders.push_back(folder);
        // An 8.3 spelling of the same folder must not slip through either.
        char shortPath[MAX_PATH];
        DWORD n = GetShortPathNameA(folder, shortPath, MAX_PATH);
        if (n && n < MAX_PATH)
            folders.push_back(shortPath);
    };
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n && n < MAX_PATH) {
        add(path);
        std::string programFiles = std::string(path, 2) + "\\Program Files";
        add(programFiles.c_str());
        std::string documents = std::string(path, 2) + "\\Documents and Settings";
        add(documents.c_str());
        // Both system folders, whichever of them the line calls its own: the
        // NT line keeps the 16-bit one, and 32-bit files land in either.
        for (const char* system : {"\\system", "\\system32"}) {
            std::string folder = std::string(path, n) + system;
            add(folder.c_str());
        }
    }
    n = GetSystemDirectoryA(path, MAX_PATH);
    if (n && n < MAX_PATH)
        add(path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        for (const char* value : {"ProgramFilesDir", "CommonFilesDir"}) {
            std::string folder = ReadText(key, value, MAX_PATH);
            if (!folder.empty())
                add(folder.c_str());
        }
        RegCloseKey(key);
    }
    // The user's own folders and all users' (desktop, documents, music, the
    // Start menu and its Programs, fonts ...) and the profiles that hold them:
    // a folder value naming one of them names no program's folder.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0, KEY_READ,
                          &key) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            char name[256];
            char value[MAX_PATH];
            DWORD nameSize = sizeof name, size = sizeof value, type = 0;
            LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc == ERROR_SUCCESS && type == REG_SZ) {
                std::string folder = TextOfValue(value, size);
                if (!folder.empty())
                    add(folder.c_str());
            }
        }
        RegCloseKey(key);
    }
    for (const char* variable : {"USERPROFILE", "ALLUSERSPROFILE"}) {
        n = GetEnvironmentVariableA(variable, path, MAX_PATH);
        if (n && n < MAX_PATH)
            add(path);
    }
    return folders;
}

void DeleteFolderFiles(const std::string& folder) {
    Trace("\tDeleting %s\n", folder.c_str());
    const std::vector<std::string> guarded = ProtectedFolders();
    bool removable = IsRemovableFolder(folder, guarded);
    // A path spelt half long, half 8.3 matches neither spelling of a
    // protected folder: its all-8.3 spelling is checked too.
    char shortPath[MAX_PATH];
    DWORD n = removable ? GetShortPathNameA(folder.c_str(), shortPath, MAX_PATH) : 0;
    if (n && n < MAX_PATH && !IsRemovableFolder(shortPath, guarded))
        removable = false;
    if (!removable) {
        Trace("\tRefused: %s is no folder of a program\n", folder.c_str());
        return;
    }
    std::string pattern;
    if (!JoinBounded(pattern, {folder, "\\", "*.*"}))
        return;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            std::string file;
            if (JoinBounded(file, {folder, "\\", found.cFileName}))
                DeleteFileA(file.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

namespace {

template <typename T>
bool Load(HMODULE module, const char* name, T& function) {
    function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

const SETUP_API* SetupApi() {
    static SETUP_API api;
    static int state = 0;  // 0 not tried, 1 loaded, -1 missing
    if (state == 0) {
        HMODULE module = LoadLibraryA("setupapi.dll");
        bool ok = module && Load(module, "SetupDiGetClassDevsA", api.GetClassDevs) &&
                  Load(module, "SetupDiEnumDeviceInfo", api.EnumDeviceInfo) &&
                  Load(module, "SetupDiGetDeviceRegistryPropertyA", api.GetDeviceRegistryProperty) &&
                  Load(module, "SetupDiSetClassInstallParamsA", api.SetClassInstallParams) &&
                  Load(module, "SetupDiCallClassInstaller", api.CallClassInstaller) &&
                  Load(module, "SetupDiDestroyDeviceInfoList", api.DestroyDeviceInfoList) &&
                  Load(module, "SetupCopyOEMInfA", api.CopyOEMInf) &&
                  Load(module, "SetupOpenInfFileA", api.OpenInfFile) &&
                  Load(module, "SetupCloseInfFile", api.CloseInfFile) &&
                  Load(module, "SetupFindFirstLineA", api.FindFirstLine) &&
                  Load(module, "SetupFindNextLine", api.FindNextLine) &&
                  Load(module, "SetupGetLineTextA", api.GetLineText);
        state = ok ? 1 : -1;
        if (!ok)
            Trace("setupapi.dll could not be loaded\n");
    }
    return state == 1 ? &api : nullptr;
}

const SERVICE_API* ServiceApi() {
    // On 95/98/ME advapi32 has no working service control manager; its
    // functions are looked up only on the NT line.
    if (!IsNt())
        return nullptr;
    static SERVICE_API api;
    static int state = 0;
    if (state == 0) {
        HMODULE module = LoadLibraryA("advapi32.dll");
        bool ok = module && Load(module, "OpenSCManagerA", api.OpenSCManager) &&
                  Load(module, "OpenServiceA", api.OpenService) && Load(module, "CreateServiceA", api.CreateService) &&
                  Load(module, "ControlService", api.ControlService) && Load(module, "StartServiceA", api.StartService) &&
                  Load(module, "DeleteService", api.DeleteService) &&
                  Load(module, "CloseServiceHandle", api.CloseServiceHandle) &&
                  Load(module, "GetServiceDisplayNameA", api.GetServiceDisplayName);
        state = ok ? 1 : -1;
    }
    return state == 1 ? &api : nullptr;
}

}  // namespace devsweep
