#pragma once
// Per-pixel loops of the blits, one instantiation per combiner (see Raster_Combine.h). The public
// routines in Raster_Blit.cpp clip everything first; these loops trust their arguments: every
// pointer they are given addresses valid pixels for the whole area, and sampled positions are
// checked against the given source bounds before any read. Fixed-point positions and steps are
// 16.16 in 64-bit integers, added with wrap-around so that absurd steps stay defined.

#include <cstddef>
#include <cstdint>

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

inline int64_t Raster_FixAdd(int64_t a, int64_t b) {
    return (int64_t)((uint64_t)a + (uint64_t)b);
}
inline int64_t Raster_FixMul(int64_t a, int64_t n) {
    return (int64_t)((uint64_t)a * (uint64_t)n);
}

// Signature shared by every combiner's doPix, for the loops that take the combiner as a pointer.
typedef void (*Raster_CombineFunc)(uint32_t* dest, int r, int g, int b, int a, int w);

// Bilinear sample at integer (xi, yi) with 16-bit fractions (fx, fy) inside bounds right x bottom
// (0 <= xi < right, 0 <= yi < bottom). The last column and row use two taps, the corner one.
inline void Raster_SampleBilinear(const Raster_BlitView& s, int ox, int oy, int xi, int yi, int fx, int fy,
                                  int right, int bottom, int& r, int& g, int& b, int& a) {
    const uint32_t* row0 = s.row(oy + yi) + ox + xi;
    const uint32_t p00 = row0[0];
    if (yi < bottom - 1) {
        const uint32_t* row1 = s.row(oy + yi + 1) + ox + xi;
        const uint32_t p10 = row1[0];
        if (xi < right - 1) {
            const uint32_t p01 = row0[1], p11 = row1[1];
            const int w11 = (int)(((uint32_t)fx * (uint32_t)fy) >> 16);
            const int w01 = fx - w11, w10 = fy - w11, w00 = 65536 - fx - fy + w11;
            r = (Raster_GetR(p00) * w00 + Raster_GetR(p01) * w01 + Raster_GetR(p10) * w10 +
                 Raster_GetR(p11) * w11) >>
                16;
            g = (Raster_GetG(p00) * w00 + Raster_GetG(p01) * w01 + Raster_GetG(p10) * w10 +
                 Raster_GetG(p11) * w11) >>
                16;
            b = (Raster_GetB(p00) * w00 + Raster_GetB(p01) * w01 + Raster_GetB(p10) * w10 +
                 Raster_GetB(p11) * w11) >>
                16;
            a = (Raster_GetA(p00) * w00 + Raster_GetA(p01) * w01 + Raster_GetA(p10) * w10 +
                 Raster_GetA(p11) * w11) >>
                16;
        } else {
            const int i = 65536 - fy;
            r = (Raster_GetR(p00) * i + Raster_GetR(p10) * fy) >> 16;
            g = (Raster_GetG(p00) * i + Raster_GetG(p10) * fy) >> 16;
            b = (Raster_GetB(p00) * i + Raster_GetB(p10) * fy) >> 16;
            a = (Raster_GetA(p00) * i + Raster_GetA(p10) * fy) >> 16;
        }
    } else if (xi < right - 1) {
        const uint32_t p01 = row0[1];
        const int i = 65536 - fx;
        r = (Raster_GetR(p00) * i + Raster_GetR(p01) * fx) >> 16;
        g = (Raster_GetG(p00) * i + Raster_GetG(p01) * fx) >> 16;
        b = (Raster_GetB(p00) * i + Raster_GetB(p01) * fx) >> 16;
        a = (Raster_GetA(p00) * i + Raster_GetA(p01) * fx) >> 16;
    } else {
        r = Raster_GetR(p00);
        g = Raster_GetG(p00);
        b = Raster_GetB(p00);
        a = Raster_GetA(p00);
    }
}

