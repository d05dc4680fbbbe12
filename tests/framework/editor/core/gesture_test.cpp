// Edit gestures: what the plug-in (and through it the host) hears around edits made with the mouse.
#include <gtest/gtest.h>

#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IControls_Knob.h"
#include "tests/support/editor/EditorFixture.h"
#include "tests/support/editor/TestPictures.h"

namespace {

using Log = std::vector<std::string>;

// Over an unbound background: a knob on Gain (10 x 10, gearing 1) showing 0.9 with its default 0.5, a
// probe on Steps, a switch on OnOff that takes double clicks as presses, and a probe on Mode whose right
// press opens the value menu (answered with "Wild").
struct GestureScene : EditorFixture {
    std::unique_ptr<Raster_MemBitmap> strip = MakeSolidPicture(10, 100, Px(9, 9, 9));
    std::unique_ptr<Raster_MemBitmap> switchStrip = MakeSolidPicture(10, 20, Px(9, 9, 9));
    ProbeControl* steps = nullptr;

    GestureScene() {
        AddProbe(IRECT(0, 0, 200, 100), -1, "bg");
        IBitmap knob(strip.get(), 10, 100, 10);
        gui->AttachControl(new IKnobMultiControl(&plug, 10, 10, RecordingPlug::kGain, &knob, kVertical, 1.0));
        steps = AddProbe(IRECT(40, 10, 60, 30), RecordingPlug::kSteps, "steps");
        IBitmap sw(switchStrip.get(), 10, 20, 2);
        auto* toggle = new ISwitchControl(&plug, 70, 10, RecordingPlug::kOnOff, &sw);
        toggle->SetDblClickAsDown(true);
        gui->AttachControl(toggle);
        AddProbe(IRECT(100, 10, 120, 30), RecordingPlug::kMode, "mode")->SetPromptDisabled(false);
        Attach();
        gui->OpenWindow(nullptr);
        gui->SetParameterFromPlug(RecordingPlug::kGain, 0.9, true);
        gui->QueueMenuAnswer({2});
        Settle();
    }
};

struct Step {
    // d: press, D: right press, m: drag, u: release, c: double click, x: close the window, t: "5" typed
    // into a text field of the Steps probe
    char what;
    int x, y;
};

TEST(Gestures, EveryEndFollowsItsBegin) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        Log expected;
    };
    const Case cases[] = {
        {"drag the knob",
         {{'d', 15, 15}, {'m', 15, 17}, {'u', 15, 17}},
         {"begin 0", "automate 0 0.700000", "change 0", "end 0"}},
        {"release over a control never pressed", {{'u', 15, 15}, {'u', 50, 20}}, {}},
        {"press the background, release over the knob", {{'d', 150, 50}, {'u', 15, 15}}, {}},
        {"double click resets the knob",
         {{'d', 15, 15}, {'u', 15, 15}, {'c', 15, 15}, {'u', 15, 15}},
         {"begin 0", "end 0", "begin 0", "automate 0 0.500000", "change 0", "end 0"}},
        {"double click as a press",
         {{'c', 75, 15}, {'u', 75, 15}},
         {"begin 2", "automate 2 0.000000", "change 2", "end 2"}},
        {"press A, then B without a release",
         {{'d', 15, 15}, {'d', 50, 20}, {'u', 50, 20}},
         {"begin 0", "end 0", "begin 3", "end 3"}},
        {"window closed mid-drag",
         {{'d', 15, 15}, {'m', 15, 17}, {'x', 0, 0}},
         {"begin 0", "automate 0 0.700000", "change 0", "end 0"}},
        {"a press that opens a menu (which takes the release)",
         {{'D', 110, 20}},
         {"begin 1", "automate 1 1.000000", "change 1", "end 1"}},
        {"a typed value is a gesture of its own; the same value again sends nothing",
         {{'t', 0, 0}, {'t', 0, 0}},
         {"begin 3", "automate 3 0.500000", "change 3", "end 3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GestureScene s;
        for (const Step& step : c.steps) {
            IMouseMod mod(step.what != 'D', step.what == 'D');
            if (step.what == 'd' || step.what == 'D')
                s.gui->OnMouseDown(step.x, step.y, &mod);
            else if (step.what == 'm')
                s.gui->OnMouseDrag(step.x, step.y, &mod);
            else if (step.what == 'u')
                s.gui->OnMouseUp(step.x, step.y, &mod);
            else if (step.what == 'c')
                s.gui->OnMouseDblClick(step.x, step.y, &mod);
            else if (step.what == 't')
                s.gui->SetFromStringAfterPrompt(s.steps, s.plug.GetParam(RecordingPlug::kSteps), "5");
            else
                s.gui->CloseWindow();
        }
        EXPECT_EQ(s.plug.mEvents, c.expected);
    }
}

} // namespace
