// Writes the data-area layout of CQvDisk to the player's data drive through
// the transport's READ(10)/WRITE(10), reading every run back, and reads the
// volume label of an existing data area.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvDisk.h"
#include "qv/QvProgress.h"
#include "qv/QvScsiTransport.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>
#include <string>

class CQvFormatter : public CQvBase {
public:
    // Runs move at most this many bytes.
    static constexpr uint32_t RUN_BYTES = 65536;

    CQvFormatter(CQvProgress* progress, CQvScsiTransport* transport, std::string name = "CQvFormatter");

    // tableUnreadable: the player's media table could not be read, so the
    // volume lock and its release are allowed to fail.
    int Format(int tableUnreadable, const uint8_t* label, size_t labelLength);
    // count receives the number of label bytes copied (at most 11), 0 when
    // the root directory holds no label.
    int ReadVolumeLabel(uint8_t* buffer, size_t length, size_t& count);

    // The layout of the last Format or label lookup, for callers that report it.
    const CQvDisk* Disk() const { return m_disk.get(); }

private:
    int ReadCapacity(uint64_t& sectors, uint32_t& bytesPerSector);
    void Step();
    void Phase(int phase, int steps);
    // Writes count sectors from n, reads them back and compares.
    int WriteRun(uint32_t n, uint32_t count, const uint8_t* data);
    // Writes sectors of zeros from n in runs, the first run beginning with
    // head; n moves past them.
    int WriteArea(int phase, uint32_t& n, uint32_t sectors, const uint8_t* head, size_t headLength,
                  int labelAttribute);
    int WriteSingle(int phase, uint32_t& n, const uint8_t* image);

    CQvProgress* m_progress;
    CQvScsiTransport* m_transport;
    uint32_t m_bytesPerSector = 0;
    std::unique_ptr<CQvDisk> m_disk;
    std::vector<uint8_t> m_readBack;
    std::vector<uint8_t> m_run;
};
