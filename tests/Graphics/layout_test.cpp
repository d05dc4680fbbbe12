// The editor's layout and its compiled-in pictures: every control inside the window, no two hit
// rectangles overlapping, no scale painted over another control, the pictures decoding to the sizes
// and frame counts the layout gives, and what the frames show (the knob pointer's angle, the switch).
#include "Graphics/IKnobMultiControlCap.h"
#include "Graphics/TidebloomEditor.h"
#include "Graphics/TidebloomSizes.h"
#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IGraphics.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/vst2/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Rect = LayoutRect;

struct Placed {
    std::string what;
    Rect hit;
    Rect caption; // empty for the switch
    Rect readout;
};

Rect BoxRect(const TidebloomBox& b) {
    return {b.x, b.y, b.x + b.w, b.y + b.h};
}

std::vector<Placed> Controls(const TidebloomSizedLayout& layout) {
    std::vector<Placed> out;
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& k = layout.Knob(i);
        out.push_back({k.label, Centred(k.anchorX, k.anchorY, k.knob),
                       Centred(k.anchorX, k.anchorY, k.caption), BoxRect(k.readout)});
    }
    const TidebloomSwitchLayout& s = layout.Switch();
    out.push_back({s.label,
                   {s.x, s.y, s.x + s.picture.width, s.y + s.picture.FrameHeight()},
                   {0, 0, 0, 0},
                   BoxRect(s.readout)});
    return out;
}

std::vector<Placed> Controls() {
    return Controls(TidebloomSizedLayout(100));
}

Rect FromIRECT(const IRECT* r) {
    return {r->L, r->T, r->R, r->B};
}

double Luma(uint32_t p) {
    return 0.3 * Raster_GetR(p) + 0.59 * Raster_GetG(p) + 0.11 * Raster_GetB(p);
}

} // namespace

TEST(Layout, MatchesTheEditorTable) {
    struct Row {
        int param, x, y, knobId;
        const char* knob;
        int captionId;
        const char* caption;
    };
    const Row rows[] = {
        {kSensitivity, 323, 120, 112, "resources/img/sens_knob22.png", 113, "resources/img/sens_scale.png"},
        {kTime, 133, 167, 107, "resources/img/time_knob.png", 108, "resources/img/time_scale.png"},
        {kDepth, 478, 84, 109, "resources/img/depth_knob.png", 110, "resources/img/depth_scale.png"},
        {kVol, 482, 228, 114, "resources/img/vol_knob22.png", 115, "resources/img/vol_scale2.png"},
    };
    ASSERT_EQ(kTidebloomNumKnobs, 4);
    for (int i = 0; i < 4; ++i) {
        const TidebloomKnobLayout& k = kTidebloomKnobs[i];
        SCOPED_TRACE(k.label);
        EXPECT_EQ(k.param, rows[i].param);
        EXPECT_EQ(k.anchorX, rows[i].x);
        EXPECT_EQ(k.anchorY, rows[i].y);
        EXPECT_EQ(k.knob.id, rows[i].knobId);
        EXPECT_STREQ(k.knob.path, rows[i].knob);
        EXPECT_EQ(k.knob.frames, 120);
        EXPECT_EQ(k.caption.id, rows[i].captionId);
        EXPECT_STREQ(k.caption.path, rows[i].caption);
        EXPECT_EQ(k.caption.frames, 1);
    }
    EXPECT_EQ(kTidebloomBackground.id, 106);
    EXPECT_STREQ(kTidebloomBackground.path, "resources/img/back2.png");
    EXPECT_EQ(kTidebloomBackground.width, 555);
    EXPECT_EQ(kTidebloomBackground.height, 306);
    EXPECT_EQ(kTidebloomSwitch.param, kOnOff);
    EXPECT_EQ(kTidebloomSwitch.x, 26);
    EXPECT_EQ(kTidebloomSwitch.y, 24);
    EXPECT_EQ(kTidebloomSwitch.picture.id, 105);
    EXPECT_STREQ(kTidebloomSwitch.picture.path, "resources/img/switch.png");
    EXPECT_EQ(kTidebloomSwitch.picture.frames, 2);
    EXPECT_STREQ(TidebloomResourceName("resources/img/back2.png"), "back2.png");
    EXPECT_STREQ(TidebloomResourceName("back2.png"), "back2.png");
}

