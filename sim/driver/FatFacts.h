// What a volume query asks of a FAT image: its geometry, free clusters
// counted from the FAT, label, serial number and FAT kind. Windows-free and
// free of the standard library, so the driver links it as it is and the
// native build tests and fuzzes it.
#pragma once

#include <stdint.h>

namespace vilosim {

enum FatKind : uint32_t { FAT_KIND_12 = 12, FAT_KIND_16 = 16, FAT_KIND_32 = 32 };

struct FatFacts {
    uint32_t BytesPerSector;
    uint32_t SectorsPerCluster;
    uint32_t Kind;            // FAT_KIND_*
    uint64_t TotalClusters;   // data clusters
    uint64_t FreeClusters;    // FAT entries that are 0
    uint32_t Serial;          // 0 without an extended boot record
    char Label[12];           // trailing blanks removed; empty: no label
};

// Reads bytes of the image at a byte offset; false when they cannot be read.
typedef bool (*FatReader)(void* context, uint64_t offset, uint8_t* buffer, uint32_t bytes);

// The scratch buffer the reading needs, in bytes.
constexpr uint32_t FAT_SCRATCH_BYTES = 12288;

// Reads the facts of the FAT volume in imageBytes bytes of image. scratch
// holds FAT_SCRATCH_BYTES bytes. False when the boot sector does not describe
// a FAT volume that fits in the image, or a read fails.
bool ReadFatFacts(FatReader read, void* context, uint64_t imageBytes, uint8_t* scratch, FatFacts* facts);

} // namespace vilosim
