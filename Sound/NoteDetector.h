#pragma once
// NoteDetector: decides sample by sample whether a new note starts, from the slope of a slow
// amplitude envelope (rectified input through a 6 Hz low-pass, differentiated, smoothed at 60 Hz
// and scaled to units per second). An onset is a rise of that slope above the threshold, once the
// detector is armed (the slope has turned from rising to falling since the last onset), and
// either more than the hold time after the previous rise start or with a peak slope more than three
// times the previous rise's.
// One instance per effect, run on the audio thread under the owner's lock; no allocation.
// A non-finite input sample is taken as silence, and should the filters ever overflow (inputs near
// the largest double) they restart from silence, so one bad sample cannot end detection for the
// session. Every finite input short of that overflow is processed exactly as the rules say.
#include <cmath>
#include <cstdint>
#include <limits>

#include "Sound/FilterLP2.h"

class NoteDetector {
public:
    NoteDetector();

    // Configures both filters for a sample rate; flags, levels, peaks, counter and filter
    // memories are kept.
    void SetSampleRate(int sampleRate);
    // Forgets the signal: flags, levels, peaks, rise counter and filter memories return to their
    // state after construction (so the detector is unarmed again). Threshold, sample rate and
    // filter settings are kept.
    void Restart();

    void SetThreshold(double threshold) { mThreshold = threshold; }
    double GetThreshold() const { return mThreshold; }

    // One input sample; true when a note onset is detected at this sample.
    [[gnu::always_inline]] bool Detect(double x) {
        mNoteOn = false;
        double e, s;
        if (!Advance(x, e, s)) [[unlikely]]
            return false;
        mPrevEnvLevel = e;
        return Decide(s);
    }

    // Detect for each of n samples, in order; onsets[k] receives the decision for x[k] (1 or 0).
    // The same results as one sample at a time. The two filters step together in the two lanes
    // of one vector, the slope filter two samples behind the envelope filter (so its input is
    // ready long before it is needed); a block whose slopes leave the finite range is taken again
    // one sample at a time.
    void Detect(const double* x, uint8_t* onsets, int n);
    // The same on the mono mix (left[k] + right[k]) x 0.5 of two channels.
    void Detect(const double* left, const double* right, uint8_t* onsets, int n);

    // Alternative rule for sustained, smoothly modulated input (the effect uses Detect). Like
    // Detect, it remembers the envelope level it differentiated against.
    bool SinDetect(double x);

    bool IsNoteOn() const { return mNoteOn; }
    bool IsArmed() const { return mArmed; }
    bool IsRestartPending() const { return mRestartPending; }
    bool IsJump() const { return mJump; }
    bool IsInNote() const { return mInNote; }
    int GetSampleRate() const { return mSampleRate; }
    double GetEnvLevel() const { return mEnvLevel; }
    double GetPrevEnvLevel() const { return mPrevEnvLevel; }
    double GetSlope() const { return mSlope; }
    double GetPrevSlope() const { return mPrevSlope; }
    double GetPeak() const { return mPeak; }
    double GetPrevPeak() const { return mPrevPeak; }
    double GetThresholdScale() const { return mThresholdScale; }
    double GetThresholdRef() const { return mThresholdRef; }
    double GetRangeDb() const { return mRangeDb; }
    int64_t GetRiseCounter() const { return mRiseCounter; }
    double GetHoldTime() const { return mHoldTime; }
    const FilterLP2& GetEnvFilter() const { return mEnvFilter; }
    const FilterLP2& GetSlopeFilter() const { return mSlopeFilter; }

private:
    // Steps both filters: e is the new envelope level, s the smoothed slope per second. Returns
    // false (and restarts the envelope from silence) when the filters have left the finite range.
    [[gnu::always_inline]] bool Advance(double x, double& e, double& s) {
        double magnitude = std::fabs(x);
        if (!(magnitude <= kLargest)) magnitude = 0.0; // NaN or infinity: silence
        e = mEnvFilter.Step(magnitude);
        mEnvLevel = e;
        s = mSlopeFilter.Step(e - mPrevEnvLevel) * static_cast<double>(mSampleRate);
        mSlope = s;
        if (std::fabs(s) <= kLargest) [[likely]]
            return true;
        Recover();
        return false;
    }
    static constexpr double kLargest = std::numeric_limits<double>::max();