// The names printed under the knobs are the parameters' own names.
TEST(Layout, KnobLabelsAreTheParameterNames) {
    AEffect* fx =
        VSTCreateInstance([](AEffect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t { return 0; },
                          [](const IEffectInstanceInfo& info) -> IEffectVST* { return new Tidebloom(info); });
    ASSERT_NE(fx, nullptr);
    auto* effect = static_cast<IEffectVST*>(fx->object);
    for (const TidebloomKnobLayout& k : kTidebloomKnobs)
        EXPECT_STREQ(k.label, effect->GetParam(k.param)->GetNameForHost());
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
}

// At every size: inside the window, and apart.
TEST(Layout, ControlsLieInsideTheWindowAndApart) {
    for (int percent : kTidebloomSizes) {
        SCOPED_TRACE(percent);
        const TidebloomSizedLayout layout(percent);
        const int w = layout.Width(), h = layout.Height();
        const std::vector<Placed> controls = Controls(layout);
        for (size_t i = 0; i < controls.size(); ++i) {
            const Placed& a = controls[i];
            SCOPED_TRACE(a.what);
            EXPECT_TRUE(a.hit.Inside(w, h));
            EXPECT_TRUE(a.readout.Inside(w, h));
            EXPECT_FALSE(a.readout.Overlaps(a.hit));
            if (a.caption.r > a.caption.l) {
                EXPECT_TRUE(a.caption.Inside(w, h));
            }
            for (size_t j = 0; j < controls.size(); ++j) {
                if (j == i) continue;
                const Placed& b = controls[j];
                SCOPED_TRACE(b.what);
                EXPECT_FALSE(a.hit.Overlaps(b.hit));
                // A readout shows while its control is in use: it must hide no control, nor another one.
                EXPECT_FALSE(a.readout.Overlaps(b.hit));
                EXPECT_FALSE(a.readout.Overlaps(b.readout));
                // A scale is drawn whenever its knob is, so it must not reach into another control.
                EXPECT_FALSE(a.caption.Overlaps(b.hit));
                EXPECT_FALSE(a.caption.Overlaps(b.caption));
            }
        }
    }
}

// Every length of the 100 % layout, scaled to the nearest pixel, halves up; each picture of a size under
// its own name and resource ID.
TEST(Layout, SizesScaleEveryLength) {
    struct Case {
        int v, percent, scaled;
    };
    const Case cases[] = {{555, 150, 833}, {555, 200, 1110}, {323, 150, 485}, {133, 150, 200},
                          {84, 150, 126},  {11, 150, 17},    {9, 150, 14},    {26, 100, 26}};
    for (const Case& c : cases)
        EXPECT_EQ(TidebloomScaled(c.v, c.percent), c.scaled) << c.v << " " << c.percent;
    const TidebloomSizedLayout big(200), mid(150), plain(100);
    EXPECT_STREQ(big.Background().path, "resources/img/back2_200.png");
    EXPECT_STREQ(mid.Knob(kTime).knob.path, "resources/img/time_knob_150.png");
    EXPECT_STREQ(plain.Switch().picture.path, "resources/img/switch.png");
    EXPECT_EQ(plain.Knob(kTime).knob.id, 107);
    EXPECT_NE(mid.Knob(kTime).knob.id, big.Knob(kTime).knob.id);
    EXPECT_EQ(big.Knob(kTime).knob.width, 224);
    EXPECT_EQ(big.Knob(kTime).knob.FrameHeight(), 224);
    EXPECT_EQ(big.Knob(kTime).knob.frames, 120);
    EXPECT_EQ(mid.Switch().picture.FrameHeight(), 39);
    EXPECT_EQ(mid.Knob(kTime).labelSize, 18);
    EXPECT_EQ(mid.Knob(kSensitivity).anchorX, 485);
    EXPECT_TRUE(TidebloomOffersSize(150));
    EXPECT_FALSE(TidebloomOffersSize(175));
}

// The editor the effect builds, as constructed: the background, then the four knobs and the switch
// in table order, each bound to its parameter, with exactly the rectangles the rule above gives (so
// the tests above hold for the real controls), the table's pictures at their sizes and frame counts,
// knobs vertical with gearing 4 and their captions shown, the switch alpha-blended at full weight.
TEST(Layout, TheEditorAsConstructed) {
    TestHost host;
    AEffect* fx = host.Load(TidebloomTestEntry);
    ASSERT_NE(fx, nullptr);
    IGraphics* gui = static_cast<IGraphics*>(static_cast<IEffectVST*>(fx->object)->GetGUI());
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(gui->Width(), kTidebloomEditorWidth);
    EXPECT_EQ(gui->Height(), kTidebloomEditorHeight);
    EXPECT_EQ(gui->FPS(), 25);
    // The background, the knobs, the switch, then a readout for each knob and the switch.
    ASSERT_EQ(gui->NControls(), 2 + 2 * kTidebloomNumKnobs + 1);
    auto expectPicture = [](const IBitmap* bm, const TidebloomPicture& p) {
        SCOPED_TRACE(p.path);
        EXPECT_NE(bm->mData, nullptr);
        EXPECT_EQ(bm->W, p.width);
        EXPECT_EQ(bm->H, p.height);
        EXPECT_EQ(bm->N, p.frames);
        EXPECT_FALSE(bm->mFramesAreHorizontal);
    };

    auto* back = dynamic_cast<IBitmapControl*>(gui->GetControl(0));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back->GetRECT(), IRECT(0, 0, kTidebloomEditorWidth, kTidebloomEditorHeight));
    EXPECT_EQ(back->GetParamIdx(), -1);
    expectPicture(back->GetBitmap(), kTidebloomBackground);

    const std::vector<Placed> placed = Controls();
    for (int i = 0; i < kTidebloomNumKnobs; ++i) {
        const TidebloomKnobLayout& k = kTidebloomKnobs[i];
        SCOPED_TRACE(k.label);
        auto* knob = dynamic_cast<IKnobMultiControlCap*>(gui->GetControl(1 + i));
        ASSERT_NE(knob, nullptr);
        EXPECT_EQ(knob->GetParamIdx(), k.param);
        EXPECT_EQ(FromIRECT(knob->GetTargetRECT()), placed[i].hit);
        EXPECT_EQ(FromIRECT(knob->GetRECT()), placed[i].hit);
        EXPECT_EQ(FromIRECT(knob->GetCaptionRECT()), placed[i].caption);
        EXPECT_EQ(knob->GetAlignment(), kAlignCentre);
        EXPECT_FALSE(knob->IsCaptionHidden());
        EXPECT_EQ(knob->GetGearing(), 4.0);
        EXPECT_EQ(knob->GetBlend()->mMethod, IChannelBlend::kBlendNone);
        expectPicture(knob->GetBitmap(), k.knob);
        ASSERT_NE(knob->GetCaptionBitmap(), nullptr);
        expectPicture(knob->GetCaptionBitmap(), k.caption);
        // Vertical: moving up by the rectangle's height times the gearing turns it from 0 to 1.
        IMouseMod left(true);
        const int cx = (placed[i].hit.l + placed[i].hit.r) / 2, cy = (placed[i].hit.t + placed[i].hit.b) / 2;
        gui->OnMouseDown(cx, cy, &left);
        gui->OnMouseDrag(cx - 5000, cy + 5000, &left); // down (and sideways): to 0
        gui->OnMouseDrag(cx - 5000, cy + 5000 - 4 * k.knob.FrameHeight(), &left);
        gui->OnMouseUp(cx, cy, &left);
        EXPECT_NEAR(knob->GetValue(), 1.0, 1e-12);
    }

    auto* sw = dynamic_cast<ISwitchControl*>(gui->GetControl(1 + kTidebloomNumKnobs));
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->GetParamIdx(), kOnOff);
    EXPECT_EQ(FromIRECT(sw->GetRECT()), SwitchRect());
    EXPECT_EQ(FromIRECT(sw->GetTargetRECT()), SwitchRect());
    EXPECT_EQ(sw->GetBlend()->mMethod, IChannelBlend::kBlendNone);
    EXPECT_EQ(sw->GetBlend()->mWeight, 1.0f);
    expectPicture(sw->GetBitmap(), kTidebloomSwitch.picture);

    for (size_t i = 0; i < placed.size(); ++i) {
        SCOPED_TRACE(placed[i].what);
        auto* readout =
            dynamic_cast<IReadoutControl*>(gui->GetControl(kTidebloomFirstReadout + static_cast<int>(i)));
        ASSERT_NE(readout, nullptr);
        EXPECT_EQ(FromIRECT(readout->GetRECT()), placed[i].readout);
        EXPECT_FALSE(readout->IsHit(placed[i].readout.l, placed[i].readout.t));
    }
    EXPECT_TRUE(gui->RoutesMouseOver());
}

