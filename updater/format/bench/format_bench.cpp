// Formats a data area of the given size into an image file through the
// updater's formatter (every run written and read back) and prints the time.
#include "SimTransport.h"
#include "qv/QvFormatter.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: qv_format_bench image megabytes\n");
        return 2;
    }
    uint64_t sectors = std::strtoull(argv[2], nullptr, 10) * 2048;
    auto start = std::chrono::steady_clock::now();
    CImageTransport transport(argv[1], sectors, 512);
    if (!transport.Ok()) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    CQvFormatter formatter(nullptr, &transport);
    int r = formatter.Format(0, nullptr, 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r != 0) {
        std::fprintf(stderr, "format failed: %d\n", r);
        return 1;
    }
    std::printf("%.6f\n", seconds);
    return 0;
}
