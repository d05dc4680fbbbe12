#pragma once
// IEffectBase: the host-independent plug-in object. A host binding (IEffectVST) derives from it and the
// effect derives from the binding. It holds the legal channel configurations, the channel records and
// the buffer plumbing between the host's buffers and the effect's double-precision processing, the
// parameters, the preset slots, block size and sample rate, version and host information, and the
// attached editor.
//
// Threads and locks. The audio thread never waits for the editor, the host's user interface, a chunk
// or a file. Two recursive locks, taken in this order when a thread needs both:
// - mStateMutex serialises what happens off the audio thread: the binding's non-audio host calls
//   (programs, chunks, names, sample rate and block size, activation), the preset slots, program and
//   bank files, host identification, attaching the editor. The audio thread never takes it.
// - mMutex, the plug-in mutex (IEffectMutex), is held by every audio block and guards what a block
//   reads: the effect's parameter mappings (OnParamChange), Reset, OnActivate, the block size and the
//   channel connections. Other threads hold it only for moments of such work: never while they call
//   the host, allocate (new buffers are prepared first and swapped in), open files, draw or wait for
//   X11. The base Reset, OnParamChange and OnActivate take it again, so they may be called from any
//   thread.
// Host notifications (automate, begin/end edit, latency changed, display updated) are made with
// neither lock held. Parameter values are atomics, set from any thread without a lock; a change made
// off the audio thread reaches the effect through QueueParamChange, which never waits: the effect maps
// it before the next block starts (IEffectMutex, IParamChanges). The preset operations take no lock of
// their own: callers hold mStateMutex (dispatcher calls, construction).
//
// Ownership: the object owns its parameters, preset slots, channel records, channel configurations, bus
// labels and the attached editor, which it knows only as an IEffectEditor (the core links no editor).
// The audio path never allocates: scratch buffers are sized only by SetBlockSize, and every audio
// callback passes at most mBlockSize frames (more are cut to mBlockSize).
//
// The operations the binding supplies (host notifications, time queries, MIDI out, editor size) answer
// in the base as if no host were listening: they do nothing and return 0, false or null.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/plugin/ByteChunk.h"
#include "framework/plugin/ChannelIO.h"
#include "framework/plugin/Hosts.h"
#include "framework/plugin/IEffectDescription.h"
#include "framework/plugin/IEffectEditor.h"
#include "framework/plugin/IEffectMutex.h"
#include "framework/plugin/IMidiMsg.h"
#include "framework/plugin/IParam.h"
#include "framework/plugin/IParamChanges.h"
#include "framework/plugin/IPreset.h"
#include "framework/plugin/ITimeInfo.h"
#include "framework/util/Util_Mutex.h"
#include "framework/util/Util_PtrList.h"
#include "framework/util/Util_String.h"
#include "framework/util/Util_TypedBuf.h"

// The binding that created a plug-in object. Any int may arrive; GetAPIString names only these.
enum EAPI : int {
    kAPIVST2 = 0,
    kAPIVST3 = 1,
    kAPIAU = 2,
    kAPIRTAS = 3,
    kAPIAAX = 4,
    kAPISA = 5,
    kAPILV2 = 6,
    kAPICLAP = 7
};

// Size of the effect, product and maker name fields including their terminator.
constexpr int kMaxEffectNameLen = 128;

// The framework version header at the start of every chunk the host receives: this 32-bit value,
// followed by the framework version, both little-endian.
constexpr int32_t kFrameworkChunkMagic = 0x70666674;
constexpr int32_t kFrameworkVersion = 0x10000;
constexpr int kFrameworkHeaderSize = 8;

class IEffectBase {
public:
    // Takes identity and flags from the description, creates one parameter per described row
    // (initialised from it) and mNumPresets empty slots named "empty", copies the names (cut to 127
    // characters), creates the channel records from the channel I/O string, all disconnected, and
    // finally fills the first slots with the factory presets. Scratch buffers stay empty until
    // SetBlockSize. The description is not kept.
    IEffectBase(const IEffectDescription& desc, EAPI api);
    IEffectBase(const IEffectBase&) = delete;
    IEffectBase& operator=(const IEffectBase&) = delete;

