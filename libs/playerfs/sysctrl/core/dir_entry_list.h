// One FAT directory in memory: a file's long-name entries and its 8.3 entry
// form a group; the order of the groups is the order the player plays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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

struct DirEntryGroup {
    std::vector<uint8_t> Entries;  // EntryCount() x 32 bytes, in disk order
    int SourceIndex = -1;          // entry index of the 8.3 entry in the parsed buffer

    int EntryCount() const { return int(Entries.size() / DIR_ENTRY_BYTES); }
    const uint8_t* ShortEntry() const { return Entries.data() + Entries.size() - DIR_ENTRY_BYTES; }
    uint8_t* ShortEntry() { return Entries.data() + Entries.size() - DIR_ENTRY_BYTES; }
    bool HasLongName() const { return EntryCount() > 1; }
};

class DirEntryList {
public:
    explicit DirEntryList(const ICodePage& codePage) : CodePage(codePage) {}

    // 0 when a group did not fit, else 1. Stops at the end entry, at a broken
    // long-name sequence or at an entry no file system writes.
    int Parse(const uint8_t* entries, int maxEntries);
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
    void GiveShortName(DirEntryGroup& group) const;
    bool ShortNameTaken(const uint8_t* name11, const DirEntryGroup* except) const;

    const ICodePage& CodePage;
    std::vector<std::unique_ptr<DirEntryGroup>> Groups;
    // Folded long name -> group indices in list order, built on the first
    // search: an order of n names would otherwise decode n x n names.
    mutable std::unordered_map<std::u16string, std::vector<int>> NameIndex;
    mutable bool NameIndexValid = false;
};

// ASCII letters folded to upper case, the only folding names are compared with.
std::u16string FoldAscii(std::u16string text);
