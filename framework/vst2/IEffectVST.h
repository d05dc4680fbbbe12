#pragma once
// IEffectVST: turns the host-independent plug-in object (IEffectBase) into a VST 2.4 effect. It owns the
// AEffect record handed to the host (its object field points back at this plug-in) and implements the
// record's callbacks: the dispatcher, the parameter get/set callbacks and the three audio callbacks. It
// also supplies the base's host-facing operations (automation and gestures, time queries, offline
// detection, MIDI and SysEx out, latency, host identification) through the host's audioMaster callback.
//
// Threads and locks: the host may call any callback from any of its threads, and the audio thread never
// waits for another thread's host call, drawing, allocation or file (the base's two locks, IEffectBase):
// - The three audio callbacks hold the plug-in mutex for the block and map the parameter changes
//   queued since the last one first; effProcessEvents, which comes on the audio thread, holds it too.
// - The dispatcher calls that change or read the state (programs, chunks, names of programs, sample
//   rate, block size, suspend and resume, open, speaker arrangement, text values) hold the state mutex,
//   which the audio thread never takes, and the plug-in mutex only for the effect's short sections.
//   Answers that depend on nothing that changes (names, capabilities, parameter texts, pins,
//   versions) and opcodes we do not handle take no lock.
// - setParameter and getParameter take no lock: the value is an atomic, and a change is mapped at once
//   when the plug-in mutex is free, otherwise before the next block (QueueParamChange).
// - The editor's opcodes (effEditGetRect, effEditOpen, effEditClose, effEditIdle, effEditKeyDown,
//   effEditKeyUp) come on the host's user-interface thread and take no plug-in lock, so nothing waits
//   while the editor opens its window, draws or shows a modal menu. Parameter values reach the editor
//   lock-free (IEffectEditor::SetParameterFromPlug).
// Calls back to the host are made with no plug-in lock held, except the host queries of identification
// (under the state mutex) and what the audio thread itself asks or sends while it processes. Latency:
// a change while the host processes (resumed) is announced with audioMasterIOChanged at the end of the
// next host call on a thread other than the audio thread (any dispatcher call, effEditIdle included,
// setParameter, a change from the editor), with every lock released; only when no such call comes for
// 50 ms of audio does the audio thread announce it itself, after its block, with no lock held. The
// audio thread is the thread that ran the latest audio callback. No C++ exception leaves a callback:
// each one answers 0 (or does nothing) when something throws.
//
// Ownership: the host owns nothing of the plug-in. The object is created by VSTCreateInstance and
// destroyed by effClose; the AEffect record dies with it. Chunk data handed out by effGetChunk stays owned
// by the plug-in and valid until the next effGetChunk or effSetChunk of the same kind, or effClose.
//
// Untrusted host values are made safe here: NaN parameter values change nothing and values outside 0..1
// clamp; sample rates outside 8 kHz to 768 kHz (or not numbers), block sizes below 1 and out-of-range
// sizes and indices are ignored; blocks longer than the block size are processed in block-size pieces. An
// input without a host buffer, and an input a speaker arrangement disconnects, reads silence.
#include <atomic>
#include <cstdint>

#include "framework/plugin/IEffectBase.h"
#include "framework/vst2/VstAbi.h"

// Carries the host's callback from the entry function into the plug-in constructor.
struct IEffectInstanceInfo {
    audioMasterCallback mHostCallback = nullptr;
};

class IEffectVST : public IEffectBase {
public:
    // Constructs the base from the description (API VST 2), fills the AEffect record, sets up the
    // speaker arrangements, connects every channel and sets the block size to 1024. The description's
    // side-chain channel count is not used.
    IEffectVST(IEffectInstanceInfo info, const IEffectDescription& desc);
    ~IEffectVST() override;

    // ---- Host notifications (any thread; no lock taken here) ----
    void BeginInformHostOfParamChange(int paramIdx) override;                    // audioMasterBeginEdit
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override; // audioMasterAutomate
    void EndInformHostOfParamChange(int paramIdx) override;                      // audioMasterEndEdit
    void InformHostOfProgramChange() override;                                   // audioMasterUpdateDisplay
    // True only when the host reports kVstProcessLevelOffline.
    bool IsRenderingOffline() override;
    // ---- Time queries (audioMasterGetTime) ----
    // Host sample position rounded to the nearest integer; 0 when unknown or negative.
    int GetSamplePos() override;
    // Host tempo when valid and not negative, else 0.
    double GetTempo() override;
    // Both 0 first; the host's signature when valid and both parts are not negative.
    void GetTimeSig(int* pNumerator, int* pDenominator) override;
    // Fills the fields the host reports valid; nothing when it reports none of the five position flags.
    void GetTime(ITimeInfo* pTimeInfo) override;
    // Identifies the host from its product string on first use (asked only once, under the state mutex).
    EHost GetHost() override;
    // The editor's thread, no plug-in lock held: the editor's size changed. effEditGetRect answers the
    // window's new size, and an open window asks the host to resize (audioMasterSizeWindow).
    void ResizeGraphics(int w, int h) override;
    // Once per instance (effOpen): host identification, stereo limit for the hosts that need it, channel
    // counts into the record, OnHostIdentified.
    void HostSpecificInit() override;
    void AttachGraphics(IEffectEditor* pGraphics) override;
    // The record's initialDelay follows the latency at once (so it always equals the delay applied). A
    // host reads it when it resumes the plug-in; a change while it is processing (resumed) is announced
    // as the threads note above says. Any thread, under the plug-in mutex; calls nothing.
    void SetLatency(int samples) override;
    // Off the audio thread, no lock held: announces a pending latency change (audioMasterIOChanged).
    void FlushHostNotifications() override;
    // One audioMasterProcessEvents call each; true when the host answers exactly 1.
    bool SendMidiMsg(IMidiMsg* pMsg) override;
    bool SendSysEx(ISysEx* pSysEx) override;
    bool SendVSTEvent(VstEvent* pEvent);

