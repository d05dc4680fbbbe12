#pragma once
// Helpers for the blit tests: small bitmaps with known contents, a flipped bitmap, and pixel
// access independent of the routines under test.

#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/raster/raster.h"
#include "tests/framework/raster/bitmap/RasterRef.h"

namespace blittest {

// A heap bitmap whose memory row 0 is the bottom row.
class FlippedBitmap : public Raster_MemBitmap {
public:
    FlippedBitmap(int w, int h) : Raster_MemBitmap(w, h, 4) {}
    bool isFlipped() override { return true; }
};

// Pixel (x, y) in memory order (row 0 = memory row 0), read directly.
inline uint32_t& At(Raster_IBitmap& b, int x, int y) {
    return b.getBits()[(size_t)y * b.getRowSpan() + x];
}
// Pixel (x, y) as the routines address it (flip honoured).
inline uint32_t& AtLogical(Raster_IBitmap& b, int x, int y) {
    return At(b, x, b.isFlipped() ? b.getHeight() - 1 - y : y);
}

inline void FillAll(Raster_IBitmap& b, uint32_t v) {
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x) At(b, x, y) = v;
}

// Distinct, deterministic colours with every alpha from the given set.
inline uint32_t Pattern(int x, int y) {
    const uint32_t h = ((uint32_t)x * 73856093u) ^ ((uint32_t)y * 19349663u) ^ 0x9E3779B9u;
    return h * 2654435761u;
}
inline void FillPattern(Raster_IBitmap& b) {
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x) AtLogical(b, x, y) = Pattern(x, y);
}

// Copies all pixels (logical order) for later comparison.
inline std::vector<uint32_t> Snapshot(Raster_IBitmap& b) {
    std::vector<uint32_t> v;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x) v.push_back(AtLogical(b, x, y));
    return v;
}

} // namespace blittest
