// QV_SysCtrl.dll: one raw sector access object for the whole process, made
// when the library loads and gone (with any open volume handle) when it unloads.
#include <windows.h>

#include <new>

#include "sector_io.h"
#include "sysctrl_seams.h"
#include "win_code_page.h"

namespace {
SectorIo* TheSectorIo = nullptr;
CWinCodePage TheCodePage;
}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        TheSectorIo = new (std::nothrow) SectorIo();
        if (!TheSectorIo) return FALSE;
        SetSysCtrlDevice(TheSectorIo);
        SetSysCtrlCodePage(&TheCodePage);
    } else if (reason == DLL_PROCESS_DETACH) {
        SetSysCtrlDevice(nullptr);
        SetSysCtrlCodePage(nullptr);
        delete TheSectorIo;
        TheSectorIo = nullptr;
    }
    return TRUE;
}
