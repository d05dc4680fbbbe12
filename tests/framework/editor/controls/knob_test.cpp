// Knobs and the fader.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "framework/editor/IControls_Knob.h"
#include "tests/framework/editor/controls/ControlScene.h"

namespace {

constexpr uint32_t kMarker = Px(1, 2, 3, 4);

TEST(KnobMulti, RectangleAndFrames) {
    auto strip = MakeCoordPicture(4, 7200);
    IBitmap bm(strip.get(), 4, 7200, 120);
    struct Case {
        double value;
        int frame;
    };
    // i = (int)(119 * value + 0.5); frame = i + 1, at least 1, at most 120.
    const Case cases[] = {{0.0, 1},   {0.5, 61},    {1.0, 120}, {-0.3, 1},  {1.4, 120},
                          {0.25, 31}, {0.996, 120}, {0.004, 1}, {0.0043, 2}};
    for (const Case& c : cases) {
        ControlScene s;
        auto* knob = s.Add(new IKnobMultiControl(&s.plug, 10, 20, RecordingPlug::kGain, &bm));
        EXPECT_EQ(*knob->GetRECT(), IRECT(10, 20, 14, 80));
        EXPECT_EQ(*knob->GetTargetRECT(), IRECT(10, 20, 14, 80));
        s.Open();
        s.gui->SetControlFromPlug(0, c.value);
        EXPECT_EQ(knob->FrameForValue(), c.frame) << c.value;
        s.DrawAll(kMarker);
        // Frame k starts at row (int)((k - 1) * 7200 / 120 + 0.5) = (k - 1) * 60 of the strip.
        EXPECT_EQ(CoordY(s.At(10, 20)), (c.frame - 1) * 60) << c.value;
        EXPECT_EQ(CoordY(s.At(13, 79)), (c.frame - 1) * 60 + 59);
        EXPECT_EQ(s.At(10, 80), kMarker);
    }
}

TEST(KnobMulti, DragTravel) {
    struct Case {
        EDirection direction;
        double gearing;
        bool shift, control;
        int dx, dy; // per step
        int steps;
        double expected;
    };
    // A 50-pixel-high knob with gearing 4: 200 pixels up sweep 0 to 1; with shift or control, 2000.
    const Case cases[] = {
        {kVertical, 4.0, false, false, 0, -1, 200, 1.0},
        {kVertical, 4.0, false, false, 0, -1, 100, 0.5},
        {kVertical, 4.0, true, false, 0, -10, 100, 0.5},
        {kVertical, 4.0, false, true, 0, -10, 200, 1.0},
        {kVertical, 4.0, false, false, 0, 1, 50, 0.0},
        {kVertical, 4.0, false, false, 5, 0, 50, 0.0},
        // Horizontal: 40 wide, gearing 2: 80 pixels right.
        {kHorizontal, 2.0, false, false, 1, 0, 40, 0.5},
        {kHorizontal, 2.0, false, false, 0, -5, 40, 0.0},
    };
    auto strip = MakeSolidPicture(40, 500, Px(9, 9, 9));
    IBitmap bm(strip.get(), 40, 500, 10);
    for (const Case& c : cases) {
        ControlScene s;
        auto* knob =
            s.Add(new IKnobMultiControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm, c.direction, c.gearing));
        s.Open();
        s.gui->SetControlFromPlug(0, 0.0);
        IMouseMod mod(true, false, c.shift, c.control);
        s.Press(20, 25, mod);
        int x = 20, y = 25;
        for (int i = 0; i < c.steps; ++i) {
            x += c.dx;
            y += c.dy;
            s.Drag(x, y, mod);
        }
        s.Release(x, y, mod);
        EXPECT_NEAR(knob->GetValue(), c.expected, 1e-9) << c.direction << " " << c.steps;
        EXPECT_NEAR(s.Param(RecordingPlug::kGain), c.expected, 1e-9);
    }
}

TEST(KnobMulti, ClampedAfterEveryStep) {
    ControlScene s;
    auto strip = MakeSolidPicture(10, 500, Px(9, 9, 9));
    IBitmap bm(strip.get(), 10, 500, 10); // 50 high
    auto* knob = s.Add(new IKnobMultiControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm, kVertical, 1.0));
    s.Open();
    s.Press(5, 25);
    s.Drag(5, -100); // far past the top
    EXPECT_EQ(knob->GetValue(), 1.0);
    s.Drag(5, -90); // ten pixels back down move it at once
    EXPECT_NEAR(knob->GetValue(), 0.8, 1e-12);
    s.Release(5, -90);
}

