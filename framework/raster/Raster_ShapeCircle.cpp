// Circles: prepared stencils for the smallest radii, the midpoint and antialiased circle drawers
// with optional clipping, arcs cut into quarter-turn pieces, and rounded rectangles.

#include "framework/raster/Raster_ShapeCircle.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

#include "framework/raster/Raster_FontGlyph.h"
#include "framework/raster/Raster_Line.h"
#include "framework/raster/Raster_ShapeCommon.h"

namespace {

constexpr double kMaxRadius = 1048576.0;

// Coverage stencils of the small outline circles, one row after another.
const uint8_t kAliasedStencil1_5[16] = {
    0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0xFF, 0x00,
};
const uint8_t kAAStencil1_5[16] = {
    0x4F, 0xFF, 0xFF, 0x4F, 0xFF, 0x0F, 0x0F, 0xFF, 0xFF, 0x0F, 0x0F, 0xFF, 0x4F, 0xFF, 0xFF, 0x4F,
};
const uint8_t kAliasedStencil2[25] = {
    0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00,
};
const uint8_t kAAStencil2[25] = {
    0x0F, 0xBF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0xFF, 0x4F, 0x00,
    0x4F, 0xFF, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xBF, 0x0F,
};
const uint8_t kAliasedStencil2_5[36] = {
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
};
const uint8_t kAAStencil2_5[36] = {
    0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
    0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF, 0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
    0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F,
};
const uint8_t kAliasedStencil3[49] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const uint8_t kAAStencil3[49] = {
    0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F, 0xFF, 0x70, 0x00,
    0x00, 0x00, 0x70, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xFF, 0x70, 0x00, 0x00, 0x00, 0x70,
    0xFF, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00,
};
const uint8_t kAliasedStencil3_5[64] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const uint8_t kAAStencil3_5[64] = {
    0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00, 0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
    0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE, 0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
    0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF, 0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
    0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F, 0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00,
};
const uint8_t kAliasedStencil4[81] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const uint8_t kAAStencil4[81] = {
    0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00, 0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0,
    0x1F, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x4F, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x4F, 0xFF, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0x1F, 0xF0, 0xD1, 0x4F, 0x40,
    0x4F, 0xD1, 0xF0, 0x1F, 0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00,
};

struct Stencil {
    float radius;
    int side;
    const uint8_t* aliased;
    const uint8_t* antialiased;
};

const Stencil kStencils[] = {
    {1.5f, 4, kAliasedStencil1_5, kAAStencil1_5}, {2.0f, 5, kAliasedStencil2, kAAStencil2},
    {2.5f, 6, kAliasedStencil2_5, kAAStencil2_5}, {3.0f, 7, kAliasedStencil3, kAAStencil3},
    {3.5f, 8, kAliasedStencil3_5, kAAStencil3_5}, {4.0f, 9, kAliasedStencil4, kAAStencil4},
};

// Clip rectangle, right and bottom exclusive.
struct ClipRect {
    int left, top, right, bottom;
};

// The circle drawers, one member per combiner. kClip: test each pixel against the clip rectangle
// (only needed when the figure comes near it).
template <class C>
class Raster_CircleDrawer {
public:
    template <bool kClip>
    static void DrawClippedPt(const Raster_ShapeSurface& s, const ClipRect& clip, int x, int y,
                              const Raster_ShapeColour& c, int w) {
        if (kClip && (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom)) return;
        Raster_ShapePlot<C>(s.Pixel(x, y), c, w);
    }

