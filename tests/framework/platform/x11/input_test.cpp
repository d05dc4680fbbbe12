// Pointer and keys: coordinates, wheel and key codes reaching the editor, and drags, double clicks,
// wheel and switch clicks reaching the parameters with the gestures the host sees.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/platform/linux/X11Keys.h"
#include "tests/support/editor/EditorFixture.h"
#include "tests/support/x11/X11Session.h"

namespace {

using E = X11TestEffect;

// The opcodes (BeginEdit, Automate, EndEdit) the host saw for parameter idx, in order.
std::vector<int32_t> Gestures(TestHost& host, int idx) {
    std::vector<int32_t> out;
    for (const TestHost::Call& c : host.Calls())
        if ((c.opcode == audioMasterBeginEdit || c.opcode == audioMasterAutomate ||
             c.opcode == audioMasterEndEdit) &&
            c.index == idx && (out.empty() || out.back() != c.opcode))
            out.push_back(c.opcode);
    return out;
}

const std::vector<int32_t> kGesture = {audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit};

struct InputTest : ::testing::Test {
    X11Session s{TestDisplay()};
    void SetUp() override {
        ASSERT_TRUE(s.Open());
        ASSERT_GE(s.IdleUntil([&] { return s.Gui()->FramesDrawn() > 0; }), 0);
        s.plug->Log().clear();
        s.host.ClearCalls();
    }
    int Cx(const IRECT& r) const { return (r.L + r.R) / 2; }
    int Cy(const IRECT& r) const { return (r.T + r.B) / 2; }
};

TEST_F(InputTest, CoordinatesKeepTheOffsets) {
    const xcb_window_t focus = TestDisplay().Focus();
    // Window pixel (100, 255): the view point (100.7, 50.2) of the bottom-up view reaches (98, 253).
    TestDisplay().Click(s.px + 100, s.py + 255);
    ASSERT_GE(s.IdleUntil([&] { return s.Logged("probe up 98 253"); }), 0);
    EXPECT_EQ(s.ProbeLog(), (std::vector<std::string>{"probe down 98 253", "probe up 98 253"}));
    EXPECT_EQ(TestDisplay().Focus(), focus) << "a click does not take the keyboard";
}

TEST_F(InputTest, WheelSteps) {
    TestDisplay().MoveTo(s.RootX(100), s.RootY(200));
    TestDisplay().Button(4, true);
    TestDisplay().Button(4, false);
    TestDisplay().Button(5, true);
    TestDisplay().Button(5, false);
    ASSERT_GE(s.IdleUntil([&] { return s.ProbeLog().size() >= 2; }), 0);
    EXPECT_EQ(s.ProbeLog(), (std::vector<std::string>{"probe wheel 1", "probe wheel -1"}));
    // On a knob a step is 0.01 of its range; the wheel sends no gesture.
    TestDisplay().MoveTo(s.RootX(Cx(E::kGainRect)), s.RootY(Cy(E::kGainRect)));
    TestDisplay().Button(4, true);
    TestDisplay().Button(4, false);
    ASSERT_GE(s.IdleUntil([&] { return s.Param(E::kGain) > 0.5f; }), 0);
    EXPECT_FLOAT_EQ(s.Param(E::kGain), 0.51f);
    EXPECT_EQ(Gestures(s.host, E::kGain), std::vector<int32_t>{audioMasterAutomate});
}

TEST_F(InputTest, KeyCodesFromXAndFromTheHost) {
    TestDisplay().MoveTo(s.RootX(100), s.RootY(200));
    const struct {
        uint32_t sym;
        const char* line;
    } keys[] = {{' ', "probe key 0"},      {kXK_Up, "probe key 1"},    {kXK_Down, "probe key 2"},
                {kXK_Left, "probe key 3"}, {kXK_Right, "probe key 4"}, {'7', "probe key 12"},
                {'a', "probe key 15"},     {'Z', "probe key 40"}};
    std::vector<std::string> expected;
    for (const auto& k : keys) {
        TestDisplay().Tap(k.sym);
        expected.push_back(k.line);
    }
    ASSERT_GE(s.IdleUntil([&] { return s.ProbeLog().size() >= expected.size(); }), 0);
    EXPECT_EQ(s.ProbeLog(), expected);

    s.plug->Log().clear();
    const struct {
        int character, vkey;
        intptr_t answer;
        const char* line;
    } forwarded[] = {{'z', 0, 1, "probe key 40"},       {0, VKEY_LEFT, 1, "probe key 3"},
                     {0, VKEY_SPACE, 1, "probe key 0"}, {'5', 0, 1, "probe key 10"},
                     {0, VKEY_F1, 0, nullptr},          {'.', 0, 0, nullptr}};
    expected.clear();
    for (const auto& f : forwarded) {
        EXPECT_EQ(s.host.Dispatch(effEditKeyDown, f.character, f.vkey, nullptr, 0.0f), f.answer)
            << f.character;
        EXPECT_EQ(s.host.Dispatch(effEditKeyUp, f.character, f.vkey, nullptr, 0.0f), 0);
        if (f.line) expected.push_back(f.line);
    }
    EXPECT_EQ(s.ProbeLog(), expected);
    // A key no control takes goes back to the host.
    static_cast<ProbeControl*>(s.Gui()->GetControl(E::kProbe))->mTakesKeys = false;
    EXPECT_EQ(s.host.Dispatch(effEditKeyDown, 'q', 0, nullptr, 0.0f), 0);
}

TEST_F(InputTest, KeysTheEditorLeavesGoToTheHostWindow) {
    xcb_connection_t* c = TestDisplay().Conn();
    const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
    xcb_change_window_attributes(c, s.parent, XCB_CW_EVENT_MASK, &mask);
    TestDisplay().MoveTo(s.RootX(100), s.RootY(200));
    static_cast<ProbeControl*>(s.Gui()->GetControl(E::kProbe))->mTakesKeys = false;
    TestDisplay().Tap(0xffbe); // F1: no editor key
    TestDisplay().Tap('a');    // an editor key nobody takes
    int presses = 0, releases = 0;
    s.IdleUntil([&] {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            const uint8_t type = ev->response_type & 0x7F;
            const bool sent = (ev->response_type & 0x80) != 0;
            if (sent && type == XCB_KEY_PRESS) ++presses;
            if (sent && type == XCB_KEY_RELEASE) ++releases;
            std::free(ev);
        }
        TestDisplay().Sync();
        return presses == 2 && releases == 2;
    });
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(releases, 2);
    EXPECT_EQ(s.ProbeLog(), std::vector<std::string>{"probe key 15"});
}

