// The readouts of Tidebloom's editor: a control's value in its units over its label while the control is
// in use (hovered, held, wheeled), the label back afterwards, and nothing popping up when the host moves
// a control. Driven through the editor's own mouse entry points; pixels checked off-screen.
#include <gtest/gtest.h>

#include "Graphics/IReadoutControl.h"
#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomUnits.h"
#include "tests/Graphics/editor/EditorSession.h"

namespace {

// The frames the knobs show at the effect's defaults, and the switch's (on).
const std::vector<int> kRestFrames = {84, 60, 90, 60};
constexpr int kSwitchOn = 2;
constexpr uint32_t kPanel = 255u | 0x0bu << 8 | 0x11u << 16 | 0x16u << 24;

LayoutRect BoxRect(const TidebloomBox& b) {
    return {b.x, b.y, b.x + b.w, b.y + b.h};
}

struct Readable {
    const char* what;
    int control; // index of the control among the editor's
    int readout;
    TidebloomBox box;
    int x, y; // a point on the control
    const char* text;
};

std::vector<Readable> Readables() {
    std::vector<Readable> out;
    const char* texts[] = {"70.0 %", "0.32 s", "75.0 %", "0.0 dB"};
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& k = kTidebloomKnobs[i];
        out.push_back(
            {k.label, 1 + i, kTidebloomFirstReadout + i, k.readout, k.anchorX, k.anchorY, texts[i]});
    }
    const LayoutRect sw = SwitchRect();
    out.push_back({"switch", kSwitchControl, kTidebloomFirstReadout + kTidebloomNumKnobs,
                   kTidebloomSwitch.readout, (sw.l + sw.r) / 2, (sw.t + sw.b) / 2, "On"});
    return out;
}

IReadoutControl* ReadoutAt(Session& s, int index) {
    return dynamic_cast<IReadoutControl*>(s.gui->GetControl(index));
}

// Draws what is dirty; the dirty area is returned.
IRECT DrawDirty(Session& s) {
    IRECT r;
    s.gui->IsDirty(&r);
    if (!r.Empty()) s.gui->Draw(&r);
    return r;
}

void Settle(Session& s) {
    s.DrawAll();
    s.DrawAll();
}

TEST(TidebloomReadout, HoverShowsTheValueOverTheLabelAndLeavingBringsTheLabelBack) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    IMouseMod none;
    for (const Readable& r : Readables()) {
        SCOPED_TRACE(r.what);
        Settle(s);
        IReadoutControl* readout = ReadoutAt(s, r.readout);
        ASSERT_NE(readout, nullptr);
        EXPECT_TRUE(readout->IsHidden());
        const LayoutRect box = BoxRect(r.box);
        EXPECT_EQ(RestWrong(s, box, kRestFrames, kSwitchOn), "") << "the label shows at rest";

        s.gui->OnMouseOver(r.x, r.y, &none);
        EXPECT_FALSE(readout->IsHidden());
        EXPECT_STREQ(readout->GetTextString(), r.text);
        // Only the box is redrawn: the control itself did not change.
        EXPECT_EQ(DrawDirty(s), IRECT(box.l, box.t, box.r, box.b));
        EXPECT_EQ(s.At(box.l + 2, (box.t + box.b) / 2), kPanel);
        int lit = 0; // the value's coral letters
        for (int y = box.t; y < box.b; ++y)
            for (int x = box.l; x < box.r; ++x) {
                const blendref::Chan p = blendref::Unpack(s.At(x, y));
                lit += p.r > 200 && p.g < 180 && p.b < 140;
            }
        EXPECT_GT(lit, 10);

        s.gui->OnMouseOver(5, 300, &none); // the background
        EXPECT_TRUE(readout->IsHidden());
        DrawDirty(s);
        EXPECT_EQ(RestWrong(s, box, kRestFrames, kSwitchOn), "") << "the label is back";
    }
}