TEST(KnobMulti, Wheel) {
    struct Case {
        double start;
        int d;
        bool fine;
        double expected;
    };
    const Case cases[] = {{0.5, 1, false, 0.51},
                          {0.5, -3, false, 0.47},
                          {0.5, 1, true, 0.501},
                          {1.0, 1, false, 1.0},
                          {0.0, -2, true, 0.0}};
    auto strip = MakeSolidPicture(10, 100, Px(9, 9, 9));
    IBitmap bm(strip.get(), 10, 100, 10);
    for (const Case& c : cases) {
        ControlScene s;
        auto* knob = s.Add(new IKnobMultiControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm));
        s.Open();
        s.gui->SetControlFromPlug(0, c.start);
        s.Wheel(5, 5, c.d, IMouseMod(true, false, false, c.fine));
        EXPECT_NEAR(knob->GetValue(), c.expected, 1e-12);
        // No gesture around a wheel step, only the automation.
        EXPECT_TRUE(s.plug.Events("begin").empty());
    }
}

TEST(KnobMulti, DoubleClickAndRightPress) {
    ControlScene s;
    auto strip = MakeSolidPicture(10, 100, Px(9, 9, 9));
    IBitmap bm(strip.get(), 10, 100, 10);
    auto* knob = s.Add(new IKnobMultiControl(&s.plug, 0, 0, RecordingPlug::kGain, &bm));
    s.Open();
    s.gui->SetControlFromPlug(0, 0.9);
    IMouseMod mod(true);
    s.gui->OnMouseDblClick(5, 5, &mod);
    EXPECT_EQ(knob->GetValue(), 0.5); // the value when the editor was attached
    EXPECT_DOUBLE_EQ(s.Param(RecordingPlug::kGain), 0.5);
    s.Press(5, 5, IMouseMod(false, true));
    EXPECT_TRUE(s.gui->TextEntryRequests().empty()); // prompts disabled
    knob->SetPromptDisabled(false);
    s.Press(5, 5, IMouseMod(false, true));
    EXPECT_EQ(s.gui->TextEntryRequests().size(), 1u);
}

TEST(KnobLine, AngleFromValue) {
    struct Case {
        double value;
        int x, y; // a pixel on the line
        int notX, notY;
    };
    // Rectangle (0, 0, 41, 41): centre 20.5; from 0 (up) to a quarter turn (right); outer radius 0 means
    // half the width.
    const Case cases[] = {{0.0, 20, 2, 30, 20}, {1.0, 38, 20, 20, 2}, {0.5, 33, 8, 20, 2}};
    for (const Case& c : cases) {
        ControlScene s(60, 60);
        const IColor white = COLOR_WHITE;
        IRECT r(0, 0, 41, 41);
        auto* knob = s.Add(
            new IKnobLineControl(&s.plug, &r, RecordingPlug::kGain, &white, 5.0, 0.0, 0.0, std::numbers::pi / 2));
        s.Open();
        s.gui->SetControlFromPlug(0, c.value);
        s.DrawAll(kMarker);
        EXPECT_NE(s.At(c.x, c.y), kMarker) << c.value;
        EXPECT_EQ(s.At(c.notX, c.notY), kMarker) << c.value;
        EXPECT_EQ(s.At(20, 20), kMarker); // the inner radius keeps the centre clear
        EXPECT_EQ(knob->GetBlend()->mMethod, IChannelBlend::kBlendCopy);
    }
}

TEST(KnobRotater, TurnsAboutTheCentre) {
    auto picture = MakeCoordPicture(11, 9);
    IBitmap bm(picture.get(), 11, 9);
    for (double value : {0.0, 0.3, 1.0}) {
        ControlScene s(40, 40);
        auto* knob = s.Add(new IKnobRotaterControl(&s.plug, 10, 12, RecordingPlug::kGain, &bm, -1.0, 2.0, 2));
        EXPECT_EQ(*knob->GetRECT(), IRECT(10, 12, 21, 21));
        s.Open();
        s.gui->SetControlFromPlug(0, value);
        s.DrawAll(kMarker);
        auto expected = std::make_unique<Raster_MemBitmap>(40, 40);
        Raster_Clear(expected.get(), kMarker);
        // Centre ((10 + 21) / 2, (12 + 21) / 2) = (15, 16); angle -1 + 3 * value radians.
        Raster_RotatedBlit(expected.get(), picture.get(), 15 - 5, 16 - 4, 11, 9, 0, 0, 11, 9,
                           static_cast<float>(-1.0 + 3.0 * value), false, 1.0f, 0x10100, 0.0f, 2.0f);
        int diff = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                diff += s.At(x, y) != expected->getBits()[y * expected->getRowSpan() + x];
        EXPECT_EQ(diff, 0) << value;
    }
}

