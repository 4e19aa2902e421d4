// Times one order write: InitDirectory and SetFileOrder of a folder of an
// image, with the names read from a file (one a line, in the wanted order).
//   sysctrl_bench <image> <folder path X:\...\> <names file>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "file_sector_device.h"
#include "sysctrl_seams.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: sysctrl_bench <image> <folder> <names file>\n");
        return 2;
    }
    std::vector<std::string> names;
    std::ifstream in(argv[3]);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
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
