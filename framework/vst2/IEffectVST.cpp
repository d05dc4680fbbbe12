#include "framework/vst2/IEffectVST.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <pthread.h>

#include "framework/plugin/IEffectCreate.h"
#include "framework/plugin/Log.h"

namespace {

constexpr intptr_t kVendorSpecificAnswer = 0xBEEF;
constexpr int32_t kIdentifyAnswer = VstFourCC('N', 'v', 'E', 'f');
constexpr int kHostProductStrLen = 264;
// How long a latency change waits for a host call off the audio thread before the audio thread
// announces it itself.
constexpr double kLatencyAnnounceWait = 0.05; // seconds of audio

static_assert(sizeof(pthread_t) == sizeof(unsigned long), "thread ids are kept as unsigned long");

// The record's latency field, which the host reads while the effect may change it.
std::atomic_ref<int32_t> InitialDelay(AEffect& effect) {
    return std::atomic_ref<int32_t>(effect.initialDelay);
}

// The record is the first thing the host holds; its object field leads back to the plug-in.
IEffectVST* FromRecord(AEffect* pEffect) {
    return pEffect ? static_cast<IEffectVST*>(pEffect->object) : nullptr;
}

// A host integer that must fit an int index; anything outside becomes -1 (no such index).
int ToIndex(intptr_t value) {
    return value >= INT_MIN && value <= INT_MAX ? static_cast<int>(value) : -1;
}

// A normalised value from the host: NaN stays NaN (the caller ignores it), the rest is held to 0..1.
double ClampNormalized(double value) {
    if (std::isnan(value)) return value;
    return std::clamp(value, 0.0, 1.0);
}

// The events of a host list. The record declares two entries but carries numEvents of them, so they are
// reached through a plain pointer rather than the declared array.
VstEvent* const* EventList(const VstEvents* pEvents) {
    return reinterpret_cast<VstEvent* const*>(reinterpret_cast<const char*>(pEvents) +
                                              offsetof(VstEvents, events));
}

void CopyText(void* ptr, const char* text) {
    std::strcpy(static_cast<char*>(ptr), text ? text : "");
}

} // namespace

IEffectVST::IEffectVST(IEffectInstanceInfo info, const IEffectDescription& desc)
    : IEffectBase(desc, kAPIVST2), mHostCallback(info.mHostCallback) {
    Trace(__func__, __LINE__, "%s", desc.mEffectName ? desc.mEffectName : "");
    mHostInitDone = false;
    mStateChunk.Clear();
    mBankChunk.Clear();

    std::memset(&mAEffect, 0, sizeof(mAEffect));
    mAEffect.magic = kEffectMagic;
    mAEffect.dispatcher = VSTDispatcher;
    mAEffect.process = VSTProcess;
    mAEffect.setParameter = VSTSetParameter;
    mAEffect.getParameter = VSTGetParameter;
    mAEffect.numPrograms = NPresets();
    mAEffect.numParams = NParams();
    mAEffect.numInputs = NInChannels();
    mAEffect.numOutputs = NOutChannels();
    mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (DoesStateChunks()) mAEffect.flags |= effFlagsProgramChunks;
    if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
    if (IsInstrument()) mAEffect.flags |= effFlagsIsSynth;
    mAEffect.initialDelay = desc.mLatency;
    mAEffect.ioRatio = 1.0f;
    mAEffect.object = this;
    mAEffect.uniqueID = desc.mUniqueID;
    mAEffect.version = GetEffectVersion(true);
    mAEffect.processReplacing = VSTProcessReplacing;
    mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;

    std::memset(&mEditRect, 0, sizeof(mEditRect));

    std::memset(&mInputSpeakerArr, 0, sizeof(mInputSpeakerArr));
    std::memset(&mOutputSpeakerArr, 0, sizeof(mOutputSpeakerArr));
    mInputSpeakerArr.numChannels = NInChannels();
    mInputSpeakerArr.type = VSTSpkrArrType(NInChannels());
    mOutputSpeakerArr.numChannels = NOutChannels();
    mOutputSpeakerArr.type = VSTSpkrArrType(NOutChannels());

    mPieceInF.Resize(NInChannels());
    mPieceInD.Resize(NInChannels());
    mPieceOutF.Resize(NOutChannels());
    mPieceOutD.Resize(NOutChannels());

    SetInputChannelConnections(0, NInChannels(), true);
    SetOutputChannelConnections(0, NOutChannels(), true);
    SetBlockSize(1024);
}

