// Lines: lengths, clipping, the word-wise copy weights, diagonals, the two-ended plain and Wu lines,
// sub-pixel lines, dashed lines and rectangle outlines.

#include <cmath>
#include <random>

#include "DrawTestUtil.h"

using namespace drawtest;

namespace {
const uint32_t kWhite = 0xFFFFFFFF;
}

TEST(RasterLine, LengthsAndOrderOfEnds) {
    auto bm = MakeBitmap(16, 8);
    Raster_Line(bm.get(), 0, 0, 10, 0, kWhite, 1.0f, 0, false);
    Raster_Line(bm.get(), 5, 5, 5, 5, kWhite, 1.0f, 0, false);
    Raster_Line(bm.get(), 14, 6, 14, 2, kWhite, 1.0f, 0, false); // given bottom to top
    EXPECT_TRUE(MapIs(bm.get(), {"###########.....",             //
                                 "................",             //
                                 "..............#.",             //
                                 "..............#.",             //
                                 "..............#.",             //
                                 ".....#........#.",             //
                                 "..............#.",             //
                                 "................"}));
}

TEST(RasterLine, ClippedToTheBitmap) {
    auto bm = MakeBitmap(16, 4);
    Raster_Line(bm.get(), -10, 1, 20, 1, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(
        MapIs(bm.get(), {"................", "################", "................", "................"}));
    // Entirely outside, and extreme coordinates, draw nothing and stay in bounds.
    auto bm2 = MakeBitmap(16, 4);
    Raster_Line(bm2.get(), -10, -3, 30, -1, kWhite, 1.0f, 0, true);
    Raster_Line(bm2.get(), INT32_MIN, INT32_MIN, INT32_MIN + 5, INT32_MAX, kWhite, 1.0f, 0, true);
    EXPECT_EQ(CountSet(bm2.get()), 0);
    // A line across the whole int range still draws its visible part.
    Raster_Line(bm2.get(), INT32_MIN, 2, INT32_MAX, 2, kWhite, 1.0f, 0, false);
    EXPECT_EQ(CountSet(bm2.get()), 16);
}

TEST(RasterLine, CopyWeightsOnStraightLines) {
    const uint32_t d = Word(0x40, 0x81, 0x13, 0xFE), c = Word(0xF0, 0x0F, 0x77, 0x01);
    struct Case {
        float alpha;
        uint32_t expect;
    };
    const Case cases[] = {
        {1.0f, c},
        {0.5f, Half(d) + Half(c)},                  // word-wise half
        {0.25f, Half(d) + Quarter(d) + Quarter(c)}, // word-wise quarter
        {0.75f, Quarter(d) + Half(c) + Quarter(c)}, // word-wise three quarters
        {0.5001f, 0},                               // weight 128, per channel (d + s) >> 1
        {0.3f, CopyWord(d, c, 76)},                 // weighted copy
    };
    for (const Case& k : cases) {
        uint32_t expect = k.expect;
        if (k.alpha == 0.5001f)
            for (int sh = 0; sh < 32; sh += 8) expect |= ((((d >> sh) & 255) + ((c >> sh) & 255)) >> 1) << sh;
        for (int vertical = 0; vertical < 2; ++vertical) {
            auto bm = MakeBitmap(8, 8, d);
            if (vertical)
                Raster_Line(bm.get(), 3, 1, 3, 6, c, k.alpha, 0, false);
            else
                Raster_Line(bm.get(), 1, 3, 6, 3, c, k.alpha, 0, false);
            for (int i = 1; i <= 6; ++i) {
                const uint32_t got = vertical ? Px(bm.get(), 3, i) : Px(bm.get(), i, 3);
                EXPECT_EQ(got, expect) << "alpha " << k.alpha << " pixel " << i;
            }
            EXPECT_EQ(Px(bm.get(), 0, 3), d);
            EXPECT_EQ(CountSet(bm.get(), d), k.alpha == 1.0f || expect != d ? 6 : 0);
        }
    }
}

TEST(RasterLine, ModesWeightsAndIgnoredBits) {
    const uint32_t d = Word(100, 200, 10, 50), c = Word(100, 100, 100, 100);
    // Add at full weight saturates per channel; filter and source-alpha bits change nothing.
    auto bm = MakeBitmap(4, 1, d);
    Raster_Line(bm.get(), 0, 0, 3, 0, c, 1.0f, RASTER_BLEND_ADD | RASTER_BLEND_FILTER_BILINEAR, false);
    EXPECT_EQ(Px(bm.get(), 2, 0), Word(200, 255, 110, 150));
    auto bm2 = MakeBitmap(4, 1, d);
    Raster_Line(bm2.get(), 0, 0, 3, 0, c, 1.0f, RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA, false);
    EXPECT_EQ(Px(bm2.get(), 1, 0), c);
    // Weight 0, a negative copy weight and unknown modes draw nothing.
    auto bm3 = MakeBitmap(4, 4, d);
    Raster_Line(bm3.get(), 0, 0, 3, 3, c, 0.003f, 0, true);
    Raster_Line(bm3.get(), 0, 0, 3, 0, c, -0.5f, 0, false);
    Raster_Line(bm3.get(), 0, 1, 3, 2, c, 1.0f, 6, false);
    Raster_Line(bm3.get(), 0, 1, 3, 1, c, 1.0f, 0xF0, false);
    Raster_Line(bm3.get(), 0, 1, 3, 1, c, NAN, 0, false);
    EXPECT_EQ(CountSet(bm3.get(), d), 0);
}

TEST(RasterLine, DiagonalPlainAndAntialiased) {
    auto bm = MakeBitmap(6, 6);
    Raster_Line(bm.get(), 4, 1, 1, 4, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(bm.get(), {"......", "....#.", "...#..", "..#...", ".#....", "......"}));

    // Antialiased at 45 degrees in copy mode at alpha 1: three quarters colour on the diagonal, a
    // quarter on the pixels beside it between consecutive diagonal pixels, word-wise.
    const uint32_t d = Word(8, 16, 32, 64), c = Word(200, 100, 40, 255);
    auto aa = MakeBitmap(6, 6, d);
    Raster_Line(aa.get(), 1, 1, 4, 4, c, 1.0f, 0, true);
    const uint32_t diag = Quarter(d) + Half(c) + Quarter(c), side = Half(d) + Quarter(d) + Quarter(c);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            uint32_t expect = d;
            if (x == y && x >= 1 && x <= 4)
                expect = diag;
            else if (x >= 1 && y >= 1 && x <= 4 && y <= 4 && (x - y == 1 || y - x == 1))
                expect = side;
            EXPECT_EQ(Px(aa.get(), x, y), expect) << x << "," << y;
        }

    // At other weights the diagonal gets 3w/4 and the sides w/4 through the weighted copy.
    auto half = MakeBitmap(4, 4, d);
    Raster_Line(half.get(), 3, 0, 0, 3, c, 0.5f, 0, true);
    EXPECT_EQ(Px(half.get(), 3, 0), CopyWord(d, c, 96));
    EXPECT_EQ(Px(half.get(), 1, 2), CopyWord(d, c, 96));
    EXPECT_EQ(Px(half.get(), 2, 0), CopyWord(d, c, 32));
    EXPECT_EQ(Px(half.get(), 3, 1), CopyWord(d, c, 32));
    EXPECT_EQ(Px(half.get(), 0, 0), d);
    EXPECT_EQ(Px(half.get(), 3, 3), d);
}

