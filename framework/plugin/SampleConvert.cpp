#include "framework/plugin/SampleConvert.h"

#include <immintrin.h>

#include "framework/util/Util_Cpu.h"

namespace {

// Samples i .. n - 1, one at a time, after a wide form has done the first i.
void FloatToDoubleFrom(const float* src, double* dst, int i, int n) {
    for (; i < n; ++i) dst[i] = static_cast<double>(src[i]);
}
void DoubleToFloatFrom(const double* src, float* dst, int i, int n) {
    for (; i < n; ++i) dst[i] = static_cast<float>(src[i]);
}
void AccumulateToFloatFrom(const double* src, float* dst, int i, int n) {
    for (; i < n; ++i) dst[i] += static_cast<float>(src[i]);
}

// The wide forms do the first multiple of their width and return how many they did.
int FloatToDoubleSSE2(const float* src, double* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 f = _mm_loadu_ps(src + i);
        _mm_storeu_pd(dst + i, _mm_cvtps_pd(f));
        _mm_storeu_pd(dst + i + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
    }
    return i;
}

int DoubleToFloatSSE2(const double* src, float* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 lo = _mm_cvtpd_ps(_mm_loadu_pd(src + i));
        const __m128 hi = _mm_cvtpd_ps(_mm_loadu_pd(src + i + 2));
        _mm_storeu_ps(dst + i, _mm_movelh_ps(lo, hi));
    }
    return i;
}

int AccumulateToFloatSSE2(const double* src, float* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 lo = _mm_cvtpd_ps(_mm_loadu_pd(src + i));
        const __m128 hi = _mm_cvtpd_ps(_mm_loadu_pd(src + i + 2));
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_loadu_ps(dst + i), _mm_movelh_ps(lo, hi)));
    }
    return i;
}

[[gnu::target("avx")]] int FloatToDoubleAVX(const float* src, double* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm256_storeu_pd(dst + i, _mm256_cvtps_pd(_mm_loadu_ps(src + i)));
    return i;
}

[[gnu::target("avx")]] int DoubleToFloatAVX(const double* src, float* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(dst + i, _mm256_cvtpd_ps(_mm256_loadu_pd(src + i)));
    return i;
}

[[gnu::target("avx")]] int AccumulateToFloatAVX(const double* src, float* dst, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_loadu_ps(dst + i), _mm256_cvtpd_ps(_mm256_loadu_pd(src + i))));
    return i;
}

} // namespace

namespace SampleConvertSSE2 {
void FloatToDouble(const float* src, double* dst, int n) {
    FloatToDoubleFrom(src, dst, FloatToDoubleSSE2(src, dst, n), n);
}
void DoubleToFloat(const double* src, float* dst, int n) {
    DoubleToFloatFrom(src, dst, DoubleToFloatSSE2(src, dst, n), n);
}
void AccumulateToFloat(const double* src, float* dst, int n) {
    AccumulateToFloatFrom(src, dst, AccumulateToFloatSSE2(src, dst, n), n);
}
} // namespace SampleConvertSSE2

namespace SampleConvertAVX {
void FloatToDouble(const float* src, double* dst, int n) {
    FloatToDoubleFrom(src, dst, FloatToDoubleAVX(src, dst, n), n);
}
void DoubleToFloat(const double* src, float* dst, int n) {
    DoubleToFloatFrom(src, dst, DoubleToFloatAVX(src, dst, n), n);
}
void AccumulateToFloat(const double* src, float* dst, int n) {
    AccumulateToFloatFrom(src, dst, AccumulateToFloatAVX(src, dst, n), n);
}
} // namespace SampleConvertAVX

void ConvertFloatToDouble(const float* src, double* dst, int n) {
    if (Util_CpuHasAVX())
        SampleConvertAVX::FloatToDouble(src, dst, n);
    else
        SampleConvertSSE2::FloatToDouble(src, dst, n);
}

void ConvertDoubleToFloat(const double* src, float* dst, int n) {
    if (Util_CpuHasAVX())
        SampleConvertAVX::DoubleToFloat(src, dst, n);
    else
        SampleConvertSSE2::DoubleToFloat(src, dst, n);
}

void AccumulateDoubleToFloat(const double* src, float* dst, int n) {
    if (Util_CpuHasAVX())
        SampleConvertAVX::AccumulateToFloat(src, dst, n);
    else
        SampleConvertSSE2::AccumulateToFloat(src, dst, n);
}
