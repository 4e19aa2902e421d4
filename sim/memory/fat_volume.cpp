#include "fat_volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>

#include "fat_names.h"

namespace {

constexpr size_t kEntry = 32;
// A FAT directory holds at most 65536 entries; a longer chain is damage.
constexpr size_t kMaxDirectoryBytes = 65536 * kEntry;
constexpr int kMaxDepth = 64;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
void Put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

bool IsLongNameEntry(const uint8_t* e) { return (e[11] & 0x3F) == FAT_ATTR_LONG_NAME; }
bool IsDotEntry(const uint8_t* e)
{
    return e[0] == '.' && (std::memcmp(e, ".          ", 11) == 0 || std::memcmp(e, "..         ", 11) == 0);
}

time_t FromFatTime(uint16_t date, uint16_t time)
{
    if (date == 0)
        return 0;
    struct tm t = {};
    t.tm_year = 80 + (date >> 9);
    t.tm_mon = std::max(1, (date >> 5) & 0x0F) - 1;
    t.tm_mday = std::max(1, date & 0x1F);
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3F;
    t.tm_sec = (time & 0x1F) * 2;
    return timegm(&t);
}

void ToFatTime(time_t value, uint16_t* date, uint16_t* time)
{
    struct tm t = {};
    gmtime_r(&value, &t);
    if (t.tm_year < 80) {
        *date = (1 << 5) | 1;  // 1980-01-01, the earliest a FAT can hold
        *time = 0;
        return;
    }
    if (t.tm_year > 207) {
        *date = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        *time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);
        return;
    }
    *date = static_cast<uint16_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
    *time = static_cast<uint16_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
}

void StampModified(uint8_t* e, time_t now)
{
    uint16_t d, t;
    ToFatTime(now, &d, &t);
    Put16(e + 22, t);
    Put16(e + 24, d);
    Put16(e + 18, d);
}

void StampCreated(uint8_t* e, time_t now)
{
    uint16_t d, t;
    ToFatTime(now, &d, &t);
    e[13] = 0;
    Put16(e + 14, t);
    Put16(e + 16, d);
    StampModified(e, now);
}

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        if (j > i)
            parts.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

struct Session {
    explicit Session(IBlockStore& store) : Store(store) {}

    IBlockStore& Store;
    FatGeometry G;
    std::vector<uint8_t> Fat;
    std::set<uint32_t> DirtyFatSectors;

    int Load()
    {
        uint8_t boot[512];
        if (!Store.ReadAt(0, boot, sizeof boot))
            return -EIO;
        int r = ParseBootSector(boot, sizeof boot, Store.Size(), &G);
        if (r != 0)
            return r;
        // The FAT is only what the range checks in ParseBootSector promise;
        // most calls (a lookup in the root) never need it, so it is read on
        // first use.
        Fat.clear();
        return 0;
    }

    int LoadFat()
    {
        if (!Fat.empty())
            return 0;
        Fat.assign(static_cast<size_t>(G.SectorsPerFat) * G.BytesPerSector, 0);
        if (!Store.ReadAt(static_cast<uint64_t>(G.ReservedSectors) * G.BytesPerSector, Fat.data(), Fat.size())) {
            Fat.clear();
            return -EIO;
        }
        return 0;
    }

    uint32_t MaxCluster() const { return G.ClusterCount + 1; }
    uint32_t EndOfChain() const { return G.FatBits == 12 ? 0xFFF : 0xFFFF; }
    bool IsEnd(uint32_t v) const { return G.FatBits == 12 ? v >= 0xFF8 : v >= 0xFFF8; }

    uint32_t Next(uint32_t c) const
    {
        if (G.FatBits == 16)
            return Get16(&Fat[c * 2]);
        size_t off = c + c / 2;
        uint32_t w = Get16(&Fat[off]);
        return (c & 1) ? (w >> 4) : (w & 0xFFF);
    }

    void SetNext(uint32_t c, uint32_t v)
    {
        if (Fat.empty() && LoadFat() != 0)
            return;  // every caller walked or allocated first, so this never happens
        size_t off;
        if (G.FatBits == 16) {
            off = c * 2;
            Put16(&Fat[off], v);
        } else {
            off = c + c / 2;
            uint32_t w = Get16(&Fat[off]);
            w = (c & 1) ? ((w & 0x000F) | (v << 4)) : ((w & 0xF000) | (v & 0xFFF));
            Put16(&Fat[off], w);
        }
        DirtyFatSectors.insert(static_cast<uint32_t>(off / G.BytesPerSector));
        DirtyFatSectors.insert(static_cast<uint32_t>((off + 1) / G.BytesPerSector));
    }

    // The whole chain, or its first `limit` clusters (a read needs no more).
    int Chain(uint32_t first, std::vector<uint32_t>* out, size_t limit = SIZE_MAX) const
    {
        out->clear();
        if (first == 0 || limit == 0)
            return 0;
        if (const_cast<Session*>(this)->LoadFat() != 0)
            return -EIO;
        std::vector<bool> seen(MaxCluster() + 1, false);
        uint32_t c = first;
        for (;;) {
            if (c < 2 || c > MaxCluster() || seen[c])
                return -EIO;  // out of range, free, bad, or a loop
            seen[c] = true;
            out->push_back(c);
            if (out->size() == limit)
                return 0;
            uint32_t v = Next(c);
            if (IsEnd(v))
                return 0;
            c = v;
        }
    }

    uint32_t FreeClusters()
    {
        if (LoadFat() != 0)
            return 0;
        uint32_t n = 0;
        for (uint32_t c = 2; c <= MaxCluster(); ++c)
            if (Next(c) == 0)
                ++n;
        return n;
    }

