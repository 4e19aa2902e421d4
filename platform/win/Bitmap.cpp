// Bitmap files into DIB sections. The window's skin is a hundred small
// pictures read at every start, and its frame edges again at every resize;
// the system's file loader maps each file and converts it, which costs several
// times reading it, so a plain picture is read once and its rows go straight
// into a DIB section, or are stretched into one as the loader stretches them.
// Kinds the reader does not take (run-length, OS/2 headers, rows stored top
// down) are left to the system's loader, as before.
#include "Gdi.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "DibFile.h"
#include "Sync.h"

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

// The file's pixels at their own size.
HBITMAP DirectDibSection(const std::vector<uint8_t>& bytes, const dib::Layout& layout, std::vector<DWORD>& info)
{
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

// The file's pixels stretched to cx x cy, as the system's loader does it: an
// uncompressed DIB section of the new size and depth, the rows drawn into it
// in halftone mode (colour pictures) from a fresh memory DC.
HBITMAP StretchedDibSection(const std::vector<uint8_t>& bytes, const dib::Layout& layout, std::vector<DWORD>& info,
                            int cx, int cy)
{
    std::vector<DWORD> target = info;
    BITMAPINFOHEADER& header = reinterpret_cast<BITMAPINFO*>(target.data())->bmiHeader;
    header.biWidth = cx;
    header.biHeight = cy;
    header.biSizeImage = 0;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(target.data()), DIB_RGB_COLORS,
                                        &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    bool drawn = false;
    if (HDC dc = ::CreateCompatibleDC(nullptr)) {
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        if (layout.bitCount > 1)
            ::SetStretchBltMode(dc, HALFTONE);
        drawn = old && ::StretchDIBits(dc, 0, 0, cx, cy, 0, 0, layout.width, layout.height,
                                       bytes.data() + layout.bitsOffset, reinterpret_cast<const BITMAPINFO*>(info.data()),
                                       DIB_RGB_COLORS, SRCCOPY) != 0;
        if (old)
            ::SelectObject(dc, old);
        ::DeleteDC(dc);
    }
    if (!drawn) {
        ::DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

HBITMAP DibSectionOf(const std::vector<uint8_t>& bytes, int cx, int cy)
{
    dib::Layout layout;
    // Rows stored top down are the system loader's too: it turns them over
    // in its own way, and a picture must look as it always did.
    if (!dib::ParseBitmapFile(bytes.data(), bytes.size(), layout) || layout.height < 0)
        return nullptr;
    // The header and colour table, aligned as BITMAPINFO wants.
    std::vector<DWORD> info((layout.infoBytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(info.data(), bytes.data() + layout.infoOffset, layout.infoBytes);
    // A side given as 0 keeps the file's.
    if (cx == 0)
        cx = layout.width;
    if (cy == 0)
        cy = layout.height;
    if (cx == layout.width && cy == layout.height)
        return DirectDibSection(bytes, layout, info);
    if (cx < 0 || cy < 0 || cx > dib::MAX_SIDE || cy > dib::MAX_SIDE)
        return nullptr;
    return StretchedDibSection(bytes, layout, info, cx, cy);
}

// Pictures read ahead by BeginBitmapPrefetch, by lower-case path: the file's
// bytes and, when the direct reader takes it, its DIB section at its own size.
struct Prefetched {
    std::vector<uint8_t> bytes;
    HBITMAP plain = nullptr;
};

class CBitmapPrefetch {
public:
    static CBitmapPrefetch& Instance()
    {
        static CBitmapPrefetch prefetch;
        return prefetch;
    }

    bool Begin(const std::string& folder)
    {
        CSingleLock hold(m_lock);
        EndLocked();
        m_active = true;
        std::string base = folder;
        if (!base.empty() && base.back() != '\\')
            base += '\\';
        // Only the thread touches the table until it is joined.
        return m_thread.Start([this, base] { ReadFolder(base); });
    }

    void End()
    {
        CSingleLock hold(m_lock);
        EndLocked();
    }

    // True when the file was read ahead: `plain` is its DIB section when it
    // is wanted at its own size and the reader took it, else `bytes` are the
    // file's contents. Each file is taken once.
    bool Take(const std::string& path, int cx, int cy, HBITMAP& plain, std::vector<uint8_t>& bytes)
    {
        CSingleLock hold(m_lock);
        if (!m_active)
            return false;
        m_thread.Join();
        auto it = m_files.find(Key(path));
        if (it == m_files.end())
            return false;
        if (cx == 0 && cy == 0 && it->second.plain) {
            plain = it->second.plain;
        } else {
            if (it->second.plain)
                ::DeleteObject(it->second.plain);
            bytes.swap(it->second.bytes);
        }
        m_files.erase(it);
        return true;
    }

private:
    static std::string Key(const std::string& path)
    {
        std::string key = path;
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        return key;
    }

    void ReadFolder(const std::string& base)
    {
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((base + "*.bmp").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const std::string path = base + found.cFileName;
            Prefetched file;
            if (!ReadSmallFile(path, file.bytes))
                continue;
            file.plain = DibSectionOf(file.bytes, 0, 0);
            m_files[Key(path)] = std::move(file);
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }

    void EndLocked()
    {
        m_thread.Join();
        for (auto& [path, file] : m_files)
            if (file.plain)
                ::DeleteObject(file.plain);
        m_files.clear();
        m_active = false;
    }

    CCriticalSection m_lock;
    CWorkerThread m_thread;
    std::map<std::string, Prefetched> m_files;
    bool m_active = false;
};

}  // namespace

bool BeginBitmapPrefetch(const std::string& folder)
{
    return CBitmapPrefetch::Instance().Begin(folder);
}

void EndBitmapPrefetch()
{
    CBitmapPrefetch::Instance().End();
}

HBITMAP LoadBitmapFile(const std::string& path, int cx, int cy, const std::vector<uint8_t>* bytes)
{
    std::vector<uint8_t> read;
    if (!bytes) {
        HBITMAP plain = nullptr;
        if (CBitmapPrefetch::Instance().Take(path, cx, cy, plain, read)) {
            if (plain)
                return plain;
            bytes = &read;
        } else if (ReadSmallFile(path, read)) {
            bytes = &read;
        }
    }
    if (bytes)
        if (HBITMAP direct = DibSectionOf(*bytes, cx, cy))
            return direct;
    return static_cast<HBITMAP>(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, cx, cy, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

}  // namespace mb
