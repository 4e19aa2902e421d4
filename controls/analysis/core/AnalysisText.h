// The Windows-free reading of the analysis controls: field 4 of the AAC
// tool's output and the bounded UTF-16 text of a Windows Media attribute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trackscope {

// The text between "[<n>:" and the next "]"; false when the marker or its
// closing bracket is missing.
bool AacInfoField(const std::string& output, int field, std::string& text);

// A field read as a signed decimal: optional spaces, an optional '-', then
// the leading digits; anything after them ends the number. Saturates at the
// 32-bit limits; 0 when no digit follows.
int32_t AacInfoNumber(const std::string& text);

// The bitrate that the tool's output states (field 4); 0 when the field is
// missing.
int32_t AacInfoBitrate(const std::string& output);

// An attribute's UTF-16LE value as the reader hands it: at most length bytes
// (an odd last byte is dropped), ending at the first NUL.
std::u16string AttributeText(const uint8_t* value, size_t length);

}  // namespace trackscope
