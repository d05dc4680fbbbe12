#include "tests/framework/vst2/testhost/TestEffect.h"

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

TestEffect::TestEffect(const IEffectInstanceInfo& info, const TestEffectConfig& config)
    : IEffectVST(info, kNumParams, config.channelIO, config.nPresets, "Tidebloom", "", "vendrilax", 0x10000,
                 VstFourCC('T', 'b', 'l', 'm'), VstFourCC('V', 'd', 'r', 'x'), 0, config.doesMidi,
                 config.doesStateChunks, config.isInstrument, 0),
      mConfig(config) {
    GetParam(kSensitivity)->InitDouble("Sensitivity", 0.7, 0.0, 1.0, 0.001, "", "", 1.0);
    GetParam(kTime)->InitDouble("Time", 0.5, 0.0, 1.0, 0.001, "", "", 1.0);
    GetParam(kDepth)->InitDouble("Depth", 0.75, 0.0, 1.0, 0.001, "", "", 1.0);
    GetParam(kVol)->InitDouble("Vol", 1.0, 0.0, 2.0, 0.001, "", "", 1.0);
    if (config.boolOnOff)
        GetParam(kOnOff)->InitBool("OnOff", true, "", "");
    else
        GetParam(kOnOff)->InitInt("OnOff", 1, 0, 1, "", "");
    if (config.makePresets) {
        MakePreset("Init", 0.7, 0.5, 0.75, 1.0, 1);
        MakePreset("Swell on Accent", 0.5, 0.5, 0.75, 1.0, 1);
        MakePreset("Funked Swell", 0.35, 0.431, 0.5, 1.0, 1);
        MakePreset("Arpeggio", 0.676, 0.433, 1.0, 1.0, 1);
        MakePreset("Long Ambient Chords", 0.44, 0.612, 1.0, 1.0, 1);
        MakePreset("Before Overdrive", 0.5, 0.772, 1.0, 1.0, 1);
    }
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
    IParam* param = GetParam(paramIdx);
    if (!param) return;
    double v = param->Value();
    switch (paramIdx) {
    case kDepth:
        mDelaySamples = std::min(static_cast<int>(1500.0 * std::exp(std::log(v) / 3.0)), 1500);
        SetLatency(mOnOff ? mDelaySamples : 0);
        break;
    case kVol:
        mVolume = v;
        break;
    case kOnOff:
        mOnOff = v != 0.0;
        SetLatency(mOnOff ? mDelaySamples : 0);
        break;
    default:
        break;
    }
}

void TestEffect::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    ++mBlocks;
    if (mConfig.throws) throw std::runtime_error("ProcessDoubleReplacing");
    mFramesProcessed += nFrames;
    mLargestBlock = std::max(mLargestBlock, nFrames);
    mLastInputs = inputs;
    mLastOutputs = outputs;
    double gain = mOnOff ? mVolume : 1.0;
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
