// Cost of the plug-in's single-precision audio callback (processReplacing through the effect record)
// at 44.1 kHz stereo in 512-frame blocks with the default settings, on music (also for Tidebloom
// Precise) and on the silence after a loud burst, and of the LV2 plug-in's run, the VST 3 plug-in's
// process and the CLAP plug-in's process on the same music. Reported per frame and as a real-time factor
// (seconds of audio per second of CPU). Also what a host's plug-in scan costs: creating and closing an
// instance (BM_InstantiateClose), and loading the module around that (BM_LoadScanUnload).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <numbers>
#include <vector>

#include <clap/entry.h>
#include <clap/plugin-factory.h>
#include <lv2/core/lv2.h>

#include "framework/vst2/VstAbi.h"
#include "framework/vst3/VST3Interfaces.h"

namespace {

constexpr int kBlock = 512;
constexpr double kRate = 44100.0;

intptr_t BenchHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Plugin {
public:
    // TIDEBLOOM_BENCH_PLUGIN (TIDEBLOOM_BENCH_PRECISE_PLUGIN for Tidebloom Precise) names another build
    // of the plug-in to measure (to compare two).
    explicit Plugin(const char* path = TIDEBLOOM_SO_PATH, const char* variable = "TIDEBLOOM_BENCH_PLUGIN") {
        const char* other = std::getenv(variable);
        mLib = dlopen(other && *other ? other : path, RTLD_NOW | RTLD_LOCAL);
        if (!mLib) return;
        auto entry = reinterpret_cast<VstPluginEntryProc>(dlsym(mLib, "VSTPluginMain"));
        mFx = entry ? entry(BenchHost) : nullptr;
        if (!mFx) return;
        Dispatch(effOpen);
        Dispatch(effSetSampleRate, 0, 0, static_cast<float>(kRate));
        Dispatch(effSetBlockSize, 0, kBlock);
        Dispatch(effMainsChanged, 0, 1);
    }
    ~Plugin() {
        if (mFx) Dispatch(effClose);
        if (mLib) dlclose(mLib);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool Ok() const { return mFx != nullptr; }
    void Dispatch(int32_t op, int32_t index = 0, intptr_t value = 0, float opt = 0.0f) {
        mFx->dispatcher(mFx, op, index, value, nullptr, opt);
    }
    void BlockDouble(double* in0, double* in1, double* out0, double* out1) {
        double* ins[2] = {in0, in1};
        double* outs[2] = {out0, out1};
        mFx->processDoubleReplacing(mFx, ins, outs, kBlock);
    }
    void Block(float* in0, float* in1, float* out0, float* out1) {
        float* ins[2] = {in0, in1};
        float* outs[2] = {out0, out1};
        mFx->processReplacing(mFx, ins, outs, kBlock);
    }

private:
    void* mLib = nullptr;
    AEffect* mFx = nullptr;
};

// The LV2 plug-in of the bundle, instantiated as a host without features does it (block size 1024),
// its controls at the defaults of its description.
class LV2Plugin {
public:
    LV2Plugin() {
        const char* other = std::getenv("TIDEBLOOM_BENCH_LV2_PLUGIN");
        mLib = dlopen(other && *other ? other : TIDEBLOOM_LV2_SO_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!mLib) return;
        auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(mLib, "lv2_descriptor"));
        mDesc = entry ? entry(0) : nullptr;
        const LV2_Feature* none[] = {nullptr};
        mHandle = mDesc ? mDesc->instantiate(mDesc, kRate, "", none) : nullptr;
        if (!mHandle) return;
        for (uint32_t c = 0; c < 4; ++c) mDesc->connect_port(mHandle, c, mAudio[c].data());
        for (uint32_t i = 0; i < 5; ++i) mDesc->connect_port(mHandle, 4 + i, &mControls[i]);
        mDesc->connect_port(mHandle, 9, &mLatency);
        mDesc->activate(mHandle);
    }
    ~LV2Plugin() {
        if (mHandle) {
            mDesc->deactivate(mHandle);
            mDesc->cleanup(mHandle);
        }
        if (mLib) dlclose(mLib);
    }
    LV2Plugin(const LV2Plugin&) = delete;
    LV2Plugin& operator=(const LV2Plugin&) = delete;

    bool Ok() const { return mHandle != nullptr; }
    float* In(int c) { return mAudio[static_cast<size_t>(c)].data(); }
    float* Out(int c) { return mAudio[static_cast<size_t>(2 + c)].data(); }
    void Run() { mDesc->run(mHandle, kBlock); }

private:
    void* mLib = nullptr;
    const LV2_Descriptor* mDesc = nullptr;
    LV2_Handle mHandle = nullptr;
    std::vector<std::vector<float>> mAudio = std::vector<std::vector<float>>(4, std::vector<float>(kBlock));
    float mControls[5] = {0.7f, 0.5f, 0.75f, 1.0f, 1.0f};
    float mLatency = 0.0f;
};

// Tidebloom.clap's plug-in, made by a host that offers no extension, activated at 44.1 kHz for
// 512-frame blocks and processing; its parameters at their defaults.
class CLAPPlugin {
public:
    CLAPPlugin() {
        const char* other = std::getenv("TIDEBLOOM_BENCH_CLAP_PLUGIN");
        const char* path = other && *other ? other : TIDEBLOOM_CLAP_PATH;
        mLib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!mLib) return;
        mEntry = reinterpret_cast<const clap_plugin_entry_t*>(dlsym(mLib, "clap_entry"));
        if (!mEntry || !mEntry->init(path)) return;
        const auto* factory =
            static_cast<const clap_plugin_factory_t*>(mEntry->get_factory(CLAP_PLUGIN_FACTORY_ID));
        const clap_plugin_descriptor_t* desc = factory ? factory->get_plugin_descriptor(factory, 0) : nullptr;
        mHost.clap_version = CLAP_VERSION;
        mHost.name = "bench";
        mHost.vendor = mHost.url = mHost.version = "";
        mHost.get_extension = [](const clap_host_t*, const char*) -> const void* { return nullptr; };
        mHost.request_restart = mHost.request_process = mHost.request_callback = [](const clap_host_t*) {};
        mPlugin = desc ? factory->create_plugin(factory, &mHost, desc->id) : nullptr;
        if (!mPlugin || !mPlugin->init(mPlugin) || !mPlugin->activate(mPlugin, kRate, 1, kBlock) ||
            !mPlugin->start_processing(mPlugin))
            return;
        mEvents.size = [](const clap_input_events_t*) { return 0u; };
        mEvents.get = [](const clap_input_events_t*, uint32_t) -> const clap_event_header_t* {
            return nullptr;
        };
        mOut.try_push = [](const clap_output_events_t*, const clap_event_header_t*) { return true; };
        mInBuf.channel_count = mOutBuf.channel_count = 2;
        mInBuf.data32 = mIns;
        mOutBuf.data32 = mOuts;
        mProcess.frames_count = kBlock;
        mProcess.steady_time = -1;
        mProcess.audio_inputs = &mInBuf;
        mProcess.audio_outputs = &mOutBuf;
        mProcess.audio_inputs_count = mProcess.audio_outputs_count = 1;
        mProcess.in_events = &mEvents;
        mProcess.out_events = &mOut;
        mOk = true;
    }
    ~CLAPPlugin() {
        if (mOk) {
            mPlugin->stop_processing(mPlugin);
            mPlugin->deactivate(mPlugin);
        }
        if (mPlugin) mPlugin->destroy(mPlugin);
        if (mEntry) mEntry->deinit();
        if (mLib) dlclose(mLib);
    }
    CLAPPlugin(const CLAPPlugin&) = delete;
    CLAPPlugin& operator=(const CLAPPlugin&) = delete;

