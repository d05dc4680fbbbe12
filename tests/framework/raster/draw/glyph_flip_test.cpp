// Coverage-image blending, and flipped bitmaps (row y lives in memory row height - 1 - y).

#include <functional>

#include "DrawTestUtil.h"

using namespace drawtest;

TEST(RasterDrawGlyph, WeightsClippingAndModes) {
    const uint8_t cov[6] = {0, 64, 255, 128, 1, 0};
    const uint32_t d = Word(10, 20, 30, 40), c = Word(250, 150, 50, 200);
    auto bm = MakeBitmap(5, 4, d);
    Raster_DrawGlyph(bm.get(), 1, 1, c, cov, 3, 2, 1.0f, 0);
    // Weight w * coverage / 256 with w = 256: the coverage itself; zero coverage is left alone.
    EXPECT_EQ(Px(bm.get(), 1, 1), d);
    EXPECT_EQ(Px(bm.get(), 2, 1), CopyWord(d, c, 64));
    EXPECT_EQ(Px(bm.get(), 3, 1), CopyWord(d, c, 255));
    EXPECT_EQ(Px(bm.get(), 1, 2), CopyWord(d, c, 128));
    EXPECT_EQ(Px(bm.get(), 2, 2), CopyWord(d, c, 1));
    EXPECT_EQ(Px(bm.get(), 3, 2), d);
    EXPECT_EQ(CountSet(bm.get(), d), 4);

    // Half alpha halves the weights: 256 * 0.5 * 64 / 256 = 32. Rows `span` apart in Ex.
    auto h = MakeBitmap(5, 4, d);
    const uint8_t wide[8] = {64, 255, 9, 9, 128, 0, 9, 9};
    Raster_DrawGlyphEx(h.get(), 0, 0, c, wide, 2, 4, 2, 0.5f, 0);
    EXPECT_EQ(Px(h.get(), 0, 0), CopyWord(d, c, 32));
    EXPECT_EQ(Px(h.get(), 1, 0), CopyWord(d, c, 127));
    EXPECT_EQ(Px(h.get(), 0, 1), CopyWord(d, c, 64));
    EXPECT_EQ(Px(h.get(), 2, 0), d);

    // Clipped at every edge: the part inside lands at the right place.
    auto cl = MakeBitmap(2, 2);
    const uint8_t big[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    Raster_DrawGlyph(cl.get(), -1, -1, 0xFFFFFFFF, big, 3, 3, 1.0f, RASTER_BLEND_ADD);
    EXPECT_EQ(Raster_GetR(Px(cl.get(), 0, 0)), 255 * 5 / 256);
    EXPECT_EQ(Raster_GetR(Px(cl.get(), 1, 0)), 255 * 6 / 256);
    EXPECT_EQ(Raster_GetR(Px(cl.get(), 1, 1)), 255 * 9 / 256);
    Raster_DrawGlyph(cl.get(), INT32_MAX - 1, INT32_MAX - 1, 0xFFFFFFFF, big, 3, 3, 1.0f, 0);
    Raster_DrawGlyph(cl.get(), INT32_MIN, 0, 0xFFFFFFFF, big, 3, 3, 1.0f, 0);

    // Modes above 5, weight 0 and negative copy weights draw nothing.
    auto n = MakeBitmap(3, 3, d);
    Raster_DrawGlyph(n.get(), 0, 0, c, big, 3, 3, 1.0f, 6);
    Raster_DrawGlyph(n.get(), 0, 0, c, big, 3, 3, 0.0f, 0);
    Raster_DrawGlyph(n.get(), 0, 0, c, big, 3, 3, -1.0f, 0);
    Raster_DrawGlyph(n.get(), 0, 0, c, nullptr, 3, 3, 1.0f, 0);
    EXPECT_EQ(CountSet(n.get(), d), 0);
}

namespace {
// Memory rows of the flipped bitmap equal the plain bitmap's rows upside down.
::testing::AssertionResult Mirrored(Raster_IBitmap* plain, Raster_IBitmap* flipped) {
    const int h = plain->getHeight();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < plain->getWidth(); ++x)
            if (Px(plain, x, y) != Px(flipped, x, h - 1 - y))
                return ::testing::AssertionFailure() << "first difference at (" << x << ", " << y << ")";
    return ::testing::AssertionSuccess();
}
} // namespace

TEST(RasterFlipped, RowsAreMirrored) {
    const uint32_t c = 0xFF804020;
    const uint8_t cov[6] = {255, 0, 40, 90, 0, 200};
    const int px[4] = {3, 12, 12, 3}, py[4] = {2, 2, 9, 9};
    const std::vector<std::function<void(Raster_IBitmap*)>> draws = {
        [&](Raster_IBitmap* b) { Raster_Line(b, 1, 2, 13, 7, c, 1.0f, 0, false); },
        [&](Raster_IBitmap* b) { Raster_Line(b, 1, 2, 13, 7, c, 0.7f, 0, true); },
        [&](Raster_IBitmap* b) { Raster_Line(b, 2, 1, 9, 8, c, 1.0f, 0, true); },
        [&](Raster_IBitmap* b) { Raster_DrawRect(b, 2, 1, 8, 5, c, 0.5f, 0); },
        [&](Raster_IBitmap* b) { Raster_FLine(b, 1.5f, 2.2f, 13.7f, 7.9f, c, 1.0f, 0, false); },
        [&](Raster_IBitmap* b) { Raster_FillCircle(b, 8, 5, 4.3f, c, 1.0f, 0, true); },
        [&](Raster_IBitmap* b) { Raster_Circle(b, 8, 5, 3.0f, c, 1.0f, 0, true); },
        [&](Raster_IBitmap* b) { Raster_Circle(b, 8, 5, 5.0f, c, 1.0f, 0, false); },
        [&](Raster_IBitmap* b) { Raster_FillConvexPolygon(b, px, py, 4, c, 1.0f, 0); },
        [&](Raster_IBitmap* b) { Raster_FillTrapezoid(b, 2, 5, 1, 2, 5, 8, c, 0.5f, 0); },
        [&](Raster_IBitmap* b) { Raster_DrawGlyph(b, 4, 3, c, cov, 3, 2, 1.0f, 0); },
    };
    for (size_t i = 0; i < draws.size(); ++i) {
        auto plain = MakeBitmap(16, 11);
        FlippedBitmap flipped(16, 11);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < flipped.getRowSpan(); ++x)
                flipped.getBits()[y * flipped.getRowSpan() + x] = 0;
        draws[i](plain.get());
        draws[i](&flipped);
        EXPECT_GT(CountSet(plain.get()), 0) << "figure " << i;
        EXPECT_TRUE(Mirrored(plain.get(), &flipped)) << "figure " << i;
    }
}
