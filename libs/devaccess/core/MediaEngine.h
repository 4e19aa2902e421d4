// The media functions of the device access library without Windows: block
// status, data-area erase, full format with firmware files, quick format,
// programming the reserved area and reading the files' versions back. The
// library's shell supplies the channel, the lock, the registry's reserve and
// the shared progress through IMediaHost.
#pragma once

#include <stdint.h>

#include <vector>

#include "MediaGeometry.h"
#include "PacketChannel.h"
#include "QvMp3Types.h"

namespace qvmp3 {

constexpr uint32_t MEDIA_COUNT = 2;
constexpr uint8_t MEDIA_FLASH = 0;
constexpr uint8_t MEDIA_CARD = 1;
enum : uint32_t { KIND_FLASH = 1, KIND_CARD = 2 };

// Progress phases.
enum : uint32_t {
    PHASE_BLOCK_STATUS_START = 1,
    PHASE_BLOCK_STATUS = 2,
    PHASE_ERASE = 3,
    PHASE_LOGICAL_FORMAT = 4,
    PHASE_WRITE_FILES = 5,
    PHASE_QUICK_FORMAT = 7,
    PHASE_ERASE_FIRST_ZONE = 8,
};

class IMediaHost {
public:
    virtual ~IMediaHost() = default;
    virtual IPacketChannel& Channel() = 0;
    virtual uint32_t ChipVersion() = 0;
    virtual bool ReadDeviceVersion() = 0;
    // TotalKiloBytesReserved; 0 when missing.
    virtual uint32_t ReservedKilobytes() = 0;
    virtual void SetPhase(uint32_t phase, double percent) = 0;
    virtual uint32_t Phase() = 0;
    virtual void SetPercent(double percent) = 0;
    virtual void AddPercent(double delta) = 0;
    virtual void Debug(const char* line) = 0;
    virtual bool SetFormatStatus(int status) = 0;
};

// The files handed to the media functions.
struct FirmwareFiles {
    const uint8_t* const* Images = nullptr;
    const uint32_t* Sizes = nullptr;
    const uint8_t* const* Headers = nullptr;
    const uint32_t* HeaderSizes = nullptr;
    _BinaryFilesInformation* Info = nullptr;
};

struct FlashMediaState {
    bool HasTable = false;
    uint32_t Index = NO_MEDIA_INDEX;
    std::vector<uint8_t> Table;
    uint32_t CardInfoBlock = 0;
    uint32_t ReservedStart = 0;
    uint32_t ReservedFound = 0;
};

class CMediaEngine {
public:
    explicit CMediaEngine(IMediaHost& host) : m_host(host) {}

    // Media 0 is the flash memory, media 1 the card in the slot (card 0).
    static uint32_t KindOf(uint8_t media) { return media == MEDIA_CARD ? KIND_CARD : KIND_FLASH; }

    // Fills indices[0] (flash) and indices[1] (card); false when a command failed.
    bool GetSizes(uint32_t* indices);
    PROGRAM_MEDIA_STATUS EraseDataArea(const uint32_t* indices, uint8_t media);
    PROGRAM_MEDIA_STATUS BuildBlockStatus(const uint32_t* indices, uint8_t media, const _BinaryFilesInformation* info);
    PROGRAM_MEDIA_STATUS FatFormat(const uint32_t* indices, uint8_t media, bool withFiles, const FirmwareFiles& files);
    PROGRAM_MEDIA_STATUS QuickFormat(const uint32_t* indices, uint8_t media, int mode);
    PROGRAM_MEDIA_STATUS Program(const uint32_t* indices, uint8_t media, const FirmwareFiles& files);
    PROGRAM_MEDIA_STATUS FirmwareVersion(const uint32_t* indices, uint8_t media, _BinaryFilesInformation* info);
    void Free(uint8_t media);
    const FlashMediaState& Flash() const { return m_flash; }

private:
    struct PreparedFiles;
    PROGRAM_MEDIA_STATUS Prepare(const FirmwareFiles& files, const MediaGeometry& geometry, PreparedFiles* prepared);
    bool Fits(const PreparedFiles& prepared, const MediaGeometry& geometry, uint32_t reserved);
    uint32_t RegistryReserved(const MediaGeometry& geometry);
    bool EraseForFormat(const MediaGeometry& geometry, const PreparedFiles& prepared);
    // The lead file's three blocks and the reserved area, as the logical format marks them.
    void MarkFormatTable(std::vector<uint8_t>& table, const PreparedFiles& prepared) const;
    bool LogicalFormat(const MediaGeometry& geometry, const PreparedFiles& prepared);
    // Calls place(file, cursor) for each file in the order they are written.
    template <typename Place>
    static bool InFileOrder(const PreparedFiles& prepared, bool cursorAlways100, uint32_t* cursor, Place place);
    // Whether every block of the files finds a reserved block on this table.
    static bool FilesFindBlocks(std::vector<uint8_t> table, const MediaGeometry& geometry,
                                const PreparedFiles& prepared, bool cursorAlways100);
    bool WriteFiles(const MediaGeometry& geometry, const PreparedFiles& prepared, bool cursorAlways100,
                    uint32_t* cursor);
    bool WriteFile(const MediaGeometry& geometry, const PreparedFiles& prepared, uint32_t file, uint32_t* cursor);
    bool WriteVersion(const MediaGeometry& geometry, const PreparedFiles& prepared, uint32_t file);
    bool PrepareReservedArea(const MediaGeometry& geometry, uint32_t first, uint8_t areaCode);
    bool ReadMediaVersion(const MediaGeometry& geometry, uint8_t areaCode, uint16_t (&words)[4]);
    void IdentifyFileBlocks(const MediaGeometry& geometry, const _BinaryFilesInformation* info);
    bool WriteMarkedBlock(const MediaGeometry& geometry, uint32_t block, uint8_t tag, const uint8_t* data);

    IMediaHost& m_host;
    FlashMediaState m_flash;
    uint32_t m_fileBlock = 0; // first block of the file written last
    double m_blockStep = 0;
};

} // namespace qvmp3
