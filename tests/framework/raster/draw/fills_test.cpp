// Trapezoid, convex-polygon and triangle fills.

#include <algorithm>
#include <cmath>
#include <random>

#include "DrawTestUtil.h"

using namespace drawtest;

namespace {
const uint32_t kWhite = 0xFFFFFFFF;

// The edge rule written out row by row: a 16.16 step whose magnitude accumulates and carries.
struct RefEdge {
    int64_t x, frac = 0, mag;
    int dir;
    RefEdge(int64_t x1, int64_t x2, int64_t y1, int64_t y2) : x(x1) {
        double st = y1 == y2 ? 0 : (double)(x2 - x1) * 65536.0 / (double)(y2 - y1);
        st = std::max(-536870912.0, std::min(536870912.0, st));
        const int is = (int)st;
        dir = is < 0 ? -1 : 1;
        mag = std::abs((int64_t)is);
    }
    void Step() {
        frac += mag;
        while (frac > 0xFFFF) {
            x += dir;
            frac -= 0x10000;
        }
    }
};
} // namespace

TEST(RasterFillTrapezoid, RowsBetweenTheEdges) {
    // Left edge 2 -> 0 over rows 1..5 (step -0.5), right edge 6 -> 9 (step 0.75).
    for (int swapped = 0; swapped < 2; ++swapped) {
        auto bm = MakeBitmap(12, 7);
        if (swapped)
            Raster_FillTrapezoid(bm.get(), 9, 0, 5, 6, 2, 1, kWhite, 1.0f, 0);
        else
            Raster_FillTrapezoid(bm.get(), 2, 6, 1, 0, 9, 5, kWhite, 1.0f, 0);
        EXPECT_TRUE(MapIs(bm.get(), {"............", "..#####.....", "..#####.....", ".#######....",
                                     ".########...", "##########..", "............"}));
    }
}

TEST(RasterFillTrapezoid, RowsAboveTheBitmapAreSkippedExactly) {
    const int64_t y1 = -100000, y2 = 9;
    const int x1a = -70000, x1b = 3, x2a = 2, x2b = 40000;
    auto bm = MakeBitmap(16, 12);
    Raster_FillTrapezoid(bm.get(), x1a, x1b, (int)y1, x2a, x2b, (int)y2, kWhite, 1.0f, 0);
    RefEdge l(std::min(x1a, x1b), std::min(x2a, x2b), y1, y2),
        r(std::max(x1a, x1b), std::max(x2a, x2b), y1, y2);
    for (int64_t y = y1; y <= y2; ++y) {
        if (y >= 0)
            for (int x = 0; x < 16; ++x) {
                const bool in = x >= l.x && x <= r.x;
                ASSERT_EQ(Px(bm.get(), x, (int)y), in ? kWhite : 0u) << x << "," << y;
            }
        l.Step();
        r.Step();
    }
    EXPECT_EQ(Px(bm.get(), 0, 10), 0u);
}

TEST(RasterFillTrapezoid, CopyWeightsAndModes) {
    const uint32_t d = Word(0x40, 0x81, 0x13, 0xFE), c = Word(0xF0, 0x0F, 0x77, 0x01);
    struct Case {
        float alpha;
        int mode;
        uint32_t expect;
    };
    const Case cases[] = {
        {1.0f, 0, c},
        {0.5f, 0, Half(d) + Half(c)},
        {0.25f, 0, Half(d) + Quarter(d) + Quarter(c)},
        {0.75f, 0, Quarter(d) + Half(c) + Quarter(c)},
        {0.3f, 0, CopyWord(d, c, 76)},
        {1.0f, RASTER_BLEND_ADD, Word(0xFF, 0x90, 0x8A, 0xFF)},
        {1.0f, 9, d},
        {0.0f, 0, d},
    };
    for (const Case& k : cases) {
        auto bm = MakeBitmap(6, 4, d);
        Raster_FillTrapezoid(bm.get(), 1, 4, 1, 1, 4, 2, c, k.alpha, k.mode);
        EXPECT_EQ(Px(bm.get(), 2, 1), k.expect) << k.alpha << " mode " << k.mode;
        EXPECT_EQ(Px(bm.get(), 4, 2), k.expect) << k.alpha << " mode " << k.mode;
        EXPECT_EQ(Px(bm.get(), 0, 1), d);
        EXPECT_EQ(Px(bm.get(), 2, 3), d);
    }
}

