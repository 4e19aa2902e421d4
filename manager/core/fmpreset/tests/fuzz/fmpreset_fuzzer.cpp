// The table finder and the list file rules on arbitrary bytes: nothing may
// read outside the input, a found table lies wholly inside it, and writing a
// group and reading it back gives the rows written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FmPresetList.h"
#include "FmPresetTable.h"

using namespace fmpreset;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // As SETTINGS.DAT: the table and the writes stay inside the file.
    const std::vector<std::uint8_t> file(data, data + size);
    std::size_t offset = 0;
    if (FindTable(file, &offset)) {
        if (offset + TABLE_BYTES > size)
            std::abort();
        for (int n = 0; n < ENTRY_COUNT; ++n)
            (void)EntryText(ReadEntry(file.data() + offset, n));
    }
    std::uint32_t khz[ENTRY_COUNT];
    for (int n = 0; n < ENTRY_COUNT; ++n)
        khz[n] = size ? 87000u + data[n % size] * 100u : 0;
    for (const TableWrite& w : PlanTableWrites(file, khz))
        if (w.Offset + ENTRY_BYTES > size)
            std::abort();

    // As a list file.
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)TextToKhz(text.substr(0, 12));
    std::vector<std::string> names;
    ReadGroupNames(text, &names);
    for (std::size_t i = 0; i < names.size() && i < 4; ++i) {
        std::vector<PresetRow> rows;
        if (!ReadGroup(text, names[i], &rows) || rows.size() != static_cast<std::size_t>(ENTRY_COUNT))
            std::abort();
        // Rows that hold no line break or ";" survive a write and a read.
        std::vector<PresetRow> clean(ENTRY_COUNT);
        clean[0] = {"89.10", "first"};
        clean[10] = {"101.90", "eleventh"};
        std::string copy = text;
        if (!WriteGroup(copy, names[i], clean))
            std::abort();
        std::vector<PresetRow> back;
        if (!ReadGroup(copy, names[i], &back) || back[0].Frequency != "89.10" || back[0].Comment != "first" ||
            back[10].Frequency != "101.90" || back[10].Comment != "eleventh" || !back[1].Frequency.empty())
            std::abort();
    }
    return 0;
}
