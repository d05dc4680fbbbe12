#include "framework/clap/IEffectCLAP.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "framework/clap/ClapCalls.h"
#include "framework/plugin/IEffectCreate.h"
#include "framework/plugin/Log.h"

namespace {

// Runs call on the instance; what it throws ends as failed, never in the host.
template <class R, class Call>
R Guarded(const clap_plugin_t* plugin, R failed, Call call) {
    return ClapGuarded<IEffectCLAP>(plugin, failed, call);
}

// Channel c of the port's buffers at frame offset; a channel the port lacks reads the first one (a mono
// port on a stereo effect); null when the port has no channel at all.
template <class T>
T* Channel(T** data, uint32_t channelCount, int c, int offset) {
    if (!data || channelCount == 0) return nullptr;
    T* buf = data[static_cast<uint32_t>(c) < channelCount ? c : 0];
    return buf ? buf + offset : nullptr;
}

} // namespace

IEffectCLAP::IEffectCLAP(const IEffectInstanceInfo& info, const IEffectDescription& desc)
    : IEffectBase(desc, kAPICLAP), mHost(info.mHost), mParamRows(desc.mParams), mPrograms(desc.mPresets) {
    Trace(__func__, __LINE__, "%s", desc.mEffectName ? desc.mEffectName : "");
    std::memset(&mPlugin, 0, sizeof(mPlugin));
    mPlugin.plugin_data = this;
    mPlugin.init = Init;
    mPlugin.destroy = Destroy;
    mPlugin.activate = Activate;
    mPlugin.deactivate = Deactivate;
    mPlugin.start_processing = StartProcessing;
    mPlugin.stop_processing = StopProcessing;
    mPlugin.reset = ResetPlugin;
    mPlugin.process = ProcessPlugin;
    mPlugin.get_extension = GetExtension;
    mPlugin.on_main_thread = OnMainThread;
    if (mPrograms.size() > static_cast<size_t>(NPresets())) mPrograms = mPrograms.first(NPresets());

    SetInputChannelConnections(0, NInChannels(), true);
    SetOutputChannelConnections(0, NOutChannels(), true);
    SetBlockSize(kDefaultBlockSize);
    mPieceInF.Resize(NInChannels());
    mPieceOutF.Resize(NOutChannels());
    mPieceInD.Resize(NInChannels());
    mPieceOutD.Resize(NOutChannels());
    mToldLatency = GetLatency();
}

IEffectCLAP::~IEffectCLAP() {
    mEditorDriver.Destroy();
}

const clap_plugin_t* CLAPCreateInstance(const IEffectDescription& desc,
                                        const clap_plugin_descriptor_t* descriptor,
                                        IEffectCLAP* (*factory)(const IEffectInstanceInfo&),
                                        const clap_host_t* host, const char* pluginId) {
    if (!host || !clap_version_is_compatible(host->clap_version) || !pluginId || !desc.mCLAPId ||
        std::strcmp(pluginId, desc.mCLAPId) != 0)
        return nullptr;
    IEffectInstanceInfo info;
    info.mHost = host;
    IEffectCLAP* plug = IEffectCreateInstance(factory, info, [descriptor](IEffectCLAP& p) {
        Util_MutexLock plugLock(p.GetStateMutex());
        p.EnsureDefaultPreset();
        p.SetClapDescriptor(descriptor);
    });
    return plug ? plug->GetClapPlugin() : nullptr;
}

// ---- Lifecycle (main thread) ----

bool IEffectCLAP::Init(const clap_plugin_t* plugin) {
    return Guarded(plugin, false, [](IEffectCLAP& p) { return p.InitInstance(); });
}

