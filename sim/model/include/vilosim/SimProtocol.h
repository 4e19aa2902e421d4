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
    // The player's volume and its SCSI side.
    IOCTL_SIM_SET_IMAGE = SimControlCode(0xA07),       // UTF-16 path in (NT or DOS form); none: unplugged
    IOCTL_SIM_SET_SCSI_FAULTS = SimControlCode(0xA08), // SimScsiFaults in
    IOCTL_SIM_GET_SCSI_LOG = SimControlCode(0xA09),    // SimScsiRecord[] out, oldest first
    IOCTL_SIM_CLEAR_SCSI_LOG = SimControlCode(0xA0A),  // no data
    IOCTL_SIM_GET_LAYOUT = SimControlCode(0xA0B),      // the last drive layout request's bytes out
    IOCTL_SIM_SET_RECOVERY = SimControlCode(0xA0C),    // SimRecoveryConfig in: a fresh recovery device
    IOCTL_SIM_GET_RECOVERY = SimControlCode(0xA0D),    // SimRecoveryState out, then the bytes received
    IOCTL_SIM_GET_VOLUME = SimControlCode(0xA0E),      // SimVolumeState out
    // The player's flash memory and its card slot (command groups 1 and 2).
    IOCTL_SIM_SET_FLASH = SimControlCode(0xA0F),     // SimMediaImage, then a UTF-16 path; no path: no flash
    IOCTL_SIM_SET_CARD = SimControlCode(0xA10),      // SimMediaImage, then a UTF-16 path; no path: slot empty
    IOCTL_SIM_GET_MEDIA_LOG = SimControlCode(0xA11), // SimMediaRecord[] out, oldest first
};

// A media image file: flash pages of 528 bytes (512 data, 16 spare) block
// after block, or a card's 512-byte blocks.
struct SimMediaImage {
    uint32_t PagesPerBlock; // flash
    uint32_t Blocks;        // flash blocks, or card blocks
    uint32_t Maker;         // flash identity answer
    uint32_t Device;
    uint32_t BadBlock;      // flash: block number + 1 that fails its erase and reads bad; 0 none
    uint32_t EraseGroup;    // card: erase group in blocks
};

// One media command the player saw.
struct SimMediaRecord {
    uint8_t Group;
    uint8_t Command;
    uint8_t Flag;
    uint8_t Reserved;
    uint32_t Address; // the packet's address field
    uint32_t Count;   // pages, blocks or bytes, as the command counts
};
constexpr uint32_t SIM_MEDIA_LOG_CAPACITY = 4096;

// Faults of the player's SCSI target (fields as the target's own).
struct SimScsiFaults {
    uint32_t CheckCondition;      // nonzero: matching commands get CHECK CONDITION
    uint32_t CheckOpcode;         // 0: every command
    uint32_t CheckSubcommand;     // 0: every subcommand
    uint32_t SenseKey;
    uint32_t StatusCode;          // sense bytes 12..13
    uint32_t UnreadableTable;
    uint32_t CorruptReadBack;
    int32_t BusyLocks;            // failed locks before one works (-1: never)
    uint32_t UndersizedAllocation;
    uint32_t ZeroSectorSize;
    uint32_t ZeroBlockLength;
    uint32_t TableCount;          // nonzero replaces the table's count
    uint32_t NotPlayer;           // media information type 9 answers 0
};

// One line of the target's recorder.
enum : uint32_t {
    SIM_RECORD_COMMAND,
    SIM_RECORD_LOCK,
    SIM_RECORD_UNLOCK,
    SIM_RECORD_DISMOUNT,
    SIM_RECORD_LAYOUT,
    SIM_RECORD_MEDIA_REMOVAL, // Count: 1 removal prevented, 0 allowed
    SIM_RECORD_EJECT
};
struct SimScsiRecord {
    uint32_t Kind;
    uint8_t Opcode;
    uint8_t Subcommand;
    uint8_t Drive;
    uint8_t Reserved;
    uint32_t Count;
    uint32_t Reserved2;
    uint64_t Lba;
};
static_assert(sizeof(SimScsiRecord) == 24, "records are 24 bytes at both widths");

constexpr uint32_t SIM_SENSE_BYTES = 18;

// The recovery-mode device that takes the mass-storage firmware. While one is
// set, writes to the recovery units go to it instead of the data channel.
struct SimRecoveryConfig {
    uint32_t ExpectedSize;     // bytes of the whole image; 0: no recovery device (data channel)
    uint32_t DelayMs;          // each write completes this late
    uint32_t ShortBy;          // each write reports this many bytes fewer
    uint32_t NeverComplete;    // writes stay pending until cancelled
    uint32_t VolumeAfterImage; // nonzero: the volume is unplugged until the whole image arrived
};
constexpr uint32_t SIM_RECOVERY_MAX_WRITES = 64;
struct SimRecoveryState {
    uint32_t Writes;           // writes seen
    uint32_t Received;         // bytes taken
    uint32_t PlayerBack;       // the whole image arrived
    uint32_t Completed;        // writes completed with their count
    uint32_t Cancelled;        // writes completed as cancelled
    uint32_t Lengths[SIM_RECOVERY_MAX_WRITES]; // lengths of the first writes
};

// The player's volume as the driver holds it.
enum : uint32_t { SIM_VOLUME_NO_MEDIA = 0, SIM_VOLUME_IMAGE = 1, SIM_VOLUME_UNPLUGGED = 2 };
struct SimVolumeState {
    uint32_t State;
    uint32_t Reserved;
    uint64_t ImageBytes;
    uint32_t Reads;            // sector reads and writes served
    uint32_t Writes;
};

#define VILOSIM_CONTROL_NAME "ViloLarkSim"
#define VILOSIM_CONTROL_NAME_W L"ViloLarkSim"
#define VILOSIM_SERVICE_NAME "ViloLarkSim"

} // namespace vilosim
