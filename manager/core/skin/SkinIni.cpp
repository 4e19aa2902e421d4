#include "SkinIni.h"

#include <cctype>

namespace {

bool IsWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The first whole-word key at or after from and before limit, followed
// (after blanks) by "=": the position just after the key, or npos.
size_t FindKey(const std::string& text, const std::string& key, size_t from, size_t limit)
{
    size_t pos = from;
    while (pos < limit) {
        pos = text.find(key, pos);
        if (pos == std::string::npos || pos + key.size() > limit)
            return std::string::npos;
        size_t end = pos + key.size();
        bool startOk = pos == 0 || !IsWordChar(text[pos - 1]);
        size_t eq = end;
        while (eq < limit && (text[eq] == ' ' || text[eq] == '\t'))
            ++eq;
        if (startOk && eq < limit && text[eq] == '=')
            return end;
        pos = end;
    }
    return std::string::npos;
}

// The number of the value that starts at from (just after its key): the
// digits and "-" signs up to the next ";" (or the section's end). Returns
// the position after the value, or npos when it holds no number.
size_t ParseNumber(const std::string& text, size_t from, size_t limit, int* out)
{
    size_t semi = text.find(';', from);
    size_t end = (semi == std::string::npos || semi > limit) ? limit : semi;
    bool negative = false;
    bool any = false;
    long value = 0;
    for (size_t i = from; i < end; ++i) {
        char c = text[i];
        if (c == '-') {
            // A sign counts only before the first digit.
            if (!any)
                negative = !negative;
        } else if (c >= '0' && c <= '9') {
            any = true;
            value = value * 10 + (c - '0');
            if (value > CSkinIni::VALUE_LIMIT)
                return std::string::npos;
        }
    }
    if (!any)
        return std::string::npos;
    if (out)
        *out = static_cast<int>(negative ? -value : value);
    return end;
}

}  // namespace

bool CSkinIni::ReadValues(const std::string& section, int* x, int* y, int* cx, int* cy, std::string* str) const
{
    if (!m_loaded)
        return false;
    const std::string header = "[" + section + "]";
    size_t start = m_text.find(header);
    if (start == std::string::npos)
        return false;
    size_t pos = start + header.size();
    size_t limit = m_text.find('[', pos);
    if (limit == std::string::npos)
        limit = m_text.size();

    struct Want {
        const char* key;
        int* out;
    };
    const Want wants[] = {{"x", x}, {"y", y}, {"cx", cx}, {"cy", cy}};
    for (const Want& w : wants) {
        if (!w.out)
            continue;
        size_t at = FindKey(m_text, w.key, pos, limit);
        if (at == std::string::npos)
            return false;
        size_t after = ParseNumber(m_text, at, limit, w.out);
        if (after == std::string::npos)
            return false;
        pos = after;
    }
    if (str) {
        size_t at = FindKey(m_text, "str", pos, limit);
        if (at == std::string::npos)
            return false;
        size_t begin = m_text.find('=', at) + 1;
        while (begin < limit && (m_text[begin] == ' ' || m_text[begin] == '\t'))
            ++begin;
        size_t semi = m_text.find(';', begin);
        size_t end = (semi == std::string::npos || semi > limit) ? limit : semi;
        // A value without its ";" ends at the line's end, not in the next line.
        size_t eol = m_text.find_first_of("\r\n", begin);
        if (eol != std::string::npos && eol < end)
            end = eol;
        *str = m_text.substr(begin, end - begin);
    }
    return true;
}