TEST(RasterLine, GeneralLineFromBothEnds) {
    auto bm = MakeBitmap(6, 3);
    Raster_Line(bm.get(), 0, 0, 4, 1, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(bm.get(), {"##....", "..###.", "......"}));
    auto bm2 = MakeBitmap(6, 3);
    Raster_Line(bm2.get(), 5, 2, 0, 0, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(bm2.get(), {"##....", "..##..", "....##"}));
    auto steep = MakeBitmap(3, 6);
    Raster_Line(steep.get(), 2, 0, 0, 5, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(steep.get(), {"..#", "..#", ".#.", ".#.", "#..", "#.."}));
}

TEST(RasterLine, GeneralLinesStayOnTheIdealLine) {
    // Every plain line covers one pixel per major step, both ends included, each within half a
    // pixel (plus the step's truncation) of the ideal line.
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> coord(0, 63);
    for (int n = 0; n < 400; ++n) {
        const int x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
        const int dx = x2 - x1, dy = y2 - y1;
        if (dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy)) continue;
        auto bm = MakeBitmap(64, 64);
        Raster_Line(bm.get(), x1, y1, x2, y2, kWhite, 1.0f, RASTER_BLEND_ADD, false);
        const bool majorX = std::abs(dy) < std::abs(dx);
        ASSERT_EQ(CountSet(bm.get()), (majorX ? std::abs(dx) : std::abs(dy)) + 1);
        ASSERT_EQ(Px(bm.get(), x1, y1), kWhite);
        ASSERT_EQ(Px(bm.get(), x2, y2), kWhite);
        for (int a = std::min(majorX ? x1 : y1, majorX ? x2 : y2);
             a <= std::max(majorX ? x1 : y1, majorX ? x2 : y2); ++a) {
            int inLine = 0;
            for (int m = 0; m < 64; ++m) inLine += Px(bm.get(), majorX ? a : m, majorX ? m : a) != 0;
            ASSERT_EQ(inLine, 1) << "major coordinate " << a;
        }
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                if (!Px(bm.get(), x, y)) continue;
                const double off =
                    majorX ? y - (y1 + (double)dy * (x - x1) / dx) : x - (x1 + (double)dx * (y - y1) / dy);
                ASSERT_LE(std::fabs(off), 0.51) << x1 << "," << y1 << " - " << x2 << "," << y2;
            }
    }
}

