#include "Mp3TextConverter.h"

bool CMp3Latin1Converter::AppendCodePoint(char32_t codePoint, std::string& out, std::size_t limit) const
{
    if (out.size() + 1 > limit)
        return false;
    out.push_back(codePoint <= 0xFF ? static_cast<char>(codePoint) : '?');
    return true;
}

namespace {

// Decodes UTF-16 units; a lone surrogate becomes U+FFFD so that a broken
// frame still shows its readable part.
template <typename Emit>
void DecodeUtf16(const unsigned char* p, std::size_t count, bool bigEndian, Emit emit)
{
    auto unit = [&](std::size_t i) -> char16_t {
        return bigEndian ? static_cast<char16_t>(p[i] << 8 | p[i + 1]) : static_cast<char16_t>(p[i + 1] << 8 | p[i]);
    };
    std::size_t i = 0;
    while (i + 1 < count) {
        char16_t u = unit(i);
        i += 2;
        if (u == 0)
            return;
        char32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < count) {
                char16_t lo = unit(i);
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    i += 2;
                    cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (lo - 0xDC00);
                } else {
                    cp = 0xFFFD;
                }
            } else {
                cp = 0xFFFD;
            }
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (!emit(cp))
            return;
    }
}

template <typename Emit>
void DecodeUtf8(const unsigned char* p, std::size_t count, Emit emit)
{
    std::size_t i = 0;
    while (i < count) {
        unsigned char c = p[i];
        if (c == 0)
            return;
        char32_t cp;
        std::size_t len;
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
            cp = 0xFFFD;
            len = 1;
        }
        if (len > 1) {
            std::size_t k = 1;
            for (; k < len && i + k < count && (p[i + k] & 0xC0) == 0x80; ++k)
                cp = cp << 6 | (p[i + k] & 0x3F);
            if (k < len) {
                cp = 0xFFFD;
                len = k;
            } else if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                       (cp >= 0xD800 && cp <= 0xDFFF)) {
                cp = 0xFFFD;
            }
        }
        i += len;
        if (!emit(cp))
            return;
    }
}

} // namespace

std::string Mp3ConvertText(const unsigned char* data, std::size_t count, int encoding,
                           const CMp3TextConverter& converter, std::size_t limit)
{
    std::string out;
    auto emit = [&](char32_t cp) { return converter.AppendCodePoint(cp, out, limit); };
    switch (encoding) {
    case MP3_TEXT_UTF16: {
        // Without a byte-order mark the text is taken as little-endian, the
        // order every writer without one uses in practice.
        bool bigEndian = false;
        if (count >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
            bigEndian = true;
            data += 2;
            count -= 2;
        } else if (count >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
            data += 2;
            count -= 2;
        }
        DecodeUtf16(data, count, bigEndian, emit);
        break;
    }
    case MP3_TEXT_UTF16BE:
        DecodeUtf16(data, count, true, emit);
        break;
    case MP3_TEXT_UTF8:
        if (count >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
            data += 3;
            count -= 3;
        }
        DecodeUtf8(data, count, emit);
        break;
    default:
        for (std::size_t i = 0; i < count && data[i]; ++i)
            if (!emit(data[i]))
                break;
        break;
    }
    return out;
}
