// aacinfo.exe: our stand-in of the outside tool that the AAC analysis control
// starts. It reads the ADTS file named by its first argument and writes the
// seven fields into "aacinfo.txt" in its current folder. Exit code 0 for an
// ADTS file, 1 for a file that is not one, 2 when the file cannot be read or
// the output cannot be written (no output file then).
//
// Test hook (environment): MB_AACINFO_DELAY_MS makes it wait that long first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AdtsReader.h"

namespace {

// The file whole; ADTS files of a portable player are a few megabytes.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& data)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    // Test hook: a tool that takes this long before it reads anything.
    if (const char* delay = std::getenv("MB_AACINFO_DELAY_MS"))
        Sleep(static_cast<DWORD>(std::strtoul(delay, nullptr, 10)));
    if (argc < 2) {
        std::fprintf(stderr, "usage: aacinfo <file.aac>\n");
        return 2;
    }
    std::vector<uint8_t> data;
    if (!ReadWholeFile(argv[1], data)) {
        std::fprintf(stderr, "aacinfo: cannot read %s\n", argv[1]);
        return 2;
    }
    aacinfo::ADTS_FACTS facts;
    const aacinfo::ADTS_RESULT result = aacinfo::ScanAdts(data.data(), data.size(), facts);
    const std::string text = aacinfo::FormatAacInfo(result, facts);
    FILE* out = std::fopen("aacinfo.txt", "wb");
    if (!out)
        return 2;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::remove("aacinfo.txt");
        return 2;
    }
    return result == aacinfo::ADTS_OK ? 0 : 1;
}
