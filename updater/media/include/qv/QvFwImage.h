// The firmware file layout: an optional text header with the product and
// component version lines, the chip family marker, then the image. Parsed
// from the file's bytes, so the header scan stops where the header ends
// whatever bytes follow.
#pragma once
#include <cstddef>
#include <cstdint>

// What the header says about the file.
enum QvFwFileKind : int {
    QV_FW_KIND_PRODUCT = 0,   // the last version line seen was the product line
    QV_FW_KIND_COMPONENT = 1, // it was the component line
    QV_FW_KIND_BOTH = 2,
    QV_FW_KIND_RAW = 3,       // no version line: every byte is the image
};

constexpr uint8_t QV_FW_MARKER[5] = {0x1A, 'Q', 'V', 'R', 'X'};
// Header lines hold at most this many characters before their line feed.
constexpr size_t QV_FW_HEADER_LINE = 79;

struct QvFwVersion {
    uint16_t major = 0, minor = 0, revision = 0;
};

struct QvFwLayout {
    int kind = QV_FW_KIND_RAW;
    QvFwVersion product;
    QvFwVersion component;
    size_t imageOffset = 0; // first image byte
    size_t imageSize = 0;
};

// 0, or -12 when the file is not in the layout: a header line too long, a
// header without the marker, or no image bytes at all.
int QvParseFirmware(const uint8_t* bytes, size_t size, QvFwLayout& out);
