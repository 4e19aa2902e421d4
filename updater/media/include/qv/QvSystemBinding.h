// The Windows binding of the device side: the transport for the running
// Windows version, CharToOemW, and the recovery-mode device, all making
// their device calls through the transport's device seam.
#pragma once
#include "qv/QvDeviceIo.h"
#include "qv/QvRecoveryDev.h"
#include "qv/QvUpdater.h"
#include <memory>

class CQvSystemBinding : public CQvDeviceBinding {
public:
    // io: the device seam; null for the real Windows calls.
    explicit CQvSystemBinding(CQvDeviceIo* io = nullptr) : m_io(io) {}
    int CreateTransport(CQvTransportOwner* owner, std::unique_ptr<CQvScsiTransport>& transport) override;
    std::string ToOem(const std::u16string& text) override;
    int OpenRecoveryDevice() override;
    int StreamRecovery(CQvProgress* progress, std::unique_ptr<CQvImageSource> component) override;
    void ReleaseRecovery() override { m_recovery.reset(); }

private:
    CQvDeviceIo* m_io;
    std::unique_ptr<CQvRecoveryDev> m_recovery;
};
