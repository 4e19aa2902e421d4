// The exports that install: INF copies, the hardware-id file, services, the
// search for earlier players and the filter driver.
#define DEVSWEEP_API
#include "DevSweep.h"

#include <cstdio>
#include <cstring>

#include "SweepWin.h"

using namespace devsweep;

namespace {

const char UNINSTALL_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char SERVICES_KEY[] = "SYSTEM\\CurrentControlSet\\Services";
const char RECORDER_CLASS_GUID[] = "{9FFF066D-3ED3-4567-9123-8B82CFE1CDD4}";

int CopyInf(const char* folder, const char* fileName, DWORD copyStyle) {
    if (!folder || !fileName)
        return -1;
    std::string source;
    if (!JoinBounded(source, {folder, fileName})) {
        Trace("INF path is longer than %u characters\n", static_cast<unsigned>(MAX_PATH_CHARS - 1));
        return -1;
    }
    const SETUP_API* api = SetupApi();
    if (!api)
        return -1;
    Trace("Copying %s\n", source.c_str());
    if (!api->CopyOEMInf(source.c_str(), folder, SPOST_PATH, copyStyle, nullptr, 0, nullptr, nullptr)) {
        Trace("SetupCopyOEMInf failed: %lu\n", GetLastError());
        return -1;
    }
    return 0;
}

// A name that the service control manager and the Services key take as one
// service: one key level, no slash.
bool IsServiceName(const char* name) {
    return name && IsKeyPart(name) && !strchr(name, '/');
}

struct ServiceHandle {
    const SERVICE_API* api;
    SC_HANDLE handle;
    ServiceHandle(const SERVICE_API* a, SC_HANDLE h) : api(a), handle(h) {}
    ~ServiceHandle() {
        if (handle)
            api->CloseServiceHandle(handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
};

int CheckServiceNameNt(const SERVICE_API* api, const char* name) {
    ServiceHandle manager(api, api->OpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager.handle) {
        Trace("The Service Control Manager could not be opened.\n");
        return 0;
    }
    char displayName[128];
    DWORD size = sizeof displayName;
    if (!api->GetServiceDisplayName(manager.handle, name, displayName, &size)) {
        // A long display name still means the service is there.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            Trace("Service %s not found\n", name);
            return 0;
        }
    }
    ServiceHandle service(api, api->OpenService(manager.handle, name, SERVICE_ALL_ACCESS));
    if (!service.handle) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            return 0;
        Trace("Service %s could not be opened: %lu\n", name, error);
        return 1;
    }
    SERVICE_STATUS status;
    if (api->ControlService(service.handle, SERVICE_CONTROL_STOP, &status))
        Trace("Service %s stopped\n", name);
    if (!api->DeleteService(service.handle)) {
        Trace("Service %s could not be deleted: %lu\n", name, GetLastError());
        return 1;
    }
    Trace("Service %s deleted\n", name);
    return 0;
}

int CheckServiceName9x(const char* name) {
    if (lstrcmpiA(name, "qvrx3rec") != 0)
        return 0;
    const std::string classRoot = "System\\CurrentControlSet\\Services\\Class";
    std::string path;
    if (!JoinKey(path, {"System", "CurrentControlSet", "Services", "Class", RECORDER_CLASS_GUID}))
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    std::string className = ReadText(key, "Class", 128);
    RegCloseKey(key);
    DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot, {RECORDER_CLASS_GUID});
    // The class named by the value goes too, but never the class root (an
    // empty or missing value) and never a class of the system.
    if (IsRemovableClassName(className))
        DeleteKeyUnder(HKEY_LOCAL_MACHINE, classRoot, {className});
    else
        Trace("\tClass \"%s\" is not removed\n", className.c_str());
    return 1;
}

}  // namespace

