// Progress sink of the long device steps, implemented by the dialogs.
#pragma once

class CQvProgress {
public:
    virtual ~CQvProgress() = default;
    virtual void Begin(int totalSteps) = 0;
    virtual void SetPhase(int phase, int steps) = 0;
    virtual void Step() = 0;
    // Phases 6, 17 and 33 are per drive: the drive number is added to them.
    void SetDrivePhase(int phase, int drive, int steps)
    {
        if (phase == 6 || phase == 17 || phase == 33)
            phase += drive;
        SetPhase(phase, steps);
    }
    bool Active() const { return m_active; }
    void SetActive(bool active) { m_active = active; }

private:
    bool m_active = false;
};
