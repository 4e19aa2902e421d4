#include "qv/QvRecoveryPlan.h"
#include "qv/QvErrors.h"

int QvPlanRecovery(uint64_t imageSize, QvRecoveryPlan& plan)
{
    plan = QvRecoveryPlan();
    if (imageSize == 0)
        return QV_E_RECOVERY_WRITE;
    plan.blocks = imageSize / QV_RECOVERY_BLOCK + (imageSize % QV_RECOVERY_BLOCK ? 1 : 0);
    plan.lastLength = uint32_t(imageSize % QV_RECOVERY_BLOCK);
    if (plan.lastLength == 0)
        plan.lastLength = QV_RECOVERY_BLOCK;
    return 0;
}
