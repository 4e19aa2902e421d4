// Directories of a volume: their entries and long-name groups, the walk
// from a path to its entry, and the insertion and removal of entry groups.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fat_table.h"

namespace fatimpl {

struct Dir {
    uint32_t Cluster = 0;  // 0 is the root directory
    std::vector<uint32_t> Clusters;
    std::vector<uint8_t> Bytes;
    size_t Count() const { return Bytes.size() / kEntry; }
    uint8_t* Entry(size_t i) { return &Bytes[i * kEntry]; }
    const uint8_t* Entry(size_t i) const { return &Bytes[i * kEntry]; }
};

struct Item {
    size_t First = 0;  // first long-name entry, or the 8.3 entry itself
    size_t Index = 0;  // the 8.3 entry
    std::string Name;
    std::string Short;
};

struct Loc {
    bool IsRoot = false;
    Dir Parent;
    Item Found;
    uint8_t* Entry() { return Parent.Entry(Found.Index); }
};

int LoadDir(Session& s, uint32_t cluster, Dir* dir);
uint64_t EntryOffset(const Session& s, const Dir& dir, size_t i);
int WriteEntries(Session& s, const Dir& dir, size_t first, size_t count);
std::string Printable(std::string name);
void ParseDir(const Dir& dir, std::vector<Item>* items, long* labelIndex);
const Item* FindItem(const std::vector<Item>& items, const std::string& name);
FatNode NodeOf(const Item& item, const uint8_t* e);
int ResolveDirCluster(Session& s, const std::vector<std::string>& parts, size_t count, uint32_t* cluster);
int Resolve(Session& s, const std::string& path, Loc* loc);
int ResolveParent(Session& s, const std::string& path, uint32_t* parent, std::string* name);
int ResolveNew(Session& s, const std::string& path, uint32_t* parent, std::string* name);
long FindFreeRun(const Dir& dir, size_t n);
int InsertGroup(Session& s, uint32_t dirCluster, const std::string& name, const uint8_t* entry, long ignoreIndex,
                size_t* shortIndex);
int MarkDeleted(Session& s, uint32_t dirCluster, size_t first, size_t last);
int FreeChain(Session& s, uint32_t first);
bool DirectoryIsEmpty(const Dir& dir);
int VerifyTree(Session& s, uint32_t cluster, int depth, std::vector<uint8_t>* used);
int LoadFile(Session& s, const std::string& path, Loc* loc, std::vector<uint32_t>* chain);

}  // namespace fatimpl
