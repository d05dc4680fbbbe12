#pragma once
// Bitmap comparison.
//
// A null bitmap or a size difference gives a non-zero result (a null bitmap compares below any
// other). Called from any thread that owns both bitmaps; nothing is written but rect.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"

// 0 when equal. With rect (int[4]) the bounding box {x, y, width, height} of the differing pixels is
// written (all zero when equal) and 1 returned for a difference.
int Raster_BitmapCmp(Raster_IBitmap* a, Raster_IBitmap* b, int* rect);
int Raster_BitmapCmpEx(Raster_IBitmap* a, Raster_IBitmap* b, uint32_t mask, int* rect);
