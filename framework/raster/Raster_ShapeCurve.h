#pragma once
// Quadratic and cubic Bezier curves: stroked as chains of sub-pixel lines, or filled down (across)
// to a horizontal (vertical) line.
//
// Colour, alpha and mode work as for lines (Raster_Line.h). Curves are cut where they leave the
// bitmap horizontally (vertically for Raster_FillCBezierX) and the rest is split into segments of
// about `tolerance` pixels of control-polygon length (1 when tolerance <= 0; at most 65536
// segments). Non-finite coordinates draw nothing. Called from the drawing thread; no state is kept.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"

void Raster_DrawQBezier(Raster_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend,
                        float yend, uint32_t colour, float alpha, int mode, bool antialias, float tolerance);
void Raster_DrawCBezier(Raster_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                        float xctl2, float yctl2, float xend, float yend, uint32_t colour, float alpha,
                        int mode, bool antialias, float tolerance);
// The area between the curve and the row yfill.
void Raster_FillCBezier(Raster_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                        float xctl2, float yctl2, float xend, float yend, int yfill, uint32_t colour,
                        float alpha, int mode, float tolerance);
// The area between the curve and the column xfill.
void Raster_FillCBezierX(Raster_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                         float xctl2, float yctl2, float xend, float yend, int xfill, uint32_t colour,
                         float alpha, int mode, float tolerance);
