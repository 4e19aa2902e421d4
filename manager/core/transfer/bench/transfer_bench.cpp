// Copies one folder item and prints the milliseconds the run took, measured
// inside the program so that Wine's start is not counted.
//   transfer_bench.exe SOURCE_FOLDER TARGET_FOLDER
//       through the engine (a download with the XP chunk)
//   transfer_bench.exe --bare FLUSH_EVERY END_FLUSH SOURCE_FOLDER TARGET_FOLDER
//       a bare loop of the same file calls, the engine's limit under Wine:
//       the same chunk, FlushFileBuffers after every FLUSH_EVERY chunks
//       (0: never) and before each file is closed when END_FLUSH is 1
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TransferEngine.h"
#include "ChunkCopy.h"

namespace {

struct BareCopy {
    int flushEvery;
    bool endFlush;
    std::vector<char> buffer = std::vector<char>(CHUNK_LARGE);
    unsigned long long bytes = 0;

    bool File(const std::string& from, const std::string& to)
    {
        HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in == INVALID_HANDLE_VALUE)
            return false;
        HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            CloseHandle(in);
            return false;
        }
        bool ok = true;
        int chunks = 0;
        for (;;) {
            DWORD got = 0, put = 0;
            if (!ReadFile(in, buffer.data(), CHUNK_LARGE, &got, nullptr)) {
                ok = false;
                break;
            }
            if (got == 0)
                break;
            if (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got) {
                ok = false;
                break;
            }
            bytes += got;
            if (flushEvery > 0 && ++chunks % flushEvery == 0)
                FlushFileBuffers(out);
        }
        if (ok && endFlush)
            FlushFileBuffers(out);
        CloseHandle(out);
        CloseHandle(in);
        return ok;
    }

    bool Folder(const std::string& from, const std::string& to)
    {
        if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((from + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        bool ok = true;
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ok = Folder(from + "\\" + name, to + "\\" + name) && ok;
            else
                ok = File(from + "\\" + name, to + "\\" + name) && ok;
        } while (FindNextFileA(find, &found));
        FindClose(find);
        return ok;
    }
};

std::string WithoutBackslash(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string NameOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

double Milliseconds(const LARGE_INTEGER& t0, const LARGE_INTEGER& t1)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart;
}

}  // namespace

int main(int argc, char** argv)
{
    LARGE_INTEGER t0, t1;
    if (argc == 6 && std::string(argv[1]) == "--bare") {
        BareCopy copy{std::atoi(argv[2]), std::atoi(argv[3]) != 0};
        const std::string source = WithoutBackslash(argv[4]);
        QueryPerformanceCounter(&t0);
        const bool ok = copy.Folder(source, WithoutBackslash(argv[5]) + "\\" + NameOf(source));
        QueryPerformanceCounter(&t1);
        std::printf("%.1f %llu %d\n", Milliseconds(t0, t1), copy.bytes, ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: transfer_bench [--bare FLUSH_EVERY END_FLUSH] SOURCE_FOLDER TARGET_FOLDER\n");
        return 2;
    }
    CQV_SysCtrl sysCtrl;
    CTransferEngine engine(&sysCtrl);
    engine.AddFile(argv[1]);
    QueryPerformanceCounter(&t0);
    HANDLE thread = engine.Start(TRANSFER_TO_PLAYER, argv[2], TRANSFER_DOWNLOAD, 3);
    if (!thread) {
        std::fprintf(stderr, "transfer_bench: the engine did not start\n");
        return 1;
    }
    WaitForSingleObject(thread, INFINITE);
    QueryPerformanceCounter(&t1);
    TRANSFER_STATUS status;
    engine.GetStatus(&status);
    std::printf("%.1f %u %d\n", Milliseconds(t0, t1), status.RunBytesDone, status.State);
    return status.State == TRANSFER_DOWNLOAD_DONE ? 0 : 1;
}
