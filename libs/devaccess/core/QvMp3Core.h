// The parts of the device access library that need no Windows call: device
// names, the read rounding of the data channel, the device-group packets and
// their answers, and the progress arithmetic.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace qvmp3 {

// Driver names: "ViloLarkr" on the NT line and on Windows ME, "ViloLarku" on
// Windows 95 and 98; the recovery-mode device has its own base.
const char* NormalNameBase(bool ntLine, uint32_t major, uint32_t minor);
constexpr const char* RECOVERY_NAME_BASE = "QvMp3RecDevice";
std::string DevicePath(const char* base, int index);
constexpr int SCAN_LAST_INDEX = 99;

// Reads on the data channel come in whole 64-byte units; a shorter tail goes
// through the 4096-byte bounce buffer.
constexpr uint32_t READ_UNIT = 64;
constexpr uint32_t BOUNCE_BYTES = 4096;
inline bool NeedsBounce(uint32_t length) { return length % READ_UNIT != 0; }
// The length to ask the driver for; false when it would not fit the bounce buffer.
bool BounceLength(uint32_t length, uint32_t* rounded);

// Device-group command packets: {command, group 0, direction 0}.
enum : uint8_t { CMD_CHIP_INFO = 3, CMD_POWER_STATUS = 10, CMD_CHIP_ID = 12 };
constexpr size_t DEVICE_PACKET_BYTES = 3;
void DevicePacket(uint8_t command, uint8_t (&packet)[DEVICE_PACKET_BYTES]);
uint32_t Word24(const uint8_t* p);

constexpr uint32_t CHIP_INFO_BYTES = 64;
struct ChipInfo {
    bool HasRevision = false;
    uint32_t Revision = 0; // tuple type 0
    bool HasVersion = false;
    uint32_t Version = 0; // tuple type 1
};
// The tuple count comes from the device; only tuples inside the answer count.
ChipInfo ParseChipInfo(const uint8_t* answer, size_t length);

// The chip id the chip information and command 12 stand for.
constexpr unsigned long CHIP_3410 = 3410;
constexpr unsigned long CHIP_3400 = 3400;
constexpr uint32_t OLD_CHIP_REVISION_LIMIT = 256;
bool ChipIdAnswerIs3410(const uint8_t* answer, size_t length);

// Progress percent: deltas add up and stop at 100.
double AddPercent(double percent, double delta);

} // namespace qvmp3
