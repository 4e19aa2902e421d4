#include "QvMp3Core.h"

namespace qvmp3 {

const char* NormalNameBase(bool ntLine, uint32_t major, uint32_t minor)
{
    if (ntLine || major > 4 || (major == 4 && minor >= 90))
        return "ViloLarkr";
    return "ViloLarku";
}

std::string DevicePath(const char* base, int index)
{
    return std::string("\\\\.\\") + base + std::to_string(index);
}

bool BounceLength(uint32_t length, uint32_t* rounded)
{
    uint64_t units = (static_cast<uint64_t>(length) + READ_UNIT - 1) / READ_UNIT;
    uint64_t bytes = units * READ_UNIT;
    if (bytes > BOUNCE_BYTES)
        return false;
    *rounded = static_cast<uint32_t>(bytes);
    return true;
}

void DevicePacket(uint8_t command, uint8_t (&packet)[DEVICE_PACKET_BYTES])
{
    packet[0] = command;
    packet[1] = 0;
    packet[2] = 0;
}

uint32_t Word24(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

ChipInfo ParseChipInfo(const uint8_t* answer, size_t length)
{
    ChipInfo info;
    if (!answer || length < 3)
        return info;
    uint32_t count = Word24(answer);
    for (uint32_t i = 0; i < count; i++) {
        size_t at = 3 + 6 * static_cast<size_t>(i);
        if (at + 6 > length)
            break;
        uint32_t type = Word24(answer + at);
        uint32_t value = Word24(answer + at + 3);
        if (type == 0 && !info.HasRevision) {
            info.HasRevision = true;
            info.Revision = value;
        } else if (type == 1 && !info.HasVersion) {
            info.HasVersion = true;
            info.Version = value;
        }
    }
    return info;
}

bool ChipIdAnswerIs3410(const uint8_t* answer, size_t length)
{
    return length >= 3 && answer[1] == 0x10 && answer[2] == 0x34;
}

double AddPercent(double percent, double delta)
{
    double sum = percent + delta;
    return sum > 100.0 ? 100.0 : sum;
}

} // namespace qvmp3
