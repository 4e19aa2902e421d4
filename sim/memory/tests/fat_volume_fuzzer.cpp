// Feeds arbitrary images to the FAT core: boot sector, FAT and directory
// parsing, path walks, and a few writes, none of which may crash or reach
// outside the image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (4u << 20))
        return 0;
    CMemoryBlockStore store(std::vector<uint8_t>(data, data + size));
    CFatVolume volume(store);
    const bool sound = volume.Verify() == 0;
    std::vector<FatNode> nodes;
    volume.List("/", &nodes);
    FatSpace space;
    volume.GetSpace(&space);
    std::string label;
    volume.GetLabel(&label);
    for (const auto& n : nodes) {
        std::string path = "/" + n.Name;
        FatNode node;
        volume.Stat(path, &node);
        std::vector<uint8_t> bytes;
        if (n.IsDirectory()) {
            std::vector<FatNode> inner;
            volume.List(path, &inner);
            for (size_t i = 0; i < inner.size() && i < 4; ++i)
                volume.Read(path + "/" + inner[i].Name, 0, 4096, &bytes);
        } else {
            volume.Read(path, 0, 1 << 16, &bytes);
        }
    }
    // Writing is what the daemon allows only on a sound tree.
    if (sound) {
        static const uint8_t text[] = "fuzz";
        volume.CreateFile("/NEW.TXT", 0);
        volume.Write("/NEW.TXT", 100, text, sizeof text);
        volume.MakeDirectory("/New Folder");
        if (!nodes.empty()) {
            volume.Rename("/" + nodes[0].Name, "/New Folder/moved", true);
            volume.Resize("/New Folder/moved", 3000);
        }
        volume.SetLabel("FUZZ");
        volume.RemoveFile("/NEW.TXT");
        if (volume.Verify() != 0)
            __builtin_trap();  // our own writes must keep a sound tree sound
    }
    return 0;
}
