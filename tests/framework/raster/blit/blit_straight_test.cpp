#include <gtest/gtest.h>

#include <climits>

#include "tests/framework/raster/blit/BlitTestUtil.h"

using namespace blittest;
using namespace rasterref;

namespace {

// Straight copy expected by mapping every source pixel of the rectangle [l, r) x [t, b) that
// exists to destination (dstx + x - l, dsty + y - t), in 64-bit arithmetic.
void ReferenceCopy(Raster_IBitmap& dest, Raster_IBitmap& src, int64_t dstx, int64_t dsty, int64_t l,
                   int64_t t, int64_t r, int64_t b, std::vector<uint32_t>& expect) {
    for (int64_t y = std::max<int64_t>(t, 0); y < std::min<int64_t>(b, src.getHeight()); ++y)
        for (int64_t x = std::max<int64_t>(l, 0); x < std::min<int64_t>(r, src.getWidth()); ++x) {
            const int64_t dx = dstx + x - l, dy = dsty + y - t;
            if (dx < 0 || dy < 0 || dx >= dest.getWidth() || dy >= dest.getHeight()) continue;
            expect[(size_t)(dy * dest.getWidth() + dx)] = AtLogical(src, (int)x, (int)y);
        }
}

} // namespace

TEST(RasterBlit, CopyAtFullAndHalfWeight) {
    Raster_MemBitmap src(6, 5, 4), dest(9, 8, 4);
    FillPattern(src);
    FillAll(dest, 0x01020304u);
    Raster_Blit(&dest, &src, 2, 1, nullptr, 1.0f, RASTER_BLEND_COPY);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool in = x >= 2 && x < 8 && y >= 1 && y < 6;
            ASSERT_EQ(At(dest, x, y), in ? Pattern(x - 2, y - 1) : 0x01020304u) << x << "," << y;
        }

    Raster_MemBitmap white(4, 4, 4), black(4, 4, 4);
    FillAll(white, 0xFFFFFFFFu);
    FillAll(black, 0);
    Raster_Blit(&black, &white, 0, 0, nullptr, 0.5f, RASTER_BLEND_COPY);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(At(black, x, y), 0x7F7F7F7Fu);

    // Alpha 0 draws nothing, whatever the mode.
    Raster_Blit(&black, &white, 0, 0, nullptr, 0.0f, RASTER_BLEND_ADD);
    EXPECT_EQ(At(black, 1, 1), 0x7F7F7F7Fu);
}

TEST(RasterBlit, EveryModeAndWeightThroughTheCombiners) {
    Raster_MemBitmap src(7, 6, 4), dest(7, 6, 4);
    FillPattern(src);
    for (int base = 0; base <= 5; ++base)
        for (int sa : {0, RASTER_BLEND_SOURCE_ALPHA})
            for (float alpha : {1.0f, 0.75f, 0.3f, 0.5f, 1.0f / 256.0f}) {
                const int mode = base | sa;
                for (int y = 0; y < 6; ++y)
                    for (int x = 0; x < 7; ++x) At(dest, x, y) = Pattern(x + 11, y + 3);
                Raster_Blit(&dest, &src, 0, 0, nullptr, alpha, mode);
                const int w = (int)(alpha * 256.0f);
                for (int y = 0; y < 6; ++y)
                    for (int x = 0; x < 7; ++x) {
                        const uint32_t d = Pattern(x + 11, y + 3), s = Pattern(x, y);
                        uint32_t want;
                        if (mode == RASTER_BLEND_COPY && alpha == 1.0f)
                            want = s;
                        else if (mode == RASTER_BLEND_COPY && alpha == 0.5f)
                            want = ((d >> 1) & 0x7F7F7F7Fu) + ((s >> 1) & 0x7F7F7F7Fu);
                        else {
                            Kind k;
                            ASSERT_TRUE(ImageKind(mode, w, k));
                            const Px p = Unpack(s);
                            want = Combine(k, d, p.c[1], p.c[2], p.c[3], p.c[0], w);
                        }
                        ASSERT_EQ(At(dest, x, y), want)
                            << "mode " << mode << " alpha " << alpha << " at " << x;
                    }
            }
    // Unknown modes draw nothing.
    FillAll(dest, 0x55555555u);
    for (int mode : {6, 0x80, 0xEF, 0x10007}) Raster_Blit(&dest, &src, 0, 0, nullptr, 1.0f, mode);
    EXPECT_EQ(At(dest, 3, 3), 0x55555555u);
}

