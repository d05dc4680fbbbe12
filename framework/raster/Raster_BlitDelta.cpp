#include "framework/raster/Raster_BlitDelta.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "framework/raster/Raster_BlitTemplates.h"
#include "framework/raster/Raster_Dispatch.h"

namespace {

// The combiner of the set as a pointer, for the loops that take it so.
Raster_CombineFunc CombineFuncOf(Raster_CombineSet set, int mode, int w) {
    Raster_CombineFunc fn = nullptr;
    auto take = [&](auto tag) { fn = &decltype(tag)::type::doPix; };
    if (set == Raster_CombineSet::Varying)
        Raster_Dispatch<Raster_CombineSet::Varying>(mode, w, take);
    else
        Raster_Dispatch<Raster_CombineSet::Image>(mode, w, take);
    return fn;
}

struct SourceBounds {
    int l, t, r, b;
};

// The whole source, or with clipping the source rectangle limited to the source.
bool GetSourceBounds(const Raster_BlitView& S, bool clip, double srcx, double srcy, double srcw, double srch,
                     SourceBounds& out) {
    out = {0, 0, S.w, S.h};
    if (clip) {
        out.l = std::max(0, Raster_TruncInt(srcx));
        out.t = std::max(0, Raster_TruncInt(srcy));
        out.r = std::min(S.w, Raster_TruncInt(srcx + srcw));
        out.b = std::min(S.h, Raster_TruncInt(srcy + srch));
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
    // (E, F) per row: the row step takes that change up so clipped rows match unclipped ones (and
    // the same for skipped rows and the column steps). (s, t, a) are the skipped axis' steps and
    // (os, ot, oa) the other axis' ones.
    auto skip = [&r](int64_t& d, int64_t& n, double s, double t, double a, double& os, double& ot,
                     double& oa) {
        if (d >= 0) return;
        const double k = (double)(-d);
        r.sx += k * s;
        r.sy += k * t;
        os += k * r.E;
        ot += k * r.F;
        r.a0 += k * a;
        oa += k * r.adxdy;
        n += d;
        d = 0;
    };
    skip(dx, dw, r.A, r.C, r.adx, r.B, r.D, r.ady);
    skip(dy, dh, r.B, r.D, r.ady, r.A, r.C, r.adx);
    if (dh < 1 || dw < 1 || dx >= D.w || dy >= D.h) return;
    dw = std::min<int64_t>(dw, D.w - dx);
    dh = std::min<int64_t>(dh, D.h - dy);

    Raster_DeltaParams p;
    p.s = Raster_ToFix(r.sx - bounds.l);
    p.t = Raster_ToFix(r.sy - bounds.t);
    p.dsdx = Raster_ToFixStep(r.A);
    p.dtdx = Raster_ToFixStep(r.C);
    p.dsdy = Raster_ToFixStep(r.B);
    p.dtdy = Raster_ToFixStep(r.D);
    p.dsdxdy = Raster_ToFixStep(r.E);
    p.dtdxdy = Raster_ToFixStep(r.F);
    p.ox = bounds.l;
    p.oy = bounds.t;
    p.bw = bounds.r - bounds.l;
    p.bh = bounds.b - bounds.t;

    uint32_t* drow = D.row((int)dy) + dx;
    const int W = (int)dw, H = (int)dh;
    if (r.varyingAlpha) {
        const int64_t a0 = Raster_ToFix(r.a0), adx = Raster_ToFixStep(r.adx), ady = Raster_ToFixStep(r.ady),
                      adxdy = Raster_ToFixStep(r.adxdy);
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

} // namespace

void Raster_RotatedBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        float srcx, float srcy, float srcw, float srch, float angle, bool cliptosourcerect,
                        float alpha, int mode, float rotxcent, float rotycent) {
    if (!dest || !src || dstw == 0 || dsth == 0) return;
    const int w = Raster_WeightOf(alpha);
    if (w == 0) return;
    if (!Raster_FiniteAll({srcx, srcy, srcw, srch, angle, rotxcent, rotycent})) return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    SourceBounds bounds;
    if (!GetSourceBounds(S, cliptosourcerect, srcx, srcy, srcw, srch, bounds)) return;

    double sx0 = srcx, sy0 = srcy, sw = srcw, sh = srch;
    int64_t dx = dstx, dy = dsty, dw = dstw, dh = dsth;
    Raster_MirrorAxis(sx0, sw, dx, dw);
    Raster_MirrorAxis(sy0, sh, dy, dh);
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
    RunDelta(D, S, dx, dy, dw, dh, r, bounds, comb, w, Raster_IsBilinear(mode));
}

namespace {

void DeltaBlitImpl(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                   double srcx, double srcy, double srcw, double srch, double dsdx, double dtdx, double dsdy,
                   double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect, double alpha, int mode,
                   bool varying, double dadx, double dady, double dadxdy) {
    if (!dest || !src || dstw == 0 || dsth == 0) return;
    const int w = Raster_WeightOf(alpha);
    if (!varying && w == 0) return;
    if (!Raster_FiniteAll(
            {srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy, dsdxdy, dtdxdy, alpha, dadx, dady, dadxdy}))
        return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    SourceBounds bounds;
    if (!GetSourceBounds(S, cliptosourcerect, srcx, srcy, srcw, srch, bounds)) return;

    // Mirrored destinations start at the far end of the source area; the caller's steps already
    // point the other way. The alpha steps are read only when the weight varies.
    DeltaRun r{.sx = srcx,
               .sy = srcy,
               .A = dsdx,
               .C = dtdx,
               .B = dsdy,
               .D = dtdy,
               .E = dsdxdy,
               .F = dtdxdy,
               .varyingAlpha = varying,
               .a0 = alpha,
               .adx = dadx,
               .ady = dady,
               .adxdy = dadxdy};
    int64_t dx = dstx, dy = dsty, dw = dstw, dh = dsth;
    Raster_MirrorAxis(r.sx, srcw, dx, dw);
    Raster_MirrorAxis(r.sy, srch, dy, dh);
    const Raster_CombineFunc comb =
        CombineFuncOf(varying ? Raster_CombineSet::Varying : Raster_CombineSet::Image, mode, w);
    if (!comb) return;
    RunDelta(D, S, dx, dy, dw, dh, r, bounds, comb, w, Raster_IsBilinear(mode));
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
    int y0 = Raster_TruncInt(yf);
    for (int gy = 0; gy < divh - 1; ++gy) {
        yf += ystep;
        const int y1 = Raster_TruncInt(yf);
        const int64_t H = (int64_t)y1 - y0;
        double xf = dstx;
        int x0 = Raster_TruncInt(xf);
        for (int gx = 0; gx < divw - 1; ++gx) {
            xf += xstep;
            const int x1 = Raster_TruncInt(xf);
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