    // ---- Virtual operations, in slot order ----
    // Deletes the editor first, then parameters, presets, channel records, configurations and labels.
    virtual ~IEffectBase();
    // Takes and releases the plug-in mutex, nothing else.
    virtual void Reset();
    // Takes and releases the plug-in mutex, nothing else. The effect maps parameter paramIdx here.
    virtual void OnParamChange(int paramIdx);
    // Copies input i to output i for every output that has a matching input; silences the others.
    virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
    // The same rule in single precision.
    virtual void ProcessSingleReplacing(float** inputs, float** outputs, int nFrames);
    virtual void OnGUIOpen() {}
    virtual void OnGUIClose() {}
    virtual void OnIdle() {}
    // Takes and releases the plug-in mutex.
    virtual void OnActivate(bool active);
    // MIDI through: passes the message to SendMidiMsg.
    virtual void ProcessMidiMsg(IMidiMsg* msg);
    virtual void ProcessSysEx(ISysEx* msg) { (void)msg; }
    // Writes "" into name (when not null) and returns false.
    virtual bool MidiNoteName(int noteNumber, char* name);
    // SerializeParams / UnserializeParams.
    virtual bool SerializeState(ByteChunk* pChunk);
    virtual int UnserializeState(ByteChunk* pChunk, int startPos);
    // Reads data as an array of doubles from double index startPos; true when every parameter's value
    // matches its entry within 1e-5 in single precision. False for null data or a negative startPos.
    virtual bool CompareState(const unsigned char* data, int startPos);
    virtual void OnWindowResize() {}
    virtual bool HostRequestingAboutBox() { return false; }
    virtual void OnHostIdentified() {}
    virtual void PopupHostContextMenuForParam(int paramIdx, int x, int y);
    // Editor thread, no lock held on entry: the parameter takes SetNormalized(normalizedValue), the value
    // is handed to the editor's controls like a host value (replacing an older one not yet applied), the
    // host is told exactly normalizedValue (no lock held), the change is queued for the effect
    // (QueueParamChange: mapped now when the plug-in mutex is free, else before the next block), and
    // the host is told what the change made pending (FlushHostNotifications). Ignored for an invalid
    // index.
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);
    // Supplied by the binding (host notifications and queries); the base does nothing / answers 0.
    virtual void BeginInformHostOfParamChange(int paramIdx);
    virtual void InformHostOfParamChange(int paramIdx, double normalizedValue);
    virtual void EndInformHostOfParamChange(int paramIdx);
    virtual void InformHostOfProgramChange() {}
    virtual bool IsRenderingOffline() { return false; }
    virtual int GetSamplePos() { return 0; }
    virtual double GetTempo() { return 0.0; }
    // Base: both set to 0 (when not null).
    virtual void GetTimeSig(int* pNumerator, int* pDenominator);
    // Base: writes nothing.
    virtual void GetTime(ITimeInfo* pTimeInfo) { (void)pTimeInfo; }
    virtual EHost GetHost() { return mHost; }
    virtual EAPI GetAPI() { return mAPI; }
    virtual void ResizeGraphics(int w, int h);
    virtual void HostSpecificInit() {}
    // Nothing for a null editor. Otherwise, under the state mutex (never the plug-in mutex: preparing
    // allocates): every parameter's normalised value is handed to the editor (SetParameterFromPlug), the
    // editor prepares its bitmaps (PrepDraw, which also fixes every control's default value) and the
    // plug-in takes ownership (an editor attached before is deleted).
    virtual void AttachGraphics(IEffectEditor* pGraphics);
    // Stores mLatency. Called where the effect maps a parameter (under the plug-in mutex, possibly on the
    // audio thread): a binding records what the host must hear and tells it later, with no lock held.
    virtual void SetLatency(int samples) { mLatency.store(samples, std::memory_order_relaxed); }
    // Supplied by the binding; the base sends nothing and returns false.
    virtual bool SendMidiMsg(IMidiMsg* pMsg);
    virtual bool SendSysEx(ISysEx* pSysEx);
    // With an editor attached, hands every parameter's value to its controls (SetParameterFromPlug, which
    // is lock-free: the controls move on the editor's thread). Takes no lock itself.
    virtual void RedrawParamControls();
    virtual void DirtyPTCompareState() {}
    virtual void PresetsChangedByHost() {}
    // Resizes every scratch buffer to n zeroed frames, unless n is the current block size. Any thread but
    // the audio thread: the buffers are made first and swapped in under the plug-in mutex.
    virtual void SetBlockSize(int blockSize);
    // Called with no lock held, off the audio thread, after anything that may have made a host
    // notification pending (a parameter change from the editor, a host call): the binding tells the
    // host now. Nothing in the base.
    virtual void FlushHostNotifications() {}

    // ---- Channel configuration ----
    // True when some configuration matches; a negative argument matches any count.
    bool LegalIO(int nIn, int nOut) const;
    int NChannelIO() const { return mChannelIO.GetSize(); }
    // Configuration idx into *pNIn / *pNOut; false (untouched) for an invalid index.
    bool GetChannelIO(int idx, int* pNIn, int* pNOut) const;
    // Inputs from index 2 on are disconnected; outputs from index 2 on are marked connected.
    void LimitToStereoIO();
    // Channels idx .. idx+n-1 (clipped to the channel count) become connected or disconnected; a
    // disconnected channel's slot points at its scratch buffer (null while that is empty). Under the
    // plug-in mutex (taken here).
    void SetInputChannelConnections(int idx, int n, bool connect);
    void SetOutputChannelConnections(int idx, int n, bool connect);
    // A host's channel layout: the first nIn inputs and nOut outputs are connected, the others not (a
    // negative count leaves that direction as it is). A disconnected input is silenced: it reads zeros,
    // not what was last converted into its scratch buffer. Under the plug-in mutex (taken here).
    void ConnectFirstChannels(int nIn, int nOut);
    bool IsInChannelConnected(int chIdx) const;
    bool IsOutChannelConnected(int chIdx) const;
    int NInChannels() const { return mInChannels.GetSize(); }
    int NOutChannels() const { return mOutChannels.GetSize(); }
    // Channel labels; ignored unless 0 <= idx < channel count; null sets an empty label.
    void SetInputLabel(int idx, const char* label);
    void SetOutputLabel(int idx, const char* label);
    // "" for an invalid index.
    const char* GetInputLabel(int idx) const;
    const char* GetOutputLabel(int idx) const;
    // Bus labels: replace the label at idx, or insert at the end of the list when idx lies beyond it.
    // Input bus labels only at 0 and 1; output bus labels at any idx >= 0.
    void SetInputBusLabel(int idx, const char* label);
    void SetOutputBusLabel(int idx, const char* label);
    int NInputBusLabels() const { return mInputBusLabels.GetSize(); }
    int NOutputBusLabels() const { return mOutputBusLabels.GetSize(); }
    // null for an invalid index.
    const char* GetInputBusLabel(int idx) const;
    const char* GetOutputBusLabel(int idx) const;

    // ---- Buffers and processing (audio callbacks, under the plug-in mutex) ----
    // Connected channels from idx on (at most n, in order) take the next host buffer; disconnected
    // channels take none. Double: the slot points at the host buffer. Float: nFrames samples (at most
    // mBlockSize) are converted into the scratch buffer and the slot points at it. A null host buffer is
    // replaced by the channel's scratch buffer (zeroed for a float input).
    void AttachInputBuffers(int idx, int n, double** ppData, int nFrames);
    void AttachInputBuffers(int idx, int n, float** ppData, int nFrames);
    // Double: the slot points at the host buffer. Float: the slot points at the scratch buffer, and the
    // host buffer is remembered as the channel's single-precision destination.
    void AttachOutputBuffers(int idx, int n, double** ppData);
    void AttachOutputBuffers(int idx, int n, float** ppData);
    // ProcessDoubleReplacing on the attached pointers; the first argument selects the precision. The
    // float forms then convert every connected output into its host buffer, overwriting it (or adding to
    // it, for the accumulating form). nFrames above mBlockSize is cut to mBlockSize; the frames beyond it
    // are silenced in replacing outputs and left as they are in accumulated ones.
    void ProcessBuffers(double sampleType, int nFrames);
    void ProcessBuffers(float sampleType, int nFrames);
    void ProcessBuffersAccumulating(float sampleType, int nFrames);
    // The base copy-and-silence rule on the attached pointers (and the float conversion for float).
    void PassThroughBuffers(double sampleType, int nFrames);
    void PassThroughBuffers(float sampleType, int nFrames);
    // Fills every scratch buffer with zeros.
    void ZeroScratchBuffers();
    // Stores a rate the description serves (its minimum to its maximum) and returns true; any other rate
    // (NaN and infinities too) is refused with false, and the previous rate stays.
    bool SetSampleRate(double sampleRate) {
        if (!(sampleRate >= mMinSampleRate && sampleRate <= mMaxSampleRate)) return false;
        mSampleRate.store(sampleRate, std::memory_order_relaxed);
        return true;
    }
    double GetSampleRate() const { return mSampleRate.load(std::memory_order_relaxed); }
    int GetBlockSize() const { return mBlockSize.load(std::memory_order_relaxed); }
    int GetLatency() const { return mLatency.load(std::memory_order_relaxed); }
    int GetTailSize() const { return mTailSize; }

    // ---- Parameters and editor ----
    // null for an invalid index.
    IParam* GetParam(int paramIdx) const { return mParams.Get(paramIdx); }
    int NParams() const { return mParams.GetSize(); }
    IEffectEditor* GetGUI() const { return mGraphics; }
    // OnParamChange for every parameter in ascending order, all under one hold of the plug-in mutex.
    void OnParamReset();
    // Any thread, never waits: parameter paramIdx holds a new value; OnParamChange(paramIdx) runs before
    // the next block starts: here and now when the plug-in mutex is free (or held by this thread),
    // otherwise by the thread holding it, before it lets go. Ignored for an invalid index.
    void QueueParamChange(int paramIdx);
    // Under the plug-in mutex: OnParamChange for every queued change, in index order. The audio
    // callbacks call it at the start of every block.
    void ApplyQueuedParamChanges();
    // No lock: tells the host every parameter's normalised value.
    void DirtyParameters();
    // SendMidiMsg for every message in order (all attempted); true when every call returned true.
    bool SendMidiMsgs(Util_TypedBuf<IMidiMsg>* pMsgs);
    // mSampleRate * 60 / GetTempo() for a positive tempo, otherwise 0.
    double GetSamplesPerBeat();

    // ---- Identity, versions and host ----
    const char* GetEffectName() const { return mEffectName; }
    const char* GetProductName() const { return mProductName; }
    const char* GetMfrName() const { return mMfrName; }
    int GetUniqueID() const { return mUniqueID; }
    int GetMfrID() const { return mMfrID; }
    bool DoesStateChunks() const { return mDoesStateChunks; }
    bool IsInstrument() const { return mIsInstrument; }
    bool DoesMidi() const { return mDoesMidi; }
    // The packed version, or major * 10000 + minor * 100 + patch when decimal.
    int GetEffectVersion(bool decimal) const;
    // Writes "v<major>.<minor>.<patch>" (buf holds 20 bytes).
    void GetEffectVersionStr(char* buf) const;
    // Identify the host first (GetHost), then render mHostVersion like the effect version.
    int GetHostVersion(bool decimal);
    void GetHostVersionStr(char* buf);
    // mHost = LookUpHost(hostName), mHostVersion = version.
    void SetHost(const char* hostName, int version);
    // "VST2", "VST3", "AU", "RTAS", "AAX", "Standalone", "LV2", "CLAP", or "" for anything else.
    const char* GetAPIString();
    const char* GetArchString() const { return "x64"; }

    // The plug-in mutex; Util_MutexLock(GetMutex()) holds it for a scope.
    IEffectMutex& GetMutex() { return mMutex; }
    // The state mutex, for callers of the preset operations.
    Util_Mutex& GetStateMutex() { return mStateMutex; }

    // ---- Presets (callers hold the state mutex) ----
    int NPresets() const { return mPresets.GetSize(); }
    int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
    // The slot's name, or "" for an invalid index.
    const char* GetPresetName(int idx) const;
    // false for an invalid index or a restore that fails. A free slot becomes "user preset <k>" holding
    // the current state. On success: mCurrentPresetIdx = idx, PresetsChangedByHost, RedrawParamControls.
    bool RestorePreset(int idx);
    // RestorePreset of the first slot named exactly name; false for null, "" or no such slot.
    bool RestorePreset(const char* name);
    // Stores the current state into the current slot and, when name is not null or empty, renames it.
    void ModifyCurrentPreset(const char* name = nullptr);
    // Every free slot receives the current state under the name "Empty".
    void EnsureDefaultPreset();
    // Removes and deletes every free slot, keeping the order of the rest.
    void PruneUninitializedPresets();

    // ---- State ----
    // Appends each parameter's plain value as a little-endian double (read from the atomics, no lock).
    bool SerializeParams(ByteChunk* pChunk);
    // Reads one double per parameter from startPos (first, without the plug-in mutex), then under one
    // short hold of it clamps each to the range and stores it and calls OnParamChange for every
    // parameter. A NaN, or a value the chunk does not hold, leaves the parameter as it was. Returns the
    // position after the last value, or -1 when the chunk ended early.
    int UnserializeParams(ByteChunk* pChunk, int startPos);
    // The size of a program chunk: the framework header and one double per parameter.
    int ProgramChunkSize() const { return kFrameworkHeaderSize + 8 * NParams(); }
    // Strict reading of a program chunk a host hands back (a binding's saved state): exactly the
    // framework header with the current framework version and one finite, in-range plain value per
    // parameter, nothing more. Then the NParams() values go to values and true is returned; anything
    // else (damaged, cut short, another plug-in's) returns false and leaves values untouched. No lock.
    bool ReadProgramChunk(const void* data, size_t size, double* values) const;
    // Every parameter takes its value from values (NParams() plain values, as ReadProgramChunk gives)
    // and is mapped, under one short hold of the plug-in mutex; then the editor's controls follow.
    void ApplyParamValues(const double* values);
    // The preset list: per slot, the name (PutStr), the initialized byte and, when initialized, the state.
    bool SerializePresets(ByteChunk* pChunk);
    // Reads a preset list written by SerializePresets into the slots, then restores the current preset.
    int UnserializePresets(ByteChunk* pChunk, int startPos);
    // Empties the chunk and writes the framework version header.
    static void InitChunkWithFrameworkVer(ByteChunk* pChunk);
    // With the header value at *pPos: returns the version and advances *pPos past the header (or sets it
    // to -1 and returns 0 when the version is missing). Without it: *pPos unchanged, returns 0.
    static int GetFrameworkVerFromChunk(ByteChunk* pChunk, int* pPos);

    // ---- Program and bank files, preset source dumps ----
    // Each file operation returns false for a null or empty path or a file that cannot be used. Saves
    // and dumps take the state mutex only while they build their bytes and write the file after
    // releasing it, all or nothing (a failed save leaves an existing file as it was); loads read the
    // file before taking it and tell the host of the new program after releasing it.
    bool SaveProgramAsFXP(const Util_String* pFileName);
    bool SaveBankAsFXB(const Util_String* pFileName);
    bool LoadProgramFromFXP(const Util_String* pFileName);
    bool LoadBankFromFXB(const Util_String* pFileName);
    // Writes the current values as a MakePresetFromNamedParams call; paramEnumNames holds one name per
    // parameter.
    void DumpPresetSrcCode(const char* fileName, const char* paramEnumNames[]);
    // Writes the current slot's state as a MakePresetFromBlob call (base64).
    void DumpPresetBlob(const char* fileName);

    // ---- Preset creation (effect construction; each fills the first free slot, if any) ----
    // One value per parameter in index order: int for Boolean, integer and enumerated parameters,
    // double for the others.
    void MakePreset(const char* name, ...);
    // nParamsNamed pairs (parameter index as int, value typed as for MakePreset); parameters not named
    // keep their current value. An index outside the parameter list abandons the preset.
    void MakePresetFromNamedParams(const char* name, int nParamsNamed, ...);
    // One plain value per parameter in index order; parameters without a value keep their current
    // value, values beyond the parameters are ignored.
    void MakePresetFromValues(const char* name, std::span<const double> values);
    // The slot's state is a copy of the chunk's bytes.
    void MakePresetFromChunk(const char* name, ByteChunk* pChunk);
    // The slot's state is sizeOfChunk bytes decoded from base64 text (zeros where the text ends early).
    void MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk);
    // nPresets times: the next free slot, if any, takes the current state under name ("Empty" for null).
    void MakeDefaultPreset(const char* name, int nPresets);

    static IPreset* GetNextUninitializedPreset(Util_PtrList<IPreset>* pPresets);
    // Writes "user preset <k>" into buf, k = 1 + number of slots whose name contains "user preset".
    static void MakeDefaultUserPresetName(Util_PtrList<IPreset>* pPresets, char* buf);

