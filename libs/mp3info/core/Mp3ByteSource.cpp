#include "Mp3ByteSource.h"

#include <cstring>

std::size_t CMp3MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset >= m_size)
        return 0;
    const std::size_t left = m_size - static_cast<std::size_t>(offset);
    const std::size_t n = count < left ? count : left;
    if (n)
        std::memcpy(buffer, m_data + offset, n);
    return n;
}
