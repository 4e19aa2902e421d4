#include "file_sector_device.h"

#include <cstdio>

namespace {

bool Seek(FILE* f, uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

uint64_t SizeOf(FILE* f)
{
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0) return 0;
    long long n = _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0) return 0;
    off_t n = ftello(f);
#endif
    return n < 0 ? 0 : static_cast<uint64_t>(n);
}

}  // namespace

bool CFileSectorDevice::ReadSectors(int, uint32_t first, uint32_t count, void* buffer)
{
    ++Reads;
    return Transfer(first, count, buffer, false);
}

bool CFileSectorDevice::WriteSectors(int, uint32_t first, uint32_t count, const void* buffer)
{
    ++Writes;
    return Transfer(first, count, const_cast<void*>(buffer), true);
}

bool CFileSectorDevice::Transfer(uint32_t first, uint32_t count, void* buffer, bool write)
{
    FILE* f = std::fopen(ImagePath.c_str(), write ? "r+b" : "rb");
    if (!f) return false;
    const uint64_t offset = uint64_t(first) * SECTOR_BYTES;
    const uint64_t bytes = uint64_t(count) * SECTOR_BYTES;
    // A disk never grows: a request past its end fails instead of extending it.
    bool ok = offset + bytes <= SizeOf(f) && Seek(f, offset);
    if (ok) {
        const size_t moved = write ? std::fwrite(buffer, 1, bytes, f) : std::fread(buffer, 1, bytes, f);
        ok = moved == bytes;
    }
    if (std::fclose(f) != 0) ok = false;
    return ok;
}
