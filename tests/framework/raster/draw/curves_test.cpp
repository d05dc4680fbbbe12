// Bezier curves: stroking with cuts at the bitmap's edges, and fills to a row or a column.

#include <cmath>
#include <functional>

#include "DrawTestUtil.h"

using namespace drawtest;

namespace {

const uint32_t kWhite = 0xFFFFFFFF;

struct Pt {
    double x, y;
};

// Every drawn pixel lies near the curve, and every point of the curve inside the bitmap has a
// drawn pixel near it (so cutting lost nothing and moved nothing).
::testing::AssertionResult FollowsCurve(Raster_IBitmap* bm, const std::function<Pt(double)>& curve,
                                        double tol) {
    std::vector<Pt> samples;
    for (int i = 0; i <= 4000; ++i) samples.push_back(curve(i / 4000.0));
    for (int y = 0; y < bm->getHeight(); ++y)
        for (int x = 0; x < bm->getWidth(); ++x) {
            if (!Px(bm, x, y)) continue;
            double best = 1e9;
            for (const Pt& p : samples) best = std::min(best, std::hypot(p.x - x, p.y - y));
            if (best > tol)
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << best << " away";
        }
    for (const Pt& p : samples) {
        if (p.x < 0.5 || p.y < 0.5 || p.x > bm->getWidth() - 1.5 || p.y > bm->getHeight() - 1.5) continue;
        bool near = false;
        for (int y = (int)p.y - 2; y <= (int)p.y + 2 && !near; ++y)
            for (int x = (int)p.x - 2; x <= (int)p.x + 2 && !near; ++x)
                if (x >= 0 && y >= 0 && x < bm->getWidth() && y < bm->getHeight() && Px(bm, x, y) &&
                    std::hypot(p.x - x, p.y - y) <= tol)
                    near = true;
        if (!near)
            return ::testing::AssertionFailure() << "curve point " << p.x << "," << p.y << " not drawn";
    }
    return ::testing::AssertionSuccess();
}

std::function<Pt(double)> Quadratic(Pt a, Pt b, Pt c) {
    return [=](double t) {
        const double u = 1 - t;
        return Pt{u * u * a.x + 2 * u * t * b.x + t * t * c.x, u * u * a.y + 2 * u * t * b.y + t * t * c.y};
    };
}

std::function<Pt(double)> Cubic(Pt a, Pt b, Pt c, Pt d) {
    return [=](double t) {
        const double u = 1 - t;
        return Pt{u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
                  u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y};
    };
}

} // namespace

TEST(RasterBezier, StraightQuadraticIsARow) {
    auto bm = MakeBitmap(14, 8);
    Raster_DrawQBezier(bm.get(), 10, 5, 6, 5, 2, 5, kWhite, 1.0f, 0, false, 1.0f);
    EXPECT_TRUE(MapIs(bm.get(), {"..............", "..............", "..............", "..............",
                                 "..............", "..#########...", "..............", ".............."}));
}

TEST(RasterBezier, StrokedCurvesFollowTheCurveAcrossCuts) {
    const Pt q[][3] = {{{3, 30}, {20, -10}, {36, 30}}, // inside
                       {{-25, 5}, {20, 60}, {60, 8}},  // cut on both sides
                       {{50, 35}, {10, 30}, {-6, 2}}}; // given right to left, cut at the left
    for (const auto& c : q)
        for (int aa = 0; aa < 2; ++aa) {
            auto bm = MakeBitmap(40, 40);
            Raster_DrawQBezier(bm.get(), (float)c[0].x, (float)c[0].y, (float)c[1].x, (float)c[1].y,
                               (float)c[2].x, (float)c[2].y, kWhite, 1.0f, 0, aa, 1.0f);
            EXPECT_TRUE(FollowsCurve(bm.get(), Quadratic(c[0], c[1], c[2]), 2.0)) << c[0].x << " aa " << aa;
        }
    const Pt k[][4] = {{{2, 20}, {10, -20}, {30, 60}, {37, 20}},
                       {{-30, 10}, {0, 80}, {50, -30}, {70, 30}},
                       {{45, 5}, {30, 30}, {10, 30}, {-8, 5}}};
    for (const auto& c : k)
        for (int aa = 0; aa < 2; ++aa) {
            auto bm = MakeBitmap(40, 40);
            Raster_DrawCBezier(bm.get(), (float)c[0].x, (float)c[0].y, (float)c[1].x, (float)c[1].y,
                               (float)c[2].x, (float)c[2].y, (float)c[3].x, (float)c[3].y, kWhite, 1.0f, 0,
                               aa, 0.5f);
            EXPECT_TRUE(FollowsCurve(bm.get(), Cubic(c[0], c[1], c[2], c[3]), 2.0)) << c[0].x << " aa " << aa;
        }
}

