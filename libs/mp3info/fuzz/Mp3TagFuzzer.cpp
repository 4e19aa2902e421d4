// The whole reading of a file (ID3v1, ID3v2 frames and their texts, stream)
// over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Mp3TagReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMp3MemorySource source(data, size);
    Mp3TagRecord tag;
    Mp3StreamRecord stream;
    Mp3TagReader().Read(source, tag, stream, CMp3Latin1Converter());
    // Every text must end inside its field.
    if (!std::memchr(tag.Title, 0, sizeof tag.Title) || !std::memchr(tag.Artist, 0, sizeof tag.Artist) ||
        !std::memchr(tag.Album, 0, sizeof tag.Album) || !std::memchr(tag.Year, 0, sizeof tag.Year) ||
        !std::memchr(tag.Comment, 0, sizeof tag.Comment))
        __builtin_trap();
    if (stream.Bitrate < 0 || stream.Bitrate > 999)
        __builtin_trap();
    return 0;
}
