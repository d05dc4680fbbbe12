#include <gtest/gtest.h>

#include <climits>

#include "tests/framework/raster/blit/BlitTestUtil.h"

using namespace blittest;
using namespace rasterref;

namespace {

// Blur of a w x h block of pixel words (row-major), channel by channel: half the pixel plus
// eighths of its four neighbours; at an edge the missing neighbour's eighth goes to the opposite
// one (a quarter).
std::vector<uint32_t> ReferenceBlur(const std::vector<uint32_t>& in, int w, int h) {
    std::vector<uint32_t> out(in.size());
    auto ch = [&](int x, int y, int c) { return (int)((in[(size_t)y * w + x] >> (8 * c)) & 255); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Px o;
            for (int c = 0; c < 4; ++c) {
                int v = ch(x, y, c) / 2;
                if (x == 0)
                    v += ch(x + 1, y, c) / 4;
                else if (x == w - 1)
                    v += ch(x - 1, y, c) / 4;
                else
                    v += ch(x - 1, y, c) / 8 + ch(x + 1, y, c) / 8;
                if (y == 0)
                    v += ch(x, y + 1, c) / 4;
                else if (y == h - 1)
                    v += ch(x, y - 1, c) / 4;
                else
                    v += ch(x, y - 1, c) / 8 + ch(x, y + 1, c) / 8;
                o.c[c] = v;
            }
            out[(size_t)y * w + x] = Pack(o);
        }
    return out;
}

std::vector<uint32_t> Region(Raster_IBitmap& b, int x0, int y0, int w, int h) {
    std::vector<uint32_t> v;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) v.push_back(At(b, x, y));
    return v;
}

} // namespace

TEST(RasterBlur, ImpulseAndConstant) {
    Raster_MemBitmap src(4, 4, 4), dest(4, 4, 4);
    FillAll(src, 0);
    At(src, 1, 1) = 0xFFFFFFFFu;
    Raster_Blur(&dest, &src, 0, 0, 0, 0, 4, 4);
    EXPECT_EQ(At(dest, 1, 1), 0x7F7F7F7Fu);
    EXPECT_EQ(At(dest, 2, 1), 0x1F1F1F1Fu); // interior: an eighth
    EXPECT_EQ(At(dest, 1, 0), 0x3F3F3F3Fu); // top row: the pixel below counts a quarter
    EXPECT_EQ(At(dest, 0, 1), 0x3F3F3F3Fu); // left column: the right neighbour counts a quarter
    EXPECT_EQ(At(dest, 0, 0), 0u);
    EXPECT_EQ(At(dest, 2, 2), 0u);
    FillAll(src, 0x80808080u);
    Raster_Blur(&dest, &src, 0, 0, 0, 0, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(At(dest, x, y), 0x80808080u);
}

TEST(RasterBlur, SeparateInPlaceWideAndShifted) {
    for (int w : {2, 7, 1030}) {
        Raster_MemBitmap src(w + 4, 9, 4), dest(w + 4, 9, 4);
        FillPattern(src);
        const std::vector<uint32_t> want = ReferenceBlur(Region(src, 2, 1, w, 6), w, 6);
        // Into another bitmap.
        FillAll(dest, 0);
        Raster_Blur(&dest, &src, 1, 2, 2, 1, w, 6);
        ASSERT_EQ(Region(dest, 1, 2, w, 6), want) << w;
        EXPECT_EQ(At(dest, 0, 2), 0u);
        // In place: already blurred pixels are never read.
        Raster_Blur(&src, &src, 2, 1, 2, 1, w, 6);
        ASSERT_EQ(Region(src, 2, 1, w, 6), want) << w;
        // Shifted within the same bitmap (areas overlap).
        FillPattern(src);
        Raster_Blur(&src, &src, 3, 2, 2, 1, w, 6);
        ASSERT_EQ(Region(src, 3, 2, w, 6), want) << w;
    }
}

TEST(RasterBlur, ClippingAndTinyRegions) {
    Raster_MemBitmap src(6, 6, 4), dest(6, 6, 4);
    FillPattern(src);
    // A negative source origin is raised to 0 and moves the destination like a blit.
    FillAll(dest, 0);
    Raster_Blur(&dest, &src, 0, 0, -2, -1, 6, 5);
    const std::vector<uint32_t> want = ReferenceBlur(Region(src, 0, 0, 4, 4), 4, 4);
    EXPECT_EQ(Region(dest, 2, 1, 4, 4), want);
    EXPECT_EQ(At(dest, 1, 1), 0u);
    // Regions narrower or lower than 2 are left alone.
    FillAll(dest, 0);
    Raster_Blur(&dest, &src, 0, 0, 0, 0, 1, 6);
    Raster_Blur(&dest, &src, 0, 0, 0, 5, 6, 6);
    Raster_Blur(&dest, &src, 5, 0, 0, 0, 6, 6);
    EXPECT_EQ(Snapshot(dest), std::vector<uint32_t>(36, 0));
    for (int v : {INT_MIN, -7, 0, 5, INT_MAX}) {
        const int neg = v == INT_MIN ? INT_MAX : -v;
        Raster_Blur(&dest, &src, v, v / 2, neg, v, v, neg);
        Raster_Blur(&src, &src, v, 0, 0, v, INT_MAX, 3);
    }
    Raster_Blur(nullptr, &src, 0, 0, 0, 0, 6, 6);
    Raster_Blur(&dest, nullptr, 0, 0, 0, 0, 6, 6);
}

TEST(RasterHalveBlitAA, QuartersOfFourPixels) {
    Raster_MemBitmap src(7, 5, 4), dest(5, 5, 4);
    FillPattern(src);
    FillAll(dest, 1);
    Raster_HalveBlitAA(&dest, &src);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            if (x >= 3 || y >= 2) {
                ASSERT_EQ(At(dest, x, y), 1u);
                continue;
            }
            Px o;
            for (int c = 0; c < 4; ++c) {
                o.c[c] = 0;
                for (int k = 0; k < 4; ++k)
                    o.c[c] += Unpack(At(src, 2 * x + (k & 1), 2 * y + k / 2)).c[c] / 4;
            }
            ASSERT_EQ(At(dest, x, y), Pack(o)) << x << "," << y;
        }
    // A destination smaller than half the source limits the area.
    Raster_MemBitmap tiny(1, 1, 4);
    Raster_HalveBlitAA(&tiny, &src);
    EXPECT_EQ(At(tiny, 0, 0), At(dest, 0, 0));
    Raster_HalveBlitAA(nullptr, &src);
    Raster_HalveBlitAA(&tiny, nullptr);
}

