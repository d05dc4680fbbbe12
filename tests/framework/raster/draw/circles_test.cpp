// Circles, stencils, arcs and rounded rectangles.

#include <cmath>
#include <sstream>

#include "DrawTestUtil.h"

using namespace drawtest;

namespace {

const uint32_t kWhite = 0xFFFFFFFF;

// The prepared outline stencils as published: coverage bytes, rows separated by slashes.
struct StencilText {
    float r;
    bool aa;
    const char* rows;
};
const StencilText kStencilTexts[] = {
    {1.5f, false, "00 FF FF 00 / FF 00 00 FF / FF 00 00 FF / 00 FF FF 00"},
    {1.5f, true, "4F FF FF 4F / FF 0F 0F FF / FF 0F 0F FF / 4F FF FF 4F"},
    {2.0f, false, "00 00 FF 00 00 / 00 FF 00 FF 00 / FF 00 00 00 FF / 00 FF 00 FF 00 / 00 00 FF 00 00"},
    {2.0f, true, "0F BF FF BF 0F / BF D1 4F D1 BF / FF 4F 00 4F FF / BF D1 4F D1 BF / 0F BF FF BF 0F"},
    {2.5f, false,
     "00 00 FF FF 00 00 / 00 FF 00 00 FF 00 / FF 00 00 00 00 FF / FF 00 00 00 00 FF / 00 FF 00 00 FF 00 / "
     "00 00 FF FF 00 00"},
    {2.5f, true,
     "0F BF FF FF BF 0F / BF D1 4F 4F D1 BF / FF 4F 00 00 4F FF / FF 4F 00 00 4F FF / BF D1 4F 4F D1 BF / "
     "0F BF FF FF BF 0F"},
    {3.0f, false,
     "00 00 FF FF FF 00 00 / 00 FF 00 00 00 FF 00 / FF 00 00 00 00 00 FF / FF 00 00 00 00 00 FF / "
     "FF 00 00 00 00 00 FF / 00 FF 00 00 00 FF 00 / 00 00 FF FF FF 00 00"},
    {3.0f, true,
     "00 8F FF FF FF 8F 00 / 8F FF 61 40 61 FF 8F / FF 70 00 00 00 70 FF / FF 30 00 00 00 30 FF / "
     "FF 70 00 00 00 70 FF / 8F FF 61 40 61 FF 8F / 00 8F FF FF FF 8F 00"},
    {3.5f, false,
     "00 00 FF FF FF FF 00 00 / 00 FF FF 00 00 FF FF 00 / FF FF 00 00 00 00 FF FF / FF 00 00 00 00 00 00 FF "
     "/ "
     "FF 00 00 00 00 00 00 FF / FF FF 00 00 00 00 FF FF / 00 FF FF 00 00 FF FF 00 / 00 00 FF FF FF FF 00 00"},
    {3.5f, true,
     "00 4F DE FF FF DE 4F 00 / 4F FF B0 40 40 B0 FF 4F / DE B0 00 00 00 00 B0 DE / FF 40 00 00 00 00 40 FF "
     "/ "
     "FF 40 00 00 00 00 40 FF / DE B0 00 00 00 00 B0 DE / 4F FF B0 40 40 B0 FF 4F / 00 4F DE FF FF DE 4F 00"},
    {4.0f, false,
     "00 00 FF FF FF FF FF 00 00 / 00 FF FF 00 00 00 FF FF 00 / FF FF 00 00 00 00 00 FF FF / "
     "FF 00 00 00 00 00 00 00 FF / FF 00 00 00 00 00 00 00 FF / FF 00 00 00 00 00 00 00 FF / "
     "FF FF 00 00 00 00 00 FF FF / 00 FF FF 00 00 00 FF FF 00 / 00 00 FF FF FF FF FF 00 00"},
    {4.0f, true,
     "00 1F B0 FF FF FF B0 1F 00 / 1F F0 D1 4F 40 4F D1 F0 1F / B0 D1 0F 00 00 00 0F D1 B0 / "
     "FF 4F 00 00 00 00 00 4F FF / FF 30 00 00 00 00 00 30 FF / FF 4F 00 00 00 00 00 4F FF / "
     "B0 D1 0F 00 00 00 0F D1 B0 / 1F F0 D1 4F 40 4F D1 F0 1F / 00 1F B0 FF FF FF B0 1F 00"},
};

std::vector<std::vector<int>> ParseStencil(const char* text) {
    std::vector<std::vector<int>> rows(1);
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) {
        if (tok == "/")
            rows.emplace_back();
        else
            rows.back().push_back(std::stoi(tok, nullptr, 16));
    }
    return rows;
}

