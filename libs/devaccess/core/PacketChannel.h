// The driver's data channel as the cores see it: a command packet or data
// goes out with one write, an answer comes back with one read of exactly the
// length asked for (the channel rounds to the driver's read units itself).
#pragma once

#include <stdint.h>

namespace qvmp3 {

class IPacketChannel {
public:
    virtual ~IPacketChannel() = default;
    virtual bool Write(const uint8_t* data, uint32_t length) = 0;
    virtual bool Read(uint8_t* data, uint32_t length) = 0;
};

} // namespace qvmp3
