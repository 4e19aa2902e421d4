#include "raw_drive.h"

#include <cstring>

namespace {
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
}  // namespace

CRawDrive::~CRawDrive()
{
    Close();
}

bool CRawDrive::Open(char letter, bool write)
{
    return OpenPath(std::string("\\\\.\\") + letter + ":", write);
}

bool CRawDrive::OpenPath(const std::string& path, bool write)
{
    Close();
    Handle = CreateFileA(path.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0), FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
    LastError = GetLastError();
    return Handle != INVALID_HANDLE_VALUE;
}

void CRawDrive::Close()
{
    if (Handle != INVALID_HANDLE_VALUE)
        CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
}

bool CRawDrive::Read(uint64_t offset, void* data, uint32_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    bool ok = SetFilePointerEx(Handle, at, nullptr, FILE_BEGIN) && ReadFile(Handle, data, size, &got, nullptr) &&
              got == size;
    LastError = GetLastError();
    return ok;
}

bool CRawDrive::Write(uint64_t offset, const void* data, uint32_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD put = 0;
    bool ok = SetFilePointerEx(Handle, at, nullptr, FILE_BEGIN) && WriteFile(Handle, data, size, &put, nullptr) &&
              put == size;
    LastError = GetLastError();
    return ok;
}

bool CRawDrive::Load()
{
    Boot.assign(512, 0);
    if (!Read(0, Boot.data(), 512))
        return false;
    BytesPerSector = Get16(&Boot[11]);
    SectorsPerCluster = Boot[13];
    ReservedSectors = Get16(&Boot[14]);
    FatCount = Boot[16];
    RootEntries = Get16(&Boot[17]);
    TotalSectors = Get16(&Boot[19]) ? Get16(&Boot[19]) : Get32(&Boot[32]);
    SectorsPerFat = Get16(&Boot[22]);
    if (BytesPerSector != 512 || SectorsPerCluster == 0 || SectorsPerFat == 0)
        return false;
    FirstRootSector = ReservedSectors + FatCount * SectorsPerFat;
    FirstDataSector = FirstRootSector + RootEntries * 32 / BytesPerSector;
    ClusterCount = (TotalSectors - FirstDataSector) / SectorsPerCluster;
    FatBits = ClusterCount < 4085 ? 12 : 16;
    Fat.assign(SectorsPerFat * BytesPerSector, 0);
    return Read(static_cast<uint64_t>(ReservedSectors) * BytesPerSector, Fat.data(), static_cast<uint32_t>(Fat.size()));
}

uint32_t CRawDrive::Next(uint32_t c) const
{
    if (FatBits == 16)
        return Get16(&Fat[c * 2]);
    uint32_t w = Get16(&Fat[c + c / 2]);
    return (c & 1) ? (w >> 4) : (w & 0xFFF);
}

uint32_t CRawDrive::FreeClusters() const
{
    uint32_t n = 0;
    for (uint32_t c = 2; c < ClusterCount + 2; ++c)
        if (Next(c) == 0)
            ++n;
    return n;
}

bool CRawDrive::ReadFolder(const std::string& longName, std::vector<uint8_t>* bytes, std::vector<uint64_t>* offsets)
{
    bytes->assign(RootEntries * 32, 0);
    offsets->assign(1, static_cast<uint64_t>(FirstRootSector) * BytesPerSector);
    if (!Read(offsets->at(0), bytes->data(), static_cast<uint32_t>(bytes->size())))
        return false;
    if (longName.empty())
        return true;
    uint32_t cluster = 0;
    for (const auto& g : ParseGroups(*bytes))
        if (lstrcmpiA(g.LongName.c_str(), longName.c_str()) == 0)
            cluster = Get16(g.ShortEntry() + 26);
    if (cluster < 2)
        return false;
    uint32_t clusterBytes = SectorsPerCluster * BytesPerSector;
    bytes->clear();
    offsets->clear();
    uint32_t end = FatBits == 12 ? 0xFF8 : 0xFFF8;
    for (uint32_t steps = 0; cluster >= 2 && cluster < end && steps <= ClusterCount; ++steps) {
        uint64_t at = (FirstDataSector + static_cast<uint64_t>(cluster - 2) * SectorsPerCluster) * BytesPerSector;
        std::vector<uint8_t> block(clusterBytes);
        if (!Read(at, block.data(), clusterBytes))
            return false;
        bytes->insert(bytes->end(), block.begin(), block.end());
        offsets->push_back(at);
        cluster = Next(cluster);
    }
    return true;
}

bool CRawDrive::WriteFolder(const std::vector<uint8_t>& bytes, const std::vector<uint64_t>& offsets)
{
    uint32_t piece = static_cast<uint32_t>(bytes.size() / offsets.size());
    for (size_t i = 0; i < offsets.size(); ++i)
        if (!Write(offsets[i], &bytes[i * piece], piece))
            return false;
    return true;
}

std::string CRawDrive::RootLabel()
{
    std::vector<uint8_t> root;
    std::vector<uint64_t> offsets;
    if (!ReadFolder("", &root, &offsets))
        return "?";
    for (size_t i = 0; i + 32 <= root.size(); i += 32) {
        const uint8_t* e = &root[i];
        if (e[0] == 0)
            break;
        if (e[0] != 0xE5 && (e[11] & 0x3F) != 0x0F && (e[11] & 0x08)) {
            std::string label(reinterpret_cast<const char*>(e), 11);
            while (!label.empty() && label.back() == ' ')
                label.pop_back();
            return label;
        }
    }
    return "";
}

std::vector<RawGroup> ParseGroups(const std::vector<uint8_t>& dir)
{
    std::vector<RawGroup> groups;
    std::vector<uint8_t> cur;
    for (size_t i = 0; i + 32 <= dir.size(); i += 32) {
        const uint8_t* e = &dir[i];
        if (e[0] == 0)
            break;
        if (e[0] == 0xE5) {
            cur.clear();
            continue;
        }
        cur.insert(cur.end(), e, e + 32);
        if ((e[11] & 0x3F) == 0x0F)
            continue;
        if ((e[11] & 0x08) || e[0] == '.') {
            cur.clear();
            continue;
        }
        RawGroup g;
        g.Entries = cur;
        cur.clear();
        static const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        size_t n = g.Entries.size() / 32;
        for (size_t k = n - 1; k-- > 0;) {
            const uint8_t* l = &g.Entries[k * 32];
            bool done = false;
            for (int off : offsets) {
                uint16_t c = Get16(l + off);
                if (c == 0 || c == 0xFFFF) {
                    done = true;
                    break;
                }
                g.LongName.push_back(static_cast<char>(c));
            }
            if (done)
                break;
        }
        if (g.LongName.empty()) {
            const uint8_t* s = g.ShortEntry();
            std::string base(reinterpret_cast<const char*>(s), 8), ext(reinterpret_cast<const char*>(s + 8), 3);
            while (!base.empty() && base.back() == ' ')
                base.pop_back();
            while (!ext.empty() && ext.back() == ' ')
                ext.pop_back();
            g.LongName = ext.empty() ? base : base + "." + ext;
        }
        groups.push_back(g);
    }
    return groups;
}
