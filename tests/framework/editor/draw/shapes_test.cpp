// Points, lines, shapes and text drawn by the editor.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/editor/EditorStores.h"
#include "framework/editor/FontStorage.h"
#include "tests/framework/editor/draw/Canvas.h"
#include "tests/support/editor/TestPictures.h"

namespace {

constexpr uint32_t kMarker = Px(1, 2, 3, 4);
const IColor kRed(255, 255, 0, 0);

// The set pixels (those no longer kMarker), as "x,y" strings.
std::vector<std::string> Painted(Canvas& c) {
    std::vector<std::string> out;
    for (int y = 0; y < c.gui->Height(); ++y)
        for (int x = 0; x < c.gui->Width(); ++x)
            if (c.At(x, y) != kMarker) out.push_back(std::to_string(x) + "," + std::to_string(y));
    return out;
}

TEST(EditorShapes, PointsRoundToTheNearestPixel) {
    struct Case {
        float x, y;
        const char* pixel;
    };
    const Case cases[] = {
        {2.5f, 3.49f, "3,3"}, {2.49f, 3.5f, "2,4"}, {0.0f, 0.0f, "0,0"}, {7.4f, 6.6f, "7,7"}};
    for (const Case& c : cases) {
        Canvas canvas(10, 10);
        canvas.Fill(kMarker);
        canvas.Paint([&](IGraphics* g) { g->DrawPoint(&kRed, c.x, c.y); });
        EXPECT_EQ(Painted(canvas), std::vector<std::string>{c.pixel});
    }
}

TEST(EditorShapes, ForcePixelAndGetPoint) {
    Canvas canvas(10, 10);
    canvas.Fill(kMarker);
    const IColor translucent(7, 100, 150, 200);
    canvas.Paint([&](IGraphics* g) {
        EXPECT_TRUE(g->ForcePixel(&translucent, 4, 5));
        EXPECT_FALSE(g->ForcePixel(&translucent, 10, 5)); // outside: nothing
        EXPECT_FALSE(g->ForcePixel(&translucent, -1, 0));
    });
    EXPECT_EQ(canvas.At(4, 5), translucent.ToPixel()); // written as is, no blending
    EXPECT_EQ(Painted(canvas), std::vector<std::string>{"4,5"});
    EXPECT_EQ(canvas.gui->GetPoint(4, 5), translucent);
    EXPECT_EQ(canvas.gui->GetPoint(0, 0), IColor(4, 1, 2, 3));
    EXPECT_EQ(canvas.gui->GetPoint(50, 50), IColor(0, 0, 0, 0));
}

TEST(EditorShapes, LinesAtFractionsOfARectangle) {
    struct Case {
        bool vertical;
        float fraction;
        std::vector<std::string> ends; // first and last pixel of the line
        size_t length;
    };
    // Rectangle (2, 3, 12, 23): 10 wide, 20 high.
    const Case cases[] = {
        {true, 0.5f, {"7,3", "7,23"}, 21},     {true, 0.0f, {"2,3", "2,23"}, 21},
        {true, 1.5f, {"12,3", "12,23"}, 21},   {true, -1.f, {"2,3", "2,23"}, 21},
        {false, 0.25f, {"2,18", "12,18"}, 11}, {false, 1.0f, {"2,3", "12,3"}, 11},
        {false, 0.0f, {"2,23", "12,23"}, 11},
    };
    for (const Case& c : cases) {
        Canvas canvas(30, 30);
        canvas.Fill(kMarker);
        IRECT r(2, 3, 12, 23);
        canvas.Paint([&](IGraphics* g) {
            if (c.vertical)
                g->DrawVerticalLine(&kRed, &r, c.fraction);
            else
                g->DrawHorizontalLine(&kRed, &r, c.fraction);
        });
        const auto painted = Painted(canvas);
        ASSERT_EQ(painted.size(), c.length) << c.fraction;
        EXPECT_EQ(painted.front(), c.ends[0]);
        EXPECT_EQ(painted.back(), c.ends[1]);
    }
}

TEST(EditorShapes, RectOutlineIncludesTheFarCorner) {
    Canvas canvas(20, 20);
    canvas.Fill(kMarker);
    IRECT r(2, 3, 6, 8);
    canvas.Paint([&](IGraphics* g) { g->DrawRect(&kRed, &r); });
    // (R - L + 1) x (B - T + 1) = 5 x 6 outline: 2 * 5 + 2 * 4 pixels.
    EXPECT_EQ(Painted(canvas).size(), 18u);
    for (const char* corner : {"2,3", "6,3", "2,8", "6,8"}) {
        const auto p = Painted(canvas);
        EXPECT_NE(std::find(p.begin(), p.end(), corner), p.end()) << corner;
    }
}

TEST(EditorShapes, RadialLines) {
    struct Case {
        float angle;
        const char* from;
        const char* to;
    };
    // Centre (10, 10), radii 2 to 6: 0 points up, a quarter turn clockwise points right.
    const Case cases[] = {
        {0.0f, "10,8", "10,4"}, {1.5707964f, "12,10", "16,10"}, {-1.5707964f, "8,10", "4,10"}};
    for (const Case& c : cases) {
        Canvas canvas(20, 20);
        canvas.Fill(kMarker);
        canvas.Paint([&](IGraphics* g) { g->DrawRadialLine(&kRed, 10.f, 10.f, c.angle, 2.f, 6.f); });
        const auto p = Painted(canvas);
        ASSERT_EQ(p.size(), 5u) << c.angle;
        EXPECT_NE(std::find(p.begin(), p.end(), c.from), p.end()) << c.angle;
        EXPECT_NE(std::find(p.begin(), p.end(), c.to), p.end()) << c.angle;
    }
}

TEST(EditorShapes, FillRoundRectPieces) {
    struct Case {
        IRECT r;
        int radius;
        float weight;
        bool aa;
    };
    const Case cases[] = {{IRECT(4, 5, 40, 30), 6, 1.0f, false},
                          {IRECT(4, 5, 40, 30), 6, 0.5f, true},
                          {IRECT(0, 0, 20, 20), 9, 0.5f, false}};
    const uint32_t dest = Px(20, 40, 60, 255);
    for (const Case& c : cases) {
        Canvas canvas(48, 40);
        canvas.Fill(dest);
        const IChannelBlend blend(IChannelBlend::kBlendCopy, c.weight);
        IRECT r = c.r;
        canvas.Paint([&](IGraphics* g) { g->FillRoundRect(&kRed, &r, &blend, c.radius, c.aa); });
        // Three rectangles, then four discs in the order top left, bottom right, top right, bottom left;
        // where pieces overlap a translucent fill is blended twice.
        auto expected = Reference(canvas, dest);
        const int L = c.r.L, T = c.r.T, R = c.r.R, B = c.r.B, k = c.radius, W = R - L, H = B - T;
        const uint32_t col = kRed.ToPixel();
        Raster_FillRect(expected.get(), L + k, T, W - 2 * k, H, col, c.weight, 0);
        Raster_FillRect(expected.get(), L, T + k, k, H - 2 * k, col, c.weight, 0);
        Raster_FillRect(expected.get(), R - k, T + k, k, H - 2 * k, col, c.weight, 0);
        Raster_FillCircle(expected.get(), L + k, T + k, k, col, c.weight, 0, c.aa);
        Raster_FillCircle(expected.get(), R - k - 1, B - k - 1, k, col, c.weight, 0, c.aa);
        Raster_FillCircle(expected.get(), R - k - 1, T + k, k, col, c.weight, 0, c.aa);
        Raster_FillCircle(expected.get(), L + k, B - k - 1, k, col, c.weight, 0, c.aa);
        EXPECT_EQ(Differences(canvas, expected.get()), 0) << c.radius << " " << c.weight;
    }
}

TEST(EditorShapes, OtherShapesReachTheirRasterRoutines) {
    // Each operation against the raster call it stands for, with the blend mapping of points and lines
    // (outlines) or of fills.
    const IChannelBlend add(IChannelBlend::kBlendAdd, 0.75f);
    const uint32_t dest = Px(20, 40, 60, 255);
    const uint32_t col = kRed.ToPixel();
    int xs[] = {3, 30, 20, 5};
    int ys[] = {4, 8, 30, 25};
    struct Case {
        const char* what;
        std::function<void(IGraphics*)> editor;
        std::function<void(Raster_IBitmap*)> raster;
    };
    IRECT rr(3, 4, 33, 28);
    const Case cases[] = {
        {"arc", [&](IGraphics* g) { g->DrawArc(&kRed, 20, 20, 9, -1.f, 2.f, &add, true); },
         [&](Raster_IBitmap* b) { Raster_Arc(b, 20, 20, 9, -1.f, 2.f, col, 0.75f, 1, true); }},
        {"circle", [&](IGraphics* g) { g->DrawCircle(&kRed, 20, 18, 7.5f, &add, false); },
         [&](Raster_IBitmap* b) { Raster_Circle(b, 20, 18, 7.5f, col, 0.75f, 1, false); }},
        {"roundrect", [&](IGraphics* g) { g->RoundRect(&kRed, &rr, &add, 5, true); },
         [&](Raster_IBitmap* b) { Raster_RoundRect(b, 3, 4, 30, 24, 5, col, 0.75f, 1, true); }},
        {"fillcircle", [&](IGraphics* g) { g->FillCircle(&kRed, 20, 18, 7.5f, &add, true); },
         [&](Raster_IBitmap* b) { Raster_FillCircle(b, 20, 18, 7.5f, col, 0.75f, 0x10001, true); }},
        {"triangle", [&](IGraphics* g) { g->FillTriangle(&kRed, 3, 4, 30, 8, 20, 30, &add); },
         [&](Raster_IBitmap* b) { Raster_FillTriangle(b, 3, 4, 30, 8, 20, 30, col, 0.75f, 0x10001); }},
        {"polygon", [&](IGraphics* g) { g->FillIConvexPolygon(&kRed, xs, ys, 4, &add); },
         [&](Raster_IBitmap* b) { Raster_FillConvexPolygon(b, xs, ys, 4, col, 0.75f, 0x10001); }},
        {"line", [&](IGraphics* g) { g->DrawLine(&kRed, 3.9f, 4.2f, 30.7f, 25.1f, &add, true); },
         [&](Raster_IBitmap* b) { Raster_Line(b, 3, 4, 30, 25, col, 0.75f, 1, true); }},
    };
    for (const Case& c : cases) {
        Canvas canvas(40, 40);
        canvas.Fill(dest);
        canvas.Paint(c.editor);
        auto expected = Reference(canvas, dest);
        c.raster(expected.get());
        EXPECT_EQ(Differences(canvas, expected.get()), 0) << c.what;
        EXPECT_GT(Painted(canvas).size(), 0u);
    }
}

// ---- Text ----

TEST(EditorText, EmptyStringsDrawNothing) {
    Canvas canvas(40, 20);
    canvas.Fill(kMarker);
    IText text;
    IRECT r(0, 0, 40, 20);
    canvas.Paint([&](IGraphics* g) {
        EXPECT_TRUE(g->DrawIText(&text, "", &r));
        EXPECT_TRUE(g->DrawIText(&text, nullptr, &r));
    });
    EXPECT_TRUE(Painted(canvas).empty());
    EXPECT_EQ(text.mCached, nullptr); // not even a font was needed
}

TEST(EditorText, MeasuringKeepsTheAnchorOfTheAlignment) {
    Canvas canvas(200, 60);
    IText::EAlign aligns[] = {IText::kAlignNear, IText::kAlignCenter, IText::kAlignFar};
    int widths[3];
    for (int i = 0; i < 3; ++i) {
        IText text(14, &COLOR_WHITE, "DejaVu Sans", IText::kStyleNormal, aligns[i]);
        IRECT r(10, 5, 111, 25);
        EXPECT_TRUE(canvas.gui->MeasureIText(&text, "abc", &r));
        const int w = r.W(), h = r.H();
        widths[i] = w;
        EXPECT_GT(w, 10);
        EXPECT_GT(h, 10);
        EXPECT_EQ(r.T, 5);
        switch (aligns[i]) {
        case IText::kAlignNear:
            EXPECT_EQ(r.L, 10);
            break;
        case IText::kAlignCenter:
            // The old middle (int)(121 * 0.5f) = 60 stays the middle: L = 60 - w / 2.
            EXPECT_EQ(r.L, 60 - w / 2);
            break;
        case IText::kAlignFar:
            EXPECT_EQ(r.R, 111);
            break;
        }
        // Drawn with the same style in the measured box, the text stays inside it.
        canvas.Fill(kMarker);
        IRECT box = r;
        IRECT where(10, 5, 111, 25);
        canvas.Paint([&](IGraphics* g) { g->DrawIText(&text, "abc", &where); });
        const auto painted = Painted(canvas);
        ASSERT_FALSE(painted.empty());
        for (const std::string& p : painted) {
            const int x = std::stoi(p), y = std::stoi(p.substr(p.find(',') + 1));
            EXPECT_TRUE(x >= box.L && x < box.R && y >= box.T && y < box.B) << p;
        }
    }
    EXPECT_EQ(widths[0], widths[1]);
    EXPECT_EQ(widths[1], widths[2]);
}

TEST(EditorText, TransparentColourDrawsNothing) {
    Canvas canvas(60, 30);
    canvas.Fill(kMarker);
    const IColor clear(0, 255, 255, 255);
    IText text(14, &clear);
    IRECT r(0, 0, 60, 30);
    canvas.Paint([&](IGraphics* g) { EXPECT_TRUE(g->DrawIText(&text, "Hello", &r)); });
    EXPECT_TRUE(Painted(canvas).empty());
}

TEST(EditorText, FontsAreSharedByKey) {
    Canvas canvas;
    FontStorage* fonts = EditorStores::Fonts();
    const int before = fonts->Count();
    IText red(12, &kRed), white(12, &COLOR_WHITE, nullptr, IText::kStyleNormal, IText::kAlignFar);
    IText bigger(13, &kRed), bold(12, &kRed, nullptr, IText::kStyleBold), other(12, &kRed, "DejaVu Serif");
    Raster_CachedFont* a = canvas.gui->CacheFont(&red);
    ASSERT_NE(a, nullptr);
    // Colour and alignment are not part of the key.
    EXPECT_EQ(canvas.gui->CacheFont(&white), a);
    EXPECT_EQ(fonts->Count(), before + 1);
    EXPECT_NE(canvas.gui->CacheFont(&bigger), a);
    EXPECT_NE(canvas.gui->CacheFont(&bold), a);
    EXPECT_NE(canvas.gui->CacheFont(&other), a);
    EXPECT_EQ(fonts->Count(), before + 4);
    // The cached pointer is used from then on.
    EXPECT_EQ(red.mCached, a);
    EXPECT_EQ(canvas.gui->CacheFont(&red), a);
}

TEST(EditorText, CachedFontsFromAnEarlierEditorAreLookedUpAgain) {
    IText text(11, &kRed);
    unsigned firstGeneration;
    {
        Canvas first;
        ASSERT_NE(first.gui->CacheFont(&text), nullptr);
        firstGeneration = text.mCachedGeneration;
    }
    // The last editor is gone: the store is empty and its pointers are stale.
    EXPECT_EQ(EditorStores::GetCounts().mFonts, 0);
    Canvas second;
    Raster_CachedFont* again = second.gui->CacheFont(&text);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(text.mCachedGeneration, firstGeneration);
    EXPECT_EQ(EditorStores::Fonts()->Find(&text), again);
}

} // namespace
