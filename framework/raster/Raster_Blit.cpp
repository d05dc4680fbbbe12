#include "framework/raster/Raster_Blit.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "framework/raster/Raster_BlitTemplates.h"
#include "framework/raster/Raster_Dispatch.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Conversions that stay defined for any input: NaN becomes 0, out-of-range values saturate.

int TruncInt(double v) {
    if (!(v == v)) return 0;
    if (v <= -2147483648.0) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return (int)v;
}

// 16.16 fixed point of v, truncated toward zero; held within +-2^46.
int64_t ToFix(double v) {
    const double f = v * 65536.0;
    if (!(f == f)) return 0;
    const double lim = 70368744177664.0; // 2^46
    if (f <= -lim) return -(int64_t)lim;
    if (f >= lim) return (int64_t)lim;
    return (int64_t)f;
}

// A first-order step: held within +-2^31 (32768 source pixels per destination pixel), so that
// start + step * count cannot leave 64 bits for any destination size.
int64_t ToFixStep(double v) {
    const int64_t f = ToFix(v);
    const int64_t lim = (int64_t)1 << 31;
    return f < -lim ? -lim : (f > lim ? lim : f);
}

// Integer weight truncate(alpha * 256), 0..256 for alphas 0..1. Alphas beyond +-1 have no meaning
// as blends; they act as +-1, which keeps every combiner's arithmetic (and fills, which also use
// the weight as the alpha value) inside int. NaN is 0.
int WeightOf(double alpha) {
    const int w = TruncInt(alpha * 256.0);
    return w < -256 ? -256 : (w > 256 ? 256 : w);
}

bool IsBilinear(int mode) {
    return (mode & RASTER_BLEND_FILTER_BILINEAR) != 0;
}

// ---------------------------------------------------------------------------------------------
// Combiner selection, once per call (Raster_Dispatch.h), for the loops that take it as a pointer.

Raster_CombineFunc CombineFuncOf(Raster_CombineSet set, int mode, int w) {
    Raster_CombineFunc fn = nullptr;
    auto take = [&](auto tag) { fn = &decltype(tag)::type::doPix; };
    if (set == Raster_CombineSet::Varying)
        Raster_Dispatch<Raster_CombineSet::Varying>(mode, w, take);
    else
        Raster_Dispatch<Raster_CombineSet::Image>(mode, w, take);
    return fn;
}

// ---------------------------------------------------------------------------------------------
// Rectangle clipping shared by fills, clears, multiply-add, callbacks and gradients.

bool ClipRect(const Raster_BlitView& d, int& x, int& y, int& w, int& h) {
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

// Straight-blit clipping: the source rectangle [l, r) x [t, b) (any values) against the source,
// the destination origin against the destination. On success the area is w x h pixels from
// source (sx, sy) to destination (dx, dy).
struct BlitArea {
    int sx, sy, dx, dy, w, h;
};

bool ClipBlit(const Raster_BlitView& d, const Raster_BlitView& s, int64_t dx, int64_t dy, int64_t l,
              int64_t t, int64_t r, int64_t b, BlitArea& out) {
    if (l < 0) {
        dx -= l;
        l = 0;
    }
    if (t < 0) {
        dy -= t;
        t = 0;
    }
    r = std::min<int64_t>(r, s.w);
    b = std::min<int64_t>(b, s.h);
    if (dx < 0) {
        l -= dx;
        dx = 0;
    }
    if (dy < 0) {
        t -= dy;
        dy = 0;
    }
    if (l >= r || t >= b || dx >= d.w || dy >= d.h) return false;
    out.w = (int)std::min<int64_t>(r - l, d.w - dx);
    out.h = (int)std::min<int64_t>(b - t, d.h - dy);
    out.sx = (int)l;
    out.sy = (int)t;
    out.dx = (int)dx;
    out.dy = (int)dy;
    return out.w > 0 && out.h > 0;
}

void BlitImpl(Raster_IBitmap* dest, Raster_IBitmap* src, int64_t dstx, int64_t dsty, int64_t l, int64_t t,
              int64_t r, int64_t b, float alpha, int mode) {
    if (!dest || !src || alpha == 0.0f) return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    BlitArea a;
    if (!ClipBlit(D, S, dstx, dsty, l, t, r, b, a)) return;

    uint32_t* drow = D.row(a.dy) + a.dx;
    const uint32_t* srow = S.row(a.sy) + a.sx;
    const ptrdiff_t dp = D.pitch(), sp = S.pitch();

    if ((mode & RASTER_BLEND_CHANCOPY) == RASTER_BLEND_CHANCOPY) {
        const int dshift = ((mode >> 2) & 3) * 8, sshift = (mode & 3) * 8;
        const uint32_t keep = ~((uint32_t)0xFF << dshift);
        for (int j = 0; j < a.h; ++j, drow += dp, srow += sp)
            for (int i = 0; i < a.w; ++i)
                drow[i] = (drow[i] & keep) | (((srow[i] >> sshift) & 0xFF) << dshift);
        return;
    }
    if ((mode & (RASTER_BLEND_SOURCE_ALPHA | RASTER_BLEND_MODE_MASK)) == RASTER_BLEND_COPY) {
        if (alpha == 1.0f) {
            for (int j = 0; j < a.h; ++j, drow += dp, srow += sp)
                memmove(drow, srow, (size_t)a.w * sizeof(uint32_t));
            return;
        }
        if (alpha == 0.5f) {
            for (int j = 0; j < a.h; ++j, drow += dp, srow += sp) Raster_RowHalfMix(drow, srow, a.w);
            return;
        }
    }
    const int w = WeightOf(alpha);
    if (w == 0) return;
    Raster_Dispatch<Raster_CombineSet::Image>(mode, w, [&](auto tag) {
        Raster_Template_Blit2<typename decltype(tag)::type>::blit(drow, dp, srow, sp, a.w, a.h, w);
    });
}

} // namespace

