// The system calls of player detection, the settings-file backup and the
// volume release, behind one interface so that tests can stand in for what
// Wine does differently (it replaces read-only files on CopyFile, it has no
// vwin32 DOS services and answers volume locks itself) and record the order
// of the requests.
#pragma once

#include <windows.h>

class CPlayerCalls {
public:
    virtual ~CPlayerCalls() = default;
    // The drive finder's mask (bit n: letter 'A' + n).
    virtual unsigned long FindPlayerDrives();
    // Whether the drive is removable and is the player's (the finder's
    // identity on the NT line, the player's hardware id on 95/98/ME).
    virtual bool IsPlayerDrive(char letter, bool ntLine);

    virtual BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists)
    {
        return ::CopyFileA(from, to, failIfExists);
    }
    virtual DWORD GetFileAttributesA(const char* path) { return ::GetFileAttributesA(path); }
    virtual BOOL SetFileAttributesA(const char* path, DWORD attributes)
    {
        return ::SetFileAttributesA(path, attributes);
    }

    virtual UINT GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }
    virtual HANDLE CreateFileA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags)
    {
        return ::CreateFileA(name, access, share, nullptr, disposition, flags, nullptr);
    }
    virtual BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                                 DWORD* returned)
    {
        return ::DeviceIoControl(h, code, in, inSize, out, outSize, returned, nullptr);
    }
    virtual BOOL CloseHandle(HANDLE h) { return ::CloseHandle(h); }
    virtual void Sleep(DWORD ms) { ::Sleep(ms); }
};

// The real calls.
CPlayerCalls& SystemPlayerCalls();

// The volume release of the two Windows lines (free functions: they need no
// window). The eject flag also ejects the medium.
bool EjectVolume9x(CPlayerCalls& calls, char letter, bool eject);
bool EjectVolumeNT(CPlayerCalls& calls, char letter, bool eject);
