#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "framework/raster/raster.h"
#include "framework/shim/Shim_Gdi.h"

namespace {

bool Aligned64(const void* p) {
    return ((uintptr_t)p & 63) == 0;
}

// Writes a distinct value into every pixel of every row (row span included) and reads it back.
void FillAndCheck(Raster_IBitmap& b) {
    uint32_t* bits = b.getBits();
    ASSERT_NE(bits, nullptr);
    const int span = b.getRowSpan(), h = b.getHeight();
    for (int i = 0; i < span * h; ++i) bits[i] = (uint32_t)i * 2654435761u;
    for (int i = 0; i < span * h; ++i) ASSERT_EQ(bits[i], (uint32_t)i * 2654435761u);
}

} // namespace

TEST(RasterMemBitmap, RowSpanFollowsLineAlignment) {
    Raster_MemBitmap a(100, 10, 4), b(101, 10, 4);
    EXPECT_EQ(a.getRowSpan(), 100);
    EXPECT_EQ(b.getRowSpan(), 104);
    EXPECT_EQ(b.getWidth(), 101);
    EXPECT_EQ(b.getHeight(), 10);
    EXPECT_FALSE(b.isFlipped());
    EXPECT_EQ(b.getDC(), nullptr);
    EXPECT_EQ(b.Extended(0x59555678, nullptr), 0);

    Raster_MemBitmap one(101, 1, 1), zero(101, 1, 0), sixteen(101, 1, 16);
    EXPECT_EQ(one.getRowSpan(), 101);
    EXPECT_EQ(zero.getRowSpan(), 101);
    EXPECT_EQ(sixteen.getRowSpan(), 112);
    // The lowest set bit of the alignment counts, and at most 16.
    Raster_MemBitmap twelve(101, 1, 12), big(101, 1, 64);
    EXPECT_EQ(twelve.getRowSpan(), 104);
    EXPECT_EQ(big.getRowSpan(), 112);
}

TEST(RasterMemBitmap, BitsAreAlignedAndUsable) {
    for (int w : {1, 3, 17, 101}) {
        Raster_MemBitmap b(w, 7, 4);
        EXPECT_TRUE(Aligned64(b.getBits())) << w;
        FillAndCheck(b);
    }
}

TEST(RasterMemBitmap, ResizeKeepsTheBlockWhileItFits) {
    Raster_MemBitmap b(100, 10, 4);
    uint32_t* bits = b.getBits();
    EXPECT_FALSE(b.resize(100, 10));
    EXPECT_TRUE(b.resize(50, 10));
    EXPECT_EQ(b.getBits(), bits);
    EXPECT_EQ(b.getRowSpan(), 52);
    EXPECT_TRUE(b.resize(100, 10));
    EXPECT_EQ(b.getBits(), bits);
    FillAndCheck(b);
    // Growing beyond the block reallocates with a quarter to spare: room for 100 x 25 after 100 x 20.
    EXPECT_TRUE(b.resize(100, 20));
    EXPECT_TRUE(Aligned64(b.getBits()));
    FillAndCheck(b);
    uint32_t* grown = b.getBits();
    EXPECT_TRUE(b.resize(100, 25));
    EXPECT_EQ(b.getBits(), grown);
    FillAndCheck(b);
}

TEST(RasterMemBitmap, EmptyAndImpossibleSizes) {
    Raster_MemBitmap none;
    EXPECT_EQ(none.getBits(), nullptr);
    EXPECT_EQ(none.getWidth(), 0);
    EXPECT_EQ(none.getRowSpan(), 0);

    Raster_MemBitmap b(10, 10, 4);
    EXPECT_TRUE(b.resize(0, 10));
    EXPECT_EQ(b.getBits(), nullptr);
    EXPECT_EQ(b.getWidth(), 0);
    EXPECT_EQ(b.getHeight(), 0);
    EXPECT_TRUE(b.resize(10, 10));
    EXPECT_NE(b.getBits(), nullptr);
    EXPECT_TRUE(b.resize(-5, -5));
    EXPECT_EQ(b.getBits(), nullptr);
    EXPECT_EQ(b.getWidth(), 0);

    // Sizes whose byte count does not fit leave the bitmap empty instead of wrapping around.
    Raster_MemBitmap huge(INT_MAX, INT_MAX, 4);
    EXPECT_EQ(huge.getBits(), nullptr);
    EXPECT_EQ(huge.getWidth(), 0);
    EXPECT_EQ(huge.getHeight(), 0);
    Raster_MemBitmap wide(1 << 20, 1 << 12, 16);
    EXPECT_EQ(wide.getBits(), nullptr);
    EXPECT_EQ(wide.getWidth(), 0);
}

TEST(RasterSysBitmap, PixelsComeFromAMemoryContext) {
    Raster_SysBitmap b(101, 10);
    ASSERT_NE(b.getBits(), nullptr);
    ASSERT_NE(b.getDC(), nullptr);
    EXPECT_EQ(b.getWidth(), 101);
    EXPECT_EQ(b.getHeight(), 10);
    EXPECT_EQ(b.getRowSpan(), 104);
    EXPECT_EQ((void*)b.getBits(), Shim_GetCtxFrameBuffer(b.getDC()));
    EXPECT_TRUE(Aligned64(b.getBits()));
    for (int i = 0; i < 104 * 10; ++i) ASSERT_EQ(b.getBits()[i], 0u) << i; // zeroed by the context
    FillAndCheck(b);

    // Shrinking within the allocation keeps context and pixels.
    HDC__* dc = b.getDC();
    uint32_t* bits = b.getBits();
    EXPECT_FALSE(b.resize(101, 10));
    EXPECT_TRUE(b.resize(100, 10));
    EXPECT_EQ(b.getDC(), dc);
    EXPECT_EQ(b.getBits(), bits);
    EXPECT_EQ(b.getRowSpan(), 104);
    EXPECT_EQ(b.getBits()[5], 5u * 2654435761u);

    // Growing makes a new, zeroed context.
    EXPECT_TRUE(b.resize(200, 20));
    ASSERT_NE(b.getBits(), nullptr);
    EXPECT_EQ(b.getRowSpan(), 200);
    for (int i = 0; i < 200 * 20; ++i) ASSERT_EQ(b.getBits()[i], 0u);
    FillAndCheck(b);

    EXPECT_FALSE(b.resize(0, 20));
    EXPECT_EQ(b.getBits(), nullptr);
    EXPECT_EQ(b.getDC(), nullptr);
    EXPECT_EQ(b.getWidth(), 0);

    Raster_SysBitmap none(0, 0);
    EXPECT_EQ(none.getBits(), nullptr);
    EXPECT_EQ(none.getDC(), nullptr);
    Raster_SysBitmap huge(INT_MAX, INT_MAX);
    EXPECT_EQ(huge.getBits(), nullptr);
    EXPECT_EQ(huge.getWidth(), 0);
}