// =============================================================================================
// Straight blits

void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, const RECT* srcrect,
                 float alpha, int mode) {
    if (!src) return;
    if (srcrect)
        BlitImpl(dest, src, dstx, dsty, srcrect->left, srcrect->top, srcrect->right, srcrect->bottom, alpha,
                 mode);
    else
        BlitImpl(dest, src, dstx, dsty, 0, 0, src->getWidth(), src->getHeight(), alpha, mode);
}

void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch, float alpha, int mode) {
    BlitImpl(dest, src, dstx, dsty, srcx, srcy, (int64_t)srcx + srcw, (int64_t)srcy + srch, alpha, mode);
}

void Raster_Copy(Raster_IBitmap* dest, Raster_IBitmap* src) {
    if (!dest || !src || dest == src) return;
    dest->resize(src->getWidth(), src->getHeight());
    Raster_Blit(dest, src, 0, 0, nullptr, 1.0f, RASTER_BLEND_COPY);
}

// =============================================================================================
// Scaled blit

void Raster_ScaledBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                       float srcx, float srcy, float srcw, float srch, float alpha, int mode) {
    if (alpha == 0.0f || !dest || !src || dstw == 0 || dsth == 0) return;
    if (!std::isfinite(srcx) || !std::isfinite(srcy) || !std::isfinite(srcw) || !std::isfinite(srch)) return;

    // Unscaled: a straight blit from the rounded source origin (with the bilinear filter only
    // when the origin lies on a pixel; otherwise the sub-pixel offset is interpolated below).
    // Mirrored requests take the general path, which mirrors them.
    if (dstw > 0 && dsth > 0 && std::fabs((double)srcw - dstw) < 0.001 &&
        std::fabs((double)srch - dsth) < 0.001) {
        const bool onPixel = std::fabs(srcx - std::floor(srcx + 0.5)) <= 0.03 &&
                             std::fabs(srcy - std::floor(srcy + 0.5)) <= 0.03;
        if (!IsBilinear(mode) || onPixel) {
            const int sx = TruncInt(srcx + 0.5), sy = TruncInt(srcy + 0.5);
            BlitImpl(dest, src, dstx, dsty, sx, sy, (int64_t)sx + dstw, (int64_t)sy + dsth, alpha, mode);
            return;
        }
    }

    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;

    double sx = srcx, sy = srcy, sw = srcw, sh = srch;
    int64_t dx = dstx, dy = dsty, dw = dstw, dh = dsth;
    bool mirrorX = false, mirrorY = false;
    if (dw < 0) {
        sx += sw;
        sw = -sw;
        dx += dw;
        dw = -dw;
        mirrorX = true;
    }
    if (dh < 0) {
        sy += sh;
        sh = -sh;
        dy += dh;
        dh = -dh;
        mirrorY = true;
    }
    const double xadv = sw / (double)dw, yadv = sh / (double)dh;

    // Sampling bounds come from the requested source area, not from the clipped one, so what a
    // visible pixel shows never depends on how much of the destination is clipped away.
    const int right = std::min(S.w, TruncInt(std::max(0.0, sw) + sx + 0.999999));
    const int bottom = std::min(S.h, TruncInt(std::max(0.0, sh) + sy + 0.999999));

    // Destination pixel i samples the source at start + i * advance. Mirrored, the start is one
    // step in from the far edge so that pixel i shows exactly what unmirrored pixel (n - 1 - i)
    // would (starting on the edge itself would sample outside and drop the edge pixel).
    double startx = mirrorX ? sx + xadv : sx, starty = mirrorY ? sy + yadv : sy;
    if (dx < 0) {
        startx += (double)(-dx) * xadv;
        dw += dx;
        dx = 0;
    }
    if (dy < 0) {
        starty += (double)(-dy) * yadv;
        dh += dy;
        dy = 0;
    }
    if (dw < 1 || dh < 1 || dx >= D.w || dy >= D.h) return;
    dw = std::min<int64_t>(dw, D.w - dx);
    dh = std::min<int64_t>(dh, D.h - dy);

    const int64_t fdx = ToFixStep(xadv), fdy = ToFixStep(yadv);
    int64_t x0 = ToFix(startx), y0 = ToFix(starty);
    // Skip leading columns (rows) that sample left of (above) the source and trailing ones that
    // sample beyond its width (height).
    if (fdx >= 1) {
        if (x0 < 0) {
            const int64_t n = (fdx - x0 - 1) / fdx;
            x0 += n * fdx;
            dx += n;
            dw -= n;
        }
        if (dw >= 1 && ((x0 + fdx * (dw - 1)) >> 16) >= S.w) {
            const int64_t room = (int64_t)S.w * 65536 - x0;
            dw = room > 0 ? (room - 1) / fdx + 1 : 0;
        }
    }
    if (fdy >= 1) {
        if (y0 < 0) {
            const int64_t n = (fdy - y0 - 1) / fdy;
            y0 += n * fdy;
            dy += n;
            dh -= n;
        }
        if (dh >= 1 && ((y0 + fdy * (dh - 1)) >> 16) >= S.h) {
            const int64_t room = (int64_t)S.h * 65536 - y0;
            dh = room > 0 ? (room - 1) / fdy + 1 : 0;
        }
    }
    if (dw < 1 || dh < 1 || dx >= D.w || dy >= D.h) return;
    if (right < 1 || bottom < 1) return;

    uint32_t* drow = D.row((int)dy) + dx;
    const ptrdiff_t dp = D.pitch();
    const int W = (int)dw, H = (int)dh;
    const int w = WeightOf(alpha);
    if (w == 0) return;

    if ((mode & (RASTER_BLEND_SOURCE_ALPHA | RASTER_BLEND_FILTER_MASK | RASTER_BLEND_MODE_MASK)) == 0) {
        if (w == 256) {
            Raster_Template_Blit0<Raster_CombinePixelsClobberFAST>::scaleBlitFAST(drow, dp, W, H, S, x0, y0,
                                                                                  fdx, fdy, right, bottom);
            return;
        }
        if (w == 128) {
            Raster_Template_Blit0<Raster_CombinePixelsHalfMixFAST>::scaleBlitFAST(drow, dp, W, H, S, x0, y0,
                                                                                  fdx, fdy, right, bottom);
            return;
        }
    }
    const bool bilinear = IsBilinear(mode);
    if (bilinear && xadv >= 1.7 && yadv >= 1.7) {
        const bool small = std::max(fdx, fdy) <= 3 * 65536;
        Raster_Dispatch<Raster_CombineSet::Image>(mode, w, [&](auto tag) {
            using C = typename decltype(tag)::type;
            if (small)
                Raster_Template_Blit2<C>::template scaleBlitFilterDown<1>(drow, dp, W, H, S, x0, y0, fdx, fdy,
                                                                          right, bottom, w);
            else
                Raster_Template_Blit2<C>::template scaleBlitFilterDown<2>(drow, dp, W, H, S, x0, y0, fdx, fdy,
                                                                          right, bottom, w);
        });
        return;
    }
    Raster_Dispatch<Raster_CombineSet::Image>(mode, w, [&](auto tag) {
        using C = typename decltype(tag)::type;
        if (bilinear)
            Raster_Template_Blit2<C>::template scaleBlit<true>(drow, dp, W, H, S, x0, y0, fdx, fdy, right,
                                                               bottom, w);
        else
            Raster_Template_Blit2<C>::template scaleBlit<false>(drow, dp, W, H, S, x0, y0, fdx, fdy, right,
                                                                bottom, w);
    });
}