TEST(RasterBlit, SourceRectangleAndDestinationClipping) {
    Raster_MemBitmap src(20, 20, 4), dest(30, 30, 4);
    FillPattern(src);
    // A source rectangle starting at (-5, -5) draws the source from (0, 0) at (dstx + 5, dsty + 5).
    FillAll(dest, 0);
    const RECT r = {-5, -5, 10, 10};
    Raster_Blit(&dest, &src, 3, 4, &r, 1.0f, RASTER_BLEND_COPY);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool in = x >= 8 && x < 18 && y >= 9 && y < 19;
            ASSERT_EQ(At(dest, x, y), in ? Pattern(x - 8, y - 9) : 0u) << x << "," << y;
        }
    // A negative destination origin raises the source origin.
    FillAll(dest, 0);
    Raster_Blit(&dest, &src, -3, -7, 2, 1, 10, 10, 1.0f, RASTER_BLEND_COPY);
    EXPECT_EQ(At(dest, 0, 0), Pattern(5, 8));
    EXPECT_EQ(At(dest, 6, 2), Pattern(11, 10));
    EXPECT_EQ(At(dest, 7, 0), 0u);
    EXPECT_EQ(At(dest, 0, 3), 0u);
}

TEST(RasterBlit, AnyCoordinatesAreClipped) {
    Raster_MemBitmap src(13, 11, 4), dest(17, 9, 4);
    FillPattern(src);
    const int vals[] = {INT_MIN, INT_MIN + 1, -1000000, -14, -1, 0, 3, 12, 16, 1000000, INT_MAX - 1, INT_MAX};
    const int sizes[] = {INT_MIN, -5, 0, 4, 13, INT_MAX};
    std::vector<uint32_t> expect;
    for (int dstx : vals)
        for (int sx : vals)
            for (int sw : sizes) {
                const int dsty = dstx == 3 ? -2 : dstx, sy = sx == 3 ? 1 : sx, sh = sw == 4 ? 9 : sw;
                FillAll(dest, 0xDEADBEEFu);
                Raster_Blit(&dest, &src, dstx, dsty, sx, sy, sw, sh, 1.0f, RASTER_BLEND_COPY);
                expect.assign(17 * 9, 0xDEADBEEFu);
                ReferenceCopy(dest, src, dstx, dsty, sx, sy, (int64_t)sx + sw, (int64_t)sy + sh, expect);
                for (int y = 0; y < 9; ++y)
                    for (int x = 0; x < 17; ++x)
                        ASSERT_EQ(At(dest, x, y), expect[y * 17 + x])
                            << dstx << " " << dsty << " " << sx << " " << sy << " " << sw << " " << sh;
                // The weighted path clips the same way.
                Raster_Blit(&dest, &src, dstx, dsty, sx, sy, sw, sh, 0.3f, RASTER_BLEND_ADD);
                const RECT rc = {sx, sy, sw, sh};
                Raster_Blit(&dest, &src, dstx, dsty, &rc, 0.3f, RASTER_BLEND_SOURCE_ALPHA);
            }
}

