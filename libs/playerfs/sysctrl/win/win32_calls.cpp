#include "win32_calls.h"

namespace {

class CSystemWin32Calls : public IWin32Calls {
public:
    BOOL GetVersionExA(OSVERSIONINFOA* info) override { return ::GetVersionExA(info); }
    HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        return ::CreateFileA(name, access, share, nullptr, disposition, flags, nullptr);
    }
    BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override
    {
        return ::DeviceIoControl(h, code, in, inSize, out, outSize, returned, nullptr);
    }
    DWORD SetFilePointer(HANDLE h, LONG low, LONG* high, DWORD method) override
    {
        return ::SetFilePointer(h, low, high, method);
    }
    BOOL ReadFile(HANDLE h, void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) override
    {
        return ::ReadFile(h, buffer, bytes, done, at);
    }
    BOOL WriteFile(HANDLE h, const void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* at) override
    {
        return ::WriteFile(h, buffer, bytes, done, at);
    }
    BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }
};

}  // namespace

IWin32Calls& SystemWin32Calls()
{
    static CSystemWin32Calls calls;
    return calls;
}
