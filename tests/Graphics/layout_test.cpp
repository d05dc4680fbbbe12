// The editor's layout and its compiled-in pictures: every control inside the window, no two hit
// rectangles overlapping, no scale painted over another control, the pictures decoding to the sizes
// and frame counts the layout gives, and what the frames show (the knob pointer's angle, the switch).
#include "Graphics/TidebloomLayout.h"
#include "Tidebloom.h"
#include "framework/raster/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Rect {
    int l, t, r, b; // right and bottom exclusive
    bool Overlaps(const Rect& o) const { return l < o.r && o.l < r && t < o.b && o.t < b; }
    bool Inside(int w, int h) const { return l >= 0 && t >= 0 && r <= w && b <= h && l < r && t < b; }
};

// A picture centred on (x, y) the way the editor places it: integer halves of its width and of one
// frame's height.
Rect Centred(int x, int y, const TidebloomPicture& p) {
    const int fh = p.height / p.frames;
    return {x - p.width / 2, y - fh / 2, x - p.width / 2 + p.width, y - fh / 2 + fh};
}

struct Placed {
    std::string what;
    Rect hit;
    Rect caption; // empty for the switch
};

std::vector<Placed> Controls() {
    std::vector<Placed> out;
    for (const TidebloomKnobLayout& k : kTidebloomKnobs)
        out.push_back(
            {k.label, Centred(k.anchorX, k.anchorY, k.knob), Centred(k.anchorX, k.anchorY, k.caption)});
    const TidebloomSwitchLayout& s = kTidebloomSwitch;
    const int fh = s.picture.height / s.picture.frames;
    out.push_back({s.label, {s.x, s.y, s.x + s.picture.width, s.y + fh}, {0, 0, 0, 0}});
    return out;
}

std::unique_ptr<Raster_IBitmap> LoadCompiledIn(const TidebloomPicture& p) {
    return std::unique_ptr<Raster_IBitmap>(
        Raster_LoadPNGFromNamedResource(TidebloomResourceName(p.path), nullptr));
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

TEST(Layout, ControlsLieInsideTheWindowAndApart) {
    const std::vector<Placed> controls = Controls();
    for (size_t i = 0; i < controls.size(); ++i) {
        const Placed& a = controls[i];
        SCOPED_TRACE(a.what);
        EXPECT_TRUE(a.hit.Inside(kTidebloomEditorWidth, kTidebloomEditorHeight));
        if (a.caption.r > a.caption.l) {
            EXPECT_TRUE(a.caption.Inside(kTidebloomEditorWidth, kTidebloomEditorHeight));
        }
        for (size_t j = 0; j < controls.size(); ++j) {
            if (j == i) continue;
            const Placed& b = controls[j];
            SCOPED_TRACE(b.what);
            EXPECT_FALSE(a.hit.Overlaps(b.hit));
            // A scale is drawn whenever its knob is, so it must not reach into another control.
            EXPECT_FALSE(a.caption.Overlaps(b.hit));
            EXPECT_FALSE(a.caption.Overlaps(b.caption));
        }
    }
}

// The rule with odd sizes: a 5-pixel-wide picture centred on x = 10 covers 8..12.
TEST(Layout, CentringUsesIntegerHalves) {
    const Rect r = Centred(10, 20, {0, "x.png", 5, 21, 3});
    EXPECT_EQ(r.l, 8);
    EXPECT_EQ(r.r, 13);
    EXPECT_EQ(r.t, 17);
    EXPECT_EQ(r.b, 24);
}

TEST(Pictures, DecodeToTheLayoutSizes) {
    std::vector<TidebloomPicture> all = {kTidebloomBackground, kTidebloomSwitch.picture};
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        all.push_back(k.knob);
        all.push_back(k.caption);
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
