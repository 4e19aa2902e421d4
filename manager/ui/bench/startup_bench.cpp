// Starts a program and prints the milliseconds until its first visible
// top-level window is shown, then closes it.
//   startup_bench.exe FOLDER PROGRAM [ARGUMENTS]
// The time runs from CreateProcess to the first poll that finds a visible
// window of the new process; the poll runs every millisecond.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindShown(HWND window, LPARAM context)
{
    Search* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    RECT rect;
    if (owner == search->process && IsWindowVisible(window) && GetWindowRect(window, &rect) &&
        rect.right > rect.left && rect.bottom > rect.top) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench FOLDER PROGRAM [ARGUMENTS]\n");
        return 2;
    }
    std::string command = "\"" + std::string(argv[2]) + "\"";
    for (int i = 3; i < argc; ++i)
        command += " \"" + std::string(argv[i]) + "\"";

    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, argv[1], &startup, &process)) {
        std::fprintf(stderr, "startup_bench: cannot start %s (error %lu)\n", argv[2], GetLastError());
        return 1;
    }
    Search search = {process.dwProcessId, nullptr};
    // Two minutes at most: a program that shows nothing is reported, not waited for.
    for (int tries = 0; tries < 120000 && !search.found; ++tries) {
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            break;
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    QueryPerformanceCounter(&t1);
    int status = 0;
    if (search.found) {
        std::printf("%.1f\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart);
        PostMessageA(search.found, WM_CLOSE, 0, 0);
    } else {
        std::fprintf(stderr, "startup_bench: %s showed no window\n", argv[2]);
        status = 1;
    }
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}
