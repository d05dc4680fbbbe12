// Blits of pictures: blend mapping, frame choice, clipping to the redraw rectangle, rotation.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/BlendRef.h"
#include "tests/framework/editor/draw/Canvas.h"
#include "tests/support/editor/TestPictures.h"

namespace {

using blendref::Pack;

constexpr uint32_t kMarker = Px(1, 2, 3, 4);

TEST(EditorBlit, BlendMethodsMapToRasterModes) {
    using M = IChannelBlend::EBlendMethod;
    const uint32_t dest = Px(30, 60, 90, 200);
    const uint32_t sources[] = {Px(200, 100, 50, 255), Px(200, 100, 50, 128), Px(200, 100, 50, 0)};
    struct Case {
        bool useBlend;
        int method; // 7: not a method, treated like none
        float weight;
        uint32_t (*ref)(uint32_t, uint32_t, int);
    };
    const Case cases[] = {
        {false, 0, 1.0f, blendref::CopySourceAlpha},
        {true, M::kBlendNone, 1.0f, blendref::CopySourceAlpha},
        {true, M::kBlendNone, 0.6f, blendref::CopySourceAlpha},
        {true, 7, 1.0f, blendref::CopySourceAlpha},
        {true, M::kBlendCopy, 1.0f, blendref::Copy},
        {true, M::kBlendCopy, 0.6f, blendref::Copy},
        {true, M::kBlendAdd, 1.0f, blendref::AddSourceAlpha},
        {true, M::kBlendAdd, 0.5f, blendref::AddSourceAlpha},
        {true, M::kBlendDodge, 1.0f, blendref::DodgeSourceAlpha},
        {true, M::kBlendDodge, 0.5f, blendref::DodgeSourceAlpha},
    };
    for (const Case& c : cases) {
        for (uint32_t src : sources) {
            Canvas canvas(8, 8);
            canvas.Fill(dest);
            auto picture = MakeSolidPicture(2, 2, src);
            IBitmap bm(picture.get(), 2, 2);
            IChannelBlend blend(static_cast<M>(c.method), c.weight);
            IRECT r(3, 3, 5, 5);
            canvas.Paint([&](IGraphics* g) { g->DrawBitmap(&bm, &r, 0, 0, c.useBlend ? &blend : nullptr); });
            // Weights 0.6 (153) and 1 use the per-channel combiners (some others mix whole words).
            const uint32_t expected = c.ref(dest, src, static_cast<int>(c.weight * 256));
            EXPECT_EQ(canvas.At(3, 3), expected)
                << "method " << c.method << " weight " << c.weight << " src " << std::hex << src;
            EXPECT_EQ(canvas.At(4, 4), expected);
            EXPECT_EQ(canvas.At(5, 5), dest);
        }
    }
}

TEST(EditorBlit, FillsAndLinesUseTheirOwnModes) {
    const uint32_t dest = Px(30, 60, 90, 200);
    const IColor clear(0, 10, 20, 30); // alpha 0
    const IColor solid(255, 10, 20, 30);
    const IChannelBlend none(IChannelBlend::kBlendNone), copy(IChannelBlend::kBlendCopy),
        add(IChannelBlend::kBlendAdd), partCopy(IChannelBlend::kBlendCopy, 0.6f);
    struct Case {
        const char* what;
        std::function<void(IGraphics*)> draw;
        uint32_t expected;
    };
    IRECT r(2, 2, 4, 4);
    const Case cases[] = {
        // Fills of kBlendNone and kBlendAdd scale the weight by the colour's alpha: nothing at alpha 0.
        {"fill none", [&](IGraphics* g) { g->FillIRect(&clear, &r, &none); }, dest},
        {"fill null", [&](IGraphics* g) { g->FillIRect(&clear, &r, nullptr); }, dest},
        {"fill add", [&](IGraphics* g) { g->FillIRect(&clear, &r, &add); }, dest},
        // kBlendCopy writes the colour word, alpha included.
        {"fill copy", [&](IGraphics* g) { g->FillIRect(&clear, &r, &copy); }, clear.ToPixel()},
        // A solid fill below full weight mixes in the weight as the source alpha.
        {"fill copy 0.6", [&](IGraphics* g) { g->FillIRect(&solid, &r, &partCopy); },
         blendref::Copy(dest, IColor(153, 10, 20, 30).ToPixel(), 153)},
        {"fill none solid", [&](IGraphics* g) { g->FillIRect(&solid, &r, &none); }, solid.ToPixel()},
        // Points and lines never weight by alpha: kBlendNone copies even a transparent colour.
        {"line none", [&](IGraphics* g) { g->DrawLine(&clear, 2, 2, 3, 2, &none, false); }, clear.ToPixel()},
        {"point null", [&](IGraphics* g) { g->DrawPoint(&clear, 2, 2, nullptr); }, clear.ToPixel()},
        {"line add", [&](IGraphics* g) { g->DrawLine(&solid, 2, 2, 3, 2, &add, false); },
         blendref::Add(dest, solid.ToPixel(), 256)},
    };
    for (const Case& c : cases) {
        Canvas canvas(8, 8);
        canvas.Fill(dest);
        canvas.Paint(c.draw);
        EXPECT_EQ(canvas.At(2, 2), c.expected) << c.what;
        EXPECT_EQ(canvas.At(5, 5), dest) << c.what;
    }
}

// The source row every pixel of the drawn area came from, or -1 where the canvas kept its marker.
TEST(EditorBlit, FrameChoice) {
    struct Case {
        int h, n, state;
        int expectedOffset; // worked out by hand from (int)((state - 1) * H / N + 0.5)
    };
    const Case cases[] = {
        {7200, 120, 61, 3600},
        {7200, 120, 120, 7140},
        {7200, 120, 1, 0},
        {7200, 120, 2, 60},
        {60, 2, 0, 0},
        {60, 2, 1, 0},
        {60, 2, 2, 30},
        {7201, 120, 120, 7141}, // not a multiple: 7140.99 rounds to 7141, rows
                                // 7141..7200 are the frame
        {7199, 120, 120, 7139},
        {10, 3, 2, 3},
        {10, 3, 3, 7},
        {7200, 120, 200, 7140}, // beyond the strip: the last frame
        {7200, 120, -3, 0},
        {40, 1, 5, 0},
    };
    for (const Case& c : cases) {
        auto picture = MakeCoordPicture(4, c.h);
        IBitmap bm(picture.get(), 4, c.h, c.n);
        const int frameH = c.h / c.n;
        Canvas canvas(8, frameH + 8);
        canvas.Fill(kMarker);
        // A rectangle taller than a frame: only the frame is drawn.
        IRECT r(1, 2, 5, 2 + frameH + 5);
        canvas.Paint([&](IGraphics* g) { g->DrawBitmap(&bm, &r, c.state, nullptr); });
        for (int y = 0; y < frameH + 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool inFrame = x >= 1 && x < 5 && y >= 2 && y < 2 + frameH;
                if (inFrame) {
                    ASSERT_EQ(CoordY(canvas.At(x, y)), c.expectedOffset + y - 2)
                        << c.h << "/" << c.n << " " << c.state;
                    ASSERT_EQ(CoordX(canvas.At(x, y)), x - 1);
                } else {
                    ASSERT_EQ(canvas.At(x, y), kMarker) << x << "," << y;
                }
            }
        }
        EXPECT_LE(c.expectedOffset + frameH, c.h); // never past the picture
    }
}

