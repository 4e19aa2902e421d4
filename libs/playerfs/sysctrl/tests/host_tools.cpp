#include "FsckOutput.h"
#include "host_tools.h"
#include "HostPaths.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

[[maybe_unused]] std::string ReadAll(const std::string& devicePath)
{
    std::ifstream in(devicePath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

std::string ScriptsDir() { return MB_SYSCTRL_SCRIPTS; }

std::string DevicePath(const std::string& hostPath)
{
#ifdef _WIN32
    std::string p = "Z:" + hostPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
#else
    return hostPath;
#endif
}

#ifdef _WIN32
// Wine starts a Unix program from CreateProcess but neither waits for it nor
// passes its exit code back: the command leaves its status in a file.
HostResult RunHost(const std::string& command)
{
    static int serial = 0;
    const std::string base = std::string(MB_SYSCTRL_WORK) + "/host." + std::to_string(GetCurrentProcessId()) + "." +
                             std::to_string(++serial);
    {
        std::ofstream script(DevicePath(base + ".sh"), std::ios::binary);
        script << "( " << command << " ) >" << mbtest::ShellQuote(base + ".out") << " 2>&1 </dev/null\n"
               << "echo $? >" << mbtest::ShellQuote(base + ".rc.tmp") << "\n"
               << "mv " << mbtest::ShellQuote(base + ".rc.tmp") << " " << mbtest::ShellQuote(base + ".rc") << "\n";
    }
    std::string line = "/bin/sh " + base + ".sh";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    HostResult result;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return result;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const std::string rcPath = DevicePath(base + ".rc");
    for (int waited = 0; waited < 120000; waited += 10) {
        if (GetFileAttributesA(rcPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
            result.Status = std::atoi(ReadAll(rcPath).c_str());
            result.Output = ReadAll(DevicePath(base + ".out"));
            break;
        }
        Sleep(10);
    }
    DeleteFileA(DevicePath(base + ".sh").c_str());
    DeleteFileA(DevicePath(base + ".out").c_str());
    DeleteFileA(rcPath.c_str());
    return result;
}
#else
HostResult RunHost(const std::string& command)
{
    HostResult result;
    FILE* p = popen(("( " + command + " ) 2>&1 </dev/null").c_str(), "r");
    if (!p) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) result.Output.append(buffer, n);
    const int status = pclose(p);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
#endif

std::string WorkFolder(const std::string& name)
{
    const std::string folder = std::string(MB_SYSCTRL_WORK) + "/" + name;
    RunHost("rm -rf " + mbtest::ShellQuote(folder) + " && mkdir -p " + mbtest::ShellQuote(folder));
    return folder;
}

bool MakeImage(const std::string& kind, const std::string& image, int bits)
{
    const HostResult r =
        RunHost(mbtest::ShellQuote(ScriptsDir() + "/make-image.sh") + " " + kind + " " + mbtest::ShellQuote(image) + " " + std::to_string(bits));
    if (r.Status != 0) std::fprintf(stderr, "make-image.sh %s: %s\n", kind.c_str(), r.Output.c_str());
    return r.Status == 0;
}

std::vector<std::string> ListFolder(const std::string& image, const std::string& folder)
{
    const HostResult r = RunHost("/usr/bin/python3 " + mbtest::ShellQuote(ScriptsDir() + "/dirlist.py") + " " + mbtest::ShellQuote(image) + " " +
                                 mbtest::ShellQuote(folder));
    std::vector<std::string> lines;
    if (r.Status != 0) {
        lines.push_back("mdir failed: " + r.Output);
        return lines;
    }
    std::istringstream in(r.Output);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool FsckClean(const std::string& image, std::string* report)
{
    const HostResult r = RunHost("fsck.fat -n " + mbtest::ShellQuote(image));
    if (report) *report = r.Output;
    // fsck.fat -n exits 0 even when it lists problems.
    return r.Status == 0 && FsckComplaints(r.Output).empty();
}

std::string Sha256(const std::string& image)
{
    return RunHost("sha256sum " + mbtest::ShellQuote(image) + " | cut -d' ' -f1").Output;
}

std::string Utf8ToAnsi(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = utf8[i];
        if (c >= 0xC2 && c <= 0xC3 && i + 1 < utf8.size()) {
            out.push_back(char(((c & 0x03) << 6) | (utf8[i + 1] & 0x3F)));
            ++i;
        } else {
            out.push_back(char(c));
        }
    }
    return out;
}
