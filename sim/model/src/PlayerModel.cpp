#include "vilosim/PlayerModel.h"

namespace vilosim {

namespace {

// The model runs inside the kernel driver too, where no C library is linked
// in: keep to byte loops the compiler can see through.
void CopyBytes(uint8_t* to, const uint8_t* from, uint32_t length)
{
    for (uint32_t i = 0; i < length; i++)
        to[i] = from[i];
}

void ZeroBytes(uint8_t* to, uint32_t length)
{
    for (uint32_t i = 0; i < length; i++)
        to[i] = 0;
}

void PutWord32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetWord32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t STATE_MAGIC = 0x4D53564Cu; // "LVSM"

} // namespace

uint32_t ReadWord24(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

void WriteWord24(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
}

bool CAnswer::Append(const uint8_t* data, uint32_t length)
{
    if (length > CAPACITY - m_length)
        return false;
    CopyBytes(m_bytes + m_length, data, length);
    m_length += length;
    return true;
}

bool CAnswer::AppendWord24(uint32_t value)
{
    uint8_t word[3];
    WriteWord24(word, value);
    return Append(word, 3);
}

void CPlayerModel::Reset()
{
    SimConfig config = {};
    config.DeviceStatusAnswer = 1;
    config.DeviceStatusBytes = 4;
    config.DeviceVersion = 0x0102;
    config.ChipIdAnswer = 0x066F3410;
    config.ChipRevision = 0x0300;
    config.ChipVersion = 0x051234;
    config.TupleCount = 2;
    config.PowerStatus = 0x000201;
    config.ChipIdWord = 0x3410;
    Configure(config);
    m_stats = SimStats{};
    m_record = UserData{0, 0, 1, 0};
    m_readyPollsLeft = 0;
    m_answerPending = false;
    for (auto& group : m_groups)
        group = nullptr;
    m_dataHandler = nullptr;
    m_dataLeft = 0;
    m_answer.Clear();
    m_mediaLogCount = 0;
}

void CPlayerModel::RecordMedia(const uint8_t* packet, uint32_t address, uint32_t count)
{
    // The first records are kept: one operation's sequence is what tests read.
    if (m_mediaLogCount >= SIM_MEDIA_LOG_CAPACITY)
        return;
    SimMediaRecord& record = m_mediaLog[m_mediaLogCount++];
    record.Group = packet[1];
    record.Command = packet[0];
    record.Flag = packet[2];
    record.Reserved = 0;
    record.Address = address;
    record.Count = count;
}

uint32_t CPlayerModel::MediaLog(SimMediaRecord* out, uint32_t capacity) const
{
    uint32_t count = m_mediaLogCount < capacity ? m_mediaLogCount : capacity;
    for (uint32_t i = 0; i < count; i++)
        out[i] = m_mediaLog[i];
    return count;
}

void CPlayerModel::Configure(const SimConfig& config)
{
    m_config = config;
    m_refusalsLeft = config.ReconfigureRefusals;
    m_heldReadsLeft = config.HeldReads;
}

void CPlayerModel::SetGroup(uint8_t group, CCommandGroup* handler)
{
    if (group < GROUP_COUNT && group != GROUP_DEVICE)
        m_groups[group] = handler;
}

UserData CPlayerModel::GetStatus()
{
    m_stats.StatusPolls++;
    UserData seen = m_record;
    if (m_readyPollsLeft > 0 && --m_readyPollsLeft == 0)
        m_record.Ready = 1;
    return seen;
}

void CPlayerModel::SetStatus(const UserData& record)
{
    m_record = record;
}

bool CPlayerModel::Reconfigure()
{
    m_stats.Reconfigures++;
    if (m_config.ReconfigureRefusals == 0xFFFFFFFFu)
        return false;
    if (m_refusalsLeft > 0) {
        m_refusalsLeft--;
        return false;
    }
    return true;
}

bool CPlayerModel::GetDeviceStatus(uint32_t* value, uint32_t* bytes) const
{
    *value = m_config.DeviceStatusAnswer;
    *bytes = m_config.DeviceStatusBytes >= 4 ? 4 : 0;
    return true;
}

bool CPlayerModel::GetChipId(uint32_t* value) const
{
    if (m_config.ChipIdFails)
        return false;
    *value = m_config.ChipIdAnswer;
    return true;
}

void CPlayerModel::ReadyDropsAfterWrite()
{
    if (m_config.ReadyDropPolls > 0) {
        m_record.Ready = 0;
        m_readyPollsLeft = m_config.ReadyDropPolls;
    }
}

void CPlayerModel::ExpectData(CCommandGroup* handler, uint32_t bytes)
{
    m_dataHandler = bytes ? handler : nullptr;
    m_dataLeft = bytes;
}

bool CPlayerModel::Write(const uint8_t* data, uint32_t length)
{
    m_stats.Writes++;
    m_stats.LastWriteLength = length;
    ReadyDropsAfterWrite();
    if (m_dataLeft > 0 && m_dataHandler) {
        CCommandGroup* handler = m_dataHandler;
        uint32_t taken = length < m_dataLeft ? length : m_dataLeft;
        m_dataLeft -= taken;
        if (m_dataLeft == 0)
            m_dataHandler = nullptr;
        return handler->Data(*this, data, length);
    }
    if (length < 3 || m_config.FailCommands)
        return false;
    m_stats.Commands++;
    // A new command while the last answer is unread means two callers
    // interleaved their packets: the old answer is lost.
    if (m_answerPending)
        m_stats.Interleaved++;
    m_answerPending = false;
    m_answer.Clear();
    bool accepted;
    if (data[1] == GROUP_DEVICE) {
        accepted = DeviceCommand(data, length);
    } else if (data[1] < GROUP_COUNT && m_groups[data[1]]) {
        accepted = m_groups[data[1]]->Command(*this, data, length, m_answer);
    } else {
        accepted = false;
    }
    m_answerPending = accepted && m_answer.Length() > 0;
    return accepted;
}

bool CPlayerModel::DeviceCommand(const uint8_t* packet, uint32_t length)
{
    switch (packet[0]) {
    case DEVICE_CMD_CHIP_INFO: {
        uint8_t info[CHIP_INFO_ANSWER_BYTES];
        ZeroBytes(info, sizeof info);
        WriteWord24(info, m_config.TupleCount);
        // Tuples beyond the answer's room are claimed but never sent.
        const uint32_t pairs[2][2] = {{0, m_config.ChipRevision}, {1, m_config.ChipVersion}};
        for (uint32_t i = 0; i < 2 && i < m_config.TupleCount; i++) {
            WriteWord24(info + 3 + 6 * i, pairs[i][0]);
            WriteWord24(info + 6 + 6 * i, pairs[i][1]);
        }
        return m_answer.Append(info, sizeof info);
    }
    case DEVICE_CMD_POWER_STATUS:
        return m_answer.AppendWord24(m_config.PowerStatus);
    case DEVICE_CMD_CHIP_ID: {
        const uint8_t id[3] = {0, static_cast<uint8_t>(m_config.ChipIdWord),
                               static_cast<uint8_t>(m_config.ChipIdWord >> 8)};
        return m_answer.Append(id, 3);
    }
    default:
        return false;
    }
}

bool CPlayerModel::Read(uint8_t* out, uint32_t length)
{
    m_stats.Reads++;
    m_stats.LastReadLength = length;
    if (length == 0 || length % READ_UNIT != 0)
        return false;
    if (!m_answerPending) {
        m_stats.Interleaved++;
        return false;
    }
    uint32_t answered = m_answer.Length() < length ? m_answer.Length() : length;
    CopyBytes(out, m_answer.Data(), answered);
    ZeroBytes(out + answered, length - answered);
    m_answerPending = false;
    m_answer.Clear();
    return true;
}

bool CPlayerModel::TakeHeldRead()
{
    if (m_heldReadsLeft == 0)
        return false;
    m_heldReadsLeft--;
    return true;
}

void CPlayerModel::SaveState(uint8_t (&out)[PERSISTED_BYTES]) const
{
    PutWord32(out, STATE_MAGIC);
    PutWord32(out + 4, m_record.HostOpen);
    PutWord32(out + 8, m_record.FormatStatus);
    PutWord32(out + 12, m_record.Ready);
    PutWord32(out + 16, m_record.Reserved);
    PutWord32(out + 20, m_config.DeviceVersion);
}

bool CPlayerModel::LoadState(const uint8_t* data, uint32_t length)
{
    if (length < PERSISTED_BYTES || GetWord32(data) != STATE_MAGIC)
        return false;
    m_record.HostOpen = GetWord32(data + 4);
    m_record.FormatStatus = GetWord32(data + 8);
    m_record.Ready = GetWord32(data + 12);
    m_record.Reserved = GetWord32(data + 16);
    m_config.DeviceVersion = GetWord32(data + 20);
    return true;
}

} // namespace vilosim
