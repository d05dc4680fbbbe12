#pragma once
// Raster_BlitArea: how the blits, fills and pixel operations address and clip the pixels they
// touch (internal to framework/raster).
//
// Raster_BlitView reads a bitmap's rows once per call (honouring flipped bitmaps); a null, empty
// or inconsistent bitmap gives a view that is not ok(). The clipping functions bring any
// caller-given rectangle (any ints, computed in 64 bits) inside the bitmaps, and the conversions
// stay defined for every input: NaN becomes 0 and out-of-range values saturate. Stateless;
// callers own the bitmaps.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"

// Row addressing of a bitmap, read once per call (honours flipped bitmaps).
struct Raster_BlitView {
    uint32_t* bits = nullptr;
    int w = 0, h = 0;
    ptrdiff_t span = 0;
    bool flipped = false;

    explicit Raster_BlitView(Raster_IBitmap* b) {
        if (!b) return;
        bits = b->getBits();
        w = b->getWidth();
        h = b->getHeight();
        span = b->getRowSpan();
        flipped = b->isFlipped();
        if (!bits || w <= 0 || h <= 0 || span < w) {
            bits = nullptr;
            w = h = 0;
        }
    }
    bool ok() const { return bits != nullptr; }
    uint32_t* row(int y) const { return bits + (flipped ? (ptrdiff_t)(h - 1 - y) : (ptrdiff_t)y) * span; }
    // Step from row y to row y + 1.
    ptrdiff_t pitch() const { return flipped ? -span : span; }
};

// ---------------------------------------------------------------------------------------------
// Conversions that stay defined for any input: NaN becomes 0, out-of-range values saturate.

inline int Raster_TruncInt(double v) {
    if (!(v == v)) return 0;
    if (v <= -2147483648.0) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return (int)v;
}

// 16.16 fixed point of v, truncated toward zero; held within +-2^46.
inline int64_t Raster_ToFix(double v) {
    const double f = v * 65536.0;
    if (!(f == f)) return 0;
    const double lim = 70368744177664.0; // 2^46
    if (f <= -lim) return -(int64_t)lim;
    if (f >= lim) return (int64_t)lim;
    return (int64_t)f;
}

// A first-order step: held within +-2^31 (32768 source pixels per destination pixel), so that
// start + step * count cannot leave 64 bits for any destination size.
inline int64_t Raster_ToFixStep(double v) {
    const int64_t f = Raster_ToFix(v);
    const int64_t lim = (int64_t)1 << 31;
    return f < -lim ? -lim : (f > lim ? lim : f);
}

// Integer weight truncate(alpha * 256), 0..256 for alphas 0..1. Alphas beyond +-1 have no meaning
// as blends; they act as +-1, which keeps every combiner's arithmetic (and fills, which also use
// the weight as the alpha value) inside int. NaN is 0.
inline int Raster_WeightOf(double alpha) {
    const int w = Raster_TruncInt(alpha * 256.0);
    return w < -256 ? -256 : (w > 256 ? 256 : w);
}

inline bool Raster_IsBilinear(int mode) {
    return (mode & RASTER_BLEND_FILTER_BILINEAR) != 0;
}

// A negative destination size along one axis mirrors: the destination run (d, n) becomes the
// same pixels with a positive size, the source start s moves to the far end of its size sn and
// sn changes sign. Returns whether it mirrored.
inline bool Raster_MirrorAxis(double& s, double& sn, int64_t& d, int64_t& n) {
    if (n >= 0) return false;
    s += sn;
    sn = -sn;
    d += n;
    n = -n;
    return true;
}

// Whether every value is finite.
bool Raster_FiniteAll(std::initializer_list<double> v);

// ---------------------------------------------------------------------------------------------
// Clipping

// The rectangle (x, y, w, h) limited to the view; false when nothing is left (or the view is not ok).
bool Raster_ClipRect(const Raster_BlitView& d, int& x, int& y, int& w, int& h);

// Straight-blit clipping: the source rectangle [l, r) x [t, b) (any values) against the source,
// the destination origin against the destination. On success the area is w x h pixels from
// source (sx, sy) to destination (dx, dy).
struct Raster_BlitArea {
    int sx, sy, dx, dy, w, h;
};
bool Raster_ClipBlit(const Raster_BlitView& d, const Raster_BlitView& s, int64_t dx, int64_t dy, int64_t l,
                     int64_t t, int64_t r, int64_t b, Raster_BlitArea& out);
