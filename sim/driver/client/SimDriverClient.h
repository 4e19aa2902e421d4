// Test-side handle on the stand-in player driver: makes sure the driver of
// this build runs in the prefix, and sets the simulated player up through the
// driver's private control device.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "vilosim/SimProtocol.h"

class CSimDriverClient {
public:
    CSimDriverClient() = default;
    ~CSimDriverClient();
    CSimDriverClient(const CSimDriverClient&) = delete;
    CSimDriverClient& operator=(const CSimDriverClient&) = delete;

    // Starts the service when needed (first replacing an installed driver
    // file that differs from this build's) and opens the control device.
    bool Connect();
    bool Reset();
    bool AddUnit(DWORD kind, DWORD index);
    bool RemoveUnit(DWORD kind, DWORD index);
    bool SetConfig(const vilosim::SimConfig& config);
    bool GetConfig(vilosim::SimConfig* config);
    bool GetStats(vilosim::SimStats* stats);
    bool SetState(const vilosim::UserData& record);

    // The player's volume: plugs it in with the image at a Windows path
    // (Z:\... for a Linux file), or pulls it out (empty path).
    bool SetImage(const std::string& windowsPath);
    bool GetVolume(vilosim::SimVolumeState* state);
    // The SCSI target behind the volume.
    bool SetScsiFaults(const vilosim::SimScsiFaults& faults);
    bool GetScsiLog(std::vector<vilosim::SimScsiRecord>* log);
    bool ClearScsiLog();
    bool GetLayout(std::vector<unsigned char>* bytes);
    // The recovery-mode device.
    bool SetRecovery(const vilosim::SimRecoveryConfig& config);
    bool GetRecovery(vilosim::SimRecoveryState* state, std::vector<unsigned char>* received);
    // The flash memory and the card slot: an image file at a Windows path
    // with its geometry, or none (empty path).
    bool SetFlash(const std::string& windowsPath, const vilosim::SimMediaImage& image);
    bool SetCard(const std::string& windowsPath, const vilosim::SimMediaImage& image);
    bool GetMediaLog(std::vector<vilosim::SimMediaRecord>* log);
    const char* LastError() const { return m_error; }

private:
    bool Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned = nullptr);
    bool RefreshInstalledDriver();
    bool StartService();

    HANDLE m_control = INVALID_HANDLE_VALUE;
    const char* m_error = "";
};
