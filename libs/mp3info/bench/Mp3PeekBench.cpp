// Mp3Peek.dll under Wine: CMP3Info::SetFilePath and every getter over every
// file of a folder, `repeat` times.
//   mp3peek_bench <Windows folder> <repeat>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "Mp3Info.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <repeat>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(folder + "\\" + found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    const int repeat = std::atoi(argv[2]);
    CMP3Info info;
    char genre[64];
    long checksum = 0;
    long count = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeat; ++r) {
        for (std::string& path : files) {
            if (!info.SetFilePath(&path[0]))
                continue;
            checksum += static_cast<long>(std::strlen(info.GetTitle()) + std::strlen(info.GetArtistName()) +
                                          std::strlen(info.GetAlbumName()) + std::strlen(info.GetYear()) +
                                          std::strlen(info.GetComment())) +
                        info.GetGenre(genre) + info.GetBitrate() + info.GetChannel() +
                        static_cast<long>(info.GetSize() % 1000) + static_cast<long>(info.GetTotalSeconds());
            ++count;
        }
    }
    PrintBenchResult("mp3peek-wine", count, std::chrono::steady_clock::now() - start, checksum);
    return 0;
}
