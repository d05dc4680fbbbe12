// Cost of the plug-in's single-precision audio callback (processReplacing through the effect record)
// at 44.1 kHz stereo in 512-frame blocks with the default settings, on music (also for Tidebloom
// Precise) and on the silence after a loud burst, and of the LV2 plug-in's run on the same music. Reported
// per frame and as a real-time factor (seconds of audio per second of CPU). Also what a host's plug-in scan
// costs: creating and closing an instance (BM_InstantiateClose), and loading the module around that
// (BM_LoadScanUnload).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <numbers>
#include <vector>

#include <lv2/core/lv2.h>

#include "framework/vst2/VstAbi.h"

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

// The music through processReplacing of the plug-in plug.
void ProcessMusic(benchmark::State& state, Plugin& plug) {
    if (!plug.Ok()) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    // Two seconds of music, played in a loop: like a host's freshly written buffers, the input is
    // in cache.
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
