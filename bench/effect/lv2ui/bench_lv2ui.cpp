// Tidebloom's editor as an LV2 UI beside the VST 2 plug-in's editor, each loaded from its shipped module
// (dlopen) and embedded in a window of the benchmark on a private Xvfb (1280 x 1024 x 24, MIT-SHM):
// - LV2UI_InstantiateToFirstFrame: instantiate with ui:parent, then idle calls back to back until the
//   window shows the editor (a pixel of the background is on the screen); cleanup is not timed. Every
//   instance is a new editor, so each one decodes the pictures again.
// - VST2_OpenToFirstFrame: effEditOpen of one plug-in instance until the same; effEditClose not timed.
//   The editor lives as long as the instance, so its pictures are decoded once, before the timing.
// - VST2_CreateAndOpenToFirstFrame: a new instance (effOpen) and effEditOpen until the same: the VST 2
//   counterpart of an LV2 UI instance.
// - LV2UI_IdleNothingChanging, VST2_IdleNothingChanging: one idle call of an open editor whose frames
//   are all drawn and whose values do not change.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/lv2/LV2UITestHost.h"
#include "tests/support/vst2/Conformance.h"
#include "tests/support/vst2/TestHost.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

constexpr int kW = 555, kH = 306;
// A pixel of the background, away from every control: black (the parent's colour) until the editor drew.
constexpr int kProbeX = 240, kProbeY = 290;

bool Drawn(xcb_window_t w) {
    const std::vector<uint32_t> px = TestDisplay().Image(w, kProbeX, kProbeY, 1, 1);
    return !px.empty() && (px[0] & 0xFFFFFF) != 0;
}

const LV2UI_Descriptor* UI() {
    static const LV2UILibrary sLib(TIDEBLOOM_LV2UI_SO_PATH);
    return sLib.Descriptor(0);
}

VstPluginEntryProc Vst2() {
    static const PluginLibrary sLib(TIDEBLOOM_SO_PATH);
    return sLib.PluginMain();
}

struct Parent {
    xcb_window_t w = TestDisplay().MakeParent(0, 0, kW, kH);
    ~Parent() { TestDisplay().Destroy(w); }
};

void BM_LV2UI_InstantiateToFirstFrame(benchmark::State& state) {
    Parent parent;
    LV2UITestHost host;
    for (auto _ : state) {
        if (!host.Instantiate(UI(), "urn:vendrilax:tidebloom", {.parent = parent.w})) {
            state.SkipWithError("instantiate failed");
            break;
        }
        const xcb_window_t w = static_cast<xcb_window_t>(host.Widget());
        while (!Drawn(w)) host.Idle();
        state.PauseTiming();
        host.Cleanup();
        TestDisplay().Sync();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LV2UI_InstantiateToFirstFrame)->Unit(benchmark::kMillisecond);

// The window effEditOpen made: the parent's only child.
xcb_window_t ChildOf(xcb_window_t parent) {
    xcb_connection_t* c = TestDisplay().Conn();
    xcb_query_tree_reply_t* t = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
    const xcb_window_t w = t && xcb_query_tree_children_length(t) > 0 ? xcb_query_tree_children(t)[0] : 0;
    std::free(t);
    return w;
}

void OpenToFirstFrame(TestHost& host, xcb_window_t parent, benchmark::State& state) {
    if (host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) != 1) {
        state.SkipWithError("effEditOpen failed");
        return;
    }
    const xcb_window_t w = ChildOf(parent);
    while (!Drawn(w)) host.Dispatch(effEditIdle);
}

void BM_VST2_OpenToFirstFrame(benchmark::State& state) {
    Parent parent;
    TestHost host;
    host.Load(Vst2());
    host.Open();
    OpenToFirstFrame(host, parent.w, state); // the pictures are decoded now, for the instance's life
    host.Dispatch(effEditClose);
    for (auto _ : state) {
        OpenToFirstFrame(host, parent.w, state);
        state.PauseTiming();
        host.Dispatch(effEditClose);
        TestDisplay().Sync();
        state.ResumeTiming();
    }
    host.Close();
}
BENCHMARK(BM_VST2_OpenToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_VST2_CreateAndOpenToFirstFrame(benchmark::State& state) {
    Parent parent;
    for (auto _ : state) {
        TestHost host;
        host.Load(Vst2());
        host.Open();
        OpenToFirstFrame(host, parent.w, state);
        state.PauseTiming();
        host.Dispatch(effEditClose);
        host.Close();
        TestDisplay().Sync();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_VST2_CreateAndOpenToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_LV2UI_IdleNothingChanging(benchmark::State& state) {
    Parent parent;
    LV2UITestHost host;
    if (!host.Instantiate(UI(), "urn:vendrilax:tidebloom", {.parent = parent.w})) {
        state.SkipWithError("instantiate failed");
        return;
    }
    // Past the first frames.
    host.IdleUntil([] { return false; }, 10);
    for (auto _ : state) host.Idle();
}
BENCHMARK(BM_LV2UI_IdleNothingChanging)->Unit(benchmark::kMicrosecond);

void BM_VST2_IdleNothingChanging(benchmark::State& state) {
    Parent parent;
    TestHost host;
    host.Load(Vst2());
    host.Open();
    OpenToFirstFrame(host, parent.w, state);
    for (int i = 0; i < 10; ++i) {
        host.Dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    for (auto _ : state) host.Dispatch(effEditIdle);
    host.Dispatch(effEditClose);
    host.Close();
}
BENCHMARK(BM_VST2_IdleNothingChanging)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    XvfbServer server;
    std::string error;
    if (!server.Start(24, true, &error)) {
        std::fprintf(stderr, "bench_lv2ui: %s\n", error.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
