#include "ManagerGlobals.h"

// Process-wide objects, made before the application object runs and gone
// after the dialog has ended.
std::string g_programFolder;
std::string g_imagesFolder;
CFileUtil g_fileUtil;
int g_koreanFlag = 0;
short g_bannerFrame = 1;
short g_bannerTicks = 0;
volatile int g_standaloneCancel = 0;

CQV_SysCtrl& TheSysCtrl()
{
    static CQV_SysCtrl sysCtrl;
    return sysCtrl;
}

