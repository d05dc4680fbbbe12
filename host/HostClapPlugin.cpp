#include "host/HostClapPlugin.h"

#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/HostAllocWatch.h"
#include "host/HostNames.h"
#include "host/HostText.h"

namespace {

// An input event list over a vector of value events.
struct InList {
    const std::vector<clap_event_param_value_t>* events;
    clap_input_events_t list;
    explicit InList(const std::vector<clap_event_param_value_t>* e) : events(e) {
        list.ctx = this;
        list.size = [](const clap_input_events_t* l) {
            return static_cast<uint32_t>(static_cast<const InList*>(l->ctx)->events->size());
        };
        list.get = [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
            const auto* evs = static_cast<const InList*>(l->ctx)->events;
            return i < evs->size() ? &(*evs)[i].header : nullptr;
        };
    }
};

// An output list that takes everything and keeps nothing: an offline render records no automation.
const clap_output_events_t kDiscard = {
    nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};

clap_event_param_value_t ValueEvent(clap_id id, double value, uint32_t time) {
    clap_event_param_value_t ev{};
    ev.header = {sizeof(ev), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    ev.param_id = id;
    ev.note_id = -1;
    ev.port_index = ev.channel = ev.key = -1;
    ev.value = value;
    return ev;
}

} // namespace

std::unique_ptr<HostClapPlugin> HostClapPlugin::Load(const std::string& path, std::string& err,
                                                     const std::string& pluginId) {
    std::unique_ptr<HostClapPlugin> p(new HostClapPlugin);
    p->mPath = path;
    p->mMainThread = std::this_thread::get_id();
    p->mAudioThread = p->mMainThread;
    p->mLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!p->mLibrary) {
        const char* why = dlerror();
        err = HostFormat("cannot load '%s': %s", path.c_str(), why ? why : "unknown error");
        return nullptr;
    }
    p->mEntry = reinterpret_cast<const clap_plugin_entry_t*>(dlsym(p->mLibrary, "clap_entry"));
    if (!p->mEntry || !p->mEntry->init || !p->mEntry->get_factory) {
        err = HostFormat("'%s' is not a CLAP plug-in (no clap_entry)", path.c_str());
        return nullptr;
    }
    if (!clap_version_is_compatible(p->mEntry->clap_version)) {
        err = HostFormat("'%s' is made for CLAP %u.%u, which this host does not speak", path.c_str(),
                         p->mEntry->clap_version.major, p->mEntry->clap_version.minor);
        return nullptr;
    }
    if (!(p->mEntryInitialised = p->mEntry->init(path.c_str()))) {
        err = HostFormat("'%s' refused to initialise", path.c_str());
        return nullptr;
    }
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(p->mEntry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    const uint32_t count = factory && factory->get_plugin_count ? factory->get_plugin_count(factory) : 0;
    std::string id = pluginId;
    for (uint32_t i = 0; i < count && id.empty(); ++i) {
        const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, i);
        if (d && d->id) id = d->id;
    }
    if (id.empty()) {
        err = HostFormat("'%s' offers no plug-in", path.c_str());
        return nullptr;
    }
    p->mHost.clap_version = CLAP_VERSION;
    p->mHost.host_data = p.get();
    p->mHost.name = kHostName;
    p->mHost.vendor = "Tidebloom";
    p->mHost.url = "";
    p->mHost.version = "1.0.0";
    p->mHost.get_extension = GetExtension;
    p->mHost.request_restart = [](const clap_host_t* h) { From(h)->mRestartWanted = true; };
    p->mHost.request_process = [](const clap_host_t*) {};
    p->mHost.request_callback = [](const clap_host_t* h) { From(h)->mCallbackWanted = true; };
    p->mPlugin = factory->create_plugin(factory, &p->mHost, id.c_str());
    if (!p->mPlugin) {
        err = HostFormat("'%s' did not make its plug-in '%s'", path.c_str(), id.c_str());
        return nullptr;
    }
    if (!p->mPlugin->init(p->mPlugin)) {
        p->mPlugin->destroy(p->mPlugin);
        p->mPlugin = nullptr;
        err = HostFormat("the plug-in '%s' failed to initialise", id.c_str());
        return nullptr;
    }
    // Every port; the first of each direction is the main one.
    uint32_t channels = 0;
    if (const auto* ports = p->Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS)) {
        for (bool input : {true, false}) {
            const uint32_t n = std::min<uint32_t>(ports->count(p->mPlugin, input), kHostMaxPins);
            for (uint32_t k = 0; k < n; ++k) {
                clap_audio_port_info_t info{};
                if (!ports->get(p->mPlugin, k, input, &info)) info.channel_count = 0;
                const uint32_t c = std::min<uint32_t>(info.channel_count, kHostMaxPins);
                (input ? p->mInPorts : p->mOutPorts).push_back(c);
                channels += c;
                if (k == 0) (input ? p->mInputFlags : p->mOutputFlags) = info.flags;
            }
        }
    }
    p->mInputs = p->mInPorts.empty() ? 0 : static_cast<int>(p->mInPorts[0]);
    p->mOutputs = p->mOutPorts.empty() ? 0 : static_cast<int>(p->mOutPorts[0]);
    if (p->mOutputs < 1 || channels > 4 * kHostMaxPins) {
        err = HostFormat("the plug-in has %d inputs and %d outputs", p->mInputs, p->mOutputs);
        return nullptr;
    }
    return p;
}

