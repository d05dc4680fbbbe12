#pragma once
// Sample-format conversion between a host's single-precision buffers and the plug-in's double buffers.
// Called by the plug-in base on the audio thread, under the plug-in mutex. Each routine gives exactly
// the result of converting (and adding) one sample at a time; it only does several at once.
// Source and destination must not overlap.
#include <emmintrin.h>

// dst[i] = (double) src[i]
inline void ConvertFloatToDouble(const float* src, double* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 f = _mm_loadu_ps(src + i);
        _mm_storeu_pd(dst + i, _mm_cvtps_pd(f));
        _mm_storeu_pd(dst + i + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
    }
    for (; i < n; ++i) dst[i] = static_cast<double>(src[i]);
}

// dst[i] = (float) src[i]
inline void ConvertDoubleToFloat(const double* src, float* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 lo = _mm_cvtpd_ps(_mm_loadu_pd(src + i));
        __m128 hi = _mm_cvtpd_ps(_mm_loadu_pd(src + i + 2));
        _mm_storeu_ps(dst + i, _mm_movelh_ps(lo, hi));
    }
    for (; i < n; ++i) dst[i] = static_cast<float>(src[i]);
}

// dst[i] += (float) src[i]
inline void AccumulateDoubleToFloat(const double* src, float* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 lo = _mm_cvtpd_ps(_mm_loadu_pd(src + i));
        __m128 hi = _mm_cvtpd_ps(_mm_loadu_pd(src + i + 2));
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_loadu_ps(dst + i), _mm_movelh_ps(lo, hi)));
    }
    for (; i < n; ++i) dst[i] += static_cast<float>(src[i]);
}
