#pragma once
// ADSREnvelope: a per-sample gain envelope with attack, decay, sustain and release, plus a short
// linear fade-out when a new note arrives (note-off), a silent idle stage and a wait that holds the
// level before the next attack. NextStep advances one sample. One instance per effect, stepped on
// the audio thread under the owner's lock; no allocation, no locking.
// Stage lengths of 0 end their stage at once instead of dividing by zero (a wait before an attack of
// no length goes on to decay, or to sustain when decay has no length either), and a curve speed of
// 0 gives the straight line the curve tends to as its speed approaches 0.
#include <climits>
#include <cmath>
#include <cstdint>

enum EnvelopeStage {
    kStageAttack = 0,
    kStageDecay = 1,
    kStageSustain = 2,
    kStageRelease = 3,
    kStageNoteOff = 4,
    kStageIdle = 5,
    kStageWait = 6,
};

class ADSREnvelope {
public:
    ADSREnvelope() = default;

    // The attack's length in seconds for a 0-to-1 control value: 10^(3t - 2), exponentially from 0.01 s
    // to 10 s. Also what the editor shows for the Time knob.
    static double AttackSeconds(double t) { return std::pow(10.0, 3.0 * t - 2.0); }
    // t is a 0-to-1 control value mapped onto AttackSeconds(t).
    void SetAttackTime(double t, int sampleRate);
    void SetDecayTime(double seconds, int sampleRate);
    void SetReleaseTime(double seconds, int sampleRate);
    void SetNoteOffTime(double seconds, int sampleRate);
    // Fade and wait together last the given number of samples (uses the note-off length set
    // before).
    void SetWaitTime(int samples);
    void SetSustainLevel(double level) { mSustainLevel = level; }
    void SetReleaseThreshold(double threshold) { mReleaseThreshold = threshold; }
    void SetAttackSpeed(double speed) {
        mAttackSpeed = speed;
        mAttackPower = speed * speed;
    }
    void SetDecaySpeed(double speed) { mDecaySpeed = speed; }
    void SetReleaseSpeed(double speed) { mReleaseSpeed = speed; }
    void SetReTrig(bool reTrig) { mReTrig = reTrig; }
    void SetStage(EnvelopeStage stage) {
        mStage = stage;
        mStep = 0;
    }
    // Forces the transition out of the current stage.
    void SetNextStage();
    // Back to the state after construction: the sustain stage at level 1.0 (also the level a fade
    // would start from), step 0. Lengths, sustain level, threshold and speeds are kept.
    void Restart() {
        mLevel = 1.0;
        mRetrigLevel = 1.0;
        mStep = 0;
        mStage = kStageSustain;
    }

    int GetAttackTimeSamplesNum() const { return mAttackSamples; }
    int GetDecayTimeSamplesNum() const { return mDecaySamples; }
    int GetNoteOffTimeSamplesNum() const { return mNoteOffSamples; }
    int GetReleaseTimeSamplesNum() const { return mReleaseSamples; }
    int GetWaitTimeSamplesNum() const { return mWaitSamples; }
    EnvelopeStage GetStage() const { return mStage; }
    int GetStep() const { return mStep; }
    double GetLevel() const { return mLevel; }

    // NextStep for each of n samples with the same input value, with a trigger where triggers[k]
    // is 1 (0 for none); out[k] receives the level.
    void NextSteps(const uint8_t* triggers, double input, double* out, int n);

