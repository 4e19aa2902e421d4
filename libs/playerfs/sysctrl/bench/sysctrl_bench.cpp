// Times one order write: InitDirectory and SetFileOrder of a folder of an
// image, with the names read from a file (one a line, in the wanted order).
//   sysctrl_bench <image> <folder path X:\...\> <names file>
//   sysctrl_bench --start      ends at once (the start-up a run pays anyway)
// Prints the milliseconds of the calls themselves and their result.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "file_sector_device.h"
#include "sysctrl_seams.h"
#ifdef SYSCTRL_BENCH_WIN_CODE_PAGE
#include "win_code_page.h"
#endif

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--start") == 0) return 0;
    if (argc != 4) {
        std::fprintf(stderr, "usage: sysctrl_bench <image> <folder> <names file> | --start\n");
        return 2;
    }
#ifdef SYSCTRL_BENCH_WIN_CODE_PAGE
    // The code pages the DLL reads names through.
    static const CWinCodePage codePage;
    SetSysCtrlCodePage(&codePage);
#endif
    // The names file is read whole with stdio: a stream's locale set-up
    // would cost the run more than reading 2,000 names does.
    std::vector<std::string> names;
    std::string list;
    if (FILE* in = std::fopen(argv[3], "rb")) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) list.append(chunk, n);
        std::fclose(in);
    }
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        size_t stop = end;
        if (stop > at && list[stop - 1] == '\r') --stop;
        if (stop > at) names.emplace_back(list, at, stop - at);
        at = end + 1;
    }
    CFileSectorDevice device(argv[1]);
    SetSysCtrlDevice(&device);
    const auto start = std::chrono::steady_clock::now();
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    QV_RESULT r = ctrl.InitDirectory(argv[2]);
    if (r == QV_SUCCESS) {
        ctrl.SetFileNum(int(names.size()));
        for (const std::string& n : names) ctrl.AddFileName(n.c_str());
        r = ctrl.SetFileOrder(argv[2]);
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    char text[32];
    ctrl.GetErrorCode(r, text);
    std::printf("%.3f %s\n", ms, text);
    return r == QV_SUCCESS ? 0 : 1;
}
