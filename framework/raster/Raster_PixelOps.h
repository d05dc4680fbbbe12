#pragma once
// Pixel operations: single pixels (blend-mode word and alpha of Raster_Combine.h), colour-key
// alpha and span flood fill.
//
// Coordinates outside the bitmap and null or empty bitmaps make the call do nothing. Called from
// the drawing thread; no locks are taken and nothing is reported.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"
#include "framework/raster/Raster_Combine.h"

// Blends colour into the pixel at (x, y).
void Raster_PutPixel(Raster_IBitmap* dest, int x, int y, uint32_t colour, float alpha, int mode);
// The pixel word at (x, y); 0 outside or for a null bitmap.
uint32_t Raster_GetPixel(Raster_IBitmap* dest, int x, int y);
// Alpha byte 0 where (pixel & 0xFFFFFF00) == colour, else 255.
void Raster_SetAlphaFromColorMask(Raster_IBitmap* dest, uint32_t colour);
// Span flood fill from (x, y) over pixels whose (pixel & comparemask) matches the start pixel's;
// filled pixels become newcolour | (pixel & keepmask).
void Raster_SimpleFill(Raster_IBitmap* dest, int x, int y, uint32_t newcolour, uint32_t comparemask,
                       uint32_t keepmask);
