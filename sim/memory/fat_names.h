// Names on a FAT volume: long names (UTF-16 in long-name entries), 8.3 names
// (11 bytes, blank-padded) and the conversions between them and Linux names.
#pragma once

#include <cstdint>
#include <set>
#include <string>

using ShortName = std::string;  // always 11 bytes

bool Utf8ToUtf16(const std::string& in, std::u16string* out);
std::string Utf16ToUtf8(const std::u16string& in);

// Checksum of an 8.3 name carried by each of its long-name entries.
uint8_t ShortNameChecksum(const uint8_t* name11);

// "NAME.EXT" of an 8.3 entry, honouring the lower-case flags of byte 12.
std::string ShortNameText(const uint8_t* entry);

// Upper-cases ASCII letters only, as the FAT matches names.
std::u16string FoldCase(const std::u16string& name);
bool SameName(const std::string& a, const std::string& b);

// 0, -EINVAL (characters FAT forbids, ".", "..", empty) or -ENAMETOOLONG.
int CheckLongName(const std::string& name);

// The 8.3 name for a new entry called `name` among `taken`. Sets *needsLongName
// when the 8.3 name alone would not give `name` back.
ShortName MakeShortName(const std::string& name, const std::set<ShortName>& taken, bool* needsLongName);

// A volume label as stored (11 bytes, upper case); -EINVAL for a bad label.
int MakeLabel(const std::string& text, ShortName* label);
