// Parameter binding in both directions, and the dirty union and drawing modes.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/editor/EditorStores.h"
#include "framework/raster/Raster_Bitmap.h"

#include "tests/support/editor/EditorFixture.h"

namespace {

using Log = std::vector<std::string>;

TEST(Binding, AttachFixesDefaults) {
    EditorFixture f;
    f.plug.GetParam(RecordingPlug::kGain)->Set(0.25);
    f.plug.GetParam(RecordingPlug::kSteps)->Set(4);
    ProbeControl* gain = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "gain");
    ProbeControl* steps = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kSteps, "steps");
    ProbeControl* none = f.AddProbe(IRECT(0, 0, 10, 10), -1, "none");
    f.Attach();
    EXPECT_EQ(f.plug.GetGUI(), f.gui);
    EXPECT_NE(f.gui->GetDrawBitmap(), nullptr);
    EXPECT_EQ(gain->GetValue(), 0.25);
    EXPECT_EQ(gain->GetDefaultValue(), 0.25);
    EXPECT_EQ(steps->GetValue(), 0.4);
    EXPECT_EQ(steps->GetDefaultValue(), 0.4);
    EXPECT_EQ(none->GetDefaultValue(), -1.0);
}

TEST(Binding, AttachingAgainReplacesTheEditor) {
    RecordingPlug plug;
    plug.AttachGraphics(nullptr);
    EXPECT_EQ(plug.GetGUI(), nullptr);
    auto* first = new IGraphicsHeadless(&plug, 10, 10);
    auto* second = new IGraphicsHeadless(&plug, 20, 20);
    EXPECT_EQ(EditorStores::GetCounts().mEditors, 2);
    plug.AttachGraphics(first);
    plug.AttachGraphics(first); // the same one again: kept
    EXPECT_EQ(plug.GetGUI(), first);
    plug.AttachGraphics(second); // the first is deleted, not leaked
    EXPECT_EQ(plug.GetGUI(), second);
    EXPECT_EQ(EditorStores::GetCounts().mEditors, 1);
}

TEST(Binding, ValuesFromPlugArriveOnTheEditorsThread) {
    EditorFixture f;
    ProbeControl* a = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "a");
    ProbeControl* b = f.AddProbe(IRECT(20, 0, 30, 10), RecordingPlug::kSteps, "b");
    ProbeControl* aux = f.AddProbe(IRECT(40, 0, 50, 10), RecordingPlug::kGain, "aux");
    aux->AddAuxParam(RecordingPlug::kSteps);
    f.Attach();
    f.Settle();

    // Handed over only: nothing moves until an entry point of the editor's thread.
    f.gui->SetParameterFromPlug(RecordingPlug::kGain, 0.1, true);
    f.gui->SetParameterFromPlug(RecordingPlug::kGain, 0.7, true);   // the latest wins
    f.gui->SetParameterFromPlug(RecordingPlug::kSteps, 8.0, false); // plain, converted: 0.8
    f.gui->SetParameterFromPlug(-1, 0.5, true);                     // ignored
    f.gui->SetParameterFromPlug(RecordingPlug::kNumParams, 0.5, true);
    f.gui->SetParameterFromPlug(RecordingPlug::kGain, std::nan(""), true);
    EXPECT_EQ(a->GetValue(), 0.5);
    EXPECT_FALSE(a->IsDirty());

    IRECT r;
    EXPECT_TRUE(f.gui->IsDirty(&r));
    EXPECT_EQ(a->GetValue(), 0.7);
    EXPECT_EQ(b->GetValue(), 0.8);
    // Reached twice: as main parameter (Gain) and as aux parameter (Steps).
    EXPECT_EQ(aux->GetValue(), 0.7);
    EXPECT_EQ(aux->GetAuxParam(0)->mValue, 0.8);
    EXPECT_EQ(r, IRECT(0, 0, 50, 10));
    // Nothing goes back to the plug-in.
    EXPECT_TRUE(f.plug.mEvents.empty());

    // Applied once: a second entry finds nothing new.
    a->SetClean();
    a->SetClean();
    f.gui->ApplyParamValuesFromPlug();
    EXPECT_FALSE(a->IsDirty());
}

TEST(Binding, UserValuesSupersedeOlderHostValues) {
    EditorFixture f;
    ProbeControl* dragged = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "dragged");
    ProbeControl* twin = f.AddProbe(IRECT(20, 0, 30, 10), RecordingPlug::kGain, "twin");
    f.Attach();
    f.Settle();
    // The host sets 0.2 after the editor's thread last applied values but before the user's value
    // reaches the plug-in: the user's value is the later one, in the parameter and on every control.
    f.gui->SetParameterFromPlug(RecordingPlug::kGain, 0.2, true);
    dragged->SetValueFromUserInput(0.7);
    IRECT r;
    f.gui->IsDirty(&r);
    EXPECT_EQ(dragged->GetValue(), 0.7);
    EXPECT_EQ(twin->GetValue(), 0.7);
    EXPECT_DOUBLE_EQ(f.plug.GetParam(RecordingPlug::kGain)->Value(), 0.7);
    EXPECT_EQ(f.plug.Events("automate"), (Log{"automate 0 0.700000"})); // the twin sends nothing back
}