IEffectVST::~IEffectVST() {
    mStateChunk.Clear();
    mBankChunk.Clear();
}

int32_t IEffectVST::VSTSpkrArrType(int nChannels) {
    switch (nChannels) {
    case 0:
        return kSpeakerArrEmpty;
    case 1:
        return kSpeakerArrMono;
    case 2:
        return kSpeakerArrStereo;
    default:
        return kSpeakerArrUserDefined;
    }
}

intptr_t IEffectVST::HostCall(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

// ---- Entry ----

AEffect* VSTCreateInstance(audioMasterCallback host,
                           IEffectVST* (*factory)(const IEffectInstanceInfo& info)) {
    IEffectInstanceInfo info;
    info.mHostCallback = host;
    IEffectVST* plug = IEffectCreateInstance(factory, info, [](IEffectVST& p) { p.EnsureDefaultPreset(); });
    if (!plug) return nullptr;
    AEffect* effect = plug->GetAEffect();
    if (effect->numPrograms <= 0) effect->numPrograms = 1;
    return effect;
}

// ---- Dispatcher ----

intptr_t IEffectVST::VSTDispatcher(AEffect* pEffect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                   float opt) {
    IEffectVST* plug = FromRecord(pEffect);
    if (!plug) return 0;
    try {
        if (opcode == effClose) {
            plug->Close();
            return 0;
        }
        const intptr_t answer = IsEditorOpcode(opcode) ? plug->DispatchEditor(opcode, index, value, ptr, opt)
                                                       : plug->Dispatch(opcode, index, value, ptr, opt);
        plug->FlushHostNotifications();
        return answer;
    } catch (...) {
        return 0;
    }
}

void IEffectVST::Close() {
    mStateMutex.Lock();
    Trace(__func__, __LINE__, "%s", VSTOpcodeStr(effClose));
    mStateMutex.Unlock();
    delete this;
}

bool IEffectVST::IsEditorOpcode(int32_t opcode) {
    switch (opcode) {
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
    case effEditIdle:
    case effEditKeyDown:
    case effEditKeyUp:
        return true;
    default:
        return false;
    }
}

intptr_t IEffectVST::DispatchEditor(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    // The host's user-interface thread: no plug-in lock, so nothing waits for the editor's window, its
    // drawing or a modal menu. The editor reaches the parameters through SetParameterFromGUI, which
    // never waits either.
    Trace(__func__, __LINE__, "%d:%s idx %d val %lld", opcode, VSTOpcodeStr(opcode), index,
          static_cast<long long>(value));
    IEffectEditor* gui = GetGUI();
    switch (opcode) {
    case effEditGetRect:
        if (ptr && gui) {
            // The window's real size at this moment (a window host doubles it on a dense screen).
            int w = 0, h = 0;
            gui->WindowSize(&w, &h);
            SetEditRect(w, h);
            *static_cast<ERect**>(ptr) = &mEditRect;
            return 1;
        }
        return 0;

    case effEditOpen:
        // A VST 2 editor lives in the host's window: without one there is nothing to open (the editor's
        // own top-level window serves other bindings).
        if (gui && ptr && gui->OpenWindow(ptr)) {
            OnGUIOpen();
            return 1;
        }
        return 0;

    case effEditClose:
        if (gui) {
            OnGUIClose();
            gui->CloseWindow();
            return 1;
        }
        return 0;

    case effEditIdle:
        if (gui) gui->HostIdle();
        return 0;

    case effEditKeyDown:
        return gui && gui->HostKeyDown(index, static_cast<int>(value), static_cast<int>(opt)) ? 1 : 0;

    case effEditKeyUp:
        return gui && gui->HostKeyUp(index, static_cast<int>(value), static_cast<int>(opt)) ? 1 : 0;
    }
    return 0;
}

intptr_t IEffectVST::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (opcode) {
    case effProcessEvents:
        // On the audio thread, before its block.
        {
            Util_MutexLock lock(mMutex);
            return DispatchOpcode(opcode, index, value, ptr, opt);
        }
    case effOpen:
    case effSetProgram:
    case effGetProgram:
    case effSetProgramName:
    case effGetProgramName:
    case effGetProgramNameIndexed:
    case effSetSampleRate:
    case effSetBlockSize:
    case effMainsChanged:
    case effGetChunk:
    case effSetChunk:
    case effString2Parameter:
    case effSetSpeakerArrangement: {
        Util_MutexLock lock(mStateMutex);
        return DispatchOpcode(opcode, index, value, ptr, opt);
    }
    default:
        // Answers from what does not change, and opcodes we do not handle.
        return DispatchOpcode(opcode, index, value, ptr, opt);
    }
}

