// Panels, pictures, switches and buttons.
#include <gtest/gtest.h>

#include "framework/editor/IControls_Bitmap.h"
#include "tests/framework/editor/controls/ControlScene.h"

namespace {

constexpr uint32_t kMarker = Px(1, 2, 3, 4);

TEST(Panel, FillsItsRectangle) {
    ControlScene s(20, 20);
    const IColor colour(255, 10, 20, 30);
    IRECT r(2, 3, 6, 8);
    s.Add(new IPanelControl(&s.plug, &r, &colour));
    s.Open();
    s.DrawAll(kMarker);
    EXPECT_EQ(s.At(2, 3), colour.ToPixel());
    EXPECT_EQ(s.At(5, 7), colour.ToPixel());
    EXPECT_EQ(s.At(6, 7), kMarker);
    EXPECT_EQ(s.At(5, 8), kMarker);
}

TEST(BitmapControl, OneFrameInSize) {
    auto strip = MakeCoordPicture(6, 30);
    IBitmap three(strip.get(), 6, 30, 3), one(strip.get(), 6, 30, 1);
    ControlScene s;
    auto* multi = s.Add(new IBitmapControl(&s.plug, 5, 6, RecordingPlug::kMode, &three));
    auto* single = s.Add(new IBitmapControl(&s.plug, 50, 6, &one, IChannelBlend::kBlendCopy));
    EXPECT_EQ(*multi->GetRECT(), IRECT(5, 6, 11, 16));
    EXPECT_EQ(*single->GetRECT(), IRECT(50, 6, 56, 36));
    EXPECT_EQ(single->GetParamIdx(), -1);
    EXPECT_EQ(single->GetBlend()->mMethod, IChannelBlend::kBlendCopy);
    s.Open(); // Mode = 1 of 0..2: normalised 0.5, the middle frame
    EXPECT_EQ(multi->FrameForValue(), 2);
    s.DrawAll(kMarker);
    EXPECT_EQ(CoordY(s.At(5, 6)), 10);
    EXPECT_EQ(CoordY(s.At(50, 35)), 29);
}

TEST(Switch, StepsThroughItsFrames) {
    struct Case {
        int frames;
        std::vector<double> values; // after each press
    };
    const Case cases[] = {{2, {1.0, 0.0, 1.0}}, {3, {0.5, 1.0, 0.0, 0.5}}, {1, {1.0, 0.0}}};
    for (const Case& c : cases) {
        auto strip = MakeSolidPicture(10, 10 * c.frames, Px(9, 9, 9));
        IBitmap bm(strip.get(), 10, 10 * c.frames, c.frames);
        ControlScene s;
        auto* sw = s.Add(new ISwitchControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm));
        s.Open();
        s.gui->SetControlFromPlug(0, 0.0);
        for (double v : c.values) {
            s.Click(5, 5);
            EXPECT_DOUBLE_EQ(sw->GetValue(), v) << c.frames;
            EXPECT_DOUBLE_EQ(s.Param(RecordingPlug::kGain), v);
        }
        // A double click is a press.
        const double before = sw->GetValue();
        IMouseMod mod(true);
        s.gui->OnMouseDblClick(5, 5, &mod);
        EXPECT_NE(sw->GetValue(), before);
    }
}

TEST(Switch, PopUpPromptsThenSends) {
    auto strip = MakeSolidPicture(10, 20, Px(9, 9, 9));
    IBitmap bm(strip.get(), 10, 20, 2);
    ControlScene s;
    auto* sw = s.Add(new ISwitchPopUpControl(&s.plug, 0, 0, RecordingPlug::kMode, &bm));
    s.Open();
    s.Click(5, 5); // prompts disabled: only the value is sent again
    EXPECT_TRUE(s.gui->MenuRequests().empty());
    EXPECT_EQ(s.plug.Events("automate"), (std::vector<std::string>{"automate 1 0.500000"}));
    sw->SetPromptDisabled(false);
    s.gui->QueueMenuAnswer({2});
    s.Click(5, 5);
    ASSERT_EQ(s.gui->MenuRequests().size(), 1u);
    EXPECT_EQ(sw->GetValue(), 1.0);
    EXPECT_EQ(s.plug.GetParam(RecordingPlug::kMode)->Int(), 2);
}

