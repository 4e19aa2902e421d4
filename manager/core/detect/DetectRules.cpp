#include "DetectRules.h"

#include <cstdio>
#include <limits>

namespace detect {

PlayerDrives TakePlayerDrives(unsigned long mask)
{
    PlayerDrives drives;
    int taken = 0;
    for (int bit = 2; bit <= 25 && taken < 2; ++bit) {
        if (!(mask & (1ul << bit)))
            continue;
        char letter = char('A' + bit);
        if (taken == 0)
            drives.Internal = letter;
        else
            drives.External = letter;
        ++taken;
    }
    return drives;
}

char ExternalMemoryLetter(char internalLetter, const std::function<bool(char)>& isPlayerDrive)
{
    if (internalLetter >= 'a' && internalLetter <= 'z')
        internalLetter = char(internalLetter - 'a' + 'A');
    if (internalLetter < 'A' || internalLetter >= 'Z')
        return 0;
    const char next = char(internalLetter + 1);
    if (!isPlayerDrive || !isPlayerDrive(next))
        return 0;
    return next;
}

unsigned long SaturateToLow32(unsigned long long bytes)
{
    const unsigned long long most = 0xFFFFFFFFull;
    return static_cast<unsigned long>(bytes > most ? most : bytes);
}

int FileKindFilter(int memory, int fileFilter)
{
    if (fileFilter < 0 || fileFilter > 2)
        fileFilter = 2;
    const int kinds[2][3] = {{2, 4, 8}, {512, 1024, 2048}};
    return kinds[memory == 1 ? 1 : 0][fileFilter];
}

int QueryIconBounded(const std::function<int()>& query, int bound)
{
    int icon = -1;
    for (int i = 0; i < bound; ++i) {
        icon = query();
        if (icon != -1)
            break;
    }
    return icon;
}

std::string FormatAboutVersion(double version)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", version);
    std::string digits(text);
    // Only decimals are dropped, and at most two of them.
    const std::size_t point = digits.find('.');
    for (int i = 0; i < 2 && point != std::string::npos && digits.size() > point + 2 && digits.back() == '0'; ++i)
        digits.pop_back();
    return "(Version " + digits + ")";
}

std::string BitrateText(int kbps)
{
    if (kbps == -1)
        return "VBR";
    if (kbps > 0)
        return std::to_string(kbps) + " K bits/second";
    return "Unknown";
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int PropertiesKind(const std::string& fileName)
{
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos)
        return -1;
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    if (ext == ".mp3")
        return 1;
    if (ext == ".wma")
        return 2;
    return 0;
}

}  // namespace detect
