#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "tests/framework/raster/blit/BlitTestUtil.h"

using namespace blittest;
using namespace rasterref;

TEST(RasterFillRect, CopyWeightsUseWordWiseMixes) {
    Raster_MemBitmap b(5, 4, 4);
    struct Case {
        float alpha;
        uint32_t over_black, over_white;
    };
    // White over black and black over white: a quarter of 0xFF is 0x3F, a half 0x7F.
    const Case cases[] = {{1.0f, 0xFFFFFFFFu, 0x00000000u},
                          {0.75f, 0xBEBEBEBEu, 0x3F3F3F3Fu},
                          {0.5f, 0x7F7F7F7Fu, 0x7F7F7F7Fu},
                          {0.25f, 0x3F3F3F3Fu, 0xBEBEBEBEu}};
    for (const Case& c : cases) {
        FillAll(b, 0);
        Raster_FillRect(&b, 1, 1, 3, 2, 0xFFFFFFFFu, c.alpha, RASTER_BLEND_COPY);
        EXPECT_EQ(At(b, 1, 1), c.over_black) << c.alpha;
        EXPECT_EQ(At(b, 3, 2), c.over_black) << c.alpha;
        EXPECT_EQ(At(b, 0, 1), 0u);
        EXPECT_EQ(At(b, 4, 2), 0u);
        EXPECT_EQ(At(b, 1, 3), 0u);
        FillAll(b, 0xFFFFFFFFu);
        Raster_FillRect(&b, 0, 0, 5, 4, 0, c.alpha, RASTER_BLEND_COPY);
        EXPECT_EQ(At(b, 4, 3), c.over_white) << c.alpha;
    }
    // Other weights combine every channel toward the colour, alpha toward the weight itself.
    const uint32_t colour = Word(250, 10, 128, 33), d = Word(3, 200, 77, 190);
    FillAll(b, d);
    Raster_FillRect(&b, 0, 0, 5, 4, colour, 0.3f, RASTER_BLEND_COPY);
    EXPECT_EQ(At(b, 2, 2), Combine(kCopy, d, 250, 10, 128, 76, 76));
    // Negative weights, zero weights and unknown modes draw nothing.
    FillAll(b, d);
    Raster_FillRect(&b, 0, 0, 5, 4, colour, -0.5f, RASTER_BLEND_COPY);
    Raster_FillRect(&b, 0, 0, 5, 4, colour, 0.001f, RASTER_BLEND_COPY);
    Raster_FillRect(&b, 0, 0, 5, 4, colour, 1.0f, 6);
    Raster_FillRect(&b, 0, 0, 5, 4, colour, 1.0f, RASTER_BLEND_CHANCOPY | 5);
    EXPECT_EQ(At(b, 2, 2), d);
}

TEST(RasterFillRect, OtherModesUseTheWeightAsAlphaValue) {
    Raster_MemBitmap b(3, 3, 4);
    const uint32_t colour = Word(250, 10, 128, 33), d = Word(3, 200, 77, 190);
    const Kind kinds[] = {kAdd, kDodge, kMul, kOverlay, kHSV};
    for (int m = 1; m <= 5; ++m) {
        FillAll(b, d);
        Raster_FillRect(&b, 0, 0, 3, 3, colour, 0.6f, m);
        EXPECT_EQ(At(b, 1, 1), Combine(kinds[m - 1], d, 250, 10, 128, 153, 153)) << m;
        // The filter bits do not matter; source alpha scales the weight by the colour's alpha.
        FillAll(b, d);
        Raster_FillRect(&b, 0, 0, 3, 3, colour, 1.0f,
                        m | RASTER_BLEND_SOURCE_ALPHA | RASTER_BLEND_FILTER_BILINEAR);
        EXPECT_EQ(At(b, 1, 1), Combine(kinds[m - 1], d, 250, 10, 128, 33, 33)) << m; // 256 * 33 / 255 = 33.1
    }
}

