#include "sysctrl_seams.h"

namespace {
ISectorDevice* CurrentDevice = nullptr;
const ICodePage* CurrentCodePage = nullptr;
ISysCtrlLock* CurrentLock = nullptr;
}  // namespace

ISectorDevice* SysCtrlDevice() { return CurrentDevice; }
void SetSysCtrlDevice(ISectorDevice* device) { CurrentDevice = device; }

const ICodePage& SysCtrlCodePage()
{
    static const CTableCodePage fallback;
    return CurrentCodePage ? *CurrentCodePage : fallback;
}
void SetSysCtrlCodePage(const ICodePage* codePage) { CurrentCodePage = codePage; }

void SetSysCtrlLock(ISysCtrlLock* lock) { CurrentLock = lock; }

CSysCtrlHold::CSysCtrlHold() : m_lock(CurrentLock)
{
    if (m_lock) m_lock->Lock();
}

CSysCtrlHold::~CSysCtrlHold()
{
    if (m_lock) m_lock->Unlock();
}
