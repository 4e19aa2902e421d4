// QV_SysCtrl.dll: one raw sector access object for the whole process, made
// when the library loads and gone when it unloads, and the one lock that
// serialises every directory object's operations on it.
#include <windows.h>

#include <new>

#include "Sync.h"
#include "sector_io.h"
#include "sysctrl_seams.h"
#include "win_code_page.h"

namespace {
SectorIo* TheSectorIo = nullptr;
CWinCodePage TheCodePage;

class CLibraryLock : public ISysCtrlLock {
public:
    void Lock() override { m_cs.Lock(); }
    void Unlock() override { m_cs.Unlock(); }

private:
    mb::CCriticalSection m_cs;
};
CLibraryLock TheLock;
}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        TheSectorIo = new (std::nothrow) SectorIo();
        if (!TheSectorIo) return FALSE;
        SetSysCtrlDevice(TheSectorIo);
        SetSysCtrlCodePage(&TheCodePage);
        SetSysCtrlLock(&TheLock);
    } else if (reason == DLL_PROCESS_DETACH) {
        SetSysCtrlLock(nullptr);
        SetSysCtrlDevice(nullptr);
        SetSysCtrlCodePage(nullptr);
        delete TheSectorIo;
        TheSectorIo = nullptr;
    }
    return TRUE;
}