TEST(RasterFillConvexPolygon, SquareInAnyVertexOrder) {
    int xs[4] = {2, 6, 6, 2}, ys[4] = {2, 2, 6, 6};
    int order[4] = {0, 1, 2, 3};
    int n = 0;
    do {
        int px[4], py[4];
        for (int i = 0; i < 4; ++i) {
            px[i] = xs[order[i]];
            py[i] = ys[order[i]];
        }
        auto bm = MakeBitmap(9, 9);
        Raster_FillConvexPolygon(bm.get(), px, py, 4, kWhite, 1.0f, 0);
        ASSERT_TRUE(MapIs(bm.get(), {".........", ".........", "..#####..", "..#####..", "..#####..",
                                     "..#####..", "..#####..", ".........", "........."}));
        ++n;
    } while (std::next_permutation(order, order + 4));
    EXPECT_EQ(n, 24);
}

TEST(RasterFillConvexPolygon, DegenerateAndSmallShapes) {
    // Three collinear points on one row fill that row between the outer points.
    auto row = MakeBitmap(10, 3);
    const int rx[3] = {7, 2, 4}, ry[3] = {1, 1, 1};
    Raster_FillConvexPolygon(row.get(), rx, ry, 3, kWhite, 1.0f, 0);
    EXPECT_TRUE(MapIs(row.get(), {"..........", "..######..", ".........."}));
    // A right triangle: row k covers 0..8-k; the triangle routine is the same polygon.
    auto tri = MakeBitmap(10, 10), tri2 = MakeBitmap(10, 10);
    Raster_FillTriangle(tri.get(), 0, 8, 8, 0, 0, 0, kWhite, 1.0f, 0);
    const int tx[3] = {0, 8, 0}, ty[3] = {0, 0, 8};
    Raster_FillConvexPolygon(tri2.get(), tx, ty, 3, kWhite, 1.0f, 0);
    EXPECT_TRUE(SamePixels(tri.get(), tri2.get()));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(Px(tri.get(), x, y) != 0, y <= 8 && x <= 8 - y) << x << "," << y;
    // Fewer than three points, null arrays and a bitmap without pixels draw nothing.
    auto none = MakeBitmap(10, 10);
    Raster_FillConvexPolygon(none.get(), tx, ty, 2, kWhite, 1.0f, 0);
    Raster_FillConvexPolygon(none.get(), nullptr, ty, 3, kWhite, 1.0f, 0);
    Raster_MemBitmap empty;
    Raster_FillConvexPolygon(&empty, tx, ty, 3, kWhite, 1.0f, 0);
    EXPECT_EQ(CountSet(none.get()), 0);
}

TEST(RasterFillConvexPolygon, ManyPointsUseTheHeap) {
    // 600 points, all corners of one square repeated: the same pixels as the square.
    std::vector<int> xs, ys;
    for (int i = 0; i < 600; ++i) {
        xs.push_back((i % 4 == 1 || i % 4 == 2) ? 6 : 2);
        ys.push_back(i % 4 >= 2 ? 6 : 2);
    }
    auto bm = MakeBitmap(9, 9), sq = MakeBitmap(9, 9);
    Raster_FillConvexPolygon(bm.get(), xs.data(), ys.data(), 600, kWhite, 1.0f, 0);
    Raster_FillConvexPolygon(sq.get(), xs.data(), ys.data(), 4, kWhite, 1.0f, 0);
    EXPECT_TRUE(SamePixels(bm.get(), sq.get()));
    EXPECT_EQ(CountSet(bm.get()), 25);
}

