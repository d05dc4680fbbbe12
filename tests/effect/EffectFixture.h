#pragma once
// Creates a Tidebloom (or Tidebloom Precise) instance through the plug-in's entry steps (with its
// editor, as the plug-in makes it) and drives it through its effect record, as a host does; also the
// synthesized test music.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "TidebloomWithEditor.h"

inline intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

class EffectInstance {
public:
    // A host that announces its sample rate before opening passes it here; precise makes Tidebloom
    // Precise.
    explicit EffectInstance(float rateBeforeOpen = 0.0f, bool precise = false) {
        mFx = VSTCreateInstance(
            SilentHost,
            precise
            ? [](const IEffectInstanceInfo& info)
                  -> IEffectVST* { return TidebloomPreciseCreateWithEditor(info); }
            : [](const IEffectInstanceInfo& info) -> IEffectVST* { return TidebloomCreateWithEditor(info); });
        if (!mFx) return;
        if (rateBeforeOpen != 0.0f) Dispatch(effSetSampleRate, 0, 0, nullptr, rateBeforeOpen);
        Dispatch(effOpen);
    }
    ~EffectInstance() {
        if (mFx) Dispatch(effClose);
    }
    EffectInstance(const EffectInstance&) = delete;
    EffectInstance& operator=(const EffectInstance&) = delete;

    AEffect* Fx() const { return mFx; }
    Tidebloom& Effect() const { return *static_cast<Tidebloom*>(static_cast<IEffectVST*>(mFx->object)); }
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return mFx->dispatcher(mFx, opcode, index, value, ptr, opt);
    }
    // Sets a plain value the way a host types it in (effString2Parameter).
    void SetPlain(int index, const char* text) {
        Dispatch(effString2Parameter, index, 0, const_cast<char*>(text));
    }
    double Plain(int index) const { return Effect().GetParam(index)->Value(); }

    // Runs a stereo signal through processDoubleReplacing in blocks of blockSize frames.
    void Process(const std::vector<double>& in0, const std::vector<double>& in1, std::vector<double>& out0,
                 std::vector<double>& out1, int blockSize) {
        const int n = static_cast<int>(in0.size());
        out0.assign(in0.size(), -7.0);
        out1.assign(in1.size(), -7.0);
        Dispatch(effSetBlockSize, 0, blockSize);
        for (int done = 0; done < n; done += blockSize) {
            const int len = std::min(blockSize, n - done);
            double* ins[2] = {const_cast<double*>(in0.data()) + done, const_cast<double*>(in1.data()) + done};
            double* outs[2] = {out0.data() + done, out1.data() + done};
            mFx->processDoubleReplacing(mFx, ins, outs, len);
        }
    }

private:
    AEffect* mFx = nullptr;
};

// Plucked notes with a few harmonics, one every 0.2 to 0.5 s at varying loudness, slightly different
// in the two channels; some notes overlap the previous one's tail.
inline void MakeMusic(int nFrames, std::vector<double>& left, std::vector<double>& right, uint32_t seed = 1) {
    left.assign(static_cast<size_t>(nFrames), 0.0);
    right.assign(static_cast<size_t>(nFrames), 0.0);
    uint32_t state = seed;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    };
    int start = 2000;
    while (start < nFrames) {
        const double freq = 110.0 * std::pow(2.0, std::floor(next() * 24.0) / 12.0);
        const double amp = 0.1 + 0.7 * next();
        const double pan = 0.3 + 0.4 * next();
        const double decay = 3.0 + 6.0 * next();
        for (int i = 0; start + i < nFrames && i < 44100 * 2; ++i) {
            const double t = i / 44100.0;
            const double a = amp * std::exp(-decay * t) * std::min(1.0, i / 40.0);
            double v = 0.0;
            for (int h = 1; h <= 4; ++h) v += std::sin(2.0 * std::numbers::pi * freq * h * t) / h;
            left[static_cast<size_t>(start + i)] += a * v * (1.0 - pan);
            right[static_cast<size_t>(start + i)] += a * v * pan;
        }
        start += 8820 + static_cast<int>(next() * 13230.0);
    }
}
