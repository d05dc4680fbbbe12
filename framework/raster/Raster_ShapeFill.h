#pragma once
// Solid fills bounded by straight edges: trapezoids, convex polygons and triangles.
//
// Colour, alpha and mode work as for lines (Raster_Line.h); in copy mode the weights 256, 128, 64
// and 192 are mixed word-wise (set, half, quarter and three quarters of the colour). Everything is
// clipped to the bitmap; flipped bitmaps are honoured. Called from the drawing thread; polygon
// points are copied (on the stack for up to 512 points), so the caller's arrays are only read.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"

// Rows y1..y2 between the edge from min(x1a, x1b) to min(x2a, x2b) and the edge from
// max(x1a, x1b) to max(x2a, x2b), both edges included.
void Raster_FillTrapezoid(Raster_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                          uint32_t colour, float alpha, int mode);
// Convex polygon of npoints points (any order of vertices); fewer than 3 points draw nothing.
void Raster_FillConvexPolygon(Raster_IBitmap* dest, const int* x, const int* y, int npoints, uint32_t colour,
                              float alpha, int mode);
void Raster_FillTriangle(Raster_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3,
                         uint32_t colour, float alpha, int mode);
