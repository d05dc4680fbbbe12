#pragma once
// Whole-area filters: a small blur (also in place) and the 2:1 antialiased reduction.
//
// Both clip to both bitmaps; null or empty bitmaps make the call do nothing. Called from the
// drawing thread; no locks are taken and nothing is reported.

#include "framework/raster/Raster_Bitmap.h"

// Small blur of the source area into the destination; dest may be src.
void Raster_Blur(Raster_IBitmap* dest, Raster_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
                 int srch);
// 2:1 antialiased reduction of src into dest's top-left corner.
void Raster_HalveBlitAA(Raster_IBitmap* dest, Raster_IBitmap* src);