HostClapPlugin::~HostClapPlugin() {
    if (mPlugin) {
        CloseEditor();
        Suspend();
        mPlugin->destroy(mPlugin);
    }
    if (mEntryInitialised && mEntry->deinit) mEntry->deinit();
    if (mLibrary) dlclose(mLibrary);
}

const void* HostClapPlugin::GetExtension(const clap_host_t*, const char* id) {
    static const clap_host_params_t params = {[](const clap_host_t*, clap_param_rescan_flags) {},
                                              [](const clap_host_t*, clap_id, clap_param_clear_flags) {},
                                              [](const clap_host_t*) {}};
    static const clap_host_latency_t latency = {[](const clap_host_t*) {}};
    static const clap_host_gui_t gui = {
        [](const clap_host_t*) {}, [](const clap_host_t*, uint32_t, uint32_t) { return false; },
        [](const clap_host_t*) { return false; }, [](const clap_host_t*) { return false; },
        [](const clap_host_t*, bool) {}};
    static const clap_host_timer_support_t timers = {
        [](const clap_host_t* h, uint32_t period, clap_id* timerId) {
            HostClapPlugin* self = From(h);
            *timerId = self->mNextTimer++;
            self->mTimers[*timerId] = period;
            return true;
        },
        [](const clap_host_t* h, clap_id timerId) { return From(h)->mTimers.erase(timerId) == 1; }};
    static const ClapHostPosixFdSupport fds = {
        [](const clap_host_t* h, int fd, uint32_t) { return From(h)->mFds.insert(fd).second; },
        [](const clap_host_t* h, int fd, uint32_t) { return From(h)->mFds.count(fd) == 1; },
        [](const clap_host_t* h, int fd) { return From(h)->mFds.erase(fd) == 1; }};
    if (!id) return nullptr;
    if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &params;
    if (!std::strcmp(id, CLAP_EXT_LATENCY)) return &latency;
    if (!std::strcmp(id, CLAP_EXT_GUI)) return &gui;
    if (!std::strcmp(id, CLAP_EXT_TIMER_SUPPORT)) return &timers;
    if (!std::strcmp(id, kClapExtPosixFdSupport)) return &fds;
    return nullptr;
}

void HostClapPlugin::Serve() {
    if (std::this_thread::get_id() != mMainThread) return;
    if (mCallbackWanted) {
        mCallbackWanted = false;
        mPlugin->on_main_thread(mPlugin);
    }
    if (mRestartWanted && mActive && mAudioThread.load() == mMainThread) {
        // The plug-in's latency (or ports) changed while active: it is started again.
        mRestartWanted = false;
        const bool processing = mProcessing;
        Suspend();
        Resume();
        if (!processing) Suspend();
    }
}

std::string HostClapPlugin::EffectName() {
    return mPlugin->desc && mPlugin->desc->name
               ? HostCleanText(mPlugin->desc->name, std::strlen(mPlugin->desc->name) + 1)
               : "";
}

// ---- Parameters ----

int HostClapPlugin::NumParams() {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    return params ? static_cast<int>(params->count(mPlugin)) : 0;
}

bool HostClapPlugin::ParamInfo(int index, clap_param_info_t& info) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    std::memset(&info, 0, sizeof(info));
    return params && index >= 0 && params->get_info(mPlugin, static_cast<uint32_t>(index), &info);
}

