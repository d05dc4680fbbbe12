// The X11 window host's costs, on a private Xvfb (1280 x 1024 x 24, MIT-SHM offered):
// - OpenToFirstFrame: effEditOpen until the first frame is on the screen (idle calls back to back).
// - ScreenCopy/<area>/<shm>/<scale>: one screen copy of the whole 555 x 306 editor or of one 48 x 48 knob,
//   through shared memory or PutImage, at scale 1 or 2, each ended by a round trip (the server has
//   the picture).
// - IdleWith1000Motions/<drag>: one effEditIdle with 1,000 pointer motions queued (a knob drag, or plain
//   movement), including whatever frame is due.
// - IdleCpuPerSecond: an open editor idled every 40 ms for 2 s with nothing changing: CPU time of this
//   process per second (cpu_percent) and frames drawn (frames, expected 0).
#include <benchmark/benchmark.h>
#include <time.h>
#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>

#include "framework/platform/linux/X11ScreenCopy.h"
#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Blit.h"
#include "tests/support/x11/X11Session.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

using E = X11TestEffect;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

void BM_OpenToFirstFrame(benchmark::State& state) {
    X11Session s(TestDisplay());
    for (auto _ : state) {
        const uint64_t frames = s.Gui()->FramesDrawn();
        if (!s.Open()) {
            state.SkipWithError("effEditOpen failed");
            break;
        }
        while (s.Gui()->FramesDrawn() == frames) s.host.Dispatch(effEditIdle);
        TestDisplay().Sync();
        state.PauseTiming();
        s.Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_ScreenCopy(benchmark::State& state) {
    const bool full = state.range(0) != 0, shm = state.range(1) != 0;
    const int scale = static_cast<int>(state.range(2));
    const int w = 555, h = 306;
    std::unique_ptr<X11Connection> conn = X11Connection::Open();
    X11TestDisplay& d = TestDisplay();
    const xcb_window_t parent = d.MakeParent(0, 0, w * scale, h * scale);
    X11PixelFormat format;
    if (!conn || !conn->PixelFormatOf(conn->Screen()->root_visual, &format)) {
        state.SkipWithError("no X server");
        return;
    }
    Raster_SysBitmap bitmap(w, h);
    Raster_Clear(&bitmap, 0xFF336699u);
    X11ScreenCopy copy;
    copy.Init(conn.get(), parent, format, w, h, scale, shm);
    if (copy.UsesShm() != shm) {
        state.SkipWithError("shared memory not as asked");
        return;
    }
    const IRECT area = full ? IRECT(0, 0, w, h) : IRECT(100, 100, 148, 148);
    for (auto _ : state) {
        copy.Copy(&bitmap, area);
        conn->Sync();
        // The completion event, as the editor's idle call takes it.
        while (xcb_generic_event_t* ev = conn->Poll()) {
            copy.OnEvent(ev);
            std::free(ev);
        }
    }
    state.SetItemsProcessed(state.iterations() * area.W() * area.H());
    copy.Release();
    conn.reset();
    d.Destroy(parent);
}
BENCHMARK(BM_ScreenCopy)
    ->ArgNames({"full", "shm", "scale"})
    ->ArgsProduct({{1, 0}, {1, 0}, {1, 2}})
    ->Unit(benchmark::kMicrosecond);

void BM_IdleWith1000Motions(benchmark::State& state) {
    const bool drag = state.range(0) != 0;
    X11Session s(TestDisplay());
    if (!s.Open()) {
        state.SkipWithError("effEditOpen failed");
        return;
    }
    while (s.Gui()->FramesDrawn() == 0) s.host.Dispatch(effEditIdle);
    X11TestDisplay& d = TestDisplay();
    const int x = s.RootX((E::kGainRect.L + E::kGainRect.R) / 2), y = s.RootY(E::kGainRect.T + 24);
    d.MoveTo(x, y);
    if (drag) d.Button(1, true);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 1000; ++i)
            xcb_test_fake_input(d.Conn(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, d.Root(),
                                static_cast<int16_t>(x), static_cast<int16_t>(y - (i % 2)), 0);
        d.Sync();
        state.ResumeTiming();
        s.host.Dispatch(effEditIdle);
    }
    if (drag) d.Button(1, false);
    s.Idle(1);
}
BENCHMARK(BM_IdleWith1000Motions)->ArgName("drag")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_IdleCpuPerSecond(benchmark::State& state) {
    X11Session s(TestDisplay());
    if (!s.Open()) {
        state.SkipWithError("effEditOpen failed");
        return;
    }
    // Past the first frames (a changed control is drawn twice).
    s.Idle(10, 40);
    double cpu = 0.0, wall = 0.0;
    uint64_t frames = 0;
    for (auto _ : state) {
        const uint64_t f0 = s.Gui()->FramesDrawn();
        const double c0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 50; ++i) {
            s.host.Dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        cpu += CpuSeconds() - c0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        frames += s.Gui()->FramesDrawn() - f0;
    }
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["frames"] = static_cast<double>(frames);
}
BENCHMARK(BM_IdleCpuPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    XvfbServer server;
    std::string error;
    if (!server.Start(24, true, &error)) {
        std::fprintf(stderr, "bench_platform_x11: %s\n", error.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
