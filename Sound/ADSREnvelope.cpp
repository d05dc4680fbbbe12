#include "Sound/ADSREnvelope.h"

#include <climits>

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

} // namespace

void ADSREnvelope::SetAttackTime(double t, int sampleRate) {
    mAttackSamples = ToSamples(sampleRate, std::pow(10.0, 3.0 * t - 2.0));
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
    // alias it.
    ADSREnvelope env = *this;
    for (int k = 0; k < n; ++k) out[k] = env.NextStep(triggers[k] != 0, input);
    *this = env;
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
