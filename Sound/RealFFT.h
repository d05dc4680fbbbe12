#pragma once
// RealFFT: the power spectrum of a block of real samples, for sizes that are powers of two from 8 to
// kMaxSize. The block is taken as N/2 complex values (even samples real, odd imaginary), transformed
// by an iterative radix-2 FFT and unfolded into the N/2 + 1 bins of the real transform.
//
// Owned by value by one detector; every table lives inside the object, so SetSize (which computes the
// twiddles and the bit-reversal order for a size, with sin and cos) never allocates and Power never
// allocates or takes a lock. Not shared between threads: the owner calls it under its own lock.
#include <array>
#include <cstdint>

class RealFFT {
public:
    static constexpr int kMaxSize = 1024;

    RealFFT() { SetSize(kMaxSize); }

    // Prepares the transform of n real samples; n is rounded down to a power of two in 8 .. kMaxSize.
    void SetSize(int n);
    int GetSize() const { return mSize; }

    // power[k] = |X[k]|^2 of the transform X of in[0 .. N - 1], for k = 0 .. N/2 (N/2 + 1 values).
    void Power(const float* in, float* power);

private:
    int mSize = 0;
    int mHalf = 0; // complex points
    std::array<float, kMaxSize / 2> mRe{}, mIm{};
    // Twiddles of the complex transform, stage after stage: the stage that joins transforms of h
    // points holds exp(-pi i j / h) for j < h, from index h - 1 on.
    std::array<float, kMaxSize / 2> mTwRe{}, mTwIm{};
    // Unfolding factors of the real transform: exp(-2 pi i k / mSize) for k < mHalf.
    std::array<float, kMaxSize / 2> mUnRe{}, mUnIm{};
    std::array<uint16_t, kMaxSize / 2> mBitReverse{};
};