intptr_t IEffectVST::DispatchOpcode(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    Trace(__func__, __LINE__, "%d:%s idx %d val %lld", opcode, VSTOpcodeStr(opcode), index,
          static_cast<long long>(value));

    switch (opcode) {
    case effOpen:
        HostSpecificInit();
        OnParamReset();
        return 0;

    case effSetProgram:
        if (!DoesStateChunks()) ModifyCurrentPreset();
        RestorePreset(ToIndex(value));
        return 0;

    case effGetProgram:
        return mCurrentPresetIdx;

    case effSetProgramName:
        if (ptr) {
            ModifyCurrentPreset(static_cast<const char*>(ptr));
            PresetsChangedByHost();
        }
        return 0;

    case effGetProgramName:
        if (ptr) CopyText(ptr, GetPresetName(mCurrentPresetIdx));
        return 0;

    case effGetParamLabel:
        if (ptr && GetParam(index)) CopyText(ptr, GetParam(index)->GetLabelForHost());
        return 0;

    case effGetParamDisplay:
        if (IParam* param = GetParam(index); param && ptr)
            param->GetDisplayForHost(param->Value(), false, static_cast<char*>(ptr), true);
        return 0;

    case effGetParamName:
        if (ptr && GetParam(index)) CopyText(ptr, GetParam(index)->GetNameForHost());
        return 0;

    case effSetSampleRate:
        // A rate outside 8 kHz to 768 kHz (or not a number) is refused: the previous rate stays.
        if (SetSampleRate(static_cast<double>(opt))) Reset();
        return 0;

    case effSetBlockSize:
        // Blocks need at least one frame; sizes outside the int range are not block sizes.
        if (value >= 1 && value <= INT_MAX) {
            SetBlockSize(static_cast<int>(value));
            Reset();
        }
        return 0;

    case effMainsChanged:
        if (value) {
            OnActivate(true);
            mProcessing = true;
        } else {
            // Suspended: the host reads the record when it resumes, so nothing is left to announce.
            mProcessing = false;
            mLatencyPending = false;
            OnActivate(false);
            Reset();
        }
        return 0;

    case effIdentify:
        return kIdentifyAnswer;

    case effGetChunk:
        return GetChunk(static_cast<void**>(ptr), index == 0);

    case effSetChunk:
        return SetChunk(ptr, value, index == 0);

    case effProcessEvents:
        return ProcessEvents(static_cast<const VstEvents*>(ptr));

    case effCanBeAutomated:
        return 1;

    case effString2Parameter:
        return String2Parameter(index, static_cast<const char*>(ptr));

    case effGetProgramNameIndexed:
        if (!ptr) return 0;
        CopyText(ptr, GetPresetName(index));
        return static_cast<const char*>(ptr)[0] ? 1 : 0;

    case effGetInputProperties:
        return GetPinProperties(static_cast<VstPinProperties*>(ptr), index, true);

    case effGetOutputProperties:
        return GetPinProperties(static_cast<VstPinProperties*>(ptr), index, false);

    case effGetPlugCategory:
        return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;

    case effSetSpeakerArrangement:
        return SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                                     static_cast<const VstSpeakerArrangement*>(ptr));

    case effGetEffectName:
        if (!ptr) return 0;
        CopyText(ptr, mEffectName);
        return 1;

    case effGetVendorString:
        if (!ptr) return 0;
        CopyText(ptr, mMfrName);
        return 1;

    case effGetProductString:
        if (!ptr) return 0;
        CopyText(ptr, mProductName);
        return 1;

    case effVendorSpecific:
        return VendorSpecific(index, value, ptr, opt);

    case effCanDo:
        return CanDo(static_cast<const char*>(ptr));

    case effGetTailSize:
        return mTailSize;

    case effIdle:
        return 0;

    case effGetVstVersion:
        return kVstVersion;

    case effGetMidiKeyName: {
        MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
        if (!key) return 0;
        key->keyName[0] = '\0';
        return MidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }

    case effGetSpeakerArrangement:
        if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpeakerArr;
        if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpeakerArr;
        return 1;

    default:
        return 0;
    }
}

