#include "AdtsReader.h"

namespace aacinfo {

namespace {

const uint32_t kSampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                   22050, 16000, 12000, 11025, 8000,  7350};

}  // namespace

bool DecodeAdtsHeader(const uint8_t* p, size_t size, ADTS_HEADER& out)
{
    if (!p || size < ADTS_HEADER_SIZE)
        return false;
    // Sync word 0xFFF, then the MPEG version bit and a layer that is always 0.
    if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0)
        return false;
    ADTS_HEADER h;
    h.hasCrc = (p[1] & 0x01) == 0;
    h.profile = (p[2] >> 6) & 0x03;
    h.sampleRateIndex = (p[2] >> 2) & 0x0F;
    if (h.sampleRateIndex >= 13)
        return false;
    h.sampleRate = kSampleRates[h.sampleRateIndex];
    h.channelConfig = ((p[2] & 0x01) << 2) | ((p[3] >> 6) & 0x03);
    h.frameLength = (static_cast<uint32_t>(p[3] & 0x03) << 11) | (static_cast<uint32_t>(p[4]) << 3) |
                    (static_cast<uint32_t>(p[5]) >> 5);
    h.blocks = static_cast<uint32_t>(p[6] & 0x03) + 1;
    const size_t headerSize = h.hasCrc ? ADTS_CRC_HEADER_SIZE : ADTS_HEADER_SIZE;
    if (h.frameLength < headerSize)
        return false;
    out = h;
    return true;
}

ADTS_RESULT ScanAdts(const uint8_t* data, size_t size, ADTS_FACTS& facts)
{
    facts = ADTS_FACTS();
    ADTS_HEADER first;
    if (!DecodeAdtsHeader(data, size, first))
        return ADTS_NOT_ADTS;
    facts.first = first;
    size_t pos = 0;
    while (pos < size) {
        ADTS_HEADER h;
        if (!DecodeAdtsHeader(data + pos, size - pos, h) || h.sampleRateIndex != first.sampleRateIndex ||
            h.channelConfig != first.channelConfig) {
            // A header cut by the end of the file is a truncated frame; any
            // other bytes are data that belongs to no frame.
            if (size - pos < ADTS_HEADER_SIZE && data[pos] == 0xFF)
                facts.truncated = true;
            else
                facts.trailingData = true;
            break;
        }
        if (h.frameLength > size - pos) {
            facts.truncated = true;
            break;
        }
        ++facts.frames;
        facts.samples += static_cast<uint64_t>(h.blocks) * ADTS_SAMPLES_PER_BLOCK;
        facts.frameBytes += h.frameLength;
        pos += h.frameLength;
    }
    return ADTS_OK;
}

uint64_t DurationMs(const ADTS_FACTS& facts)
{
    if (facts.first.sampleRate == 0)
        return 0;
    return facts.samples * 1000 / facts.first.sampleRate;
}

int64_t BitrateKbps(const ADTS_FACTS& facts)
{
    if (facts.samples == 0 || facts.first.sampleRate == 0)
        return -1;
    // bits x rate / (samples x 1000), rounded; the product stays far inside
    // 64 bits for any file below an exabyte.
    const uint64_t num = facts.frameBytes * 8 * facts.first.sampleRate;
    const uint64_t den = facts.samples * 1000;
    return static_cast<int64_t>((num + den / 2) / den);
}

const char* ProfileName(int profile)
{
    static const char* const kNames[4] = {"Main", "LC", "SSR", "LTP"};
    return profile >= 0 && profile < 4 ? kNames[profile] : "";
}

std::string FormatAacInfo(ADTS_RESULT result, const ADTS_FACTS& facts)
{
    const bool ok = result == ADTS_OK;
    std::string out;
    out += "[1:" + std::string(ok ? "ADTS" : "NONE") + "]";
    out += "[2:" + std::to_string(ok ? facts.first.sampleRate : 0) + "]";
    out += "[3:" + std::to_string(ok ? facts.first.channelConfig : 0) + "]";
    out += "[4:" + std::to_string(ok ? BitrateKbps(facts) : -1) + "]";
    out += "[5:" + std::to_string(ok ? facts.frames : 0) + "]";
    out += "[6:" + std::to_string(ok ? DurationMs(facts) : 0) + "]";
    out += "[7:" + std::string(ok ? ProfileName(facts.first.profile) : "") + "]";
    out += "\r\n";
    return out;
}

}  // namespace aacinfo
