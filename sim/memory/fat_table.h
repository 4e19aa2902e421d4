// A volume's boot sector, its FAT and its clusters, for one call: the FAT is
// read on first use and its changed sectors written to every copy by
// FlushFat.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <set>
#include <vector>

#include "block_store.h"
#include "fat_entry.h"

namespace fatimpl {

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

}  // namespace fatimpl