intptr_t IEffectVST::GetChunk(void** ppData, bool isBank) {
    if (!ppData) return 0;
    ByteChunk& chunk = isBank ? mBankChunk : mStateChunk;
    InitChunkWithFrameworkVer(&chunk);
    bool ok;
    if (isBank) {
        ModifyCurrentPreset();
        ok = SerializePresets(&chunk);
    } else {
        ok = SerializeState(&chunk);
    }
    if (!ok || chunk.Size() <= 0) return 0;
    *ppData = chunk.GetBytes();
    return chunk.Size();
}

intptr_t IEffectVST::SetChunk(const void* pData, intptr_t size, bool isBank) {
    if (!pData) return 0;
    // The size comes from the host: a negative one or one beyond what a chunk can hold is refused.
    if (size < 0 || size > INT_MAX) return 0;
    ByteChunk& chunk = isBank ? mBankChunk : mStateChunk;
    chunk.Clear();
    chunk.PutBytes(pData, static_cast<int>(size));
    int pos = 0;
    int version = GetFrameworkVerFromChunk(&chunk, &pos);
    if (isBank && version >= kFrameworkVersion) {
        pos = UnserializePresets(&chunk, pos);
    } else {
        pos = UnserializeState(&chunk, pos);
        ModifyCurrentPreset();
    }
    if (pos < 0) return 0;
    RedrawParamControls();
    return 1;
}

intptr_t IEffectVST::ProcessEvents(const VstEvents* pEvents) {
    if (!pEvents) return 0;
    VstEvent* const* events = EventList(pEvents);
    for (int i = 0; i < pEvents->numEvents; ++i) {
        const VstEvent* ev = events[i];
        if (!ev) continue;
        if (ev->type == kVstMidiType) {
            const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(ev);
            IMidiMsg msg(midi->deltaFrames, static_cast<uint8_t>(midi->midiData[0]),
                         static_cast<uint8_t>(midi->midiData[1]), static_cast<uint8_t>(midi->midiData[2]));
            ProcessMidiMsg(&msg);
        } else if (ev->type == kVstSysExType) {
            const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(ev);
            // A dump with a negative size, or bytes announced without a buffer, cannot be read safely.
            if (sysex->dumpBytes < 0 || (sysex->dumpBytes > 0 && !sysex->sysexDump)) continue;
            ISysEx msg(sysex->deltaFrames, reinterpret_cast<const uint8_t*>(sysex->sysexDump),
                       sysex->dumpBytes);
            ProcessSysEx(&msg);
        }
    }
    return 1;
}

intptr_t IEffectVST::String2Parameter(int32_t index, const char* text) {
    IParam* param = GetParam(index);
    if (!param) return 0;
    if (!text) return 1;
    double value;
    if (param->GetNDisplayTexts() > 0) {
        int mapped;
        if (!param->MapDisplayText(text, &mapped)) return 0;
        value = mapped;
    } else {
        value = std::atof(text);
        if (param->GetNegateDisplay()) value = -value;
    }
    // "nan" is no value: it changes nothing and is refused. Infinities clamp like any other value.
    if (std::isnan(value)) return 0;
    if (IEffectEditor* gui = GetGUI()) gui->SetParameterFromPlug(index, value, false);
    param->Set(value);
    QueueParamChange(index);
    return 1;
}

