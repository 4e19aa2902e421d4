// DevSweep's shared Windows helpers: debug lines, the Windows line, registry
// steps that check their key names, and the system libraries that not every
// Windows line has (loaded by name).
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "SweepRules.h"

namespace devsweep {

// One debug-output line, formatted (bounded by the text's own length).
void Trace(const char* format, ...);
// The system's text of an error code, as a debug line.
void TraceSystemText(DWORD error);

// The Windows line, read afresh each time.
WIN_LINE CurrentLine();
inline bool IsNt() { return CurrentLine() == WINLINE_NT; }
inline bool Is9x() { return CurrentLine() == WINLINE_9X; }
inline bool IsMe() { return CurrentLine() == WINLINE_ME; }
// 95/98 and ME alike keep device keys under HKLM\Enum, miniports as numbered
// SCSIAdapter keys and class keys under Services\Class.
inline bool HasNineLayout() { return Is9x() || IsMe(); }

// Registry steps. Parent paths are our own fixed texts; every part that
// comes from the registry, the table or a caller goes through JoinKey, so an
// empty or nested name never widens a deletion.
std::string ReadText(HKEY key, const char* value, DWORD maxBytes, bool* found = nullptr);
// Deletes parent\<subParts joined>; returns the Win32 result.
LONG DeleteKeyUnder(HKEY root, const std::string& parent, const std::vector<std::string>& subParts);
bool KeyExists(HKEY root, const std::string& path);
bool KeyHasSubkeys(HKEY root, const std::string& path);
// The folders that no file deletion may empty (Windows, system, Program Files).
std::vector<std::string> ProtectedFolders();
// Deletes the files of a folder (not its subfolders) and then the folder.
void DeleteFolderFiles(const std::string& folder);

// SetupAPI, loaded at first use.
struct SETUP_API {
    HDEVINFO(WINAPI* GetClassDevs)(const GUID*, PCSTR, HWND, DWORD);
    BOOL(WINAPI* EnumDeviceInfo)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
    BOOL(WINAPI* GetDeviceRegistryProperty)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD);
    BOOL(WINAPI* SetClassInstallParams)(HDEVINFO, PSP_DEVINFO_DATA, PSP_CLASSINSTALL_HEADER, DWORD);
    BOOL(WINAPI* CallClassInstaller)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA);
    BOOL(WINAPI* DestroyDeviceInfoList)(HDEVINFO);
    BOOL(WINAPI* CopyOEMInf)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
    HINF(WINAPI* OpenInfFile)(PCSTR, PCSTR, DWORD, PUINT);
    VOID(WINAPI* CloseInfFile)(HINF);
    BOOL(WINAPI* FindFirstLine)(HINF, PCSTR, PCSTR, PINFCONTEXT);
    BOOL(WINAPI* FindNextLine)(PINFCONTEXT, PINFCONTEXT);
    BOOL(WINAPI* GetLineText)(PINFCONTEXT, HINF, PCSTR, PCSTR, PSTR, DWORD, PDWORD);
};
// nullptr when setupapi.dll or one of its functions is missing.
const SETUP_API* SetupApi();

// The service control manager (NT line only).
struct SERVICE_API {
    SC_HANDLE(WINAPI* OpenSCManager)(LPCSTR, LPCSTR, DWORD);
    SC_HANDLE(WINAPI* OpenService)(SC_HANDLE, LPCSTR, DWORD);
    SC_HANDLE(WINAPI* CreateService)(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD,
                                     LPCSTR, LPCSTR, LPCSTR);
    BOOL(WINAPI* ControlService)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
    BOOL(WINAPI* StartService)(SC_HANDLE, DWORD, LPCSTR*);
    BOOL(WINAPI* DeleteService)(SC_HANDLE);
    BOOL(WINAPI* CloseServiceHandle)(SC_HANDLE);
    BOOL(WINAPI* GetServiceDisplayName)(SC_HANDLE, LPCSTR, LPSTR, LPDWORD);
};
// nullptr outside the NT line or when advapi32 lacks one of them.
const SERVICE_API* ServiceApi();

// Device removal (Devices.cpp).
int RemoveDeviceByHardwareId(const char* enumerator, const std::string& prefix, const char* classGuid);
int EnumAndDestroyKeys(HKEY root, const std::string& parent, const std::string& key, const char* classGuid);
void EnumAndDestroySCSIKeys(const std::string& prefix);

}  // namespace devsweep
