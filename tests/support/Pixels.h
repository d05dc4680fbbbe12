#pragma once
// Pixel helpers shared by the raster tests: a bitmap with a known background, one pixel read straight
// from memory, a pixel-for-pixel comparison that says where the first difference is, and a count of the
// pixels a drawing changed.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "framework/raster/raster.h"

namespace testpixels {

// A heap bitmap of w x h pixels, every pixel (the row padding too) set to bg.
inline std::unique_ptr<Raster_MemBitmap> MakeBitmap(int w, int h, uint32_t bg = 0) {
    auto bm = std::make_unique<Raster_MemBitmap>(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < bm->getRowSpan(); ++x) bm->getBits()[y * bm->getRowSpan() + x] = bg;
    return bm;
}

inline uint32_t Px(Raster_IBitmap* bm, int x, int y) {
    return bm->getBits()[y * bm->getRowSpan() + x];
}

// Compares two bitmaps pixel for pixel; on mismatch reports the first differing pixel.
inline ::testing::AssertionResult SamePixels(Raster_IBitmap* a, Raster_IBitmap* b) {
    if (a->getWidth() != b->getWidth() || a->getHeight() != b->getHeight())
        return ::testing::AssertionFailure() << "sizes differ";
    for (int y = 0; y < a->getHeight(); ++y)
        for (int x = 0; x < a->getWidth(); ++x)
            if (Px(a, x, y) != Px(b, x, y))
                return ::testing::AssertionFailure() << "first difference at (" << x << ", " << y << "): 0x"
                                                     << std::hex << Px(a, x, y) << " vs 0x" << Px(b, x, y);
    return ::testing::AssertionSuccess();
}

// Count of pixels that differ from bg.
inline int CountSet(Raster_IBitmap* bm, uint32_t bg = 0) {
    int n = 0;
    for (int y = 0; y < bm->getHeight(); ++y)
        for (int x = 0; x < bm->getWidth(); ++x) n += Px(bm, x, y) != bg;
    return n;
}

} // namespace testpixels
