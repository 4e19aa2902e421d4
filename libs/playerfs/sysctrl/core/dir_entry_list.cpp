#include "dir_entry_list.h"

#include <cstring>

uint8_t DirEntry::ShortNameChecksum(const uint8_t* name11)
{
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + name11[i]);
    return sum;
}

std::u16string FoldAscii(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = char16_t(c - 0x20);
    return text;
}

namespace {

using namespace DirEntry;

struct Extent {
    int Count = 0;
    bool Rejected = false;
};

const uint8_t* At(const uint8_t* entries, int i) { return entries + size_t(i) * DIR_ENTRY_BYTES; }

// The entries from `at` that belong to one file: its long-name entries and the
// entry that ends them.
Extent TakeExtent(const uint8_t* entries, int at, int maxEntries)
{
    Extent x;
    for (int i = at; i < maxEntries; ++i) {
        const uint8_t* e = At(entries, i);
        if (IsEnd(e) || (e[11] & 0xC0)) break;
        ++x.Count;
        if (IsDeleted(e) || !IsLongName(e)) break;
    }
    if (x.Count == 0) return x;
    const uint8_t* first = At(entries, at);
    if (IsLongName(first) && first[0] <= 0x40) return Extent{1, true};
    // A long name has at most 20 entries; more cannot be a name of 255 characters.
    if (x.Count - 1 > MAX_LONG_NAME_ENTRIES) x.Rejected = true;
    return x;
}

bool OrdinalsFollow(const uint8_t* entries, int at, int n)
{
    if (At(entries, at)[0] != 0x40 + n - 1) return false;
    for (int k = 1; k < n - 1; ++k) {
        const uint8_t* e = At(entries, at + k);
        if (e[0] != n - 1 - k || !IsLongName(e)) return false;
    }
    return true;
}

bool IsBlankName(const uint8_t* e)
{
    for (int i = 0; i < 11; ++i)
        if (e[i] != ' ') return false;
    return true;
}

}  // namespace

int DirEntryList::Parse(const uint8_t* entries, int maxEntries)
{
    Groups.clear();
    NameIndexValid = false;
    UsedEntries = GroupCount = HasLabel = 0;
    std::memset(LabelEntry, 0, sizeof LabelEntry);
    Capacity = maxEntries;
    // Room for the most groups the entries can hold: only what is used is
    // ever touched, and the list never moves while it grows.
    Groups.reserve(size_t(maxEntries > 0 ? maxEntries : 0));
    int result = 1;
    int i = 0;
    while (i < maxEntries) {
        const Extent x = TakeExtent(entries, i, maxEntries);
        if (x.Count == 0) break;
        const uint8_t* last = At(entries, i + x.Count - 1);
        if (!IsDeleted(last) && Size(last) == 0xFFFFFFFFu) break;
        if (x.Count > 1 && !x.Rejected && !OrdinalsFollow(entries, i, x.Count)) break;
        if (!x.Rejected && !IsDeleted(last) && !IsLongName(last)) {
            if (IsVolumeLabel(last)) {
                // The first label is the one the file system shows; the
                // long-name entries of a label name nothing.
                if (!HasLabel) {
                    std::memcpy(LabelEntry, last, DIR_ENTRY_BYTES);
                    LabelEntry[11] = 0x28;
                    HasLabel = 1;
                    ++UsedEntries;
                }
            } else {
                DirEntryGroup group;
                group.Source = At(entries, i);
                group.SourceCount = x.Count;
                group.SourceIndex = i + x.Count - 1;
                if (UsedEntries + group.EntryCount() > Capacity) {
                    result = 0;
                    break;
                }
                UsedEntries += group.EntryCount();
                ++GroupCount;
                Groups.push_back(group);
            }
        }
        i += x.Count;
    }
    // Names are generated once every group is known, so that a generated name
    // never repeats one that stands later in the directory.
    ShortNameIndex names;
    for (const auto& g : Groups)
        if (!IsBlankName(g.ShortEntry())) names.Taken.insert(std::string(reinterpret_cast<const char*>(g.ShortEntry()), 11));
    for (auto& g : Groups)
        if (g.HasLongName() && IsBlankName(g.ShortEntry())) GiveShortName(g, &names);
    return result;
}

int DirEntryList::AddGroup(const DirEntryGroup& group)
{
    if (group.EntryCount() < 1 || UsedEntries + group.EntryCount() > Capacity) return 0;
    DirEntryGroup copy = group;
    if (copy.HasLongName() && IsBlankName(copy.ShortEntry())) GiveShortName(copy);
    UsedEntries += copy.EntryCount();
    ++GroupCount;
    Groups.push_back(std::move(copy));
    NameIndexValid = false;
    return 1;
}