// White over black through a coverage weight c at full alpha: every channel is CopyChan(0, 255, c).
uint32_t Covered(int c) {
    const int v = c ? CopyChan(0, 255, c) : 0;
    return Word(v, v, v, v);
}

} // namespace

TEST(RasterCircle, PreparedStencils) {
    for (const StencilText& st : kStencilTexts) {
        const auto rows = ParseStencil(st.rows);
        const int side = (int)rows.size();
        auto bm = MakeBitmap(20, 20);
        const float cx = 10, cy = 11;
        Raster_Circle(bm.get(), cx, cy, st.r, kWhite, 1.0f, 0, st.aa);
        const int left = (int)(cx - st.r), top = (int)(cy - st.r);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool in = x >= left && x < left + side && y >= top && y < top + side;
                const uint32_t expect = in ? Covered(rows[y - top][x - left]) : 0;
                ASSERT_EQ(Px(bm.get(), x, y), expect)
                    << "r " << st.r << (st.aa ? " aa" : "") << " at " << x << "," << y;
            }
    }
    // r = 2 without antialias is a diamond.
    auto d = MakeBitmap(5, 5);
    Raster_Circle(d.get(), 2, 2, 2.0f, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(d.get(), {"..#..", ".#.#.", "#...#", ".#.#.", "..#.."}));
}

TEST(RasterCircle, MidpointAndAntialiasedRadius) {
    // r = 2.2: the midpoint circle of radius 2 ...
    auto a = MakeBitmap(11, 11);
    Raster_Circle(a.get(), 5, 5, 2.2f, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(a.get(), {"...........", "...........", "...........", "....###....", "...#...#...",
                                "...#...#...", "...#...#...", "....###....", "...........", "...........",
                                "..........."}));
    // ... or, antialiased, radius 2 with 0.2 of the weight on the outer ring (wf = 51): axis points
    // at distance 3 get 51 and at distance 2 get 205; for x = 1, y = sqrt(2.2^2 - 1) = 1.9596, so the
    // points at (1, 2) and (2, 1) get 245 and the inner diagonal (1, 1) gets 11, each drawn once.
    auto b = MakeBitmap(11, 11);
    Raster_Circle(b.get(), 5, 5, 2.2f, kWhite, 1.0f, 0, true);
    int expected = 0;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x) {
            const int dx = std::abs(x - 5), dy = std::abs(y - 5);
            int c = 0;
            if ((dx == 0 && dy == 3) || (dx == 3 && dy == 0))
                c = 51;
            else if ((dx == 0 && dy == 2) || (dx == 2 && dy == 0))
                c = 205;
            else if ((dx == 1 && dy == 2) || (dx == 2 && dy == 1))
                c = 245;
            else if (dx == 1 && dy == 1)
                c = 11;
            expected += c != 0;
            EXPECT_EQ(Px(b.get(), x, y), Covered(c)) << x << "," << y;
        }
    EXPECT_EQ(CountSet(b.get()), expected);
}

