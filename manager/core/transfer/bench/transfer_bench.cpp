// Copies one folder item through the engine (a download with the XP chunk)
// and prints the milliseconds the run took, measured inside the program so
// that Wine's start is not counted.
//   transfer_bench.exe SOURCE_FOLDER TARGET_FOLDER
#include <windows.h>

#include <cstdio>

#include "TransferEngine.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: transfer_bench SOURCE_FOLDER TARGET_FOLDER\n");
        return 2;
    }
    CQV_SysCtrl sysCtrl;
    CTransferEngine engine(&sysCtrl);
    engine.AddFile(argv[1]);
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
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
    std::printf("%.1f %u %d\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart, status.RunBytesDone,
                status.State);
    return status.State == TRANSFER_DOWNLOAD_DONE ? 0 : 1;
}