    // Row y from xa to xb, both included.
    template <bool kClip>
    static void DrawClippedHorzLine(const Raster_ShapeSurface& s, const ClipRect& clip, int y, int xa, int xb,
                                    const Raster_ShapeColour& c, int w) {
        if (kClip) {
            if (y < clip.top || y >= clip.bottom) return;
            if (xa < clip.left) xa = clip.left;
            if (xb >= clip.right) xb = clip.right - 1;
        }
        if (xa > xb) return;
        uint32_t* p = s.Pixel(xa, y);
        if constexpr (std::is_same_v<C, Raster_CombinePixelsCopyNoClamp>) {
            // The weighted copy at full weight is the colour itself: store the word.
            if (w == 256) {
                std::fill(p, p + (xb - xa + 1), c.word);
                return;
            }
        }
        for (int i = xb - xa; i >= 0; --i) C::doPix(p++, c.r, c.g, c.b, c.a, w);
    }

    // Column x from ya to yb, both included.
    template <bool kClip>
    static void DrawClippedVertLine(const Raster_ShapeSurface& s, const ClipRect& clip, int x, int ya, int yb,
                                    const Raster_ShapeColour& c, int w) {
        if (kClip) {
            if (x < clip.left || x >= clip.right) return;
            if (ya < clip.top) ya = clip.top;
            if (yb >= clip.bottom) yb = clip.bottom - 1;
        }
        if (ya > yb) return;
        uint32_t* p = s.Pixel(x, ya);
        if constexpr (std::is_same_v<C, Raster_CombinePixelsCopyNoClamp>) {
            if (w == 256) {
                for (int i = yb - ya; i >= 0; --i, p += s.span) *p = c.word;
                return;
            }
        }
        for (int i = yb - ya; i >= 0; --i, p += s.span) C::doPix(p, c.r, c.g, c.b, c.a, w);
    }

    // Midpoint circle about the rounded centre with radius truncate(r + 0.5).
    template <bool kClip>
    static void DrawClippedCircle(const Raster_ShapeSurface& s, const ClipRect& clip, double fcx, double fcy,
                                  double r, const Raster_ShapeColour& c, int w, bool filled) {
        const int cx = (int)(fcx + 0.5), cy = (int)(fcy + 0.5), R = (int)(r + 0.5);
        auto pt = [&](int x, int y) { DrawClippedPt<kClip>(s, clip, x, y, c, w); };
        auto hl = [&](int y, int xa, int xb) { DrawClippedHorzLine<kClip>(s, clip, y, xa, xb, c, w); };
        auto vl = [&](int x, int ya, int yb) { DrawClippedVertLine<kClip>(s, clip, x, ya, yb, c, w); };
        if (R == 0) {
            // The four axis points coincide: one pixel, drawn once.
            pt(cx, cy);
            return;
        }
        if (filled) {
            vl(cx, cy - R, cy - 1);
            vl(cx, cy + 1, cy + R);
            hl(cy, cx - R, cx + R);
        } else {
            pt(cx, cy - R);
            pt(cx, cy + R);
            pt(cx - R, cy);
            pt(cx + R, cy);
        }
        int y = R, e = -R;
        for (int x = 1; x < y; ++x) {
            const int yp = e >= 0 ? y - 1 : y;
            if (filled) {
                FillSpans<kClip>(s, clip, cx, cy, x, yp, c, w);
            } else {
                pt(cx - x, cy - yp);
                pt(cx + x, cy - yp);
                pt(cx - x, cy + yp);
                pt(cx + x, cy + yp);
                if (x != yp) {
                    pt(cx - yp, cy - x);
                    pt(cx + yp, cy - x);
                    pt(cx - yp, cy + x);
                    pt(cx + yp, cy + x);
                }
            }
            if (e < 0)
                e += 2 * x + 1;
            else
                e += 2 * (x - y) + 1;
            y = yp;
        }
    }