// The rule with odd sizes: a 5-pixel-wide picture centred on x = 10 covers 8..12.
TEST(Layout, CentringUsesIntegerHalves) {
    const Rect expected = {8, 17, 13, 24};
    EXPECT_EQ(Centred(10, 20, {0, "x.png", 5, 21, 3}), expected);
}

// Every picture at every size is compiled in and decodes to the size's dimensions.
TEST(Pictures, DecodeToTheLayoutSizes) {
    for (int percent : kTidebloomSizes) {
        const TidebloomSizedLayout layout(percent);
        const TidebloomSizedLayout precise(percent, kTidebloomPreciseBackground);
        std::vector<TidebloomPicture> all = {layout.Background(), precise.Background(),
                                             layout.Switch().picture};
        for (int i = 0; i < kTidebloomNumKnobs; ++i) {
            all.push_back(layout.Knob(i).knob);
            all.push_back(layout.Knob(i).caption);
        }
        for (const TidebloomPicture& p : all) {
            SCOPED_TRACE(p.path);
            const Raster_NamedResource* res = Raster_FindNamedResource(TidebloomResourceName(p.path));
            ASSERT_NE(res, nullptr);
            std::unique_ptr<Raster_IBitmap> bm(Raster_LoadPNGFromMemory(res->data, res->length, nullptr));
            ASSERT_NE(bm, nullptr);
            EXPECT_EQ(bm->getWidth(), p.width);
            EXPECT_EQ(bm->getHeight(), p.height);
            EXPECT_EQ(p.height % p.frames, 0);
            auto named = LoadCompiledIn(p);
            ASSERT_NE(named, nullptr);
            EXPECT_EQ(Raster_BitmapCmp(named.get(), bm.get(), nullptr), 0);
        }
    }
}