double HostClapPlugin::ParamValue(clap_id id) {
    {
        std::lock_guard<std::mutex> lock(mPendingLock);
        for (auto it = mPending.rbegin(); it != mPending.rend(); ++it)
            if (it->param_id == id) return it->value;
    }
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    double v = 0.0;
    return params && params->get_value(mPlugin, id, &v) ? v : 0.0;
}

std::string HostClapPlugin::ParamText(clap_id id, double value) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    char buf[CLAP_NAME_SIZE] = {};
    if (!params || !params->value_to_text(mPlugin, id, value, buf, sizeof(buf))) return "";
    buf[sizeof(buf) - 1] = '\0';
    return HostCleanText(buf, sizeof(buf));
}

bool HostClapPlugin::ParamFromText(clap_id id, const std::string& text, double& value) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    return params && params->text_to_value && params->text_to_value(mPlugin, id, text.c_str(), &value);
}

void HostClapPlugin::SetParam(clap_id id, double value) {
    if (mActive) {
        std::lock_guard<std::mutex> lock(mPendingLock);
        mPending.push_back(ValueEvent(id, value, 0));
        return;
    }
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    if (!params) return;
    std::vector<clap_event_param_value_t> one = {ValueEvent(id, value, 0)};
    InList in(&one);
    params->flush(mPlugin, &in.list, &kDiscard);
    Serve();
}

std::vector<std::string> HostClapPlugin::ParamNames() {
    std::vector<std::string> names;
    clap_param_info_t info;
    for (int i = 0, n = NumParams(); i < n; ++i) names.push_back(ParamInfo(i, info) ? info.name : "");
    return names;
}

bool HostClapPlugin::SetParamFromText(int index, const std::string& text, std::string& err) {
    clap_param_info_t info;
    if (!ParamInfo(index, info)) return false;
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    double value = 0.0;
    // The plug-in's own reading of the text first, then a plain value in the parameter's range.
    bool ok = params->text_to_value && params->text_to_value(mPlugin, info.id, text.c_str(), &value);
    if (!ok && HostParseDouble(text, value)) ok = value >= info.min_value && value <= info.max_value;
    if (!ok || std::isnan(value)) {
        err = HostFormat("parameter '%s' takes no value '%s' (a value from %g to %g, or a text it reads)",
                         info.name, text.c_str(), info.min_value, info.max_value);
        return false;
    }
    SetParam(info.id, value);
    return true;
}

int HostClapPlugin::ProgramParam() {
    clap_param_info_t info;
    for (int i = 0, n = NumParams(); i < n; ++i)
        if (ParamInfo(i, info) && !std::strcmp(info.name, "Program") && (info.flags & CLAP_PARAM_IS_STEPPED))
            return i;
    return -1;
}

std::string HostClapPlugin::ProgramName() {
    clap_param_info_t info;
    const int p = ProgramParam();
    if (p < 0 || !ParamInfo(p, info)) return "";
    return ParamText(info.id, ParamValue(info.id));
}

bool HostClapPlugin::ApplyProgramAndValues(const std::string& program,
                                           const std::vector<std::string>& assignments, std::string& err) {
    if (!program.empty()) {
        const int p = ProgramParam();
        if (p < 0) {
            err = HostFormat("unknown program '%s' (the plug-in has no programs)", program.c_str());
            return false;
        }
        clap_param_info_t info;
        ParamInfo(p, info);
        const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
        double value = 0.0;
        long long number = 0;
        if (HostParseInt(program, static_cast<long long>(info.min_value),
                         static_cast<long long>(info.max_value), number))
            value = static_cast<double>(number);
        else if (!params->text_to_value(mPlugin, info.id, program.c_str(), &value)) {
            err = HostFormat("unknown program '%s'", program.c_str());
            return false;
        }
        SetParam(info.id, value);
    }
    return HostApplyAssignments(
        ParamNames(), assignments,
        [this](int index, const std::string& value, std::string& e) {
            return SetParamFromText(index, value, e);
        },
        err);
}

// ---- Audio ----

int HostClapPlugin::Latency() {
    Serve();
    const auto* latency = Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    return latency ? static_cast<int>(std::min<uint32_t>(latency->get(mPlugin), 1u << 30)) : 0;
}

