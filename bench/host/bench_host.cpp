// How fast the host renders through Tidebloom.so (frames per second, both precisions, a few block
// sizes), synthesises the demo phrase, and decodes a bank file.
#include "host/HostDemoPhrase.h"
#include "host/HostFxFile.h"
#include "host/HostPlugin.h"
#include "host/HostRender.h"

#include <benchmark/benchmark.h>

namespace {

// Counts frames and keeps nothing.
class NullSink : public HostAudioSink {
public:
    bool Write(const double* const* channels, int frames, std::string&) override {
        benchmark::DoNotOptimize(channels[0][frames - 1]);
        return true;
    }
};

void BM_RenderTidebloom(benchmark::State& state) {
    std::string err;
    auto plugin = HostPlugin::Load(TIDEBLOOM_SO, err);
    if (!plugin) {
        state.SkipWithError(err.c_str());
        return;
    }
    HostAudio input;
    input.sampleRate = 44100;
    input.channels = HostSynthesizeDemoPhrase(44100, 2.0);
    HostRenderOptions options;
    options.blockSize = static_cast<int>(state.range(0));
    options.doublePrecision = state.range(1) != 0;
    HostChannelPlan plan;
    HostPlanChannels(2, 2, 2, false, 0, plan, err);
    if (!HostPrepareRender(*plugin, 44100, options, plan, err)) {
        state.SkipWithError(err.c_str());
        return;
    }
    NullSink sink;
    HostRenderResult result;
    for (auto _ : state) {
        if (!HostRender(*plugin, input, sink, options, plan, result, err) ||
            result.outputFrames != input.NumFrames()) {
            state.SkipWithError("the render did not produce the whole output");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * input.NumFrames());
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderTidebloom)->ArgsProduct({{64, 512, 4096}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_DemoPhrase(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(HostSynthesizeDemoPhrase(44100, 10.0));
}
BENCHMARK(BM_DemoPhrase)->Unit(benchmark::kMillisecond);

void BM_DecodeBank(benchmark::State& state) {
    HostFxBank bank;
    HostFxProgram program;
    program.params = {0.7f, 0.5f, 0.75f, 0.5f, 1.0f};
    bank.programs.assign(6, program);
    std::vector<uint8_t> bytes = HostEncodeFxb(bank);
    HostFxBank out;
    std::string err;
    for (auto _ : state) benchmark::DoNotOptimize(HostDecodeFxb(bytes.data(), bytes.size(), out, err));
}
BENCHMARK(BM_DecodeBank);

} // namespace

BENCHMARK_MAIN();
