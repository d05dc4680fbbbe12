// Hit-testing, capture and the routing of mouse and key events.
#include <gtest/gtest.h>

#include "tests/support/editor/EditorFixture.h"

namespace {

using Log = std::vector<std::string>;

// Three overlapping controls: a background under everything, "low" and, attached last, "top".
struct Overlap : EditorFixture {
    ProbeControl* bg;
    ProbeControl* low;
    ProbeControl* top;
    Overlap() {
        bg = AddProbe(IRECT(0, 0, 200, 100), -1, "bg");
        low = AddProbe(IRECT(10, 10, 60, 60), RecordingPlug::kGain, "low");
        top = AddProbe(IRECT(40, 40, 90, 90), RecordingPlug::kSteps, "top");
        Attach();
        Settle();
    }
};

TEST(Routing, TopmostVisibleControlTakesThePress) {
    struct Case {
        bool hideTop, grayTop;
        int x, y;
        const char* expected;
    };
    const Case cases[] = {
        {false, false, 50, 50, "top"}, // overlap: the control attached last
        {false, false, 20, 20, "low"}, {false, false, 150, 20, "bg"},
        {true, false, 50, 50, "low"}, // hidden: skipped
        {false, true, 50, 50, "low"}, // greyed: skipped
        {false, false, 90, 50, "bg"}, // right edge is outside
    };
    for (const Case& c : cases) {
        Overlap f;
        f.top->Hide(c.hideTop);
        f.top->GrayOut(c.grayTop);
        IMouseMod mod(true);
        f.gui->OnMouseDown(c.x, c.y, &mod);
        ASSERT_FALSE(f.log.empty());
        EXPECT_EQ(f.log[0],
                  std::string(c.expected) + " down " + std::to_string(c.x) + " " + std::to_string(c.y));
        EXPECT_EQ(f.gui->GetMouseControlIdx(0, 0), f.gui->GetCaptureIdx());
    }
}

TEST(Routing, NothingUnderThePointer) {
    EditorFixture f;
    ProbeControl* c = f.AddProbe(IRECT(10, 10, 20, 20), RecordingPlug::kGain, "c");
    (void)c;
    f.Attach();
    IMouseMod mod(true);
    f.gui->OnMouseDown(50, 50, &mod);
    f.gui->OnMouseDrag(55, 55, &mod);
    f.gui->OnMouseUp(55, 55, &mod);
    EXPECT_EQ(f.gui->GetCaptureIdx(), -1);
    EXPECT_EQ(f.gui->GetMouseControlIdx(50, 50), -1);
    EXPECT_TRUE(f.log.empty());
    EXPECT_TRUE(f.plug.mEvents.empty());
}

TEST(Routing, DragDeltas) {
    Overlap f;
    IMouseMod mod(true);
    f.gui->OnMouseDown(20, 20, &mod);
    f.gui->OnMouseDrag(20, 20, &mod); // same place as the press: not delivered
    f.gui->OnMouseDrag(23, 18, &mod);
    f.gui->OnMouseDrag(23, 18, &mod);  // same place again
    f.gui->OnMouseDrag(150, 90, &mod); // outside the control: still the captured one
    f.gui->OnMouseUp(150, 90, &mod);
    EXPECT_EQ(f.log,
              (Log{"low down 20 20", "low drag 23 18 3 -2", "low drag 150 90 127 72", "low up 150 90"}));
    EXPECT_EQ(f.gui->GetCaptureIdx(), -1);
    // No capture: drags go nowhere.
    f.gui->OnMouseDrag(30, 30, &mod);
    EXPECT_EQ(f.log.size(), 4u);
}

TEST(Routing, ReleaseWithoutCapture) {
    Overlap f;
    IMouseMod mod(true);
    // A release over a control that was never pressed still reaches it (what the host hears meanwhile:
    // gesture_test.cpp).
    f.gui->OnMouseUp(80, 80, &mod);
    EXPECT_EQ(f.log, (Log{"top up 80 80"}));
    f.gui->OnMouseUp(150, 10, &mod);
    EXPECT_EQ(f.log.back(), "bg up 150 10");
}

TEST(Routing, DoubleClick) {
    Overlap f;
    IMouseMod mod(true);
    EXPECT_FALSE(f.gui->OnMouseDblClick(20, 20, &mod));
    EXPECT_EQ(f.log, (Log{"low dblclick 20 20"}));
    EXPECT_EQ(f.gui->GetCaptureIdx(), -1);
    EXPECT_FALSE(f.gui->OnMouseDblClick(195, 95, &mod));
    EXPECT_EQ(f.log.back(), "bg dblclick 195 95");

    // As a press: captured.
    f.log.clear();
    f.low->SetDblClickAsDown(true);
    EXPECT_TRUE(f.gui->OnMouseDblClick(20, 20, &mod));
    EXPECT_EQ(f.log, (Log{"low down 20 20"}));
    EXPECT_EQ(f.gui->GetCaptureIdx(), 1);
    f.gui->OnMouseDrag(21, 20, &mod);
    EXPECT_EQ(f.log.back(), "low drag 21 20 1 0");

    EditorFixture empty;
    EXPECT_FALSE(empty.gui->OnMouseDblClick(1, 1, &mod));
}

TEST(Routing, Wheel) {
    Overlap f;
    IMouseMod mod(true);
    f.gui->OnMouseWheel(80, 80, &mod, 2);
    f.gui->OnMouseDown(20, 20, &mod);
    f.gui->OnMouseWheel(80, 80, &mod, -1); // the captured control, not the one under the pointer
    EXPECT_EQ(f.log, (Log{"top wheel 2", "low down 20 20", "low wheel -1"}));
    EXPECT_EQ(f.gui->GetCaptureIdx(), 1);
    EXPECT_EQ(f.plug.mEvents, (Log{"begin 0"}));
}

TEST(Routing, Keys) {
    struct Case {
        int x, y;
        bool catcher, topTakes;
        bool result;
        const char* expected; // the line logged, or ""
    };
    const Case cases[] = {
        {50, 50, true, true, true, "top key 17"},
        {50, 50, true, false, false, "top key 17"},
        {150, 10, true, true, true, "catcher key 17"}, // the background never takes keys
        {250, 10, true, true, true, "catcher key 17"}, // nothing under the pointer
        {150, 10, false, true, false, ""},
    };
    for (const Case& c : cases) {
        Overlap f;
        f.top->mTakesKeys = c.topTakes;
        if (c.catcher) f.gui->AttachKeyCatcher(new ProbeControl(&f.plug, IRECT(), -1, "catcher", &f.log));
        EXPECT_EQ(f.gui->OnKeyDown(c.x, c.y, 17), c.result);
        EXPECT_EQ(f.log, c.expected[0] ? Log{c.expected} : Log{});
    }
    // A key catcher is never hit or drawn.
    Overlap f;
    f.gui->AttachKeyCatcher(new ProbeControl(&f.plug, IRECT(0, 0, 200, 100), -1, "catcher", &f.log));
    IRECT all(0, 0, 200, 100);
    f.gui->Draw(&all);
    for (const std::string& line : f.log) EXPECT_EQ(line.find("catcher"), std::string::npos);
}

TEST(Routing, MouseOver) {
    Overlap f;
    IMouseMod mod;
    EXPECT_FALSE(f.gui->OnMouseOver(20, 20, &mod)); // routing is off by default
    EXPECT_TRUE(f.log.empty());

    f.gui->HandleMouseOver(true);
    EXPECT_TRUE(f.gui->OnMouseOver(20, 20, &mod));
    EXPECT_EQ(f.gui->GetMouseOverIdx(), 1);
    EXPECT_TRUE(f.gui->OnMouseOver(80, 80, &mod));
    EXPECT_EQ(f.log, (Log{"low over 20 20", "top over 80 80", "low out"}));
    EXPECT_EQ(f.gui->GetMouseOverIdx(), 2);
    EXPECT_TRUE(f.gui->OnMouseOver(500, 500, &mod)); // nothing: no change
    EXPECT_EQ(f.gui->GetMouseOverIdx(), 2);

    // Greyed controls take part only with their flag.
    f.log.clear();
    f.top->GrayOut(true);
    f.gui->OnMouseOver(80, 80, &mod);
    EXPECT_EQ(f.log[0], "bg over 80 80");
    f.top->SetMouseOverWhenGrayed(true);
    f.gui->OnMouseOver(81, 80, &mod);
    EXPECT_EQ(f.log[2], "top over 81 80");

    f.log.clear();
    f.gui->OnMouseOut();
    EXPECT_EQ(f.log, (Log{"bg out", "low out", "top out"}));
    EXPECT_EQ(f.gui->GetMouseOverIdx(), -1);
}

TEST(Routing, AutomationHostSupport) {
    Overlap f;
    EXPECT_EQ(f.gui->GetParamIdxForPTAutomation(80, 80), RecordingPlug::kSteps);
    EXPECT_EQ(f.gui->GetLastClickedParamForPTAutomation(), RecordingPlug::kSteps);
    EXPECT_EQ(f.gui->GetLastClickedParamForPTAutomation(), -1);
    EXPECT_EQ(f.gui->GetParamIdxForPTAutomation(150, 10), -1); // only the background
    EXPECT_EQ(f.gui->GetParamIdxForPTAutomation(500, 10), -1);
}

} // namespace