intptr_t IEffectVST::GetPinProperties(VstPinProperties* pProps, int32_t index, bool isInput) {
    int n = isInput ? NInChannels() : NOutChannels();
    if (!pProps || index < 0 || index >= n) return 0;
    pProps->flags = kVstPinIsActive;
    if (index % 2 == 0 && index < n - 1) pProps->flags |= kVstPinIsStereo;
    const char* label = isInput ? GetInputLabel(index) : GetOutputLabel(index);
    if (label[0])
        std::snprintf(pProps->label, sizeof(pProps->label), "%s", label);
    else
        std::snprintf(pProps->label, sizeof(pProps->label), isInput ? "Input %d" : "Output %d", index + 1);
    return 1;
}

intptr_t IEffectVST::SetSpeakerArrangement(const VstSpeakerArrangement* pIn,
                                           const VstSpeakerArrangement* pOut) {
    // Pointer moves and silencing only, under the plug-in mutex, so no block sees half.
    ConnectFirstChannels(pIn ? std::max(pIn->numChannels, 0) : -1,
                         pOut ? std::max(pOut->numChannels, 0) : -1);
    return 1;
}

intptr_t IEffectVST::VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
    if (index == 7 && ptr) {
        if (IParam* param = GetParam(ToIndex(value)))
            param->GetDisplayForHost(ClampNormalized(opt), true, static_cast<char*>(ptr), true);
        return kVendorSpecificAnswer;
    }
    if (index == 8) {
        IParam* param = GetParam(ToIndex(value));
        return param && param->Type() != IParam::kTypeDouble ? kVendorSpecificAnswer : 0;
    }
    return 0;
}

intptr_t IEffectVST::CanDo(const char* text) {
    if (!text) return 0;
    if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
    if (DoesMidi()) {
        static const char* const kMidiCaps[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                                                "receiveVstMidiEvent"};
        for (const char* cap : kMidiCaps)
            if (!std::strcmp(text, cap)) return 1;
    }
    return 0;
}

// ---- Host identification ----

EHost IEffectVST::GetHost() {
    if (const EHost known = mHost.load(); known != kHostUninit) return known;
    // The audio thread never takes the state mutex, so asking the host under it holds up nobody there.
    Util_MutexLock lock(mStateMutex);
    if (const EHost known = mHost.load(); known != kHostUninit) return known;
    char name[kHostProductStrLen];
    name[0] = '\0';
    HostCall(audioMasterGetProductString, 0, 0, name);
    name[kHostProductStrLen - 1] = '\0';
    int version = 0;
    if (name[0]) {
        // Decimal major * 10000 + minor * 100 + patch, repacked; the answer is held to the int range.
        long long d = std::clamp(static_cast<long long>(HostCall(audioMasterGetVendorVersion)),
                                 static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX));
        version = static_cast<int>((d / 10000) * 65536 + ((d % 10000) / 100) * 256 + d % 100);
    }
    SetHost(name, version);
    return mHost;
}

void IEffectVST::HostSpecificInit() {
    if (mHostInitDone) return;
    mHostInitDone = true;
    EHost host = GetHost();
    if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio) {
        Util_MutexLock lock(mMutex);
        LimitToStereoIO();
    }
    mInputSpeakerArr.numChannels = NInChannels();
    mOutputSpeakerArr.numChannels = NOutChannels();
    mAEffect.numInputs = NInChannels();
    mAEffect.numOutputs = NOutChannels();
    OnHostIdentified();
}

// ---- Parameters ----