TEST(RasterBlit, ChannelCopyMovesOneByte) {
    Raster_MemBitmap src(3, 2, 4), dest(3, 2, 4);
    FillPattern(src);
    FillAll(dest, 0x44332211u);
    // Source red (byte 1) into destination green (byte 2); alpha is not applied.
    Raster_Blit(&dest, &src, 0, 0, nullptr, 0.25f, RASTER_BLEND_CHANCOPY | (2 << 2) | 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const uint32_t red = (Pattern(x, y) >> 8) & 0xFF;
            ASSERT_EQ(At(dest, x, y), 0x44002211u | (red << 16));
        }
    // Alpha byte (0) into blue byte (3).
    FillAll(dest, 0x44332211u);
    Raster_Blit(&dest, &src, 0, 0, nullptr, 1.0f, RASTER_BLEND_CHANCOPY | (3 << 2) | 0);
    EXPECT_EQ(At(dest, 1, 1), 0x00332211u | ((Pattern(1, 1) & 0xFF) << 24));
}

TEST(RasterBlit, FlippedBitmapsAreAddressedBottomUp) {
    Raster_MemBitmap src(4, 3, 4);
    FillPattern(src);
    FlippedBitmap dest(4, 3);
    FillAll(dest, 0);
    Raster_Blit(&dest, &src, 0, 1, nullptr, 1.0f, RASTER_BLEND_COPY);
    // Logical row 1 is memory row 1; logical row 2 is memory row 0.
    EXPECT_EQ(At(dest, 2, 0), Pattern(2, 1));
    EXPECT_EQ(At(dest, 2, 1), Pattern(2, 0));
    EXPECT_EQ(At(dest, 2, 2), 0u);
    EXPECT_EQ(Raster_GetPixel(&dest, 2, 2), Pattern(2, 1));
    // And as a source, through the weighted path.
    Raster_MemBitmap back(4, 3, 4);
    FillAll(back, 0);
    Raster_Blit(&back, &dest, 0, 0, nullptr, 0.75f, RASTER_BLEND_ADD);
    const Px p = Unpack(Pattern(3, 0));
    EXPECT_EQ(At(back, 3, 1), Combine(kAdd, 0, p.c[1], p.c[2], p.c[3], p.c[0], 192));
}

TEST(RasterBlit, CopyResizesTheDestination) {
    Raster_MemBitmap src(9, 4, 4), dest(2, 2, 4);
    FillPattern(src);
    Raster_Copy(&dest, &src);
    ASSERT_EQ(dest.getWidth(), 9);
    ASSERT_EQ(dest.getHeight(), 4);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);
    Raster_Copy(&dest, &dest);
    Raster_Copy(nullptr, &src);
    Raster_Copy(&dest, nullptr);
    Raster_Blit(&dest, nullptr, 0, 0, nullptr, 1.0f, 0);
    Raster_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);
}

TEST(RasterBlit, SourceAlphaCopiesOverEveryAlphaOnLongRows) {
    // Rows long enough for the several-pixels-at-a-time paths, with every source alpha value and
    // a tail; each pixel must match the combiner formula exactly.
    const int w = 67, h = 6;
    Raster_MemBitmap src(w, h, 4), dest(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Rows 0-3 run through every alpha; rows 4-5 have runs of transparent, opaque and mixed.
            const int run = (x / 4 + y) % 3;
            const int a = y < 4 ? (x + y * w) & 255 : (run == 0 ? 0 : (run == 1 ? 255 : (x * 37) & 255));
            At(src, x, y) = (Pattern(x, y) & 0xFFFFFF00u) | (uint32_t)a;
        }
    for (float alpha : {1.0f, 0.99609375f, 0.75f, 0.5f, 0.25f, 0.00390625f, 0.3f}) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) At(dest, x, y) = Pattern(x + 5, y + 9);
        Raster_Blit(&dest, &src, 0, 0, nullptr, alpha, RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA);
        const int wt = (int)(alpha * 256.0f);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Px p = Unpack(At(src, x, y));
                const uint32_t want = Combine(wt == 256 ? kCopySAIgnore : kCopySA, Pattern(x + 5, y + 9),
                                              p.c[1], p.c[2], p.c[3], p.c[0], wt);
                ASSERT_EQ(At(dest, x, y), want) << "alpha " << alpha << " at " << x << "," << y;
            }
    }
}