TEST(RasterCircle, FilledDiscs) {
    auto bm = MakeBitmap(9, 9);
    Raster_FillCircle(bm.get(), 4, 4, 3.0f, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(bm.get(), {".........", "...###...", "..#####..", ".#######.", ".#######.", ".#######.",
                                 "..#####..", "...###...", "........."}));
    // Antialiased: the centre pixel is part of the disc.
    auto aa = MakeBitmap(9, 9);
    Raster_FillCircle(aa.get(), 4, 4, 2.0f, kWhite, 1.0f, 0, true);
    EXPECT_EQ(Px(aa.get(), 4, 4), kWhite);
    EXPECT_EQ(Px(aa.get(), 4, 2), kWhite);
    EXPECT_EQ(Px(aa.get(), 3, 3), kWhite);
    // Tiny radii give the one centre pixel.
    auto t = MakeBitmap(3, 3);
    Raster_FillCircle(t.get(), 1, 1, 0.2f, kWhite, 1.0f, 0, false);
    Raster_Circle(t.get(), 1, 1, 0.3f, kWhite, 1.0f, 0, false);
    EXPECT_TRUE(MapIs(t.get(), {"...", ".#.", "..."}));
}

TEST(RasterCircle, EveryPixelIsDrawnOnce) {
    // Adding 16 per full-weight plot shows any pixel drawn twice.
    const uint32_t c = Word(16, 16, 16, 16);
    for (float r = 0.0f; r < 24.0f; r += 0.35f)
        for (int kind = 0; kind < 4; ++kind) {
            if (r == 1.5f || r == 2.0f || r == 2.5f || r == 3.0f || r == 3.5f || r == 4.0f) continue;
            const bool filled = kind & 1, aa = kind & 2;
            auto bm = MakeBitmap(60, 60);
            if (filled)
                Raster_FillCircle(bm.get(), 30, 29, r, c, 1.0f, RASTER_BLEND_ADD, aa);
            else
                Raster_Circle(bm.get(), 30, 29, r, c, 1.0f, RASTER_BLEND_ADD, aa);
            int drawn = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 60; ++x) {
                    const int v = Raster_GetR(Px(bm.get(), x, y));
                    ASSERT_LE(v, 16) << "r " << r << " kind " << kind << " at " << x << "," << y;
                    if (!aa) {
                        ASSERT_TRUE(v == 0 || v == 16);
                    }
                    drawn += v != 0;
                    // Nothing lies further than r + 2 from the centre.
                    if (v) {
                        ASSERT_LE(std::hypot(x - 30, y - 29), r + 2.0) << r;
                    }
                }
            ASSERT_GT(drawn, 0) << r;
        }
}

TEST(RasterCircle, ClippingAndBadInput) {
    auto bm = MakeBitmap(20, 20);
    Raster_FillCircle(bm.get(), 0, 0, 10, kWhite, 1.0f, 0, true);
    Raster_Circle(bm.get(), 19.6f, 19.6f, 7, kWhite, 1.0f, 0, true);
    Raster_Circle(bm.get(), -1.0f, 5.0f, 2.0f, kWhite, 1.0f, 0, true); // stencil partly outside
    EXPECT_EQ(Px(bm.get(), 0, 0), kWhite);
    EXPECT_EQ(Px(bm.get(), 10, 10), 0u);

    auto none = MakeBitmap(20, 20);
    Raster_FillCircle(none.get(), -1e9f, 5, 30, kWhite, 1.0f, 0, true);
    Raster_FillCircle(none.get(), 1e30f, 1e30f, 3, kWhite, 1.0f, 0, false);
    Raster_Circle(none.get(), 10, 10, -1, kWhite, 1.0f, 0, false);
    Raster_Circle(none.get(), 10, 10, NAN, kWhite, 1.0f, 0, true);
    Raster_Circle(none.get(), NAN, 10, 3, kWhite, 1.0f, 0, true);
    Raster_Circle(none.get(), 10, 10, 3e9f, kWhite, 1.0f, 0, true);
    Raster_Circle(none.get(), 10, 10, 5, kWhite, 0.001f, 0, true);
    Raster_Circle(none.get(), 10, 10, 2, kWhite, 1.0f, 77, false);
    Raster_FillCircle(nullptr, 10, 10, 5, kWhite, 1.0f, 0, true);
    EXPECT_EQ(CountSet(none.get()), 0);
}