// =============================================================================================
// Rotated, delta and transform blits

namespace {

struct SourceBounds {
    int l, t, r, b;
};

// The whole source, or with clipping the source rectangle limited to the source.
bool GetSourceBounds(const Raster_BlitView& S, bool clip, double srcx, double srcy, double srcw, double srch,
                     SourceBounds& out) {
    out = {0, 0, S.w, S.h};
    if (clip) {
        out.l = std::max(0, TruncInt(srcx));
        out.t = std::max(0, TruncInt(srcy));
        out.r = std::min(S.w, TruncInt(srcx + srcw));
        out.b = std::min(S.h, TruncInt(srcy + srch));
    }
    return out.l < out.r && out.t < out.b;
}

// Destination clipping and the sampler run shared by rotated and delta blits. Steps are in
// source pixels per destination pixel (A, C per column; B, D per row; E, F added per row to the
// column steps); (sx, sy) is the source position of destination pixel (dstx, dsty). Positions are
// absolute source coordinates; the bounds only limit where samples are taken. With a per-pixel
// weight (alphaSteps), weight a0 is 1.0 = 65536 and a per-row step ady applies.
struct DeltaRun {
    double sx, sy, A, C, B, D, E, F;
    bool varyingAlpha;
    double a0, adx, ady, adxdy;
};

void RunDelta(const Raster_BlitView& D, const Raster_BlitView& S, int64_t dx, int64_t dy, int64_t dw,
              int64_t dh, DeltaRun r, const SourceBounds& bounds, Raster_CombineFunc comb, int weight,
              bool bilinear) {
    // Skipping columns moves every row's start by the column steps of that row, which change by
    // (E, F) per row: the row step takes that change up so clipped rows match unclipped ones.
    if (dx < 0) {
        const double n = (double)(-dx);
        r.sx += n * r.A;
        r.sy += n * r.C;
        r.B += n * r.E;
        r.D += n * r.F;
        r.a0 += n * r.adx;
        r.ady += n * r.adxdy;
        dw += dx;
        dx = 0;
    }
    if (dy < 0) {
        const double n = (double)(-dy);
        r.sx += n * r.B;
        r.sy += n * r.D;
        r.A += n * r.E;
        r.C += n * r.F;
        r.a0 += n * r.ady;
        r.adx += n * r.adxdy;
        dh += dy;
        dy = 0;
    }
    if (dh < 1 || dw < 1 || dx >= D.w || dy >= D.h) return;
    dw = std::min<int64_t>(dw, D.w - dx);
    dh = std::min<int64_t>(dh, D.h - dy);

    Raster_DeltaParams p;
    p.s = ToFix(r.sx - bounds.l);
    p.t = ToFix(r.sy - bounds.t);
    p.dsdx = ToFixStep(r.A);
    p.dtdx = ToFixStep(r.C);
    p.dsdy = ToFixStep(r.B);
    p.dtdy = ToFixStep(r.D);
    p.dsdxdy = ToFixStep(r.E);
    p.dtdxdy = ToFixStep(r.F);
    p.ox = bounds.l;
    p.oy = bounds.t;
    p.bw = bounds.r - bounds.l;
    p.bh = bounds.b - bounds.t;

    uint32_t* drow = D.row((int)dy) + dx;
    const int W = (int)dw, H = (int)dh;
    if (r.varyingAlpha) {
        const int64_t a0 = ToFix(r.a0), adx = ToFixStep(r.adx), ady = ToFixStep(r.ady),
                      adxdy = ToFixStep(r.adxdy);
        if (bilinear)
            Raster_Template_Blit4::deltaBlitAlpha<true>(drow, D.pitch(), W, H, S, p, comb, a0, adx, ady,
                                                        adxdy);
        else
            Raster_Template_Blit4::deltaBlitAlpha<false>(drow, D.pitch(), W, H, S, p, comb, a0, adx, ady,
                                                         adxdy);
    } else {
        if (bilinear)
            Raster_Template_Blit3::deltaBlit<true>(drow, D.pitch(), W, H, S, p, comb, weight);
        else
            Raster_Template_Blit3::deltaBlit<false>(drow, D.pitch(), W, H, S, p, comb, weight);
    }
}

bool FiniteAll(std::initializer_list<double> v) {
    for (double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

} // namespace

void Raster_RotatedBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        float srcx, float srcy, float srcw, float srch, float angle, bool cliptosourcerect,
                        float alpha, int mode, float rotxcent, float rotycent) {
    if (!dest || !src || dstw == 0 || dsth == 0) return;
    const int w = WeightOf(alpha);
    if (w == 0) return;
    if (!FiniteAll({srcx, srcy, srcw, srch, angle, rotxcent, rotycent})) return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    SourceBounds bounds;
    if (!GetSourceBounds(S, cliptosourcerect, srcx, srcy, srcw, srch, bounds)) return;

    double sx0 = srcx, sy0 = srcy, sw = srcw, sh = srch;
    int64_t dx = dstx, dy = dsty, dw = dstw, dh = dsth;
    if (dw < 0) {
        dx += dw;
        dw = -dw;
        sx0 += sw;
        sw = -sw;
    }
    if (dh < 0) {
        dy += dh;
        dh = -dh;
        sy0 += sh;
        sh = -sh;
    }
    const double s = std::sin((double)angle), c = std::cos((double)angle);
    DeltaRun r{};
    r.A = c * sw / (double)dw;
    r.C = -s * sh / (double)dh;
    r.B = s * sw / (double)dw;
    r.D = c * sh / (double)dh;
    r.sx = sx0 - (((double)dw * r.A + (double)dh * r.B - sw) / 2.0 - rotxcent);
    r.sy = sy0 - (((double)dh * r.D + (double)dw * r.C - sh) / 2.0 - rotycent);

    const Raster_CombineFunc comb = CombineFuncOf(Raster_CombineSet::Image, mode, w);
    if (!comb) return;
    RunDelta(D, S, dx, dy, dw, dh, r, bounds, comb, w, IsBilinear(mode));
}

namespace {

void DeltaBlitImpl(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                   double srcx, double srcy, double srcw, double srch, double dsdx, double dtdx, double dsdy,
                   double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect, double alpha, int mode,
                   bool varying, double dadx, double dady, double dadxdy) {
    if (!dest || !src || dstw == 0 || dsth == 0) return;
    const int w = WeightOf(alpha);
    if (!varying && w == 0) return;
    if (!FiniteAll(
            {srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy, dsdxdy, dtdxdy, alpha, dadx, dady, dadxdy}))
        return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    SourceBounds bounds;
    if (!GetSourceBounds(S, cliptosourcerect, srcx, srcy, srcw, srch, bounds)) return;

    // Mirrored destinations: the caller's steps already point the other way.
    double sx0 = srcx, sy0 = srcy;
    int64_t dx = dstx, dy = dsty, dw = dstw, dh = dsth;
    if (dw < 0) {
        dx += dw;
        dw = -dw;
        sx0 += srcw;
    }
    if (dh < 0) {
        dy += dh;
        dh = -dh;
        sy0 += srch;
    }
    DeltaRun r{};
    r.sx = sx0;
    r.sy = sy0;
    r.A = dsdx;
    r.C = dtdx;
    r.B = dsdy;
    r.D = dtdy;
    r.E = dsdxdy;
    r.F = dtdxdy;
    Raster_CombineFunc comb;
    if (varying) {
        r.varyingAlpha = true;
        r.a0 = alpha;
        r.adx = dadx;
        r.ady = dady;
        r.adxdy = dadxdy;
        comb = CombineFuncOf(Raster_CombineSet::Varying, mode, w);
    } else {
        comb = CombineFuncOf(Raster_CombineSet::Image, mode, w);
    }
    if (!comb) return;
    RunDelta(D, S, dx, dy, dw, dh, r, bounds, comb, w, IsBilinear(mode));
}

// Whether a per-pixel weight changes anywhere over the area (otherwise it is a plain delta blit).
bool AlphaVaries(int dstw, int dsth, double dadx, double dady, double dadxdy) {
    return !(std::fabs(dstw * dadx) < 0.0001 && std::fabs(dsth * dady) < 0.0001 &&
             std::fabs(dsth * dadxdy) < 0.0001);
}

} // namespace

void Raster_DeltaBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                      float srcx, float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy,
                      double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect, float alpha,
                      int mode) {
    DeltaBlitImpl(dest, src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy, dsdxdy,
                  dtdxdy, cliptosourcerect, alpha, mode, false, 0, 0, 0);
}

