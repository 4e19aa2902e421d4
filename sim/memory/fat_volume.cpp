#include "fat_volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "fat_directory.h"
#include "fat_names.h"

using namespace fatimpl;

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
