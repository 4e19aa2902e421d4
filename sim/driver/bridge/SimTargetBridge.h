// The driver's way to the player's SCSI target and recovery device. The
// target model is ordinary C++ (standard library, exceptions); the driver is
// built against the DDK headers without it. This plain interface joins the
// two: nothing crosses it but plain data, and no exception leaves it.
#pragma once

#include <stdint.h>

#include "vilosim/SimProtocol.h"

extern "C" {

// Makes the target (factory layout, no faults) and an idle recovery device.
bool SimBridgeStart();
void SimBridgeStop();
// A fresh target and recovery device; the attached image stays attached.
bool SimBridgeReset();

// The data volume's image, by its Windows path (empty: none).
bool SimBridgeAttachImage(const wchar_t* path, uint32_t chars);

// One CDB. Returns the SCSI status; *sense gets SIM_SENSE_BYTES bytes.
// False when the target could not run it at all (out of memory).
bool SimBridgeExecute(const uint8_t* cdb, uint32_t cdbLength, bool dataIn, uint8_t* data, uint32_t dataLength,
                      uint8_t* status, uint8_t* sense, uint32_t* transferred);
bool SimBridgeLock();
bool SimBridgeUnlock();
bool SimBridgeDismount();
void SimBridgeMediaRemoval(bool prevent);
bool SimBridgeEject();
void SimBridgeSetDriveLayout(const uint8_t* bytes, uint32_t length);

void SimBridgeSetFaults(const vilosim::SimScsiFaults* faults);
// Copies up to capacity records; returns how many the recorder holds.
uint32_t SimBridgeLog(vilosim::SimScsiRecord* out, uint32_t capacity);
void SimBridgeClearLog();
// Copies up to capacity bytes of the last layout request; returns its length.
uint32_t SimBridgeLayout(uint8_t* out, uint32_t capacity);

// A new recovery device with these behaviours.
void SimBridgeSetRecovery(const vilosim::SimRecoveryConfig* config);
// One write: returns the bytes the device reports; *playerBack tells whether
// the whole image has now arrived.
uint32_t SimBridgeRecoveryWrite(const uint8_t* data, uint32_t length, bool* playerBack);
// What the device saw; copies up to capacity received bytes after the state.
uint32_t SimBridgeRecoveryState(vilosim::SimRecoveryState* state, uint8_t* received, uint32_t capacity);

} // extern "C"
