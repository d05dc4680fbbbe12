#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "tests/framework/raster/blit/BlitTestUtil.h"

using namespace blittest;
using namespace rasterref;

TEST(RasterRotatedBlit, AngleZeroReproducesTheSource) {
    Raster_MemBitmap src(9, 7, 4), dest(9, 7, 4);
    FillPattern(src);
    FillAll(dest, 0);
    Raster_RotatedBlit(&dest, &src, 0, 0, 9, 7, 0, 0, 9, 7, 0.0f, false, 1.0f, RASTER_BLEND_COPY, 0, 0);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);

    // The centre offset moves the sampled area; samples beyond the source leave pixels alone.
    FillAll(dest, 0);
    Raster_RotatedBlit(&dest, &src, 0, 0, 9, 7, 0, 0, 9, 7, 0.0f, false, 1.0f, RASTER_BLEND_COPY, 2, 1);
    EXPECT_EQ(At(dest, 0, 0), Pattern(2, 1));
    EXPECT_EQ(At(dest, 6, 5), Pattern(8, 6));
    EXPECT_EQ(At(dest, 7, 0), 0u);
    EXPECT_EQ(At(dest, 0, 6), 0u);

    // A weight goes through the combiner; a negative destination origin clips.
    FillAll(dest, 0x20202020u);
    Raster_RotatedBlit(&dest, &src, -2, -1, 9, 7, 0, 0, 9, 7, 0.0f, false, 0.5f, RASTER_BLEND_ADD, 0, 0);
    const Px p = Unpack(Pattern(2, 1));
    EXPECT_EQ(At(dest, 0, 0), Combine(kAdd, 0x20202020u, p.c[1], p.c[2], p.c[3], p.c[0], 128));
    EXPECT_EQ(At(dest, 7, 0), 0x20202020u);
}

TEST(RasterRotatedBlit, ClipToSourceRectangleUsesSourceCoordinates) {
    Raster_MemBitmap src(10, 8, 4), dest(4, 3, 4);
    FillPattern(src);
    FillAll(dest, 0);
    Raster_RotatedBlit(&dest, &src, 0, 0, 4, 3, 2, 1, 4, 3, 0.0f, true, 1.0f, RASTER_BLEND_COPY, 0, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(At(dest, x, y), Pattern(x + 2, y + 1));
    // Shifted by one column, the last column would read outside the rectangle: left alone.
    FillAll(dest, 0);
    Raster_RotatedBlit(&dest, &src, 0, 0, 4, 3, 2, 1, 4, 3, 0.0f, true, 1.0f, RASTER_BLEND_COPY, 1, 0);
    EXPECT_EQ(At(dest, 2, 1), Pattern(5, 2));
    EXPECT_EQ(At(dest, 3, 1), 0u);
}

TEST(RasterDeltaBlit, QuarterTurnThroughSteps) {
    const int n = 6;
    Raster_MemBitmap src(n, n, 4), dest(n, n, 4);
    FillPattern(src);
    // Destination (x, y) samples (y, n - 0.5 - x): a quarter turn.
    Raster_DeltaBlit(&dest, &src, 0, 0, n, n, 0.0f, n - 0.5f, n, n, 0, -1, 1, 0, 0, 0, false, 1.0f,
                     RASTER_BLEND_COPY);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) ASSERT_EQ(At(dest, x, y), Pattern(y, n - 1 - x)) << x << "," << y;
    // Bilinear between two columns at the half step.
    Raster_MemBitmap row(3, 1, 4);
    Raster_DeltaBlit(&row, &src, 0, 0, 3, 1, 0.5f, 2.0f, 0, 0, 1, 0, 0, 1, 0, 0, false, 1.0f,
                     RASTER_BLEND_COPY | RASTER_BLEND_FILTER_BILINEAR);
    const Px a = Unpack(Pattern(1, 2)), b = Unpack(Pattern(2, 2));
    Px m;
    for (int i = 0; i < 4; ++i) m.c[i] = (a.c[i] + b.c[i]) / 2;
    EXPECT_EQ(At(row, 1, 0), Pack(m));
}

