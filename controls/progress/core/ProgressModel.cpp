#include "ProgressModel.h"

namespace progress {

Fill ComputeFill(uint32_t range, uint32_t position, int drawnWidth)
{
    if (position == 0)
        return {0, 0};
    if (position >= range)
        return {range, drawnWidth};
    double extent = static_cast<double>(drawnWidth) * static_cast<double>(position) / static_cast<double>(range);
    return {position, static_cast<int>(extent)};
}

std::vector<Blit> PlanDrawing(const Rect& bounds, int count, const int16_t* colours, const int* extents)
{
    std::vector<Blit> plan;
    const int w = bounds.right - bounds.left;
    const int h = bounds.bottom - bounds.top;
    const int x0 = w / kBackgroundWidth;
    const int cap = kCapWidth * w / kBackgroundWidth;
    const int top = h / kBackgroundHeight + 1;
    const int height = h - h / kBackgroundHeight - 3;
    if (count > kMaxSegments)
        count = kMaxSegments;
    for (int i = count - 1; i >= 0; --i) {
        const int c = colours[i];
        const int e = extents[i];
        if (c < 0 || c >= kColourCount)
            continue;
        // A piece of no width would be a mirrored copy to the left of its
        // place: small controls draw nothing there instead.
        auto add = [&](PIECE piece, int x, int cx) {
            if (cx > 0 && height > 0)
                plan.push_back({i, c, piece, bounds.left + x, bounds.top + top, cx, height});
        };
        if (e > 0 && e > cap)
            add(PIECE_MIDDLE, x0, e - x0 - 4);
        if (e > 0)
            add(PIECE_LEFT_CAP, x0, cap);
        if (e > x0 + cap + 2)
            add(PIECE_RIGHT_CAP, e - x0 - 4, cap);
    }
    return plan;
}

PUT_RESULT CProgressModel::PutProgressNum(int16_t count)
{
    if (count < 1 || count > kMaxSegments)
        return PUT_BAD_COUNT;
    m_count = count;
    return PUT_OK;
}

PUT_RESULT CProgressModel::GetBitmapOrder(int16_t segment, int16_t* colour) const
{
    if (!IsSegment(segment))
        return PUT_BAD_INDEX;
    *colour = m_colour[segment];
    return PUT_OK;
}

PUT_RESULT CProgressModel::PutBitmapOrder(int16_t segment, int16_t colour)
{
    if (!IsSegment(segment))
        return PUT_BAD_INDEX;
    if (colour < 0 || colour >= kColourCount)
        return PUT_BAD_COLOUR;
    m_colour[segment] = colour;
    return PUT_OK;
}

PUT_RESULT CProgressModel::SetPos(int16_t segment, uint32_t position)
{
    if (!IsSegment(segment))
        return PUT_BAD_INDEX;
    Fill fill = ComputeFill(m_range, position, m_drawnWidth);
    m_segmentRect[segment] = m_bounds[segment];
    m_segmentRect[segment].right = m_bounds[segment].left + fill.extent;
    m_position[segment] = fill.position;
    m_extent[segment] = fill.extent;
    return PUT_OK;
}

PUT_RESULT CProgressModel::GetPos(int16_t segment, int32_t* position) const
{
    if (!IsSegment(segment))
        return PUT_BAD_INDEX;
    *position = static_cast<int32_t>(m_position[segment]);
    return PUT_OK;
}

std::vector<Blit> CProgressModel::Draw(const Rect& bounds)
{
    m_drawnWidth = bounds.right - bounds.left;
    for (Rect& r : m_bounds)
        r = bounds;
    return PlanDrawing(bounds, m_count, m_colour, m_extent);
}

int CProgressModel::HitTest(int x, int y) const
{
    for (int i = 0; i < m_count; ++i) {
        if (m_extent[i] <= 0)
            continue;
        const Rect& r = m_segmentRect[i];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return i;
    }
    return -1;
}

}  // namespace progress