extern "C" {

int __stdcall RegisterInf(const char* folder, const char* fileName) {
    return CopyInf(folder, fileName, SP_COPY_NOOVERWRITE);
}

int __stdcall UpdateInf(const char* folder, const char* fileName) {
    return CopyInf(folder, fileName, SP_COPY_REPLACEONLY | SP_COPY_NEWER_OR_SAME);
}

int __stdcall CopyQvumsInfVIDPIDs(const char* infPath, const char* textFilePath) {
    if (!textFilePath)
        return 0;
    const SETUP_API* api = SetupApi();
    HINF inf = INVALID_HANDLE_VALUE;
    if (api && infPath)
        inf = api->OpenInfFile(infPath, nullptr, INF_STYLE_WIN4, nullptr);
    FILE* text = fopen(textFilePath, "a");
    if (!text) {
        if (inf != INVALID_HANDLE_VALUE)
            api->CloseInfFile(inf);
        Trace("%s could not be opened\n", textFilePath);
        return 0;
    }
    INFCONTEXT line;
    if (inf != INVALID_HANDLE_VALUE && api->FindFirstLine(inf, "Microsoft", nullptr, &line)) {
        fputs("\n", text);
        do {
            char lineText[MAX_PATH_CHARS];
            if (api->GetLineText(&line, nullptr, nullptr, nullptr, lineText, sizeof lineText, nullptr))
                fprintf(text, "%%USB\\Generic.DeviceDesc%%=%s\n", lineText);
            else
                Trace("An INF line longer than %u characters is left out\n", static_cast<unsigned>(MAX_PATH_CHARS - 1));
        } while (api->FindNextLine(&line, &line));
    }
    fprintf(text, "%%USB\\Generic.DeviceDesc%%=Generic.install,USB\\%s\n\n", PlayerUsbIdText().c_str());
    // A full disk shows only here: the lines are buffered until the close.
    bool written = !ferror(text);
    if (fclose(text) != 0)
        written = false;
    if (inf != INVALID_HANDLE_VALUE)
        api->CloseInfFile(inf);
    if (!written) {
        Trace("%s could not be written\n", textFilePath);
        return 0;
    }
    return 1;
}

int __stdcall CheckServiceName(const char* serviceName) {
    if (!IsServiceName(serviceName)) {
        Trace("CheckServiceName: no service name\n");
        return 0;
    }
    switch (CurrentLine()) {
    case WINLINE_NT: {
        const SERVICE_API* api = ServiceApi();
        return api ? CheckServiceNameNt(api, serviceName) : 0;
    }
    case WINLINE_9X:
    case WINLINE_ME:
        return CheckServiceName9x(serviceName);
    default:
        return 0;
    }
}

int __stdcall FindLegacyPlayers(unsigned short* rowIndex, char* displayName) {
    if (!rowIndex || !displayName)
        return 0;
    for (int index = 0; index < LEGACY_PLAYER_ROWS; ++index) {
        const LEGACY_PLAYER_ROW* row = GetLegacyPlayer(index);
        if (!row)
            continue;
        std::string path;
        if (!JoinKey(path, {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "Uninstall", row->UninstallGuid}))
            continue;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        std::string name = ReadText(key, "DisplayName", 128);
        RegCloseKey(key);
        if (name.empty())
            continue;
        if (const char* longName = LongDisplayName(name.c_str()))
            name = longName;
        if (name.size() >= DEVSWEEP_DISPLAY_NAME_SIZE)
            name.resize(DEVSWEEP_DISPLAY_NAME_SIZE - 1);
        Trace("Earlier player %d found: %s\n", index, name.c_str());
        *rowIndex = static_cast<unsigned short>(index);
        memcpy(displayName, name.c_str(), name.size() + 1);
        return 1;
    }
    Trace("No earlier player found under %s\n", UNINSTALL_KEY);
    return 0;
}

int __stdcall InstallFilter(const char* serviceName, const char* driverPath) {
    Trace("\nQvfilter.sys Simple Installation Aid\n");
    if (!IsServiceName(serviceName) || !driverPath || !*driverPath) {
        Trace("Qvfilter could not be installed.\n");
        TraceSystemText(ERROR_INVALID_NAME);
        return ERROR_INVALID_NAME;
    }
    const SERVICE_API* api = ServiceApi();
    if (!api) {
        Trace("The Service Control Manager could not be opened.\n");
        TraceSystemText(ERROR_CALL_NOT_IMPLEMENTED);
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    ServiceHandle manager(api, api->OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.handle) {
        DWORD error = GetLastError();
        Trace("The Service Control Manager could not be opened.\n");
        TraceSystemText(error);
        return static_cast<int>(error);
    }
    bool created = true;
    ServiceHandle service(api, api->CreateService(manager.handle, serviceName, serviceName, SERVICE_ALL_ACCESS,
                                                  SERVICE_FILE_SYSTEM_DRIVER, SERVICE_BOOT_START, SERVICE_ERROR_NORMAL,
                                                  driverPath, "filter", nullptr, nullptr, nullptr, nullptr));
    if (!service.handle) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_EXISTS) {
            created = false;
            service.handle = api->OpenService(manager.handle, serviceName, SERVICE_ALL_ACCESS);
            error = service.handle ? 0 : GetLastError();
        }
        if (!service.handle) {
            Trace("Qvfilter could not be installed.\n");
            TraceSystemText(error);
            return static_cast<int>(error);
        }
    }
    // A failed step takes back only what this call made: a service that was
    // there before stays as it was found.
    auto fail = [&](DWORD error) {
        if (created && api->DeleteService(service.handle))
            Trace("Service %s deleted again\n", serviceName);
        return static_cast<int>(error);
    };

    std::string keyPath;
    if (!JoinKey(keyPath, {"SYSTEM", "CurrentControlSet", "Services", serviceName}))
        return fail(ERROR_INVALID_NAME);
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS) {
        Trace("Key could not be opened for driver.\n");
        return fail(static_cast<DWORD>(rc));
    }
    rc = RegDeleteValueA(key, "ImagePath");
    RegCloseKey(key);
    // Already without an ImagePath (installed before) is what this step wants.
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        Trace("Could not delete ImagePath key\n");
        return fail(static_cast<DWORD>(rc));
    }

    if (!api->StartService(service.handle, 0, nullptr)) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_ALREADY_RUNNING) {
            Trace("Qvfilter could not be started.\n");
            TraceSystemText(error);
            return fail(error);
        }
        Trace("Qvfilter is already running.\n");
    }
    Trace("Driver successfully installed.\n\n");
    Trace("For the driver to take effect, the system must now be restarted.\n");
    Trace("Please restart the system after closing all applications and saving all data\n");
    return 0;
}

int __stdcall RemoveFilter(const char* serviceName, const char* /*driverPath*/) {
    if (!IsServiceName(serviceName)) {
        Trace("Qvfilter could not be installed.\n");
        TraceSystemText(ERROR_INVALID_NAME);
        return ERROR_INVALID_NAME;
    }
    const SERVICE_API* api = ServiceApi();
    if (!api) {
        Trace("The Service Control Manager could not be opened.\n");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    ServiceHandle manager(api, api->OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.handle) {
        DWORD error = GetLastError();
        Trace("The Service Control Manager could not be opened.\n");
        TraceSystemText(error);
        return static_cast<int>(error);
    }
    ServiceHandle service(api, api->OpenService(manager.handle, serviceName, SERVICE_ALL_ACCESS));
    if (!service.handle) {
        DWORD error = GetLastError();
        Trace("Qvfilter could not be installed.\n");
        TraceSystemText(error);
        return static_cast<int>(error);
    }
    if (!api->DeleteService(service.handle)) {
        DWORD error = GetLastError();
        Trace("Qvfilter could not be removed.\n");
        TraceSystemText(error);
        return static_cast<int>(error);
    }
    Trace("Qvfilter removed.\n");
    return 0;
}

}  // extern "C"