bool IEffectCLAP::InitInstance() {
    Trace(__func__, __LINE__, "%s", mHost && mHost->name ? mHost->name : "");
    mHostParams = ClapHostExtension<clap_host_params_t>(mHost, CLAP_EXT_PARAMS);
    mHostLatency = ClapHostExtension<clap_host_latency_t>(mHost, CLAP_EXT_LATENCY);
    mThreadCheck = ClapHostExtension<clap_host_thread_check_t>(mHost, CLAP_EXT_THREAD_CHECK);
    if (mThreadCheck && !mThreadCheck->is_main_thread) mThreadCheck = nullptr;
    mEditorDriver.SetHost(mHost);
    if (mHost && mHost->name) SetHost(mHost->name, 0);
    // What a VST 2 host's effOpen does: every parameter mapped.
    Util_MutexLock lock(mStateMutex);
    OnParamReset();
    mToldLatency = GetLatency();
    return true;
}

void IEffectCLAP::Destroy(const clap_plugin_t* plugin) {
    Guarded(plugin, 0, [](IEffectCLAP& p) {
        delete &p;
        return 0;
    });
}

bool IEffectCLAP::Activate(const clap_plugin_t* plugin, double sampleRate, uint32_t minFrames,
                           uint32_t maxFrames) {
    (void)minFrames;
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.ActivateInstance(sampleRate, maxFrames); });
}

bool IEffectCLAP::ActivateInstance(double sampleRate, uint32_t maxFrames) {
    Trace(__func__, __LINE__, "rate %f frames %u", sampleRate, maxFrames);
    {
        Util_MutexLock lock(mStateMutex);
        // A rate the effect was not made for is refused rather than processed wrongly.
        if (!SetSampleRate(sampleRate)) return false;
        Reset();
        const uint32_t frames = maxFrames > 0 ? maxFrames : static_cast<uint32_t>(kDefaultBlockSize);
        SetBlockSize(static_cast<int>(std::min<uint32_t>(frames, kMaxBlockSize)));
        Reset();
        OnActivate(true);
        mRestartWanted = false;
        mToldLatency = GetLatency();
        mActive = true;
    }
    return true;
}

void IEffectCLAP::Deactivate(const clap_plugin_t* plugin) {
    Guarded(plugin, 0, [](IEffectCLAP& p) {
        p.DeactivateInstance();
        return 0;
    });
}

void IEffectCLAP::DeactivateInstance() {
    {
        Util_MutexLock lock(mStateMutex);
        mActive = false;
        mRestartWanted = false;
        OnActivate(false);
        Reset();
    }
    // Inactive now: a latency the host has not heard of is reported as a change.
    FlushHostNotifications();
}

bool IEffectCLAP::StartProcessing(const clap_plugin_t* plugin) {
    return plugin && plugin->plugin_data;
}

void IEffectCLAP::StopProcessing(const clap_plugin_t* plugin) {
    (void)plugin;
}

void IEffectCLAP::ResetPlugin(const clap_plugin_t* plugin) {
    // The audio thread: the signal path starts afresh, as after a resume.
    Guarded(plugin, 0, [](IEffectCLAP& p) {
        Util_MutexLock lock(p.mMutex);
        p.OnActivate(true);
        return 0;
    });
}

void IEffectCLAP::OnMainThread(const clap_plugin_t* plugin) {
    Guarded(plugin, 0, [](IEffectCLAP& p) {
        p.mCallbackAsked = false;
        p.FlushHostNotifications();
        return 0;
    });
}

// ---- Audio (the audio thread) ----

clap_process_status IEffectCLAP::ProcessPlugin(const clap_plugin_t* plugin, const clap_process_t* process) {
    return Guarded(plugin, static_cast<clap_process_status>(CLAP_PROCESS_ERROR),
                   [&](IEffectCLAP& p) { return p.Process(process); });
}

clap_process_status IEffectCLAP::Process(const clap_process_t* process) {
    if (!process) return CLAP_PROCESS_ERROR;
    SendOutbox(process->out_events);
    const int nFrames = static_cast<int>(std::min<uint32_t>(process->frames_count, INT_MAX));
    const clap_input_events_t* in = process->in_events;
    const uint32_t nEvents = in && in->size && in->get ? in->size(in) : 0;
    {
        Util_MutexLock lock(mMutex);
        ApplyQueuedParamChanges();
        // Each event takes effect at its own frame: the frames before it are processed first.
        int done = 0;
        for (uint32_t i = 0; i < nEvents; ++i) {
            const clap_event_header_t* ev = in->get(in, i);
            if (!ev) continue;
            const int at = static_cast<int>(std::clamp<int64_t>(ev->time, done, nFrames));
            RunFrames(process, done, at - done);
            done = at;
            ApplyEvent(ev, process->out_events);
        }
        RunFrames(process, done, nFrames - done);
    }
    if (mRestartWanted.load()) AskForMainThread();
    return CLAP_PROCESS_CONTINUE;
}