TEST(Binding, RedrawParamControlsAndPresets) {
    EditorFixture f;
    ProbeControl* mode = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kMode, "mode");
    f.Attach();
    f.plug.GetParam(RecordingPlug::kMode)->Set(2);
    f.plug.RedrawParamControls();
    f.gui->ApplyParamValuesFromPlug();
    EXPECT_EQ(mode->GetValue(), 1.0);
}

TEST(Binding, ControlLookupsByIndexAndParameter) {
    EditorFixture f;
    ProbeControl* a = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "a");
    ProbeControl* b = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "b");
    ProbeControl* c = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kLevel, "c");
    f.Attach();
    f.Settle();

    f.gui->SetControlFromPlug(2, 0.9);
    f.gui->SetControlFromPlug(3, 0.1);  // outside: nothing
    f.gui->SetControlFromPlug(-1, 0.1); // outside: nothing
    EXPECT_EQ(c->GetValue(), 0.9);
    EXPECT_TRUE(f.plug.mEvents.empty());

    f.gui->SetParameterFromGUI(RecordingPlug::kGain, 0.3);
    EXPECT_EQ(a->GetValue(), 0.3);
    EXPECT_EQ(b->GetValue(), 0.3);
    EXPECT_EQ(f.plug.Events("automate").size(), 2u);

    // Clamp in plain values (Level -12..12): -6..6 is 0.25..0.75.
    f.gui->ClampControl(RecordingPlug::kLevel, -6.0, 6.0, false);
    EXPECT_EQ(c->GetClampLo(), 0.25);
    EXPECT_EQ(c->GetClampHi(), 0.75);
    EXPECT_EQ(c->GetValue(), 0.9); // until the next SetDirty
    c->SetDirty(false);
    EXPECT_EQ(c->GetValue(), 0.75);
    f.gui->ClampControl(RecordingPlug::kGain, 0.1, 0.2, true);
    EXPECT_EQ(a->GetClampHi(), 0.2);
    EXPECT_EQ(b->GetClampLo(), 0.1);

    f.gui->HideControl(RecordingPlug::kGain, true);
    EXPECT_TRUE(a->IsHidden());
    EXPECT_TRUE(b->IsHidden());
    EXPECT_FALSE(c->IsHidden());
    f.gui->GrayOutControl(RecordingPlug::kLevel, true);
    EXPECT_TRUE(c->IsGrayed());
    EXPECT_FALSE(a->IsGrayed());

    f.gui->AssignParamNameToolTips();
    EXPECT_STREQ(a->GetTooltip(), "Gain");
    EXPECT_STREQ(c->GetTooltip(), "Level");
}

TEST(Binding, AttachingBackgrounds) {
    EditorFixture f(120, 80);
    ProbeControl* first = f.AddProbe(IRECT(0, 0, 10, 10), -1, "first");
    const IColor colour(255, 1, 2, 3);
    f.gui->AttachPanelBackground(&colour);
    EXPECT_EQ(f.gui->NControls(), 2);
    EXPECT_EQ(f.gui->GetControl(1), first);
    EXPECT_EQ(*f.gui->GetControl(0)->GetRECT(), IRECT(0, 0, 120, 80));
    EXPECT_EQ(f.gui->AttachControl(nullptr), -1);
    EXPECT_EQ(f.gui->AttachControl(new ProbeControl(&f.plug, IRECT(), -1, "x", nullptr)), 2);
}

// ---- Dirty union and drawing ----

TEST(DrawCycle, DirtyUnion) {
    struct Case {
        std::vector<IRECT> dirty;
        IRECT expected;
    };
    const Case cases[] = {
        {{IRECT(10, 10, 20, 20), IRECT(30, 5, 40, 15)}, IRECT(10, 5, 40, 20)},
        {{IRECT(10, 10, 20, 20), IRECT()}, IRECT(10, 10, 20, 20)}, // an all-zero rectangle adds nothing
        {{IRECT(), IRECT(3, 4, 5, 6)}, IRECT(3, 4, 5, 6)},
        {{}, IRECT()},
    };
    for (const Case& c : cases) {
        EditorFixture f;
        std::vector<ProbeControl*> probes;
        for (const IRECT& r : c.dirty) probes.push_back(f.AddProbe(r, -1, "p"));
        f.AddProbe(IRECT(0, 0, 200, 100), -1, "clean");
        f.Attach();
        f.Settle();
        for (ProbeControl* p : probes) p->SetDirty(false);
        IRECT r;
        EXPECT_EQ(f.gui->IsDirty(&r), !c.dirty.empty());
        EXPECT_EQ(r, c.expected);
        // IsDirty cleans nothing.
        IRECT again;
        EXPECT_EQ(f.gui->IsDirty(&again), !c.dirty.empty());
    }
}

