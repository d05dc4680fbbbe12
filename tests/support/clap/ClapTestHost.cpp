#include "tests/support/clap/ClapTestHost.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

thread_local bool ClapTestHost::tAudioThread = false;

namespace {

// An input event list over a vector of value events.
struct InList {
    std::vector<clap_event_param_value_t> events;
    clap_input_events_t list;

    explicit InList(const std::vector<ClapTestHost::InEvent>& in) {
        for (const ClapTestHost::InEvent& e : in) {
            clap_event_param_value_t ev{};
            ev.header = {sizeof(ev), e.time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            ev.param_id = e.param;
            ev.note_id = -1;
            ev.port_index = ev.channel = ev.key = -1;
            ev.value = e.value;
            events.push_back(ev);
        }
        list.ctx = this;
        list.size = [](const clap_input_events_t* l) {
            return static_cast<uint32_t>(static_cast<const InList*>(l->ctx)->events.size());
        };
        list.get = [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
            const auto& evs = static_cast<const InList*>(l->ctx)->events;
            return i < evs.size() ? &evs[i].header : nullptr;
        };
    }
};

struct OutList {
    std::mutex* lock;
    std::vector<ClapTestHost::OutEvent>* events;
    clap_output_events_t list;

    OutList(std::mutex* l, std::vector<ClapTestHost::OutEvent>* e) : lock(l), events(e) {
        list.ctx = this;
        list.try_push = [](const clap_output_events_t* l, const clap_event_header_t* ev) {
            auto* self = static_cast<OutList*>(l->ctx);
            ClapTestHost::OutEvent out{ev->type, ev->time, CLAP_INVALID_ID, 0.0};
            if (ev->type == CLAP_EVENT_PARAM_VALUE && ev->size >= sizeof(clap_event_param_value_t)) {
                const auto* v = reinterpret_cast<const clap_event_param_value_t*>(ev);
                out.param = v->param_id;
                out.value = v->value;
            } else if ((ev->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
                        ev->type == CLAP_EVENT_PARAM_GESTURE_END) &&
                       ev->size >= sizeof(clap_event_param_gesture_t)) {
                out.param = reinterpret_cast<const clap_event_param_gesture_t*>(ev)->param_id;
            }
            std::lock_guard<std::mutex> guard(*self->lock);
            self->events->push_back(out);
            return true;
        };
    }
};

// Marks the calling thread as the audio thread for a scope.
struct AudioScope {
    bool& flag;
    explicit AudioScope(bool& f) : flag(f) { flag = true; }
    ~AudioScope() { flag = false; }
};

} // namespace

// ---- ClapLibrary ----

ClapLibrary::ClapLibrary(const char* path) : SharedLibrary(path) {
    mEntry = Function<const clap_plugin_entry_t*>("clap_entry");
    if (mEntry && mEntry->init) mInitialised = mEntry->init(path);
}

ClapLibrary::~ClapLibrary() {
    if (mInitialised && mEntry->deinit) mEntry->deinit();
}

const char* ClapLibrary::Error() const {
    if (!IsLoaded()) return SharedLibrary::Error();
    if (!mEntry) return "no clap_entry";
    return mInitialised ? "" : "init failed";
}

const clap_plugin_factory_t* ClapLibrary::Factory() const {
    if (!mInitialised || !mEntry->get_factory) return nullptr;
    return static_cast<const clap_plugin_factory_t*>(mEntry->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

// ---- ClapTestHost ----

ClapTestHost::ClapTestHost(unsigned offers) : mOffers(offers), mMainThread(std::this_thread::get_id()) {
    // Recording a request allocates nothing for a long while (the allocation tests count the host too).
    mRequests.reserve(1024);
    std::memset(&mHost, 0, sizeof(mHost));
    mHost.clap_version = CLAP_VERSION;
    mHost.host_data = this;
    mHost.name = "ClapTestHost";
    mHost.vendor = "Tidebloom";
    mHost.url = "";
    mHost.version = "1.0.0";
    mHost.get_extension = GetExtension;
    mHost.request_restart = [](const clap_host_t* h) { From(h)->Record("restart"); };
    mHost.request_process = [](const clap_host_t* h) { From(h)->Record("process"); };
    mHost.request_callback = [](const clap_host_t* h) {
        From(h)->Record("callback");
        From(h)->mCallbackWanted = true;
    };
}

ClapTestHost::~ClapTestHost() {
    Destroy();
}

void ClapTestHost::Record(const std::string& what) {
    std::lock_guard<std::mutex> guard(mLock);
    mRequests.push_back({what, std::this_thread::get_id() == mMainThread});
}

const void* ClapTestHost::GetExtension(const clap_host_t* host, const char* id) {
    static const clap_host_params_t params = {
        [](const clap_host_t* h, clap_param_rescan_flags) { From(h)->Record("rescan"); },
        [](const clap_host_t*, clap_id, clap_param_clear_flags) {},
        [](const clap_host_t* h) { From(h)->Record("flush"); }};
    static const clap_host_latency_t latency = {[](const clap_host_t* h) { From(h)->Record("latency"); }};
    static const clap_host_state_t state = {[](const clap_host_t* h) { From(h)->Record("mark_dirty"); }};
    static const clap_host_gui_t gui = {
        [](const clap_host_t*) {},
        [](const clap_host_t* h, uint32_t w, uint32_t hh) {
            From(h)->Record("resize " + std::to_string(w) + "x" + std::to_string(hh));
            return true;
        },
        [](const clap_host_t*) { return false; }, [](const clap_host_t*) { return false; },
        [](const clap_host_t* h, bool) { From(h)->Record("closed"); }};
    static const clap_host_thread_check_t threads = {
        [](const clap_host_t* h) { return std::this_thread::get_id() == From(h)->mMainThread; },
        [](const clap_host_t*) { return tAudioThread; }};
    static const clap_host_timer_support_t timers = {[](const clap_host_t* h, uint32_t period, clap_id* id) {
                                                         ClapTestHost* self = From(h);
                                                         std::lock_guard<std::mutex> guard(self->mLock);
                                                         *id = self->mNextTimer++;
                                                         self->mTimers[*id] = period;
                                                         return true;
                                                     },
                                                     [](const clap_host_t* h, clap_id id) {
                                                         ClapTestHost* self = From(h);
                                                         std::lock_guard<std::mutex> guard(self->mLock);
                                                         return self->mTimers.erase(id) == 1;
                                                     }};
    static const ClapHostPosixFdSupport fds = {[](const clap_host_t* h, int fd, uint32_t) {
                                                   ClapTestHost* self = From(h);
                                                   std::lock_guard<std::mutex> guard(self->mLock);
                                                   return self->mFds.insert(fd).second;
                                               },
                                               [](const clap_host_t* h, int fd, uint32_t) {
                                                   ClapTestHost* self = From(h);
                                                   std::lock_guard<std::mutex> guard(self->mLock);
                                                   return self->mFds.count(fd) == 1;
                                               },
                                               [](const clap_host_t* h, int fd) {
                                                   ClapTestHost* self = From(h);
                                                   std::lock_guard<std::mutex> guard(self->mLock);
                                                   return self->mFds.erase(fd) == 1;
                                               }};
    const unsigned offers = From(host)->mOffers;
    struct Offer {
        const char* id;
        unsigned flag;
        const void* record;
    };
    const Offer table[] = {{CLAP_EXT_PARAMS, kParams, &params},
                           {CLAP_EXT_LATENCY, kLatency, &latency},
                           {CLAP_EXT_STATE, kState, &state},
                           {CLAP_EXT_GUI, kGui, &gui},
                           {CLAP_EXT_THREAD_CHECK, kThreadCheck, &threads},
                           {CLAP_EXT_TIMER_SUPPORT, kTimers, &timers},
                           {kClapExtPosixFdSupport, kFds, &fds}};
    for (const Offer& o : table)
        if (id && !std::strcmp(id, o.id)) return (offers & o.flag) ? o.record : nullptr;
    return nullptr;
}

bool ClapTestHost::Create(const clap_plugin_factory_t* factory, const char* pluginId) {
    if (mPlugin || !factory) return false;
    const clap_plugin_t* plugin = factory->create_plugin(factory, &mHost, pluginId);
    if (!plugin) return false;
    if (!plugin->init(plugin)) {
        plugin->destroy(plugin);
        return false;
    }
    mPlugin = plugin;
    return true;
}

void ClapTestHost::Destroy() {
    if (!mPlugin) return;
    Deactivate();
    mPlugin->destroy(mPlugin);
    mPlugin = nullptr;
}

bool ClapTestHost::Activate(double sampleRate, uint32_t maxFrames) {
    if (!mPlugin || mActive) return false;
    mActive = mPlugin->activate(mPlugin, sampleRate, 1, maxFrames);
    if (mActive) mPlugin->start_processing(mPlugin);
    return mActive;
}

void ClapTestHost::Deactivate() {
    if (!mPlugin || !mActive) return;
    mPlugin->stop_processing(mPlugin);
    mPlugin->deactivate(mPlugin);
    mActive = false;
}

template <class T>
clap_process_status ClapTestHost::RunProcess(T* const* in, T* const* out, uint32_t frames,
                                             const std::vector<InEvent>& events) {
    AudioScope scope(tAudioThread);
    InList inList(events);
    OutList outList(&mLock, &mOutEvents);
    T* inPtrs[2] = {in[0], in[1]};
    T* outPtrs[2] = {out[0], out[1]};
    clap_audio_buffer_t inBuf{}, outBuf{};
    inBuf.channel_count = outBuf.channel_count = 2;
    if constexpr (sizeof(T) == sizeof(double)) {
        inBuf.data64 = inPtrs;
        outBuf.data64 = outPtrs;
    } else {
        inBuf.data32 = inPtrs;
        outBuf.data32 = outPtrs;
    }
    clap_process_t p{};
    p.steady_time = -1;
    p.frames_count = frames;
    p.audio_inputs = &inBuf;
    p.audio_outputs = &outBuf;
    p.audio_inputs_count = p.audio_outputs_count = 1;
    p.in_events = &inList.list;
    p.out_events = &outList.list;
    return mPlugin->process(mPlugin, &p);
}

clap_process_status ClapTestHost::Process(float* const* in, float* const* out, uint32_t frames,
                                          const std::vector<InEvent>& events) {
    return RunProcess(in, out, frames, events);
}

clap_process_status ClapTestHost::Process(double* const* in, double* const* out, uint32_t frames,
                                          const std::vector<InEvent>& events) {
    return RunProcess(in, out, frames, events);
}

void ClapTestHost::Flush(const std::vector<InEvent>& events) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    if (!params) return;
    // While active, flush comes on the audio thread.
    std::optional<AudioScope> scope;
    if (mActive) scope.emplace(tAudioThread);
    InList inList(events);
    OutList outList(&mLock, &mOutEvents);
    params->flush(mPlugin, &inList.list, &outList.list);
}

double ClapTestHost::Value(clap_id id) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    double v = -1.0;
    if (!params || !params->get_value(mPlugin, id, &v)) return -1.0;
    return v;
}

std::string ClapTestHost::ValueText(clap_id id, double value) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    char buf[CLAP_NAME_SIZE] = {};
    if (!params || !params->value_to_text(mPlugin, id, value, buf, sizeof(buf))) return "<none>";
    return buf;
}