TEST(RasterFillRect, SourceAlphaScalesTheWeight) {
    Raster_MemBitmap b(2, 2, 4);
    FillAll(b, 0x11111111u);
    Raster_FillRect(&b, 0, 0, 2, 2, Word(255, 255, 255, 0), 1.0f, RASTER_BLEND_SOURCE_ALPHA);
    EXPECT_EQ(At(b, 1, 1), 0x11111111u);
    // Colour alpha 128: 128 / 255 * 256 = 128.5, weight 128, the half mix.
    FillAll(b, 0);
    Raster_FillRect(&b, 0, 0, 2, 2, Word(255, 255, 255, 128), 1.0f, RASTER_BLEND_SOURCE_ALPHA);
    EXPECT_EQ(At(b, 0, 0), 0x7F7F7F40u);
}

TEST(RasterFillRect, RectangleRoutinesClipAnyCoordinates) {
    Raster_MemBitmap b(7, 5, 4);
    const int vals[] = {INT_MIN, INT_MIN + 1, -1000000, -8, -1, 0, 2, 6, 7, 1000000, INT_MAX - 1, INT_MAX};
    const std::vector<uint32_t> none(35, 0x12345678u);
    for (int x : vals)
        for (int y : vals)
            for (int w : vals)
                for (int h : {INT_MIN, -1, 0, 3, INT_MAX}) {
                    FillAll(b, 0x12345678u);
                    Raster_FillRect(&b, x, y, w, h, 0xFFFFFFFFu, 1.0f, 0);
                    int count = 0;
                    for (int j = 0; j < 5; ++j)
                        for (int i = 0; i < 7; ++i) {
                            const bool in = (int64_t)i >= x && (int64_t)i < (int64_t)x + w &&
                                            (int64_t)j >= y && (int64_t)j < (int64_t)y + h;
                            ASSERT_EQ(At(b, i, j), in ? 0xFFFFFFFFu : 0x12345678u)
                                << x << " " << y << " " << w << " " << h;
                            count += in;
                        }
                    Raster_FillRect(&b, x, y, w, h, 0xFFFFFFFFu, 0.3f, 1);
                    Raster_ClearRect(&b, x, y, w, h, 0, 5);
                    Raster_MultiplyAddRect(&b, x, y, w, h, 1, 1, 1, 1, 0, 0, 0, 0);
                    Raster_GradRect(&b, x, y, w, h, 0, 0, 0, 1, 0.1f, 0, 0, 0, 0, 0, 0, 0, 0);
                    if (count == 0) {
                        ASSERT_EQ(Snapshot(b), none) << x << " " << y << " " << w << " " << h;
                    }
                }
    Raster_FillRect(nullptr, 0, 0, 1, 1, 0, 1.0f, 0);
    Raster_MemBitmap empty;
    Raster_FillRect(&empty, 0, 0, 1, 1, 0, 1.0f, 0);
    Raster_Clear(&empty, 0);
    Raster_Clear(nullptr, 0);
}

