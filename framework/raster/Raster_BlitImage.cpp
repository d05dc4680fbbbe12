#include "framework/raster/Raster_BlitImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/raster/Raster_BlitTemplates.h"
#include "framework/raster/Raster_Dispatch.h"

namespace {

void BlitImpl(Raster_IBitmap* dest, Raster_IBitmap* src, int64_t dstx, int64_t dsty, int64_t l, int64_t t,
              int64_t r, int64_t b, float alpha, int mode) {
    if (!dest || !src || alpha == 0.0f) return;
    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;
    Raster_BlitArea a;
    if (!Raster_ClipBlit(D, S, dstx, dsty, l, t, r, b, a)) return;

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
    const int w = Raster_WeightOf(alpha);
    if (w == 0) return;
    Raster_Dispatch<Raster_CombineSet::Image>(mode, w, [&](auto tag) {
        Raster_Template_Blit2<typename decltype(tag)::type>::blit(drow, dp, srow, sp, a.w, a.h, w);
    });
}

// Along one axis of a scaled blit (start and step in 16.16, n destination pixels from d): skips
// the leading pixels that sample before the source and drops the trailing ones that sample at or
// beyond its size. Nothing changes for steps below one 16.16 unit.
void SkipOutside(int64_t& start, int64_t step, int64_t& d, int64_t& n, int size) {
    if (step < 1) return;
    if (start < 0) {
        const int64_t k = (step - start - 1) / step;
        start += k * step;
        d += k;
        n -= k;
    }
    if (n >= 1 && ((start + step * (n - 1)) >> 16) >= size) {
        const int64_t room = (int64_t)size * 65536 - start;
        n = room > 0 ? (room - 1) / step + 1 : 0;
    }
}

} // namespace

void Raster_Blit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, const Raster_Rect* srcrect,
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

void Raster_ScaledBlit(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                       float srcx, float srcy, float srcw, float srch, float alpha, int mode) {
    if (alpha == 0.0f || !dest || !src || dstw == 0 || dsth == 0) return;
    if (!Raster_FiniteAll({srcx, srcy, srcw, srch})) return;

    // Unscaled: a straight blit from the rounded source origin (with the bilinear filter only
    // when the origin lies on a pixel; otherwise the sub-pixel offset is interpolated below).
    // Mirrored requests take the general path, which mirrors them.
    if (dstw > 0 && dsth > 0 && std::fabs((double)srcw - dstw) < 0.001 &&
        std::fabs((double)srch - dsth) < 0.001) {
        const bool onPixel = std::fabs(srcx - std::floor(srcx + 0.5)) <= 0.03 &&
                             std::fabs(srcy - std::floor(srcy + 0.5)) <= 0.03;
        if (!Raster_IsBilinear(mode) || onPixel) {
            const int sx = Raster_TruncInt(srcx + 0.5), sy = Raster_TruncInt(srcy + 0.5);
            BlitImpl(dest, src, dstx, dsty, sx, sy, (int64_t)sx + dstw, (int64_t)sy + dsth, alpha, mode);
            return;
        }
    }

    const Raster_BlitView D(dest), S(src);
    if (!D.ok() || !S.ok()) return;

    double sx = srcx, sy = srcy, sw = srcw, sh = srch;
    int64_t dx = dstx, dy = dsty, dw = dstw, dh = dsth;
    const bool mirrorX = Raster_MirrorAxis(sx, sw, dx, dw), mirrorY = Raster_MirrorAxis(sy, sh, dy, dh);
    const double xadv = sw / (double)dw, yadv = sh / (double)dh;

    // Sampling bounds come from the requested source area, not from the clipped one, so what a
    // visible pixel shows never depends on how much of the destination is clipped away.
    const int right = std::min(S.w, Raster_TruncInt(std::max(0.0, sw) + sx + 0.999999));
    const int bottom = std::min(S.h, Raster_TruncInt(std::max(0.0, sh) + sy + 0.999999));

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

    const int64_t fdx = Raster_ToFixStep(xadv), fdy = Raster_ToFixStep(yadv);
    int64_t x0 = Raster_ToFix(startx), y0 = Raster_ToFix(starty);
    SkipOutside(x0, fdx, dx, dw, S.w);
    SkipOutside(y0, fdy, dy, dh, S.h);
    if (dw < 1 || dh < 1 || dx >= D.w || dy >= D.h) return;
    if (right < 1 || bottom < 1) return;

    uint32_t* drow = D.row((int)dy) + dx;
    const ptrdiff_t dp = D.pitch();
    const int W = (int)dw, H = (int)dh;
    const int w = Raster_WeightOf(alpha);
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
    const bool bilinear = Raster_IsBilinear(mode);
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