TEST(EditorBlit, SideBySideFrames) {
    auto picture = MakeCoordPicture(30, 5); // three frames of 10 x 5
    IBitmap bm(picture.get(), 30, 5, 3, true);
    Canvas canvas(16, 8);
    canvas.Fill(kMarker);
    IRECT r(0, 0, 16, 5);
    canvas.Paint([&](IGraphics* g) { g->DrawBitmap(&bm, &r, 3, nullptr); });
    EXPECT_EQ(CoordX(canvas.At(0, 0)), 20);
    EXPECT_EQ(CoordX(canvas.At(9, 4)), 29);
    EXPECT_EQ(CoordY(canvas.At(9, 4)), 4);
    EXPECT_EQ(canvas.At(10, 0), kMarker); // one frame wide
}

TEST(EditorBlit, ClippedToTheRedrawRectangle) {
    struct Case {
        IRECT r, d;
        int srcX, srcY;
        IRECT expectedClip; // all zero: nothing drawn
    };
    const Case cases[] = {
        {IRECT(10, 10, 30, 30), IRECT(20, 0, 64, 64), 0, 0, IRECT(20, 10, 30, 30)},
        {IRECT(10, 10, 30, 30), IRECT(0, 0, 64, 64), 5, 7, IRECT(10, 10, 30, 30)},
        {IRECT(10, 10, 30, 30), IRECT(12, 14, 16, 40), 3, 0, IRECT(12, 14, 16, 30)},
        {IRECT(10, 10, 30, 30), IRECT(30, 0, 64, 64), 0, 0, IRECT()}, // touches the left edge: zero width
        {IRECT(10, 10, 30, 30), IRECT(0, 30, 64, 64), 0, 0, IRECT()}, // touches the top edge: zero height
        {IRECT(10, 10, 30, 30), IRECT(40, 40, 50, 50), 0, 0, IRECT()},
        {IRECT(10, 10, 30, 30), IRECT(), 0, 0, IRECT()}, // empty redraw rectangle
    };
    for (const Case& c : cases) {
        auto picture = MakeCoordPicture(64, 64);
        IBitmap bm(picture.get(), 64, 64);
        Canvas canvas(64, 64);
        canvas.Fill(kMarker);
        IRECT r = c.r;
        canvas.Paint(c.d, [&](IGraphics* g) { g->DrawBitmap(&bm, &r, c.srcX, c.srcY, nullptr); });
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                if (!c.expectedClip.Empty() && c.expectedClip.Contains(x, y)) {
                    ASSERT_EQ(CoordX(canvas.At(x, y)), c.srcX + x - c.r.L);
                    ASSERT_EQ(CoordY(canvas.At(x, y)), c.srcY + y - c.r.T);
                } else {
                    ASSERT_EQ(canvas.At(x, y), kMarker) << x << "," << y;
                }
            }
        }
    }
}

