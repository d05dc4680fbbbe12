#pragma once
// The onset rules written out directly, sample by sample, with filters of their own: the reference
// the detector and the effect are compared with. Written independently of the code under test.
#include <cmath>
#include <cstdint>
#include <numbers>

struct ReferenceDetector {
    struct Filter {
        double b0, a1, a2, norm, y1 = 0.0, y2 = 0.0;
        Filter(double sr, double fc) {
            const double w = std::numbers::pi * fc / 0.6;
            norm = 1.0 / (w / sr + 1.0);
            const double b = 2.0 * std::numbers::pi * fc / sr;
            b0 = b * b;
            a1 = 2.0 - b0;
            a2 = w / sr - 1.0;
        }
        double Step(double x) {
            const double y = ((b0 * x + a1 * y1) + a2 * y2) * norm;
            y2 = y1;
            y1 = y;
            return y;
        }
    };
    double threshold;
    Filter env{44100.0, 6.0}, slope{44100.0, 60.0};
    bool armed = false, restart = false, jump = false, inNote = false;
    double e = 0.0, prevE = 0.0, s = 0.0, prevS = 0.0, peak = 0.0, prevPeak = 0.0;
    int64_t counter = 0;

    explicit ReferenceDetector(double thr) : threshold(thr) {}
    bool Detect(double x) {
        e = env.Step(std::fabs(x));
        s = slope.Step(e - prevE) * 44100.0;
        if (s > threshold && s > peak) peak = s;
        if (peak > 3.0 * prevPeak && !inNote && prevPeak > 0.0) jump = true;
        bool onset = false;
        if (s > threshold && armed && (static_cast<double>(counter) > 44100.0 * 0.1 || jump)) {
            armed = false;
            jump = false;
            inNote = true;
            onset = true;
        }
        if (prevS * s < 0.0 && s < 0.0) {
            prevPeak = peak;
            peak = 0.0;
            armed = true;
            restart = true;
            inNote = false;
        }
        if (s > threshold && restart) {
            counter = 0;
            restart = false;
        }
        if (s != 0.0) prevS = s;
        ++counter;
        prevE = e;
        return onset;
    }
};
