// How an image is cut into the recovery device's 4096-byte writes.
#pragma once
#include <cstdint>

constexpr uint32_t QV_RECOVERY_BLOCK = 4096;

struct QvRecoveryPlan {
    uint64_t blocks = 0;     // number of writes
    uint32_t lastLength = 0; // bytes of the last write
};

// An empty image is refused with -13 (a write of nothing): streamed, it would
// leave a player in recovery mode that never comes back as a drive.
int QvPlanRecovery(uint64_t imageSize, QvRecoveryPlan& plan);
