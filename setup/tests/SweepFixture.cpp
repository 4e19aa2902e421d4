#include "SweepFixture.h"

#include <setupapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace sweeptest {

std::string INSTALLER_RUN::AllText() const {
    std::string text;
    for (const std::string& line : DebugLines)
        text += line + "\n";
    return text;
}

bool INSTALLER_RUN::Says(const std::string& text) const {
    for (const std::string& line : DebugLines)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

namespace {

std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, n);
    return text.substr(0, text.find_last_of('\\') + 1);
}

// Wine gives each program name its own Windows version: the installer runs
// as a copy named for the version this test program sees.
std::string InstallerPath() {
    std::string folder = OwnFolder();
    const char* version = getenv("MB_WINVER");
    std::string plain = folder + "devsweep_installer.exe";
    if (!version || !*version || std::string(version) == "winxp")
        return plain;
    std::string name = std::string("devsweep_installer.") + version + ".exe";
    CopyFileA(plain.c_str(), (folder + name).c_str(), FALSE);
    SetText(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + name, "Version", version);
    return folder + name;
}

// One argument as the C runtime splits command lines: backslashes before a
// quote (or the closing quote) are doubled.
std::string Quote(const std::string& arg) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    std::string text;
    if (info.fUnicode || !info.nDebugStringLength)
        return text;
    std::vector<char> buffer(info.nDebugStringLength);
    SIZE_T read = 0;
    if (ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), buffer.size(), &read))
        text.assign(buffer.data(), strnlen(buffer.data(), read));
    return text;
}

}  // namespace

INSTALLER_RUN RunInstaller(const std::vector<std::string>& args) {
    INSTALLER_RUN run;
    std::string exe = InstallerPath();
    std::string command = Quote(exe);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        OwnFolder().c_str(), &startup, &process))
        return run;
    std::string output;
    for (bool done = false; !done;) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, INFINITE))
            break;
        DWORD answer = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT:
            output += ReadDebugString(process.hProcess, event.u.DebugString);
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                answer = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.Result = static_cast<int>(event.u.ExitProcess.dwExitCode);
            done = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::istringstream lines(output);
    for (std::string text; std::getline(lines, text);)
        if (!text.empty())
            run.DebugLines.push_back(text);
    return run;
}

namespace {

std::string ValueText(DWORD type, const BYTE* data, DWORD size) {
    std::string text = std::to_string(type) + ":";
    static const char hex[] = "0123456789abcdef";
    for (DWORD i = 0; i < size; ++i) {
        text += hex[data[i] >> 4];
        text += hex[data[i] & 15];
    }
    return text;
}

void SnapshotKey(HKEY key, const std::string& name, REG_SNAPSHOT& out) {
    std::string values;
    std::vector<std::string> entries;
    for (DWORD i = 0;; ++i) {
        char valueName[16384];
        DWORD nameSize = sizeof valueName;
        BYTE data[8192];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        LONG rc = RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA) {
            entries.push_back(std::string(valueName, nameSize) + "=<large>");
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        entries.push_back(std::string(valueName, nameSize) + "=" + ValueText(type, data, dataSize));
    }
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : entries)
        values += entry + ";";
    out[name] = values;
    for (DWORD i = 0;; ++i) {
        char subName[512];
        DWORD subSize = sizeof subName;
        if (RegEnumKeyExA(key, i, subName, &subSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, subName, 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        SnapshotKey(sub, name + "\\" + subName, out);
        RegCloseKey(sub);
    }
}

// The key as the registry saves it (Wine writes its own text format: a
// "[path] stamp" line per key, then its values), read back into the map.
void EnableBackupPrivilege() {
    static bool done = false;
    if (done)
        return;
    done = true;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

void SnapshotRoot(HKEY root, const char* rootName, const char* path, REG_SNAPSHOT& out) {
    EnableBackupPrivilege();
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char folder[MAX_PATH], file[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "reg", 0, file);
    DeleteFileA(file);
    LONG rc = RegSaveKeyA(key, file, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        // Without a saved copy, walk the key instead.
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            SnapshotKey(key, std::string(rootName) + "\\" + path, out);
            RegCloseKey(key);
        }
        return;
    }
    FILE* saved = fopen(file, "rb");
    std::string text;
    if (saved) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, saved)) > 0)
            text.append(buffer, n);
        fclose(saved);
    }
    DeleteFileA(file);
    const std::string base = std::string(rootName) + "\\" + path;
    out[base];
    std::string current;
    std::vector<std::string> values;
    auto flush = [&]() {
        if (current.empty())
            return;
        std::sort(values.begin(), values.end());
        std::string joined;
        for (const std::string& v : values)
            joined += v + ";";
        out[current] = joined;
        values.clear();
    };
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            flush();
            size_t close = line.rfind(']');
            std::string name;
            for (size_t i = 1; i < close; ++i) {
                if (line[i] == '\\' && i + 1 < close && line[i + 1] == '\\')
                    ++i;
                name += line[i];
            }
            current = base + "\\" + name;
            // A key is written only when it has values or no subkeys: its
            // parents are keys all the same.
            for (size_t slash = current.find('\\', base.size() + 1); slash != std::string::npos;
                 slash = current.find('\\', slash + 1))
                out[current.substr(0, slash)];
            out[current];
            continue;
        }
        if (!current.empty())
            values.push_back(line);
        else if (line.find('=') != std::string::npos)
            values.push_back(line);
    }
    flush();
}

