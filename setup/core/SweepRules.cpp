#include "SweepRules.h"

#include <cctype>
#include <cstring>

namespace devsweep {

WIN_LINE ClassifyWindows(unsigned long platformId, unsigned long major, unsigned long minor) {
    // NT 4.0 also reports major 4: only the 9x platform id makes 95/98/ME.
    if (platformId == 2)
        return WINLINE_NT;
    if (platformId == 1 && major == 4) {
        if (minor >= 90)
            return WINLINE_ME;
        if (minor <= 10)
            return WINLINE_9X;
    }
    return WINLINE_OTHER;
}

std::string PadName11(const std::string& text) {
    std::string out = text.substr(0, 11);
    out.resize(11, '_');
    return out;
}

std::string TrimTrailingBlanks(const std::string& text) {
    size_t end = text.find_last_not_of(' ');
    if (end == std::string::npos)
        return text.substr(0, 1);
    return text.substr(0, end + 1);
}

static char Lower(char c) {
    return static_cast<char>(tolower(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::vector<std::string> SplitMultiSz(const char* buffer, size_t size) {
    std::vector<std::string> out;
    if (!buffer)
        return out;
    size_t pos = 0;
    while (pos < size) {
        const void* nul = memchr(buffer + pos, 0, size - pos);
        size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - (buffer + pos)) : size - pos;
        if (len == 0)
            break;
        out.emplace_back(buffer + pos, len);
        pos += len + 1;
    }
    return out;
}

std::string TextOfValue(const char* buffer, size_t size) {
    if (!buffer)
        return std::string();
    const void* nul = memchr(buffer, 0, size);
    size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : size;
    return std::string(buffer, len);
}

bool JoinBounded(std::string& out, const std::vector<std::string>& parts) {
    std::string joined;
    for (const std::string& part : parts) {
        joined += part;
        if (joined.size() + 1 > MAX_PATH_CHARS)
            return false;
    }
    out = joined;
    return true;
}

bool JoinKey(std::string& out, const std::vector<std::string>& parts) {
    if (parts.empty())
        return false;
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!IsKeyPart(parts[i]))
            return false;
        if (i)
            joined += '\\';
        joined += parts[i];
    }
    if (joined.size() + 1 > MAX_PATH_CHARS)
        return false;
    out = joined;
    return true;
}

bool IsKeyPart(const std::string& part) {
    if (part.empty() || part.size() >= 256 || part == "." || part == "..")
        return false;
    for (char c : part)
        if (c == '\\' || c == '\0')
            return false;
    return true;
}

bool IsBracedGuid(const std::string& text) {
    static const char shape[] = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (text.size() != sizeof shape - 1)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (shape[i] == 'x') {
            if (!isxdigit(static_cast<unsigned char>(text[i])))
                return false;
        } else if (text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

bool IsDriverKeyName(const std::string& text) {
    size_t slash = text.find('\\');
    if (slash == std::string::npos)
        return false;
    return IsKeyPart(text.substr(0, slash)) && IsKeyPart(text.substr(slash + 1));
}

bool IsSystemClass(const std::string& guidOrName) {
    for (size_t i = 0; i < g_SystemClassCount; ++i)
        if (EqualsNoCase(guidOrName, g_SystemClasses[i].Guid) || EqualsNoCase(guidOrName, g_SystemClasses[i].Name))
            return true;
    for (size_t i = 0; i < g_SystemClassNames9xCount; ++i)
        if (EqualsNoCase(guidOrName, g_SystemClassNames9x[i]))
            return true;
    return false;
}

bool IsRemovableClassName(const std::string& name) {
    return IsKeyPart(name) && !IsSystemClass(name);
}

bool IsRemovableClassGuid(const std::string& guid) {
    return IsBracedGuid(guid) && !IsSystemClass(guid);
}

namespace {

// "X:\a\b" -> {"a", "b"}; false when it is no drive-letter path or a level
// is empty, "." or "..", or holds a character no folder name has.
bool SplitFolder(const std::string& path, std::string& drive, std::vector<std::string>& levels) {
    if (path.size() < 3 || !isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return false;
    drive = std::string(1, Lower(path[0]));
    std::string rest = path.substr(3);
    if (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    levels.clear();
    if (rest.empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t slash = rest.find('\\', start);
        std::string level = rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (level.empty() || level == "." || level == "..")
            return false;
        for (char c : level)
            if (c == '*' || c == '?' || c == ':' || c == '/' || c == '"' || c == '<' || c == '>' || c == '|' ||
                static_cast<unsigned char>(c) < 32)
                return false;
        // "name." and "name " are the same folder as "name" to Windows.
        if (level.back() == '.' || level.back() == ' ')
            return false;
        levels.push_back(level);
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return true;
}

// Whether folder a is b or holds b (levels compared without case).
bool IsSameOrAncestor(const std::string& driveA, const std::vector<std::string>& a, const std::string& driveB,
                      const std::vector<std::string>& b) {
    if (driveA != driveB || a.size() > b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!EqualsNoCase(a[i], b[i]))
            return false;
    return true;
}

}  // namespace

bool IsRemovableFolder(const std::string& folder, const std::vector<std::string>& protectedFolders) {
    std::string drive;
    std::vector<std::string> levels;
    if (folder.size() + 1 > MAX_PATH_CHARS || !SplitFolder(folder, drive, levels) || levels.size() < 2)
        return false;
    for (const std::string& guarded : protectedFolders) {
        std::string guardedDrive;
        std::vector<std::string> guardedLevels;
        if (!SplitFolder(guarded, guardedDrive, guardedLevels))
            continue;
        if (IsSameOrAncestor(drive, levels, guardedDrive, guardedLevels))
            return false;
    }
    return true;
}

}  // namespace devsweep
