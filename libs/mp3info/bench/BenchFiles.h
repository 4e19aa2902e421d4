// What the three benchmark programs share: the run's figures in one format.
#pragma once

#include <chrono>
#include <cstdio>

inline void PrintBenchResult(const char* who, long files, std::chrono::steady_clock::duration took, long checksum)
{
    const double seconds = std::chrono::duration<double>(took).count();
    std::printf("%s files=%ld seconds=%.4f files_per_second=%.0f checksum=%ld\n", who, files, seconds,
                seconds > 0 ? files / seconds : 0.0, checksum);
}
