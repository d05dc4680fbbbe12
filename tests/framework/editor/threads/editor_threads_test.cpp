// The editor's thread draws, hit-tests and drags while the host automates every parameter, switches
// programs, loads chunks and sets text values on one thread and processes audio on another.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "framework/editor/IControls_Knob.h"
#include "tests/support/editor/EditorTestEffect.h"
#include "tests/support/vst2/TestHost.h"

namespace {

using E = EditorTestEffect;

TEST(EditorThreads, DrawingWhileTheHostAutomates) {
    TestHost host;
    AEffect* effect = host.Load(E::Entry);
    ASSERT_NE(effect, nullptr);
    host.Open(44100.0f, 64);
    E* plug = E::From(effect);
    IGraphicsHeadless* gui = plug->Headless();
    const std::vector<uint8_t> chunk = host.GetChunk(false);
    int parent = 0;
    ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, &parent), 1);

    constexpr int kUiRounds = 400;
    std::atomic<bool> stop{false};

    std::thread automation([&] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        char text[16];
        for (int round = 0; !stop; ++round) {
            for (int p = 0; p < E::kNumParams; ++p) host.SetParameter(p, value(rng));
            if (round % 50 == 0) host.Dispatch(effSetProgram, 0, (round / 50) % 3);
            if (round % 70 == 0) host.SetChunk(chunk, false);
            if (round % 30 == 0) {
                std::snprintf(text, sizeof(text), "%.2f", value(rng) * 10.0f);
                host.Dispatch(effString2Parameter, E::kTime, 0, text);
            }
        }
    });
    std::thread audio([&] {
        std::vector<float> in(64, 0.25f), outL(64), outR(64);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        while (!stop) host.ProcessReplacing(ins, outs, 64);
    });

    // The editor's thread: the host's idle calls (the redraw cycle), full redraws, and mouse gestures on
    // the knob, the radio buttons and the switch.
    IMouseMod mod(true);
    const int kx = E::kKnobX + 20, ky = E::kKnobY + 20;
    for (int round = 0; round < kUiRounds; ++round) {
        host.Dispatch(effEditIdle);
        gui->OnMouseDown(kx, ky, &mod);
        for (int d = 1; d <= 5; ++d) gui->OnMouseDrag(kx, ky - d * (round % 2 ? 1 : -1), &mod);
        gui->OnMouseUp(kx, ky, &mod);
        gui->OnMouseDown(205, 40 + (round % 3) * 40, &mod);
        gui->OnMouseUp(205, 40 + (round % 3) * 40, &mod);
        if (round % 10 == 0) {
            gui->OnMouseDown(E::kSwitchX + 1, E::kSwitchY + 1, &mod);
            gui->OnMouseUp(E::kSwitchX + 1, E::kSwitchY + 1, &mod);
        }
        IRECT all(0, 0, E::kWidth, E::kHeight);
        if (round % 25 == 0) gui->Draw(&all);
        IRECT dirty;
        gui->IsDirty(&dirty);
        gui->GetMouseControlIdx(kx, ky);
    }
    stop = true;
    automation.join();
    audio.join();

    // Whoever wrote last, the knob shows what the parameter holds once the editor's thread catches up.
    host.Dispatch(effEditIdle);
    auto* knob = static_cast<IKnobMultiControl*>(gui->GetControl(E::kKnob));
    EXPECT_EQ(knob->GetValue(), plug->GetParam(E::kGain)->GetNormalized());
    EXPECT_GT(gui->NFramesDrawn(), kUiRounds / 2);
    EXPECT_EQ(host.Dispatch(effEditClose), 1);
    host.Close();
}

} // namespace