// The background is copied into the editor as it is: no pixel may be see-through. Knob frames and
// scales are blended: their corners are clear so that what lies behind shows.
TEST(Pictures, BackgroundOpaqueOthersClearAtTheCorners) {
    auto back = LoadCompiledIn(kTidebloomBackground);
    ASSERT_NE(back, nullptr);
    for (int y = 0; y < back->getHeight(); ++y)
        for (int x = 0; x < back->getWidth(); ++x)
            ASSERT_EQ(Raster_GetA(Raster_GetPixel(back.get(), x, y)), 255);
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        SCOPED_TRACE(k.label);
        auto strip = LoadCompiledIn(k.knob), caption = LoadCompiledIn(k.caption);
        ASSERT_NE(strip, nullptr);
        ASSERT_NE(caption, nullptr);
        const int fh = k.knob.FrameHeight();
        for (int f = 0; f < k.knob.frames; f += 17) {
            EXPECT_EQ(Raster_GetA(Raster_GetPixel(strip.get(), 0, f * fh)), 0);
            EXPECT_EQ(Raster_GetA(Raster_GetPixel(strip.get(), k.knob.width - 1, f * fh + fh - 1)), 0);
        }
        EXPECT_EQ(Raster_GetA(Raster_GetPixel(caption.get(), 0, 0)), 0);
    }
}

// Frame k of 120 shows the value (k - 1)/119: its light pointer points along the angle of that value
// on the sweep, and a quarter turn away there is only the dark knob.
TEST(Pictures, KnobFrameShowsItsValue) {
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        SCOPED_TRACE(k.label);
        auto strip = LoadCompiledIn(k.knob);
        ASSERT_NE(strip, nullptr);
        const int fh = k.knob.FrameHeight();
        const double c = k.knob.width / 2.0, r = 0.25 * k.knob.width;
        for (int frame : {1, 2, 30, 60, 61, 90, 119, 120}) {
            SCOPED_TRACE(frame);
            const double v = (frame - 1) / 119.0;
            const double deg = kTidebloomKnobStartDegrees + kTidebloomKnobSweepDegrees * v;
            auto at = [&](double d) {
                const double a = d * std::numbers::pi / 180.0;
                const int x = static_cast<int>(std::floor(c + r * std::sin(a)));
                const int y = static_cast<int>(std::floor(c - r * std::cos(a)));
                return Raster_GetPixel(strip.get(), x, (frame - 1) * fh + y);
            };
            EXPECT_GT(Luma(at(deg)), 200.0);
            EXPECT_LT(Luma(at(deg + 90.0)), 110.0);
            EXPECT_LT(Luma(at(deg - 90.0)), 110.0);
        }
    }
}

// Frame 1 is off, frame 2 on: the light thumb sits on the left when off and on the right when on,
// and the on frame is the brighter one.
TEST(Pictures, SwitchStatesDiffer) {
    const TidebloomPicture& p = kTidebloomSwitch.picture;
    auto sw = LoadCompiledIn(p);
    ASSERT_NE(sw, nullptr);
    const int fh = p.FrameHeight();
    auto luma = [&](int frame, int x) {
        return Luma(Raster_GetPixel(sw.get(), x, (frame - 1) * fh + fh / 2));
    };
    const int left = fh / 2, right = p.width - fh / 2;
    EXPECT_GT(luma(2, right), 200.0);
    EXPECT_LT(luma(1, right), 160.0);
    EXPECT_GT(luma(1, left), luma(1, right) + 20.0);
    double sum[2] = {0, 0};
    for (int f = 0; f < 2; ++f)
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < p.width; ++x) sum[f] += Luma(Raster_GetPixel(sw.get(), x, f * fh + y));
    EXPECT_GT(sum[1], sum[0] * 1.5);
}
