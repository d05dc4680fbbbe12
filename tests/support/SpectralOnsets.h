#pragma once
// The onsets Tidebloom Precise's detector places in a labelled clip (tests/support/OnsetSet.h), for the
// detector tests and the onset benchmark: a fresh SpectralOnsetDetector at the clip's rate and the
// threshold of a Sensitivity, fed in blocks of 512 frames; each report moved back by the detector's
// latency to where it places the onset. Needs the sound library. Any thread.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "Sound/SpectralOnsetDetector.h"
#include "tests/support/OnsetSet.h"

inline std::vector<int64_t> SpectralOnsets(const OnsetClip& clip, int sampleRate, double sensitivity = 0.7) {
    SpectralOnsetDetector d;
    d.SetSampleRate(sampleRate);
    d.SetThreshold(SpectralOnsetDetector::ThresholdForSensitivity(sensitivity));
    const int n = static_cast<int>(clip.left.size());
    std::vector<uint8_t> onsets(clip.left.size());
    for (int k = 0; k < n; k += 512)
        d.Detect(clip.left.data() + k, clip.right.data() + k, onsets.data() + k, std::min(512, n - k));
    std::vector<int64_t> placed;
    for (int k = 0; k < n; ++k)
        if (onsets[static_cast<size_t>(k)]) placed.push_back(k - d.LatencySamples());
    return placed;
}