struct Scene : EditorFixture {
    ProbeControl* bg;
    ProbeControl* a;
    ProbeControl* b;
    ProbeControl* hidden;
    Scene() {
        bg = AddProbe(IRECT(0, 0, 200, 100), -1, "bg");
        a = AddProbe(IRECT(50, 10, 90, 50), -1, "a");
        b = AddProbe(IRECT(10, 20, 50, 60), -1, "b"); // its right edge touches a's left edge
        hidden = AddProbe(IRECT(150, 10, 190, 50), -1, "hidden");
        Attach();
        Settle();
        hidden->Hide(true);
        hidden->SetClean();
        hidden->SetClean();
    }
};

TEST(DrawCycle, StrictDrawsEveryVisibleControl) {
    Scene f;
    f.a->SetDirty(false);
    f.hidden->SetDirty(false);
    IRECT r(10, 10, 50, 50);
    EXPECT_TRUE(f.gui->Draw(&r));
    EXPECT_EQ(f.log, (Log{"bg draw", "a draw", "b draw"}));
    EXPECT_EQ(*f.gui->GetDrawRECT(), r);
    EXPECT_FALSE(f.hidden->IsDirty()); // cleaned though not drawn
    EXPECT_EQ(f.gui->NFramesDrawn(), 3);
    EXPECT_EQ(f.gui->LastScreenRect(), r);
}

TEST(DrawCycle, NonStrictWithDirtyBackground) {
    Scene f;
    f.gui->SetStrictDrawing(false); // marks everything dirty
    f.hidden->SetDirty(false);
    IRECT r(0, 0, 200, 100);
    f.gui->Draw(&r);
    EXPECT_EQ(f.log, (Log{"bg draw", "a draw", "b draw"}));
    EXPECT_EQ(*f.gui->GetDrawRECT(), IRECT(0, 0, 200, 100));
    EXPECT_TRUE(f.hidden->IsDirty()); // hidden controls stay dirty
    EXPECT_FALSE(f.a->IsDirty());
}

TEST(DrawCycle, NonStrictRedrawsDirtyControlsAndWhatOverlapsThem) {
    Scene f;
    f.gui->SetStrictDrawing(false);
    IRECT all(0, 0, 200, 100);
    f.gui->Draw(&all);
    f.log.clear();
    for (int i = 0; i < f.gui->NControls(); ++i) f.gui->GetControl(i)->SetClean();

    f.a->SetDirty(false);
    f.gui->Draw(&all);
    // a's rectangle: the background and b (touching a's left edge counts) are drawn with it.
    EXPECT_EQ(f.log, (Log{"bg draw", "a draw", "b draw"}));
    EXPECT_EQ(*f.gui->GetDrawRECT(), IRECT(50, 10, 90, 50));

    // b's rectangle: a lies beyond b's right edge and is not drawn.
    f.log.clear();
    f.b->SetDirty(false);
    f.gui->Draw(&all);
    EXPECT_EQ(f.log, (Log{"bg draw", "b draw"}));
    EXPECT_FALSE(f.a->IsDirty());

    // A dirty hidden control: what lies under it is redrawn, the control is not, and it is cleaned.
    f.log.clear();
    f.hidden->SetDirty(false);
    f.gui->Draw(&all);
    EXPECT_EQ(f.log, (Log{"bg draw"}));
    EXPECT_FALSE(f.hidden->IsDirty());

    // A control with an empty rectangle overlaps nothing but is drawn itself.
    f.log.clear();
    ProbeControl* empty = f.AddProbe(IRECT(), -1, "empty");
    f.gui->Draw(&all);
    EXPECT_EQ(f.log, (Log{"empty draw"}));
    EXPECT_FALSE(empty->IsDirty());
}

TEST(DrawCycle, NoControls) {
    EditorFixture f;
    f.Attach();
    IRECT r(0, 0, 10, 10);
    EXPECT_TRUE(f.gui->Draw(&r));
    EXPECT_EQ(f.gui->NFramesDrawn(), 0);
    EXPECT_FALSE(f.gui->IsDirty(&r));
}

TEST(DrawCycle, Resize) {
    EditorFixture f(100, 50);
    f.Attach();
    f.gui->Resize(120, 60);
    EXPECT_EQ(f.gui->Width(), 120);
    EXPECT_EQ(f.gui->GetDrawBitmap()->getWidth(), 120);
    EXPECT_EQ(f.gui->GetDrawBitmap()->getHeight(), 60);
    f.gui->Resize(120, 60); // unchanged: the window host does nothing
    EXPECT_EQ(f.plug.mEvents, (Log{"resize 120 60"}));
}

} // namespace
