#include "MediaEngine.h"

#include <string.h>

#include <utility>

#include "BlockTable.h"
#include "CardFormat.h"
#include "FirmwareImage.h"
#include "FlashDevice.h"
#include "FlashPage.h"
#include "MediaPackets.h"
#include "MmcCard.h"
#include "QuickFormat.h"

namespace qvmp3 {

struct CMediaEngine::PreparedFiles {
    uint32_t Count = 0;
    uint8_t Tags[MAX_FILES] = {};
    uint8_t Codes[MAX_FILES] = {};
    uint8_t LeadCode = 0;
    bool HasTagP = false;
    std::vector<std::vector<uint8_t>> Pages; // page images, whole 512-byte pages
    FileVersion Versions[MAX_FILES];
    bool IsFileCode(uint8_t byte, uint8_t* tag) const
    {
        for (uint32_t i = 0; i < Count; i++) {
            if (Codes[i] == byte) {
                if (tag)
                    *tag = Tags[i];
                return true;
            }
        }
        return false;
    }
};

namespace {

bool IndexOf(const uint32_t* indices, uint8_t media, MediaGeometry* geometry)
{
    return indices && media < MEDIA_COUNT && GeometryOf(indices[media], geometry);
}

void AddProgressTo(void* host, double delta)
{
    static_cast<IMediaHost*>(host)->AddPercent(delta);
}

uint32_t BlocksOfPages(size_t pages, uint32_t pagesPerBlock)
{
    return static_cast<uint32_t>((pages + pagesPerBlock - 1) / pagesPerBlock);
}

// The next reserved block a file block goes to, from the cursor on; last when
// none is left before the last block.
uint32_t NextReservedBlock(const std::vector<uint8_t>& table, uint32_t cursor, uint32_t last)
{
    uint32_t b = cursor;
    while (b < last && table[b] != BLOCK_RESERVED)
        b++;
    return b;
}

} // namespace

bool CMediaEngine::GetSizes(uint32_t* indices)
{
    FlashId id;
    if (!IdentifyFlash(m_host.Channel(), MEDIA_FLASH, m_host.ChipVersion(), &id))
        return false;
    indices[MEDIA_FLASH] = id.Status != 0 ? NO_MEDIA_INDEX : FlashIndexOfId(id.Maker, id.Device);
    CMmcCard card(m_host.Channel(), 0);
    uint32_t size = 0;
    uint8_t status = 0;
    if (!card.Detect(&size, &status, nullptr, nullptr) && status == 0)
        return false;
    indices[MEDIA_CARD] = CardIndexOfBlocks(size);
    return true;
}

uint32_t CMediaEngine::RegistryReserved(const MediaGeometry& geometry)
{
    return ReservedBlocksOfKilobytes(m_host.ReservedKilobytes(), geometry);
}

void CMediaEngine::Free(uint8_t media)
{
    if (KindOf(media) == KIND_FLASH) {
        m_flash = FlashMediaState();
    }
}

PROGRAM_MEDIA_STATUS CMediaEngine::EraseDataArea(const uint32_t* indices, uint8_t media)
{
    m_host.SetPhase(PHASE_ERASE_FIRST_ZONE, 0);
    MediaGeometry geometry;
    if (!IndexOf(indices, media, &geometry))
        return PROGRAM_MEDIA_BAD_MEDIA;
    if (KindOf(media) == KIND_CARD)
        return PROGRAM_MEDIA_OK;
    if (!m_flash.HasTable || m_flash.Index != geometry.Index)
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    CFlashDevice device(m_host.Channel(), media, geometry, m_host.ChipVersion());
    const uint32_t first = FirstZoneBlocks(geometry.Index);
    if (first >= geometry.PhysicalBlocks)
        m_host.SetPercent(100);
    for (uint32_t b = first; b < geometry.PhysicalBlocks; b++) {
        if (m_flash.Table[b] == BLOCK_FREE) {
            bool erased = false;
            if (!device.EraseBlock(b, &erased) || !erased) {
                m_flash.Table[b] = BLOCK_BAD;
                m_host.Debug("Bad Block: erase failed \n");
            }
        }
        m_host.SetPercent(static_cast<double>(b) * 100 / geometry.PhysicalBlocks);
    }
    m_host.SetPhase(PHASE_ERASE_FIRST_ZONE, 100);
    return PROGRAM_MEDIA_OK;
}

PROGRAM_MEDIA_STATUS CMediaEngine::BuildBlockStatus(const uint32_t* indices, uint8_t media,
                                                    const _BinaryFilesInformation* info)
{
    MediaGeometry geometry;
    if (!IndexOf(indices, media, &geometry))
        return PROGRAM_MEDIA_BAD_MEDIA;
    if (KindOf(media) == KIND_CARD)
        return PROGRAM_MEDIA_OK;
    const bool reportPhase = m_host.Phase() == PHASE_BLOCK_STATUS_START;
    if (reportPhase)
        m_host.SetPhase(PHASE_BLOCK_STATUS, 0);
    m_flash = FlashMediaState();
    CFlashDevice device(m_host.Channel(), media, geometry, m_host.ChipVersion());
    const uint32_t blocks = geometry.PhysicalBlocks;
    std::vector<uint8_t> entries(static_cast<size_t>(blocks) * SPARE_ENTRY_BYTES);
    for (uint32_t b = 0; b < blocks; b += SPARE_ENTRIES_PER_READ) {
        uint32_t count = blocks - b < SPARE_ENTRIES_PER_READ ? blocks - b : SPARE_ENTRIES_PER_READ;
        if (!device.ReadSpareEntries(b, count, entries.data() + static_cast<size_t>(b) * SPARE_ENTRY_BYTES))
            return PROGRAM_MEDIA_NO_DEVICE_INFO;
    }
    uint8_t tags[MAX_FILES];
    size_t tagCount = 0;
    if (info && info->FileCount <= MAX_FILES)
        for (uint32_t i = 0; i < info->FileCount; i++)
            tags[tagCount++] = info->AreaTag[i];
    BlockScan scan;
    ScanBlocks(entries.data(), blocks, tags, tagCount, &scan);
    if (!scan.HasCardInfo)
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    for (uint32_t b : scan.Retire) {
        bool erased = false;
        if (device.EraseBlock(b, &erased) && !erased)
            return PROGRAM_MEDIA_NO_DEVICE_INFO;
        device.WriteZeroBlock(b);
    }
    if (m_host.Phase() == PHASE_BLOCK_STATUS)
        m_host.AddPercent(100.0);
    m_flash.Table = scan.Table;
    m_flash.Index = geometry.Index;
    m_flash.CardInfoBlock = scan.CardInfoBlock;
    m_flash.ReservedStart = ReservedAreaStart(m_flash.Table, RegistryReserved(geometry));
    m_flash.ReservedFound = ReservedBlocksFound(m_flash.Table);
    m_flash.HasTable = true;
    if (reportPhase)
        m_host.SetPhase(PHASE_BLOCK_STATUS, 100);
    return PROGRAM_MEDIA_OK;
}

PROGRAM_MEDIA_STATUS CMediaEngine::Prepare(const FirmwareFiles& files, const MediaGeometry& geometry,
                                           PreparedFiles* prepared)
{
    const _BinaryFilesInformation* info = files.Info;
    if (!info || info->FileCount > MAX_FILES || info->LeadFile < 1 || info->LeadFile > info->FileCount)
        return PROGRAM_MEDIA_BAD_IMAGE;
    prepared->Count = info->FileCount;
    for (uint32_t i = 0; i < prepared->Count; i++) {
        prepared->Tags[i] = info->AreaTag[i];
        if (!AreaCodeOfTag(info->AreaTag[i], &prepared->Codes[i]))
            return PROGRAM_MEDIA_BAD_IMAGE;
        prepared->HasTagP = prepared->HasTagP || info->AreaTag[i] == 'P';
    }
    prepared->LeadCode = prepared->Codes[info->LeadFile - 1];
    if (!files.Images)
        return PROGRAM_MEDIA_OK;
    if (!files.Sizes)
        return PROGRAM_MEDIA_BAD_IMAGE;
    prepared->Pages.resize(prepared->Count);
    for (uint32_t i = 0; i < prepared->Count; i++) {
        const uint8_t* image = files.Images[i];
        const uint32_t size = files.Sizes[i];
        if (size == 0)
            continue;
        if (!image)
            return PROGRAM_MEDIA_BAD_IMAGE;
        std::vector<uint8_t>& pages = prepared->Pages[i];
        if (info->Kind[i] == FILE_KIND_SRECORD) {
            const uint8_t* header = files.Headers ? files.Headers[i] : nullptr;
            uint32_t headerSize = files.HeaderSizes && header ? files.HeaderSizes[i] : 0;
            if (SRecordPageImage(header, headerSize, image, size, &pages) != PROGRAM_MEDIA_OK)
                return PROGRAM_MEDIA_BAD_IMAGE;
            if (!SRecordVersion(image, size, &prepared->Versions[i]))
                return PROGRAM_MEDIA_BAD_IMAGE;
            pages.resize((pages.size() + PAGE_BYTES - 1) / PAGE_BYTES * PAGE_BYTES, 0);
        } else {
            pages = RawPageImage(image, size);
            prepared->Versions[i] = RawImageVersion(image, size);
        }
    }
    return PROGRAM_MEDIA_OK;
}

bool CMediaEngine::Fits(const PreparedFiles& prepared, const MediaGeometry& geometry, uint32_t reserved)
{
    uint64_t blocks = 0;
    for (const auto& pages : prepared.Pages)
        blocks += BlocksOfPages(pages.size() / PAGE_BYTES, geometry.PagesPerBlock);
    return blocks < reserved;
}

bool CMediaEngine::WriteMarkedBlock(const MediaGeometry& geometry, uint32_t block, uint8_t tag, const uint8_t* data)
{
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    const uint32_t pages = geometry.PagesPerBlock;
    std::vector<uint8_t> buffer(static_cast<size_t>(pages) * PAGE_WITH_SPARE);
    for (uint32_t p = 0; p < pages; p++) {
        uint8_t* page = buffer.data() + static_cast<size_t>(p) * PAGE_WITH_SPARE;
        if (data)
            memcpy(page, data + static_cast<size_t>(p) * PAGE_BYTES, PAGE_BYTES);
        else
            memset(page, 0xFF, PAGE_BYTES);
        uint8_t spare[SPARE_BYTES];
        ReservedSpare(p, tag, spare);
        memcpy(page + PAGE_BYTES, spare, SPARE_BYTES);
    }
    return device.WritePages(block, 0, pages, buffer.data());
}

bool CMediaEngine::EraseForFormat(const MediaGeometry& geometry, const PreparedFiles& prepared)
{
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    const uint32_t last = geometry.PhysicalBlocks - 1;
    const uint32_t first = m_flash.CardInfoBlock + 1;
    const double step = first <= last ? 100.0 / (last - first + 1) : 100.0;
    for (uint32_t b = first; b <= last; b++) {
        uint8_t& byte = m_flash.Table[b];
        if (byte != BLOCK_FREE && !prepared.IsFileCode(byte, nullptr))
            continue;
        bool erased = false;
        byte = device.EraseBlock(b, &erased) && erased ? BLOCK_FREE : BLOCK_BAD;
        m_host.AddPercent(step);
    }
    return true;
}

void CMediaEngine::MarkFormatTable(std::vector<uint8_t>& table, const PreparedFiles& prepared) const
{
    const uint32_t last = static_cast<uint32_t>(table.size() - 1);
    uint32_t marked = 0;
    for (uint32_t b = m_flash.CardInfoBlock + 1; b <= last && marked < 3; b++) {
        if (table[b] != BLOCK_BAD) {
            table[b] = prepared.LeadCode;
            marked++;
        }
    }
    for (uint32_t b = m_flash.ReservedStart; b <= last; b++)
        if (table[b] != BLOCK_BAD)
            table[b] = BLOCK_RESERVED;
}

bool CMediaEngine::LogicalFormat(const MediaGeometry& geometry, const PreparedFiles& prepared)
{
    std::vector<uint8_t>& table = m_flash.Table;
    const uint32_t last = geometry.PhysicalBlocks - 1;
    const uint32_t card = m_flash.CardInfoBlock;
    MarkFormatTable(table, prepared);

    bool ok = true;
    uint32_t toWrite = 0;
    for (int pass = 0; pass < 2 && ok; pass++) {
        uint32_t skipped = 0;
        for (uint32_t b = card + 1; b <= last && ok;) {
            uint8_t tag = 0xFF;
            const uint8_t byte = table[b];
            if (prepared.IsFileCode(byte, &tag) || byte == BLOCK_FREE) {
                if (pass == 0) {
                    toWrite++;
                } else {
                    ok = WriteMarkedBlock(geometry, b, byte == BLOCK_FREE ? 0xFF : tag, nullptr);
                    m_host.AddPercent(toWrite ? 100.0 / toWrite : 100.0);
                }
            } else {
                skipped++;
            }
            if (b == card + 3 + skipped && m_flash.ReservedStart > b)
                b = m_flash.ReservedStart;
            else
                b++;
        }
    }
    m_host.SetPercent(100);
    return ok;
}

bool CMediaEngine::WriteFile(const MediaGeometry& geometry, const PreparedFiles& prepared, uint32_t file,
                             uint32_t* cursor)
{
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    std::vector<uint8_t>& table = m_flash.Table;
    const std::vector<uint8_t>& image = prepared.Pages[file];
    const uint32_t pagesPerBlock = geometry.PagesPerBlock;
    const uint32_t pages = static_cast<uint32_t>(image.size() / PAGE_BYTES);
    const uint32_t last = geometry.PhysicalBlocks - 1;
    std::vector<uint8_t> data(static_cast<size_t>(pagesPerBlock) * PAGE_BYTES);
    std::vector<uint8_t> written(static_cast<size_t>(pagesPerBlock) * PAGE_WITH_SPARE);
    std::vector<uint8_t> readBack(written.size());
    for (uint32_t first = 0; first < pages; first += pagesPerBlock) {
        uint32_t count = pages - first < pagesPerBlock ? pages - first : pagesPerBlock;
        // A block of one page goes out as two.
        const uint32_t writeCount = count == 1 && pagesPerBlock > 1 ? 2 : count;
        std::fill(data.begin(), data.end(), 0);
        memcpy(data.data(), image.data() + static_cast<size_t>(first) * PAGE_BYTES,
               static_cast<size_t>(count) * PAGE_BYTES);
        for (uint32_t p = 0; p < writeCount; p++) {
            uint8_t* page = written.data() + static_cast<size_t>(p) * PAGE_WITH_SPARE;
            memcpy(page, data.data() + static_cast<size_t>(p) * PAGE_BYTES, PAGE_BYTES);
            uint8_t spare[SPARE_BYTES];
            ReservedSpare(p, prepared.Tags[file], spare);
            memcpy(page + PAGE_BYTES, spare, SPARE_BYTES);
        }
        for (;;) {
            const uint32_t b = NextReservedBlock(table, *cursor, last);
            if (b >= last)
                return false;
            *cursor = b + 1;
            bool erased = false;
            if (!device.EraseBlock(b, &erased) || !erased) {
                table[b] = BLOCK_BAD;
                return false;
            }
            if (!device.WritePages(b, 0, writeCount, written.data()))
                return false;
            bool same = device.ReadPages(b, 0, writeCount, readBack.data());
            for (uint32_t p = 0; p < writeCount && same; p++)
                same = memcmp(readBack.data() + static_cast<size_t>(p) * PAGE_WITH_SPARE,
                              written.data() + static_cast<size_t>(p) * PAGE_WITH_SPARE, PAGE_BYTES) == 0;
            if (same) {
                table[b] = prepared.Codes[file];
                if (first == 0)
                    m_fileBlock = b;
                m_host.AddPercent(m_blockStep);
                break;
            }
            if (!device.EraseBlock(b, &erased) || !erased) {
                table[b] = BLOCK_BAD;
                return false;
            }
            device.WriteZeroBlock(b);
            table[b] = BLOCK_BAD;
        }
    }
    return true;
}

bool CMediaEngine::WriteVersion(const MediaGeometry& geometry, const PreparedFiles& prepared, uint32_t file)
{
    if (IsSmallMedia(geometry.Index))
        return true;
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    uint8_t data[PAGE_BYTES];
    memset(data, 0xFF, sizeof data);
    for (uint32_t k = 0; k < 4; k++) {
        uint8_t spare[SPARE_BYTES];
        VersionSpare(prepared.Versions[file].Words[k], spare);
        if (!device.WritePageWithSpare(m_fileBlock, 2 + k, data, spare))
            return false;
    }
    return true;
}

bool CMediaEngine::WriteFiles(const MediaGeometry& geometry, const PreparedFiles& prepared, bool cursorAlways100,
                              uint32_t* cursor)
{
    uint64_t blocks = 0;
    for (uint32_t i = 0; i < prepared.Count; i++)
        blocks += BlocksOfPages(prepared.Pages[i].size() / PAGE_BYTES, geometry.PagesPerBlock);
    if (prepared.Count)
        blocks += BlocksOfPages(prepared.Pages[0].size() / PAGE_BYTES, geometry.PagesPerBlock);
    m_blockStep = blocks ? 100.0 / static_cast<double>(blocks) : 100.0;
    return InFileOrder(prepared, cursorAlways100, cursor, [&](uint32_t file, uint32_t* at) {
        return WriteFile(geometry, prepared, file, at) && WriteVersion(geometry, prepared, file);
    });
}

template <typename Place>
bool CMediaEngine::InFileOrder(const PreparedFiles& prepared, bool cursorAlways100, uint32_t* cursor, Place place)
{
    *cursor = 0;
    if (prepared.Count && !prepared.Pages[0].empty() && !place(0, cursor))
        return false;
    if (cursorAlways100 || *cursor < 100)
        *cursor = 100;
    for (uint32_t i = 0; i < prepared.Count; i++)
        if (!prepared.Pages[i].empty() && !place(i, cursor))
            return false;
    return true;
}

bool CMediaEngine::FilesFindBlocks(std::vector<uint8_t> table, const MediaGeometry& geometry,
                                   const PreparedFiles& prepared, bool cursorAlways100)
{
    const uint32_t last = geometry.PhysicalBlocks - 1;
    uint32_t cursor = 0;
    return InFileOrder(prepared, cursorAlways100, &cursor, [&](uint32_t file, uint32_t* at) {
        const uint32_t blocks = BlocksOfPages(prepared.Pages[file].size() / PAGE_BYTES, geometry.PagesPerBlock);
        for (uint32_t k = 0; k < blocks; k++) {
            const uint32_t b = NextReservedBlock(table, *at, last);
            if (b >= last)
                return false;
            table[b] = prepared.Codes[file];
            *at = b + 1;
        }
        return true;
    });
}

bool CMediaEngine::PrepareReservedArea(const MediaGeometry& geometry, uint32_t first, uint8_t areaCode)
{
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    const uint32_t last = geometry.PhysicalBlocks - 1;
    const double step = first <= last ? 100.0 / (last - first + 1) : 100.0;
    bool ok = true;
    for (uint32_t b = first; b <= last && ok; b++) {
        if (m_flash.Table[b] == BLOCK_BAD)
            continue;
        bool erased = false;
        if (!device.EraseBlock(b, &erased) || !erased)
            m_flash.Table[b] = BLOCK_BAD;
        ok = WriteMarkedBlock(geometry, b, TagOfAreaCode(areaCode), nullptr);
        m_host.AddPercent(step);
    }
    m_host.SetPercent(100);
    return ok;
}

PROGRAM_MEDIA_STATUS CMediaEngine::FatFormat(const uint32_t* indices, uint8_t media, bool withFiles,
                                             const FirmwareFiles& files)
{
    MediaGeometry geometry;
    if (!IndexOf(indices, media, &geometry))
        return PROGRAM_MEDIA_BAD_MEDIA;
    if (KindOf(media) != KIND_FLASH)
        return PROGRAM_MEDIA_BAD_MEDIA;
    FirmwareFiles given = files;
    if (!withFiles)
        given.Images = nullptr;
    PreparedFiles prepared;
    PROGRAM_MEDIA_STATUS status = Prepare(given, geometry, &prepared);
    if (status != PROGRAM_MEDIA_OK)
        return status;
    if (withFiles && !Fits(prepared, geometry, RegistryReserved(geometry)))
        return PROGRAM_MEDIA_NO_SPACE;
    if (!m_host.ReadDeviceVersion())
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    if (!m_flash.HasTable || m_flash.Index != geometry.Index)
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    if (withFiles) {
        // The first file goes in twice, and the last block takes none: the
        // files' blocks are placed on the table as the format will leave it
        // (every erase taken to succeed), so that a set that cannot all go
        // in is refused before the media is erased, not half-way through
        // writing the firmware.
        std::vector<uint8_t> planned = m_flash.Table;
        for (uint32_t b = m_flash.CardInfoBlock + 1; b < geometry.PhysicalBlocks; b++)
            if (prepared.IsFileCode(planned[b], nullptr))
                planned[b] = BLOCK_FREE;
        MarkFormatTable(planned, prepared);
        if (!FilesFindBlocks(std::move(planned), geometry, prepared, false))
            return PROGRAM_MEDIA_NO_SPACE;
    }
    m_host.SetPhase(PHASE_ERASE, 0);
    if (!EraseForFormat(geometry, prepared))
        return PROGRAM_MEDIA_ERASE_FAILED;
    m_host.SetPhase(PHASE_LOGICAL_FORMAT, 0);
    if (!LogicalFormat(geometry, prepared))
        return PROGRAM_MEDIA_ERASE_FAILED;
    if (withFiles) {
        m_host.SetPhase(PHASE_WRITE_FILES, 0);
        uint32_t cursor = 0;
        if (!WriteFiles(geometry, prepared, false, &cursor))
            return PROGRAM_MEDIA_WRITE_FAILED;
    }
    return PROGRAM_MEDIA_OK;
}

PROGRAM_MEDIA_STATUS CMediaEngine::QuickFormat(const uint32_t* indices, uint8_t media, int mode)
{
    MediaGeometry geometry;
    if (!IndexOf(indices, media, &geometry))
        return PROGRAM_MEDIA_BAD_MEDIA;
    if (!m_host.ReadDeviceVersion())
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    if (KindOf(media) == KIND_CARD) {
        CMmcCard card(m_host.Channel(), 0);
        uint32_t blocks = 0;
        if (!card.Detect(&blocks, nullptr, nullptr, nullptr))
            return PROGRAM_MEDIA_ERASE_FAILED;
        // A card the format would refuse keeps its file system: nothing is
        // erased that cannot be written again.
        CardFormat plan;
        if (!PlanCardFormat(blocks, &plan))
            return PROGRAM_MEDIA_ERASE_FAILED;
        double percent = 0;
        m_host.SetPhase(PHASE_ERASE_FIRST_ZONE, 0);
        if (!card.EraseFileSystemSectors(blocks, &percent))
            return PROGRAM_MEDIA_ERASE_FAILED;
        m_host.SetPhase(PHASE_QUICK_FORMAT, 0);
        percent = 0;
        if (!card.Format(blocks, &percent))
            return PROGRAM_MEDIA_ERASE_FAILED;
    } else {
        if (!m_flash.HasTable || m_flash.Index != geometry.Index)
            return PROGRAM_MEDIA_NO_DEVICE_INFO;
        // The layout is settled before the first zone, which holds the
        // player's file system, is erased: a reserve that leaves no disk is
        // refused with the media as it was.
        DiskLayout layout;
        if (!PlanQuickFormat(geometry.Index, mode, RegistryReserved(geometry), m_flash.ReservedFound, &layout))
            return PROGRAM_MEDIA_ERASE_FAILED;
        CFlashDevice device(m_host.Channel(), media, geometry, m_host.ChipVersion());
        device.SetProgress(AddProgressTo, &m_host);
        m_host.SetPhase(PHASE_ERASE_FIRST_ZONE, 0);
        uint32_t zone = FirstZoneBlocks(geometry.Index);
        if (zone > geometry.PhysicalBlocks)
            zone = geometry.PhysicalBlocks;
        for (uint32_t b = 0; b < zone; b++) {
            // Blocks an earlier quick format took for its disk are good
            // blocks as well: left as they are, their pages would name the
            // same logical blocks as the new disk's, old FAT and all.
            uint8_t& byte = m_flash.Table[b];
            if (byte != BLOCK_FREE && byte != BLOCK_DISK)
                continue;
            bool erased = false;
            byte = device.EraseBlock(b, &erased) && erased ? BLOCK_FREE : BLOCK_BAD;
            m_host.AddPercent(100.0 / zone);
        }
        m_host.SetPhase(PHASE_QUICK_FORMAT, 0);
        if (!QuickFormatDisk(device, geometry, layout, m_flash.Table, &m_flash.CardInfoBlock))
            return PROGRAM_MEDIA_ERASE_FAILED;
    }
    if (!m_host.SetFormatStatus(1))
        return PROGRAM_MEDIA_ERASE_FAILED;
    return PROGRAM_MEDIA_OK;
}

PROGRAM_MEDIA_STATUS CMediaEngine::Program(const uint32_t* indices, uint8_t media, const FirmwareFiles& files)
{
    MediaGeometry geometry;
    if (!IndexOf(indices, media, &geometry))
        return PROGRAM_MEDIA_BAD_MEDIA;
    if (KindOf(media) != KIND_FLASH)
        return PROGRAM_MEDIA_BAD_MEDIA;
    PreparedFiles prepared;
    if (!files.Images)
        return PROGRAM_MEDIA_BAD_IMAGE;
    PROGRAM_MEDIA_STATUS status = Prepare(files, geometry, &prepared);
    if (status != PROGRAM_MEDIA_OK)
        return status;
    const uint32_t reserved = RegistryReserved(geometry);
    if (!Fits(prepared, geometry, reserved))
        return PROGRAM_MEDIA_NO_SPACE;
    if (!m_host.ReadDeviceVersion())
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    if (!m_flash.HasTable || m_flash.Index != geometry.Index)
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    if (m_flash.ReservedFound != reserved)
        return PROGRAM_MEDIA_RESERVED_MISMATCH;
    // Refused before the old firmware's blocks are overwritten, as the format does.
    if (!FilesFindBlocks(m_flash.Table, geometry, prepared, true))
        return PROGRAM_MEDIA_NO_SPACE;
    m_host.SetPhase(PHASE_WRITE_FILES, 0);
    uint32_t cursor = 0;
    if (!WriteFiles(geometry, prepared, true, &cursor))
        return PROGRAM_MEDIA_WRITE_FAILED;
    m_host.SetPhase(PHASE_LOGICAL_FORMAT, 0);
    // The rest of the reserved area is prepared from the block after the
    // files. When no file carried anything the cursor still stands at block
    // 100, in the middle of the player's disk: those blocks are not ours.
    if (cursor < m_flash.ReservedStart)
        cursor = m_flash.ReservedStart;
    if (!PrepareReservedArea(geometry, cursor, prepared.Count ? prepared.Codes[prepared.Count - 1] : static_cast<uint8_t>(BLOCK_RESERVED)))
        return PROGRAM_MEDIA_WRITE_FAILED;
    return PROGRAM_MEDIA_OK;
}

void CMediaEngine::IdentifyFileBlocks(const MediaGeometry& geometry, const _BinaryFilesInformation* info)
{
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    std::vector<uint8_t> pages(2 * PAGE_WITH_SPARE);
    for (uint32_t b = m_flash.CardInfoBlock + 1; b < geometry.PhysicalBlocks; b++) {
        if (m_flash.Table[b] != BLOCK_RESERVED || !device.ReadPages(b, 0, 2, pages.data()))
            continue;
        const uint8_t* first = pages.data() + PAGE_BYTES;
        const uint8_t* second = pages.data() + PAGE_WITH_SPARE + PAGE_BYTES;
        if (first[6] != 'Q' || first[7] != 'V' || second[6] != 'M')
            continue;
        for (uint32_t i = 0; i < info->FileCount && i < MAX_FILES; i++) {
            uint8_t code;
            if (info->AreaTag[i] == second[7] && AreaCodeOfTag(second[7], &code)) {
                m_flash.Table[b] = code;
                break;
            }
        }
    }
}

bool CMediaEngine::ReadMediaVersion(const MediaGeometry& geometry, uint8_t areaCode, uint16_t (&words)[4])
{
    CFlashDevice device(m_host.Channel(), MEDIA_FLASH, geometry, m_host.ChipVersion());
    const uint32_t last = geometry.PhysicalBlocks - 1;
    for (uint32_t b = m_flash.ReservedStart; b < last; b++) {
        if (m_flash.Table[b] != areaCode)
            continue;
        std::vector<uint8_t> pages(4 * PAGE_WITH_SPARE);
        if (!device.ReadPages(b, 2, 4, pages.data()))
            return false;
        for (int k = 0; k < 4; k++) {
            const uint8_t* spare = pages.data() + k * PAGE_WITH_SPARE + PAGE_BYTES;
            words[k] = static_cast<uint16_t>(spare[6] | spare[7] << 8);
        }
        return true;
    }
    return false;
}

PROGRAM_MEDIA_STATUS CMediaEngine::FirmwareVersion(const uint32_t* indices, uint8_t media,
                                                   _BinaryFilesInformation* info)
{
    MediaGeometry geometry;
    if (!IndexOf(indices, media, &geometry))
        return PROGRAM_MEDIA_BAD_MEDIA;
    if (!info || info->FileCount > MAX_FILES)
        return PROGRAM_MEDIA_BAD_IMAGE;
    if (!m_host.ReadDeviceVersion())
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    if (KindOf(media) != KIND_FLASH)
        return PROGRAM_MEDIA_RESERVED_MISMATCH;
    if (BuildBlockStatus(indices, media, info) != PROGRAM_MEDIA_OK)
        return PROGRAM_MEDIA_NO_DEVICE_INFO;
    IdentifyFileBlocks(geometry, info);
    if (m_flash.ReservedFound != RegistryReserved(geometry))
        return PROGRAM_MEDIA_RESERVED_MISMATCH;
    PROGRAM_MEDIA_STATUS status = PROGRAM_MEDIA_OK;
    for (uint32_t i = 0; i < info->FileCount; i++) {
        uint8_t code;
        uint16_t words[4] = {};
        if (!AreaCodeOfTag(info->AreaTag[i], &code) || !ReadMediaVersion(geometry, code, words)) {
            info->MediaVersion01[i] = info->MediaVersion23[i] = 0;
            status = PROGRAM_MEDIA_WRITE_FAILED;
            continue;
        }
        FileVersion version;
        memcpy(version.Words, words, sizeof words);
        PutVersion(version, &info->MediaVersion01[i], &info->MediaVersion23[i]);
    }
    return status;
}

} // namespace qvmp3
