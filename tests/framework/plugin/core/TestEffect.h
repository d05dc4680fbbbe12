#pragma once
// A plug-in object shaped like the Tidebloom effect (five parameters, "1-1 2-2", six preset slots) that
// records what the base calls on it: parameter changes, host notifications and MIDI sends. It exposes
// the base's protected fields to the tests.
#include <string>
#include <vector>

#include "framework/plugin/IEffectBase.h"
#include "tests/support/SomeEffect.h"

namespace testfx {

using namespace someeffect;

class TestEffect : public IEffectBase {
public:
    explicit TestEffect(const char* channelIO = "1-1 2-2", int nParams = kNumParams, int nPresets = 6)
        : IEffectBase(Description(channelIO, nParams, nPresets), kAPIVST2) {}

    // The six factory presets of the effect.
    void MakeFactoryPresets() {
        for (const IPresetDescription& preset : someeffect::kPresets)
            MakePresetFromValues(preset.mName, preset.mValues);
    }

    void OnParamChange(int paramIdx) override {
        IEffectBase::OnParamChange(paramIdx);
        mEvents.push_back("change " + std::to_string(paramIdx) + LocksHeld());
    }
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override {
        mInformed.emplace_back(paramIdx, normalizedValue);
        mEvents.push_back("inform " + std::to_string(paramIdx) + LocksHeld());
    }
    bool SendMidiMsg(IMidiMsg* pMsg) override {
        mSent.push_back(*pMsg);
        return mSendResults.empty() ? true : mSendResults[(mSent.size() - 1) % mSendResults.size()];
    }
    double GetTempo() override { return mTempo; }
    EHost GetHost() override {
        ++mGetHostCalls;
        return IEffectBase::GetHost();
    }
    void PresetsChangedByHost() override { ++mPresetsChanged; }

    // True when another thread cannot take the plug-in mutex (or, with state, the state mutex) right
    // now: this thread holds it.
    bool LockHeldElsewhere(bool state = false);
    // With mCheckLockHeld: " [mutex]", " [state]" or both for the locks this thread holds; else "".
    std::string LocksHeld();

    using IEffectBase::mBlockSize;
    using IEffectBase::mChannelIO;
    using IEffectBase::mCurrentPresetIdx;
    using IEffectBase::mHost;
    using IEffectBase::mHostVersion;
    using IEffectBase::mInChannels;
    using IEffectBase::mInData;
    using IEffectBase::mOutChannels;
    using IEffectBase::mOutData;
    using IEffectBase::mPresets;

private:
    // Some effect with the given channels and slots, its slots left free; nParams other than five
    // gives that many plain parameters.
    static IEffectDescription Description(const char* channelIO, int nParams, int nPresets) {
        IEffectDescription d = kDescription;
        d.mChannelIO = channelIO;
        d.mNumPresets = nPresets;
        d.mPresets = {};
        if (nParams != kNumParams) d.mParams = PlainParams(nParams);
        return d;
    }

public:
    std::vector<std::string> mEvents;
    std::vector<std::pair<int, double>> mInformed;
    std::vector<IMidiMsg> mSent;
    std::vector<bool> mSendResults;
    double mTempo = 0.0;
    int mGetHostCalls = 0;
    int mPresetsChanged = 0;
    bool mCheckLockHeld = false;
};

// Parameter values in index order.
std::vector<double> Values(const IEffectBase& fx);
// Sets plain values in index order.
void SetValues(IEffectBase& fx, const std::vector<double>& values);
// The chunk's bytes.
std::vector<uint8_t> Bytes(const ByteChunk& chunk);
// Little-endian bytes of a double, written out by hand from its IEEE 754 bit pattern.
std::vector<uint8_t> LE64(uint64_t bits);

} // namespace testfx
