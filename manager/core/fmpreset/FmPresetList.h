// The preset list file (FMInfo.ini, FMInfo_K.ini): named groups of up to 20
// rows, each group
//
//   [#. Seoul]
//   1 : 89.10 = KBS Cool FM;
//   ...
//
// Lines end in CR LF; a missing row line is an empty row. The text is the
// system's ANSI code page; these rules work on its bytes.
#pragma once

#include <string>
#include <vector>

namespace fmpreset {

struct PresetRow {
    std::string Frequency;  // as the list shows it ("89.10"), empty for none
    std::string Comment;
};

// The group names in the order of their headers, from the first "[#." on.
// An empty name, or a header without its "]" on the same line, ends the
// list. False when the text holds no "[#." at all.
bool ReadGroupNames(const std::string& text, std::vector<std::string>* names);

// The 20 rows of the group whose header is exactly "[#. name]". Rows are read
// only from lines of that group's body that start with their number and
// " :", and only when the line holds "=" and then ";". False (rows
// untouched) when there is no such group.
bool ReadGroup(const std::string& text, const std::string& name, std::vector<PresetRow>* rows);

// Replaces the body of group "[#. name]" (up to the next "[#. " or the end)
// with CR LF, one line per row whose frequency is not empty, and CR LF. False
// (text untouched) when there is no such group.
bool WriteGroup(std::string& text, const std::string& name, const std::vector<PresetRow>& rows);

// One row line as the list file holds it, without the line end.
std::string RowLine(int number, const PresetRow& row);

}  // namespace fmpreset
