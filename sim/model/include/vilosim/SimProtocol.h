// Everything the simulated player shares with the programs that drive it: the
// player driver's control codes and packet layout, and the private control
// channel through which tests set the simulated player up. Plain data only, so
// that the kernel driver, the native model tests and the Windows tests agree.
#pragma once

#include <stdint.h>

namespace vilosim {

// Control codes of the player's driver (FILE_DEVICE_UNKNOWN, buffered).
enum : uint32_t {
    IOCTL_VILO_GET_STATUS = 0x222000,        // 16-byte record out
    IOCTL_VILO_SET_STATUS = 0x222004,        // 16-byte record in
    IOCTL_VILO_RECONFIGURE = 0x222008,       // no data
    IOCTL_VILO_GET_DEVICE_VERSION = 0x222018, // 4 bytes out
    IOCTL_VILO_GET_DEVICE_STATUS = 0x22201C, // 4 bytes out (or none)
    IOCTL_VILO_GET_CHIP_ID = 0x222020,       // 4 bytes out
};

// Command packets on the data channel: byte 0 command, byte 1 group,
// byte 2 direction flag, then the group's own fields.
enum : uint8_t {
    GROUP_DEVICE = 0,
    GROUP_FLASH = 1,
    GROUP_MMC = 2,
    GROUP_COUNT = 8,
};
enum : uint8_t {
    DEVICE_CMD_CHIP_INFO = 3,
    DEVICE_CMD_POWER_STATUS = 10,
    DEVICE_CMD_CHIP_ID = 12,
};
// Reads on the data channel come in whole units of this many bytes.
constexpr uint32_t READ_UNIT = 64;
// The chip information answer: a 24-bit tuple count, then (type, value) pairs.
constexpr uint32_t CHIP_INFO_ANSWER_BYTES = 64;
constexpr uint32_t CHIP_INFO_MAX_TUPLES = (CHIP_INFO_ANSWER_BYTES - 3) / 6;

struct UserData {
    uint32_t HostOpen;
    uint32_t FormatStatus;
    uint32_t Ready;
    uint32_t Reserved;
};
static_assert(sizeof(UserData) == 16, "the status record is four 32-bit words");

// Behaviour of the simulated player, set through the private channel or read
// from the service's Parameters key at load time (value names as the fields).
struct SimConfig {
    uint32_t DeviceStatusAnswer;   // value answered to IOCTL_VILO_GET_DEVICE_STATUS
    uint32_t DeviceStatusBytes;    // 4, or 0 for an empty answer
    uint32_t ReadyDropPolls;       // 0: Ready never drops; else polls that see it 0 after a data write
    uint32_t ReconfigureRefusals;  // refusals before reconfigure succeeds (0xFFFFFFFF: always)
    uint32_t HeldReads;            // the next this many reads stay pending until cancelled
    uint32_t DeviceVersion;        // answer of IOCTL_VILO_GET_DEVICE_VERSION
    uint32_t ChipIdAnswer;         // answer of IOCTL_VILO_GET_CHIP_ID
    uint32_t ChipIdFails;          // nonzero: IOCTL_VILO_GET_CHIP_ID fails
    uint32_t ChipRevision;         // chip information tuple of type 0
    uint32_t ChipVersion;          // chip information tuple of type 1
    uint32_t TupleCount;           // tuple count the player claims (may exceed what fits)
    uint32_t PowerStatus;          // 24-bit answer of the power status command
    uint32_t ChipIdWord;           // 16-bit word in bytes 1 and 2 of the chip id command's answer
    uint32_t FailCommands;         // nonzero: every command packet is refused
};

// What the simulated player has seen since the last reset.
struct SimStats {
    uint32_t Reads;
    uint32_t Writes;
    uint32_t LastReadLength;
    uint32_t LastWriteLength;
    uint32_t Commands;
    uint32_t Interleaved;      // a command overtook an unread answer, or a read found none
    uint32_t Reconfigures;
    uint32_t StatusPolls;
    uint32_t CancelledReads;
    uint32_t ClosedWithPendingRead;
    uint32_t Opens;            // opens of any unit
    uint32_t OpenedKind;       // name kind and index of the unit opened last
    uint32_t OpenedIndex;
};

// Which name a driver unit answers to.
enum : uint32_t {
    UNIT_NT_NAME = 0,       // "ViloLarkr%d"
    UNIT_9X_NAME = 1,       // "ViloLarku%d"
    UNIT_RECOVERY_NAME = 2, // "QvMp3RecDevice%d"
};
struct SimUnit {
    uint32_t Kind;
    uint32_t Index;
};

// The private control channel: \\.\ViloLarkSim (FILE_DEVICE_UNKNOWN, function
// codes from 0xA00, buffered, any access).
constexpr uint32_t SimControlCode(uint32_t function) { return (0x22u << 16) | (function << 2); }
enum : uint32_t {
    IOCTL_SIM_RESET = SimControlCode(0xA00),       // no data: default behaviour, no units
    IOCTL_SIM_ADD_UNIT = SimControlCode(0xA01),    // SimUnit in
    IOCTL_SIM_REMOVE_UNIT = SimControlCode(0xA02), // SimUnit in
    IOCTL_SIM_SET_CONFIG = SimControlCode(0xA03),  // SimConfig in
    IOCTL_SIM_GET_CONFIG = SimControlCode(0xA04),  // SimConfig out
    IOCTL_SIM_GET_STATS = SimControlCode(0xA05),   // SimStats out
    IOCTL_SIM_SET_STATE = SimControlCode(0xA06),   // UserData in
};

#define VILOSIM_CONTROL_NAME "ViloLarkSim"
#define VILOSIM_CONTROL_NAME_W L"ViloLarkSim"
#define VILOSIM_SERVICE_NAME "ViloLarkSim"

} // namespace vilosim
