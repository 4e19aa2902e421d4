#include "qv/QvDeviceIo.h"

namespace {
class CQvSystemDeviceIo : public CQvDeviceIo {
public:
    HANDLE OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
    }
    BOOL Control(HANDLE handle, DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                 DWORD* returned) override
    {
        return DeviceIoControl(handle, code, in, inLength, out, outLength, returned, nullptr);
    }
    BOOL CloseFile(HANDLE handle) override { return CloseHandle(handle); }
    BOOL WriteEx(HANDLE handle, const void* data, DWORD length, OVERLAPPED* overlapped,
                 LPOVERLAPPED_COMPLETION_ROUTINE done) override
    {
        return WriteFileEx(handle, data, length, overlapped, done);
    }
    BOOL Cancel(HANDLE handle) override { return CancelIo(handle); }
    DWORD LogicalDrives() override { return GetLogicalDrives(); }
    UINT DriveType(const wchar_t* root) override { return GetDriveTypeW(root); }
    void Pause(DWORD milliseconds) override { Sleep(milliseconds); }
};
} // namespace

CQvDeviceIo& QvSystemDeviceIo()
{
    static CQvSystemDeviceIo io;
    return io;
}