    // Antialiased circle: radius truncate(r) at full weight, the fractional part on an outer ring.
    template <bool kClip>
    static void DrawClippedCircleAA(const Raster_ShapeSurface& s, const ClipRect& clip, double fcx,
                                    double fcy, double r, const Raster_ShapeColour& c, int w, bool filled) {
        const int cx = (int)(fcx + 0.5), cy = (int)(fcy + 0.5), R = (int)r;
        const int wf = (int)((r - std::floor(r)) * w);
        auto pt = [&](int x, int y, int wt) { DrawClippedPt<kClip>(s, clip, x, y, c, wt); };
        pt(cx, cy - R - 1, wf);
        pt(cx, cy + R + 1, wf);
        pt(cx - R - 1, cy, wf);
        pt(cx + R + 1, cy, wf);
        if (filled) {
            // The axis spans include the centre pixel.
            DrawClippedVertLine<kClip>(s, clip, cx, cy - R, cy - 1, c, w);
            DrawClippedVertLine<kClip>(s, clip, cx, cy + 1, cy + R, c, w);
            DrawClippedHorzLine<kClip>(s, clip, cy, cx - R, cx + R, c, w);
        } else if (R == 0) {
            pt(cx, cy, w - wf);
        } else {
            pt(cx, cy - R, w - wf);
            pt(cx, cy + R, w - wf);
            pt(cx - R, cy, w - wf);
            pt(cx + R, cy, w - wf);
        }
        const double r2 = r * r;
        for (int x = 1;; ++x) {
            const double d = r2 - (double)x * x;
            if (d < 0) break; // past the radius: nothing left to draw
            const double y = std::sqrt(d);
            const int ry = (int)(y + 0.5);
            if (ry < x) break;
            const int G = (int)y;
            const int wy = (int)((y - std::floor(y)) * w);
            pt(cx - x, cy - G - 1, wy);
            pt(cx + x, cy - G - 1, wy);
            pt(cx - x, cy + G + 1, wy);
            pt(cx + x, cy + G + 1, wy);
            if (x != ry) {
                pt(cx - G - 1, cy - x, wy);
                pt(cx + G + 1, cy - x, wy);
                pt(cx - G - 1, cy + x, wy);
                pt(cx + G + 1, cy + x, wy);
            }
            if (filled) {
                FillSpans<kClip>(s, clip, cx, cy, x, G, c, w);
            } else {
                const int wi = w - wy;
                pt(cx - G, cy - x, wi);
                pt(cx + G, cy - x, wi);
                pt(cx - x, cy + G, wi);
                pt(cx + x, cy + G, wi);
                // When G == x these four are the four just drawn: draw each pixel once.
                if (x != ry && x != G) {
                    pt(cx - x, cy - G, wi);
                    pt(cx + x, cy - G, wi);
                    pt(cx - G, cy + x, wi);
                    pt(cx + G, cy + x, wi);
                }
            }
        }
    }

private:
    // The spans of one step of a filled circle: columns cx -+ x above and below the diagonal, rows
    // cy -+ x from the diagonal outwards, to extent yp.
    template <bool kClip>
    static void FillSpans(const Raster_ShapeSurface& s, const ClipRect& clip, int cx, int cy, int x, int yp,
                          const Raster_ShapeColour& c, int w) {
        DrawClippedVertLine<kClip>(s, clip, cx - x, cy - yp, cy - x - 1, c, w);
        DrawClippedVertLine<kClip>(s, clip, cx - x, cy + x + 1, cy + yp, c, w);
        DrawClippedVertLine<kClip>(s, clip, cx + x, cy - yp, cy - x - 1, c, w);
        DrawClippedVertLine<kClip>(s, clip, cx + x, cy + x + 1, cy + yp, c, w);
        DrawClippedHorzLine<kClip>(s, clip, cy - x, cx - yp, cx - x, c, w);
        DrawClippedHorzLine<kClip>(s, clip, cy - x, cx + x, cx + yp, c, w);
        DrawClippedHorzLine<kClip>(s, clip, cy + x, cx - yp, cx - x, c, w);
        DrawClippedHorzLine<kClip>(s, clip, cy + x, cx + x, cx + yp, c, w);
    }
};

// Runs the right drawer for the combiner the mode selects: aliased circles use the Clobber and
// HalfMix members in copy mode, antialiased ones always the weighted copy.
void RunDrawer(const Raster_ShapeSurface& s, const ClipRect& clip, bool doclip, double cx, double cy,
               double r, const Raster_ShapeColour& c, int w, int mode, bool aa, bool filled) {
    auto run = [&](auto tag) {
        using D = Raster_CircleDrawer<typename decltype(tag)::type>;
        if (aa) {
            if (doclip)
                D::template DrawClippedCircleAA<true>(s, clip, cx, cy, r, c, w, filled);
            else
                D::template DrawClippedCircleAA<false>(s, clip, cx, cy, r, c, w, filled);
        } else {
            if (doclip)
                D::template DrawClippedCircle<true>(s, clip, cx, cy, r, c, w, filled);
            else
                D::template DrawClippedCircle<false>(s, clip, cx, cy, r, c, w, filled);
        }
    };
    if (aa)
        Raster_Dispatch<Raster_CombineSet::Solid>(mode, w, run);
    else
        Raster_Dispatch<Raster_CombineSet::Solid, RASTER_COPY_CLOBBER | RASTER_COPY_HALFMIX>(mode, w, run);
}

// False when nothing of a circle about (cx, cy) with radius r can reach the surface, or the values
// are unusable. Every pixel a drawer touches lies within r + 2 of the centre.
bool CircleReachesSurface(const Raster_ShapeSurface& s, double cx, double cy, double r) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || !(r >= 0) || r > kMaxRadius)
        return false;
    return cx + r + 2 >= 0 && cy + r + 2 >= 0 && cx - r - 2 < s.width && cy - r - 2 < s.height;
}

