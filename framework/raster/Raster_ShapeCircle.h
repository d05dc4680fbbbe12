#pragma once
// Circles, arcs and rounded rectangles into a bitmap of pixel words, aliased or antialiased.
//
// Colour, alpha and mode work as for lines (Raster_Line.h): the mode's low byte picks the combiner,
// the combiners get the colour's own four channels, weight truncate(alpha * 256); weight 0, unknown
// modes, negative or non-finite radii and null or empty bitmaps draw nothing. Everything is clipped
// to the bitmap. Radii above 2^20 pixels are not drawn. Flipped bitmaps are honoured.
// Called from the drawing thread; no state is kept between calls.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"

// Outline. Radii 1.5, 2, 2.5, 3, 3.5 and 4 are drawn from prepared coverage stencils (aliased or
// antialiased); others by the midpoint method (centre and radius rounded) or, antialiased, with a
// fractional outer ring.
void Raster_Circle(Raster_IBitmap* dest, float cx, float cy, float r, uint32_t colour, float alpha, int mode,
                   bool antialias);
// Filled disc.
void Raster_FillCircle(Raster_IBitmap* dest, float cx, float cy, float r, uint32_t colour, float alpha,
                       int mode, bool antialias);
// Arc clockwise from minAngle to maxAngle (radians, 0 = straight up: a point at angle a lies at
// (cx + r sin a, cy - r cos a)); a span of 2 pi or more is the whole circle.
void Raster_Arc(Raster_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle,
                uint32_t colour, float alpha, int mode, bool antialias);
// Rectangle outline (x, y)-(x + w, y + h) with quarter-circle corners of radius cornerRadius
// (limited to half the sides); radii below 2 give the plain outline of Raster_DrawRect.
void Raster_RoundRect(Raster_IBitmap* dest, float x, float y, float w, float h, int cornerRadius,
                      uint32_t colour, float alpha, int mode, bool antialias);
