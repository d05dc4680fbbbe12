#include "framework/lv2/IEffectLV2.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include "framework/plugin/IEffectCreate.h"
#include "framework/plugin/Log.h"

namespace {

IEffectLV2* FromHandle(LV2_Handle instance) {
    return static_cast<IEffectLV2*>(instance);
}

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (; *features; ++features)
        if ((*features)->URI && !std::strcmp((*features)->URI, uri)) return (*features)->data;
    return nullptr;
}

LV2_URID Map(const LV2_URID_Map* map, const char* uri) {
    return map && map->map ? map->map(map->handle, uri) : 0;
}

// The host's block length from the buf-size options: the largest block when given, else the nominal
// one; 0 when the host tells neither.
int HostBlockLength(const LV2_URID_Map* map, const LV2_Options_Option* options) {
    if (!map || !options) return 0;
    const LV2_URID atomInt = Map(map, LV2_ATOM__Int);
    const LV2_URID keys[2] = {Map(map, LV2_BUF_SIZE__maxBlockLength),
                              Map(map, LV2_BUF_SIZE__nominalBlockLength)};
    for (LV2_URID key : keys) {
        for (const LV2_Options_Option* o = options; o->key || o->value; ++o) {
            if (!key || o->key != key || o->context != LV2_OPTIONS_INSTANCE || o->type != atomInt ||
                o->size != sizeof(int32_t) || !o->value)
                continue;
            int32_t n;
            std::memcpy(&n, o->value, sizeof(n));
            if (n > 0) return n;
        }
    }
    return 0;
}

uint32_t FloatBits(float v) {
    return std::bit_cast<uint32_t>(v);
}

const LV2_State_Interface kStateInterface = {IEffectLV2::SaveState, IEffectLV2::RestoreState};

