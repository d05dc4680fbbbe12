#pragma once
// FilterLP2: a two-pole low-pass filter with unity gain at zero frequency.
// The owner sets sample rate, Q and cutoff, then calls UpdateCoefficients() before the first
// sample. Step() filters one value and is what NoteDetector runs inline for its two filters; the
// Process overloads filter whole buffers. Plain data, no locking: the owner's thread uses it.
#include <vector>

class FilterLP2 {
public:
    FilterLP2() = default;

    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    void SetQ(double q) { mQ = q; }
    void SetCutoff(double cutoff) { mCutoff = cutoff; }
    // Recomputes the coefficients from sample rate, Q and cutoff; the memory is kept.
    void UpdateCoefficients();
    // Forgets the previous outputs (the filter then behaves as after construction).
    void ClearMemory() { mOut = mY1 = mY2 = 0.0; }
    // Sets the last output y1 and the one before it, y2 (for a caller that ran the steps itself).
    void SetMemory(double y1, double y2) {
        mOut = mY1 = y1;
        mY2 = y2;
    }

    // One filter step, evaluated exactly in this order.
    double Step(double x) {
        const double y = ((mB0 * x + mA1 * mY1) + mA2 * mY2) * mNorm;
        mOut = y;
        mY2 = mY1;
        mY1 = y;
        return y;
    }

    // Filters out.size() samples from in (which must be at least as long) into out.
    virtual void Process(const std::vector<double>& in, std::vector<double>& out);
    // Filters n samples.
    virtual void Process(const double* in, double* out, int n);

    double GetSampleRate() const { return mSampleRate; }
    double GetQ() const { return mQ; }
    double GetCutoff() const { return mCutoff; }
    double GetW() const { return mW; }
    double GetNorm() const { return mNorm; }
    double GetB0() const { return mB0; }
    double GetA1() const { return mA1; }
    double GetA2() const { return mA2; }
    double GetOut() const { return mOut; }
    double GetY1() const { return mY1; }
    double GetY2() const { return mY2; }

private:
    double mSampleRate = 0.0;
    double mQ = 0.0;
    double mW = 0.0;
    double mCutoff = 3000.0;
    double mNorm = 0.0;
    double mB0 = 0.0;
    double mA1 = 0.0;
    double mA2 = 0.0;
    double mOut = 0.0;
    double mY1 = 0.0;
    double mY2 = 0.0;
};
