// Mp3Peek.dll under Wine: CMP3Info::SetFilePath and every getter over every
// file of a folder, `repeat` times. With "bare", only the file calls such a
// read makes (open, size, the head, the scan window, the ID3v1 tail, close),
// which is the most any reader could reach under Wine.
//   mp3peek_bench <Windows folder> <repeat> [bare]
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
    if (argc > 3 && std::strcmp(argv[3], "bare") == 0) {
        std::vector<char> buffer(5120);
        long checksum = 0, count = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < repeat; ++r) {
            for (const std::string& path : files) {
                HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
                if (file == INVALID_HANDLE_VALUE) continue;
                DWORD high = 0;
                const DWORD size = GetFileSize(file, &high);
                const LONG at[3] = {0, 0, size > 128 ? LONG(size - 128) : 0};
                const DWORD length[3] = {10, 5120, 128};
                for (int k = 0; k < 3; ++k) {
                    DWORD got = 0;
                    SetFilePointer(file, at[k], nullptr, FILE_BEGIN);
                    if (ReadFile(file, buffer.data(), length[k], &got, nullptr)) checksum += long(got);
                }
                CloseHandle(file);
                ++count;
            }
        }
        PrintBenchResult("bare-wine-file-calls", count, std::chrono::steady_clock::now() - start, checksum);
        return 0;
    }
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