// Word-wise loops: scaled nearest-pixel copies and solid fills.
template <class C>
class Raster_Template_Blit0 {
public:
    // Nearest-pixel scaling; samples outside 0..right-1 x 0..bottom-1 are skipped.
    static void scaleBlitFAST(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth,
                              const Raster_BlitView& src, int64_t x0, int64_t y0, int64_t dx, int64_t dy,
                              int right, int bottom) {
        int64_t y = y0;
        for (int j = 0; j < dsth; ++j, dest += dpitch, y = Raster_FixAdd(y, dy)) {
            const int64_t yi = y >> 16;
            if ((uint64_t)yi >= (uint64_t)bottom) continue;
            const uint32_t* srow = src.row((int)yi);
            int64_t x = x0;
            for (int i = 0; i < dstw; ++i, x = Raster_FixAdd(x, dx)) {
                const int64_t xi = x >> 16;
                if ((uint64_t)xi < (uint64_t)right) C::doPixFAST(dest + i, srow[xi]);
            }
        }
    }
    // Solid fill with the prepared colour word.
    static void solidBlitFAST(uint32_t* dest, ptrdiff_t dpitch, int w, int h, uint32_t prepared) {
        for (int j = 0; j < h; ++j, dest += dpitch)
            for (int i = 0; i < w; ++i) C::doPixFAST(dest + i, prepared);
    }
};

// Solid colour and gradient loops.
template <class C>
class Raster_Template_Blit1 {
public:
    static void solidBlit(uint32_t* dest, ptrdiff_t dpitch, int w, int h, int r, int g, int b, int a,
                          int weight) {
        for (int j = 0; j < h; ++j, dest += dpitch)
            for (int i = 0; i < w; ++i) C::doPix(dest + i, r, g, b, a, weight);
    }
    // Channels and weight in 16.16; per pixel the combiner gets value / 65536 for red, green and
    // blue, and a / 65536 as both weight and alpha value. Values are held within +-32767 and the
    // weight within 0..256 so that no combiner's arithmetic can overflow.
    static void gradBlit(uint32_t* dest, ptrdiff_t dpitch, int w, int h, const int64_t start[4],
                         const int64_t colStep[4], const int64_t rowStep[4]) {
        int64_t rowv[4] = {start[0], start[1], start[2], start[3]};
        for (int j = 0; j < h; ++j, dest += dpitch) {
            int64_t v[4] = {rowv[0], rowv[1], rowv[2], rowv[3]};
            for (int i = 0; i < w; ++i) {
                const int weight = Limit(v[3] / 65536, 0, 256);
                C::doPix(dest + i, Limit(v[0] / 65536, -32767, 32767), Limit(v[1] / 65536, -32767, 32767),
                         Limit(v[2] / 65536, -32767, 32767), weight, weight);
                for (int k = 0; k < 4; ++k) v[k] = Raster_FixAdd(v[k], colStep[k]);
            }
            for (int k = 0; k < 4; ++k) rowv[k] = Raster_FixAdd(rowv[k], rowStep[k]);
        }
    }

private:
    static int Limit(int64_t v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : (int)v); }
};

// Image loops: 1:1, scaled (nearest or bilinear) and box-filtered reduction.
template <class C>
class Raster_Template_Blit2 {
public:
    static void blit(uint32_t* dest, ptrdiff_t dpitch, const uint32_t* src, ptrdiff_t spitch, int w, int h,
                     int weight) {
        for (int j = 0; j < h; ++j, dest += dpitch, src += spitch) {
            for (int i = 0; i < w; ++i) {
                const uint32_t s = src[i];
                C::doPix(dest + i, Raster_GetR(s), Raster_GetG(s), Raster_GetB(s), Raster_GetA(s), weight);
            }
        }
    }

