// Long randomized runs: random music, noise, clicks and silences, random block sizes, random
// automation of every parameter and in-place buffers, compared sample for sample with a literal
// per-sample statement of the effect: its own filters, onset rules, general envelope stages, a
// delay line that shifts its whole array on every block, and the block rules frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "tests/effect/EffectFixture.h"

namespace {

// ---- The literal statement ----

struct PlainFilter {
    double sampleRate, q, w, cutoff, norm, b0, a1, a2, out = 0.0, y1 = 0.0, y2 = 0.0;
    PlainFilter(double sr, double quality, double fc) : sampleRate(sr), q(quality), cutoff(fc) {
        w = std::numbers::pi * cutoff / q;
        norm = 1.0 / (w / sampleRate + 1.0);
        const double b = 2.0 * std::numbers::pi * cutoff / sampleRate;
        b0 = b * b;
        a1 = 2.0 - b0;
        a2 = w / sampleRate - 1.0;
    }
    double Step(double x) {
        const double y = ((b0 * x + a1 * y1) + a2 * y2) * norm;
        out = y;
        y2 = y1;
        y1 = y;
        return y;
    }
};

struct PlainDetector {
    bool noteOn = false;
    double threshold = 0.001;
    int sampleRate = 44100;
    bool armed = false, restartPending = false, jump = false, inNote = false;
    double envLevel = 0.0, prevEnvLevel = 0.0, slope = 0.0, prevSlope = 0.0, peak = 0.0, prevPeak = 0.0;
    int64_t riseCounter = 0;
    double holdTime = 0.1;
    PlainFilter envFilter{44100.0, 0.6, 6.0}, slopeFilter{44100.0, 0.6, 60.0};

    bool Detect(double x) {
        noteOn = false;
        const double e = envFilter.Step(std::fabs(x));
        envLevel = e;
        const double s = slopeFilter.Step(e - prevEnvLevel) * static_cast<double>(sampleRate);
        slope = s;
        if (s > threshold && s > peak) peak = s;
        if (peak > 3.0 * prevPeak && !inNote && prevPeak > 0.0) jump = true;
        bool result = false;
        if (s > threshold && armed &&
            (static_cast<double>(riseCounter) > static_cast<double>(sampleRate) * holdTime || jump)) {
            noteOn = true;
            armed = false;
            jump = false;
            inNote = true;
            result = true;
        }
        if (prevSlope * s < 0.0 && s < 0.0) {
            prevPeak = peak;
            peak = 0.0;
            armed = true;
            restartPending = true;
            inNote = false;
        }
        if (s > threshold && restartPending) {
            riseCounter = 0;
            restartPending = false;
        }
        if (s != 0.0) prevSlope = s;
        riseCounter += 1;
        prevEnvLevel = e;
        return result;
    }
};

// Every stage, as the envelope describes them; only the effect's configuration is driven here.
struct PlainEnvelope {
    enum { kAttack, kDecay, kSustain, kRelease, kNoteOff, kIdle, kWait };
    double releaseThreshold = 0.0, level = 1.0, retrigLevel = 1.0;
    int attackSamples = 10000, decaySamples = 10000;
    double sustainLevel = 0.2;
    int releaseSamples = 1000, noteOffSamples = 60, waitSamples = 1000;
    double attackSpeed = 0.0, decaySpeed = 0.0, releaseSpeed = 0.0;
    bool reTrig = true;
    int step = 0, stage = kSustain;

