#include "qv/QvFwImage.h"
#include "qv/QvErrors.h"
#include <cstring>

namespace {
const char PRODUCT_LABEL[] = "Product Version:";
const char COMPONENT_LABEL[] = "Component Version:";

bool IsText(uint8_t c) { return c == '\t' || c == '\r' || c == 0x1A || (c >= 0x20 && c < 0x7F); }

// Where label occurs in [begin, end), or end.
const uint8_t* Find(const uint8_t* begin, const uint8_t* end, const char* label)
{
    size_t n = std::strlen(label);
    for (const uint8_t* p = begin; size_t(end - p) >= n; ++p)
        if (std::memcmp(p, label, n) == 0)
            return p;
    return end;
}

// Reads "%u.%u.%u" the way the header was always read: numbers fill in order
// until one cannot be read; a number above 65535 cannot. false when nothing
// but blanks follows the label (the line then counts as neither).
bool ReadVersion(const uint8_t* p, const uint8_t* end, QvFwVersion& out)
{
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r'))
        ++p;
    if (p == end)
        return false;
    uint16_t* fields[3] = {&out.major, &out.minor, &out.revision};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (p == end || *p != '.')
                break;
            ++p;
        }
        while (i == 0 && p < end && (*p == ' ' || *p == '\t'))
            ++p;
        if (p == end || *p < '0' || *p > '9')
            break;
        uint32_t value = 0;
        bool tooLarge = false;
        while (p < end && *p >= '0' && *p <= '9') {
            value = value * 10 + uint32_t(*p - '0');
            if (value > 65535) {
                tooLarge = true;
                value = 65535;
            }
            ++p;
        }
        if (tooLarge)
            break;
        *fields[i] = uint16_t(value);
    }
    return true;
}

const uint8_t* FindMarker(const uint8_t* begin, const uint8_t* end)
{
    for (const uint8_t* p = begin; size_t(end - p) >= sizeof QV_FW_MARKER; ++p)
        if (std::memcmp(p, QV_FW_MARKER, sizeof QV_FW_MARKER) == 0)
            return p;
    return nullptr;
}
} // namespace

int QvParseFirmware(const uint8_t* bytes, size_t size, QvFwLayout& out)
{
    out = QvFwLayout();
    if (!bytes || size == 0)
        return QV_E_FILE_FORMAT;
    const uint8_t* end = bytes + size;
    // The header is text and ends at the marker; its lines are read only up
    // to there. A lone 0x1A in a line is header text like any other byte.
    const uint8_t* headerEnd = FindMarker(bytes, end);
    if (!headerEnd)
        headerEnd = end;

    // Version lines before the marker make a header file, whatever else its
    // lines hold: only a file without them may be a raw image.
    const bool labelled = headerEnd != end && (Find(bytes, headerEnd, PRODUCT_LABEL) != headerEnd ||
                                               Find(bytes, headerEnd, COMPONENT_LABEL) != headerEnd);
    bool header = true;
    bool product = false, component = false;
    for (const uint8_t* line = bytes; line < headerEnd && !(product && component);) {
        const uint8_t* lf = static_cast<const uint8_t*>(std::memchr(line, '\n', size_t(headerEnd - line)));
        const uint8_t* lineEnd = lf ? lf : headerEnd;
        // A CR before the line feed is the line end's, not the line's.
        const uint8_t* textEnd = lf && lineEnd > line && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        bool fits = size_t(textEnd - line) <= QV_FW_HEADER_LINE;
        bool text = fits;
        for (const uint8_t* p = line; text && p < lineEnd; ++p)
            text = IsText(*p);
        // A file that is not header text before any version line is a raw
        // image; a header line too long is a broken header.
        if (!labelled && ((line == bytes && !text) || (!fits && !product && !component))) {
            header = false;
            break;
        }
        if (!fits)
            return QV_E_FILE_FORMAT;
        const uint8_t* at = Find(line, lineEnd, PRODUCT_LABEL);
        if (at != lineEnd) {
            if (ReadVersion(at + sizeof PRODUCT_LABEL - 1, lineEnd, out.product)) {
                out.kind = QV_FW_KIND_PRODUCT;
                product = true;
            }
        } else if ((at = Find(line, lineEnd, COMPONENT_LABEL)) != lineEnd) {
            if (ReadVersion(at + sizeof COMPONENT_LABEL - 1, lineEnd, out.component)) {
                out.kind = QV_FW_KIND_COMPONENT;
                component = true;
            }
        }
        if (!lf)
            break;
        line = lf + 1;
    }
    if (product && component)
        out.kind = QV_FW_KIND_BOTH;
    if (!header || (!product && !component)) {
        out = QvFwLayout();
        out.kind = QV_FW_KIND_RAW;
        out.imageOffset = 0;
        out.imageSize = size;
        return 0;
    }
    const uint8_t* marker = headerEnd != end ? headerEnd : nullptr;
    if (!marker)
        return QV_E_FILE_FORMAT;
    out.imageOffset = size_t(marker - bytes) + sizeof QV_FW_MARKER;
    out.imageSize = size - out.imageOffset;
    // A header with nothing behind the marker carries no firmware.
    if (out.imageSize == 0)
        return QV_E_FILE_FORMAT;
    return 0;
}