    // The rules for one sample whose smoothed slope is s, in their fixed order. The usual sample
    // (slope at or below the threshold, not turning) takes the short path.
    [[gnu::always_inline]] bool Decide(double s) {
        bool onset = false;
        if (s > mThreshold) {
            onset = Rise(s);
        } else {
            mJump = mJump || mJumpReady;
            if (s < 0.0 && mPrevSlope * s < 0.0) [[unlikely]]
                Turn();
        }
        mPrevSlope = s != 0.0 ? s : mPrevSlope;
        ++mRiseCounter;
        mNoteOn = onset;
        return onset;
    }

    // The block form on inputs read by input(k); false (with the state left somewhere undefined)
    // when a slope is not finite.
    template <class Input>
    bool DetectPaired(Input input, uint8_t* onsets, int n);
    template <class Input>
    void DetectBlock(Input input, uint8_t* onsets, int n);

    // A sample whose slope s is above the threshold: peak, jump rule, onset; then (only possible
    // with a negative threshold) the turn, and the rise counter restarts if a restart is pending.
    [[gnu::always_inline]] bool Rise(double s) {
        bool onset = false;
        if (s > mPeak) mPeak = s;
        mJumpReady = JumpReady();
        if (mJumpReady) mJump = true;
        if (mArmed &&
            (mJump || static_cast<double>(mRiseCounter) > static_cast<double>(mSampleRate) * mHoldTime)) {
            mArmed = false;
            mJump = false;
            mInNote = true;
            mJumpReady = false;
            onset = true;
        }
        if (s < 0.0 && mPrevSlope * s < 0.0) Turn();
        if (mRestartPending) {
            mRiseCounter = 0;
            mRestartPending = false;
        }
        return onset;
    }
    // The slope has turned from rising to falling: the peak is kept as the previous one, and the
    // detector arms.
    void Turn() {
        mPrevPeak = mPeak;
        mPeak = 0.0;
        mArmed = true;
        mRestartPending = true;
        mInNote = false;
        mJumpReady = false; // the peak is 0 again
    }

    // The jump rule's test on the current peaks: between notes, a peak slope more than three times
    // the previous rise's. Kept in mJumpReady, which changes only where the peaks or the note state
    // do, so a sample below the threshold needs no arithmetic for it.
    bool JumpReady() const { return !mInNote && mPrevPeak > 0.0 && mPeak > 3.0 * mPrevPeak; }

    // Only reached when an input near the largest double has overflowed the filters. The envelope
    // restarts from silence: it has fallen, so the detector arms as it does when the slope turns
    // negative, and time runs on.
    void Recover() {
        mEnvFilter.ClearMemory();
        mSlopeFilter.ClearMemory();
        mEnvLevel = 0.0;
        mPrevEnvLevel = 0.0;
        mSlope = 0.0;
        mPrevPeak = mPeak;
        mPeak = 0.0;
        mArmed = true;
        mRestartPending = true;
        mInNote = false;
        mJumpReady = false;
        ++mRiseCounter;
    }

    bool mNoteOn = false;
    double mThreshold = 0.001;
    int mSampleRate = 44100;
    bool mArmed = false;
    bool mRestartPending = false;
    bool mJump = false;
    bool mInNote = false;
    bool mJumpReady = false; // JumpReady() for the current peaks and note state
    double mEnvLevel = 0.0;
    double mPrevEnvLevel = 0.0;
    double mSlope = 0.0;
    double mPrevSlope = 0.0;
    double mPeak = 0.0;
    double mPrevPeak = 0.0;
    double mThresholdScale = 2.55;
    double mThresholdRef = 6.0;
    double mRangeDb = -60.0;
    int64_t mRiseCounter = 0;
    double mHoldTime = 0.1;
    FilterLP2 mEnvFilter;
    FilterLP2 mSlopeFilter;
};
