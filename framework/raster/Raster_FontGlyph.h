#pragma once
// Blending an 8-bit coverage image (0 empty, 255 full) into a bitmap in one colour: the cached
// font's glyphs and the small circle stencils are drawn this way.
//
// Each pixel with coverage c != 0 gets the colour's four channels with weight w * c / 256, where
// w = truncate(alpha * 256) (single precision); the mode's low byte 0-5 picks copy, add, dodge,
// multiply, overlay or HSV adjust (others draw nothing; copy needs w > 0). The image is clipped at
// all four edges of the bitmap; flipped bitmaps are honoured. Called from the drawing thread; the
// caller owns the coverage bytes.

#include <cstdint>

#include "framework/raster/Raster_Bitmap.h"

// Coverage rows of `width` bytes.
void Raster_DrawGlyph(Raster_IBitmap* dest, int x, int y, uint32_t colour, const uint8_t* alphas, int width,
                      int height, float alpha, int mode);
// Coverage rows `span` bytes apart.
void Raster_DrawGlyphEx(Raster_IBitmap* dest, int x, int y, uint32_t colour, const uint8_t* alphas, int width,
                        int span, int height, float alpha, int mode);
