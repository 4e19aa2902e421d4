// The FM preset table inside the player's SETTINGS.DAT: where it lies and how
// its 20 entries are encoded. Everything here works on bytes in memory; the
// dialog does the file calls.
//
//   FC 5F 00        the marker (its first occurrence in the file)
//   +9              the table: 20 entries of 3 bytes, the frequency in kHz as
//                   an unsigned 24-bit little-endian number
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fmpreset {

constexpr int ENTRY_COUNT = 20;
constexpr std::size_t ENTRY_BYTES = 3;
constexpr std::size_t TABLE_BYTES = ENTRY_COUNT * ENTRY_BYTES;
// The table starts this many bytes after the marker's first byte.
constexpr std::size_t TABLE_AFTER_MARKER = 9;
constexpr std::uint32_t MIN_KHZ = 87500;
constexpr std::uint32_t MAX_KHZ = 108000;

// The position of the table in a file's bytes. Found only when the marker is
// there and the whole table lies inside the file: a table cut short by the
// file's end is no table, so nothing is read or written past the end.
bool FindTable(const std::uint8_t* data, std::size_t size, std::size_t* offset);
inline bool FindTable(const std::vector<std::uint8_t>& file, std::size_t* offset)
{
    return FindTable(file.data(), file.size(), offset);
}

// Entry n (0 to 19) of a table found at offset (the caller found it).
std::uint32_t ReadEntry(const std::uint8_t* table, int n);
void EncodeEntry(std::uint32_t khz, std::uint8_t out[ENTRY_BYTES]);

bool IsValidKhz(std::uint32_t khz);
// The text the list shows for a stored value: "%3.2f" MHz ("87.50",
// "107.90", "108.00") inside the band, "87.5" for anything outside it.
std::string EntryText(std::uint32_t khz);

// A frequency text of the list ("87.50", "108.00", "" or not a number) as
// kHz, rounded to the nearest kHz; 0 when the text is empty or no number.
std::uint32_t TextToKhz(const std::string& text);

// The rows of the dialog as the save sees them: kHz per entry, 0 for none.
struct TableWrite {
    std::size_t Offset = 0;             // of the entry's first byte in the file
    std::uint8_t Bytes[ENTRY_BYTES] = {};
};

// The writes that put the rows into a file's bytes: one per row whose value
// lies in the band; every other row keeps the player's bytes. No table in
// the file means no writes.
std::vector<TableWrite> PlanTableWrites(const std::vector<std::uint8_t>& file, const std::uint32_t khz[ENTRY_COUNT]);

}  // namespace fmpreset
