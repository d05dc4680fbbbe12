#pragma once
// Helpers for the drawing tests: bitmaps with a known background, channel arithmetic written out
// from the combiner formulas, and pixel maps that print where the first difference is.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "framework/raster/raster.h"
#include "tests/support/Pixels.h"

namespace drawtest {

using testpixels::CountSet;
using testpixels::MakeBitmap;
using testpixels::Px;
using testpixels::SamePixels;

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

} // namespace drawtest
