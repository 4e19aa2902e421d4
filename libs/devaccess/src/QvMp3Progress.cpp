// Progress shared between a worker running a media operation and the thread
// that shows it. Callers take no lock for it; a small lock of its own keeps
// the additions of two threads from losing each other.
#include "QvMp3Core.h"
#include "QvMp3State.h"

namespace {

constexpr DWORD PHASE_ACK_TIMEOUT_MS = 2000;

struct Progress {
    Progress() { InitializeCriticalSection(&Lock); }
    ~Progress() { DeleteCriticalSection(&Lock); }
    CRITICAL_SECTION Lock;
    double Percent = 0.0;
    unsigned long Phase = 0;
};

Progress& Shared()
{
    static Progress progress;
    return progress;
}

struct Held {
    Held() { EnterCriticalSection(&Shared().Lock); }
    ~Held() { LeaveCriticalSection(&Shared().Lock); }
};

} // namespace

int QvMp3SetPhase(unsigned long phase, double percent, void* event)
{
    {
        Held held;
        Shared().Phase = phase;
        Shared().Percent = percent != 0.0 ? qvmp3::AddPercent(Shared().Percent, percent) : 0.0;
    }
    if (event) {
        // The display thread acknowledges the new phase by setting the event.
        ResetEvent(static_cast<HANDLE>(event));
        WaitForSingleObject(static_cast<HANDLE>(event), PHASE_ACK_TIMEOUT_MS);
    }
    return 1;
}

int QvMp3GetProgress(double* percent, unsigned long* phase)
{
    Held held;
    if (percent)
        *percent = Shared().Percent;
    if (phase)
        *phase = Shared().Phase;
    return 1;
}

int QvMp3SetProgress(double delta)
{
    Held held;
    Shared().Percent = qvmp3::AddPercent(Shared().Percent, delta);
    return 1;
}
