// The chunked copy shared by every file the engine writes: downloads and
// uploads, single files and files inside a folder tree. Windows-free: the
// engine binds the streams to file handles and the cancel question to a
// message box.
#pragma once

#include <cstdint>
#include <vector>

class CChunkStreams {
public:
    virtual ~CChunkStreams() = default;
    // Bytes read into buffer (at most want), 0 at the end of the file, or -1
    // on failure.
    virtual std::int64_t Read(void* buffer, std::uint32_t want) = 0;
    virtual bool Write(const void* buffer, std::uint32_t size) = 0;
    virtual bool Flush() = 0;
    // The bytes just written, for the progress counters.
    virtual void Progress(std::uint32_t bytes) = 0;
    virtual bool CancelRequested() = 0;
    // Asks whether to stop; true when the user confirms the cancel.
    virtual bool ConfirmCancel() = 0;
};

enum CHUNK_COPY_RESULT {
    CHUNK_COPY_DONE = 0,
    CHUNK_COPY_READ_FAILED = 1,
    CHUNK_COPY_WRITE_FAILED = 2,
    CHUNK_COPY_CANCELLED = 3,
};

// Chunk sizes: 320 KB for downloads on Windows XP (platform class 3), 16 KB
// otherwise and for every upload.
constexpr std::uint32_t CHUNK_LARGE = 0x50000;
constexpr std::uint32_t CHUNK_SMALL = 0x4000;
constexpr int PLATFORM_CLASS_XP = 3;

inline std::uint32_t ChunkSizeFor(int platformClass)
{
    return platformClass == PLATFORM_CLASS_XP ? CHUNK_LARGE : CHUNK_SMALL;
}

// Copies size bytes in chunks. Only the bytes actually read are written and
// counted; a source that ends before size bytes (0 bytes read) is a read
// failure, never a shorter copy reported as complete. flushEvery > 0 flushes
// after that many chunks. A cancel asked while bytes remain is put to the
// user after each chunk; with nothing left the file is finished.
CHUNK_COPY_RESULT CopyChunks(CChunkStreams& streams, std::uint64_t size, std::uint32_t chunk, int flushEvery,
                             std::vector<unsigned char>& buffer);

// Adds to a 32-bit byte counter, stopping at 0xFFFFFFFF instead of wrapping.
inline std::uint32_t AddSaturated(std::uint32_t counter, std::uint64_t bytes)
{
    const std::uint64_t sum = static_cast<std::uint64_t>(counter) + bytes;
    return sum > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<std::uint32_t>(sum);
}

inline std::uint32_t Saturate32(std::uint64_t bytes)
{
    return bytes > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<std::uint32_t>(bytes);
}