    template <bool BILINEAR>
    static void scaleBlit(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth, const Raster_BlitView& src,
                          int64_t x0, int64_t y0, int64_t dx, int64_t dy, int right, int bottom, int weight) {
        int64_t y = y0;
        for (int j = 0; j < dsth; ++j, dest += dpitch, y = Raster_FixAdd(y, dy)) {
            const int64_t yi = y >> 16;
            if ((uint64_t)yi >= (uint64_t)bottom) continue;
            const int fy = (int)(y & 0xFFFF);
            const uint32_t* srow = src.row((int)yi);
            int64_t x = x0;
            for (int i = 0; i < dstw; ++i, x = Raster_FixAdd(x, dx)) {
                const int64_t xi = x >> 16;
                if ((uint64_t)xi >= (uint64_t)right) continue;
                if (BILINEAR) {
                    int r, g, b, a;
                    Raster_SampleBilinear(src, 0, 0, (int)xi, (int)yi, (int)(x & 0xFFFF), fy, right, bottom,
                                          r, g, b, a);
                    C::doPix(dest + i, r, g, b, a, weight);
                } else {
                    const uint32_t s = srow[xi];
                    C::doPix(dest + i, Raster_GetR(s), Raster_GetG(s), Raster_GetB(s), Raster_GetA(s),
                             weight);
                }
            }
        }
    }

    // Box kernel of (2 * radius + 1)^2 taps centred on each sample; taps outside the bounds are
    // left out of the average.
    template <int RADIUS>
    static void scaleBlitFilterDown(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth,
                                    const Raster_BlitView& src, int64_t x0, int64_t y0, int64_t dx,
                                    int64_t dy, int right, int bottom, int weight) {
        constexpr int kTaps = (2 * RADIUS + 1) * (2 * RADIUS + 1);
        int64_t y = y0;
        for (int j = 0; j < dsth; ++j, dest += dpitch, y = Raster_FixAdd(y, dy)) {
            const int64_t yl = y >> 16;
            if ((uint64_t)yl >= (uint64_t)bottom) continue;
            const int yi = (int)yl;
            const bool rowsInside = yi >= RADIUS && yi + RADIUS < bottom;
            int64_t x = x0;
            for (int i = 0; i < dstw; ++i, x = Raster_FixAdd(x, dx)) {
                const int64_t xl = x >> 16;
                if ((uint64_t)xl >= (uint64_t)right) continue;
                const int xi = (int)xl;
                int sr = 0, sg = 0, sb = 0, sa = 0;
                if (rowsInside && xi >= RADIUS && xi + RADIUS < right) {
                    for (int oy = -RADIUS; oy <= RADIUS; ++oy) {
                        const uint32_t* p = src.row(yi + oy) + xi;
                        for (int ox = -RADIUS; ox <= RADIUS; ++ox) {
                            const uint32_t s = p[ox];
                            sr += Raster_GetR(s);
                            sg += Raster_GetG(s);
                            sb += Raster_GetB(s);
                            sa += Raster_GetA(s);
                        }
                    }
                    C::doPix(dest + i, sr / kTaps, sg / kTaps, sb / kTaps, sa / kTaps, weight);
                } else {
                    int n = 0;
                    for (int oy = -RADIUS; oy <= RADIUS; ++oy) {
                        const int ty = yi + oy;
                        if (ty < 0 || ty >= bottom) continue;
                        const uint32_t* p = src.row(ty);
                        for (int ox = -RADIUS; ox <= RADIUS; ++ox) {
                            const int tx = xi + ox;
                            if (tx < 0 || tx >= right) continue;
                            const uint32_t s = p[tx];
                            sr += Raster_GetR(s);
                            sg += Raster_GetG(s);
                            sb += Raster_GetB(s);
                            sa += Raster_GetA(s);
                            ++n;
                        }
                    }
                    // The sample itself always lies inside, so n >= 1.
                    C::doPix(dest + i, sr / n, sg / n, sb / n, sa / n, weight);
                }
            }
        }
    }
};

// Sampler behind rotated, delta and transform blits. Positions are relative to the bounds'
// origin (ox, oy) and must fall in 0..bw-1 x 0..bh-1 to be drawn.
struct Raster_DeltaParams {
    int64_t s, t;           // start of the first row
    int64_t dsdx, dtdx;     // per pixel
    int64_t dsdy, dtdy;     // per row, added to the row start
    int64_t dsdxdy, dtdxdy; // per row, added to the per-pixel steps
    int ox, oy, bw, bh;     // source bounds
};

