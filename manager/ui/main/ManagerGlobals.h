// The manager's process-wide objects: they live once, from before the
// application starts until after the main dialog has ended.
#pragma once

#include <string>

#include "fileutil/FileUtil.h"
#include "QV_SysCtrl.h"

// The program folder (always ending with "\") and its "Images\" folder.
extern std::string g_programFolder;
extern std::string g_imagesFolder;
// The stateless file utility object.
extern CFileUtil g_fileUtil;
// The one directory and file-order object of the process: the window, the
// transfer engine and every operation share it.
CQV_SysCtrl& TheSysCtrl();
// 1 when the Korean resource library was loaded at start.
extern int g_koreanFlag;
// The banner's frame index (starts at 1) and tick counter (starts at 0).
extern short g_bannerFrame;
extern short g_bannerTicks;
// Set by the Cancel button while no transfer runs; read and cleared by the
// conversion and delete loops.
extern volatile int g_standaloneCancel;
