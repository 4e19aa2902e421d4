// The kernel calls raw sector access makes, behind an interface so that tests
// can record them and answer where Wine has no such service (the vwin32 DOS
// services of the 95/98/ME line).
#pragma once

#include <windows.h>

class IWin32Calls {
public:
    virtual ~IWin32Calls() = default;
    virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
    virtual HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags) = 0;
    virtual BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                                 DWORD* returned) = 0;
    virtual DWORD SetFilePointer(HANDLE h, LONG low, LONG* high, DWORD method) = 0;
    virtual BOOL ReadFile(HANDLE h, void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) = 0;
    virtual BOOL WriteFile(HANDLE h, const void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) = 0;
    virtual BOOL CloseHandle(HANDLE h) = 0;
};

// The real calls.
IWin32Calls& SystemWin32Calls();
