#include "fat_directory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fat_names.h"

namespace fatimpl {

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

}  // namespace fatimpl
