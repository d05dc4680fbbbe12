#pragma once
// Helpers for the drawing tests: bitmaps with a known background, channel arithmetic written out
// from the combiner formulas, and pixel maps that print where the first difference is.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "framework/raster/raster.h"

namespace drawtest {

// A heap bitmap of w x h pixels, every pixel set to bg.
inline std::unique_ptr<Raster_MemBitmap> MakeBitmap(int w, int h, uint32_t bg = 0) {
    auto bm = std::make_unique<Raster_MemBitmap>(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < bm->getRowSpan(); ++x) bm->getBits()[y * bm->getRowSpan() + x] = bg;
    return bm;
}

inline uint32_t Px(Raster_IBitmap* bm, int x, int y) {
    return bm->getBits()[y * bm->getRowSpan() + x];
}

// A bitmap that reports itself flipped (memory row 0 is the bottom row).
class FlippedBitmap : public Raster_MemBitmap {
public:
    FlippedBitmap(int w, int h) : Raster_MemBitmap(w, h, 4) {}
    bool isFlipped() override { return true; }
};

inline uint32_t Word(int r, int g, int b, int a) {
    return (uint32_t)a | ((uint32_t)r << 8) | ((uint32_t)g << 16) | ((uint32_t)b << 24);
}

// Weighted copy of one channel: s + (d - s) * (256 - w) / 256, truncated toward zero.
inline int CopyChan(int d, int s, int w) {
    return s + (d - s) * (256 - w) / 256;
}
inline uint32_t CopyWord(uint32_t d, uint32_t s, int w) {
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8)
        out |= (uint32_t)(CopyChan((int)((d >> sh) & 255), (int)((s >> sh) & 255), w) & 255) << sh;
    return out;
}
// Per-byte halves and quarters, computed byte by byte.
inline uint32_t Half(uint32_t x) {
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) out |= (((x >> sh) & 255) / 2) << sh;
    return out;
}
inline uint32_t Quarter(uint32_t x) {
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) out |= (((x >> sh) & 255) / 4) << sh;
    return out;
}

// One character per pixel: '#' where the pixel differs from bg, '.' elsewhere.
inline std::vector<std::string> Map(Raster_IBitmap* bm, uint32_t bg = 0) {
    std::vector<std::string> rows;
    for (int y = 0; y < bm->getHeight(); ++y) {
        std::string r;
        for (int x = 0; x < bm->getWidth(); ++x) r += Px(bm, x, y) != bg ? '#' : '.';
        rows.push_back(r);
    }
    return rows;
}

// Compares a pixel map with the expected rows; on mismatch reports the first differing pixel and
// both maps.
inline ::testing::AssertionResult MapIs(Raster_IBitmap* bm, const std::vector<std::string>& expected,
                                        uint32_t bg = 0) {
    const std::vector<std::string> got = Map(bm, bg);
    for (size_t y = 0; y < expected.size() && y < got.size(); ++y)
        for (size_t x = 0; x < expected[y].size() && x < got[y].size(); ++x)
            if (got[y][x] != expected[y][x]) {
                std::ostringstream os;
                os << "first difference at (" << x << ", " << y << "): expected '" << expected[y][x]
                   << "', got '" << got[y][x] << "' (pixel 0x" << std::hex << Px(bm, (int)x, (int)y)
                   << ")\n got:\n";
                for (auto& r : got) os << "  " << r << "\n";
                os << " expected:\n";
                for (auto& r : expected) os << "  " << r << "\n";
                return ::testing::AssertionFailure() << os.str();
            }
    if (got.size() != expected.size() || (!got.empty() && got[0].size() != expected[0].size()))
        return ::testing::AssertionFailure() << "map size differs";
    return ::testing::AssertionSuccess();
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

} // namespace drawtest
