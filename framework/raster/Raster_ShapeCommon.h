#pragma once
// Helpers shared by the line, circle, fill and curve routines (internal to framework/raster).
//
// Raster_ShapeSurface captures a destination once per call (bits, size, row span, flip). The
// combiner is resolved once per call by Raster_Dispatch (solid set), which hands a type tag to a
// generic lambda, so every drawing loop is instantiated per combiner and never tests the mode per
// pixel. Stateless; callers own the bitmaps.

#include <cmath>
#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"
#include "framework/raster/Raster_Dispatch.h"

// A destination as the shape loops see it. ok is false for null or empty bitmaps.
struct Raster_ShapeSurface {
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int span = 0;
    bool flipped = false;
    bool ok = false;

    explicit Raster_ShapeSurface(Raster_IBitmap* bm) {
        if (!bm) return;
        bits = bm->getBits();
        width = bm->getWidth();
        height = bm->getHeight();
        span = bm->getRowSpan();
        flipped = bm->isFlipped();
        ok = bits && width > 0 && height > 0 && span >= width;
    }
    uint32_t* Row(int y) const { return bits + (intptr_t)y * span; }
    uint32_t* Pixel(int x, int y) const { return bits + (intptr_t)y * span + x; }
    bool Inside(int x, int y) const {
        return (unsigned)x < (unsigned)width && (unsigned)y < (unsigned)height;
    }
};

// The colour's channels as handed to the combiners (its own alpha byte included) and its word.
struct Raster_ShapeColour {
    int r, g, b, a;
    uint32_t word;
    explicit Raster_ShapeColour(uint32_t c)
        : r(Raster_GetR(c)), g(Raster_GetG(c)), b(Raster_GetB(c)), a(Raster_GetA(c)), word(c) {}
};

// Weight truncate(alpha * 256) in single precision. NaN gives 0; the result is kept within
// -256..256 so that no combiner arithmetic can overflow whatever alpha a caller passes.
inline int Raster_ShapeWeight(float alpha) {
    if (!(alpha == alpha)) return 0;
    const float v = alpha * 256.0f;
    if (v >= 256.0f) return 256;
    if (v <= -256.0f) return -256;
    return (int)v;
}

// One pixel through combiner C with a per-pixel weight; a zero weight leaves the pixel alone (the
// HSV combiner would otherwise still rewrite it).
template <class C>
inline void Raster_ShapePlot(uint32_t* p, const Raster_ShapeColour& c, int w) {
    if (w) C::doPix(p, c.r, c.g, c.b, c.a, w);
}

// Float to int for values already known to lie well inside the int range.
inline int Raster_ShapeTrunc(double v) {
    return (int)v;
}
// Float to int limited to +-2^30 (NaN gives 0), for coordinates that may be anywhere.
inline int Raster_ShapeTruncSafe(double v) {
    if (!(v == v)) return 0;
    if (v > 1073741824.0) return 1073741824;
    if (v < -1073741824.0) return -1073741824;
    return (int)v;
}