bool IsUnder(const std::string& key, const std::string& target) {
    if (key.size() < target.size() || _strnicmp(key.c_str(), target.c_str(), target.size()) != 0)
        return false;
    return key.size() == target.size() || key[target.size()] == '\\';
}

}  // namespace

REG_SNAPSHOT SnapshotRegistry() {
    REG_SNAPSHOT out;
    SnapshotRoot(HKEY_LOCAL_MACHINE, "HKLM", "Software", out);
    SnapshotRoot(HKEY_LOCAL_MACHINE, "HKLM", "System", out);
    SnapshotRoot(HKEY_LOCAL_MACHINE, "HKLM", "Enum", out);
    SnapshotRoot(HKEY_CURRENT_USER, "HKCU", "Software", out);
    // Wine's own settings (the per-program versions the tests set) are not
    // the machine's.
    for (auto it = out.begin(); it != out.end();)
        it = IsUnder(it->first, "HKCU\\Software\\Wine") ? out.erase(it) : std::next(it);
    return out;
}

REG_DIFF CompareRegistry(const REG_SNAPSHOT& before, const REG_SNAPSHOT& after) {
    REG_DIFF diff;
    for (const auto& entry : before) {
        auto found = after.find(entry.first);
        if (found == after.end())
            diff.Removed.insert(entry.first);
        else if (found->second != entry.second)
            diff.Changed.insert(entry.first);
    }
    for (const auto& entry : after)
        if (!before.count(entry.first))
            diff.Added.insert(entry.first);
    return diff;
}

std::set<std::string> KeysUnder(const REG_SNAPSHOT& snapshot, const std::vector<std::string>& targets) {
    std::set<std::string> keys;
    for (const auto& entry : snapshot)
        for (const std::string& target : targets)
            if (IsUnder(entry.first, target))
                keys.insert(entry.first);
    return keys;
}

namespace {

void ListFolder(const std::string& folder, std::set<std::string>& out) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.insert(path + "\\");
            ListFolder(path, out);
        } else {
            out.insert(path);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

}  // namespace

std::set<std::string> SnapshotFiles(const std::vector<std::string>& roots) {
    std::set<std::string> out;
    for (const std::string& root : roots)
        ListFolder(root, out);
    return out;
}

void SetKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void SetText(HKEY root, const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::string& path) {
    SHDeleteKeyA(root, path.c_str());
}

bool HasKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string GetText(HKEY root, const std::string& path, const char* name) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(buffer) : "<no value>";
}

void MakeFolder(const std::string& path) {
    for (size_t pos = 3; pos != std::string::npos; pos = path.find('\\', pos + 1))
        CreateDirectoryA(path.substr(0, pos).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

void MakeFile(const std::string& path, const std::string& text) {
    MakeFolder(path.substr(0, path.find_last_of('\\')));
    FILE* file = fopen(path.c_str(), "wb");
    if (file) {
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
    }
}

void DeleteFolderTree(const std::string& path) {
    std::set<std::string> entries;
    ListFolder(path, entries);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->back() == '\\')
            RemoveDirectoryA(it->c_str());
        else
            DeleteFileA(it->c_str());
    }
    RemoveDirectoryA(path.c_str());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsFolder() {
    char path[MAX_PATH];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path, n);
}

std::string SystemFolder() {
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, n);
}

bool MakeDevice(const std::string& instanceId, const GUID& deviceClass, const std::vector<std::string>& hardwareIds,
                const std::string& driverKey) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&deviceClass, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    bool ok = SetupDiCreateDeviceInfoA(set, instanceId.c_str(), &deviceClass, nullptr, nullptr, 0, &device);
    std::string ids;
    for (const std::string& id : hardwareIds)
        ids += id + '\0';
    ids += '\0';
    ok = ok && SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                 reinterpret_cast<const BYTE*>(ids.data()),
                                                 static_cast<DWORD>(ids.size()));
    ok = ok && SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
    SetupDiDestroyDeviceInfoList(set);
    if (ok && !driverKey.empty())
        SetText(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\" + instanceId, "Driver", driverKey);
    return ok;
}

bool DeviceExists(const std::string& instanceId) {
    return HasKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\" + instanceId);
}

void RemoveDeviceNode(const std::string& instanceId) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (SetupDiOpenDeviceInfoA(set, instanceId.c_str(), nullptr, 0, &device))
        SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
    DeleteTree(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\" + instanceId);
}

bool IsNtLine() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace sweeptest
