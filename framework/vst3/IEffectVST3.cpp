#include "framework/vst3/IEffectVST3.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include <pthread.h>

#include "framework/plugin/Log.h"
#include "framework/vst3/IEffectVST3View.h"
#include "framework/vst3/VST3Strings.h"

namespace {

using Self = IEffectVST3;

const v3_component_cpp kComponentTable = {
    VST3Unknown<Self>(),
    {VST3Entry<&Self::Initialize>, VST3Entry<&Self::Terminate>},
    {VST3Entry<&Self::GetControllerClassId>, VST3Entry<&Self::SetIoMode>, VST3Entry<&Self::GetBusCount>,
     VST3Entry<&Self::GetBusInfo>, VST3Entry<&Self::GetRoutingInfo>, VST3Entry<&Self::ActivateBus>,
     VST3Entry<&Self::SetActive>, VST3Entry<&Self::SetState>, VST3Entry<&Self::GetState>}};

const v3_audio_processor_cpp kProcessorTable = {
    VST3Unknown<Self>(),
    {VST3Entry<&Self::SetBusArrangements>, VST3Entry<&Self::GetBusArrangement>,
     VST3Entry<&Self::CanProcessSampleSize>, VST3Entry<&Self::GetLatencySamples>,
     VST3Entry<&Self::SetupProcessing>, VST3Entry<&Self::SetProcessing>, VST3Entry<&Self::Process>,
     VST3Entry<&Self::GetTailSamples>}};

const v3_edit_controller_cpp kControllerTable = {
    VST3Unknown<Self>(),
    {VST3Entry<&Self::Initialize>, VST3Entry<&Self::Terminate>},
    {VST3Entry<&Self::SetComponentState>, VST3Entry<&Self::SetControllerState>,
     VST3Entry<&Self::GetControllerState>, VST3Entry<&Self::GetParameterCount>,
     VST3Entry<&Self::GetParameterInfo>, VST3Entry<&Self::GetParameterStringForValue>,
     VST3Entry<&Self::GetParameterValueForString>, VST3Entry<&Self::NormalizedParameterToPlain>,
     VST3Entry<&Self::PlainParameterToNormalized>, VST3Entry<&Self::GetParameterNormalized>,
     VST3Entry<&Self::SetParameterNormalized>, VST3Entry<&Self::SetComponentHandler>,
     VST3Entry<&Self::CreateView>}};

const v3_unit_information_cpp kUnitsTable = {
    VST3Unknown<Self>(),
    {VST3Entry<&Self::GetUnitCount>, VST3Entry<&Self::GetUnitInfo>, VST3Entry<&Self::GetProgramListCount>,
     VST3Entry<&Self::GetProgramListInfo>, VST3Entry<&Self::GetProgramName>, VST3Entry<&Self::GetProgramInfo>,
     VST3Entry<&Self::HasProgramPitchNames>, VST3Entry<&Self::GetProgramPitchName>,
     VST3Entry<&Self::GetSelectedUnit>, VST3Entry<&Self::SelectUnit>, VST3Entry<&Self::GetUnitByBus>,
     VST3Entry<&Self::SetUnitProgramData>}};

constexpr int32_t kRootUnitID = 0;

// The arrangement a bus of n channels has before the host chooses one: mono, stereo, or the first n
// speakers.
v3_speaker_arrangement DefaultArrangement(int n) {
    if (n == 1) return V3_SPEAKER_M;
    if (n == 2) return V3_SPEAKER_L | V3_SPEAKER_R;
    return n >= 64 ? ~v3_speaker_arrangement{0} : (v3_speaker_arrangement{1} << n) - 1;
}

int ChannelCount(v3_speaker_arrangement arr) {
    return std::popcount(arr);
}

// The steps a host shows for a parameter: none (continuous) for doubles, whole steps for the rest.
int32_t StepCount(const IParam* param) {
    switch (param->Type()) {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
        return std::max(static_cast<int32_t>(std::lround(param->GetMax() - param->GetMin())), 0);
    default:
        return 0;
    }
}

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

IEffectVST3::IEffectVST3(const IEffectInstanceInfo&, const IEffectDescription& desc)
    : IEffectBase(desc, kAPIVST3), mChanges(2 * desc.NParams() + 8) {
    Trace(__func__, __LINE__, "%s", desc.mEffectName ? desc.mEffectName : "");
    mComponent = {&kComponentTable, this};
    mProcessor = {&kProcessorTable, this};
    mController = {&kControllerTable, this};
    mUnits = {&kUnitsTable, this};

    mPieceInF.Resize(NInChannels());
    mPieceInD.Resize(NInChannels());
    mPieceOutF.Resize(NOutChannels());
    mPieceOutD.Resize(NOutChannels());
    mMirror = std::make_unique<std::atomic<double>[]>(static_cast<size_t>(NParams()));
    mDefaults = std::make_unique<double[]>(static_cast<size_t>(NParams()));
    for (int i = 0; i < NParams(); ++i) mDefaults[static_cast<size_t>(i)] = GetParam(i)->GetNormalized();
    MirrorParams();
    mInputArr = DefaultArrangement(NInChannels());
    mOutputArr = DefaultArrangement(NOutChannels());

    SetInputChannelConnections(0, NInChannels(), true);
    SetOutputChannelConnections(0, NOutChannels(), true);
    SetBlockSize(1024);
}

IEffectVST3::~IEffectVST3() = default;

void IEffectVST3::PreparePrograms() {
    Util_MutexLock lock(mStateMutex);
    const int n = NParams();
    mPrograms = std::make_unique<double[]>(static_cast<size_t>(std::max(NPresets(), 1) * n));
    for (int p = 0; p < NPresets(); ++p) {
        // A slot's state is one double per parameter; a value it lacks is the parameter's current one.
        ByteChunk& chunk = mPresets.Get(p)->mChunk;
        for (int i = 0; i < n; ++i) {
            double v = GetParam(i)->Value();
            chunk.Get(&v, 8 * i);
            if (std::isnan(v)) v = GetParam(i)->Value();
            mPrograms[static_cast<size_t>(p * n + i)] =
                std::clamp(v, GetParam(i)->GetMin(), GetParam(i)->GetMax());
        }
    }
}

IEffectVST3* VST3CreateInstance(IEffectVST3* (*factory)(const IEffectInstanceInfo& info)) {
    static Util_Mutex sMutex;
    if (!factory) return nullptr;
    try {
        Util_MutexLock lock(sMutex);
        IEffectVST3* plug = factory(IEffectInstanceInfo{});
        if (!plug) return nullptr;
        try {
            {
                Util_MutexLock stateLock(plug->GetStateMutex());
                plug->EnsureDefaultPreset();
            }
            plug->PreparePrograms();
            plug->OnParamReset();
        } catch (...) {
            plug->Unref();
            return nullptr;
        }
        return plug;
    } catch (...) {
        return nullptr;
    }
}

// ---- v3_funknown ----

v3_result IEffectVST3::QueryInterface(const uint8_t* iid, void** obj) {
    VST3Face<IEffectVST3>* face = nullptr;
    if (VST3IsOneOf(iid, v3_funknown_iid, v3_plugin_base_iid, v3_component_iid))
        face = &mComponent;
    else if (VST3IsOneOf(iid, v3_audio_processor_iid))
        face = &mProcessor;
    else if (VST3IsOneOf(iid, v3_edit_controller_iid))
        face = &mController;
    else if (VST3IsOneOf(iid, v3_unit_information_iid))
        face = &mUnits;
    return VST3Answer(face, obj);
}

uint32_t IEffectVST3::Ref() {
    return mRefs.Add();
}

uint32_t IEffectVST3::Unref() {
    const uint32_t left = mRefs.Release();
    if (left == 0) delete this;
    return left;
}

// ---- v3_plugin_base ----

v3_result IEffectVST3::Initialize(v3_funknown** context) {
    Trace(__func__, __LINE__, "%d", mInitCount);
    // A host that reaches the controller through the component initialises the one object twice.
    if (mInitCount++ > 0) return V3_OK;
    if (!context || !*context) return V3_OK;
    v3_cpp_obj_ref(context);
    mContext = context;
    v3_host_application** app = nullptr;
    if (v3_cpp_obj_query_interface(context, v3_host_application_iid, &app) == V3_OK && app) {
        v3_str_128 name = {};
        if (v3_cpp_obj(app)->get_name(app, name) == V3_OK) {
            Util_MutexLock lock(mStateMutex);
            SetHost(VST3ToUTF8(name, 128).c_str(), 0);
        }
        v3_cpp_obj_unref(app);
    }
    return V3_OK;
}

v3_result IEffectVST3::Terminate() {
    Trace(__func__, __LINE__, "%d", mInitCount);
    if (mInitCount == 0 || --mInitCount > 0) return V3_OK;
    if (mHandler) v3_cpp_obj_unref(std::exchange(mHandler, nullptr));
    if (mContext) v3_cpp_obj_unref(std::exchange(mContext, nullptr));
    return V3_OK;
}

// ---- v3_component ----

v3_result IEffectVST3::GetControllerClassId(uint8_t* classId) {
    if (classId) std::memset(classId, 0, sizeof(v3_tuid));
    return V3_FALSE;
}

v3_result IEffectVST3::SetIoMode(int32_t) {
    return V3_OK;
}

int32_t IEffectVST3::GetBusCount(int32_t mediaType, int32_t direction) {
    if (mediaType != V3_AUDIO || (direction != V3_INPUT && direction != V3_OUTPUT)) return 0;
    return (direction == V3_INPUT ? NInChannels() : NOutChannels()) > 0 ? 1 : 0;
}

uint32_t IEffectVST3::ChannelsOf(int32_t direction) const {
    return static_cast<uint32_t>(ChannelCount(direction == V3_INPUT ? mInputArr : mOutputArr));
}

v3_result IEffectVST3::GetBusInfo(int32_t mediaType, int32_t direction, int32_t idx, v3_bus_info* info) {
    if (!info || idx != 0 || GetBusCount(mediaType, direction) == 0) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof(*info));
    info->media_type = V3_AUDIO;
    info->direction = direction;
    info->channel_count = static_cast<int32_t>(ChannelsOf(direction));
    const char* label = direction == V3_INPUT ? GetInputBusLabel(0) : GetOutputBusLabel(0);
    VST3CopyString(label ? label : (direction == V3_INPUT ? "Input" : "Output"), info->bus_name, 128);
    info->bus_type = V3_MAIN;
    info->flags = V3_DEFAULT_ACTIVE;
    return V3_OK;
}

