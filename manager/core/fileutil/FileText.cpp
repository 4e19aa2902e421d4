#include "fileutil/FileText.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <system_error>

namespace {

const std::int64_t KB = 1024;
const std::int64_t MB = 1024 * 1024;
const std::int64_t GB = 1024 * 1024 * 1024;
// 9.99 KB, 9.99 MB and 99.99 GB in binary units, truncated to whole bytes:
// below each the size is shown with two decimals of the smaller unit.
const std::int64_t KB_DECIMALS_LIMIT = 10229;
const std::int64_t MB_WHOLE_LIMIT = 10475274;
const std::int64_t GB_DECIMALS_LIMIT = 107363444981LL;

std::string Decimals(double value, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s", value, unit);
    return text;
}

std::int64_t Quotient(std::int64_t bytes, std::int64_t unit, int adder)
{
    return bytes / unit + (bytes % unit != 0 ? adder : 0);
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() || Lower(text[i]) != prefix[i])
            return false;
    }
    return true;
}

}  // namespace

std::size_t CFileText::CharLength(const std::string& text, std::size_t pos) const
{
    if (m_codePage.IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size())
        return 2;
    return 1;
}

std::size_t CFileText::FindLast(const std::string& text, char ch, std::size_t from) const
{
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (i >= from && text[i] == ch && CharLength(text, i) == 1)
            found = i;
    }
    return found;
}

std::size_t CFileText::FindFirst(const std::string& text, char ch, std::size_t from) const
{
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (i >= from && text[i] == ch && CharLength(text, i) == 1)
            return i;
    }
    return std::string::npos;
}

std::size_t CFileText::CharBoundaryBefore(const std::string& text, std::size_t pos) const
{
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t next = i + CharLength(text, i);
        if (next > pos)
            break;
        i = next;
    }
    return i;
}

std::string CFileText::CutToBytes(const std::string& text, std::size_t limit) const
{
    return text.size() <= limit ? text : text.substr(0, CharBoundaryBefore(text, limit));
}

std::string CFileText::GetFileExt(const std::string& path) const
{
    // Only the name counts: "C:\My.Music\track" has no extension.
    const std::size_t slash = FindLast(path, '\\');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = FindLast(path, '.', nameStart);
    if (dot == std::string::npos)
        return std::string();
    return path.substr(dot + 1);
}