TEST(Switch, FramesControlClickAreas) {
    struct Case {
        bool horizontal;
        int x, y;
        double expected; // < 0: unchanged
    };
    // Four frames of 12 x 10: the 12 x 10 rectangle is divided into four areas, 2 rows high (rows 8 and 9
    // belong to none) or 3 columns wide.
    const Case cases[] = {
        {false, 5, 0, 0.0},      {false, 5, 2, 1.0 / 3.0}, {false, 5, 7, 1.0},
        {false, 5, 8, -1.0},     {false, 5, 9, -1.0},      {true, 0, 5, 0.0},
        {true, 3, 5, 1.0 / 3.0}, {true, 11, 5, 1.0},       {true, 6, 9, 2.0 / 3.0},
    };
    auto strip = MakeSolidPicture(12, 40, Px(9, 9, 9));
    IBitmap bm(strip.get(), 12, 40, 4);
    for (const Case& c : cases) {
        ControlScene s;
        auto* sw = s.Add(new ISwitchFramesControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm, c.horizontal));
        EXPECT_FALSE(sw->IsPromptDisabled());
        ASSERT_EQ(sw->NAreas(), 4);
        EXPECT_EQ(*sw->GetArea(1), c.horizontal ? IRECT(3, 0, 6, 10) : IRECT(0, 2, 12, 4));
        s.Open();
        s.gui->SetControlFromPlug(0, 0.25);
        s.Click(c.x, c.y);
        const double expected = c.expected < 0 ? 0.25 : c.expected;
        EXPECT_DOUBLE_EQ(sw->GetValue(), expected) << c.horizontal << " " << c.x << "," << c.y;
    }
    // A press outside every area leaves the value and still sends it.
    ControlScene s;
    auto* sw = s.Add(new ISwitchFramesControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm, false));
    s.Open();
    s.gui->SetControlFromPlug(0, 0.25);
    sw->OnMouseDown(5, 9, nullptr);
    EXPECT_EQ(sw->GetValue(), 0.25);
    EXPECT_EQ(s.plug.Events("automate"), (std::vector<std::string>{"automate 0 0.250000"}));
}

TEST(Contact, ReturnsToZeroOnRelease) {
    auto strip = MakeSolidPicture(10, 20, Px(9, 9, 9));
    IBitmap bm(strip.get(), 10, 20, 2);
    ControlScene s;
    auto* button = s.Add(new IContactControl(&s.plug, 0, 0, RecordingPlug::kOnOff, &bm));
    s.Open();
    s.gui->SetControlFromPlug(0, 0.0);
    s.Press(5, 5);
    EXPECT_EQ(button->GetValue(), 1.0);
    s.Release(150, 100); // anywhere
    EXPECT_EQ(button->GetValue(), 0.0);
    EXPECT_EQ(s.plug.Events("automate"),
              (std::vector<std::string>{"automate 2 1.000000", "automate 2 0.000000"}));
    EXPECT_EQ(s.plug.Events("begin").size(), 1u);
    EXPECT_EQ(s.plug.Events("end").size(), 1u);
}

TEST(Overlay, ShownAndHitByValue) {
    auto strip = MakeCoordPicture(10, 20);
    IBitmap bm(strip.get(), 10, 20, 2);
    IRECT target(100, 0, 110, 10);
    ControlScene s;
    auto* overlay = s.Add(new IBitmapOverlayControl(&s.plug, 0, 0, RecordingPlug::kOnOff, &bm, &target));
    s.Open();
    s.gui->SetControlFromPlug(0, 0.0);
    EXPECT_FALSE(overlay->IsHit(5, 5));
    EXPECT_TRUE(overlay->IsHit(105, 5));
    s.DrawAll(kMarker);
    EXPECT_EQ(s.At(5, 5), kMarker); // nothing drawn below 0.5
    EXPECT_EQ(*overlay->GetTargetRECT(), target);
    s.Click(105, 5); // a switch: now 1
    EXPECT_EQ(overlay->GetValue(), 1.0);
    EXPECT_TRUE(overlay->IsHit(5, 5));
    EXPECT_FALSE(overlay->IsHit(105, 5));
    s.DrawAll(kMarker);
    EXPECT_EQ(CoordY(s.At(5, 5)), 15); // frame 2
    EXPECT_EQ(*overlay->GetTargetRECT(), IRECT(0, 0, 10, 10));
}

