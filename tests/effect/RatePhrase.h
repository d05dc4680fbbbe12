#pragma once
// The demo phrase's notes synthesised at any rate from one definition in seconds (the same music, not
// the same samples relabelled), for the tests that compare the effects across sample rates.
#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <vector>

#include "host/HostDemoPhrase.h"

inline constexpr double kPhraseSeconds = 7.0;
// Each note rings 1.5 s, rising over 1 ms and falling over the last 50 ms.
inline constexpr double kRing = 1.5, kRise = 0.001, kFall = 0.05;
// The demo phrase's notes as tones defined in continuous time and sampled at rate: four harmonics
// of falling strength, each decaying at its own rate per second (faster for higher notes and
// harmonics). Each harmonic is a rotating, shrinking complex phasor. The first `seconds` of the phrase;
// cached per rate and length.
inline const std::vector<double>& PhraseAt(int rate, double seconds = kPhraseSeconds) {
    static std::map<std::pair<int, double>, std::vector<double>> cache;
    std::vector<double>& x = cache[{rate, seconds}];
    if (!x.empty()) return x;
    x.assign(static_cast<size_t>(std::llround(seconds * rate)), 0.0);
    const double dt = 1.0 / rate;
    for (const HostDemoNote& note : HostDemoNotes()) {
        const double f = 440.0 * std::pow(2.0, (note.midiNote - 69) / 12.0);
        const size_t first = static_cast<size_t>(std::ceil(note.start * rate));
        const size_t end = std::min(x.size(), static_cast<size_t>(std::ceil((note.start + kRing) * rate)));
        // Harmonic h + 1: phasor (re, im), multiplied by (stepRe, stepIm) every sample.
        double re[4], im[4], stepRe[4], stepIm[4];
        for (int h = 0; h < 4; ++h) {
            const std::complex<double> s(-(2.7 + 1.2 * h) * std::min(2.0, f / 220.0),
                                         2.0 * std::numbers::pi * (h + 1) * f);
            const std::complex<double> step = std::exp(s * dt);
            const std::complex<double> z = std::exp(s * (static_cast<double>(first) * dt - note.start)) *
                                           (0.5 * note.amplitude / (h + 1));
            re[h] = z.real();
            im[h] = z.imag();
            stepRe[h] = step.real();
            stepIm[h] = step.imag();
        }
        for (size_t k = first; k < end; ++k) {
            double v = 0.0;
            for (int h = 0; h < 4; ++h) {
                v += im[h];
                const double r = re[h] * stepRe[h] - im[h] * stepIm[h];
                im[h] = re[h] * stepIm[h] + im[h] * stepRe[h];
                re[h] = r;
            }
            const double t = static_cast<double>(k) * dt - note.start;
            x[k] += v * std::min({1.0, t / kRise, (kRing - t) / kFall});
        }
    }
    return x;
}
