// The simulated player as a SCSI target: its mass-storage identity, the
// standard commands on its data volume, the vendor media commands over a
// model of the controller's logical media, the volume controls, fault
// injection and a recorder that tests read back. Windows-free: the stand-in
// driver and the test bindings carry requests to it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SimLock.h"

// One line of the recorder.
struct SimRecord {
    enum Kind { COMMAND, LOCK, UNLOCK, DISMOUNT, LAYOUT, MEDIA_REMOVAL, EJECT };
    Kind kind = COMMAND;
    uint8_t opcode = 0;
    uint8_t subcommand = 0; // vendor commands only
    uint8_t drive = 0;      // vendor drive commands only
    uint64_t lba = 0;
    uint32_t count = 0;     // LAYOUT: bytes; MEDIA_REMOVAL: 1 prevent, 0 allow
};

struct SimFaults {
    // CHECK CONDITION for the commands that match (opcode 0 = every command;
    // subcommand 0 = every subcommand), with this sense key and status code
    // (sense bytes 12..13).
    bool checkCondition = false;
    uint8_t checkOpcode = 0;
    uint8_t checkSubcommand = 0;
    uint8_t senseKey = 0x09;
    uint16_t statusCode = 0;
    bool unreadableTable = false;   // the table command fails
    bool corruptReadBack = false;   // drive-sector reads flip a byte
    int busyLocks = 0;              // failed lock attempts before one works (-1: never)
    bool undersizedAllocation = false; // system drives get half what they ask
    bool zeroSectorSize = false;    // information type 0 answers 0
    bool zeroBlockLength = false;   // READ CAPACITY answers block length 0
    uint16_t tableCount = 0;        // a non-zero value replaces the table's count
    bool notPlayer = false;         // media information type 9 answers 0
};

struct SimDrive {
    uint8_t number = 0;
    uint8_t type = 0; // 0 data, 1 system
    uint8_t tag = 0;
    uint64_t size = 0;
    uint32_t sectorSize = 512;
    uint16_t version7[3] = {0, 0, 0};
    uint16_t version8[3] = {0, 0, 0};
    std::map<uint64_t, std::vector<uint8_t>> sectors; // written sectors only
};

class CSimPlayerTarget {
public:
    static constexpr uint8_t STATUS_GOOD = 0;
    static constexpr uint8_t STATUS_CHECK_CONDITION = 2;
    static constexpr size_t SENSE_BYTES = 18;

    CSimPlayerTarget();

    // Identity and fixed facts.
    std::string vendor = "Vilo    ";
    std::string product = "Lark            ";
    std::string revision = "1.00";
    uint16_t chipRevision = 0x3780;
    uint64_t capacity = 64ull * 1024 * 1024;
    // The player numbers its drives from here, so numbers never equal the
    // updater's component slots.
    uint8_t firstDriveNumber = 6;
    SimFaults faults;

    // The data volume: sectors of 512 bytes; an image file keeps them when
    // one is attached (so fsck.fat and mtools can check the result).
    bool AttachDataImage(const std::string& path);
    // Lays out the media as a fresh player has it: the mass-storage firmware,
    // the data drive, then the boot manager, the player and the resources.
    void MakeFactoryLayout();

    // Executes one CDB. data holds dataLength bytes (read from it for data
    // out, written for data in); sense receives SENSE_BYTES bytes.
    uint8_t Execute(const uint8_t* cdb, size_t cdbLength, bool dataIn, uint8_t* data, size_t dataLength,
                    uint8_t* sense, size_t* transferred);

    bool Lock();
    bool Unlock();
    bool Dismount();
    // The volume's removal lock and the eject request, as recorded requests:
    // the simulated player has no mechanism that either could move.
    void MediaRemoval(bool prevent);
    bool Eject();
    void SetDriveLayout(const uint8_t* bytes, size_t length);

    std::vector<SimRecord> Log() const;
    void ClearLog();
    std::vector<uint8_t> LastLayout() const;
    const std::vector<SimDrive>& Drives() const { return m_drives; }
    SimDrive* DriveByNumber(uint8_t number);
    SimDrive* DriveByTag(uint8_t type, uint8_t tag);
    bool Locked() const { return m_locked; }

private:
    uint8_t Check(uint8_t* sense, uint8_t key, uint16_t code);
    uint8_t Vendor(const uint8_t* cdb, bool dataIn, uint8_t* data, size_t dataLength, uint8_t* sense, size_t* transferred);
    bool ReadDataSector(uint64_t lba, uint8_t* out);
    bool WriteDataSector(uint64_t lba, const uint8_t* in);
    uint64_t DataBlocks() const;
    void Record(const SimRecord& record);

    mutable SimMutex m_mutex;
    std::vector<SimDrive> m_drives;
    std::vector<SimRecord> m_log;
    std::vector<uint8_t> m_layout;
    std::unique_ptr<std::fstream> m_image;
    uint64_t m_imageBlocks = 0;
    std::map<uint64_t, std::vector<uint8_t>> m_volume; // without an image
    int m_lockAttempts = 0;
    bool m_locked = false;
};

// The recovery-mode device: takes the mass-storage firmware in writes of at
// most 4096 bytes and, once the whole image arrived, lets the player come
// back as a drive.
class CSimRecoveryDevice {
public:
    uint64_t expectedSize = 0;
    uint32_t delayMs = 0;      // a slow device completes each write this late
    uint32_t shortBy = 0;      // a short device reports this many bytes fewer
    bool neverComplete = false;

    // Bytes the device reports for one write.
    uint32_t Write(const uint8_t* data, uint32_t length);
    bool PlayerBack() const;
    std::vector<uint32_t> WriteLengths() const;
    std::vector<uint8_t> Received() const;

private:
    mutable SimMutex m_mutex;
    std::vector<uint8_t> m_received;
    std::vector<uint32_t> m_lengths;
};

// Opcodes and subcommands shared with the code that talks to the player.
namespace simscsi {
constexpr uint8_t OP_INQUIRY = 0x12;
constexpr uint8_t OP_READ_CAPACITY = 0x25;
constexpr uint8_t OP_READ10 = 0x28;
constexpr uint8_t OP_WRITE10 = 0x2A;
constexpr uint8_t OP_VENDOR_IN = 0xC0;
constexpr uint8_t OP_VENDOR_OUT = 0xC1;
constexpr uint8_t SUB_MEDIA_INFO = 0x02;
constexpr uint8_t SUB_TABLE = 0x05;
constexpr uint8_t SUB_ALLOCATE = 0x06;
constexpr uint8_t SUB_ERASE_MEDIA = 0x07;
constexpr uint8_t SUB_DRIVE_INFO = 0x12;
constexpr uint8_t SUB_READ_SECTORS = 0x13;
constexpr uint8_t SUB_SET_DRIVE_INFO = 0x20;
constexpr uint8_t SUB_WRITE_SECTORS = 0x23;
constexpr uint8_t SUB_ERASE_DRIVE = 0x2F;
constexpr uint8_t SUB_CHIP_REVISION = 0x30;
} // namespace simscsi