// A drag shows the value as it goes, also with the pointer outside the knob, until the release.
TEST(TidebloomReadout, DragShowsTheValueUntilTheRelease) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    const TidebloomKnobLayout& time = KnobOf(kTime);
    IReadoutControl* readout = ReadoutAt(s, kTidebloomFirstReadout + kTime);
    IMouseMod left(true);
    s.gui->OnMouseDown(time.anchorX, time.anchorY, &left);
    EXPECT_STREQ(readout->GetTextString(), "0.32 s");
    s.gui->OnMouseDrag(time.anchorX, time.anchorY - 56, &left); // 0.5 + 56 / 112 / 4 = 0.625
    EXPECT_STREQ(readout->GetTextString(), "0.75 s");           // 10^(3 x 0.625 - 2) = 0.7499 s
    s.gui->OnMouseDrag(540, time.anchorY - 112, &left);         // far outside the knob: 0.75
    EXPECT_FALSE(readout->IsHidden());
    EXPECT_STREQ(readout->GetTextString(), "1.78 s");
    s.gui->OnMouseUp(540, time.anchorY - 112, &left);
    EXPECT_TRUE(readout->IsHidden());

    // Released over the knob, it shows again as soon as the pointer moves there.
    s.gui->OnMouseDown(time.anchorX, time.anchorY, &left);
    s.gui->OnMouseUp(time.anchorX, time.anchorY, &left);
    EXPECT_TRUE(readout->IsHidden());
    IMouseMod none;
    s.gui->OnMouseOver(time.anchorX, time.anchorY + 1, &none);
    EXPECT_FALSE(readout->IsHidden());
    s.gui->OnMouseOut(); // the pointer left the window
    EXPECT_TRUE(readout->IsHidden());
}

// The host moves a knob: the knob alone is redrawn, no readout appears; while the user hovers the knob
// its readout follows the host.
TEST(TidebloomReadout, HostAutomationPopsNoReadout) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    Settle(s);
    IReadoutControl* readout = ReadoutAt(s, kTidebloomFirstReadout + kTime);
    IControl* knob = s.gui->GetControl(1 + kTime);
    s.host.SetParameter(kTime, 0.25f);
    EXPECT_EQ(DrawDirty(s), *knob->GetRECT());
    EXPECT_TRUE(readout->IsHidden());

    IMouseMod none;
    const TidebloomKnobLayout& time = KnobOf(kTime);
    s.gui->OnMouseOver(time.anchorX, time.anchorY, &none);
    EXPECT_STREQ(readout->GetTextString(), "56 ms"); // 10^(0.75 - 2) = 0.0562 s
    s.host.SetParameter(kTime, 1.0f);
    DrawDirty(s);
    EXPECT_FALSE(readout->IsHidden());
    EXPECT_STREQ(readout->GetTextString(), "10.0 s");
}

// A wheel step shows the new value until the pointer leaves; the switch says On and Off.
TEST(TidebloomReadout, WheelAndSwitch) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    IMouseMod none;
    const TidebloomKnobLayout& depth = KnobOf(kDepth);
    IReadoutControl* depthReadout = ReadoutAt(s, kTidebloomFirstReadout + kDepth);
    s.gui->OnMouseWheel(depth.anchorX, depth.anchorY, &none, 1);
    EXPECT_FALSE(depthReadout->IsHidden());
    EXPECT_STREQ(depthReadout->GetTextString(), "76.0 %");
    s.gui->OnMouseOut();
    EXPECT_TRUE(depthReadout->IsHidden());

    const Readable sw = Readables().back();
    IReadoutControl* swReadout = ReadoutAt(s, sw.readout);
    s.gui->OnMouseOver(sw.x, sw.y, &none);
    EXPECT_STREQ(swReadout->GetTextString(), "On");
    s.Click(sw.x, sw.y);
    s.gui->OnMouseOver(sw.x, sw.y, &none);
    EXPECT_FALSE(swReadout->IsHidden());
    EXPECT_STREQ(swReadout->GetTextString(), "Off");
}

} // namespace
