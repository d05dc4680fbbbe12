#include "Tidebloom.h"

#include "Sound/FlushDenormals.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <immintrin.h>

#include "framework/util/Util_Cpu.h"

namespace {

// The gain stage for frames k .. n - 1: outC[k] = (volume x xC[k]) x (depth x env[k] + (1 - depth))
// for both channels C. The wide forms do as many frames as fill their registers and return the
// frame after the last one done; every form uses the same operations in the same order.
struct GainStage {
    const double *x0, *x1, *env;
    double volume, depth;
    double *out0, *out1;
};

void ApplyGainFrames(const GainStage& g, int k, int n) {
    const double rest = 1.0 - g.depth;
    for (; k < n; ++k) {
        const double gain = g.depth * g.env[k] + rest;
        g.out0[k] = (g.volume * g.x0[k]) * gain;
        g.out1[k] = (g.volume * g.x1[k]) * gain;
    }
}

int ApplyGainSSE2(const GainStage& g, int n) {
    const __m128d v = _mm_set1_pd(g.volume), d = _mm_set1_pd(g.depth), r = _mm_set1_pd(1.0 - g.depth);
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        const __m128d gain = _mm_add_pd(_mm_mul_pd(d, _mm_loadu_pd(g.env + k)), r);
        _mm_storeu_pd(g.out0 + k, _mm_mul_pd(_mm_mul_pd(v, _mm_loadu_pd(g.x0 + k)), gain));
        _mm_storeu_pd(g.out1 + k, _mm_mul_pd(_mm_mul_pd(v, _mm_loadu_pd(g.x1 + k)), gain));
    }
    return k;
}

[[gnu::target("avx")]] int ApplyGainAVX(const GainStage& g, int n) {
    const __m256d v = _mm256_set1_pd(g.volume), d = _mm256_set1_pd(g.depth),
                  r = _mm256_set1_pd(1.0 - g.depth);
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d gain = _mm256_add_pd(_mm256_mul_pd(d, _mm256_loadu_pd(g.env + k)), r);
        _mm256_storeu_pd(g.out0 + k, _mm256_mul_pd(_mm256_mul_pd(v, _mm256_loadu_pd(g.x0 + k)), gain));
        _mm256_storeu_pd(g.out1 + k, _mm256_mul_pd(_mm256_mul_pd(v, _mm256_loadu_pd(g.x1 + k)), gain));
    }
    return k;
}

void ApplyGain(const double* x0, const double* x1, const double* env, double volume, double depth,
               double* out0, double* out1, int n) {
    const GainStage g{x0, x1, env, volume, depth, out0, out1};
    ApplyGainFrames(g, Util_CpuHasAVX() ? ApplyGainAVX(g, n) : ApplyGainSSE2(g, n), n);
}

// The look-ahead delay keeps its length in seconds: at every rate the longest delay is 34 ms, the
// 1500 samples it is at 44.1 kHz. The delay is what lets the gain dip before a note is heard: the
// detector reports an onset milliseconds after the note began (its filters and hold time work in
// seconds), and the 3 ms fade plus the wait must be over when the onset leaves the delay, so the
// attack starts on the very sample that triggered it. A delay fixed in samples would shrink to
// 7.8 ms at 192 kHz, too short for the detector's lag, and at small Depth shorter than the fade;
// the price of seconds is a latency that grows in samples with the rate (the same in time).
// Samples at rate of a span that lasts samplesAt44k samples at 44.1 kHz; the factor is exactly 1
// at 44.1 kHz, so there every delay is the same to the sample.
int SamplesAtRate(double samplesAt44k, int rate) {
    return static_cast<int>(samplesAt44k * (static_cast<double>(rate) / 44100.0));
}

// True when the n doubles at a and at b share any memory.
bool Overlaps(const double* a, const double* b, int n) {
    const std::less<const double*> before;
    return before(a, b + n) && before(b, a + n);
}

} // namespace

Tidebloom::Tidebloom(const IEffectInstanceInfo& info) : Tidebloom(info, kTidebloomDescription) {}

Tidebloom::Tidebloom(const IEffectInstanceInfo& info, const IEffectDescription& desc)
    : IEffectBinding(info, desc) {
    const int sr = SampleRateInt();
    mEnvelope.SetDecayTime(0.0, sr);
    mEnvelope.SetReleaseTime(0.0, sr);
    mEnvelope.SetSustainLevel(1.0);
    mEnvelope.SetReleaseThreshold(0.0);
    mEnvelope.SetAttackSpeed(1.0);
    ApplyRate(sr);
    mDelaySamples = mHistory[0].GetLength();
    mEnvelope.SetWaitTime(mDelaySamples);
    mBlock.Resize(GetBlockSize());
}

