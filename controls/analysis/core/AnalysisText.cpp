#include "AnalysisText.h"

#include <limits>

namespace trackscope {

bool AacInfoField(const std::string& output, int field, std::string& text)
{
    const std::string marker = "[" + std::to_string(field) + ":";
    const size_t start = output.find(marker);
    if (start == std::string::npos)
        return false;
    const size_t from = start + marker.size();
    const size_t end = output.find(']', from);
    if (end == std::string::npos)
        return false;
    text = output.substr(from, end - from);
    return true;
}

int32_t AacInfoNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    // Accumulated as a negative value, which reaches the lower limit too.
    const int64_t lowest = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < lowest)
            value = lowest;
    }
    if (!negative)
        value = -value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : -value;
    return static_cast<int32_t>(value);
}

int32_t AacInfoBitrate(const std::string& output)
{
    std::string field;
    if (!AacInfoField(output, 4, field))
        return 0;
    return AacInfoNumber(field);
}

std::u16string AttributeText(const uint8_t* value, size_t length)
{
    std::u16string text;
    if (!value)
        return text;
    for (size_t i = 0; i + 1 < length; i += 2) {
        const char16_t unit = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace trackscope
