// The captioned knob on the headless platform: where alignment puts it, which frame a value shows, and
// every pixel it draws, against a reference composed pixel by pixel from the blend rules.
#include <gtest/gtest.h>

#include <memory>

#include "Graphics/IKnobMultiControlCap.h"
#include "tests/framework/editor/controls/ControlScene.h"
#include "tests/support/BlendRef.h"

namespace {

constexpr uint32_t kMarker = Px(40, 60, 80);
constexpr int kW = 160, kH = 120;

// A picture of varied colours and alphas (clear, opaque and in between), the same for the same seed.
std::unique_ptr<Raster_MemBitmap> MakeNoise(int w, int h, uint32_t seed) {
    auto bm = std::make_unique<Raster_MemBitmap>(w, h);
    uint32_t s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            const int alphas[] = {0, 255, static_cast<int>((s >> 24) & 255), 255};
            bm->getBits()[y * bm->getRowSpan() + x] =
                Px((s >> 8) & 255, (s >> 14) & 255, (s >> 20) & 255, alphas[(s >> 3) & 3]);
        }
    return bm;
}

uint32_t PixelOf(Raster_IBitmap* bm, int x, int y) {
    return bm->getBits()[y * bm->getRowSpan() + x];
}

// A knob whose strip is drawn with another blend than the caption's plain one, so the test sees which
// blend each part used.
class AddingKnob : public IKnobMultiControlCap {
public:
    using IKnobMultiControlCap::IKnobMultiControlCap;
    void UseBlend(IChannelBlend blend) { mBlend = blend; }
};

struct Pictures {
    std::unique_ptr<Raster_MemBitmap> strip, caption;
    IBitmap stripBm, captionBm;
    Pictures(int w, int frameH, int frames, int cw, int ch, int captionFrames = 1)
        : strip(MakeNoise(w, frameH * frames, 7)), caption(MakeNoise(cw, ch, 11)),
          stripBm(strip.get(), w, frameH * frames, frames), captionBm(caption.get(), cw, ch, captionFrames) {}
};

// What the editor must hold after drawing the knob over the marker colour: the caption's frame 1
// alpha-blended into captionR (when shown), then strip frame `frame` added into knobR.
uint32_t Expected(int x, int y, const Pictures& p, IRECT knobR, int frame, IRECT captionR,
                  bool captionShown) {
    uint32_t out = kMarker;
    if (captionShown && captionR.Contains(x, y))
        out = blendref::CopySourceAlpha(out, PixelOf(p.caption.get(), x - captionR.L, y - captionR.T), 256);
    if (knobR.Contains(x, y)) {
        const int fh = p.stripBm.H / p.stripBm.N;
        out = blendref::AddSourceAlpha(
            out, PixelOf(p.strip.get(), x - knobR.L, (frame - 1) * fh + y - knobR.T), 256);
    }
    return out;
}

// The first pixel of the editor that differs from the reference, or "".
std::string FirstWrongPixel(ControlScene& s, const Pictures& p, IRECT knobR, int frame, IRECT captionR,
                            bool captionShown) {
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (s.At(x, y) != Expected(x, y, p, knobR, frame, captionR, captionShown))
                return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return "";
}