TEST(RasterFillConvexPolygon, RandomConvexPolygonsCoverTheirInside) {
    // Pixels well inside the hull are filled, pixels well outside are not, and none is filled twice.
    // Edge positions are truncated twice (at the vertices of a band and along it): under 2 pixels.
    std::mt19937 rng(777);
    std::uniform_int_distribution<int> coord(-10, 50);
    for (int n = 0; n < 200; ++n) {
        std::vector<std::pair<int, int>> p(3 + n % 9);
        for (auto& q : p) q = {coord(rng), coord(rng)};
        // Convex hull (monotone chain), then shuffled.
        std::sort(p.begin(), p.end());
        p.erase(std::unique(p.begin(), p.end()), p.end());
        auto cross = [](std::pair<int, int> o, std::pair<int, int> a, std::pair<int, int> b) {
            return (int64_t)(a.first - o.first) * (b.second - o.second) -
                   (int64_t)(a.second - o.second) * (b.first - o.first);
        };
        std::vector<std::pair<int, int>> h(2 * p.size());
        size_t k = 0;
        for (size_t i = 0; i < p.size(); ++i) {
            while (k >= 2 && cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
            h[k++] = p[i];
        }
        for (size_t i = p.size() - 1, t = k + 1; i > 0; --i) {
            while (k >= t && cross(h[k - 2], h[k - 1], p[i - 1]) <= 0) --k;
            h[k++] = p[i - 1];
        }
        h.resize(k > 1 ? k - 1 : k);
        if (h.size() < 3) continue;
        const std::vector<std::pair<int, int>> hh = h;
        std::shuffle(h.begin(), h.end(), rng);
        std::vector<int> xs, ys;
        for (auto& q : h) {
            xs.push_back(q.first);
            ys.push_back(q.second);
        }
        auto bm = MakeBitmap(40, 40);
        Raster_FillConvexPolygon(bm.get(), xs.data(), ys.data(), (int)xs.size(), Word(1, 1, 1, 1), 1.0f,
                                 RASTER_BLEND_ADD);
        // Signed distance of a point from the hull (positive inside; the chain is counter-clockwise).
        auto dist = [&](double x, double y) {
            double d = 1e9;
            for (size_t i = 0; i < hh.size(); ++i) {
                const auto a = hh[i], b = hh[(i + 1) % hh.size()];
                const double ex = b.first - a.first, ey = b.second - a.second, len = std::hypot(ex, ey);
                d = std::min(d, (ex * (y - a.second) - ey * (x - a.first)) / len);
            }
            return d;
        };
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const int v = Raster_GetR(Px(bm.get(), x, y));
                ASSERT_LE(v, 1) << "pixel drawn twice at " << x << "," << y << " polygon " << n;
                const double d = dist(x, y);
                if (d > 2.0) {
                    ASSERT_EQ(v, 1) << "hole at " << x << "," << y << " polygon " << n;
                }
                if (d < -2.0) {
                    ASSERT_EQ(v, 0) << "spill at " << x << "," << y << " polygon " << n;
                }
            }
    }
}

TEST(RasterFillConvexPolygon, FarOutsideCoordinatesAreSafe) {
    auto bm = MakeBitmap(16, 16);
    const int xs[4] = {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN},
              ys[4] = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    Raster_FillConvexPolygon(bm.get(), xs, ys, 4, kWhite, 1.0f, 0);
    EXPECT_EQ(CountSet(bm.get()), 256);
    auto none = MakeBitmap(16, 16);
    const int fx[3] = {-1000000, -999000, -999500}, fy[3] = {5, 5, 2000000000};
    Raster_FillConvexPolygon(none.get(), fx, fy, 3, kWhite, 1.0f, 0);
    Raster_FillTrapezoid(none.get(), INT32_MIN, INT32_MIN + 1, INT32_MIN, INT32_MAX, INT32_MAX, -1, kWhite,
                         1.0f, 0);
    Raster_FillTrapezoid(none.get(), 20, 30, 0, 40, 50, 15, kWhite, 1.0f, 0);
    EXPECT_EQ(CountSet(none.get()), 0);
}
