#include "Sound/SpectralOnsetDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The analysis rate is the input rate divided by the largest whole number that keeps it at or above
// this (so 22.05-44.1 kHz for inputs from 22.05 kHz on).
constexpr double kAnalysisRate = 22050.0;
constexpr double kFrameSeconds = 512.0 / kAnalysisRate; // 23.2 ms
constexpr double kHopSeconds = 128.0 / kAnalysisRate;   // 5.8 ms
constexpr double kLowHz = 50.0;
constexpr double kHighHz = 10500.0;
constexpr double kBandRatio = 1.0594630943592953; // a semitone
// Band power counts from about -90 dB of full scale on.
constexpr double kFloor = 1e-9;
// A band's rise counts beyond this allowance (log units), and only in bands within this span below
// the loudest band of the frame (56 dB).
constexpr float kRiseAllowance = 0.3f;
constexpr float kSpan = 13.0f;
// The adaptive part of the threshold: this many times the novelty averaged over about this long.
constexpr float kAverageWeight = 4.0f;
constexpr double kAverageSeconds = 0.1;
constexpr double kMinOnsetSeconds = 0.04;
// Where in its frame the detector places an onset, from the frame's start (measured on the labelled
// set: the onsets it finds lie around there).
constexpr double kPlaceSeconds = 0.0113;
constexpr double kClip = 1e4;

} // namespace

SpectralOnsetDetector::SpectralOnsetDetector() {
    SetSampleRate(44100);
}

double SpectralOnsetDetector::ThresholdForSensitivity(double v) {
    return kThresholdAtDefault * std::exp2((0.7 - v) * 10.0);
}

void SpectralOnsetDetector::SetSampleRate(int sampleRate) {
    const int rate = std::max(1, sampleRate);
    mDecimation = std::max(1, static_cast<int>(rate / kAnalysisRate));
    const double ra = static_cast<double>(rate) / mDecimation;
    mFrameLength = std::clamp(static_cast<int>(std::lround(kFrameSeconds * ra)), 8, kMaxFrame);
    int size = 8;
    while (size < mFrameLength) size *= 2;
    mFFT.SetSize(size);
    mHop = std::max(1, static_cast<int>(std::lround(kHopSeconds * ra)));
    double windowSum = 0.0;
    for (int i = 0; i < mFrameLength; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / mFrameLength);
        mWindow[static_cast<size_t>(i)] = static_cast<float>(w);
        windowSum += w;
    }
    // A sine of amplitude A peaks at (A x windowSum / 2)^2.
    mPowerScale = static_cast<float>(4.0 / (windowSum * windowSum) / kFloor);
    const double binHz = ra / size;
    const int topBin = std::min(size / 2, static_cast<int>(kHighHz / binHz));
    int bin = std::max(1, static_cast<int>(std::lround(kLowHz / binHz)));
    mNumBands = 0;
    while (bin < topBin && mNumBands < kMaxBands) {
        mBandEdge[static_cast<size_t>(mNumBands++)] = bin;
        bin = std::min(topBin, std::max(bin + 1, static_cast<int>(std::lround(bin * kBandRatio))));
    }
    mBandEdge[static_cast<size_t>(mNumBands)] = bin;
    const double hopSeconds = mHop / ra;
    mMinFrames = std::max(1, static_cast<int>(std::ceil(kMinOnsetSeconds / hopSeconds - 1e-9)));
    mAverageKeep = static_cast<float>(std::exp(-hopSeconds / kAverageSeconds));
    // An onset placed in frame n is reported once frame n + 1 has been analysed: at its last sample.
    const int place = static_cast<int>(std::lround(kPlaceSeconds * ra));
    mLatency = (mHop + mFrameLength - place) * mDecimation - 1;
    Restart();
}

void SpectralOnsetDetector::Restart() {
    mSum = 0.0;
    mPhase = 0;
    mRing.fill(0.f);
    mRingPos = 0;
    mSinceFrame = 0;
    mFramesSinceOnset = mMinFrames;
    for (auto& levels : mLevels) levels.fill(0.f);
    mNovelty.fill(0.f);
    mAverage = 0.f;
}