bool ClapTestHost::TextValue(clap_id id, const char* text, double* value) {
    const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    return params && params->text_to_value(mPlugin, id, text, value);
}

std::vector<uint8_t> ClapTestHost::SaveState() {
    const auto* state = Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    std::vector<uint8_t> bytes;
    clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* buf, uint64_t size) -> int64_t {
                           auto* b = static_cast<std::vector<uint8_t>*>(s->ctx);
                           // A host's stream may take less than it is offered.
                           const uint64_t n = std::min<uint64_t>(size, 7);
                           b->insert(b->end(), static_cast<const uint8_t*>(buf),
                                     static_cast<const uint8_t*>(buf) + n);
                           return static_cast<int64_t>(n);
                       }};
    if (!state || !state->save(mPlugin, &out)) bytes.clear();
    return bytes;
}

bool ClapTestHost::LoadState(const std::vector<uint8_t>& bytes, size_t chunk) {
    const auto* state = Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    struct Reader {
        const std::vector<uint8_t>* bytes;
        size_t pos, chunk;
    } reader{&bytes, 0, std::max<size_t>(chunk, 1)};
    clap_istream_t in{
        &reader, [](const clap_istream_t* s, void* buf, uint64_t size) -> int64_t {
            auto* r = static_cast<Reader*>(s->ctx);
            const size_t n = std::min({static_cast<size_t>(size), r->chunk, r->bytes->size() - r->pos});
            if (n > 0) std::memcpy(buf, r->bytes->data() + r->pos, n);
            r->pos += n;
            return static_cast<int64_t>(n);
        }};
    return state && state->load(mPlugin, &in);
}