    // Claims n free clusters as one chain, in memory only until FlushFat.
    int Allocate(uint32_t n, std::vector<uint32_t>* out)
    {
        out->clear();
        if (LoadFat() != 0)
            return -EIO;
        for (uint32_t c = 2; c <= MaxCluster() && out->size() < n; ++c)
            if (Next(c) == 0)
                out->push_back(c);
        if (out->size() < n) {
            out->clear();
            return -ENOSPC;
        }
        for (size_t i = 0; i < out->size(); ++i)
            SetNext((*out)[i], i + 1 < out->size() ? (*out)[i + 1] : EndOfChain());
        return 0;
    }

    int FlushFat()
    {
        for (uint32_t sector : DirtyFatSectors) {
            if (sector >= G.SectorsPerFat)
                continue;
            for (uint32_t copy = 0; copy < G.FatCount; ++copy) {
                uint64_t at = (static_cast<uint64_t>(G.ReservedSectors) + copy * G.SectorsPerFat + sector) * G.BytesPerSector;
                if (!Store.WriteAt(at, &Fat[static_cast<size_t>(sector) * G.BytesPerSector], G.BytesPerSector))
                    return -EIO;
            }
        }
        DirtyFatSectors.clear();
        return 0;
    }

    uint64_t ClusterOffset(uint32_t c) const
    {
        return (static_cast<uint64_t>(G.FirstDataSector) + static_cast<uint64_t>(c - 2) * G.SectorsPerCluster) *
               G.BytesPerSector;
    }

    int WriteZeros(uint32_t c)
    {
        std::vector<uint8_t> zero(G.ClusterBytes, 0);
        return Store.WriteAt(ClusterOffset(c), zero.data(), zero.size()) ? 0 : -EIO;
    }

    // Copies n bytes at file position pos through the chain (data or zeros).
    int WriteRange(const std::vector<uint32_t>& chain, uint64_t pos, const uint8_t* data, uint64_t n)
    {
        std::vector<uint8_t> zeros;
        while (n > 0) {
            size_t index = static_cast<size_t>(pos / G.ClusterBytes);
            uint32_t within = static_cast<uint32_t>(pos % G.ClusterBytes);
            uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(n, G.ClusterBytes - within));
            if (index >= chain.size())
                return -EIO;
            const uint8_t* src = data;
            if (!data) {
                zeros.assign(chunk, 0);
                src = zeros.data();
            }
            if (!Store.WriteAt(ClusterOffset(chain[index]) + within, src, chunk))
                return -EIO;
            pos += chunk;
            n -= chunk;
            if (data)
                data += chunk;
        }
        return 0;
    }
};

struct Dir {
    uint32_t Cluster = 0;  // 0 is the root directory
    std::vector<uint32_t> Clusters;
    std::vector<uint8_t> Bytes;
    size_t Count() const { return Bytes.size() / kEntry; }
    uint8_t* Entry(size_t i) { return &Bytes[i * kEntry]; }
    const uint8_t* Entry(size_t i) const { return &Bytes[i * kEntry]; }
};

int LoadDir(Session& s, uint32_t cluster, Dir* dir)
{
    dir->Cluster = cluster;
    dir->Clusters.clear();
    if (cluster == 0) {
        dir->Bytes.assign(static_cast<size_t>(s.G.RootEntries) * kEntry, 0);
        return s.Store.ReadAt(static_cast<uint64_t>(s.G.FirstRootSector) * s.G.BytesPerSector, dir->Bytes.data(),
                              dir->Bytes.size())
                   ? 0
                   : -EIO;
    }
    int r = s.Chain(cluster, &dir->Clusters);
    if (r != 0)
        return r;
    if (dir->Clusters.size() * static_cast<uint64_t>(s.G.ClusterBytes) > kMaxDirectoryBytes)
        return -EIO;
    dir->Bytes.assign(dir->Clusters.size() * s.G.ClusterBytes, 0);
    for (size_t i = 0; i < dir->Clusters.size(); ++i)
        if (!s.Store.ReadAt(s.ClusterOffset(dir->Clusters[i]), &dir->Bytes[i * s.G.ClusterBytes], s.G.ClusterBytes))
            return -EIO;
    return 0;
}

uint64_t EntryOffset(const Session& s, const Dir& dir, size_t i)
{
    uint64_t byte = i * kEntry;
    if (dir.Cluster == 0)
        return static_cast<uint64_t>(s.G.FirstRootSector) * s.G.BytesPerSector + byte;
    return s.ClusterOffset(dir.Clusters[byte / s.G.ClusterBytes]) + byte % s.G.ClusterBytes;
}

int WriteEntries(Session& s, const Dir& dir, size_t first, size_t count)
{
    for (size_t i = first; i < first + count; ++i)
        if (!s.Store.WriteAt(EntryOffset(s, dir, i), dir.Entry(i), kEntry))
            return -EIO;
    return 0;
}

struct Item {
    size_t First = 0;  // first long-name entry, or the 8.3 entry itself
    size_t Index = 0;  // the 8.3 entry
    std::string Name;
    std::string Short;
};

