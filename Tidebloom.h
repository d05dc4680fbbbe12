#pragma once
// Tidebloom: the swell effect. It detects note onsets in the mono mix of its input, delays the audio
// by up to 1500 samples (the reported latency) and multiplies the delayed audio by a gain that dips
// at each onset and rises back linearly over the Time setting, scaled by Vol.
//
// The class derives from the binding its build target chooses: the LV2 binding when TIDEBLOOM_LV2
// is defined, otherwise the VST 2 binding; the signal path is the same code either way. Identity,
// parameters and presets come from kTidebloomDescription. The effect knows no editor: the VST 2
// build's entry attaches one (TidebloomWithEditor.h); the LV2 build has none.
//
// Created by the binding's entry function (one per instance) and deleted when the host closes it.
// ProcessDoubleReplacing runs on the audio thread under the plug-in mutex (the binding holds it for
// the block); OnParamChange, Reset, OnActivate and SetBlockSize take it themselves (again), from any
// thread, so a parameter mapping never changes inside a block, and hold it only for moments: what
// they allocate (delay lines for a new rate, block buffers) is made before and swapped in under it.
// The detector, envelope and delay lines are owned by value and touched only under the mutex. Every
// time constant follows the host's sample rate; at 44.1 kHz the effect is exactly what it always was.
// SetBlockSize sizes the block buffers, so the audio path allocates nothing (only a direct call with
// more frames than the block size grows them).
#include "Sound/ADSREnvelope.h"
#include "Sound/History.h"
#include "Sound/NoteDetector.h"
#include "TidebloomDescription.h"
#include "framework/util/Util_TypedBuf.h"

#ifdef TIDEBLOOM_LV2
#include "framework/lv2/IEffectLV2.h"
using IEffectBinding = IEffectLV2;
#else
#include "framework/vst2/IEffectVST.h"
using IEffectBinding = IEffectVST;
#endif

class Tidebloom : public IEffectBinding {
public:
    explicit Tidebloom(const IEffectInstanceInfo& info);
    ~Tidebloom() override;

    // After effSetSampleRate, effSetBlockSize and suspend. At a new sample rate every time constant
    // is set for it (detector filters and hold time, fade, attack, delay and so the latency) and the
    // effect starts afresh; at the same rate nothing changes.
    void Reset() override;
    // Resume (effMainsChanged on): detector, envelope and delay lines start as in a fresh instance
    // with the current parameters, so nothing from before the suspend is ever heard.
    void OnActivate(bool active) override;
    // Sizes the base's scratch buffers and the effect's block buffers for blocks of blockSize.
    void SetBlockSize(int blockSize) override;
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

protected:
    // An effect of this kind under another identity (desc): a variant with a detector of its own
    // overrides the four detector hooks below and calls DetectorChanged at the end of its constructor.
    Tidebloom(const IEffectInstanceInfo& info, const IEffectDescription& desc);

    // The detector's decision for each frame of one block of the mono mix of left and right (1: an
    // onset is reported there). Audio thread, under the plug-in mutex.
    virtual void DetectOnsets(const double* left, const double* right, uint8_t* onsets, int n);
    // Sets the detector's time constants for a sample rate. Under the plug-in mutex, from whichever
    // thread changes the rate (and from the constructor).
    virtual void SetDetectorRate(int rate);
    // The detector forgets what it heard (as after construction). Under the plug-in mutex.
    virtual void RestartDetector();
    // Maps a Sensitivity value (0..1) onto the detector's threshold. Under the plug-in mutex.
    virtual void SetDetectorSensitivity(double v);
    // Samples from where the detector places an onset to the frame that reports it: the swell waits
    // that much less after the report, and the delay is at least that plus the fade, so the gain still
    // dips before the note is heard. 0 (Tidebloom's detector) is the report's own frame. Any thread
    // under the plug-in mutex.
    virtual int DetectorLag() const { return 0; }
    // At the end of a variant's constructor: its detector set for the current rate and Sensitivity,
    // and the delay and wait for its lag (the latency follows when the host maps Depth).
    void DetectorChanged();

private:
    // The delay for the current Depth and the detector's lag, and the swell's wait that follows.
    void ApplyDelay();
    // What one block needs besides the host's buffers, sized for the block size.
    struct BlockBuffers {
        Util_TypedBuf<double> mEnvelope;
        Util_TypedBuf<uint8_t> mOnsets; // the detector's decision for each frame of the block
        // Copies of inputs that share memory with an output, so in-place processing reads the block
        // as it came in.
        Util_TypedBuf<double> mInputCopy[2];
        void Resize(int nFrames);
        void Swap(BlockBuffers& other) noexcept;
    };
    // The current sample rate as the whole number the detector and envelope work with.
    int SampleRateInt() const;
    // Detector, envelope and delay lines as constructed (settings kept).
    void Restart();
    // The detector, the 3 ms fade and the delay lines' room at this rate (the look-ahead keeps its
    // length in seconds).
    void ApplyRate(int rate);

    double mVolume = 1.0;
    double mDepth = 1.0;
    bool mOnOff = true;
    int mDelaySamples = kHistoryLength;
    BlockBuffers mBlock;
    History<double> mHistory[2];
    NoteDetector mNoteDetector;
    ADSREnvelope mEnvelope;
    int mRate = 0; // the sample rate every time constant is set for
};
