#include <gtest/gtest.h>

#include "framework/editor/IControls_Text.h"
#include "tests/support/editor/EditorFixture.h"

namespace {

// The dirty flag after each of n draw-and-clean cycles.
std::vector<bool> DirtyOverCycles(IControl* c, int n) {
    std::vector<bool> out;
    for (int i = 0; i < n; ++i) {
        c->SetClean();
        out.push_back(c->IsDirty());
    }
    return out;
}

TEST(Control, ValueFromPlug) {
    EditorFixture f;
    ProbeControl* c = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "c");
    EXPECT_EQ(c->GetDefaultValue(), -1.0);
    EXPECT_TRUE(c->IsDirty()); // dirty from construction

    // The first value becomes value and default and marks nothing more.
    c->SetValueFromPlug(0.3);
    EXPECT_EQ(c->GetValue(), 0.3);
    EXPECT_EQ(c->GetDefaultValue(), 0.3);
    EXPECT_FALSE(c->IsRedrawPending());
    EXPECT_EQ(DirtyOverCycles(c, 2), (std::vector<bool>{false, false}));

    // An equal value changes nothing; a different one dirties two draws and is not sent back.
    c->SetValueFromPlug(0.3);
    EXPECT_FALSE(c->IsDirty());
    c->SetValueFromPlug(0.6);
    EXPECT_EQ(c->GetValue(), 0.6);
    EXPECT_EQ(c->GetDefaultValue(), 0.3);
    EXPECT_TRUE(c->IsDirty());
    EXPECT_EQ(DirtyOverCycles(c, 3), (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(f.plug.mEvents.empty());
}

TEST(Control, ValueFromUserAndClamp) {
    EditorFixture f;
    ProbeControl* c = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "c");
    c->SetClamp(0.2, 0.8);
    struct Case {
        double in, stored;
    };
    const Case cases[] = {{0.9, 0.8}, {0.1, 0.2}, {0.5, 0.5}};
    for (const Case& k : cases) {
        f.plug.mEvents.clear();
        c->SetValueFromUserInput(k.in);
        EXPECT_EQ(c->GetValue(), k.stored);
        char expected[64];
        std::snprintf(expected, sizeof(expected), "automate 0 %f", k.stored);
        EXPECT_EQ(f.plug.mEvents, (std::vector<std::string>{expected, "change 0"}));
        EXPECT_EQ(DirtyOverCycles(c, 2), (std::vector<bool>{true, false}));
    }
    // The same value again sends nothing.
    f.plug.mEvents.clear();
    c->SetValueFromUserInput(0.5);
    EXPECT_TRUE(f.plug.mEvents.empty());
}

TEST(Control, DoubleClickRestoresDefault) {
    EditorFixture f;
    ProbeControl* bound = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "bound");
    ProbeControl* unbound = f.AddProbe(IRECT(10, 0, 20, 10), -1, "unbound");
    f.Attach(); // Gain's default 0.5 becomes the control's default
    EXPECT_EQ(bound->GetDefaultValue(), 0.5);
    bound->SetValueFromUserInput(0.9);
    f.plug.mEvents.clear();
    IMouseMod mod(true);
    bound->OnMouseDblClick(1, 1, &mod);
    EXPECT_EQ(bound->GetValue(), 0.5);
    EXPECT_EQ(f.plug.mEvents, (std::vector<std::string>{"automate 0 0.500000", "change 0"}));
    EXPECT_DOUBLE_EQ(f.plug.GetParam(RecordingPlug::kGain)->Value(), 0.5);

    unbound->OnMouseDblClick(11, 1, &mod);
    EXPECT_EQ(unbound->GetDefaultValue(), -1.0);
    EXPECT_EQ(unbound->GetValue(), 0.0);
}

TEST(Control, HitRectangle) {
    EditorFixture f;
    ProbeControl* c = f.AddProbe(IRECT(10, 20, 30, 40), -1, "c");
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {{10, 20, true},  {29, 39, true}, {30, 25, false},
                          {15, 40, false}, {9, 25, false}, {15, 19, false}};
    for (const Case& k : cases) EXPECT_EQ(c->IsHit(k.x, k.y), k.hit) << k.x << "," << k.y;
    c->SetTargetArea(IRECT());
    EXPECT_FALSE(c->IsHit(0, 0));
    EXPECT_FALSE(c->IsHit(15, 25));
}

TEST(Control, HideAndGray) {
    EditorFixture f;
    ProbeControl* c = f.AddProbe(IRECT(0, 0, 10, 10), -1, "c");
    DirtyOverCycles(c, 2);
    c->GrayOut(true);
    EXPECT_TRUE(c->IsGrayed());
    EXPECT_EQ(c->GetBlend()->mWeight, 0.25f);
    EXPECT_EQ(DirtyOverCycles(c, 1), (std::vector<bool>{false})); // one draw
    c->GrayOut(false);
    EXPECT_EQ(c->GetBlend()->mWeight, 1.0f);
    c->Hide(true);
    EXPECT_TRUE(c->IsHidden());
    EXPECT_EQ(DirtyOverCycles(c, 2), (std::vector<bool>{true, false})); // two draws
}