TEST(RasterDeltaBlit, ClippingMatchesTheUnclippedDrawingWithSecondOrderSteps) {
    Raster_MemBitmap src(24, 24, 4), a(30, 30, 4), b(30, 30, 4);
    FillPattern(src);
    FillAll(a, 0);
    FillAll(b, 0);
    // Exact binary fractions, so both drawings sample exactly the same positions.
    const double s[6] = {0.5, 0.25, 0.125, 0.75, 0.0625, -0.03125};
    Raster_DeltaBlit(&a, &src, 5, 5, 12, 12, 1.5f, 2.25f, 0, 0, s[0], s[1], s[2], s[3], s[4], s[5], false,
                     1.0f, 0);
    Raster_DeltaBlit(&b, &src, -3, -2, 12, 12, 1.5f, 2.25f, 0, 0, s[0], s[1], s[2], s[3], s[4], s[5], false,
                     1.0f, 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(At(b, x, y), At(a, x + 8, y + 7)) << x << "," << y;
    // The far corner of the unclipped drawing: column 11 of row 11 sits at
    // s = 1.5 + 11 * 0.125 + 11 * (0.5 + 11 * 0.0625) = 15.9375,
    // t = 2.25 + 11 * 0.75 + 11 * (0.25 - 11 * 0.03125) = 9.46875.
    EXPECT_EQ(At(a, 16, 16), Pattern(15, 9));

    // The same with a varying weight.
    FillAll(a, 0);
    FillAll(b, 0);
    Raster_DeltaBlitAlpha(&a, &src, 5, 5, 12, 12, 1.5f, 2.25f, 0, 0, s[0], s[1], s[2], s[3], s[4], s[5],
                          false, 0.25f, 1, 0.0625, 0.03125, -0.00390625);
    Raster_DeltaBlitAlpha(&b, &src, -3, -2, 12, 12, 1.5f, 2.25f, 0, 0, s[0], s[1], s[2], s[3], s[4], s[5],
                          false, 0.25f, 1, 0.0625, 0.03125, -0.00390625);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(At(b, x, y), At(a, x + 8, y + 7)) << x << "," << y;
}

TEST(RasterDeltaBlitAlpha, WeightVariesPerColumn) {
    Raster_MemBitmap src(10, 2, 4), dest(10, 2, 4);
    FillPattern(src);
    FillAll(dest, 0x40404040u);
    // Weight 0 at the first column, 1/8 more per column: 0, 32, 64, ... (1/256 units).
    Raster_DeltaBlitAlpha(&dest, &src, 0, 0, 10, 2, 0, 0, 10, 2, 1, 0, 0, 1, 0, 0, false, 0.0f,
                          RASTER_BLEND_COPY, 0.125, 0, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x) {
            const Px p = Unpack(Pattern(x, y));
            ASSERT_EQ(At(dest, x, y),
                      Combine(kCopyClamp, 0x40404040u, p.c[1], p.c[2], p.c[3], p.c[0], 32 * x))
                << x;
        }
    // A constant weight is a plain delta blit (copy at 1.0 clobbers).
    Raster_DeltaBlitAlpha(&dest, &src, 0, 0, 10, 2, 0, 0, 10, 2, 1, 0, 0, 1, 0, 0, false, 1.0f,
                          RASTER_BLEND_COPY, 0.00000001, 0, 0);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);
    // Modes above 5 draw nothing.
    FillAll(dest, 9);
    Raster_DeltaBlitAlpha(&dest, &src, 0, 0, 10, 2, 0, 0, 10, 2, 1, 0, 0, 1, 0, 0, false, 0.5f, 6, 0.01, 0,
                          0);
    EXPECT_EQ(At(dest, 5, 1), 9u);
}

TEST(RasterTransformBlit, IdentityGridsReproduceTheSource) {
    Raster_MemBitmap src(8, 6, 4), dest(8, 6, 4);
    FillPattern(src);
    const float corners[] = {0, 0, 8, 0, 0, 6, 8, 6};
    FillAll(dest, 0);
    Raster_TransformBlit(&dest, &src, 0, 0, 8, 6, corners, 2, 2, 1.0f, RASTER_BLEND_COPY);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);

    double grid[3 * 3 * 2];
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            grid[(j * 3 + i) * 2] = 4.0 * i;
            grid[(j * 3 + i) * 2 + 1] = 3.0 * j;
        }
    FillAll(dest, 0);
    Raster_TransformBlit2(&dest, &src, 0, 0, 8, 6, grid, 3, 3, 1.0f, RASTER_BLEND_COPY);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);

    // Triples with weight 1 everywhere draw the same; weight 0 everywhere draws nothing.
    double tri[2 * 2 * 3] = {0, 0, 1, 8, 0, 1, 0, 6, 1, 8, 6, 1};
    FillAll(dest, 0);
    Raster_TransformBlit2Alpha(&dest, &src, 0, 0, 8, 6, tri, 2, 2, RASTER_BLEND_COPY);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);
    for (int k = 0; k < 4; ++k) tri[k * 3 + 2] = 0;
    FillAll(dest, 0);
    Raster_TransformBlit2Alpha(&dest, &src, 0, 0, 8, 6, tri, 2, 2, RASTER_BLEND_COPY);
    EXPECT_EQ(At(dest, 3, 3), 0u);

    // A grid shifted by (2, 1) in source space, drawn at (1, 1).
    const float shifted[] = {2, 1, 10, 1, 2, 7, 10, 7};
    FillAll(dest, 0);
    Raster_TransformBlit(&dest, &src, 1, 1, 8, 6, shifted, 2, 2, 1.0f, RASTER_BLEND_COPY);
    EXPECT_EQ(At(dest, 1, 1), Pattern(2, 1));
    EXPECT_EQ(At(dest, 6, 5), Pattern(7, 5));
    EXPECT_EQ(At(dest, 7, 5), 0u); // would sample column 8
    EXPECT_EQ(At(dest, 0, 0), 0u);
    // Degenerate grids draw nothing.
    Raster_TransformBlit(&dest, &src, 0, 0, 8, 6, corners, 1, 2, 1.0f, 0);
    Raster_TransformBlit(&dest, &src, 0, 0, 0, 6, corners, 2, 2, 1.0f, 0);
    Raster_TransformBlit(&dest, &src, 0, 0, 8, 6, nullptr, 2, 2, 1.0f, 0);
    EXPECT_EQ(At(dest, 0, 0), 0u);
}

