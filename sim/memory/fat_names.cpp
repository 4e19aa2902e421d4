#include "fat_names.h"

#include <cerrno>
#include <cstring>

bool Utf8ToUtf16(const std::string& in, std::u16string* out)
{
    out->clear();
    size_t i = 0;
    while (i < in.size()) {
        auto c = static_cast<unsigned char>(in[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            return false;
        }
        if (i + len > in.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            auto d = static_cast<unsigned char>(in[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return true;
}

std::string Utf16ToUtf8(const std::u16string& in)
{
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        uint32_t cp = in[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;  // a lone surrogate from a damaged entry
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

uint8_t ShortNameChecksum(const uint8_t* name11)
{
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
    return sum;
}

namespace {

// 8.3 bytes above 0x7F are taken as Latin-1: the player's names are ASCII, and
// any fixed mapping keeps every stored name distinct and reachable.
void AppendByte(std::string* out, uint8_t b, bool lower)
{
    if (lower && b >= 'A' && b <= 'Z')
        b = static_cast<uint8_t>(b - 'A' + 'a');
    std::u16string one(1, static_cast<char16_t>(b));
    *out += Utf16ToUtf8(one);
}

}  // namespace

std::string ShortNameText(const uint8_t* entry)
{
    std::string out;
    int baseEnd = 8;
    while (baseEnd > 0 && entry[baseEnd - 1] == ' ')
        --baseEnd;
    int extEnd = 11;
    while (extEnd > 8 && entry[extEnd - 1] == ' ')
        --extEnd;
    for (int i = 0; i < baseEnd; ++i) {
        uint8_t b = entry[i];
        if (i == 0 && b == 0x05)
            b = 0xE5;  // a name starting with 0xE5 is stored as 0x05
        AppendByte(&out, b, (entry[12] & 0x08) != 0);
    }
    if (extEnd > 8) {
        out.push_back('.');
        for (int i = 8; i < extEnd; ++i)
            AppendByte(&out, entry[i], (entry[12] & 0x10) != 0);
    }
    return out;
}

std::u16string FoldCase(const std::u16string& name)
{
    std::u16string out = name;
    for (auto& c : out)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

int CheckLongName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return -EINVAL;
    std::u16string wide;
    if (!Utf8ToUtf16(name, &wide))
        return -EINVAL;
    if (wide.size() > 255)
        return -ENAMETOOLONG;
    for (char16_t c : wide) {
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c < 0x80 ? static_cast<char>(c) : 'a') != nullptr)
            return -EINVAL;
    }
    // Windows drops trailing dots and blanks, so such a name could never be
    // opened again from the player's side.
    if (wide.back() == u'.' || wide.back() == u' ')
        return -EINVAL;
    return 0;
}

namespace {

bool ShortChar(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return c < 0x80 && std::strchr("!#$%&'()-@^_`{}~", static_cast<char>(c)) != nullptr && c != 0;
}

// Appends the 8.3 form of `part` to `out` up to `limit` bytes; returns false
// when something had to be dropped or replaced.
bool ShortPart(const std::u16string& part, size_t limit, std::string* out)
{
    bool exact = true;
    for (char16_t c : part) {
        if (c == u' ' || c == u'.') {
            exact = false;
            continue;
        }
        char16_t u = c;
        if (u >= u'a' && u <= u'z')
            u = static_cast<char16_t>(u - u'a' + u'A');
        char b;
        if (ShortChar(u)) {
            b = static_cast<char>(u);
        } else {
            b = '_';
            exact = false;
        }
        if (out->size() >= limit) {
            exact = false;
            break;
        }
        out->push_back(b);
    }
    return exact;
}

}  // namespace

ShortName MakeShortName(const std::string& name, const std::set<ShortName>& taken, bool* needsLongName)
{
    std::u16string wide;
    Utf8ToUtf16(name, &wide);
    size_t dot = wide.rfind(u'.');
    std::u16string base = wide, ext;
    if (dot != std::u16string::npos && dot > 0) {
        base = wide.substr(0, dot);
        ext = wide.substr(dot + 1);
    }
    std::string b, e;
    bool exact = ShortPart(base, 8, &b);
    exact = ShortPart(ext, 3, &e) && exact;
    if (dot == 0)
        exact = false;  // ".name": the leading dot cannot be kept
    if (b.empty()) {
        b = e.empty() ? std::string("_") : e;
        e.clear();
        exact = false;
    }
    auto compose = [](const std::string& base8, const std::string& ext3) {
        ShortName s(11, ' ');
        s.replace(0, base8.size(), base8);
        s.replace(8, ext3.size(), ext3);
        return s;
    };
    ShortName plain = compose(b, e);
    if (static_cast<uint8_t>(plain[0]) == 0xE5)
        plain[0] = 0x05;
    uint8_t raw[13] = {};
    std::memcpy(raw, plain.data(), 11);
    *needsLongName = !exact || ShortNameText(raw) != name;
    if (exact && taken.count(plain) == 0)
        return plain;
    for (unsigned n = 1; n < 1000000; ++n) {
        std::string tail = "~" + std::to_string(n);
        std::string head = b.substr(0, 8 - tail.size());
        ShortName candidate = compose(head + tail, e);
        if (taken.count(candidate) == 0) {
            *needsLongName = true;
            return candidate;
        }
    }
    return ShortName();  // a directory cannot hold that many entries
}

int MakeLabel(const std::string& text, ShortName* label)
{
    std::u16string wide;
    if (!Utf8ToUtf16(text, &wide) || wide.size() > 11)
        return -EINVAL;
    std::string out;
    for (char16_t c : wide) {
        char16_t u = c;
        if (u >= u'a' && u <= u'z')
            u = static_cast<char16_t>(u - u'a' + u'A');
        if (!(ShortChar(u) || u == u' '))
            return -EINVAL;
        out.push_back(static_cast<char>(u));
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    out.resize(11, ' ');
    *label = out;
    return 0;
}