std::string Printable(std::string name)
{
    // Names reach Linux as path components: no '/' and no NUL in them.
    for (auto& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    return name.empty() ? std::string("_") : name;
}

void ParseDir(const Dir& dir, std::vector<Item>* items, long* labelIndex)
{
    items->clear();
    if (labelIndex)
        *labelIndex = -1;
    std::u16string longName;
    bool inSequence = false;
    unsigned expect = 0;
    uint8_t checksum = 0;
    size_t sequenceStart = 0;
    for (size_t i = 0; i < dir.Count(); ++i) {
        const uint8_t* e = dir.Entry(i);
        if (e[0] == 0x00)
            break;
        if (e[0] == 0xE5) {
            inSequence = false;
            continue;
        }
        if (IsLongNameEntry(e)) {
            unsigned ordinal = e[0] & 0x1F;
            if (e[0] & 0x40) {
                if (ordinal == 0 || ordinal > 20) {
                    inSequence = false;
                    continue;
                }
                inSequence = true;
                expect = ordinal;
                checksum = e[13];
                sequenceStart = i;
                longName.assign(ordinal * 13, u'\0');
            } else if (!inSequence || ordinal != expect || e[13] != checksum || (e[0] & 0x80)) {
                inSequence = false;
                continue;
            }
            static const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
            for (int k = 0; k < 13; ++k)
                longName[(expect - 1) * 13 + k] = static_cast<char16_t>(Get16(e + offsets[k]));
            --expect;
            continue;
        }
        if (e[11] & FAT_ATTR_VOLUME) {
            if (labelIndex && *labelIndex < 0)
                *labelIndex = static_cast<long>(i);
            inSequence = false;
            continue;
        }
        if (IsDotEntry(e)) {
            inSequence = false;
            continue;
        }
        Item item;
        item.Index = i;
        item.First = i;
        item.Short = ShortNameText(e);
        item.Name = item.Short;
        if (inSequence && expect == 0 && ShortNameChecksum(e) == checksum) {
            size_t end = longName.find(u'\0');
            std::u16string name = longName.substr(0, end);
            size_t pad = name.find(u'\xFFFF');
            if (pad != std::u16string::npos)
                name.resize(pad);
            if (!name.empty()) {
                item.Name = Utf16ToUtf8(name);
                item.First = sequenceStart;
            }
        }
        item.Name = Printable(item.Name);
        item.Short = Printable(item.Short);
        items->push_back(item);
        inSequence = false;
    }
}

const Item* FindItem(const std::vector<Item>& items, const std::string& name)
{
    for (const auto& item : items)
        if (SameName(item.Name, name))
            return &item;
    for (const auto& item : items)
        if (SameName(item.Short, name))
            return &item;
    return nullptr;
}

FatNode NodeOf(const Item& item, const uint8_t* e)
{
    FatNode n;
    n.Name = item.Name;
    n.ShortName = item.Short;
    n.Attributes = e[11];
    n.Size = (e[11] & FAT_ATTR_DIRECTORY) ? 0 : Get32(e + 28);
    n.FirstCluster = Get16(e + 26);
    n.Modified = FromFatTime(Get16(e + 24), Get16(e + 22));
    n.Accessed = FromFatTime(Get16(e + 18), 0);
    n.Created = FromFatTime(Get16(e + 16), Get16(e + 14));
    return n;
}

// Where a path leads: the directory holding it and its entries there.
struct Loc {
    bool IsRoot = false;
    Dir Parent;
    Item Found;
    uint8_t* Entry() { return Parent.Entry(Found.Index); }
};

int ResolveDirCluster(Session& s, const std::vector<std::string>& parts, size_t count, uint32_t* cluster)
{
    uint32_t cur = 0;
    for (size_t i = 0; i < count; ++i) {
        Dir dir;
        int r = LoadDir(s, cur, &dir);
        if (r != 0)
            return r;
        std::vector<Item> items;
        ParseDir(dir, &items, nullptr);
        const Item* item = FindItem(items, parts[i]);
        if (!item)
            return -ENOENT;
        const uint8_t* e = dir.Entry(item->Index);
        if (!(e[11] & FAT_ATTR_DIRECTORY))
            return -ENOTDIR;
        cur = Get16(e + 26);
        if (cur == 0)
            return -EIO;  // a subdirectory always has a cluster
    }
    *cluster = cur;
    return 0;
}

int Resolve(Session& s, const std::string& path, Loc* loc)
{
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) {
        loc->IsRoot = true;
        return 0;
    }
    uint32_t parent;
    int r = ResolveDirCluster(s, parts, parts.size() - 1, &parent);
    if (r != 0)
        return r;
    r = LoadDir(s, parent, &loc->Parent);
    if (r != 0)
        return r;
    std::vector<Item> items;
    ParseDir(loc->Parent, &items, nullptr);
    const Item* item = FindItem(items, parts.back());
    if (!item)
        return -ENOENT;
    loc->Found = *item;
    return 0;
}

// The directory that would hold a new entry at `path`, and the new name.
int ResolveParent(Session& s, const std::string& path, uint32_t* parent, std::string* name)
{
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty())
        return -EEXIST;
    int r = CheckLongName(parts.back());
    if (r != 0)
        return r;
    *name = parts.back();
    return ResolveDirCluster(s, parts, parts.size() - 1, parent);
}

// Where a new entry at `path` goes: its directory and name, or -EEXIST when
// something already stands there.
int ResolveNew(Session& s, const std::string& path, uint32_t* parent, std::string* name)
{
    int r = ResolveParent(s, path, parent, name);
    if (r != 0)
        return r;
    Loc existing;
    r = Resolve(s, path, &existing);
    if (r == 0)
        return -EEXIST;
    return r == -ENOENT ? 0 : r;
}

// First of `n` consecutive free entries; -1 when the directory must grow.
long FindFreeRun(const Dir& dir, size_t n)
{
    size_t runStart = 0, runLength = 0;
    for (size_t i = 0; i < dir.Count(); ++i) {
        uint8_t first = dir.Entry(i)[0];
        if (first == 0x00) {
            size_t start = runLength ? runStart : i;
            return dir.Count() - start >= n ? static_cast<long>(start) : -1;
        }
        if (first == 0xE5) {
            if (runLength == 0)
                runStart = i;
            if (++runLength == n)
                return static_cast<long>(runStart);
        } else {
            runLength = 0;
        }
    }
    return -1;
}