TEST(InvisibleSwitch, Toggles) {
    ControlScene s;
    IRECT r(0, 0, 10, 10);
    auto* sw = s.Add(new IInvisibleSwitchControl(&s.plug, &r, RecordingPlug::kOnOff));
    EXPECT_EQ(sw->GetBlend()->mMethod, IChannelBlend::kBlendCopy);
    s.Open();
    EXPECT_EQ(sw->GetValue(), 1.0);
    s.Click(1, 1);
    EXPECT_EQ(sw->GetValue(), 0.0);
    s.Click(1, 1);
    EXPECT_EQ(sw->GetValue(), 1.0);
    s.DrawAll(kMarker);
    EXPECT_EQ(s.At(1, 1), kMarker);
}

TEST(RadioButtons, Layouts) {
    struct Case {
        EDirection direction;
        bool reverse;
        IRECT r;
        std::vector<IRECT> buttons;
    };
    // Buttons of 10 x 8 (a two-frame picture of 10 x 16); three of them.
    const Case cases[] = {
        // 40 high: gap (40 - 24) / 2 = 8.
        {kVertical,
         false,
         IRECT(5, 10, 30, 50),
         {IRECT(5, 10, 15, 18), IRECT(5, 26, 15, 34), IRECT(5, 42, 15, 50)}},
        {kVertical,
         true,
         IRECT(5, 10, 30, 50),
         {IRECT(5, 42, 15, 50), IRECT(5, 26, 15, 34), IRECT(5, 10, 15, 18)}},
        // 51 wide: gap (int)((51 - 30) / 2) = 10.
        {kHorizontal,
         false,
         IRECT(0, 0, 51, 20),
         {IRECT(0, 0, 10, 8), IRECT(20, 0, 30, 8), IRECT(40, 0, 50, 8)}},
        {kHorizontal,
         true,
         IRECT(0, 0, 51, 20),
         {IRECT(41, 0, 51, 8), IRECT(21, 0, 31, 8), IRECT(1, 0, 11, 8)}},
    };
    auto picture = MakeCoordPicture(10, 16);
    IBitmap bm(picture.get(), 10, 16, 2);
    for (const Case& c : cases) {
        ControlScene s;
        IRECT r = c.r;
        auto* radio = s.Add(
            new IRadioButtonsControl(&s.plug, &r, RecordingPlug::kMode, 3, &bm, c.direction, c.reverse));
        ASSERT_EQ(radio->NButtons(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(*radio->GetButton(i), c.buttons[static_cast<size_t>(i)])
                << c.direction << c.reverse << i;
            EXPECT_TRUE(r.Contains(radio->GetButton(i)->L, radio->GetButton(i)->T)); // inside the control
        }
    }
}

TEST(RadioButtons, DrawAndPress) {
    auto picture = MakeCoordPicture(10, 16);
    IBitmap bm(picture.get(), 10, 16, 2);
    ControlScene s;
    IRECT r(5, 10, 30, 50);
    auto* radio = s.Add(new IRadioButtonsControl(&s.plug, &r, RecordingPlug::kMode, 3, &bm));
    s.Open(); // Mode 1: the middle button is on
    s.DrawAll(kMarker);
    EXPECT_EQ(CoordY(s.At(5, 10)), 0); // off: frame 1
    EXPECT_EQ(CoordY(s.At(5, 26)), 8); // on: frame 2
    EXPECT_EQ(CoordY(s.At(5, 42)), 0);
    EXPECT_EQ(s.At(5, 20), kMarker); // the gap
    s.Click(7, 45);
    EXPECT_EQ(radio->GetValue(), 1.0);
    EXPECT_EQ(s.plug.GetParam(RecordingPlug::kMode)->Int(), 2);
    s.Click(7, 20); // in the gap: no button, the value is sent unchanged
    EXPECT_EQ(radio->GetValue(), 1.0);
    // Right press: the prompt (when enabled).
    radio->SetPromptDisabled(false);
    s.Press(7, 12, IMouseMod(false, true));
    EXPECT_EQ(s.gui->MenuRequests().size(), 1u);
    EXPECT_EQ(radio->GetValue(), 1.0);

    // One button: pressing it gives 0, never a division by zero.
    ControlScene t;
    IRECT one(0, 0, 10, 8);
    auto* single = t.Add(new IRadioButtonsControl(&t.plug, &one, RecordingPlug::kGain, 1, &bm));
    t.Open();
    t.Click(2, 2);
    EXPECT_EQ(single->GetValue(), 0.0);
}

} // namespace
