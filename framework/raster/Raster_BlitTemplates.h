#pragma once
// Per-pixel loops of the blits, one instantiation per combiner (see Raster_Combine.h). The public
// routines (Raster_BlitImage, Raster_BlitDelta, Raster_RectFill) clip everything first; these loops trust
// their arguments: every pointer they are given addresses valid pixels for the whole area, and sampled
// positions are checked against the given source bounds before any read. Fixed-point positions and steps are
// 16.16 in 64-bit integers, added with wrap-around so that absurd steps stay defined.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_BlitArea.h"
#include "framework/raster/Raster_BlitRows.h"
#include "framework/raster/Raster_Combine.h"

inline int64_t Raster_FixAdd(int64_t a, int64_t b) {
    return (int64_t)((uint64_t)a + (uint64_t)b);
}
inline int64_t Raster_FixMul(int64_t a, int64_t n) {
    return (int64_t)((uint64_t)a * (uint64_t)n);
}

// A pixel's channels in four 16-bit lanes: alpha bits 0-15, red 16-31, green 32-47, blue 48-63.
inline uint64_t Raster_SpreadLanes(uint32_t p) {
    uint64_t v = p;
    v = (v | (v << 16)) & 0x0000FFFF0000FFFFull;
    return (v | (v << 8)) & 0x00FF00FF00FF00FFull;
}

// floor(v / n) = (v * Raster_BoxReciprocal[n]) >> 24 for every v <= 25 * 255 and n = 1..25:
// the entry is ceil(2^24 / n), whose excess over 2^24 / n adds less than 6375 / 2^24 to the
// quotient, never enough to reach the next integer.
struct Raster_BoxReciprocalTable {
    uint64_t v[26];
    constexpr Raster_BoxReciprocalTable() : v() {
        for (int n = 1; n <= 25; ++n) v[n] = ((1ull << 24) + (uint64_t)n - 1) / (uint64_t)n;
    }
    constexpr uint64_t operator[](int n) const { return v[n]; }
};
inline constexpr Raster_BoxReciprocalTable Raster_BoxReciprocal;

constexpr bool Raster_BoxReciprocalIsExact() {
    for (uint64_t n = 1; n <= 25; ++n)
        for (uint64_t v = 0; v <= 25 * 255; ++v)
            if (((v * Raster_BoxReciprocal[(int)n]) >> 24) != v / n) return false;
    return true;
}

// cols[x - lo] = the lane-spread sum of column x over rows r0..r1, for x = lo..hi.
inline void Raster_ColumnSums(uint64_t* cols, const Raster_BlitView& src, int lo, int hi, int r0, int r1) {
    int x = lo;
#if defined(__SSE2__)
    // Four columns at a time; unpacking a pixel's bytes to 16 bits gives the same lane order.
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= hi + 1; x += 4) {
        __m128i a = zero, b = zero;
        for (int ry = r0; ry <= r1; ++ry) {
            const __m128i p = _mm_loadu_si128((const __m128i*)(src.row(ry) + x));
            a = _mm_add_epi16(a, _mm_unpacklo_epi8(p, zero));
            b = _mm_add_epi16(b, _mm_unpackhi_epi8(p, zero));
        }
        _mm_storeu_si128((__m128i*)(cols + (x - lo)), a);
        _mm_storeu_si128((__m128i*)(cols + (x - lo) + 2), b);
    }