TEST(KnobCap, Placement) {
    struct Strip {
        int w, frameH, frames;
        bool horizontal;
    };
    struct Size {
        int w, h; // of the caption; 0 x 0: none
    };
    struct Case {
        const char* what;
        Strip strip;
        Size captionSize;
        EAlignment alignment;
        IRECT draw, hit, caption;
    };
    // Anchor (50, 40) throughout; halves are integer halves.
    const Strip odd = {7, 5, 120, false};
    const IRECT centred(47, 38, 54, 43), topLeft(50, 40, 57, 45), none;
    const IRECT centredCaption(46, 35, 55, 46), topLeftCaption(50, 40, 59, 51);
    const Case cases[] = {
        {"centred, odd sizes", odd, {9, 11}, kAlignCentre, centred, centred, centredCaption},
        {"centred, even sizes",
         {84, 84, 120, false},
         {100, 108},
         kAlignCentre,
         {8, -2, 92, 82},
         {8, -2, 92, 82},
         {0, -14, 100, 94}},
        {"top-left", odd, {9, 11}, kAlignTopLeft, topLeft, topLeft, topLeftCaption},
        {"other alignment: only stored", odd, {9, 11}, static_cast<EAlignment>(2), topLeft, topLeft, none},
        {"centred, no caption", odd, {0, 0}, kAlignCentre, centred, centred, none},
        {"top-left, no caption", odd, {0, 0}, kAlignTopLeft, topLeft, topLeft, none},
        // Frames side by side: 4 frames of 10 x 9 in a 40 x 9 strip; one frame centred. The hit area
        // is the constructor's (the strip's width, H/N high) centred.
        {"centred, frames side by side",
         {40, 9, 4, true},
         {0, 0},
         kAlignCentre,
         {45, 36, 55, 45},
         {30, 39, 70, 41},
         none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int stripH = c.strip.horizontal ? c.strip.frameH : c.strip.frameH * c.strip.frames;
        auto strip = MakeNoise(c.strip.w, stripH, 1);
        IBitmap bm(strip.get(), c.strip.w, stripH, c.strip.frames, c.strip.horizontal);
        auto caption = MakeNoise(c.captionSize.w > 0 ? c.captionSize.w : 1,
                                 c.captionSize.h > 0 ? c.captionSize.h : 1, 2);
        IBitmap cap(caption.get(), c.captionSize.w, c.captionSize.h, 1);
        ControlScene s;
        IKnobMultiControlCap knob(&s.plug, 50, 40, RecordingPlug::kGain, &bm,
                                  c.captionSize.w ? &cap : nullptr, c.alignment);
        EXPECT_EQ(*knob.GetRECT(), c.draw);
        EXPECT_EQ(*knob.GetTargetRECT(), c.hit);
        EXPECT_EQ(*knob.GetCaptionRECT(), c.caption);
        EXPECT_EQ(knob.GetAlignment(), c.alignment);
        EXPECT_FALSE(knob.IsCaptionHidden());
        EXPECT_EQ(knob.GetCaptionBitmap() != nullptr, c.captionSize.w > 0);
    }
}

// Placing again from the anchor: a second centring changes nothing, and top-left undoes it.
TEST(KnobCap, AlignmentCanBeChangedAgain) {
    Pictures p(7, 5, 120, 9, 11);
    ControlScene s;
    IKnobMultiControlCap knob(&s.plug, 50, 40, RecordingPlug::kGain, &p.stripBm, &p.captionBm);
    knob.SetAlignment(kAlignCentre);
    EXPECT_EQ(*knob.GetRECT(), IRECT(47, 38, 54, 43));
    EXPECT_EQ(*knob.GetTargetRECT(), IRECT(47, 38, 54, 43));
    EXPECT_EQ(*knob.GetCaptionRECT(), IRECT(46, 35, 55, 46));
    knob.SetAlignment(kAlignTopLeft);
    EXPECT_EQ(*knob.GetRECT(), IRECT(50, 40, 57, 45));
    EXPECT_EQ(*knob.GetTargetRECT(), IRECT(50, 40, 57, 45));
    EXPECT_EQ(*knob.GetCaptionRECT(), IRECT(50, 40, 59, 51));
}

// Frame (int)(119 v) + 1: truncated, so 0.5 shows frame 60 (a plain filmstrip knob rounds to 61) and
// only 1 shows frame 120; values outside 0..1 (the clamp range widened) stay on the first or last frame.
// Every pixel of the editor: the caption plainly blended, the strip with the knob's own blend.
TEST(KnobCap, FrameForValueAndPixels) {
    struct Case {
        double value;
        int frame;
    };
    const double justAbove1 = 1.0 / 119 + 1e-9, justBelow1 = 1.0 / 119 - 1e-9;
    const Case cases[] = {{0.0, 1},        {0.5, 60},       {1.0, 120},   {0.25, 30},
                          {justBelow1, 1}, {justAbove1, 2}, {0.999, 119}, {118.9 / 119, 119},
                          {-0.4, 1},       {-1e300, 1},     {1.6, 120},   {1e300, 120}};
    Pictures p(7, 5, 120, 9, 11);
    for (bool centred : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.value) + (centred ? " centred" : " top-left"));
            ControlScene s(kW, kH);
            auto* knob = s.Add(new AddingKnob(&s.plug, 50, 40, RecordingPlug::kGain, &p.stripBm, &p.captionBm,
                                              centred ? kAlignCentre : kAlignTopLeft));
            knob->UseBlend(IChannelBlend(IChannelBlend::kBlendAdd));
            s.Open();
            s.gui->ClampControl(RecordingPlug::kGain, -2e300, 2e300, true);
            s.gui->SetControlFromPlug(0, c.value);
            EXPECT_EQ(knob->ShownFrame(), c.frame);
            s.DrawAll(kMarker);
            const IRECT knobR = centred ? IRECT(47, 38, 54, 43) : IRECT(50, 40, 57, 45);
            const IRECT captionR = centred ? IRECT(46, 35, 55, 46) : IRECT(50, 40, 59, 51);
            EXPECT_EQ(FirstWrongPixel(s, p, knobR, c.frame, captionR, true), "");
        }
    }
}

