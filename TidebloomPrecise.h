#pragma once
// TidebloomPrecise: Tidebloom with a detector that listens to the spectrum (SpectralOnsetDetector)
// instead of the level, so a soft note that begins under the decay of a louder one swells in too, and
// the first note after a start does as well. Everything else is Tidebloom's: the five parameters, the
// six programs and the chunk layout (a program saved from one loads in the other), the swell, the
// delay, the editor. Its own identity comes from kTidebloomPreciseDescription.
//
// The detector places each onset within a few milliseconds of the note's start and reports it a fixed
// lag later; the swell's wait is shortened by that lag, so the attack still starts on the note's first
// sample as it leaves the delay, and the delay is at least the lag plus the 3 ms fade.
//
// Created by its binding's entry function (one per instance), deleted when the host closes it. The
// threads and the lock are Tidebloom's: the detector hooks run under the plug-in mutex, the detector is
// owned by value and touched only there.
#include "Sound/SpectralOnsetDetector.h"
#include "Tidebloom.h"

class TidebloomPrecise : public Tidebloom {
public:
    explicit TidebloomPrecise(const IEffectInstanceInfo& info);

    const SpectralOnsetDetector& GetOnsetDetector() const { return mOnsetDetector; }

protected:
    // Audio thread, under the plug-in mutex: the spectral detector's decisions.
    void DetectOnsets(const double* left, const double* right, uint8_t* onsets, int n) override;
    // Under the plug-in mutex, from whichever thread changes the rate.
    void SetDetectorRate(int rate) override;
    // Under the plug-in mutex.
    void RestartDetector() override;
    // Under the plug-in mutex: SpectralOnsetDetector::ThresholdForSensitivity.
    void SetDetectorSensitivity(double v) override;
    // Any thread, under the plug-in mutex: the detector's latency at the current rate.
    int DetectorLag() const override { return mOnsetDetector.LatencySamples(); }

private:
    SpectralOnsetDetector mOnsetDetector;
};
