#include "sysctrl_seams.h"

namespace {
ISectorDevice* CurrentDevice = nullptr;
const ICodePage* CurrentCodePage = nullptr;
}  // namespace

ISectorDevice* SysCtrlDevice() { return CurrentDevice; }
void SetSysCtrlDevice(ISectorDevice* device) { CurrentDevice = device; }

const ICodePage& SysCtrlCodePage()
{
    static const CTableCodePage fallback;
    return CurrentCodePage ? *CurrentCodePage : fallback;
}
void SetSysCtrlCodePage(const ICodePage* codePage) { CurrentCodePage = codePage; }