Tidebloom::~Tidebloom() = default;

int Tidebloom::SampleRateInt() const {
    const double sr = GetSampleRate();
    if (!(sr > 0.0)) return 0;
    if (sr >= 2147483647.0) return INT_MAX;
    return static_cast<int>(sr);
}

void Tidebloom::Reset() {
    int rate;
    {
        Util_MutexLock lock(mMutex);
        rate = SampleRateInt();
        if (rate == mRate) return;
    }
    // The delay lines for the new rate are made before the mutex is taken again and swapped in under
    // it; the old ones go after it is let go (fresh is destroyed after lock).
    History<double> fresh[2];
    for (History<double>& h : fresh) h.SetLength(SamplesAtRate(kHistoryLength, rate));
    Util_MutexLock lock(mMutex);
    // Another thread may have changed the rate meanwhile: the lines are then sized here after all.
    const int now = SampleRateInt();
    if (now == mRate) return;
    if (now == rate)
        for (int c = 0; c < 2; ++c) std::swap(mHistory[c], fresh[c]);
    ApplyRate(now);
    // Attack, delay, wait and latency at the new rate (the wait follows the fade set above).
    OnParamChange(kTime);
    OnParamChange(kDepth);
    // What the detector and the delay lines hold was taken at the old rate.
    Restart();
}

void Tidebloom::ApplyRate(int rate) {
    mRate = rate;
    SetDetectorRate(rate);
    mEnvelope.SetNoteOffTime(0.003, rate);
    for (History<double>& h : mHistory) h.SetLength(SamplesAtRate(kHistoryLength, rate));
}

void Tidebloom::OnActivate(bool active) {
    Util_MutexLock lock(mMutex);
    IEffectBinding::OnActivate(active);
    if (active) Restart();
}

void Tidebloom::Restart() {
    RestartDetector();
    mEnvelope.Restart();
    for (History<double>& h : mHistory) h.Clear();
}

void Tidebloom::SetBlockSize(int blockSize) {
    IEffectBinding::SetBlockSize(blockSize);
    const int n = GetBlockSize();
    {
        Util_MutexLock lock(mMutex);
        if (mBlock.mEnvelope.GetSize() == n) return;
    }
    // Made before the mutex is taken again; the old buffers go after it is let go.
    BlockBuffers fresh;
    fresh.Resize(n);
    Util_MutexLock lock(mMutex);
    mBlock.Swap(fresh);
}

void Tidebloom::OnParamChange(int paramIdx) {
    Util_MutexLock lock(mMutex);
    const IParam* param = GetParam(paramIdx);
    if (!param || paramIdx >= kNumParams) return;
    double v = param->Value();
    // The parameter keeps its value in range; a value that is not would never reach the DSP.
    if (std::isnan(v)) return;
    v = std::clamp(v, param->GetMin(), param->GetMax());

    switch (paramIdx) {
    case kSensitivity:
        SetDetectorSensitivity(v);
        break;
    case kTime:
        mEnvelope.SetAttackTime(v, mRate);
        break;
    case kDepth:
        mDepth = std::exp(std::log(v) / 3.0);
        ApplyDelay();
        SetLatency(mOnOff ? mDelaySamples : 0);
        break;
    case kVol:
        mVolume = v;
        break;
    case kOnOff:
        mOnOff = v != 0.0;
        SetLatency(mOnOff ? mDelaySamples : 0);
        break;
    default:
        break;
    }
}

void Tidebloom::ApplyDelay() {
    const int length = mHistory[0].GetLength();
    int delay = SamplesAtRate(1500.0 * mDepth, mRate);
    const int lag = DetectorLag();
    // A detector that reports late needs the delay to cover its lag and the fade.
    if (lag > 0 && mDepth > 0.0) delay = std::max(delay, lag + mEnvelope.GetNoteOffTimeSamplesNum());
    mDelaySamples = std::min(delay, length);
    mEnvelope.SetWaitTime(mDelaySamples - lag);
}

void Tidebloom::DetectOnsets(const double* left, const double* right, uint8_t* onsets, int n) {
    mNoteDetector.Detect(left, right, onsets, n);
}

