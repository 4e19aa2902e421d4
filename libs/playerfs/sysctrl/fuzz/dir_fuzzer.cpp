// Directory parse and serialise: no input may crash, and every group and the
// label that a parse finds come back unchanged from their own serialisation.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dir_entry_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const CTableCodePage codePage;
    const int entries = int(size / DIR_ENTRY_BYTES);
    if (entries == 0 || entries > 4096) return 0;
    std::vector<uint8_t> buffer(data, data + size_t(entries) * DIR_ENTRY_BYTES);
    DirEntryList first(codePage);
    first.Parse(buffer.data(), entries);
    std::vector<uint8_t> out(buffer.size(), 0);
    first.Serialise(out.data());
    DirEntryList second(codePage);
    second.Parse(out.data(), entries);
    if (second.GroupCount != first.GroupCount || second.HasLabel != first.HasLabel) std::abort();
    if (first.HasLabel && std::memcmp(first.LabelEntry, second.LabelEntry, DIR_ENTRY_BYTES) != 0) std::abort();
    for (int i = 0; i < first.GroupCount; ++i) {
        const DirEntryGroup* a = first.GetGroup(i);
        const DirEntryGroup* b = second.GetGroup(i);
        if (a->EntryCount() != b->EntryCount() ||
            std::memcmp(a->Bytes(), b->Bytes(), size_t(a->EntryCount()) * DIR_ENTRY_BYTES) != 0)
            std::abort();
        if (first.GetLongName(*first.GetGroup(i)) != second.GetLongName(*second.GetGroup(i))) std::abort();
        int index = -1;
        first.FindByLongName("x", &index);
    }
    return 0;
}
