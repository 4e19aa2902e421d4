// Byte array with big-endian field access: CDBs, replies and sector buffers.
#pragma once
#include "qv/QvBase.h"
#include <cstddef>
#include <cstdint>
#include <string>

class CQvByteArray : public CQvBase {
public:
    explicit CQvByteArray(size_t count = 0, std::string name = "CQvByteArray");
    CQvByteArray(const uint8_t* bytes, size_t count, std::string name = "CQvByteArray");
    ~CQvByteArray() override;
    CQvByteArray(const CQvByteArray&) = delete;
    CQvByteArray& operator=(const CQvByteArray&) = delete;

    virtual size_t Count() const { return m_count; }
    virtual int GetAt(size_t index, uint8_t& out) const;
    virtual uint8_t* ElementAt(size_t index);
    virtual int SetAt(size_t index, uint8_t value);
    virtual void Clear();
    // Reverses the byte order in place.
    virtual void Reverse();
    virtual int Allocate(size_t count);
    virtual void Detach();

    int GetU16BE(uint16_t& out, size_t offset) const;
    int GetU32BE(uint32_t& out, size_t offset) const;
    int GetU64BE(uint64_t& out, size_t offset) const;
    int GetFlag(uint8_t& out, size_t offset) const;
    int GetBytes(uint8_t* dest, size_t count, size_t offset) const;
    int SetU16BE(uint16_t value, size_t offset);
    int SetU32BE(uint32_t value, size_t offset);
    int SetU64BE(uint32_t low, uint32_t high, size_t offset);
    int SetBytes(const uint8_t* source, size_t count, size_t offset);
    int Equals(const CQvByteArray& other) const;
    std::u16string ToText() const;

    uint8_t* Data() { return m_data; }
    const uint8_t* Data() const { return m_data; }

private:
    // True when [offset, offset + count) lies inside the array; written so
    // that no sum can wrap.
    bool Fits(size_t offset, size_t count) const { return offset <= m_count && count <= m_count - offset; }

    uint8_t* m_data = nullptr;
    size_t m_count = 0;
};

// Hexadecimal list of bytes: "0x%x, " for each but the last, "0x%x".
std::u16string QvHexList(const uint8_t* bytes, size_t count);
