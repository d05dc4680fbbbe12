#pragma once
// Lines into a bitmap of pixel words: integer and sub-pixel lines with optional antialiasing, dashed
// lines, line clipping and rectangle outlines.
//
// Every drawing routine takes a colour word, an overall alpha (weight truncate(alpha * 256)) and a
// blend-mode word whose low byte chooses the combiner (copy, add, dodge, multiply, overlay, HSV
// adjust; other values draw nothing). The combiners receive the colour's red, green, blue and its own
// alpha byte. The source-alpha flag and the filter field are not examined. Lines are clipped to the
// bitmap, so any coordinates are safe; null or empty bitmaps and weight 0 draw nothing. Flipped
// bitmaps are addressed with y mapped to height - 1 - y.
// Called from the drawing thread; no state is kept between calls.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"

// Line between two pixel centres, both ends included.
void Raster_Line(Raster_IBitmap* dest, int x1, int y1, int x2, int y2, uint32_t colour, float alpha, int mode,
                 bool antialias);
// Line between sub-pixel positions; without antialias it is Raster_Line on the truncated coordinates.
void Raster_FLine(Raster_IBitmap* dest, float x1, float y1, float x2, float y2, uint32_t colour, float alpha,
                  int mode, bool antialias);
// Horizontal or vertical dashed line (others draw nothing): runs of pxon pixels separated by pxoff
// skipped pixels from the first end; the second end is excluded. pxon < 1 draws nothing and a
// negative pxoff counts as 0. The antialias flag is not used.
void Raster_DashedLine(Raster_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff,
                       uint32_t colour, float alpha, int mode, bool antialias);

// Cohen-Sutherland clipping of a segment against the pixel rectangle [left, right) x [top, bottom).
// True (with the ends moved onto the rectangle) when part of the segment is inside; false leaves the
// coordinates unchanged.
bool Raster_ClipLine(int* x1, int* y1, int* x2, int* y2, int left, int top, int right, int bottom);
bool Raster_ClipFLine(float* x1, float* y1, float* x2, float* y2, float left, float top, float right,
                      float bottom);

// Outline of (x, y)-(x + w, y + h): covers w + 1 by h + 1 pixels, the corners drawn twice.
void Raster_DrawRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t colour, float alpha,
                     int mode);
// Raster_FillRect of the inside (x + 1, y + 1, w - 1, h - 1) with fillcolour, then the outline in
// bordercolour, both with the same alpha and mode.
void Raster_BorderedRect(Raster_IBitmap* dest, int x, int y, int w, int h, uint32_t fillcolour,
                         uint32_t bordercolour, float alpha, int mode);
