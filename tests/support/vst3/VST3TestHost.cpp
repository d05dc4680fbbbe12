#include "tests/support/vst3/VST3TestHost.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

#include "framework/vst3/VST3Strings.h"

namespace {

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

} // namespace

VST3TestHost::VST3TestHost() {
    mContextFace = {&kContextTable, this};
    mHandlerFace = {&kHandlerTable, this};
    mFrameFace = {&kFrameTable, this};
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
    HostVST3Changes list(changes);
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
        *obj = mLoop.Face();
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