std::string HostClapPlugin::CannotProcess(bool doublePrecision) {
    if (doublePrecision && !((mOutputFlags & CLAP_AUDIO_PORT_SUPPORTS_64BITS) &&
                             (mInputs == 0 || (mInputFlags & CLAP_AUDIO_PORT_SUPPORTS_64BITS))))
        return "the plug-in does not process double precision";
    return "";
}

std::string HostClapPlugin::Configure(int sampleRate, int maxBlock, bool doublePrecision) {
    (void)doublePrecision; // chosen per block by the buffers handed over
    mSampleRate = sampleRate;
    mMaxBlock = std::max(maxBlock, 1);
    // One spare buffer per channel of the ports other than the main ones.
    size_t spare = 0;
    for (size_t k = 1; k < mInPorts.size(); ++k) spare += mInPorts[k];
    for (size_t k = 1; k < mOutPorts.size(); ++k) spare += mOutPorts[k];
    mSpare32.assign(spare, std::vector<float>(static_cast<size_t>(mMaxBlock)));
    mSpare64.assign(spare, std::vector<double>(static_cast<size_t>(mMaxBlock)));
    mSparePtr32.clear();
    mSparePtr64.clear();
    for (size_t k = 0; k < spare; ++k) {
        mSparePtr32.push_back(mSpare32[k].data());
        mSparePtr64.push_back(mSpare64[k].data());
    }
    return ""; // the plug-in answers at activation
}

template <class T>
void HostClapPlugin::FillPorts(T** mainIn, T** mainOut, std::vector<clap_audio_buffer_t>& ins,
                               std::vector<clap_audio_buffer_t>& outs) {
    T** spare = nullptr;
    if constexpr (sizeof(T) == sizeof(double)) {
        spare = mSparePtr64.data();
        for (auto& ch : mSpare64) std::fill(ch.begin(), ch.end(), 0.0);
    } else {
        spare = mSparePtr32.data();
        for (auto& ch : mSpare32) std::fill(ch.begin(), ch.end(), 0.0f);
    }
    auto fill = [&spare](const std::vector<uint32_t>& ports, T** main,
                         std::vector<clap_audio_buffer_t>& out) {
        for (size_t k = 0; k < ports.size(); ++k) {
            clap_audio_buffer_t b{};
            b.channel_count = ports[k];
            T** data = k == 0 ? main : spare;
            if (k > 0) spare += ports[k];
            if constexpr (sizeof(T) == sizeof(double))
                b.data64 = data;
            else
                b.data32 = data;
            out.push_back(b);
        }
    };
    ins.clear();
    outs.clear();
    fill(mInPorts, mainIn, ins);
    fill(mOutPorts, mainOut, outs);
}

std::string HostClapPlugin::Resume() {
    if (!mActive) mActive = mPlugin->activate(mPlugin, mSampleRate, 1, static_cast<uint32_t>(mMaxBlock));
    if (!mActive)
        return HostFormat("the plug-in refused to activate at %g Hz with blocks of up to %d frames",
                          mSampleRate, mMaxBlock);
    if (!mProcessing) mProcessing = mPlugin->start_processing(mPlugin);
    return mProcessing ? "" : "the plug-in refused to start processing";
}

void HostClapPlugin::Suspend() {
    if (mProcessing) mPlugin->stop_processing(mPlugin);
    mProcessing = false;
    if (mActive) mPlugin->deactivate(mPlugin);
    mActive = false;
    // Values queued for a block that will not come are flushed now.
    std::vector<clap_event_param_value_t> pending;
    {
        std::lock_guard<std::mutex> lock(mPendingLock);
        pending.swap(mPending);
    }
    if (!pending.empty()) {
        if (const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)) {
            InList in(&pending);
            params->flush(mPlugin, &in.list, &kDiscard);
        }
    }
}

