// One FAT directory in memory: a file's long-name entries and its 8.3 entry
// form a group; the order of the groups is the order the player plays.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "code_page.h"

constexpr int DIR_ENTRY_BYTES = 32;
// 20 long-name entries hold 260 units; a long name is at most 255.
constexpr int MAX_LONG_NAME_ENTRIES = 20;
constexpr size_t MAX_LONG_NAME = 255;

namespace DirEntry {
inline bool IsLongName(const uint8_t* e) { return (e[11] & 0x0F) == 0x0F; }
inline bool IsDeleted(const uint8_t* e) { return e[0] == 0xE5; }
inline bool IsEnd(const uint8_t* e) { return e[0] == 0x00; }
inline bool IsVolumeLabel(const uint8_t* e) { return !IsLongName(e) && (e[11] & 0x08) && !(e[11] & 0x10); }
inline bool IsDotEntry(const uint8_t* e)
{
    return !IsLongName(e) && e[0] == '.' && (e[1] == ' ' || (e[1] == '.' && e[2] == ' '));
}
inline uint16_t FirstCluster(const uint8_t* e) { return uint16_t(e[26] | (e[27] << 8)); }
inline uint32_t Size(const uint8_t* e) { return uint32_t(e[28]) | uint32_t(e[29]) << 8 | uint32_t(e[30]) << 16 | uint32_t(e[31]) << 24; }
uint8_t ShortNameChecksum(const uint8_t* name11);
}  // namespace DirEntry

// A group is a view of its entries where the directory was read: parsing
// copies no entry. Only a group whose bytes change (a short name given to it)
// or one made by hand keeps its own bytes in `Entries`.
struct DirEntryGroup {
    std::vector<uint8_t> Entries;  // own bytes (EntryCount() x 32), or empty
    const uint8_t* Source = nullptr;  // the entries in the parsed buffer
    int SourceCount = 0;
    int SourceIndex = -1;          // entry index of the 8.3 entry in the parsed buffer

    const uint8_t* Bytes() const { return Entries.empty() ? Source : Entries.data(); }
    uint8_t* OwnBytes()
    {
        if (Entries.empty() && Source) Entries.assign(Source, Source + size_t(SourceCount) * DIR_ENTRY_BYTES);
        return Entries.data();
    }
    int EntryCount() const { return Entries.empty() ? SourceCount : int(Entries.size() / DIR_ENTRY_BYTES); }
    const uint8_t* ShortEntry() const { return Bytes() + size_t(EntryCount() - 1) * DIR_ENTRY_BYTES; }
    bool HasLongName() const { return EntryCount() > 1; }
};

class DirEntryList {
public:
    explicit DirEntryList(const ICodePage& codePage) : CodePage(codePage) {}

    // 0 when a group did not fit, else 1. Stops at the end entry, at a broken
    // long-name sequence or at an entry no file system writes. The groups refer
    // to `entries`, which must stay unchanged while the list is used.
    int Parse(const uint8_t* entries, int maxEntries);
    void Reserve(int groups) { Groups.reserve(size_t(groups > 0 ? groups : 0)); }
    int AddGroup(const DirEntryGroup& group);
    int RemoveAt(int index);
    const DirEntryGroup* GetGroup(int index) const;
    void Serialise(uint8_t* buffer) const;
    // The first group, from index `from` on, whose name matches and that
    // `taken` (when given) does not mark.
    int FindByLongName(const char* name, int* index, const std::vector<bool>* taken = nullptr) const;
    std::u16string GetLongName(const DirEntryGroup& group) const;

    int Capacity = 0;
    int UsedEntries = 0;
    int GroupCount = 0;
    uint8_t LabelEntry[DIR_ENTRY_BYTES] = {};
    int HasLabel = 0;

private:
    std::u16string ShortName(const uint8_t* entry) const;
    // The long name's units into `units` (room for MAX_LONG_NAME), or -1 when
    // the group's name is its 8.3 name.
    int DecodeLongName(const DirEntryGroup& group, char16_t* units) const;
    void BuildNameIndex() const;
    // The 8.3 names a parse has in use, and for each generated name and
    // extension the first numeric tail not yet known to be taken: a folder of
    // many files whose names begin alike then costs a lookup a name, not a
    // search of the folder for every tail tried.
    struct ShortNameIndex {
        std::unordered_set<std::string> Taken;
        std::unordered_map<std::string, unsigned> NextTail;
    };
    void GiveShortName(DirEntryGroup& group, ShortNameIndex* index = nullptr) const;
    bool ShortNameTaken(const uint8_t* name11, const DirEntryGroup* except) const;

    const ICodePage& CodePage;
    std::vector<DirEntryGroup> Groups;
    // Folded long names of every group in one pool, hashed into chains that
    // run in list order: built on the first search, with no string per name
    // (an order of n names would otherwise decode n x n names).
    mutable std::vector<char16_t> NamePool;
    mutable std::vector<uint32_t> NameAt;     // per group: start in NamePool; NameAt[i + 1] ends it
    mutable std::vector<uint32_t> NameHash;   // per group
    mutable std::vector<int> NameNext;        // per group: next group of its chain, or -1
    mutable std::vector<int> NameBuckets;     // first group of each chain, or -1
    mutable bool NameIndexValid = false;
};

// ASCII letters folded to upper case, the only folding names are compared with.
std::u16string FoldAscii(std::u16string text);
