#include "TidebloomPrecise.h"

TidebloomPrecise::TidebloomPrecise(const IEffectInstanceInfo& info)
    : Tidebloom(info, kTidebloomPreciseDescription) {
    DetectorChanged();
}

void TidebloomPrecise::DetectOnsets(const double* left, const double* right, uint8_t* onsets, int n) {
    mOnsetDetector.Detect(left, right, onsets, n);
}

void TidebloomPrecise::SetDetectorRate(int rate) {
    mOnsetDetector.SetSampleRate(rate);
}

void TidebloomPrecise::RestartDetector() {
    mOnsetDetector.Restart();
}

void TidebloomPrecise::SetDetectorSensitivity(double v) {
    mOnsetDetector.SetThreshold(SpectralOnsetDetector::ThresholdForSensitivity(v));
}