TEST(RasterGradRect, ValuesAdvancePerColumnAndRow) {
    Raster_MemBitmap b(8, 2, 4);
    FillAll(b, 0x5A5A5A5Au);
    // Red 25.5 more per column, green 127.5 less per row, weight 256 (alpha value clamped to 255).
    Raster_GradRect(&b, 0, 0, 8, 2, 0, 1, 0.5f, 1, 0.1f, 0, 0, 0, 0, -0.5f, 0, 0, RASTER_BLEND_COPY);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(At(b, x, y), Word((int)(25.5 * x), y == 0 ? 255 : 127, 127, 255)) << x << "," << y;
    // A negative origin advances the starts.
    Raster_GradRect(&b, -2, -1, 8, 2, 0, 1, 0.5f, 1, 0.1f, 0, 0, 0, 0, -0.5f, 0, 0, RASTER_BLEND_COPY);
    EXPECT_EQ(At(b, 0, 0), Word(51, 127, 127, 255));
    EXPECT_EQ(At(b, 0, 1), Word(0, 127, 127, 255)); // row 1 untouched by the second call
    // Add at half weight: the weight 128 is also the alpha value.
    FillAll(b, 0x10101010u);
    Raster_GradRect(&b, 0, 0, 8, 1, 0.5f, 0, 1, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, RASTER_BLEND_ADD);
    EXPECT_EQ(At(b, 3, 0), Combine(kAdd, 0x10101010u, 127, 0, 255, 128, 128));
    // An alpha that steps below zero gives negative weights (64, 32, 0, -32, -64 here), which the
    // clamped copy extrapolates away from the colour: 255 + (64 - 255) * 320 / 256 = 17 and alpha
    // -64 + 128 * 320 / 256 = 96 at weight -64; 255 - 191 * 288 / 256 = 41, alpha 76 at -32.
    FillAll(b, 0x40404040u);
    Raster_GradRect(&b, 0, 0, 5, 1, 1, 1, 1, 0.25f, 0, 0, 0, -0.125f, 0, 0, 0, 0, RASTER_BLEND_COPY);
    EXPECT_EQ(At(b, 1, 0), Combine(kCopyClamp, 0x40404040u, 255, 255, 255, 32, 32));
    EXPECT_EQ(At(b, 2, 0), 0x40404040u);
    EXPECT_EQ(At(b, 3, 0), Word(41, 41, 41, 76));
    EXPECT_EQ(At(b, 4, 0), Word(17, 17, 17, 96));
    // Values far outside 0..1 are held, never overflowing.
    for (int mode = 0; mode <= 5; ++mode) {
        Raster_GradRect(&b, 0, 0, 8, 2, 1e20f, -1e20f, 3e9f, 1e9f, 1e30f, 1e30f, -1e30f, 1e30f, -1e30f, 1e30f,
                        1e30f, -1e30f, mode);
        Raster_GradRect(&b, 0, 0, 8, 2, -1e20f, 1e20f, -3e9f, -1e9f, -1e30f, -1e30f, 1e30f, -1e30f, 1e30f,
                        -1e30f, -1e30f, 1e30f, mode);
    }
}

