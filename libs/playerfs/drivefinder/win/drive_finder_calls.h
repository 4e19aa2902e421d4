// The system calls the drive finder makes, behind an interface so that tests
// can stand in for the Plug and Play list and the storage stack.
#pragma once

#include <windows.h>
#include <setupapi.h>

class IDriveFinderCalls {
public:
    virtual ~IDriveFinderCalls() = default;
    virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
    virtual HDEVINFO SetupDiGetClassDevsA(const GUID* guid, DWORD flags) = 0;
    virtual BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, SP_DEVINFO_DATA* data) = 0;
    virtual BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO list, SP_DEVINFO_DATA* data, DWORD property,
                                                   BYTE* buffer, DWORD size) = 0;
    virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) = 0;
    virtual HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition) = 0;
    virtual BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                                 DWORD* returned) = 0;
    virtual BOOL CloseHandle(HANDLE h) = 0;
};

// The calls GetQuorvaneDrives makes; the system's unless a test set others.
IDriveFinderCalls& DriveFinderCalls();
void SetDriveFinderCalls(IDriveFinderCalls* calls);
