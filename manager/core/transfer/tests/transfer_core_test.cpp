// The transfer engine's copy loop and path rules, on memory streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ChunkCopy.h"
#include "TransferPaths.h"
#include "TransferStrings.h"
#include "TransferTypes.h"

namespace {

// A source of given bytes that hands out at most maxRead per read (a pipe or
// a network share returns less than asked), and a sink that keeps what it got.
class CMemoryStreams : public CChunkStreams {
public:
    std::vector<unsigned char> source;
    std::vector<unsigned char> sink;
    std::size_t readPos = 0;
    std::uint32_t maxRead = 0xFFFFFFFF;
    bool failWrites = false;
    int flushes = 0;
    std::uint64_t progress = 0;
    int reads = 0;
    int cancelAfterReads = -1;  // the user presses cancel after this read
    std::vector<bool> answers;  // answers to the cancel question, in order
    int questions = 0;
    bool cancelFlag = false;

    std::int64_t Read(void* buffer, std::uint32_t want) override
    {
        ++reads;
        if (reads == cancelAfterReads)
            cancelFlag = true;
        const std::size_t n = std::min<std::size_t>({want, maxRead, source.size() - readPos});
        std::memcpy(buffer, source.data() + readPos, n);
        readPos += n;
        return static_cast<std::int64_t>(n);
    }
    bool Write(const void* buffer, std::uint32_t size) override
    {
        if (failWrites)
            return false;
        const auto* p = static_cast<const unsigned char*>(buffer);
        sink.insert(sink.end(), p, p + size);
        return true;
    }
    bool Flush() override
    {
        ++flushes;
        return true;
    }
    void Progress(std::uint32_t bytes) override { progress += bytes; }
    bool CancelRequested() override { return cancelFlag; }
    bool ConfirmCancel() override
    {
        const bool yes = questions < static_cast<int>(answers.size()) && answers[questions];
        ++questions;
        if (!yes)
            cancelFlag = false;
        return yes;
    }
};

std::vector<unsigned char> Pattern(std::size_t n)
{
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>((i * 131u + (i >> 9)) & 0xFF);
    return v;
}

}  // namespace

TEST(ChunkCopyLoop, CopiesExactlyTheSourceForEverySizeAroundAChunk)
{
    for (std::uint32_t chunk : {CHUNK_SMALL, CHUNK_LARGE}) {
        for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(chunk - 1), std::size_t(chunk),
                                 std::size_t(chunk + 1), std::size_t(3 * chunk + 7)}) {
            CMemoryStreams s;
            s.source = Pattern(size);
            std::vector<unsigned char> buffer;
            EXPECT_EQ(CHUNK_COPY_DONE, CopyChunks(s, size, chunk, 10, buffer)) << size;
            EXPECT_EQ(s.source, s.sink) << "chunk " << chunk << " size " << size;
            EXPECT_EQ(size, s.progress);
        }
    }
}

TEST(ChunkCopyLoop, ShortReadsAreWrittenAsReadNotAsWholeChunks)
{
    CMemoryStreams s;
    s.source = Pattern(CHUNK_SMALL * 2 + 1);
    s.maxRead = 1000;
    std::vector<unsigned char> buffer;
    EXPECT_EQ(CHUNK_COPY_DONE, CopyChunks(s, s.source.size(), CHUNK_SMALL, 0, buffer));
    EXPECT_EQ(s.source, s.sink);
    EXPECT_EQ(s.source.size(), s.progress);
}

TEST(ChunkCopyLoop, ASourceEndingEarlyIsAReadFailureNotATruncatedCopy)
{
    CMemoryStreams s;
    s.source = Pattern(CHUNK_SMALL + 5);
    std::vector<unsigned char> buffer;
    // The file shrank after its size was read.
    EXPECT_EQ(CHUNK_COPY_READ_FAILED, CopyChunks(s, CHUNK_SMALL * 3, CHUNK_SMALL, 10, buffer));
    EXPECT_EQ(s.source.size(), s.sink.size());
    EXPECT_EQ(s.source.size(), s.progress);
}

TEST(ChunkCopyLoop, WriteFailureStopsTheCopy)
{
    CMemoryStreams s;
    s.source = Pattern(100);
    s.failWrites = true;
    std::vector<unsigned char> buffer;
    EXPECT_EQ(CHUNK_COPY_WRITE_FAILED, CopyChunks(s, 100, CHUNK_SMALL, 10, buffer));
    EXPECT_EQ(0u, s.progress);
}

TEST(ChunkCopyLoop, FlushesAfterEveryTenthChunk)
{
    CMemoryStreams s;
    s.source = Pattern(CHUNK_SMALL * 25);
    std::vector<unsigned char> buffer;
    EXPECT_EQ(CHUNK_COPY_DONE, CopyChunks(s, s.source.size(), CHUNK_SMALL, 10, buffer));
    EXPECT_EQ(2, s.flushes);
    CMemoryStreams u;
    u.source = Pattern(CHUNK_SMALL * 25);
    EXPECT_EQ(CHUNK_COPY_DONE, CopyChunks(u, u.source.size(), CHUNK_SMALL, 0, buffer));
    EXPECT_EQ(0, u.flushes);
}

TEST(ChunkCopyCancel, ConfirmedCancelLeavesBytesRemaining)
{
    CMemoryStreams s;
    s.source = Pattern(CHUNK_SMALL * 4);
    s.cancelAfterReads = 2;
    s.answers = {true};
    std::vector<unsigned char> buffer;
    EXPECT_EQ(CHUNK_COPY_CANCELLED, CopyChunks(s, s.source.size(), CHUNK_SMALL, 10, buffer));
    EXPECT_EQ(CHUNK_SMALL * 2u, s.sink.size());
    EXPECT_TRUE(s.cancelFlag);
}