void CircleImpl(Raster_IBitmap* dest, float fcx, float fcy, float fr, uint32_t colour, float alpha, int mode,
                bool aa, bool filled) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok) return;
    const int w = Raster_ShapeWeight(alpha);
    if (w == 0) return;
    double cx = fcx, cy = fcy;
    const double r = fr;
    if (s.flipped) cy = s.height - 1 - cy;
    if (!CircleReachesSurface(s, cx, cy, r)) return;
    if (!filled) {
        for (const Stencil& st : kStencils) {
            if (fr == st.radius) {
                // The glyph routine maps rows of flipped bitmaps itself: pass the caller's y.
                Raster_DrawGlyph(dest, (int)(fcx - fr), (int)(fcy - fr), colour,
                                 aa ? st.antialiased : st.aliased, st.side, st.side, alpha, mode);
                return;
            }
        }
    }
    const ClipRect clip = {0, 0, s.width, s.height};
    const bool doclip = cx - r - 2 < 0 || cy - r - 2 < 0 || cx + r + 2 >= s.width || cy + r + 2 >= s.height;
    RunDrawer(s, clip, doclip, cx, cy, r, Raster_ShapeColour(colour), w, mode, aa, filled);
}

inline int RoundToInt(double v) {
    return (int)std::floor(v + 0.5);
}

} // namespace

void Raster_Circle(Raster_IBitmap* dest, float cx, float cy, float r, uint32_t colour, float alpha, int mode,
                   bool antialias) {
    CircleImpl(dest, cx, cy, r, colour, alpha, mode, antialias, false);
}

void Raster_FillCircle(Raster_IBitmap* dest, float cx, float cy, float r, uint32_t colour, float alpha,
                       int mode, bool antialias) {
    CircleImpl(dest, cx, cy, r, colour, alpha, mode, antialias, true);
}