// Writes the entries of a new name into `dirCluster`, growing a subdirectory
// when it is full. `entry` is the 8.3 entry without its name. The FAT (with
// whatever the caller claimed in memory) is written before the entries, so a
// refusal leaves the image untouched and a crash leaves at worst lost clusters.
int InsertGroup(Session& s, uint32_t dirCluster, const std::string& name, const uint8_t* entry, long ignoreIndex,
                size_t* shortIndex)
{
    Dir dir;
    int r = LoadDir(s, dirCluster, &dir);
    if (r != 0)
        return r;
    std::set<ShortName> taken;
    for (size_t i = 0; i < dir.Count(); ++i) {
        const uint8_t* e = dir.Entry(i);
        if (e[0] == 0x00)
            break;
        if (e[0] != 0xE5 && !IsLongNameEntry(e) && static_cast<long>(i) != ignoreIndex)
            taken.insert(ShortName(reinterpret_cast<const char*>(e), 11));
    }
    bool needsLongName = false;
    ShortName shortName = MakeShortName(name, taken, &needsLongName);
    if (shortName.size() != 11)
        return -ENOSPC;
    std::u16string wide;
    Utf8ToUtf16(name, &wide);
    size_t longEntries = needsLongName ? (wide.size() + 12) / 13 : 0;
    size_t n = longEntries + 1;

    long start = FindFreeRun(dir, n);
    if (start < 0) {
        if (dirCluster == 0)
            return -ENOSPC;  // the root directory has a fixed size
        size_t tail = dir.Count();
        while (tail > 0 && (dir.Entry(tail - 1)[0] == 0xE5 || dir.Entry(tail - 1)[0] == 0x00))
            --tail;
        size_t needBytes = (tail + n) * kEntry - dir.Bytes.size();
        uint32_t extra = static_cast<uint32_t>((needBytes + s.G.ClusterBytes - 1) / s.G.ClusterBytes);
        if (dir.Bytes.size() + static_cast<uint64_t>(extra) * s.G.ClusterBytes > kMaxDirectoryBytes)
            return -ENOSPC;
        std::vector<uint32_t> fresh;
        r = s.Allocate(extra, &fresh);
        if (r != 0)
            return r;
        for (uint32_t c : fresh) {
            r = s.WriteZeros(c);
            if (r != 0)
                return r;
        }
        s.SetNext(dir.Clusters.back(), fresh[0]);
        dir.Clusters.insert(dir.Clusters.end(), fresh.begin(), fresh.end());
        dir.Bytes.resize(dir.Clusters.size() * s.G.ClusterBytes, 0);
        start = static_cast<long>(tail);
    }
    r = s.FlushFat();
    if (r != 0)
        return r;

    size_t at = static_cast<size_t>(start);
    // A run that reaches the end marker must end with one again, or stale
    // entries behind the old marker would come to life.
    bool intoTail = false;
    for (size_t i = at; i < at + n; ++i)
        if (dir.Entry(i)[0] == 0x00)
            intoTail = true;
    uint8_t sum = ShortNameChecksum(reinterpret_cast<const uint8_t*>(shortName.data()));
    for (size_t k = 0; k < longEntries; ++k) {
        uint8_t* e = dir.Entry(at + k);
        std::memset(e, 0, kEntry);
        unsigned ordinal = static_cast<unsigned>(longEntries - k);
        e[0] = static_cast<uint8_t>(ordinal | (k == 0 ? 0x40 : 0));
        e[11] = FAT_ATTR_LONG_NAME;
        e[13] = sum;
        static const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int j = 0; j < 13; ++j) {
            size_t pos = (ordinal - 1) * 13 + j;
            uint16_t c = pos < wide.size() ? wide[pos] : (pos == wide.size() ? 0x0000 : 0xFFFF);
            Put16(e + offsets[j], c);
        }
    }
    uint8_t* e = dir.Entry(at + longEntries);
    std::memcpy(e, entry, kEntry);
    std::memcpy(e, shortName.data(), 11);
    e[12] = 0;
    size_t written = n;
    if (!intoTail || at + n >= dir.Count()) {
        // nothing to do after the group
    } else if (dir.Entry(at + n)[0] != 0x00) {
        std::memset(dir.Entry(at + n), 0, kEntry);
        ++written;
    }
    r = WriteEntries(s, dir, at, written);
    if (r != 0)
        return r;
    *shortIndex = at + longEntries;
    return 0;
}

int MarkDeleted(Session& s, uint32_t dirCluster, size_t first, size_t last)
{
    Dir dir;
    int r = LoadDir(s, dirCluster, &dir);
    if (r != 0)
        return r;
    if (last >= dir.Count())
        return -EIO;
    for (size_t i = first; i <= last; ++i)
        dir.Entry(i)[0] = 0xE5;
    return WriteEntries(s, dir, first, last - first + 1);
}

int FreeChain(Session& s, uint32_t first)
{
    std::vector<uint32_t> chain;
    int r = s.Chain(first, &chain);
    if (r != 0)
        return r;
    for (uint32_t c : chain)
        s.SetNext(c, 0);
    return 0;
}

bool DirectoryIsEmpty(const Dir& dir)
{
    for (size_t i = 0; i < dir.Count(); ++i) {
        const uint8_t* e = dir.Entry(i);
        if (e[0] == 0x00)
            break;
        if (e[0] == 0xE5 || IsLongNameEntry(e) || IsDotEntry(e))
            continue;
        return false;
    }
    return true;
}