TEST(RasterLine, WuLineWeights) {
    // (0,0)-(4,1): ends at full weight; the fraction starts at 1/4 (errstep 16384), so the second
    // pixels get 191 and 64, and the middle pair 127 and 128 (white over black, weighted copy).
    auto bm = MakeBitmap(5, 2, Word(0, 0, 0, 0));
    Raster_Line(bm.get(), 0, 0, 4, 1, Word(255, 0, 0, 255), 1.0f, 0, true);
    const int row0[5] = {255, 191, 127, 64, 0}, row1[5] = {0, 64, 128, 191, 255};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(Px(bm.get(), x, 0), Word(row0[x], 0, 0, row0[x])) << x;
        EXPECT_EQ(Px(bm.get(), x, 1), Word(row1[x], 0, 0, row1[x])) << x;
    }
    // The same at alpha 0.5 scales every weight by w / 256 (w = 128): 255 - f/256 -> 95 etc.
    auto h = MakeBitmap(5, 2);
    Raster_Line(h.get(), 0, 0, 4, 1, Word(255, 0, 0, 0), 0.5f, 0, true);
    EXPECT_EQ(Raster_GetR(Px(h.get(), 0, 0)), CopyChan(0, 255, 128));
    EXPECT_EQ(Raster_GetR(Px(h.get(), 1, 0)), CopyChan(0, 255, 191 * 128 / 256));
    EXPECT_EQ(Raster_GetR(Px(h.get(), 1, 1)), CopyChan(0, 255, 64 * 128 / 256));
}

TEST(RasterFLine, SubPixelAntialiasedWeights) {
    // Shallow line at y = 1.25 from x = 0.5 to 6.5: columns 1..6, 3/4 on row 1, 1/4 on row 2.
    auto bm = MakeBitmap(8, 4);
    Raster_FLine(bm.get(), 0.5f, 1.25f, 6.5f, 1.25f, Word(255, 0, 0, 0), 1.0f, 0, true);
    for (int x = 0; x < 8; ++x) {
        const bool in = x >= 1 && x <= 6;
        EXPECT_EQ(Raster_GetR(Px(bm.get(), x, 1)), in ? 191 : 0) << x;
        EXPECT_EQ(Raster_GetR(Px(bm.get(), x, 2)), in ? 64 : 0) << x;
        EXPECT_EQ(Px(bm.get(), x, 0), 0u);
    }
    // Falling minor direction: (0,3)-(4,1), the pair straddles y = 2.5 at x = 1 and 3.
    auto up = MakeBitmap(5, 5);
    Raster_FLine(up.get(), 0, 3, 4, 1, Word(255, 0, 0, 0), 1.0f, 0, true);
    struct P {
        int x, y, v;
    };
    const P set[] = {{0, 3, 255}, {1, 3, 128}, {1, 2, 127}, {2, 2, 255},
                     {3, 2, 128}, {3, 1, 127}, {4, 1, 255}};
    for (const P& p : set) EXPECT_EQ(Raster_GetR(Px(up.get(), p.x, p.y)), p.v) << p.x << "," << p.y;
    EXPECT_EQ(CountSet(up.get()), 7);
}

