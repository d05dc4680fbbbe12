#pragma once
// Trapezoid and convex-polygon filling loops (internal to framework/raster), shared by the public
// fill routines and the Bezier fills so that one call resolves its combiner once and reuses it for
// every trapezoid it fills.
//
// A row filler is a small functor `void operator()(uint32_t* p, int n) const` that blends n pixels
// from p. Coordinates reaching these templates are already in memory rows (flipped by the caller)
// and are 64-bit so that no arithmetic can overflow whatever ints the public routines received.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "framework/raster/Raster_ShapeCommon.h"

// Row fillers of the two template families: word-wise (copy at the quarter weights) and per pixel.
template <class F>
struct Raster_FillFast {
    uint32_t prepared;
    explicit Raster_FillFast(uint32_t colour) : prepared(F::prepare(colour)) {}
    void operator()(uint32_t* p, int n) const {
        for (int i = 0; i < n; ++i) F::doPixFAST(p + i, prepared);
    }
};

template <class C>
struct Raster_Fill {
    Raster_ShapeColour c;
    int w;
    void operator()(uint32_t* p, int n) const {
        for (int i = 0; i < n; ++i) C::doPix(p + i, c.r, c.g, c.b, c.a, w);
    }
};

// Calls f(rowFiller) with the filler for this colour, weight and mode: copy mode at weights 256,
// 128, 64 and 192 works word-wise; otherwise the general combiner rules. False when nothing draws.
template <class Fn>
inline bool Raster_FillDispatch(uint32_t colour, int w, int mode, Fn&& f) {
    const Raster_ShapeColour c(colour);
    return Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_WORDWISE>(mode, w, [&](auto tag) {
        using C = typename decltype(tag)::type;
        if constexpr (Raster_WordWise<C>)
            f(Raster_FillFast<C>(colour));
        else
            f(Raster_Fill<C>{c, w});
    });
}

// One edge of a trapezoid stepping down the rows in 16.16: the magnitude of the step accumulates
// in a fraction and each carry moves the edge in the step's direction.
struct Raster_TrapEdge {
    int64_t x;
    int64_t frac = 0;
    int64_t mag;
    int dir;
    Raster_TrapEdge(int64_t x1, int64_t x2, int64_t y1, int64_t y2) : x(x1) {
        double step = 0;
        if (y2 != y1) {
            step = ((double)x2 - (double)x1) * 65536.0 / ((double)y2 - (double)y1);
            const double lim = 536870912.0; // 2^29
            if (step > lim) step = lim;
            if (step < -lim) step = -lim;
        }
        const int istep = (int)step;
        dir = istep < 0 ? -1 : 1;
        mag = istep < 0 ? -(int64_t)istep : istep;
    }
    // Advances n rows at once, exactly as n single steps would.
    void Advance(int64_t n) {
        const int64_t total = frac + mag * n;
        x += dir * (total >> 16);
        frac = total & 0xFFFF;
    }
};

// Fills rows y1..y2 between a left edge from min(x1a, x1b) to min(x2a, x2b) and a right edge from
// max(x1a, x1b) to max(x2a, x2b), both edges included.
template <class RowFill>
void Raster_FillTrapezoidRows(const Raster_ShapeSurface& s, const RowFill& fill, int64_t x1a, int64_t x1b,
                              int64_t y1, int64_t x2a, int64_t x2b, int64_t y2) {
    if (y1 > y2) {
        std::swap(x1a, x2a);
        std::swap(x1b, x2b);
        std::swap(y1, y2);
    }
    const int64_t l1 = std::min(x1a, x1b), r1 = std::max(x1a, x1b);
    const int64_t l2 = std::min(x2a, x2b), r2 = std::max(x2a, x2b);
    if ((r1 < 0 && r2 < 0) || (l1 >= s.width && l2 >= s.width) || y2 < 0 || y1 >= s.height) return;
    Raster_TrapEdge left(l1, l2, y1, y2), right(r1, r2, y1, y2);
    int64_t y = y1;
    if (y < 0) {
        left.Advance(-y);
        right.Advance(-y);
        y = 0;
    }
    const int64_t yend = std::min<int64_t>(y2, s.height - 1);
    for (; y <= yend; ++y) {
        const int64_t xs = std::max<int64_t>(0, left.x), xe = std::min<int64_t>(s.width, right.x + 1);
        if (xs < xe) fill(s.Pixel((int)xs, (int)y), (int)(xe - xs));
        left.Advance(1);
        right.Advance(1);
    }
}

