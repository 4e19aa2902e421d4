#include "SimDriverClient.h"

#include <string.h>

#include <string>
#include <vector>

using namespace vilosim;

namespace {

// This build's driver, as the prefix sees it (empty where none is built).
const char BUILT_DRIVER[] = VILOSIM_BUILT_DRIVER;

std::string WindowsPathOf(const std::string& linuxPath)
{
    std::string path = "Z:" + linuxPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Whether this is a 32-bit program on a 64-bit system, whose system folder
// is the 32-bit one (syswow64) rather than the one holding the drivers.
bool RunsUnderWow64()
{
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

std::string InstalledDriverPath()
{
    std::vector<char> dir(MAX_PATH + 1);
    UINT length = RunsUnderWow64() ? GetWindowsDirectoryA(dir.data(), static_cast<UINT>(dir.size()))
                                   : GetSystemDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    if (length == 0 || length >= dir.size())
        return std::string();
    // The 64-bit system folder, as a 32-bit program names it.
    std::string system = std::string(dir.data(), length) + (RunsUnderWow64() ? "\\Sysnative" : "");
    return system + "\\drivers\\vilosim.sys";
}

bool ReadWhole(const std::string& path, std::vector<char>* bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bytes->resize(size);
    DWORD got = 0;
    bool ok = size == INVALID_FILE_SIZE ? false : (size == 0 || ReadFile(file, bytes->data(), size, &got, nullptr));
    CloseHandle(file);
    return ok && got == size;
}

struct ServiceHandles {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    ~ServiceHandles()
    {
        if (service)
            CloseServiceHandle(service);
        if (manager)
            CloseServiceHandle(manager);
    }
    bool Open()
    {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (manager)
            service = OpenServiceA(manager, VILOSIM_SERVICE_NAME, SERVICE_ALL_ACCESS);
        return service != nullptr;
    }
    bool WaitState(DWORD wanted, DWORD milliseconds)
    {
        for (DWORD waited = 0; waited <= milliseconds; waited += 100) {
            SERVICE_STATUS status;
            if (QueryServiceStatus(service, &status) && status.dwCurrentState == wanted)
                return true;
            Sleep(100);
        }
        return false;
    }
};

// Several test programs may start at once; one of them installs.
struct InstallMutex {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "ViloLarkSimInstall");
    InstallMutex()
    {
        if (mutex)
            WaitForSingleObject(mutex, 60000);
    }
    ~InstallMutex()
    {
        if (mutex) {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
        }
    }
};

} // namespace

CSimDriverClient::~CSimDriverClient()
{
    if (m_control != INVALID_HANDLE_VALUE)
        CloseHandle(m_control);
}

namespace {

// A prefix made before the driver existed has no service yet: install it as
// install-driver.sh does.
bool InstallService(const std::string& driverPath)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return false;
    SC_HANDLE service = CreateServiceA(manager, VILOSIM_SERVICE_NAME, VILOSIM_SERVICE_NAME, SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       driverPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    bool made = service != nullptr || GetLastError() == ERROR_SERVICE_EXISTS;
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (!made)
        return false;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\" VILOSIM_SERVICE_NAME "\\Parameters", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    DWORD unitIndex = 0;
    RegSetValueExA(key, "UnitIndex", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&unitIndex), sizeof unitIndex);
    RegSetValueExA(key, "VolumeLetter", 0, REG_SZ, reinterpret_cast<const BYTE*>("O"), 2);
    RegCloseKey(key);
    return true;
}

} // namespace

