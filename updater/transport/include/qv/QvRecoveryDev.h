// The recovery-mode device: a player whose firmware cannot start takes its
// mass-storage firmware through "\\.\QvMp3RecDevice%d" in 4096-byte writes.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvDeviceIo.h"
#include "qv/QvImageSource.h"
#include "qv/QvProgress.h"
#include <memory>
#include <string>

class CQvRecoveryDev : public CQvBase {
public:
    explicit CQvRecoveryDev(CQvDeviceIo* io = nullptr, std::string name = "CQvRecoveryDev");
    ~CQvRecoveryDev() override;

    // Finds the first of the devices 0..99 that opens (-14 when none does)
    // and makes the completion event (-15).
    int Open();
    // The component to stream: the mass-storage firmware.
    void AttachComponent(std::unique_ptr<CQvImageSource> component) { m_component = std::move(component); }
    int StreamComponent(CQvProgress* progress);
    int WriteBlock(const uint8_t* buffer, uint32_t length);
    void Release();

    const std::wstring& DevicePath() const { return m_path; }

private:
    static void CALLBACK Completion(DWORD error, DWORD bytes, OVERLAPPED* overlapped);

    // The OVERLAPPED leads, so the completion routine finds the flag beside it.
    struct Io {
        OVERLAPPED overlapped;
        volatile LONG completed;
    };

    CQvDeviceIo& m_io;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::unique_ptr<CQvImageSource> m_component;
    Io m_write = {};
    std::wstring m_path;
};
