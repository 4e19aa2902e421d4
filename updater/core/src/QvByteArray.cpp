#include "qv/QvByteArray.h"
#include "qv/QvErrors.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

CQvByteArray::CQvByteArray(size_t count, std::string name) : CQvBase(std::move(name))
{
    if (count != 0)
        Allocate(count);
}

CQvByteArray::CQvByteArray(const uint8_t* bytes, size_t count, std::string name) : CQvBase(std::move(name))
{
    if (count != 0 && Allocate(count) == 0 && bytes)
        std::memcpy(m_data, bytes, count);
}

CQvByteArray::~CQvByteArray() { Detach(); }

int CQvByteArray::GetAt(size_t index, uint8_t& out) const
{
    if (index >= m_count)
        return QV_E_INDEX;
    out = m_data[index];
    return 0;
}

uint8_t* CQvByteArray::ElementAt(size_t index) { return index < m_count ? m_data + index : nullptr; }

int CQvByteArray::SetAt(size_t index, uint8_t value)
{
    if (index >= m_count)
        return Fail(QV_E_INDEX);
    m_data[index] = value;
    return 0;
}

void CQvByteArray::Clear()
{
    if (m_count)
        std::memset(m_data, 0, m_count);
}

void CQvByteArray::Reverse() { std::reverse(m_data, m_data + m_count); }

int CQvByteArray::Allocate(size_t count)
{
    Detach();
    if (count == 0)
        return 0;
    m_data = new (std::nothrow) uint8_t[count];
    if (!m_data)
        return Fail(QV_E_NOMEM);
    m_count = count;
    Clear();
    return 0;
}

void CQvByteArray::Detach()
{
    delete[] m_data;
    m_data = nullptr;
    m_count = 0;
}

int CQvByteArray::GetU16BE(uint16_t& out, size_t offset) const
{
    if (!Fits(offset, 2))
        return QV_E_SHORT;
    out = uint16_t(m_data[offset] << 8 | m_data[offset + 1]);
    return 0;
}

int CQvByteArray::GetU32BE(uint32_t& out, size_t offset) const
{
    if (!Fits(offset, 4))
        return QV_E_SHORT;
    out = uint32_t(m_data[offset]) << 24 | uint32_t(m_data[offset + 1]) << 16 | uint32_t(m_data[offset + 2]) << 8 |
          m_data[offset + 3];
    return 0;
}

int CQvByteArray::GetU64BE(uint64_t& out, size_t offset) const
{
    uint32_t high = 0, low = 0;
    if (!Fits(offset, 8))
        return QV_E_SHORT;
    GetU32BE(high, offset);
    GetU32BE(low, offset + 4);
    out = uint64_t(high) << 32 | low;
    return 0;
}

int CQvByteArray::GetFlag(uint8_t& out, size_t offset) const
{
    if (!Fits(offset, 1))
        return QV_E_SHORT;
    out = m_data[offset] != 0 ? 1 : 0;
    return 0;
}

int CQvByteArray::GetBytes(uint8_t* dest, size_t count, size_t offset) const
{
    if (!Fits(offset, count))
        return QV_E_SHORT;
    if (count)
        std::memcpy(dest, m_data + offset, count);
    return 0;
}

int CQvByteArray::SetU16BE(uint16_t value, size_t offset)
{
    if (!Fits(offset, 2))
        return Fail(QV_E_SHORT);
    m_data[offset] = uint8_t(value >> 8);
    m_data[offset + 1] = uint8_t(value);
    return 0;
}

int CQvByteArray::SetU32BE(uint32_t value, size_t offset)
{
    if (!Fits(offset, 4))
        return Fail(QV_E_SHORT);
    for (int i = 0; i < 4; ++i)
        m_data[offset + i] = uint8_t(value >> (24 - 8 * i));
    return 0;
}

int CQvByteArray::SetU64BE(uint32_t low, uint32_t high, size_t offset)
{
    if (!Fits(offset, 8))
        return Fail(QV_E_SHORT);
    SetU32BE(high, offset);
    SetU32BE(low, offset + 4);
    return 0;
}

int CQvByteArray::SetBytes(const uint8_t* source, size_t count, size_t offset)
{
    if (!Fits(offset, count))
        return Fail(QV_E_SHORT);
    if (count)
        std::memcpy(m_data + offset, source, count);
    return 0;
}

int CQvByteArray::Equals(const CQvByteArray& other) const
{
    if (m_count != other.m_count)
        return 0;
    return m_count == 0 || std::memcmp(m_data, other.m_data, m_count) == 0 ? 1 : 0;
}

std::u16string CQvByteArray::ToText() const { return QvHexList(m_data, m_count); }

std::u16string QvHexList(const uint8_t* bytes, size_t count)
{
    std::u16string text;
    char item[8];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(item, sizeof item, i + 1 < count ? "0x%x, " : "0x%x", bytes[i]);
        for (const char* p = item; *p; ++p)
            text.push_back(char16_t(*p));
    }
    return text;
}
