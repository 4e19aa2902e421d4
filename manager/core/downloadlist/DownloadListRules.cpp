#include "DownloadListRules.h"

#include <cctype>
#include <cstdio>

namespace {

std::string Extension(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of('\\');
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot))
        return std::string();
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

bool CDownloadListRules::SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool CDownloadListRules::PassesFilter(const std::string& name, int filter)
{
    const std::string ext = Extension(name);
    switch (filter) {
    case DOWNLOAD_FILTER_MUSIC:
        return ext == "mp3" || ext == "wma";
    case DOWNLOAD_FILTER_VOICE:
        return ext == "wav";
    default:
        return true;
    }
}

std::string CDownloadListRules::Number(int row)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d", row + 1);
    return text;
}

DOWNLOAD_PICK CDownloadListRules::PickForSpace(const std::vector<std::int64_t>& sizes, std::uint64_t freeBytes)
{
    DOWNLOAD_PICK pick;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] < 0)
            continue;
        total += static_cast<std::uint64_t>(sizes[i]);
        if (total >= freeBytes) {
            pick.NoSpace = pick.Taken.empty();
            break;
        }
        pick.Taken.push_back(i);
    }
    return pick;
}

std::vector<std::string> CDownloadListRules::Reorder(const std::vector<std::string>& rows,
                                                     const std::vector<std::string>& moved, int target)
{
    auto isMoved = [&moved](const std::string& row) {
        for (const std::string& m : moved)
            if (SameName(m, row))
                return true;
        return false;
    };
    std::vector<std::string> out;
    auto insertMoved = [&] {
        for (const std::string& m : moved)
            for (const std::string& row : rows)
                if (SameName(m, row)) {
                    out.push_back(row);
                    break;
                }
    };
    bool inserted = false;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (i == target) {
            insertMoved();
            inserted = true;
        }
        if (!isMoved(rows[i]))
            out.push_back(rows[i]);
    }
    if (!inserted)
        insertMoved();
    return out;
}