void SpectralOnsetDetector::Detect(const double* left, const double* right, uint8_t* onsets, int n) {
    for (int k = 0; k < n; ++k) {
        const double x = (left[k] + right[k]) * 0.5;
        mSum += std::isfinite(x) ? std::clamp(x, -kClip, kClip) : 0.0;
        onsets[k] = 0;
        if (++mPhase < mDecimation) continue;
        mRing[static_cast<size_t>(mRingPos)] = static_cast<float>(mSum / mDecimation);
        mSum = 0.0;
        mPhase = 0;
        if (++mRingPos == kMaxFrame) mRingPos = 0;
        if (++mSinceFrame < mHop) continue;
        mSinceFrame = 0;
        onsets[k] = AnalyseFrame() ? 1 : 0;
    }
}

bool SpectralOnsetDetector::AnalyseFrame() {
    // The latest mFrameLength analysis samples, windowed and zero-padded to the transform's size.
    int pos = mRingPos - mFrameLength;
    if (pos < 0) pos += kMaxFrame;
    for (int i = 0; i < mFrameLength; ++i) {
        mFrame[static_cast<size_t>(i)] = mRing[static_cast<size_t>(pos)] * mWindow[static_cast<size_t>(i)];
        if (++pos == kMaxFrame) pos = 0;
    }
    std::fill(mFrame.begin() + mFrameLength, mFrame.begin() + mFFT.GetSize(), 0.f);
    mFFT.Power(mFrame.data(), mPower.data());
    std::rotate(mLevels.rbegin(), mLevels.rbegin() + 1, mLevels.rend());
    BandLevels();
    mNovelty = {Novelty(), mNovelty[0], mNovelty[1]};

    // The frame before this one: a peak above the threshold, far enough from the last onset.
    const float candidate = mNovelty[1];
    const float threshold = mThreshold + kAverageWeight * mAverage;
    ++mFramesSinceOnset;
    const bool onset = candidate > threshold && candidate >= mNovelty[2] && candidate > mNovelty[0] &&
                       mFramesSinceOnset >= mMinFrames;
    if (onset) mFramesSinceOnset = 0;
    mAverage = mAverage * mAverageKeep + std::min(candidate, threshold) * (1.f - mAverageKeep);
    return onset;
}

void SpectralOnsetDetector::BandLevels() {
    auto& level = mLevels[0];
    for (int b = 0; b < mNumBands; ++b) {
        float e = 0.f;
        for (int k = mBandEdge[static_cast<size_t>(b)]; k < mBandEdge[static_cast<size_t>(b) + 1]; ++k)
            e += mPower[static_cast<size_t>(k)];
        level[static_cast<size_t>(b)] = std::log1p(e * mPowerScale);
    }
}

float SpectralOnsetDetector::Novelty() const {
    const auto& level = mLevels[0];
    // The reference of each band: the loudest of its levels in the reference frames.
    std::array<float, kMaxBands> past = mLevels[kRefLag];
    for (int r = kRefLag + 1; r < kLevelFrames; ++r)
        for (int b = 0; b < mNumBands; ++b)
            past[static_cast<size_t>(b)] = std::max(past[static_cast<size_t>(b)],
                                                    mLevels[static_cast<size_t>(r)][static_cast<size_t>(b)]);
    float loudest = 0.f;
    for (int b = 0; b < mNumBands; ++b) loudest = std::max(loudest, level[static_cast<size_t>(b)]);
    float novelty = 0.f;
    for (int b = 0; b < mNumBands; ++b) {
        const float now = level[static_cast<size_t>(b)];
        if (now < loudest - kSpan) continue;
        float ref = past[static_cast<size_t>(b)];
        if (b > 0) ref = std::max(ref, past[static_cast<size_t>(b) - 1]);
        if (b + 1 < mNumBands) ref = std::max(ref, past[static_cast<size_t>(b) + 1]);
        novelty += std::max(0.f, now - ref - kRiseAllowance);
    }
    return novelty;
}
