#include "framework/raster/Raster_BlitArea.h"

#include <algorithm>
#include <cmath>

bool Raster_FiniteAll(std::initializer_list<double> v) {
    for (double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

bool Raster_ClipRect(const Raster_BlitView& d, int& x, int& y, int& w, int& h) {
    if (!d.ok()) return false;
    int64_t X = x, Y = y, W = w, H = h;
    if (X < 0) {
        W += X;
        X = 0;
    }
    if (Y < 0) {
        H += Y;
        Y = 0;
    }
    if (X >= d.w || Y >= d.h) return false;
    W = std::min<int64_t>(W, d.w - X);
    H = std::min<int64_t>(H, d.h - Y);
    if (W <= 0 || H <= 0) return false;
    x = (int)X;
    y = (int)Y;
    w = (int)W;
    h = (int)H;
    return true;
}

bool Raster_ClipBlit(const Raster_BlitView& d, const Raster_BlitView& s, int64_t dx, int64_t dy, int64_t l,
                     int64_t t, int64_t r, int64_t b, Raster_BlitArea& out) {
    // A negative start a moves both starts on by -a: a becomes 0 and the other start b follows.
    auto lift = [](int64_t& a, int64_t& b) {
        if (a < 0) {
            b -= a;
            a = 0;
        }
    };
    lift(l, dx);
    lift(t, dy);
    r = std::min<int64_t>(r, s.w);
    b = std::min<int64_t>(b, s.h);
    lift(dx, l);
    lift(dy, t);
    if (l >= r || t >= b || dx >= d.w || dy >= d.h) return false;
    out.w = (int)std::min<int64_t>(r - l, d.w - dx);
    out.h = (int)std::min<int64_t>(b - t, d.h - dy);
    out.sx = (int)l;
    out.sy = (int)t;
    out.dx = (int)dx;
    out.dy = (int)dy;
    return out.w > 0 && out.h > 0;
}
