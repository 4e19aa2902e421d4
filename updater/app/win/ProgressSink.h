// The progress sink of the updater's windows: the device side's steps and
// phases (CQvProgress) plus what the windows add around a run.
#pragma once
#include "qv/QvProgress.h"

class CQvProgressSink : public CQvProgress {
public:
    virtual void StepTotal() {}
    virtual void ResetDisplay() {}
    // Before a run: 0, or the error that keeps it from starting.
    virtual int BeginRun()
    {
        SetActive(true);
        return 0;
    }
    virtual void EndRun() { SetActive(false); }
    bool IsActive() const { return Active(); }
};