    bool Ok() const { return mOk; }
    void Block(float* in0, float* in1, float* out0, float* out1) {
        mIns[0] = in0;
        mIns[1] = in1;
        mOuts[0] = out0;
        mOuts[1] = out1;
        mPlugin->process(mPlugin, &mProcess);
    }

private:
    void* mLib = nullptr;
    const clap_plugin_entry_t* mEntry = nullptr;
    clap_host_t mHost{};
    const clap_plugin_t* mPlugin = nullptr;
    clap_input_events_t mEvents{};
    clap_output_events_t mOut{};
    float* mIns[2] = {};
    float* mOuts[2] = {};
    clap_audio_buffer_t mInBuf{}, mOutBuf{};
    clap_process_t mProcess{};
    bool mOk = false;
};

// The VST 3 bundle's module, its first class created and set up as a host without a context does it
// (44.1 kHz, 32-bit, 512-frame blocks), active and processing; blocks carry no parameter changes.
class VST3Plugin {
public:
    VST3Plugin() {
        const char* other = std::getenv("TIDEBLOOM_BENCH_VST3_PLUGIN");
        mLib = dlopen(other && *other ? other : TIDEBLOOM_VST3_SO_PATH, RTLD_NOW | RTLD_LOCAL);
        auto getFactory =
            mLib ? reinterpret_cast<v3_plugin_factory** (*)()>(dlsym(mLib, "GetPluginFactory")) : nullptr;
        v3_plugin_factory** f = getFactory ? getFactory() : nullptr;
        v3_class_info info = {};
        void* obj = nullptr;
        if (!f || v3_cpp_obj(f)->get_class_info(f, 0, &info) != V3_OK ||
            v3_cpp_obj(f)->create_instance(f, info.class_id, v3_component_iid, &obj) != V3_OK || !obj)
            return;
        mComponent = static_cast<v3_component**>(obj);
        v3_cpp_obj_initialize(mComponent, nullptr);
        if (v3_cpp_obj_query_interface(mComponent, v3_audio_processor_iid, &mProcessor) != V3_OK) return;
        v3_process_setup setup = {V3_REALTIME, V3_SAMPLE_32, kBlock, kRate};
        v3_cpp_obj(mProcessor)->setup_processing(mProcessor, &setup);
        v3_cpp_obj(mComponent)->set_active(mComponent, 1);
        v3_cpp_obj(mProcessor)->set_processing(mProcessor, 1);
        mIn.num_channels = mOut.num_channels = 2;
        mIn.channel_buffers_32 = mInPtr;
        mOut.channel_buffers_32 = mOutPtr;
        mData.symbolic_sample_size = V3_SAMPLE_32;
        mData.nframes = kBlock;
        mData.num_input_buses = mData.num_output_buses = 1;
        mData.inputs = &mIn;
        mData.outputs = &mOut;
    }
    ~VST3Plugin() {
        if (mProcessor) {
            v3_cpp_obj(mProcessor)->set_processing(mProcessor, 0);
            v3_cpp_obj(mComponent)->set_active(mComponent, 0);
            v3_cpp_obj_unref(mProcessor);
        }
        if (mComponent) {
            v3_cpp_obj_terminate(mComponent);
            v3_cpp_obj_unref(mComponent);
        }
        if (mLib) dlclose(mLib);
    }
    VST3Plugin(const VST3Plugin&) = delete;
    VST3Plugin& operator=(const VST3Plugin&) = delete;