TEST(EditorBlit, PicturesThatFailedToLoadDrawNothing) {
    IBitmap missing; // null raster bitmap
    Canvas canvas(8, 8);
    canvas.Fill(kMarker);
    IRECT r(0, 0, 8, 8);
    canvas.Paint([&](IGraphics* g) {
        EXPECT_TRUE(g->DrawBitmap(&missing, &r, 1, nullptr));
        EXPECT_TRUE(g->DrawRotatedBitmap(&missing, 4, 4, 1.0));
        EXPECT_TRUE(g->DrawRotatedMask(&missing, &missing, &missing, 0, 0, 30.0));
        EXPECT_FALSE(g->DrawBitmap(nullptr, &r, 1, nullptr));
    });
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(canvas.At(x, y), kMarker);
}

TEST(EditorBlit, RotatedBitmap) {
    struct Case {
        int w, h, cx, cy, yOffset;
        double angle;
        bool useBlend;
    };
    const Case cases[] = {{9, 7, 20, 20, 0, 0.0, false},
                          {9, 7, 20, 21, 0, 0.7, false},
                          {10, 8, 30, 20, 3, -1.2, true},
                          {5, 5, 2, 2, 0, 3.0, true}};
    for (const Case& c : cases) {
        auto picture = MakeCoordPicture(c.w, c.h);
        IBitmap bm(picture.get(), c.w, c.h);
        const IChannelBlend blend(IChannelBlend::kBlendAdd, 0.75f);
        Canvas canvas(48, 48);
        canvas.Fill(kMarker);
        canvas.Paint([&](IGraphics* g) {
            g->DrawRotatedBitmap(&bm, c.cx, c.cy, c.angle, c.yOffset, c.useBlend ? &blend : nullptr);
        });
        // Placed with its centre at (cx, cy) (halves truncated), bilinear, not clipped to the source
        // rectangle, the rotation centre moved down by the y offset; angle in radians.
        auto expected = Reference(canvas, kMarker);
        Raster_RotatedBlit(expected.get(), picture.get(), c.cx - c.w / 2, c.cy - c.h / 2, c.w, c.h, 0, 0,
                           static_cast<float>(c.w), static_cast<float>(c.h), static_cast<float>(c.angle),
                           false, c.useBlend ? 0.75f : 1.0f, c.useBlend ? 0x10101 : 0x10100, 0.0f,
                           static_cast<float>(c.yOffset));
        EXPECT_EQ(Differences(canvas, expected.get()), 0) << c.w << "x" << c.h << " " << c.angle;
    }
    // At angle 0 the picture lands unturned: its centre pixel at (cx, cy).
    auto picture = MakeCoordPicture(9, 7);
    IBitmap bm(picture.get(), 9, 7);
    Canvas canvas(48, 48);
    canvas.Paint([&](IGraphics* g) { g->DrawRotatedBitmap(&bm, 20, 20, 0.0); });
    EXPECT_EQ(CoordX(canvas.At(20, 20)), 4);
    EXPECT_EQ(CoordY(canvas.At(20, 20)), 3);
}

