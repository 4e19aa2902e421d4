#include "VolumeFormat.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "qv/QvDisk.h"

namespace {
void Le32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Runs of 64 KB, each read back.
constexpr uint32_t RUN_SECTORS = 128;

int WriteArea(ISectorDevice& device, int drive, uint32_t& next, uint32_t sectors, const uint8_t* head,
              size_t headLength, std::string& error)
{
    std::vector<uint8_t> run(size_t(RUN_SECTORS) * SECTOR_BYTES), back(run.size());
    bool first = true;
    while (sectors) {
        const uint32_t count = sectors < RUN_SECTORS ? sectors : RUN_SECTORS;
        const size_t bytes = size_t(count) * SECTOR_BYTES;
        std::fill(run.begin(), run.end(), 0);
        if (first && head) std::memcpy(run.data(), head, headLength < bytes ? headLength : bytes);
        first = false;
        if (!device.WriteSectors(drive, next, count, run.data())) {
            error = "cannot write sector " + std::to_string(next) + " of the memory";
            return VF_WRITE_FAILED;
        }
        if (!device.ReadSectors(drive, next, count, back.data()) || std::memcmp(run.data(), back.data(), bytes) != 0) {
            error = "sector " + std::to_string(next) + " of the memory does not read back as written";
            return VF_VERIFY_FAILED;
        }
        next += count;
        sectors -= count;
    }
    return VF_OK;
}
}  // namespace

std::string NormalizeVolumeLabel(const std::string& label)
{
    std::string out = label.substr(0, 11);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.empty()) return out;
    out.resize(11, ' ');
    return out;
}

bool IsValidVolumeLabel(const std::string& label)
{
    if (!label.empty() && label[0] == ' ') return false;
    for (char c : label) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("\"*+,./:;<=>?[\\]|", c)) return false;
    }
    return true;
}

int FormatVolume(ISectorDevice& device, int drive, uint64_t volumeSectors, uint32_t hiddenSectors,
                 const std::string& label, VOLUME_LAYOUT* layout, std::string& error)
{
    // Readers drop such a label (or take the entry for something else):
    // refused before anything on the memory is touched.
    if (!IsValidVolumeLabel(label.substr(0, 11))) {
        error = "the label \"" + label + "\" holds a character a FAT volume label cannot";
        return VF_BAD_LABEL;
    }
    const std::string name = NormalizeVolumeLabel(label);
    const std::string bootLabel = name.empty() ? std::string("NO NAME    ") : name;
    CQvDisk disk(volumeSectors, SECTOR_BYTES, reinterpret_cast<const uint8_t*>(bootLabel.data()), bootLabel.size());
    if (disk.LastError() != 0 || disk.FatType() > QV_FAT16) {
        error = "a memory of " + std::to_string(volumeSectors) + " sectors has no FAT12/FAT16 layout";
        return VF_NO_LAYOUT;
    }
    // The volume is the partition itself: the file system starts at its
    // first sector and takes the partition length the layout gives.
    uint8_t boot[SECTOR_BYTES];
    std::memcpy(boot, disk.BootSectorImage(), SECTOR_BYTES);
    Le32(boot + 28, hiddenSectors);
    CQvByteArray fatHead;
    if (disk.FatHead(fatHead) != 0) {
        error = "no FAT type for the layout";
        return VF_NO_LAYOUT;
    }
    if (layout) {
        layout->FilesystemSectors = disk.PartitionSectors();
        layout->SectorsPerFat = disk.SectorsPerFat();
        layout->RootDirSectors = disk.RootDirSectors();
        layout->SectorsPerCluster = disk.SectorsPerCluster();
        layout->Fat16 = disk.FatType() == QV_FAT16;
    }

    uint8_t labelEntry[32] = {};
    if (!name.empty()) {
        std::memcpy(labelEntry, name.data(), 11);
        labelEntry[11] = 0x08;
    }
    // The boot sector goes last: until it is there, a reader finds the old
    // one or a half-written layout, never a new boot sector over old FATs.
    uint32_t next = CQvDisk::RESERVED_SECTORS;
    int r = VF_OK;
    for (uint32_t copy = 0; r == VF_OK && copy < CQvDisk::FAT_COPIES; ++copy)
        r = WriteArea(device, drive, next, disk.SectorsPerFat(), fatHead.Data(), fatHead.Count(), error);
    if (r == VF_OK)
        r = WriteArea(device, drive, next, disk.RootDirSectors(), name.empty() ? nullptr : labelEntry,
                      sizeof labelEntry, error);
    uint32_t zero = 0;
    if (r == VF_OK) r = WriteArea(device, drive, zero, 1, boot, sizeof boot, error);
    return r;
}