void Raster_DeltaBlitAlpha(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                           float srcx, float srcy, float srcw, float srch, double dsdx, double dtdx,
                           double dsdy, double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect,
                           float alpha, int mode, double dadx, double dady, double dadxdy) {
    DeltaBlitImpl(dest, src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy, dsdxdy,
                  dtdxdy, cliptosourcerect, alpha, mode, AlphaVaries(dstw, dsth, dadx, dady, dadxdy), dadx,
                  dady, dadxdy);
}

namespace {

// v rounded to single precision; beyond its range an infinity (which draws nothing).
double Single(double v) {
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return (float)v;
}

// Grid of source points (stride values per point: u, v and optionally alpha) mapped cell by cell.
// Each cell is a delta blit whose start position and weight are taken in single precision, as
// Raster_DeltaBlit and Raster_DeltaBlitAlpha take them; the steps stay in double precision.
void TransformGrid(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                   const double* pts, const float* fpts, int stride, int divw, int divh, float alpha,
                   int mode) {
    if (!dest || !src || (!pts && !fpts) || divw < 2 || divh < 2 || dstw <= 0 || dsth <= 0) return;
    auto P = [&](int gx, int gy, int k) -> double {
        const size_t i = ((size_t)gy * (size_t)divw + (size_t)gx) * (size_t)stride + (size_t)k;
        return pts ? pts[i] : (double)fpts[i];
    };
    const double ystep = (double)dsth / (divh - 1), xstep = (double)dstw / (divw - 1);
    double yf = dsty;
    int y0 = TruncInt(yf);
    for (int gy = 0; gy < divh - 1; ++gy) {
        yf += ystep;
        const int y1 = TruncInt(yf);
        const int64_t H = (int64_t)y1 - y0;
        double xf = dstx;
        int x0 = TruncInt(xf);
        for (int gx = 0; gx < divw - 1; ++gx) {
            xf += xstep;
            const int x1 = TruncInt(xf);
            const int64_t W = (int64_t)x1 - x0;
            if (W > 0 && H > 0 && W <= INT32_MAX && H <= INT32_MAX) {
                const double u00 = P(gx, gy, 0), v00 = P(gx, gy, 1);
                const double u01 = P(gx + 1, gy, 0), v01 = P(gx + 1, gy, 1);
                const double u10 = P(gx, gy + 1, 0), v10 = P(gx, gy + 1, 1);
                const double u11 = P(gx + 1, gy + 1, 0), v11 = P(gx + 1, gy + 1, 1);
                const double dsdx = (u01 - u00) / W, dtdx = (v01 - v00) / W;
                const double dsdy = (u10 - u00) / H, dtdy = (v10 - v00) / H;
                const double dsdxdy = ((u11 - u10) / W - dsdx) / H, dtdxdy = ((v11 - v10) / W - dtdx) / H;
                if (stride == 3) {
                    const double a00 = P(gx, gy, 2), a01 = P(gx + 1, gy, 2);
                    const double a10 = P(gx, gy + 1, 2), a11 = P(gx + 1, gy + 1, 2);
                    const double dadx = (a01 - a00) / W, dady = (a10 - a00) / H;
                    const double dadxdy = ((a11 - a10) / W - dadx) / H;
                    DeltaBlitImpl(dest, src, x0, y0, (int)W, (int)H, Single(u00), Single(v00), 0, 0, dsdx,
                                  dtdx, dsdy, dtdy, dsdxdy, dtdxdy, false, Single(a00), mode,
                                  AlphaVaries((int)W, (int)H, dadx, dady, dadxdy), dadx, dady, dadxdy);
                } else {
                    DeltaBlitImpl(dest, src, x0, y0, (int)W, (int)H, Single(u00), Single(v00), 0, 0, dsdx,
                                  dtdx, dsdy, dtdy, dsdxdy, dtdxdy, false, alpha, mode, false, 0, 0, 0);
                }
            }
            x0 = x1;
        }
        y0 = y1;
    }
}

} // namespace