class Raster_Template_Blit3 {
public:
    template <bool BILINEAR>
    static void deltaBlit(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth, const Raster_BlitView& src,
                          Raster_DeltaParams p, Raster_CombineFunc comb, int weight) {
        for (int j = 0; j < dsth; ++j, dest += dpitch) {
            int64_t s = p.s, t = p.t;
            for (int i = 0; i < dstw; ++i, s = Raster_FixAdd(s, p.dsdx), t = Raster_FixAdd(t, p.dtdx)) {
                const int64_t xi = s >> 16, yi = t >> 16;
                if ((uint64_t)xi >= (uint64_t)p.bw || (uint64_t)yi >= (uint64_t)p.bh) continue;
                int r, g, b, a;
                if (BILINEAR) {
                    Raster_SampleBilinear(src, p.ox, p.oy, (int)xi, (int)yi, (int)(s & 0xFFFF),
                                          (int)(t & 0xFFFF), p.bw, p.bh, r, g, b, a);
                } else {
                    const uint32_t v = src.row(p.oy + (int)yi)[p.ox + xi];
                    r = Raster_GetR(v);
                    g = Raster_GetG(v);
                    b = Raster_GetB(v);
                    a = Raster_GetA(v);
                }
                comb(dest + i, r, g, b, a, weight);
            }
            p.s = Raster_FixAdd(p.s, p.dsdy);
            p.t = Raster_FixAdd(p.t, p.dtdy);
            p.dsdx = Raster_FixAdd(p.dsdx, p.dsdxdy);
            p.dtdx = Raster_FixAdd(p.dtdx, p.dtdxdy);
        }
    }
};

// As Raster_Template_Blit3 with a weight a (16.16 of 1.0 = 65536) that grows by dadx per pixel,
// its row start by dady per row and dadx by dadxdy per row; the combiner receives a >> 8. The
// weight is held within -4096..4096 (far beyond any meaningful blend, short of overflow).
class Raster_Template_Blit4 {
public:
    template <bool BILINEAR>
    static void deltaBlitAlpha(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth,
                               const Raster_BlitView& src, Raster_DeltaParams p, Raster_CombineFunc comb,
                               int64_t a0, int64_t dadx, int64_t dady, int64_t dadxdy) {
        for (int j = 0; j < dsth; ++j, dest += dpitch) {
            int64_t s = p.s, t = p.t, al = a0;
            for (int i = 0; i < dstw; ++i, s = Raster_FixAdd(s, p.dsdx), t = Raster_FixAdd(t, p.dtdx),
                     al = Raster_FixAdd(al, dadx)) {
                const int64_t xi = s >> 16, yi = t >> 16;
                if ((uint64_t)xi >= (uint64_t)p.bw || (uint64_t)yi >= (uint64_t)p.bh) continue;
                int r, g, b, a;
                if (BILINEAR) {
                    Raster_SampleBilinear(src, p.ox, p.oy, (int)xi, (int)yi, (int)(s & 0xFFFF),
                                          (int)(t & 0xFFFF), p.bw, p.bh, r, g, b, a);
                } else {
                    const uint32_t v = src.row(p.oy + (int)yi)[p.ox + xi];
                    r = Raster_GetR(v);
                    g = Raster_GetG(v);
                    b = Raster_GetB(v);
                    a = Raster_GetA(v);
                }
                const int64_t wl = al >> 8;
                comb(dest + i, r, g, b, a, wl < -4096 ? -4096 : (wl > 4096 ? 4096 : (int)wl));
            }
            p.s = Raster_FixAdd(p.s, p.dsdy);
            p.t = Raster_FixAdd(p.t, p.dtdy);
            p.dsdx = Raster_FixAdd(p.dsdx, p.dsdxdy);
            p.dtdx = Raster_FixAdd(p.dtdx, p.dtdxdy);
            a0 = Raster_FixAdd(a0, dady);
            dadx = Raster_FixAdd(dadx, dadxdy);
        }
    }
};