v3_result IEffectVST3::GetRoutingInfo(v3_routing_info*, v3_routing_info*) {
    return V3_FALSE;
}

v3_result IEffectVST3::ActivateBus(int32_t mediaType, int32_t direction, int32_t idx, v3_bool) {
    return idx == 0 && GetBusCount(mediaType, direction) > 0 ? V3_OK : V3_INVALID_ARG;
}

v3_result IEffectVST3::SetActive(v3_bool state) {
    Trace(__func__, __LINE__, "%d", state);
    Util_MutexLock lock(mStateMutex);
    if (state) {
        OnActivate(true);
        mActive = true;
    } else {
        // The host reads the latency when it activates us again: nothing is left to announce.
        mActive = false;
        mPendingRestart.fetch_and(~V3_RESTART_LATENCY_CHANGED);
        OnActivate(false);
        Reset();
    }
    return V3_OK;
}

bool IEffectVST3::ReadStream(v3_bstream** stream, uint8_t* buf, int maxBytes, int* pRead) {
    *pRead = 0;
    if (!stream || !*stream) return false;
    while (*pRead < maxBytes) {
        int32_t got = 0;
        const v3_result r = v3_cpp_obj(stream)->read(stream, buf + *pRead, maxBytes - *pRead, &got);
        // The end of the stream, or a host that says no more: what was read is all there is.
        if (r != V3_OK || got <= 0) break;
        *pRead += std::min(got, maxBytes - *pRead);
    }
    return true;
}

