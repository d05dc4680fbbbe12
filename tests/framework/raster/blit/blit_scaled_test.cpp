#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "framework/raster/Raster_BlitTemplates.h"
#include "tests/framework/raster/blit/BlitTestUtil.h"

using namespace blittest;
using namespace rasterref;

namespace {

const int kBilinear = RASTER_BLEND_FILTER_BILINEAR;

// Per-channel floor((a + b) / 2).
uint32_t Avg2(uint32_t a, uint32_t b) {
    const Px p = Unpack(a), q = Unpack(b);
    Px o;
    for (int i = 0; i < 4; ++i) o.c[i] = (p.c[i] + q.c[i]) / 2;
    return Pack(o);
}

// Box average of the (2r+1)^2 pixels around (cx, cy) that lie in the bitmap.
uint32_t Box(Raster_IBitmap& s, int cx, int cy, int r) {
    long sum[4] = {0, 0, 0, 0};
    int n = 0;
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x) {
            if (x < 0 || y < 0 || x >= s.getWidth() || y >= s.getHeight()) continue;
            const Px p = Unpack(At(s, x, y));
            for (int i = 0; i < 4; ++i) sum[i] += p.c[i];
            ++n;
        }
    Px o;
    for (int i = 0; i < 4; ++i) o.c[i] = (int)(sum[i] / n);
    return Pack(o);
}

} // namespace

TEST(RasterScaledBlit, UnscaledIsAStraightBlitFromTheRoundedOrigin) {
    Raster_MemBitmap src(10, 10, 4), dest(6, 6, 4);
    FillPattern(src);
    for (float o : {1.4f, 1.6f}) {
        FillAll(dest, 0);
        Raster_ScaledBlit(&dest, &src, 0, 0, 5, 5, o, o, 5.0005f, 5.0f, 1.0f, RASTER_BLEND_COPY);
        const int r = o < 1.5f ? 1 : 2;
        EXPECT_EQ(At(dest, 0, 0), Pattern(r, r));
        EXPECT_EQ(At(dest, 4, 3), Pattern(r + 4, r + 3));
        EXPECT_EQ(At(dest, 5, 5), 0u);
    }
    // With the bilinear filter an origin within 0.03 of a pixel is still a straight blit.
    FillAll(dest, 0);
    Raster_ScaledBlit(&dest, &src, 0, 0, 5, 5, 2.02f, 0.99f, 5, 5, 1.0f, RASTER_BLEND_COPY | kBilinear);
    EXPECT_EQ(At(dest, 0, 0), Pattern(2, 1));
    EXPECT_EQ(At(dest, 4, 4), Pattern(6, 5));
}

TEST(RasterScaledBlit, BilinearHalfPixelOffsetInterpolates) {
    Raster_MemBitmap src(8, 4, 4), dest(6, 4, 4);
    FillPattern(src);
    FillAll(dest, 0);
    // Samples at x + 0.5: two taps of equal weight in every row (the last row horizontally only).
    Raster_ScaledBlit(&dest, &src, 0, 0, 6, 4, 0.5f, 0.0f, 6, 4, 1.0f, RASTER_BLEND_COPY | kBilinear);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(At(dest, x, y), Avg2(At(src, x, y), At(src, x + 1, y))) << x << "," << y;
}

TEST(RasterScaledBlit, NearestReductionAndWordWisePaths) {
    Raster_MemBitmap src(100, 100, 4), dest(50, 50, 4);
    FillPattern(src);
    Raster_ScaledBlit(&dest, &src, 0, 0, 50, 50, 0, 0, 100, 100, 1.0f, RASTER_BLEND_COPY);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(At(dest, x, y), Pattern(2 * x, 2 * y)) << x << "," << y;
    FillAll(dest, 0x80808080u);
    Raster_ScaledBlit(&dest, &src, 0, 0, 50, 50, 0, 0, 100, 100, 0.5f, RASTER_BLEND_COPY);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(At(dest, x, y), 0x40404040u + ((Pattern(2 * x, 2 * y) >> 1) & 0x7F7F7F7Fu));
    // Other weights and modes go through the combiners on the same samples.
    FillAll(dest, 0x80808080u);
    Raster_ScaledBlit(&dest, &src, 0, 0, 50, 50, 0, 0, 100, 100, 0.25f, RASTER_BLEND_MUL);
    const Px p = Unpack(Pattern(14, 6));
    EXPECT_EQ(At(dest, 7, 3), Combine(kMul, 0x80808080u, p.c[1], p.c[2], p.c[3], p.c[0], 64));
}

