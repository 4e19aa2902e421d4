#include "PlayerPaneRules.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace playerpane {

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EndsWithNoCase(const std::string& name, const char* tail)
{
    std::string t(tail);
    return name.size() >= t.size() && AsciiNameEquals(name.substr(name.size() - t.size()), t);
}

bool StartsWithNoCase(const std::string& name, const std::string& head)
{
    return name.size() >= head.size() && AsciiNameEquals(name.substr(0, head.size()), head);
}

}  // namespace

bool AsciiNameEquals(const std::string& a, const std::string& b) { return AsciiCompareNoCase(a, b) == 0; }

std::string AsciiFoldKey(const std::string& name)
{
    std::string key = name;
    for (char& c : key)
        c = Fold(c);
    return key;
}

int AsciiCompareNoCase(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(Fold(a[i]));
        unsigned char y = static_cast<unsigned char>(Fold(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

CNameLookup::CNameLookup(const std::vector<DirEntry>& entries, const NameEquals& equals, const NameKey& key)
    : m_entries(entries), m_equals(equals), m_key(key)
{
    if (m_key)
        for (size_t i = 0; i < entries.size(); ++i)
            m_byKey[m_key(entries[i].Name)].push_back(i);
}

size_t CNameLookup::Find(const std::string& name, const std::function<bool(size_t)>& accept) const
{
    if (m_key) {
        auto same = m_byKey.find(m_key(name));
        if (same != m_byKey.end())
            for (size_t i : same->second)
                if (accept(i) && m_equals(m_entries[i].Name, name))
                    return i;
    }
    // Without a key, or where the key failed its promise, every entry is
    // compared: a slow answer, never a different one.
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (accept(i) && m_equals(m_entries[i].Name, name))
            return i;
    return m_entries.size();
}

std::vector<DirEntry> OrderByDirectory(const std::vector<DirEntry>& entries, const std::vector<std::string>& diskOrder,
                                       const NameEquals& equals, const NameKey& key)
{
    std::vector<DirEntry> out;
    std::vector<bool> taken(entries.size(), false);
    const CNameLookup lookup(entries, equals, key);
    for (const std::string& name : diskOrder) {
        const size_t i = lookup.Find(name, [&](size_t at) { return !taken[at]; });
        if (i < entries.size()) {
            taken[i] = true;
            out.push_back(entries[i]);
        }
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (!taken[i])
            out.push_back(entries[i]);
    return out;
}

bool IsMusicFilter(int filter) { return filter == FILTER_MUSIC || filter == FILTER_MUSIC_EXT; }

bool IsNeverListed(const DirEntry& entry, bool atRoot)
{
    const std::string& name = entry.Name;
    if (name.empty() || name == "." || name == "..")
        return true;
    if (AsciiNameEquals(name, ".windows-label"))
        return true;
    if (entry.IsFolder)
        return AsciiNameEquals(name, ".Trashes");
    if (atRoot && AsciiNameEquals(name, "SETTINGS.DAT"))
        return true;
    return StartsWithNoCase(name, "._") || AsciiNameEquals(name, ".DS_Store");
}

int MusicMaskIndex(const std::string& name)
{
    if (EndsWithNoCase(name, ".mp3"))
        return 0;
    if (EndsWithNoCase(name, ".wma"))
        return 1;
    return -1;
}

bool IsShownInView(const DirEntry& entry, int filter, bool atRoot)
{
    if (filter == FILTER_NONE || IsNeverListed(entry, atRoot))
        return false;
    return !IsMusicFilter(filter) || MusicMaskIndex(entry.Name) >= 0;
}

std::vector<ListedRow> PlayerListRows(const std::vector<DirEntry>& entries, int filter, bool atRoot)
{
    std::vector<ListedRow> folders, files;
    int passes = IsMusicFilter(filter) ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (const DirEntry& e : entries) {
            if (!IsShownInView(e, filter, atRoot))
                continue;
            if (passes == 2 && MusicMaskIndex(e.Name) != pass)
                continue;
            (e.IsFolder ? folders : files).push_back(ListedRow{e.Name, e.IsFolder});
        }
    }
    std::stable_sort(folders.begin(), folders.end(), [](const ListedRow& a, const ListedRow& b) {
        return AsciiCompareNoCase(a.Name, b.Name) < 0;
    });
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

std::string NextNewFolderName(const std::vector<std::string>& entries)
{
    const std::string base = "New Folder";
    long next = 0, number = 0;
    for (const std::string& name : entries) {
        if (!StartsWithNoCase(name, base))
            continue;
        if (name.size() > 12 && name[10] == '(') {
            size_t close = name.find(')', 12);
            if (close != std::string::npos)
                number = std::strtol(name.substr(11, close - 11).c_str(), nullptr, 10);
        }
        // A number at the top of the range has no successor: it is passed by.
        if (number >= 0 && number < LONG_MAX - 1 && number < 0x7ffffffe)
            next = std::max(next, number + 1);
    }
    return next == 0 ? base : base + "(" + std::to_string(next) + ")";
}

bool HasInvalidNameCharacter(const std::string& name)
{
    return name.find_first_of("\\/:?\"<>|") != std::string::npos;
}

bool IsMusicName(const std::string& name) { return MusicMaskIndex(name) >= 0; }

RenameCheck CheckRename(const std::string& oldName, const std::string& newName, bool isFolder)
{
    if (HasInvalidNameCharacter(newName))
        return RENAME_BAD_CHARACTER;
    if (newName == oldName)
        return RENAME_UNCHANGED;
    if (newName.empty())
        return RENAME_EMPTY;
    if (!isFolder) {
        bool wasMusic = IsMusicName(oldName), isMusic = IsMusicName(newName);
        if (wasMusic && !isMusic)
            return RENAME_MUSIC_TO_OTHER;
        if (!wasMusic && isMusic)
            return RENAME_OTHER_TO_MUSIC;
    }
    return RENAME_OK;
}

std::string FileTimeText(int year, int month, int day, int hour, int minute, const std::string& half)
{
    if (hour < 0 || hour > 23)
        return "---";
    int shown = hour % 12 == 0 ? 12 : hour % 12;
    char text[96];
    std::snprintf(text, sizeof text, "%d-%.2d-%.2d %s %.2d:%.2d", year, month, day, half.c_str(), shown, minute);
    return text;
}

long SortNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x80000000LL)
            value = 0x80000000LL;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<long>(value);
}

int CompareSortNumbers(long a, long b, bool ascending)
{
    if (a == b)
        return 0;
    return (ascending ? a > b : a < b) ? 1 : -1;
}

}  // namespace playerpane