bool IEffectVST3::WriteStream(v3_bstream** stream, const void* data, int size) {
    if (!stream || !*stream) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (int done = 0; done < size;) {
        int32_t wrote = 0;
        const v3_result r =
            v3_cpp_obj(stream)->write(stream, const_cast<uint8_t*>(bytes + done), size - done, &wrote);
        if (r != V3_OK || wrote <= 0) return false;
        done += std::min(wrote, size - done);
    }
    return true;
}

v3_result IEffectVST3::ReadStateStream(v3_bstream** stream, std::vector<double>* values) const {
    // One byte more than a program chunk tells a longer stream (which is not ours) from ours.
    std::vector<uint8_t> bytes(static_cast<size_t>(ProgramChunkSize() + 1));
    int n = 0;
    if (!ReadStream(stream, bytes.data(), static_cast<int>(bytes.size()), &n)) return V3_INVALID_ARG;
    values->assign(static_cast<size_t>(NParams()), 0.0);
    return ReadProgramChunk(bytes.data(), static_cast<size_t>(n), values->data()) ? V3_OK : V3_FALSE;
}

v3_result IEffectVST3::SetState(v3_bstream** stream) {
    Trace(__func__, __LINE__, "component state");
    std::vector<double> values;
    if (const v3_result r = ReadStateStream(stream, &values); r != V3_OK) return r;
    {
        Util_MutexLock lock(mStateMutex);
        ApplyParamValues(values.data());
        MirrorParams();
    }
    FlushHostNotifications();
    return V3_OK;
}

