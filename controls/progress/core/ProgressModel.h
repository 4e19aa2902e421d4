// The progress bar's state and its pure rules: fill extents, the drawing plan
// and the hit test. No Windows header: the COM shell draws the plan with GDI
// and fires the events the hit test names.
#pragma once

#include <cstdint>
#include <vector>

namespace progress {

constexpr int kMaxSegments = 4;
constexpr int kColourCount = 4;
constexpr int kBackgroundWidth = 374;
constexpr int kBackgroundHeight = 14;
constexpr int kCapWidth = 5;
constexpr int kPieceHeight = 10;

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The colour pieces of one segment.
enum PIECE { PIECE_LEFT_CAP = 0, PIECE_MIDDLE = 1, PIECE_RIGHT_CAP = 2 };

// One stretch copy of a colour piece onto the destination.
struct Blit {
    int segment;
    int colour;
    PIECE piece;
    int x, y, cx, cy;
};

// Outcome of a property put; the shell turns the failures into COM errors.
enum PUT_RESULT { PUT_OK = 0, PUT_BAD_INDEX, PUT_BAD_COUNT, PUT_BAD_COLOUR };

struct Fill {
    uint32_t position;
    int extent;
};

// Position stored and pixels filled for a position against a range: full
// width at or above the range (also before any range is set), else the
// proportional part truncated toward zero.
Fill ComputeFill(uint32_t range, uint32_t position, int drawnWidth);

// The colour copies of one drawing of a rectangle, in drawing order: segments
// from the last to the first, so lower indices cover higher ones.
std::vector<Blit> PlanDrawing(const Rect& bounds, int count, const int16_t* colours, const int* extents);

class CProgressModel {
public:
    static bool IsSegment(int index) { return index >= 0 && index < kMaxSegments; }

    int16_t ProgressNum() const { return m_count; }
    PUT_RESULT PutProgressNum(int16_t count);
    PUT_RESULT GetBitmapOrder(int16_t segment, int16_t* colour) const;
    PUT_RESULT PutBitmapOrder(int16_t segment, int16_t colour);
    PUT_RESULT SetPos(int16_t segment, uint32_t position);
    PUT_RESULT GetPos(int16_t segment, int32_t* position) const;
    void SetRange(uint32_t lower, uint32_t upper) { m_range = upper - lower; }
    int32_t GetRange() const { return static_cast<int32_t>(m_range); }

    // A drawing of the whole control into bounds: remembers width and bounds
    // and returns the colour copies (the background goes first, by the shell).
    std::vector<Blit> Draw(const Rect& bounds);

    // The segment under a point (first in index order whose filled part holds
    // it), or -1.
    int HitTest(int x, int y) const;

    int Extent(int segment) const { return IsSegment(segment) ? m_extent[segment] : 0; }
    int DrawnWidth() const { return m_drawnWidth; }

private:
    int16_t m_count = kMaxSegments;
    int16_t m_colour[kMaxSegments] = {0, 0, 0, 0};
    uint32_t m_range = 0;
    uint32_t m_position[kMaxSegments] = {0, 0, 0, 0};
    int m_extent[kMaxSegments] = {0, 0, 0, 0};
    int m_drawnWidth = 0;
    Rect m_bounds[kMaxSegments];
    Rect m_segmentRect[kMaxSegments];
};

}  // namespace progress