bool CSimDriverClient::RefreshInstalledDriver()
{
    if (BUILT_DRIVER[0] == 0)
        return true;
    std::vector<char> built, installed;
    if (!ReadWhole(WindowsPathOf(BUILT_DRIVER), &built)) {
        m_error = "this build's driver file cannot be read";
        return false;
    }
    std::string target = InstalledDriverPath();
    if (ReadWhole(target, &installed) && installed == built)
        return true;
    ServiceHandles handles;
    if (!handles.Open()) {
        if (!CopyFileA(WindowsPathOf(BUILT_DRIVER).c_str(), target.c_str(), FALSE) || !InstallService(target)) {
            m_error = "the driver service cannot be installed in this prefix";
            return false;
        }
        return true;
    }
    SERVICE_STATUS status;
    if (ControlService(handles.service, SERVICE_CONTROL_STOP, &status))
        handles.WaitState(SERVICE_STOPPED, 10000);
    if (!CopyFileA(WindowsPathOf(BUILT_DRIVER).c_str(), target.c_str(), FALSE)) {
        m_error = "the driver file cannot be replaced";
        return false;
    }
    return true;
}

bool CSimDriverClient::StartService()
{
    ServiceHandles handles;
    if (!handles.Open()) {
        m_error = "the driver service is not installed in this prefix";
        return false;
    }
    if (!::StartServiceA(handles.service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        m_error = "the driver service does not start";
        return false;
    }
    return handles.WaitState(SERVICE_RUNNING, 10000);
}

bool CSimDriverClient::Connect()
{
    if (m_control != INVALID_HANDLE_VALUE)
        return true;
    InstallMutex installing;
    if (!RefreshInstalledDriver())
        return false;
    const char* name = "\\\\.\\" VILOSIM_CONTROL_NAME;
    for (int attempt = 0; attempt < 100; attempt++) {
        m_control = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        if (m_control != INVALID_HANDLE_VALUE)
            return true;
        // An auto-start driver may still be on its way up in a fresh server.
        if (attempt % 20 == 0 && !StartService())
            return false;
        Sleep(100);
    }
    m_error = "the driver's control device does not open";
    return false;
}

bool CSimDriverClient::Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                               DWORD* returned)
{
    DWORD got = 0;
    if (!DeviceIoControl(m_control, code, const_cast<void*>(in), inLength, out, outLength, &got, nullptr)) {
        m_error = "a control request to the driver failed";
        return false;
    }
    if (returned)
        *returned = got;
    return true;
}

bool CSimDriverClient::Reset()
{
    return Control(IOCTL_SIM_RESET, nullptr, 0, nullptr, 0);
}

bool CSimDriverClient::AddUnit(DWORD kind, DWORD index)
{
    SimUnit unit{kind, index};
    return Control(IOCTL_SIM_ADD_UNIT, &unit, sizeof unit, nullptr, 0);
}

bool CSimDriverClient::RemoveUnit(DWORD kind, DWORD index)
{
    SimUnit unit{kind, index};
    return Control(IOCTL_SIM_REMOVE_UNIT, &unit, sizeof unit, nullptr, 0);
}

bool CSimDriverClient::SetConfig(const SimConfig& config)
{
    return Control(IOCTL_SIM_SET_CONFIG, &config, sizeof config, nullptr, 0);
}

bool CSimDriverClient::GetConfig(SimConfig* config)
{
    return Control(IOCTL_SIM_GET_CONFIG, nullptr, 0, config, sizeof *config);
}

bool CSimDriverClient::GetStats(SimStats* stats)
{
    return Control(IOCTL_SIM_GET_STATS, nullptr, 0, stats, sizeof *stats);
}

bool CSimDriverClient::SetState(const UserData& record)
{
    return Control(IOCTL_SIM_SET_STATE, &record, sizeof record, nullptr, 0);
}

bool CSimDriverClient::SetImage(const std::string& windowsPath)
{
    std::wstring path;
    int chars = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), static_cast<int>(windowsPath.size()), nullptr, 0);
    if (chars > 0) {
        path.resize(static_cast<size_t>(chars));
        MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), static_cast<int>(windowsPath.size()), &path[0], chars);
    }
    return Control(IOCTL_SIM_SET_IMAGE, path.c_str(), static_cast<DWORD>(path.size() * sizeof(wchar_t)), nullptr, 0);
}