TEST(Control, AuxParams) {
    EditorFixture f;
    ProbeControl* c = f.AddProbe(IRECT(0, 0, 10, 10), -1, "c");
    c->AddAuxParam(RecordingPlug::kSteps);
    c->AddAuxParam(RecordingPlug::kGain);
    c->AddAuxParam(RecordingPlug::kSteps);
    EXPECT_EQ(c->NAuxParams(), 3);
    EXPECT_EQ(c->AuxParamIdx(RecordingPlug::kSteps), 0);
    EXPECT_EQ(c->AuxParamIdx(RecordingPlug::kGain), 1);
    EXPECT_EQ(c->AuxParamIdx(RecordingPlug::kMode), -1);
    EXPECT_EQ(c->GetAuxParam(3), nullptr);
    DirtyOverCycles(c, 2);

    c->SetAuxParamValueFromPlug(1, 0.25);
    EXPECT_EQ(c->GetAuxParam(1)->mValue, 0.25);
    EXPECT_EQ(DirtyOverCycles(c, 2), (std::vector<bool>{true, false}));
    c->SetAuxParamValueFromPlug(1, 0.25); // equal: nothing
    EXPECT_FALSE(c->IsDirty());

    c->GetAuxParam(0)->mValue = 0.4;
    c->SetAllAuxParamsFromGUI();
    EXPECT_EQ(
        f.plug.Events("automate"),
        (std::vector<std::string>{"automate 3 0.400000", "automate 0 0.250000", "automate 3 0.000000"}));
}

TEST(Control, LinkedTextControls) {
    EditorFixture f;
    IText text;
    IRECT r(0, 0, 50, 10);
    auto* value = new ITextControl(&f.plug, &r, &text, "");
    auto* name = new ITextControl(&f.plug, &r, &text, "Level");
    f.gui->AttachControl(value);
    f.gui->AttachControl(name);
    ProbeControl* c = f.AddProbe(IRECT(0, 20, 10, 30), RecordingPlug::kLevel, "c");
    c->SetValueDisplayControl(value);
    c->SetNameDisplayControl(name);
    name->SetClean();
    value->SetClean();

    c->SetValueFromUserInput(0.75); // plain 6 dB, shown negated
    EXPECT_STREQ(value->GetTextString(), "-6.0 dB");
    EXPECT_TRUE(value->IsDirty());
    // The name was already right: not dirtied.
    EXPECT_STREQ(name->GetTextString(), "Level");
    EXPECT_FALSE(name->IsDirty());
}

TEST(Control, PromptGateAndRectangle) {
    EditorFixture f;
    ProbeControl* gain = f.AddProbe(IRECT(10, 20, 31, 45), RecordingPlug::kGain, "gain");
    ProbeControl* mode = f.AddProbe(IRECT(50, 20, 90, 40), RecordingPlug::kMode, "mode");
    ProbeControl* none = f.AddProbe(IRECT(100, 20, 120, 40), -1, "none");
    f.Attach();
    f.gui->OpenWindow(nullptr);
    IMouseMod right(false, true);

    // Prompts are disabled by default: a right press does nothing.
    gain->OnMouseDown(12, 22, &right);
    mode->OnMouseDown(52, 22, &right);
    EXPECT_TRUE(f.gui->TextEntryRequests().empty());
    EXPECT_TRUE(f.gui->MenuRequests().empty());

    gain->SetPromptDisabled(false);
    mode->SetPromptDisabled(false);
    none->SetPromptDisabled(false);
    none->OnMouseDown(101, 21, &right);
    EXPECT_TRUE(f.gui->TextEntryRequests().empty());

    // Without display texts: 40 x 16 centred, cx = (int)(41 * 0.5f) = 20, cy = (int)(65 * 0.5f) = 32.
    gain->OnMouseDown(12, 22, &right);
    ASSERT_EQ(f.gui->TextEntryRequests().size(), 1u);
    EXPECT_EQ(f.gui->TextEntryRequests()[0].mRect, IRECT(0, 24, 40, 40));
    EXPECT_TRUE(gain->IsRedrawPending());
    f.gui->ForceEndUserEdit();

    // With display texts: the control's own rectangle.
    mode->OnMouseDown(52, 22, &right);
    ASSERT_EQ(f.gui->MenuRequests().size(), 1u);
    EXPECT_EQ(f.gui->MenuRequests()[0].mRect, IRECT(50, 20, 90, 40));

    // The rectangle form passes the given rectangle.
    IRECT r(1, 2, 3, 4);
    gain->PromptUserInput(&r);
    ASSERT_EQ(f.gui->TextEntryRequests().size(), 2u);
    EXPECT_EQ(f.gui->TextEntryRequests()[1].mRect, r);
}

} // namespace
