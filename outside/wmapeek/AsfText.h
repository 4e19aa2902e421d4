// Fitting the header's UTF-16 texts into the fixed text members of CWMAInfo.
// The conversion to the ANSI code page itself is the Windows shell's; these
// helpers only cut texts so that no character is split.
#pragma once

#include <cstddef>
#include <string>

namespace wmapeek {

// The first count characters of text; a surrogate pair counts as one
// character and is never split.
std::u16string LeadingCharacters(const std::u16string& text, size_t count);

// Copies text (already in the target code page) into a field of fieldSize
// bytes, always NUL-terminated, cutting before a character that does not fit.
// isLeadByte tells the first byte of a double-byte character (nullptr for a
// single-byte code page). Returns the bytes copied, without the NUL.
size_t CopyTextField(const std::string& text, char* field, size_t fieldSize,
                     bool (*isLeadByte)(unsigned char));

}  // namespace wmapeek
