// The playlist reader on any bytes: every entry it returns is a whole path
// with a drive or a server, within the path length, and writing the entries
// and reading them again gives the same entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "DownloadM3u.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> entries = CDownloadM3u::Read(bytes, "C:\\Lists\\Sub");
    std::vector<M3U_ROW> rows;
    for (const std::string& e : entries) {
        if (e.empty() || e.size() > CDownloadM3u::MAX_ENTRY)
            std::abort();
        if (!(e.size() >= 3 && e[1] == ':' && e[2] == '\\') && e.compare(0, 2, "\\\\") != 0)
            std::abort();
        rows.push_back(M3U_ROW{0, e});
    }
    if (CDownloadM3u::Read(CDownloadM3u::Write(rows), "D:\\") != entries)
        std::abort();
    return 0;
}
