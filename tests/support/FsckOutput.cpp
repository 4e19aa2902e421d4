#include "FsckOutput.h"

#include <regex>
#include <sstream>

std::string FsckComplaints(const std::string& output, bool paddedLabelAllowed)
{
    static const std::regex plain(
        R"(^(fsck\.fat .*|Leaving filesystem unchanged\.|.*: \d+ files, \d+/\d+ clusters|)$)");
    static const std::regex label(
        R"(^((Volume label|Label) '.*' stored in (root directory|boot sector) is not valid\.|  Auto-removing label.*)$)");
    std::string rest, line;
    std::istringstream lines(output);
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (std::regex_match(line, plain) || (paddedLabelAllowed && std::regex_match(line, label)))
            continue;
        rest += line + "\n";
    }
    return rest;
}
