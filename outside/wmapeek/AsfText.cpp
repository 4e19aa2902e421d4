#include "AsfText.h"

#include <cstring>

namespace wmapeek {

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string LeadingCharacters(const std::u16string& text, size_t count)
{
    size_t pos = 0;
    for (size_t taken = 0; taken < count && pos < text.size(); ++taken) {
        if (IsHighSurrogate(text[pos]) && pos + 1 < text.size() && IsLowSurrogate(text[pos + 1]))
            pos += 2;
        else
            pos += 1;
    }
    return text.substr(0, pos);
}

size_t CopyTextField(const std::string& text, char* field, size_t fieldSize,
                     bool (*isLeadByte)(unsigned char))
{
    if (field == nullptr || fieldSize == 0)
        return 0;
    const size_t room = fieldSize - 1;
    size_t end = 0;
    while (end < text.size() && text[end] != '\0') {
        size_t width = 1;
        if (isLeadByte != nullptr && isLeadByte(static_cast<unsigned char>(text[end])))
            width = 2;
        if (end + width > room)
            break;
        // A lead byte without its trail byte (at the end, or before a NUL)
        // is dropped rather than shown as half a character.
        if (width == 2 && (end + 1 >= text.size() || text[end + 1] == '\0'))
            break;
        end += width;
    }
    std::memcpy(field, text.data(), end);
    field[end] = '\0';
    return end;
}

}  // namespace wmapeek