void HostClapPlugin::Process(std::vector<clap_audio_buffer_t>& in, std::vector<clap_audio_buffer_t>& out,
                             int frames) {
    if (!mProcessing) return;
    mAudioThread = std::this_thread::get_id();
    clap_event_transport_t transport{};
    transport.header = {sizeof(transport), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
                      CLAP_TRANSPORT_HAS_SECONDS_TIMELINE |
                      (mTransport.playing ? static_cast<uint32_t>(CLAP_TRANSPORT_IS_PLAYING) : 0u);
    transport.tempo = mTransport.tempo;
    transport.song_pos_seconds =
        static_cast<clap_sectime>(std::llround(mTransport.samplePos / mSampleRate * CLAP_SECTIME_FACTOR));
    transport.tsig_num = static_cast<uint16_t>(mTransport.timeSigNumerator);
    transport.tsig_denom = static_cast<uint16_t>(mTransport.timeSigDenominator);
    mBlockEvents.clear();
    {
        // Never waits: values being queued now go with the next block.
        std::unique_lock<std::mutex> lock(mPendingLock, std::try_to_lock);
        if (lock.owns_lock()) mBlockEvents.swap(mPending);
    }
    InList inEvents(&mBlockEvents);
    clap_process_t p{};
    p.steady_time = mSteadyTime;
    p.frames_count = static_cast<uint32_t>(frames);
    p.transport = &transport;
    p.audio_inputs = in.empty() ? nullptr : in.data();
    p.audio_inputs_count = static_cast<uint32_t>(in.size());
    p.audio_outputs = out.empty() ? nullptr : out.data();
    p.audio_outputs_count = static_cast<uint32_t>(out.size());
    p.in_events = &inEvents.list;
    p.out_events = &kDiscard;
    {
        HostAudioCallScope scope;
        mPlugin->process(mPlugin, &p);
    }
    mBlockEvents.clear();
    mSteadyTime += frames;
    Serve();
}

void HostClapPlugin::RenderFloat(float** inputs, float** outputs, int frames) {
    FillPorts(inputs, outputs, mInBuffers, mOutBuffers);
    Process(mInBuffers, mOutBuffers, std::min(frames, mMaxBlock));
}

void HostClapPlugin::RenderDouble(double** inputs, double** outputs, int frames) {
    FillPorts(inputs, outputs, mInBuffers, mOutBuffers);
    Process(mInBuffers, mOutBuffers, std::min(frames, mMaxBlock));
}

// ---- Editor ----

bool HostClapPlugin::HasEditor() {
    const auto* gui = Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    return gui && gui->is_api_supported(mPlugin, CLAP_WINDOW_API_X11, false);
}

bool HostClapPlugin::EditorSize(int& w, int& h) {
    const auto* gui = Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    if (!gui) return false;
    if (!mGuiCreated) mGuiCreated = gui->create(mPlugin, CLAP_WINDOW_API_X11, false);
    uint32_t gw = 0, gh = 0;
    if (!mGuiCreated || !gui->get_size(mPlugin, &gw, &gh) || gw < 1 || gh < 1 || gw > 16384 || gh > 16384)
        return false;
    w = static_cast<int>(gw);
    h = static_cast<int>(gh);
    return true;
}

bool HostClapPlugin::OpenEditor(unsigned long window) {
    const auto* gui = Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    if (!gui) return false;
    if (!mGuiCreated) mGuiCreated = gui->create(mPlugin, CLAP_WINDOW_API_X11, false);
    if (!mGuiCreated) return false;
    clap_window_t parent{};
    parent.api = CLAP_WINDOW_API_X11;
    parent.x11 = window;
    return gui->set_parent(mPlugin, &parent) && gui->show(mPlugin);
}

void HostClapPlugin::IdleEditor() {
    // A host's loop, once: every watched descriptor that is ready, then every timer.
    std::vector<pollfd> ready;
    for (int fd : mFds) ready.push_back(pollfd{fd, POLLIN, 0});
    if (!ready.empty() && poll(ready.data(), ready.size(), 0) > 0) {
        if (const auto* fds = Extension<ClapPluginPosixFdSupport>(kClapExtPosixFdSupport))
            for (const pollfd& p : ready)
                if (p.revents & (POLLIN | POLLERR | POLLHUP))
                    fds->onFd(mPlugin, p.fd,
                              (p.revents & POLLIN ? kClapPosixFdRead : 0u) |
                                  (p.revents & (POLLERR | POLLHUP) ? kClapPosixFdError : 0u));
    }
    if (const auto* timers = Extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT)) {
        const std::map<clap_id, uint32_t> now = mTimers;
        for (const auto& [id, period] : now) timers->on_timer(mPlugin, id);
    }
    Serve();
}

void HostClapPlugin::CloseEditor() {
    if (!mGuiCreated) return;
    if (const auto* gui = Extension<clap_plugin_gui_t>(CLAP_EXT_GUI)) gui->destroy(mPlugin);
    mGuiCreated = false;
}
