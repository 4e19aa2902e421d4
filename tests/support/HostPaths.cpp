#include "HostPaths.h"

namespace mbtest {

std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string HostWinPath(const std::string& hostPath)
{
    std::string p = "Z:" + hostPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

}  // namespace mbtest
