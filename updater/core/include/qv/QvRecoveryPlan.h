// How an image is cut into the recovery device's 4096-byte writes.
#pragma once
#include <cstdint>

constexpr uint32_t QV_RECOVERY_BLOCK = 4096;

struct QvRecoveryPlan {
    uint64_t blocks = 0;     // number of writes
    uint32_t lastLength = 0; // bytes of the last write
};

// -13 for an empty image: it would be "a write of nothing", and there is no
// never come back.
int QvPlanRecovery(uint64_t imageSize, QvRecoveryPlan& plan);
