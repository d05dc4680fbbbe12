#include "Sound/FilterLP2.h"

#include <cstddef>
#include <numbers>

void FilterLP2::UpdateCoefficients() {
    const double pi = std::numbers::pi;
    mW = pi * mCutoff / mQ;
    mNorm = 1.0 / (mW / mSampleRate + 1.0);
    const double b = 2.0 * pi * mCutoff / mSampleRate;
    mB0 = b * b;
    mA1 = 2.0 - mB0;
    mA2 = mW / mSampleRate - 1.0;
}

void FilterLP2::Process(const std::vector<double>& in, std::vector<double>& out) {
    const std::size_t n = out.size() < in.size() ? out.size() : in.size();
    for (std::size_t i = 0; i < n; ++i) out[i] = Step(in[i]);
}

void FilterLP2::Process(const double* in, double* out, int n) {
    if (!in || !out) return;
    for (int i = 0; i < n; ++i) out[i] = Step(in[i]);
}
