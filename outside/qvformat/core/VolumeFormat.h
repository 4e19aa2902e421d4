// Formats one memory of the player, seen as a volume (its drive letter's raw
// sectors, without a partition table in front), as FAT12 or FAT16. The layout
// (cluster size, FAT size, FAT type by the real cluster count) is the data
// area's own, so the player reads what this writes exactly as it reads what
// the firmware updater writes.
#pragma once

#include <cstdint>
#include <string>

#include "sector_device.h"

enum VOLUME_FORMAT_RESULT {
    VF_OK = 0,
    VF_BAD_LABEL = 1,   // the label holds what a FAT label cannot (a bad argument)
    VF_NO_LAYOUT = 4,   // no FAT12/FAT16 layout fits the volume's size
    VF_WRITE_FAILED = 5,
    VF_VERIFY_FAILED = 6,
};

struct VOLUME_LAYOUT {
    uint32_t FilesystemSectors = 0;  // the file system's length (<= the volume's)
    uint32_t SectorsPerFat = 0;
    uint32_t RootDirSectors = 0;
    uint8_t SectorsPerCluster = 0;
    bool Fat16 = false;
};

// The label as a FAT volume label: at most 11 characters, upper case,
// padded with spaces; an empty text gives an empty result.
std::string NormalizeVolumeLabel(const std::string& label);

// Whether FAT can hold the label: no control character, none of
// "*+,./:;<=>?[\]| and no leading space. FormatVolume refuses a label whose
// first 11 characters (the ones written) fail this.
bool IsValidVolumeLabel(const std::string& label);

// Writes the boot sector, both FATs and the root directory (with the label's
// entry when a label is given) from sector 0 of the volume, reading every
// run back. hiddenSectors is where the volume starts on its disk (0 for a
// memory without a partition table). The data area is left as it was: no
// cluster is in use afterwards.
int FormatVolume(ISectorDevice& device, int drive, uint64_t volumeSectors, uint32_t hiddenSectors,
                 const std::string& label, VOLUME_LAYOUT* layout, std::string& error);