void Tidebloom::SetDetectorRate(int rate) {
    mNoteDetector.SetSampleRate(rate);
}

void Tidebloom::RestartDetector() {
    mNoteDetector.Restart();
}

void Tidebloom::SetDetectorSensitivity(double v) {
    mNoteDetector.SetThreshold(std::exp(v * mNoteDetector.GetRangeDb() / 20.0 * 2.302585092994046) *
                               mNoteDetector.GetThresholdScale() * mNoteDetector.GetThresholdRef());
}

void Tidebloom::DetectorChanged() {
    Util_MutexLock lock(mMutex);
    SetDetectorRate(mRate);
    const IParam* sensitivity = GetParam(kSensitivity);
    if (sensitivity) SetDetectorSensitivity(sensitivity->Value());
    ApplyDelay();
}

void Tidebloom::BlockBuffers::Resize(int nFrames) {
    mEnvelope.Resize(nFrames);
    mOnsets.Resize(nFrames);
    for (Util_TypedBuf<double>& copy : mInputCopy) copy.Resize(nFrames);
}

void Tidebloom::BlockBuffers::Swap(BlockBuffers& other) noexcept {
    mEnvelope.Swap(other.mEnvelope);
    mOnsets.Swap(other.mOnsets);
    for (int c = 0; c < 2; ++c) mInputCopy[c].Swap(other.mInputCopy[c]);
}

void Tidebloom::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    if (nFrames <= 0 || !inputs || !outputs) return;
    const int nChannels = std::min({NInChannels(), NOutChannels(), 2});
    if (nChannels < 2 || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
    // Silence after loud notes takes the detector's filters into the subnormal range; flushing
    // those values to zero keeps the cost of silence flat and changes no normal-range result.
    const FlushDenormals flush;
    // Sized by SetBlockSize; the binding never passes more frames than the block size.
    if (nFrames > mBlock.mEnvelope.GetSize()) [[unlikely]]
        mBlock.Resize(nFrames);
    double* env = mBlock.mEnvelope.Get();

    // An input sharing memory with an output is read from a copy, so in-place hosts get the same
    // result as hosts with separate buffers.
    const double* in[2];
    for (int c = 0; c < 2; ++c) {
        in[c] = inputs[c];
        for (int o = 0; o < 2; ++o) {
            if (Overlaps(inputs[c], outputs[o], nFrames)) {
                double* copy = mBlock.mInputCopy[c].Get();
                std::memcpy(copy, inputs[c], sizeof(double) * static_cast<size_t>(nFrames));
                in[c] = copy;
                break;
            }
        }
    }

    // Gain curve from the undelayed mono mix; it runs whether processing is on or off. The
    // detector never looks at the envelope, so each runs over the whole block in turn.
    uint8_t* onsets = mBlock.mOnsets.Get();
    DetectOnsets(in[0], in[1], onsets, nFrames);
    mEnvelope.NextSteps(onsets, 0.0, env, nFrames);

    if (!mOnOff) {
        // Pass-through; the delay lines keep what they held.
        for (int c = 0; c < 2; ++c)
            std::memcpy(outputs[c], in[c], sizeof(double) * static_cast<size_t>(nFrames));
        return;
    }

    // Each channel is delayed by D samples, times volume, times the gain depth x envelope +
    // (1 - depth): frames 0 .. D - 1 read the delay lines, the rest this block. The two delay
    // lines always hold the same number of samples, so they split at the same frames.
    const int length = std::min(mHistory[0].GetLength(), mHistory[1].GetLength());
    const int delay = std::min(mDelaySamples, length);
    const int fromHistory = std::min(delay, nFrames);
    int k = 0;
    while (k < fromHistory) {
        int run0 = 0, run1 = 0;
        const double* older0 = mHistory[0].Span(mHistory[0].GetLength() - delay + k, fromHistory - k, &run0);
        const double* older1 = mHistory[1].Span(mHistory[1].GetLength() - delay + k, fromHistory - k, &run1);
        const int run = std::min(run0, run1);
        ApplyGain(older0, older1, env + k, mVolume, mDepth, outputs[0] + k, outputs[1] + k, run);
        k += run;
    }
    if (k < nFrames)
        ApplyGain(in[0] + (k - delay), in[1] + (k - delay), env + k, mVolume, mDepth, outputs[0] + k,
                  outputs[1] + k, nFrames - k);
    mHistory[0].Push(in[0], nFrames);
    mHistory[1].Push(in[1], nFrames);
}
