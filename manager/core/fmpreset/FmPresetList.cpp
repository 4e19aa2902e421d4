#include "FmPresetList.h"

#include "FmPresetTable.h"

namespace fmpreset {

namespace {

const char kHeaderStart[] = "[#.";

// The first pattern at or after from that starts a line (blanks before it
// allowed), or npos. A header is a line of its own: "[#. " inside a row's
// comment is text of that row, not the start of another group.
std::size_t FindAtLineStart(const std::string& text, const std::string& pattern, std::size_t from)
{
    for (std::size_t at = text.find(pattern, from); at != std::string::npos; at = text.find(pattern, at + 1)) {
        std::size_t before = at;
        while (before > 0 && (text[before - 1] == ' ' || text[before - 1] == '\t'))
            --before;
        if (before == 0 || text[before - 1] == '\r' || text[before - 1] == '\n')
            return at;
    }
    return std::string::npos;
}

// Where the header line "[#. name]" starts, or npos. The name must fill the
// brackets: "Seoul" is not the group "Seoul FM".
std::size_t FindHeader(const std::string& text, const std::string& name)
{
    return FindAtLineStart(text, "[#. " + name + "]", 0);
}

// The end of the group body that starts at from: the next header or the end.
std::size_t BodyEnd(const std::string& text, std::size_t from)
{
    const std::size_t next = FindAtLineStart(text, kHeaderStart, from);
    return next == std::string::npos ? text.size() : next;
}

std::size_t LineEnd(const std::string& text, std::size_t from, std::size_t limit)
{
    std::size_t i = from;
    while (i < limit && text[i] != '\r' && text[i] != '\n')
        ++i;
    return i;
}

// Reads one row line ("n : freq = comment;"), the key already matched and
// skipped; false when the line lacks "=" or a ";" after it.
bool ParseRowText(const std::string& line, PresetRow* row)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    // The line's last ";" ends it: a comment may hold ";" of its own.
    const std::size_t semi = line.rfind(';');
    if (semi == std::string::npos || semi < eq)
        return false;
    std::string freq = line.substr(0, eq);
    while (!freq.empty() && (freq.back() == ' ' || freq.back() == '\t'))
        freq.pop_back();
    std::size_t commentStart = eq + 1;
    if (commentStart < semi && line[commentStart] == ' ')
        ++commentStart;
    row->Frequency = freq;
    row->Comment = line.substr(commentStart, semi - commentStart);
    return true;
}

}  // namespace

bool ReadGroupNames(const std::string& text, std::vector<std::string>* names)
{
    names->clear();
    std::size_t at = FindAtLineStart(text, kHeaderStart, 0);
    if (at == std::string::npos)
        return false;
    while (at != std::string::npos) {
        const std::size_t lineEnd = LineEnd(text, at, text.size());
        const std::size_t close = text.find(']', at);
        if (close == std::string::npos || close > lineEnd || close < at + 4)
            break;
        // "[#." without its blank heads no group a name could be found by.
        if (text[at + 3] == ' ') {
            const std::string name = text.substr(at + 4, close - (at + 4));
            if (name.empty())
                break;
            names->push_back(name);
        }
        at = FindAtLineStart(text, kHeaderStart, close);
    }
    return true;
}

bool ReadGroup(const std::string& text, const std::string& name, std::vector<PresetRow>* rows)
{
    const std::size_t header = FindHeader(text, name);
    if (header == std::string::npos)
        return false;
    const std::size_t bodyStart = header + name.size() + 5;
    const std::size_t bodyEnd = BodyEnd(text, bodyStart);
    std::vector<PresetRow> found(ENTRY_COUNT);
    std::vector<bool> seen(ENTRY_COUNT, false);
    // Each line of the body, keyed at its start: "1 :" never matches the end
    // of "11 :", and no line of the next group is ever taken.
    std::size_t at = bodyStart;
    while (at < bodyEnd) {
        const std::size_t end = LineEnd(text, at, bodyEnd);
        const std::string line = text.substr(at, end - at);
        std::size_t digits = 0;
        while (digits < line.size() && digits < 3 && line[digits] >= '0' && line[digits] <= '9')
            ++digits;
        if (digits > 0 && line[0] != '0' && line.compare(digits, 2, " :") == 0) {
            const int n = std::stoi(line.substr(0, digits));
            if (n >= 1 && n <= ENTRY_COUNT && !seen[n - 1]) {
                std::size_t rest = digits + 2;
                if (rest < line.size() && line[rest] == ' ')
                    ++rest;
                PresetRow row;
                if (ParseRowText(line.substr(rest), &row)) {
                    found[n - 1] = row;
                    seen[n - 1] = true;
                }
            }
        }
        at = end;
        while (at < bodyEnd && (text[at] == '\r' || text[at] == '\n'))
            ++at;
    }
    // A row whose frequency is empty is an empty row, comment and all.
    for (PresetRow& row : found)
        if (row.Frequency.empty())
            row.Comment.clear();
    *rows = found;
    return true;
}

std::string RowLine(int number, const PresetRow& row)
{
    return std::to_string(number) + " : " + row.Frequency + " = " + row.Comment + ";";
}

bool WriteGroup(std::string& text, const std::string& name, const std::vector<PresetRow>& rows)
{
    const std::size_t header = FindHeader(text, name);
    if (header == std::string::npos)
        return false;
    const std::size_t bodyStart = header + name.size() + 5;
    const std::size_t next = FindAtLineStart(text, "[#. ", bodyStart);
    const std::size_t bodyEnd = next == std::string::npos ? text.size() : next;
    std::string body = "\r\n";
    for (std::size_t i = 0; i < rows.size() && i < static_cast<std::size_t>(ENTRY_COUNT); ++i) {
        if (rows[i].Frequency.empty())
            continue;
        body += RowLine(static_cast<int>(i) + 1, rows[i]) + "\r\n";
    }
    body += "\r\n";
    text.replace(bodyStart, bodyEnd - bodyStart, body);
    return true;
}

}  // namespace fmpreset