// A caption of two frames: frame 1 (the picture's top half) is drawn, whatever the value.
TEST(KnobCap, CaptionShowsItsFirstFrame) {
    Pictures p(7, 5, 120, 9, 22, 2);
    ControlScene s(kW, kH);
    auto* knob =
        s.Add(new AddingKnob(&s.plug, 50, 40, RecordingPlug::kGain, &p.stripBm, &p.captionBm, kAlignTopLeft));
    knob->UseBlend(IChannelBlend(IChannelBlend::kBlendAdd));
    s.Open();
    s.gui->SetControlFromPlug(0, 1.0);
    EXPECT_EQ(*knob->GetCaptionRECT(), IRECT(50, 40, 59, 51));
    s.DrawAll(kMarker);
    EXPECT_EQ(FirstWrongPixel(s, p, IRECT(50, 40, 57, 45), 120, IRECT(50, 40, 59, 51), true), "");
}

// Without a caption only the strip is drawn, and the caption rectangle stays zero.
TEST(KnobCap, NullCaptionDrawsOnlyTheStrip) {
    Pictures p(7, 5, 120, 9, 11);
    for (EAlignment a : {kAlignCentre, kAlignTopLeft}) {
        ControlScene s(kW, kH);
        auto* knob = s.Add(new AddingKnob(&s.plug, 50, 40, RecordingPlug::kGain, &p.stripBm, nullptr, a));
        knob->UseBlend(IChannelBlend(IChannelBlend::kBlendAdd));
        s.Open();
        s.gui->SetControlFromPlug(0, 0.5);
        s.DrawAll(kMarker);
        EXPECT_EQ(*knob->GetCaptionRECT(), IRECT());
        const IRECT knobR = a == kAlignCentre ? IRECT(47, 38, 54, 43) : IRECT(50, 40, 57, 45);
        EXPECT_EQ(FirstWrongPixel(s, p, knobR, 60, IRECT(), false), "");
    }
}

// HideCaption does not make the knob dirty; the change shows at the knob's next redraw, and showing
// the caption again brings it back.
TEST(KnobCap, HideCaption) {
    Pictures p(7, 5, 120, 9, 11);
    ControlScene s(kW, kH);
    auto* knob = s.Add(new AddingKnob(&s.plug, 50, 40, RecordingPlug::kGain, &p.stripBm, &p.captionBm));
    knob->UseBlend(IChannelBlend(IChannelBlend::kBlendAdd));
    s.Open();
    s.gui->SetControlFromPlug(0, 0.0);
    s.Settle();
    const IRECT knobR(47, 38, 54, 43), captionR(46, 35, 55, 46);

    knob->HideCaption(true);
    EXPECT_TRUE(knob->IsCaptionHidden());
    EXPECT_FALSE(knob->IsDirty());
    IRECT dirty;
    EXPECT_FALSE(s.gui->IsDirty(&dirty));
    s.DrawAll(kMarker);
    EXPECT_EQ(FirstWrongPixel(s, p, knobR, 1, captionR, false), "");

    knob->HideCaption(false);
    EXPECT_FALSE(knob->IsDirty());
    s.DrawAll(kMarker);
    EXPECT_EQ(FirstWrongPixel(s, p, knobR, 1, captionR, true), "");
}

// Constructed hidden: the caption is kept but not drawn.
TEST(KnobCap, ConstructedWithTheCaptionHidden) {
    Pictures p(7, 5, 120, 9, 11);
    ControlScene s(kW, kH);
    auto* knob = s.Add(new AddingKnob(&s.plug, 50, 40, RecordingPlug::kGain, &p.stripBm, &p.captionBm,
                                      kAlignCentre, kVertical, 4.0, true));
    knob->UseBlend(IChannelBlend(IChannelBlend::kBlendAdd));
    s.Open();
    EXPECT_TRUE(knob->IsCaptionHidden());
    EXPECT_EQ(*knob->GetCaptionRECT(), IRECT(46, 35, 55, 46));
    s.gui->SetControlFromPlug(0, 1.0);
    s.DrawAll(kMarker);
    EXPECT_EQ(FirstWrongPixel(s, p, IRECT(47, 38, 54, 43), 120, IRECT(46, 35, 55, 46), false), "");
}

} // namespace