    bool Ok() const { return mProcessor != nullptr; }
    void Block(float* in0, float* in1, float* out0, float* out1) {
        mInPtr[0] = in0, mInPtr[1] = in1, mOutPtr[0] = out0, mOutPtr[1] = out1;
        v3_cpp_obj(mProcessor)->process(mProcessor, &mData);
    }

private:
    void* mLib = nullptr;
    v3_component** mComponent = nullptr;
    v3_audio_processor** mProcessor = nullptr;
    float* mInPtr[2] = {};
    float* mOutPtr[2] = {};
    v3_audio_bus_buffers mIn = {}, mOut = {};
    v3_process_data mData = {};
};

// Plucked notes with harmonics, a new one every 0.2 to 0.5 s, panned differently.
void Music(int nFrames, std::vector<float>& left, std::vector<float>& right, double gain) {
    std::vector<double> l(static_cast<size_t>(nFrames), 0.0), r(static_cast<size_t>(nFrames), 0.0);
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    };
    for (int start = 1000; start < nFrames; start += 8820 + static_cast<int>(next() * 13230.0)) {
        const double freq = 110.0 * std::pow(2.0, std::floor(next() * 24.0) / 12.0);
        const double amp = gain * (0.1 + 0.6 * next()), pan = 0.3 + 0.4 * next(), decay = 3.0 + 6.0 * next();
        for (int i = 0; start + i < nFrames && i < 88200; ++i) {
            const double t = i / kRate;
            const double a = amp * std::exp(-decay * t) * std::min(1.0, i / 40.0);
            double v = 0.0;
            for (int h = 1; h <= 4; ++h) v += std::sin(2.0 * std::numbers::pi * freq * h * t) / h;
            l[static_cast<size_t>(start + i)] += a * v * (1.0 - pan);
            r[static_cast<size_t>(start + i)] += a * v * pan;
        }
    }
    left.assign(l.begin(), l.end());
    right.assign(r.begin(), r.end());
}