void Raster_TransformBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                          const float* srcpoints, int divw, int divh, float alpha, int mode) {
    TransformGrid(dest, src, dstx, dsty, dstw, dsth, nullptr, srcpoints, 2, divw, divh, alpha, mode);
}

void Raster_TransformBlit2(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                           const double* srcpoints, int divw, int divh, float alpha, int mode) {
    TransformGrid(dest, src, dstx, dsty, dstw, dsth, srcpoints, nullptr, 2, divw, divh, alpha, mode);
}

void Raster_TransformBlit2Alpha(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw,
                                int dsth, const double* srcpoints, int divw, int divh, int mode) {
    TransformGrid(dest, src, dstx, dsty, dstw, dsth, srcpoints, nullptr, 3, divw, divh, 1.0f, mode);
}

// =============================================================================================
// Fills, gradients, clears

void Raster_GradRect(Raster_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig,
                     float ib, float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy,
                     float dgdy, float dbdy, float dady, int mode) {
    if (!dest) return;
    if (!FiniteAll({ir, ig, ib, ia, drdx, dgdx, dbdx, dadx, drdy, dgdy, dbdy, dady})) return;
    const Raster_BlitView D(dest);
    double start[4] = {ir * 255.0, ig * 255.0, ib * 255.0, ia * 256.0};
    const double col[4] = {drdx * 255.0, dgdx * 255.0, dbdx * 255.0, dadx * 256.0};
    const double row[4] = {drdy * 255.0, dgdy * 255.0, dbdy * 255.0, dady * 256.0};
    for (int k = 0; k < 4; ++k) {
        if (dstx < 0) start[k] += (double)-(int64_t)dstx * col[k];
        if (dsty < 0) start[k] += (double)-(int64_t)dsty * row[k];
    }
    int x = dstx, y = dsty, w = dstw, h = dsth;
    if (!ClipRect(D, x, y, w, h)) return;
    int64_t s[4], cs[4], rs[4];
    for (int k = 0; k < 4; ++k) {
        s[k] = ToFix(start[k]);
        cs[k] = ToFixStep(col[k]);
        rs[k] = ToFixStep(row[k]);
    }
    uint32_t* drow = D.row(y) + x;
    const ptrdiff_t dp = D.pitch();
    // Gradients have no HSV adjustment: that mode draws nothing.
    if ((mode & RASTER_BLEND_MODE_MASK) == RASTER_BLEND_HSVADJUST) return;
    Raster_Dispatch<Raster_CombineSet::Varying>(mode, 0, [&](auto tag) {
        Raster_Template_Blit1<typename decltype(tag)::type>::gradBlit(drow, dp, w, h, s, cs, rs);
    });
}

