// The disk and the code pages the directory object works through. The DLL
// binds them to the Windows volume and code pages when it loads; tests bind
// an image file and fixed tables.
#pragma once

#include "code_page.h"
#include "sector_device.h"

ISectorDevice* SysCtrlDevice();
void SetSysCtrlDevice(ISectorDevice* device);
const ICodePage& SysCtrlCodePage();
void SetSysCtrlCodePage(const ICodePage* codePage);
