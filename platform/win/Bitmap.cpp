// Bitmap files into DIB sections. The window's skin is a hundred small
// pictures read at every start; the system's file loader maps each file and
// converts it, which costs several times reading it, so a plain picture is
// read once and its rows go straight into a DIB section. Stretched pictures
// and kinds the reader does not take (run-length, OS/2 headers, rows stored
// top down) are left to the system's loader, as before.
#include "Gdi.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "DibFile.h"

namespace mb {

namespace {

// The skin's pictures are small; a larger file is the system loader's.
constexpr DWORD MAX_DIRECT_BYTES = 16u << 20;

bool ReadSmallFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD size = ::GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= MAX_DIRECT_BYTES;
    DWORD got = 0;
    if (ok) {
        bytes.resize(size);
        ok = size == 0 || (::ReadFile(file, bytes.data(), size, &got, nullptr) && got == size);
    }
    ::CloseHandle(file);
    return ok;
}

HBITMAP DirectDibSection(const std::vector<uint8_t>& bytes)
{
    dib::Layout layout;
    // Rows stored top down are the system loader's too: it turns them over
    // in its own way, and a picture must look as it always did.
    if (!dib::ParseBitmapFile(bytes.data(), bytes.size(), layout) || layout.height < 0)
        return nullptr;
    // The header and colour table, aligned as BITMAPINFO wants.
    std::vector<DWORD> info((layout.infoBytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(info.data(), bytes.data() + layout.infoOffset, layout.infoBytes);
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                                        &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    DIBSECTION section{};
    if (!bits || ::GetObjectW(bitmap, sizeof section, &section) != sizeof section ||
        size_t(section.dsBm.bmWidthBytes) * size_t(std::abs(section.dsBm.bmHeight)) != layout.bitsBytes) {
        ::DeleteObject(bitmap);
        return nullptr;
    }
    std::memcpy(bits, bytes.data() + layout.bitsOffset, layout.bitsBytes);
    return bitmap;
}

}  // namespace

HBITMAP LoadBitmapFile(const std::string& path, int cx, int cy)
{
    if (cx == 0 && cy == 0) {
        std::vector<uint8_t> bytes;
        if (ReadSmallFile(path, bytes))
            if (HBITMAP direct = DirectDibSection(bytes))
                return direct;
    }
    return static_cast<HBITMAP>(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, cx, cy, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

}  // namespace mb
