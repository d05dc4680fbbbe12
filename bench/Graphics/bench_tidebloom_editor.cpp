// Tidebloom's editor (its controls and compiled-in pictures) on the headless platform, where the screen is
// the off-screen bitmap itself, at 100 %, 150 % and 200 % (the argument):
//   BM_FullRedraw        every control redrawn into the whole editor (strict drawing)
//   BM_KnobMovedByHost   the host moves the Time knob, then the idle tick redraws the dirty area
//   BM_ReadoutShown      the pointer moves onto the Time knob and off again, each followed by the idle
//                        tick: the readout appears over the label and the label comes back
//   BM_IdleNothingDirty  the idle tick when nothing changed (it draws nothing: frames == 0)
// Pictures are decoded before anything is timed.
#include <benchmark/benchmark.h>

#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomSizes.h"
#include "Tidebloom.h"
#include "framework/platform/linux/IGraphicsHeadless.h"

namespace {

intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

// An instance with its editor on the headless platform, open, at percent, drawn and clean.
struct Editor {
    AEffect* fx = nullptr;
    IGraphicsHeadless* gui = nullptr;

    explicit Editor(int percent) {
        fx = VSTCreateInstance(SilentHost, [](const IEffectInstanceInfo& info) -> IEffectVST* {
            auto* plug = new Tidebloom(info);
            auto* graphics = new IGraphicsHeadless(plug, kTidebloomEditorWidth, kTidebloomEditorHeight);
            TidebloomAttachControls(graphics);
            plug->AttachGraphics(graphics);
            return plug;
        });
        if (!fx) return;
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
        gui = static_cast<IGraphicsHeadless*>(static_cast<IEffectVST*>(fx->object)->GetGUI());
        gui->OpenWindow(nullptr);
        gui->SetSizePercent(percent);
        for (int i = 0; i < 3; ++i) {
            IRECT all(0, 0, gui->Width(), gui->Height());
            gui->Draw(&all);
        }
    }
    ~Editor() {
        if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    }
};

void BM_FullRedraw(benchmark::State& state) {
    Editor e(static_cast<int>(state.range(0)));
    IRECT all(0, 0, e.gui->Width(), e.gui->Height());
    for (auto _ : state) {
        e.gui->Draw(&all);
        benchmark::DoNotOptimize(e.gui->GetBits()[0]);
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(all.W()) * all.H() * state.iterations(),
                           benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_FullRedraw)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_KnobMovedByHost(benchmark::State& state) {
    Editor e(static_cast<int>(state.range(0)));
    int i = 0;
    const int before = e.gui->NFramesDrawn();
    for (auto _ : state) {
        e.gui->SetParameterFromPlug(kTime, (i++ & 1) ? 1.0 : 0.0, true);
        e.gui->HostIdle();
    }
    state.counters["frames"] = e.gui->NFramesDrawn() - before;
    state.counters["area_px"] = e.gui->LastScreenRect().W() * e.gui->LastScreenRect().H();
}
BENCHMARK(BM_KnobMovedByHost)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_ReadoutShown(benchmark::State& state) {
    const int percent = static_cast<int>(state.range(0));
    Editor e(percent);
    const TidebloomSizedLayout layout(percent);
    const TidebloomKnobLayout& time = layout.Knob(kTime);
    IMouseMod none;
    for (auto _ : state) {
        e.gui->OnMouseOver(time.anchorX, time.anchorY, &none);
        e.gui->HostIdle();
        e.gui->OnMouseOver(2, 2, &none);
        e.gui->HostIdle();
    }
    state.counters["area_px"] = e.gui->LastScreenRect().W() * e.gui->LastScreenRect().H();
}
BENCHMARK(BM_ReadoutShown)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_IdleNothingDirty(benchmark::State& state) {
    Editor e(static_cast<int>(state.range(0)));
    const int before = e.gui->NFramesDrawn();
    for (auto _ : state) e.gui->HostIdle();
    state.counters["frames"] = e.gui->NFramesDrawn() - before;
}
BENCHMARK(BM_IdleNothingDirty)->Arg(100)->Arg(200)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
