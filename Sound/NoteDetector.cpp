#include "Sound/NoteDetector.h"

NoteDetector::NoteDetector() {
    SetSampleRate(44100);
}

void NoteDetector::SetSampleRate(int sampleRate) {
    mSampleRate = sampleRate;
    const double sr = static_cast<double>(sampleRate);
    mEnvFilter.SetSampleRate(sr);
    mEnvFilter.SetQ(0.6);
    mEnvFilter.SetCutoff(6.0);
    mEnvFilter.UpdateCoefficients();
    mSlopeFilter.SetSampleRate(sr);
    mSlopeFilter.SetQ(0.6);
    mSlopeFilter.SetCutoff(60.0);
    mSlopeFilter.UpdateCoefficients();
    mThresholdScale = 2.55;
    mThresholdRef = 6.0;
    mRangeDb = -60.0;
}

void NoteDetector::Recover() {
    // Only reached when an input near the largest double has overflowed the filters. The envelope
    // restarts from silence: it has fallen, so the detector arms as it does when the slope turns
    // negative, and time runs on.
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
    ++mRiseCounter;
}

bool NoteDetector::SinDetect(double x) {
    mNoteOn = false;
    double e, s;
    if (!Advance(x, e, s)) return false;
    if (s > mThreshold) {
        if (mInNote && s > mPeak) {
            mPeak = s;
            mRiseCounter = 0;
            mRestartPending = false;
        }
        if (!mInNote && mRestartPending) mArmed = true;
    }
    const double hold = mHoldTime * static_cast<double>(mSampleRate);
    if (mPrevSlope * s < 0.0 && s < 0.0 && static_cast<double>(mRiseCounter) > hold) {
        mPrevPeak = mPeak;
        mPeak = 0.0;
        mInNote = false;
    }
    bool onset = false;
    if (mArmed) {
        mNoteOn = true;
        mArmed = false;
        mInNote = true;
        onset = true;
    }
    ++mRiseCounter;
    if (static_cast<double>(mRiseCounter) > static_cast<double>(mSampleRate) * mHoldTime) {
        mRestartPending = true;
        mPrevPeak = mPeak;
        mPeak = mPeak / 5.0;
        mRiseCounter = 0;
    } else if (mRestartPending) {
        mRiseCounter = 0;
    }
    mPrevSlope = s;
    mPrevEnvLevel = e;
    return onset;
}
