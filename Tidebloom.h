#pragma once
// Tidebloom: the swell effect. It detects note onsets in the mono mix of its input, delays the audio
// by up to 1500 samples (the reported latency) and multiplies the delayed audio by a gain that dips
// at each onset and rises back linearly over the Time setting, scaled by Vol.
//
// Created by the VST 2 entry function (one per instance) and deleted by effClose. Every override runs
// under the plug-in mutex: the binding holds it around dispatcher, parameter and audio calls, and
// Reset and OnParamChange take it again, so a parameter mapping never changes inside a block. The
// detector, envelope and delay lines are owned by value and touched only by ProcessDoubleReplacing
// and OnParamChange. After the first block of the largest size the audio path allocates nothing.
#include "Sound/ADSREnvelope.h"
#include "Sound/History.h"
#include "Sound/NoteDetector.h"
#include "framework/util/Util_TypedBuf.h"
#include "framework/vst2/IEffectVST.h"

enum EParams { kSensitivity = 0, kTime = 1, kDepth = 2, kVol = 3, kOnOff = 4, kNumParams = 5 };

// Length of each channel's delay line, and so the longest delay.
constexpr int kHistoryLength = 1500;

class Tidebloom : public IEffectVST {
public:
    explicit Tidebloom(IEffectInstanceInfo info);
    ~Tidebloom() override;

    // Takes and releases the plug-in mutex; detector, envelope and delay lines keep their state.
    void Reset() override;
    // Maps the parameter's plain value into the DSP members (under the plug-in mutex).
    void OnParamChange(int paramIdx) override;
    // One host block: detector and envelope on the mono mix of inputs 0 and 1, then every channel
    // delayed by the Depth delay, times Vol, times the gain curve. Inputs and outputs may share
    // memory (in-place hosts).
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

    double GetVolume() const { return mVolume; }
    double GetDepth() const { return mDepth; }
    bool IsOn() const { return mOnOff; }
    int GetDelaySamples() const { return mDelaySamples; }
    const NoteDetector& GetNoteDetector() const { return mNoteDetector; }
    const ADSREnvelope& GetEnvelope() const { return mEnvelope; }
    const History<double>& GetHistory(int channel) const { return mHistory[channel]; }

private:
    void CreateParams();
    void CreatePresets();
    // mEnvelopeBuffer becomes exactly nFrames long.
    void Resize(int nFrames);
    // The current sample rate as the whole number the envelope works with.
    int SampleRateInt() const;

    double mVolume = 1.0;
    double mDepth = 1.0;
    bool mOnOff = true;
    int mDelaySamples = kHistoryLength;
    Util_TypedBuf<double> mEnvelopeBuffer;
    Util_TypedBuf<uint8_t> mOnsetBuffer; // the detector's decision for each frame of the block
    History<double> mHistory[2];
    NoteDetector mNoteDetector;
    ADSREnvelope mEnvelope;
    // Copies of inputs that share memory with an output, so in-place processing reads the block as
    // it came in.
    Util_TypedBuf<double> mInputCopy[2];
};
