// A DLL built only to show that the import check fails: it imports what no
// Windows of the 95/98/ME line exports (GetTickCount64 is Vista's,
// GetFileSizeEx the NT line's), beside an ordinary call the check accepts.
#include <windows.h>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);

extern "C" __declspec(dllexport) unsigned long long ProbeTicks(HANDLE file)
{
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    CloseHandle(file);
    return GetTickCount64() + static_cast<unsigned long long>(size.QuadPart);
}