TEST(RasterArc, FullTurnAndQuarterPieces) {
    auto circle = MakeBitmap(21, 21), arc = MakeBitmap(21, 21);
    Raster_Circle(circle.get(), 10, 10, 5, kWhite, 1.0f, 0, true);
    Raster_Arc(arc.get(), 10, 10, 5, 0, (float)(2 * M_PI), kWhite, 1.0f, 0, true);
    EXPECT_TRUE(SamePixels(circle.get(), arc.get()));

    // The top-right quarter is the circle clipped to the box of its end points (10,5) and (15,10):
    // x from 10 to 15 + 2 (exclusive), y from 5 to 10 + 1.
    for (int aa = 0; aa < 2; ++aa) {
        auto full = MakeBitmap(21, 21), q = MakeBitmap(21, 21);
        Raster_Circle(full.get(), 10, 10, 5, kWhite, 1.0f, 0, aa);
        Raster_Arc(q.get(), 10, 10, 5, 0, (float)(M_PI / 2), kWhite, 1.0f, 0, aa);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 21; ++x) {
                const bool inBox = x >= 10 && x < 17 && y >= 5 && y < 11;
                EXPECT_EQ(Px(q.get(), x, y), inBox ? Px(full.get(), x, y) : 0u) << x << "," << y;
            }
    }
    // Angles wrap: -pi/2..0 is the top-left quarter, the same as 3pi/2..2pi.
    auto w1 = MakeBitmap(21, 21), w2 = MakeBitmap(21, 21);
    Raster_Arc(w1.get(), 10, 10, 6, (float)(-M_PI / 2), 0, kWhite, 1.0f, 0, false);
    Raster_Arc(w2.get(), 10, 10, 6, (float)(3 * M_PI / 2), (float)(2 * M_PI - 1e-4), kWhite, 1.0f, 0, false);
    EXPECT_TRUE(SamePixels(w1.get(), w2.get()));
    EXPECT_GT(CountSet(w1.get()), 0);
    auto none = MakeBitmap(21, 21);
    Raster_Arc(none.get(), 10, 10, 6, 1.0f, 1.0f, kWhite, 1.0f, 0, false);
    Raster_Arc(none.get(), 10, 10, 6, NAN, 1.0f, kWhite, 1.0f, 0, false);
    Raster_Arc(none.get(), 1e20f, 10, 6, 0, 1, kWhite, 1.0f, 0, false);
    EXPECT_EQ(CountSet(none.get()), 0);
}

TEST(RasterRoundRect, SmallRadiusIsARectangleAndCornersAreRounded) {
    for (int radius : {-3, 0, 1}) {
        auto a = MakeBitmap(24, 16), b = MakeBitmap(24, 16);
        Raster_RoundRect(a.get(), 2, 3, 18, 10, radius, kWhite, 1.0f, 0, true);
        Raster_DrawRect(b.get(), 2, 3, 18, 10, kWhite, 1.0f, 0);
        EXPECT_TRUE(SamePixels(a.get(), b.get())) << radius;
    }
    auto r = MakeBitmap(24, 16);
    Raster_RoundRect(r.get(), 2, 3, 18, 10, 4, kWhite, 1.0f, 0, false);
    EXPECT_EQ(Px(r.get(), 2, 3), 0u); // corners are cut
    EXPECT_EQ(Px(r.get(), 20, 13), 0u);
    for (int x = 6; x <= 16; ++x) {
        EXPECT_EQ(Px(r.get(), x, 3), kWhite) << x;
        EXPECT_EQ(Px(r.get(), x, 13), kWhite) << x;
    }
    for (int y = 7; y <= 9; ++y) {
        EXPECT_EQ(Px(r.get(), 2, y), kWhite) << y;
        EXPECT_EQ(Px(r.get(), 20, y), kWhite) << y;
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            if (x < 2 || x > 20 || y < 3 || y > 13) {
                EXPECT_EQ(Px(r.get(), x, y), 0u) << x << "," << y;
            }
    // The radius is limited to half the shorter side.
    auto big = MakeBitmap(24, 16), lim = MakeBitmap(24, 16);
    Raster_RoundRect(big.get(), 2, 3, 18, 10, 100, kWhite, 1.0f, 0, true);
    Raster_RoundRect(lim.get(), 2, 3, 18, 10, 5, kWhite, 1.0f, 0, true);
    EXPECT_TRUE(SamePixels(big.get(), lim.get()));
}