int VerifyTree(Session& s, uint32_t cluster, int depth, std::vector<uint8_t>* used)
{
    if (depth > kMaxDepth)
        return -EIO;
    Dir dir;
    int r = LoadDir(s, cluster, &dir);
    if (r != 0)
        return r;
    for (uint32_t c : dir.Clusters) {
        if ((*used)[c])
            return -EIO;
        (*used)[c] = 1;
    }
    for (size_t i = 0; i < dir.Count(); ++i) {
        const uint8_t* e = dir.Entry(i);
        if (e[0] == 0x00)
            break;
        if (e[0] == 0xE5 || IsLongNameEntry(e) || IsDotEntry(e) || (e[11] & FAT_ATTR_VOLUME))
            continue;
        uint32_t first = Get16(e + 26);
        if (e[11] & FAT_ATTR_DIRECTORY) {
            if (first == 0)
                return -EIO;
            r = VerifyTree(s, first, depth + 1, used);
            if (r != 0)
                return r;
            continue;
        }
        std::vector<uint32_t> chain;
        r = s.Chain(first, &chain);
        if (r != 0)
            return r;
        if (static_cast<uint64_t>(chain.size()) * s.G.ClusterBytes < Get32(e + 28))
            return -EIO;
        for (uint32_t c : chain) {
            if ((*used)[c])
                return -EIO;  // cross-linked
            (*used)[c] = 1;
        }
    }
    return 0;
}

int LoadFile(Session& s, const std::string& path, Loc* loc, std::vector<uint32_t>* chain)
{
    int r = s.Load();
    if (r != 0)
        return r;
    r = Resolve(s, path, loc);
    if (r != 0)
        return r;
    if (loc->IsRoot || (loc->Entry()[11] & FAT_ATTR_DIRECTORY))
        return -EISDIR;
    r = s.Chain(Get16(loc->Entry() + 26), chain);
    if (r != 0)
        return r;
    if (static_cast<uint64_t>(chain->size()) * s.G.ClusterBytes < Get32(loc->Entry() + 28))
        return -EIO;
    return 0;
}

}  // namespace

int ParseBootSector(const uint8_t* b, size_t size, uint64_t imageSize, FatGeometry* g)
{
    *g = FatGeometry();
    if (size < 512 || b[510] != 0x55 || b[511] != 0xAA)
        return -EIO;
    uint32_t bps = Get16(b + 11);
    uint32_t spc = b[13];
    if (bps != 512 && bps != 1024 && bps != 2048 && bps != 4096)
        return -EIO;
    if (spc == 0 || (spc & (spc - 1)) != 0 || spc * bps > 65536)
        return -EIO;
    uint32_t reserved = Get16(b + 14);
    uint32_t fats = b[16];
    uint32_t rootEntries = Get16(b + 17);
    uint32_t total = Get16(b + 19) ? Get16(b + 19) : Get32(b + 32);
    uint32_t spf = Get16(b + 22);
    if (reserved == 0 || fats == 0 || fats > 4 || rootEntries == 0 || spf == 0)
        return -EIO;
    uint32_t rootSectors = (rootEntries * 32 + bps - 1) / bps;
    uint64_t firstRoot = reserved + static_cast<uint64_t>(fats) * spf;
    uint64_t firstData = firstRoot + rootSectors;
    if (total <= firstData || static_cast<uint64_t>(total) * bps > imageSize)
        return -EIO;
    uint32_t clusters = static_cast<uint32_t>((total - firstData) / spc);
    if (clusters == 0 || clusters >= 65525)
        return -EIO;  // FAT32 and larger are not player memories
    uint32_t bits = clusters < 4085 ? 12 : 16;
    uint64_t fatBytes = bits == 12 ? ((clusters + 2) * 3ull + 1) / 2 : (clusters + 2) * 2ull;
    if (fatBytes + 1 > static_cast<uint64_t>(spf) * bps)
        return -EIO;
    g->BytesPerSector = bps;
    g->SectorsPerCluster = spc;
    g->ReservedSectors = reserved;
    g->FatCount = fats;
    g->RootEntries = rootEntries;
    g->SectorsPerFat = spf;
    g->TotalSectors = total;
    g->FirstRootSector = static_cast<uint32_t>(firstRoot);
    g->RootSectors = rootSectors;
    g->FirstDataSector = static_cast<uint32_t>(firstData);
    g->ClusterCount = clusters;
    g->ClusterBytes = spc * bps;
    g->FatBits = bits;
    g->HasExtendedBootRecord = b[38] == 0x29;
    return 0;
}

int CFatVolume::Verify()
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    std::vector<uint8_t> used(s.G.ClusterCount + 2, 0);
    return VerifyTree(s, 0, 0, &used);
}

int CFatVolume::Stat(const std::string& path, FatNode* node)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Loc loc;
    r = Resolve(s, path, &loc);
    if (r != 0)
        return r;
    if (loc.IsRoot) {
        *node = FatNode();
        node->Attributes = FAT_ATTR_DIRECTORY;
        return 0;
    }
    *node = NodeOf(loc.Found, loc.Entry());
    return 0;
}

int CFatVolume::List(const std::string& path, std::vector<FatNode>* nodes)
{
    nodes->clear();
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    uint32_t cluster;
    std::vector<std::string> parts = SplitPath(path);
    r = ResolveDirCluster(s, parts, parts.size(), &cluster);
    if (r != 0)
        return r;
    Dir dir;
    r = LoadDir(s, cluster, &dir);
    if (r != 0)
        return r;
    std::vector<Item> items;
    ParseDir(dir, &items, nullptr);
    for (const auto& item : items)
        nodes->push_back(NodeOf(item, dir.Entry(item.Index)));
    return 0;
}