namespace {

std::vector<unsigned char> MediaRequest(const std::string& windowsPath, const SimMediaImage& image)
{
    std::vector<unsigned char> request(reinterpret_cast<const unsigned char*>(&image),
                                       reinterpret_cast<const unsigned char*>(&image) + sizeof image);
    int chars = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), static_cast<int>(windowsPath.size()), nullptr, 0);
    if (chars > 0) {
        std::wstring path(static_cast<size_t>(chars), L'\0');
        MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), static_cast<int>(windowsPath.size()), &path[0], chars);
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(path.c_str());
        request.insert(request.end(), bytes, bytes + path.size() * sizeof(wchar_t));
    }
    return request;
}

} // namespace

bool CSimDriverClient::SetFlash(const std::string& windowsPath, const SimMediaImage& image)
{
    std::vector<unsigned char> request = MediaRequest(windowsPath, image);
    return Control(IOCTL_SIM_SET_FLASH, request.data(), static_cast<DWORD>(request.size()), nullptr, 0);
}

bool CSimDriverClient::SetCard(const std::string& windowsPath, const SimMediaImage& image)
{
    std::vector<unsigned char> request = MediaRequest(windowsPath, image);
    return Control(IOCTL_SIM_SET_CARD, request.data(), static_cast<DWORD>(request.size()), nullptr, 0);
}

bool CSimDriverClient::GetMediaLog(std::vector<SimMediaRecord>* log)
{
    log->assign(SIM_MEDIA_LOG_CAPACITY, SimMediaRecord{});
    DWORD returned = 0;
    if (!Control(IOCTL_SIM_GET_MEDIA_LOG, nullptr, 0, log->data(),
                 static_cast<DWORD>(log->size() * sizeof(SimMediaRecord)), &returned))
        return false;
    log->resize(returned / sizeof(SimMediaRecord));
    return true;
}

bool CSimDriverClient::GetVolume(SimVolumeState* state)
{
    return Control(IOCTL_SIM_GET_VOLUME, nullptr, 0, state, sizeof *state);
}

bool CSimDriverClient::SetScsiFaults(const SimScsiFaults& faults)
{
    return Control(IOCTL_SIM_SET_SCSI_FAULTS, &faults, sizeof faults, nullptr, 0);
}

bool CSimDriverClient::GetScsiLog(std::vector<SimScsiRecord>* log)
{
    log->assign(4096, SimScsiRecord{});
    DWORD returned = 0;
    if (!Control(IOCTL_SIM_GET_SCSI_LOG, nullptr, 0, log->data(), static_cast<DWORD>(log->size() * sizeof(SimScsiRecord)),
                 &returned))
        return false;
    log->resize(returned / sizeof(SimScsiRecord));
    return true;
}

bool CSimDriverClient::ClearScsiLog()
{
    return Control(IOCTL_SIM_CLEAR_SCSI_LOG, nullptr, 0, nullptr, 0);
}

bool CSimDriverClient::GetLayout(std::vector<unsigned char>* bytes)
{
    bytes->assign(4096, 0);
    DWORD returned = 0;
    if (!Control(IOCTL_SIM_GET_LAYOUT, nullptr, 0, bytes->data(), static_cast<DWORD>(bytes->size()), &returned))
        return false;
    bytes->resize(returned);
    return true;
}

bool CSimDriverClient::SetRecovery(const SimRecoveryConfig& config)
{
    return Control(IOCTL_SIM_SET_RECOVERY, &config, sizeof config, nullptr, 0);
}

bool CSimDriverClient::GetRecovery(SimRecoveryState* state, std::vector<unsigned char>* received)
{
    std::vector<unsigned char> out(sizeof(SimRecoveryState) + 1024 * 1024);
    DWORD returned = 0;
    if (!Control(IOCTL_SIM_GET_RECOVERY, nullptr, 0, out.data(), static_cast<DWORD>(out.size()), &returned) ||
        returned < sizeof(SimRecoveryState))
        return false;
    memcpy(state, out.data(), sizeof *state);
    if (received)
        received->assign(out.begin() + sizeof(SimRecoveryState), out.begin() + returned);
    return true;
}
