#include "qv/QvFormatter.h"
#include "qv/QvErrors.h"
#include <cstring>
#include <new>
#include <vector>

CQvFormatter::CQvFormatter(CQvProgress* progress, CQvScsiTransport* transport, std::string name)
    : CQvBase(std::move(name)), m_progress(progress), m_transport(transport) {}

void CQvFormatter::Step()
{
    if (m_progress)
        m_progress->Step();
}

void CQvFormatter::Phase(int phase, int steps)
{
    if (m_progress)
        m_progress->SetPhase(phase, steps);
}

int CQvFormatter::ReadCapacity(uint64_t& sectors, uint32_t& bytesPerSector)
{
    if (!m_transport)
        return Fail(QV_E_NO_DEVICE);
    CQvReadCapacity capacity;
    int r = m_transport->Execute(capacity);
    uint32_t last = 0, length = 0;
    if (r == 0)
        r = capacity.GetLastBlock(last);
    if (r == 0)
        r = capacity.GetBlockLength(length);
    if (r != 0)
        return Fail(r);
    // A block length of 0 would divide every later count by zero; CQvDisk
    // refuses it (and any size FAT cannot have) before anything is written.
    sectors = uint64_t(last) + 1;
    bytesPerSector = length;
    return 0;
}

int CQvFormatter::WriteRun(uint32_t n, uint32_t count, const uint8_t* data)
{
    int r = m_transport->Write(data, count, n, m_bytesPerSector);
    if (r != 0)
        return Fail(r);
    Step();
    // One read-back buffer serves every run of the format.
    const size_t bytes = size_t(count) * m_bytesPerSector;
    try {
        if (m_readBack.size() < bytes)
            m_readBack.resize(bytes);
    } catch (const std::bad_alloc&) {
        return Fail(QV_E_NOMEM);
    }
    r = m_transport->Read(m_readBack.data(), count, n, m_bytesPerSector);
    if (r != 0)
        return Fail(r);
    Step();
    if (std::memcmp(m_readBack.data(), data, bytes) != 0)
        return Fail(QV_E_VERIFY);
    return 0;
}

int CQvFormatter::WriteSingle(int phase, uint32_t& n, const uint8_t* image)
{
    Phase(phase, 3);
    std::vector<uint8_t> sector(m_bytesPerSector, 0);
    std::memcpy(sector.data(), image, QV_SECTOR_IMAGE < sector.size() ? QV_SECTOR_IMAGE : sector.size());
    Step();
    int r = WriteRun(n, 1, sector.data());
    if (r == 0)
        ++n;
    return r;
}

int CQvFormatter::WriteArea(int phase, uint32_t& n, uint32_t sectors, const uint8_t* head, size_t headLength,
                            int labelAttribute)
{
    uint32_t chunk = RUN_BYTES / m_bytesPerSector;
    if (chunk == 0)
        chunk = 1;
    uint32_t full = sectors / chunk, rest = sectors % chunk;
    Phase(phase, int(2 * full + 2));
    // One zeroed run buffer serves every area of the format: only the bytes a
    // first run carries are written into it, and cleared again after it.
    const size_t runBytes = size_t(chunk) * m_bytesPerSector;
    try {
        if (m_run.size() < runBytes)
            m_run.assign(runBytes, 0);
    } catch (const std::bad_alloc&) {
        return Fail(QV_E_NOMEM);
    }
    bool first = true;
    auto put = [&](uint32_t count) {
        size_t marked = 0;
        if (first) {
            size_t bytes = size_t(count) * m_bytesPerSector;
            if (head && headLength) {
                marked = headLength < bytes ? headLength : bytes;
                std::memcpy(m_run.data(), head, marked);
            }
            if (labelAttribute && bytes > 11) {
                m_run[11] = 0x08;
                if (marked < 12)
                    marked = 12;
            }
            first = false;
        }
        int r = WriteRun(n, count, m_run.data());
        std::memset(m_run.data(), 0, marked);
        if (r == 0)
            n += count;
        return r;
    };
    for (uint32_t k = 0; k < full; ++k) {
        int r = put(chunk);
        if (r != 0)
            return r;
    }
    if (rest)
        return put(rest);
    return 0;
}

int CQvFormatter::Format(int tableUnreadable, const uint8_t* label, size_t labelLength)
{
    if (labelLength > QV_LABEL_BYTES)
        labelLength = QV_LABEL_BYTES;
    Phase(29, 2);
    uint64_t sectors = 0;
    int r = ReadCapacity(sectors, m_bytesPerSector);
    if (r != 0)
        return r;
    Step();
    m_disk = std::make_unique<CQvDisk>(sectors, m_bytesPerSector, label, labelLength);
    if (m_disk->LastError() != 0)
        return Fail(m_disk->LastError());
    Step();

    r = m_transport->LockForFormat(tableUnreadable);
    if (r != 0 && !tableUnreadable)
        return Fail(r);

    uint32_t n = 0;
    r = WriteSingle(30, n, m_disk->MbrImage());
    if (r != 0)
        return r;
    {
        CQvByteArray mbr(m_disk->MbrImage(), QV_SECTOR_IMAGE);
        CQvByteArray boot(m_disk->BootSectorImage(), QV_SECTOR_IMAGE);
        m_transport->SetDriveLayout(mbr, boot);
    }
    r = WriteArea(31, n, m_disk->HiddenSectors() - 1, nullptr, 0, 0);
    if (r != 0)
        return r;
    r = WriteSingle(32, n, m_disk->BootSectorImage());
    if (r != 0)
        return r;
    CQvByteArray fatHead;
    r = m_disk->FatHead(fatHead);
    if (r != 0)
        return Fail(r);
    for (int copy = 1; copy <= int(CQvDisk::FAT_COPIES); ++copy) {
        r = WriteArea(33 + copy, n, m_disk->SectorsPerFat(), fatHead.Data(), fatHead.Count(), 0);
        if (r != 0)
            return r;
    }
    r = WriteArea(44, n, m_disk->RootDirSectors(), label, labelLength, 1);
    if (r != 0)
        return r;

    r = m_transport->ReleaseAfterFormat(tableUnreadable);
    if (tableUnreadable || r == 0)
        return 0;
    return Fail(r);
}

int CQvFormatter::ReadVolumeLabel(uint8_t* buffer, size_t length, size_t& count)
{
    count = 0;
    uint64_t sectors = 0;
    int r = ReadCapacity(sectors, m_bytesPerSector);
    if (r != 0)
        return r;
    Step();
    m_disk = std::make_unique<CQvDisk>(sectors, m_bytesPerSector, nullptr, 0);
    if (m_disk->LastError() != 0)
        return Fail(m_disk->LastError());
    uint32_t first = m_disk->HiddenSectors() + CQvDisk::RESERVED_SECTORS +
                     CQvDisk::FAT_COPIES * m_disk->SectorsPerFat();
    std::vector<uint8_t> sector(m_bytesPerSector);
    // The label field is 11 bytes; a larger request copies no more than that.
    size_t take = length < QV_LABEL_BYTES ? length : QV_LABEL_BYTES;
    for (uint32_t i = 0; i < m_disk->RootDirSectors(); ++i) {
        r = m_transport->Read(sector.data(), 1, first + i, m_bytesPerSector);
        if (r != 0)
            return Fail(r);
        for (size_t at = 0; at + 32 <= sector.size(); at += 32) {
            if (sector[at + 11] == 0x08) {
                if (take)
                    std::memcpy(buffer, sector.data() + at, take);
                count = take;
                return 0;
            }
        }
    }
    return 0;
}
