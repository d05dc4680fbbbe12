#pragma once
// Row kernels for the hottest blit paths: solid fills and word-wise mixes, 1:1 half mixes, and
// copies with source alpha. Each gives exactly the result of its combiner in Raster_Combine.h
// (they are the same arithmetic, several pixels at a time with SSE2 where available, otherwise
// one pixel at a time). Pointers address n valid pixels; source and destination rows do not overlap.

#include <cstdint>

#include "framework/raster/Raster_Combine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// dest[i] = colour.
inline void Raster_RowFill(uint32_t* dest, int n, uint32_t colour) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i c = _mm_set1_epi32((int)colour);
    for (; i + 4 <= n; i += 4) _mm_storeu_si128((__m128i*)(dest + i), c);
#endif
    for (; i < n; ++i) dest[i] = colour;
}

#if defined(__SSE2__)
inline __m128i Raster_HalfWord4(__m128i x) {
    return _mm_and_si128(_mm_srli_epi32(x, 1), _mm_set1_epi8(0x7F));
}
inline __m128i Raster_QuarterWord4(__m128i x) {
    return _mm_and_si128(_mm_srli_epi32(x, 2), _mm_set1_epi8(0x3F));
}
#endif

// The word-wise solid mixes: KIND 1 = half(d) + c, 2 = quarter(d) + half(d) + c, 3 = quarter(d) + c,
// with c prepared by the matching FAST combiner.
template <int KIND>
inline void Raster_RowMix(uint32_t* dest, int n, uint32_t c) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i cv = _mm_set1_epi32((int)c);
    for (; i + 4 <= n; i += 4) {
        const __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
        __m128i r;
        if (KIND == 1)
            r = _mm_add_epi32(Raster_HalfWord4(d), cv);
        else if (KIND == 2)
            r = _mm_add_epi32(_mm_add_epi32(Raster_QuarterWord4(d), Raster_HalfWord4(d)), cv);
        else
            r = _mm_add_epi32(Raster_QuarterWord4(d), cv);
        _mm_storeu_si128((__m128i*)(dest + i), r);
    }
#endif
    for (; i < n; ++i) {
        const uint32_t d = dest[i];
        if (KIND == 1)
            dest[i] = Raster_HalfWord(d) + c;
        else if (KIND == 2)
            dest[i] = Raster_QuarterWord(d) + Raster_HalfWord(d) + c;
        else
            dest[i] = Raster_QuarterWord(d) + c;
    }
}

// dest[i] = half(dest[i]) + half(src[i]).
inline void Raster_RowHalfMix(uint32_t* dest, const uint32_t* src, int n) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4) {
        const __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
        const __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
        _mm_storeu_si128((__m128i*)(dest + i), _mm_add_epi32(Raster_HalfWord4(d), Raster_HalfWord4(s)));
    }
#endif
    for (; i < n; ++i) dest[i] = Raster_HalfWord(dest[i]) + Raster_HalfWord(src[i]);
}

#if defined(__SSE2__)
// Two pixels in 16-bit lanes: s + trunc((d - s) * k / 256), computed as s + floor(|d - s| * k / 256)
// with the sign of d - s. Callers keep k <= 256, so |d - s| * k stays below 65536.
inline __m128i Raster_CopyToward16(__m128i d, __m128i s, __m128i k) {
    const __m128i pos = _mm_subs_epu16(d, s), neg = _mm_subs_epu16(s, d);
    const __m128i qp = _mm_srli_epi16(_mm_mullo_epi16(pos, k), 8);
    const __m128i qn = _mm_srli_epi16(_mm_mullo_epi16(neg, k), 8);
    return _mm_sub_epi16(_mm_add_epi16(s, qp), qn);
}
// Each pixel's lane 0 (its alpha) copied to its four lanes.
inline __m128i Raster_BroadcastAlpha16(__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0), 0);
}
#endif

// Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp over a row.
inline void Raster_RowCopySourceAlphaFull(uint32_t* dest, const uint32_t* src, int n) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), alphaByte = _mm_set1_epi32(0xFF), c255 = _mm_set1_epi16(255);
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
        const __m128i sa = _mm_and_si128(s, alphaByte);
        const __m128i transparent = _mm_cmpeq_epi32(sa, zero);
        if (_mm_movemask_epi8(transparent) == 0xFFFF) continue;
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaByte)) == 0xFFFF) {
            // All four opaque: the source words themselves (alpha 255).
            _mm_storeu_si128((__m128i*)(dest + i), s);
            continue;
        }
        const __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
        // (d - s) * (255 - a) / 256: the product is at most 255 * 255.
        const __m128i slo = _mm_unpacklo_epi8(s, zero), shi = _mm_unpackhi_epi8(s, zero);
        const __m128i rlo = Raster_CopyToward16(_mm_unpacklo_epi8(d, zero), slo,
                                                _mm_sub_epi16(c255, Raster_BroadcastAlpha16(slo)));
        const __m128i rhi = Raster_CopyToward16(_mm_unpackhi_epi8(d, zero), shi,
                                                _mm_sub_epi16(c255, Raster_BroadcastAlpha16(shi)));
        __m128i r = _mm_packus_epi16(rlo, rhi);
        // Alpha: min(d + a, 255).
        r = _mm_or_si128(_mm_andnot_si128(alphaByte, r), _mm_and_si128(alphaByte, _mm_adds_epu8(d, s)));
        // Transparent source pixels leave the destination.
        r = _mm_or_si128(_mm_and_si128(transparent, d), _mm_andnot_si128(transparent, r));
        _mm_storeu_si128((__m128i*)(dest + i), r);
    }
#endif
    for (; i < n; ++i) {
        const uint32_t s = src[i];
        Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(
            dest + i, Raster_GetR(s), Raster_GetG(s), Raster_GetB(s), Raster_GetA(s), 256);
    }
}

// Raster_CombinePixelsCopySourceAlphaNoClamp over a row, for weights 0 < w < 256.
inline void Raster_RowCopySourceAlphaWeighted(uint32_t* dest, const uint32_t* src, int n, int w) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1), c256 = _mm_set1_epi16(256);
    const __m128i wv = _mm_set1_epi16((short)w), c255 = _mm_set1_epi16(255);
    const __m128i alphaLanes = _mm_set_epi16(0, 0, 0, -1, 0, 0, 0, -1), alphaByte = _mm_set1_epi32(0xFF);
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
        // Four transparent source pixels leave the destination as it is.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alphaByte), zero)) == 0xFFFF) continue;
        const __m128i d = _mm_loadu_si128((const __m128i*)(dest + i));
        __m128i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m128i s16 = h ? _mm_unpackhi_epi8(s, zero) : _mm_unpacklo_epi8(s, zero);
            const __m128i d16 = h ? _mm_unpackhi_epi8(d, zero) : _mm_unpacklo_epi8(d, zero);
            // w' = w * (a + 1) / 256 <= 255 (the product stays below 65536 for w < 256).
            const __m128i w2 =
                _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(Raster_BroadcastAlpha16(s16), one), wv), 8);
            // Colour: s + (d - s) * (256 - w') / 256, the product at most 255 * 256.
            const __m128i col = Raster_CopyToward16(d16, s16, _mm_sub_epi16(c256, w2));
            // Alpha: min(d + w', 255). A transparent source gives w' = 0: the pixel stays.
            const __m128i alp = _mm_min_epi16(_mm_add_epi16(d16, w2), c255);
            half[h] = _mm_or_si128(_mm_andnot_si128(alphaLanes, col), _mm_and_si128(alphaLanes, alp));
        }
        _mm_storeu_si128((__m128i*)(dest + i), _mm_packus_epi16(half[0], half[1]));
    }
#endif
    for (; i < n; ++i) {
        const uint32_t s = src[i];
        Raster_CombinePixelsCopySourceAlphaNoClamp::doPix(dest + i, Raster_GetR(s), Raster_GetG(s),
                                                          Raster_GetB(s), Raster_GetA(s), w);
    }
}