v3_result IEffectVST3::GetState(v3_bstream** stream) {
    Trace(__func__, __LINE__, "component state");
    // The values are read from the parameters' atomics: the audio thread never waits for a save.
    ByteChunk chunk;
    InitChunkWithFrameworkVer(&chunk);
    if (!SerializeParams(&chunk)) return V3_FALSE;
    return WriteStream(stream, chunk.GetBytes(), chunk.Size()) ? V3_OK : V3_FALSE;
}

// ---- v3_audio_processor ----

v3_result IEffectVST3::SetBusArrangements(v3_speaker_arrangement* inputs, int32_t nIn,
                                          v3_speaker_arrangement* outputs, int32_t nOut) {
    if (nIn != 1 || nOut != 1 || !inputs || !outputs) return V3_FALSE;
    const int in = ChannelCount(inputs[0]), out = ChannelCount(outputs[0]);
    if (in > NInChannels() || out > NOutChannels() || !LegalIO(in, out)) return V3_FALSE;
    Util_MutexLock lock(mStateMutex);
    ConnectFirstChannels(in, out);
    mInputArr = inputs[0];
    mOutputArr = outputs[0];
    return V3_OK;
}

v3_result IEffectVST3::GetBusArrangement(int32_t direction, int32_t idx, v3_speaker_arrangement* arr) {
    if (!arr || idx != 0 || GetBusCount(V3_AUDIO, direction) == 0) return V3_INVALID_ARG;
    *arr = direction == V3_INPUT ? mInputArr : mOutputArr;
    return V3_OK;
}

v3_result IEffectVST3::CanProcessSampleSize(int32_t size) {
    return size == V3_SAMPLE_32 || size == V3_SAMPLE_64 ? V3_OK : V3_FALSE;
}

uint32_t IEffectVST3::GetLatencySamples() {
    return static_cast<uint32_t>(std::max(GetLatency(), 0));
}

v3_result IEffectVST3::SetupProcessing(v3_process_setup* setup) {
    if (!setup) return V3_INVALID_ARG;
    Trace(__func__, __LINE__, "rate %f block %d", setup->sample_rate, setup->max_block_size);
    if (CanProcessSampleSize(setup->symbolic_sample_size) != V3_OK || setup->max_block_size < 1)
        return V3_FALSE;
    Util_MutexLock lock(mStateMutex);
    // A rate outside the ones the effect serves (or not a number) is refused: the previous rate stays.
    if (!SetSampleRate(setup->sample_rate)) return V3_FALSE;
    Reset();
    SetBlockSize(std::min(setup->max_block_size, kMaxBlockSize));
    Reset();
    return V3_OK;
}

v3_result IEffectVST3::SetProcessing(v3_bool) {
    return V3_OK;
}

uint32_t IEffectVST3::GetTailSamples() {
    return static_cast<uint32_t>(std::max(GetTailSize(), 0));
}

void IEffectVST3::BeginAudio() {
    mAudioThread.store(static_cast<unsigned long>(pthread_self()), std::memory_order_relaxed);
    ApplyQueuedParamChanges();
}

bool IEffectVST3::OnAudioThread() const {
    return mAudioThread.load(std::memory_order_relaxed) == static_cast<unsigned long>(pthread_self());
}

v3_result IEffectVST3::Process(v3_process_data* data) {
    if (!data) return V3_INVALID_ARG;
    Util_MutexLock lock(mMutex);
    BeginAudio();
    ProcessLocked(*data);
    return V3_OK;
}

void IEffectVST3::ProcessLocked(v3_process_data& data) {
    auto apply = [this](v3_param_id id, double value) {
        if (id == kProgramParamID) {
            if (!std::isnan(value)) ApplyProgramLocked(ProgramFromNormalized(value));
        } else if (const int idx = ParamIndex(id); idx >= 0) {
            ApplyHostValueLocked(idx, value);
        }
    };
    mChanges.Begin(data.input_params, apply);
    const int n = std::max(data.nframes, 0);
    const bool isDouble = data.symbolic_sample_size == V3_SAMPLE_64;
    // The block is split at every change: each part runs with the values its first frame has.
    for (int pos = 0; pos < n;) {
        mChanges.TakeUpTo(pos, kProgramParamID, apply);
        const int next = std::min(mChanges.NextOffset(), n);
        ProcessSpan(data, pos, next - pos, isDouble);
        pos = next;
    }
    // Changes at or beyond the block's end hold from the next block on.
    mChanges.TakeUpTo(INT_MAX, kProgramParamID, apply);
    for (int32_t b = 0; data.outputs && b < data.num_output_buses; ++b)
        data.outputs[b].channel_silence_bitset = 0;
}