void Raster_Arc(Raster_IBitmap* dest, float fcx, float fcy, float fr, float minAngle, float maxAngle,
                uint32_t colour, float alpha, int mode, bool antialias) {
    const Raster_ShapeSurface s(dest);
    if (!s.ok) return;
    const int w = Raster_ShapeWeight(alpha);
    if (w == 0 || !std::isfinite(minAngle) || !std::isfinite(maxAngle)) return;
    double cx = fcx, cy = fcy;
    const double r = fr;
    if (s.flipped) cy = s.height - 1 - cy;
    if (!CircleReachesSurface(s, cx, cy, r)) return;
    double lo = minAngle, hi = maxAngle;
    if (hi - lo >= 2 * std::numbers::pi) {
        Raster_Circle(dest, fcx, fcy, fr, colour, alpha, mode, antialias);
        return;
    }
    if (s.flipped) {
        // Mirroring top to bottom turns angle a into pi - a and reverses the direction.
        const double t = lo;
        lo = std::numbers::pi - hi;
        hi = std::numbers::pi - t;
    }
    lo = std::fmod(lo, 2 * std::numbers::pi);
    if (lo < 0) lo += 2 * std::numbers::pi;
    hi = std::fmod(hi, 2 * std::numbers::pi);
    if (hi < 0) hi += 2 * std::numbers::pi;
    if (hi < lo) hi += 2 * std::numbers::pi;
    if (!(hi > lo)) return;

    const int icx = (int)(cx + 0.5), icy = (int)(cy + 0.5);
    const Raster_ShapeColour c(colour);
    const double quarter = std::numbers::pi / 2;
    // Pieces of at most a quarter turn, cut at multiples of pi/2; slivers left by rounding of the
    // angles are skipped.
    for (int k = (int)std::floor(lo / quarter), n = 0; n < 12; ++k, ++n) {
        const double a = std::max(lo, k * quarter), b = std::min(hi, (k + 1) * quarter);
        if (a >= hi) break;
        if (b - a < 1e-6) continue;
        const int xa = RoundToInt(cx + r * std::sin(a)), ya = RoundToInt(cy - r * std::cos(a));
        const int xb = RoundToInt(cx + r * std::sin(b)), yb = RoundToInt(cy - r * std::cos(b));
        const int mx = std::max(xa, xb), my = std::max(ya, yb);
        ClipRect clip;
        clip.left = std::max(0, std::min(xa, xb));
        clip.top = std::max(0, std::min(ya, yb));
        clip.right = std::min(s.width, mx + 1 + (mx != icx ? 1 : 0));
        clip.bottom = std::min(s.height, my + 1 + (my != icy ? 1 : 0));
        if (clip.left >= clip.right || clip.top >= clip.bottom) continue;
        RunDrawer(s, clip, true, cx, cy, r, c, w, mode, antialias, false);
    }
}

void Raster_RoundRect(Raster_IBitmap* dest, float x, float y, float w, float h, int cornerRadius,
                      uint32_t colour, float alpha, int mode, bool antialias) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h)) return;
    const float r = std::floor(std::min(std::min((float)cornerRadius, w / 2), h / 2));
    auto ti = [](double v) { return Raster_ShapeTruncSafe(v); };
    if (cornerRadius <= 0 || r < 2) {
        Raster_DrawRect(dest, ti(x), ti(y), ti(w), ti(h), colour, alpha, mode);
        return;
    }
    Raster_Line(dest, ti(x + r), ti(y), ti(x + w - r), ti(y), colour, alpha, mode, antialias);
    Raster_Line(dest, ti(x + r - 1), ti(y + h), ti(x + w - r), ti(y + h), colour, alpha, mode, antialias);
    Raster_Line(dest, ti(x + w), ti(y + r), ti(x + w), ti(y + h - r), colour, alpha, mode, antialias);
    Raster_Line(dest, ti(x), ti(y + r - 1), ti(x), ti(y + h - r), colour, alpha, mode, antialias);
    const float hp = (float)(std::numbers::pi / 2);
    Raster_Arc(dest, x + r, y + r, r, -hp, 0, colour, alpha, mode, antialias);
    Raster_Arc(dest, x + w - r, y + r, r, 0, hp, colour, alpha, mode, antialias);
    Raster_Arc(dest, x + w - r, y + h - r, r, hp, (float)std::numbers::pi, colour, alpha, mode, antialias);
    Raster_Arc(dest, x + r, y + h - r, r, (float)std::numbers::pi, 3 * hp, colour, alpha, mode, antialias);
}