void Raster_FillRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t colour, float alpha,
                     int mode) {
    if (!dest) return;
    double al = alpha;
    if (mode & RASTER_BLEND_SOURCE_ALPHA) al *= (double)(colour & 0xFF) / 255.0;
    const Raster_BlitView D(dest);
    if (!ClipRect(D, x, y, w, h)) return;
    if (al == 0.0) return;
    const int wt = WeightOf(al);
    uint32_t* drow = D.row(y) + x;
    const ptrdiff_t dp = D.pitch();
    const int r = Raster_GetR(colour), g = Raster_GetG(colour), b = Raster_GetB(colour);
    Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_WORDWISE>(mode, wt, [&](auto tag) {
        using C = typename decltype(tag)::type;
        if constexpr (Raster_WordWise<C>)
            Raster_Template_Blit0<C>::solidBlitFAST(drow, dp, w, h, C::prepare(colour));
        else
            Raster_Template_Blit1<C>::solidBlit(drow, dp, w, h, r, g, b, wt, wt);
    });
}

void Raster_Clear(Raster_IBitmap* dest, uint32_t colour) {
    const Raster_BlitView D(dest);
    if (!D.ok()) return;
    for (int j = 0; j < D.h; ++j) Raster_RowFill(D.bits + (ptrdiff_t)j * D.span, D.w, colour);
}

void Raster_ClearRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t andmask, uint32_t orbits) {
    const Raster_BlitView D(dest);
    if (!ClipRect(D, x, y, w, h)) return;
    uint32_t* drow = D.row(y) + x;
    for (int j = 0; j < h; ++j, drow += D.pitch())
        for (int i = 0; i < w; ++i) drow[i] = (drow[i] & andmask) | orbits;
}