namespace {

// Points piece[k] at host[k] + offset for the first n host buffers of a bus with nHost channels; a
// channel the bus lacks (or a null buffer) gives null, which the attach walk replaces by scratch buffers.
template <class T>
T** ShiftBuffers(T** host, int nHost, Util_TypedBuf<T*>& piece, int n, int offset) {
    T** dst = piece.Get();
    for (int k = 0; k < n; ++k) {
        T* buf = host && k < nHost ? host[k] : nullptr;
        dst[k] = buf ? buf + offset : nullptr;
    }
    return dst;
}

int CountConnected(int n, bool (IEffectBase::*isConnected)(int) const, const IEffectBase* plug) {
    int count = 0;
    for (int i = 0; i < n; ++i)
        if ((plug->*isConnected)(i)) ++count;
    return count;
}

} // namespace

template <class T>
void IEffectVST3::ProcessPiece(T** hostIn, int nHostIn, T** hostOut, int nHostOut, Util_TypedBuf<T*>& pieceIn,
                               Util_TypedBuf<T*>& pieceOut, int offset, int nFrames) {
    const int nIn = CountConnected(NInChannels(), &IEffectBase::IsInChannelConnected, this);
    const int nOut = CountConnected(NOutChannels(), &IEffectBase::IsOutChannelConnected, this);
    AttachInputBuffers(0, NInChannels(), ShiftBuffers(hostIn, nHostIn, pieceIn, nIn, offset), nFrames);
    AttachOutputBuffers(0, NOutChannels(), ShiftBuffers(hostOut, nHostOut, pieceOut, nOut, offset));
    ProcessBuffers(T{}, nFrames);
}

void IEffectVST3::ProcessSpan(v3_process_data& data, int offset, int nFrames, bool isDouble) {
    if (nFrames <= 0) return;
    const v3_audio_bus_buffers* inBus = data.inputs && data.num_input_buses > 0 ? data.inputs : nullptr;
    const v3_audio_bus_buffers* outBus = data.outputs && data.num_output_buses > 0 ? data.outputs : nullptr;
    // Without the host's outputs there is nowhere to deliver the block.
    if (!outBus || outBus->num_channels <= 0) return;
    const int hostIn = inBus ? inBus->num_channels : 0;
    const int hostOut = outBus->num_channels;
    if (isDouble) {
        // A connected input without a host buffer reads its scratch buffer, which may still hold what a
        // 32-bit block converted into it: it reads silence instead.
        double** in = inBus ? inBus->channel_buffers_64 : nullptr;
        for (int i = 0, k = 0; i < NInChannels(); ++i) {
            if (!IsInChannelConnected(i)) continue;
            if (!in || k >= hostIn || !in[k]) mInChannels.Get(i)->mScratchBuf.Clear();
            ++k;
        }
    }
    const int blockSize = std::max(GetBlockSize(), 1);
    for (int done = 0; done < nFrames;) {
        const int n = std::min(blockSize, nFrames - done);
        if (isDouble)
            ProcessPiece(inBus ? inBus->channel_buffers_64 : nullptr, hostIn, outBus->channel_buffers_64,
                         hostOut, mPieceInD, mPieceOutD, offset + done, n);
        else
            ProcessPiece(inBus ? inBus->channel_buffers_32 : nullptr, hostIn, outBus->channel_buffers_32,
                         hostOut, mPieceInF, mPieceOutF, offset + done, n);
        done += n;
    }
}

void IEffectVST3::ApplyHostValueLocked(int idx, double normalized) {
    // NaN is no value and changes nothing; anything else is held to the normalised range.
    if (std::isnan(normalized)) return;
    normalized = Clamp01(normalized);
    if (IEffectEditor* gui = GetGUI()) gui->SetParameterFromPlug(idx, normalized, true);
    GetParam(idx)->SetNormalized(normalized);
    OnParamChange(idx);
    mMirror[static_cast<size_t>(idx)].store(normalized, std::memory_order_relaxed);
}

