// Value prompts: menus for enumerated parameters, text fields for the others, and what a committed text
// does.
#include <gtest/gtest.h>

#include "tests/support/editor/EditorFixture.h"

namespace {

using Texts = std::vector<std::string>;

struct PromptScene : EditorFixture {
    ProbeControl* control[RecordingPlug::kNumParams];
    PromptScene() {
        for (int p = 0; p < RecordingPlug::kNumParams; ++p)
            control[p] = AddProbe(IRECT(p * 20, 0, p * 20 + 20, 20), p, "c" + std::to_string(p));
        Attach();
        gui->OpenWindow(nullptr);
        Settle();
    }
    void Prompt(int p) {
        IRECT r(1, 2, 30, 40);
        gui->PromptUserInput(control[p], plug.GetParam(p), &r);
    }
};

TEST(Prompt, MenuOfDisplayTexts) {
    struct Case {
        int param;
        Texts items;
        int checked; // -1: none
    };
    const Case cases[] = {
        {RecordingPlug::kMode, {"Soft", "Hard", "Wild"}, 1},
        {RecordingPlug::kOnOff, {"off", "on"}, 1},
        // One item per display text (two here), item i showing the text of value i: value 1 has none.
        {RecordingPlug::kSparse, {"zero", ""}, 0},
    };
    for (const Case& c : cases) {
        PromptScene f;
        f.Prompt(c.param);
        ASSERT_EQ(f.gui->MenuRequests().size(), 1u);
        const auto& menu = f.gui->MenuRequests()[0];
        EXPECT_EQ(menu.mItems, c.items);
        for (size_t i = 0; i < menu.mFlags.size(); ++i)
            EXPECT_EQ(menu.mFlags[i], static_cast<int>(i) == c.checked ? IPopupMenuItem::kItemChecked : 0);
        EXPECT_EQ(menu.mRect, IRECT(1, 2, 30, 40));
        EXPECT_TRUE(f.gui->TextEntryRequests().empty());
        EXPECT_TRUE(f.plug.mEvents.empty()); // dismissed: nothing changes
        EXPECT_FALSE(f.control[c.param]->IsDirty());
    }
}

TEST(Prompt, MenuChoice) {
    PromptScene f;
    f.gui->QueueMenuAnswer({2});
    f.Prompt(RecordingPlug::kMode);
    EXPECT_EQ(f.control[RecordingPlug::kMode]->GetValue(), 1.0);
    EXPECT_EQ(f.plug.GetParam(RecordingPlug::kMode)->Int(), 2);
    EXPECT_EQ(f.plug.mEvents, (Texts{"automate 1 1.000000", "change 1"}));

    // The current one again: no change is sent.
    f.plug.mEvents.clear();
    f.gui->QueueMenuAnswer({2});
    f.Prompt(RecordingPlug::kMode);
    EXPECT_TRUE(f.plug.mEvents.empty());
    ASSERT_EQ(f.gui->MenuRequests().size(), 2u);
    EXPECT_EQ(f.gui->MenuRequests()[1].mFlags, (std::vector<int>{0, 0, IPopupMenuItem::kItemChecked}));
}

TEST(Prompt, TextFieldWithTheValue) {
    struct Case {
        int param;
        double plain;
        const char* text;
    };
    const Case cases[] = {
        {RecordingPlug::kGain, 0.5, "0.50"},
        {RecordingPlug::kSteps, 3, "3"},
        {RecordingPlug::kLevel, 1.5, "-1.5"}, // negated display
    };
    for (const Case& c : cases) {
        PromptScene f;
        f.plug.GetParam(c.param)->Set(c.plain);
        f.Prompt(c.param);
        ASSERT_EQ(f.gui->TextEntryRequests().size(), 1u);
        const auto& entry = f.gui->TextEntryRequests()[0];
        EXPECT_EQ(entry.mText, c.text);
        EXPECT_EQ(entry.mParam, f.plug.GetParam(c.param));
        EXPECT_EQ(entry.mControl, f.control[c.param]);
        EXPECT_EQ(entry.mMaxLength, 7);
        EXPECT_TRUE(f.gui->MenuRequests().empty());
    }
}

TEST(Prompt, NullArgumentsDoNothing) {
    PromptScene f;
    IRECT r;
    f.gui->PromptUserInput(nullptr, f.plug.GetParam(0), &r);
    f.gui->PromptUserInput(f.control[0], nullptr, &r);
    f.gui->PromptUserInput(f.control[0], f.plug.GetParam(0), nullptr);
    f.gui->SetFromStringAfterPrompt(f.control[0], nullptr, "1");
    EXPECT_TRUE(f.gui->TextEntryRequests().empty());
    EXPECT_TRUE(f.plug.mEvents.empty());
}

TEST(Prompt, CommittedText) {
    struct Case {
        int param;
        const char* text;
        double expectedNormalized; // < 0: no change
    };
    const Case cases[] = {
        {RecordingPlug::kMode, "Wild", 1.0},
        {RecordingPlug::kMode, "wild", 0.0}, // no exact match: 0
        {RecordingPlug::kOnOff, "off", 0.0},
        {RecordingPlug::kSparse, "two", 2.0 / 3.0},
        {RecordingPlug::kGain, "0.25", 0.25},
        {RecordingPlug::kGain, "7", 1.0}, // beyond the range: clamped by GetNormalized
        {RecordingPlug::kSteps, "5", 0.5},
        {RecordingPlug::kLevel, "3", 0.375}, // negated: -3 dB
        {RecordingPlug::kGain, "nan", -1.0},
    };
    for (const Case& c : cases) {
        PromptScene f;
        f.control[c.param]->SetValueFromPlug(0.123); // distinguishes "no change" from 0
        f.plug.mEvents.clear();
        f.gui->SetFromStringAfterPrompt(f.control[c.param], f.plug.GetParam(c.param), c.text);
        if (c.expectedNormalized < 0) {
            EXPECT_EQ(f.control[c.param]->GetValue(), 0.123) << c.text;
            EXPECT_TRUE(f.plug.mEvents.empty());
        } else {
            EXPECT_DOUBLE_EQ(f.control[c.param]->GetValue(), c.expectedNormalized) << c.text;
            EXPECT_EQ(f.plug.Events("change").size(), 1u) << c.text;
        }
    }
}

TEST(Prompt, TextFieldRoundTripThroughThePlatform) {
    PromptScene f;
    f.gui->QueueTextEntryAnswer("0.8");
    f.Prompt(RecordingPlug::kGain);
    EXPECT_FALSE(f.gui->TextEntryOpen());
    EXPECT_EQ(f.control[RecordingPlug::kGain]->GetValue(), 0.8);
    EXPECT_DOUBLE_EQ(f.plug.GetParam(RecordingPlug::kGain)->Value(), 0.8);
}

} // namespace
