// Lines: clipping, horizontal, vertical and 45-degree fast paths, the two-ended general line (plain
// and Wu-antialiased), sub-pixel antialiased lines, dashed lines and rectangle outlines.

#include "framework/raster/Raster_Line.h"

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "framework/raster/Raster_Blit.h"
#include "framework/raster/Raster_BlitArea.h"
#include "framework/raster/Raster_ShapeCommon.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Clipping

template <class T>
int OutCode(T x, T y, T w, T h) {
    int c = 0;
    if (x < 0)
        c |= 1;
    else if (x >= w)
        c |= 2;
    if (y < 0)
        c |= 4;
    else if (y >= h)
        c |= 8;
    return c;
}

// Offset along the other axis, truncated for integer coordinates and kept within a range where
// the sum with a coordinate cannot overflow.
template <class T>
T ClipOffset(double v) {
    if constexpr (std::is_integral_v<T>) {
        if (!(v == v)) return 0;
        if (v > 4.0e15) v = 4.0e15;
        if (v < -4.0e15) v = -4.0e15;
        return (T)v;
    } else {
        return (T)v;
    }
}

// Cohen-Sutherland against [0, w) x [0, h). The moved end lands on the last row or column while
// the ratio uses the exclusive edge. A pass limit guards against any cycling.
template <class T>
bool ClipSegment(T& x1, T& y1, T& x2, T& y2, T w, T h) {
    if (!(w > 0) || !(h > 0)) return false;
    int c1 = OutCode(x1, y1, w, h), c2 = OutCode(x2, y2, w, h);
    for (int pass = 0; pass < 32; ++pass) {
        if (!(c1 | c2)) return true;
        if (c1 & c2) return false;
        const int c = c1 ? c1 : c2;
        const double dx = (double)x2 - (double)x1, dy = (double)y2 - (double)y1;
        T nx, ny;
        if (c & 8) {
            ny = h - 1;
            nx = x1 + ClipOffset<T>(((double)h - (double)y1) * dx / dy);
        } else if (c & 4) {
            ny = 0;
            nx = x1 + ClipOffset<T>(-(double)y1 * dx / dy);
        } else if (c & 2) {
            nx = w - 1;
            ny = y1 + ClipOffset<T>(dy * ((double)w - (double)x1) / dx);
        } else {
            nx = 0;
            ny = y1 + ClipOffset<T>(dy * -(double)x1 / dx);
        }
        if (c == c1) {
            x1 = nx;
            y1 = ny;
            c1 = OutCode(x1, y1, w, h);
        } else {
            x2 = nx;
            y2 = ny;
            c2 = OutCode(x2, y2, w, h);
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Horizontal, vertical and diagonal runs, one member per combiner.

template <class C>
class Raster_LineClassSimple {
public:
    // n pixels from p, step pixels apart.
    static void HorizLine(uint32_t* p, int n, const Raster_ShapeColour& c, int w) {
        for (int i = 0; i < n; ++i) C::doPix(p + i, c.r, c.g, c.b, c.a, w);
    }
    static void VertLine(uint32_t* p, int n, intptr_t span, const Raster_ShapeColour& c, int w) {
        for (int i = 0; i < n; ++i, p += span) C::doPix(p, c.r, c.g, c.b, c.a, w);
    }
    static void DiagLine(uint32_t* p, int n, intptr_t step, const Raster_ShapeColour& c, int w) {
        for (int i = 0; i < n; ++i, p += step) C::doPix(p, c.r, c.g, c.b, c.a, w);
    }
    // n diagonal pixels from p, one column right and one row (rowstep) on per pixel; between two
    // diagonal pixels the pixel one column over and the one a row over each get a quarter.
    static void DiagLineAA(uint32_t* p, int n, intptr_t rowstep, const Raster_ShapeColour& c, int w) {
        const int wd = w * 3 / 4, ws = w / 4;
        for (int i = 0; i < n; ++i, p += rowstep + 1) {
            Raster_ShapePlot<C>(p, c, wd);
            if (i + 1 < n) {
                Raster_ShapePlot<C>(p + 1, c, ws);
                Raster_ShapePlot<C>(p + rowstep, c, ws);
            }
        }
    }
};

// Word-wise runs for copy mode at the four quarter weights: F is a FAST combiner.
template <class F>
void WordRun(uint32_t* p, int n, intptr_t step, uint32_t colour) {
    const uint32_t c = F::prepare(colour);
    for (int i = 0; i < n; ++i, p += step) F::doPixFAST(p, c);
}

// Copy mode at alpha exactly 1, 0.5, 0.25 or 0.75 runs word-wise; true when it did.
bool WordRunForAlpha(uint32_t* p, int n, intptr_t step, uint32_t colour, float alpha, int mode) {
    if (alpha != 1.0f && alpha != 0.5f && alpha != 0.25f && alpha != 0.75f) return false;
    return Raster_DispatchWordWise(mode, Raster_ShapeWeight(alpha), [&](auto tag) {
        WordRun<typename decltype(tag)::type>(p, n, step, colour);
    });
}

// ---------------------------------------------------------------------------------------------
// General lines, one member per combiner.

template <class C>
class Raster_LineClass {
public:
    // Two-ended line from p0 to p1 (major delta `major` > 0, minor delta `minor` >= 0 in steps of
    // minorStep). Both cursors walk toward the middle; errstep is the 16.16 minor advance per pixel.
    static void LineImpl(uint32_t* p0, uint32_t* p1, int major, int minor, intptr_t majorStep,
                         intptr_t minorStep, const Raster_ShapeColour& c, int w, bool aa) {
        const int errstep = (int)(((double)minor / (double)major) * 65536.0);
        const int steps = (major + 1) / 2;
        if (!aa) {
            int err = 0;
            for (int i = 0; i < steps; ++i) {
                C::doPix(p0, c.r, c.g, c.b, c.a, w);
                C::doPix(p1, c.r, c.g, c.b, c.a, w);
                p0 += majorStep;
                p1 -= majorStep;
                err += errstep;
                if (err >= 0x8000) {
                    p0 += minorStep;
                    p1 -= minorStep;
                    err -= 0x10000;
                }
            }
            if (!(major & 1)) C::doPix(p0, c.r, c.g, c.b, c.a, w);
            return;
        }
        // Wu: both ends at full weight, then a pixel and its minor neighbour from each end.
        C::doPix(p0, c.r, c.g, c.b, c.a, w);
        C::doPix(p1, c.r, c.g, c.b, c.a, w);
        int f = errstep;
        for (int i = 1; i < steps; ++i) {
            p0 += majorStep;
            p1 -= majorStep;
            const int wa = (255 - (f >> 8)) * w / 256, wb = (f >> 8) * w / 256;
            Raster_ShapePlot<C>(p0, c, wa);
            Raster_ShapePlot<C>(p0 + minorStep, c, wb);
            Raster_ShapePlot<C>(p1, c, wa);
            Raster_ShapePlot<C>(p1 - minorStep, c, wb);
            f += errstep;
            if (f >= 0x10000) {
                p0 += minorStep;
                p1 -= minorStep;
                f -= 0x10000;
            }
        }
        if (!(major & 1)) {
            p0 += majorStep;
            const int wa = (255 - (f >> 8)) * w / 256, wb = (f >> 8) * w / 256;
            Raster_ShapePlot<C>(p0, c, wa);
            Raster_ShapePlot<C>(p0 + minorStep, c, wb);
        }
    }

    // Sub-pixel antialiased line: count pixel pairs starting at major coordinate a, minor base
    // pixel `base` with its neighbour at base + dir carrying fraction f (16.16); pixels outside the
    // surface are skipped (the clipped ends may lie half a pixel off the last row or column).
    static void FLineImpl(const Raster_ShapeSurface& s, bool majorX, int a, int base, int dir, int f,
                          int fstep, int count, const Raster_ShapeColour& c, int w) {
        for (int i = 0; i < count; ++i, ++a) {
            const int wa = (255 - (f >> 8)) * w / 256, wb = (f >> 8) * w / 256;
            const int x0 = majorX ? a : base, y0 = majorX ? base : a;
            const int x1 = majorX ? a : base + dir, y1 = majorX ? base + dir : a;
            if (s.Inside(x0, y0)) Raster_ShapePlot<C>(s.Pixel(x0, y0), c, wa);
            if (s.Inside(x1, y1)) Raster_ShapePlot<C>(s.Pixel(x1, y1), c, wb);
            f += fstep;
            if (f >= 0x10000) {
                base += dir;
                f -= 0x10000;
            }
        }
    }

    // Runs of `on` pixels separated by `off` skipped pixels over [0, len), step pixels apart.
    static void DashedLine(uint32_t* p, int len, intptr_t step, int on, int off, const Raster_ShapeColour& c,
                           int w) {
        int pos = 0;
        const int period = on + off;
        while (len - pos >= period) {
            for (int i = 0; i < on; ++i) C::doPix(p + (pos + i) * step, c.r, c.g, c.b, c.a, w);
            pos += period;
        }
        const int rest = len - pos < on ? len - pos : on;
        for (int i = 0; i < rest; ++i) C::doPix(p + (pos + i) * step, c.r, c.g, c.b, c.a, w);
    }
};

// A 64-bit value brought back into int range.
inline int SaturateInt(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : (int)v);
}

// Integer line already clipped to the surface and in memory rows.
void DrawClippedLine(const Raster_ShapeSurface& s, int x1, int y1, int x2, int y2, uint32_t colour,
                     float alpha, int mode, bool aa) {
    const Raster_ShapeColour c(colour);
    const int w = Raster_ShapeWeight(alpha);
    const intptr_t span = s.span;

    if (y1 == y2) {
        if (x1 > x2) std::swap(x1, x2);
        uint32_t* p = s.Pixel(x1, y1);
        const int n = x2 - x1 + 1;
        if (WordRunForAlpha(p, n, 1, colour, alpha, mode)) return;
        Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_HALFMIX>(mode, w, [&](auto tag) {
            Raster_LineClassSimple<typename decltype(tag)::type>::HorizLine(p, n, c, w);
        });
        return;
    }
    if (x1 == x2) {
        if (y1 > y2) std::swap(y1, y2);
        uint32_t* p = s.Pixel(x1, y1);
        const int n = y2 - y1 + 1;
        if (WordRunForAlpha(p, n, span, colour, alpha, mode)) return;
        Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_HALFMIX>(mode, w, [&](auto tag) {
            Raster_LineClassSimple<typename decltype(tag)::type>::VertLine(p, n, span, c, w);
        });
        return;
    }

    int dx = x2 - x1, dy = y2 - y1;
    if (dx == dy || dx == -dy) {
        if (x1 > x2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
            dy = -dy;
        }
        const int n = x2 - x1 + 1;
        const intptr_t rowstep = dy > 0 ? span : -span;
        uint32_t* p = s.Pixel(x1, y1);
        const bool copy = (mode & RASTER_BLEND_MODE_MASK) == RASTER_BLEND_COPY;
        if (!aa) {
            if (copy && alpha == 1.0f) {
                WordRun<Raster_CombinePixelsClobberFAST>(p, n, rowstep + 1, colour);
                return;
            }
            Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_HALFMIX>(mode, w, [&](auto tag) {
                Raster_LineClassSimple<typename decltype(tag)::type>::DiagLine(p, n, rowstep + 1, c, w);
            });
            return;
        }
        if (copy && alpha == 1.0f) {
            const uint32_t cd = Raster_CombinePixelsThreeQuarterMix2FAST::prepare(colour);
            const uint32_t cs = Raster_CombinePixelsQuarterMix2FAST::prepare(colour);
            for (int i = 0; i < n; ++i, p += rowstep + 1) {
                Raster_CombinePixelsThreeQuarterMix2FAST::doPixFAST(p, cd);
                if (i + 1 < n) {
                    Raster_CombinePixelsQuarterMix2FAST::doPixFAST(p + 1, cs);
                    Raster_CombinePixelsQuarterMix2FAST::doPixFAST(p + rowstep, cs);
                }
            }
            return;
        }
        Raster_Dispatch<Raster_CombineSet::Solid>(mode, w, [&](auto tag) {
            Raster_LineClassSimple<typename decltype(tag)::type>::DiagLineAA(p, n, rowstep, c, w);
        });
        return;
    }

    // General line: the major axis is x when |dy| < |dx|; order the ends along it.
    const bool majorX = (dy < 0 ? -dy : dy) < (dx < 0 ? -dx : dx);
    if (majorX ? dx < 0 : dy < 0) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        dx = -dx;
        dy = -dy;
    }
    const int major = majorX ? dx : dy;
    const int minorDelta = majorX ? dy : dx;
    const int minor = minorDelta < 0 ? -minorDelta : minorDelta;
    const intptr_t majorStep = majorX ? 1 : span;
    intptr_t minorStep = majorX ? span : 1;
    if (minorDelta < 0) minorStep = -minorStep;
    uint32_t* p0 = s.Pixel(x1, y1);
    uint32_t* p1 = s.Pixel(x2, y2);
    // Plain lines use the family's Clobber and HalfMix members; antialiased ones blend each pixel
    // with its own weight and so always take the weighted copy.
    auto run = [&](auto tag) {
        Raster_LineClass<typename decltype(tag)::type>::LineImpl(p0, p1, major, minor, majorStep, minorStep,
                                                                 c, w, aa);
    };
    if (aa)
        Raster_Dispatch<Raster_CombineSet::Solid>(mode, w, run);
    else
        Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_CLOBBER | RASTER_COPY_HALFMIX>(mode, w, run);
}

} // namespace