void IEffectVST3::ApplyProgramLocked(int program) {
    if (program < 0 || program >= NPresets() || !mPrograms) return;
    const double* values = &mPrograms[static_cast<size_t>(program * NParams())];
    for (int i = 0; i < NParams(); ++i) GetParam(i)->Set(values[i]);
    OnParamReset();
    RedrawParamControls();
    MirrorParams();
    mProgram.store(program, std::memory_order_relaxed);
    // The host knows of the program, not of the values it brought.
    mPendingRestart.fetch_or(V3_RESTART_PARAM_VALUES_CHANGED);
}

void IEffectVST3::MirrorParams() {
    for (int i = 0; i < NParams(); ++i)
        mMirror[static_cast<size_t>(i)].store(GetParam(i)->GetNormalized(), std::memory_order_relaxed);
}

// ---- v3_edit_controller ----

int IEffectVST3::ParamIndex(v3_param_id id) const {
    return id < static_cast<v3_param_id>(NParams()) ? static_cast<int>(id) : -1;
}

double IEffectVST3::ProgramNormalized(int program) const {
    return NPresets() > 1 ? static_cast<double>(program) / (NPresets() - 1) : 0.0;
}

int IEffectVST3::ProgramFromNormalized(double normalized) const {
    if (NPresets() <= 1) return 0;
    return static_cast<int>(std::lround(Clamp01(normalized) * (NPresets() - 1)));
}

v3_result IEffectVST3::SetComponentState(v3_bstream** stream) {
    // The component read the same bytes: what the controller reports and the editor shows follow them.
    std::vector<double> values;
    if (const v3_result r = ReadStateStream(stream, &values); r != V3_OK) return r;
    for (int i = 0; i < NParams(); ++i) {
        const double normalized = GetParam(i)->GetNormalized(values[static_cast<size_t>(i)]);
        mMirror[static_cast<size_t>(i)].store(normalized, std::memory_order_relaxed);
        if (IEffectEditor* gui = GetGUI()) gui->SetParameterFromPlug(i, normalized, true);
    }
    FlushHostNotifications();
    return V3_OK;
}

v3_result IEffectVST3::SetControllerState(v3_bstream** stream) {
    return stream ? V3_OK : V3_INVALID_ARG;
}

v3_result IEffectVST3::GetControllerState(v3_bstream** stream) {
    return stream ? V3_OK : V3_INVALID_ARG;
}

int32_t IEffectVST3::GetParameterCount() {
    return NParams() + (NPresets() > 0 ? 1 : 0);
}

v3_result IEffectVST3::GetParameterInfo(int32_t idx, v3_param_info* info) {
    if (!info) return V3_INVALID_ARG;
    if (idx >= 0 && idx < NParams()) {
        std::memset(info, 0, sizeof(*info));
        const IParam* param = GetParam(idx);
        info->param_id = static_cast<v3_param_id>(idx);
        VST3CopyString(param->GetNameForHost(), info->title, 128);
        VST3CopyString(param->GetNameForHost(), info->short_title, 128);
        VST3CopyString(param->GetLabelForHost(), info->units, 128);
        info->step_count = StepCount(param);
        info->default_normalised_value = mDefaults[static_cast<size_t>(idx)];
        info->unit_id = kRootUnitID;
        info->flags = V3_PARAM_CAN_AUTOMATE;
        return V3_OK;
    }
    if (idx == NParams() && NPresets() > 0) {
        std::memset(info, 0, sizeof(*info));
        info->param_id = kProgramParamID;
        VST3CopyString("Program", info->title, 128);
        VST3CopyString("Program", info->short_title, 128);
        info->step_count = NPresets() - 1;
        info->default_normalised_value = 0.0;
        info->unit_id = kRootUnitID;
        info->flags = V3_PARAM_IS_LIST | V3_PARAM_PROGRAM_CHANGE;
        return V3_OK;
    }
    return V3_INVALID_ARG;
}

v3_result IEffectVST3::GetParameterStringForValue(v3_param_id id, double normalized, int16_t* out) {
    if (!out || std::isnan(normalized)) return V3_INVALID_ARG;
    if (id == kProgramParamID && NPresets() > 0) {
        Util_MutexLock lock(mStateMutex);
        VST3CopyString(GetPresetName(ProgramFromNormalized(normalized)), out, 128);
        return V3_OK;
    }
    const IParam* param = GetParam(ParamIndex(id));
    if (!param) return V3_INVALID_ARG;
    char display[kMaxParamDisplayLen];
    param->GetDisplayForHost(Clamp01(normalized), true, display, true);
    VST3CopyString(display, out, 128);
    return V3_OK;
}

