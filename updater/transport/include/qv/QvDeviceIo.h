// The device calls of the transports and the recovery device, behind one
// small interface: the system binding makes the Windows calls; a test
// binding carries them to the simulated player.
#pragma once
#include <windows.h>

class CQvDeviceIo {
public:
    virtual ~CQvDeviceIo() = default;
    // Each failing call leaves its reason in GetLastError, as Windows does.
    virtual HANDLE OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) = 0;
    virtual BOOL Control(HANDLE handle, DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                         DWORD* returned) = 0;
    virtual BOOL CloseFile(HANDLE handle) = 0;
    virtual BOOL WriteEx(HANDLE handle, const void* data, DWORD length, OVERLAPPED* overlapped,
                         LPOVERLAPPED_COMPLETION_ROUTINE done) = 0;
    virtual BOOL Cancel(HANDLE handle) = 0;
    virtual DWORD LogicalDrives() = 0;
    virtual UINT DriveType(const wchar_t* root) = 0;
    virtual void Pause(DWORD milliseconds) = 0;
};

// The binding to the real Windows calls.
CQvDeviceIo& QvSystemDeviceIo();
