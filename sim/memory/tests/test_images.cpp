#include "test_images.h"
#include "HostPaths.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

std::string MakeScratchDir(const std::string& tag)
{
    std::string pattern = "/tmp/mbmem-" + tag + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    char* made = mkdtemp(buf.data());
    return made ? std::string(made) : std::string();
}

void RemoveTree(const std::string& path)
{
    if (path.size() > 5 && path.compare(0, 5, "/tmp/") == 0)
        RunCommand("rm -rf " + mbtest::ShellQuote(path));
}

int RunCommand(const std::string& command, std::string* output)
{
    std::string full = command + " 2>&1";
    FILE* p = popen(full.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MakeImage(const std::string& path, unsigned kib, int fatBits, const std::string& label)
{
    std::string cmd = "rm -f " + mbtest::ShellQuote(path) + " && mkfs.fat -C -S 512 -s 1 -F " + std::to_string(fatBits) +
                      (label.empty() ? std::string() : " -n " + mbtest::ShellQuote(label)) + " " + mbtest::ShellQuote(path) + " " +
                      std::to_string(kib);
    return RunCommand(cmd) == 0;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

bool FsckClean(const std::string& image, std::string* report)
{
    std::string out;
    int rc = RunCommand("fsck.fat -n " + mbtest::ShellQuote(image), &out);
    if (report)
        *report = out;
    return rc == 0 && out.find("\n  ") == std::string::npos;
}

std::vector<std::string> MdirNames(const std::string& image, const std::string& folder)
{
    std::string out;
    std::vector<std::string> names;
    if (RunCommand("MTOOLS_SKIP_CHECK=1 mdir -i " + mbtest::ShellQuote(image) + " -b " + mbtest::ShellQuote(folder), &out) != 0)
        return names;
    size_t i = 0;
    while (i < out.size()) {
        size_t j = out.find('\n', i);
        if (j == std::string::npos)
            j = out.size();
        std::string line = out.substr(i, j - i);
        i = j + 1;
        if (line.empty())
            continue;
        if (!line.empty() && line.back() == '/')
            line.pop_back();
        size_t slash = line.rfind('/');
        names.push_back(slash == std::string::npos ? line : line.substr(slash + 1));
    }
    return names;
}