// -------------------------------------------------------------------------------------------------

bool Raster_ClipLine(int* x1, int* y1, int* x2, int* y2, int left, int top, int right, int bottom) {
    if (!x1 || !y1 || !x2 || !y2) return false;
    int64_t ax = (int64_t)*x1 - left, ay = (int64_t)*y1 - top;
    int64_t bx = (int64_t)*x2 - left, by = (int64_t)*y2 - top;
    if (!ClipSegment<int64_t>(ax, ay, bx, by, (int64_t)right - left, (int64_t)bottom - top)) return false;
    *x1 = (int)(ax + left);
    *y1 = (int)(ay + top);
    *x2 = (int)(bx + left);
    *y2 = (int)(by + top);
    return true;
}

bool Raster_ClipFLine(float* x1, float* y1, float* x2, float* y2, float left, float top, float right,
                      float bottom) {
    if (!x1 || !y1 || !x2 || !y2) return false;
    if (!Raster_FiniteAll({*x1, *y1, *x2, *y2, left, top, right, bottom})) return false;
    double ax = (double)*x1 - left, ay = (double)*y1 - top;
    double bx = (double)*x2 - left, by = (double)*y2 - top;
    if (!ClipSegment<double>(ax, ay, bx, by, (double)right - left, (double)bottom - top)) return false;
    *x1 = (float)(ax + left);
    *y1 = (float)(ay + top);
    *x2 = (float)(bx + left);
    *y2 = (float)(by + top);
    return true;
}