void IEffectCLAP::RunFrames(const clap_process_t* process, int offset, int nFrames) {
    if (nFrames <= 0) return;
    const clap_audio_buffer_t* in = process->audio_inputs_count > 0 ? process->audio_inputs : nullptr;
    clap_audio_buffer_t* out = process->audio_outputs_count > 0 ? process->audio_outputs : nullptr;
    if (out) out->constant_mask = 0;
    // 64 bits when the host gives the output in 64 bits (the input then comes the same way).
    const bool wide = out && out->data64;
    const int blockSize = std::max(GetBlockSize(), 1);
    for (int done = 0; done < nFrames;) {
        const int n = std::min(blockSize, nFrames - done);
        const int at = offset + done;
        if (wide) {
            for (int c = 0; c < NInChannels(); ++c) {
                double* buf = in ? Channel(in->data64, in->channel_count, c, at) : nullptr;
                // A missing input reads its scratch buffer, which a 32-bit block may have filled: silence.
                if (!buf) mInChannels.Get(c)->mScratchBuf.Clear();
                mPieceInD.Get()[c] = buf;
            }
            for (int c = 0; c < NOutChannels(); ++c)
                mPieceOutD.Get()[c] = static_cast<uint32_t>(c) < out->channel_count && out->data64[c]
                                          ? out->data64[c] + at
                                          : nullptr;
            AttachInputBuffers(0, NInChannels(), mPieceInD.Get(), n);
            AttachOutputBuffers(0, NOutChannels(), mPieceOutD.Get());
            ProcessBuffers(0.0, n);
        } else {
            for (int c = 0; c < NInChannels(); ++c)
                mPieceInF.Get()[c] = in ? Channel(in->data32, in->channel_count, c, at) : nullptr;
            for (int c = 0; c < NOutChannels(); ++c)
                mPieceOutF.Get()[c] =
                    out && out->data32 && static_cast<uint32_t>(c) < out->channel_count && out->data32[c]
                        ? out->data32[c] + at
                        : nullptr;
            AttachInputBuffers(0, NInChannels(), mPieceInF.Get(), n);
            AttachOutputBuffers(0, NOutChannels(), mPieceOutF.Get());
            ProcessBuffers(0.0f, n);
        }
        done += n;
    }
}

// ---- Latency ----

void IEffectCLAP::SetLatency(int samples) {
    IEffectBase::SetLatency(samples);
    if (mActive.load() && samples != mToldLatency.load()) mRestartWanted = true;
}

bool IEffectCLAP::IsMainThread() const {
    return !mThreadCheck || mThreadCheck->is_main_thread(mHost);
}

void IEffectCLAP::AskForMainThread() {
    if (!mCallbackAsked.exchange(true) && mHost && mHost->request_callback) mHost->request_callback(mHost);
}

void IEffectCLAP::ResizeGraphics(int w, int h) {
    (void)w;
    (void)h;
    mEditorDriver.EditorResized();
}

void IEffectCLAP::FlushHostNotifications() {
    if (!IsMainThread()) {
        if (mRestartWanted.load() || GetLatency() != mToldLatency.load()) AskForMainThread();
        return;
    }
    if (mActive.load()) {
        if (mRestartWanted.exchange(false) && mHost && mHost->request_restart) mHost->request_restart(mHost);
        return;
    }
    const int latency = GetLatency();
    if (latency == mToldLatency.exchange(latency)) return;
    if (mHostLatency && mHostLatency->changed) mHostLatency->changed(mHost);
}
