// Saving a file whole or not at all.
#pragma once

#include <string>

namespace mb {

// Puts `text` in the file at `path`. An existing file is replaced only by a
// whole new one: the text goes to a file beside it first (written and
// flushed), which takes the old one's place once it is complete, so a full
// disk or a player pulled out leaves the old file as it was. The old file's
// hidden and system marks are kept; a read-only file is not replaced. A new
// file, or one in a folder whose path leaves no room for a second name, is
// written in place, and a failed write leaves no file of that name. False on
// any failure.
bool ReplaceFileWithText(const std::string& path, const std::string& text);

}  // namespace mb