    double NextStep(bool trigger, double input) {
        if (trigger) {
            if (reTrig) {
                retrigLevel = level;
                step = 0;
                stage = kNoteOff;
            } else {
                step = 0;
                stage = kWait;
            }
        }
        const double r = static_cast<double>(step);
        switch (stage) {
        case kAttack:
            level = std::pow(r / attackSamples, attackSpeed * attackSpeed);
            step += 1;
            if (step >= attackSamples) {
                step = 0;
                stage = decaySamples == 0 ? kSustain : kDecay;
            }
            break;
        case kDecay:
            level = (1.0 - sustainLevel) * (std::exp((1.0 - r / decaySamples) * decaySpeed) - 1.0) /
                        (std::exp(decaySpeed) - 1.0) +
                    sustainLevel;
            step += 1;
            if (step >= decaySamples) {
                step = 0;
                stage = kSustain;
            }
            break;
        case kSustain:
            level = sustainLevel;
            if (releaseThreshold > input) {
                step = 0;
                stage = kRelease;
            }
            break;
        case kRelease:
            level = (std::exp((1.0 - r / releaseSamples) * releaseSpeed) - 1.0) /
                    (std::exp(releaseSpeed) - 1.0) * sustainLevel;
            step += 1;
            if (step >= releaseSamples) {
                step = 0;
                stage = kIdle;
            }
            break;
        case kNoteOff:
            level = (1.0 - r / noteOffSamples) * retrigLevel;
            step += 1;
            if (step >= noteOffSamples) {
                step = 0;
                stage = kWait;
            }
            break;
        case kIdle:
            level = 0.0;
            break;
        case kWait:
            step += 1;
            if (step >= waitSamples) {
                step = 0;
                stage = attackSamples == 0 ? kDecay : kAttack;
            }
            break;
        }
        if (std::fabs(level) > 1.0) level = 1.0;
        return level;
    }
};

// Oldest first, newest last; a push moves every element.
struct PlainHistory {
    std::vector<double> buffer = std::vector<double>(256, 0.0);
    void SetLength(int n) {
        const double newest = buffer.back();
        buffer.resize(static_cast<size_t>(n), newest);
    }
    int Length() const { return static_cast<int>(buffer.size()); }
    void Push(const double* block, int n) {
        const int size = Length();
        if (size > n) {
            for (int m = 0; m < size - n; ++m)
                buffer[static_cast<size_t>(m)] = buffer[static_cast<size_t>(m + n)];
            for (int i = 0; i < n; ++i) buffer[static_cast<size_t>(size - n + i)] = block[i];
        } else {
            for (int i = 0; i < size; ++i) buffer[static_cast<size_t>(i)] = block[n - size + i];
        }
    }
};

struct PlainEffect {
    double volume = 1.0, depth = 1.0;
    bool onOff = true;
    int delaySamples = 1500, latency = 0;
    int onsets = 0, subnormalFrames = 0; // tallies showing what a run went through
    std::vector<double> envelopeBuffer;
    PlainHistory history[2];
    PlainDetector detector;
    PlainEnvelope envelope;

    PlainEffect() {
        const int sr = 44100;
        envelope.decaySamples = static_cast<int>(static_cast<double>(sr) * 0.0);
        envelope.noteOffSamples = static_cast<int>(static_cast<double>(sr) * 0.003);
        envelope.releaseSamples = static_cast<int>(static_cast<double>(sr) * 0.0);
        envelope.sustainLevel = 1.0;
        envelope.releaseThreshold = 0.0;
        envelope.attackSpeed = 1.0;
        for (PlainHistory& h : history) h.SetLength(1500);
        delaySamples = history[0].Length();
        SetWait(delaySamples);
    }
    void SetWait(int samples) { envelope.waitSamples = std::max(0, samples - envelope.noteOffSamples); }

    // v is the parameter's plain value.
    void Map(int index, double v) {
        switch (index) {
        case kSensitivity:
            detector.threshold = std::exp(v * (-60.0) / 20.0 * 2.302585092994046) * 2.55 * 6.0;
            break;
        case kTime:
            envelope.attackSamples = static_cast<int>(44100.0 * std::pow(10.0, 3.0 * v - 2.0));
            break;
        case kDepth:
            depth = std::exp(std::log(v) / 3.0);
            delaySamples = std::min(static_cast<int>(1500.0 * depth), 1500);
            SetWait(delaySamples);
            latency = onOff ? delaySamples : 0;
            break;
        case kVol:
            volume = v;
            break;
        case kOnOff:
            onOff = v != 0.0;
            latency = onOff ? delaySamples : 0;
            break;
        }
    }

