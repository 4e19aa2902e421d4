#include "M3uCodec.h"

#include <algorithm>

namespace listforge {

std::string BuildM3uText(const std::vector<std::string>& paths)
{
    std::string text = "#EXTM3U\r\n";
    for (const std::string& p : paths) {
        text += p;
        text += "\r\n";
    }
    return text;
}

namespace {

// "LISTS\..\MUSIC\.\A.MP3" becomes "MUSIC\A.MP3": the player and the shell
// know a file by its direct path only. ".." above the root stays at the root.
std::string CollapseDots(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bs = path.find('\\', start);
        std::string part = path.substr(start, bs == std::string::npos ? std::string::npos : bs - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (part != "." && !(part.empty() && !parts.empty() && bs != std::string::npos)) {
            parts.push_back(part);
        }
        if (bs == std::string::npos)
            break;
        start = bs + 1;
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "\\" : "") + parts[i];
    return out;
}

}  // namespace

std::vector<std::string> ParseM3uText(const std::string& text, const std::string& m3uFolder)
{
    // One line at a time, each without its line end (CR LF, LF, or CR alone
    // as older editors wrote it): a list of many short lines costs no more
    // than its entries. A UTF-8 byte-order mark before the first line is no
    // part of it.
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // A backslash stands in a line or after it when the last one does.
    const size_t lastBackslash = text.rfind('\\');
    std::vector<std::string> entries;
    std::string line;
    for (bool more = true; more;) {
        size_t end = text.find_first_of("\r\n", start);
        more = end != std::string::npos;
        if (!more)
            end = text.size();
        line.assign(text, start, end - start);
        const bool backslashFromHere = lastBackslash != std::string::npos && lastBackslash >= start;
        if (more)
            start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        if (!line.empty() && line[0] == '#')
            continue;
        std::string entry;
        size_t drive = line.find(":\\");
        if (drive != std::string::npos) {
            entry = line.substr(drive + 2);
        } else {
            if (!backslashFromHere)
                break;
            if (line.empty())
                continue;
            // A line from the root ("\\POP\\A.MP3") takes no folder.
            entry = m3uFolder.empty() || line[0] == '\\' ? line : m3uFolder + "\\" + line;
            if (entry.find(".\\") != std::string::npos || entry.find("\\.") != std::string::npos)
                entry = CollapseDots(entry);
        }
        if (!entry.empty() && entry[0] == '\\')
            entry.erase(0, 1);
        if (entry.empty() || entry.find('\0') != std::string::npos)
            continue;
        entries.push_back(entry);
    }
    return entries;
}

std::string M3uFolderOf(const std::string& m3uPath)
{
    size_t last = m3uPath.rfind('\\');
    if (m3uPath.size() <= 3 || last == std::string::npos || last <= 3)
        return {};
    return m3uPath.substr(3, last - 3);
}

std::string JoinRoot(const std::string& root, const std::string& entry)
{
    if (root.empty() || root.back() == '\\')
        return root + entry;
    return root + "\\" + entry;
}

std::string FileNameOf(const std::string& path)
{
    size_t last = path.rfind('\\');
    return last == std::string::npos ? path : path.substr(last + 1);
}

bool HasMusicExtension(const std::string& name)
{
    if (name.find_first_of("?*") != std::string::npos)
        return false;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4)
        return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return ext == "mp3" || ext == "wma";
}

std::vector<std::string> SplitFileDialogResult(const char* buffer, size_t size, size_t fileOffset)
{
    size_t first = 0;
    while (first < size && buffer[first])
        ++first;
    if (first == 0 || first == size)
        return {};
    if (fileOffset > 0 && fileOffset < first) {
        // One file: its whole path, the name starting at the offset.
        return {std::string(buffer, first)};
    }
    // Several: the folder, then the names, each NUL-terminated, then a NUL.
    std::string folder(buffer, first);
    if (folder.back() != '\\')
        folder += '\\';
    std::vector<std::string> paths;
    size_t i = first + 1;
    while (i < size && buffer[i]) {
        size_t n = 0;
        while (i + n < size && buffer[i + n])
            ++n;
        paths.push_back(folder + std::string(buffer + i, n));
        i += n + 1;
    }
    return paths;
}

}  // namespace listforge