float IEffectVST::VSTGetParameter(AEffect* pEffect, int32_t index) {
    IEffectVST* plug = FromRecord(pEffect);
    if (!plug) return 0.0f;
    try {
        return plug->GetParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

float IEffectVST::GetParameter(int32_t index) {
    IParam* param = GetParam(index);
    return param ? static_cast<float>(param->GetNormalized()) : 0.0f;
}

void IEffectVST::VSTSetParameter(AEffect* pEffect, int32_t index, float value) {
    IEffectVST* plug = FromRecord(pEffect);
    if (!plug) return;
    try {
        plug->SetParameter(index, value);
        plug->FlushHostNotifications();
    } catch (...) {}
}

void IEffectVST::SetParameter(int32_t index, float value) {
    IParam* param = GetParam(index);
    if (!param) return;
    // NaN is no value and changes nothing; anything else is held to the normalised range.
    double normalized = ClampNormalized(static_cast<double>(value));
    if (std::isnan(normalized)) return;
    // Lock-free: the controls move on the editor's thread.
    if (IEffectEditor* gui = GetGUI()) gui->SetParameterFromPlug(index, normalized, true);
    param->SetNormalized(normalized);
    QueueParamChange(index);
}

// ---- Audio ----

void IEffectVST::VSTProcess(AEffect* pEffect, float** inputs, float** outputs, int32_t nFrames) {
    IEffectVST* plug = FromRecord(pEffect);
    if (!plug) return;
    try {
        plug->ProcessFloat(inputs, outputs, nFrames, kAccumulate);
    } catch (...) {}
}

void IEffectVST::VSTProcessReplacing(AEffect* pEffect, float** inputs, float** outputs, int32_t nFrames) {
    IEffectVST* plug = FromRecord(pEffect);
    if (!plug) return;
    try {
        plug->ProcessFloat(inputs, outputs, nFrames, kReplace);
    } catch (...) {}
}

void IEffectVST::VSTProcessDoubleReplacing(AEffect* pEffect, double** inputs, double** outputs,
                                           int32_t nFrames) {
    IEffectVST* plug = FromRecord(pEffect);
    if (!plug) return;
    try {
        plug->ProcessDouble(inputs, outputs, nFrames);
    } catch (...) {}
}

namespace {

// Number of host buffers an attach walk consumes: one per connected channel.
template <class IsConnected>
int CountConnected(int n, IsConnected isConnected) {
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (isConnected(i)) ++count;
    return count;
}

// Points piece[k] at host[k] + offset for the first n host buffers (null stays null; a null host array
// gives null buffers, which the attach walk replaces by scratch buffers).
template <class T>
T** ShiftBuffers(T** host, Util_TypedBuf<T*>& piece, int n, int offset) {
    T** dst = piece.Get();
    for (int k = 0; k < n; ++k) {
        T* buf = host ? host[k] : nullptr;
        dst[k] = buf ? buf + offset : nullptr;
    }
    return dst;
}

} // namespace

void IEffectVST::BeginAudio() {
    mAudioThread.store(static_cast<unsigned long>(pthread_self()), std::memory_order_relaxed);
    ApplyQueuedParamChanges();
}

void IEffectVST::EndAudio(int nFrames) {
    if (!mLatencyPending.load() || nFrames <= 0) return;
    // The host has had no call off the audio thread to hear of the change in: after a while, it is
    // told from here (no lock is held).
    const int waited = mLatencyWaitFrames.fetch_add(nFrames) + nFrames;
    if (waited < static_cast<int>(GetSampleRate() * kLatencyAnnounceWait)) return;
    if (mLatencyPending.exchange(false)) HostCall(audioMasterIOChanged);
}

bool IEffectVST::OnAudioThread() const {
    return mAudioThread.load(std::memory_order_relaxed) == static_cast<unsigned long>(pthread_self());
}

void IEffectVST::ProcessFloat(float** inputs, float** outputs, int nFrames, EProcessMode mode) {
    {
        Util_MutexLock lock(mMutex);
        BeginAudio();
        ProcessFloatLocked(inputs, outputs, nFrames, mode);
    }
    EndAudio(nFrames);
}

void IEffectVST::ProcessDouble(double** inputs, double** outputs, int nFrames) {
    {
        Util_MutexLock lock(mMutex);
        BeginAudio();
        ProcessDoubleLocked(inputs, outputs, nFrames);
    }
    EndAudio(nFrames);
}

void IEffectVST::ProcessFloatLocked(float** inputs, float** outputs, int nFrames, EProcessMode mode) {
    if (DoesMidi()) HostCall(audioMasterWantMidi);
    int nOut = CountConnected(NOutChannels(), [this](int i) { return IsOutChannelConnected(i); });
    // Without the host's output array there is nowhere to deliver a block.
    if (nFrames <= 0 || (nOut > 0 && !outputs)) return;
    int nIn = CountConnected(NInChannels(), [this](int i) { return IsInChannelConnected(i); });
    int blockSize = std::max(GetBlockSize(), 1);
    for (int done = 0; done < nFrames;) {
        int n = std::min(blockSize, nFrames - done);
        float** in = inputs;
        float** out = outputs;
        if (done > 0 || !inputs) {
            in = ShiftBuffers(inputs, mPieceInF, nIn, done);
            out = ShiftBuffers(outputs, mPieceOutF, nOut, done);
        }
        AttachInputBuffers(0, NInChannels(), in, n);
        AttachOutputBuffers(0, NOutChannels(), out);
        if (mode == kAccumulate)
            ProcessBuffersAccumulating(0.0f, n);
        else
            ProcessBuffers(0.0f, n);
        done += n;
    }
}

void IEffectVST::ProcessDoubleLocked(double** inputs, double** outputs, int nFrames) {
    if (DoesMidi()) HostCall(audioMasterWantMidi);
    int nOut = CountConnected(NOutChannels(), [this](int i) { return IsOutChannelConnected(i); });
    if (nFrames <= 0 || (nOut > 0 && !outputs)) return;
    int nIn = CountConnected(NInChannels(), [this](int i) { return IsInChannelConnected(i); });
    // A connected input without a host buffer reads its scratch buffer, which may still hold the last
    // block converted into it by a single-precision callback: it reads silence instead.
    for (int i = 0, k = 0; i < NInChannels(); ++i) {
        if (!IsInChannelConnected(i)) continue;
        if (!inputs || !inputs[k]) mInChannels.Get(i)->mScratchBuf.Clear();
        ++k;
    }
    int blockSize = std::max(GetBlockSize(), 1);
    for (int done = 0; done < nFrames;) {
        int n = std::min(blockSize, nFrames - done);
        double** in = inputs;
        double** out = outputs;
        if (done > 0 || !inputs) {
            in = ShiftBuffers(inputs, mPieceInD, nIn, done);
            out = ShiftBuffers(outputs, mPieceOutD, nOut, done);
        }
        AttachInputBuffers(0, NInChannels(), in, n);
        AttachOutputBuffers(0, NOutChannels(), out);
        ProcessBuffers(0.0, n);
        done += n;
    }
}

// ---- Host notifications ----

void IEffectVST::BeginInformHostOfParamChange(int paramIdx) {
    HostCall(audioMasterBeginEdit, paramIdx);
}

void IEffectVST::InformHostOfParamChange(int paramIdx, double normalizedValue) {
    HostCall(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IEffectVST::EndInformHostOfParamChange(int paramIdx) {
    HostCall(audioMasterEndEdit, paramIdx);
}

void IEffectVST::InformHostOfProgramChange() {
    HostCall(audioMasterUpdateDisplay);
}

bool IEffectVST::IsRenderingOffline() {
    return HostCall(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

// ---- Time ----

int IEffectVST::GetSamplePos() {
    const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, 0));
    if (!t || !(t->samplePos >= 0.0)) return 0;
    // Positions beyond the int range saturate rather than overflow the conversion.
    double pos = t->samplePos + 0.5;
    return pos < static_cast<double>(INT_MAX) ? static_cast<int>(pos) : INT_MAX;
}

double IEffectVST::GetTempo() {
    if (!mHostCallback) return 0.0;
    const VstTimeInfo* t =
        reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, kVstTempoValid));
    if (t && (t->flags & kVstTempoValid) && t->tempo >= 0.0) return t->tempo;
    return 0.0;
}

void IEffectVST::GetTimeSig(int* pNumerator, int* pDenominator) {
    if (pNumerator) *pNumerator = 0;
    if (pDenominator) *pDenominator = 0;
    const VstTimeInfo* t =
        reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, kVstTimeSigValid));
    if (t && (t->flags & kVstTimeSigValid) && t->timeSigNumerator >= 0 && t->timeSigDenominator >= 0) {
        if (pNumerator) *pNumerator = t->timeSigNumerator;
        if (pDenominator) *pDenominator = t->timeSigDenominator;
    }
}