void Raster_MultiplyAddRect(Raster_IBitmap* dest, int x, int y, int w, int h, float scaler, float scaleg,
                            float scaleb, float scalea, float addr, float addg, float addb, float adda) {
    const Raster_BlitView D(dest);
    if (!ClipRect(D, x, y, w, h)) return;
    // Per channel in byte order alpha, red, green, blue.
    const int64_t f[4] = {TruncInt(scalea * 256.0), TruncInt(scaler * 256.0), TruncInt(scaleg * 256.0),
                          TruncInt(scaleb * 256.0)};
    const int64_t o[4] = {TruncInt(adda * 256.0), TruncInt(addr * 256.0), TruncInt(addg * 256.0),
                          TruncInt(addb * 256.0)};
    uint32_t* drow = D.row(y) + x;
    for (int j = 0; j < h; ++j, drow += D.pitch()) {
        for (int i = 0; i < w; ++i) {
            const uint32_t p = drow[i];
            uint32_t out = 0;
            for (int k = 0; k < 4; ++k) {
                const int64_t v = o[k] + f[k] * (int64_t)((p >> (8 * k)) & 0xFF);
                const uint32_t c = v < 0 ? 0u : (v >= 65536 ? 255u : (uint32_t)(v >> 8));
                out |= c << (8 * k);
            }
            drow[i] = out;
        }
    }
}

void Raster_ProcessRect(Raster_IBitmap* dest, int x, int y, int w, int h, void (*procFunc)(uint32_t*, void*),
                        void* parm) {
    if (!procFunc) return;
    const Raster_BlitView D(dest);
    if (!ClipRect(D, x, y, w, h)) return;
    uint32_t* drow = D.row(y) + x;
    for (int j = 0; j < h; ++j, drow += D.pitch())
        for (int i = 0; i < w; ++i) procFunc(drow + i, parm);
}

// =============================================================================================
// Blur and halving

namespace {

inline uint32_t Eighth(uint32_t x) {
    return (x >> 3) & 0x1F1F1F1Fu;
}

// One blurred row: c = current row, up / down = neighbour rows (null at the region's edges).
void BlurRow(uint32_t* out, const uint32_t* up, const uint32_t* c, const uint32_t* down, int w) {
    for (int i = 0; i < w; ++i) {
        uint32_t v = Raster_HalfWord(c[i]);
        if (i == 0)
            v += Raster_QuarterWord(c[1]);
        else if (i == w - 1)
            v += Raster_QuarterWord(c[i - 1]);
        else
            v += Eighth(c[i - 1]) + Eighth(c[i + 1]);
        if (!up)
            v += Raster_QuarterWord(down[i]);
        else if (!down)
            v += Raster_QuarterWord(up[i]);
        else
            v += Eighth(up[i]) + Eighth(down[i]);
        out[i] = v;
    }
}

} // namespace

void Raster_Blur(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch) {
    if (!dest || !src) return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    BlitArea a;
    if (!ClipBlit(D, S, dstx, dsty, srcx, srcy, (int64_t)srcx + srcw, (int64_t)srcy + srch, a)) return;
    if (a.w < 2 || a.h < 2) return;
    const int w = a.w, h = a.h;

    const bool same = D.bits == S.bits;
    if (same && (a.sx != a.dx || a.sy != a.dy)) {
        // Shifted within one bitmap: blur from a copy of the source area, so overlapping rows are
        // read before they are written.
        uint32_t* copy = (uint32_t*)malloc((size_t)w * (size_t)h * sizeof(uint32_t));
        if (!copy) return;
        for (int j = 0; j < h; ++j) memcpy(copy + (size_t)j * w, S.row(a.sy + j) + a.sx, (size_t)w * 4);
        for (int j = 0; j < h; ++j) {
            const uint32_t* c = copy + (size_t)j * w;
            BlurRow(D.row(a.dy + j) + a.dx, j > 0 ? c - w : nullptr, c, j < h - 1 ? c + w : nullptr, w);
        }
        free(copy);
        return;
    }
    if (!same) {
        for (int j = 0; j < h; ++j) {
            const uint32_t* c = S.row(a.sy + j) + a.sx;
            BlurRow(D.row(a.dy + j) + a.dx, j > 0 ? S.row(a.sy + j - 1) + a.sx : nullptr, c,
                    j < h - 1 ? S.row(a.sy + j + 1) + a.sx : nullptr, w);
        }
        return;
    }
    // In place: the current row and the previous one are kept as they were before being written.
    uint32_t stackBuf[2 * 1024];
    uint32_t* buf = w <= 1024 ? stackBuf : (uint32_t*)malloc((size_t)w * 2 * sizeof(uint32_t));
    uint32_t* prev = buf;
    uint32_t* cur = buf ? buf + w : nullptr;
    for (int j = 0; j < h; ++j) {
        uint32_t* row = D.row(a.dy + j) + a.dx;
        const uint32_t* down = j < h - 1 ? D.row(a.dy + j + 1) + a.dx : nullptr;
        if (buf) {
            memcpy(cur, row, (size_t)w * 4);
            BlurRow(row, j > 0 ? prev : nullptr, cur, down, w);
            std::swap(prev, cur);
        } else {
            // No room for the row buffer: neighbours are read from the bitmap as they are.
            BlurRow(row, j > 0 ? D.row(a.dy + j - 1) + a.dx : nullptr, row, down, w);
        }
    }
    if (buf && buf != stackBuf) free(buf);
}