v3_result IEffectVST3::GetParameterValueForString(v3_param_id id, int16_t* text, double* normalized) {
    if (!text || !normalized) return V3_INVALID_ARG;
    const std::string s = VST3ToUTF8(text, 128);
    if (id == kProgramParamID && NPresets() > 0) {
        Util_MutexLock lock(mStateMutex);
        for (int p = 0; p < NPresets(); ++p) {
            if (s == GetPresetName(p)) {
                *normalized = ProgramNormalized(p);
                return V3_OK;
            }
        }
        return V3_FALSE;
    }
    const IParam* param = GetParam(ParamIndex(id));
    if (!param) return V3_INVALID_ARG;
    // The rules of VST 2's effString2Parameter: a display text by name, otherwise a number.
    double plain;
    if (param->GetNDisplayTexts() > 0) {
        int mapped;
        if (!param->MapDisplayText(s.c_str(), &mapped)) return V3_FALSE;
        plain = mapped;
    } else {
        char* end = nullptr;
        plain = std::strtod(s.c_str(), &end);
        if (end == s.c_str()) return V3_FALSE;
        if (param->GetNegateDisplay()) plain = -plain;
    }
    if (std::isnan(plain)) return V3_FALSE;
    *normalized = param->GetNormalized(std::clamp(plain, param->GetMin(), param->GetMax()));
    return V3_OK;
}

double IEffectVST3::NormalizedParameterToPlain(v3_param_id id, double normalized) {
    if (std::isnan(normalized)) return 0.0;
    if (id == kProgramParamID) return ProgramFromNormalized(normalized);
    const IParam* param = GetParam(ParamIndex(id));
    return param ? param->GetNonNormalized(Clamp01(normalized)) : 0.0;
}

double IEffectVST3::PlainParameterToNormalized(v3_param_id id, double plain) {
    if (std::isnan(plain)) return 0.0;
    if (id == kProgramParamID) {
        const double last = std::max(NPresets() - 1, 0);
        return ProgramNormalized(static_cast<int>(std::lround(std::clamp(plain, 0.0, last))));
    }
    const IParam* param = GetParam(ParamIndex(id));
    return param ? param->GetNormalized(std::clamp(plain, param->GetMin(), param->GetMax())) : 0.0;
}

double IEffectVST3::GetParameterNormalized(v3_param_id id) {
    if (id == kProgramParamID) return ProgramNormalized(CurrentProgram());
    const int idx = ParamIndex(id);
    return idx >= 0 ? mMirror[static_cast<size_t>(idx)].load(std::memory_order_relaxed) : 0.0;
}

v3_result IEffectVST3::SetParameterNormalized(v3_param_id id, double normalized) {
    if (std::isnan(normalized)) return V3_INVALID_ARG;
    normalized = Clamp01(normalized);
    if (id == kProgramParamID) {
        if (NPresets() == 0) return V3_INVALID_ARG;
        {
            Util_MutexLock stateLock(mStateMutex);
            Util_MutexLock lock(mMutex);
            ApplyProgramLocked(ProgramFromNormalized(normalized));
        }
        FlushHostNotifications();
        return V3_OK;
    }
    const int idx = ParamIndex(id);
    if (idx < 0) return V3_INVALID_ARG;
    mMirror[static_cast<size_t>(idx)].store(normalized, std::memory_order_relaxed);
    // Lock-free: the controls move on the editor's thread.
    if (IEffectEditor* gui = GetGUI()) gui->SetParameterFromPlug(idx, normalized, true);
    // While active, the value reaches the effect with the host's blocks, at its place in them.
    if (!mActive.load()) {
        GetParam(idx)->SetNormalized(normalized);
        QueueParamChange(idx);
    }
    FlushHostNotifications();
    return V3_OK;
}

v3_result IEffectVST3::SetComponentHandler(v3_component_handler** handler) {
    if (handler == mHandler) return V3_OK;
    if (handler) v3_cpp_obj_ref(handler);
    if (mHandler) v3_cpp_obj_unref(mHandler);
    mHandler = handler;
    FlushHostNotifications();
    return V3_OK;
}

v3_plugin_view** IEffectVST3::CreateView(const char* name) {
    if (!name || std::strcmp(name, "editor") != 0 || !GetGUI() || mView) return nullptr;
    mView = new IEffectVST3View(this);
    return mView->ViewFace();
}