struct Raster_PolyPoint {
    int64_t x, y;
};

// Convex polygon through its points (already in memory rows); pts is sorted in place.
template <class RowFill>
void Raster_FillConvexPolygonRows(const Raster_ShapeSurface& s, const RowFill& fill, Raster_PolyPoint* pts,
                                  int n) {
    if (n < 3) return;
    std::sort(pts, pts + n, [](const Raster_PolyPoint& a, const Raster_PolyPoint& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    if (pts[0].y == pts[n - 1].y) {
        Raster_FillTrapezoidRows(s, fill, pts[0].x, pts[n - 1].x, pts[0].y, pts[0].x, pts[n - 1].x, pts[0].y);
        return;
    }
    // The next vertex of a chain: among later points not on the current row, the one whose edge has
    // the smallest (left) or largest (right) x per y; equal slopes prefer the later point.
    auto next = [&](int cur, bool leftChain) {
        int best = -1;
        double bestSlope = 0;
        for (int j = cur + 1; j < n; ++j) {
            if (pts[j].y == pts[cur].y) continue;
            const double slope =
                ((double)pts[j].x - (double)pts[cur].x) / ((double)pts[j].y - (double)pts[cur].y);
            if (best < 0 || (leftChain ? slope <= bestSlope : slope >= bestSlope)) {
                best = j;
                bestSlope = slope;
            }
        }
        return best;
    };
    // x on the edge a-b at a row, clamped to the edge's ends.
    auto edgeX = [&](int a, int b, int64_t row) -> int64_t {
        const Raster_PolyPoint& t = pts[a];
        const Raster_PolyPoint& e = pts[b];
        const int64_t dx = e.x - t.x, dy = e.y - t.y;
        const int64_t lo = std::min(t.x, e.x), hi = std::max(t.x, e.x);
        const float q = (float)((double)(row - t.y) * (double)dx) / (float)dy;
        if (!(q == q)) return t.x;
        if (q >= (float)(hi - t.x)) return hi;
        if (q <= (float)(lo - t.x)) return lo;
        return std::min(hi, std::max(lo, t.x + (int64_t)q));
    };

    int lcur = 0;
    while (lcur + 1 < n && pts[lcur + 1].x == pts[0].x && pts[lcur + 1].y == pts[0].y) ++lcur;
    int rcur = 0;
    while (rcur + 1 < n && pts[rcur + 1].y == pts[0].y) ++rcur;
    int lnext = next(lcur, true), rnext = next(rcur, false);
    int64_t y = pts[0].y;
    while (lnext >= 0 && rnext >= 0 && y < s.height) {
        const int64_t yend = std::min(pts[lnext].y, pts[rnext].y);
        if (y <= yend) {
            Raster_FillTrapezoidRows(s, fill, edgeX(lcur, lnext, y), edgeX(rcur, rnext, y), y,
                                     edgeX(lcur, lnext, yend), edgeX(rcur, rnext, yend), yend);
        }
        if (pts[lnext].y == yend) {
            lcur = lnext;
            lnext = next(lcur, true);
        }
        if (pts[rnext].y == yend) {
            rcur = rnext;
            rnext = next(rcur, false);
        }
        y = yend + 1;
    }
}

// Point storage of a polygon call: on the stack for up to 512 points, else on the heap.
class Raster_PolyPoints {
public:
    explicit Raster_PolyPoints(int n) {
        if (n <= kStackPoints) {
            mPts = mStack;
        } else {
            mHeap.reset(new (std::nothrow) Raster_PolyPoint[(size_t)n]);
            mPts = mHeap.get();
        }
    }
    Raster_PolyPoint* Get() { return mPts; }

private:
    static constexpr int kStackPoints = 512;
    Raster_PolyPoint mStack[kStackPoints];
    std::unique_ptr<Raster_PolyPoint[]> mHeap;
    Raster_PolyPoint* mPts = nullptr;
};
