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

void NoteDetector::Detect(const double* x, uint8_t* onsets, int n) {
    // A local copy keeps the whole state in registers for the block: the stores into onsets could
    // otherwise alias it.
    NoteDetector d = *this;
    for (int k = 0; k < n; ++k) onsets[k] = d.Detect(x[k]);
    *this = d;
}

void NoteDetector::Detect(const double* left, const double* right, uint8_t* onsets, int n) {
    NoteDetector d = *this;
    for (int k = 0; k < n; ++k) onsets[k] = d.Detect((left[k] + right[k]) * 0.5);
    *this = d;
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
    mJumpReady = JumpReady();
    return onset;
}
