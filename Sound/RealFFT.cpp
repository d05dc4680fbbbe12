#include "Sound/RealFFT.h"

#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void RealFFT::SetSize(int n) {
    int size = 8;
    while (size * 2 <= n && size * 2 <= kMaxSize) size *= 2;
    mSize = size;
    mHalf = size / 2;
    int bits = 0;
    while ((1 << bits) < mHalf) ++bits;
    for (int i = 0; i < mHalf; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b)) r |= 1 << (bits - 1 - b);
        mBitReverse[static_cast<size_t>(i)] = static_cast<uint16_t>(r);
    }
    for (int h = 1; h < mHalf; h *= 2) {
        for (int j = 0; j < h; ++j) {
            const double a = -std::numbers::pi * j / h;
            mTwRe[static_cast<size_t>(h - 1 + j)] = static_cast<float>(std::cos(a));
            mTwIm[static_cast<size_t>(h - 1 + j)] = static_cast<float>(std::sin(a));
        }
    }
    for (int k = 0; k < mHalf; ++k) {
        const double a = -2.0 * std::numbers::pi * k / size;
        mUnRe[static_cast<size_t>(k)] = static_cast<float>(std::cos(a));
        mUnIm[static_cast<size_t>(k)] = static_cast<float>(std::sin(a));
    }
}

void RealFFT::Power(const float* in, float* power) {
    const int m = mHalf;
    float* re = mRe.data();
    float* im = mIm.data();
    for (int i = 0; i < m; ++i) {
        const int r = mBitReverse[static_cast<size_t>(i)];
        re[r] = in[2 * i];
        im[r] = in[2 * i + 1];
    }
    // The first stage's only twiddle is 1.
    for (int i = 0; i < m; i += 2) {
        const float ar = re[i], ai = im[i];
        re[i] = ar + re[i + 1];
        im[i] = ai + im[i + 1];
        re[i + 1] = ar - re[i + 1];
        im[i + 1] = ai - im[i + 1];
    }
    for (int h = 2; h < m; h *= 2) {
        const float* wr = mTwRe.data() + (h - 1);
        const float* wi = mTwIm.data() + (h - 1);
#if defined(__SSE2__)
        if (h >= 4) {
            // Four butterflies at a time; the same operations in the same order as below.
            for (int i = 0; i < m; i += 2 * h) {
                float* ar = re + i;
                float* ai = im + i;
                float* br = re + i + h;
                float* bi = im + i + h;
                for (int j = 0; j < h; j += 4) {
                    const __m128 xr = _mm_loadu_ps(br + j), xi = _mm_loadu_ps(bi + j);
                    const __m128 cr = _mm_loadu_ps(wr + j), ci = _mm_loadu_ps(wi + j);
                    const __m128 tr = _mm_sub_ps(_mm_mul_ps(xr, cr), _mm_mul_ps(xi, ci));
                    const __m128 ti = _mm_add_ps(_mm_mul_ps(xr, ci), _mm_mul_ps(xi, cr));
                    const __m128 yr = _mm_loadu_ps(ar + j), yi = _mm_loadu_ps(ai + j);
                    _mm_storeu_ps(br + j, _mm_sub_ps(yr, tr));
                    _mm_storeu_ps(bi + j, _mm_sub_ps(yi, ti));
                    _mm_storeu_ps(ar + j, _mm_add_ps(yr, tr));
                    _mm_storeu_ps(ai + j, _mm_add_ps(yi, ti));
                }
            }
            continue;
        }
#endif
        for (int i = 0; i < m; i += 2 * h) {
            float* ar = re + i;
            float* ai = im + i;
            float* br = re + i + h;
            float* bi = im + i + h;
            for (int j = 0; j < h; ++j) {
                const float tr = br[j] * wr[j] - bi[j] * wi[j];
                const float ti = br[j] * wi[j] + bi[j] * wr[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
    }
    // X[k] = (Z[k] + conj Z[m - k]) / 2 - i/2 W^k (Z[k] - conj Z[m - k]), W = exp(-2 pi i / N).
    const float dc = re[0] + im[0], nyquist = re[0] - im[0];
    power[0] = dc * dc;
    power[m] = nyquist * nyquist;
    for (int k = 1; k < m; ++k) {
        const float zr = re[k], zi = im[k], cr = re[m - k], ci = -im[m - k];
        const float er = 0.5f * (zr + cr), ei = 0.5f * (zi + ci);
        const float dr = 0.5f * (zr - cr), di = 0.5f * (zi - ci);
        // -i x (dr + i di) = di - i dr, then times W^k.
        const float orr = di, oi = -dr;
        const float wr = mUnRe[static_cast<size_t>(k)], wi = mUnIm[static_cast<size_t>(k)];
        const float xr = er + orr * wr - oi * wi;
        const float xi = ei + orr * wi + oi * wr;
        power[k] = xr * xr + xi * xi;
    }
}