TEST(KnobRotatingMask, AngleInDegrees) {
    auto base = MakeSolidPicture(16, 16, Px(50, 50, 50));
    auto mask = MakeSolidPicture(16, 16, 0);
    Raster_FillRect(mask.get(), 7, 0, 2, 8, Px(200, 200, 200, 255), 1.0f, RASTER_BLEND_COPY);
    auto top = MakeSolidPicture(16, 16, 0);
    IBitmap b(base.get(), 16, 16), m(mask.get(), 16, 16), t(top.get(), 16, 16);
    for (double value : {0.0, 0.5, 1.0}) {
        ControlScene s(40, 40);
        auto* knob =
            s.Add(new IKnobRotatingMaskControl(&s.plug, 3, 4, RecordingPlug::kGain, &b, &m, &t, -90.0, 90.0));
        EXPECT_EQ(*knob->GetRECT(), IRECT(3, 4, 19, 20));
        s.Open();
        s.gui->SetControlFromPlug(0, value);
        s.DrawAll(kMarker);
        // -90 + 180 * value degrees: the bar points left, up or right of the centre (11, 12).
        const bool left = s.At(5, 12) != kMarker && Raster_GetR(s.At(5, 12)) > 150;
        const bool up = Raster_GetR(s.At(11, 6)) > 150;
        const bool right = Raster_GetR(s.At(17, 12)) > 150;
        EXPECT_EQ(left, value == 0.0) << value;
        EXPECT_EQ(up, value == 0.5) << value;
        EXPECT_EQ(right, value == 1.0) << value;
    }
}

TEST(Fader, SnapsTheHandleCentreToThePointer) {
    struct Case {
        EDirection direction;
        int x, y;
        double expected;
    };
    // Travel 100, handle 20 along it (headroom), at (10, 10).
    const Case cases[] = {
        {kVertical, 15, 20, 1.0},   {kVertical, 15, 100, 0.0},   {kVertical, 15, 60, 0.5},
        {kVertical, 15, 12, 1.0},  // beyond the top: clamped
        {kVertical, 15, 105, 0.0}, // beyond the bottom
        {kHorizontal, 20, 15, 0.0}, {kHorizontal, 100, 15, 1.0}, {kHorizontal, 40, 15, 0.25},
    };
    for (const Case& c : cases) {
        ControlScene s;
        auto handle = MakeSolidPicture(c.direction == kVertical ? 10 : 20, c.direction == kVertical ? 20 : 10,
                                       Px(9, 9, 9));
        IBitmap bm(handle.get(), handle->getWidth(), handle->getHeight());
        auto* fader = s.Add(new IFaderControl(&s.plug, 10, 10, 100, RecordingPlug::kGain, &bm, c.direction));
        EXPECT_EQ(fader->GetHandleHeadroom(), 20);
        EXPECT_EQ(*fader->GetRECT(),
                  c.direction == kVertical ? IRECT(10, 10, 20, 110) : IRECT(10, 10, 110, 20));
        s.Open();
        s.Press(c.x, c.y);
        EXPECT_NEAR(fader->GetValue(), c.expected, 1e-12) << c.x << "," << c.y;
        s.Drag(c.x + 1, c.y + 1); // drags snap too (deltas unused)
        s.Release(c.x + 1, c.y + 1);
        EXPECT_EQ(s.plug.Events("begin").size(), 1u);
        EXPECT_EQ(s.plug.Events("end").size(), 1u);
    }
}

TEST(Fader, HandleRectangleAndOnlyHandleHits) {
    ControlScene s;
    auto handle = MakeCoordPicture(10, 20);
    IBitmap bm(handle.get(), 10, 20);
    auto* fader = s.Add(new IFaderControl(&s.plug, 10, 10, 100, RecordingPlug::kGain, &bm, kVertical, true));
    s.Open();
    // offset = (int)((100 - 20) * (1 - value)).
    EXPECT_EQ(fader->GetHandleRECT(1.0), IRECT(10, 10, 20, 30));
    EXPECT_EQ(fader->GetHandleRECT(0.0), IRECT(10, 90, 20, 110));
    EXPECT_EQ(fader->GetHandleRECT(0.25), IRECT(10, 70, 20, 90));
    s.gui->SetControlFromPlug(0, 0.5); // handle at rows 50..69
    EXPECT_EQ(fader->GetHandleRECT(), IRECT(10, 50, 20, 70));
    EXPECT_TRUE(fader->IsHit(12, 50));
    EXPECT_FALSE(fader->IsHit(12, 70));
    EXPECT_FALSE(fader->IsHit(12, 20));
    s.DrawAll(kMarker);
    EXPECT_EQ(CoordY(s.At(10, 50)), 0);
    EXPECT_EQ(CoordY(s.At(19, 69)), 19);
    EXPECT_EQ(s.At(10, 49), kMarker);
    // Wheel like a knob.
    s.Wheel(12, 55, 2);
    EXPECT_NEAR(fader->GetValue(), 0.52, 1e-12);
    // A handle that fills its travel does not move (and yields no NaN).
    ControlScene t;
    auto* stuck = t.Add(new IFaderControl(&t.plug, 0, 0, 20, RecordingPlug::kGain, &bm));
    t.Open();
    t.Press(5, 3);
    EXPECT_EQ(stuck->GetValue(), 0.5);
}

} // namespace
