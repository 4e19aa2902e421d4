// The peer: TagLib reading the same fields of the same files.
//   mp3info_taglib_bench <folder> <repeat>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include "BenchFiles.h"

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
    long checksum = 0;
    long count = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeat; ++r) {
        for (const std::string& path : files) {
            TagLib::MPEG::File file(path.c_str(), true, TagLib::AudioProperties::Fast);
            if (TagLib::Tag* tag = file.tag()) {
                checksum += static_cast<long>(tag->title().to8Bit().size() + tag->artist().to8Bit().size() +
                                              tag->album().to8Bit().size() + tag->comment().to8Bit().size() +
                                              tag->genre().to8Bit().size()) +
                            static_cast<long>(tag->year());
            }
            if (TagLib::AudioProperties* p = file.audioProperties())
                checksum += p->bitrate() + p->channels() + p->lengthInSeconds();
            ++count;
        }
    }
    PrintBenchResult("taglib", count, std::chrono::steady_clock::now() - start, checksum);
    return 0;
}