void Raster_Line(Raster_IBitmap* dest, int x1, int y1, int x2, int y2, uint32_t colour, float alpha, int mode,
                 bool antialias) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok) return;
    int64_t ax = x1, ay = y1, bx = x2, by = y2;
    if (s.flipped) {
        ay = (int64_t)s.height - 1 - y1;
        by = (int64_t)s.height - 1 - y2;
    }
    if (!ClipSegment<int64_t>(ax, ay, bx, by, s.width, s.height)) return;
    DrawClippedLine(s, (int)ax, (int)ay, (int)bx, (int)by, colour, alpha, mode, antialias);
}

void Raster_FLine(Raster_IBitmap* dest, float x1, float y1, float x2, float y2, uint32_t colour, float alpha,
                  int mode, bool antialias) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok || !Raster_FiniteAll({x1, y1, x2, y2})) return;
    if (!antialias) {
        // Far-away ends are first brought in along the line so that truncation stays in range.
        double ax = x1, ay = y1, bx = x2, by = y2;
        const double lim = 1073741824.0;
        ax += lim, ay += lim, bx += lim, by += lim;
        if (!ClipSegment<double>(ax, ay, bx, by, 2 * lim, 2 * lim)) return;
        Raster_Line(dest, (int)(ax - lim), (int)(ay - lim), (int)(bx - lim), (int)(by - lim), colour, alpha,
                    mode, false);
        return;
    }
    const int w = Raster_ShapeWeight(alpha);
    double ax = x1, ay = y1, bx = x2, by = y2;
    if (s.flipped) {
        ay = s.height - 1 - ay;
        by = s.height - 1 - by;
    }
    if (!ClipSegment<double>(ax, ay, bx, by, s.width, s.height)) return;
    if (ax == bx && ay == by) return;

    const bool majorX = std::fabs(bx - ax) > std::fabs(by - ay);
    double sa = majorX ? ax : ay, sm = majorX ? ay : ax; // start: major, minor
    double ea = majorX ? bx : by, em = majorX ? by : bx; // end
    if (ea < sa) {
        std::swap(sa, ea);
        std::swap(sm, em);
    }
    const double a0 = std::ceil(sa), last = std::floor(ea);
    const int n = Raster_ShapeTrunc(last - a0);
    if (n < 0) return;
    const double slope = (em - sm) / (ea - sa);
    const double m = (a0 - sa) * slope + sm;
    int f = Raster_ShapeTrunc((m - std::floor(m)) * 65536.0);
    int base = Raster_ShapeTrunc(m);
    int dir = 1;
    if (slope < 0) {
        // The neighbour lies on the other side: take the pixel beyond and the complement.
        dir = -1;
        base += 1;
        f = 0xFFFF - f;
    }
    const int fstep = Raster_ShapeTrunc(std::fabs(slope) * 65536.0);
    const Raster_ShapeColour c(colour);
    const int a = Raster_ShapeTrunc(a0);
    Raster_Dispatch<Raster_CombineSet::Solid>(mode, w, [&](auto tag) {
        Raster_LineClass<typename decltype(tag)::type>::FLineImpl(s, majorX, a, base, dir, f, fstep, n + 1, c,
                                                                  w);
    });
}

