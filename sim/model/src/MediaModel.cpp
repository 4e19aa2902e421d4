#include "vilosim/MediaModel.h"

namespace vilosim {

namespace {

// No C library in the kernel driver: byte loops only.
void Fill(uint8_t* to, uint8_t value, uint32_t length)
{
    for (uint32_t i = 0; i < length; i++)
        to[i] = value;
}

uint32_t Le(const uint8_t* p, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++)
        value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

void PutLe(uint8_t* p, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Flash commands (group 1).
enum : uint8_t { WRITE_PAGE = 0, WRITE_PAGES = 1, READ_PAGES = 3, ERASE = 4, IDENTIFY = 6, SPARES = 12 };
// Card commands (group 2).
enum : uint8_t {
    DETECT = 0, STATUS = 1, CID = 2, OCR = 3, CSD = 4, PROGRAM_CSD = 5,
    READ_BLOCK = 6, READ_BLOCKS = 7, WRITE_BLOCK = 8, WRITE_BLOCKS = 9, ERASE_BLOCKS = 10,
};

const uint8_t CARD_CID[20] = {0x15, 0x01, 0x00, 'V', 'L', 'C', 'A', 'R', 'D', 0x10, 0x12, 0x34, 0x56, 0x78, 0x9A,
                              0x11, 0x00, 0x00, 0x00, 0x00};
const uint8_t CARD_CSD[16] = {0x48, 0x0E, 0x01, 0x2A, 0x0F, 0xF9, 0x81, 0xE9, 0xF6, 0xDA, 0x81, 0xE1, 0x8A, 0x40,
                              0x00, 0x4B};

} // namespace

// ---- flash -----------------------------------------------------------------

void CFlashMemory::Reset()
{
    m_store = nullptr;
    m_image = SimMediaImage{};
    m_writePage = m_writeOffset = m_writeUnit = 0;
}

void CFlashMemory::Attach(IMediaStore* store, const SimMediaImage& image)
{
    Reset();
    if (store && image.PagesPerBlock && image.Blocks) {
        m_store = store;
        m_image = image;
    }
}

bool CFlashMemory::PageOk(uint32_t page, uint32_t count) const
{
    uint64_t pages = static_cast<uint64_t>(m_image.PagesPerBlock) * m_image.Blocks;
    return m_store && count > 0 && page < pages && count <= pages - page;
}

bool CFlashMemory::ReadPage(uint32_t page, uint8_t* out)
{
    if (!m_store->Read(static_cast<uint64_t>(page) * PAGE, out, PAGE))
        return false;
    // A factory-marked bad block: the block status reads 0.
    if (IsBad(page))
        out[512 + 5] = 0;
    return true;
}

bool CFlashMemory::Program(uint32_t page, uint32_t offset, const uint8_t* data, uint32_t length)
{
    if (IsBad(page))
        return true; // the chip ignores it; a read-back shows it
    if (!m_store->Read(static_cast<uint64_t>(page) * PAGE, m_page, PAGE))
        return false;
    // A half page carries 256 data bytes and 8 spare bytes.
    if (length == 264) {
        for (uint32_t i = 0; i < 256; i++)
            m_page[offset + i] &= data[i];
        for (uint32_t i = 0; i < 8; i++)
            m_page[512 + (offset ? 8 : 0) + i] &= data[256 + i];
    } else {
        for (uint32_t i = 0; i < PAGE; i++)
            m_page[i] &= data[i];
    }
    return m_store->Write(static_cast<uint64_t>(page) * PAGE, m_page, PAGE);
}

bool CFlashMemory::Command(CPlayerModel& model, const uint8_t* packet, uint32_t length, CAnswer& answer)
{
    const uint8_t command = packet[0];
    if (command == IDENTIFY) {
        if (length < 6)
            return false;
        model.RecordMedia(packet, packet[3], 0);
        uint8_t id[6] = {0, 0, 0, 0, 0, 0};
        if (m_store) {
            id[3] = static_cast<uint8_t>(m_image.Maker);
            id[4] = static_cast<uint8_t>(m_image.Device);
        } else {
            id[0] = 1;
        }
        return answer.Append(id, sizeof id);
    }
    if (length < 7)
        return false;
    const uint32_t address = Le(packet + 3, 4);
    if (address % 256 != 0)
        return false;
    const uint32_t page = address / 512;
    switch (command) {
    case READ_PAGES:
    case WRITE_PAGES: {
        if (length < 21)
            return false;
        const uint32_t size = Le(packet + 9, 3), count = Le(packet + 12, 3);
        model.RecordMedia(packet, address, count);
        if (size != PAGE || address % 512 || !PageOk(page, count) || count * PAGE > CAnswer::CAPACITY)
            return false;
        if (command == WRITE_PAGES) {
            m_writePage = page;
            m_writeOffset = 0;
            m_writeUnit = PAGE;
            model.ExpectData(this, count * PAGE);
            return true;
        }
        for (uint32_t i = 0; i < count; i++) {
            if (!ReadPage(page + i, m_page) || !answer.Append(m_page, PAGE))
                return false;
        }
        return true;
    }
    case WRITE_PAGE: {
        if (length < 15)
            return false;
        const uint32_t size = Le(packet + 9, 2);
        model.RecordMedia(packet, address, size);
        if (!PageOk(page, 1) || (size != PAGE && size != 264) || (size == PAGE && address % 512))
            return false;
        m_writePage = page;
        m_writeOffset = address % 512;
        m_writeUnit = size;
        model.ExpectData(this, size);
        return true;
    }
    case ERASE: {
        model.RecordMedia(packet, address, 1);
        if (address % 512 || !PageOk(page, 1) || page % m_image.PagesPerBlock)
            return false;
        uint8_t status[6] = {0, 0, 0, 0, 0, 0};
        if (IsBad(page)) {
            status[0] = 1;
        } else {
            Fill(m_page, 0xFF, PAGE);
            for (uint32_t p = 0; p < m_image.PagesPerBlock; p++)
                if (!m_store->Write(static_cast<uint64_t>(page + p) * PAGE, m_page, PAGE))
                    return false;
        }
        return answer.Append(status, sizeof status);
    }
    case SPARES: {
        if (length < 21)
            return false;
        const uint32_t blocks = Le(packet + 9, 3), pages = Le(packet + 12, 3);
        model.RecordMedia(packet, address, blocks);
        if (address % 512 || pages != m_image.PagesPerBlock || page % pages || !PageOk(page, blocks * pages) ||
            blocks * 6 > CAnswer::CAPACITY)
            return false;
        for (uint32_t b = 0; b < blocks; b++) {
            uint8_t entry[6];
            const uint32_t first = page + b * pages;
            if (!ReadPage(first, m_page))
                return false;
            entry[0] = m_page[512 + 4];
            entry[1] = m_page[512 + 5];
            entry[2] = m_page[512 + 6];
            entry[3] = m_page[512 + 7];
            if (!ReadPage(first + 1, m_page))
                return false;
            entry[4] = m_page[512 + 6];
            entry[5] = m_page[512 + 7];
            if (!answer.Append(entry, sizeof entry))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

bool CFlashMemory::Data(CPlayerModel& model, const uint8_t* data, uint32_t length)
{
    if (!m_store || !m_writeUnit || length % m_writeUnit)
        return false;
    for (uint32_t i = 0; i < length / m_writeUnit; i++) {
        if (!Program(m_writePage + i, m_writeOffset, data + i * m_writeUnit, m_writeUnit))
            return false;
    }
    return true;
}

// ---- MMC card --------------------------------------------------------------

void CMmcCardModel::Reset()
{
    m_store = nullptr;
    m_image = SimMediaImage{};
    for (uint32_t i = 0; i < 16; i++)
        m_csd[i] = CARD_CSD[i];
    m_writeBlock = 0;
}

void CMmcCardModel::Attach(IMediaStore* store, const SimMediaImage& image)
{
    Reset();
    if (store && image.Blocks) {
        m_store = store;
        m_image = image;
    }
}

bool CMmcCardModel::BlocksOk(uint32_t address, uint32_t count) const
{
    return m_store && address % BLOCK == 0 && count > 0 && address / BLOCK < m_image.Blocks &&
           count <= m_image.Blocks - address / BLOCK;
}

bool CMmcCardModel::Command(CPlayerModel& model, const uint8_t* packet, uint32_t length, CAnswer& answer)
{
    if (length < 6)
        return false;
    const uint8_t command = packet[0];
    const uint32_t address = length >= 10 ? Le(packet + 6, 4) : 0;
    uint8_t reply[24];
    Fill(reply, 0, sizeof reply);
    // Without a card every command answers a nonzero status byte.
    const uint8_t status = m_store ? 0 : 1;
    switch (command) {
    case DETECT:
        model.RecordMedia(packet, 0, 0);
        reply[0] = status;
        PutLe(reply + 3, m_store ? m_image.Blocks : 0, 4);
        reply[9] = m_store ? 1 : 0;
        reply[12] = static_cast<uint8_t>(m_image.EraseGroup);
        return answer.Append(reply, 15);
    case STATUS:
        model.RecordMedia(packet, 0, 0);
        PutLe(reply, m_store ? 0x0900 : 0, 2);
        return answer.Append(reply, 3);
    case CID:
        model.RecordMedia(packet, 0, 0);
        reply[0] = status;
        for (uint32_t i = 0; i < 20; i++)
            reply[3 + i] = CARD_CID[i];
        return answer.Append(reply, 23);
    case OCR:
        model.RecordMedia(packet, 0, 0);
        reply[0] = status;
        PutLe(reply + 3, 0x80FF8000u, 4);
        return answer.Append(reply, 9);
    case CSD:
        model.RecordMedia(packet, 0, 0);
        reply[0] = status;
        for (uint32_t i = 0; i < 16; i++)
            reply[3 + i] = m_csd[i];
        return answer.Append(reply, 21);
    case PROGRAM_CSD:
        if (length < 22)
            return false;
        model.RecordMedia(packet, 0, 16);
        if (m_store)
            for (uint32_t i = 0; i < 16; i++)
                m_csd[i] = packet[6 + i];
        reply[0] = status;
        return answer.Append(reply, 3);
    case READ_BLOCK:
    case READ_BLOCKS: {
        const uint32_t count = command == READ_BLOCK ? 1 : (length >= 14 ? Le(packet + 12, 2) : 0);
        model.RecordMedia(packet, address, count);
        if (length < 10 || !BlocksOk(address, count) || count * BLOCK > CAnswer::CAPACITY)
            return false;
        uint8_t block[BLOCK];
        for (uint32_t i = 0; i < count; i++) {
            if (!m_store->Read(address + static_cast<uint64_t>(i) * BLOCK, block, BLOCK) ||
                !answer.Append(block, BLOCK))
                return false;
        }
        return true;
    }
    case WRITE_BLOCK:
    case WRITE_BLOCKS: {
        const uint32_t count = command == WRITE_BLOCK ? 1 : (length >= 14 ? Le(packet + 12, 2) : 0);
        model.RecordMedia(packet, address, count);
        if (length < 10 || !BlocksOk(address, count))
            return false;
        m_writeBlock = address / BLOCK;
        model.ExpectData(this, count * BLOCK);
        return true;
    }
    case ERASE_BLOCKS: {
        if (length < 16)
            return false;
        const uint32_t last = Le(packet + 12, 4);
        model.RecordMedia(packet, address, last >= address ? (last - address) / BLOCK + 1 : 0);
        if (last < address || !BlocksOk(address, (last - address) / BLOCK + 1) || last % BLOCK)
            return false;
        uint8_t zeros[BLOCK];
        Fill(zeros, 0, BLOCK);
        for (uint32_t at = address; at <= last; at += BLOCK)
            if (!m_store->Write(at, zeros, BLOCK))
                return false;
        return answer.Append(reply, 3);
    }
    default:
        return false;
    }
}

bool CMmcCardModel::Data(CPlayerModel& model, const uint8_t* data, uint32_t length)
{
    if (!m_store || length % BLOCK)
        return false;
    if (!BlocksOk(m_writeBlock * BLOCK, length / BLOCK))
        return false;
    return m_store->Write(static_cast<uint64_t>(m_writeBlock) * BLOCK, data, length);
}

} // namespace vilosim
