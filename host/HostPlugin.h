#pragma once
// HostPlugin: one loaded VST 2.4 plug-in instance and the host callback it talks to; the VST 2.4 form
// of HostEffect.
//
// Load() opens the shared object with dlopen, finds its entry function (VSTPluginMain, else main),
// calls it with the host callback, checks the effect record it returns and sends effOpen. The
// destructor stops processing if it was started, sends effClose and unloads the library. Every
// failure on the way is a one-line error and leaves nothing loaded.
//
// The host callback answers like a small offline host: VST version 2400, its product and vendor
// strings and version, the sample rate and block size it announced, time information that follows
// the render position (HostTransport, set by whoever drives the audio callbacks), the process level
// (offline inside an audio callback, user otherwise), and 0 for everything it does not support.
// Automation and edit gestures sent by the plug-in are recorded (Events()). The plug-in may call
// back from its own threads, so recording and the transport take mLock; the host itself uses one
// instance from one thread.
#include "framework/vst2/VstAbi.h"
#include "host/HostEffect.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One call the plug-in made to report an edit.
struct HostCallbackEvent {
    enum EKind { kAutomate, kBeginEdit, kEndEdit, kUpdateDisplay, kIOChanged };
    EKind kind;
    int index;
    float value;
};

class HostPlugin : public HostEffect {
public:
    static constexpr const char* kProductString = "tidebloom-host";
    static constexpr const char* kVendorString = "Tidebloom";
    static constexpr int kVendorVersion = 10000; // 1.0.0 in decimal form

    // Loads and opens the plug-in at path. Null with err set on any failure.
    static std::unique_ptr<HostPlugin> Load(const std::string& path, std::string& err);
    ~HostPlugin() override;

    // ---- HostEffect (HostPluginEffect.cpp) ----
    const char* FormatName() const override { return "VST 2.4"; }
    std::string EffectName() override;
    std::string Describe(bool json) override;
    std::string ProgramName() override;
    bool ApplyProgramAndValues(const std::string& program, const std::vector<std::string>& assignments,
                               std::string& err) override;
    int NumInputs() override { return mEffect->numInputs; }
    int NumOutputs() override { return mEffect->numOutputs; }
    int Latency() override { return mEffect->initialDelay; }
    std::string CannotProcess(bool doublePrecision) override;
    // effSetSampleRate, effSetBlockSize and effSetProcessPrecision.
    std::string Configure(int sampleRate, int maxBlock, bool doublePrecision) override;
    // effSetSpeakerArrangement: mono in and out, else mono in and every output.
    int NarrowToMono() override;
    // The replacing callback, or the accumulating one when the plug-in has no other.
    void RenderFloat(float** inputs, float** outputs, int frames) override;
    void RenderDouble(double** inputs, double** outputs, int frames) override {
        ProcessDouble(inputs, outputs, frames);
    }
    bool HasEditor() override { return (mEffect->flags & effFlagsHasEditor) != 0; }
    // effEditGetRect, when it tells a size that makes sense.
    bool EditorSize(int& w, int& h) override;
    bool OpenEditor(unsigned long window) override;
    void IdleEditor() override;
    void CloseEditor() override;

    AEffect* Effect() const { return mEffect; }
    const std::string& Path() const { return mPath; }
    void* LibraryHandle() const { return mLibrary; }

    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    // Text requests, read into a generous zeroed buffer and cleaned for printing.
    std::string VendorString();
    std::string ProductString();
    std::string ParamName(int index);
    std::string ParamLabel(int index);
    std::string ParamDisplay(int index);
    // The name of program index without selecting it; false when the plug-in does not answer.
    bool ProgramNameIndexed(int index, std::string& name);
    intptr_t CanDo(const char* capability);

    float GetParameter(int index);
    void SetParameter(int index, float value);

    // Announces the sample rate and the largest block (effSetSampleRate, effSetBlockSize).
    void SetSampleRate(double rate);
    void SetBlockSize(int frames);
    double SampleRate() const { return mSampleRate; }
    int BlockSize() const { return mBlockSize; }

    // Switches processing on (effMainsChanged 1, effStartProcess) or off again.
    std::string Resume() override;
    void Suspend() override;
    bool IsResumed() const { return mResumed; }

    // The audio callbacks; the caller owns the buffers and keeps frames within the block size.
    void ProcessFloat(float** inputs, float** outputs, int frames, bool accumulating);
    void ProcessDouble(double** inputs, double** outputs, int frames);

    void SetTransport(const HostTransport& t) override;
    HostTransport Transport();
    std::vector<HostCallbackEvent> Events();
    void ClearEvents();

    // The callback the plug-in receives; public so that tests can drive it directly.
    static intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt);

private:
    HostPlugin() = default;
    intptr_t OnCallback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    void Record(HostCallbackEvent::EKind kind, int index, float value);
    std::string TextRequest(int32_t opcode, int32_t index);

    std::string mPath;
    void* mLibrary = nullptr;
    AEffect* mEffect = nullptr;
    bool mOpened = false;
    bool mResumed = false;
    std::atomic<double> mSampleRate{44100.0};
    std::atomic<int> mBlockSize{512};
    std::atomic<int> mProcessDepth{0}; // > 0 while an audio callback runs

    std::mutex mLock; // guards the fields below
    HostTransport mTransport;
    VstTimeInfo mTimeInfo{};
    std::vector<HostCallbackEvent> mEvents;
};
