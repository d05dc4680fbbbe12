#pragma once
// A straightforward per-sample statement of the swell effect for tests: its own onset detector, the
// swell envelope as the effect configures it, and a delay that reads D samples back in the stream of
// samples pushed while processing was on. Written independently of the effect's code.
#include <cmath>
#include <vector>

#include "tests/support/ReferenceDetector.h"

struct SwellModel {
    // Parameters (plain values).
    double sensitivity = 0.7, time = 0.5, depthParam = 0.75, vol = 1.0;
    bool on = true;

    ReferenceDetector detector{Threshold()};

    // Envelope: 0 attack, 2 sustain, 4 fade, 6 wait.
    int stage = 2, step = 0;
    double level = 1.0, retrig = 1.0;

    // Delay streams, one per channel, starting with 1500 zeros.
    std::vector<double> stream[2] = {std::vector<double>(1500, 0.0), std::vector<double>(1500, 0.0)};

    double Threshold() const { return std::exp(sensitivity * -60.0 / 20.0 * 2.302585092994046) * 2.55 * 6.0; }
    int Attack() const { return static_cast<int>(44100.0 * std::pow(10.0, 3.0 * time - 2.0)); }
    double Depth() const { return std::exp(std::log(depthParam) / 3.0); }
    int Delay() const { return static_cast<int>(1500.0 * Depth()); }
    int Wait() const { return Delay() - 132 < 0 ? 0 : Delay() - 132; }

    bool Detect(double x) {
        detector.threshold = Threshold();
        return detector.Detect(x);
    }

    double Envelope(bool trigger) {
        if (trigger) {
            retrig = level;
            step = 0;
            stage = 4;
        }
        if (stage == 4) {
            level = (1.0 - static_cast<double>(step) / 132.0) * retrig;
            if (++step >= 132) {
                step = 0;
                stage = 6;
            }
        } else if (stage == 6) {
            if (++step >= Wait()) {
                step = 0;
                stage = 0;
            }
        } else if (stage == 0) {
            level = std::pow(static_cast<double>(step) / Attack(), 1.0);
            if (++step >= Attack()) {
                step = 0;
                stage = 2;
            }
        } else {
            level = 1.0;
        }
        if (std::fabs(level) > 1.0) level = 1.0; // an attack shortened below its current step
        return level;
    }

    bool lastOnset = false;

    // One stereo frame.
    void Frame(double in0, double in1, double& out0, double& out1) {
        lastOnset = Detect((in0 + in1) * 0.5);
        const double env = Envelope(lastOnset);
        const double in[2] = {in0, in1};
        double out[2];
        for (int c = 0; c < 2; ++c) {
            if (!on) {
                out[c] = in[c];
                continue;
            }
            stream[c].push_back(in[c]);
            const double delayed = stream[c][stream[c].size() - 1 - static_cast<size_t>(Delay())];
            out[c] = (vol * delayed) * (Depth() * env + (1.0 - Depth()));
        }
        out0 = out[0];
        out1 = out[1];
    }
};