int CFatVolume::Read(const std::string& path, uint64_t offset, size_t size, std::vector<uint8_t>* data)
{
    data->clear();
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Loc loc;
    r = Resolve(s, path, &loc);
    if (r != 0)
        return r;
    if (loc.IsRoot || (loc.Entry()[11] & FAT_ATTR_DIRECTORY))
        return -EISDIR;
    uint64_t fileSize = Get32(loc.Entry() + 28);
    if (offset >= fileSize || size == 0)
        return 0;
    uint64_t n = std::min<uint64_t>(size, fileSize - offset);
    // Only the clusters up to the end of the read are walked: reading a large
    // file piece by piece stays linear.
    size_t need = static_cast<size_t>((offset + n + s.G.ClusterBytes - 1) / s.G.ClusterBytes);
    std::vector<uint32_t> chain;
    r = s.Chain(Get16(loc.Entry() + 26), &chain, need);
    if (r != 0)
        return r;
    if (chain.size() < need)
        return -EIO;  // the file claims more than its chain holds
    data->resize(static_cast<size_t>(n));
    uint64_t done = 0;
    while (done < n) {
        uint64_t pos = offset + done;
        size_t index = static_cast<size_t>(pos / s.G.ClusterBytes);
        uint32_t within = static_cast<uint32_t>(pos % s.G.ClusterBytes);
        uint64_t chunk = std::min<uint64_t>(n - done, s.G.ClusterBytes - within);
        // Consecutive clusters are read in one piece.
        while (done + chunk < n && index + 1 < chain.size() && chain[index + 1] == chain[index] + 1) {
            ++index;
            chunk = std::min<uint64_t>(n - done, chunk + s.G.ClusterBytes);
        }
        if (!Store.ReadAt(s.ClusterOffset(chain[static_cast<size_t>(pos / s.G.ClusterBytes)]) + within,
                          data->data() + done, static_cast<size_t>(chunk)))
            return -EIO;
        done += chunk;
    }
    return static_cast<int>(n);
}

int CFatVolume::Write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size)
{
    Session s(Store);
    Loc loc;
    std::vector<uint32_t> chain;
    int r = LoadFile(s, path, &loc, &chain);
    if (r != 0)
        return r;
    if (size == 0)
        return 0;
    if (size > 0x7FFFFFFF || offset + size > 0xFFFFFFFFull)
        return -EFBIG;
    uint8_t* e = loc.Entry();
    uint64_t oldSize = Get32(e + 28);
    uint64_t end = offset + size;
    uint64_t newSize = std::max(oldSize, end);
    uint64_t need = (newSize + s.G.ClusterBytes - 1) / s.G.ClusterBytes;
    if (need > chain.size()) {
        std::vector<uint32_t> fresh;
        r = s.Allocate(static_cast<uint32_t>(need - chain.size()), &fresh);
        if (r != 0)
            return r;
        if (!chain.empty())
            s.SetNext(chain.back(), fresh[0]);
        chain.insert(chain.end(), fresh.begin(), fresh.end());
    }
    // Data first, then the FAT that claims it, then the entry that sizes it.
    if (offset > oldSize) {
        r = s.WriteRange(chain, oldSize, nullptr, offset - oldSize);
        if (r != 0)
            return r;
    }
    r = s.WriteRange(chain, offset, data, size);
    if (r != 0)
        return r;
    r = s.FlushFat();
    if (r != 0)
        return r;
    Put16(e + 26, chain.empty() ? 0 : chain[0]);
    Put32(e + 28, static_cast<uint32_t>(newSize));
    e[11] |= FAT_ATTR_ARCHIVE;
    StampModified(e, time(nullptr));
    r = WriteEntries(s, loc.Parent, loc.Found.Index, 1);
    return r != 0 ? r : static_cast<int>(size);
}

int CFatVolume::Resize(const std::string& path, uint64_t size)
{
    Session s(Store);
    Loc loc;
    std::vector<uint32_t> chain;
    int r = LoadFile(s, path, &loc, &chain);
    if (r != 0)
        return r;
    if (size > 0xFFFFFFFFull)
        return -EFBIG;
    uint8_t* e = loc.Entry();
    uint64_t oldSize = Get32(e + 28);
    uint64_t need = (size + s.G.ClusterBytes - 1) / s.G.ClusterBytes;
    e[11] |= FAT_ATTR_ARCHIVE;
    StampModified(e, time(nullptr));
    if (need > chain.size()) {
        std::vector<uint32_t> fresh;
        r = s.Allocate(static_cast<uint32_t>(need - chain.size()), &fresh);
        if (r != 0)
            return r;
        if (!chain.empty())
            s.SetNext(chain.back(), fresh[0]);
        chain.insert(chain.end(), fresh.begin(), fresh.end());
    }
    if (size > oldSize) {
        r = s.WriteRange(chain, oldSize, nullptr, size - oldSize);
        if (r != 0)
            return r;
        r = s.FlushFat();
        if (r != 0)
            return r;
        Put16(e + 26, chain.empty() ? 0 : chain[0]);
        Put32(e + 28, static_cast<uint32_t>(size));
        return WriteEntries(s, loc.Parent, loc.Found.Index, 1);
    }
    // Shrinking: the entry lets go of the clusters before the FAT frees them.
    Put32(e + 28, static_cast<uint32_t>(size));
    if (need == 0)
        Put16(e + 26, 0);
    r = WriteEntries(s, loc.Parent, loc.Found.Index, 1);
    if (r != 0)
        return r;
    if (need < chain.size()) {
        if (need > 0)
            s.SetNext(chain[need - 1], s.EndOfChain());
        for (size_t i = need; i < chain.size(); ++i)
            s.SetNext(chain[i], 0);
    }
    return s.FlushFat();
}

