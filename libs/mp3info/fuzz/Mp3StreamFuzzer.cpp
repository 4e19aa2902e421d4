// The frame-sync scan, header decoding and Xing reading over arbitrary bytes,
// with the file's size taken from the first bytes so that large files are
// reached too.
#include <cstddef>
#include <cstdint>

#include "Mp3StreamReader.h"

namespace {

class CFuzzSource : public CMp3ByteSource {
public:
    CFuzzSource(const std::uint8_t* data, std::size_t size, std::uint64_t claimed)
        : m_inner(data, size), m_claimed(claimed) {}
    std::uint64_t GetSize() override { return m_claimed; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        return m_inner.ReadAt(offset, buffer, count);
    }

private:
    CMp3MemorySource m_inner;
    std::uint64_t m_claimed;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return 0;
    // A file may be larger than the bytes a read returns (it grows or is cut
    // while read); the reader must cope with either.
    std::uint64_t claimed = size - 5;
    if (data[0] & 1) {
        claimed = 0;
        for (int i = 1; i < 5; ++i)
            claimed = claimed << 8 | data[i];
        claimed <<= data[0] >> 4;
    }
    CFuzzSource source(data + 5, size - 5, claimed);
    Mp3StreamRecord r;
    Mp3ReadStream(source, r);
    if (r.FrameOffset > 5117)
        __builtin_trap();
    return 0;
}