void Raster_DashedLine(Raster_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff,
                       uint32_t colour, float alpha, int mode, bool antialias) {
    (void)antialias;
    const Raster_ShapeSurface s(dest);
    if (!s.ok || pxon < 1) return;
    if (pxoff < 0) pxoff = 0;
    int64_t ax = x1, ay = y1, bx = x2, by = y2;
    if (s.flipped) {
        ay = (int64_t)s.height - 1 - y1;
        by = (int64_t)s.height - 1 - y2;
    }
    if (!ClipSegment<int64_t>(ax, ay, bx, by, s.width, s.height)) return;
    const int w = Raster_ShapeWeight(alpha);
    const Raster_ShapeColour c(colour);
    uint32_t* p;
    int len;
    intptr_t step;
    if (ay == by) {
        if (ax > bx) std::swap(ax, bx);
        p = s.Pixel((int)ax, (int)ay);
        len = (int)(bx - ax);
        step = 1;
    } else if (ax == bx) {
        if (ay > by) std::swap(ay, by);
        p = s.Pixel((int)ax, (int)ay);
        len = (int)(by - ay);
        step = s.span;
    } else {
        return;
    }
    // Runs longer than any bitmap are all the same; limiting them keeps pxon + pxoff in range.
    if (pxon > (1 << 29)) pxon = 1 << 29;
    if (pxoff > (1 << 29)) pxoff = 1 << 29;
    Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_CLOBBER | RASTER_COPY_HALFMIX>(
        mode, w, [&](auto tag) {
            Raster_LineClass<typename decltype(tag)::type>::DashedLine(p, len, step, pxon, pxoff, c, w);
        });
}

void Raster_DrawRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t colour, float alpha,
                     int mode) {
    // Far corners are computed in 64 bits and brought back into int range; clipping does the rest.
    const int x2 = SaturateInt((int64_t)x + w), y2 = SaturateInt((int64_t)y + h);
    Raster_Line(dest, x, y, x2, y, colour, alpha, mode, false);
    Raster_Line(dest, x2, y, x2, y2, colour, alpha, mode, false);
    Raster_Line(dest, x2, y2, x, y2, colour, alpha, mode, false);
    Raster_Line(dest, x, y2, x, y, colour, alpha, mode, false);
}

void Raster_BorderedRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t fillcolour,
                         uint32_t bordercolour, float alpha, int mode) {
    Raster_FillRect(dest, SaturateInt((int64_t)x + 1), SaturateInt((int64_t)y + 1),
                    SaturateInt((int64_t)w - 1), SaturateInt((int64_t)h - 1), fillcolour, alpha, mode);
    Raster_DrawRect(dest, x, y, w, h, bordercolour, alpha, mode);
}
