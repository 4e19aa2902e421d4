#include "DownloadM3u.h"

#include <cctype>
#include <climits>

namespace {

bool HasDrive(const std::string& p)
{
    return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}

// Splits a path after its root into its folder names, resolving "." and
// ".." and dropping what Windows drops at a name's end; false when ".."
// would climb above the root.
bool Resolve(const std::string& root, const std::string& rest, std::string& out)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string part = rest.substr(start, end - start);
        // Windows drops a name's trailing blanks and dots: "a ." names "a"
        // (a tab, which no name may hold, is dropped like a blank).
        if (part != "." && part != "..")
            while (!part.empty() && (part.back() == ' ' || part.back() == '\t' || part.back() == '.'))
                part.pop_back();
        if (part == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty())
        return false;
    out = root;
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i ? "\\" : "") + parts[i];
    return true;
}

std::string Trim(const std::string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t'))
        --b;
    return s.substr(a, b - a);
}

// The full path of one entry line, or empty when it names nothing usable.
std::string Entry(std::string line, std::string folder)
{
    for (char& c : line)
        if (c == '/')
            c = '\\';
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    std::string root, rest;
    if (line.compare(0, 2, "\\\\") == 0) {
        // A network path keeps its server and share.
        const std::size_t server = line.find('\\', 2);
        const std::size_t share = server == std::string::npos ? server : line.find('\\', server + 1);
        if (share == std::string::npos)
            return std::string();
        root = line.substr(0, share + 1);
        rest = line.substr(share + 1);
    } else if (HasDrive(line)) {
        // "C:name" (drive-relative) is taken as "C:\name".
        root = line.substr(0, 2) + "\\";
        rest = line.substr(2);
    } else if (HasDrive(folder)) {
        // Relative to the playlist's folder, or to its drive's root ("\x").
        root = folder.substr(0, 2) + "\\";
        rest = line[0] == '\\' ? line : folder.substr(2) + "\\" + line;
    } else if (folder.compare(0, 2, "\\\\") == 0) {
        // A playlist on a network share: its share is the root.
        const std::size_t server = folder.find('\\', 2);
        if (server == std::string::npos || server == 2)
            return std::string();
        const std::size_t share = folder.find('\\', server + 1);
        const std::size_t shareEnd = share == std::string::npos ? folder.size() : share;
        if (shareEnd == server + 1)
            return std::string();
        root = folder.substr(0, shareEnd) + "\\";
        rest = line[0] == '\\' ? line : folder.substr(shareEnd) + "\\" + line;
    } else {
        return std::string();
    }
    std::string out;
    if (!Resolve(root, rest, out) || out.size() > CDownloadM3u::MAX_ENTRY)
        return std::string();
    return out;
}

}  // namespace

std::string CDownloadM3u::NameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int CDownloadM3u::WmaSeconds(std::uint64_t size, std::uint32_t bitrate)
{
    if (bitrate == 0)
        return 0;
    const std::uint64_t seconds = size * 8 / (static_cast<std::uint64_t>(bitrate) * 1024);
    return seconds > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(seconds);
}

std::string CDownloadM3u::Write(const std::vector<M3U_ROW>& rows)
{
    std::string text = "#EXTM3U\r\n";
    for (const M3U_ROW& row : rows)
        text += "#EXTINF:" + std::to_string(row.Seconds) + "," + NameOf(row.Path) + "\r\n" + row.Path + "\r\n";
    return text;
}

std::vector<std::string> CDownloadM3u::Read(const std::string& bytes, const std::string& folder)
{
    std::vector<std::string> entries;
    std::size_t pos = 0;
    // A byte-order mark some editors put in front.
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        const std::size_t length = end - pos;
        // The rest of a line past any path's length is never read into a path.
        if (length <= MAX_ENTRY) {
            const std::string line = Trim(bytes.substr(pos, length));
            if (!line.empty() && line[0] != '#' && line.find('\0') == std::string::npos) {
                const std::string path = Entry(line, folder);
                if (!path.empty())
                    entries.push_back(path);
            }
        }
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    return entries;
}
