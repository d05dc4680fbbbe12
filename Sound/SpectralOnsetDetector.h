#pragma once
// SpectralOnsetDetector: finds note onsets from how the spectrum of the input changes, so it also
// hears a soft note that begins under the decay of a louder one. The mono mix is averaged down to an
// analysis rate of 22.05-44.1 kHz (rates below 22.05 kHz are analysed as they are); every 5.8 ms a
// Hann-windowed frame of 23.2 ms is transformed and its power gathered into bands a semitone wide (at
// least one bin) from 50 Hz to 10.5 kHz, each band's level compressed as log(1 + power / floor).
// A frame's novelty is the sum over bands of how far the level rose above the loudest of that band
// and its two neighbours 11.6-23.2 ms earlier, less a small allowance per band; bands more than 56 dB
// below the loudest band of the frame add nothing. So a partial that only wanders to the next band
// (vibrato), levels that swell or wobble slowly (crescendos, tremolo, beating strings) and the random
// ups and downs of noise add little, while the partials of a new note rise in bands of their own. A
// frame is an onset when its novelty is a local peak above the threshold (the part Sensitivity sets,
// plus four times the recent average novelty, capped at the threshold) and the previous onset is at
// least 40 ms back. Every time constant is in seconds, so the detector works alike at every rate.
//
// Needs no arming: the first note after a restart counts like any other. Each onset is reported a
// fixed LatencySamples() after the sample the detector places it at (within a few milliseconds of the
// note's start), so the owner knows where the note begins.
//
// One instance per effect, run on the audio thread under the owner's lock. All memory lives inside
// the object: SetSampleRate and Restart compute tables but never allocate, Detect neither allocates nor
// locks. A non-finite input sample counts as silence; samples beyond +-1e4 are clipped (for the
// analysis only).
#include <array>
#include <cstdint>

#include "Sound/RealFFT.h"

class SpectralOnsetDetector {
public:
    SpectralOnsetDetector();

    // Frame, hop, bands and time constants for a sample rate (below 1 Hz counts as 1 Hz); then
    // Restart. The threshold is kept.
    void SetSampleRate(int sampleRate);
    // Forgets the signal: analysis buffers, levels, novelty and its average return to silence.
    void Restart();

    // The part of the threshold Sensitivity sets, in units of summed log levels.
    void SetThreshold(double threshold) { mThreshold = static_cast<float>(threshold); }
    double GetThreshold() const { return mThreshold; }
    // That part for a Sensitivity v in 0..1: kThresholdAtDefault at the default 0.7, half as much for
    // every 0.1 more, twice as much for every 0.1 less (a range of 1024 : 1, as Tidebloom's 60 dB).
    static double ThresholdForSensitivity(double v);
    static constexpr double kThresholdAtDefault = 3.5;

    // Samples from the sample the detector places an onset at to the sample that reports it.
    int LatencySamples() const { return mLatency; }

    // One block of the mono mix (left[k] + right[k]) x 0.5: onsets[k] is 1 where an onset is reported
    // at frame k, else 0.
    void Detect(const double* left, const double* right, uint8_t* onsets, int n);

    int GetDecimation() const { return mDecimation; }
    int GetFrameLength() const { return mFrameLength; }
    int GetHop() const { return mHop; }
    int GetNumBands() const { return mNumBands; }
    // The novelty of the latest frame.
    float GetNovelty() const { return mNovelty[0]; }

private:
    static constexpr int kMaxFrame = RealFFT::kMaxSize; // analysis samples: 23.2 ms below 44.1 kHz
    static constexpr int kMaxBands = 80;
    // Band levels kept: this frame's, and the frames the reference is taken from.
    static constexpr int kRefLag = 2, kRefFrames = 3, kLevelFrames = kRefLag + kRefFrames;

    // Transforms the latest frame and decides on the one before it; true when that one is an onset.
    bool AnalyseFrame();
    // This frame's band levels into mLevels[0], from the frame's power spectrum.
    void BandLevels();
    // How far this frame's band levels rose above the reference.
    float Novelty() const;

    // Configuration for the current rate.
    int mDecimation = 1;    // input samples per analysis sample
    int mFrameLength = 512; // analysis samples per frame (the window)
    int mHop = 128;         // analysis samples between frames
    int mNumBands = 0;
    int mMinFrames = 1;       // frames from one onset to the next, at least
    float mAverageKeep = 0.f; // of the novelty average, per frame
    float mPowerScale = 1.f;  // power to multiples of the floor (a full-scale sine gives about 1e9)
    int mLatency = 0;
    std::array<int, kMaxBands + 1> mBandEdge{}; // first bin of each band, then the end of the last
    std::array<float, kMaxFrame> mWindow{};

    // What the detector has heard.
    double mSum = 0.0;                    // of the input samples of the analysis sample being gathered
    int mPhase = 0;                       // input samples gathered into mSum
    std::array<float, kMaxFrame> mRing{}; // the latest analysis samples
    int mRingPos = 0;                     // where the next one goes
    int mSinceFrame = 0;                  // analysis samples since the last frame
    int mFramesSinceOnset = 0;
    std::array<std::array<float, kMaxBands>, kLevelFrames> mLevels{}; // [0] the latest frame
    std::array<float, 3> mNovelty{}; // [0] the latest frame, [1] the one before, [2] before that
    float mAverage = 0.f;            // of the novelty, capped at the threshold, before mNovelty[1]
    float mThreshold = static_cast<float>(kThresholdAtDefault);

    RealFFT mFFT;
    std::array<float, RealFFT::kMaxSize> mFrame{};
    std::array<float, RealFFT::kMaxSize / 2 + 1> mPower{};
};
