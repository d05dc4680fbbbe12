#include "tests/support/vst3/VST3TestHost.h"

#include <poll.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

#include "framework/vst3/VST3Strings.h"

// ---- The module ----

VST3Library::VST3Library(const char* path) : SharedLibrary(path) {
    mGetFactory = Function<v3_plugin_factory** (*)()>("GetPluginFactory");
    mEntry = Function<bool (*)(void*)>("ModuleEntry");
    mExit = Function<bool (*)()>("ModuleExit");
    if (mEntry) mEntered = mEntry(nullptr);
}

VST3Library::~VST3Library() {
    if (mEntered && mExit) mExit();
}

v3_plugin_factory** VST3Library::Factory() const {
    return mEntered && mGetFactory ? mGetFactory() : nullptr;
}

std::string VST3Library::Problem() const {
    if (!IsLoaded()) return Error();
    if (!mGetFactory || !mEntry || !mExit) return "an exported function is missing";
    return mEntered ? "" : "ModuleEntry failed";
}

// ---- Streams ----

namespace {

struct StreamTable : v3_funknown {
    v3_bstream stream;
};

const StreamTable kStream = {VST3Unknown<VST3TestStream>(),
                             {VST3Entry<&VST3TestStream::Read>, VST3Entry<&VST3TestStream::Write>,
                              VST3Entry<&VST3TestStream::Seek>, VST3Entry<&VST3TestStream::Tell>}};

} // namespace

VST3TestStream::VST3TestStream(std::vector<uint8_t> bytes, int chunk)
    : mBytes(std::move(bytes)), mChunk(chunk) {
    mFace = {&kStream, this};
}

