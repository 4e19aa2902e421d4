#include "block_store.h"

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool CMemoryBlockStore::ReadAt(uint64_t offset, void* data, size_t size)
{
    if (offset > Bytes.size() || size > Bytes.size() - offset)
        return false;
    std::memcpy(data, Bytes.data() + offset, size);
    return true;
}

bool CMemoryBlockStore::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (offset > Bytes.size() || size > Bytes.size() - offset)
        return false;
    std::memcpy(Bytes.data() + offset, data, size);
    return true;
}

CFileBlockStore::~CFileBlockStore()
{
    Close();
}

bool CFileBlockStore::Open(const std::string& path)
{
    Close();
    Fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return Fd >= 0;
}

void CFileBlockStore::Close()
{
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

bool CFileBlockStore::ReadAt(uint64_t offset, void* data, size_t size)
{
    auto* p = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::pread(Fd, p, size, static_cast<off_t>(offset));
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool CFileBlockStore::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (offset > Size() || size > Size() - offset)
        return false;  // the image never grows
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(Fd, p, size, static_cast<off_t>(offset));
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

uint64_t CFileBlockStore::Size()
{
    struct stat st;
    if (Fd < 0 || ::fstat(Fd, &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}