int DirEntryList::RemoveAt(int index)
{
    if (index < 0 || index >= GroupCount) return 0;
    UsedEntries -= Groups[size_t(index)].EntryCount();
    --GroupCount;
    Groups.erase(Groups.begin() + index);
    NameIndexValid = false;
    return 1;
}

const DirEntryGroup* DirEntryList::GetGroup(int index) const
{
    if (index < 0 || index >= GroupCount) return nullptr;
    return &Groups[size_t(index)];
}

void DirEntryList::Serialise(uint8_t* buffer) const
{
    size_t at = 0;
    if (HasLabel) {
        std::memcpy(buffer, LabelEntry, DIR_ENTRY_BYTES);
        at += DIR_ENTRY_BYTES;
    }
    for (const auto& g : Groups) {
        const size_t bytes = size_t(g.EntryCount()) * DIR_ENTRY_BYTES;
        std::memcpy(buffer + at, g.Bytes(), bytes);
        at += bytes;
    }
}

namespace {

uint32_t HashUnits(const char16_t* units, size_t length)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < length; ++i) h = (h ^ units[i]) * 16777619u;
    return h;
}

}  // namespace

void DirEntryList::BuildNameIndex() const
{
    const size_t count = size_t(GroupCount);
    NamePool.clear();
    NamePool.reserve(count * 24);
    NameAt.assign(count + 1, 0);
    NameHash.assign(count, 0);
    NameNext.assign(count, -1);
    size_t buckets = 16;
    while (buckets < 2 * count) buckets <<= 1;
    NameBuckets.assign(buckets, -1);
    char16_t units[MAX_LONG_NAME + 1];
    for (size_t i = 0; i < count; ++i) {
        const size_t start = NamePool.size();
        const int length = DecodeLongName(Groups[i], units);
        if (length >= 0) {
            NamePool.insert(NamePool.end(), units, units + length);
        } else {
            const std::u16string name = ShortName(Groups[i].ShortEntry());
            NamePool.insert(NamePool.end(), name.begin(), name.end());
        }
        for (size_t k = start; k < NamePool.size(); ++k)
            if (NamePool[k] >= u'a' && NamePool[k] <= u'z') NamePool[k] = char16_t(NamePool[k] - 0x20);
        NameAt[i + 1] = uint32_t(NamePool.size());
        NameHash[i] = HashUnits(NamePool.data() + start, NamePool.size() - start);
    }
    // Chains are built from the last group back, so each runs in list order.
    for (size_t i = count; i-- > 0;) {
        int& head = NameBuckets[NameHash[i] & (buckets - 1)];
        NameNext[i] = head;
        head = int(i);
    }
    NameIndexValid = true;
}

int DirEntryList::FindByLongName(const char* name, int* index, const std::vector<bool>* taken) const
{
    if (!name || !*name) return 0;
    std::u16string wanted = CodePage.AnsiToUnicode(name);
    if (wanted.size() > 256) wanted.resize(256);
    wanted = FoldAscii(std::move(wanted));
    if (!NameIndexValid) BuildNameIndex();
    const uint32_t hash = HashUnits(wanted.data(), wanted.size());
    for (int i = NameBuckets[hash & (NameBuckets.size() - 1)]; i >= 0; i = NameNext[size_t(i)]) {
        const size_t at = NameAt[size_t(i)];
        if (NameHash[size_t(i)] != hash || NameAt[size_t(i) + 1] - at != wanted.size() ||
            std::memcmp(NamePool.data() + at, wanted.data(), wanted.size() * sizeof(char16_t)) != 0)
            continue;
        if (taken && size_t(i) < taken->size() && (*taken)[size_t(i)]) continue;
        if (index) *index = i;
        return 1;
    }
    return 0;
}

int DirEntryList::DecodeLongName(const DirEntryGroup& group, char16_t* units) const
{
    if (!group.HasLongName()) return -1;
    const uint8_t* bytes = group.Bytes();
    const uint8_t* sn = group.ShortEntry();
    if (!IsBlankName(sn)) {
        const uint8_t sum = ShortNameChecksum(sn);
        for (int k = 0; k + 1 < group.EntryCount(); ++k)
            if (bytes[size_t(k) * DIR_ENTRY_BYTES + 13] != sum) return -1;
    }
    static const int Pieces[3][2] = {{1, 5}, {14, 6}, {28, 2}};
    int length = 0;
    for (int k = group.EntryCount() - 2; k >= 0; --k) {
        const uint8_t* e = bytes + size_t(k) * DIR_ENTRY_BYTES;
        for (const auto& piece : Pieces) {
            for (int u = 0; u < piece[1]; ++u) {
                const char16_t c = char16_t(e[piece[0] + 2 * u] | (e[piece[0] + 2 * u + 1] << 8));
                if (c == 0 || length >= int(MAX_LONG_NAME)) return length;
                units[length++] = c;
            }
        }
    }
    return length;
}

