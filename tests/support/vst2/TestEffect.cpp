#include "tests/support/vst2/TestEffect.h"

#include "tests/support/SomeEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

TestEffectConfig TestEffect::sNextConfig;

AEffect* TestEffect::Entry(audioMasterCallback host) {
    return VSTCreateInstance(host, [](const IEffectInstanceInfo& info) -> IEffectVST* {
        return new TestEffect(info, sNextConfig);
    });
}

namespace {

// Some effect, shaped by the configuration.
IEffectDescription Describe(const TestEffectConfig& config) {
    IEffectDescription d = someeffect::kDescription;
    d.mChannelIO = config.channelIO;
    d.mNumPresets = config.nPresets;
    d.mDoesMidi = config.doesMidi;
    d.mDoesStateChunks = config.doesStateChunks;
    d.mIsInstrument = config.isInstrument;
    if (config.boolOnOff) d.mParams = someeffect::kParamsBoolOnOff;
    if (!config.makePresets) d.mPresets = {};
    return d;
}

} // namespace

TestEffect::TestEffect(const IEffectInstanceInfo& info, const TestEffectConfig& config)
    : IEffectVST(info, Describe(config)), mConfig(config) {
    mParamChanges.reserve(1 << 16);
}

void TestEffect::Reset() {
    Util_MutexLock lock(mMutex);
    ++mResets;
    if (mConfig.throws) throw std::runtime_error("Reset");
}

void TestEffect::OnParamChange(int paramIdx) {
    Util_MutexLock lock(mMutex);
    if (mParamChanges.size() < mParamChanges.capacity()) mParamChanges.push_back(paramIdx);
    if (mConfig.throws) throw std::runtime_error("OnParamChange");
    mMapping.Map(*this, paramIdx);
}

void TestEffect::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    ++mBlocks;
    if (mConfig.throws) throw std::runtime_error("ProcessDoubleReplacing");
    mFramesProcessed += nFrames;
    mLargestBlock = std::max(mLargestBlock, nFrames);
    mLastInputs = inputs;
    mLastOutputs = outputs;
    double gain = mMapping.Gain();
    for (int c = 0; c < NOutChannels(); ++c) {
        const double* in = c < NInChannels() ? inputs[c] : nullptr;
        double* out = outputs[c];
        for (int i = 0; i < nFrames; ++i) out[i] = in ? in[i] * gain : 0.0;
    }
    if (mConfig.queryTimeInProcess) {
        GetTime(&mLastTime);
        mLastSamplePos = GetSamplePos();
        mLastTempo = GetTempo();
        GetTimeSig(&mLastNumerator, &mLastDenominator);
    }
}

void TestEffect::OnActivate(bool active) {
    Util_MutexLock lock(mMutex);
    mActivations.push_back(active);
}

void TestEffect::OnHostIdentified() {
    ++mHostIdentified;
}

void TestEffect::ProcessSysEx(ISysEx* msg) {
    mSysEx.emplace_back(msg->mData, msg->mData + msg->mSize);
}

bool TestEffect::MidiNoteName(int noteNumber, char* name) {
    if (mConfig.namesNotes && noteNumber == 60) {
        std::strcpy(name, "C4");
        return true;
    }
    return IEffectVST::MidiNoteName(noteNumber, name);
}

void TestEffect::SimulateEdit(int paramIdx, double normalizedValue) {
    BeginInformHostOfParamChange(paramIdx);
    SetParameterFromGUI(paramIdx, normalizedValue);
    EndInformHostOfParamChange(paramIdx);
}