    audioMasterCallback GetHostCallback() const { return mHostCallback; }
    AEffect* GetAEffect() { return &mAEffect; }

    // ---- The callbacks stored in the AEffect record ----
    static intptr_t VSTDispatcher(AEffect* pEffect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt);
    static float VSTGetParameter(AEffect* pEffect, int32_t index);
    static void VSTSetParameter(AEffect* pEffect, int32_t index, float value);
    static void VSTProcess(AEffect* pEffect, float** inputs, float** outputs, int32_t nFrames);
    static void VSTProcessReplacing(AEffect* pEffect, float** inputs, float** outputs, int32_t nFrames);
    static void VSTProcessDoubleReplacing(AEffect* pEffect, double** inputs, double** outputs,
                                          int32_t nFrames);

    // Speaker arrangement type of a channel count: empty, mono, stereo or user-defined.
    static int32_t VSTSpkrArrType(int nChannels);

protected:
    // ---- Fields, in declaration order ----
    ERect mEditRect;
    audioMasterCallback mHostCallback;
    VstSpeakerArrangement mInputSpeakerArr;
    VstSpeakerArrangement mOutputSpeakerArr;
    bool mHostInitDone = false;
    ByteChunk mStateChunk; // program chunks (effGetChunk / effSetChunk with index != 0)
    ByteChunk mBankChunk;  // bank chunks (index 0)
    AEffect mAEffect;

private:
    enum EProcessMode { kAccumulate, kReplace };

    // Takes the lock the opcode needs (see the threads note), then DispatchOpcode.
    intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    intptr_t DispatchOpcode(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    // The editor's opcodes, dispatched without the plug-in mutex (see the threads note above).
    static bool IsEditorOpcode(int32_t opcode);
    intptr_t DispatchEditor(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    void SetEditRect(int w, int h);
    void Close();
    intptr_t HostCall(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    intptr_t GetChunk(void** ppData, bool isBank);
    intptr_t SetChunk(const void* pData, intptr_t size, bool isBank);
    intptr_t ProcessEvents(const VstEvents* pEvents);
    intptr_t String2Parameter(int32_t index, const char* text);
    intptr_t GetPinProperties(VstPinProperties* pProps, int32_t index, bool isInput);
    intptr_t SetSpeakerArrangement(const VstSpeakerArrangement* pIn, const VstSpeakerArrangement* pOut);
    intptr_t VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    intptr_t CanDo(const char* text);
    void SetParameter(int32_t index, float value);
    float GetParameter(int32_t index);
    // Runs one audio callback under the plug-in mutex, in pieces of at most mBlockSize frames, and
    // afterwards, without the lock, announces a latency change the host has waited too long for.
    void ProcessFloat(float** inputs, float** outputs, int nFrames, EProcessMode mode);
    void ProcessDouble(double** inputs, double** outputs, int nFrames);
    void ProcessFloatLocked(float** inputs, float** outputs, int nFrames, EProcessMode mode);
    void ProcessDoubleLocked(double** inputs, double** outputs, int nFrames);
    // The audio callback's thread becomes the audio thread; queued parameter changes are mapped.
    void BeginAudio();
    void EndAudio(int nFrames);
    bool OnAudioThread() const;

    // Host pointer arrays shifted to the current piece of a long block (sized at construction, so the
    // audio path never allocates).
    Util_TypedBuf<float*> mPieceInF, mPieceOutF;
    Util_TypedBuf<double*> mPieceInD, mPieceOutD;
    // Resumed (effMainsChanged on) and not suspended since: the host is processing.
    std::atomic<bool> mProcessing{false};
    // A latency change the host has not been told of, and the frames the audio thread ran since.
    std::atomic<bool> mLatencyPending{false};
    std::atomic<int> mLatencyWaitFrames{0};
    // The thread of the latest audio callback (pthread_self), 0 before the first.
    std::atomic<unsigned long> mAudioThread{0};
};

// The entry steps of the exported entry function, for a plug-in the framework cannot name.
// Under a process-wide creation lock (a function-local static recursive mutex, so instance creation is
// serialised across threads): calls factory with an IEffectInstanceInfo holding host (the plug-in's
// constructor passes it on to IEffectVST), fills every still-empty preset slot with the current state
// (EnsureDefaultPreset), raises a numPrograms of 0 or less in the record to 1, and returns the record.
// Returns null when factory returns null or throws; no exception leaves this function.
// Called by the plug-in's exported VSTPluginMain (and main, which only calls VSTPluginMain), e.g.
//   extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
//       return VSTCreateInstance(host, [](const IEffectInstanceInfo& info) -> IEffectVST* {
//           return new MyEffect(info); });
//   }
AEffect* VSTCreateInstance(audioMasterCallback host, IEffectVST* (*factory)(const IEffectInstanceInfo& info));