std::string CFileText::GetPathRoot(const std::string& path) const
{
    const std::size_t slash = FindFirst(path, '\\');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

std::string CFileText::GetFolderPath(const std::string& path) const
{
    const std::size_t slash = FindLast(path, '\\');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

std::string CFileText::GetFileName(const std::string& path) const
{
    const std::size_t slash = FindLast(path, '\\');
    if (slash == std::string::npos)
        return path;
    return path.substr(slash + 1);
}

int CFileText::SplitPath(const std::string& path, std::vector<std::string>& parts) const
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = FindFirst(path, '\\', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return static_cast<int>(parts.size());
}

int CFileText::GetPathKind(const std::string& path) const
{
    if (path.empty())
        return PATH_KIND_EMPTY;
    if (path.find('?') != std::string::npos)
        return PATH_KIND_UNUSABLE;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        // A server without a share ("\\server\" or "\\server") holds no folder.
        const std::size_t slash = FindFirst(path, '\\', 2);
        if (slash == std::string::npos || slash == path.size() - 1)
            return PATH_KIND_UNUSABLE;
    }
    return PATH_KIND_FOLDER;
}

int CFileText::GetFileKindFlag(int memory, const std::string& path) const
{
    const std::string ext = GetFileExt(path);
    int kind = 2;
    if (StartsWithNoCase(ext, "mp3") || StartsWithNoCase(ext, "wma"))
        kind = 0;
    else if (StartsWithNoCase(ext, "wav"))
        kind = 1;
    if (memory == 0)
        return FILE_KIND_MUSIC << kind;
    if (memory == 1)
        return FILE_KIND_EXT_MUSIC << kind;
    return FILE_KIND_NONE;
}

std::string CFileText::ShortenName(const std::string& name, int maxLength) const
{
    const std::size_t maxLen = maxLength > 0 ? static_cast<std::size_t>(maxLength) : 0;
    if (name.size() <= maxLen)
        return name;
    // The extension stays when it fits in the maximum; a name without one, or
    // whose "extension" is longer than the maximum, is simply cut.
    std::string ext;
    std::size_t cut = maxLen;
    const std::size_t dot = FindLast(name, '.');
    if (dot != std::string::npos && name.size() - dot <= maxLen) {
        ext = name.substr(dot);
        cut = maxLen - ext.size();
    }
    // Cutting inside a double-byte character would leave half of it: drop the
    // whole character, so the result never grows past the maximum plus "..".
    cut = CharBoundaryBefore(name, cut);
    return name.substr(0, cut) + ".." + ext;
}

std::string CFileText::FormatSizeKB(std::uint32_t bytes)
{
    const std::uint64_t kb = (static_cast<std::uint64_t>(bytes) + 1023) / 1024;
    return std::to_string(kb) + " KB";
}

std::string CFileText::FormatSize(std::int64_t bytes, int adder)
{
    if (bytes <= 999)
        return std::to_string(bytes) + " bytes";
    if (bytes <= KB_DECIMALS_LIMIT)
        return Decimals(static_cast<double>(bytes) / KB + 0.01, "KB");
    if (bytes <= MB_WHOLE_LIMIT) {
        const std::int64_t kb = Quotient(bytes, KB, adder);
        if (kb < 1000)
            return std::to_string(kb) + " KB";
        return Decimals(static_cast<double>(bytes) / MB + 0.01, "MB");
    }
    if (bytes <= GB_DECIMALS_LIMIT) {
        const std::int64_t mb = Quotient(bytes, MB, adder);
        if (mb < 1000)
            return std::to_string(mb) + " MB";
        return Decimals(static_cast<double>(bytes) / GB + 0.01, "GB");
    }
    return std::to_string(Quotient(bytes, GB, adder)) + " GB";
}

int CFileText::ParseInt(const std::string& text, int& value)
{
    // Every character is a decimal place, digit or not ("1x" reads as 10);
    // a "-" after digits starts the number again. The magnitude stops at
    // 2^31 so that long texts saturate instead of overflowing.
    const std::uint64_t limit = static_cast<std::uint64_t>(INT_MAX) + 1;
    std::uint64_t magnitude = 0;
    bool negative = false;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '-') {
            if (magnitude == 0)
                negative = true;
            else
                magnitude = 0;
            continue;
        }
        if (c < '1' || c > '9')
            continue;
        const std::size_t places = n - 1 - i;
        if (places >= 10) {
            magnitude = limit;
            continue;
        }
        std::uint64_t add = static_cast<std::uint64_t>(c - '0');
        for (std::size_t p = 0; p < places; ++p)
            add *= 10;
        magnitude += add;
        if (magnitude > limit)
            magnitude = limit;
    }
    if (negative)
        value = magnitude >= limit ? INT_MIN : -static_cast<int>(magnitude);
    else
        value = magnitude >= limit ? INT_MAX : static_cast<int>(magnitude);
    return 1;
}

bool CFileText::ParseDecimal(const std::string& text, double& value)
{
    value = 0;
    std::size_t digits = 0;
    std::size_t points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else
            return false;
    }
    // "1.2.3" is no number; reading it as 120.3 would store a wrong frequency.
    if (points > 1)
        return false;
    if (digits == 0)
        return true;
    // One correctly rounded conversion, so "87.55" gives exactly the double
    // nearest 87.55, as a literal would.
    double parsed = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const std::from_chars_result r = std::from_chars(first, last, parsed, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != last)
        return false;
    value = parsed;
    return true;
}

std::string CFileText::FormatNumber(int value, int width)
{
    if (width <= 0)
        return std::string();
    std::string text = std::to_string(value);
    const std::size_t w = static_cast<std::size_t>(width);
    if (w <= text.size())
        return text.substr(0, w);
    // Zeros go after the sign: -5 in three places is "-05", not "0-5".
    const std::size_t signLength = value < 0 ? 1 : 0;
    text.insert(signLength, w - text.size(), '0');
    return text;
}

std::uint32_t CFileText::ClampSize(std::uint64_t bytes)
{
    return bytes > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<std::uint32_t>(bytes);
}

bool CFileText::MakeDoubleNulPath(const std::string& path, std::size_t bufferSize, std::vector<char>& buffer)
{
    if (path.empty() || path.size() + 2 > bufferSize)
        return false;
    if (path.find_first_of("*?") != std::string::npos)
        return false;
    if (path.find('\0') != std::string::npos)
        return false;
    buffer.assign(bufferSize, '\0');
    path.copy(buffer.data(), path.size());
    return true;
}