// A state function on the instance; no exception reaches the host.
template <class Call>
LV2_State_Status CallState(LV2_Handle instance, Call call) {
    IEffectLV2* plug = FromHandle(instance);
    if (!plug) return LV2_STATE_ERR_UNKNOWN;
    try {
        return call(*plug);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

} // namespace

IEffectLV2::IEffectLV2(const IEffectInstanceInfo& info, const IEffectDescription& desc)
    : IEffectBase(desc, kAPILV2), mLayout(LV2PortLayout::Of(desc)) {
    Trace(__func__, __LINE__, "%s", desc.mEffectName ? desc.mEffectName : "");
    const LV2_URID_Map* map = static_cast<const LV2_URID_Map*>(FindFeature(info.mFeatures, LV2_URID__map));
    const LV2_Options_Option* options =
        static_cast<const LV2_Options_Option*>(FindFeature(info.mFeatures, LV2_OPTIONS__options));
    if (map) {
        mChunkType = Map(map, LV2_ATOM__Chunk);
        mStateKey = Map(map, (std::string(desc.mURI ? desc.mURI : "") + "#state").c_str());
    }

    mAudioIn.Resize(NInChannels());
    mPieceIn.Resize(NInChannels());
    mAudioOut.Resize(NOutChannels());
    mPieceOut.Resize(NOutChannels());
    mControlIn.Resize(NParams());
    mLastControlBits.Resize(NParams());
    RememberParamsAsControls();

    SetInputChannelConnections(0, NInChannels(), true);
    SetOutputChannelConnections(0, NOutChannels(), true);
    const int hostBlock = HostBlockLength(map, options);
    SetBlockSize(hostBlock > 0 ? std::min(hostBlock, kMaxBlockSize) : kDefaultBlockSize);
}

IEffectLV2::~IEffectLV2() = default;

LV2_Descriptor IEffectLV2::MakeDescriptor(const char* uri,
                                          LV2_Handle (*instantiate)(const LV2_Descriptor*, double,
                                                                    const char*, const LV2_Feature* const*)) {
    return LV2_Descriptor{uri, instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData};
}

LV2_Handle LV2CreateInstance(const IEffectDescription& desc,
                             IEffectLV2* (*factory)(const IEffectInstanceInfo&), double sampleRate,
                             const char* bundlePath, const LV2_Feature* const* features) {
    // A rate the effect was not made for (or no rate at all) is refused rather than processed wrongly.
    if (!std::isfinite(sampleRate) || !desc.ServesSampleRate(sampleRate)) return nullptr;
    IEffectInstanceInfo info;
    info.mBundlePath = bundlePath;
    info.mFeatures = features;
    return IEffectCreateInstance(factory, info, [sampleRate](IEffectLV2& plug) {
        Util_MutexLock plugLock(plug.GetStateMutex());
        // What a VST 2 host does after creating an instance, in its order, so the effect sees the same
        // sequence from either binding: free slots filled, open (every parameter mapped), sample rate,
        // block size (once more now that the object is complete, so the effect's own per-block buffers
        // follow).
        plug.EnsureDefaultPreset();
        plug.OnParamReset();
        Trace("LV2CreateInstance", __LINE__, "rate %f", sampleRate);
        plug.SetSampleRate(sampleRate);
        plug.Reset();
        plug.SetBlockSize(plug.GetBlockSize());
        plug.Reset();
    });
}

// ---- Ports ----

void IEffectLV2::ConnectPort(LV2_Handle instance, uint32_t port, void* data) {
    if (IEffectLV2* plug = FromHandle(instance)) plug->Connect(port, data);
}

void IEffectLV2::Connect(uint32_t port, void* data) {
    const LV2PortLayout::Port p = mLayout.At(port);
    switch (p.mKind) {
    case LV2PortLayout::kAudioIn:
        mAudioIn.Get()[p.mIndex] = static_cast<float*>(data);
        break;
    case LV2PortLayout::kAudioOut:
        mAudioOut.Get()[p.mIndex] = static_cast<float*>(data);
        break;
    case LV2PortLayout::kControlIn:
        mControlIn.Get()[p.mIndex] = static_cast<const float*>(data);
        break;
    case LV2PortLayout::kLatencyOut:
        mLatencyOut = static_cast<float*>(data);
        break;
    case LV2PortLayout::kNoPort:
        break;
    }
}

// ---- Activation ----

void IEffectLV2::Activate(LV2_Handle instance) {
    IEffectLV2* plug = FromHandle(instance);
    if (!plug) return;
    try {
        plug->OnActivate(true);
    } catch (...) {}
}

void IEffectLV2::Deactivate(LV2_Handle instance) {
    IEffectLV2* plug = FromHandle(instance);
    if (!plug) return;
    try {
        plug->OnActivate(false);
        plug->Reset();
    } catch (...) {}
}

void IEffectLV2::Cleanup(LV2_Handle instance) {
    delete FromHandle(instance);
}

const void* IEffectLV2::ExtensionData(const char* uri) {
    if (uri && !std::strcmp(uri, LV2_STATE__interface)) return &kStateInterface;
    return nullptr;
}

// ---- Audio ----

void IEffectLV2::Run(LV2_Handle instance, uint32_t nFrames) {
    IEffectLV2* plug = FromHandle(instance);
    if (!plug) return;
    try {
        plug->RunBlock(static_cast<int>(std::min<uint32_t>(nFrames, INT_MAX)));
    } catch (...) {}
}

void IEffectLV2::RunBlock(int nFrames) {
    Util_MutexLock lock(mMutex);
    ApplyQueuedParamChanges();
    MapChangedControls();
    float** in = mPieceIn.Get();
    float** out = mPieceOut.Get();
    const int blockSize = std::max(GetBlockSize(), 1);
    for (int done = 0; done < nFrames;) {
        const int n = std::min(blockSize, nFrames - done);
        for (int c = 0; c < NInChannels(); ++c) {
            float* buf = mAudioIn.Get()[c];
            // An input left unconnected after the first (a mono track) hears the first input.
            if (!buf && c > 0) buf = mAudioIn.Get()[0];
            in[c] = buf ? buf + done : nullptr;
        }
        for (int c = 0; c < NOutChannels(); ++c) {
            float* buf = mAudioOut.Get()[c];
            out[c] = buf ? buf + done : nullptr;
        }
        AttachInputBuffers(0, NInChannels(), in, n);
        AttachOutputBuffers(0, NOutChannels(), out);
        ProcessBuffers(0.0f, n);
        done += n;
    }
    if (mLatencyOut) *mLatencyOut = static_cast<float>(GetLatency());
}

void IEffectLV2::MapChangedControls() {
    for (int i = 0; i < NParams(); ++i) {
        const float* port = mControlIn.Get()[i];
        if (!port) continue;
        const float v = *port;
        const uint32_t bits = FloatBits(v);
        if (bits == mLastControlBits.Get()[i]) continue;
        mLastControlBits.Get()[i] = bits;
        // NaN is no value and changes nothing; anything else is held to the parameter's range.
        if (std::isnan(v)) continue;
        IParam* param = GetParam(i);
        if (param->Type() == IParam::kTypeDouble)
            param->Set(static_cast<double>(v));
        else
            param->SetNormalized(param->GetNormalized(static_cast<double>(v))); // onto the step grid
        OnParamChange(i);
    }
}

void IEffectLV2::RememberParamsAsControls() {
    for (int i = 0; i < NParams(); ++i)
        mLastControlBits.Get()[i] = FloatBits(static_cast<float>(GetParam(i)->Value()));
}

// ---- State ----

LV2_State_Status IEffectLV2::SaveState(LV2_Handle instance, LV2_State_Store_Function store,
                                       LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    return CallState(instance, [&](IEffectLV2& plug) { return plug.Save(store, handle); });
}

LV2_State_Status IEffectLV2::RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                                          LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    return CallState(instance, [&](IEffectLV2& plug) { return plug.Restore(retrieve, handle); });
}