void Raster_HalveBlitAA(Raster_IBitmap* dest, Raster_IBitmap* src) {
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    const int w = std::min(D.w, S.w / 2), h = std::min(D.h, S.h / 2);
    // Rows in memory order.
    for (int y = 0; y < h; ++y) {
        uint32_t* out = D.bits + (ptrdiff_t)y * D.span;
        const uint32_t* s0 = S.bits + (ptrdiff_t)(2 * y) * S.span;
        const uint32_t* s1 = s0 + S.span;
        for (int x = 0; x < w; ++x)
            out[x] = Raster_QuarterWord(s0[2 * x]) + Raster_QuarterWord(s0[2 * x + 1]) +
                     Raster_QuarterWord(s1[2 * x]) + Raster_QuarterWord(s1[2 * x + 1]);
    }
}

// =============================================================================================
// Single pixels, colour key, flood fill, comparison

void Raster_PutPixel(Raster_IBitmap* dest, int x, int y, uint32_t colour, float alpha, int mode) {
    const Raster_BlitView D(dest);
    if (!D.ok() || x < 0 || y < 0 || x >= D.w || y >= D.h) return;
    uint32_t* p = D.row(y) + x;
    const int w = WeightOf(alpha);
    const int r = Raster_GetR(colour), g = Raster_GetG(colour), b = Raster_GetB(colour),
              a = Raster_GetA(colour);
    Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_WORDWISE>(mode, w, [&](auto tag) {
        using C = typename decltype(tag)::type;
        if constexpr (Raster_WordWise<C>)
            C::doPixFAST(p, C::prepare(colour));
        else
            C::doPix(p, r, g, b, a, w);
    });
}

uint32_t Raster_GetPixel(Raster_IBitmap* dest, int x, int y) {
    const Raster_BlitView D(dest);
    if (!D.ok() || x < 0 || y < 0 || x >= D.w || y >= D.h) return 0;
    return D.row(y)[x];
}

void Raster_SetAlphaFromColorMask(Raster_IBitmap* dest, uint32_t colour) {
    const Raster_BlitView D(dest);
    if (!D.ok()) return;
    for (int j = 0; j < D.h; ++j) {
        uint32_t* row = D.bits + (ptrdiff_t)j * D.span;
        for (int i = 0; i < D.w; ++i)
            row[i] = (row[i] & 0xFFFFFF00u) | ((row[i] & 0xFFFFFF00u) == colour ? 0u : 0xFFu);
    }
}

void Raster_SimpleFill(Raster_IBitmap* dest, int x, int y, uint32_t newcolour, uint32_t comparemask,
                       uint32_t keepmask) {
    const Raster_BlitView D(dest);
    if (!D.ok() || x < 0 || y < 0 || x >= D.w || y >= D.h) return;
    const uint32_t target = D.row(y)[x] & comparemask;
    auto fillRow = [&](int ry) -> bool {
        uint32_t* row = D.row(ry);
        if ((row[x] & comparemask) != target) return false;
        int l = x;
        while (l > 0 && (row[l - 1] & comparemask) == target) --l;
        int r = x;
        while (r < D.w - 1 && (row[r + 1] & comparemask) == target) ++r;
        for (int i = l; i <= r; ++i) row[i] = newcolour | (row[i] & keepmask);
        return true;
    };
    for (int ry = y; ry < D.h && fillRow(ry); ++ry) {}
    for (int ry = y - 1; ry >= 0 && fillRow(ry); --ry) {}
}

int Raster_BitmapCmp(Raster_IBitmap* a, Raster_IBitmap* b, int* rect) {
    return Raster_BitmapCmpEx(a, b, 0xFFFFFFFFu, rect);
}

int Raster_BitmapCmpEx(Raster_IBitmap* a, Raster_IBitmap* b, uint32_t mask, int* rect) {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    if (a->getWidth() != b->getWidth()) return b->getWidth() - a->getWidth();
    if (a->getHeight() != b->getHeight()) return b->getHeight() - a->getHeight();
    const Raster_BlitView A(a), B(b);
    if (rect) rect[0] = rect[1] = rect[2] = rect[3] = 0;
    // Equal sizes without pixels to compare are equal.
    if (!A.ok() || !B.ok()) return 0;
    const int w = A.w, h = A.h;
    if (rect) {
        int minx = w, miny = h, maxx = -1, maxy = -1;
        for (int y = 0; y < h; ++y) {
            const uint32_t* ra = A.row(y);
            const uint32_t* rb = B.row(y);
            for (int x = 0; x < w; ++x) {
                if (((ra[x] ^ rb[x]) & mask) == 0) continue;
                minx = std::min(minx, x);
                maxx = std::max(maxx, x);
                miny = std::min(miny, y);
                maxy = y;
            }
        }
        if (maxx < 0) return 0;
        rect[0] = minx;
        rect[1] = miny;
        rect[2] = maxx - minx + 1;
        rect[3] = maxy - miny + 1;
        return 1;
    }
    for (int y = 0; y < h; ++y) {
        const uint32_t* ra = A.row(y);
        const uint32_t* rb = B.row(y);
        if (mask == 0xFFFFFFFFu) {
            const int c = memcmp(ra, rb, (size_t)w * sizeof(uint32_t));
            if (c != 0) return c < 0 ? -1 : 1;
        } else {
            for (int x = 0; x < w; ++x)
                if ((ra[x] ^ rb[x]) & mask) return 1;
        }
    }
    return 0;
}