std::u16string DirEntryList::GetLongName(const DirEntryGroup& group) const
{
    char16_t units[MAX_LONG_NAME + 1];
    const int length = DecodeLongName(group, units);
    if (length >= 0) return std::u16string(units, size_t(length));
    return ShortName(group.ShortEntry());
}

std::u16string DirEntryList::ShortName(const uint8_t* e) const
{
    std::string base(reinterpret_cast<const char*>(e), 8);
    std::string ext(reinterpret_cast<const char*>(e) + 8, 3);
    // 0x05 stands for a first byte 0xE5, which would read as deleted.
    if (!base.empty() && uint8_t(base[0]) == 0x05) base[0] = char(0xE5);
    // Windows lists a name with embedded blanks whole; only the padding goes.
    while (!base.empty() && base.back() == ' ') base.pop_back();
    while (!ext.empty() && ext.back() == ' ') ext.pop_back();
    std::u16string name = CodePage.OemToUnicode(base);
    // Names that fit 8.3 are often stored without a long name and with these
    // flags, and Windows lists them in lower case: that listed name is the one
    // callers pass.
    if (e[12] & 0x08) name = CodePage.ToLower(name);
    if (!ext.empty()) {
        std::u16string x = CodePage.OemToUnicode(ext);
        if (e[12] & 0x10) x = CodePage.ToLower(x);
        name += u'.';
        name += x;
    }
    return name;
}

bool DirEntryList::ShortNameTaken(const uint8_t* name11, const DirEntryGroup* except) const
{
    for (const auto& g : Groups)
        if (&g != except && std::memcmp(g.ShortEntry(), name11, 11) == 0) return true;
    return false;
}

void DirEntryList::GiveShortName(DirEntryGroup& group, ShortNameIndex* index) const
{
    const std::u16string longName = GetLongName(group);
    size_t dot = longName.rfind(u'.');
    if (dot == 0 || dot == std::u16string::npos) dot = std::u16string::npos;
    const std::u16string basePart = dot == std::u16string::npos ? longName : longName.substr(0, dot);
    const std::u16string extPart = dot == std::u16string::npos ? std::u16string() : longName.substr(dot + 1);

    auto form = [this](const std::u16string& text, size_t limit, bool skipDots) {
        std::string out;
        for (char16_t c : text) {
            if (c == u' ' || (skipDots && c == u'.')) continue;
            if (c == u'+' || c == u',' || c == u'.' || c == u';' || c == u'=' || c == u'[' || c == u']') {
                // A field already full takes no more: "song.mp3[" must not
                // spill a fourth character past the 11-byte name.
                if (out.size() >= limit) break;
                out.push_back('_');
                continue;
            }
            if (c >= u'a' && c <= u'z') c = char16_t(c - 0x20);
            std::string bytes = CodePage.UnicodeToOem(c);
            if (bytes.empty()) bytes = "_";
            if (out.size() + bytes.size() > limit) break;
            out += bytes;
        }
        return out;
    };
    std::string base = form(basePart, 8, true);
    const std::string ext = form(extPart, 3, false);
    if (base.empty()) base = "_";

    uint8_t name11[11];
    auto compose = [&](const std::string& b) {
        std::memset(name11, ' ', 11);
        std::memcpy(name11, b.data(), b.size());
        std::memcpy(name11 + 8, ext.data(), ext.size());
        if (name11[0] == 0xE5) name11[0] = 0x05;
    };
    // The group's own name is blank, so it never counts against a candidate.
    auto taken = [&]() {
        return index ? index->Taken.count(std::string(reinterpret_cast<const char*>(name11), 11)) != 0
                     : ShortNameTaken(name11, &group);
    };
    compose(base);
    if (taken()) {
        // Names are only ever added, so a tail once found taken stays taken.
        unsigned* next = index ? &index->NextTail[base + '\0' + ext] : nullptr;
        unsigned tail = next && *next > 1 ? *next : 1;
        for (; tail < 1000000; ++tail) {
            const std::string suffix = "~" + std::to_string(tail);
            compose(base.substr(0, 8 - suffix.size()) + suffix);
            if (!taken()) break;
        }
        if (next) *next = tail + 1;
    }
    if (index) index->Taken.insert(std::string(reinterpret_cast<const char*>(name11), 11));
    uint8_t* bytes = group.OwnBytes();
    std::memcpy(bytes + size_t(group.EntryCount() - 1) * DIR_ENTRY_BYTES, name11, 11);
    const uint8_t sum = ShortNameChecksum(name11);
    for (int k = 0; k + 1 < group.EntryCount(); ++k) bytes[size_t(k) * DIR_ENTRY_BYTES + 13] = sum;
}
