// The bar's rules without Windows: fill extents, the drawing plan and the hit
// test, with the figures of a 374 x 14 control (the background's own size).
#include "ProgressModel.h"

#include <gtest/gtest.h>

using namespace progress;

namespace {

const Rect kFull{0, 0, 374, 14};

// Which piece (or none, -1) covers column x of segment drawing, last copy wins.
int PieceAt(const std::vector<Blit>& plan, int x)
{
    int piece = -1;
    for (const Blit& b : plan)
        if (x >= b.x && x < b.x + b.cx)
            piece = b.piece;
    return piece;
}

}  // namespace

TEST(FillExtent, HalfOfOneHundredOnFullWidthIs187)
{
    Fill f = ComputeFill(100, 50, 374);
    EXPECT_EQ(50u, f.position);
    EXPECT_EQ(187, f.extent);
}

TEST(FillExtent, TruncatesTowardZero)
{
    EXPECT_EQ(3, ComputeFill(100, 1, 374).extent);     // 3.74
    EXPECT_EQ(370, ComputeFill(100, 99, 374).extent);  // 370.26
}

TEST(FillExtent, AtOrAboveRangeFillsAllAndKeepsTheRange)
{
    Fill at = ComputeFill(100, 100, 374);
    EXPECT_EQ(100u, at.position);
    EXPECT_EQ(374, at.extent);
    Fill above = ComputeFill(100, 0xFFFFFFF0u, 374);
    EXPECT_EQ(100u, above.position);
    EXPECT_EQ(374, above.extent);
}

TEST(FillExtent, ZeroClearsAndNoRangeMeansFull)
{
    EXPECT_EQ(0, ComputeFill(100, 0, 374).extent);
    EXPECT_EQ(0u, ComputeFill(0, 0, 374).position);
    EXPECT_EQ(374, ComputeFill(0, 7, 374).extent);
    EXPECT_EQ(0u, ComputeFill(0, 7, 374).position);
}

TEST(FillExtent, LargeValuesDoNotOverflow)
{
    EXPECT_EQ(187, ComputeFill(0xFFFFFFFEu, 0x7FFFFFFFu, 374).extent);
}

TEST(DrawPlan, FullWidthPiecesPlaces)
{
    int16_t colours[4] = {2, 0, 0, 0};
    int extents[4] = {187, 0, 0, 0};
    auto plan = PlanDrawing(kFull, 1, colours, extents);
    ASSERT_EQ(3u, plan.size());
    // x0 = 1, cap = 5, top = 2, height = 10.
    EXPECT_EQ(PIECE_MIDDLE, plan[0].piece);
    EXPECT_EQ(1, plan[0].x);
    EXPECT_EQ(182, plan[0].cx);
    EXPECT_EQ(2, plan[0].y);
    EXPECT_EQ(10, plan[0].cy);
    EXPECT_EQ(PIECE_LEFT_CAP, plan[1].piece);
    EXPECT_EQ(1, plan[1].x);
    EXPECT_EQ(5, plan[1].cx);
    EXPECT_EQ(PIECE_RIGHT_CAP, plan[2].piece);
    EXPECT_EQ(182, plan[2].x);
    EXPECT_EQ(5, plan[2].cx);
    EXPECT_EQ(2, plan[2].colour);
}

TEST(DrawPlan, LeftCapOnlyWhileFillIsNotAboveCap)
{
    int16_t colours[4] = {0, 0, 0, 0};
    for (int e = 1; e <= 5; ++e) {
        int extents[4] = {e, 0, 0, 0};
        auto plan = PlanDrawing(kFull, 1, colours, extents);
        ASSERT_EQ(1u, plan.size()) << e;
        EXPECT_EQ(PIECE_LEFT_CAP, plan[0].piece);
    }
    // Above cap the middle piece starts, hidden under the left cap until the
    // right cap appears beyond x0 + cap + 2 = 8.
    for (int e = 6; e <= 8; ++e) {
        int extents[4] = {e, 0, 0, 0};
        auto plan = PlanDrawing(kFull, 1, colours, extents);
        for (int x = 0; x < 374; ++x)
            EXPECT_EQ(x >= 1 && x < 6 ? PIECE_LEFT_CAP : -1, PieceAt(plan, x)) << e << " " << x;
    }
    int extents[4] = {9, 0, 0, 0};
    auto plan = PlanDrawing(kFull, 1, colours, extents);
    EXPECT_EQ(PIECE_RIGHT_CAP, plan.back().piece);
    EXPECT_EQ(4, plan.back().x);
}

TEST(DrawPlan, LowerSegmentsCoverHigherOnes)
{
    int16_t colours[4] = {1, 3, 0, 0};
    int extents[4] = {100, 300, 0, 0};
    auto plan = PlanDrawing(kFull, 2, colours, extents);
    ASSERT_EQ(6u, plan.size());
    EXPECT_EQ(1, plan[0].segment);
    EXPECT_EQ(0, plan[5].segment);
    EXPECT_EQ(1, plan[5].colour);
}

TEST(DrawPlan, OnlyCountedSegmentsAreDrawn)
{
    int16_t colours[4] = {0, 1, 2, 3};
    int extents[4] = {0, 0, 0, 200};
    EXPECT_TRUE(PlanDrawing(kFull, 3, colours, extents).empty());
    EXPECT_EQ(3u, PlanDrawing(kFull, 4, colours, extents).size());
}