#endif
    for (; x <= hi; ++x) {
        uint64_t v = 0;
        for (int ry = r0; ry <= r1; ++ry) v += Raster_SpreadLanes(src.row(ry)[x]);
        cols[x - lo] = v;
    }
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
    // Nearest-pixel scaling; samples outside 0..right-1 x 0..bottom-1 are skipped. Kept out of line:
    // inlined into the (large) scaled blit its loop would compete for registers there.
    [[gnu::noinline]] static void scaleBlitFAST(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth,
                                                const Raster_BlitView& src, int64_t x0, int64_t y0,
                                                int64_t dx, int64_t dy, int right, int bottom) {
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
        for (int j = 0; j < h; ++j, dest += dpitch) {
            if constexpr (std::is_same_v<C, Raster_CombinePixelsClobberFAST>)
                Raster_RowFill(dest, w, prepared);
            else if constexpr (std::is_same_v<C, Raster_CombinePixelsHalfMix2FAST>)
                Raster_RowMix<1>(dest, w, prepared);
            else if constexpr (std::is_same_v<C, Raster_CombinePixelsQuarterMix2FAST>)
                Raster_RowMix<2>(dest, w, prepared);
            else if constexpr (std::is_same_v<C, Raster_CombinePixelsThreeQuarterMix2FAST>)
                Raster_RowMix<3>(dest, w, prepared);
            else
                for (int i = 0; i < w; ++i) C::doPixFAST(dest + i, prepared);
        }
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
    // weight within +-256 so that no combiner's arithmetic can overflow (a gradient whose alpha
    // passes below zero keeps its negative weights).
    static void gradBlit(uint32_t* dest, ptrdiff_t dpitch, int w, int h, const int64_t start[4],
                         const int64_t colStep[4], const int64_t rowStep[4]) {
        int64_t rowv[4] = {start[0], start[1], start[2], start[3]};
        for (int j = 0; j < h; ++j, dest += dpitch) {
            int64_t v[4] = {rowv[0], rowv[1], rowv[2], rowv[3]};
            for (int i = 0; i < w; ++i) {
                const int weight = Limit(v[3] / 65536, -256, 256);
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
            if constexpr (std::is_same_v<C, Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>) {
                Raster_RowCopySourceAlphaFull(dest, src, w);
                continue;
            } else if constexpr (std::is_same_v<C, Raster_CombinePixelsCopySourceAlphaNoClamp>) {
                if (weight > 0 && weight < 256) {
                    Raster_RowCopySourceAlphaWeighted(dest, src, w, weight);
                    continue;
                }
            }
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

    // Box kernel of (2 * RADIUS + 1)^2 taps centred on each sample; taps outside the bounds are
    // left out of the average. Channels are summed four at a time in 16-bit lanes of a 64-bit
    // word (at most 25 * 255 per lane); when neighbouring kernels overlap, each source column's
    // vertical sum is made once per destination row and shared.
    template <int RADIUS>
    static void scaleBlitFilterDown(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth,
                                    const Raster_BlitView& src, int64_t x0, int64_t y0, int64_t dx,
                                    int64_t dy, int right, int bottom, int weight) {
        // Columns that samples can reach (dx >= 1, so samples grow along the row).
        const int64_t firstSample = x0 >> 16,
                      lastSample = Raster_FixAdd(x0, Raster_FixMul(dx, dstw - 1)) >> 16;
        const int lo = (int)std::max<int64_t>(0, firstSample - RADIUS);
        const int hi = (int)std::min<int64_t>(right - 1, lastSample + RADIUS);
        uint64_t* cols = nullptr;
        if (dx <= (int64_t)(2 * RADIUS + 1) * 65536 && hi >= lo)
            cols = (uint64_t*)malloc(sizeof(uint64_t) * (size_t)(hi - lo + 1));
        int64_t y = y0;
        for (int j = 0; j < dsth; ++j, dest += dpitch, y = Raster_FixAdd(y, dy)) {
            const int64_t yl = y >> 16;
            if ((uint64_t)yl >= (uint64_t)bottom) continue;
            const int r0 = std::max((int)yl - RADIUS, 0), r1 = std::min((int)yl + RADIUS, bottom - 1);
            const int rows = r1 - r0 + 1;
            if (cols) Raster_ColumnSums(cols, src, lo, hi, r0, r1);
            int64_t x = x0;
            for (int i = 0; i < dstw; ++i, x = Raster_FixAdd(x, dx)) {
                const int64_t xl = x >> 16;
                if ((uint64_t)xl >= (uint64_t)right) continue;
                const int c0 = std::max((int)xl - RADIUS, 0), c1 = std::min((int)xl + RADIUS, right - 1);
                uint64_t sum = 0;
                if (cols) {
                    for (int cx = c0; cx <= c1; ++cx) sum += cols[cx - lo];
                } else {
                    for (int ry = r0; ry <= r1; ++ry) {
                        const uint32_t* p = src.row(ry);
                        for (int cx = c0; cx <= c1; ++cx) sum += Raster_SpreadLanes(p[cx]);
                    }
                }
                // The sample itself always lies inside, so the count is 1..25.
                const uint64_t m = Raster_BoxReciprocal[rows * (c1 - c0 + 1)];
                C::doPix(dest + i, (int)((((sum >> 16) & 0xFFFF) * m) >> 24),
                         (int)((((sum >> 32) & 0xFFFF) * m) >> 24), (int)(((sum >> 48) * m) >> 24),
                         (int)(((sum & 0xFFFF) * m) >> 24), weight);
            }
        }
        free(cols);
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

    // The channels at position (ps, pt); false (and nothing read) outside the bounds.
    template <bool BILINEAR>
    bool sample(const Raster_BlitView& src, int64_t ps, int64_t pt, int& r, int& g, int& b, int& a) const {
        const int64_t xi = ps >> 16, yi = pt >> 16;
        if ((uint64_t)xi >= (uint64_t)bw || (uint64_t)yi >= (uint64_t)bh) return false;
        if (BILINEAR) {
            Raster_SampleBilinear(src, ox, oy, (int)xi, (int)yi, (int)(ps & 0xFFFF), (int)(pt & 0xFFFF), bw,
                                  bh, r, g, b, a);
        } else {
            const uint32_t v = src.row(oy + (int)yi)[ox + xi];
            r = Raster_GetR(v);
            g = Raster_GetG(v);
            b = Raster_GetB(v);
            a = Raster_GetA(v);
        }
        return true;
    }
    // On to the next row: its start and its per-pixel steps.
    void nextRow() {
        s = Raster_FixAdd(s, dsdy);
        t = Raster_FixAdd(t, dtdy);
        dsdx = Raster_FixAdd(dsdx, dsdxdy);
        dtdx = Raster_FixAdd(dtdx, dtdxdy);
    }
};

class Raster_Template_Blit3 {
public:
    template <bool BILINEAR>
    static void deltaBlit(uint32_t* dest, ptrdiff_t dpitch, int dstw, int dsth, const Raster_BlitView& src,
                          Raster_DeltaParams p, Raster_CombineFunc comb, int weight) {
        for (int j = 0; j < dsth; ++j, dest += dpitch, p.nextRow()) {
            int64_t s = p.s, t = p.t;
            for (int i = 0; i < dstw; ++i, s = Raster_FixAdd(s, p.dsdx), t = Raster_FixAdd(t, p.dtdx)) {
                int r, g, b, a;
                if (p.sample<BILINEAR>(src, s, t, r, g, b, a)) comb(dest + i, r, g, b, a, weight);
            }
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
        for (int j = 0; j < dsth; ++j, dest += dpitch, p.nextRow()) {
            int64_t s = p.s, t = p.t, al = a0;
            for (int i = 0; i < dstw; ++i, s = Raster_FixAdd(s, p.dsdx), t = Raster_FixAdd(t, p.dtdx),
                     al = Raster_FixAdd(al, dadx)) {
                int r, g, b, a;
                if (!p.sample<BILINEAR>(src, s, t, r, g, b, a)) continue;
                const int64_t wl = al >> 8;
                comb(dest + i, r, g, b, a, wl < -4096 ? -4096 : (wl > 4096 ? 4096 : (int)wl));
            }
            a0 = Raster_FixAdd(a0, dady);
            dadx = Raster_FixAdd(dadx, dadxdy);
        }
    }
};