void ClapTestHost::FireTimers() {
    const auto* timers = Extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
    if (!timers) return;
    for (const auto& [id, period] : Timers()) timers->on_timer(mPlugin, id);
}

void ClapTestHost::FireFds() {
    const auto* fds = Extension<ClapPluginPosixFdSupport>(kClapExtPosixFdSupport);
    if (!fds) return;
    for (int fd : Fds()) fds->onFd(mPlugin, fd, kClapPosixFdRead);
}

bool ClapTestHost::RunMainThreadCallback() {
    if (!mPlugin || !mCallbackWanted.exchange(false)) return false;
    mPlugin->on_main_thread(mPlugin);
    return true;
}

std::vector<ClapTestHost::OutEvent> ClapTestHost::TakeOutEvents() {
    std::lock_guard<std::mutex> guard(mLock);
    return std::exchange(mOutEvents, {});
}

std::vector<ClapTestHost::Request> ClapTestHost::Requests() {
    std::lock_guard<std::mutex> guard(mLock);
    return mRequests;
}

std::vector<ClapTestHost::Request> ClapTestHost::Requests(const std::string& what) {
    std::vector<Request> out;
    for (const Request& r : Requests())
        if (r.what == what) out.push_back(r);
    return out;
}

void ClapTestHost::ClearRequests() {
    std::lock_guard<std::mutex> guard(mLock);
    mRequests.clear();
}

std::map<clap_id, uint32_t> ClapTestHost::Timers() {
    std::lock_guard<std::mutex> guard(mLock);
    return mTimers;
}

std::set<int> ClapTestHost::Fds() {
    std::lock_guard<std::mutex> guard(mLock);
    return mFds;
}