TEST(DrawPlan, NarrowControlsGetNoMirroredPieces)
{
    int16_t colours[4] = {0, 0, 0, 0};
    int extents[4] = {2, 0, 0, 0};
    for (const Blit& b : PlanDrawing(Rect{0, 0, 100, 14}, 1, colours, extents))
        EXPECT_GT(b.cx, 0);
}

TEST(DrawPlan, FollowsTheBoundsOrigin)
{
    int16_t colours[4] = {0, 0, 0, 0};
    int extents[4] = {187, 0, 0, 0};
    auto plan = PlanDrawing(Rect{10, 20, 384, 34}, 1, colours, extents);
    EXPECT_EQ(11, plan[1].x);
    EXPECT_EQ(22, plan[1].y);
}

TEST(Model, StartsWithFourRedEmptySegments)
{
    CProgressModel m;
    EXPECT_EQ(4, m.ProgressNum());
    int16_t c = -1;
    int32_t p = -1;
    for (int16_t i = 0; i < 4; ++i) {
        EXPECT_EQ(PUT_OK, m.GetBitmapOrder(i, &c));
        EXPECT_EQ(0, c);
        EXPECT_EQ(PUT_OK, m.GetPos(i, &p));
        EXPECT_EQ(0, p);
    }
    EXPECT_EQ(0, m.GetRange());
}

TEST(Model, RejectsOutOfRangeValuesAndKeepsState)
{
    CProgressModel m;
    EXPECT_EQ(PUT_BAD_COUNT, m.PutProgressNum(0));
    EXPECT_EQ(PUT_BAD_COUNT, m.PutProgressNum(5));
    EXPECT_EQ(4, m.ProgressNum());
    EXPECT_EQ(PUT_OK, m.PutProgressNum(1));
    EXPECT_EQ(1, m.ProgressNum());
    EXPECT_EQ(PUT_BAD_COLOUR, m.PutBitmapOrder(0, 4));
    EXPECT_EQ(PUT_BAD_COLOUR, m.PutBitmapOrder(0, -1));
    EXPECT_EQ(PUT_OK, m.PutBitmapOrder(0, 3));
    int16_t c = 0;
    m.GetBitmapOrder(0, &c);
    EXPECT_EQ(3, c);
}

TEST(Model, SegmentIndexOutsideFourSlotsIsRefused)
{
    CProgressModel m;
    int16_t c = 0;
    int32_t p = 0;
    for (int16_t bad : {int16_t(-1), int16_t(4), int16_t(32767), int16_t(-32768)}) {
        EXPECT_EQ(PUT_BAD_INDEX, m.GetBitmapOrder(bad, &c));
        EXPECT_EQ(PUT_BAD_INDEX, m.PutBitmapOrder(bad, 1));
        EXPECT_EQ(PUT_BAD_INDEX, m.SetPos(bad, 5));
        EXPECT_EQ(PUT_BAD_INDEX, m.GetPos(bad, &p));
    }
}

TEST(Model, SetRangeKeepsTheDifference)
{
    CProgressModel m;
    m.SetRange(20, 120);
    EXPECT_EQ(100, m.GetRange());
}

TEST(Model, SetPosUsesTheLastDrawnWidth)
{
    CProgressModel m;
    m.SetRange(0, 100);
    m.SetPos(0, 50);
    EXPECT_EQ(0, m.Extent(0));  // nothing drawn yet
    m.Draw(kFull);
    m.SetPos(0, 50);
    EXPECT_EQ(187, m.Extent(0));
    int32_t p = 0;
    m.GetPos(0, &p);
    EXPECT_EQ(50, p);
    m.SetPos(0, 1000);
    m.GetPos(0, &p);
    EXPECT_EQ(100, p);
    EXPECT_EQ(374, m.Extent(0));
}

TEST(HitTest, FirstFilledSegmentUnderThePoint)
{
    CProgressModel m;
    m.Draw(kFull);
    m.SetRange(0, 100);
    m.SetPos(0, 50);   // 0..186
    m.SetPos(1, 100);  // 0..373
    EXPECT_EQ(0, m.HitTest(0, 5));
    EXPECT_EQ(0, m.HitTest(186, 13));
    EXPECT_EQ(1, m.HitTest(187, 5));
    EXPECT_EQ(1, m.HitTest(373, 0));
    EXPECT_EQ(-1, m.HitTest(374, 5));
    EXPECT_EQ(-1, m.HitTest(10, 14));
    EXPECT_EQ(-1, m.HitTest(-1, 5));
}

TEST(HitTest, ClearedSegmentReportsNothing)
{
    CProgressModel m;
    m.Draw(kFull);
    m.SetRange(0, 100);
    m.SetPos(0, 50);
    m.SetPos(0, 0);
    EXPECT_EQ(-1, m.HitTest(3, 5));
}

TEST(HitTest, SegmentsBeyondTheCountAreNotTested)
{
    CProgressModel m;
    m.Draw(kFull);
    m.SetPos(3, 1);
    EXPECT_EQ(3, m.HitTest(3, 5));
    m.PutProgressNum(2);
    EXPECT_EQ(-1, m.HitTest(3, 5));
}