TEST(RasterScaledBlit, FilterDownKernels) {
    Raster_MemBitmap src(100, 100, 4), dest(50, 50, 4);
    FillPattern(src);
    // Advance 2.0: 3 x 3 box around (2x, 2y), taps outside the source left out.
    Raster_ScaledBlit(&dest, &src, 0, 0, 50, 50, 0, 0, 100, 100, 1.0f, RASTER_BLEND_COPY | kBilinear);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(At(dest, x, y), Box(src, 2 * x, 2 * y, 1)) << x << "," << y;
    // Advance 5.0: 5 x 5.
    Raster_MemBitmap small(20, 20, 4);
    Raster_ScaledBlit(&small, &src, 0, 0, 20, 20, 0, 0, 100, 100, 1.0f, RASTER_BLEND_COPY | kBilinear);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(At(small, x, y), Box(src, 5 * x, 5 * y, 2)) << x << "," << y;
    // Advance exactly 3.0 still uses 3 x 3; with a weight the average goes through the combiner.
    Raster_MemBitmap third(30, 30, 4);
    FillAll(third, 0x10203040u);
    Raster_ScaledBlit(&third, &src, 0, 0, 30, 30, 0, 0, 90, 90, 0.75f, RASTER_BLEND_ADD | kBilinear);
    const Px b = Unpack(Box(src, 27, 33, 1));
    EXPECT_EQ(At(third, 9, 11), Combine(kAdd, 0x10203040u, b.c[1], b.c[2], b.c[3], b.c[0], 192));
    // Advance 1.5 stays bilinear: sample (1.5, 0) of row 0 of a 2-row source mixes columns 1 and 2.
    Raster_MemBitmap tiny(4, 2, 4);
    Raster_ScaledBlit(&tiny, &src, 0, 0, 4, 2, 0, 0, 6, 2, 1.0f, RASTER_BLEND_COPY | kBilinear);
    EXPECT_EQ(At(tiny, 1, 0), Avg2(At(src, 1, 0), At(src, 2, 0)));
    EXPECT_EQ(At(tiny, 0, 1), At(src, 0, 1));
}

TEST(RasterScaledBlit, SamplesOutsideTheSourceLeaveTheDestination) {
    Raster_MemBitmap src(8, 2, 4), dest(4, 2, 4);
    FillPattern(src);
    FillAll(dest, 7);
    // 2:1 from x = 4: samples 4 and 6 exist, 8 and 10 do not.
    Raster_ScaledBlit(&dest, &src, 0, 0, 4, 2, 4, 0, 8, 2, 0.75f, RASTER_BLEND_COPY);
    const Px p = Unpack(Pattern(6, 1));
    EXPECT_EQ(At(dest, 1, 1), Combine(kCopy, 7, p.c[1], p.c[2], p.c[3], p.c[0], 192));
    EXPECT_EQ(At(dest, 2, 0), 7u);
    EXPECT_EQ(At(dest, 3, 1), 7u);
}

TEST(RasterScaledBlit, EnlargingPastTheSourceKeepsItsLastPixel) {
    // 10 source pixels doubled over 22 destination pixels: 0, 0, 1, 1, ... 9, 9 and then two
    // samples beyond the source, which are skipped.
    Raster_MemBitmap src(10, 1, 4), dest(24, 1, 4);
    FillPattern(src);
    FillAll(dest, 5);
    Raster_ScaledBlit(&dest, &src, 1, 0, 22, 1, 0, 0, 11, 1, 1.0f, RASTER_BLEND_COPY);
    EXPECT_EQ(At(dest, 0, 0), 5u);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(At(dest, 1 + i, 0), Pattern(i / 2, 0)) << i;
    EXPECT_EQ(At(dest, 21, 0), 5u);
    EXPECT_EQ(At(dest, 22, 0), 5u);
}

