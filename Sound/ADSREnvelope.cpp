#include "Sound/ADSREnvelope.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <immintrin.h>

#include "framework/util/Util_Cpu.h"

namespace {

// Sample rate times seconds, truncated towards zero; NaN gives 0 and values beyond the int range
// saturate.
int ToSamples(int sampleRate, double seconds) {
    const double v = static_cast<double>(sampleRate) * seconds;
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

// out[j] = (step + j) / a for j in 0 .. m - 1, where step + m - 1 fits an int, each quotient
// correctly rounded as one at a time. The wide forms do the first multiple of their width (two
// divisions at a time with SSE2, four with AVX) and return how many they did.
int AttackRampSSE2(double* out, int step, int m, double a) {
    int j = 0;
    const __m128d va = _mm_set1_pd(a);
    for (; j + 2 <= m; j += 2) {
        const __m128i steps = _mm_set_epi32(0, 0, step + j + 1, step + j);
        _mm_storeu_pd(out + j, _mm_div_pd(_mm_cvtepi32_pd(steps), va));
    }
    return j;
}

[[gnu::target("avx")]] int AttackRampAVX(double* out, int step, int m, double a) {
    int j = 0;
    const __m256d va = _mm256_set1_pd(a);
    for (; j + 4 <= m; j += 4) {
        const __m128i steps = _mm_set_epi32(step + j + 3, step + j + 2, step + j + 1, step + j);
        _mm256_storeu_pd(out + j, _mm256_div_pd(_mm256_cvtepi32_pd(steps), va));
    }
    return j;
}

void AttackRamp(double* out, int step, int m, double a) {
    int j = Util_CpuHasAVX() ? AttackRampAVX(out, step, m, a) : AttackRampSSE2(out, step, m, a);
    for (; j < m; ++j) out[j] = static_cast<double>(step + j) / a;
}

} // namespace

void ADSREnvelope::SetAttackTime(double t, int sampleRate) {
    mAttackSamples = ToSamples(sampleRate, AttackSeconds(t));
}

void ADSREnvelope::SetDecayTime(double seconds, int sampleRate) {
    mDecaySamples = ToSamples(sampleRate, seconds);
}

void ADSREnvelope::SetReleaseTime(double seconds, int sampleRate) {
    mReleaseSamples = ToSamples(sampleRate, seconds);
}

void ADSREnvelope::SetNoteOffTime(double seconds, int sampleRate) {
    mNoteOffSamples = ToSamples(sampleRate, seconds);
}

void ADSREnvelope::SetWaitTime(int samples) {
    const int64_t wait = static_cast<int64_t>(samples) - mNoteOffSamples;
    mWaitSamples = wait < 0 ? 0 : (wait > INT_MAX ? INT_MAX : static_cast<int>(wait));
}

void ADSREnvelope::NextSteps(const uint8_t* triggers, double input, double* out, int n) {
    // A local copy keeps the state in registers for the block: the stores into out could otherwise
    // alias it. Stretches without a trigger in the linear attack, sustain and wait stages are
    // produced in bulk, with the same arithmetic NextStep uses for each of their samples.
    ADSREnvelope env = *this;
    int k = 0;
    while (k < n) {
        if (triggers[k] == 1) {
            out[k] = env.NextStep(true, input);
            ++k;
            continue;
        }
        const uint8_t* next =
            static_cast<const uint8_t*>(std::memchr(triggers + k, 1, static_cast<size_t>(n - k)));
        const int end = next ? static_cast<int>(next - triggers) : n;
        while (k < end) k = env.Stretch(input, out, k, end);
    }
    *this = env;
}

int ADSREnvelope::Stretch(double input, double* out, int k, int end) {
    if (mStage == kStageAttack && mAttackPower == 1.0 && mAttackSamples > 0 && mStep >= 0 &&
        mStep < mAttackSamples) {
        // Levels step / attack length, all below 1.
        const int m = std::min(end - k, mAttackSamples - mStep);
        AttackRamp(out + k, mStep, m, static_cast<double>(mAttackSamples));
        mLevel = out[k + m - 1];
        mStep += m;
        if (mStep >= mAttackSamples) EndAttack();
        return k + m;
    }
    if (mStage == kStageSustain && !(mReleaseThreshold > input)) {
        mLevel = std::fabs(mSustainLevel) > 1.0 ? 1.0 : mSustainLevel;
        std::fill(out + k, out + end, mLevel);
        return end;
    }
    if (mStage == kStageWait && mStep >= 0 && mWaitSamples - mStep > 1 && std::fabs(mLevel) <= 1.0) {
        // The level holds; the sample that ends the wait goes through NextStep.
        const int m = std::min(end - k, mWaitSamples - mStep - 1);
        std::fill(out + k, out + k + m, mLevel);
        mStep += m;
        return k + m;
    }
    out[k] = NextStep(false, input);
    return k + 1;
}

void ADSREnvelope::SetNextStage() {
    mStep = 0;
    switch (mStage) {
    case kStageAttack:
        EndAttack();
        break;
    case kStageDecay:
        mStage = kStageSustain;
        break;
    case kStageSustain:
        mStage = kStageRelease;
        break;
    case kStageRelease:
        mStage = kStageIdle;
        break;
    case kStageNoteOff:
        mStage = kStageWait;
        break;
    case kStageIdle:
        mLevel = 0.0;
        break;
    case kStageWait:
        EndWait();
        break;
    }
}
