// The reading core natively: every file of a folder, `repeat` times, read from
// disk as the DLL reads it (tags, then stream), all fields taken.
//   mp3info_core_bench <folder> <repeat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "Mp3TagReader.h"

namespace {

class CStdioSource : public CMp3ByteSource {
public:
    explicit CStdioSource(const char* path) : m_file(std::fopen(path, "rb")) {}
    ~CStdioSource() override
    {
        if (m_file)
            std::fclose(m_file);
    }
    bool IsOpen() const { return m_file != nullptr; }
    std::uint64_t GetSize() override
    {
        if (std::fseek(m_file, 0, SEEK_END) != 0)
            return 0;
        const long size = std::ftell(m_file);
        return size < 0 ? 0 : static_cast<std::uint64_t>(size);
    }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0)
            return 0;
        return std::fread(buffer, 1, count, m_file);
    }

private:
    std::FILE* m_file;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <repeat>\n", argv[0]);
        return 2;
    }
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    const int repeat = std::atoi(argv[2]);
    const Mp3TagReader reader;
    const CMp3Latin1Converter converter;
    long checksum = 0;
    long count = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeat; ++r) {
        for (const std::string& path : files) {
            CStdioSource source(path.c_str());
            if (!source.IsOpen())
                continue;
            Mp3TagRecord tag;
            Mp3StreamRecord stream;
            reader.Read(source, tag, stream, converter);
            checksum += static_cast<long>(std::strlen(tag.Title) + std::strlen(tag.Artist) + std::strlen(tag.Album) +
                                          std::strlen(tag.Year) + std::strlen(tag.Comment) +
                                          std::strlen(Mp3TagReader::GenreName(tag.Genre))) +
                        stream.Bitrate + stream.Channels + static_cast<long>(stream.Seconds);
            ++count;
        }
    }
    PrintBenchResult("core", count, std::chrono::steady_clock::now() - start, checksum);
    return 0;
}