void Report(benchmark::State& state) {
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    // CPU time per stereo frame, and seconds of audio processed per CPU second ("k/s" = 1000x).
    state.counters["per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// The music through the 32-bit block call of the plug-in plug (processReplacing, or process for VST 3
// and CLAP).
template <class Plug>
void ProcessMusic(benchmark::State& state, Plug& plug) {
    if (!plug.Ok()) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    const int n = 44100 * 2 / kBlock * kBlock;
    std::vector<float> in0, in1, out0(kBlock), out1(kBlock);
    Music(n, in0, in1, 1.0);
    int pos = 0;
    for (auto _ : state) {
        plug.Block(in0.data() + pos, in1.data() + pos, out0.data(), out1.data());
        benchmark::DoNotOptimize(out0.data());
        pos += kBlock;
        if (pos >= n) pos = 0;
    }
    Report(state);
}

void BM_ProcessReplacingMusic(benchmark::State& state) {
    Plugin plug;
    ProcessMusic(state, plug);
}
BENCHMARK(BM_ProcessReplacingMusic);

// The same through Tidebloom Precise, whose spectral detector is the difference.
void BM_PreciseProcessReplacingMusic(benchmark::State& state) {
    Plugin plug(TIDEBLOOM_PRECISE_SO_PATH, "TIDEBLOOM_BENCH_PRECISE_PLUGIN");
    ProcessMusic(state, plug);
}
BENCHMARK(BM_PreciseProcessReplacingMusic);

// The same music through the double-precision callback, which hands the host's buffers to the
// effect directly: the difference to the float callback is the binding's sample conversion.
void BM_ProcessDoubleReplacingMusic(benchmark::State& state) {
    Plugin plug;
    if (!plug.Ok()) {
        state.SkipWithError("Tidebloom.so did not load");
        return;
    }
    const int n = 44100 * 2 / kBlock * kBlock;
    std::vector<float> f0, f1;
    Music(n, f0, f1, 1.0);
    std::vector<double> in0(f0.begin(), f0.end()), in1(f1.begin(), f1.end()), out0(kBlock), out1(kBlock);
    int pos = 0;
    for (auto _ : state) {
        plug.BlockDouble(in0.data() + pos, in1.data() + pos, out0.data(), out1.data());
        benchmark::DoNotOptimize(out0.data());
        pos += kBlock;
        if (pos >= n) pos = 0;
    }
    Report(state);
}
BENCHMARK(BM_ProcessDoubleReplacingMusic);

// The same music through the LV2 plug-in's run, with the host's copy into and out of the port
// buffers included (a host's ports are its own buffers).
void BM_LV2RunMusic(benchmark::State& state) {
    LV2Plugin plug;
    if (!plug.Ok()) {
        state.SkipWithError("the LV2 Tidebloom.so did not load");
        return;
    }
    const int n = 44100 * 2 / kBlock * kBlock;
    std::vector<float> in0, in1;
    Music(n, in0, in1, 1.0);
    int pos = 0;
    for (auto _ : state) {
        std::copy_n(in0.data() + pos, kBlock, plug.In(0));
        std::copy_n(in1.data() + pos, kBlock, plug.In(1));
        plug.Run();
        benchmark::DoNotOptimize(plug.Out(0));
        pos += kBlock;
        if (pos >= n) pos = 0;
    }
    Report(state);
}
BENCHMARK(BM_LV2RunMusic);

// The same music through the VST 3 plug-in's process (32 bits), which splits no block when no
// parameter changes: against BM_ProcessReplacingMusic, the cost of the VST 3 binding.
void BM_VST3ProcessMusic(benchmark::State& state) {
    VST3Plugin plug;
    ProcessMusic(state, plug);
}
BENCHMARK(BM_VST3ProcessMusic);

// The same music through the CLAP plug-in's process (32-bit buffers, no events), to set beside
// BM_ProcessReplacingMusic: the two bindings drive the same signal path.
void BM_CLAPProcessMusic(benchmark::State& state) {
    CLAPPlugin plug;
    ProcessMusic(state, plug);
}
BENCHMARK(BM_CLAPProcessMusic);

void BM_ProcessReplacingSilenceAfterBurst(benchmark::State& state) {
    Plugin plug;
    if (!plug.Ok()) {
        state.SkipWithError("Tidebloom.so did not load");
        return;
    }
    // A loud second of music, then 30 s of silence: by then the detector's filters have decayed
    // through the subnormal range.
    std::vector<float> burst0, burst1, out0(kBlock), out1(kBlock);
    Music(44100, burst0, burst1, 2.0);
    for (int pos = 0; pos + kBlock <= 44100; pos += kBlock)
        plug.Block(burst0.data() + pos, burst1.data() + pos, out0.data(), out1.data());
    std::vector<float> silence0(kBlock, 0.0f), silence1(kBlock, 0.0f);
    for (int i = 0; i < 30 * 44100 / kBlock; ++i)
        plug.Block(silence0.data(), silence1.data(), out0.data(), out1.data());
    for (auto _ : state) {
        plug.Block(silence0.data(), silence1.data(), out0.data(), out1.data());
        benchmark::DoNotOptimize(out0.data());
    }
    Report(state);
}
BENCHMARK(BM_ProcessReplacingSilenceAfterBurst);

// A host scanning plug-ins: create an instance, read its record, close it, in a module already loaded.
void BM_InstantiateClose(benchmark::State& state) {
    const char* other = std::getenv("TIDEBLOOM_BENCH_PLUGIN");
    void* lib = dlopen(other && *other ? other : TIDEBLOOM_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    auto entry = lib ? reinterpret_cast<VstPluginEntryProc>(dlsym(lib, "VSTPluginMain")) : nullptr;
    if (!entry) {
        state.SkipWithError("Tidebloom.so did not load");
        if (lib) dlclose(lib);
        return;
    }
    for (auto _ : state) {
        AEffect* fx = entry(BenchHost);
        if (!fx) {
            state.SkipWithError("VSTPluginMain returned no effect");
            break;
        }
        benchmark::DoNotOptimize(fx->flags);
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    }
    dlclose(lib);
}
BENCHMARK(BM_InstantiateClose)->Unit(benchmark::kMicrosecond);

// The whole scan of one module: dlopen, create, close, dlclose.
void BM_LoadScanUnload(benchmark::State& state) {
    const char* other = std::getenv("TIDEBLOOM_BENCH_PLUGIN");
    const char* path = other && *other ? other : TIDEBLOOM_SO_PATH;
    for (auto _ : state) {
        void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        auto entry = lib ? reinterpret_cast<VstPluginEntryProc>(dlsym(lib, "VSTPluginMain")) : nullptr;
        AEffect* fx = entry ? entry(BenchHost) : nullptr;
        if (!fx) {
            state.SkipWithError("Tidebloom.so did not load");
            if (lib) dlclose(lib);
            break;
        }
        benchmark::DoNotOptimize(fx->flags);
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        dlclose(lib);
    }
}
BENCHMARK(BM_LoadScanUnload)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
