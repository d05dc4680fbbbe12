#pragma once
// LV2TestEffect: an IEffectLV2 of "some effect" (five parameters, stereo, 'Tblm') with a trivial
// signal path: every output is its input times Vol while OnOff is on, the input unchanged otherwise;
// the latency follows Depth and OnOff as the shipped effect's does. It records what the binding
// hands it, so tests can check the binding's side of each call.
//
// Created through Descriptor() (the way a plug-in's lv2_descriptor hands it out); the configuration
// of the next instance is taken from sNextConfig. What it records is guarded by the plug-in mutex.
#include <string>
#include <vector>

#include "framework/lv2/IEffectLV2.h"
#include "tests/support/SomeEffect.h"

struct LV2TestEffectConfig {
    bool throwsInConstructor = false;
    bool throws = false; // OnParamChange, Reset, OnActivate and processing throw
};

class LV2TestEffect : public IEffectLV2 {
public:
    enum EParams { kSensitivity = 0, kTime, kDepth, kVol, kOnOff, kNumParams };

    static LV2TestEffectConfig sNextConfig;
    static const LV2_Descriptor* Descriptor();
    static LV2TestEffect* From(LV2_Handle handle) {
        return static_cast<LV2TestEffect*>(static_cast<IEffectLV2*>(handle));
    }

    explicit LV2TestEffect(const IEffectInstanceInfo& info);

    void Reset() override;
    void OnParamChange(int paramIdx) override;
    void OnActivate(bool active) override;
    void SetBlockSize(int blockSize) override;
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

    void Record(const std::string& what);

    // ---- Recorded ----
    LV2TestEffectConfig mConfig;
    double mSampleRateAtConstruction = 0.0;
    std::vector<int> mParamChanges;   // indices, in call order
    std::vector<std::string> mEvents; // "change <index> at <rate>", "reset at <rate>", until activated
    std::vector<bool> mActivations;
    int mResets = 0;
    int mBlockSizeSeen = 0; // the last block size this class's override saw
    int mLargestBlock = 0;

    // ---- The mapped parameter values ----
    someeffect::Mapping mMapping;
};
