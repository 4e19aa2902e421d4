// Reads an M3U file the way ListForge does (the whole text, then the entries
// joined to the player root) a number of times and prints the time per read.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "M3uCodec.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: listforge_m3u_bench FILE.m3u [rounds]\n");
        return 2;
    }
    int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    size_t entries = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::ifstream in(argv[1], std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string text = ss.str();
        entries = 0;
        for (const std::string& e : listforge::ParseM3uText(text, listforge::M3uFolderOf("W:\\LISTS\\BIG.M3U"))) {
            std::string full = listforge::JoinRoot("W:\\", e);
            entries += listforge::FileNameOf(full).empty() ? 0 : 1;
        }
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / rounds;
    std::printf("ListForge reader: %zu entries, %.3f ms per read\n", entries, ms);
    return 0;
}
