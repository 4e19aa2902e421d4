// ID3v2 texts arrive as Latin-1, UTF-16 or UTF-8; the records hold texts in the
// ANSI code page. The conversion to ANSI is the platform's, so the reader takes
// it as an interface; the Windows shell binds it to the system code page.
#pragma once

#include <cstddef>
#include <string>

class CMp3TextConverter {
public:
    virtual ~CMp3TextConverter() = default;
    // Appends the ANSI form of one code point to out; returns false when that
    // would make out longer than limit bytes (out is then left as it was).
    virtual bool AppendCodePoint(char32_t codePoint, std::string& out, std::size_t limit) const = 0;
};

// Code points up to U+00FF map to their own byte, the rest to '?': the
// Windows-free builds (tests, fuzzing, benchmark) use it.
class CMp3Latin1Converter : public CMp3TextConverter {
public:
    bool AppendCodePoint(char32_t codePoint, std::string& out, std::size_t limit) const override;
};

// ID3v2 text encodings (the byte that starts a text frame).
enum MP3_TEXT_ENCODING { MP3_TEXT_LATIN1 = 0, MP3_TEXT_UTF16 = 1, MP3_TEXT_UTF16BE = 2, MP3_TEXT_UTF8 = 3 };

// Decodes count bytes of UTF-16 (with or without a byte-order mark) or UTF-8
// up to the first NUL and converts them through converter, stopping before the
// result would exceed limit bytes.
std::string Mp3ConvertText(const unsigned char* data, std::size_t count, int encoding,
                           const CMp3TextConverter& converter, std::size_t limit);
