#include "drive_finder_calls.h"

namespace {

class CSystemCalls : public IDriveFinderCalls {
public:
    BOOL GetVersionExA(OSVERSIONINFOA* info) override { return ::GetVersionExA(info); }
    HDEVINFO SetupDiGetClassDevsA(const GUID* guid, DWORD flags) override
    {
        return ::SetupDiGetClassDevsA(guid, nullptr, nullptr, flags);
    }
    BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, SP_DEVINFO_DATA* data) override
    {
        return ::SetupDiEnumDeviceInfo(list, index, data);
    }
    BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO list, SP_DEVINFO_DATA* data, DWORD property, BYTE* buffer,
                                           DWORD size) override
    {
        return ::SetupDiGetDeviceRegistryPropertyA(list, data, property, nullptr, buffer, size, nullptr);
    }
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) override { return ::SetupDiDestroyDeviceInfoList(list); }
    HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition) override
    {
        return ::CreateFileA(name, access, share, nullptr, disposition, 0, nullptr);
    }
    BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override
    {
        return ::DeviceIoControl(h, code, in, inSize, out, outSize, returned, nullptr);
    }
    BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }
};

CSystemCalls SystemCalls;
IDriveFinderCalls* Current = nullptr;

}  // namespace

IDriveFinderCalls& DriveFinderCalls() { return Current ? *Current : SystemCalls; }
void SetDriveFinderCalls(IDriveFinderCalls* calls) { Current = calls; }
