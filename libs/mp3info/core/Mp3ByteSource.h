// Where the tag and stream readers get their bytes from: a file on Windows, a
// memory buffer in tests, fuzz targets and the analysis controls' hosts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CMp3ByteSource {
public:
    virtual ~CMp3ByteSource() = default;
    // The length of the whole file.
    virtual std::uint64_t GetSize() = 0;
    // Reads up to count bytes at offset; returns how many were read (0 past
    // the end or on a read failure).
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

class CMp3MemorySource : public CMp3ByteSource {
public:
    CMp3MemorySource(const void* data, std::size_t size)
        : m_data(static_cast<const std::uint8_t*>(data)), m_size(size) {}
    std::uint64_t GetSize() override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};