TEST(RasterDeltaBlit, AnyCoordinatesAreSafe) {
    Raster_MemBitmap src(9, 7, 4), dest(11, 5, 4);
    FillPattern(src);
    // Row padding (column 11 of the 12-pixel row span) must never be written.
    for (int y = 0; y < 5; ++y) At(dest, 11, y) = 0xA5A5A5A5u;
    const int ints[] = {INT_MIN, -100000, -3, 0, 4, 100000, INT_MAX};
    const double steps[] = {-1e300, -40000.0, -0.7, 0.0, 1.3, 70000.0, 1e300, NAN};
    for (int mode : {0, RASTER_BLEND_FILTER_BILINEAR})
        for (int i : ints)
            for (int j : ints)
                for (double s : steps) {
                    Raster_DeltaBlit(&dest, &src, i, j, j, i, (float)s, 1, 5, 5, s, -s, 0.5, s, s, 1e-3, true,
                                     1.0f, mode);
                    Raster_DeltaBlitAlpha(&dest, &src, j, i, 7, 9, 0, (float)s, 9, 7, 1, s, s, 1, s, 0, false,
                                          0.5f, mode, s, 0.1, s);
                    Raster_RotatedBlit(&dest, &src, i, j, 8, j, (float)s, 0, (float)s, 6, (float)s, true,
                                       1.0f, mode, (float)s, 0);
                    Raster_RotatedBlit(&dest, &src, j, 1, i, 5, 0, 0, 9, 7, 0.3f, false, 0.5f, mode | 1, 0,
                                       (float)s);
                }
    const double pts[8] = {0, 0, 1e300, 0, 0, -1e300, NAN, 3};
    Raster_TransformBlit2(&dest, &src, INT_MIN, 0, INT_MAX, 5, pts, 2, 2, 1.0f, 0);
    Raster_TransformBlit2(&dest, &src, -5, -5, 100, 100, pts, 2, 2, 1.0f, 0);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(At(dest, 11, y), 0xA5A5A5A5u) << y;
}

TEST(RasterTransformBlit, CellStartAndWeightAreTakenInSinglePrecision) {
    // Each cell is a Raster_DeltaBlit / Raster_DeltaBlitAlpha call, whose start position and
    // weight are floats: 1 - 2^-30 becomes 1.0, so column 0 samples source column 1 and a weight
    // of 1 - 2^-30 is a full-weight copy (as a double it would truncate to 255).
    Raster_MemBitmap src(8, 6, 4), dest(8, 6, 4);
    FillPattern(src);
    const double e = 1.0 - 1.0 / 1073741824.0; // 1 - 2^-30: 8 + e - e is exactly 8
    const double grid[] = {e, 0, 8 + e, 0, e, 6, 8 + e, 6};
    FillAll(dest, 0);
    Raster_TransformBlit2(&dest, &src, 0, 0, 8, 6, grid, 2, 2, 1.0f, RASTER_BLEND_COPY);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(At(dest, x, y), Pattern(x + 1, y)) << x << "," << y;
    EXPECT_EQ(At(dest, 7, 2), 0u); // samples column 8

    const double tri[] = {0, 0, e, 8, 0, e, 0, 6, e, 8, 6, e};
    FillAll(dest, 0x80808080u);
    Raster_TransformBlit2Alpha(&dest, &src, 0, 0, 8, 6, tri, 2, 2, RASTER_BLEND_COPY);
    EXPECT_EQ(Raster_BitmapCmp(&dest, &src, nullptr), 0);

    // Points beyond single precision draw nothing.
    const double huge[] = {1e300, 0, 1e300, 0, 1e300, 6, 1e300, 6};
    FillAll(dest, 5);
    Raster_TransformBlit2(&dest, &src, 0, 0, 8, 6, huge, 2, 2, 1.0f, RASTER_BLEND_COPY);
    EXPECT_EQ(At(dest, 3, 3), 5u);
}
