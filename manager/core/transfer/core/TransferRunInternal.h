// What the run's two source files share.
#pragma once

#include "TransferRun.h"

// Holds the status lock for a scope.
class CTransferRun::CHold {
public:
    explicit CHold(CTransferLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CHold() { m_lock.Unlock(); }
    CHold(const CHold&) = delete;
    CHold& operator=(const CHold&) = delete;

private:
    CTransferLock& m_lock;
};