TEST_F(InputTest, DragReleasedOutsideTheWindow) {
    const int x = Cx(E::kGainRect), y = Cy(E::kGainRect);
    TestDisplay().MoveTo(s.RootX(x), s.RootY(y));
    TestDisplay().Button(1, true);
    TestDisplay().MoveTo(s.RootX(x), s.RootY(y - 20));
    s.Idle(1);
    TestDisplay().MoveTo(s.RootX(x), s.RootY(y - 50));
    TestDisplay().MoveTo(s.RootX(x + 900), s.RootY(y - 50)); // outside the editor, sideways
    TestDisplay().Button(1, false);
    ASSERT_GE(s.IdleUntil([&] { return !s.host.Calls(audioMasterEndEdit).empty(); }), 0);
    // 50 pixels up on a 48-pixel knob with gearing 4.
    EXPECT_NEAR(s.Param(E::kGain), 0.5 + 50.0 / 48.0 / 4.0, 1e-6);
    EXPECT_EQ(Gestures(s.host, E::kGain), kGesture);
}

TEST_F(InputTest, ClosedMidDragEndsTheGesture) {
    const int x = Cx(E::kGainRect), y = Cy(E::kGainRect);
    TestDisplay().MoveTo(s.RootX(x), s.RootY(y));
    TestDisplay().Button(1, true);
    TestDisplay().MoveTo(s.RootX(x), s.RootY(y - 20));
    ASSERT_GE(s.IdleUntil([&] { return !s.host.Calls(audioMasterAutomate).empty(); }), 0);
    s.Close(); // the release never reaches the editor
    TestDisplay().Button(1, false);
    EXPECT_EQ(Gestures(s.host, E::kGain), kGesture);
}

TEST_F(InputTest, DoubleClickReturnsToTheDefault) {
    s.host.SetParameter(E::kGain, 0.8f);
    s.Idle(1);
    s.host.ClearCalls();
    s.ClickEditor(Cx(E::kGainRect), Cy(E::kGainRect));
    s.ClickEditor(Cx(E::kGainRect), Cy(E::kGainRect));
    ASSERT_GE(s.IdleUntil([&] { return s.host.Calls(audioMasterEndEdit).size() >= 2; }), 0);
    EXPECT_FLOAT_EQ(s.Param(E::kGain), 0.5f);
    const std::vector<TestHost::Call> automate = s.host.Calls(audioMasterAutomate);
    ASSERT_EQ(automate.size(), 1u);
    EXPECT_FLOAT_EQ(automate[0].opt, 0.5f);
    // Two presses far apart in time are two single clicks.
    s.plug->Log().clear();
    s.ClickEditor(100, 200);
    s.Idle(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    s.ClickEditor(100, 200);
    ASSERT_GE(s.IdleUntil([&] { return s.ProbeLog().size() >= 4; }), 0);
    EXPECT_EQ(s.ProbeLog(), (std::vector<std::string>{"probe down 100 200", "probe up 100 200",
                                                      "probe down 100 200", "probe up 100 200"}));
}

TEST_F(InputTest, SwitchClick) {
    s.ClickEditor(E::kSwitchX + 5, E::kSwitchY + 5);
    ASSERT_GE(s.IdleUntil([&] { return !s.host.Calls(audioMasterEndEdit).empty(); }), 0);
    EXPECT_EQ(s.Param(E::kOnOff), 0.0f);
    EXPECT_EQ(Gestures(s.host, E::kOnOff), kGesture);
    s.Idle(2, 40);
    EXPECT_TRUE(s.ScreenSettles());
}

TEST_F(InputTest, SuperClickActsAsARightClick) {
    EXPECT_FALSE(s.Gui()->TextEntryOpen());
    TestDisplay().MoveTo(s.RootX(Cx(E::kGainRect)), s.RootY(Cy(E::kGainRect)));
    TestDisplay().Key(0xffeb, true); // Super_L
    TestDisplay().Button(1, true);
    TestDisplay().Button(1, false);
    TestDisplay().Key(0xffeb, false);
    ASSERT_GE(s.IdleUntil([&] { return s.Gui()->TextEntryOpen(); }), 0);
    EXPECT_EQ(s.Gui()->TextEntryText(), "0.500");
}

} // namespace
