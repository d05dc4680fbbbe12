// Typed values on Tidebloom's knobs: a right press opens the editor's text field with the value in the
// knob's units, what a musician types reaches the host as one gesture, and Escape or unreadable text
// change nothing. On the headless platform, whose text fields are scripted.
#include <gtest/gtest.h>

#include "Graphics/IKnobMultiControlCap.h"
#include "tests/Graphics/editor/EditorSession.h"

namespace {

// What the host heard of edits: begin, automate (with the value) and end, in order.
std::vector<std::string> Edits(TestHost& host) {
    std::vector<std::string> out;
    for (const TestHost::Call& c : host.Calls()) {
        if (c.opcode == audioMasterBeginEdit) out.push_back("begin " + std::to_string(c.index));
        if (c.opcode == audioMasterEndEdit) out.push_back("end " + std::to_string(c.index));
        if (c.opcode == audioMasterAutomate)
            out.push_back("automate " + std::to_string(c.index) + " " + std::to_string(c.opt));
    }
    return out;
}

TEST(TidebloomTyped, RightClickTypeAndCommit) {
    struct Case {
        int param;
        const char* shown; // what the field opens with
        const char* typed; // null: Escape
        float value;       // the parameter afterwards (normalised)
        bool changes;
    };
    const Case cases[] = {
        {kTime, "0.32 s", "350 ms", 0.515f, true},    {kTime, "0.32 s", "0.35 s", 0.515f, true},
        {kTime, "0.32 s", "0.35", 0.515f, true},      {kTime, "0.32 s", "20 s", 1.0f, true}, // clamped
        {kVol, "0.0 dB", "-3 dB", 0.354f, true},      {kVol, "0.0 dB", "-3", 0.354f, true},
        {kSensitivity, "70.0 %", "40 %", 0.4f, true}, {kDepth, "75.0 %", "40", 0.4f, true},
        {kTime, "0.32 s", "0.32 s", 0.5f, false}, // the value it had: 0.316 s reads back to 0.5
        {kTime, "0.32 s", "abc", 0.5f, false},        {kVol, "0.0 dB", "3 %", 0.5f, false},
        {kDepth, "75.0 %", nullptr, 0.75f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + " " + (c.typed ? c.typed : "Escape"));
        Session s(TidebloomHeadlessEntry);
        ASSERT_NE(s.gui, nullptr);
        auto* gui = static_cast<IGraphicsHeadless*>(s.gui);
        auto* knob = static_cast<IKnobMultiControlCap*>(s.gui->GetControl(1 + c.param));
        const TidebloomKnobLayout& k = KnobOf(c.param);
        s.host.ClearCalls();

        IMouseMod right(false, true);
        s.gui->OnMouseDown(k.anchorX, k.anchorY, &right);
        s.gui->OnMouseDrag(k.anchorX, k.anchorY - 40, &right); // turns nothing
        s.gui->OnMouseUp(k.anchorX, k.anchorY - 40, &right);
        EXPECT_TRUE(Edits(s.host).empty()) << "opening the field is no edit";
        ASSERT_EQ(gui->TextEntryRequests().size(), 1u);
        const IGraphicsHeadless::TextEntryRequest& field = gui->TextEntryRequests()[0];
        EXPECT_EQ(field.mText, c.shown);
        EXPECT_EQ(field.mControl, knob);
        EXPECT_EQ(field.mRect, *knob->GetPromptRECT());
        // Centred on the knob, as wide as its readout.
        EXPECT_EQ(field.mRect.W(), k.readout.w);
        EXPECT_EQ((field.mRect.L + field.mRect.R) / 2, k.anchorX);

        if (c.typed) {
            EXPECT_TRUE(gui->CommitTextEntry(c.typed));
        } else {
            s.gui->ForceEndUserEdit();
        }
        EXPECT_FLOAT_EQ(s.host.GetParameter(c.param), c.value);
        if (c.changes) {
            EXPECT_EQ(Edits(s.host), (std::vector<std::string>{"begin " + std::to_string(c.param),
                                                               "automate " + std::to_string(c.param) + " " +
                                                                   std::to_string(c.value),
                                                               "end " + std::to_string(c.param)}));
        } else {
            EXPECT_TRUE(Edits(s.host).empty());
        }
    }
}

} // namespace

namespace {

// Up and down over a knob step it by a hundredth (a thousandth with Shift), each an edit of its own, or
// inside the gesture of a press holding that knob; other keys, and keys over no knob, are not taken.
TEST(TidebloomKeys, UpAndDownStepTheKnobUnderThePointer) {
    struct Case {
        const char* what;
        int param; // the knob under the pointer; -1: the background
        int key;   // 1 up, 2 down, 3 left
        bool shift, held;
        bool taken;
        float value; // of param afterwards
        std::vector<std::string> edits;
    };
    const Case cases[] = {
        {"up", kTime, 1, false, false, true, 0.51f, {"begin 1", "automate 1 0.510000", "end 1"}},
        {"shift down", kVol, 2, true, false, true, 0.499f, {"begin 3", "automate 3 0.499000", "end 3"}},
        {"up while held", kDepth, 1, false, true, true, 0.76f, {"begin 2", "automate 2 0.760000", "end 2"}},
        {"up at the top", kSensitivity, 1, false, false, true, 1.0f, {}},
        {"left", kTime, 3, false, false, false, 0.5f, {}},
        {"up over the background", -1, 1, false, false, false, 0.0f, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s(TidebloomHeadlessEntry);
        ASSERT_NE(s.gui, nullptr);
        if (c.param == kSensitivity) s.host.SetParameter(kSensitivity, 1.0f);
        s.host.ClearCalls();
        const int x = c.param >= 0 ? KnobOf(c.param).anchorX : 5,
                  y = c.param >= 0 ? KnobOf(c.param).anchorY : 300;
        IMouseMod left(true), mod(false, false, c.shift);
        if (c.held) s.gui->OnMouseDown(x, y, &left);
        EXPECT_EQ(s.gui->OnKeyDown(x, y, c.key, &mod), c.taken);
        if (c.held) s.gui->OnMouseUp(x, y, &left);
        if (c.param >= 0) {
            EXPECT_FLOAT_EQ(s.host.GetParameter(c.param), c.value);
        }
        EXPECT_EQ(Edits(s.host), c.edits);
    }
}

} // namespace
