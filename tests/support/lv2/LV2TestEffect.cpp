#include "tests/support/lv2/LV2TestEffect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "tests/support/SomeEffect.h"

LV2TestEffectConfig LV2TestEffect::sNextConfig;

namespace {

IEffectLV2* Create(const IEffectInstanceInfo& info) {
    return new LV2TestEffect(info);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char* bundle,
                       const LV2_Feature* const* features) {
    return LV2CreateInstance(someeffect::kDescription, Create, rate, bundle, features);
}

} // namespace

const LV2_Descriptor* LV2TestEffect::Descriptor() {
    static const LV2_Descriptor descriptor = MakeDescriptor(someeffect::kDescription.mURI, Instantiate);
    return &descriptor;
}

LV2TestEffect::LV2TestEffect(const IEffectInstanceInfo& info)
    : IEffectLV2(info, someeffect::kDescription), mConfig(sNextConfig),
      mSampleRateAtConstruction(GetSampleRate()) {
    if (mConfig.throwsInConstructor) throw std::runtime_error("constructor");
    mParamChanges.reserve(1 << 16);
    mActivations.reserve(1 << 10);
}

void LV2TestEffect::Record(const std::string& what) {
    // Only the instantiation steps: later calls come from run, which must not allocate.
    if (!mActivations.empty()) return;
    char rate[32];
    std::snprintf(rate, sizeof(rate), "%g", GetSampleRate());
    mEvents.push_back(what + " at " + rate);
}

void LV2TestEffect::Reset() {
    Util_MutexLock lock(mMutex);
    ++mResets;
    Record("reset");
    if (mConfig.throws) throw std::runtime_error("Reset");
}

void LV2TestEffect::OnParamChange(int paramIdx) {
    Util_MutexLock lock(mMutex);
    if (mParamChanges.size() < mParamChanges.capacity()) mParamChanges.push_back(paramIdx);
    Record("change " + std::to_string(paramIdx));
    if (mConfig.throws) throw std::runtime_error("OnParamChange");
    mMapping.Map(*this, paramIdx);
}

void LV2TestEffect::OnActivate(bool active) {
    Util_MutexLock lock(mMutex);
    if (mActivations.size() < mActivations.capacity()) mActivations.push_back(active);
    if (mConfig.throws) throw std::runtime_error("OnActivate");
}

void LV2TestEffect::SetBlockSize(int blockSize) {
    IEffectLV2::SetBlockSize(blockSize);
    mBlockSizeSeen = blockSize;
}

void LV2TestEffect::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    if (mConfig.throws) throw std::runtime_error("ProcessDoubleReplacing");
    mLargestBlock = std::max(mLargestBlock, nFrames);
    const double gain = mMapping.Gain();
    for (int c = 0; c < NOutChannels(); ++c)
        for (int i = 0; i < nFrames; ++i) outputs[c][i] = inputs[c][i] * gain;
}
