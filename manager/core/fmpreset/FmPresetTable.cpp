#include "FmPresetTable.h"

#include <cmath>
#include <cstdio>

#include "fileutil/FileText.h"

namespace fmpreset {

bool FindTable(const std::uint8_t* data, std::size_t size, std::size_t* offset)
{
    if (!data || size < 3)
        return false;
    for (std::size_t i = 0; i + 3 <= size; ++i) {
        if (data[i] == 0xFC && data[i + 1] == 0x5F && data[i + 2] == 0x00) {
            // Only the first marker counts: a table cut short there is no
            // table, even when a later marker would have room.
            const std::size_t start = i + TABLE_AFTER_MARKER;
            if (start > size || size - start < TABLE_BYTES)
                return false;
            if (offset)
                *offset = start;
            return true;
        }
    }
    return false;
}

std::uint32_t ReadEntry(const std::uint8_t* table, int n)
{
    const std::uint8_t* e = table + static_cast<std::size_t>(n) * ENTRY_BYTES;
    return std::uint32_t(e[0]) | std::uint32_t(e[1]) << 8 | std::uint32_t(e[2]) << 16;
}

void EncodeEntry(std::uint32_t khz, std::uint8_t out[ENTRY_BYTES])
{
    out[0] = std::uint8_t(khz & 0xFF);
    out[1] = std::uint8_t((khz >> 8) & 0xFF);
    out[2] = std::uint8_t((khz >> 16) & 0xFF);
}

bool IsValidKhz(std::uint32_t khz) { return khz >= MIN_KHZ && khz <= MAX_KHZ; }

std::string EntryText(std::uint32_t khz)
{
    char text[32];
    if (IsValidKhz(khz))
        std::snprintf(text, sizeof text, "%3.2f", khz * 0.001);
    else
        std::snprintf(text, sizeof text, "%3.1f", 87.5);
    return text;
}

std::uint32_t TextToKhz(const std::string& text)
{
    double mhz = 0;
    if (text.empty() || !CFileText::ParseDecimal(text, mhz))
        return 0;
    // Rounded, not truncated: 100.1 is 100.09999... as a double, and
    // truncating its thousandfold would store 100 099 kHz.
    const double khz = std::floor(mhz * 1000.0 + 0.5);
    if (!(khz >= 0) || khz > 0xFFFFFF)
        return 0;
    return static_cast<std::uint32_t>(khz);
}

std::vector<TableWrite> PlanTableWrites(const std::vector<std::uint8_t>& file, const std::uint32_t khz[ENTRY_COUNT])
{
    std::vector<TableWrite> writes;
    std::size_t offset = 0;
    if (!FindTable(file, &offset))
        return writes;
    for (int n = 0; n < ENTRY_COUNT; ++n) {
        if (!IsValidKhz(khz[n]))
            continue;
        TableWrite w;
        w.Offset = offset + static_cast<std::size_t>(n) * ENTRY_BYTES;
        EncodeEntry(khz[n], w.Bytes);
        writes.push_back(w);
    }
    return writes;
}

}  // namespace fmpreset
