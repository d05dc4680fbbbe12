// Tidebloom's editor bound to the effect, driven through the effect record by the in-process test host
// and through the editor's own mouse entry points (no window: these need no X display). What it draws
// is checked against the compiled-in pictures composed pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Graphics/IKnobMultiControlCap.h"
#include "framework/editor/IControls_Bitmap.h"
#include "framework/platform/linux/IGraphicsLinux.h"
#include "framework/raster/Raster_PNGDeferred.h"
#include "tests/Graphics/editor/EditorSession.h"

namespace {

// A host value reaches the knob's frame at the editor's next redraw, not before: frame (int)(119 v) + 1.
TEST(TidebloomEditor, HostValuesMoveTheKnobsAtTheNextRedraw) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    s.DrawAll();
    s.DrawAll();
    // Defaults: Sensitivity 0.7, Time 0.5, Depth 0.75, Vol 1.0 (of 0..2: 0.5).
    const int defaults[] = {84, 60, 90, 60};
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        SCOPED_TRACE(kTidebloomKnobs[i].label);
        EXPECT_EQ(KnobAreaWrong(s, kTidebloomKnobs[i], defaults[i]), "");
    }
    struct Case {
        int param;
        float value;
        int frame;
    };
    const Case cases[] = {{kTime, 0.25f, 30},       {kTime, 1.0f, 120},    {kTime, 0.0f, 1},
                          {kSensitivity, 0.5f, 60}, {kDepth, 0.999f, 119}, {kVol, 0.1f, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + " " + std::to_string(c.value));
        const IRECT before = *s.gui->GetControl(1 + c.param)->GetRECT();
        s.host.SetParameter(c.param, c.value);
        IRECT dirty;
        ASSERT_TRUE(s.gui->IsDirty(&dirty));
        EXPECT_EQ(dirty, before);
        s.gui->Draw(&dirty);
        EXPECT_EQ(KnobAreaWrong(s, KnobOf(c.param), c.frame), "");
        s.DrawAll(); // a changed control is drawn once more; then all are clean again
    }
}

// Dragging a knob up changes its parameter by the distance over (frame height x gearing 4), and the host
// hears begin, automation and end of the gesture for that parameter.
TEST(TidebloomEditor, DraggingAKnobAutomatesTheHost) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    const TidebloomKnobLayout& time = KnobOf(kTime);
    s.host.ClearCalls();
    IMouseMod left(true);
    s.gui->OnMouseDown(time.anchorX, time.anchorY, &left);
    for (int step = 1; step <= 7; ++step) s.gui->OnMouseDrag(time.anchorX, time.anchorY - 8 * step, &left);
    s.gui->OnMouseUp(time.anchorX, time.anchorY - 56, &left);
    // 56 pixels up on a 112-pixel knob with gearing 4: 0.5 + 56 / 112 / 4.
    EXPECT_FLOAT_EQ(s.host.GetParameter(kTime), 0.625f);
    const std::vector<TestHost::Call> calls = s.host.Calls();
    ASSERT_GE(calls.size(), 9u);
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.front().index, kTime);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(calls.back().index, kTime);
    const std::vector<TestHost::Call> automated = s.host.Calls(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 7u);
    for (size_t i = 0; i < automated.size(); ++i) {
        EXPECT_EQ(automated[i].index, kTime);
        EXPECT_FLOAT_EQ(automated[i].opt, 0.5f + 8.0f * static_cast<float>(i + 1) / 112.0f / 4.0f);
    }
    s.DrawAll();
    EXPECT_EQ(KnobAreaWrong(s, time, 75), ""); // (int)(119 x 0.625) + 1
}

// Each click on the switch toggles OnOff, and with it the latency the host is told: 1362 samples at the
// default Depth, 0 when off. Off shows frame 1, on frame 2.
TEST(TidebloomEditor, TheSwitchTogglesOnOffAndTheLatency) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    EXPECT_EQ(s.fx->initialDelay, 1362);
    s.DrawAll();
    EXPECT_EQ(SwitchAreaWrong(s, 2), "");
    const LayoutRect r = SwitchRect();
    const int cx = (r.l + r.r) / 2, cy = (r.t + r.b) / 2;
    for (int click = 1; click <= 4; ++click) {
        SCOPED_TRACE(click);
        s.host.ClearCalls();
        s.Click(cx, cy);
        const bool on = click % 2 == 0;
        EXPECT_EQ(s.host.GetParameter(kOnOff), on ? 1.0f : 0.0f);
        EXPECT_EQ(s.fx->initialDelay, on ? 1362 : 0);
        EXPECT_EQ(s.host.Calls(audioMasterIOChanged).size(), 1u);
        EXPECT_EQ(s.host.Calls(audioMasterBeginEdit).size(), 1u);
        EXPECT_EQ(s.host.Calls(audioMasterEndEdit).size(), 1u);
        s.DrawAll();
        EXPECT_EQ(SwitchAreaWrong(s, on ? 2 : 1), "");
    }
}

// Creating the effect decodes no picture (a host scanning plug-ins pays nothing for them) and opens
// no window; without a display the editor still reports its size, refuses to open and draws nothing.
// The first redraw decodes what it draws.
TEST(TidebloomEditor, WithoutADisplayNothingOpensAndNothingIsDrawn) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    {
        Session s;
        ASSERT_NE(s.gui, nullptr);
        auto* x11 = dynamic_cast<IGraphicsLinux*>(s.gui);
        ASSERT_NE(x11, nullptr);
        std::vector<const IBitmap*> pictures = {
            static_cast<IBitmapControl*>(s.gui->GetControl(0))->GetBitmap(),
            static_cast<IBitmapControl*>(s.gui->GetControl(kSwitchControl))->GetBitmap()};
        for (int i = 1; i <= kTidebloomNumKnobs; ++i) {
            auto* knob = static_cast<IKnobMultiControlCap*>(s.gui->GetControl(i));
            pictures.push_back(knob->GetBitmap());
            pictures.push_back(knob->GetCaptionBitmap());
        }
        for (const IBitmap* bm : pictures) {
            auto* deferred = dynamic_cast<Raster_DeferredPNGBitmap*>(bm->mData);
            ASSERT_NE(deferred, nullptr);
            EXPECT_FALSE(deferred->IsDecoded());
        }
        ERect* rect = nullptr;
        ASSERT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect->right, kTidebloomEditorWidth);
        EXPECT_EQ(rect->bottom, kTidebloomEditorHeight);
        EXPECT_EQ(s.host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t{0x200001})), 0);
        EXPECT_EQ(s.gui->GetWindow(), nullptr);
        for (int i = 0; i < 3; ++i) s.host.Dispatch(effEditIdle);
        EXPECT_EQ(x11->FramesDrawn(), 0u);
        EXPECT_EQ(s.host.Dispatch(effEditClose), 1);

        s.DrawAll(); // off-screen only
        EXPECT_TRUE(dynamic_cast<Raster_DeferredPNGBitmap*>(
                        static_cast<IBitmapControl*>(s.gui->GetControl(0))->GetBitmap()->mData)
                        ->IsDecoded());
        EXPECT_EQ(x11->FramesDrawn(), 0u);
    }
    if (display) setenv("DISPLAY", saved.c_str(), 1);
}

} // namespace
