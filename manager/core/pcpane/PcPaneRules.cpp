#include "PcPaneRules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace pcpane {

namespace {

// Byte offsets at which each character of text starts.
std::vector<std::size_t> CharStarts(const std::string& text, const LeadByteTest& isLead)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const bool lead = isLead && isLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += lead ? 2 : 1;
    }
    return starts;
}

int CompareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string DriveTypeText(unsigned type)
{
    switch (type) {
    case DRIVE_TYPE_REMOVABLE:
        return "Removable Disk";
    case DRIVE_TYPE_FIXED:
    case DRIVE_TYPE_RAMDISK:
    case DRIVE_TYPE_NO_ROOT:
        return "Fixed Disk";
    case DRIVE_TYPE_REMOTE:
        return "Network Disk";
    case DRIVE_TYPE_CDROM:
        return "CD-ROM Disk";
    default:
        return std::string();
    }
}

std::uint32_t PcDriveMask(std::uint32_t logicalDrives, std::uint32_t playerDrives)
{
    std::uint32_t mask = 0;
    int playersSkipped = 0;
    for (int letter = 0; letter < 26; ++letter) {
        const std::uint32_t bit = 1u << letter;
        if (!(logicalDrives & bit))
            continue;
        if ((playerDrives & bit) && playersSkipped < 2) {
            ++playersSkipped;
            continue;
        }
        mask |= bit;
    }
    return mask;
}

void SplitDriveDisplayName(const std::string& display, std::string& driveText, std::string& name,
                           const LeadByteTest& isLead)
{
    const std::vector<std::size_t> starts = CharStarts(display, isLead);
    const std::size_t count = starts.size();
    driveText = count >= 4 ? display.substr(starts[count - 4]) : display;
    name = count >= 5 ? display.substr(0, starts[count - 5]) : std::string();
}

std::string DriveTreeText(const std::string& driveText, const std::string& name)
{
    if (driveText.empty())
        return name;
    return driveText + " " + name;
}

std::string DriveRootFromText(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        return std::string();
    return std::string(1, text[colon - 1]) + ":\\";
}

std::size_t FindInvalidNameChar(const std::string& name, const LeadByteTest& isLead)
{
    static const std::string refused = "\\/:?\"<>|";
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        if (isLead && isLead(byte)) {
            ++i;
            continue;
        }
        if (refused.find(static_cast<char>(byte)) != std::string::npos)
            return i;
    }
    return std::string::npos;
}

std::string NewFolderName(const std::vector<std::string>& entryNames)
{
    static const std::string base = "New Folder";
    bool matched = false;
    long highest = 0;
    for (const std::string& entry : entryNames) {
        if (entry.size() < base.size() || CompareNoCase(entry.substr(0, base.size()), base) != 0)
            continue;
        matched = true;
        long number = 0;
        if (entry.size() >= 13 && entry[10] == '(') {
            const std::size_t close = entry.find(')', 12);
            if (close != std::string::npos) {
                const std::string digits = entry.substr(11, close - 11);
                if (!digits.empty() && digits.size() <= 9 &&
                    std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                    number = std::strtol(digits.c_str(), nullptr, 10);
            }
        }
        highest = std::max(highest, number);
    }
    if (!matched)
        return base;
    return base + "(" + std::to_string(highest + 1) + ")";
}

std::vector<BoxLine> DriveBoxLines(const std::vector<DriveLineSource>& records)
{
    std::vector<BoxLine> lines;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const DriveLineSource& r = records[i];
        BoxLine line;
        line.text = DriveTreeText(r.driveText, r.treeText);
        line.image = r.image;
        line.selectedImage = r.selectedImage;
        if (i == 0) {
            line.kind = BOX_DESKTOP;
            line.indent = 0;
        } else if (i == 1) {
            line.kind = BOX_PC_ROOT;
            line.indent = 1;
        } else if (i + 1 == records.size()) {
            line.kind = BOX_NETWORK;
            line.indent = 1;
        } else {
            line.kind = BOX_DRIVE;
            line.indent = 2;
        }
        const std::size_t colon = r.driveText.find(':');
        line.key = line.kind == BOX_DRIVE && colon != std::string::npos && colon > 0
                       ? r.driveText.substr(colon - 1, 2)
                       : line.text;
        lines.push_back(line);
    }
    return lines;
}

int InsertFolderChain(std::vector<BoxLine>& lines, int anchor, const std::vector<BoxLine>& chain)
{
    if (anchor < 0 || anchor >= static_cast<int>(lines.size()))
        return anchor;
    int at = anchor;
    int indent = lines[static_cast<std::size_t>(anchor)].indent;
    for (BoxLine line : chain) {
        line.indent = ++indent;
        lines.insert(lines.begin() + (++at), line);
    }
    return at;
}

int LevelsAboveDeepest(const std::vector<BoxLine>& lines, int chosen)
{
    if (chosen < 0 || chosen >= static_cast<int>(lines.size()))
        return -1;
    const int kind = lines[static_cast<std::size_t>(chosen)].kind;
    if (kind != BOX_FOLDER && kind != BOX_SHELL_FOLDER)
        return -1;
    int below = 0;
    for (std::size_t i = static_cast<std::size_t>(chosen) + 1; i < lines.size(); ++i) {
        if (lines[i].kind != BOX_FOLDER && lines[i].kind != BOX_SHELL_FOLDER)
            break;
        ++below;
    }
    return below;
}

double SizeTextValue(const std::string& text)
{
    if (text.empty())
        return 0;
    std::string digits;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= '0' && c <= '9') || c == '.')
            digits += c;
        else if (c != ',')
            break;
    }
    if (digits.empty())
        return 0;
    double value = std::strtod(digits.c_str(), nullptr);
    std::string unit;
    for (; i < text.size(); ++i)
        if (text[i] != ' ')
            unit += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (unit == "KB")
        value *= 1024.0;
    else if (unit == "MB")
        value *= 1024.0 * 1024.0;
    else if (unit == "GB")
        value *= 1024.0 * 1024.0 * 1024.0;
    return value;
}

void SortRows(std::vector<ListRow>& rows, int column, bool numeric, int direction)
{
    const std::size_t col = column < 0 ? 0 : static_cast<std::size_t>(column);
    auto cell = [col](const ListRow& r) -> const std::string& {
        static const std::string empty;
        return col < r.columns.size() ? r.columns[col] : empty;
    };
    auto ascending = [&](const ListRow& a, const ListRow& b) {
        if (numeric) {
            const double x = SizeTextValue(cell(a)), y = SizeTextValue(cell(b));
            return x < y;
        }
        const int c = CompareNoCase(cell(a), cell(b));
        return c != 0 ? c < 0 : cell(a) < cell(b);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const ListRow& a, const ListRow& b) {
        if (a.folder != b.folder)
            return a.folder;
        return direction == 0 ? ascending(b, a) : ascending(a, b);
    });
}

}  // namespace pcpane