void IEffectVST::GetTime(ITimeInfo* pTimeInfo) {
    constexpr int32_t kRequest =
        kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
    if (!pTimeInfo) return;
    const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, kRequest));
    if (!t || !(t->flags & kRequest)) return;
    if ((t->flags & kVstTempoValid) && t->tempo > 0.0) pTimeInfo->mTempo = t->tempo;
    pTimeInfo->mSamplePos = t->samplePos;
    if ((t->flags & kVstPpqPosValid) && t->ppqPos >= 0.0) pTimeInfo->mPPQPos = t->ppqPos;
    if ((t->flags & kVstBarsValid) && t->barStartPos >= 0.0) pTimeInfo->mBarStartPos = t->barStartPos;
    if ((t->flags & kVstCyclePosValid) && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0) {
        pTimeInfo->mCycleStart = t->cycleStartPos;
        pTimeInfo->mCycleEnd = t->cycleEndPos;
    }
    if ((t->flags & kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
        pTimeInfo->mNumerator = t->timeSigNumerator;
        pTimeInfo->mDenominator = t->timeSigDenominator;
    }
    pTimeInfo->mIsPlaying = (t->flags & kVstTransportPlaying) != 0;
    pTimeInfo->mIsLooping = (t->flags & kVstTransportCycleActive) != 0;
}