int CFatVolume::CreateFile(const std::string& path, uint8_t attributes)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    uint32_t parent;
    std::string name;
    r = ResolveNew(s, path, &parent, &name);
    if (r != 0)
        return r;
    uint8_t e[kEntry] = {};
    e[11] = static_cast<uint8_t>(FAT_ATTR_ARCHIVE |
                                 (attributes & (FAT_ATTR_READONLY | FAT_ATTR_HIDDEN | FAT_ATTR_SYSTEM)));
    StampCreated(e, time(nullptr));
    size_t index;
    return InsertGroup(s, parent, name, e, -1, &index);
}

int CFatVolume::MakeDirectory(const std::string& path)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    uint32_t parent;
    std::string name;
    r = ResolveNew(s, path, &parent, &name);
    if (r != 0)
        return r;
    std::vector<uint32_t> cluster;
    r = s.Allocate(1, &cluster);
    if (r != 0)
        return r;
    time_t now = time(nullptr);
    // The new directory's cluster is filled while still free on disk; the FAT
    // claims it together with the parent's entry.
    std::vector<uint8_t> block(s.G.ClusterBytes, 0);
    uint8_t* dot = block.data();
    std::memcpy(dot, ".          ", 11);
    dot[11] = FAT_ATTR_DIRECTORY;
    StampCreated(dot, now);
    Put16(dot + 26, cluster[0]);
    uint8_t* dotdot = block.data() + kEntry;
    std::memcpy(dotdot, "..         ", 11);
    dotdot[11] = FAT_ATTR_DIRECTORY;
    StampCreated(dotdot, now);
    Put16(dotdot + 26, parent);
    if (!Store.WriteAt(s.ClusterOffset(cluster[0]), block.data(), block.size()))
        return -EIO;
    uint8_t e[kEntry] = {};
    e[11] = FAT_ATTR_DIRECTORY;
    StampCreated(e, now);
    Put16(e + 26, cluster[0]);
    size_t index;
    return InsertGroup(s, parent, name, e, -1, &index);
}

int CFatVolume::RemoveFile(const std::string& path)
{
    Session s(Store);
    Loc loc;
    std::vector<uint32_t> chain;
    int r = LoadFile(s, path, &loc, &chain);
    if (r != 0)
        return r;
    r = MarkDeleted(s, loc.Parent.Cluster, loc.Found.First, loc.Found.Index);
    if (r != 0)
        return r;
    for (uint32_t c : chain)
        s.SetNext(c, 0);
    return s.FlushFat();
}

int CFatVolume::RemoveDirectory(const std::string& path)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Loc loc;
    r = Resolve(s, path, &loc);
    if (r != 0)
        return r;
    if (loc.IsRoot)
        return -EBUSY;
    if (!(loc.Entry()[11] & FAT_ATTR_DIRECTORY))
        return -ENOTDIR;
    uint32_t first = Get16(loc.Entry() + 26);
    if (first == 0)
        return -EIO;
    Dir dir;
    r = LoadDir(s, first, &dir);
    if (r != 0)
        return r;
    if (!DirectoryIsEmpty(dir))
        return -ENOTEMPTY;
    r = MarkDeleted(s, loc.Parent.Cluster, loc.Found.First, loc.Found.Index);
    if (r != 0)
        return r;
    for (uint32_t c : dir.Clusters)
        s.SetNext(c, 0);
    return s.FlushFat();
}

int CFatVolume::Rename(const std::string& from, const std::string& to, bool replace)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Loc src;
    r = Resolve(s, from, &src);
    if (r != 0)
        return r;
    if (src.IsRoot)
        return -EBUSY;
    uint32_t parent;
    std::string name;
    r = ResolveParent(s, to, &parent, &name);
    if (r != 0)
        return r;
    uint8_t srcEntry[kEntry];
    std::memcpy(srcEntry, src.Entry(), kEntry);
    bool srcIsDir = (srcEntry[11] & FAT_ATTR_DIRECTORY) != 0;
    uint32_t srcCluster = Get16(srcEntry + 26);

    if (srcIsDir) {
        // A folder cannot move into itself or below it.
        std::vector<std::string> parts = SplitPath(to);
        for (size_t k = 1; k < parts.size(); ++k) {
            uint32_t c;
            if (ResolveDirCluster(s, parts, k, &c) == 0 && c == srcCluster)
                return -EINVAL;
        }
    }

    Loc dst;
    r = Resolve(s, to, &dst);
    if (r != 0 && r != -ENOENT)
        return r;
    bool sameEntry = r == 0 && dst.Parent.Cluster == src.Parent.Cluster && dst.Found.Index == src.Found.Index;
    bool targetExists = r == 0 && !sameEntry;
    if (sameEntry && dst.Found.Name == name)
        return 0;
    uint8_t dstEntry[kEntry] = {};
    Item dstItem;
    uint32_t dstDirCluster = 0;
    if (targetExists) {
        if (!replace)
            return -EEXIST;
        std::memcpy(dstEntry, dst.Entry(), kEntry);
        dstItem = dst.Found;
        dstDirCluster = dst.Parent.Cluster;
        bool dstIsDir = (dstEntry[11] & FAT_ATTR_DIRECTORY) != 0;
        if (srcIsDir && !dstIsDir)
            return -ENOTDIR;
        if (!srcIsDir && dstIsDir)
            return -EISDIR;
        if (dstIsDir) {
            Dir d;
            r = LoadDir(s, Get16(dstEntry + 26), &d);
            if (r != 0)
                return r;
            if (!DirectoryIsEmpty(d))
                return -ENOTEMPTY;
        }
    }

    size_t index;
    long ignore = (sameEntry || parent == src.Parent.Cluster) ? static_cast<long>(src.Found.Index) : -1;
    r = InsertGroup(s, parent, name, srcEntry, ignore, &index);
    if (r != 0)
        return r;
    r = MarkDeleted(s, src.Parent.Cluster, src.Found.First, src.Found.Index);
    if (r != 0)
        return r;
    if (targetExists) {
        r = MarkDeleted(s, dstDirCluster, dstItem.First, dstItem.Index);
        if (r != 0)
            return r;
        r = FreeChain(s, Get16(dstEntry + 26));
        if (r != 0)
            return r;
        r = s.FlushFat();
        if (r != 0)
            return r;
    }
    if (srcIsDir && parent != src.Parent.Cluster) {
        Dir moved;
        r = LoadDir(s, srcCluster, &moved);
        if (r != 0)
            return r;
        for (size_t i = 0; i < moved.Count() && i < 2; ++i) {
            if (std::memcmp(moved.Entry(i), "..         ", 11) == 0) {
                Put16(moved.Entry(i) + 26, parent);
                return WriteEntries(s, moved, i, 1);
            }
        }
    }
    return 0;
}