TEST(RasterClear, ClearAndClearRect) {
    Raster_MemBitmap b(5, 3, 4);
    Raster_Clear(&b, 0xA1B2C3D4u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(At(b, x, y), 0xA1B2C3D4u);
    Raster_ClearRect(&b, 3, -1, 10, 3, 0xFFFFFF00u, 0x000000EEu);
    EXPECT_EQ(At(b, 3, 0), 0xA1B2C3EEu);
    EXPECT_EQ(At(b, 4, 1), 0xA1B2C3EEu);
    EXPECT_EQ(At(b, 4, 2), 0xA1B2C3D4u);
    EXPECT_EQ(At(b, 2, 0), 0xA1B2C3D4u);
}

TEST(RasterMultiplyAddRect, ScalesAndOffsetsEachChannel) {
    Raster_MemBitmap b(2, 1, 4);
    At(b, 0, 0) = Word(200, 100, 200, 7);
    At(b, 1, 0) = Word(9, 5, 1, 0);
    Raster_MultiplyAddRect(&b, 0, 0, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(At(b, 0, 0), Word(200, 100, 200, 7));
    // Red halves, green loses 10 (never below 0), blue doubles (saturating), alpha + 300 saturates.
    Raster_MultiplyAddRect(&b, 0, 0, 2, 1, 0.5f, 1, 2, 1, 0, -10, 0, 300);
    EXPECT_EQ(At(b, 0, 0), Word(100, 90, 255, 255));
    EXPECT_EQ(At(b, 1, 0), Word(4, 0, 2, 255));
    Raster_MultiplyAddRect(&b, 0, 0, 2, 1, 1e30f, -1e30f, 1, 1, 1e30f, 0, -1e30f, 0);
    EXPECT_EQ(At(b, 0, 0), Word(255, 0, 0, 255));
}

namespace {
struct Visit {
    uint32_t* base;
    std::vector<long> seen;
};
void Record(uint32_t* p, void* parm) {
    Visit* v = (Visit*)parm;
    v->seen.push_back((long)(p - v->base));
    *p = 1;
}
} // namespace

TEST(RasterProcessRect, VisitsTheClippedRectangleInRowOrder) {
    Raster_MemBitmap b(6, 4, 4); // row span 8
    Visit v{b.getBits(), {}};
    Raster_ProcessRect(&b, 4, -1, 5, 3, Record, &v);
    const std::vector<long> want = {4, 5, 12, 13};
    EXPECT_EQ(v.seen, want);
    Raster_ProcessRect(&b, 0, 0, 6, 4, nullptr, nullptr);
}

TEST(RasterPutPixel, WeightsModesAndBounds) {
    Raster_MemBitmap b(3, 3, 4);
    const uint32_t colour = Word(250, 10, 128, 33), d = Word(3, 200, 77, 190);
    const struct {
        float alpha;
        uint32_t want;
    } copies[] = {
        {1.0f, colour},
        {0.5f, ((d >> 1) & 0x7F7F7F7Fu) + ((colour >> 1) & 0x7F7F7F7Fu)},
        {0.25f, ((d >> 1) & 0x7F7F7F7Fu) + ((d >> 2) & 0x3F3F3F3Fu) + ((colour >> 2) & 0x3F3F3F3Fu)},
        {0.75f, ((d >> 2) & 0x3F3F3F3Fu) + ((colour >> 1) & 0x7F7F7F7Fu) + ((colour >> 2) & 0x3F3F3F3Fu)},
        {0.3f, Combine(kCopy, d, 250, 10, 128, 33, 76)},
        {0.0f, d},
    };
    for (const auto& c : copies) {
        FillAll(b, d);
        Raster_PutPixel(&b, 1, 2, colour, c.alpha, RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA);
        EXPECT_EQ(At(b, 1, 2), c.want) << c.alpha;
        EXPECT_EQ(Raster_GetPixel(&b, 1, 2), c.want);
        EXPECT_EQ(At(b, 1, 1), d);
    }
    FillAll(b, d);
    Raster_PutPixel(&b, 0, 0, colour, 0.6f, RASTER_BLEND_OVERLAY);
    EXPECT_EQ(At(b, 0, 0), Combine(kOverlay, d, 250, 10, 128, 33, 153));
    Raster_PutPixel(&b, 0, 1, colour, 1.0f, 6);
    EXPECT_EQ(At(b, 0, 1), d);
    for (int p : {INT_MIN, -1, 3, INT_MAX}) {
        Raster_PutPixel(&b, p, 1, colour, 1.0f, 0);
        Raster_PutPixel(&b, 1, p, colour, 1.0f, 0);
        EXPECT_EQ(Raster_GetPixel(&b, p, 1), 0u);
        EXPECT_EQ(Raster_GetPixel(&b, 1, p), 0u);
    }
    EXPECT_EQ(Raster_GetPixel(nullptr, 0, 0), 0u);
    EXPECT_EQ(At(b, 2, 1), d);
}

TEST(RasterSetAlphaFromColorMask, KeyColourBecomesTransparent) {
    Raster_MemBitmap b(3, 1, 4);
    At(b, 0, 0) = Word(255, 0, 255, 200);
    At(b, 1, 0) = Word(255, 0, 254, 0);
    At(b, 2, 0) = Word(255, 0, 255, 0);
    Raster_SetAlphaFromColorMask(&b, Word(255, 0, 255, 0));
    EXPECT_EQ(At(b, 0, 0), Word(255, 0, 255, 0));
    EXPECT_EQ(At(b, 1, 0), Word(255, 0, 254, 255));
    EXPECT_EQ(At(b, 2, 0), Word(255, 0, 255, 0));
    // A key colour with alpha bits set matches nothing.
    Raster_SetAlphaFromColorMask(&b, Word(255, 0, 255, 1));
    EXPECT_EQ(At(b, 0, 0), Word(255, 0, 255, 255));
}

TEST(RasterSimpleFill, FillsRunsConnectedThroughTheStartColumn) {
    const char* rows[] = {"AABAAA", "ABBABA", "AAAABA", "BBABBA", "AAAAAB"};
    Raster_MemBitmap b(6, 5, 4);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) At(b, x, y) = rows[y][x] == 'A' ? 0x11111111u : 0x22222222u;
    Raster_SimpleFill(&b, 3, 2, 0xAB000000u, 0xFFFFFFFFu, 0x000000FFu);
    const char* want[] = {"AABNNN", "ABBNBA", "NNNNBA", "BBABBA", "AAAAAB"};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const uint32_t w =
                want[y][x] == 'A' ? 0x11111111u : (want[y][x] == 'B' ? 0x22222222u : 0xAB000011u);
            ASSERT_EQ(At(b, x, y), w) << x << "," << y;
        }
    // Outside the bitmap: nothing.
    Raster_SimpleFill(&b, -1, 0, 0, 0, 0);
    Raster_SimpleFill(&b, 6, 0, 0, 0, 0);
    Raster_SimpleFill(nullptr, 0, 0, 0, 0, 0);
    // Filling with a colour that still matches terminates.
    Raster_SimpleFill(&b, 0, 0, 0x11111111u, 0xFFFFFFFFu, 0);
    EXPECT_EQ(At(b, 0, 4), 0x11111111u);
}