void IEffectVST3::ResizeGraphics(int w, int h) {
    (void)w;
    (void)h;
    if (mView) mView->EditorResized();
}

void IEffectVST3::ViewClosed(IEffectVST3View* view) {
    if (mView == view) mView = nullptr;
}

// ---- v3_unit_information ----

int32_t IEffectVST3::GetUnitCount() {
    return 1;
}

v3_result IEffectVST3::GetUnitInfo(int32_t idx, v3_unit_info* info) {
    if (!info || idx != 0) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof(*info));
    info->id = kRootUnitID;
    info->parent_unit_id = -1;
    VST3CopyString(GetEffectName(), info->name, 128);
    info->program_list_id = NPresets() > 0 ? kProgramListID : -1;
    return V3_OK;
}

int32_t IEffectVST3::GetProgramListCount() {
    return NPresets() > 0 ? 1 : 0;
}

v3_result IEffectVST3::GetProgramListInfo(int32_t idx, v3_program_list_info* info) {
    if (!info || idx != 0 || NPresets() == 0) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof(*info));
    info->id = kProgramListID;
    VST3CopyString("Programs", info->name, 128);
    info->programCount = NPresets();
    return V3_OK;
}

v3_result IEffectVST3::GetProgramName(int32_t listId, int32_t idx, int16_t* name) {
    if (!name || listId != kProgramListID || idx < 0 || idx >= NPresets()) return V3_INVALID_ARG;
    Util_MutexLock lock(mStateMutex);
    VST3CopyString(GetPresetName(idx), name, 128);
    return V3_OK;
}

v3_result IEffectVST3::GetProgramInfo(int32_t, int32_t, const char*, int16_t*) {
    return V3_FALSE;
}

v3_result IEffectVST3::HasProgramPitchNames(int32_t, int32_t) {
    return V3_FALSE;
}

v3_result IEffectVST3::GetProgramPitchName(int32_t, int32_t, int16_t, int16_t*) {
    return V3_FALSE;
}

int32_t IEffectVST3::GetSelectedUnit() {
    return kRootUnitID;
}

v3_result IEffectVST3::SelectUnit(int32_t unitId) {
    return unitId == kRootUnitID ? V3_OK : V3_INVALID_ARG;
}

v3_result IEffectVST3::GetUnitByBus(int32_t, int32_t, int32_t, int32_t, int32_t* unitId) {
    if (!unitId) return V3_INVALID_ARG;
    *unitId = kRootUnitID;
    return V3_OK;
}

v3_result IEffectVST3::SetUnitProgramData(int32_t, int32_t, v3_bstream**) {
    return V3_NOT_IMPLEMENTED;
}

// ---- Host notifications ----

void IEffectVST3::BeginInformHostOfParamChange(int paramIdx) {
    if (mHandler && GetParam(paramIdx))
        v3_cpp_obj(mHandler)->begin_edit(mHandler, static_cast<v3_param_id>(paramIdx));
}

void IEffectVST3::InformHostOfParamChange(int paramIdx, double normalizedValue) {
    if (!GetParam(paramIdx)) return;
    mMirror[static_cast<size_t>(paramIdx)].store(normalizedValue, std::memory_order_relaxed);
    if (mHandler)
        v3_cpp_obj(mHandler)->perform_edit(mHandler, static_cast<v3_param_id>(paramIdx), normalizedValue);
}

void IEffectVST3::EndInformHostOfParamChange(int paramIdx) {
    if (mHandler && GetParam(paramIdx))
        v3_cpp_obj(mHandler)->end_edit(mHandler, static_cast<v3_param_id>(paramIdx));
}

void IEffectVST3::InformHostOfProgramChange() {
    mPendingRestart.fetch_or(V3_RESTART_PARAM_VALUES_CHANGED);
    FlushHostNotifications();
}

void IEffectVST3::SetLatency(int samples) {
    const bool changed = samples != GetLatency();
    IEffectBase::SetLatency(samples);
    if (changed && mActive.load()) mPendingRestart.fetch_or(V3_RESTART_LATENCY_CHANGED);
}

void IEffectVST3::FlushHostNotifications() {
    if (!mHandler || OnAudioThread() || mPendingRestart.load() == 0) return;
    if (const int32_t flags = mPendingRestart.exchange(0))
        v3_cpp_obj(mHandler)->restart_component(mHandler, flags);
}
