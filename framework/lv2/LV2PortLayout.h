#pragma once
// LV2PortLayout: the port indices of an effect's LV2 plug-in, computed from its description. Audio
// inputs come first, then audio outputs, then one control input per parameter in index order, and
// last the latency output. The binding reads ports by these indices and the Turtle generator writes
// them, so the two agree by construction. A plain value: any thread.
#include <cstdint>

#include "framework/plugin/IEffectDescription.h"

struct LV2PortLayout {
    enum EKind { kAudioIn, kAudioOut, kControlIn, kLatencyOut, kNoPort };
    // What a port index stands for: its kind and the channel or parameter index within that kind.
    struct Port {
        EKind mKind = kNoPort;
        int mIndex = 0;
    };

    int mNumInputs = 0;
    int mNumOutputs = 0;
    int mNumParams = 0;

    static LV2PortLayout Of(const IEffectDescription& desc) {
        return {desc.MaxInputs(), desc.MaxOutputs(), desc.NParams()};
    }

    uint32_t AudioIn(int channel) const { return static_cast<uint32_t>(channel); }
    uint32_t AudioOut(int channel) const { return static_cast<uint32_t>(mNumInputs + channel); }
    uint32_t ControlIn(int param) const { return static_cast<uint32_t>(mNumInputs + mNumOutputs + param); }
    uint32_t LatencyOut() const { return static_cast<uint32_t>(mNumInputs + mNumOutputs + mNumParams); }
    uint32_t NumPorts() const { return LatencyOut() + 1; }

    Port At(uint32_t index) const {
        int64_t i = index;
        if (i < mNumInputs) return {kAudioIn, static_cast<int>(i)};
        if ((i -= mNumInputs) < mNumOutputs) return {kAudioOut, static_cast<int>(i)};
        if ((i -= mNumOutputs) < mNumParams) return {kControlIn, static_cast<int>(i)};
        if (i == mNumParams) return {kLatencyOut, 0};
        return {kNoPort, 0};
    }
};
