#include "ChunkCopy.h"

#include <algorithm>

CHUNK_COPY_RESULT CopyChunks(CChunkStreams& streams, std::uint64_t size, std::uint32_t chunk, int flushEvery,
                             std::vector<unsigned char>& buffer)
{
    if (chunk == 0)
        chunk = CHUNK_SMALL;
    if (buffer.size() < chunk)
        buffer.resize(chunk);
    std::uint64_t remaining = size;
    int chunks = 0;
    while (remaining > 0) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk, remaining));
        const std::int64_t got = streams.Read(buffer.data(), want);
        if (got <= 0 || static_cast<std::uint64_t>(got) > want)
            return CHUNK_COPY_READ_FAILED;
        const auto bytes = static_cast<std::uint32_t>(got);
        if (!streams.Write(buffer.data(), bytes))
            return CHUNK_COPY_WRITE_FAILED;
        remaining -= bytes;
        streams.Progress(bytes);
        ++chunks;
        if (flushEvery > 0 && chunks % flushEvery == 0 && !streams.Flush())
            return CHUNK_COPY_WRITE_FAILED;
        if (remaining > 0 && streams.CancelRequested() && streams.ConfirmCancel())
            return CHUNK_COPY_CANCELLED;
    }
    return CHUNK_COPY_DONE;
}
