// Threads and locks over the Win32 calls, for code that runs on every Windows
// the suite supports. The shipped runtime has no std::thread or std::mutex
// (the win32 thread model), so workers and locks are these classes instead.
// Header-only, so the DLLs use it without linking the window layer.
#pragma once

#include <windows.h>
#include <process.h>

#include <functional>
#include <utility>

namespace mb {

// A critical section; not copyable.
class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { EnterCriticalSection(&m_cs); }
    void Unlock() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

// Holds a critical section for the life of a scope.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CSingleLock() { m_cs.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CCriticalSection& m_cs;
};

// A kernel event (manual or automatic reset), unnamed. CreateEventA: the W
// form is a stub on Windows 95/98/ME.
class CEvent {
public:
    explicit CEvent(bool manualReset = true, bool signalled = false)
        : m_handle(CreateEventA(nullptr, manualReset, signalled, nullptr)) {}
    ~CEvent() { if (m_handle) CloseHandle(m_handle); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    HANDLE Handle() const { return m_handle; }
    void Set() { SetEvent(m_handle); }
    void Reset() { ResetEvent(m_handle); }
    // True when signalled within the time (INFINITE waits for ever).
    bool Wait(DWORD ms = INFINITE) { return WaitForSingleObject(m_handle, ms) == WAIT_OBJECT_0; }

private:
    HANDLE m_handle;
};

// A joinable worker thread running a function object (std::thread's place).
// The destructor joins a thread that is still running.
class CWorkerThread {
public:
    CWorkerThread() = default;
    ~CWorkerThread() { Join(); }
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    bool Start(std::function<void()> body)
    {
        Join();
        auto* task = new std::function<void()>(std::move(body));
        unsigned id = 0;
        uintptr_t handle = _beginthreadex(nullptr, 0, &CWorkerThread::Run, task, 0, &id);
        if (handle == 0) {
            delete task;
            return false;
        }
        m_handle = reinterpret_cast<HANDLE>(handle);
        m_id = id;
        return true;
    }
    bool Joinable() const { return m_handle != nullptr; }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_handle; }
    // Waits for the thread to end and closes its handle.
    void Join()
    {
        if (!m_handle) return;
        WaitForSingleObject(m_handle, INFINITE);
        CloseHandle(m_handle);
        m_handle = nullptr;
        m_id = 0;
    }

private:
    static unsigned __stdcall Run(void* arg)
    {
        auto* task = static_cast<std::function<void()>*>(arg);
        (*task)();
        delete task;
        return 0;
    }

    HANDLE m_handle = nullptr;
    DWORD m_id = 0;
};

}  // namespace mb
