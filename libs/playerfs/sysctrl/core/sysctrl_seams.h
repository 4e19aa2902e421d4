// The disk, the code pages and the lock the directory object works through.
// The DLL binds them to the Windows volume, code pages and a critical section
// when it loads; tests bind an image file, fixed tables and their own lock.
#pragma once

#include "code_page.h"
#include "sector_device.h"

ISectorDevice* SysCtrlDevice();
void SetSysCtrlDevice(ISectorDevice* device);
const ICodePage& SysCtrlCodePage();
void SetSysCtrlCodePage(const ICodePage* codePage);

// One lock for the whole library: the sector device and its volume are the
// process's, and a caller may share one directory object between its window
// and its worker threads. Every public operation of CQV_SysCtrl holds it.
class ISysCtrlLock {
public:
    virtual ~ISysCtrlLock() = default;
    // Taken again by the thread holding it, as a critical section is.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

void SetSysCtrlLock(ISysCtrlLock* lock);

// Holds the library's lock (when one is bound) for a scope.
class CSysCtrlHold {
public:
    CSysCtrlHold();
    ~CSysCtrlHold();
    CSysCtrlHold(const CSysCtrlHold&) = delete;
    CSysCtrlHold& operator=(const CSysCtrlHold&) = delete;

private:
    ISysCtrlLock* m_lock;
};