TEST(RasterBitmapCmp, EqualityBoundingBoxAndOrder) {
    Raster_MemBitmap a(6, 5, 4), b(6, 5, 4);
    FillPattern(a);
    FillPattern(b);
    int rect[4] = {9, 9, 9, 9};
    EXPECT_EQ(Raster_BitmapCmp(&a, &b, rect), 0);
    EXPECT_EQ(rect[0], 0);
    EXPECT_EQ(rect[1], 0);
    EXPECT_EQ(rect[2], 0);
    EXPECT_EQ(rect[3], 0);
    EXPECT_EQ(Raster_BitmapCmp(&a, &b, nullptr), 0);

    At(a, 4, 1) = 0x00000001u;
    At(b, 4, 1) = 0x00000002u;
    At(b, 1, 3) ^= 0x00FF0000u;
    EXPECT_EQ(Raster_BitmapCmp(&a, &b, rect), 1);
    EXPECT_EQ(rect[0], 1);
    EXPECT_EQ(rect[1], 1);
    EXPECT_EQ(rect[2], 4);
    EXPECT_EQ(rect[3], 3);
    // Without a rectangle: the sign of the first differing byte, first minus second.
    EXPECT_LT(Raster_BitmapCmp(&a, &b, nullptr), 0);
    EXPECT_GT(Raster_BitmapCmp(&b, &a, nullptr), 0);
    // A mask hides differences; any other mask reports 1.
    EXPECT_EQ(Raster_BitmapCmpEx(&a, &b, 0xFF00FF00u, nullptr), 0);
    EXPECT_EQ(Raster_BitmapCmpEx(&a, &b, 0xFF00FF00u, rect), 0);
    EXPECT_EQ(Raster_BitmapCmpEx(&a, &b, 0x00FF0000u, rect), 1);
    EXPECT_EQ(rect[0], 1);
    EXPECT_EQ(rect[1], 3);
    EXPECT_EQ(rect[2], 1);
    EXPECT_EQ(rect[3], 1);
    EXPECT_EQ(Raster_BitmapCmpEx(&b, &a, 0x000000FFu, nullptr), 1);

    // Nulls and sizes.
    EXPECT_EQ(Raster_BitmapCmp(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Raster_BitmapCmp(nullptr, &a, nullptr), -1);
    EXPECT_EQ(Raster_BitmapCmp(&a, nullptr, nullptr), 1);
    Raster_MemBitmap wide(9, 5, 4), tall(6, 2, 4);
    EXPECT_EQ(Raster_BitmapCmp(&a, &wide, nullptr), 3);
    EXPECT_EQ(Raster_BitmapCmp(&wide, &a, nullptr), -3);
    EXPECT_EQ(Raster_BitmapCmp(&a, &tall, nullptr), -3);
    // Only the width x height pixels count, not the padding of the rows.
    Raster_MemBitmap p1(5, 2, 4), p2(5, 2, 4);
    FillAll(p1, 7);
    FillAll(p2, 7);
    p1.getBits()[5] = 1;
    p2.getBits()[5] = 2;
    EXPECT_EQ(Raster_BitmapCmp(&p1, &p2, nullptr), 0);
}
