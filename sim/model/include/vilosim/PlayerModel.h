// The simulated player behind the driver's names: its status record, its
// identity answers and the command protocol of its data channel. It uses no
// library at all, because the same code runs inside the kernel driver.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "vilosim/SimProtocol.h"

namespace vilosim {

class CPlayerModel;

// The answer to a command packet, read back through the data channel.
class CAnswer {
public:
    static constexpr uint32_t CAPACITY = 64 * 1024;
    void Clear() { m_length = 0; }
    // Returns false when the answer would not fit.
    bool Append(const uint8_t* data, uint32_t length);
    bool AppendWord24(uint32_t value);
    uint32_t Length() const { return m_length; }
    const uint8_t* Data() const { return m_bytes; }

private:
    uint32_t m_length;
    uint8_t m_bytes[CAPACITY];
};

// One group of command packets (device, flash media, MMC card). The device
// group is built in; the media groups plug in here when they are modelled.
class CCommandGroup {
public:
    // A packet of this group. Fill the answer, or ask for data with
    // model.ExpectData(); false refuses the packet (the write fails).
    virtual bool Command(CPlayerModel& model, const uint8_t* packet, uint32_t length, CAnswer& answer)
    {
        return false;
    }
    // Data written after a command that asked for it.
    virtual bool Data(CPlayerModel& model, const uint8_t* data, uint32_t length) { return false; }
};

class CPlayerModel {
public:
    // Default behaviour, empty statistics, the status record a fresh player has.
    void Reset();
    // Counted behaviours (refusals, held reads) start counting from here.
    void Configure(const SimConfig& config);
    const SimConfig& Config() const { return m_config; }
    const SimStats& Stats() const { return m_stats; }
    void SetGroup(uint8_t group, CCommandGroup* handler);

    // Control codes.
    UserData GetStatus();
    void SetStatus(const UserData& record);
    bool Reconfigure();
    // Returns the number of bytes answered (4 or 0); false when the query fails.
    bool GetDeviceStatus(uint32_t* value, uint32_t* bytes) const;
    uint32_t GetDeviceVersion() const { return m_config.DeviceVersion; }
    bool GetChipId(uint32_t* value) const;

    // Data channel. A write is a command packet, or data a command asked for.
    bool Write(const uint8_t* data, uint32_t length);
    // Fills length bytes (a whole number of read units) with the pending
    // answer; returns false for a refused read.
    bool Read(uint8_t* out, uint32_t length);
    // True when the read now starting should be held until it is cancelled.
    bool TakeHeldRead();
    void NoteCancelledRead() { m_stats.CancelledReads++; }
    void NoteClosedWithPendingRead() { m_stats.ClosedWithPendingRead++; }
    void NoteOpen(uint32_t kind, uint32_t index)
    {
        m_stats.Opens++;
        m_stats.OpenedKind = kind;
        m_stats.OpenedIndex = index;
    }

    // For command groups: the next writes of this many bytes go to Data().
    void ExpectData(CCommandGroup* handler, uint32_t bytes);
    // For the media groups: what the player was asked to do, in order.
    void RecordMedia(const uint8_t* packet, uint32_t address, uint32_t count);
    uint32_t MediaLog(SimMediaRecord* out, uint32_t capacity) const;

    // The state that survives a restart of the player's driver.
    static constexpr uint32_t PERSISTED_BYTES = 24;
    void SaveState(uint8_t (&out)[PERSISTED_BYTES]) const;
    bool LoadState(const uint8_t* data, uint32_t length);

private:
    bool DeviceCommand(const uint8_t* packet, uint32_t length);
    void ReadyDropsAfterWrite();

    SimConfig m_config;
    SimStats m_stats;
    UserData m_record;
    uint32_t m_readyPollsLeft;
    uint32_t m_refusalsLeft;
    uint32_t m_heldReadsLeft;
    bool m_answerPending;
    CCommandGroup* m_groups[GROUP_COUNT];
    CCommandGroup* m_dataHandler;
    uint32_t m_dataLeft;
    CAnswer m_answer;
    SimMediaRecord m_mediaLog[SIM_MEDIA_LOG_CAPACITY];
    uint32_t m_mediaLogCount;
};

uint32_t ReadWord24(const uint8_t* p);
void WriteWord24(uint8_t* p, uint32_t value);

} // namespace vilosim
