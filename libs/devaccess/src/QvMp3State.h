// The library's per-process state and the helpers its files share.
#pragma once

#include <windows.h>

#include "QvMp3.h"

namespace qvmp3 {

struct LibraryState {
    HANDLE DeviceHandle = INVALID_HANDLE_VALUE;
    HANDLE IoEvent = nullptr;
    unsigned char* BounceBuffer = nullptr;
    // Created when the library loads and kept until it unloads, so that
    // threads opening and closing at once never meet a lock being remade.
    CRITICAL_SECTION LibraryLock;
    int OpenCount = 0;
    bool OpenRecovery = false;
    int OpenIndex = -1;   // the index the counted open reached
    int OpenedIndex = -1; // the index the direct layer opened last
    unsigned long ChipVersion = 0;
};

LibraryState& State();

struct LockHolder {
    LockHolder() { EnterCriticalSection(&State().LibraryLock); }
    ~LockHolder() { LeaveCriticalSection(&State().LibraryLock); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
};

// A device-group command and its answer: 1 on success.
int DeviceCommand(unsigned char command, unsigned char* answer, unsigned long length);

void InitialiseLocks();
void DeleteLocks();

} // namespace qvmp3
