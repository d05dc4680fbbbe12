// The editor's redraw cycle on a layout like the effect's: a 555 x 306 editor with a background picture,
// four 120-frame filmstrip knobs (70 x 70 frames) each over a caption picture, and a two-frame switch,
// drawn through the headless platform (the screen is the off-screen bitmap itself). The pictures are made
// with raster calls and go through the picture store as the effect's do.
//   BM_FullRedraw        every control redrawn into the whole editor (strict drawing)
//   BM_OneKnobChanged    a host value moves one knob, then the idle tick redraws the dirty area
//   BM_IdleNothingDirty  the idle tick when nothing changed (it must draw nothing: frames == 0)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IControls_Knob.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/raster/raster.h"
#include "tests/support/UntypedDescription.h"

namespace {

constexpr int kWidth = 555, kHeight = 306;
constexpr int kFrames = 120, kKnob = 70;
constexpr int kKnobs = 4;
enum { kBackgroundID = 1, kKnobID, kCaptionID, kSwitchID };

uint32_t Word(int r, int g, int b, int a = 255) {
    return static_cast<uint32_t>(a) | (static_cast<uint32_t>(r) << 8) | (static_cast<uint32_t>(g) << 16) |
           (static_cast<uint32_t>(b) << 24);
}

Raster_IBitmap* MakeBackground() {
    auto* bm = new Raster_MemBitmap(kWidth, kHeight);
    Raster_GradRect(bm, 0, 0, kWidth, kHeight, 0.15f, 0.2f, 0.3f, 1.0f, 0.0004f, 0.0f, 0.0002f, 0.0f, 0.0f,
                    0.0006f, 0.0f, 0.0f, RASTER_BLEND_COPY);
    for (int i = 0; i < kKnobs; ++i)
        Raster_FillCircle(bm, 75.0f + i * 130.0f, 135.0f, 44.0f, Word(30, 35, 45), 1.0f, RASTER_BLEND_COPY,
                          true);
    return bm;
}

// A knob strip: a shaded disc with a pointer turning over 300 degrees, transparent around it.
Raster_IBitmap* MakeKnobStrip() {
    auto* bm = new Raster_MemBitmap(kKnob, kKnob * kFrames);
    Raster_Clear(bm, 0);
    const float c = kKnob / 2.0f;
    for (int f = 0; f < kFrames; ++f) {
        const float cy = f * kKnob + c;
        Raster_FillCircle(bm, c, cy, c - 2.0f, Word(90, 95, 105), 1.0f, RASTER_BLEND_COPY, true);
        Raster_FillCircle(bm, c, cy, c - 8.0f, Word(120, 125, 140), 1.0f, RASTER_BLEND_COPY, true);
        const float a = -2.618f + 5.236f * f / (kFrames - 1);
        Raster_FLine(bm, c + 8.0f * std::sin(a), cy - 8.0f * std::cos(a), c + (c - 6.0f) * std::sin(a),
                     cy - (c - 6.0f) * std::cos(a), Word(250, 200, 80), 1.0f, RASTER_BLEND_COPY, true);
    }
    return bm;
}

Raster_IBitmap* MakeCaption() {
    auto* bm = new Raster_MemBitmap(kKnob, 20);
    Raster_Clear(bm, 0);
    Raster_FillRect(bm, 4, 4, kKnob - 8, 12, Word(220, 220, 230, 200), 1.0f, RASTER_BLEND_COPY);
    return bm;
}

Raster_IBitmap* MakeSwitch() {
    auto* bm = new Raster_MemBitmap(40, 80);
    Raster_Clear(bm, 0);
    Raster_FillCircle(bm, 20, 20, 16, Word(80, 80, 80), 1.0f, RASTER_BLEND_COPY, true);
    Raster_FillCircle(bm, 20, 60, 16, Word(80, 230, 90), 1.0f, RASTER_BLEND_COPY, true);
    return bm;
}

class BenchGraphics : public IGraphicsHeadless {
public:
    using IGraphicsHeadless::IGraphicsHeadless;
    Raster_IBitmap* OSLoadBitmap(int ID, const char*) override {
        switch (ID) {
        case kBackgroundID:
            return MakeBackground();
        case kKnobID:
            return MakeKnobStrip();
        case kCaptionID:
            return MakeCaption();
        case kSwitchID:
            return MakeSwitch();
        }
        return nullptr;
    }
};

class BenchPlug : public IEffectBase {
public:
    BenchPlug() : IEffectBase(UntypedDescription<kKnobs + 1>("Bench", 0x54426e63, 1), kAPIVST2) {
        for (int i = 0; i < kKnobs; ++i) GetParam(i)->InitDouble("Knob", 0.5, 0.0, 1.0, 0.001);
        GetParam(kKnobs)->InitBool("OnOff", true);
        mGui = new BenchGraphics(this, kWidth, kHeight, 25, nullptr);
        mGui->AttachBackground(kBackgroundID, "back.png");
        IBitmap knob = mGui->LoadIBitmap(kKnobID, "knob.png", kFrames);
        IBitmap caption = mGui->LoadIBitmap(kCaptionID, "caption.png");
        for (int i = 0; i < kKnobs; ++i) {
            const int x = 40 + i * 130;
            mGui->AttachControl(new IBitmapControl(this, x, 180, &caption));
            mGui->AttachControl(new IKnobMultiControl(this, x, 100, i, &knob));
        }
        IBitmap sw = mGui->LoadIBitmap(kSwitchID, "switch.png", 2);
        mGui->AttachControl(new ISwitchControl(this, 490, 30, kKnobs, &sw));
        AttachGraphics(mGui);
        mGui->OpenWindow(nullptr);
        // Settle: the first draws clean everything.
        for (int i = 0; i < 3; ++i) mGui->HostIdle();
    }
    BenchGraphics* mGui;
};

void BM_FullRedraw(benchmark::State& state) {
    BenchPlug plug;
    IRECT all(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        plug.mGui->Draw(&all);
        benchmark::DoNotOptimize(plug.mGui->GetBits()[0]);
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(kWidth * kHeight) * state.iterations(),
                           benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

void BM_OneKnobChanged(benchmark::State& state) {
    BenchPlug plug;
    int i = 0;
    const int before = plug.mGui->NFramesDrawn();
    for (auto _ : state) {
        // Alternate between frames 1 and 120, so every tick has a change to show.
        plug.mGui->SetParameterFromPlug(1, (i++ & 1) ? 1.0 : 0.0, true);
        plug.mGui->HostIdle();
    }
    state.counters["frames"] = plug.mGui->NFramesDrawn() - before;
    const IRECT& r = plug.mGui->LastScreenRect();
    state.counters["area_px"] = r.W() * r.H();
}
BENCHMARK(BM_OneKnobChanged)->Unit(benchmark::kMicrosecond);

void BM_IdleNothingDirty(benchmark::State& state) {
    BenchPlug plug;
    const int before = plug.mGui->NFramesDrawn();
    for (auto _ : state) plug.mGui->HostIdle();
    state.counters["frames"] = plug.mGui->NFramesDrawn() - before;
}
BENCHMARK(BM_IdleNothingDirty)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