protected:
    // ---- Fields, in declaration order ----
    Util_PtrList<ChannelIOPair> mChannelIO;
    IParamChanges mQueuedChanges; // changes made off the audio thread, not mapped yet
    IEffectMutex mMutex;
    Util_Mutex mStateMutex;
    char mEffectName[kMaxEffectNameLen];
    char mProductName[kMaxEffectNameLen];
    char mMfrName[kMaxEffectNameLen];
    int32_t mUniqueID;
    int32_t mMfrID;
    int32_t mVersion;
    EAPI mAPI;
    std::atomic<EHost> mHost{kHostUninit};
    std::atomic<int32_t> mHostVersion{0};
    bool mDoesStateChunks;
    bool mIsInstrument;
    bool mDoesMidi;
    int32_t mCurrentPresetIdx = 0;
    std::atomic<double> mSampleRate{44100.0};
    std::atomic<int32_t> mBlockSize{0};
    std::atomic<int32_t> mLatency;
    const double mMinSampleRate, mMaxSampleRate; // the rates the description serves
    int32_t mTailSize = 0;
    IEffectEditor* mGraphics = nullptr;
    Util_PtrList<IParam> mParams;
    Util_PtrList<IPreset> mPresets;
    Util_TypedBuf<double*> mInData;
    Util_TypedBuf<double*> mOutData;
    Util_PtrList<InChannel> mInChannels;
    Util_PtrList<OutChannel> mOutChannels;
    Util_PtrList<Util_String> mInputBusLabels;
    Util_PtrList<Util_String> mOutputBusLabels;

private:
    // Reads the whole file, applies it under the state mutex (LoadProgram or LoadBank: parse, check,
    // apply) and, when it loaded, tells the host after letting go.
    bool LoadFile(const Util_String* pFileName, bool (IEffectBase::*apply)(ByteChunk& file));
    bool LoadProgram(ByteChunk& file);
    bool LoadBank(ByteChunk& file);
    void FillPresetSlot(IPreset* pPreset, const char* name, const double* values);
    int ClampFrames(int nFrames) const;
    void ConvertOutputsToFloat(int nFrames, int nHostFrames, bool accumulate);
};