TEST(RasterBezier, QuadraticBesideTheBitmapDrawsNothing) {
    // Curves wholly left or wholly right of the bitmap never cross its edge columns, so there is
    // nothing to draw; in particular no pixel appears in the first or last column.
    const Pt q[][3] = {{{-30, 5}, {-20, 2}, {-10, 5}},
                       {{-10, 9}, {-25, 1}, {-2, 12}},
                       {{30, 5}, {20, 2}, {50, 5}},
                       {{17, 3}, {40, 14}, {25, 8}}};
    for (const auto& c : q)
        for (int aa = 0; aa < 2; ++aa) {
            auto bm = MakeBitmap(16, 16);
            Raster_DrawQBezier(bm.get(), (float)c[0].x, (float)c[0].y, (float)c[1].x, (float)c[1].y,
                               (float)c[2].x, (float)c[2].y, kWhite, 1.0f, 0, aa, 1.0f);
            EXPECT_EQ(CountSet(bm.get()), 0) << c[0].x << " aa " << aa;
        }
    // A curve that ends inside the first column is still drawn there (truncated coordinates).
    auto edge = MakeBitmap(16, 16);
    Raster_DrawQBezier(edge.get(), -30, 5, -20, 5, -0.5f, 5, kWhite, 1.0f, 0, false, 1.0f);
    EXPECT_EQ(Px(edge.get(), 0, 5), kWhite);
    EXPECT_EQ(CountSet(edge.get()), 1);
}

TEST(RasterBezier, FillsToARowAndToAColumn) {
    // A straight "curve" along row 2 filled down to row 6: columns 0..10, each pixel once.
    auto bm = MakeBitmap(14, 9);
    Raster_FillCBezier(bm.get(), 0, 2, 3, 2, 7, 2, 10, 2, 6, Word(1, 1, 1, 1), 1.0f, RASTER_BLEND_ADD, 1.0f);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 14; ++x)
            EXPECT_EQ(Px(bm.get(), x, y), (x <= 10 && y >= 2 && y <= 6) ? Word(1, 1, 1, 1) : 0u)
                << x << "," << y;
    // The same turned a quarter: along column 2 from row 0 to 10, filled across to column 6.
    auto bx = MakeBitmap(9, 14);
    Raster_FillCBezierX(bx.get(), 2, 10, 2, 7, 2, 3, 2, 0, 6, Word(1, 1, 1, 1), 1.0f, RASTER_BLEND_ADD, 1.0f);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(Px(bx.get(), x, y), (y <= 10 && x >= 2 && x <= 6) ? Word(1, 1, 1, 1) : 0u)
                << x << "," << y;
}

TEST(RasterBezier, CurvedFillReachesTheCurveInEveryColumn) {
    const Pt c[4] = {{-4, 12}, {10, -2}, {22, 24}, {44, 6}};
    auto bm = MakeBitmap(40, 30);
    Raster_FillCBezier(bm.get(), 44, 6, 22, 24, 10, -2, -4, 12, 27, Word(1, 1, 1, 1), 1.0f, RASTER_BLEND_ADD,
                       1.0f);
    const auto curve = Cubic(c[0], c[1], c[2], c[3]);
    for (int x = 0; x < 40; ++x) {
        // The curve's y at this column (the curve is monotonic in x here).
        double lo = 0, hi = 1;
        for (int i = 0; i < 60; ++i) {
            const double m = (lo + hi) / 2;
            (curve(m).x < x ? lo : hi) = m;
        }
        const double cy = curve(lo).y;
        int first = -1, last = -1;
        for (int y = 0; y < 30; ++y) {
            const int v = Raster_GetR(Px(bm.get(), x, y));
            ASSERT_LE(v, 1) << "drawn twice at " << x << "," << y;
            if (v) {
                if (first < 0) first = y;
                ASSERT_EQ(last, y - 1 < first ? -1 : y - 1) << "gap in column " << x;
                last = y;
            }
        }
        EXPECT_EQ(last, 27) << x;
        EXPECT_NEAR(first, cy, 1.5) << x;
    }
}

TEST(RasterBezier, BadInputDrawsNothing) {
    auto bm = MakeBitmap(20, 20);
    Raster_DrawQBezier(bm.get(), NAN, 1, 2, 3, 4, 5, kWhite, 1.0f, 0, true, 1.0f);
    Raster_DrawCBezier(bm.get(), 1, 1, INFINITY, 3, 4, 5, 6, 7, kWhite, 1.0f, 0, false, 1.0f);
    Raster_FillCBezier(bm.get(), 1, 1, 2, 3, 4, NAN, 6, 7, 10, kWhite, 1.0f, 0, 1.0f);
    Raster_FillCBezierX(bm.get(), 1, 1, 2, 3, 4, 5, 6, -INFINITY, 10, kWhite, 1.0f, 0, 1.0f);
    Raster_DrawCBezier(bm.get(), -100, 5, -80, 5, -60, 5, -40, 5, kWhite, 1.0f, 0, true, 1.0f);
    Raster_DrawCBezier(bm.get(), 1, 5, 3, 5, 5, 5, 7, 5, kWhite, 0.0f, 0, true, 1.0f);
    Raster_DrawQBezier(nullptr, 1, 1, 2, 3, 4, 5, kWhite, 1.0f, 0, true, 1.0f);
    EXPECT_EQ(CountSet(bm.get()), 0);
    // Huge but finite curves are cut to the bitmap and segmented with a limit.
    Raster_DrawCBezier(bm.get(), -1e30f, -1e30f, 1e30f, 1e30f, -1e30f, 1e30f, 1e30f, -1e30f, kWhite, 1.0f, 0,
                       true, 0.0f);
    Raster_FillCBezier(bm.get(), -1e9f, 1e9f, 3e9f, -1e9f, 0, 5, 1e9f, 7, 10, kWhite, 1.0f, 0, 0.001f);
    Raster_FillCBezierX(bm.get(), 1e9f, -1e9f, -1e9f, 3e9f, 5, 0, 7, 1e9f, 10, kWhite, 1.0f, 0, 0.001f);
}