int CFatVolume::SetAttributes(const std::string& path, uint8_t attributes)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Loc loc;
    r = Resolve(s, path, &loc);
    if (r != 0 || loc.IsRoot)
        return r;
    const uint8_t settable = FAT_ATTR_READONLY | FAT_ATTR_HIDDEN | FAT_ATTR_SYSTEM | FAT_ATTR_ARCHIVE;
    uint8_t* e = loc.Entry();
    e[11] = static_cast<uint8_t>((e[11] & ~settable) | (attributes & settable));
    return WriteEntries(s, loc.Parent, loc.Found.Index, 1);
}

int CFatVolume::SetTimes(const std::string& path, const time_t* modified, const time_t* accessed)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Loc loc;
    r = Resolve(s, path, &loc);
    if (r != 0 || loc.IsRoot)
        return r;
    uint8_t* e = loc.Entry();
    uint16_t d, t;
    if (modified) {
        ToFatTime(*modified, &d, &t);
        Put16(e + 22, t);
        Put16(e + 24, d);
    }
    if (accessed) {
        ToFatTime(*accessed, &d, &t);
        Put16(e + 18, d);
    }
    return WriteEntries(s, loc.Parent, loc.Found.Index, 1);
}

int CFatVolume::GetGeometry(FatGeometry* geometry)
{
    Session s(Store);
    int r = s.Load();
    if (r == 0)
        *geometry = s.G;
    return r;
}

int CFatVolume::GetSpace(FatSpace* space)
{
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    space->ClusterBytes = s.G.ClusterBytes;
    space->ClusterCount = s.G.ClusterCount;
    space->FreeClusters = s.FreeClusters();
    return 0;
}

int CFatVolume::GetLabel(std::string* label)
{
    label->clear();
    Session s(Store);
    int r = s.Load();
    if (r != 0)
        return r;
    Dir root;
    r = LoadDir(s, 0, &root);
    if (r != 0)
        return r;
    std::vector<Item> items;
    long at;
    ParseDir(root, &items, &at);
    if (at < 0)
        return 0;
    const uint8_t* e = root.Entry(static_cast<size_t>(at));
    std::u16string wide;
    for (int i = 0; i < 11; ++i)
        wide.push_back(static_cast<char16_t>(e[i]));
    while (!wide.empty() && wide.back() == u' ')
        wide.pop_back();
    *label = Utf16ToUtf8(wide);
    return 0;
}

int CFatVolume::SetLabel(const std::string& text)
{
    ShortName label;
    int r = MakeLabel(text, &label);
    if (r != 0)
        return r;
    bool clear = label == std::string(11, ' ');
    Session s(Store);
    r = s.Load();
    if (r != 0)
        return r;
    Dir root;
    r = LoadDir(s, 0, &root);
    if (r != 0)
        return r;
    std::vector<Item> items;
    long at;
    ParseDir(root, &items, &at);
    if (clear) {
        if (at >= 0) {
            root.Entry(static_cast<size_t>(at))[0] = 0xE5;
            r = WriteEntries(s, root, static_cast<size_t>(at), 1);
        }
    } else if (at >= 0) {
        std::memcpy(root.Entry(static_cast<size_t>(at)), label.data(), 11);
        StampModified(root.Entry(static_cast<size_t>(at)), time(nullptr));
        r = WriteEntries(s, root, static_cast<size_t>(at), 1);
    } else {
        long free = FindFreeRun(root, 1);
        if (free < 0)
            return -ENOSPC;
        uint8_t* e = root.Entry(static_cast<size_t>(free));
        bool wasEnd = e[0] == 0x00;
        std::memset(e, 0, kEntry);
        std::memcpy(e, label.data(), 11);
        e[11] = FAT_ATTR_VOLUME;
        StampModified(e, time(nullptr));
        size_t count = 1;
        if (wasEnd && static_cast<size_t>(free) + 1 < root.Count() && root.Entry(free + 1)[0] != 0x00) {
            std::memset(root.Entry(free + 1), 0, kEntry);
            count = 2;
        }
        r = WriteEntries(s, root, static_cast<size_t>(free), count);
    }
    if (r != 0)
        return r;
    // The boot record keeps a copy that some readers show instead.
    if (s.G.HasExtendedBootRecord) {
        const char* boot = clear ? "NO NAME    " : label.c_str();
        if (!Store.WriteAt(43, boot, 11))
            return -EIO;
    }
    return 0;
}
