#include "PlayerDirOrder.h"

#include <windows.h>

#include "QV_SysCtrl.h"
#include "dir_entry_list.h"
#include "dir_walk.h"
#include "fat_volume.h"
#include "sector_io.h"
#include "win_code_page.h"

bool ReadPlayerDirectoryOrder(const std::string& folder, std::vector<std::string>& names)
{
    if (folder.size() < 3 || folder[1] != ':' || folder.back() != '\\')
        return false;
    int drive = (folder[0] | 0x20) - 'a';
    if (drive < 0 || drive > 25)
        return false;
    // Read only: a listing never writes to the player (the file system may
    // be writing this folder for a transfer at the same moment).
    SectorIo io;
    CWinCodePage codePage;
    FatGeometry geometry;
    CDirExtent extent;
    if (ReadFatGeometry(&io, drive, geometry) != QV_SUCCESS ||
        DirectoryExtentOf(&io, codePage, geometry, folder.c_str(), &extent) != QV_SUCCESS)
        return false;
    uint32_t count = extent.SectorCount();
    if (count == 0 || count * 512ull > MAX_DIRECTORY_BYTES)
        return false;
    std::vector<uint8_t> buffer;
    if (!ReadDirectoryExtent(&io, drive, extent, buffer))
        return false;
    DirEntryList list(codePage);
    list.Parse(buffer.data(), int(buffer.size() / DIR_ENTRY_BYTES));
    for (int i = 0; i < list.GroupCount; ++i) {
        const DirEntryGroup* group = list.GetGroup(i);
        if (!group || DirEntry::IsDotEntry(group->ShortEntry()))
            continue;
        std::u16string wide = list.GetLongName(*group);
        int n = ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(wide.c_str()), int(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
        std::string name(size_t(n > 0 ? n : 0), '\0');
        if (n > 0)
            ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(wide.c_str()), int(wide.size()), &name[0],
                                  n, nullptr, nullptr);
        names.push_back(name);
    }
    return true;
}