    void Process(double** inputs, double** outputs, int nFrames) {
        envelopeBuffer.assign(static_cast<size_t>(nFrames), 0.0);
        for (int k = 0; k < nFrames; ++k) {
            const double m = (inputs[0][k] + inputs[1][k]) * 0.5;
            const bool onset = detector.Detect(m);
            onsets += onset;
            subnormalFrames += std::fpclassify(detector.slopeFilter.y1) == FP_SUBNORMAL ||
                               std::fpclassify(detector.envFilter.y1) == FP_SUBNORMAL;
            envelopeBuffer[static_cast<size_t>(k)] = envelope.NextStep(onset, 0.0);
        }
        for (int c = 0; c < 2; ++c) {
            const double* in = inputs[c];
            double* out = outputs[c];
            if (!onOff) {
                for (int k = 0; k < nFrames; ++k) out[k] = in[k];
                continue;
            }
            const int d = delaySamples;
            PlainHistory& h = history[c];
            const int l = h.Length();
            auto g = [&](int k) { return depth * envelopeBuffer[static_cast<size_t>(k)] + (1.0 - depth); };
            if (d < nFrames) {
                for (int k = 0; k < d; ++k)
                    out[k] = (volume * h.buffer[static_cast<size_t>(l - d + k)]) * g(k);
                for (int k = d; k < nFrames; ++k) out[k] = (volume * in[k - d]) * g(k);
            } else {
                for (int k = 0; k < nFrames; ++k)
                    out[k] = (volume * h.buffer[static_cast<size_t>(l - d + k)]) * g(k);
            }
            h.Push(in, nFrames);
        }
    }
};

// ---- Random material ----

struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    double Uniform() { return Next() / 2147483648.0; }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

// Tone bursts of any loudness, noise, clicks, steps and silences (some long enough for the filters to
// decay through the subnormal range); the channels differ, sometimes cancelling in the mix.
void MakeMaterial(Random& rnd, int n, int silence, std::vector<double>& left, std::vector<double>& right) {
    left.assign(static_cast<size_t>(n), 0.0);
    right.assign(static_cast<size_t>(n), 0.0);
    int k = 0;
    bool longSilence = false;
    while (k < n) {
        int kind = rnd.Below(7);
        int len = 100 + rnd.Below(12000);
        if (!longSilence && k > n / 3) {
            kind = 6;
            len = silence;
            longSilence = true;
        }
        len = std::min(len, n - k);
        const double amp = std::pow(10.0, -3.0 + 3.5 * rnd.Uniform());
        const double pan = rnd.Uniform();
        const double sign = rnd.Below(5) == 0 ? -1.0 : 1.0;
        const double freq = 40.0 + 2000.0 * rnd.Uniform();
        const double decay = 0.5 + 20.0 * rnd.Uniform();
        for (int i = 0; i < len; ++i) {
            const double t = i / 44100.0;
            double v = 0.0;
            switch (kind) {
            case 0:
            case 1:
            case 2:
                v = amp * std::exp(-decay * t) * std::sin(2.0 * std::numbers::pi * freq * t);
                break;
            case 3:
                v = amp * (2.0 * rnd.Uniform() - 1.0);
                break;
            case 4:
                v = i % 997 == 0 ? amp : 0.0;
                break;
            case 5:
                v = amp;
                break;
            default:
                v = 0.0;
            }
            left[static_cast<size_t>(k + i)] += v * pan;
            right[static_cast<size_t>(k + i)] += sign * v * (1.0 - pan);
        }
        k += len;
    }
}

// A random plain value for a parameter, as text a host would type.
void RandomValue(Random& rnd, int index, char* text, size_t size) {
    double v = 0.0;
    switch (index) {
    case kSensitivity:
        v = rnd.Uniform();
        break;
    case kTime:
        v = 0.6 * rnd.Uniform();
        break;
    case kDepth: {
        const int pick = rnd.Below(6);
        v = pick == 0 ? 0.0 : pick == 1 ? 0.002 * rnd.Uniform() : pick == 2 ? 1.0 : rnd.Uniform();
        break;
    }
    case kVol:
        v = 2.0 * rnd.Uniform();
        break;
    default:
        v = rnd.Below(4) == 0 ? 0.0 : 1.0;
    }
    std::snprintf(text, size, "%.9g", v);
}

void RunSeed(uint64_t seed, int nFrames, int silence) {
    Random rnd(seed);
    std::vector<double> in0, in1;
    MakeMaterial(rnd, nFrames, silence, in0, in1);

    EffectInstance fx;
    ASSERT_NE(fx.Fx(), nullptr);
    PlainEffect model;
    for (int i = 0; i < kNumParams; ++i) model.Map(i, fx.Plain(i)); // what opening the effect maps
    ASSERT_EQ(fx.Fx()->initialDelay, model.latency);
    fx.Dispatch(effSetBlockSize, 0, 4096);

    std::vector<double> want0(in0.size()), want1(in0.size()), got0(in0.size()), got1(in0.size());
    std::vector<double> scratch0(4096), scratch1(4096);
    int shortDelays = 0, wholeBlocksFromHistory = 0, splitBlocks = 0;
    for (int done = 0; done < nFrames;) {
        // Automation between blocks.
        while (rnd.Below(3) == 0) {
            const int index = rnd.Below(kNumParams);
            char text[64];
            RandomValue(rnd, index, text, sizeof(text));
            fx.SetPlain(index, text);
            const double v = std::strtod(text, nullptr);
            ASSERT_EQ(fx.Plain(index), v) << text;
            model.Map(index, v);
            ASSERT_EQ(fx.Fx()->initialDelay, model.latency) << "seed " << seed << " param " << index;
        }
        const int sizes[] = {1,
                             2,
                             1 + rnd.Below(64),
                             1 + rnd.Below(2100),
                             512,
                             1500,
                             2000,
                             std::max(1, model.delaySamples),
                             model.delaySamples + 1};
        const int len = std::min(sizes[rnd.Below(9)], nFrames - done);
        const size_t at = static_cast<size_t>(done);

        double* modelIn[2] = {in0.data() + at, in1.data() + at};
        double* modelOut[2] = {want0.data() + at, want1.data() + at};
        model.Process(modelIn, modelOut, len);

        // Separate buffers, in place, or in place with the channels swapped.
        const int layout = rnd.Below(3);
        double* ins[2];
        double* outs[2];
        if (layout == 0) {
            ins[0] = in0.data() + at;
            ins[1] = in1.data() + at;
            outs[0] = got0.data() + at;
            outs[1] = got1.data() + at;
        } else {
            std::copy(in0.begin() + done, in0.begin() + done + len, scratch0.begin());
            std::copy(in1.begin() + done, in1.begin() + done + len, scratch1.begin());
            ins[0] = scratch0.data();
            ins[1] = scratch1.data();
            outs[0] = layout == 1 ? scratch0.data() : scratch1.data();
            outs[1] = layout == 1 ? scratch1.data() : scratch0.data();
        }
        fx.Fx()->processDoubleReplacing(fx.Fx(), ins, outs, len);
        if (layout != 0) {
            std::copy(outs[0], outs[0] + len, got0.begin() + done);
            std::copy(outs[1], outs[1] + len, got1.begin() + done);
        }
        for (int k = 0; k < len; ++k) {
            const size_t i = at + static_cast<size_t>(k);
            ASSERT_EQ(std::memcmp(&got0[i], &want0[i], sizeof(double)), 0)
                << "seed " << seed << " frame " << i << " got " << got0[i] << " want " << want0[i];
            ASSERT_EQ(std::memcmp(&got1[i], &want1[i], sizeof(double)), 0)
                << "seed " << seed << " frame " << i << " got " << got1[i] << " want " << want1[i];
        }
        if (model.onOff) {
            shortDelays += model.delaySamples < 132;
            wholeBlocksFromHistory += model.delaySamples >= len && model.delaySamples > 0;
            splitBlocks += model.delaySamples < len && model.delaySamples > 0;
        }
        done += len;
    }
    EXPECT_EQ(fx.Effect().GetEnvelope().GetLevel(), model.envelope.level);
    EXPECT_EQ(fx.Effect().GetNoteDetector().GetRiseCounter(), model.detector.riseCounter);
    EXPECT_GT(shortDelays, 0) << seed;
    EXPECT_GT(wholeBlocksFromHistory, 0) << seed;
    EXPECT_GT(splitBlocks, 0) << seed;
    EXPECT_GE(model.onsets, 10) << seed;
    if (silence >= 44100 * 25) {
        EXPECT_GT(model.subnormalFrames, 44100) << seed;
    }
}

} // namespace

TEST(TidebloomRandomRuns, EveryBlockMatchesTheLiteralModel) {
    // One run has a silence long enough for the filters to decay through the subnormal range.
    RunSeed(1, 44100 * 40, 44100 * 27);
    for (uint64_t seed = 2; seed <= 4; ++seed) RunSeed(seed, 44100 * 20, 44100 * 5);
}