LV2_State_Status IEffectLV2::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    Trace(__func__, __LINE__, "save");
    if (!store) return LV2_STATE_ERR_UNKNOWN;
    if (!mStateKey || !mChunkType) return LV2_STATE_ERR_NO_FEATURE;
    ByteChunk chunk;
    InitChunkWithFrameworkVer(&chunk);
    // The values are read from the parameters' atomics: run never waits for a save, and the host's store
    // runs with no lock held.
    if (!SerializeParams(&chunk)) return LV2_STATE_ERR_UNKNOWN;
    return store(handle, mStateKey, chunk.GetBytes(), static_cast<size_t>(chunk.Size()), mChunkType,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IEffectLV2::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    Trace(__func__, __LINE__, "restore");
    if (!retrieve) return LV2_STATE_ERR_UNKNOWN;
    if (!mStateKey || !mChunkType) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0, valueFlags = 0;
    const void* data = retrieve(handle, mStateKey, &size, &type, &valueFlags);
    // Without the property the control ports, which the host restores too, keep the values.
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != mChunkType) return LV2_STATE_ERR_BAD_TYPE;
    // Exactly the framework header and one value per parameter, each finite and in range: anything
    // else is damaged or was not written by this plug-in, and changes nothing.
    std::vector<double> values(static_cast<size_t>(NParams()));
    if (!ReadProgramChunk(data, size, values.data())) return LV2_STATE_ERR_UNKNOWN;
    {
        // Parsed and checked: handed over in one short hold of the plug-in mutex.
        Util_MutexLock lock(mMutex);
        for (int i = 0; i < NParams(); ++i) GetParam(i)->Set(values[static_cast<size_t>(i)]);
        OnParamReset();
        // Control values equal to the restored ones (in single precision) are no change, so the state's
        // exact values stay until the host moves a control.
        RememberParamsAsControls();
    }
    RedrawParamControls();
    return LV2_STATE_SUCCESS;
}