TEST(RasterFLine, EdgesAndBadInput) {
    auto bm = MakeBitmap(10, 10);
    // Ends half a pixel past the last row: the neighbour below would be outside and is skipped.
    Raster_FLine(bm.get(), 0.2f, 9.5f, 9.7f, 9.4f, kWhite, 1.0f, 0, true);
    Raster_FLine(bm.get(), 9.5f, 0.2f, 9.4f, 9.7f, kWhite, 1.0f, 0, true);
    EXPECT_GT(CountSet(bm.get()), 0);
    auto none = MakeBitmap(10, 10);
    Raster_FLine(none.get(), 3, 3, 3, 3, kWhite, 1.0f, 0, true);
    Raster_FLine(none.get(), NAN, 3, 5, 5, kWhite, 1.0f, 0, true);
    Raster_FLine(none.get(), 1, 1, INFINITY, 5, kWhite, 1.0f, 0, false);
    Raster_FLine(none.get(), -1e30f, -1e30f, -1e29f, 1e30f, kWhite, 1.0f, 0, true);
    EXPECT_EQ(CountSet(none.get()), 0);
    // Without antialias it is the integer line on truncated coordinates, even from far away.
    auto a = MakeBitmap(10, 10), b = MakeBitmap(10, 10);
    Raster_FLine(a.get(), 1.9f, 2.7f, 8.2f, 5.9f, kWhite, 1.0f, 0, false);
    Raster_Line(b.get(), 1, 2, 8, 5, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(SamePixels(a.get(), b.get()));
    auto far = MakeBitmap(10, 10);
    Raster_FLine(far.get(), -3e9f, 4.0f, 3e9f, 4.0f, kWhite, 1.0f, 0, false);
    EXPECT_EQ(CountSet(far.get()), 10);
}

TEST(RasterClipLine, CohenSutherlandAgainstARectangle) {
    int x1 = -5, y1 = 5, x2 = 25, y2 = 5;
    EXPECT_TRUE(Raster_ClipLine(&x1, &y1, &x2, &y2, 2, 0, 12, 10));
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(x2, 11);
    // Diagonal from (-4,-2): the top edge is tested first: y = 0, x = -4 + trunc(2 * 12 / 6) = 0.
    x1 = -4, y1 = -2, x2 = 8, y2 = 4;
    EXPECT_TRUE(Raster_ClipLine(&x1, &y1, &x2, &y2, 0, 0, 10, 10));
    EXPECT_EQ(x1, 0);
    EXPECT_EQ(y1, 0);
    EXPECT_EQ(x2, 8);
    EXPECT_EQ(y2, 4);
    // The bottom edge uses the exclusive height in the ratio and the last row as the coordinate:
    // (0,0)-(10,20) against height 10: y = 9, x = 0 + trunc(10 * 10 / 20) = 5.
    x1 = 0, y1 = 0, x2 = 10, y2 = 20;
    EXPECT_TRUE(Raster_ClipLine(&x1, &y1, &x2, &y2, 0, 0, 20, 10));
    EXPECT_EQ(x2, 5);
    EXPECT_EQ(y2, 9);
    // Rejected segments leave the values alone; an empty rectangle rejects everything.
    x1 = -5, y1 = -5, x2 = -1, y2 = 20;
    EXPECT_FALSE(Raster_ClipLine(&x1, &y1, &x2, &y2, 0, 0, 10, 10));
    EXPECT_EQ(x1, -5);
    x1 = 0, y1 = 0, x2 = 5, y2 = 5;
    EXPECT_FALSE(Raster_ClipLine(&x1, &y1, &x2, &y2, 3, 3, 3, 9));
    x1 = INT32_MIN, y1 = INT32_MIN, x2 = INT32_MAX, y2 = INT32_MAX;
    EXPECT_TRUE(Raster_ClipLine(&x1, &y1, &x2, &y2, -100, -100, 100, 100));
    EXPECT_TRUE(x1 >= -100 && x1 < 100 && x2 >= -100 && x2 < 100);

    float fx1 = -2.5f, fy1 = 1.0f, fx2 = 7.5f, fy2 = 6.0f;
    EXPECT_TRUE(Raster_ClipFLine(&fx1, &fy1, &fx2, &fy2, 0, 0, 5, 5));
    EXPECT_FLOAT_EQ(fx1, 0.0f);
    EXPECT_FLOAT_EQ(fy1, 2.25f);
    // The far end goes to the bottom row first (y = 4, x = 0 + (5 - 2.25) * 7.5 / 3.75 = 5.5), then to
    // the last column: x = 4, y = 2.25 + 1.75 * (5 - 0) / 5.5.
    EXPECT_FLOAT_EQ(fx2, 4.0f);
    EXPECT_NEAR(fy2, 2.25 + 1.75 * 5 / 5.5, 1e-5);
    fx1 = NAN;
    EXPECT_FALSE(Raster_ClipFLine(&fx1, &fy1, &fx2, &fy2, 0, 0, 5, 5));
}

TEST(RasterDashedLine, RunsAndExclusiveEnd) {
    auto v = MakeBitmap(5, 8);
    Raster_DashedLine(v.get(), 3, 0, 3, 6, 1, 1, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(v.get(), {"...#.", ".....", "...#.", ".....", "...#.", ".....", ".....", "....."}));
    auto h = MakeBitmap(12, 1);
    Raster_DashedLine(h.get(), 10, 0, 0, 0, 2, 1, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(h.get(), {"##.##.##.#.."}));
    // Diagonals, single pixels and empty runs draw nothing; negative gaps draw solid.
    auto n = MakeBitmap(8, 8);
    Raster_DashedLine(n.get(), 0, 0, 5, 5, 1, 1, kWhite, 1.0f, 0, false);
    Raster_DashedLine(n.get(), 4, 4, 4, 4, 1, 1, kWhite, 1.0f, 0, false);
    Raster_DashedLine(n.get(), 0, 2, 7, 2, 0, 3, kWhite, 1.0f, 0, false);
    Raster_DashedLine(n.get(), 0, 2, 7, 2, -4, 3, kWhite, 1.0f, 0, false);
    EXPECT_EQ(CountSet(n.get()), 0);
    Raster_DashedLine(n.get(), 0, 3, 7, 3, 1, -5, kWhite, 1.0f, 0, false);
    EXPECT_EQ(CountSet(n.get()), 7);
    // Alpha 0.5 copy at weight 128 uses the per-channel half mix.
    auto m = MakeBitmap(4, 1, Word(1, 1, 1, 1));
    Raster_DashedLine(m.get(), 0, 0, 3, 0, 1, 1, Word(2, 4, 6, 8), 0.5f, 0, false);
    EXPECT_EQ(Px(m.get(), 0, 0), Word(1, 2, 3, 4));
    EXPECT_EQ(Px(m.get(), 1, 0), Word(1, 1, 1, 1));
}

TEST(RasterRect, OutlineAndBorderedRect) {
    auto bm = MakeBitmap(7, 6);
    Raster_DrawRect(bm.get(), 1, 1, 4, 3, kWhite, 1.0f, 0);
    EXPECT_TRUE(MapIs(bm.get(), {".......", ".#####.", ".#...#.", ".#...#.", ".#####.", "......."}));
    // At alpha 0.5 the corners are drawn twice.
    const uint32_t d = Word(40, 80, 120, 160), c = Word(200, 100, 0, 255);
    auto half = MakeBitmap(7, 6, d);
    Raster_DrawRect(half.get(), 1, 1, 4, 3, c, 0.5f, 0);
    const uint32_t once = Half(d) + Half(c);
    EXPECT_EQ(Px(half.get(), 3, 1), once);
    EXPECT_EQ(Px(half.get(), 1, 1), Half(once) + Half(c));
    EXPECT_EQ(Px(half.get(), 5, 4), Half(once) + Half(c));

    auto br = MakeBitmap(7, 6);
    Raster_BorderedRect(br.get(), 1, 1, 4, 3, Word(9, 9, 9, 9), kWhite, 1.0f, 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) {
            const bool border =
                (x >= 1 && x <= 5 && (y == 1 || y == 4)) || (y >= 1 && y <= 4 && (x == 1 || x == 5));
            const bool inside = x >= 2 && x <= 4 && y >= 2 && y <= 3;
            EXPECT_EQ(Px(br.get(), x, y), border ? kWhite : (inside ? Word(9, 9, 9, 9) : 0u))
                << x << "," << y;
        }
    Raster_DrawRect(br.get(), INT32_MAX - 1, INT32_MIN, INT32_MAX, INT32_MAX, kWhite, 1.0f, 0);
    Raster_BorderedRect(br.get(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, kWhite, 1.0f, 0);
}
