#pragma once
// TestEffect: an IEffectVST shaped like the shipped effect (five parameters Sensitivity, Time, Depth, Vol,
// OnOff with the same ranges and defaults, "1-1 2-2", six factory presets, IDs 'Tblm' / 'Vdrx', version
// 1.0.0, latency following Depth and OnOff) with a trivial signal path: every output channel is its input
// times Vol while OnOff is on, the input unchanged otherwise. It records what the binding hands it, so
// tests can check the binding's side of each call.
//
// Created through Entry (the way a plug-in's exported entry function creates it); the configuration for
// the next instance is taken from sNextConfig. Everything it records is guarded by the plug-in mutex
// (the binding holds it around every call that lands here).
#include <string>
#include <vector>

#include "framework/vst2/IEffectVST.h"
#include "tests/support/SomeEffect.h"

struct TestEffectConfig {
    const char* channelIO = "1-1 2-2";
    int nPresets = 6;
    bool makePresets = true; // the six factory presets; otherwise the slots stay free
    bool doesMidi = false;
    bool doesStateChunks = false;
    bool isInstrument = false;
    bool queryTimeInProcess = false; // GetTime / GetSamplePos / GetTempo / GetTimeSig in every block
    bool namesNotes = false;         // MidiNoteName answers "C4" for note 60
    bool boolOnOff = false;          // OnOff as a Boolean parameter (display texts "off" / "on")
    bool throws = false;             // OnParamChange, Reset and processing throw
};

class TestEffect : public IEffectVST {
public:
    enum EParams { kSensitivity = 0, kTime, kDepth, kVol, kOnOff, kNumParams };

    static TestEffectConfig sNextConfig;
    // An exported-entry-function equivalent: VSTCreateInstance with this class's factory.
    static AEffect* Entry(audioMasterCallback host);
    static TestEffect* From(AEffect* effect) {
        return static_cast<TestEffect*>(static_cast<IEffectVST*>(effect->object));
    }

    TestEffect(const IEffectInstanceInfo& info, const TestEffectConfig& config);

    void Reset() override;
    void OnParamChange(int paramIdx) override;
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
    void OnActivate(bool active) override;
    void OnHostIdentified() override;
    void ProcessSysEx(ISysEx* msg) override;
    bool MidiNoteName(int noteNumber, char* name) override;

    // The editor's side of a mouse gesture on a control bound to paramIdx.
    void SimulateEdit(int paramIdx, double normalizedValue);

    // ---- Recorded (read under GetMutex() or while no other thread calls in) ----
    TestEffectConfig mConfig;
    std::vector<int> mParamChanges; // indices, in call order
    int mResets = 0;
    std::vector<bool> mActivations;
    int mHostIdentified = 0;
    long long mFramesProcessed = 0;
    int mLargestBlock = 0;
    int mBlocks = 0;
    std::vector<std::vector<uint8_t>> mSysEx;
    ITimeInfo mLastTime;
    int mLastSamplePos = -1;
    double mLastTempo = -1.0;
    int mLastNumerator = -1, mLastDenominator = -1;
    double** mLastInputs = nullptr;
    double** mLastOutputs = nullptr;

    // ---- The mapped parameter values ----
    someeffect::Mapping mMapping;
};