TEST(EditorBlit, RotatedMask) {
    struct Case {
        int w, h;
        double degrees;
        IRECT drawRect;
    };
    const Case cases[] = {{16, 16, 0.0, IRECT(0, 0, 40, 40)},
                          {16, 16, 90.0, IRECT(0, 0, 40, 40)},
                          {15, 15, 45.0, IRECT(0, 0, 40, 40)},
                          {15, 12, -30.0, IRECT(0, 0, 40, 40)},
                          {16, 16, 151.0, IRECT(8, 8, 14, 30)}};
    const uint32_t dest = Px(10, 20, 30, 255);
    for (const Case& c : cases) {
        auto base = MakeSolidPicture(c.w, c.h, Px(40, 40, 40, 255));
        auto mask = MakeSolidPicture(c.w, c.h, 0);
        Raster_FillRect(mask.get(), c.w / 2 - 1, 0, 3, c.h / 2, Px(0, 0, 0, 200), 1.0f, RASTER_BLEND_COPY);
        auto top = MakeSolidPicture(c.w, c.h, 0);
        Raster_FillCircle(top.get(), c.w / 2.0f, c.h / 2.0f, 2.5f, Px(250, 250, 0, 255), 1.0f,
                          RASTER_BLEND_COPY, false);
        IBitmap b(base.get(), c.w, c.h), m(mask.get(), c.w, c.h), t(top.get(), c.w, c.h);
        Canvas canvas(40, 40);
        canvas.Fill(dest);
        canvas.Paint(c.drawRect,
                     [&](IGraphics* g) { g->DrawRotatedMask(&b, &m, &t, 5, 6, c.degrees, nullptr); });

        // The composition, step by step with raster calls: base with its alpha cleared, the mask added
        // and the top copied, both turned (radians) about the centre (half a pixel left for odd widths)
        // and clipped to the source rectangle; then blitted at (5, 6) within the redraw rectangle.
        Raster_MemBitmap scratch;
        Raster_Copy(&scratch, base.get());
        Raster_ClearRect(&scratch, 0, 0, c.w, c.h, 0xFFFFFF00u, 0);
        const float rad = static_cast<float>(c.degrees * 3.14159265358979323846 / 180.0);
        const float cx = (c.w % 2) ? -0.5f : 0.0f;
        Raster_RotatedBlit(&scratch, mask.get(), 0, 0, c.w, c.h, 0, 0, c.w, c.h, rad, true, 1.0f, 0x10101, cx,
                           0);
        Raster_RotatedBlit(&scratch, top.get(), 0, 0, c.w, c.h, 0, 0, c.w, c.h, rad, true, 1.0f, 0x10100, cx,
                           0);
        auto expected = Reference(canvas, dest);
        const IRECT clip = IRECT(5, 6, 5 + c.w, 6 + c.h).ClipTo(c.drawRect);
        Raster_Blit(expected.get(), &scratch, clip.L, clip.T, clip.L - 5, clip.T - 6, clip.W(), clip.H(),
                    1.0f, 0x10000);
        EXPECT_EQ(Differences(canvas, expected.get()), 0) << c.degrees;
    }
}

TEST(EditorBlit, RotatedMaskTurnsClockwise) {
    // A mask bar pointing up from the centre, turned by +90 degrees, points right.
    const int s = 21;
    auto base = MakeSolidPicture(s, s, Px(0, 0, 0, 255));
    auto mask = MakeSolidPicture(s, s, 0);
    Raster_FillRect(mask.get(), 9, 1, 3, 8, Px(255, 255, 255, 255), 1.0f, RASTER_BLEND_COPY);
    auto top = MakeSolidPicture(s, s, 0);
    IBitmap b(base.get(), s, s), m(mask.get(), s, s), t(top.get(), s, s);
    Canvas canvas(s, s);
    canvas.Paint([&](IGraphics* g) { g->DrawRotatedMask(&b, &m, &t, 0, 0, 90.0); });
    EXPECT_GT(blendref::Unpack(canvas.At(15, 10)).r, 200); // right of the centre
    EXPECT_LT(blendref::Unpack(canvas.At(10, 4)).r, 50);   // above it: dark now
    EXPECT_LT(blendref::Unpack(canvas.At(4, 10)).r, 50);
}

} // namespace