    // Advances one sample with the onset decision and the input value; returns the new level.
    [[gnu::always_inline]] double NextStep(bool trigger, double input) {
        if (trigger) [[unlikely]] {
            mStep = 0;
            if (mReTrig) {
                mRetrigLevel = mLevel;
                mStage = kStageNoteOff;
            } else {
                mStage = kStageWait;
            }
        }
        // Attack and sustain, where the envelope spends most of its time, are tested first.
        if (mStage == kStageAttack) {
            const double r = Ratio(mStep, mAttackSamples);
            // x to the power 1 is exactly x: the linear attack needs no pow call.
            mLevel = mAttackPower == 1.0 ? r : std::pow(r, mAttackPower);
            if (++mStep >= mAttackSamples) [[unlikely]]
                EndAttack();
        } else if (mStage == kStageSustain) {
            mLevel = mSustainLevel;
            if (mReleaseThreshold > input) [[unlikely]] {
                mStep = 0;
                mStage = kStageRelease;
            }
        } else {
            OtherStep();
        }
        if (std::fabs(mLevel) > 1.0) [[unlikely]]
            mLevel = 1.0;
        return mLevel;
    }

private:
    // Position r / n inside a stage of n samples; a stage of no length counts as complete.
    static double Ratio(int r, int n) {
        return n != 0 ? static_cast<double>(r) / static_cast<double>(n) : 1.0;
    }
    // Decay and release fall along an exponential curve from 1 at u = 0 to 0 at u = 1.
    double DecayLevel(double u) const {
        const double s = mSustainLevel;
        if (mDecaySpeed == 0.0) return (1.0 - s) * (1.0 - u) + s;
        return (1.0 - s) * (std::exp((1.0 - u) * mDecaySpeed) - 1.0) / (std::exp(mDecaySpeed) - 1.0) + s;
    }
    double ReleaseLevel(double u) const {
        if (mReleaseSpeed == 0.0) return (1.0 - u) * mSustainLevel;
        return (std::exp((1.0 - u) * mReleaseSpeed) - 1.0) / (std::exp(mReleaseSpeed) - 1.0) * mSustainLevel;
    }
    // One step of the stages other than attack and sustain.
    [[gnu::always_inline]] void OtherStep() {
        switch (mStage) {
        case kStageDecay:
            mLevel = DecayLevel(Ratio(mStep, mDecaySamples));
            if (++mStep >= mDecaySamples) {
                mStep = 0;
                mStage = kStageSustain;
            }
            break;
        case kStageRelease:
            mLevel = ReleaseLevel(Ratio(mStep, mReleaseSamples));
            if (++mStep >= mReleaseSamples) {
                mStep = 0;
                mStage = kStageIdle;
            }
            break;
        case kStageNoteOff:
            mLevel = (1.0 - Ratio(mStep, mNoteOffSamples)) * mRetrigLevel;
            if (++mStep >= mNoteOffSamples) {
                mStep = 0;
                mStage = kStageWait;
            }
            break;
        case kStageIdle:
            mLevel = 0.0;
            break;
        case kStageWait:
            if (++mStep >= mWaitSamples) EndWait();
            break;
        case kStageAttack:
        case kStageSustain:
            break;
        }
    }
    // Frames k .. end - 1 without a trigger, or the first part of them: writes their levels and
    // returns the frame after the last one written.
    int Stretch(double input, double* out, int k, int end);
    void EndAttack() {
        mStep = 0;
        mStage = mDecaySamples == 0 ? kStageSustain : kStageDecay;
    }
    void EndWait() {
        mStep = 0;
        if (mAttackSamples == 0) {
            mStage = mDecaySamples == 0 ? kStageSustain : kStageDecay;
            return;
        }
        mStage = kStageAttack;
        if (!mReTrig) mStep = AttackResumeStep();
    }
    // The step at which the attack curve reaches the current level, so a new attack continues from
    // there instead of from 0.
    int AttackResumeStep() const {
        const double a = static_cast<double>(mAttackSamples);
        double step;
        if (mAttackSpeed == 0.0) {
            step = a * mLevel;
        } else {
            step = a / mAttackSpeed * std::log((std::exp(mAttackSpeed) - 1.0) * mLevel + 1.0);
        }
        if (!(step == step)) return 0;
        if (step >= 2147483647.0) return INT_MAX;
        if (step <= -2147483648.0) return INT_MIN;
        return static_cast<int>(step);
    }

    double mReleaseThreshold = 0.0;
    double mLevel = 1.0;
    double mRetrigLevel = 1.0;
    int mAttackSamples = 10000;
    int mDecaySamples = 10000;
    double mSustainLevel = 0.2;
    int mReleaseSamples = 1000;
    int mNoteOffSamples = 60;
    int mWaitSamples = 1000;
    double mAttackSpeed = 0.0;
    double mAttackPower = 0.0; // mAttackSpeed squared, the exponent of the attack curve
    double mDecaySpeed = 0.0;
    double mReleaseSpeed = 0.0;
    bool mReTrig = true;
    int mStep = 0;
    EnvelopeStage mStage = kStageSustain;
};