TEST(RasterScaledBlit, NegativeSizesMirror) {
    Raster_MemBitmap src(8, 6, 4), dest(8, 6, 4);
    FillPattern(src);
    Raster_ScaledBlit(&dest, &src, 8, 0, -8, 6, 0, 0, 8, 6, 1.0f, RASTER_BLEND_COPY);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(At(dest, x, y), Pattern(7 - x, y)) << x << "," << y;
    Raster_ScaledBlit(&dest, &src, 0, 6, 8, -6, 0, 0, 8, 6, 1.0f, RASTER_BLEND_COPY | kBilinear);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(At(dest, x, y), Pattern(x, 5 - y)) << x << "," << y;
    // 2:1 mirrored picks the mirror image of the unmirrored samples 0, 2, 4, 6.
    Raster_MemBitmap half(4, 1, 4);
    Raster_ScaledBlit(&half, &src, 4, 0, -4, 1, 0, 2, 8, 1, 1.0f, RASTER_BLEND_COPY);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(half, x, 0), Pattern(6 - 2 * x, 2));
}

TEST(RasterScaledBlit, ClippingDoesNotChangeVisiblePixels) {
    // Advance 0.625 from 0.375: the last column samples 7.25, where the requested area ends
    // (7.875), so it takes no tap from column 8. Clipping three columns away must not change that.
    Raster_MemBitmap src(12, 2, 4), a(20, 2, 4), b(20, 2, 4);
    FillPattern(src);
    FillAll(a, 1);
    FillAll(b, 1);
    Raster_ScaledBlit(&a, &src, 3, 0, 12, 2, 0.375f, 0, 7.5f, 2, 1.0f, RASTER_BLEND_COPY | kBilinear);
    Raster_ScaledBlit(&b, &src, -3, 0, 12, 2, 0.375f, 0, 7.5f, 2, 1.0f, RASTER_BLEND_COPY | kBilinear);
    EXPECT_EQ(At(a, 14, 0), At(src, 7, 0));
    EXPECT_EQ(At(a, 14, 1), At(src, 7, 1));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(At(b, x, y), At(a, x + 6, y)) << x << "," << y;
    EXPECT_EQ(At(b, 9, 0), 1u);
}

TEST(RasterScaledBlit, AnyCoordinatesAreSafe) {
    Raster_MemBitmap src(9, 7, 4), dest(11, 5, 4);
    FillPattern(src);
    // Row padding (column 11 of the 12-pixel row span) must never be written.
    for (int y = 0; y < 5; ++y) At(dest, 11, y) = 0xA5A5A5A5u;
    FillAll(dest, 3);
    const int ints[] = {INT_MIN, -100000, -12, -1, 0, 1, 5, 100000, INT_MAX};
    const float floats[] = {-1e30f, -100000.5f, -3.5f, 0.0f, 2.25f, 8.0f, 1e30f, NAN, INFINITY};
    for (int mode : {0, kBilinear, RASTER_BLEND_SOURCE_ALPHA | 1})
        for (int i : ints)
            for (int j : ints)
                for (float f : floats)
                    for (float g : floats) {
                        Raster_ScaledBlit(&dest, &src, i, j / 3, j, i / 7, f, g / 3, g, f, 1.0f, mode);
                        Raster_ScaledBlit(&dest, &src, j / 5, i, 4, -3, g, f, 20, -10, 0.5f, mode);
                        Raster_ScaledBlit(&dest, &src, 2, 1, i, j, f, g, 1.5f, 200, 0.3f, mode);
                    }
    Raster_ScaledBlit(nullptr, &src, 0, 0, 4, 4, 0, 0, 4, 4, 1.0f, 0);
    Raster_ScaledBlit(&dest, nullptr, 0, 0, 4, 4, 0, 0, 4, 4, 1.0f, 0);
    Raster_MemBitmap empty;
    Raster_ScaledBlit(&dest, &empty, 0, 0, 4, 4, 0, 0, 4, 4, 1.0f, 0);
    Raster_ScaledBlit(&empty, &src, 0, 0, 4, 4, 0, 0, 4, 4, 1.0f, 0);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(At(dest, 11, y), 0xA5A5A5A5u) << y;
}

TEST(RasterScaledBlit, BoxAverageReciprocalsAreExact) {
    EXPECT_TRUE(Raster_BoxReciprocalIsExact());
}
