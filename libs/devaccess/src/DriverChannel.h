// The driver's data channel as the cores use it: one write per packet or data
// block, and reads of any length (the driver answers in whole 64-byte units;
// answers longer than the bounce buffer are read into a rounded buffer here).
#pragma once

#include <new>
#include <vector>

#include "PacketChannel.h"
#include "QvMp3.h"
#include "QvMp3Core.h"

namespace qvmp3 {

class CDriverChannel : public IPacketChannel {
public:
    bool Write(const uint8_t* data, uint32_t length) override
    {
        return QvMp3DDWrite(const_cast<uint8_t*>(data), length) != 0;
    }
    bool Read(uint8_t* data, uint32_t length) override
    {
        uint32_t rounded;
        if (!NeedsBounce(length) || BounceLength(length, &rounded))
            return QvMp3DDRead(data, length) != 0;
        std::vector<uint8_t> buffer;
        try {
            buffer.resize((static_cast<size_t>(length) + READ_UNIT - 1) / READ_UNIT * READ_UNIT);
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!QvMp3DDRead(buffer.data(), static_cast<unsigned long>(buffer.size())))
            return false;
        memcpy(data, buffer.data(), length);
        return true;
    }
};

} // namespace qvmp3
