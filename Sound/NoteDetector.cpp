#include "Sound/NoteDetector.h"

#include <emmintrin.h>

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

void NoteDetector::Restart() {
    mNoteOn = false;
    mArmed = false;
    mRestartPending = false;
    mJump = false;
    mInNote = false;
    mJumpReady = false;
    mEnvLevel = 0.0;
    mPrevEnvLevel = 0.0;
    mSlope = 0.0;
    mPrevSlope = 0.0;
    mPeak = 0.0;
    mPrevPeak = 0.0;
    mRiseCounter = 0;
    mEnvFilter.ClearMemory();
    mSlopeFilter.ClearMemory();
}

template <class Input>
[[gnu::always_inline]] inline bool NoteDetector::DetectPaired(Input input, uint8_t* onsets, int n) {
    // Input magnitude as Advance takes it: NaN or infinity is silence.
    auto magnitude = [&input](int k) {
        const double m = std::fabs(input(k));
        return m <= kLargest ? m : 0.0;
    };
    const double sr = static_cast<double>(mSampleRate);
    // The envelope levels of the last three samples, e1 the newest.
    double e3 = mPrevEnvLevel;
    double e2 = mEnvFilter.Step(magnitude(0));
    double e1 = mEnvFilter.Step(magnitude(1));
    // Lane 0 is the envelope filter, lane 1 the slope filter.
    const __m128d b0 = _mm_set_pd(mSlopeFilter.GetB0(), mEnvFilter.GetB0());
    const __m128d a1 = _mm_set_pd(mSlopeFilter.GetA1(), mEnvFilter.GetA1());
    const __m128d a2 = _mm_set_pd(mSlopeFilter.GetA2(), mEnvFilter.GetA2());
    const __m128d norm = _mm_set_pd(mSlopeFilter.GetNorm(), mEnvFilter.GetNorm());
    __m128d y1 = _mm_set_pd(mSlopeFilter.GetY1(), mEnvFilter.GetY1());
    __m128d y2 = _mm_set_pd(mSlopeFilter.GetY2(), mEnvFilter.GetY2());
    double s = 0.0;
    for (int k = 2; k < n; ++k) {
        // The envelope filter takes sample k, the slope filter sample k - 2 (level e2 minus e3),
        // each exactly as FilterLP2::Step computes it.
        const __m128d x = _mm_set_pd(e2 - e3, magnitude(k));
        const __m128d y = _mm_mul_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(b0, x), _mm_mul_pd(a1, y1)), _mm_mul_pd(a2, y2)), norm);
        y2 = y1;
        y1 = y;
        e3 = e2;
        e2 = e1;
        e1 = _mm_cvtsd_f64(y);
        s = _mm_cvtsd_f64(_mm_unpackhi_pd(y, y)) * sr;
        if (!(std::fabs(s) <= kLargest)) [[unlikely]]
            return false;
        onsets[k - 2] = Decide(s);
    }
    mEnvFilter.SetMemory(_mm_cvtsd_f64(y1), _mm_cvtsd_f64(y2));
    mSlopeFilter.SetMemory(_mm_cvtsd_f64(_mm_unpackhi_pd(y1, y1)), _mm_cvtsd_f64(_mm_unpackhi_pd(y2, y2)));
    // The slope filter's last two samples.
    for (int k = n - 2; k < n; ++k) {
        s = mSlopeFilter.Step(e2 - e3) * sr;
        e3 = e2;
        e2 = e1;
        if (!(std::fabs(s) <= kLargest)) [[unlikely]]
            return false;
        onsets[k] = Decide(s);
    }
    mEnvLevel = e3;
    mPrevEnvLevel = e3;
    mSlope = s;
    return true;
}

template <class Input>
void NoteDetector::DetectBlock(Input input, uint8_t* onsets, int n) {
    // A local copy keeps the state in registers for the block: the stores into onsets could
    // otherwise alias it.
    NoteDetector d = *this;
    if (n < 3 || !d.DetectPaired(input, onsets, n)) [[unlikely]] {
        // Short blocks, and blocks whose slopes overflowed: one sample at a time from the start.
        d = *this;
        for (int k = 0; k < n; ++k) onsets[k] = d.Detect(input(k));
    }
    *this = d;
}

void NoteDetector::Detect(const double* x, uint8_t* onsets, int n) {
    DetectBlock([x](int k) { return x[k]; }, onsets, n);
}

void NoteDetector::Detect(const double* left, const double* right, uint8_t* onsets, int n) {
    DetectBlock([left, right](int k) { return (left[k] + right[k]) * 0.5; }, onsets, n);
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
