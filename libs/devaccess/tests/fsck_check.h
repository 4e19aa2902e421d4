// Runs fsck.fat -n and mdir on an image and judges the answer. fsck.fat 4.2
// calls an empty or all-blank volume label in the boot sector invalid and
// exits 1 for that alone; Windows reads such a volume as having no label, so
// those two lines are not counted as a fault.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <sstream>
#include <string>

inline int RunTool(const std::string& command, std::string* output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[512];
    output->clear();
    while (fgets(buffer, sizeof buffer, pipe))
        *output += buffer;
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool FsckClean(const std::string& path, std::string* output)
{
    int status = RunTool("fsck.fat -n " + path, output);
    if (status == 0)
        return true;
    if (status != 1)
        return false;
    std::istringstream lines(*output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("fsck.fat ", 0) == 0 || line.find("Label '") != std::string::npos ||
            line.find("Auto-removing label") != std::string::npos || line == "Leaving filesystem unchanged." ||
            line.find(" files, ") != std::string::npos || line.empty())
            continue;
        return false;
    }
    return true;
}
