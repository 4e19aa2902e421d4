// The target's lock: std::mutex where the runtime has one (the native build),
// a critical section in the Windows builds, whose runtime has none.
#pragma once

#ifdef _WIN32
#include "Sync.h"
using SimMutex = mb::CCriticalSection;
using SimGuard = mb::CSingleLock;
#else
#include <mutex>
using SimMutex = std::mutex;
using SimGuard = std::lock_guard<std::mutex>;
#endif