// ---- Editor ----

void IEffectVST::AttachGraphics(IEffectEditor* pGraphics) {
    if (!pGraphics) return;
    Util_MutexLock lock(mStateMutex);
    IEffectBase::AttachGraphics(pGraphics);
    if (!GetGUI()) return;
    mAEffect.flags |= effFlagsHasEditor;
    SetEditRect(GetGUI()->Width(), GetGUI()->Height());
}

void IEffectVST::ResizeGraphics(int w, int h) {
    (void)w;
    (void)h;
    if (IEffectEditor* gui = GetGUI()) {
        int windowW = 0, windowH = 0;
        gui->WindowSize(&windowW, &windowH);
        SetEditRect(windowW, windowH);
        OnWindowResize();
        // An open window asks the host to fit its own around the new size (on the editor's thread, with
        // no plug-in lock held); a closed one is measured again at effEditGetRect.
        if (gui->WindowIsOpen()) HostCall(audioMasterSizeWindow, windowW, windowH);
    }
}

void IEffectVST::SetEditRect(int w, int h) {
    // The record holds 16-bit coordinates; larger sizes are held at the largest it can report.
    auto to16 = [](int v) { return static_cast<int16_t>(std::clamp(v, 0, 32767)); };
    mEditRect.top = 0;
    mEditRect.left = 0;
    mEditRect.bottom = to16(h);
    mEditRect.right = to16(w);
}

// ---- Latency and events ----

void IEffectVST::SetLatency(int samples) {
    const bool changed = samples != InitialDelay(mAEffect).load(std::memory_order_relaxed);
    InitialDelay(mAEffect).store(samples, std::memory_order_relaxed);
    IEffectBase::SetLatency(samples);
    if (changed && mProcessing.load()) {
        mLatencyWaitFrames = 0;
        mLatencyPending = true;
    }
}

void IEffectVST::FlushHostNotifications() {
    if (!mLatencyPending.load() || OnAudioThread()) return;
    if (mLatencyPending.exchange(false)) HostCall(audioMasterIOChanged);
}

bool IEffectVST::SendVSTEvent(VstEvent* pEvent) {
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = pEvent;
    events.events[1] = nullptr;
    return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IEffectVST::SendMidiMsg(IMidiMsg* pMsg) {
    if (!pMsg) return false;
    VstMidiEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = kVstMidiType;
    ev.byteSize = sizeof(VstMidiEvent);
    ev.deltaFrames = pMsg->mOffset;
    ev.midiData[0] = static_cast<char>(pMsg->mStatus);
    ev.midiData[1] = static_cast<char>(pMsg->mData1);
    ev.midiData[2] = static_cast<char>(pMsg->mData2);
    return SendVSTEvent(reinterpret_cast<VstEvent*>(&ev));
}

bool IEffectVST::SendSysEx(ISysEx* pSysEx) {
    if (!pSysEx) return false;
    VstMidiSysexEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = kVstSysExType;
    ev.byteSize = sizeof(VstMidiSysexEvent);
    ev.deltaFrames = pSysEx->mOffset;
    ev.dumpBytes = pSysEx->mSize;
    ev.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(pSysEx->mData));
    return SendVSTEvent(reinterpret_cast<VstEvent*>(&ev));
}