v3_result VST3TestStream::QueryInterface(const uint8_t* iid, void** obj) {
    *obj = VST3IsOneOf(iid, v3_funknown_iid, v3_bstream_iid) ? &mFace : nullptr;
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

v3_result VST3TestStream::Read(void* buffer, int32_t n, int32_t* read) {
    const size_t count =
        std::min({static_cast<size_t>(std::max(n, 0)), mBytes.size() - mPos, static_cast<size_t>(mChunk)});
    if (count) std::memcpy(buffer, mBytes.data() + mPos, count);
    mPos += count;
    if (read) *read = static_cast<int32_t>(count);
    return V3_OK;
}

v3_result VST3TestStream::Write(void* buffer, int32_t n, int32_t* written) {
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    mBytes.insert(mBytes.end(), bytes, bytes + std::max(n, 0));
    if (written) *written = n;
    return V3_OK;
}

v3_result VST3TestStream::Seek(int64_t pos, int32_t mode, int64_t* result) {
    const int64_t base = mode == V3_SEEK_CUR   ? static_cast<int64_t>(mPos)
                         : mode == V3_SEEK_END ? static_cast<int64_t>(mBytes.size())
                                               : 0;
    mPos = static_cast<size_t>(std::clamp<int64_t>(base + pos, 0, static_cast<int64_t>(mBytes.size())));
    if (result) *result = static_cast<int64_t>(mPos);
    return V3_OK;
}

v3_result VST3TestStream::Tell(int64_t* pos) {
    if (pos) *pos = static_cast<int64_t>(mPos);
    return V3_OK;
}

// ---- Parameter changes sent with a block ----

namespace {

class ChangeQueue {
public:
    ChangeQueue(uint32_t id, std::vector<VST3Change> points);
    v3_param_value_queue** Face() { return mFace.As<v3_param_value_queue>(); }
    v3_result QueryInterface(const uint8_t*, void** obj) {
        *obj = nullptr;
        return V3_NO_INTERFACE;
    }
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    v3_param_id GetParamId() { return mId; }
    int32_t GetPointCount() { return static_cast<int32_t>(mPoints.size()); }
    v3_result GetPoint(int32_t idx, int32_t* offset, double* value) {
        if (idx < 0 || idx >= GetPointCount()) return V3_INVALID_ARG;
        *offset = mPoints[static_cast<size_t>(idx)].offset;
        *value = mPoints[static_cast<size_t>(idx)].value;
        return V3_OK;
    }
    v3_result AddPoint(int32_t, double, int32_t*) { return V3_NOT_IMPLEMENTED; }

private:
    VST3Face<ChangeQueue> mFace;
    uint32_t mId;
    std::vector<VST3Change> mPoints;
};

const v3_param_value_queue_cpp kQueueTable = {
    VST3Unknown<ChangeQueue>(),
    {VST3Entry<&ChangeQueue::GetParamId>, VST3Entry<&ChangeQueue::GetPointCount>,
     VST3Entry<&ChangeQueue::GetPoint>, VST3Entry<&ChangeQueue::AddPoint>}};

ChangeQueue::ChangeQueue(uint32_t id, std::vector<VST3Change> points) : mId(id), mPoints(std::move(points)) {
    mFace = {&kQueueTable, this};
}

class ChangeList {
public:
    // One queue per id, in the order ids first appear; points keep their order.
    explicit ChangeList(const std::vector<VST3Change>& changes);
    v3_param_changes** Face() { return mFace.As<v3_param_changes>(); }
    v3_result QueryInterface(const uint8_t*, void** obj) {
        *obj = nullptr;
        return V3_NO_INTERFACE;
    }
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    int32_t GetParamCount() { return static_cast<int32_t>(mQueues.size()); }
    v3_param_value_queue** GetParamData(int32_t idx) {
        return idx >= 0 && idx < GetParamCount() ? mQueues[static_cast<size_t>(idx)]->Face() : nullptr;
    }
    v3_param_value_queue** AddParamData(v3_param_id*, int32_t*) { return nullptr; }

private:
    VST3Face<ChangeList> mFace;
    std::vector<std::unique_ptr<ChangeQueue>> mQueues;
};

const v3_param_changes_cpp kChangesTable = {VST3Unknown<ChangeList>(),
                                            {VST3Entry<&ChangeList::GetParamCount>,
                                             VST3Entry<&ChangeList::GetParamData>,
                                             VST3Entry<&ChangeList::AddParamData>}};

ChangeList::ChangeList(const std::vector<VST3Change>& changes) {
    mFace = {&kChangesTable, this};
    std::vector<uint32_t> ids;
    for (const VST3Change& c : changes)
        if (std::find(ids.begin(), ids.end(), c.id) == ids.end()) ids.push_back(c.id);
    for (uint32_t id : ids) {
        std::vector<VST3Change> points;
        for (const VST3Change& c : changes)
            if (c.id == id) points.push_back(c);
        mQueues.push_back(std::make_unique<ChangeQueue>(id, std::move(points)));
    }
}

// ---- The host's own interfaces ----

const v3_host_application_cpp kContextTable = {
    VST3Unknown<VST3TestHost>(),
    {VST3Entry<&VST3TestHost::GetName>, VST3Entry<&VST3TestHost::CreateInstance>}};

struct HandlerTable : v3_funknown {
    v3_component_handler handler;
};

const HandlerTable kHandlerTable = {VST3Unknown<VST3TestHost>(),
                                    {VST3Entry<&VST3TestHost::BeginEdit>,
                                     VST3Entry<&VST3TestHost::PerformEdit>, VST3Entry<&VST3TestHost::EndEdit>,
                                     VST3Entry<&VST3TestHost::RestartComponent>}};

const v3_plugin_frame_cpp kFrameTable = {VST3Unknown<VST3TestHost>(), {VST3Entry<&VST3TestHost::ResizeView>}};

const v3_run_loop_cpp kLoopTable = {
    VST3Unknown<VST3TestHost>(),
    {VST3Entry<&VST3TestHost::RegisterEventHandler>, VST3Entry<&VST3TestHost::UnregisterEventHandler>,
     VST3Entry<&VST3TestHost::RegisterTimer>, VST3Entry<&VST3TestHost::UnregisterTimer>}};

} // namespace

VST3TestHost::VST3TestHost() {
    mContextFace = {&kContextTable, this};
    mHandlerFace = {&kHandlerTable, this};
    mFrameFace = {&kFrameTable, this};
    mLoopFace = {&kLoopTable, this};
    mAudio = std::thread([this] { AudioLoop(); });
    mAudioId = mAudio.get_id();
}

VST3TestHost::~VST3TestHost() {
    Close();
    {
        std::lock_guard<std::mutex> lock(mJobLock);
        mQuit = true;
    }
    mJobReady.notify_all();
    mAudio.join();
}

void VST3TestHost::AudioLoop() {
    std::unique_lock<std::mutex> lock(mJobLock);
    for (;;) {
        mJobReady.wait(lock, [this] { return mQuit || mJob; });
        if (mJob) {
            mJob();
            mJob = nullptr;
            mJobDone.notify_all();
        } else if (mQuit) {
            return;
        }
    }
}

void VST3TestHost::OnAudioThread(const std::function<void()>& f) {
    std::unique_lock<std::mutex> lock(mJobLock);
    mJob = f;
    mJobReady.notify_all();
    mJobDone.wait(lock, [this] { return !mJob; });
}

bool VST3TestHost::Load(v3_plugin_factory** factory) {
    if (!factory) return false;
    v3_class_info info = {};
    if (v3_cpp_obj(factory)->get_class_info(factory, 0, &info) != V3_OK) return false;
    void* obj = nullptr;
    if (v3_cpp_obj(factory)->create_instance(factory, info.class_id, v3_component_iid, &obj) != V3_OK || !obj)
        return false;
    mComponent = static_cast<v3_component**>(obj);
    if (v3_cpp_obj_initialize(mComponent, mContextFace.As<v3_funknown>()) != V3_OK ||
        v3_cpp_obj_query_interface(mComponent, v3_audio_processor_iid, &mProcessor) != V3_OK ||
        v3_cpp_obj_query_interface(mComponent, v3_edit_controller_iid, &mController) != V3_OK ||
        v3_cpp_obj_query_interface(mComponent, v3_unit_information_iid, &mUnits) != V3_OK) {
        Close();
        return false;
    }
    E()->set_component_handler(mController, mHandlerFace.As<v3_component_handler>());
    return true;
}

bool VST3TestHost::Start(double rate, int maxBlock, int32_t sampleSize) {
    v3_process_setup setup = {V3_REALTIME, sampleSize, maxBlock, rate};
    if (P()->setup_processing(mProcessor, &setup) != V3_OK) return false;
    if (C()->set_active(mComponent, 1) != V3_OK) return false;
    OnAudioThread([this] { P()->set_processing(mProcessor, 1); });
    mStarted = true;
    return true;
}

void VST3TestHost::Stop() {
    if (!mStarted) return;
    mStarted = false;
    OnAudioThread([this] { P()->set_processing(mProcessor, 0); });
    C()->set_active(mComponent, 0);
}

void VST3TestHost::Close() {
    if (!mComponent) return;
    Stop();
    if (mController) E()->set_component_handler(mController, nullptr);
    v3_cpp_obj_terminate(mComponent);
    for (void** p : {reinterpret_cast<void**>(mUnits), reinterpret_cast<void**>(mController),
                     reinterpret_cast<void**>(mProcessor), reinterpret_cast<void**>(mComponent)})
        if (p) static_cast<v3_funknown*>(*p)->unref(p);
    mUnits = nullptr;
    mController = nullptr;
    mProcessor = nullptr;
    mComponent = nullptr;
}

template <class T>
v3_result VST3TestHost::ProcessBlock(T** in, int nIn, T** out, int nOut, int32_t nFrames, int32_t sampleSize,
                                     const std::vector<VST3Change>& changes) {
    ChangeList list(changes);
    v3_audio_bus_buffers inBus = {}, outBus = {};
    inBus.num_channels = nIn;
    outBus.num_channels = nOut;
    if constexpr (std::is_same_v<T, double>) {
        inBus.channel_buffers_64 = in;
        outBus.channel_buffers_64 = out;
    } else {
        inBus.channel_buffers_32 = in;
        outBus.channel_buffers_32 = out;
    }
    outBus.channel_silence_bitset = ~uint64_t{0};
    v3_process_data data = {};
    data.process_mode = V3_REALTIME;
    data.symbolic_sample_size = sampleSize;
    data.nframes = nFrames;
    data.num_input_buses = 1;
    data.num_output_buses = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    v3_param_changes** params = list.Face();
    data.input_params = changes.empty() ? nullptr : params;
    v3_result r = V3_INTERNAL_ERR;
    OnAudioThread([&] {
        const long before = mCounter ? mCounter() : 0;
        r = P()->process(mProcessor, &data);
        if (mCounter) mProcessAllocations += mCounter() - before;
    });
    return r;
}

v3_result VST3TestHost::Process(float** in, int nIn, float** out, int nOut, int32_t nFrames,
                                const std::vector<VST3Change>& changes) {
    return ProcessBlock(in, nIn, out, nOut, nFrames, V3_SAMPLE_32, changes);
}

v3_result VST3TestHost::Process(double** in, int nIn, double** out, int nOut, int32_t nFrames,
                                const std::vector<VST3Change>& changes) {
    return ProcessBlock(in, nIn, out, nOut, nFrames, V3_SAMPLE_64, changes);
}

std::vector<uint8_t> VST3TestHost::GetState() {
    VST3TestStream stream;
    if (C()->get_state(mComponent, stream.Face()) != V3_OK) return {};
    return stream.Bytes();
}

v3_result VST3TestHost::SetState(const std::vector<uint8_t>& bytes, int chunk) {
    VST3TestStream stream(bytes, chunk);
    return C()->set_state(mComponent, stream.Face());
}

v3_result VST3TestHost::SetComponentState(const std::vector<uint8_t>& bytes) {
    VST3TestStream stream(bytes);
    return E()->set_component_state(mController, stream.Face());
}

v3_param_info VST3TestHost::Info(int32_t idx) {
    v3_param_info info = {};
    E()->get_parameter_info(mController, idx, &info);
    return info;
}

std::string VST3TestHost::Text(const int16_t* s) const {
    return VST3ToUTF8(s, 128);
}

std::string VST3TestHost::ToString(uint32_t id, double normalized) {
    v3_str_128 out = {};
    if (E()->get_parameter_string_for_value(mController, id, normalized, out) != V3_OK) return "<refused>";
    return Text(out);
}

v3_result VST3TestHost::FromString(uint32_t id, const std::string& text, double* normalized) {
    v3_str_128 in = {};
    VST3CopyString(text.c_str(), in, 128);
    return E()->get_parameter_value_for_string(mController, id, in, normalized);
}

// ---- Records ----

void VST3TestHost::Record(VST3HandlerCall::Kind kind, uint32_t id, double value) {
    std::lock_guard<std::mutex> lock(mLock);
    mCalls.push_back({kind, id, value, std::this_thread::get_id() == mAudioId});
}

std::vector<VST3HandlerCall> VST3TestHost::Calls() {
    std::lock_guard<std::mutex> lock(mLock);
    return mCalls;
}

void VST3TestHost::ClearCalls() {
    std::lock_guard<std::mutex> lock(mLock);
    mCalls.clear();
}

// ---- COM entries ----

v3_result VST3TestHost::QueryInterface(const uint8_t* iid, void** obj) {
    *obj = nullptr;
    if (VST3IsOneOf(iid, v3_funknown_iid, v3_host_application_iid))
        *obj = &mContextFace;
    else if (VST3IsOneOf(iid, v3_component_handler_iid))
        *obj = &mHandlerFace;
    else if (VST3IsOneOf(iid, v3_plugin_frame_iid))
        *obj = &mFrameFace;
    else if (VST3IsOneOf(iid, v3_run_loop_iid) && mOfferRunLoop)
        *obj = &mLoopFace;
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

v3_result VST3TestHost::GetName(int16_t* name) {
    VST3CopyString("VST3TestHost", name, 128);
    return V3_OK;
}

v3_result VST3TestHost::CreateInstance(uint8_t*, uint8_t*, void** obj) {
    if (obj) *obj = nullptr;
    return V3_NOT_IMPLEMENTED;
}

v3_result VST3TestHost::BeginEdit(v3_param_id id) {
    Record(VST3HandlerCall::kBegin, id, 0.0);
    return V3_OK;
}

v3_result VST3TestHost::PerformEdit(v3_param_id id, double value) {
    Record(VST3HandlerCall::kPerform, id, value);
    return V3_OK;
}

v3_result VST3TestHost::EndEdit(v3_param_id id) {
    Record(VST3HandlerCall::kEnd, id, 0.0);
    return V3_OK;
}

v3_result VST3TestHost::RestartComponent(int32_t flags) {
    Record(VST3HandlerCall::kRestart, static_cast<uint32_t>(flags), 0.0);
    return V3_OK;
}

v3_result VST3TestHost::ResizeView(v3_plugin_view**, v3_view_rect* rect) {
    if (rect) mResizes.push_back(*rect);
    return V3_OK;
}

v3_result VST3TestHost::RegisterEventHandler(v3_event_handler** handler, int fd) {
    mLoopEntries.push_back({reinterpret_cast<void**>(handler), fd, 0});
    return V3_OK;
}

v3_result VST3TestHost::UnregisterEventHandler(v3_event_handler** handler) {
    std::erase_if(mLoopEntries, [&](const VST3RunLoopEntry& e) {
        return e.fd >= 0 && e.handler == reinterpret_cast<void**>(handler);
    });
    return V3_OK;
}

v3_result VST3TestHost::RegisterTimer(v3_timer_handler** handler, uint64_t ms) {
    mLoopEntries.push_back({reinterpret_cast<void**>(handler), -1, ms});
    return V3_OK;
}

v3_result VST3TestHost::UnregisterTimer(v3_timer_handler** handler) {
    std::erase_if(mLoopEntries, [&](const VST3RunLoopEntry& e) {
        return e.fd < 0 && e.handler == reinterpret_cast<void**>(handler);
    });
    return V3_OK;
}

void VST3TestHost::RunLoopTurn() {
    const std::vector<VST3RunLoopEntry> entries = mLoopEntries;
    for (const VST3RunLoopEntry& e : entries) {
        if (e.fd >= 0) continue;
        auto** timer = reinterpret_cast<v3_timer_handler**>(e.handler);
        v3_cpp_obj(timer)->on_timer(timer);
    }
    for (const VST3RunLoopEntry& e : entries) {
        if (e.fd < 0) continue;
        pollfd p = {e.fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) continue;
        auto** events = reinterpret_cast<v3_event_handler**>(e.handler);
        v3_cpp_obj(events)->on_fd_is_set(events, e.fd);
    }
}