TEST(RasterWeights, ExtremeAlphasStayDefined) {
    // Alphas far outside 0..1 blend meaninglessly but must stay defined (checked under UBSan) and
    // must not draw outside the area; NaN draws nothing at all.
    Raster_MemBitmap src(6, 5, 4), dest(8, 5, 4);
    FillPattern(src);
    const double pts[8] = {0, 0, 6, 0, 0, 5, 6, 5};
    const double tri[12] = {0, 0, 1e30, 6, 0, -1e30, 0, 5, 3, 6, 5, NAN};
    for (float alpha : {NAN, 1e30f, -1e30f, 20.0f, -3.0f, INFINITY})
        for (int base = 0; base <= 5; ++base)
            for (int extra : {0, RASTER_BLEND_SOURCE_ALPHA, RASTER_BLEND_FILTER_BILINEAR}) {
                const int mode = base | extra;
                FillAll(dest, 0x5A5A5A5Au);
                Raster_Blit(&dest, &src, 0, 0, nullptr, alpha, mode);
                Raster_ScaledBlit(&dest, &src, 0, 0, 6, 5, 0.5f, 0, 5, 4, alpha, mode);
                Raster_ScaledBlit(&dest, &src, 0, 0, 2, 2, 0, 0, 6, 5, alpha, mode);
                Raster_RotatedBlit(&dest, &src, 0, 0, 6, 5, 0, 0, 6, 5, 0.5f, false, alpha, mode, 0, 0);
                Raster_DeltaBlitAlpha(&dest, &src, 0, 0, 6, 5, 0, 0, 6, 5, 1, 0, 0, 1, 0, 0, false, alpha,
                                      mode, 1e30, -1e30, 1e30);
                Raster_TransformBlit2(&dest, &src, 0, 0, 6, 5, pts, 2, 2, alpha, mode);
                Raster_FillRect(&dest, 0, 0, 6, 5, 0x80808080u, alpha, mode);
                Raster_PutPixel(&dest, 1, 1, 0x80808080u, alpha, mode);
                for (int y = 0; y < 5; ++y) {
                    ASSERT_EQ(At(dest, 6, y), 0x5A5A5A5Au);
                    ASSERT_EQ(At(dest, 7, y), 0x5A5A5A5Au);
                }
                if (std::isnan(alpha)) {
                    ASSERT_EQ(Snapshot(dest), std::vector<uint32_t>(40, 0x5A5A5A5Au)) << mode;
                    ASSERT_EQ(Raster_CombinePixels(0x11223344u, 0x80808080u, alpha, mode), 0x11223344u);
                }
                Raster_TransformBlit2Alpha(&dest, &src, 0, 0, 6, 5, tri, 2, 2, mode);
                Raster_CombinePixels(0x11223344u, 0x80808080u, alpha, mode);
                uint32_t p = 0x11223344u;
                Raster_CombinePixels2(&p, 255, 0, 128, 255, INT32_MAX, mode);
                Raster_CombinePixels2Clamp(&p, INT32_MAX, -32767, 128, INT32_MIN, INT32_MIN, mode);
                Raster_CombinePixels2Clamp(&p, 32767, INT32_MIN, 128, 255, INT32_MAX, mode);
            }
}