TEST(ChunkCopyCancel, AnsweringNoGoesOnWithTheSameFile)
{
    CMemoryStreams s;
    s.source = Pattern(CHUNK_SMALL * 4);
    s.cancelAfterReads = 1;
    s.answers = {false};
    std::vector<unsigned char> buffer;
    EXPECT_EQ(CHUNK_COPY_DONE, CopyChunks(s, s.source.size(), CHUNK_SMALL, 10, buffer));
    EXPECT_EQ(s.source, s.sink);
    EXPECT_EQ(1, s.questions);
    EXPECT_FALSE(s.cancelFlag);
}

TEST(ChunkCopyCancel, CancelDuringTheLastChunkLetsTheFileFinish)
{
    CMemoryStreams s;
    s.source = Pattern(CHUNK_SMALL * 2);
    s.cancelAfterReads = 2;
    s.answers = {true};
    std::vector<unsigned char> buffer;
    EXPECT_EQ(CHUNK_COPY_DONE, CopyChunks(s, s.source.size(), CHUNK_SMALL, 10, buffer));
    EXPECT_EQ(0, s.questions);
    EXPECT_TRUE(s.cancelFlag);  // asked before the next item instead
}

TEST(ByteCounters, StopAtTheLargest32BitValue)
{
    EXPECT_EQ(0xFFFFFFFFu, AddSaturated(0xFFFFFF00u, 0x1000));
    EXPECT_EQ(10u, AddSaturated(4, 6));
    EXPECT_EQ(0xFFFFFFFFu, Saturate32(0x100000000ULL));  // 4 GiB is not 0
    EXPECT_EQ(0xFFFFFFFFu, Saturate32(0x200000000ULL));
    EXPECT_EQ(0x12345u, Saturate32(0x12345));
}

TEST(ByteCounters, ChunkSizeFollowsThePlatformClass)
{
    EXPECT_EQ(0x50000u, ChunkSizeFor(3));
    for (int cls : {0, 1, 2, 4})
        EXPECT_EQ(0x4000u, ChunkSizeFor(cls));
}

TEST(TransferPathRules, JoinsWithOneBackslash)
{
    EXPECT_EQ("R:\\a.mp3", CTransferPaths::Join("R:\\", "a.mp3"));
    EXPECT_EQ("R:\\Music\\a.mp3", CTransferPaths::Join("R:\\Music", "a.mp3"));
    EXPECT_EQ("R:\\Music\\a.mp3", CTransferPaths::Join("R:\\Music\\", "\\a.mp3"));
    EXPECT_EQ("a.mp3", CTransferPaths::NameOf("C:\\x\\y\\a.mp3"));
    EXPECT_EQ("C:\\x\\y", CTransferPaths::FolderOf("C:\\x\\y\\a.mp3"));
    EXPECT_EQ("C:\\", CTransferPaths::FolderOf("C:\\a.mp3"));
    EXPECT_EQ("M3U", CTransferPaths::ExtensionOf("C:\\x.y\\list.M3U"));
    EXPECT_EQ("", CTransferPaths::ExtensionOf("C:\\x.y\\noext"));
    EXPECT_EQ("r:\\", CTransferPaths::RootOf("r:\\Music"));
    EXPECT_EQ("", CTransferPaths::RootOf("\\\\server\\share"));
}

TEST(TransferPathRules, AFolderCannotBeCopiedIntoItself)
{
    EXPECT_TRUE(CTransferPaths::IsSameOrInside("R:\\Music\\Music", "R:\\Music"));
    EXPECT_TRUE(CTransferPaths::IsSameOrInside("r:\\music\\A\\Music", "R:\\Music\\"));
    EXPECT_TRUE(CTransferPaths::IsSameOrInside("R:\\Music\\", "r:\\music"));
    EXPECT_FALSE(CTransferPaths::IsSameOrInside("R:\\Musical\\Music", "R:\\Music"));
    EXPECT_FALSE(CTransferPaths::IsSameOrInside("R:\\Music", "R:\\Music\\Sub"));
    EXPECT_FALSE(CTransferPaths::IsSameOrInside("S:\\Music\\Music", "R:\\Music"));
    EXPECT_TRUE(CTransferPaths::SamePath("C:\\A\\b.mp3", "c:/a/B.MP3"));
}

TEST(TransferPathRules, ScratchNamesAreShortAndInTheTargetFolder)
{
    const std::string a = CTransferPaths::ScratchNameFor("C:\\Up", 1);
    const std::string b = CTransferPaths::ScratchNameFor("C:\\Up", 2);
    EXPECT_NE(a, b);
    EXPECT_EQ("C:\\Up", CTransferPaths::FolderOf(a));
    EXPECT_LE(CTransferPaths::NameOf(a).size(), 12u);
}

TEST(TransferTexts, EveryTextTheEngineShowsHasItsEnglishForm)
{
    for (unsigned id : {106u, 107u, 108u, 111u, 112u, 115u, 126u, 127u, 129u, 130u, 132u, 137u, 187u, 313u, 348u, 350u})
        EXPECT_NE(nullptr, TransferStringDefault(id)) << id;
    EXPECT_EQ(nullptr, TransferStringDefault(999));
    EXPECT_STREQ("Failed to write a file to the memory.", TransferStringDefault(112));
}
